// MA, BOLL, MACD, VOLUME and SAR over 1,000,000 bars through the indicator classes, once as a
// whole-series computation and once as a chart pane of 1,000 visible bars filled by one range
// request, each against the fastest plain loop that produces the same lines. BOLL and VOLUME read
// the series' bar columns, which the earlier runs leave read: their cold rows read them in the run.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
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

// Output lines of the plain loops, allocated once.
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
void BM_MA_Class(benchmark::State& state) {
    CMA ma;
    for (auto _ : state) {
        ma.SetKData(&MutableSeries());
        double mn, mx;
        benchmark::DoNotOptimize(ma.GetMinMaxInfo(0, kBars - 1, &mn, &mx));
        benchmark::DoNotOptimize(mx);
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
// The indicator's whole cache filled on every timed run. Cold: the series' columns are read
// inside each run too, as the non-const accessor counts as a change of the bars.
void FillCache(benchmark::State& state, CTechnique& t, bool cold) {
    for (auto _ : state) {
        if (cold) benchmark::DoNotOptimize(MutableSeries().GetData());
        t.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(t.PrepareCache(0, -1, true));
    }
}

void BM_VOLUME_Class(benchmark::State& state) {
    CVOLUME vol;
    FillCache(state, vol, false);
}
void BM_VOLUME_Cold(benchmark::State& state) {
    CVOLUME vol;
    FillCache(state, vol, true);
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
void BM_BOLL_Class(benchmark::State& state) {
    CBOLL boll;
    FillCache(state, boll, false);
}
void BM_BOLL_Cold(benchmark::State& state) {
    CBOLL boll;
    FillCache(state, boll, true);
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
void BM_MACD_Class(benchmark::State& state) {
    CMACD macd;
    for (auto _ : state) {
        macd.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(macd.PrepareCache(0, -1, true));
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
void BM_SAR_Class(benchmark::State& state) {
    CSAR sar;
    for (auto _ : state) {
        sar.SetKData(&MutableSeries());
        benchmark::DoNotOptimize(sar.PrepareCache(0, -1, true));
    }
}

// ---- a pane of 1,000 visible bars ----

// The last 1,000 bars, as the chart shows them at the end of the series. The indicator object
// holds its whole-series results (the chart's objects keep theirs between paints); one range
// request fills the pane's lines. The plain loop computes the same bars' lines from the bars.
constexpr int kPane = 1000;
constexpr int kFirst = kBars - kPane;

struct PaneOut {
    std::vector<double> line[5];
    std::vector<unsigned char> valid[5];
    double* out[5];
    unsigned char* flags[5];
    PaneOut() {
        for (int k = 0; k < 5; ++k) {
            line[k].assign(kPane + 64, 0);
            valid[k].assign(kPane + 64, 0);
            out[k] = line[k].data();
            flags[k] = valid[k].data();
        }
    }
};
PaneOut& Pane() {
    static PaneOut p;
    return p;
}

// Lines of a pane from a plain loop started top - 1 bars before it (the windows fill there).
struct Shifted {
    double* base[5];
    double* operator[](int k) { return base[k]; }
};
Shifted PaneLines() {
    Shifted s;
    for (int k = 0; k < 5; ++k) s.base[k] = Pane().out[k];
    return s;
}

template <class T>
T& Holding(T& t) {
    t.SetKData(&MutableSeries());
    t.PrepareCache(0, -1, true);
    return t;
}

CSPDWordArray DayCounts(std::initializer_list<int> days) {
    CSPDWordArray a;
    for (int d : days) a.Add(DWORD(d));
    return a;
}

void BM_MA_Pane(benchmark::State& state) {
    CMA ma;
    Holding(ma);
    const CSPDWordArray days = DayCounts({5, 10, 20});
    for (auto _ : state) {
        benchmark::DoNotOptimize(ma.GetDaysRange(days, kFirst, kBars - 1, Pane().out, Pane().flags));
        benchmark::ClobberMemory();
    }
}
void BM_MA_PaneLoop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    Shifted lines = PaneLines();
    double lo, hi;
    for (auto _ : state) {
        PlainMA<true, false>(b + kFirst - 19, kPane + 19, 5, 10, 20, lines, &lo, &hi);
        benchmark::ClobberMemory();
    }
}

void BM_VOLUME_Pane(benchmark::State& state) {
    CVOLUME vol;
    Holding(vol);
    const CSPDWordArray days = DayCounts({5, 10});
    for (auto _ : state) {
        benchmark::DoNotOptimize(vol.GetDaysRange(days, kFirst, kBars - 1, Pane().out, Pane().flags));
        benchmark::ClobberMemory();
    }
}
void BM_VOLUME_PaneLoop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    Shifted lines = PaneLines();
    double top;
    for (auto _ : state) {
        PlainVolume<false>(b + kFirst - 9, kPane + 9, 5, 10, lines, &top);
        benchmark::ClobberMemory();
    }
}

void BM_BOLL_Pane(benchmark::State& state) {
    CBOLL boll;
    Holding(boll);
    for (auto _ : state) {
        benchmark::DoNotOptimize(boll.GetRange(3, kFirst, kBars - 1, Pane().out, Pane().flags[0]));
        benchmark::ClobberMemory();
    }
}
void BM_BOLL_PaneLoop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    Shifted lines = PaneLines();
    double lo, hi;
    for (auto _ : state) {
        PlainBOLL<false>(b + kFirst - 19, kPane + 19, 20, 2.0, lines, &lo, &hi);
        benchmark::ClobberMemory();
    }
}

void BM_MACD_Pane(benchmark::State& state) {
    CMACD macd;
    Holding(macd);
    for (auto _ : state) {
        benchmark::DoNotOptimize(macd.GetRange(4, kFirst, kBars - 1, Pane().out, Pane().flags[0]));
        benchmark::ClobberMemory();
    }
}
void BM_MACD_PaneLoop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    Shifted lines = PaneLines();
    double lo, hi;
    for (auto _ : state) {
        PlainMACD<false>(b + kFirst, kPane, 12, 26, 9, lines, &lo, &hi);
        benchmark::ClobberMemory();
    }
}

void BM_SAR_Pane(benchmark::State& state) {
    CSAR sar;
    Holding(sar);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sar.GetRange(1, kFirst, kBars - 1, Pane().out, Pane().flags[0]));
        benchmark::ClobberMemory();
    }
}
void BM_SAR_PaneLoop(benchmark::State& state) {
    const KDATA* b = Series().GetData();
    Shifted lines = PaneLines();
    double lo, hi;
    for (auto _ : state) {
        PlainSAR<false>(b + kFirst - 3, kPane + 3, 4, 0.02, 0.2, lines, &lo, &hi);
        benchmark::ClobberMemory();
    }
}

