// Volume indicators: NVI, PVI, VR, VROC, OBV, MOBV, MFI, VMACD, WVAD, EMV, VRSI, NVRSI, AD and CI.
#include "analysis/techs_volume.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "analysis/techs_price.h"

#include <emmintrin.h>

#include <emmintrin.h>

namespace {
// The whole-range kernels take their bars a block at a time into columns of doubles: the choices
// per bar then run over contiguous values without branches, and only the running sums stay a
// serial chain.
constexpr int kBlock = 256;

}  // namespace

// ---- NVI, PVI ----

CVolumeIndex::CVolumeIndex(bool negative) : CTechLines("DLL", {25, 10, -10}, {}, {}, "(%d)"), m_negative(negative) {}
CNVI::CNVI() : CVolumeIndex(true) {}
CPVI::CPVI() : CVolumeIndex(false) {}

namespace {
// a when c holds, else b: a choice on the bits, so that no branch is taken on data that follows
// no pattern.
inline double Pick(bool c, double a, double b) {
    uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    const uint64_t mask = uint64_t(0) - uint64_t(c);
    const uint64_t z = (x & mask) | (y & ~mask);
    double r;
    std::memcpy(&r, &z, sizeof r);
    return r;
}

// One bar of NVI's or PVI's lines: the index moves by the prices' ratio when the volume moved the
// index's way and both prices are sane (a ratio of 1 leaves it as it is), and a step that is not
// finite (a broken price) is passed over; the average weighs the new index 2 / (n + 1). Only the
// multiplications stay in the chain from bar to bar.
struct IndexStep {
    bool negative;
    double keep, add;  // (n - 1) / (n + 1) and 2 / (n + 1)
    IndexStep(bool neg, int n) : negative(neg), keep((n - 1.0) / (n + 1)), add(2.0 / (n + 1)) {}
    // The factor of the index: 1 unless it moves.
    double Ratio(double before, double now, double p, double q) const {
        const bool moves = (negative ? before > now : before < now) & (p > 0.0001) & (q > 0.0001);
        const double ratio = p / q;
        return Pick(moves & (ratio - ratio == 0), ratio, 1.0);
    }
    void operator()(double before, double now, double p, double q, double& index, double& average) const {
        const double next = index * Ratio(before, now, p, q);
        if (std::isfinite(next)) index = next;
        average = keep * average + add * index;
    }
};
}  // namespace

// One bar of the index and its average: v holds the lines of bar t - 1 and gets those of bar t.
void CVolumeIndex::Step(int t, double* v) const {
    const CKData& k = *m_pKData;
    const IndexStep step(m_negative, m_ints[kDays]);
    step(k[t - 1].volume, k[t].volume, Price(k, t), Price(k, t - 1), v[0], v[1]);
}

// Cumulative from bar 0 (100 for both lines); the object's run carries a pane in one pass.
bool CVolumeIndex::Lines(int i, double* v) {
    return RunCumulative(
        m_run, i, 2, v, [](double* s) { s[0] = s[1] = 100; }, [this](int t, double* s) { Step(t, s); });
}

bool CVolumeIndex::Calculate(double* v1, double* v2, int index, bool) {
    double* out[2] = {v1, v2};
    return CalcBar(index, 2, out, [this](int i, double* v) { return Lines(i, v); });
}

int CVolumeIndex::GetSignal(int index, int* reason) {
    EnsureParameters();
    return GetCrossSignal(index, m_ints[kBuy], m_ints[kSell], reason);
}

// A bar right after one the pass computed steps on from the lines the pass holds.
// The lines of the last bar become the run's state, so that bars appended later step on from it.
bool CVolumeIndex::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(2, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            double v[2] = {100, 100};
            if (first > 0 && !Lines(first, v)) v[0] = v[1] = std::numeric_limits<double>::quiet_NaN();
            const CKData& k = *m_pKData;
            const KDATA* bars = k.GetData();
            const IndexStep step(m_negative, m_ints[kDays]);
            double index = v[0], average = v[1];
            lines[0][first] = index, lines[1][first] = average;
            // The index leaves the finite only by an overflow: then the range is walked again
            // with the check at every bar.
            for (bool checked : {false, true}) {
                index = v[0], average = v[1];
                WithPrices(k, [&](const auto& price) {
                    double q = price(first), before = bars[first].volume;
                    double* const l0 = lines[0];
                    double* const l1 = lines[1];
                    for (int t = first + 1; t <= last; ++t) {
                        PrefetchBar(bars, t);
                        const double now = bars[t].volume, p = price(t);
                        if (checked) {
                            step(before, now, p, q, index, average);
                        } else {
                            index *= step.Ratio(before, now, p, q);
                            average = step.keep * average + step.add * index;
                        }
                        l0[t] = index, l1[t] = average;
                        q = p, before = now;
                    }
                });
                if (checked || std::isfinite(index) || !std::isfinite(v[0])) break;
            }
            v[0] = index, v[1] = average;
            if (AllFinite(v, 2)) KeepRun(m_run, last, 2, v);
            return !AllFinite(v, 2);
        }))
        return fresh;
    int last = -1;
    const int stop = m_pKData ? std::min(end, m_pKData->GetSize() - 1) : -1;
    double held[2] = {0, 0};
    const bool any = RangePass(2, start, end, min, max, minBar, maxBar, [this, &last, &held, stop](int i, double* v) {
        if (last >= 0 && last == i - 1)
            Step(i, v);
        else if (!Lines(i, v))
            return false;
        last = i;
        if (i == stop) std::copy(v, v + sizeof(held) / sizeof(double), held);
        return true;
    });
    if (m_pKData) KeepRunAfterPass(m_run, stop, 2, last, held);
    return any;
}

// ---- VR ----

CVR::CVR() : CLine1("DLL", {12, 10, -10}, {}, {}, "(%d)") {}

bool CVR::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const double* s = DaySums(m_sums, i, kDays, 1, [&k](int t, double sign, double* out) {
        const float p = float(Price(k, t)), q = float(Price(k, t - 1));
        const double volume = k[t].volume;
        out[0] += sign * (p > q ? volume : 0);
        out[1] += sign * (p < q ? volume : 0);
        out[2] += sign * (volume);
    });
    if (!s) return false;
    const double half = s[2] / 2, down = s[1] + half;
    if (down < 0.0001) return false;
    *v = (s[0] + half) * 100 / down;
    return true;
}

