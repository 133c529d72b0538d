// The task queue, the workers, synchronous downloads and stopping, against the fixture service.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/inflate.h"
#include "base/text.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "fixture_suite.h"
#include "test_files.h"
#include "test_servers.h"
#include "wait.h"

#ifdef _WIN32
#include <process.h>
#define VELMORA_GETPID _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#define VELMORA_GETPID getpid
#endif

using velmora_test::FixtureProcess;
using velmora_test::RawExchange;
using velmora_test::ScriptServer;

namespace {

typedef std::chrono::steady_clock Clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

std::string StaticBody(size_t n) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        size_t k = i % 65536;
        out[i] = static_cast<char>((k * 7 + (k >> 8)) & 0xFF);
    }
    return out;
}

using velmora_test::ReadTestFile;
using velmora_test::WriteTestFile;

std::string Inflate(const std::string& body) {
    unsigned char* out = nullptr;
    size_t length = 0;
    std::string text;
    if (InflateBuffer(body.data(), body.size(), &out, &length, true) == 0) text.assign(reinterpret_cast<char*>(out), length);
    std::free(out);
    return text;
}

// Callbacks and task ends, collected from the worker threads.
struct Recorder {
    struct Call {
        std::string key, path, data;
    };
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Call> calls;
    std::vector<DownloadTask> ends;
    std::string fileAtCallback;  // the saved file as the callback found it

    static void Callback(const char* key, const char* path, void* context, const void* data, int size) {
        Recorder* r = static_cast<Recorder*>(context);
        std::string file = ReadTestFile(path);
        std::lock_guard<std::mutex> hold(r->lock);
        r->calls.push_back({key, path, std::string(static_cast<const char*>(data), static_cast<size_t>(size))});
        r->fileAtCallback = file;
        r->changed.notify_all();
    }
    void End(const DownloadTask& t) {
        std::lock_guard<std::mutex> hold(lock);
        ends.push_back(t);
        changed.notify_all();
    }
    bool WaitEnds(size_t n, double seconds = 20) {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(static_cast<int>(seconds * 1000)),
                                [&] { return ends.size() >= n; });
    }
    const Call* Find(const std::string& key) {
        for (const Call& c : calls)
            if (c.key == key) return &c;
        return nullptr;
    }
    int EndState(const std::string& url) {
        for (const DownloadTask& t : ends)
            if (t.url == url) return t.state;
        return -1;
    }
};

class Scratch {
public:
    Scratch() {
        m_dir = testing::TempDir() + "velmora_dl_" + std::to_string(VELMORA_GETPID());
#ifdef _WIN32
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_dir += "\\";
#else
        mkdir(m_dir.c_str(), 0755);
        m_dir += "/";
#endif
    }
    ~Scratch() {
        std::vector<std::string> names;
        ListDirectory(m_dir.c_str(), names, kListFiles);
        for (const std::string& n : names) std::remove((m_dir + n).c_str());
    }
    std::string Path(const std::string& name) const { return m_dir + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        ListDirectory(m_dir.c_str(), names, kListFiles);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_dir;
};

class DownloadTest : public velmora_test::FixtureSuite<7> {
protected:
    void SetUp() override { NeedFixture(); }
    // The body as the fixture sends it, fetched without the manager.
    static std::string Raw(const std::string& path) {
        HttpClient client;
        CMemoryStream s;
        if (!client.Download(Url(path).c_str(), &s, nullptr, 0, nullptr)) return std::string();
        return std::string(reinterpret_cast<const char*>(s.GetData()), static_cast<size_t>(s.GetSize()));
    }

};
ScriptServer::Script Reply(const std::string& body) {
    return {{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body, 0}};
}

// A body with the gzip magic that does not unpack.
const std::string kCorruptGzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03garbage that is no deflate stream", 44);

}  // namespace

