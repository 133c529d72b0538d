// Typed message-map entries: the handler gets the message's arguments unpacked into their own
// types (points with signed coordinates, sizes, handles, key data) instead of WPARAM and LPARAM.
// A typed handler has no flag argument; it passes the message on with SetMsgHandled(FALSE)
// (winfw/window.h). A handler declared void answers the message's usual "processed" result (0,
// or TRUE where the system expects that); the others answer what they return.
//
// They sit in the same maps as the raw entries of winfw/window.h, which stay for the rare message
// and for user messages.
#pragma once

#include "winfw/types.h"
#include "winfw/window.h"

#ifndef WM_THEMECHANGED
#define WM_THEMECHANGED 0x031A
#endif
#ifndef WM_MOUSEHOVER
#define WM_MOUSEHOVER 0x02A1
#endif
#ifndef WM_MOUSELEAVE
#define WM_MOUSELEAVE 0x02A3
#endif
#ifndef WM_NCMOUSELEAVE
#define WM_NCMOUSELEAVE 0x02A2
#endif

// Runs handler statements inside a handled scope; returns from the map when they kept the message.
#define WINFW_TYPED(...)                          \
    {                                             \
        CMsgHandledScope winfwHandled_(bHandled); \
        __VA_ARGS__;                              \
        if (bHandled) return TRUE;                \
    }
// Calls a handler declared void; the message then answers `value`.
#define WINFW_TYPED_VOID(value, call) WINFW_TYPED(lResult = (LRESULT)(value); call)
// Calls a handler whose return value is the message's answer.
#define WINFW_TYPED_RESULT(call) WINFW_TYPED(lResult = (LRESULT)(call))

// The signed halves of a packed point (screen and client coordinates can be negative).
#define WINFW_POINT(lp) CPoint((int)(short)LOWORD(lp), (int)(short)HIWORD(lp))

// ---- Any message, without the flag argument ----------------------------------------------------

// LRESULT func(UINT msg, WPARAM wParam, LPARAM lParam)
#define MSG_RAW(msg, func) \
    if (uMsg == (UINT)(msg)) WINFW_TYPED_RESULT(func(uMsg, wParam, lParam))
#define MSG_RAW_RANGE(msgFirst, msgLast, func) \
    if (uMsg >= (UINT)(msgFirst) && uMsg <= (UINT)(msgLast)) WINFW_TYPED_RESULT(func(uMsg, wParam, lParam))

// ---- Life of a window ---------------------------------------------------------------------------

// LRESULT func(LPCREATESTRUCTA cs): 0 goes on, -1 refuses the creation.
#define MSG_WM_CREATE(func) \
    if (uMsg == WM_CREATE) WINFW_TYPED_RESULT(func((LPCREATESTRUCTA)lParam))
// BOOL func(HWND focus, LPARAM initParam): TRUE lets the dialog manager set the focus.
#define MSG_WM_INITDIALOG(func) \
    if (uMsg == WM_INITDIALOG) WINFW_TYPED_RESULT(func((HWND)wParam, lParam))
// void func()
#define MSG_WM_DESTROY(func) \
    if (uMsg == WM_DESTROY) WINFW_TYPED_VOID(0, func())
#define MSG_WM_CLOSE(func) \
    if (uMsg == WM_CLOSE) WINFW_TYPED_VOID(0, func())
#define MSG_WM_THEMECHANGED(func) \
    if (uMsg == WM_THEMECHANGED) WINFW_TYPED_VOID(0, func())
// void func(BOOL show, UINT status)
#define MSG_WM_SHOWWINDOW(func) \
    if (uMsg == WM_SHOWWINDOW) WINFW_TYPED_VOID(0, func((BOOL)wParam, (UINT)lParam))
// void func(UINT state, BOOL minimized, HWND other): state is WA_INACTIVE, WA_ACTIVE or WA_CLICKACTIVE.
#define MSG_WM_ACTIVATE(func) \
    if (uMsg == WM_ACTIVATE) WINFW_TYPED_VOID(0, func((UINT)LOWORD(wParam), (BOOL)(HIWORD(wParam) != 0), (HWND)lParam))