int CVR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high, prev, now;
    if (!GetRangeLevels(index, reason, m_ints[kDays], kRangeWindow, &low, &high, 0.309, 0.682) ||
        !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false))
        return 0;
    if (now < low && now > prev) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (now > high && now < prev) {
        if (reason) *reason = reasonBearTrend;
        return m_ints[kSell];
    }
    return 0;
}

// ---- VROC ----

CVROC::CVROC() : CLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}

bool CVROC::Line(int i, double* v) {
    const int n = m_ints[kDays];
    const CKData& k = *m_pKData;  // a read: no writable access, which would count as a change
    return i >= n && PercentChange(k[i].volume, k[i - n].volume, v);
}

__attribute__((flatten)) bool CVROC::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar,
                                                   int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    // No bar before n + m - 1 has an average: the pass starts there, so that a whole series
    // writes no gap (a gap costs the pass a look at every bar).
    if (m_ints[kDays] >= 1 && MaDays() >= 1 &&
        FreshPass(2, std::max(start, m_ints[kDays] + MaDays() - 1), end, min, max, minBar, maxBar, &fresh,
                  [this](int first, int last, double* const* lines) { return Kernel(first, last, lines[0], lines[1]); }))
        return fresh;
    return LineMAPass(start, end, min, max, minBar, maxBar, [this](int t, double* x) { return CVROC::Line(t, x); });
}

// A block at a time: the changes of its bars into a column (NaN where a bar has none), then the
// average of the last m values with a running sum, taken afresh at the block's first average.
// A step rounds by at most a unit in the last place of the largest sum it held; a block whose
// bound on that (from its largest value) is not far below the tolerance of an average (an absurd
// change in or near the window) adds every window afresh.
bool CVROC::Kernel(int first, int last, double* line, double* average) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    const int n = m_ints[kDays], m = MaDays();
    enum { B = 256 };
    const CKData& k = *m_pKData;
    const KDATA* const bars = k.GetData();
    // The series' volume column when it has one (or the range is most of it), else the records.
    const double* const column = ColumnFor(k, CKData::fieldVolume, first, last);
    // The values up to m - 1 before first, oldest first.
    m_column.resize(size_t(m - 1 + B));
    double* const held = m_column.data();
    int h = 0;
    for (int t = first - 1; t >= 0 && h < m - 1; --t) {
        double x;
        if (CVROC::Line(t, &x) && std::isfinite(x)) held[h++] = x;
    }
    std::reverse(held, held + h);
    // Rounding of B steps on sums of up to m + 2 magnitudes of the largest value, against a
    // tenth of 1e-9 of an average of at least 1.
    const double bound = double(B) * (m + 2) * std::ldexp(1.0, -53) / 1e-10;
    bool broken = false;
    double now[B], then[B], sums[B];
    for (int b0 = first; b0 <= last; b0 += B) {
        const int count = std::min(int(B), last - b0 + 1);
        const double* nowAt = now;
        const double* thenAt = then;
        if (column && b0 >= n) {
            // Straight from the column.
            nowAt = column + b0;
            thenAt = column + b0 - n;
        } else if (column) {
            for (int c = 0; c < count; ++c) {
                const int t = b0 + c;
                now[c] = column[t];
                then[c] = t >= n ? column[t - n] : 0.0;
            }
        } else {
            for (int c = 0; c < count; ++c) {
                const int t = b0 + c;
                CTechnique::PrefetchBar(bars, t);
                now[c] = bars[t].volume;
                then[c] = t >= n ? double(bars[t - n].volume) : 0.0;
            }
        }
        double* const x = line + b0;
        // A whole window stands before the block: the running sums are taken in the same loop as
        // the changes (their chain of additions then overlaps the divisions), and thrown away
        // when a bar turns out to have no change. Bar c's window is the m values from c of the
        // held ones followed by the block's (read where they lie, not copied after the held ones).
        const bool running = h == m - 1;
        auto value = [&](int k) { return k < h ? held[k] : x[k - h]; };
        auto addedAt = [&](int from) {
            double a = 0, e = 0;
            for (int k = from; k < from + m; ++k) CompensatedAdd(a, e, value(k));
            return a + e;
        };
        double s = 0;
        // The running sum of bar c, whose change is in x[c].
        auto step = [&](int c) __attribute__((always_inline)) {
            if (c == 0)
                s = addedAt(0);
            else
                s += x[c] - (c - 1 < h ? held[c - 1] : x[c - 1 - h]);
            sums[c] = s;
        };
        // The changes (NaN for a bar without one), whether any bar has none and the largest
        // magnitude of those it has, two bars a step.
        int missing = 0;
        double blockLargest = 0;
        {
            const __m128d zero = _mm_setzero_pd(), hundred = _mm_set1_pd(100), nan = _mm_set1_pd(none);
            __m128d bad = zero, most = zero;
            const __m128d sign = _mm_set1_pd(-0.0);
            int c = 0;
            for (; c + 1 < count; c += 2) {
                const __m128d a = _mm_loadu_pd(nowAt + c), b = _mm_loadu_pd(thenAt + c);
                const __m128d v = _mm_div_pd(_mm_mul_pd(_mm_sub_pd(a, b), hundred), b);
                const __m128d ok = _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(a, zero), _mm_cmpgt_pd(b, zero)),
                                              _mm_cmpeq_pd(_mm_sub_pd(v, v), zero));
                _mm_storeu_pd(x + c, _mm_or_pd(_mm_and_pd(ok, v), _mm_andnot_pd(ok, nan)));
                bad = _mm_or_pd(bad, _mm_cmpeq_pd(ok, zero));
                most = _mm_max_pd(most, _mm_and_pd(ok, _mm_andnot_pd(sign, v)));
                if (running) step(c), step(c + 1);
            }
            missing = _mm_movemask_pd(bad);
            blockLargest = std::max(_mm_cvtsd_f64(most), _mm_cvtsd_f64(_mm_unpackhi_pd(most, most)));
            for (; c < count; ++c) {
                const double v = (nowAt[c] - thenAt[c]) * 100 / thenAt[c];
                x[c] = (nowAt[c] > 0) & (thenAt[c] > 0) & (v - v == 0) ? v : none;
                missing += x[c] != x[c];
                if (x[c] == x[c]) blockLargest = std::max(blockLargest, std::fabs(x[c]));
                if (running) step(c);
            }
        }
        double largest = 0;
        for (int k = 0; k < h; ++k) largest = std::max(largest, std::fabs(held[k]));
        auto added = [&](int from) {
            double a = 0, e = 0;
            for (int k = from; k < from + m; ++k) CompensatedAdd(a, e, held[k]);
            return a + e;
        };
        bool done = false;
        if (missing == 0 && running) {
            // Every bar has a value: the running sums stand.
            largest = std::max(largest, blockLargest);
            if (largest * bound > m)
                for (int c = 1; c < count; ++c) sums[c] = addedAt(c);
            // The last m - 1 values of the held ones and the block's, for the next block.
            if (count >= h) {
                std::copy(x + count - h, x + count, held);
            } else {
                std::copy(held + count, held + h, held);
                std::copy(x, x + count, held + h - count);
            }
            done = true;
        }
        if (!done) {
            // Bars without a value, or the first windows: each bar's window added afresh.
            for (int c = 0; c < count; ++c) {
                const double v = x[c];
                sums[c] = none;
                if (v != v) continue;
                held[h++] = v;
                if (h >= m) sums[c] = added(h - m);
            }
        }
        // Times the reciprocal: within a unit in the last place of the quotient, and no division.
        const double inverse = 1.0 / m;
        double* const a = average + b0;
        {
            // The averages and whether any is NaN, two at a time.
            const __m128d times = _mm_set1_pd(inverse);
            __m128d gaps = _mm_setzero_pd();
            int c = 0;
            for (; c + 1 < count; c += 2) {
                const __m128d v = _mm_loadu_pd(sums + c);
                _mm_storeu_pd(a + c, _mm_mul_pd(v, times));
                gaps = _mm_or_pd(gaps, _mm_cmpunord_pd(v, v));
            }
            broken |= _mm_movemask_pd(gaps) != 0;
            for (; c < count; ++c) {
                a[c] = sums[c] * inverse;
                broken |= sums[c] != sums[c];
            }
        }
        // The last m - 1 values stay for the next block's windows.
        const int keep = std::min(h, m - 1);
        std::copy(held + h - keep, held + h, held);
        h = keep;
    }
    return broken;
}

