#include "analysis/technique.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

const char* const kReasonTexts[] = {"",     "无",     "底背离",   "顶背离",   "金叉", "死叉",
                                    "多头强势", "空头强势", "超买", "超卖", "支撑", "压力"};

int FadeStep(int s) {
    if (s > 1) return s - 1;
    if (s < -1) return s + 1;
    return s;
}

}  // namespace

const char* GetReasonText(int reason) {
    return reason >= 1 && reason <= 11 ? kReasonTexts[reason] : "";
}

// -15..-11 strong sell, -10..-6 sell, -5..-1 weak sell, 0 none, then the mirror.
const char* GetIntensityText(int s) {
    if (s <= -11) return "强烈卖出";
    if (s <= -6) return "卖出";
    if (s <= -1) return "微弱卖出";
    if (s == 0) return "无";
    if (s <= 5) return "微弱买进";
    if (s <= 10) return "买进";
    return "强烈买进";
}

CTechnique::CTechnique() : CTechnique(nullptr) {}

CTechnique::CTechnique(CKData* series)
    : m_pKData(series), m_nGeneration(1), m_nCacheLength(0), m_nCacheStart(-1), m_nLastSignal(0),
      m_nLastReason(reasonNone), m_nLastStored(-1) {
    for (int k = 0; k < kLines; ++k) {
        m_pCache[k] = nullptr;
        m_pValid[k] = nullptr;
        m_nRangeFirst[k] = 0;
        m_nRangeLast[k] = -1;
        m_nBufferLength[k] = 0;
    }
}

CTechnique::~CTechnique() = default;

void CTechnique::Clear() {
    for (int k = 0; k < kLines; ++k) {
        m_pCache[k] = nullptr;
        m_pValid[k] = nullptr;
        m_nRangeFirst[k] = 0;
        m_nRangeLast[k] = -1;
    }
    // A new generation invalidates every flag at once; only when the counter wraps are the
    // flags wiped, so that no flag of an old generation can look current.
    if (++m_nGeneration == 0) {
        for (int k = 0; k < kLines; ++k)
            if (m_pValidBuffer[k]) std::memset(m_pValidBuffer[k].get(), 0, size_t(m_nBufferLength[k]));
        m_nGeneration = 1;
    }
    m_nCacheLength = 0;
    m_nCacheStart = -1;
    m_nLastStored = -1;
    m_valueWindow.bar = -1;
    m_nLastSignal = 0;
    m_nLastReason = reasonNone;
}

void CTechnique::ClearLastIntensity() {
    m_nLastSignal = 0;
    m_nLastReason = reasonNone;
}

void CTechnique::SetKData(CKData* series) {
    m_pKData = series;
    Clear();
}

bool CTechnique::PrepareCache(int start, int end, bool clearFirst) {
    if (!m_pKData) return false;
    if (end == -1) end = m_pKData->GetSize() - 1;
    if (start < 0 || end < start || end >= m_pKData->GetSize()) return false;
    if (clearFirst) Clear();
    return GetMinMaxInfo(start, end, nullptr, nullptr, nullptr, nullptr);
}

void CTechnique::SetDefaultParameters() {}
bool CTechnique::IsValidParameters() { return false; }
std::string CTechnique::GetNameParams() { return std::string(); }

int CTechnique::GetSignal(int, int* reason) {
    if (reason) *reason = reasonNone;
    return 0;
}

int CTechnique::GetIntensity(int index, int* reason, bool traceback) {
    int r = reasonNone;
    int s = GetSignal(index, &r);
    if (s != 0) {
        m_nLastSignal = s;
        m_nLastReason = r;
        if (reason) *reason = r;
        return s;
    }
    m_nLastSignal = FadeStep(m_nLastSignal);
    if (traceback && m_nLastSignal == 0) m_nLastSignal = GetIntensityTraceback(index, &m_nLastReason);
    if (reason) *reason = m_nLastReason;
    return m_nLastSignal;
}

int CTechnique::GetIntensityTraceback(int index, int* reason) {
    if (reason) *reason = reasonNone;
    int s = 0, r = reasonNone, at = -1;
    for (int i = index; i >= 0; --i) {
        r = reasonNone;
        s = GetSignal(i, &r);
        if (s != 0) {
            at = i;
            break;
        }
    }
    if (at < 0) return 0;
    for (int i = at + 1; i <= index && s != 1 && s != -1; ++i) s = FadeStep(s);
    if (reason) *reason = r;
    return s;
}

