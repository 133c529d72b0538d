// The drawing seam of the charts: geometry and drawing rules call this small interface, so they
// can be checked on a recording canvas natively and drawn on a real DC under Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace charts {

// A colour reference as Windows keeps it: 0x00BBGGRR.
typedef uint32_t Color;
inline Color MakeColor(int r, int g, int b) { return (Color)((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16)); }

struct Point {
    int x = 0, y = 0;
    Point() = default;
    Point(int px, int py) : x(px), y(py) {}
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

// Half-open like a Windows RECT: right and bottom lie outside.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    Rect() = default;
    Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool Contains(const Rect& r) const {
        return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
    }
    Rect Intersect(const Rect& r) const;
    Rect Deflated(int dx, int dy) const { return Rect(left + dx, top + dy, right - dx, bottom - dy); }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

// Shapes of one colour: FillRect and FrameRect of each rectangle, and a solid one-pixel Line from
// each even point of lines to the next.
struct ShapeBatch {
    Color color = 0;
    std::vector<Rect> fills, frames;
    std::vector<Point> lines;
    bool Empty() const { return fills.empty() && frames.empty() && lines.empty(); }
    void Clear() {
        fills.clear();
        frames.clear();
        lines.clear();
    }
};

enum PenStyle { kPenSolid = 0, kPenDash = 1, kPenDot = 2 };

// Horizontal and vertical placement of a text against its point or rectangle; combine one of each.
enum TextAlign {
    kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2,
    kAlignTop = 0, kAlignBottom = 4, kAlignVCenter = 8,
};

// A font by face, pixel height and weight; the face defaults to the program's Chinese face.
struct Font {
    int height = 12;
    bool bold = false;
    const char* face = "宋体";
    Font() = default;
    explicit Font(int h, bool b = false) : height(h), bold(b) {}
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void FillRect(const Rect& r, Color c) = 0;
    // The one-pixel outline just inside r.
    virtual void FrameRect(const Rect& r, Color c) = 0;
    // From (x1, y1) to (x2, y2), the end point left out as GDI does.
    virtual void Line(int x1, int y1, int x2, int y2, Color c, int width = 1, PenStyle style = kPenSolid) = 0;
    virtual void Polyline(const std::vector<Point>& points, Color c, int width = 1, PenStyle style = kPenSolid) = 0;
    // Many shapes of one colour in one call, drawn as their single calls would draw them. A chart
    // zoomed out shows a thousand bars, and a call per bar is what its paint would cost.
    virtual void DrawShapes(const ShapeBatch& shapes);
    // XORs a one-pixel line of the colour into the pixels (white inverts them); drawn twice it
    // leaves the picture as it was.
    virtual void XorLine(int x1, int y1, int x2, int y2, Color c = 0xFFFFFF) = 0;
    // Inside r; filled with fill when filled, outlined with frame.
    virtual void Ellipse(const Rect& r, Color frame, Color fill, bool filled) = 0;
    // A GBK text at a point, placed by align (TextAlign values).
    virtual void Text(int x, int y, const std::string& text, Color c, const Font& font, int align) = 0;
    // A GBK text placed in r by align, cut at r's edges.
    virtual void TextInRect(const Rect& r, const std::string& text, Color c, const Font& font, int align) = 0;
    // The width and height the text takes in the font.
    virtual int TextWidth(const std::string& text, const Font& font) = 0;
    virtual int TextHeight(const Font& font) = 0;
    // Narrows drawing to r within the current clip until the matching PopClip.
    virtual void PushClip(const Rect& r) = 0;
    virtual void PopClip() = 0;
};

// Keeps PushClip and PopClip paired whatever way a drawing routine leaves.
class ClipScope {
public:
    ClipScope(Canvas& canvas, const Rect& r) : m_canvas(canvas) { m_canvas.PushClip(r); }
    ~ClipScope() { m_canvas.PopClip(); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    Canvas& m_canvas;
};

// A text at a point, placed by align, cut at the edges of its cell: a figure too long for its
// cell (a damaged quote, a huge volume) never runs into the cells beside it.
void TextInCell(Canvas& c, const Rect& cell, int x, int y, const std::string& text, Color colour, const Font& font,
                int align);

// Records every call as an operation, with the clip in force, for native tests of drawing rules.
// A shape batch is recorded as the single operations it stands for (fills, frames, then lines)
// unless KeepBatches is set: then as one kShapes operation. Text is measured by a fixed rule: a
// single-byte character is height / 2 wide, a GBK character height wide.
class RecordingCanvas : public Canvas {
public:
    enum Kind { kFill, kFrame, kLine, kPolyline, kXorLine, kEllipse, kText, kTextInRect, kShapes };
    struct Op {
        Kind kind;
        Rect rect;                  // fill, frame, ellipse, text-in-rect; the bounding box of lines and shapes
        std::vector<Point> points;  // lines and polylines; the anchor of a text
        ShapeBatch shapes;          // kShapes (its colour is color too)
        Color color = 0;
        Color fill = 0;
        bool filled = false;
        int width = 1;
        PenStyle style = kPenSolid;
        std::string text;
        Font font;
        int align = 0;
        Rect clip;                  // the clip in force when it was drawn
    };

    // bounds is the whole drawing surface, the clip when no PushClip is in force.
    explicit RecordingCanvas(const Rect& bounds = Rect(0, 0, 32767, 32767));

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

    void KeepBatches(bool keep) { m_keepBatches = keep; }
    const std::vector<Op>& Ops() const { return m_ops; }
    void Clear() { m_ops.clear(); }
    const Rect& CurrentClip() const { return m_clips.back(); }
    // The operations of one kind, or those whose text contains a fragment.
    std::vector<const Op*> OfKind(Kind kind) const;
    std::vector<const Op*> WithText(const std::string& fragment) const;
    // Whether every drawn operation's bounding box lies inside r (after its own clip).
    bool AllDrawnInside(const Rect& r) const;

private:
    Op& Add(Kind kind);
    std::vector<Op> m_ops;
    std::vector<Rect> m_clips;
    bool m_keepBatches = false;
};

// The bounding box of points, right and bottom one past the last pixel.
Rect BoundsOf(const std::vector<Point>& points);

}  // namespace charts
