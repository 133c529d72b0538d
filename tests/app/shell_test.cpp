// The frame's window-free parts: refresh replies and schedule, the watch list, the routing of
// finished downloads and the content panel's command table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/commands.h"
#include "app/downloadroute.h"
#include "app/messagebus.h"
#include "app/panelrules.h"
#include "base/containers.h"
#include "base/fsutil.h"
#include "app/refresh.h"
#include "app/urltable.h"
#include "app/watchlist.h"
#include "base/seams.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/storeenv.h"
#include "test_files.h"
#include "tests/store/store_files.h"

#ifdef _WIN32
#include <windows.h>
#ifndef _WIN32
#include <unistd.h>
#endif
#endif

using velmora_test::ReadTestFile;
using velmora_test::WriteTestFile;

namespace {

std::string TempPath(const char* name) {
    static int serial = 0;
    // The process id too: the suites of other builds may run the same test at the same time.
#ifdef _WIN32
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    std::string base = dir;
    const unsigned long pid = GetCurrentProcessId();
#else
    std::string base = "/tmp/";
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return base + "velmora-shell-" + std::to_string(pid) + "-" + std::to_string(serial++) + "-" + name;
}

int32_t Beijing(int hour, int minute) { return CTimeStamp(2026, 12, 10, hour, minute, 0).GetTime(); }

// ---- refresh replies ---------------------------------------------------------------------

TEST(RefreshReplies, NewsKeepsEachHeadlinesOwnLinkAndTrimsLineEnds) {
    struct Case {
        const char* text;
        bool ok;
        std::vector<std::string> headlines, links;
    } cases[] = {
        {"A\thttp://a/\r\nB\thttp://b/\r\n", true, {"A", "B"}, {"http://a/", "http://b/"}},
        {"A\thttp://a/\nB\thttp://b/\n", true, {"A", "B"}, {"http://a/", "http://b/"}},
        {"A\r\nB\thttp://b/", true, {"A", "B"}, {"http://b/"}},                      // headline without a link
        {"A\thttp://a/\tmore\r\n\r\n", true, {"A"}, {"http://a/"}},
        {"\thttp://a/\r\n", false, {}, {}},
        {"", false, {}, {}},
    };
    for (const Case& c : cases) {
        NewsItems items;
        items.headlines = {"old"};
        EXPECT_EQ(ParseNewsText(c.text, &items), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(items.headlines, c.headlines) << c.text;
            EXPECT_EQ(items.links, c.links) << c.text;
        } else {
            EXPECT_EQ(items.headlines, std::vector<std::string>{"old"}) << c.text;
        }
    }
}

TEST(RefreshReplies, HeartbeatFieldsAndMalformedReplies) {
    struct Case {
        const char* text;
        bool ok;
        int32_t time;
        int open;
    } cases[] = {
        {"1290000000|1", true, 1290000000, 1},
        {"1290000000|0\r\n", true, 1290000000, 0},
        {"1290000000|00|x", true, 1290000000, 1},  // only exactly "0" is closed
        {"-5|0", false, 0, 0},  // no server time: nothing changes
        {"0|1", false, 0, 0},
        {"1290000000", false, 0, 0},
        {"12x|1", false, 0, 0},
        {"|1", false, 0, 0},
        {"99999999999|1", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        HeartbeatReply reply = {7, 7};
        EXPECT_EQ(ParseHeartbeat(c.text, &reply), c.ok) << c.text;
        EXPECT_EQ(reply.serverTime, c.ok ? c.time : 7) << c.text;
        EXPECT_EQ(reply.marketOpen, c.ok ? c.open : 7) << c.text;
    }
}

TEST(RefreshReplies, StatusPanesOnlyFromAWholeReply) {
    const std::string idx = "上证指数\t3000.5;-12.25;-0.41;123450000\r\n";
    const std::string zero = "深证成指\t0;0;0;0\r\n";
    const std::string counts = "上涨\t800\r\n下跌\t700\r\n平盘\t50\r\n";
    struct Case {
        std::string text;
        bool ok;
        size_t panes;
    } cases[] = {
        {idx + idx + idx + idx, true, 4},
        {idx + idx + idx + idx + "上涨\t800\r\n", true, 4},
        {idx + idx + idx + idx + "上涨\t800\r\n下跌\t700\r\n", true, 4},
        {idx + idx + idx + idx + counts, true, 7},
        {idx + idx + idx + "深证成指\t123\r\n", false, 0},
        {idx + idx + idx + "深证成指\t1;2;x;4\r\n", false, 0},
        {idx + idx + idx, false, 0},
        {idx + idx + idx + idx + "上涨\r\n下跌\t700\r\n平盘\t50\r\n", false, 0},
        {"", false, 0},
        {idx + zero + idx + idx, true, 4},
    };
    for (const Case& c : cases) {
        StatusPaneList panes(1);
        EXPECT_EQ(ParseStatusInfo(c.text, &panes), c.ok) << AnsiToUtf8(c.text.c_str());
        EXPECT_EQ(panes.size(), c.ok ? c.panes : 1u) << AnsiToUtf8(c.text.c_str());
    }

    StatusPaneList panes;
    ASSERT_TRUE(ParseStatusInfo(idx + zero + idx + idx + counts, &panes));
    const MarketStatusPane& first = panes[0];
    EXPECT_EQ(first.number, 4028);
    ASSERT_EQ(first.items.size(), 5u);
    EXPECT_EQ(first.items[0].text, "上证指数");
    EXPECT_EQ(first.items[1].text, " 3000.50");
    EXPECT_EQ(first.items[1].colour, kStatusGreen);
    EXPECT_EQ(first.items[2].text, " -12.25");
    EXPECT_EQ(first.items[3].text, " -0.41%");
    EXPECT_EQ(first.items[3].font, statusFontBold);
    EXPECT_EQ(first.items[4].text, " " + FormatAmount(123450000));
    EXPECT_EQ(first.items[4].font, statusFontNone);
    // Value, change and amount 0: the name alone.
    EXPECT_EQ(panes[1].number, 4029);
    ASSERT_EQ(panes[1].items.size(), 1u);
    EXPECT_EQ(panes[3].number, 4031);
    EXPECT_EQ(panes[4].number, 0);
    EXPECT_EQ(panes[4].items[0].text, "上涨:");
    EXPECT_EQ(panes[4].items[1].text, " 800");
    EXPECT_EQ(panes[4].items[1].colour, kStatusRed);
    EXPECT_EQ(panes[5].items[1].colour, kStatusGreen);
    EXPECT_EQ(panes[6].items[1].colour, 0u);
    EXPECT_EQ(panes[6].items[1].font, statusFontNormal);

    // A change of 0 with a value shows red value and percent.
    ASSERT_TRUE(ParseStatusInfo("A\t10;0;0;0\r\n" + idx + idx + idx, &panes));
    ASSERT_EQ(panes[0].items.size(), 3u);
    EXPECT_EQ(panes[0].items[1].colour, kStatusRed);
    EXPECT_EQ(panes[0].items[2].text, " 0.00%");
}

// ---- refresh schedule --------------------------------------------------------------------

TEST(RefreshSchedule, TicksOfEachFetch) {
    int news = 0, status = 0, heartbeat = 0;
    for (uint64_t tick = 1; tick <= 2160; ++tick) {
        unsigned a = RefreshActionsForTick(tick, true);
        news += (a & refreshNews) != 0;
        status += (a & refreshStatus) != 0;
        heartbeat += (a & refreshHeartbeat) != 0;
    }
    EXPECT_EQ(news, 3);
    EXPECT_EQ(status, 216);
    EXPECT_EQ(heartbeat, 2);
    EXPECT_EQ(RefreshActionsForTick(600, true), unsigned(refreshNews | refreshStatus));
    EXPECT_EQ(RefreshActionsForTick(1080, false), unsigned(refreshHeartbeat));
    EXPECT_EQ(RefreshActionsForTick(10, false), unsigned(refreshNone));
    EXPECT_EQ(RefreshActionsForTick(0, true), unsigned(refreshNone));
    EXPECT_EQ(RefreshActionsForTick(5400, true), unsigned(refreshNews | refreshStatus | refreshHeartbeat));
}

TEST(RefreshSchedule, MorningReloginOncePerRunAndNotFromCreation) {
    struct Case {
        int32_t time;
        bool fromCreation, done, relogin;
    } cases[] = {
        {Beijing(9, 21), false, false, true},   {Beijing(9, 25), false, false, true},
        {Beijing(9, 29), false, false, true},   {Beijing(9, 20), false, false, false},
        {Beijing(9, 30), false, false, false},  {Beijing(9, 25), true, false, false},
        {Beijing(9, 25), false, true, false},   {0, false, false, false},
        {Beijing(21, 25), false, false, false}, {-100, false, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShouldRelogin(c.time, c.fromCreation, c.done), c.relogin) << c.time;
    // 01:25 UTC is 09:25 in Beijing whatever the machine's zone.
    EXPECT_TRUE(ShouldRelogin(1290000000 - 1290000000 % 86400 + 3600 + 25 * 60, false, false));
}

TEST(RefreshSchedule, HeartbeatSetsServerValuesAndReloginsOnce) {
    ResetReloginDone();
    EXPECT_FALSE(ApplyHeartbeat({Beijing(9, 25), 1}, true));  // during creation: never
    EXPECT_EQ(ServerDataTime.load(), Beijing(9, 25));
    EXPECT_EQ(MarketOpenFlag.load(), 1);
    EXPECT_FALSE(IsReloginDone());
    EXPECT_TRUE(ApplyHeartbeat({Beijing(9, 26), 0}, false));
    EXPECT_EQ(MarketOpenFlag.load(), 0);
    EXPECT_TRUE(IsReloginDone());
    EXPECT_FALSE(ApplyHeartbeat({Beijing(9, 27), 1}, false));  // once per run
    ResetReloginDone();
}

TEST(RefreshSchedule, LoopRunsTheFetchesOfEachTickUntilStopped) {
    std::atomic<bool> stop(false);
    int news = 0, status = 0, heartbeat = 0, waits = 0;
    bool open = false;
    RefreshHandlers h;
    h.news = [&] { ++news; };
    h.status = [&] { ++status; };
    h.heartbeat = [&] { ++heartbeat; open = true; };  // the first heartbeat reports the market open
    h.marketOpen = [&] { return open; };
    h.wait = [&] {
        if (++waits == 2160) stop = true;
    };
    EXPECT_EQ(RunRefreshLoop(stop, h), 2160u);
    EXPECT_EQ(news, 3);
    EXPECT_EQ(heartbeat, 2);
    EXPECT_EQ(status, (2160 - 1080) / 10);  // status only after the flag came on
    // Stopped before the first tick: nothing runs.
    EXPECT_EQ(RunRefreshLoop(stop, h), 0u);
    EXPECT_EQ(news, 3);
}

// ---- watch list --------------------------------------------------------------------------

TEST(WatchListModel, AddRefusesEmptyMalformedAndDuplicates) {
    WatchList list;
    struct Case {
        const char* code;
        const char* name;
        int added;
    } cases[] = {
        {"600000_1", "浦发银行", 1}, {"600000_0", "other", 0}, {"", "x", 0},        {nullptr, "x", 0},
        {"000001_0", nullptr, 0},   {"000001", "x", 0},       {"..\\x_1", "x", 0}, {"_1", "x", 0},
        {"000001_2", "x", 0},       {"000001_0", "平安银行", 1}, {"1A0001_1", "", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(list.AddStock(c.code, c.name), c.added) << (c.code ? c.code : "null");
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetRow(0).code, "600000");
    EXPECT_EQ(list.GetRow(0).market, 1);
    EXPECT_EQ(list.GetRow(1).market, 0);
    EXPECT_EQ(list.GetOpenCode(0), "600000_1");
    EXPECT_EQ(list.GetOpenCode(3), "");
    EXPECT_EQ(list.GetOpenCode(-1), "");

    WatchList shortCodes;
    shortCodes.AddStock("60000_1", "five");
    EXPECT_EQ(shortCodes.GetOpenCode(0), "");  // 7 characters with the suffix open nothing

    EXPECT_TRUE(list.DeleteRows({2, 0, 9, 0}));
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetRow(0).code, "000001");
    EXPECT_FALSE(list.DeleteRows({5}));
}

TEST(WatchListModel, EveryChangeIsSavedAndRoundTrips) {
    std::string path = TempPath("usrstock.dat");
    {
        WatchList list(path);
        list.AddStock("600000_1", "浦发银行");
        EXPECT_EQ(ReadTestFile(path), "600000_1;浦发银行\r\n");
        list.AddStock("000001_0", "平安银行");
        EXPECT_TRUE(list.LastSaveOk());
        EXPECT_EQ(ReadTestFile(path), "600000_1;浦发银行\r\n000001_0;平安银行\r\n");
        list.DeleteRows({0});
        EXPECT_EQ(ReadTestFile(path), "000001_0;平安银行\r\n");
        list.AddStock("600036_1", "招商银行");
    }
    const std::string saved = ReadTestFile(path);
    WatchList again;
    EXPECT_EQ(again.LoadStockList(path.c_str()), 1);
    EXPECT_EQ(again.GetCount(), 2u);
    EXPECT_EQ(again.SaveStockList(path.c_str()), 1);
    EXPECT_EQ(ReadTestFile(path), saved);
    std::remove(path.c_str());
}

TEST(WatchListModel, DamagedFileLosesOnlyItsBadLines) {
    std::string path = TempPath("damaged.dat");
    WriteTestFile(path, "600000_1;浦发银行\r\n"
                        "garbage line\r\n"
                        "\r\n"
                        "600000_0;dup\n"
                        "../../x_1;evil\r\n" +
                            std::string(300, '7') + "_1;long\r\n"
                        "000002_0\r\n"
                        "000001_0;平安银行");  // cut before its line end
    WatchList list(path);
    EXPECT_EQ(list.LoadStockList(path.c_str()), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetRow(0).name, "浦发银行");
    EXPECT_EQ(list.GetRow(1).code, "000002");
    EXPECT_EQ(list.GetRow(1).name, "");
    EXPECT_EQ(list.GetRow(2).name, "平安银行");
    // Loading writes nothing; the first change writes the cleaned list, the file as it was kept aside.
    const std::string original = ReadTestFile(path);
    EXPECT_NE(original.find("garbage"), std::string::npos);
    list.AddStock("600036_1", "招商银行");
    EXPECT_EQ(ReadTestFile(path), "600000_1;浦发银行\r\n000002_0;\r\n000001_0;平安银行\r\n600036_1;招商银行\r\n");
    EXPECT_EQ(ReadTestFile(path + ".bad"), original);
    std::remove((path + ".bad").c_str());

    // Missing path and missing file.
    WatchList empty;
    EXPECT_EQ(empty.LoadStockList(nullptr), 0);
    EXPECT_EQ(empty.LoadStockList(TempPath("absent.dat").c_str()), 1);
    EXPECT_EQ(empty.GetCount(), 0u);
    EXPECT_EQ(empty.SaveStockList(""), 0);
    std::remove(path.c_str());
}

TEST(WatchListModel, FailedWriteKeepsTheOldFileAndSaysSo) {
    std::string path = TempPath("nofolder") + "/sub/usrstock.dat";
    WatchList list(path);
    EXPECT_EQ(list.AddStock("600000_1", "x"), 1);
    EXPECT_FALSE(list.LastSaveOk());
    EXPECT_EQ(list.SaveStockList(path.c_str()), 0);
}

TEST(WatchListModel, LongLineKeepsItsStockWithTheNameCut) {
    // "600000_1;" takes 9 of a line's 255 characters, leaving 246 for the name.
    const std::string a245(245, 'a');
    struct Case {
        std::string name, kept;
    } cases[] = {
        {std::string(246, 'a'), std::string(246, 'a')},  // the line is exactly 255: whole
        {std::string(247, 'a'), std::string(246, 'a')},
        {a245 + "甲乙", a245},                   // a character across the cut goes whole
        {a245.substr(1) + "甲乙", a245.substr(1) + "甲"},
        {std::string(400, 'b') + ";000001_0;x", std::string(246, 'b')},  // the tail is no stock
    };
    for (const Case& c : cases) {
        const std::string path = TempPath("long.dat");
        WriteTestFile(path, "600000_1;" + c.name + "\r\n000002_0;next\r\n");
        WatchList list(path);
        list.LoadStockList(path.c_str());
        ASSERT_EQ(list.GetCount(), 2u) << c.name.size();
        EXPECT_EQ(list.GetRow(0).code, "600000");
        EXPECT_EQ(list.GetRow(0).name, c.kept) << c.name.size();
        EXPECT_EQ(list.GetRow(1).code, "000002");
        // The cut name is what the next save writes; a long line is no reason to keep the file aside.
        list.DeleteRows({1});
        EXPECT_EQ(ReadTestFile(path), "600000_1;" + c.kept + "\r\n");
        EXPECT_FALSE(velmora::FileExists((path + ".bad").c_str()));
        std::remove(path.c_str());
    }
}

TEST(WatchListModel, ThirtyTwoThousandLinesLoadAndDeleteWhole) {
    const int n = 32768;
    auto code = [](int i) {
        char text[16];
        std::snprintf(text, sizeof text, "%06d_%d", i, i % 2);
        return std::string(text);
    };
    std::string text;
    for (int i = 0; i < n; ++i) text += code(i) + ";名" + std::to_string(i) + "\r\n";
    const std::string path = TempPath("big.dat");
    WriteTestFile(path, text + code(7).substr(0, 6) + "_0;again\r\n");  // a repeat of a plain code
    WatchList list(path);
    list.LoadStockList(path.c_str());
    ASSERT_EQ(list.GetCount(), size_t(n));
    EXPECT_EQ(list.GetRow(n - 1).code, "032767");
    EXPECT_EQ(list.Serialize(), text);

    // Every other row goes in one call; the codes that went can come back, the others not.
    std::vector<int> odd;
    for (int i = 1; i < n; i += 2) odd.push_back(i);
    ASSERT_TRUE(list.DeleteRows(odd));
    ASSERT_EQ(list.GetCount(), size_t(n / 2));
    EXPECT_EQ(list.GetRow(n / 2 - 1).code, "032766");
    EXPECT_EQ(list.AddStock(code(1).c_str(), "back"), 1);
    EXPECT_EQ(list.AddStock(code(2).c_str(), "kept"), 0);
    EXPECT_EQ(ReadTestFile(path).size(), list.Serialize().size());
    std::remove(path.c_str());
}

TEST(WatchListModel, UnreadableFileIsRenamedToBadBeforeTheNextSave) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no line a stock", std::string("\xff\xfe\x36\x00\x30\x00;\x00\r\x00\n\x00", 12)},
        {"a line that is not a stock", "600000_1;浦发银行\r\n\x01\x02garbage\r\n"},
        {"larger than any watch list", "600000_1;x\r\n" + std::string(16 * 1024 * 1024, ' ')},
    };
    for (const Case& c : cases) {
        const std::string path = TempPath("usrstock.dat"), aside = path + ".bad";
        WriteTestFile(path, c.bytes);
        WatchList list(path);
        EXPECT_EQ(list.LoadStockList(path.c_str()), 1) << c.what;
        EXPECT_FALSE(velmora::FileExists(aside.c_str())) << c.what;  // a load writes nothing
        ASSERT_EQ(list.AddStock("000001_0", "平安银行"), 1) << c.what;
        EXPECT_TRUE(list.LastSaveOk()) << c.what;
        EXPECT_TRUE(ReadTestFile(aside) == c.bytes) << c.what;
        EXPECT_NE(ReadTestFile(path).find("000001_0;平安银行\r\n"), std::string::npos) << c.what;
        // Once aside, later saves replace only the list's own file.
        list.AddStock("600036_1", "招商银行");
        EXPECT_TRUE(ReadTestFile(aside) == c.bytes) << c.what;
        std::remove(path.c_str());
        std::remove(aside.c_str());
    }
#ifdef _WIN32
    {
        // A file another program holds open without sharing cannot be read, nor renamed while held:
        // the save then writes nothing, and the next one after its release sets it aside.
        const std::string path = TempPath("usrstock.dat"), aside = path + ".bad";
        WriteTestFile(path, "600000_1;浦发银行\r\n");
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        WatchList list(path);
        EXPECT_EQ(list.LoadStockList(path.c_str()), 1);
        EXPECT_EQ(list.GetCount(), 0u);
        list.AddStock("000001_0", "平安银行");
        EXPECT_FALSE(list.LastSaveOk());
        CloseHandle(held);
        EXPECT_EQ(ReadTestFile(path), "600000_1;浦发银行\r\n");
        EXPECT_EQ(list.SaveStockList(path.c_str()), 1);
        EXPECT_EQ(ReadTestFile(aside), "600000_1;浦发银行\r\n");
        EXPECT_EQ(ReadTestFile(path), "000001_0;平安银行\r\n");
        std::remove(path.c_str());
        std::remove(aside.c_str());
    }
#endif
    // A readable file is never set aside.
    const std::string good = TempPath("usrstock.dat");
    WriteTestFile(good, "600000_1;浦发银行\r\n600000_1;again\r\n\r\n");
    WatchList list(good);
    list.LoadStockList(good.c_str());
    list.AddStock("000001_0", "平安银行");
    EXPECT_FALSE(velmora::FileExists((good + ".bad").c_str()));
    std::remove(good.c_str());
}

// ---- download routing --------------------------------------------------------------------

// Records which writer took a body; refuses bodies that start with 'X'.
class RecordingDatabase : public CStDatabase {
public:
    std::vector<std::string> calls;
    int Take(const char* what, const void* data) {
        calls.push_back(what);
        return static_cast<const char*>(data)[0] == 'X' ? 0 : 1;
    }
    int StoreMinute(const char*, const void* d, int) override { return Take("minute", d); }
    int StoreDay(const char*, const void* d, int) override { return Take("day", d); }
    int StoreSignal(const char*, const void* d, int) override { return Take("signal", d); }
    int StoreFenbi(const char*, const void* d, int) override { return Take("ticks", d); }
    int StoreFile(const char*, const void* d, int) override { return Take("text", d); }
};

TEST(DownloadRouting, ExtensionPicksTheWriterAndTheRecordedKind) {
    struct Case {
        const char* path;
        const char* writer;
        int kind;
    } cases[] = {
        {"hqdata\\sh\\min\\600000_1.min", "minute", codeStateMinute},
        {"hqdata\\sh\\day\\SH600000_1.day", "day", codeStateDay},
        {"hqdata\\sh\\signal\\600000_1.sgn", "signal", -1},
        {"hqdata\\sh\\fenbi\\600000_1.fbs", "ticks", codeStateTick},
        {"hqdata\\sh\\fenbi\\600000_1.fbl", "ticks", codeStateTick},
        {"hqdata\\sh\\bas\\600000_1.txt", "text", codeStateOther},
        // Only the file name's extension counts, never a folder's name.
        {"hqdata\\x.min.day", "day", codeStateDay},
        {"C:\\my.day\\hqdata\\sh\\fenbi\\600000_1.fbs", "ticks", codeStateTick},
        {"C:\\data.min\\hqdata\\sh\\bas\\600000_1.txt", "text", codeStateOther},
        {"/home/a.sgn/hqdata/sh/min/600000_1.min", "minute", codeStateMinute},
        {"C:\\x.fbs\\hqdata\\sh\\day\\SH600000_1.day", "day", codeStateDay},
    };
    for (const Case& c : cases) {
        RecordingDatabase db;
        CodeStateMap states;
        DownloadRouter router(&db, &states);
        router.OnDownloadFileDone("600000_1", c.path, "body", 4, 1234);
        ASSERT_EQ(db.calls, std::vector<std::string>{c.writer}) << c.path;
        for (int kind : {codeStateDay, codeStateMinute, codeStateOther, codeStateTick}) {
            int32_t time = 0;
            EXPECT_EQ(states.GetCodeState("600000_1", kind, &time), kind == c.kind) << c.path << " " << kind;
            if (kind == c.kind) { EXPECT_EQ(time, 1234); }
        }
        // A body the store refuses is not recorded: the next reload fetches it again.
        CodeStateMap refused;
        DownloadRouter again(&db, &refused);
        again.OnDownloadFileDone("600000_1", c.path, "Xbad", 4, 1234);
        EXPECT_EQ(refused.GetCount(), 0u) << c.path;
    }
}

TEST(DownloadRouting, ReloadOnlyForTheCurrentCode) {
    struct Case {
        const char* key;
        const char* path;
        int size;
        int view;
        bool reload;
        int w, l;
    } cases[] = {
        {"600000_1", "a.min", 4, kViewGraph, true, 0, 1},
        {"600000_1", "a.min", 4, kViewRealTime, true, 4, 0},
        {"600000_1", "a.min", 4, kViewF10, false, 0, 0},
        {"600000_1", "a.day", 4, kViewGraph, true, 1, 0},
        {"600000_1", "a.sgn", 4, kViewRealTime, true, 1, 0},
        {"600000_1", "a.fbs", 4, kViewF10, false, 0, 0},
        {"600000_1", "a.day", 0, kViewRealTime, true, 1, 0},  // empty: stored nowhere, reloads as a day
        {"600000_1", "a.txt", 4, kViewF10, true, 1, 0},
        {"600000_1", "a.txt", 4, kViewGraph, false, 0, 0},
        {"600000_1", "a.txt", 0, kViewF10, false, 0, 0},
        {"600000_1", "a.txt", 0, kViewGraph, true, 1, 0},
        {"600000_1", "a.MIN", 4, kViewRealTime, false, 0, 0},  // paths are built lowercase: a text
        {"000001_0", "a.min", 4, kViewRealTime, false, 0, 0},  // no longer current: stored only
        {"SH600000_1", "a.min", 4, kViewRealTime, false, 0, 0},
        {nullptr, "a.min", 4, kViewRealTime, false, 0, 0},
    };
    for (const Case& c : cases) {
        RecordingDatabase db;
        CodeStateMap states;
        DownloadRouter router(&db, &states);
        router.SetCurrentCode("600000_1");
        router.SetCurrentView(c.view);
        ReloadRequest r = router.OnDownloadFileDone(c.key, c.path, "body", c.size, 1);
        EXPECT_EQ(r.reload, c.reload) << c.path << " " << c.view;
        if (r.reload) {
            EXPECT_EQ(r.wParam, c.w) << c.path;
            EXPECT_EQ(r.lParam, c.l) << c.path;
        }
        EXPECT_EQ(db.calls.size(), c.size > 0 ? 1u : 0u) << c.path;
        // The store refused the body: nothing changed on disk, so the view keeps what it shows.
        if (c.size > 0) {
            EXPECT_FALSE(router.OnDownloadFileDone(c.key, c.path, "Xbad", c.size, 1).reload) << c.path << " refused";
        }
    }
    DownloadRouter router(nullptr, nullptr);
    router.SetCurrentCode("600000_1");
    EXPECT_TRUE(router.IsCurrentCode("600000_1"));
    router.SetCurrentCode("1a0001_1");
    EXPECT_TRUE(router.IsCurrentCode("1A0001_1"));
    EXPECT_FALSE(router.IsCurrentCode("600000_1"));
}

// Replies through the real store: a body of the right length that is no records (the service
// sends uncompressed bodies as they are) leaves the stored file byte for byte, stays unrecorded so
// the next open fetches again, and asks no reload; a real body after it is stored and recorded.
TEST(DownloadRouting, ReplyThatIsNoRecordsKeepsTheStoredFileAndStaysStale) {
    using namespace store_test;
    TempRoot root;
    const int32_t serverTime = CTimeStamp(2026, 12, 10, 15, 0, 0).GetTime();
    struct Case {
        const char* file;
        int stateKind;
        std::string old, fresh, garbage;
    } cases[] = {
        {"hqdata\\sz\\day\\SZ002766_0.day", codeStateDay, DayFile(100), DayFile(101), GarbageBytes(4000, 3)},
        {"hqdata\\sz\\min\\002766_0.min", codeStateMinute, MinuteFile(serverTime, 10), MinuteFile(serverTime, 11),
         GarbageBytes(8314, 5)},
        {"hqdata\\sz\\fenbi\\002766_0.fbs", codeStateTick, TickFile(serverTime - 3600, 30),
         TickFile(serverTime - 3600, 31), GarbageBytes(4000, 9)},
    };
    for (const Case& c : cases) {
        const std::string path = root.Path(c.file);
        WriteBytes(path, c.old);
        CodeStateMap states;
        DownloadRouter router(&root.Db(), &states);
        router.SetCurrentCode("002766_0");
        router.SetCurrentView(kViewGraph);
        ReloadRequest r = router.OnDownloadFileDone("002766_0", path.c_str(), c.garbage.data(),
                                                    int(c.garbage.size()), serverTime);
        EXPECT_FALSE(r.reload) << c.file;
        EXPECT_EQ(ReadBytes(path), c.old) << c.file << " kept byte for byte";
        EXPECT_EQ(states.GetCount(), 0u) << c.file;
        EXPECT_TRUE(states.NeedsUpdate("002766_0", c.stateKind, serverTime, false)) << c.file;

        r = router.OnDownloadFileDone("002766_0", path.c_str(), c.fresh.data(), int(c.fresh.size()), serverTime);
        EXPECT_TRUE(r.reload) << c.file;
        EXPECT_EQ(ReadBytes(path), c.fresh) << c.file;
        int32_t when = 0;
        EXPECT_TRUE(states.GetCodeState("002766_0", c.stateKind, &when)) << c.file;
        EXPECT_EQ(when, serverTime) << c.file;
    }
}

TEST(DownloadRouting, WorkersAndTheInterfaceThreadShareCodeAndStates) {
    RecordingDatabase db;  // only the worker stores
    CodeStateMap states;
    DownloadRouter router(&db, &states);
    // Current from the start: the worker may finish before the loop below has run once.
    router.SetCurrentCode("600000_1");
    std::atomic<bool> stop(false);
    std::atomic<int> reloads(0);
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            ReloadRequest r = router.OnDownloadFileDone(i % 2 ? "600000_1" : "000001_0", "a.day", "b", 1, i);
            reloads += r.reload;
        }
        stop = true;
    });
    int switches = 0;
    while (!stop) {
        router.SetCurrentCode(switches % 2 ? "600000_1" : "000001_0");
        router.SetCurrentView(switches % 3 ? kViewRealTime : kViewGraph);
        states.NeedsUpdate("600000_1", codeStateDay, 1, false);
        ++switches;
    }
    worker.join();
    EXPECT_GT(reloads.load(), 0);
}

