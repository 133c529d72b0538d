// CHTTP against a plain socket loop (connect, send the request, read to the close), both fetching
// from the fixture service's static mode in the same run: one 64 MB body and 1,000 small ones.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "net/http.h"
#include "net/socket.h"
#include "fixture_run.h"
#include "test_servers.h"

namespace {

const size_t kBig = 64u * 1024 * 1024;
const int kSmallCount = 1000;
const size_t kSmall = 200;

velmora_test::FixtureProcess* g_fixture = nullptr;

std::string Path(size_t n) { return "/__static/" + std::to_string(n); }

// The limit: a blocking socket, the request, and reads into a buffer of the expected size.
size_t PlainFetch(const std::string& path, size_t expect) {
    std::string request = "GET " + path + " HTTP/1.1\r\nAccept: */*\r\nConnection: close\r\nHost: 127.0.0.1\r\n\r\n";
    int s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(g_fixture->Port()));
    sa.sin_addr.s_addr = htonl(0x7F000001);
    std::string reply;
    reply.reserve(expect + 4096);
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 &&
        send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buf[65536];
        ssize_t n;
        while ((n = recv(s, buf, sizeof(buf), 0)) > 0) reply.append(buf, static_cast<size_t>(n));
    }
    close(s);
    size_t at = reply.find("\r\n\r\n");
    return at == std::string::npos ? 0 : reply.size() - at - 4;
}

void BM_HttpBig(benchmark::State& state) {
    CHTTP http;
    http.SetMaxBody(kBig);
    for (auto _ : state) {
        std::string body;
        if (!http.Get(g_fixture->Url(Path(kBig)), body) || body.size() != kBig) state.SkipWithError("fetch failed");
    }
}

void BM_PlainBig(benchmark::State& state) {
    for (auto _ : state)
        if (PlainFetch(Path(kBig), kBig) != kBig) state.SkipWithError("fetch failed");
}

void BM_HttpSmall(benchmark::State& state) {
    CHTTP http;
    std::string url = g_fixture->Url(Path(kSmall));
    for (auto _ : state) {
        for (int i = 0; i < kSmallCount; ++i) {
            std::string body;
            if (!http.Get(url, body) || body.size() != kSmall) state.SkipWithError("fetch failed");
        }
    }
}

void BM_PlainSmall(benchmark::State& state) {
    for (auto _ : state)
        for (int i = 0; i < kSmallCount; ++i)
            if (PlainFetch(Path(kSmall), kSmall) != kSmall) state.SkipWithError("fetch failed");
}

BENCHMARK(BM_HttpBig)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainBig)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HttpSmall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSmall)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunWithFixture(argc, argv, &g_fixture,
                                         {{"BM_HttpBig", "BM_PlainBig", "CHTTP, one 64 MB body", 0.9},
                                          {"BM_HttpSmall", "BM_PlainSmall", "CHTTP, 1,000 small bodies", 0.9}});
}
