#include "net/http.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/base64.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

using namespace velmora::net;

namespace {

bool EqualNoCase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t n = std::strlen(prefix);
    return text.size() >= n && EqualNoCase(text.data(), prefix, n);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Decimal digits only, no sign; false when empty or beyond the limit.
bool ParseDecimal(const std::string& text, size_t limit, size_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<size_t>(c - '0');
        if (value > limit) return false;
    }
    return true;
}

}  // namespace

CAutoPtrSocket::~CAutoPtrSocket() {
    CloseSocket(m_hSocket);
}

int CAutoPtrSocket::Close() {
    if (m_hSocket != kNoSocket) {
        CloseSocket(m_hSocket);
        m_hSocket = kNoSocket;
    }
    return 0;
}

bool CDNSNameCache::Resolve(const std::string& name, std::string& address) {
    uint8_t a[4];
    char text[32];
    if (ParseDottedQuad(name, a)) {
        std::snprintf(text, sizeof(text), "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
        address = text;
        return true;
    }
    for (const auto& entry : m_names) {
        if (entry.first == name) {
            address = entry.second;
            return true;
        }
    }
    if (!NetStartup()) {
        DebugOutput("Could not open Windows connection\n");
        return false;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    bool found = false;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) == 0 && result) {
        const sockaddr_in* sa = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&sa->sin_addr);
        std::snprintf(text, sizeof(text), "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
        address = text;
        m_names.emplace_back(name, address);
        found = true;
    } else {
        DebugOutput("Could not find host\n");
    }
    if (result) freeaddrinfo(result);
    NetCleanup();
    return found;
}

CHTTP::CHTTP()
    : m_userAgent("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"),
      m_port(80),
      m_pBuffer(nullptr),
      m_nCount(0),
      m_nStart(0),
      m_peerClosed(false),
      m_error(0),
      m_timeoutMs(kDefaultTimeoutMs),
      m_deadlineMs(kDefaultDeadlineMs),
      m_maxBody(kDefaultMaxBody),
      m_cancel(false) {
    NetStartup();
}

CHTTP::~CHTTP() {
    Close();
    NetCleanup();
}

int CHTTP::Close() {
    int saved = GetLastNetError();
    CAutoPtrSocket::Close();
    m_nCount = 0;
    m_nStart = 0;
    m_peerClosed = false;
    SetLastNetError(saved);
    return 0;
}

int CHTTP::Fail(int code) {
    m_error = code;
    SetLastNetError(code);
    Close();
    return 0;
}

velmora::net::Deadline CHTTP::OperationDeadline() const {
    return Deadline::Earlier(Deadline(m_timeoutMs), m_requestDeadline);
}

bool CHTTP::ParseUrl(const std::string& url, std::string& host, std::string& user, std::string& password,
                     int& port, std::string& path) {
    host.clear();
    path.clear();
    user.clear();
    password.clear();
    port = 80;
    size_t scheme = url.find("://");
    if (scheme == std::string::npos) return false;
    std::string rest = url.substr(scheme + 3);
    size_t slash = rest.find('/');
    size_t at = rest.find('@');
    if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
        std::string info = rest.substr(0, at);
        size_t colon = info.find(':');
        if (colon == std::string::npos) {
            user = info;
        } else {
            user = info.substr(0, colon);
            password = info.substr(colon + 1);
        }
        rest = rest.substr(at + 1);
        slash = rest.find('/');
    }
    std::string authority = slash == std::string::npos ? rest : rest.substr(0, slash);
    size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        host = authority.substr(0, colon);
        size_t value = 0;
        if (!ParseDecimal(authority.substr(colon + 1), 65535, value) || value == 0) return false;
        port = static_cast<int>(value);
    } else {
        host = authority;
    }
    if (host.empty() || host.size() > kMaxHostLength) return false;
    path = slash == std::string::npos ? "/" : rest.substr(slash);
    return true;
}

