// Ranking files read from their bytes, and the dialog's list filled from them (on the list's
// own model, so that sorting and numbering are the list's).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/rankings.h"
#include "skin/listmodel.h"

namespace {

const RankingFile& FileOf(int id) { return *FindRankingKind(id)->file; }

// One record of the file's layout; texts are copied into their fields as given (no terminator
// added when they fill the field).
std::string Record(const RankingFile& file, const char* market, const std::string& code, const std::string& name,
                   int days, std::vector<float> values, int direction) {
    std::string r(file.recordSize, '\0');
    std::memcpy(&r[0], market, 2);
    std::memcpy(&r[2], code.data(), std::min<size_t>(code.size(), 10));
    std::memcpy(&r[12], name.data(), std::min<size_t>(name.size(), 32));
    size_t at = 44;
    if (std::string(file.name) == "continue.dat") {
        r[at] = static_cast<char>(days & 0xFF);
        r[at + 1] = static_cast<char>(days >> 8);
        at += 2;
    }
    for (float v : values) {
        std::memcpy(&r[at], &v, 4);  // the test machines are little-endian, as the files are
        at += 4;
    }
    int16_t d = static_cast<int16_t>(direction);
    std::memcpy(&r[file.recordSize - 2], &d, 2);
    return r;
}

// The body in a heap block of exactly its size: a read past the end is caught by the sanitizers.
RankingBodyResult Read(const RankingFile& file, const std::string& body, std::vector<RankingRecord>* out) {
    std::unique_ptr<char[]> exact(new char[body.size() ? body.size() : 1]);
    std::memcpy(exact.get(), body.data(), body.size());
    return ReadRankingBody(file, exact.get(), body.size(), out);
}

TEST(RankingFiles, EachLayoutReadsItsFieldsAndDirection) {
    struct Case {
        int id;
        int size;
        std::vector<float> values;
    } cases[] = {
        {4045, 56, {123456.0f, 4.5f}}, {4047, 58, {12.34f, 5000.0f, -3.25f}}, {4049, 50, {88.8f}},
        {4051, 54, {9.9f, 77777.0f}},  {4053, 54, {9.9f, 1.5e9f}},            {4055, 54, {2.75f, 13.1f}},
    };
    for (const Case& c : cases) {
        const RankingFile& f = FileOf(c.id);
        ASSERT_EQ(f.recordSize, c.size) << c.id;
        EXPECT_EQ(FileOf(c.id + 1).name, f.name);  // both lists of a pair share one file
        std::string body = Record(f, "SZ", "000001", "平安银行", 7, c.values, -1) +
                           Record(f, "SH", "600000", "浦发银行", 3, c.values, 1);
        std::vector<RankingRecord> out;
        RankingBodyResult r = Read(f, body, &out);
        ASSERT_EQ(r.status, RankingBodyStatus::kGood) << c.id;
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[0].market, "SZ");
        EXPECT_EQ(out[0].code, "000001");
        EXPECT_EQ(out[0].name, "平安银行");
        EXPECT_EQ(out[0].direction, -1);
        EXPECT_EQ(out[1].direction, 1);
        EXPECT_EQ(out[0].days, c.id == 4045 ? 7 : 0);
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(out[0].values[i], c.values[i]) << c.id << " " << i;
    }
}

