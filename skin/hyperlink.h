// A hyperlink over a static control: drawn over its parent's background, with optional images
// beside the text that can cycle once a second.
#pragma once

#include <string>
#include <vector>

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

class CSkinBitmapHyperLink : public CWindowImpl<CSkinBitmapHyperLink> {
public:
    DECLARE_WND_CLASS("VelmoraHyperLink")

    CSkinBitmapHyperLink();
    ~CSkinBitmapHyperLink() override;

    void SetHyperLink(const char* url) { m_url = url ? url : ""; }
    void SetLabel(const char* text);
    const std::string& GetHyperLink() const { return m_url; }
    const std::string& GetLabel() const { return m_label; }
    void SetExtendedStyle(DWORD style) { m_extStyle = style; }
    DWORD GetExtendedStyle() const { return m_extStyle; }
    void SetColors(COLORREF link, COLORREF visited, COLORREF hover);
    void SetLinkFont(HFONT font);
    // Images belong to the caller; a null one is ignored.
    void AddImage(HBITMAP image);
    void SetAnimate(bool animate) { m_animate = animate; }
    bool IsVisited() const { return m_visited; }
    HWND GetToolTip() const { return m_tip.m_hWnd; }

    // Attaches to a static control of a dialog.
    BOOL SubclassWindow(HWND hWnd);
    // Opens the link (or notifies the parent); true on success.
    bool Navigate();

    BEGIN_MSG_MAP(CSkinBitmapHyperLink)
        MSG_RAW_RANGE(WM_MOUSEFIRST, WM_MOUSELAST, OnRelayMouse)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_TIMER(OnTimer)
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

    // Where the text and the current image were drawn (client coordinates).
    RECT m_rcLink;
    RECT m_rcImage;

private:
    void Init();
    bool HitLink(POINT pt) const;
    void Paint(HDC dc);
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { Paint(dc); }
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnTimer(UINT_PTR id);
    BOOL OnSetCursor(HWND, UINT hitTest, UINT);
    void OnMouseMove(UINT, CPoint pt);
    void OnMouseLeave();
    void OnLButtonDown(UINT, CPoint pt);
    void OnLButtonUp(UINT, CPoint pt);
    void OnChar(UINT ch, UINT, UINT);
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTCHARS; }
    void OnSetFocus(HWND);
    void OnKillFocus(HWND);
    void OnDestroy();
    LRESULT OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    void DrawTagged(HDC dc, const RECT& text, UINT align, HFONT linkFont, COLORREF linkColor);

    std::string m_url;
    std::string m_label;
    std::vector<HBITMAP> m_images;
    COLORREF m_clrLink, m_clrVisited, m_clrHover;
    HFONT m_hFont = nullptr;           // normal text (not owned)
    HFONT m_hFontUnderline = nullptr;  // owned
    DWORD m_extStyle = 0;
    bool m_animate = false;
    size_t m_currentImage = 0;
    bool m_hover = false;
    bool m_visited = false;
    bool m_tracking = false;
    CToolTipCtrl m_tip;  // shows the URL, unless HLINK_NOTOOLTIP
};

// "r,g,b" as Internet Explorer stores its link colours; the default when unreadable.
COLORREF ParseAnchorColor(const char* text, COLORREF defaultValue);
