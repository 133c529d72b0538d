#include "test_servers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "net/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
typedef int socklen_t;
typedef SOCKET SockT;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
typedef int SockT;
#endif

namespace velmora_test {

namespace {

void CloseRaw(intptr_t s) {
#ifdef _WIN32
    closesocket(static_cast<SOCKET>(s));
#else
    close(static_cast<int>(s));
#endif
}

intptr_t OpenRaw() {
#ifdef _WIN32
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? -1 : static_cast<intptr_t>(s);
#else
    return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#endif
}

sockaddr_in Loopback(int port) {
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(0x7F000001);
    return sa;
}

void SetRecvTimeout(intptr_t s, int ms) {
#ifdef _WIN32
    DWORD t = static_cast<DWORD>(ms);
    setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&t), sizeof(t));
#else
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
#endif
}

bool SendAll(intptr_t s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
#ifdef _WIN32
        int n = send(static_cast<SOCKET>(s), data.data() + sent, static_cast<int>(data.size() - sent), 0);
#else
        ssize_t n = send(static_cast<int>(s), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
#endif
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

int RecvRaw(intptr_t s, char* buf, int len) {
#ifdef _WIN32
    return recv(static_cast<SOCKET>(s), buf, len, 0);
#else
    return static_cast<int>(recv(static_cast<int>(s), buf, static_cast<size_t>(len), 0));
#endif
}

// Readable within ms? (1 yes, 0 no, -1 error)
int WaitReadable(intptr_t s, int ms) {
#ifdef _WIN32
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(static_cast<SOCKET>(s), &rd);
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    int n = select(0, &rd, nullptr, nullptr, &tv);
#else
    pollfd p;
    p.fd = static_cast<int>(s);
    p.events = POLLIN;
    p.revents = 0;
    int n = poll(&p, 1, ms);
#endif
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

#ifdef _WIN32
// Wine maps the drive Z: to the host's root folder.
std::string HostPathForWindows(const std::string& unixPath) {
    std::string out = "Z:";
    for (char c : unixPath) out += c == '/' ? '\\' : c;
    return out;
}
#endif

}  // namespace

bool FixtureProcess::Start(const std::vector<std::string>& args, std::string* why) {
    velmora::net::NetStartup();
    if (const char* external = std::getenv("VELMORA_FIXTURE_PORT")) {
        m_port = std::atoi(external);
        m_external = true;
        return m_port > 0;
    }
    static std::atomic<int> serial{0};
    std::string script = std::string(VELMORA_TEST_SOURCE_DIR) + "/tools/fixture-service/fixture.py";
    // Other Wine servers (another checkout's tests) hand out the same process ids: the clock
    // makes the name this run's own.
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned long long stamp = static_cast<unsigned long long>(now.QuadPart);
#else
    unsigned long pid = static_cast<unsigned long>(getpid());
    unsigned long long stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
    char name[128];
    std::snprintf(name, sizeof(name), "/tmp/velmora-fixture-%lu-%d-%llx.port", pid, serial++, stamp);
    m_portFile = name;
    // Wine reuses process ids across runs: never read a port an earlier run left behind.
#ifdef _WIN32
    DeleteFileA(HostPathForWindows(m_portFile).c_str());
#else
    std::remove(m_portFile.c_str());
#endif
    std::vector<std::string> argv = {"python3", script, "--port", "0", "--port-file", m_portFile, "--max-seconds", "600"};
    argv.insert(argv.end(), args.begin(), args.end());
#ifdef _WIN32
    // Wine starts host programs too; look for the host's python3 through the drive Z:.
    std::string python = "Z:\\usr\\bin\\python3";
    for (const char* candidate : {"Z:\\usr\\bin\\python3", "Z:\\usr\\local\\bin\\python3", "Z:\\bin\\python3"}) {
        if (GetFileAttributesA(candidate) != INVALID_FILE_ATTRIBUTES) {
            python = candidate;
            break;
        }
    }
    if (const char* p = std::getenv("VELMORA_PYTHON")) python = p;
    std::string line = "\"" + python + "\"";
    for (size_t i = 1; i < argv.size(); ++i) line += " \"" + argv[i] + "\"";
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof(pi));
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back(0);
    if (!CreateProcessA(python.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        if (why) *why = "cannot start " + python;
        return false;
    }
    m_process = pi.hProcess;
    if (pi.hThread) CloseHandle(pi.hThread);
    std::string readPath = HostPathForWindows(m_portFile);
#else
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(&a[0]);
    cargv.push_back(nullptr);
    const char* python = std::getenv("VELMORA_PYTHON");
    pid_t child = 0;
    if (posix_spawnp(&child, python ? python : "python3", nullptr, nullptr, cargv.data(), environ) != 0) {
        if (why) *why = "cannot start python3";
        return false;
    }
    m_pid = child;
    std::string readPath = m_portFile;
#endif
    for (int i = 0; i < 1200; ++i) {  // up to 60 s: a first start under Wine on a loaded machine can be slow
        std::ifstream in(readPath);
        int port = 0;
        if (in >> port && port > 0) {
            m_port = port;
            return true;
        }
        SleepMs(50);
    }
    if (why) *why = "the fixture did not report its port";
    Stop();
    return false;
}

void FixtureProcess::Stop() {
    if (m_port > 0 && !m_external) RawExchange(m_port, "GET /__fixture/quit HTTP/1.1\r\nConnection: close\r\n\r\n");
#ifdef _WIN32
    if (m_process) {
        if (WaitForSingleObject(m_process, 3000) != WAIT_OBJECT_0) TerminateProcess(m_process, 1);
        CloseHandle(m_process);
        m_process = nullptr;
    }
    if (!m_portFile.empty()) DeleteFileA(HostPathForWindows(m_portFile).c_str());
#else
    if (m_pid > 0) {
        int status = 0;
        for (int i = 0; i < 60 && waitpid(m_pid, &status, WNOHANG) == 0; ++i) SleepMs(50);
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = 0;
    }
    if (!m_portFile.empty()) std::remove(m_portFile.c_str());
#endif
    m_portFile.clear();
    m_port = 0;
}

std::string FixtureProcess::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string FixtureControl(int port, const std::string& what) {
    std::string reply = RawExchange(port, "GET /__fixture/" + what + " HTTP/1.1\r\nConnection: close\r\n\r\n");
    size_t at = reply.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

int CountLoggedRequests(int port, const std::string& pathPrefix) {
    std::string log = FixtureControl(port, "log");
    std::string text = "\"path\": \"" + pathPrefix;
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

std::string RawExchange(int port, const std::string& request) {
    velmora::net::NetStartup();
    std::string reply;
    intptr_t s = OpenRaw();
    if (s == -1) return reply;
    sockaddr_in sa = Loopback(port);
    SetRecvTimeout(s, 10000);
    if (connect(static_cast<SockT>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 &&
        SendAll(s, request)) {
        char buf[65536];
        int n;
        while ((n = RecvRaw(s, buf, sizeof(buf))) > 0) reply.append(buf, static_cast<size_t>(n));
    }
    CloseRaw(s);
    velmora::net::NetCleanup();
    return reply;
}

int UnusedPort() {
    velmora::net::NetStartup();
    intptr_t s = OpenRaw();
    sockaddr_in sa = Loopback(0);
    bind(static_cast<SockT>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t len = sizeof(sa);
    getsockname(static_cast<SockT>(s), reinterpret_cast<sockaddr*>(&sa), &len);
    CloseRaw(s);  // never listened: connecting there is refused
    velmora::net::NetCleanup();
    return ntohs(sa.sin_port);
}

bool RunProgram(const std::string& path, const std::vector<std::string>& args, int timeoutMs, int* exitCode) {
#ifdef _WIN32
    std::string exe = path[0] == '/' ? HostPathForWindows(path) : path;
    std::string line = "\"" + exe + "\"";
    for (const std::string& a : args) line += " \"" + a + "\"";
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof(pi));
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back(0);
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (pi.hThread) CloseHandle(pi.hThread);
    bool ended = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        if (exitCode) *exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    return ended;
#else
    std::vector<std::string> argv = {path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(&a[0]);
    cargv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, cargv.data(), environ) != 0) return false;
    int status = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0) return false;
        if (std::chrono::steady_clock::now() >= until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        SleepMs(10);
    }
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
#endif
}

ScriptServer::ScriptServer() { velmora::net::NetStartup(); }

ScriptServer::~ScriptServer() {
    Stop();
    velmora::net::NetCleanup();
}

bool ScriptServer::Start(const std::vector<Script>& scripts, bool holdOpen) {
    m_scripts = scripts;
    m_hold = holdOpen;
    m_listen = OpenRaw();
    if (m_listen == -1) return false;
    sockaddr_in sa = Loopback(0);
    auto h = static_cast<SockT>(m_listen);
    if (bind(h, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(h, 16) != 0) return false;
    socklen_t len = sizeof(sa);
    getsockname(h, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void ScriptServer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listen != -1) CloseRaw(m_listen);
    m_listen = -1;
}

std::string ScriptServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ScriptServer::Requests() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

void ScriptServer::Run() {
    while (!m_stop) {
        if (WaitReadable(m_listen, 20) != 1) continue;
        intptr_t c = static_cast<intptr_t>(accept(static_cast<SockT>(m_listen), nullptr, nullptr));
        if (c == -1) continue;
        std::string request;
        char buf[4096];
        size_t headEnd = std::string::npos;
        while (!m_stop && headEnd == std::string::npos) {
            if (WaitReadable(c, 20) != 1) continue;
            int n = RecvRaw(c, buf, sizeof(buf));
            if (n <= 0) break;
            request.append(buf, static_cast<size_t>(n));
            headEnd = request.find("\r\n\r\n");
        }
        if (headEnd != std::string::npos) {
            size_t pos = request.find("Content-Length: ");
            size_t want = pos != std::string::npos && pos < headEnd ? std::strtoul(request.c_str() + pos + 16, nullptr, 10) : 0;
            while (!m_stop && request.size() < headEnd + 4 + want) {
                if (WaitReadable(c, 20) != 1) continue;
                int n = RecvRaw(c, buf, sizeof(buf));
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
        }
        size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_requests.push_back(request);
            index = std::min(m_requests.size() - 1, m_scripts.size() - 1);
        }
        for (const Step& step : m_scripts[index]) {
            if (m_stop) break;
            std::string bytes = step.bytes;
            for (size_t at; (at = bytes.find("{PORT}")) != std::string::npos;)
                bytes.replace(at, 6, std::to_string(m_port));
            if (!bytes.empty() && !SendAll(c, bytes)) break;
            if (step.pauseMs > 0) SleepMs(step.pauseMs);
        }
        if (m_hold) {
            // Stay silent until the client gives up or the server stops.
            while (!m_stop) {
                int r = WaitReadable(c, 20);
                if (r < 0) break;
                if (r == 1 && RecvRaw(c, buf, sizeof(buf)) <= 0) break;
            }
        }
        CloseRaw(c);
    }
}

}  // namespace velmora_test
