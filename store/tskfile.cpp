#include "store/tskfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/timestamp.h"

namespace {
const char kTagFile[4] = {'C', 'L', 'K', 'F'};
const char kTagEntry[4] = {'I', 'N', 'D', 'X'};
const char kTagBlock[4] = {'B', 'L', 'C', 'K'};
}  // namespace

std::recursive_mutex& GetBlockFileMutex() {
    static std::recursive_mutex lock;
    return lock;
}

uint32_t TskHashCode(const char* code) {
    uint32_t hash = 0;
    for (const char* p = code; *p; ++p) hash = hash * 33u + uint32_t(int32_t(static_cast<signed char>(*p)));
    return hash;
}

CTSKFile::CTSKFile() : m_entryOffset(-1) {
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_entry, 0, sizeof m_entry);
}

CTSKFile::~CTSKFile() { Close(); }

UINT CTSKFile::ReadSome(int64_t offset, void* buffer, UINT size) {
    if (offset < 0 || offset > 0x7FFFFFFF) return 0;
    if (m_file.GetPosition() != long(offset) && m_file.Seek(long(offset), 0) != long(offset)) return 0;
    return m_file.Read(buffer, size);
}

bool CTSKFile::ReadAt(int64_t offset, void* buffer, UINT size) { return ReadSome(offset, buffer, size) == size; }

bool CTSKFile::WriteAt(int64_t offset, const void* buffer, UINT size) {
    if (offset < 0 || offset > 0x7FFFFFFF) return false;
    if (m_file.Seek(long(offset), 0) != long(offset)) return false;
    return m_file.Write(buffer, size) == size;
}

bool CTSKFile::WriteHeader() { return WriteAt(0, &m_header, sizeof m_header); }

int64_t CTSKFile::BlockSize() const {
    return int64_t(sizeof(TSK_BLOCK)) + int64_t(m_header.recordsPerBlock) * m_header.recordSize;
}

int64_t CTSKFile::MaxChainSteps() {
    long length = m_file.GetLength();
    int64_t bs = BlockSize();
    return length > 0 && bs > 0 ? length / bs + 1 : 1;
}

bool CTSKFile::Open(const char* path) {
    Close();
    if (m_file.Open(path, CSPFile::modeReadWrite) != 1) return false;
    if (m_file.Read(&m_header, sizeof m_header) != sizeof m_header || std::memcmp(m_header.tag, kTagFile, 4) != 0) {
        m_file.Abort();
        std::memset(&m_header, 0, sizeof m_header);
        return false;
    }
    // A header that cannot describe an index or blocks is refused rather than trusted.
    const long length = m_file.GetLength();
    const int64_t indexEnd = int64_t(m_header.indexOffset) + int64_t(m_header.slotCount) * m_header.entrySize;
    if (m_header.slotCount <= 0 || m_header.entrySize < int32_t(sizeof(TSK_ENTRY)) ||
        m_header.indexOffset < int32_t(sizeof(TSK_HEADER)) || indexEnd > length || m_header.recordSize <= 0 ||
        m_header.recordsPerBlock <= 0 || BlockSize() > 64 * 1024 * 1024) {
        m_file.Abort();
        std::memset(&m_header, 0, sizeof m_header);
        return false;
    }
    m_entryOffset = -1;
    return true;
}

void CTSKFile::Close() {
    if (m_file.IsOpen()) {
        m_header.closeTime = CTimeStamp::GetCurrentTime().GetTime();
        WriteHeader();
        m_file.Close();
    }
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_entry, 0, sizeof m_entry);
    m_entryOffset = -1;
}

void CTSKFile::Discard() {
    if (m_file.IsOpen()) m_file.Abort();
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_entry, 0, sizeof m_entry);
    m_entryOffset = -1;
}