TEST(DownloadRouting, DataPathsOfEachKind) {
    ResetUrlTable();
    struct Case {
        const char* code;
        bool shanghai;
        int kind;
        const char* url;
        const char* local;
    } cases[] = {
        {"600000_1", true, stockDataDay, "http://h/hqdatagzip/sday/SH600000.ldy", "P\\hqdata\\sh\\day\\SH600000_1.day"},
        {"000001_0", false, stockDataDay, "http://h/hqdatagzip/sday/SZ000001.ldy", "P\\hqdata\\sz\\day\\SZ000001_0.day"},
        {"600000_1", true, stockDataMinute, "http://h/hqdatagzip/min/sh/600000.min", "P\\hqdata\\sh\\min\\600000_1.min"},
        {"600000_1", true, stockDataText, "http://h/hqdatagzip/F10/sh600000.txt", "P\\hqdata\\sh\\bas\\600000_1.txt"},
        {"000001_0", false, stockDataSignal, "http://h/hqdatagzip/macd/sz000001.sgn", "P\\hqdata\\sz\\signal\\000001_0.sgn"},
        {"600000_1", true, stockDataTicks, "http://h/hqdatagzip/fenbi/sh600000.fbs", "P\\hqdata\\sh\\fenbi\\600000_1.fbs"},
        {"600000_1", true, stockDataLongTicks, "http://h/hqdatagzip/fenbi/sh600000.fbl", "P\\hqdata\\sh\\fenbi\\600000_1.fbl"},
        {"600000_1", true, 3, nullptr, nullptr},
        {"..\\x_1", true, stockDataDay, nullptr, nullptr},
        {"600000", true, stockDataDay, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        StockDataPaths paths = {"u", "l"};
        bool ok = GetDataPaths(c.code, c.shanghai, c.kind, "h", "P\\", &paths);
        EXPECT_EQ(ok, c.url != nullptr) << c.code << " " << c.kind;
        EXPECT_EQ(paths.url, c.url ? c.url : "u") << c.code << " " << c.kind;
        EXPECT_EQ(paths.localPath, c.local ? c.local : "l") << c.code << " " << c.kind;
        // Every local name routes back to its own writer.
        if (ok) { EXPECT_EQ(ClassifyDownloadedFile(paths.localPath.c_str()) == downloadedText, c.kind == stockDataText); }
    }
    StockDataPaths paths;
    EXPECT_FALSE(GetDataPaths("600000_1", true, stockDataDay, "", "P\\", &paths));
}

// ---- message bus -------------------------------------------------------------------------

struct RecordingAcceptor : CMessageAcceptor {
    std::vector<std::string>* log;
    std::string name;
    RecordingAcceptor(std::vector<std::string>* l, const char* n) : log(l), name(n) {}
    int OnMessage(int id, intptr_t wParam, intptr_t) override {
        log->push_back(name + ":" + std::to_string(id) + ":" + std::to_string(wParam));
        return 7;
    }
};

TEST(MessageBusModel, RegistrationOrderDuplicatesAndRemoval) {
    std::vector<std::string> log;
    RecordingAcceptor a(&log, "a"), b(&log, "b");
    MessageBus bus;
    EXPECT_EQ(bus.AddAcceptor(4029, &b), 1);
    EXPECT_EQ(bus.AddAcceptor(4029, &a), 1);
    EXPECT_EQ(bus.AddAcceptor(4029, &b), 1);  // twice: called twice
    bus.AddAcceptor(4033, &a);
    EXPECT_EQ(bus.SendMessage(4029, 5, 0), 0);
    EXPECT_EQ(bus.SendMessage(9999, 1, 0), 0);  // nobody registered
    bus.SendMessage(4033, 6, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"b:4029:5", "a:4029:5", "b:4029:5", "a:4033:6"}));
    bus.RemoveAcceptor(&b);
    log.clear();
    bus.SendMessage(4029, 8, 0);
    EXPECT_EQ(log, std::vector<std::string>{"a:4029:8"});
    EXPECT_EQ(bus.GetAcceptorCount(4029), 1u);
}

