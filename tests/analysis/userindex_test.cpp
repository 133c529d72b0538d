#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "analysis/userindex.h"
#include "base/spfile.h"
#include "store/container.h"
#include "test_files.h"

namespace {

using velmora_test::ReadTestFile;
using velmora_test::WriteTestFile;

// A Shanghai A share with a quote, a few base figures and two minutes 300 s apart.
CStockInfo Stock(const char* code = "600000_1") {
    CStockInfo s;
    s.SetStockCode(kMarketShangHai, code);
    s.SetType(kindShA);
    s.m_dwDate = 20240610;
    s.m_fLastClose = 10;
    s.m_fOpen = 10.2f;
    s.m_fClose = 11;
    s.m_fHigh = 11.5f;
    s.m_fLow = 9.75f;
    s.m_fVolume = 123400;
    s.m_fAmount = 1357400;
    s.m_fBase[65 - 44 - 1] = 2.5f;  // adjusted net assets per share
    s.m_fBase[66 - 44 - 1] = 0.5f;  // earnings per share
    s.m_fBase[67 - 44 - 1] = 0.25f; // earnings per share less one-off items
    MINUTE m;
    std::memset(&m, 0, sizeof m);
    m.time = 1717983000;
    m.price = 10;
    m.volume = 1000;
    s.m_minute.Add(m);
    m.time += 300;
    m.price = 10.5f;
    m.volume = 2000;
    s.m_minute.Add(m);
    return s;
}

CIndex MakeIndex(int id, const std::string& name, const std::string& text) {
    CIndex index;
    index.m_nID = id;
    index.m_strName = name;
    index.SetText(text);
    return index;
}

std::vector<int> Used(const CIndex& index) {
    std::vector<int> ids;
    for (int i = 0; i < index.m_adwUsedColumns.GetSize(); ++i) ids.push_back(int(index.m_adwUsedColumns[i]));
    return ids;
}

class UserIndexTest : public testing::Test {
protected:
    void SetUp() override { GetProfile().SetDefaults(); }
    void TearDown() override { GetProfile().SetDefaults(); }
};

TEST_F(UserIndexTest, ColumnNames) {
    EXPECT_EQ(GetColumnName(6, false), "现价");
    EXPECT_EQ(GetColumnName(11, false), "涨幅%");
    for (int id : {0, 80, 9999, 10000, 10077}) EXPECT_EQ(GetColumnName(id, true), "") << id;
    // Day counts of 0 or less read as their defaults.
    EXPECT_EQ(GetColumnName(11, true), "涨幅%-1日");
    EXPECT_EQ(GetColumnName(38, true), "换手率%-5日");
    EXPECT_EQ(GetColumnName(74, true), "年平均收益率%-720日");
    EXPECT_EQ(GetColumnName(6, true), "现价");
    GetProfile().ColumnDayCounts()[1] = 5;
    GetProfile().ColumnDayCounts()[4] = 0;
    EXPECT_EQ(GetColumnName(11, true), "涨幅%-5日");
    EXPECT_EQ(GetColumnName(39, true), "量比-5日");
    GetProfile().GetIndexContainer().Add(MakeIndex(10003, "强度", "现价"));
    EXPECT_EQ(GetColumnName(10003, false), "强度");

    CSPStringArray names;
    GetColumnNames(names, true);
    ASSERT_EQ(names.GetSize(), 80);
    EXPECT_EQ(names[1], "");  // the code column has no variable
    EXPECT_EQ(names[32], "");
    EXPECT_EQ(names[11], "涨幅%-5日");
    EXPECT_EQ(names[67], "扣除每股收益");
    EXPECT_EQ(names[79], "");
}

// The has-a-value rules, one row per group of ids.
TEST_F(UserIndexTest, HasAValueRulesByGroup) {
    struct Row {
        const char* group;
        int id;
        void (*set)(CStockInfo&);
        int has;
        double value;  // checked when there is a value
    };
    const Row rows[] = {
        {"plain price", 6, [](CStockInfo& s) { s.m_fClose = 12.5f; }, 1, 12.5},
        {"plain price at zero", 6, [](CStockInfo& s) { s.m_fClose = 0; }, 0, 0},
        {"plain price at 0.0001", 6, [](CStockInfo& s) { s.m_fClose = 0.0001f; }, 0, 0},
        {"plain, scaled", 13, [](CStockInfo& s) { s.m_fVolume = 500; }, 1, 5},
        {"plain book level", 22, [](CStockInfo& s) { s.m_fBuyPrice[0] = 9.9f; }, 1, 9.9f},
        {"plain book volume", 29, [](CStockInfo& s) { s.m_fSellVolume[0] = 300; }, 1, 3},
        {"signed figure below 0", 50, [](CStockInfo& s) { s.m_fBase[5] = -3; }, 1, -3},
        {"signed figure near 0", 50, [](CStockInfo& s) { s.m_fBase[5] = 0.00005f; }, 0, 0},
        {"scaled figure", 48, [](CStockInfo& s) { s.m_fBase[3] = 20000; }, 1, 2},
        {"scaled figure judged before scaling", 68, [](CStockInfo& s) { s.m_fBase[23] = 0.5f; }, 1, 0.00005},
        {"always, even 0", 54, [](CStockInfo& s) { s.m_fBase[9] = 0; }, 1, 0},
        {"always, growth", 72, [](CStockInfo& s) { s.m_fBase[27] = -7; }, 1, -7},
        {"marker means none", 74, [](CStockInfo& s) { s.m_fYieldAverage = float(kNotComputed); }, 0, 0},
        {"marker absent", 74, [](CStockInfo& s) { s.m_fYieldAverage = 12.5f; }, 1, 12.5},
        {"routine success", 11, [](CStockInfo&) {}, 1, 10},
        {"routine failure", 11, [](CStockInfo& s) { s.m_fLastClose = 0; }, 0, 0},
        {"routine, scaled on success", 41, [](CStockInfo& s) { s.m_fBase[8] = 1000; }, 1, 1.1},
        {"routine not for an index", 9, [](CStockInfo& s) { s.SetType(kindShIndex); }, 0, 0},
        {"five-minute change", 17, [](CStockInfo&) {}, 1, 5},
        {"no variable", 32, [](CStockInfo&) {}, 0, 0},
        {"no variable", 78, [](CStockInfo&) {}, 0, 0},
    };
    for (const Row& r : rows) {
        CStockInfo s = Stock();
        r.set(s);
        double out = -1;
        EXPECT_EQ(GetIndexValue(r.id, s, &out), r.has) << r.group;
        if (r.has) {
            EXPECT_NEAR(out, r.value, 1e-6 * std::max(1.0, r.value)) << r.group;
        }
    }
    // The value is written before it is judged; a failed routine leaves it alone.
    CStockInfo s = Stock();
    s.m_fClose = 0;
    double out = 1;
    EXPECT_EQ(GetIndexValue(6, s, &out), 0);
    EXPECT_EQ(out, 0);
    out = 1;
    s.SetType(kindShIndex);
    EXPECT_EQ(GetIndexValue(9, s, &out), 0);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(GetIndexValue(6, s, nullptr), 0);
}

TEST_F(UserIndexTest, TitlesInsideLongerTitlesWork) {
    // Columns 17, 65 and 67 hold the titles of 11, 64 and 66 inside them.
    CIndex index = MakeIndex(10000, "三列", "五分钟涨幅% + 调整每股净资产 * 2 - 扣除每股收益 + 涨幅%");
    ASSERT_TRUE(index.PrepareExpression());
    EXPECT_EQ(index.GetWorkingText(), "diffpercent_min5+netasset_ps_regulate*2-eps_deduct+diffpercent");
    EXPECT_EQ(Used(index), (std::vector<int>{17, 65, 67, 11}));
    double value = 0;
    bool missing = true, error = true;
    ASSERT_EQ(index.GetValue(&value, Stock(), &missing, &error), 1);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(error);
    EXPECT_NEAR(value, 5 + 2.5 * 2 - 0.25 + 10, 1e-5);

    // Prefix titles, a title used twice, GBK text that is no title.
    CIndex prefix = MakeIndex(10001, "", "每股收益/每股净资产+每股收益");
    ASSERT_TRUE(prefix.PrepareExpression());
    EXPECT_EQ(prefix.GetWorkingText(), "eps/netasset_ps+eps");
    EXPECT_EQ(Used(prefix), (std::vector<int>{66, 64}));
    CIndex unknown = MakeIndex(10002, "", "现价+某某");
    ASSERT_TRUE(unknown.PrepareExpression());
    EXPECT_EQ(unknown.GetWorkingText(), "close+某某");
    EXPECT_EQ(unknown.GetValue(&value, Stock(), &missing, &error), 0);
    EXPECT_TRUE(error);
    EXPECT_EQ(unknown.GetParser().GetErrorCode(), CExpressParser::errOperand);
}

TEST_F(UserIndexTest, RatioOfColumnsAndMissingColumns) {
    CIndex ratio = MakeIndex(10000, "比", "(现价-昨收)/昨收*100");
    // Valid although an empty stock would divide by zero.
    int code = -1;
    EXPECT_TRUE(ratio.IsValidExpression(&code));
    EXPECT_EQ(code, 0);
    double value = 0;
    ASSERT_EQ(ratio.GetValue(&value, Stock()), 1);
    EXPECT_NEAR(value, 10, 1e-5);

    // A column without a value: the variable enters as written (0), and there is no value.
    CStockInfo noQuote = Stock();
    noQuote.m_fClose = 0;
    bool missing = false, error = true;
    EXPECT_EQ(ratio.GetValue(&value, noQuote, &missing, &error), 0);
    EXPECT_TRUE(missing);
    EXPECT_FALSE(error);
    // A missing divisor makes the division fail as well.
    CStockInfo noLast = Stock();
    noLast.m_fLastClose = 0;
    EXPECT_EQ(ratio.GetValue(&value, noLast, &missing, &error), 0);
    EXPECT_TRUE(missing);
    EXPECT_TRUE(error);

    // Syntax errors make an expression invalid; value-dependent ones do not.
    const struct {
        const char* text;
        bool valid;
        int code;
    } checks[] = {
        {"现价/(昨收-昨收)", true, CExpressParser::errMath},
        {"现价*", false, CExpressParser::errOperand},
        {"现价(2)", false, CExpressParser::errOperator},
        {"ABS(现价", false, CExpressParser::errCloseParen},
        {" : \t ", false, CExpressParser::errOperand},
    };
    for (const auto& c : checks) {
        CIndex i = MakeIndex(10001, "", c.text);
        EXPECT_EQ(i.IsValidExpression(&code), c.valid) << c.text;
        EXPECT_EQ(code, c.code) << c.text;
    }
    // Blanks and colons only prepare to nothing: no value and an error.
    CIndex blank = MakeIndex(10002, "", " :: ");
    EXPECT_FALSE(blank.PrepareExpression());
    EXPECT_EQ(blank.GetValue(&value, Stock(), &missing, &error), 0);
    EXPECT_FALSE(missing);
    EXPECT_TRUE(error);
}

TEST_F(UserIndexTest, UserColumnsThroughTheProfileAndTheCache) {
    GetProfile().GetIndexContainer().Add(MakeIndex(10005, "量价", "成交额(千元)/成交量(手)"));
    CStockContainer container;
    CStockInfo s = Stock();
    container.Add(s);
    double value = 0;
    ASSERT_EQ(GetIndexValue(10005, s, &value, &container), 1);
    EXPECT_NEAR(value, 1357.4 / 1234, 1e-6);
    // The cache answers for the stock and id from now on.
    s.m_fAmount = 0;
    value = 0;
    EXPECT_EQ(GetIndexValue(10005, s, &value, &container), 1);
    EXPECT_NEAR(value, 1357.4 / 1234, 1e-6);
    // Without the cache the stock is evaluated again: the amount is missing now.
    EXPECT_EQ(GetIndexValue(10005, s, &value, nullptr), 0);
    // A missing result is cached as missing.
    container.ClearIndexValueCache();
    EXPECT_EQ(GetIndexValue(10005, s, &value, &container), 0);
    s.m_fAmount = 1357400;
    EXPECT_EQ(GetIndexValue(10005, s, &value, &container), 0);
    // An id without an index has no value.
    EXPECT_EQ(GetIndexValue(10006, s, &value, nullptr), 0);
    EXPECT_EQ(GetProfile().GetIndexContainer().GetIndexById(10006).m_strName, "");
}

class IndexFile : public testing::Test {
protected:
    std::string path = testing::TempDir() + "velmora_userindex.bin";
    void TearDown() override { std::remove(path.c_str()); }
    std::string Store(CIndexContainer& c) {
        {
            CSPFile f;
            EXPECT_EQ(f.Open(path.c_str(), CSPFile::modeCreate | CSPFile::modeWrite), 1);
            CSPArchive ar(&f, CSPArchive::store);
            EXPECT_TRUE(c.Serialize(ar));
            ar.Close();
        }
        return ReadTestFile(path);
    }
    bool Load(CIndexContainer& c, const std::string& bytes) {
        WriteTestFile(path, bytes);
        CSPFile f;
        EXPECT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load);
        return c.Serialize(ar);
    }
};

