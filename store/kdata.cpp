#include "store/kdata.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/timestamp.h"

namespace {

KDATA* AllocBars(int count) { return AllocateRecords<KDATA>(count); }

// A copy of a bar block with the same capacity (zeros past the bars); nothing for an empty one.
void CopyBarBlock(const KDATA* from, int size, int capacity, KDATA*& to, int& toSize, int& toCapacity) {
    if (capacity <= 0) return;
    to = AllocBars(capacity);
    std::memset(to, 0, sizeof(KDATA) * size_t(capacity));
    std::memcpy(to, from, sizeof(KDATA) * size_t(size));
    toSize = size;
    toCapacity = capacity;
}

inline int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Time of a bar date of the period: a day date at 00:00 or a minute stamp, read in UTC+8.
bool BarDateToTime(DWORD date, int ktype, CTimeStamp* out) {
    CTimeStamp t;
    int ok = IsDayOrLonger(ktype) ? t.FromDate(date) : t.FromMinuteStamp(date);
    if (!ok) return false;
    *out = t;
    return true;
}

inline bool PricesValid(const KDATA& b) {
    return b.open >= kPriceEpsilon && b.high >= kPriceEpsilon && b.low >= kPriceEpsilon && b.close >= kPriceEpsilon;
}

}  // namespace

DWORD BarDateToDay(DWORD date, int ktype) {
    return IsDayOrLonger(ktype) ? date : date / 10000u + 19900000u;
}

double GetExrightFactor(double price, const DRDATA& r) {
    if (price < kPriceEpsilon) return 1;
    double f = 1;
    if (r.dividend > kPriceEpsilon) f = 1 - r.dividend / price;
    if (r.bonusShares > kPriceEpsilon) f = f / (1 + r.bonusShares);
    if (r.rightsShares > kPriceEpsilon) f = f * ((price + r.rightsShares * r.rightsPrice) / (1 + r.rightsShares)) / price;
    // A dividend at or above the price is bad data: it would scale prices to 0 or below.
    if (!(f > 0) || !std::isfinite(f)) return 1;
    return f;
}

CKData::CKData()
    : m_nKType(ktypeDay), m_nExrightMode(exrightNone), m_nPriceMode(priceClose),
      m_nBaseDate(kDefaultExrightBaseDate), m_nThresholdPercent(kDefaultGapThresholdPercent),
      m_pDataPlain(nullptr), m_nSizePlain(0), m_nMaxSizePlain(0),
      m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CKData::CKData(const CKData& other) : CKData() { Copy(other); }

CKData::~CKData() { Clear(); }

void CKData::FreePlain() {
    std::free(m_pDataPlain);
    m_pDataPlain = nullptr;
    m_nSizePlain = m_nMaxSizePlain = 0;
}

void CKData::Clear() {
    ++m_nChanges;
    FreeColumns();
    FreePlain();
    std::free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = m_nGrowBy = 0;
    m_nKType = ktypeDay;
    m_nExrightMode = exrightNone;
    m_nPriceMode = priceClose;
}

void CKData::Copy(const CKData& src) {
    ++m_nChanges;
    if (&src == this) return;
    Clear();
    m_nKType = src.m_nKType;
    m_nExrightMode = src.m_nExrightMode;
    m_nPriceMode = src.m_nPriceMode;
    m_nBaseDate = src.m_nBaseDate;
    m_nThresholdPercent = src.m_nThresholdPercent;
    m_drdata = src.m_drdata;
    CopyBarBlock(src.m_pDataPlain, src.m_nSizePlain, src.m_nMaxSizePlain, m_pDataPlain, m_nSizePlain, m_nMaxSizePlain);
    CopyBarBlock(src.m_pData, src.m_nSize, src.m_nMaxSize, m_pData, m_nSize, m_nMaxSize);
    m_nGrowBy = src.m_nGrowBy;
}

void CKData::SetSize(int count, int growBy) {
    ++m_nChanges;
    if (growBy >= 0) m_nGrowBy = growBy;
    // Slots past a smaller count are kept zero.
    if (count > 0 && count < m_nSize) std::memset(m_pData + count, 0, sizeof(KDATA) * size_t(m_nSize - count));
    SetRecordCount(m_pData, m_nSize, m_nMaxSize, m_nGrowBy, count);
}

void CKData::SetAt(int i, const KDATA& bar) {
    ++m_nChanges;
    if (i < 0) return;
    KDATA copy = bar;  // the bar may live in this series
    if (i >= m_nSize) SetSize(i + 1, -1);
    m_pData[i] = copy;
}

int CKData::Add(const KDATA& bar) {
    ++m_nChanges;
    // Room left: the bar is written whole into the next slot (a bar of this series stays put).
    if (m_pData && m_nSize < m_nMaxSize) {
        m_pData[m_nSize] = bar;
        return m_nSize++;
    }
    int index = m_nSize;
    SetAt(index, bar);
    return index;
}