TEST(MessageBusModel, AnAcceptorMaySendAndRegisterFromItsOwnCall) {
    MessageBus bus;
    std::vector<std::string> log;
    RecordingAcceptor inner(&log, "inner");
    struct Forwarder : CMessageAcceptor {
        MessageBus* bus;
        CMessageAcceptor* inner;
        int OnMessage(int, intptr_t w, intptr_t) override {
            bus->AddAcceptor(4031, inner);
            bus->SendMessage(4031, w, 0);
            return 1;
        }
    } forwarder;
    forwarder.bus = &bus;
    forwarder.inner = &inner;
    bus.AddAcceptor(4032, &forwarder);
    bus.SendMessage(4032, 3, 0);
    EXPECT_EQ(log, std::vector<std::string>{"inner:4031:3"});
}

// ---- command table -----------------------------------------------------------------------

TEST(CommandTable, IdsToActions) {
    struct Case {
        int id;
        CommandKind kind;
        int value, option;
    } cases[] = {
        {4000, cmdRealTimeMode, 1, 0},   {4003, cmdRealTimeMode, 1, 0},  {4001, cmdShowGraph, 0, 0},
        {4002, cmdRealTimeMode, 3, 0},   {4004, cmdRealTimeMode, 2, 0},  {4005, cmdRealTimeMode, 4, 0},
        {4006, cmdRealTimeMode, 1, 1},   {4007, cmdRealTimeMode, 1, 2},  {4008, cmdGraphOption, 1, 0},
        {4010, cmdGraphOption, 3, 0},    {4011, cmdDataMode, 2, 0},      {4012, cmdDataMode, 3, 0},
        {4013, cmdDataMode, 1, 0},       {4014, cmdStateEvaluation, 0, 0}, {4015, cmdTrendEvaluation, 0, 0},
        {4033, cmdCompanyInfo, 0, 0},    {4037, cmdSignalToggle, 0, 0},  {4040, cmdStockPool, 1, 0},
        {4043, cmdStockPool, 4, 0},      {4044, cmdAddToWatchList, 0, 0}, {4045, cmdRanking, 4045, 0},
        {4056, cmdRanking, 4056, 0},     {4018, cmdOutsidePage, 0, 0},   {4036, cmdOutsidePage, 0, 0},
        {4057, cmdFundFlowPage, 0, 0},   {4077, cmdFundFlowPage, 0, 0},  {4080, cmdAnnouncement, 0, 0},
        {4016, cmdNone, 0, 0},           {4038, cmdNone, 0, 0},          {4061, cmdNone, 0, 0},
        {4078, cmdNone, 0, 0},           {4079, cmdNone, 0, 0},          {5000, cmdNone, 0, 0},
        {3999, cmdNone, 0, 0},
    };
    for (const Case& c : cases) {
        CommandAction a = GetCommandAction(c.id);
        EXPECT_EQ(a.kind, c.kind) << c.id;
        EXPECT_EQ(a.value, c.value) << c.id;
        EXPECT_EQ(a.option, c.option) << c.id;
    }
    EXPECT_STREQ(GetCommandAction(4060).title, "当日资金净流入");
    EXPECT_STREQ(GetCommandAction(4080).title, "最新公告");
}

