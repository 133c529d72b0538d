// Running computations: an indicator continued over bars added to its series agrees with a fresh
// one, windowed sums recover from an absurd tick once it left the window, BOLL's deviation keeps
// its precision far from 1, and the cache flags survive many clears; every class's range walks
// leave in its cache only what they computed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/techs.h"
#include "analysis/techs_more.h"
#include "analysis/techset.h"
#include "series.h"

namespace {

constexpr double kFailed = -7.5e300;  // recorded for a bar that has no value

// Relative closeness with an absolute floor for values near 0; failures must match exactly.
bool Close(double a, double b, double tolerance) {
    if (a == b) return true;
    if (a == kFailed || b == kFailed) return false;
    return std::fabs(a - b) <= tolerance * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

// ---- growth: compute on N bars, add M, compute again, compare with a fresh object ----

// The lines of one class at bar i: out holds the previous bar's lines on entry when useLast.
using LinesAt = std::function<bool(CTechnique&, int, bool, double*)>;

struct GrowthCase {
    const char* name;
    std::function<std::unique_ptr<CTechnique>()> make;
    int lines;
    LinesAt calc;     // null: the class has no lines of its own
    bool isolated;    // also asked bar by bar without useLast
    bool signals;     // signals and intensities compared too
};

// What the chart and the signal walks ask of an indicator, recorded value by value.
std::vector<double> Probe(CTechnique& t, const GrowthCase& c) {
    std::vector<double> got;
    const int n = t.GetKData()->GetSize();
    double mn = 0, mx = 0;
    // The range first, as a pane does before drawing; then a later part of it.
    got.push_back(t.GetMinMaxInfo(0, n - 1, &mn, &mx));
    got.push_back(mn), got.push_back(mx);
    got.push_back(t.GetMinMaxInfo(n / 2, n - 1, &mn, &mx));
    got.push_back(mn), got.push_back(mx);
    if (c.calc) {
        // Bar by bar with useLast, as the chart draws.
        std::vector<double> v(size_t(c.lines), 0);
        bool ok = false;
        for (int i = 0; i < n; ++i) {
            ok = c.calc(t, i, ok, v.data());
            for (double x : v) got.push_back(ok ? x : kFailed);
        }
        // Each bar on its own: in order (a signal walk), then scattered.
        for (int pass = 0; c.isolated && pass < 2; ++pass) {
            for (int k = 0; k < n; ++k) {
                const int i = pass == 0 ? k : int((k * 7919L) % n);
                std::vector<double> w(size_t(c.lines), 0);
                const bool got1 = c.calc(t, i, false, w.data());
                for (double x : w) got.push_back(got1 ? x : kFailed);
            }
        }
    }
    if (c.signals) {
        for (int i = 0; i < n; ++i) {
            int r = 0;
            got.push_back(t.GetSignal(i, &r));
            got.push_back(r);
        }
        t.ClearLastIntensity();
        for (int i = 0; i < n; ++i) {
            int r = 0;
            got.push_back(t.GetIntensity(i, &r, true));
            got.push_back(r);
        }
    }
    return got;
}

template <typename T>
std::function<std::unique_ptr<CTechnique>()> Maker(std::function<void(T&)> setup = nullptr) {
    return [setup]() {
        auto t = std::make_unique<T>();
        if (setup) setup(*t);
        return std::unique_ptr<CTechnique>(std::move(t));
    };
}

LinesAt OneLine() {
    return [](CTechnique& t, int i, bool useLast, double* v) { return t.Calculate(&v[0], i, useLast); };
}

// The lines of every day count of an averaging class.
LinesAt DayLines(std::vector<int> days) {
    return [days](CTechnique& t, int i, bool useLast, double* v) {
        bool ok = true;
        for (size_t d = 0; d < days.size(); ++d) ok &= t.Calculate(&v[d], i, days[d], useLast);
        return ok;
    };
}

const GrowthCase kGrowthCases[] = {
    {"MA", Maker<CMA>(), 3, DayLines({5, 10, 20}), true, true},
    {"EMA", Maker<CMA>([](CMA& t) { t.m_ints[CMA::kType] = CMA::typeExponential; }), 3, DayLines({5, 10, 20}), true,
     true},
    {"BBI", Maker<CBBI>(), 1, OneLine(), true, true},
    {"BOLL", Maker<CBOLL>(), 3,
     [](CTechnique& t, int i, bool useLast, double* v) { return t.Calculate(&v[0], &v[1], &v[2], i, useLast); }, true,
     true},
    {"PV", Maker<CPV>(), 1, OneLine(), true, true},
    {"SAR", Maker<CSAR>(), 1, OneLine(), true, true},
    {"KLine", Maker<CKLine>(), 0, nullptr, false, false},
    {"DJ", Maker<CDJ>(), 0, nullptr, false, true},
    // MACD over bars that are not cached starts at its warm-up bar when asked on its own, and
    // bars added after the first store are never cached: only the chart's walk and the range
    // continue from the cached lines, so those are what must agree.
    {"MACD", Maker<CMACD>(), 4,
     [](CTechnique& t, int i, bool useLast, double* v) { return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, useLast); },
     false, false},
    {"MIKE", Maker<CMIKE>(), 6,
     [](CTechnique& t, int i, bool, double* v) {
         return static_cast<CMIKE&>(t).Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], i);
     },
     true, false},
    {"PSY", Maker<CPSY>(), 1, OneLine(), true, true},
    {"VOLUME", Maker<CVOLUME>(), 2, DayLines({5, 10}), true, true},
};

