#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "base/timestamp.h"
#include "store/kdata.h"
#include "store/recarrays.h"

namespace {

int32_t Time(int y, int mo, int d, int h, int mi, int s = 0) { return CTimeStamp(y, mo, d, h, mi, s).GetTime(); }

DWORD Stamp(int y, int mo, int d, int h, int mi) {
    return DWORD(y - 1990) * 100000000u + DWORD(mo) * 1000000u + DWORD(d) * 10000u + DWORD(h) * 100u + DWORD(mi);
}

MINUTE Minute(int32_t time, float price, float volume, float amount = 0, DWORD period = 1) {
    MINUTE m;
    std::memset(&m, 0, sizeof m);
    m.period = period;
    m.market = kMarketShangHai;
    std::strcpy(m.code, "600000_1");
    m.time = time;
    m.price = price;
    m.volume = volume;
    m.amount = amount;
    m.high = price;
    m.low = price;
    return m;
}

REPORT Quote(int32_t time, float close, float volume) {
    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.market = kMarketShangHai;
    std::strcpy(q.code, "600000_1");
    q.time = time;
    q.close = close;
    q.volume = volume;
    return q;
}

TEST(MinuteCleanUp, KeepsUsableMinutesOfTheLastDay) {
    // 2010-12-28 is a Tuesday.
    MinuteArray a;
    a.Add(Minute(Time(2010, 12, 28, 9, 31), 10, 100));
    a.Add(Minute(Time(2010, 12, 28, 9, 31), 11, 100));        // same time: the earlier one stays
    a.Add(Minute(Time(2010, 12, 27, 10, 0), 10, 100));        // the day before
    a.Add(Minute(Time(2010, 12, 28, 10, 0), 0, 100));         // no price
    a.Add(Minute(Time(2010, 12, 28, 10, 1), 10, 0));          // no volume
    a.Add(Minute(Time(2010, 12, 28, 12, 0), 10, 100));        // midday break
    a.Add(Minute(Time(2010, 12, 28, 10, 2), 10, 200));
    a.Add(Minute(Time(2010, 12, 28, 15, 0, 59), 10, 300));    // inside the 60 s margin
    a.Add(Minute(Time(2010, 12, 28, 15, 2), 10, 300));        // after it
    a.Add(Minute(0, 10, 100));
    a.Sort();
    a.CleanUp();
    ASSERT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a[0].time, Time(2010, 12, 28, 9, 31));
    EXPECT_EQ(a[0].price, 10.f);
    EXPECT_EQ(a[1].time, Time(2010, 12, 28, 10, 2));
    EXPECT_EQ(a[2].time, Time(2010, 12, 28, 15, 0, 59));
    EXPECT_EQ(a.GetData()[3].time, 0) << "removed slots are cleared";
}

TEST(MinuteBars, FiveMinuteBarsFromCumulativeFigures) {
    MinuteArray a;
    for (int k = 0; k <= 11; ++k) {
        // Cumulative: the opening minute carries the auction, every later minute adds 100 and 1000.
        MINUTE m = Minute(Time(2010, 12, 28, 9, 30 + k), 10.0f + 0.1f * k, 1000.0f + 100 * k, 10000.0f + 1000 * k);
        if (k == 0) {
            m.high = 10.5f;
            m.low = 9.5f;
        }
        a.Add(m);
    }
    CKData k;
    ASSERT_EQ(a.BuildKData(k), 4);
    EXPECT_EQ(k.GetKType(), ktypeMin5);
    EXPECT_EQ(k[0].date, Stamp(2010, 12, 28, 9, 30)) << "the opening minute forms its own bar";
    EXPECT_EQ(k[0].high, 10.5f);
    EXPECT_EQ(k[0].low, 9.5f);
    EXPECT_EQ(k[0].volume, 1000.f);
    EXPECT_EQ(k[1].date, Stamp(2010, 12, 28, 9, 35));
    EXPECT_FLOAT_EQ(k[1].open, 10.1f);
    EXPECT_FLOAT_EQ(k[1].close, 10.5f);
    EXPECT_FLOAT_EQ(k[1].low, 10.1f);
    EXPECT_EQ(k[1].volume, 500.f);
    EXPECT_EQ(k[1].amount, 5000.f);
    EXPECT_EQ(k[2].date, Stamp(2010, 12, 28, 9, 40));
    EXPECT_EQ(k[2].volume, 500.f);
    // 09:41 is still running: shown as the bar that closes at 09:45.
    EXPECT_EQ(k[3].date, Stamp(2010, 12, 28, 9, 45));
    EXPECT_EQ(k[3].time, Time(2010, 12, 28, 9, 45));
    EXPECT_EQ(k[3].volume, 100.f);

    // Records that already are bars become one bar each.
    MinuteArray bars;
    MINUTE m = Minute(Time(2010, 12, 28, 10, 0), 12, 500, 6000, 15);
    m.high = 13;
    m.low = 8;
    bars.Add(m);
    ASSERT_EQ(bars.BuildKData(k), 1);
    EXPECT_EQ(k.GetKType(), ktypeMin15);
    EXPECT_EQ(k[0].date, Stamp(2010, 12, 28, 10, 0));
    EXPECT_EQ(k[0].open, 11.f);
    EXPECT_EQ(k[0].volume, 500.f);

    MinuteArray none;
    EXPECT_EQ(none.BuildKData(k), 0);
    EXPECT_EQ(k.GetSize(), 0);
}

