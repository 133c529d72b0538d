// One stock's K-line series of one period, with its ex-rights records.
#pragma once

#include <cstdint>
#include <memory>

#include "store/recarrays.h"
#include "store/records.h"

class CKData {
public:
    CKData();
    CKData(const CKData& other);
    CKData& operator=(const CKData& other) {
        Copy(other);
        return *this;
    }
    virtual ~CKData();

    // Frees both bar arrays; ktype 5, plain bars, close prices. The ex-rights records stay.
    void Clear();
    // Assignment; assigning a series to itself keeps it.
    void Copy(const CKData& other);

    int GetSize() const { return m_nSize; }
    int GetCapacity() const { return m_nMaxSize; }
    int GetGrowBy() const { return m_nGrowBy; }
    int GetKType() const { return m_nKType; }
    void SetKType(int ktype) { m_nKType = ktype; }
    int GetExrightMode() const { return m_nExrightMode; }
    int GetPriceMode() const { return m_nPriceMode; }
    void SetPriceMode(int mode) { m_nPriceMode = mode; }

    // The non-const accessors hand out writable bars: each counts as a change (see GetColumn).
    KDATA* GetData() { return Touched(m_pData); }
    const KDATA* GetData() const { return m_pData; }
    KDATA& ElementAt(int i) { return *Touched(m_pData + i); }
    const KDATA& ElementAt(int i) const { return m_pData[i]; }
    KDATA& operator[](int i) { return *Touched(m_pData + i); }
    const KDATA& operator[](int i) const { return m_pData[i]; }
    // The unadjusted bars kept while the series is shown adjusted (empty in mode 1).
    int GetPlainSize() const { return m_nSizePlain; }
    const KDATA* GetPlainData() const { return m_pDataPlain; }

    // growBy -1 keeps the step; count 0 frees. New slots are zero.
    void SetSize(int count, int growBy = -1);
    void SetGrowBy(int growBy) { m_nGrowBy = growBy < 0 ? 0 : growBy; }
    void SetAt(int i, const KDATA& bar);
    void ReplaceAt(int i, const KDATA& bar) { Touched(m_pData)[i] = bar; }
    int Add(const KDATA& bar);
    void InsertAt(int i, const KDATA& bar, int count = 1);
    void RemoveAt(int i, int count = 1);
    // Replaces the bar of the same date or inserts it in date order; returns its index.
    int InsertOrReplace(const KDATA& bar);

    void SetDRData(const CArray42& records) { m_drdata = records; }
    const CArray42& GetDRData() const { return m_drdata; }
    CArray42& GetDRData() { return m_drdata; }
    // 1 plain, 2 forward, 3 backward; always rebuilt from the plain bars.
    void SetExrightMode(int mode, int baseDate = kDefaultExrightBaseDate,
                        int thresholdPercent = kDefaultGapThresholdPercent);

    // A bar field of every bar as contiguous doubles (double(bar.field), bar 0 first), for the
    // whole-series loops: the indicators of a chart read the same fields of the same series, and a
    // column reads in a fraction of the time the 52-byte records take. Read on the first request
    // and kept until the bars change: every mutation and every non-const accessor (which hands out
    // a writable bar) counts as a change, so a write through a pointer or reference taken after
    // the column was read is seen; a pointer kept from before and written later is not (take it
    // again after reading a column). Freed with the series by Clear. Null when memory could not
    // be had or for an empty series. Not locked: a series belongs to the thread showing it.
    enum BarField { fieldOpen, fieldHigh, fieldLow, fieldClose, fieldVolume, fieldAmount, kBarFields };
    const double* GetColumn(int field) const;
    // Whether GetColumn(field) would answer without reading the bars.
    bool HasColumn(int field) const {
        return field >= 0 && field < kBarFields && !m_bHandedOut && m_columns[field].values &&
               m_columns[field].stamp == m_nChanges && m_columns[field].size == m_nSize;
    }
    // Changes so far (mutations and non-const accesses); a column is valid for one count only.
    uint64_t GetChangeCount() const {
        NoteHandedOut();
        return m_nChanges;
    }

