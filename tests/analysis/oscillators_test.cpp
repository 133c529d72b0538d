// The range, channel, volatility and price oscillators against plain loops written from their
// formulas, and their edge cases.
#include "reference.h"

#include <limits>

#include "analysis/techs_price.h"

namespace {

using namespace ref;

bool In(const CKData& k, int i) { return i >= 0 && i < k.GetSize(); }
double H(const CKData& k, int i) { return k[i].high; }
double L(const CKData& k, int i) { return k[i].low; }
double C(const CKData& k, int i) { return k[i].close; }
double O(const CKData& k, int i) { return k[i].open; }

bool RefREI(const CKData& k, int i, double* o) {
    const int n = 8;
    if (!In(k, i) || i < n + 7) return false;
    double s = 0, t = 0;
    for (int b = i - n + 1; b <= i; ++b) {
        const double dh = H(k, b) - H(k, b - 2), dl = L(k, b) - L(k, b - 2);
        const bool up = C(k, b - 7) > H(k, b - 2) && C(k, b - 8) > H(k, b - 2) && L(k, b - 5) > H(k, b) &&
                        L(k, b - 6) > H(k, b);
        const bool down = C(k, b - 7) < L(k, b - 2) && C(k, b - 8) < L(k, b - 2) && H(k, b - 5) < L(k, b) &&
                          H(k, b - 6) < L(k, b);
        s += (up || down ? 0 : 1) * (dh + dl);
        t += std::fabs(dh) + std::fabs(dl);
    }
    if (std::fabs(t) < 0.0001) return false;
    *o = s / t;
    return true;
}

bool RefDMKI(const CKData& k, int i, double* o) {
    const int n = 13;
    if (!In(k, i) || i < n) return false;
    double u = 0, d = 0;
    for (int b = i - n + 1; b <= i; ++b) u += std::max(H(k, b) - H(k, b - 1), 0.0), d += std::max(L(k, b - 1) - L(k, b), 0.0);
    if (std::fabs(u + d) < 0.0001) return false;
    *o = u / (u + d);
    return true;
}

bool RefPCNT(const CKData& k, int i, double* o) {
    if (!In(k, i) || i < 1 || !(P(k, i) > 0) || !(P(k, i - 1) > 0)) return false;
    *o = (P(k, i) - P(k, i - 1)) * 100 / P(k, i - 1);
    return true;
}

bool RefHLC(const CKData& k, int i, double* o) {
    if (!In(k, i) || i + 1 < 12) return false;
    double s = 0;
    for (int b = i - 11; b <= i; ++b) s += (H(k, b) + L(k, b) + 2 * C(k, b)) / 4;
    *o = s / 12;
    return true;
}

// The swing index as this program defines it (the formula is the implementer's choice).
bool RefSwing(const CKData& k, int t, double* si) {
    const double a = std::fabs(H(k, t) - C(k, t - 1)), b = std::fabs(L(k, t) - C(k, t - 1));
    const double c = std::fabs(H(k, t) - L(k, t - 1)), d = std::fabs(C(k, t - 1) - O(k, t - 1));
    const double e = C(k, t) - O(k, t);
    if (a < 0.0001 || b < 0.0001 || d < 0.0001 || std::fabs(e) < 0.0001) return false;
    const double r = a >= b && a >= c ? a + b / 2 + d / 4 : b >= a && b >= c ? b + a / 2 + d / 4 : c + d / 4;
    *si = 50 * ((C(k, t) - C(k, t - 1)) + e / 2 + (C(k, t - 1) - O(k, t - 1))) / (3 * r);
    return true;
}

bool RefASI(const CKData& k, int i, double* o) {
    const int n = 6;
    if (!In(k, i) || i < n) return false;
    double s = 0;
    int got = 0;
    for (int t = i; t >= 1 && t > i - 5 * n && got < n; --t) {
        double si;
        if (RefSwing(k, t, &si)) s += si, ++got;
    }
    if (got < n) return false;
    *o = s;
    return true;
}

bool RefATR(const CKData& k, int i, double* o) {
    const int n = 14;
    if (!In(k, i) || i < n) return false;
    double s = 0;
    for (int b = i - n + 1; b <= i; ++b)
        s += std::max(H(k, b) - L(k, b), std::max(std::fabs(H(k, b) - C(k, b - 1)), std::fabs(L(k, b) - C(k, b - 1))));
    *o = s / n;
    return true;
}

bool RefCV(const CKData& k, int i, double* o) {
    const int n = 10, m = 10;
    if (!In(k, i) || i + 2 < n + m) return false;
    auto a = [&k](int t) {
        double s = 0;
        for (int b = t - 9; b <= t; ++b) s += H(k, b) - L(k, b);
        return s / 10;
    };
    const double then = a(i - m + 1);
    if (std::fabs(then) < 0.0001) return false;
    *o = (a(i) - then) * 100 / then;
    return true;
}

bool RefARBR(const CKData& k, int i, double* o) {
    const int n = 26;
    if (!In(k, i) || i < n) return false;
    double ho = 0, ol = 0, hc = 0, cl = 0;
    for (int b = i - n + 1; b <= i; ++b) {
        ho += H(k, b) - O(k, b), ol += O(k, b) - L(k, b);
        hc += std::max(H(k, b) - C(k, b - 1), 0.0), cl += std::max(C(k, b - 1) - L(k, b), 0.0);
    }
    if (ol < 0.0001 || cl < 0.0001) return false;
    o[0] = ho * 100 / ol, o[1] = hc * 100 / cl;
    return true;
}

bool RefCRValue(const CKData& k, int i, double* o) {
    const int n = 26;
    if (i < n) return false;
    double u = 0, d = 0;
    for (int b = i - n + 1; b <= i; ++b) {
        const double mid = (H(k, b - 1) + L(k, b - 1) + O(k, b - 1) + C(k, b - 1)) / 4;
        u += std::max(H(k, b) - mid, 0.0), d += std::max(mid - L(k, b), 0.0);
    }
    if (d < 0.0001) return false;
    *o = u * 100 / d;
    return true;
}

bool RefCR(const CKData& k, int i, double* o) {
    const int m[4] = {10, 20, 40, 62};
    if (!In(k, i) || i + 1 < 26 + 62 || !RefCRValue(k, i, &o[0])) return false;
    std::vector<double> values;
    for (int t = i; t >= 26 && t > i - 4 * 62 && values.size() < 62; --t) {
        double x;
        if (RefCRValue(k, t, &x)) values.push_back(x);
    }
    if (values.size() < 62) return false;
    for (int j = 0; j < 4; ++j) {
        double s = 0;
        for (int t = 0; t < m[j]; ++t) s += values[size_t(t)];
        o[1 + j] = s / m[j];
    }
    return true;
}

bool RefOSC(const CKData& k, int i, int n, double* o) {
    if (!In(k, i) || i + 1 < n || Sma(k, i, n) < 0.0001) return false;
    *o = P(k, i) / Sma(k, i, n);
    return true;
}

bool RefKST(const CKData& k, int i, const std::vector<int>& days, double* o) {
    if (!In(k, i)) return false;
    double s = 0, w = 0;
    for (size_t j = 0; j < days.size(); ++j) {
        if (i < days[j] || !(P(k, i) > 0) || !(P(k, i - days[j]) > 0)) return false;
        s += (j + 1) * (P(k, i) - P(k, i - days[j])) * 100 / P(k, i - days[j]);
        w += j + 1;
    }
    *o = s / w;
    return true;
}

TEST(RangeIndicators, AgainstPlainLoops) {
    const Case cases[] = {
        {"REI", 1, Make<CREI>(), Lines(1), RefREI, nullptr, 1e-9},
        {"DMKI", 1, Make<CDMKI>(), Lines(1), RefDMKI, nullptr, 1e-9},
        {"PCNT", 2, Make<CPCNT>(), Lines(2), Averaged(RefPCNT, 6), nullptr, 1e-9},
        {"HLC", 2, Make<CHLC>(), Lines(2), Averaged(RefHLC, 6), nullptr, 1e-9},
        {"CDP", 4, Make<CCDP>(), Lines(4),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i < 1) return false;
             const double h = H(k, i - 1), l = L(k, i - 1), c = C(k, i - 1), cdp = (h + l + 2 * c) / 4;
             o[0] = cdp + h - l, o[1] = 2 * cdp - l, o[2] = cdp - (h - l), o[3] = 2 * cdp - h;
             return true;
         },
         nullptr, 1e-12},
        {"ASI", 1, Make<CASI>(), Lines(1), RefASI, nullptr, 1e-9},
        {"ATR", 1, Make<CATR>(), Lines(1), RefATR, nullptr, 1e-9},
    };
    for (const Case& c : cases) {
        Check(c);
        if (HasFatalFailure()) return;
    }
}

