#include "app/appstate.h"

#include <mutex>

#include "app/settings.h"
#include "base/memstream.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "store/storeenv.h"

#include <atomic>
#include <climits>
#include <ctime>

namespace {
std::mutex g_lock;
// Service time minus local time; kNoOffset until the service told its time.
constexpr int64_t kNoOffset = INT64_MIN;
std::atomic<int64_t> g_clockOffset(kNoOffset);
std::string g_userName;
}  // namespace

void ApplyLoginReply(const LoginReply& reply) {
    DataServerHost.Set(reply.dataHost);
    ServerDataTime.store(static_cast<int32_t>(reply.serverTime));
    MarketOpenFlag.store(reply.marketOpen != 0 ? 1 : 0);
    NoteServerTime(static_cast<int32_t>(reply.serverTime), static_cast<int64_t>(std::time(nullptr)));
}

void NoteServerTime(int32_t serverTime, int64_t localTime) {
    if (serverTime > 0) g_clockOffset.store(int64_t(serverTime) - localTime);
}

int32_t ServerClockNow() {
    const int64_t local = static_cast<int64_t>(std::time(nullptr));
    const int64_t offset = g_clockOffset.load();
    const int64_t now = offset == kNoOffset ? local : local + offset;
    return now > INT32_MAX ? INT32_MAX : now < 0 ? 0 : static_cast<int32_t>(now);
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
