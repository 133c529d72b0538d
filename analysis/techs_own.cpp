// Own signal indicators (ids 8, 55-58), relative turnover (HSL), DPER and the cycle oscillators
// CYO and DCYO.
#include "analysis/techs_own.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/techs_price.h"
#include "base/timestamp.h"
#include "store/database.h"
#include "store/stock.h"

// ---- CYO, DCYO ----

CCYO::CCYO() : CPassLineMA("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}

double CCYO::Cyo(int i) const {
    const CKData& k = *m_pKData;
    const double now = Price(k, i);
    double sum = 0, weights = 0;
    for (int m = 0; m < m_days.GetSize(); ++m) {
        const double then = Price(k, i - int(m_days[m]));
        sum += (m + 1) * (then <= 0 ? 100 : now * 100 / then);
        weights += m + 1;
    }
    return sum / weights;
}

bool CCYO::Line(int i, double* v) {
    if (i < GetMaxDays(m_days)) return false;
    *v = Cyo(i);
    return true;
}

int CCYO::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (index < 2) return 0;
    EnsureParameters();
    return ZoneCrossSignal(index, GetMaxDays(m_days) + m_ints[kMA], kRangeWindow, 0.2, 0.6, m_ints[kBuy],
                           m_ints[kSell], reason);
}

CDCYO::CDCYO() : CCYO() {}

bool CDCYO::Line(int i, double* v) {
    const int m = m_ints[kMA];
    if (i - m + 1 < GetMaxDays(m_days)) return false;
    double sum = 0;
    for (int t = i - m + 1; t <= i; ++t) sum += Cyo(t);
    *v = sum / m;
    return true;
}

int CDCYO::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, GetMaxDays(m_days) + m_ints[kMA], kRangeWindow, 0.45, 0.55, m_ints[kBuy],
                           m_ints[kSell], reason);
}

// ---- HSL ----

CHSL::CHSL() : CTechLines("DDLL", {30, 6, 10, -10}, {}, {}, "(%d,%d)") {}

void CHSL::SetIndexKData(const CKData* series) {
    m_pIndexKData = series;
    Clear();
}

const CKData* CHSL::IndexSeries() const {
    return m_pIndexKData ? m_pIndexKData : &GetIndexStock().GetKData(m_pKData->GetKType());
}

double CHSL::CirculatingShares(double t) {
    if (t >= -3000) return 585000000.0 * (1 + 0.08 * t / 365);
    return (1 - (-t - 3000) / 2000) * 200342465.75342467;
}

// A stock that has no turnover of its own (no code, or not an A or B share) gets 1.
bool CHSL::Value(int i, const CKData* index, double* v) {
    const KDATA& bar = (*m_pKData)[i];
    double turnover;
    if (!m_stockinfo.GetStockCode()[0] || !m_stockinfo.GetRatioChangeHand(&turnover, bar.volume)) {
        *v = 1;
        return true;
    }
    // Dates rise through both series: the bar after the last one found is tried first.
    const int size = index->GetSize();
    int at = -1;
    if (m_nIndexHint >= 0 && m_nIndexHint < size && (*index)[m_nIndexHint].date == bar.date)
        at = m_nIndexHint;
    else if (m_nIndexHint + 1 < size && m_nIndexHint + 1 >= 0 && (*index)[m_nIndexHint + 1].date == bar.date)
        at = m_nIndexHint + 1;
    else
        at = index->GetIndexByDate(bar.date);
    if (at < 0) return false;
    m_nIndexHint = at;
    const KDATA& x = (*index)[at];
    // The base day's time is the same for every bar: taken once.
    static const int64_t base = [] {
        CTimeStamp t;
        return t.FromDate(20040519) ? int64_t(t.GetTime()) : int64_t(-1);
    }();
    double s = 585000000.0;
    CTimeStamp day;
    if (day.FromDate(BarDateToDay(bar.date, m_pKData->GetKType())) && base >= 0)
        s = CirculatingShares(double(int64_t(day.GetTime()) - base) / 86400);
    const double value = s * (double(x.open) + x.high + x.low + x.close) / 4;
    const double indexTurnover = double(x.amount) * 100 / value;
    if (!(indexTurnover > 0.000001)) return false;
    *v = turnover / indexTurnover;
    return true;
}

