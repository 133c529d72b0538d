// Text in the program is GBK (code page 936); these routines convert it and scan it by whole
// characters, since a GBK trail byte can be '|', '\\' or a letter.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/platform.h"

#ifdef _WIN32
typedef wchar_t WideChar;
#else
typedef char16_t WideChar;
#endif

enum : UINT {
    kCodePageAnsi = 0,   // this program's ANSI code page is always GBK
    kCodePageGbk = 936,
    kCodePageUtf8 = 65001,
};

// One text held as UTF-16 and as multibyte.
class CUnicodeString {
public:
    CUnicodeString();
    virtual ~CUnicodeString();
    CUnicodeString(const CUnicodeString&) = delete;
    CUnicodeString& operator=(const CUnicodeString&) = delete;

    // Converts a zero-terminated text of the code page; returns the wide length (0 on failure).
    int FromMultiByte(const char* text, UINT codePage);
    // Converts the wide text to the code page; the result lives until the next call.
    const char* ToMultiByte(UINT codePage, int* outLength);
    void SetWide(const WideChar* text, int length);

    const WideChar* GetWide() const { return m_pWide; }
    int GetWideLength() const { return m_nWideLength; }

private:
    void Free();
    char* m_pNarrow;
    WideChar* m_pWide;
    int m_nWideLength;
};

// UTF-8 (a service reply) to GBK; a null text gives an empty text.
void Utf8ToAnsi(std::string& out, const char* utf8);
std::string Utf8ToAnsi(const char* utf8);
// GBK to UTF-8, for logs and tests.
std::string AnsiToUtf8(const char* gbk);

// Bytes in the GBK character at p (1 or 2; 0 at the end of the text).
size_t GbkCharLength(const char* p);
// First occurrence of needle that starts on a character boundary, or null. An empty needle is
// never found.
const char* GbkFind(const char* text, const char* needle);
// Case-insensitive compare of ASCII letters that are whole characters (trail bytes compare exactly).
int GbkCompareNoCase(const char* a, const char* b);
// The text with its single-byte ASCII letters lowercased and double-byte characters kept: two
// texts fold alike exactly when GbkCompareNoCase finds them equal, so the fold can key a hash.
std::string GbkFoldCase(const char* text);
// The longest prefix of at most maxBytes bytes that does not split a character.
size_t GbkSafeLength(const char* text, size_t maxBytes);

// Splits at every occurrence of separator; empty pieces are dropped. Returns the number of
// separators found (0 adds the whole text; an empty separator never splits).
int SplitString(const char* text, const char* separator, std::vector<std::string>& out);

// Amount with the Chinese units: 亿 above 10^8, 万 above 10^4.
std::string FormatAmount(double value);
// Fixed decimals 0 to 6; any other count uses 2.
std::string FormatFixed(double value, int decimals);
// printf into a std::string.
std::string StringPrintf(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

enum { kListFiles = 0, kListFolders = 1, kListBoth = 2 };
// Names (without the folder) of the folder's entries of the kind; never "." or "..".
bool ListDirectory(const char* folder, std::vector<std::string>& out, int kind);
