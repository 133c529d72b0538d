// Volatility, sentiment and price oscillators: CV, ARBR, CR, OSC, UOS, MAOSC, 36BIAS, DPO and KST.
#include "analysis/techs_price.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>
#include <cstring>
#include <cstdint>
#include <limits>
#include <type_traits>

// ---- CV ----

CCV::CCV() : CLine1("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}

bool CCV::Line(int i, double* v) {
    const int n = m_ints[kDays], m = m_ints[kMA];
    if (i + 2 < n + m) return false;
    const KDATA* b = m_pKData->GetData();
    auto range = [b](int t, double sign, double* out) { out[0] += sign * (double(b[t].high) - b[t].low); };
    const double now = Sums(m_now, i, n, range)[0] / n;
    const double then = Sums(m_then, i - m + 1, n, range)[0] / n;
    if (std::fabs(then) < 0.0001) return false;
    *v = (now - then) * 100 / then;
    return true;
}

namespace {
// CV of bars first..last (each with n + m - 2 bars before it), none of them cached yet: the range
// sum over n bars stepped bar after bar (added afresh at the first bar, every 1024 steps, and when
// it shrank below 1/16 of its peak or is not finite, as the window sums take it), the sums of the
// last m bars in a ring, the line written two bars at a time. Returns whether a bar got no value.
template <bool Stream>
bool CVPass(const KDATA* b, int n, int m, int first, int last, double* line, double* ring) {
    auto range = [b](int t) __attribute__((always_inline)) { return double(b[t].high) - b[t].low; };
    auto afresh = [&](int e) {
        double s = 0;
        for (int t = e - n + 1; t <= e; ++t) s += range(t);
        return s;
    };
    for (int e = first - m + 1; e < first; ++e) ring[e - (first - m + 1)] = afresh(e);
    int pos = m - 1, steps = 0;  // the slot of bar first
    double sum = 0, peak = 0;
    bool started = false, broken = false;
    const double none = std::numeric_limits<double>::quiet_NaN();
    auto value = [&](int i) __attribute__((always_inline)) {
        bool fresh = !started || ++steps >= 1024;
        if (!fresh) {
            sum -= range(i - n);
            sum += range(i);
            const double a = std::fabs(sum);
            peak = std::max(peak, a);
            fresh = !(a * 16 >= peak);  // true also for a NaN
        }
        if (__builtin_expect(fresh, 0)) {
            sum = afresh(i);
            peak = std::fabs(sum);
            steps = 0;
            started = true;
        }
        ring[pos] = sum;
        if (++pos == m) pos = 0;
        // The oldest of the m sums, now in the slot after this bar's.
        const double now = sum / n, then = ring[pos] / n;
        const double v = (now - then) * 100 / then;
        if (!(std::fabs(then) >= 0.0001) || !std::isfinite(v)) {
            broken = true;
            return none;
        }
        return v;
    };
    int i = first;
    if (Stream && !PairAligned(line + i) && i <= last) line[i] = value(i), ++i;
    for (; i + 1 <= last; i += 2) {
        __builtin_prefetch(b + i + 16);
        const double v0 = value(i);
        PutPair<Stream>(line + i, v0, value(i + 1));
    }
    if (i <= last) line[i] = value(i);
    if (Stream) StreamDone();
    return broken;
}
}  // namespace

// The range sums of the last MA bars kept in a ring, so that each bar takes one step of the sum.
// As the base's window sums, the ring is taken afresh when the sum shrank far below its peak or
// is not finite (a broken or absurd bar left the window, or is inside it).
bool CCV::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    if (m_pKData) {
        // Bars none of which is cached yet: CVPass, from the first bar with a value on.
        const int n = m_ints[kDays], m = m_ints[kMA];
        bool any = false;
        if (n >= 1 && m >= 1 &&
            FreshPass(1, std::max(start, n + m - 2), end, min, max, minBar, maxBar, &any,
                      [&](int first, int last, double* const* lines) {
                          m_ring.assign(size_t(m), 0.0);
                          const KDATA* const bars = m_pKData->GetData();
                          return StreamLines(lines, 1, first, last - first + 1)
                                     ? CVPass<true>(bars, n, m, first, last, lines[0], m_ring.data())
                                     : CVPass<false>(bars, n, m, first, last, lines[0], m_ring.data());
                      }))
            return any;
    }
    int last = -1, steps = 0, pos = 0;  // the ring's slot of bar last
    double sum = 0, peak = 0;
    return RangePass(1, start, end, min, max, minBar, maxBar, [&](int i, double* v) {
        const int n = m_ints[kDays], m = m_ints[kMA];
        if (i + 2 < n + m) return false;
        const KDATA* b = m_pKData->GetData();
        auto range = [b](int t) { return double(b[t].high) - b[t].low; };
        double* ring = m_ring.data();
        bool stepped = false;
        if (last >= 0 && last == i - 1 && int(m_ring.size()) == m && steps < 1024) {
            sum -= range(i - n);
            sum += range(i);
            const double a = std::fabs(sum);
            peak = std::max(peak, a);
            stepped = a * 16 >= peak;  // false also for a NaN
        }
        if (stepped) {
            ++steps;
            if (++pos == m) pos = 0;
        } else {
            // Each of the MA windows ending at bars i - MA + 1 .. i added afresh.
            m_ring.assign(size_t(m), 0.0);
            ring = m_ring.data();
            peak = 0;
            for (int e = i - m + 1; e <= i; ++e) {
                sum = 0;
                for (int t = e - n + 1; t <= e; ++t) sum += range(t);
                ring[e - (i - m + 1)] = sum;
                if (std::fabs(sum) > peak) peak = std::fabs(sum);
            }
            pos = m - 1;
            steps = 0;
        }
        // The ring holds bars i - MA + 1 .. i; the oldest is in the slot after this bar's.
        ring[pos] = sum;
        last = i;
        const double now = sum / n, then = ring[pos + 1 == m ? 0 : pos + 1] / n;
        if (std::fabs(then) < 0.0001) return false;
        *v = (now - then) * 100 / then;
        return true;
    });
}

