#include "store/container.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "base/fsutil.h"
#include "base/text.h"
#include "store/database.h"

namespace {

// Running means of one field: plain over a count, weighted over a total weight.
struct Mean {
    double plain = 0, weighted = 0, weight = 0;
    int count = 0;
    void AddPlain(double x) {
        plain = (count * plain + x) / (count + 1);
        ++count;
    }
    // A stock without weight leaves the weighted mean alone (0 / 0 would stick as NaN).
    void AddWeighted(double x, double w) {
        if (!(w > 0)) return;
        weighted = (w * x + weight * weighted) / (w + weight);
        weight += w;
    }
};

struct DayAccumulator {
    Mean fields[6];
};

void SetAggregateIdentity(CStockInfo& s, const char* code, const char* name) {
    s.Clear();
    s.SetStockCode(kMarketUnknown, code);
    s.SetMarket(kMarketUnknown);
    s.SetStockName(name);
    s.m_nReportKind = 0;
}

}  // namespace

CStockContainer::CStockContainer()
    : m_nMode(0), m_nAsOfDate(-1), m_nCurrent(-1), m_map(10) {
    m_map.InitHashTable(17);
    ResetAggregates();
}

CStockContainer::~CStockContainer() {
    ClearIndexValueCache();
}

void CStockContainer::ResetAggregates() {
    SetAggregateIdentity(m_avr, "AVR", "平均值");
    SetAggregateIdentity(m_wavr, "WAVR", "加权平均");
}

int CStockContainer::Add(const CStockInfo& info) {
    SingleLock lock(&m_lock);
    int index = CSPArray<CStockInfo>::Add(info);
    m_map.SetAt(info.GetStockCode(), reinterpret_cast<void*>(intptr_t(index)));
    return index;
}

void CStockContainer::Reserve(int count) {
    if (count <= 0) return;
    SingleLock lock(&m_lock);
    const int total = GetSize() + count;
    CSPArray<CStockInfo>::Reserve(total);
    // The map never grows by itself: give it about two buckets per code, as RebuildCodeMap does.
    const UINT buckets = UINT(std::min<int64_t>(2 * int64_t(total) + 10, 0x7FFFFFFF));
    if (m_map.GetHashTableSize() < buckets) m_map.InitHashTable(buckets);
}

int CStockContainer::GetStockInfo(const char* code, CStockInfo* out, int* outIndex) {
    if (!code || !*code) return 0;
    SingleLock lock(&m_lock);
    void* value = nullptr;
    if (!m_map.Lookup(code, value)) return 0;
    int index = int(reinterpret_cast<intptr_t>(value));
    if (index < 0 || index >= GetSize()) return 0;
    if (out) *out = ElementAt(index);
    if (outIndex) *outIndex = index;
    return 1;
}

bool CStockContainer::LookupMarketAndKind(const char* code, DWORD* market, int* kind) {
    if (!code || !*code) return false;
    SingleLock lock(&m_lock);
    void* value = nullptr;
    if (!m_map.Lookup(code, value)) return false;
    int index = int(reinterpret_cast<intptr_t>(value));
    if (index < 0 || index >= GetSize()) return false;
    if (market) *market = ElementAt(index).GetMarket();
    if (kind) *kind = ElementAt(index).GetType();
    return true;
}

bool CStockContainer::GetStockName(const char* code, std::string* name) {
    if (!code || !*code) return false;
    SingleLock lock(&m_lock);
    void* value = nullptr;
    if (!m_map.Lookup(code, value)) return false;
    int index = int(reinterpret_cast<intptr_t>(value));
    if (index < 0 || index >= GetSize()) return false;
    if (name) *name = ElementAt(index).GetStockName();
    return true;
}

void CStockContainer::PointAt(int index) {
    m_nCurrent = index;
    // The current code follows the cursor, so that after a failed step it names the stock the
    // cursor was on rather than whatever code was set before.
    if (index >= 0 && index < GetSize()) m_strCurrentCode = ElementAt(index).GetStockCode();
}

int CStockContainer::SetCurrentStockIndex(int index) {
    SingleLock lock(&m_lock);
    if (index == m_nCurrent || index < 0 || index >= GetSize()) return 0;
    PointAt(index);
    return 1;
}

