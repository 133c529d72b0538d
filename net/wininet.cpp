#ifdef _WIN32

#include "net/wininet.h"

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/log.h"
#include "net/http.h"
#include "net/socket.h"

CInternetException::CInternetException(HINTERNET handle, const char* format, ...)
    : m_handle(handle), m_dwError(GetLastError()), m_dwExtended(0) {
    DWORD length = 0;
    InternetGetLastResponseInfoA(&m_dwExtended, nullptr, &length);
    if (length > 0) {
        std::vector<char> text(length + 1, 0);
        DWORD size = length + 1;
        if (InternetGetLastResponseInfoA(&m_dwExtended, text.data(), &size)) m_response.assign(text.data());
    }
    if (m_response.empty()) m_response = "Unknown error";
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    m_message = buffer;
}

CInternetHandle::~CInternetHandle() { Close(); }

void CInternetHandle::Close() {
    if (m_handle) InternetCloseHandle(m_handle);
    m_handle = nullptr;
}

namespace {

std::string ProgramName() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

CInternetSession::CInternetSession(const char* agent, DWORD accessType, const char* proxy, const char* bypass,
                                   DWORD flags) {
    std::string name = agent ? agent : ProgramName();
    m_handle = InternetOpenA(name.c_str(), accessType, proxy, bypass, flags);
    if (!m_handle) throw CInternetException(nullptr, "Failed to open an internet session");
}

void CInternetSession::SetOption(DWORD option, const char* text) {
    DWORD length = text ? static_cast<DWORD>(strlen(text)) : 0;
    if (!InternetSetOptionA(m_handle, option, const_cast<char*>(text ? text : ""), length))
        throw CInternetException(m_handle, "Failed to set an internet option (%u)", static_cast<unsigned>(option));
}

void CInternetSession::SetOption(DWORD option, DWORD value) {
    if (!InternetSetOptionA(m_handle, option, &value, sizeof(value)))
        throw CInternetException(m_handle, "Failed to set an internet option (%u)", static_cast<unsigned>(option));
}

DWORD CInternetFile::Read(void* buffer, DWORD size) {
    DWORD read = 0;
    if (!InternetReadFile(m_handle, buffer, size, &read))
        throw CInternetException(m_handle, "Failed to read from network (%u bytes)", static_cast<unsigned>(size));
    return read;
}

CHttpFile::CHttpFile(CInternetSession& session, const char* url, const char* headers, DWORD headersLength,
                     DWORD flags) {
    m_handle = InternetOpenUrlA(session.GetHandle(), url, headers, headers ? headersLength : 0, flags,
                                reinterpret_cast<DWORD_PTR>(this));
    if (!m_handle) throw CInternetException(session.GetHandle(), "Failed to open http url (%s)", url);
}

DWORD CHttpFile::QueryInfoNumber(DWORD level, DWORD index) {
    DWORD value = 0, size = sizeof(value);
    DWORD combined = level | HTTP_QUERY_FLAG_NUMBER;
    if (!HttpQueryInfoA(m_handle, combined, &value, &size, &index))
        throw CInternetException(m_handle, "Failed to query http info (%u)", static_cast<unsigned>(combined));
    return value;
}

namespace {

using velmora::net::Deadline;

// What one request shares between its caller and the thread that runs it. The caller may give
// the request up (deadline, cancel) while WinInet still waits: under Wine a blocked call returns
// neither at the time-out options of the session handle nor when its handle is closed, only at
// the time-outs of its connect handle, which bound each wait but not the whole request. From the
// moment the caller gives up, the thread touches nothing of the caller's and ends on its own.
struct GetState {
    std::mutex lock;
    std::condition_variable changed;
    CMemoryStream* stream = nullptr;  // null once the caller has given up
    Deadline deadline;
    bool done = false;
    bool ok = false;
    bool inCall = false;  // the thread is inside a blocking WinInet call
    bool closed = false;
    HINTERNET handles[3] = {nullptr, nullptr, nullptr};  // session, connection, request

    // Handles are closed once, by the caller only while a call holds them (so that a closed
    // handle's number is never used again by this request), else by the thread at its end.
    void CloseLocked() {
        if (closed) return;
        closed = true;
        for (int i = 2; i >= 0; --i)
            if (handles[i]) InternetCloseHandle(handles[i]);
    }
    void Keep(int index, HINTERNET handle) {
        std::lock_guard<std::mutex> hold(lock);
        handles[index] = handle;
    }
    // Brackets a blocking call: false when the caller has given up (then nothing is called).
    bool Enter() {
        std::lock_guard<std::mutex> hold(lock);
        if (!stream) return false;
        inCall = true;
        return true;
    }
    bool Leave() {
        std::lock_guard<std::mutex> hold(lock);
        inCall = false;
        return stream != nullptr && deadline.Remaining() != 0;
    }
};

// Time-out options are set on every level: Windows takes them from the session, Wine from the
// connection. A level that refuses one is not an error.
void SetTimeouts(HINTERNET handle, const WinInetGetRequest& rq) {
    const struct {
        DWORD option, value;
    } options[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, rq.connectMs},      {INTERNET_OPTION_CONNECT_RETRIES, 1},
        {INTERNET_OPTION_SEND_TIMEOUT, rq.waitMs},            {INTERNET_OPTION_RECEIVE_TIMEOUT, rq.waitMs},
        {INTERNET_OPTION_DATA_SEND_TIMEOUT, rq.waitMs},       {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, rq.waitMs},
    };
    for (const auto& o : options) {
        DWORD value = o.value;
        InternetSetOptionA(handle, o.option, &value, sizeof(value));
    }
}

bool ParseLength(const char* text, size_t limit, size_t& value) {
    if (!*text) return false;
    value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<size_t>(*p - '0');
        if (value > limit) return false;
    }
    return true;
}

