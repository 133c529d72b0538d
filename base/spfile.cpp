#include "base/spfile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int SysOpen(const char* path, int oflag) { return _open(path, oflag | _O_BINARY, _S_IREAD | _S_IWRITE); }
int SysRead(int fd, void* buf, unsigned n) { return _read(fd, buf, n); }
int SysWrite(int fd, const void* buf, unsigned n) { return _write(fd, buf, n); }
long SysSeek(int fd, long off, int origin) { return _lseek(fd, off, origin); }
int SysClose(int fd) { return _close(fd); }
int SysCommit(int fd) { return _commit(fd); }
#else
int SysOpen(const char* path, int oflag) { return ::open(path, oflag, 0666); }
int SysRead(int fd, void* buf, unsigned n) { return static_cast<int>(::read(fd, buf, n)); }
int SysWrite(int fd, const void* buf, unsigned n) { return static_cast<int>(::write(fd, buf, n)); }
long SysSeek(int fd, long off, int origin) { return static_cast<long>(::lseek(fd, off, origin)); }
int SysClose(int fd) { return ::close(fd); }
int SysCommit(int fd) { return ::fsync(fd); }
#endif

// One system call moves at most this much, so the count always fits the int result.
const unsigned kMaxChunk = 1u << 30;

}  // namespace

CSPFile::CSPFile()
    : m_nError(errNone), m_fd(-1), m_bOpen(false), m_nCodePage(0), m_pAhead(nullptr), m_nAheadPos(0),
      m_nAheadEnd(0) {}

CSPFile::~CSPFile() {
    if (m_bOpen) Close();
    FreeReadAhead();
}

int CSPFile::Open(const char* path, UINT flags) {
    if (m_bOpen) {
        m_nError = errAlreadyOpen;
        return 0;
    }
    if (!path) return 0;
    int oflag;
    switch (flags & 3) {
    case modeRead: oflag = O_RDONLY; break;
    case modeWrite: oflag = O_WRONLY; break;
    case modeReadWrite: oflag = O_RDWR; break;
    default: return 0;
    }
    if (flags & modeCreate) oflag |= O_CREAT | ((flags & modeNoTruncate) ? 0 : O_TRUNC);
    int fd = SysOpen(path, oflag);
    if (fd < 0) return 0;

    UINT codePage = 0;
    if ((flags & 3) == modeRead) {
        unsigned char head[4];
        int got = 0;
        while (got < 4) {
            int n = SysRead(fd, head + got, unsigned(4 - got));
            if (n <= 0) break;
            got += n;
        }
        if (got < 4 || SysSeek(fd, 0, SEEK_SET) != 0) {
            SysClose(fd);
            return 0;
        }
        if (head[0] == 0xFF && head[1] == 0xFE) codePage = kCodePageUtf16Le;
        else if (head[0] == 0xFE && head[1] == 0xFF) codePage = kCodePageUtf16Be;
    }
    m_fd = fd;
    m_bOpen = true;
    m_strPath = path;
    m_nCodePage = codePage;
    m_nAheadPos = m_nAheadEnd = 0;
    return 1;
}

long CSPFile::Seek(long offset, int origin) {
    if (origin < 0 || origin > 2 || m_fd < 0) {
        m_nError = errSeek;
        return -1;
    }
    if (origin == SEEK_CUR) offset -= long(m_nAheadEnd - m_nAheadPos);
    m_nAheadPos = m_nAheadEnd = 0;
    long pos = SysSeek(m_fd, offset, origin);
    if (pos < 0) {
        m_nError = errSeek;
        return -1;
    }
    return pos;
}

UINT CSPFile::RawRead(void* buffer, UINT count) {
    UINT done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        UINT want = count - done;
        if (want > kMaxChunk) want = kMaxChunk;
        int n = SysRead(m_fd, out + done, want);
        if (n <= 0) break;
        done += UINT(n);
    }
    return done;
}

UINT CSPFile::Read(void* buffer, UINT count) {
    if (count == 0) return 0;
    if (m_fd < 0 || !buffer) {
        m_nError = errShortRead;
        return 0;
    }
    UINT done = 0;
    if (m_nAheadPos < m_nAheadEnd) {
        done = m_nAheadEnd - m_nAheadPos;
        if (done > count) done = count;
        std::memcpy(buffer, m_pAhead + m_nAheadPos, done);
        m_nAheadPos += done;
    }
    if (done < count) done += RawRead(static_cast<char*>(buffer) + done, count - done);
    if (done < count) m_nError = errShortRead;
    return done;
}

