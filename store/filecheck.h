// Whether a data file's bytes can be the records of its kind: the shape its writer gives it and
// fields a real file can hold. Every writer of downloaded data asks before it replaces a stored
// file (the service may send an uncompressed body of the right length that is no data at all),
// and the start-up asks of stored files, which are refetched rather than shown when they fail
// (a cut write of an older build, a disk fault, a file copied in by hand).
// Only what cannot be a record is refused: real files have odd bars (an open a cent above the
// high), so prices are not checked against each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum StoredFileKind {
    storedDay,       // K records of 32 bytes (day, week, month): real dates, strictly rising
    storedMinute,    // exactly one quote header and 241 minutes of the trading day (or empty slots)
    storedCodeList,  // 68-byte records of "SH"/"SZ" codes
    storedTicks,     // ".fbs"/".fbl" records of 20 bytes: real times, real prices and quantities
};

// Bounds of a field that can be real: prices (yuan or index points) and volumes or amounts.
constexpr float kMaxRecordPrice = 1.0e6f;
constexpr float kMaxRecordQuantity = 1.0e15f;
// No market data before this (1990-01-01 00:00 Beijing time).
constexpr int32_t kFirstRecordTime = 631123200;

struct StoredDataCheck {
    bool whole;
    std::string reason;  // why not, naming the record and field; empty when whole
};
// now: the service's clock; no time may lie after its tomorrow (Beijing days).
StoredDataCheck CheckStoredData(const void* data, size_t size, StoredFileKind kind, int32_t now);
// One quote of a ".rpt" block file: a real time, real prices and quantities (the rules of a
// minute file's quote header). Such files come from outside; a quote that fails is dropped.
struct REPORT_FILE_RECORD;
StoredDataCheck CheckQuoteRecord(const REPORT_FILE_RECORD& quote, int32_t now);
// Against the store's clock (StoreClockNow).
bool IsWholeStoredData(const void* data, size_t size, StoredFileKind kind);
// False for a missing or unreadable file too.
bool IsWholeStoredFile(const char* path, StoredFileKind kind);
