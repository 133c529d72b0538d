#include "app/appstate.h"

#include <atomic>
#include <mutex>

#include "app/settings.h"
#include "net/http.h"

namespace {
std::mutex g_lock;
std::string g_dataHost;
std::string g_userName;
std::atomic<uint32_t> g_serverTime{0};
std::atomic<int> g_marketOpen{0};
}  // namespace

void ApplyLoginReply(const LoginReply& reply) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_dataHost = reply.dataHost;
    }
    g_marketOpen.store(reply.marketOpen);
    g_serverTime.store(reply.serverTime);
}

std::string GetDataServerHostText() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_dataHost;
}
uint32_t GetServerDataTimeValue() { return g_serverTime.load(); }
int GetMarketOpenFlag() { return g_marketOpen.load(); }

void SetLoginUserName(const std::string& name) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_userName = name;
}
std::string GetLoginUserName() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_userName;
}

bool FetchUrl(const std::string& url, std::string* body, int) {
    CHTTP http;
    http.SetUserAgent("Pirandel");
    body->clear();
    return http.Get(url, *body);
}

int ApplyProxySettings(const ProxySettings&) { return 1; }
