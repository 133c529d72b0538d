#include "charts/canvas.h"

#include <algorithm>
#include <climits>

namespace charts {

Rect Rect::Intersect(const Rect& r) const {
    Rect out(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right), std::min(bottom, r.bottom));
    if (out.IsEmpty()) return Rect();
    return out;
}

Rect BoundsOf(const std::vector<Point>& points) {
    if (points.empty()) return Rect();
    int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
    for (const Point& p : points) {
        l = std::min(l, p.x);
        t = std::min(t, p.y);
        r = std::max(r, p.x);
        b = std::max(b, p.y);
    }
    return Rect(l, t, r + 1, b + 1);
}

void Canvas::DrawShapes(const ShapeBatch& shapes) {
    for (const Rect& r : shapes.fills) FillRect(r, shapes.color);
    for (const Rect& r : shapes.frames) FrameRect(r, shapes.color);
    const std::vector<Point>& p = shapes.lines;
    for (size_t i = 0; i + 1 < p.size(); i += 2) Line(p[i].x, p[i].y, p[i + 1].x, p[i + 1].y, shapes.color);
}

RecordingCanvas::RecordingCanvas(const Rect& bounds) { m_clips.push_back(bounds); }

RecordingCanvas::Op& RecordingCanvas::Add(Kind kind) {
    m_ops.emplace_back();
    Op& op = m_ops.back();
    op.kind = kind;
    op.clip = m_clips.back();
    return op;
}

void RecordingCanvas::FillRect(const Rect& r, Color c) {
    Op& op = Add(kFill);
    op.rect = r;
    op.color = c;
}

void RecordingCanvas::FrameRect(const Rect& r, Color c) {
    Op& op = Add(kFrame);
    op.rect = r;
    op.color = c;
}

void RecordingCanvas::Line(int x1, int y1, int x2, int y2, Color c, int width, PenStyle style) {
    Op& op = Add(kLine);
    op.points = {Point(x1, y1), Point(x2, y2)};
    op.rect = BoundsOf(op.points);
    op.color = c;
    op.width = width;
    op.style = style;
}

void RecordingCanvas::Polyline(const std::vector<Point>& points, Color c, int width, PenStyle style) {
    Op& op = Add(kPolyline);
    op.points = points;
    op.rect = BoundsOf(points);
    op.color = c;
    op.width = width;
    op.style = style;
}

void RecordingCanvas::DrawShapes(const ShapeBatch& shapes) {
    if (!m_keepBatches) return Canvas::DrawShapes(shapes);
    Op& op = Add(kShapes);
    op.shapes = shapes;
    op.color = shapes.color;
    std::vector<Point> corners = shapes.lines;
    for (const std::vector<Rect>* rects : {&shapes.fills, &shapes.frames}) {
        for (const Rect& r : *rects) {
            if (r.IsEmpty()) continue;
            corners.emplace_back(r.left, r.top);
            corners.emplace_back(r.right - 1, r.bottom - 1);
        }
    }
    op.rect = BoundsOf(corners);
}

void RecordingCanvas::XorLine(int x1, int y1, int x2, int y2, Color c) {
    Op& op = Add(kXorLine);
    op.color = c;
    op.points = {Point(x1, y1), Point(x2, y2)};
    op.rect = BoundsOf(op.points);
}

void RecordingCanvas::Ellipse(const Rect& r, Color frame, Color fill, bool filled) {
    Op& op = Add(kEllipse);
    op.rect = r;
    op.color = frame;
    op.fill = fill;
    op.filled = filled;
}

void RecordingCanvas::Text(int x, int y, const std::string& text, Color c, const Font& font, int align) {
    Op& op = Add(kText);
    op.points = {Point(x, y)};
    int w = TextWidth(text, font), h = TextHeight(font);
    int l = (align & kAlignRight) ? x - w : (align & kAlignCenter) ? x - w / 2 : x;
    int t = (align & kAlignBottom) ? y - h : (align & kAlignVCenter) ? y - h / 2 : y;
    op.rect = Rect(l, t, l + w, t + h);
    op.text = text;
    op.color = c;
    op.font = font;
    op.align = align;
}

void RecordingCanvas::TextInRect(const Rect& r, const std::string& text, Color c, const Font& font, int align) {
    Op& op = Add(kTextInRect);
    op.rect = r;
    op.text = text;
    op.color = c;
    op.font = font;
    op.align = align;
}

int RecordingCanvas::TextWidth(const std::string& text, const Font& font) {
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) {
            w += font.height;
            ++i;
        } else {
            w += font.height / 2;
        }
    }
    return w;
}

int RecordingCanvas::TextHeight(const Font& font) { return font.height; }

void RecordingCanvas::PushClip(const Rect& r) { m_clips.push_back(m_clips.back().Intersect(r)); }

void RecordingCanvas::PopClip() {
    if (m_clips.size() > 1) m_clips.pop_back();
}

std::vector<const RecordingCanvas::Op*> RecordingCanvas::OfKind(Kind kind) const {
    std::vector<const Op*> out;
    for (const Op& op : m_ops)
        if (op.kind == kind) out.push_back(&op);
    return out;
}

std::vector<const RecordingCanvas::Op*> RecordingCanvas::WithText(const std::string& fragment) const {
    std::vector<const Op*> out;
    for (const Op& op : m_ops)
        if ((op.kind == kText || op.kind == kTextInRect) && op.text.find(fragment) != std::string::npos)
            out.push_back(&op);
    return out;
}

bool RecordingCanvas::AllDrawnInside(const Rect& r) const {
    for (const Op& op : m_ops) {
        Rect drawn = op.rect.Intersect(op.clip);
        if (drawn.IsEmpty()) continue;
        if (!r.Contains(drawn)) return false;
    }
    return true;
}

void TextInCell(Canvas& c, const Rect& cell, int x, int y, const std::string& text, Color colour, const Font& font,
                int align) {
    ClipScope clip(c, cell);
    c.Text(x, y, text, colour, font, align);
}

}  // namespace charts