TEST(RankingFiles, BadBodiesAreToldApartAndNothingIsReadPastThem) {
    const RankingFile& f = FileOf(4047);
    std::string good = Record(f, "SH", "600000", "浦发银行", 0, {10.5f, 100.0f, 2.0f}, 1);
    // Fields that fill their whole width, with no terminator: read to the field's end only.
    std::string full = Record(f, "SZ", "0123456789", std::string(16, '\xB9') + std::string(16, '\xC9'), 0,
                              {1, 2, 3}, -1);
    float nan = std::numeric_limits<float>::quiet_NaN();
    std::string lines = "<html><body>\r\nError 1040: Too many connections\r\n</body></html>\r\n";
    lines += lines;
    struct Case {
        const char* what;
        std::string body;
        RankingBodyStatus status;
        size_t records;
        size_t dropped;
        size_t bad;
    } cases[] = {
        {"empty body", "", RankingBodyStatus::kEmpty, 0, 0, 0},
        {"two whole records", good + full, RankingBodyStatus::kGood, 2, 0, 0},
        {"trailing piece dropped", good + full + full.substr(0, 51), RankingBodyStatus::kPartial, 2, 51, 0},
        {"only a piece", good.substr(0, 57), RankingBodyStatus::kPartial, 0, 57, 0},
        {"text lines", lines, RankingBodyStatus::kBad, 0, 0, 0},
        {"good then text", good + lines, RankingBodyStatus::kBad, 0, 0, 1},
        {"unknown market", good + Record(f, "HK", "00700", "腾讯", 0, {1, 2, 3}, 1), RankingBodyStatus::kBad, 0, 0, 1},
        {"direction 2", Record(f, "SH", "600000", "x", 0, {1, 2, 3}, 2), RankingBodyStatus::kBad, 0, 0, 0},
        {"direction 0", Record(f, "SH", "600000", "x", 0, {1, 2, 3}, 0), RankingBodyStatus::kBad, 0, 0, 0},
        {"empty code", Record(f, "SH", "", "x", 0, {1, 2, 3}, 1), RankingBodyStatus::kBad, 0, 0, 0},
        {"code with a slash", Record(f, "SH", "60/000", "x", 0, {1, 2, 3}, 1), RankingBodyStatus::kBad, 0, 0, 0},
        {"not a number", Record(f, "SH", "600000", "x", 0, {1, nan, 3}, 1), RankingBodyStatus::kBad, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<RankingRecord> out(3);  // stale content must go
        RankingBodyResult r = Read(f, c.body, &out);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(out.size(), c.records) << c.what;
        EXPECT_EQ(r.records, c.records) << c.what;
        EXPECT_EQ(r.droppedBytes, c.dropped) << c.what;
        if (c.status == RankingBodyStatus::kBad) {
            EXPECT_EQ(r.badRecord, c.bad) << c.what;
        }
        EXPECT_EQ(DescribeRankingResult(r).empty(), c.status == RankingBodyStatus::kGood) << c.what;
        if (c.records == 2) {
            EXPECT_EQ(out[1].code, "0123456789");
            EXPECT_EQ(out[1].name.size(), 32u);
        }
    }
    // The sizes that are the user's to see.
    std::vector<RankingRecord> out;
    EXPECT_EQ(DescribeRankingResult(Read(f, good + good.substr(0, 7), &out)),
              "排名数据不完整：末尾7字节不足一条记录，已略去。");
    EXPECT_EQ(DescribeRankingResult(Read(f, good + lines, &out)), "排名数据有误（第2条记录无法识别），未能显示。");
}

class RankingList : public ::testing::Test {
protected:
    // Rows' texts of one column, top to bottom.
    std::vector<std::string> Column(int index) {
        std::vector<std::string> v;
        for (int r = 0; r < list.GetItemCount(); ++r) v.push_back(list.GetItemText(r, index));
        return v;
    }
    std::vector<RankingRecord> Records(int id, const std::string& body) {
        std::vector<RankingRecord> out;
        EXPECT_EQ(ReadRankingBody(FileOf(id), body.data(), body.size(), &out).status, RankingBodyStatus::kGood);
        return out;
    }
    CSkinListModel list;
};

TEST_F(RankingList, FallingRunsListOnlyTheirOwnRecordsLongestFirstNumberedFromOne) {
    const RankingFile& f = FileOf(4046);
    std::string body = Record(f, "SH", "600001", "甲", 9, {100, 1.5f}, 1) + Record(f, "SZ", "000002", "乙", 2, {200, -1}, -1) +
                       Record(f, "SH", "600003", "丙", 5, {300, -2}, -1) + Record(f, "SZ", "000004", "丁", 11, {400, -3}, -1);
    std::vector<RankingRecord> records = Records(4046, body);
    AddRankingColumns(list, 4046);
    ASSERT_EQ(list.GetColumnCount(), 6);
    EXPECT_EQ(list.Column(4)->title, "最新成交量");
    EXPECT_EQ(list.Column(0)->width, 40);
    EXPECT_EQ(FillRankingList(list, 4046, records, kRankingAllMarkets), 3);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"000004", "600003", "000002"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"11", "5", "2"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(4), (std::vector<std::string>{"400.00", "300.00", "200.00"}));
    EXPECT_EQ(Column(5), (std::vector<std::string>{"-3.00", "-2.00", "-1.00"}));
    ListColor background = 0, text = 0;
    ASSERT_TRUE(list.GetItemColours(0, 3, &background, &text));
    EXPECT_EQ(background, kRankingRankedBackground);
    EXPECT_EQ(text, kRankingRankedText);
    EXPECT_EQ(list.GetItemFormat(0, 3), 10);
    EXPECT_EQ(list.GetItemFormat(0, 4), 9);
    uint32_t data = 9;
    ASSERT_TRUE(list.GetItemData(1, &data));  // 600003
    EXPECT_EQ(data, 1u);
    ASSERT_TRUE(list.GetItemData(0, &data));  // 000004
    EXPECT_EQ(RankingStockKey(list.GetItemText(0, 1), data), "000004_0");

    // Shanghai only, renumbered; all again from the same records.
    EXPECT_EQ(FillRankingList(list, 4046, records, kRankingShanghai), 1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"600003"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1"}));
    EXPECT_EQ(FillRankingList(list, 4046, records, kRankingShenzhen), 2);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"000004", "000002"}));
    EXPECT_EQ(FillRankingList(list, 4046, records, kRankingAllMarkets), 3);
}