bool CHSL::Calculate(double* v1, int index, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    double x;
    if (!GetCached(1, index, &x)) {
        if (!Value(index, IndexSeries(), &x)) return false;
        StoreLine(0, index, x);
    }
    if (v1) *v1 = x;
    return true;
}

// The average of the HSL of the days bars ending at i; every one of them must have a value.
bool CHSL::Average(int i, int days, double* v) {
    if (days < 1 || i + 1 < days) return false;
    const int line = days == m_ints[kDays] ? 1 : days == m_ints[kMA] ? 2 : -1;
    if (line > 0 && GetCached(line + 1, i, v)) return true;
    const CKData* index = IndexSeries();
    double sum = 0;
    for (int t = i; t > i - days; --t) {
        double x;
        if (!GetCached(1, t, &x)) {
            if (!Value(t, index, &x)) return false;
            StoreLine(0, t, x);
        }
        sum += x;
    }
    *v = sum / days;
    if (line > 0) StoreLine(line, i, *v);
    return true;
}

bool CHSL::Calculate(double* v, int index, int days, bool) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    double x;
    if (!Average(index, days, &x)) return false;
    if (v) *v = x;
    return true;
}

// Over the HSL and its averages of both day counts: the HSL of the range (and of the bars before
// it that the averages reach) first, then the averages from those values.
bool CHSL::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    double lo = 0, hi = 0;
    bool any = false;
    if (m_pKData && start >= 0 && start < m_pKData->GetSize()) {
        end = std::min(end, m_pKData->GetSize() - 1);
        const CKData* index = IndexSeries();
        const int days[2] = {m_ints[kDays], m_ints[kMA]};
        const int from = std::max(0, start - std::max(days[0], days[1]) + 1);
        // Kept between passes, so a long pane allocates once.
        std::vector<double>& value = m_value;
        std::vector<int>& missing = m_missing;  // bars without a value up to each bar
        value.resize(size_t(end - from + 1));
        missing.resize(value.size() + 1);
        missing[0] = 0;
        const int known = m_nLastStored;  // nothing later can be cached yet
        // The lines are written plainly and marked computed run by run.
        const int cacheEnd = OpenLines(1) ? CacheEnd() : 0;
        const int base = m_nCacheStart;
        auto held = [&](int k, int i) { return i >= base && i < cacheEnd && m_pCache[k]; };
        {
            RunMarks marks(*this, 0);
            // Without a code of its own every bar's value is 1 (as Value gives it).
            const bool own = m_stockinfo.GetStockCode()[0] != 0;
            for (int i = from; i <= end; ++i) {
                double x;
                missing[size_t(i - from + 1)] = missing[size_t(i - from)] + 1;
                const bool in = held(0, i);
                if (in && i <= known && IsComputed(0, i - base)) {
                    x = m_pCache[0][i - base];
                } else if (!own) {
                    x = 1;
                    if (in) m_pCache[0][i - base] = x;
                } else {
                    if (!Value(i, index, &x)) {
                        value[size_t(i - from)] = 0;
                        continue;
                    }
                    if (in) m_pCache[0][i - base] = x;
                }
                if (in) marks.Add(i);
                value[size_t(i - from)] = x;
                --missing[size_t(i - from + 1)];
            }
        }
        auto take = [&](double x) {
            if (!any || x < lo) lo = x;
            if (!any || x > hi) hi = x;
            any = true;
        };
        for (int i = start; i <= end; ++i) {
            const int at = i - from;
            if (missing[size_t(at + 1)] == missing[size_t(at)]) take(value[size_t(at)]);
        }
        int line[2];
        for (int d = 0; d < 2; ++d) {
            line[d] = d == 0 || days[1] != days[0] ? 1 + d : 1;
            if (cacheEnd > 0) UseLine(line[d]);
        }
        RunMarks marks[2] = {{*this, line[0]}, {*this, line[1]}};
        // Each average steps its running sum on while its windows are whole (turnovers are not
        // negative); a window with a bar missing is skipped, and the next whole one starts afresh.
        CWindowSum runs[2];
        const double* values = value.data();
        auto term = [values](int t) { return values[t]; };
        for (int d = 0; d < 2; ++d) {
            const int n = days[d], k = line[d];
            if (n < 1) continue;
            // The first bar whose window lies within the values.
            const int first = std::max(start, from + n - 1);
            if (first > end) continue;
            if (start > known && first >= base && end < cacheEnd && m_pCache[k] &&
                missing[size_t(end - from + 1)] == missing[size_t(first - n + 1 - from)]) {
                // Nothing of the range cached and every window whole: the sums walked a block at
                // a time, the same as stepping them bar by bar.
                double* const out = m_pCache[k] + (first - base);  // from bar first
                out[0] = runs[d].Start(first - from, n, term) / n;
                runs[d].Walk(end - from, term, [&](int at, int count, const double* sums, bool) {
                    double* const to = out + (at + from - first);
                    for (int c = 0; c < count; ++c) to[c] = sums[c] / n;
                });
                for (int i = 0; i <= end - first; ++i) take(out[i]);
                marks[d].AddRun(first, end);
                continue;
            }
            for (int i = start; i <= end; ++i) {
                const int at = i - from;
                const bool in = held(k, i);
                if (in && i <= known && IsComputed(k, i - base)) {
                    take(m_pCache[k][i - base]);
                    continue;
                }
                // Every one of the n bars needs a value.
                if (i + 1 < n || at - n + 1 < 0 || missing[size_t(at + 1)] != missing[size_t(at + 1 - n)]) continue;
                const double sum = runs[d].At(at, n, term);
                if (in) {
                    m_pCache[k][i - base] = sum / n;
                    marks[d].Add(i);
                }
                take(sum / n);
            }
        }
    }
    WidenRange(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    return any;
}

