#include "analysis/techs.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

#include <emmintrin.h>

#include "base/text.h"
#include "store/database.h"
#include "store/stock.h"

// ---- window sums taken a block at a time ----

namespace {

// The blocks of a pass of CWindowSums as RunWindowSums walks them: the sums of all day counts
// are taken afresh at the first bar where every window is whole, and again every
// CWindowSum::kRefresh bars. A block is stepped on without the per-bar check of
// CWindowSum::Step, which can only fail after a sum shrank below 1/16 of the largest it held
// since it was taken afresh, or went NaN (and a NaN stays): when every sum of the block is above
// 0, its smallest at least 1/16 of its largest and its last not NaN, no check would have failed
// and the block's sums are those of the checked walk. Otherwise the caller walks the block again
// with RunWindowSums, whose walk from the block's first bar is the checked one.
struct SumBlock {
    double low, high;  // the extremes of the block's sums
    double sum;        // at the block's last bar
    bool Held() const { return !std::isnan(sum) && low > 0 && low >= high * (1.0 / 16); }
};

// to[k] = from[k] / d for k < n, two quotients to an instruction (each the same as alone).
void DivideAll(const double* from, double* to, int n, double d) {
    const __m128d by = _mm_set1_pd(d);
    int k = 0;
    for (; k + 2 <= n; k += 2) _mm_storeu_pd(to + k, _mm_div_pd(_mm_loadu_pd(from + k), by));
    for (; k < n; ++k) to[k] = from[k] / d;
}

// The first bar of every window of days[0..C-1] whole, from first on.
template <int C>
int WholeFrom(const int* days, int first) {
    int common = first;
    for (int j = 0; j < C; ++j) common = std::max(common, days[j] - 1);
    return common;
}

// The extremes of C window sums of price over the block i..stop (MA's range).
template <int C, class Price>
bool SumExtremes(const Price& price, const KDATA* bars, const int* days, int i, int stop, double* lo, double* hi) {
    double s[C], l[C], h[C];
    for (int j = 0; j < C; ++j) {
        CWindowSum w;
        s[j] = l[j] = h[j] = w.Start(i, days[j], price);
    }
    for (int t = i + 1; t <= stop; ++t) {
        CTechnique::PrefetchBar(bars, t);
        const double in = price(t);
#pragma GCC unroll 8
        for (int j = 0; j < C; ++j) {
            s[j] += in - price(t - days[j]);
            l[j] = s[j] < l[j] ? s[j] : l[j];
            h[j] = s[j] > h[j] ? s[j] : h[j];
        }
    }
    for (int j = 0; j < C; ++j)
        if (!SumBlock{l[j], h[j], s[j]}.Held()) return false;
    for (int j = 0; j < C; ++j) lo[j] = l[j], hi[j] = h[j];
    return true;
}

// The averages of C window sums of the volume over the block i..stop, written to lines[j][t], with
// the largest finite volume of the block in *top and whether an average was not finite.
// volume(t) gives bar t's volume; bars (null: none) are the records it reads, to be asked ahead.
template <int C, class Volume>
bool VolumeAverages(const Volume& volume, const KDATA* bars, const int* days, const double* divisor,
                    double* const* lines, int i, int stop, double* top, bool* broken) {
    double s[C], l[C], h[C];
    double* out[C];
    for (int j = 0; j < C; ++j) {
        CWindowSum w;
        s[j] = l[j] = h[j] = w.Start(i, days[j], volume);
        out[j] = lines[j];
        out[j][i] = s[j] / divisor[j];
    }
    // Two day counts (the usual 5 and 10) share one division.
    const __m128d pair = _mm_set_pd(divisor[C > 1 ? 1 : 0], divisor[0]);
    double most = *top;
    for (int t = i; t <= stop; ++t) {
        if (bars) CTechnique::PrefetchBar(bars, t);
        const double in = volume(t);
        most = in > most && in <= DBL_MAX ? in : most;
        if (t == i) continue;
#pragma GCC unroll 8
        for (int j = 0; j < C; ++j) {
            s[j] += in - volume(t - days[j]);
            l[j] = s[j] < l[j] ? s[j] : l[j];
            h[j] = s[j] > h[j] ? s[j] : h[j];
        }
        if constexpr (C == 2) {
            const __m128d q = _mm_div_pd(_mm_set_pd(s[1], s[0]), pair);
            _mm_storel_pd(out[0] + t, q);
            _mm_storeh_pd(out[1] + t, q);
        } else {
            for (int j = 0; j < C; ++j) out[j][t] = s[j] / divisor[j];
        }
    }
    bool bad = false;
    for (int j = 0; j < C; ++j) {
        if (!SumBlock{l[j], h[j], s[j]}.Held()) return false;
        // Sums above 0 and at most the largest, over a day count of at least 1: the averages
        // are finite unless that largest is not.
        bad |= !(h[j] <= DBL_MAX);
    }
    *top = most;
    *broken |= bad;
    return true;
}

}  // namespace

// ---- MA ----

CMA::CMA() : CParamTech("TALLLL", {typeSimple, 15, -15, 10, -10}, {}, {5, 10, 20}, "A") {}

void CMA::Clear() {
    CTechnique::Clear();
    for (Run& r : m_runs) r = Run();
}

CMA::Run& CMA::TakeRun(int days, int type) {
    Run& r = m_runs[days & (kRuns - 1)];
    if (r.days != days || r.type != type) {
        r = Run();
        r.days = days;
        r.type = type;
    }
    return r;
}

bool CMA::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    const CKData& k = *m_pKData;
    auto price = [&k](int t) { return Price(k, t); };
    // A walk in progress: its first bar checked the parameters, and a type of 1 or 2 is valid.
    if (useLast && v && index > 0 && days > 0 && index + 1 >= days) {
        const int type = m_ints[kType];
        if (type == typeExponential) {
            // A broken price has no value, and the average goes on past it.
            const double p = Price(k, index);
            if (!std::isfinite(p)) return false;
            *v = 2 * p / (days + 1) + (days - 1) * *v / (days + 1);
            return true;
        }
        if (type == typeSimple) {
            Run& r = m_runs[days & (kRuns - 1)];
            if (r.days == days && r.type == typeSimple && r.sum.GetBar() >= 0 && r.sum.GetBar() == index - 1) {
                const double ma = r.sum.Next(price) / days;
                if (!std::isfinite(ma)) return false;
                *v = ma;
                return true;
            }
        }
    }
    EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    if (m_ints[kType] == typeExponential) {
        if (!std::isfinite(Price(k, index))) return false;
        if (useLast && v && index > 0) {
            *v = 2 * Price(k, index) / (days + 1) + (days - 1) * *v / (days + 1);
            return true;
        }
        // Run from bar 0, or on from the last bar this day count reached: the same steps, each
        // broken price passed over.
        Run& r = TakeRun(days, typeExponential);
        int t = 0;
        double e = Price(k, 0);
        if (r.bar >= 0 && r.bar <= index && r.mark.bar == r.bar && r.mark.Holds(k)) t = r.bar, e = r.value;
        for (++t; t <= index; ++t) {
            const double p = Price(k, t);
            if (!std::isfinite(e)) e = p;
            if (std::isfinite(p)) e = 2 * p / (days + 1) + (days - 1) * e / (days + 1);
        }
        r.bar = index;
        r.value = e;
        r.mark.Take(k, index);
        if (!std::isfinite(e)) return false;
        if (v) *v = e;
        return true;
    }
    // Summed afresh; a walk that continues from here steps the running sum.
    Run& r = TakeRun(days, typeSimple);
    const double ma = r.sum.Start(index, days, price) / days;
    if (!std::isfinite(ma)) return false;
    if (v) *v = ma;
    return true;
}

