#include "app/update.h"

#include <cstdint>

#include "base/seams.h"

namespace {

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Offsets of the image headers.
const size_t kLfanewAt = 0x3C;          // DOS header: file offset of the PE signature
const size_t kFileHeaderSize = 20;      // after the 4-byte signature
const size_t kSectionHeaderSize = 40;   // per section, after the optional header
const uint16_t kMachineI386 = 0x14C;

}  // namespace

bool IsClientImage(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    if (!p || size <= kMinUpdateBody || p[0] != 'M' || p[1] != 'Z') return false;
    // Every offset below is checked against the size before it is read (sizes are 64-bit so that
    // no sum wraps).
    uint64_t pe = Read32(p + kLfanewAt);
    if (pe + 4 + kFileHeaderSize > size) return false;
    if (p[pe] != 'P' || p[pe + 1] != 'E' || p[pe + 2] != 0 || p[pe + 3] != 0) return false;
    const unsigned char* file = p + pe + 4;
    if (Read16(file) != kMachineI386) return false;
    uint64_t sections = Read16(file + 2);
    uint64_t optionalSize = Read16(file + 16);
    if (sections == 0) return false;
    uint64_t table = pe + 4 + kFileHeaderSize + optionalSize;
    if (table + sections * kSectionHeaderSize > size) return false;
    // A body cut anywhere ends before the raw data of some section does.
    uint64_t end = 0;
    for (uint64_t i = 0; i < sections; ++i) {
        const unsigned char* s = p + table + i * kSectionHeaderSize;
        uint64_t rawSize = Read32(s + 16), rawAt = Read32(s + 20);
        if (rawSize != 0 && rawAt + rawSize > end) end = rawAt + rawSize;
    }
    return end > 0 && end <= size;
}

std::string UpdateFailedMessage(const std::string& site) {
    return "新版本下载失败，请访问 " + site + " 手动下载新版本!";
}

bool LaunchApp(const char* file, const char* parameters) { return LaunchProgram(file, parameters); }
