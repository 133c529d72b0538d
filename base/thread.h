// Worker threads and locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/platform.h"

#ifndef _WIN32
#include <pthread.h>
#endif

// A re-entrant lock, as a Windows critical section is.
class CriticalSection {
public:
    CriticalSection();
    virtual ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Lock();
    void Unlock();

private:
    std::recursive_mutex m_cs;
};

// Scoped lock: enters at construction, leaves at destruction (or at Unlock).
class SingleLock {
public:
    explicit SingleLock(CriticalSection* cs);
    virtual ~SingleLock();
    SingleLock(const SingleLock&) = delete;
    SingleLock& operator=(const SingleLock&) = delete;

    void Unlock();
    bool IsLocked() const { return m_bLocked; }

private:
    CriticalSection* m_pSection;
    bool m_bLocked;
};

// What a thread without its own Run override runs.
class CRunnable {
public:
    virtual void Run() = 0;
    virtual ~CRunnable() = default;
};

// What CThread::Start throws for a thread that already has a handle: the integer 1. Callers that
// may start a thread twice catch this type.
typedef int ThreadAlreadyStarted;
constexpr ThreadAlreadyStarted kThreadAlreadyStarted = 1;

// Base class of every worker thread. A derived class that overrides Run must call Stop
// in its own destructor: the base destructor stops a thread still running only as a last
// resort, when the derived part is already gone.
class CThread {
public:
    enum { kExitCode = 123 };

    CThread();
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    virtual void Stop();
    virtual void OnStart() {}
    virtual void OnExit() {}
    virtual void Run();

    // Starts the thread; throws kThreadAlreadyStarted when it was started and not stopped, and
    // returns null when the system cannot start one.
    // With autoDelete the thread deletes its object after OnExit (the object must be on the heap
    // and nobody may Stop it afterwards).
    HANDLE Start(bool autoDelete = false);
    // The stack reserved for the thread by the next Start under Windows (0: the program's
    // default); natively the system's default always holds.
    void SetStackSize(unsigned bytes) { m_nStackSize = bytes; }

    bool IsStopRequested() const { return m_bStop.load(std::memory_order_acquire); }
    void RequestStop() { m_bStop.store(true, std::memory_order_release); }
    bool IsStarted() const { return m_hThread != nullptr; }
    uint32_t GetThreadId() const { return m_dwThreadId; }
    int64_t GetStartTime() const { return m_startTime; }
    void SetRunTarget(CRunnable* target) { m_pRunTarget = target; }

protected:
    std::atomic<bool> m_bAutoDelete;
    std::atomic<bool> m_bStop;
    HANDLE m_hThread;
    uint32_t m_dwThreadId;
    CRunnable* m_pRunTarget;
    int64_t m_startTime;
    unsigned m_nStackSize = 0;

private:
#ifdef _WIN32
    static unsigned __stdcall ThreadBody(void* self);
#else
    static void* ThreadBody(void* self);
    pthread_t m_thread;
#endif
    void Body();
    bool IsCurrentThread() const;
    void Join();
    // Held by Start until the handle is stored, so the body never runs ahead of it.
    std::mutex m_startGate;
};