bool CMA::GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                       unsigned char* const* valid) {
    if (first > last || !out || !valid || !m_pKData) return CTechnique::GetDaysRange(days, first, last, out, valid);
    EnsureParameters();
    if (m_ints[kType] != typeSimple) return CTechnique::GetDaysRange(days, first, last, out, valid);
    const CKData& k = *m_pKData;
    const int from = std::max(first, 0), to = std::min(last, k.GetSize() - 1);
    bool any = false;
    WithPrices(k, [&](const auto& price) {
        // Each day count as Calculate walks it: summed afresh until a bar has a value, then stepped
        // on. The day counts that begin together on distinct runs step on in one pass.
        const int count = days.GetSize();
        std::vector<CWindowSum>& w = m_walks;
        w.resize(size_t(std::max(count, 1)));
        auto put = [&](int d, int from, int n, const double* sums, bool positive) {
            const int m = int(days[d]);
            double* const line = out[d] - first;
            unsigned char* const got = valid[d] - first;
            if (positive) {
                // Finite sums over a day count of at least 1: every average is finite.
                DivideAll(sums, line + from, n, m);
                std::memset(got + from, 1, size_t(n));
                return;
            }
            for (int k = 0; k < n; ++k) {
                const double ma = sums[k] / m;
                if (std::isfinite(ma)) line[from + k] = ma, got[from + k] = 1;
            }
        };
        bool walking[5] = {false, false, false, false, false};  // walk d began (past five: walked at once)
        bool together = count >= 1 && count <= 5, began = false;
        int at = -1;  // the bar every walk stands at, when they stand alike
        for (int d = 0; d < count; ++d) {
            std::memset(valid[d], 0, size_t(last - first + 1));
            const int n = int(days[d]);
            int i = std::max(from, n - 1);
            for (int e = 0; e < d && together; ++e)
                together = (int(days[e]) & (kRuns - 1)) != (n & (kRuns - 1));
            if (n <= 0 || i > to) {
                together = false;
                continue;
            }
            double* const line = out[d] - first;
            unsigned char* const got = valid[d] - first;
            bool have = false;
            for (; i <= to && !have; ++i) {
                const double ma = w[size_t(d)].Start(i, n, price) / n;
                if (std::isfinite(ma)) line[i] = ma, got[i] = 1, have = true;
            }
            together = together && have && (!began || w[size_t(d)].GetBar() == at);
            at = w[size_t(d)].GetBar();
            began = true;
            any = any || have;
            if (d < 5) walking[d] = have;
            else if (have)
                w[size_t(d)].Walk(to, price, [&, d](int from, int n, const double* sums, bool positive) {
                    put(d, from, n, sums, positive);
                });
        }
        if (together)
            WithSumCount(count, [&](auto c) { together = CWindowSum::WalkTogether<decltype(c)::value>(w.data(), to, price, put); });
        if (!together) {
            for (int d = 0; d < std::min(count, 5); ++d)
                if (walking[d])
                    w[size_t(d)].Walk(to, price, [&put, d](int from, int n, const double* sums, bool positive) {
                        put(d, from, n, sums, positive);
                    });
        }
        // The runs keep where each walk stands, in the order the day counts come.
        for (int d = 0; d < count; ++d) {
            const int n = int(days[d]);
            if (n <= 0 || std::max(from, n - 1) > to) continue;
            TakeRun(n, typeSimple).sum = w[size_t(d)];
        }
    });
    return any;
}

int CMA::GetSignal(int index, int* reason) {
    EnsureParameters();
    int s = GetMACrossSignal(index, m_days, m_ints[kCrossBuy], m_ints[kCrossSell], reason);
    if (s != 0) return s;
    return GetMAArrangeSignal(index, m_days, m_ints[kTrendBuy], m_ints[kTrendSell], reason);
}

// The lines of every day count in one pass over the bars, with the same steps as Calculate.
bool CMA::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    if (!m_pKData || m_days.GetSize() == 0) return GetMinMaxInfoMA(start, end, min, max, this, m_days);
    const CKData& k = *m_pKData;
    start = std::max(start, 0);
    end = std::min(end, k.GetSize() - 1);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    bool any = false;
    if (m_ints[kType] == typeExponential) {
        for (int d = 0; d < m_days.GetSize(); ++d) {
            const int n = int(m_days[d]);
            int i = std::max(start, n - 1);
            if (i > end) continue;
            double v = 0;
            while (i <= end && !Calculate(&v, i, n, false)) ++i;
            if (i > end) continue;
            for (;;) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                any = true;
                // A broken price has no value and is passed over.
                double p = 0;
                while (++i <= end && !std::isfinite(p = Price(k, i))) {
                }
                if (i > end) {
                    // The run of this day count stands at the last bar, for bars appended later.
                    Run& r = TakeRun(n, typeExponential);
                    r.bar = end;
                    r.value = v;
                    r.mark.Take(k, end);
                    break;
                }
                v = 2 * p / (n + 1) + (n - 1) * v / (n + 1);
            }
        }
    } else {
        // Up to five day counts at a time share one pass over the bars.
        for (int d = 0; d < m_days.GetSize(); d += 5) {
            const int count = std::min(5, m_days.GetSize() - d);
            int days[5];
            double divisor[5];
            for (int j = 0; j < count; ++j) days[j] = int(m_days[d + j]), divisor[j] = days[j];
            const KDATA* bars = k.GetData();
            // The extremes of each day count's sums, each in its own registers; divided once at the
            // end (a division by the positive day count keeps the order of the sums, so the extreme
            // averages are those of the extreme sums, to the bit).
            double sumLo[5], sumHi[5];
            for (int j = 0; j < 5; ++j) sumLo[j] = std::numeric_limits<double>::infinity(), sumHi[j] = -sumLo[j];
            WithPrices(k, [&](const auto& price) {
                WithSumCount(count, [&](auto c) {
                    constexpr int C = decltype(c)::value;
                    auto emit = [&](int, int j, double sum) {
                        sumLo[j] = sum < sumLo[j] ? sum : sumLo[j];
                        sumHi[j] = sum > sumHi[j] ? sum : sumHi[j];
                    };
                    auto fetch = [bars](int i) { PrefetchBar(bars, i); };
                    const int whole = WholeFrom<C>(days, start);
                    if (whole > start) RunWindowSums<C>(price, days, start, std::min(end, whole - 1), emit, fetch);
                    for (int i = whole; i <= end; i += CWindowSum::kRefresh) {
                        const int stop = std::min(end, i + CWindowSum::kRefresh - 1);
                        double l[C], h[C];
                        if (!SumExtremes<C>(price, bars, days, i, stop, l, h)) {
                            RunWindowSums<C>(price, days, i, stop, emit, fetch);
                            continue;
                        }
                        for (int j = 0; j < C; ++j) emit(i, j, l[j]), emit(i, j, h[j]);
                    }
                });
            });
            for (int j = 0; j < count; ++j) {
                if (end < std::max(start, days[j] - 1)) continue;  // no window of this count is whole
                any = true;
                const double l = sumLo[j] / divisor[j], h = sumHi[j] / divisor[j];
                lo = l < lo ? l : lo;
                hi = h > hi ? h : hi;
            }
        }
    }
    // A broken price made a window's average infinite: the bar by bar walk passes over it.
    if (any && (!std::isfinite(lo) || !std::isfinite(hi))) return GetMinMaxInfoMA(start, end, min, max, this, m_days);
    if (!any) lo = hi = 0;
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- BBI ----

CBBI::CBBI() : CParamTech("DDDDLL", {3, 6, 12, 24, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

void CBBI::Clear() {
    CTechnique::Clear();
    for (CWindowSum& r : m_runs) r.Reset();
}

bool CBBI::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (LoadFromCache(index, v)) return true;
    for (int k = kDays1; k <= kDays4; ++k)
        if (index + 1 < m_ints[k]) return false;
    const CKData& series = *m_pKData;
    auto price = [&series](int t) { return Price(series, t); };
    double sum = 0;
    for (int k = kDays1; k <= kDays4; ++k) sum += m_runs[k].At(index, m_ints[k], price) / m_ints[k];
    double bbi = sum / 4;
    if (!std::isfinite(bbi)) return false;
    StoreComputed(index, &bbi, 1);
    if (v) *v = bbi;
    return true;
}

int CBBI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double lo0, hi0, lo1, hi1, prev, now;
    if (index < 1 || !GetPriceRangeLevels(index, reason, 0, kRangeWindow, &lo1, &hi1, 0.4, 0.6) ||
        !GetPriceRangeLevels(index - 1, reason, 0, kRangeWindow, &lo0, &hi0, 0.4, 0.6) ||
        !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false))
        return 0;
    double close = (*m_pKData)[index].close;
    if (close < lo1 && prev > lo0 && now < lo1) {
        if (reason) *reason = reasonGoldenCross;
        return m_ints[kBuy];
    }
    if (close > hi1 && prev < hi0 && now > hi1) {
        if (reason) *reason = reasonDeadCross;
        return m_ints[kSell];
    }
    return 0;
}

