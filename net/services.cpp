#include "net/services.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>

#include "net/download.h"
#include "net/httpclient.h"

const char kDefaultDataServerHost[] = "127.0.0.1";
const char kDefaultSiteRootUrl[] = "http://127.0.0.1/";

namespace {

std::mutex g_createLock;  // creation and release only; never held while a worker may need it
// The owners, changed under g_createLock; the atomics publish the same objects to readers that
// take no lock.
std::unique_ptr<HttpClient> g_httpClientOwner;
std::unique_ptr<DownloadManager> g_downloadManagerOwner;
std::atomic<HttpClient*> g_httpClient{nullptr};
std::atomic<DownloadManager*> g_downloadManager{nullptr};

std::mutex g_rootLock;
std::string& SiteText() {
    static std::string site = kDefaultSiteRootUrl;
    return site;
}

// No line breaks or spaces around a configured value.
std::string Clean(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = out.find_last_not_of(" \t");
    return out.substr(first, last - first + 1);
}

// The default proxy: the arguments of the last accepted SetDefaultProxy.
struct ProxyDefault {
    bool set = false;
    int accessType = 0, proxyType = 0, port = 0;
    std::string host, user, password;
};
std::mutex g_proxyLock;
ProxyDefault g_proxy;

void FreeDownloadManagerAtExit() { FreeDownloadManager(); }

}  // namespace

DataServerHostText DataServerHost;

std::string DataServerHostText::Get() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_host.empty() ? std::string(kDefaultDataServerHost) : m_host;
}

void DataServerHostText::Set(const std::string& host) {
    std::string clean = Clean(host);
    std::lock_guard<std::mutex> lock(m_lock);
    m_host = clean;
}

int SetDefaultProxy(int accessType, int proxyType, const char* host, int port, const char* user,
                    const char* password) {
    if (accessType != HttpClient::kAccessPreconfig && accessType != HttpClient::kAccessDirect &&
        accessType != HttpClient::kAccessProxy)
        return 0;
    {
        std::lock_guard<std::mutex> lock(g_proxyLock);
        g_proxy.set = true;
        g_proxy.accessType = accessType;
        g_proxy.proxyType = proxyType;
        g_proxy.port = port;
        g_proxy.host = host ? host : "";
        g_proxy.user = user ? user : "";
        g_proxy.password = password ? password : "";
    }
    HttpClient* client = GetHttpClient();
    if (client) return client->SetProxy(accessType, proxyType, host, port, user, password);
    // No process-wide client: the answer SetProxy gives.
    return accessType == HttpClient::kAccessProxy && (!host || !*host) ? 0 : 1;
}

void ApplyDefaultProxy(HttpClient& client) {
    ProxyDefault p;
    {
        std::lock_guard<std::mutex> lock(g_proxyLock);
        if (!g_proxy.set) return;
        p = g_proxy;
    }
    client.SetProxy(p.accessType, p.proxyType, p.host.c_str(), p.port, p.user.c_str(), p.password.c_str());
}

HttpClient* GetHttpClient() {
    HttpClient* client = g_httpClient.load(std::memory_order_acquire);
    if (client) return client;
    std::lock_guard<std::mutex> lock(g_createLock);
    client = g_httpClient.load(std::memory_order_acquire);
    if (!client) {
        g_httpClientOwner.reset(new (std::nothrow) HttpClient);
        client = g_httpClientOwner.get();
        g_httpClient.store(client, std::memory_order_release);
    }
    return client;
}

void FreeHttpClient() {
    std::lock_guard<std::mutex> lock(g_createLock);
    g_httpClient.store(nullptr, std::memory_order_release);
    g_httpClientOwner.reset();
}

DownloadManager* GetDownloadManager() {
    DownloadManager* manager = g_downloadManager.load(std::memory_order_acquire);
    if (manager) return manager;
    std::lock_guard<std::mutex> lock(g_createLock);
    manager = g_downloadManager.load(std::memory_order_acquire);
    if (!manager) {
        g_downloadManagerOwner.reset(new (std::nothrow) DownloadManager);
        if (g_downloadManagerOwner && !g_downloadManagerOwner->Start()) g_downloadManagerOwner.reset();
        manager = g_downloadManagerOwner.get();
        g_downloadManager.store(manager, std::memory_order_release);
        // A program that returns from main without FreeDownloadManager still stops the workers,
        // and before the process-wide queue they wait on is destroyed (made before this point).
        static const bool freedAtExit = std::atexit(FreeDownloadManagerAtExit) == 0;
        (void)freedAtExit;
    }
    return manager;
}

DownloadManager* FindDownloadManager() { return g_downloadManager.load(std::memory_order_acquire); }

void FreeDownloadManager() {
    std::lock_guard<std::mutex> lock(g_createLock);
    DownloadManager* manager = g_downloadManager.load(std::memory_order_acquire);
    if (!manager) return;
    // Stopped while still reachable: a callback that asks for the manager during the stop finds
    // this one (whose queue the stop empties) instead of creating another.
    manager->Stop();
    g_downloadManager.store(nullptr, std::memory_order_release);
    g_downloadManagerOwner.reset();
}

std::string GetServerRootUrl() { return "http://" + DataServerHost.Get() + "/"; }

void SetDataServerHost(const std::string& host) { DataServerHost.Set(host); }

std::string GetDataServerHost() { return DataServerHost.Get(); }

std::string GetSiteRootUrl() {
    std::lock_guard<std::mutex> lock(g_rootLock);
    return SiteText();
}

void SetSiteRootUrl(const std::string& url) {
    std::string clean = Clean(url);
    if (!clean.empty() && clean.back() != '/') clean += '/';
    std::lock_guard<std::mutex> lock(g_rootLock);
    SiteText() = clean.empty() ? kDefaultSiteRootUrl : clean;
}
