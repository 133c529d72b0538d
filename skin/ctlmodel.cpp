#include "skin/ctlmodel.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

// ---- Clock -----------------------------------------------------------------------------------

namespace {

std::mutex& TickLock() {
    static std::mutex lock;
    return lock;
}
SkinTickSource& TickSlot() {
    static SkinTickSource source;
    return source;
}

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (s.size() < at + n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[at + i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

size_t FindNoCase(const std::string& s, const char* what, size_t from) {
    for (size_t i = from; i < s.size(); ++i)
        if (StartsWithNoCase(s, i, what)) return i;
    return std::string::npos;
}

// Whether tick a lies after tick b, across the 49-day wrap of the counter.
bool After(uint32_t a, uint32_t b) { return (int32_t)(a - b) > 0; }

}  // namespace

uint32_t SkinTick() {
    SkinTickSource source;
    {
        std::lock_guard<std::mutex> hold(TickLock());
        source = TickSlot();
    }
    if (source) return source();
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SkinTickSource SetSkinTickSource(SkinTickSource source) {
    std::lock_guard<std::mutex> hold(TickLock());
    std::swap(TickSlot(), source);
    return source;
}

// ---- Links -------------------------------------------------------------------------------------

bool IsWebUrl(const char* url) {
    if (!url) return false;
    std::string s(url);
    size_t rest;
    if (StartsWithNoCase(s, 0, "http://")) rest = 7;
    else if (StartsWithNoCase(s, 0, "https://")) rest = 8;
    else return false;
    if (s.size() <= rest || s[rest] == '/' || s.size() > 2048) return false;
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7F || c == '"') return false;
    return true;
}

bool SplitLinkTags(const std::string& label, std::string* before, std::string* link, std::string* after) {
    size_t open = FindNoCase(label, "<a>", 0);
    if (open == std::string::npos) return false;
    size_t close = FindNoCase(label, "</a>", open + 3);
    if (close == std::string::npos) return false;
    if (before) *before = label.substr(0, open);
    if (link) *link = label.substr(open + 3, close - open - 3);
    if (after) *after = label.substr(close + 4);
    return true;
}

int GbkCharCount(const std::string& text) {
    int n = 0;
    for (size_t i = 0; i < text.size(); ++n) {
        unsigned char c = (unsigned char)text[i];
        i += (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    return n;
}

// ---- Fade buttons ------------------------------------------------------------------------------

int DecideFadeState(bool hover, bool pressed, bool disabled, unsigned buttonState) {
    int state = kFadeNormal;
    if (hover) state = kFadeHover;
    if (pressed) state = kFadePressed;
    if (disabled) state = kFadeDisabled;
    if (buttonState & 0x4) state = kFadePressed;  // BST_PUSHED
    if (buttonState & 0x1) state = kFadePressed;  // BST_CHECKED
    return state;
}

bool CFadeState::Change(int state, bool visible, uint32_t now) {
    if (state == current) return alpha < 255;
    if (state != kFadePressed && current != kFadePressed && visible) {
        previous = current;
        current = state;
        unsigned a = 2 * (255 - std::min(alpha, 255u));
        alpha = std::min(a, 255u);
        lastTick = now;
        return alpha < 255;
    }
    previous = current = state;
    alpha = 255;
    return false;
}

bool CFadeState::Advance(uint32_t now) {
    if (alpha >= 255) {
        alpha = 255;
        lastTick = now;
        return false;
    }
    uint64_t gained = (uint64_t)(uint32_t)(now - lastTick) * 10 / (uint64_t)(step > 0 ? step : 1);
    lastTick = now;
    uint64_t a = alpha + gained;
    alpha = a >= 255 ? 255 : (unsigned)a;
    return alpha < 255;
}

int CFadeState::Layers(Layer out[2]) const {
    if (alpha >= 255) {
        out[0] = {current, 255};
        return 1;
    }
    out[0] = {previous, 255 - alpha};
    out[1] = {current, alpha < 128 ? (alpha + 1) * 2 : 255};
    return 2;
}

int DarkButtonFrameWidth(int iconWidth, bool hasIcon, int captionWidth, bool hasCaption, bool dropArrow) {
    int w = 20;
    if (hasIcon) w += iconWidth / 4;
    if (hasCaption) w += captionWidth + (hasIcon ? 4 : 0);
    if (dropArrow) w += 10;
    return w;
}

std::vector<bool> CommandBarVisibility(const std::vector<int>& rightEdges, int clientWidth) {
    std::vector<bool> shown;
    shown.reserve(rightEdges.size());
    for (int r : rightEdges) shown.push_back(r < clientWidth - 5);
    return shown;
}

// ---- News ticker -------------------------------------------------------------------------------

std::vector<NewsItem> ParseNewsText(const std::string& text) {
    std::vector<NewsItem> items;
    size_t pos = 0;
    while (pos < text.size() && items.size() < kMaxNewsItems) {
        size_t eol = text.find('\n', pos);
        std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? text.size() : eol + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t tab = line.find('\t');
        NewsItem item;
        item.text = line.substr(0, tab);
        if (tab != std::string::npos) {
            size_t tab2 = line.find('\t', tab + 1);
            item.url = line.substr(tab + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab - 1);
        }
        if (!item.text.empty()) items.push_back(std::move(item));
    }
    return items;
}

size_t CTickerModel::SetWidths(const std::vector<int>& widths) {
    m_extents.clear();
    m_stripWidth = 0;
    for (int w : widths) {
        if (w < 0) w = 0;
        if (m_stripWidth + w > kMaxTickerStrip) break;
        m_extents.push_back({m_stripWidth, m_stripWidth + w});
        m_stripWidth += w;
    }
    return m_extents.size();
}

CTickerModel::Copy CTickerModel::Visible(int cw, int ch, int stripHeight) const {
    Copy c = {0, 0, 0, std::max(0, std::min(ch, stripHeight))};
    if (cw <= 0 || m_stripWidth <= 0) return c;
    if (offset < cw) {
        c.destX = cw - offset;
        c.srcX = 0;
        c.width = std::min(offset, m_stripWidth);
    } else {
        c.destX = 0;
        c.srcX = offset - cw;
        c.width = std::max(0, std::min(cw, m_stripWidth - c.srcX));
    }
    if (c.width <= 0) c.width = 0;
    return c;
}

void CTickerModel::Advance(int cw) {
    if (!scrolling) return;
    ++offset;
    if (offset - m_stripWidth >= cw) offset = 0;
}

int CTickerModel::HitTest(int x, int cw) const {
    int p = x + offset - cw;
    for (size_t i = 0; i < m_extents.size(); ++i)
        if (m_extents[i].xStart <= p && p <= m_extents[i].xEnd) return (int)i;
    return -1;
}

int HitSpan(const std::vector<std::pair<int, int>>& spans, int x) {
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].first <= x && x <= spans[i].second) return (int)i;
    return -1;
}

// ---- Tab bar ------------------------------------------------------------------------------------

void CTabBarModel::AddItem(int id, const std::string& text) {
    Item item;
    item.id = id;
    item.text = text;
    items.push_back(item);
}

void CTabBarModel::Layout(int lineHeight, const std::function<int(const std::string&)>& textWidth) {
    int x = 16, y = 4;
    if (vertical) x = 0, y = 16;
    for (Item& it : items) {
        if (vertical) {
            it.rect = SkinRect(x, y, x + lineHeight, y + GbkCharCount(it.text) * lineHeight + 16);
            y = it.rect.bottom + 2;
        } else {
            it.rect = SkinRect(x, y, x + textWidth(it.text) + 28, y + lineHeight + 12);
            x = it.rect.right + 4;
        }
    }
}

int CTabBarModel::HitTest(int x, int y) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].rect.Contains(x, y)) return (int)i;
    return -1;
}

