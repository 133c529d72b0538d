// HttpClient (transport choice, proxy settings, failures) and the process-wide network objects.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "base/text.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "fixture_suite.h"
#include "test_servers.h"

using velmora_test::FixtureProcess;
using velmora_test::RawExchange;
using velmora_test::ScriptServer;

namespace {

std::string StaticBody(size_t n) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        size_t k = i % 65536;
        out[i] = static_cast<char>((k * 7 + (k >> 8)) & 0xFF);
    }
    return out;
}

std::string Contents(const CMemoryStream& s) {
    return s.GetSize() > 0 ? std::string(reinterpret_cast<const char*>(s.GetData()), static_cast<size_t>(s.GetSize()))
                           : std::string();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class ClientTest : public velmora_test::FixtureSuite<3> {
protected:
    void SetUp() override {
        NeedFixture();
        Control("clear");
    }

    // Requests that must end by their limits, and one that must not be cut off, on the client as
    // it is set up (direct, or through the fixture as a proxy).
    void CheckTimeLimits(HttpClient& client, const std::string& origin) {
        struct Case {
            const char* name;
            std::string url;
            int waitMs, deadlineMs;
            bool ok;
            double within;  // seconds
        } cases[] = {
            {"silent service", Url("/__static/10?mode=silent&hold=20000"), 700, 30000, false, 4.0},
            {"silent origin", origin, 700, 30000, false, 4.0},
            {"trickling body", Url("/__static/3000?slow=400&split=100"), 2000, 1500, false, 4.5},
            {"trickling head", Url("/__static/10?mode=bighead&kb=30&slow=400&split=1000"), 2000, 1500, false, 4.5},
            {"slow but steady", Url("/__static/3000?slow=60&split=300"), 2000, 8000, true, 6.0},
        };
        for (const Case& c : cases) {
            client.SetTimeouts(c.waitMs, c.deadlineMs);
            CMemoryStream stream;
            stream.Write("stale", 5);
            auto t0 = std::chrono::steady_clock::now();
            bool ok = client.Download(c.url.c_str(), &stream, nullptr, 16384, nullptr);
            double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            EXPECT_EQ(ok, c.ok) << c.name;
            EXPECT_LT(took, c.within) << c.name;
            if (c.ok) {
                EXPECT_EQ(Contents(stream), StaticBody(3000)) << c.name;
            } else {
                EXPECT_EQ(stream.GetSize(), 0) << c.name;
            }
        }
        client.SetTimeouts(0, HttpClient::kDefaultDeadlineMs);
    }
};
}  // namespace

