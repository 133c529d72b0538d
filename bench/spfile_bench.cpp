// CSPFile::ReadString over a 50 MB text file against the plain loop: fread into a 1 MB buffer,
// and per line the runs between carriage returns appended to one reused line string.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/spfile.h"
#include "ratio.h"

namespace {

const size_t kFileSize = 50u * 1024 * 1024;
// Lines and line bytes each reader saw, so that main can tell they did the same work.
size_t g_classLines = 0, g_classBytes = 0, g_plainLines = 0, g_plainBytes = 0;

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
        g_classLines = lines;
        g_classBytes = bytes;
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_PlainBufferedLines(benchmark::State& state) {
    const std::string path = TheFile();
    static std::vector<char> block(1 << 20);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) state.SkipWithError("open failed");
        std::string line;
        size_t lines = 0, bytes = 0;
        bool open = false;
        size_t n;
        while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) {
            const char* p = block.data();
            const char* const end = p + n;
            while (p < end) {
                const char* feed = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
                const char* stop = feed ? feed : end;
                // The line's text without its carriage returns.
                while (p < stop) {
                    const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(stop - p)));
                    const char* run = cr ? cr : stop;
                    line.append(p, size_t(run - p));
                    p = cr ? cr + 1 : stop;
                }
                open = true;
                if (feed) {
                    p = feed + 1;
                    ++lines;
                    bytes += line.size();
                    line.clear();
                    open = false;
                }
            }
        }
        if (open) ++lines, bytes += line.size();
        std::fclose(f);
        g_plainLines = lines;
        g_plainBytes = bytes;
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_CSPFileReadString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainBufferedLines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("baseline: fread into a 1 MB buffer, lines cut at line feeds, runs between carriage returns "
                "appended to one reused string\n");
    int status = velmora_bench::RunAndReport(
        argc, argv, {{"BM_CSPFileReadString", "BM_PlainBufferedLines", "read a 50 MB text file line by line", 0.8}});
    if (g_classLines && g_plainLines && (g_classLines != g_plainLines || g_classBytes != g_plainBytes)) {
        std::printf("the two readers disagree: %zu/%zu lines, %zu/%zu bytes\n", g_classLines, g_plainLines,
                    g_classBytes, g_plainBytes);
        status = 1;
    }
    std::remove(TheFile().c_str());
    return status;
}
