// RAII wrappers for device contexts and GDI objects. The "managed" forms own their handle and
// delete it; the "Handle" forms only wrap one.
#pragma once

#include <string>

#include "winfw/types.h"

// A GDI object handle (pen, brush, font, bitmap, region).
template <class H, bool t_managed>
class CGdiObjectT {
public:
    H m_hObject;
    CGdiObjectT(H h = nullptr) : m_hObject(h) {}
    ~CGdiObjectT() {
        if (t_managed) DeleteObject();
    }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    CGdiObjectT(CGdiObjectT&& o) noexcept : m_hObject(o.m_hObject) { o.m_hObject = nullptr; }
    CGdiObjectT& operator=(H h) {
        Attach(h);
        return *this;
    }
    operator H() const { return m_hObject; }
    bool IsNull() const { return m_hObject == nullptr; }
    // Takes the handle (a managed wrapper deletes the one it held).
    void Attach(H h) {
        if (t_managed && m_hObject && m_hObject != h) ::DeleteObject(m_hObject);
        m_hObject = h;
    }
    H Detach() {
        H h = m_hObject;
        m_hObject = nullptr;
        return h;
    }
    BOOL DeleteObject() {
        if (!m_hObject) return FALSE;
        BOOL ok = ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return ok;
    }
};

template <bool t_managed>
class CPenT : public CGdiObjectT<HPEN, t_managed> {
public:
    using CGdiObjectT<HPEN, t_managed>::CGdiObjectT;
    HPEN CreatePen(int style, int width, COLORREF color) {
        this->Attach(::CreatePen(style, width, color));
        return this->m_hObject;
    }
};
typedef CPenT<true> CPen;
typedef CPenT<false> CPenHandle;

template <bool t_managed>
class CBrushT : public CGdiObjectT<HBRUSH, t_managed> {
public:
    using CGdiObjectT<HBRUSH, t_managed>::CGdiObjectT;
    HBRUSH CreateSolidBrush(COLORREF color) {
        this->Attach(::CreateSolidBrush(color));
        return this->m_hObject;
    }
    HBRUSH CreatePatternBrush(HBITMAP bmp) {
        this->Attach(::CreatePatternBrush(bmp));
        return this->m_hObject;
    }
};
typedef CBrushT<true> CBrush;
typedef CBrushT<false> CBrushHandle;

// A LOGFONT with the helpers the program uses.
class CLogFont : public LOGFONTA {
public:
    CLogFont() { ZeroMemory(static_cast<LOGFONTA*>(this), sizeof(LOGFONTA)); }
    explicit CLogFont(const LOGFONTA& lf) { *static_cast<LOGFONTA*>(this) = lf; }
    // The description of an existing font.
    explicit CLogFont(HFONT font) : CLogFont() { if (font) ::GetObjectA(font, sizeof(LOGFONTA), static_cast<LOGFONTA*>(this)); }
    void SetFaceName(const char* face) { lstrcpynA(lfFaceName, face ? face : "", LF_FACESIZE); }
    void SetBold(bool bold = true) { lfWeight = bold ? FW_BOLD : FW_NORMAL; }
    // Chinese text needs a character set that can show it; ANSI fonts draw it as boxes.
    void SetCharsetDefault() { lfCharSet = DEFAULT_CHARSET; }
    HFONT CreateFontIndirect() const { return ::CreateFontIndirectA(this); }
};

// A font that can draw GBK text: the description as given, in DEFAULT_CHARSET when it named the
// ANSI or OEM set (the system's menu and message fonts do; Chinese then draws as boxes).
inline HFONT CreateGbkFont(const LOGFONTA& lf) {
    LOGFONTA copy = lf;
    if (copy.lfCharSet == ANSI_CHARSET || copy.lfCharSet == OEM_CHARSET) copy.lfCharSet = DEFAULT_CHARSET;
    return ::CreateFontIndirectA(&copy);
}

template <bool t_managed>
class CFontT : public CGdiObjectT<HFONT, t_managed> {
public:
    using CGdiObjectT<HFONT, t_managed>::CGdiObjectT;
    HFONT CreateFontIndirect(const LOGFONTA* lf) {
        this->Attach(::CreateFontIndirectA(lf));
        return this->m_hObject;
    }
    // A font by face, height and weight, in DEFAULT_CHARSET so that GBK text draws.
    HFONT CreateFont(int height, const char* face, bool bold = false) {
        CLogFont lf;
        lf.lfHeight = height;
        lf.SetBold(bold);
        lf.SetCharsetDefault();
        lf.SetFaceName(face);
        return CreateFontIndirect(&lf);
    }
};
typedef CFontT<true> CFont;
typedef CFontT<false> CFontHandle;

