#include "skin/hyperlink.h"

#include <cstdio>

#include "base/seams.h"
#include "skin/ctlmodel.h"

namespace {

const UINT_PTR kAnimateTimer = 1009;

COLORREF RegistryColor(const char* value, COLORREF defaultValue) {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Settings", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return defaultValue;
    char text[64] = {0};
    DWORD size = sizeof(text) - 1, type = 0;
    COLORREF c = defaultValue;
    if (::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        c = ParseAnchorColor(text, defaultValue);
    ::RegCloseKey(key);
    return c;
}

}  // namespace

COLORREF ParseAnchorColor(const char* text, COLORREF defaultValue) {
    int r, g, b;
    char tail;
    if (!text || std::sscanf(text, " %d , %d , %d %c", &r, &g, &b, &tail) != 3) return defaultValue;
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return defaultValue;
    return RGB(r, g, b);
}

CSkinBitmapHyperLink::CSkinBitmapHyperLink()
    : m_rcLink(), m_rcImage(), m_clrLink(RGB(0, 0, 255)), m_clrVisited(RGB(128, 0, 128)), m_clrHover(0x9B9B9B) {}

CSkinBitmapHyperLink::~CSkinBitmapHyperLink() {
    if (m_hFontUnderline) ::DeleteObject(m_hFontUnderline);
}

void CSkinBitmapHyperLink::SetLabel(const char* text) {
    m_label = text ? text : "";
    if (m_hWnd) {
        ::SetWindowTextA(m_hWnd, m_label.c_str());
        Invalidate();
    }
}

void CSkinBitmapHyperLink::SetColors(COLORREF link, COLORREF visited, COLORREF hover) {
    m_clrLink = link;
    m_clrVisited = visited;
    m_clrHover = hover;
}

void CSkinBitmapHyperLink::SetLinkFont(HFONT font) {
    m_hFont = font;
    if (m_hFontUnderline) {
        ::DeleteObject(m_hFontUnderline);
        m_hFontUnderline = nullptr;
    }
    LOGFONTA lf;
    if (font && ::GetObjectA(font, sizeof(lf), &lf)) {
        lf.lfUnderline = TRUE;
        m_hFontUnderline = ::CreateFontIndirectA(&lf);
    }
}

void CSkinBitmapHyperLink::AddImage(HBITMAP image) {
    if (image) m_images.push_back(image);
}

BOOL CSkinBitmapHyperLink::SubclassWindow(HWND hWnd) {
    if (!CWindowImplRootT<CWindow>::SubclassWindow(hWnd)) return FALSE;
    ModifyStyle(0, SS_NOTIFY);
    Init();
    return TRUE;
}

LRESULT CSkinBitmapHyperLink::OnCreate(LPCREATESTRUCTA) {
    Init();
    SetMsgHandled(FALSE);
    return 0;
}

void CSkinBitmapHyperLink::Init() {
    if (m_label.empty()) m_label = GetWindowText();
    if (m_url.empty()) m_url = m_label;
    m_clrLink = RegistryColor("Anchor Color", m_clrLink);
    m_clrVisited = RegistryColor("Anchor Color Visited", m_clrVisited);
    if (!m_hFont) SetLinkFont(GetParent().GetFont() ? GetParent().GetFont() : GetFont());
    if (m_animate) SetTimer(kAnimateTimer, 1000);
    if (!(m_extStyle & HLINK_NOTOOLTIP) && !m_tip.m_hWnd && m_tip.Create(m_hWnd)) {
        m_tip.SetMaxTipWidth(400);
        m_tip.AddTool(m_hWnd, (UINT_PTR)m_hWnd, nullptr, m_url.c_str(), TTF_IDISHWND);
        m_tip.Activate(TRUE);
    }
}

LRESULT CSkinBitmapHyperLink::OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_tip.m_hWnd) {
        MSG m = {m_hWnd, msg, wParam, lParam, 0, {0, 0}};
        m_tip.RelayEvent(&m);
    }
    SetMsgHandled(FALSE);
    return 0;
}