int CCV::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double x, y, z;
    if (index < 2 || !Calculate(&x, index - 2, false) || !Calculate(&y, index - 1, false) ||
        !Calculate(&z, index, false))
        return 0;
    if (x < 0 && y < 0 && z < 0 && x >= y && z > y) {
        if (reason) *reason = reasonOversold;
        return m_ints[kTrough];
    }
    if (x > 0 && y > 0 && z > 0 && x <= y && z < y) {
        if (reason) *reason = reasonOverbought;
        return m_ints[kPeak];
    }
    return 0;
}

// ---- ARBR ----

CARBR::CARBR() : CTechLines("DLLLL", {26, 15, -15, 10, -10}, {}, {}, "(%d)") {}

bool CARBR::Lines(int i, double* v) {
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 1, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        const double h = b[t].high, l = b[t].low, o = b[t].open, c = b[t - 1].close;
        out[0] += sign * (h - o);
        out[1] += sign * (o - l);
        out[2] += sign * (AtLeastZero(h - c));
        out[3] += sign * (AtLeastZero(c - l));
    });
    if (!s || s[1] < 0.0001 || s[3] < 0.0001) return false;
    v[0] = s[0] * 100 / s[1];
    v[1] = s[2] * 100 / s[3];
    return true;
}

bool CARBR::Calculate(double* v1, double* v2, int index, bool) {
    double* out[2] = {v1, v2};
    return CalcBar(index, 2, out, [this](int i, double* v) { return Lines(i, v); });
}

namespace {
// The four ARBR sums of the n bars ending at bar i, added afresh from 0 (kept out of the pass's
// loop, so that its sums stay in registers).
struct ARBRSums {
    double s0, s1, s2, s3;
};
__attribute__((noinline)) ARBRSums ARBRAfresh(const KDATA* b, int i, int n) {
    ARBRSums s{0, 0, 0, 0};
    for (int j = i - n + 1; j <= i; ++j) {
        const double h = b[j].high, l = b[j].low, o = b[j].open, c = b[j - 1].close;
        s.s0 += 1.0 * (h - o);
        s.s1 += 1.0 * (o - l);
        s.s2 += 1.0 * (AtLeastZero(h - c));
        s.s3 += 1.0 * (AtLeastZero(c - l));
    }
    return s;
}

// AR and BR of bars first..last (first >= n, none of them cached yet) with the four sums stepped
// as GetMinMaxInfo's general pass steps them, the two lines written two bars at a time (the two
// bars' quotients in one division). Returns whether a bar got no value.
template <bool Stream>
bool ARBRPass(const KDATA* b, int n, int first, int last, double* ar, double* br) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, peak = 0;
    int moves = 1024;  // the first bar takes its sums afresh
    auto step = [&](int i) __attribute__((always_inline)) {
        bool fresh = moves >= 1024;
        if (!fresh) {
            const KDATA &in = b[i], &out = b[i - n];
            const double pin = b[i - 1].close, pout = b[i - n - 1].close;
            s0 = (s0 - (double(out.high) - out.open)) + (double(in.high) - in.open);
            s1 = (s1 - (double(out.open) - out.low)) + (double(in.open) - in.low);
            s2 = (s2 - AtLeastZero(out.high - pout)) + AtLeastZero(in.high - pin);
            s3 = (s3 - AtLeastZero(pout - out.low)) + AtLeastZero(pin - in.low);
            ++moves;
            const double a = std::fabs(s0) + std::fabs(s1) + std::fabs(s2) + std::fabs(s3);
            peak = std::max(peak, a);
            fresh = !(a * 16 >= peak);  // true also for a NaN
        }
        if (__builtin_expect(fresh, 0)) {
            const ARBRSums s = ARBRAfresh(b, i, n);
            s0 = s.s0, s1 = s.s1, s2 = s.s2, s3 = s.s3;
            peak = std::fabs(s0) + std::fabs(s1) + std::fabs(s2) + std::fabs(s3);
            moves = 0;
        }
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    bool broken = false;
    auto single = [&](int i) {
        step(i);
        if (s1 < 0.0001 || s3 < 0.0001) {
            ar[i] = br[i] = none;
            broken = true;
            return;
        }
        ar[i] = s0 * 100 / s1;
        br[i] = s2 * 100 / s3;
        broken |= !std::isfinite(ar[i]) || !std::isfinite(br[i]);
    };
    int i = first;
    if (Stream && !PairAligned(ar + i) && i <= last) single(i++);
#if defined(__SSE2__)
    const __m128d hundred = _mm_set1_pd(100), floor = _mm_set1_pd(0.0001), nan = _mm_set1_pd(none);
    __m128d bad = _mm_setzero_pd();  // lanes that got no value or a value not finite
    for (; i + 1 <= last; i += 2) {
        __builtin_prefetch(b + i + 16);
        step(i);
        const double n0 = s0, d1 = s1, n2 = s2, d3 = s3;
        step(i + 1);
        const __m128d den1 = _mm_set_pd(s1, d1), den3 = _mm_set_pd(s3, d3);
        const __m128d none2 = _mm_or_pd(_mm_cmplt_pd(den1, floor), _mm_cmplt_pd(den3, floor));
        __m128d a = _mm_div_pd(_mm_mul_pd(_mm_set_pd(s0, n0), hundred), den1);
        __m128d r = _mm_div_pd(_mm_mul_pd(_mm_set_pd(s2, n2), hundred), den3);
        a = _mm_or_pd(_mm_and_pd(none2, nan), _mm_andnot_pd(none2, a));
        r = _mm_or_pd(_mm_and_pd(none2, nan), _mm_andnot_pd(none2, r));
        // x - x is NaN exactly when x is not finite.
        bad = _mm_or_pd(bad, _mm_cmpunord_pd(_mm_sub_pd(a, a), _mm_sub_pd(r, r)));
        if (Stream) {
            _mm_stream_pd(ar + i, a);
            _mm_stream_pd(br + i, r);
        } else {
            _mm_storeu_pd(ar + i, a);
            _mm_storeu_pd(br + i, r);
        }
    }
    broken |= _mm_movemask_pd(bad) != 0;
#endif
    for (; i <= last; ++i) single(i);
    if (Stream) StreamDone();
    return broken;
}
}  // namespace

