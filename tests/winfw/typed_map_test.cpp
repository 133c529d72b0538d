// Typed map entries: every message kind reaches its handler with its arguments unpacked (signed
// coordinates, sizes, handles, key data), the handler's answer (or the message's usual one) comes
// back, and SetMsgHandled(FALSE) passes the message on to the next entry.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "winfw/winfw.h"

namespace {

typedef std::vector<long long> Args;

const LRESULT kAnswer = 0x2A;      // what handlers with a result return
const LRESULT kFallback = 0x5A5A;  // what the raw entry behind the typed ones answers

enum : UINT { WM_RAWONE = WM_APP + 1, WM_RAWLO = WM_APP + 10, WM_RAWHI = WM_APP + 12, WM_UNMAPPED = WM_APP + 50 };
const UINT kEndEdit = (UINT)-1505;

long long V(const void* p) { return (long long)(INT_PTR)p; }

class CCracked : public CWindowImpl<CCracked> {
public:
    DECLARE_WND_CLASS("VelmoraTestCracked")

    // Off while the window is made and destroyed: the real messages then get their default.
    bool armed = false;
    bool passOn = false;
    std::vector<std::pair<std::string, Args>> calls;

    BEGIN_MSG_MAP(CCracked)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_INITDIALOG(OnInitDialog)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_CLOSE(OnClose)
        MSG_WM_THEMECHANGED(OnThemeChanged)
        MSG_WM_SHOWWINDOW(OnShowWindow)
        MSG_WM_ACTIVATE(OnActivate)
        MSG_WM_SETFOCUS(OnSetFocus)
        MSG_WM_KILLFOCUS(OnKillFocus)
        MSG_WM_CAPTURECHANGED(OnCaptureChanged)
        MSG_WM_SIZE(OnSize)
        MSG_WM_MOVE(OnMove)
        MSG_WM_GETMINMAXINFO(OnGetMinMaxInfo)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_CTLCOLORSTATIC(OnCtlColorStatic)
        MSG_WM_CTLCOLOREDIT(OnCtlColorEdit)
        MSG_WM_CTLCOLORBTN(OnCtlColorBtn)
        MSG_WM_CTLCOLORLISTBOX(OnCtlColorListBox)
        MSG_WM_CTLCOLORSCROLLBAR(OnCtlColorScrollBar)
        MSG_WM_CTLCOLORDLG(OnCtlColorDlg)
        MSG_WM_DRAWITEM(OnDrawItem)
        MSG_WM_MEASUREITEM(OnMeasureItem)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_KEYDOWN(OnKeyDown)
        MSG_WM_KEYUP(OnKeyUp)
        MSG_WM_CHAR(OnChar)
        MSG_WM_SYSKEYDOWN(OnSysKeyDown)
        MSG_WM_SYSKEYUP(OnSysKeyUp)
        MSG_WM_SYSCHAR(OnSysChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
        MSG_WM_RBUTTONDOWN(OnRButtonDown)
        MSG_WM_RBUTTONUP(OnRButtonUp)
        MSG_WM_RBUTTONDBLCLK(OnRButtonDblClk)
        MSG_WM_MBUTTONDOWN(OnMButtonDown)
        MSG_WM_MBUTTONUP(OnMButtonUp)
        MSG_WM_MBUTTONDBLCLK(OnMButtonDblClk)
        MSG_WM_MOUSEHOVER(OnMouseHover)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_MOUSEWHEEL(OnMouseWheel)
        MSG_WM_SETCURSOR(OnSetCursor)
        MSG_WM_CONTEXTMENU(OnContextMenu)
        MSG_WM_NCHITTEST(OnNcHitTest)
        MSG_WM_NCMOUSEMOVE(OnNcMouseMove)
        MSG_WM_NCLBUTTONDOWN(OnNcLButtonDown)
        MSG_WM_NCLBUTTONUP(OnNcLButtonUp)
        MSG_WM_NCLBUTTONDBLCLK(OnNcLButtonDblClk)
        MSG_WM_NCRBUTTONDOWN(OnNcRButtonDown)
        MSG_WM_NCRBUTTONUP(OnNcRButtonUp)
        MSG_WM_NCMOUSELEAVE(OnNcMouseLeave)
        MSG_WM_NCPAINT(OnNcPaint)
        MSG_WM_NCACTIVATE(OnNcActivate)
        MSG_WM_NCCALCSIZE(OnNcCalcSize)
        MSG_WM_SYSCOMMAND(OnSysCommand)
        MSG_WM_HSCROLL(OnHScroll)
        MSG_WM_VSCROLL(OnVScroll)
        // The most specific first: each entry below sees only what the ones above passed on.
        MSG_COMMAND_ID_CODE(4100, BN_CLICKED, OnCmdIdCode)
        MSG_COMMAND_ID(IDOK, OnCmdId)
        MSG_COMMAND_RANGE(4000, 4200, OnCmdRange)
        MSG_COMMAND_CODE(EN_CHANGE, OnCmdCode)
        MSG_WM_COMMAND(OnCommand)
        MSG_NOTIFY_ID_CODE(5001, NM_DBLCLK, OnNmIdCode)
        MSG_NOTIFY_ID(5001, OnNmId)
        MSG_NOTIFY_RANGE(6001, 6050, OnNmRange)
        MSG_NOTIFY_CODE(kEndEdit, OnNmCode)
        MSG_WM_NOTIFY(OnNotify)
        MSG_REFLECTED_COMMAND_CODE(BN_CLICKED, OnReflectedCommand)
        MSG_REFLECTED_NOTIFY_CODE(NM_RCLICK, OnReflectedNotify)
        MSG_RAW(WM_RAWONE, OnRaw)
        MSG_RAW_RANGE(WM_RAWLO, WM_RAWHI, OnRawRange)
        // Behind them all, a raw entry that answers whatever they passed on.
        MESSAGE_RANGE_HANDLER(1, 0xFFFF, OnAnything)
    END_MSG_MAP()

    void Got(const char* name, Args args) {
        if (!armed) {
            SetMsgHandled(FALSE);
            return;
        }
        calls.emplace_back(name, std::move(args));
        if (passOn) SetMsgHandled(FALSE);
    }
    LRESULT Answer(const char* name, Args args) {
        Got(name, std::move(args));
        return kAnswer;
    }
    LRESULT OnAnything(UINT, WPARAM, LPARAM, BOOL& handled) {
        if (!armed) handled = FALSE;
        return kFallback;
    }

    LRESULT OnCreate(LPCREATESTRUCTA cs) { return Answer("create", {V(cs)}); }
    BOOL OnInitDialog(HWND focus, LPARAM init) { return (BOOL)Answer("initdialog", {V(focus), init}); }
    void OnDestroy() { Got("destroy", {}); }
    void OnClose() { Got("close", {}); }
    void OnThemeChanged() { Got("themechanged", {}); }
    void OnShowWindow(BOOL show, UINT status) { Got("showwindow", {show, status}); }
    void OnActivate(UINT state, BOOL minimized, HWND other) { Got("activate", {state, minimized, V(other)}); }
    void OnSetFocus(HWND lost) { Got("setfocus", {V(lost)}); }
    void OnKillFocus(HWND gaining) { Got("killfocus", {V(gaining)}); }
    void OnCaptureChanged(HWND gaining) { Got("capturechanged", {V(gaining)}); }
    void OnSize(UINT type, CSize size) { Got("size", {type, size.cx, size.cy}); }
    void OnMove(CPoint pt) { Got("move", {pt.x, pt.y}); }
    void OnGetMinMaxInfo(LPMINMAXINFO mmi) { Got("getminmaxinfo", {V(mmi)}); }
    void OnPaint(HDC dc) { Got("paint", {V(dc)}); }
    void OnPrintClient(HDC dc, UINT flags) { Got("printclient", {V(dc), flags}); }
    BOOL OnEraseBkgnd(HDC dc) { return (BOOL)Answer("erasebkgnd", {V(dc)}); }
    HBRUSH Brush(const char* name, HDC dc, HWND ctl) { return (HBRUSH)Answer(name, {V(dc), V(ctl)}); }
    HBRUSH OnCtlColorStatic(HDC dc, HWND ctl) { return Brush("ctlcolorstatic", dc, ctl); }
    HBRUSH OnCtlColorEdit(HDC dc, HWND ctl) { return Brush("ctlcoloredit", dc, ctl); }
    HBRUSH OnCtlColorBtn(HDC dc, HWND ctl) { return Brush("ctlcolorbtn", dc, ctl); }
    HBRUSH OnCtlColorListBox(HDC dc, HWND ctl) { return Brush("ctlcolorlistbox", dc, ctl); }
    HBRUSH OnCtlColorScrollBar(HDC dc, HWND ctl) { return Brush("ctlcolorscrollbar", dc, ctl); }
    HBRUSH OnCtlColorDlg(HDC dc, HWND ctl) { return Brush("ctlcolordlg", dc, ctl); }
    void OnDrawItem(UINT id, LPDRAWITEMSTRUCT dis) { Got("drawitem", {id, V(dis)}); }
    void OnMeasureItem(UINT id, LPMEASUREITEMSTRUCT mis) { Got("measureitem", {id, V(mis)}); }
    void OnTimer(UINT_PTR id) { Got("timer", {(long long)id}); }
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) { Got("keydown", {vk, repeat, flags}); }
    void OnKeyUp(UINT vk, UINT repeat, UINT flags) { Got("keyup", {vk, repeat, flags}); }
    void OnChar(UINT ch, UINT repeat, UINT flags) { Got("char", {ch, repeat, flags}); }
    void OnSysKeyDown(UINT vk, UINT repeat, UINT flags) { Got("syskeydown", {vk, repeat, flags}); }
    void OnSysKeyUp(UINT vk, UINT repeat, UINT flags) { Got("syskeyup", {vk, repeat, flags}); }
    void OnSysChar(UINT ch, UINT repeat, UINT flags) { Got("syschar", {ch, repeat, flags}); }
    UINT OnGetDlgCode(LPMSG msg) { return (UINT)Answer("getdlgcode", {V(msg)}); }
    void Mouse(const char* name, UINT flags, CPoint pt) { Got(name, {flags, pt.x, pt.y}); }
    void OnMouseMove(UINT flags, CPoint pt) { Mouse("mousemove", flags, pt); }
    void OnLButtonDown(UINT flags, CPoint pt) { Mouse("lbuttondown", flags, pt); }
    void OnLButtonUp(UINT flags, CPoint pt) { Mouse("lbuttonup", flags, pt); }
    void OnLButtonDblClk(UINT flags, CPoint pt) { Mouse("lbuttondblclk", flags, pt); }
    void OnRButtonDown(UINT flags, CPoint pt) { Mouse("rbuttondown", flags, pt); }
    void OnRButtonUp(UINT flags, CPoint pt) { Mouse("rbuttonup", flags, pt); }
    void OnRButtonDblClk(UINT flags, CPoint pt) { Mouse("rbuttondblclk", flags, pt); }
    void OnMButtonDown(UINT flags, CPoint pt) { Mouse("mbuttondown", flags, pt); }
    void OnMButtonUp(UINT flags, CPoint pt) { Mouse("mbuttonup", flags, pt); }
    void OnMButtonDblClk(UINT flags, CPoint pt) { Mouse("mbuttondblclk", flags, pt); }
    void OnMouseHover(UINT flags, CPoint pt) { Mouse("mousehover", flags, pt); }
    void OnMouseLeave() { Got("mouseleave", {}); }
    void OnMouseWheel(UINT flags, int delta, CPoint pt) { Got("mousewheel", {flags, delta, pt.x, pt.y}); }
    BOOL OnSetCursor(HWND wnd, UINT hit, UINT msg) { return (BOOL)Answer("setcursor", {V(wnd), hit, msg}); }
    void OnContextMenu(HWND wnd, CPoint pt) { Got("contextmenu", {V(wnd), pt.x, pt.y}); }
    UINT OnNcHitTest(CPoint pt) { return (UINT)Answer("nchittest", {pt.x, pt.y}); }
    void Nc(const char* name, UINT hit, CPoint pt) { Got(name, {hit, pt.x, pt.y}); }
    void OnNcMouseMove(UINT hit, CPoint pt) { Nc("ncmousemove", hit, pt); }
    void OnNcLButtonDown(UINT hit, CPoint pt) { Nc("nclbuttondown", hit, pt); }
    void OnNcLButtonUp(UINT hit, CPoint pt) { Nc("nclbuttonup", hit, pt); }
    void OnNcLButtonDblClk(UINT hit, CPoint pt) { Nc("nclbuttondblclk", hit, pt); }
    void OnNcRButtonDown(UINT hit, CPoint pt) { Nc("ncrbuttondown", hit, pt); }
    void OnNcRButtonUp(UINT hit, CPoint pt) { Nc("ncrbuttonup", hit, pt); }
    void OnNcMouseLeave() { Got("ncmouseleave", {}); }
    void OnNcPaint(HRGN rgn) { Got("ncpaint", {V(rgn)}); }
    BOOL OnNcActivate(BOOL active) { return (BOOL)Answer("ncactivate", {active}); }
    LRESULT OnNcCalcSize(BOOL valid, NCCALCSIZE_PARAMS* p) { return Answer("nccalcsize", {valid, V(p)}); }
    void OnSysCommand(UINT cmd, CPoint pt) { Got("syscommand", {cmd, pt.x, pt.y}); }
    void OnHScroll(UINT code, UINT pos, HWND bar) { Got("hscroll", {code, pos, V(bar)}); }
    void OnVScroll(UINT code, UINT pos, HWND bar) { Got("vscroll", {code, pos, V(bar)}); }
    void Cmd(const char* name, UINT code, int id, HWND ctl) { Got(name, {code, id, V(ctl)}); }
    void OnCmdIdCode(UINT code, int id, HWND ctl) { Cmd("cmd-id-code", code, id, ctl); }
    void OnCmdId(UINT code, int id, HWND ctl) { Cmd("cmd-id", code, id, ctl); }
    void OnCmdRange(UINT code, int id, HWND ctl) { Cmd("cmd-range", code, id, ctl); }
    void OnCmdCode(UINT code, int id, HWND ctl) { Cmd("cmd-code", code, id, ctl); }
    void OnCommand(UINT code, int id, HWND ctl) { Cmd("command", code, id, ctl); }
    LRESULT OnNmIdCode(LPNMHDR nm) { return Answer("nm-id-code", {V(nm)}); }
    LRESULT OnNmId(LPNMHDR nm) { return Answer("nm-id", {V(nm)}); }
    LRESULT OnNmRange(LPNMHDR nm) { return Answer("nm-range", {V(nm)}); }
    LRESULT OnNmCode(LPNMHDR nm) { return Answer("nm-code", {V(nm)}); }
    LRESULT OnNotify(LPNMHDR nm) { return Answer("notify", {V(nm)}); }
    void OnReflectedCommand(UINT code, int id, HWND ctl) { Cmd("ocm-command", code, id, ctl); }
    LRESULT OnReflectedNotify(LPNMHDR nm) { return Answer("ocm-notify", {V(nm)}); }
    LRESULT OnRaw(UINT msg, WPARAM w, LPARAM l) { return Answer("raw", {msg, (long long)w, l}); }
    LRESULT OnRawRange(UINT msg, WPARAM w, LPARAM l) { return Answer("raw-range", {msg, (long long)w, l}); }
};

struct Row {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    const char* handler;  // null: no typed entry takes it
    Args args;
    LRESULT handled;      // the answer when the handler keeps the message
};

std::string Describe(const Row& r) {
    char text[96];
    snprintf(text, sizeof(text), "message 0x%X wParam 0x%lX lParam 0x%lX (%s)", r.msg, (unsigned long)r.wp,
             (unsigned long)r.lp, r.handler ? r.handler : "none");
    return text;
}

TEST(TypedMap, EachMessageKindReachesItsHandlerUnpacked) {
    CCracked w;
    ASSERT_NE(w.Create(nullptr, CRect(0, 0, 120, 90), "typed", WS_POPUP), nullptr);

    HWND other = (HWND)(INT_PTR)0x1234;  // only passed through, never used
    HDC dc = (HDC)(INT_PTR)0x5678;
    CREATESTRUCTA cs = {};
    MINMAXINFO mmi = {};
    DRAWITEMSTRUCT dis = {};
    MEASUREITEMSTRUCT mis = {};
    MSG keyMsg = {};
    NCCALCSIZE_PARAMS ncp = {};
    NMHDR dbl = {other, 5001, (UINT)NM_DBLCLK};
    NMHDR click5001 = {other, 5001, (UINT)NM_CLICK};
    NMHDR click6050 = {other, 6050, (UINT)NM_CLICK};
    NMHDR click6051 = {other, 6051, (UINT)NM_CLICK};
    NMHDR endEdit = {other, 7000, kEndEdit};
    NMHDR rclick = {other, 12, (UINT)NM_RCLICK};
    const UINT mk = MK_LBUTTON | MK_SHIFT;
    const LPARAM negative = MAKELPARAM(-5, -300);  // left of and above the window
    const WPARAM wheel = MAKEWPARAM(MK_CONTROL, (WORD)(short)-240);

    const Row rows[] = {
        {WM_CREATE, 0, (LPARAM)&cs, "create", {V(&cs)}, kAnswer},
        {WM_INITDIALOG, (WPARAM)other, 77, "initdialog", {V(other), 77}, kAnswer},
        {WM_DESTROY, 0, 0, "destroy", {}, 0},
        {WM_CLOSE, 0, 0, "close", {}, 0},
        {WM_THEMECHANGED, 0, 0, "themechanged", {}, 0},
        {WM_SHOWWINDOW, TRUE, SW_PARENTOPENING, "showwindow", {1, SW_PARENTOPENING}, 0},
        {WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), (LPARAM)other, "activate", {WA_CLICKACTIVE, 1, V(other)}, 0},
        {WM_ACTIVATE, WA_INACTIVE, 0, "activate", {WA_INACTIVE, 0, 0}, 0},
        {WM_SETFOCUS, (WPARAM)other, 0, "setfocus", {V(other)}, 0},
        {WM_KILLFOCUS, (WPARAM)other, 0, "killfocus", {V(other)}, 0},
        {WM_CAPTURECHANGED, 0, (LPARAM)other, "capturechanged", {V(other)}, 0},
        // A size is two unsigned halves; a position two signed ones.
        {WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(40000, 300), "size", {SIZE_MAXIMIZED, 40000, 300}, 0},
        {WM_MOVE, 0, MAKELPARAM(-20, -7), "move", {-20, -7}, 0},
        {WM_GETMINMAXINFO, 0, (LPARAM)&mmi, "getminmaxinfo", {V(&mmi)}, 0},
        {WM_PAINT, (WPARAM)dc, 0, "paint", {V(dc)}, 0},
        {WM_PAINT, 0, 0, "paint", {0}, 0},
        {WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT, "printclient", {V(dc), PRF_CLIENT}, 0},
        {WM_ERASEBKGND, (WPARAM)dc, 0, "erasebkgnd", {V(dc)}, kAnswer},
        {WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)other, "ctlcolorstatic", {V(dc), V(other)}, kAnswer},
        {WM_CTLCOLOREDIT, (WPARAM)dc, (LPARAM)other, "ctlcoloredit", {V(dc), V(other)}, kAnswer},
        {WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)other, "ctlcolorbtn", {V(dc), V(other)}, kAnswer},
        {WM_CTLCOLORLISTBOX, (WPARAM)dc, (LPARAM)other, "ctlcolorlistbox", {V(dc), V(other)}, kAnswer},
        {WM_CTLCOLORSCROLLBAR, (WPARAM)dc, (LPARAM)other, "ctlcolorscrollbar", {V(dc), V(other)}, kAnswer},
        {WM_CTLCOLORDLG, (WPARAM)dc, (LPARAM)other, "ctlcolordlg", {V(dc), V(other)}, kAnswer},
        {WM_DRAWITEM, 9, (LPARAM)&dis, "drawitem", {9, V(&dis)}, TRUE},
        {WM_MEASUREITEM, 9, (LPARAM)&mis, "measureitem", {9, V(&mis)}, TRUE},
        {WM_TIMER, 0xBEEF, 0, "timer", {0xBEEF}, 0},
        // Keys: repeat count in the low half of lParam, the key-data flags in the high half.
        {WM_KEYDOWN, VK_F5, MAKELPARAM(3, 0x4000 | 0x3F), "keydown", {VK_F5, 3, 0x403F}, 0},
        {WM_KEYUP, VK_DOWN, MAKELPARAM(1, 0xC000 | 0x0100 | 0x50), "keyup", {VK_DOWN, 1, 0xC150}, 0},
        {WM_CHAR, 'x', MAKELPARAM(2, 0x2D), "char", {'x', 2, 0x2D}, 0},
        {WM_SYSKEYDOWN, VK_MENU, MAKELPARAM(1, 0x2000 | 0x38), "syskeydown", {VK_MENU, 1, 0x2038}, 0},
        {WM_SYSKEYUP, 'F', MAKELPARAM(1, 0xE021), "syskeyup", {'F', 1, 0xE021}, 0},
        {WM_SYSCHAR, 'f', MAKELPARAM(1, 0x2021), "syschar", {'f', 1, 0x2021}, 0},
        {WM_GETDLGCODE, VK_TAB, (LPARAM)&keyMsg, "getdlgcode", {V(&keyMsg)}, kAnswer},
        // Mouse points are signed (left of and above the window when captured).
        {WM_MOUSEMOVE, mk, negative, "mousemove", {mk, -5, -300}, 0},
        {WM_LBUTTONDOWN, mk, negative, "lbuttondown", {mk, -5, -300}, 0},
        {WM_LBUTTONUP, 0, MAKELPARAM(70, -1), "lbuttonup", {0, 70, -1}, 0},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(-32768, 32767), "lbuttondblclk", {MK_LBUTTON, -32768, 32767}, 0},
        {WM_RBUTTONDOWN, MK_RBUTTON, negative, "rbuttondown", {MK_RBUTTON, -5, -300}, 0},
        {WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(-1, 4), "rbuttonup", {MK_CONTROL, -1, 4}, 0},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, negative, "rbuttondblclk", {MK_RBUTTON, -5, -300}, 0},
        {WM_MBUTTONDOWN, MK_MBUTTON, negative, "mbuttondown", {MK_MBUTTON, -5, -300}, 0},
        {WM_MBUTTONUP, 0, negative, "mbuttonup", {0, -5, -300}, 0},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, negative, "mbuttondblclk", {MK_MBUTTON, -5, -300}, 0},
        {WM_MOUSEHOVER, 0, MAKELPARAM(8, 9), "mousehover", {0, 8, 9}, 0},
        {WM_MOUSELEAVE, 0, 0, "mouseleave", {}, 0},
        // The wheel: signed distance in the high half of wParam, a signed screen point.
        {WM_MOUSEWHEEL, wheel, MAKELPARAM(-1000, 20), "mousewheel", {MK_CONTROL, -240, -1000, 20}, 0},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, -2), "mousewheel", {0, 120, 5, -2}, 0},
        {WM_SETCURSOR, (WPARAM)other, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), "setcursor",
         {V(other), HTCLIENT, WM_MOUSEMOVE}, kAnswer},
        // (-1, -1): asked for from the keyboard.
        {WM_CONTEXTMENU, (WPARAM)other, MAKELPARAM(-1, -1), "contextmenu", {V(other), -1, -1}, 0},
        {WM_CONTEXTMENU, (WPARAM)other, MAKELPARAM(-640, 480), "contextmenu", {V(other), -640, 480}, 0},
        {WM_NCHITTEST, 0, MAKELPARAM(-3, 5), "nchittest", {-3, 5}, kAnswer},
        {WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(-8, -9), "ncmousemove", {HTCAPTION, -8, -9}, 0},
        {WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(-8, -9), "nclbuttondown", {HTCLOSE, -8, -9}, 0},
        {WM_NCLBUTTONUP, HTMAXBUTTON, MAKELPARAM(100, -9), "nclbuttonup", {HTMAXBUTTON, 100, -9}, 0},
        {WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(-8, 9), "nclbuttondblclk", {HTCAPTION, -8, 9}, 0},
        {WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(-8, -9), "ncrbuttondown", {HTCAPTION, -8, -9}, 0},
        {WM_NCRBUTTONUP, HTSYSMENU, MAKELPARAM(-8, -9), "ncrbuttonup", {HTSYSMENU, -8, -9}, 0},
        {WM_NCMOUSELEAVE, 0, 0, "ncmouseleave", {}, 0},
        {WM_NCPAINT, 1, 0, "ncpaint", {1}, 0},
        {WM_NCACTIVATE, TRUE, 0, "ncactivate", {1}, kAnswer},
        {WM_NCCALCSIZE, TRUE, (LPARAM)&ncp, "nccalcsize", {1, V(&ncp)}, kAnswer},
        {WM_SYSCOMMAND, SC_MOVE | 2, MAKELPARAM(-4, 6), "syscommand", {SC_MOVE, -4, 6}, 0},
        {WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50000), (LPARAM)other, "hscroll", {SB_THUMBTRACK, 50000, V(other)}, 0},
        {WM_VSCROLL, SB_LINEDOWN, 0, "vscroll", {SB_LINEDOWN, 0, 0}, 0},
        // Commands: (code, id, control).
        {WM_COMMAND, MAKEWPARAM(4100, BN_CLICKED), (LPARAM)other, "cmd-id-code", {BN_CLICKED, 4100, V(other)}, 0},
        {WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)other, "cmd-id", {BN_CLICKED, IDOK, V(other)}, 0},
        {WM_COMMAND, MAKEWPARAM(4100, EN_KILLFOCUS), (LPARAM)other, "cmd-range", {EN_KILLFOCUS, 4100, V(other)}, 0},
        {WM_COMMAND, MAKEWPARAM(4000, 0), 0, "cmd-range", {0, 4000, 0}, 0},
        {WM_COMMAND, MAKEWPARAM(4200, 1), 0, "cmd-range", {1, 4200, 0}, 0},
        {WM_COMMAND, MAKEWPARAM(4201, EN_CHANGE), (LPARAM)other, "cmd-code", {EN_CHANGE, 4201, V(other)}, 0},
        {WM_COMMAND, MAKEWPARAM(3999, 1), 0, "command", {1, 3999, 0}, 0},
        {WM_COMMAND, MAKEWPARAM(60000, 0), 0, "command", {0, 60000, 0}, 0},
        // Notifications: the record itself.
        {WM_NOTIFY, 5001, (LPARAM)&dbl, "nm-id-code", {V(&dbl)}, kAnswer},
        {WM_NOTIFY, 5001, (LPARAM)&click5001, "nm-id", {V(&click5001)}, kAnswer},
        {WM_NOTIFY, 6050, (LPARAM)&click6050, "nm-range", {V(&click6050)}, kAnswer},
        {WM_NOTIFY, 6051, (LPARAM)&click6051, "notify", {V(&click6051)}, kAnswer},
        {WM_NOTIFY, 7000, (LPARAM)&endEdit, "nm-code", {V(&endEdit)}, kAnswer},
        {WM_NOTIFY, 7000, 0, nullptr, {}, kFallback},  // no record: no typed entry looks at it
        {OCM_COMMAND, MAKEWPARAM(12, BN_CLICKED), (LPARAM)other, "ocm-command", {BN_CLICKED, 12, V(other)}, 0},
        {OCM_COMMAND, MAKEWPARAM(12, BN_DOUBLECLICKED), (LPARAM)other, nullptr, {}, kFallback},
        {OCM_NOTIFY, 12, (LPARAM)&rclick, "ocm-notify", {V(&rclick)}, kAnswer},
        {WM_RAWONE, 3, -4, "raw", {WM_RAWONE, 3, -4}, kAnswer},
        {WM_RAWLO + 2, 0, 1, "raw-range", {WM_RAWLO + 2, 0, 1}, kAnswer},
        {WM_UNMAPPED, 0, 0, nullptr, {}, kFallback},
    };

    w.armed = true;
    for (bool passOn : {false, true}) {
        w.passOn = passOn;
        for (const Row& r : rows) {
            w.calls.clear();
            LRESULT got = ::SendMessageA(w.m_hWnd, r.msg, r.wp, r.lp);
            std::string where = Describe(r) + (passOn ? ", passed on" : ", kept");
            if (!r.handler) {
                EXPECT_TRUE(w.calls.empty()) << where;
                EXPECT_EQ(got, kFallback) << where;
                continue;
            }
            // Kept: that handler alone ran and its answer came back. Passed on: it ran first and
            // the search went on to the entries behind it, down to the raw one.
            ASSERT_FALSE(w.calls.empty()) << where;
            EXPECT_EQ(w.calls[0].first, r.handler) << where;
            EXPECT_EQ(w.calls[0].second, r.args) << where;
            if (passOn) {
                EXPECT_EQ(got, kFallback) << where;
            } else {
                EXPECT_EQ(w.calls.size(), 1u) << where;
                EXPECT_EQ(got, r.handled) << where;
            }
        }
    }
    w.armed = false;
    w.DestroyWindow();
}

