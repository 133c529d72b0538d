// Window objects: an HWND wrapper, message maps, and window classes bound to C++ objects.
#pragma once

#include <string>

#include "winfw/types.h"

// Notifications sent back to the child that raised them ("reflected").
#ifndef OCM__BASE
#define OCM__BASE (WM_USER + 0x1c00)
#endif
#ifndef OCM_COMMAND
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLOREDIT (OCM__BASE + WM_CTLCOLOREDIT)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORMSGBOX (OCM__BASE + WM_CTLCOLORMSGBOX)
#define OCM_CTLCOLORSCROLLBAR (OCM__BASE + WM_CTLCOLORSCROLLBAR)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_MEASUREITEM (OCM__BASE + WM_MEASUREITEM)
#define OCM_DELETEITEM (OCM__BASE + WM_DELETEITEM)
#define OCM_VKEYTOITEM (OCM__BASE + WM_VKEYTOITEM)
#define OCM_CHARTOITEM (OCM__BASE + WM_CHARTOITEM)
#define OCM_COMPAREITEM (OCM__BASE + WM_COMPAREITEM)
#define OCM_HSCROLL (OCM__BASE + WM_HSCROLL)
#define OCM_VSCROLL (OCM__BASE + WM_VSCROLL)
#define OCM_PARENTNOTIFY (OCM__BASE + WM_PARENTNOTIFY)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)
#endif

// A rectangle argument that may be left out (then the system's default position and size).
struct CRectArg {
    CRectArg(const RECT* r = nullptr) : p(r) {}
    CRectArg(const RECT& r) : p(&r) {}
    const RECT* p;
};

// A menu handle or a child-window id.
struct CMenuOrId {
    CMenuOrId(HMENU h = nullptr) : h(h) {}
    CMenuOrId(UINT id) : h((HMENU)(UINT_PTR)id) {}
    CMenuOrId(int id) : h((HMENU)(INT_PTR)id) {}
    HMENU h;
};

// A thin, non-owning HWND wrapper with the helpers windows use every day.
class CWindow {
public:
    HWND m_hWnd;
    static RECT rcDefault;

    CWindow(HWND h = nullptr) : m_hWnd(h) {}
    CWindow& operator=(HWND h) { m_hWnd = h; return *this; }
    operator HWND() const { return m_hWnd; }
    void Attach(HWND h) { m_hWnd = h; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }

