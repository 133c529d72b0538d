// Shared machinery of the indicator families (techs_volume.h, techs_momentum.h, techs_price.h,
// techs_range.h, techs_own.h): one-pass ranges that fill the cache, running window sums,
// cumulative runs, and a line with its simple moving average.
#pragma once

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/runmark.h"
#include "analysis/techparams.h"

// Smallest k >= 1 for which every factor raised to k is below 0.001.
int DecayBars(std::initializer_list<double> factors);
// First bar of a warm-up for bar index: moved back 4 bars at a time while more than 3 bars remain
// before it, then 1 at a time, until every factor raised to the distance is below 0.001; never
// before bar 0.
int DecayStartBy4(int index, std::initializer_list<double> factors);
// The change from then to now in percent; no value unless both are above 0.
inline bool PercentChange(double now, double then, double* v) {
    if (!(now > 0) || !(then > 0)) return false;
    *v = (now - then) * 100 / then;
    return true;
}
// std::max(x, 0.0), x itself when NaN or -0, as one maxsd: left to itself the compiler turns
// it into a branch on a sign that goes either way bar by bar.
inline double AtLeastZero(double x) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_max_sd(_mm_setzero_pd(), _mm_set_sd(x)));
#else
    return 0.0 > x ? 0.0 : x;
#endif
}
// Range widening of the MACD family: 2 % each way, with -0.01 and 0.01 near 0 and a span of at
// least 0.03.
void WidenMACD(double* lo, double* hi);

// Sums of K per-bar terms over the len bars ending at a bar. Moving on by one bar adds the new
// term and takes off the old one; this is used only for terms that are exact in double (float
// fields, their differences, quarters and counts), where it gives the same sums as adding the
// window afresh. The window is added afresh every 1024 moves, and whenever the sums' magnitudes
// have shrunk below 1/16 of the largest they had since (an absurd bar left, carrying rounding
// away with it) or are not finite (a broken bar is inside, or just left): the sums then hold
// again what the window alone gives.
template <int K>
struct WindowSums {
    unsigned epoch = 0;
    int at = -1;
    int len = 0;
    int moves = 0;
    double s[K] = {};
    double peak = 0;  // the largest magnitude since the window was added afresh

    // term(t, sign, s) adds sign x each term of bar t to s[0..K-1].
    template <class Term>
    const double* Get(unsigned now, int i, int n, Term term) {
        if (at == i - 1 && epoch == now && len == n && at >= 0 && moves < 1024) {
            // The usual case in a pass: one bar on. Stepped in a local copy, so that the
            // magnitude is not read back through the stores just made.
            double t[K];
            for (int k = 0; k < K; ++k) t[k] = s[k];
            term(i - n, -1.0, t);
            term(i, 1.0, t);
            double a = 0;
            for (int k = 0; k < K; ++k) s[k] = t[k], a += std::fabs(t[k]);
            ++moves;
            at = i;
            peak = std::max(peak, a);
            if (__builtin_expect(a * 16 >= peak, 1)) return s;  // false also for a NaN
        } else if (at == i && epoch == now && len == n) {
            return s;
        }
        Taken(now, i, n, term);
        return s;
    }

private:
    template <class Term>
    void Taken(unsigned now, int i, int n, Term& term) {
        for (int k = 0; k < K; ++k) s[k] = 0;
        for (int j = i - n + 1; j <= i; ++j) term(j, 1.0, s);
        peak = Magnitude();
        moves = 0;
        epoch = now;
        at = i;
        len = n;
    }
    double Magnitude() const {
        double a = 0;
        for (int k = 0; k < K; ++k) a += std::fabs(s[k]);
        return a;
    }
};

// The last m values pushed, oldest first from pos once full, with their running sum: a push adds
// the new value and takes out the one it replaces. Beside it runs the sum of the magnitudes,
// which measures the rounding the running sum may carry. As CWindowSum, the sums are taken afresh
// (compensated) when the ring fills, every CWindowSum::kRefresh pushes after that, and whenever
// the magnitudes have shrunk below 1/16 of the largest they held since (a large value left, or a
// NaN is inside). Values of both signs that cancel need no refresh: a fresh sum of them carries
// the same rounding.
// RingSums is that arithmetic over slots its owner keeps (at least m of them): ValueRing owns
// them; a pass may keep them on its stack, where the fields stay in registers.
struct RingSums {
    int m = 0;
    int count = 0;  // values held, at most m
    int pos = 0;    // the oldest once full
    int steps = 0;
    double sum = 0;
    double mass = 0;  // the sum of |value|
    double peak = 0;
    double floor = 0;