int CVROC::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high;
    if (!GetRangeLevels(index, reason, m_ints[kDays] + m_ints[kMA], kRangeWindow, &low, &high, 0.3, 0.7)) return 0;
    return DivergenceSignal(index, 2, m_ints[kBuy], m_ints[kSell], reason);
}

// ---- OBV, MOBV ----

namespace {
// One OBV step: the bar's volume added on a rising price, taken off on a falling one; a broken
// volume (not finite) adds nothing.
inline void ObvStep(const CKData& k, int t, double price, double before, double* v) {
    const double volume = k[t].volume;
    if (!std::isfinite(volume)) return;
    if (price > before)
        *v += volume;
    else if (price < before)
        *v -= volume;
}
// The first OBV value: bar 0's volume, or nothing when it is broken.
inline double ObvSeed(const CKData& k) { return std::isfinite(k[0].volume) ? double(k[0].volume) : 0.0; }

// OBV stepped by ObvStep over bars from + 1 .. last from s, the OBV of bar from; each bar's is
// written to out[t - base] when out is given. Returns the OBV of bar last.
template <class Price>
double ObvRun(const KDATA* bars, const Price& price, int from, int last, double s, double* out, int base) {
    double p[kBlock + 1], d[kBlock];
    double q = price(from);
    for (int b0 = from + 1; b0 <= last; b0 += kBlock) {
        const int count = std::min(kBlock, last - b0 + 1);
        p[0] = q;
        for (int j = 0; j < count; ++j) {
            CTechnique::PrefetchBar(bars, b0 + j);
            p[j + 1] = price(b0 + j);
            d[j] = bars[b0 + j].volume;
        }
        // Rises and falls come in no pattern a branch could learn.
        for (int j = 0; j < count; ++j) {
            const double v = d[j], now = p[j + 1], before = p[j];
            const double x = now > before ? v : now < before ? -v : 0.0;
            d[j] = v - v == 0 ? x : 0.0;  // a volume that is not finite adds nothing
        }
        if (out) {
            double* const o = out + (b0 - base);
            for (int j = 0; j < count; ++j) {
                s += d[j];
                o[j] = s;
            }
        } else {
            for (int j = 0; j < count; ++j) s += d[j];
        }
        q = p[count];
    }
    return s;
}
}  // namespace

COBV::COBV() : CTechLines("LL", {10, -10}, {}, {}, "") {}

bool COBV::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    return RunCumulative(
        m_run, i, 1, v, [&k](double* s) { s[0] = ObvSeed(k); },
        [&k](int t, double* s) { ObvStep(k, t, Price(k, t), Price(k, t - 1), s); });
}

bool COBV::Calculate(double* v1, int index, bool) {
    double* out[1] = {v1};
    return CalcBar(index, 1, out, [this](int i, double* v) { return Line(i, v); });
}

// A bar right after one the pass computed steps on from the value the pass holds.
bool COBV::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(1, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            const CKData& k = *m_pKData;
            double s = ObvSeed(k);
            if (first > 0 && !Line(first, &s)) s = std::numeric_limits<double>::quiet_NaN();
            double* const line = lines[0];
            line[first] = s;
            WithPrices(k, [&](const auto& price) { s = ObvRun(k.GetData(), price, first, last, s, line, 0); });
            if (std::isfinite(s)) KeepRun(m_run, last, 1, &s);
            return !std::isfinite(s);
        }))
        return fresh;
    int last = -1;
    const int stop = m_pKData ? std::min(end, m_pKData->GetSize() - 1) : -1;
    double held[1] = {0};
    const bool any = RangePass(1, start, end, min, max, minBar, maxBar, [this, &last, &held, stop](int i, double* v) {
        if (last >= 0 && last == i - 1) {
            const CKData& k = *m_pKData;
            ObvStep(k, i, Price(k, i), Price(k, i - 1), v);
        } else if (!Line(i, v)) {
            return false;
        }
        last = i;
        if (i == stop) std::copy(v, v + sizeof(held) / sizeof(double), held);
        return true;
    });
    if (m_pKData) KeepRunAfterPass(m_run, stop, 1, last, held);
    return any;
}