bool CTechnique::GetMinMaxInfo(int, int, double*, double*, int*, int*) { return false; }

bool CTechnique::Calculate(double*, double*, double*, double*, double*, int, bool) { return false; }
bool CTechnique::Calculate(double*, double*, double*, double*, int, bool) { return false; }
bool CTechnique::Calculate(double*, double*, double*, int, bool) { return false; }
bool CTechnique::Calculate(double*, double*, int, bool) { return false; }
bool CTechnique::Calculate(double*, int, bool) { return false; }
bool CTechnique::Calculate(double*, int, int, bool) { return false; }

void CTechnique::ValueWindow::Resum() {
    double s = 0, c = 0;
    for (double v : values) CompensatedAdd(s, c, v);
    sum = s + c;
    peak = std::fabs(sum);
    steps = 0;
}

// The newest value in, the oldest out; the sum is taken afresh from the ring when it shrank far
// below its peak (a huge value left) and every CWindowSum::kRefresh steps.
void CTechnique::ValueWindow::Push(double v) {
    const double out = values[size_t(head)];
    values[size_t(head)] = v;
    head = (head + 1) % days;
    sum += v - out;
    const double a = std::fabs(sum);
    if (a > peak) peak = a;
    if (++steps >= CWindowSum::kRefresh || !(a * 16 >= peak)) Resum();
}

bool CTechnique::GetValueAndMA(double* value, double* ma, int index, bool, int days) {
    // Days below 1 would divide by zero (a plug-in may ask for them).
    if (!CheckIndex(index) || days < 1 || index + 1 < days) return false;
    if (LoadFromCache(index, value, ma)) return true;
    ValueWindow& w = m_valueWindow;
    double first = 0;
    const bool here = Calculate(&first, index, false);
    if (!here) first = 0;
    if (w.bar >= 0 && w.bar == index - 1 && w.days == days) {
        // The window of the bar before, moved on by this bar's value when it has one.
        if (here) w.Push(first);
        w.bar = index;
    } else {
        // Walk back from index over the bars that have a value.
        w.bar = -1;
        w.days = days;
        w.values.assign(size_t(days), 0);
        int got = 0;
        for (int bar = index; bar >= 0 && got < days; --bar) {
            double v = 0;
            if (bar == index ? !here : !Calculate(&v, bar, false)) continue;
            w.values[size_t(days - 1 - got)] = bar == index ? first : v;  // oldest first
            ++got;
        }
        if (got < days) return false;
        w.head = 0;
        w.Resum();
        w.bar = index;
    }
    double m = w.sum / days;
    if (value) *value = first;
    if (ma) *ma = m;
    StoreToCache(index, &first, &m);
    return true;
}

bool CTechnique::GetRange(int n, int first, int last, double* const* out, unsigned char* valid) {
    if (n < 1 || n > kLines || first > last || !out || !valid) return false;
    std::memset(valid, 0, size_t(last - first + 1));
    if (!m_pKData) return false;
    const int from = std::max(first, 0), to = std::min(last, m_pKData->GetSize() - 1);
    if (from > to) return false;
    double v[kLines] = {0, 0, 0, 0, 0};
    // Nothing of the range computed yet: one walk over it fills the cache (a pane has usually
    // taken its range, which computed it, before it asks).
    auto cachedBar = [&]() {
        for (int i = from; i <= std::min(to, m_nLastStored); ++i)
            if (LoadComputed(i, v, n)) return i;
        return -1;
    };
    int probe = cachedBar();
    if (probe < 0) {
        PrepareCache(from, to, false);
        probe = cachedBar();
    }
    // The cache answers for the n-line Calculate only when the class's own Calculate of n lines
    // gives what the cache holds (a class of more lines caches them, but has no Calculate of
    // fewer): asked once, at a cached bar.
    bool fromCache = false;
    if (probe >= 0) {
        double w[kLines];
        fromCache = CalculateN(n, w, probe, false) && LoadComputed(probe, v, n);
        for (int k = 0; k < n && fromCache; ++k) fromCache = std::memcmp(&w[k], &v[k], sizeof(double)) == 0;
        for (int k = 0; k < kLines; ++k) v[k] = 0;
    }
    // The stretch that every line's computed range covers is copied a line at a time.
    int blockFirst = from, blockLast = -1;
    if (fromCache) {
        blockLast = std::min({to, m_nLastStored, CacheEnd() - 1});
        for (int k = 0; k < n; ++k) {
            blockFirst = std::max(blockFirst, m_nRangeFirst[k] + m_nCacheStart);
            blockLast = std::min(blockLast, m_nRangeLast[k] + m_nCacheStart);
        }
    }
    bool have = false;
    for (int i = from; i <= to; ++i) {
        if (i == blockFirst && blockFirst <= blockLast) {
            const int count = blockLast - blockFirst + 1;
            for (int k = 0; k < n; ++k) {
                std::memcpy(out[k] + (blockFirst - first), m_pCache[k] + (blockFirst - m_nCacheStart),
                            sizeof(double) * size_t(count));
                v[k] = m_pCache[k][blockLast - m_nCacheStart];
            }
            std::memset(valid + (blockFirst - first), 1, size_t(count));
            have = true;
            i = blockLast;
            continue;
        }
        // The one-bar path answers a cached bar from the cache; any other bar is asked as a pane
        // walk asks it, its lines carried from the last bar that had values.
        if (!(fromCache && i <= m_nLastStored && LoadComputed(i, v, n)) && !CalculateN(n, v, i, have)) continue;
        const int at = i - first;
        for (int k = 0; k < n; ++k) out[k][at] = v[k];
        valid[at] = 1;
        have = true;
    }
    return have;
}

