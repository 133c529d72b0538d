// The quote block (ordinary and wide), its figures, and the market-index list.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "base/timestamp.h"
#include "charts/reportcommon.h"
#include "charts/reportpainter.h"
#include "store/database.h"

using namespace charts;

namespace charts {

std::string Fmt(const char* format, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return std::string();
    return std::string(buf, size_t(std::min(n, int(sizeof buf) - 1)));
}

// The longest head of a GBK text, whole characters only, that fits in width.
std::string FitText(Canvas& c, const std::string& text, const Font& font, int width) {
    std::string fit = text;
    while (!fit.empty() && c.TextWidth(fit, font) > width) {
        // Step back one character: a trailing byte after a lead byte belongs to it.
        size_t last = 0;
        for (size_t i = 0; i < fit.size();) {
            last = i;
            const unsigned char b = static_cast<unsigned char>(fit[i]);
            i += (b >= 0x81 && b <= 0xFE && i + 1 < fit.size()) ? 2 : 1;
        }
        fit.resize(last);
    }
    return fit;
}

void DrawColumnCaption(Canvas& c, const CStockInfo& info, int left, int top, int nameX) {
    // A long name stops short of the code rather than running into it.
    const int room = 100 - nameX - 4;
    c.Text(left + nameX, top - 20, FitText(c, info.GetStockName(), TitleFont(), room), RoleColor(24), TitleFont(),
           kAlignLeft);
    c.Text(left + 100, top - 20, CodeCaption(info), RoleColor(25), TitleFont(), kAlignLeft);
}

}  // namespace charts

std::string CodeCaption(const CStockInfo& info) {
    const char* form = info.GetMarket() == kMarketShangHai ? "SH.%s" : info.GetMarket() == kMarketShenZhen ? "SZ.%s" : "CN.%s";
    return Fmt(form, info.GetPlainCode());
}

std::string FormatPrice(double price, int decimals) {
    if (decimals < 0 || decimals > 6) decimals = 2;
    return Fmt("%.*f", decimals, price);
}

TradeTick ReadTradeTick(const FENBI& record) {
    TradeTick t;
    float f[3];
    int32_t time, direction;
    std::memcpy(&time, &record.values[0], 4);
    std::memcpy(f, &record.values[1], 12);
    std::memcpy(&direction, &record.values[4], 4);
    t.time = time;
    t.price = f[0];
    t.amount = f[1];
    t.volume = f[2];
    t.direction = direction;
    return t;
}

QuoteFigures ComputeQuoteFigures(CStock& stock, int32_t now, int ratioDays) {
    const CStockInfo& info = stock.GetStockInfo();
    QuoteFigures q;
    q.last = info.m_fClose;
    q.prevClose = info.m_fLastClose;
    q.open = info.m_fOpen;
    q.high = info.m_fHigh;
    q.low = info.m_fLow;
    q.volume = info.m_fVolume;
    q.amount = info.m_fAmount;
    q.change = q.last > kPriceEpsilon ? q.last - q.prevClose : 0;
    q.percent = (q.last > kPriceEpsilon && q.prevClose > kPriceEpsilon) ? (q.last - q.prevClose) * 100 / q.prevClose : 0;
    // Without a previous close there is nothing to measure the range against.
    q.amplitude = q.prevClose > kPriceEpsilon ? (q.high - q.low) * 100 / q.prevClose : 0;
    if (q.volume > 0) {
        q.hasAverage = true;
        q.average = q.amount / q.volume / 100;
    }
    q.limitUp = q.prevClose * 1.1;
    q.limitDown = q.prevClose * 0.9;

    const int days = ratioDays > 0 ? ratioDays : 5;
    double ratio = 0;
    if (stock.GetKDataDay().GetRatioVolume(&ratio, info.m_dwDate, days) ||
        info.GetRatioVolume(&ratio, info.m_dwDate, days)) {
        CTimeStamp day;
        if (day.FromDate(info.m_dwDate)) ratio /= GetTradeDayFraction(day, CTimeStamp(now));
        q.hasVolumeRatio = std::isfinite(ratio);
        q.volumeRatio = ratio;
    }
    q.hasSellBuy = info.GetSellBuyRatio(&q.sellBuyRatio, &q.sellBuyDifference);
    const MinuteArray& m = stock.GetMinute();
    if (m.GetSize() > 0) {
        const int n = m.GetSize();
        q.hasLastMinuteVolume = true;
        q.lastMinuteVolume = n > 1 ? double(m[n - 1].volume) - m[n - 2].volume : m[0].volume;
        m.GetOuterInnerVolume(nullptr, &q.outer, &q.inner);
    }
    return q;
}