TEST(TaskQueue, DuplicatesFrontInsertionAndClear) {
    CTaskQueue q;
    EXPECT_TRUE(q.IsEmpty());
    struct Case {
        const char* url;
        bool front;
        bool added;
    } cases[] = {
        {"http://h/a.day", true, true},   // front into an empty queue appends
        {"http://h/a.day", false, false}, // the same URL again
        {"HTTP://H/A.DAY", true, false},  // in any letter case
        {"http://h/b.day", false, true},
        {"http://h/c.day", true, true},
        {"http://h/C.DAY", false, false},
        {"http://h/d.day", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(q.AddTask(c.url, "k", "p", nullptr, nullptr, c.front, false, true), c.added) << c.url;
    EXPECT_TRUE(q.HasUrl("http://H/b.Day"));
    EXPECT_FALSE(q.HasUrl("http://h/e.day"));
    EXPECT_EQ(q.GetCount(), 4);

    std::vector<std::string> order;
    DownloadTask t;
    ASSERT_TRUE(q.PopTask(t));
    order.push_back(t.url);
    EXPECT_EQ(t.state, DownloadTask::kRunning);
    EXPECT_TRUE(t.gzip);
    EXPECT_FALSE(t.save);
    EXPECT_FALSE(q.HasUrl(t.url));  // taken: it may be queued again
    EXPECT_TRUE(q.AddTask(t.url, "k", "p", nullptr, nullptr, false, false, false));
    while (q.PopTask(t)) order.push_back(t.url);
    EXPECT_EQ(order, (std::vector<std::string>{"http://h/c.day", "http://h/a.day", "http://h/b.day", "http://h/d.day",
                                               "http://h/c.day"}));
    q.OnTaskDone();
    EXPECT_EQ(q.GetCount(), 4);

    q.AddTask("http://h/x", "", "", nullptr, nullptr, false, false, false);
    q.AddTask("http://h/y", "", "", nullptr, nullptr, false, false, false);
    std::vector<DownloadTask> dropped;
    EXPECT_EQ(q.Clear(&dropped), 2u);
    EXPECT_TRUE(q.IsEmpty());
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(dropped[0].url, "http://h/x");
    EXPECT_EQ(dropped[1].state, DownloadTask::kQueued);
}

// The URL index against sequences of queue operations: after each step the duplicate rule holds
// and the index matches the list.
TEST(TaskQueue, IndexFollowsEveryChangeTable) {
    enum Kind { kAdd, kPush, kPop, kWaitPop, kHas, kClear };
    struct Step {
        Kind kind;
        const char* url;  // the URL (kAdd, kPush, kHas), the one expected out (kPop, kWaitPop)
        int expect;       // kAdd, kHas: 1 true, 0 false; kClear: the count dropped
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"a task taken may be queued again",
         {{kAdd, "http://h/a", 1}, {kPop, "http://h/a", 0}, {kHas, "HTTP://H/A", 0}, {kAdd, "HTTP://H/A", 1},
          {kHas, "http://h/a", 1}, {kAdd, "http://h/a", 0}}},
        {"a URL pushed twice stays queued until both are taken",
         {{kPush, "http://h/a", 0}, {kPush, "http://H/a", 0}, {kPop, "http://h/a", 0}, {kHas, "http://h/a", 1},
          {kAdd, "http://h/A", 0}, {kPop, "http://H/a", 0}, {kHas, "http://h/a", 0}, {kAdd, "http://h/A", 1}}},
        {"emptying the queue empties the index",
         {{kAdd, "http://h/a", 1}, {kAdd, "http://h/b", 1}, {kClear, nullptr, 2}, {kHas, "http://h/a", 0},
          {kAdd, "http://h/b", 1}, {kAdd, "http://h/a", 1}, {kPop, "http://h/b", 0}}},
        {"a worker's wait takes the task out of the index",
         {{kAdd, "http://h/a", 1}, {kAdd, "http://h/b", 1}, {kWaitPop, "http://h/a", 0}, {kHas, "http://h/a", 0},
          {kHas, "http://h/B", 1}, {kAdd, "http://h/a", 1}}},
        {"GBK trail bytes compare exactly, ASCII letters without case",
         {{kAdd, "http://h/\xB0\x41.day", 1}, {kHas, "http://h/\xB0\x61.day", 0}, {kAdd, "http://h/\xB0\x61.day", 1},
          {kAdd, "HTTP://H/\xB0\x41.DAY", 0}, {kHas, "http://H/\xB0\x61.DAY", 1}, {kPop, "http://h/\xB0\x41.day", 0},
          {kHas, "http://h/\xB0\x41.day", 0}}},
        {"a lead byte at the end, a letter after a whole character",
         {{kAdd, "http://h/x\xB0", 1}, {kHas, "HTTP://H/X\xB0", 1}, {kAdd, "http://h/\xB0\xA1Q", 1},
          {kHas, "http://h/\xB0\xA1q", 1}}},
    };
    for (const Case& c : cases) {
        CTaskQueue q;
        std::atomic<bool> stop{false};
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& st = c.steps[i];
            DownloadTask t;
            switch (st.kind) {
            case kAdd:
                EXPECT_EQ(q.AddTask(st.url, "", "", nullptr, nullptr, false, false, false), st.expect == 1) << c.name << " " << i;
                break;
            case kPush:
                t.url = st.url;
                q.PushTask(t, false);
                break;
            case kPop:
            case kWaitPop:
                ASSERT_TRUE(st.kind == kPop ? q.PopTask(t) : q.WaitPopTask(t, stop)) << c.name << " " << i;
                EXPECT_EQ(t.url, st.url) << c.name << " " << i;
                EXPECT_EQ(t.state, DownloadTask::kRunning) << c.name << " " << i;
                break;
            case kHas:
                EXPECT_EQ(q.HasUrl(st.url), st.expect == 1) << c.name << " " << i;
                break;
            case kClear:
                EXPECT_EQ(q.Clear(nullptr), static_cast<size_t>(st.expect)) << c.name << " " << i;
                break;
            }
            EXPECT_TRUE(q.IndexIsConsistent()) << c.name << " " << i;
        }
    }
}

