// Beijing time by arithmetic: these must hold whatever TZ the machine runs with.
#include "base/timestamp.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// 2026-12-11 is a Friday; 09:30 Beijing that day is 01:30 UTC.
const int32_t kFri0930 = 1796952600;

CTimeStamp Fri(int h, int m, int s) { return CTimeStamp(2026, 12, 11, h, m, s); }

TEST(TimeStampTest, FieldsAreBeijingTimeWhateverTheZone) {
    EXPECT_EQ(Fri(9, 30, 0).GetTime(), kFri0930);
    // 2010-12-27 16:00:00 UTC is midnight of the 28th in Beijing.
    CTimeStamp midnight(1293465600);
    EXPECT_EQ(midnight.GetDateNumber(), 20101228);
    EXPECT_EQ(midnight.GetBeijingHour(), 0);
    CTimeStamp before(1293465599);
    EXPECT_EQ(before.GetDay(), 27);
    EXPECT_EQ(before.GetBeijingHour(), 23);
    EXPECT_EQ(before.GetBeijingMinute(), 59);
    EXPECT_EQ(CTimeStamp(kFri0930).GetDayOfWeek(), 6);  // Friday, Sunday being 1

    EXPECT_EQ(CTimeStamp(0).GetYear(), 1970);
    EXPECT_EQ(CTimeStamp(0).GetDateNumber(), 0);
    EXPECT_EQ(CTimeStamp(-5).GetDateNumber(), -1);
    EXPECT_EQ(CTimeStamp(-5).GetMinuteStamp(), CTimeStamp::kNoMinuteStamp);
    EXPECT_EQ(CTimeStamp(0).GetMinuteStamp(), 0u);

    // Fields carry over as mktime does (9:90 is 10:30); fields with no 32-bit time give the invalid 0.
    EXPECT_EQ(CTimeStamp(2010, 12, 28, 9, 90, 0), CTimeStamp(2010, 12, 28, 10, 30, 0));
    EXPECT_EQ(CTimeStamp(2010, 13, 1, 0, 0, 0), CTimeStamp(2011, 1, 1, 0, 0, 0));
    EXPECT_EQ(CTimeStamp(2010, 3, 0, 0, 0, 0), CTimeStamp(2010, 2, 28, 0, 0, 0));
    EXPECT_EQ(CTimeStamp(2040, 1, 1, 0, 0, 0).GetTime(), 0);
    EXPECT_EQ(CTimeStamp(1800, 1, 1, 0, 0, 0).GetTime(), 0);
}

TEST(TimeStampTest, FromDateAndMinuteStampValidate) {
    CTimeStamp t;
    ASSERT_EQ(t.FromDate(20101228), 1);
    EXPECT_EQ(t.GetTime(), 1293465600);

    // Each refusal leaves the value as it was.
    const uint32_t badDates[] = {20101328, 20101200, 20101232, 20100028, 18991231, 19000101};
    for (uint32_t d : badDates) {
        EXPECT_EQ(t.FromDate(d), 0) << d;
        EXPECT_EQ(t.GetTime(), 1293465600) << d;
    }

    ASSERT_EQ(t.FromMinuteStamp(2012281030u, -1), 1);
    EXPECT_EQ(t.GetTime(), 1293503400);  // 2010-12-28 10:30 Beijing
    EXPECT_EQ(t.FromMinuteStamp(2013281030u, -1), 0);  // month 13
    EXPECT_EQ(t.FromMinuteStamp(2012001030u, -1), 0);  // day 0
    EXPECT_EQ(t.GetTime(), 1293503400);
    // An explicit year reads only MMDDhhmm.
    ASSERT_EQ(t.FromMinuteStamp(3612281030u, 2010), 1);
    EXPECT_EQ(t.GetTime(), 1293503400);

    ASSERT_EQ(t.FromStockDate(20101228, true), 1);
    EXPECT_EQ(t.GetTime(), 1293465600);
    ASSERT_EQ(t.FromStockDate(2012281030u, false, -1), 1);
    EXPECT_EQ(t.GetTime(), 1293503400);
}

TEST(TimeStampTest, MinuteStampsRoundTripAcrossTheUnsignedRange) {
    // From 2012 on the stamps exceed 2^31; 2032 is the last year the form holds.
    for (int year = 2012; year <= 2032; ++year) {
        for (int month = 1; month <= 12; month += 5) {
            const int day = 1 + (year + month) % 28, hour = (year * 7 + month) % 24, minute = (year + month * 13) % 60;
            const uint32_t stamp = uint32_t(year - 1990) * 100000000u + uint32_t(month) * 1000000u +
                                   uint32_t(day) * 10000u + uint32_t(hour) * 100u + uint32_t(minute);
            CTimeStamp t;
            ASSERT_EQ(t.FromMinuteStamp(stamp), 1) << stamp;
            EXPECT_EQ(t.GetMinuteStamp(), stamp);
            EXPECT_EQ(t.GetYear(), year);
            EXPECT_EQ(t.GetMonth(), month);
            EXPECT_EQ(t.GetDay(), day);
            EXPECT_EQ(t.GetBeijingHour(), hour);
            EXPECT_EQ(t.GetBeijingMinute(), minute);
            EXPECT_EQ(t.GetDateNumber(), year * 10000 + month * 100 + day);
        }
    }
    // 2033 does not fit the packed form.
    EXPECT_EQ(CTimeStamp(2033, 1, 1, 0, 0, 0).GetMinuteStamp(), CTimeStamp::kNoMinuteStamp);
}

