#include "analysis/techs.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <string>

#include "base/text.h"
#include "store/database.h"
#include "store/stock.h"

// ---- MA ----

CMA::CMA() : CParamTech("TALLLL", {typeSimple, 15, -15, 10, -10}, {}, {5, 10, 20}, "A") {}

void CMA::Clear() {
    CTechnique::Clear();
    for (Run& r : m_runs) r = Run();
    m_nNextRun = 0;
}

CMA::Run* CMA::FindRun(int days, int type) {
    for (Run& r : m_runs)
        if (r.days == days && r.type == type) return &r;
    return nullptr;
}

CMA::Run& CMA::TakeRun(int days, int type) {
    if (Run* r = FindRun(days, type)) return *r;
    Run& r = m_runs[m_nNextRun];
    m_nNextRun = (m_nNextRun + 1) % kRuns;
    r = Run();
    r.days = days;
    r.type = type;
    return r;
}

bool CMA::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    const CKData& k = *m_pKData;
    auto price = [&k](int t) { return Price(k, t); };
    // A walk in progress: its first bar checked the parameters, and a type of 1 or 2 is valid.
    if (useLast && v && index > 0 && days > 0 && index + 1 >= days) {
        const int type = m_ints[kType];
        if (type == typeExponential) {
            *v = 2 * Price(k, index) / (days + 1) + (days - 1) * *v / (days + 1);
            return true;
        }
        if (type == typeSimple) {
            Run* r = FindRun(days, typeSimple);
            if (r && r->sum.GetBar() == index - 1) {
                *v = r->sum.Next(price) / days;
                return true;
            }
        }
    }
    EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    if (m_ints[kType] == typeExponential) {
        if (useLast && v && index > 0) {
            *v = 2 * Price(k, index) / (days + 1) + (days - 1) * *v / (days + 1);
            return true;
        }
        // Run from bar 0, or on from the last bar this day count reached: the same steps.
        Run& r = TakeRun(days, typeExponential);
        int t = 0;
        double e = Price(k, 0);
        if (r.bar >= 0 && r.bar <= index) t = r.bar, e = r.value;
        for (++t; t <= index; ++t) e = 2 * Price(k, t) / (days + 1) + (days - 1) * e / (days + 1);
        r.bar = index;
        r.value = e;
        if (v) *v = e;
        return true;
    }
    // Summed afresh; a walk that continues from here steps the running sum.
    Run& r = TakeRun(days, typeSimple);
    const double sum = r.sum.Start(index, days, price);
    if (v) *v = sum / days;
    return true;
}

int CMA::GetSignal(int index, int* reason) {
    EnsureParameters();
    int s = GetMACrossSignal(index, m_days, m_ints[kCrossBuy], m_ints[kCrossSell], reason);
    if (s != 0) return s;
    return GetMAArrangeSignal(index, m_days, m_ints[kTrendBuy], m_ints[kTrendSell], reason);
}

namespace {

// The lines of up to kFused day counts of a simple average over start..end in one pass over the
// bars, each with a running window sum; lo and hi take every value.
constexpr int kFused = 8;

template <typename PriceOf>
bool SimpleAverageRange(const PriceOf& price, const int* days, int count, int start, int end, double* lo,
                        double* hi) {
    CWindowSum sums[kFused];
    int begin[kFused];
    int first = end + 1;
    for (int j = 0; j < count; ++j) {
        begin[j] = std::max(start, days[j] - 1);
        first = std::min(first, begin[j]);
    }
    bool any = false;
    double l = *lo, h = *hi;
    for (int i = first; i <= end; ++i) {
        for (int j = 0; j < count; ++j) {
            if (i < begin[j]) continue;
            const double s = i == begin[j] ? sums[j].Start(i, days[j], price) : sums[j].Next(price);
            const double v = s / days[j];
            l = v < l ? v : l;
            h = v > h ? v : h;
            any = true;
        }
    }
    *lo = l;
    *hi = h;
    return any;
}

}  // namespace

