// The own signal indicators (ids 8, 55-57), DPER, CYO, DCYO and the relative turnover against
// plain loops written from their formulas, and their edge cases.
#include "reference.h"

#include <cstring>
#include <limits>

#include "analysis/techs_price.h"

#include "base/timestamp.h"
#include "store/records.h"

namespace {

using namespace ref;

bool In(const CKData& k, int i) { return i >= 0 && i < k.GetSize(); }

int StartBy4(int i, std::vector<double> factors) {
    auto decayed = [&](int d) {
        for (double f : factors)
            if (std::pow(f, d) >= 0.001) return false;
        return true;
    };
    int d = 0;
    while (d < i && !decayed(d)) d += i - d > 3 ? 4 : 1;
    return i - std::min(d, i);
}

void MacdRun(const CKData& k, int from, int i, int ns, int nl, int ng, double* o) {
    double es = P(k, from), el = es, dea = 0;
    for (int t = from; t <= i; ++t) {
        es = (2 * P(k, t) + (ns - 1) * es) / (ns + 1);
        el = (2 * P(k, t) + (nl - 1) * el) / (nl + 1);
        dea = ((ng - 1) * dea + 2 * (es - el)) / (ng + 1);
    }
    o[0] = es, o[1] = el, o[2] = es - el, o[3] = dea;
}

Case SelfCase(const char* name, std::function<std::unique_ptr<CTechnique>()> make, int nl, int lines) {
    auto f = [](int n) { return (n - 1.0) / (n + 1); };
    auto full = [=](const CKData& k, int i, double* o) {
        if (!In(k, i) || i + 1 < nl) return false;
        MacdRun(k, StartBy4(i, {f(5), f(nl), f(9)}), i, 5, nl, 9, o);
        o[4] = k[i].low * 0.95;
        return true;
    };
    auto run = [=](const CKData& k, int i, double* o) {
        if (!In(k, i) || i + 1 < nl) return false;
        MacdRun(k, 0, i, 5, nl, 9, o);
        o[4] = k[i].low * 0.95;
        return true;
    };
    return Case{name, lines, make, Lines(lines), full, run, 1e-9};
}

double RefCyo(const CKData& k, int i, const std::vector<int>& days) {
    double s = 0, w = 0;
    for (size_t j = 0; j < days.size(); ++j) {
        const double then = P(k, i - days[j]);
        s += (j + 1) * (then <= 0 ? 100 : P(k, i) * 100 / then);
        w += j + 1;
    }
    return s / w;
}

bool RefDPER(const CKData& k, int i, double* o) {
    const int count = 30, detrend = 12;
    if (!In(k, i) || i < count + 2 * detrend) return false;
    auto d = [&k](int j) { return P(k, j) - Sma(k, j - 1, 2 * detrend); };
    int below = 0;
    for (int j = i - count; j < i; ++j)
        if (d(j) < d(i)) ++below;
    *o = below * 100.0 / count;
    return true;
}

TEST(OwnIndicators, AgainstPlainLoops) {
    const std::vector<int> days = {9, 12, 18, 24};
    const Case cases[] = {
        SelfCase("id 8", Make<CSelfTechnique1>(), 62, 5),
        SelfCase("id 55", Make<CSelfTechnique2>(), 42, 4),
        SelfCase("id 56", Make<CSelfTechnique3>(), 22, 4),
        SelfCase("id 57", Make<CSelfTechnique4>(), 62, 4),
        {"CYO", 2, Make<CCYO>(), Lines(2),
         Averaged(
             [days](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i < 24) return false;
                 *o = RefCyo(k, i, days);
                 return true;
             },
             6),
         nullptr, 1e-9},
        {"DCYO", 2, Make<CDCYO>(), Lines(2),
         Averaged(
             [days](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i - 5 < 24) return false;
                 double s = 0;
                 for (int t = i - 5; t <= i; ++t) s += RefCyo(k, t, days);
                 *o = s / 6;
                 return true;
             },
             6),
         nullptr, 1e-9},
        {"DPER", 2, Make<CDPER>(), Lines(2), Averaged(RefDPER, 6), nullptr, 1e-9},
    };
    for (const Case& c : cases) {
        Check(c);
        if (HasFatalFailure()) return;
    }
}

