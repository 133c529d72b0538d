#include "net/httpclient.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/text.h"
#include "net/services.h"
#include "net/socket.h"

#ifdef _WIN32
#include "net/wininet.h"
#endif

namespace {

const char kUserAgent[] = "Pirandel";

// Line breaks inside a URL would split the request line (base64 texts carry them).
std::string StripLineBreaks(const char* url) {
    std::string out;
    if (!url) return out;
    for (const char* p = url; *p; ++p)
        if (*p != '\r' && *p != '\n') out += *p;
    return out;
}

void Empty(CMemoryStream* stream) {
    if (stream) stream->Reset();
}

// The raw transport's body goes straight into the caller's stream.
class StreamSink : public CBodySink {
public:
    explicit StreamSink(CMemoryStream* stream) : m_stream(stream) {}
    bool Expect(size_t length) override {
        return length <= static_cast<size_t>(LONG_MAX) && m_stream->Grow(static_cast<long>(length));
    }
    bool Append(const char* data, size_t length) override {
        if (length == 0) return true;
        if (length > static_cast<size_t>(LONG_MAX)) return false;
        return m_stream->Write(data, static_cast<long>(length)) == static_cast<long>(length);
    }
    size_t Size() const override { return static_cast<size_t>(m_stream->GetSize()); }
    void Clear() override { m_stream->Reset(); }

private:
    CMemoryStream* m_stream;
};

}  // namespace

HttpClient::HttpClient()
    : m_nAccessType(kAccessDirect),
      m_nProxyType(kProxyNone),
      m_nProxyPort(0),
      m_nConnectTimeout(kConnectTimeoutMs),
      m_bRawSocket(1),
      m_cancel(false) {
    velmora::net::NetStartup();
    // Every client of the program goes the way run.ini says (direct until the shell says otherwise).
    ApplyDefaultProxy(*this);
}

HttpClient::~HttpClient() { velmora::net::NetCleanup(); }

int HttpClient::SetProxy(int type, int proxyType, const char* host, int port, const char* user,
                         const char* password) {
    SingleLock lock(&m_lock);
    if (type == kAccessPreconfig || type == kAccessDirect) {
        // Without this a proxy chosen before would still pick WinInet and its proxy.
        m_nAccessType = type;
        m_strProxyHost.clear();
        m_strProxyUser.clear();
        m_strProxyPassword.clear();
        m_nProxyPort = 0;
        return 1;
    }
    if (type != kAccessProxy) return 0;
    m_nAccessType = kAccessProxy;
    m_nProxyType = proxyType;
    if (!host || !*host) {
        m_nAccessType = kAccessPreconfig;
        m_strProxyHost.clear();
        m_strProxyUser.clear();
        m_strProxyPassword.clear();
        m_nProxyPort = 0;
        return 0;
    }
    m_strProxyHost = StripLineBreaks(host);
    m_nProxyPort = port;
    m_strProxyUser = user ? user : "";
    m_strProxyPassword = password ? password : "";
    return 1;
}

std::string HttpClient::MakeProxyString(int proxyType, const char* host, int port) {
    if (!host || !*host) return std::string();
    const char* prefix = "";
    if (proxyType == kProxySocks4 || proxyType == kProxySocks5) prefix = "socks=";
    else if (proxyType == kProxyHttp) prefix = "http=";
    return StringPrintf("%s%s:%d", prefix, host, port);
}

void HttpClient::Cancel() {
    m_cancel.store(true, std::memory_order_release);
    m_raw.Cancel();
}

void HttpClient::ResetCancel() {
    m_cancel.store(false, std::memory_order_release);
    m_raw.ResetCancel();
}

bool HttpClient::UsesWinInet() const {
#ifdef _WIN32
    SingleLock lock(&m_lock);
    return !(m_bRawSocket && m_strProxyHost.empty());
#else
    return false;
#endif
}

