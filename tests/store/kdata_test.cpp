#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "base/timestamp.h"
#include "store/kdata.h"

namespace {

DWORD Stamp(int y, int mo, int d, int h, int mi) {
    return DWORD(y - 1990) * 100000000u + DWORD(mo) * 1000000u + DWORD(d) * 10000u + DWORD(h) * 100u + DWORD(mi);
}

KDATA Bar(DWORD date, float open, float high, float low, float close, float volume = 100, float amount = 1000) {
    KDATA b;
    std::memset(&b, 0, sizeof b);
    b.date = date;
    b.open = open;
    b.high = high;
    b.low = low;
    b.close = close;
    b.volume = volume;
    b.amount = amount;
    b.extra[0] = 7;
    return b;
}

// A flat day bar at one price.
KDATA Flat(DWORD date, float price) { return Bar(date, price, price, price, price); }

// Consecutive calendar days from a start date, skipping Saturdays and Sundays.
std::vector<DWORD> TradingDays(int y, int m, int d, int count) {
    std::vector<DWORD> out;
    int64_t day = velmora::DaysFromCivil(y, m, d);
    while (int(out.size()) < count) {
        int wd = int(((day + 4) % 7 + 7) % 7);  // 0 Sunday
        if (wd != 0 && wd != 6) {
            int yy, mm, dd;
            velmora::CivilFromDays(day, yy, mm, dd);
            out.push_back(DWORD(yy * 10000 + mm * 100 + dd));
        }
        ++day;
    }
    return out;
}

void Fill(CKData& k, const std::vector<KDATA>& bars, int ktype = ktypeDay) {
    k.Clear();
    k.SetKType(ktype);
    for (const KDATA& b : bars) k.Add(b);
}

std::vector<KDATA> Bars(const CKData& k) { return std::vector<KDATA>(k.GetData(), k.GetData() + k.GetSize()); }

DRDATA Dividend(DWORD date, float dividend, float bonus = 0) {
    DRDATA r;
    std::memset(&r, 0, sizeof r);
    r.date = date;
    r.dividend = dividend;
    r.bonusShares = bonus;
    return r;
}

TEST(KDataStorage, InsertReplaceAndCopy) {
    CKData k;
    k.SetAt(-1, Flat(20100104, 1));
    EXPECT_EQ(k.GetSize(), 0) << "a negative index writes nothing";
    EXPECT_EQ(k.InsertOrReplace(Flat(20100106, 3)), 0);
    EXPECT_EQ(k.InsertOrReplace(Flat(20100104, 1)), 0);
    EXPECT_EQ(k.InsertOrReplace(Flat(20100108, 4)), 2);
    EXPECT_EQ(k.InsertOrReplace(Flat(20100105, 2)), 1);
    EXPECT_EQ(k.InsertOrReplace(Flat(20100106, 9)), 2);
    ASSERT_EQ(k.GetSize(), 4);
    EXPECT_EQ(k[2].close, 9.f);
    EXPECT_EQ(k.GetIndexByDate(20100105), 1);
    EXPECT_EQ(k.GetIndexByDate(20100107), -1);
    EXPECT_EQ(k.GetIndexByDate(20100109), -1);
    EXPECT_EQ(k.GetDate(99), 20100108u);

    k = k;  // self-assignment keeps the bars
    ASSERT_EQ(k.GetSize(), 4);
    EXPECT_EQ(k[3].close, 4.f);
    CKData copy(k);
    copy[0].close = 50;
    EXPECT_EQ(k[0].close, 1.f) << "copies do not share bars";
    EXPECT_EQ(copy.GetCapacity(), k.GetCapacity());
}

TEST(KDataPrice, AveragePriceIsScaledIntoTheBar) {
    struct Case {
        float open, high, low, close, volume, amount;
        double expected;
    } cases[] = {
        {10, 13, 10, 12, 10, 123456, 12.3456},  // 12345.6 brought down by three steps
        {10, 13, 10, 12, 10, 1.15f, 11.5},      // 0.115 brought up
        {10, 13, 10, 12, 0, 123456, 12},        // no volume: the close
        {10, 13, 10, 12, 10, 0.5f, 11.25},      // stays below after scaling: the mean of four
    };
    for (const Case& c : cases) {
        CKData k;
        k.Add(Bar(20100104, c.open, c.high, c.low, c.close, c.volume, c.amount));
        k.SetPriceMode(priceAverage);
        EXPECT_NEAR(k.GetPriceAt(0), c.expected, 1e-4) << c.amount;
    }
    CKData k;
    k.Add(Bar(20100104, 10, 13, 9, 12));
    k.SetPriceMode(priceOpen);
    EXPECT_EQ(k.GetPriceAt(0), 10);
    EXPECT_EQ(k.GetPriceAt(1), 0);
}

TEST(KDataExright, FactorOfOneRecord) {
    EXPECT_NEAR(GetExrightFactor(10, Dividend(0, 0.5f)), 0.95, 1e-9);
    EXPECT_NEAR(GetExrightFactor(10, Dividend(0, 0, 0.3f)), 1 / 1.3, 1e-7);
    DRDATA rights = Dividend(0, 0);
    rights.rightsShares = 0.5f;
    rights.rightsPrice = 4;
    EXPECT_NEAR(GetExrightFactor(10, rights), (10 + 0.5 * 4) / 1.5 / 10, 1e-7);
    EXPECT_EQ(GetExrightFactor(0, Dividend(0, 0.5f)), 1);
    EXPECT_EQ(GetExrightFactor(10, Dividend(0, 12)), 1) << "a dividend above the price is bad data";
    EXPECT_EQ(GetExrightFactor(10, Dividend(0, 10)), 1);
}

struct ExrightCase {
    const char* name;
    std::vector<KDATA> bars;
    std::vector<DRDATA> records;
    std::vector<double> forward;   // closes in mode 2
    std::vector<double> backward;  // closes in mode 3
};

class Exright : public ::testing::TestWithParam<ExrightCase> {};

TEST_P(Exright, AdjustsFromThePlainBars) {
    const ExrightCase& c = GetParam();
    CKData k;
    Fill(k, c.bars);
    CArray42 records;
    for (const DRDATA& r : c.records) records.Add(r);
    k.SetDRData(records);
    const std::vector<KDATA> loaded = Bars(k);

    k.SetExrightMode(exrightForward, 20040519, 11);
    ASSERT_EQ(k.GetSize(), int(c.forward.size()));
    for (int i = 0; i < k.GetSize(); ++i) {
        EXPECT_NEAR(k[i].close, c.forward[size_t(i)], 1e-4) << c.name << " forward bar " << i;
        EXPECT_TRUE(std::isfinite(k[i].open) && std::isfinite(k[i].volume)) << c.name;
    }
    k.SetExrightMode(exrightBackward, 20040519, 11);
    for (int i = 0; i < k.GetSize(); ++i)
        EXPECT_NEAR(k[i].close, c.backward[size_t(i)], 1e-4) << c.name << " backward bar " << i;

    k.SetExrightMode(exrightNone);
    ASSERT_EQ(k.GetSize(), int(loaded.size()));
    EXPECT_EQ(std::memcmp(k.GetData(), loaded.data(), loaded.size() * sizeof(KDATA)), 0) << c.name;
    EXPECT_EQ(k.GetPlainSize(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Exright,
    ::testing::Values(
        // A dividend of 1 between the second and third bar: factor 1 - 1/10 at the close before.
        ExrightCase{"one record",
                    {Flat(20100104, 10), Flat(20100105, 10), Flat(20100107, 9), Flat(20100108, 9)},
                    {Dividend(20100106, 1)},
                    {10, 10, 10, 10},
                    {9, 9, 9, 9}},
        // Two records between the same two bars both apply at the first bar after them.
        ExrightCase{"two records",
                    {Flat(20100104, 10), Flat(20100107, 8), Flat(20100108, 8)},
                    {Dividend(20100105, 1), Dividend(20100106, 1)},
                    {10, 10 * 8 / 8.1, 10 * 8 / 8.1},
                    {8.1, 8, 8}},
        // Records older than the first bar and newer than the last bar scale nothing.
        ExrightCase{"records outside the series",
                    {Flat(20100104, 10), Flat(20100105, 10), Flat(20100106, 10)},
                    {Dividend(20090101, 1), Dividend(20090601, 1), Dividend(20110101, 2)},
                    {10, 10, 10},
                    {10, 10, 10}},
        // A 12 % gap down after the base date counts as an event; a 10 % gap does not.
        ExrightCase{"gap over the threshold",
                    {Flat(20100104, 10), Bar(20100105, 8.8f, 8.8f, 8.8f, 8.8f), Flat(20100106, 8.8f)},
                    {},
                    {10, 10, 10},
                    {8.8, 8.8, 8.8}},
        ExrightCase{"gap under the threshold",
                    {Flat(20100104, 10), Flat(20100105, 9), Flat(20100106, 9)},
                    {},
                    {10, 9, 9},
                    {10, 9, 9}},
        // Before the base date a gap is price movement.
        ExrightCase{"gap before the base date",
                    {Flat(20030104, 10), Flat(20030105, 8), Flat(20030106, 8)},
                    {},
                    {10, 8, 8},
                    {10, 8, 8}},
        // A gap bar with open 0 never divides into inf.
        ExrightCase{"open zero",
                    {Flat(20100104, 10), Bar(20100105, 0, 10, 9, 10), Flat(20100106, 10)},
                    {},
                    {10, 10, 10},
                    {10, 10, 10}},
        // A dividend at the price is bad data and scales nothing.
        ExrightCase{"factor at zero",
                    {Flat(20100104, 10), Flat(20100105, 10), Flat(20100106, 10)},
                    {Dividend(20100105, 10)},
                    {10, 10, 10},
                    {10, 10, 10}}),
    [](const ::testing::TestParamInfo<ExrightCase>& info) {
        std::string s = info.param.name;
        for (char& ch : s)
            if (ch == ' ' || ch == '%') ch = '_';
        return s;
    });

TEST(KDataExright, VolumeScalesAgainstPrice) {
    CKData k;
    Fill(k, {Bar(20100104, 10, 10, 10, 10, 100), Bar(20100105, 9, 9, 9, 9, 100)});
    CArray42 r;
    r.Add(Dividend(20100105, 1));
    k.SetDRData(r);
    k.SetExrightMode(exrightForward);
    EXPECT_NEAR(k[1].volume, 90, 1e-3);
    EXPECT_NEAR(k[1].open, 10, 1e-5);
    EXPECT_EQ(k[1].amount, 1000.f) << "amounts stay";
}

struct MergeCase {
    const char* name;
    std::vector<KDATA> target, other;
    int placed;
    std::vector<DWORD> dates;
    std::vector<float> closes;
};

class Merge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(Merge, PlacesBarsByDate) {
    const MergeCase& c = GetParam();
    CKData a, b;
    Fill(a, c.target);
    Fill(b, c.other);
    EXPECT_EQ(a.Merge(&b), c.placed) << c.name;
    ASSERT_EQ(a.GetSize(), int(c.dates.size())) << c.name;
    for (int i = 0; i < a.GetSize(); ++i) {
        EXPECT_EQ(a[i].date, c.dates[size_t(i)]) << c.name;
        EXPECT_EQ(a[i].close, c.closes[size_t(i)]) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Merge,
    ::testing::Values(
        MergeCase{"replace", {Flat(1, 1), Flat(3, 3)}, {Flat(3, 9)}, 1, {1, 3}, {1, 9}},
        MergeCase{"insert", {Flat(1, 1), Flat(3, 3)}, {Flat(2, 2)}, 1, {1, 2, 3}, {1, 2, 3}},
        MergeCase{"append", {Flat(1, 1), Flat(3, 3)}, {Flat(4, 4), Flat(5, 5)}, 2, {1, 3, 4, 5}, {1, 3, 4, 5}},
        MergeCase{"zero price", {Flat(1, 1)}, {Bar(2, 2, 2, 0, 2)}, 0, {1}, {1}},
        MergeCase{"empty target", {}, {Flat(4, 4), Flat(5, 5)}, 2, {4, 5}, {4, 5}},
        MergeCase{"empty other", {Flat(1, 1)}, {}, 0, {1}, {1}}));

TEST(KDataMerge, RefusesOtherPeriodsAndKeepsBarsAcrossModes) {
    CKData a, b;
    Fill(a, {Flat(20100104, 10)});
    Fill(b, {Flat(20100105, 9)}, ktypeWeek);
    EXPECT_EQ(a.Merge(&b), 0);
    EXPECT_EQ(a.Merge(nullptr), 0);
    EXPECT_EQ(a.Merge(&a), 1);

    // A bar merged while adjusted is still there in plain mode.
    Fill(a, {Flat(20100104, 10), Flat(20100106, 9)});
    CArray42 r;
    r.Add(Dividend(20100105, 1));
    a.SetDRData(r);
    a.SetExrightMode(exrightForward);
    Fill(b, {Flat(20100107, 9)});
    EXPECT_EQ(a.Merge(&b), 1);
    ASSERT_EQ(a.GetSize(), 3);
    EXPECT_NEAR(a[2].close, 10, 1e-5) << "the new bar is adjusted too";
    a.SetExrightMode(exrightNone);
    ASSERT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a[2].close, 9.f);
}

TEST(KDataConvert, WeeksAreCalendarWeeks) {
    // 2010-01-04 is a Monday; 2010-02-15 (Monday) is a holiday.
    CKData day, week;
    std::vector<KDATA> bars;
    for (DWORD d : {20091231u, 20100101u, 20100104u, 20100105u, 20100108u, 20100111u, 20100112u, 20100210u,
                    20100211u, 20100212u, 20100216u, 20100217u}) {
        bars.push_back(Bar(d, 10, 11 + float(d % 7), 9, 10.5f));
    }
    Fill(day, bars);  // 12 bars: 12 mod 3 = 0, the walk starts at the first
    EXPECT_EQ(ConvertDayToWeek(day, week), 5);
    EXPECT_EQ(week.GetKType(), ktypeWeek);
    const DWORD firstDays[] = {20091231, 20100104, 20100111, 20100210, 20100216};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(week[i].date, firstDays[i]) << i;
    EXPECT_EQ(week[1].volume, 300.f);
    EXPECT_EQ(week[4].volume, 200.f) << "the week after a holiday Monday stands alone";
    EXPECT_EQ(week[1].high, 11.f + 20100105 % 7) << "the highest of the week's highs";
    EXPECT_EQ(week[1].extra[0], 7) << "a week carries its first day's fields";

    // 7 bars: the walk starts at bar 1; an invalid date is skipped.
    bars.assign({Flat(20100104, 1), Flat(20100105, 2), Flat(20100199, 3), Flat(20100106, 4), Flat(20100111, 5),
                 Flat(20100112, 6), Flat(20100113, 7)});
    Fill(day, bars);
    EXPECT_EQ(ConvertDayToWeek(day, week), 2);
    EXPECT_EQ(week[0].date, 20100105u);
    EXPECT_EQ(week[0].close, 4.f);
    EXPECT_EQ(week[0].volume, 200.f);
    for (int i = 0; i < week.GetSize(); ++i) EXPECT_NE(week[i].date, 0u);
}

TEST(KDataConvert, Months) {
    CKData day, month;
    Fill(day, {Flat(20091230, 1), Flat(20091231, 2), Flat(20100104, 3), Flat(20100129, 4), Flat(20100201, 5),
               Flat(20110201, 6)});
    EXPECT_EQ(ConvertDayToMonth(day, month), 4);
    EXPECT_EQ(month.GetKType(), ktypeMonth);
    EXPECT_EQ(month[0].date, 20091230u);
    EXPECT_EQ(month[1].date, 20100104u);
    EXPECT_EQ(month[1].close, 4.f);
    EXPECT_EQ(month[1].volume, 200.f);
    EXPECT_EQ(month[3].date, 20110201u) << "the same month of another year is another bar";
}

// Five-minute bars of one morning, stamped with their closing minute as the minute file gives them.
std::vector<KDATA> MorningBars(int count) {
    std::vector<KDATA> bars;
    int minutes = 9 * 60 + 30;
    for (int i = 0; i < count; ++i) {
        int h = minutes / 60, m = minutes % 60;
        bars.push_back(Bar(Stamp(2010, 12, 28, h, m), float(10 + i), float(11 + i), float(9 + i), float(10 + i)));
        minutes += 5;
    }
    return bars;
}

TEST(KDataConvert, MinuteBarsFollowTheTradingClock) {
    CKData five, out;
    Fill(five, MorningBars(8), ktypeMin5);  // 09:30 to 10:05
    // 15 minutes: 09:30-09:45, 09:50-10:00, and the running 10:05.
    EXPECT_EQ(Convert5To15Minute(five, out), 3);
    EXPECT_EQ(out.GetKType(), ktypeMin15);
    EXPECT_EQ(out[0].date, Stamp(2010, 12, 28, 9, 30));
    EXPECT_EQ(out[0].open, 10.f);
    EXPECT_EQ(out[0].close, 13.f);
    EXPECT_EQ(out[0].high, 14.f);
    EXPECT_EQ(out[0].low, 9.f);
    EXPECT_EQ(out[0].volume, 400.f);
    EXPECT_EQ(out[1].date, Stamp(2010, 12, 28, 9, 50));
    EXPECT_EQ(out[2].date, Stamp(2010, 12, 28, 10, 5));
    EXPECT_EQ(out[2].volume, 100.f);
    EXPECT_EQ(Convert5To30Minute(five, out), 2);
    EXPECT_EQ(out[0].volume, 700.f);
    EXPECT_EQ(Convert5To60Minute(five, out), 1);
    EXPECT_EQ(ConvertMinutePeriod(five, out, 1), 0);

    // A whole day (49 bars: 09:30 alone, then to 11:30 and 13:05 to 15:00) and the next morning.
    std::vector<KDATA> bars;
    auto add = [&](int h, int m, int day) { bars.push_back(Flat(Stamp(2010, 12, day, h, m), 10)); };
    for (int m = 9 * 60 + 30; m <= 11 * 60 + 30; m += 5) add(m / 60, m % 60, 28);
    for (int m = 13 * 60 + 5; m <= 15 * 60; m += 5) add(m / 60, m % 60, 28);
    add(9, 30, 29);
    add(9, 35, 29);
    Fill(five, bars, ktypeMin5);
    EXPECT_EQ(Convert5To15Minute(five, out), 17);
    EXPECT_EQ(out[15].date, Stamp(2010, 12, 28, 14, 50));
    EXPECT_EQ(out[15].volume, 300.f);
    EXPECT_EQ(out[16].date, Stamp(2010, 12, 29, 9, 30)) << "a day never runs into the next";
    EXPECT_EQ(Convert5To60Minute(five, out), 5);
    EXPECT_EQ(out[0].volume, 1300.f);  // 09:30 to 10:30
    EXPECT_EQ(out[1].volume, 1200.f);
    EXPECT_EQ(out[2].date, Stamp(2010, 12, 28, 13, 5));
}

TEST(KDataTimeAxis, NextBarStamp) {
    struct Case {
        DWORD stamp;
        int ktype;
        DWORD next;
    } cases[] = {
        {Stamp(2010, 12, 28, 10, 0), ktypeMin5, Stamp(2010, 12, 28, 10, 5)},
        {Stamp(2010, 12, 28, 11, 25), ktypeMin5, Stamp(2010, 12, 28, 13, 0)},
        {Stamp(2010, 12, 28, 14, 55), ktypeMin5, Stamp(2010, 12, 29, 9, 30)},
        {Stamp(2010, 12, 28, 11, 0), ktypeMin15, Stamp(2010, 12, 28, 11, 15)},
        {Stamp(2010, 12, 28, 11, 15), ktypeMin15, Stamp(2010, 12, 28, 13, 0)},
        {Stamp(2010, 12, 28, 14, 45), ktypeMin15, Stamp(2010, 12, 29, 9, 30)},
        {Stamp(2010, 12, 28, 10, 30), ktypeMin30, Stamp(2010, 12, 28, 11, 0)},
        {Stamp(2010, 12, 28, 11, 0), ktypeMin30, Stamp(2010, 12, 28, 13, 0)},
        {Stamp(2010, 12, 28, 14, 30), ktypeMin30, Stamp(2010, 12, 29, 9, 30)},
        {Stamp(2010, 12, 28, 9, 30), ktypeMin60, Stamp(2010, 12, 28, 10, 30)},
        {Stamp(2010, 12, 28, 10, 30), ktypeMin60, Stamp(2010, 12, 28, 13, 0)},
        {Stamp(2010, 12, 31, 14, 0), ktypeMin60, Stamp(2011, 1, 1, 9, 30)},  // weekends are not skipped
        {20101230, ktypeDay, 20101231},
        {20101231, ktypeDay, 20110103},  // a Friday
        {20101231, ktypeWeek, 20110107},
        {20100115, ktypeMonth, 20100216},  // 15 February is a Monday, and one day more
        {20101215, ktypeMonth, 20110116},  // 15 January 2011 is a Saturday: one day
        {20100131, ktypeMonth, 20100304},  // 31 February is 3 March (a Wednesday)
        {20100129, ktypeMonth, 20100302},  // 1 March 2010 is a Monday
        // The last days a 32-bit time holds (2038-01-19 is a Tuesday): past them there is no stamp.
        {20380118, ktypeDay, 20380119},
        {20380119, ktypeDay, kNoStamp},
        {20380115, ktypeDay, 20380118},
        {20380112, ktypeWeek, 20380119},
        {20380113, ktypeWeek, kNoStamp},
        {20380119, ktypeWeek, kNoStamp},
        {20371218, ktypeMonth, 20380119},
        {20371219, ktypeMonth, kNoStamp},
        {20380119, ktypeMonth, kNoStamp},
        {Stamp(2032, 12, 31, 14, 55), ktypeMin5, kNoStamp},  // the packed form ends with 2032
        {20101331, ktypeDay, kNoStamp},
        {Stamp(2010, 13, 1, 9, 30), ktypeMin5, kNoStamp},
        {20101230, 0, kNoStamp},
        {20101230, 8, kNoStamp},
    };
    for (const Case& c : cases) EXPECT_EQ(NextBarStamp(c.stamp, c.ktype), c.next) << c.stamp << " ktype " << c.ktype;
}

TEST(KDataCombine, CompareLatestAndFillSuspendedDays) {
    CKData month, day;
    Fill(month, {Flat(20101201, 1)}, ktypeMonth);
    Fill(day, {Flat(20110104, 1)});
    EXPECT_EQ(month.CompareLatest(day), -1);
    EXPECT_EQ(day.CompareLatest(month), 1);
    EXPECT_EQ(day.CompareLatest(day), 0);
    CKData empty;
    EXPECT_EQ(empty.CompareLatest(day), -1);

    CKData index, stock;
    std::vector<KDATA> ib;
    for (DWORD d : TradingDays(2010, 1, 4, 10)) ib.push_back(Flat(d, 3000));
    Fill(index, ib);
    // The stock trades on days 1, 2 and 4 of the index's ten.
    Fill(stock, {Flat(ib[1].date, 10), Flat(ib[2].date, 11), Flat(ib[4].date, 12)});
    CKData strict(stock);
    EXPECT_EQ(stock.FillSuspendedDays(index, true), 6);
    ASSERT_EQ(stock.GetSize(), 9);
    EXPECT_EQ(stock[2].date, ib[3].date);
    EXPECT_EQ(stock[2].close, 11.f);
    EXPECT_EQ(stock[2].volume, 0.f);
    EXPECT_EQ(stock[2].market, 0u);
    EXPECT_EQ(stock[8].date, ib[9].date);
    EXPECT_EQ(stock[8].close, 12.f);
    // Strict: a stock whose last day lies before the index's fifth from the end keeps its end.
    EXPECT_EQ(strict.FillSuspendedDays(index, false), 1);
    EXPECT_EQ(strict.GetSize(), 4);
    EXPECT_EQ(strict.GetDate(-1), ib[4].date);
}

TEST(KDataStatistics, WindowsAndFigures) {
    CKData k;
    std::vector<KDATA> bars;
    std::vector<DWORD> days = TradingDays(2010, 1, 4, 30);
    for (size_t i = 0; i < days.size(); ++i) {
        float c = float(10 + i % 3);
        bars.push_back(Bar(days[i], c, c + 1, c - 1, c, float(100 + i)));
    }
    Fill(k, bars);
    // 20 trading bars span 28 calendar days: a normal window, not a suspension.
    EXPECT_TRUE(k.IsValidSpan(20, 20));
    EXPECT_FALSE(k.IsValidSpan(20, 21));
    double v = -1;
    EXPECT_TRUE(k.GetDiff(&v, days[4], 1));
    EXPECT_DOUBLE_EQ(v, 1);  // 11 - 10
    EXPECT_TRUE(k.GetRatio(&v, days[5], 1));
    EXPECT_NEAR(v, 12.0 * 100 / 11 - 100, 1e-9);
    EXPECT_TRUE(k.GetAmplitude(&v, days[5], 2));
    EXPECT_NEAR(v, (13.0 - 10) * 100 / 10, 1e-9);
    EXPECT_TRUE(k.GetVolumeSum(&v, days[5], 2));
    EXPECT_DOUBLE_EQ(v, 104 + 105);
    EXPECT_TRUE(k.GetRatioVolume(&v, days[5], 2));
    EXPECT_NEAR(v, 105.0 / (103 + 104) * 2, 1e-9);
    EXPECT_TRUE(k.GetUpDownRatio(&v, days[5], 3));
    EXPECT_DOUBLE_EQ(v, 2.0 / 2);  // up 1 + 1, down 2
    EXPECT_TRUE(k.GetMA(&v, 2, 3));
    EXPECT_DOUBLE_EQ(v, 11);
    v = -1;
    EXPECT_FALSE(k.GetDiff(&v, days[0], 1));
    EXPECT_FALSE(k.GetDiff(&v, 20100103, 1));
    EXPECT_FALSE(k.GetMA(&v, 1, 3));
    EXPECT_EQ(v, -1) << "a false result leaves the output alone";

    // A window across a long suspension gives nothing; a base bar without a close gives no ratio.
    CKData s;
    Fill(s, {Bar(20100104, 0, 0, 0, 0, 1, 5), Flat(20100105, 10), Flat(20100301, 11)});
    EXPECT_FALSE(s.GetRatio(&v, 20100105, 1));
    EXPECT_FALSE(s.GetDiff(&v, 20100301, 1));
}

TEST(KDataStatistics, NewHigh) {
    CKData k;
    std::vector<KDATA> bars;
    std::vector<DWORD> days = TradingDays(2010, 1, 4, 20);
    const float closes[] = {5, 6, 7, 8, 9, 9.5f, 9, 8, 7, 7, 7, 7, 7, 8, 9.2f, 10, 9, 9, 9, 9};
    for (size_t i = 0; i < days.size(); ++i) bars.push_back(Flat(days[i], closes[i]));
    Fill(k, bars);
    EXPECT_TRUE(k.IsNewHigh(15, true, 12)) << "highest of the window before lies 10 bars back";
    EXPECT_FALSE(k.IsNewHigh(14, true, 12)) << "a higher price in the window";
    EXPECT_FALSE(k.IsNewHigh(15, true, 2));
}

TEST(KDataStatistics, YieldAndBeta) {
    CKData stock, index;
    std::vector<KDATA> sb, ib;
    std::vector<DWORD> days = TradingDays(2009, 1, 5, 300);
    double p = 10, q = 3000;
    for (size_t i = 0; i < days.size(); ++i) {
        double r = (int(i * 7919 % 13) - 6) / 400.0;  // returns of -1.5 % to 1.5 %
        p *= 1 + 2 * r;
        q *= 1 + r;
        sb.push_back(Flat(days[i], float(p)));
        ib.push_back(Flat(days[i], float(q)));
    }
    Fill(stock, sb);
    Fill(index, ib);
    double avg = 0, dev = 0;
    EXPECT_TRUE(CalcYieldAverage(index, &avg, &dev, -1, -1)) << "the whole series gives a figure";
    EXPECT_TRUE(CalcYieldAverage(index, &avg, &dev, 100, -1));
    EXPECT_GT(dev, 0);
    EXPECT_FALSE(CalcYieldAverage(index, &avg, &dev, 300, -1));
    double beta = 0;
    ASSERT_TRUE(CalcBeta(stock, index, avg, dev, &beta, 100, -1));
    EXPECT_NEAR(beta, 2, 0.1) << "twice the index's moves";
    EXPECT_FALSE(CalcBeta(stock, index, avg, 0, &beta, 100, -1)) << "a flat index gives no beta";
}

TEST(KDataDates, FieldsOfDayAndMinuteBars) {
    CKData k;
    Fill(k, {Flat(Stamp(2010, 12, 28, 10, 35), 1)}, ktypeMin5);
    EXPECT_EQ(k.GetDateAt(0), 20101228u);
    int y, mo, d, h, mi;
    ASSERT_TRUE(k.GetDateFields(0, &y, &mo, &d, &h, &mi));
    EXPECT_EQ(y * 10000 + mo * 100 + d, 20101228);
    EXPECT_EQ(h * 100 + mi, 1035);
    EXPECT_FALSE(k.GetDateFields(1, &y, &mo, &d, &h, &mi));
    k.SetKType(9);
    y = 5;
    EXPECT_FALSE(k.GetDateFields(0, &y, &mo, &d, &h, &mi));
    EXPECT_EQ(y, 0);
}

}  // namespace

namespace {

// Every column equals the fields of the bars as they stand now.
void ExpectColumnsMatchBars(const CKData& k, const char* name) {
    const KDATA* b = k.GetData();
    for (int field = 0; field < CKData::kBarFields; ++field) {
        const double* c = k.GetColumn(field);
        if (k.GetSize() == 0) {
            EXPECT_EQ(c, nullptr) << name;
            continue;
        }
        ASSERT_NE(c, nullptr) << name;
        EXPECT_TRUE(k.HasColumn(field)) << name;
        for (int i = 0; i < k.GetSize(); ++i) {
            const float f[] = {b[i].open, b[i].high, b[i].low, b[i].close, b[i].volume, b[i].amount};
            ASSERT_EQ(c[i], double(f[field])) << name << ": field " << field << ", bar " << i;
        }
    }
}

}  // namespace

// A column read before a change never answers after it: each way a bar can be written or the
// series resized, then the next read gives the bars' new fields.
TEST(KDataColumns, EveryChangeIsSeenByTheNextRead) {
    const std::vector<DWORD> days = TradingDays(2010, 1, 4, 12);
    std::vector<KDATA> bars;
    for (int i = 0; i < 10; ++i) bars.push_back(Bar(days[size_t(i)], 10.f + i, 11.f + i, 9.f + i, 10.5f + i, 100.f + i));
    CKData other;
    Fill(other, {Bar(days[10], 30, 31, 29, 30.5f, 700), Bar(days[3], 40, 41, 39, 40.5f, 800)});
    struct Case {
        const char* name;
        std::function<void(CKData&)> change;
    };
    const Case cases[] = {
        {"ElementAt", [](CKData& k) { k.ElementAt(3).close = 99; }},
        {"operator[]", [](CKData& k) { k[4].volume = 99; }},
        {"GetData", [](CKData& k) { k.GetData()[5].open = 99; }},
        {"ReplaceAt", [&](CKData& k) { k.ReplaceAt(2, Bar(days[2], 1, 2, 0.5f, 1.5f, 5, 6)); }},
        {"SetAt", [&](CKData& k) { k.SetAt(1, Bar(days[1], 2, 3, 1, 2.5f, 7, 8)); }},
        {"SetAt past the end", [&](CKData& k) { k.SetAt(11, Bar(days[11], 2, 3, 1, 2.5f, 7, 8)); }},
        {"Add", [&](CKData& k) { k.Add(Bar(days[10], 50, 51, 49, 50.5f)); }},
        {"InsertAt", [&](CKData& k) { k.InsertAt(0, Bar(days[0] - 1, 60, 61, 59, 60.5f), 2); }},
        {"RemoveAt", [](CKData& k) { k.RemoveAt(0, 3); }},
        {"SetSize smaller", [](CKData& k) { k.SetSize(4); }},
        {"SetSize larger", [](CKData& k) { k.SetSize(14); }},
        {"InsertOrReplace", [&](CKData& k) { k.InsertOrReplace(Bar(days[6], 70, 71, 69, 70.5f)); }},
        {"Merge", [&](CKData& k) { k.Merge(&other); }},
        {"assignment", [&](CKData& k) { k = other; }},
        {"Clear", [](CKData& k) { k.Clear(); }},
        {"exright forward",
         [&](CKData& k) {
             CArray42 records;
             records.Add(Dividend(days[5], 2));
             k.SetDRData(records);
             k.SetExrightMode(exrightForward);
         }},
        {"FillSuspendedDays",
         [&](CKData& k) {
             CKData index;
             std::vector<KDATA> ib;
             for (DWORD d : days) ib.push_back(Flat(d, 3000));
             Fill(index, ib);
             k.RemoveAt(2, 3);
             ExpectColumnsMatchBars(k, "before the fill");
             k.FillSuspendedDays(index, true);
         }},
        {"ConvertDayToWeek", [&](CKData& k) { ConvertDayToWeek(other, k); }},
        {"ConvertDayToMonth", [&](CKData& k) { ConvertDayToMonth(other, k); }},
    };
    for (const Case& c : cases) {
        CKData k;
        Fill(k, bars);
        EXPECT_FALSE(k.HasColumn(CKData::fieldClose)) << c.name << ": read only when asked";
        ExpectColumnsMatchBars(k, c.name);
        const CKData before(k);
        c.change(k);
        ExpectColumnsMatchBars(k, c.name);
        // The case changed something a column shows, so a stale column would have failed above.
        bool changed = before.GetSize() != k.GetSize();
        for (int i = 0; !changed && i < k.GetSize(); ++i)
            changed = std::memcmp(&before.GetData()[i].open, &k.GetData()[i].open, 6 * sizeof(float)) != 0;
        EXPECT_TRUE(changed) << c.name;
    }
}

TEST(KDataColumns, ReadOnceUntilAChangeAndFreedByClear) {
    CKData k;
    EXPECT_EQ(k.GetColumn(CKData::fieldClose), nullptr) << "an empty series has no column";
    EXPECT_EQ(k.GetColumn(-1), nullptr);
    EXPECT_EQ(k.GetColumn(CKData::kBarFields), nullptr);
    Fill(k, {Flat(20100104, 1), Flat(20100105, 2)});
    const double* c = k.GetColumn(CKData::fieldClose);
    ASSERT_NE(c, nullptr);
    const CKData& view = k;
    const uint64_t changes = k.GetChangeCount();
    EXPECT_EQ(view[1].close + view.ElementAt(0).close + view.GetData()[0].close, 4.f);
    EXPECT_EQ(k.GetChangeCount(), changes) << "reading through the const accessors changes nothing";
    EXPECT_TRUE(k.HasColumn(CKData::fieldClose));
    EXPECT_FALSE(k.HasColumn(CKData::fieldVolume)) << "only the fields asked for are read";
    EXPECT_EQ(k.GetColumn(CKData::fieldClose), c) << "a second read answers from the column";
    k.Clear();
    EXPECT_FALSE(k.HasColumn(CKData::fieldClose));
    EXPECT_EQ(k.GetColumn(CKData::fieldClose), nullptr);
}
