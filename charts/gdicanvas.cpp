#include "charts/gdicanvas.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/gdicache.h"

namespace charts {

namespace {

int ToGdiPenStyle(PenStyle style) { return style == kPenDash ? PS_DASH : style == kPenDot ? PS_DOT : PS_SOLID; }

uint64_t PenKey(Color c, int width, PenStyle style) {
    return (uint64_t(c) << 24) | (uint64_t(width & 0xFFFF) << 8) | (uint64_t(style) << 1) | 1;
}

uint64_t FontKey(const Font& font) {
    // The face is always one of a few literals; its address tells them apart.
    return (uint64_t(uintptr_t(font.face)) << 17) ^ (uint64_t(font.height & 0xFFFF) << 1) ^ (font.bold ? 1 : 0);
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) {
    ::SetBkMode(m_dc, TRANSPARENT);
    DIBSECTION ds = {};
    HGDIOBJ bmp = ::GetCurrentObject(dc, OBJ_BITMAP);
    POINT viewport = {1, 1}, window = {1, 1};
    if (bmp && ::GetObject(bmp, sizeof ds, &ds) == int(sizeof ds) && ds.dsBm.bmBits && ds.dsBm.bmBitsPixel == 32 &&
        ds.dsBmih.biCompression == BI_RGB && ::GetMapMode(dc) == MM_TEXT && ::GetGraphicsMode(dc) == GM_COMPATIBLE &&
        ::GetViewportOrgEx(dc, &viewport) && ::GetWindowOrgEx(dc, &window) && viewport.x == 0 && viewport.y == 0 &&
        window.x == 0 && window.y == 0) {
        // The header says nothing of the rows' order (its height is positive either way): a mark
        // in the first pixel of memory shows whether GDI reads it as the picture's top left.
        const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight, stride = ds.dsBm.bmWidthBytes / 4;
        uint32_t* bits = static_cast<uint32_t*>(ds.dsBm.bmBits);
        ::GdiFlush();
        const uint32_t saved = bits[0];
        const int state = ::SaveDC(dc);
        ::SelectClipRgn(dc, nullptr);
        // Two different marks: the last row's first pixel cannot equal both.
        int seenMarks = 0;
        bool readable = true;
        for (uint32_t flip : {0x00A5C35Au, 0x005A3CA5u}) {
            const uint32_t mark = (saved ^ flip) & 0x00FFFFFFu;
            bits[0] = mark;
            const COLORREF seen = ::GetPixel(dc, 0, 0);
            readable = readable && seen != CLR_INVALID;
            seenMarks += seen == MakeColor((mark >> 16) & 0xFF, (mark >> 8) & 0xFF, mark & 0xFF);
        }
        bits[0] = saved;
        ::RestoreDC(dc, state);
        if (readable && w > 0 && h > 0) {
            m_bitsWidth = w;
            m_bitsHeight = h;
            if (seenMarks == 2) {
                m_bits = bits;
                m_bitsStride = stride;
            } else {
                m_bits = bits + size_t(stride) * size_t(h - 1);
                m_bitsStride = -stride;
            }
        }
    }
}

GdiCanvas::~GdiCanvas() {
    if (m_saved) ::RestoreDC(m_dc, m_saved);
    for (auto& p : m_dotPens)
        if (p.second) ::DeleteObject(p.second);
    for (auto& b : m_brushes)
        if (b.second) ::DeleteObject(b.second);
}

void GdiCanvas::ForgetSelection() {
    m_penKey = 0;
    m_font = nullptr;
    m_textColor = 0xFFFFFFFF;
    m_textAlign = 0xFFFFFFFF;
}

void GdiCanvas::UseFont(const Font& font) {
    const uint64_t key = FontKey(font);
    HFONT& f = m_fonts[key];
    if (!f) {
        // Fonts come from the process-wide cache and are never deleted here; when the cache
        // cannot be had, a stock font stands in so that drawing still happens.
        CGdiCache* cache = GetGdiCache();
        f = cache ? cache->GetFont(font.height, font.face, font.bold) : nullptr;
        if (!f) f = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
    }
    if (f != m_font) {
        ::SelectObject(m_dc, f);
        m_font = f;
    }
}

void GdiCanvas::UsePen(Color c, int width, PenStyle style) {
    const uint64_t key = PenKey(c, width, style);
    if (key == m_penKey) return;
    HPEN pen = nullptr;
    if (style == kPenDot && width <= 1) {
        // One-pixel dots one pixel apart: a cosmetic alternate pen (PS_DOT strokes three on, three
        // off). Made once per colour for the life of this canvas.
        HPEN& dot = m_dotPens[c];
        if (!dot) {
            LOGBRUSH lb = {BS_SOLID, c, 0};
            dot = ::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
        }
        pen = dot;
    }
    if (!pen) {
        HPEN& cached = m_pens[key];
        if (!cached) {
            CGdiCache* cache = GetGdiCache();
            cached = cache ? cache->GetPen(ToGdiPenStyle(style), width, c) : nullptr;
            if (!cached) cached = (HPEN)::GetStockObject(BLACK_PEN);
        }
        pen = cached;
    }
    ::SelectObject(m_dc, pen);
    m_penKey = key;
}

void GdiCanvas::UseTextColor(Color c) {
    if (c == m_textColor) return;
    ::SetTextColor(m_dc, c);
    m_textColor = c;
}

void GdiCanvas::UseTextAlign(UINT align) {
    if (align == m_textAlign) return;
    ::SetTextAlign(m_dc, align);
    m_textAlign = align;
}

void GdiCanvas::FillRect(const Rect& r, Color c) {
    if (r.IsEmpty()) return;
    RECT rc = ToRECT(r);
    // ExtTextOut with an opaque rectangle fills without making a brush.
    COLORREF old = ::SetBkColor(m_dc, c);
    ::ExtTextOutA(m_dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(m_dc, old);
}

void GdiCanvas::FrameRect(const Rect& r, Color c) {
    if (r.IsEmpty()) return;
    HBRUSH& brush = m_brushes[c];
    if (!brush) brush = ::CreateSolidBrush(c);
    RECT rc = ToRECT(r);
    if (brush) {
        ::FrameRect(m_dc, &rc, brush);
        return;
    }
    FillRect(Rect(r.left, r.top, r.right, r.top + 1), c);
    FillRect(Rect(r.left, r.bottom - 1, r.right, r.bottom), c);
    FillRect(Rect(r.left, r.top, r.left + 1, r.bottom), c);
    FillRect(Rect(r.right - 1, r.top, r.right, r.bottom), c);
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2, Color c, int width, PenStyle style) {
    UsePen(c, width, style);
    ::MoveToEx(m_dc, x1, y1, nullptr);
    ::LineTo(m_dc, x2, y2);
}

void GdiCanvas::Polyline(const std::vector<Point>& points, Color c, int width, PenStyle style) {
    if (points.size() < 2) return;
    if (width <= 1 && style == kPenSolid) {
        Rect clip;
        if (DirectClip(c, &clip)) {
            // In the bits each segment costs only its pixels: joining runs would be work for nothing.
            // A walk of one column a point (a line zoomed out to a pixel a bar) goes a column at a time.
            const uint32_t pixel = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
            const size_t n = points.size();
            for (size_t i = 0; i + 1 < n;) {
                size_t j = i;
                while (j + 1 < n && points[j + 1].x == points[j].x + 1) ++j;
                if (j > i) {
                    DirectWalk(clip, pixel, &points[i], j - i + 1);
                    i = j;
                } else {
                    DirectLine(clip, pixel, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y);
                    ++i;
                }
            }
            return;
        }
        // A one-pixel solid line leaves out the end of each segment, so a repeated point, or one
        // inside a straight level, upright or 45-degree run, changes no pixel (no other slope has
        // its pixels fixed whatever the rounding); a line of a thousand bars has many.
        UsePen(c, width, style);
        m_segments.clear();
        for (const Point& p : points) {
            const size_t n = m_segments.size();
            if (n >= 1 && m_segments[n - 1].x == p.x && m_segments[n - 1].y == p.y) continue;
            if (n >= 2) {
                const POINT& a = m_segments[n - 2];
                const POINT& b = m_segments[n - 1];
                const bool level = a.y == b.y && b.y == p.y && (a.x < b.x) == (b.x < p.x);
                const bool upright = a.x == b.x && b.x == p.x && (a.y < b.y) == (b.y < p.y);
                const int dx1 = b.x - a.x, dy1 = b.y - a.y, dx2 = p.x - b.x, dy2 = p.y - b.y;
                const bool diagonal = (dx1 == dy1 || dx1 == -dy1) && (dx2 == dy2 || dx2 == -dy2) &&
                                      (dx1 > 0) == (dx2 > 0) && (dy1 > 0) == (dy2 > 0);
                if (level || upright || diagonal) {
                    m_segments[n - 1] = POINT{p.x, p.y};
                    continue;
                }
            }
            m_segments.push_back(POINT{p.x, p.y});
        }
        if (m_segments.size() >= 2) ::Polyline(m_dc, m_segments.data(), static_cast<int>(m_segments.size()));
        m_segments.clear();
        return;
    }
    UsePen(c, width, style);
    static_assert(sizeof(Point) == sizeof(POINT), "points pass to GDI as they are");
    ::Polyline(m_dc, reinterpret_cast<const POINT*>(points.data()), static_cast<int>(points.size()));
}

void GdiCanvas::AddRun(bool upright, int at, int from, int to) {
    if (from >= to) return;
    // Biased so that the key orders negative coordinates before positive ones.
    const uint64_t key = (uint64_t(uint32_t(at) ^ 0x80000000u) << 32) | (uint32_t(from) ^ 0x80000000u);
    (upright ? m_upright : m_level).emplace_back(key, to);
}

// By rows or by columns, whichever are fewer.
void GdiCanvas::AddFilled(const Rect& r) {
    if (r.Height() <= r.Width()) {
        for (int y = r.top; y < r.bottom; ++y) AddRun(false, y, r.left, r.right);
    } else {
        for (int x = r.left; x < r.right; ++x) AddRun(true, x, r.top, r.bottom);
    }
}

bool GdiCanvas::DirectClip(Color c, Rect* clip) {
    // A palette index or palette-relative colour goes through GDI.
    if (!m_bits || (c >> 24) != 0 || ::GetROP2(m_dc) != R2_COPYPEN) return false;
    if (!m_clipKnown) {
        RECT box;
        m_clipSimple = ::GetClipBox(m_dc, &box) == SIMPLEREGION;
        m_clipBox = Rect(box.left, box.top, box.right, box.bottom).Intersect(Rect(0, 0, m_bitsWidth, m_bitsHeight));
        m_clipKnown = true;
    }
    if (!m_clipSimple || m_clipBox.IsEmpty()) return false;
    *clip = m_clipBox;
    // What GDI drew before must be in the bits before they are written.
    ::GdiFlush();
    return true;
}

void GdiCanvas::DirectFill(const Rect& clip, uint32_t pixel, const Rect& r) {
    if (r.right - r.left == 1) {
        DirectColumn(clip, pixel, r.left, r.top, r.bottom);
        return;
    }
    const Rect in = r.Intersect(clip);
    if (in.IsEmpty()) return;
    const ptrdiff_t stride = m_bitsStride;
    uint32_t* row = m_bits + ptrdiff_t(in.top) * stride + in.left;
    const int w = in.Width();
    for (int y = in.top; y < in.bottom; ++y, row += stride) std::fill(row, row + w, pixel);
}

void GdiCanvas::DirectWalk(const Rect& clip, uint32_t pixel, const Point* p, size_t count) {
    // Segment k puts its head (from y_k halfway towards y_k+1, as DirectLine's one-column rule
    // has it) in its own column and its tail (the rest, y_k+1 left out) in the next; the tail
    // ends next to y_k+1, where the next head starts, so a column is one run [lo, hi).
    int lo = INT_MAX, hi = INT_MIN;  // the tail waiting for the column: none yet
    for (size_t k = 0; k + 1 < count; ++k) {
        const int ya = p[k].y, yb = p[k + 1].y;
        const bool down = yb >= ya;
        const int first = (down ? yb - ya : ya - yb) / 2 + 1;
        const int headLo = down ? ya : ya - first + 1, headHi = down ? ya + first : ya + 1;
        DirectColumn(clip, pixel, p[k].x, std::min(lo, headLo), std::max(hi, headHi));
        lo = down ? ya + first : yb + 1;
        hi = down ? yb : ya - first + 1;
        if (lo >= hi) {
            lo = INT_MAX;
            hi = INT_MIN;
        }
    }
    if (lo < hi) DirectColumn(clip, pixel, p[count - 1].x, lo, hi);
}

// GDI's line: Bresenham from the start, the end left out; where the ideal line passes midway
// between two pixels, octants 3, 5, 6 and 8 (counted anticlockwise from +x with y downwards
// positive) take the minor step late.
void GdiCanvas::DirectLine(const Rect& clip, uint32_t pixel, int x1, int y1, int x2, int y2) {
    if (x1 == x2 && y1 == y2) return;
    if (y1 == y2) {
        DirectFill(clip, pixel, Rect(std::min(x1, x2 + 1), y1, std::max(x1 + 1, x2), y1 + 1));
        return;
    }
    if (x1 == x2) {
        DirectColumn(clip, pixel, x1, std::min(y1, y2 + 1), std::max(y1 + 1, y2));
        return;
    }
    // A step of one column (a line of bars one pixel apart): a pixel, or the rule below worked out
    // as two upright runs, the column moving once the error first goes above zero.
    if (x2 - x1 == 1 || x1 - x2 == 1) {
        const int ady = std::abs(y2 - y1);
        if (ady <= 1) {
            if (clip.Contains(x1, y1)) m_bits[ptrdiff_t(y1) * m_bitsStride + x1] = pixel;
            return;
        }
        // Octants 3 and 6 (leftwards) take the step late.
        const int bias = x2 < x1 ? 1 : 0;
        const int first = (ady - bias) / 2 + 1;  // pixels in the start column
        if (y2 > y1) {
            DirectColumn(clip, pixel, x1, y1, y1 + first);
            DirectColumn(clip, pixel, x2, y1 + first, y2);
        } else {
            DirectColumn(clip, pixel, x1, y1 - first + 1, y1 + 1);
            DirectColumn(clip, pixel, x2, y2 + 1, y1 - first + 1);
        }
        return;
    }
    // Nothing of it inside the clip.
    if (std::max(x1, x2) < clip.left || std::min(x1, x2) >= clip.right || std::max(y1, y2) < clip.top ||
        std::min(y1, y2) >= clip.bottom)
        return;
    const int dx = x2 - x1, dy = y2 - y1;
    const int adx = std::abs(dx), ady = std::abs(dy);
    int octant;
    if (dy > 0) octant = dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3);
    else octant = dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7);
    const int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
    const bool xMajor = octant == 1 || octant == 4 || octant == 5 || octant == 8;
    const int xInc = dx > 0 ? 1 : -1, yInc = dy > 0 ? 1 : -1;
    const int major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    int err = 2 * minor - major;
    const int add1 = 2 * minor - 2 * major, add2 = 2 * minor;
    int x = x1, y = y1;
    for (int n = major; n > 0; --n) {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            m_bits[ptrdiff_t(y) * m_bitsStride + x] = pixel;
        if (err + bias > 0) {
            if (xMajor) y += yInc;
            else x += xInc;
            err += add1;
        } else {
            err += add2;
        }
        if (xMajor) x += xInc;
        else y += yInc;
    }
}

void GdiCanvas::DrawShapes(const ShapeBatch& shapes) {
    Rect clip;
    if (DirectClip(shapes.color, &clip)) {
        const Color c = shapes.color;
        const uint32_t pixel = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        for (const Rect& r : shapes.fills) DirectFill(clip, pixel, r);
        for (const Rect& r : shapes.frames) {
            if (r.IsEmpty()) continue;
            // Two pixels or fewer across: the outline is the whole rectangle, written once.
            if (r.Width() <= 2 || r.Height() <= 2) {
                DirectFill(clip, pixel, r);
                continue;
            }
            DirectFill(clip, pixel, Rect(r.left, r.top, r.right, r.top + 1));
            DirectFill(clip, pixel, Rect(r.left, r.bottom - 1, r.right, r.bottom));
            DirectFill(clip, pixel, Rect(r.left, r.top, r.left + 1, r.bottom));
            DirectFill(clip, pixel, Rect(r.right - 1, r.top, r.right, r.bottom));
        }
        const std::vector<Point>& p = shapes.lines;
        for (size_t i = 0; i + 1 < p.size(); i += 2) DirectLine(clip, pixel, p[i].x, p[i].y, p[i + 1].x, p[i + 1].y);
        return;
    }
    for (const Rect& r : shapes.fills)
        if (!r.IsEmpty()) AddFilled(r);
    for (const Rect& r : shapes.frames) {
        if (r.IsEmpty()) continue;
        // Two pixels or fewer across: the outline is the whole rectangle.
        if (r.Width() <= 2 || r.Height() <= 2) {
            AddFilled(r);
            continue;
        }
        AddRun(false, r.top, r.left, r.right);
        AddRun(false, r.bottom - 1, r.left, r.right);
        AddRun(true, r.left, r.top + 1, r.bottom - 1);
        AddRun(true, r.right - 1, r.top + 1, r.bottom - 1);
    }
    const std::vector<Point>& p = shapes.lines;
    for (size_t i = 0; i + 1 < p.size(); i += 2) {
        const Point& a = p[i];
        const Point& b = p[i + 1];
        // The pixels from a towards b, b left out: none when they are the same.
        if (a == b) continue;
        if (a.x == b.x) AddRun(true, a.x, std::min(a.y, b.y + 1), std::max(a.y + 1, b.y));
        else if (a.y == b.y) AddRun(false, a.y, std::min(a.x, b.x + 1), std::max(a.x + 1, b.x));
        else {
            m_segments.push_back(POINT{a.x, a.y});
            m_segments.push_back(POINT{b.x, b.y});
            m_segmentCounts.push_back(2);
        }
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::pair<uint64_t, int>>& runs = pass == 0 ? m_upright : m_level;
        std::sort(runs.begin(), runs.end());
        for (size_t i = 0; i < runs.size();) {
            const uint32_t at = uint32_t(runs[i].first >> 32);
            const int from = int(uint32_t(runs[i].first) ^ 0x80000000u);
            int to = runs[i].second;
            size_t j = i + 1;
            // Runs of the column (row) that overlap or touch this one join it.
            for (; j < runs.size() && uint32_t(runs[j].first >> 32) == at; ++j) {
                if (int(uint32_t(runs[j].first) ^ 0x80000000u) > to) break;
                to = std::max(to, runs[j].second);
            }
            const int x = int(at ^ 0x80000000u);
            if (pass == 0) {
                m_segments.push_back(POINT{x, from});
                m_segments.push_back(POINT{x, to});
            } else {
                m_segments.push_back(POINT{from, x});
                m_segments.push_back(POINT{to, x});
            }
            m_segmentCounts.push_back(2);
            i = j;
        }
        runs.clear();
    }
    if (!m_segmentCounts.empty()) {
        UsePen(shapes.color, 1, kPenSolid);
        ::PolyPolyline(m_dc, m_segments.data(), m_segmentCounts.data(), static_cast<DWORD>(m_segmentCounts.size()));
    }
    m_segments.clear();
    m_segmentCounts.clear();
}

void GdiCanvas::XorLine(int x1, int y1, int x2, int y2, Color c) {
    int oldRop = ::SetROP2(m_dc, R2_XORPEN);
    UsePen(c, 1, kPenSolid);
    ::MoveToEx(m_dc, x1, y1, nullptr);
    ::LineTo(m_dc, x2, y2);
    ::SetROP2(m_dc, oldRop);
}

void GdiCanvas::Ellipse(const Rect& r, Color frame, Color fill, bool filled) {
    UsePen(frame, 1, kPenSolid);
    HBRUSH brush = filled ? ::CreateSolidBrush(fill) : (HBRUSH)::GetStockObject(NULL_BRUSH);
    HGDIOBJ oldBrush = ::SelectObject(m_dc, brush);
    ::Ellipse(m_dc, r.left, r.top, r.right, r.bottom);
    ::SelectObject(m_dc, oldBrush);
    if (filled) ::DeleteObject(brush);
}

bool GdiCanvas::StampText(int x, int y, const std::string& text, Color c, const Font& font) {
    // Ink may reach a little past the advance width (not past the cell's height); the margin is
    // part of the copy and must be background too.
    constexpr int kMargin = 2;
    Rect clip;
    if (!m_bits || text.empty() || !DirectClip(c, &clip)) return false;
    auto key = std::make_pair(std::make_pair(FontKey(font), c), text);
    auto at = m_stamps.find(key);
    const int w = at != m_stamps.end() ? at->second.width : TextWidth(text, font) + 2 * kMargin;
    const int h = at != m_stamps.end() ? at->second.height : TextHeight(font);
    const Rect box(x - kMargin, y, x - kMargin + w, y + h);
    if (box.Intersect(clip) != box) return false;
    auto row = [&](int k) { return m_bits + ptrdiff_t(box.top + k) * m_bitsStride + box.left; };
    const uint32_t back = row(0)[0];
    for (int k = 0; k < h; ++k)
        for (int i = 0; i < w; ++i)
            if (row(k)[i] != back) return false;
    if (at != m_stamps.end() && at->second.back == back) {
        for (int k = 0; k < h; ++k) std::copy(&at->second.pixels[size_t(k) * w], &at->second.pixels[size_t(k + 1) * w], row(k));
        return true;
    }
    UseFont(font);
    UseTextAlign(TA_LEFT | TA_TOP);
    UseTextColor(c);
    ::TextOutA(m_dc, x, y, text.data(), static_cast<int>(text.size()));
    ::GdiFlush();
    if (m_stamps.size() >= 256) m_stamps.clear();
    Stamp& stamp = m_stamps[key];
    stamp.width = w;
    stamp.height = h;
    stamp.back = back;
    stamp.pixels.resize(size_t(w) * h);
    for (int k = 0; k < h; ++k) std::copy(row(k), row(k) + w, &stamp.pixels[size_t(k) * w]);
    return true;
}

void GdiCanvas::Text(int x, int y, const std::string& text, Color c, const Font& font, int align) {
    if ((align & (kAlignRight | kAlignCenter | kAlignBottom | kAlignVCenter)) == 0 && StampText(x, y, text, c, font))
        return;
    UseFont(font);
    UINT ta = (align & kAlignRight) ? TA_RIGHT : (align & kAlignCenter) ? TA_CENTER : TA_LEFT;
    int top = y;
    if (align & (kAlignBottom | kAlignVCenter)) {
        const int h = TextHeight(font);
        top = (align & kAlignBottom) ? y - h : y - h / 2;
    }
    UseTextAlign(ta | TA_TOP);
    UseTextColor(c);
    ::TextOutA(m_dc, x, top, text.data(), static_cast<int>(text.size()));
}

void GdiCanvas::TextInRect(const Rect& r, const std::string& text, Color c, const Font& font, int align) {
    UseFont(font);
    UINT fmt = DT_SINGLELINE | DT_NOPREFIX;
    fmt |= (align & kAlignRight) ? DT_RIGHT : (align & kAlignCenter) ? DT_CENTER : DT_LEFT;
    fmt |= (align & kAlignBottom) ? DT_BOTTOM : (align & kAlignVCenter) ? DT_VCENTER : DT_TOP;
    RECT rc = ToRECT(r);
    UseTextColor(c);
    ::DrawTextA(m_dc, text.data(), static_cast<int>(text.size()), &rc, fmt);
}

int GdiCanvas::TextWidth(const std::string& text, const Font& font) {
    UseFont(font);
    SIZE s = {0, 0};
    ::GetTextExtentPoint32A(m_dc, text.data(), static_cast<int>(text.size()), &s);
    return s.cx;
}

int GdiCanvas::TextHeight(const Font& font) {
    UseFont(font);
    auto it = m_heights.find(m_font);
    if (it != m_heights.end()) return it->second;
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(m_dc, &tm);
    m_heights[m_font] = tm.tmHeight;
    return tm.tmHeight;
}

void GdiCanvas::PushClip(const Rect& r) {
    m_clipKnown = false;
    m_clipSaves.push_back(::SaveDC(m_dc));
    ::IntersectClipRect(m_dc, r.left, r.top, r.right, r.bottom);
}

void GdiCanvas::PopClip() {
    if (m_clipSaves.empty()) return;
    ::RestoreDC(m_dc, m_clipSaves.back());
    m_clipSaves.pop_back();
    m_clipKnown = false;
    ForgetSelection();
}

}  // namespace charts