// The four sums stepped in locals as the base's window sums step them: added afresh when the
// window begins, every 1024 moves, and when their magnitudes shrank below 1/16 of their peak or
// are not finite.
bool CARBR::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    const KDATA* const b = m_pKData ? m_pKData->GetData() : nullptr;
    bool any = false;
    if (b && n >= 1 &&
        FreshPass(2, std::max(start, n), end, min, max, minBar, maxBar, &any,
                  [&](int first, int last, double* const* lines) {
                      return StreamLines(lines, 2, first, last - first + 1)
                                 ? ARBRPass<true>(b, n, first, last, lines[0], lines[1])
                                 : ARBRPass<false>(b, n, first, last, lines[0], lines[1]);
                  }))
        return any;
    int at = -1, moves = 0;
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, peak = 0;
    auto add = [b](int t, double sign, double& a0, double& a1, double& a2, double& a3) {
        const double h = b[t].high, l = b[t].low, o = b[t].open, c = b[t - 1].close;
        a0 += sign * (h - o);
        a1 += sign * (o - l);
        a2 += sign * (AtLeastZero(h - c));
        a3 += sign * (AtLeastZero(c - l));
    };
    auto magnitude = [&] { return std::fabs(s0) + std::fabs(s1) + std::fabs(s2) + std::fabs(s3); };
    return RangePass(2, start, end, min, max, minBar, maxBar, [&](int i, double* v) {
        if (i + 1 < n + 1) return false;
        bool fresh = true;
        if (at == i - 1 && at >= 0 && moves < 1024) {
            add(i - n, -1.0, s0, s1, s2, s3);
            add(i, 1.0, s0, s1, s2, s3);
            ++moves;
            const double a = magnitude();
            peak = std::max(peak, a);
            fresh = !(a * 16 >= peak);
        }
        if (fresh) {
            s0 = s1 = s2 = s3 = 0;
            for (int j = i - n + 1; j <= i; ++j) add(j, 1.0, s0, s1, s2, s3);
            peak = magnitude();
            moves = 0;
        }
        at = i;
        if (s1 < 0.0001 || s3 < 0.0001) return false;
        v[0] = s0 * 100 / s1;
        v[1] = s2 * 100 / s3;
        return true;
    });
}

int CARBR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double ar, br;
    if (!Calculate(&ar, &br, index, false)) return 0;
    int r = reasonNone;
    GetCrossSignal(index, m_ints[kCrossBuy], m_ints[kCrossSell], &r);
    int s = 0;
    if ((ar < 50 || br < 50) && r == reasonGoldenCross)
        s = m_ints[kCrossBuy], r = reasonGoldenCross;
    else if ((ar > 180 || br > 300) && r == reasonDeadCross)
        s = m_ints[kCrossSell], r = reasonDeadCross;
    else if (ar < 50)
        s = m_ints[kZoneBuy], r = reasonOversold;
    else if (ar > 200)
        s = m_ints[kZoneSell], r = reasonOverbought;
    else
        r = reasonNone;
    if (reason) *reason = r;
    return s;
}

// ---- CR ----

CCR::CCR() : CTechLines("DDDDDLL", {26, 10, 20, 40, 62, 10, -10}, {}, {}, "(%d,%d,%d,%d,%d)") {}

void CCR::Clear() {
    CTechLines::Clear();
    m_at = -1;
}

void CCR::HoldNewest(const std::vector<std::pair<int, double>>& newest, int most) {
    m_bar.assign(size_t(most), 0);
    m_val.assign(size_t(most), 0.0);
    m_count = int(newest.size());
    for (int k = 0; k < m_count; ++k) {
        m_bar[size_t(k)] = newest[size_t(m_count - 1 - k)].first;
        m_val[size_t(k)] = newest[size_t(m_count - 1 - k)].second;
    }
    m_head = m_count == most ? 0 : m_count;
}

