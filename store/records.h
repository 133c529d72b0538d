// Market records held in memory, and the byte layouts of the files that carry them.
// In-memory records use natural alignment; every file-facing layout is a packed struct whose size
// is checked at compile time, so that a loader never depends on the compiler's padding.
#pragma once

#include <cstdint>

#include "base/platform.h"

// Four letters read little-endian, so that the bytes spell the market's name.
constexpr DWORD MakeMarketId(char a, char b, char c, char d) {
    return DWORD(uint8_t(a)) | (DWORD(uint8_t(b)) << 8) | (DWORD(uint8_t(c)) << 16) | (DWORD(uint8_t(d)) << 24);
}
constexpr DWORD kMarketShangHai = MakeMarketId('S', 'H', 'S', 'E');
constexpr DWORD kMarketShenZhen = MakeMarketId('S', 'Z', 'S', 'E');
constexpr DWORD kMarketChiNext = MakeMarketId('C', 'Y', 'S', 'E');
constexpr DWORD kMarketChina = MakeMarketId('C', 'H', 'N', 'A');     // any market
constexpr DWORD kMarketUnknown = MakeMarketId('U', 'K', 'N', 'W');   // not resolved

// Prices, volumes and amounts below this count as zero.
constexpr double kPriceEpsilon = 0.0001;
// Statistics that were never computed hold this value.
constexpr double kNotComputed = 2147483648.0;

// The integer part of a value read from data: NaN gives 0 and the range is clamped, so that a
// garbage float never converts with undefined behaviour.
inline int64_t TruncateToInteger(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.0e18) return int64_t(9000000000000000000LL);
    if (v <= -9.0e18) return -int64_t(9000000000000000000LL);
    return int64_t(v);
}

// Periods of a K-line series.
enum KType {
    ktypeMin5 = 1,
    ktypeMin15 = 2,
    ktypeMin30 = 3,
    ktypeMin60 = 4,
    ktypeDay = 5,
    ktypeWeek = 6,
    ktypeMonth = 7,
};
inline bool IsDayOrLonger(int ktype) { return ktype >= ktypeDay && ktype <= ktypeMonth; }
inline bool IsValidKType(int ktype) { return ktype >= ktypeMin5 && ktype <= ktypeMonth; }

enum ExrightMode { exrightNone = 1, exrightForward = 2, exrightBackward = 3 };
enum PriceMode { priceClose = 1, priceOpen = 2, priceAverage = 3 };

// Defaults of the profile's ex-rights settings.
constexpr int kDefaultExrightBaseDate = 20040519;
constexpr int kDefaultGapThresholdPercent = 11;

// Stock kinds; bit 0x10 marks Shanghai, 0x20 Shenzhen.
enum StockKind {
    kindUnknown = 0,
    kindShIndex = 16,
    kindShA = 17,
    kindShB = 18,
    kindShBond = 19,
    kindShFund = 20,
    kindShKind21 = 21,
    kindShKind22 = 22,
    kindSzIndex = 32,
    kindSzA = 33,
    kindSzB = 34,
    kindSzKind35 = 35,
    kindSzKind36 = 36,
    kindSzKind38 = 38,
    kindSzKind39 = 39,
};
constexpr int kKindShangHaiBit = 0x10;
constexpr int kKindShenZhenBit = 0x20;

// One K-line bar.
struct KDATA {
    DWORD market;
    char code[10];
    DWORD date;   // YYYYMMDD for day, week, month; packed minute stamp for minute bars
    int32_t time; // seconds since 1970
    float open;
    float high;
    float low;
    float close;
    float volume;
    float amount;
    WORD extra[2]; // carried unchanged from the K file's last field
};

// One ex-rights event.
struct DRDATA {
    DWORD market;
    char code[10];
    DWORD date; // YYYYMMDD of the ex-rights day
    int32_t time;
    float bonusShares;  // per share: 0.3 for 3 bonus shares per 10
    float rightsShares; // per share
    float rightsPrice;
    float dividend;     // cash per share
    float reserved;
};

