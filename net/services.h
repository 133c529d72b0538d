// The process-wide network objects and the service's root URLs.
#pragma once

#include <mutex>
#include <string>

class HttpClient;
class DownloadManager;

// Created on first use; null when the object cannot be made (the next call tries again).
HttpClient* GetHttpClient();
// Also starts the new manager's workers; a manager that cannot start is not kept.
DownloadManager* GetDownloadManager();
// The manager when one exists (never creates one): for stopping it.
DownloadManager* FindDownloadManager();
// Destroy the object when it exists; the manager is stopped first (its queue emptied).
void FreeHttpClient();
void FreeDownloadManager();

// The proxy settings every request of the program uses: the process-wide client takes them at
// once and every HttpClient made later (download workers, synchronous downloads, other holders)
// starts with them. Same arguments and answer as HttpClient::SetProxy; an access type other than
// 0, 1 or 3 changes nothing and gives 0.
int SetDefaultProxy(int accessType, int proxyType, const char* host, int port, const char* user,
                    const char* password);
// Gives a client the default proxy settings (the HttpClient constructor calls it); a client made
// before any default was set keeps its direct connection.
void ApplyDefaultProxy(HttpClient& client);

// The data-server host (host[:port]) of the login reply, read from any thread.
class DataServerHostText {
public:
    std::string Get() const;
    // An empty text restores the built-in default.
    void Set(const std::string& host);

private:
    mutable std::mutex m_lock;
    std::string m_host;
};
extern DataServerHostText DataServerHost;

// "http://" + the data-server host + "/".
std::string GetServerRootUrl();
// The data-server host, filled from the login reply; an empty text restores the built-in default.
void SetDataServerHost(const std::string& host);
std::string GetDataServerHost();

// The service's site root URL, ending in "/": a built-in default that the shell may replace
// (run.ini, section "Global", key "SiteRoot"); an empty text restores the default.
std::string GetSiteRootUrl();
void SetSiteRootUrl(const std::string& url);

extern const char kDefaultDataServerHost[];
extern const char kDefaultSiteRootUrl[];