    bool Full() const { return count >= m; }
    __attribute__((always_inline)) void PushInto(double* values, double x) {
        if (__builtin_expect(count < m, 0)) {
            values[count] = x;
            if (++count == m) ResumOf(values);
            return;
        }
        double* slot = values + pos;
        const double out = *slot;
        *slot = x;
        if (++pos == m) pos = 0;
        sum += x - out;
        mass += std::fabs(x) - std::fabs(out);
        if (mass > peak) {
            peak = mass;
            floor = mass * (1.0 / 16);
            if (++steps < CWindowSum::kRefresh) return;
        } else if (mass >= floor && ++steps < CWindowSum::kRefresh) {
            return;
        }
        ResumOf(values);
    }
    void ResumOf(const double* values) {
        // Through a value made out of line: the fields' address never escapes, so a loop can hold
        // its sums in registers.
        const Sums taken = Taken(values, count);
        sum = taken.sum;
        mass = peak = taken.mass;
        floor = taken.mass * (1.0 / 16);
        steps = 0;
    }

private:
    struct Sums {
        double sum, mass;
    };
    __attribute__((noinline)) static Sums Taken(const double* v, int n) {
        double s = 0, c = 0, a = 0;
        for (int k = 0; k < n; ++k) {
            CompensatedAdd(s, c, v[k]);
            a += std::fabs(v[k]);
        }
        return Sums{s + c, a};
    }
};

struct ValueRing : RingSums {
    std::vector<double> values;

    void Reset(int days) {
        m = days;
        values.assign(size_t(days), 0.0);
        count = pos = 0;
    }
    void Push(double x) { PushInto(values.data(), x); }
    void Resum() { ResumOf(values.data()); }
};

// A window sum that starts afresh after its owner's Clear (a new epoch).
struct EpochSum {
    CWindowSum sum;
    unsigned epoch = 0;
};


class CTechLines : public CParamTech {
public:
    void Clear() override;

protected:
    using CParamTech::CParamTech;

    // The signal of a value against two levels: buy (with lowReason) below low, sell (with
    // highReason) above high, else 0 with the reason left as it is.
    static int LevelSignal(double now, double low, double high, int buy, int sell, int lowReason, int highReason,
                           int* reason) {
        if (now < low) {
            if (reason) *reason = lowReason;
            return buy;
        }
        if (now > high) {
            if (reason) *reason = highReason;
            return sell;
        }
        return 0;
    }
    // Buy on a bottom divergence of line 1 against line `against` (0: the price), sell on a top
    // one, else 0 with the reason left as it is.
    int DivergenceSignal(int index, int against, int buy, int sell, int* reason);

    // The per-bar Calculate of an n-line class: the cached lines, or lines(index, v) computed and
    // stored. Outputs may be null; nothing is written on failure.
    template <class Lines>
    bool CalcBar(int index, int n, double* const* out, Lines lines) {
        if (!CheckIndex(index)) return false;
        EnsureParameters();
        double v[kLines];
        if (!LoadComputed(index, v, n)) {
            if (!lines(index, v) || !AllFinite(v, n)) return false;
            StoreComputed(index, v, n);
        }
        for (int k = 0; k < n; ++k)
            if (out[k]) *out[k] = v[k];
        return true;
    }

