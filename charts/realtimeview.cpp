#include "charts/realtimeview.h"

#include <imm.h>

#include "charts/gdicanvas.h"
#include "winfw/gdi.h"

using namespace charts;

namespace {

const char kDefaultStock[] = "1A0001_1";

const struct {
    int id;
    const char* caption;
} kTabs[CRealTimeView::kTabCount] = {{9, "板"}, {10, "笔"}, {11, "价"}, {12, "分"}, {13, "盘"}, {14, "值"}, {15, "筹"}};

// A canvas over a window's DC, released with it.
struct WindowDc {
    HWND wnd;
    HDC dc;
    explicit WindowDc(HWND w) : wnd(w), dc(::GetDC(w)) {}
    ~WindowDc() {
        if (dc) ::ReleaseDC(wnd, dc);
    }
};
class WindowCanvas : private WindowDc, public GdiCanvas {
public:
    explicit WindowCanvas(HWND w) : WindowDc(w), GdiCanvas(dc) {}
};

Rect ToRect(const RECT& r) { return Rect(r.left, r.top, r.right, r.bottom); }

}  // namespace

CRealTimeView::CRealTimeView(int viewId, CMessageProcessor* processor)
    : CBaseViewImpl<CRealTimeView>(viewId, processor), m_nPaneCount(1), m_tabs(this) {
    if (processor) processor->AddAcceptor(kAppMsgPaneCount, this);
    for (const auto& t : kTabs) m_tabs.AddItem(t.caption, t.id);
    m_tabs.SetSelected(m_tabs.GetItem(0));
}

void CRealTimeView::MarkTab(int tabId) {
    for (int i = 0; i < m_tabs.GetItemCount(); ++i)
        if (m_tabs.GetItem(i)->GetId() == tabId) m_tabs.SetSelected(m_tabs.GetItem(i));
}

CRealTimeView::~CRealTimeView() {
    DestroyBase();
    for (CRealTime& p : m_panes) p.SetOwnerField(nullptr);
}

std::unique_ptr<Canvas> CRealTimeView::OpenCanvas() {
    if (!m_hWnd || !::IsWindow(m_hWnd)) return nullptr;
    auto c = std::make_unique<WindowCanvas>(m_hWnd);
    return c->GetDC() ? std::move(c) : nullptr;
}

LRESULT CRealTimeView::OnCreate(LPCREATESTRUCTA) {
    {
        SingleLock lock(&m_lock);
        MarkTab(9);
        for (CRealTime& p : m_panes) p.SetOwnerField(this);
    }
    ReloadStock(1, 0);
    return 0;
}

void CRealTimeView::OnSize(UINT, CSize size) {
    {
        SingleLock lock(&m_lock);
        m_tabs.Layout(Rect(size.cx - 200, size.cy - 19, size.cx, size.cy));
    }
    Invalidate(FALSE);
}

RECT CRealTimeView::GetTabBand() const {
    const Rect& r = m_tabs.GetRect();
    return RECT{r.left, r.top, r.right, r.bottom};
}

void CRealTimeView::DoPaint(HDC dc, const RECT& client) {
    SingleLock lock(&m_lock);
    const Rect area = ToRect(client);
    if (area.IsEmpty()) return;  // minimised: nothing to draw into
    CSharedBackBuffer::Paint buffer(dc, client);
    GdiCanvas canvas(buffer.m_hDC);
    LayoutPanes(canvas, area);
    if (m_panes[0].GetDrawMode() == rtChart) m_tabs.Draw(canvas, Rect(area.left, area.bottom - 20, area.right, area.bottom));
}

// The grid of the shown panes over the client area, each drawn into its rectangle.
void CRealTimeView::LayoutPanes(Canvas& canvas, const Rect& area) {
    Rect panes[9];
    LayoutRealTimePanes(area, m_nPaneCount, panes);
    for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].Draw(&canvas, panes[k]);
}

void CRealTimeView::OnPaint(HDC given) {
    PaintClient(m_hWnd, given, [this](HDC dc, const RECT& client) { DoPaint(dc, client); });
}

void CRealTimeView::OnPrintClient(HDC dc, UINT) { OnPaint(dc); }

void CRealTimeView::OnForwardCommand(UINT, int id, HWND) { ForwardCommand(id); }

int CRealTimeView::GetDiagnosis(std::string* text) {
    if (!text) return 0;
    SingleLock lock(&m_lock);
    return m_panes[0].GetDiagnosis(*text);
}

