// The skinned frame: the caption, borders, frame buttons and caption menu buttons drawn from the
// skin's theme, with our own hit tests and mouse handling; and the dialog background mix-in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "skin/skinbitmap.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

// A button in the caption that opens a menu: a four-frame alpha image with an optional label.
class CaptionMenuButton {
public:
    enum : UINT { kClickMessage = 4030 };  // sent to the owner: wParam the command, lParam the screen point
    // Takes the image (or a share of it); keeps its own copy of the label.
    CaptionMenuButton(int id, const char* label, HBITMAP image, int x, int y, HWND owner);
    CaptionMenuButton(int id, const char* label, SharedBitmap image, int x, int y, HWND owner);
    ~CaptionMenuButton();
    CaptionMenuButton(const CaptionMenuButton&) = delete;
    CaptionMenuButton& operator=(const CaptionMenuButton&) = delete;

    // Where it sits in window coordinates for the owner's client width.
    SkinRect Rect(int clientWidth) const;
    bool HitTest(POINT pt, int clientWidth) const { return Rect(clientWidth).Contains(pt.x, pt.y); }
    void Click();
    void Draw(HDC dc, int clientWidth);

    int id;
    std::string label;
    HBITMAP image;
    int x, y;
    HWND owner;
    BITMAP bm;
    bool pressed = false, spare = false, hover = false;
    int frameWidth, height;

private:
    bool m_drawing = false;
    SharedBitmap m_image;  // holds `image`
};

class CNcDraw {
public:
    enum { kStateNormal = 0, kStateMaximized = 1, kStateMinimized = 2 };
    CNcDraw();
    ~CNcDraw();
    CNcDraw(const CNcDraw&) = delete;
    CNcDraw& operator=(const CNcDraw&) = delete;

    // Takes over the frame's non-client area. Without a loadable theme the system frame stays.
    bool Attach(HWND frame);
    bool LoadTheme();
    void AddMenuButton(int id, const char* label, HBITMAP image, int x, int y);
    void AddMenuButton(int id, const char* label, SharedBitmap image, int x, int y);
    void MaximizeToWorkArea();
    // The same, restoring later to the given window rectangle.
    void MaximizeToWorkArea(const RECT& restore);
    void Restore();
    // Repaints the non-client area and cuts the window region from the caption's mask colour.
    void UpdateRegion();
    // Window-relative rectangle of frame button 0 close, 1 maximise (restore while maximised), 2 minimise.
    CRect GetButtonRect(int type) const;

    bool IsThemeLoaded() const { return m_themeLoaded; }
    int GetWindowState() const { return m_state; }
    int GetHoverCode() const { return m_hover; }
    int GetPressedCode() const { return m_pressed; }
    bool IsActive() const { return m_active; }
    int GetNcPaintCount() const { return m_paints; }
    int GetCaptionHeight() const { return m_caption; }
    size_t GetMenuButtonCount() const { return m_menuButtons.size(); }
    const CaptionMenuButton* GetMenuButton(size_t i) const { return i < m_menuButtons.size() ? m_menuButtons[i].get() : nullptr; }

    BEGIN_MSG_MAP(CNcDraw)
        MSG_WM_NCCALCSIZE(OnNcCalcSize)
        MSG_WM_NCHITTEST(OnNcHitTest)
        MSG_WM_NCPAINT(OnNcPaint)
        MSG_WM_NCACTIVATE(OnNcActivate)
        MSG_RAW(WM_SETTEXT, OnSetText)
        MSG_WM_NCMOUSEMOVE(OnNcMouseMove)
        MSG_WM_NCMOUSELEAVE(OnNcMouseLeave)
        MSG_WM_NCLBUTTONDOWN(OnNcLButtonDown)
        MSG_WM_NCLBUTTONUP(OnNcLButtonUp)
        MSG_WM_NCLBUTTONDBLCLK(OnNcLButtonDblClk)
        MSG_WM_NCRBUTTONDOWN(OnNcRButtonDown)
        MSG_WM_ACTIVATE(OnActivate)
        MSG_WM_GETMINMAXINFO(OnGetMinMaxInfo)
    END_MSG_MAP()

