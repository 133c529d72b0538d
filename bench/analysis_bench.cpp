// MA, BOLL, MACD, VOLUME and SAR over 1,000,000 bars through the indicator classes, once as a
// whole-series computation and once bar by bar through Calculate with useLast (as the chart
// draws), each against the fastest plain loop that produces the same lines.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "analysis/techs.h"
#include "plain_lines.h"
#include "ratio.h"

namespace {

using namespace velmora_bench;

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

// ---- benchmarks ----

void BM_MA_Loop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMA<false, true>(b, kBars, 5, 10, 20, Out(), &lo, &hi);
        benchmark::DoNotOptimize(lo);
        benchmark::DoNotOptimize(hi);
    }
}
void BM_MA_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMA<true, false>(b, kBars, 5, 10, 20, Out(), &lo, &hi);
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
        PlainVolume<true>(b, kBars, 5, 10, Out(), &top);
        benchmark::DoNotOptimize(top);
        benchmark::ClobberMemory();
    }
}
void BM_VOLUME_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double top;
    for (auto _ : state) {
        PlainVolume<false>(b, kBars, 5, 10, Out(), &top);
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
        PlainBOLL<true>(b, kBars, 20, 2.0, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_BOLL_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainBOLL<false>(b, kBars, 20, 2.0, Out(), &lo, &hi);
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
        PlainMACD<true>(b, kBars, 12, 26, 9, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_MACD_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainMACD<false>(b, kBars, 12, 26, 9, Out(), &lo, &hi);
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
        PlainSAR<true>(b, kBars, 4, 0.02, 0.2, Out(), &lo, &hi);
        benchmark::DoNotOptimize(hi);
        benchmark::ClobberMemory();
    }
}
void BM_SAR_LoopLines(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    double lo, hi;
    for (auto _ : state) {
        PlainSAR<false>(b, kBars, 4, 0.02, 0.2, Out(), &lo, &hi);
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
