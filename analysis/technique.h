// Base of every indicator: bound series, per-line caches, signals, intensity, ranges and the shared
// cross, level and divergence tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/windowsum.h"
#include "base/containers.h"
#include "store/kdata.h"

// Signal reasons.
enum TechReason {
    reasonNone = 1,
    reasonBottomDivergence = 2,
    reasonTopDivergence = 3,
    reasonGoldenCross = 4,
    reasonDeadCross = 5,
    reasonBullTrend = 6,
    reasonBearTrend = 7,
    reasonOverbought = 8,
    reasonOversold = 9,
    reasonSupport = 10,
    reasonResistance = 11,
};

constexpr int kMaxTechDays = 1024;
constexpr int kMaxTechLevel = 15;
constexpr int kRangeWindow = 120;
constexpr int kDivergenceWindow = 115;

// Reason text (GBK) for 1..11, empty otherwise.
const char* GetReasonText(int reason);
// Intensity word (GBK) for a signal -15..15.
const char* GetIntensityText(int intensity);

class CTechnique {
public:
    enum { kLines = 5 };

    CTechnique();
    explicit CTechnique(CKData* series);
    CTechnique(const CTechnique&) = delete;
    CTechnique& operator=(const CTechnique&) = delete;
    virtual ~CTechnique();

