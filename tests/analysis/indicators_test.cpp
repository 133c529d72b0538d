// Each indicator against a plain loop written from its formulas, on series of several lengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "analysis/techs.h"
#include "series.h"

namespace {

const int kLengths[] = {0, 1, 5, 19, 30, 150, 400};
constexpr double kSentinel = 12345.5;

// Runs the class and the reference over every bar (and one past the end) of each length. Where
// the reference has no value the class must fail and leave its outputs untouched.
void CompareAll(const char* name, int lines,
                const std::function<bool(CKData&, int, double*)>& ours,
                const std::function<bool(const CKData&, int, double*)>& reference, double tolerance = 1e-9) {
    for (int n : kLengths) {
        CKData k;
        MakeWalk(k, n, 11 + n);
        for (int i = 0; i <= n; ++i) {
            double got[6], want[6];
            std::fill(got, got + 6, kSentinel);
            bool ok = reference(k, i, want) && i < n;
            ASSERT_EQ(ours(k, i, got), ok) << name << " length " << n << " bar " << i;
            for (int l = 0; l < lines; ++l) {
                if (ok)
                    ASSERT_NEAR(got[l], want[l], tolerance * std::max(1.0, std::fabs(want[l])))
                        << name << " line " << l + 1 << " length " << n << " bar " << i;
                else
                    ASSERT_EQ(got[l], kSentinel) << name << " length " << n << " bar " << i;
            }
        }
    }
}

double Price(const CKData& k, int i) { return k[i].close; }

bool RefSMA(const CKData& k, int i, int n, double* out) {
    if (i < 0 || i >= k.GetSize() || n < 1 || i + 1 < n) return false;
    double s = 0;
    for (int t = i - n + 1; t <= i; ++t) s += Price(k, t);
    *out = s / n;
    return true;
}

bool RefEMA(const CKData& k, int i, int n, double* out) {
    if (i < 0 || i >= k.GetSize() || i + 1 < n) return false;
    double e = Price(k, 0);
    for (int t = 1; t <= i; ++t) e = (2 * Price(k, t) + (n - 1) * e) / (n + 1);
    *out = e;
    return true;
}

TEST(Indicators, MovingAverages) {
    for (int days : {1, 5, 20}) {
        CompareAll("MA", 1, [days](CKData& k, int i, double* o) {
            CMA ma;
            ma.SetKData(&k);
            return ma.Calculate(o, i, days, false);
        }, [days](const CKData& k, int i, double* o) { return RefSMA(k, i, days, o); });
        CompareAll("EMA", 1, [days](CKData& k, int i, double* o) {
            CMA ma;
            ma.m_ints[CMA::kType] = CMA::typeExponential;
            ma.SetKData(&k);
            return ma.Calculate(o, i, days, false);
        }, [days](const CKData& k, int i, double* o) { return RefEMA(k, i, days, o); });
    }
    // Continued runs agree with full runs.
    CKData k;
    MakeWalk(k, 500);
    for (int type : {1, 2}) {
        CMA ma;
        ma.m_ints[CMA::kType] = type;
        ma.SetKData(&k);
        double v = 0, full = 0;
        bool prev = false;
        for (int i = 0; i < 500; ++i) {
            if (!ma.Calculate(&v, i, 10, prev)) continue;
            prev = true;
            ASSERT_TRUE(ma.Calculate(&full, i, 10, false));
            ASSERT_NEAR(v, full, 1e-9) << type << " " << i;
        }
    }
    // Exponential with one day is the price.
    CMA ma;
    ma.m_ints[CMA::kType] = CMA::typeExponential;
    ma.SetKData(&k);
    double v;
    ASSERT_TRUE(ma.Calculate(&v, 77, 1, false));
    EXPECT_EQ(v, Price(k, 77));
}

TEST(Indicators, BBIAndBOLLAndPV) {
    CompareAll("BBI", 1, [](CKData& k, int i, double* o) {
        CBBI t;
        t.SetKData(&k);
        return t.Calculate(o, i, false);
    }, [](const CKData& k, int i, double* o) {
        double a, b, c, d;
        if (!RefSMA(k, i, 3, &a) || !RefSMA(k, i, 6, &b) || !RefSMA(k, i, 12, &c) || !RefSMA(k, i, 24, &d)) return false;
        *o = (a + b + c + d) / 4;
        return true;
    });
    CompareAll("BOLL", 3, [](CKData& k, int i, double* o) {
        CBOLL t;
        t.SetKData(&k);
        return t.Calculate(&o[0], &o[1], &o[2], i, false);
    }, [](const CKData& k, int i, double* o) {
        const int n = 20;
        if (i < 0 || i >= k.GetSize() || i + 1 < n) return false;
        double m = 0;
        for (int t = i - n + 1; t <= i; ++t) m += Price(k, t) / n;
        double ss = 0;
        for (int t = i - n + 1; t <= i; ++t) ss += (Price(k, t) - m) * (Price(k, t) - m);
        double s = std::sqrt(ss / (n - 1));
        o[0] = m, o[1] = m + 2 * s, o[2] = m - 2 * s;
        return true;
    }, 1e-8);
    CompareAll("PV", 1, [](CKData& k, int i, double* o) {
        CPV t;
        t.SetKData(&k);
        return t.Calculate(o, i, false);
    }, [](const CKData& k, int i, double* o) {
        if (i < 0 || i >= k.GetSize() || k[i].volume <= 0.0001 || k[i].amount <= 0.0001) return false;
        double v = double(k[i].amount) / k[i].volume;
        int steps = 0;
        for (; v < k[i].low && steps < 10; ++steps) v *= 10;
        for (; v > k[i].high && steps < 20; ++steps) v /= 10;
        *o = v < k[i].low ? (double(k[i].open) + k[i].high + k[i].low + k[i].close) / 4 : v;
        return true;
    });
    // Corner values: a flat series.
    CKData flat;
    MakeCloses(flat, std::vector<double>(30, 7.5));
    CBOLL boll;
    boll.SetKData(&flat);
    double m, u, d;
    ASSERT_TRUE(boll.Calculate(&m, &u, &d, 29, false));
    EXPECT_NEAR(m, 7.5, 1e-12);
    EXPECT_NEAR(u, 7.5, 1e-12);
    EXPECT_NEAR(d, 7.5, 1e-12);
    boll.m_ints[CBOLL::kDays] = 1;
    boll.SetKData(&flat);
    EXPECT_FALSE(boll.Calculate(&m, &u, &d, 29, false));
    CKData one;
    one.Add(MakeBar(9, 12, 8, 11, 100000, 1000000));
    CPV pv;
    pv.SetKData(&one);
    double v;
    ASSERT_TRUE(pv.Calculate(&v, 0, false));
    EXPECT_NEAR(v, 10, 1e-9);
    one[0].volume = 0;
    pv.SetKData(&one);
    EXPECT_FALSE(pv.Calculate(&v, 0, false));
}

// SAR from the step rule, run from bar 0.
bool RefSAR(const CKData& k, int index, double* out) {
    const int days = 4;
    const double step = 0.02, maxA = 0.2;
    if (index < 0 || index >= k.GetSize() || index + 1 < days) return false;
    bool have = false, rising = true, pending = false;
    double a = step, hh = -1, ll = -1, sar = 0;
    for (int t = days - 1; t <= index; ++t) {
        if (have && !pending) {
            double h = k[t - 1].high, l = k[t - 1].low;
            if (rising) {
                sar += a * (h - sar);
                if (h > hh) hh = h, a = std::min(a + step, maxA);
                pending = k[t].low < sar;
            } else {
                sar -= (sar - l) * a;
                if (l < ll) ll = l, a = std::min(a + step, maxA);
                pending = k[t].high > sar;
            }
        } else {
            hh = k[t].high, ll = k[t].low;
            for (int j = t - days + 1; j <= t; ++j) hh = std::max(hh, double(k[j].high)), ll = std::min(ll, double(k[j].low));
            rising = have && pending ? !rising : true;
            pending = false;
            a = step;
            sar = rising ? ll : hh;
            have = true;
        }
    }
    *out = sar;
    return true;
}

TEST(Indicators, SAR) {
    CompareAll("SAR", 1, [](CKData& k, int i, double* o) {
        CSAR t;
        t.SetKData(&k);
        return t.Calculate(o, i, false);
    }, RefSAR);
    // Asked in any order, with and without continuation, the values stay those of the full run.
    CKData k;
    MakeWalk(k, 200, 3);
    CSAR t;
    t.SetKData(&k);
    for (int i : {150, 20, 151, 199, 3, 4}) {
        double v, want;
        ASSERT_TRUE(t.Calculate(&v, i, false));
        ASSERT_TRUE(RefSAR(k, i, &want));
        EXPECT_NEAR(v, want, 1e-9) << i;
    }
    CSAR walk;
    walk.SetKData(&k);
    double v = 0;
    bool prev = false;
    for (int i = 0; i < 200; ++i) {
        if (!walk.Calculate(&v, i, prev)) continue;
        prev = true;
        double want;
        ASSERT_TRUE(RefSAR(k, i, &want));
        ASSERT_NEAR(v, want, 1e-9) << i;
    }
}

TEST(Indicators, SARSignalAndIntensity) {
    // A rising run; bar 8's low breaks the SAR.
    std::vector<KDATA> bars;
    for (int i = 0; i < 8; ++i) bars.push_back(MakeBar(10 + i, 10.5f + i, 9.5f + i, 10.2f + i));
    bars.push_back(MakeBar(17, 17.2f, 5, 6));
    bars.push_back(MakeBar(6, 7, 5, 6.5f));
    bars.push_back(MakeBar(6.5f, 7, 6, 6.2f));
    CKData k;
    for (const KDATA& b : bars) k.Add(b);
    CSAR t;
    t.SetKData(&k);
    int r = 0;
    EXPECT_EQ(t.GetSignal(7, &r), 0);
    EXPECT_EQ(t.GetSignal(8, &r), -10);
    EXPECT_EQ(r, reasonBearTrend);
    double v;
    ASSERT_TRUE(t.Calculate(&v, 9, false));
    EXPECT_EQ(v, 17.5);  // restarts falling at the highest high of bars 6..9
    // The signal no longer wipes the remembered intensity.
    t.ClearLastIntensity();
    EXPECT_EQ(t.GetIntensity(8, &r, false), -10);
    EXPECT_EQ(t.GetIntensity(9, &r, false), -9);
    EXPECT_EQ(t.GetIntensity(10, &r, false), -8);
    EXPECT_EQ(r, reasonBearTrend);
}

// MACD with the EMAs run from bar 0.
void RefMACDRun(const CKData& k, int from, int to, int ns, int nl, int ng, double* o) {
    double es = Price(k, from), el = es, dea = 0;
    for (int t = from; t <= to; ++t) {
        double p = Price(k, t);
        el = (2 * p + (nl - 1) * el) / (nl + 1);
        es = (2 * p + (ns - 1) * es) / (ns + 1);
        dea = ((ng - 1) * dea + 2 * (es - el)) / (ng + 1);
    }
    o[0] = es, o[1] = el, o[2] = es - el, o[3] = dea;
}

TEST(Indicators, MACD) {
    // A fresh object computes each bar from the 90 bars before it.
    CompareAll("MACD", 4, [](CKData& k, int i, double* o) {
        CMACD t;
        t.SetKData(&k);
        return t.Calculate(&o[0], &o[1], &o[2], &o[3], i, false);
    }, [](const CKData& k, int i, double* o) {
        if (i < 25 || i >= k.GetSize()) return false;
        RefMACDRun(k, std::max(0, i - 89), i, 12, 26, 9, o);
        return true;
    });
    // The cached walk continues from bar 25 and agrees with a run from there.
    CKData k;
    MakeWalk(k, 400, 5);
    CMACD t;
    t.SetKData(&k);
    ASSERT_TRUE(t.PrepareCache(0, -1, false));
    double first[4];
    RefMACDRun(k, 25 - 89 < 0 ? 0 : 0, 25, 12, 26, 9, first);
    for (int i = 25; i < 400; ++i) {
        double want[4], got[4];
        RefMACDRun(k, 0, i, 12, 26, 9, want);
        ASSERT_TRUE(t.Calculate(&got[0], &got[1], &got[2], &got[3], i, false));
        for (int l = 0; l < 4; ++l) ASSERT_NEAR(got[l], want[l], 1e-9) << i;
    }
    // Uncached full computations stay close to the continued ones, also with a long signal
    // average (the warm-up counts the signal days).
    for (int sig : {9, 100}) {
        CMACD cont, full;
        cont.m_ints[CMACD::kShort] = full.m_ints[CMACD::kShort] = 2;
        cont.m_ints[CMACD::kLong] = full.m_ints[CMACD::kLong] = 3;
        cont.m_ints[CMACD::kSignal] = full.m_ints[CMACD::kSignal] = sig;
        cont.SetKData(&k);
        full.SetKData(&k);
        ASSERT_TRUE(cont.PrepareCache(0, -1, false));
        for (int i = 300; i < 400; i += 7) {
            double a[4], b[4];
            ASSERT_TRUE(cont.Calculate(&a[0], &a[1], &a[2], &a[3], i, false));
            ASSERT_TRUE(full.Calculate(&b[0], &b[1], &b[2], &b[3], i, false));
            full.Clear();
            EXPECT_NEAR(a[3], b[3], 0.002 * std::max(1.0, std::fabs(a[3]))) << sig << " " << i;
        }
    }
    CMACD d;
    EXPECT_EQ(d.WarmUpBars(), 90);
    // Constant price and all-ones give zero lines.
    CKData flat;
    MakeCloses(flat, std::vector<double>(60, 8));
    CMACD c;
    c.SetKData(&flat);
    double o[4];
    ASSERT_TRUE(c.Calculate(&o[0], &o[1], &o[2], &o[3], 40, false));
    EXPECT_NEAR(o[2], 0, 1e-12);
    EXPECT_NEAR(o[3], 0, 1e-12);
    c.m_ints[CMACD::kShort] = c.m_ints[CMACD::kLong] = c.m_ints[CMACD::kSignal] = 1;
    c.SetKData(&k);
    ASSERT_TRUE(c.Calculate(&o[0], &o[1], &o[2], &o[3], 40, false));
    EXPECT_EQ(o[0], Price(k, 40));
    EXPECT_EQ(o[2], 0);
    EXPECT_EQ(o[3], 0);
    // Range without any computed bar.
    CKData few;
    MakeWalk(few, 10);
    CMACD r;
    r.SetKData(&few);
    double mn, mx;
    EXPECT_TRUE(r.GetMinMaxInfo(0, 9, &mn, &mx));
    EXPECT_EQ(mn, -0.01);
    EXPECT_EQ(mx, 0.04);
}

TEST(Indicators, MACDSignal) {
    // Flat at 100, a fast drop to 80 (bars 250-259), a rise to 86 and a slow fall to a new low.
    std::vector<double> p(250, 100);
    for (int i = 1; i <= 10; ++i) p.push_back(100 - 2 * i);
    for (int i = 1; i <= 10; ++i) p.push_back(80 + 0.6 * i);
    for (int i = 1; i <= 10; ++i) p.push_back(86 - 0.61 * i);
    CKData k;
    MakeCloses(k, p);
    CMACD t;
    t.SetKData(&k);
    int r = 0;
    EXPECT_EQ(t.GetSignal(145, &r), 0);
    EXPECT_EQ(r, reasonNone);
    struct Case { int bar, signal, reason; };
    // 279: a new price low with DIF above its low of bar 259 beats the zone rule.
    // 200: a flat stretch lies in the low zone of its own (flat) range; 256: DIF below the low
    // level, DEA not yet; 262: both below; 270: DIF back above; 279: the divergence.
    const Case cases[] = {{200, 10, 4}, {256, 0, 1}, {262, 10, 4}, {270, 0, 1}, {279, 15, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(t.GetSignal(c.bar, &r), c.signal) << c.bar;
        EXPECT_EQ(r, c.reason) << c.bar;
    }
    // Intensity over a walk: the zone signals hold at 10, then fade from 269's 10.
    t.ClearLastIntensity();
    const int walk[] = {10, 10, 10, 10, 10, 10, 10, 10, 9, 8, 7, 6, 5, 4, 3, 2, 15};
    for (int i = 262; i <= 279; ++i) {
        if (i - 262 < 8) {
            EXPECT_EQ(t.GetIntensity(i, &r, false), walk[i - 262]) << i;
        } else if (i < 279) {
            EXPECT_EQ(t.GetIntensity(i, &r, false), 10 - (i - 269)) << i;
            EXPECT_EQ(r, reasonGoldenCross);
        } else {
            EXPECT_EQ(t.GetIntensity(i, &r, false), 15);
            EXPECT_EQ(r, reasonBottomDivergence);
        }
    }
}

TEST(Indicators, MACDDivergenceBeatsZone) {
    // After the drop, a short rise to 81.2 and a fall to 79.9 over 8 bars: DIF and DEA both lie
    // below the low level, and the price's new low with DIF above its earlier low is a divergence.
    std::vector<double> p(250, 100);
    for (int i = 1; i <= 10; ++i) p.push_back(100 - 2 * i);
    for (int i = 1; i <= 2; ++i) p.push_back(80 + 0.6 * i);
    const double top = p.back();
    for (int i = 1; i <= 8; ++i) p.push_back(top - (top - 79.9) * i / 8);
    CKData k;
    MakeCloses(k, p);
    CMACD t;
    t.SetKData(&k);
    int r = 0;
    double dif, dea, lo, hi;
    ASSERT_TRUE(t.Calculate(nullptr, nullptr, &dif, &dea, 269, false));
    ASSERT_TRUE(t.GetRangeLevels(269, &r, 26, 120, &lo, &hi, 0.309, 0.682));
    EXPECT_LT(dif, lo);
    EXPECT_LT(dea, lo);
    EXPECT_EQ(t.GetSignal(269, &r), 15);
    EXPECT_EQ(r, reasonBottomDivergence);
}

// The one-pass range walks give what bar-by-bar computation gives.
TEST(Indicators, RangeWalksAgreeWithCalculate) {
    CKData k;
    MakeWalk(k, 300, 9);
    for (int type : {1, 2}) {
        CMA ma;
        ma.m_ints[CMA::kType] = type;
        ma.SetKData(&k);
        double a, b, c, d;
        ASSERT_TRUE(ma.GetMinMaxInfo(3, 250, &a, &b));
        ASSERT_TRUE(CTechnique::GetMinMaxInfoMA(3, 250, &c, &d, &ma, ma.m_days));
        EXPECT_NEAR(a, c, 1e-9);
        EXPECT_NEAR(b, d, 1e-9);
    }
    CBOLL walk, single;
    walk.SetKData(&k);
    single.SetKData(&k);
    double a, b, c, d;
    int lb, hb, lc, hc;
    ASSERT_TRUE(walk.GetMinMaxInfo(0, 299, &a, &b, &lb, &hb));
    ASSERT_TRUE(single.GetMinMaxInfo3(0, 299, &c, &d, &lc, &hc));
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
    EXPECT_EQ(lb, lc);
    EXPECT_EQ(hb, hc);
    for (int i = 19; i < 300; i += 13) {
        double m1, m2;
        ASSERT_TRUE(walk.GetCached(1, i, &m1));
        CBOLL fresh;
        fresh.SetKData(&k);
        ASSERT_TRUE(fresh.Calculate(&m2, nullptr, nullptr, i, false));
        EXPECT_EQ(m1, m2);
    }
    // One-line classes: over a range whose bars are partly cached already (and with bars that
    // have no value), the walk gives the bar-by-bar range, caches each bar's Calculate value and
    // leaves the bars without one uncached.
    CKData gaps;
    MakeWalk(gaps, 300, 9);
    for (int i = 40; i < 300; i += 29) gaps[i].volume = 0;
    struct OneLine {
        const char* name;
        std::function<std::unique_ptr<CTechnique>()> make;
    };
    const OneLine lines[] = {{"BBI", [] { return std::unique_ptr<CTechnique>(new CBBI); }},
                             {"PV", [] { return std::unique_ptr<CTechnique>(new CPV); }}};
    for (const OneLine& line : lines) {
        SCOPED_TRACE(line.name);
        auto walked = line.make(), alone = line.make(), fresh = line.make();
        walked->SetKData(&gaps);
        alone->SetKData(&gaps);
        fresh->SetKData(&gaps);
        double v;
        for (int i : {30, 31, 100, 200}) walked->Calculate(&v, i, false);
        ASSERT_TRUE(walked->GetMinMaxInfo(10, 280, &a, &b));
        ASSERT_TRUE(alone->GetMinMaxInfo1(10, 280, &c, &d));
        EXPECT_EQ(a, c);
        EXPECT_EQ(b, d);
        for (int i = 0; i < 300; ++i) {
            double got, want;
            const bool has = fresh->Calculate(&want, i, false);
            ASSERT_EQ(walked->GetCached(1, i, &got), has && i >= 10 && i <= 280) << i;
            if (has && i >= 10 && i <= 280) {
                EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << i;
            }
        }
    }
}

TEST(Indicators, MIKEAndPSY) {
    CompareAll("MIKE", 6, [](CKData& k, int i, double* o) {
        CMIKE t;
        t.SetKData(&k);
        return t.Calculate(&o[0], &o[1], &o[2], &o[3], &o[4], &o[5], i);
    }, [](const CKData& k, int i, double* o) {
        const int n = 12;
        if (i < 0 || i >= k.GetSize() || i + 1 < 2 * n) return false;
        float typ = (k[i].high + k[i].low + k[i].close) / 3;
        float ln = 1e30f, hn = -1e30f, l2 = 1e30f, h2 = -1e30f;
        for (int t = i - 2 * n + 1; t <= i; ++t) {
            l2 = std::min(l2, k[t].low), h2 = std::max(h2, k[t].high);
            if (t > i - n) ln = std::min(ln, k[t].low), hn = std::max(hn, k[t].high);
        }
        float v[6] = {typ + (typ - ln), typ + (hn - ln), typ + (h2 - ln), typ - (hn - typ), typ - (hn - ln), typ - (hn - l2)};
        for (int j = 0; j < 6; ++j) o[j] = v[j];
        return true;
    }, 0);
    CompareAll("PSY", 1, [](CKData& k, int i, double* o) {
        CPSY t;
        t.SetKData(&k);
        return t.Calculate(o, i, false);
    }, [](const CKData& k, int i, double* o) {
        if (i < 12 || i >= k.GetSize()) return false;
        int up = 0;
        for (int t = i - 11; t <= i; ++t) up += Price(k, t) > Price(k, t - 1);
        *o = up * 100.0 / 12;
        return true;
    });
    // Signal table: 3 rises in 12 bars gives 25.
    struct Case { std::vector<int> moves; int signal, reason; };
    auto series = [](const std::vector<int>& moves) {
        std::vector<double> p{50};
        for (int m : moves) p.push_back(p.back() + m);
        return p;
    };
    // 13 moves: PSY(12) at bar 12 over moves 1..12, at bar 11 over moves 0..11.
    const Case cases[] = {
        {{1, 1, -1, -1, -1, -1, -1, -1, -1, -1, 1, -1, 1}, 10, 9},   // 20 -> 25: oversold and rising
        {{1, 1, 1, 1, -1, -1, -1, -1, -1, -1, 1, -1, -1}, 0, 1},     // 33 -> 25 is falling
        {{-1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, 1, -1}, -10, 8},       // 83 -> 75: overbought and falling
    };
    for (const Case& c : cases) {
        CKData k;
        MakeCloses(k, series(c.moves));
        CPSY t;
        t.SetKData(&k);
        int r = 0;
        EXPECT_EQ(t.GetSignal(13, &r), c.signal);
        EXPECT_EQ(r, c.reason);
    }
    CKData k;
    MakeWalk(k, 20);
    CPSY t;
    t.SetKData(&k);
    double mn, mx;
    EXPECT_TRUE(t.GetMinMaxInfo(0, 19, &mn, &mx));
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 100);
}

TEST(Indicators, Volume) {
    for (int days : {5, 10, 7}) {
        CompareAll("VOLUME", 1, [days](CKData& k, int i, double* o) {
            CVOLUME t;
            t.SetKData(&k);
            return t.Calculate(o, i, days, false);
        }, [days](const CKData& k, int i, double* o) {
            if (i < 0 || i >= k.GetSize() || i + 1 < days) return false;
            double s = 0;
            for (int t = i - days + 1; t <= i; ++t) s += k[t].volume;
            *o = s / days;
            return true;
        });
    }
    // Each day count keeps its own cache line: 10 days never reads the 5-day value.
    CKData k;
    MakeWalk(k, 50);
    CVOLUME t;
    t.SetKData(&k);
    double a, b;
    ASSERT_TRUE(t.Calculate(&a, 30, 5, false));
    ASSERT_TRUE(t.Calculate(&b, 30, 10, false));
    EXPECT_NE(a, b);
    ASSERT_TRUE(t.Calculate(&b, 30, 10, false));
    double s = 0;
    for (int i = 21; i <= 30; ++i) s += k[i].volume;
    EXPECT_NEAR(b, s / 10, 1e-9);
    // An empty day list is invalid and gets 5, 10.
    t.m_days.RemoveAll();
    EXPECT_FALSE(t.IsValidParameters());
    ASSERT_TRUE(t.Calculate(&a, 30, 5, false));
    EXPECT_EQ(t.m_days.GetSize(), 2);
    // Rising volumes are a bull arrangement; at a new price low it turns into a divergence.
    std::vector<double> p(200, 50);
    p[180] = 30;
    for (int i = 181; i < 199; ++i) p[i] = 40;
    p[199] = 29;
    CKData v;
    MakeCloses(v, p);
    for (int i = 0; i < 200; ++i) v[i].volume = float(100 + i * i);
    CVOLUME vol;
    vol.SetKData(&v);
    int r;
    EXPECT_EQ(vol.GetSignal(198, &r), 10);
    EXPECT_EQ(r, reasonBullTrend);
    EXPECT_EQ(vol.GetSignal(199, &r), 15);
    EXPECT_EQ(r, reasonBottomDivergence);
    vol.m_ints[CVOLUME::kTrendBuy] = 7;  // changed trend levels still turn into a divergence
    EXPECT_EQ(vol.GetSignal(199, &r), 15);
}

TEST(Indicators, OverlaySignals) {
    // BOLL: a close below the lower band is support, above the upper band resistance.
    std::vector<double> p(40, 10);
    for (int i = 0; i < 40; ++i) p[i] += (i % 2) * 0.1;
    p.push_back(9);
    p.push_back(11);
    p.push_back(10.05);
    CKData k;
    MakeCloses(k, p);
    CBOLL boll;
    boll.SetKData(&k);
    struct Case { int bar, signal, reason; };
    for (const Case& c : {Case{40, 10, 10}, Case{41, -10, 11}, Case{42, 0, 1}, Case{5, 0, 1}}) {
        int r = 0;
        EXPECT_EQ(boll.GetSignal(c.bar, &r), c.signal) << c.bar;
        EXPECT_EQ(r, c.reason) << c.bar;
    }
    // BBI: needs 120 bars of price range; a sharp fall under the low level is a buy.
    std::vector<double> q(160, 20);
    for (int i = 0; i < 160; ++i) q[i] = 20 + 5 * std::sin(i * 0.3);
    CKData b;
    MakeCloses(b, q);
    CBBI bbi;
    bbi.SetKData(&b);
    int r = 0;
    EXPECT_EQ(bbi.GetSignal(119, &r), 0);
    int buys = 0, sells = 0;
    for (int i = 120; i < 160; ++i) {
        int s = bbi.GetSignal(i, &r);
        buys += s == 10 && r == reasonGoldenCross;
        sells += s == -10 && r == reasonDeadCross;
        if (s == 0) {
            EXPECT_EQ(r, reasonNone);
        }
    }
    EXPECT_GT(buys + sells, 0);
}

TEST(Indicators, KLineRange) {
    struct Case { float low, high, min, max; };
    const Case cases[] = {{5, 9, 4.75f, 9.45f}, {50, 90, 48.5f, 92.7f}, {500, 900, 490, 918}, {5000, 9000, 4950, 9090},
                          {0.01f, 0.011f, 0.0095f, 0.0395f}};
    for (const Case& c : cases) {
        CKData k;
        k.Add(MakeBar(c.low, c.high, c.low, c.high));
        k.Add(MakeBar(c.low, c.low, c.low, c.low));
        CKLine line(&k);
        double mn, mx;
        int a, b;
        ASSERT_TRUE(line.GetMinMaxInfo(0, 1, &mn, &mx, &a, &b));
        EXPECT_NEAR(mn, c.min, 1e-4 * c.max);
        EXPECT_NEAR(mx, c.max, 1e-4 * c.max);
        EXPECT_EQ(a, 0);
        EXPECT_EQ(b, 0);
        EXPECT_FALSE(line.GetMinMaxInfo(1, 0, &mn, &mx));
        EXPECT_FALSE(line.GetMinMaxInfo(0, 2, &mn, &mx));
    }
}

}  // namespace
