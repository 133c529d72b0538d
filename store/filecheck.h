// Whether a stored data file is whole: the shape its writer gives it and records that can be
// read. A file that fails is refetched rather than shown (a cut write of an older build, a disk
// fault, a file copied in by hand).
#pragma once

#include <cstddef>

enum StoredFileKind {
    storedDay,       // K records of 32 bytes, times rising, prices not negative
    storedMinute,    // exactly one quote header and 241 minutes of the trading day (or empty slots)
    storedCodeList,  // 68-byte records of "SH"/"SZ" codes
};

bool IsWholeStoredData(const void* data, size_t size, StoredFileKind kind);
// False for a missing or unreadable file too.
bool IsWholeStoredFile(const char* path, StoredFileKind kind);