#define VELMORA_PAIR(name)                                                      \
    BENCHMARK(BM_##name##_Loop)->Unit(benchmark::kMillisecond);                 \
    BENCHMARK(BM_##name##_Class)->Unit(benchmark::kMillisecond);                \
    BENCHMARK(BM_##name##_PaneLoop)->Unit(benchmark::kMicrosecond);             \
    BENCHMARK(BM_##name##_Pane)->Unit(benchmark::kMicrosecond)

VELMORA_PAIR(MA);
VELMORA_PAIR(BOLL);
VELMORA_PAIR(MACD);
VELMORA_PAIR(VOLUME);
VELMORA_PAIR(SAR);
BENCHMARK(BM_BOLL_Cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VOLUME_Cold)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The series and the loops' output arrays are made before any timing, not in the first run.
    Series();
    Out();
    const char* whole = "whole series";
    const char* pane = "pane of 1,000 visible bars filled by the range request";
    std::vector<velmora_bench::Pair> pairs;
    for (const char* name : {"MA", "BOLL", "MACD", "VOLUME", "SAR"}) {
        const std::string n = name;
        const std::string label = n == "MA" ? "MA (5, 10, 20)" : n == "VOLUME" ? "VOLUME (5, 10)" : n;
        const bool columns = n == "BOLL" || n == "VOLUME";
        pairs.push_back({"BM_" + n + "_Class", "BM_" + n + "_Loop",
                         label + ", 1,000,000 bars, " + whole + (columns ? " (the series' column already read)" : ""), 0.8});
        if (columns)
            pairs.push_back({"BM_" + n + "_Cold", "BM_" + n + "_Loop",
                             label + ", 1,000,000 bars, " + whole + ", COLD: the column read inside each timed run (shown, no goal)",
                             0.0});
        pairs.push_back({"BM_" + n + "_Pane", "BM_" + n + "_PaneLoop", label + ", 1,000,000 bars, " + pane, 0.8});
    }
    return velmora_bench::RunAndReport(
        argc, argv, pairs,
        {"Plain loops (one pass over the bars reading 16 bars ahead, no allocation or checks per bar, lines into"
         " preallocated arrays):",
         "  MA: three running sums of the close; whole series: min and max of the three lines (the class keeps no lines)",
         "  BOLL: running sums of the close's distance from the first close and of its square; MID, UP, DN written"
         " and their min and max with their bars",
         "  MACD: the three exponential averages with precomputed weights; four lines written and the min and max of"
         " DIF, DEA and the bar, with their bars",
         "  VOLUME: two running sums of the volume; both lines written and the largest volume",
         "  SAR: the step rule, a restart at the 4-bar extreme after each reversal; the line written and its min and"
         " max",
         "BOLL and VOLUME read the series' close or volume column (doubles the series keeps until its bars change):"
         " their whole-series rows find it already read, as a chart's indicators after the first do; the COLD rows"
         " read it from the bars inside each timed run",
         "Pane rows: the indicator holds its whole-series results (as the chart's objects do between paints) and one"
         " range request fills the lines and flags of the last 1,000 bars; the plain loop writes the same lines of"
         " those bars from the bars, its windows summed from where they start before the pane, MACD and SAR run"
         " over the pane's bars alone (what continuing from a state saved at the bar before costs)"});
}