TEST(Running, GrowthAgreesWithAFreshObject) {
    const int kOld = 300, kAdded = 100;
    CKData all;
    MakeWalk(all, kOld + kAdded, 21);
    for (const GrowthCase& c : kGrowthCases) {
        SCOPED_TRACE(c.name);
        CKData grown;
        for (int i = 0; i < kOld; ++i) grown.Add(all[i]);
        auto old = c.make();
        old->SetKData(&grown);
        Probe(*old, c);
        for (int i = kOld; i < kOld + kAdded; ++i) grown.Add(all[i]);
        const std::vector<double> continued = Probe(*old, c);
        auto fresh = c.make();
        fresh->SetKData(&all);
        const std::vector<double> want = Probe(*fresh, c);
        ASSERT_EQ(continued.size(), want.size());
        int differ = 0, first = -1;
        for (size_t k = 0; k < want.size(); ++k)
            if (!Close(continued[k], want[k], 1e-12)) {
                if (first < 0) first = int(k);
                ++differ;
            }
        EXPECT_EQ(differ, 0) << "first at " << first << ": " << continued[size_t(std::max(first, 0))] << " against "
                             << want[size_t(std::max(first, 0))];
    }
}

// The reported case: each appended bar asked on its own after a full run, in order and from the
// last bar back (then each resumes from the state kept for the bar before it).
TEST(Running, SARAfterAppendedBars) {
    CKData all;
    MakeWalk(all, 400, 5);
    CSAR fresh;
    fresh.SetKData(&all);
    for (bool backwards : {false, true}) {
        CKData grown;
        for (int i = 0; i < 300; ++i) grown.Add(all[i]);
        CSAR old;
        old.SetKData(&grown);
        ASSERT_TRUE(old.PrepareCache(0, -1, false));
        for (int i = 300; i < 400; ++i) grown.Add(all[i]);
        for (int k = 300; k < 400; ++k) {
            const int i = backwards ? 699 - k : k;
            double a, b;
            ASSERT_TRUE(old.Calculate(&a, i, false));
            ASSERT_TRUE(fresh.Calculate(&b, i, false));
            ASSERT_EQ(a, b) << backwards << " " << i;
            int ra, rb;
            ASSERT_EQ(old.GetSignal(i, &ra), fresh.GetSignal(i, &rb)) << i;
            ASSERT_EQ(ra, rb) << i;
        }
    }
}

// A walk checks its parameters at its first bar; one changed to an invalid value in the middle
// of a walk is still replaced by the defaults at the next bar, and never used.
TEST(Running, ParametersBrokenDuringAWalk) {
    CKData k;
    MakeWalk(k, 120, 4);
    struct Case {
        const char* name;
        std::function<CParamTech*()> make;
        std::function<bool(CParamTech&, int, bool, double*)> calc;
        std::function<void(CParamTech&)> damage;
    };
    const Case cases[] = {
        {"BOLL", [] { return new CBOLL; },
         [](CParamTech& t, int i, bool u, double* v) { return t.Calculate(&v[0], &v[1], &v[2], i, u); },
         [](CParamTech& t) { t.m_ints[CBOLL::kDays] = 5000; }},
        {"SAR", [] { return new CSAR; }, [](CParamTech& t, int i, bool u, double* v) { return t.Calculate(v, i, u); },
         [](CParamTech& t) { t.m_ints[CSAR::kDays] = 0; }},
        {"MACD", [] { return new CMACD; },
         [](CParamTech& t, int i, bool u, double* v) { return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, u); },
         [](CParamTech& t) { t.m_ints[CMACD::kLong] = -3; }},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CParamTech> walk(c.make()), fresh(c.make());
        walk->SetKData(&k);
        fresh->SetKData(&k);
        double v[4] = {0, 0, 0, 0}, w[4] = {0, 0, 0, 0};
        bool ok = false;
        for (int i = 0; i < 60; ++i) ok = c.calc(*walk, i, ok, v);
        ASSERT_TRUE(ok) << c.name;
        c.damage(*walk);
        EXPECT_FALSE(walk->IsValidParameters()) << c.name;
        ASSERT_TRUE(c.calc(*walk, 60, true, v)) << c.name;
        EXPECT_TRUE(walk->IsValidParameters()) << c.name;
        EXPECT_TRUE(walk->SameParameters(*fresh)) << c.name;
        ASSERT_TRUE(c.calc(*fresh, 60, false, w)) << c.name;
        for (int l = 0; l < 3; ++l) EXPECT_NEAR(v[l], w[l], 0.002 * std::max(1.0, std::fabs(w[l]))) << c.name;
    }
}

