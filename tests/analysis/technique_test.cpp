#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "analysis/techs.h"
#include "series.h"

namespace {

// A one-line indicator with scripted values and signals per bar.
class Scripted : public CTechnique {
public:
    explicit Scripted(CKData* k) : CTechnique(k) {}
    bool IsValidParameters() override { return true; }
    int GetSignal(int index, int* reason) override {
        ++signalCalls;
        auto it = signals.find(index);
        if (reason) *reason = it == signals.end() ? reasonNone : it->second.second;
        return it == signals.end() ? 0 : it->second.first;
    }
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override {
        ++calcCalls;
        if (!CheckIndex(index) || index < firstBar) return false;
        if (LoadFromCache(index, v)) return true;
        double x = values.count(index) ? values[index] : 0;
        StoreToCache(index, &x);
        if (v) *v = x;
        return true;
    }
    bool GetMinMaxInfo(int s, int e, double* mn, double* mx, int*, int*) override { return GetMinMaxInfo1(s, e, mn, mx); }
    std::map<int, std::pair<int, int>> signals;
    std::map<int, double> values;
    int firstBar = 0;
    int calcCalls = 0;
    int signalCalls = 0;
};

class TechniqueTest : public testing::Test {
protected:
    void SetUp() override { MakeWalk(k, 300); }
    CKData k;
};

TEST_F(TechniqueTest, NewObjectAndClear) {
    Scripted t(&k);
    EXPECT_EQ(t.GetCacheStart(), -1);
    EXPECT_EQ(t.GetLastSignal(), 0);
    EXPECT_EQ(t.GetLastReason(), reasonNone);
    double v = 0;
    ASSERT_TRUE(t.Calculate(&v, 5, false));
    EXPECT_EQ(t.GetCacheStart(), 0);
    EXPECT_EQ(t.GetCacheLength(), 300);
    t.SetKData(&k);
    EXPECT_EQ(t.GetCacheLength(), 0);
    EXPECT_FALSE(t.GetCached(1, 5, nullptr));
}

TEST_F(TechniqueTest, LoadFromCacheIsAllOrNothing) {
    Scripted t(&k);
    double a = 1, b = 2;
    ASSERT_TRUE(t.StoreToCache(10, &a));
    double x = -7, y = -8;
    EXPECT_FALSE(t.LoadFromCache(10, &x, &y));  // line 2 was never stored
    EXPECT_EQ(x, -7);
    EXPECT_EQ(y, -8);
    ASSERT_TRUE(t.StoreToCache(10, nullptr, &b));
    EXPECT_TRUE(t.LoadFromCache(10, &x, &y));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    EXPECT_FALSE(t.LoadFromCache(11, &x));
    // Bars added after the first store get no cache entry.
    k.Add(k[299]);
    EXPECT_TRUE(t.StoreToCache(300, &a));
    EXPECT_FALSE(t.LoadFromCache(300, &x));
    EXPECT_FALSE(t.StoreToCache(301, &a));
}

TEST_F(TechniqueTest, IntensityFadesAndTracesBack) {
    Scripted t(&k);
    t.signals[10] = {10, reasonGoldenCross};
    t.signals[30] = {-3, reasonDeadCross};
    // Walking every bar: +10 fades to 1 and stays; -3 fades to -1 and stays.
    for (int bar = 10; bar <= 33; ++bar) {
        int expect = bar < 20 ? 10 - (bar - 10) : bar < 30 ? 1 : std::min(-3 + (bar - 30), -1);
        int r = 0;
        EXPECT_EQ(t.GetIntensity(bar, &r, false), expect) << bar;
        EXPECT_EQ(r, bar < 30 ? reasonGoldenCross : reasonDeadCross) << bar;
    }
    // From a remembered 0 the walk back finds bar 10's +10 and fades it by the distance.
    t.ClearLastIntensity();
    int r = 0;
    EXPECT_EQ(t.GetIntensity(14, &r, true), 6);
    EXPECT_EQ(r, reasonGoldenCross);
    t.ClearLastIntensity();
    EXPECT_EQ(t.GetIntensity(14, &r, false), 0);
    EXPECT_EQ(r, reasonNone);
    EXPECT_EQ(t.GetIntensityTraceback(9, &r), 0);
    EXPECT_EQ(t.GetIntensityTraceback(40, &r), -1);
    EXPECT_EQ(r, reasonDeadCross);
}

TEST_F(TechniqueTest, RangeWidening) {
    struct Case { std::vector<double> values; double min, max; bool ok; };
    const Case cases[] = {
        {{0, 0, 0}, 0, 0.05, true},
        {{10, 15, 20}, 9.8, 20.4, true},
        {{-20, -10}, -20.4, -9.8, true},
        {{0.1, 0.11}, 0.098, 0.148, true},  // span below 0.03 after widening
    };
    for (const Case& c : cases) {
        Scripted t(&k);
        for (size_t i = 0; i < c.values.size(); ++i) t.values[int(i)] = c.values[i];
        double mn = 0, mx = 0;
        EXPECT_EQ(t.GetMinMaxInfo1(0, int(c.values.size()) - 1, &mn, &mx), c.ok);
        EXPECT_NEAR(mn, c.min, 1e-9);
        EXPECT_NEAR(mx, c.max, 1e-9);
    }
    // An empty day-count list gives 0 .. 0.05 and no bar.
    CMA ma;
    ma.SetKData(&k);
    CSPDWordArray empty;
    double a = 1, b = 1;
    EXPECT_FALSE(CTechnique::GetMinMaxInfoMA(0, 10, &a, &b, &ma, empty));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0.05);
    Scripted none(&k);
    none.firstBar = 1000;
    double mn = 1, mx = 1;
    EXPECT_FALSE(none.GetMinMaxInfo1(0, 10, &mn, &mx));
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 0.05);
}

