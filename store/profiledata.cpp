#include "store/profiledata.h"

#include <algorithm>
#include <cstring>

// ---- CColorClassContainer ----

CColorClassContainer::CColorClassContainer() : m_nCurrent(0) {
    CColorClass traditional;
    SetTraditionalColors(traditional.m_aColorRef);
    Add(traditional);
}

CColorClassContainer::CColorClassContainer(const CColorClassContainer& other)
    : CSPArray<CColorClass>(other), m_nCurrent(other.m_nCurrent) {}

CColorClassContainer& CColorClassContainer::operator=(const CColorClassContainer& other) {
    CSPArray<CColorClass>::operator=(other);
    m_nCurrent = other.m_nCurrent;
    return *this;
}

void CColorClassContainer::SetBuiltInSchemes() {
    RemoveAll();
    m_nCurrent = 0;
    for (int i = 0; i < kColorSchemeCount; ++i) {
        CColorClass scheme;
        scheme.m_strName = kColorSchemeNames[i];
        SetSchemeColors(i, scheme.m_aColorRef);
        Add(scheme);
    }
}

COLORREF CColorClassContainer::GetColor(int slot) {
    if (GetSize() == 0) SetBuiltInSchemes();
    const int scheme = m_nCurrent >= 0 && m_nCurrent < GetSize() ? m_nCurrent : 0;
    if (scheme >= GetSize()) return 0xFFFFFF;
    const CColorRefContainer& colors = GetAt(scheme).m_aColorRef;
    if (slot < 0 || slot >= colors.GetSize()) return 0xFFFFFF;
    return colors[slot];
}

// ---- archive counts ----

void WriteArchiveCount(CSPArchive& ar, uint32_t count) {
    if (count < 0xFFFF) {
        const BYTE b[2] = {BYTE(count), BYTE(count >> 8)};
        ar.Write(b, 2);
        return;
    }
    const BYTE b[2] = {0xFF, 0xFF};
    ar.Write(b, 2);
    ar.WriteInt(int32_t(count));
}

uint32_t ReadArchiveCount(CSPArchive& ar) {
    BYTE b[2] = {0, 0};
    ar.Read(b, 2);
    const uint32_t word = uint32_t(b[0]) | (uint32_t(b[1]) << 8);
    if (word != 0xFFFF) return word;
    return uint32_t(ar.ReadInt());
}

long ArchiveFileLength(CSPArchive& ar) {
    CSPFile* file = ar.GetFile();
    // Bytes checked in memory before a save get the same bounds as the file read later.
    if (const CMemArchiveFile* mem = dynamic_cast<const CMemArchiveFile*>(file)) return long(mem->GetBytes().size());
    if (!file || !file->IsOpen()) return -1;
    return file->GetLength();
}

bool CountFits(int64_t count, int64_t minBytes, long fileLength, int64_t maxCount) {
    if (count < 0 || count > maxCount) return false;
    return fileLength < 0 || count * minBytes <= int64_t(fileLength);
}

// ---- CMemArchiveFile ----

long CMemArchiveFile::Seek(long offset, int origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(m_nPos) : origin == 2 ? int64_t(m_bytes.size()) : -1;
    int64_t to = base + offset;
    if (base < 0 || to < 0 || to > int64_t(m_bytes.size())) return -1;
    m_nPos = size_t(to);
    return long(to);
}

UINT CMemArchiveFile::Read(void* buffer, UINT count) {
    const size_t n = std::min<size_t>(count, m_bytes.size() - std::min(m_nPos, m_bytes.size()));
    if (n) std::memcpy(buffer, m_bytes.data() + m_nPos, n);
    m_nPos += n;
    return UINT(n);
}

UINT CMemArchiveFile::Write(const void* buffer, UINT count) {
    if (!count) return 0;
    if (m_nPos > m_bytes.size()) m_nPos = m_bytes.size();
    const size_t end = m_nPos + count;
    if (end > m_bytes.size()) m_bytes.resize(end);
    std::memcpy(&m_bytes[m_nPos], buffer, count);
    m_nPos = end;
    return count;
}