TEST(OwnIndicators, EdgeCases) {
    // CYO of a constant price is 100; DPER over a geometric series is 100, and nothing is read
    // before bar 0 (no value until count + 2 x detrend).
    CKData flat;
    MakeCloses(flat, std::vector<double>(60, 9));
    CCYO cyo;
    cyo.SetKData(&flat);
    double v, a;
    ASSERT_TRUE(cyo.Calculate(&v, 40, false));
    EXPECT_NEAR(v, 100, 1e-12);
    std::vector<double> geometric;
    for (int i = 0; i < 120; ++i) geometric.push_back(10 * std::pow(1.01, i));
    CKData g;
    MakeCloses(g, geometric);
    CDPER dper;
    dper.SetKData(&g);
    v = kSentinel;
    EXPECT_FALSE(dper.Calculate(&v, 53, false));
    EXPECT_EQ(v, kSentinel);
    for (int i = 54; i < 120; ++i) {
        ASSERT_TRUE(dper.Calculate(&v, i, false));
        EXPECT_EQ(v, 100) << i;
    }
    double mn, mx;
    ASSERT_TRUE(dper.GetMinMaxInfo(0, 119, &mn, &mx));
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 100);
    ASSERT_TRUE(dper.Calculate(&v, &a, 119, false));
    EXPECT_EQ(a, 100);

    // Id 8's stop line is the low x 0.95; its range is that line's alone.
    CKData w;
    MakeWalk(w, 200, 12);
    CSelfTechnique1 s1;
    s1.SetKData(&w);
    double o[5];
    ASSERT_TRUE(s1.Calculate(&o[0], &o[1], &o[2], &o[3], &o[4], 150, false));
    EXPECT_EQ(o[4], w[150].low * 0.95);
    ASSERT_TRUE(s1.GetMinMaxInfo(100, 199, &mn, &mx));
    double lo = 1e9, hi = -1e9;
    for (int i = 100; i < 200; ++i) lo = std::min(lo, w[i].low * 0.95), hi = std::max(hi, w[i].low * 0.95);
    EXPECT_NEAR(mn, lo - lo * 0.02, 1e-9);
    EXPECT_NEAR(mx, hi + hi * 0.02, 1e-9);
    int r = 0;
    EXPECT_EQ(s1.GetSignal(150, &r), 0);
    EXPECT_EQ(r, reasonNone);
}

