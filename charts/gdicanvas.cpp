#include "charts/gdicanvas.h"

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

GdiCanvas::GdiCanvas(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) { ::SetBkMode(m_dc, TRANSPARENT); }

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
    UsePen(c, width, style);
    static_assert(sizeof(Point) == sizeof(POINT), "points pass to GDI as they are");
    ::Polyline(m_dc, reinterpret_cast<const POINT*>(points.data()), static_cast<int>(points.size()));
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

void GdiCanvas::Text(int x, int y, const std::string& text, Color c, const Font& font, int align) {
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
    m_clipSaves.push_back(::SaveDC(m_dc));
    ::IntersectClipRect(m_dc, r.left, r.top, r.right, r.bottom);
}

void GdiCanvas::PopClip() {
    if (m_clipSaves.empty()) return;
    ::RestoreDC(m_dc, m_clipSaves.back());
    m_clipSaves.pop_back();
    ForgetSelection();
}

}  // namespace charts
