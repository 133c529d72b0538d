// The K-line chart over real day files, drawn on a recording canvas: loading, the price range,
// candles, panes kept inside their rectangles, gaps for values that are not numbers, legends that
// do not fit, keys and the mouse.
#include "charts/stockgraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <fstream>
#include <functional>
#include <limits>
#include <map>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "charts/chart_world.h"
#include "store/store_files.h"

using namespace charts;
using chart_test::Bar;
using chart_test::ChartWorld;
using chart_test::RecordingHost;

namespace {

// The profile's lists and MA parameters as the tests found them, put back afterwards.
class ProfileGuard {
public:
    ProfileGuard()
        : m_shown(GetProfile().GetShownIndicators()), m_second(GetProfile().GetSecondIndicatorList()) {
        m_ma.CopyParameters(GetProfile().GetTechSet().m_MA);
    }
    ~ProfileGuard() {
        GetProfile().SetShownIndicators(m_shown);
        GetProfile().SetSecondIndicatorList(m_second);
        GetProfile().GetTechSet().m_MA.CopyParameters(m_ma);
    }
    static void Set(std::initializer_list<int> panes, std::initializer_list<int> overlays) {
        CSPDWordArray a, b;
        for (int id : panes) a.Add(DWORD(id));
        for (int id : overlays) b.Add(DWORD(id));
        GetProfile().SetShownIndicators(a);
        GetProfile().SetSecondIndicatorList(b);
    }

private:
    CSPDWordArray m_shown, m_second;
    CMA m_ma;
};

class Chart : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileGuard::Set({12, 9}, {1});
        m_graph.SetHost(&m_host);
    }
    void Load(const std::vector<Bar>& bars, const Rect& r = Rect(0, 0, 1000, 600)) {
        ASSERT_EQ(m_graph.SetStock(m_world.WriteDays("600001", bars)), 1);
        ASSERT_EQ(m_graph.LoadData(1), 1);
        m_graph.Layout(r);
    }
    std::vector<const RecordingCanvas::Op*> OpsWith(const RecordingCanvas& c, RecordingCanvas::Kind kind, Color color) {
        std::vector<const RecordingCanvas::Op*> out;
        for (const auto* op : c.OfKind(kind))
            if (op->color == color) out.push_back(op);
        return out;
    }

    ProfileGuard m_guard;
    ChartWorld m_world;
    RecordingHost m_host;
    CStockGraph m_graph;
    ChartPalette m_palette = ChartPalette::FromProfile();
};

}  // namespace

TEST_F(Chart, LoadsKeepsTheSameStockAndResetsTheRangeWhenTheBarCountChanges) {
    Load(chart_test::Walk(300));
    EXPECT_EQ(m_graph.GetSeries().GetSize(), 300);
    m_graph.SetVisibleRange(200, 299, 250);
    // The same stock again keeps the range; a reload from memory keeps the series.
    EXPECT_EQ(m_graph.SetStock(m_world.WriteDays("600001", chart_test::Walk(301))), 1);
    EXPECT_EQ(m_graph.LoadData(0), 1);
    EXPECT_EQ(m_graph.GetSeries().GetSize(), 300);
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, 250);
    // Read again: one bar more, and the range starts over at the end.
    EXPECT_EQ(m_graph.LoadData(1), 1);
    EXPECT_EQ(m_graph.GetSeries().GetSize(), 301);
    EXPECT_EQ(m_graph.GetVisibleRange().first, -1);
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, -1);
    // The adjusted copy holds the same bars (no ex-rights records here).
    EXPECT_EQ(m_graph.GetAdjustedStock().GetKDataDay().GetSize(), 301);
    CStockGraph empty;
    EXPECT_EQ(empty.LoadData(1), 0);
    EXPECT_EQ(empty.SetStockCode(""), 0);
    EXPECT_EQ(empty.SetStockCode("999999_1"), 0);
}

// The quote comes from the stored minute file (the code list has none): a reload from memory,
// as a minute download or a resize asks for, keeps it.
TEST_F(Chart, TheMinuteFilesQuoteOutlivesAReloadFromMemory) {
    CStockInfo info = m_world.WriteDays("600001", chart_test::Walk(300));
    store_test::WriteBytes(JoinStorePath(m_world.Folder(), "hqdata\\sh\\min\\600001_1.min"),
                           store_test::MinuteFile(CTimeStamp(2020, 10, 29, 10, 30, 0).GetTime(), 20.0f));
    // The code list's entry, as the program has it, with no figures of the day.
    GetStockContainer().Clear();
    GetStockContainer().Add(info);
    GetStockContainer().RebuildCodeMap();
    struct Cleared {
        ~Cleared() { GetStockContainer().Clear(); }
    } cleared;
    ASSERT_EQ(m_graph.SetStock(info), 1);
    for (int reload : {1, 0}) {
        SCOPED_TRACE(reload);
        ASSERT_EQ(m_graph.LoadData(reload), 1);
        const CStockInfo& shown = m_graph.GetStock().GetStockInfo();
        EXPECT_FLOAT_EQ(shown.m_fClose, 22.4f);
        EXPECT_FLOAT_EQ(shown.m_fLastClose, 19.0f);
        EXPECT_FLOAT_EQ(shown.m_fBuyPrice[0], 19.99f);
    }
}

