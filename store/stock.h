// One stock's full data as the views use it, loaded piece by piece through the database facade.
#pragma once

#include <string>

#include "store/kdata.h"
#include "store/recarrays.h"
#include "store/stockinfo.h"

class CStDatabase;

class CStock {
public:
    enum { kMaxBaseText = 2097152 };

    CStock();
    virtual ~CStock();
    CStock(const CStock&) = delete;
    CStock& operator=(const CStock&) = delete;

    void Clear();
    void SetDatabase(CStDatabase* database) { m_pDatabase = database; }
    CStDatabase* GetDatabase() const { return m_pDatabase; }
    void SetStockCode(DWORD market, const char* code);
    // False for a null info; true when the code is longer than 5 characters.
    bool SetStockInfo(const CStockInfo* info);

    CStockInfo& GetStockInfo() { return m_stockinfo; }
    const CStockInfo& GetStockInfo() const { return m_stockinfo; }
    const char* GetStockCode() const { return m_stockinfo.GetStockCode(); }
    const char* GetPlainCode();

    // Any ktype other than 1, 2, 3, 4, 6 and 7 gives the day series.
    CKData& GetKData(int ktype);
    CKData& GetKDataMonth() { return m_kdMonth; }
    CKData& GetKDataWeek() { return m_kdWeek; }
    CKData& GetKDataDay() { return m_kdDay; }
    CKData& GetKDataHour() { return m_kdMin60; }
    CKData& GetKDataMin30() { return m_kdMin30; }
    CKData& GetKDataMin15() { return m_kdMin15; }
    CKData& GetKDataMin5() { return m_kdMin5; }

    CArray42& GetDRData() { return m_drdata; }
    ReportArray& GetReport() { return m_report; }
    MinuteArray& GetMinute() { return m_minute; }
    COutlineArray& GetOutline() { return m_outline; }
    CSignalStore& GetSignal() { return m_signal; }
    CArray20& GetFenbiL() { return m_fenbiL; }
    CArray20& GetFenbiS() { return m_fenbiS; }
    char* GetBaseText() { return m_pBaseText; }
    int GetBaseTextLength() const { return m_nBaseTextLen; }

    // A zeroed buffer of length + 1 bytes; false above 2097152 or without memory.
    bool AllocBaseText(int length);
    int CopyBaseText(CStock& other);
    int PrepareBaseText(bool reload);
    // Loads one kind of data (StoreDataType) through the database; see the implementation.
    int PrepareData(int type, int ktype, bool reload);
    // Keeps or rebuilds the derived periods; returns the series' bar count.
    int ExtractKData(int ktype, bool force);
    int MergeKData(CStock* other, int ktype);

private:
    void SetKDataPeriods();
    void FreeBaseText();

    CStDatabase* m_pDatabase;
    CStockInfo m_stockinfo;
    CKData m_kdMonth;
    CKData m_kdWeek;
    CKData m_kdDay;
    CKData m_kdMin60;
    CKData m_kdMin30;
    CKData m_kdMin15;
    CKData m_kdMin5;
    CArray42 m_drdata;
    ReportArray m_report;
    MinuteArray m_minute;
    COutlineArray m_outline;
    int m_nBaseTextLen;
    char* m_pBaseText;
    std::string m_strPlainCode;
    CSignalStore m_signal;
    CArray20 m_fenbiL;
    CArray20 m_fenbiS;
};
