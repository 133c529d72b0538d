#include "app/ini.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/fsutil.h"
#include "base/text.h"

#ifndef _WIN32
#include <fstream>
#include <sstream>
#endif

namespace {
const DWORD kStep = 512;
const DWORD kLimit = 16u * 1024u * 1024u;  // no setting is that long; stop growing there
}  // namespace

std::string CIni::ReadGrowing(const std::function<DWORD(char*, DWORD)>& read, DWORD firstSize) {
    std::vector<char> buf;
    if (firstSize < kStep) firstSize = kStep;
    if (firstSize > kLimit) firstSize = kLimit;
    for (DWORD size = firstSize;; size += kStep) {
        buf.assign(size, '\0');
        DWORD n = read(buf.data(), size);
        if (n > size - 1) n = size - 1;
        if (n + 1 < size || size >= kLimit) return std::string(buf.data(), n);
    }
}

std::string CIni::GetString(const char* section, const char* key, const char* defaultValue) const {
    if (!section || !key) return defaultValue ? defaultValue : "";
#ifndef _WIN32
    std::string value;
    return LookUp(section, key, &value) ? value : std::string(defaultValue ? defaultValue : "");
#else
    // Every read goes through the whole file: read once, with room for the longest value the
    // file (or the default) can give. Only a file that grew meanwhile needs a second look.
    int64_t fileSize = velmora::GetFileSize(m_path.c_str());
    size_t room = (fileSize > 0 ? static_cast<size_t>(fileSize) : 0) + (defaultValue ? std::strlen(defaultValue) : 0) + 2;
    DWORD first = room < kLimit ? static_cast<DWORD>(room) : kLimit;
    return ReadGrowing([&](char* b, DWORD n) { return RawRead(section, key, defaultValue, b, n); }, first);
#endif
}

DWORD CIni::GetString(const char* section, const char* key, char* buffer, DWORD size,
                      const char* defaultValue) const {
    if (!buffer || size == 0) return 0;
    std::string v = GetString(section, key, defaultValue);
    DWORD n = static_cast<DWORD>(v.size() < size - 1 ? v.size() : size - 1);
    std::memcpy(buffer, v.data(), n);
    buffer[n] = '\0';
    return n;
}

UINT CIni::GetUInt(const char* section, const char* key) const {
    std::string v = GetString(section, key, "");
    const char* p = v.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return 0;
    return static_cast<UINT>(std::strtoul(p, nullptr, 10));
}

BOOL CIni::WriteInt(const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    return WriteString(section, key, text);
}

#ifdef _WIN32

DWORD CIni::RawRead(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size) const {
    return ::GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", buffer, size, m_path.c_str());
}

BOOL CIni::WriteString(const char* section, const char* key, const char* value) {
    if (!section || !key) return FALSE;
    return ::WritePrivateProfileStringA(section, key, value ? value : "", m_path.c_str());
}

#else

// The profile format as the Windows calls read it: "[section]" lines, "key=value" lines, names
// compared without regard to case, blanks around names and values dropped, one pair of
// enclosing quotes taken off a value. Lines are looked at in place: a long value is copied once.
namespace {

struct Span {
    const char* p;
    size_t n;
};

Span Trim(Span s) {
    const char* b = s.p;
    const char* e = s.p + s.n;
    TrimBlanks(&b, &e);
    return Span{b, static_cast<size_t>(e - b)};
}

bool SameName(Span a, const char* b) {
    size_t n = std::strlen(b);
    if (a.n != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a.p[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsSection(Span line, Span* name) {
    Span t = Trim(line);
    if (t.n < 2 || t.p[0] != '[') return false;
    const char* e = static_cast<const char*>(std::memchr(t.p, ']', t.n));
    if (!e) return false;
    *name = Trim(Span{t.p + 1, static_cast<size_t>(e - t.p - 1)});
    return true;
}

// "key=value" into its trimmed parts; false for a line without "=".
bool SplitPair(Span line, Span* key, Span* value) {
    const char* eq = static_cast<const char*>(std::memchr(line.p, '=', line.n));
    if (!eq) return false;
    *key = Trim(Span{line.p, static_cast<size_t>(eq - line.p)});
    *value = Trim(Span{eq + 1, static_cast<size_t>(line.p + line.n - eq - 1)});
    return true;
}

Span LineOf(const std::string& s) { return Span{s.data(), s.size()}; }

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool CIni::LookUp(const char* section, const char* key, std::string* value) const {
    std::string text;
    if (!velmora::ReadWholeFile(m_path.c_str(), text, kLimit * 4ll)) return false;
    bool inSection = false;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        Span line{p, static_cast<size_t>((feed ? feed : end) - p)};
        p = feed ? feed + 1 : end;
        Span name, k, v;
        if (IsSection(line, &name)) {
            inSection = SameName(name, section);
            continue;
        }
        if (inSection && SplitPair(line, &k, &v) && SameName(k, key)) {
            if (v.n >= 2 && (v.p[0] == '"' || v.p[0] == '\'') && v.p[v.n - 1] == v.p[0]) v = Span{v.p + 1, v.n - 2};
            value->assign(v.p, v.n);
            return true;
        }
    }
    return false;
}

BOOL CIni::WriteString(const char* section, const char* key, const char* value) {
    if (!section || !key) return FALSE;
    std::vector<std::string> lines = ReadLines(m_path);
    std::string entry = std::string(key) + "=" + (value ? value : "");
    int sectionLine = -1, end = static_cast<int>(lines.size());
    bool done = false;
    for (int i = 0; i < static_cast<int>(lines.size()) && !done; ++i) {
        Span name, k, v;
        if (IsSection(LineOf(lines[i]), &name)) {
            if (sectionLine >= 0) {
                end = i;
                break;
            }
            if (SameName(name, section)) sectionLine = i;
            continue;
        }
        if (sectionLine >= 0 && SplitPair(LineOf(lines[i]), &k, &v) && SameName(k, key)) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (sectionLine < 0) {
            lines.push_back(std::string("[") + section + "]");
            lines.push_back(entry);
        } else {
            // After the section's last non-blank line.
            int at = end;
            while (at > sectionLine + 1 && Trim(LineOf(lines[at - 1])).n == 0) --at;
            lines.insert(lines.begin() + at, entry);
        }
    }
    std::string tmp = m_path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (const std::string& l : lines) out << l << "\r\n";
        if (!out.flush()) return FALSE;
    }
    return std::rename(tmp.c_str(), m_path.c_str()) == 0;
}

#endif