TEST_F(Chart, CandlesTakeTheSchemesColoursAndEveryPaneStaysInItsRectangle) {
    std::vector<Bar> bars = chart_test::Walk(400);
    bars[398] = {20, 21, 19.5f, 20.8f, 5000};  // rising
    bars[399] = {20.8f, 21, 19, 19.2f, 6000};  // falling
    Load(bars);
    RecordingCanvas c(Rect(0, 0, 1000, 600));
    m_graph.Draw(c);
    const KLineLayout& l = m_graph.GetLayout();
    ASSERT_EQ(l.subPanes.size(), 2u);
    ASSERT_EQ(m_graph.GetVisibleRange().last, 399);
    BarSlot up, down;
    ASSERT_TRUE(m_graph.GetSlotRect(398, &up));
    ASSERT_TRUE(m_graph.GetSlotRect(399, &down));
    auto bodyAt = [&](RecordingCanvas::Kind kind, Color color, const BarSlot& s) {
        for (const auto* op : OpsWith(c, kind, color))
            if (op->rect.left == s.bodyLeft && op->rect.right == s.bodyRight && op->clip.Contains(op->rect) &&
                l.pricePane.Contains(op->rect))
                return true;
        return false;
    };
    EXPECT_TRUE(bodyAt(RecordingCanvas::kFrame, m_palette[kColorRise], up));     // hollow, rising colour
    EXPECT_TRUE(bodyAt(RecordingCanvas::kFill, m_palette[kColorFallBar], down));  // filled, falling colour
    // Every operation is clipped to a pane (with its scale strip), the date axis, the info box
    // or the chart area (or a cell inside one): nothing of a pane reaches its neighbours.
    for (const auto& op : c.Ops()) {
        const Rect& clip = op.clip;
        bool known = Rect(0, l.pricePane.top, l.pricePane.right, l.pricePane.bottom).Contains(clip) ||
                     l.chartArea.Contains(clip);
        for (const Rect& p : l.subPanes) known = known || Rect(0, p.top, p.right, p.bottom).Contains(clip);
        known = known || clip.top >= 600 - 18;  // the date axis band
        EXPECT_TRUE(known) << "op " << op.kind << " clip " << clip.left << "," << clip.top << "," << clip.right << ","
                           << clip.bottom;
    }
    // The volume pane's bars: hollow rising, filled falling.
    const Rect& vol = l.subPanes[0];
    bool hollow = false, filled = false;
    for (const auto* op : OpsWith(c, RecordingCanvas::kFrame, m_palette[kColorRise]))
        hollow = hollow || (op->rect.left == up.bodyLeft && op->rect.bottom == vol.bottom - 1);
    for (const auto* op : OpsWith(c, RecordingCanvas::kFill, m_palette[kColorFallBar]))
        filled = filled || (op->rect.left == down.bodyLeft && op->rect.bottom == vol.bottom - 1);
    EXPECT_TRUE(hollow);
    EXPECT_TRUE(filled);
}

TEST_F(Chart, MacdSticksAndLinesStayInTheirPane) {
    // A price that jumps tenfold at the end: sticks far longer than the bars before.
    std::vector<Bar> bars = chart_test::Walk(300);
    for (int i = 290; i < 300; ++i) bars[i] = {200, 205, 195, 200, 9000};
    Load(bars);
    m_graph.Draw(*std::make_unique<RecordingCanvas>());  // a first paint sets the visible range
    const Rect pane(72, 500, 799, 540);  // a low pane: 23 pixels under its title strip
    RecordingCanvas c(Rect(0, 0, 1000, 600));
    m_graph.DrawTechPane(c, 9, pane, 0);
    m_graph.DrawTechPane(c, 9, pane, 1);
    const Rect paneWithScale(0, pane.top, pane.right, pane.bottom);
    auto sticks = c.OfKind(RecordingCanvas::kLine);
    ASSERT_GT(sticks.size(), 100u);
    for (const auto& op : c.Ops()) EXPECT_TRUE(paneWithScale.Contains(op.clip)) << op.kind;
    EXPECT_TRUE(c.AllDrawnInside(paneWithScale));
    // Both lines are drawn, and each point lies inside the pane below its title strip.
    auto lines = c.OfKind(RecordingCanvas::kPolyline);
    ASSERT_GE(lines.size(), 2u);
    for (const auto* op : lines)
        for (const Point& p : op->points) EXPECT_TRUE(p.y >= pane.top + 17 && p.y <= pane.bottom) << p.y;
}