    // One pass over start..end: each bar's n lines from the cache, or computed by lines(i, v) in
    // increasing bar order (so that running state carries from bar to bar) and stored. Range over
    // all lines, widened as the base does. Stores are plain writes to the cache's lines; each run
    // of bars that has its lines is marked computed as a whole when it ends.
    template <class Lines>
    bool RangePass(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar, Lines lines,
                   int rangeFrom = 0, int rangeTo = -1) {
        // The line count fixed at compile time, so that the stores and the range unroll.
        switch (n) {
        case 1: return RangePassN<1>(start, end, min, max, minBar, maxBar, lines, rangeFrom, rangeTo);
        case 2: return RangePassN<2>(start, end, min, max, minBar, maxBar, lines, rangeFrom, rangeTo);
        case 3: return RangePassN<3>(start, end, min, max, minBar, maxBar, lines, rangeFrom, rangeTo);
        case 4: return RangePassN<4>(start, end, min, max, minBar, maxBar, lines, rangeFrom, rangeTo);
        default: return RangePassN<5>(start, end, min, max, minBar, maxBar, lines, rangeFrom, rangeTo);
        }
    }
    template <int n, class Lines>
    bool RangePassN(int start, int end, double* min, double* max, int* minBar, int* maxBar, Lines& lines,
                    int rangeFrom, int rangeTo) {
        EnsureParameters();
        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        bool any = false;
        if (rangeTo < 0) rangeTo = n - 1;
        // Filling the cache alone (PrepareCache) takes no range.
        if (!min && !max && !minBar && !maxBar) rangeTo = rangeFrom - 1;
        if (m_pKData && start >= 0) {
            if (end >= m_pKData->GetSize()) end = m_pKData->GetSize() - 1;
            const int known = m_nLastStored;  // nothing later can be cached yet
            const int cacheEnd = OpenLines(n) ? CacheEnd() : 0;
            const int first = m_nCacheStart;  // the cache holds bars first .. cacheEnd - 1
            double* value[kLines] = {};
            for (int k = 0; k < n && cacheEnd > 0; ++k) value[k] = m_pCache[k];
            int run = -1;  // first bar of the run not marked yet
            auto mark = [&](int last) {
                if (run < 0) return;
                for (int k = 0; k < n; ++k) MarkComputed(k, run - first, last - first);
                run = -1;
            };
            double v[kLines];
            const KDATA* const bars = m_pKData->GetData();
            for (int i = start; i <= end; ++i) {
                PrefetchBar(bars, i);
                const bool inCache = i >= first && i < cacheEnd;
                bool cached = inCache && i <= known;
                for (int k = 0; k < n && cached; ++k) cached = IsComputed(k, i - first);
                if (cached) {
                    for (int k = 0; k < n; ++k) v[k] = value[k][i - first];
                } else {
                    if (!lines(i, v) || !AllFinite(v, n)) {
                        mark(i - 1);
                        continue;
                    }
                    if (inCache)
                        for (int k = 0; k < n; ++k) value[k][i - first] = v[k];
                }
                if (!inCache)
                    mark(i - 1);
                else if (run < 0)
                    run = i;
                any = true;
                for (int k = rangeFrom; k <= rangeTo; ++k) {
                    if (v[k] < lo || loBar < 0) lo = v[k], loBar = i;
                    if (v[k] > hi || hiBar < 0) hi = v[k], hiBar = i;
                }
            }
            mark(end);
        }
        WidenRange(&lo, &hi);
        if (min) *min = lo;
        if (max) *max = hi;
        if (minBar) *minBar = loBar;
        if (maxBar) *maxBar = hiBar;
        return any;
    }

    // The whole-series kernel of an n-line class, for a range none of whose bars is cached yet
    // and that the cache (from bar 0) holds: kernel(first, last, lines) writes lines[k][i] of
    // every bar first..last in one pass, NaN in every line of a bar without a value, and returns
    // whether it wrote any NaN. The bars are then marked computed, and the range over lines
    // rangeFrom..rangeTo taken as RangePass takes it. False (nothing done) when the range does
    // not qualify: the caller then takes its general pass. Parameters must be checked.
    template <class Kernel>
    bool FreshPass(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar, bool* any,
                   Kernel kernel, int rangeFrom = 0, int rangeTo = -1) {
        if (!m_pKData || start < 0 || start <= m_nLastStored) return false;
        end = std::min(end, m_pKData->GetSize() - 1);
        if (start > end || !OpenLines(n) || m_nCacheStart != 0 || end >= CacheEnd()) return false;
        double* lines[kLines] = {};
        for (int k = 0; k < n; ++k) lines[k] = m_pCache[k];
        const bool broken = kernel(start, end, lines);
        if (broken && n > 1)
            for (int i = start; i <= end; ++i) {
                bool finite = true;
                for (int k = 0; k < n; ++k) finite &= std::isfinite(lines[k][i]);
                if (!finite)
                    for (int k = 0; k < n; ++k) lines[k][i] = std::numeric_limits<double>::quiet_NaN();
            }
        for (int k = 0; k < n; ++k) MarkComputedFinite(k, start, end, broken);
        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        if (rangeTo < 0) rangeTo = n - 1;
        if (min || max || minBar || maxBar) {
            for (int i = start; i <= end; ++i) {
                if (!std::isfinite(lines[0][i])) continue;  // no value
                for (int k = rangeFrom; k <= rangeTo; ++k) {
                    const double v = lines[k][i];
                    if (v < lo || loBar < 0) lo = v, loBar = i;
                    if (v > hi || hiBar < 0) hi = v, hiBar = i;
                }
            }
            *any = loBar >= 0;
        } else {
            *any = !broken;
            for (int i = start; i <= end && !*any; ++i) *any = std::isfinite(lines[0][i]);
        }
        WidenRange(&lo, &hi);
        if (min) *min = lo;
        if (max) *max = hi;
        if (minBar) *minBar = loBar;
        if (maxBar) *maxBar = hiBar;
        return true;
    }