// ---- DPER ----

namespace {
// How many of v[0..n-1] lie below x (a NaN on either side counts not), two at a time.
inline int CountBelow(const double* v, int n, double x) {
    int k = 0, below = 0;
#if defined(__SSE2__)
    const __m128d now = _mm_set1_pd(x);
    __m128i acc = _mm_setzero_si128();
    for (; k + 2 <= n; k += 2)
        acc = _mm_sub_epi64(acc, _mm_castpd_si128(_mm_cmplt_pd(_mm_loadu_pd(v + k), now)));
    below = _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(acc, acc));  // small counts
#endif
    for (; k < n; ++k) below += v[k] < x ? 1 : 0;
    return below;
}
}  // namespace

CDPER::CDPER() : CLineMA("DDDLL", {30, 6, 12, 10, -10}, {}, {}, "(%d,%d,%d)") {}

// Price of bar j less the average of the 2 x detrend prices before it.
double CDPER::Detrended(int j) {
    const CKData& k = *m_pKData;
    const int d = 2 * m_ints[kDetrend];
    return Price(k, j) - Sums(m_sums, j - 1, d, [&k](int t, double sign, double* out) { out[0] += sign * Price(k, t); })[0] / d;
}

// The earliest bar compared, i - count, needs the 2 x detrend bars before it: no value before
// count + 2 x detrend.
bool CDPER::Line(int i, double* v) {
    const int count = m_ints[kCount];
    if (i < count + 2 * m_ints[kDetrend]) return false;
    const int len = count + 1;
    if (!(m_detrendedEpoch == m_epoch && int(m_detrended.size()) == len && m_at == i - 1 && m_at >= 0)) {
        m_detrended.assign(size_t(len), 0.0);
        for (int j = i - count; j < i; ++j) m_detrended[size_t(j % len)] = Detrended(j);
    }
    const double now = Detrended(i);
    m_detrended[size_t(i % len)] = now;
    m_at = i;
    m_detrendedEpoch = m_epoch;
    // The ring holds bars i - count .. i (bar i's own entry is never below itself). Counted
    // without branches: which bars lie below comes in no pattern a branch could learn.
    *v = CountBelow(m_detrended.data(), len, now) * 100.0 / count;
    return true;
}

