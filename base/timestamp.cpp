#include "base/timestamp.h"

#include <cstdio>
#include <ctime>
#include <limits>

namespace velmora {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    // Carry the month into the year first, then count from the first of the month.
    year += FloorDiv(month - 1, 12);
    month -= FloorDiv(month - 1, 12) * 12;
    year -= month <= 2;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (day - 1);
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

}  // namespace velmora

namespace {

using velmora::CivilFromDays;
using velmora::DaysFromCivil;

struct Fields {
    int year, month, day, hour, minute, second, wday, yday;
};

// Beijing seconds since 1970 of a time: the getters read a value of 0 or below unshifted.
int64_t LocalSeconds(int32_t t) { return t > 0 ? int64_t(t) + CTimeStamp::kBeijingOffset : int64_t(t); }

Fields Split(int64_t local) {
    Fields f;
    int64_t days = local / 86400;
    int64_t secs = local % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    CivilFromDays(days, f.year, f.month, f.day);
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    int64_t w = (days + 4) % 7;  // 1970-01-01 was a Thursday
    f.wday = static_cast<int>(w < 0 ? w + 7 : w);
    f.yday = static_cast<int>(days - DaysFromCivil(f.year, 1, 1));
    return f;
}

// Beijing wall-clock fields to a time; false when it does not fit 32 bits.
bool Compose(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
             int32_t& out) {
    const int64_t kLimit = int64_t(1) << 40;  // keeps the products below from overflowing
    if (year < -kLimit || year > kLimit || month < -kLimit || month > kLimit || day < -kLimit || day > kLimit ||
        hour < -kLimit || hour > kLimit || minute < -kLimit || minute > kLimit || second < -kLimit ||
        second > kLimit)
        return false;
    int64_t t = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                CTimeStamp::kBeijingOffset;
    if (t < std::numeric_limits<int32_t>::min() || t > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(t);
    return true;
}

bool ValidDate(int64_t year, int64_t month, int64_t day) {
    return day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 1900;
}

const char* const kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

}  // namespace

CTimeStamp::CTimeStamp(int year, int month, int day, int hour, int minute, int second, int daylight) : m_time(0) {
    int32_t t;
    if (Compose(year, month, day, hour, minute, second, t)) m_time = t;
}

CTimeStamp CTimeStamp::GetCurrentTime() { return CTimeStamp(static_cast<int32_t>(std::time(nullptr))); }

int CTimeStamp::FromDate(uint32_t yyyymmdd) {
    const int64_t year = yyyymmdd / 10000, month = yyyymmdd / 100 % 100, day = yyyymmdd % 100;
    int32_t t;
    if (!ValidDate(year, month, day) || !Compose(year, month, day, 0, 0, 0, t)) return 0;
    m_time = t;
    return 1;
}

int CTimeStamp::FromMinuteStamp(uint32_t stamp, int year) {
    const int64_t y = year == -1 ? int64_t(stamp / 100000000u) + 1990 : int64_t(year);
    const uint32_t rest = stamp % 100000000u;
    const int64_t month = rest / 1000000, day = rest / 10000 % 100, hour = rest / 100 % 100, minute = rest % 100;
    int32_t t;
    if (!ValidDate(y, month, day) || !Compose(y, month, day, hour, minute, 0, t)) return 0;
    m_time = t;
    return 1;
}

int CTimeStamp::FromStockDate(uint32_t value, bool isDay, int year) {
    return isDay ? FromDate(value) : FromMinuteStamp(value, year);
}

int CTimeStamp::GetYear() const { return Split(LocalSeconds(m_time)).year; }
int CTimeStamp::GetMonth() const { return Split(LocalSeconds(m_time)).month; }
int CTimeStamp::GetDay() const { return Split(LocalSeconds(m_time)).day; }
int CTimeStamp::GetBeijingHour() const { return Split(LocalSeconds(m_time)).hour; }
int CTimeStamp::GetBeijingMinute() const { return Split(LocalSeconds(m_time)).minute; }
int CTimeStamp::GetDayOfWeek() const { return Split(LocalSeconds(m_time)).wday + 1; }

int CTimeStamp::GetDateNumber() const {
    if (m_time < 0) return -1;
    if (m_time == 0) return 0;
    Fields f = Split(LocalSeconds(m_time));
    return f.year * 10000 + f.month * 100 + f.day;
}

uint32_t CTimeStamp::GetMinuteStamp() const {
    if (m_time < 0) return kNoMinuteStamp;
    if (m_time == 0) return 0;
    Fields f = Split(LocalSeconds(m_time));
    // The packed form holds 1990 to 2032 in 32 unsigned bits.
    if (f.year < 1990 || f.year > 2032) return kNoMinuteStamp;
    return uint32_t(f.year - 1990) * 100000000u + uint32_t(f.month) * 1000000u + uint32_t(f.day) * 10000u +
           uint32_t(f.hour) * 100u + uint32_t(f.minute);
}

std::string CTimeStamp::Format(const char* format) const {
    if (!format) return std::string();
    const Fields f = Split(LocalSeconds(m_time));
    std::string out;
    char num[16];
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
        } else {
            ++p;
            switch (*p) {
            case 'Y': std::snprintf(num, sizeof num, "%d", f.year); out += num; break;
            case 'y': std::snprintf(num, sizeof num, "%02d", ((f.year % 100) + 100) % 100); out += num; break;
            case 'm': std::snprintf(num, sizeof num, "%02d", f.month); out += num; break;
            case 'd': std::snprintf(num, sizeof num, "%02d", f.day); out += num; break;
            case 'e': std::snprintf(num, sizeof num, "%2d", f.day); out += num; break;
            case 'H': std::snprintf(num, sizeof num, "%02d", f.hour); out += num; break;
            case 'I': std::snprintf(num, sizeof num, "%02d", f.hour % 12 == 0 ? 12 : f.hour % 12); out += num; break;
            case 'M': std::snprintf(num, sizeof num, "%02d", f.minute); out += num; break;
            case 'S': std::snprintf(num, sizeof num, "%02d", f.second); out += num; break;
            case 'p': out += f.hour < 12 ? "AM" : "PM"; break;
            case 'j': std::snprintf(num, sizeof num, "%03d", f.yday + 1); out += num; break;
            case 'w': std::snprintf(num, sizeof num, "%d", f.wday); out += num; break;
            case 'a': out.append(kDayNames[f.wday], 3); break;
            case 'A': out += kDayNames[f.wday]; break;
            case 'b': out.append(kMonthNames[f.month - 1], 3); break;
            case 'B': out += kMonthNames[f.month - 1]; break;
            case '%': out += '%'; break;
            default: return std::string();  // unknown or a lone '%' at the end
            }
        }
        if (out.size() >= 128) return std::string();
    }
    return out;
}

