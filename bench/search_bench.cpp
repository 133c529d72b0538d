// One keystroke in the search box over 5,000 stocks: CodeIndex::Lookup against a plain loop that
// walks every stock's code and expanded initials with the same matching rule and makes the same
// lines. Both answer the same typed texts (codes, initials, zeros) and are checked to agree.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/codeindex.h"
#include "ratio.h"
#include "store/container.h"

namespace {

constexpr int kStocks = 5000;
const char* const kTyped[] = {"600", "PF", "ZS", "0000", "3025", "*ST"};

struct Row {
    std::string code, name;
    std::vector<std::string> keys;
    uint32_t value;
};

struct World {
    CStockContainer stocks;
    CodeIndex index;
    std::vector<Row> rows;

    World() {
        static const char* const kChars[][2] = {
            {"浦", "P"}, {"发", "F"}, {"华", "H"}, {"夏", "X"}, {"中", "Z"}, {"国", "G"}, {"东", "D"}, {"方", "F"},
            {"南", "N"}, {"北", "B"}, {"海", "H"}, {"天", "T"}, {"金", "J"}, {"宝", "B"}, {"信", "X"}, {"达", "D"},
            {"长", "(C|Z)"}, {"重", "(C|Z)"}, {"行", "(X|H)"}, {"乐", "(L|Y)"}, {"招", "Z"}, {"商", "S"},
        };
        static const char* const kSuffix[][2] = {{"银行", "YH"}, {"科技", "KJ"}, {"股份", "GF"}, {"实业", "SY"}};
        std::mt19937 rng(7);
        auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
        for (int i = 0; i < kStocks; ++i) {
            char code[16];
            if (i % 2 == 0)
                std::snprintf(code, sizeof code, "%06d_1", 600000 + i);
            else
                std::snprintf(code, sizeof code, "%06d_0", i < kStocks / 2 ? i : 300000 + i);
            std::string name, shortName = i % 50 == 0 ? "*ST" : "";
            if (i % 50 == 0) name = "*ST";
            for (int k = 0; k < 2; ++k) {
                const int c = pick(int(sizeof kChars / sizeof kChars[0]));
                name += kChars[c][0];
                shortName += kChars[c][1];
            }
            const int s = pick(4);
            name += kSuffix[s][0];
            shortName += kSuffix[s][1];
            CStockInfo info;
            info.SetStockCode(kMarketUnknown, code);
            info.SetStockName(name.c_str());
            info.SetStockShortName(shortName.c_str());
            stocks.Add(info);
            Row row{code, info.GetStockName(), CodeIndex::ExpandKeys(shortName), uint32_t(i)};
            if (row.keys.empty()) row.keys.push_back(row.code);
            rows.push_back(std::move(row));
        }
        index.Build(stocks, false);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

// Every stock, its code and each variant of its initials that starts with the typed character.
void PlainScan(const std::vector<Row>& rows, const char* typed, std::vector<SearchLine>& out) {
    out.clear();
    while (*typed == ' ') ++typed;
    if (!*typed) return;
    for (const Row& r : rows) {
        if (MatchTypedKey(r.code.c_str(), typed)) {
            std::string text;
            text.reserve(r.code.size() + r.name.size());
            text.append(r.code, 0, r.code.size() - 2).append("  ").append(r.name);
            out.push_back({std::move(text), r.value});
        }
        for (const std::string& k : r.keys) {
            if (k[0] != typed[0] || k == r.code || !MatchTypedKey(k.c_str(), typed)) continue;
            std::string text;
            text.reserve(k.size() + 2 + r.name.size());
            text.append(k).append("  ").append(r.name);
            out.push_back({std::move(text), r.value});
        }
    }
}

bool Same(const std::vector<SearchLine>& a, const std::vector<SearchLine>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].text != b[i].text || a[i].value != b[i].value) return false;
    return true;
}

void BM_CodeIndexLookup(benchmark::State& state) {
    World& w = TheWorld();
    std::vector<SearchLine> a, b;
    for (const char* t : kTyped) {
        w.index.Lookup(t, a);
        PlainScan(w.rows, t, b);
        if (!Same(a, b) || a.empty()) state.SkipWithError((std::string("results differ for ") + t).c_str());
    }
    size_t n = 0;
    for (auto _ : state) {
        for (const char* t : kTyped) {
            w.index.Lookup(t, a);
            n += a.size();
        }
    }
    benchmark::DoNotOptimize(n);
}

void BM_PlainScanLookup(benchmark::State& state) {
    World& w = TheWorld();
    std::vector<SearchLine> b;
    size_t n = 0;
    for (auto _ : state) {
        for (const char* t : kTyped) {
            PlainScan(w.rows, t, b);
            n += b.size();
        }
    }
    benchmark::DoNotOptimize(n);
}

BENCHMARK(BM_CodeIndexLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainScanLookup)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_CodeIndexLookup", "BM_PlainScanLookup", "search box keystroke over 5,000 stocks", 1.0,
          "walks all 5,000 stocks' codes and pre-expanded initials with the same match and makes the same lines"}});
}
