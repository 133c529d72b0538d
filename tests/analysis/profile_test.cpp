#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "analysis/techuser.h"
#include "base/fsutil.h"
#include "base/text.h"
#include "store/storeenv.h"
#include "test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

// The test program is linked with --wrap=rename: a child process saving the profile can be made to
// die at the rename, after the new bytes were written.
std::atomic<bool> g_dieAtRename{false};
extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_rename(const char* from, const char* to) {
    if (g_dieAtRename) _exit(3);
    return __real_rename(from, to);
}
#endif

namespace {

using velmora_test::ReadTestFile;
using velmora_test::WriteTestFile;

std::vector<DWORD> Ids(const CSPDWordArray& a) {
    std::vector<DWORD> v;
    for (int i = 0; i < a.GetSize(); ++i) v.push_back(a[i]);
    return v;
}

CSPDWordArray Array(std::initializer_list<DWORD> ids) {
    CSPDWordArray a;
    for (DWORD id : ids) a.Add(id);
    return a;
}

CIndex MakeIndex(int id, const std::string& name, const std::string& text, int32_t value) {
    CIndex index;
    index.m_nID = id;
    index.m_strName = name;
    index.SetText(text);
    index.SetStoredValue(value);
    return index;
}

// The profile that tests/analysis/data/profile.bin holds (see make_profile_bin.py there).
void Populate(CStProfile& p) {
    CColorClassContainer& colors = p.GetColorClasses();
    colors.RemoveAll();
    CColorClass classic;
    classic.m_strName = "经典";
    for (COLORREF c : {0x000000u, 0x0000FFu, 0xFFFFFFu}) classic.m_aColorRef.Add(c);
    colors.Add(classic);
    CColorClass plain;
    plain.m_aColorRef.Add(0x123456);
    colors.Add(plain);
    colors.SetCurrent(1);
    CStProfile::Extras& x = p.GetExtras();
    x.texts.Add("甲");
    x.texts.Add("乙");
    x.text1 = "t1";
    x.number1 = 5;
    x.text2 = "t2";
    x.text3 = "t3";
    x.text4 = "t4";
    p.SetMainDataType(9);
    x.list1 = Array({1, 2});
    CIndex ratio = MakeIndex(10000, "比值", "现价/昨收", 7);
    ratio.m_strText1 = "a";
    p.GetIndexContainer().Add(ratio);
    p.GetIndexContainer().Add(MakeIndex(10001, "", "", 0));
    const int32_t days[7] = {2, 3, 4, 6, 7, 8, 250};
    std::memcpy(p.ColumnDayCounts(), days, sizeof days);
    x.number2 = -4;
    p.SetShownIndicators(Array({12, 9, 30}));
    p.SetSecondIndicatorList(Array({1, 5}));
    p.SetAllIndicators(Array({1, 2, 3}));
    p.SetExrightMode(2);
    p.SetPriceMode(3);
    p.SetBaseDate(20100105);
    x.text5 = "t5";
    x.number5 = 3;
    x.number6 = 77;
    _alarm_cond_t a, b;
    for (int i = 0; i < 60; ++i) a.bytes[i] = BYTE(i), b.bytes[i] = BYTE(100 + i);
    p.GetAlarmConditions().Add(a);
    p.GetAlarmConditions().Add(b);
    x.date7 = 20240101;
}

std::string Golden() {
    return ReadTestFile(std::string(VELMORA_TEST_SOURCE_DIR) + "/tests/analysis/data/profile.bin");
}

class ProfileTest : public testing::Test {
protected:
    std::string folder;
    std::string path;
    void SetUp() override {
#ifdef _WIN32
        const unsigned long pid = GetCurrentProcessId();
#else
        const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
        // Unique per run and per test, so that nothing of an earlier run is found.
        folder = testing::TempDir() + "velmora_profile_" + std::to_string(pid) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name() + velmora::kPathSep;
        ASSERT_TRUE(velmora::CreateFolder(folder.c_str()));
        path = folder + "profile.dat";
    }
    void TearDown() override {
        std::vector<std::string> names;
        ListDirectory(folder.c_str(), names, kListFiles);
        for (const std::string& n : names) velmora::RemoveFile((folder + n).c_str());
#ifdef _WIN32
        RemoveDirectoryA(folder.c_str());
#else
        rmdir(folder.c_str());
#endif
    }
    // The golden file with its all-indicators list: what Populate gives after a load.
    static void ExpectPopulated(CStProfile& p) {
        CColorClassContainer& colors = p.GetColorClasses();
        ASSERT_EQ(colors.GetSize(), 2);
        EXPECT_EQ(colors.GetCurrent(), 1);
        EXPECT_EQ(colors[0].m_strName, "经典");
        EXPECT_EQ(colors[0].m_aColorRef.GetSize(), 3);
        EXPECT_EQ(colors[0].m_aColorRef[1], 0x0000FFu);
        EXPECT_EQ(p.GetColor(0), 0x123456u);
        CStProfile::Extras& x = p.GetExtras();
        EXPECT_EQ(x.texts.ToVector(), (std::vector<std::string>{"甲", "乙"}));
        EXPECT_EQ(x.text1 + x.text2 + x.text3 + x.text4 + x.text5, "t1t2t3t4t5");
        EXPECT_EQ(x.number1, 5);
        EXPECT_EQ(x.number2, -4);
        EXPECT_EQ(x.number5, 3);
        EXPECT_EQ(x.number6, 60);  // set back after every load
        EXPECT_EQ(x.date7, 20240101);
        EXPECT_EQ(Ids(x.list1), (std::vector<DWORD>{1, 2}));
        EXPECT_EQ(x.list2.GetSize(), 0);
        EXPECT_EQ(p.GetMainDataType(), 9);
        ASSERT_EQ(p.GetIndexContainer().GetSize(), 2);
        CIndex& ratio = p.GetIndexContainer().GetIndexById(10000);
        EXPECT_EQ(ratio.m_strName, "比值");
        EXPECT_EQ(ratio.GetStoredText(), "现价/昨收");
        EXPECT_EQ(ratio.GetStoredValue(), 7);
        EXPECT_EQ(ratio.m_strText1, "a");
        const int expectDays[7] = {2, 3, 4, 6, 7, 8, 250};
        EXPECT_EQ(std::memcmp(p.ColumnDayCounts(), expectDays, sizeof expectDays), 0);
        EXPECT_EQ(p.GetDiffDays() + p.GetRSDays() + p.GetYieldAverageDays(), 2 + 8 + 250);
        EXPECT_EQ(Ids(p.GetAllIndicators()), (std::vector<DWORD>{1, 2, 3}));
        EXPECT_EQ(p.GetExrightMode(), 2);
        EXPECT_EQ(p.GetPriceMode(), 3);
        EXPECT_EQ(p.GetBaseDate(), 20100105);
        ASSERT_EQ(p.GetAlarmConditions().GetSize(), 2);
        EXPECT_EQ(p.GetAlarmConditions()[1].bytes[59], 159);
        EXPECT_EQ(p.GetVersion(), CStProfile::kVersion);
        EXPECT_EQ(Ids(p.GetShownIndicators()), (std::vector<DWORD>{12, 9, 30}));
        EXPECT_EQ(Ids(p.GetSecondIndicatorList()), (std::vector<DWORD>{1, 5}));
    }
};

TEST_F(ProfileTest, SettingsDefaultsAndRepair) {
    CStProfile p;
    EXPECT_EQ(p.GetMainDataType(), 11);
    EXPECT_EQ(p.GetBaseDate(), 20040519);
    EXPECT_EQ(p.GetExrightMode(), 1);
    EXPECT_EQ(p.GetPriceMode(), 1);
    EXPECT_EQ(p.GetVersion(), 0u);
    const int defaults[7] = {1, 1, 1, 5, 5, 5, 720};
    auto days = [&p] {
        return std::vector<int>{p.GetDiffDays(),         p.GetDiffPercentDays(), p.GetScopeDays(),
                                p.GetChangeHandDays(),   p.GetRatioVolumeDays(), p.GetRSDays(),
                                p.GetYieldAverageDays()};
    };
    EXPECT_EQ(days(), std::vector<int>(defaults, defaults + 7));
    const int32_t stored[7] = {3, 0, -7, 10, 1, -1, 365};
    std::memcpy(p.ColumnDayCounts(), stored, sizeof stored);
    EXPECT_EQ(days(), (std::vector<int>{3, 1, 1, 10, 1, 5, 365}));
    EXPECT_EQ(p.ColumnDayCounts()[2], -7);  // a default read leaves the stored value alone

    // 0 and -1 read as the defaults and are stored; the store sees the values the profile holds.
    for (int bad : {0, -1}) {
        p.SetMainDataType(bad);
        p.SetBaseDate(bad);
        EXPECT_EQ(GetExrightBaseDate(), 20040519);
        EXPECT_EQ(GetExrightThreshold(), 11);
        EXPECT_EQ(p.GetMainDataType(), 11);
        EXPECT_EQ(p.GetBaseDate(), 20040519);
    }
    p.SetBaseDate(20100105);
    p.SetMainDataType(15);
    EXPECT_EQ(GetExrightBaseDate(), 20100105);
    EXPECT_EQ(GetExrightThreshold(), 15);
    for (int mode : {0, 4, -3}) {
        p.SetExrightMode(mode);
        p.SetPriceMode(mode);
        EXPECT_EQ(p.GetExrightMode(), 1);
        EXPECT_EQ(p.GetPriceMode(), 1);
    }
    p.SetExrightMode(3);
    p.SetPriceMode(2);
    EXPECT_EQ(p.GetExrightMode(), 3);
    EXPECT_EQ(p.GetPriceMode(), 2);
    p.SetDefaults();

    // Files beside the program.
    SetProgramFolder(folder.c_str());
    EXPECT_EQ(p.GetWorkDirectory(), folder);
    EXPECT_EQ(p.GetDomainFile(), JoinStorePath(folder, "history\\domain.dat"));
    EXPECT_EQ(p.GetGroupFile(), JoinStorePath(folder, "group.dat"));
    EXPECT_EQ(CStProfile::GetProfileFile(), JoinStorePath(folder, "profile.dat"));
    SetProgramFolder(nullptr);
}

TEST_F(ProfileTest, Colors) {
    CStProfile p;
    EXPECT_EQ(p.GetColorClasses().GetSize(), 1);
    EXPECT_EQ(p.GetColor(15), 0x080808u);  // traditional background
    EXPECT_EQ(p.GetColor(-1), 0xFFFFFFu);
    EXPECT_EQ(p.GetColor(38), 0xFFFFFFu);
    CColorClass mine;
    mine.m_aColorRef.Add(0x111111);
    p.GetColorClasses().Add(mine);
    p.GetColorClasses().SetCurrent(1);
    EXPECT_EQ(p.GetColor(0), 0x111111u);
    EXPECT_EQ(p.GetColor(1), 0xFFFFFFu);
    p.GetColorClasses().SetCurrent(7);  // outside: scheme 0
    EXPECT_EQ(p.GetColor(15), 0x080808u);
    // An empty container is refilled with the four built-in schemes.
    p.GetColorClasses().RemoveAll();
    p.GetColorClasses().SetCurrent(3);
    EXPECT_EQ(p.GetColor(15), 0x080808u);
    ASSERT_EQ(p.GetColorClasses().GetSize(), 4);
    EXPECT_EQ(p.GetColorClasses().GetCurrent(), 0);
    EXPECT_EQ(p.GetColorClasses()[2].m_strName, "哥特式配色方案");
}

TEST_F(ProfileTest, IndicatorLists) {
    const DWORD second = TechUserGetCount() > 0 ? DWORD(kTechUserIdBase) : 9;
    {
        // The first request fills an empty list with the defaults; one emptied later stays empty.
        CStProfile p;
        EXPECT_EQ(Ids(p.GetShownIndicators()), (std::vector<DWORD>{12, second}));
        EXPECT_EQ(p.GetAllIndicators().GetSize(), 58 + TechUserGetCount());
        EXPECT_EQ(p.GetAllIndicators()[57], 58u);
        p.SetShownIndicators(CSPDWordArray());
        EXPECT_EQ(p.GetShownIndicators().GetSize(), 0);
        EXPECT_EQ(Ids(p.GetSecondIndicatorList()), (std::vector<DWORD>{1}));
        p.SetSecondIndicatorList(CSPDWordArray());
        EXPECT_EQ(p.GetSecondIndicatorList().GetSize(), 0);
        // Toggling on an empty list appends.
        p.ToggleIndicator(30);
        p.ToggleIndicator(6);
        EXPECT_EQ(Ids(p.GetShownIndicators()), (std::vector<DWORD>{30}));
        EXPECT_EQ(Ids(p.GetSecondIndicatorList()), (std::vector<DWORD>{6}));
    }
    struct Step {
        std::vector<DWORD> shown, overlays;
        int toggle;  // 0: only read
        std::vector<DWORD> shownAfter, overlaysAfter;
    };
    const Step steps[] = {
        // cleaning: overlay ids leave the sub-pane list, repeats go, the first stays
        {{9, 3, 12, 9}, {1, 12, 3, 1}, 0, {9, 12}, {1, 3}},
        // a shown id moves to the end; a new one replaces the last of two or more
        {{9, 12, 30}, {1}, 9, {12, 30, 9}, {1}},
        {{9, 12, 30}, {1}, 40, {9, 12, 40}, {1}},
        // with one entry a new id is appended
        {{9}, {1}, 40, {9, 40}, {1}},
        // overlays: a present id moves to the end, a new one replaces the first
        {{9}, {1, 3}, 1, {9}, {3, 1}},
        {{9}, {1, 3}, 5, {9}, {5, 3}},
        // plug-in ids are sub-pane indicators
        {{9, 12}, {1}, 10000, {9, 10000}, {1}},
    };
    for (const Step& s : steps) {
        CStProfile p;
        p.GetShownIndicators();  // past the first-call defaults
        p.GetSecondIndicatorList();
        CSPDWordArray shown, overlays;
        for (DWORD id : s.shown) shown.Add(id);
        for (DWORD id : s.overlays) overlays.Add(id);
        p.SetShownIndicators(shown);
        p.SetSecondIndicatorList(overlays);
        if (s.toggle) p.ToggleIndicator(s.toggle);
        EXPECT_EQ(Ids(p.GetShownIndicators()), s.shownAfter) << s.toggle;
        EXPECT_EQ(Ids(p.GetSecondIndicatorList()), s.overlaysAfter) << s.toggle;
    }
}

TEST_F(ProfileTest, GoldenBytesAndRoundTrip) {
    const std::string golden = Golden();
    ASSERT_EQ(golden.size(), 2041u);
    CStProfile p;
    Populate(p);
    EXPECT_TRUE(p.ToBytes() == golden);
    ASSERT_TRUE(p.Save(path));
    EXPECT_TRUE(ReadTestFile(path) == golden);
    {
        CStProfile loaded;
        ASSERT_EQ(loaded.Load(path), CStProfile::loadOk);
        ExpectPopulated(loaded);
        loaded.GetExtras().number6 = 77;  // as Populate has it; a load sets it to 60
        EXPECT_TRUE(loaded.ToBytes() == golden);
    }

    // Every setting survives a save and a load, the indicator parameters included.
    p.GetTechSet().m_MACD.m_ints[CMACD::kSignal] = 5;
    p.GetTechSet().m_DJ.m_strings[CDJ::kShenzhenCode] = "399001_0";
    p.ColumnDayCounts()[6] = 500;
    ASSERT_TRUE(p.Save(path));
    CStProfile q;
    ASSERT_EQ(q.Load(path), CStProfile::loadOk);
    EXPECT_EQ(q.GetLoadMessage(), "");
    EXPECT_EQ(q.GetTechSet().m_MACD.GetNameParams(), "(12,26,5)");
    EXPECT_EQ(q.GetTechSet().m_DJ.m_strings[CDJ::kShenzhenCode], "399001_0");
    EXPECT_EQ(q.GetYieldAverageDays(), 500);
    q.ColumnDayCounts()[6] = 250;
    q.GetTechSet().m_MACD.m_ints[CMACD::kSignal] = p.GetTechSet().m_MACD.m_ints[CMACD::kSignal] = 9;
    q.GetTechSet().m_DJ.m_strings[CDJ::kShenzhenCode] = p.GetTechSet().m_DJ.m_strings[CDJ::kShenzhenCode];
    ExpectPopulated(q);
}

TEST_F(ProfileTest, VersionsAndMagic) {
    const std::string golden = Golden();
    // The alarm count sits 2 + 120 + 4 bytes from the end, after kept number 6.
    const size_t number6 = golden.size() - 4 - 120 - 2 - 4;
    auto withVersion = [&](uint32_t version, size_t cut) {
        std::string b = golden.substr(0, cut);
        for (int i = 0; i < 4; ++i) b[6 + i] = char(version >> (8 * i));
        return b;
    };
    auto prepared = [](CStProfile& p) {
        p.GetExtras().number6 = 99;
        p.GetExtras().date7 = 1;
        p.GetAlarmConditions().SetSize(3);
        p.SetBaseDate(20000101);
    };
    {
        // A version before number 6: later members keep their values.
        CStProfile p;
        prepared(p);
        WriteTestFile(path, withVersion(0x20040801, number6));
        ASSERT_EQ(p.Load(path), CStProfile::loadOk);
        EXPECT_EQ(p.GetVersion(), 0x20040801u);
        EXPECT_EQ(p.GetExtras().number6, 99);
        EXPECT_EQ(p.GetExtras().date7, 1);
        EXPECT_EQ(p.GetAlarmConditions().GetSize(), 3);
        EXPECT_EQ(p.GetExtras().text5, "t5");
        EXPECT_EQ(p.GetBaseDate(), 20100105);
    }
    {
        // From 0x20040803 number 6 is read and set back to 60.
        CStProfile p;
        prepared(p);
        WriteTestFile(path, withVersion(0x20040803, number6 + 4));
        ASSERT_EQ(p.Load(path), CStProfile::loadOk);
        EXPECT_EQ(p.GetExtras().number6, 60);
        EXPECT_EQ(p.GetAlarmConditions().GetSize(), 3);
    }
    // A newer version, a wrong magic: nothing loads.
    for (const std::string& bad : {withVersion(0x20050701, golden.size()), "VOZIZF" + golden.substr(6)}) {
        CStProfile p;
        prepared(p);
        WriteTestFile(path, bad);
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load);
        EXPECT_FALSE(p.Serialize(ar));
        EXPECT_EQ(p.GetBaseDate(), 20000101);
        EXPECT_EQ(p.GetExtras().number6, 99);
    }
}

