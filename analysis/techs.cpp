#include "analysis/techs.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "base/text.h"
#include "store/database.h"
#include "store/stock.h"

// ---- MA ----

CMA::CMA() : CParamTech("TALLLL", {typeSimple, 15, -15, 10, -10}, {}, {5, 10, 20}, "A") {}

bool CMA::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    const CKData& k = *m_pKData;
    if (m_ints[kType] == typeExponential) {
        if (useLast && v && index > 0) {
            *v = 2 * Price(k, index) / (days + 1) + (days - 1) * *v / (days + 1);
            return true;
        }
        double e = Price(k, 0);
        for (int t = 1; t <= index; ++t) e = 2 * Price(k, t) / (days + 1) + (days - 1) * e / (days + 1);
        if (v) *v = e;
        return true;
    }
    // Continuing a simple average moves its window by one bar.
    if (useLast && v && index >= days)
        *v += (Price(k, index) - Price(k, index - days)) / days;
    else
        return k.GetMA(v, index, days);
    return true;
}

int CMA::GetSignal(int index, int* reason) {
    EnsureParameters();
    int s = GetMACrossSignal(index, m_days, m_ints[kCrossBuy], m_ints[kCrossSell], reason);
    if (s != 0) return s;
    return GetMAArrangeSignal(index, m_days, m_ints[kTrendBuy], m_ints[kTrendSell], reason);
}

// The lines of every day count in one pass each, with the same steps as Calculate.
bool CMA::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    if (!m_pKData || m_days.GetSize() == 0) return GetMinMaxInfoMA(start, end, min, max, this, m_days);
    const CKData& k = *m_pKData;
    start = std::max(start, 0);
    end = std::min(end, k.GetSize() - 1);
    double lo = 0, hi = 0;
    bool any = false;
    for (int d = 0; d < m_days.GetSize(); ++d) {
        const int n = int(m_days[d]);
        int i = std::max(start, n - 1);
        if (i > end) continue;
        double v = 0;
        if (!Calculate(&v, i, n, false)) continue;
        for (;;) {
            if (!any || v < lo) lo = v;
            if (!any || v > hi) hi = v;
            any = true;
            if (++i > end) break;
            if (m_ints[kType] == typeExponential)
                v = 2 * Price(k, i) / (n + 1) + (n - 1) * v / (n + 1);
            else
                v += (Price(k, i) - Price(k, i - n)) / n;
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- BBI ----

CBBI::CBBI() : CParamTech("DDDDLL", {3, 6, 12, 24, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

bool CBBI::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (LoadFromCache(index, v)) return true;
    double sum = 0;
    for (int k = kDays1; k <= kDays4; ++k) {
        double ma;
        if (!m_pKData->GetMA(&ma, index, m_ints[k])) return false;
        sum += ma;
    }
    double bbi = sum / 4;
    StoreToCache(index, &bbi);
    if (v) *v = bbi;
    return true;
}

int CBBI::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    EnsureParameters();
    double lo0, hi0, lo1, hi1, prev, now;
    if (index < 1 || !GetPriceRangeLevels(index, reason, 0, kRangeWindow, &lo1, &hi1, 0.4, 0.6) ||
        !GetPriceRangeLevels(index - 1, reason, 0, kRangeWindow, &lo0, &hi0, 0.4, 0.6) ||
        !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false))
        return 0;
    double close = (*m_pKData)[index].close;
    if (close < lo1 && prev > lo0 && now < lo1) {
        if (reason) *reason = reasonGoldenCross;
        return m_ints[kBuy];
    }
    if (close > hi1 && prev < hi0 && now > hi1) {
        if (reason) *reason = reasonDeadCross;
        return m_ints[kSell];
    }
    return 0;
}

bool CBBI::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    return GetMinMaxInfo1(start, end, min, max);
}

// ---- BOLL ----

CBOLL::CBOLL() : CParamTech("FFDLL", {20, 10, -10}, {2.0, 2.0}) {}

