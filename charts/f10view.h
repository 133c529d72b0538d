// The company-information view (id 3002): the current stock's company text cut into pages, one
// page at a time in a multiline edit control under two rows of page tabs.
//
// A reload may run on a download worker. The pages are rebuilt under the view's lock; the edit
// control is only ever changed on the window's own thread and never while the lock is held.
#pragma once

#ifdef _WIN32
#include <map>
#include <string>

#include "base/thread.h"
#include "charts/baseview.h"
#include "charts/tabstrip.h"
#include "store/stock.h"

class CF10View : public CBaseViewImpl<CF10View> {
public:
    DECLARE_WND_CLASS_EX("VelmoraF10View", CS_DBLCLKS, -1)
    enum { kFirstTabId = 100, kTabWidth = 70, kTabRows = 2 };
    // Posted to the view: show the page of wParam on the window's thread.
    static const UINT kMsgShowPage = WM_APP + 0x310;

    explicit CF10View(int viewId = kViewF10, CMessageProcessor* processor = nullptr);
    ~CF10View() override;

    BEGIN_MSG_MAP(CF10View)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_CTLCOLOREDIT(OnCtlColorEdit)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_RAW(kMsgShowPage, OnShowPage)
        CHAIN_MSG_MAP(CBaseViewImpl<CF10View>)
    END_MSG_MAP()

    // The company text has no use for the plain code.
    std::string GetPlainCode() override { return std::string(); }
    void ReloadStock(int reload, int extra) override { Reload(reload); }
    // 256: Esc back to the intraday view, paging keys to the text; 522: the wheel to the text.
    int OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) override;

    // Rebinds to the stock handed in, loads its text and shows the first page; 0 only repaints.
    void Reload(int reload);
    // Shows page index (0 to 15); false for an index outside the titles.
    bool SelectPage(int index);
    // A click on a tab shows its page.
    bool OnTabChange(int tabId) { return SelectPage(tabId - kFirstTabId); }
    int GetSelectedPage() const { return m_nPage; }
    HWND GetEdit() const { return m_edit; }
    size_t GetPageCount();
    // The tab of page i.
    RECT GetTabRect(int i) const;
    const CSkinTabManager& Tabs() const { return m_tabs; }

private:
    LRESULT OnCreate(LPCREATESTRUCTA cs);
    void OnSize(UINT type, CSize size);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT flags);
    HBRUSH OnCtlColorEdit(HDC dc, HWND edit);
    void OnLButtonDown(UINT flags, CPoint pt);
    LRESULT OnShowPage(UINT msg, WPARAM wParam, LPARAM lParam);
    void DoPaint(HDC dc, const RECT& client);
    bool OnWindowThread() const;

    HWND m_edit;
    CStock m_stock;
    HBRUSH m_brush;
    std::map<std::string, std::string> m_pages;
    CriticalSection m_lock;
    int m_nPage;
    CViewTabStrip<CF10View> m_tabs;
    CSharedBackBuffer::Use m_backBuffer;  // painted through the views' one bitmap
};

#endif  // _WIN32