bool CTSKFile::FindEntry(DWORD market, const char* code, bool create) {
    if (!code || !*code) return false;
    if (m_entryOffset >= 0 && m_entry.market == market && std::strncmp(m_entry.code, code, 15) == 0) return true;
    const uint32_t slots = uint32_t(m_header.slotCount);
    if (slots == 0) return false;
    const uint32_t start = TskHashCode(code) % slots;
    uint32_t slot = start;
    do {
        int64_t offset = int64_t(m_header.indexOffset) + int64_t(slot) * m_header.entrySize;
        TSK_ENTRY e;
        if (!ReadAt(offset, &e, sizeof e) || std::memcmp(e.tag, kTagEntry, 4) != 0) return false;
        char stored[sizeof e.code];
        std::memcpy(stored, e.code, sizeof stored);
        stored[sizeof stored - 1] = 0;
        if (stored[0] && e.market == market && std::strncmp(stored, code, 15) == 0) {
            m_entry = e;
            m_entryOffset = offset;
            return true;
        }
        if (!stored[0]) {
            if (!create) return false;
            // The slot takes the stock; its other bytes (the last field) stay as they were.
            e.market = market;
            std::memset(e.code, 0, sizeof e.code);
            std::strncpy(e.code, code, 15);
            e.recordCount = 0;
            e.firstBlock = AllocBlock();
            if (e.firstBlock < 0) return false;
            if (!WriteAt(offset, &e, sizeof e)) return false;
            m_header.usedCount += 1;
            WriteHeader();
            m_entry = e;
            m_entryOffset = offset;
            return true;
        }
        slot = (slot + 1) % slots;
    } while (slot != start);
    return false;
}

int32_t CTSKFile::AllocBlock() {
    if (m_header.freeHead > 0) {
        int32_t at = m_header.freeHead;
        TSK_BLOCK b;
        if (ReadAt(at, &b, sizeof b) && std::memcmp(b.tag, kTagBlock, 4) == 0) {
            int32_t next = b.next;
            b.inUse = 1;
            b.used = 0;
            b.next = -1;
            if (!WriteAt(at, &b, sizeof b)) return -1;
            m_header.freeHead = next;
            WriteHeader();
            return at;
        }
        // A broken free list is dropped; the block is lost, not reused.
        m_header.freeHead = -1;
    }
    const int64_t dataSize = int64_t(m_header.recordsPerBlock) * m_header.recordSize;
    if (dataSize <= 0) return -1;
    long end = m_file.Seek(0, 2);
    if (end < 0 || int64_t(end) + BlockSize() > 0x7FFFFFFF) return -1;
    TSK_BLOCK b;
    std::memcpy(b.tag, kTagBlock, 4);
    b.inUse = 1;
    b.dataOffset = int32_t(end) + int32_t(sizeof b);
    b.used = 0;
    b.next = -1;
    b.reserved = 0;
    if (!WriteAt(end, &b, sizeof b)) return -1;
    // The data area is written as zeros a piece at a time: a block may be far larger than a piece.
    static const char kZero[64 * 1024] = {};
    for (int64_t left = dataSize; left > 0;) {
        const UINT piece = UINT(left < int64_t(sizeof kZero) ? left : int64_t(sizeof kZero));
        if (m_file.Write(kZero, piece) != piece) return -1;
        left -= piece;
    }
    return int32_t(end);
}

int CTSKFile::FreeChain(int32_t first) {
    int walked = 0;
    int64_t steps = MaxChainSteps();
    int32_t at = first;
    while (at > 0 && steps-- > 0) {
        TSK_BLOCK b;
        if (!ReadAt(at, &b, sizeof b) || std::memcmp(b.tag, kTagBlock, 4) != 0) break;
        ++walked;
        int32_t next = b.next;
        b.used = 0;
        if (at == first) {
            b.next = -1;
        } else {
            b.inUse = 0;
            b.next = m_header.freeHead;
            m_header.freeHead = at;
            WriteHeader();
        }
        WriteAt(at, &b, sizeof b);
        if (next == first) break;
        at = next;
    }
    return walked;
}

int CTSKFile::GetRecordCount(DWORD market, const char* code) {
    std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
    if (!m_file.IsOpen() || !FindEntry(market, code, false)) return 0;
    if (m_entry.recordCount <= 0) return 0;
    // A count beyond what the file's whole blocks could hold is cut to that.
    const int64_t blockSize = BlockSize();
    const long length = m_file.GetLength();
    const int64_t limit = length > 0 && blockSize > 0 ? int64_t(length) / blockSize * m_header.recordsPerBlock : 0;
    return int(m_entry.recordCount > limit ? limit : m_entry.recordCount);
}

