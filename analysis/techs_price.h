// Volatility, sentiment and price oscillators: CV, ARBR, CR, OSC, UOS, MAOSC, 36BIAS, DPO and KST.
// Each class's parameters and computation are in techs_price.cpp.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/techs_lines.h"

// Whole-series passes of this family (and of techs_own) write their lines two bars at a time
// with PutPair. A pass over more than kStreamBars bars writes lines larger than the processor's
// caches: those stores go past the caches (non-temporal), so that writing a line costs no read of
// the memory it replaces, and StreamDone orders them before anything later. A shorter pass keeps
// its lines in the caches for the pane that reads them next. (Helpers every family could share.)
constexpr int kStreamBars = 1 << 17;
// Whether a pass writing count bars of the n lines from bar first streams them: a long pass,
// with every line's entry of bar first equally placed within 16 bytes. The pass then writes bar
// first alone when that entry is not on a 16-byte boundary, and pairs of bars from there.
inline bool StreamLines(double* const* lines, int n, int first, int count) {
#if defined(__SSE2__)
    if (count < kStreamBars) return false;
    const uintptr_t at = reinterpret_cast<uintptr_t>(lines[0] + first) & 15;
    if (at & 7) return false;
    for (int k = 1; k < n; ++k)
        if ((reinterpret_cast<uintptr_t>(lines[k] + first) & 15) != at) return false;
    return true;
#else
    (void)lines, (void)n, (void)first, (void)count;
    return false;
#endif
}
inline bool PairAligned(const double* at) { return (reinterpret_cast<uintptr_t>(at) & 15) == 0; }
template <bool Stream>
inline void PutPair(double* at, double a, double b) {
#if defined(__SSE2__)
    if (Stream) {
        _mm_stream_pd(at, _mm_set_pd(b, a));
        return;
    }
#endif
    at[0] = a, at[1] = b;
}
inline void StreamDone() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

namespace price_pass {

// ValueRing's arithmetic for a pass over a values array of at least m entries the pass owns: the
// same pushes give the same sums bit for bit.
struct Ring : RingSums {
    double* values;

    Ring(double* slots, int days) : values(slots) { m = days; }
    __attribute__((always_inline)) void Push(double x) { PushInto(values, x); }
};

// C window sums of the price over days[j] bars, stepped bar after bar as PriceSumBlock steps them
// inside LineMABlocks: taken afresh at the first bar and at each block start (blockFrom + k x 512,
// shifted back by `shift` bars with the windows), moved on as RunWindowSums moves them between.
template <int C, class Price>
struct Sums {
    enum { kBlock = 512 };  // LineMABlocks' block
    const Price price;
    CWindowSum s[C];
    int days[C];
    int restart, blockFrom, shift;

