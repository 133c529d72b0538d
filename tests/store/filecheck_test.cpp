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