    virtual void Clear();
    virtual void ClearLastIntensity();
    virtual bool PrepareCache(int start, int end, bool clearFirst);
    virtual void SetDefaultParameters();
    virtual bool IsValidParameters();
    virtual std::string GetNameParams();
    virtual int GetSignal(int index, int* reason);
    virtual int GetIntensity(int index, int* reason, bool traceback);
    virtual int GetIntensityTraceback(int index, int* reason);
    virtual bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                               int* maxBar = nullptr);
    virtual bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast);
    virtual bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast);
    virtual bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast);
    virtual bool Calculate(double* v1, double* v2, int index, bool useLast);
    virtual bool Calculate(double* v1, int index, bool useLast);
    virtual bool Calculate(double* v, int index, int days, bool useLast);
    virtual bool GetValueAndMA(double* value, double* ma, int index, bool useLast, int days);

    // The values a pane draws, in one request for the bars first..last: lines 1..n of the n-line
    // Calculate into out[k][i - first], with valid[i - first] 1 when bar i has them (0: none, its
    // outputs untouched). The bars the cache does not hold yet are computed by one range walk and
    // the lines copied from the cache; a bar the walk leaves without a value is asked as a pane
    // walk asks it, with useLast once an earlier bar had values, so each bar gets what the one-bar
    // Calculate gives. False when no bar has values.
    bool GetRange(int n, int first, int last, double* const* out, unsigned char* valid);
    // As GetRange for the per-days Calculate: the line of days[k] into out[k] and valid[k], each
    // walked as a pane walks it.
    virtual bool GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                              unsigned char* const* valid);

    CKData* GetKData() const { return m_pKData; }
    void SetKData(CKData* series);
    bool LoadFromCache(int index, double* v1, double* v2 = nullptr, double* v3 = nullptr, double* v4 = nullptr,
                       double* v5 = nullptr) {
        // Nothing was stored past the highest bar stored: a walk into new bars skips the lookup.
        return index <= m_nLastStored && LoadCached(index, v1, v2, v3, v4, v5);
    }
    bool StoreToCache(int index, const double* v1, const double* v2 = nullptr, const double* v3 = nullptr,
                      const double* v4 = nullptr, const double* v5 = nullptr);

    int GetCacheLength() const { return m_nCacheLength; }
    int GetCacheStart() const { return m_nCacheStart; }
    int GetLastSignal() const { return m_nLastSignal; }
    int GetLastReason() const { return m_nLastReason; }
    // The cached value of line 1..5 at index; false when it was never computed.
    bool GetCached(int line, int index, double* value) const;

    // Range of the n-line Calculate over start..end, widened.
    bool GetMinMaxInfo1(int start, int end, double* min, double* max);
    bool GetMinMaxInfo2(int start, int end, double* min, double* max);
    bool GetMinMaxInfo3(int start, int end, double* min, double* max, int* minBar = nullptr, int* maxBar = nullptr);
    bool GetMinMaxInfo4(int start, int end, double* min, double* max);
    bool GetMinMaxInfo5(int start, int end, double* min, double* max);
    // Range over the day-count lines of the per-days Calculate of ma.
    static bool GetMinMaxInfoMA(int start, int end, double* min, double* max, CTechnique* ma,
                                const CSPDWordArray& days);
    static int GetMaxDays(const CSPDWordArray& days);

    bool GetRangeLevels(int index, int* reason, int minBars, int window, double* low, double* high, double f1,
                        double f2);
    bool GetPriceRangeLevels(int index, int* reason, int minBars, int window, double* low, double* high,
                             double f1, double f2);
    // Lines are 1..5 (0 = not used); every entry read must have been computed.
    bool IsNewExtreme(int index, bool high, int window, int lineA, int lineB) const;
    bool IsBottomDivergence(int index, int lineA, int lineB);
    bool IsTopDivergence(int index, int lineA, int lineB);
    bool IsCrossUp(int index, int lineA, int lineB) const;
    bool IsCrossDown(int index, int lineA, int lineB) const;
    int GetCrossSignal(int index, int buyLevel, int sellLevel, int* reason);
    int GetTrendSignal(int index, int buyLevel, int sellLevel, int* reason);
    int GetMACrossSignal(int index, const CSPDWordArray& days, int buyLevel, int sellLevel, int* reason);
    int GetMAArrangeSignal(int index, const CSPDWordArray& days, int buyLevel, int sellLevel, int* reason);

    // min - 2 % of |min|, max + 2 % of |max|; a span below 0.03 becomes 0.05.
    static void WidenRange(double* min, double* max);

    // A line computed from a broken bar (a field that is not a number, or infinite) is no value.
    static bool AllFinite(const double* v, int n) {
        for (int k = 0; k < n; ++k)
            if (!std::isfinite(v[k])) return false;
        return true;
    }

    // Whole-range loops do more per bar than the processor's own look-ahead covers: ask for the
    // bar kPrefetchBars places on while bar i is worked on (a hint only; an address past the
    // series is never read, and the address is formed as an integer). Far enough ahead that the
    // record has arrived when a loop of a few nanoseconds a bar gets to it on a busy memory bus.
    enum { kPrefetchBars = 128 };
    static void PrefetchBar(const KDATA* bars, int i) {
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(bars) +
                                                         (uintptr_t(i) + kPrefetchBars) * sizeof(KDATA)));
    }
    // A loop of a nanosecond or two a bar that does little more than stream the records (one
    // division a bar) waits less asking kNearPrefetchBars ahead: further on, the requests it
    // queued are still in the way when its bars arrive.
    enum { kNearPrefetchBars = 32 };
    static void PrefetchNearBar(const KDATA* bars, int i) {
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(bars) +
                                                         (uintptr_t(i) + kNearPrefetchBars) * sizeof(KDATA)));
    }

