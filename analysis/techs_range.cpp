// Range and channel oscillators: REI, DMKI, PCNT, HLC, CDP, ASI and ATR.
#include "analysis/techs_range.h"

#include <algorithm>
#include <cmath>

#include "analysis/techs_momentum.h"

// ---- REI ----

CREI::CREI() : CLine1("DLL", {8, 10, -10}, {}, {}, "(%d)") {}

bool CREI::Line(int i, double* v) {
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 8, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        const double dh = double(b[t].high) - b[t - 2].high, dl = double(b[t].low) - b[t - 2].low;
        const bool above = b[t - 7].close > b[t - 2].high && b[t - 8].close > b[t - 2].high &&
                           b[t - 5].low > b[t].high && b[t - 6].low > b[t].high;
        const bool below = b[t - 7].close < b[t - 2].low && b[t - 8].close < b[t - 2].low &&
                           b[t - 5].high < b[t].low && b[t - 6].high < b[t].low;
        out[0] += sign * (above || below ? 0 : dh + dl);
        out[1] += sign * (std::fabs(dh) + std::fabs(dl));
    });
    if (!s || std::fabs(s[1]) < 0.0001) return false;
    *v = s[0] / s[1];
    return true;
}

int CREI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double prev, now;
    if (index < 1 || !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false)) return 0;
    if (prev < -0.6 && now > -0.6) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (prev > 0.6 && now < 0.6) {
        if (reason) *reason = reasonBearTrend;
        return m_ints[kSell];
    }
    return 0;
}

// ---- DMKI ----

CDMKI::CDMKI() : CLine1("DLL", {13, 10, -10}, {}, {}, "(%d)") {}

bool CDMKI::Line(int i, double* v) {
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 1, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        out[0] += sign * (AtLeastZero(double(b[t].high) - b[t - 1].high));
        out[1] += sign * (AtLeastZero(double(b[t - 1].low) - b[t].low));
    });
    if (!s) return false;
    const double sum = s[0] + s[1];
    if (std::fabs(sum) < 0.0001) return false;
    *v = s[0] / sum;
    return true;
}

int CDMKI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double now;
    if (!Calculate(&now, index, false)) return 0;
    return LevelSignal(now, 0.3, 0.7, m_ints[kBuy], m_ints[kSell], reasonOversold, reasonOverbought, reason);
}

// ---- PCNT ----

CPCNT::CPCNT() : CChangeLineMA("DLL", {6, 10, -10}, {}, {}, "(%d)") {}

bool CPCNT::Line(int i, double* v) {
    return i >= 1 && PercentChange(Price(*m_pKData, i), Price(*m_pKData, i - 1), v);
}

int CPCNT::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, m_ints[kMA], kRangeWindow, 0.5, 0.5, m_ints[kBuy], m_ints[kSell], reason);
}

// ---- HLC ----

CHLC::CHLC() : CLineMA("DDLL", {12, 6, 10, -10}, {}, {}, "(%d,%d)") {}

bool CHLC::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const KDATA* b = m_pKData->GetData();
    *v = RunningSum(m_sum, i, n, [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; }) / n;
    return true;
}

// The 360-bar levels only gate the signal; the cross of the two lines decides it.
int CHLC::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high, now;
    if (!GetRangeLevels(index, reason, m_ints[kDays] + m_ints[kMA], 360, &low, &high, 0.4, 0.6) ||
        !Calculate(&now, nullptr, index, false))
        return 0;
    int r = reasonNone;
    const int c = GetCrossSignal(index, m_ints[kBuy], m_ints[kSell], &r);
    if (r == reasonGoldenCross || r == reasonDeadCross) {
        if (reason) *reason = r;
        return c;
    }
    return 0;
}

// ---- CDP ----

CCDP::CCDP() : CTechLines("", {}, {}, {}, "") {}

bool CCDP::Lines(int i, double* v) {
    if (i < 1) return false;
    const KDATA& b = (*m_pKData)[i - 1];
    const double h = b.high, l = b.low, c = b.close;
    const double cdp = (h + l + 2 * c) / 4;
    v[0] = cdp + (h - l);
    v[1] = 2 * cdp - l;
    v[2] = cdp - (h - l);
    v[3] = 2 * cdp - h;
    return true;
}

bool CCDP::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool) {
    double* out[4] = {v1, v2, v3, v4};
    return CalcBar(index, 4, out, [this](int i, double* v) { return Lines(i, v); });
}

bool CCDP::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    return RangePass(4, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return Lines(i, v); });
}

// ---- ASI ----

CASI::CASI() : CLine1("DLL", {6, 10, -10}, {}, {}, "(%d)") {}

