// The K-line chart's rules without a window: layout, visible range, slots, hit tests, cursor,
// paging, zoom, indicator cycling, pane boundaries, the view's key and tab maps, the tab strip.
#include "charts/kline.h"

#include <gtest/gtest.h>

#include "charts/tabstrip.h"

using namespace charts;

TEST(KLineLayout, SplitsTheHeightAmongPanesAtSeveralSizes) {
    struct Case {
        Rect chart;
        int n;
        int t;
        Rect price;
        bool valid;
    } cases[] = {
        // No sub-pane: the price pane takes everything above the date axis.
        {Rect(0, 0, 1000, 600), 0, 291, Rect(72, 0, 799, 582), true},
        {Rect(0, 0, 1000, 600), 2, 145, Rect(72, 0, 799, 292), true},
        {Rect(10, 20, 1290, 820), 3, 156, Rect(82, 20, 1089, 334), true},
        // Too low for its panes, or too narrow for any bar: nothing is drawn.
        {Rect(0, 0, 1000, 20), 3, 0, Rect(72, 0, 799, 2), false},
        {Rect(0, 0, 280, 600), 1, 194, Rect(72, 0, 79, 388), false},
    };
    for (const Case& k : cases) {
        KLineLayout l = LayoutKLine(k.chart, k.n);
        EXPECT_EQ(l.valid, k.valid) << k.n << " " << k.chart.Height();
        EXPECT_EQ(l.paneHeight, k.t);
        EXPECT_EQ(l.pricePane, k.price);
        ASSERT_EQ(int(l.subPanes.size()), k.n);
        if (!k.valid) continue;
        EXPECT_EQ(l.barArea, Rect(k.price.left + 2, k.price.top + 17, k.price.right - 10, k.price.bottom - 2));
        EXPECT_EQ(l.report, Rect(k.chart.right - 200, k.chart.top + 26, k.chart.right, k.chart.bottom - 18));
        EXPECT_EQ(l.infoBox, Rect(k.chart.left + 1, k.chart.top + 38, k.chart.left + 71, k.chart.top + 318));
        // Sub-panes stack under the price pane down to the date axis.
        int top = k.price.bottom;
        for (const Rect& p : l.subPanes) {
            EXPECT_EQ(p.top, top);
            EXPECT_EQ(p.Height(), k.t);
            top = p.bottom;
        }
        EXPECT_EQ(top, k.chart.bottom - 18);
    }
    EXPECT_FALSE(LayoutKLine(Rect(), 2).valid);
}

TEST(VisibleRange, FollowsTheSeriesAndKeepsTheCursorsPlace) {
    struct Case {
        VisibleRange in;
        int count, width, step;
        bool ok;
        VisibleRange out;
    } cases[] = {
        {{-1, -1, -1}, 30, 600, 6, true, {0, 29, -1}},    // fewer bars than fit start at the left
        {{-1, -1, -1}, 500, 600, 6, true, {400, 499, -1}},  // the last bars when no range is set
        {{300, 399, 350}, 500, 600, 6, true, {300, 399, 350}},
        // Narrower step (more bars fit): the cursor keeps its proportion of the screen.
        {{300, 399, 350}, 500, 600, 4, true, {274, 423, 350}},
        // Wider step (fewer fit).
        {{300, 399, 350}, 500, 600, 10, true, {321, 380, 350}},
        {{300, 399, 450}, 500, 600, 6, true, {300, 399, -1}},  // a cursor off the range is dropped
        {{300, 399, -1}, 0, 600, 6, false, {-1, -1, -1}},      // no bars
        {{300, 399, -1}, 500, 0, 6, false, {300, 399, -1}},    // no width
        {{300, 399, -1}, 500, 5, 6, false, {300, 399, -1}},    // not one bar fits
        {{450, 549, -1}, 500, 600, 6, true, {400, 499, -1}},   // a series that shrank
    };
    for (const Case& k : cases) {
        VisibleRange r = k.in;
        EXPECT_EQ(UpdateVisibleRange(r, k.count, k.width, k.step), k.ok);
        EXPECT_EQ(r.first, k.out.first) << k.in.first << " step " << k.step;
        EXPECT_EQ(r.last, k.out.last) << k.in.first << " step " << k.step;
        EXPECT_EQ(r.cursor, k.out.cursor) << k.in.first << " step " << k.step;
    }
}