// Random operations against a plain list compared with GbkCompareNoCase, the rule the index stands for.
TEST(TaskQueue, IndexAgreesWithAPlainScan) {
    const char* names[] = {"http://h/a.day", "http://h/B.min", "http://h/\xB0\x41", "http://h/\xB0\x61",
                           "http://h/\xD6\xD0z", "http://h/x\xB0", "http://h/a.DAY?q=1", "http://h/"};
    std::mt19937 rng(99);
    auto variant = [&](const char* name) {
        std::string url = name;
        for (size_t i = 0; i < url.size(); i += GbkCharLength(url.c_str() + i)) {
            if (GbkCharLength(url.c_str() + i) == 1 && std::isalpha(static_cast<unsigned char>(url[i])) && rng() % 2)
                url[i] = static_cast<char>(url[i] ^ 0x20);
        }
        return url;
    };
    CTaskQueue q;
    std::vector<std::string> model;  // front first
    auto modelHas = [&](const std::string& url) {
        for (const std::string& m : model)
            if (GbkCompareNoCase(m.c_str(), url.c_str()) == 0) return true;
        return false;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string url = variant(names[rng() % 8]);
        bool front = rng() % 3 == 0;
        unsigned op = rng() % 100;
        if (op < 45) {
            bool expect = !modelHas(url);
            ASSERT_EQ(q.AddTask(url, "", "", nullptr, nullptr, front, false, false), expect) << i << " " << url;
            if (expect) {
                if (front && !model.empty()) model.insert(model.begin(), url);
                else model.push_back(url);
            }
        } else if (op < 50) {
            DownloadTask t;
            t.url = url;
            q.PushTask(t, front);
            if (front && !model.empty()) model.insert(model.begin(), url);
            else model.push_back(url);
        } else if (op < 85) {
            DownloadTask t;
            ASSERT_EQ(q.PopTask(t), !model.empty()) << i;
            if (!model.empty()) {
                ASSERT_EQ(t.url, model.front()) << i;
                model.erase(model.begin());
            }
        } else if (op < 99) {
            ASSERT_EQ(q.HasUrl(url), modelHas(url)) << i << " " << url;
        } else {
            ASSERT_EQ(q.Clear(nullptr), model.size()) << i;
            model.clear();
        }
        if (i % 97 == 0) {
            ASSERT_TRUE(q.IndexIsConsistent()) << i;
        }
    }
    EXPECT_TRUE(q.IndexIsConsistent());
}