int CTSKFile::ForEachRecord(DWORD market, const char* code, int maxCount,
                            const std::function<bool(const char*, int)>& sink) {
    std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
    if (!m_file.IsOpen() || maxCount <= 0 || !FindEntry(market, code, false)) return 0;
    const int64_t recordSize = m_header.recordSize;
    // Records go to the sink in pieces of about 64 KB, never more than one block holds.
    const int pieceRecords = int(std::max<int64_t>(1, std::min<int64_t>(m_header.recordsPerBlock, 65536 / recordSize)));
    std::vector<char> piece(size_t(pieceRecords * recordSize));
    int got = 0;
    int64_t steps = MaxChainSteps();
    int32_t at = m_entry.firstBlock;
    while (at > 0 && got < maxCount && steps-- > 0) {
        TSK_BLOCK b;
        if (!ReadAt(at, &b, sizeof b) || std::memcmp(b.tag, kTagBlock, 4) != 0) break;
        int used = b.used < 0 ? 0 : (b.used > m_header.recordsPerBlock ? m_header.recordsPerBlock : b.used);
        if (used > maxCount - got) used = maxCount - got;
        for (int k = 0; k < used;) {
            const int n = std::min(used - k, pieceRecords);
            const int64_t offset = int64_t(at) + int64_t(sizeof b) + int64_t(k) * recordSize;
            // A file cut short still gives the records that arrived whole.
            const int whole = int(ReadSome(offset, piece.data(), UINT(n * recordSize)) / recordSize);
            if (whole > 0) {
                got += whole;
                if (!sink(piece.data(), whole)) return got;
            }
            if (whole < n) return got;
            k += n;
        }
        at = b.next;
    }
    return got;
}

int CTSKFile::ReadRecords(DWORD market, const char* code, void* buffer, int recordLength, int maxCount) {
    std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
    if (!m_file.IsOpen() || !buffer || recordLength <= 0 || !FindEntry(market, code, false)) return 0;
    if (maxCount < m_entry.recordCount && maxCount < GetRecordCount(market, code)) return 0;
    const size_t recordSize = size_t(m_header.recordSize);
    const size_t take = std::min(size_t(recordLength), recordSize);
    char* out = static_cast<char*>(buffer);
    return ForEachRecord(market, code, maxCount, [&](const char* records, int count) {
        for (int k = 0; k < count; ++k, out += recordLength) std::memcpy(out, records + size_t(k) * recordSize, take);
        return true;
    });
}

int CTSKFile::WriteRecords(DWORD market, const char* code, const void* data, int recordLength, int count,
                           bool rewrite) {
    std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
    if (!m_file.IsOpen() || !data || recordLength <= 0 || count <= 0) return 0;
    if (!FindEntry(market, code, true)) return 0;
    if (rewrite && m_entry.firstBlock > 0) {
        FreeChain(m_entry.firstBlock);
        m_entry.recordCount = 0;
    }
    if (m_entry.firstBlock <= 0) {
        m_entry.firstBlock = AllocBlock();
        if (m_entry.firstBlock < 0) return 0;
    }
    const UINT piece = UINT(recordLength < m_header.recordSize ? recordLength : m_header.recordSize);
    std::vector<char> record(size_t(m_header.recordSize), 0);
    const char* in = static_cast<const char*>(data);
    int written = 0;
    int64_t steps = MaxChainSteps() + count;
    int32_t at = m_entry.firstBlock;
    while (at > 0 && written < count && steps-- > 0) {
        TSK_BLOCK b;
        if (!ReadAt(at, &b, sizeof b) || std::memcmp(b.tag, kTagBlock, 4) != 0) break;
        if (b.used < 0) b.used = 0;
        if (b.used >= m_header.recordsPerBlock && b.next > 0) {
            at = b.next;
            continue;
        }
        while (b.used < m_header.recordsPerBlock && written < count) {
            std::memset(record.data(), 0, record.size());
            std::memcpy(record.data(), in + size_t(written) * size_t(recordLength), piece);
            int64_t offset = int64_t(at) + int64_t(sizeof b) + int64_t(b.used) * m_header.recordSize;
            if (!WriteAt(offset, record.data(), UINT(record.size()))) break;
            ++b.used;
            ++written;
        }
        int32_t next = -1;
        if (written < count) {
            next = AllocBlock();
            if (next < 0) {
                WriteAt(at, &b, sizeof b);
                break;
            }
            b.next = next;
        }
        WriteAt(at, &b, sizeof b);
        at = next;
    }
    m_entry.recordCount += written;
    WriteAt(m_entryOffset, &m_entry, sizeof m_entry);
    return written;
}