TEST(CommandTable, PageUrls) {
    ResetUrlTable();
    const std::string root = GetSiteRoot();
    struct Case {
        int id;
        std::string url;
    } cases[] = {
        {4018, root},
        {4019, root + "html/qushiyuce/"},
        {4021, root + "html/gushibobao/"},
        {4026, root + "html/gupiaozhishi/"},
        {4034, root + "html/velmoraruanjian"},
        {4035, root + "company/contact.html"},
        {4036, GetUrl(kUrlChat)},
        {4057, ""},
        {4000, ""},
    };
    std::vector<std::string> opened;
    OpenPageHook old = SetOpenPageHook([&](const char* url) {
        opened.push_back(url);
        return true;
    });
    for (const Case& c : cases) {
        EXPECT_EQ(OutsidePageUrl(c.id), c.url) << c.id;
        EXPECT_EQ(OpenOutsidePage(c.id), !c.url.empty()) << c.id;
    }
    SetOpenPageHook(old);
    EXPECT_EQ(opened.size(), 7u);

    EXPECT_EQ(FundFlowUrl(4057, "data.example:8080", "600000_1", true),
              "http://data.example:8080/php/cashflow_in.5.php?m=18515&c=600000_1");
    EXPECT_EQ(FundFlowUrl(4077, "h", "000001_0", false), "http://h/php/cashflow_in_out_30days.5.php?m=23123&c=000001_0");
    EXPECT_EQ(FundFlowUrl(4057, "h", "a&b=c", true), "http://h/php/cashflow_in.5.php?m=18515&c=a%26b%3Dc");
    EXPECT_EQ(FundFlowUrl(4078, "h", "600000_1", true), "");
    EXPECT_EQ(FundFlowUrl(4057, "", "600000_1", true), "");
    EXPECT_EQ(AnnouncementUrl("http://s/", "张 三&x"), "http://s/tip/tip_action.php?u=%D5%C5%20%C8%FD%26x");
    EXPECT_EQ(AnnouncementUrl("http://s/", "bob"), "http://s/tip/tip_action.php?u=bob");
}

