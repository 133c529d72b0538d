#include "winfw/window.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "winfw/module.h"

RECT CWindow::rcDefault = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

namespace {

// The property that links a window to its object; a property (not GWLP_USERDATA) leaves the
// window's own data alone, which matters for sub-classed system controls.
const char kObjectProp[] = "Velmora.WinFw.Object";

// The objects waiting for the first message of the window or dialog being created on this
// thread (kept apart: a dialog's controls of our classes are created before its first message).
thread_local CWindowImplCore* t_pending = nullptr;
thread_local CWindowImplCore* t_pendingDialog = nullptr;

// The flag of the innermost map entry running on this thread.
thread_local BOOL* t_handled = nullptr;

std::mutex g_classLock;
// Superclass procedures by class atom, for windows of our classes created without an object.
std::map<ATOM, WNDPROC>& SuperProcs() {
    static std::map<ATOM, WNDPROC> procs;
    return procs;
}

WNDPROC SuperProcOfClass(HWND hWnd) {
    ATOM atom = (ATOM)::GetClassWord(hWnd, GCW_ATOM);
    std::lock_guard<std::mutex> lock(g_classLock);
    auto it = SuperProcs().find(atom);
    return it == SuperProcs().end() ? ::DefWindowProcA : it->second;
}

}  // namespace

// ---- The "handled" flag ----------------------------------------------------------------------

CMsgHandledScope::CMsgHandledScope(BOOL& flag) : m_outer(t_handled) {
    flag = TRUE;
    t_handled = &flag;
}
CMsgHandledScope::~CMsgHandledScope() { t_handled = m_outer; }

void SetMsgHandled(BOOL handled) {
    if (t_handled) *t_handled = handled;
}
BOOL IsMsgHandled() { return t_handled ? *t_handled : TRUE; }

// ---- CWindow ------------------------------------------------------------------------------

HWND CWindow::Create(LPCSTR className, HWND parent, CRectArg rect, LPCSTR name, DWORD style, DWORD exStyle,
                     CMenuOrId menu, LPVOID param) {
    const RECT* r = rect.p ? rect.p : &rcDefault;
    int cx = r == &rcDefault ? CW_USEDEFAULT : r->right - r->left;
    int cy = r == &rcDefault ? CW_USEDEFAULT : r->bottom - r->top;
    m_hWnd = ::CreateWindowExA(exStyle, className, name, style, r->left, r->top, cx, cy, parent, menu.h,
                               GetAppModule().GetModuleInstance(), param);
    return m_hWnd;
}

BOOL CWindow::DestroyWindow() {
    if (!::DestroyWindow(m_hWnd)) return FALSE;
    m_hWnd = nullptr;
    return TRUE;
}

std::string CWindow::GetWindowText() const {
    int n = ::GetWindowTextLengthA(m_hWnd);
    std::string s(n + 1, '\0');
    int got = ::GetWindowTextA(m_hWnd, &s[0], n + 1);
    s.resize(got > 0 ? got : 0);
    return s;
}

static BOOL ModifyLong(HWND h, int index, DWORD remove, DWORD add, UINT flags) {
    DWORD old = (DWORD)::GetWindowLongPtrA(h, index);
    DWORD now = (old & ~remove) | add;
    if (now == old) return FALSE;
    ::SetWindowLongPtrA(h, index, (LONG_PTR)now);
    if (flags != 0)
        ::SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | flags);
    return TRUE;
}

BOOL CWindow::ModifyStyle(DWORD remove, DWORD add, UINT flags) { return ModifyLong(m_hWnd, GWL_STYLE, remove, add, flags); }
BOOL CWindow::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

