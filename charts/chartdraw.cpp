#include "charts/chartdraw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analysis/stprofile.h"

namespace charts {

ChartPalette::ChartPalette() {
    for (Color& c : slot) c = MakeColor(255, 255, 255);
}

ChartPalette ChartPalette::FromProfile() {
    ChartPalette p;
    CStProfile& profile = GetProfile();
    for (int i = 0; i < kSlots; ++i) p.slot[i] = profile.GetColor(i);
    return p;
}

BarBatch::Group& BarBatch::Gather(const Rect& box, Color c) {
    Group* group = nullptr;
    bool meets = false;
    for (Group& g : m_groups) {
        if (g.shapes.color == c) {
            group = &g;
            continue;
        }
        const Rect& b = g.box;
        meets = meets || (!b.IsEmpty() && box.left < b.right && b.left < box.right && box.top < b.bottom &&
                          b.top < box.bottom);
    }
    if (meets) Flush();
    if (!group) {
        m_groups.emplace_back();
        group = &m_groups.back();
        group->shapes.color = c;
    }
    Rect& b = group->box;
    b = b.IsEmpty() ? box
                    : Rect(std::min(b.left, box.left), std::min(b.top, box.top), std::max(b.right, box.right),
                           std::max(b.bottom, box.bottom));
    return *group;
}

void BarBatch::FillRect(const Rect& r, Color c) {
    if (r.IsEmpty()) return;
    Gather(r, c).shapes.fills.push_back(r);
}

void BarBatch::FrameRect(const Rect& r, Color c) {
    if (r.IsEmpty()) return;
    Gather(r, c).shapes.frames.push_back(r);
}

void BarBatch::Line(int x1, int y1, int x2, int y2, Color c) {
    const Rect box(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1);
    std::vector<Point>& lines = Gather(box, c).shapes.lines;
    lines.emplace_back(x1, y1);
    lines.emplace_back(x2, y2);
}

void BarBatch::Flush() {
    for (Group& g : m_groups) {
        if (!g.shapes.Empty()) m_c.DrawShapes(g.shapes);
        g.shapes.Clear();
        g.box = Rect();
    }
}

void DrawLine(Canvas& c, int width, Color color, int x1, int y1, int x2, int y2) {
    c.Line(x1, y1, x2, y2, color, width < 1 ? 1 : width, kPenSolid);
}

void DrawDotLine(Canvas& c, int width, Color color, int x1, int y1, int x2, int y2) {
    if (width < 1) width = 1;
    // A straight line is one dotted pen stroke (dots one pixel apart), the end pixel included.
    if (y1 == y2) {
        const int dir = x2 >= x1 ? 1 : -1;
        c.Line(x1, y1, x2 + dir, y2, color, width, kPenDot);
        return;
    }
    if (x1 == x2) {
        const int dir = y2 >= y1 ? 1 : -1;
        c.Line(x1, y1, x2, y2 + dir, color, width, kPenDot);
        return;
    }
    // Otherwise dot by dot: each step moves one pixel in x and in y towards the end, a coordinate
    // that has arrived stays; every other position gets a dot, and the last one always does.
    const int dx = x2 > x1 ? 1 : -1, dy = y2 > y1 ? 1 : -1;
    int x = x1, y = y1;
    bool dot = true;
    for (;;) {
        const bool last = x == x2 && y == y2;
        if (dot || last) c.Line(x, y, x + 1, y, color, width, kPenSolid);
        if (last) break;
        if (x != x2) x += dx;
        if (y != y2) y += dy;
        dot = !dot;
    }
}

void DrawGridLines(Canvas& c, int width, Color color, int count, int x1, int y1, int x2, int y2) {
    if (y2 <= y1 || count < 1) return;
    for (int k = 0; k < count; ++k) {
        const int y = y1 + k * (y2 - y1) / count;
        DrawDotLine(c, width, color, x1, y, x2, y);
    }
}

void DrawTextOut(Canvas& c, int x, int y, const std::string& text, int align, int height, Color back, Color color) {
    (void)back;  // drawn over the pane's own background, which is this colour
    c.Text(x, y, text, color, Font(height), align);
}

void DrawTextInRect(Canvas& c, const Rect& r, const std::string& text, Color frame, Color color, Color back,
                    const Rect* clip, int height) {
    Rect box = clip ? r.Intersect(*clip) : r;
    if (box.IsEmpty()) return;
    (void)back;
    c.FrameRect(box, frame);
    c.TextInRect(box, text, color, Font(height), kAlignCenter | kAlignVCenter);
}

std::string FormatScaleLabel(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    if (!std::isfinite(value)) return "-";
    const double limit = -0.6 * std::pow(10.0, -decimals);
    if (value < 0 && value > limit) value = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

void DrawScaleLabels(Canvas& c, Color color, int count, int x, int y1, int y2, double min, double max,
                     bool bottomLabel, bool topLabel, int decimals) {
    if (count < 1) return;
    const Font font(12);
    for (int k = 0; k <= count; ++k) {
        if (k == 0 && !bottomLabel) continue;
        if (k == count && !topLabel) continue;
        const double v = min + (max - min) * k / count;
        const int y = y1 + (count - k) * (y2 - y1) / count;
        const Rect cell(x - kScaleLabelWidth, y - 7, x, y - 7 + c.TextHeight(font));
        TextInCell(c, cell, x, y - 7, FormatScaleLabel(v, decimals), color, font, kAlignRight | kAlignTop);
    }
}

bool DrawIndicatorTitle(Canvas& c, const ChartPalette& palette, const Rect& pane, int titleHeight, int gridCount,
                        double min, double max, bool bottomLabel, bool topLabel, int decimals) {
    if (titleHeight >= pane.Height()) return false;
    c.FrameRect(pane, palette[kColorFrame]);
    DrawGridLines(c, 1, palette[kColorFrame], gridCount, pane.left, pane.top + titleHeight, pane.right,
                  pane.bottom);
    DrawScaleLabels(c, palette[kColorScale], gridCount, pane.left - 1, pane.top + titleHeight, pane.bottom, min, max,
                    bottomLabel, topLabel, decimals);
    return true;
}

namespace {

struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStrings[] = {
    {129, "项目"}, {130, "初级"}, {131, "中级"}, {132, "强力"}, {133, "压力"}, {134, "支撑"},
    {135, "笔"},   {136, "价"},   {137, "分"},   {138, "盘"},   {139, "值"},   {143, "本"},
    {144, "势"},   {146, "板"},   {201, "数据下载..."},       {202, "时间"}, {203, "开盘"},
    {204, "最高"}, {257, "最低"}, {258, "收盘"}, {259, "成交量"}, {260, "成交额"}, {261, "均价"},
};

}  // namespace

const char* ChartString(int id) {
    for (const StringEntry& e : kStrings)
        if (e.id == id) return e.text;
    return "";
}

void DrawResourceText(Canvas& c, const Rect& r, int stringId, Color frame, Color color, Color back, const Rect* clip,
                      int height) {
    DrawTextInRect(c, r, ChartString(stringId), frame, color, back, clip, height);
}

}  // namespace charts