TEST(BarSlots, BodyWidthsAndHitTestsFollowTheStep) {
    struct Case { int step, body; } widths[] = {{1, 1}, {2, 1}, {4, 3}, {5, 3}, {6, 5}, {7, 5},
                                                 {9, 7}, {10, 7}, {13, 11}, {15, 11}, {3, 0}, {0, 0}};
    for (const Case& k : widths) EXPECT_EQ(BodyWidthForStep(k.step), k.body) << k.step;

    KLineLayout l = LayoutKLine(Rect(0, 0, 1000, 600), 2);
    VisibleRange r{100, 199, -1};
    BarSlot s;
    ASSERT_TRUE(GetSlotRect(r, 6, l, 105, &s));
    EXPECT_EQ(s.slot, Rect(l.barArea.left + 30, 0, l.barArea.left + 36, 600));
    EXPECT_EQ(s.bodyRight - s.bodyLeft, 5);
    EXPECT_EQ(s.centre, l.barArea.left + 32);
    EXPECT_FALSE(GetSlotRect(r, 6, l, 99, &s));
    EXPECT_FALSE(GetSlotRect(r, 6, l, -1, &s));
    EXPECT_FALSE(GetSlotRect(r, 3, l, 105, &s));  // a step off the ladder

    const int y = l.pricePane.top + 100;
    EXPECT_EQ(HitTestBar(r, 6, l, s.slot.left, y), 105);
    EXPECT_EQ(HitTestBar(r, 6, l, s.slot.right - 1, y), 105);
    EXPECT_EQ(HitTestBar(r, 6, l, l.barArea.left - 1, y), -1);
    EXPECT_EQ(HitTestBar(r, 6, l, s.slot.left, l.subPanes[0].top + 5), -1);  // below the price pane
    VisibleRange few{0, 9, -1};
    EXPECT_EQ(HitTestBar(few, 6, l, l.barArea.left + 61, y), -1);  // right of the last bar
}

TEST(CursorAndPaging, MoveWithinTheSeriesAtBothEnds) {
    VisibleRange r{100, 119, -1};  // 20 visible of 200
    MoveCursorBy(r, 200, 1);       // Right without a cursor: the first visible bar
    EXPECT_EQ(r.cursor, 100);
    r.cursor = -1;
    MoveCursorBy(r, 200, -1);      // Left without one: the last visible bar
    EXPECT_EQ(r.cursor, 119);
    MoveCursorBy(r, 200, PageDelta(r, false));  // Ctrl+Right with 20 visible: 14 bars
    EXPECT_EQ(r.cursor, 133);
    EXPECT_EQ(r.first, 114);  // scrolled so that the cursor stays on screen
    EXPECT_EQ(r.last, 133);
    VisibleRange five{0, 4, 2};
    EXPECT_EQ(PageDelta(five, false), 1);
    EXPECT_EQ(PageDelta(five, true), -1);

    // Paging at both ends stays on the series.
    VisibleRange start{0, 19, 3};
    MoveCursorBy(start, 200, PageDelta(start, true));
    EXPECT_EQ(start.cursor, 0);
    EXPECT_EQ(start.first, 0);
    VisibleRange end{180, 199, 195};
    MoveCursorBy(end, 200, PageDelta(end, false));
    EXPECT_EQ(end.cursor, 199);
    EXPECT_EQ(end.last, 199);
    // A miss clears the cursor; no bars leave none.
    MoveCursorTo(end, 200, -1);
    EXPECT_EQ(end.cursor, -1);
    VisibleRange empty;
    MoveCursorBy(empty, 0, 1);
    EXPECT_EQ(empty.cursor, -1);
}

