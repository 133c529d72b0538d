#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/fsutil.h"
#include "base/text.h"
#include "net/download.h"
#include "net/services.h"
#include "store/codestate.h"
#include "store/groups.h"
#include "store_files.h"
#include "../net/test_servers.h"

using namespace store_test;

namespace {

std::string DayVersion(int n, float close) {
    std::string out;
    int32_t t0 = CTimeStamp(2020, 1, 1, 0, 0, 0).GetTime();
    for (int i = 0; i < n; ++i) AppendPod(out, DayRecord(t0 + i * 86400, close));
    return out;
}

}  // namespace

// A writer replaces the day and minute files while readers load them: every load sees one
// whole version, never a mixture or a partial file.
TEST(StoreThreads, ReadersNeverSeeAPartialFile) {
    TempRoot root;
    CStDatabase& db = root.Db();
    const std::string dayPath = root.Path("hqdata\\sh\\day\\SH600000_1.day");
    const std::string minPath = root.Path("hqdata\\sh\\min\\600000_1.min");
    const int32_t header = CTimeStamp(2026, 12, 10, 15, 0, 0).GetTime();
    const std::string days[2] = {DayVersion(100, 1), DayVersion(200, 2)};
    const std::string mins[2] = {MinuteFile(header, 10), MinuteFile(header, 20)};
    ASSERT_EQ(db.StoreDay(dayPath.c_str(), days[0].data(), int(days[0].size())), int(days[0].size()));
    ASSERT_EQ(db.StoreMinute(minPath.c_str(), mins[0].data(), int(mins[0].size())), 8314);

    std::atomic<bool> done{false};
    std::atomic<int> failures{0}, loads{0};
    std::thread writer([&] {
        for (int i = 0; i < 150; ++i) {
            const std::string& d = days[i % 2];
            const std::string& m = mins[i % 2];
            if (db.StoreDay(dayPath.c_str(), d.data(), int(d.size())) != int(d.size())) ++failures;
            if (db.StoreMinute(minPath.c_str(), m.data(), int(m.size())) != 8314) ++failures;
        }
        done = true;
    });
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            CStock s;
            s.SetStockCode(kMarketShangHai, "600000_1");
            s.SetDatabase(&db);
            while (!done.load()) {
                int n = db.LoadKData(&s, ktypeDay);
                const CKData& k = s.GetKDataDay();
                const float close = n == 100 ? 1.0f : 2.0f;
                if (n != 100 && n != 200) ++failures;
                for (int i = 0; i < k.GetSize(); ++i)
                    if (k[i].close != close) {
                        ++failures;
                        break;
                    }
                int m = db.LoadMinute(&s);
                if (m != 241 || s.GetReport().GetSize() != 1) ++failures;
                else {
                    const float base = s.GetReport()[0].open;
                    if (base != 10 && base != 20) ++failures;
                    for (int i = 0; i < m; ++i)
                        if (s.GetMinute()[i].price != base + float(i) / 100) {
                            ++failures;
                            break;
                        }
                }
                ++loads;
            }
        });
    writer.join();
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GT(loads.load(), 0);
}

// The code-state map and the sector maps are read while other threads change them.
TEST(StoreThreads, CodeStateMapAcrossThreads) {
    CodeStateMap map;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) map.SetCodeState(StringPrintf("%06d_1", i % 50).c_str(), i % 3, i);
    });
    int stale = 0;
    for (int i = 0; i < 2000; ++i) stale += map.NeedsUpdate(StringPrintf("%06d_1", i % 50).c_str(), 0, 1000, true);
    writer.join();
    EXPECT_EQ(map.GetCount(), 150u);
    EXPECT_GE(stale, 0);
}

TEST(StoreThreads, ContainerLookupsWhileStocksAreAdded) {
    CStockContainer c;
    std::thread writer([&] {
        for (int i = 0; i < 500; ++i) {
            CStockInfo s;
            s.SetStockCode(kMarketShangHai, StringPrintf("6%05d_1", i).c_str());
            c.Add(s);
        }
    });
    int found = 0;
    for (int i = 0; i < 500; ++i) {
        DWORD market = 0;
        found += c.LookupMarketAndKind(StringPrintf("6%05d_1", i % 100).c_str(), &market, nullptr);
    }
    writer.join();
    EXPECT_EQ(c.GetSize(), 500);
    EXPECT_GE(found, 0);
}

