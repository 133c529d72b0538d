#include "analysis/techs_cost.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

namespace {

// Truncated to unsigned 32 bits, clamped: negative prices and index volumes above 4.29e9 must
// neither wrap nor be undefined.
DWORD ToUnsigned(double x) {
    if (!(x > 0)) return 0;
    if (x >= 4294967295.0) return 0xFFFFFFFFu;
    return DWORD(x);
}

double Clamp01(double x) { return x < 0 ? 0 : x > 1 ? 1 : x; }

// One bar's share of the bucket of width step at price: a triangle over its range, peaking at the
// middle; nothing at or beyond either end, and nothing from a broken bar (a range or volume that
// is not finite).
inline double BarShare(double high, double low, double volume, double price, double step) {
    const double r = high - low;
    if (!(r > 0.0001 && r < HUGE_VAL) || !(low < price && price < high) || !std::isfinite(volume)) return 0;
    const double d = std::min(high - price, price - low);
    return (step < r ? step * volume / r : volume) * d * 4 / r;
}

}  // namespace

CCW::CCW() : CParamTech("F", {}, {1.5}) {}

double CCW::Capital(const CStockInfo& info) {
    double shares = 0;
    if (!info.GetShareCurrency(&shares) || !(shares >= 1000000)) return 0;
    return shares;
}

bool CCW::GetVolumeAtPrice(int start, int end, double price, double step, double* result) {
    if (!m_pKData || start < 0 || end < start || end >= m_pKData->GetSize() || !(step >= 0.0001)) return false;
    const KDATA* b = m_pKData->GetData();
    double sum = 0;
    for (int t = start; t <= end; ++t) sum += BarShare(b[t].high, b[t].low, b[t].volume, price, step);
    if (result) *result = sum;
    return true;
}

bool CCW::GetTurnoverStart(int* start, int* end, const CStockInfo& info) {
    if (!m_pKData || m_pKData->GetSize() == 0 || !end) return false;
    EnsureParameters();
    const int size = m_pKData->GetSize();
    if (*end < 0 || *end >= size) *end = size - 1;
    const double capital = Capital(info), factor = m_doubles[kTurnoverFactor];
    const double limit = capital > 0 ? capital * factor : factor * 100;
    double sum = 0;
    int at = 0;
    for (int t = *end; t >= 0; --t) {
        sum += capital > 0 ? double((*m_pKData)[t].volume) : 1.0;
        if (sum > limit) {
            at = t;
            break;
        }
    }
    if (start) *start = at;
    return true;
}

bool CCW::GetDistribution(int start, int end, const CStockInfo& info, double step, CSPDWordArray& prices,
                          CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                          double* coverage) {
    if (!m_pKData || start < 0 || end < start || end >= m_pKData->GetSize() || !(step >= 0.0001)) return false;
    EnsureParameters();
    double low, high;
    if (!m_pKData->GetMinMax(start, end, &low, &high)) return false;
    // Prices below 0 have no unsigned form: the buckets start at 0 at the lowest. A broken bar
    // (an infinite or missing price) gives no span to divide.
    const double from = std::max(low, 0.0);
    if (!(from < high) || !std::isfinite(high)) return false;
    if ((high - from) / step > kMaxBuckets) step = (high - from) / kMaxBuckets;
    int count = int(std::ceil((high - from) / step));
    while (count > 0 && !(from + (count - 1) * step < high)) --count;
    while (from + count * step < high && count < kMaxBuckets) ++count;
    if (count > kMaxBuckets) count = kMaxBuckets;
    if (count <= 0) return false;

    // Each bar adds only to the buckets inside its range, bars in order, so every bucket holds
    // exactly what GetVolumeAtPrice gives for its price. BarShare's terms of the bar are taken
    // once a bar, and two buckets go to an instruction (each rounded as on its own); a bucket
    // outside the bar's range gets 0 added, as BarShare gives it.
    std::vector<double> bucket(size_t(count), 0.0);
    double* const into = bucket.data();
    const KDATA* b = m_pKData->GetData();
    const __m128d base = _mm_set1_pd(from), width = _mm_set1_pd(step), four = _mm_set1_pd(4);
    for (int t = start; t <= end; ++t) {
        PrefetchBar(b, t);
        const double h = b[t].high, l = b[t].low, r = h - l, volume = b[t].volume;
        if (!(r > 0.0001 && r < HUGE_VAL) || !std::isfinite(volume)) continue;
        // Clamped while still a double: a low of -inf (or far below) has no int form.
        const double first = std::floor((l - from) / step);
        int k = first > 0 ? int(std::min(first, double(count))) : 0;
        const double scale = step < r ? step * volume / r : volume;
        const __m128d hi = _mm_set1_pd(h), lo = _mm_set1_pd(l), range = _mm_set1_pd(r), part = _mm_set1_pd(scale);
        for (; k + 1 < count; k += 2) {
            const __m128d p = _mm_add_pd(base, _mm_mul_pd(_mm_set_pd(k + 1, k), width));
            if (!(_mm_cvtsd_f64(p) < h)) break;
            // min(h - p, p - l), the triangle's height at p, as std::min takes it.
            const __m128d d = _mm_min_pd(_mm_sub_pd(p, lo), _mm_sub_pd(hi, p));
            const __m128d share = _mm_div_pd(_mm_mul_pd(_mm_mul_pd(part, d), four), range);
            const __m128d inside = _mm_and_pd(_mm_cmplt_pd(lo, p), _mm_cmplt_pd(p, hi));
            _mm_storeu_pd(into + k, _mm_add_pd(_mm_loadu_pd(into + k), _mm_and_pd(inside, share)));
            if (!(_mm_cvtsd_f64(_mm_unpackhi_pd(p, p)) < h)) {
                k = count;
                break;
            }
        }
        for (; k < count; ++k) {
            const double p = from + k * step;
            if (p >= h) break;
            into[k] += BarShare(h, l, volume, p, step);
        }
    }

    prices.RemoveAll();
    volumes.RemoveAll();
    prices.SetSize(0, count + 10);
    volumes.SetSize(0, count + 10);
    double lo = 0, hi = 0, total = 0;
    for (int k = 0; k < count; ++k) {
        const double v = bucket[size_t(k)];
        prices.Add(ToUnsigned((from + k * step) * 1000));
        volumes.Add(ToUnsigned(v));
        if (k == 0 || v < lo) lo = v;
        if (k == 0 || v > hi) hi = v;
        total += v;
    }
    const double mn = lo - std::fabs(lo) * 0.01;
    double mx = hi + std::fabs(hi) * 0.01;
    if (mx - mn < 3) mx = lo + 3;
    if (minVolume) *minVolume = mn;
    if (maxVolume) *maxVolume = mx;
    if (totalVolume) *totalVolume = total;
    if (coverage) {
        double capital = Capital(info);
        if (capital <= 0) capital = total * 100 / (end - start + 1);
        *coverage = capital <= 0.0001 ? 1 : Clamp01(total / (capital * m_doubles[kTurnoverFactor]));
    }
    return true;
}

