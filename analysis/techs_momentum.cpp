// Momentum oscillators: KDJ (and id 58's core), R, RSI, BIAS, MTM, DMI, ROC and CCI.
#include "analysis/techs_momentum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Highest high and lowest low of the n bars ending at i.
void WindowHighLow(const KDATA* b, int i, int n, double* high, double* low) {
    double h = b[i].high, l = b[i].low;
    for (int t = i - n + 1; t < i; ++t) {
        h = std::max(h, double(b[t].high));
        l = std::min(l, double(b[t].low));
    }
    *high = h;
    *low = l;
}

// The highest high and lowest low of the n bars ending at each bar first..last (first >= n - 1),
// given to emit(i, high, low) in increasing bar order, equal to what WindowHighLow gives. The bars
// go in segments of n (bar t in segment t / n): a window is the tail of one segment and the head
// of the next, whose extremes run from the segment's ends inward, so that each bar costs three
// comparisons an extreme and no branch. A window touching a segment with a NaN is taken by
// WindowHighLow itself, which passes over a NaN unless it is the bar's own.
template <class Emit>
void WindowExtremes(const KDATA* b, int n, int first, int last, Emit&& emit) {
    std::vector<float> buffer(8 * size_t(n));
    float* highs[2] = {buffer.data(), buffer.data() + n};  // the previous segment's, the current's
    float* lows[2] = {buffer.data() + 2 * n, buffer.data() + 3 * n};
    float* const tailHigh = buffer.data() + 4 * n;  // extremes from bar k of the previous segment to its end
    float* const tailLow = tailHigh + n;
    float* const headHigh = tailLow + n;  // extremes from the current segment's start to bar k
    float* const headLow = headHigh + n;
    bool broken[2] = {false, false};
    auto load = [&](int segment, int slot) {
        const int from = segment * n, to = std::min(from + n - 1, last);
        float* h = highs[slot];
        float* l = lows[slot];
        bool nan = false;
        for (int t = from; t <= to; ++t) {
            CTechnique::PrefetchBar(b, t);
            h[t - from] = b[t].high, l[t - from] = b[t].low;
            nan |= (h[t - from] != h[t - from]) | (l[t - from] != l[t - from]);
        }
        broken[slot] = nan;
    };
    const int firstSegment = first / n;
    if (firstSegment > 0) load(firstSegment - 1, 1);
    for (int segment = firstSegment; segment <= last / n; ++segment) {
        std::swap(highs[0], highs[1]);
        std::swap(lows[0], lows[1]);
        std::swap(broken[0], broken[1]);
        load(segment, 1);
        const int base = segment * n, to = std::min(base + n - 1, last);
        if (segment > 0) {
            const float* h = highs[0];
            const float* l = lows[0];
            tailHigh[n - 1] = h[n - 1], tailLow[n - 1] = l[n - 1];
            for (int k = n - 2; k >= 0; --k)
                tailHigh[k] = std::max(h[k], tailHigh[k + 1]), tailLow[k] = std::min(l[k], tailLow[k + 1]);
        }
        const float* h = highs[1];
        const float* l = lows[1];
        headHigh[0] = h[0], headLow[0] = l[0];
        for (int k = 1; k <= to - base; ++k)
            headHigh[k] = std::max(headHigh[k - 1], h[k]), headLow[k] = std::min(headLow[k - 1], l[k]);
        for (int i = std::max(first, base); i <= to; ++i) {
            const int k = i - base;
            double high, low;
            if (broken[1] || (broken[0] && k < n - 1)) {
                WindowHighLow(b, i, n, &high, &low);
            } else if (k == n - 1) {
                high = headHigh[k], low = headLow[k];
            } else {
                high = std::max(tailHigh[k + 1], headHigh[k]), low = std::min(tailLow[k + 1], headLow[k]);
            }
            emit(i, high, low);
        }
    }
}

}  // namespace

// ---- KDJ ----

bool CKDJBase::Rsv(int i, double* rsv) const {
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const KDATA* b = m_pKData->GetData();
    double h, l;
    WindowHighLow(b, i, n, &h, &l);
    *rsv = h - l < 0.0001 ? 100 : (b[i].close - l) * 100 / (h - l);
    // A broken bar in the window gives no RSV: the averages pass over it.
    return std::isfinite(*rsv) && std::isfinite(h) && std::isfinite(l);
}

void CKDJBase::Step(int i, double* v) const {
    double rsv;
    if (Rsv(i, &rsv)) Smooth(rsv, v);
}

void CKDJBase::Smooth(double rsv, double* v) const {
    const int mk = m_ints[kKDays], md = m_ints[kDDays];
    v[0] = ((mk - 1) * v[0] + rsv) / mk;
    v[1] = ((md - 1) * v[1] + v[0]) / md;
    v[2] = m_ints[kJMode] == 1 ? 3 * v[0] - 2 * v[1] : 3 * v[1] - 2 * v[0];
}

bool CKDJBase::Calculate(double* v1, double* v2, double* v3, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (index + 1 < m_ints[kDays]) return false;
    double v[3];
    if (!LoadComputed(index, v, 3)) {
        double rsv;
        if (!Rsv(index, &rsv)) return false;
        if (useLast && v1 && v2 && index > 0) {
            v[0] = *v1, v[1] = *v2;
            Smooth(rsv, v);
        } else {
            v[0] = v[1] = 50;
            for (int t = WarmUpStart(index); t <= index; ++t) Step(t, v);
        }
        StoreComputed(index, v, 3);
    }
    if (v1) *v1 = v[0];
    if (v2) *v2 = v[1];
    if (v3) *v3 = v[2];
    return true;
}