int CStockContainer::SetCurrentStock(const char* code) {
    SingleLock lock(&m_lock);
    int index = -1;
    if (code && GetStockInfo(code, nullptr, &index)) return SetCurrentStockIndex(index);
    m_nCurrent = -1;
    m_strCurrentCode = code ? code : "";
    return 0;
}

int CStockContainer::GetCurrentIndex() {
    SingleLock lock(&m_lock);
    return m_nCurrent;
}

int CStockContainer::GetCurrentStock(CStockInfo* out) {
    SingleLock lock(&m_lock);
    if (m_nCurrent >= 0 && m_nCurrent < GetSize()) {
        if (out) *out = ElementAt(m_nCurrent);
        return 1;
    }
    if (!m_strCurrentCode.empty()) {
        if (out) {
            out->Clear();
            out->SetStockCode(kMarketUnknown, m_strCurrentCode.c_str());
        }
        return 1;
    }
    return 0;
}

int CStockContainer::StepCursor(bool next) {
    const int size = GetSize();
    if (size <= 0) {
        m_nCurrent = -1;
        return 0;
    }
    int index = m_nCurrent;
    if (index < 0 || index >= size) index = -1;
    // Should the step fail, the current code names the stock the cursor is on now.
    if (index >= 0) m_strCurrentCode = ElementAt(index).GetStockCode();
    int result = -1;
    if (m_order.GetSize() == size) {
        if (index == -1) {
            result = int(next ? m_order[0] : m_order[size - 1]);
        } else {
            int pos = -1;
            for (int k = 0; k < size; ++k)
                if (int(m_order[k]) == index) {
                    pos = k;
                    break;
                }
            if (pos >= 0 && next && pos < size - 1) result = int(m_order[pos + 1]);
            if (pos >= 1 && !next) result = int(m_order[pos - 1]);
        }
        if (result >= size) result = -1;
    } else {
        if (index == -1) result = next ? 0 : size - 1;
        else result = next ? index + 1 : index - 1;
        if (result < 0 || result >= size) result = -1;
    }
    PointAt(result);
    return result >= 0 ? 1 : 0;
}

int CStockContainer::GetPrevStock(CStockInfo* out) {
    SingleLock lock(&m_lock);
    if (!StepCursor(false)) return 0;
    if (out) *out = ElementAt(m_nCurrent);
    return 1;
}

int CStockContainer::GetNextStock(CStockInfo* out) {
    SingleLock lock(&m_lock);
    if (!StepCursor(true)) return 0;
    if (out) *out = ElementAt(m_nCurrent);
    return 1;
}

int CStockContainer::CollectStocks(std::vector<CStockInfo>& out, int n, bool forward) {
    SingleLock lock(&m_lock);
    const int size = GetSize();
    if (size <= 0 || n <= 0) return 0;
    int index = m_nCurrent;
    for (int k = 0; k < n; ++k) {
        if (forward)
            index = index >= size - 1 ? 0 : index + 1;
        else
            index = index <= 0 ? size - 1 : index - 1;
        out.push_back(ElementAt(index));
    }
    return 1;
}

int CStockContainer::GetPrevStocks(std::vector<CStockInfo>& out, int n) { return CollectStocks(out, n, false); }

int CStockContainer::GetNextStocks(std::vector<CStockInfo>& out, int n) { return CollectStocks(out, n, true); }

void CStockContainer::SetDisplayOrder(const std::vector<int>& order) {
    SingleLock lock(&m_lock);
    m_order.RemoveAll();
    for (int i : order) m_order.Add(DWORD(i));
}

int CStockContainer::Clear() {
    SingleLock lock(&m_lock);
    ClearIndexValueCache();
    m_nMode = 0;
    m_nAsOfDate = -1;
    SetSize(0, -1);
    m_map.RemoveAll();
    ResetAggregates();
    m_order.RemoveAll();
    return 1;
}