    Sums(const Price& p, const int* d, int first, int from, int back) : price(p), restart(first), blockFrom(from), shift(back) {
        for (int j = 0; j < C; ++j) days[j] = d[j];
    }
    // The sums of the windows ending at bar t (t = first - shift, then each next bar).
    __attribute__((always_inline)) void At(int t) {
        auto term = [this](int u) { return price(u); };
        if (t + shift == restart) {
            for (int j = 0; j < C; ++j) s[j].Start(t, days[j], term);
            restart = blockFrom + kBlock * ((t + shift - blockFrom) / kBlock + 1);
            return;
        }
        const double in = price(t);
        for (int j = 0; j < C; ++j)
            if (__builtin_expect(!s[j].Step(in, price(t - days[j])), 0)) s[j].Start(t, days[j], term);
    }
    double Sum(int j) const { return s[j].GetSum(); }
};

// What Fill found: the first bar with both lines (-1: none), whether a later bar had no value,
// and the first bar with a line value but no average yet (-1: none) with its value.
struct Start {
    int full = -1;
    bool broken = false;
    int single = -1;
    double value = 0;
};

// The last M values and their sum added afresh at each bar, oldest first, for the usual short
// average (M = 6): no running sum, so nothing to refresh and nothing a bad value leaves behind.
template <int M>
struct Window {
    static_assert(M == 6, "the short average is of 6 values");
    double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;  // oldest first
    int count = 0;
    bool Full() const { return count >= M; }
    __attribute__((always_inline)) void Push(double x) {
        a = b, b = c, c = d, d = e, e = f, f = x;
        if (count < M) ++count;
    }
    __attribute__((always_inline)) double Sum() const { return a + b + c + d + e + f; }
};

// A line and its average over bars first..last of a pass that starts with no earlier value:
// line(t) gives the line of bar t (not finite: no value; called for every bar in order), the
// average takes the last m values (M > 0: m is M, and Window sums them; else a Ring as
// LineMABlocks keeps it). The first m - 1 values have no average; from the bar with the first one
// on, both lines of every bar are written two bars at a time (NaN for a bar without a value).
template <bool Stream, int M, class Line>
void Fill(const Line& lineOf, const KDATA* bars, int m, int first, int last, double* l0, double* l1, Start& r) {
    Line line = lineOf;  // a local whose state the loop can hold in registers
    double slots[M > 0 ? 1 : kMaxTechDays];
    Ring ring(slots, M > 0 ? 1 : m);
    Window<6> window;
    auto push = [&](double x) __attribute__((always_inline)) {
        if (M > 0)
            window.Push(x);
        else
            ring.Push(x);
    };
    auto full = [&]() __attribute__((always_inline)) { return M > 0 ? window.Full() : ring.Full(); };
    auto sum = [&]() __attribute__((always_inline)) { return M > 0 ? window.Sum() : ring.sum; };
    const double none = std::numeric_limits<double>::quiet_NaN();
    bool broken = false;
    int i = first;
    for (; i <= last; ++i) {
        const double x = line(i);
        if (!std::isfinite(x)) continue;
        push(x);
        if (full()) {
            l0[i] = x, l1[i] = sum() / m;
            r.full = i++;
            break;
        }
        if (r.single < 0) r.single = i, r.value = x;
    }
    if (r.full < 0) return;
    // The line of bar t, and the sum of the average's values after it (NaN in both: no value).
    auto both = [&](int t, double* x, double* s) __attribute__((always_inline)) {
        *x = line(t);
        if (__builtin_expect(!std::isfinite(*x), 0)) {
            *x = *s = none;
            broken = true;
            return;
        }
        push(*x);
        *s = sum();
    };
    double x0, a0, x1, a1;
    if (Stream && !PairAligned(l0 + i) && i <= last) {
        both(i, &x0, &a0);
        l0[i] = x0, l1[i] = a0 / m;
        ++i;
    }
#if defined(__SSE2__)
    const __m128d ms = _mm_set1_pd(m);
#endif
    for (; i + 1 <= last; i += 2) {
        if (bars) __builtin_prefetch(bars + i + 16);
        both(i, &x0, &a0);
        both(i + 1, &x1, &a1);
        PutPair<Stream>(l0 + i, x0, x1);
#if defined(__SSE2__)
        // Both averages in one division, each rounded as on its own.
        const __m128d a = _mm_div_pd(_mm_set_pd(a1, a0), ms);
        if (Stream)
            _mm_stream_pd(l1 + i, a);
        else
            _mm_storeu_pd(l1 + i, a);
#else
        PutPair<Stream>(l1 + i, a0 / m, a1 / m);
#endif
    }
    if (i <= last) {
        both(i, &x0, &a0);
        l0[i] = x0, l1[i] = a0 / m;
    }
    if (Stream) StreamDone();
    r.broken = broken;
}

}  // namespace price_pass

