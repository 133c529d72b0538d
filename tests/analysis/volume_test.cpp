// The volume indicators against plain loops written from their formulas, and their edge cases.
#include "reference.h"

namespace {

using namespace ref;

double V(const CKData& k, int i) { return k[i].volume; }
bool In(const CKData& k, int i) { return i >= 0 && i < k.GetSize(); }

bool RefVolumeIndex(const CKData& k, int i, double* o, bool negative, int n) {
    if (!In(k, i)) return false;
    double a = 100, e = 100;
    for (int t = 1; t <= i; ++t) {
        const bool move = negative ? V(k, t - 1) > V(k, t) : V(k, t - 1) < V(k, t);
        if (move && P(k, t) > 0.0001 && P(k, t - 1) > 0.0001) a = a * P(k, t) / P(k, t - 1);
        e = ((n - 1) * e + 2 * a) / (n + 1);
    }
    o[0] = a, o[1] = e;
    return true;
}

double RefObv(const CKData& k, int i) {
    double s = V(k, 0);
    for (int t = 1; t <= i; ++t) {
        if (P(k, t) > P(k, t - 1)) s += V(k, t);
        if (P(k, t) < P(k, t - 1)) s -= V(k, t);
    }
    return s;
}

// Start of the warm-up found in steps of 4 bars, then 1.
int RefStartBy4(int i, std::vector<double> factors) {
    auto decayed = [&](int d) {
        for (double f : factors)
            if (std::pow(f, d) >= 0.001) return false;
        return true;
    };
    int d = 0;
    while (d < i && !decayed(d)) d += i - d > 3 ? 4 : 1;
    return i - std::min(d, i);
}

// MACD lines over x(t) from bar `from` to i.
template <class X>
void RefMacdRun(X x, int from, int i, int ns, int nl, int ng, double* o) {
    double es = x(from), el = es, dea = 0;
    for (int t = from; t <= i; ++t) {
        es = (2 * x(t) + (ns - 1) * es) / (ns + 1);
        el = (2 * x(t) + (nl - 1) * el) / (nl + 1);
        dea = ((ng - 1) * dea + 2 * (es - el)) / (ng + 1);
    }
    o[0] = es, o[1] = el, o[2] = es - el, o[3] = dea;
}

bool RefVR(const CKData& k, int i, double* o) {
    const int n = 12;
    if (!In(k, i) || i < n) return false;
    double up = 0, down = 0, all = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        if (float(P(k, t)) > float(P(k, t - 1))) up += V(k, t);
        if (float(P(k, t)) < float(P(k, t - 1))) down += V(k, t);
        all += V(k, t);
    }
    if (down + all / 2 < 0.0001) return false;
    *o = (up + all / 2) * 100 / (down + all / 2);
    return true;
}

bool RefVROC(const CKData& k, int i, double* o) {
    if (!In(k, i) || i < 10 || !(V(k, i) > 0) || !(V(k, i - 10) > 0)) return false;
    *o = (V(k, i) - V(k, i - 10)) * 100 / V(k, i - 10);
    return true;
}

bool RefMFI(const CKData& k, int i, double* o) {
    const int n = 10;
    if (!In(k, i) || i < n) return false;
    auto tp = [&k](int t) { return (double(k[t].high) + k[t].low + k[t].close) / 3; };
    double pos = 0, neg = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        if (tp(t) > tp(t - 1)) pos += tp(t) * V(k, t);
        if (tp(t) < tp(t - 1)) neg += tp(t) * V(k, t);
    }
    if (std::fabs(pos + neg) < 0.0001) return false;
    *o = pos * 100 / (pos + neg);
    return true;
}

bool RefWVAD(const CKData& k, int i, double* o) {
    const int n = 24;
    if (!In(k, i) || i + 1 < n) return false;
    double s = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        const double r = double(k[t].high) - k[t].low;
        if (r > 0.0001) s += (double(k[t].close) - k[t].open) * V(k, t) / r;
    }
    *o = s;
    return true;
}

bool RefEMVLine(const CKData& k, int i, double* o, double scale) {
    const int n = 14;
    if (!In(k, i) || i < n) return false;
    double s = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        if (V(k, t) <= 0) return false;
        const double mid = (double(k[t].high) + k[t].low) / 2, before = (double(k[t - 1].high) + k[t - 1].low) / 2;
        s += (double(k[t].high) - k[t].low) * (mid - before) * scale / V(k, t);
    }
    *o = s / n;
    return true;
}

bool RefVRSI(const CKData& k, int i, double* o) {
    const int n = 10;
    if (!In(k, i) || i < n) return false;
    double up = 0, down = 0;
    int nu = 0, nd = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        if (float(P(k, t - 1)) <= float(P(k, t)))
            up += V(k, t), ++nu;
        else
            down += V(k, t), ++nd;
    }
    const double au = nu ? up / nu : 0, ad = nd ? down / nd : 0;
    *o = ad < 0.0001 ? 100 : 100 - 100 / (au / ad + 1);
    return true;
}

