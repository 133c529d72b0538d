// The download manager against plain threads: 2,000 small gzip files from a native loopback
// server, fetched and unpacked once by the manager's workers and once by as many plain threads,
// each with its own raw CHTTP client and a fixed share of the URLs, in the same run. And the cost
// of queueing tasks on a stopped manager against pushing them into a vector and a hash set.
#include <zlib.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "base/inflate.h"
#include "net/download.h"
#include "net/http.h"
#include "loopback_server.h"
#include "ratio.h"

namespace {

const int kFiles = 2000;
const size_t kMinuteSize = 8314;
const char kMinutePath[] = "/hqdatagzip/min/sh/600000.min";

velmora_bench::LoopbackServer* g_server = nullptr;

// A minute file's size of text-like bytes, gzip-packed as the service sends it.
std::string GzipMinuteFile() {
    std::string raw(kMinuteSize, '\0');
    unsigned x = 7;
    for (size_t i = 0; i < raw.size(); ++i) {
        x = x * 1103515245 + 12345;
        raw[i] = static_cast<char>((x >> 16) % 32);
    }
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    deflateInit2(&zs, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string gz(deflateBound(&zs, raw.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(&raw[0]);
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = reinterpret_cast<Bytef*>(&gz[0]);
    zs.avail_out = static_cast<uInt>(gz.size());
    deflate(&zs, Z_FINISH);
    gz.resize(zs.total_out);
    deflateEnd(&zs);
    return gz;
}

// Distinct URLs of the one file (the query keeps them apart in the queue).
std::vector<std::string> Urls(int round, int count) {
    std::vector<std::string> urls;
    urls.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        urls.push_back(g_server->Url(std::string(kMinutePath) + "?r=" + std::to_string(round) + "&n=" + std::to_string(i)));
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

// Workers the manager's burst started, and its limit: they start only while tasks wait.
int g_burstWorkers = 0, g_workerLimit = 0;

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
        std::vector<std::string> urls = Urls(round++, kFiles);
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
    g_burstWorkers = manager.GetWorkerCount();
    g_workerLimit = manager.GetWorkerLimit();
    state.counters["workers"] = g_burstWorkers;
    manager.Stop();
}

void BM_PlainThreads(benchmark::State& state) {
    int threads = DownloadManager::DefaultWorkerCount();
    int round = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> urls = Urls(round++, kFiles);
        state.ResumeTiming();
        std::atomic<int> good{0};
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&, t] {
                CHTTP http;
                http.SetExtraHeaders("Accept-Encoding: gzip, deflate");
                for (size_t i = static_cast<size_t>(t); i < urls.size(); i += static_cast<size_t>(threads)) {
                    std::string body;
                    if (!http.Get(urls[i], body)) continue;
                    unsigned char* out = nullptr;
                    size_t length = 0;
                    if (InflateBuffer(body.data(), body.size(), &out, &length, true) == 0 && length == kMinuteSize) ++good;
                    std::free(out);
                }
            });
        }
        for (auto& t : pool) t.join();
        if (good != kFiles) state.SkipWithError("a download failed");
    }
}

// Queueing n tasks on a new manager that is not started, against a loop that pushes the same
// tasks into a new vector and their URLs into a new set. Making and destroying the containers is
// not timed.
void BM_AddTasks(benchmark::State& state, int n) {
    std::vector<std::string> urls = Urls(7, n);
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto queue = std::make_unique<CTaskQueue>();
            auto manager = std::make_unique<DownloadManager>(queue.get());
            state.ResumeTiming();
            for (const std::string& url : urls)
                if (!manager->AddTask(url.c_str(), "", "", OnFile, nullptr, false, true)) state.SkipWithError("refused");
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_PlainAdd(benchmark::State& state, int n) {
    std::vector<std::string> urls = Urls(7, n);
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto tasks = std::make_unique<std::vector<DownloadTask>>();
            auto seen = std::make_unique<std::unordered_set<std::string>>();
            state.ResumeTiming();
            for (const std::string& url : urls) {
                DownloadTask task;
                task.url = url.c_str();
                task.key = "";
                task.localPath = "";
                task.callback = OnFile;
                task.gzip = true;
                if (!seen->insert(task.url).second) state.SkipWithError("refused");
                tasks->push_back(std::move(task));
            }
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_Manager)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainThreads)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_CAPTURE(BM_AddTasks, 1000, 1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainAdd, 1000, 1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AddTasks, 10000, 10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainAdd, 10000, 10000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    velmora_bench::LoopbackServer server;
    server.Add(kMinutePath, GzipMinuteFile());
    if (!server.Start()) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    g_server = &server;
    const char* plainAdd = "builds each task and pushes it into a std::vector, its URL into a std::unordered_set";
    int status = velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_Manager", "BM_PlainThreads", "download manager, 2,000 small gzip files", 0.9,
          "runs as many threads as the manager has workers, each fetching its fixed share with the raw CHTTP "
          "client and unpacking it, no queue"},
         {"BM_AddTasks/1000", "BM_PlainAdd/1000", "queueing 1,000 tasks on a stopped manager", 1.5, plainAdd, true},
         {"BM_AddTasks/10000", "BM_PlainAdd/10000", "queueing 10,000 tasks on a stopped manager", 1.5, plainAdd, true}});
    if (g_workerLimit > 0)
        std::printf("download: the manager's 2,000-file burst started %d of its %d workers\n", g_burstWorkers,
                    g_workerLimit);
    server.Stop();
    return status;
}