// MACD's computation over the volumes instead of the prices, as a volume MACD uses it: the range
// walk, the cached lines and a walk bar by bar all run over the volumes.
TEST(Running, MACDOverVolumes) {
    class VolumeMACD : public CMACD {
    public:
        VolumeMACD() { m_nSource = sourceVolume; }
    };
    CKData k;
    MakeWalk(k, 300, 8);
    VolumeMACD range, walk;
    range.SetKData(&k);
    walk.SetKData(&k);
    ASSERT_TRUE(range.PrepareCache(0, -1, false));
    double es = k[0].volume, el = es, dea = 0, v[4] = {0, 0, 0, 0};
    bool ok = false;
    for (int i = 0; i < 300; ++i) {
        const double x = k[i].volume;
        es = (2 * x + 11 * es) / 13, el = (2 * x + 25 * el) / 27, dea = (8 * dea + 2 * (es - el)) / 10;
        ok = walk.Calculate(&v[0], &v[1], &v[2], &v[3], i, ok);
        if (i < 25) continue;
        double cached;
        ASSERT_TRUE(range.GetCached(4, i, &cached));
        ASSERT_NEAR(cached, dea, 1e-9 * std::max(1.0, std::fabs(dea))) << i;
        ASSERT_NEAR(v[3], dea, 1e-9 * std::max(1.0, std::fabs(dea))) << i;
        ASSERT_NEAR(v[0], es, 1e-9 * es) << i;
    }
}

// ---- recovery from an absurd tick ----

// The mean of the n prices ending at i, summed exactly (long double holds every float sum here).
double ExactMean(const std::vector<double>& p, int i, int n) {
    long double s = 0;
    for (int t = i - n + 1; t <= i; ++t) s += p[size_t(t)];
    return double(s / n);
}

// Prices around base with one tick of 1e20 at bar tick.
std::vector<double> WithTick(double base, int count, int tick, uint32_t seed) {
    std::vector<double> p;
    double x = base;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x *= 1 + (double(seed >> 8) / double(1u << 24) - 0.5) * 0.02;
        p.push_back(double(float(x)));
    }
    p[size_t(tick)] = 1e20;
    return p;
}

// A window sum walked a block at a time gives, bar for bar and to the bit, the sums of Next, and
// is left where Next leaves it (the steps after the walk agree too): across an absurd tick, a NaN,
// a stretch of zeros, values below 0 and the refresh every kRefresh steps.
TEST(Running, WindowSumWalkStepsAsNext) {
    const int kCount = 3 * CWindowSum::kRefresh + 500;
    struct Case {
        const char* name;
        std::function<double(int)> value;
    };
    const Case cases[] = {
        {"walk", [](int t) { return 20 + std::sin(t * 0.01) * 5 + (t % 7) * 0.125; }},
        {"tick", [](int t) { return t == 5000 || t == 9100 ? 1e30 : 20 + (t % 13) * 0.25; }},
        {"NaN", [](int t) { return t == 700 ? std::nan("") : 20 + (t % 5) * 0.5; }},
        {"zeros", [](int t) { return t >= 3000 && t < 3100 ? 0.0 : 1 + (t % 3); }},
        {"below 0", [](int t) { return t >= 6000 && t < 6400 ? -5.0 - (t % 4) : 5.0 + (t % 4); }},
        {"shrinking", [](int t) { return t < 2000 ? 1e6 : 1 + (t % 2) * 0.5; }},
    };
    for (const Case& c : cases) {
        std::vector<double> v(static_cast<size_t>(kCount));
        for (int t = 0; t < kCount; ++t) v[size_t(t)] = c.value(t);
        auto term = [&v](int t) { return v[size_t(t)]; };
        for (int days : {1, 5, 24}) {
            SCOPED_TRACE(std::string(c.name) + ", days " + std::to_string(days));
            for (int to : {days + 100, kCount - 1000}) {
                CWindowSum walked, stepped;
                walked.Start(days - 1, days, term);
                stepped.Start(days - 1, days, term);
                std::vector<double> sums;
                walked.Walk(to, term, [&sums, days](int from, int count, const double* s, bool positive) {
                    EXPECT_EQ(from, days + int(sums.size()));
                    for (int k = 0; k < count && positive; ++k) EXPECT_TRUE(s[k] > 0 && s[k] <= DBL_MAX) << from + k;
                    sums.insert(sums.end(), s, s + count);
                });
                ASSERT_EQ(int(sums.size()), to - (days - 1));
                for (int t = days; t <= to; ++t) {
                    const double want = stepped.Next(term), got = sums[size_t(t - days)];
                    ASSERT_TRUE(std::memcmp(&want, &got, sizeof want) == 0 || (std::isnan(want) && std::isnan(got)))
                        << "bar " << t << ": " << got << " != " << want;
                }
                ASSERT_EQ(walked.GetBar(), stepped.GetBar());
                for (int t = to + 1; t < std::min(kCount, to + 600); ++t) {
                    const double want = stepped.Next(term), got = walked.Next(term);
                    ASSERT_TRUE(std::memcmp(&want, &got, sizeof want) == 0 || (std::isnan(want) && std::isnan(got)))
                        << "after the walk, bar " << t;
                }
            }
        }
        // Three sums walked together: each as Next steps it, and left where Next leaves it.
        const int days[3] = {1, 5, 24}, to = kCount - 1000;
        CWindowSum together[3], stepped[3];
        std::vector<double> sums[3];
        for (int j = 0; j < 3; ++j) together[j].Start(23, days[j], term), stepped[j].Start(23, days[j], term);
        ASSERT_TRUE(CWindowSum::WalkTogether<3>(together, to, term, [&sums](int j, int from, int count, const double* s, bool) {
            EXPECT_EQ(from, 24 + int(sums[j].size())) << "days " << j;
            sums[j].insert(sums[j].end(), s, s + count);
        }));
        for (int j = 0; j < 3; ++j) {
            SCOPED_TRACE(std::string(c.name) + ", together, days " + std::to_string(days[j]));
            ASSERT_EQ(int(sums[j].size()), to - 23);
            for (int t = 24; t <= to + 300; ++t) {
                const double want = stepped[j].Next(term), got = t <= to ? sums[j][size_t(t - 24)] : together[j].Next(term);
                ASSERT_TRUE(std::memcmp(&want, &got, sizeof want) == 0 || (std::isnan(want) && std::isnan(got)))
                    << "bar " << t << ": " << got << " != " << want;
            }
        }
        // Sums that do not stand alike are not moved.
        CWindowSum apart[2];
        apart[0].Start(30, 5, term), apart[1].Start(31, 5, term);
        EXPECT_FALSE(CWindowSum::WalkTogether<2>(apart, to, term, [](int, int, int, const double*, bool) {}));
        EXPECT_EQ(apart[0].GetBar(), 30);
    }
}

