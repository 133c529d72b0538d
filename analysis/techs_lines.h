// Shared machinery of the indicator classes in techs_more.h: one-pass ranges that fill the cache,
// running window sums, cumulative runs, and a line with its simple moving average.
#pragma once

#include <cmath>
#include <initializer_list>
#include <vector>

#include "analysis/techparams.h"

// Smallest k >= 1 for which every factor raised to k is below 0.001.
int DecayBars(std::initializer_list<double> factors);
// First bar of a warm-up for bar index: moved back 4 bars at a time while more than 3 bars remain
// before it, then 1 at a time, until every factor raised to the distance is below 0.001; never
// before bar 0.
int DecayStartBy4(int index, std::initializer_list<double> factors);
// Range widening of the MACD family: 2 % each way, with -0.01 and 0.01 near 0 and a span of at
// least 0.03.
void WidenMACD(double* lo, double* hi);

// Sums of K per-bar terms over the len bars ending at a bar. Moving on by one bar adds the new
// term and takes off the old one; this is used only for terms that are exact in double (float
// fields, their differences, quarters and counts), where it gives the same sums as adding the
// window afresh. Every 1024 moves the window is added afresh all the same.
template <int K>
struct WindowSums {
    unsigned epoch = 0;
    int at = -1;
    int len = 0;
    int moves = 0;
    double s[K] = {};

    // term(t, sign, s) adds sign x each term of bar t to s[0..K-1].
    template <class Term>
    const double* Get(unsigned now, int i, int n, Term term) {
        if (at == i - 1 && epoch == now && len == n && at >= 0 && moves < 1024) {
            // The usual case in a pass: one bar on.
            term(i - n, -1.0, s);
            term(i, 1.0, s);
            ++moves;
            at = i;
            return s;
        }
        if (at == i && epoch == now && len == n) return s;
        for (int k = 0; k < K; ++k) s[k] = 0;
        for (int j = i - n + 1; j <= i; ++j) term(j, 1.0, s);
        moves = 0;
        epoch = now;
        at = i;
        len = n;
        return s;
    }
};

class CTechLines : public CParamTech {
public:
    void Clear() override;

protected:
    using CParamTech::CParamTech;

    // The per-bar Calculate of an n-line class: the cached lines, or lines(index, v) computed and
    // stored. Outputs may be null; nothing is written on failure.
    template <class Lines>
    bool CalcBar(int index, int n, double* const* out, Lines lines) {
        if (!CheckIndex(index)) return false;
        EnsureParameters();
        double v[kLines];
        if (!LoadComputed(index, v, n)) {
            if (!lines(index, v)) return false;
            StoreComputed(index, v, n);
        }
        for (int k = 0; k < n; ++k)
            if (out[k]) *out[k] = v[k];
        return true;
    }