// As GetMinMaxInfo1, in one pass: cached bars are read, the others step the same running sums as
// Calculate (a cached bar leaves them behind, so the next bar takes them afresh, as Calculate
// would) and are written plainly, then marked computed together.
bool CBBI::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0) {
        EnsureParameters();
        const int days[4] = {m_ints[kDays1], m_ints[kDays2], m_ints[kDays3], m_ints[kDays4]};
        start = std::max(start, *std::max_element(days, days + 4) - 1);
        end = std::min(end, m_pKData->GetSize() - 1);
        if (start <= end && start > m_nLastStored && OpenLines(1) && m_nCacheStart == 0 && end < CacheEnd()) {
            // Nothing of the range is cached yet: the four sums move together in one pass.
            double* const line = m_pCache[0];
            bool broken = false;
            const double divisor[4] = {double(days[0]), double(days[1]), double(days[2]), double(days[3])};
            double l = 0, h = 0;
            bool got = false;
            const KDATA* bars = m_pKData->GetData();
            WithPrices(*m_pKData, [&](const auto& price) {
                double sum = 0;
                RunWindowSums<4>(
                    price, days, start, end, [&sum, &divisor](int, int j, double s) { sum += s / divisor[j]; },
                    [&](int i) {
                        PrefetchBar(bars, i);
                        const double v = sum / 4;
                        sum = 0;
                        line[i] = v;
                        if (__builtin_expect(!std::isfinite(v), 0)) {
                            broken = true;
                            return;
                        }
                        if (!got || v < l) l = v;
                        if (!got || v > h) h = v;
                        got = true;
                    });
            });
            if (got) lo = l, hi = h;
            any = got;
            MarkComputedFinite(0, start, end, broken);
        } else if (start <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
            double* const line = m_pCache[0];  // from bar 0
            bool broken = false;  // a value was not finite: that bar has none
            WithPrices(*m_pKData, [&](const auto& price) {
                CWindowSum runs[4] = {m_runs[0], m_runs[1], m_runs[2], m_runs[3]};
                const KDATA* bars = m_pKData->GetData();
                double l = 0, h = 0;
                bool got = false;
                for (int i = start; i <= end; ++i) {
                    PrefetchBar(bars, i);
                    double v;
                    if (i <= known && i < cacheEnd && IsComputed(0, i)) {
                        v = line[i];
                    } else {
                        // The steps of Calculate, in the same order.
                        double sum = 0;
#pragma GCC unroll 4
                        for (int k = 0; k < 4; ++k) sum += runs[k].At(i, days[k], price) / days[k];
                        v = sum / 4;
                        if (i < cacheEnd) line[i] = v;
                        if (__builtin_expect(!std::isfinite(v), 0)) {
                            broken = true;
                            continue;
                        }
                    }
                    if (!got || v < l) l = v;
                    if (!got || v > h) h = v;
                    got = true;
                }
                for (int k = 0; k < 4; ++k) m_runs[k] = runs[k];
                if (got) lo = l, hi = h;
                any = got;
            });
            MarkComputedFinite(0, start, std::min(end, cacheEnd - 1), broken);
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- BOLL ----

CBOLL::CBOLL() : CParamTech("FFDLL", {20, 10, -10}, {2.0, 2.0}) {}

void CBOLL::Clear() {
    CTechnique::Clear();
    m_run = Run();
}

std::string CBOLL::GetNameParams() {
    return StringPrintf("(%d,%g,%g)", m_ints[kDays], m_doubles[kUpWidth], m_doubles[kDownWidth]);
}

template <typename PriceOf>
__attribute__((noinline)) CBOLL::Run CBOLL::Run::Started(int index, int n, const PriceOf& price) {
    Run r;
    r.origin = price(index - n + 1);
    double a = 0, ca = 0, b = 0, cb = 0;
    for (int t = index - n + 1; t <= index; ++t) {
        const double d = price(t) - r.origin;
        CompensatedAdd(a, ca, d);
        CompensatedAdd(b, cb, d * d);
    }
    r.s1 = a + ca;
    r.s2 = b + cb;
    r.inv = 1.0 / n;
    r.centred = r.s2 - r.s1 * (r.s1 * r.inv);
    r.peak = r.s2;
    r.bar = index;
    r.days = n;
    r.steps = 0;
    return r;
}

template <typename PriceOf>
inline void CBOLL::Run::Next(const PriceOf& price) {
    const int t = bar + 1;
    const double in = price(t) - origin, out = price(t - days) - origin;
    s1 += in - out;
    s2 += in * in - out * out;
    bar = t;
    peak = peak > s2 ? peak : s2;
    centred = s2 - s1 * (s1 * inv);
    // Taken afresh when the squares shrank far below their peak (a huge price left the window),
    // when the origin drifted so far from the prices that the centred sum would lose more than
    // 12 bits (s2 = n (mean - origin)^2 + centred; right after a start s2 is at most n + 1 times
    // the centred sum, so this never repeats at once), and every kRefresh bars.
    if (!(s2 * 16 >= peak) | (s2 > centred * 4096) | (++steps >= CWindowSum::kRefresh))
        *this = Started(t, days, price);
}

void CBOLL::Run::Lines(double* mid, double* deviation) const {
    // origin * n + s1 is the window's plain sum whatever the origin, so MID does not depend on
    // where the run started.
    *mid = (origin * days + s1) * inv;
    *deviation = centred > 0 ? std::sqrt(centred * (1.0 / (days - 1))) : 0;
}

template <typename PriceOf>
void CBOLL::Advance(int index, int n, const PriceOf& price) {
    if (m_run.bar >= 0 && m_run.days == n) {
        if (m_run.bar == index) return;
        if (m_run.bar == index - 1) return m_run.Next(price);
    }
    m_run = Run::Started(index, n, price);
}

// The three lines at index (n > 1 and index + 1 >= n checked by the caller).
void CBOLL::LinesAt(int index, double* v) {
    const int n = m_ints[kDays];
    WithPrices(*m_pKData, [&](const auto& price) { Advance(index, n, price); });
    double m, s;
    m_run.Lines(&m, &s);
    v[0] = m;
    v[1] = m + s * m_doubles[kUpWidth];
    v[2] = m - s * m_doubles[kDownWidth];
}

bool CBOLL::Calculate(double* mid, double* up, double* down, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    // A walk that continues with the day count of its run was checked at its first bar.
    if (!useLast || m_run.bar < 0 || m_run.days != m_ints[kDays]) EnsureParameters();
    const int n = m_ints[kDays];
    if (n <= 1 || index + 1 < n) return false;
    if (LoadFromCache(index, mid, up, down)) return true;
    double v[3];
    LinesAt(index, v);
    if (!AllFinite(v, 3)) return false;
    StoreComputed(index, v, 3);
    if (mid) *mid = v[0];
    if (up) *up = v[1];
    if (down) *down = v[2];
    return true;
}

bool CBOLL::GetDeviation(int index, double* deviation) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (n <= 1 || index + 1 < n) return false;
    WithPrices(*m_pKData, [&](const auto& price) { Advance(index, n, price); });
    double m, s;
    m_run.Lines(&m, &s);
    if (deviation) *deviation = s;
    return true;
}

int CBOLL::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double up, down;
    if (!Calculate(nullptr, &up, &down, index, false)) return 0;
    double close = (*m_pKData)[index].close;
    if (close < down) {
        if (reason) *reason = reasonSupport;
        return m_ints[kSupport];
    }
    if (close > up) {
        if (reason) *reason = reasonResistance;
        return m_ints[kResistance];
    }
    return 0;
}