std::string CBOLL::GetNameParams() {
    return StringPrintf("(%d,%g,%g)", m_ints[kDays], m_doubles[kUpWidth], m_doubles[kDownWidth]);
}

bool CBOLL::Calculate(double* mid, double* up, double* down, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (n <= 1 || index + 1 < n) return false;
    if (LoadFromCache(index, mid, up, down)) return true;
    double v[3];
    Compute(index, v);
    StoreToCache(index, &v[0], &v[1], &v[2]);
    if (mid) *mid = v[0];
    if (up) *up = v[1];
    if (down) *down = v[2];
    return true;
}

namespace {
// MID and the sample deviation of the n prices ending at index.
template <typename PriceOf>
void BollWindow(int index, int n, PriceOf price, double* mid, double* deviation) {
    double sum = 0;
    for (int t = index - n + 1; t <= index; ++t) sum += price(t);
    const double m = sum / n;
    double squares = 0;
    for (int t = index - n + 1; t <= index; ++t) {
        const double d = price(t) - m;
        squares += d * d;
    }
    *mid = m;
    *deviation = std::sqrt(squares / (n - 1));
}
}  // namespace

void CBOLL::Compute(int index, double* v) const {
    const CKData& k = *m_pKData;
    const int n = m_ints[kDays], mode = k.GetPriceMode();
    double m, s;
    if (mode != priceOpen && mode != priceAverage) {
        const KDATA* bars = k.GetData();
        BollWindow(index, n, [bars](int t) { return double(bars[t].close); }, &m, &s);
    } else {
        BollWindow(index, n, [&k](int t) { return k.GetPriceAt(t); }, &m, &s);
    }
    v[0] = m;
    v[1] = m + s * m_doubles[kUpWidth];
    v[2] = m - s * m_doubles[kDownWidth];
}

int CBOLL::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double up, down;
    if (!Calculate(nullptr, &up, &down, index, false)) return 0;
    double close = (*m_pKData)[index].close;
    if (close < down) {
        if (reason) *reason = reasonSupport;
        return m_ints[kSupport];
    }
    if (close > up) {
        if (reason) *reason = reasonResistance;
        return m_ints[kResistance];
    }
    return 0;
}