void BuildEightLevelBook(CStock& stock, BookSide* asks, BookSide* bids) {
    *asks = BookSide();
    *bids = BookSide();
    const CStockInfo& info = stock.GetStockInfo();
    if (info.IsIndex()) return;
    for (int k = 0; k < 5; ++k) {
        asks->price[k] = info.m_fSellPrice[k];
        asks->volume[k] = info.m_fSellVolume[k];
        bids->price[k] = info.m_fBuyPrice[k];
        bids->volume[k] = info.m_fBuyVolume[k];
    }
    // Beyond the fifth level: the nearest further prices the day's quotes showed, newest first.
    const ReportArray& quotes = stock.GetReport();
    auto extend = [&](BookSide* side, bool ask) {
        const double edge = side->price[4];
        if (edge < kPriceEpsilon) return;
        std::vector<std::pair<double, double>> seen;  // price, volume last seen
        for (int i = quotes.GetSize() - 1; i >= 0; --i) {
            const REPORT& q = quotes[i];
            for (int k = 0; k < 5; ++k) {
                double p = ask ? q.sellPrice[k] : q.buyPrice[k];
                double v = ask ? q.sellVolume[k] : q.buyVolume[k];
                if (p < kPriceEpsilon || v <= 0) continue;
                if (ask ? p <= edge + kPriceEpsilon : p >= edge - kPriceEpsilon) continue;
                bool known = false;
                for (auto& s : seen)
                    if (std::fabs(s.first - p) < kPriceEpsilon) known = true;
                if (!known) seen.emplace_back(p, v);
            }
        }
        std::sort(seen.begin(), seen.end(), [ask](const std::pair<double, double>& a, const std::pair<double, double>& b) {
            return ask ? a.first < b.first : a.first > b.first;
        });
        for (size_t k = 0; k < 3 && k < seen.size(); ++k) {
            side->price[5 + k] = seen[k].first;
            side->volume[5 + k] = seen[k].second;
        }
    };
    extend(asks, true);
    extend(bids, false);
}

int CollectMarketIndexes(ReportArray& list, int* selection) {
    const int before = list.GetSize();
    CStock stock;
    stock.SetDatabase(&GetDatabase());
    stock.SetStockCode(kMarketShangHai, "000000_0");
    stock.PrepareData(dataReport, 0, true);
    list = stock.GetReport();
    stock.SetStockCode(kMarketShenZhen, "000000_0");
    stock.PrepareData(dataReport, 0, true);
    if (stock.GetReport().GetSize() > 0) list.InsertArrayAt(0, stock.GetReport());
    list.Sort();
    if (selection) {
        const int n = list.GetSize();
        if (n != before || *selection < 0 || *selection >= n) *selection = -1;
    }
    return 1;
}