TEST_F(Chart, AValueThatIsNotANumberDrawsNoSegment) {
    std::vector<Bar> bars = chart_test::Walk(200);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    bars[150] = {nan, nan, nan, nan, 5000};
    Load(bars);
    RecordingCanvas c(Rect(0, 0, 1000, 600));
    m_graph.Draw(c);
    BarSlot gap;
    ASSERT_TRUE(m_graph.GetSlotRect(150, &gap));
    // The moving averages that include bar 150 have no point there (so no segment to or from
    // it), and nothing is drawn at a clamped far-off coordinate.
    const Rect& pp = m_graph.GetLayout().pricePane;
    int maLines = 0;
    for (const auto* op : c.OfKind(RecordingCanvas::kPolyline)) {
        for (const Point& p : op->points) EXPECT_LT(std::abs(p.y), 10000);
        if (!pp.Contains(op->rect)) continue;
        ++maLines;
        for (const Point& p : op->points) EXPECT_NE(p.x, gap.centre);
    }
    EXPECT_GE(maLines, 3);  // the three averages up to the gap
    // No candle for the bar either.
    for (const auto* op : c.OfKind(RecordingCanvas::kFrame))
        EXPECT_FALSE(op->rect.left == gap.bodyLeft && m_graph.GetLayout().pricePane.Contains(op->rect) &&
                     op->rect.Width() == gap.bodyRight - gap.bodyLeft);
}

TEST_F(Chart, LegendsThatDoNotFitAreLeftOut) {
    Load(chart_test::Walk(300), Rect(0, 0, 700, 600));
    RecordingCanvas c(Rect(0, 0, 700, 600));
    m_graph.Draw(c);
    // The price pane ends at 499: the MA legends start 210 pixels in and stop at the first that
    // does not fit (5 and 10 fit, 20 does not).
    EXPECT_EQ(c.WithText("5MA ").size(), 1u);
    EXPECT_EQ(c.WithText("10MA ").size(), 1u);
    EXPECT_EQ(c.WithText("20MA ").size(), 0u);
    // A MACD pane shows its legends from 300 pixels wide on; at 290 only its title.
    for (int width : {290, 300}) {
        RecordingCanvas m;
        const Rect pane(72, 400, 72 + width, 500);
        m_graph.DrawTechPane(m, 9, pane, 1);
        EXPECT_EQ(m.WithText("MACD").size(), 1u) << width;
        EXPECT_EQ(m.WithText("EMA(12) EMA(26) DIF").size(), width >= 300 ? 1u : 0u) << width;
        EXPECT_EQ(m.WithText("DEA(9)").size(), width >= 300 ? 1u : 0u) << width;
    }
}

TEST_F(Chart, ThePriceRangeTakesTheUsersOverlayParameters) {
    // A steady rise: a long average lies far below the last bars.
    std::vector<Bar> bars;
    for (int i = 0; i < 300; ++i) {
        float p = 10 + i * 0.1f;
        bars.push_back({p, p + 0.05f, p - 0.05f, p + 0.02f, 1000});
    }
    Load(bars);
    double lo, hi;
    int loBar, hiBar;
    ASSERT_TRUE(m_graph.GetPriceRange(280, 299, &lo, &hi, &loBar, &hiBar));
    EXPECT_EQ(loBar, 280);
    EXPECT_EQ(hiBar, 299);
    GetProfile().GetTechSet().m_MA.m_days.RemoveAll();
    GetProfile().GetTechSet().m_MA.m_days.Add(120);
    double lo120, hi120;
    ASSERT_TRUE(m_graph.GetPriceRange(280, 299, &lo120, &hi120, nullptr, nullptr));
    double ma120 = 0;
    for (int i = 161; i <= 280; ++i) ma120 += bars[size_t(i)].close;
    ma120 /= 120;
    EXPECT_LE(lo120, ma120);
    EXPECT_LT(lo120, lo - 4);
}

TEST_F(Chart, KeysStepPageAndCycleIndicators) {
    Load(chart_test::Walk(500));
    RecordingCanvas c;
    m_graph.Draw(c);
    const VisibleRange r0 = m_graph.GetVisibleRange();
    ASSERT_EQ(r0.last, 499);
    // The ladder's ends change nothing and ask for no paint.
    m_graph.SetBarStep(15);
    m_host.invalidations = 0;
    m_graph.StepUp();
    EXPECT_EQ(m_host.invalidations, 0);
    m_graph.SetBarStep(1);
    m_graph.StepDown();
    EXPECT_EQ(m_host.invalidations, 0);
    m_graph.StepUp();
    EXPECT_EQ(m_graph.GetBarStep(), 2);
    EXPECT_EQ(m_host.invalidations, 1);
    m_graph.SetBarStep(6);
    m_graph.Draw(c);

    m_graph.MoveCursorRight();
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, m_graph.GetVisibleRange().first);
    m_graph.PageRight();
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, r0.first + (r0.last - r0.first - 5));
    m_graph.NextIndicator(true);  // Shift+End with a cursor: the last visible bar
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, 499);
    m_graph.MoveCursorRight();
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, 499);

    // End without Shift changes the last sub-pane's indicator: MACD (9) becomes PSY (10 is MIKE).
    m_graph.NextIndicator(false);
    CSPDWordArray shown = GetProfile().GetShownIndicators();
    ASSERT_EQ(shown.GetSize(), 2);
    EXPECT_EQ(shown[1], 10u);
    m_graph.PrevIndicator(false);
    EXPECT_EQ(GetProfile().GetShownIndicators()[1], 9u);
    // With one sub-pane the first End adds a second one.
    ProfileGuard::Set({12}, {1});
    m_graph.NextIndicator(false);
    EXPECT_EQ(GetProfile().GetShownIndicators().GetSize(), 2);
    m_graph.Draw(c);
    EXPECT_EQ(m_graph.GetLayout().subPanes.size(), 2u);
}

