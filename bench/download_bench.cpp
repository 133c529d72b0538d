// The download manager against plain threads: 2,000 small gzip files from the fixture service,
// fetched and unpacked once by the manager's workers and once by as many plain threads, each with
// its own HttpClient and a fixed share of the URLs, in the same run.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/inflate.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "fixture_run.h"
#include "test_servers.h"

namespace {

const int kFiles = 2000;
const size_t kMinuteSize = 8314;

velmora_test::FixtureProcess* g_fixture = nullptr;

// Distinct URLs of one gzip minute file (the query keeps them apart in the queue).
std::vector<std::string> Urls(int round) {
    std::vector<std::string> urls;
    for (int i = 0; i < kFiles; ++i)
        urls.push_back(g_fixture->Url("/hqdatagzip/min/sh/600000.min?r=" + std::to_string(round) + "&n=" + std::to_string(i)));
    return urls;
}

struct Counter {
    std::mutex lock;
    std::condition_variable done;
    int good = 0, ended = 0;
};

void OnFile(const char*, const char*, void* context, const void*, int size) {
    Counter* c = static_cast<Counter*>(context);
    std::lock_guard<std::mutex> hold(c->lock);
    if (static_cast<size_t>(size) == kMinuteSize) ++c->good;
}

void BM_Manager(benchmark::State& state) {
    CTaskQueue queue;
    DownloadManager manager(&queue);
    Counter counter;
    manager.SetTaskObserver([&](const DownloadTask&) {
        std::lock_guard<std::mutex> hold(counter.lock);
        if (++counter.ended == kFiles) counter.done.notify_all();
    });
    manager.Start();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> urls = Urls(round++);
        {
            std::lock_guard<std::mutex> hold(counter.lock);
            counter.good = counter.ended = 0;
        }
        state.ResumeTiming();
        for (const std::string& url : urls) manager.AddTask(url.c_str(), "", "", OnFile, &counter, false, true);
        std::unique_lock<std::mutex> hold(counter.lock);
        counter.done.wait(hold, [&] { return counter.ended == kFiles; });
        if (counter.good != kFiles) state.SkipWithError("a download failed");
    }
    manager.Stop();
}

void BM_PlainThreads(benchmark::State& state) {
    int threads = DownloadManager::DefaultWorkerCount();
    int round = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> urls = Urls(round++);
        state.ResumeTiming();
        std::atomic<int> good{0};
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&, t] {
                HttpClient client;
                CMemoryStream body;
                std::vector<char> buffer(16384);
                for (size_t i = static_cast<size_t>(t); i < urls.size(); i += static_cast<size_t>(threads)) {
                    if (!client.Download(urls[i].c_str(), &body, buffer.data(), static_cast<int>(buffer.size()),
                                         "Accept-Encoding: gzip, deflate"))
                        continue;
                    unsigned char* out = nullptr;
                    size_t length = 0;
                    if (InflateBuffer(body.GetData(), static_cast<size_t>(body.GetSize()), &out, &length, true) == 0 &&
                        length == kMinuteSize)
                        ++good;
                    std::free(out);
                }
            });
        }
        for (auto& t : pool) t.join();
        if (good != kFiles) state.SkipWithError("a download failed");
    }
}

BENCHMARK(BM_Manager)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainThreads)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunWithFixture(argc, argv, &g_fixture,
                                         {{"BM_Manager", "BM_PlainThreads", "download manager, 2,000 small gzip files", 0.9}});
}