// As GetMinMaxInfo3, in one pass: cached bars are read, the others continue the running sums.
bool CBOLL::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    const int n = m_ints[kDays];
    if (m_pKData && n > 1) {
        start = std::max(start, n - 1);
        end = std::min(end, m_pKData->GetSize() - 1);
        if (start <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(3) ? CacheEnd() : 0;
            const double up = m_doubles[kUpWidth], down = m_doubles[kDownWidth];
            double l = std::numeric_limits<double>::infinity(), h = -l;
            int lb = start, hb = start;
            double* const lines[3] = {m_pCache[0], m_pCache[1], m_pCache[2]};  // from bar 0
            bool broken = false;  // a value was not finite: that bar has none
            const CKData& k = *m_pKData;
            // With the close column there are no records to ask ahead for.
            const bool column = k.GetPriceMode() != priceOpen && k.GetPriceMode() != priceAverage &&
                                ColumnFor(k, CKData::fieldClose, start, end);
            const KDATA* bars = column ? nullptr : k.GetData();
            WithPriceColumn(k, start, end, [&](const auto& price) {
                Run run = m_run;
                // The run at bar i, continued or started afresh.
                auto advance = [&](int i) {
                    if (run.bar >= 0 && run.days == n && run.bar == i - 1)
                        run.Next(price);
                    else if (!(run.bar == i && run.days == n))
                        run = Run::Started(i, n, price);
                };
                // The lines of the run's bar, stored when the cache holds it; DN is the lowest line
                // and UP the highest (the widths are above 0, s is not negative).
                auto take = [&](int i, bool store) {
                    double m, s;
                    run.Lines(&m, &s);
                    const double u = m + s * up, d = m - s * down;
                    if (store) lines[0][i] = m, lines[1][i] = u, lines[2][i] = d;
                    if (__builtin_expect(!std::isfinite(u - d), 0)) {
                        broken = true;
                        return;
                    }
                    if (d < l) l = d, lb = i;
                    if (u > h) h = u, hb = i;
                };
                if (start > known) {
                    // Nothing of the range is cached yet: one run straight through.
                    const int stored = std::min(end, cacheEnd - 1);
                    advance(start);
                    take(start, start <= stored);
                    int i = start + 1;
                    // A block at a time: the run's sums bar after bar, then the lines of the block
                    // in vector steps (the same operations as Lines and take, so the same values),
                    // then its extremes.
                    enum { B = 256 };
                    double sums[B], centred[B], ups[B], downs[B];
                    const double invLessOne = 1.0 / (n - 1), days = n;
                    const __m128d inv = _mm_set1_pd(run.inv), invLess = _mm_set1_pd(invLessOne);
                    const __m128d upWidth = _mm_set1_pd(up), downWidth = _mm_set1_pd(down);
                    const __m128d zero = _mm_setzero_pd(), sign = _mm_set1_pd(-0.0);
                    const __m128d largest = _mm_set1_pd(DBL_MAX);
                    for (; i <= stored; i += B) {
                        const int len = std::min(int(B), stored - i + 1);
                        for (int j = 0; j < len; ++j) {
                            if (bars) PrefetchBar(bars, i + j);
                            run.Next(price);
                            sums[j] = run.origin * days + run.s1;
                            centred[j] = run.centred;
                        }
                        double* const l0 = lines[0] + i;
                        double* const l1 = lines[1] + i;
                        double* const l2 = lines[2] + i;
                        __m128d finite = _mm_cmpeq_pd(zero, zero);
                        __m128d lo = _mm_set1_pd(l), hi = _mm_set1_pd(h);
                        int j = 0;
                        for (; j + 1 < len; j += 2) {
                            const __m128d m = _mm_mul_pd(_mm_loadu_pd(sums + j), inv);
                            const __m128d c = _mm_loadu_pd(centred + j);
                            const __m128d dev = _mm_and_pd(_mm_cmpgt_pd(c, zero), _mm_sqrt_pd(_mm_mul_pd(c, invLess)));
                            const __m128d u = _mm_add_pd(m, _mm_mul_pd(dev, upWidth));
                            const __m128d d = _mm_sub_pd(m, _mm_mul_pd(dev, downWidth));
                            _mm_storeu_pd(l0 + j, m);
                            _mm_storeu_pd(l1 + j, u);
                            _mm_storeu_pd(l2 + j, d);
                            _mm_storeu_pd(ups + j, u);
                            _mm_storeu_pd(downs + j, d);
                            finite = _mm_and_pd(finite, _mm_cmple_pd(_mm_andnot_pd(sign, _mm_sub_pd(u, d)), largest));
                            lo = _mm_min_pd(lo, d);
                            hi = _mm_max_pd(hi, u);
                        }
                        for (; j < len; ++j) {
                            const double m = sums[j] * run.inv;
                            const double dev = centred[j] > 0 ? std::sqrt(centred[j] * invLessOne) : 0;
                            const double u = m + dev * up, d = m - dev * down;
                            l0[j] = m, l1[j] = u, l2[j] = d;
                            ups[j] = u, downs[j] = d;
                        }
                        double blockLo = std::min(_mm_cvtsd_f64(lo), _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo)));
                        double blockHi = std::max(_mm_cvtsd_f64(hi), _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi)));
                        bool scan = _mm_movemask_pd(finite) != 3;
                        for (int t = len & ~1; t < len && !scan; ++t) {
                            scan = !std::isfinite(ups[t] - downs[t]);
                            blockLo = std::min(blockLo, downs[t]), blockHi = std::max(blockHi, ups[t]);
                        }
                        if (scan) {
                            // A bar without values: as take goes, bar by bar.
                            for (int t = 0; t < len; ++t) {
                                const double u = ups[t], d = downs[t];
                                if (!std::isfinite(u - d)) {
                                    broken = true;
                                    continue;
                                }
                                if (d < l) l = d, lb = i + t;
                                if (u > h) h = u, hb = i + t;
                            }
                            continue;
                        }
                        // Every value finite: the first bar below the lowest so far, and the first
                        // above the highest, as take finds them.
                        if (blockLo < l) {
                            int t = 0;
                            while (downs[t] != blockLo) ++t;
                            l = downs[t], lb = i + t;
                        }
                        if (blockHi > h) {
                            int t = 0;
                            while (ups[t] != blockHi) ++t;
                            h = ups[t], hb = i + t;
                        }
                    }
                    i = stored + 1;
                    for (; i <= end; ++i) {
                        run.Next(price);
                        take(i, false);
                    }
                } else {
                    for (int i = start; i <= end; ++i) {
                        if (i <= known && i < cacheEnd && IsComputed(0, i) && IsComputed(1, i) && IsComputed(2, i)) {
                            const double u = lines[1][i], d = lines[2][i];
                            if (d < l) l = d, lb = i;
                            if (u > h) h = u, hb = i;
                            continue;
                        }
                        advance(i);
                        take(i, i < cacheEnd);
                    }
                }
                m_run = run;
            });
            any = h >= l;
            if (any) lo = l, hi = h, loBar = lb, hiBar = hb;
            for (int k = 0; k < 3; ++k) MarkComputedFinite(k, start, std::min(end, cacheEnd - 1), broken);
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return any;
}

// ---- PV ----

CPV::CPV() : CParamTech("", {}) {}

// Amount over volume, scaled by tens into the bar's range; the bar's average price when no scaling
// gets it there. False for a bar without trades.
namespace {
inline bool PriceOfVolume(const KDATA& b, double* v) {
    if (b.volume <= kPriceEpsilon || b.amount <= kPriceEpsilon) return false;
    double p = double(b.amount) / b.volume;
    int steps = 0;
    while (p < b.low && steps < 10) p *= 10, ++steps;
    while (p > b.high && steps < 20) p /= 10, ++steps;
    if (p < b.low) p = (double(b.open) + b.high + b.low + b.close) / 4;
    if (!std::isfinite(p)) return false;
    *v = p;
    return true;
}
}  // namespace

bool CPV::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    if (LoadFromCache(index, v)) return true;
    double p;
    if (!PriceOfVolume((*m_pKData)[index], &p)) return false;
    StoreToCache(index, &p);
    if (v) *v = p;
    return true;
}