int HttpClient::GetAccessType() const {
    SingleLock lock(&m_lock);
    return m_nAccessType;
}
int HttpClient::GetProxyType() const {
    SingleLock lock(&m_lock);
    return m_nProxyType;
}
std::string HttpClient::GetProxyHost() const {
    SingleLock lock(&m_lock);
    return m_strProxyHost;
}
int HttpClient::GetProxyPort() const {
    SingleLock lock(&m_lock);
    return m_nProxyPort;
}
std::string HttpClient::GetProxyUser() const {
    SingleLock lock(&m_lock);
    return m_strProxyUser;
}
std::string HttpClient::GetProxyPassword() const {
    SingleLock lock(&m_lock);
    return m_strProxyPassword;
}

void HttpClient::SetTimeouts(int waitMs, int deadlineMs) {
    SingleLock lock(&m_lock);
    m_waitMs = waitMs > 0 ? waitMs : kDefaultWaitMs;
    m_deadlineMs = deadlineMs < 0 ? -1 : deadlineMs;
}

bool HttpClient::Download(const char* url, CMemoryStream* stream, void* buffer, int chunkSize, const char* headers) {
    if (!stream) return false;
    SingleLock lock(&m_lock);
    bool ok = false;
    bool raw = true;
    try {
        std::string target = StripLineBreaks(url);
        std::string extra = headers ? headers : "";
        Empty(stream);
        if (!target.empty() && !m_cancel.load(std::memory_order_acquire)) {
#ifdef _WIN32
            raw = m_bRawSocket && m_strProxyHost.empty();
            if (raw) ok = DownloadRaw(target, stream, extra);
            else ok = DownloadWinInet(target, stream, chunkSize, extra);
#else
            // Proxies are reached through WinInet only; the native build always connects directly.
            ok = DownloadRaw(target, stream, extra);
#endif
        }
    } catch (...) {
        LogCaughtException("HttpClient::Download", url);
        ok = false;
    }
    if (!ok) {
        Empty(stream);
        // A cancel is asked for, not a failure.
        if (!m_cancel.load(std::memory_order_acquire)) {
            if (raw)
                LogError("HttpClient::Download", "%s: no whole 200 reply (socket error %d, status text \"%s\")",
                         url ? url : "", m_raw.GetError(), m_raw.GetReason().c_str());
            else
                LogError("HttpClient::Download", "%s: no whole 200 reply through WinInet", url ? url : "");
        }
    }
    return ok;
}

bool HttpClient::DownloadRaw(const std::string& url, CMemoryStream* stream, const std::string& headers) {
    m_raw.SetExtraHeaders(headers);
    m_raw.SetUserAgent(kUserAgent);
    m_raw.SetTimeout(m_waitMs);
    m_raw.SetDeadline(m_deadlineMs);
    StreamSink sink(stream);
    return m_raw.Get(url, sink);
}

#ifdef _WIN32
bool HttpClient::DownloadWinInet(const std::string& url, CMemoryStream* stream, int chunkSize,
                                 const std::string& headers) {
    // WinInet reaches only web addresses here.
    if (_strnicmp(url.c_str(), "http://", 7) != 0 && _strnicmp(url.c_str(), "https://", 8) != 0) return false;
    WinInetGetRequest request;
    request.agent = kUserAgent;
    request.accessType = static_cast<DWORD>(m_nAccessType);
    request.proxy = MakeProxyString(m_nProxyType, m_strProxyHost.c_str(), m_nProxyPort);
    if (!request.proxy.empty() && !m_strProxyHost.empty()) {
        request.proxyUser = m_strProxyUser;
        request.proxyPassword = m_strProxyPassword;
    }
    request.url = url;
    request.headers = headers;
    request.waitMs = static_cast<DWORD>(m_waitMs);
    request.connectMs = static_cast<DWORD>(std::min(m_nConnectTimeout, m_waitMs));
    request.deadlineMs = m_deadlineMs;
    request.maxBody = CHTTP::kDefaultMaxBody;
    request.piece = chunkSize > 0 ? static_cast<DWORD>(std::min(chunkSize, 1 << 20)) : 16384;
    return WinInetGet(request, stream, m_cancel);
}
#endif
