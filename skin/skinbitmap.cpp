#include "skin/skinbitmap.h"

#include <objbase.h>
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/win32util.h"

int GetImageType(const char* file) {
    size_t n = file ? strlen(file) : 0;
    if (n < 4) return 2;
    char ext[5];
    for (int i = 0; i < 4; ++i) ext[i] = (char)toupper((unsigned char)file[n - 4 + i]);
    ext[4] = '\0';
    if (strcmp(ext, ".BMP") == 0) return 0;
    if (strcmp(ext, ".JPG") == 0) return 1;
    return 2;
}

HBITMAP CreateBitmapFromPicture(IPicture* picture, COLORREF background) {
    if (!picture) return nullptr;
    OLE_XSIZE_HIMETRIC hmw = 0;
    OLE_YSIZE_HIMETRIC hmh = 0;
    picture->get_Width(&hmw);
    picture->get_Height(&hmh);
    HWND desk = ::GetDesktopWindow();
    HDC screen = ::GetDC(desk);
    if (!screen) return nullptr;
    int w = ::MulDiv(hmw, ::GetDeviceCaps(screen, LOGPIXELSX), 2540);
    int h = ::MulDiv(hmh, ::GetDeviceCaps(screen, LOGPIXELSY), 2540);
    HBITMAP bmp = nullptr;
    HDC mem = ::CreateCompatibleDC(screen);
    if (mem && w > 0 && h > 0) bmp = ::CreateCompatibleBitmap(screen, w, h);
    if (bmp) {
        HGDIOBJ old = ::SelectObject(mem, bmp);
        if (background != (COLORREF)-1) {
            HBRUSH brush = ::CreateSolidBrush(background);
            RECT r = {0, 0, w, h};
            ::FillRect(mem, &r, brush);
            ::DeleteObject(brush);
        }
        // The picture's origin is its bottom (a negative height), as Render expects.
        if (FAILED(picture->Render(mem, 0, 0, w, h, 0, hmh, hmw, -hmh, nullptr))) {
            ::SelectObject(mem, old);
            ::DeleteObject(bmp);
            bmp = nullptr;
        } else {
            ::SelectObject(mem, old);
        }
    }
    if (mem) ::DeleteDC(mem);
    ::ReleaseDC(desk, screen);
    return bmp;
}

HBITMAP LoadSkinImage(const char* path, COLORREF background) {
    if (!path || !*path) return nullptr;
    switch (GetImageType(path)) {
    case 0:
        return (HBITMAP)::LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    case 1: {
        int n = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
        if (n <= 0) return nullptr;
        std::vector<WCHAR> wide(n);
        ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
        IPicture* picture = nullptr;
        if (FAILED(::OleLoadPicturePath(wide.data(), nullptr, 0, background, IID_IPicture, (void**)&picture)) ||
            !picture)
            return nullptr;
        HBITMAP bmp = CreateBitmapFromPicture(picture, background);
        picture->Release();
        return bmp;
    }
    default: {
        // Bars and buttons name PNG pictures; without this they would load nothing and vanish.
        size_t n = strlen(path);
        if (n >= 4 && lstrcmpiA(path + n - 4, ".png") == 0) return LoadPngResource(path, nullptr);
        return nullptr;
    }
    }
}

void DrawTransparent(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, int srcX, int srcY,
                     COLORREF transparent, HPALETTE palette) {
    if (!dc || !bitmap || width <= 0 || height <= 0) return;
    HDC src = ::CreateCompatibleDC(dc);
    HDC copy = ::CreateCompatibleDC(dc);
    HDC mask = ::CreateCompatibleDC(dc);
    HBITMAP colour = ::CreateCompatibleBitmap(dc, width, height);
    HBITMAP mono = ::CreateBitmap(width, height, 1, 1, nullptr);
    HPALETTE oldPalDc = nullptr, oldPalCopy = nullptr;
    if (palette && (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE)) {
        oldPalDc = ::SelectPalette(dc, palette, FALSE);
        ::RealizePalette(dc);
        oldPalCopy = ::SelectPalette(copy, palette, FALSE);
    }
    if (src && copy && mask && colour && mono) {
        HGDIOBJ oldSrc = ::SelectObject(src, bitmap);
        HGDIOBJ oldCopy = ::SelectObject(copy, colour);
        HGDIOBJ oldMask = ::SelectObject(mask, mono);
        ::BitBlt(copy, 0, 0, width, height, src, srcX, srcY, SRCCOPY);
        // Mask: white where the part has the transparent colour.
        COLORREF oldBk = ::SetBkColor(copy, transparent);
        ::BitBlt(mask, 0, 0, width, height, copy, 0, 0, SRCCOPY);
        // Black out the transparent pixels of the copy.
        ::SetBkColor(copy, RGB(0, 0, 0));
        COLORREF oldText = ::SetTextColor(copy, RGB(255, 255, 255));
        ::BitBlt(copy, 0, 0, width, height, mask, 0, 0, SRCAND);
        ::SetBkColor(copy, oldBk);
        ::SetTextColor(copy, oldText);
        // Punch the opaque shape into the target, then fill it with the picture.
        COLORREF dcBk = ::SetBkColor(dc, RGB(255, 255, 255));
        COLORREF dcText = ::SetTextColor(dc, RGB(0, 0, 0));
        ::BitBlt(dc, x, y, width, height, mask, 0, 0, SRCAND);
        ::BitBlt(dc, x, y, width, height, copy, 0, 0, SRCPAINT);
        ::SetBkColor(dc, dcBk);
        ::SetTextColor(dc, dcText);
        ::SelectObject(src, oldSrc);
        ::SelectObject(copy, oldCopy);
        ::SelectObject(mask, oldMask);
    }
    if (oldPalCopy) ::SelectPalette(copy, oldPalCopy, FALSE);
    if (oldPalDc) ::SelectPalette(dc, oldPalDc, FALSE);
    if (src) ::DeleteDC(src);
    if (copy) ::DeleteDC(copy);
    if (mask) ::DeleteDC(mask);
    if (colour) ::DeleteObject(colour);
    if (mono) ::DeleteObject(mono);
}

