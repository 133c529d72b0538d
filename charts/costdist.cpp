// The cost-distribution panels of the report column: the distribution at the cursor bar (kind 1)
// and the holdings bought before the last 5 to 60 bars (kind 2). Both line their bars up with
// the candles beside them by the charts' one price-to-pixel rule.
#include <algorithm>
#include <cmath>

#include "analysis/techs_cost.h"
#include "base/timestamp.h"
#include "charts/chartdraw.h"
#include "charts/reportcommon.h"
#include "charts/reportpainter.h"
#include "store/database.h"

using namespace charts;

namespace {

const Color kBelowCost = MakeColor(255, 128, 0);
const Color kAboveCost = MakeColor(160, 160, 255);

struct Distribution {
    bool ok = false;
    CSPDWordArray prices, volumes;  // prices in thousandths
    double minVolume = 0, maxVolume = 0, total = 0, remaining = 0;
};

// The distribution n bars before bar (n 0: as it stands at bar) over the period's series, in price
// buckets of (maximum - minimum) * 0.003.
Distribution Compute(CStock& stock, int period, int bar, int n, double maximum, double minimum) {
    Distribution d;
    CKData& series = stock.GetKData(period);
    const double step = (maximum - minimum) * 0.003;
    if (series.GetSize() == 0 || !(step > 0) || !std::isfinite(step)) return d;
    CCW cw;
    cw.m_doubles[CCW::kTurnoverFactor] = 1.5;
    cw.SetKData(&series);
    d.ok = cw.GetCostDistribution(bar, n, stock.GetStockInfo(), step, d.prices, d.volumes, &d.minVolume,
                                  &d.maxVolume, &d.total, &d.remaining);
    return d;
}

int BarOrLast(const CKData& series, int cursor) {
    return cursor >= 0 && cursor < series.GetSize() ? cursor : series.GetSize() - 1;
}

std::string BarDate(const CKData& series, int bar) {
    if (bar < 0 || bar >= series.GetSize()) return std::string();
    const std::string date = CTimeStamp(series[bar].time).Format("%Y-%m-%d");
    return AppendWeekdayName(series[bar].time, "%s", date.c_str());
}

}  // namespace

void CReportPainter::DrawCostDistribution(Canvas& c, CStock& stock, const Rect& column, int period, int cursor,
                                          int paneTop, int paneBottom, double maximum, double minimum) {
    if (column.IsEmpty()) return;
    FillAndFrame(c, column);
    DrawColumnCaption(c, stock.GetStockInfo(), column.left, column.top);
    CKData& series = stock.GetKData(period);
    const int bar = BarOrLast(series, cursor);
    Distribution d = Compute(stock, period, bar, 0, maximum, minimum);
    if (!d.ok) return;
    const double reference = bar >= 0 && bar < series.GetSize() ? double(series[bar].close) : 0;

    // Without any volume in the window there is nothing to scale the lines by; the figures stay.
    if (d.total >= kPriceEpsilon) {
        bool above = false;
        for (int k = 0; k < d.prices.GetSize(); ++k) {
            const double price = d.prices[k] * 0.001;
            above = above || price > reference;
            int y = 0;
            if (!ValueToY(price, minimum, maximum, paneBottom, paneBottom - paneTop, &y)) continue;
            if (!(column.top + 1 < y && y < column.bottom - 2)) continue;
            const double length = column.Width() * double(d.volumes[k]) * 40 / d.total;
            const int x = int(std::min(double(column.right - 1), column.left + length));
            if (x > column.left + 1) c.Line(column.left + 1, y, x, y, above ? kAboveCost : kBelowCost);
        }
    }

    const Font f(12);
    const Color text = RoleColor(25);
    const int left = column.left, bottom = column.bottom;
    const std::string date = BarDate(series, bar);
    if (!date.empty()) c.Text(left + 12, bottom - 100, date, text, f, kAlignLeft);
    double profit = 0;
    CCW::GetProfitRatio(&profit, d.prices, d.volumes, reference);
    profit = std::min(std::max(profit, 0.0), 1.0);
    c.Text(left + 2, bottom - 80, "获利比例：", text, f, kAlignLeft);
    c.FrameRect(Rect(left + 62, bottom - 80, left + 162, bottom - 68), kAboveCost);
    const int filled = int(100 * profit);
    if (filled > 0) c.FrameRect(Rect(left + 62, bottom - 80, left + 62 + filled, bottom - 68), kBelowCost);
    c.Text(left + 102, bottom - 80, Fmt("%.1f%%", profit * 100), text, f, kAlignLeft);
    double average = 0;
    if (CCW::GetAverageCost(&average, d.prices, d.volumes))
        c.Text(left + 2, bottom - 64, Fmt("平均成本： %.2f", average), text, f, kAlignLeft);
    const struct {
        double share;
        const char* form;
        int y;
    } bands[] = {{0.9, "90%%成本%.1f-%.1f集中%.0f%%", bottom - 48}, {0.7, "70%%成本%.1f-%.1f集中%.0f%%", bottom - 32}};
    for (const auto& b : bands) {
        double lo = 0, hi = 0, ratio = 0;
        if (CCW::GetConcentration(&lo, &hi, &ratio, d.prices, d.volumes, b.share))
            c.Text(left + 2, b.y, Fmt(b.form, lo, hi, ratio * 100), text, f, kAlignLeft);
    }
}

