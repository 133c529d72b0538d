// Momentum oscillators: KDJ (and id 58's core), R, RSI, BIAS, MTM, DMI, ROC and CCI. Each class's
// parameters and computation are in techs_momentum.cpp.
#pragma once

#include <emmintrin.h>

#include "analysis/techs_lines.h"

// KDJ and id 58: RSV smoothed into K and D from 50, and J: 3K - 2D with J mode 1, else 3D - 2K.
class CKDJBase : public CTechLines {
public:
    enum { kDays, kKDays, kDDays, kJMode, kBuy, kSell };
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    using CTechLines::CTechLines;
    // First bar of the full computation for index.
    virtual int WarmUpStart(int index) const = 0;

private:
    bool Rsv(int i, double* rsv) const;
    // One smoothing step to bar i from the previous K and D.
    void Step(int i, double* v) const;
    // The smoothing of Step with the bar's RSV at hand.
    void Smooth(double rsv, double* v) const;
};

class CKDJ : public CKDJBase {
public:
    CKDJ();

protected:
    int WarmUpStart(int index) const override;
};

class CR : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays };
    CR();

protected:
    bool Line(int i, double* v) override;
};

class CRSI : public CTechLines {
public:
    enum { kOversold, kBuy, kSell };
    CRSI();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Value(int i, int days, WindowSums<2>& sums, double* v);
    bool FreshDays(int line, int days, int start, int end, double* lo, double* hi, bool* any);
    template <int C>
    bool FreshAll(int start, int end, double* lo, double* hi, bool* any);
    WindowSums<2> m_sums[kLines + 1];  // one per cached day count, the last for any other
};

class CBIAS : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CBIAS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<1> m_sums;
};

// A line of the price against the price n bars before, with its average (MTM, ROC, PCNT): their
// range request shares one pass. Change gives the line (Momentum, PriceChange).
class CChangeLineMA : public CLineMA {
protected:
    using CLineMA::CLineMA;
    template <class Change>
    bool ChangeRange(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar);
};

class CMTM : public CChangeLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CMTM();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class CDMI : public CTechLines {
public:
    enum { kDays };
    CDMI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    // +DI, -DI and DX of bar i; false when the sums are too small.
    bool Directions(int i, double* plus, double* minus, double* dx);
    // The four lines of bar i by the full computation.
    bool Full(int i, double* v);
    // First bar of the ADX warm-up for bar i.
    int WarmUpStart(int i);
    // ADX of bar i by a run over its own warm-up.
    double AdxRun(int i);
    // Bars past the cache (appended after it was sized) go on from the run kept here, one step
    // a bar, and keep their lines in the tail.
    bool Tracked() const;  // the run belongs to this series as it stands
    void Track(int at);    // the bars the run read up to bar at, for Tracked
    bool FromTail(int index, double* v, bool* ok) const;
    void ToTail(int index, const double* v, bool ok);
    bool StepRun(int index, double* v);
    bool FreshRun(int n, int first, int last, double* const* lines);
    WindowSums<3> m_sums;
    struct Run {
        unsigned epoch = 0;
        int n = 0;
        int at = -1;  // the bar the ADX and the ring stand at (-1: no run to go on from)
        double adx = 0;
        std::vector<double> ring;  // ADX by bar % (n + 1)
        int seen = -1;             // the last bar read, whose window the snapshot holds
        std::vector<KDATA> snapshot;
        int exright = 0;
        unsigned tailEpoch = 0;
        int tailN = 0;
        int tailFirst = -1;
        std::vector<double> tail;  // 4 lines a bar from tailFirst on
        std::vector<char> tailOk;
    };
    Run m_run;
};

class CROC : public CChangeLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CROC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class CCCI : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };  // ints
    enum { kFactor };                  // doubles
    CCCI();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    WindowSums<1> m_sums;
};

// Two-bar steps of the kernels: all bits set in the lanes whose x is finite.
inline __m128d FiniteLanes(__m128d x) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
    return _mm_cmple_pd(magnitude, _mm_set1_pd(std::numeric_limits<double>::max()));
}

