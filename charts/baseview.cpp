#include "charts/baseview.h"

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

void CBaseView::OpenStock(const CStockInfo& stock) {
    SingleLock lock(&m_stockLock);
    m_stock = stock;
}

bool CBaseView::CurrentStockInfo(CStockInfo* info) const {
    SingleLock lock(&m_stockLock);
    if (!m_stock.GetStockCode()[0]) return false;
    *info = m_stock;
    return true;
}

bool CBaseView::GetCurrentStock(std::string* code, int* market) {
    CStockInfo info;
    if (!CurrentStockInfo(&info)) return false;
    if (code) *code = info.GetStockCode();
    if (market) *market = info.IsShangHai() ? 1 : 0;
    return true;
}

std::string CBaseView::GetStockCode() {
    CStockInfo info;
    return CurrentStockInfo(&info) ? std::string(info.GetStockCode()) : std::string();
}

std::string CBaseView::GetPlainCode() {
    CStockInfo info;
    return CurrentStockInfo(&info) ? std::string(info.GetPlainCode()) : std::string();
}

std::string CBaseView::GetStockName() {
    CStockInfo info;
    return CurrentStockInfo(&info) ? std::string(info.GetStockName()) : std::string();
}

void CBaseView::RecordStock(const char* code) {
    CStockInfo info;
    if (m_pStockList)
        info = m_pStockList->RecordStock(code);
    else
        info.SetStockCode(kMarketUnknown, code);
    OpenStock(info);
}

int CBaseView::StepStock(bool next) {
    if (!m_pStockList) return 0;
    CStockInfo landed;
    const int moved = m_pStockList->StepStock(next, &landed);
    OpenStock(landed);
    return moved;
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
