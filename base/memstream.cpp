#include "base/memstream.h"

#include <climits>
#include <cstdlib>
#include <cstring>

CMemoryStream::CMemoryStream() : CMemoryStream(nullptr) {}

CMemoryStream::CMemoryStream(HANDLE ownedHandle)
    : m_pData(nullptr), m_nSize(0), m_nPosition(0), m_nCapacity(0), m_hOwned(ownedHandle) {
#ifdef _WIN32
    m_hMem = nullptr;
#endif
}

CMemoryStream::~CMemoryStream() {
    Reset();
#ifdef _WIN32
    if (m_hOwned && m_hOwned != INVALID_HANDLE_VALUE) CloseHandle(m_hOwned);
#endif
}

BYTE* CMemoryStream::Realloc(long& capacity) {
    long n = capacity;
    if (n > 0 && n != m_nSize) {
        if (n > LONG_MAX - kGranule) return nullptr;
        n = (n + kGranule - 1) / kGranule * kGranule;
        capacity = n;
    }
    if (n == m_nCapacity) return m_pData;
#ifdef _WIN32
    if (n == 0) {
        if (m_hMem) {
            GlobalUnlock(m_hMem);
            GlobalFree(m_hMem);
            m_hMem = nullptr;
        }
        return nullptr;
    }
    HGLOBAL h;
    if (m_hMem) {
        GlobalUnlock(m_hMem);
        h = GlobalReAlloc(m_hMem, static_cast<SIZE_T>(n), GMEM_MOVEABLE);
        if (!h) {  // the old block stays valid
            GlobalLock(m_hMem);
            return nullptr;
        }
    } else {
        h = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(n));
        if (!h) return nullptr;
    }
    m_hMem = h;
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    if (!p) OutputDebugStringA("alloc memory error");
    return p;
#else
    if (n == 0) {
        std::free(m_pData);
        return nullptr;
    }
    return static_cast<BYTE*>(std::realloc(m_pData, static_cast<size_t>(n)));
#endif
}

bool CMemoryStream::Reserve(long end) {
    if (end <= m_nCapacity) return true;
    // Grow geometrically so that a large body costs few copies.
    long want = end;
    if (m_nCapacity > 0 && m_nCapacity <= LONG_MAX / 2 && m_nCapacity * 2 > want) want = m_nCapacity * 2;
    BYTE* p = Realloc(want);
    if (!p) return false;
    m_pData = p;
    m_nCapacity = want;
    return true;
}

long CMemoryStream::Write(const void* data, long count) {
    if (m_nPosition < 0 || count < 0) return 0;
    if (count > LONG_MAX - m_nPosition) return 0;
    long end = m_nPosition + count;
    if (end <= 0) return 0;
    if (end > m_nSize) {
        if (!Reserve(end)) return 0;
        // A gap left by seeking past the end reads as zeros, never as old memory.
        if (m_nPosition > m_nSize) std::memset(m_pData + m_nSize, 0, static_cast<size_t>(m_nPosition - m_nSize));
        m_nSize = end;
    }
    if (count) std::memcpy(m_pData + m_nPosition, data, static_cast<size_t>(count));
    m_nPosition = end;
    return count;
}

long CMemoryStream::Read(void* out, long count) {
    if (count <= 0 || m_nPosition < 0 || m_nPosition >= m_nSize) return 0;
    long n = m_nSize - m_nPosition;
    if (count < n) n = count;
    std::memcpy(out, m_pData + m_nPosition, static_cast<size_t>(n));
    m_nPosition += n;
    return n;
}

long CMemoryStream::Seek(long offset, int origin) {
    switch (origin) {
    case 0: m_nPosition = offset; break;
    case 1: m_nPosition += offset; break;
    case 2: m_nPosition = m_nSize + offset; break;
    default: break;
    }
    return m_nPosition;
}

bool CMemoryStream::Grow(long bytes) {
    if (bytes <= m_nCapacity) return true;
    long want = bytes;
    BYTE* p = Realloc(want);
    if (!p) return false;
    m_pData = p;
    m_nCapacity = want;
    return true;
}

void CMemoryStream::Reset() {
    long zero = 0;
    if (m_nCapacity) Realloc(zero);
    m_pData = nullptr;
    m_nCapacity = 0;
    m_nSize = 0;
    m_nPosition = 0;
}