bool CKDJBase::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    // K and D of the last bar of this pass that computed.
    int last = -1;
    double k = 50, d = 50;
    // The parameters and the bars held in locals for the pass.
    EnsureParameters();
    const int n = m_ints[kDays], mk = m_ints[kKDays], md = m_ints[kDDays];
    const bool jFromK = m_ints[kJMode] == 1;
    const KDATA* const b = m_pKData ? m_pKData->GetData() : nullptr;
    // Nothing of the range computed yet: the window extremes by segments, the smoothing bar after
    // bar as below.
    bool any;
    if (FreshPass(3, std::max(start, n - 1), end, min, max, minBar, maxBar, &any,
                  [&](int first, int last, double* const* lines) {
                      const double none = std::numeric_limits<double>::quiet_NaN();
                      double* const l0 = lines[0];
                      double* const l1 = lines[1];
                      double* const l2 = lines[2];
                      bool broken = false;
                      // K and D (k0, d0 until a bar has them; then kk, dd, locals whose address
                      // never escapes, so that the smoothing keeps them in registers); the day
                      // counts as doubles once.
                      double k0 = 50, d0 = 50;
                      bool known = first > 0 && GetCached(1, first - 1, &k0) && GetCached(2, first - 1, &d0);
                      const double kOld = mk - 1, kDays = mk, dOld = md - 1, dDays = md;
                      auto rsvOf = [b](int i, double h, double l, double* rsv) {
                          *rsv = h - l < 0.0001 ? 100 : (b[i].close - l) * 100 / (h - l);
                          // A broken bar in the window gives no RSV.
                          return std::isfinite(*rsv) && std::isfinite(h) && std::isfinite(l);
                      };
                      // Until a bar has K and D, each bar in full (its own warm-up); then the
                      // smoothing alone, with no call in the loop that would make K and D
                      // leave the registers.
                      int from = first;
                      for (; from <= last && !known; ++from)
                          WindowExtremes(b, n, from, from, [&](int i, double h, double l) {
                              double rsv, v[3];
                              if (!rsvOf(i, h, l, &rsv) || !Calculate(&v[0], &v[1], &v[2], i, false)) {
                                  l0[i] = l1[i] = l2[i] = none;
                                  broken = true;
                                  return;
                              }
                              k0 = v[0], d0 = v[1], known = true;
                              l0[i] = v[0], l1[i] = v[1], l2[i] = v[2];
                          });
                      double kk = k0, dd = d0;
                      if (from <= last)
                          WindowExtremes(b, n, from, last, [&](int i, double h, double l) {
                              double rsv;
                              if (__builtin_expect(!rsvOf(i, h, l, &rsv), 0)) {
                                  l0[i] = l1[i] = l2[i] = none;
                                  broken = true;
                                  return;
                              }
                              // Smooth's steps with the parameters at hand.
                              kk = (kOld * kk + rsv) / kDays;
                              dd = (dOld * dd + kk) / dDays;
                              l0[i] = kk, l1[i] = dd, l2[i] = jFromK ? 3 * kk - 2 * dd : 3 * dd - 2 * kk;
                          });
                      return broken;
                  }))
        return any;
    return RangePass(3, start, end, min, max, minBar, maxBar, [&](int i, double* v) {
        if (i + 1 < n) return false;
        double h, l;
        WindowHighLow(b, i, n, &h, &l);
        const double rsv = h - l < 0.0001 ? 100 : (b[i].close - l) * 100 / (h - l);
        if (!(std::isfinite(rsv) && std::isfinite(h) && std::isfinite(l))) {
            // A broken bar: the averages stay as they were at the bar before.
            if (last >= 0 && last == i - 1) last = i;
            return false;
        }
        // Continued from the bar before when it is known, else in full.
        if ((last >= 0 && last == i - 1) || (i > 0 && GetCached(1, i - 1, &k) && GetCached(2, i - 1, &d))) {
            // Smooth's steps with the parameters at hand.
            v[0] = ((mk - 1) * k + rsv) / mk;
            v[1] = ((md - 1) * d + v[0]) / md;
            v[2] = jFromK ? 3 * v[0] - 2 * v[1] : 3 * v[1] - 2 * v[0];
        } else if (!Calculate(&v[0], &v[1], &v[2], i, false)) {
            return false;
        }
        k = v[0], d = v[1], last = i;
        return true;
    });
}

int CKDJBase::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index)) return 0;
    EnsureParameters();
    // The whole series once; later calls find their bars cached.
    if (!GetCached(1, index, nullptr)) PrepareCache(0, -1, false);
    double k, d;
    if (!Calculate(&k, &d, nullptr, index, false)) return 0;
    if (k < 25 && d < 25 && IsCrossUp(index, 1, 2)) {
        if (reason) *reason = reasonGoldenCross;
        return m_ints[kBuy];
    }
    if (k > 75 && d > 75 && IsCrossDown(index, 1, 2)) {
        if (reason) *reason = reasonDeadCross;
        return m_ints[kSell];
    }
    return 0;
}

CKDJ::CKDJ() : CKDJBase("DDDDLL", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

int CKDJ::WarmUpStart(int index) const {
    const double a = double(m_ints[kKDays] - 1) / m_ints[kKDays], b = double(m_ints[kDDays] - 1) / m_ints[kDDays];
    return std::max(0, index - (DecayBars({a, b}) - 1));
}



// ---- R ----

CR::CR() : CLine1("D", {20}, {}, {}, "%d") {}

bool CR::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const KDATA* b = m_pKData->GetData();
    double h, l;
    WindowHighLow(b, i, n, &h, &l);
    *v = h - l < 0.0001 ? 100 : (h - b[i].close) * 100 / (h - l);
    return true;
}

// ---- RSI ----

CRSI::CRSI() : CTechLines("ALLL", {10, 15, -15}, {}, {10, 20}, "A") {}

bool CRSI::Value(int i, int days, WindowSums<2>& sums, double* v) {
    if (days < 1 || i < days || i < 1) return false;
    const CKData& k = *m_pKData;
    const double* s = Sums(sums, i, days, [&k](int t, double sign, double* out) {
        const double change = Price(k, t) - Price(k, t - 1);
        out[0] += sign * (change > 0 ? change : 0);
        out[1] += sign * (change < 0 ? -change : 0);
    });
    const double total = s[0] + s[1];
    if (!std::isfinite(total)) return false;
    *v = total < 0.0001 ? 100 : s[0] * 100 / total;
    return true;
}

// Each of the first five day counts keeps its own cache line and running sums.
bool CRSI::Calculate(double* v, int index, int days, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int line = DayCacheLine(m_days, days);
    double x;
    if (line >= 0 && GetCached(line + 1, index, &x)) {
        if (v) *v = x;
        return true;
    }
    if (!Value(index, days, m_sums[line >= 0 ? line : kLines], &x)) return false;
    if (line >= 0) StoreLine(line, index, x);
    if (v) *v = x;
    return true;
}