    // One pass over start..end: each bar's n lines from the cache, or computed by lines(i, v) in
    // increasing bar order (so that running state carries from bar to bar) and stored. Range over
    // all lines, widened as the base does; with n = 0 nothing is taken into the range.
    template <class Lines>
    bool RangePass(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar, Lines lines,
                   int rangeFrom = 0, int rangeTo = -1) {
        EnsureParameters();
        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        bool any = false;
        if (rangeTo < 0) rangeTo = n - 1;
        // Filling the cache alone (PrepareCache) takes no range.
        if (!min && !max && !minBar && !maxBar) rangeTo = rangeFrom - 1;
        if (m_pKData && start >= 0) {
            if (end >= m_pKData->GetSize()) end = m_pKData->GetSize() - 1;
            const int known = m_nLastStored;
            double v[kLines];
            // The cache's arrays, once every line has one: stores are then plain writes.
            double* value[kLines] = {};
            unsigned char* valid[kLines] = {};
            bool direct = false;
            for (int i = start; i <= end; ++i) {
                if (i > known || !LoadComputed(i, v, n)) {
                    if (!lines(i, v)) continue;
                    const int at = i - m_nCacheStart;
                    if (direct && at >= 0 && at < m_nCacheLength) {
                        for (int k = 0; k < n; ++k) value[k][at] = v[k], valid[k][at] = 1;
                        if (i > m_nLastStored) m_nLastStored = i;
                    } else {
                        StoreComputed(i, v, n);
                        direct = m_nCacheLength > 0;
                        for (int k = 0; k < n; ++k) {
                            value[k] = m_pCache[k], valid[k] = m_pValid[k];
                            direct = direct && value[k];
                        }
                    }
                }
                any = true;
                for (int k = rangeFrom; k <= rangeTo; ++k) {
                    if (v[k] < lo || loBar < 0) lo = v[k], loBar = i;
                    if (v[k] > hi || hiBar < 0) hi = v[k], hiBar = i;
                }
            }
        }
        WidenRange(&lo, &hi);
        if (min) *min = lo;
        if (max) *max = hi;
        if (minBar) *minBar = loBar;
        if (maxBar) *maxBar = hiBar;
        return any;
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
    struct RunState {
        unsigned epoch = 0;
        int at = -1;
        double v[kLines] = {};
    };
    template <class Seed, class Step>
    bool RunCumulative(RunState& st, int index, int n, double* v, Seed seed, Step step) {
        int from;
        if (st.epoch == m_epoch && st.at >= 0 && st.at < index) {
            for (int k = 0; k < n; ++k) v[k] = st.v[k];
            from = st.at + 1;
        } else {
            int j = index - 1;
            if (j > m_nLastStored) j = m_nLastStored;
            while (j >= 0 && !LoadComputed(j, v, n)) --j;
            if (j < 0) {
                seed(v);
                StoreComputed(0, v, n);
                from = 1;
            } else {
                from = j + 1;
            }
        }
        for (int t = from; t <= index; ++t) {
            step(t, v);
            if (t < index) StoreComputed(t, v, n);
        }
        st.epoch = m_epoch;
        st.at = index;
        for (int k = 0; k < n; ++k) st.v[k] = v[k];
        return true;
    }

    // Stores one cache line (0-based) of a bar, for classes whose lines are not stored together.
    void StoreLine(int index, int line, double x) {
        const int at = index - m_nCacheStart;
        if (m_nCacheLength <= 0 || at < 0 || at >= m_nCacheLength || !m_pCache[line]) {
            const double* in[kLines] = {nullptr, nullptr, nullptr, nullptr, nullptr};
            in[line] = &x;
            StoreToCache(index, in[0], in[1], in[2], in[3], in[4]);
            return;
        }
        m_pCache[line][at] = x;
        m_pValid[line][at] = 1;
        if (index > m_nLastStored) m_nLastStored = index;
    }

    // Window sums with this object's clearing: a Clear makes every state start afresh.
    template <int K, class Term>
    const double* Sums(WindowSums<K>& w, int i, int n, Term term) {
        return w.Get(m_epoch, i, n, term);
    }

    unsigned m_epoch = 1;
};

// GetMinMaxInfo of a one-line class, or of a line-and-average class, with the class's own Line
// called directly so that it inlines into the pass.
#define VELMORA_LINE_RANGE(Class)                                                                      \
    bool Class::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) { \
        return RangePass(1, start, end, min, max, minBar, maxBar,                                     \
                         [this](int i, double* v) { return Class::Line(i, v); });                     \
    }
#define VELMORA_LINE_MA_RANGE(Class)                                                                   \
    bool Class::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) { \
        return RangePass(2, start, end, min, max, minBar, maxBar, [this](int i, double* v) {          \
            return BothWith(i, v, Class::MaDays(), [this](int t, double* x) { return Class::Line(t, x); }); \
        });                                                                                           \
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
        if (!(m_maEpoch == m_epoch && m_maAt == i - 1 && m_maAt >= 0 && int(m_ma.size()) == m))
            return BothAfresh(i, v, m);
        m_maAt = i;
        if (!line(i, &v[0])) return false;  // no value here: the window stays, now at this bar
        if (m_maCount < m) {
            m_ma[size_t(m_maCount++)] = v[0];  // not full yet: the values start at 0
        } else {
            m_ma[size_t(m_maPos)] = v[0];
            if (++m_maPos == m) m_maPos = 0;
        }
        return Average(v, m);
    }
    bool BothAfresh(int i, double* v, int m);
    bool Average(double* v, int m) const;
    // Line 1 from the cache, else computed and stored.
    bool LineAt(int t, double* v);
    // Cross signal of the two lines at the levels, in the low or high zone of the line's own
    // range over 120 bars: the pattern most of these classes share.
    int ZoneCrossSignal(int index, int minBars, int window, double f1, double f2, int buy, int sell, int* reason);

private:
    // The last MaDays() values up to bar m_maAt, oldest first from m_maPos.
    std::vector<double> m_ma;
    int m_maAt = -1;
    int m_maCount = 0;
    int m_maPos = 0;
    unsigned m_maEpoch = 0;
};