bool RefNVRSI(const CKData& k, int i, double* o) {
    const int n = 10;
    if (!In(k, i) || i < n) return false;
    double up = 0, all = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        if (V(k, t) > V(k, t - 1)) up += V(k, t);
        all += V(k, t);
    }
    *o = all < 0.0001 ? 50 : up * 100 / all;
    return true;
}

bool RefAD(const CKData& k, int i, double* o) {
    const int n = 8;
    if (!In(k, i) || i + 1 < n) return false;
    double s = 0;
    for (int t = i - n + 1; t <= i; ++t) {
        const double h = k[t].high, l = k[t].low, c = k[t].close;
        if (h - l > 0.0001) s += ((c - l) - (h - c)) * V(k, t) / (h - l);
    }
    *o = s;
    return true;
}

bool RefCI(const CKData& k, int i, double* o) {
    if (!In(k, i)) return false;
    const double r = double(k[i].high) - k[i].low;
    if (r < 0.0001) return false;
    *o = (double(k[i].close) - k[i].open) / r * V(k, i);
    return true;
}

TEST(VolumeIndicators, AgainstPlainLoops) {
    const Case cases[] = {
        {"NVI", 2, Make<CNVI>(), Lines(2),
         [](const CKData& k, int i, double* o) { return RefVolumeIndex(k, i, o, true, 25); }, nullptr, 1e-9},
        {"PVI", 2, Make<CPVI>(), Lines(2),
         [](const CKData& k, int i, double* o) { return RefVolumeIndex(k, i, o, false, 25); }, nullptr, 1e-9},
        {"VR", 1, Make<CVR>(), Lines(1), RefVR, nullptr, 1e-9},
        {"VROC", 2, Make<CVROC>(), Lines(2), Averaged(RefVROC, 10), nullptr, 1e-9},
        {"OBV", 1, Make<COBV>(), Lines(1),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i)) return false;
             *o = RefObv(k, i);
             return true;
         },
         nullptr, 1e-9},
        {"MOBV", 3, Make<CMOBV>(), Lines(3),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i + 1 < 26) return false;
             o[0] = RefObv(k, i);
             double a = 0, b = 0;
             for (int t = i; t > i - 26; --t) (t > i - 12 ? a : b) += RefObv(k, t);
             o[1] = a / 12, o[2] = (a + b) / 26;
             return true;
         },
         nullptr, 1e-9},
        {"MFI", 1, Make<CMFI>(), Lines(1), RefMFI, nullptr, 1e-9},
        {"VMACD", 4, Make<CVMACD>(), Lines(4),
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i < 25) return false;
             const int from = RefStartBy4(i, {11.0 / 13, 25.0 / 27, 8.0 / 10});
             RefMacdRun([&k](int t) { return V(k, t); }, from, i, 12, 26, 9, o);
             return true;
         },
         [](const CKData& k, int i, double* o) {
             if (!In(k, i) || i < 25) return false;
             RefMacdRun([&k](int t) { return V(k, t); }, 0, i, 12, 26, 9, o);
             return true;
         },
         1e-9},
        {"WVAD", 1, Make<CWVAD>(), Lines(1), RefWVAD, nullptr, 1e-9},
        {"EMV", 2, Make<CEMV>(), Lines(2),
         Averaged([](const CKData& k, int i, double* o) { return RefEMVLine(k, i, o, 1e5); }, 9), nullptr, 1e-9},
        {"EMV of an index", 2,
         Make<CEMV>([](CEMV& t) { t.m_stockinfo.SetType(kindShIndex); }), Lines(2),
         Averaged([](const CKData& k, int i, double* o) { return RefEMVLine(k, i, o, 1e8); }, 9), nullptr, 1e-9},
        {"VRSI", 1, Make<CVRSI>(), Lines(1), RefVRSI, nullptr, 1e-9},
        {"NVRSI", 1, Make<CNVRSI>(), Lines(1), RefNVRSI, nullptr, 1e-9},
        {"AD", 1, Make<CAD>(), Lines(1), RefAD, nullptr, 1e-9},
        {"CI", 1, Make<CCI>(), Lines(1), RefCI, nullptr, 1e-9},
    };
    for (const Case& c : cases) {
        Check(c);
        if (HasFatalFailure()) return;
    }
}

