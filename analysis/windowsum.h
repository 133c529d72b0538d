// Running sums for the windowed lines of the indicators (moving averages, sums over n bars).
// A class whose line is a sum or an average over n bars keeps a CWindowSum: its Calculate asks
// At(index, n, term), which steps on from the bar before in O(1); its whole-range walk moves all
// its sums at once with RunWindowSums.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <type_traits>

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
// the relative error grows by at most 4e-15 a bar, so it stays below 2e-11.
// Meant for terms of one sign (prices, volumes, squares); with mixed signs a sum near zero only
// makes it start afresh more often.
// The run shared by the window sums: where it stands and how it moves. Derived gives Step (one
// bar in, one out; false when the sum must be taken afresh) and Taken (the sum taken afresh).
template <typename Derived>
class CWindowRun {
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
        // Through a value made out of line: the sum's address never escapes, so a loop can hold
        // it in registers.
        Self() = Derived::Taken(index, days, term);
        m_bar = index;
        m_days = days;
        m_steps = 0;
        return m_sum;
    }

    // Moves the run to the next bar (GetBar()+1, which must exist) and returns its sum.
    template <typename Term>
    double Next(const Term& term) {
        const int t = m_bar + 1;
        if (++m_steps >= kRefresh || !Self().Step(term(t), term(t - m_days))) return Start(t, m_days, term);
        m_bar = t;
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

protected:
    Derived& Self() { return static_cast<Derived&>(*this); }

    double m_sum = 0;
    int m_bar = -1;
    int m_days = 0;
    int m_steps = 0;
};

class CWindowSum : public CWindowRun<CWindowSum> {
public:
    // Moves the run on to bar `to` (GetBar() <= to), giving the sums of the bars on the way a
    // block at a time: put(from, count, sums, positive) with sums[k] the sum at bar from + k, the
    // same as Next bar after bar, and positive true when every one of them is finite and above 0. A block steps without the per-bar check: one whose sums all stayed
    // above 0, the smallest at least 1/16 of the largest so far and the last not NaN (a NaN
    // stays) failed no check; any other block is stepped again with Next.
    enum { kWalkBlock = 128 };
    template <typename Term, typename Put>
    void Walk(int to, const Term& term, Put&& put) {
        double got[kWalkBlock];
        while (m_bar < to) {
            const int from = m_bar + 1;
            // Next starts afresh at from + (kRefresh - 1 - m_steps): that bar is Next's own.
            const int stop = std::min({to, from + kWalkBlock - 1, from + (int(kRefresh) - 2 - m_steps)});
            if (stop < from) {
                got[0] = Next(term);
                put(from, 1, static_cast<const double*>(got), false);
                continue;
            }
            double s = m_sum, lo = std::numeric_limits<double>::infinity(), hi = m_peak;
            for (int t = from; t <= stop; ++t) {
                s += term(t) - term(t - m_days);
                got[t - from] = s;
                lo = s < lo ? s : lo;
                hi = s > hi ? s : hi;
            }
            const bool held = !std::isnan(s) && lo > 0 && lo >= hi * (1.0 / 16);
            if (__builtin_expect(!held, 0)) {
                for (int t = from; t <= stop; ++t) got[t - from] = Next(term);
            } else {
                m_sum = s;
                m_peak = hi;
                m_floor = hi * (1.0 / 16);
                m_steps += stop - from + 1;
                m_bar = stop;
            }
            put(from, stop - from + 1, static_cast<const double*>(got), held && hi <= DBL_MAX);
        }
    }

    // As Walk for C sums (each with its own days) that stand at the same bar after the same
    // steps, moved on to bar `to` together: each block's terms are read once for all of them, and
    // put(j, from, count, sums, positive) gets sum j's blocks as Walk gives them. Once a block
    // fails the check for some sum (it is then stepped again with Next, as Walk does), each sum
    // goes on with its own Walk. False (nothing moved) when the sums do not stand alike.
    template <int C, typename Term, typename Put>
    static bool WalkTogether(CWindowSum* w, int to, const Term& term, Put&& put) {
        for (int j = 1; j < C; ++j)
            if (w[j].m_bar != w[0].m_bar || w[j].m_steps != w[0].m_steps) return false;
        double got[C][kWalkBlock];
        bool apart = false;
        while (!apart && w[0].m_bar < to) {
            const int from = w[0].m_bar + 1;
            const int stop = std::min({to, from + kWalkBlock - 1, from + (int(kRefresh) - 2 - w[0].m_steps)});
            if (stop < from) {
                apart = true;  // Next's own refresh: each Walk takes it
                break;
            }
            double s[C], lo[C], hi[C];
            int days[C];
            for (int j = 0; j < C; ++j)
                s[j] = w[j].m_sum, lo[j] = std::numeric_limits<double>::infinity(), hi[j] = w[j].m_peak,
                days[j] = w[j].m_days;
            for (int t = from; t <= stop; ++t) {
                const double in = term(t);
                for (int j = 0; j < C; ++j) {
                    s[j] += in - term(t - days[j]);
                    got[j][t - from] = s[j];
                    lo[j] = s[j] < lo[j] ? s[j] : lo[j];
                    hi[j] = s[j] > hi[j] ? s[j] : hi[j];
                }
            }
            for (int j = 0; j < C; ++j) {
                const bool held = !std::isnan(s[j]) && lo[j] > 0 && lo[j] >= hi[j] * (1.0 / 16);
                if (__builtin_expect(!held, 0)) {
                    for (int t = from; t <= stop; ++t) got[j][t - from] = w[j].Next(term);
                    apart = true;
                } else {
                    w[j].m_sum = s[j];
                    w[j].m_peak = hi[j];
                    w[j].m_floor = hi[j] * (1.0 / 16);
                    w[j].m_steps += stop - from + 1;
                    w[j].m_bar = stop;
                }
                put(j, from, stop - from + 1, static_cast<const double*>(got[j]), held && hi[j] <= DBL_MAX);
            }
        }
        if (apart)
            for (int j = 0; j < C; ++j)
                w[j].Walk(to, term, [&put, j](int from, int count, const double* sums, bool positive) {
                    put(j, from, count, sums, positive);
                });
        return true;
    }

