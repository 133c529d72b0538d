// The other built-in indicator classes: volume (techs_volume.cpp), momentum (techs_momentum.cpp),
// range and channel (techs_range.cpp), volatility and price oscillators (techs_price.cpp), the own
// signal, turnover and cycle indicators (techs_own.cpp) and the cost distribution (techs_cost.h).
// Parameters, defaults and captions are in techs_more.cpp.
#pragma once

#include "analysis/techs.h"
#include "analysis/techs_cost.h"
#include "analysis/techs_lines.h"
#include "store/stockinfo.h"

// ---- volume ----

// NVI and PVI: a cumulative index from 100 and its exponential average.
class CVolumeIndex : public CTechLines {
public:
    enum { kDays, kBuy, kSell };
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    CVolumeIndex(bool negative);

private:
    bool Lines(int i, double* v);
    void Step(int t, double* v) const;
    const bool m_negative;  // NVI moves on falling volume, PVI on rising volume
    RunState m_run;
};

class CNVI : public CVolumeIndex {
public:
    CNVI();
};

class CPVI : public CVolumeIndex {
public:
    CPVI();
};

class CVR : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CVR();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<3> m_sums;
};

class CVROC : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CVROC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class COBV : public CTechLines {
public:
    enum { kBuy, kSell };
    COBV();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Line(int i, double* v);
    RunState m_run;
};

class CMOBV : public CTechLines {
public:
    enum { kLevel1, kLevel2, kDays1, kDays2, kBuy, kSell };
    CMOBV();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Lines(int i, double* v);
    // OBV of the last bars up to m_at, newest at m_pos - 1.
    std::vector<double> m_obv;
    int m_at = -1;
    int m_pos = 0;
};

class CMFI : public CLine1 {
public:
    enum { kDays, kBuy, kSell };
    CMFI();
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    bool Line(int i, double* v) override;
};

// MACD whose full computation starts where all three averages have decayed, found in steps of 4
// bars (the volume MACD and ids 8, 55-57); the range pass and the signal are MACD's.
class CStepMACD : public CMACD {
public:
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;

protected:
    CStepMACD(const char* layout, std::initializer_list<int> ints, const char* caption, int source);
};

// MACD over the volumes.
class CVMACD : public CStepMACD {
public:
    CVMACD();
};

class CWVAD : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CWVAD();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
};

class CEMV : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CEMV();
    CStockInfo m_stockinfo;  // filled by the caller with the stock being drawn
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

// VRSI and NVRSI share their parameters and signal.
class CVolumeRSI : public CLine1 {
public:
    enum { kDays, kDivBuy, kDivSell, kBuy, kSell };
    int GetSignal(int index, int* reason) override;

protected:
    using CLine1::CLine1;
};

class CVRSI : public CVolumeRSI {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    CVRSI();

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<4> m_sums;
};

class CNVRSI : public CVolumeRSI {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    CNVRSI();

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<2> m_sums;
};

class CAD : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays };
    CAD();

protected:
    bool Line(int i, double* v) override;

private:
    struct {
        CSignedWindowSum sum;
        unsigned epoch = 0;
    } m_sum;
};

// "CI": (close - open) / (high - low) x volume of each bar.
class CCI : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    CCI();

protected:
    bool Line(int i, double* v) override;
};

// ---- momentum ----

// KDJ and id 58: RSV smoothed into K and D from 50, and J: 3K - 2D with J mode 1, else 3D - 2K.
class CKDJBase : public CTechLines {
public:
    enum { kDays, kKDays, kDDays, kJMode, kBuy, kSell };
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    using CTechLines::CTechLines;
    // First bar of the full computation for index.
    virtual int WarmUpStart(int index) const = 0;

private:
    bool Rsv(int i, double* rsv) const;
    // One smoothing step to bar i from the previous K and D.
    void Step(int i, double* v) const;
    // The smoothing of Step with the bar's RSV at hand.
    void Smooth(double rsv, double* v) const;
};

class CKDJ : public CKDJBase {
public:
    CKDJ();

protected:
    int WarmUpStart(int index) const override;
};

class CR : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays };
    CR();

protected:
    bool Line(int i, double* v) override;
};

class CRSI : public CTechLines {
public:
    enum { kOversold, kBuy, kSell };
    CRSI();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Value(int i, int days, WindowSums<2>& sums, double* v);
    WindowSums<2> m_sums[kLines + 1];  // one per cached day count, the last for any other
};

class CBIAS : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CBIAS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<1> m_sums;
};

class CMTM : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CMTM();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class CDMI : public CTechLines {
public:
    enum { kDays };
    CDMI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    // +DI, -DI and DX of bar i; false when the sums are too small.
    bool Directions(int i, double* plus, double* minus, double* dx);
    // The four lines of bar i by the full computation.
    bool Full(int i, double* v);
    // First bar of the ADX warm-up for bar i.
    int WarmUpStart(int i);
    // ADX of bar i by a run over its own warm-up.
    double AdxRun(int i);
    WindowSums<3> m_sums;
};

class CROC : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CROC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class CCCI : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };  // ints
    enum { kFactor };                  // doubles
    CCCI();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    WindowSums<1> m_sums;
};

// ---- volatility and price oscillators ----