int COBV::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index)) return 0;
    return DivergenceSignal(index, 0, m_ints[kBuy], m_ints[kSell], reason);
}

CMOBV::CMOBV() : CTechLines("llDDLL", {10, -10, 12, 26, 10, -10}, {}, {}, "(%d,%d)") {}

void CMOBV::Clear() {
    CTechLines::Clear();
    m_at = -1;
}

bool CMOBV::Lines(int i, double* v) {
    const int n1 = m_ints[kDays1], n2 = m_ints[kDays2], len = std::max(n1, n2);
    if (i + 1 < len) return false;
    const CKData& k = *m_pKData;
    if (!(int(m_obv.size()) == len && m_at == i - 1 && m_at >= 0)) {
        // OBV of the len - 1 bars before i, walked forward from bar 0 once.
        m_obv.assign(size_t(len), 0.0);
        double obv = ObvSeed(k);
        int t = 0;
        const int from = i - len + 1;
        for (; t < from; ++t)
            if (t > 0) ObvStep(k, t, Price(k, t), Price(k, t - 1), &obv);
        for (int j = 0; t < i; ++t, ++j) {
            if (t > 0) ObvStep(k, t, Price(k, t), Price(k, t - 1), &obv);
            m_obv[size_t(j)] = obv;
        }
        m_pos = len - 1;
    }
    // The newest entry is at m_pos - 1; bar i goes to m_pos.
    const double before = m_obv[size_t(m_pos > 0 ? m_pos - 1 : len - 1)];
    double obv = i == 0 ? ObvSeed(k) : before;
    if (i > 0) ObvStep(k, i, Price(k, i), Price(k, i - 1), &obv);
    m_obv[size_t(m_pos)] = obv;
    if (++m_pos == len) m_pos = 0;
    m_at = i;
    // Newest first: back from m_pos - 1, wrapping at the start.
    double s1 = 0, s2 = 0;
    for (int j = 0, at = m_pos - 1; j < len; ++j, --at) {
        if (at < 0) at = len - 1;
        const double x = m_obv[size_t(at)];
        if (j < n1) s1 += x;
        if (j < n2) s2 += x;
    }
    v[0] = obv;
    v[1] = s1 / n1;
    v[2] = s2 / n2;
    return true;
}

bool CMOBV::Calculate(double* v1, double* v2, double* v3, int index, bool) {
    double* out[3] = {v1, v2, v3};
    return CalcBar(index, 3, out, [this](int i, double* v) { return Lines(i, v); });
}

bool CMOBV::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    // No bar before the longer window's last has a value: the pass starts there (a gap written
    // costs the pass a look at every bar).
    const int whole = std::max(m_ints[kDays1], m_ints[kDays2]) - 1;
    if (FreshPass(3, std::max(start, whole), end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            const int n1 = m_ints[kDays1], n2 = m_ints[kDays2], len = std::max(n1, n2);
            const double none = std::numeric_limits<double>::quiet_NaN();
            const int whole = std::max(first, len - 1);
            for (int i = first; i <= std::min(last, whole - 1); ++i) lines[0][i] = lines[1][i] = lines[2][i] = none;
            if (whole > last) return true;
            // OBV of every bar the windows read, into a column: walked from bar 0, as Lines does.
            const CKData& k = *m_pKData;
            const int from = whole - len + 1;
            m_column.resize(size_t(last - from + 1));
            double* const obv = m_column.data();  // bar t at t - from
            double x = ObvSeed(k);
            WithPrices(k, [&](const auto& price) {
                const KDATA* bars = k.GetData();
                if (from == 0) {
                    obv[0] = x;
                    x = ObvRun(bars, price, 0, last, x, obv, 0);
                } else {
                    x = ObvRun(bars, price, 0, from - 1, x, nullptr, 0);
                    x = ObvRun(bars, price, from - 1, last, x, obv, from);
                }
            });
            // The sums of bar i newest first, as Lines adds them.
            auto added = [&](int i, double* s1, double* s2) {
                const double* newest = obv + (i - from);
                double a = 0, b = 0;
                for (int j = 0; j < len; ++j) {
                    const double v = newest[-j];
                    if (j < n1) a += v;
                    if (j < n2) b += v;
                }
                *s1 = a, *s2 = b;
            };
            // OBV values are sums of float volumes, exact in double, and so are the steps of
            // running sums over them: those give what Lines adds. A block whose running sums end
            // other than its last bar's added afresh (a step rounded: an absurd volume) is added
            // afresh bar by bar.
            double* const l0 = lines[0];
            double* const l1 = lines[1];
            double* const l2 = lines[2];
            double s1, s2;
            added(whole, &s1, &s2);
            l1[whole] = s1, l2[whole] = s2;
            for (int b0 = whole + 1; b0 <= last; b0 += kBlock) {
                const int b1 = std::min(last, b0 + kBlock - 1);
                const double* const o = obv + (b0 - from);
                double r1 = s1, r2 = s2;
                for (int j = 0; j <= b1 - b0; ++j) {
                    const double now = o[j];
                    r1 += now - o[j - n1];
                    r2 += now - o[j - n2];
                    l1[b0 + j] = r1, l2[b0 + j] = r2;
                }
                added(b1, &s1, &s2);
                if (!(r1 == s1 && r2 == s2))
                    for (int i = b0; i <= b1; ++i) added(i, &l1[i], &l2[i]);
            }
            const double d1 = n1, d2 = n2;
            for (int i = whole; i <= last; ++i) {
                l0[i] = obv[i - from];
                l1[i] /= d1;
                l2[i] /= d2;
            }
            // The window of the last bar, as Lines leaves it: newest at m_pos - 1.
            m_obv.assign(size_t(len), 0.0);
            for (int j = 0; j < len; ++j) m_obv[size_t(len - 1 - j)] = obv[last - from - j];
            m_pos = 0;
            m_at = last;
            return whole > first || !std::isfinite(x);
        }))
        return fresh;
    return RangePass(3, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return Lines(i, v); });
}

