// Drawing routines shared by the charts and the report panels: lines, dotted lines, grids, texts,
// framed texts, a pane's frame with its grid and left scale, and the one value-to-pixel mapping.
// They draw through the canvas seam, so the rules are checked natively on a recording canvas.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "charts/canvas.h"

namespace charts {

// Colour roles of the profile's chart scheme.
enum ColorRole {
    kColorBackground = 15,
    kColorFrame = 16,
    kColorRise = 17,
    kColorFall = 18,
    kColorFallBar = 19,
    kColorScale = 20,
    kColorSimulated = 21,
    kColorCost = 22,
    kColorAxis = 23,
    kColorTitle = 24,
    kColorCode = 25,
    kColorLine1 = 26,  // lines 1 to 6: 26 to 31
};

// The scheme's colours by role, read once per paint. A role outside the scheme is white.
struct ChartPalette {
    enum { kSlots = 40 };
    Color slot[kSlots];
    ChartPalette();
    Color operator[](int role) const { return role >= 0 && role < kSlots ? slot[role] : MakeColor(255, 255, 255); }
    // Line k of a pane whose lines follow a day-count array: roles 26 to 31 in turn.
    Color GetLineColor(int k) const { return (*this)[kColorLine1 + ((k % 6) + 6) % 6]; }
    // The current scheme of the settings profile.
    static ChartPalette FromProfile();
};

// The bars of a walk over the visible bars or minutes (fills, frames, solid one-pixel lines)
// gathered by colour and drawn with one shape batch call per colour. The picture is the one the
// items drawn in turn would give: an item whose box meets the box of what another colour has
// gathered draws everything gathered first. Whoever draws anything else that may meet the bars
// flushes first.
class BarBatch {
public:
    explicit BarBatch(Canvas& c) : m_c(c) {}
    ~BarBatch() { Flush(); }
    BarBatch(const BarBatch&) = delete;
    BarBatch& operator=(const BarBatch&) = delete;

    void FillRect(const Rect& r, Color c);
    void FrameRect(const Rect& r, Color c);
    // From (x1, y1) to (x2, y2), the end point left out as GDI does.
    void Line(int x1, int y1, int x2, int y2, Color c);
    void Flush();

private:
    struct Group {
        ShapeBatch shapes;
        Rect box;  // around everything gathered; empty when nothing is
    };
    Group& Gather(const Rect& box, Color c);

    Canvas& m_c;
    std::vector<Group> m_groups;  // a few colours, in the order first met
};

// Coordinates handed to GDI stay well inside its 16-bit-safe range.
constexpr int kCoordLimit = 32000;

// The value-to-pixel rule of every chart: y = trunc(bottom - height * (v - min) / (max - min)),
// clamped to +-kCoordLimit. False, with y untouched, when v or the range is not a finite number
// or the range is empty: such a value lies outside every pane.
// Inline: a chart zoomed out maps a thousand values per line.
inline bool ValueToY(double v, double min, double max, int bottom, int height, int* y) {
    const double span = max - min;
    if (!std::isfinite(v) || !std::isfinite(span) || !(span > 0)) return false;
    const double at = double(bottom) - double(height) * (v - min) / span;
    if (!std::isfinite(at)) return false;
    // Truncation towards zero of a value already inside the int range.
    if (at >= kCoordLimit) *y = kCoordLimit;
    else if (at <= -kCoordLimit) *y = -kCoordLimit;
    else *y = int(at);
    return true;
}
// The same test for an already mapped y: inside [top, bottom].
inline bool YInPane(int y, int top, int bottom) { return y >= top && y <= bottom; }

// A solid line of the pen width, the end point left out.
void DrawLine(Canvas& c, int width, Color color, int x1, int y1, int x2, int y2);
// A dotted line: one-pixel dots one pixel apart, stepping one pixel in x and in y towards the
// end until both ends are reached; the end point is drawn.
void DrawDotLine(Canvas& c, int width, Color color, int x1, int y1, int x2, int y2);
// count dotted horizontal lines from x1 to x2 at y1 + k * (y2 - y1) / count, k = 0 .. count - 1;
// nothing when y2 <= y1 or count < 1.
void DrawGridLines(Canvas& c, int width, Color color, int count, int x1, int y1, int x2, int y2);
// A text in the chart face of the height, placed by align (TextAlign values).
void DrawTextOut(Canvas& c, int x, int y, const std::string& text, int align, int height, Color back, Color color);
// Frames r (cut to clip when given) and centres the text on one line inside it.
void DrawTextInRect(Canvas& c, const Rect& r, const std::string& text, Color frame, Color color, Color back,
                    const Rect* clip = nullptr, int height = 12);

// A scale label: "%.<decimals>f", with a negative value above -0.6 * 10^-decimals written as 0.
std::string FormatScaleLabel(double value, int decimals);
// The labels of a pane's left scale: label k (0 .. count) has the value min + (max - min) * k /
// count and is written right-aligned ending at x, its top 7 pixels above y_k, where y_0 = y2 (the
// pane's bottom) and y_count = y1 (the grid's top). Label 0 only with bottomLabel, the last only
// with topLabel. Each label is cut to its cell, the kScaleLabelWidth pixels left of x: a label
// too long for the scale column never runs into the pane or past the column.
constexpr int kScaleLabelWidth = 59;
void DrawScaleLabels(Canvas& c, Color color, int count, int x, int y1, int y2, double min, double max,
                     bool bottomLabel, bool topLabel, int decimals);
// A pane's frame (role 16), its dotted grid below the title strip and its left scale (role 20).
// False, with nothing drawn, when the title strip is not lower than the pane.
bool DrawIndicatorTitle(Canvas& c, const ChartPalette& palette, const Rect& pane, int titleHeight, int gridCount,
                        double min, double max, bool bottomLabel, bool topLabel, int decimals);

// The text of a chart string (labels, captions, messages), "" for an unknown id.
const char* ChartString(int id);
// DrawTextInRect with a chart string.
void DrawResourceText(Canvas& c, const Rect& r, int stringId, Color frame, Color color, Color back,
                      const Rect* clip = nullptr, int height = 12);

}  // namespace charts