void CKData::InsertAt(int i, const KDATA& bar, int count) {
    ++m_nChanges;
    if (i < 0 || count <= 0) return;
    KDATA copy = bar;
    if (i < m_nSize) {
        int old = m_nSize;
        SetSize(m_nSize + count, -1);
        std::memmove(m_pData + i + count, m_pData + i, sizeof(KDATA) * size_t(old - i));
    } else {
        SetSize(i + count, -1);
    }
    for (int k = 0; k < count; ++k) m_pData[i + k] = copy;
}

void CKData::RemoveAt(int i, int count) {
    ++m_nChanges;
    if (i < 0 || count <= 0 || i >= m_nSize) return;
    count = std::min(count, m_nSize - i);
    std::memmove(m_pData + i, m_pData + i + count, sizeof(KDATA) * size_t(m_nSize - i - count));
    m_nSize -= count;
    std::memset(m_pData + m_nSize, 0, sizeof(KDATA) * size_t(count));
}

int CKData::InsertOrReplace(const KDATA& bar) {
    ++m_nChanges;
    if (m_nSize == 0 || bar.date > m_pData[m_nSize - 1].date) return Add(bar);
    // Dates are ascending and distinct: the first bar not before the new one decides.
    const KDATA* pos = std::lower_bound(m_pData, m_pData + m_nSize, bar.date,
                                        [](const KDATA& b, DWORD date) { return b.date < date; });
    int i = int(pos - m_pData);
    if (m_pData[i].date == bar.date) {
        m_pData[i] = bar;
    } else {
        InsertAt(i, bar, 1);
    }
    return i;
}

// ---- Ex-rights ----

void CKData::SetExrightMode(int mode, int baseDate, int thresholdPercent) {
    ++m_nChanges;
    if (mode == m_nExrightMode) return;
    if (mode == exrightNone) {
        if (m_pDataPlain) {
            std::free(m_pData);
            m_pData = m_pDataPlain;
            m_nSize = m_nSizePlain;
            m_nMaxSize = m_nMaxSizePlain;
            m_pDataPlain = nullptr;
            m_nSizePlain = m_nMaxSizePlain = 0;
        }
        m_nExrightMode = exrightNone;
        return;
    }
    if (mode != exrightForward && mode != exrightBackward) return;
    if (!m_pDataPlain) {
        m_pDataPlain = m_pData;
        m_nSizePlain = m_nSize;
        m_nMaxSizePlain = m_nMaxSize;
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
    }
    m_nExrightMode = mode;
    m_nBaseDate = baseDate;
    m_nThresholdPercent = thresholdPercent;
    Rebuild();
}