// ---- content panel rules -----------------------------------------------------------------

// A disk of named files and a queue that records what it is given and refuses what it already has.
struct FetchWorld {
    std::set<std::string> disk;
    std::vector<std::string> queued;  // local paths, in order
    std::vector<bool> gzip, front;
    std::set<std::string> inQueue;    // refused when asked again
    int refused = 0;
    CodeStateMap states;
    FetchWorld() { SetServerDataState(Beijing(15, 0), false); }
    StockFetchEnv Env(int signalMode = 0) {
        StockFetchEnv env;
        env.dataHost = "h";
        env.programFolder = "P\\";
        env.fileExists = [this](const std::string& path) { return disk.count(path) != 0; };
        env.states = &states;
        env.signalMode = signalMode;
        env.queue = [this](const std::string& key, const StockDataPaths& paths, bool f, bool g) {
            EXPECT_EQ(key, "600000_1");
            if (!inQueue.insert(paths.url).second) {
                ++refused;
                return false;
            }
            queued.push_back(paths.localPath);
            gzip.push_back(g);
            front.push_back(f);
            return true;
        };
        return env;
    }
};

const std::string kMin = "P\\hqdata\\sh\\min\\600000_1.min", kDay = "P\\hqdata\\sh\\day\\SH600000_1.day",
                  kTicks = "P\\hqdata\\sh\\fenbi\\600000_1.fbs", kSignal = "P\\hqdata\\sh\\signal\\600000_1.sgn",
                  kText = "P\\hqdata\\sh\\bas\\600000_1.txt";

