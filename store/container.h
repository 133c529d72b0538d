// The list of every stock with its code index and cursor, and the named code lists of sectors
// and user groups.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "base/containers.h"
#include "base/thread.h"
#include "store/sparray.h"
#include "store/stockinfo.h"

class CStDatabase;

class CStockContainer : public CSPArray<CStockInfo> {
public:
    CStockContainer();
    ~CStockContainer() override;

    void Lock() { m_lock.Lock(); }
    void Unlock() { m_lock.Unlock(); }
    CriticalSection& GetLock() { return m_lock; }

    int Add(const CStockInfo& info);
    // Room for count more stocks in the list and in the code map, so that adding them moves no
    // stock and keeps the map's chains short.
    void Reserve(int count);
    int GetStockInfo(const char* code, CStockInfo* out, int* outIndex);
    // The market and kind of a known code, without copying the stock.
    bool LookupMarketAndKind(const char* code, DWORD* market, int* kind);
    bool GetStockName(const char* code, std::string* name);
    int SetCurrentStockIndex(int index);
    int SetCurrentStock(const char* code);
    int GetCurrentStock(CStockInfo* out);
    int GetCurrentIndex();
    int GetPrevStock(CStockInfo* out);
    int GetNextStock(CStockInfo* out);
    // Copies of the n stocks before or after the current one, wrapping around; 0 when none.
    int GetPrevStocks(std::vector<CStockInfo>& out, int n);
    int GetNextStocks(std::vector<CStockInfo>& out, int n);
    int Clear();
    int RebuildCodeMap();
    int LoadFromDatabase(CStDatabase* database, int from, int to);
    int RefreshToDate();
    int ComputeAggregates();
    int GetLatestIndexDate(DWORD* out);
    int SetCachedIndexValue(double value, int columnId, const char* code, DWORD extra);
    int GetCachedIndexValue(double* outValue, int columnId, const char* code, DWORD* outExtra);
    void ClearIndexValueCache();

    void SetDisplayOrder(const std::vector<int>& order);
    int GetModeWord() const { return m_nMode; }
    int GetAsOfDate() const { return m_nAsOfDate; }
    void SetAsOfDate(int date) { m_nAsOfDate = date; }
    CStockInfo& GetAverage() { return m_avr; }
    CStockInfo& GetWeightedAverage() { return m_wavr; }

private:
    // n stocks from the cursor, wrapping around, without moving it.
    int CollectStocks(std::vector<CStockInfo>& out, int n, bool forward);
    struct CacheEntry {
        int columnId;
        double value;
        DWORD extra;
    };
    int StepCursor(bool next);
    // Moves the cursor (-1 for none) and, onto a stock, makes its code the current code.
    void PointAt(int index);
    void ResetAggregates();

    int m_nMode;
    int m_nAsOfDate;
    int m_nCurrent;
    std::string m_strCurrentCode;
    CStockInfo m_avr;
    CStockInfo m_wavr;
    CSPMapStringToPtr m_map;
    std::vector<std::vector<CacheEntry>> m_cache;
    CSPDWordArray m_order;
    CriticalSection m_lock;
};

// A named list of codes. Its codes change only through the operations below, which keep a
// hashed set of the case-folded codes in step with the list, so that a duplicate is found
// without comparing against every code.
class CDomain : protected CSPStringArray {
public:
    using CSPStringArray::GetAt;
    using CSPStringArray::GetCount;
    using CSPStringArray::GetSize;
    using CSPStringArray::GetUpperBound;
    using CSPStringArray::IsEmpty;
    using CSPStringArray::ToVector;
    const std::string& operator[](int i) const { return GetAt(i); }

    std::string m_strName;
    // 0 for an empty code or one already present (case-insensitive).
    int AddStock(const char* code);
    // Whether the code is present (case-insensitive).
    bool HasStock(const char* code) const;
    // 0 when the code is not present; else removes it and returns 1.
    int RemoveStock(const char* code);
    // False when index is outside the list.
    bool RemoveAt(int index);
    void RemoveAll();

private:
    std::unordered_set<std::string> m_keys;
};

class CDomainContainer : public CSPArray<CDomain> {
public:
    // -1 without a name or when that name exists (case-insensitive); else the new index.
    int AddDomain(const CDomain& domain);
    // Reads a domain text file: a name line, code lines, a blank line per list.
    int LoadText(const char* path);
};
