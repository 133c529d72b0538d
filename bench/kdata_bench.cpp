// Period conversions and the ex-rights adjustment over 1,000,000 day bars, against a pass that
// only reads every bar's fields and sums them.
#include <cstring>
#include <vector>

#include "base/timestamp.h"
#include "ratio.h"
#include "store/kdata.h"

namespace {

const int kBars = 1000000;

struct Series {
    CKData day;
    Series() {
        day.SetSize(kBars, 0);
        int64_t days = velmora::DaysFromCivil(1990, 1, 1);
        unsigned x = 12345;
        float price = 10;
        CArray42 records;
        for (int i = 0; i < kBars;) {
            int wd = int(((days + 4) % 7 + 7) % 7);
            if (wd != 0 && wd != 6) {
                int y, m, d;
                velmora::CivilFromDays(days, y, m, d);
                x = x * 1103515245u + 12345u;
                float step = float(int(x >> 16) % 201 - 100) / 10000.0f;
                price = price * (1 + step);
                if (price < 1) price = 10;
                KDATA& b = day[i];
                b.date = DWORD(y * 10000 + m * 100 + d);
                b.time = int32_t(i);
                b.open = price;
                b.high = price * 1.02f;
                b.low = price * 0.98f;
                b.close = price * (1 + step / 2);
                b.volume = float(1000 + (x >> 20));
                b.amount = b.volume * price;
                if (i % 1000 == 500) {
                    DRDATA r;
                    std::memset(&r, 0, sizeof r);
                    r.date = b.date;
                    r.dividend = 0.05f;  // a small yearly dividend, as real series have
                    records.Add(r);
                }
                ++i;
            }
            ++days;
        }
        day.SetDRData(records);
    }
};

Series& TheSeries() {
    static Series s;
    return s;
}

void BM_ReadPass(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    for (auto _ : state) {
        double sum = 0;
        DWORD dates = 0;
        const KDATA* p = k.GetData();
        for (int i = 0; i < k.GetSize(); ++i) {
            dates += p[i].date + DWORD(p[i].time);
            sum += double(p[i].open) + p[i].high + p[i].low + p[i].close + p[i].volume + p[i].amount;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(dates);
    }
}

void BM_DayToWeek(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    for (auto _ : state) {
        CKData week;
        benchmark::DoNotOptimize(ConvertDayToWeek(k, week));
    }
}

void BM_DayToMonth(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    for (auto _ : state) {
        CKData month;
        benchmark::DoNotOptimize(ConvertDayToMonth(k, month));
    }
}

void BM_Exright(benchmark::State& state) {
    // A series of its own, switched into an adjusted mode once: every timed switch between the
    // adjusted modes rebuilds all bars from the plain bars, in the storage the first switch made.
    static CKData* k = [] {
        CKData* s = new CKData(TheSeries().day);
        s->SetExrightMode(exrightForward);
        return s;
    }();
    for (auto _ : state) {
        k->SetExrightMode(k->GetExrightMode() == exrightForward ? exrightBackward : exrightForward);
        benchmark::DoNotOptimize(k->GetData());
    }
}

BENCHMARK(BM_ReadPass)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_DayToWeek)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_DayToMonth)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Exright)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace

int main(int argc, char** argv) {
    return velmora_bench::RunAndReport(argc, argv,
                                       {{"BM_DayToWeek", "BM_ReadPass", "day to week, 1,000,000 bars", 0.25},
                                        {"BM_DayToMonth", "BM_ReadPass", "day to month, 1,000,000 bars", 0.25},
                                        {"BM_Exright", "BM_ReadPass", "ex-rights adjustment, 1,000,000 bars", 0.25}});
}