// As GetMinMaxInfo3, with the parameters checked once for the whole range.
bool CBOLL::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    if (m_pKData && m_ints[kDays] > 1) {
        start = std::max(start, m_ints[kDays] - 1);
        end = std::min(end, m_pKData->GetSize() - 1);
        const int known = m_nLastStored;
        for (int i = start; i <= end; ++i) {
            double v[3];
            if (i > known || !LoadComputed(i, v, 3)) {
                Compute(i, v);
                StoreComputed(i, v, 3);
            }
            for (double x : v) {
                if (!any || x < lo) lo = x, loBar = i;
                if (!any || x > hi) hi = x, hiBar = i;
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

// ---- PV ----

CPV::CPV() : CParamTech("", {}) {}

bool CPV::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    if (LoadFromCache(index, v)) return true;
    const KDATA& b = (*m_pKData)[index];
    if (b.volume <= kPriceEpsilon || b.amount <= kPriceEpsilon) return false;
    double p = double(b.amount) / b.volume;
    int steps = 0;
    while (p < b.low && steps < 10) p *= 10, ++steps;
    while (p > b.high && steps < 20) p /= 10, ++steps;
    if (p < b.low) p = (double(b.open) + b.high + b.low + b.close) / 4;
    StoreToCache(index, &p);
    if (v) *v = p;
    return true;
}

bool CPV::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    return GetMinMaxInfo1(start, end, min, max);
}

// ---- SAR ----

CSAR::CSAR() : CParamTech("DNFFLL", {4, 1, 10, -10}, {0.02, 0.2}) {}

void CSAR::Clear() {
    CTechnique::Clear();
    m_state.clear();
    m_stateValid.clear();
}

bool CSAR::Step(int t, const RunState* before, double prev, RunState* after, double* sar) const {
    const int days = m_ints[kDays];
    if (t + 1 < days) return false;
    const CKData& k = *m_pKData;
    const double step = m_doubles[kStep], maximum = m_doubles[kMaximum];
    if (before && t > 0 && !before->pending) {
        RunState s = *before;
        const double h = k[t - 1].high, l = k[t - 1].low;
        double v;
        if (s.rising) {
            v = prev + s.accel * (h - prev);
            if (h > s.highest) s.highest = h, s.accel = std::min(s.accel + step, maximum);
            s.pending = k[t].low < v;
        } else {
            v = prev - (prev - l) * s.accel;
            if (l < s.lowest) s.lowest = l, s.accel = std::min(s.accel + step, maximum);
            s.pending = k[t].high > v;
        }
        *after = s;
        *sar = v;
        return true;
    }
    RunState s;
    double lo = 0, hi = 0;
    k.GetMinMax(t - days + 1, t, &lo, &hi);
    s.rising = before && before->pending ? !before->rising : m_ints[kInitialDirection] != 0;
    s.pending = 0;
    s.accel = step;
    s.highest = hi;
    s.lowest = lo;
    *after = s;
    *sar = s.rising ? lo : hi;
    return true;
}

// Runs from the last bar with a known state (or bar 0) up to index, storing every bar.
bool CSAR::RunTo(int index, double* out) {
    const int size = m_pKData->GetSize();
    if (int(m_state.size()) != size) {
        m_state.assign(size, RunState{0, 0, 0, -1, -1});
        m_stateValid.assign(size, 0);
    }
    int from = index;
    while (from > 0 && !m_stateValid[from - 1]) --from;
    const RunState* before = nullptr;
    double prev = 0;
    if (from > 0) {
        before = &m_state[from - 1];
        GetCached(1, from - 1, &prev);
    }
    bool ok = false;
    for (int t = from; t <= index; ++t) {
        double v;
        if (!Step(t, before, prev, &m_state[t], &v)) continue;
        m_stateValid[t] = 1;
        StoreToCache(t, &v);
        before = &m_state[t];
        prev = v;
        ok = t == index;
        if (ok && out) *out = v;
    }
    return ok;
}

bool CSAR::Calculate(double* v, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (index + 1 < m_ints[kDays]) return false;
    if (LoadFromCache(index, v) && index < int(m_stateValid.size()) && m_stateValid[index]) return true;
    if (useLast && v && index > 0 && int(m_stateValid.size()) == m_pKData->GetSize() && m_stateValid[index - 1]) {
        double out;
        if (!Step(index, &m_state[index - 1], *v, &m_state[index], &out)) return false;
        m_stateValid[index] = 1;
        StoreToCache(index, &out);
        *v = out;
        return true;
    }
    return RunTo(index, v);
}

int CSAR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double v;
    // The run is read from the stored states: no clearing, so the remembered intensity stays.
    if (!Calculate(&v, index, false) || index >= int(m_state.size())) return 0;
    const RunState& s = m_state[index];
    if (!s.pending) return 0;
    if (!s.rising) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (reason) *reason = reasonBearTrend;
    return m_ints[kSell];
}

bool CSAR::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    return GetMinMaxInfo1(start, end, min, max);
}

// ---- DJ ----

// The Shenzhen default is the Shenzhen component index: the Shanghai code under the Shenzhen
// market names a file that never exists, and Shenzhen stocks got no overlay.
CDJ::CDJ() : CParamTech("SS", {}, {}, {}, "", {"1A0001_1", "399001_0"}) {}

