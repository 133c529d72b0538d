#include "charts/realtimerules.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "base/timestamp.h"
#include "charts/chartdraw.h"
#include "store/records.h"

namespace charts {

int TradeSecondToX(int tradeSecond, int left, int right) {
    return left + int(int64_t(tradeSecond) * (right - left) / kRtClockSeconds);
}

bool LayoutRealTime(const Rect& pane, int drawMode, int option, int reportKind, RtLayout* out) {
    if (pane.IsEmpty() || !out) return false;
    RtLayout l;
    l.pane = pane;
    const int left = pane.left, top = pane.top, right = pane.right, bottom = pane.bottom;
    if (drawMode == rtChart && reportKind != kRtNoReport)
        l.report = Rect(right - kRtReportWidth, top + kRtCaptionHeight + 7, right, bottom - kRtAxisHeight);
    const int h = bottom - top - kRtCaptionHeight - kRtAxisHeight;
    const int chartLeft = left + kRtLeftScale;
    const int chartRight = right - (l.report.IsEmpty() ? 0 : kRtReportWidth) - kRtRightScale;
    int priceBottom = top + h * 7 / 10;
    int volumeTop = priceBottom + 2;
    int volumeBottom = bottom - kRtAxisHeight;
    l.ratioPane = l.strengthPane = Rect(chartLeft, volumeBottom, chartRight, volumeBottom);
    if (option == rtOptionVolumeRatio || option == rtOptionStrength) {
        priceBottom = top + h * 5 / 10;
        volumeTop = priceBottom + 2;
        volumeBottom = volumeTop + (bottom - kRtAxisHeight - volumeTop) / 2;
        Rect third(chartLeft, volumeBottom + 1, chartRight, bottom - kRtAxisHeight);
        if (option == rtOptionVolumeRatio)
            l.ratioPane = third;
        else
            l.strengthPane = third;
    }
    l.price = Rect(chartLeft, top + kRtCaptionHeight, chartRight, priceBottom);
    l.volume = Rect(chartLeft, volumeTop, chartRight, volumeBottom);
    *out = l;
    return true;
}

double MinuteVolume(const MINUTE* minutes, int j, int slot) {
    if (j == 0) return slot <= 1 ? double(minutes[0].volume) : 0.0;
    return double(minutes[j].volume) - minutes[j - 1].volume;
}

void GetRealTimePriceRange(const MINUTE* minutes, int count, const RtQuoteRange& quote, double* centre,
                           double* minimum, double* maximum, double* maxVolume, bool symmetric) {
    double c = *centre, lo, hi;
    if (quote.valid && quote.last > kPriceEpsilon && quote.high > kPriceEpsilon && quote.low > kPriceEpsilon) {
        lo = quote.low;
        hi = quote.high;
    } else {
        lo = hi = c;
        for (int i = 0; i < count; ++i) {
            double p = minutes[i].price;
            if (!(p >= kPriceEpsilon)) continue;  // drawn at the previous close
            if (lo < kPriceEpsilon) lo = p;
            if (hi < kPriceEpsilon) hi = p;
            lo = std::min(lo, p);
            hi = std::max(hi, p);
        }
    }
    double vmax = 10;
    for (int i = 0; i < count; ++i) vmax = std::max(vmax, MinuteVolume(minutes, i, 1));
    if (c < kPriceEpsilon) c = (lo + hi) / 2;
    if (symmetric) {
        double d = std::max(std::fabs(lo - c), std::fabs(hi - c));
        d = std::max(d, c * 0.001);
        hi = c + d;
        lo = c - d;
    }
    *centre = c;
    *minimum = lo;
    *maximum = hi;
    *maxVolume = vmax;
}

int ScaleIntervals(int height) { return height > 0 ? ((height / 2) / kRtGridRow) * 2 : 0; }

double ScaleHalfRange(double c, int intervals, int decimals) {
    const double tick = std::pow(10.0, -decimals);
    for (int k = 1; k <= 3; ++k)
        if (c < k * intervals * tick) return k * intervals * tick;
    return c;
}

double NextAverage(double previous, int index, double price) { return (index * previous + price) / (index + 1); }

int HitTestMinuteBand(const std::vector<int>& seconds, int x, int left, int right) {
    const int n = int(seconds.size());
    const double w = right - left;
    auto xOf = [&](double sum) { return left + w * sum * 0.5 / kRtClockSeconds; };
    for (int i = 0; i < n; ++i) {
        const double t = seconds[size_t(i)];
        const double before = i > 0 ? seconds[size_t(i - 1)] : t - 100;
        const double after = i + 1 < n ? seconds[size_t(i + 1)] : t + 100;
        if (x >= xOf(t + before) && x <= xOf(t + after)) return i;
    }
    return -1;
}

int LastPageStart(int n, int p) {
    if (p < 1 || n <= p) return 0;
    return ((n - 1) / p) * p;
}

int PageUpRow(int first, int n, int p) {
    if (p < 1) return first;
    if (first == 0) return 0;
    if (first == -1) first = LastPageStart(n, p);
    const int r = first - p;
    // A page that began inside the first page goes to the first row rather than round to the end.
    if (r < 0) return first > 0 ? 0 : -1;
    return r >= n ? -1 : r;
}

int PageDownRow(int first, int n, int p) {
    if (p < 1 || first == -1) return first;
    const int r = first + p;
    return (r < 0 || r >= n) ? -1 : r;
}

int ReportListRows(int listTop, int bottom) { return std::max(1, (bottom - listTop - 24) / 16); }

int ResolveReportFirstRow(int first, int count, int rows) {
    if (first == -1) {
        int f = count - rows;
        return (f < 0 || f >= count) ? 0 : f;
    }
    return (first < 0 || first >= count) ? 0 : first;
}

PanelGrid PanelGridOf(const Rect& pane) {
    PanelGrid g;
    g.columns = std::max(1, pane.Width() / 220);
    g.rows = std::max(1, (pane.Height() - 48) / 16);
    return g;
}

int ResolvePanelFirstRow(int first, int count, int page) {
    if (first == -1) return LastPageStart(count, page);
    return (first < 0 || first >= count) ? 0 : first;
}

int UpDownRole(double value, double reference) {
    const double d = value - reference;
    if (d > kPriceEpsilon) return 17;
    if (d < -kPriceEpsilon) return 18;
    return 20;
}

int WalkNowSecond(int32_t now, const MINUTE* minutes, int count) {
    CTimeStamp clock(now);
    if (count <= 0) return clock.GetTradeSecond();
    const int day = CTimeStamp(minutes[count - 1].time).GetDateNumber();
    return day == clock.GetDateNumber() ? clock.GetTradeSecond() : kRtClockSeconds;
}

int ClampedY(double value, double maximum, double minimum, int top, int bottom) {
    int y = bottom - 1;
    if (!ValueToY(value, minimum, maximum, bottom, bottom - top, &y)) return bottom - 1;
    return std::min(std::max(y, top + 1), bottom - 1);
}

bool LayoutRealTimePanes(const Rect& client, int count, Rect panes[9]) {
    if (!IsPaneCount(count)) return false;
    for (int k = 0; k < 9; ++k) panes[k] = client;
    const int a = client.left, b = client.top, c = client.right, d = client.bottom;
    int columns = 1, rows = 1;
    switch (count) {
    case 2: rows = 2; break;
    case 4: columns = 2, rows = 2; break;
    case 6: columns = 2, rows = 3; break;
    case 9: columns = 3, rows = 3; break;
    default: break;
    }
    for (int k = 0; k < count; ++k) {
        const int col = k / rows, row = k % rows;
        panes[k] = Rect(a + (c - a) * col / columns, b + (d - b) * row / rows, a + (c - a) * (col + 1) / columns,
                        b + (d - b) * (row + 1) / rows);
    }
    return true;
}

int RealTimeTabKind(int tabId) {
    switch (tabId) {
    case 9: return 9;
    case 10: return 11;
    case 11: return 12;
    case 12: return 13;
    case 13: return 14;
    case 14: return 15;
    case 15: return 16;
    case 16: return 17;
    default: return 0;
    }
}

namespace {
std::atomic<ChartClock> g_clock{nullptr};
}  // namespace

void SetChartClock(ChartClock clock) { g_clock.store(clock); }

int32_t ChartNow() {
    ChartClock c = g_clock.load();
    return c ? c() : CTimeStamp::GetCurrentTime().GetTime();
}

}  // namespace charts