int CStockContainer::RebuildCodeMap() {
    SingleLock lock(&m_lock);
    m_map.RemoveAll();
    const int size = GetSize();
    if (size > 0) {
        m_map.InitHashTable(UINT(2 * size + 10));
        for (int i = 0; i < size; ++i)
            m_map.SetAt(ElementAt(i).GetStockCode(), reinterpret_cast<void*>(intptr_t(i)));
    }
    return 1;
}

int CStockContainer::LoadFromDatabase(CStDatabase* database, int from, int to) {
    if (to < from || !database) return 0;
    SingleLock lock(&m_lock);
    Clear();
    database->LoadCodeTable(*this);
    RebuildCodeMap();
    m_nMode = 5;
    m_nAsOfDate = -1;
    RefreshToDate();
    return 1;
}

int CStockContainer::GetLatestIndexDate(DWORD* out) {
    SingleLock lock(&m_lock);
    void* value = nullptr;
    if (!m_map.Lookup("1A0001_1", value)) return 0;
    int index = int(reinterpret_cast<intptr_t>(value));
    if (index < 0 || index >= GetSize()) return 0;
    const CKData& k = ElementAt(index).m_kdata;
    if (k.GetSize() == 0) return 0;
    if (out) *out = k[k.GetSize() - 1].date;
    return 1;
}

int CStockContainer::RefreshToDate() {
    SingleLock lock(&m_lock);
    int date = m_nAsOfDate;
    if (date == -1) {
        DWORD latest = 0;
        if (this == &GetStockContainer() ? GetLatestIndexDate(&latest) : GetStockContainer().GetLatestIndexDate(&latest))
            date = int(latest);
    }
    for (int i = 0; i < GetSize(); ++i) {
        CStockInfo& s = ElementAt(i);
        s.SetBaseFromRecords(date == -1 ? 0xFFFFFFFFu : DWORD(date));
        s.SetQuoteFromBar(date);
    }
    return ComputeAggregates();
}