class CCV : public CLine1 {
public:
    enum { kDays, kMA, kTrough, kPeak };
    CCV();
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<1> m_now, m_then;
    std::vector<double> m_ring;  // the range pass's sums of the last MA bars
};

class CARBR : public CTechLines {
public:
    enum { kDays, kCrossBuy, kCrossSell, kZoneBuy, kZoneSell };
    CARBR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Lines(int i, double* v);
    WindowSums<4> m_sums;
};

class CCR : public CTechLines {
public:
    enum { kDays, kM1, kM2, kM3, kM4, kLow, kHigh };
    // The averages take their values from at most this many times the largest M bars back.
    static constexpr int kWalkFactor = 4;
    CCR();
    void Clear() override;
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Value(int i, double* v);
    bool Lines(int i, double* v);
    WindowSums<2> m_sums;
    // CR values of the last bars that have one, up to bar m_at: a ring of their bars and values,
    // the next slot to write at m_head.
    std::vector<int> m_bar;
    std::vector<double> m_val;
    std::vector<double> m_partial;  // sums of the newest 1, 2, ... values
    int m_head = 0;
    int m_count = 0;
    int m_at = -1;
};

class COSC : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    COSC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sum;
};

class CUOS : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays1, kDays2, kDays3, kMA, kBuy, kSell };
    CUOS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sums[3];
};

class CMAOSC : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays1, kDays2, kMA, kBuy, kSell };
    CMAOSC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sums[2];
};

class C36BIAS : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kLow, kHigh };
    C36BIAS();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
};

class CDPO : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CDPO();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sum;
};

class CKST : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kMA, kBuy, kSell };
    CKST();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

// ---- range and channel ----

class CREI : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CREI();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<2> m_sums;
};

class CDMKI : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    CDMKI();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<2> m_sums;
};

class CPCNT : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kMA, kBuy, kSell };
    CPCNT();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
};

class CHLC : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kMA, kBuy, kSell };
    CHLC();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    EpochSum m_sum;
};

class CCDP : public CTechLines {
public:
    CCDP();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    bool Lines(int i, double* v);
};

class CASI : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kBuy, kSell };
    // The counting bars must lie within this many times N bars back.
    static constexpr int kWalkFactor = 5;
    CASI();
    int GetSignal(int index, int* reason) override;
    // Swing index of bar i (i >= 1); false when the bar does not count.
    bool SwingIndex(int i, double* si) const;

protected:
    bool Line(int i, double* v) override;
};

class CATR : public CLine1 {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kDays, kHigh, kLow };
    CATR();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;

private:
    WindowSums<1> m_sums;
};

// ---- own signal, turnover and cycle ----

class CCYO : public CLineMA {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    enum { kMA, kBuy, kSell };
    CCYO();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }
    // CYO of bar i (i at least the largest day count).
    double Cyo(int i) const;
};

class CDCYO : public CCYO {
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    CDCYO();
    int GetSignal(int index, int* reason) override;

protected:
    bool Line(int i, double* v) override;
};

class CHSL : public CTechLines {
public:
    enum { kDays, kMA, kBuy, kSell };
    CHSL();
    CStockInfo m_stockinfo;  // filled by the caller with the stock being drawn
    // The index series whose turnover the stock's is set against; null (the default) takes the
    // composite index stock's series of the bound series' period.
    void SetIndexKData(const CKData* series);
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    bool Calculate(double* v1, int index, bool useLast) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // Estimated circulating value factor s of the index for a day count t from 2004-05-19.
    static double CirculatingShares(double t);

private:
    const CKData* IndexSeries() const;
    bool Value(int i, const CKData* index, double* v);
    bool Average(int i, int days, double* v);
    const CKData* m_pIndexKData = nullptr;
    int m_nIndexHint = 0;  // where the last date was found in the index series
    // Scratch of the range pass: the HSL of its bars and the running count of bars without one.
    std::vector<double> m_value;
    std::vector<int> m_missing;
};

class CDPER : public CLineMA {
public:
    enum { kCount, kMA, kDetrend, kBuy, kSell };
    CDPER();
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    bool Line(int i, double* v) override;
    int MaDays() const override { return m_ints[kMA]; }

private:
    double Detrended(int j);
    WindowSums<1> m_sums;
    // Detrended prices of the last bars, newest at m_at.
    std::vector<double> m_detrended;
    int m_at = -1;
    unsigned m_detrendedEpoch = 0;
};

// Ids 8 and 55-57: the step MACD over the prices.
class CSelfMACD : public CStepMACD {
protected:
    CSelfMACD(const char* layout, std::initializer_list<int> ints, const char* caption);
    // Stores the fifth line of a bar.
    void StoreStop(int index, double x) { StoreLine(4, index, x); }
};

class CSelfTechnique1 : public CSelfMACD {
public:
    CSelfTechnique1();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};

class CSelfTechnique2 : public CSelfMACD {
public:
    CSelfTechnique2();
};

class CSelfTechnique3 : public CSelfMACD {
public:
    CSelfTechnique3();
};

class CSelfTechnique4 : public CSelfMACD {
public:
    CSelfTechnique4();
};

// Id 58: KDJ-like, with the warm-up found in steps of 4 bars; J mode 0..1024, where 1 gives
// 3K - 2D and any other value 3D - 2K.
class CSelfTechnique5 : public CKDJBase {
public:
    CSelfTechnique5();

protected:
    int WarmUpStart(int index) const override;
};