int CDJ::SetOverlayCode(CStDatabase* database, const char* currentCode, int ktype, int exrightMode, int priceMode) {
    EnsureParameters();
    // The index stocks are shared by every chart; the remembered code is the last chart's.
    static std::mutex s_lock;
    static std::string s_lastCode;
    std::lock_guard<std::mutex> lock(s_lock);
    const std::string code = currentCode ? currentCode : "";
    const bool changed = code != s_lastCode;
    s_lastCode = code;
    CStock& shanghai = GetIndexStock();
    CStock& shenzhen = GetShenzhenIndexStock();
    if (GbkCompareNoCase(shanghai.GetStockCode(), m_strings[kShanghaiCode].c_str()) != 0)
        shanghai.SetStockCode(kMarketShangHai, m_strings[kShanghaiCode].c_str());
    if (GbkCompareNoCase(shenzhen.GetStockCode(), m_strings[kShenzhenCode].c_str()) != 0)
        shenzhen.SetStockCode(kMarketShenZhen, m_strings[kShenzhenCode].c_str());
    int ok = PrepareStockData(database, &shanghai, ktype, exrightMode, priceMode, false, changed);
    ok &= PrepareStockData(database, &shenzhen, ktype, exrightMode, priceMode, false, changed);
    return ok;
}

// ---- MACD ----

CMACD::CMACD() : CParamTech("DDDLLLL", {12, 26, 9, 15, -15, 10, -10}, {}, {}, "(%d,%d,%d)") {}

CMACD::CMACD(const char* layout, std::initializer_list<int> ints, const char* caption)
    : CParamTech(layout, ints, {}, {}, caption) {}

int CMACD::WarmUpBars() {
    EnsureParameters();
    // The signal average decays as well: leaving it out starts DEA at 0 too close to the bar.
    const double ks = double(m_ints[kShort] - 1) / (m_ints[kShort] + 1);
    const double kl = double(m_ints[kLong] - 1) / (m_ints[kLong] + 1);
    const double kg = double(m_ints[kSignal] - 1) / (m_ints[kSignal] + 1);
    double ps = ks, pl = kl, pg = kg;
    int j = 1;
    while (!(ps < 0.001 && pl < 0.001 && pg < 0.001)) {
        ps *= ks, pl *= kl, pg *= kg;
        ++j;
    }
    return j;
}

bool CMACD::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int ns = m_ints[kShort], nl = m_ints[kLong], ng = m_ints[kSignal];
    if (index + 1 < ns || index + 1 < nl || index + 1 < ng) return false;
    if (LoadFromCache(index, v1, v2, v3, v4)) return true;
    const CKData& k = *m_pKData;
    double es, el, dea;
    SetFactors();
    if (useLast && v1 && v2 && v4 && index > 0) {
        double v[4] = {*v1, *v2, 0, *v4};
        Step(index, v);
        es = v[0], el = v[1], dea = v[3];
    } else {
        int n = std::max(0, index - (WarmUpBars() - 1));
        double v[4] = {Price(k, n), Price(k, n), 0, 0};
        for (int t = n; t <= index; ++t) Step(t, v);
        es = v[0], el = v[1], dea = v[3];
    }
    double dif = es - el;
    StoreToCache(index, &es, &el, &dif, &dea);
    if (v1) *v1 = es;
    if (v2) *v2 = el;
    if (v3) *v3 = dif;
    if (v4) *v4 = dea;
    return true;
}

namespace {
inline void TakeMACDRange(const double* v, int i, double* lo, double* hi, int* loBar, int* hiBar) {
    const double bar = 2 * (v[2] - v[3]);
    const double a = std::min(v[2], std::min(v[3], bar)), b = std::max(v[2], std::max(v[3], bar));
    if (a < *lo) *lo = a, *loBar = i;
    if (b > *hi) *hi = b, *hiBar = i;
}
}  // namespace

void CMACD::SetFactors() {
    for (int k = 0; k < 3; ++k) {
        const int n = m_ints[kShort + k];
        m_fNew[k] = 2.0 / (n + 1);
        m_fOld[k] = (n - 1.0) / (n + 1);
    }
}

void CMACD::Step(int index, double* v) const {
    const double p = Price(*m_pKData, index);
    const double es = m_fNew[0] * p + m_fOld[0] * v[0];
    const double el = m_fNew[1] * p + m_fOld[1] * v[1];
    v[3] = m_fOld[2] * v[3] + m_fNew[2] * (es - el);
    v[0] = es, v[1] = el, v[2] = es - el;
}