TEST_F(Chart, MouseClicksZoomsAndDragsBoundaries) {
    Load(chart_test::Walk(500));
    RecordingCanvas c;
    m_graph.Draw(c);
    const KLineLayout& l = m_graph.GetLayout();
    BarSlot s;
    ASSERT_TRUE(m_graph.GetSlotRect(450, &s));
    const int y = l.barArea.top + 50;
    m_graph.OnLButtonDown(0, s.bodyLeft, y);
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, 450);
    EXPECT_TRUE(m_host.captured);  // a rubber band starts
    // The band follows the mouse with XOR outlines drawn and erased in pairs.
    BarSlot s2;
    ASSERT_TRUE(m_graph.GetSlotRect(460, &s2));
    m_host.transient.Clear();
    m_graph.OnMouseMove(0, s2.bodyLeft, y + 40);
    // The point drawn at the press is erased (one line), the band drawn (four sides).
    EXPECT_EQ(m_host.transient.OfKind(RecordingCanvas::kXorLine).size(), 5u);
    m_graph.OnLButtonUp(0, s2.bodyLeft, y + 40);
    EXPECT_FALSE(m_host.captured);
    EXPECT_GT(m_graph.GetBarStep(), 6);  // zoomed in
    EXPECT_GE(m_graph.GetVisibleRange().first, 0);
    EXPECT_LE(m_graph.GetVisibleRange().last, 499);
    m_graph.Draw(c);
    // A click between slots (past the last bar's body) clears the cursor.
    m_graph.OnLButtonDown(0, l.pricePane.right - 3, y);
    m_graph.OnLButtonUp(0, l.pricePane.right - 3, y);
    EXPECT_EQ(m_graph.GetVisibleRange().cursor, -1);

    // The boundary under the price pane: hover, press, drag, release.
    const int b0 = l.pricePane.bottom;
    m_graph.OnMouseMove(0, 300, b0 + 2);
    EXPECT_TRUE(m_graph.IsSplitterHover());
    EXPECT_EQ(m_host.cursor, IChartHost::kCursorSplitter);
    m_host.transient.Clear();
    m_graph.OnLButtonDown(0, 300, b0 + 2);
    EXPECT_TRUE(m_host.captured);
    m_graph.OnMouseMove(0, 300, b0 + 30);
    m_graph.OnLButtonUp(0, 300, b0 + 30);
    // Drawn at the press, moved (erase and draw), erased at the release: an even count.
    EXPECT_EQ(m_host.transient.OfKind(RecordingCanvas::kXorLine).size(), 4u);
    EXPECT_EQ(m_graph.GetLayout().pricePane.bottom, b0 + 30);
    EXPECT_EQ(m_graph.GetLayout().subPanes[0].top, b0 + 30);
    EXPECT_FALSE(m_host.captured);
}

TEST_F(Chart, APluginIdWithoutItsLibraryDrawsOnlyTheBackground) {
    Load(chart_test::Walk(100));
    RecordingCanvas c;
    m_graph.Draw(c);
    // No library at all natively; under Wine the test library may lie beside the program: an id
    // past its indicators then.
    const int id = kTechUserIdBase + TechUserGetCount() + 4;
    RecordingCanvas pane;
    m_graph.DrawTechPane(pane, id, Rect(72, 400, 799, 500), 0);
    m_graph.DrawTechPane(pane, id, Rect(72, 400, 799, 500), 1);
    EXPECT_TRUE(pane.OfKind(RecordingCanvas::kText).empty());
    EXPECT_TRUE(pane.OfKind(RecordingCanvas::kPolyline).empty());
    EXPECT_EQ(pane.Ops().size(), 3u);  // the pane, its scale strip and its frame
}

TEST_F(Chart, AnEmptySeriesShowsTheDownloadText) {
    Load({});
    RecordingCanvas c;
    m_graph.Draw(c);
    EXPECT_EQ(c.WithText("测试股票(600001)日线数据下载...").size(), 1u);
}

