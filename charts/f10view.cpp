#include "charts/f10view.h"

#include "base/gdicache.h"
#include "charts/f10pages.h"
#include "charts/gdicanvas.h"
#include "store/database.h"
#include "winfw/gdi.h"

using namespace charts;

namespace {

const char kDownloading[] = "正在下载公司信息数据";

// The edit control wants CR LF line ends; a text with bare LF (or CR) gets them.
std::string ForEdit(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

CF10View::CF10View(int viewId, CMessageProcessor* processor)
    : CBaseViewImpl<CF10View>(viewId, processor), m_edit(nullptr), m_brush(nullptr), m_nPage(0), m_tabs(this) {
    m_tabs.SetRows(kTabRows);
    m_tabs.SetItemWidth(kTabWidth);
    const std::vector<std::string>& titles = F10PageTitles();
    for (size_t i = 0; i < titles.size(); ++i) m_tabs.AddItem(titles[i].c_str(), kFirstTabId + int(i));
    m_tabs.SetSelected(m_tabs.GetItem(0));
    if (processor) {
        processor->AddAcceptor(kAppMsgKey, this);
        processor->AddAcceptor(kAppMsgWheel, this);
    }
}

CF10View::~CF10View() {
    DestroyBase();
    if (m_brush) ::DeleteObject(m_brush);
}

bool CF10View::OnWindowThread() const {
    return m_hWnd && ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId();
}

LRESULT CF10View::OnCreate(LPCREATESTRUCTA) {
    SetFont((HFONT)::GetStockObject(ANSI_VAR_FONT), FALSE);
    m_edit = ::CreateWindowExA(0, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | WS_VSCROLL |
                                   ES_WANTRETURN | ES_MULTILINE,
                               0, 45, 100, 100, m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!m_edit) return -1;
    ::SendMessageA(m_edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(20, 20));
    CGdiCache* cache = GetGdiCache();
    if (HFONT f = cache ? cache->GetFont(14, "宋体", false) : nullptr) ::SendMessageA(m_edit, WM_SETFONT, (WPARAM)f, FALSE);
    return 0;
}

RECT CF10View::GetTabRect(int i) const {
    const Rect& r = m_tabs.GetItem(i)->GetRect();
    return RECT{r.left, r.top, r.right, r.bottom};
}

void CF10View::OnSize(UINT, CSize size) {
    const int n = int(F10PageTitles().size());
    if (n * kTabWidth < size.cx - 200) {
        m_tabs.Layout(Rect(100, 5, size.cx - 100, 45));
    } else {
        const int w = (n - n / kTabRows) * kTabWidth;
        m_tabs.Layout(Rect((size.cx - w) / 2, 5, (size.cx - w) / 2 + w, 45));
    }
    if (m_edit) ::MoveWindow(m_edit, 0, 45, size.cx, size.cy > 45 ? size.cy - 45 : 0, TRUE);
    Invalidate(FALSE);
    ReloadStock(0, 0);
}

void CF10View::DoPaint(HDC dc, const RECT& client) {
    if (client.right <= client.left || client.bottom <= client.top) return;
    CSharedBackBuffer::Paint buffer(dc, client);
    GdiCanvas c(buffer.m_hDC);
    const Rect area(client.left, client.top, client.right, client.bottom);
    c.FillRect(area, MakeColor(0, 0, 0));
    m_tabs.Draw(c, area);
}

void CF10View::OnPaint(HDC given) {
    PaintClient(m_hWnd, given, [this](HDC dc, const RECT& client) { DoPaint(dc, client); });
}

void CF10View::OnPrintClient(HDC dc, UINT) { OnPaint(dc); }

HBRUSH CF10View::OnCtlColorEdit(HDC dc, HWND) {
    ::SetBkColor(dc, RGB(0, 0, 0));
    ::SetTextColor(dc, RGB(192, 192, 0));
    if (!m_brush) m_brush = ::CreateSolidBrush(RGB(0, 0, 0));
    return m_brush;
}

void CF10View::OnLButtonDown(UINT, CPoint pt) {
    CSkinTabManagerItem* item = m_tabs.HitTest(pt.x, pt.y);
    if (!item) return;
    if (item == m_tabs.GetSelected() && (GetStyle() & WS_TABSTOP)) SetFocus();
    m_tabs.OnLButtonDown(pt.x, pt.y);
    Invalidate(FALSE);
}

LRESULT CF10View::OnShowPage(UINT, WPARAM wParam, LPARAM) {
    SelectPage(int(wParam));
    Invalidate(FALSE);
    return 0;
}

size_t CF10View::GetPageCount() {
    SingleLock lock(&m_lock);
    return m_pages.size();
}

void CF10View::Reload(int reload) {
    if (reload) {
        CStockInfo current;
        if (!CurrentStockInfo(&current)) return;
        {
            SingleLock lock(&m_lock);
            m_stock.Clear();
            m_stock.SetStockInfo(&current);
            m_stock.SetDatabase(&GetDatabase());
            m_stock.PrepareBaseText(true);
            ParsePages(m_stock.GetBaseText(), m_stock.GetBaseTextLength(), m_pages);
            m_nPage = 0;
        }
        // The edit control belongs to the window's thread: a worker hands the page over by a
        // posted message and never waits for that thread.
        if (OnWindowThread())
            SelectPage(0);
        else if (m_hWnd)
            ::PostMessageA(m_hWnd, kMsgShowPage, 0, 0);
    }
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CF10View::SelectPage(int index) {
    const std::vector<std::string>& titles = F10PageTitles();
    if (index < 0 || index >= int(titles.size())) return false;
    if (!OnWindowThread()) {
        if (m_hWnd) ::PostMessageA(m_hWnd, kMsgShowPage, WPARAM(index), 0);
        return true;
    }
    m_tabs.SetSelected(m_tabs.GetItem(index));
    std::string text;
    {
        SingleLock lock(&m_lock);
        m_nPage = index;
        auto at = m_pages.find(titles[size_t(index)]);
        text = at != m_pages.end() ? ForEdit(at->second) : std::string(kDownloading);
    }
    if (m_edit) {
        ::SetWindowTextA(m_edit, text.c_str());
        ::SendMessageA(m_edit, EM_SETSEL, 0, 0);
        ::SendMessageA(m_edit, EM_SCROLLCARET, 0, 0);
    }
    return true;
}

int CF10View::OnAcceptorMessage(int id, intptr_t wParam, intptr_t lParam) {
    if (id == kAppMsgKey) {
        if (wParam == VK_ESCAPE) {
            if (m_pProcessor) m_pProcessor->SendMessage(kAppMsgCommand, 4000, 0);
        } else if (wParam >= VK_PRIOR && wParam <= VK_DOWN && m_edit) {
            ::SendMessageA(m_edit, WM_KEYDOWN, WPARAM(wParam), LPARAM(lParam));
        }
    } else if (id == kAppMsgWheel && m_edit) {
        ::SendMessageA(m_edit, WM_MOUSEWHEEL, WPARAM(wParam), LPARAM(lParam));
    }
    return 1;
}