// A program that started the download manager and returns from main without freeing it exits
// promptly: its workers are stopped before the process-wide queue they wait on is destroyed.
TEST(DownloadManagerExit, ReturningFromMainWithoutFreeingExits) {
    ScriptServer silent;
    ASSERT_TRUE(silent.Start({{{"", 0}}}, true));
    const std::string port = std::to_string(silent.Port());
    const struct {
        const char* manager;
        std::string port;
    } cases[] = {{"services", port}, {"services", "0"}, {"own", port}, {"own", "0"}};
    for (const auto& c : cases) {
        int code = -1;
        auto t0 = Clock::now();
        ASSERT_TRUE(velmora_test::RunProgram(NET_EXIT_CHILD, {c.manager, c.port}, 20000, &code))
            << c.manager << " " << c.port << ": still running after 20 s";
        EXPECT_EQ(code, 0) << c.manager << " " << c.port;
        EXPECT_LT(Since(t0), 10.0) << c.manager << " " << c.port;
    }
}

TEST_F(DownloadTest, WorkerTable) {
    ScriptServer corrupt;
    ASSERT_TRUE(corrupt.Start({Reply(kCorruptGzip)}));
    std::string minute = Inflate(Raw("/hqdatagzip/min/sh/600000.min"));
    ASSERT_EQ(minute.size(), 8314u);
    std::string ticks = Raw("/hqdatagzip/fenbi/sh600000.fbs");
    ASSERT_FALSE(ticks.empty());
    struct Case {
        std::string key, url;
        bool gzip;
        bool called;
        std::string data;
    } cases[] = {
        {"gzip inflated", Url("/hqdatagzip/min/sh/600000.min"), true, true, minute},
        {"plain as is", Url("/hqdatagzip/fenbi/sh600000.fbs"), true, true, ticks},
        {"binary as is", Url("/__static/70000"), true, true, StaticBody(70000)},
        {"no gzip asked", Url("/__static/300?g=0"), false, true, StaticBody(300)},
        {"404", Url("/__static/300?mode=404"), true, false, ""},
        {"cut", Url("/__static/300?mode=cut"), true, false, ""},
        {"corrupt gzip", corrupt.Url("/min.gz"), true, false, ""},
    };
    Recorder rec;
    CTaskQueue queue;
    DownloadManager manager(&queue);
    manager.SetTaskObserver([&](const DownloadTask& t) { rec.End(t); });
    for (const Case& c : cases)
        ASSERT_TRUE(manager.AddTask(c.url.c_str(), c.key.c_str(), "", Recorder::Callback, &rec, false, c.gzip));
    // Neither callback nor save: fetched and dropped.
    std::string quiet = Url("/__static/20?quiet=1");
    ASSERT_TRUE(manager.AddTask(quiet.c_str(), "quiet", "", nullptr, nullptr, false, true));
    ASSERT_TRUE(manager.Start());
    EXPECT_EQ(manager.GetWorkerLimit(), DownloadManager::DefaultWorkerCount());
    ASSERT_TRUE(rec.WaitEnds(sizeof(cases) / sizeof(cases[0]) + 1));
    manager.Stop();
    EXPECT_EQ(rec.EndState(quiet), DownloadTask::kDone);
    for (const Case& c : cases) {
        const Recorder::Call* call = rec.Find(c.key);
        EXPECT_EQ(call != nullptr, c.called) << c.key;
        EXPECT_EQ(rec.EndState(c.url), c.called ? DownloadTask::kDone : DownloadTask::kFailed) << c.key;
        if (call) {
            EXPECT_TRUE(call->data == c.data) << c.key << ": " << call->data.size() << " bytes";
        }
    }
    EXPECT_EQ(rec.calls.size(), 4u);
    EXPECT_EQ(queue.GetCount(), 0);
}

