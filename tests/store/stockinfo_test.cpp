#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/timestamp.h"
#include "store/stockinfo.h"

namespace {

struct ResolveCase {
    const char* code;
    DWORD market;
    int kind;
};

class Resolve : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(Resolve, CodeRangesGiveMarketAndKind) {
    const ResolveCase& c = GetParam();
    CStockInfo s;
    s.SetStockCode(kMarketUnknown, c.code);
    EXPECT_EQ(s.GetMarket(), c.market) << c.code;
    EXPECT_EQ(s.GetType(), c.kind) << c.code;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Resolve,
    ::testing::Values(
        ResolveCase{"000001_0", kMarketShenZhen, 33}, ResolveCase{"000999", kMarketShenZhen, 33},
        ResolveCase{"000999_0", kMarketUnknown, 0},  // the suffix lies above the bound
        ResolveCase{"002001", kMarketShenZhen, 39}, ResolveCase{"002999", kMarketShenZhen, 39},
        ResolveCase{"200001", kMarketShenZhen, 34}, ResolveCase{"200999", kMarketShenZhen, 34},
        ResolveCase{"600000_1", kMarketShangHai, 17}, ResolveCase{"500001", kMarketShangHai, 17},
        ResolveCase{"900901", kMarketShangHai, 18}, ResolveCase{"001001", kMarketShenZhen, 35},
        ResolveCase{"001199", kMarketShenZhen, 35}, ResolveCase{"001200", kMarketShenZhen, 35},
        ResolveCase{"001899", kMarketShenZhen, 35}, ResolveCase{"001900", kMarketShenZhen, 35},
        ResolveCase{"001999", kMarketShenZhen, 35}, ResolveCase{"030001", kMarketShenZhen, 36},
        ResolveCase{"038999", kMarketShenZhen, 36}, ResolveCase{"003001", kMarketShenZhen, 38},
        ResolveCase{"009999", kMarketShenZhen, 38}, ResolveCase{"005001", kMarketShenZhen, 35},
        ResolveCase{"006999", kMarketShenZhen, 35}, ResolveCase{"004601", kMarketShenZhen, 33},
        ResolveCase{"004699", kMarketShenZhen, 33}, ResolveCase{"004600", kMarketUnknown, 0},
        ResolveCase{"008001", kMarketShenZhen, 38}, ResolveCase{"001000", kMarketShangHai, 19},
        ResolveCase{"110001", kMarketShangHai, 19}, ResolveCase{"120001", kMarketShangHai, 19},
        ResolveCase{"310001", kMarketShangHai, 19}, ResolveCase{"580001", kMarketShangHai, 20},
        ResolveCase{"710001", kMarketShangHai, 22}, ResolveCase{"711001", kMarketShangHai, 22},
        ResolveCase{"730001", kMarketShangHai, 22}, ResolveCase{"737001", kMarketShangHai, 22},
        ResolveCase{"201001", kMarketShangHai, 19}, ResolveCase{"129001", kMarketShangHai, 19},
        ResolveCase{"100001", kMarketShangHai, 19}, ResolveCase{"700001", kMarketShangHai, 22},
        ResolveCase{"701001", kMarketShangHai, 22}, ResolveCase{"720001", kMarketShangHai, 21},
        ResolveCase{"735001", kMarketShangHai, 22}, ResolveCase{"999999", kMarketUnknown, 0},
        ResolveCase{"030000", kMarketUnknown, 0}, ResolveCase{"200000", kMarketUnknown, 0}));

bool FakeList(const char* code, DWORD* market, int* kind) {
    if (std::strcmp(code, "600000_1") == 0) {
        *market = kMarketShangHai;
        *kind = 16;
        return true;
    }
    if (std::strcmp(code, "000002_0") == 0) {  // known, but without a kind
        *market = kMarketShenZhen;
        *kind = 0;
        return true;
    }
    return false;
}

TEST(StockIdentity, ListFirstAndKnownKindsKept) {
    SetStockLookup(FakeList);
    CStockInfo s;
    s.SetStockCode(kMarketUnknown, "600000_1");
    EXPECT_EQ(s.GetType(), 16) << "the stock list wins over the table";
    s.SetStockCode(kMarketUnknown, "000002_0");
    EXPECT_EQ(s.GetType(), 33) << "a list entry without a kind falls back to the table";
    SetStockLookup(nullptr);

    CStockInfo b;
    b.SetStockCode(kMarketUnknown, "x");
    b.SetType(18);
    EXPECT_EQ(b.GetMarket(), kMarketShangHai);
    b.SetStockCode(kMarketUnknown, "600000_1");
    b.SetType(18);
    b.ResolveMarketAndKind();
    EXPECT_EQ(b.GetType(), 18) << "a kind already set is kept";
    b.SetStockCode(kMarketUnknown, "");
    EXPECT_EQ(b.GetMarket(), kMarketUnknown);
    EXPECT_EQ(b.GetType(), 0);
}

TEST(StockIdentity, EqualityAndCodeChanges) {
    CStockInfo s;
    EXPECT_TRUE(s.SetStockCode(kMarketShangHai, "600000_1"));
    s.SetStockName("浦发银行");
    EXPECT_TRUE(s.IsEqualTo(kMarketShangHai, "600000_1"));
    EXPECT_TRUE(s.IsEqualTo(kMarketUnknown, "600000_1"));
    EXPECT_TRUE(s.IsEqualTo(0, "600000_1"));
    EXPECT_TRUE(s.IsEqualTo(kMarketChina, "600000_1"));
    EXPECT_FALSE(s.IsEqualTo(kMarketShenZhen, "600000_1"));
    EXPECT_FALSE(s.IsEqualTo(kMarketShangHai, "600001_1"));
    EXPECT_STREQ(s.GetPlainCode(), "600000");

    // The same stock keeps what it holds; another one starts empty.
    s.m_fClose = 12;
    EXPECT_TRUE(s.SetStockCode(kMarketChina, "600000_1"));
    EXPECT_EQ(s.GetMarket(), kMarketChina);
    EXPECT_EQ(s.m_fClose, 12.f);
    EXPECT_FALSE(s.SetStockCode(kMarketShangHai, "60000"));
    EXPECT_EQ(s.m_fClose, 0.f);
    EXPECT_STREQ(s.GetStockName(), "");
    s.SetStockCode(kMarketUnknown, "1234567890123456789");
    EXPECT_EQ(std::strlen(s.GetStockCode()), 15u);
    EXPECT_TRUE(s.IsShangHai() == false && s.IsShenZhen() == false);
}

TEST(StockIdentity, NamesAreCutOnCharacterBoundaries) {
    CStockInfo s;
    s.SetStockName("abc中文中文中文中文");  // 3 + 16 bytes: the 15-byte cut falls inside a character
    EXPECT_EQ(std::string(s.GetStockName()), "abc中文中文中文");
    s.SetStockName("中文中文中文中文中文");
    EXPECT_EQ(std::strlen(s.GetStockName()), 14u);
    s.SetStockShortName("abcdefghijklmnopqrstuvwxyz01234中");
    EXPECT_EQ(std::string(s.GetStockShortName()), "abcdefghijklmnopqrstuvwxyz01234");
}

TEST(StockIdentity, ClearDefaultsAndCopies) {
    CStockInfo s;
    EXPECT_EQ(s.GetMarket(), kMarketUnknown);
    EXPECT_FLOAT_EQ(s.m_fRate1, 8.27f);
    EXPECT_FLOAT_EQ(s.m_fRate2, 1.06f);
    EXPECT_EQ(double(s.m_fBeta), kNotComputed);
    EXPECT_EQ(s.m_kdata.GetKType(), ktypeDay);
    double v = -1;
    EXPECT_FALSE(s.GetSharpeIndex(&v)) << "statistics never loaded";

    s.SetStockCode(kMarketShangHai, "600000_1");
    KDATA b;
    std::memset(&b, 0, sizeof b);
    b.date = 20101228;
    b.close = 10;
    s.m_kdata.Add(b);
    CStockInfo t;
    t = s;
    t = t;
    EXPECT_STREQ(t.GetStockCode(), "600000_1");
    ASSERT_EQ(t.m_kdata.GetSize(), 1);
    t.m_kdata[0].close = 99;
    EXPECT_EQ(s.m_kdata[0].close, 10.f);
}

int32_t Time(int y, int mo, int d, int h, int mi) { return CTimeStamp(y, mo, d, h, mi, 0).GetTime(); }

REPORT Quote(int32_t time, float close) {
    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.market = kMarketShangHai;
    std::memcpy(q.code, "600000_1", 8);
    std::memcpy(q.name, "浦发银行测试名称", 16);  // filled to the end, no NUL
    q.time = time;
    q.open = q.high = q.low = q.close = close;
    q.volume = 100;
    q.buyVolume[0] = 5;
    return q;
}

TEST(StockSnapshot, QuotesUpdateTheDaySeriesInOrder) {
    CStockInfo s;
    REPORT q = Quote(Time(2010, 12, 28, 10, 0), 10);
    q.prevClose = 9.5f;
    ASSERT_TRUE(UpdateStockInfoByReport(&s, &q));
    EXPECT_STREQ(s.GetStockCode(), "600000_1");
    EXPECT_EQ(s.GetType(), 17);
    EXPECT_EQ(std::strlen(s.GetStockName()), 14u);
    EXPECT_EQ(s.m_fLastClose, 9.5f);
    EXPECT_EQ(s.m_fBuyVolume[0], 5.f);
    EXPECT_EQ(s.m_dwDate, 20101228u);
    ASSERT_EQ(s.m_kdata.GetSize(), 1);

    q = Quote(Time(2010, 12, 28, 14, 0), 11);  // same day: replaces; no previous close: kept
    UpdateStockInfoByReport(&s, &q);
    ASSERT_EQ(s.m_kdata.GetSize(), 1);
    EXPECT_EQ(s.m_kdata[0].close, 11.f);
    EXPECT_EQ(s.m_fLastClose, 9.5f);

    q = Quote(Time(2010, 12, 29, 10, 0), 12);
    UpdateStockInfoByReport(&s, &q);
    ASSERT_EQ(s.m_kdata.GetSize(), 2);

    q = Quote(Time(2010, 12, 27, 10, 0), 8);  // a stale quote never breaks the date order
    UpdateStockInfoByReport(&s, &q);
    ASSERT_EQ(s.m_kdata.GetSize(), 2);
    EXPECT_EQ(s.m_kdata[0].date, 20101228u);
    EXPECT_EQ(s.m_kdata[1].date, 20101229u);
    EXPECT_EQ(s.GetLatestReport().close, 8.f);

    REPORT sz = Quote(Time(2010, 12, 28, 10, 0), 10);
    sz.market = kMarketShenZhen;
    std::memcpy(sz.code, "123456\0\0\0", 10);
    CStockInfo t;
    UpdateStockInfoByReport(&t, &sz);
    EXPECT_EQ(t.GetType(), 33);
    EXPECT_FALSE(UpdateStockInfoByReport(&t, nullptr));

    EXPECT_TRUE(s.SetQuoteFromBar(20101229));
    EXPECT_EQ(s.m_fClose, 12.f);
    EXPECT_EQ(s.m_fLastClose, 11.f);
    EXPECT_TRUE(s.SetQuoteFromBar(-1));
    EXPECT_TRUE(s.SetQuoteFromBar(20101228));
    EXPECT_EQ(s.m_fLastClose, 11.f) << "the first bar uses its own open";
    EXPECT_FALSE(s.SetQuoteFromBar(20101230));
    EXPECT_EQ(s.m_fClose, 0.f);
}

TEST(StockFigures, DerivedFromQuoteAndBaseFigures) {
    CStockInfo s;
    s.SetStockCode(kMarketShangHai, "600000_1");
    BASEDATA r;
    std::memset(&r, 0, sizeof r);
    r.reportDate = 20100630;
    r.reportKind = 2;
    r.figures[baseEarningsPerShare - 1] = 0.25f;
    r.figures[baseTotalShares - 1] = 1000;
    r.figures[baseSharesA - 1] = 400;
    r.figures[baseMainIncome - 1] = 500;
    r.figures[baseNetAssetPerShare - 1] = 4;
    r.yieldAverage = 13;
    r.yieldDeviation = 20;
    BASEDATA older = r;
    older.reportDate = 20091231;
    older.reportKind = 4;
    s.m_basedata.Add(older);
    s.m_basedata.Add(r);
    EXPECT_FALSE(CStockInfo().SetBaseFromRecords(20101231));
    ASSERT_TRUE(s.SetBaseFromRecords(20101231));
    EXPECT_EQ(s.m_nReportKind, 2);
    ASSERT_TRUE(s.SetBaseFromRecords(20100101));
    EXPECT_EQ(s.m_nReportKind, 4) << "the latest report not after the date";
    s.SetBaseFromRecords(20101231);

    s.m_fClose = 10;
    double v = 0;
    ASSERT_TRUE(s.GetPE(&v));
    EXPECT_DOUBLE_EQ(v, 20);
    ASSERT_TRUE(s.GetPMainIncome(&v));
    EXPECT_DOUBLE_EQ(v, 10.0 * 1000 / (2 * 500));
    EXPECT_FALSE(s.GetPNetCash(&v)) << "no net cash figure";
    ASSERT_TRUE(s.GetPNetAsset(&v));
    EXPECT_DOUBLE_EQ(v, 2.5);
    ASSERT_TRUE(s.GetRatioCurrency(&v));
    EXPECT_DOUBLE_EQ(v, 40);
    ASSERT_TRUE(s.GetRatioChangeHand(&v, 20));
    EXPECT_DOUBLE_EQ(v, 5);
    ASSERT_TRUE(s.GetMarketValue(&v));
    EXPECT_DOUBLE_EQ(v, 10000);
    ASSERT_TRUE(s.GetMarketValueA(&v));
    EXPECT_FALSE(s.GetMarketValueB(&v));
    ASSERT_TRUE(s.GetSharpeIndex(&v));
    EXPECT_DOUBLE_EQ(v, 50);

    s.m_fBuyVolume[0] = 100.7f;
    s.m_fSellVolume[0] = 50.2f;
    double diff = 0;
    ASSERT_TRUE(s.GetSellBuyRatio(&v, &diff));
    EXPECT_NEAR(v, 100.0 / 3, 1e-9);
    EXPECT_EQ(diff, 50);

    s.m_fLastClose = 8;
    s.m_fHigh = 10.5f;
    s.m_fLow = 9;
    s.m_dwDate = 20101228;
    ASSERT_TRUE(s.GetDiffPercent(&v, 20101228, 1));
    EXPECT_DOUBLE_EQ(v, 25);
    ASSERT_TRUE(s.GetScope(&v, 20101228, 1));
    EXPECT_DOUBLE_EQ(v, 1.5 * 100 / 8);
    ASSERT_TRUE(s.GetDiff(&v, 20101228, 1));
    EXPECT_DOUBLE_EQ(v, 2);

    s.m_fVolume = 10;
    s.m_fAmount = 98;
    s.m_fOpen = 9.5f;
    ASSERT_TRUE(s.GetAveragePrice(&v));
    EXPECT_NEAR(v, 9.8, 1e-6);

    s.SetType(kindShIndex);
    EXPECT_FALSE(s.GetAveragePrice(&v));
    EXPECT_FALSE(s.GetPE(&v));
    EXPECT_FALSE(s.GetShareCurrency(&v));
}

// The last quote and the base figures' texts: all zero until written, copied whole and apart,
// gone with a clear, and a copy from a stock without them drops the target's.
TEST(StockSnapshot, LastQuoteAndBaseTextsCopyAndClear) {
    CStockInfo s;
    EXPECT_EQ(s.GetLatestReport().close, 0.f);
    EXPECT_EQ(s.GetLatestReport().code[0], 0);
    EXPECT_STREQ(s.GetTextField(), "");
    EXPECT_STREQ(s.GetBaseText1(), "");

    BASEDATA r;
    std::memset(&r, 0, sizeof r);
    r.reportDate = 20100630;
    std::memset(r.text1, 'a', sizeof r.text1);  // filled to the end: cut to 31 characters
    std::memcpy(r.text2, "second", 6);
    s.m_basedata.Add(r);
    ASSERT_TRUE(s.SetBaseFromRecords(20101231));
    EXPECT_EQ(std::string(s.GetBaseText1()), std::string(31, 'a'));
    EXPECT_STREQ(s.GetBaseText2(), "second");
    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.close = 7;
    s.SetLatestReport(q);

    CStockInfo t;
    t = s;
    q.close = 9;
    t.SetLatestReport(q);
    EXPECT_EQ(s.GetLatestReport().close, 7.f) << "the copy has its own";
    EXPECT_EQ(t.GetLatestReport().close, 9.f);
    EXPECT_STREQ(t.GetBaseText2(), "second");
    CStockInfo copied(t);
    EXPECT_EQ(copied.GetLatestReport().close, 9.f);

    // Records without texts leave none, and clear the ones a stock had.
    CStockInfo bare;
    std::memset(r.text1, 0, sizeof r.text1);
    std::memset(r.text2, 0, sizeof r.text2);
    bare.m_basedata.Add(r);
    ASSERT_TRUE(bare.SetBaseFromRecords(20101231));
    EXPECT_STREQ(bare.GetBaseText1(), "");
    t.m_basedata.RemoveAll();
    t.m_basedata.Add(r);
    ASSERT_TRUE(t.SetBaseFromRecords(20101231));
    EXPECT_STREQ(t.GetBaseText1(), "");
    EXPECT_STREQ(t.GetBaseText2(), "");
    EXPECT_EQ(t.GetLatestReport().close, 9.f);

    t = bare;
    EXPECT_EQ(t.GetLatestReport().close, 0.f);
    s.Clear();
    EXPECT_EQ(s.GetLatestReport().close, 0.f);
    EXPECT_STREQ(s.GetBaseText2(), "");
}

TEST(StockFigures, PriceDecimals) {
    CStockInfo s;
    s.SetStockCode(kMarketShangHai, "600000_1");
    EXPECT_EQ(s.GetPriceDecimals(), 2);
    s.SetStockName("基金金泰");
    EXPECT_EQ(s.GetPriceDecimals(), 3);
    s.SetStockName("浦发银行");
    for (int kind : {18, 20, 36}) {
        s.SetType(kind);
        EXPECT_EQ(s.GetPriceDecimals(), 3) << kind;
    }
}

}  // namespace

namespace {

TEST(StockArray, StocksCopyDeeplyThroughTheObjectArray) {
    CSPArray<CStockInfo> stocks;
    CStockInfo s;
    s.SetStockCode(kMarketShangHai, "600000_1");
    KDATA b;
    std::memset(&b, 0, sizeof b);
    b.date = 20101228;
    s.m_kdata.Add(b);
    for (int i = 0; i < 20; ++i) stocks.Add(s);  // grows several times, moving the stocks
    stocks.InsertAt(3, stocks[0], 2);
    stocks.RemoveAt(0, 5);
    ASSERT_EQ(stocks.GetSize(), 17);
    stocks[0].m_kdata[0].date = 1;
    EXPECT_EQ(stocks[1].m_kdata[0].date, 20101228u);
    EXPECT_STREQ(stocks[16].GetStockCode(), "600000_1");
    CSPArray<CStockInfo> copy(stocks);
    stocks.RemoveAll();
    EXPECT_EQ(copy[5].m_kdata.GetSize(), 1);
}

}  // namespace