bool CCR::Value(int i, double* v) {
    const KDATA* b = m_pKData->GetData();
    const double* s = DaySums(m_sums, i, kDays, 1, [b](int t, double sign, double* out) __attribute__((always_inline)) {
        const KDATA& p = b[t - 1];
        const double mid = (double(p.high) + p.low + p.open + p.close) / 4;
        out[0] += sign * (AtLeastZero(b[t].high - mid));
        out[1] += sign * (AtLeastZero(mid - b[t].low));
    });
    if (!s || s[1] < 0.0001) return false;
    *v = s[0] * 100 / s[1];
    return true;
}

// The four averages take the CR values of the bars that have one, walking back from the bar;
// the largest M of them are enough, and they must lie within kWalkFactor x that M bars.
bool CCR::Lines(int i, double* v) {
    const int n = m_ints[kDays];
    const int most = std::max(std::max(m_ints[kM1], m_ints[kM2]), std::max(m_ints[kM3], m_ints[kM4]));
    if (i + 1 < n + most) return false;
    const int oldest = i - kWalkFactor * most + 1;
    double now;
    const bool has = Value(i, &now);
    if (m_at == i - 1 && m_at >= 0 && int(m_val.size()) == most) {
        if (has) {
            m_bar[size_t(m_head)] = i;
            m_val[size_t(m_head)] = now;
            if (++m_head == most) m_head = 0;
            if (m_count < most) ++m_count;
        }
    } else if (m_at != i || int(m_val.size()) != most) {
        // Collected afresh, walking back; held oldest first from slot 0.
        std::vector<std::pair<int, double>> newest;
        for (int t = i; t >= std::max(n, oldest) && int(newest.size()) < most; --t) {
            double x;
            if (t == i ? has : Value(t, &x)) newest.emplace_back(t, t == i ? now : x);
        }
        HoldNewest(newest, most);
    }
    m_at = i;
    // The oldest held value sits at the head once the ring is full.
    if (!has || m_count < most || m_bar[size_t(m_head)] < oldest) return false;
    v[0] = now;
    const int counts[4] = {m_ints[kM1], m_ints[kM2], m_ints[kM3], m_ints[kM4]};
    // Running sums newest first: the head's slot back to 0, then from the end.
    double sum = 0;
    int taken = 0;
    double* partial = m_partial.data();
    if (int(m_partial.size()) != most) m_partial.assign(size_t(most), 0.0), partial = m_partial.data();
    for (int at = m_head - 1; at >= 0; --at) partial[taken++] = sum += m_val[size_t(at)];
    for (int at = most - 1; at >= m_head; --at) partial[taken++] = sum += m_val[size_t(at)];
    for (int k = 0; k < 4; ++k) v[1 + k] = partial[counts[k] - 1] / counts[k];
    return true;
}

bool CCR::Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool) {
    double* out[5] = {v1, v2, v3, v4, v5};
    return CalcBar(index, 5, out, [this](int i, double* v) { return Lines(i, v); });
}

bool CCR::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    const int n = m_ints[kDays];
    const int most = std::max(std::max(m_ints[kM1], m_ints[kM2]), std::max(m_ints[kM3], m_ints[kM4]));
    bool fresh = false;
    // From the first bar that can have lines, Lines would collect its averages' values afresh
    // there: FreshLines does the same.
    if (n >= 1 && most >= 1 && start <= n + most - 1 &&
        FreshPass(5, n + most - 1, end, min, max, minBar, maxBar, &fresh,
                  [this](int first, int last, double* const* lines) { return FreshLines(first, last, lines); }))
        return fresh;
    return RangePass(5, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return Lines(i, v); });
}

