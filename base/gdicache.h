// Fonts and pens shared by every drawing routine; the cache owns them until DeleteAll.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/thread.h"

#ifdef _WIN32
#include <windows.h>

class CGdiCache {
public:
    CGdiCache() = default;
    virtual ~CGdiCache();
    CGdiCache(const CGdiCache&) = delete;
    CGdiCache& operator=(const CGdiCache&) = delete;

    // The font of a face, height and weight, created once (DEFAULT_CHARSET: it may show Chinese).
    HFONT GetFont(int height, const char* faceName, bool bold);
    // The pen of a style, width and colour, created once.
    HPEN GetPen(int style, int width, COLORREF color);
    // Deletes every font and pen; handles given out before are no longer valid.
    void DeleteAll();

    size_t GetFontCount();
    size_t GetPenCount();

private:
    // Painting is on the UI thread, but status panes are built on the refresh thread too.
    CriticalSection m_lock;
    std::map<std::string, HFONT> m_fonts;
    std::map<uint64_t, HPEN> m_pens;
};

// The process-wide cache, created on first use (null when that fails).
CGdiCache* GetGdiCache();
// Destroys the cache; the next GetGdiCache makes a new, empty one.
void FreeGdiCache();

#endif  // _WIN32