    // The kernel of a one-line class made from the window sums w of K terms over n bars (terms
    // reading `back` bars before their own), for FreshPass: the same steps as Sums(w, i, n, ...)
    // bar after bar, each bar's terms computed once (term(t, x) sets x[0..K-1]) and kept in a ring
    // until they leave the window. value(i, s, &v) gives the line from the sums; a bar without
    // one gets NaN. Returns whether any bar got NaN; w is left where Sums would leave it.
    template <int K, class Term, class Value>
    bool SumsKernel(WindowSums<K>& w, int n, int back, int first, int last, double* line, const Term& term,
                    const Value& value) {
        const double none = std::numeric_limits<double>::quiet_NaN();
        const int whole = std::max(first, n + back - 1);  // the first bar with a whole window
        for (int i = first; i <= std::min(last, whole - 1); ++i) line[i] = none;
        bool broken = whole > first;
        if (whole > last || n < 1) return broken || n < 1;
        first = whole;
        const unsigned now = m_epoch;
        const int m = n + 1;  // bars i-n .. i
        m_ring.resize(size_t(m) * K);
        double* const ring = m_ring.data();
        // The state of w, in locals.
        double s[K];
        for (int k = 0; k < K; ++k) s[k] = w.s[k];
        unsigned epoch = w.epoch;
        int at = w.at, len = w.len, moves = w.moves;
        double peak = w.peak;
        const bool continues = at == first - 1 && epoch == now && len == n && at >= 0 && moves < 1024;
        // Terms of the bars before first that the first step reads.
        int in = 0;
        for (int t = continues ? first - n : first - n + 1; t < first; ++t) {
            term(t, ring + size_t(in) * K);
            if (++in == m) in = 0;
        }
        in = in == 0 ? m - 1 : in - 1;  // the slot of bar first - 1
        auto magnitude = [&s] {
            double a = 0;
            for (int k = 0; k < K; ++k) a += std::fabs(s[k]);
            return a;
        };
        auto taken = [&](int i) {
            for (int k = 0; k < K; ++k) s[k] = 0;
            int j = in + 2 >= m ? in + 2 - m : in + 2;  // the slot of bar i - n + 1
            for (int c = 0; c < n; ++c) {
                const double* x = ring + size_t(j) * K;
                for (int k = 0; k < K; ++k) s[k] += x[k];
                if (++j == m) j = 0;
            }
            peak = magnitude();
            moves = 0;
            epoch = now;
            at = i;
            len = n;
        };
        const KDATA* const bars = m_pKData->GetData();
        for (int i = first; i <= last; ++i) {
            PrefetchBar(bars, i);
            if (++in == m) in = 0;
            const int out = in + 1 == m ? 0 : in + 1;  // bar i - n
            double* const x = ring + size_t(in) * K;
            const double* const old = ring + size_t(out) * K;
            term(i, x);
            if (at == i - 1 && epoch == now && len == n && at >= 0 && moves < 1024) {
                for (int k = 0; k < K; ++k) s[k] += -old[k];
                for (int k = 0; k < K; ++k) s[k] += x[k];
                ++moves;
                at = i;
                const double a = magnitude();
                peak = std::max(peak, a);
                if (__builtin_expect(!(a * 16 >= peak), 0)) taken(i);
            } else if (!(at == i && epoch == now && len == n)) {
                taken(i);
            }
            double v;
            const bool got = value(i, s, &v) && std::isfinite(v);
            line[i] = got ? v : none;
            broken |= !got;
        }
        for (int k = 0; k < K; ++k) w.s[k] = s[k];
        w.epoch = epoch, w.at = at, w.len = len, w.moves = moves, w.peak = peak;
        return broken;
    }

