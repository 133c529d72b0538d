// The intraday pane's rules, and its drawing on a recording canvas.
#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/stprofile.h"
#include "charts/realtime.h"
#include "charts/realtimerules.h"
#include "intraday_data.h"

using namespace charts;
using namespace chart_test;

namespace {

int32_t g_now = 0;
int32_t TestClock() { return g_now; }

// Every test in this file runs on the session's clock of its own choosing.
class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = At(16, 0);
        SetChartClock(&TestClock);
    }
    void TearDown() override { SetChartClock(nullptr); }
};

Color C(int role) { return Color(GetProfile().GetColor(role)); }

std::vector<const RecordingCanvas::Op*> Polylines(const RecordingCanvas& rc, Color colour) {
    std::vector<const RecordingCanvas::Op*> out;
    for (const auto* op : rc.OfKind(RecordingCanvas::kPolyline))
        if (op->color == colour) out.push_back(op);
    return out;
}

}  // namespace

TEST(RealTimeClock, TradeSecondsLandOnTheAxis) {
    // A chart 1446 px wide: one pixel per ten trade seconds.
    struct Case {
        int h, m, s, x;
    } cases[] = {
        {9, 0, 0, 60},       // before the open: the left edge
        {9, 30, 0, 65},      // the first minute counts to its end, second 59
        {11, 30, 0, 785},    // the morning's last minute ...
        {13, 0, 0, 785},     // ... and the afternoon's start share the middle
        {14, 0, 0, 1145},
        {15, 0, 0, 1505},
        {15, 1, 0, 1506},    // after the close: the right edge
    };
    for (const Case& c : cases) {
        int t = CTimeStamp(At(c.h, c.m, c.s)).GetTradeSecond();
        EXPECT_EQ(TradeSecondToX(t, 60, 60 + 1446), c.x) << c.h << ":" << c.m;
    }
}

TEST(RealTimeLayout, AreasFollowTheOptionAndTheReportColumn) {
    RtLayout l;
    ASSERT_TRUE(LayoutRealTime(Rect(0, 0, 1000, 399), rtChart, 0, 9, &l));
    EXPECT_EQ(l.price, Rect(60, 19, 1000 - 200 - 45, 252));
    EXPECT_EQ(l.volume, Rect(60, 254, 755, 380));
    EXPECT_EQ(l.report, Rect(800, 26, 1000, 380));
    EXPECT_TRUE(l.ratioPane.IsEmpty());
    // No report column: the chart reaches right - 45.
    for (int mode : {rtChart, rtTickList}) {
        ASSERT_TRUE(LayoutRealTime(Rect(0, 0, 1000, 399), mode, 0, mode == rtChart ? 10 : 9, &l));
        EXPECT_EQ(l.price.right, 955);
        EXPECT_TRUE(l.report.IsEmpty());
    }
    ASSERT_TRUE(LayoutRealTime(Rect(0, 0, 1000, 399), rtChart, rtOptionVolumeRatio, 9, &l));
    EXPECT_EQ(l.price.bottom, 180);
    EXPECT_EQ(l.volume, Rect(60, 182, 755, 281));
    EXPECT_EQ(l.ratioPane, Rect(60, 282, 755, 380));
    EXPECT_TRUE(l.strengthPane.IsEmpty());
    RtLayout untouched = l;
    EXPECT_FALSE(LayoutRealTime(Rect(0, 0, 0, 0), rtChart, 0, 9, &l));
    EXPECT_EQ(l.price, untouched.price);
}

