// Momentum oscillators: KDJ (and id 58's core), R, RSI, BIAS, MTM, DMI, ROC and CCI. Each class's
// parameters and computation are in techs_momentum.cpp.
#pragma once

#include "analysis/techs_lines.h"

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
    // Bars past the cache (appended after it was sized) go on from the run kept here, one step
    // a bar, and keep their lines in the tail.
    bool Tracked() const;  // the run belongs to this series as it stands
    void Track(int at);    // the bars the run read up to bar at, for Tracked
    bool FromTail(int index, double* v, bool* ok) const;
    void ToTail(int index, const double* v, bool ok);
    bool StepRun(int index, double* v);
    WindowSums<3> m_sums;
    struct Run {
        unsigned epoch = 0;
        int n = 0;
        int at = -1;  // the bar the ADX and the ring stand at (-1: no run to go on from)
        double adx = 0;
        std::vector<double> ring;  // ADX by bar % (n + 1)
        int seen = -1;             // the last bar read, whose window the snapshot holds
        std::vector<KDATA> snapshot;
        int exright = 0;
        unsigned tailEpoch = 0;
        int tailN = 0;
        int tailFirst = -1;
        std::vector<double> tail;  // 4 lines a bar from tailFirst on
        std::vector<char> tailOk;
    };
    Run m_run;
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