    HWND Create(LPCSTR className, HWND parent, CRectArg rect = CRectArg(), LPCSTR name = nullptr,
                DWORD style = 0, DWORD exStyle = 0, CMenuOrId menu = CMenuOrId(), LPVOID param = nullptr);
    BOOL DestroyWindow();
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }

    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }

    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
    DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE); }
    // Changes style bits; with flags other than 0 the frame is recomputed (SWP_FRAMECHANGED).
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);

    CWindow GetParent() const { return CWindow(::GetParent(m_hWnd)); }
    CWindow GetDlgItem(int id) const { return CWindow(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL SetWindowText(LPCSTR text) { return ::SetWindowTextA(m_hWnd, text); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    int GetWindowText(LPSTR buf, int n) const { return ::GetWindowTextA(m_hWnd, buf, n); }
    std::string GetWindowText() const;
    BOOL SetDlgItemText(int id, LPCSTR text) { return ::SetDlgItemTextA(m_hWnd, id, text); }
    UINT GetDlgItemText(int id, LPSTR buf, int n) const { return ::GetDlgItemTextA(m_hWnd, id, buf, n); }
    BOOL CheckDlgButton(int id, UINT check) { return ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    BOOL CheckRadioButton(int first, int last, int id) { return ::CheckRadioButton(m_hWnd, first, last, id); }

    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND SetParent(HWND parent) { return ::SetParent(m_hWnd, parent); }

    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
    }
    BOOL SetWindowPos(HWND after, LPCRECT r, UINT flags) {
        return ::SetWindowPos(m_hWnd, after, r->left, r->top, r->right - r->left, r->bottom - r->top, flags);
    }
    BOOL MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) { return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint); }
    BOOL MoveWindow(LPCRECT r, BOOL repaint = TRUE) {
        return ::MoveWindow(m_hWnd, r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
    }
    // Sizes the window so that its client area becomes cx by cy (-1 keeps that dimension).
    BOOL ResizeClient(int cx, int cy, BOOL repaint = TRUE);
    // Centres on the parent (or the given window); with none, on the work area of the monitor.
    BOOL CenterWindow(HWND center = nullptr);

    BOOL GetClientRect(LPRECT r) const { return ::GetClientRect(m_hWnd, r); }
    BOOL GetWindowRect(LPRECT r) const { return ::GetWindowRect(m_hWnd, r); }
    CRect GetClientRect() const { CRect r; ::GetClientRect(m_hWnd, &r); return r; }
    CRect GetWindowRect() const { CRect r; ::GetWindowRect(m_hWnd, &r); return r; }
    BOOL ClientToScreen(LPPOINT p) const { return ::ClientToScreen(m_hWnd, p); }
    BOOL ClientToScreen(LPRECT r) const;
    BOOL ScreenToClient(LPPOINT p) const { return ::ScreenToClient(m_hWnd, p); }
    BOOL ScreenToClient(LPRECT r) const;

    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL InvalidateRect(LPCRECT r, BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, r, erase); }
    BOOL InvalidateRgn(HRGN rgn, BOOL erase = TRUE) { return ::InvalidateRgn(m_hWnd, rgn, erase); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT r = nullptr, HRGN rgn = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
        return ::RedrawWindow(m_hWnd, r, rgn, flags);
    }

    UINT_PTR SetTimer(UINT_PTR id, UINT ms, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, ms, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    HWND SetCapture() { return ::SetCapture(m_hWnd); }

    HFONT GetFont() const { return (HFONT)::SendMessageA(m_hWnd, WM_GETFONT, 0, 0); }
    void SetFont(HFONT f, BOOL redraw = TRUE) { ::SendMessageA(m_hWnd, WM_SETFONT, (WPARAM)f, MAKELPARAM(redraw, 0)); }
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    BOOL SetMenu(HMENU m) { return ::SetMenu(m_hWnd, m); }
    HICON SetIcon(HICON icon, BOOL big = TRUE) {
        return (HICON)::SendMessageA(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, (LPARAM)icon);
    }
    HDC GetDC() { return ::GetDC(m_hWnd); }
    HDC GetWindowDC() { return ::GetWindowDC(m_hWnd); }
    int ReleaseDC(HDC dc) { return ::ReleaseDC(m_hWnd, dc); }
    LONG_PTR GetWindowLongPtr(int i) const { return ::GetWindowLongPtrA(m_hWnd, i); }
    LONG_PTR SetWindowLongPtr(int i, LONG_PTR v) { return ::SetWindowLongPtrA(m_hWnd, i, v); }
};

// Anything that answers messages through a map. A map returns TRUE when it handled the message
// (the result is then in `result`), FALSE to let default processing run.
class CMessageMap {
public:
    virtual ~CMessageMap() = default;
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                      DWORD dwMsgMapID = 0) = 0;
};

// ---- The "handled" flag ----------------------------------------------------------------------
// Every map entry that calls a handler opens a scope over its flag (TRUE on entry). A handler
// passes the message on with SetMsgHandled(FALSE): the search then continues with the next entry
// and, past the last, default processing runs. The scope belongs to the thread and nests, so a
// handler that sends messages (to any window) sees its own flag again once they return. Outside
// any handler both calls do nothing (IsMsgHandled answers TRUE).
class CMsgHandledScope {
public:
    explicit CMsgHandledScope(BOOL& flag);
    ~CMsgHandledScope();
    CMsgHandledScope(const CMsgHandledScope&) = delete;
    CMsgHandledScope& operator=(const CMsgHandledScope&) = delete;

private:
    BOOL* m_outer;
};
void SetMsgHandled(BOOL handled);
BOOL IsMsgHandled();

// ---- Message-map macros -------------------------------------------------------------------
// A map is one routine. Each handler gets a `bHandled` flag that starts TRUE; a handler that
// sets it FALSE (or calls SetMsgHandled(FALSE)) "passes the message on" and the search continues
// with the next entry. These are the raw entries, handlers taking the packed WPARAM and LPARAM;
// winfw/typedmap.h has the typed ones.

#define BEGIN_MSG_MAP(theClass)                                                                     \
public:                                                                                             \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult, \
                              DWORD dwMsgMapID = 0) {                                               \
        BOOL bHandled = TRUE;                                                                       \
        (void)hWnd; (void)uMsg; (void)wParam; (void)lParam; (void)lResult; (void)bHandled;        \
        switch (dwMsgMapID) {                                                                       \
        case 0:

#define ALT_MSG_MAP(msgMapID) \
        break;                \
        case msgMapID:

#define END_MSG_MAP() \
        break;        \
        default:      \
            break;    \
        }             \
        return FALSE; \
    }

