#include "skin/hyperlink.h"

#include <cstdio>


COLORREF ReadAnchorColor(const char* value, COLORREF defaultValue) {
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Settings", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return defaultValue;
    char text[64] = {0};
    DWORD size = sizeof(text) - 1, type = 0;
    COLORREF c = defaultValue;
    if (::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        c = ParseAnchorColor(text, defaultValue);
    ::RegCloseKey(key);
    return c;
}

COLORREF ParseAnchorColor(const char* text, COLORREF defaultValue) {
    int r, g, b;
    char tail;
    if (!text || std::sscanf(text, " %d , %d , %d %c", &r, &g, &b, &tail) != 3) return defaultValue;
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return defaultValue;
    return RGB(r, g, b);
}
