#include "charts/canvas.h"
#include "charts/chartdraw.h"

#include <gtest/gtest.h>

using namespace charts;

TEST(RecordingCanvas, ClipsNestAndUnwind) {
    RecordingCanvas c(Rect(0, 0, 400, 300));
    {
        ClipScope outer(c, Rect(10, 10, 200, 200));
        {
            ClipScope inner(c, Rect(150, 150, 300, 300));
            c.FillRect(Rect(0, 0, 400, 300), 0xFF);
            EXPECT_EQ(c.Ops().back().clip, Rect(150, 150, 200, 200));
        }
        EXPECT_EQ(c.CurrentClip(), Rect(10, 10, 200, 200));
    }
    EXPECT_EQ(c.CurrentClip(), Rect(0, 0, 400, 300));
    c.PopClip();  // an unpaired pop keeps the surface's own bounds
    EXPECT_EQ(c.CurrentClip(), Rect(0, 0, 400, 300));
    // What the clip cuts away counts as not drawn.
    EXPECT_TRUE(c.AllDrawnInside(Rect(150, 150, 200, 200)));
    c.Line(0, 0, 399, 0, 0);
    EXPECT_FALSE(c.AllDrawnInside(Rect(150, 150, 200, 200)));
}

TEST(RecordingCanvas, TextBoxesFollowAlignmentAndGbkWidths) {
    RecordingCanvas c;
    Font f(12);
    EXPECT_EQ(c.TextWidth("12.34", f), 30);
    EXPECT_EQ(c.TextWidth("上证指数", f), 48);
    // A lone lead byte at the end counts as one narrow character.
    EXPECT_EQ(c.TextWidth(std::string("A\xC9"), f), 12);
    struct Case { int align; Rect box; } cases[] = {
        {kAlignLeft | kAlignTop, Rect(100, 50, 130, 62)},
        {kAlignRight | kAlignTop, Rect(70, 50, 100, 62)},
        {kAlignCenter | kAlignVCenter, Rect(85, 44, 115, 56)},
        {kAlignRight | kAlignBottom, Rect(70, 38, 100, 50)},
    };
    for (const Case& k : cases) {
        c.Clear();
        c.Text(100, 50, "12.34", 0, f, k.align);
        EXPECT_EQ(c.Ops()[0].rect, k.box) << k.align;
    }
    EXPECT_EQ(c.WithText("2.3").size(), 1u);
}

TEST(Rect, IntersectOfDisjointIsEmpty) {
    EXPECT_TRUE(Rect(0, 0, 10, 10).Intersect(Rect(10, 0, 20, 10)).IsEmpty());
    EXPECT_EQ(Rect(0, 0, 10, 10).Intersect(Rect(5, -5, 20, 5)), Rect(5, 0, 10, 5));
    EXPECT_EQ(BoundsOf({Point(3, 9), Point(-2, 4)}), Rect(-2, 4, 4, 10));
}

// A batch is one operation when kept, and otherwise the single operations it stands for.
TEST(RecordingCanvas, ShapeBatchesAreKeptOrSplit) {
    ShapeBatch s;
    s.color = 0x123456;
    s.fills = {Rect(0, 0, 1, 10), Rect(4, 2, 5, 2)};
    s.frames = {Rect(2, 0, 3, 1)};
    s.lines = {Point(6, 0), Point(6, 9), Point(7, 3), Point(7, 3)};
    RecordingCanvas split;
    split.DrawShapes(s);
    std::vector<RecordingCanvas::Kind> kinds;
    for (const auto& op : split.Ops()) {
        kinds.push_back(op.kind);
        EXPECT_EQ(op.color, s.color);
    }
    EXPECT_EQ(kinds, (std::vector<RecordingCanvas::Kind>{RecordingCanvas::kFill, RecordingCanvas::kFill,
                                                         RecordingCanvas::kFrame, RecordingCanvas::kLine,
                                                         RecordingCanvas::kLine}));
    RecordingCanvas kept;
    kept.KeepBatches(true);
    kept.DrawShapes(s);
    ASSERT_EQ(kept.Ops().size(), 1u);
    EXPECT_EQ(kept.Ops()[0].kind, RecordingCanvas::kShapes);
    EXPECT_EQ(kept.Ops()[0].shapes.fills, s.fills);
    EXPECT_EQ(kept.Ops()[0].rect, Rect(0, 0, 8, 10));  // the empty fill adds nothing
}

// Bars walked left to right in two colours: one call per colour, unless a bar may overlap one of
// the other colour gathered before it; then what is gathered is drawn first, so that the later
// bar lies on top as it would drawn on its own. The calls of one flush keep the order the colours
// were first met in (their bars do not meet, so any order gives the same picture).
TEST(BarBatch, OneCallPerColourAndTheOrderKeptWhereBarsMeet) {
    const Color up = MakeColor(255, 0, 0), down = MakeColor(0, 255, 255);
    struct Item {
        char kind;  // f fill, r frame, l line
        Rect r;     // a line runs from (left, top) to (right, bottom)
        Color c;
    };
    struct Case {
        const char* name;
        std::vector<Item> items;
        std::vector<Color> calls;  // the colour of each batch call, in order
    } cases[] = {
        {"apart", {{'r', Rect(0, 10, 1, 20), up}, {'f', Rect(1, 5, 2, 30), down}, {'l', Rect(2, 0, 2, 40), up},
                   {'f', Rect(3, 12, 4, 13), down}, {'r', Rect(4, 7, 5, 7), up}},
         {up, down}},
        {"a bar over the other colour", {{'f', Rect(0, 10, 5, 20), up}, {'f', Rect(2, 15, 3, 30), down},
                                          {'f', Rect(10, 10, 15, 20), up}},
         {up, up, down}},
        {"a line ending on the other colour", {{'l', Rect(0, 10, 3, 10), up}, {'f', Rect(3, 5, 4, 15), down}},
         {up, down}},
        {"a line whose end pixel the other colour holds", {{'f', Rect(3, 5, 4, 15), down}, {'l', Rect(0, 10, 3, 10), up},
                                                            {'f', Rect(20, 5, 21, 15), down}},
         {down, down, up}},
        {"empty rectangles", {{'f', Rect(0, 0, 0, 10), up}, {'r', Rect(5, 5, 6, 5), down}}, {}},
    };
    for (const Case& k : cases) {
        RecordingCanvas c;
        c.KeepBatches(true);
        size_t drawn = 0;
        {
            BarBatch batch(c);
            for (const Item& i : k.items) {
                if (i.kind == 'f') batch.FillRect(i.r, i.c);
                if (i.kind == 'r') batch.FrameRect(i.r, i.c);
                if (i.kind == 'l') batch.Line(i.r.left, i.r.top, i.r.right, i.r.bottom, i.c);
                drawn += !(i.kind != 'l' && i.r.IsEmpty());
            }
        }
        std::vector<Color> calls;
        size_t items = 0;
        for (const auto& op : c.Ops()) {
            ASSERT_EQ(op.kind, RecordingCanvas::kShapes) << k.name;
            calls.push_back(op.color);
            items += op.shapes.fills.size() + op.shapes.frames.size() + op.shapes.lines.size() / 2;
        }
        EXPECT_EQ(calls, k.calls) << k.name;
        EXPECT_EQ(items, drawn) << k.name;  // every item once, empty rectangles left out
    }
}