bool CRSI::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        const bool fresh = start > m_nLastStored;  // no line has any bar of the range cached
        const int count = m_days.GetSize();
        bool done = false;
        if (fresh)
            WithSumCount(count, [&](auto c) { done = FreshAll<decltype(c)::value>(start, end, &lo, &hi, &any); });
        for (int d = 0; d < count && !done; ++d) {
            const int days = int(m_days[d]), line = DayCacheLine(m_days, days);
            if (fresh && line >= 0 && FreshDays(line, days, start, end, &lo, &hi, &any)) continue;
            for (int i = start; i <= end; ++i) {
                double x;
                if (!(line >= 0 && GetCached(line + 1, i, &x))) {
                    if (!Value(i, days, m_sums[line >= 0 ? line : kLines], &x)) continue;
                    if (line >= 0) StoreLine(line, i, x);
                }
                if (!any || x < lo) lo = x;
                if (!any || x > hi) hi = x;
                any = true;
            }
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// The bars start..end of a cache line none of whose bars there is cached: Value's steps of the
// window sums, with the sums and the price mode held in locals and the line written plainly, so
// that each bar gets what Value gives it. False (nothing done) when the cache cannot take them.
bool CRSI::FreshDays(int line, int days, int start, int end, double* lo, double* hi, bool* any) {
    if (!OpenLines(0) || !UseLine(line) || start < m_nCacheStart || end >= CacheEnd()) return false;
    const int from = std::max({start, days, 1});
    if (days < 1 || from > end) return true;
    WindowSums<2>& w = m_sums[line];
    double* const out = m_pCache[line];
    const int base = m_nCacheStart;
    const unsigned now = m_epoch;
    bool broken = false;
    WithPrices(*m_pKData, [&](const auto& price) {
        double s0 = w.s[0], s1 = w.s[1], peak = w.peak;
        unsigned epoch = w.epoch;
        int at = w.at, len = w.len, moves = w.moves;
        double l = *lo, h = *hi;
        bool got = *any, bad = false;  // in locals, so that the loop keeps its sums in registers
        for (int i = from; i <= end; ++i) {
            bool afresh = true;
            if (at == i - 1 && epoch == now && len == days && at >= 0 && moves < 1024) {
                const double out0 = price(i - days) - price(i - days - 1), in = price(i) - price(i - 1);
                double t0 = s0, t1 = s1;
                t0 += -1.0 * (out0 > 0 ? out0 : 0);
                t1 += -1.0 * (out0 < 0 ? -out0 : 0);
                t0 += in > 0 ? in : 0;
                t1 += in < 0 ? -in : 0;
                s0 = t0, s1 = t1;
                const double a = std::fabs(t0) + std::fabs(t1);
                ++moves;
                at = i;
                peak = std::max(peak, a);
                afresh = !(a * 16 >= peak);
            } else if (at == i && epoch == now && len == days) {
                afresh = false;
            }
            if (afresh) {
                s0 = s1 = 0;
                for (int j = i - days + 1; j <= i; ++j) {
                    const double c = price(j) - price(j - 1);
                    s0 += c > 0 ? c : 0;
                    s1 += c < 0 ? -c : 0;
                }
                peak = std::fabs(s0) + std::fabs(s1);
                moves = 0;
                epoch = now;
                at = i;
                len = days;
            }
            const double total = s0 + s1;
            if (!std::isfinite(total)) {
                out[i - base] = std::numeric_limits<double>::quiet_NaN();
                bad = true;
                continue;
            }
            const double x = total < 0.0001 ? 100 : s0 * 100 / total;
            out[i - base] = x;
            bad |= !std::isfinite(x);
            if (!got || x < l) l = x;
            if (!got || x > h) h = x;
            got = true;
        }
        w.s[0] = s0, w.s[1] = s1, w.peak = peak, w.epoch = epoch, w.at = at, w.len = len, w.moves = moves;
        *lo = l, *hi = h, *any = got;
        broken = bad;
    });
    MarkComputedFinite(line, from - base, end - base, broken);
    return true;
}

// FreshDays over every day count in one pass: each bar's change worked out once and kept in a
// ring until the longest window lets it go, every line's sums stepped in locals as FreshDays
// steps them. False (nothing done) unless each day count has a cache line of its own that can
// take the bars.
template <int C>
bool CRSI::FreshAll(int start, int end, double* lo, double* hi, bool* any) {
    int days[C], line[C], from[C];
    int most = 1, first = end + 1;
    if (!OpenLines(0) || start < m_nCacheStart || end >= CacheEnd()) return false;
    for (int j = 0; j < C; ++j) {
        days[j] = int(m_days[j]);
        line[j] = DayCacheLine(m_days, days[j]);
        if (days[j] < 1 || line[j] < 0 || !UseLine(line[j])) return false;
        for (int k = 0; k < j; ++k)
            if (line[k] == line[j]) return false;
        most = std::max(most, days[j]);
        from[j] = std::max({start, days[j], 1});
        first = std::min(first, from[j]);
    }
    if (first > end) return true;
    const int base = m_nCacheStart;
    const unsigned now = m_epoch;
    int size = 1;
    while (size < most + 1) size <<= 1;
    const int mask = size - 1;
    m_ring.resize(size_t(size) * 2);
    double* const ring = m_ring.data();  // rise and fall of bar t at 2 * (t & mask)
    bool broken[C];
    WithPrices(*m_pKData, [&](const auto& price) {
        double s0[C], s1[C], peak[C];
        int moves[C];
        bool steps[C];  // stands at the bar before: stepped on
        double* out[C];
        for (int j = 0; j < C; ++j) {
            const WindowSums<2>& w = m_sums[line[j]];
            s0[j] = w.s[0], s1[j] = w.s[1], peak[j] = w.peak, moves[j] = w.moves;
            out[j] = m_pCache[line[j]] - base;
            broken[j] = false;
        }
        double l = *lo, h = *hi;
        bool got = *any;
        for (int t = std::max(1, first - most); t < first; ++t) {
            const double c = price(t) - price(t - 1);
            ring[2 * (t & mask)] = c > 0 ? c : 0;
            ring[2 * (t & mask) + 1] = c < 0 ? -c : 0;
        }
        const KDATA* const bars = m_pKData->GetData();
        for (int i = first; i <= end; ++i) {
            PrefetchBar(bars, i);
            const double c = price(i) - price(i - 1);
            const double up = c > 0 ? c : 0, down = c < 0 ? -c : 0;
            ring[2 * (i & mask)] = up;
            ring[2 * (i & mask) + 1] = down;
            for (int j = 0; j < C; ++j) {
                const int n = days[j];
                bool afresh = true;
                if (i == from[j]) {
                    // The state FreshDays finds in the window sums at its first bar.
                    const WindowSums<2>& w = m_sums[line[j]];
                    steps[j] = w.at == i - 1 && w.epoch == now && w.len == n && w.at >= 0;
                    if (w.at == i && w.epoch == now && w.len == n && !(steps[j] && moves[j] < 1024)) afresh = false;
                } else if (i < from[j]) {
                    continue;
                }
                if (steps[j] && moves[j] < 1024) {
                    const double* gone = ring + 2 * ((i - n) & mask);
                    double t0 = s0[j], t1 = s1[j];
                    t0 += -1.0 * gone[0];
                    t1 += -1.0 * gone[1];
                    t0 += up;
                    t1 += down;
                    s0[j] = t0, s1[j] = t1;
                    const double a = std::fabs(t0) + std::fabs(t1);
                    ++moves[j];
                    peak[j] = std::max(peak[j], a);
                    afresh = !(a * 16 >= peak[j]);
                }
                steps[j] = true;
                if (__builtin_expect(afresh, 0)) {
                    double a0 = 0, a1 = 0;
                    for (int u = i - n + 1; u <= i; ++u) a0 += ring[2 * (u & mask)], a1 += ring[2 * (u & mask) + 1];
                    s0[j] = a0, s1[j] = a1;
                    peak[j] = std::fabs(a0) + std::fabs(a1);
                    moves[j] = 0;
                }
                const double total = s0[j] + s1[j];
                if (__builtin_expect(!std::isfinite(total), 0)) {
                    out[j][i] = std::numeric_limits<double>::quiet_NaN();
                    broken[j] = true;
                    continue;
                }
                const double x = total < 0.0001 ? 100 : s0[j] * 100 / total;
                out[j][i] = x;
                broken[j] |= !std::isfinite(x);
                l = !got || x < l ? x : l;
                h = !got || x > h ? x : h;
                got = true;
            }
        }
        for (int j = 0; j < C; ++j) {
            WindowSums<2>& w = m_sums[line[j]];
            if (from[j] > end) continue;
            w.s[0] = s0[j], w.s[1] = s1[j], w.peak = peak[j], w.moves = moves[j];
            w.epoch = now, w.at = end, w.len = days[j];
        }
        *lo = l, *hi = h, *any = got;
    });
    for (int j = 0; j < C; ++j)
        if (from[j] <= end) MarkComputedFinite(line[j], from[j] - base, end - base, broken[j]);
    return true;
}

int CRSI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index) || index < 1) return 0;
    EnsureParameters();
    int r = reasonNone;
    const int c = GetMACrossSignal(index, m_days, m_ints[kBuy], m_ints[kSell], &r);
    for (int d = 0; d < m_days.GetSize(); ++d) {
        double before, x;
        if (!Calculate(&before, index - 1, int(m_days[d]), false) || !Calculate(&x, index, int(m_days[d]), false))
            break;
        if (x < 20) {
            if (reason) *reason = reasonOversold;
            return m_ints[kOversold];
        }
        if (x < 40 && r == reasonGoldenCross && c == m_ints[kBuy]) {
            if (reason) *reason = reasonGoldenCross;
            return m_ints[kBuy];
        }
        if (x > 60 && r == reasonDeadCross && c == m_ints[kSell]) {
            if (reason) *reason = reasonDeadCross;
            return m_ints[kSell];
        }
    }
    return 0;
}

