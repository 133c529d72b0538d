// Volatility, sentiment and price oscillators: CV, ARBR, CR, OSC, UOS, MAOSC, 36BIAS, DPO and KST.
// Each class's parameters and computation are in techs_price.cpp.
#pragma once

#include <vector>

#include "analysis/techs_lines.h"

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