namespace {

// Column positions of the quote block.
struct QuoteColumns {
    int x1, x2, v1, v2;
    QuoteColumns(int left, int width)
        : x1(left + 2), x2(left + width / 2 + 2), v1(left + width / 2 - 1), v2(left + width - 1) {}
};

void Label(Canvas& c, int x, int y, const char* text, const Font& f) { c.Text(x, y, text, RoleColor(20), f, kAlignLeft); }
// A figure ending at x, in the cell between its label (drawn at labelX) and x.
void Value(Canvas& c, int labelX, const char* label, int x, int y, const std::string& text, Color colour,
           const Font& f) {
    const Rect cell(labelX + c.TextWidth(label, f), y, x, y + c.TextHeight(f));
    TextInCell(c, cell, x, y, text, colour, f, kAlignRight);
}

int DrawIndexBlock(Canvas& c, CStock& stock, int left, int top, int width) {
    const CStockInfo& info = stock.GetStockInfo();
    const QuoteFigures q = ComputeQuoteFigures(stock, ChartNow(), GetProfile().GetRatioVolumeDays());
    const Font f(15);
    const int dec = info.GetPriceDecimals();
    const Color neutral = RoleColor(20), volume = RoleColor(14);
    const Color byLast = UpDownColor(q.last, q.prevClose);
    struct Row {
        const char* label;
        std::string value;
        Color colour;
    } rows[] = {
        {"最新指数", FormatPrice(q.last, dec), byLast},
        {"今日开盘", FormatPrice(q.open, dec), UpDownColor(q.open, q.prevClose)},
        {"昨日收盘", FormatPrice(q.prevClose, dec), neutral},
        {"指数涨跌", FormatPrice(q.change, dec), byLast},
        {"指数涨幅", Fmt("%.2f%%", q.percent), byLast},
        {"指数震幅", Fmt("%.2f%%", q.amplitude), neutral},
        {"成交量比", q.hasVolumeRatio ? Fmt("%.2f", q.volumeRatio) : std::string("-"), neutral},
        {"最高指数", FormatPrice(q.high, dec), UpDownColor(q.high, q.prevClose)},
        {"最低指数", FormatPrice(q.low, dec), UpDownColor(q.low, q.prevClose)},
        {"总成交量", FormatAmount(q.volume), volume},
        {"总成交额", FormatAmount(q.amount), volume},
    };
    for (int k = 0; k < 11; ++k) {
        const int y = top + 10 + 24 * k;
        Label(c, left + 5, y, rows[k].label, f);
        Value(c, left + 5, rows[k].label, left + width - 5, y, rows[k].value, rows[k].colour, f);
    }
    HLine(c, left, left + width, top + 274, RoleColor(16));
    return 274;
}

// The rows below the book, shared by both stock blocks; y holds the five row tops.
void DrawStockFigures(Canvas& c, const CStockInfo& info, const QuoteFigures& q, const QuoteColumns& col, const int* y,
                      const Font& f) {
    const int dec = info.GetPriceDecimals();
    const Color byLast = UpDownColor(q.last, q.prevClose), neutral = RoleColor(20), amount = RoleColor(14);
    const char* leftLabels[] = {"现价", "涨跌", "幅度", "总手", "现手"};
    const char* rightLabels[] = {"均价", "开盘", "最高", "最低", "量比"};
    for (int k = 0; k < 5; ++k) {
        Label(c, col.x1, y[k], leftLabels[k], f);
        Label(c, col.x2, y[k], rightLabels[k], f);
    }
    auto leftValue = [&](int k, const std::string& text, Color colour) {
        Value(c, col.x1, leftLabels[k], col.v1, y[k], text, colour, f);
    };
    auto rightValue = [&](int k, const std::string& text, Color colour) {
        Value(c, col.x2, rightLabels[k], col.v2, y[k], text, colour, f);
    };
    leftValue(0, FormatPrice(q.last, dec), byLast);
    if (q.hasAverage) rightValue(0, FormatPrice(q.average, dec), UpDownColor(q.average, q.prevClose));
    leftValue(1, FormatPrice(q.change, dec), byLast);
    rightValue(1, FormatPrice(q.open, dec), UpDownColor(q.open, q.prevClose));
    leftValue(2, Fmt("%.2f%%", q.percent), byLast);
    rightValue(2, FormatPrice(q.high, dec), UpDownColor(q.high, q.prevClose));
    leftValue(3, FormatAmount(q.volume), amount);
    rightValue(3, FormatPrice(q.low, dec), UpDownColor(q.low, q.prevClose));
    if (q.hasLastMinuteVolume) leftValue(4, FormatAmount(q.lastMinuteVolume), amount);
    rightValue(4, q.hasVolumeRatio ? Fmt("%.2f", q.volumeRatio) : std::string("-"), neutral);
    (void)neutral;
}

void DrawSellBuyRow(Canvas& c, const QuoteFigures& q, const QuoteColumns& col, int y, const Font& f) {
    Label(c, col.x1, y, "委比", f);
    Label(c, col.x2, y, "委差", f);
    if (q.hasSellBuy) {
        Value(c, col.x1, "委比", col.v1, y, Fmt("%.2f%%", q.sellBuyRatio), RoleColor(20), f);
        Value(c, col.x2, "委差", col.v2, y, Fmt("%.0f", q.sellBuyDifference), RoleColor(20), f);
    }
}

void DrawLevel(Canvas& c, const CStockInfo& info, const QuoteColumns& col, int y, const char* label, double price,
               double volume, bool always, const Font& f) {
    Label(c, col.x1, y, label, f);
    if (!always && !(volume > 0)) return;
    const Color colour = UpDownColor(price, info.m_fLastClose);
    Value(c, col.x1, label, col.v1, y, FormatPrice(price, info.GetPriceDecimals()), colour, f);
    // The volume's cell is the whole right half: its row has no label there.
    Value(c, col.x2, "", col.v2, y, Fmt("%.0f", volume), colour, f);
}

void DrawOuterInnerAndLimits(Canvas& c, const CStockInfo& info, const QuoteFigures& q, const QuoteColumns& col,
                             int yOuter, int yLimits, const Font& f) {
    Label(c, col.x1, yOuter, "外盘", f);
    Label(c, col.x2, yOuter, "内盘", f);
    Value(c, col.x1, "外盘", col.v1, yOuter, FormatAmount(q.outer), RoleColor(14), f);
    Value(c, col.x2, "内盘", col.v2, yOuter, FormatAmount(q.inner), RoleColor(14), f);
    Label(c, col.x1, yLimits, "涨停", f);
    Label(c, col.x2, yLimits, "跌停", f);
    Value(c, col.x1, "涨停", col.v1, yLimits, FormatPrice(q.limitUp, info.GetPriceDecimals()), RoleColor(17), f);
    Value(c, col.x2, "跌停", col.v2, yLimits, FormatPrice(q.limitDown, info.GetPriceDecimals()), RoleColor(18), f);
}

}  // namespace