void CKData::Rebuild() {
    ++m_nChanges;
    CArray42 records = m_drdata;
    records.Sort();
    const int n = m_nSizePlain;
    if (n <= 0) {
        std::free(m_pData);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    // Switching between the adjusted modes writes over the bars in place.
    if (!m_pData || m_nMaxSize < n) {
        std::free(m_pData);
        m_pData = AllocBars(m_nMaxSizePlain);
        m_nMaxSize = m_nMaxSizePlain;
    }
    std::memset(m_pData + n, 0, sizeof(KDATA) * size_t(m_nMaxSize - n));
    m_nSize = n;

    const KDATA* plain = m_pDataPlain;
    KDATA* const bars = m_pData;
    const int nr = records.GetSize();
    const DRDATA* rec = records.GetData();
    const double t = m_nThresholdPercent / 100.0;
    const DWORD baseDate = DWORD(m_nBaseDate);
    const bool dayDates = IsDayOrLonger(m_nKType);
    // A gap larger than the threshold means O < Q (1 - t). Most bars are far from it: a cheap
    // float test lets them pass, and only the few near or past it take the exact test.
    const float roughLimit = float(1 - t) * 1.0001f + 0.0001f;
    auto isGap = [t](double O, double Q) { return Q > kPriceEpsilon && O > kPriceEpsilon && O < Q && Q - O > t * Q; };
    auto dayOf = [dayDates](DWORD date) { return dayDates ? date : date / 10000u + 19900000u; };

    double F = 1;
    float prices = 1, volume = 1;
    // Bars are copied a block at a time and scaled while the block is still in the cache: a block
    // copy writes far faster than record-by-record stores into a large array.
    const int kBlock = 1024;
    if (m_nExrightMode == exrightForward) {
        int k = 0;
        // Events before the series have nothing to scale.
        const DWORD first = dayOf(plain[0].date);
        while (k < nr && first >= rec[k].date) ++k;
        DWORD nextEvent = k < nr ? rec[k].date : 0xFFFFFFFFu;
        std::memcpy(bars, plain, sizeof(KDATA) * size_t(std::min(n, kBlock)));
        for (int from = 0; from < n; from += kBlock) {
            const int to = std::min(n, from + kBlock);
            if (from > 0) std::memcpy(bars + from, plain + from, sizeof(KDATA) * size_t(to - from));
            for (int i = from > 0 ? from : 1; i < to; ++i) {
                const KDATA& b = plain[i];
                const DWORD day = dayOf(b.date);
                const float Q = plain[i - 1].close;
                if ((day >= nextEvent) | ((day >= baseDate) & (b.open < Q * roughLimit))) {
                    if (day >= nextEvent) {
                        // Every event reached since the previous bar applies here, at its close.
                        while (k < nr && day >= rec[k].date) F *= GetExrightFactor(Q, rec[k++]);
                        nextEvent = k < nr ? rec[k].date : 0xFFFFFFFFu;
                    } else if (isGap(b.open, Q)) {
                        F *= double(b.open) / Q;
                    }
                    prices = float(1 / F);
                    volume = float(F);
                }
                KDATA& out = bars[i];
                out.open *= prices;
                out.high *= prices;
                out.low *= prices;
                out.close *= prices;
                out.volume *= volume;
            }
        }
    } else {
        int k = nr - 1;
        // Events after the series have nothing to scale.
        const DWORD last = dayOf(plain[n - 1].date);
        while (k >= 0 && last < rec[k].date) --k;
        // A bar before an event has a day below the event's.
        DWORD eventDay = k >= 0 ? rec[k].date : 0;
        for (int to = n; to > 0; to -= kBlock) {
            const int from = std::max(0, to - kBlock);
            std::memcpy(bars + from, plain + from, sizeof(KDATA) * size_t(to - from));
            for (int i = std::min(to, n - 1) - 1; i >= from; --i) {
                const KDATA& b = plain[i];
                const DWORD day = dayOf(b.date);
                const float O = plain[i + 1].open;
                if ((day < eventDay) | ((day >= baseDate) & (O < b.close * roughLimit))) {
                    if (day < eventDay) {
                        while (k >= 0 && day < rec[k].date) F *= GetExrightFactor(b.close, rec[k--]);
                        eventDay = k >= 0 ? rec[k].date : 0;
                    } else if (isGap(O, b.close)) {
                        F *= double(O) / b.close;
                    }
                    prices = float(F);
                    volume = float(1 / F);
                }
                KDATA& out = bars[i];
                out.open *= prices;
                out.high *= prices;
                out.low *= prices;
                out.close *= prices;
                out.volume *= volume;
            }
        }
    }
}

// ---- Reading ----

void CKData::FreeColumns() {
    for (Column& c : m_columns) c = Column();
}

const double* CKData::GetColumn(int field) const {
    if (field < 0 || field >= kBarFields || m_nSize <= 0) return nullptr;
    NoteHandedOut();
    Column& c = m_columns[field];
    if (HasColumn(field)) return c.values.get();
    if (c.capacity < m_nSize) {
        c = Column();
        // Room for some appended bars, so that a growing series reads again without allocating.
        const int capacity = m_nSize + m_nSize / 8 + 16;
        c.values.reset(new (std::nothrow) double[size_t(capacity)]);
        if (!c.values) return nullptr;
        c.capacity = capacity;
    }
    double* const out = c.values.get();
    const int n = m_nSize;
    // The field's offset in a record: one loop for every field. The records are asked for well
    // ahead, as the processor's own look-ahead does not keep a 52-byte stride busy enough.
    static const size_t offsets[kBarFields] = {offsetof(KDATA, open),  offsetof(KDATA, high),
                                               offsetof(KDATA, low),   offsetof(KDATA, close),
                                               offsetof(KDATA, volume), offsetof(KDATA, amount)};
    const char* const from = reinterpret_cast<const char*>(m_pData) + offsets[field];
    const int ahead = 96;
    int i = 0;
    for (; i + ahead < n; ++i) {
        __builtin_prefetch(from + size_t(i + ahead) * sizeof(KDATA));
        float v;
        std::memcpy(&v, from + size_t(i) * sizeof(KDATA), sizeof v);
        out[i] = v;
    }
    for (; i < n; ++i) {
        float v;
        std::memcpy(&v, from + size_t(i) * sizeof(KDATA), sizeof v);
        out[i] = v;
    }
    c.size = n;
    c.stamp = m_nChanges;
    return out;
}

double CKData::GetPriceAt(int i) const {
    if (i < 0 || i >= m_nSize) return 0;
    const KDATA& b = m_pData[i];
    if (m_nPriceMode == priceOpen) return b.open;
    if (m_nPriceMode == priceAverage && b.volume > kPriceEpsilon && b.amount > kPriceEpsilon) {
        double p = double(b.amount) / b.volume;
        int steps = 0;
        while (p < b.low && steps < 10) {
            p *= 10;
            ++steps;
        }
        while (p > b.high && steps < 20) {
            p /= 10;
            ++steps;
        }
        if (p < b.low) p = (double(b.open) + b.high + b.low + b.close) / 4;
        return p;
    }
    return b.close;
}

DWORD CKData::GetDate(int i) const {
    if (m_nSize == 0) return 0;
    if (i < 0 || i >= m_nSize) i = m_nSize - 1;
    return m_pData[i].date;
}

DWORD CKData::GetDateAt(int i) const {
    DWORD date = GetDate(i);
    if (m_nSize == 0 || IsDayOrLonger(m_nKType)) return date;
    CTimeStamp t;
    if (!t.FromMinuteStamp(date)) return 0;
    return date / 10000u + 19900000u;
}

bool CKData::GetDateFields(int i, int* year, int* month, int* day, int* hour, int* minute) const {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    bool ok = false;
    if (IsValidKType(m_nKType) && i >= 0 && i < m_nSize) {
        CTimeStamp t;
        if (BarDateToTime(m_pData[i].date, m_nKType, &t)) {
            // One calendar split for the date where the time allows it (the date axis asks for
            // every bar on screen); the clock fields only when asked for.
            const int number = t.GetTime() > 0 ? t.GetDateNumber() : -1;
            if (number > 0) {
                y = number / 10000;
                mo = number / 100 % 100;
                d = number % 100;
            } else {
                y = t.GetYear();
                mo = t.GetMonth();
                d = t.GetDay();
            }
            if (hour) h = t.GetBeijingHour();
            if (minute) mi = t.GetBeijingMinute();
            ok = true;
        }
    }
    if (!IsValidKType(m_nKType) || ok) {
        if (year) *year = y;
        if (month) *month = mo;
        if (day) *day = d;
        if (hour) *hour = h;
        if (minute) *minute = mi;
    }
    return ok;
}

int CKData::GetIndexByDate(DWORD date) const {
    if (m_nSize == 0 || date > m_pData[m_nSize - 1].date || date < m_pData[0].date) return -1;
    const KDATA* pos = std::lower_bound(m_pData, m_pData + m_nSize, date,
                                        [](const KDATA& b, DWORD d) { return b.date < d; });
    if (pos == m_pData + m_nSize || pos->date != date) return -1;
    return int(pos - m_pData);
}

bool CKData::GetMinMax(int from, int to, double* low, double* high) const {
    if (from < 0 || from > to || to >= m_nSize) return false;
    double lo = m_pData[from].low, hi = m_pData[from].high;
    for (int i = from + 1; i <= to; ++i) {
        lo = std::min(lo, double(m_pData[i].low));
        hi = std::max(hi, double(m_pData[i].high));
    }
    if (low) *low = lo;
    if (high) *high = hi;
    return true;
}

// ---- Combining ----

int CKData::Merge(const CKData* other) {
    ++m_nChanges;
    if (!other || other->m_nSize == 0 || other->m_nKType != m_nKType) return 0;
    if (other == this) {
        CKData copy(*other);
        return Merge(&copy);
    }
    if (m_nSize == 0 && m_nSizePlain == 0) {
        // Take the other's bars as copies (with the mode they stand in).
        int keepPriceMode = m_nPriceMode;
        CArray42 keepRecords = m_drdata;
        Copy(*other);
        m_nPriceMode = keepPriceMode;
        m_drdata = keepRecords;
        return m_nSize;
    }
    int placed = 0;
    if (m_nExrightMode != exrightNone && m_pDataPlain) {
        // Merge into the plain bars and adjust again, so that a later switch back keeps the bars.
        std::swap(m_pData, m_pDataPlain);
        std::swap(m_nSize, m_nSizePlain);
        std::swap(m_nMaxSize, m_nMaxSizePlain);
        m_nGrowBy = other->m_nSize + 1;
        for (int i = 0; i < other->m_nSize; ++i) {
            if (!PricesValid(other->m_pData[i])) continue;
            InsertOrReplace(other->m_pData[i]);
            ++placed;
        }
        std::swap(m_pData, m_pDataPlain);
        std::swap(m_nSize, m_nSizePlain);
        std::swap(m_nMaxSize, m_nMaxSizePlain);
        Rebuild();
        return placed;
    }
    m_nGrowBy = other->m_nSize + 1;
    for (int i = 0; i < other->m_nSize; ++i) {
        if (!PricesValid(other->m_pData[i])) continue;
        InsertOrReplace(other->m_pData[i]);
        ++placed;
    }
    return placed;
}

int CKData::FillSuspendedDays(const CKData& index, bool loose) {
    ++m_nChanges;
    if (index.m_nKType != m_nKType || index.m_nSize == 0 || m_nSize == 0) return 0;
    int start = index.GetIndexByDate(m_pData[0].date);
    if (start < 0) return 0;
    const int ns = m_nSize, ni = index.m_nSize;
    if (ni - ns - start > 0) m_nGrowBy = ni - ns - start;

    DWORD stockLast = m_pData[ns - 1].date;
    DWORD indexFifth = ni >= 5 ? index.m_pData[ni - 5].date : 0;

    // Build the result aside: one pass over both series in date order.
    int capacity = ns + (ni - start);
    KDATA* out = AllocBars(capacity);
    int count = 0, inserted = 0;
    int i = start, j = 0;
    auto filler = [&](DWORD date) {
        KDATA f;
        std::memset(&f, 0, sizeof f);
        f.date = date;
        float c = out[count - 1].close;
        f.open = f.high = f.low = f.close = c;
        out[count++] = f;
        ++inserted;
    };
    while (j < ns || i < ni) {
        if (j < ns && i < ni) {
            DWORD ds = m_pData[j].date, di = index.m_pData[i].date;
            if (ds == di) {
                out[count++] = m_pData[j++];
                ++i;
            } else if (ds < di) {
                out[count++] = m_pData[j++];
            } else {
                filler(di);
                ++i;
            }
        } else if (j < ns) {
            out[count++] = m_pData[j++];
        } else {
            // The stock ended: a stock that stopped trading well before the index's end keeps
            // its end unless the caller asks for the loose fill.
            if (!loose && stockLast < indexFifth) break;
            filler(index.m_pData[i++].date);
        }
    }
    if (inserted == 0) {
        std::free(out);
        return 0;
    }
    std::memset(out + count, 0, sizeof(KDATA) * size_t(capacity - count));
    std::free(m_pData);
    m_pData = out;
    m_nSize = count;
    m_nMaxSize = capacity;
    return inserted;
}

int CKData::CompareLatest(const CKData& source) const {
    int a[5] = {0, 0, 0, 0, 0}, b[5] = {0, 0, 0, 0, 0};
    if (m_nSize > 0) GetDateFields(m_nSize - 1, &a[0], &a[1], &a[2], &a[3], &a[4]);
    if (source.m_nSize > 0) source.GetDateFields(source.m_nSize - 1, &b[0], &b[1], &b[2], &b[3], &b[4]);
    for (int k = 0; k < 5; ++k) {
        if (a[k] != b[k]) return a[k] > b[k] ? 1 : -1;
    }
    return 0;
}

// ---- Conversions ----

namespace {

// Frees the target's bars (plain ones too: they would belong to an older build) before a rebuild.
void ResetTarget(const CKData& source, CKData& target, int growBy, int ktype) {
    int priceMode = target.GetPriceMode();
    CArray42 records = target.GetDRData();
    target.Clear();
    target.SetDRData(records);
    target.SetPriceMode(priceMode);
    target.SetKType(ktype);
    target.SetGrowBy(growBy);
}

// Position of a bar-closing minute on the day's 240 trading minutes (0 for 09:30 and before).
inline int TradeMinute(DWORD stamp) {
    int hhmm = int(stamp % 10000u);
    int m = hhmm / 100 * 60 + hhmm % 100;
    if (m <= 570) return 0;
    if (m <= 690) return m - 570;
    if (m <= 780) return 120;
    return std::min(m - 780, 120) + 120;
}

// Folds runs of bars that share a key into one bar each, handing every finished bar to the sink.
// The open bar is its first source bar and the running fold held in plain values: folding into a
// whole bar in memory would make each step wait on the store of the step before.
template <class Sink>
class BarGroup {
public:
    explicit BarGroup(Sink& sink) : m_sink(sink) {}
    void Feed(const KDATA& bar, int64_t key) {
        if (key == m_key) {
            m_high = bar.high > m_high ? bar.high : m_high;
            m_low = bar.low < m_low ? bar.low : m_low;
            m_close = bar.close;
            m_volume += bar.volume;
            m_amount += bar.amount;
            return;
        }
        Flush();
        m_first = &bar;
        m_key = key;
        m_high = bar.high;
        m_low = bar.low;
        m_close = bar.close;
        m_volume = bar.volume;
        m_amount = bar.amount;
    }
    void Flush() {
        if (!m_first) return;
        KDATA done = *m_first;
        done.high = m_high;
        done.low = m_low;
        done.close = m_close;
        done.volume = m_volume;
        done.amount = m_amount;
        m_first = nullptr;
        m_key = INT64_MIN;
        m_sink.Add(done);
    }

private:
    Sink& m_sink;
    const KDATA* m_first = nullptr;  // in the source, which stays put while it is walked
    int64_t m_key = INT64_MIN;       // no open bar (keys are far from it)
    float m_high = 0, m_low = 0, m_close = 0, m_volume = 0, m_amount = 0;
};

}  // namespace

int ConvertMinutePeriod(const CKData& source, CKData& target, int n) {
    if (n < 2) return 0;
    int ktype = n == 3 ? ktypeMin15 : n == 6 ? ktypeMin30 : n == 12 ? ktypeMin60 : target.GetKType();
    ResetTarget(source, target, source.GetSize() / n + 5, ktype);
    const int count = source.GetSize();
    const KDATA* src = source.GetData();
    // Groups follow the trading clock of each day (09:30 and 13:00 anchored), so that no bar spans
    // two periods, and the still-open last period is shown too.
    const int minutes = 5 * n;
    BarGroup<CKData> group(target);
    for (int i = 0; i < count; ++i) {
        const KDATA& b = src[i];
        int m = TradeMinute(b.date);
        group.Feed(b, int64_t(b.date / 10000u) * 1000 + (m == 0 ? 0 : (m - 1) / minutes));
    }
    group.Flush();
    return target.GetSize();
}

namespace {

// Checks YYYYMMDD dates in a walk over a series and, when asked, gives their day numbers: the
// month is checked (and its first day counted) once per month, since consecutive bars mostly
// share it.
template <bool kCountDays>
class DayCounter {
public:
    // False for a date that is not a valid YYYYMMDD.
    bool Days(DWORD date, int64_t* days) {
        const DWORD month = date / 100;
        if (month != m_month) {
            m_month = month;
            const int y = int(month / 100), m = int(month % 100);
            m_valid = m >= 1 && m <= 12 && y >= 1900;
            if (kCountDays && m_valid) m_start = velmora::DaysFromCivil(y, m, 1);
        }
        const int d = int(date % 100);
        if (!m_valid || d < 1 || d > 31) return false;
        *days = m_start + d - 1;
        return true;
    }

private:
    DWORD m_month = 0xFFFFFFFFu;
    int64_t m_start = 0;
    bool m_valid = false;
};

}  // namespace

// Fills a series' storage in order without zeroing it first; the slots past the bars are zeroed
// when the filling ends, as SetSize keeps them.
struct KArrayAccess {
    // Room for capacity bars in an emptied series; none of them in use yet.
    static KDATA* Begin(CKData& k, int capacity) {
        ++k.m_nChanges;
        std::free(k.m_pData);
        k.m_pData = AllocBars(capacity);
        k.m_nSize = 0;
        k.m_nMaxSize = capacity;
        return k.m_pData;
    }
    // More room, keeping the first count bars.
    static KDATA* Grow(CKData& k, int count, int capacity) {
        ++k.m_nChanges;
        KDATA* fresh = AllocBars(capacity);
        std::memcpy(fresh, k.m_pData, sizeof(KDATA) * size_t(count));
        std::free(k.m_pData);
        k.m_pData = fresh;
        k.m_nMaxSize = capacity;
        return fresh;
    }
    static void End(CKData& k, int count) {
        ++k.m_nChanges;
        std::memset(k.m_pData + count, 0, sizeof(KDATA) * size_t(k.m_nMaxSize - count));
        k.m_nSize = count;
    }
};

namespace {

// Writes bars straight into the target's storage; Finish sets the target's size to what was
// written.
class BarAppender {
public:
    BarAppender(CKData& target, int expected)
        : m_target(target), m_capacity(std::max(expected, 1)), m_count(0) {
        m_bars = KArrayAccess::Begin(target, m_capacity);
    }
    void Add(const KDATA& bar) {
        if (m_count == m_capacity) {
            m_capacity += std::max(m_capacity / 2, 16);
            m_bars = KArrayAccess::Grow(m_target, m_count, m_capacity);
        }
        m_bars[m_count++] = bar;
    }
    int Finish() {
        KArrayAccess::End(m_target, m_count);
        return m_count;
    }

private:
    CKData& m_target;
    KDATA* m_bars;
    int m_capacity;
    int m_count;
};

// Rebuilds the target from the day bars, opening a new bar whenever the key of a day changes.
template <bool kCountDays, class Key>
int GroupDays(const CKData& source, CKData& target, int expected, Key key) {
    const int count = source.GetSize();
    const KDATA* src = source.GetData();
    BarAppender out(target, expected);
    DayCounter<kCountDays> counter;
    BarGroup<BarAppender> group(out);
    for (int i = count % 3; i < count; ++i) {
        const KDATA& b = src[i];
        int64_t days;
        if (!counter.Days(b.date, &days)) continue;
        group.Feed(b, key(b.date, days));
    }
    group.Flush();
    return out.Finish();
}

}  // namespace

int ConvertDayToWeek(const CKData& source, CKData& target) {
    const int count = source.GetSize();
    ResetTarget(source, target, count / 5 + 5, ktypeWeek);
    // Weeks run Monday to Sunday (1970-01-05 was a Monday): a holiday Monday still starts a week.
    return GroupDays<true>(source, target, count / 5 + 5, [](DWORD, int64_t days) { return FloorDiv(days + 3, 7); });
}

int ConvertDayToMonth(const CKData& source, CKData& target) {
    const int count = source.GetSize();
    ResetTarget(source, target, count / 20 + 5, ktypeMonth);
    // The month key needs no day numbers.
    return GroupDays<false>(source, target, count / 20 + 5, [](DWORD date, int64_t) { return int64_t(date / 100); });
}

// ---- Statistics ----

bool CKData::IsValidSpan(int i, int n) const {
    if (i < 0 || i >= m_nSize || n < 1 || n > i) return false;
    CTimeStamp a, b;
    if (!BarDateToTime(m_pData[i - n].date, m_nKType, &a) || !BarDateToTime(m_pData[i].date, m_nKType, &b))
        return false;
    // Calendar days that n bars may span without a long suspension in between.
    int64_t limit;
    if (m_nKType == ktypeMonth) limit = int64_t(n) * 31 + 63;
    else if (m_nKType == ktypeWeek) limit = int64_t(n) * 7 + 15;
    else limit = (int64_t(n) * 7 + 4) / 5 + 8;
    int64_t span = int64_t(b.GetTime()) - a.GetTime();
    return span < limit * 86400;
}

namespace {
// Index of the window's last bar, or -1 when the window is not usable.
int WindowEnd(const CKData& s, DWORD date, int n) {
    int i = s.GetIndexByDate(date);
    if (i < 0 || i < n || !s.IsValidSpan(i, n)) return -1;
    return i;
}
}  // namespace

bool CKData::GetDiff(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i < 0) return false;
    double base = m_pData[i - n].close;
    if (base < kPriceEpsilon) return false;
    if (out) *out = m_pData[i].close - base;
    return true;
}

