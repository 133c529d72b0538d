// The built-in indicators of the price pane (MA, BBI, BOLL, PV, SAR, DJ, the price bars),
// MACD, MIKE, PSY and VOLUME. The other built-in classes are in the family headers
// (techs_volume.h, techs_momentum.h, techs_price.h, techs_range.h, techs_own.h; techs_more.h
// includes them all) and techs_cost.h.
#pragma once

#include <algorithm>
#include <vector>

#include "analysis/runmark.h"
#include "analysis/techparams.h"

class CMA : public CParamTech {
public:
    enum { typeSimple = 1, typeExponential = 2 };
    enum { kType, kCrossBuy, kCrossSell, kTrendBuy, kTrendSell };
    CMA();
    void Clear() override;
    using CTechnique::Calculate;
    // Without useLast a simple average is summed afresh over its window; with useLast it continues
    // the running sum of the previous bar (never the given average, which would keep the rounding
    // of every step).
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // A simple average's walk over the pane, each day count's window sum held in registers.
    bool GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                      unsigned char* const* valid) override;

private:
    // The running state of one day count: a window sum (simple) or the last average (exponential).
    struct Run {
        int days = 0;
        int type = 0;
        int bar = -1;      // exponential: bar of value
        double value = 0;  // exponential average at bar
        RunMark mark;      // exponential: the series at bar, unchanged while it holds
        CWindowSum sum;    // simple: the window sum
    };
    enum { kRuns = 16 };  // one slot per day count, by its low bits
    Run& TakeRun(int days, int type);
    Run m_runs[kRuns];
    std::vector<CWindowSum> m_walks;  // a pane's window walks, one per day count
};

class CBBI : public CParamTech {
public:
    enum { kDays1, kDays2, kDays3, kDays4, kBuy, kSell };
    CBBI();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    CWindowSum m_runs[4];  // the running sums of the four averages
};

class CBOLL : public CParamTech {
public:
    enum { kDays, kSupport, kResistance };        // ints
    enum { kUpWidth, kDownWidth };                // doubles
    CBOLL();
    void Clear() override;
    std::string GetNameParams() override;
    using CTechnique::Calculate;
    bool Calculate(double* mid, double* up, double* down, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // The sample deviation s of the window ending at index, from the same running sums as the lines.
    bool GetDeviation(int index, double* deviation);

    // Sums over the window of the price's distance d from an origin (a price of the window when
    // the sums were last taken afresh): d and d squared. With prices near 1e-6 or 1e5 the
    // distances keep the precision a plain sum of squares would lose. Taken afresh when the run
    // starts, every CWindowSum::kRefresh steps, when the squares have shrunk far below their
    // peak (a huge price left the window) and when the origin lies so far from the mean that
    // the difference of the two sums would lose more than 12 bits.
    struct Run {
        int bar = -1;
        int days = 0;
        int steps = 0;
        double origin = 0;
        double s1 = 0;  // sum of d
        double s2 = 0;  // sum of d squared
        double peak = 0;
        double centred = 0;  // s2 - s1^2 / n: n times the variance
        // 1 / days: the run multiplies by it, as a division per bar would keep the divider
        // busy longer than the rest of a bar's work. (No more fields: a larger run is no longer
        // held in registers.)
        double inv = 0;
        // The sums over the n bars ending at index, taken afresh. Returned by value (and kept out
        // of line), so that a loop can hold its run in registers.
        template <typename PriceOf>
        static Run Started(int index, int n, const PriceOf& price);
        // One bar on; inlined into the walks, so that they hold the run in registers.
        template <typename PriceOf>
        __attribute__((always_inline)) inline void Next(const PriceOf& price);
        // MID and s of the current bar.
        void Lines(double* mid, double* deviation) const;
    };

private:
    template <typename PriceOf>
    void Advance(int index, int n, const PriceOf& price);
    void LinesAt(int index, double* v);
    Run m_run;
};

class CPV : public CParamTech {
public:
    CPV();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};

class CSAR : public CParamTech {
public:
    enum { kDays, kInitialDirection, kBuy, kSell };  // ints
    enum { kStep, kMaximum };                         // doubles
    CSAR();
    void Clear() override;
    using CTechnique::Calculate;
    // useLast continues the object's own run when it stands at the previous bar (the given value
    // is that bar's SAR whenever the caller walks in order); otherwise the run is resumed from
    // the state kept for the bars before.
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    // The run after one bar.
    struct Run {
        int bar = -1;
        int rising = 0;
        int pending = 0;
        double accel = 0;
        double highest = 0;
        double lowest = 0;
        double sar = 0;
    };
    // Per bar: computed, the direction and the pending reversal after it, and whether the run
    // restarted there. A run is rebuilt from its restart bar, so no value is ever read from a
    // cache entry that may not exist (bars added after the first store have none).
    enum { kComputed = 1, kRising = 2, kPending = 4, kRestart = 8 };
    // One step of a run that holds bar t-1 with no reversal pending; false (and the run
    // unchanged) when it must restart at t instead.
    // A step that would leave the SAR not finite (a broken bar) is not taken: the run restarts.
    static bool Continue(const KDATA* bars, double step, double maximum, Run& r, int t) {
        if (r.bar < 0 || r.bar != t - 1 || r.pending) return false;
        const double h = bars[t - 1].high, l = bars[t - 1].low;
        const double sar = r.rising ? r.sar + r.accel * (h - r.sar) : r.sar - (r.sar - l) * r.accel;
        if (__builtin_expect(!std::isfinite(sar), 0)) return false;
        r.sar = sar;
        if (r.rising) {
            if (h > r.highest) r.highest = h, r.accel = std::min(r.accel + step, maximum);
            r.pending = bars[t].low < r.sar;
        } else {
            if (l < r.lowest) r.lowest = l, r.accel = std::min(r.accel + step, maximum);
            r.pending = bars[t].high > r.sar;
        }
        r.bar = t;
        return true;
    }
    // The run that restarts at bar t after r (taken and returned by value, so that a loop can keep
    // its run in registers).
    Run Restarted(Run r, int t) const;
    // Moves the run to bar t; true when it restarted there.
    bool Advance(Run& r, int t) const {
        if (Continue(m_pKData->GetData(), m_runStep, m_runMaximum, r, t)) return false;
        r = Restarted(r, t);
        return true;
    }
    // rising and pending are 0 or 1.
    static unsigned char FlagsOf(const Run& r, bool restarted) {
        return (unsigned char)(kComputed | r.rising << 1 | r.pending << 2 | int(restarted) << 3);
    }
    // Computes the bars after the last computed one up to index; the run then stands at index.
    void Resume(int index);
    void Record(const Run& r, bool restarted);
    bool SameRunParameters() const;
    void TakeRunParameters();

