#include "base/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Counts the calls it gets and runs until stopped (or throws from Run when asked).
class Worker : public CThread {
public:
    ~Worker() override { Stop(); }
    void OnStart() override { starts++; }
    void OnExit() override { exits++; }
    void Run() override {
        runs++;
        if (throwInRun) throw std::runtime_error("boom");
        while (!IsStopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // busy until asked to stop
    }
    std::atomic<int> starts{0}, exits{0}, runs{0};
    bool throwInRun = false;
};

void WaitFor(const std::atomic<int>& v, int value) {
    for (int i = 0; i < 5000 && v.load() < value; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // polling, bounded
}

TEST(ThreadTest, StartStopRestartAndSecondStartRefused) {
    Worker w;
    ASSERT_NE(w.Start(), nullptr);
    EXPECT_TRUE(w.IsStarted());
    EXPECT_THROW(w.Start(), int);
    try {
        w.Start();
        ADD_FAILURE() << "a second start went through";
    } catch (ThreadAlreadyStarted refused) {
        EXPECT_EQ(refused, kThreadAlreadyStarted);
        EXPECT_EQ(refused, 1);
    }
    WaitFor(w.runs, 1);
    w.Stop();
    EXPECT_FALSE(w.IsStarted());
    EXPECT_EQ(w.starts, 1);
    EXPECT_EQ(w.exits, 1);

    // Stopped threads can be started again.
    ASSERT_NE(w.Start(), nullptr);
    WaitFor(w.runs, 2);
    w.Stop();
    EXPECT_EQ(w.runs, 2);
    EXPECT_EQ(w.exits, 2);
    // Stopping a stopped thread is harmless.
    w.Stop();
}

TEST(ThreadTest, ExceptionInRunStillReachesOnExit) {
    Worker w;
    w.throwInRun = true;
    w.Start();
    WaitFor(w.exits, 1);
    w.Stop();
    EXPECT_EQ(w.runs, 1);
    EXPECT_EQ(w.exits, 1);
}

TEST(ThreadTest, DefaultRunCallsTheTargetAndAutoDeleteFreesTheObject) {
    struct Target : CRunnable {
        std::atomic<int> calls{0};
        void Run() override { calls++; }
    } target;
    struct Counted : CThread {
        explicit Counted(std::atomic<int>* d) : deleted(d) {}
        ~Counted() override { (*deleted)++; }
        std::atomic<int>* deleted;
    };
    std::atomic<int> deleted{0};
    Counted* t = new Counted(&deleted);
    t->SetRunTarget(&target);
    t->Start(true);
    WaitFor(deleted, 1);
    EXPECT_EQ(target.calls, 1);
    EXPECT_EQ(deleted, 1);
}

TEST(ThreadTest, StopOfAThreadNeverStartedOnlyFlags) {
    Worker w;
    w.Stop();
    EXPECT_TRUE(w.IsStopRequested());
    EXPECT_FALSE(w.IsStarted());
}

TEST(ThreadTest, SingleLockSerialisesACounter) {
    CriticalSection cs;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                SingleLock lock(&cs);
                SingleLock again(&cs);  // re-entrant, as a critical section is
                counter++;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(counter, 80000);
}

#ifdef _WIN32
TEST(ThreadTest, ThreadEndsWithExitCode123) {
    struct Quick : CThread {
        void Run() override {}
    } q;
    HANDLE h = q.Start();
    ASSERT_NE(h, nullptr);
    // Keep our own handle so the exit code can be read after Stop closes the object's.
    HANDLE dup = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
    q.Stop();
    WaitForSingleObject(dup, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(dup, &code);
    CloseHandle(dup);
    EXPECT_EQ(code, 123u);
}
#endif

}  // namespace