int CMOBV::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double mid, mid2;
    const int len = std::max(m_ints[kDays1], m_ints[kDays2]);
    if (index < 1 || !GetPriceRangeLevels(index, reason, len, kRangeWindow, &mid, &mid2, 0.5, 0.5) ||
        !Calculate(nullptr, nullptr, nullptr, index - 1, false) || !Calculate(nullptr, nullptr, nullptr, index, false))
        return 0;
    const double price = Price(*m_pKData, index);
    if (price < mid && (IsCrossUp(index, 1, 2) || IsCrossUp(index, 2, 3))) {
        if (reason) *reason = reasonGoldenCross;
        return m_ints[kBuy];
    }
    if (price > mid && (IsCrossDown(index, 1, 2) || IsCrossDown(index, 2, 3))) {
        if (reason) *reason = reasonDeadCross;
        return m_ints[kSell];
    }
    return 0;
}

// ---- MFI ----

CMFI::CMFI() : CLine1("DLL", {10, 10, -10}, {}, {}, "(%d)") {}

// A bar asked on its own adds its window afresh; the range pass steps running sums of the rising
// and the falling flows (both never negative), which agree with it up to rounding.
bool CMFI::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i < n) return false;
    const KDATA* b = m_pKData->GetData();
    auto typical = [b](int t) { return (double(b[t].high) + b[t].low + b[t].close) / 3; };
    double positive = 0, negative = 0, before = typical(i - n);
    for (int t = i - n + 1; t <= i; ++t) {
        const double now = typical(t), flow = now * b[t].volume;
        // Without branches: rises and falls come in no pattern a branch could learn.
        positive += now > before ? flow : 0.0;
        negative += now < before ? flow : 0.0;
        before = now;
    }
    const double sum = positive + negative;
    if (std::fabs(sum) < 0.0001) return false;
    *v = positive * 100 / sum;
    return true;
}

bool CMFI::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    if (!m_pKData) return FixedRange(1, start, end, min, max, 0, 100, [](int, double*) { return false; });
    EnsureParameters();
    const int n = m_ints[kDays];
    bool fresh = false;
    // No bar before n has a value: the pass starts there (a gap written costs it a look at every bar).
    if (FreshPass(1, std::max(start, n), end, nullptr, nullptr, nullptr, nullptr, &fresh,
                  [this, n](int first, int last, double* const* lines) { return Kernel(n, first, last, lines[0]); })) {
        if (min) *min = 0;
        if (max) *max = 100;
        return true;
    }
    const KDATA* b = m_pKData->GetData();
    auto typical = [b](int t) { return (double(b[t].high) + b[t].low + b[t].close) / 3; };
    // The flow of bar t (t >= 1) when it rose, or when it fell.
    auto rising = [&](int t) {
        const double now = typical(t);
        return now > typical(t - 1) ? now * b[t].volume : 0.0;
    };
    auto falling = [&](int t) {
        const double now = typical(t);
        return now < typical(t - 1) ? now * b[t].volume : 0.0;
    };
    CWindowSum up, down;
    return FixedRange(1, start, end, min, max, 0, 100, [&](int i, double* v) {
        if (n < 1 || i < n) return false;
        const double positive = up.At(i, n, rising), negative = down.At(i, n, falling);
        const double sum = positive + negative;
        if (std::fabs(sum) < 0.0001) return false;
        *v = positive * 100 / sum;
        return true;
    });
}

// A block at a time: the typical prices and the rising and falling flows of its bars (and of the
// n - 1 before) into columns, the first bar's window added as Line adds it, running sums for the
// others. A running sum rounds by at most one unit in the last place of the largest sum it held,
// per step; a bar whose sum is too small against the block's largest flow for that to stay far
// below the tolerance of its value (an absurd or broken flow in or near the window) is added
// afresh by Line.
bool CMFI::Kernel(int n, int first, int last, double* line) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    const int whole = n < 1 ? last + 1 : std::max(first, n);
    for (int i = first; i <= std::min(last, whole - 1); ++i) line[i] = none;
    bool broken = whole > first;
    if (whole > last) return broken;
    enum { B = 128 };
    // 200 x (n + 1) x B rounding steps of 2^-53 against a tenth of 1e-9.
    const double factor = 200.0 * (n + 1) * B * std::ldexp(1.0, -53) / 1e-10;
    const int span = n + B;  // bars b0 - n .. b1
    m_column.resize(size_t(4 * span));
    double* const tp = m_column.data();
    double* const vol = tp + span;
    double* const up = vol + span;  // terms of bars b0 - n + 1 .. b1
    double* const down = up + span;
    double ps[B], ns[B];
    const KDATA* const bars = m_pKData->GetData();
    int held = 0;  // bars b0 - n .. b0 - 1 the columns hold from the block before
    for (int b0 = whole; b0 <= last; b0 += B) {
        const int b1 = std::min(last, b0 + B - 1), count = b1 - b0 + 1, bars0 = b0 - n;
        for (int j = held; j < n + count; ++j) {
            const KDATA& k = bars[bars0 + j];
            CTechnique::PrefetchBar(bars, bars0 + j);
            tp[j] = double(k.high) + k.low + k.close;
            vol[j] = k.volume;
        }
        for (int j = held; j < n + count; ++j) tp[j] /= 3;
        const int terms = n - 1 + count;
        for (int j = 0; j < terms; ++j) {
            const double now = tp[j + 1], before = tp[j], flow = now * vol[j + 1];
            up[j] = now > before ? flow : 0.0;
            down[j] = now < before ? flow : 0.0;
        }
        // The largest term of the block's windows, for the bound on the running sums' rounding.
        double p = 0, q = 0, largest = 0;
        for (int j = 0; j < n; ++j) {
            p += up[j], q += down[j];
            largest = std::max(largest, std::max(std::fabs(up[j]), std::fabs(down[j])));
        }
        ps[0] = p, ns[0] = q;
        double lowest = p + q;
        bool sane = lowest == lowest;
        for (int c = 1; c < count; ++c) {
            const double a = up[n - 1 + c], d = down[n - 1 + c];
            p += a - up[c - 1];
            q += d - down[c - 1];
            ps[c] = p, ns[c] = q;
            largest = std::max(largest, std::max(std::fabs(a), std::fabs(d)));
            const double sum = p + q;
            lowest = std::min(lowest, sum);
            sane &= sum == sum;
        }
        double* const out = line + b0;
        for (int c = 0; c < count; ++c) out[c] = ps[c] * 100 / (ps[c] + ns[c]);
        for (int c = 0; c < count; ++c) out[c] = std::fabs(ps[c] + ns[c]) < 0.0001 ? none : out[c];
        // A term that is not finite leaves the sums NaN or infinite: refused here, or NaN as Line.
        const double floor = largest * factor;
        if (!(sane && lowest >= floor))
            for (int c = 1; c < count; ++c) {
                if (ps[c] + ns[c] >= floor) continue;
                double v;
                out[c] = CMFI::Line(b0 + c, &v) && std::isfinite(v) ? v : none;
            }
        // Only NaN comes out for a bar without a value.
        int gaps = 0;
        for (int c = 0; c < count; ++c) gaps += out[c] != out[c];
        broken |= gaps > 0;
        // The last n bars stay for the next block's windows.
        std::copy(tp + count, tp + count + n, tp);
        std::copy(vol + count, vol + count + n, vol);
        held = n;
    }
    return broken;
}