// A profile back at its defaults: the values Load must leave after a bad file.
void ExpectDefaults(CStProfile& p) {
    EXPECT_EQ(p.GetColorClasses().GetSize(), 1);
    EXPECT_EQ(p.GetColor(15), 0x080808u);
    EXPECT_EQ(p.GetIndexContainer().GetSize(), 0);
    EXPECT_EQ(p.GetExtras().texts.GetSize(), 0);
    EXPECT_EQ(p.GetExtras().date7, 20050630);
    EXPECT_EQ(p.GetBaseDate(), 20040519);
    EXPECT_EQ(p.GetExrightMode(), 1);
    EXPECT_EQ(p.GetAlarmConditions().GetSize(), 0);
    EXPECT_EQ(p.GetTechSet().m_MA.GetNameParams(), "(5,10,20)");
    EXPECT_EQ(p.ColumnDayCounts()[0], -1);
    EXPECT_EQ(GetExrightBaseDate(), 20040519);
}

TEST_F(ProfileTest, MissingShortAndDamagedFilesGiveTheDefaults) {
    CStProfile p;
    Populate(p);
    EXPECT_EQ(p.Load(folder + "absent.dat"), CStProfile::loadMissing);
    EXPECT_NE(p.GetLoadMessage(), "");
    ExpectDefaults(p);

    // Every cut of a whole file.
    const std::string golden = Golden();
    for (size_t n = 0; n < golden.size(); ++n) {
        Populate(p);
        WriteTestFile(path, golden.substr(0, n));
        ASSERT_EQ(p.Load(path), CStProfile::loadDamaged) << n;
        if (n % 97 == 0 || n + 1 == golden.size()) ExpectDefaults(p);
    }
    EXPECT_NE(p.GetLoadMessage(), "");
    // The next save writes a whole file.
    ASSERT_TRUE(p.Save(path));
    CStProfile q;
    EXPECT_EQ(q.Load(path), CStProfile::loadOk);
    EXPECT_EQ(q.GetLoadMessage(), "");
}