    // Marks the bars a walk wrote plainly into line k (0-based) as computed, one run of
    // consecutive bars at a time; bars are added in increasing order (again is allowed).
    class RunMarks {
    public:
        RunMarks(CTechLines& owner, int k) : m_owner(owner), m_k(k) {}
        RunMarks(const RunMarks&) = delete;
        RunMarks& operator=(const RunMarks&) = delete;
        ~RunMarks() { Flush(); }
        void Add(int i) {
            if (m_first >= 0 && i >= m_first && i <= m_last + 1) {
                m_last = std::max(m_last, i);
                return;
            }
            Flush();
            m_first = m_last = i;
        }
        // Bars first..last at once.
        void AddRun(int first, int last) {
            if (m_first >= 0 && first >= m_first && first <= m_last + 1) {
                m_last = std::max(m_last, last);
                return;
            }
            Flush();
            m_first = first, m_last = last;
        }
        void Flush() {
            if (m_first >= 0)
                m_owner.MarkComputed(m_k, m_first - m_owner.m_nCacheStart, m_last - m_owner.m_nCacheStart);
            m_first = -1;
        }

    private:
        CTechLines& m_owner;
        int m_k;
        int m_first = -1;
        int m_last = -1;
    };

    // One pass of a line made from one window sum, for the bars from first on (every window
    // ending there lies within the terms term(t) defines): the base's running window sums give
    // value(i, sum) of each bar, written plainly where line 1 was not computed yet and marked
    // computed. Parameters must be checked. Range as RangePass takes it.
    template <class Term, class Value, class Sum = CWindowSum>
    bool SumLineRange(int days, int first, int start, int end, double* min, double* max, int* minBar, int* maxBar,
                      const Term& term, const Value& value, Sum* = nullptr) {
        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        if (m_pKData && days >= 1 && start >= 0) {
            start = std::max(start, first);
            end = std::min(end, m_pKData->GetSize() - 1);
            if (start <= end) {
                const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
                const int base = m_nCacheStart, known = m_nLastStored;
                const int last = std::min(end, cacheEnd - 1);  // the last bar stored
                double* const line = m_pCache[0];
                double l = std::numeric_limits<double>::infinity(), h = -l;
                int lb = start, hb = start;
                const KDATA* bars = m_pKData->GetData();
                bool broken = false;  // a value was not finite: that bar has none
                auto store = [&](int i, int, double sum) {
                    double x;
                    if (i > last) {
                        x = value(i, sum);
                    } else if (i <= known && IsComputed(0, i - base)) {
                        x = line[i - base];
                    } else {
                        x = value(i, sum);
                        line[i - base] = x;
                    }
                    if (__builtin_expect(!std::isfinite(x), 0)) {
                        broken = true;
                        return;
                    }
                    if (x < l) l = x, lb = i;
                    if (x > h) h = x, hb = i;
                };
                auto fetch = [bars](int i) { PrefetchBar(bars, i); };
                RunWindowSums<1, Term, decltype(store)&, decltype(fetch)&, Sum>(term, &days, start, end, store, fetch);
                if (last >= start) MarkComputedFinite(0, start - base, last - base, broken);
                lo = l, hi = h, loBar = lb, hiBar = hb;
            }
        }
        WidenRange(&lo, &hi);
        if (min) *min = lo;
        if (max) *max = hi;
        if (minBar) *minBar = loBar;
        if (maxBar) *maxBar = hiBar;
        return loBar >= 0;
    }
    // A block of a line made from C window sums of one term (days[j] bars each, the windows of
    // bar i ending at bar i - shift): for the bars b0..b1, value(i, sums, &x) gives the line from
    // the sums of bar i, and xs, got are filled as LineMABlocks asks; bars before every window is
    // whole have no value. The sums step as RunWindowSums moves them, taken afresh at the block's
    // first whole bar.
    template <int C, class Term, class Value>
    void PriceSumBlock(const Term& term, const int* days, int b0, int b1, double* xs, unsigned char* got,
                       const Value& value, int shift = 0) {
        const KDATA* const bars = m_pKData->GetData();
        int whole = 0;
        for (int j = 0; j < C; ++j) whole = std::max(whole, days[j] - 1 + shift);
        for (int i = b0; i <= std::min(b1, whole - 1); ++i) got[i - b0] = 0;
        const int from = std::max(b0, whole);
        if (from > b1) return;
        double sums[C] = {};
        // The windows of bar i end at bar t = i - shift; term(t) is read through the same shift.
        RunWindowSums<C>(
            term, days, from - shift, b1 - shift, [&sums](int, int j, double sum) { sums[j] = sum; },
            [&](int t) {
                const int i = t + shift;
                PrefetchBar(bars, i);
                got[i - b0] = value(i, sums, &xs[i - b0]);
            });
    }