bool CHTTP::Connect() {
    std::string address;
    uint8_t a[4];
    CDNSNameCache names;
    if (!names.Resolve(m_host, address) || !ParseDottedQuad(address, a)) {
        m_error = kErrHostNotFound;
        SetLastNetError(kErrHostNotFound);
        return false;
    }
    for (int attempt = 0; attempt < 4; ++attempt) {
        CAutoPtrSocket::Close();
        m_hSocket = OpenTcpSocket();
        if (m_hSocket == kNoSocket) break;
        int started = StartConnect(m_hSocket, a, m_port);
        if (started == 0) {
            bool failed = false;
            int ready = WaitSocket(m_hSocket, true, OperationDeadline(), &m_cancel, &failed);
            if (ready == 1) started = !failed || FinishConnect(m_hSocket) ? 1 : -1;
            else started = -1;
        }
        if (started == 1) {
            m_peerClosed = false;
            return true;
        }
        int e = GetLastNetError();
        if ((e != kErrTimedOut && e != kErrAddrInUse) || m_requestDeadline.Remaining() == 0) break;
    }
    m_error = GetLastNetError();
    Close();
    return false;
}

bool CHTTP::Send(const char* data, size_t length) {
    size_t sent = 0;
    while (sent < length) {
        if (m_cancel.load(std::memory_order_acquire)) {
            SetLastNetError(kErrInterrupted);
            return false;
        }
        int piece = static_cast<int>(std::min<size_t>(length - sent, 1 << 20));
        int n = SendSome(m_hSocket, data + sent, piece);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n == -1) {
            if (WaitSocket(m_hSocket, true, OperationDeadline(), &m_cancel) != 1) return false;
        } else {
            return false;
        }
    }
    return true;
}

int CHTTP::Receive(int limit) {
    if (!m_pBuffer) {
        m_pBuffer = std::make_unique<char[]>(kBufferSize + 1);
        m_nCount = m_nStart = 0;
    }
    if (m_nStart > 0) {
        // Move the bytes not yet taken to the front so that the room is whole.
        std::memmove(m_pBuffer.get(), m_pBuffer.get() + m_nStart, static_cast<size_t>(m_nCount - m_nStart));
        m_nCount -= m_nStart;
        m_nStart = 0;
    }
    m_pBuffer[m_nCount] = 0;
    int room = kBufferSize - m_nCount;
    if (room <= 0) {
        // Never issue a zero-length read: it would look like a close.
        SetLastNetError(kErrMessageSize);
        return 0;
    }
    int want = limit >= 0 && limit < room ? limit : room;
    if (want == 0) return 1;
    int target = m_nCount + want;
    for (;;) {
        if (m_peerClosed) return 2;
        if (m_cancel.load(std::memory_order_acquire)) {
            SetLastNetError(kErrInterrupted);
            return 0;
        }
        int n = RecvSome(m_hSocket, m_pBuffer.get() + m_nCount, target - m_nCount);
        if (n > 0) {
            m_nCount += n;
            m_pBuffer[m_nCount] = 0;
            if (limit < 0 || m_nCount >= target) return 1;
        } else if (n == 0) {
            ShutdownSocket(m_hSocket);
            m_peerClosed = true;
            SetLastNetError(0);
            return 2;
        } else if (n == -1) {
            if (WaitSocket(m_hSocket, false, OperationDeadline(), &m_cancel) != 1) return 0;
        } else {
            return 0;
        }
    }
}

void CHTTP::Consume(size_t n) {
    if (n >= HeldCount()) {
        m_nCount = m_nStart = 0;
    } else {
        m_nStart += static_cast<int>(n);
    }
    if (m_pBuffer) m_pBuffer[m_nCount] = 0;
}

