// Own signal indicators (ids 8, 55-58), relative turnover (HSL), DPER and the cycle oscillators
// CYO and DCYO. Each class's parameters and computation are in techs_own.cpp.
#pragma once

#include <initializer_list>
#include <vector>

#include "analysis/techs_lines.h"
#include "analysis/techs_momentum.h"
#include "analysis/techs_price.h"
#include "analysis/techs_volume.h"
#include "store/kdata.h"
#include "store/stockinfo.h"

class CCYO : public CPassLineMA {
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
public:
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

protected:
    CSelfMACD(const char* layout, std::initializer_list<int> ints, const char* caption);
    // Stores the fifth line of a bar.
    void StoreStop(int index, double x) { StoreLine(4, index, x); }
    // GetMinMaxInfo's pass filling the cache alone over bars none of which is cached yet; false
    // (nothing done) when the request is not one. With stop it also writes the fifth line (the
    // low x 0.95) of the bars it steps, from *stepped on (end + 1 when none; line 5 was then left
    // as it was).
    bool StepPass(int start, int end, bool stop, int* stepped);
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
