// The cost distribution against a plain loop over buckets and bars, and its edge cases.
#include "reference.h"

#include "store/records.h"

namespace {

using namespace ref;

// Volume of bars start..end in the bucket of width step at price, from the triangle rule.
double RefVolumeAt(const CKData& k, int start, int end, double price, double step) {
    double s = 0;
    for (int t = start; t <= end; ++t) {
        const double h = k[t].high, l = k[t].low, r = h - l;
        if (r <= 0.0001 || !(l < price && price < h)) continue;
        s += (step < r ? step * k[t].volume / r : k[t].volume) * std::min(h - price, price - l) * 4 / r;
    }
    return s;
}

CStockInfo Share(float shares) {
    CStockInfo info;
    info.SetStockCode(kMarketShangHai, "600000");
    info.SetType(kindShA);
    info.m_fBase[baseSharesA - 1] = shares;
    return info;
}

TEST(CostDistribution, AgainstPlainLoop) {
    for (int n : {1, 30, 200}) {
        CKData k;
        MakeWalk(k, n, 40 + n);
        CCW cw;
        cw.SetKData(&k);
        const CStockInfo none;
        for (double step : {0.01, 0.05, 0.5}) {
            CSPDWordArray prices, volumes;
            double mn, mx, total, coverage;
            const int start = std::max(0, n - 40), end = n - 1;
            ASSERT_TRUE(cw.GetDistribution(start, end, none, step, prices, volumes, &mn, &mx, &total, &coverage));
            double lo = 1e300, hi = -1e300;
            for (int t = start; t <= end; ++t) lo = std::min(lo, double(k[t].low)), hi = std::max(hi, double(k[t].high));
            double sum = 0, least = 1e300, most = -1e300;
            int b = 0;
            for (double p = lo; p < hi; p = lo + (++b) * step) {
                ASSERT_LT(b, prices.GetSize());
                const double v = RefVolumeAt(k, start, end, p, step);
                ASSERT_EQ(prices[b], DWORD(p * 1000)) << b;
                ASSERT_EQ(volumes[b], DWORD(v)) << b;
                double at;
                ASSERT_TRUE(cw.GetVolumeAtPrice(start, end, p, step, &at));
                ASSERT_NEAR(at, v, 1e-9 * std::max(1.0, v));
                sum += v, least = std::min(least, v), most = std::max(most, v);
            }
            ASSERT_EQ(b, prices.GetSize());
            EXPECT_NEAR(total, sum, 1e-6 * std::max(1.0, sum));
            EXPECT_NEAR(mn, least - std::fabs(least) * 0.01, 1e-6);
            const double top = most + std::fabs(most) * 0.01;
            EXPECT_NEAR(mx, top - (least - std::fabs(least) * 0.01) < 3 ? least + 3 : top, 1e-6);
            // Without a capital, coverage = total / (total x 100 / bars x 1.5), clamped.
            const double capital = sum * 100 / (end - start + 1);
            EXPECT_NEAR(coverage, capital <= 0.0001 ? 1 : std::min(1.0, sum / (capital * 1.5)), 1e-9);
        }
    }
}

TEST(CostDistribution, EdgeCases) {
    CKData k;
    MakeWalk(k, 300, 77);
    CCW cw;
    cw.SetKData(&k);
    const CStockInfo none;
    CSPDWordArray prices, volumes;
    double mn, mx, total, cov = kSentinel, at;

    // Over fine buckets a bar's spread adds up to about its volume; high equal to low adds nothing.
    CKData one;
    one.Add(MakeBar(10, 12, 8, 11, 6000));
    one.Add(MakeBar(9, 9, 9, 9, 5000));
    CCW single;
    single.SetKData(&one);
    ASSERT_TRUE(single.GetDistribution(0, 0, none, 0.001, prices, volumes, &mn, &mx, &total, &cov));
    EXPECT_NEAR(total, 6000, 1);
    ASSERT_TRUE(single.GetVolumeAtPrice(1, 1, 9, 0.01, &at));
    EXPECT_EQ(at, 0);
    ASSERT_TRUE(single.GetVolumeAtPrice(0, 0, 8, 0.01, &at));  // the ends add nothing
    EXPECT_EQ(at, 0);
    // A step at least as wide as the range adds the whole volume x 4d / r.
    ASSERT_TRUE(single.GetVolumeAtPrice(0, 0, 11, 5, &at));
    EXPECT_NEAR(at, 6000 * 1 * 4 / 4.0, 1e-9);
    EXPECT_FALSE(single.GetVolumeAtPrice(0, 2, 11, 5, &at));
    EXPECT_FALSE(single.GetDistribution(0, 0, none, 0.00005, prices, volumes, &mn, &mx, &total, &cov));

    // Window start: 151 bars without a capital; with one, the bars whose volume first exceeds it x 1.5.
    int start = -1, end = -5;
    ASSERT_TRUE(cw.GetTurnoverStart(&start, &end, none));
    EXPECT_EQ(end, 299);
    EXPECT_EQ(start, 299 - 150);
    end = 100;
    ASSERT_TRUE(cw.GetTurnoverStart(&start, &end, none));
    EXPECT_EQ(start, 0);
    const CStockInfo share = Share(2e6f);
    end = 299;
    ASSERT_TRUE(cw.GetTurnoverStart(&start, &end, share));
    double sum = 0;
    int want = 0;
    for (int t = 299; t >= 0; --t)
        if ((sum += k[t].volume) > 3e6) {
            want = t;
            break;
        }
    EXPECT_EQ(start, want);

    // Coverage with a capital, clamped to 1 when the window traded more than capital x factor.
    ASSERT_TRUE(cw.GetDistribution(0, 299, Share(1e6f), 0.05, prices, volumes, &mn, &mx, &total, &cov));
    EXPECT_EQ(cov, 1);
    ASSERT_TRUE(cw.GetDistribution(290, 299, Share(1e9f), 0.05, prices, volumes, &mn, &mx, &total, &cov));
    EXPECT_NEAR(cov, total / 1.5e9, 1e-12);

    // Profit ratio at the ends, average cost, concentration.
    ASSERT_TRUE(cw.GetRecentDistribution(-1, 60, none, 0.02, prices, volumes, &mn, &mx, &total, &cov));
    const int last = prices.GetSize() - 1;
    double ratio;
    ASSERT_TRUE(CCW::GetProfitRatio(&ratio, prices, volumes, prices[0] * 0.001 - 0.01));
    EXPECT_EQ(ratio, 0);
    ASSERT_TRUE(CCW::GetProfitRatio(&ratio, prices, volumes, prices[last] * 0.001));
    EXPECT_EQ(ratio, 1);
    ASSERT_TRUE(CCW::GetProfitRatio(&ratio, prices, volumes, 1e9));
    EXPECT_EQ(ratio, 1);
    double weighted = 0, all = 0;
    for (int b = 0; b <= last; ++b) weighted += double(volumes[b]) * prices[b] * 0.001, all += volumes[b];
    ASSERT_TRUE(CCW::GetAverageCost(&at, prices, volumes));
    EXPECT_NEAR(at, weighted / all, 1e-9);
    double low, high;
    ASSERT_TRUE(CCW::GetConcentration(&low, &high, &ratio, prices, volumes, 1));
    int first = 0, top = last;
    while (volumes[first] == 0) ++first;
    while (volumes[top] == 0) --top;
    EXPECT_EQ(low, prices[first] * 0.001);
    EXPECT_EQ(high, prices[top] * 0.001);
    double low9, high9, ratio9;
    ASSERT_TRUE(CCW::GetConcentration(&low9, &high9, &ratio9, prices, volumes, 0.9));
    EXPECT_GE(low9, low);
    EXPECT_LE(high9, high);
    EXPECT_LE(ratio9, ratio);
    EXPECT_GE(ratio9, 0);
    EXPECT_FALSE(CCW::GetConcentration(&low, &high, &ratio, prices, volumes, 1.5));
    CSPDWordArray shorter;
    shorter.Add(1);
    EXPECT_FALSE(CCW::GetProfitRatio(&ratio, prices, shorter, 10));
    CSPDWordArray empty1, empty2;
    ASSERT_TRUE(CCW::GetProfitRatio(&ratio, empty1, empty2, 10));
    EXPECT_EQ(ratio, 0);

    // The distribution n bars back and the share that remains after them.
    double remaining = kSentinel;
    ASSERT_TRUE(cw.GetCostDistribution(299, 30, none, 0.05, prices, volumes, &mn, &mx, &total, &remaining));
    EXPECT_NEAR(remaining, 1 - 30 / 150.0, 1e-12);  // without a capital: 1 - n / (100 x factor)
    ASSERT_TRUE(cw.GetCostDistribution(299, 0, none, 0.05, prices, volumes, &mn, &mx, &total, &remaining));
    EXPECT_EQ(remaining, 1);
    double traded = 0;
    for (int t = 270; t <= 299; ++t) traded += k[t].volume;
    ASSERT_TRUE(cw.GetCostDistribution(299, 30, Share(2e6f), 0.05, prices, volumes, &mn, &mx, &total, &remaining));
    EXPECT_NEAR(remaining, std::max(0.0, 1 - traded / 3e6), 1e-12);
    remaining = kSentinel;
    EXPECT_FALSE(cw.GetCostDistribution(299, 300, none, 0.05, prices, volumes, &mn, &mx, &total, &remaining));
    EXPECT_EQ(remaining, kSentinel);
}

// Faults that must not come back: unbounded bucket counts, negative prices wrapping, volumes
// beyond 32 bits.
TEST(CostDistribution, BoundedAndNeverWraps) {
    CKData index;
    index.Add(MakeBar(1000, 6000, 1000, 5000, 1e9f));
    index.Add(MakeBar(5000, 5500, 4000, 4500, 9e9f));
    CCW cw;
    cw.SetKData(&index);
    const CStockInfo none;
    CSPDWordArray prices, volumes;
    double mn, mx, total, cov;
    ASSERT_TRUE(cw.GetDistribution(0, 1, none, 0.0001, prices, volumes, &mn, &mx, &total, &cov));
    EXPECT_LE(prices.GetSize(), CCW::kMaxBuckets);
    EXPECT_GE(prices.GetSize(), CCW::kMaxBuckets - 1);
    for (int b = 1; b < prices.GetSize(); ++b) ASSERT_GT(prices[b], prices[b - 1]);
    EXPECT_NEAR(prices[prices.GetSize() - 1] * 0.001, 6000 - 5000.0 / CCW::kMaxBuckets, 0.01);
    // One big bucket: more than 4.29e9 shares clamp to the largest unsigned value.
    ASSERT_TRUE(cw.GetDistribution(1, 1, none, 1000, prices, volumes, &mn, &mx, &total, &cov));
    ASSERT_EQ(prices.GetSize(), 2);
    EXPECT_EQ(volumes[1], 0xFFFFFFFFu);
    EXPECT_GT(total, 4.3e9);

    // A forward-adjusted series below 0: the buckets start at 0, prices stay in order.
    CKData adjusted;
    adjusted.Add(MakeBar(-1, 2, -3, 1, 1000));
    adjusted.Add(MakeBar(1, 3, -0.5f, 2, 1000));
    cw.SetKData(&adjusted);
    ASSERT_TRUE(cw.GetDistribution(0, 1, none, 0.5, prices, volumes, &mn, &mx, &total, &cov));
    EXPECT_EQ(prices[0], 0u);
    for (int b = 1; b < prices.GetSize(); ++b) ASSERT_GT(prices[b], prices[b - 1]);
    EXPECT_EQ(prices.GetSize(), 6);
    // Entirely below 0: no bucket at all.
    CKData below;
    below.Add(MakeBar(-2, -1, -3, -2, 1000));
    cw.SetKData(&below);
    EXPECT_FALSE(cw.GetDistribution(0, 0, none, 0.5, prices, volumes, &mn, &mx, &total, &cov));
}

}  // namespace
