// A hyperlink over a static control: drawn over its parent's background, with optional images
// beside the text that can cycle once a second.
//
// CHyperLinkImpl<T> is the link itself (text, URL, colours, fonts, link rectangle, tooltip,
// keyboard and mouse, opening the URL); CSkinBitmapHyperLinkImpl<T> adds the images, the hover
// colour and the animation. T may replace Init, Paint and HitLink.
#pragma once

#include <string>
#include <vector>

#include "base/seams.h"
#include "skin/ctlmodel.h"
#include "winfw/winfw.h"

enum : DWORD {
    HLINK_UNDERLINEHOVER = 0x2,   // underline only while hovered
    HLINK_COMMANDBUTTON = 0x4,    // WM_COMMAND to the parent instead of opening the URL
    HLINK_NOTIFYBUTTON = 0xC,     // WM_NOTIFY (NM_CLICK) to the parent instead
    HLINK_USETAGS = 0x10,
    HLINK_NOTOOLTIP = 0x40,
    HLINK_LEFTIMAGE = 0x80,
    HLINK_RIGHTIMAGE = 0x100,
};

// "r,g,b" as Internet Explorer stores its link colours; the default when unreadable.
COLORREF ParseAnchorColor(const char* text, COLORREF defaultValue);
// Internet Explorer's link colour setting of that name, or the default.
COLORREF ReadAnchorColor(const char* value, COLORREF defaultValue);

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CHyperLinkImpl : public CWindowImpl<T, TBase, TWinTraits> {
    typedef CWindowImpl<T, TBase, TWinTraits> Base;

public:
    // The window's own members, named here because the base depends on T.
    using Base::m_hWnd;
    using Base::GetClientRect;
    using Base::GetDlgCtrlID;
    using Base::GetFont;
    using Base::GetParent;
    using Base::GetStyle;
    using Base::GetWindowText;
    using Base::Invalidate;
    using Base::IsWindowEnabled;
    using Base::KillTimer;
    using Base::ModifyStyle;
    using Base::ScreenToClient;
    using Base::SetCapture;
    using Base::SetFocus;
    using Base::SetTimer;

    CHyperLinkImpl() : m_rcLink(), m_clrLink(RGB(0, 0, 255)), m_clrVisited(RGB(128, 0, 128)) {}
    ~CHyperLinkImpl() override {
        if (m_hFontUnderline) ::DeleteObject(m_hFontUnderline);
    }

    void SetHyperLink(const char* url) { m_url = url ? url : ""; }
    void SetLabel(const char* text) {
        m_label = text ? text : "";
        if (m_hWnd) {
            ::SetWindowTextA(m_hWnd, m_label.c_str());
            Invalidate();
        }
    }
    const std::string& GetHyperLink() const { return m_url; }
    const std::string& GetLabel() const { return m_label; }
    void SetExtendedStyle(DWORD style) { m_extStyle = style; }
    DWORD GetExtendedStyle() const { return m_extStyle; }
    void SetLinkColors(COLORREF link, COLORREF visited) {
        m_clrLink = link;
        m_clrVisited = visited;
    }
    // The font is the caller's; an underlined copy is made of it.
    void SetLinkFont(HFONT font) {
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
    bool IsVisited() const { return m_visited; }
    HWND GetToolTip() const { return m_tip.m_hWnd; }

    // Attaches to a static control of a dialog.
    BOOL SubclassWindow(HWND hWnd) {
        if (!CWindowImplRootT<TBase>::SubclassWindow(hWnd)) return FALSE;
        ModifyStyle(0, SS_NOTIFY);
        static_cast<T*>(this)->Init();
        return TRUE;
    }
    // Opens the link (or notifies the parent); true on success.
    bool Navigate() {
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

    BEGIN_MSG_MAP(CHyperLinkImpl)
        MSG_RAW_RANGE(WM_MOUSEFIRST, WM_MOUSELAST, OnRelayMouse)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_SETCURSOR(OnSetCursor)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_CHAR(OnChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_SETFOCUS(OnSetFocus)
        MSG_WM_KILLFOCUS(OnKillFocus)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    // Where the text was drawn (client coordinates).
    RECT m_rcLink;

    // Label and URL from the window, the user's link colours, the parent's font, the tooltip.
    void Init() {
        if (m_label.empty()) m_label = GetWindowText();
        if (m_url.empty()) m_url = m_label;
        m_clrLink = ReadAnchorColor("Anchor Color", m_clrLink);
        m_clrVisited = ReadAnchorColor("Anchor Color Visited", m_clrVisited);
        if (!m_hFont) SetLinkFont(GetParent().GetFont() ? GetParent().GetFont() : GetFont());
        if (!(m_extStyle & HLINK_NOTOOLTIP) && !m_tip.m_hWnd && m_tip.Create(m_hWnd)) {
            m_tip.SetMaxTipWidth(400);
            m_tip.AddTool(m_hWnd, (UINT_PTR)m_hWnd, nullptr, m_url.c_str(), TTF_IDISHWND);
            m_tip.Activate(TRUE);
        }
    }
    // The parent's background, as it gives it to its static controls.
    void PaintBackground(HDC dc, const RECT& client) {
        HBRUSH brush = reinterpret_cast<HBRUSH>(GetParent().SendMessage(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)m_hWnd));
        ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
    }
    COLORREF LinkColor() const {
        return !IsWindowEnabled() ? ::GetSysColor(COLOR_GRAYTEXT) : m_visited ? m_clrVisited : m_clrLink;
    }
    // The text in its colour inside `text`, by the static control's alignment; sets m_rcLink.
    void PaintLink(HDC dc, const RECT& textRect, COLORREF color) {
        RECT text = textRect;
        bool underline = !(m_extStyle & HLINK_UNDERLINEHOVER) || m_hover;
        HFONT font = underline && m_hFontUnderline ? m_hFontUnderline : m_hFont;
        HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
        ::SetTextColor(dc, color);
        ::SetBkMode(dc, TRANSPARENT);
        DWORD style = GetStyle();
        UINT align = (style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER
                     : (style & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT
                                                         : DT_LEFT;
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
    void Paint(HDC dc) {
        RECT client;
        GetClientRect(&client);
        PaintBackground(dc, client);
        PaintLink(dc, client, LinkColor());
    }
    bool HitLink(POINT pt) const {
        if (::IsRectEmpty(&m_rcLink) && m_hWnd) {
            // Not painted yet: lay the text out as painting would.
            HDC dc = ::GetDC(m_hWnd);
            HDC mem = ::CreateCompatibleDC(dc);
            static_cast<T*>(const_cast<CHyperLinkImpl*>(this))->Paint(mem);
            ::DeleteDC(mem);
            ::ReleaseDC(m_hWnd, dc);
        }
        return ::PtInRect(&m_rcLink, pt) != FALSE;
    }

protected:
    LRESULT OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (m_tip.m_hWnd) {
            MSG m = {m_hWnd, msg, wParam, lParam, 0, {0, 0}};
            m_tip.RelayEvent(&m);
        }
        SetMsgHandled(FALSE);
        return 0;
    }
    LRESULT OnCreate(LPCREATESTRUCTA) {
        static_cast<T*>(this)->Init();
        SetMsgHandled(FALSE);
        return 0;
    }
    void OnPaint(HDC given) {
        PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) { static_cast<T*>(this)->Paint(dc); });
    }
    void OnPrintClient(HDC dc, UINT) { static_cast<T*>(this)->Paint(dc); }
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    BOOL OnSetCursor(HWND, UINT hitTest, UINT) {
        CPoint pt;
        ::GetCursorPos(&pt);
        ScreenToClient(&pt);
        if (hitTest != HTCLIENT || !static_cast<T*>(this)->HitLink(pt)) {
            SetMsgHandled(FALSE);
            return FALSE;
        }
        ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
        return TRUE;
    }
    void OnMouseMove(UINT, CPoint pt) {
        bool over = static_cast<T*>(this)->HitLink(pt);
        if (over != m_hover) {
            m_hover = over;
            Invalidate();
        }
        if (over && !m_tracking) {
            TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
            m_tracking = ::TrackMouseEvent(&t) != 0;
        }
    }
    void OnMouseLeave() {
        m_tracking = false;
        if (m_hover) {
            m_hover = false;
            Invalidate();
        }
    }
    void OnLButtonDown(UINT, CPoint pt) {
        if (static_cast<T*>(this)->HitLink(pt)) {
            SetFocus();
            SetCapture();
        }
    }
    void OnLButtonUp(UINT, CPoint pt) {
        if (::GetCapture() != m_hWnd) return;
        ::ReleaseCapture();
        if (static_cast<T*>(this)->HitLink(pt)) Navigate();
    }
    void OnChar(UINT ch, UINT, UINT) {
        if (ch == VK_RETURN || ch == VK_SPACE) Navigate();
    }
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTCHARS; }
    // The focus rectangle follows the focus; the static control's own handling still runs.
    void OnSetFocus(HWND) {
        Invalidate();
        SetMsgHandled(FALSE);
    }
    void OnKillFocus(HWND) {
        Invalidate();
        SetMsgHandled(FALSE);
    }
    void OnDestroy() {
        if (m_tip.m_hWnd) ::DestroyWindow(m_tip.Detach());
        SetMsgHandled(FALSE);
    }

    // "before<A>link</A>after" on one line: only the tagged part is the link.
    void DrawTagged(HDC dc, const RECT& text, UINT align, HFONT linkFont, COLORREF linkColor) {
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

    std::string m_url;
    std::string m_label;
    COLORREF m_clrLink, m_clrVisited;
    HFONT m_hFont = nullptr;           // normal text (not owned)
    HFONT m_hFontUnderline = nullptr;  // owned
    DWORD m_extStyle = 0;
    bool m_hover = false;
    bool m_visited = false;
    bool m_tracking = false;
    CToolTipCtrl m_tip;  // shows the URL, unless HLINK_NOTOOLTIP
};

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CSkinBitmapHyperLinkImpl : public CHyperLinkImpl<T, TBase, TWinTraits> {
    typedef CHyperLinkImpl<T, TBase, TWinTraits> LinkBase;

public:
    enum : UINT_PTR { kAnimateTimer = 1009 };

    using LinkBase::m_hWnd;
    using LinkBase::m_rcLink;

    CSkinBitmapHyperLinkImpl() : m_rcImage(), m_clrHover(0x9B9B9B) {}

    void SetColors(COLORREF link, COLORREF visited, COLORREF hover) {
        this->SetLinkColors(link, visited);
        m_clrHover = hover;
    }
    // Images belong to the caller; a null one is ignored.
    void AddImage(HBITMAP image) {
        if (image) m_images.push_back(image);
    }
    void SetAnimate(bool animate) { m_animate = animate; }

    BEGIN_MSG_MAP(CSkinBitmapHyperLinkImpl)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_DESTROY(OnDestroy)
        CHAIN_MSG_MAP(LinkBase)
    END_MSG_MAP()

    // Where the current image was drawn (client coordinates).
    RECT m_rcImage;

    void Init() {
        LinkBase::Init();
        if (m_animate) this->SetTimer(kAnimateTimer, 1000);
    }
    // The parent's background, the current image at the left or the right, then the text; while
    // hovered (with underline-on-hover) the text takes the hover colour.
    void Paint(HDC dc) {
        RECT client;
        this->GetClientRect(&client);
        this->PaintBackground(dc, client);
        RECT text = client;
        if (!m_images.empty()) {
            HBITMAP image = m_images[m_currentImage % m_images.size()];
            BITMAP bm = {};
            ::GetObjectA(image, sizeof(bm), &bm);
            int x = 0;
            if (this->m_extStyle & HLINK_RIGHTIMAGE) {
                x = client.right - bm.bmWidth;
                text.right = client.right - bm.bmWidth;
            } else {
                text.left = bm.bmWidth + 5;
            }
            ::DrawStateA(dc, nullptr, nullptr, (LPARAM)image, 0, x, 0, bm.bmWidth, bm.bmHeight, DST_BITMAP);
            ::SetRect(&m_rcImage, x, 0, x + bm.bmWidth, bm.bmHeight);
        }
        COLORREF color = this->IsWindowEnabled() && (this->m_extStyle & HLINK_UNDERLINEHOVER) && this->m_hover
                             ? m_clrHover
                             : this->LinkColor();
        this->PaintLink(dc, text, color);
    }
    bool HitLink(POINT pt) const {
        return LinkBase::HitLink(pt) || (!m_images.empty() && ::PtInRect(&m_rcImage, pt));
    }

protected:
    void OnTimer(UINT_PTR id) {
        if (id != kAnimateTimer || !m_animate) {
            SetMsgHandled(FALSE);
            return;
        }
        if (!m_images.empty()) m_currentImage = (m_currentImage + 1) % m_images.size();
        this->Invalidate();
    }
    void OnDestroy() {
        this->KillTimer(kAnimateTimer);
        SetMsgHandled(FALSE);  // the link's own clean-up follows
    }

    std::vector<HBITMAP> m_images;
    COLORREF m_clrHover;
    bool m_animate = false;
    size_t m_currentImage = 0;
};

class CSkinBitmapHyperLink : public CSkinBitmapHyperLinkImpl<CSkinBitmapHyperLink> {
public:
    DECLARE_WND_CLASS("VelmoraHyperLink")
};