TEST(DateLabels, OnePerMonthAndNeverOverlapping) {
    ChartWorld world;
    CStockGraph g;
    ASSERT_EQ(g.SetStock(world.WriteDays("600002", chart_test::Walk(400))), 1);
    ASSERT_EQ(g.LoadData(1), 1);
    g.Layout(Rect(0, 0, 1000, 600));
    g.SetBarStep(1);
    RecordingCanvas c;
    g.Draw(c);
    auto width = [](const std::string&) { return 10; };
    std::vector<DateLabel> labels = ChooseDateLabels(g.GetSeries(), 5, g.GetVisibleRange(), 1, g.GetLayout(), width);
    ASSERT_GE(labels.size(), 12u);  // 400 calendar days: one label a month
    for (size_t i = 1; i < labels.size(); ++i) EXPECT_GT(labels[i].x, labels[i - 1].x + 10);
    EXPECT_EQ(labels[0].text, "02");  // February 2020
    // Wide labels: some months are left out rather than drawn over each other.
    auto wide = [](const std::string&) { return 45; };
    std::vector<DateLabel> fewer = ChooseDateLabels(g.GetSeries(), 5, g.GetVisibleRange(), 1, g.GetLayout(), wide);
    EXPECT_LT(fewer.size(), labels.size());
    for (size_t i = 1; i < fewer.size(); ++i) EXPECT_GT(fewer[i].x, fewer[i - 1].x + 45);
    // Week bars label the year.
    std::vector<DateLabel> years = ChooseDateLabels(g.GetSeries(), 6, g.GetVisibleRange(), 1, g.GetLayout(), width);
    ASSERT_EQ(years.size(), 1u);
    EXPECT_EQ(years[0].text, "21");
}

// The axis keeps where the months change between paints of the same chart; a new series of the
// same length, another range or another period draws what the labels of that state are.
TEST_F(Chart, TheDateAxisFollowsTheSeriesTheRangeAndThePeriod) {
    Load(chart_test::Walk(1200));
    m_graph.SetBarStep(1);
    using Labels = std::vector<std::pair<int, std::string>>;
    auto drawn = [&] {
        RecordingCanvas c;
        m_graph.Draw(c);
        Labels out;
        for (const auto* op : c.OfKind(RecordingCanvas::kText))
            if (op->points[0].y == 600 - kDateAxisHeight + 2 && op->color == m_palette[kColorAxis])
                out.emplace_back(op->points[0].x, op->text);
        return out;
    };
    auto expected = [&] {
        Labels out;
        auto width = [](const std::string& s) { return int(s.size()) * 6; };  // the recording canvas's rule
        for (const DateLabel& l : ChooseDateLabels(m_graph.GetSeries(), m_graph.GetKType(), m_graph.GetVisibleRange(),
                                                   m_graph.GetBarStep(), m_graph.GetLayout(), width))
            out.emplace_back(l.x, l.text);
        return out;
    };
    const Labels first = drawn();
    ASSERT_GE(first.size(), 9u);
    EXPECT_EQ(first, expected());
    EXPECT_EQ(drawn(), first);  // painted again

    struct Step {
        const char* name;
        std::function<void()> change;
    } steps[] = {
        {"the same length of bars from another day",
         [&] {
             m_world.SetFirstDay(2021, 6, 15);
             m_world.WriteDays("600001", chart_test::Walk(1200));
             ASSERT_EQ(m_graph.LoadData(1), 1);
         }},
        {"a wider step", [&] { m_graph.StepUp(); }},
        {"another range", [&] {
             const VisibleRange r = m_graph.GetVisibleRange();
             m_graph.SetVisibleRange(r.first - 40, r.last - 40, -1);
         }},
        {"week bars", [&] { m_graph.SetPeriod(ktypeWeek); }},
    };
    Labels before = first;
    for (const Step& step : steps) {
        step.change();
        const Labels now = drawn();
        EXPECT_NE(now, before) << step.name;
        EXPECT_EQ(now, expected()) << step.name;
        before = now;
    }
}

// The box goes to the host's window when the host has one, and into the picture otherwise; the
// host hears of it on every paint, shown only while the cursor names a bar.
TEST_F(Chart, TheInformationBoxGoesToTheHostsWindowWhenItHasOne) {
    Load(chart_test::Walk(300));
    auto labels = [](const RecordingCanvas& c) {
        int n = 0;
        for (const auto* op : c.OfKind(RecordingCanvas::kText)) n += op->text == "开盘" || op->text == "收盘";
        return n;
    };
    struct Case {
        bool ownWindow;
        int cursor;
        bool shown;
        int labelsDrawn;
    } cases[] = {{false, 250, true, 2}, {false, -1, false, 0}, {true, 250, true, 0}, {true, -1, false, 0}};
    for (const Case& k : cases) {
        m_host.ownInfoWindow = k.ownWindow;
        m_host.infoRequests.clear();
        m_graph.SetCursorIndex(k.cursor);
        RecordingCanvas c(Rect(0, 0, 1000, 600));
        m_graph.Draw(c);
        ASSERT_EQ(m_host.infoRequests.size(), 1u) << k.ownWindow << " " << k.cursor;
        EXPECT_EQ(m_host.infoRequests[0].first, m_graph.GetLayout().infoBox);
        EXPECT_EQ(m_host.infoRequests[0].second, k.shown);
        EXPECT_EQ(labels(c), k.labelsDrawn) << k.ownWindow << " " << k.cursor;
    }
}

