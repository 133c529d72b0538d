#include "charts/canvas.h"

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
