// The GDI canvas on a 32-bit DIB: what it draws lands where the recording canvas says.
#include "charts/gdicanvas.h"
#include "charts/dib.h"
#include "base/gdicache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
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

// A shape batch and a one-pixel polyline leave the pixels the single calls leave: thin, flat and
// one-pixel rectangles, lines in all four directions, lines of no length, runs that touch or
// overlap in a column, level, upright and 45-degree runs of a polyline and turns between them, a
// walk of one column a point as a chart zoomed out draws (both ways), under each case of clips.
TEST(GdiCanvas, BatchesAndPolylinesDrawWhatTheSingleCallsDraw) {
    ShapeBatch s;
    s.color = kRed;
    s.fills = {Rect(2, 2, 3, 3), Rect(5, 2, 6, 30), Rect(8, 4, 30, 5), Rect(10, 10, 12, 12), Rect(14, 10, 19, 40),
               Rect(40, 40, 40, 50), Rect(-5, 60, 8, 70), Rect(32, 2, 33, 20)};
    s.frames = {Rect(20, 10, 21, 11), Rect(22, 10, 23, 20), Rect(24, 10, 34, 11), Rect(36, 10, 38, 20),
                Rect(40, 10, 45, 13), Rect(50, 10, 61, 40), Rect(32, 15, 33, 25), Rect(70, 70, 75, 70),
                Rect(62, 10, 64, 11), Rect(62, 12, 64, 30), Rect(65, 12, 76, 14)};
    s.lines = {Point(80, 10), Point(80, 40), Point(82, 40), Point(82, 10), Point(84, 20), Point(100, 20),
               Point(100, 22), Point(84, 22), Point(86, 30), Point(96, 45), Point(90, 50), Point(90, 50),
               Point(32, 24), Point(32, 30), Point(32, 30), Point(32, 36), Point(32, 38), Point(32, 33),
               Point(0, 95), Point(150, 95)};
    std::vector<Point> line = {Point(10, 80), Point(11, 80), Point(12, 80), Point(12, 80), Point(13, 82),
                               Point(14, 82), Point(15, 82), Point(15, 85), Point(15, 88), Point(16, 70),
                               Point(17, 70), Point(16, 70), Point(20, 90), Point(20, 86), Point(20, 84),
                               Point(21, 85), Point(23, 87), Point(24, 86), Point(26, 84), Point(27, 85),
                               Point(30, 87), Point(31, 88), Point(31, 88), Point(32, 89)};
    // Steps of -9 to 9 pixels, one column each, rightwards and then back leftwards.
    const int steps[] = {0, 1, -1, 2, -2, 3, -3, 4, -5, 6, -7, 8, -9, 9, 5, -4, 7, -6, 0, -8, 1, 2, -1};
    Point at(40, 55);
    line.push_back(at);
    for (int dy : steps) line.push_back(at = Point(at.x + 1, at.y + dy));
    for (int dy : steps) line.push_back(at = Point(at.x - 1, at.y - dy + 1));

    struct Case {
        const char* name;
        std::vector<Rect> clips;  // pushed in turn before drawing
        bool popBeforeLine;       // the innermost clip is popped between the shapes and the line
        int minRed;               // the shapes' pixels at least left inside the clips
    };
    const Case cases[] = {
        {"no clip", {}, false, 300},
        {"one clip", {Rect(1, 1, 110, 96)}, false, 300},
        {"nested clips", {Rect(1, 1, 110, 96), Rect(12, 6, 62, 90)}, false, 100},
        {"a clip popped before the line", {Rect(1, 1, 110, 96), Rect(12, 6, 62, 90)}, true, 100},
        {"a clip cutting the walk", {Rect(45, 50, 58, 62)}, false, 0},
    };
    for (const Case& k : cases) {
        auto draw = [&](bool batched) {
            auto dib = std::make_unique<Dib>(120, 100);
            GdiCanvas c(dib->dc());
            c.FillRect(Rect(0, 0, 120, 100), kBack);
            for (const Rect& r : k.clips) c.PushClip(r);
            if (batched) {
                c.DrawShapes(s);
            } else {
                for (const Rect& r : s.fills) c.FillRect(r, kRed);
                for (const Rect& r : s.frames) c.FrameRect(r, kRed);
                for (size_t i = 0; i + 1 < s.lines.size(); i += 2)
                    c.Line(s.lines[i].x, s.lines[i].y, s.lines[i + 1].x, s.lines[i + 1].y, kRed);
            }
            size_t pushed = k.clips.size();
            if (k.popBeforeLine && pushed > 0) {
                c.PopClip();
                --pushed;
            }
            if (batched) {
                c.Polyline(line, kGreen);
            } else {
                for (size_t i = 0; i + 1 < line.size(); ++i)
                    c.Line(line[i].x, line[i].y, line[i + 1].x, line[i + 1].y, kGreen);
            }
            for (; pushed > 0; --pushed) c.PopClip();
            return dib;
        };
        auto batched = draw(true), single = draw(false);
        int red = 0, green = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 120; ++x) {
                EXPECT_EQ(batched->At(x, y), single->At(x, y)) << k.name << " at " << x << "," << y;
                red += single->At(x, y) == kRed;
                green += single->At(x, y) == kGreen;
            }
        }
        EXPECT_GE(red, k.minRed) << k.name;
        EXPECT_GT(green, 20) << k.name;
    }
}