TEST_F(TechniqueTest, RangeLevelsBoundary) {
    Scripted t(&k);
    for (int i = 0; i < 300; ++i) t.values[i] = i;
    double lo = -1, hi = -1;
    int r = 0;
    EXPECT_FALSE(t.GetRangeLevels(145, &r, 26, 120, &lo, &hi, 0.3, 0.7));
    EXPECT_EQ(lo, -1);
    ASSERT_TRUE(t.GetRangeLevels(146, &r, 26, 120, &lo, &hi, 0.5, 0.5));
    // Values 27..146 widened: 26.46 .. 148.92.
    EXPECT_NEAR(lo, (27 * 0.98 + 146 * 1.02) / 2, 1e-9);
    EXPECT_EQ(lo, hi);
}

TEST_F(TechniqueTest, ValueAndMA) {
    Scripted t(&k);
    for (int i = 0; i < 300; ++i) t.values[i] = i;
    t.firstBar = 3;
    double v = -1, ma = -1;
    EXPECT_FALSE(t.GetValueAndMA(&v, &ma, 10, false, 0));  // days 0 would divide by zero
    EXPECT_FALSE(t.GetValueAndMA(&v, &ma, 4, false, 3));   // bars 2.. fail: only 2 values
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(t.GetValueAndMA(&v, &ma, 10, false, 4));
    EXPECT_EQ(v, 10);
    EXPECT_EQ(ma, 8.5);
}

// Two scripted lines for the cross tests.
class TwoLines : public Scripted {
public:
    using Scripted::Scripted;
    using CTechnique::Calculate;
    bool Calculate(double* a, double* b, int index, bool) override {
        if (!a2.count(index)) return false;
        if (a) *a = a2[index];
        if (b) *b = b2[index];
        StoreToCache(index, &a2[index], &b2[index]);
        return true;
    }
    std::map<int, double> a2, b2;
};

TEST_F(TechniqueTest, CrossRules) {
    struct Case { double a0, b0, a1, b1; int signal, reason; bool up, down; };
    const Case cases[] = {
        {1, 2, 3, 2.5, 10, 4, true, false},   // a rises through b, neither fell
        {1, 1, 2, 1.5, 10, 4, true, false},   // equal before counts
        {1, 2, 3, 1.9, 0, 1, false, false},   // b fell
        {1, 2, 2, 2, 0, 1, false, false},     // equal after is no cross
        {3, 2, 1, 1.5, -10, 5, false, true},  // a falls through b, neither rose
        {3, 2, 1, 2.5, 0, 1, false, false},   // b rose
    };
    for (const Case& c : cases) {
        TwoLines t(&k);
        t.a2[4] = c.a0, t.b2[4] = c.b0, t.a2[5] = c.a1, t.b2[5] = c.b1;
        int r = 0;
        EXPECT_EQ(t.GetCrossSignal(5, 10, -10, &r), c.signal) << c.a0 << c.b0 << c.a1 << c.b1;
        EXPECT_EQ(r, c.reason);
        EXPECT_EQ(t.IsCrossUp(5, 1, 2), c.up);
        EXPECT_EQ(t.IsCrossDown(5, 1, 2), c.down);
    }
    TwoLines t(&k);
    int r = 0;
    EXPECT_EQ(t.GetCrossSignal(0, 10, -10, &r), 0);
}

