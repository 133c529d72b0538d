// Signals and intensities of every class that has a signal: each class's GetSignal at every bar of
// long generated series against its rule written out plainly over the class's lines (the lines
// themselves are checked against plain loops in the family tests), and the intensity walk against
// the fading rule.
#include "reference.h"

#include <map>
#include <set>

namespace {

using namespace ref;

enum RangeKind { rangeLines, rangeFixed100, rangeMACD };

// The lines of a class over a series, read back from a filled cache.
struct Ctx {
    const CKData* k = nullptr;
    int lines = 0;
    RangeKind range = rangeLines;
    std::vector<std::vector<double>> v;   // [line][bar]
    std::vector<std::vector<char>> has;   // [line][bar]

    bool Has(int line, int i) const { return i >= 0 && i < k->GetSize() && has[size_t(line - 1)][size_t(i)]; }
    bool All(int i) const {
        for (int l = 1; l <= lines; ++l)
            if (!Has(l, i)) return false;
        return true;
    }
    double L(int line, int i) const { return v[size_t(line - 1)][size_t(i)]; }

    // Two levels inside the lines' range over the window, widened as a pane is.
    bool Levels(int i, int minBars, int window, double f1, double f2, double* low, double* high) const {
        if (i < minBars + window || i - window + 1 < 0) return false;
        double lo = 0, hi = 0;
        bool any = false;
        auto take = [&](double x) {
            if (!any || x < lo) lo = x;
            if (!any || x > hi) hi = x;
            any = true;
        };
        for (int t = i - window + 1; t <= i; ++t) {
            if (!All(t)) continue;
            if (range == rangeMACD) {
                take(L(3, t)), take(L(4, t)), take(2 * (L(3, t) - L(4, t)));
            } else {
                for (int l = 1; l <= lines; ++l) take(L(l, t));
            }
        }
        if (range == rangeFixed100) {
            lo = 0, hi = 100;
        } else if (range == rangeMACD) {
            lo -= std::fabs(lo) * 0.02;
            if (std::fabs(lo) < 0.0001) lo = -0.01;
            hi += std::fabs(hi) * 0.02;
            if (std::fabs(hi) < 0.0001) hi = 0.01;
            if (hi - lo < 0.03) hi = lo + 0.05;
        } else {
            lo -= std::fabs(lo) * 0.02;
            hi += std::fabs(hi) * 0.02;
            if (hi - lo < 0.03) hi = lo + 0.05;
        }
        *low = lo + (hi - lo) * f1;
        *high = lo + (hi - lo) * f2;
        return true;
    }
    // 4 golden, 5 dead, 1 none: line 1 (a) against line 2 (b) at the bar before and the bar.
    int Cross(int i, int a = 1, int b = 2) const {
        if (i < 1 || !Has(a, i - 1) || !Has(a, i) || !Has(b, i - 1) || !Has(b, i)) return reasonNone;
        const double a0 = L(a, i - 1), a1 = L(a, i), b0 = L(b, i - 1), b1 = L(b, i);
        if (a0 <= b0 && b1 < a1 && a0 <= a1 && b0 <= b1) return reasonGoldenCross;
        if (a0 >= b0 && b1 > a1 && a0 >= a1 && b0 >= b1) return reasonDeadCross;
        return reasonNone;
    }
    // Line a rising through line b, neither falling (and the mirror).
    bool Up(int i, int a, int b) const {
        if (i < 1 || !Has(a, i - 1) || !Has(a, i) || !Has(b, i - 1) || !Has(b, i)) return false;
        return L(b, i - 1) >= L(a, i - 1) && L(b, i) < L(a, i) && L(a, i - 1) <= L(a, i) && L(b, i - 1) <= L(b, i);
    }
    bool Down(int i, int a, int b) const {
        if (i < 1 || !Has(a, i - 1) || !Has(a, i) || !Has(b, i - 1) || !Has(b, i)) return false;
        return L(b, i - 1) <= L(a, i - 1) && L(b, i) > L(a, i) && L(a, i - 1) >= L(a, i) && L(b, i - 1) >= L(b, i);
    }
    // New extreme over 115 bars, the earlier extreme 5 to 30 bars back, of any value sequence.
    template <class F>
    static bool NewExtreme(int i, bool high, F value) {
        const double now = value(i);
        int best = -1;
        double bestValue = 0;
        for (int t = i - 114; t < i; ++t) {
            const double x = value(t);
            if (high ? x > now : x < now) return false;
            if (best < 0 || (high ? x >= bestValue : x <= bestValue)) best = t, bestValue = x;
        }
        return best >= i - 30 && best <= i - 5;
    }
    // The price at a new extreme while the given lines are not.
    bool Divergence(int i, bool top, int a, int b) const {
        if (i < 114) return false;
        for (int line : {a, b})
            for (int t = i - 114; line && t <= i; ++t)
                if (!Has(line, t)) return false;
        if (!NewExtreme(i, top, [this](int t) { return P(*k, t); })) return false;
        bool lines = true;
        for (int line : {a, b})
            if (line) lines = lines && NewExtreme(i, top, [this, line](int t) { return L(line, t); });
        return !lines;
    }
    int ZoneCross(int i, int minBars, double f1, double f2, int* reason) const {
        double low, high;
        if (!Levels(i, minBars, 120, f1, f2, &low, &high) || !All(i)) return 0;
        const int c = Cross(i);
        if (c == reasonGoldenCross && L(1, i) < low) return *reason = reasonGoldenCross, 10;
        if (c == reasonDeadCross && L(1, i) > high) return *reason = reasonDeadCross, -10;
        return 0;
    }
};

using Rule = std::function<int(const Ctx&, int, int*)>;

struct SignalCase {
    const char* name;
    std::function<std::unique_ptr<CTechnique>()> make;
    int lines;
    RangeKind range;
    Rule rule;
    std::vector<int> days = {};  // for the per-day-count classes: the day counts of the lines
};

Rule Threshold(double below, int buy, int buyReason, double above, int sell, int sellReason, bool inclusive = false) {
    return [=](const Ctx& c, int i, int* r) {
        if (!c.All(i)) return 0;
        const double x = c.L(1, i);
        if (inclusive ? x <= below : x < below) return *r = buyReason, buy;
        if (inclusive ? x >= above : x > above) return *r = sellReason, sell;
        return 0;
    };
}

Rule LevelThreshold(int minBars, int window, double f1, double f2, int buyReason, int sellReason, int buy = 10,
                    int sell = -10) {
    return [=](const Ctx& c, int i, int* r) {
        double low, high;
        if (!c.Levels(i, minBars, window, f1, f2, &low, &high) || !c.All(i)) return 0;
        if (c.L(1, i) < low) return *r = buyReason, buy;
        if (c.L(1, i) > high) return *r = sellReason, sell;
        return 0;
    };
}

Rule ZoneCross(int minBars, double f1, double f2, int from = 0) {
    return [=](const Ctx& c, int i, int* r) { return i < from ? 0 : c.ZoneCross(i, minBars, f1, f2, r); };
}

Rule Divergences(int minBars, int a, int b, int level) {
    return [=](const Ctx& c, int i, int* r) {
        double low, high;
        if (!c.Levels(i, minBars, 120, 0.3, 0.7, &low, &high)) return 0;
        if (c.Divergence(i, false, a, b)) return *r = reasonBottomDivergence, level;
        if (c.Divergence(i, true, a, b)) return *r = reasonTopDivergence, -level;
        return 0;
    };
}

Rule MacdRule(int minBars) {
    return [=](const Ctx& c, int i, int* r) {
        double low, high;
        if (!c.Levels(i, minBars, 120, 0.309, 0.682, &low, &high) || !c.All(i)) return 0;
        if (c.Divergence(i, false, 3, 4)) return *r = reasonBottomDivergence, 15;
        if (c.Divergence(i, true, 3, 4)) return *r = reasonTopDivergence, -15;
        if (c.L(3, i) < low && c.L(4, i) < low) return *r = reasonGoldenCross, 10;
        if (c.L(3, i) > high && c.L(4, i) > high) return *r = reasonDeadCross, -10;
        return 0;
    };
}

Rule VolumeRsiRule() {
    return [](const Ctx& c, int i, int* r) {
        double low, high;
        if (!c.Levels(i, 10, 120, 0.3, 0.7, &low, &high) || !c.All(i)) return 0;
        if (c.Divergence(i, false, 1, 0)) return *r = reasonBottomDivergence, 15;
        if (c.Divergence(i, true, 1, 0)) return *r = reasonTopDivergence, -15;
        if (c.L(1, i) < low) return *r = reasonOversold, 10;
        if (c.L(1, i) > high) return *r = reasonOverbought, -10;
        return 0;
    };
}

Rule KdjRule() {
    return [](const Ctx& c, int i, int* r) {
        if (!c.All(i)) return 0;
        const double k = c.L(1, i), d = c.L(2, i);
        if (k < 25 && d < 25 && c.Up(i, 1, 2)) return *r = reasonGoldenCross, 10;
        if (k > 75 && d > 75 && c.Down(i, 1, 2)) return *r = reasonDeadCross, -10;
        return 0;
    };
}

Rule CrossInZone(int minBars, double f1, double f2) {
    return [=](const Ctx& c, int i, int* r) {
        double low, high;
        if (i < 1 || !c.Levels(i, minBars, 120, f1, f2, &low, &high) || !c.All(i - 1) || !c.All(i)) return 0;
        const double a = c.L(1, i), b = c.L(2, i);
        if (a < low && b < low && c.Up(i, 1, 2)) return *r = reasonGoldenCross, 10;
        if (a > high && b > high && c.Down(i, 1, 2)) return *r = reasonDeadCross, -10;
        return 0;
    };
}

std::vector<SignalCase> Cases() {
    return {
        {"NVI", Make<CNVI>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             const int x = c.Cross(i);
             if (x == reasonGoldenCross) return *r = x, 10;
             if (x == reasonDeadCross) return *r = x, -10;
             return 0;
         }},
        {"PVI", Make<CPVI>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             const int x = c.Cross(i);
             if (x == reasonGoldenCross) return *r = x, 10;
             if (x == reasonDeadCross) return *r = x, -10;
             return 0;
         }},
        {"VR", Make<CVR>(), 1, rangeLines,
         [](const Ctx& c, int i, int* r) {
             double low, high;
             if (!c.Levels(i, 12, 120, 0.309, 0.682, &low, &high) || !c.All(i - 1) || !c.All(i)) return 0;
             const double now = c.L(1, i), prev = c.L(1, i - 1);
             if (now < low && now > prev) return *r = reasonBullTrend, 10;
             if (now > high && now < prev) return *r = reasonBearTrend, -10;
             return 0;
         }},
        {"VROC", Make<CVROC>(), 2, rangeLines, Divergences(20, 1, 2, 10)},
        {"OBV", Make<COBV>(), 1, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (c.Divergence(i, false, 1, 0)) return *r = reasonBottomDivergence, 10;
             if (c.Divergence(i, true, 1, 0)) return *r = reasonTopDivergence, -10;
             return 0;
         }},
        {"MOBV", Make<CMOBV>(), 3, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (i < 26 + 120 || !c.All(i - 1) || !c.All(i)) return 0;
             double lo = (*c.k)[i].low, hi = (*c.k)[i].high;
             for (int t = i - 119; t <= i; ++t) lo = std::min(lo, double((*c.k)[t].low)), hi = std::max(hi, double((*c.k)[t].high));
             const double mid = lo + (hi - lo) * 0.5, p = P(*c.k, i);
             if (p < mid && (c.Up(i, 1, 2) || c.Up(i, 2, 3))) return *r = reasonGoldenCross, 10;
             if (p > mid && (c.Down(i, 1, 2) || c.Down(i, 2, 3))) return *r = reasonDeadCross, -10;
             return 0;
         }},
        {"MFI", Make<CMFI>(), 1, rangeFixed100, Threshold(20, 10, reasonBullTrend, 80, -10, reasonBearTrend, true)},
        {"VMACD", Make<CVMACD>(), 4, rangeMACD, MacdRule(26)},
        {"WVAD", Make<CWVAD>(), 1, rangeLines, LevelThreshold(24, 120, 0.3, 0.7, reasonBullTrend, reasonBearTrend)},
        {"EMV", Make<CEMV>(), 2, rangeLines, ZoneCross(23, 0.5, 0.5)},
        {"VRSI", Make<CVRSI>(), 1, rangeLines, VolumeRsiRule()},
        {"NVRSI", Make<CNVRSI>(), 1, rangeLines, VolumeRsiRule()},
        {"KDJ", Make<CKDJ>(), 3, rangeLines, KdjRule()},
        {"id 58", Make<CSelfTechnique5>(), 3, rangeLines, KdjRule()},
        {"RSI", Make<CRSI>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (i < 1) return 0;
             // The MA cross of the two day counts (10 the shorter).
             int cross = reasonNone;
             if (c.Has(1, i - 1) && c.Has(1, i) && c.Has(2, i - 1) && c.Has(2, i)) {
                 const double s0 = c.L(1, i - 1), s1 = c.L(1, i), l0 = c.L(2, i - 1), l1 = c.L(2, i);
                 if (s0 <= l0 && l1 < s1 && s0 <= s1 && l0 <= l1) cross = reasonGoldenCross;
                 else if (s0 >= l0 && l1 > s1 && s1 <= s0 && l1 <= l0) cross = reasonDeadCross;
             }
             for (int line = 1; line <= 2; ++line) {
                 if (!c.Has(line, i - 1) || !c.Has(line, i)) break;
                 const double x = c.L(line, i);
                 if (x < 20) return *r = reasonOversold, 10;
                 if (x < 40 && cross == reasonGoldenCross) return *r = reasonGoldenCross, 15;
                 if (x > 60 && cross == reasonDeadCross) return *r = reasonDeadCross, -15;
             }
             return 0;
         },
         {10, 20}},
        {"BIAS", Make<CBIAS>(), 1, rangeLines, Threshold(-10, 10, reasonOversold, 5, -10, reasonOverbought)},
        {"MTM", Make<CMTM>(), 2, rangeLines, CrossInZone(20, 0.3, 0.6)},
        {"ROC", Make<CROC>(), 2, rangeLines, CrossInZone(20, 0.309, 0.6)},
        {"CCI", Make<CCCI>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (!c.All(i)) return 0;
             const int x = c.Cross(i);
             if (c.L(1, i) < -100 && x == reasonGoldenCross) return *r = x, 10;
             if (c.L(1, i) > 100 && x == reasonDeadCross) return *r = x, -10;
             return 0;
         }},
        {"CV", Make<CCV>(), 1, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (i < 2 || !c.All(i - 2) || !c.All(i - 1) || !c.All(i)) return 0;
             const double x = c.L(1, i - 2), y = c.L(1, i - 1), z = c.L(1, i);
             if (x < 0 && y < 0 && z < 0 && x >= y && z > y) return *r = reasonOversold, 10;
             if (x > 0 && y > 0 && z > 0 && x <= y && z < y) return *r = reasonOverbought, -10;
             return 0;
         }},
        {"ARBR", Make<CARBR>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (!c.All(i)) return 0;
             const double ar = c.L(1, i), br = c.L(2, i);
             const int x = c.Cross(i);
             if ((ar < 50 || br < 50) && x == reasonGoldenCross) return *r = x, 15;
             if ((ar > 180 || br > 300) && x == reasonDeadCross) return *r = x, -15;
             if (ar < 50) return *r = reasonOversold, 10;
             if (ar > 200) return *r = reasonOverbought, -10;
             return 0;
         }},
        {"CR", Make<CCR>(), 5, rangeLines, Threshold(40, 10, reasonOversold, 300, -10, reasonOverbought)},
        {"OSC", Make<COSC>(), 2, rangeLines, ZoneCross(16, 0.3, 0.6)},
        {"UOS", Make<CUOS>(), 2, rangeLines, ZoneCross(34, 0.4, 0.6)},
        {"MAOSC", Make<CMAOSC>(), 2, rangeLines, ZoneCross(18, 0.4, 0.5)},
        {"36BIAS", Make<C36BIAS>(), 1, rangeLines, LevelThreshold(6, 40, 0.02, 0.98, reasonOversold, reasonOverbought)},
        {"DPO", Make<CDPO>(), 2, rangeLines, ZoneCross(36, 0.2, 0.7)},
        {"KST", Make<CKST>(), 2, rangeLines, ZoneCross(30, 0.2, 0.6, 2)},
        {"REI", Make<CREI>(), 1, rangeLines,
         [](const Ctx& c, int i, int* r) {
             if (i < 1 || !c.All(i - 1) || !c.All(i)) return 0;
             const double prev = c.L(1, i - 1), now = c.L(1, i);
             if (prev < -0.6 && now > -0.6) return *r = reasonBullTrend, 10;
             if (prev > 0.6 && now < 0.6) return *r = reasonBearTrend, -10;
             return 0;
         }},
        {"DMKI", Make<CDMKI>(), 1, rangeLines, Threshold(0.3, 10, reasonOversold, 0.7, -10, reasonOverbought)},
        {"PCNT", Make<CPCNT>(), 2, rangeLines, ZoneCross(6, 0.5, 0.5)},
        {"HLC", Make<CHLC>(), 2, rangeLines,
         [](const Ctx& c, int i, int* r) {
             double low, high;
             if (!c.Levels(i, 18, 360, 0.4, 0.6, &low, &high) || !c.All(i)) return 0;
             const int x = c.Cross(i);
             if (x == reasonGoldenCross) return *r = x, 10;
             if (x == reasonDeadCross) return *r = x, -10;
             return 0;
         }},
        {"ASI", Make<CASI>(), 1, rangeLines, Divergences(6, 1, 0, 10)},
        {"ATR", Make<CATR>(), 1, rangeLines, LevelThreshold(14, 120, 0.3, 0.7, reasonOverbought, reasonOversold, -10, 10)},
        {"CYO", Make<CCYO>(), 2, rangeLines, ZoneCross(30, 0.2, 0.6, 2)},
        {"DCYO", Make<CDCYO>(), 2, rangeLines, ZoneCross(30, 0.45, 0.55)},
        {"DPER", Make<CDPER>(), 2, rangeFixed100, ZoneCross(60, 0.15, 0.7)},
        {"id 55", Make<CSelfTechnique2>(), 4, rangeMACD, MacdRule(42)},
        {"id 56", Make<CSelfTechnique3>(), 4, rangeMACD, MacdRule(22)},
        {"id 57", Make<CSelfTechnique4>(), 4, rangeMACD, MacdRule(62)},
    };
}