bool CKData::GetRatio(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i < 0) return false;
    const KDATA& base = m_pData[i - n];
    // The close is the divisor: a bar with an amount but no price gives no figure.
    if (base.amount < kPriceEpsilon || base.close <= kPriceEpsilon) return false;
    if (out) *out = double(m_pData[i].close) * 100 / base.close - 100;
    return true;
}

bool CKData::GetAmplitude(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i < 0) return false;
    double base = m_pData[i - n].close;
    if (base <= 0) return false;
    double lo = 0, hi = 0;
    GetMinMax(i - n + 1, i, &lo, &hi);
    if (out) *out = (hi - lo) * 100 / base;
    return true;
}

bool CKData::GetVolumeSum(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i < 0) return false;
    double sum = 0;
    for (int k = i - n + 1; k <= i; ++k) sum += m_pData[k].volume;
    if (out) *out = sum;
    return true;
}

bool CKData::GetRatioVolume(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i < 0) return false;
    double sum = 0;
    for (int k = i - n; k <= i - 1; ++k) sum += m_pData[k].volume;
    if (std::fabs(sum) < 1) return false;
    if (out) *out = m_pData[i].volume / sum * n;
    return true;
}

bool CKData::GetUpDownRatio(double* out, DWORD date, int n) const {
    int i = WindowEnd(*this, date, n);
    if (i <= 0) return false;
    double up = 0, down = 0;
    for (int k = i - n + 1; k <= i; ++k) {
        double step = double(m_pData[k].close) - m_pData[k - 1].close;
        if (step > 0) up += step;
        else down -= step;
    }
    if (out) *out = std::fabs(down) < kPriceEpsilon ? 100 : up / down;
    return true;
}