// The lines of every day count in one pass over the bars, with the same steps as Calculate.
bool CMA::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    if (!m_pKData || m_days.GetSize() == 0) return GetMinMaxInfoMA(start, end, min, max, this, m_days);
    const CKData& k = *m_pKData;
    start = std::max(start, 0);
    end = std::min(end, k.GetSize() - 1);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    bool any = false;
    if (m_ints[kType] == typeExponential) {
        for (int d = 0; d < m_days.GetSize(); ++d) {
            const int n = int(m_days[d]);
            int i = std::max(start, n - 1);
            if (i > end) continue;
            double v = 0;
            if (!Calculate(&v, i, n, false)) continue;
            for (;;) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                any = true;
                if (++i > end) break;
                v = 2 * Price(k, i) / (n + 1) + (n - 1) * v / (n + 1);
            }
        }
    } else {
        for (int d = 0; d < m_days.GetSize(); d += kFused) {
            int days[kFused];
            const int count = std::min(int(kFused), m_days.GetSize() - d);
            for (int j = 0; j < count; ++j) days[j] = int(m_days[d + j]);
            any |= WithPrices(k, [&](const auto& price) {
                return SimpleAverageRange(price, days, count, start, end, &lo, &hi);
            });
        }
    }
    if (!any) lo = hi = 0;
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- BBI ----

