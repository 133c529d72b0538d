// The shared drawing routines on a recording canvas: the clamping value-to-pixel rule, dotted
// lines that always end, grids, scale labels and a pane's frame.
#include "charts/chartdraw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace charts;

TEST(ValueToY, MapsTruncatesClampsAndRefusesNonNumbers) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    struct Case { double v, min, max; bool ok; int y; } cases[] = {
        {0, 0, 10, true, 100},     {10, 0, 10, true, 0},  {5, 0, 10, true, 50},
        {3.33, 0, 10, true, 66},   // 100 - 33.3 truncated towards zero
        {-1, 0, 10, true, 110},    // below the range: outside the pane, still a number
        {1e12, 0, 10, true, -kCoordLimit}, {-1e12, 0, 10, true, kCoordLimit},
        {nan, 0, 10, false, 0},    {inf, 0, 10, false, 0}, {-inf, 0, 10, false, 0},
        {5, 5, 5, false, 0},       // an empty range maps nothing
        {5, 0, inf, false, 0},     {5, 10, 0, false, 0},
        {2147483648.0, 0, 10, true, -kCoordLimit},  // the "not computed" marker never wraps
    };
    for (const Case& k : cases) {
        int y = -7;
        EXPECT_EQ(ValueToY(k.v, k.min, k.max, 100, 100, &y), k.ok) << k.v;
        EXPECT_EQ(y, k.ok ? k.y : -7) << k.v;
    }
}

TEST(DrawDotLine, EndsWhicheverWayItRunsAndStraightLinesAreOneStroke) {
    RecordingCanvas c;
    DrawDotLine(c, 1, 5, 10, 20, 3, 20);  // right to left
    ASSERT_EQ(c.Ops().size(), 1u);
    EXPECT_EQ(c.Ops()[0].style, kPenDot);
    EXPECT_EQ(c.Ops()[0].points[1], Point(2, 20));  // the end pixel 3 is included
    c.Clear();
    // A diagonal walks one pixel in each direction until both ends are reached, then straight.
    DrawDotLine(c, 1, 5, 0, 0, 6, -2);
    std::vector<Point> dots;
    for (const auto& op : c.Ops()) dots.push_back(op.points[0]);
    std::vector<Point> expected = {Point(0, 0), Point(2, -2), Point(4, -2), Point(6, -2)};
    EXPECT_EQ(dots, expected);
}

TEST(DrawGridLines, SpacesLinesAndLeavesTheLastOut) {
    RecordingCanvas c;
    DrawGridLines(c, 1, 5, 4, 0, 10, 100, 50);
    ASSERT_EQ(c.Ops().size(), 4u);
    int ys[] = {10, 20, 30, 40};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(c.Ops()[k].points[0].y, ys[k]);
    c.Clear();
    DrawGridLines(c, 1, 5, 4, 0, 50, 100, 50);
    DrawGridLines(c, 1, 5, 0, 0, 10, 100, 50);
    EXPECT_TRUE(c.Ops().empty());
}

TEST(ScaleLabels, FormatPlaceAndLeaveOutTheFlaggedEnds) {
    struct Case { double v; int decimals; const char* text; } cases[] = {
        {12.345, 2, "12.35"}, {-0.004, 2, "0.00"}, {-0.006, 2, "-0.01"}, {-0.05, 1, "0.0"},
        {-0.07, 1, "-0.1"},   {1234.5, 0, "1234"}, {std::nan(""), 2, "-"},
    };
    for (const Case& k : cases) EXPECT_EQ(FormatScaleLabel(k.v, k.decimals), k.text) << k.v;

    RecordingCanvas c;
    ChartPalette palette;
    ASSERT_TRUE(DrawIndicatorTitle(c, palette, Rect(100, 0, 400, 117), 17, 5, 0, 50, false, true, 0));
    auto texts = c.OfKind(RecordingCanvas::kText);
    ASSERT_EQ(texts.size(), 5u);  // 10, 20, 30, 40, 50: the bottom label is left out
    EXPECT_EQ(texts.back()->text, "50");
    EXPECT_EQ(texts.back()->rect.right, 99);  // ends one pixel left of the pane
    EXPECT_EQ(texts.back()->rect.top, 17 - 7);
    EXPECT_EQ(texts.front()->text, "10");
    EXPECT_EQ(texts.front()->rect.top, 17 + 4 * 100 / 5 - 7);
    // A pane no taller than its title strip draws nothing.
    c.Clear();
    EXPECT_FALSE(DrawIndicatorTitle(c, palette, Rect(100, 0, 400, 17), 17, 5, 0, 50, true, true, 0));
    EXPECT_TRUE(c.Ops().empty());
}

// Labels too long for the scale column (a damaged bar's price) are cut to it: nothing of them
// reaches into the pane or beyond the column's left edge.
TEST(ScaleLabels, LabelsTooLongForTheColumnAreCut) {
    RecordingCanvas c;
    ChartPalette palette;
    const Rect pane(100, 0, 400, 117);
    ASSERT_TRUE(DrawIndicatorTitle(c, palette, pane, 17, 5, 7.0e12, 7.337288e12, true, true, 2));
    auto texts = c.OfKind(RecordingCanvas::kText);
    ASSERT_EQ(texts.size(), 6u);
    for (const auto* t : texts) {
        const Rect drawn = t->rect.Intersect(t->clip);
        EXPECT_GT(t->rect.Width(), kScaleLabelWidth) << t->text << ": long enough to need the cut";
        EXPECT_GE(drawn.left, pane.left - 1 - kScaleLabelWidth) << t->text;
        EXPECT_LE(drawn.right, pane.left - 1) << t->text;
        EXPECT_EQ(drawn.top, t->rect.top) << t->text;
    }
}
