#include "base/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/thread.h"
#include "wait.h"

namespace {

// Holds every line logged while it lives; the default output comes back after it.
class CapturedLog {
public:
    CapturedLog() { m_previous = SetLogSink(&CapturedLog::Take, this, &m_previousContext); }
    ~CapturedLog() { SetLogSink(m_previous, m_previousContext); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    // The sink is called under the log's lock: the lines need no lock of their own while logging
    // goes on, and are read here only once every writer has finished.
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    static void Take(const char* line, void* self) { static_cast<CapturedLog*>(self)->m_lines.push_back(line); }

    LogSink m_previous = nullptr;
    void* m_previousContext = nullptr;
    std::vector<std::string> m_lines;
};

}  // namespace

TEST(Log, LinesNameTheirPlaceAndAreFormatted) {
    CapturedLog log;
    LogError("CSelfDB::WriteChecked", "%s: %d bytes, %s", "hqdata\\sh\\day\\SH600000_1.day", 40, "refused");
    LogError(nullptr, "no place");
    LogError("empty", "%s", "");
    ASSERT_EQ(log.Lines().size(), 3u);
    EXPECT_EQ(log.Lines()[0], "CSelfDB::WriteChecked: hqdata\\sh\\day\\SH600000_1.day: 40 bytes, refused");
    EXPECT_EQ(log.Lines()[1], "?: no place");
    EXPECT_EQ(log.Lines()[2], "empty: ");
}

TEST(Log, LongMessagesAreCutToOneLine) {
    CapturedLog log;
    const std::string longText(5000, 'x');
    LogError("where", "%s", longText.c_str());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].size(), kLogLineSize - 1);
    EXPECT_EQ(log.Lines()[0].substr(0, 9), "where: xx");
    // A place name longer than the line leaves no room for the message but still logs.
    const std::string longPlace(2000, 'p');
    LogError(longPlace.c_str(), "%d", 42);
    ASSERT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[1], std::string(kLogLineSize - 1, 'p'));
}

TEST(Log, CaughtExceptionsAreDescribed) {
    CapturedLog log;
    try {
        throw std::runtime_error("disk full");
    } catch (...) {
        LogCaughtException("Save", "a.day");
    }
    try {
        throw 7;
    } catch (...) {
        LogCaughtException("Start");
    }
    try {
        throw 2.5;
    } catch (...) {
        LogCaughtException("Parse", "http://host/x");
    }
    LogCaughtException("Outside");
    ASSERT_EQ(log.Lines().size(), 4u);
    EXPECT_EQ(log.Lines()[0], "Save: a.day: caught disk full");
    EXPECT_EQ(log.Lines()[1], "Start: caught the integer 7");
    EXPECT_EQ(log.Lines()[2], "Parse: http://host/x: caught an exception of another type");
    EXPECT_EQ(log.Lines()[3], "Outside: no exception");
}

TEST(Log, SinksNestAndTheDefaultOutputComesBack) {
    {
        CapturedLog outer;
        {
            CapturedLog inner;
            LogError("a", "inner");
            EXPECT_EQ(inner.Lines().size(), 1u);
        }
        LogError("a", "outer");
        ASSERT_EQ(outer.Lines().size(), 1u);
        EXPECT_EQ(outer.Lines()[0], "a: outer");
    }
#ifndef _WIN32
    testing::internal::CaptureStderr();
    LogError("native", "to stderr %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "velmora: native: to stderr 1\n");
#endif
}

TEST(Log, LinesFromManyThreadsArriveWhole) {
    CapturedLog log;
    const int kThreads = 8, kLines = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) LogError("worker", "thread %d line %d %s", t, i, "end");
        });
    for (std::thread& th : threads) th.join();
    ASSERT_EQ(log.Lines().size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : log.Lines()) {
        int t = -1, i = -1;
        char end[8] = {0};
        ASSERT_EQ(std::sscanf(line.c_str(), "worker: thread %d line %d %7s", &t, &i, end), 3) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_STREQ(end, "end");
        // Each thread's lines keep their order.
        EXPECT_EQ(i, next[size_t(t)]++) << line;
    }
}

namespace {

class Thrower : public CThread {
public:
    ~Thrower() override { Stop(); }
    void Run() override { throw std::runtime_error("bad reply"); }
    void OnExit() override { exited.store(true); }
    std::atomic<bool> exited{false};
};

}  // namespace

TEST(Log, AThreadsContainedExceptionLeavesATrace) {
    CapturedLog log;
    Thrower t;
    ASSERT_NE(t.Start(), nullptr);
    ASSERT_TRUE(velmora_test::WaitUntil([&] { return t.exited.load(); }));
    t.Stop();
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], "CThread::Run: caught bad reply");
}