    LRESULT OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* p);
    UINT OnNcHitTest(CPoint screen);
    void OnNcPaint(HRGN);
    BOOL OnNcActivate(BOOL active);
    LRESULT OnSetText(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnNcMouseMove(UINT hit, CPoint);
    void OnNcMouseLeave();
    void OnNcLButtonDown(UINT hit, CPoint);
    void OnNcLButtonUp(UINT hit, CPoint);
    void OnNcLButtonDblClk(UINT hit, CPoint);
    void OnNcRButtonDown(UINT hit, CPoint);
    void OnActivate(UINT state, BOOL minimized, HWND other);
    void OnGetMinMaxInfo(LPMINMAXINFO mmi);

private:
    NcGeometry Geometry() const;
    int ClientWidth() const;
    void Repaint();
    void Paint(HDC windowDC);
    void DrawCaption(HDC dc, int W);  // caption image and the tops of the side borders
    void DrawFrameButton(HDC dc, const CSkinBitmap& image, int type, int code);
    void OpenSystemMenu();
    void ClearMenuFlags();

    int m_captionHead = 0, m_captionTail = 0, m_leftHead = 0, m_leftTail = 0;
    int m_rightHead = 0, m_rightTail = 0, m_bottomHead = 0, m_bottomTail = 0;
    int m_textShift = 0, m_textShiftVert = 0;
    int m_state = kStateNormal;
    int m_caption = 0, m_left = 0, m_right = 0, m_bottom = 0;
    bool m_active = true, m_transparency = false, m_themeLoaded = false;
    bool m_hadSizing = false, m_hadMinimize = false, m_hadMaximize = false;
    CSkinBitmap m_imgCaption, m_imgLeft, m_imgRight, m_imgBottom, m_imgClose, m_imgRestore, m_imgMinimize, m_imgMaximize;
    std::string m_title;
    COLORREF m_textActive = 0, m_textInactive = 0, m_transparent = 0;
    int m_hover = 0, m_pressed = 0;
    CRect m_restoreRect;
    RECT m_btnMin = {}, m_btnMax = {}, m_btnClose = {}, m_btnRestore = {};
    HWND m_hWndFrame = nullptr;
    std::vector<std::unique_ptr<CaptionMenuButton>> m_menuButtons;
    bool m_tracking = false;
    int m_paints = 0;
    bool m_ncPainted = false;  // the first WM_NCPAINT came
    bool m_regionMade = false;
    SIZE m_regionSize = {0, 0};  // the window size the region was made for
};

// Skinned dialogs: a background picture from a memory DC, transparent statics and, when asked,
// dragging by the body. Disabled (the default), it passes every message on.
template <class T>
class CSkinDialogRegionT {
public:
    ~CSkinDialogRegionT() { ClearBackground(); }
    void SetMaskColor(COLORREF c) { m_mask = c; }
    void EnableDragByBody(bool on) { m_dragByBody = on; }
    // Takes the picture; the mix-in draws it and is enabled from then on.
    void SetBackground(HBITMAP picture) {
        ClearBackground();
        if (!picture) return;
        BITMAP bm = {};
        ::GetObjectA(picture, sizeof(bm), &bm);
        m_width = bm.bmWidth;
        m_height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bmp = picture;
        m_old = ::SelectObject(m_dc, m_bmp);
        m_enabled = true;
    }
    void ClearBackground() {
        if (m_dc) {
            ::SelectObject(m_dc, m_old);
            ::DeleteDC(m_dc);
        }
        if (m_bmp) ::DeleteObject(m_bmp);
        m_dc = nullptr, m_bmp = nullptr, m_old = nullptr, m_enabled = false;
    }
    bool IsEnabled() const { return m_enabled; }

    BEGIN_MSG_MAP(CSkinDialogRegionT)
        MSG_RAW(WM_ERASEBKGND, OnBackgroundMessage)
        MSG_RAW(WM_CTLCOLORSTATIC, OnBackgroundMessage)
        MSG_RAW(WM_NCHITTEST, OnBackgroundMessage)
    END_MSG_MAP()

    LRESULT OnBackgroundMessage(UINT msg, WPARAM wParam, LPARAM) {
        if (!m_enabled) {
            SetMsgHandled(FALSE);
            return 0;
        }
        switch (msg) {
        case WM_ERASEBKGND:
            ::BitBlt((HDC)wParam, 0, 0, m_width, m_height, m_dc, 0, 0, SRCCOPY);
            return 0;
        case WM_CTLCOLORSTATIC:
            ::SetBkMode((HDC)wParam, TRANSPARENT);
            return (LRESULT)::GetStockObject(NULL_BRUSH);
        default:
            // Dragging by the body answers "caption"; otherwise the dialog's own hit test holds.
            if (m_dragByBody) return HTCAPTION;
            SetMsgHandled(FALSE);
            return 0;
        }
    }

private:
    int m_width = 0, m_height = 0;
    HDC m_dc = nullptr;
    HBITMAP m_bmp = nullptr;
    HGDIOBJ m_old = nullptr;
    bool m_enabled = false, m_dragByBody = false;
    COLORREF m_mask = RGB(255, 0, 255);
};