// The header of a top-down 32-bit DIB (BGRA rows, first row at the top).
inline BITMAPINFO TopDownDib32Info(int cx, int cy) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

template <bool t_managed>
class CBitmapT : public CGdiObjectT<HBITMAP, t_managed> {
public:
    using CGdiObjectT<HBITMAP, t_managed>::CGdiObjectT;
    HBITMAP CreateCompatibleBitmap(HDC dc, int cx, int cy) {
        this->Attach(::CreateCompatibleBitmap(dc, cx, cy));
        return this->m_hObject;
    }
    // A top-down 32-bit DIB section; bits receives its pixels (BGRA).
    HBITMAP CreateDIB32(int cx, int cy, void** bits = nullptr) {
        BITMAPINFO bi = TopDownDib32Info(cx, cy);
        void* p = nullptr;
        this->Attach(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
        if (bits) *bits = p;
        return this->m_hObject;
    }
    BOOL GetBitmap(BITMAP* bm) const { return ::GetObjectA(this->m_hObject, sizeof(BITMAP), bm) != 0; }
    CSize GetSize() const {
        BITMAP bm = {};
        if (!this->m_hObject || !GetBitmap(&bm)) return CSize();
        return CSize(bm.bmWidth, bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight);
    }
};
typedef CBitmapT<true> CBitmap;
typedef CBitmapT<false> CBitmapHandle;

template <bool t_managed>
class CRgnT : public CGdiObjectT<HRGN, t_managed> {
public:
    using CGdiObjectT<HRGN, t_managed>::CGdiObjectT;
    HRGN CreateRectRgn(int l, int t, int r, int b) {
        this->Attach(::CreateRectRgn(l, t, r, b));
        return this->m_hObject;
    }
    int CombineRgn(HRGN a, HRGN b, int mode) { return ::CombineRgn(this->m_hObject, a, b, mode); }
    BOOL PtInRegion(int x, int y) const { return ::PtInRegion(this->m_hObject, x, y); }
    int GetRgnBox(LPRECT r) const { return ::GetRgnBox(this->m_hObject, r); }
};
typedef CRgnT<true> CRgn;
typedef CRgnT<false> CRgnHandle;

// A device context. The managed form deletes it (a memory DC).
template <bool t_managed>
class CDCT {
public:
    HDC m_hDC;
    CDCT(HDC dc = nullptr) : m_hDC(dc) {}
    ~CDCT() {
        if (t_managed && m_hDC) ::DeleteDC(m_hDC);
    }
    CDCT(const CDCT&) = delete;
    CDCT& operator=(const CDCT&) = delete;
    operator HDC() const { return m_hDC; }
    bool IsNull() const { return m_hDC == nullptr; }
    HDC CreateCompatibleDC(HDC dc = nullptr) {
        if (t_managed && m_hDC) ::DeleteDC(m_hDC);
        m_hDC = ::CreateCompatibleDC(dc);
        return m_hDC;
    }
    void Attach(HDC dc) {
        if (t_managed && m_hDC && m_hDC != dc) ::DeleteDC(m_hDC);
        m_hDC = dc;
    }
    HDC Detach() {
        HDC dc = m_hDC;
        m_hDC = nullptr;
        return dc;
    }

    HGDIOBJ SelectObject(HGDIOBJ o) { return ::SelectObject(m_hDC, o); }
    HPEN SelectPen(HPEN p) { return (HPEN)::SelectObject(m_hDC, p); }
    HBRUSH SelectBrush(HBRUSH b) { return (HBRUSH)::SelectObject(m_hDC, b); }
    HFONT SelectFont(HFONT f) { return (HFONT)::SelectObject(m_hDC, f); }
    HBITMAP SelectBitmap(HBITMAP b) { return (HBITMAP)::SelectObject(m_hDC, b); }
    HGDIOBJ SelectStockObject(int i) { return ::SelectObject(m_hDC, ::GetStockObject(i)); }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

    COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
    COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
    int SetBkMode(int m) { return ::SetBkMode(m_hDC, m); }
    int SetROP2(int r) { return ::SetROP2(m_hDC, r); }
    BOOL SetViewportOrg(int x, int y, LPPOINT old = nullptr) { return ::SetViewportOrgEx(m_hDC, x, y, old); }
    int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }
    int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
    int SelectClipRgn(HRGN rgn) { return ::SelectClipRgn(m_hDC, rgn); }

