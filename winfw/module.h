// The application module: the program instance and the message loop of each UI thread.
#pragma once

#include <map>
#include <mutex>

#include "winfw/msgloop.h"

class CAppModule {
public:
    // Records the instance (the program's own when null).
    void Init(HINSTANCE instance = nullptr);
    void Term();

    HINSTANCE GetModuleInstance() const;
    HINSTANCE GetResourceInstance() const { return GetModuleInstance(); }

    // One loop per thread; a second loop for the same thread is refused.
    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    // The loop registered by a thread (the calling one by default), or null.
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

private:
    HINSTANCE m_hInst = nullptr;
    mutable std::mutex m_lock;
    std::map<DWORD, CMessageLoop*> m_loops;
};

// The program's one module.
CAppModule& GetAppModule();
