// The report painter: the quote block's figures and heights, the lists' colours and texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/stprofile.h"
#include "charts/chartdraw.h"
#include "charts/reportcommon.h"
#include "charts/reportkline.h"
#include "charts/reportpainter.h"
#include "intraday_data.h"

using namespace charts;
using namespace chart_test;

namespace {

Color C(int role) { return Color(GetProfile().GetColor(role)); }

void SetQuote(CStock& s, double last, double prev, double high, double low, double volume, double amount) {
    CStockInfo& i = s.GetStockInfo();
    i.m_fClose = float(last);
    i.m_fLastClose = float(prev);
    i.m_fHigh = float(high);
    i.m_fLow = float(low);
    i.m_fOpen = float(prev);
    i.m_fVolume = float(volume);
    i.m_fAmount = float(amount);
}

void AddDay(CKData& day, DWORD date, double volume) {
    KDATA b;
    std::memset(&b, 0, sizeof b);
    b.date = date;
    b.close = 10;
    b.volume = float(volume);
    day.Add(b);
}

const RecordingCanvas::Op* TextAt(const RecordingCanvas& rc, int x, int y) {
    for (const auto* op : rc.OfKind(RecordingCanvas::kText))
        if (op->points[0].x == x && op->points[0].y == y) return op;
    return nullptr;
}

}  // namespace

TEST(QuoteFigures, ChangePercentAmplitudeAverageAndLimits) {
    struct Case {
        double last, prev, high, low, volume, amount;
        double change, percent, amplitude, average;
        bool hasAverage;
    } cases[] = {
        {11, 10, 11.5, 9.5, 1000, 1050000, 1, 10, 20, 10.5, true},
        {9, 10, 10, 8.8, 500, 450000, -1, -10, 12, 9, true},
        {0, 10, 0, 0, 0, 0, 0, 0, 0, 0, false},          // no trade yet: no change, no average
        {10.5, 0, 10.8, 10.2, 10, 10500, 10.5, 0, 0, 10.5, true},  // no previous close: 0.00%, not inf
    };
    for (const Case& c : cases) {
        CStock s;
        SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", c.prev);
        SetQuote(s, c.last, c.prev, c.high, c.low, c.volume, c.amount);
        QuoteFigures q = ComputeQuoteFigures(s, At(16, 0), 5);
        EXPECT_NEAR(q.change, c.change, 1e-5) << c.last;
        EXPECT_NEAR(q.percent, c.percent, 1e-4) << c.last;
        EXPECT_NEAR(q.amplitude, c.amplitude, 1e-4) << c.last;
        EXPECT_TRUE(std::isfinite(q.amplitude));
        EXPECT_EQ(q.hasAverage, c.hasAverage);
        if (c.hasAverage) {
            EXPECT_NEAR(q.average, c.average, 1e-4);
        }
        EXPECT_NEAR(q.limitUp, c.prev * 1.1, 1e-5);
        EXPECT_NEAR(q.limitDown, c.prev * 0.9, 1e-5);
    }
}

TEST(QuoteFigures, VolumeRatioIsDividedByTheShareOfTheDayGone) {
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    s.GetStockInfo().m_dwDate = 20240304;
    CKData& day = s.GetKDataDay();
    for (int k = 0; k < 5; ++k) AddDay(day, 20240226 + k, 1000);
    AddDay(day, 20240304, 3000);
    struct Case {
        int32_t now;
        double ratio;
    } cases[] = {
        {At(10, 30), 3.0 * 14400 / CTimeStamp(At(10, 30)).GetTradeSecond()},
        {At(15, 30), 3.0 * 14400 / 14460},
        {At(9, 0), 3.0},                                   // before the open: the whole day
        {CTimeStamp(2024, 3, 5, 10, 30, 0).GetTime(), 3.0},  // another day
    };
    for (const Case& c : cases) {
        QuoteFigures q = ComputeQuoteFigures(s, c.now, 5);
        ASSERT_TRUE(q.hasVolumeRatio);
        EXPECT_NEAR(q.volumeRatio, c.ratio, 1e-9);
    }
    // Too short a history: no ratio, and the block shows "-".
    day.SetSize(3);
    EXPECT_FALSE(ComputeQuoteFigures(s, At(10, 30), 5).hasVolumeRatio);
    RecordingCanvas rc;
    CReportPainter p;
    p.DrawQuoteSummary(rc, s, 0, 40, 200);
    const auto* ratio = TextAt(rc, 199, 40 + 251);
    ASSERT_NE(ratio, nullptr);
    EXPECT_EQ(ratio->text, "-");
}