bool Fetch(GetState& st, const WinInetGetRequest& rq) {
    // The URL's parts, in buffers as long as the URL itself.
    size_t room = rq.url.size() + 1;
    std::vector<char> host(room), user(room), password(room), path(room), extra(room);
    URL_COMPONENTSA parts;
    std::memset(&parts, 0, sizeof(parts));
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(room);
    parts.lpszUserName = user.data();
    parts.dwUserNameLength = static_cast<DWORD>(room);
    parts.lpszPassword = password.data();
    parts.dwPasswordLength = static_cast<DWORD>(room);
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(room);
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(room);
    if (!InternetCrackUrlA(rq.url.c_str(), 0, 0, &parts) || !host[0]) return false;
    bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP) return false;
    std::string object = std::string(path.data()) + extra.data();
    if (object.empty() || object[0] != '/') object.insert(0, "/");

    HINTERNET session = InternetOpenA(rq.agent.c_str(), rq.accessType, rq.proxy.c_str(), nullptr,
                                      INTERNET_FLAG_NO_CACHE_WRITE);
    if (!session) return false;
    st.Keep(0, session);
    if (!rq.proxy.empty()) {
        // The proxy may not need them; the request shows whether it does.
        if (!rq.proxyUser.empty())
            InternetSetOptionA(session, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(rq.proxyUser.c_str()),
                               static_cast<DWORD>(rq.proxyUser.size()));
        if (!rq.proxyPassword.empty())
            InternetSetOptionA(session, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(rq.proxyPassword.c_str()),
                               static_cast<DWORD>(rq.proxyPassword.size()));
    }
    SetTimeouts(session, rq);
    HINTERNET connection = InternetConnectA(session, host.data(), parts.nPort, user[0] ? user.data() : nullptr,
                                            password[0] ? password.data() : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return false;
    st.Keep(1, connection);
    SetTimeouts(connection, rq);
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    HINTERNET request = HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!request) return false;
    st.Keep(2, request);
    SetTimeouts(request, rq);

    // The request is sent once.
    if (!st.Enter()) return false;
    BOOL sent = HttpSendRequestA(request, rq.headers.empty() ? nullptr : rq.headers.c_str(),
                                 rq.headers.empty() ? 0 : static_cast<DWORD>(-1), nullptr, 0);
    if (!st.Leave() || !sent) return false;
    DWORD status = 0, size = sizeof(status), index = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index) ||
        status != 200) {
        LogError("WinInetGet", "%s: status %lu refused", rq.url.c_str(), static_cast<unsigned long>(status));
        return false;
    }

    // The announced length, checked at the end: a body cut short is never taken as whole.
    char text[32] = {0};
    size = sizeof(text) - 1;
    index = 0;
    size_t length = 0;
    bool announced = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index) != FALSE;
    if (announced) {
        if (!ParseLength(text, rq.maxBody, length)) return false;
        std::lock_guard<std::mutex> hold(st.lock);
        if (!st.stream) return false;
        st.deadline.Extend(static_cast<int64_t>(length / (CHTTP::kSlowestRate / 1000)));
        if (length > 0 && !st.stream->Grow(static_cast<long>(length))) return false;
    }

    // Reads only what is there, so that each read returns after at most one wait and the
    // deadline is looked at between them.
    std::vector<char> buffer(rq.piece > 0 ? rq.piece : 16384);
    size_t total = 0;
    for (;;) {
        DWORD available = 0;
        if (!st.Enter()) return false;
        BOOL queried = InternetQueryDataAvailable(request, &available, 0, 0);
        if (!st.Leave() || !queried) return false;
        if (available == 0) break;
        DWORD got = 0;
        if (!st.Enter()) return false;
        BOOL read = InternetReadFile(request, buffer.data(),
                                     std::min<DWORD>(available, static_cast<DWORD>(buffer.size())), &got);
        if (!st.Leave() || !read) return false;
        if (got == 0) break;
        std::lock_guard<std::mutex> hold(st.lock);
        if (!st.stream || got > rq.maxBody - total) return false;
        if (st.stream->Write(buffer.data(), static_cast<long>(got)) != static_cast<long>(got)) return false;
        total += got;
    }
    // A chunked reply cut short cannot be told here: Wine's WinInet reports its end as a normal one.
    return !announced || total == length;
}

void RunGet(std::shared_ptr<GetState> st, WinInetGetRequest rq) {
    bool ok = false;
    try {
        ok = Fetch(*st, rq);
    } catch (...) {
        LogCaughtException("WinInetGet", rq.url.c_str());
        ok = false;
    }
    std::lock_guard<std::mutex> hold(st->lock);
    st->ok = ok;
    st->done = true;
    st->CloseLocked();
    st->changed.notify_all();
}

}  // namespace

bool WinInetGet(const WinInetGetRequest& request, CMemoryStream* stream, const std::atomic<bool>& cancel) {
    if (!stream) return false;
    auto st = std::make_shared<GetState>();
    st->stream = stream;
    st->deadline = Deadline(request.deadlineMs);
    try {
        std::thread(RunGet, st, request).detach();
    } catch (...) {
        LogCaughtException("WinInetGet", request.url.c_str());
        return false;
    }
    std::unique_lock<std::mutex> hold(st->lock);
    for (;;) {
        if (st->done) return st->ok;
        if (cancel.load(std::memory_order_acquire) || st->deadline.Remaining() == 0) {
            st->stream = nullptr;
            if (st->inCall) st->CloseLocked();  // Windows ends a blocked call on its closed handle
            return false;
        }
        st->changed.wait_for(hold, std::chrono::milliseconds(20));
    }
}

#endif  // _WIN32
