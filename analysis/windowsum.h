// Running sums for the windowed lines of the indicators (moving averages, sums over n bars).
#pragma once

#include <cmath>

// Adds x to the compensated sum (s, c) (Neumaier): s + c is the sum, with the rounding of every
// addition kept in c.
inline void CompensatedAdd(double& s, double& c, double x) {
    const double t = s + x;
    c += std::fabs(s) >= std::fabs(x) ? (s - t) + x : (x - t) + s;
    s = t;
}

// The sum of one term per bar over the `days` bars ending at a bar, carried from bar to bar.
// A step adds the new bar's term and takes out the one that left the window; with
// single-precision bar fields as terms that running sum is exact in practice. The sum is taken
// afresh (compensated) when the run starts, every kRefresh steps, and whenever it has shrunk
// below 1/16 of the largest value it held since: the terms that left were then large against
// what remains (one absurd tick), and the rounding they brought leaves with them. In between,
// the relative error stays below about 2e-11.
// Meant for terms of one sign (prices, volumes, squares); with mixed signs a sum near zero only
// makes it start afresh more often.
class CWindowSum {
public:
    enum { kRefresh = 4096 };

    void Reset() { m_bar = -1; }
    int GetBar() const { return m_bar; }
    int GetDays() const { return m_days; }
    double GetSum() const { return m_sum; }

    // Starts at bar index (index >= days-1, days >= 1) with the sum taken afresh; returns it.
    // term(t) gives the term of bar t.
    template <typename Term>
    double Start(int index, int days, const Term& term) {
        double s = 0, c = 0;
        for (int t = index - days + 1; t <= index; ++t) CompensatedAdd(s, c, term(t));
        m_sum = s + c;
        m_peak = std::fabs(m_sum);
        m_floor = m_peak * (1.0 / 16);
        m_bar = index;
        m_days = days;
        m_steps = 0;
        return m_sum;
    }

    // Moves the run to the next bar (GetBar()+1, which must exist) and returns its sum.
    template <typename Term>
    double Next(const Term& term) {
        const int t = m_bar + 1;
        if (++m_steps >= kRefresh) return Start(t, m_days, term);
        m_sum += term(t) - term(t - m_days);
        m_bar = t;
        const double a = std::fabs(m_sum);
        if (a > m_peak) {
            m_peak = a;
            m_floor = a * (1.0 / 16);
        } else if (!(a >= m_floor)) {  // also a NaN from a broken bar: start afresh until it left
            return Start(t, m_days, term);
        }
        return m_sum;
    }

    // The sum at index: continued when the run stands at index-1 with the same days (or read when
    // it stands at index), else started afresh.
    template <typename Term>
    double At(int index, int days, const Term& term) {
        if (m_bar >= 0 && m_days == days) {
            if (m_bar == index) return m_sum;
            if (m_bar == index - 1) return Next(term);
        }
        return Start(index, days, term);
    }

private:
    double m_sum = 0;
    double m_peak = 0;
    double m_floor = 0;
    int m_bar = -1;
    int m_days = 0;
    int m_steps = 0;
};