TEST(QuoteBlock, HeightsLevelsAndColours) {
    CReportPainter p;
    CStock stock, index;
    SetIdentity(stock, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    SetQuote(stock, 10, 10, 10.2, 9.9, 100, 100000);
    SetIdentity(index, kMarketShangHai, "1A0001_1", kindShIndex, "上证指数", 0);
    SetQuote(index, 3000, 0, 3010, 2990, 1e8, 1e10);
    CStockInfo& info = stock.GetStockInfo();
    for (int k = 0; k < 5; ++k) {
        info.m_fBuyPrice[k] = float(9.99 - 0.01 * k);
        info.m_fBuyVolume[k] = float(k == 2 ? 0 : 100);
        info.m_fSellPrice[k] = float(10.01 + 0.01 * k);
        info.m_fSellVolume[k] = 200;
    }
    RecordingCanvas rc;
    EXPECT_EQ(p.DrawQuoteSummary(rc, index, 0, 40, 200), 274);
    // The index's amplitude without a previous close: 0.00%, never inf or nan.
    const auto* amplitude = TextAt(rc, 195, 40 + 10 + 24 * 5);
    ASSERT_NE(amplitude, nullptr);
    EXPECT_EQ(amplitude->text, "0.00%");
    EXPECT_EQ(p.DrawQuoteSummaryWide(rc, index, 0, 40, 200), 274);
    rc.Clear();
    EXPECT_EQ(p.DrawQuoteSummary(rc, stock, 0, 40, 200), 305);
    // A last price equal to the previous close is neutral, not falling.
    const auto* last = TextAt(rc, 99, 40 + 187);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->text, "10.00");
    EXPECT_EQ(last->color, C(20));
    // 买③ has no volume: its label stands alone on its row.
    const int row = 40 + 104 + 16 * 2;
    EXPECT_NE(TextAt(rc, 2, row), nullptr);
    EXPECT_EQ(TextAt(rc, 99, row), nullptr);
    const auto* ask1 = TextAt(rc, 99, 40 + 85);
    ASSERT_NE(ask1, nullptr);
    EXPECT_EQ(ask1->text, "10.01");
    EXPECT_EQ(ask1->color, C(17));
    const auto* limitUp = TextAt(rc, 99, 40 + 289);
    ASSERT_NE(limitUp, nullptr);
    EXPECT_EQ(limitUp->text, "11.00");
    EXPECT_EQ(limitUp->color, C(17));
    // The caption sits above the block.
    EXPECT_FALSE(rc.WithText("SH.600000").empty());
    rc.Clear();
    EXPECT_EQ(p.DrawQuoteSummaryWide(rc, stock, 0, 40, 200), 400);
    EXPECT_FALSE(rc.WithText("卖⑧").empty());
}

TEST(QuoteBlock, EightLevelsReachBeyondTheFifthFromEarlierQuotes) {
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    ReportArray& quotes = s.GetReport();
    quotes.SetSize(2);
    for (int i = 0; i < 2; ++i) {
        std::memset(&quotes[i], 0, sizeof(REPORT));
        for (int k = 0; k < 5; ++k) {
            quotes[i].sellPrice[k] = float(10.01 + 0.01 * k + 0.03 * (1 - i));  // the earlier quote sat higher
            quotes[i].sellVolume[k] = float(10 + k + i);
            quotes[i].buyPrice[k] = float(9.99 - 0.01 * k);
            quotes[i].buyVolume[k] = 5;
        }
    }
    UpdateStockInfoByReport(&s.GetStockInfo(), &quotes[1]);
    BookSide asks, bids;
    BuildEightLevelBook(s, &asks, &bids);
    EXPECT_NEAR(asks.price[0], 10.01, 1e-5);
    EXPECT_NEAR(asks.price[4], 10.05, 1e-5);
    EXPECT_NEAR(asks.price[5], 10.06, 1e-5);
    EXPECT_NEAR(asks.price[7], 10.08, 1e-5);
    EXPECT_EQ(bids.price[5], 0);  // no bid below the fifth was ever seen
}