TEST(MinuteBars, TodaysDayBar) {
    ReportArray quotes;
    REPORT q = Quote(Time(2010, 12, 28, 9, 25), 10, 50);
    q.open = 10;
    q.high = 10.2f;
    q.low = 9.9f;
    q.prevClose = 9.8f;
    quotes.Add(q);
    MinuteArray a;
    a.Add(Minute(Time(2010, 12, 28, 9, 30), 10.3f, 1000, 10000));
    CKData k;
    ASSERT_EQ(a.BuildDayBar(k, quotes), 1);
    EXPECT_EQ(k.GetKType(), ktypeDay);
    EXPECT_EQ(k[0].date, 20101228u);
    EXPECT_EQ(k[0].open, 10.f);
    EXPECT_EQ(k[0].high, 10.3f);
    EXPECT_EQ(k[0].low, 9.9f);
    EXPECT_EQ(k[0].close, 10.3f);
    EXPECT_EQ(k[0].volume, 1000.f);

    // A quote from before the open has no prices: the first minute gives them, so that the bar
    // is never dropped by a merge for a zero low.
    a.Add(Minute(Time(2010, 12, 28, 9, 31), 9.7f, 1100, 11000));
    quotes[0].open = quotes[0].high = quotes[0].low = 0;
    CKData k2;
    ASSERT_EQ(a.BuildDayBar(k2, quotes), 1);
    EXPECT_EQ(k2[0].open, 10.3f);
    EXPECT_EQ(k2[0].low, 9.7f);
    EXPECT_EQ(k2[0].high, 10.3f);
    CKData day;
    day.Add(k[0]);
    day[0].date = 20101227;
    EXPECT_EQ(day.Merge(&k2), 1);

    ReportArray noQuote;
    CKData k3;
    ASSERT_EQ(a.BuildDayBar(k3, noQuote), 1);
    EXPECT_EQ(k3[0].open, 10.3f);
    EXPECT_EQ(k3[0].close, 9.7f);
    MinuteArray none;
    EXPECT_EQ(none.BuildDayBar(k3, quotes), 0) << "no minutes: no bar";
}