// One real-time quote.
struct REPORT {
    DWORD market;
    char code[10];
    char name[16];
    int32_t time; // 0 or -1 mean "now" where a bar is built from it
    float prevClose;
    float open;
    float high;
    float low;
    float close;
    float volume; // totals of the day so far
    float amount;
    float buyPrice[5];
    float buyVolume[5];
    float sellPrice[5];
    float sellVolume[5];
};

// One minute of the intraday series (or one bar when period is above 1).
struct MINUTE {
    DWORD period; // minutes per record
    DWORD market;
    char code[10];
    int32_t time;
    float price;
    float other1;
    float volume; // cumulative volume of the day
    float other2; // not filled from the minute file
    float amount; // cumulative amount of the day
    float other3;
    float high;
    float low;
};

// One set of base (financial) figures for one report date.
struct BASEDATA {
    BYTE head[20];
    char text1[32];
    char text2[32];
    DWORD reportDate; // YYYYMMDD
    int32_t reportKind; // 1 first quarter, 2 half year, 3 three quarters, 4 full year
    float rate1;
    float rate2;
    DWORD value;
    float figures[29];
    float yieldAverage;
    float yieldDeviation;
    float beta;
    BYTE tail[16];
};

#pragma pack(push, 1)

// Outline record of clkoutln.out: thirteen 32-bit values, held in memory as read.
struct OUTLINE {
    DWORD values[13];
};
static_assert(sizeof(OUTLINE) == 52, "outline record");

// Tick record of the .fbl and .fbs files, held in memory as read.
struct FENBI {
    DWORD values[5];
};
static_assert(sizeof(FENBI) == 20, "tick record");

// Signal record of a .sgn file.
struct SIGNAL_RECORD {
    DWORD key;
    DWORD value;
};
static_assert(sizeof(SIGNAL_RECORD) == 8, "signal record");

// Record of the K-line files .day, .wek and .mnt.
struct KFILE_RECORD {
    int32_t time;
    float open;
    float high;
    float low;
    float close;
    float volume;
    float amount;
    DWORD last; // becomes KDATA::extra
};
static_assert(sizeof(KFILE_RECORD) == 32, "K file record");

// Record of hqdata\codelist.dat.
struct CODELIST_RECORD {
    char market[2]; // "SH" or "SZ"
    char unused[2];
    char code[10];
    char name[34];
    char shortName[20];
};
static_assert(sizeof(CODELIST_RECORD) == 68, "code list record");

// Quote header of a .min file.
struct MINUTE_FILE_HEADER {
    DWORD unused1;
    int32_t time;
    float prevClose;
    float open;
    float high;
    float low;
    float price;
    float volume;
    float amount;
    DWORD unused2;
    float buyPrice[5];
    float buyVolume[5];
    float sellPrice[5];
    float sellVolume[5];
};
static_assert(sizeof(MINUTE_FILE_HEADER) == 120, "minute file header");

// Minute record of a .min file; the floats map onto MINUTE's eight floats in order.
struct MINUTE_FILE_RECORD {
    WORD hhmm;
    float price;
    float other1;
    float volume;
    float other2; // not read
    float amount;
    float other3;
    float high;
    float low;
};
static_assert(sizeof(MINUTE_FILE_RECORD) == 34, "minute file record");

constexpr int kMinuteFileRecords = 241;
constexpr int kMinuteFileSize = int(sizeof(MINUTE_FILE_HEADER)) + kMinuteFileRecords * int(sizeof(MINUTE_FILE_RECORD));
static_assert(kMinuteFileSize == 8314, "minute file");

// Quote record of the .rpt block files.
struct REPORT_FILE_RECORD {
    DWORD market;
    char code[10];
    char name[16];
    int32_t time;
    float prevClose;
    float open;
    float high;
    float low;
    float close;
    float volume;
    float amount;
    float buyPrice[5];
    float buyVolume[5];
    float sellPrice[5];
    float sellVolume[5];
};
static_assert(sizeof(REPORT_FILE_RECORD) == 142, "quote block record");

#pragma pack(pop)

// Field-by-field copies between the quote in memory and its block-file record.
void ReportToFileRecord(const REPORT& in, REPORT_FILE_RECORD& out);
void ReportFromFileRecord(const REPORT_FILE_RECORD& in, REPORT& out);
