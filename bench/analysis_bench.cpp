// MA, BOLL, MACD, VOLUME and SAR over 1,000,000 bars through the indicator classes, once as a
// whole-series computation and once bar by bar through Calculate with useLast (as the chart
// draws), each against the fastest plain loop that produces the same lines.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "analysis/techs.h"
#include "ratio.h"

namespace {

constexpr int kBars = 1000000;

const CKData& Series() {
    static CKData k = [] {
        CKData s;
        s.SetSize(kBars);
        uint32_t seed = 7;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / double(1u << 24);
        };
        double price = 20;
        for (int i = 0; i < kBars; ++i) {
            KDATA& b = s[i];
            b.open = float(price);
            price *= 1 + (next() - 0.5) * 0.02;
            b.close = float(price);
            b.high = float(std::max(b.open, b.close) * (1 + next() * 0.01));
            b.low = float(std::min(b.open, b.close) * (1 - next() * 0.01));
            b.volume = float(1000 + next() * 9000);
            b.amount = float(b.volume * price);
        }
        return s;
    }();
    return k;
}

CKData& MutableSeries() { return const_cast<CKData&>(Series()); }

// Output lines of the plain loops and of the bar-by-bar callers, allocated once.
struct Lines {
    std::vector<double> line[4];
    Lines() {
        for (auto& l : line) l.assign(kBars, 0);
    }
    double* operator[](int k) { return line[k].data(); }
};

