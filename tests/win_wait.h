// Waiting for windows under Wine. Every test program runs beside others under one Wine server, and
// their windows share captions and classes: a test looks only at the windows of the process it
// watches (its own or the program it started).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "wait.h"

namespace velmora_test {

// How long a window may take to answer and still count as answering: a thread stuck on a silent
// request waits out its ten-second limit; a loaded machine (every message goes through Wine's one
// busy server) has been seen to delay a free thread by over five seconds.
constexpr int kAnswerMs = 8000;

// True when the window's thread answers a message within ms (sent from another thread).
inline bool Answers(HWND h, int ms = kAnswerMs) {
    DWORD_PTR r = 0;
    const DWORD start = ::GetTickCount();
    return ::SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, UINT(ms), &r) != 0 && ::GetTickCount() - start < DWORD(ms);
}

// Dispatches this thread's messages while waiting for done(): for a test whose thread owns the
// windows it checks. The loop's filter (CMessageLoop::PreTranslateMessage) may be given.
template <class Done, class Filter>
bool PumpUntil(Done done, int ms, Filter filter) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG m;
        while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) continue;
            if (!filter(&m)) {
                ::TranslateMessage(&m);
                ::DispatchMessageA(&m);
            }
        }
        if (done()) return true;
        if (::GetTickCount() - start > DWORD(ms)) return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}
template <class Done>
bool PumpUntil(Done done, int ms = kEventMs) {
    return PumpUntil(done, ms, [](MSG*) { return false; });
}

// Keeps this thread's windows on screen for a person (scripts/screenshot) for VELMORA_SHOW_MS
// milliseconds (fallbackMs when unset), dispatching their messages; no verdict hangs on it.
inline void HoldForALook(int fallbackMs = 3000) {
    const char* ms = std::getenv("VELMORA_SHOW_MS");
    PumpUntil([] { return false; }, ms ? std::atoi(ms) : fallbackMs);
}

namespace detail {
struct WindowSearch {
    DWORD pid;
    const char* cls;      // null: any class
    const char* caption;  // null: any caption
    HWND found;
};
inline BOOL CALLBACK MatchTop(HWND h, LPARAM l) {
    WindowSearch* s = reinterpret_cast<WindowSearch*>(l);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    if (owner != s->pid || !::IsWindowVisible(h)) return TRUE;
    char text[256] = {0};
    if (s->cls && (!::GetClassNameA(h, text, sizeof text) || std::string(text) != s->cls)) return TRUE;
    if (s->caption && (::GetWindowTextA(h, text, sizeof text), std::string(text) != s->caption)) return TRUE;
    s->found = h;
    return FALSE;
}
}  // namespace detail

// A visible top-level window of the process (0: this one) with that class and caption (null: any).
inline HWND FindProcessWindow(const char* cls, const char* caption, DWORD pid = 0) {
    detail::WindowSearch s = {pid ? pid : ::GetCurrentProcessId(), cls, caption, nullptr};
    ::EnumWindows(detail::MatchTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}
// The same, waited for.
inline HWND WaitForProcessWindow(const char* cls, const char* caption, int ms = kEventMs, DWORD pid = 0) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(cls, caption, pid)) != nullptr; }, ms, 20);
    return found;
}

// A dialog object's window once it is shown (run modally on another thread).
template <class Dialog>
HWND WaitForDialog(Dialog& dlg, int ms = kEventMs) {
    HWND h = nullptr;
    return WaitUntil([&] { return (h = dlg.m_hWnd) != nullptr && ::IsWindowVisible(h); }, ms, 20) ? h : nullptr;
}

// A round trip through a thread's message queue: a message posted now to a window of this
// process comes out after everything posted to that thread before it. Create the probe on the
// thread to watch; RoundTrip() from any thread returns once the thread has come that far (false:
// not within ms). Used to show that something did NOT happen once the queue has been served.
class QueueProbe {
public:
    QueueProbe() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelmoraTestQueueProbe";
        ::RegisterClassA(&wc);  // a second registration fails harmlessly
        m_hwnd = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~QueueProbe() { ::DestroyWindow(m_hwnd); }
    QueueProbe(const QueueProbe&) = delete;
    QueueProbe& operator=(const QueueProbe&) = delete;

    // From another thread.
    bool RoundTrip(int ms = kEventMs) {
        const long ticket = Post();
        return ticket && WaitUntil([&] { return Served(ticket); }, ms, 5);
    }
    // From the watched thread itself: post, then pump until Served(ticket).
    long Post() {
        const long ticket = ++m_posted;
        return ::PostMessageA(m_hwnd, WM_APP, 0, ticket) ? ticket : 0;
    }
    bool Served(long ticket) const { return m_served.load() >= ticket; }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        if (msg == WM_APP) {
            auto* self = reinterpret_cast<QueueProbe*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
            if (self) self->m_served = long(l);
            return 0;
        }
        return ::DefWindowProcA(h, msg, w, l);
    }
    HWND m_hwnd = nullptr;
    std::atomic<long> m_posted{0}, m_served{0};
};

}  // namespace velmora_test
