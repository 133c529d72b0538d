// The momentum oscillators and id 58 against plain loops written from their formulas, and their
// edge cases.
#include "reference.h"

namespace {

using namespace ref;

bool In(const CKData& k, int i) { return i >= 0 && i < k.GetSize(); }

double Rsv(const CKData& k, int t, int n) {
    double h = k[t].high, l = k[t].low;
    for (int j = t - n + 1; j <= t; ++j) h = std::max(h, double(k[j].high)), l = std::min(l, double(k[j].low));
    return h - l < 0.0001 ? 100 : (k[t].close - l) * 100 / (h - l);
}

// K, D and J from `from` to i, both smoothed from 50; bars without N bars have no RSV.
void KdjRun(const CKData& k, int from, int i, int n, int m1, int m2, int jmode, double* o) {
    double kk = 50, d = 50;
    for (int t = from; t <= i; ++t) {
        if (t + 1 < n) continue;
        kk = ((m1 - 1) * kk + Rsv(k, t, n)) / m1;
        d = ((m2 - 1) * d + kk) / m2;
    }
    o[0] = kk, o[1] = d, o[2] = jmode == 1 ? 3 * kk - 2 * d : 3 * d - 2 * kk;
}

int SmallestDecay(std::vector<double> f) {
    for (int k = 1;; ++k) {
        bool all = true;
        for (double x : f) all = all && std::pow(x, k) < 0.001;
        if (all) return k;
    }
}

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

bool RefRSI(const CKData& k, int i, int n, double* o) {
    if (!In(k, i) || i < n || i < 1) return false;
    double u = 0, d = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        const double c = P(k, t) - P(k, t - 1);
        if (c > 0) u += c;
        if (c < 0) d -= c;
    }
    *o = u + d < 0.0001 ? 100 : u * 100 / (u + d);
    return true;
}

// +DI, -DI and DX of bar t from plain sums over the N bars ending at it.
bool RefDirections(const CKData& k, int t, int n, double* o) {
    if (t < n) return false;
    double p = 0, m = 0, tr = 0;
    for (int b = t - n + 1; b <= t; ++b) {
        const double h = k[b].high, l = k[b].low, c = k[b - 1].close;
        p += std::max(h - k[b - 1].high, 0.0);
        m += std::max(double(k[b - 1].low) - l, 0.0);
        tr += std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c)));
    }
    if (std::fabs(tr) < 0.0001 || std::fabs(p + m) < 0.0001) return false;
    o[0] = p * 100 / tr, o[1] = m * 100 / tr;
    o[2] = std::fabs(o[0] - o[1]) * 100 / (o[0] + o[1]);
    return true;
}

// DMI with the ADX run from `from`; no value before 2N.
bool RefDMI(const CKData& k, int i, int from, double* o) {
    const int n = 7;
    double d[3];
    if (!In(k, i) || i < 2 * n || !RefDirections(k, i, n, d)) return false;
    double adx = 0, back = 0;
    for (int t = from; t <= i; ++t) {
        double x[3];
        if (RefDirections(k, t, n, x)) adx = ((n - 1) * adx + x[2]) / n;
        if (t == i - n) back = adx;
    }
    o[0] = d[0], o[1] = d[1], o[2] = adx, o[3] = (adx + back) / 2;
    return true;
}

bool RefCCI(const CKData& k, int i, double* o) {
    const int n = 14;
    if (!In(k, i) || i + 1 < n) return false;
    auto tp = [&k](int t) { return (double(k[t].high) + k[t].low + 2.0 * k[t].close) / 4; };
    double a = 0;
    for (int t = i - n + 1; t <= i; ++t) a += tp(t);
    a /= n;
    double md = 0;
    for (int t = i - n + 1; t <= i; ++t) md += std::fabs(tp(t) - a);
    md /= n;
    if (md < 0.0001) return false;
    *o = (tp(i) - a) / (0.015 * md);
    return true;
}