TEST(Running, AveragesRecoverOnceTheTickLeft) {
    const int kTick = 200, kCount = 600;
    for (double base : {20.0, 1e-6, 1e5}) {
        SCOPED_TRACE(base);
        const std::vector<double> p = WithTick(base, kCount, kTick, 3);
        CKData k;
        MakeCloses(k, p);
        // The walk as the chart draws it, and the range walk over the whole series.
        for (int days : {5, 20, 60}) {
            CMA ma;
            ma.SetKData(&k);
            double v = 0;
            bool ok = false;
            for (int i = 0; i < kCount; ++i) {
                ok = ma.Calculate(&v, i, days, ok);
                if (ok && (i < kTick || i >= kTick + days)) {
                    ASSERT_NEAR(v, ExactMean(p, i, days), 1e-9 * std::fabs(ExactMean(p, i, days)))
                        << days << " " << i;
                }
            }
        }
        // Volumes: the cached lines of the one-pass range walk, and a walk bar by bar.
        CKData vol;
        MakeCloses(vol, std::vector<double>(size_t(kCount), 10));
        for (int i = 0; i < kCount; ++i) vol[i].volume = float(p[size_t(i)]);
        CVOLUME range, walk;
        range.SetKData(&vol);
        walk.SetKData(&vol);
        ASSERT_TRUE(range.PrepareCache(0, -1, false));
        for (int d = 0; d < 2; ++d) {
            const int days = int(range.m_days[d]);
            double v = 0;
            bool ok = false;
            for (int i = days - 1; i < kCount; ++i) {
                ok = walk.Calculate(&v, i, days, ok);
                ASSERT_TRUE(ok);
                double cached = 0;
                ASSERT_TRUE(range.GetCached(d + 1, i, &cached));
                if (i >= kTick && i < kTick + days) continue;
                const double want = ExactMean(p, i, days);
                ASSERT_NEAR(cached, want, 1e-9 * want) << days << " " << i;
                ASSERT_NEAR(v, want, 1e-9 * want) << days << " " << i;
            }
        }
    }
}

// The running sums of the lines with an average, of the accumulation (both signs) and of the money
// flows: once an absurd close or volume has left every window, the range walk's cached lines and
// the chart's walk agree with a fresh object asked for the bar alone.
TEST(Running, LinesWithRunningSumsRecoverOnceTheTickLeft) {
    const int kCount = 600, kTick = 200, kSettled = 320;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CTechnique>()> make;
        int lines;
        bool volumeTick;
    };
    const Case cases[] = {
        {"MTM", Maker<CMTM>(), 2, false},   {"ROC", Maker<CROC>(), 2, false},   {"PCNT", Maker<CPCNT>(), 2, false},
        {"DPO", Maker<CDPO>(), 2, false},   {"OSC", Maker<COSC>(), 2, false},   {"MAOSC", Maker<CMAOSC>(), 2, false},
        {"UOS", Maker<CUOS>(), 2, false},   {"HLC", Maker<CHLC>(), 2, false},   {"KST", Maker<CKST>(), 2, false},
        {"VROC", Maker<CVROC>(), 2, true},  {"AD", Maker<CAD>(), 1, true},      {"MFI", Maker<CMFI>(), 1, true},
    };
    auto calc = [](CTechnique& t, int lines, int i, bool useLast, double* v) {
        return lines == 1 ? t.Calculate(&v[0], i, useLast) : t.Calculate(&v[0], &v[1], i, useLast);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CKData k;
        MakeWalk(k, kCount, 17);
        KDATA& b = k[kTick];
        if (c.volumeTick) {
            b.volume = 1e20f;
        } else {
            b.close = b.high = 1e20f;
        }
        auto range = c.make(), walk = c.make();
        range->SetKData(&k);
        walk->SetKData(&k);
        ASSERT_TRUE(range->PrepareCache(0, -1, false));
        double v[2] = {0, 0};
        bool ok = false;
        for (int i = 0; i < kCount; ++i) {
            ok = calc(*walk, c.lines, i, ok, v) || ok;
            if (i < kSettled) continue;
            auto fresh = c.make();
            fresh->SetKData(&k);
            double want[2] = {0, 0};
            ASSERT_TRUE(calc(*fresh, c.lines, i, false, want)) << i;
            for (int l = 0; l < c.lines; ++l) {
                double cached = 0;
                ASSERT_TRUE(range->GetCached(l + 1, i, &cached)) << i;
                const double tolerance = 1e-9 * std::max(1.0, std::fabs(want[l]));
                ASSERT_NEAR(cached, want[l], tolerance) << "line " << l + 1 << " bar " << i;
                ASSERT_NEAR(v[l], want[l], tolerance) << "line " << l + 1 << " bar " << i;
            }
        }
    }
}

