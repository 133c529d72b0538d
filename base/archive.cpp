#include "base/archive.h"

#include <algorithm>
#include <cstring>

namespace {

void PutLe(unsigned char* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint64_t GetLe(const unsigned char* p, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// A counted string is read in pieces of this size, so memory follows the bytes that arrive.
const UINT kStringChunk = 1u << 20;

}  // namespace

CSPArchive::CSPArchive(CSPFile* file, UINT mode, int bufferSize)
    : m_nMode(mode), m_nBufSize(UINT(std::max<int>(bufferSize, kMinBufferSize))), m_pFile(file), m_bFailed(false) {
    m_buffer.resize(m_nBufSize);
    m_lpBufStart = m_buffer.data();
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
}

CSPArchive::~CSPArchive() {
    if (IsStoring() && m_pFile && m_pFile->IsOpen()) Flush();
}

void CSPArchive::Close() {
    if (m_pFile) Flush();
    m_pFile = nullptr;
}

UINT CSPArchive::Read(void* buffer, UINT count) {
    if (count == 0) return 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    if (!IsLoading()) {
        std::memset(out, 0, count);
        m_bFailed = true;
        return 0;
    }
    UINT done = std::min<UINT>(count, UINT(m_lpBufMax - m_lpBufCur));
    std::memcpy(out, m_lpBufCur, done);
    m_lpBufCur += done;
    UINT rest = count - done;
    if (rest && m_pFile) {
        // Whole buffers go straight into the caller's memory.
        UINT direct = rest - rest % m_nBufSize;
        UINT got = direct ? m_pFile->Read(out + done, direct) : 0;
        done += got;
        rest -= got;
        if (got == direct && rest) {
            UINT n = m_pFile->Read(m_lpBufStart, m_nBufSize);
            m_lpBufCur = m_lpBufStart;
            m_lpBufMax = m_lpBufStart + n;
            UINT take = std::min(n, rest);
            std::memcpy(out + done, m_lpBufCur, take);
            m_lpBufCur += take;
            done += take;
            rest -= take;
        }
    }
    if (rest) {
        std::memset(out + done, 0, rest);
        m_bFailed = true;
    }
    return done;
}

void CSPArchive::FillBuffer(UINT wanted) {
    if (!IsLoading() || !m_pFile) return;
    UINT unread = UINT(m_lpBufMax - m_lpBufCur);
    if (unread >= wanted) return;
    if (unread && m_lpBufCur != m_lpBufStart) std::memmove(m_lpBufStart, m_lpBufCur, unread);
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = m_lpBufStart + unread;
    // One call reads on until the free part is full or the file ends.
    m_lpBufMax += m_pFile->Read(m_lpBufMax, m_nBufSize - unread);
}

void CSPArchive::Write(const void* buffer, UINT count) {
    if (count == 0 || IsLoading()) return;
    const unsigned char* in = static_cast<const unsigned char*>(buffer);
    UINT fit = std::min<UINT>(count, UINT(m_lpBufMax - m_lpBufCur));
    std::memcpy(m_lpBufCur, in, fit);
    m_lpBufCur += fit;
    UINT rest = count - fit;
    if (!rest) return;
    in += fit;
    Flush();
    UINT direct = rest - rest % m_nBufSize;
    if (direct) {
        if (!m_pFile || m_pFile->Write(in, direct) != direct) m_bFailed = true;
        in += direct;
        rest -= direct;
    }
    std::memcpy(m_lpBufCur, in, rest);
    m_lpBufCur += rest;
}

void CSPArchive::Flush() {
    if (IsLoading()) {
        UINT unread = UINT(m_lpBufMax - m_lpBufCur);
        if (unread && m_pFile) m_pFile->Seek(-long(unread), 1);
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
    } else {
        UINT n = UINT(m_lpBufCur - m_lpBufStart);
        if (n && (!m_pFile || m_pFile->Write(m_lpBufStart, n) != n)) m_bFailed = true;
        m_lpBufCur = m_lpBufStart;
    }
}

bool CSPArchive::ReadRaw(unsigned char* bytes, UINT count) {
    if (!IsLoading()) return Read(bytes, count) == count;  // fails
    if (UINT(m_lpBufMax - m_lpBufCur) < count) FillBuffer(count);
    if (UINT(m_lpBufMax - m_lpBufCur) >= count) {
        std::memcpy(bytes, m_lpBufCur, count);
        m_lpBufCur += count;
        return true;
    }
    return Read(bytes, count) == count;  // zero-fills and fails
}

void CSPArchive::WriteRaw(const unsigned char* bytes, UINT count) {
    if (IsLoading()) return;
    if (UINT(m_lpBufMax - m_lpBufCur) < count) Flush();
    std::memcpy(m_lpBufCur, bytes, count);
    m_lpBufCur += count;
}

int32_t CSPArchive::ReadInt() {
    unsigned char b[4];
    ReadRaw(b, 4);
    return static_cast<int32_t>(static_cast<uint32_t>(GetLe(b, 4)));
}

double CSPArchive::ReadDouble() {
    unsigned char b[8];
    ReadRaw(b, 8);
    uint64_t bits = GetLe(b, 8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void CSPArchive::WriteInt(int32_t value) {
    unsigned char b[4];
    PutLe(b, static_cast<uint32_t>(value), 4);
    WriteRaw(b, 4);
}

void CSPArchive::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    unsigned char b[8];
    PutLe(b, bits, 8);
    WriteRaw(b, 8);
}

uint32_t CSPArchive::ReadCount() {
    unsigned char b[4];
    if (!ReadRaw(b, 1)) return 0;
    if (b[0] != 0xFF) return b[0];
    if (!ReadRaw(b, 2)) return 0;
    uint32_t word = uint32_t(GetLe(b, 2));
    if (word == 0xFFFE) {  // wide text: never written by this program
        m_bFailed = true;
        return 0;
    }
    if (word != 0xFFFF) return word;
    if (!ReadRaw(b, 4)) return 0;
    return uint32_t(GetLe(b, 4));
}

bool CSPArchive::ReadString(std::string& out) {
    out.clear();
    uint32_t length = ReadCount();
    if (m_bFailed) return false;
    UINT buffered = UINT(m_lpBufMax - m_lpBufCur);
    if (length > buffered) {
        // Refuse a length the file cannot hold before allocating anything for it.
        long size = m_pFile ? m_pFile->GetLength() : -1;
        long pos = m_pFile ? m_pFile->GetPosition() : -1;
        if (size >= 0 && pos >= 0 && uint64_t(length) > uint64_t(buffered) + uint64_t(std::max(0L, size - pos))) {
            m_bFailed = true;
            return false;
        }
    }
    uint32_t done = 0;
    while (done < length) {
        UINT chunk = std::min<uint32_t>(length - done, kStringChunk);
        out.resize(size_t(done) + chunk);
        if (Read(&out[done], chunk) != chunk) {
            out.clear();
            return false;
        }
        done += chunk;
    }
    return true;
}

void CSPArchive::WriteString(const std::string& text) {
    if (IsLoading()) return;
    const uint64_t length = text.size();
    if (length > 0xFFFFFFFFu) {
        m_bFailed = true;
        return;
    }
    unsigned char head[7];
    UINT n;
    if (length < 0xFF) {
        head[0] = static_cast<unsigned char>(length);
        n = 1;
    } else if (length < 0xFFFE) {
        head[0] = 0xFF;
        PutLe(head + 1, length, 2);
        n = 3;
    } else {
        head[0] = 0xFF;
        PutLe(head + 1, 0xFFFF, 2);
        PutLe(head + 3, length, 4);
        n = 7;
    }
    WriteRaw(head, n);
    Write(text.data(), UINT(length));
}

void CSPArchive::WriteString(const char* text) { WriteString(std::string(text ? text : "")); }

bool CSPArchive::NextByte(unsigned char& c) {
    if (m_lpBufCur >= m_lpBufMax) FillBuffer(1);
    if (m_lpBufCur >= m_lpBufMax) return false;
    c = *m_lpBufCur++;
    return true;
}

char* CSPArchive::ReadLine(char* buffer, UINT maxChars) {
    if (!buffer || !IsLoading()) return nullptr;
    UINT stored = 0;
    bool readAny = false;
    unsigned char c;
    while (stored < maxChars && NextByte(c)) {
        readAny = true;
        if (c == '\r') continue;
        if (c == '\n') break;
        buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    return readAny || maxChars == 0 ? buffer : nullptr;
}
