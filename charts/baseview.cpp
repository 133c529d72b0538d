#include "charts/baseview.h"

#include "analysis/stprofile.h"
#include "base/win32util.h"
#include "store/stockinfo.h"

CBaseView::~CBaseView() {
    if (m_pProcessor) m_pProcessor->RemoveAcceptor(this);
}

int CBaseView::ForwardCommand(int commandId) {
    if (m_pProcessor) m_pProcessor->SendMessage(kAppMsgCommand, commandId, 0);
    return 0;
}

BOOL CBaseView::ProcessBaseMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    if (uMsg == WM_ERASEBKGND) {
        lResult = 1;
        return TRUE;
    }
    return ForwardToParent(hWnd, uMsg, wParam, lParam, lResult);
}

BOOL CBaseView::ForwardToParent(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_PARENTNOTIFY:
        break;
    default:
        if (uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC) break;
        return FALSE;
    }
    HWND parent = ::GetParent(hWnd);
    lResult = parent ? ::SendMessageA(parent, uMsg, wParam, lParam) : 0;
    return TRUE;
}

bool CBaseView::CurrentStockInfo(CStockInfo* info) {
    return GetProfile().GetCurrentStock(info) != 0 && info->GetStockCode()[0] != 0;
}

LRESULT ShowChartContextMenu(HWND view, LPARAM point) {
    const int kContextMenu = 213;
    HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kContextMenu));
    if (!menu) return 0;
    HMENU popup = ::GetSubMenu(menu, 0);
    if (popup) {
        POINT p = {(int)(short)LOWORD(point), (int)(short)HIWORD(point)};
        ::ClientToScreen(view, &p);
        p.x = ClampToMonitorX(p.x, p.y);
        ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, p.x, p.y, 0, view, nullptr);
    }
    ::DestroyMenu(menu);
    return 0;
}