int CTabBarModel::FindId(int id) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id) return (int)i;
    return -1;
}

bool CTabBarModel::ChangeItemStates(int target, unsigned setFlags, unsigned clearFlags, uint32_t fadeMs,
                                    uint32_t now, std::vector<int>* changed) {
    bool fading = false;
    for (size_t i = 0; i < items.size(); ++i) {
        Item& it = items[i];
        if ((int)i == target) {
            if (!(it.flags & setFlags)) {
                it.previousFlags = it.flags;
                it.flags |= setFlags;
                if (changed) changed->push_back((int)i);
            }
            continue;
        }
        if (!(it.flags & clearFlags)) continue;
        unsigned dominant = (it.flags & kTabSelected) ? kTabSelected : (it.flags & kTabFour) ? kTabFour
                                                                                              : (it.flags & kTabHover);
        if (dominant & clearFlags) {
            if (fadeMs > 0) {
                it.fadeStart = now;
                it.fadeEnd = now + fadeMs;
                fading = true;
            } else {
                it.fadeStart = it.fadeEnd = 0;
            }
        }
        it.previousFlags = it.flags;
        it.flags &= ~clearFlags;
        if (changed) changed->push_back((int)i);
    }
    return fading;
}

bool CTabBarModel::Tick(uint32_t now, std::vector<int>* changed) {
    bool any = false;
    for (size_t i = 0; i < items.size(); ++i) {
        Item& it = items[i];
        if (!it.Fading()) continue;
        if (changed) changed->push_back((int)i);
        if (After(now, it.fadeEnd)) it.fadeStart = it.fadeEnd = 0;
        else any = true;
    }
    return any;
}

int CTabBarModel::FrameOf(unsigned flags) {
    if (flags & kTabSelected) return 1;
    if (flags & kTabFour) return 2;
    if (flags & kTabHover) return 3;
    return 0;
}

