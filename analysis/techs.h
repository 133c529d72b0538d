// The built-in indicators of the price pane (MA, BBI, BOLL, PV, SAR, DJ, the price bars),
// MACD, MIKE, PSY and VOLUME. The other built-in classes are in techs_more.h.
#pragma once

#include <vector>

#include "analysis/techparams.h"

class CMA : public CParamTech {
public:
    enum { typeSimple = 1, typeExponential = 2 };
    enum { kType, kCrossBuy, kCrossSell, kTrendBuy, kTrendSell };
    CMA();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};

class CBBI : public CParamTech {
public:
    enum { kDays1, kDays2, kDays3, kDays4, kBuy, kSell };
    CBBI();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};

class CBOLL : public CParamTech {
public:
    enum { kDays, kSupport, kResistance };        // ints
    enum { kUpWidth, kDownWidth };                // doubles
    CBOLL();
    std::string GetNameParams() override;
    using CTechnique::Calculate;
    bool Calculate(double* mid, double* up, double* down, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    void Compute(int index, double* v) const;
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
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;

private:
    struct RunState {
        int rising;
        int pending;
        double accel;
        double highest;
        double lowest;
    };
    bool Step(int t, const RunState* before, double prevSar, RunState* after, double* sar) const;
    bool RunTo(int index, double* out);

    // Run state after each computed bar, so a continuation never depends on the order of asking.
    std::vector<RunState> m_state;
    std::vector<char> m_stateValid;
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
    using CTechnique::Calculate;
    bool Calculate(double* shortEma, double* longEma, double* dif, double* dea, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    // Bars of the full computation: the smallest j whose decay of all three averages is below 0.001.
    int WarmUpBars();

protected:
    // One continued step: v holds the previous bar's four lines and gets this bar's.
    void Step(int index, double* v) const;
    void SetFactors();
    // New-value and old-value weights of the short, long and signal averages.
    double m_fNew[3] = {0, 0, 0};
    double m_fOld[3] = {0, 0, 0};
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
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
};

class CVOLUME : public CParamTech {
public:
    enum { kDivBuy, kDivSell, kTrendBuy, kTrendSell };
    CVOLUME();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
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