// A handler that sends messages gets its own flag back once they return, whatever the inner
// handlers decided.
class CNesting : public CWindowImpl<CNesting> {
public:
    DECLARE_WND_CLASS("VelmoraTestNesting")
    enum : UINT_PTR { kPassThenNestKeep = 1, kKeep = 2, kKeepThenNestPass = 3, kPass = 4 };
    std::vector<UINT_PTR> timers;
    BOOL flagAfterNesting = -1;
    BEGIN_MSG_MAP(CNesting)
        MSG_WM_TIMER(OnTimer)
        MSG_RAW(WM_TIMER, OnPassedOn)
    END_MSG_MAP()
    void OnTimer(UINT_PTR id) {
        timers.push_back(id);
        if (id == kPassThenNestKeep) {
            SetMsgHandled(FALSE);
            SendMessage(WM_TIMER, kKeep);
        } else if (id == kKeepThenNestPass) {
            SendMessage(WM_TIMER, kPass);
        } else if (id == kPass) {
            SetMsgHandled(FALSE);
        }
        if (id == kPassThenNestKeep || id == kKeepThenNestPass) flagAfterNesting = IsMsgHandled();
    }
    LRESULT OnPassedOn(UINT, WPARAM id, LPARAM) { return 1000 + id; }
};

TEST(TypedMap, HandledFlagBelongsToTheInnermostHandler) {
    CNesting w;
    ASSERT_NE(w.Create(nullptr, CRect(0, 0, 20, 20), nullptr, WS_POPUP), nullptr);
    EXPECT_EQ(w.SendMessage(WM_TIMER, CNesting::kPassThenNestKeep), 1000 + CNesting::kPassThenNestKeep);
    EXPECT_FALSE(w.flagAfterNesting);
    EXPECT_EQ(w.SendMessage(WM_TIMER, CNesting::kKeepThenNestPass), 0);
    EXPECT_TRUE(w.flagAfterNesting);
    EXPECT_EQ(w.timers, (std::vector<UINT_PTR>{1, 2, 3, 4}));
    // Outside any handler the calls change nothing.
    SetMsgHandled(FALSE);
    EXPECT_TRUE(IsMsgHandled());
    EXPECT_EQ(w.SendMessage(WM_TIMER, CNesting::kKeep), 0);
    w.DestroyWindow();
}

}  // namespace