    // Fixed drawing range (0..100 for the percentage lines) after filling the cache over the range.
    template <class Lines>
    bool FixedRange(int n, int start, int end, double* min, double* max, double lo, double hi, Lines lines) {
        RangePass(n, start, end, nullptr, nullptr, nullptr, nullptr, lines);
        if (min) *min = lo;
        if (max) *max = hi;
        return true;
    }

    // Cumulative lines: continued from the object's run state when it stands before index, else
    // from the nearest earlier bar whose lines are cached, else from bar 0 as seed(v) gives it;
    // every bar on the way is computed by step(t, v) and stored. A value a caller passes in is
    // never trusted.
    // The state stands at bar `at` of the series its mark names: bars appended since continue
    // from it in constant time each.
    struct RunState {
        unsigned epoch = 0;
        int at = -1;
        double v[kLines] = {};
        RunMark mark;
    };
    bool RunHolds(const RunState& st) const {
        return st.epoch == m_epoch && st.at >= 0 && st.mark.bar == st.at && st.mark.Holds(*m_pKData);
    }
    void KeepRun(RunState& st, int index, int n, const double* v) {
        st.epoch = m_epoch;
        st.at = index;
        for (int k = 0; k < n; ++k) st.v[k] = v[k];
        st.mark.Take(*m_pKData, index);
    }
    // After a range pass up to end: the lines of end (from the cache, or those the pass left in
    // last when it computed end itself) become the run's state.
    void KeepRunAfterPass(RunState& st, int end, int n, int lastBar, const double* last) {
        double v[kLines];
        if (!m_pKData || end < 0 || end >= m_pKData->GetSize()) return;
        if (lastBar == end && last && AllFinite(last, n))
            KeepRun(st, end, n, last);
        else if (LoadComputed(end, v, n))
            KeepRun(st, end, n, v);
    }
    template <class Seed, class Step>
    bool RunCumulative(RunState& st, int index, int n, double* v, Seed seed, Step step) {
        int from;
        if (st.at < index && RunHolds(st)) {
            for (int k = 0; k < n; ++k) v[k] = st.v[k];
            from = st.at + 1;
        } else {
            int j = index - 1;
            if (j > m_nLastStored) j = m_nLastStored;
            while (j >= 0 && !LoadComputed(j, v, n)) --j;
            if (j < 0) {
                seed(v);
                from = 0;
            } else {
                from = j + 1;
            }
        }
        // The bars on the way are written plainly and marked computed together.
        const int cacheEnd = from < index && OpenLines(n) ? CacheEnd() : 0;
        const int base = m_nCacheStart, last = std::min(index - 1, cacheEnd - 1);
        for (int t = from; t <= index; ++t) {
            if (t > 0) step(t, v);
            if (t <= last && t >= base)
                for (int k = 0; k < n; ++k) m_pCache[k][t - base] = v[k];
        }
        if (last >= std::max(from, base))
            for (int k = 0; k < n; ++k) MarkComputed(k, std::max(from, base) - base, last - base);
        KeepRun(st, index, n, v);
        return true;
    }

    // Window sums with this object's clearing: a Clear makes every state start afresh.
    template <int K, class Term>
    const double* Sums(WindowSums<K>& w, int i, int n, Term term) {
        return w.Get(m_epoch, i, n, term);
    }
    // The opening of a window line: the sums of Sums over the window of the day count
    // m_ints[days] ending at bar i; null (no value at bar i) when bar i has fewer bars before it
    // than the window and the `back` bars before the window that the terms also read.
    template <int K, class Term>
    const double* DaySums(WindowSums<K>& w, int i, int days, int back, Term term) {
        const int n = m_ints[days];
        if (i + 1 < n + back) return nullptr;
        return Sums(w, i, n, term);
    }
    // The sum of term(t) over the n bars ending at bar i, stepped on from the bar before as
    // CWindowSum does (i >= n - 1, n >= 1).
    template <class Term>
    double RunningSum(EpochSum& w, int i, int n, const Term& term) {
        if (w.epoch != m_epoch) {
            w.epoch = m_epoch;
            w.sum.Reset();
        }
        return w.sum.At(i, n, term);
    }