TEST(RealTimeScale, RangeIsSymmetricAboutThePreviousClose) {
    std::vector<MINUTE> m(3);
    double prices[] = {10.10, 10.30, 9.95}, cum[] = {5, 30, 32};
    for (int k = 0; k < 3; ++k) {
        m[size_t(k)].price = float(prices[k]);
        m[size_t(k)].volume = float(cum[k]);
    }
    double centre = 10, lo, hi, vmax;
    GetRealTimePriceRange(m.data(), 3, RtQuoteRange(), &centre, &lo, &hi, &vmax, true);
    EXPECT_NEAR(hi, 10.30, 1e-5);
    EXPECT_NEAR(lo, 9.70, 1e-5);
    EXPECT_DOUBLE_EQ(vmax, 25);
    // The quote's high and low win over the minutes when all three prices are there.
    RtQuoteRange q;
    q.valid = true;
    q.last = 10.1, q.high = 10.5, q.low = 9.9;
    GetRealTimePriceRange(m.data(), 3, q, &centre, &lo, &hi, &vmax, true);
    EXPECT_NEAR(hi - 10, 0.5, 1e-5);
    EXPECT_NEAR(10 - lo, 0.5, 1e-5);
    // A flat day is never a flat scale; a day without volume still scales volumes to 10.
    for (auto& r : m) r.price = 10, r.volume = 0;
    GetRealTimePriceRange(m.data(), 3, RtQuoteRange(), &centre, &lo, &hi, &vmax, true);
    EXPECT_NEAR(hi - lo, 2 * 10 * 0.001, 1e-9);
    EXPECT_DOUBLE_EQ(vmax, 10);

    // The half range: the first of n, 2n, 3n ticks above the distance, else the distance.
    struct Case {
        double c;
        int n;
        double half;
    } ladder[] = {{0.30, 8, 0.30}, {0.30, 12, 0.36}, {0.30, 16, 0.32}, {0.30, 40, 0.40}, {0.0, 8, 0.08}};
    for (const Case& c : ladder) EXPECT_NEAR(ScaleHalfRange(c.c, c.n, 2), c.half, 1e-9) << c.n;
    EXPECT_EQ(ScaleIntervals(233), 8);
    EXPECT_EQ(ScaleIntervals(55), 0);
}

TEST(RealTimeScale, RunningAverageIsTheMeanOfThePrices) {
    double avg = 10;  // the centre before the first minute
    double prices[] = {11, 13, 9, 11};
    double sum = 0;
    for (int j = 0; j < 4; ++j) {
        avg = NextAverage(avg, j, prices[j]);
        sum += prices[j];
        EXPECT_DOUBLE_EQ(avg, sum / (j + 1));
    }
}

TEST(RealTimeLists, RowsPagesAndFirstRowsBothWays) {
    // The report column: 23 trades, room for 10 rows, the last rows shown and written back.
    EXPECT_EQ(ReportListRows(100, 100 + 24 + 160 + 15), 10);
    EXPECT_EQ(ReportListRows(100, 110), 1);
    EXPECT_EQ(ResolveReportFirstRow(-1, 23, 10), 13);
    EXPECT_EQ(ResolveReportFirstRow(-1, 5, 10), 0);
    EXPECT_EQ(ResolveReportFirstRow(23, 23, 10), 0);
    EXPECT_EQ(ResolveReportFirstRow(-7, 23, 10), 0);

    struct Case {
        int first, n, p, up, down;
    } cases[] = {
        {0, 25, 10, 0, 10},     // page up from the first page stays
        {-1, 25, 10, 10, -1},   // the last page starts at 20; up goes to 10
        {10, 25, 10, 0, 20},
        {20, 25, 10, 10, -1},   // down past the end: the last page
        {13, 23, 10, 3, -1},    // as the report column writes it back ...
        {3, 23, 10, 0, 13},     // ... and up again reaches the first rows
        {-1, 5, 10, -1, -1},    // one page only
        {-1, 25, -1, -1, -1},   // no page size yet: nothing moves
        {7, 25, 0, 7, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageUpRow(c.first, c.n, c.p), c.up) << c.first << "/" << c.n << "/" << c.p;
        EXPECT_EQ(PageDownRow(c.first, c.n, c.p), c.down) << c.first << "/" << c.n << "/" << c.p;
    }
    // A whole pane 900 by 400: 4 columns of 22 rows; 200 trades start the last page at 176.
    PanelGrid g = PanelGridOf(Rect(0, 0, 900, 400));
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(g.rows, 22);
    EXPECT_EQ(ResolvePanelFirstRow(-1, 200, g.Page()), 176);
    EXPECT_EQ(ResolvePanelFirstRow(-1, 0, g.Page()), 0);
    EXPECT_EQ(ResolvePanelFirstRow(500, 200, g.Page()), 0);
    EXPECT_EQ(PanelGridOf(Rect(0, 0, 100, 20)).Page(), 1);
}