bool CHTTP::FindHeader(const char* name, std::string& value) const {
    size_t n = std::strlen(name);
    size_t pos = 0;
    while (pos < m_headerText.size()) {
        size_t end = m_headerText.find("\r\n", pos);
        if (end == std::string::npos) end = m_headerText.size();
        if (end - pos > n && m_headerText[pos + n] == ':' && EqualNoCase(m_headerText.data() + pos, name, n)) {
            value = Trim(m_headerText.substr(pos + n + 1, end - pos - n - 1));
            return true;
        }
        pos = end + 2;
    }
    return false;
}

int CHTTP::Request(const std::string& method, const std::string& url, const std::string* body) {
    m_error = 0;
    m_requestDeadline = Deadline(m_deadlineMs);
    std::string verb = method;
    std::string target = url;
    const std::string* content = body;
    for (int hops = 0;; ++hops) {
        std::string next;
        std::string before = verb;
        int status = RequestOnce(verb, target, content, next);
        if (next.empty()) return status;
        if (hops >= kMaxRedirects) return Fail(kErrInvalid);
        if (verb != before) content = nullptr;  // 303: the new GET carries no body
        target = next;
    }
}

int CHTTP::RequestOnce(std::string& method, const std::string& rawUrl, const std::string* body, std::string& next) {
    Close();
    if (m_cancel.load(std::memory_order_acquire)) return Fail(kErrInterrupted);
    std::string url;
    url.reserve(rawUrl.size());
    for (char c : rawUrl)
        if (c != '\r' && c != '\n') url += c;
    m_currentUrl = url;
    m_headerText.clear();
    m_version.clear();
    m_reason.clear();
    std::string path;
    if (!ParseUrl(url, m_host, m_user, m_password, m_port, path)) return Fail(kErrInvalid);
    if (!Connect()) return Fail(m_error ? m_error : GetLastNetError());

    std::string lines;
    if (method == "POST") {
        lines += "Content-Type: application/x-www-form-urlencoded\r\n";
    } else {
        lines += "Accept: */*\r\nConnection: close\r\n";
    }
    lines += "Host: " + m_host;
    if (m_port != 80) lines += ":" + std::to_string(m_port);
    lines += "\r\n";
    lines += "User-Agent: " + m_userAgent + "\r\n";
    if (!m_cookie.empty()) lines += "Cookie: " + m_cookie + "\r\n";
    if (!m_extraHeaders.empty()) {
        lines += m_extraHeaders;
        if (m_extraHeaders.size() < 2 || m_extraHeaders.compare(m_extraHeaders.size() - 2, 2, "\r\n") != 0)
            lines += "\r\n";
    }
    if (!m_user.empty()) {
        std::string credentials = m_user + ":" + m_password;
        lines += "Authorization: Basic " + CUrlBase64::EncodeLine(credentials.data(), credentials.size(), false) + "\r\n";
    }
    if (body) lines += "Content-Length: " + std::to_string(body->size()) + "\r\n";
    std::string request = method + " " + path + " HTTP/1.1\r\n" + lines + "\r\n";
    if (body) request += *body;
    if (!Send(request.data(), request.size())) return Fail(GetLastNetError());

    // The head: everything up to the empty line, within the receive buffer.
    m_nCount = m_nStart = 0;
    size_t headEnd = std::string::npos;
    bool closed = false;
    int scanned = 0;
    for (;;) {
        int got = Receive(-1);
        if (got == 0) return Fail(GetLastNetError() ? GetLastNetError() : kErrConnReset);
        for (int i = std::max(0, scanned - 3); i + 4 <= m_nCount; ++i) {
            if (m_pBuffer[i] == '\r' && std::memcmp(m_pBuffer.get() + i, "\r\n\r\n", 4) == 0) {
                headEnd = static_cast<size_t>(i) + 4;
                break;
            }
        }
        scanned = m_nCount;
        if (headEnd != std::string::npos) break;
        if (got == 2) {
            closed = true;
            break;
        }
        if (m_nCount >= kBufferSize) return Fail(kErrMessageSize);
    }
    std::string head(m_pBuffer.get(), closed ? static_cast<size_t>(m_nCount) : headEnd);
    size_t lineEnd = head.find('\r');
    if (lineEnd == std::string::npos || lineEnd + 1 >= head.size() || head[lineEnd + 1] != '\n')
        return Fail(closed ? kErrConnReset : kErrInvalid);
    std::string statusLine = head.substr(0, lineEnd);
    size_t sp1 = statusLine.find(' ');
    m_version = statusLine.substr(0, sp1);
    std::string code;
    if (sp1 != std::string::npos) {
        size_t sp2 = statusLine.find(' ', sp1 + 1);
        code = statusLine.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
        if (sp2 != std::string::npos) m_reason = statusLine.substr(sp2 + 1);
    }
    if (closed) {
        // The peer closed before an empty line: no header block; the rest is body.
        headEnd = lineEnd + 2;
    } else {
        m_headerText = head.substr(lineEnd + 2, headEnd - lineEnd - 4);
    }
    if (method != "HEAD" && m_version != "HTTP/1.0" && m_version != "HTTP/1.1") return Fail(kErrInvalid);
    size_t status = 0;
    if (!ParseDecimal(code, 999, status)) return Fail(kErrInvalid);
    Consume(headEnd);

    if (status < 100) return Fail(kErrInvalid);
    if (status < 300) return static_cast<int>(status);
    if (status >= 400) {
        Close();
        return static_cast<int>(status);
    }
    Close();
    bool follow = status == 301 || status == 303 || ((status == 302 || status == 307) && method == "GET");
    if (!follow) return static_cast<int>(status);
    std::string location;
    if (!FindHeader("Location", location) || location.empty()) return Fail(kErrInvalid);
    if (StartsWithNoCase(location, "http:")) {
        next = location;
    } else if (StartsWithNoCase(location, "https:") || location.find("://") != std::string::npos) {
        return Fail(kErrInvalid);  // this client speaks plain http only
    } else {
        std::string base = "http://" + m_host + ":" + std::to_string(m_port);
        if (location[0] == '/') {
            next = base + location;
        } else {
            std::string dir = path.substr(0, path.find('?'));
            next = base + dir.substr(0, dir.rfind('/') + 1) + location;
        }
    }
    if (status == 303) method = "GET";
    return static_cast<int>(status);
}