BOOL CWindow::ResizeClient(int cx, int cy, BOOL repaint) {
    CRect client = GetClientRect();
    CRect win = GetWindowRect();
    if (cx < 0) cx = client.Width();
    if (cy < 0) cy = client.Height();
    int w = win.Width() - client.Width() + cx;
    int h = win.Height() - client.Height() + cy;
    return ::SetWindowPos(m_hWnd, nullptr, 0, 0, w, h,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL CWindow::CenterWindow(HWND center) {
    DWORD style = GetStyle();
    if (!center) center = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    CRect win = GetWindowRect();
    CRect area;
    if (style & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &area);
        if (center && center != parent) {
            ::GetWindowRect(center, &area);
            ::MapWindowPoints(nullptr, parent, (LPPOINT)&area, 2);
        }
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        HMONITOR mon = ::MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTONEAREST);
        CRect work;
        if (mon && ::GetMonitorInfoA(mon, &mi)) work = mi.rcWork;
        else ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        area = work;
        if (center && ::IsWindowVisible(center) && !::IsIconic(center)) ::GetWindowRect(center, &area);
        int x = (area.left + area.right - win.Width()) / 2;
        int y = (area.top + area.bottom - win.Height()) / 2;
        // Keep the window on the work area.
        if (x + win.Width() > work.right) x = work.right - win.Width();
        if (x < work.left) x = work.left;
        if (y + win.Height() > work.bottom) y = work.bottom - win.Height();
        if (y < work.top) y = work.top;
        return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    int x = (area.left + area.right - win.Width()) / 2;
    int y = (area.top + area.bottom - win.Height()) / 2;
    return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// MapWindowPoints answers 0 both on failure and for a zero offset; the error code tells them apart.
BOOL CWindow::ClientToScreen(LPRECT r) const {
    ::SetLastError(0);
    return ::MapWindowPoints(m_hWnd, nullptr, (LPPOINT)r, 2) != 0 || ::GetLastError() == 0;
}
BOOL CWindow::ScreenToClient(LPRECT r) const {
    ::SetLastError(0);
    return ::MapWindowPoints(nullptr, m_hWnd, (LPPOINT)r, 2) != 0 || ::GetLastError() == 0;
}

// ---- Window classes ------------------------------------------------------------------------

CWndClassInfo::CWndClassInfo(LPCSTR name, UINT style, int background, LPCSTR origClass, UINT icon)
    : origName(origClass), cursorId(IDC_ARROW), iconResource(icon), origProc(nullptr), atom(0) {
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpszClassName = name;
    wc.hbrBackground = background >= 0 ? (HBRUSH)(INT_PTR)background : nullptr;
    autoName[0] = '\0';
}

ATOM CWndClassInfo::Register(WNDPROC* superProc) {
    std::lock_guard<std::mutex> lock(g_classLock);
    if (atom != 0) {
        *superProc = origProc;
        return atom;
    }
    HINSTANCE inst = GetAppModule().GetModuleInstance();
    WNDCLASSEXA reg = wc;
    if (origName) {
        // A superclass: the original class with our procedure in front of its own.
        WNDCLASSEXA orig = {};
        orig.cbSize = sizeof(orig);
        if (!::GetClassInfoExA(nullptr, origName, &orig) && !::GetClassInfoExA(inst, origName, &orig)) return 0;
        origProc = orig.lpfnWndProc;
        reg = orig;
        reg.cbSize = sizeof(reg);
        reg.style &= ~CS_GLOBALCLASS;
        reg.lpszClassName = wc.lpszClassName;
    } else {
        if (cursorId) reg.hCursor = ::LoadCursorA(nullptr, cursorId);
        if (iconResource) {
            reg.hIcon = ::LoadIconA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(iconResource));
            reg.hIconSm = (HICON)::LoadImageA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(iconResource),
                                              IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                              ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
        }
    }
    reg.hInstance = inst;
    reg.lpfnWndProc = &CWindowImplCore::WindowProc;
    if (!reg.lpszClassName) {
        snprintf(autoName, sizeof(autoName), "Velmora:%p", (void*)this);
        reg.lpszClassName = autoName;
    }
    atom = ::RegisterClassExA(&reg);
    if (atom == 0 && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Registered by an earlier copy of this module's code (e.g. a second info object).
        WNDCLASSEXA have = {};
        have.cbSize = sizeof(have);
        if (::GetClassInfoExA(inst, reg.lpszClassName, &have) && have.lpfnWndProc == &CWindowImplCore::WindowProc)
            atom = (ATOM)::GetClassInfoExA(inst, reg.lpszClassName, &have);
    }
    if (atom != 0) SuperProcs()[atom] = origProc ? origProc : ::DefWindowProcA;
    *superProc = origProc;
    return atom;
}

// ---- Bound windows -------------------------------------------------------------------------

CWindowImplCore::CWindowImplCore(HWND* handle)
    : m_pCurrentMsg(nullptr), m_pfnSuperWindowProc(::DefWindowProcA), m_bSubclassed(false), m_bDestroyed(false),
      m_bDialog(false), m_bModal(false), m_phWnd(handle) {}

CWindowImplCore::~CWindowImplCore() {
    if (t_pending == this) t_pending = nullptr;
    if (t_pendingDialog == this) t_pendingDialog = nullptr;
    // An object destroyed while its window lives must not be called again.
    HWND h = Hwnd();
    if (h && ::IsWindow(h) && ::GetPropA(h, kObjectProp) == this) {
        if (m_bSubclassed) UnsubclassWindow(TRUE);
        else ::RemovePropA(h, kObjectProp);
    }
}

CWindowImplCore* CWindowImplCore::FromHandle(HWND hWnd) {
    return static_cast<CWindowImplCore*>(::GetPropA(hWnd, kObjectProp));
}

void CWindowImplCore::PrepareBinding() {
    if (m_bDialog) t_pendingDialog = this;
    else t_pending = this;
}
void CWindowImplCore::CancelBinding() {
    if (t_pending == this) t_pending = nullptr;
    if (t_pendingDialog == this) t_pendingDialog = nullptr;
}

void CWindowImplCore::Bind(HWND hWnd) {
    Hwnd() = hWnd;
    m_bDestroyed = false;
    ::SetPropA(hWnd, kObjectProp, this);
}

void CWindowImplCore::Unbind() {
    HWND h = Hwnd();
    if (m_bSubclassed && (WNDPROC)::GetWindowLongPtrA(h, GWLP_WNDPROC) == GetWindowProc())
        ::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)m_pfnSuperWindowProc);
    ::RemovePropA(h, kObjectProp);
    m_bSubclassed = false;
    Hwnd() = nullptr;
}