TEST_F(RankingList, RiseListsSortDescendingAndFallListsAscendingOnTheirRankedColumn) {
    const RankingFile& f = FileOf(4047);
    std::string body;
    const float changes[] = {3.5f, 9.9f, 5.25f};
    for (int i = 0; i < 3; ++i)
        body += Record(f, "SH", "60000" + std::to_string(i), "名", 0, {10, 100, changes[i]}, 1);
    const float falls[] = {-2.5f, -9.5f, -10.0f};
    for (int i = 0; i < 3; ++i) body += Record(f, "SZ", "00000" + std::to_string(i), "名", 0, {10, 100, falls[i]}, -1);
    std::vector<RankingRecord> records = Records(4047, body);

    AddRankingColumns(list, 4047);
    EXPECT_EQ(list.Column(5)->title, "涨幅");
    FillRankingList(list, 4047, records, kRankingAllMarkets);
    EXPECT_EQ(Column(5), (std::vector<std::string>{"9.90", "5.25", "3.50"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));

    CSkinListModel falling;
    AddRankingColumns(falling, 4048);
    EXPECT_EQ(falling.Column(5)->title, "跌幅");
    FillRankingList(falling, 4048, records, kRankingAllMarkets);
    std::vector<std::string> got;
    for (int r = 0; r < falling.GetItemCount(); ++r) got.push_back(falling.GetItemText(r, 5));
    EXPECT_EQ(got, (std::vector<std::string>{"-10.00", "-9.50", "-2.50"}));

    // Every kind knows its title, columns and ranked column; others have none.
    for (int id = kRankingFirst; id <= kRankingLast; ++id) {
        ASSERT_NE(FindRankingKind(id), nullptr);
        EXPECT_LT(RankingRankedColumn(id), (int)RankingColumns(id).size()) << id;
        EXPECT_EQ(FindRankingKind(id)->direction, id % 2 ? 1 : -1);
    }
    EXPECT_EQ(FindRankingKind(4044), nullptr);
    EXPECT_EQ(FindRankingKind(4057), nullptr);
    EXPECT_TRUE(RankingColumns(4057).empty());
    CSkinListModel none;
    EXPECT_EQ(FillRankingList(none, 4057, records, kRankingAllMarkets), 0);
}

}  // namespace
