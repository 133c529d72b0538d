#include "base/fsutil.h"

#include <cstdio>
#include <exception>

#include "base/platform.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#endif

namespace velmora {

#ifdef _WIN32
bool FolderExists(const char* path) {
    if (!path || !*path) return false;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool FileExists(const char* path) {
    if (!path || !*path) return false;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
bool CreateFolder(const char* path) {
    if (FolderExists(path)) return true;
    if (!path || !*path) return false;
    CreateDirectoryA(path, nullptr);
    return FolderExists(path);
}
int64_t GetFileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &d)) return -1;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (int64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}
bool ReplaceFileWith(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
bool RemoveFile(const char* path) { return path && DeleteFileA(path) != 0; }
#else
bool FolderExists(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
bool FileExists(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}
bool CreateFolder(const char* path) {
    if (FolderExists(path)) return true;
    if (!path || !*path) return false;
    mkdir(path, 0777);
    return FolderExists(path);
}
int64_t GetFileSize(const char* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return int64_t(st.st_size);
}
bool ReplaceFileWith(const char* from, const char* to) { return std::rename(from, to) == 0; }
bool RemoveFile(const char* path) { return path && unlink(path) == 0; }
#endif

bool ReadWholeFile(const char* path, std::string& out, int64_t maxSize) {
    out.clear();
    if (!path || !*path) return false;
    int64_t size = GetFileSize(path);
    if (size < 0 || size > maxSize) return false;
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    // Read to the end whatever the size said, so that a file changed meanwhile gives only the
    // bytes really read.
    std::string data;
    size_t got = 0;
    bool ok = true;
    try {
        data.resize(size_t(size) + 1);
        for (;;) {
            if (got == data.size()) {
                if (int64_t(data.size()) > maxSize) { ok = false; break; }
                data.resize(data.size() * 2);
            }
            size_t n = std::fread(&data[got], 1, data.size() - got, f);
            got += n;
            if (n == 0) {
                ok = !std::ferror(f);
                break;
            }
        }
    } catch (const std::exception&) {
        // Memory a 32-bit process cannot have fails the read, not the program.
        ok = false;
    }
    std::fclose(f);
    if (!ok || int64_t(got) > maxSize) return false;
    data.resize(got);
    out.swap(data);
    return true;
}

}  // namespace velmora
