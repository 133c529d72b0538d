#include <gtest/gtest.h>

#include <string>

#include "store/stockcode.h"

TEST(StockCode, MakeAndSplit) {
    EXPECT_STREQ(MarketSuffix(true), "_1");
    EXPECT_STREQ(MarketSuffix(false), "_0");
    struct Case {
        const char* plain;
        bool shanghai;
        const char* code;
    } cases[] = {
        {"600000", true, "600000_1"},
        {"000001", false, "000001_0"},
        {"1A0001", true, "1A0001_1"},
        {"a", false, "a_0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeStockCode(c.plain, c.shanghai), c.code);
        std::string plain;
        int market = -1;
        EXPECT_TRUE(SplitStockCode(c.code, &plain, &market)) << c.code;
        EXPECT_EQ(plain, c.plain);
        EXPECT_EQ(market, c.shanghai ? 1 : 0);
        EXPECT_TRUE(IsStockCode(c.code)) << c.code;
    }
}

TEST(StockCode, BadCodesAreRefusedAndLeaveTheOutputs) {
    const char* const bad[] = {
        "",        "_1",       "6_2",      "600000",   "600000_",  "600000-1", "600000_10", "6000_00",
        "60 00_1", "..\\x_1",  "a/b_0",    "600000_a", "x.y_1",    "12345678901234567_1",
    };
    for (const char* code : bad) {
        std::string plain = "kept";
        int market = 7;
        EXPECT_FALSE(SplitStockCode(code, &plain, &market)) << code;
        EXPECT_EQ(plain, "kept") << code;
        EXPECT_EQ(market, 7) << code;
        EXPECT_FALSE(IsStockCode(code)) << code;
    }
    // Sixteen characters is the longest plain code.
    EXPECT_TRUE(IsStockCode("1234567890123456_0"));
}

TEST(StockCode, PathOfEveryFileKind) {
    EXPECT_STREQ(kDataFolderName, "hqdata");
    EXPECT_EQ(DataTreePath(), "hqdata\\");
    EXPECT_EQ(DataFolderPath(true), "hqdata\\sh\\");
    EXPECT_EQ(DataFolderPath(false, "wek"), "hqdata\\sz\\wek\\");
    struct Case {
        DataFileKind kind;
        bool shanghai;
        const char* code;
        const char* path;
    } cases[] = {
        {dataFileDay, true, "600000_1", "hqdata\\sh\\day\\SH600000_1.day"},
        {dataFileDay, false, "000001_0", "hqdata\\sz\\day\\SZ000001_0.day"},
        {dataFileWeek, true, "600000_1", "hqdata\\sh\\day\\SH600000_1.wek"},
        {dataFileMonth, false, "000001_0", "hqdata\\sz\\day\\SZ000001_0.mnt"},
        {dataFileMinute, true, "1A0001_1", "hqdata\\sh\\min\\1A0001_1.min"},
        {dataFileExRights, false, "000001_0", "hqdata\\sz\\xdr\\000001_0.dat"},
        {dataFileBaseText, true, "600000_1", "hqdata\\sh\\bas\\600000_1.txt"},
        {dataFileSignal, false, "000001_0", "hqdata\\sz\\signal\\000001_0.sgn"},
        {dataFileShortTicks, true, "600000_1", "hqdata\\sh\\fenbi\\600000_1.fbs"},
        {dataFileLongTicks, false, "000001_0", "hqdata\\sz\\fenbi\\000001_0.fbl"},
        // The folder is the market given, whatever the code's suffix says.
        {dataFileMinute, false, "600000_1", "hqdata\\sz\\min\\600000_1.min"},
        {dataFileQuotes, true, "", "hqdata\\shse.rpt"},
        {dataFileQuotes, false, "", "hqdata\\szse.rpt"},
        {dataFileOutline, false, "600000_1", "hqdata\\clkoutln.out"},
        {dataFileCodeList, true, "", "hqdata\\codelist.dat"},
        {dataFileCodeText, true, "", "hqdata\\codelist.txt"},
        {dataFileCodeState, true, "", "hqdata\\codestate.dat"},
        {dataFileWatchList, true, "", "hqdata\\usrstock.dat"},
        {dataFileGroups, true, "", "hqdata\\group"},
        {DataFileKind(-1), true, "600000_1", ""},
        {DataFileKind(dataFileGroups + 1), true, "600000_1", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DataFilePath(c.kind, c.shanghai, c.code), c.path) << int(c.kind) << " " << c.code;
    // The files of the whole tree need neither market nor code.
    EXPECT_EQ(DataFilePath(dataFileWatchList), "hqdata\\usrstock.dat");
}