TEST_F(ProfileTest, HugeStoredCountsAreRefusedBeforeAllocating) {
    // Offsets in the golden file: after the magic (6), the version (4), the scheme in use (4).
    const std::string golden = Golden();
    auto at = [&](size_t offset, const std::string& bytes, size_t replaced) {
        std::string b = golden;
        b.replace(offset, replaced, bytes);
        return b;
    };
    auto le = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const size_t schemes = 14, firstColors = 18 + 5, texts = 44, list1 = 72, indexes = 88;
    const size_t shown = indexes + 4 + 26 + 12 + 28 + 4;  // two indexes, day counts, number 2
    const size_t block = shown + 16 + 12 + 16 + 12;
    const size_t alarms = golden.size() - 4 - 120 - 2;
    ASSERT_EQ(std::string(golden, firstColors, 2), std::string("\x03\0", 2));
    ASSERT_EQ(std::string(golden, texts, 2), std::string("\x02\0", 2));
    ASSERT_EQ(golden.substr(list1, 4), le(2));
    ASSERT_EQ(golden.substr(indexes, 4), le(2));
    ASSERT_EQ(golden.substr(shown, 4), le(3));
    ASSERT_EQ(golden.substr(block, 8), le(1) + le(3));  // MA: its type, then its day-count count
    ASSERT_EQ(golden.substr(alarms, 2), std::string("\x02\0", 2));
    const std::string damaged[] = {
        at(schemes, le(0x7FFFFFFF), 4),
        at(firstColors, "\xff\xff" + le(0x40000000), 2),
        at(texts, "\xff\xff" + le(0xFFFFFFFF), 2),
        at(texts + 2, "\xff\xff\xff" + le(0x7FFFFFFF), 1),  // a counted text longer than the file
        at(list1, le(0x7FFFFFFF), 4),
        at(indexes, le(0x7FFFFFFF), 4),
        at(shown, le(1000000), 4),  // 4 MB: allocatable, but not in a file of 2 KB
        at(block + 4, le(0x7FFFFFFF), 4),
        at(alarms, "\xff\xff" + le(0x7FFFFFFF), 2),
    };
    for (const std::string& bytes : damaged) {
        CStProfile p;
        Populate(p);
        WriteTestFile(path, bytes);
        EXPECT_EQ(p.Load(path), CStProfile::loadDamaged) << &bytes - damaged;
        ExpectDefaults(p);
    }
}

