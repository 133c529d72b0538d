// Animated buttons: a push button drawn from a strip of four state frames that cross-fades
// between them, the dark command button composed from bar pieces, and the dark command bar.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

enum : DWORD {
    FADEBTN_BLACK = 0x1,        // opaque on black instead of the window colour
    FADEBTN_TRANSPARENT = 0x2,  // over the parent's background
};

// The fade button's behaviour over a button window of T's class.
template <class T, class TBase = CButton, class TWinTraits = CControlWinTraits>
class CSkinFadeStateButtonImpl : public CWindowImpl<T, TBase, TWinTraits>, public CDoubleBufferImpl<T> {
    typedef CWindowImpl<T, TBase, TWinTraits> Base;

public:
    // The window's own members, named here because the base depends on T.
    using Base::m_hWnd;
    using Base::Create;
    using Base::DefWindowProc;
    using Base::GetClientRect;
    using Base::GetState;
    using Base::GetStyle;
    using Base::Invalidate;
    using Base::IsWindowEnabled;
    using Base::IsWindowVisible;
    using Base::KillTimer;
    using Base::SetTimer;

    enum : UINT_PTR { kFadeTimer = 5 };

    CSkinFadeStateButtonImpl() = default;
    ~CSkinFadeStateButtonImpl() override;

    // Style 0 means WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN.
    HWND CreateSkinButton(HWND parent, const RECT& rect, const char* text, DWORD style, DWORD exStyle, UINT id);
    // Takes the strip (frames: disabled, normal, hover, pressed); an older one is deleted.
    void SetBitmap(HBITMAP bitmap);
    void SetToolTipText(const char* text);
    // Registers the tip with this tooltip control (kept alive by its owner longer than the button)
    // instead of a control of the button's own; set before the window is created.
    void ShareToolTip(HWND tip) { m_sharedTip = tip; }
    void SetStyleFlags(DWORD flags) { m_styleFlags = flags; }
    DWORD GetStyleFlags() const { return m_styleFlags; }
    void SetAutoDelete(bool on) { m_autoDelete = on; }
    HBITMAP GetImage() const { return m_image; }
    const CFadeState& Fade() const { return m_fade; }
    bool IsHover() const { return m_hover; }
    bool IsPressed() const { return m_pressed; }
    HWND GetToolTip() const { return m_sharedTip ? m_sharedTip : m_tip.m_hWnd; }

    BEGIN_MSG_MAP(CSkinFadeStateButtonImpl)
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
        MSG_RAW(WM_WINDOWPOSCHANGING, OnPosChanging)
        CHAIN_MSG_MAP(CDoubleBufferImpl<T>)
    END_MSG_MAP()

    void OnFinalMessage(HWND) override;
    // Draws the current state (advancing a running fade) into dc; the window paints through a buffer.
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
    LRESULT OnPosChanging(UINT, WPARAM, LPARAM);
    void Init();
    void ApplyToolTip();

    std::string m_tipText;
    CToolTipCtrl m_tip;
    HWND m_sharedTip = nullptr;
    CBrush m_bkBrush;
    HBITMAP m_image = nullptr;
    int m_imageWidth = 0, m_imageHeight = 0;
    COLORREF m_bkColor = RGB(255, 255, 255);
    DWORD m_styleFlags = 0;
    bool m_pressed = false, m_hover = false, m_focus = false, m_autoDelete = false, m_painting = false;
    CFadeState m_fade;
    int m_frameWidth = 0;
};

// A push button drawn from a strip of four state frames, cross-fading between them.
class CSkinFadeStateButtonCtrl : public CSkinFadeStateButtonImpl<CSkinFadeStateButtonCtrl> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraFadeButton", "BUTTON")
};

template <class T, class TBase, class TWinTraits>
inline CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::~CSkinFadeStateButtonImpl() {
    if (m_image) ::DeleteObject(m_image);
}

