// The window-free rules of the intraday pane: the trading clock on the x axis, the layout, the
// symmetric price range and its scale, the running average, the band hit test and list paging.
#pragma once

#include <cstdint>
#include <vector>

#include "charts/canvas.h"
#include "charts/kline.h"

struct MINUTE;

namespace charts {

// Geometry of one intraday pane.
constexpr int kRtCaptionHeight = 19;
constexpr int kRtLeftScale = 60;
constexpr int kRtRightScale = 45;
constexpr int kRtAxisHeight = 19;
constexpr int kRtGridRow = 28;
// Both charts keep the same report column.
constexpr int kRtReportWidth = kReportWidth;
// Slots of the day walk: slot s holds the trade seconds (60(s-1), 60s], slot 0 only second 0.
constexpr int kRtSlots = 242;
// Clock seconds of the trading day on the x axis (241 minutes).
constexpr int kRtClockSeconds = 14460;

// x of a trade second: left + t * (right - left) / 14460, the product first.
int TradeSecondToX(int tradeSecond, int left, int right);

enum RtDrawMode { rtChart = 1, rtTickList = 2, rtMinuteList = 3, rtIndexList = 4 };
enum RtOption { rtOptionNone = 0, rtOptionVolumeRatio = 1, rtOptionStrength = 2 };
// The report kind that means "no report column" (several panes).
constexpr int kRtNoReport = 10;

struct RtLayout {
    Rect pane;
    Rect price;        // chart left, price top, chart right, price bottom
    Rect volume;
    Rect ratioPane;    // option 1
    Rect strengthPane; // option 2
    Rect report;       // empty unless draw mode 1 with a report kind other than 10
};

// The pane's areas for a rectangle; false (out untouched) for an empty rectangle.
bool LayoutRealTime(const Rect& pane, int drawMode, int option, int reportKind, RtLayout* out);

// The chart's price range about centre (the previous close), written back; maxVolume starts at 10.
// quote: the last quote's last price, high and low, used when all three are above 0.0001.
struct RtQuoteRange {
    bool valid = false;
    double last = 0, high = 0, low = 0;
};
void GetRealTimePriceRange(const MINUTE* minutes, int count, const RtQuoteRange& quote, double* centre,
                           double* minimum, double* maximum, double* maxVolume, bool symmetric);

// The scale's half range: the first of n, 2n, 3n ticks (tick = 10^-decimals) that exceeds the
// largest distance c from the centre, else c itself.
double ScaleHalfRange(double c, int intervals, int decimals);
// Intervals of a price or volume area of a height: ((h / 2) / 28) * 2.
int ScaleIntervals(int height);

// Running mean of the minute prices, avg_j = (j * avg_(j-1) + p_j) / (j + 1), from the centre.
double NextAverage(double previous, int index, double price);

// Per-minute volume of record j (cumulative less the previous); record 0 gives its own volume only
// in slot 0 or 1.
double MinuteVolume(const MINUTE* minutes, int j, int slot);

// The record whose band on the x axis holds x (the nearer of two neighbours), -1 for none.
// tradeSeconds are the records' trade seconds in order.
int HitTestMinuteBand(const std::vector<int>& tradeSeconds, int x, int left, int right);

// Paging of a list of n rows with pages of p rows; first is the first row shown, -1 the last page.
// A page size below 1 leaves the first row as it is (nothing was drawn yet to size the page).
int LastPageStart(int n, int p);
int PageUpRow(int first, int n, int p);
int PageDownRow(int first, int n, int p);

// Rows of the report column's list below listTop and the first row shown, -1 resolving to the
// last rows; both as the report painters write them back.
int ReportListRows(int listTop, int bottom);
int ResolveReportFirstRow(int first, int count, int rows);

// Whole-pane lists: columns 220 px wide, rows 16 px below a 48 px head.
struct PanelGrid {
    int columns = 1, rows = 1;
    int Page() const { return columns * rows; }
};
PanelGrid PanelGridOf(const Rect& pane);
int ResolvePanelFirstRow(int first, int count, int page);

// Colour role of a value against a reference: 17 above by more than 0.0001, 18 below, else 20.
int UpDownRole(double value, double reference);

// The trade second of "now" the walk continues flat up to: the clock's own when the records are
// of the clock's day (or there are none), the whole day when they are of an earlier day.
int WalkNowSecond(int32_t now, const MINUTE* minutes, int count);

// Value to y on a scale of maximum at top down to minimum at bottom (the charts' one mapping),
// limited to top + 1 .. bottom - 1; a value that does not map lands on bottom - 1.
int ClampedY(double value, double maximum, double minimum, int top, int bottom);

// The intraday view's grid of panes over the client area, numbered down the columns first: 1, 2
// (two rows), 4 (2 x 2), 6 (3 rows of 2 columns) or 9 (3 x 3). Panes not shown keep the whole area.
// False for any other count.
bool LayoutRealTimePanes(const Rect& client, int count, Rect panes[9]);
// The report kind of the intraday view's tab ids 9 to 16, 0 for any other id.
int RealTimeTabKind(int tabId);
// Whether the intraday view shows that many panes.
inline bool IsPaneCount(int n) { return n == 1 || n == 2 || n == 4 || n == 6 || n == 9; }

// The time the charts take as now (the intraday walk, the volume ratio); tests put in a clock of
// their own, null restores the system's.
typedef int32_t (*ChartClock)();
void SetChartClock(ChartClock clock);
int32_t ChartNow();

}  // namespace charts
