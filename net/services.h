// The process-wide network objects and the service's root URLs.
#pragma once

#include <string>

class HttpClient;
class DownloadManager;

// Created on first use; null when the object cannot be made (the next call tries again).
HttpClient* GetHttpClient();
// Also starts the new manager's workers; a manager that cannot start is not kept.
DownloadManager* GetDownloadManager();
// Destroy the object when it exists; the manager is stopped first (its queue emptied).
void FreeHttpClient();
void FreeDownloadManager();

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
