#include "skin/skinctl.h"

#include <cstring>

#include "base/seams.h"

HBRUSH CreateParentBackgroundBrush(HWND control) {
    HWND parent = ::GetParent(control);
    if (!parent) return nullptr;
    RECT pw, me;
    ::GetWindowRect(parent, &pw);
    ::GetWindowRect(control, &me);
    int w = pw.right - pw.left, h = pw.bottom - pw.top;
    int cw = me.right - me.left, ch = me.bottom - me.top;
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0) return nullptr;
    HDC pdc = ::GetDC(parent);
    HDC mem = ::CreateCompatibleDC(pdc);
    HBITMAP whole = ::CreateCompatibleBitmap(pdc, w, h);
    HDC part = ::CreateCompatibleDC(pdc);
    HBITMAP piece = ::CreateCompatibleBitmap(pdc, cw, ch);
    HBRUSH brush = nullptr;
    if (mem && whole && part && piece) {
        HGDIOBJ oldWhole = ::SelectObject(mem, whole);
        ::SendMessageA(parent, WM_ERASEBKGND, (WPARAM)mem, 0);
        ::SendMessageA(parent, WM_PRINTCLIENT, (WPARAM)mem, PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        POINT at = {me.left, me.top};
        ::ScreenToClient(parent, &at);
        HGDIOBJ oldPiece = ::SelectObject(part, piece);
        ::BitBlt(part, 0, 0, cw, ch, mem, at.x, at.y, SRCCOPY);
        ::SelectObject(part, oldPiece);
        ::SelectObject(mem, oldWhole);
        brush = ::CreatePatternBrush(piece);
    }
    if (piece) ::DeleteObject(piece);
    if (part) ::DeleteDC(part);
    if (whole) ::DeleteObject(whole);
    if (mem) ::DeleteDC(mem);
    ::ReleaseDC(parent, pdc);
    return brush;
}

void AlignBrushToClient(HDC dc) {
    POINT org = {0, 0};
    ::GetViewportOrgEx(dc, &org);
    ::SetBrushOrgEx(dc, org.x, org.y, nullptr);
}

bool GetMenuLogFont(LOGFONTA* lf) {
    NONCLIENTMETRICSA ncm;
    std::memset(&ncm, 0, sizeof(ncm));
    ncm.cbSize = sizeof(ncm);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return false;
    *lf = ncm.lfMenuFont;
    if (lf->lfCharSet == ANSI_CHARSET || lf->lfCharSet == OEM_CHARSET) lf->lfCharSet = DEFAULT_CHARSET;
    return true;
}

bool OpenWebLink(const char* url) { return IsWebUrl(url) && OpenWebPage(url); }

CDrawnAlphaFix::CDrawnAlphaFix(HBITMAP dib) {
    DIBSECTION ds;
    if (!dib || ::GetObjectA(dib, sizeof(ds), &ds) != sizeof(ds) || ds.dsBm.bmBitsPixel != 32 || !ds.dsBm.bmBits)
        return;
    ::GdiFlush();
    m_bits = static_cast<uint32_t*>(ds.dsBm.bmBits);
    size_t n = (size_t)ds.dsBm.bmWidth * (size_t)(ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight);
    m_before.assign(m_bits, m_bits + n);
}

void CDrawnAlphaFix::Apply() {
    if (!m_bits) return;
    ::GdiFlush();
    MarkDrawnPixelsOpaque(m_before.data(), m_bits, m_before.size());
}

bool BlendBitmapPart(HDC dc, const RECT& target, HBITMAP bitmap, const RECT& source, BYTE alpha) {
    int tw = target.right - target.left, th = target.bottom - target.top;
    int sw = source.right - source.left, sh = source.bottom - source.top;
    if (!dc || !bitmap || tw <= 0 || th <= 0 || sw <= 0 || sh <= 0 || alpha == 0) return false;
    HDC src = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(src, bitmap);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    BOOL ok = ::AlphaBlend(dc, target.left, target.top, tw, th, src, source.left, source.top, sw, sh, bf);
    ::SelectObject(src, old);
    ::DeleteDC(src);
    return ok != FALSE;
}

void BlendNinePart(HDC dc, const RECT& t, HBITMAP bitmap, const RECT& s, int l, int tp, int r, int b, BYTE alpha) {
    // Corner sizes never exceed half of either rectangle.
    auto fit = [](int v, int a, int c) { return v < 0 ? 0 : v > a / 2 ? a / 2 : v > c / 2 ? c / 2 : v; };
    int tw = t.right - t.left, th = t.bottom - t.top, sw = s.right - s.left, sh = s.bottom - s.top;
    l = fit(l, tw, sw), r = fit(r, tw, sw), tp = fit(tp, th, sh), b = fit(b, th, sh);
    const int tx[4] = {t.left, t.left + l, t.right - r, t.right};
    const int ty[4] = {t.top, t.top + tp, t.bottom - b, t.bottom};
    const int sx[4] = {s.left, s.left + l, s.right - r, s.right};
    const int sy[4] = {s.top, s.top + tp, s.bottom - b, s.bottom};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            RECT dst = {tx[col], ty[row], tx[col + 1], ty[row + 1]};
            RECT src = {sx[col], sy[row], sx[col + 1], sy[row + 1]};
            BlendBitmapPart(dc, dst, bitmap, src, alpha);
        }
}

CDibCanvas::CDibCanvas(int w, int h) : width(w > 0 ? w : 1), height(h > 0 ? h : 1) {
    BITMAPINFO bi = TopDownDib32Info(width, height);
    void* p = nullptr;
    m_bmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    m_bits = static_cast<uint32_t*>(p);
    m_dc = ::CreateCompatibleDC(nullptr);
    if (m_dc && m_bmp) m_old = ::SelectObject(m_dc, m_bmp);
}

CDibCanvas::~CDibCanvas() {
    if (m_dc && m_old) ::SelectObject(m_dc, m_old);
    if (m_bmp) ::DeleteObject(m_bmp);
    if (m_dc) ::DeleteDC(m_dc);
}

HBITMAP CDibCanvas::Detach() {
    if (m_dc && m_old) ::SelectObject(m_dc, m_old);
    m_old = nullptr;
    HBITMAP b = m_bmp;
    m_bmp = nullptr;
    m_bits = nullptr;
    return b;
}