TEST(MinuteFigures, VolumesChangesAndDistribution) {
    MinuteArray a;
    const float prices[] = {10, 10.1f, 10.1f, 10, 10};
    const float volumes[] = {100, 150, 170, 200, 260};
    for (int i = 0; i < 5; ++i) a.Add(Minute(Time(2010, 12, 28, 10, i), prices[i], volumes[i]));
    double last = 0, outer = 0, inner = 0;
    EXPECT_TRUE(a.GetOuterInnerVolume(&last, &outer, &inner));
    EXPECT_EQ(last, 260);
    EXPECT_EQ(outer, 50 + 20);  // an unchanged price keeps the last direction
    EXPECT_EQ(inner, 30 + 60);

    double sum = 0;
    EXPECT_TRUE(a.SumPriceChanges(&sum, 4));
    EXPECT_NEAR(sum, 0, 1e-6);
    EXPECT_TRUE(a.SumPriceChanges(&sum, 2));
    EXPECT_NEAR(sum, 0.1, 1e-6);

    CSPDWordArray p, v;
    DWORD most = 0;
    EXPECT_TRUE(a.GetPriceVolumeDistribution(p, v, &most));
    ASSERT_EQ(p.GetSize(), 2);
    EXPECT_EQ(p[0], 10000u);
    EXPECT_EQ(p[1], 10100u);
    EXPECT_EQ(v[0], 100u + 30 + 60);
    EXPECT_EQ(v[1], 50u + 20);
    EXPECT_EQ(most, 190u);

    double lo = -1, hi = -1;
    EXPECT_FALSE(a.GetVolumeRatioStatistic(0, &lo, &hi));
    MinuteArray none;
    EXPECT_TRUE(none.GetVolumeRatioStatistic(100, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1);
    EXPECT_TRUE(a.GetVolumeRatioStatistic(100, &lo, &hi));
    EXPECT_GT(hi, lo);
}

TEST(MinuteFigures, FiveMinuteChange) {
    MinuteArray a;
    a.Add(Minute(Time(2010, 12, 28, 10, 0), 10, 100));
    a.Add(Minute(Time(2010, 12, 28, 10, 2), 11, 100));
    double out = -1;
    EXPECT_FALSE(a.GetDiffPercentMin5(&out)) << "120 s is too short";
    a.Add(Minute(Time(2010, 12, 28, 10, 5), 11, 100));
    EXPECT_TRUE(a.GetDiffPercentMin5(&out));
    EXPECT_NEAR(out, 10, 1e-4);
}

TEST(QuoteOperations, CleanUpStatisticsAndBars) {
    ReportArray a;
    a.Add(Quote(Time(2010, 12, 28, 10, 0), 10, 100));
    a.Add(Quote(Time(2010, 12, 28, 10, 1), 10, 100));  // volume did not grow
    a.Add(Quote(Time(2010, 12, 28, 10, 2), 10, 150));
    a.Add(Quote(Time(2010, 12, 28, 12, 0), 10, 200));  // midday break
    a.Add(Quote(Time(2010, 12, 28, 14, 0), 0, 300));   // no price
    a.CleanUp();
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[1].volume, 150.f);

    double lo = -1, hi = -1;
    ReportArray empty;
    EXPECT_TRUE(empty.GetBuySellStatistics(&lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 500);
    a[0].buyVolume[0] = 200;
    a[0].sellVolume[4] = 100;
    a[1].buyVolume[2] = 300;
    EXPECT_TRUE(a.GetBuySellStatistics(&lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 500) << "the maximum is never below 500";
    a[1].sellVolume[0] = 900;
    EXPECT_TRUE(a.GetBuySellStatistics(&lo, &hi));
    EXPECT_EQ(lo, 100);
    EXPECT_EQ(hi, 900);
    double buy, sell, diff;
    EXPECT_TRUE(a.GetBuySellVolume(0, &buy, &sell, &diff));
    EXPECT_EQ(diff, 100);
    EXPECT_FALSE(a.GetBuySellVolume(2, &buy, &sell, &diff));

    KDATA bar;
    EXPECT_FALSE(BuildKDataFromReport(bar, nullptr));
    REPORT q = Quote(Time(2010, 12, 28, 23, 30), 10, 100);  // late evening Beijing time
    q.open = 9;
    ASSERT_TRUE(BuildKDataFromReport(bar, &q));
    EXPECT_EQ(bar.date, 20101228u);
    EXPECT_EQ(bar.open, 9.f);
    EXPECT_STREQ(bar.code, "600000_1");
    q.time = -1;
    int32_t before = int32_t(std::time(nullptr));
    ASSERT_TRUE(BuildKDataFromReport(bar, &q));
    EXPECT_GE(bar.time, before);
    EXPECT_EQ(int(bar.date), CTimeStamp(bar.time).GetDateNumber());
}

}  // namespace