    // Bars past the cache (appended since it was sized) continue the run only while the bar it
    // stands at is unchanged.
    bool RunMarked() const { return m_runMark.bar == m_run.bar && m_runMark.Holds(*m_pKData); }
    void MarkRun() {
        if (m_run.bar >= 0) m_runMark.Take(*m_pKData, m_run.bar);
    }

    // The flags follow the series' size, with room for as many bars as the series has room for:
    // bars appended one at a time do not copy them.
    void SizeFlags(size_t size) {
        const size_t room = size_t(std::max(m_pKData->GetCapacity(), m_pKData->GetSize()));
        if (m_flags.capacity() < room) m_flags.reserve(room);
        m_flags.resize(size, 0);
    }

    Run m_run;
    RunMark m_runMark;
    std::vector<unsigned char> m_flags;
    // The parameters the run and the flags were computed with.
    int m_runDays = 0;
    int m_runDirection = 0;
    double m_runStep = 0;
    double m_runMaximum = 0;
};

// The index overlay: draws the two index series, computes no lines.
class CStDatabase;

class CDJ : public CParamTech {
public:
    enum { kShanghaiCode, kShenzhenCode };
    CDJ();
    // Points the two process-wide index stocks at the overlay codes and loads them for the period;
    // they are reloaded when the current stock differs from the one of the previous call.
    // Returns 1 when both were prepared.
    int SetOverlayCode(CStDatabase* database, const char* currentCode, int ktype, int exrightMode, int priceMode);
};

class CMACD : public CParamTech {
public:
    enum { kShort, kLong, kSignal, kDivBuy, kDivSell, kCrossBuy, kCrossSell };
    CMACD();
    void Clear() override;
    using CTechnique::Calculate;
    // A bar after the last one a whole-range pass (or a continued bar) computed steps on from
    // that bar's lines while the series there is unchanged: bars appended later cost one step
    // each, and agree with a pass over the whole grown series.
    bool Calculate(double* shortEma, double* longEma, double* dif, double* dea, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // Bars of the full computation: the smallest j whose decay of all three averages is below 0.001.
    int WarmUpBars();

protected:
    // The series the averages run over: the price by the series' mode, or the bar's volume (a
    // volume MACD sets m_nSource in its constructor and keeps this computation, range and signal).
    enum { sourcePrice, sourceVolume };
    int m_nSource = sourcePrice;
    double SourceAt(int i) const {
        return m_nSource == sourceVolume ? double((*m_pKData)[i].volume) : Price(*m_pKData, i);
    }
    template <typename F>
    auto WithSource(F&& f) const {
        if (m_nSource == sourceVolume) {
            const KDATA* bars = m_pKData->GetData();
            return f([bars](int t) { return double(bars[t].volume); });
        }
        return WithPrices(*m_pKData, f);
    }
    // The first source value from bar i on (up to last) that is finite: where a warm-up starts.
    double SeedAt(int i, int last) const {
        while (i < last && !std::isfinite(SourceAt(i))) ++i;
        return SourceAt(i);
    }
    // One continued step: v holds the previous bar's four lines and gets this bar's. A broken
    // source value (not finite) is passed over: the lines stay.
    void Step(int index, double* v) const;
    // First bar of the full computation for index: WarmUpBars() back (a step MACD finds it in
    // steps of 4 bars instead).
    virtual int WarmUpStart(int index);
    // The weights of the three day counts (taken again only when a count changed).
    void SetFactors();
    // New-value and old-value weights of the short, long and signal averages, and the day counts
    // they were made from.
    double m_fNew[3] = {0, 0, 0};
    double m_fOld[3] = {0, 0, 0};
    int m_factorDays[3] = {0, 0, 0};
    int m_nMinBars = 0;  // the largest of the three counts
    // The four lines of the bar mark.bar, with the day counts and source they were computed with,
    // and the lines of the bars past the cache up to it (from bar `from` on, four a bar), which
    // the cache cannot hold.
    struct Tail {
        RunMark mark;
        double v[4] = {0, 0, 0, 0};
        int days[3] = {0, 0, 0};
        int source = -1;
        int from = 0;
        std::vector<double> lines;
    };
    Tail m_tail;
    bool TailHolds() const {
        return m_tail.source == m_nSource && m_tail.days[0] == m_factorDays[0] && m_tail.days[1] == m_factorDays[1] &&
               m_tail.days[2] == m_factorDays[2] && m_tail.mark.Holds(*m_pKData);
    }
    void KeepTail(int index, const double* v) {
        m_tail.mark.Take(*m_pKData, index);
        for (int k = 0; k < 4; ++k) m_tail.v[k] = v[k];
        for (int k = 0; k < 3; ++k) m_tail.days[k] = m_factorDays[k];
        m_tail.source = m_nSource;
    }
    // Bar t (past the cache) of the chain that ends at the tail; bars come in order.
    void TailStore(int t, double es, double el, double dif, double dea) {
        if (m_tail.lines.empty() || t != m_tail.from + int(m_tail.lines.size() / 4)) {
            m_tail.lines.clear();
            m_tail.from = t;
        }
        m_tail.lines.insert(m_tail.lines.end(), {es, el, dif, dea});
    }
    // The stored lines of bar index past the cache, while the tail stands at or after it.
    bool TailLoad(int index, double* v) const {
        const int at = index - m_tail.from;
        if (at < 0 || at >= int(m_tail.lines.size() / 4) || index > m_tail.mark.bar || !TailHolds()) return false;
        for (int k = 0; k < 4; ++k) v[k] = m_tail.lines[size_t(at) * 4 + size_t(k)];
        return true;
    }
    CMACD(const char* layout, std::initializer_list<int> ints, const char* caption);
};

class CMIKE : public CParamTech {
public:
    enum { kDays };
    CMIKE();
    bool Calculate(double* wr, double* mr, double* sr, double* ws, double* ms, double* ss, int index);
    using CTechnique::Calculate;
};

class CPSY : public CParamTech {
public:
    enum { kDays, kBuy, kSell };
    CPSY();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    // The count of rising bars in the window ending at m_nRunBar (-1 none), over m_nRunDays bars.
    int m_nRunBar = -1;
    int m_nRunDays = 0;
    int m_nRunCount = 0;
};

class CVOLUME : public CParamTech {
public:
    enum { kDivBuy, kDivSell, kTrendBuy, kTrendSell };
    CVOLUME();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // The stretch of a day count's cache line that is computed is copied; other bars are walked.
    bool GetDaysRange(const CSPDWordArray& days, int first, int last, double* const* out,
                      unsigned char* const* valid) override;

private:
    // GetMinMaxInfo over start..end (checked) with volume(t) the volume of bar t; bars (null:
    // none) the records it reads, to be asked ahead.
    template <class Volume>
    bool VolumeRange(const Volume& volume, const KDATA* bars, int start, int end, double* max);
    enum { kRuns = 16 };
    // Running volume sums, one slot per day count by its low bits.
    CWindowSum& RunFor(int days) { return m_runs[days & (kRuns - 1)]; }
    CWindowSum m_runs[kRuns];
};

// The price bars: only the price pane's range.
class CKLine : public CTechnique {
public:
    CKLine() = default;
    explicit CKLine(CKData* series) : CTechnique(series) {}
    bool IsValidParameters() override { return true; }
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};