int CMFI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double now;
    if (!Calculate(&now, index, false)) return 0;
    if (now <= 20) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (now >= 80) {
        if (reason) *reason = reasonBearTrend;
        return m_ints[kSell];
    }
    return 0;
}

// ---- VMACD ----

CStepMACD::CStepMACD(const char* layout, std::initializer_list<int> ints, const char* caption, int source)
    : CMACD(layout, ints, caption) {
    m_nSource = source;
}
CVMACD::CVMACD() : CStepMACD("DDDLLLL", {12, 26, 9, 15, -15, 10, -10}, "(%d,%d,%d)", sourceVolume) {}

// The signal average decays as well, so its days take part in the warm-up.
int CStepMACD::WarmUpStart(int index) { return DecayStartBy4(index, {m_fOld[0], m_fOld[1], m_fOld[2]}); }

// ---- WVAD ----

CWVAD::CWVAD() : CLine1("DLL", {24, 10, -10}, {}, {}, "(%d)") {}

// Bars with a range of 0.0001 or less add nothing (a range of float noise would blow up).
bool CWVAD::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const KDATA* b = m_pKData->GetData();
    double sum = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        const double range = double(b[t].high) - b[t].low;
        if (range > 0.0001) sum += (double(b[t].close) - b[t].open) * b[t].volume / range;
    }
    *v = sum;
    return true;
}

int CWVAD::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high, now;
    if (!GetRangeLevels(index, reason, m_ints[kDays], kRangeWindow, &low, &high, 0.3, 0.7) ||
        !Calculate(&now, index, false))
        return 0;
    return LevelSignal(now, low, high, m_ints[kBuy], m_ints[kSell], reasonBullTrend, reasonBearTrend, reason);
}

// ---- EMV ----

CEMV::CEMV() : CLineMA("DDLL", {14, 9, 10, -10}, {}, {}, "(%d,%d)") {}

// An index counts its volume in far larger units than a share: its moves are scaled by 1e8 over
// the volume, a share's by 1e5.
bool CEMV::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i < n) return false;
    const KDATA* b = m_pKData->GetData();
    const double scale = m_stockinfo.IsIndex() ? 100000000.0 : 100000.0;
    double sum = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        const double volume = b[t].volume;
        if (!(volume > 0)) return false;
        const double mid = (double(b[t].high) + b[t].low) / 2, before = (double(b[t - 1].high) + b[t - 1].low) / 2;
        sum += (double(b[t].high) - b[t].low) * (mid - before) * scale / volume;
    }
    *v = sum / n;
    return true;
}

int CEMV::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, m_ints[kDays] + m_ints[kMA], kRangeWindow, 0.5, 0.5, m_ints[kBuy], m_ints[kSell],
                           reason);
}

// ---- VRSI, NVRSI ----

int CVolumeRSI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double low, high, now;
    if (!GetRangeLevels(index, reason, m_ints[kDays], kRangeWindow, &low, &high, 0.3, 0.7) ||
        !Calculate(&now, index, false))
        return 0;
    int s = 0, r = reasonNone;
    if (IsBottomDivergence(index, 1, 0))
        s = m_ints[kDivBuy], r = reasonBottomDivergence;
    else if (IsTopDivergence(index, 1, 0))
        s = m_ints[kDivSell], r = reasonTopDivergence;
    else if (now < low)
        s = m_ints[kBuy], r = reasonOversold;
    else if (now > high)
        s = m_ints[kSell], r = reasonOverbought;
    if (reason) *reason = r;
    return s;
}

CVRSI::CVRSI() : CVolumeRSI("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}

// An average over no bars is 0, so that a window without falling bars gives 100 and one without
// rising bars 0.
bool CVRSI::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const double* s = DaySums(m_sums, i, kDays, 1, [&k](int t, double sign, double* out) {
        const float p = float(Price(k, t)), q = float(Price(k, t - 1));
        const double volume = k[t].volume;
        const bool up = q <= p;
        out[0] += sign * (up ? volume : 0);
        out[1] += sign * (up ? 0 : volume);
        out[2] += sign * (up ? 1 : 0);
        out[3] += sign * (up ? 0 : 1);
    });
    if (!s) return false;
    const double up = s[2] > 0 ? s[0] / s[2] : 0, down = s[3] > 0 ? s[1] / s[3] : 0;
    *v = down < 0.0001 ? 100 : 100 - 100 / (up / down + 1);
    return true;
}

CNVRSI::CNVRSI() : CVolumeRSI("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}

bool CNVRSI::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const double* s = DaySums(m_sums, i, kDays, 1, [&k](int t, double sign, double* out) {
        const double volume = k[t].volume;
        out[0] += sign * (volume > k[t - 1].volume ? volume : 0);
        out[1] += sign * (volume);
    });
    if (!s) return false;
    *v = s[1] < 0.0001 ? 50 : s[0] * 100 / s[1];
    return true;
}

