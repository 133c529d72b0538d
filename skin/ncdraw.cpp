#include "skin/ncdraw.h"

#include <algorithm>

#include "base/gdicache.h"
#include "skin/skinmanager.h"

namespace {

// Draws the tiles of one border along x (horizontal) or y, `thickness` wide across it.
void DrawBorder(HDC dc, const CSkinBitmap& img, bool vertical, int start, int length, int across, int thickness,
                int headEnd, int tailStart) {
    if (img.IsNull() || length <= 0 || thickness <= 0) return;
    int imageLength = vertical ? img.GetHeight() : img.GetWidth();
    HDC src = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(src, img.m_hObject);
    for (const BorderTile& t : TileBorder(start, length, imageLength, headEnd, tailStart)) {
        if (vertical) ::BitBlt(dc, across, t.dest, thickness, t.length, src, 0, t.src, SRCCOPY);
        else ::BitBlt(dc, t.dest, across, t.length, thickness, src, t.src, 0, SRCCOPY);
    }
    ::SelectObject(src, old);
    ::DeleteDC(src);
}

}  // namespace

// ---- Caption menu button ---------------------------------------------------------------------------

CaptionMenuButton::CaptionMenuButton(int id, const char* label, HBITMAP image, int x, int y, HWND owner)
    : CaptionMenuButton(id, label, MakeSharedBitmap(image), x, y, owner) {}

CaptionMenuButton::CaptionMenuButton(int id, const char* label, SharedBitmap shared, int x, int y, HWND owner)
    : id(id), label(label ? label : ""), image(shared.get()), x(x), y(y), owner(owner), bm(), m_image(std::move(shared)) {
    if (image) ::GetObjectA(image, sizeof(bm), &bm);
    frameWidth = bm.bmWidth / 4;
    height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
}

CaptionMenuButton::~CaptionMenuButton() = default;

SkinRect CaptionMenuButton::Rect(int cw) const { return SkinRect(cw - x, y, cw - x + frameWidth, y + height); }

void CaptionMenuButton::Click() {
    RECT wr = {0, 0, 0, 0};
    if (owner) ::GetWindowRect(owner, &wr);
    POINT pt = {wr.right - x, wr.top + height};
    if (owner) ::SendMessageA(owner, kClickMessage, (WPARAM)id, MAKELPARAM(pt.x, pt.y));
    pressed = hover = false;
}

void CaptionMenuButton::Draw(HDC dc, int cw) {
    if (m_drawing || !image || frameWidth <= 0) return;
    m_drawing = true;
    int frame = spare ? 0 : pressed ? 3 : hover ? 2 : 1;
    SkinRect r = Rect(cw);
    RECT dst = ToRect(r);
    RECT src = {frame * frameWidth, 0, (frame + 1) * frameWidth, height};
    BlendBitmapPart(dc, dst, image, src, 255);
    if (!label.empty()) {
        CGdiCache* cache = GetGdiCache();
        // 12 pixels of character height: a 12-pixel cell leaves Chinese glyphs too small to read
        // where the face has no bitmaps at that size. The cache's font: never deleted here.
        HFONT font = cache ? cache->GetFont(-12, "宋体", false) : nullptr;
        HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, (hover || pressed) ? RGB(255, 255, 255) : spare ? RGB(16, 16, 16) : RGB(0, 0, 0));
        ::DrawTextA(dc, label.c_str(), (int)label.size(), &dst, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (old) ::SelectObject(dc, old);
    }
    m_drawing = false;
}

// ---- Frame -------------------------------------------------------------------------------------------

CNcDraw::CNcDraw() = default;
CNcDraw::~CNcDraw() = default;