Lines& Out() {
    static Lines lines;
    return lines;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- plain loops ----

// Three simple averages: running sums, one pass; kStore writes the lines, kRange takes min and max.
template <bool kStore, bool kRange>
void PlainMA(const KDATA* b, int n0, int n1, int n2, Lines& out, double* lo, double* hi) {
    double* o0 = out[0];
    double* o1 = out[1];
    double* o2 = out[2];
    double s0 = 0, s1 = 0, s2 = 0, l = kInf, h = -kInf;
    const int top = std::max(n0, std::max(n1, n2));
    auto take = [&](int i, int n, double s, double* o) {
        const double v = s / n;
        if (kStore) o[i] = v;
        if (kRange) l = std::min(l, v), h = std::max(h, v);
    };
    for (int i = 0; i < top; ++i) {
        const double x = b[i].close;
        s0 += x, s1 += x, s2 += x;
        if (i >= n0) s0 -= b[i - n0].close;
        if (i >= n1) s1 -= b[i - n1].close;
        if (i >= n2) s2 -= b[i - n2].close;
        if (i + 1 >= n0) take(i, n0, s0, o0);
        if (i + 1 >= n1) take(i, n1, s1, o1);
        if (i + 1 >= n2) take(i, n2, s2, o2);
    }
    for (int i = top; i < kBars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double x = b[i].close;
        s0 += x - double(b[i - n0].close);
        s1 += x - double(b[i - n1].close);
        s2 += x - double(b[i - n2].close);
        take(i, n0, s0, o0);
        take(i, n1, s1, o1);
        take(i, n2, s2, o2);
    }
    *lo = l, *hi = h;
}

// Two volume averages: running sums, one pass, both lines written; kRange also the largest volume.
template <bool kRange>
void PlainVolume(const KDATA* b, int n0, int n1, Lines& out, double* top) {
    double* o0 = out[0];
    double* o1 = out[1];
    double s0 = 0, s1 = 0, t = 0;
    const int first = std::max(n0, n1);
    for (int i = 0; i < first; ++i) {
        const double x = b[i].volume;
        if (kRange) t = std::max(t, x);
        s0 += x, s1 += x;
        if (i >= n0) s0 -= b[i - n0].volume;
        if (i >= n1) s1 -= b[i - n1].volume;
        if (i + 1 >= n0) o0[i] = s0 / n0;
        if (i + 1 >= n1) o1[i] = s1 / n1;
    }
    for (int i = first; i < kBars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double x = b[i].volume;
        if (kRange) t = std::max(t, x);
        s0 += x - double(b[i - n0].volume);
        s1 += x - double(b[i - n1].volume);
        o0[i] = s0 / n0;
        o1[i] = s1 / n1;
    }
    *top = t;
}

// BOLL: running sums of the distance from the first price and of its square, one pass, three lines.
template <bool kRange>
void PlainBOLL(const KDATA* b, int n, double width, Lines& out, double* lo, double* hi) {
    double* mid = out[0];
    double* up = out[1];
    double* down = out[2];
    const double origin = b[0].close;
    double s1 = 0, s2 = 0, l = kInf, h = -kInf;
    int lb = -1, hb = -1;
    auto take = [&](int i) {
        const double m = (origin * n + s1) / n;
        const double centred = s2 - s1 * (s1 / n);
        const double s = centred > 0 ? std::sqrt(centred / (n - 1)) : 0;
        mid[i] = m, up[i] = m + s * width, down[i] = m - s * width;
        if (kRange) {
            if (down[i] < l) l = down[i], lb = i;
            if (up[i] > h) h = up[i], hb = i;
        }
    };
    for (int i = 0; i < n; ++i) {
        const double d = b[i].close - origin;
        s1 += d, s2 += d * d;
    }
    take(n - 1);
    for (int i = n; i < kBars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double in = b[i].close - origin, leave = b[i - n].close - origin;
        s1 += in - leave;
        s2 += in * in - leave * leave;
        take(i);
    }
    *lo = l, *hi = h;
    benchmark::DoNotOptimize(lb);
    benchmark::DoNotOptimize(hb);
}

// MACD: the three exponential averages run from bar 0, one pass, four lines from the first full bar.
template <bool kRange>
void PlainMACD(const KDATA* b, int ns, int nl, int ng, Lines& out, double* lo, double* hi) {
    const double n0 = 2.0 / (ns + 1), o0 = (ns - 1.0) / (ns + 1);
    const double n1 = 2.0 / (nl + 1), o1 = (nl - 1.0) / (nl + 1);
    const double n2 = 2.0 / (ng + 1), o2 = (ng - 1.0) / (ng + 1);
    const int first = std::max(ns, std::max(nl, ng)) - 1;
    double es = b[0].close, el = es, dea = 0, l = kInf, h = -kInf;
    int lb = -1, hb = -1;
    for (int i = 0; i < kBars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double p = b[i].close;
        es = n0 * p + o0 * es;
        el = n1 * p + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        if (i < first) continue;
        const double dif = es - el;
        out[0][i] = es, out[1][i] = el, out[2][i] = dif, out[3][i] = dea;
        if (kRange) {
            const double bar = 2 * (dif - dea);
            const double a = std::min(dif, std::min(dea, bar)), c = std::max(dif, std::max(dea, bar));
            if (a < l) l = a, lb = i;
            if (c > h) h = c, hb = i;
        }
    }
    *lo = l, *hi = h;
    benchmark::DoNotOptimize(lb);
    benchmark::DoNotOptimize(hb);
}

// SAR: the step rule with a restart at the n-bar extreme after each reversal, one pass, one line.
template <bool kRange>
void PlainSAR(const KDATA* b, int n, double step, double maximum, Lines& out, double* lo, double* hi) {
    double* o = out[0];
    bool rising = true, pending = true, started = false;
    double a = step, highest = 0, lowest = 0, sar = 0, l = kInf, h = -kInf;
    for (int t = n - 1; t < kBars; ++t) {
        __builtin_prefetch(b + t + 16);
        if (started && !pending) {
            const double hp = b[t - 1].high, lp = b[t - 1].low;
            if (rising) {
                sar = sar + a * (hp - sar);
                if (hp > highest) highest = hp, a = std::min(a + step, maximum);
                pending = b[t].low < sar;
            } else {
                sar = sar - (sar - lp) * a;
                if (lp < lowest) lowest = lp, a = std::min(a + step, maximum);
                pending = b[t].high > sar;
            }
        } else {
            double lw = b[t].low, hg = b[t].high;
            for (int j = t - n + 1; j < t; ++j) lw = std::min(lw, double(b[j].low)), hg = std::max(hg, double(b[j].high));
            rising = started ? !rising : true;
            started = true;
            pending = false;
            a = step, highest = hg, lowest = lw;
            sar = rising ? lw : hg;
        }
        o[t] = sar;
        if (kRange) l = std::min(l, sar), h = std::max(h, sar);
    }
    *lo = l, *hi = h;
}

// ---- benchmarks ----

void BM_MA_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMA<false, true>(b, 5, 10, 20, Out(), &lo, &hi);
        benchmark::DoNotOptimize(lo);
        benchmark::DoNotOptimize(hi);
    }
}
void BM_MA_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMA<true, false>(b, 5, 10, 20, Out(), &lo, &hi);
        benchmark::DoNotOptimize(Out()[2]);
        benchmark::ClobberMemory();
    }
}
void BM_MA_Class(benchmark::State& state) {
    CMA ma;
    for (auto _ : state) {
        ma.SetKData(&MutableSeries());
        double mn, mx;
        benchmark::DoNotOptimize(ma.GetMinMaxInfo(0, kBars - 1, &mn, &mx));
        benchmark::DoNotOptimize(mx);
    }
}
void BM_MA_ClassBars(benchmark::State& state) {
    CMA ma;
    const int days[3] = {5, 10, 20};
    Lines& out = Out();
    for (auto _ : state) {
        ma.SetKData(&MutableSeries());
        double v[3] = {0, 0, 0};
        bool ok[3] = {false, false, false};
        for (int i = 0; i < kBars; ++i)
            for (int d = 0; d < 3; ++d)
                if ((ok[d] = ma.Calculate(&v[d], i, days[d], ok[d]))) out[d][i] = v[d];
        benchmark::DoNotOptimize(out[2]);
        benchmark::ClobberMemory();
    }
}