// Line 1 and its average: walked bar by bar the running window agrees with the walk back over
// the bars that have values, across bars without a value and after a huge value left.
TEST(Running, ValueAndAverageWalk) {
    class Gappy : public CTechnique {
    public:
        explicit Gappy(CKData* k) : CTechnique(k) {}
        bool IsValidParameters() override { return true; }
        using CTechnique::Calculate;
        bool Calculate(double* v, int index, bool) override {
            if (!CheckIndex(index) || index % 7 == 3) return false;  // every 7th bar has no value
            if (v) *v = index == 100 ? 1e20 : std::sin(index * 0.1) * 5;
            return true;
        }
    };
    CKData k;
    MakeWalk(k, 400);
    for (int days : {1, 6, 30}) {
        Gappy walk(&k);
        for (int i = 0; i < 400; ++i) {
            double v = -1, m = -1, fv = -1, fm = -1;
            Gappy fresh(&k);
            const bool ok = walk.GetValueAndMA(&v, &m, i, true, days);
            ASSERT_EQ(ok, fresh.GetValueAndMA(&fv, &fm, i, false, days)) << days << " " << i;
            if (!ok) continue;
            ASSERT_EQ(v, fv) << days << " " << i;
            // Windows holding bar 100 are dominated by it; after it left the average is back.
            long double s = 0;
            int got = 0;
            for (int bar = i; got < days; --bar)
                if (fresh.Calculate(&fv, bar, false)) s += fv, ++got;
            const bool holdsTick = i >= 100 && i < 100 + days + days / 6 + 2;
            if (!holdsTick) {
                ASSERT_NEAR(m, double(s / days), 1e-9 * std::max(1.0, std::fabs(fm))) << days << " " << i;
            }
            ASSERT_NEAR(m, fm, 1e-9 * std::max(1.0, std::fabs(fm))) << days << " " << i;
        }
    }
}

// ---- BOLL's deviation ----

// MID and the sample deviation of the n prices ending at i, in two passes over exact sums.
void TwoPass(const std::vector<double>& p, int i, int n, double* mid, double* deviation) {
    long double s = 0;
    for (int t = i - n + 1; t <= i; ++t) s += p[size_t(t)];
    const long double m = s / n;
    long double q = 0;
    for (int t = i - n + 1; t <= i; ++t) q += (p[size_t(t)] - m) * (p[size_t(t)] - m);
    *mid = double(m);
    *deviation = double(std::sqrt(q / (n - 1)));
}

TEST(Running, BOLLDeviationKeepsItsPrecision) {
    // Prices near 1e-6 and near 1e5 moving by a few steps of their float spacing, a drift, a
    // flat stretch and a tick: a plain sum of squares loses every digit of the deviation here.
    struct Case { double base, step; };
    for (const Case& c : {Case{1e-6, 1e-13}, Case{1e5, 0.0078125}, Case{20, 0.001}}) {
        SCOPED_TRACE(c.base);
        std::vector<double> p;
        uint32_t seed = 9;
        double drift = 0;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int jitter = int(seed >> 28) - 8;
            if (i > 1500 && i < 1700) drift += c.step * 40;  // a climb far from the first origin
            double x = c.base + drift + (i >= 2000 && i < 2100 ? 0 : jitter * c.step);
            p.push_back(double(float(x)));
        }
        p[2500] = 1e20;
        CKData k;
        MakeCloses(k, p);
        for (int n : {2, 20, 250}) {
            CBOLL walk, isolated, range;
            for (CBOLL* b : {&walk, &isolated, &range}) {
                b->m_ints[CBOLL::kDays] = n;
                b->SetKData(&k);
            }
            ASSERT_TRUE(range.PrepareCache(0, -1, false));
            double m = 0, u = 0, d = 0;
            bool ok = false;
            for (int i = n - 1; i < int(p.size()); ++i) {
                ok = walk.Calculate(&m, &u, &d, i, ok);
                ASSERT_TRUE(ok);
                if (i >= 2500 && i < 2500 + n) continue;
                double mid, s;
                TwoPass(p, i, n, &mid, &s);
                double sw, si, mr;
                ASSERT_TRUE(walk.GetDeviation(i, &sw));
                ASSERT_TRUE(isolated.GetDeviation(i, &si));
                ASSERT_TRUE(range.GetCached(1, i, &mr));
                for (double got : {sw, si}) {
                    if (s == 0)
                        ASSERT_EQ(got, 0) << n << " " << i;
                    else
                        ASSERT_NEAR(got, s, 1e-9 * s) << n << " " << i;
                }
                ASSERT_NEAR(m, mid, 1e-12 * mid) << n << " " << i;
                ASSERT_NEAR(mr, mid, 1e-12 * mid) << n << " " << i;
                ASSERT_NEAR(u - m, 2 * s, 1e-9 * s + 4e-16 * mid) << n << " " << i;
            }
        }
    }
}