// Swinging series: long trends, reversals and quiet stretches, so that zones, crosses and
// divergences all occur.
std::vector<CKData> SignalSeries() {
    std::vector<CKData> out;
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        CKData k;
        MakeWalk(k, 900, seed);
        for (int i = 0; i < 900; ++i) {
            const double wave = 1 + 0.35 * std::sin(i / (23.0 + seed * 7));
            KDATA& b = k[i];
            b.open = float(b.open * wave), b.high = float(b.high * wave), b.low = float(b.low * wave);
            b.close = float(b.close * wave);
            b.volume = float(b.volume * (1.5 + std::cos(i / 17.0)));
        }
        out.push_back(k);
    }
    return out;
}

Ctx ReadLines(const SignalCase& sc, CKData& k) {
    Ctx c;
    c.k = &k;
    c.lines = sc.lines;
    c.range = sc.range;
    std::unique_ptr<CTechnique> t = sc.make();
    t->SetKData(&k);
    t->PrepareCache(0, -1, true);
    const int n = k.GetSize();
    c.v.assign(size_t(sc.lines), std::vector<double>(size_t(n), 0.0));
    c.has.assign(size_t(sc.lines), std::vector<char>(size_t(n), 0));
    for (int i = 0; i < n; ++i)
        for (int l = 1; l <= sc.lines; ++l) {
            double x;
            const bool got = sc.days.empty() ? t->GetCached(l, i, &x) : t->Calculate(&x, i, sc.days[size_t(l - 1)], false);
            c.has[size_t(l - 1)][size_t(i)] = got;
            if (got) c.v[size_t(l - 1)][size_t(i)] = x;
        }
    return c;
}

