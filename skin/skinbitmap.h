// Skin pictures as GDI bitmaps and the drawing operations the skinned windows share.
#pragma once

#include <memory>
#include <type_traits>

#include "skin/skinmanager.h"
#include "winfw/gdi.h"

struct IPicture;

// An owned GDI bitmap.
class CEnBitmap : public CBitmap {
public:
    CEnBitmap() = default;
    virtual ~CEnBitmap() = default;
    virtual void Destroy() { DeleteObject(); }
};

// 0 for ".BMP", 1 for ".JPG", 2 for anything else (the last four characters, any case).
int GetImageType(const char* file);
// A new bitmap from a file: BMP and JPG as the screen shows them, PNG as a 32-bit premultiplied
// bitmap (alpha kept); null when the file is missing or unreadable. background: JPG backdrop.
HBITMAP LoadSkinImage(const char* path, COLORREF background);
// A bitmap handle held by several owners and deleted with the last of them.
using SharedBitmap = std::shared_ptr<std::remove_pointer<HBITMAP>::type>;
// Takes the handle (null gives an empty pointer).
SharedBitmap MakeSharedBitmap(HBITMAP owned);
// A picture of the skin folder, decoded once for all who hold it at the same time: every caption
// menu button shows the same strip, and decoding a PNG costs far more than sharing it. Holders
// draw from it and never select it into two DCs at once (all on the window thread). Null when
// missing or unreadable.
SharedBitmap SharedSkinPicture(const char* file);

// Renders an OLE picture into a new screen-compatible bitmap (background -1: not filled).
HBITMAP CreateBitmapFromPicture(IPicture* picture, COLORREF background);

// Draws a part of a bitmap, leaving out the pixels of the transparent colour (mask method).
void DrawTransparent(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, int srcX, int srcY,
                     COLORREF transparent, HPALETTE palette = nullptr);
// A region of every pixel that differs from the colour (null on failure).
HRGN BitmapToRegion(HBITMAP bitmap, COLORREF transparent);

// Colour in HSL, packed: hue (0-255 for 0-360 degrees) low byte, lightness, saturation.
DWORD RgbToHsl(COLORREF color);
COLORREF HslToRgb(DWORD hsl);
BYTE HueToRgb(double p, double q, double hue);

class CSkinBitmap : public CEnBitmap {
public:
    // Replaces the held bitmap with the file's picture; true when one was loaded.
    bool Load(const char* path, COLORREF background = RGB(255, 255, 255));
    // Loads a file of the skin folder.
    bool LoadSkinFile(const char* file, COLORREF background = RGB(255, 255, 255)) {
        return Load(GetSkinFilePath(file).c_str(), background);
    }

    int GetWidth() const { return GetSize().cx; }
    int GetHeight() const { return GetSize().cy; }
    CRect GetRect() const { return CRect(0, 0, GetWidth(), GetHeight()); }
    // Whether the picture has per-pixel alpha (a 32-bit PNG).
    bool HasAlpha() const;

    // Copies the source part (or all) to x, y.
    bool DrawPart(HDC dc, int x, int y, const RECT* src = nullptr) const;
    // DrawTransparent with the colour when asked, else DrawPart.
    bool Draw(HDC dc, int x, int y, const RECT* src, COLORREF transparent, bool useTransparent) const;
    // The picture, unscaled, at the rectangle's corner and cut to its size.
    bool Blit(HDC dc, const RECT& rect) const;
    // The source part (or all) stretched over the target.
    bool StretchDraw(HDC dc, const RECT& target, const RECT* src = nullptr) const;
    // Per-pixel alpha blending of the source part (or all) over the target (stretched to it),
    // with an extra constant alpha.
    bool AlphaDraw(HDC dc, const RECT& target, const RECT* src = nullptr, BYTE alpha = 255) const;

    // A new bitmap of the rectangle's size, stretched by the three- or nine-slice rule around the
    // column capX and the row capY (0: not used).
    bool CreateStretched(CEnBitmap& target, const RECT& rect, int capX, int capY) const;
    bool DrawStretched(HDC dc, const RECT& rect, int capX, int capY) const;
};
