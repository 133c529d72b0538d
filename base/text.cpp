#include "base/text.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#else
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#endif

namespace {

UINT ResolveCodePage(UINT cp) { return cp == kCodePageAnsi ? kCodePageGbk : cp; }

#ifndef _WIN32
const char* IconvName(UINT cp) {
    switch (ResolveCodePage(cp)) {
    case kCodePageGbk: return "CP936";
    case kCodePageUtf8: return "UTF-8";
    case 1252: return "CP1252";
    default: return nullptr;
    }
}

// Converts with iconv; an invalid or unmappable unit becomes one replacement unit so that a bad
// reply still yields text.
std::string IconvAll(const char* to, const char* from, const char* in, size_t inBytes, size_t unit,
                     const char* replacement, size_t replacementBytes) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return out;
    std::vector<char> buf(inBytes * 4 + 16);
    char* src = const_cast<char*>(in);
    size_t left = inBytes;
    while (left > 0) {
        char* dst = buf.data();
        size_t room = buf.size();
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), dst - buf.data());
        if (r == (size_t)-1) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: replace one unit and go on.
            out.append(replacement, replacementBytes);
            size_t skip = left < unit ? left : unit;
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}
#endif

}  // namespace

CUnicodeString::CUnicodeString() : m_pNarrow(nullptr), m_pWide(nullptr), m_nWideLength(0) {}

CUnicodeString::~CUnicodeString() { Free(); }

void CUnicodeString::Free() {
    std::free(m_pNarrow);
    std::free(m_pWide);
    m_pNarrow = nullptr;
    m_pWide = nullptr;
    m_nWideLength = 0;
}

void CUnicodeString::SetWide(const WideChar* text, int length) {
    Free();
    if (length < 0) length = 0;
    m_pWide = static_cast<WideChar*>(std::malloc((length + 1) * sizeof(WideChar)));
    if (!m_pWide) return;
    if (length) std::memcpy(m_pWide, text, length * sizeof(WideChar));
    m_pWide[length] = 0;
    m_nWideLength = length;
}

int CUnicodeString::FromMultiByte(const char* text, UINT codePage) {
    Free();
    if (!text) return 0;
#ifdef _WIN32
    UINT cp = ResolveCodePage(codePage);
    int n = MultiByteToWideChar(cp, 0, text, -1, nullptr, 0);
    if (n <= 0) return 0;
    m_pWide = static_cast<WideChar*>(std::malloc((n + 1) * sizeof(WideChar)));
    if (!m_pWide) return 0;
    n = MultiByteToWideChar(cp, 0, text, -1, m_pWide, n + 1);
    if (n <= 0) {
        Free();
        return 0;
    }
    m_nWideLength = n - 1;  // without the terminating zero
    m_pWide[m_nWideLength] = 0;
#else
    const char* name = IconvName(codePage);
    if (!name) return 0;
    static const char kReplacement[2] = {'\xFD', '\xFF'};  // U+FFFD in UTF-16LE
    std::string wide = IconvAll("UTF-16LE", name, text, std::strlen(text), 1, kReplacement, 2);
    SetWide(reinterpret_cast<const WideChar*>(wide.data()), static_cast<int>(wide.size() / 2));
#endif
    return m_nWideLength;
}

