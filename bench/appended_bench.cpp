// The cost of one bar appended to a series whose whole range was computed: the indicator is
// asked for the new last bar, as the chart asks it when a bar arrives. Measured after 10,000 and
// after 1,000,000 bars; each row prints the cost at 1,000,000 over the cost at 10,000 (1 = the
// cost does not grow with the series, goal at most 2).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/techs.h"
#include "analysis/techs_own.h"
#include "analysis/techs_price.h"
#include "analysis/techs_momentum.h"
#include "analysis/techs_range.h"
#include "analysis/techs_volume.h"
#include "walk.h"

namespace {

constexpr int kAppended = 2000;


struct Row {
    const char* name;
    std::function<std::unique_ptr<CTechnique>()> make;
    std::function<bool(CTechnique&, int)> last;  // the lines of the new bar
};

template <typename T>
std::function<std::unique_ptr<CTechnique>()> Make() {
    return [] { return std::unique_ptr<CTechnique>(new T); };
}

// Nanoseconds per appended bar, over kAppended bars added one at a time to a series of `bars`.
double PerBar(const Row& row, int bars) {
    CKData all;
    FillWalk(all, bars + kAppended, 11);
    CKData grown;
    grown.SetSize(bars + kAppended);  // room for the bars to come: the series' own growth is not timed
    grown.SetSize(bars);
    for (int i = 0; i < bars; ++i) grown[i] = all[i];
    std::unique_ptr<CTechnique> t = row.make();
    t->SetKData(&grown);
    t->PrepareCache(0, -1, false);
    double ns = 0;
    bool ok = true;
    for (int i = bars; i < bars + kAppended; ++i) {
        grown.Add(all[i]);
        const auto a = std::chrono::steady_clock::now();
        ok &= row.last(*t, i);
        ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - a).count();
    }
    if (!ok) std::printf("%s: a new bar had no value\n", row.name);
    return ns / kAppended;
}

}  // namespace

int main() {
    auto one = [](CTechnique& t, int i) {
        double v;
        return t.Calculate(&v, i, false);
    };
    auto two = [](CTechnique& t, int i) {
        double v[2];
        return t.Calculate(&v[0], &v[1], i, false);
    };
    auto three = [](CTechnique& t, int i) {
        double v[3];
        return t.Calculate(&v[0], &v[1], &v[2], i, false);
    };
    auto four = [](CTechnique& t, int i) {
        double v[4];
        return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, false);
    };
    const Row rows[] = {
        {"OBV", Make<COBV>(), one},
        {"NVI", Make<CNVI>(), two},
        {"PVI", Make<CPVI>(), two},
        {"SAR", Make<CSAR>(), one},
        {"MACD", Make<CMACD>(), four},
        {"VMACD", Make<CVMACD>(), four},
        {"EMV", Make<CEMV>(), two},
        {"EMA",
         [] {
             auto t = std::make_unique<CMA>();
             t->m_ints[CMA::kType] = CMA::typeExponential;
             return std::unique_ptr<CTechnique>(std::move(t));
         },
         [](CTechnique& t, int i) {
             double v;
             return t.Calculate(&v, i, 5, false) && t.Calculate(&v, i, 10, false) && t.Calculate(&v, i, 20, false);
         }},
        {"CV", Make<CCV>(), one},
        {"ARBR", Make<CARBR>(), two},
        {"CR", Make<CCR>(), [](CTechnique& t, int i) {
             double v[5];
             return t.Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], i, false);
         }},
        {"OSC", Make<COSC>(), two},
        {"UOS", Make<CUOS>(), two},
        {"MAOSC", Make<CMAOSC>(), two},
        {"36BIAS", Make<C36BIAS>(), one},
        {"DPO", Make<CDPO>(), two},
        {"KST", Make<CKST>(), two},
        {"CYO", Make<CCYO>(), two},
        {"DCYO", Make<CDCYO>(), two},
        {"DPER", Make<CDPER>(), two},
        {"JPBD", Make<CSelfTechnique2>(), four},
        {"DKNL", Make<CSelfTechnique3>(), four},
        {"JPTD", Make<CSelfTechnique4>(), four},
        {"HDLY", Make<CSelfTechnique5>(), [](CTechnique& t, int i) {
             double v[3];
             return t.Calculate(&v[0], &v[1], &v[2], i, false);
         }},
        {"KDJ", Make<CKDJ>(), three},
        {"R", Make<CR>(), one},
        {"RSI", Make<CRSI>(),
         [](CTechnique& t, int i) {
             double v;
             return t.Calculate(&v, i, 10, false) && t.Calculate(&v, i, 20, false);
         }},
        {"BIAS", Make<CBIAS>(), one},
        {"MTM", Make<CMTM>(), two},
        {"DMI", Make<CDMI>(), four},
        {"ROC", Make<CROC>(), two},
        {"CCI", Make<CCCI>(), two},
        {"REI", Make<CREI>(), one},
        {"DMKI", Make<CDMKI>(), one},
        {"PCNT", Make<CPCNT>(), two},
        {"HLC", Make<CHLC>(), two},
        {"CDP", Make<CCDP>(), four},
        {"ASI", Make<CASI>(), one},
        {"ATR", Make<CATR>(), one},
    };
    int status = 0;
    for (const Row& row : rows) {
        const double small = PerBar(row, 10000), large = PerBar(row, 1000000);
        const double ratio = large / small;
        std::printf("%s one appended bar: %.0f ns after 10,000 bars, %.0f ns after 1,000,000\n", row.name, small,
                    large);
        std::printf("%s one appended bar, 1,000,000 bars against 10,000: cost ratio %.3f = cost at 1,000,000 / cost "
                    "at 10,000 (1 = as cheap, goal at most 2.00)%s\n",
                    row.name, ratio, ratio <= 2 ? "" : "  ABOVE GOAL");
        if (ratio > 2) status = 1;
    }
    return status;
}
