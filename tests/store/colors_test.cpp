#include <gtest/gtest.h>

#include <string>

#include "store/colors.h"

namespace {

// The four schemes as published: per colour index, traditional, Byzantine, Gothic, Baroque.
const struct {
    int index;
    COLORREF colors[4];
} kTable[] = {
    {0, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {1, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {2, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {3, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {4, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {5, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {6, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {7, {0xC08080, 0xF1FAF8, 0xFAFAFA, 0x7B5300}},
    {8, {0xFFFFFF, 0x000000, 0x000000, 0xFCC147}},
    {9, {0xD7D4CE, 0xF1FAF8, 0xFAFAFA, 0x7B5300}},
    {10, {0x080808, 0x000000, 0x000000, 0xFCC147}},
    {11, {0x080808, 0xF1FAF8, 0xFAFAFA, 0x7B5300}},
    {12, {0xCC9999, 0xC08000, 0xC08000, 0xC7C1A0}},
    {13, {0x080808, 0xF1FAF8, 0xFAFAFA, 0x7B5300}},
    {14, {0x00FFFF, 0x000000, 0x000000, 0xFCC147}},
    {15, {0x080808, 0xF1FAF8, 0xFAFAFA, 0x7B5300}},
    {16, {0x000084, 0xC08000, 0xC08000, 0xC7C1A0}},
    {17, {0x0000FF, 0x6200AA, 0x6A02EA, 0xBF9DFF}},
    {18, {0x00FF00, 0x5A854E, 0x5E8A48, 0xFFFF00}},
    {19, {0xFFFF00, 0x5A854E, 0x5E8A48, 0xFFFF00}},
    {20, {0xFFFFFF, 0x000000, 0x000000, 0xFCC147}},
    {21, {0xE9F3F7, 0x9CDFF7, 0x9CDFF7, 0x9CDFF7}},
    {22, {0x7F7F00, 0xB5BEC6, 0xB5BEC6, 0xB5BEC6}},
    {23, {0x808080, 0xC6C3C6, 0xC6C3C6, 0xC6C3C6}},
    {24, {0xFFFFFF, 0x88300F, 0x000000, 0x00FFFF}},
    {25, {0xFFFF00, 0x000000, 0x000000, 0xFCC147}},
    {26, {0xFFFFFF, 0xBC01BC, 0x0080FF, 0x4AD7FF}},
    {27, {0x00FFFF, 0xB09842, 0x9F983E, 0xFFFFFF}},
    {28, {0xFF54FF, 0x008000, 0x008000, 0x008000}},
    {29, {0xFF0000, 0x00FF00, 0x00FF00, 0x00FF00}},
    {30, {0xC000C0, 0xC000C0, 0xC000C0, 0xC000C0}},
    {31, {0x00C0C0, 0x00C0C0, 0x00C0C0, 0x00C0C0}},
    {32, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {33, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {34, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {35, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {36, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {37, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
};

TEST(ColorSchemes, EverySchemeMatchesItsTable) {
    void (*const setters[4])(CColorArray&) = {SetTraditionalColors, SetByzantineColors, SetGothicColors,
                                              SetBaroqueColors};
    for (int scheme = 0; scheme < 4; ++scheme) {
        CColorArray colors;
        colors.SetSize(50);
        colors[45] = 1;
        setters[scheme](colors);
        ASSERT_EQ(colors.GetSize(), kColorSlotCount);
        for (const auto& row : kTable)
            EXPECT_EQ(colors[row.index], row.colors[scheme]) << kColorSchemeNames[scheme] << " index " << row.index;
        CColorArray again;
        SetSchemeColors(scheme, again);
        for (int i = 0; i < kColorSlotCount; ++i) EXPECT_EQ(again[i], colors[i]);
    }
    EXPECT_EQ(std::string(kColorSchemeNames[0]), "传统式配色方案");
    EXPECT_EQ(std::string(kColorSchemeNames[3]), "巴洛克式配色方案");
}

}  // namespace