TEST_F(TechniqueTest, MASignals) {
    // Prices chosen so the 1-day line crosses the 2-day line at bar 3.
    CKData s;
    MakeCloses(s, {10, 10, 9, 12, 13, 14});
    CMA ma;
    ma.SetKData(&s);
    CSPDWordArray one;
    one.Add(5);
    int r = 0;
    EXPECT_EQ(ma.GetMACrossSignal(3, one, 15, -15, &r), 0);
    EXPECT_EQ(r, reasonNone);
    CSPDWordArray d12;
    d12.Add(1), d12.Add(2);
    EXPECT_EQ(ma.GetMACrossSignal(3, d12, 15, -15, &r), 15);
    EXPECT_EQ(r, reasonGoldenCross);
    // A third, longer average that fell vetoes the cross.
    CSPDWordArray d123;
    d123.Add(1), d123.Add(2), d123.Add(3);
    CKData fall;
    MakeCloses(fall, {20, 15, 10, 9, 12});  // MA3 at bar 4: 10.33 from 11.33
    ma.SetKData(&fall);
    EXPECT_EQ(ma.GetMACrossSignal(4, d12, 15, -15, &r), 15);
    EXPECT_EQ(ma.GetMACrossSignal(4, d123, 15, -15, &r), 0);
    // Arrangement: a steady rise is bullish for every pair, a steady fall bearish.
    CKData up, down;
    MakeCloses(up, {1, 2, 4, 8, 16, 32, 64});
    MakeCloses(down, {100, 99, 97, 94, 90, 85, 79});  // an accelerating fall
    ma.SetKData(&up);
    EXPECT_EQ(ma.GetMAArrangeSignal(6, d123, 10, -10, &r), 10);
    EXPECT_EQ(r, reasonBullTrend);
    ma.SetKData(&down);
    EXPECT_EQ(ma.GetMAArrangeSignal(6, d123, 10, -10, &r), -10);
    EXPECT_EQ(r, reasonBearTrend);
    ma.m_days.Copy(d123);
    EXPECT_EQ(ma.GetSignal(6, &r), -10);  // no cross, so the arrangement decides
}

TEST_F(TechniqueTest, DivergenceNeedsComputedEntries) {
    // Price: flat at 50, a low of 30 at bar 180, back to 40, then a new low of 29 at bar 199.
    std::vector<double> p(200, 50);
    p[180] = 30;
    for (int i = 181; i < 199; ++i) p[i] = 40;
    p[199] = 29;
    CKData s;
    MakeCloses(s, p);
    ASSERT_TRUE(s.IsNewHigh(199, false, 115));
    // The line makes its low at bar 180 too and stays above it at 199: a divergence.
    Scripted t(&s);
    for (int i = 0; i < 200; ++i) t.values[i] = 0;
    t.values[180] = -5;
    t.values[199] = -1;
    EXPECT_TRUE(t.IsBottomDivergence(199, 1, 0));
    EXPECT_FALSE(t.IsTopDivergence(199, 1, 0));
    // The line at a new low too: no divergence.
    t.SetKData(&s);
    t.values[199] = -6;
    EXPECT_FALSE(t.IsBottomDivergence(199, 1, 0));
    // Bars the line cannot compute are never read as values.
    Scripted gap(&s);
    gap.firstBar = 150;
    for (int i = 0; i < 200; ++i) gap.values[i] = -100;
    gap.values[199] = -1;
    EXPECT_FALSE(gap.IsBottomDivergence(199, 1, 0));
    // The earlier extreme must lie 5 to 30 bars back.
    struct Case { int back; bool extreme; };
    for (Case c : {Case{4, false}, Case{5, true}, Case{30, true}, Case{31, false}}) {
        Scripted e(&s);
        for (int i = 0; i < 200; ++i) e.values[i] = 0;
        e.values[199 - c.back] = -5;
        e.values[199] = -6;
        e.PrepareCache(0, 199, false);
        EXPECT_EQ(e.IsNewExtreme(199, false, 115, 1, 0), c.extreme) << c.back;
    }
}

}  // namespace