// ---- cache flags ----

TEST(Running, CacheFlagsSurviveManyClears) {
    CKData k;
    MakeWalk(k, 50);
    CBOLL t;
    t.SetKData(&k);
    // More clears than the flag generations, each storing at another bar (bar 0 only in the
    // first round): only the bar stored since the last clear reads as computed.
    for (int round = 0; round < 700; ++round) {
        const int bar = round == 0 ? 0 : 1 + round % 49;
        double v = round;
        ASSERT_TRUE(t.StoreToCache(bar, &v));
        for (int i = 0; i < 50; ++i) {
            double got = -1;
            ASSERT_EQ(t.GetCached(1, i, &got), i == bar) << round << " " << i;
            if (i == bar) {
                ASSERT_EQ(got, v);
            }
        }
        t.Clear();
    }
}

// Whole-range walks mark what they computed as ranges; joined, apart, overlapping and mixed with
// single bars, exactly the bars computed read as cached, and nothing after a clear.
TEST(Running, ComputedRangesAndSingleBars) {
    CKData k;
    MakeWalk(k, 300, 6);
    CBOLL all;
    all.SetKData(&k);
    ASSERT_TRUE(all.PrepareCache(0, -1, false));
    CBOLL t;
    t.SetKData(&k);
    std::vector<bool> want(300, false);
    auto range = [&](int a, int b) {
        ASSERT_TRUE(t.PrepareCache(a, b, false));
        for (int i = std::max(a, 19); i <= b; ++i) want[size_t(i)] = true;
    };
    auto single = [&](int i) {
        double m;
        ASSERT_TRUE(t.Calculate(&m, nullptr, nullptr, i, false));
        want[size_t(i)] = true;
    };
    auto check = [&](const char* step) {
        for (int i = 0; i < 300; ++i) {
            double got[3], ref[3];
            const bool cached = t.GetCached(1, i, &got[0]) && t.GetCached(2, i, &got[1]) && t.GetCached(3, i, &got[2]);
            ASSERT_EQ(cached, want[size_t(i)]) << step << " " << i;
            if (!cached) continue;
            for (int l = 0; l < 3; ++l) {
                ASSERT_TRUE(all.GetCached(l + 1, i, &ref[l]));
                ASSERT_TRUE(Close(got[l], ref[l], 1e-12)) << step << " " << i;
            }
        }
    };
    range(100, 150);
    check("first");
    range(20, 30);  // apart and shorter
    check("apart");
    single(40);
    range(151, 170);  // meets the first
    check("joined");
    range(31, 60);  // meets the short one, takes in the single bar
    check("second join");
    range(0, 299);
    check("whole");
    t.Clear();
    std::fill(want.begin(), want.end(), false);
    check("cleared");
    range(250, 260);
    single(220);
    range(5, 200);  // the longer, apart from the first range
    check("after clear");
}

// Every class's range walks write their lines plainly and mark the bars as computed: over
// buffers that held another series' lines, single bars and overlapping pieces of the range leave
// every cached entry of every line holding this series' value (as one walk over the whole series
// gives it, up to the warm-up of the decaying averages), and every bar of the pieces that has a
// value cached; bars without a value inside a piece stay uncached.
TEST(Running, EveryClassMarksWhatItsWalksStored) {
    const int n = 400;
    CKData k, other;
    MakeWalk(k, n, 3);
    MakeWalk(other, n, 41);
    // Bars without volume leave gaps in some classes' lines, inside the walked pieces.
    for (int i = 17; i < n; i += 37) k[i].volume = k[i].amount = 0;
    for (int i = 0; i < n; ++i) {
        KDATA& b = other[i];
        b.open *= 3, b.high *= 3, b.low *= 3, b.close *= 3, b.volume *= 2;
    }
    CTechSet whole, pieces, alone;
    whole.SetKData(&k);
    pieces.SetKData(&other);
    alone.SetKData(&k);
    const int singles[] = {5, 150, 151, 320};
    const int ranges[][2] = {{200, 260}, {40, 120}, {100, 230}, {330, 399}, {150, 150}};
    for (int m = 0; m < CTechSet::kMembers; ++m) {
        CParamTech& r = *whole.GetMember(m);
        CParamTech& t = *pieces.GetMember(m);
        CParamTech& single = *alone.GetMember(m);
        const std::string name = std::to_string(CTechSet::GetMemberId(m));
        for (int c = 0; c < 3; ++c) t.Clear();
        t.PrepareCache(0, -1, false);  // the buffers now hold the other series' lines
        t.SetKData(&k);
        r.PrepareCache(0, -1, false);
        std::vector<bool> walked(size_t(n), false);
        double lo, hi;
        for (int i : singles) {
            t.GetMinMaxInfo(i, i, &lo, &hi);
            walked[size_t(i)] = true;
        }
        for (const auto& p : ranges) {
            t.GetMinMaxInfo(p[0], p[1], &lo, &hi);
            for (int i = p[0]; i <= p[1]; ++i) walked[size_t(i)] = true;
        }
        // A warm-up leaves 0.001 of its first error, which is of the order of the largest line;
        // lines made of differences (MACD's, KDJ's J) multiply it by a few.
        double scale = 1, y = 0;
        for (int l = 1; l <= CTechnique::kLines; ++l)
            for (int i = 0; i < n; ++i)
                if (r.GetCached(l, i, &y)) scale = std::max(scale, std::fabs(y));
        for (int l = 1; l <= CTechnique::kLines; ++l) {
            for (int i = 0; i < n; ++i) {
                double x = 0;
                const bool got = t.GetCached(l, i, &x), want = r.GetCached(l, i, &y);
                if (got && !want) {
                    // A line of a bar the whole walk has no value for (one line of a bar whose
                    // average has none): as a walk over that bar alone caches it.
                    single.Clear();
                    single.GetMinMaxInfo(i, i, &lo, &hi);
                    ASSERT_TRUE(single.GetCached(l, i, &y)) << name << " line " << l << " bar " << i;
                }
                if (got) {
                    ASSERT_NEAR(x, y, 1e-2 * scale) << name << " line " << l << " bar " << i;
                } else if (want) {
                    ASSERT_FALSE(walked[size_t(i)]) << name << " line " << l << " bar " << i << " not cached";
                }
            }
        }
    }
}

