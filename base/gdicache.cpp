#include "base/gdicache.h"

#include <cstdio>
#include <mutex>
#include <memory>
#include <new>

CGdiCache::~CGdiCache() { DeleteAll(); }

HFONT CGdiCache::GetFont(int height, const char* faceName, bool bold) {
    if (!faceName) faceName = "";
    char key[LF_FACESIZE + 32];
    snprintf(key, sizeof(key), "%s_%d_%d", faceName, height, bold ? 1 : 0);
    SingleLock lock(&m_lock);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) return it->second;
    HFONT font = ::CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, faceName);
    if (font) m_fonts.emplace(key, font);
    return font;
}

HPEN CGdiCache::GetPen(int style, int width, COLORREF color) {
    uint64_t high = (uint64_t)(int64_t)((int64_t)(int16_t)style * 65536 + (int16_t)width);
    uint64_t key = (high << 32) + (uint64_t)(uint32_t)color;
    SingleLock lock(&m_lock);
    auto it = m_pens.find(key);
    if (it != m_pens.end()) return it->second;
    HPEN pen = ::CreatePen(style, width, color);
    if (pen) m_pens.emplace(key, pen);
    return pen;
}

void CGdiCache::DeleteAll() {
    SingleLock lock(&m_lock);
    for (auto& f : m_fonts) ::DeleteObject(f.second);
    for (auto& p : m_pens) ::DeleteObject(p.second);
    m_fonts.clear();
    m_pens.clear();
}

size_t CGdiCache::GetFontCount() {
    SingleLock lock(&m_lock);
    return m_fonts.size();
}

size_t CGdiCache::GetPenCount() {
    SingleLock lock(&m_lock);
    return m_pens.size();
}

namespace {
std::mutex g_cacheLock;
std::unique_ptr<CGdiCache> g_cache;
}  // namespace

CGdiCache* GetGdiCache() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    if (!g_cache) g_cache.reset(new (std::nothrow) CGdiCache());
    return g_cache.get();
}

void FreeGdiCache() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    g_cache.reset();
}