// void func(HWND lost) / void func(HWND gaining)
#define MSG_WM_SETFOCUS(func) \
    if (uMsg == WM_SETFOCUS) WINFW_TYPED_VOID(0, func((HWND)wParam))
#define MSG_WM_KILLFOCUS(func) \
    if (uMsg == WM_KILLFOCUS) WINFW_TYPED_VOID(0, func((HWND)wParam))
// void func(HWND gaining): the window that takes the mouse capture (or null).
#define MSG_WM_CAPTURECHANGED(func) \
    if (uMsg == WM_CAPTURECHANGED) WINFW_TYPED_VOID(0, func((HWND)lParam))

// ---- Size and position ----------------------------------------------------------------------

// void func(UINT type, CSize size): type SIZE_RESTORED, SIZE_MINIMIZED, ...; the client size.
#define MSG_WM_SIZE(func) \
    if (uMsg == WM_SIZE) WINFW_TYPED_VOID(0, func((UINT)wParam, CSize((int)LOWORD(lParam), (int)HIWORD(lParam))))
// void func(CPoint pt): the client area's new origin.
#define MSG_WM_MOVE(func) \
    if (uMsg == WM_MOVE) WINFW_TYPED_VOID(0, func(WINFW_POINT(lParam)))
// void func(LPMINMAXINFO mmi)
#define MSG_WM_GETMINMAXINFO(func) \
    if (uMsg == WM_GETMINMAXINFO) WINFW_TYPED_VOID(0, func((LPMINMAXINFO)lParam))

// ---- Painting -------------------------------------------------------------------------------

// void func(HDC dc): dc is null for an ordinary paint (use a paint DC), or the DC a sender gave.
#define MSG_WM_PAINT(func) \
    if (uMsg == WM_PAINT) WINFW_TYPED_VOID(0, func((HDC)wParam))
// void func(HDC dc, UINT flags): draw the client area into dc (PRF_* flags).
#define MSG_WM_PRINTCLIENT(func) \
    if (uMsg == WM_PRINTCLIENT) WINFW_TYPED_VOID(0, func((HDC)wParam, (UINT)lParam))
// BOOL func(HDC dc): nonzero when the background is done.
#define MSG_WM_ERASEBKGND(func) \
    if (uMsg == WM_ERASEBKGND) WINFW_TYPED_RESULT(func((HDC)wParam))
// HBRUSH func(HDC dc, HWND ctl): the brush for the control's background.
#define MSG_WM_CTLCOLORSTATIC(func) \
    if (uMsg == WM_CTLCOLORSTATIC) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
#define MSG_WM_CTLCOLOREDIT(func) \
    if (uMsg == WM_CTLCOLOREDIT) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
#define MSG_WM_CTLCOLORBTN(func) \
    if (uMsg == WM_CTLCOLORBTN) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
#define MSG_WM_CTLCOLORLISTBOX(func) \
    if (uMsg == WM_CTLCOLORLISTBOX) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
#define MSG_WM_CTLCOLORSCROLLBAR(func) \
    if (uMsg == WM_CTLCOLORSCROLLBAR) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
#define MSG_WM_CTLCOLORDLG(func) \
    if (uMsg == WM_CTLCOLORDLG) WINFW_TYPED_RESULT(func((HDC)wParam, (HWND)lParam))
// void func(UINT id, LPDRAWITEMSTRUCT dis) / void func(UINT id, LPMEASUREITEMSTRUCT mis); both answer TRUE.
#define MSG_WM_DRAWITEM(func) \
    if (uMsg == WM_DRAWITEM) WINFW_TYPED_VOID(TRUE, func((UINT)wParam, (LPDRAWITEMSTRUCT)lParam))
#define MSG_WM_MEASUREITEM(func) \
    if (uMsg == WM_MEASUREITEM) WINFW_TYPED_VOID(TRUE, func((UINT)wParam, (LPMEASUREITEMSTRUCT)lParam))