TEST(PriceOscillators, AgainstPlainLoops) {
    const std::vector<int> kst = {9, 12, 18, 24};
    const Case cases[] = {
        {"CV", 1, Make<CCV>(), Lines(1), RefCV, nullptr, 1e-9},
        {"ARBR", 2, Make<CARBR>(), Lines(2), RefARBR, nullptr, 1e-9},
        {"CR", 5, Make<CCR>(), Lines(5), RefCR, nullptr, 1e-9},
        {"OSC", 2, Make<COSC>(), Lines(2),
         Averaged([](const CKData& k, int i, double* o) { return RefOSC(k, i, 10, o); }, 6), nullptr, 1e-9},
        {"UOS", 2, Make<CUOS>(), Lines(2),
         Averaged(
             [](const CKData& k, int i, double* o) {
                 double a, b, c;
                 if (!RefOSC(k, i, 7, &a) || !RefOSC(k, i, 14, &b) || !RefOSC(k, i, 28, &c)) return false;
                 *o = (a + b + c) / 3;
                 return true;
             },
             6),
         nullptr, 1e-9},
        {"MAOSC", 2, Make<CMAOSC>(), Lines(2),
         Averaged(
             [](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i + 1 < 12) return false;
                 *o = Sma(k, i, 6) - Sma(k, i, 12);
                 return true;
             },
             6),
         nullptr, 1e-9},
        {"36BIAS", 1, Make<C36BIAS>(), Lines(1),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i < 5) return false;
             *o = Sma(k, i, 3) - Sma(k, i, 6);
             return true;
         },
         nullptr, 1e-9},
        {"DPO", 2, Make<CDPO>(), Lines(2),
         Averaged(
             [](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i < 28) return false;
                 *o = P(k, i) - Sma(k, i - 9, 20);
                 return true;
             },
             6),
         nullptr, 1e-9},
        {"KST", 2, Make<CKST>(), Lines(2),
         Averaged([kst](const CKData& k, int i, double* o) { return RefKST(k, i, kst, o); }, 6), nullptr, 1e-9},
    };
    for (const Case& c : cases) {
        Check(c);
        if (HasFatalFailure()) return;
    }
}

