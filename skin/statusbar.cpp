#include "skin/statusbar.h"

#include <algorithm>

// ---- Status bar --------------------------------------------------------------------------------------

bool CSkinStatusBarCtrl::LoadBackground(const char* file) {
    SingleLock hold(&m_lock);
    return m_background.LoadSkinFile(file);
}

void CSkinStatusBarCtrl::SetStatusText(const char* text) {
    {
        SingleLock hold(&m_lock);
        m_status = text ? text : "";
    }
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSkinStatusBarCtrl::SetPanes(const std::vector<StatusPane>& panes) {
    std::vector<StatusPane> copy = panes;
    {
        SingleLock hold(&m_lock);
        m_panes.swap(copy);
    }
    // Invalidating from another thread only queues a paint; no message is sent while locked.
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

std::vector<StatusPane> CSkinStatusBarCtrl::GetPanes() {
    SingleLock hold(&m_lock);
    return m_panes;
}

LRESULT CSkinStatusBarCtrl::OnCreate(LPCREATESTRUCTA) {
    CLogFont lf;
    lf.lfHeight = 14;
    lf.lfWeight = FW_NORMAL;
    lf.lfPitchAndFamily = FF_SWISS;
    lf.SetFaceName("Arial");
    m_font.Attach(CreateGbkFont(lf));
    int height;
    {
        SingleLock hold(&m_lock);
        m_height = m_background.IsNull() ? (int)kMinHeight : std::max(m_background.GetHeight(), 16);
        height = m_height;
    }
    ResizeClient(-1, height, FALSE);
    return 0;
}

void CSkinStatusBarCtrl::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    CDCHandle out(dc);
    SingleLock hold(&m_lock);
    if (m_background.IsNull()) out.FillSolidRect(&rc, ::GetSysColor(COLOR_BTNFACE));
    else m_background.StretchDraw(out, rc);
    int imageHeight = m_background.IsNull() ? m_height : m_background.GetHeight();
    RECT text = {rc.left + 5, rc.top + std::max(0, (imageHeight - 14) / 2), rc.right - 10, rc.bottom};
    if (text.bottom - text.top < 14) text.top = std::max(0, (int)rc.bottom - 14);
    out.SetBkMode(TRANSPARENT);
    HGDIOBJ oldFont = ::SelectObject(out, m_font);
    out.SetTextColor(RGB(0, 0, 0));
    out.DrawText(m_status.c_str(), (int)m_status.size(), &text, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    int x = text.left;
    for (size_t p = 0; p < m_panes.size(); ++p) {
        StatusPane& pane = m_panes[p];
        pane.xStart = x;
        for (const StatusTextRun& run : pane.runs) {
            ::SelectObject(out, run.font ? run.font : (HFONT)m_font);
            out.SetTextColor(run.color);
            SIZE sz = {0, 0};
            out.GetTextExtent(run.text.c_str(), (int)run.text.size(), &sz);
            RECT r = {x, text.top, x + sz.cx, text.bottom};
            out.DrawText(run.text.c_str(), (int)run.text.size(), &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            x += sz.cx;
        }
        pane.xEnd = x;
        if (p + 1 < m_panes.size()) {
            ::SelectObject(out, m_font);
            out.SetTextColor(RGB(20, 20, 20));
            SIZE sz = {0, 0};
            out.GetTextExtent(m_separator.c_str(), (int)m_separator.size(), &sz);
            RECT r = {x + 6, text.top, x + 6 + sz.cx, text.bottom};
            out.DrawText(m_separator.c_str(), (int)m_separator.size(), &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
            x += sz.cx + 12;
        }
    }
    ::SelectObject(out, oldFont);
}

void CSkinStatusBarCtrl::OnLButtonDown(UINT, CPoint pt) {
    UINT msg = 0;
    WORD id = 0;
    {
        SingleLock hold(&m_lock);
        if (m_notify == 0) return;
        std::vector<std::pair<int, int>> spans;
        for (const StatusPane& p : m_panes) spans.push_back({p.xStart, p.xEnd});
        int i = HitSpan(spans, pt.x);
        if (i < 0) return;
        msg = m_notify;
        id = m_panes[i].id;
    }
    // Outside the lock: the parent may take long, and the refresh thread waits on the lock.
    HWND parent = ::GetParent(m_hWnd);
    if (parent) ::SendMessageA(parent, msg, id, 0);
}

// ---- Gradient static -----------------------------------------------------------------------------------

CSkinGradientStatic::CSkinGradientStatic()
    : m_start(::GetSysColor(COLOR_ACTIVECAPTION)), m_end(::GetSysColor(COLOR_BTNFACE)),
      m_text(::GetSysColor(COLOR_CAPTIONTEXT)) {}

void CSkinGradientStatic::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { DoPaint(dc); });
}

void CSkinGradientStatic::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    int w = rc.right - rc.left;
    CDCHandle out(dc);
    for (int i = 0; i < 255; ++i) {
        RECT band = {rc.left + i * w / 255, rc.top, rc.left + (i + 1) * w / 255, rc.bottom};
        if (band.right <= band.left) continue;
        COLORREF c = RGB(GradientChannel(GetRValue(m_start), GetRValue(m_end), i),
                         GradientChannel(GetGValue(m_start), GetGValue(m_end), i),
                         GradientChannel(GetBValue(m_start), GetBValue(m_end), i));
        out.FillSolidRect(&band, c);
    }
    char text[1025] = {0};
    ::GetWindowTextA(m_hWnd, text, sizeof(text));
    HGDIOBJ old = m_font ? ::SelectObject(dc, m_font) : nullptr;
    out.SetBkMode(TRANSPARENT);
    out.SetTextColor(m_text);
    UINT fmt = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    RECT r = rc;
    if (m_align == 0) r.left += m_indent, fmt |= DT_LEFT;
    else if (m_align == 1) fmt |= DT_CENTER;
    else r.right -= m_indent, fmt |= DT_RIGHT;
    out.DrawText(text, -1, &r, fmt);
    if (old) ::SelectObject(dc, old);
}

// ---- Static --------------------------------------------------------------------------------------------

void CSkinStatic::SetText(const char* text) {
    m_textValue = text ? text : "";
    if (m_hWnd) Invalidate(TRUE);
}

void CSkinStatic::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { DoPaint(dc); });
}

void CSkinStatic::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    HGDIOBJ old = m_font ? ::SelectObject(dc, m_font) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_color);
    UINT align = m_align == 0 ? DT_LEFT : m_align == 1 ? DT_CENTER : DT_RIGHT;
    ::DrawTextA(dc, m_textValue.c_str(), (int)m_textValue.size(), &rc, DT_WORDBREAK | DT_VCENTER | DT_NOPREFIX | align);
    if (old) ::SelectObject(dc, old);
}