bool CTechnique::GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                              unsigned char* const* valid) {
    if (first > last || !out || !valid) return false;
    bool any = false;
    for (int d = 0; d < days.GetSize(); ++d) {
        std::memset(valid[d], 0, size_t(last - first + 1));
        if (!m_pKData) continue;
        const int from = std::max(first, 0), to = std::min(last, m_pKData->GetSize() - 1);
        double v = 0;
        bool have = false;
        for (int i = from; i <= to; ++i) {
            if (!Calculate(&v, i, int(days[d]), have)) continue;
            out[d][i - first] = v;
            valid[d][i - first] = 1;
            have = true;
        }
        any = any || have;
    }
    return any;
}

// A plain write: the computing classes check their parameters once per computation, not here.
bool CTechnique::StoreToCache(int index, const double* v1, const double* v2, const double* v3, const double* v4,
                              const double* v5) {
    if (!CheckIndex(index)) return false;
    if (m_nCacheLength <= 0) {
        m_nCacheLength = m_pKData->GetSize();
        m_nCacheStart = 0;
    }
    const double* in[kLines] = {v1, v2, v3, v4, v5};
    for (int k = 0; k < kLines; ++k)
        if (in[k] && !UseLine(k)) return false;
    int at = index - m_nCacheStart;
    if (at < 0 || at >= m_nCacheLength) return true;
    for (int k = 0; k < kLines; ++k) {
        if (!in[k]) continue;
        m_pCache[k][at] = *in[k];
        m_pValid[k][at] = m_nGeneration;
    }
    if (index > m_nLastStored) m_nLastStored = index;
    return true;
}

bool CTechnique::UseLine(int k) {
    if (m_pCache[k]) return true;
    if (m_nCacheLength <= 0) return false;
    if (m_nBufferLength[k] < m_nCacheLength) {
        m_pValueBuffer[k].reset();
        m_pValidBuffer[k].reset();
        m_nBufferLength[k] = 0;
        m_pValueBuffer[k].reset(new (std::nothrow) double[m_nCacheLength]);
        m_pValidBuffer[k].reset(new (std::nothrow) unsigned char[m_nCacheLength]());
        if (!m_pValueBuffer[k] || !m_pValidBuffer[k]) {
            m_pValueBuffer[k].reset();
            m_pValidBuffer[k].reset();
            return false;
        }
        m_nBufferLength[k] = m_nCacheLength;
    }
    // Flags left in the buffer belong to older generations and read as not computed.
    m_pCache[k] = m_pValueBuffer[k].get();
    m_pValid[k] = m_pValidBuffer[k].get();
    return true;
}

bool CTechnique::OpenLines(int n) {
    if (!m_pKData) return false;
    if (m_nCacheLength <= 0) {
        if (m_pKData->GetSize() <= 0) return false;
        m_nCacheLength = m_pKData->GetSize();
        m_nCacheStart = 0;
    }
    for (int k = 0; k < n; ++k)
        if (!UseLine(k)) return false;
    return true;
}

