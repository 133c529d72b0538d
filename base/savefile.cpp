#include "base/savefile.h"

#include <atomic>
#include <cstdio>

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

}  // namespace

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
