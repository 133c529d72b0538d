#include "net/httpclient.h"

#include <cstdio>
#include <cstring>
#include <vector>

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

void HttpClient::SetRawTimeouts(int operationMs, int deadlineMs) {
    SingleLock lock(&m_lock);
    m_raw.SetTimeout(operationMs);
    m_raw.SetDeadline(deadlineMs);
}

bool HttpClient::Download(const char* url, CMemoryStream* stream, void* buffer, int chunkSize, const char* headers) {
    if (!stream) return false;
    SingleLock lock(&m_lock);
    bool ok = false;
    try {
        std::string target = StripLineBreaks(url);
        std::string extra = headers ? headers : "";
        Empty(stream);
        if (!target.empty() && !m_cancel.load(std::memory_order_acquire)) {
#ifdef _WIN32
            if (m_bRawSocket && m_strProxyHost.empty()) ok = DownloadRaw(target, stream, extra);
            else ok = DownloadWinInet(target, stream, buffer, chunkSize, extra);
#else
            // Proxies are reached through WinInet only; the native build always connects directly.
            ok = DownloadRaw(target, stream, extra);
#endif
        }
    } catch (...) {
        ok = false;
    }
    if (!ok) Empty(stream);
    return ok;
}

bool HttpClient::DownloadRaw(const std::string& url, CMemoryStream* stream, const std::string& headers) {
    m_raw.SetExtraHeaders(headers);
    m_raw.SetUserAgent(kUserAgent);
    std::string body;
    if (!m_raw.Get(url, body)) return false;
    if (body.size() > 0x7FFFFFFFu) return false;
    long size = static_cast<long>(body.size());
    if (size == 0) return true;
    return stream->Write(body.data(), size) == size;
}

#ifdef _WIN32
bool HttpClient::DownloadWinInet(const std::string& url, CMemoryStream* stream, void* buffer, int chunkSize,
                                 const std::string& headers) {
    // WinInet reaches only web addresses here.
    if (_strnicmp(url.c_str(), "http://", 7) != 0 && _strnicmp(url.c_str(), "https://", 8) != 0) return false;
    std::string proxy = MakeProxyString(m_nProxyType, m_strProxyHost.c_str(), m_nProxyPort);
    std::vector<char> own;
    if (!buffer || chunkSize <= 0) {
        own.resize(16384);
        buffer = own.data();
        chunkSize = static_cast<int>(own.size());
    }
    try {
        CInternetSession session(kUserAgent, static_cast<DWORD>(m_nAccessType), proxy.c_str(), nullptr,
                                 INTERNET_FLAG_NO_CACHE_WRITE);
        if (!proxy.empty() && !m_strProxyHost.empty()) {
            try {
                if (!m_strProxyUser.empty()) session.SetOption(INTERNET_OPTION_PROXY_USERNAME, m_strProxyUser.c_str());
                if (!m_strProxyPassword.empty())
                    session.SetOption(INTERNET_OPTION_PROXY_PASSWORD, m_strProxyPassword.c_str());
            } catch (const CInternetException&) {
                // The proxy may not need them; the request shows whether it does.
            }
        }
        session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, static_cast<DWORD>(m_nConnectTimeout));
        session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, static_cast<DWORD>(1));
        if (m_cancel.load(std::memory_order_acquire)) return false;
        // Opening the URL sends the request; it is not sent a second time.
        CHttpFile file(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(-1),
                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION);
        if (file.QueryInfoNumber(HTTP_QUERY_STATUS_CODE) != 200) return false;
        for (;;) {
            if (m_cancel.load(std::memory_order_acquire)) return false;
            DWORD n = file.Read(buffer, static_cast<DWORD>(chunkSize));
            if (n == 0) break;
            if (stream->GetSize() + static_cast<long>(n) > static_cast<long>(CHTTP::kDefaultMaxBody)) return false;
            if (stream->Write(buffer, static_cast<long>(n)) != static_cast<long>(n)) return false;
        }
        return true;
    } catch (const CInternetException&) {
        return false;
    }
}
#endif