bool CNcDraw::Attach(HWND frame) {
    m_hWndFrame = frame;
    bool ok = LoadTheme();
    DWORD style = (DWORD)::GetWindowLongPtrA(frame, GWL_STYLE);
    m_hadSizing = (style & WS_THICKFRAME) != 0;
    m_hadMinimize = (style & WS_MINIMIZEBOX) != 0;
    m_hadMaximize = (style & WS_MAXIMIZEBOX) != 0;
    if (!m_themeLoaded) return false;  // the system frame stays: its caption still works
    style &= ~(DWORD)(WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_THICKFRAME | WS_SYSMENU);
    ::SetWindowLongPtrA(frame, GWL_STYLE, (LONG_PTR)style);
    ::SetWindowPos(frame, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return ok;
}

bool CNcDraw::LoadTheme() {
    ThemeFrameParams p;
    ReadThemeFrameParams(&p);
    bool ok = true;
    for (CSkinBitmap* b : {&m_imgCaption, &m_imgLeft, &m_imgRight, &m_imgBottom, &m_imgClose, &m_imgRestore,
                           &m_imgMinimize, &m_imgMaximize})
        b->DeleteObject();
    ok &= m_imgCaption.Load(p.title.c_str(), p.colorMask);
    ok &= m_imgLeft.Load(p.leftBorder.c_str(), p.colorMask);
    ok &= m_imgRight.Load(p.rightBorder.c_str(), p.colorMask);
    ok &= m_imgBottom.Load(p.bottomBorder.c_str(), p.colorMask);
    SplitBorderImage(m_imgCaption.GetWidth(), p.topTopHeight, p.topBotHeight, &m_captionHead, &m_captionTail);
    SplitBorderImage(m_imgLeft.GetHeight(), p.leftTopHeight, p.leftBotHeight, &m_leftHead, &m_leftTail);
    SplitBorderImage(m_imgRight.GetHeight(), p.rightTopHeight, p.rightBotHeight, &m_rightHead, &m_rightTail);
    SplitBorderImage(m_imgBottom.GetWidth(), p.bottomTopHeight, p.bottomBotHeight, &m_bottomHead, &m_bottomTail);
    m_caption = m_imgCaption.GetHeight() / 2;
    m_left = m_imgLeft.GetWidth() / 2;
    m_right = m_imgRight.GetWidth() / 2;
    m_bottom = m_imgBottom.GetHeight() / 2;
    m_btnMin = m_btnMax = m_btnClose = m_btnRestore = RECT{0, 0, 0, 0};
    for (const ThemeFrameButton& b : p.buttons) {
        CSkinBitmap* img = b.type == 0 ? &m_imgClose
                           : b.type == 2 ? &m_imgMinimize
                           : m_imgMaximize.IsNull() ? &m_imgMaximize
                                                    : &m_imgRestore;
        RECT* rect = img == &m_imgClose ? &m_btnClose : img == &m_imgMinimize ? &m_btnMin
                     : img == &m_imgMaximize ? &m_btnMax : &m_btnRestore;
        if (!img->Load(b.image.c_str(), p.colorMask)) continue;
        int w = img->GetWidth() / (int)std::max(1u, p.buttonImgCount), h = img->GetHeight() / 2;
        *rect = RECT{(LONG)b.x, (LONG)b.y, (LONG)b.x - w, (LONG)b.y + h};
    }
    m_textActive = p.textColorActive;
    m_textInactive = p.textColorInactive;
    m_textShift = (int)p.textShift;
    m_textShiftVert = (int)p.textShiftVert;
    m_transparency = p.enableTransparency != 0;
    m_transparent = m_transparency ? p.colorMask : 0;
    m_themeLoaded = ok && m_caption > 0;
    return ok;
}

void CNcDraw::AddMenuButton(int id, const char* label, HBITMAP image, int x, int y) {
    AddMenuButton(id, label, MakeSharedBitmap(image), x, y);
}

void CNcDraw::AddMenuButton(int id, const char* label, SharedBitmap image, int x, int y) {
    m_menuButtons.push_back(std::make_unique<CaptionMenuButton>(id, label, std::move(image), x, y, m_hWndFrame));
}

int CNcDraw::ClientWidth() const {
    RECT rc = {0, 0, 0, 0};
    if (m_hWndFrame) ::GetClientRect(m_hWndFrame, &rc);
    return rc.right;
}

CRect CNcDraw::GetButtonRect(int type) const {
    RECT wr = {0, 0, 0, 0};
    if (m_hWndFrame) ::GetWindowRect(m_hWndFrame, &wr);
    int W = wr.right - wr.left;
    const RECT* r = type == 0 ? &m_btnClose : type == 2 ? &m_btnMin : &m_btnMax;
    if (type == 1 && m_state == kStateMaximized && !m_imgRestore.IsNull()) r = &m_btnRestore;
    if (type < 0 || type > 2 || (r->left == 0 && r->right == 0)) return CRect();
    return CRect(W - r->left, r->top, W - r->right, r->bottom);
}

NcGeometry CNcDraw::Geometry() const {
    NcGeometry g;
    RECT wr = {0, 0, 0, 0};
    ::GetWindowRect(m_hWndFrame, &wr);
    g.width = wr.right - wr.left;
    g.height = wr.bottom - wr.top;
    g.left = m_left, g.right = m_right, g.bottom = m_bottom, g.caption = m_caption;
    g.sizing = m_hadSizing, g.minimizeBox = m_hadMinimize, g.maximizeBox = m_hadMaximize;
    g.maximized = m_state == kStateMaximized;
    auto toSkin = [](const CRect& r) { return SkinRect(r.left, r.top, r.right, r.bottom); };
    g.close = toSkin(GetButtonRect(0));
    g.maximize = toSkin(GetButtonRect(1));
    g.minimize = toSkin(GetButtonRect(2));
    int cw = ClientWidth();
    for (const auto& b : m_menuButtons) g.menuButtons.push_back(b->Rect(cw));
    g.iconWidth = ::GetSystemMetrics(SM_CXSMICON);
    g.iconHeight = ::GetSystemMetrics(SM_CYSMICON);
    return g;
}

LRESULT CNcDraw::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* p) {
    if (!m_themeLoaded || !p) {
        SetMsgHandled(FALSE);
        return 0;
    }
    // Both forms carry the proposed window rectangle first; the client area is what the borders leave.
    RECT& r = p->rgrc[0];
    r.left += m_left;
    r.top += m_caption;
    r.right -= m_right;
    r.bottom -= m_bottom;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    if (calcValidRects) p->rgrc[1] = r;
    return 0;
}

