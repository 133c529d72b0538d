// Bars appended after a whole-series computation: each new bar, asked as the chart asks the last
// bar, continues the cumulative and recursive lines from the state of the bar before and gives
// what a fresh computation over the whole grown series gives; a series changed at the kept bar,
// re-priced or replaced starts again instead of continuing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/runmark.h"
#include "analysis/techs.h"
#include "analysis/techs_momentum.h"
#include "analysis/techs_volume.h"
#include "series.h"

namespace {

constexpr double kFailed = -7.5e300;

bool Close(double a, double b) {
    if (a == b) return true;
    if (a == kFailed || b == kFailed) return false;
    return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

using Lines = std::function<bool(CTechnique&, int, double*)>;

struct Case {
    const char* name;
    std::function<std::unique_ptr<CTechnique>()> make;
    int lines;
    Lines calc;  // the lines of bar i, asked on their own
};

template <typename T>
std::function<std::unique_ptr<CTechnique>()> Make(std::function<void(T&)> setup = nullptr) {
    return [setup]() {
        auto t = std::make_unique<T>();
        if (setup) setup(*t);
        return std::unique_ptr<CTechnique>(std::move(t));
    };
}

Lines One() {
    return [](CTechnique& t, int i, double* v) { return t.Calculate(&v[0], i, false); };
}
Lines Two() {
    return [](CTechnique& t, int i, double* v) { return t.Calculate(&v[0], &v[1], i, false); };
}
Lines Four() {
    return [](CTechnique& t, int i, double* v) { return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, false); };
}

const Case kCases[] = {
    {"OBV", Make<COBV>(), 1, One()},
    {"NVI", Make<CNVI>(), 2, Two()},
    {"PVI", Make<CPVI>(), 2, Two()},
    {"SAR", Make<CSAR>(), 1, One()},
    {"MACD", Make<CMACD>(), 4, Four()},
    {"VMACD", Make<CVMACD>(), 4, Four()},
    {"EMV", Make<CEMV>(), 2, Two()},
    {"EMA",
     Make<CMA>([](CMA& t) { t.m_ints[CMA::kType] = CMA::typeExponential; }), 3,
     [](CTechnique& t, int i, double* v) {
         bool ok = true;
         const int days[3] = {5, 10, 20};
         for (int d = 0; d < 3; ++d) ok &= t.Calculate(&v[d], i, days[d], false);
         return ok;
     }},
};

// The lines of bar i recorded value by value (kFailed for a bar without them).
void Record(CTechnique& t, const Case& c, int i, std::vector<double>* out) {
    std::vector<double> v(size_t(c.lines), 0);
    const bool ok = c.calc(t, i, v.data());
    for (double x : v) out->push_back(ok ? x : kFailed);
}

// The fresh object's lines over the whole series, the range pass first (as a pane computes it).
std::vector<double> Fresh(const Case& c, CKData& all, int from) {
    auto fresh = c.make();
    fresh->SetKData(&all);
    fresh->PrepareCache(0, -1, false);
    std::vector<double> want;
    for (int i = from; i < all.GetSize(); ++i) Record(*fresh, c, i, &want);
    return want;
}

void ExpectSame(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    int differ = 0, first = -1;
    for (size_t k = 0; k < want.size(); ++k)
        if (!Close(got[k], want[k])) {
            if (first < 0) first = int(k);
            ++differ;
        }
    EXPECT_EQ(differ, 0) << "first at " << first << ": " << got[size_t(std::max(first, 0))] << " against "
                         << want[size_t(std::max(first, 0))];
}

TEST(Appended, EachNewBarContinuesAsAFreshComputation) {
    const int kOld = 400, kAdded = 150;
    CKData all;
    MakeWalk(all, kOld + kAdded, 33);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CKData grown;
        for (int i = 0; i < kOld; ++i) grown.Add(all[i]);
        auto old = c.make();
        old->SetKData(&grown);
        ASSERT_TRUE(old->PrepareCache(0, -1, false));
        std::vector<double> got;
        for (int i = kOld; i < kOld + kAdded; ++i) {
            grown.Add(all[i]);
            Record(*old, c, i, &got);  // the new last bar
        }
        ExpectSame(got, Fresh(c, all, kOld));
        // A range pass over the grown series, then more bars: the pass's last bar is kept too.
        std::vector<double> again;
        for (int i = kOld; i < kOld + kAdded; ++i) Record(*old, c, i, &again);
        ExpectSame(again, Fresh(c, all, kOld));
    }
}

