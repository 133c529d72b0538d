// Settings files in the Windows profile format (run.ini): read and written through the profile
// calls under Windows, through an equivalent reader and writer of our own elsewhere.
#pragma once

#include <functional>
#include <string>

#include "base/platform.h"

class CIni {
public:
    CIni() = default;
    explicit CIni(const std::string& path) : m_path(path) {}
    virtual ~CIni() = default;

    void SetPathName(const std::string& path) { m_path = path; }
    const std::string& GetPathName() const { return m_path; }

    // The whole value, read in one pass over the file (a buffer as large as the file, growing in
    // 512-character steps only if the value still fills it); a missing section or key name
    // gives the default (or the empty text).
    std::string GetString(const char* section, const char* key, const char* defaultValue = nullptr) const;
    // The value copied into the caller's buffer, cut to its size; returns the length copied.
    DWORD GetString(const char* section, const char* key, char* buffer, DWORD size,
                    const char* defaultValue = nullptr) const;
    // An unsigned decimal; empty, missing or not a number gives 0.
    UINT GetUInt(const char* section, const char* key) const;
    BOOL WriteString(const char* section, const char* key, const char* value);
    BOOL WriteInt(const char* section, const char* key, int value);

    // The growing read: calls read(buffer, size) (which returns the count copied, cut to size - 1),
    // first with firstSize (at least 512) characters, then 512 more each time until the value
    // leaves room to spare.
    static std::string ReadGrowing(const std::function<DWORD(char*, DWORD)>& read, DWORD firstSize = 512);

private:
#ifdef _WIN32
    DWORD RawRead(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size) const;
#else
    // The key's value when the file has it.
    bool LookUp(const char* section, const char* key, std::string* value) const;
#endif
    std::string m_path;
};
