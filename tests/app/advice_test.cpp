// The service's advice: pool and trend replies parsed from tables of good, short and broken
// bodies, the request URLs, and the dialogs' request thread against the fixture service (its
// replies, a silent service that a stop ends at once, failures).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/advice.h"
#include "app/replyfetch.h"
#include "base/base64.h"
#include "base/text.h"
#include "tests/net/fixture_suite.h"
#include "wait.h"

namespace {

// Replies are UTF-8 (u8 literals); what the program shows is GBK (plain literals: sources are
// compiled to GBK).
TEST(TrendReply, TextsAndFailures) {
    struct Case {
        const char* name;
        std::string body;
        bool ok;
        std::string text;
    } cases[] = {
        {"verdict", u8"鑫联汽车(600000)：震荡整理，宜观望。", true, "鑫联汽车(600000)：震荡整理，宜观望。"},
        {"line end and blanks trimmed", u8"  短期趋势向上\r\n", true, "短期趋势向上"},
        {"two lines kept", u8"第一行\r\n第二行", true, "第一行\r\n第二行"},
        {"empty", "", false, ""},
        {"blanks only", " \r\n\t", false, ""},
        {"GBK bytes are not UTF-8", std::string("\xb8\xc3\xb9\xc9"), false, ""},
        {"cut inside a character", std::string(u8"趋势") + "\xe5\x90", false, ""},
        {"overlong form", std::string("\xc0\xaf"), false, ""},
        {"surrogate", std::string("\xed\xa0\x80"), false, ""},
        {"NUL inside", std::string("abc\0def", 7), false, ""},
        {"control bytes", std::string("ab\x01\x02"), false, ""},
    };
    for (const Case& c : cases) {
        std::string text = "stale";
        EXPECT_EQ(ParseTrendReply(c.body, &text), c.ok) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST(TrendReply, LongReplyIsCutAtAWholeCharacter) {
    std::string body;
    for (int i = 0; i < 3000; ++i) body += u8"涨";  // 3 bytes in UTF-8, 2 in GBK
    std::string text;
    ASSERT_TRUE(ParseTrendReply("a" + body, &text));
    EXPECT_LE(text.size(), kTrendTextLimit);
    EXPECT_GE(text.size(), kTrendTextLimit - 1);
    EXPECT_EQ(GbkSafeLength(text.c_str(), text.size()), text.size());
    EXPECT_EQ(text.substr(1, 2), "涨");
}

TEST(TrendReply, UrlCarriesTheBareCode) {
    EXPECT_EQ(TrendRequestUrl("http://127.0.0.1:8080/", "600000"),
              "http://127.0.0.1:8080/plus/stock_trend.php?code=600000");
    EXPECT_STREQ(kTrendUnclearText, "该股趋势不明，请谨慎操作！");
    EXPECT_STREQ(kPatternUnclearText, "该股趋势不明，请谨慎操作!");
}

TEST(StockPool, RequestIdDecodesToClientKindAndTime) {
    for (int kind = 1; kind <= 4; ++kind) {
        std::string url = StockPoolRequestUrl("http://h/", "plus/velmora_stocks.php", kind, 1796865900u);
        const std::string head = "http://h/plus/velmora_stocks.php?id=";
        ASSERT_EQ(url.compare(0, head.size(), head), 0) << url;
        std::string id = url.substr(head.size());
        EXPECT_EQ(id.find_first_of("+/=\r\n"), std::string::npos) << id;
        EXPECT_EQ(CUrlBase64::Decode(id.c_str()), "1\t5\t" + std::to_string(kind) + "\t1796865900");
    }
}

TEST(StockPool, TitlesAndNotes) {
    const char* titles[] = {"无法获得股票池数据", "智能短线选股池", "经典短线股票池", "智能波段股票池", "经典波段股票池",
                            "无法获得股票池数据"};
    for (int kind = 0; kind <= 5; ++kind) {
        EXPECT_STREQ(StockPoolTitle(kind), titles[kind]) << kind;
        EXPECT_EQ(IsStockPoolKind(kind), kind >= 1 && kind <= 4);
        const char* note = kind == 1 || kind == 3 ? "计算机智能选出，供有经验股民参考" : "每个交易日16:00-17:00选出，供下一交易日操作";
        EXPECT_STREQ(StockPoolNote(kind), note) << kind;
    }
}

TEST(StockPool, RepliesGoodShortAndBroken) {
    const std::string good = u8"sh\t600000\t浦发银行\t2026-12-08\r\n";
    struct Case {
        const char* name;
        std::string body;
        std::vector<std::string> codes;
        int rejected;
    } cases[] = {
        {"two records", good + u8"sz\t000001\t平安银行\t2026-12-09\r\n", {"600000", "000001"}, 0},
        {"no final line end", u8"sz\t000002\t万科Ａ\t2026-12-09", {"000002"}, 0},
        {"bare line feeds", u8"sh\t600000\t浦发银行\t2026-12-08\nsz\t000001\t平安银行\t2026-12-09\n", {"600000", "000001"}, 0},
        {"further fields ignored", u8"sh\t600000\t浦发银行\t2026-12-08\t9.5\textra\r\n", {"600000"}, 0},
        {"empty body", "", {}, 0},
        {"ten bytes or less is empty", "sh\t6\ta\tb\r\n", {}, 0},
        {"blank lines skipped", "\r\n\r\n" + good + "\r\n", {"600000"}, 0},
        {"short line", u8"sh\t600001\t邯郸钢铁\r\n" + good, {"600000"}, 1},
        {"missing field keeps its place", u8"sh\t\t浦发银行\t2026-12-08\r\n" + good, {"600000"}, 1},
        {"GBK line", std::string("sh\t600001\t\xba\xaa\xb5\xa6\t2026-12-08\r\n") + good, {"600000"}, 1},
        {"truncated UTF-8 at the end", good + u8"sz\t000001\t平\xe5", {"600000"}, 1},
        {"code with punctuation", u8"sh\t60/000\t浦发\t2026-12-08\r\n" + good, {"600000"}, 1},
        {"code too long", u8"sh\t600000600\t浦发\t2026-12-08\r\n" + good, {"600000"}, 1},
        {"name too long", "sh\t600001\t" + std::string(40, 'N') + "\t2026-12-08\r\n" + good, {"600000"}, 1},
        {"control byte in a name", "sh\t600001\ta\x01" "b\t2026-12-08\r\n" + good, {"600000"}, 1},
        {"garbage lines", std::string("\x8f\x01\xff\xfe\t\t\t\r\n<html>\r\n") + good, {"600000"}, 2},
    };
    for (const Case& c : cases) {
        StockPoolReply reply;
        reply.rejected = 99;
        ParseStockPool(c.body, &reply);
        std::vector<std::string> codes;
        for (const StockPoolRecord& r : reply.records) codes.push_back(r.code);
        EXPECT_EQ(codes, c.codes) << c.name;
        EXPECT_EQ(reply.rejected, c.rejected) << c.name;
    }
}

TEST(StockPool, RecordFieldsAreGbkAndOpenTheRightMarket) {
    StockPoolReply reply;
    ParseStockPool(u8"sh\t600000\t浦发银行\t2026-12-08\r\nsz\t000001\t平安银行\t2026-12-09\r\n"
                   u8"SH\t600001\t邯郸钢铁\t2026-12-10\r\nsh\t60001\t短码\t2026-12-10\r\n",
                   &reply);
    ASSERT_EQ(reply.records.size(), 4u);
    EXPECT_EQ(reply.records[0].name, "浦发银行");
    EXPECT_EQ(reply.records[1].date, "2026-12-09");
    const char* open[] = {"600000_1", "000001_0", "600001_0", ""};  // "SH" is not "sh"; "60001_1" is too short
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(StockPoolOpenCode(reply.records[i]), open[i]) << i;
}

TEST(StockPool, RowCountIsBounded) {
    std::string body;
    for (size_t i = 0; i < kStockPoolMaxRecords + 5; ++i) body += "sz\t000001\tname\t2026-12-09\r\n";
    StockPoolReply reply;
    ParseStockPool(body, &reply);
    EXPECT_EQ(reply.records.size(), kStockPoolMaxRecords);
    EXPECT_EQ(reply.rejected, 5);
}

// ---- the request thread against the fixture ----------------------------------------------

class ReplyFetchTest : public velmora_test::FixtureSuite<1> {
protected:
    void SetUp() override {
        NeedFixture();
        Control("clear");
    }
    // Begins a request and waits for its callback; false when none came within the limit.
    static bool FetchAndWait(CReplyFetch& fetch, const std::string& url, RequestLimits limits, int waitMs) {
        std::atomic<bool> done{false};
        if (!fetch.Begin(url, 256, limits, [&] { done = true; })) return false;
        velmora_test::WaitUntil([&] { return done.load(); }, waitMs, 5);
        fetch.Stop();
        return done;
    }
};

TEST_F(ReplyFetchTest, FixtureTrendAndPoolReplies) {
    CReplyFetch fetch;
    ASSERT_TRUE(FetchAndWait(fetch, TrendRequestUrl(Url("/"), "600000"), {5000, 10000}, 20000));
    ASSERT_TRUE(fetch.Succeeded());
    std::string text;
    ASSERT_TRUE(ParseTrendReply(fetch.Body(), &text));
    EXPECT_EQ(text.find("(600000)最近"), text.find('(')) << AnsiToUtf8(text.c_str());

    for (int kind = 1; kind <= 4; ++kind) {
        ASSERT_TRUE(FetchAndWait(fetch, StockPoolRequestUrl(Url("/"), "plus/velmora_stocks.php", kind, 1796865900u),
                                 {5000, 10000}, 20000));
        StockPoolReply reply;
        ParseStockPool(fetch.Body(), &reply);
        EXPECT_GE(reply.records.size(), 4u) << kind;
        EXPECT_EQ(reply.rejected, 0) << kind;
        for (const StockPoolRecord& r : reply.records) EXPECT_EQ(StockPoolOpenCode(r).size(), 8u) << r.code;
    }
    // An index is never diagnosed by the service: an empty reply, which the dialog shows as unclear.
    ASSERT_TRUE(FetchAndWait(fetch, TrendRequestUrl(Url("/"), "399001"), {5000, 10000}, 20000));
    EXPECT_FALSE(ParseTrendReply(fetch.Body(), &text));
}

TEST_F(ReplyFetchTest, FailuresReachTheCallback) {
    CReplyFetch fetch;
    for (const char* mode : {"404", "cut", "reset"}) {
        Control(std::string("fault?prefix=/plus/&mode=") + mode);
        ASSERT_TRUE(FetchAndWait(fetch, TrendRequestUrl(Url("/"), "600000"), {5000, 10000}, 20000)) << mode;
        EXPECT_FALSE(fetch.Succeeded()) << mode;
        EXPECT_TRUE(fetch.Body().empty()) << mode;
        Control("clear");
    }
    // A silent service is given up at the wait limit.
    Control("fault?prefix=/plus/&mode=silent&hold=20000");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(FetchAndWait(fetch, TrendRequestUrl(Url("/"), "600000"), {500, 2000}, 15000));
    EXPECT_FALSE(fetch.Succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ReplyFetchTest, StopEndsASilentRequestAtOnceWithoutItsCallback) {
    Control("fault?prefix=/plus/&mode=silent&hold=30000");
    std::atomic<int> calls{0};
    {
        CReplyFetch fetch;
        ASSERT_TRUE(fetch.Begin(TrendRequestUrl(Url("/"), "600000"), 256, {20000, 30000}, [&] { ++calls; }));
        // The service holds the request: Stop ends a request under way, not one yet to start.
        ASSERT_TRUE(velmora_test::WaitUntil([] { return velmora_test::CountLoggedRequests(s_fixture->Port(), "/plus/") > 0; }));
        auto start = std::chrono::steady_clock::now();
        fetch.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        // Begun again at once, and destroyed while in flight.
        ASSERT_TRUE(fetch.Begin(TrendRequestUrl(Url("/"), "600001"), 256, {20000, 30000}, [&] { ++calls; }));
        start = std::chrono::steady_clock::now();
    }
    EXPECT_EQ(calls.load(), 0);
}

}  // namespace