UINT CNcDraw::OnNcHitTest(CPoint screen) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return 0;
    }
    RECT wr;
    ::GetWindowRect(m_hWndFrame, &wr);
    return (UINT)NcHitTest(Geometry(), screen.x - wr.left, screen.y - wr.top);
}

void CNcDraw::Repaint() {
    // A hidden frame shows nothing: showing it sends WM_NCPAINT, which paints it then.
    if (!m_themeLoaded || !::IsWindow(m_hWndFrame) || !::IsWindowVisible(m_hWndFrame)) return;
    HDC dc = ::GetWindowDC(m_hWndFrame);
    if (!dc) return;
    Paint(dc);
    ::ReleaseDC(m_hWndFrame, dc);
}

void CNcDraw::OnNcPaint(HRGN) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    m_ncPainted = true;
    Repaint();
}

void CNcDraw::DrawCaption(HDC dc, int W) {
    DrawBorder(dc, m_imgCaption, false, m_left, W - m_left - m_right + 1, 0, m_caption, m_captionHead, m_captionTail);
    // The sides start at the top: their heads continue the caption's corners.
    DrawBorder(dc, m_imgLeft, true, 0, m_imgLeft.GetHeight(), 0, m_left, m_leftHead, m_leftTail);
    DrawBorder(dc, m_imgRight, true, 0, m_imgRight.GetHeight(), W - m_right, m_right, m_rightHead, m_rightTail);
}

