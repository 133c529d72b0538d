#include "base/savefile.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <vector>

#include "base/fsutil.h"
#include "base/platform.h"
#include "base/text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

std::atomic<unsigned> g_serial{0};

// Unique per process and call, so two threads saving the same target never share a temporary.
std::string TemporaryName(const std::string& path) {
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return StringPrintf("%s.%lx-%x.tmp", path.c_str(), pid, g_serial.fetch_add(1));
}

// "<target>.<hex>-<hex>.tmp"
bool IsTemporaryName(const std::string& name) {
    const size_t n = name.size();
    if (n < 8 || name.compare(n - 4, 4, ".tmp") != 0) return false;
    size_t dot = name.rfind('.', n - 5);
    if (dot == std::string::npos || dot == 0) return false;
    std::string mid = name.substr(dot + 1, n - 4 - dot - 1);
    size_t dash = mid.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == mid.size()) return false;
    for (size_t i = 0; i < mid.size(); ++i)
        if (i != dash && !std::isxdigit(static_cast<unsigned char>(mid[i]))) return false;
    return true;
}

}  // namespace

std::string TemporaryFileFor(const std::string& path) { return TemporaryName(path); }

namespace {

// folder ends in a separator (a GBK name's last byte may look like one, so it is never tested).
int SweepTemporaries(const std::string& folder) {
    int removed = 0;
    std::vector<std::string> names;
    ListDirectory(folder.c_str(), names, kListFiles);
    for (const std::string& name : names)
        if (IsTemporaryName(name) && velmora::RemoveFile((folder + name).c_str())) ++removed;
    names.clear();
    ListDirectory(folder.c_str(), names, kListFolders);
    for (const std::string& name : names) removed += SweepTemporaries(folder + name + velmora::kPathSep);
    return removed;
}

}  // namespace

int RemoveLeftoverTemporaries(const std::string& folder) {
    return folder.empty() ? 0 : SweepTemporaries(folder + velmora::kPathSep);
}

bool SaveFileReplacing(const std::string& path, const void* data, size_t size) {
    if (path.empty() || (size > 0 && !data)) return false;
    std::string temp = TemporaryName(path);
#ifdef _WIN32
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    while (ok && left > 0) {
        DWORD piece = left > 0x100000 ? 0x100000 : static_cast<DWORD>(left);
        DWORD written = 0;
        ok = WriteFile(h, p, piece, &written, nullptr) && written == piece;
        p += piece;
        left -= piece;
    }
    if (ok) ok = FlushFileBuffers(h) != 0;
    if (!CloseHandle(h)) ok = false;
#else
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fflush(f) != 0) ok = false;
    if (ok && fsync(fileno(f)) != 0) ok = false;
    if (std::fclose(f) != 0) ok = false;
#endif
    if (ok) ok = velmora::ReplaceFileWith(temp.c_str(), path.c_str());
    if (!ok) velmora::RemoveFile(temp.c_str());
    return ok;
}
