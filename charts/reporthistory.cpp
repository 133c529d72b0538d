// Kind 3: statistics of the stock at the K-line chart's cursor bar.
#include <cmath>

#include "base/timestamp.h"
#include "charts/reportcommon.h"
#include "charts/reportpainter.h"
#include "store/database.h"

using namespace charts;

namespace {

const char kNone[] = "-   ";

struct Row {
    int y;
    std::string label;
    bool ok;
    std::string value;
};

}  // namespace

void CReportPainter::DrawHistoryInfo(Canvas& c, CStock& stock, const Rect& r, int period, int cursor) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    const CStockInfo& info = stock.GetStockInfo();
    DrawColumnCaption(c, info, r.left, r.top);
    CKData& series = stock.GetKData(period);
    const int n = series.GetSize();
    const int bar = cursor >= 0 && cursor < n ? cursor : n - 1;
    const DWORD date = bar >= 0 ? series[bar].date : 0;
    std::vector<Row> rows;
    auto add = [&](int y, const std::string& label, bool ok, const std::string& value) {
        rows.push_back({y, label, ok, value});
    };
    if (bar >= 0)
        add(5, "时间", true,
            CTimeStamp(series[bar].time).Format(IsDayOrLonger(period) ? "%Y-%m-%d" : "%Y-%m-%d %H:%M"));
    else
        add(5, "时间", false, "");

    // Yield, deviation, beta and Sharpe over the profile's day count, day series against the index.
    CKData& day = stock.GetKDataDay();
    const int days = GetProfile().GetYieldAverageDays();
    const int dayEnd = bar >= 0 && IsDayOrLonger(period) && period == ktypeDay ? bar : day.GetSize() - 1;
    double average = 0, deviation = 0, beta = 0;
    const bool yield = CalcYieldAverage(day, &average, &deviation, days, dayEnd);
    CKData& index = GetIndexStock().GetKDataDay();
    double indexAverage = 0, indexDeviation = 0;
    const bool betaOk = yield && CalcYieldAverage(index, &indexAverage, &indexDeviation, days, -1) &&
                        CalcBeta(day, index, indexAverage, indexDeviation, &beta, days, dayEnd);
    add(30, "年收益率", yield, Fmt("%.2f%%", average * 100));
    add(55, "标准差", yield, Fmt("%.2f%%", deviation * 100));
    add(80, "β值", betaOk, Fmt("%.2f", beta));
    add(105, "夏普指数", yield && deviation > kPriceEpsilon, Fmt("%.2f", deviation > 0 ? average / deviation : 0));

    const int turnoverDays[] = {1, 5, 10, 20};
    for (int k = 0; k < 4; ++k) {
        double v = 0;
        const bool ok = date && info.GetRatioChangeHandFrom(&v, series, date, turnoverDays[k]);
        add(130 + 25 * k, Fmt("换手-%d%s-", turnoverDays[k], "日"), ok, Fmt("%.2f%%", v));
    }
    const int spans[] = {5, 10, 20};
    for (int k = 0; k < 3; ++k) {
        double v = 0;
        const bool ok = date && series.GetRatioVolume(&v, date, spans[k]);
        add(230 + 25 * k, Fmt("量比-%d%s-", spans[k], "日"), ok, Fmt("%.2f", v));
    }
    // Relative strength: the stock's change over n bars less the index's over the same bars.
    CKData& indexSeries = period == ktypeDay ? index : GetIndexStock().GetKData(period);
    for (int k = 0; k < 3; ++k) {
        double mine = 0, market = 0;
        const bool ok = date && series.GetRatio(&mine, date, spans[k]) && indexSeries.GetRatio(&market, date, spans[k]);
        add(305 + 25 * k, Fmt("强度-%d%s-", spans[k], "日"), ok, Fmt("%.2f%%", mine - market));
    }
    const double total = info.GetBase(baseTotalShares), tradable = info.GetBase(baseSharesA);
    add(380, "总股本-万", total > 0, Fmt("%.0f", total / 10000));
    add(405, "流通股本-万", tradable > 0, Fmt("%.0f", tradable / 10000));
    const double asset = info.GetBase(baseNetAssetPerShare), earnings = info.GetBase(baseEarningsPerShare);
    add(430, "每股净资产", std::fabs(asset) > kPriceEpsilon, Fmt("%.2f", asset));
    add(455, "每股收益", std::fabs(earnings) > kPriceEpsilon, Fmt("%.2f(%d)", earnings, info.m_nReportKind));
    double pe = 0;
    add(480, "市盈率", info.GetPE(&pe), Fmt("%.1f", pe));

    const Font f(12);
    for (int y : {126, 226, 301, 376}) HLine(c, r.left, r.right, r.top + y, RoleColor(16));
    for (const Row& row : rows) {
        if (r.top + row.y + 14 > r.bottom) break;
        c.Text(r.left + 2, r.top + row.y, row.label, RoleColor(20), f, kAlignLeft);
        c.Text(r.right - 2, r.top + row.y, row.ok ? row.value : std::string(kNone), RoleColor(row.ok ? 24 : 20), f,
               kAlignRight);
    }
}
