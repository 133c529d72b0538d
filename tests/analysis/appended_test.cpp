// Bars appended after a computation: the recursive indicators go on from the state of the last
// bar they computed and give what a fresh computation over the grown series gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <memory>
#include <vector>

#include "analysis/techs_momentum.h"
#include "series.h"

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