TEST_F(ProfileTest, ACrashBetweenWriteAndRenameKeepsTheOldFile) {
    CStProfile p;
    Populate(p);
    ASSERT_TRUE(p.Save(path));
    const std::string old = ReadTestFile(path);
    p.SetBaseDate(20200101);
    p.GetIndexContainer().RemoveAll();
#ifndef _WIN32
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        g_dieAtRename = true;
        p.Save(path);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);  // it died at the rename
    // The new bytes stay behind in a temporary file beside the profile.
    std::vector<std::string> names;
    ListDirectory(folder.c_str(), names, kListFiles);
    EXPECT_EQ(names.size(), 2u);
#else
    // A rename over a file held open without delete sharing fails at the same point.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(p.Save(path));
    CloseHandle(held);
#endif
    EXPECT_TRUE(ReadTestFile(path) == old);
    CStProfile q;
    ASSERT_EQ(q.Load(path), CStProfile::loadOk);
    EXPECT_EQ(q.GetBaseDate(), 20100105);
    EXPECT_EQ(q.GetIndexContainer().GetSize(), 2);
    // The next save replaces it whole.
    ASSERT_TRUE(p.Save(path));
    ASSERT_EQ(q.Load(path), CStProfile::loadOk);
    EXPECT_EQ(q.GetBaseDate(), 20200101);
    EXPECT_EQ(q.GetIndexContainer().GetSize(), 0);
}

