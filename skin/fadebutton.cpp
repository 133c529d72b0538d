#include "skin/fadebutton.h"

#include <algorithm>
#include <memory>

// ---- Dark command button ---------------------------------------------------------------------------

BOOL CSkinDarkCommandButtonCtrl::SetButtonImage(HBITMAP icon, const char* caption, bool dropArrow) {
    m_styleFlags = FADEBTN_TRANSPARENT;
    if (m_hWnd) Invalidate(FALSE);
    std::string text = caption ? caption : "";
    BITMAP ib = {};
    bool hasIcon = icon && ::GetObjectA(icon, sizeof(ib), &ib);
    int iconW = hasIcon ? ib.bmWidth : 0, iconH = hasIcon ? (ib.bmHeight < 0 ? -ib.bmHeight : ib.bmHeight) : 0;
    HFONT font = m_hWnd ? GetFont() : nullptr;
    SIZE textSize = {0, 0};
    {
        CDibCanvas measure(1, 1);
        HGDIOBJ old = font ? ::SelectObject(measure.dc(), font) : nullptr;
        if (!text.empty()) ::GetTextExtentPoint32A(measure.dc(), text.c_str(), (int)text.size(), &textSize);
        if (old) ::SelectObject(measure.dc(), old);
    }
    const int W = DarkButtonFrameWidth(iconW, hasIcon, textSize.cx, !text.empty(), dropArrow);
    const int H = kHeight;
    CDibCanvas strip(4 * W, H);
    if (!strip.bitmap() || !strip.bits()) {
        SetBitmap(nullptr);
        return FALSE;
    }
    HDC src = ::CreateCompatibleDC(strip.dc());
    auto copy = [&](HBITMAP piece, int x, int y, int w, int h, int sx, int sw) {
        if (!piece) return;
        HGDIOBJ old = ::SelectObject(src, piece);
        if (sw == w) ::BitBlt(strip.dc(), x, y, w, h, src, sx, 0, SRCCOPY);
        else {
            ::SetStretchBltMode(strip.dc(), COLORONCOLOR);
            ::StretchBlt(strip.dc(), x, y, w, h, src, sx, 0, sw, h, SRCCOPY);
        }
        ::SelectObject(src, old);
    };
    for (int f = 0; f < 4; ++f) {
        int x0 = f * W;
        copy(m_left, x0, 0, kCapWidth, H, kCapWidth * f, kCapWidth);
        copy(m_middle, x0 + kCapWidth, 0, W - 2 * kCapWidth, H, kMiddleWidth * f, kMiddleWidth);
        copy(m_right, x0 + W - kCapWidth, 0, kCapWidth, H, kCapWidth * f, kCapWidth);
        if (hasIcon) {
            int fw = iconW / 4, x = x0 + 10;
            RECT dst = {x, 14 - iconH / 2, x + fw, 14 - iconH / 2 + iconH};
            RECT part = {fw * f, 0, fw * (f + 1), iconH};
            BlendBitmapPart(strip.dc(), dst, icon, part, 255);
        }
    }
    ::DeleteDC(src);
    // Caption and arrow are GDI drawing: keep them opaque through the later blend.
    CDrawnAlphaFix fix(strip.bitmap());
    HGDIOBJ oldFont = font ? ::SelectObject(strip.dc(), font) : nullptr;
    ::SetBkMode(strip.dc(), TRANSPARENT);
    for (int f = 0; f < 4; ++f) {
        COLORREF color = f == 0 ? RGB(0x77, 0x77, 0x77) : RGB(255, 255, 255);
        int x = f * W + 10 + (hasIcon ? iconW / 4 : 0);
        if (!text.empty()) {
            ::SetTextColor(strip.dc(), color);
            ::TextOutA(strip.dc(), x, 13 - textSize.cy / 2, text.c_str(), (int)text.size());
            x += textSize.cx;
            if (hasIcon) x += 4;
        }
        if (dropArrow) {
            HPEN pen = ::CreatePen(PS_SOLID, 1, color);
            HBRUSH brush = ::CreateSolidBrush(color);
            HGDIOBJ op = ::SelectObject(strip.dc(), pen), ob = ::SelectObject(strip.dc(), brush);
            POINT tri[3] = {{x + 2, 12}, {x + 8, 12}, {x + 5, 15}};
            ::Polygon(strip.dc(), tri, 3);
            ::SelectObject(strip.dc(), op);
            ::SelectObject(strip.dc(), ob);
            ::DeleteObject(pen);
            ::DeleteObject(brush);
        }
    }
    if (oldFont) ::SelectObject(strip.dc(), oldFont);
    fix.Apply();
    SetBitmap(strip.Detach());
    if (m_hWnd) ResizeClient(W, H);
    m_imageSet = true;
    return TRUE;
}

// ---- Dark command bar -------------------------------------------------------------------------------

CSkinDarkCommandBarCtrl::~CSkinDarkCommandBarCtrl() = default;