// Lines' steps over bars first..last, first the first bar that can have lines, none of them
// cached: CR by the window sums as Value steps them (its values before first each taken afresh,
// as Lines' walk back takes them), kept with whether the bar has one in a buffer that slides
// along a block at a time; the averages sum the newest values first as Lines does, four bars at
// once where the last `most` bars all have finite values. Lines' state is left at last.
bool CCR::FreshLines(int first, int last, double* const* lines) {
    const KDATA* const b = m_pKData->GetData();
    const int n = m_ints[kDays];
    const int counts[4] = {m_ints[kM1], m_ints[kM2], m_ints[kM3], m_ints[kM4]};
    const int most = std::max(std::max(counts[0], counts[1]), std::max(counts[2], counts[3]));
    const int walk = kWalkFactor * most;
    const double none = std::numeric_limits<double>::quiet_NaN();
    auto term = [b](int t, double* x) __attribute__((always_inline)) {
        const KDATA& p = b[t - 1];
        const double mid = (double(p.high) + p.low + p.open + p.close) / 4;
        x[0] = AtLeastZero(b[t].high - mid);
        x[1] = AtLeastZero(mid - b[t].low);
    };
    auto kernelTerm = [&term](int t, double* x) __attribute__((always_inline)) { term(t, x); };
    // The sliding buffer: bar t at t - origin, bars origin .. origin + walk + kCRBlock - 1.
    enum { kCRBlock = 2048 };
    std::vector<double> raw(size_t(walk + kCRBlock));
    std::vector<unsigned char> has(raw.size());
    int origin = first - walk;
    auto value = [&](int i, const double* s, double* v) __attribute__((always_inline)) {
        const bool got = !(s[1] < 0.0001);
        const double x = s[0] * 100 / s[1];
        raw[size_t(i - origin)] = x;
        has[size_t(i - origin)] = got;
        *v = x;
        return got;
    };
    // Bar first by the window sums as they stand, then the walk back, each bar afresh.
    SumsKernel(m_sums, n, 1, first, first, lines[1], kernelTerm, value);
    int held = has[size_t(first - origin)] ? 1 : 0, walked = -1;
    for (int t = first - 1; t >= std::max(n, first - walk + 1) && held < most; --t) {
        double x[2], sum[2] = {0, 0};
        for (int j = t - n + 1; j <= t; ++j) {
            term(j, x);
            sum[0] += 1.0 * x[0], sum[1] += 1.0 * x[1];
        }
        value(t, sum, x);
        held += has[size_t(t - origin)];
        walked = t;
    }
    if (walked >= 0) m_sums.at = walked;  // as the walk left them: the next bar takes its sums afresh
    // The count boundaries in increasing order, each count's sum taken at its own.
    int bound[4], nb = 0, segOf[4];
    for (int k = 0; k < 4; ++k) bound[nb++] = counts[k];
    std::sort(bound, bound + nb);
    nb = int(std::unique(bound, bound + nb) - bound);
    for (int k = 0; k < 4; ++k) segOf[k] = int(std::lower_bound(bound, bound + nb, counts[k]) - bound);
    double* const l0 = lines[0];
    double* const l1 = lines[1];
    double* const l2 = lines[2];
    double* const l3 = lines[3];
    double* const l4 = lines[4];
    bool broken = false;
    auto clean = [&](int t) { return has[size_t(t - origin)] && std::isfinite(raw[size_t(t - origin)]); };
    // The last bar before first without a finite value (one the walk did not reach counts).
    int dirty = first - most;
    for (int t = first - 1; t > first - most; --t)
        if (walked < 0 || t < walked || !clean(t)) {
            dirty = t;
            break;
        }
    auto noValue = [&](int i) {
        l0[i] = l1[i] = l2[i] = l3[i] = l4[i] = none;
        broken = true;
    };
    // Bar i by Lines' walk back over the buffer.
    auto single = [&](int i) {
        if (!has[size_t(i - origin)]) return noValue(i);
        const int oldest = i - walk + 1;
        double sum = 0, part[4] = {0, 0, 0, 0};
        int taken = 0;
        for (int t = i; t >= std::max(n, oldest) && taken < most; --t) {
            if (!has[size_t(t - origin)]) continue;
            sum += raw[size_t(t - origin)];
            ++taken;
            for (int k = 0; k < 4; ++k)
                if (taken == counts[k]) part[k] = sum;
        }
        if (taken < most) return noValue(i);
        double v[5] = {raw[size_t(i - origin)]};
        for (int k = 0; k < 4; ++k) v[1 + k] = part[k] / counts[k];
        if (!AllFinite(v, 5)) return noValue(i);
        l0[i] = v[0], l1[i] = v[1], l2[i] = v[2], l3[i] = v[3], l4[i] = v[4];
    };
    for (int b0 = first; b0 <= last; b0 += kCRBlock) {
        const int b1 = std::min(last, b0 + kCRBlock - 1);
        if (b0 > first) {
            // Slide: the last `walk` bars before b0 to the front.
            std::memmove(raw.data(), raw.data() + (b0 - walk - origin), sizeof(double) * size_t(walk));
            std::memmove(has.data(), has.data() + (b0 - walk - origin), size_t(walk));
            origin = b0 - walk;
            SumsKernel(m_sums, n, 1, b0, b1, lines[1], kernelTerm, value);
        } else if (first < b1) {
            SumsKernel(m_sums, n, 1, first + 1, b1, lines[1], kernelTerm, value);
        }
        int i = b0;
        while (i <= b1) {
            PrefetchBar(b, i);
            if (i + 3 <= b1 && clean(i) && clean(i + 1) && clean(i + 2) && clean(i + 3) && dirty < i - most + 1) {
                // Four bars' sums side by side, each newest first.
                const double* p = raw.data() + (i - origin);
                double acc[4] = {0, 0, 0, 0}, part[4][4];
                int j = 0;
                for (int g = 0; g < nb; ++g) {
                    for (; j < bound[g]; ++j)
                        for (int q = 0; q < 4; ++q) acc[q] += p[q - j];
                    for (int q = 0; q < 4; ++q) part[g][q] = acc[q];
                }
                for (int q = 0; q < 4; ++q) {
                    double v[5] = {p[q]};
                    for (int k = 0; k < 4; ++k) v[1 + k] = part[segOf[k]][q] / counts[k];
                    const int at = i + q;
                    if (__builtin_expect(!AllFinite(v, 5), 0)) {
                        noValue(at);
                        continue;
                    }
                    l0[at] = v[0], l1[at] = v[1], l2[at] = v[2], l3[at] = v[3], l4[at] = v[4];
                }
                i += 4;
                continue;
            }
            if (!clean(i)) dirty = i;
            single(i);
            ++i;
        }
    }
    // Lines' ring at last: the newest `most` values with their bars, oldest first from slot 0.
    {
        std::vector<std::pair<int, double>> newest;
        for (int t = last; t >= std::max(n, last - walk + 1) && int(newest.size()) < most; --t)
            if (has[size_t(t - origin)]) newest.emplace_back(t, raw[size_t(t - origin)]);
        HoldNewest(newest, most);
        m_at = last;
    }
    return broken;
}

