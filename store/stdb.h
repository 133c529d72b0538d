// The market-data store over the folder tree hqdata beside the program: file names, the readers
// of every data file and the writers of downloaded files.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "store/stockinfo.h"

class CStock;
class CStockContainer;

// Data kinds, shared with CStock::PrepareData.
enum StoreDataType {
    dataCode = 1,
    dataK = 2,
    dataDR = 3,
    dataCodeInfo = 4,
    dataBaseText = 5,
    dataReport = 7,
    dataMinute = 8,
    dataOutline = 9,
    dataSignal = 13,
    dataFenbiL = 14,
    dataFenbiS = 15,
};

// Largest files the readers accept.
constexpr int64_t kMaxDataFileSize = 64 * 1024 * 1024;
// Most records a code list may hold: a generous bound (the two markets list a few thousand
// codes) that keeps a bogus list from the service from stalling the start-up. A longer list is
// refused as a whole.
constexpr int kMaxCodeListRecords = 100000;
// Most quotes one stock's chain may give (about 28 MB in memory; a trading day at one quote a
// second has 14,400): a count above it is refused rather than allocated.
constexpr int kMaxReportRecords = 200000;

class IStStore {
public:
    IStStore() : m_bIsOK(0) { m_szRoot[0] = 0; }
    virtual ~IStStore() {}
    IStStore(const IStStore&) = delete;
    IStStore& operator=(const IStStore&) = delete;

    virtual bool IsOK() { return m_bIsOK != 0; }
    virtual const char* GetRootPath() { return m_szRoot; }
    virtual int GetDBType() = 0;
    virtual const char* GetDBTypeName() = 0;
    virtual int LoadCodeTable(CStockContainer& container) = 0;
    virtual int StoreCodeTable(CStockContainer& container) = 0;
    virtual int LoadBaseText(CStock* stock) = 0;
    virtual int LoadKData(CStock* stock, int period) = 0;
    virtual int LoadReport(CStock* stock) = 0;
    virtual int LoadMinute(CStock* stock) = 0;
    virtual int LoadOutline(CStock* stock) = 0;
    virtual int LoadSignal(CStock* stock) = 0;
    virtual int LoadFenbiL(CStock* stock) = 0;
    virtual int LoadFenbiS(CStock* stock) = 0;
    // The path of one data file; see CSelfDB.
    virtual int GetFileName(std::string& path, int type, const CStockInfo* info, int period) = 0;
    virtual int StoreMinute(const char* path, const void* data, int size) = 0;
    virtual int StoreDay(const char* path, const void* data, int size) = 0;
    virtual int StoreSignal(const char* path, const void* data, int size) = 0;
    virtual int StoreFenbi(const char* path, const void* data, int size) = 0;
    virtual int LoadKDataEx(CStock* stock) = 0;
    virtual int StoreFile(const char* path, const void* data, int size) = 0;

protected:
    int m_bIsOK;
    char m_szRoot[1024];
};

// The bars of count K file records of one stock: its market and code, the record's fields and
// the date of its time in UTC+8.
void ConvertKFileRecords(const KFILE_RECORD* in, int count, DWORD market, const char* code, KDATA* out);

// Requires the Shanghai folders beneath path; on success copies the path with its trailing
// separator into buffer and returns 1.
int FindRootPath(const char* path, char* buffer, int size);
// A new store over the folder, or null.
std::unique_ptr<IStStore> CreateStore(const char* path, int type);

class CSelfDB : public IStStore {
public:
    CSelfDB(const char* path, bool explicitRoot);
    ~CSelfDB() override;

    int GetDBType() override { return 2; }
    const char* GetDBTypeName() override { return "Velmora"; }
    int LoadCodeTable(CStockContainer& container) override;
    int StoreCodeTable(CStockContainer& container) override;
    int LoadBaseText(CStock* stock) override;
    int LoadKData(CStock* stock, int period) override;
    int LoadReport(CStock* stock) override;
    int LoadMinute(CStock* stock) override;
    int LoadOutline(CStock* stock) override;
    int LoadSignal(CStock* stock) override;
    int LoadFenbiL(CStock* stock) override;
    int LoadFenbiS(CStock* stock) override;
    // 0 for an unknown type or period, an empty or unsafe code; for types 5, 13, 14 and 15
    // whether the file exists; else 1.
    int GetFileName(std::string& path, int type, const CStockInfo* info, int period) override;
    // Writers: the whole body or nothing. The body goes to a temporary file beside the target,
    // every write is checked, and the temporary file is renamed over the target under the file
    // group's mutex. An empty body, one of the wrong record size, a body still carrying the gzip
    // magic, day, minute and tick bodies that are not records of their kind (CheckStoredData) and
    // a path outside the store are refused with 0 and the target is left as it was.
    // Returns size on success.
    int StoreMinute(const char* path, const void* data, int size) override;
    int StoreDay(const char* path, const void* data, int size) override;
    int StoreSignal(const char* path, const void* data, int size) override;
    int StoreFenbi(const char* path, const void* data, int size) override;
    int LoadKDataEx(CStock* stock) override;
    int StoreFile(const char* path, const void* data, int size) override;

    // The readers of the files, without locks.
    static int LoadCodeListFile(const char* path, CStockContainer& container);
    static int LoadKDataFile(const char* path, CStock* stock, int period);
    static int LoadMinuteFile(const char* path, CStock* stock);

private:
    std::string Path(const char* relative) const;
    bool IsInsideRoot(const char* path) const;
    // recordKind: the StoredFileKind whose records the body must be, or -1 for bytes of any kind.
    int WriteChecked(std::mutex& lock, const char* path, const void* data, int size, int recordSize, int recordKind);
    int LoadFenbi(CStock* stock, int type);

    // One per file group; no thread holds two of them.
    std::mutex m_dayLock;     // day and signal files
    std::mutex m_minuteLock;  // minute files
    std::mutex m_textLock;    // base texts and other files
    std::mutex m_tickLock;    // tick files
};