// Relative turnover: the stock's turnover over the composite index's of the same date.
TEST(OwnIndicators, RelativeTurnover) {
    CKData stock, index;
    MakeWalk(stock, 120, 3);
    MakeWalk(index, 119, 4);
    // Calendar days from 2004-05-10 on; the index lacks the stock's bar 50.
    const int64_t first = velmora::DaysFromCivil(2004, 5, 10);
    for (int i = 0; i < 120; ++i) {
        int y, m, d;
        velmora::CivilFromDays(first + i, y, m, d);
        stock[i].date = DWORD(y * 10000 + m * 100 + d);
    }
    for (int i = 0; i < 119; ++i) index[i].date = stock[i < 50 ? i : i + 1].date;
    CHSL hsl;
    hsl.m_stockinfo.SetStockCode(kMarketShangHai, "600000");
    hsl.m_stockinfo.SetType(kindShA);
    hsl.m_stockinfo.m_fBase[baseSharesA - 1] = 5e7f;
    hsl.SetKData(&stock);
    hsl.SetIndexKData(&index);
    auto ref = [&](int i, double* out) {
        const int at = index.GetIndexByDate(stock[i].date);
        if (at < 0) return false;
        const KDATA& x = index[at];
        const int y = int(stock[i].date / 10000), m = int(stock[i].date / 100 % 100), d = int(stock[i].date % 100);
        const double t = double(velmora::DaysFromCivil(y, m, d) - velmora::DaysFromCivil(2004, 5, 19));
        const double s = 585000000.0 * (1 + 0.08 * t / 365);
        const double it = double(x.amount) * 100 / (s * (double(x.open) + x.high + x.low + x.close) / 4);
        *out = (double(stock[i].volume) * 100 / 5e7) / it;
        return true;
    };
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            ASSERT_TRUE(hsl.PrepareCache(0, -1, true));
        }
        for (int i = 0; i < 120; ++i) {
            double got = kSentinel, want;
            const bool ok = ref(i, &want);
            ASSERT_EQ(hsl.Calculate(&got, i, false), ok) << i;
            if (ok) {
                ASSERT_NEAR(got, want, 1e-9 * std::max(1.0, want)) << i;
            } else {
                ASSERT_EQ(got, kSentinel);
            }
            // The average of the last 6 bars needs a value at each of them.
            double avg = kSentinel, sum = 0;
            bool all = i >= 5;
            for (int t = i; all && t > i - 6; --t) {
                double x = 0;
                all = ref(t, &x);
                sum += x;
            }
            ASSERT_EQ(hsl.Calculate(&avg, i, 6, false), all) << i;
            if (all) {
                ASSERT_NEAR(avg, sum / 6, 1e-9 * std::max(1.0, sum / 6)) << i;
            }
        }
    }
    double none;
    EXPECT_FALSE(hsl.Calculate(&none, 50, false));
    // Kinds without a turnover of their own give 1.
    hsl.m_stockinfo.SetType(kindShIndex);
    hsl.Clear();
    double v;
    ASSERT_TRUE(hsl.Calculate(&v, 10, false));
    EXPECT_EQ(v, 1);
    // The circulating value estimate is continuous at t = -3000 and reaches 0 at t = -5000.
    EXPECT_NEAR(CHSL::CirculatingShares(-2999.999999), CHSL::CirculatingShares(-3000.000001), 1);
    EXPECT_NEAR(CHSL::CirculatingShares(-3000), 200342465.75342467, 1e-3);
    EXPECT_EQ(CHSL::CirculatingShares(-5000), 0);
    EXPECT_LT(CHSL::CirculatingShares(-6000), 0);
    // So a bar of 1988 (t below -5000) has no value.
    CKData old;
    MakeWalk(old, 3, 1);
    for (int i = 0; i < 3; ++i) old[i].date = 19880104 + i;
    CKData oldIndex;
    oldIndex.Copy(old);
    CHSL h2;
    h2.m_stockinfo.SetStockCode(kMarketShangHai, "600000");
    h2.m_stockinfo.SetType(kindShA);
    h2.m_stockinfo.m_fBase[baseSharesA - 1] = 5e7f;
    h2.SetKData(&old);
    h2.SetIndexKData(&oldIndex);
    EXPECT_FALSE(h2.Calculate(&v, 1, false));
}