void BM_VOLUME_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double top;
    for (auto _ : state) {
        PlainVolume<true>(b, 5, 10, Out(), &top);
        benchmark::DoNotOptimize(top);
        benchmark::ClobberMemory();
    }
}
void BM_VOLUME_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double top;
    for (auto _ : state) {
        PlainVolume<false>(b, 5, 10, Out(), &top);
        benchmark::DoNotOptimize(Out()[1]);
        benchmark::ClobberMemory();
    }
}
void BM_VOLUME_Class(benchmark::State& state) {
    CVOLUME vol;
    for (auto _ : state) {
        vol.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(vol.PrepareCache(0, -1, true));
    }
}
void BM_VOLUME_ClassBars(benchmark::State& state) {
    CVOLUME vol;
    const int days[2] = {5, 10};
    Lines& out = Out();
    for (auto _ : state) {
        vol.SetKData(&MutableSeries());
        double v[2] = {0, 0};
        bool ok[2] = {false, false};
        for (int i = 0; i < kBars; ++i)
            for (int d = 0; d < 2; ++d)
                if ((ok[d] = vol.Calculate(&v[d], i, days[d], ok[d]))) out[d][i] = v[d];
        benchmark::DoNotOptimize(out[1]);
        benchmark::ClobberMemory();
    }
}

void BM_BOLL_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainBOLL<true>(b, 20, 2.0, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_BOLL_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainBOLL<false>(b, 20, 2.0, Out(), &lo, &hi);
        benchmark::DoNotOptimize(Out()[2]);
        benchmark::ClobberMemory();
    }
}
void BM_BOLL_Class(benchmark::State& state) {
    CBOLL boll;
    for (auto _ : state) {
        boll.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(boll.PrepareCache(0, -1, true));
    }
}
void BM_BOLL_ClassBars(benchmark::State& state) {
    CBOLL boll;
    Lines& out = Out();
    for (auto _ : state) {
        boll.SetKData(&MutableSeries());
        double m = 0, u = 0, d = 0;
        bool ok = false;
        for (int i = 0; i < kBars; ++i)
            if ((ok = boll.Calculate(&m, &u, &d, i, ok))) out[0][i] = m, out[1][i] = u, out[2][i] = d;
        benchmark::DoNotOptimize(out[2]);
        benchmark::ClobberMemory();
    }
}