HWND CWindowImplCore::CreateBound(LPCSTR className, HWND parent, CRectArg rect, LPCSTR name, DWORD style,
                                  DWORD exStyle, CMenuOrId menu, LPVOID param) {
    if (Hwnd()) return nullptr;  // one window per object
    const RECT* r = rect.p ? rect.p : &CWindow::rcDefault;
    int cx = r == &CWindow::rcDefault ? CW_USEDEFAULT : r->right - r->left;
    int cy = r == &CWindow::rcDefault ? CW_USEDEFAULT : r->bottom - r->top;
    m_bSubclassed = false;
    PrepareBinding();
    HWND h = ::CreateWindowExA(exStyle, className, name, style, r->left, r->top, cx, cy, parent, menu.h,
                               GetAppModule().GetModuleInstance(), param);
    // No member is touched after a refused creation (WM_CREATE answered -1): the window is gone
    // and OnFinalMessage may already have deleted this object.
    CancelBinding();
    return h;
}

LRESULT CWindowImplCore::DefWindowProc() {
    const MSG* m = m_pCurrentMsg;
    return m ? DefWindowProc(m->message, m->wParam, m->lParam) : 0;
}

LRESULT CWindowImplCore::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (m_bDialog) return 0;  // the dialog manager does default processing itself
    return ::CallWindowProcA(m_pfnSuperWindowProc, Hwnd(), uMsg, wParam, lParam);
}

BOOL CWindowImplCore::SubclassWindow(HWND hWnd) {
    if (Hwnd() || !::IsWindow(hWnd) || ::GetPropA(hWnd, kObjectProp)) return FALSE;
    Bind(hWnd);
    WNDPROC old = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)GetWindowProc());
    if (!old) {
        ::RemovePropA(hWnd, kObjectProp);
        Hwnd() = nullptr;
        return FALSE;
    }
    m_pfnSuperWindowProc = old;
    m_bSubclassed = true;
    return TRUE;
}

HWND CWindowImplCore::UnsubclassWindow(BOOL force) {
    HWND h = Hwnd();
    if (!h || !m_bSubclassed) return nullptr;
    if ((WNDPROC)::GetWindowLongPtrA(h, GWLP_WNDPROC) != GetWindowProc()) {
        if (!force) return nullptr;
    } else {
        ::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)m_pfnSuperWindowProc);
    }
    ::RemovePropA(h, kObjectProp);
    m_bSubclassed = false;
    m_pfnSuperWindowProc = ::DefWindowProcA;
    Hwnd() = nullptr;
    return h;
}

void CWindowImplCore::AfterMessage(CWindowImplCore* p, const MSG* outer) {
    p->m_pCurrentMsg = outer;
    // The object lets go of its window only once the outermost message has returned.
    if (outer == nullptr && p->m_bDestroyed) {
        HWND h = p->Hwnd();
        p->m_bDestroyed = false;
        p->Unbind();
        p->OnFinalMessage(h);
    }
}

LRESULT CALLBACK CWindowImplCore::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowImplCore* p = FromHandle(hWnd);
    if (!p) {
        p = t_pending;
        if (!p) return ::CallWindowProcA(SuperProcOfClass(hWnd), hWnd, uMsg, wParam, lParam);
        t_pending = nullptr;
        p->Bind(hWnd);
    }
    MSG msg = {hWnd, uMsg, wParam, lParam, 0, {0, 0}};
    const MSG* outer = p->m_pCurrentMsg;
    p->m_pCurrentMsg = &msg;
    LRESULT result = 0;
    BOOL handled = p->RouteMessage(hWnd, uMsg, wParam, lParam, result);
    if (!handled) result = p->DefWindowProc(uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) p->m_bDestroyed = true;
    AfterMessage(p, outer);
    return result;
}