bool CDPER::GetMinMaxInfo(int start, int end, double* min, double* max, int*, int*) {
    EnsureParameters();
    // From a start before the first bar with a line (which the average's window reaches back to
    // at most), over bars none of which is cached: the line a block at a time, each bar's as
    // Line steps it, under the average's block pass.
    const int first = m_ints[kCount] + 2 * m_ints[kDetrend];
    if (start <= first && first >= CDPER::MaDays() - 1 && start > m_nLastStored) {
        const int count = m_ints[kCount], len = count + 1, d = 2 * m_ints[kDetrend];
        LineMABlocks(start, end, nullptr, nullptr, nullptr, nullptr, [&](int b0, int b1, double* xs, unsigned char* got) {
            const KDATA* const bars = m_pKData->GetData();
            WithPrices(*m_pKData, [&](const auto& price) {
                auto term = [&price](int t, double sign, double* out) __attribute__((always_inline)) {
                    out[0] += sign * price(t);
                };
                int slot = -1;  // bar i's place in the ring, i % len, stepped on
                for (int i = b0; i <= b1; ++i) {
                    PrefetchBar(bars, i);
                    double* const x = &xs[i - b0];
                    if (!(m_at == i - 1 && m_at >= 0 && slot >= 0)) {
                        // Where Line collects its ring afresh (or the block begins): Line itself.
                        got[i - b0] = CDPER::Line(i, x) && std::isfinite(*x);
                        slot = m_at == i ? i % len : -1;
                        continue;
                    }
                    // Line's steps, one bar on: Detrended(i) into the ring, the bars below it counted.
                    slot = slot + 1 == len ? 0 : slot + 1;
                    const double now = price(i) - Sums(m_sums, i - 1, d, term)[0] / d;
                    double* const ring = m_detrended.data();
                    ring[slot] = now;
                    m_at = i;
                    *x = CountBelow(ring, len, now) * 100.0 / count;
                    got[i - b0] = std::isfinite(*x);
                }
            });
        });
        if (min) *min = 0;
        if (max) *max = 100;
        return true;
    }
    return FixedRange(2, start, end, min, max, 0, 100, [this](int i, double* v) {
        return BothWith(i, v, CDPER::MaDays(),
                        [this](int t, double* x) { return CDPER::Line(t, x) && std::isfinite(*x); });
    });
}

int CDPER::GetSignal(int index, int* reason) {
    EnsureParameters();
    return ZoneCrossSignal(index, m_ints[kCount] + 2 * m_ints[kDetrend] + m_ints[kMA], kRangeWindow, 0.15, 0.7,
                           m_ints[kBuy], m_ints[kSell], reason);
}

// ---- ids 8, 55-57 ----

CSelfMACD::CSelfMACD(const char* layout, std::initializer_list<int> ints, const char* caption)
    : CStepMACD(layout, ints, caption, sourcePrice) {}
