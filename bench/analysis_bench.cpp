// MACD, MA and BOLL over 1,000,000 bars through the indicator classes, against a plain loop that
// produces the same lines.
#include <cmath>
#include <cstring>
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
        double price = 20;
        for (int i = 0; i < kBars; ++i) {
            seed = seed * 1664525u + 1013904223u;
            price *= 1 + (double(seed >> 8) / double(1u << 24) - 0.5) * 0.02;
            KDATA& b = s[i];
            b.open = b.close = float(price);
            b.high = float(price * 1.01);
            b.low = float(price * 0.99);
            b.volume = 1000;
            b.amount = float(price * 1000);
        }
        return s;
    }();
    return k;
}

void BM_MACD_Class(benchmark::State& state) {
    CKData& k = const_cast<CKData&>(Series());
    CMACD macd;
    for (auto _ : state) {
        macd.SetKData(&k);
        benchmark::DoNotOptimize(macd.PrepareCache(0, -1, true));
        double dea = 0;
        macd.GetCached(4, kBars - 1, &dea);
        benchmark::DoNotOptimize(dea);
    }
}

void BM_MACD_Loop(benchmark::State& state) {
    const CKData& k = Series();
    // The day counts are run-time values, as the class has them.
    const int ns = int(state.range(0)), nl = int(state.range(1)), ng = int(state.range(2));
    std::vector<double> l1(kBars), l2(kBars), l3(kBars), l4(kBars);
    for (auto _ : state) {
        double es = k[0].close, el = es, dea = 0;
        for (int i = 0; i < kBars; ++i) {
            const double p = k[i].close;
            el = (2 * p + (nl - 1) * el) / (nl + 1);
            es = (2 * p + (ns - 1) * es) / (ns + 1);
            dea = ((ng - 1) * dea + 2 * (es - el)) / (ng + 1);
            l1[i] = es, l2[i] = el, l3[i] = es - el, l4[i] = dea;
        }
        benchmark::DoNotOptimize(l4.data());
        benchmark::ClobberMemory();
    }
}

void BM_MA_Class(benchmark::State& state) {
    CKData& k = const_cast<CKData&>(Series());
    CMA ma;
    ma.SetKData(&k);
    for (auto _ : state) {
        double mn, mx;
        benchmark::DoNotOptimize(ma.GetMinMaxInfo(0, kBars - 1, &mn, &mx));
        benchmark::DoNotOptimize(mx);
    }
}

void BM_MA_Loop(benchmark::State& state) {
    const CKData& k = Series();
    const int days[] = {int(state.range(0)), int(state.range(1)), int(state.range(2))};
    std::vector<double> line(kBars);
    for (auto _ : state) {
        double mn = 1e300, mx = -1e300;
        for (int n : days) {
            double sum = 0;
            for (int i = 0; i < kBars; ++i) {
                sum += k[i].close;
                if (i >= n) sum -= k[i - n].close;
                if (i + 1 < n) continue;
                double v = sum / n;
                line[i] = v;
                mn = std::min(mn, v), mx = std::max(mx, v);
            }
        }
        benchmark::DoNotOptimize(mn);
        benchmark::DoNotOptimize(mx);
        benchmark::DoNotOptimize(line.data());
    }
}

void BM_BOLL_Class(benchmark::State& state) {
    CKData& k = const_cast<CKData&>(Series());
    CBOLL boll;
    for (auto _ : state) {
        boll.SetKData(&k);
        benchmark::DoNotOptimize(boll.PrepareCache(0, -1, true));
    }
}

void BM_BOLL_Loop(benchmark::State& state) {
    const CKData& k = Series();
    const int n = int(state.range(0));
    std::vector<double> mid(kBars), up(kBars), down(kBars);
    for (auto _ : state) {
        for (int i = n - 1; i < kBars; ++i) {
            double m = 0;
            for (int t = i - n + 1; t <= i; ++t) m += k[t].close;
            m /= n;
            double ss = 0;
            for (int t = i - n + 1; t <= i; ++t) ss += (k[t].close - m) * (k[t].close - m);
            double s = std::sqrt(ss / (n - 1));
            mid[i] = m, up[i] = m + 2 * s, down[i] = m - 2 * s;
        }
        benchmark::DoNotOptimize(down.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_MACD_Class)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MACD_Loop)->Args({12, 26, 9})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MA_Class)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MA_Loop)->Args({5, 10, 20})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BOLL_Class)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BOLL_Loop)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunAndReport(argc, argv,
                                       {{"BM_MACD_Class", "BM_MACD_Loop/12/26/9", "MACD over 1,000,000 bars", 0.5},
                                        {"BM_MA_Class", "BM_MA_Loop/5/10/20", "MA (5, 10, 20) over 1,000,000 bars", 0.5},
                                        {"BM_BOLL_Class", "BM_BOLL_Loop/20", "BOLL over 1,000,000 bars", 0.5}});
}