// "before<A>link</A>after" on one line: only the tagged part is the link.
void CSkinBitmapHyperLink::DrawTagged(HDC dc, const RECT& text, UINT align, HFONT linkFont, COLORREF linkColor) {
    std::string before, link, after;
    SplitLinkTags(m_label, &before, &link, &after);
    struct Part {
        const std::string* s;
        HFONT font;
        COLORREF color;
        SIZE size;
    } parts[3] = {{&before, m_hFont, ::GetSysColor(COLOR_WINDOWTEXT), {0, 0}},
                  {&link, linkFont, linkColor, {0, 0}},
                  {&after, m_hFont, ::GetSysColor(COLOR_WINDOWTEXT), {0, 0}}};
    int total = 0;
    for (Part& p : parts) {
        HGDIOBJ old = p.font ? ::SelectObject(dc, p.font) : nullptr;
        ::GetTextExtentPoint32A(dc, p.s->c_str(), (int)p.s->size(), &p.size);
        if (old) ::SelectObject(dc, old);
        total += p.size.cx;
    }
    int x = align == DT_CENTER ? text.left + (text.right - text.left - total) / 2
            : align == DT_RIGHT ? text.right - total
                                : text.left;
    for (int i = 0; i < 3; ++i) {
        Part& p = parts[i];
        HGDIOBJ old = p.font ? ::SelectObject(dc, p.font) : nullptr;
        ::SetTextColor(dc, p.color);
        ::TextOutA(dc, x, text.top, p.s->c_str(), (int)p.s->size());
        if (old) ::SelectObject(dc, old);
        if (i == 1) ::SetRect(&m_rcLink, x, text.top, x + p.size.cx, text.top + p.size.cy);
        x += p.size.cx;
    }
}

bool CSkinBitmapHyperLink::HitLink(POINT pt) const {
    if (::IsRectEmpty(&m_rcLink) && m_hWnd) {
        // Not painted yet: lay the text out as painting would.
        HDC dc = ::GetDC(m_hWnd);
        HDC mem = ::CreateCompatibleDC(dc);
        const_cast<CSkinBitmapHyperLink*>(this)->Paint(mem);
        ::DeleteDC(mem);
        ::ReleaseDC(m_hWnd, dc);
    }
    return ::PtInRect(&m_rcLink, pt) || (!m_images.empty() && ::PtInRect(&m_rcImage, pt));
}