int CReportPainter::DrawQuoteSummary(Canvas& c, CStock& stock, int left, int top, int width) {
    const CStockInfo& info = stock.GetStockInfo();
    DrawColumnCaption(c, info, left, top);
    if (info.IsIndex()) return DrawIndexBlock(c, stock, left, top, width);

    const Font f(14);
    const QuoteColumns col(left, width);
    const QuoteFigures q = ComputeQuoteFigures(stock, ChartNow(), GetProfile().GetRatioVolumeDays());
    const Color sep = RoleColor(16);
    DrawSellBuyRow(c, q, col, top + 2, f);
    HLine(c, left, left + width, top + 19, sep);
    static const char* const asks[] = {"卖⑤", "卖④", "卖③", "卖②", "卖①"};
    for (int k = 0; k < 5; ++k)
        DrawLevel(c, info, col, top + 21 + 16 * k, asks[k], info.m_fSellPrice[4 - k], info.m_fSellVolume[4 - k], false, f);
    HLine(c, left, left + width, top + 102, sep);
    static const char* const buys[] = {"买①", "买②", "买③", "买④", "买⑤"};
    for (int k = 0; k < 5; ++k)
        DrawLevel(c, info, col, top + 104 + 16 * k, buys[k], info.m_fBuyPrice[k], info.m_fBuyVolume[k], false, f);
    HLine(c, left, left + width, top + 185, sep);
    const int y[5] = {top + 187, top + 203, top + 219, top + 235, top + 251};
    DrawStockFigures(c, info, q, col, y, f);
    HLine(c, left, left + width, top + 268, sep);
    DrawOuterInnerAndLimits(c, info, q, col, top + 270, top + 289, f);
    return 305;
}

int CReportPainter::DrawQuoteSummaryWide(Canvas& c, CStock& stock, int left, int top, int width) {
    const CStockInfo& info = stock.GetStockInfo();
    if (info.IsIndex()) return DrawQuoteSummary(c, stock, left, top, width);
    DrawColumnCaption(c, info, left, top);

    const Font f(14);
    const QuoteColumns col(left, width);
    const QuoteFigures q = ComputeQuoteFigures(stock, ChartNow(), GetProfile().GetRatioVolumeDays());
    BookSide asks, bids;
    BuildEightLevelBook(stock, &asks, &bids);
    const Color sep = RoleColor(16);
    DrawSellBuyRow(c, q, col, top + 2, f);
    HLine(c, left, left + width, top + 19, sep);
    static const char* const askLabels[] = {"卖⑧", "卖⑦", "卖⑥", "卖⑤", "卖④", "卖③", "卖②", "卖①"};
    for (int k = 0; k < 8; ++k)
        DrawLevel(c, info, col, top + 21 + 16 * k, askLabels[k], asks.price[7 - k], asks.volume[7 - k], true, f);
    HLine(c, left, left + width, top + 150, sep);
    static const char* const bidLabels[] = {"买①", "买②", "买③", "买④", "买⑤", "买⑥", "买⑦", "买⑧"};
    for (int k = 0; k < 8; ++k)
        DrawLevel(c, info, col, top + 152 + 16 * k, bidLabels[k], bids.price[k], bids.volume[k], true, f);
    HLine(c, left, left + width, top + 281, sep);
    const int y[5] = {top + 283, top + 299, top + 315, top + 331, top + 347};
    DrawStockFigures(c, info, q, col, y, f);
    HLine(c, left, left + width, top + 364, sep);
    DrawOuterInnerAndLimits(c, info, q, col, top + 366, top + 385, f);
    HLine(c, left, left + width, top + 383, sep);
    return 400;
}