// ---- save and load agree ----

// Sizes drawn mostly small, sometimes on the archive's steps up to a top: a count or a text length
// is one byte below 255, 16 bits below 0xFFFE (counts: 0xFFFF), 32 bits from there.
size_t DrawSize(std::mt19937& rng, size_t small, size_t top = 0x10000) {
    static const size_t steps[] = {0, 1, 254, 255, 256, 0xFFFD, 0xFFFE, 0xFFFF, 0x10000};
    if (rng() % 8 == 0) {
        const size_t step = steps[rng() % (sizeof steps / sizeof steps[0])];
        if (step <= top) return step;
    }
    return rng() % (small + 1);
}

// Any bytes: GBK, separators, NUL, 0xFF.
std::string DrawText(std::mt19937& rng, size_t top = 0x10000) {
    static const char* const pieces[] = {"a", "7", ";", "\\", "甲", "指标", "\xff"};
    std::string t;
    const size_t n = DrawSize(rng, 12, top);
    while (t.size() < n) t += rng() % 5 == 0 ? std::string(1, '\0') : std::string(pieces[rng() % 7]);
    t.resize(n);
    return t;
}

CSPDWordArray DrawIds(std::mt19937& rng) {
    CSPDWordArray ids;
    ids.SetSize(int(DrawSize(rng, 8)));
    for (int i = 0; i < ids.GetSize(); ++i) ids[i] = DWORD(rng());
    return ids;
}

