#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/fsutil.h"
#include "base/log.h"
#include "base/text.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/storeenv.h"
#include "store/tskfile.h"
#include "store_files.h"

using namespace store_test;

namespace {

CODELIST_RECORD CodeRecord(const char* market, const char* code, const char* name, const char* shortName) {
    CODELIST_RECORD r;
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.market, market, 2);
    std::memcpy(r.code, code, std::min(std::strlen(code), sizeof r.code));
    std::memcpy(r.name, name, std::min(std::strlen(name), sizeof r.name));
    std::memcpy(r.shortName, shortName, std::min(std::strlen(shortName), sizeof r.shortName));
    return r;
}

// A stock bound to the store with the given code.
struct Loaded {
    explicit Loaded(CStDatabase& db, DWORD market, const char* code) {
        stock.SetStockCode(market, code);
        stock.SetDatabase(&db);
    }
    CStock stock;
};

const int32_t kHeaderTime = CTimeStamp(2026, 12, 10, 15, 0, 0).GetTime();

}  // namespace

// ---------------------------------------------------------------------------------------------
// Store layout and file names

TEST(StoreLayout, CreatedTreeOpensAndMissingFolderIsRefused) {
    TempRoot root;
    EXPECT_TRUE(root.Db().GetStore()->IsOK());
    EXPECT_EQ(root.Db().GetStore()->GetDBType(), 2);
    EXPECT_STREQ(root.Db().GetStore()->GetDBTypeName(), "Velmora");
    for (const char* sub : {"hqdata\\sz\\fenbi", "hqdata\\sh\\signal", "hqdata\\sz\\xdr"})
        EXPECT_TRUE(velmora::FolderExists(root.Path(sub).c_str())) << sub;

    std::filesystem::remove(root.Path("hqdata\\sh\\wek"));
    char buffer[1024];
    EXPECT_EQ(FindRootPath(root.Folder().c_str(), buffer, sizeof buffer), 0);
    EXPECT_EQ(CreateStore(root.Folder().c_str(), 2), nullptr);
    EXPECT_EQ(CreateStore(root.Folder().c_str(), 3), nullptr);

    // Start-up creates the missing folder again and opens the store.
    SetProgramFolder(root.Folder().c_str());
    char error[64] = "x";
    EXPECT_EQ(InitializeDatabase(error, sizeof error), 1);
    EXPECT_STREQ(error, "");
    EXPECT_TRUE(velmora::FolderExists(root.Path("hqdata\\sh\\wek").c_str()));

    SetProgramFolder((root.Folder() + "missing").c_str());
    char small[10];
    EXPECT_EQ(InitializeDatabase(small, sizeof small), 0);
    EXPECT_EQ(std::strlen(small), 8u);  // cut to whole characters within size - 1
    EXPECT_EQ(std::string(small), std::string("创建数据文件失败").substr(0, 8));
    SetProgramFolder(nullptr);
}

TEST(StoreLayout, FileNamesFollowTheLayout) {
    TempRoot root;
    CStDatabase& db = root.Db();
    CStockInfo sh, sz, unknown;
    sh.SetStockCode(kMarketShangHai, "600000_1");
    sz.SetStockCode(kMarketShenZhen, "000001_0");
    unknown.SetStockCode(kMarketUnknown, "000002");
    ASSERT_EQ(unknown.GetMarket(), kMarketShenZhen);
    struct Case {
        const CStockInfo* info;
        int type, period;
        const char* expected;
    } cases[] = {
        {&sh, 2, 5, "hqdata\\sh\\day\\SH600000_1.day"}, {&sz, 2, 6, "hqdata\\sz\\day\\SZ000001_0.wek"},
        {&sz, 2, 7, "hqdata\\sz\\day\\SZ000001_0.mnt"}, {&sh, 2, 1, "hqdata\\sh\\min\\600000_1.min"},
        {&sh, 2, 2, nullptr}, {&sh, 2, 3, nullptr}, {&sh, 2, 4, nullptr},
        {&sz, 3, 0, "hqdata\\sz\\xdr\\000001_0.dat"}, {&sh, 7, 0, "hqdata\\shse.rpt"},
        {&sz, 7, 0, "hqdata\\szse.rpt"}, {&sz, 8, 0, "hqdata\\sz\\min\\000001_0.min"},
        {&sh, 9, 0, "hqdata\\clkoutln.out"}, {&sh, 5, 0, nullptr /* missing file */},
        {&unknown, 8, 0, "hqdata\\sz\\min\\000002.min"}, {&sh, 11, 0, nullptr},
    };
    for (const Case& c : cases) {
        std::string got = db.GetFileName(c.type, *c.info, c.period);
        EXPECT_EQ(got, c.expected ? root.Path(c.expected) : std::string()) << c.type << "/" << c.period;
    }
    // Existing files are named for the kinds that ask for existence; the Shanghai ex-rights file
    // stands in for a missing Shenzhen one.
    WriteBytes(root.Path("hqdata\\sh\\bas\\600000_1.txt"), "text");
    EXPECT_EQ(db.GetFileName(5, sh, 0), root.Path("hqdata\\sh\\bas\\600000_1.txt"));
    WriteBytes(root.Path("hqdata\\sh\\xdr\\000001_0.dat"), "x");
    EXPECT_EQ(db.GetFileName(3, sz, 0), root.Path("hqdata\\sh\\xdr\\000001_0.dat"));
}

// ---------------------------------------------------------------------------------------------
// Round trips of every format

TEST(StoreFiles, CodeListSuffixKindAndTrimming) {
    TempRoot root;
    std::string bytes;
    struct Row {
        const char* market;
        const char* code;
        const char* expectCode;
        DWORD expectMarket;
        int expectKind;
    } rows[] = {
        {"SH", "000001", "000001_1", kMarketShangHai, 16}, {"SH", "010001", "010001_1", kMarketShangHai, 0},
        {"SH", "1A0001", "1A0001_1", kMarketShangHai, 16}, {"SH", "1B0002", "1B0002_1", kMarketShangHai, 16},
        {"SH", "110001", "110001_1", kMarketShangHai, 0},  {"SH", "500001", "500001_1", kMarketShangHai, 20},
        {"SH", " 600000 ", "600000_1", kMarketShangHai, 17}, {"SH", "900901", "900901_1", kMarketShangHai, 18},
        {"SH", "700001", "700001_1", kMarketShangHai, 0},  {"SZ", "000002", "000002_0", kMarketShenZhen, 33},
        {"SZ", "200002", "200002_0", kMarketShenZhen, 34}, {"SZ", "300001", "300001_0", kMarketShenZhen, 33},
        {"SZ", "399001", "399001_0", kMarketShenZhen, 32}, {"SZ", "100001", "100001_0", kMarketShenZhen, 0},
        {"XX", "123456", "123456_1", kMarketUnknown, -1},
    };
    for (const Row& r : rows) AppendPod(bytes, CodeRecord(r.market, r.code, "\t名称 ", " PF"));
    // Codes that cannot name a file, and a code too short to be valid, never enter the list.
    AppendPod(bytes, CodeRecord("SH", "../x", "bad", ""));
    AppendPod(bytes, CodeRecord("SZ", "00\\01", "bad", ""));
    AppendPod(bytes, CodeRecord("SH", "", "empty", ""));
    // A record filled to its end has no terminator.
    CODELIST_RECORD full = CodeRecord("SH", "600004", "", "");
    std::memset(full.name, 'N', sizeof full.name);
    std::memset(full.shortName, 'S', sizeof full.shortName);
    AppendPod(bytes, full);
    bytes += "partial";  // a trailing partial record is ignored
    WriteBytes(root.Path("hqdata\\codelist.dat"), bytes);

    CStockContainer c;
    const int expected = int(sizeof rows / sizeof rows[0]) + 1 /* 1A0001 twice */ + 1;
    EXPECT_EQ(root.Db().LoadCodeTable(c), expected);
    ASSERT_EQ(c.GetSize(), expected);
    int at = 0;
    for (const Row& r : rows) {
        const CStockInfo& s = c[at++];
        EXPECT_STREQ(s.GetStockCode(), r.expectCode);
        EXPECT_EQ(s.GetMarket(), r.expectMarket) << r.code;
        if (r.expectKind >= 0) {
            EXPECT_EQ(s.GetType(), r.expectKind) << r.code;
        }
        EXPECT_STREQ(s.GetStockName(), "名称");
        EXPECT_STREQ(s.GetStockShortName(), "PF");
        if (std::strcmp(r.expectCode, "1A0001_1") == 0) {
            EXPECT_STREQ(c[at++].GetStockCode(), "1A0001_1");
        }
    }
    EXPECT_STREQ(c[at].GetStockCode(), "600004_1");
    EXPECT_EQ(std::strlen(c[at].GetStockName()), 15u);
    int index = -1;
    ASSERT_TRUE(c.GetStockInfo("1A0001_1", nullptr, &index));
    EXPECT_EQ(index, 3);  // the second copy

    // An empty code list gives an empty container.
    WriteBytes(root.Path("hqdata\\codelist.dat"), "");
    EXPECT_EQ(root.Db().LoadCodeTable(c), 0);
}

