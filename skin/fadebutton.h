// Animated buttons: a push button drawn from a strip of four state frames that cross-fades
// between them, the dark command button composed from bar pieces, and the dark command bar.
#pragma once

#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

enum : DWORD {
    FADEBTN_BLACK = 0x1,        // opaque on black instead of the window colour
    FADEBTN_TRANSPARENT = 0x2,  // over the parent's background
};

class CSkinFadeStateButtonCtrl : public CWindowImpl<CSkinFadeStateButtonCtrl, CButton> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraFadeButton", "BUTTON")
    enum : UINT_PTR { kFadeTimer = 5 };

    CSkinFadeStateButtonCtrl() = default;
    ~CSkinFadeStateButtonCtrl() override;

    // Style 0 means WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN.
    HWND CreateSkinButton(HWND parent, const RECT& rect, const char* text, DWORD style, DWORD exStyle, UINT id);
    // Takes the strip (frames: disabled, normal, hover, pressed); an older one is deleted.
    void SetBitmap(HBITMAP bitmap);
    void SetToolTipText(const char* text);
    void SetStyleFlags(DWORD flags) { m_styleFlags = flags; }
    DWORD GetStyleFlags() const { return m_styleFlags; }
    void SetAutoDelete(bool on) { m_autoDelete = on; }
    HBITMAP GetImage() const { return m_image; }
    const CFadeState& Fade() const { return m_fade; }
    bool IsHover() const { return m_hover; }
    bool IsPressed() const { return m_pressed; }
    HWND GetToolTip() const { return m_tip.m_hWnd; }

    BEGIN_MSG_MAP(CSkinFadeStateButtonCtrl)
        MSG_RAW_RANGE(WM_MOUSEFIRST, WM_MOUSELAST, OnRelayMouse)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_RAW(WM_LBUTTONDOWN, OnButton)
        MSG_RAW(WM_LBUTTONUP, OnButton)
        MSG_RAW(WM_LBUTTONDBLCLK, OnDoubleClick)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_SETFOCUS(OnSetFocus)
        MSG_WM_KILLFOCUS(OnKillFocus)
        MSG_RAW(WM_ENABLE, OnRepaintAfterDefault)
        MSG_RAW(BM_SETSTATE, OnRepaintAfterDefault)
        MSG_RAW(BM_SETCHECK, OnRepaintAfterDefault)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_CAPTURECHANGED(OnCaptureChanged)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_RAW(WM_WINDOWPOSCHANGING, OnPosChanging)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()

    void OnFinalMessage(HWND) override;
    // Draws the current state (advancing a running fade) into dc.
    void DoPaint(HDC dc);

protected:
    LRESULT OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnDestroy();
    LRESULT OnButton(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnDoubleClick(UINT, WPARAM, LPARAM) { return 0; }
    void OnMouseMove(UINT, CPoint);
    void OnMouseLeave();
    void OnSetFocus(HWND);
    void OnKillFocus(HWND);
    LRESULT OnRepaintAfterDefault(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    void OnCaptureChanged(HWND);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    LRESULT OnPosChanging(UINT, WPARAM, LPARAM);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }
    void Init();
    void ApplyToolTip();

    std::string m_tipText;
    CToolTipCtrl m_tip;
    CBrush m_bkBrush;
    HBITMAP m_image = nullptr;
    int m_imageWidth = 0, m_imageHeight = 0;
    COLORREF m_bkColor = RGB(255, 255, 255);
    DWORD m_styleFlags = 0;
    bool m_pressed = false, m_hover = false, m_focus = false, m_autoDelete = false, m_painting = false;
    CFadeState m_fade;
    int m_frameWidth = 0;
};

class CSkinDarkCommandButtonCtrl : public CSkinFadeStateButtonCtrl {
public:
    enum { kCapWidth = 6, kMiddleWidth = 122, kHeight = 29 };
    // The three bar pieces are borrowed: the bar deletes them.
    CSkinDarkCommandButtonCtrl(HBITMAP leftCap, HBITMAP middle, HBITMAP rightCap)
        : m_left(leftCap), m_middle(middle), m_right(rightCap) {}
    // Composes the strip from the pieces, the icon's four frames, the caption and a drop arrow,
    // and sizes the button to one frame. The icon stays the caller's. FALSE when no strip was made.
    BOOL SetButtonImage(HBITMAP icon, const char* caption, bool dropArrow);
    bool IsImageSet() const { return m_imageSet; }

private:
    HBITMAP m_left, m_middle, m_right;
    bool m_imageSet = false;
};

// One button of the dark command bar; AddButton takes the first five fields.
struct CommandButtonRecord {
    int id = 0;
    std::string caption;
    HBITMAP icon = nullptr;  // four frames; the bar deletes it once the button is composed
    std::string tooltip;
    bool dropArrow = false;
    HWND window = nullptr;
    int width = 0;
    RECT rect = {0, 0, 0, 0};  // in bar coordinates
};

class CSkinDarkCommandBarCtrl : public CWindowImpl<CSkinDarkCommandBarCtrl> {
public:
    DECLARE_WND_CLASS_EX("VelmoraCommandBar", CS_DBLCLKS, -1)

    CSkinDarkCommandBarCtrl() = default;
    ~CSkinDarkCommandBarCtrl() override;

    // The bar owns the four bitmaps; one passed again stays.
    void SetBitmaps(HBITMAP background, HBITMAP left, HBITMAP middle, HBITMAP right);
    BOOL AddButton(const CommandButtonRecord& record);
    void LayoutButtons();
    const std::vector<CommandButtonRecord>& Buttons() const { return m_buttons; }
    HFONT GetBarFont() const { return m_font; }

    BEGIN_MSG_MAP(CSkinDarkCommandBarCtrl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_RAW(WM_COMMAND, OnCommand)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()

    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnSize(UINT, CSize) { LayoutButtons(); }
    LRESULT OnCommand(UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }

    CFont m_font;
    CBitmap m_background, m_left, m_middle, m_right;
    int m_spacing = 2;
    std::vector<CommandButtonRecord> m_buttons;
};