// The sector list from the fixture service fills hqdata\group and the sector maps.
TEST(SectorDownload, FillsTheGroupTreeFromTheService) {
    velmora_test::FixtureProcess fixture;
    std::string why;
    ASSERT_TRUE(fixture.Start({"--seed", "7", "--now", "2026-12-10 14:00"}, &why)) << why;
    TempRoot root;
    SetProgramFolder(root.Folder().c_str());
    char error[256];
    ASSERT_EQ(InitializeDatabase(error, sizeof error), 1) << error;
    SetSiteRootUrl(fixture.Url("/"));
    SetDataServerHost("127.0.0.1:" + std::to_string(fixture.Port()));

    // The code list arrives the way the shell fetches it: unpacked, then stored.
    const std::string codelist = root.Path("hqdata\\codelist.dat");
    auto store = [](const char*, const char* path, void*, const void* data, int size) {
        GetDatabase().StoreFile(path, data, size);
    };
    DownloadManager* manager = GetDownloadManager();
    ASSERT_NE(manager, nullptr);
    ASSERT_TRUE(manager->DownloadNow((GetServerRootUrl() + "hqdatagzip/codelist/codelist.ldt").c_str(), "",
                                     codelist.c_str(), store, nullptr, false, false, true));
    ASSERT_EQ(GetStockContainer().LoadFromDatabase(&GetDatabase(), 0, 10000), 1);
    ASSERT_GT(GetStockContainer().GetSize(), 300);

    struct Sink : CStockGroupDownloadNotif {
        std::vector<std::pair<std::string, int>> calls;
        void OnGroupProgress(std::string text, int percent) override { calls.emplace_back(text, percent); }
    } sink;
    CGroupDownloader* groups = GetGroupDownloader();
    ASSERT_EQ(groups->DownloadGroups(true, &sink), 1);
    ASSERT_GT(sink.calls.size(), 4u);
    EXPECT_EQ(sink.calls[0].first, "GroupInfo");
    EXPECT_EQ(sink.calls[1].second, 0);
    for (const auto& c : sink.calls) EXPECT_LT(c.second, 99);

    std::vector<std::string> categories;
    ListDirectory(CGroupDownloader::GetGroupRoot().c_str(), categories, kListFolders);
    EXPECT_EQ(categories.size(), 3u);
    std::shared_ptr<const CGroupDownloader::GroupList> list;
    std::shared_ptr<const CGroupDownloader::GroupIndex> index;
    groups->GetGroupList(list);
    groups->GetGroupMembers(index);
    ASSERT_EQ(list->size(), 3u);
    const std::string industry = "行业板块";
    ASSERT_TRUE(list->count(industry));
    const auto& members = list->at(industry);
    ASSERT_FALSE(members.empty());
    EXPECT_EQ(index->at(industry).begin()->first, 0);
    // Every member is a known stock with its name, and its sectors are found again.
    CStockInfo info;
    EXPECT_TRUE(GetStockContainer().GetStockInfo(members[0].first.c_str(), &info, nullptr));
    EXPECT_EQ(members[0].second, info.GetStockName());
    std::vector<std::string> names;
    groups->FindGroupsOfStock(members[0].first.c_str(), names);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names[0].compare(0, industry.size() + 1, industry + "-"), 0);

    // A failed list download reports and keeps the tree.
    SetSiteRootUrl("http://127.0.0.1:" + std::to_string(velmora_test::UnusedPort()) + "/");
    Sink failed;
    EXPECT_EQ(groups->Download(&failed), 0);
    ASSERT_EQ(failed.calls.size(), 1u);
    EXPECT_EQ(failed.calls[0], std::make_pair(std::string("Download Error "), -1));
    groups->DownloadGroups(false, nullptr);
    groups->GetGroupList(list);
    EXPECT_EQ(list->size(), 3u);

    // Lists the downloader refuses or takes without fetching; hostile names never leave the tree.
    EXPECT_EQ(groups->SaveGroups("A-B\r\nC-D\r\nE-F"), 0);
    EXPECT_EQ(groups->SaveGroups("A-B\r\n..-x-http://h/g.dat\r\nC-..\\..\\evil-u\r\nD-E-http://h/..\r\nno field"), 0);
    // The fixture's three categories, "A" and "D" (whose file name was refused); nothing outside.
    categories.clear();
    ListDirectory(CGroupDownloader::GetGroupRoot().c_str(), categories, kListFolders);
    EXPECT_EQ(categories.size(), 5u);
    std::vector<std::string> groupsOfA;
    ListDirectory((CGroupDownloader::GetGroupRoot() + velmora::kPathSep + "A").c_str(), groupsOfA, kListBoth);
    EXPECT_EQ(groupsOfA, std::vector<std::string>{"B"});
    std::vector<std::string> top;
    ListDirectory(root.Path("hqdata").c_str(), top, kListFolders);
    EXPECT_EQ(top.size(), 3u);  // sh, sz, group
    EXPECT_FALSE(velmora::FolderExists(root.Path("evil").c_str()));

    FreeGroupDownloader();
    FreeDownloadManager();
    GetStockContainer().Clear();
    GetDatabase().SetStore(nullptr);
    SetProgramFolder(nullptr);
}