TEST(StoreFiles, LongCodeListsLoadWholeUpToTheCap) {
    TempRoot root;
    // Distinct codes of both markets; the composite index comes twice as in every list.
    auto listOf = [](int n) {
        std::string bytes;
        bytes.reserve(size_t(n) * sizeof(CODELIST_RECORD));
        AppendPod(bytes, CodeRecord("SH", "1A0001", "上证指数", "SZZS"));
        for (int i = 1; i < n; ++i) {
            char code[24];
            std::snprintf(code, sizeof code, "%c%05d", i % 2 ? '6' : '0', i / 2);
            AppendPod(bytes, CodeRecord(i % 2 ? "SH" : "SZ", code, "名称", "MC"));
        }
        return bytes;
    };
    struct Case {
        int records;
        int loaded;  // 0: refused as a whole
    } cases[] = {{80000, 80001}, {kMaxCodeListRecords, kMaxCodeListRecords + 1}, {kMaxCodeListRecords + 1, 0}};
    for (const Case& c : cases) {
        WriteBytes(root.Path("hqdata\\codelist.dat"), listOf(c.records));
        CStockContainer container;
        ASSERT_EQ(container.LoadFromDatabase(&root.Db(), 0, 10000), 1);
        ASSERT_EQ(container.GetSize(), c.loaded) << c.records;
        if (!c.loaded) continue;
        // Every code is found at its own place in the list.
        for (int i = 1; i < c.records; i += 997) {
            char code[24];
            std::snprintf(code, sizeof code, "%c%05d_%c", i % 2 ? '6' : '0', i / 2, i % 2 ? '1' : '0');
            int index = -1;
            ASSERT_TRUE(container.GetStockInfo(code, nullptr, &index)) << code;
            EXPECT_EQ(index, i + 1);
        }
        int index = -1;
        EXPECT_TRUE(container.GetStockInfo("1A0001_1", nullptr, &index));
        EXPECT_EQ(index, 1);
    }
}

TEST(StoreFiles, DayFileRecordsAndPartialTail) {
    TempRoot root;
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    std::string bytes = DayFile(3) + std::string(4, '\x7F');  // 100 bytes
    ASSERT_EQ(bytes.size(), 100u);
    WriteBytes(root.Path("hqdata\\sh\\day\\SH600000_1.day"), bytes);
    EXPECT_EQ(root.Db().LoadKData(&s.stock, 5), 3);
    const CKData& k = s.stock.GetKDataDay();
    ASSERT_EQ(k.GetSize(), 3);
    EXPECT_EQ(k[0].date, 20200101u);
    EXPECT_EQ(k[2].date, 20200103u);
    EXPECT_EQ(k[1].time, CTimeStamp(2020, 1, 2, 0, 0, 0).GetTime());
    EXPECT_FLOAT_EQ(k[1].close, 11);
    EXPECT_FLOAT_EQ(k[1].open, 10.5f);
    EXPECT_FLOAT_EQ(k[1].amount, 10011);
    DWORD last;
    std::memcpy(&last, k[1].extra, 4);
    EXPECT_EQ(last, 0x01020304u);
    EXPECT_STREQ(k[0].code, "600000_1");
    EXPECT_EQ(k[0].market, kMarketShangHai);

    WriteBytes(root.Path("hqdata\\sh\\day\\SH600000_1.day"), bytes.substr(0, 31));
    EXPECT_EQ(root.Db().LoadKData(&s.stock, 5), 0);
    EXPECT_EQ(s.stock.GetKDataDay().GetSize(), 0);
    // Periods without a file of their own load nothing.
    for (int period : {2, 3, 4}) EXPECT_EQ(root.Db().LoadKData(&s.stock, period), 0);
}

TEST(StoreFiles, MinuteFileGivesOneQuoteAnd241MinutesOnTheHeadersDay) {
    TempRoot root;
    Loaded s(root.Db(), kMarketShenZhen, "000001_0");
    s.stock.GetStockInfo().SetStockName("平安银行");
    WriteBytes(root.Path("hqdata\\sz\\min\\000001_0.min"), MinuteFile(kHeaderTime, 10));
    EXPECT_EQ(root.Db().LoadMinute(&s.stock), 241);
    const ReportArray& q = s.stock.GetReport();
    ASSERT_EQ(q.GetSize(), 1);
    EXPECT_EQ(q[0].time, kHeaderTime);
    EXPECT_STREQ(q[0].code, "000001_0");
    EXPECT_STREQ(q[0].name, "平安银行");
    EXPECT_FLOAT_EQ(q[0].prevClose, 9);
    EXPECT_FLOAT_EQ(q[0].close, 12.4f);
    EXPECT_FLOAT_EQ(q[0].sellVolume[4], 1000);
    const MinuteArray& m = s.stock.GetMinute();
    ASSERT_EQ(m.GetSize(), 241);
    std::vector<int> hhmm = TradingMinutes();
    for (int k = 0; k < 241; ++k) {
        CTimeStamp t(m[k].time);
        ASSERT_EQ(t.GetDateNumber(), 20261210) << k;
        ASSERT_EQ(t.GetBeijingHour() * 100 + t.GetBeijingMinute(), hhmm[size_t(k)]) << k;
        EXPECT_FLOAT_EQ(m[k].price, 10 + float(k) / 100);
        EXPECT_FLOAT_EQ(m[k].volume, float(1000 * (k + 1)));
        EXPECT_FLOAT_EQ(m[k].other2, 0);  // the slot the loader leaves out
        EXPECT_FLOAT_EQ(m[k].low, m[k].price - 0.05f);
    }
    // Today's day bar merges into the day series; the five-minute series is built from the
    // minutes alone (the minute file is never read as K records).
    WriteBytes(root.Path("hqdata\\sz\\day\\SZ000001_0.day"), DayFile(5));
    EXPECT_EQ(s.stock.PrepareData(dataK, ktypeDay, true), 6);
    EXPECT_EQ(s.stock.GetKDataDay()[5].date, 20261210u);
    EXPECT_EQ(root.Db().LoadKData(&s.stock, 1), 49);
    const CKData& m5 = s.stock.GetKDataMin5();
    for (int i = 0; i < m5.GetSize(); ++i) EXPECT_EQ(CTimeStamp(m5[i].time).GetDateNumber(), 20261210);
}