void CRealTimeView::ReloadStock(int reload, int) {
    {
        SingleLock lock(&m_lock);
        CStockInfo current;
        if (CurrentStockInfo(&current)) {
            m_panes[0].SetStockIfChanged(current);
            m_panes[0].LoadData(reload);
        } else {
            if (!m_panes[0].SetStockCode(kDefaultStock)) {
                // Without a code list the composite index is still shown.
                CStockInfo index;
                index.SetStockCode(kMarketShangHai, kDefaultStock);
                index.ResolveMarketAndKind();
                m_panes[0].SetStockIfChanged(index);
            }
            m_panes[0].LoadData(0);
            RecordStock(kDefaultStock);
        }
        // The further panes show the stocks before the current one; the user's current stock
        // stays where it is.
        if (m_nPaneCount > 1) {
            std::vector<CStockInfo> before;
            if (m_pStockList) m_pStockList->GetStocksBefore(before, m_nPaneCount - 1);
            for (int k = 1; k < m_nPaneCount && size_t(k - 1) < before.size(); ++k) {
                m_panes[k].SetStockIfChanged(before[size_t(k - 1)]);
                m_panes[k].LoadData(reload);
            }
        }
    }
    // Only posts a paint: safe from any thread.
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CRealTimeView::OnAcceptorMessage(int id, intptr_t wParam, intptr_t) {
    if (id == kAppMsgKey) OnKeyDown(UINT(wParam));
    if (id == kAppMsgPaneCount) SetPaneCount(int(wParam));
    return 0;
}

void CRealTimeView::SetPaneCount(int count) {
    {
        SingleLock lock(&m_lock);
        if (!IsPaneCount(count) || count == m_nPaneCount) return;
        const int mode = m_panes[0].GetDrawMode(), option = m_panes[0].GetDrawOption();
        for (CRealTime& p : m_panes) {
            if (count == 1)
                p.SetDrawMode(mode, option, reportTicks);
            else
                p.SetDrawMode(rtChart, rtOptionNone, reportNone);
        }
        m_nPaneCount = count;
        if (count == 1) MarkTab(10);
    }
    // The new panes need their stocks.
    ReloadStock(0, 0);
}

void CRealTimeView::SetModeLocked(int mode) {
    const int option = m_panes[0].GetDrawOption(), kind = m_panes[0].GetReportKind();
    for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].SetDrawMode(mode, option, kind);
}

void CRealTimeView::SetDrawMode(int mode) {
    {
        SingleLock lock(&m_lock);
        SetModeLocked(mode);
    }
    ReloadStock(0, 0);
}

void CRealTimeView::ToggleDrawOption(int option) {
    {
        SingleLock lock(&m_lock);
        const int mode = m_panes[0].GetDrawMode(), kind = m_panes[0].GetReportKind();
        const int next = m_panes[0].GetDrawOption() == option ? rtOptionNone : option;
        for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].SetDrawMode(mode, next, kind);
    }
    Invalidate(FALSE);
}

bool CRealTimeView::OnTabChange(int tabId) {
    {
        SingleLock lock(&m_lock);
        const int kind = RealTimeTabKind(tabId);
        if (kind) {
            m_panes[0].SetDrawMode(rtChart, m_panes[0].GetDrawOption(), kind);
            MarkTab(tabId);
        }
    }
    Invalidate(FALSE);
    return true;
}

void CRealTimeView::StepStocks(bool next) {
    for (int k = 0; k < m_nPaneCount; ++k) StepStock(next);
}

void CRealTimeView::OnPageUp() {
    bool chart;
    {
        SingleLock lock(&m_lock);
        chart = m_panes[0].GetDrawMode() == rtChart;
        if (chart) StepStocks(false);
        for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].ListPageUp();
    }
    if (!chart) return;
    if (m_pProcessor)
        m_pProcessor->SendMessage(kAppMsgStockChanged, 0, 0);
    else
        ReloadStock(1, 0);
}

void CRealTimeView::OnPageDown() {
    bool chart;
    {
        SingleLock lock(&m_lock);
        chart = m_panes[0].GetDrawMode() == rtChart;
        if (chart) StepStocks(true);
        for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].ListPageDown();
    }
    if (!chart) return;
    if (m_pProcessor)
        m_pProcessor->SendMessage(kAppMsgStockChanged, 0, 0);
    else
        ReloadStock(1, 0);
}

void CRealTimeView::OnKeyDown(UINT key) {
    switch (key) {
    case VK_ESCAPE: {
        bool reload = false;
        {
            SingleLock lock(&m_lock);
            if (m_panes[0].GetDrawMode() != rtChart) {
                SetModeLocked(rtChart);
                reload = true;
            }
            for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].SetCursorIndex(-1);
        }
        if (reload) ReloadStock(0, 0);
        Invalidate(FALSE);
        return;
    }
    case VK_PRIOR: OnPageUp(); return;
    case VK_NEXT: OnPageDown(); return;
    default: break;
    }
    SingleLock lock(&m_lock);
    for (int k = 0; k < m_nPaneCount; ++k) {
        CRealTime& p = m_panes[k];
        switch (key) {
        case VK_END: p.CursorLast(false); break;
        case VK_HOME: p.CursorFirst(false); break;
        case VK_LEFT: p.CursorPrev(false); break;
        case VK_RIGHT: p.CursorNext(false); break;
        case VK_UP: p.ReportPageUp(); break;
        case VK_DOWN: p.ReportPageDown(); break;
        default: break;
        }
    }
    if (key == VK_UP || key == VK_DOWN) Invalidate(FALSE);
}

void CRealTimeView::OnLButtonDown(UINT flags, CPoint pt) {
    ::ImmDisableIME(::GetCurrentThreadId());
    SingleLock lock(&m_lock);
    if (m_panes[0].GetDrawMode() == rtChart) {
        CSkinTabManagerItem* item = m_tabs.HitTest(pt.x, pt.y);
        if (item && item == m_tabs.GetSelected() && (GetStyle() & WS_TABSTOP)) SetFocus();
        if (item) {
            if (item != m_tabs.GetSelected()) m_tabs.OnLButtonDown(pt.x, pt.y);
            return;
        }
    }
    for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].OnLButtonDown(flags, pt.x, pt.y, false, false);
}

void CRealTimeView::OnLButtonDblClk(UINT flags, CPoint pt) {
    SingleLock lock(&m_lock);
    for (int k = 0; k < m_nPaneCount; ++k) m_panes[k].OnLButtonDblClk(flags, pt.x, pt.y);
}