void CNcDraw::DrawFrameButton(HDC dc, const CSkinBitmap& image, int type, int code) {
    if (image.IsNull()) return;
    CRect r = GetButtonRect(type);
    if (r.IsRectEmpty()) return;
    int frame = m_pressed == code ? 1 : m_hover == code ? 2 : 0;
    int w = r.Width(), h = r.Height();
    RECT src = {frame * w, 0, (frame + 1) * w, h};
    image.Draw(dc, r.left, r.top, &src, m_transparent, m_transparency);
}

void CNcDraw::Paint(HDC wdc) {
    ++m_paints;
    RECT wr;
    ::GetWindowRect(m_hWndFrame, &wr);
    const int W = wr.right - wr.left, H = wr.bottom - wr.top, C = m_caption;
    if (W <= 0 || H <= 0) return;
    // Borders, below the caption strip.
    ::ExcludeClipRect(wdc, 0, 0, W, C);
    DrawBorder(wdc, m_imgLeft, true, 0, H, 0, m_left, m_leftHead, m_leftTail);
    DrawBorder(wdc, m_imgRight, true, 0, H, W - m_right, m_right, m_rightHead, m_rightTail);
    DrawBorder(wdc, m_imgBottom, false, m_left, W - m_left - m_right, H - m_bottom, m_bottom, m_bottomHead, m_bottomTail);
    ::SelectClipRgn(wdc, nullptr);

    // The caption, built off-screen.
    CDibCanvas cap(W, C);
    HDC dc = cap.dc();
    DrawCaption(dc, W);
    DrawFrameButton(dc, m_imgClose, 0, kHitClose);
    if (m_hadMinimize) DrawFrameButton(dc, m_imgMinimize, 2, kHitMinimize);
    if (m_hadMaximize)
        DrawFrameButton(dc, m_state == kStateMaximized && !m_imgRestore.IsNull() ? m_imgRestore : m_imgMaximize, 1,
                        kHitMaximize);
    int cw = ClientWidth();
    for (size_t i = 0; i < m_menuButtons.size(); ++i) {
        CaptionMenuButton& b = *m_menuButtons[i];
        int code = kHitMenuButton + (int)i;
        b.pressed = m_pressed == code;
        b.hover = m_hover == code;
        b.Draw(dc, cw);
    }
    // Icon.
    HICON icon = (HICON)::SendMessageA(m_hWndFrame, WM_GETICON, ICON_SMALL, 0);
    if (!icon) icon = (HICON)::SendMessageA(m_hWndFrame, WM_GETICON, ICON_BIG, 0);
    if (!icon) icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
    if (icon) {
        int sx = ::GetSystemMetrics(SM_CXSMICON), sy = ::GetSystemMetrics(SM_CYSMICON);
        HICON small = (HICON)::CopyImage(icon, IMAGE_ICON, sx, sy, 0);
        if (small) {
            ::DrawIconEx(dc, m_left, 5, small, sx, sy, 0, nullptr, DI_NORMAL);
            ::DestroyIcon(small);
        }
    }
    // Title: Chinese titles need a font that can show them.
    if (m_title.empty()) {
        char buf[260] = {0};
        ::GetWindowTextA(m_hWndFrame, buf, sizeof(buf));
        m_title = buf;
    }
    const std::string title = m_title.empty() ? std::string("Velmora") : m_title;
    CLogFont lf;
    lf.lfHeight = 14;
    lf.lfWeight = FW_BOLD;
    lf.lfPitchAndFamily = FF_SWISS;
    lf.SetFaceName("Arial");
    CFont font(CreateGbkFont(lf));
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    ::SetTextColor(dc, m_active ? m_textActive : m_textInactive);
    ::SetBkMode(dc, TRANSPARENT);
    RECT tr = {m_textShift, m_textShiftVert, W - (m_imgCaption.GetWidth() - m_captionTail), C};
    ::DrawTextA(dc, title.c_str(), (int)title.size(), &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    ::BitBlt(wdc, 0, 0, W, C, dc, 0, 0, SRCCOPY);
}

BOOL CNcDraw::OnNcActivate(BOOL active) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return TRUE;
    }
    // Default handling would paint the system caption over ours. Showing a frame activates it
    // just before its first WM_NCPAINT, which paints the active look anyway.
    m_active = active != FALSE;
    if (m_ncPainted) Repaint();
    return TRUE;
}