TEST(MomentumIndicators, AgainstPlainLoops) {
    const Case cases[] = {
        {"KDJ", 3, Make<CKDJ>(), Lines(3),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, std::max(0, i - (SmallestDecay({2.0 / 3, 2.0 / 3}) - 1)), i, 9, 3, 3, 1, o);
             return true;
         },
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, 0, i, 9, 3, 3, 1, o);
             return true;
         },
         1e-9},
        {"KDJ 5,4,2 J mode 2", 3,
         Make<CKDJ>([](CKDJ& t) { t.m_ints = {5, 4, 2, 2, 10, -10}; }), Lines(3),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 5) return false;
             KdjRun(k, std::max(0, i - (SmallestDecay({3.0 / 4, 1.0 / 2}) - 1)), i, 5, 4, 2, 2, o);
             return true;
         },
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 5) return false;
             KdjRun(k, 0, i, 5, 4, 2, 2, o);
             return true;
         },
         1e-9},
        {"id 58", 3, Make<CSelfTechnique5>(), Lines(3),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, StartBy4(i, {2.0 / 3, 2.0 / 3}), i, 9, 3, 3, 1, o);
             return true;
         },
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, 0, i, 9, 3, 3, 1, o);
             return true;
         },
         1e-9},
        {"id 58 J mode 0", 3, Make<CSelfTechnique5>([](CSelfTechnique5& t) { t.m_ints[3] = 0; }), Lines(3),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, StartBy4(i, {2.0 / 3, 2.0 / 3}), i, 9, 3, 3, 0, o);
             return true;
         },
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 9) return false;
             KdjRun(k, 0, i, 9, 3, 3, 0, o);
             return true;
         },
         1e-9},
        {"R", 1, Make<CR>(), Lines(1),
         [](const CKData& k, int i, double* o) {
             const int n = 20;
             if (!In(k, i) || i + 1 < n) return false;
             double h = k[i].high, l = k[i].low;
             for (int t = i - n + 1; t <= i; ++t) h = std::max(h, double(k[t].high)), l = std::min(l, double(k[t].low));
             *o = h - l < 0.0001 ? 100 : (h - k[i].close) * 100 / (h - l);
             return true;
         },
         nullptr, 1e-9},
        {"RSI 10", 1, Make<CRSI>(), Days(10), [](const CKData& k, int i, double* o) { return RefRSI(k, i, 10, o); },
         nullptr, 1e-9},
        {"RSI 20", 1, Make<CRSI>(), Days(20), [](const CKData& k, int i, double* o) { return RefRSI(k, i, 20, o); },
         nullptr, 1e-9},
        {"RSI 7 (not in the list)", 1, Make<CRSI>(), Days(7),
         [](const CKData& k, int i, double* o) { return RefRSI(k, i, 7, o); }, nullptr, 1e-9},
        {"BIAS", 1, Make<CBIAS>(), Lines(1),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 10) return false;
             const double a = Sma(k, i, 10);
             *o = a > 0.0001 ? (P(k, i) - a) * 100 / a : 0;
             return true;
         },
         nullptr, 1e-9},
        {"MTM", 2, Make<CMTM>(), Lines(2),
         Averaged(
             [](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i < 10 || !(P(k, i - 10) > 0)) return false;
                 *o = P(k, i) * 100 / P(k, i - 10);
                 return true;
             },
             10),
         nullptr, 1e-9},
        {"DMI", 4, Make<CDMI>(), Lines(4),
         [](const CKData& k, int i, double* o) {
             // The warm-up counts 44 bars with a DX back from the bar N before.
             int from = i - 7, counted = 0;
             double x[3];
             while (from > 0 && counted < SmallestDecay({6.0 / 7}) - 1)
                 if (RefDirections(k, --from, 7, x)) ++counted;
             return RefDMI(k, i, std::max(from, 0), o);
         },
         [](const CKData& k, int i, double* o) { return RefDMI(k, i, 0, o); }, 1e-9, 2e-3},
        {"ROC", 2, Make<CROC>(), Lines(2),
         Averaged(
             [](const CKData& k, int i, double* o) {
                 if (!In(k, i) || i < 10 || !(P(k, i) > 0) || !(P(k, i - 10) > 0)) return false;
                 *o = (P(k, i) - P(k, i - 10)) * 100 / P(k, i - 10);
                 return true;
             },
             10),
         nullptr, 1e-9},
        {"CCI", 2, Make<CCCI>(), Lines(2), Averaged(RefCCI, 10), nullptr, 1e-9},
    };
    for (const Case& c : cases) {
        Check(c);
        if (HasFatalFailure()) return;
    }
}