HRGN BitmapToRegion(HBITMAP bitmap, COLORREF transparent) {
    if (!bitmap) return nullptr;
    BITMAP bm = {};
    if (!::GetObjectA(bitmap, sizeof(bm), &bm)) return nullptr;
    int w = bm.bmWidth, h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    if (w <= 0 || h <= 0) return ::CreateRectRgn(0, 0, 0, 0);
    // Every depth is read as 32-bit rows, top row first; 16-bit pictures compare at 5-6-5 precision.
    BITMAPINFO bi = TopDownDib32Info(w, h);
    std::vector<DWORD> px((size_t)w * h);
    HDC ic = ::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    if (!ic) return nullptr;
    int got = ::GetDIBits(ic, bitmap, 0, h, px.data(), &bi, DIB_RGB_COLORS);
    ::DeleteDC(ic);
    if (got != h) return nullptr;
    DWORD key = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
    DWORD cmpMask = bm.bmBitsPixel == 16 ? 0xF8FCF8 : 0xFFFFFF;
    key &= cmpMask;

    std::vector<RECT> rects;
    rects.reserve(h);
    for (int y = 0; y < h; ++y) {
        const DWORD* row = &px[(size_t)y * w];
        int x = 0;
        while (x < w) {
            while (x < w && (row[x] & cmpMask) == key) ++x;
            int start = x;
            while (x < w && (row[x] & cmpMask) != key) ++x;
            if (x > start) rects.push_back(RECT{start, y, x, y + 1});
        }
    }
    HRGN result = ::CreateRectRgn(0, 0, 0, 0);
    // Regions are built in batches: some systems refuse a region of very many rectangles at once.
    const size_t kBatch = 2000;
    for (size_t i = 0; i < rects.size(); i += kBatch) {
        size_t n = std::min(kBatch, rects.size() - i);
        std::vector<BYTE> data(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
        RGNDATA* rd = (RGNDATA*)data.data();
        rd->rdh.dwSize = sizeof(RGNDATAHEADER);
        rd->rdh.iType = RDH_RECTANGLES;
        rd->rdh.nCount = (DWORD)n;
        rd->rdh.nRgnSize = (DWORD)(n * sizeof(RECT));
        RECT bound = {w, h, 0, 0};
        for (size_t k = 0; k < n; ++k) {
            const RECT& r = rects[i + k];
            bound.left = std::min(bound.left, r.left);
            bound.top = std::min(bound.top, r.top);
            bound.right = std::max(bound.right, r.right);
            bound.bottom = std::max(bound.bottom, r.bottom);
        }
        rd->rdh.rcBound = bound;
        memcpy(rd->Buffer, &rects[i], n * sizeof(RECT));
        HRGN part = ::ExtCreateRegion(nullptr, (DWORD)data.size(), rd);
        if (!part) {
            ::DeleteObject(result);
            return nullptr;
        }
        ::CombineRgn(result, result, part, RGN_OR);
        ::DeleteObject(part);
    }
    return result;
}

DWORD RgbToHsl(COLORREF color) {
    int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    int mx = std::max(r, std::max(g, b));
    int mn = std::min(r, std::min(g, b));
    if (mx == mn) return (DWORD)((int)((mx + mn) / 510.0 * 255.0)) << 8;
    double l = (mx + mn) / 510.0;
    double s = l <= 0.5 ? (double)(mx - mn) / (mx + mn) : (double)(mx - mn) / (510 - mx - mn);
    double d = mx - mn;
    double rc = (mx - r) / d, gc = (mx - g) / d, bc = (mx - b) / d;
    double hue;
    if (b == mx) hue = (4 + gc - rc) * 60;
    else if (g == mx) hue = (2 + rc - bc) * 60;
    else hue = (6 + bc - gc) * 60;
    if (hue > 360) hue -= 360;
    DWORD H = (DWORD)(int)(hue * 255 / 360) & 0xFF;
    DWORD L = (DWORD)(int)(l * 255) & 0xFF;
    DWORD S = (DWORD)(int)(s * 255) & 0xFF;
    return H | (L << 8) | (S << 16);
}

BYTE HueToRgb(double p, double q, double hue) {
    if (hue > 360) hue -= 360;
    else if (hue < 0) hue += 360;
    double v;
    if (hue < 60) v = p + (q - p) * hue / 60;
    else if (hue < 180) v = q;
    else if (hue < 240) v = p + (q - p) * (240 - hue) / 60;
    else v = p;
    int c = (int)(v * 255);
    return (BYTE)std::max(0, std::min(255, c));
}

COLORREF HslToRgb(DWORD hsl) {
    BYTE hb = hsl & 0xFF, lb = (hsl >> 8) & 0xFF, sb = (hsl >> 16) & 0xFF;
    double s = sb / 255.0;
    if (sb == 0) return RGB(lb, lb, lb);
    double l = lb / 255.0;
    double q = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    double p = 2 * l - q;
    double hue = hb * 360.0 / 255.0;
    return RGB(HueToRgb(p, q, hue + 120), HueToRgb(p, q, hue), HueToRgb(p, q, hue - 120));
}

// ---- CSkinBitmap ---------------------------------------------------------------------------

SharedBitmap MakeSharedBitmap(HBITMAP owned) {
    if (!owned) return nullptr;
    return SharedBitmap(owned, [](HBITMAP b) { ::DeleteObject(b); });
}

SharedBitmap SharedSkinPicture(const char* file) {
    if (!file || !*file) return nullptr;
    // Weak entries: a picture lives while a window shows it, and a skin changed in between
    // (another folder, so another path) never gets the old one.
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<std::remove_pointer<HBITMAP>::type>> pictures;
    const std::string path = GetSkinFilePath(file);
    std::lock_guard<std::mutex> hold(lock);
    std::weak_ptr<std::remove_pointer<HBITMAP>::type>& entry = pictures[path];
    if (SharedBitmap held = entry.lock()) return held;
    SharedBitmap made = MakeSharedBitmap(LoadSkinImage(path.c_str(), RGB(255, 255, 255)));
    entry = made;
    return made;
}

bool CSkinBitmap::Load(const char* path, COLORREF background) {
    DeleteObject();
    HBITMAP bmp = LoadSkinImage(path, background);
    if (!bmp) return false;
    Attach(bmp);
    return true;
}

bool CSkinBitmap::HasAlpha() const {
    BITMAP bm = {};
    return m_hObject && GetBitmap(&bm) && bm.bmBitsPixel == 32;
}

namespace {
// A memory DC with the bitmap selected, for one drawing call.
class CSourceDC {
public:
    CSourceDC(HDC compatible, HBITMAP bmp) : m_dc(::CreateCompatibleDC(compatible)), m_old(nullptr) {
        if (m_dc) m_old = ::SelectObject(m_dc, bmp);
    }
    ~CSourceDC() {
        if (m_dc) {
            if (m_old) ::SelectObject(m_dc, m_old);
            ::DeleteDC(m_dc);
        }
    }
    bool Ok() const { return m_dc && m_old; }
    operator HDC() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
}  // namespace

bool CSkinBitmap::DrawPart(HDC dc, int x, int y, const RECT* src) const {
    if (!m_hObject) return false;
    CRect part = src ? CRect(*src) : GetRect();
    CSourceDC mem(dc, m_hObject);
    if (!mem.Ok()) return false;
    ::BitBlt(dc, x, y, part.Width(), part.Height(), mem, part.left, part.top, SRCCOPY);
    return true;
}

bool CSkinBitmap::Draw(HDC dc, int x, int y, const RECT* src, COLORREF transparent, bool useTransparent) const {
    if (useTransparent) {
        CRect part = src ? CRect(*src) : GetRect();
        DrawTransparent(dc, x, y, part.Width(), part.Height(), m_hObject, part.left, part.top, transparent);
    } else {
        DrawPart(dc, x, y, src);
    }
    return true;
}

bool CSkinBitmap::Blit(HDC dc, const RECT& rect) const {
    if (!m_hObject) return false;
    CSourceDC mem(dc, m_hObject);
    if (!mem.Ok()) return false;
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, mem, 0, 0, SRCCOPY);
    return true;
}

bool CSkinBitmap::StretchDraw(HDC dc, const RECT& target, const RECT* src) const {
    if (!m_hObject) return false;
    CRect part = src ? CRect(*src) : GetRect();
    CSourceDC mem(dc, m_hObject);
    if (!mem.Ok()) return false;
    int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, mem, part.left,
                 part.top, part.Width(), part.Height(), SRCCOPY);
    ::SetStretchBltMode(dc, oldMode);
    return true;
}