// A cancel holds until it is reset: a pass begun after it asks the service nothing (a cancel made
// before the pass started is not lost), and one made during a member file ends that transfer and
// keeps the stored file. The sink is not kept past its pass.
TEST(SectorDownload, ACancelHoldsUntilResetAndEndsTheTransferInFlight) {
    velmora_test::FixtureProcess fixture;
    std::string why;
    ASSERT_TRUE(fixture.Start({"--seed", "7", "--now", "2026-12-10 14:00"}, &why)) << why;
    TempRoot root;
    SetProgramFolder(root.Folder().c_str());
    SetSiteRootUrl(fixture.Url("/"));
    struct Sink : CStockGroupDownloadNotif {
        std::atomic<int> calls{0};
        void OnGroupProgress(std::string, int) override { ++calls; }
    } sink;
    CGroupDownloader groups;
    groups.Cancel();
    EXPECT_EQ(groups.DownloadGroups(true, &sink), 1);  // still reloads what is stored
    EXPECT_EQ(sink.calls, 0);
    EXPECT_EQ(velmora_test::CountLoggedRequests(fixture.Port(), "/data/"), 0);

    // A cancel while the first member file trickles in: that file is not stored, nor any after it.
    groups.ResetCancel();
    velmora_test::FixtureControl(fixture.Port(), "fault?prefix=/data/group/&split=8&slow=300");
    std::thread pass([&] { groups.Download(&sink); });
    while (sink.calls < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));  // until the first sector's request is out
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // into the file's reply
    groups.Cancel();
    pass.join();
    EXPECT_TRUE(groups.IsCancelled());
    EXPECT_EQ(sink.calls, 2);  // the list, the first sector
    std::vector<std::string> categories;
    ListDirectory(CGroupDownloader::GetGroupRoot().c_str(), categories, kListFolders);
    ASSERT_EQ(categories.size(), 1u);
    std::vector<std::string> groupsOfCategory, files;
    const std::string category = CGroupDownloader::GetGroupRoot() + velmora::kPathSep + categories[0];
    ListDirectory(category.c_str(), groupsOfCategory, kListFolders);
    ASSERT_EQ(groupsOfCategory.size(), 1u);
    ListDirectory((category + velmora::kPathSep + groupsOfCategory[0]).c_str(), files, kListBoth);
    EXPECT_TRUE(files.empty());

    // After the reset a pass runs whole; the sink it had is not called by later calls.
    velmora_test::FixtureControl(fixture.Port(), "clear");
    groups.ResetCancel();
    sink.calls = 0;
    EXPECT_EQ(groups.Download(&sink), 1);
    const int calls = sink.calls;
    EXPECT_GT(calls, 10);
    EXPECT_EQ(groups.SaveGroups("A-B\r\nC-D\r\nE-F\r\nG-H\r\n"), 1);
    EXPECT_EQ(sink.calls, calls);
    SetProgramFolder(nullptr);
}

// The container holds just 600000 (浦发) and 000001 (平安).
static void HoldTwoStocks() {
    GetStockContainer().Clear();
    for (const char* code : {"600000_1", "000001_0"}) {
        CStockInfo s;
        s.SetStockCode(kMarketUnknown, code);
        s.SetStockName(code[0] == '6' ? "浦发" : "平安");
        GetStockContainer().Add(s);
    }
    GetStockContainer().RebuildCodeMap();
}

