#include "skin/tabbar.h"

CSkinCmdBar::~CSkinCmdBar() = default;

void CSkinCmdBar::SetBackgroundImages(HBITMAP itemImage, HBITMAP second) {
    m_image.Attach(itemImage);
    m_second.Attach(second);
    if (m_hWnd) Invalidate(FALSE);
}

LRESULT CSkinCmdBar::OnCreate(LPCREATESTRUCTA) {
    if (m_font.IsNull()) m_font.CreateFont(14, "宋体");
    CDibCanvas measure(1, 1);
    HGDIOBJ old = ::SelectObject(measure.dc(), m_font);
    ::GetTextMetricsA(measure.dc(), &m_tm);
    m_model.Layout(m_tm.tmHeight, [&](const std::string& s) {
        SIZE sz = {0, 0};
        ::GetTextExtentPoint32A(measure.dc(), s.c_str(), (int)s.size(), &sz);
        return (int)sz.cx;
    });
    ::SelectObject(measure.dc(), old);
    if (m_model.vertical) ResizeClient(m_tm.tmHeight, -1, FALSE);
    else ResizeClient(-1, m_tm.tmHeight + 14, FALSE);
    if (!m_model.items.empty()) {
        ChangeStates(0, kTabSelected, kTabSelected, kFadeMs);
        m_selected = 0;
        Invalidate(FALSE);
    }
    return 0;
}

void CSkinCmdBar::ChangeStates(int target, unsigned set, unsigned clear, uint32_t fadeMs) {
    std::vector<int> changed;
    bool fading = m_model.ChangeItemStates(target, set, clear, fadeMs, SkinTick(), &changed);
    if (!m_hWnd) return;
    for (int i : changed) {
        RECT r = ToRect(m_model.items[i].rect);
        InvalidateRect(&r, FALSE);
    }
    if (fading) SetTimer(kFadeTimer, 25);
}

BOOL CSkinCmdBar::SelectItemById(int id, bool fade) {
    int i = m_model.FindId(id);
    if (i < 0) return FALSE;
    if (fade) ChangeStates(i, kTabSelected, kTabSelected, kFadeMs);
    m_selected = i;
    if (m_hWnd) Invalidate(FALSE);
    return TRUE;
}

void CSkinCmdBar::OnTimer(UINT_PTR id) {
    if (id != kFadeTimer) {
        SetMsgHandled(FALSE);
        return;
    }
    std::vector<int> changed;
    bool any = m_model.Tick(SkinTick(), &changed);
    for (int i : changed) {
        RECT r = ToRect(m_model.items[i].rect);
        InvalidateRect(&r, FALSE);
    }
    if (!any) KillTimer(kFadeTimer);
}

void CSkinCmdBar::ResetBackground() {
    m_bkBrush.DeleteObject();
    if (m_hWnd) Invalidate(FALSE);
}

void CSkinCmdBar::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { DoPaint(dc); });
}

void CSkinCmdBar::DrawFrame(HDC dc, const RECT& r, unsigned flags, BYTE alpha) {
    if (m_image.IsNull() || alpha == 0) return;
    CSize sz = m_image.GetSize();
    int frame = CTabBarModel::FrameOf(flags);
    RECT src;
    if (m_model.vertical) {
        int fh = sz.cy / 5;
        src = RECT{0, frame * fh, sz.cx, (frame + 1) * fh};
        BlendNinePart(dc, r, m_image, src, 0, 8, 0, 8, alpha);
    } else {
        int fw = sz.cx / 5;
        src = RECT{frame * fw, 0, (frame + 1) * fw, sz.cy};
        BlendNinePart(dc, r, m_image, src, 14, 6, 14, 6, alpha);
    }
}

void CSkinCmdBar::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    if (m_bkBrush.IsNull()) m_bkBrush.Attach(CreateParentBackgroundBrush(m_hWnd));
    CDibCanvas buf(rc.right, rc.bottom);
    ::FillRect(buf.dc(), &rc, m_bkBrush.IsNull() ? (HBRUSH)::GetStockObject(BLACK_BRUSH) : m_bkBrush.m_hObject);
    uint32_t now = SkinTick();
    HGDIOBJ oldFont = ::SelectObject(buf.dc(), m_font);
    ::SetBkMode(buf.dc(), TRANSPARENT);
    ::SetTextColor(buf.dc(), RGB(255, 255, 255));
    for (const auto& item : m_model.items) {
        RECT r = ToRect(item.rect);
        if (item.Fading()) {
            unsigned t = CTabBarModel::FadeProgress(item, now);
            DrawFrame(buf.dc(), r, item.previousFlags, (BYTE)(255 - t));
            DrawFrame(buf.dc(), r, item.flags, (BYTE)t);
        } else {
            DrawFrame(buf.dc(), r, item.flags, 255);
        }
        if (m_model.vertical) {
            RECT t = r;
            t.top += 9;
            t.bottom += 9;
            ::DrawTextA(buf.dc(), item.text.c_str(), (int)item.text.size(), &t, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        } else {
            ::DrawTextA(buf.dc(), item.text.c_str(), (int)item.text.size(), &r,
                        DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
    }
    ::SelectObject(buf.dc(), oldFont);
    ::BitBlt(dc, 0, 0, rc.right, rc.bottom, buf.dc(), 0, 0, SRCCOPY);
}

void CSkinCmdBar::OnMouseMove(UINT, CPoint pt) {
    ChangeStates(m_model.HitTest(pt.x, pt.y), kTabHover, kTabHover, 0);
    if (!m_tracking) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&t) != FALSE;
    }
}

void CSkinCmdBar::OnMouseLeave() {
    m_tracking = false;
    ChangeStates(-1, 0, kTabHover, 0);
}

void CSkinCmdBar::OnLButtonDown(UINT, CPoint pt) {
    if (m_model.HitTest(pt.x, pt.y) >= 0) SetCapture();
}

void CSkinCmdBar::OnLButtonUp(UINT, CPoint pt) {
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    int c = m_model.HitTest(pt.x, pt.y);
    if (c < 0) return;
    m_selected = c;
    Invalidate(FALSE);
    int id = m_model.items[c].id;
    if (id != 0) {
        HWND parent = ::GetParent(m_hWnd);
        if (parent) ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)m_hWnd);
    }
    if (!::IsWindow(m_hWnd)) return;
    ChangeStates(c, kTabSelected, kTabSelected, kFadeMs);
    m_selected = c;
    Invalidate(FALSE);
}