// ---- BIAS ----

CBIAS::CBIAS() : CLine1("DLL", {10, 10, -10}, {}, {}, "(%d)") {}

bool CBIAS::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const int n = m_ints[kDays];
    const double* s =
        DaySums(m_sums, i, kDays, 0, [&k](int t, double sign, double* out) __attribute__((always_inline)) { out[0] += sign * Price(k, t); });
    if (!s) return false;
    const double average = s[0] / n;
    *v = average > 0.0001 ? (Price(k, i) - average) * 100 / average : 0;
    return true;
}

// The average from the base's running window sums, as MA's range walk takes it.
bool CBIAS::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    if (!m_pKData)
        return SumLineRange(1, 0, start, end, min, max, minBar, maxBar, [](int) { return 0.0; },
                            [](int, double) { return 0.0; });
    const int n = m_ints[kDays];
    bool fresh = false;
    // Filling the cache alone, with nothing of the range cached yet: the same sums (RunWindowSums'
    // steps and refreshes) a block at a time, then the block's lines in vector steps.
    if (!min && !max && !minBar && !maxBar && n >= 1 &&
        FreshPass(1, std::max(start, n - 1), end, nullptr, nullptr, nullptr, nullptr, &fresh,
                  [&](int first, int last, double* const* lines) {
                      return WithPrices(*m_pKData, [&](const auto& price) {
                          const KDATA* const bars = m_pKData->GetData();
                          enum { kBlock = 256 };
                          double sums[kBlock], prices[kBlock];
                          CWindowSum w;
                          int restart = first;
                          int broken = 0;
                          for (int b0 = first; b0 <= last; b0 += kBlock) {
                              const int count = std::min(int(kBlock), last - b0 + 1);
                              for (int c = 0; c < count; ++c) {
                                  const int t = b0 + c;
                                  PrefetchBar(bars, t);
                                  const double p = price(t);
                                  prices[c] = p;
                                  if (t == restart) {
                                      sums[c] = w.Start(t, n, price);
                                      restart = t + CWindowSum::kRefresh;
                                      continue;
                                  }
                                  if (__builtin_expect(!w.Step(p, price(t - n)), 0)) w.Start(t, n, price);
                                  sums[c] = w.GetSum();
                              }
                              double* const x = lines[0] + b0;
                              int c = 0;
                              // Two bars to an instruction, each rounded as on its own.
                              const __m128d days = _mm_set1_pd(n), hundred = _mm_set1_pd(100), least = _mm_set1_pd(0.0001);
                              __m128d bad = _mm_setzero_pd();
                              for (; c + 2 <= count; c += 2) {
                                  const __m128d average = _mm_div_pd(_mm_loadu_pd(sums + c), days);
                                  const __m128d bias = _mm_div_pd(
                                      _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(prices + c), average), hundred), average);
                                  const __m128d v = _mm_and_pd(_mm_cmpgt_pd(average, least), bias);
                                  _mm_storeu_pd(x + c, v);
                                  const __m128d d = _mm_sub_pd(v, v);  // NaN unless finite
                                  bad = _mm_or_pd(bad, _mm_cmpunord_pd(d, d));
                              }
                              broken += _mm_movemask_pd(bad);
                              for (; c < count; ++c) {
                                  const double average = sums[c] / n;
                                  x[c] = average > 0.0001 ? (prices[c] - average) * 100 / average : 0.0;
                                  broken += !(x[c] - x[c] == 0);  // not finite
                              }
                          }
                          return broken > 0;
                      });
                  }))
        return fresh;
    return WithPrices(*m_pKData, [&](const auto& price) {
        return SumLineRange(n, n - 1, start, end, min, max, minBar, maxBar, price, [&price, n](int i, double sum) {
            const double average = sum / n;
            return average > 0.0001 ? (price(i) - average) * 100 / average : 0.0;
        });
    });
}