void CReportPainter::DrawTrendChart(Canvas& c, CStock& stock, const Rect& axis, const Rect& report, int period, int bar,
                                    int n, double factor, Color colour, const Rect& legend, double maximum,
                                    double minimum) {
    (void)factor;  // the turnover factor of the distribution: 1.5, as the cost indicator has it
    Distribution d = Compute(stock, period, bar, n, maximum, minimum);
    const bool usable = d.ok && d.minVolume >= 0 && d.maxVolume > kPriceEpsilon && d.total > kPriceEpsilon &&
                        maximum - minimum > kPriceEpsilon && minimum > kPriceEpsilon;
    if (usable) {
        // Each level's share of the whole holding, forty times: the bars of one column compare.
        const double k = 40.0 / d.total;
        std::vector<Point> points;
        int previous = 0;
        bool first = true;
        for (int i = 0; i < d.prices.GetSize(); ++i) {
            int y = 0;
            if (!ValueToY(d.prices[i] * 0.001, minimum, maximum, axis.bottom, axis.Height(), &y)) continue;
            if (!(report.top + 1 < y && y < report.bottom - 2)) continue;
            const int x = int(std::min(double(report.right - 1), report.left + k * d.volumes[i] * report.Width()));
            // Levels come upwards; the rows between two levels are filled so the profile is solid.
            const int from = first || y >= previous ? y : previous - 1;
            for (int row = from; row >= y; --row) c.Line(report.left + 2, row, x, row, colour);
            points.emplace_back(x, y);
            previous = y;
            first = false;
        }
        if (points.size() >= 2) c.Polyline(points, MakeColor(255, 255, 255));
    }
    c.FillRect(legend, colour);
    c.FrameRect(legend, colour);
    const double share = d.ok ? d.remaining : 0;
    c.Text(legend.left + 5, legend.top + 2, Fmt("%d日前成本%.1f%%", n, share * 100), MakeColor(255, 255, 255), Font(12),
           kAlignLeft);
}

void CReportPainter::DrawTrendReport(Canvas& c, const Rect& r, CStock& stock, int period, int cursor,
                                     const Rect& candles, double maximum, double minimum) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    DrawColumnCaption(c, stock.GetStockInfo(), r.left, r.top);
    CKData& series = stock.GetKData(period);
    const int bar = BarOrLast(series, cursor);
    const struct {
        int days;
        Color colour;
        int from;
    } rows[] = {{5, MakeColor(255, 0, 0), 105},
                {10, MakeColor(255, 0, 128), 89},
                {20, MakeColor(255, 128, 0), 73},
                {30, MakeColor(255, 128, 128), 57},
                {60, MakeColor(255, 255, 0), 41}};
    for (const auto& row : rows)
        DrawTrendChart(c, stock, candles, r, period, bar, row.days, 1.5, row.colour,
                       Rect(r.left + 30, r.bottom - row.from, r.left + 170, r.bottom - row.from + 16), maximum, minimum);
    const std::string date = BarDate(series, bar);
    if (!date.empty()) {
        c.FillRect(Rect(r.left + 30, r.bottom - 20, r.left + 30 + c.TextWidth(date, Font(12)), r.bottom - 8), RoleColor(15));
        c.Text(r.left + 30, r.bottom - 20, date, RoleColor(25), Font(12), kAlignLeft);
    }
}