TEST(ReportLists, TradeVolumesArrowsAndRows) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    CArray20& ticks = s.GetFenbiS();
    ticks.SetSize(3);
    ticks[0] = Tick(At(9, 31), 10.0f, 499, 1);
    ticks[1] = Tick(At(9, 32), 10.1f, 500, 2);
    ticks[2] = Tick(At(9, 33), 10.1f, 12345, 0);
    RecordingCanvas rc;
    p.DrawTickList(rc, s.GetStockInfo(), ticks, 0, 10, Rect(0, 0, 200, 100));
    const int volumeX = 2 + int(0.6 * 200) + 2;
    struct Case {
        int row;
        const char* text;
        int role;
    } rows[] = {{0, "499", 31}, {1, "500", 30}, {2, "1.23万", 30}};
    for (const Case& c : rows) {
        const auto* op = TextAt(rc, volumeX, 24 + 16 * c.row);
        ASSERT_NE(op, nullptr) << c.row;
        EXPECT_EQ(op->text, c.text);
        EXPECT_EQ(op->color, C(c.role));
    }
    EXPECT_EQ(rc.WithText("买").size(), 1u);
    EXPECT_EQ(rc.WithText("卖").size(), 1u);

    // An index quote priced at the middle of its best bid and ask: "-" in the neutral colour.
    ReportArray list;
    list.SetSize(2);
    for (int i = 0; i < 2; ++i) {
        std::memset(&list[i], 0, sizeof(REPORT));
        std::strcpy(list[i].name, "指数");
        list[i].prevClose = 10;
        list[i].buyPrice[0] = 9.9f;
        list[i].sellPrice[0] = 10.1f;
        list[i].close = i == 0 ? 10.0f : 10.05f;
        list[i].volume = 100;
    }
    rc.Clear();
    int selected = 1;
    p.DrawIndexList(rc, list, &selected, 0, 10, Rect(0, 0, 200, 100));
    auto flat = rc.WithText("100-");
    ASSERT_EQ(flat.size(), 1u);
    EXPECT_EQ(flat[0]->color, C(20));
    EXPECT_EQ(rc.WithText("100↑").size(), 1u);
    bool underline = false;
    for (const auto* op : rc.OfKind(RecordingCanvas::kLine)) underline |= op->width == 2 && op->points[0].y == 39 + 16;
    EXPECT_TRUE(underline);

    // An empty list draws its frame and head only.
    rc.Clear();
    CArray20 none;
    p.DrawTickList(rc, s.GetStockInfo(), none, -1, 10, Rect(0, 0, 200, 100));
    EXPECT_EQ(rc.WithText(":").size(), 0u);
    EXPECT_EQ(rc.WithText("时间").size(), 1u);
}

TEST(ReportLists, ReportColumnWritesRowsAndFirstRowBack) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    MakeTicks(s, 23, 10);
    RecordingCanvas rc;
    // Room for 10 rows under the 305 px block.
    const Rect r(0, 30, 200, 30 + 305 + 1 + 24 + 160);
    int rows = -1, first = -1;
    p.DrawTicksReport(rc, r, s, &rows, &first);
    EXPECT_EQ(rows, 10);
    EXPECT_EQ(first, 13);
    int drawn = 0;
    for (const auto* op : rc.OfKind(RecordingCanvas::kText)) drawn += op->points[0].x == 2 && op->points[0].y >= 336 + 24;
    EXPECT_EQ(drawn, 10);
    // An empty rectangle draws nothing.
    rc.Clear();
    p.DrawTicksReport(rc, Rect(), s, &rows, &first);
    EXPECT_TRUE(rc.Ops().empty());
}