bool CKData::GetMA(double* out, int i, int n) const {
    if (i < 0 || i >= m_nSize || n <= 0 || i + 1 < n) return false;
    double sum = 0;
    for (int k = i - n + 1; k <= i; ++k) sum += GetPriceAt(k);
    if (out) *out = sum / n;
    return true;
}

bool CKData::IsNewHigh(int i, bool high, int n) const {
    if (n <= 2 || i < n - 1 || i < 0 || i >= m_nSize) return false;
    double p = GetPriceAt(i);
    int best = -1;
    double bestPrice = 0;
    for (int k = i - n + 1; k < i; ++k) {
        double q = GetPriceAt(k);
        if (high ? q > p : q < p) return false;
        if (best < 0 || (high ? q >= bestPrice : q <= bestPrice)) {
            best = k;
            bestPrice = q;
        }
    }
    return best >= i - 30 && best <= i - 5;
}

bool CalcYieldAverage(const CKData& s, double* average, double* deviation, int n, int end) {
    const int count = s.GetSize();
    if (end == -1) end = count - 1;
    if (end < 0 || end >= count) return false;
    // The whole series starts at its second bar: the first return needs a bar before it.
    int start = n == -1 ? 1 : end - n;
    if (start < 1 || start > end) return false;
    double sum = 0, squares = 0;
    int m = 0;
    for (int j = end - 1; j >= start - 1; --j) {
        double p = s.GetPriceAt(j);
        if (p > kPriceEpsilon) {
            double r = (s.GetPriceAt(j + 1) - p) / p;
            sum += r;
            squares += r * r;
            ++m;
        }
    }
    if (m <= 0 || m < (n == -1 ? 240 : n)) return false;
    double mean = sum / m;
    double pStart = s.GetPriceAt(start);
    double avg = pStart > kPriceEpsilon ? std::pow(10.0, std::log10(std::fabs(s.GetPriceAt(end) / pStart)) / m) - 1
                                        : mean;
    double variance = squares / m - mean * mean;
    if (average) *average = avg;
    if (deviation) *deviation = variance > 0 ? std::sqrt(variance) : variance;
    return true;
}