TEST(Appended, ARangePassThenNewBars) {
    const int kOld = 300, kMid = 380, kAdded = 120;
    CKData all;
    MakeWalk(all, kOld + kAdded, 9);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CKData grown;
        for (int i = 0; i < kOld; ++i) grown.Add(all[i]);
        auto old = c.make();
        old->SetKData(&grown);
        ASSERT_TRUE(old->PrepareCache(0, -1, false));
        for (int i = kOld; i < kMid; ++i) grown.Add(all[i]);
        double mn, mx;
        old->GetMinMaxInfo(0, kMid - 1, &mn, &mx);  // a pane over the grown series
        std::vector<double> got;
        for (int i = kMid; i < kOld + kAdded; ++i) {
            grown.Add(all[i]);
            Record(*old, c, i, &got);
        }
        ExpectSame(got, Fresh(c, all, kMid));
    }
}

// The kept bar changed in place (a live bar updated), or the series re-priced: the new bars do not
// continue the old state, and agree with a fresh computation over the changed series.
TEST(Appended, AChangedKeptBarStartsAgain) {
    const int kOld = 300, kAdded = 40;
    for (int change = 0; change < 2; ++change)
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(c.name) + (change ? " re-priced" : " bar changed"));
            CKData all;
            MakeWalk(all, kOld + kAdded, 17);
            CKData grown;
            for (int i = 0; i < kOld; ++i) grown.Add(all[i]);
            auto old = c.make();
            old->SetKData(&grown);
            ASSERT_TRUE(old->PrepareCache(0, -1, false));
            if (change == 0) {
                // The last bar replaced with other figures: the caller clears, as after any change
                // within the cached bars, and the object computes again.
                KDATA b = grown[kOld - 1];
                b.close *= 1.01f, b.high = std::max(b.high, b.close), b.volume += 500;
                grown.ReplaceAt(kOld - 1, b);
                all.ReplaceAt(kOld - 1, b);
                old->Clear();
            } else {
                grown.SetPriceMode(priceAverage);
                all.SetPriceMode(priceAverage);
                old->Clear();
            }
            std::vector<double> got;
            for (int i = kOld; i < kOld + kAdded; ++i) {
                grown.Add(all[i]);
                Record(*old, c, i, &got);
            }
            auto fresh = c.make();
            fresh->SetKData(&all);
            std::vector<double> want;
            for (int i = kOld; i < kOld + kAdded; ++i) Record(*fresh, c, i, &want);
            ExpectSame(got, want);
        }
}

}  // namespace

namespace {

// What a kept state checks before it continues.
TEST(Appended, TheMarkOfAKeptBar) {
    CKData k, other;
    MakeWalk(k, 50, 3);
    MakeWalk(other, 50, 3);
    RunMark mark;
    EXPECT_FALSE(mark.Holds(k));
    mark.Take(k, 49);
    EXPECT_TRUE(mark.Holds(k));
    EXPECT_FALSE(mark.Holds(other));  // another series, even with the same bars
    k.Add(k[49]);
    EXPECT_TRUE(mark.Holds(k));  // appended
    KDATA b = k[49];
    b.volume += 1;
    k.ReplaceAt(49, b);
    EXPECT_FALSE(mark.Holds(k));  // the kept bar changed
    mark.Take(k, 49);
    k.SetPriceMode(priceOpen);
    EXPECT_FALSE(mark.Holds(k));  // re-priced
    mark.Take(k, 49);
    k.RemoveAt(10, 45);
    EXPECT_FALSE(mark.Holds(k));  // shorter than the kept bar
    mark.Reset();
    EXPECT_FALSE(mark.Holds(k));
}

}  // namespace

