// Volume indicators: NVI, PVI, VR, VROC, OBV, MOBV, MFI, VMACD, WVAD, EMV, VRSI, NVRSI, AD and CI,
// with the step MACD beneath VMACD that the own MACD signals (techs_own.h) build on as well. Each
// class's parameters and computation are in techs_volume.cpp.
#pragma once

#include <initializer_list>
#include <vector>

#include "analysis/techs.h"
#include "analysis/techs_lines.h"
#include "store/stockinfo.h"

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

private:
    // The whole-range pass of both lines over bars first..last (NaN in both where a bar has no
    // average); returns whether it wrote a NaN.
    bool Kernel(int first, int last, double* line, double* average);
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

private:
    // The whole-range pass of bars first..last into line (NaN where a bar has no value); returns
    // whether it wrote a NaN.
    bool Kernel(int n, int first, int last, double* line);
};

// MACD whose full computation starts where all three averages have decayed, found in steps of 4
// bars (the volume MACD and ids 8, 55-57); the computation, the range pass and the signal are MACD's.
class CStepMACD : public CMACD {
protected:
    CStepMACD(const char* layout, std::initializer_list<int> ints, const char* caption, int source);
    int WarmUpStart(int index) override;
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
    bool FreshSums(int n, int start, int end, double* min, double* max, int* minBar, int* maxBar);
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