TEST(ReportLists, VolumeByPriceLinesUpWithTheChartsScale) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    SetMinutes(s, {At(9, 30), At(9, 31), At(9, 32)}, {10.0, 10.5, 10.0}, {100, 50, 100});
    RecordingCanvas rc;
    const Rect column(800, 26, 1000, 500), price(60, 19, 700, 319);
    p.DrawVolumeByPrice(rc, column, s, price, 11.0, 9.0);
    std::vector<const RecordingCanvas::Op*> bars;
    for (const auto* op : rc.OfKind(RecordingCanvas::kFill))
        if (op->color == C(17)) bars.push_back(op);
    ASSERT_EQ(bars.size(), 2u);
    // 10.00 is the middle of 9..11 on the chart: y = 19 + 150.
    EXPECT_EQ(bars[0]->rect.top, 169);
    EXPECT_EQ(bars[0]->rect.right - bars[0]->rect.left, column.Width() - 8);  // the largest volume
    EXPECT_EQ(bars[1]->rect.top, 19 + 75);
    // A flat scale draws the frame and caption only.
    rc.Clear();
    p.DrawVolumeByPrice(rc, column, s, price, 10.0, 10.0);
    for (const auto* op : rc.OfKind(RecordingCanvas::kFill)) EXPECT_NE(op->color, C(17));
}

namespace {

// Forty day bars about 10, each 1 wide, with the given volume.
void MakeDays(CStock& s, double volume) {
    CKData& day = s.GetKDataDay();
    day.SetSize(0);
    for (int k = 0; k < 40; ++k) {
        KDATA b;
        std::memset(&b, 0, sizeof b);
        b.date = DWORD(20240101 + k);
        b.time = At(15, 0) - (40 - k) * 86400;
        b.open = float(10 + 0.05 * (k % 5));
        b.close = float(10 + 0.05 * ((k + 2) % 5));
        b.high = b.open + 0.5f;
        b.low = b.open - 0.5f;
        b.volume = float(volume);
        b.amount = float(volume * 1000);
        day.Add(b);
    }
}

std::vector<const RecordingCanvas::Op*> LevelLines(const RecordingCanvas& rc, const Rect& column) {
    std::vector<const RecordingCanvas::Op*> out;
    for (const auto* op : rc.OfKind(RecordingCanvas::kLine))
        if (op->points[0].y == op->points[1].y && column.Contains(op->rect) && op->color != C(16)) out.push_back(op);
    return out;
}

}  // namespace

TEST(CostPanels, DistributionLinesUpWithTheCandlesAndSurvivesNoVolume) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    MakeDays(s, 50000);
    RecordingCanvas rc;
    const Rect column(800, 26, 1000, 600);
    // The candles span 9.5 to 10.7 over 19..319, as the K-line chart would draw them.
    const int top = 19, bottom = 319;
    p.DrawCostDistribution(rc, s, column, ktypeDay, -1, top, bottom, 10.7, 9.5);
    auto lines = LevelLines(rc, column);
    ASSERT_GT(lines.size(), 10u);
    int yHigh = 0, yLow = 0;
    ASSERT_TRUE(ValueToY(10.7, 9.5, 10.7, bottom, bottom - top, &yHigh));
    ASSERT_TRUE(ValueToY(9.5, 9.5, 10.7, bottom, bottom - top, &yLow));
    for (const auto* op : lines) {
        EXPECT_GE(op->points[0].y, yHigh);
        EXPECT_LE(op->points[0].y, yLow);
        EXPECT_LE(op->points[1].x, column.right - 1);
        EXPECT_EQ(op->points[0].x, column.left + 1);
    }
    EXPECT_EQ(rc.WithText("获利比例").size(), 1u);
    EXPECT_FALSE(rc.WithText(CTimeStamp(s.GetKDataDay()[39].time).Format("%Y-%m-%d")).empty());

    // A window without volume: no lines, the figures still stand.
    MakeDays(s, 0);
    rc.Clear();
    p.DrawCostDistribution(rc, s, column, ktypeDay, -1, top, bottom, 10.7, 9.5);
    EXPECT_TRUE(LevelLines(rc, column).empty());
    EXPECT_EQ(rc.WithText("获利比例").size(), 1u);
}