LRESULT CNcDraw::OnSetText(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return 0;
    }
    // Store the text without letting the system draw its caption over ours: for that moment the
    // window has no caption style (hiding it instead would unmap it under Wine).
    LONG_PTR style = ::GetWindowLongPtrA(m_hWndFrame, GWL_STYLE);
    bool caption = (style & WS_CAPTION) != 0;
    if (caption) ::SetWindowLongPtrA(m_hWndFrame, GWL_STYLE, style & ~(LONG_PTR)WS_CAPTION);
    LRESULT r = ::DefWindowProcA(m_hWndFrame, msg, wParam, lParam);
    if (caption) ::SetWindowLongPtrA(m_hWndFrame, GWL_STYLE, style);
    m_title = lParam ? (const char*)lParam : "";
    Repaint();
    return r;
}

void CNcDraw::OnNcMouseMove(UINT hit, CPoint) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    if (!m_tracking) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_HOVER | TME_LEAVE | TME_NONCLIENT, m_hWndFrame, HOVER_DEFAULT};
        m_tracking = ::TrackMouseEvent(&t) != FALSE;
    }
    // Only a change of look is worth a repaint of the whole frame.
    bool changed = m_hover != (int)hit || m_pressed != 0;
    m_hover = (int)hit;
    m_pressed = 0;
    if (changed) Repaint();
    if (IsSizingHit((int)hit) || ((int)hit == kHitCaption && m_state != kStateMaximized)) SetMsgHandled(FALSE);
}

void CNcDraw::OnNcMouseLeave() {
    m_tracking = false;
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    bool changed = m_hover != 0 || m_pressed != 0;
    m_hover = m_pressed = 0;
    if (changed) Repaint();
}

void CNcDraw::OpenSystemMenu() {
    POINT pt;
    ::GetCursorPos(&pt);
    HMENU menu = ::GetSystemMenu(m_hWndFrame, FALSE);
    if (!menu) return;
    UINT cmd = (UINT)::TrackPopupMenu(menu, TPM_LEFTBUTTON | TPM_RETURNCMD, pt.x, pt.y, 0, m_hWndFrame, nullptr);
    if (cmd) ::PostMessageA(m_hWndFrame, WM_SYSCOMMAND, cmd, MAKELPARAM(pt.x, pt.y));
}

void CNcDraw::OnNcLButtonDown(UINT hit, CPoint) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    m_hover = m_pressed = (int)hit;
    if (IsSizingHit((int)hit) || ((int)hit == kHitCaption && m_state != kStateMaximized)) {
        SetMsgHandled(FALSE);  // the system moves and sizes
        return;
    }
    if ((int)hit == kHitSysMenu) OpenSystemMenu();
    Repaint();
}

void CNcDraw::ClearMenuFlags() {
    for (auto& b : m_menuButtons) b->pressed = b->hover = false;
}

void CNcDraw::OnNcLButtonUp(UINT hit, CPoint) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    int code = (int)hit;
    bool wasPressed = m_pressed == code;
    m_hover = m_pressed = code;
    if (code >= kHitMenuButton && (size_t)(code - kHitMenuButton) < m_menuButtons.size()) {
        Repaint();
        m_menuButtons[code - kHitMenuButton]->Click();
        return;
    }
    m_hover = m_pressed = 0;
    if (wasPressed) {
        if (code == kHitClose) {
            ::SendMessageA(m_hWndFrame, WM_CLOSE, 0, 0);
            if (!::IsWindow(m_hWndFrame)) return;
        } else if (code == kHitMinimize && m_hadMinimize) {
            m_state = kStateMinimized;
            ::ShowWindow(m_hWndFrame, SW_MINIMIZE);
        } else if (code == kHitMaximize && m_hadMaximize) {
            if (m_state == kStateMaximized) Restore();
            else MaximizeToWorkArea();
        }
    }
    ClearMenuFlags();
    Repaint();
}