    // Close, open or average price of bar i by the price mode; 0 out of range.
    double GetPriceAt(int i) const;
    // Date field of bar i, of the last bar when i is out of range, 0 when empty.
    DWORD GetDate(int i) const;
    // As GetDate, with minute stamps turned into their day's YYYYMMDD.
    DWORD GetDateAt(int i) const;
    bool GetDateFields(int i, int* year, int* month, int* day, int* hour, int* minute) const;
    int GetIndexByDate(DWORD date) const;
    bool GetMinMax(int from, int to, double* low, double* high) const;

    // Places other's bars by date; returns the number of bars placed.
    int Merge(const CKData* other);
    // Inserts a bar for every index date on which the stock did not trade.
    int FillSuspendedDays(const CKData& indexSeries, bool loose);
    // 1 when this series' last bar is later than the source's, 0 when equal, -1 when earlier.
    int CompareLatest(const CKData& source) const;

    bool GetDiff(double* out, DWORD date, int n) const;
    bool GetRatio(double* out, DWORD date, int n) const;
    bool GetAmplitude(double* out, DWORD date, int n) const;
    bool GetVolumeSum(double* out, DWORD date, int n) const;
    bool GetRatioVolume(double* out, DWORD date, int n) const;
    bool GetUpDownRatio(double* out, DWORD date, int n) const;
    bool GetMA(double* out, int i, int n) const;
    bool IsNewHigh(int i, bool high, int n) const;
    bool IsValidSpan(int i, int n) const;

private:
    friend struct KArrayAccess;
    void Rebuild();
    void FreePlain();
    void FreeColumns();
    // A non-const accessor only marks that it handed out writable bars (a plain store: the
    // indicators' loops call them at every bar); the mark counts as one change when the count
    // is next looked at.
    template <typename T>
    T* Touched(T* p) {
        m_bHandedOut = true;
        return p;
    }
    void NoteHandedOut() const {
        if (m_bHandedOut) ++m_nChanges, m_bHandedOut = false;
    }

    struct Column {
        std::unique_ptr<double[]> values;
        int capacity = 0;
        int size = 0;
        uint64_t stamp = 0;  // the change count it was read at
    };
    mutable Column m_columns[kBarFields];
    mutable uint64_t m_nChanges = 0;
    mutable bool m_bHandedOut = false;

    int m_nKType;
    int m_nExrightMode;
    int m_nPriceMode;
    CArray42 m_drdata;
    // Settings of the last adjustment, so that a merge in an adjusted mode can rebuild.
    int m_nBaseDate;
    int m_nThresholdPercent;

    KDATA* m_pDataPlain;
    int m_nSizePlain;
    int m_nMaxSizePlain;

    KDATA* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};

// Factor of one ex-rights event for the reference price; never 0 or below.
double GetExrightFactor(double price, const DRDATA& record);

// YYYYMMDD of a bar date of the period (minute stamps give their day).
DWORD BarDateToDay(DWORD date, int ktype);

// Period conversions; each rebuilds the target and returns its bar count.
int ConvertMinutePeriod(const CKData& source, CKData& target, int n);
inline int Convert5To15Minute(const CKData& source, CKData& target) { return ConvertMinutePeriod(source, target, 3); }
inline int Convert5To30Minute(const CKData& source, CKData& target) { return ConvertMinutePeriod(source, target, 6); }
inline int Convert5To60Minute(const CKData& source, CKData& target) { return ConvertMinutePeriod(source, target, 12); }
int ConvertDayToWeek(const CKData& source, CKData& target);
int ConvertDayToMonth(const CKData& source, CKData& target);

// Yearly average return and its deviation over n bars up to end (-1 the last; n -1 the whole series).
bool CalcYieldAverage(const CKData& series, double* average, double* deviation, int n, int end);
bool CalcBeta(const CKData& series, const CKData& indexSeries, double indexAverage, double indexDeviation,
              double* beta, int n, int end);

// Stamp of the bar after the given one; -1 (as unsigned) when not valid for the period.
DWORD NextBarStamp(DWORD stamp, int ktype);
constexpr DWORD kNoStamp = 0xFFFFFFFFu;