namespace {

class StringSink : public CBodySink {
public:
    explicit StringSink(std::string& text) : m_text(text) {}
    bool Expect(size_t length) override {
        m_text.reserve(length);
        return true;
    }
    bool Append(const char* data, size_t length) override {
        m_text.append(data, length);
        return true;
    }
    size_t Size() const override { return m_text.size(); }
    void Clear() override {
        m_text.clear();
        m_text.shrink_to_fit();
    }

private:
    std::string& m_text;
};

}  // namespace

bool CHTTP::Get(const std::string& url, std::string& body) {
    StringSink sink(body);
    return Get(url, sink);
}

bool CHTTP::Get(const std::string& url, CBodySink& body) {
    body.Clear();
    int status = Request("GET", url, nullptr);
    if (status != 200) {
        Close();
        return false;
    }
    bool ok = ReadBody(body);
    Close();
    return ok;
}

bool CHTTP::FailBody(CBodySink& body, int code) {
    body.Clear();
    Fail(code);
    return false;
}

bool CHTTP::Append(CBodySink& body, const char* data, size_t length) {
    if (length > m_maxBody || body.Size() > m_maxBody - length) return false;
    return body.Append(data, length);
}

bool CHTTP::ReadBody(std::string& body) {
    StringSink sink(body);
    return ReadBody(sink);
}

