#include "app/update.h"

#include <cstdio>

#include "base/seams.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsClientImage(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return p && size > kMinUpdateBody && p[0] == 'M' && p[1] == 'Z';
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size) {
    std::string tmp = path + ".tmp";
#ifdef _WIN32
    HANDLE f = ::CreateFileA(tmp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD written = 0;
        ok = ::WriteFile(f, p, chunk, &written, nullptr) && written == chunk;
        p += chunk;
        left -= chunk;
    }
    ok = ::FlushFileBuffers(f) && ok;
    ok = ::CloseHandle(f) && ok;
    if (ok) ok = ::MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) ::DeleteFileA(tmp.c_str());
    return ok;
#else
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(tmp.c_str());
    return ok;
#endif
}

std::string UpdateFailedMessage(const std::string& site) {
    return "新版本下载失败，请访问 " + site + " 手动下载新版本!";
}

bool LaunchApp(const char* file, const char* parameters) { return LaunchProgram(file, parameters); }