bool CSkinBitmap::AlphaDraw(HDC dc, const RECT& target, const RECT* src, BYTE alpha) const {
    if (!m_hObject) return false;
    CRect part = src ? CRect(*src) : GetRect();
    CSourceDC mem(dc, m_hObject);
    if (!mem.Ok()) return false;
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, alpha, (BYTE)(HasAlpha() ? AC_SRC_ALPHA : 0)};
    return ::AlphaBlend(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, mem,
                        part.left, part.top, part.Width(), part.Height(), bf) != FALSE;
}

bool CSkinBitmap::CreateStretched(CEnBitmap& target, const RECT& rect, int capX, int capY) const {
    if (!m_hObject) return false;
    const int W = GetWidth(), H = GetHeight();
    const int TW = rect.right - rect.left, TH = rect.bottom - rect.top;
    if (W <= 0 || H <= 0 || TW <= 0 || TH <= 0) return false;
    // A cap beyond the picture would read outside it.
    int X = std::max(0, std::min(capX, W - 1));
    int Y = std::max(0, std::min(capY, H - 1));
    if (capX <= 0) X = 0;
    if (capY <= 0) Y = 0;

    CBitmap made;
    made.CreateDIB32(TW, TH);
    if (made.IsNull()) return false;
    HDC screen = ::GetDC(nullptr);
    {
        CSourceDC src(screen, m_hObject);
        CSourceDC dst(screen, made);
        if (!src.Ok() || !dst.Ok()) {
            ::ReleaseDC(nullptr, screen);
            return false;
        }
        ::SetStretchBltMode(dst, COLORONCOLOR);
        // Pieces of no width or height are skipped (a target smaller than the picture).
        auto copy = [&](int dx, int dy, int w, int h, int sx, int sy) {
            if (w > 0 && h > 0) ::BitBlt(dst, dx, dy, w, h, src, sx, sy, SRCCOPY);
        };
        auto stretch = [&](int dx, int dy, int w, int h, int sx, int sy, int sw, int sh) {
            if (w > 0 && h > 0 && sw > 0 && sh > 0) ::StretchBlt(dst, dx, dy, w, h, src, sx, sy, sw, sh, SRCCOPY);
        };
        if (X == 0 && Y == 0) {
            stretch(0, 0, TW, TH, 0, 0, W, H);
        } else if (Y == 0) {
            copy(0, 0, X, TH, 0, 0);
            stretch(X, 0, TW - W, TH, X, 0, 1, H);
            copy(TW - (W - X), 0, W - X, TH, X, 0);
        } else if (X == 0) {
            copy(0, 0, std::min(TW, W), Y, 0, 0);  // the picture has only W columns
            stretch(0, Y, W, TH - H, 0, Y, W, 1);
            copy(0, TH - (H - Y), W, H - Y, 0, Y);
        } else {
            copy(0, 0, X, Y, 0, 0);
            copy(TW - (W - X), 0, W - X, Y, X, 0);
            copy(0, TH - (H - Y), X, H - Y, 0, Y);
            copy(TW - (W - X), TH - (H - Y), W - X, H - Y, X, Y);
            stretch(X, 0, TW - W, Y, X, 0, 1, Y);                          // top edge
            stretch(X, TH - (H - Y), TW - W, H - Y, X, Y, 1, H - Y);       // bottom edge
            stretch(0, Y, X, TH - H, 0, Y, X, 1);                          // left edge
            stretch(TW - (W - X), Y, W - X, TH - H, X, Y, W - X, 1);       // right edge
            stretch(X, Y, TW - W, TH - H, X, Y, 1, 1);                     // centre
        }
    }
    ::ReleaseDC(nullptr, screen);
    target.Attach(made.Detach());
    return true;
}

bool CSkinBitmap::DrawStretched(HDC dc, const RECT& rect, int capX, int capY) const {
    CEnBitmap tmp;
    if (!CreateStretched(tmp, rect, capX, capY)) return false;
    CSourceDC mem(dc, tmp);
    if (!mem.Ok()) return false;
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, mem, 0, 0, SRCCOPY);
    return true;
}
