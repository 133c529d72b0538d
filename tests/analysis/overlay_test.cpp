// The index overlay loads both process-wide index stocks from the store.
#include <gtest/gtest.h>

#include "analysis/techs.h"
#include "store/database.h"
#include "store/stock.h"
#include "store_files.h"

namespace {

using store_test::DayFile;
using store_test::TempRoot;
using store_test::WriteBytes;

TEST(IndexOverlay, LoadsBothIndexesAndReloadsWhenTheStockChanges) {
    TempRoot root;
    WriteBytes(root.Path("hqdata\\sh\\day\\SH1A0001_1.day"), DayFile(4, 3000));
    WriteBytes(root.Path("hqdata\\sz\\day\\SZ399001_0.day"), DayFile(6, 10000));

    CDJ dj;
    EXPECT_EQ(dj.SetOverlayCode(&root.Db(), "600000_1", ktypeDay, exrightNone, 0), 1);
    EXPECT_STREQ(GetIndexStock().GetStockCode(), "1A0001_1");
    EXPECT_STREQ(GetShenzhenIndexStock().GetStockCode(), "399001_0");
    ASSERT_EQ(GetIndexStock().GetKDataDay().GetSize(), 4);
    ASSERT_EQ(GetShenzhenIndexStock().GetKDataDay().GetSize(), 6);
    EXPECT_FLOAT_EQ(float(GetShenzhenIndexStock().GetKDataDay().GetData()[5].close), 10005.0f);

    // The same stock again keeps what is loaded; another stock reloads the files.
    WriteBytes(root.Path("hqdata\\sz\\day\\SZ399001_0.day"), DayFile(7, 10000));
    EXPECT_EQ(dj.SetOverlayCode(&root.Db(), "600000_1", ktypeDay, exrightNone, 0), 1);
    EXPECT_EQ(GetShenzhenIndexStock().GetKDataDay().GetSize(), 6);
    EXPECT_EQ(dj.SetOverlayCode(&root.Db(), "000001_0", ktypeDay, exrightNone, 0), 1);
    EXPECT_EQ(GetShenzhenIndexStock().GetKDataDay().GetSize(), 7);
}

}  // namespace