// As GetMinMaxInfo1, in one pass: cached bars are read, the others are written plainly and marked
// computed one run of consecutive bars at a time (a bar without trades has no value and stays
// uncached).
bool CPV::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        if (!min && !max && start <= end && start > m_nLastStored && OpenLines(1) && m_nCacheStart == 0 &&
            end < CacheEnd()) {
            // Filling the cache alone, nothing of it computed yet: two bars to a division (each
            // rounded as on its own), a bar whose price needs no scaling taken as is, any other
            // pair through PriceOfVolume; NaN where a bar has no value.
            double* const line = m_pCache[0];
            const KDATA* const bars = m_pKData->GetData();
            const double none = std::numeric_limits<double>::quiet_NaN();
            bool broken = false;
            int got = 0;
            auto one = [&](int i) {
                double v;
                const bool has = PriceOfVolume(bars[i], &v);
                line[i] = has ? v : none;
                broken |= !has;
                return int(has);
            };
            int i = start;
            const __m128d epsilon = _mm_set1_pd(kPriceEpsilon);
            for (; i + 1 <= end; i += 2) {
                PrefetchNearBar(bars, i);
                const KDATA& a = bars[i];
                const KDATA& b = bars[i + 1];
                const __m128d volume = _mm_set_pd(b.volume, a.volume), amount = _mm_set_pd(b.amount, a.amount);
                const __m128d p = _mm_div_pd(amount, volume);
                // Trades, and a price inside the bar's range that is finite: PriceOfVolume keeps it.
                const __m128d d = _mm_sub_pd(p, p);
                const __m128d plain = _mm_and_pd(
                    _mm_and_pd(_mm_cmpgt_pd(volume, epsilon), _mm_cmpgt_pd(amount, epsilon)),
                    _mm_and_pd(_mm_and_pd(_mm_cmpge_pd(p, _mm_set_pd(b.low, a.low)), _mm_cmple_pd(p, _mm_set_pd(b.high, a.high))),
                               _mm_cmpeq_pd(d, _mm_setzero_pd())));
                if (__builtin_expect(_mm_movemask_pd(plain) != 3, 0)) {
                    got += one(i) + one(i + 1);
                    continue;
                }
                _mm_storeu_pd(line + i, p);
                got += 2;
            }
            if (i <= end) got += one(i);
            MarkComputedFinite(0, start, end, broken);
            any = got > 0;
        } else if (start <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
            const int last = std::min(end, cacheEnd - 1);  // the last bar stored
            double* const line = m_pCache[0];              // from bar 0
            const KDATA* bars = m_pKData->GetData();
            double l = 0, h = 0;
            int run = -1;  // first bar of the run of stored bars not marked yet
            for (int i = start; i <= end; ++i) {
                PrefetchBar(bars, i);
                double v;
                if (i <= known && i <= last && IsComputed(0, i)) {
                    v = line[i];
                } else if (PriceOfVolume(bars[i], &v)) {
                    if (i <= last) line[i] = v;
                } else {
                    if (run >= 0) MarkComputed(0, run, i - 1);
                    run = -1;
                    continue;
                }
                if (run < 0 && i <= last) run = i;
                if (!any || v < l) l = v;
                if (!any || v > h) h = v;
                any = true;
            }
            if (run >= 0) MarkComputed(0, run, last);
            if (any) lo = l, hi = h;
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- SAR ----

CSAR::CSAR() : CParamTech("DNFFLL", {4, 1, 10, -10}, {0.02, 0.2}) {}

void CSAR::Clear() {
    CTechnique::Clear();
    m_run = Run();
    m_flags.clear();
}

bool CSAR::SameRunParameters() const {
    return m_ints[kDays] == m_runDays && m_ints[kInitialDirection] == m_runDirection &&
           m_doubles[kStep] == m_runStep && m_doubles[kMaximum] == m_runMaximum;
}

// The run and the flags belong to the parameters they were computed with: other (checked)
// parameters start them again.
void CSAR::TakeRunParameters() {
    if (SameRunParameters()) return;
    EnsureParameters();
    if (SameRunParameters()) return;
    m_run = Run();
    m_flags.clear();
    m_runDays = m_ints[kDays];
    m_runDirection = m_ints[kInitialDirection];
    m_runStep = m_doubles[kStep];
    m_runMaximum = m_doubles[kMaximum];
}

// A new run at bar t: the opposite direction after a pending reversal at t-1, else the initial
// one; the SAR starts at the extreme of the last days bars.
// Inline: a whole-range pass restarts every few bars.
__attribute__((always_inline)) inline CSAR::Run CSAR::Restarted(Run r, int t) const {
    const KDATA* bars = m_pKData->GetData();
    double lo = bars[t - m_runDays + 1].low, hi = bars[t - m_runDays + 1].high;
    for (int j = t - m_runDays + 2; j <= t; ++j) {
        lo = std::min(lo, double(bars[j].low));
        hi = std::max(hi, double(bars[j].high));
    }
    r.rising = r.bar >= 0 && r.bar == t - 1 && r.pending ? !r.rising : m_runDirection != 0;
    r.pending = 0;
    r.accel = m_runStep;
    r.highest = hi;
    r.lowest = lo;
    r.sar = r.rising ? lo : hi;
    r.bar = t;
    return r;
}

void CSAR::Record(const Run& r, bool restarted) {
    m_flags[size_t(r.bar)] = FlagsOf(r, restarted);
    if (std::isfinite(r.sar)) StoreComputed(r.bar, &r.sar, 1);
}

// Computes bars up to index from the last computed bar before it (or from the first bar). That
// bar's run is rebuilt from the restart it began with, the same steps as when it was computed.
void CSAR::Resume(int index) {
    const int first = m_runDays - 1;
    int c = index - 1;
    while (c >= first && !(m_flags[size_t(c)] & kComputed)) --c;
    Run r;
    if (c >= first) {
        int s = c;
        while (s > first && !(m_flags[size_t(s)] & kRestart)) --s;
        r = Restarted(Run(), s);
        r.rising = (m_flags[size_t(s)] & kRising) != 0;
        r.sar = r.rising ? r.lowest : r.highest;
        for (int t = s + 1; t <= c; ++t) Advance(r, t);
    }
    for (int t = c + 1; t <= index; ++t) {
        const bool restarted = Advance(r, t);
        Record(r, restarted);
    }
    m_run = r;
}

bool CSAR::Calculate(double* v, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    // Without useLast the parameters are checked; a walk keeps them while they do not change.
    if (!useLast) EnsureParameters();
    TakeRunParameters();
    if (index + 1 < m_runDays) return false;
    const size_t size = size_t(m_pKData->GetSize());
    if (m_flags.size() != size) SizeFlags(size);  // bars added since keep what is known
    if ((m_flags[size_t(index)] & kComputed) && LoadFromCache(index, v)) return true;
    if (m_run.bar != index) {
        const bool past = index >= CacheEnd();  // a bar the cache cannot hold: appended since
        if (m_run.bar >= 0 && m_run.bar == index - 1 && (!past || RunMarked())) {
            const bool restarted = Advance(m_run, index);
            Record(m_run, restarted);
        } else {
            Resume(index);
        }
        if (past) MarkRun();
    }
    if (!std::isfinite(m_run.sar)) return false;  // restarted over a broken bar
    if (v) *v = m_run.sar;
    return true;
}

int CSAR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double v;
    // The run is read from the stored flags: no clearing, so the remembered intensity stays.
    if (!Calculate(&v, index, false)) return 0;
    const unsigned char f = m_flags[size_t(index)];
    if (!(f & kPending)) return 0;
    if (!(f & kRising)) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (reason) *reason = reasonBearTrend;
    return m_ints[kSell];
}

