// CSPFile::ReadString over a 50 MB text file against a plain buffered line reader (fread blocks,
// lines cut at the line feeds, carriage returns dropped).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "base/spfile.h"
#include "ratio.h"

namespace {

const size_t kFileSize = 50u * 1024 * 1024;

std::string TheFile() {
    static std::string path = [] {
        std::string p = "/tmp/velmora_spfile_bench_" + std::to_string(::getpid()) + ".txt";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        // Lines like the code-state file and the store's text files: short, CRLF or LF.
        std::string block;
        unsigned x = 1;
        for (int line = 0; block.size() < (1u << 20); ++line) {
            x = x * 1103515245 + 12345;
            char buf[96];
            int n = std::snprintf(buf, sizeof buf, "%06u_%u;%u%s", (x >> 8) % 1000000, x % 4, x,
                                  line % 3 ? "\r\n" : "\n");
            block.append(buf, size_t(n));
            if (line % 50 == 0) block.append(std::string(300 + x % 200, 'x') + "\n");
        }
        for (size_t written = 0; written < kFileSize; written += block.size()) std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

void BM_CSPFileReadString(benchmark::State& state) {
    const std::string path = TheFile();
    for (auto _ : state) {
        CSPFile f;
        if (!f.Open(path.c_str(), CSPFile::modeRead)) state.SkipWithError("open failed");
        std::string line;
        size_t lines = 0, bytes = 0;
        while (f.ReadString(line)) {
            ++lines;
            bytes += line.size();
        }
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_PlainBufferedLines(benchmark::State& state) {
    const std::string path = TheFile();
    static char block[64 * 1024];
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) state.SkipWithError("open failed");
        std::string line;
        size_t lines = 0, bytes = 0;
        bool open = false;
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
            const char* p = block;
            const char* end = block + n;
            while (p < end) {
                const char* feed = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
                const char* stop = feed ? feed : end;
                size_t at = line.size();
                line.append(p, size_t(stop - p));
                if (std::memchr(p, '\r', size_t(stop - p)))
                    line.erase(std::remove(line.begin() + long(at), line.end(), '\r'), line.end());
                open = true;
                p = stop;
                if (feed) {
                    ++p;
                    ++lines;
                    bytes += line.size();
                    line.clear();
                    open = false;
                }
            }
        }
        if (open) ++lines, bytes += line.size();
        std::fclose(f);
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_CSPFileReadString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainBufferedLines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    int status = velmora_bench::RunAndReport(
        argc, argv, {{"BM_CSPFileReadString", "BM_PlainBufferedLines", "read a 50 MB text file line by line", 0.8}});
    std::remove(TheFile().c_str());
    return status;
}