protected:
    bool GetAveragePair(int index, int daysA, int daysB, double* s0, double* s1, double* l0, double* l1);
    bool CheckIndex(int index) const { return m_pKData && index >= 0 && index < m_pKData->GetSize(); }
    // Validity check with the defaults as fallback; once per computation, never per stored bar.
    void EnsureParameters() {
        if (!IsValidParameters()) SetDefaultParameters();
    }
    bool GetMinMaxInfoN(int lines, int start, int end, double* min, double* max, int* minBar, int* maxBar);
    bool CalculateN(int lines, double* v, int index, bool useLast);

    // Price of bar i by the series' price mode, without the range check (i must be in the series).
    static double Price(const CKData& k, int i) {
        const int mode = k.GetPriceMode();
        return mode != priceOpen && mode != priceAverage ? double(k[i].close) : k.GetPriceAt(i);
    }
    // Runs f with a functor giving the price of bar t, chosen once for the series' price mode, so
    // that a whole-range loop does not test the mode at every bar.
    template <typename F>
    static auto WithPrices(const CKData& k, F&& f) {
        const int mode = k.GetPriceMode();
        if (mode != priceOpen && mode != priceAverage) {
            const KDATA* bars = k.GetData();
            return f([bars](int t) { return double(bars[t].close); });
        }
        return f([&k](int t) { return k.GetPriceAt(t); });
    }

    // The series' column of a bar field (CKData::GetColumn) for a whole-range loop over
    // first..last: the column when it is already read, or when the loop covers most of the series
    // (reading it then costs about what the loop's own pass over the records would); null
    // otherwise, and the loop reads the records.
    static const double* ColumnFor(const CKData& k, int field, int first, int last) {
        if (k.HasColumn(field)) return k.GetColumn(field);
        return 4 * (int64_t(last) - first + 1) >= 3 * int64_t(k.GetSize()) ? k.GetColumn(field) : nullptr;
    }
    // As WithPrices for a whole-range loop over first..last, the prices read from the close
    // column (ColumnFor) when the price mode is the close and the column is to be had.
    template <typename F>
    static auto WithPriceColumn(const CKData& k, int first, int last, F&& f) {
        const int mode = k.GetPriceMode();
        if (mode != priceOpen && mode != priceAverage)
            if (const double* c = ColumnFor(k, CKData::fieldClose, first, last))
                return f([c](int t) { return c[t]; });
        return WithPrices(k, f);
    }

    // ---- cache access for the computing classes ----
    // The value and flag arrays of a line, allocated on first use; false when memory could not be had.
    bool UseLine(int k);
    // Sizes the cache to the series (when there is none yet) and allocates lines 1..n; false when
    // memory could not be had. Entries 0 .. CacheEnd()-1 may then be written with SetEntry.
    bool OpenLines(int n);
    int CacheEnd() const { return m_nCacheLength > 0 ? m_nCacheStart + m_nCacheLength : 0; }
    bool HasEntry(int k, int index) const {
        const int at = index - m_nCacheStart;
        return index <= m_nLastStored && m_nCacheLength > 0 && at >= 0 && at < m_nCacheLength && m_pCache[k] &&
               IsComputed(k, at);
    }
    // Entry at of an allocated line k holds a computed value.
    bool IsComputed(int k, int at) const {
        return (at >= m_nRangeFirst[k] && at <= m_nRangeLast[k]) || m_pValid[k][at] == m_nGeneration;
    }
    // A whole-range loop wrote every entry first..last of line k that was not computed yet (the
    // value arrays only): they all count as computed now.
    void MarkComputed(int k, int first, int last);
    // As MarkComputed; when broken is set, a walk met values that are not finite (a broken bar)
    // and wrote them: those entries hold no value and stay uncomputed.
    void MarkComputedFinite(int k, int first, int last, bool broken);
    // Writes line k (0-based) at index; the line must be open and index below CacheEnd().
    void SetEntry(int k, int index, double v) {
        const int at = index - m_nCacheStart;
        m_pCache[k][at] = v;
        m_pValid[k][at] = m_nGeneration;
    }
    // Lines 1..n all cached at index (a quick LoadFromCache for the range walks).
    bool LoadComputed(int index, double* v, int n) const {
        const int at = index - m_nCacheStart;
        if (m_nCacheLength <= 0 || at < 0 || at >= m_nCacheLength) return false;
        for (int k = 0; k < n; ++k)
            if (!m_pCache[k] || !IsComputed(k, at)) return false;
        for (int k = 0; k < n; ++k) v[k] = m_pCache[k][at];
        return true;
    }
    // Stores lines 1..n at index when it lies in the cache; a plain write once the lines exist.
    void StoreComputed(int index, const double* v, int n) {
        if (m_nCacheLength <= 0) {
            if (!CheckIndex(index)) return;
            m_nCacheLength = m_pKData->GetSize();
            m_nCacheStart = 0;
        }
        const int at = index - m_nCacheStart;
        if (at < 0 || at >= m_nCacheLength) return;
        double* lines[kLines];
        unsigned char* flags[kLines];
        for (int k = 0; k < n; ++k) {
            if (!m_pCache[k] && !UseLine(k)) return;
            lines[k] = m_pCache[k], flags[k] = m_pValid[k];
        }
        // Written through locals: a flag write could alias any member and make them reread.
        const unsigned char generation = m_nGeneration;
        for (int k = 0; k < n; ++k) lines[k][at] = v[k], flags[k][at] = generation;
        if (index > m_nLastStored) m_nLastStored = index;
    }
    // Stores line k (0-based) at index when it lies in the cache.
    void StoreLine(int k, int index, double v) {
        if (m_nCacheLength <= 0 && !OpenLines(0)) return;
        const int at = index - m_nCacheStart;
        if (at < 0 || at >= m_nCacheLength || (!m_pCache[k] && !UseLine(k))) return;
        m_pCache[k][at] = v;
        m_pValid[k][at] = m_nGeneration;
        if (index > m_nLastStored) m_nLastStored = index;
    }
    void NoteStored(int index) {
        if (index > m_nLastStored) m_nLastStored = index;
    }

    CKData* m_pKData;
    double* m_pCache[kLines];  // null while the line has no cache
    // An entry is computed when its flag equals the generation (Clear moves to a new generation
    // instead of wiping the flags) or when it lies in its line's computed range: a whole-range
    // loop marks the range instead of writing a flag at every bar.
    unsigned char* m_pValid[kLines];
    unsigned char m_nGeneration;
    int m_nRangeFirst[kLines];
    int m_nRangeLast[kLines];  // below first: no range
    int m_nCacheLength;
    int m_nCacheStart;
    int m_nLastSignal;
    int m_nLastReason;
    // Highest bar stored since the last Clear (-1 none): later entries cannot be valid yet.
    int m_nLastStored;