TEST(PanelFetch, WhichFilesGoOnTheQueue) {
    ResetUrlTable();
    struct Case {
        std::vector<std::string> present;  // on disk and recorded fresh
        std::vector<std::string> stale;    // on disk, recorded before the server time
        bool skipDay;
        int signalMode;
        int mask;
        std::vector<std::string> queued;
    } cases[] = {
        {{}, {}, false, 0, 0, {kMin, kDay, kTicks}},
        // The timer looks at minutes and ticks only.
        {{}, {}, true, 0, 0, {kMin, kTicks}},
        {{}, {}, true, 2, 0, {kMin, kTicks}},
        {{kMin, kDay, kTicks}, {}, false, 0, kHaveMinute | kHaveDay | kHaveTicks, {}},
        {{kMin, kDay, kTicks}, {}, true, 0, kHaveMinute | kHaveTicks, {}},
        {{kDay}, {kMin}, false, 0, kHaveDay, {kMin, kTicks}},
        // The signal file comes after the day file, whatever the disk holds, while the mode is on.
        {{kMin, kDay, kTicks, kSignal}, {}, false, 2, kHaveMinute | kHaveDay | kHaveTicks, {kSignal}},
        {{}, {}, false, 2, 0, {kMin, kDay, kSignal, kTicks}},
        // Any other non-zero mode looks for signals but queues none.
        {{}, {}, false, 1, 0, {kMin, kDay, kTicks}},
    };
    for (const Case& c : cases) {
        FetchWorld w;
        for (const std::string& p : c.present) w.disk.insert(p);
        for (const std::string& p : c.stale) w.disk.insert(p);
        // Fresh: recorded at the server time; stale: recorded a day before it.
        const int32_t now = GetServerDataTime();
        for (int kind : {codeStateMinute, codeStateDay, codeStateTick})
            w.states.SetCodeState("600000_1", kind, now);
        for (const std::string& p : c.stale)
            w.states.SetCodeState("600000_1", p == kMin ? codeStateMinute : p == kDay ? codeStateDay : codeStateTick,
                                  now - 86400);
        EXPECT_EQ(FetchStockFiles(w.Env(c.signalMode), "600000_1", true, c.skipDay, true), c.mask);
        EXPECT_EQ(w.queued, c.queued);
        for (size_t i = 0; i < w.queued.size(); ++i) {
            EXPECT_EQ(w.gzip[i], w.queued[i] != kTicks) << w.queued[i];  // ticks come plain
            EXPECT_TRUE(w.front[i]);
        }
    }
}