int CBIAS::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double now;
    if (!Calculate(&now, index, false)) return 0;
    return LevelSignal(now, -10, 5, m_ints[kBuy], m_ints[kSell], reasonOversold, reasonOverbought, reason);
}

// ---- MTM, ROC ----

CMTM::CMTM() : CChangeLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}

bool CMTM::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i < n) return false;
    const double then = Price(*m_pKData, i - n);
    if (!(then > 0)) return false;
    *v = Price(*m_pKData, i) * 100 / then;
    return true;
}

namespace {
// Both lines below the low level with line 1 crossing up, or above the high level crossing down.
int CrossInZone(CTechnique& t, int index, int minBars, double f1, double f2, int buy, int sell, int* reason) {
    if (reason) *reason = reasonNone;
    double low, high, a, b;
    if (index < 1 || !t.GetRangeLevels(index, reason, minBars, kRangeWindow, &low, &high, f1, f2) ||
        !t.Calculate(nullptr, nullptr, index - 1, false) || !t.Calculate(&a, &b, index, false))
        return 0;
    if (a < low && b < low && t.IsCrossUp(index, 1, 2)) {
        if (reason) *reason = reasonGoldenCross;
        return buy;
    }
    if (a > high && b > high && t.IsCrossDown(index, 1, 2)) {
        if (reason) *reason = reasonDeadCross;
        return sell;
    }
    return 0;
}
}  // namespace

int CMTM::GetSignal(int index, int* reason) {
    EnsureParameters();
    return CrossInZone(*this, index, m_ints[kDays] + m_ints[kMA], 0.3, 0.6, m_ints[kBuy], m_ints[kSell], reason);
}

CROC::CROC() : CChangeLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}

bool CROC::Line(int i, double* v) {
    const int n = m_ints[kDays];
    return i >= n && PercentChange(Price(*m_pKData, i), Price(*m_pKData, i - n), v);
}

int CROC::GetSignal(int index, int* reason) {
    EnsureParameters();
    return CrossInZone(*this, index, m_ints[kDays] + m_ints[kMA], 0.309, 0.6, m_ints[kBuy], m_ints[kSell], reason);
}

// ---- DMI ----

CDMI::CDMI() : CTechLines("D", {7}, {}, {}, "(%d)") {}

bool CDMI::Directions(int i, double* plus, double* minus, double* dx) {
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 1, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
        out[0] += sign * (AtLeastZero(h - b[t - 1].high));
        out[1] += sign * (AtLeastZero(double(b[t - 1].low) - l));
        out[2] += sign * (std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c))));
    });
    if (!s) return false;
    // A broken bar in the window gives no DX: the ADX passes over it.
    if (!(std::fabs(s[2]) >= 0.0001) || !(std::fabs(s[0] + s[1]) >= 0.0001) || !std::isfinite(s[2])) return false;
    const double p = s[0] * 100 / s[2], m = s[1] * 100 / s[2];
    if (!std::isfinite(p) || !std::isfinite(m)) return false;
    *plus = p;
    *minus = m;
    *dx = std::fabs(p - m) * 100 / (p + m);
    return true;
}

// ADX is smoothed from 0 and needs about 45 bars with a DX (N = 7) before it to settle; bars
// without a DX keep the previous ADX and do not count, so the warm-up reaches back past them (a
// suspension of any length). Nothing before bar 2N, so that the ADX of the bar N back, which ADXR
// takes, has a DX of its own behind it.
int CDMI::WarmUpStart(int i) {
    const int need = DecayBars({double(m_ints[kDays] - 1) / m_ints[kDays]}) - 1;
    int from = i, counted = 0;
    double p, m, x;
    while (from > 0 && counted < need) {
        --from;
        if (Directions(from, &p, &m, &x)) ++counted;
    }
    return from;
}

bool CDMI::Full(int i, double* v) {
    const int n = m_ints[kDays];
    double plus, minus, dx;
    if (i < 2 * n || !Directions(i, &plus, &minus, &dx)) return false;
    double adx = 0, back = 0;
    for (int t = WarmUpStart(i - n); t <= i; ++t) {
        double p, m, x;
        if (Directions(t, &p, &m, &x)) adx = ((n - 1) * adx + x) / n;
        if (t == i - n) back = adx;
    }
    v[0] = plus, v[1] = minus, v[2] = adx, v[3] = (adx + back) / 2;
    return true;
}

bool CDMI::Tracked() const {
    const CKData& k = *m_pKData;
    if (m_run.epoch != m_epoch || m_run.n != m_ints[kDays] || m_run.seen < 0 || m_run.seen >= k.GetSize() ||
        m_run.exright != k.GetExrightMode())
        return false;
    const int from = std::max(0, m_run.seen - m_run.n);
    for (int t = from; t <= m_run.seen; ++t) {
        const KDATA& a = k[t];
        const KDATA& b = m_run.snapshot[size_t(t - from)];
        // A bar that is not a number never compares equal: the run is then taken afresh.
        if (a.date != b.date || a.open != b.open || a.high != b.high || a.low != b.low || a.close != b.close)
            return false;
    }
    return true;
}

void CDMI::Track(int at) {
    const CKData& k = *m_pKData;
    m_run.epoch = m_epoch;
    m_run.n = m_ints[kDays];
    m_run.exright = k.GetExrightMode();
    m_run.seen = at;
    const int from = std::max(0, at - m_run.n);
    m_run.snapshot.assign(k.GetData() + from, k.GetData() + at + 1);
}

bool CDMI::FromTail(int index, double* v, bool* ok) const {
    if (m_run.tailEpoch != m_epoch || m_run.tailN != m_ints[kDays] || m_run.tailFirst < 0 ||
        index < m_run.tailFirst || index >= m_run.tailFirst + int(m_run.tailOk.size()) || index > m_run.seen ||
        !Tracked())
        return false;
    const int at = index - m_run.tailFirst;
    *ok = m_run.tailOk[size_t(at)] != 0;
    for (int k = 0; k < 4; ++k) v[k] = m_run.tail[size_t(4 * at + k)];
    return true;
}