TEST(RealTimeMouse, BandsPickTheNearerRecord) {
    std::vector<int> t = {59, 119, 179, 1019};
    const int left = 0, right = 1446;  // x = t / 10
    EXPECT_EQ(HitTestMinuteBand(t, 8, left, right), 0);
    EXPECT_EQ(HitTestMinuteBand(t, 10, left, right), 1);  // between 5.9 and 11.9: nearer 11.9
    EXPECT_EQ(HitTestMinuteBand(t, 55, left, right), 2);
    EXPECT_EQ(HitTestMinuteBand(t, 70, left, right), 3);
    EXPECT_EQ(HitTestMinuteBand(t, 1, left, right), 0);   // the first band reaches half way to t - 100
    EXPECT_EQ(HitTestMinuteBand(t, 0, left, right), -1);
    EXPECT_EQ(HitTestMinuteBand(t, 120, left, right), -1);
}

TEST(RealTimeColour, UpDownAroundTheReference) {
    struct Case {
        double v;
        int role;
    } cases[] = {{10.0002, 17}, {10.0001, 20}, {10.0, 20}, {9.9999, 20}, {9.9998, 18}};
    for (const Case& c : cases) EXPECT_EQ(UpDownRole(c.v, 10.0), c.role) << c.v;
}

class RealTimeDraw : public ClockTest {
protected:
    RecordingCanvas rc{Rect(0, 0, 1200, 600)};
    CanvasOwner owner{rc};
    CRealTime pane;
    void SetUp() override {
        ClockTest::SetUp();
        pane.SetOwnerField(&owner);
    }
    void Draw() {
        rc.Clear();
        ASSERT_EQ(pane.Draw(&rc, Rect(0, 0, 1200, 600)), 1);
    }
};

TEST_F(RealTimeDraw, LabelsRunSymmetricallyWithUnsignedPercentages) {
    SetIdentity(pane.GetStock(), kMarketShangHai, "600000_1", kindShA, "浦发银行", 10.00);
    MakeDay(pane.GetStock(), 10.00);
    Draw();
    const double hi = pane.GetScaleMax(), lo = pane.GetScaleMin();
    EXPECT_NEAR(hi + lo, 20.0, 1e-6);
    const Rect price = pane.GetLayoutAreas().price;
    // The price labels left of the chart, top to bottom, and the percentages right of it.
    std::vector<const RecordingCanvas::Op*> left, right;
    for (const auto* op : rc.OfKind(RecordingCanvas::kText)) {
        if (op->points[0].y < price.top - 8 || op->points[0].y >= price.bottom) continue;
        if (op->points[0].x == price.left - 1) left.push_back(op);
        if (op->points[0].x == price.right + 3) right.push_back(op);
    }
    ASSERT_GE(left.size(), 3u);
    ASSERT_EQ(left.size(), right.size());
    const size_t n = left.size();
    for (size_t k = 0; k < n; ++k) {
        // Labels mirror about the middle: the same percentage, colours swapped.
        EXPECT_EQ(right[k]->text, right[n - 1 - k]->text);
        EXPECT_EQ(right[k]->text.find('-'), std::string::npos);
        double v = std::atof(left[k]->text.c_str());
        EXPECT_EQ(left[k]->color, C(v > 10.00001 ? 17 : v < 9.99999 ? 18 : 20)) << left[k]->text;
    }
    EXPECT_EQ(left[n / 2]->text, "10.00");
    EXPECT_EQ(right[n / 2]->text, "0.00%");
}