bool CMACD::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    EnsureParameters();
    SetFactors();
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        double v[4] = {0, 0, 0, 0};
        int i = start;
        // The first bar that computes, then every later one continued from it (as with useLast).
        for (; i <= end && !any; ++i) {
            if (!LoadComputed(i, v, 4) && !Calculate(&v[0], &v[1], &v[2], &v[3], i, false)) continue;
            any = true;
            lo = hi = v[2];
            loBar = hiBar = i;
            TakeMACDRange(v, i, &lo, &hi, &loBar, &hiBar);
        }
        const int known = m_nLastStored;
        for (; i <= end; ++i) {
            if (i > known || !LoadComputed(i, v, 4)) {
                Step(i, v);
                StoreComputed(i, v, 4);
            }
            TakeMACDRange(v, i, &lo, &hi, &loBar, &hiBar);
        }
    }
    lo -= std::fabs(lo) * 0.02;
    if (std::fabs(lo) < 0.0001) lo = -0.01;
    hi += std::fabs(hi) * 0.02;
    if (std::fabs(hi) < 0.0001) hi = 0.01;
    if (hi - lo < 0.03) hi = lo + 0.05;
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return true;
}

int CMACD::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index)) return 0;
    EnsureParameters();
    // Fill the whole series once; later calls find the last bar cached and skip the walk.
    if (!GetCached(3, index, nullptr) || !GetCached(4, index, nullptr)) PrepareCache(0, -1, false);
    const int minBars = std::max(m_ints[kShort], std::max(m_ints[kLong], m_ints[kSignal]));
    double low, high, dif, dea;
    if (!GetRangeLevels(index, reason, minBars, kRangeWindow, &low, &high, 0.309, 0.682)) return 0;
    if (!Calculate(nullptr, nullptr, &dif, &dea, index, false)) return 0;
    int s = 0, r = reasonNone;
    if (IsBottomDivergence(index, 3, 4))
        s = m_ints[kDivBuy], r = reasonBottomDivergence;
    else if (IsTopDivergence(index, 3, 4))
        s = m_ints[kDivSell], r = reasonTopDivergence;
    else if (dif < low && dea < low)
        s = m_ints[kCrossBuy], r = reasonGoldenCross;
    else if (dif > high && dea > high)
        s = m_ints[kCrossSell], r = reasonDeadCross;
    if (reason) *reason = r;
    return s;
}

// ---- MIKE ----

CMIKE::CMIKE() : CParamTech("D", {12}, {}, {}, "%d") {}

bool CMIKE::Calculate(double* wr, double* mr, double* sr, double* ws, double* ms, double* ss, int index) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (index + 1 < 2 * n) return false;
    const CKData& k = *m_pKData;
    const KDATA& b = k[index];
    float typ = (b.high + b.low + b.close) / 3;
    float ln = b.low, hn = b.high, l2n = b.low, h2n = b.high;
    for (int t = index - 2 * n + 1; t <= index; ++t) {
        if (t > index - n) ln = std::min(ln, k[t].low), hn = std::max(hn, k[t].high);
        l2n = std::min(l2n, k[t].low), h2n = std::max(h2n, k[t].high);
    }
    if (wr) *wr = typ + (typ - ln);
    if (mr) *mr = typ + (hn - ln);
    if (sr) *sr = typ + (h2n - ln);
    if (ws) *ws = typ - (hn - typ);
    if (ms) *ms = typ - (hn - ln);
    if (ss) *ss = typ - (hn - l2n);
    return true;
}

// ---- PSY ----

CPSY::CPSY() : CParamTech("DLL", {12, 10, -10}, {}, {}, "(%d)") {}

bool CPSY::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (index < n) return false;
    if (LoadFromCache(index, v)) return true;
    const CKData& k = *m_pKData;
    int up = 0;
    for (int t = index - n + 1; t <= index; ++t)
        if (Price(k, t) > Price(k, t - 1)) ++up;
    double psy = up * 100.0 / n;
    StoreToCache(index, &psy);
    if (v) *v = psy;
    return true;
}

