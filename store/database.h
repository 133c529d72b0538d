// The facade through which every part loads and stores market data, the process-wide data
// objects, the start-up of the store and the loading of a stock for a chart.
#pragma once

#include <memory>
#include <string>

#include "base/containers.h"
#include "store/container.h"
#include "store/stdb.h"
#include "store/stock.h"

// windows.h turns GetTempPath into a macro; our method keeps its own name.
#ifdef GetTempPath
#undef GetTempPath
#endif

class CStDatabase : public Object {
public:
    CStDatabase();
    ~CStDatabase() override;
    CStDatabase(const CStDatabase&) = delete;
    CStDatabase& operator=(const CStDatabase&) = delete;

    virtual int GetTempPath(char* buffer, int size);
    virtual int GetDBName(char* buffer, int size);
    virtual int LoadCodeTable(CStockContainer& container);
    virtual int StoreCodeTable(CStockContainer& container);
    virtual int LoadBaseText(CStock* stock);
    virtual int LoadKData(CStock* stock, int ktype);
    virtual int LoadReport(CStock* stock);
    virtual int LoadMinute(CStock* stock);
    virtual int LoadSignal(CStock* stock);
    virtual int LoadFenbiL(CStock* stock);
    virtual int LoadFenbiS(CStock* stock);
    virtual int LoadOutline(CStock* stock);
    virtual int StoreMinute(const char* path, const void* data, int size);
    virtual int StoreDay(const char* path, const void* data, int size);
    virtual int StoreSignal(const char* path, const void* data, int size);
    virtual int StoreFile(const char* path, const void* data, int size);
    virtual int StoreFenbi(const char* path, const void* data, int size);
    virtual int LoadKDataEx(CStock* stock);

    // Replaces the main store by a new one over path.
    bool Open(const char* path, int type);
    // Replaces the main store (tests use their own).
    void SetStore(std::unique_ptr<IStStore> store);
    IStStore* GetStore() { return m_pStore.get(); }
    // The path of one data file, empty when the store has none.
    std::string GetFileName(int type, const CStockInfo& info, int period);

private:
    IStStore* Ready();
    std::unique_ptr<IStStore> m_pStore;
};

CStockContainer& GetStockContainer();
// A second list of stocks, the profile's cursor moves over it when told to.
CStockContainer& GetStockContainer2();
CDomainContainer& GetDomainContainer();
// Whenever empty on a call, a group "自选股" is added first.
CDomainContainer& GetGroupContainer();
CStDatabase& GetDatabase();
// The Shanghai composite index.
CStock& GetIndexStock();
// The Shenzhen index stock that the chart's index overlay draws (code set by the overlay).
CStock& GetShenzhenIndexStock();

// Creates the data folders under the program folder and opens the store; 0 with a text in the
// buffer on failure.
int InitializeDatabase(char* errorText, int size);
int CreateDataFolders(const char* folder);
int PrepareStockData(CStDatabase* database, CStock* stock, int ktype, int exrightMode, int priceMode,
                     bool fillWithIndex, bool reload);

std::string GetPathFolder(const char* path);
// 1 Sunday to 7 Saturday, in UTC+8.
int GetWeekday(int32_t time);
// The formatted text followed by the weekday name of the time; empty for an empty result.
std::string AppendWeekdayName(int32_t time, const char* format, ...);