bool CalcBeta(const CKData& s, const CKData& index, double indexAverage, double indexDeviation, double* beta, int n,
              int end) {
    const int count = s.GetSize();
    if (count == 0 || index.GetSize() == 0) return false;
    if (end == -1) end = count - 1;
    if (end < 0 || end >= count) return false;
    // A flat index gives no beta (and no division by zero).
    if (std::fabs(indexDeviation) < 1e-12) return false;
    double stockAverage = 0, stockDeviation = 0;
    if (!CalcYieldAverage(s, &stockAverage, &stockDeviation, n, end)) return false;

    const DWORD date = s[end].date;
    int j = index.GetSize() - 1 - (count - 1 - end);
    if (j < 0 || j >= index.GetSize() || index[j].date != date) {
        j = -1;
        for (int k = index.GetSize() - 1; k >= 0; --k) {
            if (index[k].date == date) {
                j = k;
                break;
            }
            if (index[k].date < date) break;
        }
        if (j < 0) return false;
    }
    const int needed = n == -1 ? 240 : n;
    int i = end, pairs = 0, mismatches = 0;
    double sum = 0;
    while (i >= 1 && j >= 1 && mismatches < 6 && (n == -1 || pairs + mismatches < n)) {
        DWORD ds = s[i].date, di = index[j].date;
        if (ds == di) {
            double p0 = s.GetPriceAt(i - 1), p1 = s.GetPriceAt(i);
            double q0 = index.GetPriceAt(j - 1), q1 = index.GetPriceAt(j);
            if (p0 > kPriceEpsilon && p1 > kPriceEpsilon && q0 > kPriceEpsilon && q1 > kPriceEpsilon) {
                sum += ((p1 - p0) / p0 - stockAverage) * ((q1 - q0) / q0 - indexAverage);
                ++pairs;
            }
            --i;
            --j;
        } else if (ds > di) {
            --i;
            ++mismatches;
        } else {
            --j;
            ++mismatches;
        }
    }
    if (pairs == 0 || pairs + mismatches < needed) return false;
    if (beta) *beta = sum / pairs / (indexDeviation * indexDeviation);
    return true;
}

