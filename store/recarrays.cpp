#include "store/recarrays.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "base/timestamp.h"
#include "store/kdata.h"

namespace {

// The quote fields shared by the record in memory and the record of the block files.
template <class From, class To>
void CopyReportFields(const From& in, To& out) {
    out.market = in.market;
    std::memcpy(out.code, in.code, sizeof out.code);
    std::memcpy(out.name, in.name, sizeof out.name);
    out.time = in.time;
    out.prevClose = in.prevClose;
    out.open = in.open;
    out.high = in.high;
    out.low = in.low;
    out.close = in.close;
    out.volume = in.volume;
    out.amount = in.amount;
    std::memcpy(out.buyPrice, in.buyPrice, sizeof out.buyPrice);
    std::memcpy(out.buyVolume, in.buyVolume, sizeof out.buyVolume);
    std::memcpy(out.sellPrice, in.sellPrice, sizeof out.sellPrice);
    std::memcpy(out.sellVolume, in.sellVolume, sizeof out.sellVolume);
}

}  // namespace

void ReportToFileRecord(const REPORT& in, REPORT_FILE_RECORD& out) { CopyReportFields(in, out); }

void ReportFromFileRecord(const REPORT_FILE_RECORD& in, REPORT& out) {
    std::memset(&out, 0, sizeof out);
    CopyReportFields(in, out);
}

void CArray42::Sort() {
    SortBy([](const DRDATA& a, const DRDATA& b) { return a.date < b.date; });
}

void CSignalStore::Insert(DWORD key, DWORD value) {
    if (m_map.empty()) {
        m_minKey = m_maxKey = key;
    } else {
        m_minKey = std::min(m_minKey, key);
        m_maxKey = std::max(m_maxKey, key);
    }
    m_map[key] = value;
}

void CSignalStore::Clear() {
    m_map.clear();
    m_minKey = m_maxKey = 0;
}

bool CSignalStore::Lookup(DWORD key, DWORD* value) const {
    auto it = m_map.find(key);
    if (it == m_map.end()) return false;
    if (value) *value = it->second;
    return true;
}

// ---- Minutes ----

void MinuteArray::Sort() {
    SortBy([](const MINUTE& a, const MINUTE& b) { return a.time < b.time; });
}

void MinuteArray::CleanUp() {
    if (m_nSize == 0) return;
    const CTimeStamp last(m_pData[m_nSize - 1].time);
    CTimeStamp anchor;
    if (!anchor.FromDate(uint32_t(last.GetDateNumber()))) anchor = CTimeStamp(0);
    // Decide on the original neighbours, then keep the survivors in order.
    int kept = 0;
    int32_t previousTime = 0;
    for (int i = 0; i < m_nSize; ++i) {
        const MINUTE m = m_pData[i];
        bool remove = m.time <= 0 || m.price < kPriceEpsilon || m.volume < kPriceEpsilon ||
                      !IsTradingTime(CTimeStamp(m.time), 60) || m.time < anchor.GetTime() ||
                      (i >= 1 && m.time == previousTime);
        previousTime = m.time;
        if (!remove) m_pData[kept++] = m;
    }
    if (kept < m_nSize) std::memset(static_cast<void*>(m_pData + kept), 0, sizeof(MINUTE) * size_t(m_nSize - kept));
    m_nSize = kept;
}

bool MinuteArray::GetOuterInnerVolume(double* lastVolume, double* outer, double* inner) const {
    double last = 0, out = 0, in = 0;
    int32_t latest = 0;
    for (int i = 0; i < m_nSize; ++i) {
        if (i == 0 || m_pData[i].time >= latest) {
            latest = m_pData[i].time;
            last = m_pData[i].volume;
        }
    }
    bool rising = true;
    for (int i = 1; i < m_nSize; ++i) {
        double step = double(m_pData[i].volume) - m_pData[i - 1].volume;
        double change = double(m_pData[i].price) - m_pData[i - 1].price;
        if (change > kPriceEpsilon) rising = true;
        else if (change < -kPriceEpsilon) rising = false;
        if (rising) out += step;
        else in += step;
    }
    if (lastVolume) *lastVolume = last;
    if (outer) *outer = out;
    if (inner) *inner = in;
    return true;
}

bool MinuteArray::GetDiffPercentMin5(double* out) const {
    if (m_nSize < 2) return false;
    const MINUTE& last = m_pData[m_nSize - 1];
    for (int i = m_nSize - 2; i >= 0; --i) {
        int32_t gap = last.time - m_pData[i].time;
        if (gap >= 200 && gap <= 600) {
            double ref = m_pData[i].price;
            if (ref <= kPriceEpsilon || last.price <= kPriceEpsilon) return false;
            if (out) *out = last.price * 100 / ref - 100;
            return true;
        }
    }
    return false;
}

bool MinuteArray::SumPriceChanges(double* out, int end) const {
    double sum = 0;
    for (int k = end - 12; k <= end; ++k) {
        if (k >= 1 && k <= m_nSize - 1) sum += double(m_pData[k].price) - m_pData[k - 1].price;
    }
    if (out) *out = sum;
    return true;
}