int CStockContainer::ComputeAggregates() {
    SingleLock lock(&m_lock);
    ResetAggregates();
    Mean quote[5], volume[2], book[20], base[kBaseFigureCount], yield[3];
    std::map<DWORD, DayAccumulator> days;
    bool first = true;
    for (int i = 0; i < GetSize(); ++i) {
        const CStockInfo& s = ElementAt(i);
        const int kind = s.GetType();
        if (kind == 16 || kind == 32 || kind == 19 || kind == 35) continue;
        m_avr.m_dwDate = m_wavr.m_dwDate = s.m_dwDate;
        m_avr.m_dwReportDate = m_wavr.m_dwReportDate = s.m_dwReportDate;
        const double w = s.GetBase(baseTotalShares);
        const float prices[5] = {s.m_fLastClose, s.m_fOpen, s.m_fHigh, s.m_fLow, s.m_fClose};
        for (int k = 0; k < 5; ++k)
            if (prices[k] > kPriceEpsilon) {
                quote[k].AddPlain(prices[k]);
                quote[k].AddWeighted(prices[k], w);
            }
        if (s.m_fVolume > kPriceEpsilon) volume[0].AddPlain(s.m_fVolume);
        if (s.m_fAmount > kPriceEpsilon) volume[1].AddPlain(s.m_fAmount);
        for (int k = 0; k < 5; ++k) {
            const float v[4] = {s.m_fBuyPrice[k], s.m_fBuyVolume[k], s.m_fSellPrice[k], s.m_fSellVolume[k]};
            for (int j = 0; j < 4; ++j)
                if (v[j] > kPriceEpsilon) {
                    book[j * 5 + k].AddPlain(v[j]);
                    book[j * 5 + k].AddWeighted(v[j], w);
                }
        }
        for (int f = 0; f < kBaseFigureCount; ++f) {
            const double x = s.m_fBase[f];
            const int n = f + 1;
            if (n <= 8) {
                if (std::fabs(x) > kPriceEpsilon) {
                    base[f].AddPlain(x);
                    if (n != 5) base[f].AddWeighted(x, w);
                }
            } else if (n <= 14) {
                if (x > kPriceEpsilon) base[f].AddPlain(x);
            } else if (n <= 26) {
                if (std::fabs(x) > kPriceEpsilon) {
                    base[f].AddPlain(x);
                    if (n != 16 && n < 24) base[f].AddWeighted(x, w);
                }
            } else {
                base[f].AddPlain(x);
                base[f].AddWeighted(x, w);
            }
        }
        if (std::fabs(kNotComputed - s.m_fYieldAverage) > kPriceEpsilon) {
            yield[0].AddPlain(s.m_fYieldAverage);
            yield[0].AddWeighted(s.m_fYieldAverage, w);
            if (std::fabs(kNotComputed - s.m_fYieldDeviation) > kPriceEpsilon) {
                yield[1].AddPlain(s.m_fYieldDeviation);
                yield[1].AddWeighted(s.m_fYieldDeviation, w);
            }
        }
        if (std::fabs(kNotComputed - s.m_fBeta) > kPriceEpsilon) {
            yield[2].AddPlain(s.m_fBeta);
            yield[2].AddWeighted(s.m_fBeta, w);
        }
        if (first) {
            m_avr.m_kdata = s.m_kdata;
            m_wavr.m_kdata = s.m_kdata;
            first = false;
        }
        const CKData& k = s.m_kdata;
        for (int b = k.GetSize() - 1; b >= 0; --b) {
            const KDATA& bar = k[b];
            const float v[6] = {bar.open, bar.high, bar.low, bar.close, bar.volume, bar.amount};
            DayAccumulator& acc = days[bar.date];
            for (int j = 0; j < 6; ++j) {
                acc.fields[j].AddPlain(v[j]);
                acc.fields[j].AddWeighted(v[j], w);
            }
        }
    }
    float* avrQuote[5] = {&m_avr.m_fLastClose, &m_avr.m_fOpen, &m_avr.m_fHigh, &m_avr.m_fLow, &m_avr.m_fClose};
    float* wavrQuote[5] = {&m_wavr.m_fLastClose, &m_wavr.m_fOpen, &m_wavr.m_fHigh, &m_wavr.m_fLow,
                           &m_wavr.m_fClose};
    for (int k = 0; k < 5; ++k) {
        *avrQuote[k] = float(quote[k].plain);
        *wavrQuote[k] = float(quote[k].weighted);
    }
    m_avr.m_fVolume = float(volume[0].plain);
    m_avr.m_fAmount = float(volume[1].plain);
    for (int k = 0; k < 5; ++k) {
        float* a[4] = {&m_avr.m_fBuyPrice[k], &m_avr.m_fBuyVolume[k], &m_avr.m_fSellPrice[k], &m_avr.m_fSellVolume[k]};
        float* b[4] = {&m_wavr.m_fBuyPrice[k], &m_wavr.m_fBuyVolume[k], &m_wavr.m_fSellPrice[k],
                       &m_wavr.m_fSellVolume[k]};
        for (int j = 0; j < 4; ++j) {
            *a[j] = float(book[j * 5 + k].plain);
            *b[j] = float(book[j * 5 + k].weighted);
        }
    }
    for (int f = 0; f < kBaseFigureCount; ++f) {
        m_avr.m_fBase[f] = float(base[f].plain);
        m_wavr.m_fBase[f] = float(base[f].weighted);
    }
    if (yield[0].count) m_avr.m_fYieldAverage = float(yield[0].plain), m_wavr.m_fYieldAverage = float(yield[0].weighted);
    if (yield[1].count) m_avr.m_fYieldDeviation = float(yield[1].plain), m_wavr.m_fYieldDeviation = float(yield[1].weighted);
    if (yield[2].count) m_avr.m_fBeta = float(yield[2].plain), m_wavr.m_fBeta = float(yield[2].weighted);

    // The aggregate day series: per date, the means over the stocks that have a bar that day.
    for (CStockInfo* agg : {&m_avr, &m_wavr}) {
        const bool weighted = agg == &m_wavr;
        CKData& series = agg->m_kdata;
        for (const auto& d : days) {
            int i = series.GetIndexByDate(d.first);
            KDATA bar;
            if (i >= 0) bar = series[i];
            else {
                std::memset(&bar, 0, sizeof bar);
                bar.date = d.first;
            }
            float* v[6] = {&bar.open, &bar.high, &bar.low, &bar.close, &bar.volume, &bar.amount};
            for (int j = 0; j < 6; ++j)
                *v[j] = float(weighted ? d.second.fields[j].weighted : d.second.fields[j].plain);
            series.InsertOrReplace(bar);
        }
    }
    return 1;
}