    unsigned m_epoch = 1;
    std::vector<double> m_ring;    // SumsKernel's terms, kept for the next pass
    std::vector<double> m_column;  // a term of every bar of a pass, kept for the next one
};

// GetMinMaxInfo of a one-line class, or of a line-and-average class, with the class's own Line
// called directly so that it inlines into the pass.
#define VELMORA_LINE_RANGE(Class)                                                                      \
    bool Class::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) { \
        return RangePass(1, start, end, min, max, minBar, maxBar,                                     \
                         [this](int i, double* v) { return Class::Line(i, v); });                     \
    }
#define VELMORA_LINE_MA_RANGE(Class)                                                                   \
    __attribute__((flatten)) bool Class::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) { \
        return LineMAPass(start, end, min, max, minBar, maxBar,                                       \
                          [this](int t, double* x) { return Class::Line(t, x); });                    \
    }

// A one-line indicator: Line(i) computes the value of bar i with the parameters already checked.
class CLine1 : public CTechLines {
public:
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    using CTechLines::CTechLines;
    virtual bool Line(int i, double* v) = 0;
};

// A line and its simple moving average over MaDays() of its values, bars without a value skipped
// (as the base's GetValueAndMA takes it); the line must have a value at the bar itself.
class CLineMA : public CLine1 {
public:
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    using CLine1::CLine1;
    virtual int MaDays() const = 0;
    // Both lines of bar i (parameters checked).
    bool Both(int i, double* v);
    // As Both with the line given as a callable (a class's own Line, called directly) and the
    // average's day count: the bar after the last one goes on with one step.
    template <class Line>
    bool BothWith(int i, double* v, int m, Line line) {
        if (m < 1 || i + 1 < m) return false;
        if (!(m_maEpoch == m_epoch && m_maAt == i - 1 && m_maAt >= 0 && m_ring.m == m)) return BothAfresh(i, v, m);
        m_maAt = i;
        if (!line(i, &v[0])) return false;  // no value here: the window stays, now at this bar
        m_ring.Push(v[0]);
        return Average(v, m);
    }
    bool BothAfresh(int i, double* v, int m);
    bool Average(double* v, int m) const {
        if (!m_ring.Full()) return false;
        v[1] = m_ring.sum / m;
        return true;
    }
    // Line 1 from the cache, else computed and stored.
    bool LineAt(int t, double* v);
    // Cross signal of the two lines at the levels, in the low or high zone of the line's own
    // range over 120 bars: the pattern most of these classes share.
    int ZoneCrossSignal(int index, int minBars, int window, double f1, double f2, int buy, int sell, int* reason);

