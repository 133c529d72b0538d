#include "charts/graphview.h"

#include <imm.h>

#include "base/win32util.h"
#include "charts/gdicanvas.h"
#include "store/database.h"

using namespace charts;

namespace {
const char* const kDefaultStock = "1A0001_1";
}  // namespace


CGraphView::CGraphView(int viewId, CMessageProcessor* processor)
    : CBaseViewImpl<CGraphView>(viewId, processor),
      m_tabs(this),
      m_hBrush(nullptr),
      m_hSplitter(::LoadCursorA(nullptr, IDC_SIZENS)) {
    m_chart.SetHost(this);
    m_chart.SetReportPainter(&m_report);
    if (processor) processor->AddAcceptor(kAppMsgKey, this);
}

CGraphView::~CGraphView() {
    DestroyBase();
    if (m_hBrush) ::DeleteObject(m_hBrush);
}

// ---- The view contract ---------------------------------------------------------------------

void CGraphView::ReloadStock(int reload, int extra) {
    bool makeCurrent = false;
    {
        SingleLock lock(&m_lock);
        CStockInfo info;
        if (CurrentStockInfo(&info)) {
            m_chart.SetStock(info);
            m_chart.LoadData(reload);
        } else {
            m_chart.SetStockCode(kDefaultStock);
            m_chart.LoadData(0);
            makeCurrent = true;
        }
    }
    if (makeCurrent) RecordStock(kDefaultStock);
    // InvalidateRect only marks the window: safe from a worker and with no lock held.
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CGraphView::OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) {
    if (id == kAppMsgKey) OnKeyDown(int(wParam));
    return 1;
}

// ---- Keys and commands ---------------------------------------------------------------------

void CGraphView::OnKeyDown(int virtualKey) {
    const bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0;
    int step = 0;  // Page Up / Page Down: the stock before or after, once the lock is left
    {
        SingleLock lock(&m_lock);
        switch (MapKLineKey(virtualKey, ctrl)) {
        case kKeyEnter: m_chart.OnEnter(shift, ctrl); break;
        case kKeyEscape:
            m_chart.SetCursorIndex(-1);
            Invalidate();
            break;
        case kKeyPrevStock: step = -1; break;
        case kKeyNextStock: step = 1; break;
        case kKeyNextIndicator: m_chart.NextIndicator(shift); break;
        case kKeyPrevIndicator: m_chart.PrevIndicator(shift); break;
        case kKeyCursorLeft: m_chart.MoveCursorLeft(); break;
        case kKeyPageLeft: m_chart.PageLeft(); break;
        case kKeyStepUp: m_chart.StepUp(); break;
        case kKeyCursorRight: m_chart.MoveCursorRight(); break;
        case kKeyPageRight: m_chart.PageRight(); break;
        case kKeyStepDown: m_chart.StepDown(); break;
        case kKeyReportPageUp: PageReport(true); break;
        case kKeyReportPageDown: PageReport(false); break;
        case kKeyCyclePeriod: CyclePeriod(); break;
        default: break;
        }
    }
    if (step < 0) PrevStock();
    if (step > 0) NextStock();
}

// The panel reloads the new current stock into this view, so these run without the view lock.
void CGraphView::PrevStock() {
    if (StepStock(false) && m_pProcessor) m_pProcessor->SendMessage(kAppMsgStockChanged, 0, 0);
}

void CGraphView::NextStock() {
    if (StepStock(true) && m_pProcessor) m_pProcessor->SendMessage(kAppMsgStockChanged, 0, 0);
}

void CGraphView::ResetAndRepaint() {
    m_chart.SetVisibleRange(-1, -1, -1);
    Invalidate();
}

void CGraphView::SetDataMode(int mode) {
    SingleLock lock(&m_lock);
    m_chart.SetExrightMode(ChooseExrightMode(m_chart.GetExrightMode(), mode));
    ResetAndRepaint();
}

void CGraphView::SetGraphOption(int option) {
    SingleLock lock(&m_lock);
    m_chart.SetBarStyle(option);
    ResetAndRepaint();
}