TEST(PanelFetch, RecordsAndRefusalsAndCodesThatNameNoFile) {
    ResetUrlTable();
    FetchWorld w;
    // A file on disk that was never recorded as downloaded is fetched again.
    w.disk = {kMin, kDay, kTicks};
    EXPECT_EQ(FetchStockFiles(w.Env(), "600000_1", true, false, false), 0);
    EXPECT_EQ(w.queued, (std::vector<std::string>{kMin, kDay, kTicks}));
    EXPECT_FALSE(w.front[0]);
    // Still queued: the second reload is refused once per file and never retried.
    EXPECT_EQ(FetchStockFiles(w.Env(), "600000_1", true, false, true), 0);
    EXPECT_EQ(w.refused, 3);
    EXPECT_EQ(w.queued.size(), 3u);
    // Without records every file on disk counts as present.
    FetchWorld plain;
    plain.disk = {kMin, kTicks};
    StockFetchEnv env = plain.Env();
    env.states = nullptr;
    EXPECT_EQ(FetchStockFiles(env, "600000_1", true, true, true), kHaveMinute | kHaveTicks);
    // A code that names no file asks nothing.
    FetchWorld none;
    EXPECT_EQ(FetchStockFiles(none.Env(2), "..\\x_1", true, false, true), 0);
    EXPECT_FALSE(FetchSignalFile(none.Env(2), "", true));
    EXPECT_TRUE(none.queued.empty());
}