unsigned CTabBarModel::FadeProgress(const Item& item, uint32_t now) {
    if (!item.Fading()) return 255;
    uint32_t span = item.fadeEnd - item.fadeStart;
    uint32_t elapsed = now - item.fadeStart;
    if ((int32_t)elapsed < 0) elapsed = 0;
    if (elapsed > span) elapsed = span;
    return (unsigned)((uint64_t)elapsed * 255 / span);
}

// ---- Skinned frame -------------------------------------------------------------------------------

int NcHitTest(const NcGeometry& g, int x, int y) {
    const int W = g.width, H = g.height, L = g.left, R = g.right, B = g.bottom, C = g.caption;
    if (g.close.Contains(x, y)) return kHitClose;
    if (g.minimizeBox && g.minimize.Contains(x, y)) return kHitMinimize;
    if (g.maximizeBox && g.maximize.Contains(x, y)) return kHitMaximize;
    for (size_t i = 0; i < g.menuButtons.size(); ++i)
        if (g.menuButtons[i].Contains(x, y)) return kHitMenuButton + (int)i;
    if (SkinRect(L, 5, L + g.iconWidth, 5 + g.iconHeight).Contains(x, y)) return kHitSysMenu;
    if (g.sizing && !g.maximized) {
        const struct {
            SkinRect r;
            int code;
        } areas[] = {
            {SkinRect(0, 0, L, C), kHitTopLeft},          {SkinRect(W - R, 0, W, C), kHitTopRight},
            {SkinRect(0, H - B, L, H), kHitBottomLeft},   {SkinRect(W - R, H - B, W, H), kHitBottomRight},
            {SkinRect(0, C, L, H - B), kHitLeft},         {SkinRect(W - R, C, W, H - B), kHitRight},
            {SkinRect(L, H - B, W - R, H), kHitBottom},   {SkinRect(L, 0, W - R, B), kHitTop},
        };
        for (const auto& a : areas)
            if (a.r.Contains(x, y)) return a.code;
    }
    if (SkinRect(L, 5, W - R, C).Contains(x, y)) return kHitCaption;
    return kHitClient;
}

std::vector<BorderTile> TileBorder(int start, int length, int imageLength, int headEnd, int tailStart) {
    std::vector<BorderTile> tiles;
    if (length <= 0 || imageLength <= 0) return tiles;
    headEnd = std::max(0, std::min(headEnd, imageLength));
    tailStart = std::max(headEnd, std::min(tailStart, imageLength));
    const int tail = imageLength - tailStart, middle = tailStart - headEnd, end = start + length;
    if (headEnd > 0) tiles.push_back({start, 0, std::min(headEnd, length)});
    if (middle > 0)
        for (int pos = start + headEnd; pos < end - tail; pos += middle)
            tiles.push_back({pos, headEnd, std::min(middle, end - tail - pos)});
    if (tail > 0) {
        int dest = end - tail, cut = std::max(0, start - dest);
        if (tail - cut > 0) tiles.push_back({dest + cut, tailStart + cut, tail - cut});
    }
    return tiles;
}

// ---- Owner-drawn menus --------------------------------------------------------------------------

void SplitMenuText(const std::string& text, std::string* label, std::string* accelerator) {
    size_t tab = text.find('\t');
    if (label) *label = text.substr(0, tab);
    if (accelerator) *accelerator = tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

int MenuItemWidth(int textWidth, int extraWidth, int buttonWidth, int checkWidth) {
    return textWidth + extraWidth + 2 * buttonWidth - checkWidth + 6;
}

int MenuItemHeight(int fontHeight) { return (fontHeight < 0 ? -fontHeight : fontHeight) + 10; }

bool MenuColorFromHighlight(MenuColor role) {
    return role == MenuColor::SelectionFill || role == MenuColor::CheckSelected || role == MenuColor::CheckOther;
}

HslBytes ApplyMenuColorRule(MenuColor role, HslBytes c) {
    auto lighten = [&](int k) { c.l = c.l + (255 * k - c.l * k) / 100; };
    auto darken = [&](int k) { c.l = c.l * k / 100; };
    auto saturate = [&](int k) { c.s = c.s * k / 100; };
    switch (role) {
    case MenuColor::IconBand: lighten(20); break;
    case MenuColor::TextArea: lighten(75); break;
    case MenuColor::SelectionFill: saturate(43); lighten(70); break;
    case MenuColor::DisabledText: darken(82); break;
    case MenuColor::CheckDisabled: lighten(73); break;
    case MenuColor::CheckSelected: saturate(50); lighten(50); break;
    case MenuColor::CheckOther: saturate(43); lighten(70); break;
    }
    return c;
}

// ---- Pixels ----------------------------------------------------------------------------------------

void MarkDrawnPixelsOpaque(const uint32_t* before, uint32_t* after, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (before[i] != after[i]) after[i] |= 0xFF000000u;
}

int GradientChannel(int start, int end, int band) { return start + band * (end - start) / 255; }