TEST(HttpClientProxy, MakeProxyStringTable) {
    struct Case {
        int type;
        const char* host;
        int port;
        const char* want;
    } cases[] = {
        {1, "10.0.0.1", 1080, "socks=10.0.0.1:1080"}, {2, "proxy.example", 1081, "socks=proxy.example:1081"},
        {3, "10.0.0.2", 8080, "http=10.0.0.2:8080"},  {0, "10.0.0.3", 3128, "10.0.0.3:3128"},
        {7, "10.0.0.4", 80, "10.0.0.4:80"},           {3, "", 8080, ""},
        {3, nullptr, 8080, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HttpClient::MakeProxyString(c.type, c.host, c.port), c.want) << c.type << " " << (c.host ? c.host : "null");
}

TEST(HttpClientProxy, SetProxyTable) {
    HttpClient client;
    EXPECT_EQ(client.GetAccessType(), 1);
    EXPECT_EQ(client.GetProxyHost(), "");

    EXPECT_EQ(client.SetProxy(3, 3, "10.1.1.1", 8080, "user", "pw"), 1);
    EXPECT_EQ(client.GetAccessType(), 3);
    EXPECT_EQ(client.GetProxyType(), 3);
    EXPECT_EQ(client.GetProxyHost(), "10.1.1.1");
    EXPECT_EQ(client.GetProxyPort(), 8080);
    EXPECT_EQ(client.GetProxyUser(), "user");
    EXPECT_EQ(client.GetProxyPassword(), "pw");

    // Back to direct: the old proxy no longer chooses the transport.
    EXPECT_EQ(client.SetProxy(1, 0, "ignored", 1, "x", "y"), 1);
    EXPECT_EQ(client.GetAccessType(), 1);
    EXPECT_EQ(client.GetProxyHost(), "");
    EXPECT_EQ(client.GetProxyUser(), "");
    EXPECT_EQ(client.GetProxyPassword(), "");
    EXPECT_FALSE(client.UsesWinInet());

    EXPECT_EQ(client.SetProxy(3, 1, "10.1.1.2", 1080, nullptr, nullptr), 1);
    EXPECT_EQ(client.SetProxy(0, 0, nullptr, 0, nullptr, nullptr), 1);
    EXPECT_EQ(client.GetAccessType(), 0);
    EXPECT_EQ(client.GetProxyHost(), "");

    // A named proxy without a host falls back to the system's settings.
    EXPECT_EQ(client.SetProxy(3, 3, "", 8080, "u", "p"), 0);
    EXPECT_EQ(client.GetAccessType(), 0);
    EXPECT_EQ(client.GetProxyType(), 3);
    EXPECT_EQ(client.GetProxyHost(), "");

    // Unknown types change nothing.
    client.SetProxy(3, 2, "10.1.1.3", 1080, "", "");
    EXPECT_EQ(client.SetProxy(2, 3, "other", 1, "", ""), 0);
    EXPECT_EQ(client.SetProxy(-1, 3, "other", 1, "", ""), 0);
    EXPECT_EQ(client.GetAccessType(), 3);
    EXPECT_EQ(client.GetProxyType(), 2);
    EXPECT_EQ(client.GetProxyHost(), "10.1.1.3");
    EXPECT_EQ(client.GetProxyPort(), 1080);
}

TEST_F(ClientTest, WithoutProxyHostTheFixtureSeesADirectRequest) {
    HttpClient client;
    client.SetProxy(0, 0, nullptr, 0, nullptr, nullptr);  // access type says "system settings"
    EXPECT_FALSE(client.UsesWinInet());
    CMemoryStream stream;
    char buffer[128];
    ASSERT_TRUE(client.Download(Url("/__static/300?x=1").c_str(), &stream, buffer, sizeof(buffer), nullptr));
    EXPECT_EQ(Contents(stream), StaticBody(300));
    std::string log = Control("log");
    EXPECT_EQ(Count(log, "\"path\": \"/__static/300?x=1\""), 1u) << log;
    EXPECT_EQ(Count(log, "\"proxy\": false"), 1u) << log;
    EXPECT_NE(log.find("[\"User-Agent\", \"Pirandel\"]"), std::string::npos) << log;
}

TEST_F(ClientTest, LineBreaksAreStrippedAndHeadersSent) {
    HttpClient client;
    CMemoryStream stream;
    std::string url = Url("/__static/\r\n64?b=1\n");
    ASSERT_TRUE(client.Download(url.c_str(), &stream, nullptr, 0, "Accept-Encoding: gzip, deflate"));
    EXPECT_EQ(Contents(stream), StaticBody(64));
    std::string log = Control("log");
    EXPECT_NE(log.find("\"path\": \"/__static/64?b=1\""), std::string::npos) << log;
    EXPECT_NE(log.find("[\"Accept-Encoding\", \"gzip, deflate\"]"), std::string::npos) << log;
}

TEST_F(ClientTest, FailuresReturnFalseWithAnEmptyStream) {
    ScriptServer cut;
    ASSERT_TRUE(cut.Start({{{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial body", 0}}}));
    const std::string urls[] = {
        Url("/__static/500?mode=404"),
        Url("/__static/500?mode=500"),
        Url("/__static/100000?mode=cut"),
        Url("/__static/100000?mode=cut&framing=chunked"),
        Url("/__static/100?mode=reset"),
        Url("/__static/100?redirect=302&mode=nolocation"),
        cut.Url("/x"),
        "http://127.0.0.1:" + std::to_string(velmora_test::UnusedPort()) + "/",
        "not a url",
        "",
    };
    HttpClient client;
    for (const std::string& url : urls) {
        CMemoryStream stream;
        stream.Write("stale", 5);
        char buffer[256];
        EXPECT_FALSE(client.Download(url.c_str(), &stream, buffer, sizeof(buffer), nullptr)) << url;
        EXPECT_EQ(stream.GetSize(), 0) << url;
    }
    CMemoryStream stream;
    EXPECT_FALSE(client.Download(nullptr, &stream, nullptr, 0, nullptr));
    EXPECT_FALSE(client.Download(Url("/__static/1").c_str(), nullptr, nullptr, 0, nullptr));
}

namespace {

void TakeLine(const char* line, void* lines) { static_cast<std::vector<std::string>*>(lines)->push_back(line); }

}  // namespace

TEST_F(ClientTest, AFailureLeavesALogLineWithItsUrlAndACancelNone) {
    std::vector<std::string> lines;
    void* previousContext = nullptr;
    LogSink previous = SetLogSink(&TakeLine, &lines, &previousContext);
    HttpClient client;
    CMemoryStream stream;
    const std::string missing = Url("/__static/500?mode=404");
    EXPECT_FALSE(client.Download(missing.c_str(), &stream, nullptr, 0, nullptr));
    EXPECT_TRUE(client.Download(Url("/__static/10").c_str(), &stream, nullptr, 0, nullptr));
    client.Cancel();
    EXPECT_FALSE(client.Download(Url("/__static/10").c_str(), &stream, nullptr, 0, nullptr));
    SetLogSink(previous, previousContext);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("HttpClient::Download: " + missing + ": no whole 200 reply", 0), 0u) << lines[0];
}

TEST_F(ClientTest, TimeLimitsBoundEveryRequest) {
    ScriptServer silent;  // accepts, reads the request, never answers
    ASSERT_TRUE(silent.Start({{{"", 0}}}, true));
    HttpClient client;
    CheckTimeLimits(client, silent.Url("/x"));
}

TEST_F(ClientTest, LargeBodiesGoStraightIntoTheStream) {
    HttpClient client;
    for (const char* framing : {"framing=length", "framing=chunked", "framing=close"}) {
        CMemoryStream stream;
        ASSERT_TRUE(client.Download(Url(std::string("/__static/5000000?") + framing).c_str(), &stream, nullptr, 0,
                                    nullptr))
            << framing;
        EXPECT_TRUE(Contents(stream) == StaticBody(5000000)) << framing;
    }
    // An announced length is room made once, not a growing buffer copied into the stream.
    CMemoryStream stream;
    ASSERT_TRUE(client.Download(Url("/__static/5000000").c_str(), &stream, nullptr, 0, nullptr));
    EXPECT_LT(stream.GetCapacity(), 5000000 + CMemoryStream::kGranule);
}

TEST_F(ClientTest, CallsOnOneInstanceRunOneAfterTheOther) {
    HttpClient shared, other;
    auto fetch = [](HttpClient* c, std::string url, bool* ok) {
        CMemoryStream s;
        *ok = c->Download(url.c_str(), &s, nullptr, 0, nullptr) && s.GetSize() == 10;
    };
    auto timed = [&](HttpClient* a, HttpClient* b) {
        bool ok1 = false, ok2 = false;
        auto t0 = std::chrono::steady_clock::now();
        std::thread t1(fetch, a, Url("/__static/10?delay=400&n=1"), &ok1);
        std::thread t2(fetch, b, Url("/__static/10?delay=400&n=2"), &ok2);
        t1.join();
        t2.join();
        EXPECT_TRUE(ok1 && ok2);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    EXPECT_GE(timed(&shared, &shared), 0.79);
    EXPECT_LT(timed(&shared, &other), 0.79);
}

TEST_F(ClientTest, CancelEndsADownloadUntilReset) {
    HttpClient client;
    bool ok = true;
    auto t0 = std::chrono::steady_clock::now();
    std::thread t([&] {
        CMemoryStream s;
        ok = client.Download(Url("/__static/10?mode=silent&hold=8000").c_str(), &s, nullptr, 0, nullptr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // pacing: the download under way
    client.Cancel();
    t.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 4.0);
    CMemoryStream s;
    EXPECT_FALSE(client.Download(Url("/__static/10").c_str(), &s, nullptr, 0, nullptr));
    client.ResetCancel();
    EXPECT_TRUE(client.Download(Url("/__static/10").c_str(), &s, nullptr, 0, nullptr));
}

#ifdef _WIN32
// Through WinInet and the fixture in its proxy mode, which serves its own address itself.
TEST_F(ClientTest, HttpProxyGoesThroughWinInetOnce) {
    HttpClient client;
    ASSERT_EQ(client.SetProxy(3, 3, "127.0.0.1", s_fixture->Port(), nullptr, nullptr), 1);
    EXPECT_TRUE(client.UsesWinInet());
    std::string small, large;
    for (int chunk : {128, 16384}) {
        std::vector<char> buffer(static_cast<size_t>(chunk));
        CMemoryStream stream;
        ASSERT_TRUE(client.Download(Url("/__static/70000?p=1").c_str(), &stream, buffer.data(), chunk, nullptr)) << chunk;
        (chunk == 128 ? small : large) = Contents(stream);
    }
    EXPECT_EQ(small, StaticBody(70000));
    EXPECT_EQ(large, small);
    std::string log = Control("log");
    EXPECT_EQ(Count(log, "\"proxy\": true"), 2u) << log;  // one request per download
    EXPECT_EQ(Count(log, "\"proxy\": false"), 0u) << log;
    EXPECT_NE(log.find("Pirandel"), std::string::npos) << log;

    Control("clear");
    CMemoryStream stream;
    stream.Write("stale", 5);
    EXPECT_FALSE(client.Download(Url("/__static/10?mode=404").c_str(), &stream, nullptr, 0, nullptr));
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(Count(Control("log"), "\"proxy\": true"), 1u);

    // Back to direct: the fixture sees a plain request again.
    Control("clear");
    client.SetProxy(1, 0, nullptr, 0, nullptr, nullptr);
    EXPECT_FALSE(client.UsesWinInet());
    ASSERT_TRUE(client.Download(Url("/__static/10").c_str(), &stream, nullptr, 0, nullptr));
    EXPECT_EQ(Count(Control("log"), "\"proxy\": false"), 1u);
}

// Through the proxy a body is checked against its announced length, and a large one arrives whole.
TEST_F(ClientTest, ProxyChecksTheAnnouncedLength) {
    HttpClient client;
    ASSERT_EQ(client.SetProxy(3, 3, "127.0.0.1", s_fixture->Port(), nullptr, nullptr), 1);
    for (int chunk : {128, 16384}) {
        CMemoryStream stream;
        stream.Write("stale", 5);
        EXPECT_FALSE(client.Download(Url("/__static/100000?mode=cut").c_str(), &stream, nullptr, chunk, nullptr))
            << chunk;
        EXPECT_EQ(stream.GetSize(), 0) << chunk;
        ASSERT_TRUE(client.Download(Url("/__static/3000000?q=" + std::to_string(chunk)).c_str(), &stream, nullptr,
                                    chunk, nullptr))
            << chunk;
        EXPECT_TRUE(Contents(stream) == StaticBody(3000000)) << chunk;
        ASSERT_TRUE(client.Download(Url("/__static/70000?framing=chunked&c=" + std::to_string(chunk)).c_str(), &stream,
                                    nullptr, chunk, nullptr))
            << chunk;
        EXPECT_TRUE(Contents(stream) == StaticBody(70000)) << chunk;
    }
    // WinInet takes a chunked body apart itself; what it makes of one cut short is shown here.
    CMemoryStream stream;
    bool ok = client.Download(Url("/__static/100000?mode=cut&framing=chunked").c_str(), &stream, nullptr, 0, nullptr);
    std::printf("chunked body cut short through WinInet: %s, %ld bytes kept\n", ok ? "taken as whole" : "failed",
                stream.GetSize());
    if (!ok) {
        EXPECT_EQ(stream.GetSize(), 0);
    }
}

// A silent service, a silent origin behind the proxy and trickling replies end by their limits.
TEST_F(ClientTest, ProxyRequestsAreBoundedInTime) {
    ScriptServer silent;
    ASSERT_TRUE(silent.Start({{{"", 0}}}, true));
    HttpClient client;
    ASSERT_EQ(client.SetProxy(3, 3, "127.0.0.1", s_fixture->Port(), nullptr, nullptr), 1);
    CheckTimeLimits(client, silent.Url("/x"));
    EXPECT_GE(silent.Requests().size(), 1u);  // the proxy did reach the silent origin

    // Cancel ends a request that WinInet still waits on, long before its limits.
    client.SetTimeouts(20000, 60000);
    bool ok = true;
    auto t0 = std::chrono::steady_clock::now();
    std::thread t([&] {
        CMemoryStream s;
        ok = client.Download(Url("/__static/10?mode=silent&hold=20000&c=1").c_str(), &s, nullptr, 0, nullptr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // pacing: the download under way
    client.Cancel();
    t.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
}

TEST_F(ClientTest, ProxyFailuresDoNotThrow) {
    HttpClient client;
    client.SetProxy(3, 3, "127.0.0.1", velmora_test::UnusedPort(), "user", "secret");
    CMemoryStream stream;
    // A target no earlier test reached: Wine keeps connections per target across sessions.
    // Wine's WinInet may also fall back to a direct connection when the proxy is dead, so only a
    // failure is checked for its empty stream; either way nothing throws.
    std::string target = "http://127.0.0.2:" + std::to_string(s_fixture->Port()) + "/__static/10";
    if (!client.Download(target.c_str(), &stream, nullptr, 0, nullptr)) {
        EXPECT_EQ(stream.GetSize(), 0);
    }
    EXPECT_FALSE(client.Download("ftp://127.0.0.1/x", &stream, nullptr, 0, nullptr));
}

// What WinInet does with a SOCKS proxy: a scripted server stands in for it and records the
// first bytes it gets. The result is printed; the call must only end without throwing.
TEST_F(ClientTest, SocksProxyIsReportedAndDoesNotThrow) {
    ScriptServer socks;
    ASSERT_TRUE(socks.Start({{{"", 0}}}));
    HttpClient client;
    client.SetProxy(3, 2, "127.0.0.1", socks.Port(), nullptr, nullptr);
    CMemoryStream stream;
    bool ok = client.Download(Url("/__static/10").c_str(), &stream, nullptr, 0, nullptr);
    std::vector<std::string> seen = socks.Requests();
    std::string log = Control("log");
    std::string first = seen.empty() ? std::string() : seen[0].substr(0, 40);
    std::string hex;
    for (unsigned char c : first) hex += StringPrintf("%02x", c);
    std::printf("SOCKS through WinInet: result %d, proxy saw %u connection(s) [%s], fixture saw %u direct request(s)\n",
                ok ? 1 : 0, static_cast<unsigned>(seen.size()), hex.c_str(),
                static_cast<unsigned>(Count(log, "\"proxy\": false")));
    if (!ok) {
        EXPECT_EQ(stream.GetSize(), 0);
    }
}
#endif

TEST(NetServices, RootUrls) {
    EXPECT_EQ(GetServerRootUrl(), std::string("http://") + kDefaultDataServerHost + "/");
    SetDataServerHost("data.example:8080\r\n");
    EXPECT_EQ(GetServerRootUrl(), "http://data.example:8080/");
    EXPECT_EQ(GetDataServerHost(), "data.example:8080");
    SetDataServerHost("");
    EXPECT_EQ(GetServerRootUrl(), std::string("http://") + kDefaultDataServerHost + "/");

    EXPECT_EQ(GetSiteRootUrl(), kDefaultSiteRootUrl);
    SetSiteRootUrl(" http://site.example/velmora ");
    EXPECT_EQ(GetSiteRootUrl(), "http://site.example/velmora/");
    SetSiteRootUrl("http://site.example/");
    EXPECT_EQ(GetSiteRootUrl(), "http://site.example/");
    SetSiteRootUrl("");
    EXPECT_EQ(GetSiteRootUrl(), kDefaultSiteRootUrl);
}

TEST(NetServices, HostIsSafeToSetWhileRead) {
    std::atomic<bool> stop{false};
    SetDataServerHost("a.example");
    std::thread reader([&] {
        while (!stop) {
            std::string url = GetServerRootUrl();
            // Whole values only, never a torn one.
            ASSERT_TRUE(url == "http://a.example/" || url == "http://bb.example:81/" ||
                        url == std::string("http://") + kDefaultDataServerHost + "/")
                << url;
        }
    });
    for (int i = 0; i < 2000; ++i) SetDataServerHost(i % 2 ? "a.example" : "bb.example:81");
    stop = true;
    reader.join();
    SetDataServerHost("");
}

TEST(NetServices, ObjectsAreCreatedOnFirstUseAndFreed) {
    HttpClient* client = GetHttpClient();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(GetHttpClient(), client);
    FreeHttpClient();
    FreeHttpClient();
    ASSERT_NE(GetHttpClient(), nullptr);
    FreeHttpClient();

    DownloadManager* manager = GetDownloadManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GetDownloadManager(), manager);
    EXPECT_TRUE(manager->IsStarted());
    EXPECT_EQ(manager->GetWorkerLimit(), DownloadManager::DefaultWorkerCount());
    EXPECT_EQ(manager->GetWorkerCount(), 0);  // none until a task waits
    // Freeing stops the manager and empties the process-wide queue.
    for (int i = 0; i < 30; ++i)
        GetTaskQueue().AddTask("http://127.0.0.1:" + std::to_string(velmora_test::UnusedPort()) + "/" + std::to_string(i),
                               "", "", nullptr, nullptr, false, false, false);
    FreeDownloadManager();
    EXPECT_TRUE(GetTaskQueue().IsEmpty());
    EXPECT_EQ(GetTaskQueue().GetCount(), 0);
    FreeDownloadManager();
}