int CCR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double now;
    if (!Calculate(&now, nullptr, nullptr, nullptr, nullptr, index, false)) return 0;
    return LevelSignal(now, 40, 300, m_ints[kLow], m_ints[kHigh], reasonOversold, reasonOverbought, reason);
}

// ---- OSC, UOS, MAOSC ----

COSC::COSC() : CPassLineMA("DDLL", {10, 6, 10, -10}, {}, {}, "(%d.%d)") {}

bool COSC::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const int n = m_ints[kDays];
    if (i + 1 < n) return false;
    const double average = RunningSum(m_sum, i, n, [&k](int t) { return Price(k, t); }) / n;
    if (average < 0.0001) return false;
    *v = Price(k, i) / average;
    return true;
}

int COSC::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, m_ints[kDays] + m_ints[kMA], kRangeWindow, 0.3, 0.6, m_ints[kBuy], m_ints[kSell],
                           reason);
}

CUOS::CUOS() : CPassLineMA("DDDDLL", {7, 14, 28, 6, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

bool CUOS::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    double sum = 0;
    for (int m = 0; m < 3; ++m) {
        const int n = m_ints[kDays1 + m];
        if (i + 1 < n) return false;
        const double average = RunningSum(m_sums[m], i, n, [&k](int t) { return Price(k, t); }) / n;
        if (average < 0.0001) return false;
        sum += Price(k, i) / average;
    }
    *v = sum / 3;
    return true;
}

int CUOS::GetSignal(int index, int* reason) {
    EnsureParameters();
    const int most = std::max(m_ints[kDays1], std::max(m_ints[kDays2], m_ints[kDays3]));
    return ZoneCrossSignal(index, most + m_ints[kMA], kRangeWindow, 0.4, 0.6, m_ints[kBuy], m_ints[kSell], reason);
}

CMAOSC::CMAOSC() : CPassLineMA("DDDLL", {6, 12, 6, 10, -10}, {}, {}, "(%d,%d,%d)") {}

bool CMAOSC::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const int n1 = m_ints[kDays1], n2 = m_ints[kDays2];
    if (i + 1 < n1 || i + 1 < n2) return false;
    auto price = [&k](int t) { return Price(k, t); };
    *v = RunningSum(m_sums[0], i, n1, price) / n1 - RunningSum(m_sums[1], i, n2, price) / n2;
    return true;
}

int CMAOSC::GetSignal(int index, int* reason) {
    EnsureParameters();
    const int most = std::max(m_ints[kDays1], m_ints[kDays2]);
    return ZoneCrossSignal(index, most + m_ints[kMA], kRangeWindow, 0.4, 0.5, m_ints[kBuy], m_ints[kSell], reason);
}

// ---- 36BIAS ----

namespace {
// The average of the last 3 prices less that of the last 6, at a bar with 5 before it.
template <class Price>
double Bias36(const Price& price, int i) {
    const double three = price(i) + price(i - 1) + price(i - 2);
    const double six = three + price(i - 3) + price(i - 4) + price(i - 5);
    return three / 3 - six / 6;
}
}  // namespace

C36BIAS::C36BIAS() : CLine1("LL", {10, -10}, {}, {}, "") {}

bool C36BIAS::Line(int i, double* v) {
    if (i < 5) return false;
    const CKData& k = *m_pKData;
    *v = Bias36([&k](int t) { return Price(k, t); }, i);
    return true;
}

namespace {
// As CTechnique::PrefetchBar, for the passes outside the classes.
inline void Ahead(const KDATA* bars, int i) {
    __builtin_prefetch(
        reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(bars) + (uintptr_t(i) + 16) * sizeof(KDATA)));
}

// The line of bars first..last (from bar 5 on), none of them cached yet, as Bias36 gives it, with
// the last five prices kept in registers; two bars at a time, so that their four divisions take
// two instructions. Returns whether a bar got no finite value.
template <bool Stream, class Price>
bool Bias36Pass(const Price& prices, const KDATA* bars, int i, int last, double* line) {
    const Price price = prices;  // a local the stores cannot reach
    double p1 = price(i - 1), p2 = price(i - 2), p3 = price(i - 3), p4 = price(i - 4), p5 = price(i - 5);
    double check = 0;  // stays 0 while every value is finite
    auto one = [&](int t) __attribute__((always_inline)) {
        const double p0 = price(t);
        // Bias36's sums, in its order.
        const double three = p0 + p1 + p2;
        const double v = three / 3 - (three + p3 + p4 + p5) / 6;
        line[t] = v;
        check += v - v;
        p5 = p4, p4 = p3, p3 = p2, p2 = p1, p1 = p0;
    };
    if (Stream && !PairAligned(line + i) && i <= last) one(i++);
#if defined(__SSE2__)
    const __m128d by3 = _mm_set1_pd(3), by6 = _mm_set1_pd(6);
    __m128d checks = _mm_setzero_pd();
    for (; i + 1 <= last; i += 2) {
        Ahead(bars, i);
        const double q0 = price(i), q1 = price(i + 1);
        const double ta = q0 + p1 + p2, sa = ta + p3 + p4 + p5;
        const double tb = q1 + q0 + p1, sb = tb + p2 + p3 + p4;
        const __m128d v = _mm_sub_pd(_mm_div_pd(_mm_set_pd(tb, ta), by3), _mm_div_pd(_mm_set_pd(sb, sa), by6));
        if (Stream)
            _mm_stream_pd(line + i, v);
        else
            _mm_storeu_pd(line + i, v);
        checks = _mm_add_pd(checks, _mm_sub_pd(v, v));
        p5 = p3, p4 = p2, p3 = p1, p2 = q0, p1 = q1;
    }
    check += _mm_cvtsd_f64(checks) + _mm_cvtsd_f64(_mm_unpackhi_pd(checks, checks));
    if (Stream) StreamDone();
#endif
    for (; i <= last; ++i) {
        Ahead(bars, i);
        one(i);
    }
    return !(check == 0);
}
}  // namespace