namespace {
// The swing index of bar b against the bar p before it: the close's move, half the bar's body and
// the previous body, over three times the range term that the largest of the three gaps picks.
inline bool Swing(const KDATA& b, const KDATA& p, double* si) {
    const double a = std::fabs(double(b.high) - p.close), l = std::fabs(double(b.low) - p.close);
    const double c = std::fabs(double(b.high) - p.low), d = std::fabs(double(p.close) - p.open);
    const double body = double(b.close) - b.open;
    if (a < 0.0001 || l < 0.0001 || d < 0.0001 || std::fabs(body) < 0.0001) return false;
    double r;
    if (a >= l && a >= c)
        r = a + l / 2 + d / 4;
    else if (l >= a && l >= c)
        r = l + a / 2 + d / 4;
    else
        r = c + d / 4;
    const double x = (double(b.close) - p.close) + body / 2 + (double(p.close) - p.open);
    *si = 50 * x / (3 * r);
    return true;
}
}  // namespace

bool CASI::SwingIndex(int i, double* si) const {
    if (i < 1) return false;
    return Swing((*m_pKData)[i], (*m_pKData)[i - 1], si);
}

// The last N counting bars, looked for within kWalkFactor x N bars: a long stretch of bars that
// do not count (a suspended stock) gives no value instead of a walk back to bar 0.
bool CASI::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i < n) return false;
    const int stop = std::max(1, i - kWalkFactor * n + 1);
    double sum = 0;
    int got = 0;
    for (int t = i; t >= stop && got < n; --t) {
        double si;
        if (!SwingIndex(t, &si)) continue;
        sum += si;
        ++got;
    }
    if (got < n) return false;
    *v = sum;
    return true;
}

// A range with nothing cached yet: each bar's swing index once, the last N counting bars kept in a
// ring (bar and value) and summed newest first as Line sums them.
bool CASI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    bool fresh = false;
    if (m_pKData && n >= 1 && n <= kMaxTechDays &&
        FreshPass(1, std::max(start, n), end, min, max, minBar, maxBar, &fresh,
                  [&](int first, int last, double* const* lines) {
                      const KDATA* const b = m_pKData->GetData();
                      const double none = std::numeric_limits<double>::quiet_NaN();
                      const int reach = kWalkFactor * n;  // counting bars lie within this many bars back
                      int bar[kMaxTechDays];
                      double value[kMaxTechDays];
                      int head = 0, count = 0;  // the newest at head - 1, count of them held
                      auto push = [&](int t) __attribute__((always_inline)) {
                          double si;
                          if (!Swing(b[t], b[t - 1], &si)) return;
                          bar[head] = t, value[head] = si;
                          if (++head == n) head = 0;
                          if (count < n) ++count;
                      };
                      for (int t = std::max(1, first - reach + 1); t < first; ++t) push(t);
                      double* const line = lines[0];
                      bool broken = false;
                      for (int i = first; i <= last; ++i) {
                          PrefetchBar(b, i);
                          push(i);
                          double sum = none;
                          // Once n are held, the oldest is the one the next push replaces.
                          if (count == n && bar[head] >= std::max(1, i - reach + 1)) {
                              sum = 0;
                              for (int k = 1, at = head; k <= n; ++k) {
                                  at = at == 0 ? n - 1 : at - 1;
                                  sum += value[at];
                              }
                          }
                          const bool got = std::isfinite(sum);
                          line[i] = got ? sum : none;
                          broken |= !got;
                      }
                      return broken;
                  }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CASI::Line(i, v); });
}

int CASI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high;
    if (!GetRangeLevels(index, reason, m_ints[kDays], kRangeWindow, &low, &high, 0.3, 0.7)) return 0;
    return DivergenceSignal(index, 0, m_ints[kBuy], m_ints[kSell], reason);
}

// ---- ATR ----

CATR::CATR() : CLine1("DLL", {14, 10, -10}, {}, {}, "(%d)") {}

bool CATR::Line(int i, double* v) {
    const int n = m_ints[kDays];
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 1, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
        out[0] += sign * (std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c))));
    });
    if (!s) return false;
    *v = s[0] / n;
    return true;
}

// The true ranges from bar 1 on: each window added afresh when nothing of the range is computed
// yet, else through the base's running window sums.
bool CATR::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    const KDATA* b = m_pKData ? m_pKData->GetData() : nullptr;
    auto range = [b](int t) {
        const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
        return std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c)));
    };
    bool any;
    if (b && FreshPass(1, std::max(start, n), end, min, max, minBar, maxBar, &any,
                       [&](int first, int last, double* const* lines) {
                           return WindowMeansKernel(range, n, first, last, lines[0]);
                       }))
        return any;
    return SumLineRange(n, n, start, end, min, max, minBar, maxBar, range, [n](int, double sum) { return sum / n; });
}

// High volatility gives the first level with reason 9, low volatility the second with reason 8.
int CATR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high, now;
    if (!GetRangeLevels(index, reason, m_ints[kDays], kRangeWindow, &low, &high, 0.3, 0.7) ||
        !Calculate(&now, index, false))
        return 0;
    if (now > high) {
        if (reason) *reason = reasonOversold;
        return m_ints[kHigh];
    }
    if (now < low) {
        if (reason) *reason = reasonOverbought;
        return m_ints[kLow];
    }
    return 0;
}