TEST(Signals, EveryClassFollowsItsRule) {
    std::vector<CKData> series = SignalSeries();
    std::map<std::string, std::set<int>> seen;
    for (const SignalCase& sc : Cases()) {
        for (CKData& k : series) {
            const Ctx c = ReadLines(sc, k);
            std::unique_ptr<CTechnique> t = sc.make();
            t->SetKData(&k);
            std::unique_ptr<CTechnique> walk = sc.make();
            walk->SetKData(&k);
            walk->ClearLastIntensity();
            int last = 0, lastReason = reasonNone;
            for (int i = 0; i < k.GetSize(); ++i) {
                int want = reasonNone, r = -1;
                const int s = sc.rule(c, i, &want);
                ASSERT_EQ(t->GetSignal(i, &r), s) << sc.name << " bar " << i;
                ASSERT_EQ(r, s ? want : reasonNone) << sc.name << " bar " << i;
                if (s) seen[sc.name].insert(want * (s > 0 ? 1 : -1));
                // Intensity: a signal is remembered and fades one step a bar toward +-1.
                if (s)
                    last = s, lastReason = want;
                else if (last > 1)
                    --last;
                else if (last < -1)
                    ++last;
                int ir = -1;
                ASSERT_EQ(walk->GetIntensity(i, &ir, false), last) << sc.name << " intensity bar " << i;
                ASSERT_EQ(ir, lastReason) << sc.name << " intensity bar " << i;
            }
        }
    }
    // The table of what each class gave over these series (reason, signed by direction): every
    // class with a signal gives one, and both directions.
    for (const SignalCase& sc : Cases()) {
        const std::set<int>& s = seen[sc.name];
        std::string text;
        for (int x : s) text += " " + std::to_string(x);
        bool buy = false, sell = false;
        for (int x : s) (x > 0 ? buy : sell) = true;
        EXPECT_TRUE(buy && sell) << sc.name << " gave only:" << text;
    }
}

}  // namespace