TEST(CostPanels, HoldingPeriodsScaleByTheWholeHolding) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    MakeDays(s, 50000);
    RecordingCanvas rc;
    const Rect report(800, 26, 1000, 600), candles(60, 19, 700, 319);
    p.DrawTrendReport(rc, report, s, ktypeDay, -1, candles, 10.7, 9.5);
    auto lines = LevelLines(rc, report);
    ASSERT_FALSE(lines.empty());
    // Scaled by the total, most levels stay well short of the column's edge.
    int reachingEdge = 0;
    for (const auto* op : lines) reachingEdge += op->points[1].x >= report.right - 1;
    EXPECT_LT(reachingEdge * 4, int(lines.size()));
    EXPECT_EQ(rc.WithText("日前成本").size(), 5u);
    // A flat price range: the five legend boxes only.
    rc.Clear();
    p.DrawTrendReport(rc, report, s, ktypeDay, -1, candles, 10.0, 10.0);
    EXPECT_TRUE(LevelLines(rc, report).empty());
    EXPECT_EQ(rc.WithText("日前成本").size(), 5u);
}

TEST(HistoryPanel, FiguresAtTheCursorBarOrAPlaceholder) {
    CReportPainter p;
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    MakeDays(s, 50000);
    RecordingCanvas rc;
    const Rect r(800, 26, 1000, 600);
    p.DrawHistoryInfo(rc, s, r, ktypeDay, 20);
    const auto* when = TextAt(rc, r.right - 2, r.top + 5);
    ASSERT_NE(when, nullptr);
    EXPECT_EQ(when->text, CTimeStamp(s.GetKDataDay()[20].time).Format("%Y-%m-%d"));
    const auto* ratio5 = TextAt(rc, r.right - 2, r.top + 230);
    ASSERT_NE(ratio5, nullptr);
    EXPECT_EQ(ratio5->text, "1.00");  // every day traded alike
    const auto* pe = TextAt(rc, r.right - 2, r.top + 480);
    ASSERT_NE(pe, nullptr);
    EXPECT_EQ(pe->text, "-   ");  // no earnings known
}

TEST(KLineReport, KindsReachThePainterOnTheCandlesAxis) {
    CStock s;
    SetIdentity(s, kMarketShangHai, "600000_1", kindShA, "浦发银行", 10);
    MakeDays(s, 50000);
    MakeTicks(s, 60, 10);
    CKLineReportPainter painter;
    ReportRequest q;
    q.stock = &s;
    q.rect = Rect(800, 26, 1000, 600);
    q.period = ktypeDay;
    q.candleRect = Rect(60, 36, 740, 300);  // the candles, not the whole price pane
    q.priceMax = 10.7;
    q.priceMin = 9.5;
    RecordingCanvas rc;
    q.kind = 1;
    painter.DrawReport(rc, q);
    int yHigh = 0, yLow = 0;
    ValueToY(10.7, 9.5, 10.7, 300, 300 - 36, &yHigh);
    ValueToY(9.5, 9.5, 10.7, 300, 300 - 36, &yLow);
    auto lines = LevelLines(rc, q.rect);
    ASSERT_FALSE(lines.empty());
    for (const auto* op : lines) {
        EXPECT_GE(op->points[0].y, yHigh);
        EXPECT_LE(op->points[0].y, yLow);
    }
    q.kind = 11;
    painter.DrawReport(rc, q);
    EXPECT_GT(painter.GetRows(), 1);
    EXPECT_EQ(painter.GetFirstRow(), 60 - painter.GetRows());
    rc.Clear();
    q.kind = 5;
    painter.DrawReport(rc, q);
    EXPECT_TRUE(rc.Ops().empty());
}

namespace {

// Whether two drawn text boxes (each cut to its clip) share a pixel.
bool Overlap(const Rect& a, const Rect& b) { return !a.Intersect(b).IsEmpty(); }

}  // namespace