#define WINFW_CALL(expr)                         \
    {                                            \
        CMsgHandledScope winfwHandled_(bHandled); \
        lResult = (expr);                        \
        if (bHandled)                            \
            return TRUE;                         \
    }

// LRESULT func(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
#define MESSAGE_HANDLER(msg, func) \
    if (uMsg == (UINT)(msg)) WINFW_CALL(func(uMsg, wParam, lParam, bHandled))
#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func) \
    if (uMsg >= (UINT)(msgFirst) && uMsg <= (UINT)(msgLast)) WINFW_CALL(func(uMsg, wParam, lParam, bHandled))

// LRESULT func(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled)
#define WINFW_COMMAND_CALL(func) \
    WINFW_CALL(func(HIWORD(wParam), LOWORD(wParam), (HWND)lParam, bHandled))
#define COMMAND_HANDLER(id, code, func) \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (WORD)(id) && HIWORD(wParam) == (WORD)(code)) WINFW_COMMAND_CALL(func)
#define COMMAND_ID_HANDLER(id, func) \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (WORD)(id)) WINFW_COMMAND_CALL(func)
#define COMMAND_CODE_HANDLER(code, func) \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (WORD)(code)) WINFW_COMMAND_CALL(func)
#define COMMAND_RANGE_HANDLER(idFirst, idLast, func)                                      \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (WORD)(idFirst) && LOWORD(wParam) <= (WORD)(idLast)) \
    WINFW_COMMAND_CALL(func)
#define COMMAND_RANGE_CODE_HANDLER(idFirst, idLast, code, func)                                   \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (WORD)(code) && LOWORD(wParam) >= (WORD)(idFirst) && \
        LOWORD(wParam) <= (WORD)(idLast))                                                         \
    WINFW_COMMAND_CALL(func)

// LRESULT func(int idCtrl, LPNMHDR pnmh, BOOL& bHandled); a notification without its record
// (lParam 0) matches no entry.
#define WINFW_NOTIFY_CALL(func) WINFW_CALL(func((int)wParam, (LPNMHDR)lParam, bHandled))
#define NOTIFY_HANDLER(id, cd, func)                                                  \
    if (uMsg == WM_NOTIFY && lParam && ((LPNMHDR)lParam)->idFrom == (UINT_PTR)(id) && \
        ((LPNMHDR)lParam)->code == (UINT)(cd))                                        \
    WINFW_NOTIFY_CALL(func)
#define NOTIFY_ID_HANDLER(id, func) \
    if (uMsg == WM_NOTIFY && lParam && ((LPNMHDR)lParam)->idFrom == (UINT_PTR)(id)) WINFW_NOTIFY_CALL(func)
#define NOTIFY_CODE_HANDLER(cd, func) \
    if (uMsg == WM_NOTIFY && lParam && ((LPNMHDR)lParam)->code == (UINT)(cd)) WINFW_NOTIFY_CALL(func)
#define NOTIFY_RANGE_HANDLER(idFirst, idLast, func)                                        \
    if (uMsg == WM_NOTIFY && lParam && ((LPNMHDR)lParam)->idFrom >= (UINT_PTR)(idFirst) && \
        ((LPNMHDR)lParam)->idFrom <= (UINT_PTR)(idLast))                                   \
    WINFW_NOTIFY_CALL(func)
#define NOTIFY_RANGE_CODE_HANDLER(idFirst, idLast, cd, func)                    \
    if (uMsg == WM_NOTIFY && lParam && ((LPNMHDR)lParam)->code == (UINT)(cd) && \
        ((LPNMHDR)lParam)->idFrom >= (UINT_PTR)(idFirst) &&                     \
        ((LPNMHDR)lParam)->idFrom <= (UINT_PTR)(idLast))                        \
    WINFW_NOTIFY_CALL(func)

// Reflected notifications, as a control sees them after its parent sent them back.
#define REFLECTED_COMMAND_HANDLER(id, code, func) \
    if (uMsg == OCM_COMMAND && LOWORD(wParam) == (WORD)(id) && HIWORD(wParam) == (WORD)(code)) WINFW_COMMAND_CALL(func)
#define REFLECTED_COMMAND_ID_HANDLER(id, func) \
    if (uMsg == OCM_COMMAND && LOWORD(wParam) == (WORD)(id)) WINFW_COMMAND_CALL(func)
#define REFLECTED_COMMAND_CODE_HANDLER(code, func) \
    if (uMsg == OCM_COMMAND && HIWORD(wParam) == (WORD)(code)) WINFW_COMMAND_CALL(func)