void CGraphView::CyclePeriod() {
    SingleLock lock(&m_lock);
    m_chart.SetPeriod(NextPeriod(m_chart.GetKType()));
    ResetAndRepaint();
}

void CGraphView::PageReport(bool up) {
    // Only the view's own painter knows its list's page.
    if (m_report.Page(m_chart.GetStock(), m_chart.GetReportKind(), up)) {
        Invalidate();
        return;
    }
    if (up)
        m_chart.StepUp();
    else
        m_chart.StepDown();
}

void CGraphView::SetReportPainter(IReportPainter* painter) {
    SingleLock lock(&m_lock);
    m_chart.SetReportPainter(painter ? painter : &m_report);
}

bool CGraphView::OnTabChange(int tabId) {
    SingleLock lock(&m_lock);
    const int kind = ReportKindForTab(tabId);
    if (kind > 0) m_chart.SetReportKind(kind);
    Invalidate();
    return true;
}

bool CGraphView::SelectTab(int tabId) {
    SingleLock lock(&m_lock);
    for (int i = 0; i < m_tabs.GetItemCount(); ++i) {
        CSkinTabManagerItem* item = m_tabs.GetItem(i);
        if (item->GetId() != tabId) continue;
        if (!m_tabs.OnSelectRequest(item)) return false;
        m_tabs.OnItemClick(item);
        return true;
    }
    return false;
}

// ---- Window --------------------------------------------------------------------------------

LRESULT CGraphView::OnCreate(LPCREATESTRUCTA) {
    ::SendMessageA(m_hWnd, WM_SETFONT, (WPARAM)::GetStockObject(ANSI_VAR_FONT), TRUE);
    struct Tab { int text, id; } tabs[] = {{146, 9}, {135, 10}, {136, 11}, {137, 12},
                                           {138, 13}, {139, 14}, {143, 0}, {144, 1}};
    {
        SingleLock lock(&m_lock);
        for (const Tab& t : tabs) m_tabs.AddItem(ChartString(t.text), t.id);
        m_tabs.SetSelected(m_tabs.GetItem(0));
    }
    HBRUSH brush = ::CreateSolidBrush(RGB(8, 8, 8));
    if (m_hBrush && m_hBrush != brush) ::DeleteObject(m_hBrush);
    m_hBrush = brush;
    return 0;
}

void CGraphView::OnDestroy() {
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
}

void CGraphView::OnSize(UINT, CSize size) {
    {
        SingleLock lock(&m_lock);
        m_tabs.Layout(Rect(size.cx - kReportWidth, size.cy - 19, size.cx, size.cy));
    }
    ReloadStock(0, 0);
}

void CGraphView::OnPaint(HDC given) {
    if (given) {
        OnPrintClient(given, 0);
        return;
    }
    PaintGivenOrOwn(m_hWnd, nullptr, [this](HDC dc) { DoPaint(dc); });
}

void CGraphView::OnPrintClient(HDC dc, UINT) {
    m_printing = true;
    DoPaint(dc);
    m_printing = false;
}

void CGraphView::DoPaint(HDC dc) {
    SingleLock lock(&m_lock);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return;  // minimised: nothing to draw, and no bitmap of size 0
    CSharedBackBuffer::Paint buffer(dc, rc);
    ::FillRect(buffer.m_hDC, &rc, m_hBrush ? m_hBrush : (HBRUSH)::GetStockObject(BLACK_BRUSH));
    GdiCanvas canvas(buffer.m_hDC);
    m_chart.Resize(canvas, Rect(rc.left, rc.top, rc.right, rc.bottom));
    m_tabs.Draw(canvas, Rect(rc.left, rc.bottom - 20, rc.right, rc.bottom));
}

void CGraphView::OnMouseMove(UINT flags, CPoint pt) {
    SingleLock lock(&m_lock);
    m_chart.OnMouseMove(int(flags), pt.x, pt.y);
}