bool MinuteArray::GetPriceVolumeDistribution(CSPDWordArray& prices, CSPDWordArray& volumes, DWORD* maxVolume) const {
    prices.RemoveAll();
    volumes.RemoveAll();
    std::vector<DWORD> keys(static_cast<size_t>(m_nSize));
    for (int i = 0; i < m_nSize; ++i) keys[size_t(i)] = DWORD(TruncateToInteger(double(m_pData[i].price) * 1000));
    std::vector<DWORD> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<DWORD> sums(sorted.size(), 0);
    for (int i = 0; i < m_nSize; ++i) {
        double step = i == 0 ? m_pData[0].volume : double(m_pData[i].volume) - m_pData[i - 1].volume;
        size_t slot = size_t(std::lower_bound(sorted.begin(), sorted.end(), keys[size_t(i)]) - sorted.begin());
        sums[slot] += DWORD(TruncateToInteger(step));
    }
    const int n = int(sorted.size());
    prices.SetSize(n, n);
    volumes.SetSize(n, n);
    DWORD most = 0;
    for (int k = 0; k < n; ++k) {
        prices[k] = sorted[size_t(k)];
        volumes[k] = sums[size_t(k)];
        most = std::max(most, sums[size_t(k)]);
    }
    if (maxVolume) *maxVolume = most;
    return n > 0;
}

bool MinuteArray::GetVolumeRatioStatistic(double averageVolume, double* minimum, double* maximum) const {
    if (averageVolume < kPriceEpsilon) return false;
    double lo = 0, hi = 1;
    for (int i = 0; i < m_nSize; ++i) {
        CTimeStamp t(m_pData[i].time);
        double ratio = m_pData[i].volume / averageVolume / GetTradeDayFraction(t, t);
        if (i == 0 || ratio < lo) lo = ratio;
        if (i == 0 || ratio > hi) hi = ratio;
    }
    if (hi < kPriceEpsilon) hi = 1;
    if (minimum) *minimum = lo;
    if (maximum) *maximum = hi;
    return true;
}

namespace {
DWORD MinuteStampOf(int32_t time) {
    uint32_t s = CTimeStamp(time).GetMinuteStamp();
    return s == CTimeStamp::kNoMinuteStamp ? 0 : s;
}

void CopyCode(char (&to)[10], const char (&from)[10]) {
    std::memset(to, 0, sizeof to);
    std::memcpy(to, from, 9);
}
}  // namespace

int MinuteArray::BuildKData(CKData& series) const {
    series.Clear();
    if (m_nSize == 0) return 0;
    const DWORD period = m_pData[0].period;
    if (period == 5 || period == 15 || period == 30 || period == 60) {
        series.SetKType(period == 5 ? ktypeMin5 : period == 15 ? ktypeMin15 : period == 30 ? ktypeMin30 : ktypeMin60);
        series.SetGrowBy(m_nSize + 1);
        for (int i = 0; i < m_nSize; ++i) {
            const MINUTE& m = m_pData[i];
            KDATA b;
            std::memset(&b, 0, sizeof b);
            b.market = m.market;
            CopyCode(b.code, m.code);
            b.time = m.time;
            b.date = MinuteStampOf(m.time);
            b.high = m.high;
            b.low = m.low;
            b.close = m.price;
            b.open = (m.high + m.low + m.price) / 3;
            b.volume = m.volume;
            b.amount = m.amount;
            series.Add(b);
        }
        return series.GetSize();
    }

    series.SetKType(ktypeMin5);
    series.SetGrowBy(m_nSize / 5 + 5);
    KDATA bar;
    std::memset(&bar, 0, sizeof bar);
    bool open = false;
    for (int i = 0; i < m_nSize; ++i) {
        const MINUTE& m = m_pData[i];
        // The minute file carries cumulative figures: a minute's own share is the step.
        double volume = i == 0 ? m.volume : std::max(0.0, double(m.volume) - m_pData[i - 1].volume);
        double amount = i == 0 ? m.amount : std::max(0.0, double(m.amount) - m_pData[i - 1].amount);
        if (!open) {
            std::memset(&bar, 0, sizeof bar);
            bar.market = m.market;
            CopyCode(bar.code, m.code);
            bar.open = bar.high = bar.low = bar.close = m.price;
            if (i == 0) {
                bar.high = m.high;
                bar.low = m.low;
            }
            bar.volume = float(volume);
            bar.amount = float(amount);
            open = true;
        } else {
            if (m.price > bar.high) bar.high = m.price;
            if (m.price < bar.low) bar.low = m.price;
            bar.close = m.price;
            bar.volume = float(bar.volume + volume);
            bar.amount = float(bar.amount + amount);
        }
        DWORD stamp = MinuteStampOf(m.time);
        bar.date = stamp;
        bar.time = m.time;
        if (stamp % 5 == 0) {
            series.Add(bar);
            open = false;
        }
    }
    if (open) {
        // The period still running: shown at the end of its five minutes.
        int minute = int(bar.date % 100);
        int ahead = (5 - minute % 5) % 5;
        bar.time += ahead * 60;
        bar.date = MinuteStampOf(bar.time);
        series.Add(bar);
    }
    return series.GetSize();
}