TEST(SectorDownload, GroupFilesAreBoundedByTheirSize) {
    TempRoot root;
    HoldTwoStocks();
    std::string file;
    AppendPod(file, int16_t(2));
    file += std::string("\x00\x11", 2) + "600000" + std::string("\x00\x21", 2) + "000001";
    const std::string path = root.Path("g.dat");
    WriteBytes(path, file);
    std::vector<CGroupDownloader::Member> members;
    EXPECT_EQ(CGroupDownloader::ReadGroupFile(path.c_str(), members), 1);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0], std::make_pair(std::string("600000_1"), std::string("浦发")));
    EXPECT_EQ(members[1].first, "000001_0");
    // A count beyond the records present, a negative count and a one-byte file.
    for (int16_t count : {int16_t(3000), int16_t(-5)}) {
        std::string bad = file;
        std::memcpy(&bad[0], &count, 2);
        WriteBytes(path, bad);
        members.clear();
        CGroupDownloader::ReadGroupFile(path.c_str(), members);
        EXPECT_EQ(members.size(), count > 0 ? 2u : 0u);
    }
    WriteBytes(path, "x");
    members.clear();
    CGroupDownloader::ReadGroupFile(path.c_str(), members);
    EXPECT_TRUE(members.empty());
    GetStockContainer().Clear();
}

// The sector maps read back from the tree: categories, groups and files in name order, a group
// without member files (a save's leftover temporary aside) left out, a group whose codes are all
// unknown marked where it would start, and a category that adds nothing absent.
TEST(SectorDownload, TheTreeReadsBackInNameOrder) {
    TempRoot root;
    SetProgramFolder(root.Folder().c_str());
    HoldTwoStocks();
    auto members = [](std::initializer_list<const char*> codes) {
        std::string file;
        AppendPod(file, int16_t(codes.size()));
        for (const char* c : codes) file += std::string("\x00", 1) + (c[0] == '6' ? '\x11' : '\x21') + c;
        return file;
    };
    const std::string groupRoot = CGroupDownloader::GetGroupRoot();
    ASSERT_TRUE(velmora::CreateFolder(groupRoot.c_str())) << groupRoot;
    struct Entry {
        const char* folder;  // under the group root; a file name after the last separator
        std::string bytes;   // empty for a folder
    };
    const std::string sep(1, velmora::kPathSep);
    const std::vector<Entry> tree = {
        {"B", ""},
        {"B/g1", ""},
        {"B/g1/m.dat", members({"000001"})},
        {"A", ""},
        {"A/x", ""},
        {"A/x/m.dat.tmp", members({"600000"})},
        {"A/y", ""},
        {"A/y/2.dat", members({"000001"})},
        {"A/y/1.dat", members({"600000", "999999"})},
        {"A/z", ""},
        {"A/z/1.dat", members({"999999"})},
        {"C", ""},
        {"C/empty", ""},
    };
    for (const Entry& e : tree) {
        std::string path = groupRoot + sep + e.folder;
        std::replace(path.begin() + long(groupRoot.size()), path.end(), '/', velmora::kPathSep);
        if (e.bytes.empty()) ASSERT_TRUE(velmora::CreateFolder(path.c_str())) << path;
        else WriteBytes(path, e.bytes);
    }
    CGroupDownloader* groups = GetGroupDownloader();
    ASSERT_EQ(groups->DownloadGroups(false, nullptr), 1);
    std::shared_ptr<const CGroupDownloader::GroupList> list;
    std::shared_ptr<const CGroupDownloader::GroupIndex> index;
    groups->GetGroupList(list);
    groups->GetGroupMembers(index);
    using Member = CGroupDownloader::Member;
    const Member pufa("600000_1", "浦发"), pingan("000001_0", "平安");
    EXPECT_EQ(*list, (CGroupDownloader::GroupList{{"A", {pufa, pingan}}, {"B", {pingan}}}));
    EXPECT_EQ(*index, (CGroupDownloader::GroupIndex{{"A", {{0, "y"}, {2, "z"}}}, {"B", {{0, "g1"}}}}));
    FreeGroupDownloader();
    GetStockContainer().Clear();
    SetProgramFolder(nullptr);
}