TEST_F(RealTimeDraw, CurvesVolumesAndTheFlatContinuationUpToNow) {
    CStock& s = pane.GetStock();
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10.00);
    // 61 minutes up to 10:30, the first one after 09:31 (so its bar is 0); the clock at 11:00.
    std::vector<int32_t> times;
    std::vector<double> prices, volumes;
    for (int k = 0; k < 61; ++k) {
        times.push_back(At(9, 32) + 60 * k);
        prices.push_back(k == 5 ? 0 : 10 + 0.01 * (k % 9));
        volumes.push_back(500 + k);
    }
    SetMinutes(s, times, prices, volumes);
    SetQuoteFromMinutes(s, times.back());
    s.GetMinute()[5].price = 0;  // a minute without a price is drawn at the previous close
    g_now = At(11, 0);
    Draw();
    const Rect price = pane.GetLayoutAreas().price, volume = pane.GetLayoutAreas().volume;
    auto priceLines = Polylines(rc, C(26));
    ASSERT_EQ(priceLines.size(), 1u);
    const auto& pts = priceLines[0]->points;
    // Starts at the left edge at the first price, ends flat at 11:00.
    EXPECT_EQ(pts.front().x, price.left);
    const int now = CTimeStamp(At(11, 0)).GetTradeSecond();
    EXPECT_EQ(pts.back().x, TradeSecondToX(now / 60 * 60, price.left, price.right));
    EXPECT_EQ(pts.back().y, pts[pts.size() - 2].y);
    const int mid = price.top + price.Height() / 2;
    bool sawCentre = false;
    for (const Point& p : pts) sawCentre |= (p.x == TradeSecondToX(CTimeStamp(times[5]).GetTradeSecond(), price.left, price.right) && std::abs(p.y - mid) <= 1);
    EXPECT_TRUE(sawCentre);
    // The average curve: one run, ending with the mean of the drawn prices.
    auto avg = Polylines(rc, C(27));
    ASSERT_EQ(avg.size(), 1u);
    // Volume bars: one per minute but the first (after 09:31), from the volume bottom up.
    int bars = 0;
    for (const auto* op : rc.OfKind(RecordingCanvas::kLine))
        if (op->color == C(27) && op->points[0].y == volume.bottom - 1) ++bars;
    EXPECT_EQ(bars, 60);
    // Nothing of the pane is drawn outside it.
    EXPECT_TRUE(rc.AllDrawnInside(Rect(0, 0, 1200, 600)));
}

TEST_F(RealTimeDraw, VolumeRatioCurveKeepsItsHighestPointAndStopsWithoutAStatistic) {
    CStock& s = pane.GetStock();
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10.00);
    MakeDay(s, 10.00, 120);
    // Five earlier sessions of 100000 each give the average the curve divides by.
    CKData& day = s.GetKDataDay();
    for (int k = 0; k < 5; ++k) {
        KDATA b;
        std::memset(&b, 0, sizeof b);
        b.date = 20240226 + k;
        b.close = 10;
        b.volume = 100000;
        day.Add(b);
    }
    pane.SetDrawMode(rtChart, rtOptionVolumeRatio, 9);
    g_now = At(11, 45);
    Draw();
    const Rect ratio = pane.GetLayoutAreas().ratioPane;
    std::vector<const RecordingCanvas::Op*> curve;
    for (const auto* op : Polylines(rc, C(26)))
        if (ratio.Contains(op->rect)) curve.push_back(op);
    ASSERT_EQ(curve.size(), 1u);
    // The highest point of the day sits on the scale's top line: it was not dropped.
    int top = 1 << 30;
    for (const Point& p : curve[0]->points) top = std::min(top, p.y);
    EXPECT_EQ(top, ratio.top + 17);
    EXPECT_FALSE(rc.WithText("量比（多空）").empty());

    // Without earlier sessions there is no average volume: the caption stands alone.
    day.SetSize(0);
    Draw();
    int inPane = 0;
    for (const auto& op : rc.Ops())
        if (op.kind != RecordingCanvas::kFill && op.kind != RecordingCanvas::kFrame && ratio.Contains(op.rect)) ++inPane;
    EXPECT_EQ(inPane, 1);
}

