// Checking an indicator class against a plain reference loop written from its formulas: on
// generated series of several lengths, a flat series, zero volumes and suspended days, through a
// fresh object per bar, the chart's bar-by-bar continued path, a cache filled in one pass and an
// object asked in scrambled order.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/techs_more.h"
#include "series.h"

namespace ref {

constexpr double kSentinel = 12345.5;

inline double P(const CKData& k, int i) { return k[i].close; }

// Suspended days: the previous close carried, nothing traded.
inline KDATA Suspended(const KDATA& before) {
    KDATA b = MakeBar(before.close, before.close, before.close, before.close, 0, 0);
    b.date = before.date + 1;
    return b;
}

struct Series {
    std::string name;
    CKData k;
};

inline std::vector<Series> TestSeries() {
    std::vector<Series> out;
    for (int n : {0, 1, 5, 19, 30, 150, 400}) {
        out.push_back({"walk " + std::to_string(n), CKData()});
        MakeWalk(out.back().k, n, 11 + n);
    }
    out.push_back({"flat", CKData()});
    for (int i = 0; i < 160; ++i) {
        KDATA b = MakeBar(10, 10, 10, 10, 1000, 10000);
        b.date = 20000101 + i;
        out.back().k.Add(b);
    }
    out.push_back({"zero volumes", CKData()});
    MakeWalk(out.back().k, 160, 5);
    for (int i = 0; i < 160; ++i) out.back().k[i].volume = 0, out.back().k[i].amount = 0;
    // Suspended stretches (one long, a few single days) inside a walk.
    out.push_back({"suspended", CKData()});
    CKData walk;
    MakeWalk(walk, 300, 9);
    for (int i = 0; i < 300; ++i) {
        const bool off = (i >= 100 && i < 140) || i == 30 || i == 31 || i == 200 || i == 250;
        out.back().k.Add(off && i > 0 ? Suspended(out.back().k[i - 1]) : walk[i]);
        out.back().k[i].date = 20000101 + i;
    }
    return out;
}

using Ref = std::function<bool(const CKData&, int, double*)>;
// The class's Calculate of its line count; v holds the previous bar's lines when useLast is set.
using Calc = std::function<bool(CTechnique&, double*, int, bool)>;

struct Case {
    std::string name;
    int lines;
    std::function<std::unique_ptr<CTechnique>()> make;
    Calc calc;
    Ref full;      // a computation from scratch
    Ref run;       // a computation continued bar after bar (null: the same as full)
    double tolerance;
    // For the continued paths, where a class may restart a warm-up after bars without a value.
    double runTolerance = -1;
};

template <class T>
std::function<std::unique_ptr<CTechnique>()> Make(std::function<void(T&)> setup = nullptr) {
    return [setup]() {
        std::unique_ptr<T> t(new T);
        if (setup) setup(*t);
        return std::unique_ptr<CTechnique>(std::move(t));
    };
}

inline Calc Lines(int n) {
    return [n](CTechnique& t, double* v, int i, bool last) {
        switch (n) {
        case 1: return t.Calculate(&v[0], i, last);
        case 2: return t.Calculate(&v[0], &v[1], i, last);
        case 3: return t.Calculate(&v[0], &v[1], &v[2], i, last);
        case 4: return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, last);
        default: return t.Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], i, last);
        }
    };
}

inline Calc Days(int days) {
    return [days](CTechnique& t, double* v, int i, bool last) { return t.Calculate(&v[0], i, days, last); };
}

inline void Expect(const Case& c, const char* path, const std::string& series, int i, bool got, bool ok,
                   const double* v, const double* want) {
    ASSERT_EQ(got, ok) << c.name << " " << path << " " << series << " bar " << i;
    const bool continued = path[0] == 'c';
    const double tolerance = continued && c.runTolerance > 0 ? c.runTolerance : c.tolerance;
    for (int l = 0; l < c.lines; ++l) {
        if (ok)
            ASSERT_NEAR(v[l], want[l], tolerance * std::max(1.0, std::fabs(want[l])))
                << c.name << " " << path << " line " << l + 1 << " " << series << " bar " << i;
        else
            ASSERT_EQ(v[l], kSentinel) << c.name << " " << path << " " << series << " bar " << i;
    }
}

