// The chart canvas over a Windows device context, with fonts and pens from the GDI cache. A chart
// draws thousands of small items a paint: the canvas keeps the pen, font, text colour and
// alignment it selected until a call needs others, rather than selecting and restoring per item.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "charts/canvas.h"

namespace charts {

class GdiCanvas : public Canvas {
public:
    // The DC stays the caller's; every object selected into it is put back on destruction. While
    // the canvas lives its clip changes only through PushClip and PopClip.
    explicit GdiCanvas(HDC dc);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    HDC GetDC() const { return m_dc; }

    void FillRect(const Rect& r, Color c) override;
    void FrameRect(const Rect& r, Color c) override;
    void Line(int x1, int y1, int x2, int y2, Color c, int width = 1, PenStyle style = kPenSolid) override;
    void Polyline(const std::vector<Point>& points, Color c, int width = 1, PenStyle style = kPenSolid) override;
    void DrawShapes(const ShapeBatch& shapes) override;
    void XorLine(int x1, int y1, int x2, int y2, Color c = 0xFFFFFF) override;
    void Ellipse(const Rect& r, Color frame, Color fill, bool filled) override;
    void Text(int x, int y, const std::string& text, Color c, const Font& font, int align) override;
    void TextInRect(const Rect& r, const std::string& text, Color c, const Font& font, int align) override;
    int TextWidth(const std::string& text, const Font& font) override;
    int TextHeight(const Font& font) override;
    void PushClip(const Rect& r) override;
    void PopClip() override;

private:
    void UseFont(const Font& font);
    void UsePen(Color c, int width, PenStyle style);
    void UseTextColor(Color c);
    void UseTextAlign(UINT align);
    // After RestoreDC the DC holds other objects than the ones noted.
    void ForgetSelection();
    // A shape batch is drawn as one-pixel segments of one pen in one PolyPolyline call: a row or
    // column of a rectangle is the segment up to (not onto) the pixel past its end, as GDI draws
    // lines. Upright and level runs that meet in a column or row become one segment.
    void AddRun(bool upright, int at, int from, int to);
    void AddFilled(const Rect& r);
    // A 32-bit DIB section under a plain DC (no mapping, copy mode, a rectangular clip) takes its
    // one-pixel solid shapes written straight into its bits, pixel for pixel what GDI draws: under
    // Wine a GDI segment costs about a microsecond, so a polyline of a thousand bars costs a
    // millisecond. DirectClip is false, and GDI draws, when the DC is not like that now.
    bool DirectClip(Color c, Rect* clip);
    void DirectLine(const Rect& clip, uint32_t pixel, int x1, int y1, int x2, int y2);
    // The segments of count points (at least two) each one column right of the one before, as a
    // line of bars one pixel apart is: the pixels DirectLine gives them, a run a column.
    void DirectWalk(const Rect& clip, uint32_t pixel, const Point* p, size_t count);
    void DirectFill(const Rect& clip, uint32_t pixel, const Rect& r);
    // Rows [top, bottom) of column x. Zoomed out nearly every shape is such a column: inline, a
    // plain store a row.
    void DirectColumn(const Rect& clip, uint32_t pixel, int x, int top, int bottom) {
        if (x < clip.left || x >= clip.right) return;
        if (top < clip.top) top = clip.top;
        if (bottom > clip.bottom) bottom = clip.bottom;
        const ptrdiff_t stride = m_bitsStride;
        uint32_t* p = m_bits + ptrdiff_t(top) * stride + x;
        for (int y = top; y < bottom; ++y, p += stride) *p = pixel;
    }
    // A left-aligned text drawn again on a plain background of the colour it was first drawn on
    // is the same pixels: those are copied (the date axis zoomed out repeats a dozen months
    // dozens of times, and a text costs GDI tens of microseconds). False: draw it with GDI.
    bool StampText(int x, int y, const std::string& text, Color c, const Font& font);
    struct Stamp {
        int width = 0, height = 0;  // the copied box, the margin included
        uint32_t back = 0;
        std::vector<uint32_t> pixels;
    };
    std::map<std::pair<std::pair<uint64_t, Color>, std::string>, Stamp> m_stamps;

    HDC m_dc;
    int m_saved;
    uint32_t* m_bits = nullptr;  // row 0 of the DIB section, or null: no direct drawing
    int m_bitsStride = 0;        // pixels from a row to the next (negative bottom-up)
    int m_bitsWidth = 0, m_bitsHeight = 0;
    std::vector<int> m_clipSaves;
    // The clip box as DirectClip last asked it of GDI; the clip changes only through PushClip and
    // PopClip while the canvas lives, and a zoomed-out paint asks for it a hundred times.
    bool m_clipKnown = false, m_clipSimple = false;
    Rect m_clipBox;
    // Runs of pixels [from, to) in column or row at, as (at << 32 | from, to) for sorting.
    std::vector<std::pair<uint64_t, int>> m_upright, m_level;
    std::vector<POINT> m_segments;
    std::vector<DWORD> m_segmentCounts;
    // Objects made for this canvas (the alternate dotted pens, the frame brushes), deleted with it.
    std::map<Color, HPEN> m_dotPens;
    std::map<Color, HBRUSH> m_brushes;
    // Pens and fonts of the process-wide cache, looked up once per canvas.
    std::map<uint64_t, HPEN> m_pens;
    std::map<uint64_t, HFONT> m_fonts;
    std::map<HFONT, int> m_heights;
    // What is selected now (0 / null: not known).
    uint64_t m_penKey = 0;
    HFONT m_font = nullptr;
    Color m_textColor = 0xFFFFFFFF;
    UINT m_textAlign = 0xFFFFFFFF;
};

inline RECT ToRECT(const Rect& r) {
    RECT out = {r.left, r.top, r.right, r.bottom};
    return out;
}

}  // namespace charts

#endif  // _WIN32