// ---- AD, CI ----

namespace {
// A bar's accumulation: where the close lies in its range, times its volume (0 without a range).
inline double Accumulation(const KDATA& b) {
    const double range = double(b.high) - b.low;
    return range > 0.0001 ? ((double(b.close) - b.low) - (double(b.high) - b.close)) * b.volume / range : 0.0;
}
}  // namespace

CAD::CAD() : CLine1("D", {8}, {}, {}, "(%d)") {}

bool CAD::Line(int i, double* v) {
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const KDATA* b = m_pKData->GetData();
    if (m_sum.epoch != m_epoch) {
        m_sum.epoch = m_epoch;
        m_sum.sum.Reset();
    }
    *v = m_sum.sum.At(i, n, [b](int t) { return Accumulation(b[t]); });
    return true;
}

CCI::CCI() : CLine1("", {}, {}, {}, "") {}

bool CCI::Line(int i, double* v) {
    const KDATA& b = (*m_pKData)[i];
    const double range = double(b.high) - b.low;
    if (range < 0.0001) return false;
    *v = (double(b.close) - b.open) / range * b.volume;
    return true;
}

// Range passes with each class's own line called directly; a range none of whose bars is cached
// yet runs the window sums' kernel instead, with the same steps.
VELMORA_LINE_RANGE(CWVAD)

bool CVR::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(1, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            return WithPrices(*m_pKData, [&](const auto& price) {
                const KDATA* b = m_pKData->GetData();
                return SumsKernel(
                    m_sums, m_ints[kDays], 1, first, last, lines[0],
                    [&](int t, double* x) {
                        const float p = float(price(t)), q = float(price(t - 1));
                        const double volume = b[t].volume;
                        x[0] = p > q ? volume : 0;
                        x[1] = p < q ? volume : 0;
                        x[2] = volume;
                    },
                    [](int, const double* s, double* v) {
                        const double half = s[2] / 2, down = s[1] + half;
                        if (down < 0.0001) return false;
                        *v = (s[0] + half) * 100 / down;
                        return true;
                    });
            });
        }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CVR::Line(i, v); });
}

bool CVRSI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(1, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            return WithPrices(*m_pKData, [&](const auto& price) {
                const KDATA* b = m_pKData->GetData();
                return SumsKernel(
                    m_sums, m_ints[kDays], 1, first, last, lines[0],
                    [&](int t, double* x) {
                        const float p = float(price(t)), q = float(price(t - 1));
                        const double volume = b[t].volume;
                        const bool up = q <= p;
                        x[0] = up ? volume : 0;
                        x[1] = up ? 0 : volume;
                        x[2] = up ? 1 : 0;
                        x[3] = up ? 0 : 1;
                    },
                    [](int, const double* s, double* v) {
                        const double up = s[2] > 0 ? s[0] / s[2] : 0, down = s[3] > 0 ? s[1] / s[3] : 0;
                        *v = down < 0.0001 ? 100 : 100 - 100 / (up / down + 1);
                        return true;
                    });
            });
        }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CVRSI::Line(i, v); });
}

bool CNVRSI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(1, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            const KDATA* b = m_pKData->GetData();
            return SumsKernel(
                m_sums, m_ints[kDays], 1, first, last, lines[0],
                [b](int t, double* x) {
                    const double volume = b[t].volume;
                    x[0] = volume > b[t - 1].volume ? volume : 0;
                    x[1] = volume;
                },
                [](int, const double* s, double* v) {
                    *v = s[1] < 0.0001 ? 50 : s[0] * 100 / s[1];
                    return true;
                });
        }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CNVRSI::Line(i, v); });
}