TEST(StoreFiles, SignalsTicksOutlineAndBaseText) {
    TempRoot root;
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    std::string sgn;
    for (DWORD k : {20200101u, 20200105u, 20200103u}) AppendPod(sgn, SIGNAL_RECORD{k, k % 2 + 1});
    WriteBytes(root.Path("hqdata\\sh\\signal\\600000_1.sgn"), sgn);
    EXPECT_EQ(s.stock.PrepareData(dataSignal, 0, false), 3);
    DWORD v = 0;
    EXPECT_TRUE(s.stock.GetSignal().Lookup(20200105, &v));
    EXPECT_EQ(v, 2u);
    EXPECT_EQ(s.stock.GetSignal().GetMinKey(), 20200101u);

    std::string fbl, fbs;
    for (DWORD i = 0; i < 2; ++i) AppendPod(fbl, FENBI{{i, 2, 3, 4, 5}});
    for (DWORD i = 0; i < 3; ++i) AppendPod(fbs, FENBI{{100 + i, 7, 8, 9, 1}});
    WriteBytes(root.Path("hqdata\\sh\\fenbi\\600000_1.fbl"), fbl);
    WriteBytes(root.Path("hqdata\\sh\\fenbi\\600000_1.fbs"), fbs);
    EXPECT_EQ(s.stock.PrepareData(dataFenbiL, 0, false), 2);
    EXPECT_EQ(s.stock.PrepareData(dataFenbiS, 0, false), 3);
    EXPECT_EQ(s.stock.GetFenbiS()[2].values[0], 102u);
    EXPECT_EQ(std::memcmp(s.stock.GetFenbiL().GetData(), fbl.data(), fbl.size()), 0);

    std::string outline;
    for (DWORD i = 0; i < 2; ++i) {
        OUTLINE o;
        for (DWORD j = 0; j < 13; ++j) o.values[j] = i * 100 + j;
        AppendPod(outline, o);
    }
    WriteBytes(root.Path("hqdata\\clkoutln.out"), outline + "xx");
    EXPECT_EQ(s.stock.PrepareData(dataOutline, 0, false), 2);
    EXPECT_EQ(s.stock.GetOutline()[1].values[12], 112u);

    WriteBytes(root.Path("hqdata\\sh\\bas\\600000_1.txt"), "公司概况");
    EXPECT_EQ(s.stock.PrepareData(dataBaseText, 0, false), 8);
    EXPECT_STREQ(s.stock.GetBaseText(), "公司概况");
}

TEST(StoreFiles, WritersReplaceWholeFilesAndRefuseBadBodies) {
    TempRoot root;
    CStDatabase& db = root.Db();
    const std::string day = root.Path("hqdata\\sh\\day\\SH600000_1.day");
    const std::string good = DayFile(4);
    EXPECT_EQ(db.StoreDay(day.c_str(), good.data(), int(good.size())), int(good.size()));
    EXPECT_EQ(ReadBytes(day), good);
    const std::string gz = std::string("\x1f\x8b\x08\x00", 4) + std::string(28, '\0');
    struct Bad {
        const char* what;
        std::string body;
    } bad[] = {{"empty", ""},
               {"short", good.substr(0, 40)},
               {"gzip", gz},
               {"garbage of whole records", GarbageBytes(4000, 7)},
               {"bars not in date order", DayFile(2) + DayFile(2)}};
    for (const Bad& b : bad) {
        EXPECT_EQ(db.StoreDay(day.c_str(), b.body.data(), int(b.body.size())), 0) << b.what;
        EXPECT_EQ(ReadBytes(day), good) << b.what;
    }
    const std::string min = root.Path("hqdata\\sh\\min\\600000_1.min");
    const std::string minute = MinuteFile(kHeaderTime, 10);
    EXPECT_EQ(db.StoreMinute(min.c_str(), minute.data(), int(minute.size())), 8314);
    EXPECT_EQ(db.StoreMinute(min.c_str(), minute.data(), 8000), 0);
    const std::string minuteGarbage = GarbageBytes(8314, 11);
    EXPECT_EQ(db.StoreMinute(min.c_str(), minuteGarbage.data(), 8314), 0);
    EXPECT_EQ(ReadBytes(min), minute);
    const std::string sgn = root.Path("hqdata\\sh\\signal\\600000_1.sgn");
    EXPECT_EQ(db.StoreSignal(sgn.c_str(), "12345678", 8), 8);
    EXPECT_EQ(db.StoreSignal(sgn.c_str(), "1234567", 7), 0);
    const std::string fbs = root.Path("hqdata\\sh\\fenbi\\600000_1.fbs");
    const std::string ticks = TickFile(kHeaderTime - 3600, 40);
    EXPECT_EQ(db.StoreFenbi(fbs.c_str(), ticks.data(), int(ticks.size())), int(ticks.size()));
    EXPECT_EQ(db.StoreFenbi(fbs.c_str(), ticks.data(), 30), 0);
    const std::string tickGarbage = GarbageBytes(4000, 13);
    EXPECT_EQ(db.StoreFenbi(fbs.c_str(), tickGarbage.data(), 4000), 0);
    EXPECT_EQ(ReadBytes(fbs), ticks);
    const std::string txt = root.Path("hqdata\\sh\\bas\\600000_1.txt");
    EXPECT_EQ(db.StoreFile(txt.c_str(), "abc", 3), 3);
    // Paths that leave the store are refused, whatever the body.
    const std::string outside = root.Folder() + "evil.day";
    const std::string climbing = root.Path("hqdata\\..\\evil.day");
    EXPECT_EQ(db.StoreDay(outside.c_str(), good.data(), int(good.size())), 0);
    EXPECT_EQ(db.StoreFile(climbing.c_str(), "abc", 3), 0);
    EXPECT_FALSE(velmora::FileExists(outside.c_str()));
    // No temporary file stays behind.
    std::vector<std::string> files;
    ListDirectory(root.Path("hqdata\\sh\\day").c_str(), files, kListFiles);
    EXPECT_EQ(files, std::vector<std::string>{"SH600000_1.day"});
    // Without a store nothing is written.
    CStDatabase none;
    EXPECT_EQ(none.StoreDay(day.c_str(), good.data(), int(good.size())), 0);
}

namespace {

void TakeLine(const char* line, void* lines) { static_cast<std::vector<std::string>*>(lines)->push_back(line); }

}  // namespace

TEST(StoreFiles, ARefusedBodyLeavesATraceNamingFileAndReason) {
    TempRoot root;
    CStDatabase& db = root.Db();
    const std::string day = root.Path("hqdata\\sh\\day\\SH600000_1.day");
    std::vector<std::string> lines;
    void* previousContext = nullptr;
    LogSink previous = SetLogSink(&TakeLine, &lines, &previousContext);
    const std::string unordered = DayFile(2) + DayFile(2);
    EXPECT_EQ(db.StoreDay(day.c_str(), unordered.data(), int(unordered.size())), 0);
    const std::string good = DayFile(4);
    EXPECT_EQ(db.StoreDay(day.c_str(), good.data(), int(good.size())), int(good.size()));
    SetLogSink(previous, previousContext);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "CSelfDB::WriteChecked: " + day + ": record 2: date does not follow the bar before, refused");
}

// ---------------------------------------------------------------------------------------------
// Bad input: each reader answers 0, and no stored file changes.

