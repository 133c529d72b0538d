#include "store/filecheck.h"

#include <cmath>
#include <cstring>
#include <string>

#include "base/fsutil.h"
#include "store/records.h"

namespace {

bool Price(float v) { return std::isfinite(v) && v >= 0.0f && v < 1.0e7f; }
bool Amount(float v) { return std::isfinite(v) && v >= 0.0f; }

bool DayRecords(const char* p, size_t size) {
    if (size == 0 || size % sizeof(KFILE_RECORD) != 0) return false;
    int32_t last = 0;
    for (size_t at = 0; at < size; at += sizeof(KFILE_RECORD)) {
        KFILE_RECORD r;
        std::memcpy(&r, p + at, sizeof r);
        if (r.time <= last) return false;
        if (!Price(r.open) || !Price(r.high) || !Price(r.low) || !Price(r.close) || r.high < r.low) return false;
        if (!Amount(r.volume) || !Amount(r.amount)) return false;
        last = r.time;
    }
    return true;
}

// A slot of the trading clock, or 0: a slot the service left empty (the loader drops it).
bool TradingMinute(int hhmm) {
    return hhmm == 0 || (hhmm >= 930 && hhmm <= 1130) || (hhmm >= 1300 && hhmm <= 1500);
}

bool MinuteRecords(const char* p, size_t size) {
    if (size != size_t(kMinuteFileSize)) return false;
    MINUTE_FILE_HEADER h;
    std::memcpy(&h, p, sizeof h);
    if (h.time <= 0 || !Price(h.prevClose) || !Price(h.price) || !Amount(h.volume) || !Amount(h.amount)) return false;
    for (int i = 0; i < kMinuteFileRecords; ++i) {
        MINUTE_FILE_RECORD m;
        std::memcpy(&m, p + sizeof h + size_t(i) * sizeof m, sizeof m);
        if (!TradingMinute(m.hhmm) || !Price(m.price) || !Amount(m.volume) || !Amount(m.amount)) return false;
    }
    return true;
}

bool CodeListRecords(const char* p, size_t size) {
    if (size == 0 || size % sizeof(CODELIST_RECORD) != 0) return false;
    for (size_t at = 0; at < size; at += sizeof(CODELIST_RECORD)) {
        CODELIST_RECORD r;
        std::memcpy(&r, p + at, sizeof r);
        if (!((r.market[0] == 'S' && r.market[1] == 'H') || (r.market[0] == 'S' && r.market[1] == 'Z'))) return false;
        if (!r.code[0] || !std::memchr(r.code, 0, sizeof r.code)) return false;
    }
    return true;
}

}  // namespace

bool IsWholeStoredData(const void* data, size_t size, StoredFileKind kind) {
    if (!data) return false;
    const char* p = static_cast<const char*>(data);
    switch (kind) {
        case storedDay: return DayRecords(p, size);
        case storedMinute: return MinuteRecords(p, size);
        case storedCodeList: return CodeListRecords(p, size);
    }
    return false;
}

bool IsWholeStoredFile(const char* path, StoredFileKind kind) {
    std::string data;
    // The largest day file of a stock with decades of bars stays far below this.
    if (!velmora::ReadWholeFile(path, data, 64 * 1024 * 1024)) return false;
    return IsWholeStoredData(data.data(), data.size(), kind);
}
