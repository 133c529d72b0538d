// The skinned status bar (coloured text runs in clickable panes) and two static texts of dialogs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/thread.h"
#include "skin/ctlmodel.h"
#include "skin/skinbitmap.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

struct StatusTextRun {
    std::string text;
    COLORREF color = 0;
    HFONT font = nullptr;  // lent (e.g. by the GDI cache); none: the bar's font
};

struct StatusPane {
    std::vector<StatusTextRun> runs;
    WORD id = 0;                // sent with the bar's notification when the pane is clicked
    int xStart = 0, xEnd = 0;   // client pixels, filled in while painting
};

class CSkinStatusBarCtrl : public CWindowImpl<CSkinStatusBarCtrl>, public CDoubleBufferImpl<CSkinStatusBarCtrl> {
public:
    DECLARE_WND_CLASS_EX("VelmoraStatusBar", CS_DBLCLKS, -1)
    enum { kMinHeight = 20 };

    CSkinStatusBarCtrl() = default;
    ~CSkinStatusBarCtrl() override = default;

    // Set by the owner; the picture before creation.
    bool LoadBackground(const char* file);
    void SetStatusText(const char* text);
    // The message sent to the parent for a click on a pane (wParam the pane's id); 0: none.
    void SetNotifyMessage(UINT msg) { m_notify = msg; }
    // Replaces the panes (from any thread) and repaints.
    void SetPanes(const std::vector<StatusPane>& panes);
    std::vector<StatusPane> GetPanes();
    int GetBarHeight() const { return m_height; }
    HFONT GetBarFont() const { return m_font; }

    BEGIN_MSG_MAP(CSkinStatusBarCtrl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CSkinStatusBarCtrl>)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
    END_MSG_MAP()

    // Draws the bar into dc; the window paints through a buffer.
    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnSize(UINT, CSize) { Invalidate(FALSE); }
    void OnLButtonDown(UINT, CPoint pt);

    CFont m_font;
    CriticalSection m_lock;
    // Guarded by m_lock:
    CSkinBitmap m_background;
    int m_height = kMinHeight;
    std::string m_status;
    std::vector<StatusPane> m_panes;
    std::string m_separator = "|";
    UINT m_notify = 0;
};

// A static with a 255-band horizontal gradient under its window text.
class CSkinGradientStatic : public CWindowImpl<CSkinGradientStatic, CStatic> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraGradientStatic", "STATIC")
    CSkinGradientStatic();
    void SetColors(COLORREF start, COLORREF end, COLORREF text) { m_start = start, m_end = end, m_text = text; }
    void SetTextColor(COLORREF text) { m_text = text; }
    void SetAlignment(int align) { m_align = align; }  // 0 left, 1 centre, other right
    void SetTextFont(HFONT font) { m_font = font; }    // lent
    void SetIndent(int indent) { m_indent = indent; }

    BEGIN_MSG_MAP(CSkinGradientStatic)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()
    void DoPaint(HDC dc);

private:
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }
    int m_indent = 10;
    COLORREF m_start, m_end, m_text;
    int m_align = 0;
    HFONT m_font = nullptr;
};

// A static that draws its own text transparently over what the parent painted.
class CSkinStatic : public CWindowImpl<CSkinStatic, CStatic> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraSkinStatic", "STATIC")
    void SetText(const char* text);
    const std::string& GetText() const { return m_textValue; }
    void SetAlignment(int align) { m_align = align; }
    void SetTextColor(COLORREF c) { m_color = c; }
    void SetTextFont(HFONT font) { m_font = font; }  // lent

    BEGIN_MSG_MAP(CSkinStatic)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()
    void DoPaint(HDC dc);

private:
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }
    std::string m_textValue;
    int m_align = 0;
    COLORREF m_color = 0;
    HFONT m_font = nullptr;
};