// As GetMinMaxInfo1, in one pass: cached bars are read, the others continue the run.
bool CSAR::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0) {
        EnsureParameters();
        TakeRunParameters();
        const int size = m_pKData->GetSize();
        start = std::max(start, m_runDays - 1);
        end = std::min(end, size - 1);
        if (start <= end) {
            if (m_flags.size() != size_t(size)) SizeFlags(size_t(size));
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
            unsigned char* flags = m_flags.data();
            double* const line = m_pCache[0];  // the cache starts at bar 0
            const KDATA* bars = m_pKData->GetData();
            const double step = m_runStep, maximum = m_runMaximum;
            double l = std::numeric_limits<double>::infinity(), h = -l;
            bool broken = false;  // a value was not finite: that bar has none
            Run run = m_run;
            if (run.bar >= 0 && !RunMarked()) run = Run();  // rebuilt from the flags instead
            for (int i = start; i <= end; ++i) {
                PrefetchBar(bars, i);
                double v;
                if (i <= known && i < cacheEnd && (flags[i] & kComputed) && IsComputed(0, i)) {
                    v = line[i];
                } else {
                    if (run.bar != i) {
                        if (run.bar >= 0 && run.bar == i - 1) {
                            const bool restarted = !Continue(bars, step, maximum, run, i);
                            if (restarted) run = Restarted(run, i);
                            flags[i] = FlagsOf(run, restarted);
                            if (i < cacheEnd) line[i] = run.sar;
                        } else {
                            m_run = run;
                            Resume(i);
                            run = m_run;
                        }
                    }
                    v = run.sar;
                    if (__builtin_expect(!std::isfinite(v), 0)) {
                        if (i < cacheEnd) line[i] = v;
                        broken = true;
                        continue;
                    }
                }
                l = v < l ? v : l;
                h = v > h ? v : h;
            }
            m_run = run;
            MarkRun();
            MarkComputedFinite(0, start, std::min(end, cacheEnd - 1), broken);
            any = h >= l;
            if (any) lo = l, hi = h;
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- DJ ----

// The Shenzhen default is the Shenzhen component index: the Shanghai code under the Shenzhen
// market names a file that never exists, and Shenzhen stocks got no overlay.
CDJ::CDJ() : CParamTech("SS", {}, {}, {}, "", {"1A0001_1", "399001_0"}) {}

int CDJ::SetOverlayCode(CStDatabase* database, const char* currentCode, int ktype, int exrightMode, int priceMode) {
    EnsureParameters();
    // The index stocks are shared by every chart; the remembered code is the last chart's.
    static std::mutex s_lock;
    static std::string s_lastCode;
    std::lock_guard<std::mutex> lock(s_lock);
    const std::string code = currentCode ? currentCode : "";
    const bool changed = code != s_lastCode;
    s_lastCode = code;
    CStock& shanghai = GetIndexStock();
    CStock& shenzhen = GetShenzhenIndexStock();
    if (GbkCompareNoCase(shanghai.GetStockCode(), m_strings[kShanghaiCode].c_str()) != 0)
        shanghai.SetStockCode(kMarketShangHai, m_strings[kShanghaiCode].c_str());
    if (GbkCompareNoCase(shenzhen.GetStockCode(), m_strings[kShenzhenCode].c_str()) != 0)
        shenzhen.SetStockCode(kMarketShenZhen, m_strings[kShenzhenCode].c_str());
    int ok = PrepareStockData(database, &shanghai, ktype, exrightMode, priceMode, false, changed);
    ok &= PrepareStockData(database, &shenzhen, ktype, exrightMode, priceMode, false, changed);
    return ok;
}

// ---- MACD ----

CMACD::CMACD() : CParamTech("DDDLLLL", {12, 26, 9, 15, -15, 10, -10}, {}, {}, "(%d,%d,%d)") {}

CMACD::CMACD(const char* layout, std::initializer_list<int> ints, const char* caption)
    : CParamTech(layout, ints, {}, {}, caption) {}

int CMACD::WarmUpBars() {
    EnsureParameters();
    // The signal average decays as well: leaving it out starts DEA at 0 too close to the bar.
    const double ks = double(m_ints[kShort] - 1) / (m_ints[kShort] + 1);
    const double kl = double(m_ints[kLong] - 1) / (m_ints[kLong] + 1);
    const double kg = double(m_ints[kSignal] - 1) / (m_ints[kSignal] + 1);
    double ps = ks, pl = kl, pg = kg;
    int j = 1;
    while (!(ps < 0.001 && pl < 0.001 && pg < 0.001)) {
        ps *= ks, pl *= kl, pg *= kg;
        ++j;
    }
    return j;
}

void CMACD::Clear() {
    CParamTech::Clear();
    m_tail.mark.Reset();
    m_tail.lines.clear();
}

int CMACD::WarmUpStart(int index) { return std::max(0, index - (WarmUpBars() - 1)); }

void CMACD::SetFactors() {
    if (m_factorDays[0] == m_ints[kShort] && m_factorDays[1] == m_ints[kLong] && m_factorDays[2] == m_ints[kSignal])
        return;
    for (int k = 0; k < 3; ++k) {
        const int n = m_ints[kShort + k];
        m_fNew[k] = 2.0 / (n + 1);
        m_fOld[k] = (n - 1.0) / (n + 1);
        m_factorDays[k] = n;
    }
    m_nMinBars = std::max(m_factorDays[0], std::max(m_factorDays[1], m_factorDays[2]));
}

void CMACD::Step(int index, double* v) const {
    const double p = SourceAt(index);
    if (!std::isfinite(p)) return;
    const double es = m_fNew[0] * p + m_fOld[0] * v[0];
    const double el = m_fNew[1] * p + m_fOld[1] * v[1];
    v[3] = m_fOld[2] * v[3] + m_fNew[2] * (es - el);
    v[0] = es, v[1] = el, v[2] = es - el;
}

bool CMACD::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    const bool continued = useLast && v1 && v2 && v4 && index > 0;
    // A walk that continues with the day counts of its weights was checked at its first bar.
    if (!continued || m_factorDays[0] != m_ints[kShort] || m_factorDays[1] != m_ints[kLong] ||
        m_factorDays[2] != m_ints[kSignal]) {
        EnsureParameters();
        SetFactors();
    }
    if (index + 1 < m_nMinBars) return false;
    if (LoadFromCache(index, v1, v2, v3, v4)) return true;
    if (!std::isfinite(SourceAt(index))) return false;
    double v[4];
    if (continued) {
        v[0] = *v1, v[1] = *v2, v[2] = 0, v[3] = *v4;
        Step(index, v);
    } else if (index >= CacheEnd() && TailLoad(index, v)) {
    } else if (m_tail.mark.bar >= 0 && m_tail.mark.bar < index && index >= CacheEnd() && TailHolds()) {
        for (int k = 0; k < 4; ++k) v[k] = m_tail.v[k];
        const int cacheEnd = CacheEnd();
        for (int t = m_tail.mark.bar + 1; t <= index; ++t) {
            Step(t, v);
            if (t >= cacheEnd) TailStore(t, v[0], v[1], v[2], v[3]);
        }
        KeepTail(index, v);
    } else {
        const int n = WarmUpStart(index);
        v[0] = v[1] = SeedAt(n, index), v[2] = v[3] = 0;
        for (int t = n; t <= index; ++t) Step(t, v);
    }
    StoreComputed(index, v, 4);
    if (v1) *v1 = v[0];
    if (v2) *v2 = v[1];
    if (v3) *v3 = v[2];
    if (v4) *v4 = v[3];
    return true;
}

namespace {
inline void TakeMACDRange(double dif, double dea, int i, double* lo, double* hi, int* loBar, int* hiBar) {
    const double bar = 2 * (dif - dea);
    const double a = std::min(dif, std::min(dea, bar)), b = std::max(dif, std::max(dea, bar));
    if (a < *lo) *lo = a, *loBar = i;
    if (b > *hi) *hi = b, *hiBar = i;
}
}  // namespace

namespace {
// The steps of CMACD::Step over bars i.. two at a time, up to `stored` and while both prices of a
// pair are finite, the four lines of each bar written to lines[k][t]. weights: new and old
// weights of the short, long and signal averages; run: the four lines of the bar before, left at
// those of the last bar done. Returns the first bar not done.
template <class Price>
int MacdPairs(const Price& price, const KDATA* bars, int i, int stored, const double* weights, double* run,
              double* const* lines) {
    const double n0 = weights[0], o0 = weights[1], n1 = weights[2], o1 = weights[3], n2 = weights[4],
                 o2 = weights[5];
    double es = run[0], el = run[1], dif = run[2], dea = run[3];
    double* const l0 = lines[0];
    double* const l1 = lines[1];
    double* const l2 = lines[2];
    double* const l3 = lines[3];
    for (; i + 1 <= stored; i += 2) {
        CTechnique::PrefetchBar(bars, i);
        const double p = price(i), q = price(i + 1);
        if (__builtin_expect(!(std::isfinite(p) && std::isfinite(q)), 0)) break;
        es = n0 * p + o0 * es;
        el = n1 * p + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        dif = es - el;
        l0[i] = es, l1[i] = el, l2[i] = dif, l3[i] = dea;
        es = n0 * q + o0 * es;
        el = n1 * q + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        dif = es - el;
        l0[i + 1] = es, l1[i + 1] = el, l2[i + 1] = dif, l3[i + 1] = dea;
    }
    run[0] = es, run[1] = el, run[2] = dif, run[3] = dea;
    return i;
}
}  // namespace

bool CMACD::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    EnsureParameters();
    SetFactors();
    const bool ranged = min || max || minBar || maxBar;  // filling the cache alone takes no range
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        double v[4] = {0, 0, 0, 0};
        int i = start;
        bool any = false;
        // The first bar that computes, then every later one continued from it (as with useLast).
        for (; i <= end && !any; ++i) {
            if (!LoadComputed(i, v, 4) && !Calculate(&v[0], &v[1], &v[2], &v[3], i, false)) continue;
            any = true;
            lo = hi = v[2];
            loBar = hiBar = i;
            TakeMACDRange(v[2], v[3], i, &lo, &hi, &loBar, &hiBar);
        }
        if (i <= end) {
            const int from = i, known = m_nLastStored;
            const int cacheEnd = OpenLines(4) ? CacheEnd() : 0;
            const double n0 = m_fNew[0], o0 = m_fOld[0], n1 = m_fNew[1], o1 = m_fOld[1], n2 = m_fNew[2],
                         o2 = m_fOld[2];
            double* const lines[4] = {m_pCache[0], m_pCache[1], m_pCache[2], m_pCache[3]};  // from bar 0
            bool broken = false;  // a source value was not finite: that bar has none, and is passed over
            WithSource([&](const auto& price) {
                double es = v[0], el = v[1], dif = v[2], dea = v[3];
                // One bar of the two averages, the difference and its average.
                auto step = [&](double p) {
                    es = n0 * p + o0 * es;
                    el = n1 * p + o1 * el;
                    dea = o2 * dea + n2 * (es - el);
                    dif = es - el;
                };
                double l = lo, h = hi;
                int lb = loBar, hb = hiBar;
                const KDATA* bars = m_pKData->GetData();
                if (i > known && !ranged) {
                    // Nothing further is cached: the averages alone, each line written plainly, two
                    // bars at a time.
                    const int stored = std::min(end, cacheEnd - 1);
                    double* const l0 = lines[0];
                    double* const l1 = lines[1];
                    double* const l2 = lines[2];
                    double* const l3 = lines[3];
                    bool bad = false;
                    auto one = [&](int t) {
                        const double p = price(t);
                        if (__builtin_expect(!std::isfinite(p), 0)) {
                            if (t <= stored)
                                l0[t] = l1[t] = l2[t] = l3[t] = p;
                            else
                                TailStore(t, es, el, dif, dea);
                            bad = true;
                            return;
                        }
                        step(p);
                        if (t <= stored)
                            l0[t] = es, l1[t] = el, l2[t] = dif, l3[t] = dea;
                        else
                            TailStore(t, es, el, dif, dea);
                    };
                    // Pairs of bars while both prices are finite, the state in registers there.
                    const double weights[6] = {n0, o0, n1, o1, n2, o2};
                    while (i <= stored) {
                        double run[4] = {es, el, dif, dea};
                        i = MacdPairs(price, bars, i, stored, weights, run, lines);
                        es = run[0], el = run[1], dif = run[2], dea = run[3];
                        if (i <= stored) one(i++);  // a broken price, or the last bar
                    }
                    for (; i <= end; ++i) {
                        PrefetchBar(bars, i);
                        one(i);
                    }
                    broken = bad;
                }
                for (; i <= end; ++i) {
                    PrefetchBar(bars, i);
                    if (i <= known && i < cacheEnd && IsComputed(0, i) && IsComputed(1, i) && IsComputed(2, i) &&
                        IsComputed(3, i)) {
                        es = lines[0][i], el = lines[1][i], dif = lines[2][i], dea = lines[3][i];
                    } else {
                        // The steps of Step, in the same order.
                        const double p = price(i);
                        if (__builtin_expect(!std::isfinite(p), 0)) {
                            if (i < cacheEnd)
                                lines[0][i] = lines[1][i] = lines[2][i] = lines[3][i] = p;
                            else
                                TailStore(i, es, el, dif, dea);
                            broken = true;
                            continue;
                        }
                        step(p);
                        if (i < cacheEnd)
                            lines[0][i] = es, lines[1][i] = el, lines[2][i] = dif, lines[3][i] = dea;
                        else
                            TailStore(i, es, el, dif, dea);
                    }
                    TakeMACDRange(dif, dea, i, &l, &h, &lb, &hb);
                }
                lo = l, hi = h, loBar = lb, hiBar = hb;
                v[0] = es, v[1] = el, v[2] = dif, v[3] = dea;
            });
            for (int l = 0; l < 4; ++l) MarkComputedFinite(l, from, std::min(end, cacheEnd - 1), broken);
        }
        // The lines of the last bar, for bars appended later.
        if (any && end >= 0 && AllFinite(v, 4)) KeepTail(end, v);
    }
    lo -= std::fabs(lo) * 0.02;
    if (std::fabs(lo) < 0.0001) lo = -0.01;
    hi += std::fabs(hi) * 0.02;
    if (std::fabs(hi) < 0.0001) hi = 0.01;
    if (hi - lo < 0.03) hi = lo + 0.05;
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return true;
}

