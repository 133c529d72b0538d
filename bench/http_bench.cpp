// The raw client CHTTP against a plain socket loop (connect, send the request, read to the close),
// and HttpClient::Download into a CMemoryStream against CHTTP into a string, all fetching from a
// native loopback server in the same run: one 64 MB body and 1,000 small ones.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/memstream.h"
#include "net/http.h"
#include "net/httpclient.h"
#include "loopback_server.h"
#include "ratio.h"

namespace {

const size_t kBig = 64u * 1024 * 1024;
const int kSmallCount = 1000;
const size_t kSmall = 200;

velmora_bench::LoopbackServer* g_server = nullptr;

std::string Path(size_t n) { return "/static/" + std::to_string(n); }

// The limit: a blocking socket, the request, and reads into a buffer of the expected size.
size_t PlainFetch(const std::string& path, size_t expect) {
    std::string request = "GET " + path + " HTTP/1.1\r\nAccept: */*\r\nConnection: close\r\nHost: 127.0.0.1\r\n\r\n";
    int s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(g_server->Port()));
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
    std::string url = g_server->Url(Path(kBig));
    for (auto _ : state) {
        std::string body;
        if (!http.Get(url, body) || body.size() != kBig) state.SkipWithError("fetch failed");
    }
}

void BM_PlainBig(benchmark::State& state) {
    for (auto _ : state)
        if (PlainFetch(Path(kBig), kBig) != kBig) state.SkipWithError("fetch failed");
}

void BM_ClientBig(benchmark::State& state) {
    HttpClient client;
    std::string url = g_server->Url(Path(kBig));
    for (auto _ : state) {
        CMemoryStream stream;
        if (!client.Download(url.c_str(), &stream, nullptr, 0, nullptr) || stream.GetSize() != static_cast<long>(kBig))
            state.SkipWithError("fetch failed");
    }
}

void BM_HttpSmall(benchmark::State& state) {
    CHTTP http;
    std::string url = g_server->Url(Path(kSmall));
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

BENCHMARK(BM_HttpBig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainBig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClientBig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpSmall)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainSmall)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    velmora_bench::LoopbackServer server;
    server.Add(Path(kBig), std::string(kBig, 'x'));
    server.Add(Path(kSmall), std::string(kSmall, 'y'));
    if (!server.Start()) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    g_server = &server;
    const char* plainSocket = "connects a blocking socket, sends the GET and reads to the close into a string reserved "
                              "at the body's size";
    int status = velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_HttpBig", "BM_PlainBig", "CHTTP, one 64 MB body", 0.9, plainSocket},
         {"BM_HttpSmall", "BM_PlainSmall", "CHTTP, 1,000 small bodies", 0.9, plainSocket},
         {"BM_ClientBig", "BM_HttpBig", "HttpClient::Download, one 64 MB body into a CMemoryStream", 0.9,
          "is CHTTP::Get of the same body into a std::string"}});
    server.Stop();
    return status;
}
