#include "store/filecheck.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/fsutil.h"
#include "store/records.h"
#include "store/storeenv.h"

namespace {

// Collects the first fault of a body; each rule below says what it found and returns false.
class Verdict {
public:
    bool Fail(size_t record, const char* field, const char* what) {
        char text[160];
        if (record == kWholeFile)
            std::snprintf(text, sizeof text, "%s %s", field, what);
        else
            std::snprintf(text, sizeof text, "record %u: %s %s", unsigned(record), field, what);
        m_reason = text;
        return false;
    }
    bool Price(size_t record, const char* field, float v) { return Bounded(record, field, v, kMaxRecordPrice); }
    bool Quantity(size_t record, const char* field, float v) {
        return Bounded(record, field, v, kMaxRecordQuantity);
    }
    // From 1990 on and before the day after the service's tomorrow, Beijing time.
    bool Time(size_t record, const char* field, int32_t t) {
        if (t < kFirstRecordTime) return Fail(record, field, "is before 1990");
        if (int64_t(t) >= m_end) return Fail(record, field, "is after the service's tomorrow");
        return true;
    }
    void SetNow(int32_t now) {
        const int64_t day = (int64_t(now) + 28800) / 86400;
        m_end = (day + 2) * 86400 - 28800;
    }
    const std::string& Reason() const { return m_reason; }

    static constexpr size_t kWholeFile = size_t(-1);

private:
    bool Bounded(size_t record, const char* field, float v, float bound) {
        if (!std::isfinite(v)) return Fail(record, field, "is not a finite number");
        if (v < 0.0f) return Fail(record, field, "is negative");
        if (v >= bound) return Fail(record, field, "is beyond any real value");
        return true;
    }

