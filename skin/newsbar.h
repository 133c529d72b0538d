// The bottom link bar of the main frame: two hyperlinks and the scrolling news ticker.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/thread.h"
#include "skin/ctlmodel.h"
#include "skin/hyperlink.h"
#include "skin/skinbitmap.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

// The news ticker. Headlines are rendered once into a strip that scrolls through the window one
// pixel per paint; a click opens the headline's page. The refresh thread replaces the headlines
// while the user-interface thread paints them.
class CSkinScrollInfo : public CWindowImpl<CSkinScrollInfo>, public CDoubleBufferImpl<CSkinScrollInfo> {
public:
    DECLARE_WND_CLASS_EX("VelmoraNewsTicker", CS_DBLCLKS, -1)
    enum : UINT_PTR { kScrollTimer = 1120 };

    CSkinScrollInfo() = default;
    ~CSkinScrollInfo() override;

    // Set before creation by the owner. The font is lent: the ticker never deletes it (without
    // one it makes its own "宋体" 12).
    void SetTickerFont(HFONT font) { m_font = font; m_ownFont = false; }
    void SetTextColor(COLORREF color) { m_color = color; }
    void SetTimerPeriod(UINT ms) { m_period = ms ? ms : 50; }

    // Lines "headline\tlink\r\n" (from any thread); an empty text changes nothing.
    void SetNewsText(const char* text);

    // For tests and the owner.
    std::vector<NewsItem> GetItems();
    std::vector<CTickerModel::Extent> GetExtents();
    int GetOffset();
    void SetOffset(int offset);
    bool IsScrolling();
    int GetStripWidth();

    BEGIN_MSG_MAP(CSkinScrollInfo)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_TIMER(OnTimer)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CSkinScrollInfo>)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_SETCURSOR(OnSetCursor)
        MSG_RAW(WM_WINDOWPOSCHANGING, OnPosChanging)
        MSG_WM_CLOSE(OnClose)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    // Draws the ticker (advancing it one step) into dc; the window paints through a buffer.
    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnTimer(UINT_PTR id);
    void OnMouseMove(UINT, CPoint);
    void OnMouseLeave();
    void OnLButtonDown(UINT, CPoint pt);
    BOOL OnSetCursor(HWND, UINT hitTest, UINT);
    LRESULT OnPosChanging(UINT, WPARAM, LPARAM);
    void OnClose();
    void OnDestroy();
    void BuildStrip(HDC reference);  // under the lock

    CriticalSection m_lock;
    // Guarded by m_lock:
    HBITMAP m_strip = nullptr;
    int m_stripHeight = 0;
    std::vector<NewsItem> m_items;
    CTickerModel m_model;
    bool m_rebuild = false;
    // User-interface thread only:
    HBRUSH m_bkBrush = nullptr;
    HFONT m_font = nullptr;
    bool m_ownFont = false;
    COLORREF m_color = RGB(255, 255, 255);
    UINT_PTR m_timer = 0;
    UINT m_period = 50;
    bool m_hover = false;
};

// The bar of link 1 (with its cycling arrow images), link 2 and the ticker.
class CSkinScrollBarCtrl : public CWindowImpl<CSkinScrollBarCtrl> {
public:
    DECLARE_WND_CLASS_EX("VelmoraLinkBar", CS_DBLCLKS, -1)
    enum { kMinHeight = 24, kLink1Id = 1, kLink2Id = 2, kTickerId = 3 };

    CSkinScrollBarCtrl() = default;
    ~CSkinScrollBarCtrl() override;

    // Filled by the owner before creation.
    CSkinBitmap& Background() { return m_background; }
    void SetLink1(const char* url, const char* label) { m_url1 = url ? url : ""; m_label1 = label ? label : ""; }
    void SetLink2(const char* url, const char* label) { m_url2 = url ? url : ""; m_label2 = label ? label : ""; }
    void AddLinkImage(HBITMAP image) { if (image) m_images.push_back(image); }  // the bar deletes it
    void SetLinkFont(HFONT font) { m_linkFont = font; }                     // lent
    CSkinScrollInfo& Ticker() { return m_ticker; }
    CSkinBitmapHyperLink& Link1() { return m_link1; }
    CSkinBitmapHyperLink& Link2() { return m_link2; }
    int GetBarHeight() const { return m_height; }

    BEGIN_MSG_MAP(CSkinScrollBarCtrl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_CTLCOLORSTATIC(OnCtlColorStatic)
    END_MSG_MAP()

    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnSize(UINT, CSize size);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }
    HBRUSH OnCtlColorStatic(HDC dc, HWND ctl);
    void FreeBrushes();

    CSkinBitmap m_background;
    CSkinBitmapHyperLink m_link1, m_link2;
    std::vector<HBITMAP> m_images;
    int m_height = kMinHeight;
    std::string m_url1, m_label1;
    CSkinScrollInfo m_ticker;
    std::string m_url2, m_label2;
    HFONT m_linkFont = nullptr;
    std::vector<std::pair<HWND, HBRUSH>> m_brushes;  // the links' backgrounds
};
