// The K-line view (id 3001): a thin window around the chart canvas with the report tabs in its
// bottom-right corner, the chart's keys, F8, the ex-rights and bar-style modes, the right-click
// menu and a double-buffered paint.
//
// One lock keeps the chart consistent: a reload may arrive on a download worker, while paint,
// keys, mouse, tabs and the mode setters run on the user-interface thread. Every one of them
// holds the lock for its whole work on the chart, and none holds it while it sends a message to
// another thread's window or runs a modal loop.
#pragma once

#ifdef _WIN32
#include <functional>
#include <string>

#include "base/thread.h"
#include "charts/baseview.h"
#include "charts/reportkline.h"
#include "charts/stockgraph.h"
#include "charts/tabstrip.h"

// The information box's window: a child of the chart, painted by its owner through a memory DC
// (the paint routine comes from the view); it never erases its background.
class CMyWindow : public CWindowImpl<CMyWindow> {
public:
    DECLARE_WND_CLASS_EX("VelmoraInfoBox", 0, -1)

    BEGIN_MSG_MAP(CMyWindow)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()

    // With no style given: WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN.
    HWND Create(HWND parent, const RECT& rect, DWORD style = 0);
    // Draws the box into a DC of the window's client size.
    void SetPainter(std::function<void(HDC, int, int)> painter) { m_painter = std::move(painter); }
    // Draws the box now, through a memory DC.
    void PaintTo(HDC dc);

private:
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    // Uncovered alone (a menu closed over it), the window draws itself again.
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { PaintTo(dc); }

    std::function<void(HDC, int, int)> m_painter;
};

class CGraphView : public CBaseViewImpl<CGraphView>, private IChartHost {
public:
    DECLARE_WND_CLASS_EX("VelmoraGraphView", CS_DBLCLKS, -1)

    CGraphView(int viewId, CMessageProcessor* processor);
    ~CGraphView() override;

    BEGIN_MSG_MAP(CGraphView)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
        MSG_WM_SETCURSOR(OnSetCursor)
        if (uMsg == WM_RBUTTONUP) {
            lResult = OnRButtonUp(lParam);
            return TRUE;
        }
        if (uMsg == WM_COMMAND && LOWORD(wParam) >= 4000 && LOWORD(wParam) <= 5000) {
            lResult = ForwardCommand(LOWORD(wParam));
            return TRUE;
        }
        CHAIN_MSG_MAP(CBaseViewImpl<CGraphView>)
    END_MSG_MAP()

    // The view contract (the stock accessors are the base's).
    // Binds the chart to the stock handed in (or "1A0001_1", made current) and loads it.
    void ReloadStock(int reload, int extra) override;
    // Application message 256: a key the content panel relays.
    int OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) override;

    void OnKeyDown(int virtualKey);
    // Page Up and Page Down: the list's stock before or after the current one, which the view
    // takes; when there is one, message 4031 tells the panel (the view's lock must not be held).
    void PrevStock();
    void NextStock();
    // Commands 4011 to 4013: ex-rights mode 2, 3 or 1; the active mode again selects 1.
    void SetDataMode(int mode);
    // Commands 4008 to 4010: bar style 1 to 3.
    void SetGraphOption(int option);
    // F8.
    void CyclePeriod();
    // The report column's painter: the view's own unless another is given (null: the view's own).
    void SetReportPainter(IReportPainter* painter);
    // Selects the tab of an id as a click would (9, 10 to 14, 0, 1).
    bool SelectTab(int tabId);

    // For tests and the shell: the chart and its lock (hold the lock while using the chart).
    CStockGraph& Chart() { return m_chart; }
    CriticalSection& ViewLock() { return m_lock; }
    const CSkinTabManager& Tabs() const { return m_tabs; }
    // The information box's window once the box was first shown on screen (null before).
    HWND InfoWindow() const { return m_info.m_hWnd; }
    CKLineReportPainter& ReportPainter() { return m_report; }
    // A tab of the report column chooses the report kind; true lets the tab be selected.
    bool OnTabChange(int tabId);

private:
    LRESULT OnCreate(LPCREATESTRUCTA cs);
    void OnDestroy();
    void OnSize(UINT type, CSize size);
    void OnPaint(HDC dc);
    void OnPrintClient(HDC dc, UINT flags);
    void OnMouseMove(UINT flags, CPoint pt);
    void OnLButtonDown(UINT flags, CPoint pt);
    void OnLButtonUp(UINT flags, CPoint pt);
    void OnLButtonDblClk(UINT flags, CPoint pt);
    BOOL OnSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg);
    LRESULT OnRButtonUp(LPARAM point);
    void DoPaint(HDC dc);
    void ResetAndRepaint();
    // Ctrl+Up and Ctrl+Down: a page of the report list, or the bar step without a list.
    void PageReport(bool up);

    // IChartHost
    void Invalidate() override;
    bool HasCapture() override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void SetCursorShape(CursorShape shape) override;
    void DrawTransient(const std::function<void(charts::Canvas&)>& draw) override;
    bool ShowInfoWindow(const charts::Rect& box, bool shown) override;

    // Declared before the chart, which points to it.
    CKLineReportPainter m_report;
    CStockGraph m_chart;
    CriticalSection m_lock;
    CViewTabStrip<CGraphView> m_tabs;
    HBRUSH m_hBrush;
    HCURSOR m_hSplitter;
    CMyWindow m_info;
    // While a picture is printed (WM_PRINTCLIENT) the box is drawn into it, not into its window.
    bool m_printing = false;
    // The off-screen picture is the views' shared one.
    CSharedBackBuffer::Use m_backBuffer;
};

#endif  // _WIN32
