// Buffered archive over a CSPFile: little-endian numbers and counted strings. The settings
// profile is stored in this form, so the bytes must stay exactly as they are.
//
// Counted string: a length up to 254 as one byte; up to 0xFFFD as 0xFF and a 16-bit length;
// above that as 0xFF, 0xFFFF and a 32-bit length; then the bytes without a terminator.
// (A 16-bit 0xFFFE would announce wide text, which is never written and is refused on reading.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/spfile.h"

class CSPArchive {
public:
    enum Mode : UINT { store = 0, load = 1 };
    enum { kDefaultBufferSize = 4096, kMinBufferSize = 16 };

    // The file stays the caller's; it must be open for reading (load) or writing (store).
    CSPArchive(CSPFile* file, UINT mode, int bufferSize = kDefaultBufferSize);
    CSPArchive(const CSPArchive&) = delete;
    CSPArchive& operator=(const CSPArchive&) = delete;
    // A storing archive writes out what it still holds.
    ~CSPArchive();

    bool IsLoading() const { return (m_nMode & load) != 0; }
    bool IsStoring() const { return !IsLoading(); }
    CSPFile* GetFile() const { return m_pFile; }
    // Set by a short read (the missing bytes read as zeros), a refused counted length or a short
    // write; it stays set, so a loader can check once at the end and fall back to defaults.
    bool IsFailed() const { return m_bFailed; }

    // Bytes delivered; on a short read the rest of the buffer is zeroed and the archive fails.
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);

    int32_t ReadInt();
    double ReadDouble();
    void WriteInt(int32_t value);
    void WriteDouble(double value);

    // The length of a counted string (0 and failed for wide text or a short read).
    uint32_t ReadCount();
    // False, with an empty string, when the archive fails: a length beyond the bytes left in the
    // file is refused before anything is allocated.
    bool ReadString(std::string& out);
    void WriteString(const std::string& text);
    void WriteString(const char* text);

    // A text line of at most maxChars characters (carriage returns dropped, the line feed read
    // but not stored); null at the end of the file.
    char* ReadLine(char* buffer, UINT maxChars);

    // Loading: keeps the unread bytes and reads more until at least wanted bytes are buffered or
    // the file ends.
    void FillBuffer(UINT wanted);
    // Loading: gives the unread bytes back to the file. Storing: writes the buffer out.
    void Flush();
    // Flushes and lets go of the file.
    void Close();

private:
    void WriteRaw(const unsigned char* bytes, UINT count);
    bool ReadRaw(unsigned char* bytes, UINT count);
    bool NextByte(unsigned char& c);

    UINT m_nMode;
    UINT m_nBufSize;
    CSPFile* m_pFile;
    std::vector<unsigned char> m_buffer;  // the three pointers point into it
    unsigned char* m_lpBufCur;
    unsigned char* m_lpBufStart;
    unsigned char* m_lpBufMax;  // loading: end of the valid bytes; storing: end of the buffer
    bool m_bFailed;
};
