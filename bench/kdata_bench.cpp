// Period conversions and the ex-rights adjustment over 1,000,000 day bars, each against one plain
// pass doing the same work: grouping the bars by week (day number from the date) or by month
// into a fresh array, or scaling every plain bar by the running ex-rights factor into the bars.
#include <chrono>
#include <cstdint>
#include <cstdio>
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

// Days since 1970 of a valid YYYYMMDD, -1 for an invalid one.
inline int64_t PlainDays(DWORD date) {
    uint32_t y = date / 10000, m = date / 100 % 100, d = date % 100;
    if (d < 1 || d > 31 || m < 1 || m > 12 || y < 1900) return -1;
    y -= m <= 2;
    const uint32_t era = y / 400, yoe = y - era * 400;
    const uint32_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return int64_t(era) * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// One pass over the day bars (the first count % 3 left out, as the conversions do) folding each
// run of equal keys into one bar of a fresh array.
template <class Key>
std::vector<KDATA> PlainGroup(const CKData& k, size_t expected, Key key) {
    const KDATA* src = k.GetData();
    const int n = k.GetSize();
    std::vector<KDATA> out;
    out.reserve(expected);
    // The open group: its first bar and the running fold in locals.
    const KDATA* first = nullptr;
    float high = 0, low = 0, close = 0, volume = 0, amount = 0;
    int64_t current = -1;
    auto flush = [&]() {
        KDATA bar = *first;
        bar.high = high;
        bar.low = low;
        bar.close = close;
        bar.volume = volume;
        bar.amount = amount;
        out.push_back(bar);
    };
    for (int i = n % 3; i < n; ++i) {
        const KDATA& b = src[i];
        const int64_t group = key(b.date);
        if (group < 0) continue;
        if (group == current) {
            high = b.high > high ? b.high : high;
            low = b.low < low ? b.low : low;
            close = b.close;
            volume += b.volume;
            amount += b.amount;
        } else {
            if (first) flush();
            first = &b;
            high = b.high, low = b.low, close = b.close, volume = b.volume, amount = b.amount;
            current = group;
        }
    }
    if (first) flush();
    return out;
}

std::vector<KDATA> PlainWeeks(const CKData& k) {
    return PlainGroup(k, size_t(k.GetSize() / 5 + 5), [](DWORD date) {
        const int64_t days = PlainDays(date);
        return days < 0 ? -1 : (days + 3) / 7;
    });
}

std::vector<KDATA> PlainMonths(const CKData& k) {
    // The month is checked when it changes, the day on every bar.
    DWORD month = 0;
    bool valid = false;
    return PlainGroup(k, size_t(k.GetSize() / 20 + 5), [&](DWORD date) {
        if (date / 100 != month) {
            month = date / 100;
            valid = month % 100 >= 1 && month % 100 <= 12 && month / 100 >= 1900;
        }
        const DWORD d = date % 100;
        return !valid || d < 1 || d > 31 ? int64_t(-1) : int64_t(month);
    });
}

inline void Scale(const KDATA& b, float prices, float volume, KDATA& out) {
    out.market = b.market;
    std::memcpy(out.code, b.code, sizeof out.code);
    out.date = b.date;
    out.time = b.time;
    out.open = b.open * prices;
    out.high = b.high * prices;
    out.low = b.low * prices;
    out.close = b.close * prices;
    out.volume = b.volume * volume;
    out.amount = b.amount;
    std::memcpy(out.extra, b.extra, sizeof out.extra);
}

// One pass from the plain bars into the adjusted ones: the factor takes every event reached and,
// after the base date, every gap larger than the threshold; prices and volumes are scaled by it.
void PlainExright(const KDATA* plain, int n, const CArray42& events, bool forward, KDATA* bars) {
    const DRDATA* rec = events.GetData();
    const int nr = events.GetSize();
    const double t = kDefaultGapThresholdPercent / 100.0;
    const DWORD base = DWORD(kDefaultExrightBaseDate);
    // Q - O > t Q already means O < Q.
    auto gap = [t](double O, double Q) { return Q - O > t * Q && O > kPriceEpsilon && Q > kPriceEpsilon; };
    double F = 1;
    float prices = 1, volume = 1;
    if (forward) {
        int k = 0;
        while (k < nr && plain[0].date >= rec[k].date) ++k;
        bars[0] = plain[0];
        for (int i = 1; i < n; ++i) {
            const KDATA& b = plain[i];
            const float Q = plain[i - 1].close;
            bool changed = false;
            if (k < nr && b.date >= rec[k].date) {
                while (k < nr && b.date >= rec[k].date) F *= GetExrightFactor(Q, rec[k++]);
                changed = true;
            } else if (b.date >= base && gap(b.open, Q)) {
                F *= double(b.open) / Q;
                changed = true;
            }
            if (changed) prices = float(1 / F), volume = float(F);
            Scale(b, prices, volume, bars[i]);
        }
    } else {
        int k = nr - 1;
        while (k >= 0 && plain[n - 1].date < rec[k].date) --k;
        bars[n - 1] = plain[n - 1];
        for (int i = n - 2; i >= 0; --i) {
            const KDATA& b = plain[i];
            const float O = plain[i + 1].open;
            bool changed = false;
            if (k >= 0 && b.date < rec[k].date) {
                while (k >= 0 && b.date < rec[k].date) F *= GetExrightFactor(b.close, rec[k--]);
                changed = true;
            } else if (b.date >= base && gap(O, b.close)) {
                F *= double(O) / b.close;
                changed = true;
            }
            if (changed) prices = float(F), volume = float(1 / F);
            Scale(b, prices, volume, bars[i]);
        }
    }
}

void BM_PlainWeekPass(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    for (auto _ : state) benchmark::DoNotOptimize(PlainWeeks(k).data());
}

void BM_PlainMonthPass(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    for (auto _ : state) benchmark::DoNotOptimize(PlainMonths(k).data());
}

void BM_PlainExrightPass(benchmark::State& state) {
    const CKData& k = TheSeries().day;
    CArray42 events = k.GetDRData();
    events.Sort();
    static std::vector<KDATA> bars(size_t(k.GetSize()));
    bool forward = true;
    for (auto _ : state) {
        PlainExright(k.GetData(), k.GetSize(), events, forward, bars.data());
        forward = !forward;
        benchmark::DoNotOptimize(bars.data());
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

// Appending bars one at a time to a series of n bars: n more bars appended (so that the series
// grows through its reallocations as a long session of new bars does), timed alone; the time
// reported is per appended bar.
void BM_AppendBar(benchmark::State& state) {
    const int n = int(state.range(0));
    const KDATA* src = TheSeries().day.GetData();
    for (auto _ : state) {
        CKData k;
        k.SetSize(n, 0);
        std::memcpy(k.GetData(), src, sizeof(KDATA) * size_t(n));
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) k.Add(src[i]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(k.GetData());
        state.SetIterationTime(took.count() / n);
    }
}

// The same appends to a std::vector of the bars, the fastest plain append: what new memory costs on
// the machine (a series of a million bars grows into memory no earlier pass has touched, a small
// one reuses the heap's), so the per-bar cost at 1,000,000 is judged against it, not against 10,000.
void BM_AppendVector(benchmark::State& state) {
    const int n = int(state.range(0));
    const KDATA* src = TheSeries().day.GetData();
    for (auto _ : state) {
        std::vector<KDATA> k(src, src + n);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) k.push_back(src[i]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(k.data());
        state.SetIterationTime(took.count() / n);
    }
}
// Fixed iteration counts: the manual time is per bar, far below what a minimum time would count.
BENCHMARK(BM_AppendBar)->Arg(10000)->Iterations(400)->UseManualTime()->Unit(benchmark::kNanosecond);
BENCHMARK(BM_AppendBar)->Arg(1000000)->Iterations(8)->UseManualTime()->Unit(benchmark::kNanosecond);
BENCHMARK(BM_AppendVector)->Arg(10000)->Iterations(400)->UseManualTime()->Unit(benchmark::kNanosecond);
BENCHMARK(BM_AppendVector)->Arg(1000000)->Iterations(8)->UseManualTime()->Unit(benchmark::kNanosecond);

BENCHMARK(BM_DayToWeek)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_PlainWeekPass)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_DayToMonth)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_PlainMonthPass)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Exright)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_PlainExrightPass)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The plain passes must give what the class gives, or their times say nothing.
bool SameWork() {
    const CKData& k = TheSeries().day;
    CKData week, month, adjusted(k);
    ConvertDayToWeek(k, week);
    ConvertDayToMonth(k, month);
    std::vector<KDATA> weeks = PlainWeeks(k), months = PlainMonths(k);
    bool same = week.GetSize() == int(weeks.size()) && month.GetSize() == int(months.size()) &&
                std::memcmp(week.GetData(), weeks.data(), weeks.size() * sizeof(KDATA)) == 0 &&
                std::memcmp(month.GetData(), months.data(), months.size() * sizeof(KDATA)) == 0;
    CArray42 events = k.GetDRData();
    events.Sort();
    std::vector<KDATA> bars(size_t(k.GetSize()));
    for (int mode : {exrightForward, exrightBackward}) {
        adjusted.SetExrightMode(mode);
        PlainExright(k.GetData(), k.GetSize(), events, mode == exrightForward, bars.data());
        same = same && std::memcmp(adjusted.GetData(), bars.data(), bars.size() * sizeof(KDATA)) == 0;
    }
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    std::printf("baselines: one plain pass each - bars grouped by week or by month into a fresh array; every "
                "plain bar scaled by the running ex-rights factor; an append at 1,000,000 bars against one at "
                "10,000 bars\n");
    if (!SameWork()) {
        std::printf("the plain passes do not give what the class gives\n");
        return 1;
    }
    return velmora_bench::RunAndReport(
        argc, argv,
        {{"BM_DayToWeek", "BM_PlainWeekPass", "day to week, 1,000,000 bars", 0.75},
         {"BM_DayToMonth", "BM_PlainMonthPass", "day to month, 1,000,000 bars", 0.75},
         {"BM_Exright", "BM_PlainExrightPass", "ex-rights adjustment, 1,000,000 bars", 0.75},
         {"BM_AppendBar/1000000/iterations:8/manual_time", "BM_AppendVector/1000000/iterations:8/manual_time",
          "one bar appended at 1,000,000 bars against a std::vector's push_back", 1.5,
          "pushes the same bars onto a std::vector of 1,000,000 bars (doubling, new memory alike)", true},
         {"BM_AppendBar/10000/iterations:400/manual_time", "BM_AppendVector/10000/iterations:400/manual_time",
          "one bar appended at 10,000 bars against a std::vector's push_back", 1.5,
          "pushes the same bars onto a std::vector of 10,000 bars", true}});
}
