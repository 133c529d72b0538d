// The parts of the settings profile that belong to the store layer: the colour schemes, the alarm
// conditions, the archive counts of the profile file and an in-memory file to build its bytes in.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "base/archive.h"
#include "base/spfile.h"
#include "store/colors.h"
#include "store/sparray.h"

// The colours of one scheme, by slot.
class CColorRefContainer : public CColorArray {};

class CColorClass {
public:
    std::string m_strName;
    CColorRefContainer m_aColorRef;
};

// The colour schemes and the one in use.
class CColorClassContainer : public CSPArray<CColorClass> {
public:
    // One unnamed scheme with the traditional colours, in use.
    CColorClassContainer();
    CColorClassContainer(const CColorClassContainer& other);
    CColorClassContainer& operator=(const CColorClassContainer& other);

    int GetCurrent() const { return m_nCurrent; }
    void SetCurrent(int index) { m_nCurrent = index; }
    // The colour of a slot in the scheme in use (scheme 0 when the index is outside); white for
    // a slot the scheme does not have. An empty container is first refilled with the four
    // built-in schemes. No allocation otherwise.
    COLORREF GetColor(int slot);
    // Empties the container and adds the four built-in schemes, the first in use.
    void SetBuiltInSchemes();

private:
    int32_t m_nCurrent;
};

// One alarm condition: 60 bytes that travel unread.
struct _alarm_cond_t {
    BYTE bytes[60];
};
static_assert(sizeof(_alarm_cond_t) == 60, "alarm condition record");

// The alarm conditions with their own lock; copying copies the records only.
class CAlarmCondContainer : public CSPArray<_alarm_cond_t> {
public:
    CAlarmCondContainer() = default;
    CAlarmCondContainer(const CAlarmCondContainer& other) : CSPArray<_alarm_cond_t>(other) {}
    CAlarmCondContainer& operator=(const CAlarmCondContainer& other) {
        CSPArray<_alarm_cond_t>::operator=(other);
        return *this;
    }
    void Lock() { m_lock.lock(); }
    void Unlock() { m_lock.unlock(); }

private:
    std::mutex m_lock;
};

// A count of the profile file: 16 bits, or 0xFFFF followed by 32 bits from 0xFFFF up.
void WriteArchiveCount(CSPArchive& ar, uint32_t count);
uint32_t ReadArchiveCount(CSPArchive& ar);
// The length of the file (or the in-memory bytes) under a loading archive; -1 when it has none or
// it is not known.
long ArchiveFileLength(CSPArchive& ar);
// True when count entries of at least minBytes bytes each fit in a file of the length (a length
// of -1 means unknown) and count is not above maxCount.
bool CountFits(int64_t count, int64_t minBytes, long fileLength, int64_t maxCount);

// A file in memory for an archive: storing appends to the bytes, loading reads them.
class CMemArchiveFile : public CSPFile {
public:
    CMemArchiveFile() : m_nPos(0) {}
    explicit CMemArchiveFile(std::string bytes) : m_bytes(std::move(bytes)), m_nPos(0) {}
    long Seek(long offset, int origin) override;
    UINT Read(void* buffer, UINT count) override;
    UINT Write(const void* buffer, UINT count) override;
    void Abort() override {}
    void Flush() override {}
    void Close() override {}
    const std::string& GetBytes() const { return m_bytes; }

private:
    std::string m_bytes;
    size_t m_nPos;
};
