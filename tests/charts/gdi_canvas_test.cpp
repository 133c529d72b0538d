// The GDI canvas on a 32-bit DIB: what it draws lands where the recording canvas says.
#include "charts/gdicanvas.h"
#include "charts/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace charts;

namespace {

using chart_test::Dib;

const Color kRed = MakeColor(255, 0, 0), kGreen = MakeColor(0, 255, 0), kBack = MakeColor(0, 0, 0x84);

}  // namespace

TEST(GdiCanvas, FillsFramesAndLinesAtTheirPixels) {
    Dib dib(200, 100);
    GdiCanvas c(dib.dc());
    c.FillRect(Rect(0, 0, 200, 100), kBack);
    c.FrameRect(Rect(10, 10, 50, 40), kRed);
    c.Line(60, 20, 120, 20, kGreen, 1, kPenSolid);
    EXPECT_EQ(dib.At(10, 10), kRed);
    EXPECT_EQ(dib.At(49, 39), kRed);
    EXPECT_EQ(dib.At(30, 25), kBack);  // a frame leaves its inside alone
    EXPECT_EQ(dib.At(60, 20), kGreen);
    EXPECT_EQ(dib.At(120, 20), kBack);  // the end point is left out
}

TEST(GdiCanvas, ClipKeepsDrawingInsideAndXorTwiceRestores) {
    Dib dib(200, 100);
    GdiCanvas c(dib.dc());
    c.FillRect(Rect(0, 0, 200, 100), kBack);
    {
        ClipScope clip(c, Rect(20, 20, 80, 80));
        c.FillRect(Rect(0, 0, 200, 100), kRed);
        c.Text(10, 30, "上证指数 1A0001", kGreen, Font(14), kAlignLeft);
    }
    EXPECT_EQ(dib.At(20, 20), kRed);
    EXPECT_EQ(dib.At(19, 50), kBack);
    EXPECT_EQ(dib.At(80, 50), kBack);
    // The clip is gone after the scope.
    c.FillRect(Rect(150, 0, 160, 10), kGreen);
    EXPECT_EQ(dib.At(155, 5), kGreen);

    std::vector<uint32_t> before = dib.Snapshot();
    c.XorLine(0, 50, 199, 50);
    EXPECT_NE(dib.Snapshot(), before);
    c.XorLine(0, 50, 199, 50);
    EXPECT_EQ(dib.Snapshot(), before);
}

TEST(GdiCanvas, ChineseTextDrawsInk) {
    Dib dib(200, 40);
    GdiCanvas c(dib.dc());
    c.FillRect(Rect(0, 0, 200, 40), kBack);
    c.Text(4, 4, "上证指数", kGreen, Font(16), kAlignLeft);
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) lit += dib.At(x, y) != kBack;
    EXPECT_GT(lit, 60);
    EXPECT_GT(c.TextWidth("上证指数", Font(16)), c.TextWidth("1A00", Font(16)));
}

TEST(GdiCanvas, DottedLinesAlternatePixelsAndXorUsesItsColour) {
    Dib dib(40, 10);
    GdiCanvas c(dib.dc());
    c.FillRect(Rect(0, 0, 40, 10), kBack);
    c.Line(0, 2, 20, 2, kRed, 1, kPenDot);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(dib.At(x, 2), x % 2 == 0 ? kRed : kBack) << x;
    // XOR with the background's own colour clears to black, and again restores.
    c.XorLine(0, 5, 10, 5, kBack);
    EXPECT_EQ(dib.At(3, 5), MakeColor(0, 0, 0));
    c.XorLine(0, 5, 10, 5, kBack);
    EXPECT_EQ(dib.At(3, 5), kBack);
}
