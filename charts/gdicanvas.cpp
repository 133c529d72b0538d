#include "charts/gdicanvas.h"

#include "base/gdicache.h"

namespace charts {

namespace {

int ToGdiPenStyle(PenStyle style) { return style == kPenDash ? PS_DASH : style == kPenDot ? PS_DOT : PS_SOLID; }

// Fonts and pens come from the process-wide cache and are never deleted here; when the cache
// cannot be had, stock objects stand in so that drawing still happens.
HFONT CachedFont(const Font& font) {
    CGdiCache* cache = GetGdiCache();
    HFONT f = cache ? cache->GetFont(font.height, font.face, font.bold) : nullptr;
    return f ? f : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) { ::SetBkMode(m_dc, TRANSPARENT); }

GdiCanvas::~GdiCanvas() {
    if (m_saved) ::RestoreDC(m_dc, m_saved);
    for (auto& p : m_dotPens)
        if (p.second) ::DeleteObject(p.second);
}

HFONT GdiCanvas::SelectFont(const Font& font) { return (HFONT)::SelectObject(m_dc, CachedFont(font)); }

HPEN GdiCanvas::SelectPen(Color c, int width, PenStyle style) {
    if (style == kPenDot && width <= 1) {
        // One-pixel dots one pixel apart: a cosmetic alternate pen (PS_DOT strokes three on, three
        // off). Made once per colour for the life of this canvas.
        HPEN& pen = m_dotPens[c];
        if (!pen) {
            LOGBRUSH lb = {BS_SOLID, c, 0};
            pen = ::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
        }
        if (pen) return (HPEN)::SelectObject(m_dc, pen);
    }
    CGdiCache* cache = GetGdiCache();
    HPEN pen = cache ? cache->GetPen(ToGdiPenStyle(style), width, c) : nullptr;
    if (!pen) pen = (HPEN)::GetStockObject(BLACK_PEN);
    return (HPEN)::SelectObject(m_dc, pen);
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
    FillRect(Rect(r.left, r.top, r.right, r.top + 1), c);
    FillRect(Rect(r.left, r.bottom - 1, r.right, r.bottom), c);
    FillRect(Rect(r.left, r.top, r.left + 1, r.bottom), c);
    FillRect(Rect(r.right - 1, r.top, r.right, r.bottom), c);
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2, Color c, int width, PenStyle style) {
    HPEN old = SelectPen(c, width, style);
    ::MoveToEx(m_dc, x1, y1, nullptr);
    ::LineTo(m_dc, x2, y2);
    ::SelectObject(m_dc, old);
}

void GdiCanvas::Polyline(const std::vector<Point>& points, Color c, int width, PenStyle style) {
    if (points.size() < 2) return;
    HPEN old = SelectPen(c, width, style);
    static_assert(sizeof(Point) == sizeof(POINT), "points pass to GDI as they are");
    ::Polyline(m_dc, reinterpret_cast<const POINT*>(points.data()), static_cast<int>(points.size()));
    ::SelectObject(m_dc, old);
}

void GdiCanvas::XorLine(int x1, int y1, int x2, int y2, Color c) {
    int oldRop = ::SetROP2(m_dc, R2_XORPEN);
    HPEN old = SelectPen(c, 1, kPenSolid);
    ::MoveToEx(m_dc, x1, y1, nullptr);
    ::LineTo(m_dc, x2, y2);
    ::SelectObject(m_dc, old);
    ::SetROP2(m_dc, oldRop);
}

void GdiCanvas::Ellipse(const Rect& r, Color frame, Color fill, bool filled) {
    HPEN oldPen = SelectPen(frame, 1, kPenSolid);
    HBRUSH brush = filled ? ::CreateSolidBrush(fill) : (HBRUSH)::GetStockObject(NULL_BRUSH);
    HGDIOBJ oldBrush = ::SelectObject(m_dc, brush);
    ::Ellipse(m_dc, r.left, r.top, r.right, r.bottom);
    ::SelectObject(m_dc, oldBrush);
    if (filled) ::DeleteObject(brush);
    ::SelectObject(m_dc, oldPen);
}

void GdiCanvas::Text(int x, int y, const std::string& text, Color c, const Font& font, int align) {
    HFONT old = SelectFont(font);
    UINT ta = (align & kAlignRight) ? TA_RIGHT : (align & kAlignCenter) ? TA_CENTER : TA_LEFT;
    int h = TextHeight(font);
    int top = (align & kAlignBottom) ? y - h : (align & kAlignVCenter) ? y - h / 2 : y;
    UINT oldAlign = ::SetTextAlign(m_dc, ta | TA_TOP);
    COLORREF oldColor = ::SetTextColor(m_dc, c);
    ::TextOutA(m_dc, x, top, text.data(), static_cast<int>(text.size()));
    ::SetTextColor(m_dc, oldColor);
    ::SetTextAlign(m_dc, oldAlign);
    ::SelectObject(m_dc, old);
}

void GdiCanvas::TextInRect(const Rect& r, const std::string& text, Color c, const Font& font, int align) {
    HFONT old = SelectFont(font);
    UINT fmt = DT_SINGLELINE | DT_NOPREFIX;
    fmt |= (align & kAlignRight) ? DT_RIGHT : (align & kAlignCenter) ? DT_CENTER : DT_LEFT;
    fmt |= (align & kAlignBottom) ? DT_BOTTOM : (align & kAlignVCenter) ? DT_VCENTER : DT_TOP;
    RECT rc = ToRECT(r);
    COLORREF oldColor = ::SetTextColor(m_dc, c);
    ::DrawTextA(m_dc, text.data(), static_cast<int>(text.size()), &rc, fmt);
    ::SetTextColor(m_dc, oldColor);
    ::SelectObject(m_dc, old);
}

int GdiCanvas::TextWidth(const std::string& text, const Font& font) {
    HFONT old = SelectFont(font);
    SIZE s = {0, 0};
    ::GetTextExtentPoint32A(m_dc, text.data(), static_cast<int>(text.size()), &s);
    ::SelectObject(m_dc, old);
    return s.cx;
}

int GdiCanvas::TextHeight(const Font& font) {
    HFONT old = SelectFont(font);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(m_dc, &tm);
    ::SelectObject(m_dc, old);
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
}

}  // namespace charts