void CTechnique::MarkComputed(int k, int first, int last) {
    if (first > last) return;
    int& a = m_nRangeFirst[k];
    int& b = m_nRangeLast[k];
    if (a > b) {
        a = first;
        b = last;
    } else if (first <= b + 1 && last >= a - 1) {
        // The ranges meet: they join.
        a = std::min(a, first);
        b = std::max(b, last);
    } else if (last - first > b - a) {
        // Two apart: the longer stays a range, the other gets its flags.
        std::memset(m_pValid[k] + a, m_nGeneration, size_t(b - a + 1));
        a = first;
        b = last;
    } else {
        std::memset(m_pValid[k] + first, m_nGeneration, size_t(last - first + 1));
    }
    NoteStored(last + m_nCacheStart);
}

void CTechnique::MarkComputedFinite(int k, int first, int last, bool broken) {
    if (broken) {
        const double* line = m_pCache[k];
        for (int at = first; at <= last; ++at) {
            if (std::isfinite(line[at])) continue;
            MarkComputed(k, first, at - 1);
            first = at + 1;
        }
    }
    MarkComputed(k, first, last);
}

bool CTechnique::GetCached(int line, int index, double* value) const {
    if (line < 1 || line > kLines || m_nCacheLength <= 0) return false;
    int at = index - m_nCacheStart;
    const int k = line - 1;
    if (at < 0 || at >= m_nCacheLength || !m_pCache[k] || !IsComputed(k, at)) return false;
    if (value) *value = m_pCache[k][at];
    return true;
}

void CTechnique::WidenRange(double* min, double* max) {
    *min -= std::fabs(*min) * 0.02;
    *max += std::fabs(*max) * 0.02;
    if (*max - *min < 0.03) *max = *min + 0.05;
}

bool CTechnique::CalculateN(int lines, double* v, int index, bool useLast) {
    switch (lines) {
    case 1: return Calculate(&v[0], index, useLast);
    case 2: return Calculate(&v[0], &v[1], index, useLast);
    case 3: return Calculate(&v[0], &v[1], &v[2], index, useLast);
    case 4: return Calculate(&v[0], &v[1], &v[2], &v[3], index, useLast);
    case 5: return Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], index, useLast);
    }
    return false;
}

