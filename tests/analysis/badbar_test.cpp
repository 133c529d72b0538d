// One broken bar in a long series (NaN, +inf or -inf, or an absurd 1e15, in every field or in
// one): no indicator returns a value that is not finite, and once the bar is out of what a bar's
// value depends on, the whole-series pass and the chart's bar-by-bar walk give what they give on a
// clean copy of the series. The cost distribution takes such bars without undefined conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/techset.h"
#include "reference.h"

namespace {

constexpr int kBars = 2500;
constexpr int kBad = 200;  // the broken bar
// Lines that run from bar to bar (averages that decay, sums from bar 0) carry an absurd value
// for a long time; they are compared once it has decayed far below the tolerance.
constexpr int kSettled = kBad + 2000;
constexpr double kTolerance = 1e-9;

using ref::Calc;
using ref::Days;
using ref::Lines;
using ref::Make;

struct Row {
    std::string name;
    std::function<std::unique_ptr<CTechnique>()> make;
    int lines;
    Calc calc;
    bool runs;  // carried from bar to bar beyond any window (decaying averages, cumulative sums)
};

std::vector<Row> Rows() {
    std::vector<Row> rows = {
        {"MA 5", Make<CMA>(), 1, Days(5), false},
        {"MA 20", Make<CMA>(), 1, Days(20), false},
        {"EMA 10", Make<CMA>([](CMA& t) { t.m_ints[CMA::kType] = CMA::typeExponential; }), 1, Days(10), true},
        {"BBI", Make<CBBI>(), 1, Lines(1), false},
        {"BOLL", Make<CBOLL>(), 3, Lines(3), false},
        {"PV", Make<CPV>(), 1, Lines(1), false},
        {"SAR", Make<CSAR>(), 1, Lines(1), true},
        {"MACD", Make<CMACD>(), 4, Lines(4), true},
        {"MIKE", Make<CMIKE>(), 6,
         [](CTechnique& t, double* v, int i, bool) {
             return static_cast<CMIKE&>(t).Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], i);
         },
         false},
        {"PSY", Make<CPSY>(), 1, Lines(1), false},
        {"VOLUME 5", Make<CVOLUME>(), 1, Days(5), false},
        {"VOLUME 10", Make<CVOLUME>(), 1, Days(10), false},
        {"NVI", Make<CNVI>(), 2, Lines(2), true},
        {"PVI", Make<CPVI>(), 2, Lines(2), true},
        {"VR", Make<CVR>(), 1, Lines(1), false},
        {"VROC", Make<CVROC>(), 2, Lines(2), false},
        {"OBV", Make<COBV>(), 1, Lines(1), true},
        {"MOBV", Make<CMOBV>(), 3, Lines(3), true},
        {"MFI", Make<CMFI>(), 1, Lines(1), false},
        {"VMACD", Make<CVMACD>(), 4, Lines(4), true},
        {"WVAD", Make<CWVAD>(), 1, Lines(1), false},
        {"EMV", Make<CEMV>(), 2, Lines(2), false},
        {"VRSI", Make<CVRSI>(), 1, Lines(1), false},
        {"NVRSI", Make<CNVRSI>(), 1, Lines(1), false},
        {"AD", Make<CAD>(), 1, Lines(1), false},
        {"CI", Make<CCI>(), 1, Lines(1), false},
        {"KDJ", Make<CKDJ>(), 3, Lines(3), true},
        {"R", Make<CR>(), 1, Lines(1), false},
        {"RSI 10", Make<CRSI>(), 1, Days(10), false},
        {"RSI 20", Make<CRSI>(), 1, Days(20), false},
        {"BIAS", Make<CBIAS>(), 1, Lines(1), false},
        {"MTM", Make<CMTM>(), 2, Lines(2), false},
        {"DMI", Make<CDMI>(), 4, Lines(4), true},
        {"ROC", Make<CROC>(), 2, Lines(2), false},
        {"CCI", Make<CCCI>(), 2, Lines(2), false},
        {"CV", Make<CCV>(), 1, Lines(1), false},
        {"ARBR", Make<CARBR>(), 2, Lines(2), false},
        {"CR", Make<CCR>(), 5, Lines(5), false},
        {"OSC", Make<COSC>(), 2, Lines(2), false},
        {"UOS", Make<CUOS>(), 2, Lines(2), false},
        {"MAOSC", Make<CMAOSC>(), 2, Lines(2), false},
        {"36BIAS", Make<C36BIAS>(), 1, Lines(1), false},
        {"DPO", Make<CDPO>(), 2, Lines(2), false},
        {"KST", Make<CKST>(), 2, Lines(2), false},
        {"REI", Make<CREI>(), 1, Lines(1), false},
        {"DMKI", Make<CDMKI>(), 1, Lines(1), false},
        {"PCNT", Make<CPCNT>(), 2, Lines(2), false},
        {"HLC", Make<CHLC>(), 2, Lines(2), false},
        {"CDP", Make<CCDP>(), 4, Lines(4), false},
        {"ASI", Make<CASI>(), 1, Lines(1), false},
        {"ATR", Make<CATR>(), 1, Lines(1), false},
        {"CYO", Make<CCYO>(), 2, Lines(2), false},
        {"DCYO", Make<CDCYO>(), 2, Lines(2), false},
        {"HSL", Make<CHSL>(), 1, Lines(1), false},
        {"HSL 6", Make<CHSL>(), 1, Days(6), false},
        {"DPER", Make<CDPER>(), 2, Lines(2), false},
        {"SELF1", Make<CSelfTechnique1>(), 5, Lines(5), true},
        {"SELF2", Make<CSelfTechnique2>(), 4, Lines(4), true},
        {"SELF3", Make<CSelfTechnique3>(), 4, Lines(4), true},
        {"SELF4", Make<CSelfTechnique4>(), 4, Lines(4), true},
        {"SELF5", Make<CSelfTechnique5>(), 3, Lines(3), true},
    };
    return rows;
}