// Polylines and shape batches on a DIB section are written into its bits: every slope and
// direction, cut by a clip, in a top-down and a bottom-up picture, must give GDI's own pixels.
TEST(GdiCanvas, LinesWrittenIntoTheBitsMatchGdiAtEverySlope) {
    for (const bool bottomUp : {false, true}) {
        const int w = 64, h = 64;
        auto make = [&](uint32_t** bits) {
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biHeight = bottomUp ? h : -h;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            HDC dc = ::CreateCompatibleDC(nullptr);
            HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(bits), nullptr, 0);
            ::SelectObject(dc, bmp);
            return std::make_pair(dc, bmp);
        };
        uint32_t *ours = nullptr, *theirs = nullptr;
        auto a = make(&ours), b = make(&theirs);
        HPEN pen = ::CreatePen(PS_SOLID, 1, kRed);
        HBRUSH back = ::CreateSolidBrush(kBack);
        const RECT all = {0, 0, w, h};
        for (int clipped = 0; clipped < 2; ++clipped) {
            for (int dy = -24; dy <= 24; ++dy) {
                for (int dx = -24; dx <= 24; ++dx) {
                    const Point from(32, 30), to(32 + dx, 30 + dy), after(32 + dx + 3, 30 + dy - 7);
                    const Rect cut = clipped ? Rect(20, 25, 45, 40) : Rect(0, 0, w, h);
                    ::FillRect(b.first, &all, back);
                    {
                        const int saved = ::SaveDC(b.first);
                        ::IntersectClipRect(b.first, cut.left, cut.top, cut.right, cut.bottom);
                        HGDIOBJ old = ::SelectObject(b.first, pen);
                        const POINT pts[3] = {{from.x, from.y}, {to.x, to.y}, {after.x, after.y}};
                        ::Polyline(b.first, pts, 3);
                        ::MoveToEx(b.first, to.x, to.y, nullptr);
                        ::LineTo(b.first, from.x - 9, from.y + 5);
                        ::SelectObject(b.first, old);
                        ::RestoreDC(b.first, saved);
                    }
                    {
                        GdiCanvas c(a.first);
                        c.FillRect(Rect(0, 0, w, h), kBack);
                        ClipScope clip(c, cut);
                        c.Polyline({from, to, after}, kRed);
                        ShapeBatch s;
                        s.color = kRed;
                        s.lines = {to, Point(from.x - 9, from.y + 5)};
                        c.DrawShapes(s);
                    }
                    ::GdiFlush();
                    ASSERT_EQ(0, std::memcmp(ours, theirs, size_t(w) * h * 4))
                        << "dx " << dx << " dy " << dy << (clipped ? " clipped" : "") << (bottomUp ? " bottom-up" : "");
                }
            }
        }
        ::DeleteObject(pen);
        ::DeleteObject(back);
        for (auto* p : {&a, &b}) {
            ::DeleteDC(p->first);
            ::DeleteObject(p->second);
        }
    }
}

// A text drawn again on a plain background is copied from where it was first drawn: the same
// pixels as GDI's own text, at every position, over a line, cut by a clip, and in another colour.
TEST(GdiCanvas, RepeatedTextsGiveGdisPixels) {
    const int w = 240, h = 60;
    Dib ours(w, h), theirs(w, h);
    const Rect clip(0, 0, 200, 50);
    struct Item {
        int x, y;
        const char* text;
        Color c;
    } items[] = {{3, 2, "07", kGreen},  {40, 2, "07", kGreen},  {77, 3, "07", kGreen},   {120, 20, "12", kRed},
                 {150, 20, "07", kRed}, {5, 20, "07", kGreen},  {190, 2, "07", kGreen},  {60, 35, "上证", kGreen},
                 {100, 35, "上证", kGreen}, {30, 26, "07", kGreen}, {-3, 40, "07", kGreen}};
    {
        GdiCanvas c(ours.dc());
        c.FillRect(Rect(0, 0, w, h), kBack);
        c.Line(0, 30, w, 30, kRed);  // under the text at (30, 26)
        ClipScope scope(c, clip);
        for (const Item& i : items) c.Text(i.x, i.y, i.text, i.c, Font(12), kAlignLeft);
    }
    {
        GdiCanvas c(theirs.dc());
        c.FillRect(Rect(0, 0, w, h), kBack);
        c.Line(0, 30, w, 30, kRed);
    }
    HDC dc = theirs.dc();
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    ::SetBkMode(dc, TRANSPARENT);
    CGdiCache* cache = GetGdiCache();
    ASSERT_TRUE(cache);
    ::SelectObject(dc, cache->GetFont(12, Font().face, false));
    for (const Item& i : items) {
        ::SetTextColor(dc, i.c);
        ::TextOutA(dc, i.x, i.y, i.text, int(std::strlen(i.text)));
    }
    ::RestoreDC(dc, saved);
    int lit = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(ours.At(x, y), theirs.At(x, y)) << x << "," << y;
            lit += ours.At(x, y) != kBack;
        }
    EXPECT_GT(lit, 300);
}