INT_PTR CALLBACK CWindowImplCore::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowImplCore* p = FromHandle(hWnd);
    if (!p) {
        p = t_pendingDialog;
        if (!p) return FALSE;
        t_pendingDialog = nullptr;
        p->Bind(hWnd);
    }
    MSG msg = {hWnd, uMsg, wParam, lParam, 0, {0, 0}};
    const MSG* outer = p->m_pCurrentMsg;
    p->m_pCurrentMsg = &msg;
    LRESULT result = 0;
    BOOL handled = p->RouteMessage(hWnd, uMsg, wParam, lParam, result);
    INT_PTR ret = FALSE;
    if (handled) {
        switch (uMsg) {
        // These answer through the procedure's return value, not DWLP_MSGRESULT.
        case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_INITDIALOG:
        case WM_QUERYDRAGICON: case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
            ret = (INT_PTR)result;
            break;
        default:
            if (uMsg != WM_NCDESTROY) ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, (LONG_PTR)result);
            ret = TRUE;
            break;
        }
    }
    else if (uMsg == WM_INITDIALOG)
        ret = TRUE;  // the dialog manager gives the first control the focus
    if (uMsg == WM_NCDESTROY) p->m_bDestroyed = true;
    AfterMessage(p, outer);
    return ret;
}

// ---- Reflection and forwarding -------------------------------------------------------------

static HWND NotifyingChild(HWND parent, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_COMMAND:
        return (HWND)lParam;
    case WM_NOTIFY:
        return lParam ? ((LPNMHDR)lParam)->hwndFrom : nullptr;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE: case WM_DESTROY: return (HWND)lParam;
        default: return ::GetDlgItem(parent, HIWORD(wParam));
        }
    case WM_DRAWITEM:
        return wParam ? ((LPDRAWITEMSTRUCT)lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        return wParam ? ::GetDlgItem(parent, ((LPMEASUREITEMSTRUCT)lParam)->CtlID) : nullptr;
    case WM_COMPAREITEM:
        return wParam ? ((LPCOMPAREITEMSTRUCT)lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return wParam ? ((LPDELETEITEMSTRUCT)lParam)->hwndItem : nullptr;
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_HSCROLL: case WM_VSCROLL:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        return (HWND)lParam;
    default:
        return nullptr;
    }
}

LRESULT CWindowImplCore::ReflectNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    HWND child = NotifyingChild(Hwnd(), uMsg, wParam, lParam);
    if (!child || child == Hwnd() || !::IsWindow(child)) {
        bHandled = FALSE;
        return 1;
    }
    return ::SendMessageA(child, OCM__BASE + uMsg, wParam, lParam);
}

LRESULT CWindowImplCore::ForwardNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    switch (uMsg) {
    case WM_COMMAND: case WM_NOTIFY: case WM_PARENTNOTIFY: case WM_DRAWITEM: case WM_MEASUREITEM:
    case WM_COMPAREITEM: case WM_DELETEITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_HSCROLL:
    case WM_VSCROLL: case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: {
        HWND parent = ::GetParent(Hwnd());
        if (parent) return ::SendMessageA(parent, uMsg, wParam, lParam);
        break;
    }
    default:
        break;
    }
    bHandled = FALSE;
    return 0;
}

BOOL CWindowImplCore::DefaultReflectionHandler(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                               LRESULT& lResult) {
    switch (uMsg) {
    case OCM_COMMAND: case OCM_NOTIFY: case OCM_PARENTNOTIFY: case OCM_DRAWITEM: case OCM_MEASUREITEM:
    case OCM_COMPAREITEM: case OCM_DELETEITEM: case OCM_VKEYTOITEM: case OCM_CHARTOITEM: case OCM_HSCROLL:
    case OCM_VSCROLL: case OCM_CTLCOLORBTN: case OCM_CTLCOLORDLG: case OCM_CTLCOLOREDIT: case OCM_CTLCOLORLISTBOX:
    case OCM_CTLCOLORMSGBOX: case OCM_CTLCOLORSCROLLBAR: case OCM_CTLCOLORSTATIC:
        lResult = ::DefWindowProcA(hWnd, uMsg - OCM__BASE, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}
