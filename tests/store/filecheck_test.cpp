// The wholeness check that decides whether a stored file is refetched at start-up: every way a
// file gets damaged (cut, garbage, a record of another size, a reordered or poisoned record) is
// caught, and the files the service really sends pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "store/filecheck.h"
#include "store/records.h"

namespace {

template <class T>
void Append(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string DayFile(int bars) {
    std::string out;
    for (int i = 0; i < bars; ++i) {
        KFILE_RECORD r = {1700000000 + i * 86400, 10.0f, 10.5f, 9.5f, 10.2f, 1000.0f, 1.0e6f, 0};
        Append(out, r);
    }
    return out;
}

std::string MinuteFile() {
    std::string out;
    MINUTE_FILE_HEADER h;
    std::memset(&h, 0, sizeof h);
    h.time = 1700000000;
    h.prevClose = h.open = h.high = h.low = h.price = 10.0f;
    Append(out, h);
    for (int i = 0; i < kMinuteFileRecords; ++i) {
        int m = i <= 120 ? 9 * 60 + 30 + i : 13 * 60 + (i - 120);
        MINUTE_FILE_RECORD r = {WORD(m / 60 * 100 + m % 60), 10.0f, 10.0f, 5.0f, 5.0f, 500.0f, 500.0f, 10.1f, 9.9f};
        Append(out, r);
    }
    return out;
}

std::string CodeList(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        CODELIST_RECORD r;
        std::memset(&r, 0, sizeof r);
        std::memcpy(r.market, i % 2 ? "SZ" : "SH", 2);
        std::snprintf(r.code, sizeof r.code, "%06d", 600000 + i);
        std::memcpy(r.name, "name", 4);
        Append(out, r);
    }
    return out;
}

std::string Garbage(size_t n) {
    std::string out(n, '\0');
    unsigned x = 12345;
    for (char& c : out) c = char((x = x * 1103515245u + 12345u) >> 16);
    return out;
}

struct Case {
    const char* what;
    std::string data;
    StoredFileKind kind;
    bool whole;
};

TEST(StoredFileCheck, CatchesEveryKindOfDamage) {
    std::string day = DayFile(300), minute = MinuteFile(), codes = CodeList(50);
    std::string reordered = day;
    std::swap_ranges(&reordered[0], &reordered[32], &reordered[64]);
    std::string poisoned = day;
    float nan = std::nanf("");
    std::memcpy(&poisoned[32 * 7 + 16], &nan, 4);  // a close
    std::string badHour = minute;
    WORD noon = 1215;
    std::memcpy(&badHour[120 + 34 * 5], &noon, 2);
    std::string emptySlots = minute;  // the afternoon not yet traded: slots of zeros
    std::memset(&emptySlots[120 + 34 * 150], 0, 34 * 91);
    std::string badMarket = codes;
    badMarket[68 * 3] = 'X';
    const Case cases[] = {
        {"day whole", day, storedDay, true},
        {"day cut mid-record", day.substr(0, day.size() - 13), storedDay, false},
        {"day empty", std::string(), storedDay, false},
        {"day of 30-byte records", DayFile(320).substr(0, 300 * 30), storedDay, false},
        {"day garbage of whole records", Garbage(32 * 200), storedDay, false},
        {"day times not rising", reordered, storedDay, false},
        {"day with a NaN close", poisoned, storedDay, false},
        {"minute whole", minute, storedMinute, true},
        {"minute cut", minute.substr(0, 8000), storedMinute, false},
        {"minute garbage", Garbage(8314), storedMinute, false},
        {"minute with a lunch-break minute", badHour, storedMinute, false},
        {"minute with empty slots", emptySlots, storedMinute, true},
        {"minute file sent as a day file", minute.substr(0, 8288), storedDay, false},
        {"code list whole", codes, storedCodeList, true},
        {"code list cut", codes.substr(0, codes.size() - 5), storedCodeList, false},
        {"code list garbage", Garbage(68 * 40), storedCodeList, false},
        {"code list of another market", badMarket, storedCodeList, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.whole, IsWholeStoredData(c.data.data(), c.data.size(), c.kind)) << c.what;
    EXPECT_FALSE(IsWholeStoredFile("no such file here.day", storedDay));
}

}  // namespace

namespace {

// 2026-12-10 15:00 Beijing time: the service's "now" of the rule cases.
const int32_t kNow = 1796886000;
const int32_t kDay = 86400;

template <class T>
void Put(std::string& bytes, size_t offset, const T& v) {
    std::memcpy(&bytes[offset], &v, sizeof v);
}

// Bars one per day up to kNow's day, from 2026-06-01 on: an odd bar among them.
std::string RecentDays(int bars) {
    std::string out;
    for (int i = 0; i < bars; ++i) {
        const int32_t t = kNow - (bars - 1 - i) * kDay;
        KFILE_RECORD r = {t, 10.0f, 10.5f, 9.5f, 10.2f, 1000.0f, 1.0e6f, 0};
        Append(out, r);
    }
    return out;
}

// A trade every three seconds (two trades share each tenth second) from 09:30 of kNow's day.
std::string Ticks(int n) {
    std::string out;
    const int32_t open = kNow - (5 * 3600 + 30 * 60);
    for (int i = 0; i < n; ++i) {
        int32_t t = open + (i - i / 10) * 3;
        float price = 10.0f + float(i % 7) / 100, volume = float(100 * (1 + i % 5)), amount = price * volume * 100;
        int32_t direction = 1 + i % 3;
        DWORD rec[5];
        std::memcpy(&rec[0], &t, 4);
        std::memcpy(&rec[1], &price, 4);
        std::memcpy(&rec[2], &amount, 4);
        std::memcpy(&rec[3], &volume, 4);
        std::memcpy(&rec[4], &direction, 4);
        out.append(reinterpret_cast<const char*>(rec), sizeof rec);
    }
    return out;
}

struct Rule {
    const char* what;
    StoredFileKind kind;
    std::string data;
    const char* reason;  // null: taken
};

// Each rule of each kind alone: a whole file that breaks it once is refused, and the reason
// names the record and the field.
TEST(StoredRecordRules, EachRuleRefusesWithItsReason) {
    const float nan = std::nanf(""), inf = INFINITY;
    const std::string day = RecentDays(200), minute = MinuteFile(), ticks = Ticks(300);
    auto day_ = [&](size_t record, size_t field, auto v) {
        std::string b = day;
        Put(b, record * 32 + field, v);
        return b;
    };
    auto minute_ = [&](size_t offset, auto v) {
        std::string b = minute;
        Put(b, offset, v);
        return b;
    };
    auto tick_ = [&](size_t record, size_t field, auto v) {
        std::string b = ticks;
        Put(b, record * 20 + field * 4, v);
        return b;
    };
    const size_t lastBar = 199, minuteRec = 120 + 34 * 40;  // minute 40's record
    const int32_t nowMinute = kNow - 3600;                    // a header time of the service's day
    const Rule rules[] = {
        {"day whole", storedDay, day, nullptr},
        // A real file's odd bar: the open a cent above the high, a low above the close.
        {"day with an open above its high", storedDay, day_(50, 4, 10.51f), nullptr},
        {"day with a low above its close", storedDay, day_(51, 12, 10.3f), nullptr},
        {"day ending on the service's tomorrow", storedDay, day_(lastBar, 0, kNow + kDay), nullptr},
        {"day from 1990's first day", storedDay, day_(0, 0, kFirstRecordTime), nullptr},
        {"day empty", storedDay, std::string(), "the body is empty"},
        {"day cut mid-record", storedDay, day.substr(0, 32 * 10 + 5), "the size is not whole records"},
        {"day after the service's tomorrow", storedDay, day_(lastBar, 0, kNow + 2 * kDay),
         "record 199: date is after the service's tomorrow"},
        {"day before 1990", storedDay, day_(0, 0, kFirstRecordTime - 1), "record 0: date is before 1990"},
        {"day repeated", storedDay, day_(8, 0, kNow - 192 * kDay + 3600), "record 8: date does not follow"},
        {"day going back", storedDay, day_(8, 0, kNow - 150 * kDay), "record 9: date does not follow"},
        {"day NaN open", storedDay, day_(3, 4, nan), "record 3: open is not a finite number"},
        {"day infinite high", storedDay, day_(4, 8, inf), "record 4: high is not a finite number"},
        {"day negative low", storedDay, day_(5, 12, -0.01f), "record 5: low is negative"},
        {"day huge close", storedDay, day_(6, 16, 7337288.0f), "record 6: close is beyond any real value"},
        {"day negative volume", storedDay, day_(7, 20, -1.0f), "record 7: volume is negative"},
        {"day huge amount", storedDay, day_(8, 24, 3.0e30f), "record 8: amount is beyond any real value"},
        {"day garbage of whole records", storedDay, Garbage(4000), ""},

        {"minute whole", storedMinute, minute_(4, nowMinute), nullptr},
        {"minute cut", storedMinute, minute.substr(0, 8000), "the size is not a minute file's"},
        {"minute header after tomorrow", storedMinute, minute_(4, kNow + 2 * kDay),
         "the quote's time is after the service's tomorrow"},
        {"minute header before 1990", storedMinute, minute_(4, int32_t(0)), "the quote's time is before 1990"},
        {"minute NaN bid", storedMinute, minute_(40 + 4 * 2, nan), "a bid price is not a finite number"},
        {"minute huge ask volume", storedMinute, minute_(100 + 4 * 3, 1.0e20f), "an ask volume is beyond"},
        {"minute off the clock", storedMinute, minute_(minuteRec, WORD(1215)), "record 40: minute is not on"},
        {"minute negative price", storedMinute, minute_(minuteRec + 2, -3.0f), "record 40: price is negative"},
        {"minute infinite amount", storedMinute, minute_(minuteRec + 2 + 16, inf), "record 40: amount is not"},
        {"minute never-read field of any value", storedMinute, minute_(minuteRec + 2 + 12, nan), nullptr},
        {"minute garbage", storedMinute, Garbage(8314), ""},

        {"ticks whole (trades sharing a second)", storedTicks, ticks, nullptr},
        {"ticks with any direction", storedTicks, tick_(7, 4, int32_t(-5)), nullptr},
        {"ticks empty", storedTicks, std::string(), "the body is empty"},
        {"ticks cut", storedTicks, ticks.substr(0, 20 * 5 + 7), "the size is not whole records"},
        {"ticks listed out of order", storedTicks, tick_(20, 0, kNow - 6 * 3600), nullptr},
        {"ticks before 1990", storedTicks, tick_(0, 0, int32_t(12)), "record 0: time is before 1990"},
        {"ticks after tomorrow", storedTicks, tick_(299, 0, kNow + 3 * kDay), "record 299: time is after"},
        {"ticks NaN price", storedTicks, tick_(9, 1, nan), "record 9: price is not a finite number"},
        {"ticks negative amount", storedTicks, tick_(10, 2, -5.0f), "record 10: amount is negative"},
        {"ticks huge volume", storedTicks, tick_(11, 3, 1.0e16f), "record 11: volume is beyond"},
        {"ticks garbage of whole records", storedTicks, Garbage(4000), ""},
    };
    for (const Rule& r : rules) {
        const StoredDataCheck check = CheckStoredData(r.data.data(), r.data.size(), r.kind, kNow);
        EXPECT_EQ(check.whole, r.reason == nullptr) << r.what << ": " << check.reason;
        if (r.reason) {
            EXPECT_NE(check.reason.find(r.reason), std::string::npos) << r.what << ": " << check.reason;
        } else {
            EXPECT_EQ(check.reason, "") << r.what;
        }
    }
}

// A quote of a block file by the rules of a minute file's quote header, each broken alone.
TEST(StoredRecordRules, QuoteRecordsByTheQuoteHeadersRules) {
    REPORT_FILE_RECORD good;
    std::memset(&good, 0, sizeof good);
    good.time = kNow - 3600;
    good.prevClose = good.open = good.high = good.low = good.close = 10.0f;
    good.volume = 1000;
    good.amount = 10000;
    struct QuoteCase {
        const char* what;
        void (*breakIt)(REPORT_FILE_RECORD&);
        const char* reason;
    } cases[] = {
        {"real", [](REPORT_FILE_RECORD&) {}, nullptr},
        {"open above its high", [](REPORT_FILE_RECORD& q) { q.open = 10.01f; }, nullptr},
        {"no time", [](REPORT_FILE_RECORD& q) { q.time = 0; }, "the quote's time is before 1990"},
        {"after tomorrow", [](REPORT_FILE_RECORD& q) { q.time = kNow + 2 * kDay; }, "is after the service's tomorrow"},
        {"NaN price", [](REPORT_FILE_RECORD& q) { q.close = std::nanf(""); }, "the price is not a finite number"},
        {"huge high", [](REPORT_FILE_RECORD& q) { q.high = 7.3e9f; }, "the high is beyond any real value"},
        {"negative bid volume", [](REPORT_FILE_RECORD& q) { q.buyVolume[4] = -1; }, "a bid volume is negative"},
        {"infinite ask", [](REPORT_FILE_RECORD& q) { q.sellPrice[0] = INFINITY; }, "an ask price is not a finite"},
    };
    for (const QuoteCase& c : cases) {
        REPORT_FILE_RECORD q = good;
        c.breakIt(q);
        const StoredDataCheck check = CheckQuoteRecord(q, kNow);
        EXPECT_EQ(check.whole, c.reason == nullptr) << c.what << ": " << check.reason;
        if (c.reason) {
            EXPECT_NE(check.reason.find(c.reason), std::string::npos) << c.what << ": " << check.reason;
        }
    }
}

// Random bodies of each kind's length: none passes for records (each seed is one reply).
TEST(StoredRecordRules, GarbageOfTheRightLengthNeverPasses) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::string bytes(8314, '\0');
        unsigned x = seed;
        for (char& c : bytes) c = char((x = x * 1103515245u + 12345u) >> 16);
        EXPECT_FALSE(CheckStoredData(bytes.data(), 32 * 125, storedDay, kNow).whole) << seed;
        EXPECT_FALSE(CheckStoredData(bytes.data(), 8314, storedMinute, kNow).whole) << seed;
        EXPECT_FALSE(CheckStoredData(bytes.data(), 20 * 200, storedTicks, kNow).whole) << seed;
    }
}

}  // namespace
