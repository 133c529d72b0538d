#include "charts/kline.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "base/text.h"
#include "charts/chartdraw.h"
#include "store/kdata.h"
#include "store/stockinfo.h"

namespace charts {

KLineLayout LayoutKLine(const Rect& chart, int n) {
    KLineLayout l;
    l.chart = chart;
    if (chart.IsEmpty() || n < 0) return l;
    const int H = chart.Height();
    l.infoBox = Rect(chart.left + 1, chart.top + 2 * kCaptionHeight, chart.left + 71, chart.top + 2 * kCaptionHeight + 280);
    l.report = Rect(chart.right - kReportWidth, chart.top + kCaptionHeight + 7, chart.right, chart.bottom - kDateAxisHeight);
    const int t = (H - kDateAxisHeight) / (n + 2);
    l.paneHeight = t;
    l.pricePane = Rect(chart.left + 72, chart.top, chart.right - kReportWidth - 1, chart.bottom - kDateAxisHeight - n * t);
    l.barArea = Rect(l.pricePane.left + 2, l.pricePane.top + kTitleHeight, l.pricePane.right - 10, l.pricePane.bottom - 2);
    for (int k = 0; k < n; ++k)
        l.subPanes.emplace_back(l.pricePane.left, l.pricePane.bottom + k * t, l.pricePane.right,
                                l.pricePane.bottom + (k + 1) * t);
    l.chartArea = Rect(l.pricePane.left, chart.top, l.pricePane.right, chart.bottom);
    // Too low or too narrow for its panes: nothing is drawn rather than inverted rectangles.
    l.valid = t > 0 && !l.pricePane.IsEmpty() && !l.barArea.IsEmpty();
    return l;
}

namespace {
const int kLadder[] = {1, 2, 4, 5, 6, 7, 9, 10, 13, 15};
const int kLadderSize = int(sizeof kLadder / sizeof kLadder[0]);
}  // namespace

int GetNextBarWidth(int step, bool wider) {
    for (int i = 0; i < kLadderSize; ++i) {
        if (kLadder[i] != step) continue;
        if (wider) return kLadder[std::min(i + 1, kLadderSize - 1)];
        return kLadder[std::max(i - 1, 0)];
    }
    return kDefaultBarStep;
}

bool UpdateVisibleRange(VisibleRange& r, int count, int W, int s) {
    if (s <= 0 || W <= 0) return false;
    const int m = W / s;
    if (m <= 0) return false;
    if (count <= 0) {
        r = VisibleRange();
        return false;
    }
    const bool set = r.first >= 0 && r.last >= 0;
    if (set && (r.cursor < r.first || r.cursor > r.last)) r.cursor = -1;
    if (!set) {
        r.last = count - 1;
    } else {
        const int d = r.last - r.first;
        if (d + 1 < m && r.cursor >= 0 && d > 0)
            r.last += int((long long)(r.first + m - r.last - 1) * (r.last - r.cursor) / d);
        else if (m < d + 1 && r.cursor >= 0 && d > 0)
            r.last -= int((long long)(d - m + 1) * (r.last - r.cursor) / d);
    }
    r.last = std::min(r.last, count - 1);
    r.first = r.last - m + 1;
    if (r.first < 0) {
        r.first = 0;
        r.last = std::min(m - 1, count - 1);
    }
    if (r.last < r.first) return false;
    if (r.cursor < r.first || r.cursor > r.last) r.cursor = -1;
    return true;
}

int HitTestBar(const VisibleRange& r, int step, const KLineLayout& layout, int x, int y) {
    if (!layout.pricePane.Contains(x, y) || !r.IsSet() || step <= 0) return -1;
    if (x < layout.barArea.left) return -1;
    const int bar = r.first + (x - layout.barArea.left) / step;
    if (bar > r.last) return -1;
    BarSlot s;
    if (!GetSlotRect(r, step, layout, bar, &s) || !s.slot.Contains(x, y)) return -1;
    return bar;
}

void MoveCursorTo(VisibleRange& r, int count, int index) {
    if (count <= 0) {
        r.cursor = -1;
        return;
    }
    if (index == -1) {  // a miss clears the cursor; the clamp is for real targets only
        r.cursor = -1;
        return;
    }
    index = std::max(0, std::min(index, count - 1));
    if (r.IsSet()) {
        if (index < r.first) {
            const int d = r.first - index;
            r.first -= d;
            r.last -= d;
        } else if (index > r.last) {
            const int d = index - r.last;
            r.first += d;
            r.last += d;
        }
    }
    r.cursor = index;
}

void MoveCursorBy(VisibleRange& r, int count, int delta) {
    if (count <= 0) {
        r.cursor = -1;
        return;
    }
    // Before the first paint the range is unknown: the whole series stands for it.
    const int first = r.IsSet() ? r.first : 0, last = r.IsSet() ? r.last : count - 1;
    int target;
    if (r.cursor >= 0) target = r.cursor + delta;
    else target = delta < 0 ? last : first;
    MoveCursorTo(r, count, std::max(0, target));
}

int PageDelta(const VisibleRange& r, bool left) {
    if (left) {
        const int d = r.first - r.last + 5;
        return d < 0 ? d : -1;
    }
    const int d = r.last - r.first - 5;
    return d > 0 ? d : 1;
}

namespace {
int TopIndicator(int plugins) { return plugins > 0 ? 9999 + plugins : 58; }
}  // namespace

int NextIndicatorId(int last, int plugins) {
    if (last < 0) return 9;
    const int top = TopIndicator(plugins);
    const int next = last + 1;
    if (last >= 58 && last <= 9998 && next <= top) return 10000;
    if (next < 9 || next > top) return 9;
    return next;
}

int PrevIndicatorId(int last, int plugins) {
    const int top = TopIndicator(plugins);
    if (last < 0) return top;
    int prev = last - 1;
    if (prev < 9 || prev > top) prev = top;
    if (prev >= 59 && prev <= 9999) prev = 58;
    return prev;
}

namespace {
// The pane above boundary k and the one below it.
bool BoundaryPanes(const KLineLayout& l, int k, const Rect** above, const Rect** below) {
    const int n = int(l.subPanes.size());
    if (k < 0 || k >= n) return false;
    *above = k == 0 ? &l.pricePane : &l.subPanes[k - 1];
    *below = &l.subPanes[k];
    return true;
}
}  // namespace

int HitTestBoundary(const KLineLayout& l, int x, int y) {
    if (!l.valid || !l.chartArea.Contains(x, y)) return -1;
    int hit = -1;
    for (int k = 0; k < int(l.subPanes.size()); ++k) {
        const Rect* above;
        const Rect* below;
        BoundaryPanes(l, k, &above, &below);
        if (Rect(above->left, above->bottom - 5, above->right, above->bottom + 5).Contains(x, y)) hit = k;
    }
    return hit;
}

bool MoveBoundary(KLineLayout& l, int k, int y) {
    const Rect* above;
    const Rect* below;
    if (!BoundaryPanes(l, k, &above, &below)) return false;
    const int lo = above->top + kTitleHeight + 1, hi = below->bottom - kTitleHeight - 1;
    if (lo > hi) return false;
    y = std::max(lo, std::min(y, hi));
    if (k == 0) {
        l.pricePane.bottom = y;
        l.barArea = Rect(l.pricePane.left + 2, l.pricePane.top + kTitleHeight, l.pricePane.right - 10, l.pricePane.bottom - 2);
    } else {
        l.subPanes[k - 1].bottom = y;
    }
    l.subPanes[k].top = y;
    return true;
}

int ZoomCornerBar(const VisibleRange& r, int step, const KLineLayout& l, int x, int y) {
    int bar = HitTestBar(r, step, l, x, y);
    if (bar >= 0) return bar;
    if (!r.IsSet()) return -1;
    if (x < l.chartArea.left) return r.first;
    if (x >= l.chartArea.right) return r.last;
    return -1;
}

bool ZoomToBars(VisibleRange& r, int* step, int count, int a, int b, int W) {
    if (a < 0 || b < 0 || count <= 0 || a == b) return false;
    if (b < a) {
        const int before = *step;
        for (int i = 0; i < 3; ++i) *step = GetNextBarWidth(*step, false);
        return *step != before;
    }
    if ((b - a + 1) * 15 < W) {
        a = a - ((a - b - 1) * 15 + W) / 30 - 1;
        b = b + ((a - b - 1) * 15 + W) / 30 + 1;
    }
    // Stored bars are always bars of the series, whatever the widening gave.
    a = std::max(0, a);
    b = std::min(count - 1, b);
    if (b <= a) return false;
    const int oldSpan = (r.last - r.first) * *step;
    r.first = a;
    r.last = b;
    for (;;) {
        if ((b - a) * *step >= oldSpan) break;
        const int wider = GetNextBarWidth(*step, true);
        if (wider == *step) break;
        *step = wider;
    }
    return true;
}

std::vector<DateLabel> DateChanges(const CKData& k, int period, const VisibleRange& r) {
    std::vector<DateLabel> out;
    if (!r.IsSet()) return out;
    const bool minutes = period >= 1 && period <= 4;
    const bool yearly = period == 6 || period == 7;
    // Each bar's fields are read once and kept for the bar after it: a chart zoomed out walks a
    // thousand bars.
    int y0 = 0, m0 = 0, d0 = 0;
    bool have = false;
    for (int i = std::max(1, r.first); i <= r.last && i < k.GetSize(); ++i) {
        if (!have) have = k.GetDateFields(i - 1, &y0, &m0, &d0, nullptr, nullptr);
        int y1 = 0, m1 = 0, d1 = 0;
        const bool ok = k.GetDateFields(i, &y1, &m1, &d1, nullptr, nullptr);
        const bool both = have && ok;
        const int py = y0, pm = m0, pd = d0;
        y0 = y1, m0 = m1, d0 = d1, have = ok;
        if (!both) continue;
        char text[16];
        if (minutes) {
            if (pd == d1 && pm == m1 && py == y1) continue;
            std::snprintf(text, sizeof text, "%02d", d1);
        } else if (yearly) {
            if (py == y1) continue;
            std::snprintf(text, sizeof text, "%02d", y1 % 100);
        } else {
            if (pm == m1 && py == y1) continue;
            std::snprintf(text, sizeof text, "%02d", m1);
        }
        out.push_back({i, 0, text});
    }
    return out;
}

std::vector<DateLabel> PlaceDateLabels(const std::vector<DateLabel>& changes, const VisibleRange& r, int step,
                                       const KLineLayout& layout,
                                       const std::function<int(const std::string&)>& textWidth) {
    std::vector<DateLabel> out;
    if (!r.IsSet()) return out;
    int end = INT_MIN;
    for (const DateLabel& c : changes) {
        BarSlot s;
        if (!GetSlotRect(r, step, layout, c.bar, &s)) continue;
        if (s.slot.left <= end) continue;
        out.push_back({c.bar, s.slot.left, c.text});
        end = s.slot.left + textWidth(c.text);
    }
    return out;
}

std::vector<DateLabel> ChooseDateLabels(const CKData& k, int period, const VisibleRange& r, int step,
                                        const KLineLayout& layout,
                                        const std::function<int(const std::string&)>& textWidth) {
    return PlaceDateLabels(DateChanges(k, period, r), r, step, layout, textWidth);
}

const int kInfoBoxLabelY[8] = {2, 37, 71, 105, 139, 173, 207, 241};

std::vector<InfoBoxLine> InfoBoxLines(const CKData& k, int bar, int period, const CStockInfo& info) {
    std::vector<InfoBoxLine> out;
    if (bar < 0 || bar >= k.GetSize()) return out;
    const KDATA& b = k[bar];
    int y, mo, d, h, mi;
    char date[32] = "";
    if (k.GetDateFields(bar, &y, &mo, &d, &h, &mi)) {
        if (period >= 1 && period <= 4) std::snprintf(date, sizeof date, "%02d%02d%02d%02d", mo, d, h, mi);
        else std::snprintf(date, sizeof date, "%02d-%02d-%02d", y % 100, mo, d);
    }
    const double reference = bar > 0 ? k[bar - 1].close : b.open;
    const int decimals = info.GetPriceDecimals();
    auto price = [&](double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
        return std::string(buf);
    };
    auto role = [&](double v) {
        return v > reference ? kColorRise : v < reference ? kColorFall : kColorScale;
    };
    out.push_back({ChartString(202), date, kColorScale});
    out.push_back({ChartString(203), price(b.open), role(b.open)});
    out.push_back({ChartString(204), price(b.high), role(b.high)});
    out.push_back({ChartString(257), price(b.low), role(b.low)});
    out.push_back({ChartString(258), price(b.close), role(b.close)});
    out.push_back({ChartString(259), FormatAmount(b.volume), kColorTitle});
    out.push_back({ChartString(260), FormatAmount(b.amount), kColorTitle});
    std::string average = "_";
    if (!info.IsIndex()) average = price(b.volume >= 1 ? double(b.amount) / b.volume / 100 : 0.0);
    out.push_back({ChartString(261), average, kColorTitle});
    return out;
}

KLineKey MapKLineKey(int vk, bool ctrl) {
    switch (vk) {
    case 13: return kKeyEnter;
    case 27: return kKeyEscape;
    case 33: return kKeyPrevStock;
    case 34: return kKeyNextStock;
    case 35: return kKeyNextIndicator;
    case 36: return kKeyPrevIndicator;
    case 37: return ctrl ? kKeyPageLeft : kKeyCursorLeft;
    case 38: return ctrl ? kKeyReportPageUp : kKeyStepUp;
    case 39: return ctrl ? kKeyPageRight : kKeyCursorRight;
    case 40: return ctrl ? kKeyReportPageDown : kKeyStepDown;
    case 119: return kKeyCyclePeriod;
    default: return kKeyNone;
    }
}

int NextPeriod(int period) {
    const int next = period + 1;
    return next > 7 || next < 1 ? 5 : next;
}

int ChooseExrightMode(int current, int asked) { return asked == current ? 1 : asked; }

int ReportKindForTab(int tabId) {
    switch (tabId) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    case 9: return 9;
    default: return tabId >= 10 && tabId <= 16 ? tabId + 1 : -1;
    }
}

}  // namespace charts
