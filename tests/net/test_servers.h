// Servers the network tests talk to: the fixture service (a child process) and a small
// in-process server that answers each connection with scripted bytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora_test {

// The fixture service started as python3 tools/fixture-service/fixture.py. When the variable
// VELMORA_FIXTURE_PORT is set, a fixture already running on that port is used instead.
class FixtureProcess {
public:
    ~FixtureProcess() { Stop(); }
    // Starts it with these extra arguments; false (with a reason) when it does not come up.
    bool Start(const std::vector<std::string>& args, std::string* why);
    void Stop();
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;

private:
    int m_port = 0;
    bool m_external = false;
    std::string m_portFile;
#ifdef _WIN32
    void* m_process = nullptr;
#else
    int m_pid = 0;
#endif
};

// Plain-socket helpers, independent of the client under test.
// Sends a GET with "Connection: close" and returns everything received until the close.
std::string RawExchange(int port, const std::string& request);
// The body of one of the fixture's control requests ("clear", "log", "last", "set?...").
std::string FixtureControl(int port, const std::string& what);
// How many requests of the fixture's log have a path that starts with the text.
int CountLoggedRequests(int port, const std::string& pathPrefix);
// A port on 127.0.0.1 where nothing listens.
int UnusedPort();
// Runs a program (a host path; under Wine it is reached through the drive Z:) with these
// arguments and waits at most timeoutMs for it to end. True when it ended, with its exit code;
// a program still running then is killed (and false returned).
bool RunProgram(const std::string& path, const std::vector<std::string>& args, int timeoutMs, int* exitCode);

// Accepts connections on 127.0.0.1 in a thread of its own; each connection's request head (and
// body by Content-Length) is recorded, then the script runs on the connected socket.
class ScriptServer {
public:
    struct Step {
        std::string bytes;
        int pauseMs;  // after sending bytes
    };
    typedef std::vector<Step> Script;

    ScriptServer();
    ~ScriptServer();
    // Connection i runs scripts[i], the last one for every later connection. "{PORT}" in the
    // bytes becomes the server's port.
    bool Start(const std::vector<Script>& scripts, bool holdOpen = false);
    void Stop();
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;
    std::vector<std::string> Requests();

private:
    void Run();
    intptr_t m_listen = -1;
    int m_port = 0;
    std::vector<Script> m_scripts;
    bool m_hold = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
};

}  // namespace velmora_test