TEST_F(IndexFile, LayoutRoundTripAndBadCounts) {
    CIndexContainer c;
    CIndex a = MakeIndex(10000, "AB", "x+1");
    a.SetStoredValue(7);
    a.m_strText1 = "t";
    c.Add(a);
    c.Add(MakeIndex(10001, "", ""));
    const std::string bytes = Store(c);
    const std::string expected = std::string("\x02\0\0\0", 4) + "\x03x+1" + std::string("\x07\0\0\0", 4) +
                                 std::string("\x10\x27\0\0", 4) + "\x02" "AB" "\x01t" + std::string("\0", 1) +
                                 std::string("\0", 1) + std::string("\0\0\0\0", 4) +
                                 std::string("\x11\x27\0\0", 4) + std::string("\0\0\0", 3);
    EXPECT_TRUE(bytes == expected);

    CIndexContainer back;
    ASSERT_TRUE(Load(back, bytes));
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[0].GetStoredText(), "x+1");
    EXPECT_EQ(back[0].GetStoredValue(), 7);
    EXPECT_EQ(back[0].m_nID, 10000);
    EXPECT_EQ(back[0].m_strName, "AB");
    EXPECT_EQ(back[0].m_strText1, "t");
    EXPECT_TRUE(back[0].IsChanged());  // loading marks it for preparing
    EXPECT_EQ(&back.GetIndexById(10001), &back[1]);
    EXPECT_EQ(back.GetIndexById(4).m_nID, -1);

    // A count beyond the file, a negative one and a cut list leave the container as it was.
    for (const std::string& bad : {std::string("\xff\xff\xff\x7f", 4) + bytes.substr(4), std::string("\xff\xff\xff\xff", 4) + bytes.substr(4),
                                   bytes.substr(0, bytes.size() - 1)}) {
        EXPECT_FALSE(Load(back, bad));
        EXPECT_EQ(back.GetSize(), 2);
    }
}

}  // namespace