TEST(InfoBox, FiguresAndColoursOfTheCursorBar) {
    CKData k;
    KDATA a = {}, b = {};
    a.date = 20240102;
    a.open = 10, a.high = 11, a.low = 9, a.close = 10.5f, a.volume = 1000, a.amount = 1050000;
    b.date = 20240103;
    b.open = 10.5f, b.high = 12, b.low = 10.2f, b.close = 10.4f, b.volume = 0.5f, b.amount = 5;
    k.Add(a);
    k.Add(b);
    CStockInfo stock;
    stock.SetStockCode(kMarketShangHai, "600000_1");
    std::vector<InfoBoxLine> lines = InfoBoxLines(k, 1, 5, stock);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0].value, "24-01-03");
    EXPECT_EQ(lines[1].valueRole, kColorScale);  // open equals the previous close
    EXPECT_EQ(lines[2].valueRole, kColorRise);
    EXPECT_EQ(lines[3].valueRole, kColorFall);
    EXPECT_EQ(lines[7].value, "0.00");  // a volume below 1 has no average price
    EXPECT_EQ(InfoBoxLines(k, 0, 5, stock)[4].valueRole, kColorRise);  // the first bar against its open
    CStockInfo index;
    index.SetStockCode(kMarketShangHai, "1A0001_1");
    index.SetType(kindShIndex);
    EXPECT_EQ(InfoBoxLines(k, 0, 5, index)[7].value, "_");
    EXPECT_TRUE(InfoBoxLines(k, 2, 5, stock).empty());
}

TEST_F(Chart, EveryPaneAndOverlayDrawsInsideItsRectangle) {
    Load(chart_test::Walk(400));
    RecordingCanvas first;
    m_graph.Draw(first);
    const Rect pane(72, 300, 799, 420);
    const Rect withScale(0, pane.top, pane.right, pane.bottom);
    for (int id = 9; id <= 58; ++id) {
        RecordingCanvas c(Rect(0, 0, 1000, 600));
        m_graph.DrawTechPane(c, id, pane, 0);
        m_graph.DrawTechPane(c, id, pane, 1);
        EXPECT_GE(c.Ops().size(), 3u) << id;  // at least the background
        EXPECT_TRUE(c.AllDrawnInside(withScale)) << id;
        for (const auto& op : c.Ops()) EXPECT_TRUE(withScale.Contains(op.clip)) << id;
    }
    // The panes of the computed indicators have lines.
    for (int id : {9, 11, 12}) {
        RecordingCanvas c;
        m_graph.DrawTechPane(c, id, pane, 0);
        EXPECT_FALSE(c.OfKind(RecordingCanvas::kPolyline).empty()) << id;
    }
    // MIKE 150 by 60 pixels: 18-pixel rows and 35-pixel columns, from one cell in.
    RecordingCanvas mike;
    m_graph.DrawTechPane(mike, 10, Rect(100, 0, 250, 60), 1);
    auto cells = mike.OfKind(RecordingCanvas::kFrame);
    ASSERT_FALSE(cells.empty());
    EXPECT_EQ(cells[0]->rect, Rect(135, 18, 171, 37));
    EXPECT_EQ(mike.WithText("压力").size(), 1u);

    // Each overlay alone, then all of them: the price pane keeps everything.
    const KLineLayout& l = m_graph.GetLayout();
    const Rect priceClip(0, l.pricePane.top, l.pricePane.right, l.pricePane.bottom);
    for (int id = 1; id <= 9; ++id) {
        if (id <= 8) ProfileGuard::Set({12, 9}, {id});
        else ProfileGuard::Set({12, 9}, {3, 1, 2, 4, 5, 6, 7, 8});
        RecordingCanvas c(Rect(0, 0, 1000, 600));
        m_graph.Draw(c);
        for (const auto& op : c.Ops()) {
            if (op.clip.top == l.pricePane.top && op.clip.bottom == l.pricePane.bottom) {
                EXPECT_EQ(op.clip, priceClip) << id;
            }
        }
        EXPECT_TRUE(c.AllDrawnInside(Rect(0, 0, 1000, 600))) << id;
    }
    // With several overlays only the first one's title and legends appear: BOLL's, not MA's.
    RecordingCanvas c;
    m_graph.Draw(c);
    EXPECT_EQ(c.WithText("UP ").size(), 1u);
    EXPECT_TRUE(c.WithText("5MA ").empty());
}