TEST(Zoom, LadderDragRightWidensAndDragLeftNarrows) {
    struct Step { int step, wider, narrower; } ladder[] = {
        {1, 2, 1}, {2, 4, 1}, {4, 5, 2}, {5, 6, 4}, {6, 7, 5}, {7, 9, 6},
        {9, 10, 7}, {10, 13, 9}, {13, 15, 10}, {15, 15, 13}, {8, 6, 6},
    };
    for (const Step& k : ladder) {
        EXPECT_EQ(GetNextBarWidth(k.step, true), k.wider) << k.step;
        EXPECT_EQ(GetNextBarWidth(k.step, false), k.narrower) << k.step;
    }
    // Bars 150..160 dragged over in a 600-pixel area at step 6 (100 bars shown).
    VisibleRange r{100, 199, 155};
    int step = 6;
    ASSERT_TRUE(ZoomToBars(r, &step, 500, 150, 160, 600));
    // (11 * 15 < 600): widened to 135..168, and the step grows while the bars still fit.
    EXPECT_EQ(r.first, 135);
    EXPECT_EQ(r.last, 168);
    EXPECT_EQ(step, 15);
    EXPECT_EQ(r.cursor, 155);
    // Near either end the widening stays on the series.
    VisibleRange atStart{0, 99, -1};
    step = 6;
    ASSERT_TRUE(ZoomToBars(atStart, &step, 500, 2, 6, 600));
    EXPECT_EQ(atStart.first, 0);
    VisibleRange atEnd{400, 499, -1};
    step = 6;
    ASSERT_TRUE(ZoomToBars(atEnd, &step, 500, 494, 498, 600));
    EXPECT_EQ(atEnd.last, 499);
    // Dragged to the left: three steps narrower whatever the size.
    step = 10;
    EXPECT_TRUE(ZoomToBars(r, &step, 500, 170, 140, 600));
    EXPECT_EQ(step, 6);
    step = 1;
    EXPECT_FALSE(ZoomToBars(r, &step, 500, 170, 140, 600));
    // A corner beyond the chart area counts as the first or last visible bar.
    KLineLayout l = LayoutKLine(Rect(0, 0, 1000, 600), 1);
    VisibleRange v{10, 50, -1};
    EXPECT_EQ(ZoomCornerBar(v, 6, l, l.chartArea.left - 3, 100), 10);
    EXPECT_EQ(ZoomCornerBar(v, 6, l, l.chartArea.right + 3, 100), 50);
    EXPECT_EQ(ZoomCornerBar(v, 6, l, l.barArea.left + 300, 100), -1);  // inside, right of the bars
}

TEST(Indicators, HomeAndEndCycleThroughBuiltInsAndPlugins) {
    struct Case { int last, plugins, next, prev; } cases[] = {
        {58, 0, 9, 57},       {58, 1, 10000, 57},   {10000, 1, 9, 58},
        {9, 0, 10, 58},       {9, 2, 10, 10001},    {10000, 2, 10001, 58},
        {-1, 0, 9, 58},       {-1, 2, 9, 10001},    {10001, 2, 9, 10000},
        {30, 0, 31, 29},      {10005, 1, 9, 10000},  // a plug-in id no longer there
    };
    for (const Case& k : cases) {
        EXPECT_EQ(NextIndicatorId(k.last, k.plugins), k.next) << k.last << "/" << k.plugins;
        EXPECT_EQ(PrevIndicatorId(k.last, k.plugins), k.prev) << k.last << "/" << k.plugins;
    }
}

TEST(PaneBoundaries, HitWithinFivePixelsAndMoveBetweenNeighbours) {
    KLineLayout l = LayoutKLine(Rect(0, 0, 1000, 600), 2);
    const int x = 300, b0 = l.pricePane.bottom, b1 = l.subPanes[0].bottom;
    EXPECT_EQ(HitTestBoundary(l, x, b0 + 4), 0);
    EXPECT_EQ(HitTestBoundary(l, x, b0 - 5), 0);
    EXPECT_EQ(HitTestBoundary(l, x, b0 + 5), -1);
    EXPECT_EQ(HitTestBoundary(l, x, b1), 1);
    EXPECT_EQ(HitTestBoundary(l, x, l.subPanes[1].bottom), -1);  // the last pane's bottom is no boundary
    EXPECT_EQ(HitTestBoundary(l, 20, b0), -1);                     // left of the chart area

    ASSERT_TRUE(MoveBoundary(l, 0, b0 + 40));
    EXPECT_EQ(l.pricePane.bottom, b0 + 40);
    EXPECT_EQ(l.subPanes[0].top, b0 + 40);
    EXPECT_EQ(l.barArea.bottom, b0 + 38);
    // Dragged past the neighbour: stopped with the pane's title strip and one pixel left.
    ASSERT_TRUE(MoveBoundary(l, 1, 0));
    EXPECT_EQ(l.subPanes[0].bottom, l.subPanes[0].top + 18);
    EXPECT_FALSE(MoveBoundary(l, 2, 300));
}