// ---- Timer and keyboard ---------------------------------------------------------------------

// void func(UINT_PTR id)
#define MSG_WM_TIMER(func) \
    if (uMsg == WM_TIMER) WINFW_TYPED_VOID(0, func((UINT_PTR)wParam))
// void func(UINT code, UINT repeat, UINT flags): the virtual key (or character), the repeat
// count and the key-data flags (scan code, extended, previous state, transition: lParam's high word).
#define WINFW_KEY_CALL(func) func((UINT)wParam, (UINT)LOWORD(lParam), (UINT)HIWORD(lParam))
#define MSG_WM_KEYDOWN(func) \
    if (uMsg == WM_KEYDOWN) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
#define MSG_WM_KEYUP(func) \
    if (uMsg == WM_KEYUP) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
#define MSG_WM_CHAR(func) \
    if (uMsg == WM_CHAR) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
#define MSG_WM_SYSKEYDOWN(func) \
    if (uMsg == WM_SYSKEYDOWN) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
#define MSG_WM_SYSKEYUP(func) \
    if (uMsg == WM_SYSKEYUP) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
#define MSG_WM_SYSCHAR(func) \
    if (uMsg == WM_SYSCHAR) WINFW_TYPED_VOID(0, WINFW_KEY_CALL(func))
// UINT func(LPMSG msg): the DLGC_* codes; msg is the keyboard message in question, or null.
#define MSG_WM_GETDLGCODE(func) \
    if (uMsg == WM_GETDLGCODE) WINFW_TYPED_RESULT(func((LPMSG)lParam))

// ---- Mouse ----------------------------------------------------------------------------------

// void func(UINT flags, CPoint pt): MK_* flags and the point in client coordinates.
#define WINFW_MOUSE_ENTRY(msg, func) \
    if (uMsg == (msg)) WINFW_TYPED_VOID(0, func((UINT)wParam, WINFW_POINT(lParam)))
#define MSG_WM_MOUSEMOVE(func) WINFW_MOUSE_ENTRY(WM_MOUSEMOVE, func)
#define MSG_WM_LBUTTONDOWN(func) WINFW_MOUSE_ENTRY(WM_LBUTTONDOWN, func)
#define MSG_WM_LBUTTONUP(func) WINFW_MOUSE_ENTRY(WM_LBUTTONUP, func)
#define MSG_WM_LBUTTONDBLCLK(func) WINFW_MOUSE_ENTRY(WM_LBUTTONDBLCLK, func)
#define MSG_WM_RBUTTONDOWN(func) WINFW_MOUSE_ENTRY(WM_RBUTTONDOWN, func)
#define MSG_WM_RBUTTONUP(func) WINFW_MOUSE_ENTRY(WM_RBUTTONUP, func)
#define MSG_WM_RBUTTONDBLCLK(func) WINFW_MOUSE_ENTRY(WM_RBUTTONDBLCLK, func)
#define MSG_WM_MBUTTONDOWN(func) WINFW_MOUSE_ENTRY(WM_MBUTTONDOWN, func)
#define MSG_WM_MBUTTONUP(func) WINFW_MOUSE_ENTRY(WM_MBUTTONUP, func)
#define MSG_WM_MBUTTONDBLCLK(func) WINFW_MOUSE_ENTRY(WM_MBUTTONDBLCLK, func)
#define MSG_WM_MOUSEHOVER(func) WINFW_MOUSE_ENTRY(WM_MOUSEHOVER, func)
// void func()
#define MSG_WM_MOUSELEAVE(func) \
    if (uMsg == WM_MOUSELEAVE) WINFW_TYPED_VOID(0, func())
// void func(UINT flags, int delta, CPoint pt): MK_* flags, the signed wheel distance (a multiple
// of WHEEL_DELTA per notch, negative towards the user) and the point in screen coordinates.
#define MSG_WM_MOUSEWHEEL(func) \
    if (uMsg == WM_MOUSEWHEEL)  \
    WINFW_TYPED_VOID(0, func((UINT)LOWORD(wParam), (int)(short)HIWORD(wParam), WINFW_POINT(lParam)))