TEST(StoreFiles, BadInputTable) {
    TempRoot root;
    CStDatabase& db = root.Db();
    const std::string garbage = [] {
        std::string g;
        uint32_t x = 12345;
        for (int i = 0; i < 8314; ++i) {
            x = x * 1103515245u + 12345u;
            g += char(x >> 24);
        }
        return g;
    }();
    struct Case {
        const char* what;
        const char* file;
        std::string bytes;
        int type;  // StoreDataType loaded through the stock
        int64_t sparseSize;
    } cases[] = {
        {"truncated day", "hqdata\\sh\\day\\SH600000_1.day", DayFile(1).substr(0, 31), dataK, 0},
        {"empty day", "hqdata\\sh\\day\\SH600000_1.day", "", dataK, 0},
        {"oversized day", "hqdata\\sh\\day\\SH600000_1.day", "", dataK, kMaxDataFileSize + 32},
        {"truncated minute", "hqdata\\sh\\min\\600000_1.min", MinuteFile(kHeaderTime, 10).substr(0, 8000), dataMinute, 0},
        {"long minute", "hqdata\\sh\\min\\600000_1.min", MinuteFile(kHeaderTime, 10) + "x", dataMinute, 0},
        {"garbage minute", "hqdata\\sh\\min\\600000_1.min", garbage, dataMinute, 0},
        {"empty minute", "hqdata\\sh\\min\\600000_1.min", "", dataMinute, 0},
        {"truncated signal", "hqdata\\sh\\signal\\600000_1.sgn", "1234567", dataSignal, 0},
        {"truncated ticks", "hqdata\\sh\\fenbi\\600000_1.fbs", std::string(19, 'x'), dataFenbiS, 0},
        {"truncated outline", "hqdata\\clkoutln.out", std::string(51, 'x'), dataOutline, 0},
        {"oversized text", "hqdata\\sh\\bas\\600000_1.txt", "", dataBaseText, CStock::kMaxBaseText + 1},
        {"garbage block file", "hqdata\\shse.rpt", garbage, dataReport, 0},
        {"empty block file", "hqdata\\shse.rpt", "", dataReport, 0},
    };
    for (const Case& c : cases) {
        const std::string path = root.Path(c.file);
        if (c.sparseSize) {
            WriteBytes(path, "");
            std::filesystem::resize_file(path, uintmax_t(c.sparseSize));
        } else {
            WriteBytes(path, c.bytes);
        }
        const std::string before = c.sparseSize ? std::string() : ReadBytes(path);
        Loaded s(db, kMarketShangHai, "600000_1");
        EXPECT_EQ(s.stock.PrepareData(c.type, ktypeDay, true), 0) << c.what;
        if (c.type == dataMinute && c.bytes.size() != 8314) {
            EXPECT_EQ(s.stock.GetReport().GetSize(), 0) << c.what;
        }
        if (!c.sparseSize) {
            EXPECT_EQ(ReadBytes(path), before) << c.what;
        }
        std::filesystem::remove(path);
    }
    // A code list of garbage and one too large.
    WriteBytes(root.Path("hqdata\\codelist.dat"), std::string(67, 'S'));
    CStockContainer c;
    EXPECT_EQ(db.LoadCodeTable(c), 0);

    // Hostile codes never become paths, for reads or writes.
    const std::string target = root.Folder() + "secret.day";
    WriteBytes(target, DayFile(3));
    for (const char* code : {"..", "../secret", "..\\secret", "a/b", "c:x", "60 00", "名称"}) {
        CStockInfo info;
        info.SetStockCode(kMarketShangHai, code);
        EXPECT_EQ(db.GetFileName(dataK, info, ktypeDay), "") << code;
        CStock stock;
        stock.SetStockInfo(&info);
        stock.SetDatabase(&db);
        EXPECT_EQ(stock.PrepareData(dataK, ktypeDay, true), 0) << code;
        EXPECT_EQ(stock.PrepareData(dataMinute, 0, true), 0) << code;
    }
    EXPECT_EQ(ReadBytes(target), DayFile(3));
}

TEST(StoreNames, SafePathComponents) {
    struct Case {
        const char* name;
        bool safe;
    } cases[] = {
        {"行业板块", true}, {"g001.dat", true}, {"A B", true}, {"", false}, {".", false}, {"..", false},
        {"a..b", false}, {"a\\b", false}, {"a/b", false}, {"c:", false}, {"x*", false}, {"nul", false},
        {"COM1.txt", false}, {"LPT9", false}, {"trail.", false}, {"trail ", false}, {"tab\t", false},
        // A GBK character whose trail byte is a backslash is one character, not a separator.
        {"\xD5\x5C", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSafePathComponent(c.name), c.safe) << c.name;
    EXPECT_TRUE(IsSafeCode("1A0001_1"));
    EXPECT_FALSE(IsSafeCode("1A0001.1"));
    EXPECT_FALSE(IsSafeCode("0123456789012345"));
}

// ---------------------------------------------------------------------------------------------
// Block file of quote reports

namespace {

// A block file with an empty index of the given slots.
void MakeBlockFile(const std::string& path, int slots, int perBlock) {
    std::string bytes;
    TSK_HEADER h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.tag, "CLKF", 4);
    h.indexOffset = int32_t(sizeof h);
    h.entrySize = 36;
    h.slotCount = slots;
    h.recordSize = 142;
    h.recordsPerBlock = perBlock;
    h.freeHead = -1;
    AppendPod(bytes, h);
    for (int i = 0; i < slots; ++i) {
        TSK_ENTRY e;
        std::memset(&e, 0, sizeof e);
        std::memcpy(e.tag, "INDX", 4);
        AppendPod(bytes, e);
    }
    WriteBytes(path, bytes);
}

// The first bytes of a file, without reading a long one whole.
std::string HeadBytes(const std::string& path, size_t n) {
    std::string out(n, '\0');
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::string();
    out.resize(std::fread(&out[0], 1, n, f));
    std::fclose(f);
    return out;
}

REPORT_FILE_RECORD Quote(const char* code, int32_t time, float volume) {
    REPORT_FILE_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.market = kMarketShangHai;
    std::strncpy(r.code, code, sizeof r.code - 1);
    r.time = time;
    r.prevClose = 9;
    r.open = r.high = r.low = r.close = 10;
    r.volume = volume;
    r.amount = volume * 10;
    return r;
}

}  // namespace

// The file system's identity of the file at path (0 when missing): a new one after a replacement.
static uint64_t FileIdentity(const std::string& path) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    uint64_t id = GetFileInformationByHandle(h, &info) ? (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
    CloseHandle(h);
    return id;
#else
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_ino) : 0;
#endif
}

TEST(BlockFile, RoundTripRewriteAndCollisions) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\shse.rpt");
    MakeBlockFile(path, 3, 16);
    const int32_t t0 = CTimeStamp(2026, 12, 10, 9, 31, 0).GetTime();
    // 120 valid quotes and 60 without a time: the load keeps 120 and, having dropped more than
    // 50, writes them back.
    std::vector<REPORT_FILE_RECORD> quotes;
    for (int i = 0; i < 180; ++i) quotes.push_back(i % 3 == 2 ? Quote("600000_1", 0, 1) : Quote("600000_1", t0 + i * 30, float(100 + i)));
    {
        std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
        CTSKFile f;
        ASSERT_TRUE(f.Open(path.c_str()));
        EXPECT_EQ(f.WriteRecords(kMarketShangHai, "600000_1", quotes.data(), 142, 180, false), 180);
        // Three codes in three slots: every slot taken, the index probes across its end.
        std::vector<REPORT_FILE_RECORD> other{Quote("600001_1", t0, 5), Quote("600001_1", t0 + 60, 6)};
        EXPECT_EQ(f.WriteRecords(kMarketShangHai, "600001_1", other.data(), 142, 2, false), 2);
        EXPECT_EQ(f.WriteRecords(kMarketShangHai, "600002_1", other.data(), 142, 1, false), 1);
        EXPECT_EQ(f.WriteRecords(kMarketShangHai, "600003_1", other.data(), 142, 1, false), 0);  // index full
        EXPECT_EQ(f.GetRecordCount(kMarketShangHai, "600001_1"), 2);
        EXPECT_EQ(f.GetHeader().usedCount, 3);
        f.Close();
    }
    // The write-back goes to a copy that then takes the file's place: a run killed meanwhile
    // leaves the old file whole, and nothing else stays in the folder.
    const uint64_t before = FileIdentity(path);
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    EXPECT_EQ(s.stock.PrepareData(dataReport, 0, false), 120);
    EXPECT_EQ(s.stock.GetReport()[0].time, t0);
    EXPECT_NE(FileIdentity(path), before) << "rewritten in place";
    std::vector<std::string> names;
    ListDirectory(root.Path("hqdata").c_str(), names, kListFiles);
    EXPECT_EQ(names, std::vector<std::string>{"shse.rpt"});
    CTSKFile f;
    ASSERT_TRUE(f.Open(path.c_str()));
    EXPECT_EQ(f.GetRecordCount(kMarketShangHai, "600000_1"), 120);
    EXPECT_GT(f.GetHeader().freeHead, 0);  // the chain's later blocks went to the free list
    EXPECT_GT(f.GetHeader().closeTime, 0);
    std::vector<REPORT_FILE_RECORD> back(2);
    EXPECT_EQ(f.ReadRecords(kMarketShangHai, "600001_1", back.data(), 142, 2), 2);
    EXPECT_EQ(back[1].volume, 6);
    EXPECT_EQ(f.ReadRecords(kMarketShangHai, "600001_1", back.data(), 142, 1), 0);  // too small
    f.Close();
    // A second load drops nothing and leaves the records as they are.
    EXPECT_EQ(s.stock.PrepareData(dataReport, 0, true), 120);
}