    int64_t m_end = 0;
    std::string m_reason;
};

template <class T>
T RecordAt(const char* p, size_t index) {
    T r;
    std::memcpy(&r, p + index * sizeof r, sizeof r);
    return r;
}

bool WholeRecords(Verdict& v, size_t size, size_t recordSize) {
    if (size == 0) return v.Fail(Verdict::kWholeFile, "the body", "is empty");
    if (size % recordSize != 0) return v.Fail(Verdict::kWholeFile, "the size", "is not whole records");
    return true;
}

bool DayRecords(Verdict& v, const char* p, size_t size) {
    if (!WholeRecords(v, size, sizeof(KFILE_RECORD))) return false;
    int64_t lastDay = -1;
    for (size_t i = 0; i < size / sizeof(KFILE_RECORD); ++i) {
        const KFILE_RECORD r = RecordAt<KFILE_RECORD>(p, i);
        if (!v.Time(i, "date", r.time)) return false;
        // One bar per Beijing day (or week, month), in order.
        const int64_t day = (int64_t(r.time) + 28800) / 86400;
        if (day <= lastDay) return v.Fail(i, "date", "does not follow the bar before");
        lastDay = day;
        if (!v.Price(i, "open", r.open) || !v.Price(i, "high", r.high) || !v.Price(i, "low", r.low) ||
            !v.Price(i, "close", r.close) || !v.Quantity(i, "volume", r.volume) ||
            !v.Quantity(i, "amount", r.amount))
            return false;
    }
    return true;
}

// A slot of the trading clock, or 0: a slot the service left empty (the loader drops it).
bool TradingMinute(int hhmm) {
    return hhmm == 0 || (hhmm >= 930 && hhmm <= 1130) || (hhmm >= 1300 && hhmm <= 1500);
}

// The fields a quote has both as a minute file's header and as a block file's record.
template <class Quote>
bool QuoteFields(Verdict& v, size_t record, const Quote& q, float price) {
    if (!v.Time(record, "the quote's time", q.time) || !v.Price(record, "the previous close", q.prevClose) ||
        !v.Price(record, "the open", q.open) || !v.Price(record, "the high", q.high) ||
        !v.Price(record, "the low", q.low) || !v.Price(record, "the price", price) ||
        !v.Quantity(record, "the volume", q.volume) || !v.Quantity(record, "the amount", q.amount))
        return false;
    for (int k = 0; k < 5; ++k) {
        if (!v.Price(record, "a bid price", q.buyPrice[k]) || !v.Quantity(record, "a bid volume", q.buyVolume[k]) ||
            !v.Price(record, "an ask price", q.sellPrice[k]) || !v.Quantity(record, "an ask volume", q.sellVolume[k]))
            return false;
    }
    return true;
}

bool MinuteRecords(Verdict& v, const char* p, size_t size) {
    if (size != size_t(kMinuteFileSize)) return v.Fail(Verdict::kWholeFile, "the size", "is not a minute file's");
    MINUTE_FILE_HEADER h;
    std::memcpy(&h, p, sizeof h);
    if (!QuoteFields(v, Verdict::kWholeFile, h, h.price)) return false;
    const char* minutes = p + sizeof h;
    for (size_t i = 0; i < size_t(kMinuteFileRecords); ++i) {
        const MINUTE_FILE_RECORD m = RecordAt<MINUTE_FILE_RECORD>(minutes, i);
        if (!TradingMinute(m.hhmm)) return v.Fail(i, "minute", "is not on the trading clock");
        // other2 is never read: whatever it holds shows nowhere.
        if (!v.Price(i, "price", m.price) || !v.Price(i, "high", m.high) || !v.Price(i, "low", m.low) ||
            !v.Quantity(i, "average", m.other1) || !v.Quantity(i, "volume", m.volume) ||
            !v.Quantity(i, "amount", m.amount) || !v.Quantity(i, "other", m.other3))
            return false;
    }
    return true;
}

// Time (seconds), price, amount, volume and a direction that may hold anything. Their order is
// not checked: the opening call's trades may be listed after the first minute's.
bool TickRecords(Verdict& v, const char* p, size_t size) {
    if (!WholeRecords(v, size, sizeof(FENBI))) return false;
    for (size_t i = 0; i < size / sizeof(FENBI); ++i) {
        const FENBI r = RecordAt<FENBI>(p, i);
        int32_t time;
        float price, amount, volume;
        std::memcpy(&time, &r.values[0], 4);
        std::memcpy(&price, &r.values[1], 4);
        std::memcpy(&amount, &r.values[2], 4);
        std::memcpy(&volume, &r.values[3], 4);
        if (!v.Time(i, "time", time)) return false;
        if (!v.Price(i, "price", price) || !v.Quantity(i, "amount", amount) || !v.Quantity(i, "volume", volume))
            return false;
    }
    return true;
}

bool CodeListRecords(Verdict& v, const char* p, size_t size) {
    if (!WholeRecords(v, size, sizeof(CODELIST_RECORD))) return false;
    for (size_t i = 0; i < size / sizeof(CODELIST_RECORD); ++i) {
        const CODELIST_RECORD r = RecordAt<CODELIST_RECORD>(p, i);
        if (!((r.market[0] == 'S' && r.market[1] == 'H') || (r.market[0] == 'S' && r.market[1] == 'Z')))
            return v.Fail(i, "market", "is neither SH nor SZ");
        if (!r.code[0] || !std::memchr(r.code, 0, sizeof r.code)) return v.Fail(i, "code", "is not a code");
    }
    return true;
}

}  // namespace

StoredDataCheck CheckStoredData(const void* data, size_t size, StoredFileKind kind, int32_t now) {
    Verdict v;
    v.SetNow(now);
    const char* p = static_cast<const char*>(data);
    bool whole = false;
    if (!p) {
        v.Fail(Verdict::kWholeFile, "the body", "is missing");
    } else {
        switch (kind) {
        case storedDay: whole = DayRecords(v, p, size); break;
        case storedMinute: whole = MinuteRecords(v, p, size); break;
        case storedCodeList: whole = CodeListRecords(v, p, size); break;
        case storedTicks: whole = TickRecords(v, p, size); break;
        default: v.Fail(Verdict::kWholeFile, "the kind", "is unknown"); break;
        }
    }
    return {whole, whole ? std::string() : v.Reason()};
}

StoredDataCheck CheckQuoteRecord(const REPORT_FILE_RECORD& quote, int32_t now) {
    Verdict v;
    v.SetNow(now);
    const bool real = QuoteFields(v, Verdict::kWholeFile, quote, quote.close);
    return {real, real ? std::string() : v.Reason()};
}

bool IsWholeStoredData(const void* data, size_t size, StoredFileKind kind) {
    return CheckStoredData(data, size, kind, StoreClockNow()).whole;
}

bool IsWholeStoredFile(const char* path, StoredFileKind kind) {
    std::string data;
    // The largest day file of a stock with decades of bars stays far below this.
    if (!velmora::ReadWholeFile(path, data, 64 * 1024 * 1024)) return false;
    return IsWholeStoredData(data.data(), data.size(), kind);
}
