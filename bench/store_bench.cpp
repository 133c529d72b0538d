// Loading every day file of a store of 5,000 stocks with 2,500 bars each through the database
// facade into CKData, against the plain loop: fread of each whole file into one reused buffer and
// the same record conversion (ConvertKFileRecords) into one reused array of the same in-memory bars.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "ratio.h"
#include "store/database.h"
#include "store/storeenv.h"

namespace {

const int kStocks = 5000;
const int kBars = 2500;

struct Store {
    std::filesystem::path dir;
    std::string folder;
    CStDatabase db;
    std::vector<std::string> codes;
    std::vector<std::string> paths;

    Store() {
        dir = std::filesystem::temp_directory_path() / ("velmora-store-bench-" + std::to_string(std::rand()));
        std::filesystem::create_directories(dir);
        folder = dir.string() + velmora::kPathSep;
        CreateDataFolders(folder.c_str());
        db.Open(folder.c_str(), 2);
        std::vector<KFILE_RECORD> bars(kBars);
        const int32_t t0 = CTimeStamp(2010, 1, 4, 0, 0, 0).GetTime();
        for (int s = 0; s < kStocks; ++s) {
            std::string code = StringPrintf("6%05d_1", s);
            for (int i = 0; i < kBars; ++i) {
                KFILE_RECORD& r = bars[size_t(i)];
                r.time = t0 + i * 86400;
                r.open = r.high = r.low = r.close = float(10 + (s + i) % 7);
                r.volume = float(1000 + i);
                r.amount = r.volume * r.close;
                r.last = 0;
            }
            std::string path = JoinStorePath(folder, ("hqdata\\sh\\day\\SH" + code + ".day").c_str());
            FILE* f = std::fopen(path.c_str(), "wb");
            std::fwrite(bars.data(), sizeof(KFILE_RECORD), bars.size(), f);
            std::fclose(f);
            codes.push_back(code);
            paths.push_back(path);
        }
    }
    ~Store() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Store& TheStore() {
    static Store s;
    return s;
}

void BM_FacadeLoad(benchmark::State& state) {
    Store& store = TheStore();
    CStock stock;
    stock.SetDatabase(&store.db);
    for (auto _ : state) {
        int64_t bars = 0;
        for (const std::string& code : store.codes) {
            stock.SetStockCode(kMarketShangHai, code.c_str());
            bars += store.db.LoadKData(&stock, ktypeDay);
            benchmark::DoNotOptimize(stock.GetKDataDay().GetData());
        }
        if (bars != int64_t(kStocks) * kBars) state.SkipWithError("short load");
    }
}
BENCHMARK(BM_FacadeLoad)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State& state) {
    Store& store = TheStore();
    std::vector<KFILE_RECORD> buffer(size_t(kBars) + 1);
    std::vector<KDATA> bars(size_t(kBars) + 1);
    for (auto _ : state) {
        int64_t count = 0;
        for (size_t s = 0; s < store.paths.size(); ++s) {
            FILE* f = std::fopen(store.paths[s].c_str(), "rb");
            if (!f) continue;
            const size_t n = std::fread(buffer.data(), sizeof(KFILE_RECORD), buffer.size(), f);
            std::fclose(f);
            ConvertKFileRecords(buffer.data(), int(n), kMarketShangHai, store.codes[s].c_str(), bars.data());
            count += int64_t(n);
            benchmark::DoNotOptimize(bars.data());
        }
        if (count != int64_t(kStocks) * kBars) state.SkipWithError("short read");
    }
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("baseline: fread of each whole day file into one buffer, the records converted as the store does "
                "into one reused array of bars\n");
    TheStore();
    return velmora_bench::RunAndReport(argc, argv,
                                       {{"BM_FacadeLoad", "BM_PlainRead", "day files through the facade", 0.75}});
}