// BOOL func(HWND wnd, UINT hitTest, UINT mouseMsg): TRUE when the cursor was set.
#define MSG_WM_SETCURSOR(func) \
    if (uMsg == WM_SETCURSOR)  \
    WINFW_TYPED_RESULT(func((HWND)wParam, (UINT)LOWORD(lParam), (UINT)HIWORD(lParam)))
// void func(HWND wnd, CPoint pt): the window clicked and the screen point; (-1, -1) when the
// menu was asked for from the keyboard.
#define MSG_WM_CONTEXTMENU(func) \
    if (uMsg == WM_CONTEXTMENU) WINFW_TYPED_VOID(0, func((HWND)wParam, WINFW_POINT(lParam)))

// ---- Non-client area --------------------------------------------------------------------------

// UINT func(CPoint pt): the HT* code of the screen point.
#define MSG_WM_NCHITTEST(func) \
    if (uMsg == WM_NCHITTEST) WINFW_TYPED_RESULT(func(WINFW_POINT(lParam)))
// void func(UINT hitTest, CPoint pt): the HT* code under the mouse and the screen point.
#define WINFW_NCMOUSE_ENTRY(msg, func) \
    if (uMsg == (msg)) WINFW_TYPED_VOID(0, func((UINT)wParam, WINFW_POINT(lParam)))
#define MSG_WM_NCMOUSEMOVE(func) WINFW_NCMOUSE_ENTRY(WM_NCMOUSEMOVE, func)
#define MSG_WM_NCLBUTTONDOWN(func) WINFW_NCMOUSE_ENTRY(WM_NCLBUTTONDOWN, func)
#define MSG_WM_NCLBUTTONUP(func) WINFW_NCMOUSE_ENTRY(WM_NCLBUTTONUP, func)
#define MSG_WM_NCLBUTTONDBLCLK(func) WINFW_NCMOUSE_ENTRY(WM_NCLBUTTONDBLCLK, func)
#define MSG_WM_NCRBUTTONDOWN(func) WINFW_NCMOUSE_ENTRY(WM_NCRBUTTONDOWN, func)
#define MSG_WM_NCRBUTTONUP(func) WINFW_NCMOUSE_ENTRY(WM_NCRBUTTONUP, func)
// void func()
#define MSG_WM_NCMOUSELEAVE(func) \
    if (uMsg == WM_NCMOUSELEAVE) WINFW_TYPED_VOID(0, func())
// void func(HRGN rgn): the region to paint in screen coordinates, or 1 for the whole frame.
#define MSG_WM_NCPAINT(func) \
    if (uMsg == WM_NCPAINT) WINFW_TYPED_VOID(0, func((HRGN)wParam))
// BOOL func(BOOL active): TRUE lets the change happen.
#define MSG_WM_NCACTIVATE(func) \
    if (uMsg == WM_NCACTIVATE) WINFW_TYPED_RESULT(func((BOOL)wParam))
// LRESULT func(BOOL calcValidRects, NCCALCSIZE_PARAMS* p): without calcValidRects only p->rgrc[0]
// exists (lParam then points to one RECT).
#define MSG_WM_NCCALCSIZE(func) \
    if (uMsg == WM_NCCALCSIZE) WINFW_TYPED_RESULT(func((BOOL)wParam, (NCCALCSIZE_PARAMS*)lParam))
// void func(UINT command, CPoint pt): the SC_* command (low four bits cleared) and, for a mouse
// choice, the screen point.
#define MSG_WM_SYSCOMMAND(func) \
    if (uMsg == WM_SYSCOMMAND) WINFW_TYPED_VOID(0, func((UINT)wParam & 0xFFF0, WINFW_POINT(lParam)))

// ---- Scrolling ------------------------------------------------------------------------------