// What a path gave at every bar: whether it had a value, and the lines.
struct Values {
    int lines;
    std::vector<char> ok;
    std::vector<double> v;  // lines of bar i from i * lines on
    Values(int n, int count) : lines(count), ok(size_t(n), 0), v(size_t(n * count), 0.0) {}
    double* At(int i) { return &v[size_t(i * lines)]; }
    const double* At(int i) const { return &v[size_t(i * lines)]; }
};

// Each bar by an object of its own: every bar near the broken one, then one in 25 (a bar alone
// may take a long warm-up, or run from bar 0).
bool Asked(int i) { return (i >= kBad - 2 && i < kBad + 200) || i % 25 == 0; }
Values Fresh(CKData& k, const Row& r) {
    Values out(k.GetSize(), r.lines);
    for (int i = 0; i < k.GetSize(); ++i) {
        if (!Asked(i)) continue;
        std::unique_ptr<CTechnique> t = r.make();
        t->SetKData(&k);
        out.ok[size_t(i)] = r.calc(*t, out.At(i), i, false);
    }
    return out;
}

// As the chart draws: one object, bar after bar, useLast once a bar had a value, the lines
// carried over (a bar without a value leaves them as they were).
Values Walk(CKData& k, const Row& r) {
    Values out(k.GetSize(), r.lines);
    std::unique_ptr<CTechnique> p = r.make();
    CTechnique& t = *p;
    t.SetKData(&k);
    double v[8] = {};
    bool have = false;
    for (int i = 0; i < k.GetSize(); ++i) {
        const bool ok = r.calc(t, v, i, have);
        have = have || ok;
        out.ok[size_t(i)] = ok;
        std::copy(v, v + r.lines, out.At(i));
    }
    return out;
}

// The pane's range over the whole series first (one pass that fills the cache), then each bar.
Values Whole(CKData& k, const Row& r, bool* rangeFinite) {
    Values out(k.GetSize(), r.lines);
    std::unique_ptr<CTechnique> p = r.make();
    CTechnique& t = *p;
    t.SetKData(&k);
    double lo = 0, hi = 0;
    t.GetMinMaxInfo(0, k.GetSize() - 1, &lo, &hi);
    *rangeFinite = std::isfinite(lo) && std::isfinite(hi);
    for (int i = 0; i < k.GetSize(); ++i) out.ok[size_t(i)] = r.calc(t, out.At(i), i, false);
    return out;
}

bool Same(const Values& a, const Values& b, int i, int lines) {
    if (a.ok[size_t(i)] != b.ok[size_t(i)]) return false;
    if (!a.ok[size_t(i)]) return true;
    for (int l = 0; l < lines; ++l)
        if (!(a.At(i)[l] == b.At(i)[l])) return false;
    return true;
}

struct Broken {
    const char* name;
    double value;
};
const Broken kValues[] = {
    {"NaN", std::numeric_limits<double>::quiet_NaN()},
    {"+inf", std::numeric_limits<double>::infinity()},
    {"-inf", -std::numeric_limits<double>::infinity()},
    {"1e15", 1e15},
};

// The fields of the bar that are broken.
struct Shape {
    const char* name;
    std::function<void(KDATA&, float)> apply;
};
const Shape kShapes[] = {
    {"every field",
     [](KDATA& b, float x) { b.open = b.high = b.low = b.close = b.volume = b.amount = x; }},
    {"close", [](KDATA& b, float x) { b.close = x; }},
    {"high", [](KDATA& b, float x) { b.high = x; }},
    {"low", [](KDATA& b, float x) { b.low = x; }},
    {"open", [](KDATA& b, float x) { b.open = x; }},
    {"volume", [](KDATA& b, float x) { b.volume = x; }},
    {"amount", [](KDATA& b, float x) { b.amount = x; }},
};

