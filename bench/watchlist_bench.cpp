// Loading a watch list of 16k and 32k stocks against a plain loop that reads the file whole, splits
// its lines at ";" and keeps each new plain code (a hash set, sized for the lines, finds repeats). Equal ratios at both
// sizes mean the load grows with the file, not with its square.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/watchlist.h"
#include "ratio.h"

namespace {

std::string TheFile(int lines) {
    std::string path = "/tmp/velmora_watchlist_bench_" + std::to_string(::getpid()) + "_" + std::to_string(lines);
    std::string text;
    char line[64];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "%06d_%d;\xb9\xc9\xc6\xb1%d\r\n", i, i % 2, i);
        text += line;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

const std::string& FileOf(int lines) {
    static const std::string small = TheFile(16384), large = TheFile(32768);
    return lines == 16384 ? small : large;
}

void BM_WatchListLoad(benchmark::State& state) {
    const int lines = int(state.range(0));
    const std::string& path = FileOf(lines);
    for (auto _ : state) {
        WatchList list;
        list.LoadStockList(path.c_str());
        if (list.GetCount() != size_t(lines)) state.SkipWithError("stocks lost");
        benchmark::DoNotOptimize(list);
    }
}

void BM_PlainLoad(benchmark::State& state) {
    struct Row {
        std::string code, name;
        int market;
    };
    const int lines = int(state.range(0));
    const std::string& path = FileOf(lines);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::string text(size_t(lines) * 64, '\0');
        text.resize(std::fread(&text[0], 1, text.size(), f));
        std::fclose(f);
        std::vector<Row> rows;
        std::unordered_set<std::string> codes;
        rows.reserve(size_t(lines));
        codes.reserve(size_t(lines));
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const size_t semi = text.find(';', start);
            const size_t nameEnd = text[end - 1] == '\r' ? end - 1 : end;
            std::string plain = text.substr(start, semi - 2 - start);
            if (codes.insert(plain).second)
                rows.push_back({plain, text.substr(semi + 1, nameEnd - semi - 1), text[semi - 1] - '0'});
            start = end + 1;
        }
        if (rows.size() != size_t(lines)) state.SkipWithError("stocks lost");
        benchmark::DoNotOptimize(rows);
    }
}

BENCHMARK(BM_WatchListLoad)->Arg(16384)->Arg(32768)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoad)->Arg(16384)->Arg(32768)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    int status = velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_WatchListLoad/16384", "BM_PlainLoad/16384", "load a watch list of 16,384 stocks", 0.5},
         {"BM_WatchListLoad/32768", "BM_PlainLoad/32768", "load a watch list of 32,768 stocks", 0.5}});
    std::remove(FileOf(16384).c_str());
    std::remove(FileOf(32768).c_str());
    return status;
}