// Figures far too long for their cells (a damaged quote: prices in the millions, volumes of
// 1e14) are cut to their cells: no figure covers a label or another figure, and none leaves the
// block's column, in every form of the block.
TEST(QuoteBlock, FiguresTooLongForTheirCellsAreCut) {
    CStock stock, index;
    SetIdentity(stock, kMarketShenZhen, "002766_0", kindSzA, "索菱股份", 7337288.0);
    SetIdentity(index, kMarketShangHai, "1A0001_1", kindShIndex, "上证指数", 1.0);
    for (CStock* s : {&stock, &index}) SetQuote(*s, 7337288.0, 0.5, 9.9e6, 0, 3.0e14, 9.0e14);
    CStockInfo& info = stock.GetStockInfo();
    for (float* level : {info.m_fBuyPrice, info.m_fSellPrice}) std::fill(level, level + 5, 7337288.0f);
    for (float* level : {info.m_fBuyVolume, info.m_fSellVolume}) std::fill(level, level + 5, 3.0e14f);
    CReportPainter p;
    const int left = 0, top = 40, width = 200;
    struct Form {
        const char* what;
        CStock* stock;
        bool wide;
    } forms[] = {{"stock", &stock, false}, {"stock wide", &stock, true}, {"index", &index, false}};
    for (const Form& form : forms) {
        RecordingCanvas rc;
        if (form.wide) p.DrawQuoteSummaryWide(rc, *form.stock, left, top, width);
        else p.DrawQuoteSummary(rc, *form.stock, left, top, width);
        std::vector<std::pair<Rect, std::string>> drawn;
        for (const auto* op : rc.OfKind(RecordingCanvas::kText)) {
            if (op->rect.top < top) continue;  // the caption above the block
            const Rect r = op->rect.Intersect(op->clip);
            if (r.IsEmpty()) continue;
            EXPECT_TRUE(Rect(left, top, left + width, top + 400).Contains(r)) << form.what << " " << op->text;
            drawn.emplace_back(r, op->text);
        }
        ASSERT_GT(drawn.size(), 20u) << form.what;
        for (size_t i = 0; i < drawn.size(); ++i)
            for (size_t j = i + 1; j < drawn.size(); ++j)
                EXPECT_FALSE(Overlap(drawn[i].first, drawn[j].first))
                    << form.what << ": \"" << drawn[i].second << "\" over \"" << drawn[j].second << "\"";
        // The figures are still drawn, ending where they always end.
        EXPECT_FALSE(rc.WithText("7337288").empty()) << form.what;
    }
}

// A share name too long for the caption stops before the code, cut at a whole character; a name
// that fits is drawn whole. Both the usual and the wider name offset.
TEST(QuoteBlock, LongNamesStopBeforeTheCode) {
    const char* names[] = {"浦发银行", "*ST长城电子科技股份", "A VERY LONG ENGLISH NAME", "中A国B银C行D工E商F", ""};
    for (int nameX : {30, 50}) {
        for (const char* name : names) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(nameX));
            CStock s;
            SetIdentity(s, kMarketShangHai, "600000_1", kindShA, name, 10);
            RecordingCanvas rc;
            DrawColumnCaption(rc, s.GetStockInfo(), 0, 40, nameX);
            const RecordingCanvas::Op* nameOp = TextAt(rc, nameX, 20);
            const RecordingCanvas::Op* codeOp = TextAt(rc, 100, 20);
            ASSERT_NE(codeOp, nullptr);
            ASSERT_NE(nameOp, nullptr);
            const std::string drawn = nameOp->text, full = name;
            EXPECT_EQ(full.compare(0, drawn.size(), drawn), 0) << "the head of the name";
            EXPECT_LT(nameX + rc.TextWidth(drawn, nameOp->font), 100) << "ends before the code";
            // No lead byte left without its second byte.
            for (size_t i = 0; i < drawn.size(); ++i) {
                const unsigned char b = static_cast<unsigned char>(drawn[i]);
                if (b >= 0x81 && b <= 0xFE) {
                    ASSERT_LT(++i, drawn.size()) << "half a character";
                }
            }
            if (rc.TextWidth(full, nameOp->font) < 100 - nameX - 4) {
                EXPECT_EQ(drawn, full);
            } else {
                EXPECT_LT(drawn.size(), full.size());
            }
        }
    }
}