void CDMI::ToTail(int index, const double* v, bool ok) {
    const int n = m_ints[kDays];
    int at = index - m_run.tailFirst;
    if (m_run.tailEpoch != m_epoch || m_run.tailN != n || m_run.tailFirst < 0 || at < 0 ||
        at > int(m_run.tailOk.size())) {
        m_run.tailEpoch = m_epoch;
        m_run.tailN = n;
        m_run.tailFirst = index;
        at = 0;
    }
    m_run.tailOk.resize(size_t(at));
    m_run.tail.resize(size_t(4 * at));
    m_run.tailOk.push_back(ok ? 1 : 0);
    for (int k = 0; k < 4; ++k) m_run.tail.push_back(ok ? v[k] : 0);
}

// One step of the kept run to bar index (the run stands at the bar before).
bool CDMI::StepRun(int index, double* v) {
    const int n = m_run.n;
    double dx;
    const bool has = Directions(index, &v[0], &v[1], &dx);
    if (has) m_run.adx = ((n - 1) * m_run.adx + dx) / n;
    m_run.ring[size_t(index % (n + 1))] = m_run.adx;
    m_run.at = index;
    bool ok = has && index >= 2 * n;
    if (ok) {
        v[2] = m_run.adx;
        v[3] = (m_run.adx + m_run.ring[size_t((index - n) % (n + 1))]) / 2;
        ok = AllFinite(v, 4);
    }
    ToTail(index, v, ok);
    Track(index);
    return ok;
}

bool CDMI::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    double v[4];
    // Bars past the cache: from their tail, or one step on from the kept run.
    const bool past = CacheEnd() > 0 && index >= CacheEnd();
    bool got;
    if (LoadComputed(index, v, 4)) {
    } else if (past && FromTail(index, v, &got)) {
        if (!got) return false;
    } else if (past && index >= 1 && m_run.at == index - 1 && Tracked()) {
        if (!StepRun(index, v)) return false;
    } else {
        double dx;
        if (useLast && v3 && index >= 2 * n && Directions(index, &v[0], &v[1], &dx)) {
            // Continued: one step from the caller's ADX; the ADX of the bar N back from the cache,
            // or (when that bar had no value) from a run of its own.
            double back;
            if (!GetCached(3, index - n, &back)) back = AdxRun(index - n);
            v[2] = ((n - 1) * *v3 + dx) / n;
            v[3] = (v[2] + back) / 2;
        } else if (!Full(index, v)) {
            return false;
        }
        StoreComputed(index, v, 4);
    }
    if (v1) *v1 = v[0];
    if (v2) *v2 = v[1];
    if (v3) *v3 = v[2];
    if (v4) *v4 = v[3];
    return true;
}

double CDMI::AdxRun(int i) {
    const int n = m_ints[kDays];
    double adx = 0;
    for (int t = WarmUpStart(i); t <= i; ++t) {
        double p, m, x;
        if (Directions(t, &p, &m, &x)) adx = ((n - 1) * adx + x) / n;
    }
    return adx;
}

// One pass: the ADX of every bar (kept through bars without DX) in a ring of N + 1, so that the
// ADX of the bar N back is at hand.
bool CDMI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    bool fresh = false;
    if (start <= 2 * n && FreshPass(4, std::max(start, 2 * n), end, min, max, minBar, maxBar, &fresh,
                                    [this, n](int first, int last, double* const* lines) {
                                        return FreshRun(n, first, last, lines);
                                    }))
        return fresh;
    std::vector<double> ring(size_t(n + 1), 0.0);
    int at = -1;    // the last bar whose ADX the ring holds
    int slot = 0;   // its place in the ring: at % (N + 1), stepped on without a division
    double adx = 0;
    // Directions with the three sums stepped in locals, as the base's window sums step them.
    const KDATA* const b = m_pKData ? m_pKData->GetData() : nullptr;
    int sumAt = -1, moves = 0;
    double s0 = 0, s1 = 0, s2 = 0, peak = 0;
    auto add = [b](int t, double sign, double& a0, double& a1, double& a2) __attribute__((always_inline)) {
        const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
        a0 += sign * (AtLeastZero(h - b[t - 1].high));
        a1 += sign * (AtLeastZero(double(b[t - 1].low) - l));
        a2 += sign * (std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c))));
    };
    auto directions = [&](int i, double* plus, double* minus, double* dx) __attribute__((always_inline)) {
        if (i + 1 < n + 1) return false;
        bool fresh = sumAt != i || sumAt < 0;  // asked again at the bar it stands at: kept
        if (sumAt == i - 1 && sumAt >= 0 && moves < 1024) {
            add(i - n, -1.0, s0, s1, s2);
            add(i, 1.0, s0, s1, s2);
            ++moves;
            const double a = std::fabs(s0) + std::fabs(s1) + std::fabs(s2);
            peak = std::max(peak, a);
            fresh = !(a * 16 >= peak);
        }
        if (fresh) {
            s0 = s1 = s2 = 0;
            for (int j = i - n + 1; j <= i; ++j) add(j, 1.0, s0, s1, s2);
            peak = std::fabs(s0) + std::fabs(s1) + std::fabs(s2);
            moves = 0;
        }
        sumAt = i;
        if (!(std::fabs(s2) >= 0.0001) || !(std::fabs(s0 + s1) >= 0.0001) || !std::isfinite(s2)) return false;
        const double p = s0 * 100 / s2, m = s1 * 100 / s2;
        if (!std::isfinite(p) || !std::isfinite(m)) return false;
        *plus = p;
        *minus = m;
        *dx = std::fabs(p - m) * 100 / (p + m);
        return true;
    };
    // A bar past the cache keeps its lines in the tail.
    auto tail = [&](int i, const double* v, bool ok) {
        if (i >= CacheEnd()) ToTail(i, v, ok && AllFinite(v, 4));
        return ok;
    };
    const bool result = RangePass(4, start, end, min, max, minBar, maxBar, [&](int i, double* v) {
        double dx;
        // The first bar past the cache goes on from the run kept at the bar before.
        if (!(at == i - 1 && at >= 0) && i >= 1 && m_run.at == i - 1 && i >= CacheEnd() && Tracked()) {
            ring = m_run.ring;
            adx = m_run.adx;
            at = i - 1;
            slot = at % (n + 1);
        }
        if (at == i - 1 && at >= 0) {
            const bool has = directions(i, &v[0], &v[1], &dx);
            if (has) adx = ((n - 1) * adx + dx) / n;
            slot = slot == n ? 0 : slot + 1;
            ring[size_t(slot)] = adx;
            at = i;
            if (!has || i < 2 * n) return tail(i, v, false);
            v[2] = adx;
            v[3] = (adx + ring[size_t(slot == n ? 0 : slot + 1)]) / 2;  // bar i - N
            return tail(i, v, true);
        }
        // Start of the run (or a gap in it): the ring filled by a run over the N bars before.
        if (i < 2 * n) {
            at = -1;
            return false;
        }
        const int from = WarmUpStart(i - n);
        adx = 0;
        for (int t = from; t <= i; ++t) {
            double p, m, x;
            if (directions(t, &p, &m, &x)) adx = ((n - 1) * adx + x) / n;
            ring[size_t(t % (n + 1))] = adx;
        }
        at = i;
        slot = i % (n + 1);
        if (!directions(i, &v[0], &v[1], &dx)) return tail(i, v, false);
        v[2] = adx;
        v[3] = (adx + ring[size_t((i - n) % (n + 1))]) / 2;
        return tail(i, v, true);
    });
    // The run of the last bar this pass computed is kept, for the bars after it.
    if (at >= 0 && m_pKData) {
        m_run.at = at;
        m_run.adx = adx;
        m_run.ring = ring;
        Track(at);
    }
    return result;
}