// ---- Time axis ----

namespace {

// The date of the day that lies days after the time, in 64 bits: kNoStamp past the range of a
// 32-bit time (the last day is 2038-01-19).
DWORD DateAfter(const CTimeStamp& t, int64_t days) {
    const int64_t next = int64_t(t.GetTime()) + days * 86400;
    if (next <= 0 || next > INT32_MAX) return kNoStamp;
    return DWORD(CTimeStamp(int32_t(next)).GetDateNumber());
}

}  // namespace

DWORD NextBarStamp(DWORD stamp, int ktype) {
    CTimeStamp t;
    if (ktype >= ktypeMin5 && ktype <= ktypeMin60) {
        if (!t.FromMinuteStamp(stamp)) return kNoStamp;
        int h = t.GetBeijingHour(), m = t.GetBeijingMinute();
        int hm = h * 60 + m;
        int add;  // minutes
        switch (ktype) {
        case ktypeMin5:
            add = (h == 11 && m >= 25) ? 95 : hm >= 14 * 60 + 55 ? 18 * 60 + 35 : 5;
            break;
        case ktypeMin15:
            add = (h == 11 && m >= 15) ? 105 : hm >= 14 * 60 + 45 ? 18 * 60 + 45 : 15;
            break;
        case ktypeMin30:
            add = h == 11 ? 120 : hm >= 14 * 60 + 30 ? 19 * 60 : 30;
            break;
        default:
            add = (hm >= 10 * 60 + 30 && h <= 11) ? 150 : h == 14 ? 19 * 60 + 30 : 60;
            break;
        }
        const int64_t next = int64_t(t.GetTime()) + int64_t(add) * 60;
        if (next <= 0 || next > INT32_MAX) return kNoStamp;
        uint32_t packed = CTimeStamp(int32_t(next)).GetMinuteStamp();
        return packed == CTimeStamp::kNoMinuteStamp ? kNoStamp : packed;
    }
    if (ktype < ktypeDay || ktype > ktypeMonth) return kNoStamp;
    if (!t.FromDate(stamp)) return kNoStamp;
    if (ktype == ktypeWeek) return DateAfter(t, 7);
    if (ktype == ktypeMonth) {
        CTimeStamp next(t.GetYear(), t.GetMonth() + 1, t.GetDay(), t.GetBeijingHour(), t.GetBeijingMinute(), 0);
        if (next.GetTime() <= 0) return kNoStamp;
        t = next;
    }
    const int kFriday = 6;
    return DateAfter(t, t.GetDayOfWeek() == kFriday ? 3 : 1);
}