void CSkinBitmapHyperLink::Paint(HDC dc) {
    RECT client;
    GetClientRect(&client);
    // The parent's background, as it gives it to its static controls.
    HBRUSH brush = reinterpret_cast<HBRUSH>(GetParent().SendMessage(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)m_hWnd));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));

    RECT text = client;
    if (!m_images.empty()) {
        BITMAP bm = {};
        ::GetObjectA(m_images[m_currentImage % m_images.size()], sizeof(bm), &bm);
        int x = 0;
        if (m_extStyle & HLINK_RIGHTIMAGE) {
            x = client.right - bm.bmWidth;
            text.right = client.right - bm.bmWidth;
        } else {
            text.left = bm.bmWidth + 5;
        }
        ::DrawStateA(dc, nullptr, nullptr, (LPARAM)m_images[m_currentImage % m_images.size()], 0, x, 0, bm.bmWidth,
                     bm.bmHeight, DST_BITMAP);
        ::SetRect(&m_rcImage, x, 0, x + bm.bmWidth, bm.bmHeight);
    }
    bool underline = !(m_extStyle & HLINK_UNDERLINEHOVER) || m_hover;
    HFONT font = underline && m_hFontUnderline ? m_hFontUnderline : m_hFont;
    HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    COLORREF color = !IsWindowEnabled() ? ::GetSysColor(COLOR_GRAYTEXT)
                     : (m_extStyle & HLINK_UNDERLINEHOVER) && m_hover ? m_clrHover
                     : m_visited ? m_clrVisited
                                 : m_clrLink;
    ::SetTextColor(dc, color);
    ::SetBkMode(dc, TRANSPARENT);
    DWORD style = GetStyle();
    UINT align = (style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : (style & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    if ((m_extStyle & HLINK_USETAGS) && SplitLinkTags(m_label, nullptr, nullptr, nullptr)) {
        DrawTagged(dc, text, align, font, color);
        if (::GetFocus() == m_hWnd) ::DrawFocusRect(dc, &m_rcLink);
        if (old) ::SelectObject(dc, old);
        return;
    }
    RECT measured = text;
    ::DrawTextA(dc, m_label.c_str(), -1, &measured, DT_WORDBREAK | DT_CALCRECT | align);
    int width = measured.right - measured.left;
    if (align == DT_CENTER) measured.left = text.left + (text.right - text.left - width) / 2;
    else if (align == DT_RIGHT) measured.left = text.right - width;
    measured.right = measured.left + width;
    m_rcLink = measured;
    ::DrawTextA(dc, m_label.c_str(), -1, &text, DT_WORDBREAK | align);
    if (::GetFocus() == m_hWnd) ::DrawFocusRect(dc, &m_rcLink);
    if (old) ::SelectObject(dc, old);
}

void CSkinBitmapHyperLink::OnPaint(HDC given) {
    if (given) {
        Paint(given);
        return;
    }
    CPaintDC dc(m_hWnd);
    Paint(dc.m_hDC);
}

void CSkinBitmapHyperLink::OnTimer(UINT_PTR id) {
    if (id != kAnimateTimer || !m_animate) {
        SetMsgHandled(FALSE);
        return;
    }
    if (!m_images.empty()) m_currentImage = (m_currentImage + 1) % m_images.size();
    Invalidate();
}

BOOL CSkinBitmapHyperLink::OnSetCursor(HWND, UINT hitTest, UINT) {
    CPoint pt;
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    if (hitTest != HTCLIENT || !HitLink(pt)) {
        SetMsgHandled(FALSE);
        return FALSE;
    }
    ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
    return TRUE;
}

void CSkinBitmapHyperLink::OnMouseMove(UINT, CPoint pt) {
    bool over = HitLink(pt);
    if (over != m_hover) {
        m_hover = over;
        Invalidate();
    }
    if (over && !m_tracking) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&t) != 0;
    }
}

void CSkinBitmapHyperLink::OnMouseLeave() {
    m_tracking = false;
    if (m_hover) {
        m_hover = false;
        Invalidate();
    }
}

void CSkinBitmapHyperLink::OnLButtonDown(UINT, CPoint pt) {
    if (HitLink(pt)) {
        SetFocus();
        SetCapture();
    }
}

void CSkinBitmapHyperLink::OnLButtonUp(UINT, CPoint pt) {
    if (::GetCapture() != m_hWnd) return;
    ::ReleaseCapture();
    if (HitLink(pt)) Navigate();
}

void CSkinBitmapHyperLink::OnChar(UINT ch, UINT, UINT) {
    if (ch == VK_RETURN || ch == VK_SPACE) Navigate();
}

// The focus rectangle follows the focus; the static control's own handling still runs.
void CSkinBitmapHyperLink::OnSetFocus(HWND) {
    Invalidate();
    SetMsgHandled(FALSE);
}
void CSkinBitmapHyperLink::OnKillFocus(HWND) {
    Invalidate();
    SetMsgHandled(FALSE);
}

void CSkinBitmapHyperLink::OnDestroy() {
    KillTimer(kAnimateTimer);
    if (m_tip.m_hWnd) ::DestroyWindow(m_tip.Detach());
    SetMsgHandled(FALSE);
}

bool CSkinBitmapHyperLink::Navigate() {
    HWND parent = ::GetParent(m_hWnd);
    int id = GetDlgCtrlID();
    if ((m_extStyle & HLINK_NOTIFYBUTTON) == HLINK_NOTIFYBUTTON) {
        NMHDR nm = {m_hWnd, (UINT_PTR)id, (UINT)NM_CLICK};
        ::SendMessageA(parent, WM_NOTIFY, id, (LPARAM)&nm);
        return true;
    }
    if (m_extStyle & HLINK_COMMANDBUTTON) {
        ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)m_hWnd);
        return true;
    }
    if (!OpenWebPage(m_url.c_str())) return false;
    m_visited = true;
    Invalidate();
    return true;
}