void BM_MACD_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMACD<true>(b, 12, 26, 9, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_MACD_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMACD<false>(b, 12, 26, 9, Out(), &lo, &hi);
        benchmark::DoNotOptimize(Out()[3]);
        benchmark::ClobberMemory();
    }
}
void BM_MACD_Class(benchmark::State& state) {
    CMACD macd;
    for (auto _ : state) {
        macd.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(macd.PrepareCache(0, -1, true));
    }
}
void BM_MACD_ClassBars(benchmark::State& state) {
    CMACD macd;
    Lines& out = Out();
    for (auto _ : state) {
        macd.SetKData(&MutableSeries());
        double v[4] = {0, 0, 0, 0};
        bool ok = false;
        for (int i = 0; i < kBars; ++i)
            if ((ok = macd.Calculate(&v[0], &v[1], &v[2], &v[3], i, ok)))
                out[0][i] = v[0], out[1][i] = v[1], out[2][i] = v[2], out[3][i] = v[3];
        benchmark::DoNotOptimize(out[3]);
        benchmark::ClobberMemory();
    }
}

void BM_SAR_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainSAR<true>(b, 4, 0.02, 0.2, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_SAR_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainSAR<false>(b, 4, 0.02, 0.2, Out(), &lo, &hi);
        benchmark::DoNotOptimize(Out()[0]);
        benchmark::ClobberMemory();
    }
}
void BM_SAR_Class(benchmark::State& state) {
    CSAR sar;
    for (auto _ : state) {
        sar.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(sar.PrepareCache(0, -1, true));
    }
}
void BM_SAR_ClassBars(benchmark::State& state) {
    CSAR sar;
    Lines& out = Out();
    for (auto _ : state) {
        sar.SetKData(&MutableSeries());
        double v = 0;
        bool ok = false;
        for (int i = 0; i < kBars; ++i)
            if ((ok = sar.Calculate(&v, i, ok))) out[0][i] = v;
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
}

#define VELMORA_PAIR(name)                                                      \
    BENCHMARK(BM_##name##_Loop)->Unit(benchmark::kMillisecond);                 \
    BENCHMARK(BM_##name##_Class)->Unit(benchmark::kMillisecond);                \
    BENCHMARK(BM_##name##_LoopLines)->Unit(benchmark::kMillisecond);            \
    BENCHMARK(BM_##name##_ClassBars)->Unit(benchmark::kMillisecond)

VELMORA_PAIR(MA);
VELMORA_PAIR(BOLL);
VELMORA_PAIR(MACD);
VELMORA_PAIR(VOLUME);
VELMORA_PAIR(SAR);

}  // namespace

int main(int argc, char** argv) {
    const char* whole = "whole series";
    const char* bars = "bar by bar (Calculate, useLast)";
    std::vector<velmora_bench::Pair> pairs;
    for (const char* name : {"MA", "BOLL", "MACD", "VOLUME", "SAR"}) {
        const std::string n = name;
        const std::string label = n == "MA" ? "MA (5, 10, 20)" : n == "VOLUME" ? "VOLUME (5, 10)" : n;
        pairs.push_back({"BM_" + n + "_Class", "BM_" + n + "_Loop", label + ", 1,000,000 bars, " + whole, 0.8});
        pairs.push_back({"BM_" + n + "_ClassBars", "BM_" + n + "_LoopLines", label + ", 1,000,000 bars, " + bars, 0.8});
    }
    return velmora_bench::RunAndReport(
        argc, argv, pairs,
        {"Plain loops (one pass over the bars reading 16 bars ahead, no allocation or checks per bar, lines into"
         " preallocated arrays):",
         "  MA: three running sums of the close; whole series: min and max of the three lines (the class keeps no lines),"
         " bar by bar: the three lines written",
         "  BOLL: running sums of the close's distance from the first close and of its square; MID, UP, DN written"
         " (whole series: and their min and max with their bars)",
         "  MACD: the three exponential averages with precomputed weights; four lines written (whole series: and the"
         " min and max of DIF, DEA and the bar, with their bars)",
         "  VOLUME: two running sums of the volume; both lines written (whole series: and the largest volume)",
         "  SAR: the step rule, a restart at the 4-bar extreme after each reversal; the line written (whole series:"
         " and its min and max)"});
}