    // The range pass of both lines over start..end with the class's own line (called for the bars
    // in increasing order, so that its running sums step on): as RangePass(2, ...) over Both, with
    // the average's window carried through the pass as a running sum and the lines written
    // plainly, each run of stored bars marked computed as a whole.
    template <class Line>
    bool LineMAPass(int start, int end, double* min, double* max, int* minBar, int* maxBar, Line line) {
        const KDATA* const bars = m_pKData ? m_pKData->GetData() : nullptr;
        return LineMABlocks(start, end, min, max, minBar, maxBar,
                            [&line, bars](int b0, int b1, double* xs, unsigned char* got) {
                                for (int i = b0; i <= b1; ++i) {
                                    PrefetchBar(bars, i);
                                    got[i - b0] = line(i, &xs[i - b0]) && std::isfinite(xs[i - b0]);
                                }
                            });
    }
    // As LineMAPass with the line's values given a block at a time: block(b0, b1, xs, got) sets
    // got[i - b0] (1 when bar i has a value, 0 if not) and xs[i - b0] for the bars b0..b1, the
    // blocks following each other from start on (at most kLineBlock bars each).
    enum { kLineBlock = 512 };
    template <class Block>
    bool LineMABlocks(int start, int end, double* min, double* max, int* minBar, int* maxBar, Block block) {
        EnsureParameters();
        const int m = MaDays();
        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        const bool ranged = min || max || minBar || maxBar;
        if (m_pKData && start >= 0 && m >= 1) {
            end = std::min(end, m_pKData->GetSize() - 1);
            start = std::max(start, m - 1);  // no average before
        } else {
            end = start - 1;
        }
        if (start <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(2) ? CacheEnd() : 0;
            const int first = m_nCacheStart;
            double* const line0 = cacheEnd > 0 ? m_pCache[0] : nullptr;
            double* const line1 = cacheEnd > 0 ? m_pCache[1] : nullptr;
            int run = -1;
            auto mark = [&](int last) {
                if (run < 0) return;
                MarkComputed(0, run - first, last - first);
                MarkComputed(1, run - first, last - first);
                run = -1;
            };
            // The window of the bar before start, unless the object's stands there already.
            bool afresh = !(m_maEpoch == m_epoch && m_maAt == start - 1 && m_maAt >= 0 && m_ring.m == m);
            if (afresh) {
                m_ring.Reset(m);
                std::vector<double> newest;
                for (int t = start - 1; t >= 0 && int(newest.size()) < m - 1; --t) {
                    double x;
                    if (LineAt(t, &x)) newest.push_back(x);
                }
                for (size_t k = newest.size(); k-- > 0;) m_ring.Push(newest[k]);
                m_maEpoch = m_epoch;
            }
            ValueRing ring = std::move(m_ring);  // a local: its fields stay in registers
            double l = 0, h = 0;
            int lb = -1, hb = -1;
            bool any = false;
            // A block at a time: the line's values first (its own running state alone in the
            // loop), then the average, the stores and the range over them.
            enum : unsigned char { kNone, kLine, kCached };
            double xs[kLineBlock], as[kLineBlock];
            unsigned char state[kLineBlock];
            for (int b0 = start; b0 <= end; b0 += kLineBlock) {
                const int b1 = std::min(end, b0 + kLineBlock - 1);
                block(b0, b1, xs, state);
                // Bars whose lines are cached keep them.
                for (int i = std::max(b0, first); i <= std::min({b1, known, cacheEnd - 1}); ++i) {
                    if (!IsComputed(0, i - first) || !IsComputed(1, i - first)) continue;
                    xs[i - b0] = line0[i - first];
                    as[i - b0] = line1[i - first];
                    state[i - b0] = kCached;
                }
                for (int i = b0; i <= b1; ++i) {
                    const int at = i - b0;
                    const bool inCache = i >= first && i < cacheEnd;
                    if (state[at] == kNone || !std::isfinite(xs[at])) {
                        mark(i - 1);
                        continue;
                    }
                    const double x = xs[at];
                    double a;
                    ring.Push(x);
                    if (state[at] == kCached) {
                        a = as[at];
                    } else {
                        if (!ring.Full()) {
                            // As Both keeps it: the first bar with a value of a window taken
                            // afresh has its line stored even without an average.
                            if (afresh) StoreComputed(i, &x, 1);
                            afresh = false;
                            mark(i - 1);
                            continue;
                        }
                        afresh = false;
                        a = ring.sum / m;
                        if (inCache) line0[i - first] = x, line1[i - first] = a;
                    }
                    if (!inCache)
                        mark(i - 1);
                    else if (run < 0)
                        run = i;
                    any = true;
                    if (ranged) {
                        const double small = x < a ? x : a, large = x < a ? a : x;
                        if (lb < 0 || small < l) l = small, lb = i;
                        if (hb < 0 || large > h) h = large, hb = i;
                    }
                }
            }
            mark(end);
            m_ring = std::move(ring);
            m_maAt = end;
            if (any && ranged) lo = l, hi = h, loBar = lb, hiBar = hb;
            WidenRange(&lo, &hi);
            if (min) *min = lo;
            if (max) *max = hi;
            if (minBar) *minBar = loBar;
            if (maxBar) *maxBar = hiBar;
            return any;
        }
        WidenRange(&lo, &hi);
        if (min) *min = lo;
        if (max) *max = hi;
        if (minBar) *minBar = loBar;
        if (maxBar) *maxBar = hiBar;
        return false;
    }

private:
    // The last MaDays() values up to bar m_maAt.
    ValueRing m_ring;
    int m_maAt = -1;
    unsigned m_maEpoch = 0;
};