void CGraphView::OnLButtonDown(UINT flags, CPoint pt) {
    ::ImmDisableIME(::GetCurrentThreadId());
    bool focus = false;
    {
        SingleLock lock(&m_lock);
        CSkinTabManagerItem* selected = m_tabs.GetSelected();
        focus = (GetStyle() & WS_TABSTOP) && selected && selected->GetRect().Contains(pt.x, pt.y);
        m_tabs.OnLButtonDown(pt.x, pt.y);
        m_chart.OnLButtonDown(int(flags), pt.x, pt.y);
    }
    if (focus) ::SetFocus(m_hWnd);
}

void CGraphView::OnLButtonUp(UINT flags, CPoint pt) {
    SingleLock lock(&m_lock);
    m_chart.OnLButtonUp(int(flags), pt.x, pt.y);
}

void CGraphView::OnLButtonDblClk(UINT flags, CPoint pt) {
    SingleLock lock(&m_lock);
    m_chart.OnLButtonDblClk(int(flags), pt.x, pt.y);
}

BOOL CGraphView::OnSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg) {
    bool splitter;
    {
        SingleLock lock(&m_lock);
        splitter = m_chart.IsSplitterHover();
    }
    if (splitter && hitTest == HTCLIENT) {
        ::SetCursor(m_hSplitter);
        return TRUE;
    }
    SetMsgHandled(FALSE);
    return FALSE;
}

LRESULT CGraphView::OnRButtonUp(LPARAM point) { return ShowChartContextMenu(m_hWnd, point); }

// ---- IChartHost ----------------------------------------------------------------------------

void CGraphView::Invalidate() {
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CGraphView::HasCapture() { return m_hWnd && ::GetCapture() == m_hWnd; }
void CGraphView::SetCapture() {
    if (m_hWnd) ::SetCapture(m_hWnd);
}
void CGraphView::ReleaseCapture() {
    if (HasCapture()) ::ReleaseCapture();
}

void CGraphView::SetCursorShape(CursorShape shape) {
    ::SetCursor(shape == kCursorSplitter ? m_hSplitter : ::LoadCursorA(nullptr, IDC_ARROW));
}

bool CGraphView::ShowInfoWindow(const Rect& box, bool shown) {
    if (m_printing || !m_hWnd) return false;
    if (!m_info.m_hWnd) {
        if (!shown) return true;
        const RECT r = {box.left, box.top, box.right, box.bottom};
        if (!m_info.Create(m_hWnd, r, WS_CHILD)) return false;
        m_info.SetPainter([this](HDC dc, int w, int h) {
            SingleLock lock(&m_lock);
            GdiCanvas canvas(dc);
            m_chart.PaintInfoBox(canvas, ChartPalette::FromProfile(), Rect(0, 0, w, h));
        });
    }
    if (!shown) {
        m_info.ShowWindow(SW_HIDE);
        return true;
    }
    ::SetWindowPos(m_info, HWND_TOP, box.left, box.top, box.Width(), box.Height(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Painted after the view's own picture reaches the screen, which may cover it.
    ::InvalidateRect(m_info, nullptr, FALSE);
    return true;
}

void CGraphView::DrawTransient(const std::function<void(Canvas&)>& draw) {
    if (!m_hWnd) return;
    HDC dc = ::GetDC(m_hWnd);
    if (!dc) return;
    {
        GdiCanvas canvas(dc);
        draw(canvas);
    }
    ::ReleaseDC(m_hWnd, dc);
}

// ---- CMyWindow -----------------------------------------------------------------------------

HWND CMyWindow::Create(HWND parent, const RECT& rect, DWORD style) {
    if (!style) style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return CWindowImpl<CMyWindow>::Create(parent, CRect(rect), nullptr, style);
}

void CMyWindow::PaintTo(HDC dc) {
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (!m_painter || w <= 0 || h <= 0) return;
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bmp = ::CreateCompatibleBitmap(dc, w, h);
    if (mem && bmp) {
        HGDIOBJ old = ::SelectObject(mem, bmp);
        m_painter(mem, w, h);
        ::BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
    }
    if (bmp) ::DeleteObject(bmp);
    if (mem) ::DeleteDC(mem);
}

void CMyWindow::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { PaintTo(dc); });
}
