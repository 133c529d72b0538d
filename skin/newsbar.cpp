#include "skin/newsbar.h"

#include <algorithm>

// ---- Ticker ----------------------------------------------------------------------------------------

CSkinScrollInfo::~CSkinScrollInfo() {
    if (m_bkBrush) ::DeleteObject(m_bkBrush);
    if (m_strip) ::DeleteObject(m_strip);
    if (m_ownFont && m_font) ::DeleteObject(m_font);
}

void CSkinScrollInfo::SetNewsText(const char* text) {
    if (!text || !*text) return;
    std::vector<NewsItem> items = ParseNewsText(text);
    {
        SingleLock hold(&m_lock);
        m_items.swap(items);
        m_model.offset = 0;
        m_rebuild = true;
    }
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

std::vector<NewsItem> CSkinScrollInfo::GetItems() {
    SingleLock hold(&m_lock);
    return m_items;
}
std::vector<CTickerModel::Extent> CSkinScrollInfo::GetExtents() {
    SingleLock hold(&m_lock);
    return m_model.Extents();
}
int CSkinScrollInfo::GetOffset() {
    SingleLock hold(&m_lock);
    return m_model.offset;
}
void CSkinScrollInfo::SetOffset(int offset) {
    SingleLock hold(&m_lock);
    m_model.offset = offset;
}
bool CSkinScrollInfo::IsScrolling() {
    SingleLock hold(&m_lock);
    return m_model.scrolling;
}
int CSkinScrollInfo::GetStripWidth() {
    SingleLock hold(&m_lock);
    return m_model.StripWidth();
}

LRESULT CSkinScrollInfo::OnCreate(LPCREATESTRUCTA) {
    if (!m_font) {
        CFont f;
        f.CreateFont(12, "宋体");
        m_font = f.Detach();
        m_ownFont = true;
    }
    m_timer = SetTimer(kScrollTimer, m_period);
    return 0;
}

void CSkinScrollInfo::OnTimer(UINT_PTR id) {
    if (id != kScrollTimer) {
        SetMsgHandled(FALSE);
        return;
    }
    if (IsScrolling()) Invalidate(FALSE);
}

void CSkinScrollInfo::BuildStrip(HDC reference) {
    std::vector<std::string> texts;
    std::vector<int> widths;
    int height = 0;
    CDibCanvas measure(1, 1);
    HGDIOBJ oldFont = m_font ? ::SelectObject(measure.dc(), m_font) : nullptr;
    for (const NewsItem& item : m_items) {
        std::string t = "   " + item.text + "   ";
        RECT r = {0, 0, 0, 0};
        ::DrawTextA(measure.dc(), t.c_str(), (int)t.size(), &r, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
        if (texts.empty()) height = r.bottom - r.top;
        texts.push_back(t);
        widths.push_back(r.right - r.left);
    }
    if (oldFont) ::SelectObject(measure.dc(), oldFont);
    size_t fit = m_model.SetWidths(widths);
    if (fit == 0 || m_model.StripWidth() <= 0 || height <= 0) return;
    CDibCanvas strip(m_model.StripWidth(), height);
    if (!strip.bitmap()) return;
    RECT all = {0, 0, strip.width, strip.height};
    ::FillRect(strip.dc(), &all, m_bkBrush ? m_bkBrush : (HBRUSH)::GetStockObject(BLACK_BRUSH));
    HGDIOBJ old = m_font ? ::SelectObject(strip.dc(), m_font) : nullptr;
    ::SetBkMode(strip.dc(), TRANSPARENT);
    ::SetTextColor(strip.dc(), m_color);
    for (size_t i = 0; i < fit; ++i) {
        RECT r = {m_model.Extents()[i].xStart, 0, m_model.Extents()[i].xEnd, height};
        ::DrawTextA(strip.dc(), texts[i].c_str(), (int)texts[i].size(), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (old) ::SelectObject(strip.dc(), old);
    m_stripHeight = height;
    m_strip = strip.Detach();
    (void)reference;
}

void CSkinScrollInfo::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    int cw = rc.right, ch = rc.bottom;
    // The parent draws our background: ask before taking the lock.
    if (!m_bkBrush) m_bkBrush = CreateParentBackgroundBrush(m_hWnd);
    AlignBrushToClient(dc);
    ::FillRect(dc, &rc, m_bkBrush ? m_bkBrush : (HBRUSH)::GetStockObject(BLACK_BRUSH));
    {
        SingleLock hold(&m_lock);
        if (m_rebuild && m_strip) {
            ::DeleteObject(m_strip);
            m_strip = nullptr;
        }
        m_rebuild = false;
        if (!m_strip) BuildStrip(dc);
        if (m_strip) {
            CTickerModel::Copy c = m_model.Visible(cw, ch, m_stripHeight);
            if (c.width > 0 && c.height > 0) {
                HDC src = ::CreateCompatibleDC(dc);
                HGDIOBJ old = ::SelectObject(src, m_strip);
                ::BitBlt(dc, c.destX, std::max(0, (ch - c.height) / 2), c.width, c.height, src, c.srcX, 0, SRCCOPY);
                ::SelectObject(src, old);
                ::DeleteDC(src);
            }
            m_model.Advance(cw);
        }
    }
}

void CSkinScrollInfo::OnMouseMove(UINT, CPoint) {
    bool was;
    {
        SingleLock hold(&m_lock);
        was = m_model.scrolling;
        m_model.scrolling = false;
    }
    if (was) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_HOVER | TME_LEAVE, m_hWnd, HOVER_DEFAULT};
        ::TrackMouseEvent(&t);
    }
    m_hover = true;
    ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
}

void CSkinScrollInfo::OnMouseLeave() {
    {
        SingleLock hold(&m_lock);
        m_model.scrolling = true;
    }
    m_hover = false;
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
}

BOOL CSkinScrollInfo::OnSetCursor(HWND, UINT hitTest, UINT) {
    if (hitTest != HTCLIENT) {
        SetMsgHandled(FALSE);
        return FALSE;
    }
    ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
    return TRUE;
}

void CSkinScrollInfo::OnLButtonDown(UINT, CPoint pt) {
    RECT rc;
    GetClientRect(&rc);
    std::string url;
    {
        SingleLock hold(&m_lock);
        int i = m_model.HitTest(pt.x, rc.right);
        if (i >= 0 && (size_t)i < m_items.size()) url = m_items[i].url;
    }
    // Outside the lock: opening a page may take long or enter a modal loop.
    if (!url.empty()) OpenWebLink(url.c_str());
}

LRESULT CSkinScrollInfo::OnPosChanging(UINT, WPARAM, LPARAM) {
    if (m_bkBrush) ::DeleteObject(m_bkBrush);
    m_bkBrush = nullptr;
    SingleLock hold(&m_lock);
    m_rebuild = true;  // the strip's background came from the old place
    SetMsgHandled(FALSE);
    return 0;
}

void CSkinScrollInfo::OnClose() {
    if (m_timer) KillTimer(kScrollTimer);
    m_timer = 0;
    SingleLock hold(&m_lock);
    if (m_strip) ::DeleteObject(m_strip);
    m_strip = nullptr;
}

void CSkinScrollInfo::OnDestroy() {
    if (m_timer) KillTimer(kScrollTimer);
    m_timer = 0;
    SetMsgHandled(FALSE);
}

// ---- Link bar ---------------------------------------------------------------------------------------

CSkinScrollBarCtrl::~CSkinScrollBarCtrl() {
    FreeBrushes();
    for (HBITMAP b : m_images) ::DeleteObject(b);
}

void CSkinScrollBarCtrl::FreeBrushes() {
    for (auto& b : m_brushes) ::DeleteObject(b.second);
    m_brushes.clear();
}

LRESULT CSkinScrollBarCtrl::OnCreate(LPCREATESTRUCTA) {
    // A bar without its picture still keeps a usable height.
    m_height = m_background.IsNull() ? (int)kMinHeight : std::max(m_background.GetHeight(), 16);
    RECT r = {0, 0, 10, 10};
    m_ticker.Create(m_hWnd, r, nullptr, WS_CHILD | WS_VISIBLE, 0, (UINT)kTickerId);
    if (!m_url1.empty() && !m_label1.empty()) {
        m_link1.SetHyperLink(m_url1.c_str());
        m_link1.SetLabel(m_label1.c_str());
        for (HBITMAP b : m_images) m_link1.AddImage(b);
        m_link1.SetAnimate(m_images.size() >= 2);
        m_link1.SetExtendedStyle(HLINK_LEFTIMAGE | HLINK_NOTOOLTIP);
        m_link1.Create(m_hWnd, r, m_label1.c_str(), WS_CHILD | WS_VISIBLE, 0, (UINT)kLink1Id);
        m_link1.SetColors(RGB(0xC0, 0, 0), RGB(0xC0, 0, 0), RGB(0xC0, 0, 0));
        if (m_linkFont) m_link1.SetLinkFont(m_linkFont);
    }
    if (!m_url2.empty() && !m_label2.empty()) {
        m_link2.SetHyperLink(m_url2.c_str());
        m_link2.SetLabel(m_label2.c_str());
        m_link2.Create(m_hWnd, r, m_label2.c_str(), WS_CHILD | WS_VISIBLE, 0, (UINT)kLink2Id);
        m_link2.SetColors(RGB(0xC0, 0, 0), RGB(0xC0, 0, 0), RGB(0xC0, 0, 0));
        if (m_linkFont) m_link2.SetLinkFont(m_linkFont);
    }
    ResizeClient(-1, m_height, FALSE);
    return 0;
}

void CSkinScrollBarCtrl::OnSize(UINT, CSize size) {
    FreeBrushes();
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int h = std::max(0, (int)size.cy - 12);
    if (m_link1.m_hWnd) m_link1.SetWindowPos(nullptr, 5, 6, 175, h, flags);
    if (m_link2.m_hWnd) m_link2.SetWindowPos(nullptr, 185, 6, 60, h, flags);
    if (m_ticker.m_hWnd) m_ticker.SetWindowPos(nullptr, 292, 6, std::max(0, (int)size.cx - 298), h, flags);
    Invalidate(FALSE);
}

HBRUSH CSkinScrollBarCtrl::OnCtlColorStatic(HDC dc, HWND ctl) {
    for (auto& b : m_brushes)
        if (b.first == ctl) return b.second;
    HBRUSH brush = CreateParentBackgroundBrush(ctl);
    if (!brush) {
        SetMsgHandled(FALSE);
        return nullptr;
    }
    m_brushes.push_back({ctl, brush});
    ::SetBkMode(dc, TRANSPARENT);
    return brush;
}

void CSkinScrollBarCtrl::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { DoPaint(dc); });
}

void CSkinScrollBarCtrl::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    if (m_background.IsNull()) {
        CDCHandle(dc).FillSolidRect(&rc, ::GetSysColor(COLOR_BTNFACE));
        return;
    }
    m_background.StretchDraw(dc, rc);
}