// A line and its average whose cache fill from the series' start runs as one pass.
class CPassLineMA : public CLineMA {
protected:
    using CLineMA::CLineMA;
    // A request that only fills the cache, from a bar no later than `whole` (the first bar that can
    // have a value), none of it cached yet: LineMABlocks' values in one pass (the usual 6-bar
    // average added afresh at each bar, so within rounding of its running sum), makeLine(price, from)
    // giving the line functor (called for bars whole..end in order; from is LineMABlocks' first
    // block start). *any as the range pass returns it. False (nothing done) for any other request.
    template <class MakeLine>
    bool FreshLineMA(int start, int end, double* min, double* max, int* minBar, int* maxBar, int whole, bool* any,
                     MakeLine makeLine, bool columns = false) {
        const int m = MaDays();
        if (min || max || minBar || maxBar || !m_pKData || start < 0 || start <= m_nLastStored || start > whole ||
            m < 1 || m > kMaxTechDays || m - 1 > whole)
            return false;
        end = std::min(end, m_pKData->GetSize() - 1);
        if (whole > end || !OpenLines(2) || m_nCacheStart != 0 || end >= CacheEnd()) return false;
        const int from = std::max(start, m - 1);
        double* const lines[2] = {m_pCache[0], m_pCache[1]};
        const CKData& k = *m_pKData;
        price_pass::Start r;
        // columns: the prices from the series' close column when it is to be had (no records to
        // ask ahead for then).
        const bool column = columns && k.GetPriceMode() != priceOpen && k.GetPriceMode() != priceAverage &&
                            ColumnFor(k, CKData::fieldClose, whole, end);
        const KDATA* const bars = column ? nullptr : k.GetData();
        auto pass = [&](const auto& price) {
            auto line = makeLine(price, from);
            // From a column the lines go through the caches (measured faster than streaming them
            // once the records are not read).
            const bool stream = !column && StreamLines(lines, 2, whole, end - whole + 1);
            if (m == 6)
                stream ? price_pass::Fill<true, 6>(line, bars, m, whole, end, lines[0], lines[1], r)
                       : price_pass::Fill<false, 6>(line, bars, m, whole, end, lines[0], lines[1], r);
            else
                stream ? price_pass::Fill<true, 0>(line, bars, m, whole, end, lines[0], lines[1], r)
                       : price_pass::Fill<false, 0>(line, bars, m, whole, end, lines[0], lines[1], r);
        };
        if (column)
            WithPriceColumn(k, whole, end, pass);
        else
            WithPrices(k, pass);
        // As LineMABlocks keeps it: the first value of a window taken afresh is stored on its own.
        if (r.single >= 0) StoreComputed(r.single, &r.value, 1);
        if (r.full >= 0)
            for (int k = 0; k < 2; ++k) MarkComputedFinite(k, r.full, end, r.broken);
        *any = r.full >= 0;
        return true;
    }
};

class CCV : public CLine1 {
public:
    enum { kDays, kMA, kTrough, kPeak };
    CCV();
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<1> m_now, m_then;
    std::vector<double> m_ring;  // the range pass's sums of the last MA bars
};

class CARBR : public CTechLines {
public:
    enum { kDays, kCrossBuy, kCrossSell, kZoneBuy, kZoneSell };
    CARBR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Lines(int i, double* v);
    WindowSums<4> m_sums;
};

class CCR : public CTechLines {
public:
    enum { kDays, kM1, kM2, kM3, kM4, kLow, kHigh };
    // The averages take their values from at most this many times the largest M bars back.
    static constexpr int kWalkFactor = 4;
    CCR();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Value(int i, double* v);
    bool Lines(int i, double* v);
    bool FreshLines(int first, int last, double* const* lines);
    // Holds the values collected newest first (at most `most` of them) in the ring, oldest first.
    void HoldNewest(const std::vector<std::pair<int, double>>& newest, int most);
    WindowSums<2> m_sums;
    // CR values of the last bars that have one, up to bar m_at: a ring of their bars and values,
    // the next slot to write at m_head.
    std::vector<int> m_bar;
    std::vector<double> m_val;
    std::vector<double> m_partial;  // sums of the newest 1, 2, ... values
    int m_head = 0;
    int m_count = 0;
    int m_at = -1;
};

class COSC : public CPassLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    COSC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sum;
};

class CUOS : public CPassLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays1, kDays2, kDays3, kMA, kBuy, kSell };
    CUOS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sums[3];
};

class CMAOSC : public CPassLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays1, kDays2, kMA, kBuy, kSell };
    CMAOSC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sums[2];
};

class C36BIAS : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kLow, kHigh };
    C36BIAS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
};

class CDPO : public CPassLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CDPO();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sum;
};

class CKST : public CPassLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kMA, kBuy, kSell };
    CKST();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};