TEST_F(DownloadTest, UrlMayBeQueuedAgainOnceAWorkerTookIt) {
    Recorder rec;
    CTaskQueue queue;
    DownloadManager manager(&queue);
    manager.SetTaskObserver([&](const DownloadTask& t) { rec.End(t); });
    ASSERT_TRUE(manager.Start(1));
    std::string url = Url("/__static/10?delay=500");
    ASSERT_TRUE(manager.AddTask(url.c_str(), "first", "", Recorder::Callback, &rec, false, false));
    std::string other = Url("/__static/11");
    ASSERT_TRUE(manager.AddTask(other.c_str(), "waits", "", Recorder::Callback, &rec, false, false));
    EXPECT_FALSE(manager.AddTask(other.c_str(), "dup", "", Recorder::Callback, &rec, true, false));
    velmora_test::WaitUntil([&] { return !queue.HasUrl(url); });
    EXPECT_FALSE(queue.HasUrl(url));
    EXPECT_TRUE(queue.HasUrl(other));  // the one worker is busy with the first
    ASSERT_TRUE(manager.AddTask(url.c_str(), "second", "", Recorder::Callback, &rec, true, false));
    ASSERT_TRUE(rec.WaitEnds(3));
    manager.Stop();
    ASSERT_EQ(rec.calls.size(), 3u);
    EXPECT_EQ(rec.calls[0].key, "first");
    EXPECT_EQ(rec.calls[1].key, "second");  // went in at the front
    EXPECT_EQ(rec.calls[2].key, "waits");
}

TEST_F(DownloadTest, DownloadNowSavesThenCallsBack) {
    Scratch dir;
    ScriptServer corrupt;
    ASSERT_TRUE(corrupt.Start({Reply(kCorruptGzip)}));
    std::string minute = Inflate(Raw("/hqdatagzip/min/sh/600000.min"));
    CTaskQueue queue;
    DownloadManager manager(&queue);
    Recorder rec;

    std::string target = dir.Path("600000.min");
    WriteTestFile(target, "old");
    ASSERT_TRUE(manager.DownloadNow(Url("/hqdatagzip/min/sh/600000.min").c_str(), "600000", target.c_str(),
                                    Recorder::Callback, &rec, false, true, true));
    EXPECT_TRUE(ReadTestFile(target) == minute);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_TRUE(rec.calls[0].data == minute);
    EXPECT_TRUE(rec.fileAtCallback == minute);  // the file was complete before the callback
    EXPECT_EQ(rec.calls[0].path, target);

    std::string big = dir.Path("big.bin");
    ASSERT_TRUE(manager.DownloadNow(Url("/__static/1000000").c_str(), "", big.c_str(), nullptr, nullptr, false, true,
                                    false));
    EXPECT_TRUE(ReadTestFile(big) == StaticBody(1000000));

    // Failures keep the good file and leave nothing behind.
    struct Failure {
        std::string url, path;
    } failures[] = {
        {corrupt.Url("/x.gz"), target},
        {Url("/__static/10?mode=404"), target},
        {Url("/__static/10?mode=empty"), target},
        {Url("/__static/10"), dir.Path("no-such-folder") + "/x.min"},
    };
    for (const Failure& f : failures) {
        EXPECT_FALSE(manager.DownloadNow(f.url.c_str(), "f", f.path.c_str(), Recorder::Callback, &rec, false, true, true))
            << f.url;
        EXPECT_TRUE(ReadTestFile(target) == minute) << f.url;
    }
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"600000.min", "big.bin"}));

    // Requeue: the failed task waits at the front of the queue and the result is true.
    queue.AddTask("http://h/queued", "", "", nullptr, nullptr, false, false, false);
    std::string failing = Url("/__static/10?mode=500");
    EXPECT_TRUE(manager.DownloadNow(failing.c_str(), "r", "", nullptr, nullptr, true, false, true));
    DownloadTask t;
    ASSERT_TRUE(queue.PopTask(t));
    EXPECT_EQ(t.url, failing);
    EXPECT_TRUE(t.gzip);
}