template <class T, class TBase, class TWinTraits>
inline HWND CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::CreateSkinButton(HWND parent, const RECT& rect,
                                                                              const char* text, DWORD style,
                                                                              DWORD exStyle, UINT id) {
    if (style == 0) style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return Create(parent, rect, text, style, exStyle, id);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::SetBitmap(HBITMAP bitmap) {
    m_bkBrush.DeleteObject();
    if (m_image && m_image != bitmap) ::DeleteObject(m_image);
    m_image = bitmap;
    BITMAP bm = {};
    if (bitmap && ::GetObjectA(bitmap, sizeof(bm), &bm)) {
        m_imageWidth = bm.bmWidth;
        m_imageHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    } else {
        m_imageWidth = m_imageHeight = 0;
    }
    m_frameWidth = m_imageWidth / 4;
    if (m_hWnd) Invalidate(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::SetToolTipText(const char* text) {
    m_tipText = text ? text : "";
    ApplyToolTip();
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::ApplyToolTip() {
    CToolTipCtrl tip(GetToolTip());
    if (!m_hWnd || !tip.m_hWnd || !::IsWindow(tip.m_hWnd)) return;
    // A shared control serves other buttons too: only this button's tool comes and goes.
    if (!m_sharedTip) m_tip.Activate(FALSE);
    tip.DelTool(m_hWnd, (UINT_PTR)m_hWnd);
    if (m_tipText.empty()) return;
    if (!m_sharedTip) m_tip.Activate(TRUE);
    tip.AddTool(m_hWnd, (UINT_PTR)m_hWnd, nullptr, m_tipText.c_str(), TTF_IDISHWND);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::Init() {
    // The button type is a four-bit field, not a flag.
    DWORD style = GetStyle();
    if ((style & BS_TYPEMASK) != BS_OWNERDRAW)
        ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (LONG_PTR)((style & ~(DWORD)BS_TYPEMASK) | BS_OWNERDRAW));
    if (!m_sharedTip) m_tip.Create(m_hWnd);
    ApplyToolTip();
    m_bkColor = (m_styleFlags & FADEBTN_BLACK) ? RGB(0, 0, 0) : ::GetSysColor(COLOR_WINDOW);
    if (!IsWindowEnabled()) m_fade.current = m_fade.previous = kFadeDisabled;
}

template <class T, class TBase, class TWinTraits>
inline LRESULT CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnCreate(LPCREATESTRUCTA) {
    Init();
    SetMsgHandled(FALSE);
    return 0;
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnDestroy() {
    if (m_tip.m_hWnd) ::DestroyWindow(m_tip.Detach());
    if (m_sharedTip && ::IsWindow(m_sharedTip)) CToolTipCtrl(m_sharedTip).DelTool(m_hWnd, (UINT_PTR)m_hWnd);
    if (m_image) ::DeleteObject(m_image);
    m_image = nullptr;
    KillTimer(kFadeTimer);
    SetMsgHandled(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnFinalMessage(HWND) {
    if (m_autoDelete) delete this;
}

template <class T, class TBase, class TWinTraits>
inline LRESULT CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (HWND tip = GetToolTip()) {
        MSG m = {m_hWnd, msg, wParam, lParam, 0, {0, 0}};
        CToolTipCtrl(tip).RelayEvent(&m);
    }
    SetMsgHandled(FALSE);
    return 0;
}

template <class T, class TBase, class TWinTraits>
inline LRESULT CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnButton(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT r = DefWindowProc(msg, wParam, lParam);
    if (msg == WM_LBUTTONDOWN) m_pressed = ::GetCapture() == m_hWnd;
    else m_pressed = false;
    if (::IsWindow(m_hWnd)) Invalidate(FALSE);
    return r;
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnMouseMove(UINT, CPoint) {
    if (!m_hover) {
        m_hover = true;
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&t);
        Invalidate(FALSE);
    }
    SetMsgHandled(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnMouseLeave() {
    m_hover = false;
    Invalidate(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnSetFocus(HWND) {
    m_focus = true;
    Invalidate(FALSE);
    SetMsgHandled(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnKillFocus(HWND) {
    m_focus = false;
    Invalidate(FALSE);
    SetMsgHandled(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline LRESULT CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnRepaintAfterDefault(UINT msg, WPARAM wParam,
                                                                                     LPARAM lParam) {
    LRESULT r = DefWindowProc(msg, wParam, lParam);
    Invalidate(FALSE);
    return r;
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnTimer(UINT_PTR id) {
    if (id != kFadeTimer) {
        SetMsgHandled(FALSE);
        return;
    }
    Invalidate(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnCaptureChanged(HWND) {
    m_pressed = false;
    Invalidate(FALSE);
    SetMsgHandled(FALSE);
}

template <class T, class TBase, class TWinTraits>
inline LRESULT CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::OnPosChanging(UINT, WPARAM, LPARAM) {
    m_bkBrush.DeleteObject();
    SetMsgHandled(FALSE);
    return 0;
}

template <class T, class TBase, class TWinTraits>
inline void CSkinFadeStateButtonImpl<T, TBase, TWinTraits>::DoPaint(HDC dc) {
    if (m_painting) return;
    m_painting = true;
    RECT rc;
    GetClientRect(&rc);
    int state = DecideFadeState(m_hover, m_pressed, !IsWindowEnabled(), GetState());
    uint32_t now = SkinTick();
    if (m_styleFlags & FADEBTN_TRANSPARENT) {
        if (m_bkBrush.IsNull()) m_bkBrush.Attach(CreateParentBackgroundBrush(m_hWnd));
        AlignBrushToClient(dc);
        HGDIOBJ old = ::SelectObject(dc, m_bkBrush.IsNull() ? ::GetStockObject(BLACK_BRUSH) : m_bkBrush.m_hObject);
        ::PatBlt(dc, 0, 0, rc.right, rc.bottom, PATCOPY);
        ::SelectObject(dc, old);
    } else {
        CDCHandle(dc).FillSolidRect(&rc, m_bkColor);
    }
    if (state != m_fade.current) {
        if (m_fade.Change(state, IsWindowVisible() != FALSE, now)) SetTimer(kFadeTimer, 20);
        else KillTimer(kFadeTimer);
    }
    if (!m_fade.Advance(now)) KillTimer(kFadeTimer);
    if (m_image && m_frameWidth > 0) {
        CFadeState::Layer layers[2];
        int n = m_fade.Layers(layers);
        for (int i = 0; i < n; ++i) {
            RECT src = {m_frameWidth * layers[i].frame, 0, m_frameWidth * (layers[i].frame + 1), m_imageHeight};
            BlendBitmapPart(dc, rc, m_image, src, (BYTE)std::min(layers[i].alpha, 255u));
        }
    }
    m_painting = false;
}

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

class CSkinDarkCommandBarCtrl : public CWindowImpl<CSkinDarkCommandBarCtrl>, public CDoubleBufferImpl<CSkinDarkCommandBarCtrl> {
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
    // The one tooltip control every button of the bar shows its tip through.
    HWND GetToolTip() const { return m_tip.m_hWnd; }

    BEGIN_MSG_MAP(CSkinDarkCommandBarCtrl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_RAW(WM_COMMAND, OnCommand)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CSkinDarkCommandBarCtrl>)
    END_MSG_MAP()

    // Draws the bar's background into dc; the window paints through a buffer.
    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnDestroy();
    void OnSize(UINT, CSize) { LayoutButtons(); }
    LRESULT OnCommand(UINT msg, WPARAM wParam, LPARAM lParam);

    CFont m_font;
    CToolTipCtrl m_tip;  // a tooltip window per button cost a window each at start-up
    CBitmap m_background, m_left, m_middle, m_right;
    int m_spacing = 2;
    std::vector<CommandButtonRecord> m_buttons;
};
