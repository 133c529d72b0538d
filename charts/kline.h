// The K-line chart's geometry and rules, without windows: layout, visible range, bar slots, the
// bar-step ladder, hit tests, cursor moves and paging, indicator cycling, pane boundaries, the
// rubber-band zoom, date labels, the information box's figures and the view's key and tab maps.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "charts/canvas.h"

class CKData;
class CStockInfo;

namespace charts {

constexpr int kCaptionHeight = 19;
constexpr int kDateAxisHeight = 18;
constexpr int kTitleHeight = 17;
constexpr int kLegendStart = 120;
constexpr int kLegendWidth = 90;
constexpr int kDefaultBarStep = 6;
constexpr int kReportWidth = 200;
constexpr int kPriceBottomMargin = 18;

struct KLineLayout {
    Rect chart;              // as given
    Rect infoBox;            // floating information box left of the price pane
    Rect report;             // report column on the right
    Rect pricePane;
    Rect barArea;            // bars start at its left edge; the zoom rectangle lives in it
    Rect chartArea;          // price pane, sub-panes and date axis
    std::vector<Rect> subPanes;
    int paneHeight = 0;      // t = (H - 18) / (n + 2)
    bool valid = false;      // false: nothing to draw (empty chart, or too low for its panes)
};

// Lays the chart out for n sub-panes.
KLineLayout LayoutKLine(const Rect& chart, int subPaneCount);

// The candles' rectangle of a price pane: below the title strip, above the bottom margin.
inline Rect CandleRect(const Rect& pricePane) {
    return Rect(pricePane.left, pricePane.top + kTitleHeight, pricePane.right, pricePane.bottom - kPriceBottomMargin);
}

// The bar-step ladder 1, 2, 4, 5, 6, 7, 9, 10, 13, 15: the next wider or narrower step; any other
// value gives the default step.
int GetNextBarWidth(int step, bool wider);
// Body width of a bar step: 1, 3, 5, 7 or 11; 0 for a step not on the ladder.
inline int BodyWidthForStep(int step) {
    switch (step) {
    case 1: case 2: return 1;
    case 4: case 5: return 3;
    case 6: case 7: return 5;
    case 9: case 10: return 7;
    case 13: case 15: return 11;
    default: return 0;
    }
}

struct VisibleRange {
    int first = -1, last = -1, cursor = -1;
    bool IsSet() const { return first >= 0 && last >= first; }
};

// Recomputes the range for count bars in an area of the given width (run at every paint); keeps
// the cursor's place on screen when the step changes. False when nothing can be drawn.
bool UpdateVisibleRange(VisibleRange& r, int count, int areaWidth, int step);

struct BarSlot {
    Rect slot;
    int bodyLeft = 0, bodyRight = 0, centre = 0;
};
// The slot of a visible bar: x = bar area left + (bar - first) * step over the chart area's height.
// Inline: every line of a pane asks it for each visible bar.
inline bool GetSlotRect(const VisibleRange& r, int step, const KLineLayout& layout, int bar, BarSlot* out) {
    if (bar < 0 || bar < r.first || bar > r.last || r.first < 0) return false;
    const int w = BodyWidthForStep(step);
    if (w == 0 || layout.chartArea.IsEmpty()) return false;
    const int x = layout.barArea.left + (bar - r.first) * step;
    if (out) {
        out->slot = Rect(x, layout.chartArea.top, x + step, layout.chartArea.bottom);
        out->bodyLeft = x;
        out->bodyRight = x + w;
        out->centre = x + w / 2;
    }
    return true;
}
// The visible bar whose slot holds the point, -1 outside the price pane or between slots.
int HitTestBar(const VisibleRange& r, int step, const KLineLayout& layout, int x, int y);

// Cursor moves over count bars. Targets are clamped to [0, count - 1]; -1 clears the cursor.
// MoveCursorTo shifts the range so that the cursor stays on screen.
void MoveCursorTo(VisibleRange& r, int count, int index);
void MoveCursorBy(VisibleRange& r, int count, int delta);
// PageLeft / PageRight move by a screen of bars less five (at least one).
int PageDelta(const VisibleRange& r, bool left);

// Indicator cycling of the last sub-pane. last is -1 for an empty list.
int NextIndicatorId(int last, int pluginCount);
int PrevIndicatorId(int last, int pluginCount);

// The pane boundary under the point (0 under the price pane, k under sub-pane k - 1), -1 none.
int HitTestBoundary(const KLineLayout& layout, int x, int y);
// Moves boundary k to y, kept between its neighbours so that no pane gets lower than its title
// strip plus one pixel. False for a boundary that does not exist.
bool MoveBoundary(KLineLayout& layout, int boundary, int y);

// The bar of a zoom corner: the bar under it, else the first visible bar when x lies left of the
// chart area, the last when right of it; -1 otherwise.
int ZoomCornerBar(const VisibleRange& r, int step, const KLineLayout& layout, int x, int y);
// Applies a rubber-band zoom from bar a to bar b. Dragged right (a < b): the bars between become
// the range, widened when narrow, and the step grows while it fits; dragged left: the step narrows
// three ladder steps. The range is kept inside [0, count - 1]. False when nothing changed.
bool ZoomToBars(VisibleRange& r, int* step, int count, int a, int b, int chartAreaWidth);

// Date labels of the axis: the month for day bars, the year for week and month bars, the day for
// minute bars, each at its bar's slot left where the previous label has ended.
struct DateLabel {
    int bar;
    int x;
    std::string text;
};
std::vector<DateLabel> ChooseDateLabels(const CKData& series, int period, const VisibleRange& r, int step,
                                        const KLineLayout& layout,
                                        const std::function<int(const std::string&)>& textWidth);
// The two halves of it: the bars of the range where the labelled field changes, with their texts
// (x left 0), which depend on the series alone and so may be kept between paints; and those of
// them placed at their slots.
std::vector<DateLabel> DateChanges(const CKData& series, int period, const VisibleRange& r);
std::vector<DateLabel> PlaceDateLabels(const std::vector<DateLabel>& changes, const VisibleRange& r, int step,
                                       const KLineLayout& layout,
                                       const std::function<int(const std::string&)>& textWidth);

// The information box's lines for a bar: labels and values with their colour roles.
struct InfoBoxLine {
    std::string label, value;
    int valueRole;
};
std::vector<InfoBoxLine> InfoBoxLines(const CKData& series, int bar, int period, const CStockInfo& info);
// Label tops inside the box; each value sits 16 pixels lower.
extern const int kInfoBoxLabelY[8];

// The K-line view's keys.
enum KLineKey {
    kKeyNone,
    kKeyEnter,
    kKeyEscape,
    kKeyPrevStock,
    kKeyNextStock,
    kKeyNextIndicator,
    kKeyPrevIndicator,
    kKeyCursorLeft,
    kKeyPageLeft,
    kKeyStepUp,
    kKeyCursorRight,
    kKeyPageRight,
    kKeyStepDown,
    kKeyCyclePeriod,
    // Ctrl+Up and Ctrl+Down: a page of the report column's list; the bar step when it shows none.
    kKeyReportPageUp,
    kKeyReportPageDown,
};
KLineKey MapKLineKey(int virtualKey, bool ctrl);
// F8: the next period, 5 after 7.
int NextPeriod(int period);
// Asking for the active ex-rights mode again selects mode 1.
int ChooseExrightMode(int current, int asked);
// Report kind of a tab id of the K-line view; -1 for an id without one.
int ReportKindForTab(int tabId);

}  // namespace charts
