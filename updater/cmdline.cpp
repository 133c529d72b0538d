#include "updater/cmdline.h"

#include <cctype>
#include <cstring>

namespace {
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

CommandLineArgs::CommandLineArgs(const char* text) {
    if (text) m_text.assign(text, text + std::strlen(text));
    m_text.push_back('\0');
    Split();
}

void CommandLineArgs::Split() {
    m_tokens.clear();
    char* p = m_text.data();
    for (;;) {
        while (*p && IsSpace(*p)) ++p;
        if (!*p) break;
        if (*p == '"') {
            char* start = ++p;
            m_tokens.push_back(start);
            while (*p && !(*p == '"' && (p[1] == '\0' || IsSpace(p[1])))) ++p;
            if (!*p) break;
            *p++ = '\0';
            if (*p) ++p;  // the white space after the closing quote
        } else {
            m_tokens.push_back(p);
            while (*p && !IsSpace(*p)) ++p;
            if (!*p) break;
            *p++ = '\0';
        }
    }
}

std::string ExecutablePathFromCommandLine(const char* commandLine) {
    std::string s = commandLine ? commandLine : "";
    size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b])) ++b;
    while (e > b && IsSpace(s[e - 1])) --e;
    if (e - b >= 2 && s[b] == '"' && s[e - 1] == '"') {
        ++b;
        --e;
    }
    return s.substr(b, e - b);
}

std::string LongPathForm(const std::string& path) {
    // Leaves room for ".new" and the terminator below the classic limit of 260.
    if (path.size() < 240 || path.compare(0, 4, "\\\\?\\") == 0) return path;
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    if (p.size() > 2 && p[1] == ':' && p[2] == '\\') return "\\\\?\\" + p;
    if (p.compare(0, 2, "\\\\") == 0) return "\\\\?\\UNC\\" + p.substr(2);
    return path;
}