// The running sums of the accumulation in one pass.
bool CAD::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    const KDATA* b = m_pKData ? m_pKData->GetData() : nullptr;
    if (b && n >= 1 && start >= 0 && FreshSums(n, start, end, min, max, minBar, maxBar)) return true;
    // The accumulation takes both signs. Each bar's is worked out once, into a column of
    // contiguous doubles (kept for the next pass) that the window walk reads.
    if (b && n >= 1 && start >= 0 && start <= end) {
        const int from = std::max(0, std::max(start, n - 1) - n + 1), to = std::min(end, m_pKData->GetSize() - 1);
        if (from <= to) {
            m_column.resize(size_t(to - from + 1));
            double* const column = m_column.data();
            for (int t = from; t <= to; ++t) column[t - from] = Accumulation(b[t]);
            return SumLineRange(n, n - 1, start, end, min, max, minBar, maxBar,
                                [column, from](int t) { return column[t - from]; },
                                [](int, double sum) { return sum; }, static_cast<CSignedWindowSum*>(nullptr));
        }
    }
    return SumLineRange(n, n - 1, start, end, min, max, minBar, maxBar, [b](int t) { return Accumulation(b[t]); },
                        [](int, double sum) { return sum; }, static_cast<CSignedWindowSum*>(nullptr));
}
// SumLineRange's steps over a range none of whose bars is cached yet, in one pass over the bars:
// each bar's accumulation is worked out once and kept in a ring of the last n, and the signed
// window sum steps on in locals (taken afresh where RunWindowSums takes it: at the first bar,
// every kRefresh bars after it, and when the magnitudes shrink). False (nothing done) when the
// range does not qualify; when done, the request's answer is true (as SumLineRange's over a
// range that has bars).
bool CAD::FreshSums(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (start <= m_nLastStored) return false;
    start = std::max(start, n - 1);
    end = std::min(end, m_pKData->GetSize() - 1);
    if (start > end || !OpenLines(1) || m_nCacheStart != 0 || end >= CacheEnd()) return false;
    const KDATA* const b = m_pKData->GetData();
    // The accumulations of the block's bars and of the n bars before it: bar t at t - (b0 - n).
    m_ring.resize(size_t(n + kBlock));
    double* const acc = m_ring.data();
    for (int t = std::max(0, start - n); t < start; ++t) acc[t - (start - n)] = Accumulation(b[t]);
    double* const line = m_pCache[0];
    double sum = 0, mass = 0, peak = 0, floor = 0;
    double l = std::numeric_limits<double>::infinity(), h = -l;
    int lb = start, hb = start;
    bool broken = false;
    auto taken = [&](const double* a, int at) {  // the window ending at a[at]
        double s = 0, c = 0, m = 0;
        for (int k = at - n + 1; k <= at; ++k) {
            CompensatedAdd(s, c, a[k]);
            m += std::fabs(a[k]);
        }
        sum = s + c;
        mass = peak = m;
        floor = m * (1.0 / 16);
    };
    const bool ranged = min || max || minBar || maxBar;
    // A block at a time: its accumulations, then its sums stepped without the per-bar check
    // when the magnitudes never fell below 1/16 of their peak in it (as CWindowSum::Walk holds
    // a block), else bar by bar with it; written (past the caches for a long series) and looked
    // over.
    auto pass = [&](auto stream) {
        constexpr bool kStream = decltype(stream)::value;
        double got[kBlock];
        int refresh = start;  // the next bar where the sum is taken afresh
        for (int b0 = start; b0 <= end; b0 += kBlock) {
            const int count = std::min(kBlock, end - b0 + 1);
            if (b0 > start) std::memmove(acc, acc + kBlock, sizeof(double) * size_t(n));
            double* const a = acc + n;  // bar b0 + c at a[c]
            int c = 0;
            if (b0 == refresh) {
                a[0] = Accumulation(b[b0]);
                taken(a, 0);
                got[0] = sum;
                c = 1;
                refresh += CSignedWindowSum::kRefresh;
            }
            const double s0 = sum, m0 = mass, p0 = peak, f0 = floor;
            double s = sum, m = mass, lo = std::numeric_limits<double>::infinity(), hi = peak;
            for (int k = c; k < count; ++k) {
                PrefetchBar(b, b0 + k);
                const double in = Accumulation(b[b0 + k]), out = a[k - n];
                a[k] = in;
                s += in - out;
                m += std::fabs(in) - std::fabs(out);
                lo = m < lo ? m : lo;
                hi = m > hi ? m : hi;
                got[k] = s;
            }
            const bool held = !std::isnan(m) && lo >= hi * (1.0 / 16);
            if (__builtin_expect(held, 1)) {
                sum = s, mass = m, peak = hi, floor = hi * (1.0 / 16);
            } else {
                sum = s0, mass = m0, peak = p0, floor = f0;
                for (int k = c; k < count; ++k) {
                    const double in = a[k], out = a[k - n];
                    // CSignedWindowSum::Step
                    sum += in - out;
                    mass += std::fabs(in) - std::fabs(out);
                    if (mass > peak) {
                        peak = mass;
                        floor = mass * (1.0 / 16);
                    } else if (!(mass >= floor)) {
                        taken(a, k);
                    }
                    got[k] = sum;
                }
            }
            double* const to = line + b0;
            int k = 0;
            if (kStream && !PairAligned(to)) to[0] = got[0], k = 1;
            for (; k + 1 < count; k += 2) PutPair<kStream>(to + k, got[k], got[k + 1]);
            if (k < count) to[k] = got[k];
            if (ranged) {
                for (k = 0; k < count; ++k) {
                    const double x = got[k];
                    if (__builtin_expect(!std::isfinite(x), 0)) {
                        broken = true;
                        continue;
                    }
                    if (x < l) l = x, lb = b0 + k;
                    if (x > h) h = x, hb = b0 + k;
                }
            } else if (!held || !(peak <= DBL_MAX / 4)) {
                // A held block's sums stay within its peak magnitude: finite unless it is huge.
                for (k = 0; k < count; ++k) broken |= !(got[k] - got[k] == 0);
            }
        }
        if (kStream) StreamDone();
    };
    double* const lines[1] = {line};
    if (StreamLines(lines, 1, start, end - start + 1))
        pass(std::true_type());
    else
        pass(std::false_type());
    MarkComputedFinite(0, start, end, broken);
    if (!ranged) return true;
    WidenRange(&l, &h);
    if (min) *min = l;
    if (max) *max = h;
    if (minBar) *minBar = lb;
    if (maxBar) *maxBar = hb;
    return true;
}

bool CCI::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool fresh = false;
    if (FreshPass(1, start, end, min, max, minBar, maxBar, &fresh, [this](int first, int last, double* const* lines) {
            // Two bars to an instruction, each rounded as on its own, in one pass over the bars.
            const KDATA* b = m_pKData->GetData();
            const double none = std::numeric_limits<double>::quiet_NaN();
            double* const line = lines[0];
            int broken = 0;
            int i = first;
            const __m128d floor = _mm_set1_pd(0.0001), nan = _mm_set1_pd(none);
            __m128d bad = _mm_setzero_pd();
            for (; i + 1 <= last; i += 2) {
                CTechnique::PrefetchNearBar(b, i);
                const KDATA& p = b[i];
                const KDATA& q = b[i + 1];
                const __m128d range = _mm_set_pd(double(q.high) - q.low, double(p.high) - p.low);
                const __m128d body = _mm_set_pd(double(q.close) - q.open, double(p.close) - p.open);
                const __m128d x = _mm_mul_pd(_mm_div_pd(body, range), _mm_set_pd(q.volume, p.volume));
                const __m128d narrow = _mm_cmplt_pd(range, floor);
                const __m128d v = _mm_or_pd(_mm_and_pd(narrow, nan), _mm_andnot_pd(narrow, x));
                const __m128d d = _mm_sub_pd(v, v);  // NaN unless finite
                bad = _mm_or_pd(bad, _mm_cmpunord_pd(d, d));
                _mm_storeu_pd(line + i, v);
            }
            if (i <= last) {
                const double range = double(b[i].high) - b[i].low;
                const double x = range < 0.0001 ? none : (double(b[i].close) - b[i].open) / range * b[i].volume;
                line[i] = x;
                broken += !(x - x == 0);  // not finite
            }
            broken += _mm_movemask_pd(bad);
            return broken > 0;
        }))
        return fresh;
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return CCI::Line(i, v); });
}
VELMORA_LINE_MA_RANGE(CEMV)