// With the price function chosen once for the pass; bars none of which is cached yet are
// written by Bias36Pass.
bool C36BIAS::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return RangePass(1, start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    return WithPrices(*m_pKData, [&](const auto& price) {
        bool any = false;
        const KDATA* const bars = m_pKData->GetData();
        // Bars before 5 have no value: a pass from bar 5 on leaves them uncomputed.
        if (FreshPass(1, std::max(start, 5), end, min, max, minBar, maxBar, &any, [&](int first, int last, double* const* lines) {
                return StreamLines(lines, 1, first, last - first + 1)
                           ? Bias36Pass<true>(price, bars, first, last, lines[0])
                           : Bias36Pass<false>(price, bars, first, last, lines[0]);
            }))
            return any;
        return RangePass(1, start, end, min, max, minBar, maxBar, [&price](int i, double* v) {
            if (i < 5) return false;
            *v = Bias36(price, i);
            return true;
        });
    });
}

int C36BIAS::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double low, high, now;
    if (!GetRangeLevels(index, reason, 6, 40, &low, &high, 0.02, 0.98) || !Calculate(&now, index, false)) return 0;
    return LevelSignal(now, low, high, m_ints[kLow], m_ints[kHigh], reasonOversold, reasonOverbought, reason);
}

// ---- DPO ----

CDPO::CDPO() : CPassLineMA("DDLL", {10, 6, 10, -10}, {}, {}, "(%d,%d)") {}

bool CDPO::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const int n = m_ints[kDays];
    if (i < 3 * n - 2) return false;
    const double average = RunningSum(m_sum, i - n + 1, 2 * n, [&k](int t) { return Price(k, t); }) / (2 * n);
    *v = Price(k, i) - average;
    return true;
}

int CDPO::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, 3 * m_ints[kDays] + m_ints[kMA], kRangeWindow, 0.2, 0.7, m_ints[kBuy],
                           m_ints[kSell], reason);
}

// ---- KST ----

CKST::CKST() : CPassLineMA("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}

bool CKST::Line(int i, double* v) {
    const CKData& k = *m_pKData;
    const double now = Price(k, i);
    double sum = 0, weights = 0;
    for (int m = 0; m < m_days.GetSize(); ++m) {
        const int d = int(m_days[m]);
        if (i < d) return false;
        const double then = Price(k, i - d);
        if (!(now > 0) || !(then > 0)) return false;
        sum += (m + 1) * ((now - then) * 100 / then);
        weights += m + 1;
    }
    if (weights <= 0) return false;
    *v = sum / weights;
    return true;
}

int CKST::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (index < 2) return 0;
    EnsureParameters();
    return ZoneCrossSignal(index, GetMaxDays(m_days) + m_ints[kMA], kRangeWindow, 0.2, 0.6, m_ints[kBuy],
                           m_ints[kSell], reason);
}

// Range passes with each class's own line called directly.

// The range passes of the averaged-price lines: the steps of Line, with the window sums held in
// locals for the pass and the price function chosen once.
bool COSC::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n = m_ints[kDays];
    bool any = false;
    if (FreshLineMA(start, end, min, max, minBar, maxBar, n - 1, &any, [&](const auto& price, int from) {
            price_pass::Sums<1, std::decay_t<decltype(price)>> sums(price, &n, n - 1, from, 0);
            return [sums, n](int t) mutable __attribute__((always_inline)) {
                sums.At(t);
                const double average = sums.Sum(0) / n;
                if (average < 0.0001) return std::numeric_limits<double>::quiet_NaN();
                return sums.price(t) / average;
            };
        }))
        return any;
    return WithPrices(*m_pKData, [&](const auto& price) {
        return LineMABlocks(start, end, min, max, minBar, maxBar, [&](int b0, int b1, double* xs, unsigned char* got) {
            PriceSumBlock<1>(price, &n, b0, b1, xs, got, [&](int i, const double* sums, double* v) {
                const double average = sums[0] / n;
                if (average < 0.0001) return false;
                *v = price(i) / average;
                return true;
            });
        });
    });
}