int MinuteArray::BuildDayBar(CKData& series, const ReportArray& quotes) const {
    series.SetKType(ktypeDay);
    series.SetGrowBy(1);
    if (m_nSize == 0) return 0;
    KDATA bar;
    std::memset(&bar, 0, sizeof bar);
    if (quotes.GetSize() > 0) {
        const REPORT& q = quotes[0];
        bar.market = q.market;
        std::memcpy(bar.code, q.code, 9);
        bar.open = q.open;
        bar.high = q.high;
        bar.low = q.low;
        bar.close = q.prevClose;
        bar.volume = q.volume;
        bar.amount = q.amount;
    } else {
        bar.market = m_pData[0].market;
        std::memcpy(bar.code, m_pData[0].code, 9);
    }
    // A quote from before the open has no prices yet: the first traded minute gives them.
    for (int i = 0; i < m_nSize; ++i) {
        float p = m_pData[i].price;
        if (p <= kPriceEpsilon) continue;
        if (bar.open <= kPriceEpsilon) bar.open = p;
        if (bar.high <= kPriceEpsilon) bar.high = p;
        if (bar.low <= kPriceEpsilon) bar.low = p;
        break;
    }
    for (int i = 0; i < m_nSize; ++i) {
        const MINUTE& m = m_pData[i];
        if (m.price > bar.high) bar.high = m.price;
        if (m.price > kPriceEpsilon && m.price < bar.low) bar.low = m.price;
        bar.close = m.price;
        bar.volume = m.volume;
        bar.amount = m.amount;
    }
    const MINUTE& last = m_pData[m_nSize - 1];
    int date = CTimeStamp(last.time).GetDateNumber();
    bar.date = date > 0 ? DWORD(date) : 0;
    bar.time = last.time;
    series.InsertOrReplace(bar);
    return series.GetSize();
}

// ---- Quotes ----

void ReportArray::Sort() {
    SortBy([](const REPORT& a, const REPORT& b) {
        if (a.time != b.time) return a.time < b.time;
        return a.volume < b.volume;
    });
}

void ReportArray::CleanUp() {
    int kept = 0;
    float previousVolume = 0;
    for (int i = 0; i < m_nSize; ++i) {
        const REPORT q = m_pData[i];
        bool remove = q.time <= 0 || q.close < kPriceEpsilon || q.volume < kPriceEpsilon ||
                      !IsTradingTime(CTimeStamp(q.time), 60) ||
                      (i >= 1 && double(q.volume) - previousVolume < kPriceEpsilon);
        previousVolume = q.volume;
        if (!remove) m_pData[kept++] = q;
    }
    if (kept < m_nSize) std::memset(static_cast<void*>(m_pData + kept), 0, sizeof(REPORT) * size_t(m_nSize - kept));
    m_nSize = kept;
}

bool ReportArray::GetBuySellVolume(int index, double* buySum, double* sellSum, double* difference) const {
    if (index < 0 || index >= m_nSize) return false;
    const REPORT& q = m_pData[index];
    double buy = 0, sell = 0;
    for (int k = 0; k < 5; ++k) {
        buy += q.buyVolume[k];
        sell += q.sellVolume[k];
    }
    if (buySum) *buySum = buy;
    if (sellSum) *sellSum = sell;
    if (difference) *difference = buy - sell;
    return true;
}

bool ReportArray::GetBuySellStatistics(double* minimum, double* maximum) const {
    double lo = 0, hi = 0;
    for (int i = 0; i < m_nSize; ++i) {
        double buy = 0, sell = 0;
        GetBuySellVolume(i, &buy, &sell, nullptr);
        double a = std::min(buy, sell), b = std::max(buy, sell);
        if (i == 0 || a < lo) lo = a;
        if (i == 0 || b > hi) hi = b;
    }
    if (hi < 500) hi = 500;
    if (minimum) *minimum = lo;
    if (maximum) *maximum = hi;
    return true;
}

bool BuildKDataFromReport(KDATA& bar, const REPORT* quote) {
    if (!quote) return false;
    std::memset(&bar, 0, sizeof bar);
    bar.market = quote->market;
    std::memcpy(bar.code, quote->code, 9);
    // std::time rather than CTimeStamp::GetCurrentTime, which windows.h renames by a macro.
    bar.time = (quote->time == 0 || quote->time == -1) ? int32_t(std::time(nullptr)) : quote->time;
    int date = CTimeStamp(bar.time).GetDateNumber();
    bar.date = date > 0 ? DWORD(date) : 0;
    bar.open = quote->open;
    bar.high = quote->high;
    bar.low = quote->low;
    bar.close = quote->close;
    bar.volume = quote->volume;
    bar.amount = quote->amount;
    return true;
}
