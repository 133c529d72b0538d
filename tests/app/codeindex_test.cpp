// The search index: key texts expanded from pinyin initials with "*" and "(a|b)" groups, entries
// filed under the characters a user starts with, and the lines a typed text lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/catalog.h"
#include "app/codeindex.h"
#include "store/container.h"

namespace {

using Lines = std::vector<std::string>;

TEST(SearchKeys, MatchAndKeyCodes) {
    struct Case {
        const char* candidate;
        const char* typed;
        bool match;
    } cases[] = {
        {"PFYH", "PF", true},     {"PFYH", "PFYHX", true},  // longer typed text matches a used-up candidate
        {"PFYH", "PX", false},    {"PFYH", "", true},       {"*STCD", "ST", true},
        {"*STCD", "*ST", true},   {"S*TCD", "ST", true},    {"STCD", "*ST", false},
        {"600000_1", "600", true}, {"600000_1", "6000001", false}, {"", "A", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchTypedKey(c.candidate, c.typed), c.match) << c.candidate << " / " << c.typed;
    EXPECT_FALSE(MatchTypedKey(nullptr, "A"));

    for (int vk : {48, 57, 65, 90, 96, 105, 32}) EXPECT_TRUE(IsSearchKey(vk)) << vk;
    for (int vk : {8, 13, 27, 47, 58, 64, 91, 95, 106, 0x6A, 186}) EXPECT_FALSE(IsSearchKey(vk)) << vk;
}

TEST(SearchKeys, ExpansionOfStarsAndGroups) {
    struct Case {
        const char* source;
        Lines keys;
    } cases[] = {
        {"PFYH", {"PFYH"}},
        {"*ST(C|Z)D", {"STCD", "*STCD", "STZD", "*STZD"}},
        // Each group copies the texts so far once per alternative, in slot order.
        {"(C|Z)(C|Z)YH", {"CCYH", "ZCYH", "CZYH", "ZZYH"}},
        {"A(B|C|D)", {"AB", "AC", "AD"}},
        // An unclosed group keeps the alternatives a '|' ended, or leaves the texts alone.
        {"AB(C|D", {"ABC"}},
        {"AB(C", {"AB"}},
        {"A()B", {"AB"}},
        // A GBK trail byte that equals '|' is part of its character, not a separator.
        {"X(墊|Y)", {"X墊", "XY"}},
        {"", {}},
        {"*", {}},
        {"(|)(|)(|)(|)", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(CodeIndex::ExpandKeys(c.source), c.keys) << c.source;
}

TEST(SearchKeys, ExpansionStopsAtTheCap) {
    // 2^7 = 128 texts from a 35-character source: more texts than characters, cut at the cap.
    Lines keys = CodeIndex::ExpandKeys("(A|B)(C|D)(E|F)(G|H)(I|J)(K|L)(M|N)");
    ASSERT_EQ(keys.size(), CodeIndex::kMaxKeyVariants);
    EXPECT_EQ(keys.front(), "ACEGIKM");
    EXPECT_EQ(keys[1], "BCEGIKM");
    // With a leading '*' every text comes with its starred twin, still within the cap.
    keys = CodeIndex::ExpandKeys("*(A|B)(C|D)(E|F)(G|H)(I|J)(K|L)(M|N)");
    ASSERT_EQ(keys.size(), CodeIndex::kMaxKeyVariants);
    EXPECT_EQ(keys[0], "ACEGIKM");
    EXPECT_EQ(keys[1], "*ACEGIKM");

    CodeIndex index;
    index.AddItem("600001_1", "(A|B)(C|D)(E|F)(G|H)(I|J)(K|L)(M|N)(O|P)(Q|R)(S|T)", "many", 0);
    EXPECT_EQ(index.GetList('A').size() + index.GetList('B').size(), CodeIndex::kMaxKeyVariants);
    EXPECT_EQ(index.GetList('6').size(), 1u);
}

CStockInfo Stock(const char* code, const char* name, const char* shortName) {
    CStockInfo info;
    info.SetStockCode(kMarketUnknown, code);
    info.SetStockName(name);
    info.SetStockShortName(shortName);
    return info;
}

class SearchIndex : public ::testing::Test {
protected:
    void SetUp() override {
        stocks.Add(Stock("1A0001_1", "上证指数", "SZZS"));
        stocks.Add(Stock("1A0001_1", "上证指数", "SZZS"));  // the code list's second copy
        stocks.Add(Stock("600000_1", "浦发银行", "PFYH"));
        stocks.Add(Stock("600898_1", "*ST长重", "*ST(C|Z)(C|Z)"));
        stocks.Add(Stock("000001_0", "平安银行", "PAYH"));
        stocks.Add(Stock("600036_1", "招商银行", "ZSYH"));
        stocks.Add(Stock("000002_0", "万科A", ""));
        stocks.Add(Stock("300001_0", "特锐德", "TRD"));
        stocks.Add(Stock("ABCDE", "too short", "XY"));  // five characters: not filed
    }
    Lines Typed(const CodeIndex& index, const char* typed) {
        index.Lookup(typed, lines);
        Lines out;
        for (const SearchLine& l : lines) out.push_back(l.text);
        return out;
    }
    CStockContainer stocks;
    std::vector<SearchLine> lines;
};

TEST_F(SearchIndex, TypedTextsListCodesInitialsAndTheCompositeIndex) {
    CodeIndex index;
    ASSERT_EQ(index.Build(stocks, false), 1);
    struct Case {
        const char* typed;
        Lines lines;
    } cases[] = {
        {"6", {"600000  浦发银行", "600898  *ST长重", "600036  招商银行"}},
        {"600", {"600000  浦发银行", "600898  *ST长重", "600036  招商银行"}},
        {"60000", {"600000  浦发银行"}},
        {"PF", {"PFYH  浦发银行"}},
        {"PFYHX", {"PFYH  浦发银行"}},
        // One line per matching variant of the initials.
        {"ST", {"STCC  *ST长重", "STZC  *ST长重", "STCZ  *ST长重", "STZZ  *ST长重"}},
        {"STZ", {"STZC  *ST长重", "STZZ  *ST长重"}},
        {"*", {"*STCC  *ST长重", "*STZC  *ST长重", "*STCZ  *ST长重", "*STZZ  *ST长重"}},
        {"*STC", {"*STCC  *ST长重", "*STCZ  *ST长重"}},
        // The composite index stands for 000001 and the zeros leading to it.
        {"0", {"000001  上证指数", "000001  平安银行", "000002  万科A"}},
        {"0000", {"000001  上证指数", "000001  平安银行", "000002  万科A"}},
        {"000001", {"000001  上证指数", "000001  平安银行"}},
        {"0000010", {"000001  上证指数"}},
        {"1A", {"1A0001  上证指数"}},
        {"SZ", {"SZZS  上证指数"}},
        // A stock without a short name is still found by its code.
        {"000002", {"000002  万科A"}},
        {"3", {"300001  特锐德"}},
        {"T", {"TRD  特锐德"}},
        {"  60", {"600000  浦发银行", "600898  *ST长重", "600036  招商银行"}},
        {"   ", {}},
        {"", {}},
        {"X", {}},
        {"Q", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Typed(index, c.typed), c.lines) << "typed \"" << c.typed << "\"";

    index.Lookup("PF", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].value, 2u);
    EXPECT_EQ(index.GetStockCode(lines[0].value), "600000_1");
    EXPECT_EQ(index.GetStockCode(1), "");  // the second copy
    EXPECT_EQ(index.GetStockCode(8), "");  // too short
    EXPECT_EQ(index.GetStockCode(99), "");
    EXPECT_EQ(index.GetStockCode(9 | kSearchIndicatorBit), "");
    EXPECT_EQ(index.GetStockCount(), 9);

    // The stock without a short name stands once, under its code's first character.
    int standing = 0;
    for (int c = 0; c < 256; ++c)
        for (const SearchEntry& e : index.GetList(char(c))) standing += e.value == 6;
    EXPECT_EQ(standing, 1);
}

TEST_F(SearchIndex, IndicatorsByNumberAndShortName) {
    CodeIndex index;
    index.Build(stocks, true);
    const std::string macd = GetTechnicalName(9);
    ASSERT_FALSE(macd.empty());
    index.Lookup("09", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "09  " + macd);
    EXPECT_EQ(lines[0].value, 9u | kSearchIndicatorBit);
    // MA (id 1) is used up before the typed text ends: listed first, in filing order.
    index.Lookup("MACD", lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "MA  " + GetTechnicalName(1));
    EXPECT_EQ(lines[1].text, "MACD  " + macd);
    EXPECT_EQ(lines[1].value, 9u | kSearchIndicatorBit);
    // A short name beginning with a digit is filed under it as well as under the number.
    EXPECT_EQ(Typed(index, "36"), (Lines{"36  " + GetTechnicalName(36), "36BIAS  " + GetTechnicalName(41)}));
    EXPECT_EQ(Typed(index, "41"), (Lines{"41  " + GetTechnicalName(41)}));
    // Stocks come first, in container order, then the indicators 01 to 09.
    Lines zero = Typed(index, "0");
    ASSERT_EQ(zero.size(), 3u + 9u);
    EXPECT_EQ(zero[2], "000002  万科A");
    EXPECT_EQ(zero[3], "01  " + GetTechnicalName(1));
}

TEST(SearchIndexEdges, CompositeWithoutShortNameAndRebuild) {
    CStockContainer stocks;
    stocks.Add(Stock("1A0001_1", "上证指数", ""));
    CodeIndex index;
    index.Build(stocks, false);
    std::vector<SearchLine> lines;
    index.Lookup("0", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "000001  上证指数");
    index.Lookup("1A", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "1A0001  上证指数");

    // Building again replaces what was filed.
    stocks.Clear();
    stocks.Add(Stock("600000_1", "浦发银行", "PFYH"));
    index.Build(stocks, false);
    index.Lookup("1A", lines);
    EXPECT_TRUE(lines.empty());
    index.Lookup("P", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].value, 0u);
}

}  // namespace