int CPSY::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double prev, now;
    if (index < 1 || !Calculate(&prev, index - 1, false) || !Calculate(&now, index, false)) return 0;
    if (now < 30 && now >= prev) {
        if (reason) *reason = reasonOversold;
        return m_ints[kBuy];
    }
    if (now > 70 && now <= prev) {
        if (reason) *reason = reasonOverbought;
        return m_ints[kSell];
    }
    return 0;
}

bool CPSY::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    if (m_pKData && start >= 0)
        for (int i = start; i <= end && i < m_pKData->GetSize(); ++i) Calculate(nullptr, i, false);
    if (min) *min = 0;
    if (max) *max = 100;
    return true;
}

// ---- VOLUME ----

CVOLUME::CVOLUME() : CParamTech("ALLLL", {15, -15, 10, -10}, {}, {5, 10}, "A") {}

bool CVOLUME::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    // Each day count has its own cache line, so two counts never read each other's values.
    const int line = DayCacheLine(m_days, days);
    double* out[kLines] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    if (line >= 0) {
        out[line] = v;
        if (v && LoadFromCache(index, out[0], out[1], out[2], out[3], out[4])) return true;
    }
    const KDATA* b = m_pKData->GetData();
    double sum = 0;
    for (int t = index - days + 1; t <= index; ++t) sum += b[t].volume;
    double ma = sum / days;
    if (line >= 0) {
        const double* in[kLines] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        in[line] = &ma;
        StoreToCache(index, in[0], in[1], in[2], in[3], in[4]);
    }
    if (v) *v = ma;
    return true;
}

int CVOLUME::GetSignal(int index, int* reason) {
    EnsureParameters();
    int r = reasonNone;
    int s = GetMAArrangeSignal(index, m_days, m_ints[kTrendBuy], m_ints[kTrendSell], &r);
    // A trend against a new price extreme turns into a divergence (compared with the user's
    // trend levels, so changed levels still work).
    if (s != 0 && s == m_ints[kTrendBuy] && r == reasonBullTrend &&
        m_pKData->IsNewHigh(index, false, kDivergenceWindow)) {
        s = m_ints[kDivBuy];
        r = reasonBottomDivergence;
    } else if (s != 0 && s == m_ints[kTrendSell] && r == reasonBearTrend &&
               m_pKData->IsNewHigh(index, true, kDivergenceWindow)) {
        s = m_ints[kDivSell];
        r = reasonTopDivergence;
    }
    if (reason) *reason = r;
    return s;
}

bool CVOLUME::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    if (!m_pKData || start < 0 || end < start || start >= m_pKData->GetSize()) return false;
    end = std::min(end, m_pKData->GetSize() - 1);
    EnsureParameters();
    double top = 0;
    for (int i = start; i <= end; ++i) {
        top = std::max(top, double((*m_pKData)[i].volume));
        for (int d = 0; d < m_days.GetSize(); ++d) Calculate(nullptr, i, int(m_days[d]), false);
    }
    if (min) *min = 0;
    if (max) *max = std::max(top + 1, 3.0);
    return true;
}

// ---- price bars ----

bool CKLine::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (!m_pKData) return false;
    const int size = m_pKData->GetSize();
    if (start < 0 || start >= size || end < start || end >= size) return false;
    const CKData& k = *m_pKData;
    double lo = k[start].low, hi = k[start].high;
    int loBar = start, hiBar = start;
    for (int i = start + 1; i <= end; ++i) {
        if (k[i].low < lo) lo = k[i].low, loBar = i;
        if (k[i].high > hi) hi = k[i].high, hiBar = i;
    }
    auto margin = [](double v) {
        double a = std::fabs(v);
        return a < 10 ? 0.05 : a < 100 ? 0.03 : a < 1000 ? 0.02 : 0.01;
    };
    lo -= margin(lo) * std::fabs(lo);
    if (lo <= 0) lo = 0;
    hi += margin(hi) * std::fabs(hi);
    if (hi - lo < 0.03) hi = lo + 0.03;
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return true;
}