template <class T>
std::unique_ptr<CTechnique> New() {
    return std::unique_ptr<CTechnique>(new T);
}

// A fresh object fills its cache over the whole series through its class's kernel; one that
// computed a single bar first fills the rest through the general walk. Both give the same lines
// bit for bit and the same bars without a value, on a series with a NaN bar, an infinite high, a
// low of -0, a bar without trades, a suspension and an absurd tick.
TEST(Running, WholeSeriesKernelsMatchTheGeneralWalk) {
    const int n = 3000;
    CKData k;
    MakeWalk(k, n, 29);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    KDATA& broken = k[700];
    broken.open = broken.high = broken.low = broken.close = broken.volume = broken.amount = nan;
    k[1200].high = inf;
    k[1500].low = -0.0f, k[1500].close = 0;
    k[1800].volume = k[1800].amount = 0;
    for (int i = 2000; i < 2040; ++i) {
        KDATA& b = k[i];
        b.open = b.high = b.low = b.close = k[1999].close, b.volume = b.amount = 0;
    }
    k[2500].close *= 1e6f, k[2500].high *= 1e6f;
    struct KernelCase {
        const char* name;
        std::unique_ptr<CTechnique> (*make)();
        int lines;
    };
    const KernelCase cases[] = {{"ASI", New<CASI>, 1},   {"BIAS", New<CBIAS>, 1}, {"KDJ", New<CKDJ>, 3},
                                {"58", New<CSelfTechnique5>, 3}, {"CI", New<CCI>, 1},     {"PV", New<CPV>, 1},
                                {"MACD", New<CMACD>, 4},  {"R", New<CR>, 1}};
    for (const KernelCase& c : cases) {
        std::unique_ptr<CTechnique> fresh = c.make(), general = c.make();
        fresh->SetKData(&k);
        general->SetKData(&k);
        ASSERT_TRUE(fresh->PrepareCache(0, -1, false)) << c.name;
        // The first bar with a value, alone: the rest of the walk cannot take the kernel.
        double v[CTechnique::kLines];
        int first = 0;
        for (; first < 100; ++first) {
            const bool ok = c.lines == 1   ? general->Calculate(&v[0], first, false)
                            : c.lines == 3 ? general->Calculate(&v[0], &v[1], &v[2], first, false)
                                           : general->Calculate(&v[0], &v[1], &v[2], &v[3], first, false);
            if (ok) break;
        }
        ASSERT_LT(first, 100) << c.name;
        double lo, hi;
        general->GetMinMaxInfo(0, n - 1, &lo, &hi);
        int values = 0;
        for (int i = 0; i < n; ++i)
            for (int l = 1; l <= c.lines; ++l) {
                double a = 0, b = 0;
                const bool got = fresh->GetCached(l, i, &a), want = general->GetCached(l, i, &b);
                ASSERT_EQ(got, want) << c.name << " line " << l << " bar " << i;
                ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << c.name << " line " << l << " bar " << i << ": " << a << " != " << b;
                values += got;
            }
        EXPECT_GT(values, (n - 200) * c.lines) << c.name;
    }
}