// Hand-made series with known values or no value.
TEST(RangeIndicators, EdgeCases) {
    auto bars = [](int n, std::function<KDATA(int)> f) {
        CKData k;
        for (int i = 0; i < n; ++i) {
            KDATA b = f(i);
            b.date = 20100101 + i;
            k.Add(b);
        }
        return k;
    };
    CKData flat = bars(60, [](int) { return MakeBar(10, 10, 10, 10); });
    CKData still = bars(60, [](int) { return MakeBar(10, 11, 9, 10); });  // highs and lows never move
    CKData rising = bars(60, [](int i) { return MakeBar(10.f + i, 10.5f + i, 9.5f + i, 10.2f + i); });
    CKData openLow = bars(60, [](int i) { return MakeBar(9.f + (i % 3), 11.f + (i % 3), 9.f + (i % 3), 10.f); });
    CKData above = bars(120, [](int i) { return MakeBar(10.f + 2 * i, 11.f + 2 * i, 10.f + 2 * i, 10.5f + 2 * i); });
    struct Row {
        const char* what;
        std::function<bool(double*)> calc;
        bool has;
        double want;
    };
    auto one = [](CTechnique& t, CKData& k, int i) {
        return [&t, &k, i](double* v) {
            t.SetKData(&k);
            return t.Calculate(v, i, false);
        };
    };
    CREI rei;
    CDMKI dmki;
    CPCNT pcnt;
    CATR atr, atr0;
    atr0.m_ints[CATR::kDays] = 0;
    CCV cv, cv2;
    CARBR arbr;
    COSC osc;
    CUOS uos;
    CMAOSC maosc;
    C36BIAS bias, bias2;
    CDPO dpo, dpo2;
    CCR cr;
    const Row rows[] = {
        {"REI where highs and lows never move", one(rei, still, 40), false, 0},
        {"DMKI on rising highs and lows", one(dmki, rising, 40), true, 1},
        {"PCNT on bar 0", one(pcnt, rising, 0), false, 0},
        {"ATR on a flat series", one(atr, flat, 40), true, 0},
        {"ATR with N 0 takes the default 14", one(atr0, still, 13), false, 0},
        {"CV where high - low never changes", one(cv, still, 40), true, 0},
        {"CV where high equals low", one(cv2, flat, 40), false, 0},
        {"ARBR with every open at the low",
         [&](double* v) { arbr.SetKData(&openLow); return arbr.Calculate(v, nullptr, 40, false); }, false, 0},
        {"OSC of a flat price", one(osc, flat, 40), true, 1},
        {"UOS of a flat price", one(uos, flat, 40), true, 1},
        {"MAOSC of a flat price", one(maosc, flat, 40), true, 0},
        {"36BIAS on bar 4", one(bias, rising, 4), false, 0},
        {"36BIAS of a flat price", one(bias2, flat, 5), true, 0},
        {"DPO (10) on bar 27", one(dpo, rising, 27), false, 0},
        {"DPO (10) on bar 28", one(dpo2, flat, 28), true, 0},
        {"CR with every low above the previous mid",
         [&](double* v) { cr.SetKData(&above); return cr.Calculate(v, nullptr, nullptr, nullptr, nullptr, 100, false); },
         false, 0},
    };
    for (const Row& r : rows) {
        double v = kSentinel;
        ASSERT_EQ(r.calc(&v), r.has) << r.what;
        if (r.has)
            EXPECT_NEAR(v, r.want, 1e-12) << r.what;
        else
            EXPECT_EQ(v, kSentinel) << r.what;
    }
    EXPECT_EQ(atr0.m_ints[CATR::kDays], 14);

    // CDP on bar 0 has no value; on bar 1 after H 11, L 9, C 10 it gives AH 12, NH 11, AL 8, NL 9.
    CKData two = bars(2, [](int) { return MakeBar(10, 11, 9, 10); });
    CCDP cdp;
    cdp.SetKData(&two);
    double o[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_FALSE(cdp.Calculate(&o[0], &o[1], &o[2], &o[3], 0, false));
    ASSERT_TRUE(cdp.Calculate(&o[0], &o[1], &o[2], &o[3], 1, false));
    EXPECT_EQ(o[0], 12);
    EXPECT_EQ(o[1], 11);
    EXPECT_EQ(o[2], 8);
    EXPECT_EQ(o[3], 9);

    // DPO (10) has its first value at bar 28; KST with one day count is that ROC.
    CKData walk;
    MakeWalk(walk, 80, 8);
    CDPO first;
    first.SetKData(&walk);
    double v;
    EXPECT_FALSE(first.Calculate(&v, 27, false));
    EXPECT_TRUE(first.Calculate(&v, 28, false));
    CKST kst1;
    kst1.m_days.RemoveAll();
    kst1.m_days.Add(12);
    kst1.SetKData(&walk);
    CROC roc;
    roc.m_ints[CROC::kDays] = 12;
    roc.SetKData(&walk);
    for (int i = 12; i < 80; ++i) {
        double a, b;
        ASSERT_TRUE(kst1.Calculate(&a, i, false));
        ASSERT_TRUE(roc.Calculate(&b, i, false));
        EXPECT_NEAR(a, b, 1e-12) << i;
    }

    // ASI: a suspension longer than its walk gives no value rather than a walk back to bar 0.
    CKData gap;
    MakeWalk(gap, 200, 2);
    for (int i = 60; i < 140; ++i) gap[i] = Suspended(gap[i - 1]);
    CASI asi;
    asi.SetKData(&gap);
    EXPECT_TRUE(asi.Calculate(&v, 59, false));
    EXPECT_FALSE(asi.Calculate(&v, 120, false));
    EXPECT_TRUE(asi.Calculate(&v, 160, false));
}

// A series longer than kStreamBars, with a broken bar: the cache fill writes its lines past the
// processor's caches, and they must be the lines of a general pass (a fill of a shorter start, or
// the one-bar path), the broken bar's neighbours included.
TEST(PriceOscillators, LongSeriesFillGivesTheOneBarLines) {
    // A walk of 2,000 bars over and over: a longer one drifts too far for the ratios' levels.
    CKData walk, k;
    MakeWalk(walk, 2000);
    for (int i = 0; i < kStreamBars + 3001; ++i) {
        k.Add(walk[i % 2000]);
        k[i].date = 20000101 + i;
    }
    const int broken = kStreamBars / 2 + 1;
    k[broken].close = k[broken].high = std::numeric_limits<float>::quiet_NaN();
    struct Long {
        const char* name;
        std::function<std::unique_ptr<CTechnique>()> make;
        int lines;
    };
    const Long cases[] = {{"36BIAS", Make<C36BIAS>(), 1}, {"MAOSC", Make<CMAOSC>(), 2}, {"OSC", Make<COSC>(), 2},
                          {"UOS", Make<CUOS>(), 2},       {"DPO", Make<CDPO>(), 2},     {"KST", Make<CKST>(), 2},
                          {"CYO", Make<CCYO>(), 2},       {"DCYO", Make<CDCYO>(), 2},   {"CV", Make<CCV>(), 1}};
    for (const Long& c : cases) {
        std::unique_ptr<CTechnique> filled = c.make(), one = c.make();
        filled->SetKData(&k);
        one->SetKData(&k);
        ASSERT_TRUE(filled->PrepareCache(0, -1, false)) << c.name;
        int compared = 0;
        for (int i = 0; i < k.GetSize(); ++i) {
            double v[2], w[2];
            const bool has = c.lines == 1 ? one->Calculate(&v[0], i, false) : one->Calculate(&v[0], &v[1], i, false);
            for (int l = 0; l < c.lines; ++l) {
                const bool cached = filled->GetCached(l + 1, i, &w[l]);
                // The first bar of a window's line may be cached without its average.
                if (l == 0 && cached && !has) continue;
                ASSERT_EQ(cached, has) << c.name << ", bar " << i << ", line " << l + 1;
                if (has) {
                    ASSERT_NEAR(w[l], v[l], 1e-12 * std::max(1.0, std::fabs(v[l]))) << c.name << ", bar " << i;
                }
            }
            compared += has;
        }
        EXPECT_GT(compared, kStreamBars) << c.name;
        // Bars around the broken one: none has a value that reads it, the later ones have theirs.
        double x;
        EXPECT_FALSE(filled->GetCached(1, broken, &x)) << c.name;
        EXPECT_TRUE(filled->GetCached(1, broken + 40, &x)) << c.name;
    }
}

}  // namespace