// Range passes with each class's own line called directly; a range none of whose bars is cached
// yet runs the window sums' kernel instead, with the same steps, from the first bar with a value.
bool CREI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    bool fresh = false;
    if (FreshPass(1, std::max(start, n + 7), end, min, max, minBar, maxBar, &fresh,
                  [&](int first, int last, double* const* lines) {
                      const KDATA* b = m_pKData->GetData();
                      return SumsKernel(
                          m_sums, n, 8, first, last, lines[0],
                          [b](int t, double* x) {
                              const double dh = double(b[t].high) - b[t - 2].high, dl = double(b[t].low) - b[t - 2].low;
                              const bool above = b[t - 7].close > b[t - 2].high && b[t - 8].close > b[t - 2].high &&
                                                 b[t - 5].low > b[t].high && b[t - 6].low > b[t].high;
                              const bool below = b[t - 7].close < b[t - 2].low && b[t - 8].close < b[t - 2].low &&
                                                 b[t - 5].high < b[t].low && b[t - 6].high < b[t].low;
                              x[0] = above || below ? 0 : dh + dl;
                              x[1] = std::fabs(dh) + std::fabs(dl);
                          },
                          [](int, const double* s, double* v) {
                              if (std::fabs(s[1]) < 0.0001) return false;
                              *v = s[0] / s[1];
                              return true;
                          });
                  }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CREI::Line(i, v); });
}

bool CDMKI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    bool fresh = false;
    if (FreshPass(1, std::max(start, n), end, min, max, minBar, maxBar, &fresh,
                  [&](int first, int last, double* const* lines) {
                      const KDATA* b = m_pKData->GetData();
                      return SumsKernel(
                          m_sums, n, 1, first, last, lines[0],
                          [b](int t, double* x) {
                              x[0] = AtLeastZero(double(b[t].high) - b[t - 1].high);
                              x[1] = AtLeastZero(double(b[t - 1].low) - b[t].low);
                          },
                          [](int, const double* s, double* v) {
                              const double sum = s[0] + s[1];
                              if (std::fabs(sum) < 0.0001) return false;
                              *v = s[0] / sum;
                              return true;
                          });
                  }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CDMKI::Line(i, v); });
}

// The one-bar change through ROC's kernel when nothing of the range is computed yet.
bool CPCNT::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    return ChangeRange<PriceChange>(1, start, end, min, max, minBar, maxBar);
}

// The weighted prices read once a block into contiguous doubles, each window added afresh in
// vector steps (the running sum of Line gives the same within rounding, and no absurd bar leaves
// rounding behind in these); a range with nothing cached goes through the kernel of a line and
// its average.
bool CHLC::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n = m_ints[kDays], m = MaDays();
    const KDATA* b = m_pKData->GetData();
    auto weighted = [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; };
    // The weighted prices of the n - 1 bars before the block, then the block's.
    std::vector<double> terms(size_t(n - 1) + kLineBlock);
    int next = -1;  // the bar after the last block
    auto means = [&](int b0, int len, double* xs) {
        double* const x = terms.data() + (n - 1);
        if (b0 != next)
            for (int t = b0 - n + 1; t < b0; ++t) x[t - b0] = t >= 0 ? weighted(t) : 0.0;
        for (int j = 0; j < len; ++j) x[j] = weighted(b0 + j);
        next = b0 + len;
        const int k = std::max(0, n - 1 - b0);  // bars before the first whole window have none
        if (k < len) {
            if (n == 12)
                change_kernel::Means<12>(x + k, len - k, n, xs + k);
            else
                change_kernel::Means<0>(x + k, len - k, n, xs + k);
        }
        std::copy(terms.begin() + len, terms.begin() + len + (n - 1), terms.begin());
        return k;
    };
    auto block = [&](int b0, int b1, double* xs, unsigned char* got) {
        const int k = means(b0, b1 - b0 + 1, xs);
        for (int j = 0; j < b1 - b0 + 1; ++j) got[j] = j >= k && std::isfinite(xs[j]);
    };
    // The bars before the first that can have both lines cache what the walk caches of them.
    const int whole = n + m - 2;
    if (start < whole) LineMABlocks(start, std::min(end, whole - 1), nullptr, nullptr, nullptr, nullptr, block);
    bool any;
    if (FreshPass(2, std::max(start, whole), end, min, max, minBar, maxBar, &any,
                  [&](int first, int last, double* const* lines) {
                      next = -1;
                      auto single = [&](int t, double* x) {
                          if (t < n - 1) return false;
                          double s = 0;
                          for (int j = t - n + 1; j <= t; ++j) s += weighted(j);
                          *x = s / n;
                          return bool(std::isfinite(*x));
                      };
                      auto fill = [&](int b0, int len, double* x, unsigned char* has) {
                          means(b0, len, x);
                          bool all = true;
                          for (int j = 0; j < len; ++j) all &= bool(std::isfinite(x[j]));
                          if (!all)
                              for (int j = 0; j < len; ++j) has[j] = std::isfinite(x[j]);
                          return all;
                      };
                      return AveragedKernel(m, first, last, lines, single, fill);
                  }))
        return any;
    next = -1;
    return LineMABlocks(start, end, min, max, minBar, maxBar, block);
}