// Quotes that cannot be real (a NaN or huge price, a negative volume, a time after the
// service's tomorrow) among real ones: the load gives the real ones alone.
TEST(BlockFile, QuotesThatCannotBeRealAreDropped) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\shse.rpt");
    MakeBlockFile(path, 4, 16);
    const int32_t t0 = CTimeStamp(2026, 12, 10, 9, 31, 0).GetTime();
    std::vector<REPORT_FILE_RECORD> quotes;
    for (int i = 0; i < 30; ++i) quotes.push_back(Quote("600000_1", t0 + i * 60, float(100 + i)));
    quotes[3].close = std::nanf("");
    quotes[7].high = 7337288.0f * 1000;
    quotes[11].sellPrice[2] = INFINITY;
    quotes[15].buyVolume[4] = -100;
    quotes[19].time = StoreClockNow() + 3 * 86400;
    {
        std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
        CTSKFile f;
        ASSERT_TRUE(f.Open(path.c_str()));
        ASSERT_EQ(f.WriteRecords(kMarketShangHai, "600000_1", quotes.data(), 142, 30, false), 30);
        f.Close();
    }
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    EXPECT_EQ(s.stock.PrepareData(dataReport, 0, false), 25);
    const ReportArray& loaded = s.stock.GetReport();
    for (int i = 0; i < loaded.GetSize(); ++i) {
        const REPORT& q = loaded[i];
        EXPECT_TRUE(std::isfinite(q.close) && q.high < 1000 && q.time < t0 + 30 * 60) << i;
        for (int k = 0; k < 5; ++k) {
            EXPECT_TRUE(std::isfinite(q.sellPrice[k]) && q.buyVolume[k] >= 0) << i;
        }
    }
}

TEST(BlockFile, CorruptFilesEndCleanly) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\shse.rpt");
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    auto patchHeader = [&](auto change) {
        std::string bytes = ReadBytes(path);
        TSK_HEADER h;
        std::memcpy(&h, bytes.data(), sizeof h);
        change(h);
        std::memcpy(&bytes[0], &h, sizeof h);
        WriteBytes(path, bytes);
    };
    // Wrong tag, zero slots, an index past the end, a zero block size: refused.
    MakeBlockFile(path, 4, 8);
    patchHeader([](TSK_HEADER& h) { h.tag[0] = 'X'; });
    CTSKFile f;
    EXPECT_FALSE(f.Open(path.c_str()));
    MakeBlockFile(path, 4, 8);
    patchHeader([](TSK_HEADER& h) { h.slotCount = 0; });
    EXPECT_FALSE(f.Open(path.c_str()));
    EXPECT_EQ(s.stock.PrepareData(dataReport, 0, true), 0);
    MakeBlockFile(path, 4, 8);
    patchHeader([](TSK_HEADER& h) { h.slotCount = 1000; });
    EXPECT_FALSE(f.Open(path.c_str()));
    MakeBlockFile(path, 4, 8);
    patchHeader([](TSK_HEADER& h) { h.recordsPerBlock = 0; });
    EXPECT_FALSE(f.Open(path.c_str()));

    // A chain that loops back on itself and a record count far beyond the file.
    MakeBlockFile(path, 4, 8);
    const int32_t t0 = CTimeStamp(2026, 12, 10, 9, 31, 0).GetTime();
    std::vector<REPORT_FILE_RECORD> quotes;
    for (int i = 0; i < 20; ++i) quotes.push_back(Quote("600000_1", t0 + i * 30, float(100 + i)));
    ASSERT_TRUE(f.Open(path.c_str()));
    ASSERT_EQ(f.WriteRecords(kMarketShangHai, "600000_1", quotes.data(), 142, 20, false), 20);
    f.Close();
    std::string bytes = ReadBytes(path);
    const size_t block = sizeof(TSK_BLOCK) + 8 * 142;
    const size_t first = sizeof(TSK_HEADER) + 4 * sizeof(TSK_ENTRY);
    TSK_BLOCK last;
    std::memcpy(&last, &bytes[first + 2 * block], sizeof last);
    last.next = int32_t(first);
    std::memcpy(&bytes[first + 2 * block], &last, sizeof last);
    for (size_t at = sizeof(TSK_HEADER); at < first; at += sizeof(TSK_ENTRY)) {
        TSK_ENTRY e;
        std::memcpy(&e, &bytes[at], sizeof e);
        if (e.code[0]) e.recordCount = 0x7FFFFFFF;
        std::memcpy(&bytes[at], &e, sizeof e);
    }
    WriteBytes(path, bytes);
    int n = s.stock.PrepareData(dataReport, 0, true);
    EXPECT_GE(n, 20);
    EXPECT_LT(n, 100);
}

TEST(BlockFile, NewEntryKeepsTheSlotsLastField) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\shse.rpt");
    MakeBlockFile(path, 4, 8);
    // Free slots whose last field and code bytes hold something already.
    std::string bytes = ReadBytes(path);
    for (int k = 0; k < 4; ++k) {
        TSK_ENTRY e;
        const size_t at = sizeof(TSK_HEADER) + size_t(k) * sizeof e;
        std::memcpy(&e, &bytes[at], sizeof e);
        e.kept = 0xA5A50000u + DWORD(k);
        std::memset(e.code + 1, 'Z', sizeof e.code - 1);
        std::memcpy(&bytes[at], &e, sizeof e);
    }
    WriteBytes(path, bytes);
    const int32_t t0 = CTimeStamp(2026, 12, 10, 9, 31, 0).GetTime();
    REPORT_FILE_RECORD q = Quote("600000_1", t0, 100);
    {
        CTSKFile f;
        ASSERT_TRUE(f.Open(path.c_str()));
        ASSERT_EQ(f.WriteRecords(kMarketShangHai, "600000_1", &q, 142, 1, false), 1);
        f.Close();
    }
    bytes = ReadBytes(path);
    const uint32_t slot = TskHashCode("600000_1") % 4;
    TSK_ENTRY e;
    std::memcpy(&e, &bytes[sizeof(TSK_HEADER) + slot * sizeof e], sizeof e);
    EXPECT_EQ(e.kept, 0xA5A50000u + slot);
    EXPECT_EQ(std::string(e.code, sizeof e.code), std::string("600000_1") + std::string(8, '\0'));
    EXPECT_EQ(e.market, kMarketShangHai);
    EXPECT_EQ(e.recordCount, 1);
    EXPECT_GT(e.firstBlock, 0);
}

