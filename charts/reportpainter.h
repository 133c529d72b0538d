// The painter of the report column beside both charts and of the intraday pane's whole-pane lists.
// It keeps no state: the callers own the first-row, rows-per-page and selection values.
#pragma once

#include <string>
#include <vector>

#include "charts/canvas.h"
#include "store/stock.h"

// Report kinds of the column, chosen by the views' tabs.
enum ReportKind {
    reportCost = 1,          // "本" cost distribution
    reportTrend = 2,         // "势" cost by holding period
    reportHistory = 3,       // statistics at the cursor bar
    reportTrend2 = 4,        // no tab reaches it
    reportBlocks = 9,        // "板"
    reportNone = 10,         // no report column
    reportTicks = 11,        // "笔"
    reportPriceTable = 12,   // "价"
    reportMinuteTicks = 13,  // "分"
    reportBook = 14,         // "盘"
    reportValue = 15,        // "值"
    reportVolumePrice = 16,  // "筹"
    reportIndexList = 17,
};

// The figures of the quote block, computed without drawing.
struct QuoteFigures {
    double last = 0, prevClose = 0, open = 0, high = 0, low = 0, volume = 0, amount = 0;
    double change = 0;     // 0 when the last price is not above 0.0001
    double percent = 0;    // 0 unless last and previous close are above 0.0001
    double amplitude = 0;  // 0 without a previous close
    bool hasAverage = false;
    double average = 0;    // amount / volume / 100
    double limitUp = 0, limitDown = 0;
    bool hasVolumeRatio = false;
    double volumeRatio = 0;
    bool hasSellBuy = false;
    double sellBuyRatio = 0, sellBuyDifference = 0;
    bool hasLastMinuteVolume = false;
    double lastMinuteVolume = 0;
    double outer = 0, inner = 0;
};
// now is the present time (the volume ratio is divided by the share of the day gone by then).
QuoteFigures ComputeQuoteFigures(CStock& stock, int32_t now, int ratioDays);

// One side of the eight-level book: level 1 nearest the price.
struct BookSide {
    double price[8] = {0};
    double volume[8] = {0};
};
// Levels 1 to 5 from the latest quote; 6 to 8 from the nearest further prices the earlier quotes
// of the day showed beyond the fifth, each with the volume last seen there. All zero for an index.
void BuildEightLevelBook(CStock& stock, BookSide* asks, BookSide* bids);

// One trade of the .fbs records.
struct TradeTick {
    int32_t time = 0;
    double price = 0, amount = 0, volume = 0;
    int direction = 0;  // 1 buy, 2 sell
};
TradeTick ReadTradeTick(const FENBI& record);

// "SH.%s", "SZ.%s" or "CN.%s" with the code without its market suffix.
std::string CodeCaption(const CStockInfo& info);
// A price with the stock's decimals.
std::string FormatPrice(double price, int decimals);

// The market indexes of both markets (the block files' "000000_0" quotes), sorted. A selection
// survives only when the count is unchanged and it still names a row; else it becomes -1.
int CollectMarketIndexes(ReportArray& list, int* selection);

class CReportPainter {
public:
    CReportPainter() {}

    // The quote block from top (its caption sits above top); returns the height used: 274 for an
    // index, 305 for a stock, 400 for a stock's wide block.
    int DrawQuoteSummary(charts::Canvas& c, CStock& stock, int left, int top, int width);
    int DrawQuoteSummaryWide(charts::Canvas& c, CStock& stock, int left, int top, int width);
    // Kind 3: statistics of the stock at the cursor bar of the period's series.
    void DrawHistoryInfo(charts::Canvas& c, CStock& stock, const charts::Rect& r, int period, int cursor);

    // Kind 9: quote block and the sectors holding the stock.
    void DrawBlocksReport(charts::Canvas& c, const charts::Rect& r, CStock& stock);
    // Kind 2: cost by holding period, bars lined up with the candles of candle rectangle (its top
    // and bottom are the price axis of maximum..minimum).
    void DrawTrendReport(charts::Canvas& c, const charts::Rect& r, CStock& stock, int period, int cursor,
                         const charts::Rect& candles, double maximum, double minimum);
    // One distribution of kind 2: n bars before the bar, in colour, with its legend box.
    void DrawTrendChart(charts::Canvas& c, CStock& stock, const charts::Rect& axis, const charts::Rect& report,
                        int period, int bar, int n, double factor, charts::Color colour, const charts::Rect& legend,
                        double maximum, double minimum);

    // Bare lists of rows 16 px apart from top + 24.
    void DrawTickList(charts::Canvas& c, const CStockInfo& info, CArray20& ticks, int first, int rows,
                      const charts::Rect& r);
    void DrawMinuteTickList(charts::Canvas& c, const CStockInfo& info, const MinuteArray& minutes, int first,
                            int rows, const charts::Rect& r);
    void DrawIndexList(charts::Canvas& c, const ReportArray& list, const int* selected, int first, int rows,
                       const charts::Rect& r);

    // Report-column lists under the quote block: rows and the first row are written back.
    void DrawTicksReport(charts::Canvas& c, const charts::Rect& r, CStock& stock, int* rows, int* first);
    void DrawMinuteTicksReport(charts::Canvas& c, const charts::Rect& r, CStock& stock, int* rows, int* first);
    void DrawBookReport(charts::Canvas& c, const charts::Rect& r, CStock& stock, int* rows, int* first);
    void DrawPriceTable(charts::Canvas& c, const charts::Rect& r, CStock& stock);
    void DrawValuePanel(charts::Canvas& c, const charts::Rect& r, CStock& stock);
    void DrawIndexReport(charts::Canvas& c, const charts::Rect& r, CStock& stock, ReportArray& list, int* selected,
                         int* rows, int* first);

    // Whole-pane lists in columns 220 px wide.
    void DrawTickListPanel(charts::Canvas& c, CStock& stock, const charts::Rect& pane, int first);
    void DrawMinuteTickPanel(charts::Canvas& c, CStock& stock, const charts::Rect& pane, int first);
    void DrawIndexListPanel(charts::Canvas& c, const charts::Rect& pane, ReportArray& list, int first, int selected);

    // Kind 16: the day's volume at each price, at the heights the chart beside draws those prices
    // (price pane top and bottom over maximum..minimum).
    void DrawVolumeByPrice(charts::Canvas& c, const charts::Rect& column, CStock& stock, const charts::Rect& pricePane,
                           double maximum, double minimum);
    // Kind 1: the cost distribution at the cursor bar (-1 the last) of the period's series, lined
    // up with the candles drawn from paneTop (maximum) to paneBottom (minimum).
    void DrawCostDistribution(charts::Canvas& c, CStock& stock, const charts::Rect& column, int period, int cursor,
                              int paneTop, int paneBottom, double maximum, double minimum);

private:
    void DrawListPanel(charts::Canvas& c, const charts::Rect& r, CStock& stock, int* rows, int* first, int kind);
};
