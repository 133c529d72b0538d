#include "app/appstate.h"

#include <mutex>

#include "app/settings.h"
#include "base/memstream.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "store/storeenv.h"

namespace {
std::mutex g_lock;
std::string g_userName;
}  // namespace

void ApplyLoginReply(const LoginReply& reply) {
    DataServerHost.Set(reply.dataHost);
    ServerDataTime.store(static_cast<int32_t>(reply.serverTime));
    MarketOpenFlag.store(reply.marketOpen != 0 ? 1 : 0);
}

std::string GetDataServerHostText() { return DataServerHost.Get(); }
uint32_t GetServerDataTimeValue() { return static_cast<uint32_t>(ServerDataTime.load()); }
int GetMarketOpenFlag() { return MarketOpenFlag.load(); }

void SetLoginUserName(const std::string& name) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_userName = name;
}
std::string GetLoginUserName() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_userName;
}

bool FetchUrl(const std::string& url, std::string* body, int bufferSize, RequestLimits limits) {
    body->clear();
    HttpClient* client = GetHttpClient();
    if (!client) return false;
    client->SetTimeouts(limits.waitMs, limits.totalMs);
    CMemoryStream stream;
    std::string buffer(bufferSize > 0 ? bufferSize : 256, '\0');
    if (!client->Download(url.c_str(), &stream, &buffer[0], static_cast<int>(buffer.size()), nullptr)) return false;
    body->assign(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize()));
    return true;
}

int ApplyProxySettings(const ProxySettings& p) {
    return SetDefaultProxy(static_cast<int>(p.accessType), static_cast<int>(p.proxyType), p.address.c_str(),
                           static_cast<int>(p.port), p.user.c_str(), p.password.c_str());
}

void CancelTransfers() {
    if (HttpClient* client = GetHttpClient()) client->Cancel();
    // Stopping cancels the workers' and the synchronous downloads and waits only for them; none of
    // them waits for the user-interface thread.
    if (DownloadManager* manager = FindDownloadManager()) manager->Stop();
}

void ResumeTransfers() {
    if (HttpClient* client = GetHttpClient()) client->ResetCancel();
}
