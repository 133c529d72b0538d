// Range and channel oscillators: REI, DMKI, PCNT, HLC, CDP, ASI and ATR. Each class's parameters
// and computation are in techs_range.cpp.
#pragma once

#include "analysis/techs_lines.h"
#include "analysis/techs_momentum.h"  // CChangeLineMA

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

class CPCNT : public CChangeLineMA {
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