namespace {
// The averages' steps of CMACD's pass over bars from..last with every source value p(t), the
// four lines written two bars at a time; a source value that is not finite is passed over and
// written into the four lines (no value there). v holds the lines of bar from - 1 and gets those
// of the last bar that had a value. Returns whether a bar had none.
// With Stop, line 5 (lines[4]) gets each bar's low x 0.95 in the same pass (no value, NaN, where
// the MACD lines have none). Records: the source reads the bar records, asked for ahead here
// (not when it reads a column).
template <bool Stream, bool Stop, bool Records, class Source>
bool StepMACDPass(const Source& sources, const KDATA* bars, const double* fNew, const double* fOld, int i, int last,
                  double* const* lines, double* v) {
    const Source source = sources;  // a local the stores cannot reach
    const double n0 = fNew[0], o0 = fOld[0], n1 = fNew[1], o1 = fOld[1], n2 = fNew[2], o2 = fOld[2];
    double es = v[0], el = v[1], dif = v[2], dea = v[3];
    double* const l0 = lines[0];
    double* const l1 = lines[1];
    double* const l2 = lines[2];
    double* const l3 = lines[3];
    double* const l4 = Stop ? lines[4] : nullptr;
    bool bad = false, stopBad = false;
    // The lines of bar t into x.
    auto bar = [&](int t, double* x) __attribute__((always_inline)) {
        const double p = source(t);
        if (__builtin_expect(!std::isfinite(p), 0)) {
            x[0] = x[1] = x[2] = x[3] = x[4] = p;
            bad = true;
            return;
        }
        es = n0 * p + o0 * es;
        el = n1 * p + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        dif = es - el;
        x[0] = es, x[1] = el, x[2] = dif, x[3] = dea;
        if (Stop) {
            x[4] = bars[t].low * 0.95;
            stopBad |= !(x[4] - x[4] == 0);  // not finite
        }
    };
    double a[5], b[5];
    auto one = [&](int t) {
        bar(t, a);
        l0[t] = a[0], l1[t] = a[1], l2[t] = a[2], l3[t] = a[3];
        if (Stop) l4[t] = a[4];
    };
    if (Stream && !PairAligned(l0 + i) && i <= last) one(i++);
    for (; i + 1 <= last; i += 2) {
        if (Records) __builtin_prefetch(bars + i + 16);
        bar(i, a);
        bar(i + 1, b);
        PutPair<Stream>(l0 + i, a[0], b[0]);
        PutPair<Stream>(l1 + i, a[1], b[1]);
        PutPair<Stream>(l2 + i, a[2], b[2]);
        PutPair<Stream>(l3 + i, a[3], b[3]);
        if (Stop) PutPair<Stream>(l4 + i, a[4], b[4]);
    }
    if (i <= last) one(i);
    if (Stream) StreamDone();
    v[0] = es, v[1] = el, v[2] = dif, v[3] = dea;
    return bad || stopBad;
}
}  // namespace

// Filling the cache alone over bars none of which is cached yet: the first bar that computes as
// CMACD's pass finds it, then StepMACDPass over the rest (past the caches for a long series).
// Every other request is CMACD's pass.
bool CSelfMACD::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    if (min || max || minBar || maxBar || !StepPass(start, end, false, nullptr))
        return CMACD::GetMinMaxInfo(start, end, min, max, minBar, maxBar);
    return true;
}

