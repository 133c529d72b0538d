#include "loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>

namespace velmora_bench {

namespace {

#ifdef _WIN32
// The Windows build's benchmarks run under Wine with the client in the same process.
using ssize_t = int;
const int MSG_NOSIGNAL = 0;
const int SHUT_RDWR = SD_BOTH;
typedef int socklen_t;
inline int close(int s) { return closesocket(static_cast<SOCKET>(s)); }
inline bool Interrupted() { return false; }
inline bool Transient() { return WSAGetLastError() == WSAECONNRESET; }
inline const void* memmem(const void* hay, size_t n, const void* needle, size_t m) {
    for (const char* p = static_cast<const char*>(hay); n >= m; ++p, --n)
        if (std::memcmp(p, needle, m) == 0) return p;
    return nullptr;
}
#else
inline bool Interrupted() { return errno == EINTR; }
inline bool Transient() { return errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE; }
#endif

bool SendAll(int s, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = send(s, data, length, MSG_NOSIGNAL);
        if (n < 0 && Interrupted()) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

std::string Reply(const char* status, const std::string& body) {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

void LoopbackServer::Add(const std::string& path, const std::string& body) { m_replies[path] = Reply("200 OK", body); }

bool LoopbackServer::Start(int threads) {
    m_notFound = Reply("404 Not Found", "");
#ifdef _WIN32
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
#endif
    m_listen = static_cast<int>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (m_listen < 0) return false;
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof(one));
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(sa);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(m_listen, 4096) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        close(m_listen);
        m_listen = -1;
        return false;
    }
    m_port = ntohs(sa.sin_port);
    int n = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
    if (n <= 0) n = 4;
    m_stop = false;
    for (int i = 0; i < n; ++i) m_threads.emplace_back([this] { Serve(); });
    return true;
}

void LoopbackServer::Stop() {
    if (m_listen < 0) return;
    m_stop = true;
    shutdown(m_listen, SHUT_RDWR);  // wakes every thread blocked in accept
#ifdef _WIN32
    close(m_listen);  // Windows wakes them only when the socket closes
    for (std::thread& t : m_threads) t.join();
#else
    for (std::thread& t : m_threads) t.join();
    close(m_listen);
#endif
    m_threads.clear();
    m_listen = -1;
}

std::string LoopbackServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

void LoopbackServer::Serve() {
    while (!m_stop.load(std::memory_order_relaxed)) {
        int c = static_cast<int>(accept(m_listen, nullptr, nullptr));
        if (c < 0) {
            if (!m_stop.load() && Transient()) continue;
            return;  // the listening socket was shut down
        }
        Answer(c);
        close(c);
    }
}

void LoopbackServer::Answer(int c) {
    // The request head: small, and complete before the reply.
    char head[8192];
    size_t used = 0;
    for (;;) {
        if (used == sizeof(head)) return;
        ssize_t n = recv(c, head + used, sizeof(head) - used, 0);
        if (n < 0 && Interrupted()) continue;
        if (n <= 0) return;
        used += static_cast<size_t>(n);
        if (used >= 4 && memmem(head, used, "\r\n\r\n", 4)) break;
    }
    // "GET <path>[?query] HTTP/1.x"
    const char* end = head + used;
    const char* path = static_cast<const char*>(std::memchr(head, ' ', used));
    if (!path) return;
    ++path;
    const char* stop = path;
    while (stop < end && *stop != ' ' && *stop != '?') ++stop;
    auto it = m_replies.find(std::string(path, stop));
    const std::string& reply = it != m_replies.end() ? it->second : m_notFound;
    SendAll(c, reply.data(), reply.size());
}

}  // namespace velmora_bench
