// CIni::GetString of a 1 MB value in a run.ini against a plain loop that reads the file whole
// (fread), finds the key's line in its section and copies the value.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "app/ini.h"
#include "ratio.h"

namespace {

const size_t kValueSize = 1u << 20;

std::string TheFile() {
    static std::string path = [] {
        std::string p = "/tmp/velmora_ini_bench_" + std::to_string(::getpid()) + ".ini";
        std::string text = "[Global]\r\nSavePassWd=true\r\nSiteRoot=http://127.0.0.1:8080/\r\n[UserInfo]\r\nName=";
        for (size_t i = 0; i < kValueSize; ++i) text += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[i % 64];
        text += "\r\nPassWd=cGFzcw==\r\n[ProxyInfo]\r\nAccessType=1\r\n";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

void BM_CIniLongValue(benchmark::State& state) {
    CIni ini(TheFile());
    for (auto _ : state) {
        std::string value = ini.GetString("UserInfo", "Name");
        if (value.size() != kValueSize) state.SkipWithError("value cut");
        benchmark::DoNotOptimize(value);
    }
}

void BM_PlainWholeFileFind(benchmark::State& state) {
    const std::string path = TheFile();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::string text(kValueSize + 4096, '\0');
        text.resize(std::fread(&text[0], 1, text.size(), f));
        std::fclose(f);
        size_t section = text.find("[UserInfo]");
        size_t at = text.find("\nName=", section) + 6;
        std::string value = text.substr(at, text.find('\r', at) - at);
        if (value.size() != kValueSize) state.SkipWithError("value cut");
        benchmark::DoNotOptimize(value);
    }
}

BENCHMARK(BM_CIniLongValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWholeFileFind)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    int status = velmora_bench::RunAndReport(
        argc, argv, {{"BM_CIniLongValue", "BM_PlainWholeFileFind", "read a 1 MB value from run.ini", 0.5}});
    std::remove(TheFile().c_str());
    return status;
}