bool CSelfMACD::StepPass(int start, int end, bool stop, int* stepped) {
    if (!m_pKData || start < 0 || start <= m_nLastStored) return false;
    EnsureParameters();
    SetFactors();
    end = std::min(end, m_pKData->GetSize() - 1);
    if (!OpenLines(4) || m_nCacheStart != 0 || end >= CacheEnd()) return false;
    stop = stop && UseLine(4);
    if (stepped) *stepped = end + 1;
    double v[4] = {0, 0, 0, 0};
    int i = start;
    while (i <= end && !CMACD::Calculate(&v[0], &v[1], &v[2], &v[3], i, false)) ++i;
    if (i > end) return true;  // no bar computes
    const int from = i + 1;
    if (from <= end) {
        double* const lines[5] = {m_pCache[0], m_pCache[1], m_pCache[2], m_pCache[3], stop ? m_pCache[4] : nullptr};
        const CKData& k = *m_pKData;
        // The prices from the series' close column when it is to be had (the stop line still
        // reads the records).
        const bool column = !stop && m_nSource == sourcePrice && k.GetPriceMode() != priceOpen &&
                            k.GetPriceMode() != priceAverage && ColumnFor(k, CKData::fieldClose, from, end);
        const KDATA* const bars = column ? nullptr : k.GetData();
        auto pass = [&](const auto& source) {
            if (column)
                return StreamLines(lines, 4, from, end - from + 1)
                           ? StepMACDPass<true, false, false>(source, bars, m_fNew, m_fOld, from, end, lines, v)
                           : StepMACDPass<false, false, false>(source, bars, m_fNew, m_fOld, from, end, lines, v);
            if (stop)
                return StreamLines(lines, 5, from, end - from + 1)
                           ? StepMACDPass<true, true, true>(source, bars, m_fNew, m_fOld, from, end, lines, v)
                           : StepMACDPass<false, true, true>(source, bars, m_fNew, m_fOld, from, end, lines, v);
            return StreamLines(lines, 4, from, end - from + 1)
                       ? StepMACDPass<true, false, true>(source, bars, m_fNew, m_fOld, from, end, lines, v)
                       : StepMACDPass<false, false, true>(source, bars, m_fNew, m_fOld, from, end, lines, v);
        };
        const bool broken = column ? WithPriceColumn(k, from, end, pass) : WithSource(pass);
        for (int l = 0; l < (stop ? 5 : 4); ++l) MarkComputedFinite(l, from, end, broken);
        if (stop && stepped) *stepped = from;
    }
    // The lines of the last bar, for bars appended later.
    if (AllFinite(v, 4)) KeepTail(end, v);
    return true;
}

CSelfTechnique1::CSelfTechnique1() : CSelfMACD("dddllll", {5, 62, 9, 15, -15, 10, -10}, "(绿色持币，黄色持股)") {}
CSelfTechnique2::CSelfTechnique2() : CSelfMACD("dddllll", {5, 42, 9, 15, -15, 10, -10}, "（黄色格线区域为持股）") {}
CSelfTechnique3::CSelfTechnique3() : CSelfMACD("dddllll", {5, 22, 9, 15, -15, 10, -10}, "(红色代表多方，绿色代表空方)") {}
CSelfTechnique4::CSelfTechnique4() : CSelfMACD("dddllll", {5, 62, 9, 15, -15, 10, -10}, "(红色代表多方，绿色代表空方)") {}

bool CSelfTechnique1::Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index,
                                bool useLast) {
    if (!CheckIndex(index)) return false;
    const double stop = (*m_pKData)[index].low * 0.95;
    if (!std::isfinite(stop) || !CStepMACD::Calculate(v1, v2, v3, v4, index, useLast)) return false;
    StoreStop(index, stop);
    if (v5) *v5 = stop;
    return true;
}

int CSelfTechnique1::GetSignal(int, int* reason) {
    if (reason) *reason = reasonNone;
    return 0;
}

// The four lines filled as MACD fills them; the range is that of the stop line alone.
bool CSelfTechnique1::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    // A fresh pass writes the stop line of the bars it steps itself: from `stepped` on.
    int stepped = std::numeric_limits<int>::max();
    if (!StepPass(start, end, true, &stepped)) {
        stepped = std::numeric_limits<int>::max();
        CMACD::GetMinMaxInfo(start, end, nullptr, nullptr, nullptr, nullptr);
    }
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    bool any = false;
    if (m_pKData && start >= 0) {
        end = std::min(end, m_pKData->GetSize() - 1);
        const int walked = std::min(end, stepped - 1);  // the bars the pass left to this walk
        // The stop line beside every bar whose MACD is cached, written plainly and marked
        // computed run by run.
        double* const stops = UseLine(4) ? m_pCache[4] : nullptr;
        const int first = m_nCacheStart;
        int run = -1;
        auto mark = [&](int last) {
            if (run >= 0) MarkComputed(4, run - first, last - first);
            run = -1;
        };
        const KDATA* bars = m_pKData->GetData();
        for (int i = start; i <= walked; ++i) {
            if (!GetCached(4, i, nullptr)) {
                mark(i - 1);
                continue;
            }
            const double stop = bars[i].low * 0.95;
            if (!std::isfinite(stop)) {
                mark(i - 1);
                continue;
            }
            if (stops) {
                stops[i - first] = stop;
                if (run < 0) run = i;
            }
            if (!any || stop < lo) lo = stop, loBar = i;
            if (!any || stop > hi) hi = stop, hiBar = i;
            any = true;
        }
        mark(walked);
        // The stepped bars' stops, as the walk would take them (no value: NaN).
        const bool ranged = min || max || minBar || maxBar;
        for (int i = std::max(start, walked + 1); i <= end; ++i) {
            const double stop = stops[i - first];
            if (!std::isfinite(stop)) continue;
            if (!ranged) {
                any = true;
                break;
            }
            if (!any || stop < lo) lo = stop, loBar = i;
            if (!any || stop > hi) hi = stop, hiBar = i;
            any = true;
        }
    }
    WidenMACD(&lo, &hi);
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return any;
}