TEST(BrokenBar, EveryIndicatorRecovers) {
    CKData clean;
    MakeWalk(clean, kBars, 29);
    // Every broken series, made once.
    std::vector<std::unique_ptr<CKData>> broken;
    for (const Broken& x : kValues) {
        for (const Shape& s : kShapes) {
            broken.emplace_back(new CKData);
            MakeWalk(*broken.back(), kBars, 29);
            s.apply((*broken.back())[kBad], float(x.value));
        }
    }
    for (const Row& r : Rows()) {
        const Values freshClean = Fresh(clean, r);
        bool finite = true;
        const Values walkClean = Walk(clean, r), wholeClean = Whole(clean, r, &finite);
        auto series = broken.begin();
        for (const Broken& x : kValues) {
            for (const Shape& s : kShapes) {
                const std::string where = r.name + ", " + x.name + " in " + s.name + ":";
                CKData& k = **series++;
                const Values fresh = Fresh(k, r), walk = Walk(k, r), whole = Whole(k, r, &finite);
                EXPECT_TRUE(finite) << where << " range";
                // However long a line runs, it has values again by the end of the series.
                EXPECT_EQ(walk.ok[kBars - 1], walkClean.ok[kBars - 1]) << where << " walk at the last bar";
                EXPECT_EQ(whole.ok[kBars - 1], wholeClean.ok[kBars - 1]) << where << " whole at the last bar";
                int failures = 0;
                for (int i = 0; i < kBars && failures < 3; ++i) {
                    const struct {
                        const char* name;
                        const Values& got;
                        const Values& clean;
                    } paths[] = {{"fresh", fresh, freshClean}, {"walk", walk, walkClean}, {"whole", whole, wholeClean}};
                    for (const auto& p : paths) {
                        if (!p.got.ok[size_t(i)]) continue;
                        for (int l = 0; l < r.lines; ++l) {
                            if (std::isfinite(p.got.At(i)[l])) continue;
                            ADD_FAILURE() << where << " " << p.name << " bar " << i << " line " << l + 1 << " " << p.got.At(i)[l];
                            ++failures;
                        }
                    }
                    // The bar alone does not see the broken one: the paths give what they
                    // give without it.
                    if (i <= kBad || !Asked(i) || !Same(fresh, freshClean, i, r.lines) || (r.runs && i < kSettled))
                        continue;
                    for (const auto& p : paths) {
                        if (p.got.ok[size_t(i)] != p.clean.ok[size_t(i)]) {
                            ADD_FAILURE() << where << " " << p.name << " bar " << i << (p.got.ok[size_t(i)] ? " has a value" : " has none");
                            ++failures;
                            continue;
                        }
                        for (int l = 0; l < r.lines && p.got.ok[size_t(i)]; ++l) {
                            const double want = p.clean.At(i)[l], got = p.got.At(i)[l];
                            if (std::fabs(got - want) <= kTolerance * std::max(1.0, std::fabs(want))) continue;
                            ADD_FAILURE() << where << " " << p.name << " bar " << i << " line " << l + 1 << ": " << got << " instead of "
                                          << want;
                            ++failures;
                        }
                    }
                }
            }
        }
    }
}

// The distribution over a broken bar: every conversion is defined (the sanitizer build checks),
// and what it gives is finite, within its bucket bound.
TEST(BrokenBar, CostDistributionTakesBrokenBars) {
    for (const Broken& x : kValues) {
        for (const Shape& s : kShapes) {
            SCOPED_TRACE(std::string(x.name) + " in " + s.name);
            CKData k;
            MakeWalk(k, 300, 31);
            s.apply(k[150], float(x.value));
            CTechSet set;
            set.SetKData(&k);
            CStockInfo info;
            CSPDWordArray prices, volumes;
            double lo = 0, hi = 0, total = 0, coverage = 0;
            for (const auto& w : {std::make_pair(100, 200), std::make_pair(0, 299), std::make_pair(150, 150)}) {
                if (set.m_CW.GetDistribution(w.first, w.second, info, 0.01, prices, volumes, &lo, &hi, &total,
                                             &coverage)) {
                    EXPECT_LE(prices.GetSize(), CCW::kMaxBuckets);
                    EXPECT_TRUE(std::isfinite(lo) && std::isfinite(hi) && std::isfinite(total) && std::isfinite(coverage))
                        << w.first << ".." << w.second << ": " << lo << " " << hi << " " << total << " " << coverage;
                }
                double v = 0;
                if (set.m_CW.GetVolumeAtPrice(w.first, w.second, 20, 0.01, &v)) {
                    EXPECT_TRUE(std::isfinite(v)) << v;
                }
            }
            // Both over the broken bar.
            if (set.m_CW.GetRecentDistribution(299, 200, info, 0.01, prices, volumes, &lo, &hi, &total, &coverage)) {
                EXPECT_TRUE(std::isfinite(total)) << total;
            }
            if (set.m_CW.GetCostDistribution(299, 60, info, 0.01, prices, volumes, &lo, &hi, &total, &coverage)) {
                EXPECT_TRUE(std::isfinite(total)) << total;
            }
        }
    }
}

}  // namespace