TEST(BlockFile, QuoteCountsBeyondBlocksOrMemoryAreRefused) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\shse.rpt");
    Loaded s(root.Db(), kMarketShangHai, "600000_1");
    const int32_t t0 = CTimeStamp(2026, 12, 10, 9, 31, 0).GetTime();
    // One stock with one block of records, a stated count and a file length; the file is sparse
    // past the block, so even the long ones cost neither disk nor time.
    struct Case {
        const char* what;
        int32_t recordSize, perBlock, used, count;
        int64_t length;
        int loaded;     // quotes the load gives
        int refused;    // 1 when the file must stay byte for byte as it was
    } cases[] = {
        {"record size 1, huge count, 16 MB", 1, 1, 1, 0x7FFFFFFF, 16 << 20, 0, 1},
        {"record too short for a quote", 100, 8, 8, 8, 0, 0, 1},
        {"more quotes than one stock may have", 142, 250000, 250000, kMaxReportRecords + 1, 0, 0, 1},
        {"count beyond the blocks", 142, 16, 10, 0x7FFFFFFF, 0, 10, 0},
        {"negative count", 142, 16, 10, -5, 0, 0, 0},
        {"a block that claims more than it holds", 142, 16, 1000, 12, 0, 12, 0},
    };
    for (const Case& c : cases) {
        std::string bytes;
        TSK_HEADER h;
        std::memset(&h, 0, sizeof h);
        std::memcpy(h.tag, "CLKF", 4);
        h.indexOffset = int32_t(sizeof h);
        h.entrySize = 36;
        h.slotCount = 4;
        h.usedCount = 1;
        h.recordSize = c.recordSize;
        h.recordsPerBlock = c.perBlock;
        h.freeHead = -1;
        AppendPod(bytes, h);
        const int32_t firstBlock = int32_t(sizeof h + 4 * sizeof(TSK_ENTRY));
        const uint32_t slot = TskHashCode("600000_1") % 4;
        for (uint32_t k = 0; k < 4; ++k) {
            TSK_ENTRY e;
            std::memset(&e, 0, sizeof e);
            std::memcpy(e.tag, "INDX", 4);
            if (k == slot) {
                e.market = kMarketShangHai;
                std::strcpy(e.code, "600000_1");
                e.firstBlock = firstBlock;
                e.recordCount = c.count;
            }
            AppendPod(bytes, e);
        }
        TSK_BLOCK b;
        std::memcpy(b.tag, "BLCK", 4);
        b.inUse = 1;
        b.dataOffset = firstBlock + int32_t(sizeof b);
        b.used = c.used;
        b.next = -1;
        b.reserved = 0;
        AppendPod(bytes, b);
        const int whole = std::min(c.used, c.perBlock);
        if (c.recordSize == 142) {
            for (int i = 0; i < std::min(whole, 64); ++i) AppendPod(bytes, Quote("600000_1", t0 + i * 30, float(100 + i)));
        }
        WriteBytes(path, bytes);
        const int64_t blockEnd = int64_t(firstBlock) + int64_t(sizeof b) + int64_t(c.perBlock) * c.recordSize;
        std::filesystem::resize_file(path, uintmax_t(std::max(c.length, blockEnd)));
        const std::string before = HeadBytes(path, 4096);

        s.stock.GetReport().SetSize(3);
        EXPECT_EQ(s.stock.PrepareData(dataReport, 0, true), c.loaded) << c.what;
        EXPECT_EQ(s.stock.GetReport().GetSize(), c.loaded) << c.what;
        if (c.refused) {
            EXPECT_EQ(HeadBytes(path, 4096), before) << c.what;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Code-state map

TEST(CodeState, KeysFileRoundTripAndStaleness) {
    TempRoot root;
    const std::string path = root.Path("hqdata\\codestate.dat");
    CodeStateMap map;
    map.SetCodeState("600000_1", codeStateDay, 100);
    map.SetCodeState("600000_1", codeStateMinute, 200);
    map.SetCodeState("600000_1", codeStateTick, 300);
    map.SetCodeState("600000_1", codeStateOther, 400);
    map.SetCodeState("600000_1", 7, 401);
    map.SaveToFile(path.c_str());
    EXPECT_EQ(ReadBytes(path), "600000_1_0;200\n600000_1_1;100\n600000_1_2;401\n600000_1_3;300\n");

    WriteBytes(path, ReadBytes(path) + "600000_1_1;999\r\nno-separator\n;5\n" + std::string(300, 'k') + ";7\n");
    CodeStateMap loaded;
    EXPECT_EQ(loaded.LoadCodeStateFile(path.c_str()), 1);
    int32_t t = 0;
    EXPECT_TRUE(loaded.GetCodeState("600000_1", codeStateDay, &t));
    EXPECT_EQ(t, 100);  // the first entry of a key wins
    // Four keys, the line without a separator, and the long line as one entry (an empty key and
    // the repeated key add nothing).
    EXPECT_EQ(loaded.GetCount(), 6u);
    EXPECT_EQ(CodeStateMap().LoadCodeStateFile(root.Path("hqdata\\none.dat").c_str()), 1);

    const int32_t S = 1000000;
    struct Case {
        int kind;
        bool flag;
        int64_t stored;  // -1: no entry
        bool stale;
    } cases[] = {
        {codeStateDay, false, -1, true},       {codeStateDay, false, S - 1, true},
        {codeStateDay, true, S, false},        {codeStateOther, true, S, false},
        {codeStateMinute, true, S, true},      {codeStateMinute, true, S + 28799, true},
        {codeStateMinute, true, S + 28800, false}, {codeStateMinute, false, S, false},
        {codeStateMinute, false, S - 1, true}, {codeStateTick, true, S, true},
        {codeStateTick, false, S + 1, false},
    };
    for (const Case& c : cases) {
        CodeStateMap m;
        if (c.stored >= 0) m.SetCodeState("X", c.kind, int32_t(c.stored));
        EXPECT_EQ(m.NeedsUpdate("X", c.kind, S, c.flag), c.stale) << c.kind << " " << c.flag << " " << c.stored;
    }

    // The process-wide map lives in hqdata\codestate.dat under the program folder.
    SetProgramFolder(root.Folder().c_str());
    WriteBytes(path, "A_1;5\n");
    ASSERT_NE(GetCodeStateMap(), nullptr);
    EXPECT_TRUE(GetCodeStateMap()->GetCodeState("A", codeStateDay, &t));
    SetCodeState("B", codeStateMinute, 6);
    SaveAndFreeCodeStateMap();
    EXPECT_EQ(ReadBytes(path), "A_1;5\nB_0;6\n");
    SetProgramFolder(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Stock container and domain files

TEST(Container, CursorStepsAndDisplayOrder) {
    CStockContainer c;
    for (const char* code : {"600000_1", "600001_1", "600002_1"}) {
        CStockInfo s;
        s.SetStockCode(kMarketShangHai, code);
        c.Add(s);
    }
    CStockInfo out;
    for (int expected : {0, 1, 2}) {
        EXPECT_EQ(c.GetNextStock(&out), 1);
        EXPECT_EQ(c.GetCurrentIndex(), expected);
    }
    EXPECT_EQ(c.GetNextStock(&out), 0);
    EXPECT_EQ(c.GetCurrentIndex(), -1);
    EXPECT_EQ(c.GetPrevStock(&out), 1);
    EXPECT_EQ(c.GetCurrentIndex(), 2);

    c.SetCurrentStockIndex(1);
    std::vector<CStockInfo> next;
    EXPECT_EQ(c.GetNextStocks(next, 4), 1);
    ASSERT_EQ(next.size(), 4u);
    EXPECT_STREQ(next[0].GetStockCode(), "600002_1");
    EXPECT_STREQ(next[1].GetStockCode(), "600000_1");
    EXPECT_STREQ(next[3].GetStockCode(), "600002_1");

    c.SetDisplayOrder({2, 0, 1});
    c.SetCurrentStockIndex(0);
    EXPECT_EQ(c.GetNextStock(&out), 1);
    EXPECT_EQ(c.GetCurrentIndex(), 1);
    EXPECT_EQ(c.GetNextStock(&out), 0);

    EXPECT_EQ(c.SetCurrentStock("000002_0"), 0);
    EXPECT_EQ(c.GetCurrentStock(&out), 1);
    EXPECT_STREQ(out.GetStockCode(), "000002_0");
    EXPECT_EQ(out.GetMarket(), kMarketShenZhen);

    // After a failed step the current code names the stock the cursor was on, never a code set
    // before the cursor moved.
    c.SetDisplayOrder({});
    struct Step {
        int from;
        bool next;
        const char* code;
    } steps[] = {{2, true, "600002_1"}, {0, false, "600000_1"}};
    for (const Step& st : steps) {
        EXPECT_EQ(c.SetCurrentStock("000002_0"), 0);
        EXPECT_EQ(c.SetCurrentStockIndex(st.from), 1);
        EXPECT_EQ(st.next ? c.GetNextStock(&out) : c.GetPrevStock(&out), 0);
        EXPECT_EQ(c.GetCurrentIndex(), -1);
        EXPECT_EQ(c.GetCurrentStock(&out), 1);
        EXPECT_STREQ(out.GetStockCode(), st.code);
        EXPECT_EQ(out.GetMarket(), kMarketShangHai);
    }
    // A list loaded anew under the cursor: the failed step names the stock now under it.
    EXPECT_EQ(c.SetCurrentStockIndex(2), 1);
    c.Clear();
    for (const char* code : {"000001_0", "000002_0", "000003_0"}) {
        CStockInfo s;
        s.SetStockCode(kMarketShenZhen, code);
        c.Add(s);
    }
    EXPECT_EQ(c.GetNextStock(&out), 0);
    EXPECT_EQ(c.GetCurrentStock(&out), 1);
    EXPECT_STREQ(out.GetStockCode(), "000003_0");
}

TEST(Container, AggregatesArePlainAndShareWeighted) {
    CStockContainer c;
    const float prices[2] = {10, 20};
    const float shares[2] = {1, 3};
    for (int i = 0; i < 3; ++i) {
        CStockInfo s;
        s.SetStockCode(kMarketShangHai, i == 2 ? "600009_1" : i ? "600001_1" : "600000_1");
        s.SetType(i == 2 ? 19 : 17);  // the bond is skipped
        s.m_fClose = i == 2 ? 1000 : prices[i];
        s.m_fBase[baseTotalShares - 1] = i == 2 ? 5 : shares[i];
        s.m_fBeta = i == 1 ? float(kNotComputed) : 1.5f;
        KDATA bar;
        std::memset(&bar, 0, sizeof bar);
        bar.date = 20261210;
        bar.close = s.m_fClose;
        s.m_kdata.Add(bar);
        c.Add(s);
    }
    c.ComputeAggregates();
    EXPECT_FLOAT_EQ(c.GetAverage().m_fClose, 15);
    EXPECT_FLOAT_EQ(c.GetWeightedAverage().m_fClose, 17.5f);
    EXPECT_FLOAT_EQ(c.GetAverage().m_fBeta, 1.5f);
    ASSERT_EQ(c.GetAverage().m_kdata.GetSize(), 1);
    EXPECT_FLOAT_EQ(c.GetAverage().m_kdata[0].close, 15);
    EXPECT_FLOAT_EQ(c.GetWeightedAverage().m_kdata[0].close, 17.5f);
    EXPECT_STREQ(c.GetAverage().GetStockCode(), "AVR");

    // Stocks without shares leave the weighted figures at 0, never NaN.
    CStockContainer z;
    for (int i = 0; i < 2; ++i) {
        CStockInfo s;
        s.SetStockCode(kMarketShangHai, i ? "600001_1" : "600000_1");
        s.m_fClose = 10;
        z.Add(s);
    }
    z.ComputeAggregates();
    EXPECT_EQ(z.GetWeightedAverage().m_fClose, 0);
}

TEST(Domains, DomainFileParsing) {
    TempRoot root;
    const std::string path = root.Path("history.dat");
    CDomainContainer d;
    WriteBytes(path, "  板块A \r\n600000_1\n600000_1\n\n板块A\r\n000001_0");
    EXPECT_EQ(d.LoadText(path.c_str()), 1);
    ASSERT_EQ(d.GetSize(), 2);
    EXPECT_EQ(d[0].m_strName, "板块A");
    EXPECT_EQ(d[0].GetSize(), 1);
    EXPECT_EQ(d[1].GetAt(0), "000001_0");
    WriteBytes(path, "板块A\n600000_1\n\n板块a\n000001_0\n\n");
    EXPECT_EQ(d.LoadText(path.c_str()), 1);
    EXPECT_EQ(d.GetSize(), 1);  // a name already present is refused
    WriteBytes(path, "");
    EXPECT_EQ(d.LoadText(path.c_str()), 0);
    EXPECT_EQ(d.LoadText(root.Path("missing.dat").c_str()), 0);
    EXPECT_EQ(d.LoadText(""), 0);

    // A long list: duplicates in any letter case are found through the folded set, which
    // follows removals, clearing and copies.
    std::string text = "大盘\n";
    const int kCodes = 40000;
    for (int i = 0; i < kCodes; ++i) text += StringPrintf("A%05d_%d\n", i, i % 2);
    for (int i = 0; i < kCodes; i += 7) text += StringPrintf("a%05d_%d\n", i, i % 2);
    WriteBytes(path, text);
    ASSERT_EQ(d.LoadText(path.c_str()), 1);
    ASSERT_EQ(d.GetSize(), 1);
    CDomain big = d[0];
    ASSERT_EQ(big.GetSize(), kCodes);
    EXPECT_EQ(big[kCodes - 1], StringPrintf("A%05d_%d", kCodes - 1, (kCodes - 1) % 2));
    CDomain copy = big;
    struct Op {
        const char* what;
        std::function<int(CDomain&)> run;
        int result, size;
    } ops[] = {
        {"add again, other case", [](CDomain& x) { return x.AddStock("a00005_1"); }, 0, kCodes},
        {"add a new code", [](CDomain& x) { return x.AddStock("B00001_1"); }, 1, kCodes + 1},
        {"remove in other case", [](CDomain& x) { return x.RemoveStock("a00005_1"); }, 1, kCodes},
        {"removed code is gone", [](CDomain& x) { return int(x.HasStock("A00005_1")); }, 0, kCodes},
        {"and can come back", [](CDomain& x) { return x.AddStock("A00005_1"); }, 1, kCodes + 1},
        {"remove by index", [](CDomain& x) { return int(x.RemoveAt(0)); }, 1, kCodes},
        {"its code can come back", [](CDomain& x) { return x.AddStock("a00000_0"); }, 1, kCodes + 1},
        {"index outside", [](CDomain& x) { return int(x.RemoveAt(kCodes + 1)); }, 0, kCodes + 1},
        {"remove a missing code", [](CDomain& x) { return x.RemoveStock("C00001_1"); }, 0, kCodes + 1},
        {"empty code", [](CDomain& x) { return x.AddStock(""); }, 0, kCodes + 1},
        {"clear", [](CDomain& x) { return x.RemoveAll(), 1; }, 1, 0},
        {"a cleared code is new", [](CDomain& x) { return x.AddStock("A00005_1"); }, 1, 1},
    };
    for (const Op& op : ops) {
        EXPECT_EQ(op.run(big), op.result) << op.what;
        EXPECT_EQ(big.GetSize(), op.size) << op.what;
    }
    // The copy kept its own codes and set.
    EXPECT_EQ(copy.GetSize(), kCodes);
    EXPECT_EQ(copy.AddStock("a00005_1"), 0);
    EXPECT_EQ(copy.AddStock("B00001_1"), 1);
    copy = big;
    EXPECT_EQ(copy.AddStock("A00006_0"), 1);
    EXPECT_EQ(copy.AddStock("a00005_1"), 0);
    // GBK names: a trail byte that looks like a letter is not folded.
    EXPECT_EQ(big.AddStock("\x81\x41"), 1);
    EXPECT_EQ(big.AddStock("\x81\x61"), 1);
    EXPECT_EQ(big.AddStock("\x81\x41"), 0);

    CDomainContainer& groups = GetGroupContainer();
    ASSERT_EQ(groups.GetSize(), 1);
    EXPECT_EQ(groups[0].m_strName, "自选股");
    groups.RemoveAll();
    EXPECT_EQ(GetGroupContainer().GetSize(), 1);
}

// ---------------------------------------------------------------------------------------------
// Stock holder and facade

namespace {
// A store that counts the loads it is asked for.
class CountingStore : public IStStore {
public:
    CountingStore() { m_bIsOK = 1; }
    int loads[32] = {0};
    int GetDBType() override { return 2; }
    const char* GetDBTypeName() override { return "count"; }
    int LoadCodeTable(CStockContainer&) override { return 0; }
    int StoreCodeTable(CStockContainer&) override { return 0; }
    int LoadBaseText(CStock*) override { return ++loads[dataBaseText], 0; }
    int LoadKData(CStock* s, int period) override {
        ++loads[dataK];
        CKData& k = s->GetKData(period);
        k.SetSize(0);
        k.SetKType(period);
        KDATA bar;
        std::memset(&bar, 0, sizeof bar);
        for (int i = 0; i < 100; ++i) {
            bar.date = 20200101 + DWORD(i);
            bar.open = bar.high = bar.low = bar.close = 10;
            k.Add(bar);
        }
        return k.GetSize();
    }
    int LoadReport(CStock* s) override { return ++loads[dataReport], s->GetReport().GetSize(); }
    int LoadMinute(CStock*) override { return ++loads[dataMinute], 0; }
    int LoadOutline(CStock*) override { return ++loads[dataOutline], 0; }
    int LoadSignal(CStock*) override { return ++loads[dataSignal], 0; }
    int LoadFenbiL(CStock*) override { return ++loads[dataFenbiL], 0; }
    int LoadFenbiS(CStock*) override { return ++loads[dataFenbiS], 0; }
    int GetFileName(std::string&, int, const CStockInfo*, int) override { return 0; }
    int StoreMinute(const char*, const void*, int) override { return -1; }
    int StoreDay(const char*, const void*, int) override { return -1; }
    int StoreSignal(const char*, const void*, int) override { return -1; }
    int StoreFenbi(const char*, const void*, int) override { return -1; }
    int LoadKDataEx(CStock* s) override { return ++loads[20], s->GetKDataDay().GetSize(); }
    int StoreFile(const char*, const void*, int) override { return -5; }
};
}  // namespace

TEST(Stock, PrepareDataCachesAndTheFacadeGuards) {
    CStDatabase db;
    auto owned = std::make_unique<CountingStore>();
    CountingStore* store = owned.get();
    db.SetStore(std::move(owned));
    CStock s;
    s.SetStockCode(kMarketShangHai, "600000_1");
    s.SetDatabase(&db);
    EXPECT_EQ(s.PrepareData(dataK, ktypeDay, false), 100);
    EXPECT_EQ(store->loads[dataK], 1);
    EXPECT_EQ(store->loads[20], 1);  // today's bar after every K load of the day series
    EXPECT_EQ(s.PrepareData(dataK, ktypeDay, false), 100);
    EXPECT_EQ(store->loads[dataK], 1);
    EXPECT_EQ(s.PrepareData(dataK, ktypeDay, true), 100);
    EXPECT_EQ(store->loads[20], 2);
    EXPECT_EQ(s.PrepareData(dataK, 8, true), 0);

    // The week series is kept while 20 x 5 bars cover the day series, rebuilt when fewer.
    CKData& week = s.GetKDataWeek();
    KDATA bar = s.GetKDataDay()[99];
    for (int n : {20, 19}) {
        week.SetSize(0);
        for (int i = 0; i < n; ++i) {
            bar.date = 20200410 - DWORD(n - 1 - i);
            week.Add(bar);
        }
        week[n - 1].date = s.GetKDataDay()[99].date;
        int got = s.ExtractKData(ktypeWeek, false);
        if (n == 20) EXPECT_EQ(got, 20);
        else EXPECT_NE(got, 19);
    }

    REPORT q;
    std::memset(&q, 0, sizeof q);
    s.GetReport().Add(q);
    EXPECT_EQ(s.PrepareData(dataReport, 0, false), 1);
    EXPECT_EQ(store->loads[dataReport], 0);
    EXPECT_EQ(s.PrepareData(dataReport, 0, true), 1);
    EXPECT_EQ(store->loads[dataReport], 1);

    EXPECT_TRUE(s.AllocBaseText(2097152));
    EXPECT_FALSE(s.AllocBaseText(2097153));
    EXPECT_EQ(&s.GetKData(0), &s.GetKDataDay());
    EXPECT_EQ(&s.GetKData(9), &s.GetKDataDay());
    EXPECT_STREQ(s.GetPlainCode(), "600000");

    // The facade: negative store results become 0, and a null stock is never passed on.
    EXPECT_EQ(db.StoreFile("x", "a", 1), 0);
    for (auto load : {&CStDatabase::LoadMinute, &CStDatabase::LoadReport, &CStDatabase::LoadSignal,
                      &CStDatabase::LoadBaseText, &CStDatabase::LoadKDataEx})
        EXPECT_EQ((db.*load)(nullptr), 0);
    EXPECT_EQ(db.LoadKData(nullptr, 5), 0);
    CStDatabase empty;
    EXPECT_EQ(empty.LoadKData(&s, 5), 0);
    char temp[300] = "x";
    EXPECT_EQ(empty.GetTempPath(temp, sizeof temp), 0);
    EXPECT_STREQ(temp, "");
}

TEST(Stock, PrepareStockDataBuildsWeekFromTheDaySeriesWhenAdjusted) {
    TempRoot root;
    WriteBytes(root.Path("hqdata\\sh\\day\\SH600000_1.day"), DayFile(60));
    // A week file that must not be read in an adjusted mode: twelve bars up to the last day.
    std::string wek;
    const int32_t t0 = CTimeStamp(2020, 1, 1, 0, 0, 0).GetTime();
    for (int i = 0; i < 12; ++i) AppendPod(wek, DayRecord(t0 + (59 - 7 * (11 - i)) * 86400, 500));
    WriteBytes(root.Path("hqdata\\sh\\day\\SH600000_1.wek"), wek);
    CStock s;
    s.SetStockCode(kMarketShangHai, "600000_1");
    EXPECT_EQ(PrepareStockData(&root.Db(), &s, ktypeWeek, exrightForward, priceClose, false, true), 1);
    const CKData& week = s.GetKDataWeek();
    ASSERT_GT(week.GetSize(), 2);
    for (int i = 0; i < week.GetSize(); ++i) EXPECT_LT(week[i].close, 100);
    // Back in plain mode the week file is read afresh.
    PrepareStockData(&root.Db(), &s, ktypeWeek, exrightNone, priceClose, false, false);
    EXPECT_EQ(s.GetKDataWeek().GetSize(), 12);
    EXPECT_FLOAT_EQ(s.GetKDataWeek()[0].close, 500);
}

TEST(Helpers, PathFolderAndWeekdays) {
    EXPECT_EQ(GetPathFolder("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(GetPathFolder("a/b/c"), "a/b/");
    EXPECT_EQ(GetPathFolder("name"), "name\\");
    EXPECT_EQ(GetPathFolder(""), "");
    const int32_t thursday = CTimeStamp(2026, 12, 10, 0, 30, 0).GetTime();  // 16:30 UTC on Wednesday
    EXPECT_EQ(GetWeekday(thursday), 5);
    EXPECT_EQ(AppendWeekdayName(thursday, "%d日", 10), "10日星期四");
    EXPECT_EQ(AppendWeekdayName(thursday, ""), "");
}
