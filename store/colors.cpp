#include "store/colors.h"

namespace {

const int kFirstOwn = 7;
const int kLastOwn = 31;

// Indexes 7 to 31 of each scheme.
const COLORREF kTraditional[kLastOwn - kFirstOwn + 1] = {
    0xC08080, 0xFFFFFF, 0xD7D4CE, 0x080808, 0x080808,
    0xCC9999, 0x080808, 0x00FFFF, 0x080808, 0x000084,
    0x0000FF, 0x00FF00, 0xFFFF00, 0xFFFFFF, 0xE9F3F7,
    0x7F7F00, 0x808080, 0xFFFFFF, 0xFFFF00, 0xFFFFFF,
    0x00FFFF, 0xFF54FF, 0xFF0000, 0xC000C0, 0x00C0C0,
};
const COLORREF kByzantine[kLastOwn - kFirstOwn + 1] = {
    0xF1FAF8, 0x000000, 0xF1FAF8, 0x000000, 0xF1FAF8,
    0xC08000, 0xF1FAF8, 0x000000, 0xF1FAF8, 0xC08000,
    0x6200AA, 0x5A854E, 0x5A854E, 0x000000, 0x9CDFF7,
    0xB5BEC6, 0xC6C3C6, 0x88300F, 0x000000, 0xBC01BC,
    0xB09842, 0x008000, 0x00FF00, 0xC000C0, 0x00C0C0,
};
const COLORREF kGothic[kLastOwn - kFirstOwn + 1] = {
    0xFAFAFA, 0x000000, 0xFAFAFA, 0x000000, 0xFAFAFA,
    0xC08000, 0xFAFAFA, 0x000000, 0xFAFAFA, 0xC08000,
    0x6A02EA, 0x5E8A48, 0x5E8A48, 0x000000, 0x9CDFF7,
    0xB5BEC6, 0xC6C3C6, 0x000000, 0x000000, 0x0080FF,
    0x9F983E, 0x008000, 0x00FF00, 0xC000C0, 0x00C0C0,
};
const COLORREF kBaroque[kLastOwn - kFirstOwn + 1] = {
    0x7B5300, 0xFCC147, 0x7B5300, 0xFCC147, 0x7B5300,
    0xC7C1A0, 0x7B5300, 0xFCC147, 0x7B5300, 0xC7C1A0,
    0xBF9DFF, 0xFFFF00, 0xFFFF00, 0xFCC147, 0x9CDFF7,
    0xB5BEC6, 0xC6C3C6, 0x00FFFF, 0xFCC147, 0x4AD7FF,
    0xFFFFFF, 0x008000, 0x00FF00, 0xC000C0, 0x00C0C0,
};

void Overwrite(CColorArray& colors, const COLORREF* own) {
    colors[0] = 0xFFFFFF;
    for (int i = kFirstOwn; i <= kLastOwn; ++i) colors[i] = own[i - kFirstOwn];
}

}  // namespace

const char* const kColorSchemeNames[kColorSchemeCount] = {
    "传统式配色方案",
    "拜占庭式配色方案",
    "哥特式配色方案",
    "巴洛克式配色方案",
};

void SetTraditionalColors(CColorArray& colors) {
    colors.SetSize(kColorSlotCount, -1);
    for (int i = 0; i < kColorSlotCount; ++i) colors[i] = 0xFFFFFF;
    Overwrite(colors, kTraditional);
}

void SetByzantineColors(CColorArray& colors) {
    SetTraditionalColors(colors);
    Overwrite(colors, kByzantine);
}

void SetGothicColors(CColorArray& colors) {
    SetTraditionalColors(colors);
    Overwrite(colors, kGothic);
}

void SetBaroqueColors(CColorArray& colors) {
    SetTraditionalColors(colors);
    Overwrite(colors, kBaroque);
}

void SetSchemeColors(int scheme, CColorArray& colors) {
    switch (scheme) {
    case 1: SetByzantineColors(colors); break;
    case 2: SetGothicColors(colors); break;
    case 3: SetBaroqueColors(colors); break;
    default: SetTraditionalColors(colors); break;
    }
}