TEST_F(DownloadTest, ConcurrentDownloadNowCallsKeepTheirOwnData) {
    CTaskQueue queue;
    DownloadManager manager(&queue);
    struct Check {
        std::atomic<int> good{0}, bad{0};
        static void Callback(const char* key, const char*, void* context, const void* data, int size) {
            Check* c = static_cast<Check*>(context);
            size_t n = static_cast<size_t>(std::atoi(key));
            bool same = static_cast<size_t>(size) == n && std::memcmp(data, StaticBody(n).data(), n) == 0;
            (same ? c->good : c->bad)++;
        }
    } check;
    std::vector<std::thread> threads;
    std::atomic<int> failed{0};
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back([&, i] {
            for (int j = 0; j < 8; ++j) {
                size_t n = 1000 + static_cast<size_t>(i) * 7919 + static_cast<size_t>(j) * 13;
                std::string url = Url("/__static/" + std::to_string(n) + "?t=" + std::to_string(i));
                if (!manager.DownloadNow(url.c_str(), std::to_string(n).c_str(), "", Check::Callback, &check, false,
                                         false, true))
                    ++failed;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(check.good.load(), 48);
    EXPECT_EQ(check.bad.load(), 0);
}

TEST_F(DownloadTest, StopCancelsDropsTheQueueAndRestarts) {
    Recorder rec;
    CTaskQueue queue;
    DownloadManager manager(&queue);
    manager.SetTaskObserver([&](const DownloadTask& t) { rec.End(t); });
    ASSERT_TRUE(manager.Start(2));
    std::vector<std::string> urls;
    for (int i = 0; i < 6; ++i) {
        urls.push_back(Url("/__static/10?mode=silent&hold=20000&i=" + std::to_string(i)));
        ASSERT_TRUE(manager.AddTask(urls.back().c_str(), "old", "", Recorder::Callback, &rec, false, false));
    }
    velmora_test::WaitUntil([&] { return queue.GetCount() == 0 || !queue.HasUrl(urls[1]); });
    // A synchronous download in progress is cancelled too.
    bool nowResult = true;
    std::thread now([&] {
        nowResult = manager.DownloadNow(Url("/__static/10?mode=silent&hold=20000&now=1").c_str(), "old", "",
                                        Recorder::Callback, &rec, false, false, false);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // pacing: the synchronous download under way
    auto t0 = Clock::now();
    manager.Stop();
    EXPECT_LT(Since(t0), 5.0);
    now.join();
    EXPECT_FALSE(nowResult);
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.GetCount(), 0);
    {
        std::lock_guard<std::mutex> hold(rec.lock);
        EXPECT_TRUE(rec.calls.empty());
        ASSERT_EQ(rec.ends.size(), 6u);  // two cancelled while running, four dropped while queued
        int failed = 0, dropped = 0;
        for (const DownloadTask& t : rec.ends) (t.state == DownloadTask::kFailed ? failed : dropped)++;
        EXPECT_EQ(failed, 2);
        EXPECT_EQ(dropped, 4);
    }
    // A new start runs only new tasks.
    ASSERT_TRUE(manager.Start(2));
    ASSERT_TRUE(manager.AddTask(Url("/__static/12").c_str(), "new", "", Recorder::Callback, &rec, false, false));
    ASSERT_TRUE(rec.WaitEnds(7));
    manager.Stop();
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].key, "new");
}

// Workers start only while tasks wait and every started one is busy, never past the limit, and a
// stop ends every one started.
TEST_F(DownloadTest, WorkersStartOnDemandWithinTheLimit) {
    const int runningBefore = CDownloadObject::GetRunningCount();
    Recorder rec;
    CTaskQueue queue;
    DownloadManager manager(&queue);
    manager.SetTaskObserver([&](const DownloadTask& t) { rec.End(t); });
    ASSERT_TRUE(manager.Start(4));
    EXPECT_EQ(manager.GetWorkerCount(), 0);
    EXPECT_EQ(manager.GetWorkerLimit(), 4);

    // One task at a time: the one worker serves them all.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(manager.AddTask(Url("/__static/10?single=" + std::to_string(i)).c_str(), "single", "",
                                    Recorder::Callback, &rec, false, false));
        ASSERT_TRUE(rec.WaitEnds(static_cast<size_t>(i) + 1));
        ASSERT_TRUE(velmora_test::WaitUntil([&] { return queue.GetIdleWorkerCount() == 1; }));
        EXPECT_EQ(manager.GetWorkerCount(), 1) << i;
    }

    // Bursts of slow tasks: the pool grows to the limit and no further; the fetching threads seen
    // are the started ones.
    struct Burst {
        const char* name;
        int limit, tasks;
    } bursts[] = {{"limit 1", 1, 6}, {"limit 3", 3, 30}, {"limit 4, more than the one started", 4, 40}};
    for (const Burst& b : bursts) {
        manager.Stop();
        rec.calls.clear();
        rec.ends.clear();
        std::mutex seenLock;
        std::vector<std::thread::id> seen;
        int most = 0;
        manager.SetTaskObserver([&](const DownloadTask& t) {
            {
                std::lock_guard<std::mutex> hold(seenLock);
                if (std::find(seen.begin(), seen.end(), std::this_thread::get_id()) == seen.end())
                    seen.push_back(std::this_thread::get_id());
            }
            rec.End(t);
        });
        ASSERT_TRUE(manager.Start(b.limit));
        for (int i = 0; i < b.tasks; ++i)
            ASSERT_TRUE(manager.AddTask(
                Url("/__static/10?delay=30&burst=" + std::to_string(b.limit) + "&i=" + std::to_string(i)).c_str(),
                "burst", "", Recorder::Callback, &rec, false, false));
        bool ended = velmora_test::WaitUntil([&] {
            most = std::max(most, manager.GetWorkerCount());
            std::lock_guard<std::mutex> hold(rec.lock);
            return rec.ends.size() >= static_cast<size_t>(b.tasks);
        });
        ASSERT_TRUE(ended) << b.name;
        EXPECT_LE(most, b.limit) << b.name;
        EXPECT_EQ(manager.GetWorkerCount(), b.limit) << b.name;
        std::lock_guard<std::mutex> hold(seenLock);
        EXPECT_EQ(static_cast<int>(seen.size()), b.limit) << b.name;
        EXPECT_EQ(rec.calls.size(), static_cast<size_t>(b.tasks)) << b.name;
    }
    manager.Stop();
    EXPECT_EQ(manager.GetWorkerCount(), 0);
    EXPECT_EQ(CDownloadObject::GetRunningCount(), runningBefore);
    EXPECT_EQ(queue.GetIdleWorkerCount(), 0);
}

