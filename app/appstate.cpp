#include "app/appstate.h"

#include <mutex>

#include "app/settings.h"
#include "base/memstream.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "store/storeenv.h"

namespace {
std::mutex g_lock;
std::string g_userName;
}  // namespace

void ApplyLoginReply(const LoginReply& reply) {
    SetDataServerHost(reply.dataHost);
    SetServerDataState(static_cast<int32_t>(reply.serverTime), reply.marketOpen != 0);
}

std::string GetDataServerHostText() { return GetDataServerHost(); }
uint32_t GetServerDataTimeValue() { return static_cast<uint32_t>(GetServerDataTime()); }
int GetMarketOpenFlag() { return GetServerStatusFlag() ? 1 : 0; }

void SetLoginUserName(const std::string& name) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_userName = name;
}
std::string GetLoginUserName() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_userName;
}

bool FetchUrl(const std::string& url, std::string* body, int bufferSize) {
    body->clear();
    HttpClient* client = GetHttpClient();
    if (!client) return false;
    CMemoryStream stream;
    std::string buffer(bufferSize > 0 ? bufferSize : 256, '\0');
    if (!client->Download(url.c_str(), &stream, &buffer[0], static_cast<int>(buffer.size()), nullptr)) return false;
    body->assign(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize()));
    return true;
}

int ApplyProxySettings(const ProxySettings& p) {
    HttpClient* client = GetHttpClient();
    if (!client) return 0;
    return client->SetProxy(static_cast<int>(p.accessType), static_cast<int>(p.proxyType), p.address.c_str(),
                            static_cast<int>(p.port), p.user.c_str(), p.password.c_str());
}