TEST(GraphViewMaps, KeysPeriodsModesAndTabs) {
    struct Key { int vk; bool ctrl; KLineKey action; } keys[] = {
        {13, false, kKeyEnter},        {27, false, kKeyEscape},      {33, false, kKeyPrevStock},
        {34, false, kKeyNextStock},    {35, false, kKeyNextIndicator}, {36, false, kKeyPrevIndicator},
        {37, false, kKeyCursorLeft},   {37, true, kKeyPageLeft},     {38, false, kKeyStepUp},
        {39, false, kKeyCursorRight},  {39, true, kKeyPageRight},    {40, false, kKeyStepDown},
        {119, false, kKeyCyclePeriod}, {65, false, kKeyNone},
        {38, true, kKeyReportPageUp},  {40, true, kKeyReportPageDown},
    };
    for (const Key& k : keys) EXPECT_EQ(MapKLineKey(k.vk, k.ctrl), k.action) << k.vk;
    int periods[][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 5}};
    for (auto& p : periods) EXPECT_EQ(NextPeriod(p[0]), p[1]);
    EXPECT_EQ(ChooseExrightMode(2, 2), 1);
    EXPECT_EQ(ChooseExrightMode(1, 3), 3);
    int tabs[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {9, 9}, {10, 11}, {14, 15}, {16, 17}, {4, -1}, {17, -1}};
    for (auto& t : tabs) EXPECT_EQ(ReportKindForTab(t[0]), t[1]) << t[0];
}

namespace {
class CountingTabs : public CSkinTabManager {
public:
    int changes = 0, requests = 0;
    bool refuse = false;
    void OnChanged() override { ++changes; }
    bool OnSelectRequest(CSkinTabManagerItem*) override {
        ++requests;
        return !refuse;
    }
};
}  // namespace

TEST(TabStrip, LayoutHitTestAndSelection) {
    CountingTabs tabs;
    const char* captions[] = {"板", "笔", "价", "分", "盘", "值", "本", "势"};
    int ids[] = {9, 10, 11, 12, 13, 14, 0, 1};
    for (int i = 0; i < 8; ++i) tabs.AddItem(captions[i], ids[i]);
    // One row: tabs that do not fit run on past the right edge.
    tabs.Layout(Rect(824, 581, 924, 600));
    EXPECT_EQ(tabs.GetItem(0)->GetRect(), Rect(824, 581, 844, 600));
    EXPECT_EQ(tabs.GetItem(7)->GetRect(), Rect(964, 581, 984, 600));
    // Two rows of a strip too narrow: count - count / rows tabs in a row.
    tabs.SetRows(2);
    tabs.Layout(Rect(0, 0, 100, 40));
    EXPECT_EQ(tabs.GetItem(3)->GetRect(), Rect(60, 0, 80, 20));
    EXPECT_EQ(tabs.GetItem(4)->GetRect(), Rect(0, 20, 20, 40));
    EXPECT_EQ(tabs.HitTest(65, 5), tabs.GetItem(3));
    EXPECT_EQ(tabs.HitTest(500, 5), nullptr);

    tabs.changes = 0;
    EXPECT_TRUE(tabs.OnLButtonDown(65, 5));
    EXPECT_EQ(tabs.GetSelected()->GetId(), 12);
    EXPECT_EQ(tabs.changes, 1);
    // The selected tab again: asked, but no second change.
    EXPECT_TRUE(tabs.OnLButtonDown(65, 5));
    EXPECT_EQ(tabs.requests, 2);
    EXPECT_EQ(tabs.changes, 1);
    tabs.refuse = true;
    EXPECT_FALSE(tabs.OnLButtonDown(5, 5));
    EXPECT_EQ(tabs.GetSelected()->GetId(), 12);
    EXPECT_FALSE(tabs.OnLButtonDown(65, 5, true));  // already handled

    // Captions: the same text calls no hook, a missing one changes nothing.
    tabs.changes = 0;
    EXPECT_TRUE(tabs.GetItem(0)->SetText("板"));
    EXPECT_FALSE(tabs.GetItem(0)->SetText(nullptr));
    EXPECT_EQ(tabs.changes, 0);
    EXPECT_TRUE(tabs.GetItem(0)->SetText("新"));
    EXPECT_EQ(tabs.changes, 1);
    // An id below 0 renumbers every item.
    tabs.AddItem(std::unique_ptr<CSkinTabManagerItem>(), -1);
    for (int i = 0; i < tabs.GetItemCount(); ++i) EXPECT_EQ(tabs.GetItem(i)->GetId(), i);

    RecordingCanvas c;
    tabs.Draw(c, Rect(0, 0, 15, 15));
    EXPECT_EQ(c.OfKind(RecordingCanvas::kFrame).size(), 1u);  // only the tab the update meets
}
