// A user index of four columns over 5,000 stocks, through CIndex (title replacement done once,
// then per stock: the four column values, the parser's variables and a scan-and-reduce parse)
// against the same formula written in C++.
// The plain loop reads the four fields, applies the same has-a-value rules and division guards,
// and computes (close - last close) / last close * 100 + amount / volume.
#include <cmath>
#include <vector>

#include "analysis/userindex.h"
#include "ratio.h"

namespace {

constexpr int kStocks = 5000;
const char kFormula[] = "(现价-昨收)/昨收*100+成交额(千元)/成交量(手)";

const std::vector<CStockInfo>& Stocks() {
    static const std::vector<CStockInfo> stocks = [] {
        std::vector<CStockInfo> v(kStocks);
        uint32_t seed = 11;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / double(1u << 24);
        };
        for (int i = 0; i < kStocks; ++i) {
            CStockInfo& s = v[size_t(i)];
            s.m_fLastClose = float(5 + 50 * next());
            s.m_fClose = float(s.m_fLastClose * (0.9 + 0.2 * next()));
            s.m_fVolume = float(1000 + 1e6 * next());
            s.m_fAmount = float(s.m_fVolume * s.m_fClose * 0.1);
            // One stock in fifty has no quote today.
            if (i % 50 == 7) s.m_fClose = 0;
        }
        return v;
    }();
    return stocks;
}

void BM_UserIndex_Engine(benchmark::State& state) {
    const std::vector<CStockInfo>& stocks = Stocks();
    CIndex index;
    index.m_nID = 10000;
    index.SetText(kFormula);
    for (auto _ : state) {
        double sum = 0;
        int values = 0;
        for (const CStockInfo& s : stocks) {
            double v;
            if (index.GetValue(&v, s)) sum += v, ++values;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(values);
    }
}

void BM_UserIndex_Cpp(benchmark::State& state) {
    const std::vector<CStockInfo>& stocks = Stocks();
    const double eps = 0.0001;
    for (auto _ : state) {
        double sum = 0;
        int values = 0;
        for (const CStockInfo& s : stocks) {
            const double close = s.m_fClose, last = s.m_fLastClose, amount = s.m_fAmount * 0.001,
                         volume = s.m_fVolume * 0.01;
            if (!(close > eps && last > eps && s.m_fAmount > eps && s.m_fVolume > eps)) continue;
            if (std::fabs(last) < 0.000001 || std::fabs(volume) < 0.000001) continue;
            const double v = (close - last) / last * 100 + amount / volume;
            if (!std::isfinite(v)) continue;
            sum += v, ++values;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(values);
    }
}

BENCHMARK(BM_UserIndex_Engine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UserIndex_Cpp)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_UserIndex_Engine", "BM_UserIndex_Cpp", "user index of four columns over 5,000 stocks", 0.05}});
}