void CNcDraw::OnNcLButtonDblClk(UINT hit, CPoint) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    if ((int)hit != kHitCaption || !m_hadSizing) return;
    if (m_state == kStateMaximized) Restore();
    else MaximizeToWorkArea();
    m_hover = m_pressed = 0;
    Repaint();
}

void CNcDraw::OnNcRButtonDown(UINT hit, CPoint) {
    if (!m_themeLoaded || (int)hit != kHitCaption) {
        SetMsgHandled(FALSE);
        return;
    }
    OpenSystemMenu();
}

void CNcDraw::OnActivate(UINT state, BOOL, HWND) {
    m_active = state == WA_ACTIVE || state == WA_CLICKACTIVE;
    // Default processing still runs: it gives the window the keyboard focus.
    SetMsgHandled(FALSE);
}

void CNcDraw::OnGetMinMaxInfo(LPMINMAXINFO mmi) {
    if (!m_themeLoaded) {
        SetMsgHandled(FALSE);
        return;
    }
    mmi->ptMinTrackSize.x = 900;
    mmi->ptMinTrackSize.y = 680;
}

void CNcDraw::MaximizeToWorkArea() {
    if (!m_hWndFrame) return;
    MaximizeToWorkArea(m_state != kStateMaximized ? CWindow(m_hWndFrame).GetWindowRect() : m_restoreRect);
}

void CNcDraw::MaximizeToWorkArea(const RECT& restore) {
    if (!m_hWndFrame) return;
    m_restoreRect = restore;
    m_state = kStateMaximized;
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    // A frame created there already is left alone: moving it would lay it out and paint it again.
    const CRect now = CWindow(m_hWndFrame).GetWindowRect();
    if (now == work) return;
    ::MoveWindow(m_hWndFrame, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
    ::UpdateWindow(m_hWndFrame);
}

void CNcDraw::Restore() {
    if (m_state != kStateMaximized) return;
    ::MoveWindow(m_hWndFrame, m_restoreRect.left, m_restoreRect.top, m_restoreRect.Width(), m_restoreRect.Height(), TRUE);
    m_state = kStateNormal;
    ::UpdateWindow(m_hWndFrame);
}

void CNcDraw::UpdateRegion() {
    if (!m_themeLoaded || !::IsWindow(m_hWndFrame)) return;
    // The region follows the size alone: the WM_SIZE that showing a frame sends at the size it was
    // created at changes nothing, and setting the region again would repaint the whole frame.
    RECT now;
    ::GetWindowRect(m_hWndFrame, &now);
    const SIZE size = {now.right - now.left, now.bottom - now.top};
    if (m_regionMade && size.cx == m_regionSize.cx && size.cy == m_regionSize.cy) return;
    m_regionMade = true;
    m_regionSize = size;
    Repaint();
    if (!m_transparency) {
        ::SetWindowRgn(m_hWndFrame, nullptr, TRUE);
        return;
    }
    RECT wr;
    ::GetWindowRect(m_hWndFrame, &wr);
    const int W = wr.right - wr.left, H = wr.bottom - wr.top;
    if (W <= 0 || H <= 0 || m_caption <= 0) return;
    CDibCanvas cap(W, m_caption);
    DrawCaption(cap.dc(), W);
    ::SelectObject(cap.dc(), ::GetStockObject(NULL_BRUSH));
    HBITMAP bmp = cap.Detach();
    HRGN rgn = BitmapToRegion(bmp, m_transparent);
    ::DeleteObject(bmp);
    if (!rgn) return;
    HRGN body = ::CreateRectRgn(0, m_caption, W, H);
    ::CombineRgn(rgn, rgn, body, RGN_OR);
    ::DeleteObject(body);
    ::SetWindowRgn(m_hWndFrame, rgn, TRUE);  // the window owns the region from here
}