TEST_F(Chart, BarStylesAndTheBuyAndSellMarks) {
    std::vector<Bar> bars = chart_test::Walk(120);
    Load(bars);
    // A buy at bar 100 and a sell at bar 110, keyed by the bars' times.
    const int32_t t0 = CTimeStamp(2020, 1, 2, 15, 0, 0).GetTime();
    std::string sgn;
    for (std::array<int32_t, 2> rec : {std::array<int32_t, 2>{t0 + 100 * 86400, 1}, std::array<int32_t, 2>{t0 + 110 * 86400, 2}})
        sgn.append(reinterpret_cast<const char*>(rec.data()), 8);
    std::ofstream(JoinStorePath(m_world.Folder(), "hqdata\\sh\\signal\\600001_1.sgn"), std::ios::binary) << sgn;
    ASSERT_EQ(m_graph.LoadData(1), 1);
    struct Case { int mode; size_t buys, sells; } cases[] = {{0, 0, 0}, {2, 1, 1}};
    for (const Case& k : cases) {
        SetSignalDownloadMode(k.mode);
        RecordingCanvas c;
        m_graph.Draw(c);
        EXPECT_EQ(c.WithText("买").size(), k.buys) << k.mode;
        EXPECT_EQ(c.WithText("卖").size(), k.sells) << k.mode;
    }
    SetSignalDownloadMode(0);
    // Candles frame or fill their bodies; OHLC bars are lines only; tower bars have no wicks.
    size_t bodies[4] = {0, 0, 0, 0}, lines[4] = {0, 0, 0, 0};
    const Rect candles = CandleRect(m_graph.GetLayout().pricePane);
    for (int style = 1; style <= 3; ++style) {
        m_graph.SetBarStyle(style);
        RecordingCanvas c;
        m_graph.Draw(c);
        for (const auto& op : c.Ops()) {
            if (!candles.Contains(op.rect) || op.clip.top != m_graph.GetLayout().pricePane.top) continue;
            if (op.kind == RecordingCanvas::kFrame || op.kind == RecordingCanvas::kFill) ++bodies[style];
            if (op.kind == RecordingCanvas::kLine) ++lines[style];
        }
    }
    EXPECT_GE(bodies[1], 100u);
    EXPECT_EQ(bodies[2], 0u);
    EXPECT_GE(lines[2], 200u);  // a vertical and a tick per bar
    EXPECT_GE(bodies[3], 100u);
    EXPECT_LT(lines[3], lines[1]);
}

// Every built-in sub-pane indicator computes over a long series, so every pane draws its lines or
// bars, not only its background, frame and grid.
TEST_F(Chart, EverySubPaneIndicatorDrawsItsLinesOrBars) {
    Load(chart_test::Walk(1500, 11));
    RecordingCanvas first;
    m_graph.Draw(first);
    const Rect pane(72, 300, 799, 460);
    const Color plain[] = {m_palette[kColorBackground], m_palette[kColorFrame]};
    for (int id = 9; id <= 58; ++id) {
        RecordingCanvas c(Rect(0, 0, 1000, 600));
        m_graph.DrawTechPane(c, id, pane, 0);
        if (id == 10) {
            // MIKE's pane is its table of levels, drawn in the title pass: a figure in every cell.
            RecordingCanvas table;
            m_graph.DrawTechPane(table, id, pane, 1);
            int figures = 0;
            for (const auto* op : table.OfKind(RecordingCanvas::kTextInRect)) figures += op->text.find('.') != std::string::npos;
            EXPECT_GE(figures, 6) << id;
            continue;
        }
        int content = 0;
        for (const auto& op : c.Ops()) {
            if (op.kind == RecordingCanvas::kText || op.kind == RecordingCanvas::kTextInRect) continue;
            if (op.kind == RecordingCanvas::kPolyline) {
                content += op.points.size() >= 2;
                continue;
            }
            // Fills, frames and lines that are not the pane's background, frame or dotted grid.
            if (op.style != kPenSolid || std::find(std::begin(plain), std::end(plain), op.color) != std::end(plain))
                continue;
            content += op.rect.top >= pane.top + kTitleHeight && pane.Contains(op.rect);
        }
        EXPECT_GT(content, 0) << "indicator " << id << " (" << GetTechnicalShortName(id) << ") drew no line or bar";
    }
}

// The chip distribution over the price pane: width-3 bars in the cost colour from the pane's right
// edge, all inside the pane below its title strip, none for prices the scale does not show; a
// series without volume has no distribution and draws no bar.
TEST_F(Chart, TheCostOverlayDrawsItsBarsInsideThePricePane) {
    ProfileGuard::Set({12}, {7});
    // A long walk: most of its history lies outside the prices the last screen shows.
    Load(chart_test::Walk(1200, 5));
    RecordingCanvas c(Rect(0, 0, 1000, 600));
    m_graph.Draw(c);
    const Rect pp = m_graph.GetLayout().pricePane;
    const Rect inside(pp.left, pp.top + kTitleHeight, pp.right, pp.bottom - 18);
    std::vector<const RecordingCanvas::Op*> bars;
    for (const auto* op : c.OfKind(RecordingCanvas::kLine))
        if (op->color == m_palette[kColorCost] && op->width == 3) bars.push_back(op);
    ASSERT_GT(bars.size(), 10u);
    int longest = 0;
    for (const auto* op : bars) {
        ASSERT_EQ(op->points.size(), 2u);
        EXPECT_EQ(op->points[0].y, op->points[1].y);
        EXPECT_EQ(op->points[1].x, pp.right - 1);  // from the right edge
        EXPECT_GT(op->points[0].y, inside.top + 1);
        EXPECT_LT(op->points[0].y, inside.bottom - 2);
        EXPECT_GE(op->points[0].x, pp.left + 1);
        EXPECT_TRUE(pp.Contains(op->clip)) << op->clip.left << "," << op->clip.top;
        longest = std::max(longest, op->points[1].x - op->points[0].x);
    }
    // The largest level reaches a third of the pane's width (when it lies on screen).
    EXPECT_LE(longest, pp.Width() / 3 + 1);
    EXPECT_GE(longest, pp.Width() / 12);
    for (const auto* op : bars) EXPECT_TRUE(inside.Contains(op->rect.Intersect(op->clip)));

    std::vector<Bar> still = chart_test::Walk(300, 5);
    for (Bar& b : still) b.volume = 0;
    ASSERT_EQ(m_graph.SetStock(m_world.WriteDays("600009", still)), 1);
    ASSERT_EQ(m_graph.LoadData(1), 1);
    RecordingCanvas none(Rect(0, 0, 1000, 600));
    m_graph.Draw(none);
    ASSERT_FALSE(none.OfKind(RecordingCanvas::kFrame).empty());  // the candles are there
    for (const auto* op : none.OfKind(RecordingCanvas::kLine)) EXPECT_FALSE(op->color == m_palette[kColorCost] && op->width == 3);
}

