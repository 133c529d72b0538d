// The arrays of market records and the operations on the day's minutes and quotes.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "base/containers.h"
#include "store/records.h"
#include "store/sparray.h"

class CKData;

// Ex-rights events, kept in date order.
class CArray42 : public CRecordArray<DRDATA> {
public:
    void Sort();
};

// Base-figure records (no order).
class CArray252 : public CRecordArray<BASEDATA> {};

// Records of clkoutln.out (no order).
class COutlineArray : public CRecordArray<OUTLINE> {};

// Tick records of the .fbl and .fbs files (no order).
class CArray20 : public CRecordArray<FENBI> {};

// A stock's signals: date key to value, with the smallest and largest key seen.
class CSignalStore {
public:
    CSignalStore() : m_minKey(0), m_maxKey(0) {}
    void Insert(DWORD key, DWORD value);
    void Clear();
    bool Lookup(DWORD key, DWORD* value) const;
    int GetCount() const { return int(m_map.size()); }
    DWORD GetMinKey() const { return m_minKey; }
    DWORD GetMaxKey() const { return m_maxKey; }
    const std::map<DWORD, DWORD>& GetMap() const { return m_map; }

private:
    std::map<DWORD, DWORD> m_map;
    DWORD m_minKey;
    DWORD m_maxKey;
};

// The day's minutes in time order.
class MinuteArray : public CRecordArray<MINUTE> {
public:
    void Sort();
    // Removes records without time, price or volume, outside the trading hours (60 s margin),
    // before the day of the last record, and repeated times (the earliest of equal times stays).
    void CleanUp();
    // Last cumulative volume, and the volume steps counted as bought (outer) and sold (inner).
    bool GetOuterInnerVolume(double* lastVolume, double* outer, double* inner) const;
    // Change in % over the last 200 to 600 seconds.
    bool GetDiffPercentMin5(double* out) const;
    // Sum of the price steps of the records end - 12 to end.
    bool SumPriceChanges(double* out, int end) const;
    // Distinct prices (x 1000, ascending) with the volume traded at each, and the largest volume.
    bool GetPriceVolumeDistribution(CSPDWordArray& prices, CSPDWordArray& volumes, DWORD* maxVolume) const;
    // Range of the volume ratio across the day.
    bool GetVolumeRatioStatistic(double averageVolume, double* minimum, double* maximum) const;
    // Bars from the minutes: records that already are bars one each, one-minute records gathered
    // into five-minute bars. Returns the bar count.
    int BuildKData(CKData& series) const;
    // Today's day bar from the first quote and the minutes. Returns the bar count.
    int BuildDayBar(CKData& series, const class ReportArray& quotes) const;
};

// Quotes in time order, then volume ascending.
class ReportArray : public CRecordArray<REPORT> {
public:
    void Sort();
    // Removes quotes without time, price or volume, outside the trading hours (60 s margin), and
    // quotes inside them whose volume did not grow.
    void CleanUp();
    bool GetBuySellVolume(int index, double* buySum, double* sellSum, double* difference) const;
    bool GetBuySellStatistics(double* minimum, double* maximum) const;
};

// A day bar from one quote; a quote time of 0 or -1 stands for now.
bool BuildKDataFromReport(KDATA& bar, const REPORT* quote);