    // The step alone, for loops that move several sums over the same bars and keep the bar
    // themselves (RunWindowSums): in enters, out leaves. False when the sum must be taken afresh
    // at this bar (Start); such a loop also starts afresh at least every kRefresh bars.
    bool Step(double in, double out) {
        m_sum += in - out;
        const double a = std::fabs(m_sum);
        if (a > m_peak) {
            m_peak = a;
            m_floor = a * (1.0 / 16);
            return true;
        }
        return a >= m_floor;  // false also for a NaN from a broken bar, until it has left
    }

private:
    friend class CWindowRun<CWindowSum>;
    template <typename Term>
    __attribute__((noinline)) static CWindowSum Taken(int index, int days, const Term& term) {
        CWindowSum w;
        double s = 0, c = 0;
        for (int t = index - days + 1; t <= index; ++t) CompensatedAdd(s, c, term(t));
        w.m_sum = s + c;
        w.m_peak = std::fabs(w.m_sum);
        w.m_floor = w.m_peak * (1.0 / 16);
        return w;
    }

    double m_peak = 0;
    double m_floor = 0;
};

// As CWindowSum, for terms of both signs: beside the sum runs the sum of the terms' magnitudes,
// and that is what the refresh watches (a sum that cancels to near zero carries no more rounding
// than the same window added afresh; a large term that left, or a NaN inside, shrinks the
// magnitudes).
class CSignedWindowSum : public CWindowRun<CSignedWindowSum> {
public:
    bool Step(double in, double out) {
        m_sum += in - out;
        m_mass += std::fabs(in) - std::fabs(out);
        if (m_mass > m_peak) {
            m_peak = m_mass;
            m_floor = m_mass * (1.0 / 16);
            return true;
        }
        return m_mass >= m_floor;
    }

private:
    friend class CWindowRun<CSignedWindowSum>;
    template <typename Term>
    __attribute__((noinline)) static CSignedWindowSum Taken(int index, int days, const Term& term) {
        CSignedWindowSum w;
        double s = 0, c = 0, a = 0;
        for (int t = index - days + 1; t <= index; ++t) {
            const double x = term(t);
            CompensatedAdd(s, c, x);
            a += std::fabs(x);
        }
        w.m_sum = s + c;
        w.m_mass = w.m_peak = a;
        w.m_floor = a * (1.0 / 16);
        return w;
    }

    double m_mass = 0;
    double m_peak = 0;
    double m_floor = 0;
};

// Moves C window sums of one term (days[j] bars each) over bars first..last in one pass. For
// every bar i it calls emit(i, j, sum) for each j whose window is full (i >= days[j]-1), in
// order of j, then done(i). The sums are those of CWindowSum: taken afresh when a window begins,
// at the first bar where all have begun and every kRefresh bars after it, and when one shrinks.
// Sum is CWindowSum, or CSignedWindowSum for terms of both signs.
template <int C, typename Term, typename Emit, typename Done, typename Sum = CWindowSum>
void RunWindowSums(const Term& term, const int* days, int first, int last, Emit&& emit, Done&& done) {
    Sum sums[C];
    int begin[C];
    int common = first;
    for (int j = 0; j < C; ++j) {
        begin[j] = std::max(first, days[j] - 1);
        common = std::max(common, begin[j]);
    }
    int i = first;
    // Bars where some windows have not begun yet: each sum starts with its window.
    for (; i < common && i <= last; ++i) {
        for (int j = 0; j < C; ++j) {
            if (i < begin[j]) continue;
            emit(i, j, i == begin[j] ? sums[j].Start(i, days[j], term) : sums[j].Next(term));
        }
        done(i);
    }
    while (i <= last) {
        for (int j = 0; j < C; ++j) emit(i, j, sums[j].Start(i, days[j], term));
        done(i);
        const int stop = std::min(last, i + int(Sum::kRefresh) - 1);
        for (++i; i <= stop; ++i) {
            const double in = term(i);
#pragma GCC unroll 8
            for (int j = 0; j < C; ++j) {
                if (__builtin_expect(!sums[j].Step(in, term(i - days[j])), 0)) sums[j].Start(i, days[j], term);
                emit(i, j, sums[j].GetSum());
            }
            done(i);
        }
    }
}

// Calls f(std::integral_constant<int, C>()) for C = count when count is 1..5; false otherwise.
template <typename F>
bool WithSumCount(int count, F&& f) {
    switch (count) {
    case 1: f(std::integral_constant<int, 1>()); return true;
    case 2: f(std::integral_constant<int, 2>()); return true;
    case 3: f(std::integral_constant<int, 3>()); return true;
    case 4: f(std::integral_constant<int, 4>()); return true;
    case 5: f(std::integral_constant<int, 5>()); return true;
    }
    return false;
}
