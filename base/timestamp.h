// Market time: 32-bit seconds since 1970 (UTC) whose calendar is always Beijing time (UTC+8).
// Every conversion is plain arithmetic on UTC+8 days, so results never depend on the machine's
// time zone and no C library time call (with its shared static buffer) is involved.
#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"
// windows.h maps GetCurrentTime to GetTickCount; it is included once above, so undoing the
// macro here keeps our method name whatever is included later.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class CTimeStamp {
public:
    enum : int32_t {
        kBeijingOffset = 8 * 3600,
        kTradeDaySeconds = 14400,   // one whole trading day on the trading clock
        kTradeSecondMax = 14460,    // the clock after the close
    };
    // Marks a time that has no minute stamp (negative, or a year the packed form cannot hold).
    static constexpr uint32_t kNoMinuteStamp = 0xFFFFFFFFu;

    CTimeStamp() : m_time(0) {}
    CTimeStamp(int32_t time) : m_time(time) {}  // NOLINT: a time converts freely, as time_t does
    // Beijing wall-clock fields, normalised as mktime does (minute 75 is the next hour's 15).
    // Fields that give no 32-bit time leave the value 0, which the trading clock treats as
    // invalid. The daylight flag is accepted and ignored: Beijing has no summer time.
    CTimeStamp(int year, int month, int day, int hour, int minute, int second, int daylight = -1);

    static CTimeStamp GetCurrentTime();

    int32_t GetTime() const { return m_time; }
    void SetTime(int32_t time) { m_time = time; }

    // yyyymmdd at 00:00 Beijing time. 0 (value unchanged) for day outside 1-31, month outside
    // 1-12, year below 1900 or a date that gives no 32-bit time.
    int FromDate(uint32_t yyyymmdd);
    // (year - 1990) * 100000000 + MMDDhhmm; with a year other than -1 that year is used and only
    // MMDDhhmm is read from the stamp. Same checks as FromDate.
    int FromMinuteStamp(uint32_t stamp, int year = -1);
    // FromDate for day, week and month data, else FromMinuteStamp with the year.
    int FromStockDate(uint32_t value, bool isDay, int year = -1);

    // Calendar fields read in UTC+8. A value of 0 or below is read without the shift.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetBeijingHour() const;
    int GetBeijingMinute() const;
    // 1 Sunday to 7 Saturday.
    int GetDayOfWeek() const;

    // -1 for a negative time, 0 for 0, else year * 10000 + month * 100 + day.
    int GetDateNumber() const;
    // kNoMinuteStamp for a negative time or a year outside 1990-2032, 0 for 0, else the packed
    // minute stamp.
    uint32_t GetMinuteStamp() const;

    // strftime-like formatting in UTC+8 of %Y %y %m %d %e %H %I %M %S %p %j %w %a %A %b %B %%.
    // An unknown conversion or a result of 128 bytes or more gives an empty text.
    std::string Format(const char* format) const;

    // Position on the trading clock, 0 to 14460: 0 up to 09:30, then each minute counted to its
    // end (minute start + 59), 7260 through the midday break, the afternoon going on from 13:00
    // in the slot of 11:30, and 14460 after 15:00:00. A value of 0 or below gives 0.
    int GetTradeSecond() const;

    bool operator==(const CTimeStamp& o) const { return m_time == o.m_time; }
    bool operator!=(const CTimeStamp& o) const { return m_time != o.m_time; }
    bool operator<(const CTimeStamp& o) const { return m_time < o.m_time; }

private:
    int32_t m_time;
};

// The stamp's trading second over 14400 when it is not 0 and the stamp lies on the same Beijing
// day as the reference; otherwise 1.0 (a whole day).
double GetTradeDayFraction(CTimeStamp reference, CTimeStamp stamp);

// Weekday sessions 09:25 to 11:30 and 13:00 to 15:00 Beijing time, each widened by margin seconds.
bool IsTradingTime(CTimeStamp time, int margin);

namespace velmora {
// Days since 1970-01-01 of a proleptic Gregorian date; month and day may lie outside their range
// and are carried over as mktime does.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
// The date of a day count since 1970-01-01.
void CivilFromDays(int64_t days, int& year, int& month, int& day);
}  // namespace velmora
