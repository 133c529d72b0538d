#include "base/thread.h"

#include <chrono>

#include "base/log.h"

#ifdef _WIN32
#include <process.h>
#endif

CriticalSection::CriticalSection() = default;

CriticalSection::~CriticalSection() = default;

void CriticalSection::Lock() { m_cs.lock(); }

void CriticalSection::Unlock() { m_cs.unlock(); }

SingleLock::SingleLock(CriticalSection* cs) : m_pSection(cs), m_bLocked(false) {
    if (m_pSection) {
        m_pSection->Lock();
        m_bLocked = true;
    }
}

SingleLock::~SingleLock() { Unlock(); }

void SingleLock::Unlock() {
    if (m_bLocked) {
        m_pSection->Unlock();
        m_bLocked = false;
    }
}

CThread::CThread()
    : m_bAutoDelete(false), m_bStop(false), m_hThread(nullptr), m_dwThreadId(0), m_pRunTarget(nullptr),
      m_startTime(0) {
#ifndef _WIN32
    m_thread = pthread_t();
#endif
}

CThread::~CThread() {
    if (m_hThread && !IsCurrentThread()) {
        // Last resort: never leave a thread running on a destroyed object.
        RequestStop();
        Join();
    } else if (m_hThread) {
        // An auto-delete thread destroying itself: nobody will join it.
#ifdef _WIN32
        CloseHandle(m_hThread);
#else
        pthread_detach(m_thread);
#endif
        m_hThread = nullptr;
    }
}

void CThread::Run() {
    if (m_pRunTarget) m_pRunTarget->Run();
}

HANDLE CThread::Start(bool autoDelete) {
    if (m_hThread) throw kThreadAlreadyStarted;
    std::lock_guard<std::mutex> gate(m_startGate);
#ifdef _WIN32
    m_startTime = static_cast<int64_t>(GetTickCount()) * 10000;
#else
    m_startTime = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count() * 10000;
#endif
    m_bAutoDelete = autoDelete;
    m_bStop = false;
#ifdef _WIN32
    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, m_nStackSize, &CThread::ThreadBody, this,
                                 m_nStackSize ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &id);
    if (!h) return nullptr;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_dwThreadId = id;
#else
    if (pthread_create(&m_thread, nullptr, &CThread::ThreadBody, this) != 0) return nullptr;
    static std::atomic<uint32_t> s_nextId{1};
    m_dwThreadId = s_nextId++;
    m_hThread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(m_dwThreadId));
#endif
    return m_hThread;
}

void CThread::Stop() {
    RequestStop();
    if (m_hThread && !IsCurrentThread()) Join();
}

bool CThread::IsCurrentThread() const {
#ifdef _WIN32
    return m_hThread && GetCurrentThreadId() == m_dwThreadId;
#else
    return m_hThread && pthread_equal(pthread_self(), m_thread);
#endif
}

void CThread::Join() {
    if (!m_hThread) return;
#ifdef _WIN32
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
#else
    pthread_join(m_thread, nullptr);
#endif
    m_hThread = nullptr;
}

void CThread::Body() {
    { std::lock_guard<std::mutex> gate(m_startGate); }
    const bool autoDelete = m_bAutoDelete;
    // C++ exceptions are contained (and logged); a hardware fault is not swallowed.
    try { OnStart(); } catch (...) { LogCaughtException("CThread::OnStart"); }
    try { Run(); } catch (...) { LogCaughtException("CThread::Run"); }
    try { OnExit(); } catch (...) { LogCaughtException("CThread::OnExit"); }
    if (autoDelete) delete this;
}

#ifdef _WIN32
unsigned __stdcall CThread::ThreadBody(void* self) {
    static_cast<CThread*>(self)->Body();
    _endthreadex(kExitCode);
    return kExitCode;
}
#else
void* CThread::ThreadBody(void* self) {
    static_cast<CThread*>(self)->Body();
    return reinterpret_cast<void*>(static_cast<uintptr_t>(kExitCode));
}
#endif