// The change from then to now in percent, as PercentChange gives it, for ChangeAverageKernel.
struct PriceChange {
    static double Value(double now, double then) { return (now - then) * 100 / then; }
    static __m128d Value2(__m128d now, __m128d then) {
        return _mm_div_pd(_mm_mul_pd(_mm_sub_pd(now, then), _mm_set1_pd(100)), then);
    }
    static bool Has(double now, double then, double x) { return (now > 0) & (then > 0) & std::isfinite(x); }
    static __m128d Has2(__m128d now, __m128d then, __m128d x) {
        const __m128d zero = _mm_setzero_pd();
        return _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(now, zero), _mm_cmpgt_pd(then, zero)), FiniteLanes(x));
    }
    static bool Line(double now, double then, double* x) {
        *x = Value(now, then);
        return Has(now, then, *x);
    }
};

// The whole-series kernel (for FreshPass) of a line made from the prices of a bar and of the bar
// `back` before it, with its simple average over the last m values (bars without a value
// skipped): MTM, ROC and PCNT. Line::Value(now, then) is the line of a bar, whatever the prices;
// Line::Has(now, then, x) says whether the bar has it. Prices are read once a block into
// contiguous doubles so that the lines compute in vector steps; each average adds its m values
// afresh, so an absurd value leaves no rounding behind once it is out of the window. Bars from
// first on (first >= back) get both lines, or NaN in both; true when any got NaN.
namespace change_kernel {

enum { kBlock = 512 };
// From this many bars on, a pass writes its lines past the processor's caches: they could not
// hold them, and reading the old contents before writing over them would double the traffic.
enum { kStreamBars = 1 << 17 };

// Copies a block of a line into the cache's line.
inline void Store(const double* from, double* to, int len, bool stream) {
    int j = 0;
    if (stream) {
        if ((reinterpret_cast<uintptr_t>(to) & 15) != 0 && len > 0) to[0] = from[0], j = 1;
        for (; j + 1 < len; j += 2) _mm_stream_pd(to + j, _mm_loadu_pd(from + j));
    }
    for (; j < len; ++j) to[j] = from[j];
}

// out[j] = the mean of c[j - m + 1 .. j], oldest first; M is m when known at compile time.
template <int M>
inline void Means(const double* c, int count, int m, double* out) {
    const int w = M > 0 ? M : m;
    // Four bars a step in two vectors, each lane adding its window in the same order as the
    // single-bar loop below, so that every mean comes out the same.
    const __m128d divisor = _mm_set1_pd(double(w));
    int j = 0;
    for (; j + 3 < count; j += 4) {
        __m128d a = _mm_setzero_pd(), b = _mm_setzero_pd();
        for (int q = 1 - w; q <= 0; ++q) {
            a = _mm_add_pd(a, _mm_loadu_pd(c + j + q));
            b = _mm_add_pd(b, _mm_loadu_pd(c + j + 2 + q));
        }
        _mm_storeu_pd(out + j, _mm_div_pd(a, divisor));
        _mm_storeu_pd(out + j + 2, _mm_div_pd(b, divisor));
    }
    for (; j < count; ++j) {
        double s = 0;
        for (int q = 1 - w; q <= 0; ++q) s += c[j + q];
        out[j] = s / w;
    }
}

// Whether every bar of a block has its line, two bars a step.
template <class Line>
bool AllHave(const double* p, int back, const double* x, int len) {
    __m128d all = _mm_cmpeq_pd(_mm_setzero_pd(), _mm_setzero_pd());
    int j = 0;
    for (; j + 1 < len; j += 2)
        all = _mm_and_pd(all, Line::Has2(_mm_loadu_pd(p + j), _mm_loadu_pd(p + j - back), _mm_loadu_pd(x + j)));
    bool has = _mm_movemask_pd(all) == 3;
    for (; j < len && has; ++j) has = Line::Has(p[j], p[j - back], x[j]);
    return has;
}

// A line and its simple average over the last m values (bars without a value skipped) for the
// bars first..last: single(t, &x) gives the line of a bar before first (false: none);
// fill(b0, len, x, has) the lines of the bars b0 .. b0 + len - 1 into x, true when every one has
// its line, else has[j] says which do. Both lines, or NaN in both; true when any bar got NaN.
// mayStream false: the lines are written through the caches whatever the length (the block's
// inputs come from a column, and the writes are the pass's main traffic).
// written: fill has written the lines into lines[0] as well (then mayStream is false).
template <int M, class Single, class Fill>
bool Averaged(int m, int first, int last, double* const* lines, const Single& single, Fill& fill,
              bool mayStream = true, bool written = false) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    double* const l0 = lines[0];
    double* const l1 = lines[1];
    // The last m - 1 values before the block (count of them held, the newest last), then the
    // block's.
    std::vector<double> values(size_t(m - 1 + kBlock));
    int count = 0;
    for (int t = first - 1; t >= 0 && count < m - 1; --t) {
        double x;
        if (single(t, &x)) values[size_t(m - 2 - count++)] = x;
    }
    bool broken = false;
    const bool stream = mayStream && last - first >= kStreamBars;
    double means[kBlock];
    unsigned char has[kBlock];
    for (int b0 = first; b0 <= last; b0 += kBlock) {
        const int len = std::min(int(kBlock), last - b0 + 1);
        double* const x = values.data() + (m - 1);
        const bool all = fill(b0, len, x, has);
        int added = len;
        if (count == m - 1 && all) {
            if (!written) Store(x, l0 + b0, len, stream);
            if (stream) {
                Means<M>(x, len, m, means);
                Store(means, l1 + b0, len, stream);
            } else {
                Means<M>(x, len, m, l1 + b0);
            }
        } else {
            // Values moved down over the bars without one; a bar has its average once m values
            // have come since bar 0.
            if (all) std::fill(has, has + len, 1);
            added = 0;
            for (int j = 0; j < len; ++j) {
                const int i = b0 + j;
                if (!has[j]) {
                    l0[i] = l1[i] = none;
                    broken = true;
                    continue;
                }
                l0[i] = x[j];
                x[added++] = x[j];
                if (count + added >= m) {
                    Means<M>(x + added - 1, 1, m, l1 + i);
                } else {
                    l0[i] = l1[i] = none;
                    broken = true;
                }
            }
            count = std::min(m - 1, count + added);
        }
        std::copy(values.begin() + added, values.begin() + added + (m - 1), values.begin());
    }
    if (stream) _mm_sfence();
    return broken;
}

