#include "base/fsutil.h"

#include <cstdio>
#include <exception>

#include "base/platform.h"
#include "base/text.h"

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

namespace {

// One open file for ReadWholeFile. On Windows the handle itself gives the size: under Wine every
// call naming a path converts it again, and sector member files are read by the hundred.
class ReadHandle {
public:
    explicit ReadHandle(const char* path) {
#ifdef _WIN32
        m_h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
#else
        m_f = std::fopen(path, "rb");
#endif
    }
    ~ReadHandle() {
#ifdef _WIN32
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
#else
        if (m_f) std::fclose(m_f);
#endif
    }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;

    // -1 when the file did not open or is not a regular file.
    int64_t Size() const {
#ifdef _WIN32
        LARGE_INTEGER size;
        if (m_h == INVALID_HANDLE_VALUE || GetFileType(m_h) != FILE_TYPE_DISK || !GetFileSizeEx(m_h, &size)) return -1;
        return size.QuadPart;
#else
        struct stat st;
        if (!m_f || fstat(fileno(m_f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
        return int64_t(st.st_size);
#endif
    }
    // Bytes read, 0 at the end; false on a failed read.
    bool Read(char* to, size_t length, size_t* got) {
#ifdef _WIN32
        DWORD n = 0;
        const DWORD ask = length > 0x40000000 ? 0x40000000 : DWORD(length);
        const bool ok = ReadFile(m_h, to, ask, &n, nullptr) != 0;
        *got = n;
        return ok;
#else
        *got = std::fread(to, 1, length, m_f);
        return *got > 0 || !std::ferror(m_f);
#endif
    }

private:
#ifdef _WIN32
    HANDLE m_h = INVALID_HANDLE_VALUE;
#else
    FILE* m_f = nullptr;
#endif
};

}  // namespace

bool ReadWholeFile(const char* path, std::string& out, int64_t maxSize) {
    out.clear();
    if (!path || !*path) return false;
    ReadHandle f(path);
    int64_t size = f.Size();
    if (size < 0 || size > maxSize) return false;
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
            size_t n = 0;
            ok = f.Read(&data[got], data.size() - got, &n);
            got += n;
            if (!ok || n == 0) break;
        }
    } catch (const std::exception&) {
        // Memory a 32-bit process cannot have fails the read, not the program.
        ok = false;
    }
    if (!ok || int64_t(got) > maxSize) return false;
    data.resize(got);
    out.swap(data);
    return true;
}

std::string GetExecutableFolder() {
    char path[4096] = {0};
#ifdef _WIN32
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
    if (n == 0 || n >= sizeof(path) - 1) return std::string(".\\");
#else
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return std::string("./");
    path[n] = 0;
#endif
    std::string s(path);
    // The last separator that starts a character (a GBK trail byte may be 0x5C).
    size_t cut = std::string::npos;
    for (size_t i = 0; i < s.size();) {
        size_t len = GbkCharLength(s.c_str() + i);
        if (len == 0) break;
        if (len == 1 && (s[i] == '\\' || s[i] == '/')) cut = i;
        i += len;
    }
    if (cut == std::string::npos) return std::string(1, '.') + kPathSep;
    return s.substr(0, cut + 1);
}

}  // namespace velmora