// ---- id 58 ----

CSelfTechnique5::CSelfTechnique5() : CKDJBase("dddmll", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}

int CSelfTechnique5::WarmUpStart(int index) const {
    const double a = double(m_ints[kKDays] - 1) / m_ints[kKDays], b = double(m_ints[kDDays] - 1) / m_ints[kDDays];
    return DecayStartBy4(index, {a, b});
}



// Range passes with each class's own line called directly.
namespace {
// Cyo's steps with the price function p and the day counts d[0..count-1].
template <class Price>
inline __attribute__((always_inline)) double CyoOf(const Price& p, const int* d, int count, int t) {
    const double now = p(t);
    double sum = 0, weights = 0;
    for (int m = 0; m < count; ++m) {
        const double then = p(t - d[m]);
        sum += (m + 1) * (then <= 0 ? 100 : now * 100 / then);
        weights += m + 1;
    }
    return sum / weights;
}
}  // namespace

bool CCYO::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool any = false;
    std::vector<int> days;
    for (int m = 0; m < m_days.GetSize(); ++m) days.push_back(int(m_days[m]));
    if (!days.empty() &&
        FreshLineMA(start, end, min, max, minBar, maxBar, GetMaxDays(m_days), &any, [&](const auto& price, int) {
            const int* const d = days.data();
            const int count = int(days.size());
            auto p = price;
            return [p, d, count](int t) __attribute__((always_inline)) { return CyoOf(p, d, count, t); };
        }))
        return any;
    return LineMAPass(start, end, min, max, minBar, maxBar, [this](int t, double* x) { return CCYO::Line(t, x); });
}

// Each bar's average of the last MA CYO values, those values kept in a ring.
bool CDCYO::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    EnsureParameters();
    bool any = false;
    std::vector<int> days;
    for (int m = 0; m < m_days.GetSize(); ++m) days.push_back(int(m_days[m]));
    const int n = m_ints[kMA], most = GetMaxDays(m_days);
    std::vector<double> cyo(size_t(std::max(n, 1)));
    if (!days.empty() && n >= 1 && n <= kMaxTechDays &&
        FreshLineMA(start, end, min, max, minBar, maxBar, most + n - 1, &any, [&](const auto& price, int) {
            const int* const d = days.data();
            const int count = int(days.size());
            double* const ring = cyo.data();
            // The CYO of the n - 1 bars before the first line.
            for (int t = most; t < most + n - 1; ++t) ring[t % n] = CyoOf(price, d, count, t);
            auto p = price;
            return [p, d, count, ring, n](int t) __attribute__((always_inline)) {
                ring[t % n] = CyoOf(p, d, count, t);
                // Line's sum, oldest first.
                double sum = 0;
                for (int u = t - n + 1; u <= t; ++u) sum += ring[u % n];
                return sum / n;
            };
        }))
        return any;
    return LineMAPass(start, end, min, max, minBar, maxBar, [this](int t, double* x) { return CDCYO::Line(t, x); });
}
