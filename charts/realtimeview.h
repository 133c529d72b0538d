// The intraday view (id 3000): one to nine intraday panes in a grid and, under the first pane's
// report column, the tabs that choose what that column shows.
//
// Every handler that reads or changes the panes holds the view's lock, as the reload does when a
// download worker calls it; nothing is sent to another thread's window while the lock is held.
#pragma once

#ifdef _WIN32
#include <memory>
#include <string>
#include <vector>

#include "base/thread.h"
#include "charts/baseview.h"
#include "charts/realtime.h"
#include "charts/tabstrip.h"

class CRealTimeView : public CBaseViewImpl<CRealTimeView>, public CRealTimeOwner {
public:
    DECLARE_WND_CLASS_EX("VelmoraRealTimeView", CS_DBLCLKS, -1)

    explicit CRealTimeView(int viewId = kViewRealTime, CMessageProcessor* processor = nullptr);
    ~CRealTimeView() override;

    BEGIN_MSG_MAP(CRealTimeView)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
        MSG_RAW(WM_RBUTTONUP, OnRButtonUp)
        MSG_COMMAND_RANGE(4000, 5000, OnForwardCommand)
        CHAIN_MSG_MAP(CBaseViewImpl<CRealTimeView>)
    END_MSG_MAP()

    // The view contract (the stock accessors are the base's).
    void ReloadStock(int reload, int extra) override;
    int GetDiagnosis(std::string* text) override;
    // 256 (a key) and 4024 (the pane count).
    int OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) override;

    // 1, 2, 4, 6 or 9; one pane gets the trade list in its report column, several get none.
    void SetPaneCount(int count);
    int GetPaneCount() const { return m_nPaneCount; }
    // Every shown pane takes the mode (1 chart, 2 trades, 3 minute trades, 4 index list), then a reload.
    void SetDrawMode(int mode);
    // Option 1 volume ratio or 2 strength; choosing the one in force removes it.
    void ToggleDrawOption(int option);
    // A tab of the report column: ids 9 to 15 (16 has no tab).
    bool OnTabChange(int tabId);
    void OnKeyDown(UINT key);
    CRealTime& GetPane(int i) { return m_panes[i]; }
    CriticalSection& GetLock() { return m_lock; }

    // The tab strip under the report column (items 9 to 15).
    static const int kTabCount = 7;
    RECT GetTabBand() const;
    const CSkinTabManager& Tabs() const { return m_tabs; }

    std::unique_ptr<charts::Canvas> OpenCanvas() override;
    // A pane's index list chose a stock: recorded, and the one this view shows from now on.
    void OnStockChosen(const char* code) override { RecordStock(code); }

    // Draws the whole client area into dc (double buffered when it is the window's).
    void DoPaint(HDC dc, const RECT& client);
    void LayoutPanes(charts::Canvas& canvas, const charts::Rect& area);

private:
    LRESULT OnCreate(LPCREATESTRUCTA cs);
    void OnSize(UINT type, CSize size);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT flags);
    void OnLButtonDown(UINT flags, CPoint pt);
    void OnLButtonDblClk(UINT flags, CPoint pt);
    LRESULT OnRButtonUp(UINT, WPARAM, LPARAM point) { return ShowChartContextMenu(m_hWnd, point); }
    void OnForwardCommand(UINT code, int id, HWND ctl);
    void OnPageUp();
    void OnPageDown();
    // One stock on or back per shown pane.
    void StepStocks(bool next);
    void SetModeLocked(int mode);
    // Selects the tab of an id without asking the view.
    void MarkTab(int tabId);


    CriticalSection m_lock;
    CRealTime m_panes[9];
    int m_nPaneCount;
    CViewTabStrip<CRealTimeView> m_tabs;
    CSharedBackBuffer::Use m_backBuffer;  // painted through the views' one bitmap
};

#endif  // _WIN32
