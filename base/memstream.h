// Growable byte stream: every HTTP body is received into one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/platform.h"

class CMemoryStream {
public:
    enum { kGranule = 8192 };

    CMemoryStream();
    explicit CMemoryStream(HANDLE ownedHandle);  // the stream closes the handle when destroyed
    virtual ~CMemoryStream();
    CMemoryStream(const CMemoryStream&) = delete;
    CMemoryStream& operator=(const CMemoryStream&) = delete;

    // Writes at the position; returns the count written, 0 for a negative position or count,
    // an end not above 0, or memory that could not be had (the contents are then kept).
    long Write(const void* data, long count);
    // Copies at most count bytes from the position; returns the count read.
    long Read(void* out, long count);
    // origin 0 start, 1 position, 2 size; any other origin leaves the position.
    long Seek(long offset, int origin);
    // Makes room for at least bytes; false when the memory could not be had.
    bool Grow(long bytes);
    void Reset();

    BYTE* GetData() const { return m_pData; }
    long GetSize() const { return m_nSize; }
    long GetPosition() const { return m_nPosition; }
    long GetCapacity() const { return m_nCapacity; }

protected:
    // Reallocates to the requested capacity (written back rounded up to the granule);
    // returns the new data pointer, or null with the old block untouched on failure.
    virtual BYTE* Realloc(long& capacity);

private:
    bool Reserve(long end);

    BYTE* m_pData;
    long m_nSize;
    long m_nPosition;
    long m_nCapacity;
    HANDLE m_hOwned;
#ifdef _WIN32
    HGLOBAL m_hMem;
#endif
};