int CMACD::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index)) return 0;
    EnsureParameters();
    // Fill the whole series once; later calls find the bar cached and skip the walk. Bars added
    // after the first store have no cache entry, and a walk for them would store nothing.
    if ((m_nCacheLength <= 0 || index < CacheEnd()) && (!GetCached(3, index, nullptr) || !GetCached(4, index, nullptr)))
        PrepareCache(0, -1, false);
    const int minBars = std::max(m_ints[kShort], std::max(m_ints[kLong], m_ints[kSignal]));
    double low, high, dif, dea;
    if (!GetRangeLevels(index, reason, minBars, kRangeWindow, &low, &high, 0.309, 0.682)) return 0;
    if (!Calculate(nullptr, nullptr, &dif, &dea, index, false)) return 0;
    int s = 0, r = reasonNone;
    if (IsBottomDivergence(index, 3, 4))
        s = m_ints[kDivBuy], r = reasonBottomDivergence;
    else if (IsTopDivergence(index, 3, 4))
        s = m_ints[kDivSell], r = reasonTopDivergence;
    else if (dif < low && dea < low)
        s = m_ints[kCrossBuy], r = reasonGoldenCross;
    else if (dif > high && dea > high)
        s = m_ints[kCrossSell], r = reasonDeadCross;
    if (reason) *reason = r;
    return s;
}

// ---- MIKE ----

CMIKE::CMIKE() : CParamTech("D", {12}, {}, {}, "%d") {}

namespace {
// A window's extremes in independent blocks joined in order: std::min(x, low) and
// std::max(x, high) folded block after block give what stepping x through the bars one at a
// time gives (the earliest of equal values, a bar whose field is NaN passed over, a NaN x kept),
// when each block starts at +inf and -inf. Short dependency chains instead of one as long as the
// window.
struct HighLow {
    float low = std::numeric_limits<float>::infinity(), high = -std::numeric_limits<float>::infinity();
    void Add(const KDATA& b) { low = std::min(low, b.low), high = std::max(high, b.high); }
};
}  // namespace

bool CMIKE::Calculate(double* wr, double* mr, double* sr, double* ws, double* ms, double* ss, int index) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (index + 1 < 2 * n) return false;
    const KDATA* const bars = m_pKData->GetData();
    // Bars are mostly asked in order (a pane, a whole-series walk): the record ahead is asked for.
    PrefetchBar(bars, index);
    const KDATA& b = bars[index];
    float typ = (b.high + b.low + b.close) / 3;
    // Each extreme starts at the bar's own value and sees the older half of the 2n-bar window (for
    // the 2n-bar extremes) and then the newer half, as one loop over the window would: here each
    // half in two blocks (the second one bar longer for an odd n), stepped side by side.
    const int split = n / 2;
    const KDATA* const o0 = bars + (index - 2 * n + 1);
    const KDATA* const o1 = o0 + split;
    const KDATA* const n0 = o0 + n;
    const KDATA* const n1 = n0 + split;
    HighLow a, c, d, e;
    for (int k = 0; k < split; ++k) a.Add(o0[k]), c.Add(o1[k]), d.Add(n0[k]), e.Add(n1[k]);
    if (n - split > split) c.Add(o1[split]), e.Add(n1[split]);
    float ln = std::min(std::min(b.low, d.low), e.low), hn = std::max(std::max(b.high, d.high), e.high);
    float l2n = std::min(std::min(std::min(std::min(b.low, a.low), c.low), d.low), e.low);
    float h2n = std::max(std::max(std::max(std::max(b.high, a.high), c.high), d.high), e.high);
    const double levels[6] = {typ + (typ - ln), typ + (hn - ln), typ + (h2n - ln),
                              typ - (hn - typ), typ - (hn - ln), typ - (hn - l2n)};
    // Float levels: their sum is finite exactly when each is.
    if (!std::isfinite(levels[0] + levels[1] + levels[2] + levels[3] + levels[4] + levels[5])) return false;
    double* const out[6] = {wr, mr, sr, ws, ms, ss};
    for (int j = 0; j < 6; ++j)
        if (out[j]) *out[j] = levels[j];
    return true;
}

// ---- PSY ----

CPSY::CPSY() : CParamTech("DLL", {12, 10, -10}, {}, {}, "(%d)") {}

void CPSY::Clear() {
    CTechnique::Clear();
    m_nRunBar = -1;
}

bool CPSY::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (index < n) return false;
    if (LoadFromCache(index, v)) return true;
    const CKData& k = *m_pKData;
    auto rose = [&k](int t) { return Price(k, t) > Price(k, t - 1) ? 1 : 0; };
    // The count moves with the window: a whole number, so it never drifts.
    if (m_nRunBar >= 0 && m_nRunDays == n && m_nRunBar == index - 1) {
        m_nRunCount += rose(index) - rose(index - n);
    } else if (!(m_nRunBar == index && m_nRunDays == n)) {
        m_nRunCount = 0;
        for (int t = index - n + 1; t <= index; ++t) m_nRunCount += rose(t);
    }
    m_nRunBar = index;
    m_nRunDays = n;
    double psy = m_nRunCount * 100.0 / n;
    StoreComputed(index, &psy, 1);
    if (v) *v = psy;
    return true;
}

int CPSY::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double prev, now;
    if (index < 1 || !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false)) return 0;
    if (now < 30 && now >= prev) {
        if (reason) *reason = reasonOversold;
        return m_ints[kBuy];
    }
    if (now > 70 && now <= prev) {
        if (reason) *reason = reasonOverbought;
        return m_ints[kSell];
    }
    return 0;
}