    void FillSolidRect(LPCRECT r, COLORREF c) {
        COLORREF old = ::SetBkColor(m_hDC, c);
        ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
        ::SetBkColor(m_hDC, old);
    }
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
        RECT r = {x, y, x + cx, y + cy};
        FillSolidRect(&r, c);
    }
    int FillRect(LPCRECT r, HBRUSH b) { return ::FillRect(m_hDC, r, b); }
    int FrameRect(LPCRECT r, HBRUSH b) { return ::FrameRect(m_hDC, r, b); }
    BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL RoundRect(int l, int t, int r, int b, int w, int h) { return ::RoundRect(m_hDC, l, t, r, b, w, h); }
    BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
    BOOL Polygon(const POINT* p, int n) { return ::Polygon(m_hDC, p, n); }
    BOOL Polyline(const POINT* p, int n) { return ::Polyline(m_hDC, p, n); }
    BOOL MoveTo(int x, int y, LPPOINT old = nullptr) { return ::MoveToEx(m_hDC, x, y, old); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }

    BOOL TextOut(int x, int y, const char* s, int n = -1) {
        return ::TextOutA(m_hDC, x, y, s, n < 0 ? lstrlenA(s) : n);
    }
    int DrawText(const char* s, int n, LPRECT r, UINT fmt) { return ::DrawTextA(m_hDC, s, n, r, fmt); }
    BOOL GetTextExtent(const char* s, int n, LPSIZE sz) const {
        return ::GetTextExtentPoint32A(m_hDC, s, n < 0 ? lstrlenA(s) : n, sz);
    }
    BOOL GetTextMetrics(LPTEXTMETRICA tm) const { return ::GetTextMetricsA(m_hDC, tm); }

    BOOL BitBlt(int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, cx, cy, src, sx, sy, rop);
    }
    BOOL StretchBlt(int x, int y, int cx, int cy, HDC src, int sx, int sy, int scx, int scy, DWORD rop) {
        return ::StretchBlt(m_hDC, x, y, cx, cy, src, sx, sy, scx, scy, rop);
    }
    int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
    BOOL DrawEdge(LPRECT r, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, r, edge, flags); }
    BOOL DrawFocusRect(LPCRECT r) { return ::DrawFocusRect(m_hDC, r); }
    BOOL DrawIconEx(int x, int y, HICON icon, int cx, int cy) {
        return ::DrawIconEx(m_hDC, x, y, icon, cx, cy, 0, nullptr, DI_NORMAL);
    }
};
typedef CDCT<true> CDC;
typedef CDCT<false> CDCHandle;

// Restores a DC's selection when it leaves scope.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~CSelectObject() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

class CPaintDC : public CDCHandle {
public:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    explicit CPaintDC(HWND h) : m_hWnd(h) { m_hDC = ::BeginPaint(h, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); m_hDC = nullptr; }
};

// WM_PAINT's handler body: draws into the DC the message gave (WM_PRINTCLIENT, or WM_PAINT with a
// DC), or else between BeginPaint and EndPaint (nothing when BeginPaint gives no DC).
template <class Draw>
void PaintGivenOrOwn(HWND wnd, HDC given, Draw draw) {
    if (given) {
        draw(given);
        return;
    }
    CPaintDC dc(wnd);
    if (dc.m_hDC) draw(dc.m_hDC);
}

class CClientDC : public CDCHandle {
public:
    HWND m_hWnd;
    explicit CClientDC(HWND h) : m_hWnd(h) { m_hDC = ::GetDC(h); }
    ~CClientDC() { if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC); m_hDC = nullptr; }
};

class CWindowDC : public CDCHandle {
public:
    HWND m_hWnd;
    explicit CWindowDC(HWND h) : m_hWnd(h) { m_hDC = ::GetWindowDC(h); }
    ~CWindowDC() { if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC); m_hDC = nullptr; }
};

// An off-screen copy of a rectangle of a DC: drawing goes to it in the target's coordinates,
// and the destructor copies it to the target in one blit.
class CMemoryDC : public CDCHandle {
public:
    CMemoryDC(HDC target, const RECT& r) : m_target(target), m_rc(r) {
        m_hDC = ::CreateCompatibleDC(target);
        m_bmp = ::CreateCompatibleBitmap(target, m_rc.Width() > 0 ? m_rc.Width() : 1, m_rc.Height() > 0 ? m_rc.Height() : 1);
        m_old = ::SelectObject(m_hDC, m_bmp);
        ::SetViewportOrgEx(m_hDC, -m_rc.left, -m_rc.top, nullptr);
    }
    ~CMemoryDC() {
        ::SetViewportOrgEx(m_hDC, 0, 0, nullptr);
        ::BitBlt(m_target, m_rc.left, m_rc.top, m_rc.Width(), m_rc.Height(), m_hDC, 0, 0, SRCCOPY);
        ::SelectObject(m_hDC, m_old);
        ::DeleteObject(m_bmp);
        ::DeleteDC(m_hDC);
        m_hDC = nullptr;
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

private:
    HDC m_target;
    CRect m_rc;
    HBITMAP m_bmp;
    HGDIOBJ m_old;
};
