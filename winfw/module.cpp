#include "winfw/module.h"

CAppModule& GetAppModule() {
    static CAppModule module;
    return module;
}

void CAppModule::Init(HINSTANCE instance) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_hInst = instance ? instance : ::GetModuleHandleA(nullptr);
}

void CAppModule::Term() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_loops.clear();
}

HINSTANCE CAppModule::GetModuleInstance() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hInst ? m_hInst : ::GetModuleHandleA(nullptr);
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
    if (!loop) return FALSE;
    std::lock_guard<std::mutex> lock(m_lock);
    return m_loops.emplace(::GetCurrentThreadId(), loop).second ? TRUE : FALSE;
}

BOOL CAppModule::RemoveMessageLoop() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_loops.erase(::GetCurrentThreadId()) ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_loops.find(threadId);
    return it == m_loops.end() ? nullptr : it->second;
}