// Zoomed out to 1 pixel a bar, the candles and columns go to the canvas in a batch per colour,
// not a call per bar, and the batches hold what the single calls drew: each bar in its rising or
// falling colour, a bar of zero height as a one-pixel body, no bar where the prices are not
// numbers; the moving averages still break at that bar.
TEST_F(Chart, ZoomedOutBarsGoInABatchPerColour) {
    std::vector<Bar> bars = chart_test::Walk(1200);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const int gap = 1000, flat = 1100;
    bars[gap] = {nan, nan, nan, nan, 5000};
    bars[flat] = {20, 20, 20, 20, 5000};
    Load(bars, Rect(0, 0, 1285, 700));
    m_graph.SetBarStep(1);
    RecordingCanvas c(Rect(0, 0, 1285, 700));
    c.KeepBatches(true);
    m_graph.Draw(c);
    const KLineLayout& l = m_graph.GetLayout();
    const VisibleRange& r = m_graph.GetVisibleRange();
    ASSERT_EQ(r.last - r.first + 1, 1000);
    const Rect candles = CandleRect(l.pricePane);
    // The batches of each pane, by colour: the price pane's break only for the two price labels.
    auto inPane = [](const RecordingCanvas::Op& op, const Rect& pane) { return op.clip.top == pane.top; };
    std::map<Color, int> priceCalls, volumeCalls;
    std::vector<const RecordingCanvas::Op*> price;
    for (const auto* op : c.OfKind(RecordingCanvas::kShapes)) {
        if (inPane(*op, l.pricePane)) {
            ++priceCalls[op->color];
            price.push_back(op);
        }
        if (inPane(*op, l.subPanes[0])) ++volumeCalls[op->color];
    }
    for (Color col : {m_palette[kColorRise], m_palette[kColorFallBar]}) {
        EXPECT_GE(priceCalls[col], 1);
        EXPECT_LE(priceCalls[col], 3);
        EXPECT_EQ(volumeCalls[col], 1);
    }
    EXPECT_LT(c.Ops().size(), 200u);
    // Every bar's body lies in its colour's batch, once.
    auto bodiesAt = [&](int x, Color col, bool filled) {
        std::vector<Rect> out;
        for (const auto* op : price) {
            if (op->color != col) continue;
            for (const Rect& b : filled ? op->shapes.fills : op->shapes.frames)
                if (b.left == x && candles.Contains(b)) out.push_back(b);
        }
        return out;
    };
    for (int i = r.first; i <= r.last; ++i) {
        BarSlot s;
        ASSERT_TRUE(m_graph.GetSlotRect(i, &s));
        const Bar& b = bars[size_t(i)];
        const size_t rising = bodiesAt(s.bodyLeft, m_palette[kColorRise], false).size();
        const size_t falling = bodiesAt(s.bodyLeft, m_palette[kColorFallBar], true).size();
        if (i == gap) {
            EXPECT_EQ(rising + falling, 0u);
            continue;
        }
        EXPECT_EQ(rising, b.close >= b.open ? 1u : 0u) << i;
        EXPECT_EQ(falling, b.close >= b.open ? 0u : 1u) << i;
    }
    BarSlot f, g;
    ASSERT_TRUE(m_graph.GetSlotRect(flat, &f));
    ASSERT_TRUE(m_graph.GetSlotRect(gap, &g));
    const std::vector<Rect> flatBody = bodiesAt(f.bodyLeft, m_palette[kColorRise], false);
    ASSERT_EQ(flatBody.size(), 1u);
    EXPECT_EQ(flatBody[0].Height(), 1);
    EXPECT_EQ(flatBody[0].Width(), 1);
    // No wick crosses the gap's column; the averages have runs on both sides of it and no point in it.
    for (const auto* op : price) {
        for (size_t k = 0; k + 1 < op->shapes.lines.size(); k += 2) EXPECT_NE(op->shapes.lines[k].x, g.centre);
    }
    bool before = false, after = false;
    for (const auto* op : c.OfKind(RecordingCanvas::kPolyline)) {
        if (!inPane(*op, l.pricePane)) continue;
        for (const Point& p : op->points) EXPECT_NE(p.x, g.centre);
        before = before || (op->rect.right <= g.centre && op->rect.right > g.centre - 5);
        after = after || (op->rect.left > g.centre && op->rect.left < g.centre + 30);
    }
    EXPECT_TRUE(before);
    EXPECT_TRUE(after);
}