// Every member set from the generator, within the bounds a profile file has.
void Generate(CStProfile& p, std::mt19937& rng) {
    CColorClassContainer& colors = p.GetColorClasses();
    colors.RemoveAll();
    for (size_t n = rng() % 6; n > 0; --n) {
        CColorClass c;
        c.m_strName = DrawText(rng, 256);
        c.m_aColorRef.SetSize(int(DrawSize(rng, 40)));
        for (int k = 0; k < c.m_aColorRef.GetSize(); ++k) c.m_aColorRef[k] = COLORREF(rng());
        colors.Add(c);
    }
    colors.SetCurrent(int(rng()));
    CStProfile::Extras& x = p.GetExtras();
    for (size_t n = DrawSize(rng, 4); n > 0; --n) x.texts.Add(DrawText(rng, 256));
    x.text1 = DrawText(rng), x.text2 = DrawText(rng), x.text3 = DrawText(rng), x.text4 = DrawText(rng);
    x.text5 = DrawText(rng);
    x.number1 = int32_t(rng()), x.number2 = int32_t(rng()), x.number5 = int32_t(rng());
    x.number6 = 60;  // a load sets it back to 60
    x.date7 = int32_t(rng());
    x.list1 = DrawIds(rng), x.list2 = DrawIds(rng);
    p.SetMainDataType(int(rng()));
    for (size_t n = rng() % 4 == 0 ? 653 : rng() % 5; n > 0; --n) {
        CIndex index = MakeIndex(int(rng()), DrawText(rng, 256), DrawText(rng, 256), int32_t(rng()));
        if (rng() % 2) index.m_strText1 = DrawText(rng, 256), index.m_strText2 = DrawText(rng, 256);
        p.GetIndexContainer().Add(index);
    }
    for (int i = 0; i < 7; ++i) p.ColumnDayCounts()[i] = int32_t(rng());
    p.SetShownIndicators(DrawIds(rng));
    p.SetSecondIndicatorList(DrawIds(rng));
    p.SetAllIndicators(DrawIds(rng));
    p.SetExrightMode(int(rng())), p.SetPriceMode(int(rng())), p.SetBaseDate(int(rng()));
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -0.0,
                          std::numeric_limits<double>::denorm_min(), 1e300};
    for (int i = 0; i < CTechSet::kMembers; ++i) {
        CParamTech& m = *p.GetTechSet().GetMember(i);
        for (int& v : m.m_ints) v = int(rng());
        for (double& v : m.m_doubles) v = rng() % 4 == 0 ? odd[rng() % 5] : double(int32_t(rng())) / 7;
        for (std::string& v : m.m_strings) v = DrawText(rng, 256);
        m.m_days.SetSize(int(rng() % 16 == 0 ? CParamTech::kMaxStoredDays : rng() % 9));
        for (int k = 0; k < m.m_days.GetSize(); ++k) m.m_days[k] = DWORD(rng());
    }
    p.GetAlarmConditions().SetSize(int(DrawSize(rng, 5)));
    for (int i = 0; i < p.GetAlarmConditions().GetSize(); ++i)
        for (BYTE& b : p.GetAlarmConditions()[i].bytes) b = BYTE(rng());
}