// MIKE folds each half of its window in blocks: the lines are those of one fold over the window,
// bit for bit, on windows with NaN fields, lows of -0 and 0 and infinite highs.
TEST(Running, MIKEBlocksFoldAsOneLoop) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    CKData k;
    MakeWalk(k, 400, 17);
    const int odd[] = {30, 41, 42, 57, 90, 91, 130, 131, 132, 200, 260, 261, 300};
    for (size_t j = 0; j < sizeof odd / sizeof odd[0]; ++j) {
        KDATA& b = k[odd[j]];
        switch (j % 5) {
        case 0: b.low = nan; break;
        case 1: b.high = nan; break;
        case 2: b.low = -0.0f; break;
        case 3: b.low = 0.0f; break;
        case 4: b.high = inf; break;
        }
    }
    for (int days : {12, 7, 1, 5}) {
        CMIKE t;
        t.m_ints[CMIKE::kDays] = days;
        t.SetKData(&k);
        for (int i = 2 * days - 1; i < k.GetSize(); ++i) {
            const KDATA& b = k[i];
            float typ = (b.high + b.low + b.close) / 3;
            float ln = b.low, hn = b.high, l2n = b.low, h2n = b.high;
            for (int s = i - 2 * days + 1; s <= i; ++s) {
                if (s > i - days) ln = std::min(ln, k[s].low), hn = std::max(hn, k[s].high);
                l2n = std::min(l2n, k[s].low), h2n = std::max(h2n, k[s].high);
            }
            const double want[6] = {typ + (typ - ln), typ + (hn - ln), typ + (h2n - ln),
                                    typ - (hn - typ), typ - (hn - ln), typ - (hn - l2n)};
            bool finite = true;
            for (double w : want) finite &= std::isfinite(w);
            double v[6];
            ASSERT_EQ(t.Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], i), finite) << days << " bar " << i;
            if (finite) {
                ASSERT_EQ(std::memcmp(v, want, sizeof v), 0) << days << " bar " << i;
            }
        }
    }
}

}  // namespace

// The whole-series kernels (a range none of whose bars is cached yet) against the general range
// pass the same request takes once a bar is cached (here the last one): every cached line of
// every bar the same to the bit, and the bars appended afterwards stepped on alike. The series
// crosses the window sums' refreshes and holds a suspension, single suspended days, a NaN bar and
// an infinite high.
TEST(Running, FreshWholeSeriesPassAgreesWithTheGeneralPass) {
    const int kBars = 9000;
    CKData k;
    {
        CKData walk;
        MakeWalk(walk, kBars, 31);
        for (int i = 0; i < kBars; ++i) {
            const bool off = (i >= 3000 && i < 3060) || i == 4100 || i == 6500;
            KDATA b = walk[i];
            if (off) {
                const float c = k[i - 1].close;
                b = MakeBar(c, c, c, c, 0, 0);
            }
            b.date = 20000101 + i;
            k.Add(b);
        }
        KDATA& nan = k[5000];
        nan.open = nan.high = nan.low = nan.close = nan.volume = nan.amount = std::nanf("");
        k[7000].high = std::numeric_limits<float>::infinity();
    }
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CTechnique>()> make;
        int lines;
    };
    const Case cases[] = {
        {"FXKP", Maker<CSelfTechnique1>(), 5}, {"JPBD", Maker<CSelfTechnique2>(), 4},
        {"DKNL", Maker<CSelfTechnique3>(), 4}, {"AD", Maker<CAD>(), 1},
        {"HSL", Maker<CHSL>(), 3},             {"DMI", Maker<CDMI>(), 4},
        {"RSI", Maker<CRSI>(), 2},             {"CR", Maker<CCR>(), 5},
        {"DPER", Maker<CDPER>(), 2},           {"SAR", Maker<CSAR>(), 1},
    };
    auto lines = [](CTechnique& t, int n, int i, double* v) {
        switch (n) {
        case 1: return t.Calculate(&v[0], i, false);
        case 2: return t.Calculate(&v[0], &v[1], i, false);
        case 3: return t.Calculate(&v[0], &v[1], &v[2], i, false);
        case 4: return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, false);
        default: return t.Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], i, false);
        }
    };
    auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CKData series = k;
        std::unique_ptr<CTechnique> fresh = c.make(), general = c.make();
        fresh->SetKData(&series);
        general->SetKData(&series);
        const int last = kBars - 1;
        double v[5];
        general->Calculate(&v[0], last, false);  // a cached bar: the general pass follows
        double lo[2], hi[2];
        const bool any[2] = {fresh->GetMinMaxInfo(0, last, &lo[0], &hi[0]),
                             general->GetMinMaxInfo(0, last, &lo[1], &hi[1])};
        EXPECT_EQ(any[0], any[1]);
        EXPECT_TRUE(same(lo[0], lo[1]) && same(hi[0], hi[1])) << lo[0] << " " << hi[0] << " / " << lo[1] << " " << hi[1];
        int compared = 0;
        for (int i = 0; i < last; ++i)
            for (int l = 1; l <= c.lines; ++l) {
                double a = 0, b = 0;
                const bool ga = fresh->GetCached(l, i, &a), gb = general->GetCached(l, i, &b);
                ASSERT_EQ(ga, gb) << "bar " << i << ", line " << l;
                ASSERT_TRUE(!ga || same(a, b)) << "bar " << i << ", line " << l << ": " << a << " != " << b;
                compared += ga;
            }
        EXPECT_GT(compared, (kBars - 200) * c.lines / 2);
        for (int add = 0; add < 3; ++add) {
            KDATA b = series[kBars - 400 + add];
            b.date = series[series.GetSize() - 1].date + 1;
            series.Add(b);
            const int i = series.GetSize() - 1;
            double a[5] = {0, 0, 0, 0, 0}, w[5] = {0, 0, 0, 0, 0};
            const bool ga = lines(*fresh, c.lines, i, a), gw = lines(*general, c.lines, i, w);
            ASSERT_EQ(ga, gw) << "appended bar " << i;
            for (int l = 0; l < c.lines && ga; ++l) EXPECT_TRUE(same(a[l], w[l])) << "appended bar " << i << ", line " << l + 1;
        }
    }
}