// The pass below from a range that starts by bar 2N (its run then starts at bar 0 as well), over
// bars none of which is cached: one run from bar N, the three sums stepped on in locals as
// WindowSums steps them with each bar's terms kept in a ring, the lines of bars first..last
// written (NaN in all four where a bar has none). The run is kept for the bars after last.
bool CDMI::FreshRun(int n, int first, int last, double* const* lines) {
    const KDATA* const b = m_pKData->GetData();
    const double none = std::numeric_limits<double>::quiet_NaN();
    int size = 1;
    while (size < n + 1) size <<= 1;
    const int mask = size - 1;
    m_ring.resize(size_t(size) * 3);
    double* const terms = m_ring.data();
    auto term = [b, terms, mask](int t) __attribute__((always_inline)) {
        const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
        double* x = terms + size_t(t & mask) * 3;
        x[0] = AtLeastZero(h - b[t - 1].high);
        x[1] = AtLeastZero(double(b[t - 1].low) - l);
        x[2] = std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c)));
    };
    std::vector<double> ring(size_t(n + 1), 0.0);
    double* const adxAt = ring.data();
    double* const l0 = lines[0];
    double* const l1 = lines[1];
    double* const l2 = lines[2];
    double* const l3 = lines[3];
    double s0 = 0, s1 = 0, s2 = 0, peak = 0, adx = 0;
    int moves = 0, slot = n - 1;  // bar t's ADX at t % (N + 1)
    bool broken = false;
    for (int t = 1; t < n; ++t) term(t);
    for (int i = n; i <= last; ++i) {
        PrefetchBar(b, i);
        term(i);
        bool afresh = i == n || moves >= 1024;
        if (!afresh) {
            const double* out = terms + size_t((i - n) & mask) * 3;
            const double* in = terms + size_t(i & mask) * 3;
            s0 += -1.0 * out[0], s1 += -1.0 * out[1], s2 += -1.0 * out[2];
            s0 += 1.0 * in[0], s1 += 1.0 * in[1], s2 += 1.0 * in[2];
            ++moves;
            const double a = std::fabs(s0) + std::fabs(s1) + std::fabs(s2);
            peak = std::max(peak, a);
            afresh = !(a * 16 >= peak);
        }
        if (__builtin_expect(afresh, 0)) {
            s0 = s1 = s2 = 0;
            for (int j = i - n + 1; j <= i; ++j) {
                const double* x = terms + size_t(j & mask) * 3;
                s0 += 1.0 * x[0], s1 += 1.0 * x[1], s2 += 1.0 * x[2];
            }
            peak = std::fabs(s0) + std::fabs(s1) + std::fabs(s2);
            moves = 0;
        }
        double p = 0, m = 0;
        bool has = std::fabs(s2) >= 0.0001 && std::fabs(s0 + s1) >= 0.0001 && std::isfinite(s2);
        if (has) {
            p = s0 * 100 / s2, m = s1 * 100 / s2;
            has = std::isfinite(p) && std::isfinite(m);
            if (has) adx = ((n - 1) * adx + std::fabs(p - m) * 100 / (p + m)) / n;
        }
        slot = slot == n ? 0 : slot + 1;
        adxAt[slot] = adx;
        if (i < first) continue;
        const double back = adxAt[slot == n ? 0 : slot + 1];  // bar i - N
        const double v3 = (adx + back) / 2;
        if (__builtin_expect(!has || !(std::isfinite(adx) && std::isfinite(v3)), 0)) {
            l0[i] = l1[i] = l2[i] = l3[i] = none;
            broken = true;
            continue;
        }
        l0[i] = p, l1[i] = m, l2[i] = adx, l3[i] = v3;
    }
    m_run.at = last;
    m_run.adx = adx;
    m_run.ring = ring;
    Track(last);
    return broken;
}

// ---- CCI ----

CCCI::CCCI() : CLineMA("DFDLL", {14, 10, 10, -10}, {0.015}, {}, "(%d,%d)") {}

// The mean deviation is taken about this window's own mean, so each bar reads its window afresh.
bool CCCI::Line(int i, double* v) {
    const int n = m_ints[kDays];
    const KDATA* b = m_pKData->GetData();
    auto typical = [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; };
    const double* s =
        DaySums(m_sums, i, kDays, 0, [&typical](int t, double sign, double* out) __attribute__((always_inline)) { out[0] += sign * typical(t); });
    if (!s) return false;
    const double average = s[0] / n;
    double deviation = 0;
    for (int t = i - n + 1; t <= i; ++t) deviation += std::fabs(typical(t) - average);
    deviation /= n;
    if (deviation < 0.0001) return false;
    *v = (typical(i) - average) / (m_doubles[kFactor] * deviation);
    return true;
}

int CCCI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double now;
    if (!Calculate(&now, nullptr, index, false)) return 0;
    int r = reasonNone;
    GetCrossSignal(index, m_ints[kBuy], m_ints[kSell], &r);
    if (now < -100 && r == reasonGoldenCross) {
        if (reason) *reason = reasonGoldenCross;
        return m_ints[kBuy];
    }
    if (now > 100 && r == reasonDeadCross) {
        if (reason) *reason = reasonDeadCross;
        return m_ints[kSell];
    }
    return 0;
}