// Saves p over an older profile file: either the file then loads back to the same bytes, or the
// save says why it wrote nothing and the old file is there as it was. Returns whether it saved.
bool SaveAndLoadBack(CStProfile& p, const std::string& folder, const std::string& path, const std::string& what) {
    const std::string old = Golden();
    WriteTestFile(path, old);
    const bool saved = p.Save(path);
    if (saved) {
        EXPECT_EQ(p.GetSaveMessage(), "") << what;
        CStProfile q;
        EXPECT_EQ(q.Load(path), CStProfile::loadOk) << what << ": " << AnsiToUtf8(q.GetLoadMessage().c_str());
        EXPECT_TRUE(q.ToBytes() == p.ToBytes()) << what;
    } else {
        EXPECT_EQ(p.GetSaveMessage().find("设置未保存："), 0u) << what;
        EXPECT_TRUE(ReadTestFile(path) == old) << what;
    }
    // No temporary file is left beside it either way.
    std::vector<std::string> names;
    ListDirectory(folder.c_str(), names, kListFiles);
    EXPECT_EQ(names, std::vector<std::string>{"profile.dat"}) << what;
    return saved;
}

TEST_F(ProfileTest, GeneratedStatesLoadBackAsSaved) {
    std::mt19937 rng(20050630);
    for (int round = 0; round < 40; ++round) {
        CStProfile p;
        Generate(p, rng);
        EXPECT_TRUE(SaveAndLoadBack(p, folder, path, "state " + std::to_string(round)))
            << AnsiToUtf8(p.GetSaveMessage().c_str());
    }
}