// Bursts of tasks with random delays and failures, with start and stop cycles: every task ends
// exactly once, none calls back after the stop that ended its cycle, and nothing stalls.
namespace {

struct StressState {
    std::vector<std::atomic<int>> ends, calls, state;
    std::vector<int> cycle;
    std::atomic<int> stoppedCycle{-1};
    std::atomic<int> late{0};
    explicit StressState(int n) : ends(static_cast<size_t>(n)), calls(static_cast<size_t>(n)), state(static_cast<size_t>(n)), cycle(static_cast<size_t>(n), -1) {}
};
StressState* g_stress = nullptr;

void StressCallback(const char* key, const char*, void*, const void*, int) {
    int id = std::atoi(key);
    g_stress->calls[static_cast<size_t>(id)]++;
    if (g_stress->cycle[static_cast<size_t>(id)] <= g_stress->stoppedCycle.load()) g_stress->late++;
}

}  // namespace

TEST_F(DownloadTest, StressBurstsWithStartStopCycles) {
#ifdef _WIN32
    const int kTasks = 1500;
#else
    const int kTasks = 10000;
#endif
    const int kCycles = 8;
    const int kSizes[6] = {100, 700, 1500, 2600, 4000, 9000};
    StressState state(kTasks);
    g_stress = &state;
    CTaskQueue queue;
    DownloadManager manager(&queue);
    std::atomic<int> ended{0};
    manager.SetTaskObserver([&](const DownloadTask& t) {
        size_t id = static_cast<size_t>(std::atoi(t.key.c_str()));
        state.state[id] = t.state;
        state.ends[id]++;
        ended++;
    });
    std::mt19937 rng(12345);
    auto t0 = Clock::now();
    int next = 0;
    for (int c = 0; c < kCycles; ++c) {
        ASSERT_TRUE(manager.Start());
        const int first = next;  // the first two tasks of a cycle hold a worker until the stop
        int last = c == kCycles - 1 ? kTasks : (kTasks / kCycles) * (c + 1);
        while (next < last) {
            int burst = std::min(last - next, 50 + static_cast<int>(rng() % 250));
            for (int b = 0; b < burst; ++b, ++next) {
                state.cycle[static_cast<size_t>(next)] = c;
                unsigned r = rng() % 100;
                std::string opts = "id=" + std::to_string(next);
                if (r < 15) opts += "&delay=" + std::to_string(rng() % 30);
                else if (r < 20) opts += "&mode=404";
                else if (r < 23) opts += "&mode=cut";
                else if (r < 25) opts += "&mode=reset";
                if (c < kCycles - 1 && (next == first || next == first + 1)) opts += "&mode=silent&hold=30000";
                // Few sizes: the fixture keeps only a handful of static bodies made.
                std::string url = Url("/__static/" + std::to_string(kSizes[rng() % 6]) + "?" + opts);
                bool front = rng() % 4 == 0;
                ASSERT_TRUE(manager.AddTask(url.c_str(), std::to_string(next).c_str(), "", StressCallback, nullptr,
                                            front, rng() % 2 == 0));
            }
            ASSERT_TRUE(queue.IndexIsConsistent());
            // Roughly the fixture's pace, so that bursts overlap running tasks without all piling up.
            std::this_thread::sleep_for(std::chrono::milliseconds(burst / 2 + rng() % (burst + 1)));  // pacing
        }
        if (c == kCycles - 1) {
            // The last cycle has no silent tasks: it must drain.
            velmora_test::WaitUntil([&] { return queue.GetCount() == 0; });
            EXPECT_EQ(queue.GetCount(), 0) << "the last cycle did not drain";
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 800));  // a stop at a random moment
        }
        auto s0 = Clock::now();
        manager.Stop();
        state.stoppedCycle = c;
        EXPECT_LT(Since(s0), 5.0) << "stop of cycle " << c;
        EXPECT_EQ(queue.GetCount(), 0);
        EXPECT_TRUE(queue.IndexIsConsistent());
    }
    g_stress = nullptr;
    EXPECT_EQ(ended.load(), kTasks);
    int called = 0;
    for (int i = 0; i < kTasks; ++i) {
        ASSERT_EQ(state.ends[static_cast<size_t>(i)].load(), 1) << "task " << i;
        // Called back exactly when done.
        ASSERT_EQ(state.calls[static_cast<size_t>(i)].load(), state.state[static_cast<size_t>(i)] == DownloadTask::kDone ? 1 : 0)
            << "task " << i;
        called += state.calls[static_cast<size_t>(i)].load();
    }
    EXPECT_EQ(state.late.load(), 0);
    int dropped = 0;
    for (int i = 0; i < kTasks; ++i) dropped += state.state[static_cast<size_t>(i)] == DownloadTask::kQueued;
    EXPECT_GT(called, 0);
    EXPECT_LT(Since(t0), 50.0);
    std::printf("stress: %d tasks, %d called back, %d dropped by a stop, %.1f s\n", kTasks, called, dropped, Since(t0));
}