bool CTechnique::GetMinMaxInfoN(int lines, int start, int end, double* min, double* max, int* minBar,
                                int* maxBar) {
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    double v[kLines] = {0, 0, 0, 0, 0};
    if (m_pKData && start >= 0) {
        if (end >= m_pKData->GetSize()) end = m_pKData->GetSize() - 1;
        for (int i = start; i <= end; ++i) {
            if (!CalculateN(lines, v, i, any)) continue;
            for (int k = 0; k < lines; ++k) {
                if (!any || v[k] < lo) lo = v[k], loBar = i;
                if (!any || v[k] > hi) hi = v[k], hiBar = i;
                any = true;
            }
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return any;
}

bool CTechnique::GetMinMaxInfo1(int s, int e, double* mn, double* mx) { return GetMinMaxInfoN(1, s, e, mn, mx, 0, 0); }
bool CTechnique::GetMinMaxInfo2(int s, int e, double* mn, double* mx) { return GetMinMaxInfoN(2, s, e, mn, mx, 0, 0); }
bool CTechnique::GetMinMaxInfo3(int s, int e, double* mn, double* mx, int* a, int* b) {
    return GetMinMaxInfoN(3, s, e, mn, mx, a, b);
}
bool CTechnique::GetMinMaxInfo4(int s, int e, double* mn, double* mx) { return GetMinMaxInfoN(4, s, e, mn, mx, 0, 0); }
bool CTechnique::GetMinMaxInfo5(int s, int e, double* mn, double* mx) { return GetMinMaxInfoN(5, s, e, mn, mx, 0, 0); }

bool CTechnique::GetMinMaxInfoMA(int start, int end, double* min, double* max, CTechnique* ma,
                                 const CSPDWordArray& days) {
    double lo = 0, hi = 0;
    bool any = false;
    for (int d = 0; d < days.GetSize(); ++d) {
        bool prev = false;
        double v = 0;
        for (int i = start; i <= end; ++i) {
            if (!ma->Calculate(&v, i, int(days[d]), prev)) continue;
            prev = true;
            if (!any || v < lo) lo = v;
            if (!any || v > hi) hi = v;
            any = true;
        }
    }
    if (days.GetSize() == 0) {
        if (min) *min = 0;
        if (max) *max = 0.05;
        return false;
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

int CTechnique::GetMaxDays(const CSPDWordArray& days) {
    int best = 0;
    for (int i = 0; i < days.GetSize(); ++i)
        if (int(days[i]) > best) best = int(days[i]);
    return best;
}

bool CTechnique::GetRangeLevels(int index, int* reason, int minBars, int window, double* low, double* high,
                                double f1, double f2) {
    if (reason) *reason = reasonNone;
    if (!m_pKData || index < minBars + window || index - window + 1 < 0) return false;
    double mn = 0, mx = 0;
    GetMinMaxInfo(index - window + 1, index, &mn, &mx, nullptr, nullptr);
    if (low) *low = mn + (mx - mn) * f1;
    if (high) *high = mn + (mx - mn) * f2;
    return true;
}

bool CTechnique::GetPriceRangeLevels(int index, int* reason, int minBars, int window, double* low, double* high,
                                     double f1, double f2) {
    if (reason) *reason = reasonNone;
    if (!m_pKData || index < minBars + window || index - window + 1 < 0 || index >= m_pKData->GetSize())
        return false;
    double mn = 0, mx = 0;
    if (!m_pKData->GetMinMax(index - window + 1, index, &mn, &mx)) return false;
    if (low) *low = mn + (mx - mn) * f1;
    if (high) *high = mn + (mx - mn) * f2;
    return true;
}

bool CTechnique::IsNewExtreme(int index, bool high, int window, int lineA, int lineB) const {
    if (window <= 2 || index < window - 1 || (lineA == 0 && lineB == 0)) return false;
    for (int line : {lineA, lineB}) {
        if (line == 0) continue;
        double now = 0;
        if (!GetCached(line, index, &now)) return false;
        int best = -1;
        double bestValue = 0;
        for (int k = index - window + 1; k < index; ++k) {
            double v = 0;
            if (!GetCached(line, k, &v)) return false;
            if (high ? v > now : v < now) return false;
            if (best < 0 || (high ? v >= bestValue : v <= bestValue)) best = k, bestValue = v;
        }
        if (best < index - 30 || best > index - 5) return false;
    }
    return true;
}

namespace {
// Every entry the test reads must hold a computed value; otherwise there is no divergence.
bool WindowComputed(const CTechnique& t, int index, int lineA, int lineB) {
    for (int line : {lineA, lineB}) {
        if (line == 0) continue;
        for (int k = index - kDivergenceWindow + 1; k <= index; ++k)
            if (!t.GetCached(line, k, nullptr)) return false;
    }
    return true;
}
}  // namespace

bool CTechnique::IsBottomDivergence(int index, int lineA, int lineB) {
    EnsureParameters();
    if (!CheckIndex(index) || index < kDivergenceWindow - 1) return false;
    PrepareCache(index - kDivergenceWindow + 1, index, false);
    if (!WindowComputed(*this, index, lineA, lineB)) return false;
    return m_pKData->IsNewHigh(index, false, kDivergenceWindow) &&
           !IsNewExtreme(index, false, kDivergenceWindow, lineA, lineB);
}

bool CTechnique::IsTopDivergence(int index, int lineA, int lineB) {
    EnsureParameters();
    if (!CheckIndex(index) || index < kDivergenceWindow - 1) return false;
    PrepareCache(index - kDivergenceWindow + 1, index, false);
    if (!WindowComputed(*this, index, lineA, lineB)) return false;
    return m_pKData->IsNewHigh(index, true, kDivergenceWindow) &&
           !IsNewExtreme(index, true, kDivergenceWindow, lineA, lineB);
}

bool CTechnique::IsCrossUp(int index, int lineA, int lineB) const {
    double a0, a1, b0, b1;
    if (index < 1 || !GetCached(lineA, index - 1, &a0) || !GetCached(lineA, index, &a1) ||
        !GetCached(lineB, index - 1, &b0) || !GetCached(lineB, index, &b1))
        return false;
    return b0 >= a0 && b1 < a1 && a0 <= a1 && b0 <= b1;
}

bool CTechnique::IsCrossDown(int index, int lineA, int lineB) const {
    double a0, a1, b0, b1;
    if (index < 1 || !GetCached(lineA, index - 1, &a0) || !GetCached(lineA, index, &a1) ||
        !GetCached(lineB, index - 1, &b0) || !GetCached(lineB, index, &b1))
        return false;
    return b0 <= a0 && b1 > a1 && a0 >= a1 && b0 >= b1;
}

int CTechnique::GetCrossSignal(int index, int buyLevel, int sellLevel, int* reason) {
    if (reason) *reason = reasonNone;
    double a0, b0, a1, b1;
    if (index < 1 || !Calculate(&a0, &b0, index - 1, false) || !Calculate(&a1, &b1, index, false)) return 0;
    if (a0 <= b0 && b1 < a1 && a0 <= a1 && b0 <= b1) {
        if (reason) *reason = reasonGoldenCross;
        return buyLevel;
    }
    if (a0 >= b0 && b1 > a1 && a0 >= a1 && b0 >= b1) {
        if (reason) *reason = reasonDeadCross;
        return sellLevel;
    }
    return 0;
}

int CTechnique::GetTrendSignal(int index, int buyLevel, int sellLevel, int* reason) {
    if (reason) *reason = reasonNone;
    double a, b;
    if (index < 1 || !Calculate(&a, index - 1, false) || !Calculate(&b, index, false)) return 0;
    if (b > a) {
        if (reason) *reason = reasonBullTrend;
        return buyLevel;
    }
    if (b < a) {
        if (reason) *reason = reasonBearTrend;
        return sellLevel;
    }
    return 0;
}

// The shorter (s) and the longer (l) of two day counts' averages at the bar before (0) and at the bar (1).
bool CTechnique::GetAveragePair(int index, int daysA, int daysB, double* s0, double* s1, double* l0, double* l1) {
    const int ds = daysA <= daysB ? daysA : daysB, dl = daysA <= daysB ? daysB : daysA;
    // The earlier bar first, so that running sums step forward.
    return Calculate(s0, index - 1, ds, false) && Calculate(s1, index, ds, false) &&
           Calculate(l0, index - 1, dl, false) && Calculate(l1, index, dl, false);
}

int CTechnique::GetMACrossSignal(int index, const CSPDWordArray& days, int buyLevel, int sellLevel, int* reason) {
    if (reason) *reason = reasonNone;
    const int n = days.GetSize();
    if (index < 1 || n < 2) return 0;
    for (int k = 1; k < n; ++k) {
        double s0, s1, l0, l1;
        if (!GetAveragePair(index, int(days[k - 1]), int(days[k]), &s0, &s1, &l0, &l1)) return 0;
        int dir = 0;
        if (s0 <= l0 && l1 < s1 && s0 <= s1 && l0 <= l1)
            dir = 1;
        else if (s0 >= l0 && l1 > s1 && s1 <= s0 && l1 <= l0)
            dir = -1;
        if (dir == 0) continue;
        bool confirmed = k == n - 1;
        for (int m = k + 1; m < n && !confirmed; ++m) {
            double p, q;
            if (!Calculate(&p, index - 1, int(days[m]), false) || !Calculate(&q, index, int(days[m]), false)) return 0;
            if (dir > 0 ? p <= q : p >= q) confirmed = true;
        }
        if (!confirmed) continue;
        if (reason) *reason = dir > 0 ? reasonGoldenCross : reasonDeadCross;
        return dir > 0 ? buyLevel : sellLevel;
    }
    return 0;
}

int CTechnique::GetMAArrangeSignal(int index, const CSPDWordArray& days, int buyLevel, int sellLevel,
                                   int* reason) {
    if (reason) *reason = reasonNone;
    const int n = days.GetSize();
    if (index < 1 || n < 2) return 0;
    int kind = 0;
    for (int k = 1; k < n; ++k) {
        double s0, s1, l0, l1;
        if (!GetAveragePair(index, int(days[k - 1]), int(days[k]), &s0, &s1, &l0, &l1)) return 0;
        int pair = 0;
        if (s1 >= s0 && l1 >= l0 && s1 > l1 && s0 - l0 <= s1 - l1)
            pair = 1;
        else if (s1 <= s0 && l1 <= l0 && s1 < l1 && s0 - l0 >= s1 - l1)
            pair = -1;
        if (pair == 0 || (kind != 0 && pair != kind)) return 0;
        kind = pair;
    }
    if (reason) *reason = kind > 0 ? reasonBullTrend : reasonBearTrend;
    return kind > 0 ? buyLevel : sellLevel;
}