int CStockContainer::SetCachedIndexValue(double value, int columnId, const char* code, DWORD extra) {
    SingleLock lock(&m_lock);
    int index = -1;
    if (!GetStockInfo(code, nullptr, &index)) return 0;
    if (int(m_cache.size()) < GetSize()) m_cache.resize(size_t(GetSize()));
    for (CacheEntry& e : m_cache[size_t(index)])
        if (e.columnId == columnId) {
            e.value = value;
            e.extra = extra;
            return 1;
        }
    m_cache[size_t(index)].push_back(CacheEntry{columnId, value, extra});
    return 1;
}

int CStockContainer::GetCachedIndexValue(double* outValue, int columnId, const char* code, DWORD* outExtra) {
    SingleLock lock(&m_lock);
    int index = -1;
    if (!GetStockInfo(code, nullptr, &index) || size_t(index) >= m_cache.size()) return 0;
    for (const CacheEntry& e : m_cache[size_t(index)])
        if (e.columnId == columnId) {
            if (outValue) *outValue = e.value;
            if (outExtra) *outExtra = e.extra;
            return 1;
        }
    return 0;
}

void CStockContainer::ClearIndexValueCache() {
    SingleLock lock(&m_lock);
    m_cache.clear();
}

int CDomain::AddStock(const char* code) {
    if (!code || !*code) return 0;
    std::string key = GbkFoldCase(code);
    if (m_keys.count(key)) return 0;
    if (CSPStringArray::Add(code) < 0) return 0;
    m_keys.insert(std::move(key));
    return 1;
}

bool CDomain::HasStock(const char* code) const { return code && *code && m_keys.count(GbkFoldCase(code)) != 0; }

int CDomain::RemoveStock(const char* code) {
    if (!HasStock(code)) return 0;
    for (int i = 0; i < GetSize(); ++i)
        if (GbkCompareNoCase(GetAt(i).c_str(), code) == 0) return RemoveAt(i) ? 1 : 0;
    return 0;
}

bool CDomain::RemoveAt(int index) {
    if (index < 0 || index >= GetSize()) return false;
    m_keys.erase(GbkFoldCase(GetAt(index).c_str()));
    return CSPStringArray::RemoveAt(index);
}

void CDomain::RemoveAll() {
    m_keys.clear();
    CSPStringArray::RemoveAll();
}

int CDomainContainer::AddDomain(const CDomain& domain) {
    if (domain.m_strName.empty()) return -1;
    for (int i = 0; i < GetSize(); ++i)
        if (GbkCompareNoCase(GetAt(i).m_strName.c_str(), domain.m_strName.c_str()) == 0) return -1;
    return CSPArray<CDomain>::Add(domain);
}

int CDomainContainer::LoadText(const char* path) {
    if (!path || !*path) return 0;
    std::string data;
    if (!velmora::ReadWholeFile(path, data, 268435456) || data.empty()) return 0;
    int step = int(data.size() / 300);
    SetSize(0, step > 20 ? 20 : step);
    CDomain current;
    size_t pos = 0;
    auto space = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\v' || u == '\f';
    };
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        size_t end = nl == std::string::npos ? data.size() : nl;
        std::string line = data.substr(pos, end - pos);
        pos = nl == std::string::npos ? data.size() : nl + 1;
        size_t cr = line.find('\r');
        if (cr != std::string::npos) line.resize(cr);
        size_t b = 0, e = line.size();
        while (b < e && space(line[b])) ++b;
        while (e > b && space(line[e - 1])) --e;
        line = line.substr(b, e - b);
        if (line.empty()) {
            if (!current.m_strName.empty()) AddDomain(current);
            current.RemoveAll();
            current.m_strName.clear();
        } else if (current.m_strName.empty()) {
            current.m_strName = line;
        } else {
            current.AddStock(line.c_str());
        }
    }
    if (!current.m_strName.empty()) CSPArray<CDomain>::Add(current);
    return 1;
}