int CTimeStamp::GetTradeSecond() const {
    if (m_time <= 0) return 0;
    const int64_t s = LocalSeconds(m_time) % 86400;  // positive here
    const int64_t kOpen = 9 * 3600 + 30 * 60, kClose = 15 * 3600;
    if (s < kOpen) return 0;
    if (s > kClose) return kTradeSecondMax;
    const int64_t f = s - kOpen;
    if (f < 7260) return static_cast<int>(f / 60 * 60 + 59);
    if (f < 12600) return 7260;
    return static_cast<int>((f - 5400) / 60 * 60 + 59);
}

double GetTradeDayFraction(CTimeStamp reference, CTimeStamp stamp) {
    const int second = stamp.GetTradeSecond();
    if (second != 0 && stamp.GetYear() == reference.GetYear() && stamp.GetMonth() == reference.GetMonth() &&
        stamp.GetDay() == reference.GetDay())
        return second / double(CTimeStamp::kTradeDaySeconds);
    return 1.0;
}

bool IsTradingTime(CTimeStamp time, int margin) {
    int64_t local = int64_t(time.GetTime()) + CTimeStamp::kBeijingOffset;
    int64_t days = local / 86400, s = local % 86400;
    if (s < 0) {
        s += 86400;
        --days;
    }
    int64_t wday = ((days + 4) % 7 + 7) % 7;
    if (wday == 0 || wday == 6) return false;
    const int64_t m = margin;
    return (s >= 33900 - m && s <= 41400 + m) || (s >= 46800 - m && s <= 54000 + m);
}