bool CPSY::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    const int n = m_ints[kDays];
    if (m_pKData && start >= 0 && start > m_nLastStored && n >= 1) {
        // Nothing of the range is cached yet: one pass moving the count, the line written plainly.
        end = std::min(end, m_pKData->GetSize() - 1);
        const int first = std::max(start, n);
        if (first <= end && OpenLines(1) && m_nCacheStart == 0 && end < CacheEnd()) {
            double* const line = m_pCache[0];
            WithPrices(*m_pKData, [&](const auto& price) {
                auto rose = [&price](int t) { return price(t) > price(t - 1) ? 1 : 0; };
                const KDATA* bars = m_pKData->GetData();
                int count = 0;
                for (int t = first - n + 1; t <= first; ++t) count += rose(t);
                line[first] = count * 100.0 / n;
                for (int i = first + 1; i <= end; ++i) {
                    PrefetchBar(bars, i);
                    count += rose(i) - rose(i - n);
                    line[i] = count * 100.0 / n;
                }
                m_nRunCount = count;
            });
            m_nRunBar = end;
            m_nRunDays = n;
            MarkComputed(0, first, end);
            start = end + 1;
        }
    }
    if (m_pKData && start >= 0)
        for (int i = start; i <= end && i < m_pKData->GetSize(); ++i) Calculate(nullptr, i, false);
    if (min) *min = 0;
    if (max) *max = 100;
    return true;
}

// ---- VOLUME ----

CVOLUME::CVOLUME() : CParamTech("ALLLL", {15, -15, 10, -10}, {}, {5, 10}, "A") {}

void CVOLUME::Clear() {
    CTechnique::Clear();
    for (CWindowSum& r : m_runs) r.Reset();
}

bool CVOLUME::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    // Only the given day count enters the sums; a walk was checked at its first bar.
    if (!useLast) EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    // Each day count has its own cache line, so two counts never read each other's values.
    const int line = DayCacheLine(m_days, days);
    if (line >= 0 && HasEntry(line, index)) {
        if (v) *v = m_pCache[line][index - m_nCacheStart];
        return true;
    }
    const KDATA* bars = m_pKData->GetData();
    const double ma = RunFor(days).At(index, days, [bars](int t) { return double(bars[t].volume); }) / days;
    if (!std::isfinite(ma)) return false;
    if (line >= 0) StoreLine(line, index, ma);
    if (v) *v = ma;
    return true;
}

bool CVOLUME::GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                           unsigned char* const* valid) {
    if (first > last || !out || !valid || !m_pKData) return CTechnique::GetDaysRange(days, first, last, out, valid);
    EnsureParameters();
    const int from = std::max(first, 0), to = std::min(last, m_pKData->GetSize() - 1);
    bool any = false;
    for (int d = 0; d < days.GetSize(); ++d) {
        std::memset(valid[d], 0, size_t(last - first + 1));
        const int n = int(days[d]);
        // The bars whose entry the cache holds, as one stretch: Calculate would read them there.
        int copyFirst = to + 1, copyLast = to;
        const int line = DayCacheLine(m_days, n);
        if (line >= 0 && m_pCache[line] && m_nCacheLength > 0) {
            copyFirst = std::max({from, m_nRangeFirst[line] + m_nCacheStart, m_nCacheStart});
            copyLast = std::min({to, m_nLastStored, m_nRangeLast[line] + m_nCacheStart, CacheEnd() - 1});
        }
        bool have = false;
        for (int i = from; i <= to; ++i) {
            if (i == copyFirst && copyFirst <= copyLast) {
                const int count = copyLast - copyFirst + 1;
                std::memcpy(out[d] + (i - first), m_pCache[line] + (i - m_nCacheStart), sizeof(double) * size_t(count));
                std::memset(valid[d] + (i - first), 1, size_t(count));
                have = true;
                i = copyLast;
                continue;
            }
            double v;
            if (!Calculate(&v, i, n, have)) continue;
            out[d][i - first] = v;
            valid[d][i - first] = 1;
            have = true;
        }
        any = any || have;
    }
    return any;
}

int CVOLUME::GetSignal(int index, int* reason) {
    EnsureParameters();
    int r = reasonNone;
    int s = GetMAArrangeSignal(index, m_days, m_ints[kTrendBuy], m_ints[kTrendSell], &r);
    // A trend against a new price extreme turns into a divergence (compared with the user's
    // trend levels, so changed levels still work).
    if (s != 0 && s == m_ints[kTrendBuy] && r == reasonBullTrend &&
        m_pKData->IsNewHigh(index, false, kDivergenceWindow)) {
        s = m_ints[kDivBuy];
        r = reasonBottomDivergence;
    } else if (s != 0 && s == m_ints[kTrendSell] && r == reasonBearTrend &&
               m_pKData->IsNewHigh(index, true, kDivergenceWindow)) {
        s = m_ints[kDivSell];
        r = reasonTopDivergence;
    }
    if (reason) *reason = r;
    return s;
}

// The largest volume and every cached day-count line over the range, in one pass.
bool CVOLUME::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    if (!m_pKData || start < 0 || end < start || start >= m_pKData->GetSize()) return false;
    end = std::min(end, m_pKData->GetSize() - 1);
    if (min) *min = 0;
    EnsureParameters();
    const CKData& k = *m_pKData;
    // The series' volume column when it has one (or the range is most of it), else the records.
    if (const double* column = ColumnFor(k, CKData::fieldVolume, start, end))
        return VolumeRange([column](int t) { return column[t]; }, nullptr, start, end, max);
    const KDATA* bars = k.GetData();
    return VolumeRange([bars](int t) { return double(bars[t].volume); }, bars, start, end, max);
}

template <class Volume>
bool CVOLUME::VolumeRange(const Volume& volume, const KDATA* bars, int start, int end, double* max) {
    // The lines that have a cache line (the first five distinct day counts).
    int days[kLines], line[kLines], count = 0;
    double divisor[kLines];
    double* values[kLines];
    const int cacheEnd = OpenLines(0) ? CacheEnd() : 0;
    for (int d = 0; d < m_days.GetSize() && d < kLines; ++d) {
        if (DayCacheLine(m_days, int(m_days[d])) != d || !UseLine(d)) continue;
        days[count] = int(m_days[d]);
        divisor[count] = days[count];
        values[count] = m_pCache[d];
        line[count] = d;
        ++count;
    }
    const int known = m_nLastStored;
    const int last = std::min(end, cacheEnd - 1);
    double top = 0;
    bool broken = false;  // a value was not finite: that bar has none
    auto emit = [&](int i, int j, double sum) {
        if (i > known || !IsComputed(line[j], i)) {
            const double ma = sum / divisor[j];
            broken |= !std::isfinite(ma);
            values[j][i] = ma;
        }
    };
    auto done = [&](int i) {
        if (bars) PrefetchBar(bars, i);
        const double x = volume(i);
        if (x > top && std::isfinite(x)) top = x;
    };
    const bool fresh = start > known;  // no bar of the range cached yet
    if (!WithSumCount(count, [&](auto c) {
            constexpr int C = decltype(c)::value;
            if (!fresh) return RunWindowSums<C>(volume, days, start, last, emit, done);
            const int whole = WholeFrom<C>(days, start);
            if (whole > start) RunWindowSums<C>(volume, days, start, std::min(last, whole - 1), emit, done);
            for (int i = whole; i <= last; i += CWindowSum::kRefresh) {
                const int stop = std::min(last, i + CWindowSum::kRefresh - 1);
                if (!VolumeAverages<C>(volume, bars, days, divisor, values, i, stop, &top, &broken))
                    RunWindowSums<C>(volume, days, i, stop, emit, done);
            }
        }))
        for (int i = start; i <= last; ++i) done(i);
    for (int i = std::max(start, last + 1); i <= end; ++i) done(i);
    for (int j = 0; j < count; ++j) MarkComputedFinite(line[j], std::max(start, days[j] - 1), last, broken);
    if (max) *max = std::max(top + 1, 3.0);
    return true;
}

// ---- price bars ----

bool CKLine::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return false;
    const int size = m_pKData->GetSize();
    if (start < 0 || start >= size || end < start || end >= size) return false;
    const CKData& k = *m_pKData;
    double lo = k[start].low, hi = k[start].high;
    int loBar = start, hiBar = start;
    for (int i = start + 1; i <= end; ++i) {
        if (k[i].low < lo) lo = k[i].low, loBar = i;
        if (k[i].high > hi) hi = k[i].high, hiBar = i;
    }
    auto margin = [](double v) {
        double a = std::fabs(v);
        return a < 10 ? 0.05 : a < 100 ? 0.03 : a < 1000 ? 0.02 : 0.01;
    };
    lo -= margin(lo) * std::fabs(lo);
    if (lo <= 0) lo = 0;
    hi += margin(hi) * std::fabs(hi);
    if (hi - lo < 0.03) hi = lo + 0.03;
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return true;
}