// column: the prices as contiguous doubles (price(t) is column[t]), read in place; null: copied
// from price a block at a time. The lines are streamed only when there is no column.
template <int M, class Line, class Price>
bool Run(const Price& price, int back, int m, int first, int last, double* const* lines, const double* column) {
    // The prices of the `back` bars before the block, then the block's.
    std::vector<double> prices(size_t(back + kBlock));
    for (int t = first - back; t < first; ++t) prices[size_t(t - first + back)] = price(t);
    auto single = [&](int t, double* x) {
        if (t < back) return false;
        const double now = price(t), then = price(t - back);
        *x = Line::Value(now, then);
        return Line::Has(now, then, *x);
    };
    auto fill = [&](int b0, int len, double* x, unsigned char* has) {
        const double* p = column + b0;
        if (!column) {
            double* const q = prices.data() + back;
            for (int j = 0; j < len; ++j) q[j] = price(b0 + j);
            p = q;
        }
        bool all;
        if (column) {
            // The line straight into the cache as well, and whether every bar has it, in one
            // pass over the block (Value2 does Value's steps two bars at a time).
            double* const out = lines[0] + b0;
            __m128d ok = _mm_cmpeq_pd(_mm_setzero_pd(), _mm_setzero_pd());
            int j = 0;
            for (; j + 1 < len; j += 2) {
                const __m128d now = _mm_loadu_pd(p + j), then = _mm_loadu_pd(p + j - back);
                const __m128d v = Line::Value2(now, then);
                _mm_storeu_pd(x + j, v);
                _mm_storeu_pd(out + j, v);
                ok = _mm_and_pd(ok, Line::Has2(now, then, v));
            }
            all = _mm_movemask_pd(ok) == 3;
            for (; j < len; ++j) {
                out[j] = x[j] = Line::Value(p[j], p[j - back]);
                all = all && Line::Has(p[j], p[j - back], x[j]);
            }
        } else {
            for (int j = 0; j < len; ++j) x[j] = Line::Value(p[j], p[j - back]);
            all = AllHave<Line>(p, back, x, len);
        }
        if (!all)
            for (int j = 0; j < len; ++j) has[j] = Line::Has(p[j], p[j - back], x[j]);
        if (!column) std::copy(prices.begin() + len, prices.begin() + len + back, prices.begin());
        return all;
    };
    return Averaged<M>(m, first, last, lines, single, fill, !column, column != nullptr);
}