const char* CUnicodeString::ToMultiByte(UINT codePage, int* outLength) {
    std::free(m_pNarrow);
    m_pNarrow = nullptr;
    if (outLength) *outLength = 0;
#ifdef _WIN32
    UINT cp = ResolveCodePage(codePage);
    const WideChar* src = m_pWide ? m_pWide : L"";
    int n = WideCharToMultiByte(cp, 0, src, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return nullptr;
    m_pNarrow = static_cast<char*>(std::malloc(n + 1));
    if (!m_pNarrow) return nullptr;
    n = WideCharToMultiByte(cp, 0, src, -1, m_pNarrow, n + 1, nullptr, nullptr);
    if (n <= 0) {
        std::free(m_pNarrow);
        m_pNarrow = nullptr;
        return nullptr;
    }
    m_pNarrow[n - 1] = 0;
    if (outLength) *outLength = n - 1;
#else
    const char* name = IconvName(codePage);
    if (!name) return nullptr;
    std::string narrow = IconvAll(name, "UTF-16LE", reinterpret_cast<const char*>(m_pWide),
                                  m_nWideLength * sizeof(WideChar), 2, "?", 1);
    m_pNarrow = static_cast<char*>(std::malloc(narrow.size() + 1));
    if (!m_pNarrow) return nullptr;
    std::memcpy(m_pNarrow, narrow.data(), narrow.size());
    m_pNarrow[narrow.size()] = 0;
    if (outLength) *outLength = static_cast<int>(narrow.size());
#endif
    return m_pNarrow;
}

void Utf8ToAnsi(std::string& out, const char* utf8) {
    out.clear();
    if (!utf8) return;
    CUnicodeString u;
    u.FromMultiByte(utf8, kCodePageUtf8);
    int n = 0;
    const char* s = u.ToMultiByte(kCodePageGbk, &n);
    if (s) out.assign(s, n);
}

std::string Utf8ToAnsi(const char* utf8) {
    std::string out;
    Utf8ToAnsi(out, utf8);
    return out;
}

std::string AnsiToUtf8(const char* gbk) {
    std::string out;
    if (!gbk) return out;
    CUnicodeString u;
    u.FromMultiByte(gbk, kCodePageGbk);
    int n = 0;
    const char* s = u.ToMultiByte(kCodePageUtf8, &n);
    if (s) out.assign(s, n);
    return out;
}

size_t GbkCharLength(const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (!c) return 0;
    if (c >= 0x81 && c <= 0xFE && p[1] != 0) return 2;
    return 1;
}

const char* GbkFind(const char* text, const char* needle) {
    if (!text || !needle || !*needle) return nullptr;
    size_t n = std::strlen(needle);
    for (const char* p = text; *p; p += GbkCharLength(p)) {
        if (std::strncmp(p, needle, n) == 0) return p;
    }
    return nullptr;
}

int GbkCompareNoCase(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        unsigned c = *p, d = *q;
        size_t lp = GbkCharLength(reinterpret_cast<const char*>(p));
        size_t lq = GbkCharLength(reinterpret_cast<const char*>(q));
        if (lp == 1 && c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (lq == 1 && d >= 'A' && d <= 'Z') d += 'a' - 'A';
        if (c != d) return c < d ? -1 : 1;
        if (!c) return 0;
        if (lp == 2 || lq == 2) {
            if (lp != lq) return lp < lq ? -1 : 1;
            if (p[1] != q[1]) return p[1] < q[1] ? -1 : 1;
        }
        p += lp;
        q += lq;
    }
}

std::string GbkFoldCase(const char* text) {
    std::string out;
    if (!text) return out;
    out.reserve(std::strlen(text));
    for (const char* p = text; *p;) {
        const size_t n = GbkCharLength(p);
        if (n == 1) {
            const char c = *p;
            out += c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
        } else {
            out.append(p, n);
        }
        p += n;
    }
    return out;
}

size_t GbkSafeLength(const char* text, size_t maxBytes) {
    size_t used = 0;
    while (text[used]) {
        size_t n = GbkCharLength(text + used);
        if (used + n > maxBytes) break;
        used += n;
    }
    return used;
}

int SplitString(const char* text, const char* separator, std::vector<std::string>& out) {
    if (!text) return 0;
    const char* hit = GbkFind(text, separator);
    if (!hit) {
        out.emplace_back(text);
        return 0;
    }
    size_t sepLen = std::strlen(separator);
    int count = 0;
    const char* start = text;
    while (hit) {
        if (hit > start) out.emplace_back(start, hit - start);
        ++count;
        start = hit + sepLen;
        hit = GbkFind(start, separator);
    }
    if (*start) out.emplace_back(start);
    return count;
}

std::string StringPrintf(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, n);
    } else {
        out.resize(n + 1);
        std::vsnprintf(&out[0], n + 1, format, copy);
        out.resize(n);
    }
    va_end(copy);
    return out;
}

std::string FormatAmount(double value) {
    // The units follow the size, whatever the sign.
    double mag = std::fabs(value);
    if (mag > 100000000.0) return StringPrintf("%.2f亿", value / 100000000.0);
    if (mag > 10000.0) return StringPrintf("%.2f万", value / 10000.0);
    if (mag - std::trunc(mag) < 0.0001) return StringPrintf("%.0f", value);
    return StringPrintf("%.2f", value);
}

std::string FormatFixed(double value, int decimals) {
    static const char* const kFormats[] = {"%.0f", "%.1f", "%.2f", "%.3f", "%.4f", "%.5f", "%.6f"};
    const char* f = (decimals >= 0 && decimals <= 6) ? kFormats[decimals] : "%.2f";
    return StringPrintf(f, value);
}

bool ListDirectory(const char* folder, std::vector<std::string>& out, int kind) {
    if (!folder) return true;
    std::string pattern(folder);
#ifdef _WIN32
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return true;
    do {
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, "..")) continue;
        bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (kind == kListBoth || (kind == kListFolders) == isDir) out.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
#else
    DIR* d = opendir(folder);
    if (!d) return true;
    if (pattern.empty() || pattern.back() != '/') pattern += '/';
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        struct stat st;
        bool isDir = stat((pattern + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (kind == kListBoth || (kind == kListFolders) == isDir) out.emplace_back(e->d_name);
    }
    closedir(d);
#endif
    return true;
}