UINT CSPFile::Write(const void* buffer, UINT count) {
    if (count == 0) return 0;
    if (m_fd < 0 || !buffer || !DropReadAhead()) {
        m_nError = errShortWrite;
        return 0;
    }
    UINT done = 0;
    const char* in = static_cast<const char*>(buffer);
    while (done < count) {
        UINT want = count - done;
        if (want > kMaxChunk) want = kMaxChunk;
        int n = SysWrite(m_fd, in + done, want);
        if (n <= 0) break;
        done += UINT(n);
    }
    if (done < count) m_nError = errShortWrite;
    return done;
}

void CSPFile::Abort() {
    if (m_fd >= 0) SysClose(m_fd);
    m_fd = -1;
    m_bOpen = false;
    m_strPath.clear();
    m_nAheadPos = m_nAheadEnd = 0;
}

void CSPFile::Flush() {
    if (m_fd >= 0) SysCommit(m_fd);
}

void CSPFile::Close() {
    if (m_fd >= 0 && SysClose(m_fd) != 0) m_nError = errClose;
    m_fd = -1;
    m_bOpen = false;
    m_strPath.clear();
    m_nAheadPos = m_nAheadEnd = 0;
}

long CSPFile::GetLength() {
    if (m_fd < 0) return -1;
    // The descriptor's own position, ahead of the reader by the read-ahead bytes, is restored.
    long here = SysSeek(m_fd, 0, SEEK_CUR);
    if (here < 0) return -1;
    long end = SysSeek(m_fd, 0, SEEK_END);
    SysSeek(m_fd, here, SEEK_SET);
    return end;
}

long CSPFile::GetPosition() {
    if (m_fd < 0) return -1;
    long here = SysSeek(m_fd, 0, SEEK_CUR);
    return here < 0 ? -1 : here - long(m_nAheadEnd - m_nAheadPos);
}

bool CSPFile::FillReadAhead() {
    if (m_fd < 0) return false;
    if (!m_pAhead) {
        m_pAhead = static_cast<char*>(std::malloc(kReadAhead));
        if (!m_pAhead) return false;
    }
    int n = SysRead(m_fd, m_pAhead, kReadAhead);
    m_nAheadPos = 0;
    m_nAheadEnd = n > 0 ? UINT(n) : 0;
    return n > 0;
}

bool CSPFile::DropReadAhead() {
    UINT unread = m_nAheadEnd - m_nAheadPos;
    m_nAheadPos = m_nAheadEnd = 0;
    return unread == 0 || SysSeek(m_fd, -long(unread), SEEK_CUR) >= 0;
}

void CSPFile::FreeReadAhead() {
    std::free(m_pAhead);
    m_pAhead = nullptr;
    m_nAheadPos = m_nAheadEnd = 0;
}

char* CSPFile::ReadLine(char* buffer, int limit) {
    if (!buffer) return nullptr;
    buffer[0] = '\0';
    // A UTF-16 file yields nothing rather than an endless run of empty lines.
    if (!CanReadText()) return nullptr;
    const bool keepFeed = limit < 0;
    const int64_t max = keepFeed ? -int64_t(limit) : int64_t(limit);
    int64_t stored = 0;
    bool readAny = false;
    while (stored < max) {
        if (m_nAheadPos >= m_nAheadEnd && !FillReadAhead()) {
            if (!readAny) return nullptr;
            break;
        }
        readAny = true;
        char c = m_pAhead[m_nAheadPos++];
        if (c == '\r') continue;
        if (c == '\n') {
            if (keepFeed) buffer[stored++] = c;
            break;
        }
        buffer[stored++] = c;
    }
    buffer[stored] = '\0';
    return buffer;
}

bool CSPFile::ReadString(std::string& out) {
    out.clear();
    if (!CanReadText()) return false;
    // Whole runs of the read-ahead at a time; the same text as 256-character pieces of ReadLine.
    bool readAny = false;
    for (;;) {
        if (m_nAheadPos >= m_nAheadEnd && !FillReadAhead()) return readAny;
        readAny = true;
        const char* start = m_pAhead + m_nAheadPos;
        const UINT avail = m_nAheadEnd - m_nAheadPos;
        const char* feed = static_cast<const char*>(std::memchr(start, '\n', avail));
        const UINT take = feed ? UINT(feed - start) : avail;
        const char* p = start;
        const char* end = start + take;
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
            if (!cr) {
                out.append(p, size_t(end - p));
                break;
            }
            out.append(p, size_t(cr - p));
            p = cr + 1;
        }
        m_nAheadPos += take;
        if (feed) {
            ++m_nAheadPos;
            return true;
        }
    }
}