// DMI and KDJ keep their own running state past the cache; asked on its own, with useLast, or
// after a range over the grown series, a new bar gives what a fresh computation gives.
namespace {

using Lines4 = std::function<bool(CTechnique&, int, bool, double*)>;

struct Recursive {
    const char* name;
    std::function<std::unique_ptr<CTechnique>()> make;
    int lines;
    Lines4 calc;
};

std::vector<Recursive> Cases() {
    return {
        {"DMI", [] { return std::unique_ptr<CTechnique>(new CDMI); }, 4,
         [](CTechnique& t, int i, bool last, double* v) { return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, last); }},
        {"KDJ", [] { return std::unique_ptr<CTechnique>(new CKDJ); }, 3,
         [](CTechnique& t, int i, bool last, double* v) { return t.Calculate(&v[0], &v[1], &v[2], i, last); }},
    };
}

// Computed over kOld bars, then kAdded bars appended; each new bar asked in order (useLast as the
// chart asks, or on its own), and the range over the grown series, against a fresh object.
TEST(Appended, RecursiveLinesGoOnFromTheLastState) {
    const int kOld = 300, kAdded = 120;
    CKData all;
    MakeWalk(all, kOld + kAdded, 33);
    for (const Recursive& c : Cases()) {
        for (int mode = 0; mode < 3; ++mode) {
            // KDJ goes on from the caller's K and D (the chart's walk); asked on its own, a bar
            // past the cache takes its bounded warm-up.
            if (c.lines == 3 && mode != 1) continue;
            SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(mode));
            CKData grown;
            for (int i = 0; i < kOld; ++i) grown.Add(all[i]);
            auto old = c.make();
            old->SetKData(&grown);
            ASSERT_TRUE(old->PrepareCache(0, -1, false));
            auto fresh = c.make();
            fresh->SetKData(&all);
            ASSERT_TRUE(fresh->PrepareCache(0, -1, false));
            for (int i = kOld; i < kOld + kAdded; ++i) grown.Add(all[i]);
            if (mode == 2) {
                // The range over the grown series first: it fills the new bars in one pass.
                double lo, hi, flo, fhi;
                ASSERT_TRUE(old->GetMinMaxInfo(0, grown.GetSize() - 1, &lo, &hi));
                ASSERT_TRUE(fresh->GetMinMaxInfo(0, all.GetSize() - 1, &flo, &fhi));
                EXPECT_EQ(lo, flo);
                EXPECT_EQ(hi, fhi);
            }
            double v[5] = {0, 0, 0, 0, 0};
            bool last = old->GetCached(1, kOld - 1, &v[0]);
            for (int k = 0; k < c.lines; ++k) old->GetCached(k + 1, kOld - 1, &v[k]);
            for (int i = kOld; i < kOld + kAdded; ++i) {
                double w[5];
                const bool got = c.calc(*old, i, mode == 1 && last, v);
                ASSERT_EQ(got, c.calc(*fresh, i, false, w)) << i;
                last = got;
                if (!got) continue;
                for (int k = 0; k < c.lines; ++k) ASSERT_NEAR(v[k], w[k], 1e-12 * std::max(1.0, std::fabs(w[k]))) << i;
            }
            // Asked again: the same values.
            for (int i = kOld; i < kOld + kAdded; ++i) {
                double a[5], b[5];
                ASSERT_EQ(c.calc(*old, i, false, a), c.calc(*fresh, i, false, b));
            }
        }
    }
}

}  // namespace
