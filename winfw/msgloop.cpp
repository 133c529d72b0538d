#include "winfw/msgloop.h"

#include <algorithm>

template <class V, class T>
static BOOL AddOnce(V& v, T* p) {
    if (!p || std::find(v.begin(), v.end(), p) != v.end()) return FALSE;
    v.push_back(p);
    return TRUE;
}

template <class V, class T>
static BOOL RemoveOne(V& v, T* p) {
    auto it = std::find(v.begin(), v.end(), p);
    if (it == v.end()) return FALSE;
    v.erase(it);
    return TRUE;
}

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* f) { return AddOnce(m_filters, f); }
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* f) { return RemoveOne(m_filters, f); }
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* h) { return AddOnce(m_idle, h); }
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* h) { return RemoveOne(m_idle, h); }

BOOL CMessageLoop::PreTranslateMessage(MSG* pMsg) {
    // A copy: a filter may remove itself (its window closing) while we walk the list.
    std::vector<CMessageFilter*> filters = m_filters;
    for (CMessageFilter* f : filters) {
        if (std::find(m_filters.begin(), m_filters.end(), f) == m_filters.end()) continue;
        if (f->PreTranslateMessage(pMsg)) return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int) {
    std::vector<CIdleHandler*> handlers = m_idle;
    for (CIdleHandler* h : handlers) {
        if (std::find(m_idle.begin(), m_idle.end(), h) == m_idle.end()) continue;
        h->OnIdle();
    }
    return FALSE;  // one idle pass per idle period
}

BOOL CMessageLoop::IsIdleMessage(const MSG* pMsg) {
    switch (pMsg->message) {
    case WM_MOUSEMOVE: case WM_NCMOUSEMOVE: case WM_PAINT: case 0x0118:  // the caret blink
        return FALSE;
    default:
        return TRUE;
    }
}

int CMessageLoop::Run() {
    bool idle = true;
    int idleCount = 0;
    for (;;) {
        while (idle && !::PeekMessageA(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }
        BOOL got = ::GetMessageA(&m_msg, nullptr, 0, 0);
        if (got == -1) continue;  // a bad handle in a call we do not make; keep the loop alive
        if (!got) break;          // WM_QUIT
        if (!PreTranslateMessage(&m_msg)) {
            ::TranslateMessage(&m_msg);
            ::DispatchMessageA(&m_msg);
        }
        if (IsIdleMessage(&m_msg)) {
            idle = true;
            idleCount = 0;
        }
    }
    return (int)m_msg.wParam;
}