// HSL over the generated, flat, zero-volume and suspended series, each against an index series of
// the same dates (its own bars): a fresh object per bar and a cache filled in one pass.
TEST(OwnIndicators, RelativeTurnoverOverEverySeries) {
    for (Series& s : TestSeries()) {
        CKData& k = s.k;
        CKData index;
        index.Copy(k);
        auto ref = [&](int i, double* out) {
            const KDATA& x = index[i];
            const int y = int(k[i].date / 10000), m = int(k[i].date / 100 % 100), d = int(k[i].date % 100);
            const double t = double(velmora::DaysFromCivil(y, m, d) - velmora::DaysFromCivil(2004, 5, 19));
            // A date that is no calendar date (these series count days past 31) takes the base value.
            const bool valid = d >= 1 && d <= 31 && m >= 1 && m <= 12 && y >= 1900;
            const double sh = !valid ? 585000000.0
                              : t >= -3000 ? 585000000.0 * (1 + 0.08 * t / 365)
                                           : (1 - (-t - 3000) / 2000) * 200342465.75342467;
            const double it = double(x.amount) * 100 / (sh * (double(x.open) + x.high + x.low + x.close) / 4);
            if (!(it > 0.000001)) return false;
            *out = (double(k[i].volume) * 100 / 4e7) / it;
            return true;
        };
        auto make = [&](CHSL& h) {
            h.m_stockinfo.SetStockCode(kMarketShenZhen, "000001");
            h.m_stockinfo.SetType(kindSzA);
            h.m_stockinfo.m_fBase[baseSharesA - 1] = 4e7f;
            h.SetKData(&k);
            h.SetIndexKData(&index);
        };
        CHSL cached;
        make(cached);
        if (k.GetSize() > 0) cached.PrepareCache(0, -1, true);
        for (int i = 0; i < k.GetSize(); ++i) {
            CHSL fresh;
            make(fresh);
            double want, a = kSentinel, b = kSentinel;
            const bool ok = ref(i, &want);
            ASSERT_EQ(fresh.Calculate(&a, i, false), ok) << s.name << " " << i;
            ASSERT_EQ(cached.Calculate(&b, i, false), ok) << s.name << " " << i;
            if (ok) {
                ASSERT_NEAR(a, want, 1e-9 * std::max(1.0, want)) << s.name << " " << i;
                ASSERT_EQ(a, b) << s.name << " " << i;
            } else {
                ASSERT_EQ(a, kSentinel);
                ASSERT_EQ(b, kSentinel);
            }
        }
    }
}

// The step MACDs over a series longer than kStreamBars, with a broken bar: the cache fill writes
// its four lines past the processor's caches, and they must be, bit for bit, the lines MACD's
// general range pass gives.
TEST(OwnIndicators, LongSeriesFillGivesTheRangePassLines) {
    CKData k;
    MakeWalk(k, kStreamBars + 3001);
    const int broken = kStreamBars / 2 + 1;
    k[broken].close = std::numeric_limits<float>::quiet_NaN();
    const std::function<std::unique_ptr<CTechnique>()> makes[] = {Make<CSelfTechnique2>(), Make<CSelfTechnique3>(),
                                                                  Make<CSelfTechnique4>()};
    for (const auto& make : makes) {
        std::unique_ptr<CTechnique> filled = make(), ranged = make();
        filled->SetKData(&k);
        ranged->SetKData(&k);
        ASSERT_TRUE(filled->PrepareCache(0, -1, false));
        double lo, hi;
        ranged->GetMinMaxInfo(0, k.GetSize() - 1, &lo, &hi);  // asked with a range: the general pass
        int compared = 0;
        for (int i = 0; i < k.GetSize(); ++i)
            for (int l = 1; l <= 4; ++l) {
                double a = 0, b = 0;
                const bool has = ranged->GetCached(l, i, &b);
                ASSERT_EQ(filled->GetCached(l, i, &a), has) << "bar " << i << ", line " << l;
                ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "bar " << i << ", line " << l << ": " << a << " != " << b;
                compared += has;
            }
        EXPECT_GT(compared, 4 * kStreamBars);
        double x;
        EXPECT_FALSE(filled->GetCached(1, broken, &x));
        // The bar after the last one continues from the kept lines, as after the general pass.
        CKData grown = k;
        KDATA next = k[k.GetSize() - 1];
        next.date += 1;
        grown.Add(next);
        double v[4], w[4];
        filled->SetKData(&grown), ranged->SetKData(&grown);
        filled->PrepareCache(0, k.GetSize() - 1, false);
        ranged->GetMinMaxInfo(0, k.GetSize() - 1, &lo, &hi);
        ASSERT_TRUE(filled->Calculate(&v[0], &v[1], &v[2], &v[3], grown.GetSize() - 1, false));
        ASSERT_TRUE(ranged->Calculate(&w[0], &w[1], &w[2], &w[3], grown.GetSize() - 1, false));
        for (int l = 0; l < 4; ++l) EXPECT_EQ(std::memcmp(&v[l], &w[l], sizeof v[l]), 0) << l;
    }
}

}  // namespace