inline void Check(const Case& c) {
    const Ref& run = c.run ? c.run : c.full;
    for (Series& s : TestSeries()) {
        CKData& k = s.k;
        const int n = k.GetSize();
        // A fresh object for each bar (and one past the end).
        for (int i = 0; i <= n; ++i) {
            double v[5], want[5];
            std::fill(v, v + 5, kSentinel);
            const bool ok = i < n && c.full(k, i, want);
            std::unique_ptr<CTechnique> t = c.make();
            t->SetKData(&k);
            Expect(c, "fresh", s.name, i, c.calc(*t, v, i, false), ok, v, want);
            if (::testing::Test::HasFatalFailure()) return;
        }
        // Bar by bar as a chart draws: useLast once a bar succeeded, the outputs carrying over.
        {
            std::unique_ptr<CTechnique> t = c.make();
            t->SetKData(&k);
            double v[5];
            std::fill(v, v + 5, kSentinel);
            bool last = false;
            for (int i = 0; i < n; ++i) {
                double want[5], before[5];
                std::copy(v, v + 5, before);
                const bool ok = run(k, i, want);
                const bool got = c.calc(*t, v, i, last);
                if (!got) {
                    for (int l = 0; l < c.lines; ++l) ASSERT_EQ(v[l], before[l]) << c.name << " chart " << s.name << " " << i;
                    std::fill(v, v + 5, kSentinel);
                    Expect(c, "chart", s.name, i, got, ok, v, want);
                    std::copy(before, before + 5, v);
                } else {
                    Expect(c, "chart", s.name, i, got, ok, v, want);
                }
                if (::testing::Test::HasFatalFailure()) return;
                last = last || got;
            }
        }
        // The whole series cached in one pass, then read back.
        {
            std::unique_ptr<CTechnique> t = c.make();
            t->SetKData(&k);
            if (n > 0) t->PrepareCache(0, -1, true);
            for (int i = 0; i < n; ++i) {
                double v[5], want[5];
                std::fill(v, v + 5, kSentinel);
                const bool ok = run(k, i, want);
                Expect(c, "cached", s.name, i, c.calc(*t, v, i, false), ok, v, want);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
        // Scrambled order on one object: running state never leaks between bars.
        {
            std::unique_ptr<CTechnique> t = c.make();
            t->SetKData(&k);
            std::vector<int> order;
            for (int i = 0; i < n; ++i) order.push_back(i);
            for (int i = 0; i + 1 < n; ++i) std::swap(order[size_t(i)], order[size_t((i * 7919 + 13) % n)]);
            for (int i : order) {
                double v[5], want[5];
                std::fill(v, v + 5, kSentinel);
                const bool ok = c.full(k, i, want);
                Expect(c, "scrambled", s.name, i, c.calc(*t, v, i, false), ok, v, want);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

// Simple average of line 0 of a reference over the m bars with a value up to bar i (bars without
// one skipped), as the second line of the line-and-average classes; the bar itself must have one.
inline bool WithAverage(const Ref& line, const CKData& k, int i, int m, double* out) {
    if (m < 1 || i + 1 < m || !line(k, i, &out[0])) return false;
    double sum = 0;
    int got = 0;
    for (int t = i; t >= 0 && got < m; --t) {
        double x;
        if (!line(k, t, &x)) continue;
        sum += x;
        ++got;
    }
    if (got < m) return false;
    out[1] = sum / m;
    return true;
}

inline Ref Averaged(Ref line, int m) {
    return [line, m](const CKData& k, int i, double* o) { return WithAverage(line, k, i, m, o); };
}

inline double Sma(const CKData& k, int i, int n) {
    double s = 0;
    for (int t = i - n + 1; t <= i; ++t) s += P(k, t);
    return s / n;
}

}  // namespace ref