private:
    // Inline, so that a caller's null outputs fold away.
    bool LoadCached(int index, double* v1, double* v2, double* v3, double* v4, double* v5) const {
        const int at = index - m_nCacheStart;
        if (m_nCacheLength <= 0 || at < 0 || at >= m_nCacheLength) return false;
        double* out[kLines] = {v1, v2, v3, v4, v5};
        // Without outputs the caller only needs the bar computed: line 1 says whether it is.
        if (!v1 && !v2 && !v3 && !v4 && !v5) return m_pCache[0] && IsComputed(0, at);
        for (int k = 0; k < kLines; ++k)
            if (out[k] && (!m_pCache[k] || !IsComputed(k, at))) return false;
        for (int k = 0; k < kLines; ++k)
            if (out[k]) *out[k] = m_pCache[k][at];
        return true;
    }
    // Storage kept across Clear, so a reload of a series of the same size allocates nothing.
    std::unique_ptr<double[]> m_pValueBuffer[kLines];
    std::unique_ptr<unsigned char[]> m_pValidBuffer[kLines];
    int m_nBufferLength[kLines];
    // GetValueAndMA's window: the last `days` values line 1 had (failed bars skipped), as a ring,
    // with their running sum, standing at bar `bar` (-1 none).
    struct ValueWindow {
        int bar = -1;
        int days = 0;
        int head = 0;   // the oldest value
        int steps = 0;  // since the sum was last taken afresh
        double sum = 0;
        double peak = 0;
        std::vector<double> values;
        void Resum();
        void Push(double v);
    };
    ValueWindow m_valueWindow;
};
