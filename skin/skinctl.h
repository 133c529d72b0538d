// What the skinned controls share: the parent's background as a brush, alpha repair after GDI
// drawing, blending of image parts, the menu font and the one way a web link is opened.
#pragma once

#include <cstdint>
#include <vector>

#include "skin/ctlmodel.h"
#include "winfw/gdi.h"

// A pattern brush of what the parent draws under the control (its WM_ERASEBKGND and
// WM_PRINTCLIENT into a memory bitmap, cut to the control's rectangle); null on failure.
HBRUSH CreateParentBackgroundBrush(HWND control);
// Lines a pattern brush such as that one up with the client area in dc, also when dc buffers
// only part of the window (its viewport then starts off the corner).
void AlignBrushToClient(HDC dc);

// The system menu font, in a character set that draws Chinese.
bool GetMenuLogFont(LOGFONTA* lf);

// Opens a web page through the program's page seam, and only an http or https one.
bool OpenWebLink(const char* url);

// Keeps a copy of a 32-bit DIB section's pixels; Apply() makes every pixel that GDI changed since
// opaque, so that text and shapes survive a later per-pixel alpha blend.
class CDrawnAlphaFix {
public:
    explicit CDrawnAlphaFix(HBITMAP dib);
    void Apply();

private:
    uint32_t* m_bits = nullptr;
    std::vector<uint32_t> m_before;
};

// Blends a part of a bitmap with per-pixel alpha and a constant alpha, stretched to the target.
bool BlendBitmapPart(HDC dc, const RECT& target, HBITMAP bitmap, const RECT& source, BYTE alpha);
// The same as nine pieces: corners keep their size (left, top, right, bottom), edges and centre
// stretch.
void BlendNinePart(HDC dc, const RECT& target, HBITMAP bitmap, const RECT& source, int l, int t, int r, int b,
                   BYTE alpha);
// A 32-bit top-down DIB section selected into a new memory DC; everything is freed with it.
class CDibCanvas {
public:
    CDibCanvas(int width, int height);
    ~CDibCanvas();
    CDibCanvas(const CDibCanvas&) = delete;
    CDibCanvas& operator=(const CDibCanvas&) = delete;
    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bmp; }
    uint32_t* bits() const { return m_bits; }
    HBITMAP Detach();  // the bitmap leaves the canvas (deselected)
    int width, height;

private:
    HDC m_dc = nullptr;
    HBITMAP m_bmp = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

inline RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