// Hand-made series with known values.
TEST(VolumeIndicators, EdgeCases) {
    struct Row {
        const char* what;
        std::vector<KDATA> bars;
        std::function<bool(CKData&, double*)> calc;
        bool has;
        double want;
    };
    auto rising = [](int n, float volume) {
        std::vector<KDATA> b;
        for (int i = 0; i < n; ++i) b.push_back(MakeBar(10.f + i, 10.5f + i, 9.5f + i, 10.f + i, volume));
        return b;
    };
    auto falling = [](int n) {
        std::vector<KDATA> b;
        for (int i = 0; i < n; ++i) b.push_back(MakeBar(50.f - i, 50.5f - i, 49.5f - i, 50.f - i, 1000.f + i));
        return b;
    };
    auto one = [](float o, float h, float l, float c) { return std::vector<KDATA>{MakeBar(o, h, l, c, 500)}; };
    auto on = [](CTechnique& t, CKData& k) { t.SetKData(&k); };
    const Row rows[] = {
        {"NVI starts at 100", one(3, 4, 2, 3.5f),
         [&](CKData& k, double* v) { CNVI t; on(t, k); double e; return t.Calculate(v, &e, 0, false) && e == 100; },
         true, 100},
        {"PVI starts at 100", falling(3),
         [&](CKData& k, double* v) { CPVI t; on(t, k); double e; return t.Calculate(v, &e, 0, false) && e == 100; },
         true, 100},
        {"VR of equal prices", std::vector<KDATA>(20, MakeBar(5, 5, 5, 5, 700)),
         [&](CKData& k, double* v) { CVR t; on(t, k); return t.Calculate(v, 19, false); }, true, 100},
        {"VRSI without a falling bar", rising(15, 800),
         [&](CKData& k, double* v) { CVRSI t; on(t, k); return t.Calculate(v, 14, false); }, true, 100},
        {"VRSI when all bars fall", falling(15),
         [&](CKData& k, double* v) { CVRSI t; on(t, k); return t.Calculate(v, 14, false); }, true, 0},
        {"VRSI on bar 9 (needs 10)", rising(15, 800),
         [&](CKData& k, double* v) { CVRSI t; on(t, k); return t.Calculate(v, 9, false); }, false, 0},
        {"NVRSI over zero volumes", rising(15, 0),
         [&](CKData& k, double* v) { CNVRSI t; on(t, k); return t.Calculate(v, 14, false); }, true, 50},
        {"CI with high equal to low", one(3, 3, 3, 3),
         [&](CKData& k, double* v) { CCI t; on(t, k); return t.Calculate(v, 0, false); }, false, 0},
        {"CI of one bar", one(10, 12, 9, 11.5f),
         [&](CKData& k, double* v) { CCI t; on(t, k); return t.Calculate(v, 0, false); }, true, 1.5 / 3 * 500},
        {"OBV starts at bar 0's volume", falling(3),
         [&](CKData& k, double* v) { COBV t; on(t, k); return t.Calculate(v, 0, false); }, true, 1000},
        {"OBV of falling bars", falling(3),
         [&](CKData& k, double* v) { COBV t; on(t, k); return t.Calculate(v, 2, false); }, true, 1000 - 1001 - 1002},
        {"EMV with a bar of volume 0", rising(20, 0),
         [&](CKData& k, double* v) { CEMV t; on(t, k); return t.Calculate(v, nullptr, 19, false); }, false, 0},
        {"VROC with volume 0 then", rising(12, 0),
         [&](CKData& k, double* v) { CVROC t; on(t, k); return t.Calculate(v, 11, false); }, false, 0},
    };
    for (const Row& r : rows) {
        CKData k;
        for (size_t i = 0; i < r.bars.size(); ++i) {
            KDATA b = r.bars[i];
            b.date = 20100101 + int(i);
            k.Add(b);
        }
        double v = kSentinel;
        ASSERT_EQ(r.calc(k, &v), r.has) << r.what;
        if (r.has)
            EXPECT_NEAR(v, r.want, 1e-9) << r.what;
        else
            EXPECT_EQ(v, kSentinel) << r.what;
    }
    // An empty day list is invalid and gets 5, 10.
    CVOLUME vol;
    vol.m_days.RemoveAll();
    CKData k;
    MakeWalk(k, 20);
    vol.SetKData(&k);
    double a;
    ASSERT_TRUE(vol.Calculate(&a, 10, 5, false));
    EXPECT_EQ(vol.m_days.GetSize(), 2);
}

// Cumulative lines over a long series: bar by bar with useLast, as the chart asks, each bar costs
// one step (a walk from bar 0 per bar would take minutes here under the sanitizers).
TEST(VolumeIndicators, CumulativeLinesContinueInOnePass) {
    CKData k;
    MakeWalk(k, 20000, 3);
    COBV obv;
    CNVI nvi;
    CMOBV mobv;
    obv.SetKData(&k);
    nvi.SetKData(&k);
    mobv.SetKData(&k);
    double o = 0, a[2] = {0, 0}, m[3] = {0, 0, 0}, sum = k[0].volume;
    for (int i = 0; i < k.GetSize(); ++i) {
        if (i > 0) sum += P(k, i) > P(k, i - 1) ? V(k, i) : P(k, i) < P(k, i - 1) ? -V(k, i) : 0;
        ASSERT_TRUE(obv.Calculate(&o, i, i > 0));
        ASSERT_EQ(o, sum) << i;
        ASSERT_TRUE(nvi.Calculate(&a[0], &a[1], i, i > 0));
        if (i >= 25) {
            ASSERT_TRUE(mobv.Calculate(&m[0], &m[1], &m[2], i, i > 25));
        }
    }
    // A value a caller passes in does not steer a cumulative line.
    CKData s;
    MakeWalk(s, 50, 4);
    COBV fresh, steered;
    fresh.SetKData(&s);
    steered.SetKData(&s);
    double want, got = 1e9;
    ASSERT_TRUE(fresh.Calculate(&want, 40, false));
    ASSERT_TRUE(steered.Calculate(&got, 40, true));
    EXPECT_EQ(got, want);
}

}  // namespace