TEST(TimeStampTest, FormatsInBeijingTime) {
    CTimeStamp t(1293503400);  // 2010-12-28 10:30 Beijing, a Tuesday
    EXPECT_EQ(t.Format("%H:%M"), "10:30");
    EXPECT_EQ(t.Format("%y-%m-%d"), "10-12-28");
    EXPECT_EQ(t.Format("%m%d%H%M"), "12281030");
    EXPECT_EQ(t.Format("%Y/%j %a %b %I%p %S 100%%"), "2010/362 Tue Dec 10AM 00 100%");
    EXPECT_EQ(t.Format("%Q"), "");
    EXPECT_EQ(t.Format("%"), "");
    EXPECT_EQ(t.Format(std::string(127, 'x').c_str()).size(), 127u);
    EXPECT_EQ(t.Format(std::string(128, 'x').c_str()), "");
}

TEST(TimeStampTest, TradeSecondsAtTheEdges) {
    struct Case {
        int h, m, s, expected;
    } cases[] = {
        {0, 0, 0, 0},          {9, 29, 59, 0},        {9, 30, 0, 59},       {9, 30, 59, 59},
        {9, 31, 0, 119},       {11, 29, 59, 7199},    {11, 30, 0, 7259},    {11, 30, 59, 7259},
        {11, 31, 0, 7260},     {12, 0, 0, 7260},      {12, 59, 59, 7260},   {13, 0, 0, 7259},
        {13, 0, 30, 7259},     {13, 1, 0, 7319},      {14, 59, 59, 14399},  {15, 0, 0, 14459},
        {15, 0, 1, 14460},     {23, 59, 59, 14460},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Fri(c.h, c.m, c.s).GetTradeSecond(), c.expected) << c.h << ":" << c.m << ":" << c.s;
    EXPECT_EQ(CTimeStamp(0).GetTradeSecond(), 0);
    EXPECT_EQ(CTimeStamp(-100).GetTradeSecond(), 0);

    // The 241 minute slots are i * 60 + 59.
    for (int i = 0; i < 241; ++i) {
        int minutes = i <= 120 ? 9 * 60 + 30 + i : 13 * 60 + (i - 120);
        EXPECT_EQ(Fri(minutes / 60, minutes % 60, 0).GetTradeSecond(), i * 60 + 59) << i;
    }
}

TEST(TimeStampTest, TradeDayFraction) {
    const CTimeStamp ref = Fri(10, 0, 0);
    EXPECT_DOUBLE_EQ(GetTradeDayFraction(ref, Fri(15, 0, 0)), 14459 / 14400.0);
    EXPECT_DOUBLE_EQ(GetTradeDayFraction(ref, Fri(9, 31, 0)), 119 / 14400.0);
    EXPECT_DOUBLE_EQ(GetTradeDayFraction(ref, Fri(9, 0, 0)), 1.0);  // before the open
    EXPECT_DOUBLE_EQ(GetTradeDayFraction(ref, CTimeStamp(2026, 12, 10, 10, 0, 0)), 1.0);
    // 23:00 UTC is already the next Beijing day.
    EXPECT_DOUBLE_EQ(GetTradeDayFraction(CTimeStamp(2026, 12, 12, 7, 0, 0), Fri(10, 0, 0)), 1.0);
}

TEST(TimeStampTest, TradingTimeWithMarginsAndWeekends) {
    struct Case {
        int day, h, m, s, margin;
        bool expected;
    } cases[] = {
        {11, 9, 25, 0, 0, true},    {11, 9, 24, 59, 0, false}, {11, 9, 24, 0, 60, true},
        {11, 9, 23, 59, 60, false}, {11, 11, 30, 0, 0, true},  {11, 11, 30, 1, 0, false},
        {11, 12, 0, 0, 0, false},   {11, 12, 0, 0, 3600, true}, {11, 13, 0, 0, 0, true},
        {11, 12, 59, 59, 0, false}, {11, 15, 0, 0, 0, true},   {11, 15, 0, 1, 0, false},
        {12, 10, 0, 0, 0, false},   {13, 10, 0, 0, 0, false},  {14, 10, 0, 0, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTradingTime(CTimeStamp(2026, 12, c.day, c.h, c.m, c.s), c.margin), c.expected)
            << c.day << " " << c.h << ":" << c.m << ":" << c.s << " margin " << c.margin;
}

}  // namespace