TEST(PanelFetch, SignalAndCompanyText) {
    ResetUrlTable();
    FetchWorld w;
    EXPECT_FALSE(FetchSignalFile(w.Env(0), "600000_1", true));
    EXPECT_FALSE(FetchSignalFile(w.Env(1), "600000_1", true));
    w.disk.insert(kSignal);
    EXPECT_TRUE(FetchSignalFile(w.Env(2), "600000_1", true));
    EXPECT_EQ(w.queued, std::vector<std::string>{kSignal});

    FetchWorld t;
    EXPECT_TRUE(FetchTextFile(t.Env(), "600000_1", true));
    EXPECT_EQ(t.queued, std::vector<std::string>{kText});
    EXPECT_FALSE(FetchTextFile(t.Env(), "600000_1", true));  // refused: already queued
    FetchWorld fresh;
    fresh.disk.insert(kText);
    fresh.states.SetCodeState("600000_1", codeStateOther, GetServerDataTime());
    EXPECT_FALSE(FetchTextFile(fresh.Env(), "600000_1", true));
    EXPECT_TRUE(fresh.queued.empty());
}

TEST(PanelKeys, KeyTableAndSearchBoxKeys) {
    EXPECT_EQ(MapPanelKey(0x72), panelKeyShanghaiIndex);
    EXPECT_EQ(MapPanelKey(0x73), panelKeyShenzhenIndex);
    EXPECT_EQ(MapPanelKey(0x74), panelKeySwitchView);
    EXPECT_EQ(MapPanelKey(0x76), panelKeyAddToWatch);
    for (unsigned key : {0x70u, 0x71u, 0x75u, 0x77u, 0x0Du, 0x26u, unsigned('A')}) EXPECT_EQ(MapPanelKey(key), panelKeyToView) << key;
    for (unsigned key : {unsigned('0'), unsigned('9'), unsigned('A'), unsigned('Z'), 0x60u, 0x69u, 0x20u})
        EXPECT_TRUE(KeyOpensSearchBox(key)) << key;
    // Page keys, arrows, Enter, Esc, F-keys, numpad operators and the codes around the ranges.
    for (unsigned key : {0x21u, 0x26u, 0x0Du, 0x1Bu, 0x70u, 0x6Au, 0x6Bu, 0x2Fu, 0x3Au, 0x40u, 0x5Bu})
        EXPECT_FALSE(KeyOpensSearchBox(key)) << key;
}

TEST(PanelIndicators, OverlaysReplaceAllPanesReplaceTheLast) {
    auto list = [](std::initializer_list<DWORD> ids) {
        CSPDWordArray a;
        for (DWORD id : ids) a.Add(id);
        return a;
    };
    auto ids = [](const CSPDWordArray& a) {
        std::vector<DWORD> v;
        for (int i = 0; i < a.GetSize(); ++i) v.push_back(a[i]);
        return v;
    };
    CSPDWordArray overlays = list({1, 3}), shown = list({12, 9});
    ApplyIndicatorChoice(5, overlays, shown);
    EXPECT_EQ(ids(overlays), std::vector<DWORD>{5});
    EXPECT_EQ(ids(shown), (std::vector<DWORD>{12, 9}));
    ApplyIndicatorChoice(20, overlays, shown);
    EXPECT_EQ(ids(shown), (std::vector<DWORD>{12, 20}));
    EXPECT_EQ(ids(overlays), std::vector<DWORD>{5});
    CSPDWordArray empty;
    ApplyIndicatorChoice(9, overlays, empty);
    EXPECT_EQ(ids(empty), std::vector<DWORD>{9});
    ApplyIndicatorChoice(8, overlays, empty);
    ApplyIndicatorChoice(0, overlays, empty);  // 0 is no overlay
    EXPECT_EQ(ids(overlays), std::vector<DWORD>{8});
    EXPECT_EQ(ids(empty), std::vector<DWORD>{0});
}

}  // namespace