bool CHTTP::ReadBody(CBodySink& body) {
    body.Clear();
    if (m_hSocket == kNoSocket) return FailBody(body, kErrNotConnected);
    if (!m_pBuffer) {
        m_pBuffer = std::make_unique<char[]>(kBufferSize + 1);
        m_nCount = m_nStart = 0;
    }
    std::string value;
    if (FindHeader("Transfer-Encoding", value) && StartsWithNoCase(value, "chunked")) return ReadChunked(body);
    if (FindHeader("Content-Length", value)) {
        size_t length = 0;
        if (!ParseDecimal(value, m_maxBody, length)) return FailBody(body, value.empty() ? kErrInvalid : kErrMessageSize);
        return ReadCounted(body, length);
    }
    return ReadToClose(body);
}

bool CHTTP::ReadCounted(CBodySink& body, size_t length) {
    m_requestDeadline.Extend(static_cast<int64_t>(length / (kSlowestRate / 1000)));
    if (!body.Expect(length)) return FailBody(body, kErrMessageSize);
    size_t take = std::min(length, HeldCount());
    if (!body.Append(Held(), take)) return FailBody(body, kErrMessageSize);
    Consume(take);
    while (body.Size() < length) {
        m_nCount = m_nStart = 0;
        size_t left = length - body.Size();
        int got = Receive(static_cast<int>(std::min<size_t>(left, kBufferSize)));
        if (got == 0) return FailBody(body, GetLastNetError());
        if (!body.Append(m_pBuffer.get(), static_cast<size_t>(m_nCount))) return FailBody(body, kErrMessageSize);
        m_nCount = 0;
        if (got == 2 && body.Size() < length) return FailBody(body, kErrConnReset);  // short body
    }
    return true;
}

bool CHTTP::ReadToClose(CBodySink& body) {
    if (!Append(body, Held(), HeldCount())) return FailBody(body, kErrMessageSize);
    for (;;) {
        m_nCount = m_nStart = 0;
        int got = Receive(-1);
        if (got == 0) return FailBody(body, GetLastNetError());
        if (!Append(body, m_pBuffer.get(), static_cast<size_t>(m_nCount))) return FailBody(body, kErrMessageSize);
        m_nCount = 0;
        if (got == 2) return true;
    }
}

bool CHTTP::ReadChunked(CBodySink& body) {
    for (;;) {
        // The chunk-size line.
        char* lf = nullptr;
        for (;;) {
            lf = static_cast<char*>(std::memchr(Held(), '\n', HeldCount()));
            if (lf) break;
            if (HeldCount() >= kBufferSize) return FailBody(body, kErrInvalid);
            int got = Receive(-1);
            if (got == 0) return FailBody(body, GetLastNetError());
            if (got == 2) return FailBody(body, kErrConnReset);
        }
        size_t size = 0;
        int digits = 0;
        for (const char* p = Held(); p < lf; ++p, ++digits) {
            int d;
            if (*p >= '0' && *p <= '9') d = *p - '0';
            else if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
            else if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
            else break;  // an extension or the line end follows
            size = size * 16 + static_cast<size_t>(d);
            if (size > m_maxBody) return FailBody(body, kErrMessageSize);
        }
        if (digits == 0) return FailBody(body, kErrInvalid);
        Consume(static_cast<size_t>(lf - Held()) + 1);
        if (size == 0) return true;  // trailers are not read
        if (body.Size() + size > m_maxBody) return FailBody(body, kErrMessageSize);
        // The chunk's bytes.
        size_t left = size;
        for (;;) {
            size_t take = std::min(left, HeldCount());
            if (!body.Append(Held(), take)) return FailBody(body, kErrMessageSize);
            Consume(take);
            left -= take;
            if (left == 0) break;
            int got = Receive(-1);
            if (got == 0) return FailBody(body, GetLastNetError());
            if (got == 2) return FailBody(body, kErrConnReset);
        }
        // The line end after the chunk.
        while (HeldCount() < 2) {
            int got = Receive(-1);
            if (got == 0) return FailBody(body, GetLastNetError());
            if (got == 2) return FailBody(body, kErrConnReset);
        }
        if (Held()[0] != '\r' || Held()[1] != '\n') return FailBody(body, kErrInvalid);
        Consume(2);
    }
}