// R over the window extremes of the whole range when nothing of it is computed yet.
bool CR::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    const KDATA* const b = m_pKData ? m_pKData->GetData() : nullptr;
    bool any;
    if (FreshPass(1, std::max(start, n - 1), end, min, max, minBar, maxBar, &any,
                  [&](int first, int last, double* const* lines) {
                      double* const line = lines[0];
                      bool broken = false;
                      WindowExtremes(b, n, first, last, [&](int i, double h, double l) {
                          const double v = h - l < 0.0001 ? 100 : (h - b[i].close) * 100 / (h - l);
                          line[i] = v;
                          broken |= !std::isfinite(v);
                      });
                      return broken;
                  }))
        return any;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CR::Line(i, v); });
}

// MTM and ROC: the price read through a function chosen once for the pass, so that the block's
// stores cannot make it reread the series and its mode at every bar. A range none of whose bars is
// computed yet goes to the whole-series kernel, from the first bar that can have both lines.
namespace {
struct Momentum {
    static double Value(double now, double then) { return now * 100 / then; }
    static __m128d Value2(__m128d now, __m128d then) { return _mm_div_pd(_mm_mul_pd(now, _mm_set1_pd(100)), then); }
    static bool Has(double, double then, double x) { return (then > 0) & std::isfinite(x); }
    static __m128d Has2(__m128d, __m128d then, __m128d x) {
        return _mm_and_pd(_mm_cmpgt_pd(then, _mm_setzero_pd()), FiniteLanes(x));
    }
    static bool Line(double now, double then, double* x) {
        *x = Value(now, then);
        return Has(now, then, *x);
    }
};
}  // namespace

bool CMTM::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    return ChangeRange<Momentum>(m_ints[kDays], start, end, min, max, minBar, maxBar);
}

bool CROC::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    return ChangeRange<PriceChange>(m_ints[kDays], start, end, min, max, minBar, maxBar);
}
// CCI a block at a time: the typical prices read once into contiguous doubles; the window sum
// stepped as the one-bar path's window sums step it (taken afresh at the first bar, after 1024
// moves and when it shrinks below 1/16 of its peak), so both give the same average; each bar's
// mean deviation added exactly as the one-bar path adds it, oldest first, eight bars at a time
// in vector lanes.
__attribute__((flatten)) bool CCCI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar,
                                                  int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n = m_ints[kDays];
    const double factor = m_doubles[kFactor];
    const KDATA* const b = m_pKData->GetData();
    auto typical = [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; };
    // The typical prices of the n bars before the block, then the block's.
    std::vector<double> prices(size_t(n) + kLineBlock);
    int next = -1;  // the bar after the last block
    double sum = 0, peak = 0;
    int at = -1, moves = 0;
    return LineMABlocks(start, end, min, max, minBar, maxBar, [&](int b0, int b1, double* xs, unsigned char* got) {
        double* const tp = prices.data() + n;  // tp[i - b0]: bar i
        if (b0 != next)
            for (int t = b0 - n; t < b0; ++t) tp[t - b0] = t >= 0 ? typical(t) : 0.0;
        for (int i = b0; i <= b1; ++i) {
            PrefetchBar(b, i);
            tp[i - b0] = typical(i);
        }
        next = b1 + 1;
        // The n bars before the next block, once this block is done.
        struct Shift {
            std::vector<double>& prices;
            int len, n;
            ~Shift() { std::copy(prices.begin() + len, prices.begin() + len + n, prices.begin()); }
        } shift{prices, b1 - b0 + 1, n};
        const int from = std::max(b0, n - 1);  // the first bar with a whole window
        for (int i = b0; i < std::min(from, b1 + 1); ++i) got[i - b0] = 0;
        if (from > b1) return;
        double avg[kLineBlock];  // avg[i - b0]: bar i
        for (int i = from; i <= b1; ++i) {
            bool afresh = true;
            if (at == i - 1 && at >= 0 && moves < 1024) {
                double t = sum;
                t += -1.0 * tp[i - n - b0];
                t += tp[i - b0];
                sum = t;
                ++moves;
                at = i;
                const double a = std::fabs(t);
                peak = std::max(peak, a);
                afresh = !(a * 16 >= peak);
            }
            if (afresh) {
                double t = 0;
                for (int j = i - n + 1; j <= i; ++j) t += tp[j - b0];
                sum = t;
                peak = std::fabs(t);
                moves = 0;
                at = i;
            }
            avg[i - b0] = sum / n;
        }
        // Each bar's deviation sum: lanes of bars side by side, every lane adding its window in
        // the one-bar order.
        double dev[kLineBlock];  // dev[i - b0]: bar i
        const __m128d sign = _mm_set1_pd(-0.0);
        int i = from;
        for (; i + 7 <= b1; i += 8) {
            const __m128d a0 = _mm_loadu_pd(avg + (i - b0)), a1 = _mm_loadu_pd(avg + (i - b0) + 2);
            const __m128d a2 = _mm_loadu_pd(avg + (i - b0) + 4), a3 = _mm_loadu_pd(avg + (i - b0) + 6);
            __m128d d0 = _mm_setzero_pd(), d1 = d0, d2 = d0, d3 = d0;
            const double* w = tp + (i - b0) - n + 1;
            for (int q = 0; q < n; ++q, ++w) {
                d0 = _mm_add_pd(d0, _mm_andnot_pd(sign, _mm_sub_pd(_mm_loadu_pd(w), a0)));
                d1 = _mm_add_pd(d1, _mm_andnot_pd(sign, _mm_sub_pd(_mm_loadu_pd(w + 2), a1)));
                d2 = _mm_add_pd(d2, _mm_andnot_pd(sign, _mm_sub_pd(_mm_loadu_pd(w + 4), a2)));
                d3 = _mm_add_pd(d3, _mm_andnot_pd(sign, _mm_sub_pd(_mm_loadu_pd(w + 6), a3)));
            }
            _mm_storeu_pd(dev + (i - b0), d0), _mm_storeu_pd(dev + (i - b0) + 2, d1);
            _mm_storeu_pd(dev + (i - b0) + 4, d2), _mm_storeu_pd(dev + (i - b0) + 6, d3);
        }
        for (; i <= b1; ++i) {
            double d = 0;
            for (int t = i - n + 1; t <= i; ++t) d += std::fabs(tp[t - b0] - avg[i - b0]);
            dev[i - b0] = d;
        }
        for (int k = from; k <= b1; ++k) {
            const double d = dev[k - b0] / n;
            const double v = (tp[k - b0] - avg[k - b0]) / (factor * d);
            xs[k - b0] = v;
            got[k - b0] = !(d < 0.0001) && std::isfinite(v);
        }
    });
}
