// A loopback HTTP server for the benchmarks: replies made once in memory, served by a pool of
// threads that all accept on one listening socket, so that the client is what gets measured and
// the server only costs what the kernel does. One request per connection ("Connection: close").
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace velmora_bench {

class LoopbackServer {
public:
    LoopbackServer() = default;
    ~LoopbackServer() { Stop(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Serves body (200, with its Content-Length) for every GET of path, whatever the query.
    // Call before Start; other paths get 404.
    void Add(const std::string& path, const std::string& body);
    // Listens on 127.0.0.1 (a free port) with threads threads (0: one per processor).
    bool Start(int threads = 0);
    void Stop();
    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" + target
    std::string Url(const std::string& target) const;

private:
    void Serve();
    void Answer(int connection);

    int m_listen = -1;
    int m_port = 0;
    std::map<std::string, std::string> m_replies;  // path -> the whole reply, head and body
    std::string m_notFound;
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_stop{false};
};

}  // namespace velmora_bench
