// Block file: per stock a chain of fixed-size blocks of equal records, found through a hash
// index in the same file. The quote reports of each market live in one (shse.rpt, szse.rpt).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "base/spfile.h"
#include "store/records.h"

#pragma pack(push, 1)
struct TSK_HEADER {
    char tag[4];  // "CLKF"
    BYTE reserved1[20];
    int32_t closeTime;
    int32_t indexOffset;
    int32_t entrySize;
    int32_t slotCount;
    int32_t usedCount;
    int32_t recordSize;
    int32_t recordsPerBlock;
    BYTE reserved2[8];
    int32_t freeHead;
    BYTE reserved3[404];
};
static_assert(sizeof(TSK_HEADER) == 468, "block file header");

struct TSK_ENTRY {
    char tag[4];  // "INDX"
    DWORD market;
    char code[16];
    int32_t firstBlock;
    int32_t recordCount;
    DWORD kept;
};
static_assert(sizeof(TSK_ENTRY) == 36, "block file entry");

struct TSK_BLOCK {
    char tag[4];  // "BLCK"
    int32_t inUse;
    int32_t dataOffset;
    int32_t used;
    int32_t next;
    int32_t reserved;
};
static_assert(sizeof(TSK_BLOCK) == 24, "block header");
#pragma pack(pop)

// The one lock of every block file in the process.
std::recursive_mutex& GetBlockFileMutex();

class CTSKFile {
public:
    CTSKFile();
    virtual ~CTSKFile();
    CTSKFile(const CTSKFile&) = delete;
    CTSKFile& operator=(const CTSKFile&) = delete;

    // True when the header arrived whole, carries "CLKF" and describes a usable file.
    bool Open(const char* path);
    // Stamps the current time into the header, writes it and closes.
    void Close();
    // Closes without writing anything: for a file that was only looked at and refused.
    void Discard();
    bool IsOpen() const { return m_file.IsOpen(); }
    const TSK_HEADER& GetHeader() const { return m_header; }

    // The entry's record count, cut to what the file's whole blocks could hold; 0 when none.
    int GetRecordCount(DWORD market, const char* code);
    int ReadRecords(DWORD market, const char* code, void* buffer, int recordLength, int maxCount);
    // Walks the stock's chain and hands its records to sink a piece at a time (count records of
    // the header's record size each), up to maxCount records or until sink returns false.
    // Returns the number of records handed over.
    int ForEachRecord(DWORD market, const char* code, int maxCount, const std::function<bool(const char*, int)>& sink);
    int WriteRecords(DWORD market, const char* code, const void* data, int recordLength, int count, bool rewrite);

private:
    bool FindEntry(DWORD market, const char* code, bool create);
    int32_t AllocBlock();
    int FreeChain(int32_t first);
    // Bytes read at the offset (0 when it cannot be reached).
    UINT ReadSome(int64_t offset, void* buffer, UINT size);
    bool ReadAt(int64_t offset, void* buffer, UINT size);
    bool WriteAt(int64_t offset, const void* buffer, UINT size);
    bool WriteHeader();
    int64_t BlockSize() const;
    // Steps a chain walk may take before it counts as a loop.
    int64_t MaxChainSteps();

    CSPFile m_file;
    TSK_HEADER m_header;
    TSK_ENTRY m_entry;
    int64_t m_entryOffset;
};

// Hash of a code for the index: hash * 33 + signed byte, 32-bit wrap-around.
uint32_t TskHashCode(const char* code);