TEST_F(ProfileTest, StatesAtTheBoundsLoadBackOrAreRefusedBeforeWriting) {
    // Each makes the profile hold n of something in all. Indexes with empty texts are the
    // smallest, so the most of them fit in a file.
    auto indexes = [](int n) {
        return [n](CStProfile& p) {
            CIndexContainer& all = p.GetIndexContainer();
            all.RemoveAll();
            while (all.GetSize() < n) all.Add(MakeIndex(10000 + all.GetSize(), "", "", 0));
        };
    };
    auto classes = [](int n) { return [n](CStProfile& p) { p.GetColorClasses().SetSize(n); }; };
    auto colors = [](int n) { return [n](CStProfile& p) { p.GetColorClasses()[0].m_aColorRef.SetSize(n); }; };
    auto texts = [](int n) { return [n](CStProfile& p) { p.GetExtras().texts.SetSize(n); }; };
    // The rest of a new profile takes under 4 KiB.
    const int fullOfAlarms = int((CStProfile::kMaxFileSize - 4096) / 60);
    auto alarms = [](int n) { return [n](CStProfile& p) { p.GetAlarmConditions().SetSize(n); }; };
    auto days = [](int n) { return [n](CStProfile& p) { p.GetTechSet().m_MA.m_days.SetSize(n); }; };
    struct Case {
        const char* what;
        std::function<void(CStProfile&)> make;
        const char* refusal;  // null: it saves and loads back
    } cases[] = {
        {"653 user indexes with empty texts", indexes(653), nullptr},
        {"4096 user indexes", indexes(kMaxUserIndexes), nullptr},
        {"4097 user indexes", indexes(kMaxUserIndexes + 1), "用户指标太多（最多4096个）"},
        {"4097 colours in one class", colors(4097), nullptr},
        {"a million colours in one class", colors(1 << 20), nullptr},
        {"1024 colour classes", classes(CStProfile::kMaxColorClasses), nullptr},
        {"1025 colour classes", classes(CStProfile::kMaxColorClasses + 1), "配色方案太多（最多1024套）"},
        {"stored texts at the bound", texts(CStProfile::kMaxStoredTexts), nullptr},
        {"stored texts past the bound", texts(CStProfile::kMaxStoredTexts + 1), "保存的文本太多"},
        {"alarm records up to 16 MiB", alarms(fullOfAlarms), nullptr},
        {"alarm records past 16 MiB", alarms(fullOfAlarms + 100), "设置太大（最多16 MB）"},
        {"1024 day counts of an indicator", days(CParamTech::kMaxStoredDays), nullptr},
        {"1025 day counts of an indicator", days(CParamTech::kMaxStoredDays + 1), "指标参数的天数太多"},
    };
    for (const Case& c : cases) {
        CStProfile p;  // a new user's profile, with one thing pushed to its bound
        c.make(p);
        EXPECT_EQ(SaveAndLoadBack(p, folder, path, c.what), c.refusal == nullptr) << c.what;
        if (c.refusal) {
            EXPECT_NE(p.GetSaveMessage().find(c.refusal), std::string::npos)
                << c.what << ": " << AnsiToUtf8(p.GetSaveMessage().c_str());
        }
    }
}

}  // namespace