TEST(MomentumIndicators, EdgeCases) {
    // KDJ on exactly N bars: K = (2 x 50 + RSV) / 3 at the last bar, the earlier bars without RSV.
    CKData k;
    MakeWalk(k, 9, 21);
    CKDJ kdj;
    kdj.SetKData(&k);
    double kk, d, j;
    EXPECT_FALSE(kdj.Calculate(&kk, &d, &j, 7, false));
    ASSERT_TRUE(kdj.Calculate(&kk, &d, &j, 8, false));
    EXPECT_NEAR(kk, (100 + Rsv(k, 8, 9)) / 3, 1e-12);
    EXPECT_NEAR(d, (100 + kk) / 3, 1e-12);
    EXPECT_NEAR(j, 3 * kk - 2 * d, 1e-12);

    // Flat stretches and unchanged prices.
    CKData flat;
    MakeCloses(flat, std::vector<double>(40, 12));
    for (int i = 0; i < 40; ++i) flat[i].high = flat[i].low = 12;
    double v, a;
    CKDJ kf;
    kf.SetKData(&flat);
    ASSERT_TRUE(kf.Calculate(&kk, &d, &j, 8, false));
    EXPECT_NEAR(kk, 200.0 / 3, 1e-12);  // RSV 100
    CR r;
    r.SetKData(&flat);
    ASSERT_TRUE(r.Calculate(&v, 30, false));
    EXPECT_EQ(v, 100);
    CRSI rsi;
    rsi.SetKData(&flat);
    ASSERT_TRUE(rsi.Calculate(&v, 30, 10, false));
    EXPECT_EQ(v, 100);
    EXPECT_FALSE(rsi.Calculate(&v, 9, 10, false));
    CMTM mtm;
    mtm.SetKData(&flat);
    ASSERT_TRUE(mtm.Calculate(&v, &a, 30, false));
    EXPECT_EQ(v, 100);
    EXPECT_EQ(a, 100);
    CROC roc;
    roc.SetKData(&flat);
    ASSERT_TRUE(roc.Calculate(&v, &a, 30, false));
    EXPECT_EQ(v, 0);
    CCCI cci;
    cci.SetKData(&flat);
    v = kSentinel;
    EXPECT_FALSE(cci.Calculate(&v, &a, 30, false));
    EXPECT_EQ(v, kSentinel);
    CKData up, down;
    std::vector<double> rising, falling;
    for (int i = 0; i < 30; ++i) rising.push_back(10 + i), falling.push_back(50 - i);
    MakeCloses(up, rising);
    MakeCloses(down, falling);
    rsi.SetKData(&up);
    ASSERT_TRUE(rsi.Calculate(&v, 25, 20, false));
    EXPECT_EQ(v, 100);
    rsi.SetKData(&down);
    ASSERT_TRUE(rsi.Calculate(&v, 25, 20, false));
    EXPECT_EQ(v, 0);

    // DMI: nothing on bar 0; every line, ADXR included, first at bar 2N.
    CKData w;
    MakeWalk(w, 50, 4);
    CDMI dmi;
    dmi.SetKData(&w);
    double o[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_FALSE(dmi.Calculate(&o[0], &o[1], &o[2], &o[3], 0, false));
    EXPECT_FALSE(dmi.Calculate(&o[0], &o[1], &o[2], &o[3], 13, false));
    EXPECT_EQ(o[3], kSentinel);
    EXPECT_TRUE(dmi.Calculate(&o[0], &o[1], &o[2], &o[3], 14, false));
    // ADXR is the same through the full and the continued path, whatever the caller's variable held.
    CDMI full, cont;
    full.SetKData(&w);
    cont.SetKData(&w);
    double c[4] = {-777, -777, -777, -777};
    bool last = false;
    for (int i = 0; i < 50; ++i) {
        double f[4];
        const bool got = cont.Calculate(&c[0], &c[1], &c[2], &c[3], i, last);
        last = last || got;
        ASSERT_EQ(full.Calculate(&f[0], &f[1], &f[2], &f[3], i, false), got) << i;
        full.Clear();
        if (got) {
            ASSERT_NEAR(c[3], f[3], 1e-9) << i;  // the warm-up reaches bar 0 on this short series
        }
    }

    // Invalid parameters are replaced by the defaults at the next computation.
    CRSI bad;
    bad.m_days.RemoveAll();
    bad.m_days.Add(0);
    bad.m_ints[CRSI::kBuy] = 16;
    bad.SetKData(&w);
    ASSERT_TRUE(bad.Calculate(&v, 30, 10, false));
    EXPECT_EQ(bad.m_ints[CRSI::kBuy], 15);
    EXPECT_EQ(bad.m_days.GetSize(), 2);
    CKDJ badK;
    badK.m_ints[CKDJ::kJMode] = 0;  // KDJ's J mode is 1..1024; id 58 takes 0 as well
    badK.SetKData(&w);
    ASSERT_TRUE(badK.Calculate(&kk, &d, &j, 30, false));
    EXPECT_EQ(badK.m_ints[CKDJ::kJMode], 1);
    CSelfTechnique5 j0;
    j0.m_ints[CSelfTechnique5::kJMode] = 0;
    j0.SetKData(&w);
    ASSERT_TRUE(j0.Calculate(&kk, &d, &j, 30, false));
    EXPECT_EQ(j0.m_ints[CSelfTechnique5::kJMode], 0);
    EXPECT_NEAR(j, 3 * d - 2 * kk, 1e-12);
}

// RSI keeps one cache line per day count: asking 20 after 10 never returns 10's value.
TEST(MomentumIndicators, RSIDayCountsKeepTheirOwnLines) {
    CKData k;
    MakeWalk(k, 80, 6);
    CRSI rsi;
    rsi.SetKData(&k);
    ASSERT_TRUE(rsi.PrepareCache(0, -1, true));
    for (int i = 25; i < 80; ++i) {
        double a, b, wa, wb;
        ASSERT_TRUE(rsi.Calculate(&a, i, 10, false));
        ASSERT_TRUE(rsi.Calculate(&b, i, 20, false));
        ASSERT_TRUE(RefRSI(k, i, 10, &wa));
        ASSERT_TRUE(RefRSI(k, i, 20, &wb));
        EXPECT_NEAR(a, wa, 1e-9);
        EXPECT_NEAR(b, wb, 1e-9);
        double cached;
        ASSERT_TRUE(rsi.GetCached(2, i, &cached));
        EXPECT_EQ(cached, b);
    }
}

}  // namespace