TEST_F(RealTimeDraw, CursorMovesAndSelectionsFrameTheirXorLines) {
    SetIdentity(pane.GetStock(), kMarketShangHai, "600000_1", kindShA, "浦发银行", 10.00);
    MakeDay(pane.GetStock(), 10.00, 30);
    Draw();
    rc.Clear();
    pane.CursorLast(false);
    EXPECT_EQ(pane.GetCursorIndex(), 29);
    pane.CursorNext(false);
    EXPECT_EQ(pane.GetCursorIndex(), 29);
    pane.CursorFirst(false);
    pane.CursorPrev(false);
    EXPECT_EQ(pane.GetCursorIndex(), 0);
    // Each move erases the old line and draws the new one: an even count of XOR lines overall
    // leaves exactly the current cursor's line standing once the first draw is counted.
    EXPECT_EQ(rc.OfKind(RecordingCanvas::kXorLine).size() % 2, 1u);
    pane.MoveCursor(4, true, false);
    EXPECT_EQ(pane.GetSelection().size(), 5u);  // 0 to 4
    // A click on the time axis clears the cursor and the selection.
    pane.OnLButtonDown(0, 300, 600 - 5, false, false);
    EXPECT_EQ(pane.GetCursorIndex(), -1);
    EXPECT_TRUE(pane.GetSelection().empty());
    // The information line names the minute under the cursor.
    pane.OnLButtonDown(0, TradeSecondToX(60 * 3 + 59, pane.GetLayoutAreas().price.left, pane.GetLayoutAreas().price.right),
                       200, false, false);
    EXPECT_EQ(pane.GetCursorIndex(), 3);
    EXPECT_FALSE(rc.WithText("09:33").empty());
}

TEST_F(RealTimeDraw, ReportPagingWaitsForAPageSize) {
    CStock& s = pane.GetStock();
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10.00);
    MakeDay(s, 10.00, 30);
    MakeTicks(s, 100, 10.0);
    pane.SetDrawMode(rtChart, 0, 11);
    pane.ReportPageUp();  // before any painting: the page size is unknown
    EXPECT_EQ(pane.GetReportRow(), -1);
    Draw();
    const int rows = pane.GetReportRows();
    ASSERT_GT(rows, 1);
    EXPECT_EQ(pane.GetReportRow(), 100 - rows);
    while (pane.GetReportRow() > 0) pane.ReportPageUp();
    EXPECT_EQ(pane.GetReportRow(), 0);
    pane.ReportPageDown();
    EXPECT_EQ(pane.GetReportRow(), rows);
}

TEST_F(RealTimeDraw, IndexDiagnosisAndBars) {
    SetIdentity(pane.GetStock(), kMarketShangHai, "1A0001_1", kindShIndex, "上证指数", 3000);
    MakeDay(pane.GetStock(), 3000);
    std::string text;
    pane.GetDiagnosis(text);
    EXPECT_EQ(text, "不能对指数进行诊断。");
    Draw();
    // Red bars above the previous-close line in the morning's rise, green below in the fall.
    const Rect price = pane.GetLayoutAreas().price;
    const int mid = price.top + price.Height() / 2;
    int up = 0, down = 0;
    for (const auto* op : rc.OfKind(RecordingCanvas::kLine)) {
        if (op->points[0].y != mid || op->points[0].x != op->points[1].x) continue;
        if (op->color == C(17) && op->points[1].y < mid) ++up;
        if (op->color == C(18) && op->points[1].y > mid) ++down;
    }
    EXPECT_GT(up, 50);
    EXPECT_GT(down, 50);
}