// The mean of term(t) over the n bars ending at each bar first..last into line[i] (first >= n - 1
// plus the bars before that term reads), each added afresh in vector steps; true when any mean
// is not finite.
template <int M, class Term>
bool Means(const Term& term, int n, int first, int last, double* line) {
    // The terms of the n - 1 bars before the block, then the block's.
    std::vector<double> terms(size_t(n - 1 + kBlock));
    double* const x = terms.data() + (n - 1);
    for (int t = first - n + 1; t < first; ++t) x[t - first] = term(t);
    const bool stream = last - first >= kStreamBars;
    double means[kBlock];
    __m128d finite = _mm_cmpeq_pd(_mm_setzero_pd(), _mm_setzero_pd());
    bool broken = false;
    for (int b0 = first; b0 <= last; b0 += kBlock) {
        const int len = std::min(int(kBlock), last - b0 + 1);
        for (int j = 0; j < len; ++j) x[j] = term(b0 + j);
        Means<M>(x, len, n, means);
        int j = 0;
        for (; j + 1 < len; j += 2) finite = _mm_and_pd(finite, FiniteLanes(_mm_loadu_pd(means + j)));
        for (; j < len; ++j) broken |= !std::isfinite(means[j]);
        Store(means, line + b0, len, stream);
        std::copy(terms.begin() + len, terms.begin() + len + (n - 1), terms.begin());
    }
    if (stream) _mm_sfence();
    return broken || _mm_movemask_pd(finite) != 3;
}

}  // namespace change_kernel

// Averaged with the average's day count fixed at compile time for the usual ones.
template <class Single, class Fill>
bool AveragedKernel(int m, int first, int last, double* const* lines, const Single& single, Fill& fill) {
    switch (m) {
    case 6: return change_kernel::Averaged<6>(m, first, last, lines, single, fill);
    case 10: return change_kernel::Averaged<10>(m, first, last, lines, single, fill);
    default: return change_kernel::Averaged<0>(m, first, last, lines, single, fill);
    }
}

// The mean of term(t) over the n bars ending at each bar first..last, for FreshPass.
template <class Term>
bool WindowMeansKernel(const Term& term, int n, int first, int last, double* line) {
    switch (n) {
    case 12: return change_kernel::Means<12>(term, n, first, last, line);
    case 14: return change_kernel::Means<14>(term, n, first, last, line);
    default: return change_kernel::Means<0>(term, n, first, last, line);
    }
}

// column: as change_kernel::Run takes it.
template <class Line, class Price>
bool ChangeAverageKernel(const Price& price, int back, int m, int first, int last, double* const* lines,
                         const double* column = nullptr) {
    switch (m) {
    case 6: return change_kernel::Run<6, Line>(price, back, m, first, last, lines, column);
    case 10: return change_kernel::Run<10, Line>(price, back, m, first, last, lines, column);
    default: return change_kernel::Run<0, Line>(price, back, m, first, last, lines, column);
    }
}

template <class Change>
bool CChangeLineMA::ChangeRange(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    const int m = MaDays();
    const CKData& k = *m_pKData;
    // Prices from the close column: the pass writes its lines through the caches (measured faster
    // than streaming them once the records are not read).
    const double* const column = k.GetPriceMode() != priceOpen && k.GetPriceMode() != priceAverage
                                     ? ColumnFor(k, CKData::fieldClose, start, end)
                                     : nullptr;
    return WithPriceColumn(k, start, end, [&](const auto& price) {
        auto block = [&](int b0, int b1, double* xs, unsigned char* got) {
            for (int i = b0; i <= b1; ++i) got[i - b0] = i >= n && Change::Line(price(i), price(i - n), &xs[i - b0]);
        };
        // The bars before the first that can have both lines cache what the walk caches of them.
        const int whole = n + m - 1;
        if (start < whole) LineMABlocks(start, std::min(end, whole - 1), nullptr, nullptr, nullptr, nullptr, block);
        bool any;
        if (FreshPass(2, std::max(start, whole), end, min, max, minBar, maxBar, &any,
                      [&](int first, int last, double* const* lines) {
                          return ChangeAverageKernel<Change>(price, n, m, first, last, lines, column);
                      }))
            return any;
        return LineMABlocks(start, end, min, max, minBar, maxBar, block);
    });
}