bool CUOS::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n[3] = {m_ints[kDays1], m_ints[kDays2], m_ints[kDays3]};
    const int whole = std::max(n[0], std::max(n[1], n[2])) - 1;
    bool any = false;
    if (FreshLineMA(start, end, min, max, minBar, maxBar, whole, &any, [&](const auto& price, int from) {
            price_pass::Sums<3, std::decay_t<decltype(price)>> sums(price, n, whole, from, 0);
            const int d0 = n[0], d1 = n[1], d2 = n[2];
            return [sums, d0, d1, d2](int t) mutable __attribute__((always_inline)) {
                sums.At(t);
                const int d[3] = {d0, d1, d2};
                double sum = 0;
                for (int m = 0; m < 3; ++m) {
                    const double average = sums.Sum(m) / d[m];
                    if (average < 0.0001) return std::numeric_limits<double>::quiet_NaN();
                    sum += sums.price(t) / average;
                }
                return sum / 3;
            };
        }))
        return any;
    return WithPrices(*m_pKData, [&](const auto& price) {
        return LineMABlocks(start, end, min, max, minBar, maxBar, [&](int b0, int b1, double* xs, unsigned char* got) {
            PriceSumBlock<3>(price, n, b0, b1, xs, got, [&](int i, const double* sums, double* v) {
                double sum = 0;
                for (int m = 0; m < 3; ++m) {
                    const double average = sums[m] / n[m];
                    if (average < 0.0001) return false;
                    sum += price(i) / average;
                }
                *v = sum / 3;
                return true;
            });
        });
    });
}

// Filling the cache alone from the series' start: one pass (FreshLineMA). Any other request: the
// range pass of the line and its average, the window sums held in locals for the pass and the price
// function chosen once.
bool CMAOSC::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n[2] = {m_ints[kDays1], m_ints[kDays2]};
    const int whole = std::max(n[0], n[1]) - 1;
    bool any = false;
    if (FreshLineMA(start, end, min, max, minBar, maxBar, whole, &any, [&](const auto& price, int from) {
            price_pass::Sums<2, std::decay_t<decltype(price)>> sums(price, n, whole, from, 0);
            const double d0 = n[0], d1 = n[1];
            return [sums, d0, d1](int t) mutable __attribute__((always_inline)) {
                sums.At(t);
                double a = sums.Sum(0), b = sums.Sum(1);
#if defined(__SSE2__)
                // Both divisions in one instruction, each rounded as on its own. The sums are held
                // in registers first: one load of both would wait on their two stores.
                __asm__("" : "+x"(a), "+x"(b));
                const __m128d q = _mm_div_pd(_mm_unpacklo_pd(_mm_set_sd(a), _mm_set_sd(b)), _mm_set_pd(d1, d0));
                return _mm_cvtsd_f64(q) - _mm_cvtsd_f64(_mm_unpackhi_pd(q, q));
#else
                return a / d0 - b / d1;
#endif
            };
        }, true))
        return any;
    return WithPrices(*m_pKData, [&](const auto& price) {
        return LineMABlocks(start, end, min, max, minBar, maxBar, [&](int b0, int b1, double* xs, unsigned char* got) {
            PriceSumBlock<2>(price, n, b0, b1, xs, got, [&](int, const double* sums, double* v) {
                *v = sums[0] / n[0] - sums[1] / n[1];
                return true;
            });
        });
    });
}

// The window of bar i ends at bar i - n + 1.
bool CDPO::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return LineMAPass(start, end, min, max, minBar, maxBar, [](int, double*) { return false; });
    EnsureParameters();
    const int n = m_ints[kDays], len = 2 * n;
    bool any = false;
    if (FreshLineMA(start, end, min, max, minBar, maxBar, 3 * n - 2, &any, [&](const auto& price, int from) {
            price_pass::Sums<1, std::decay_t<decltype(price)>> sums(price, &len, 3 * n - 2, from, n - 1);
            return [sums, n, len](int t) mutable __attribute__((always_inline)) {
                sums.At(t - (n - 1));
                return sums.price(t) - sums.Sum(0) / len;
            };
        }))
        return any;
    return WithPrices(*m_pKData, [&](const auto& price) {
        return LineMABlocks(start, end, min, max, minBar, maxBar, [&](int b0, int b1, double* xs, unsigned char* got) {
            PriceSumBlock<1>(price, &len, b0, b1, xs, got, [&](int i, const double* sums, double* v) {
                if (i < 3 * n - 2) return false;
                *v = price(i) - sums[0] / len;
                return true;
            }, n - 1);
        });
    });
}
bool CKST::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool any = false;
    std::vector<int> days;
    for (int m = 0; m < m_days.GetSize(); ++m) days.push_back(int(m_days[m]));
    if (!days.empty() &&
        FreshLineMA(start, end, min, max, minBar, maxBar, GetMaxDays(m_days), &any, [&](const auto& price, int) {
            const int* const d = days.data();
            const int count = int(days.size());
            auto p = price;
            return [p, d, count](int t) __attribute__((always_inline)) {
                // Line's steps.
                const double now = p(t);
                double sum = 0, weights = 0;
                for (int m = 0; m < count; ++m) {
                    const double then = p(t - d[m]);
                    if (!(now > 0) || !(then > 0)) return std::numeric_limits<double>::quiet_NaN();
                    sum += (m + 1) * ((now - then) * 100 / then);
                    weights += m + 1;
                }
                return sum / weights;
            };
        }))
        return any;
    return LineMAPass(start, end, min, max, minBar, maxBar, [this](int t, double* x) { return CKST::Line(t, x); });
}