CBBI::CBBI() : CParamTech("DDDDLL", {3, 6, 12, 24, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

void CBBI::Clear() {
    CTechnique::Clear();
    for (CWindowSum& r : m_runs) r.Reset();
}

bool CBBI::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (LoadFromCache(index, v)) return true;
    for (int k = kDays1; k <= kDays4; ++k)
        if (index + 1 < m_ints[k]) return false;
    const CKData& series = *m_pKData;
    auto price = [&series](int t) { return Price(series, t); };
    double sum = 0;
    for (int k = kDays1; k <= kDays4; ++k) sum += m_runs[k].At(index, m_ints[k], price) / m_ints[k];
    double bbi = sum / 4;
    StoreComputed(index, &bbi, 1);
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

void CBOLL::Clear() {
    CTechnique::Clear();
    m_run = Run();
}

std::string CBOLL::GetNameParams() {
    return StringPrintf("(%d,%g,%g)", m_ints[kDays], m_doubles[kUpWidth], m_doubles[kDownWidth]);
}

template <typename PriceOf>
void CBOLL::Run::Start(int index, int n, const PriceOf& price) {
    origin = price(index - n + 1);
    double a = 0, ca = 0, b = 0, cb = 0;
    for (int t = index - n + 1; t <= index; ++t) {
        const double d = price(t) - origin;
        CompensatedAdd(a, ca, d);
        CompensatedAdd(b, cb, d * d);
    }
    s1 = a + ca;
    s2 = b + cb;
    peak = s2;
    bar = index;
    days = n;
    steps = 0;
}

template <typename PriceOf>
void CBOLL::Run::Next(const PriceOf& price) {
    const int t = bar + 1;
    if (++steps >= CWindowSum::kRefresh) return Start(t, days, price);
    const double in = price(t) - origin, out = price(t - days) - origin;
    s1 += in - out;
    s2 += in * in - out * out;
    bar = t;
    if (s2 > peak) {
        peak = s2;
    } else if (!(s2 * 16 >= peak)) {
        return Start(t, days, price);  // the squares shrank: a huge price left the window
    }
    // s2 = n (mean - origin)^2 + the centred sum; when the first part dwarfs the second the origin
    // has drifted away from the prices and is moved to them. Right after a start the ratio is at
    // most n + 1, so this never repeats at once.
    if (s2 > (s2 - s1 * (s1 / days)) * 4096) Start(t, days, price);
}

void CBOLL::Run::Lines(double* mid, double* deviation) const {
    // origin * n + s1 is the window's plain sum whatever the origin, so MID does not depend on
    // where the run started.
    *mid = (origin * days + s1) / days;
    const double centred = s2 - s1 * (s1 / days);
    *deviation = centred > 0 ? std::sqrt(centred / (days - 1)) : 0;
}

template <typename PriceOf>
void CBOLL::Advance(int index, int n, const PriceOf& price) {
    if (m_run.bar >= 0 && m_run.days == n) {
        if (m_run.bar == index) return;
        if (m_run.bar == index - 1) return m_run.Next(price);
    }
    m_run.Start(index, n, price);
}

// The three lines at index (n > 1 and index + 1 >= n checked by the caller).
void CBOLL::LinesAt(int index, double* v) {
    const int n = m_ints[kDays];
    WithPrices(*m_pKData, [&](const auto& price) { Advance(index, n, price); });
    double m, s;
    m_run.Lines(&m, &s);
    v[0] = m;
    v[1] = m + s * m_doubles[kUpWidth];
    v[2] = m - s * m_doubles[kDownWidth];
}

bool CBOLL::Calculate(double* mid, double* up, double* down, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    // A walk that continues with the day count of its run was checked at its first bar.
    if (!useLast || m_run.bar < 0 || m_run.days != m_ints[kDays]) EnsureParameters();
    const int n = m_ints[kDays];
    if (n <= 1 || index + 1 < n) return false;
    if (LoadFromCache(index, mid, up, down)) return true;
    double v[3];
    LinesAt(index, v);
    StoreComputed(index, v, 3);
    if (mid) *mid = v[0];
    if (up) *up = v[1];
    if (down) *down = v[2];
    return true;
}

bool CBOLL::GetDeviation(int index, double* deviation) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (n <= 1 || index + 1 < n) return false;
    WithPrices(*m_pKData, [&](const auto& price) { Advance(index, n, price); });
    double m, s;
    m_run.Lines(&m, &s);
    if (deviation) *deviation = s;
    return true;
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

// As GetMinMaxInfo3, in one pass: cached bars are read, the others continue the running sums.
bool CBOLL::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    const int n = m_ints[kDays];
    if (m_pKData && n > 1) {
        start = std::max(start, n - 1);
        end = std::min(end, m_pKData->GetSize() - 1);
        if (start <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(3) ? CacheEnd() : 0;
            const double up = m_doubles[kUpWidth], down = m_doubles[kDownWidth];
            WithPrices(*m_pKData, [&](const auto& price) {
                Run run = m_run;
                for (int i = start; i <= end; ++i) {
                    double v[3];
                    if (i > known || !LoadComputed(i, v, 3)) {
                        if (run.bar >= 0 && run.days == n && run.bar == i - 1)
                            run.Next(price);
                        else if (!(run.bar == i && run.days == n))
                            run.Start(i, n, price);
                        double m, s;
                        run.Lines(&m, &s);
                        v[0] = m, v[1] = m + s * up, v[2] = m - s * down;
                        if (i < cacheEnd) {
                            SetEntry(0, i, v[0]);
                            SetEntry(1, i, v[1]);
                            SetEntry(2, i, v[2]);
                        }
                    }
                    for (double x : v) {
                        if (!any || x < lo) lo = x, loBar = i;
                        if (!any || x > hi) hi = x, hiBar = i;
                        any = true;
                    }
                }
                m_run = run;
            });
            if (cacheEnd > 0) NoteStored(std::min(end, cacheEnd - 1));
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
    m_run = Run();
    m_flags.clear();
}

bool CSAR::SameRunParameters() const {
    return m_ints[kDays] == m_runDays && m_ints[kInitialDirection] == m_runDirection &&
           m_doubles[kStep] == m_runStep && m_doubles[kMaximum] == m_runMaximum;
}

// The run and the flags belong to the parameters they were computed with: other (checked)
// parameters start them again.
void CSAR::TakeRunParameters() {
    if (SameRunParameters()) return;
    EnsureParameters();
    if (SameRunParameters()) return;
    m_run = Run();
    m_flags.clear();
    m_runDays = m_ints[kDays];
    m_runDirection = m_ints[kInitialDirection];
    m_runStep = m_doubles[kStep];
    m_runMaximum = m_doubles[kMaximum];
}

// Moves the run to bar t: one step when it holds bar t-1 with no reversal pending, else a restart
// (the opposite direction after a pending reversal, else the initial one). True for a restart.
bool CSAR::Advance(Run& r, int t) const {
    const CKData& k = *m_pKData;
    if (r.bar >= 0 && r.bar == t - 1 && !r.pending) {
        const double h = k[t - 1].high, l = k[t - 1].low;
        if (r.rising) {
            r.sar = r.sar + r.accel * (h - r.sar);
            if (h > r.highest) r.highest = h, r.accel = std::min(r.accel + m_runStep, m_runMaximum);
            r.pending = k[t].low < r.sar;
        } else {
            r.sar = r.sar - (r.sar - l) * r.accel;
            if (l < r.lowest) r.lowest = l, r.accel = std::min(r.accel + m_runStep, m_runMaximum);
            r.pending = k[t].high > r.sar;
        }
        r.bar = t;
        return false;
    }
    double lo = 0, hi = 0;
    k.GetMinMax(t - m_runDays + 1, t, &lo, &hi);
    r.rising = r.bar >= 0 && r.bar == t - 1 && r.pending ? !r.rising : m_runDirection != 0;
    r.pending = 0;
    r.accel = m_runStep;
    r.highest = hi;
    r.lowest = lo;
    r.sar = r.rising ? lo : hi;
    r.bar = t;
    return true;
}

void CSAR::Record(const Run& r, bool restarted) {
    m_flags[size_t(r.bar)] = (unsigned char)(kComputed | (r.rising ? kRising : 0) | (r.pending ? kPending : 0) |
                                             (restarted ? kRestart : 0));
    StoreComputed(r.bar, &r.sar, 1);
}

// Computes bars up to index from the last computed bar before it (or from the first bar). That
// bar's run is rebuilt from the restart it began with, the same steps as when it was computed.
bool CSAR::Resume(int index) {
    const int first = m_runDays - 1;
    int c = index - 1;
    while (c >= first && !(m_flags[size_t(c)] & kComputed)) --c;
    Run r;
    if (c >= first) {
        int s = c;
        while (s > first && !(m_flags[size_t(s)] & kRestart)) --s;
        double lo = 0, hi = 0;
        m_pKData->GetMinMax(s - m_runDays + 1, s, &lo, &hi);
        r.rising = (m_flags[size_t(s)] & kRising) != 0;
        r.pending = 0;
        r.accel = m_runStep;
        r.highest = hi;
        r.lowest = lo;
        r.sar = r.rising ? lo : hi;
        r.bar = s;
        for (int t = s + 1; t <= c; ++t) Advance(r, t);
    }
    for (int t = c + 1; t <= index; ++t) {
        const bool restarted = Advance(r, t);
        Record(r, restarted);
    }
    m_run = r;
    return true;
}

bool CSAR::Calculate(double* v, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    // Without useLast the parameters are checked; a walk keeps them while they do not change.
    if (!useLast) EnsureParameters();
    TakeRunParameters();
    if (index + 1 < m_runDays) return false;
    const size_t size = size_t(m_pKData->GetSize());
    if (m_flags.size() != size) m_flags.resize(size, 0);  // bars added since keep what is known
    if ((m_flags[size_t(index)] & kComputed) && LoadFromCache(index, v)) return true;
    if (m_run.bar == index) {
        if (v) *v = m_run.sar;
        return true;
    }
    if (m_run.bar >= 0 && m_run.bar == index - 1) {
        const bool restarted = Advance(m_run, index);
        Record(m_run, restarted);
    } else {
        Resume(index);
    }
    if (v) *v = m_run.sar;
    return true;
}

int CSAR::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    double v;
    // The run is read from the stored flags: no clearing, so the remembered intensity stays.
    if (!Calculate(&v, index, false)) return 0;
    const unsigned char f = m_flags[size_t(index)];
    if (!(f & kPending)) return 0;
    if (!(f & kRising)) {
        if (reason) *reason = reasonBullTrend;
        return m_ints[kBuy];
    }
    if (reason) *reason = reasonBearTrend;
    return m_ints[kSell];
}

// As GetMinMaxInfo1, in one pass: cached bars are read, the others continue the run.
bool CSAR::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0) {
        EnsureParameters();
        TakeRunParameters();
        const int size = m_pKData->GetSize();
        start = std::max(start, m_runDays - 1);
        end = std::min(end, size - 1);
        if (start <= end) {
            if (m_flags.size() != size_t(size)) m_flags.resize(size_t(size), 0);
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
            unsigned char* flags = m_flags.data();
            Run run = m_run;
            for (int i = start; i <= end; ++i) {
                double v;
                if (!(i <= known && (flags[i] & kComputed) && LoadComputed(i, &v, 1))) {
                    if (run.bar != i) {
                        if (run.bar >= 0 && run.bar == i - 1) {
                            const bool restarted = Advance(run, i);
                            flags[i] = (unsigned char)(kComputed | (run.rising ? kRising : 0) |
                                                       (run.pending ? kPending : 0) | (restarted ? kRestart : 0));
                            if (i < cacheEnd) SetEntry(0, i, run.sar);
                        } else {
                            m_run = run;
                            Resume(i);
                            run = m_run;
                        }
                    }
                    v = run.sar;
                }
                if (!any || v < lo) lo = v;
                if (!any || v > hi) hi = v;
                any = true;
            }
            m_run = run;
            if (cacheEnd > 0) NoteStored(std::min(end, cacheEnd - 1));
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- DJ, CW ----

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

CCW::CCW() : CParamTech("F", {}, {1.5}) {}

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

void CMACD::SetFactors() {
    if (m_factorDays[0] == m_ints[kShort] && m_factorDays[1] == m_ints[kLong] && m_factorDays[2] == m_ints[kSignal])
        return;
    for (int k = 0; k < 3; ++k) {
        const int n = m_ints[kShort + k];
        m_fNew[k] = 2.0 / (n + 1);
        m_fOld[k] = (n - 1.0) / (n + 1);
        m_factorDays[k] = n;
    }
    m_nMinBars = std::max(m_factorDays[0], std::max(m_factorDays[1], m_factorDays[2]));
}

void CMACD::Step(int index, double* v) const {
    const double p = Price(*m_pKData, index);
    const double es = m_fNew[0] * p + m_fOld[0] * v[0];
    const double el = m_fNew[1] * p + m_fOld[1] * v[1];
    v[3] = m_fOld[2] * v[3] + m_fNew[2] * (es - el);
    v[0] = es, v[1] = el, v[2] = es - el;
}

bool CMACD::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    const bool continued = useLast && v1 && v2 && v4 && index > 0;
    // A walk that continues with the day counts of its weights was checked at its first bar.
    if (!continued || m_factorDays[0] != m_ints[kShort] || m_factorDays[1] != m_ints[kLong] ||
        m_factorDays[2] != m_ints[kSignal]) {
        EnsureParameters();
        SetFactors();
    }
    if (index + 1 < m_nMinBars) return false;
    if (LoadFromCache(index, v1, v2, v3, v4)) return true;
    double v[4];
    if (continued) {
        v[0] = *v1, v[1] = *v2, v[2] = 0, v[3] = *v4;
        Step(index, v);
    } else {
        const CKData& k = *m_pKData;
        int n = std::max(0, index - (WarmUpBars() - 1));
        v[0] = v[1] = Price(k, n), v[2] = v[3] = 0;
        for (int t = n; t <= index; ++t) Step(t, v);
    }
    StoreComputed(index, v, 4);
    if (v1) *v1 = v[0];
    if (v2) *v2 = v[1];
    if (v3) *v3 = v[2];
    if (v4) *v4 = v[3];
    return true;
}

namespace {
inline void TakeMACDRange(double dif, double dea, int i, double* lo, double* hi, int* loBar, int* hiBar) {
    const double bar = 2 * (dif - dea);
    const double a = std::min(dif, std::min(dea, bar)), b = std::max(dif, std::max(dea, bar));
    if (a < *lo) *lo = a, *loBar = i;
    if (b > *hi) *hi = b, *hiBar = i;
}
}  // namespace

bool CMACD::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    EnsureParameters();
    SetFactors();
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        double v[4] = {0, 0, 0, 0};
        int i = start;
        bool any = false;
        // The first bar that computes, then every later one continued from it (as with useLast).
        for (; i <= end && !any; ++i) {
            if (!LoadComputed(i, v, 4) && !Calculate(&v[0], &v[1], &v[2], &v[3], i, false)) continue;
            any = true;
            lo = hi = v[2];
            loBar = hiBar = i;
            TakeMACDRange(v[2], v[3], i, &lo, &hi, &loBar, &hiBar);
        }
        if (i <= end) {
            const int known = m_nLastStored;
            const int cacheEnd = OpenLines(4) ? CacheEnd() : 0;
            const double n0 = m_fNew[0], o0 = m_fOld[0], n1 = m_fNew[1], o1 = m_fOld[1], n2 = m_fNew[2],
                         o2 = m_fOld[2];
            WithPrices(*m_pKData, [&](const auto& price) {
                double es = v[0], el = v[1], dif = v[2], dea = v[3];
                for (; i <= end; ++i) {
                    if (i <= known && LoadComputed(i, v, 4)) {
                        es = v[0], el = v[1], dif = v[2], dea = v[3];
                    } else {
                        // The steps of Step, in the same order.
                        const double p = price(i);
                        es = n0 * p + o0 * es;
                        el = n1 * p + o1 * el;
                        dea = o2 * dea + n2 * (es - el);
                        dif = es - el;
                        if (i < cacheEnd) {
                            SetEntry(0, i, es);
                            SetEntry(1, i, el);
                            SetEntry(2, i, dif);
                            SetEntry(3, i, dea);
                        }
                    }
                    TakeMACDRange(dif, dea, i, &lo, &hi, &loBar, &hiBar);
                }
            });
            if (cacheEnd > 0) NoteStored(std::min(end, cacheEnd - 1));
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

void CPSY::Clear() {
    CTechnique::Clear();
    m_nRunBar = -1;
}

bool CPSY::Calculate(double* v, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    const int n = m_ints[kDays];
    if (index < n) return false;
    if (LoadFromCache(index, v)) return true;
    const CKData& k = *m_pKData;
    auto rose = [&k](int t) { return Price(k, t) > Price(k, t - 1) ? 1 : 0; };
    // The count moves with the window: a whole number, so it never drifts.
    if (m_nRunBar >= 0 && m_nRunDays == n && m_nRunBar == index - 1) {
        m_nRunCount += rose(index) - rose(index - n);
    } else if (!(m_nRunBar == index && m_nRunDays == n)) {
        m_nRunCount = 0;
        for (int t = index - n + 1; t <= index; ++t) m_nRunCount += rose(t);
    }
    m_nRunBar = index;
    m_nRunDays = n;
    double psy = m_nRunCount * 100.0 / n;
    StoreComputed(index, &psy, 1);
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

void CVOLUME::Clear() {
    CTechnique::Clear();
    for (CWindowSum& r : m_runs) r.Reset();
    m_nNextRun = 0;
}

CWindowSum* CVOLUME::RunFor(int days) {
    for (CWindowSum& r : m_runs)
        if (r.GetBar() >= 0 && r.GetDays() == days) return &r;
    CWindowSum& r = m_runs[m_nNextRun];
    m_nNextRun = (m_nNextRun + 1) % kRuns;
    r.Reset();
    return &r;
}

bool CVOLUME::Calculate(double* v, int index, int days, bool useLast) {
    if (!CheckIndex(index)) return false;
    // Only the given day count enters the sums; a walk was checked at its first bar.
    if (!useLast) EnsureParameters();
    if (days <= 0 || index + 1 < days) return false;
    // Each day count has its own cache line, so two counts never read each other's values.
    const int line = DayCacheLine(m_days, days);
    if (line >= 0 && HasEntry(line, index)) {
        if (v) *v = m_pCache[line][index - m_nCacheStart];
        return true;
    }
    const KDATA* bars = m_pKData->GetData();
    const double ma = RunFor(days)->At(index, days, [bars](int t) { return double(bars[t].volume); }) / days;
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

// The largest volume and every cached day-count line over the range, in one pass.
bool CVOLUME::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    if (!m_pKData || start < 0 || end < start || start >= m_pKData->GetSize()) return false;
    end = std::min(end, m_pKData->GetSize() - 1);
    EnsureParameters();
    const KDATA* bars = m_pKData->GetData();
    auto volume = [bars](int t) { return double(bars[t].volume); };
    // The lines that have a cache line (the first five distinct day counts).
    int days[kLines], line[kLines], count = 0;
    for (int d = 0; d < m_days.GetSize() && d < kLines; ++d)
        if (DayCacheLine(m_days, int(m_days[d])) == d) days[count] = int(m_days[d]), line[count++] = d;
    const int cacheEnd = OpenLines(0) ? CacheEnd() : 0;
    for (int j = 0; j < count; ++j)
        if (!UseLine(line[j])) count = j;
    const int known = m_nLastStored;
    CWindowSum runs[kLines];
    double top = 0;
    const int stored = std::min(end, cacheEnd - 1);
    for (int i = start; i <= end; ++i) {
        top = std::max(top, volume(i));
        if (i > stored) continue;
        for (int j = 0; j < count; ++j) {
            const int n = days[j];
            if (i + 1 < n || (i <= known && HasEntry(line[j], i))) continue;
            CWindowSum& run = runs[j];
            const double sum = run.GetBar() >= 0 && run.GetBar() == i - 1 ? run.Next(volume) : run.Start(i, n, volume);
            SetEntry(line[j], i, sum / n);
        }
    }
    // A walk that goes on from the end of the range continues these sums.
    for (int j = 0; j < count; ++j)
        if (runs[j].GetBar() >= 0) *RunFor(days[j]) = runs[j];
    if (stored >= start) NoteStored(stored);
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