bool CCW::GetRecentDistribution(int end, int n, const CStockInfo& info, double step, CSPDWordArray& prices,
                                CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                                double* coverage) {
    if (!m_pKData || m_pKData->GetSize() == 0 || n < 1) return false;
    if (end < 0 || end >= m_pKData->GetSize()) end = m_pKData->GetSize() - 1;
    return GetDistribution(std::max(0, end - n + 1), end, info, step, prices, volumes, minVolume, maxVolume,
                           totalVolume, coverage);
}

// With n = 0 nothing has traded since, so the whole distribution remains.
bool CCW::GetCostDistribution(int end, int n, const CStockInfo& info, double step, CSPDWordArray& prices,
                              CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                              double* remaining) {
    if (!m_pKData || m_pKData->GetSize() == 0 || n < 0) return false;
    EnsureParameters();
    const int size = m_pKData->GetSize();
    if (end < 0 || end >= size) end = size - 1;
    int e = end - n, start = 0;
    if (e < 0 || !GetTurnoverStart(&start, &e, info)) return false;
    if (!GetDistribution(start, e, info, step, prices, volumes, minVolume, maxVolume, totalVolume, nullptr))
        return false;
    double traded = 0;
    for (int t = e + 1; t <= e + n && t < size; ++t) traded += (*m_pKData)[t].volume;
    double capital = Capital(info);
    if (capital <= 0) capital = n > 0 ? traded * 100 / n : 0;
    double share = 1;
    if (n > 0) share = capital <= 0.0001 ? 0 : Clamp01(1 - traded / (capital * m_doubles[kTurnoverFactor]));
    if (remaining) *remaining = share;
    return true;
}

bool CCW::GetProfitRatio(double* result, const CSPDWordArray& prices, const CSPDWordArray& volumes, double price) {
    if (prices.GetSize() != volumes.GetSize()) return false;
    double total = 0, below = 0;
    for (int k = 0; k < prices.GetSize(); ++k) {
        total += volumes[k];
        if (prices[k] * 0.001 <= price) below += volumes[k];
    }
    if (result) *result = total <= 0.0001 ? 0 : below / total;
    return true;
}

bool CCW::GetAverageCost(double* result, const CSPDWordArray& prices, const CSPDWordArray& volumes) {
    if (prices.GetSize() != volumes.GetSize()) return false;
    double total = 0, sum = 0;
    for (int k = 0; k < prices.GetSize(); ++k) {
        total += volumes[k];
        sum += double(volumes[k]) * prices[k] * 0.001;
    }
    if (result) *result = total <= 0.0001 ? 0 : sum / total;
    return true;
}

bool CCW::GetConcentration(double* low, double* high, double* ratio, const CSPDWordArray& prices,
                           const CSPDWordArray& volumes, double share) {
    const int n = prices.GetSize();
    if (n != volumes.GetSize() || !(share >= 0 && share <= 1)) return false;
    double total = 0;
    for (int k = 0; k < n; ++k) total += volumes[k];
    if (total <= 0.0001) return true;
    const double tail = total * (1 - share) / 2;
    int lo = -1, hi = -1;
    double sum = 0;
    for (int k = 0; k < n && lo < 0; ++k)
        if ((sum += volumes[k]) > tail) lo = k;
    sum = 0;
    for (int k = n - 1; k >= 0 && hi < 0; --k)
        if ((sum += volumes[k]) > tail) hi = k;
    if (lo < 0 || hi < 0 || hi < lo) return false;
    const double pl = prices[lo] * 0.001, ph = prices[hi] * 0.001;
    const double span = (double(prices[n - 1]) - prices[0]) * 0.001;
    if (low) *low = pl;
    if (high) *high = ph;
    if (ratio) *ratio = span > 0.0001 ? Clamp01((ph - pl) / span) : 0;
    return true;
}
