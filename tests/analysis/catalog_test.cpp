#include <gtest/gtest.h>

#include <string>

#include "analysis/catalog.h"
#include "analysis/technique.h"

namespace {

// Expected texts as GBK bytes, written out so the check does not depend on the compiler's
// character-set conversion.
TEST(Catalog, NamesAreGbkBytes) {
    EXPECT_EQ(GetKTypeName(0), "\xCE\xB4\xD6\xAA");  // 未知
    EXPECT_EQ(GetKTypeName(8), "\xCE\xB4\xD6\xAA");
    EXPECT_EQ(GetKTypeName(5), "\xC8\xD5\xCF\xDF");  // 日线
    EXPECT_EQ(GetTechnicalName(9), "\xD6\xB8\xCA\xFD\xC6\xBD\xBB\xAC\xD2\xEC\xCD\xAC\xD2\xC6\xB6\xAF\xC6\xBD\xBE\xF9\xCF\xDF");
    EXPECT_EQ(GetTechnicalName(30), "\xB9\xD4\xC0\xEB\xC2\xCA");  // 乖离率
    EXPECT_EQ(GetTechnicalName(4), "zu\xBE\xF9\xBC\xDB\xCF\xDF");  // zu均价线
    EXPECT_EQ(GetTechnicalName(59), "");
    EXPECT_EQ(GetTechnicalName(0), "");
    EXPECT_EQ(GetTechnicalName(9999), "");
#ifdef VELMORA_TEST_PLUGINS
    EXPECT_EQ(GetTechnicalName(10000), "One line with its average");  // the test library beside us
#else
    EXPECT_EQ(GetTechnicalName(10000), "");  // no plug-in library
#endif
    EXPECT_EQ(GetTechnicalShortName(26), "CI");
    EXPECT_EQ(GetTechnicalShortName(34), "CCI");
    EXPECT_EQ(GetTechnicalShortName(8), "FXKP");
    EXPECT_EQ(GetTechnicalShortName(58), "HDLY");
    EXPECT_EQ(GetTechnicalShortName(41), "36BIAS");
    EXPECT_EQ(GetStockListTitle(0), "");
    EXPECT_EQ(GetStockListTitle(80), "");
    EXPECT_EQ(GetStockListTitle(1), "\xB4\xFA\xC2\xEB");  // 代码
    EXPECT_EQ(GetStockListTitle(46), "\xD3\xA6\xCA\xD5\xD5\xCB\xBF\xEE\xD6\xDC\xC2\xCA");
    EXPECT_EQ(GetStockListTitle(76), "\xA6\xC2\xD6\xB5");  // β值
    EXPECT_EQ(GetStockListTitle(79), "\xCA\xA1\xB7\xDD");  // 省份
    EXPECT_EQ(std::string(GetReasonText(2)), "\xB5\xD7\xB1\xB3\xC0\xEB");  // 底背离
    EXPECT_EQ(std::string(GetIntensityText(15)), "\xC7\xBF\xC1\xD2\xC2\xF2\xBD\xF8");  // 强烈买进
    EXPECT_EQ(std::string(GetIntensityText(0)), "\xCE\xDE");  // 无
}

TEST(Catalog, ShapeClasses) {
    struct Case { float o, h, l, c; int dir, body, shadow; };
    const Case cases[] = {
        {10, 10.125f, 10, 10.125f, 1, 1, 0}, {10, 10.25f, 10, 10.25f, 1, 2, 0}, {10, 10.5f, 10, 10.5f, 1, 3, 0},
        {10, 10.75f, 9.75f, 10.5f, 1, 3, 3}, {10, 10.75f, 9.5f, 10.5f, 1, 3, 4}, {10, 11, 9.75f, 10.5f, 1, 3, 5},
        {10, 10.5f, 9.75f, 10.5f, 1, 3, 1},  {10, 10.75f, 10, 10.5f, 1, 3, 2},  {10.5f, 10.75f, 9.75f, 10, 2, 3, 3},
        {10, 10, 10, 10, 3, 0, 0},           {10, 11, 9, 10, 3, 0, 3},
    };
    for (const Case& c : cases) {
        CKShape s;
        s.Set(c.o, c.h, c.l, c.c, 0);
        EXPECT_EQ(s.GetDirection(), c.dir);
        EXPECT_EQ(s.GetBodyClass(), c.body) << c.o << " " << c.c;
        EXPECT_EQ(s.GetShadowClass(), c.shadow) << c.o << " " << c.h << " " << c.l << " " << c.c;
    }
}

TEST(Catalog, ShapeComments) {
    struct Case { float o, h, l, c, ref; std::string text; };
    const Case cases[] = {
        // Doji without shadows in a rising and a falling stretch.
        {10, 10, 10, 10, 9, "行情极度看涨，后市将持续上升较长一段时间。建议持股待涨。"},
        {10, 10, 10, 10, 11, "行情极度看跌，后市将持续下跌较长一段时间。建议尽快抛售。"},
        // A falling class-3 bar without shadows: the headline is replaced.
        {10.4f, 10.4f, 10, 10, 0,
         "市场不限价的杀低抛出，投资者已经产生恐慌情绪，行情保持单边下跌。空方占有绝对优势，行情持续下跌已经不可避免。"
         "体现市场强烈跌势，后市持续下跌可能性很大，建议及时止损。显示空方力量占据主动，后市趋于下跌。"},
        {10, 10.1f, 9.9f, 10.1f, 20, "多头相对主动，但走势疲软，做多意愿不坚决。下面有支撑。如果正处在跌势，则显示筹码惜售，可能转热。"},
        {10, 10.25f, 10, 10.2f, 5, "多方力量相当强大，空方已经无力阻止快速向上。向上有阻力。如果在上升途中，显示多方力量强劲，后市趋于涨升。"},
        {10.125f, 10.25f, 9.875f, 10, 5, "行情陷入胶着状态，多空双发均在试探。若在上升途中，可能是获利筹码较多，不必担心。向上压力和下面支撑力量相等。"
                                    "若在下跌途中，显示空方力量占据主动，后市仍趋于下跌。"},
        {10, 11, 9, 10, 5, "十字星走势，意味着行情要出现变局，需要密切关注走势和成交量的变化。"
                           "如果目前处于上升途中，则称为“黄昏之星”，表明多方力量将尽，行情将见顶回落。"},
    };
    for (const Case& c : cases) {
        CKShape s;
        s.Set(c.o, c.h, c.l, c.c, c.ref);
        std::string text = "old";
        ASSERT_TRUE(s.GetComment(text));
        EXPECT_EQ(text, c.text) << c.o << " " << c.c;
    }
    // Doji with a longer lower shadow appends to the caller's text.
    CKShape s;
    s.Set(10, 10.1f, 9.5f, 10, 0);
    std::string text = "x";
    ASSERT_TRUE(s.GetComment(text));
    EXPECT_EQ(text, std::string("x") + "下档支撑强于上档压力。");
    // A close at or below 0 gives no commentary.
    s.Set(-1, 1, -2, -1.5f, 0);
    text = "keep";
    EXPECT_FALSE(s.GetComment(text));
    EXPECT_EQ(text, "keep");
}

}  // namespace