// void func(UINT code, UINT pos, HWND bar): SB_* code, the 16-bit thumb position, the scroll-bar
// control (null for the window's own bar).
#define MSG_WM_HSCROLL(func) \
    if (uMsg == WM_HSCROLL) WINFW_TYPED_VOID(0, func((UINT)LOWORD(wParam), (UINT)HIWORD(wParam), (HWND)lParam))
#define MSG_WM_VSCROLL(func) \
    if (uMsg == WM_VSCROLL) WINFW_TYPED_VOID(0, func((UINT)LOWORD(wParam), (UINT)HIWORD(wParam), (HWND)lParam))

// ---- Commands and notifications -------------------------------------------------------------

// void func(UINT code, int id, HWND ctl): the notification code (0 for a menu, 1 for an
// accelerator), the command id and the control that sent it (null for menus and accelerators).
#define WINFW_COMMAND_TYPED(func) \
    WINFW_TYPED_VOID(0, func((UINT)HIWORD(wParam), (int)LOWORD(wParam), (HWND)lParam))
#define MSG_WM_COMMAND(func) \
    if (uMsg == WM_COMMAND) WINFW_COMMAND_TYPED(func)
#define MSG_COMMAND_ID(id, func) \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (WORD)(id)) WINFW_COMMAND_TYPED(func)
#define MSG_COMMAND_ID_CODE(id, cd, func)                                                   \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (WORD)(id) && HIWORD(wParam) == (WORD)(cd)) \
    WINFW_COMMAND_TYPED(func)
#define MSG_COMMAND_CODE(cd, func) \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (WORD)(cd)) WINFW_COMMAND_TYPED(func)
// Ids first to last, both included.
#define MSG_COMMAND_RANGE(idFirst, idLast, func)                                                     \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (WORD)(idFirst) && LOWORD(wParam) <= (WORD)(idLast)) \
    WINFW_COMMAND_TYPED(func)

// LRESULT func(LPNMHDR nm): the id and code are in the record; a notification without its
// record (lParam 0) matches no entry.
#define WINFW_NMHDR ((LPNMHDR)lParam)
#define WINFW_NOTIFY_TYPED(func) WINFW_TYPED_RESULT(func(WINFW_NMHDR))
#define MSG_WM_NOTIFY(func) \
    if (uMsg == WM_NOTIFY && lParam) WINFW_NOTIFY_TYPED(func)
#define MSG_NOTIFY_CODE(cd, func) \
    if (uMsg == WM_NOTIFY && lParam && WINFW_NMHDR->code == (UINT)(cd)) WINFW_NOTIFY_TYPED(func)
#define MSG_NOTIFY_ID(id, func) \
    if (uMsg == WM_NOTIFY && lParam && WINFW_NMHDR->idFrom == (UINT_PTR)(id)) WINFW_NOTIFY_TYPED(func)
#define MSG_NOTIFY_ID_CODE(id, cd, func)                                                                         \
    if (uMsg == WM_NOTIFY && lParam && WINFW_NMHDR->idFrom == (UINT_PTR)(id) && WINFW_NMHDR->code == (UINT)(cd)) \
    WINFW_NOTIFY_TYPED(func)
#define MSG_NOTIFY_RANGE(idFirst, idLast, func)                                      \
    if (uMsg == WM_NOTIFY && lParam && WINFW_NMHDR->idFrom >= (UINT_PTR)(idFirst) && \
        WINFW_NMHDR->idFrom <= (UINT_PTR)(idLast))                                   \
    WINFW_NOTIFY_TYPED(func)

// The same, as a control sees them once its parent reflected them (REFLECT_NOTIFICATIONS).
#define MSG_REFLECTED_COMMAND_CODE(cd, func) \
    if (uMsg == OCM_COMMAND && HIWORD(wParam) == (WORD)(cd)) WINFW_COMMAND_TYPED(func)
#define MSG_REFLECTED_NOTIFY_CODE(cd, func) \
    if (uMsg == OCM_NOTIFY && lParam && WINFW_NMHDR->code == (UINT)(cd)) WINFW_NOTIFY_TYPED(func)