#define REFLECTED_NOTIFY_HANDLER(id, cd, func)                                         \
    if (uMsg == OCM_NOTIFY && lParam && ((LPNMHDR)lParam)->idFrom == (UINT_PTR)(id) && \
        ((LPNMHDR)lParam)->code == (UINT)(cd))                                         \
    WINFW_NOTIFY_CALL(func)
#define REFLECTED_NOTIFY_CODE_HANDLER(cd, func) \
    if (uMsg == OCM_NOTIFY && lParam && ((LPNMHDR)lParam)->code == (UINT)(cd)) WINFW_NOTIFY_CALL(func)

// Chaining to a base class or mix-in (its own map routine), or to a member's map.
#define CHAIN_MSG_MAP(theChainClass) \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
#define CHAIN_MSG_MAP_ALT(theChainClass, msgMapID) \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, msgMapID)) return TRUE;
#define CHAIN_MSG_MAP_MEMBER(theChainMember) \
    if ((theChainMember).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

// Sends children's notifications back to the child as OCM_* messages.
#define REFLECT_NOTIFICATIONS() WINFW_CALL(ReflectNotifications(uMsg, wParam, lParam, bHandled))
// Gives every reflected message not otherwise handled its ordinary default processing.
#define DEFAULT_REFLECTION_HANDLER() \
    if (DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
// Passes children's notifications on to this window's parent.
#define FORWARD_NOTIFICATIONS() WINFW_CALL(ForwardNotifications(uMsg, wParam, lParam, bHandled))

// ---- Window classes ------------------------------------------------------------------------

// How a window class is registered: an own class, or a superclass of an existing one.
struct CWndClassInfo {
    WNDCLASSEXA wc;
    LPCSTR origName;        // the class superclassed, or null
    LPCSTR cursorId;        // a system cursor id, or null
    UINT iconResource;      // an icon resource of the program, or 0
    WNDPROC origProc;       // the superclassed class's procedure
    ATOM atom;
    char autoName[40];

    CWndClassInfo(LPCSTR name, UINT style, int background, LPCSTR origClass = nullptr, UINT icon = 0);
    // Registers on first use; returns the atom (0 on failure) and the procedure to chain to.
    ATOM Register(WNDPROC* superProc);
};

#define DECLARE_WND_CLASS_EX(name, style, background)                       \
    static CWndClassInfo& GetWndClassInfo() {                              \
        static CWndClassInfo wci(name, style, background);                 \
        return wci;                                                        \
    }
#define DECLARE_WND_CLASS(name) DECLARE_WND_CLASS_EX(name, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW + 1)
// A class that copies an existing class and runs the object's map before the class's own procedure.
#define DECLARE_WND_SUPERCLASS(name, origName)                              \
    static CWndClassInfo& GetWndClassInfo() {                              \
        static CWndClassInfo wci(name, 0, -1, origName);                   \
        return wci;                                                        \
    }

// Default styles per window kind.
template <DWORD t_style = 0, DWORD t_exStyle = 0>
struct CWinTraits {
    static DWORD GetWndStyle(DWORD style) { return style == 0 ? t_style : style; }
    static DWORD GetWndExStyle(DWORD exStyle) { return exStyle == 0 ? t_exStyle : exStyle; }
};
typedef CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0> CControlWinTraits;
typedef CWinTraits<WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE>
    CFrameWinTraits;
typedef CWinTraits<0, 0> CNullTraits;

// The part of every bound window that is not a template: the procedure, the binding of the
// HWND to the object, default processing, sub-classing and the final-message hook.
class CWindowImplCore : public CMessageMap {
public:
    explicit CWindowImplCore(HWND* handle);
    ~CWindowImplCore() override;
    CWindowImplCore(const CWindowImplCore&) = delete;
    CWindowImplCore& operator=(const CWindowImplCore&) = delete;

    // The handle member of the window part of the object.
    HWND& Hwnd() { return *m_phWnd; }

    // The message being processed (innermost), or null.
    const MSG* GetCurrentMessage() const { return m_pCurrentMsg; }
    // Default processing of the current message, or of a given one.
    LRESULT DefWindowProc();
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

    // Binds an existing window to this object; its procedure becomes the default.
    BOOL SubclassWindow(HWND hWnd);
    // Undoes SubclassWindow; refused (null) when someone sub-classed the window after us,
    // unless forced.
    HWND UnsubclassWindow(BOOL force = FALSE);

    // Called after the last message (WM_NCDESTROY) once the object is unbound; may delete this.
    virtual void OnFinalMessage(HWND hWnd) {}
    // The procedure the object installs (the window-procedure getter).
    virtual WNDPROC GetWindowProc() { return &CWindowImplCore::WindowProc; }

    LRESULT ReflectNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT ForwardNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    static BOOL DefaultReflectionHandler(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // Which map of the object answers (map 0 for an ordinary window; contained windows differ).
    virtual BOOL RouteMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
        return ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0);
    }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // The object bound to a window by this framework, or null.
    static CWindowImplCore* FromHandle(HWND hWnd);

protected:
    // Creates a window and binds it to this object from its first message.
    HWND CreateBound(LPCSTR className, HWND parent, CRectArg rect, LPCSTR name, DWORD style, DWORD exStyle,
                     CMenuOrId menu, LPVOID param);
    // Arranges for the next window of ours created on this thread to be bound to this object.
    void PrepareBinding();
    void CancelBinding();
    void Bind(HWND hWnd);
    void Unbind();
    static void AfterMessage(CWindowImplCore* p, const MSG* outer);

    const MSG* m_pCurrentMsg;
    WNDPROC m_pfnSuperWindowProc;
    bool m_bSubclassed;
    bool m_bDestroyed;
    bool m_bDialog;
    bool m_bModal;

private:
    HWND* m_phWnd;
};

template <class TBase = CWindow>
class CWindowImplRootT : public TBase, public CWindowImplCore {
public:
    CWindowImplRootT() : CWindowImplCore(&this->m_hWnd) {}
    using CWindowImplCore::DefWindowProc;
};
typedef CWindowImplRootT<CWindow> CWindowImplRoot;

// A window with its own (or a super-) class, bound to an object of T.
template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImpl : public CWindowImplRootT<TBase> {
public:
    DECLARE_WND_CLASS(nullptr)

    static DWORD GetWndStyle(DWORD style) { return TWinTraits::GetWndStyle(style); }
    static DWORD GetWndExStyle(DWORD exStyle) { return TWinTraits::GetWndExStyle(exStyle); }

    HWND Create(HWND parent, CRectArg rect = CRectArg(), LPCSTR name = nullptr, DWORD style = 0, DWORD exStyle = 0,
                CMenuOrId menu = CMenuOrId(), LPVOID param = nullptr) {
        WNDPROC super = nullptr;
        ATOM atom = T::GetWndClassInfo().Register(&super);
        if (atom == 0) return nullptr;
        this->m_pfnSuperWindowProc = super ? super : ::DefWindowProcA;
        return this->CreateBound(MAKEINTATOM(atom), parent, rect, name, T::GetWndStyle(style),
                                 T::GetWndExStyle(exStyle), menu, param);
    }
};

// A window whose messages go to another object's map (e.g. a control's own edit child),
// under that map's alternate id.
template <class TBase = CWindow>
class CContainedWindowT : public CWindowImplRootT<TBase> {
public:
    CContainedWindowT(CMessageMap* object = nullptr, DWORD msgMapID = 0) : m_pObject(object), m_dwMsgMapID(msgMapID) {}
    void SetTarget(CMessageMap* object, DWORD msgMapID) { m_pObject = object; m_dwMsgMapID = msgMapID; }
    // Creates a window of the named class and sub-classes it at once.
    HWND Create(LPCSTR className, HWND parent, CRectArg rect = CRectArg(), LPCSTR name = nullptr, DWORD style = 0,
                DWORD exStyle = 0, CMenuOrId menu = CMenuOrId(), LPVOID param = nullptr) {
        HWND h = ::CreateWindowExA(exStyle, className, name, style, rect.p ? rect.p->left : CW_USEDEFAULT,
                                   rect.p ? rect.p->top : CW_USEDEFAULT,
                                   rect.p ? rect.p->right - rect.p->left : CW_USEDEFAULT,
                                   rect.p ? rect.p->bottom - rect.p->top : CW_USEDEFAULT, parent, menu.h,
                                   ::GetModuleHandleA(nullptr), param);
        if (h && !this->SubclassWindow(h)) { ::DestroyWindow(h); h = nullptr; }
        return h;
    }

    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD) override { return FALSE; }
    BOOL RouteMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override {
        return m_pObject ? m_pObject->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, m_dwMsgMapID) : FALSE;
    }

    CMessageMap* m_pObject;
    DWORD m_dwMsgMapID;
};
typedef CContainedWindowT<CWindow> CContainedWindow;
