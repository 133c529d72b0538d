#include "net/socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace velmora {
namespace net {

namespace {
// The longest single wait between looks at the cancel flag.
constexpr int kSliceMs = 20;

#ifndef _WIN32
thread_local int t_lastError = 0;

int MapErrno(int e) {
    switch (e) {
    case ECONNREFUSED: return kErrConnRefused;
    case ETIMEDOUT: return kErrTimedOut;
    case EADDRINUSE: return kErrAddrInUse;
    case ECONNRESET: case EPIPE: return kErrConnReset;
    case ECONNABORTED: return kErrConnAborted;
    case ENOTCONN: return kErrNotConnected;
    case EAGAIN: case EINPROGRESS: return kErrWouldBlock;
    case EINVAL: return kErrInvalid;
    default: return 10000 + e;
    }
}
#endif
}  // namespace

int64_t Deadline::Remaining() const {
    if (m_end == Clock::time_point::max()) return -1;
    auto now = Clock::now();
    if (now >= m_end) return 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_end - now).count() + 1;
}

#ifdef _WIN32
int GetLastNetError() { return WSAGetLastError(); }
void SetLastNetError(int code) { WSASetLastError(code); }
int TakeSystemError() { return WSAGetLastError(); }

bool NetStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void NetCleanup() { WSACleanup(); }
void DebugOutput(const char* text) { OutputDebugStringA(text); }
#else
int GetLastNetError() { return t_lastError; }
void SetLastNetError(int code) { t_lastError = code; }
int TakeSystemError() {
    t_lastError = MapErrno(errno);
    return t_lastError;
}
bool NetStartup() { return true; }
void NetCleanup() {}
void DebugOutput(const char*) {}
#endif

bool ParseDottedQuad(const std::string& text, uint8_t out[4]) {
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        int value = 0, digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        out[part] = static_cast<uint8_t>(value);
    }
    return i == text.size();
}

SocketHandle OpenTcpSocket() {
#ifdef _WIN32
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        TakeSystemError();
        return kNoSocket;
    }
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    BOOL nodelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&nodelay), sizeof(nodelay));
    return static_cast<SocketHandle>(s);
#else
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (s < 0) {
        TakeSystemError();
        return kNoSocket;
    }
    // No TCP_NODELAY here: a request is one write, and Linux never holds back the tail of a
    // write while only full segments are unacknowledged.
    return s;
#endif
}

void CloseSocket(SocketHandle s) {
    if (s == kNoSocket) return;
#ifdef _WIN32
    closesocket(static_cast<SOCKET>(s));
#else
    close(static_cast<int>(s));
#endif
}

void ShutdownSocket(SocketHandle s) {
    if (s == kNoSocket) return;
#ifdef _WIN32
    shutdown(static_cast<SOCKET>(s), SD_BOTH);
#else
    shutdown(static_cast<int>(s), SHUT_RDWR);
#endif
}

int WaitSocket(SocketHandle s, bool forWrite, const Deadline& deadline, const std::atomic<bool>* cancel,
               bool* failed) {
    if (failed) *failed = false;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_acquire)) {
            SetLastNetError(kErrInterrupted);
            return -1;
        }
        int64_t left = deadline.Remaining();
        if (left == 0) {
            SetLastNetError(kErrTimedOut);
            return 0;
        }
        int slice = left < 0 ? kSliceMs : static_cast<int>(std::min<int64_t>(left, kSliceMs));
#ifdef _WIN32
        fd_set rd, wr, ex;
        FD_ZERO(&rd);
        FD_ZERO(&wr);
        FD_ZERO(&ex);
        SOCKET h = static_cast<SOCKET>(s);
        if (forWrite) {
            FD_SET(h, &wr);
            FD_SET(h, &ex);  // a failed connect shows here
        } else {
            FD_SET(h, &rd);
        }
        timeval tv;
        tv.tv_sec = slice / 1000;
        tv.tv_usec = (slice % 1000) * 1000;
        int n = select(0, &rd, &wr, &ex, &tv);
        if (n == SOCKET_ERROR) {
            TakeSystemError();
            return -1;
        }
        if (n > 0) {
            if (failed) *failed = FD_ISSET(h, &ex) != 0;
            return 1;
        }
#else
        pollfd p;
        p.fd = static_cast<int>(s);
        p.events = forWrite ? POLLOUT : POLLIN;
        p.revents = 0;
        int n = poll(&p, 1, slice);
        if (n < 0) {
            if (errno == EINTR) continue;
            TakeSystemError();
            return -1;
        }
        if (n > 0) {
            // Errors and hang-ups show as ready; the next call reports them.
            if (failed) *failed = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
            return 1;
        }
#endif
    }
}

int StartConnect(SocketHandle s, const uint8_t address[4], int port) {
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    std::memcpy(&sa.sin_addr, address, 4);
#ifdef _WIN32
    if (connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0) return 1;
    int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK || e == WSAEINPROGRESS) return 0;
    return -1;
#else
    for (;;) {
        if (connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0) return 1;
        if (errno == EINTR) continue;
        if (errno == EINPROGRESS) return 0;
        TakeSystemError();
        return -1;
    }
#endif
}

bool FinishConnect(SocketHandle s) {
    int err = 0;
#ifdef _WIN32
    int len = sizeof(err);
    if (getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0) {
        TakeSystemError();
        return false;
    }
    if (err != 0) {
        WSASetLastError(err);
        return false;
    }
#else
    socklen_t len = sizeof(err);
    if (getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        TakeSystemError();
        return false;
    }
    if (err != 0) {
        SetLastNetError(MapErrno(err));
        return false;
    }
#endif
    return true;
}

int RecvSome(SocketHandle s, char* buffer, int length) {
#ifdef _WIN32
    int n = recv(static_cast<SOCKET>(s), buffer, length, 0);
    if (n >= 0) return n;
    if (WSAGetLastError() == WSAEWOULDBLOCK) return -1;
    return -2;
#else
    for (;;) {
        ssize_t n = recv(static_cast<int>(s), buffer, static_cast<size_t>(length), 0);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
        TakeSystemError();
        return -2;
    }
#endif
}

int SendSome(SocketHandle s, const char* data, int length) {
#ifdef _WIN32
    int n = send(static_cast<SOCKET>(s), data, length, 0);
    if (n >= 0) return n;
    if (WSAGetLastError() == WSAEWOULDBLOCK) return -1;
    return -2;
#else
    for (;;) {
        ssize_t n = send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
        TakeSystemError();
        return -2;
    }
#endif
}

}  // namespace net
}  // namespace velmora
