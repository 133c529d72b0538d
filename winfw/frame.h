// A top-level frame window: accelerators, a client view laid out over the client area, and the
// end of the thread's message loop when it is destroyed.
#pragma once

#include "winfw/module.h"
#include "winfw/typedmap.h"
#include "winfw/window.h"

#define DECLARE_FRAME_WND_CLASS(name, iconResource)                                          \
    static CWndClassInfo& GetWndClassInfo() {                                               \
        static CWndClassInfo wci(name, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW + 1, \
                                 nullptr, iconResource);                                    \
        return wci;                                                                         \
    }

template <class T, class TBase = CWindow, class TWinTraits = CFrameWinTraits>
class CFrameWindowImpl : public CWindowImpl<T, TBase, TWinTraits>, public CMessageFilter {
public:
    DECLARE_FRAME_WND_CLASS(nullptr, 0)

    HACCEL m_hAccel = nullptr;
    HWND m_hWndClient = nullptr;  // the view that fills the client area

    ~CFrameWindowImpl() override {
        if (m_hAccel) ::DestroyAcceleratorTable(m_hAccel);
    }

    // Loads the accelerator table of the resource id (replacing an earlier one).
    BOOL LoadAccelerators(UINT id) {
        HACCEL a = ::LoadAcceleratorsA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(id));
        if (!a) return FALSE;
        SetAccelerators(a);
        return TRUE;
    }
    void SetAccelerators(HACCEL a) {
        if (m_hAccel) ::DestroyAcceleratorTable(m_hAccel);
        m_hAccel = a;
    }

    // Accelerators are translated for every message of the thread while the frame lives.
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (m_hAccel && this->m_hWnd && ::TranslateAcceleratorA(this->m_hWnd, m_hAccel, pMsg)) return TRUE;
        return FALSE;
    }

    // Gives the client view the whole client area; derived frames lay out bars first.
    void UpdateLayout(BOOL resizeBars = TRUE) {
        if (!m_hWndClient) return;
        RECT r;
        ::GetClientRect(this->m_hWnd, &r);
        ::SetWindowPos(m_hWndClient, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }

    BEGIN_MSG_MAP(CFrameWindowImpl)
        MSG_WM_SIZE(OnSize)
        MSG_WM_SETFOCUS(OnSetFocus)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    // Each passes the message on: default processing (and the derived frame) still see it.
    void OnSize(UINT type, CSize) {
        if (type != SIZE_MINIMIZED) static_cast<T*>(this)->UpdateLayout();
        SetMsgHandled(FALSE);
    }
    void OnSetFocus(HWND) {
        if (m_hWndClient && ::IsWindow(m_hWndClient)) ::SetFocus(m_hWndClient);
        SetMsgHandled(FALSE);
    }
    void OnDestroy() {
        // A top-level frame ends the thread's loop.
        if (!(this->GetStyle() & WS_CHILD)) ::PostQuitMessage(1);
        SetMsgHandled(FALSE);
    }
};