void CSkinDarkCommandBarCtrl::SetBitmaps(HBITMAP background, HBITMAP left, HBITMAP middle, HBITMAP right) {
    m_background.Attach(background);
    m_left.Attach(left);
    m_middle.Attach(middle);
    m_right.Attach(right);
    if (m_hWnd) Invalidate(FALSE);
}

LRESULT CSkinDarkCommandBarCtrl::OnCreate(LPCREATESTRUCTA) {
    LOGFONTA lf;
    if (GetMenuLogFont(&lf)) m_font.Attach(CreateGbkFont(lf));
    else m_font.CreateFont(-12, "宋体");
    SetFont(m_font, FALSE);
    TEXTMETRICA tm = {};
    {
        CClientDC dc(m_hWnd);
        CSelectObject sel(dc, m_font);
        ::GetTextMetricsA(dc, &tm);
    }
    ResizeClient(-1, std::max((int)tm.tmHeight, 32), FALSE);
    m_spacing = 2;
    m_tip.Create(m_hWnd);
    return 0;
}

void CSkinDarkCommandBarCtrl::OnDestroy() {
    // The buttons go after the bar's WM_DESTROY: they see the control gone and leave it be.
    if (m_tip.m_hWnd) ::DestroyWindow(m_tip.Detach());
    SetMsgHandled(FALSE);
}

BOOL CSkinDarkCommandBarCtrl::AddButton(const CommandButtonRecord& in) {
    CommandButtonRecord rec = in;
    RECT r = {10, 2, 80, 31};
    if (!m_buttons.empty()) r.left = m_buttons.back().rect.right + m_spacing;
    auto made = std::make_unique<CSkinDarkCommandButtonCtrl>(m_left, m_middle, m_right);
    if (m_tip.m_hWnd) made->ShareToolTip(m_tip);
    if (!made->Create(m_hWnd, r, "", WS_CHILD, 0, (UINT)rec.id)) {
        if (rec.icon) ::DeleteObject(rec.icon);
        return FALSE;  // no window, so no final message: made frees it
    }
    // From here the window frees itself at its final message.
    CSkinDarkCommandButtonCtrl* button = made.release();
    button->SetAutoDelete(true);
    button->SetFont(m_font, TRUE);
    if (!button->SetButtonImage(rec.icon, rec.caption.c_str(), rec.dropArrow)) {
        button->DestroyWindow();
        if (rec.icon) ::DeleteObject(rec.icon);
        return FALSE;
    }
    button->SetToolTipText(rec.tooltip.c_str());
    rec.window = button->m_hWnd;
    RECT wr;
    ::GetWindowRect(rec.window, &wr);
    ::MapWindowPoints(nullptr, m_hWnd, (LPPOINT)&wr, 2);
    rec.rect = wr;
    rec.width = wr.right - wr.left + 1;
    if (rec.icon) ::DeleteObject(rec.icon);  // the composed strip holds its pixels
    rec.icon = nullptr;
    m_buttons.push_back(rec);
    LayoutButtons();
    return TRUE;
}

void CSkinDarkCommandBarCtrl::LayoutButtons() {
    if (!m_hWnd) return;
    RECT rc;
    GetClientRect(&rc);
    std::vector<int> rights;
    for (const auto& b : m_buttons) rights.push_back(b.rect.right);
    std::vector<bool> shown = CommandBarVisibility(rights, rc.right);
    for (size_t i = 0; i < m_buttons.size(); ++i)
        ::ShowWindow(m_buttons[i].window, shown[i] ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// A button's command goes on to the bar's parent unchanged; menus and accelerators are not ours.
LRESULT CSkinDarkCommandBarCtrl::OnCommand(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!lParam) {
        SetMsgHandled(FALSE);
        return 0;
    }
    HWND parent = ::GetParent(m_hWnd);
    if (parent) ::SendMessageA(parent, msg, wParam, lParam);
    return 1;
}

void CSkinDarkCommandBarCtrl::DoPaint(HDC dc) {
    RECT rc;
    GetClientRect(&rc);
    int w = rc.right, h = rc.bottom;
    if (!m_background.IsNull()) {
        CSize sz = m_background.GetSize();
        HDC src = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(src, m_background);
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, 0, 0, w, h, src, 0, 0, sz.cx, sz.cy, SRCCOPY);
        ::SelectObject(src, old);
        ::DeleteDC(src);
    } else {
        TRIVERTEX v[6] = {
            {0, 0, 90 << 8, 100 << 8, 130 << 8, 0},         {w, h / 2 - 2, 53 << 8, 58 << 8, 69 << 8, 0},
            {0, h / 2 - 2, 0, 0, 0, 0},                     {w, h - 9, 0, 0, 0, 0},
            {0, h - 9, 0, 0, 0, 0},                         {w, h, 76 << 8, 94 << 8, 139 << 8, 0},
        };
        GRADIENT_RECT g[3] = {{0, 1}, {2, 3}, {4, 5}};
        ::GradientFill(dc, v, 6, g, 3, GRADIENT_FILL_RECT_V);
    }
}
