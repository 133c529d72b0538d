// Volatility, sentiment and price oscillators: CV, ARBR, CR, OSC, UOS, MAOSC, 36BIAS, DPO and KST.
// Each class's parameters and computation are in techs_price.cpp.
#pragma once

#include <cstdint>
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

class COSC : public CLineMA {
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

class CUOS : public CLineMA {
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

class CMAOSC : public CLineMA {
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

class CDPO : public CLineMA {
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

class CKST : public CLineMA {
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
