// Fault drills on the real client program under Wine against the fixture service: what a bad day
// brings to the login and the start-up loading, and what must hold afterwards in the files of
// hqdata and the settings profile. The drills look only at the dialogs and the stored files, never
// at the main window's look.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "store/filecheck.h"
#include "tests/app/client_driver.h"
#include "tests/net/test_servers.h"

namespace {

using namespace velmora_test;

typedef std::map<std::string, std::string> Files;  // path under the client folder -> bytes

const char kCodeList[] = "hqdata\\codelist.dat";
const char kDayFile[] = "hqdata\\sh\\day\\SH1A0001_1.day";
const char kMinuteFile[] = "hqdata\\sh\\min\\1A0001_1.min";
const char kCodeState[] = "hqdata\\codestate.dat";
const char kTickFile[] = "hqdata\\sh\\fenbi\\1A0001_1.fbs";
const char kProfile[] = "profile.dat";

void ListFiles(const std::string& root, const std::string& rel, Files& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + "\\" + rel + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListFiles(root, rel + name + "\\", out);
        else out[rel + name] = ReadTestFile(root + "\\" + rel + name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// Whether a stored file has the shape its kind must have (files of other kinds: true).
bool Whole(const std::string& path, const std::string& bytes) {
    if (path == kCodeList) return IsWholeStoredData(bytes.data(), bytes.size(), storedCodeList);
    if (path == kDayFile) return IsWholeStoredData(bytes.data(), bytes.size(), storedDay);
    if (path == kMinuteFile) return IsWholeStoredData(bytes.data(), bytes.size(), storedMinute);
    return true;
}

bool IsTemporary(const std::string& path) { return path.size() > 4 && path.compare(path.size() - 4, 4, ".tmp") == 0; }

std::string Garbage(size_t n, unsigned seed) {
    std::string out(n, '\0');
    for (char& c : out) c = char((seed = seed * 1103515245u + 12345u) >> 16);
    return out;
}

// ---- a share the user opens ----------------------------------------------------------------

// Types a code into the content panel and chooses it with Enter, each key going where the
// keyboard would send it (the window with the focus in the frame's thread; else the intraday
// view). True once the search box took the code and closed.
bool OpenShare(HWND frame, const std::string& code) {
    HWND panel = FindWindowExA(frame, nullptr, "VelmoraContentPanel", nullptr);
    HWND view = panel ? FindWindowExA(panel, nullptr, "VelmoraRealTimeView", nullptr) : nullptr;
    if (!view) return false;
    auto press = [&](UINT vk) { PressKey(frame, view, vk); };
    // The box is made after the first paint, or by the first key that needs it.
    press(UINT(code[0]));
    HWND box = nullptr;
    if (!WaitUntil([&] {
            box = FindWindowExA(panel, nullptr, "VelmoraSearchBox", nullptr);
            return box && IsWindowVisible(box) != 0;
        }, kProgramStepMs, 100))
        return false;
    for (size_t i = 1; i < code.size(); ++i) press(UINT(code[i]));
    HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
    if (!WaitUntil([&] { return WindowText(edit) == code; }, kProgramStepMs, 100)) return false;
    press(VK_RETURN);
    return WaitUntil([&] { return !IsWindowVisible(box); }, kProgramStepMs, 100);
}

// A Shenzhen share of the fixture's market, and another to step away to.
const char kShare[] = "000008";
const char kOtherShare[] = "000015";
// The share's files the panel fetches on opening it: the request, the stored file, its record
// kind, its code-state entry, and a length its writer took before it looked at the records.
struct ShareFile {
    const char* request;
    const char* stored;
    StoredFileKind kind;
    const char* state;
    int rightLength;
};
const ShareFile kShareFiles[] = {
    {"/hqdatagzip/sday/SZ000008.ldy", "hqdata\\sz\\day\\SZ000008_0.day", storedDay, "000008_0_1;", 4000},
    {"/hqdatagzip/min/sz/000008.min", "hqdata\\sz\\min\\000008_0.min", storedMinute, "000008_0_0;", 8314},
    {"/hqdatagzip/fenbi/sz000008.fbs", "hqdata\\sz\\fenbi\\000008_0.fbs", storedTicks, "000008_0_3;", 4000},
};

class FaultDrill : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.ok);
        std::string why;
        // After the close, with the market shut: the stored day stays fresh between runs.
        ASSERT_TRUE(m_fixture.Start({"--market-flag", "0", "--now", "2026-12-10 16:00"}, &why)) << why;
        m_folder.WriteRunIni(m_fixture.Url("/"));
    }

    // The stored data and settings of the client folder.
    Files Stored() {
        Files all, out;
        ListFiles(m_folder.dir, "", all);
        for (auto& f : all)
            if (f.first.compare(0, 7, "hqdata\\") == 0 || f.first == kProfile) out.insert(f);
        return out;
    }
    // Puts the folder's stored files back as they were (keeping temporary files when asked).
    void Restore(const Files& files, bool keepTemporaries = false) {
        for (auto& f : Stored())
            if (!files.count(f.first) && !(keepTemporaries && IsTemporary(f.first)))
                DeleteFileA((m_folder.dir + "\\" + f.first).c_str());
        for (auto& f : files) WriteTestFile(m_folder.dir + "\\" + f.first, f.second);
    }
    void Write(const std::string& rel, const std::string& bytes) { WriteTestFile(m_folder.dir + "\\" + rel, bytes); }

    // Starts the client (pressing away a notice first when one is expected), logs in and waits
    // for the main window; the dialog meanwhile must answer every message.
    HWND StartToMainWindow(const char* notice = nullptr) {
        if (!m_client.Start(m_folder)) return nullptr;
        if (notice) {
            HWND box = WaitForWindow(m_client.pid, "提示", notice, 60000);
            EXPECT_NE(box, nullptr) << "the notice \"" << notice << "\"";
            if (!box) return nullptr;
            Click(box, IDOK);
        }
        HWND dlg = m_client.LogIn();
        if (!dlg) return nullptr;
        return m_client.MainWindow(120000);
    }
    // A whole run: main window, closed by the user once the composite index's tick file, which
    // the window asks for when it opens, is stored: a close before it would leave a run that
    // depends on the machine's speed.
    void CleanRun(const char* notice = nullptr) {
        HWND frame = StartToMainWindow(notice);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return !ReadTestFile(m_folder.dir + "\\" + kTickFile).empty(); }, kProgramStepMs, 100))
            << "the tick file asked for at the opening";
        PostMessageA(frame, WM_CLOSE, 0, 0);
        ASSERT_TRUE(m_client.WaitForExit(60000));
    }

    ClientFolder m_folder{"drill", VELMORA_EXE, UPDATE_EXE};
    FixtureProcess m_fixture;
    ClientProcess m_client;
};

// A stored code list, day file, minute file or profile damaged before the start: the client
// starts, refetches the data (or takes the default settings and says so), and every stored file
// is afterwards exactly what a clean run leaves: nothing else was touched.
TEST_F(FaultDrill, DamagedStoredFilesBeforeTheStart) {
    CleanRun();
    const Files clean = Stored();
    for (const char* f : {kCodeList, kDayFile, kMinuteFile, kProfile, kCodeState})
        ASSERT_TRUE(clean.count(f)) << f << " after a clean run";
    // The index files stay fresh: only their damage makes the client fetch them again.
    ASSERT_NE(clean.at(kCodeState).find("1A0001_1_1;"), std::string::npos);

    auto cut = [](const std::string& b) { return b.substr(0, b.size() / 2 + 7); };
    auto garbage = [](const std::string& b) { return Garbage(b.size(), unsigned(b.size())); };
    // Records of another size: every 32 bytes loses its last four.
    auto resized = [](const std::string& b) {
        std::string out;
        for (size_t i = 0; i + 28 <= b.size(); i += 32) out += b.substr(i, 28);
        return out;
    };
    struct Damage {
        const char* file;
        const char* how;
        std::string (*make)(const std::string&);
    };
    const Damage damages[] = {
        {kCodeList, "cut", +cut}, {kCodeList, "garbage", +garbage}, {kCodeList, "resized", +resized},
        {kDayFile, "cut", +cut},  {kDayFile, "garbage", +garbage},  {kDayFile, "resized", +resized},
        {kMinuteFile, "cut", +cut}, {kMinuteFile, "garbage", +garbage}, {kMinuteFile, "resized", +resized},
        {kProfile, "cut", +cut},  {kProfile, "garbage", +garbage},  {kProfile, "resized", +resized},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(std::string(d.file) + " " + d.how);
        Restore(clean);
        Write(d.file, d.make(clean.at(d.file)));
        bool profile = std::string(d.file) == kProfile;
        HWND frame = StartToMainWindow(profile ? "设置文件已损坏" : nullptr);
        ASSERT_NE(frame, nullptr);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        ASSERT_TRUE(m_client.WaitForExit(60000));
        Files after = Stored();
        for (auto& f : clean) {
            auto it = after.find(f.first);
            ASSERT_NE(it, after.end()) << f.first;
            EXPECT_TRUE(it->second == f.second) << f.first << " differs from a clean run's";
        }
        for (auto& f : after) EXPECT_TRUE(clean.count(f.first)) << "a file left behind: " << f.first;
    }
}

// The data server goes silent in the middle of the start-up loading and comes back: the login
// dialog answers every message throughout, the main window comes, and the next
// start fetches what the silent one missed.
TEST_F(FaultDrill, SilentServiceMidLoadAndBack) {
    FixtureControl(m_fixture.Port(), "fault?prefix=/hqdatagzip/sday/&mode=silent&hold=60000");
    ASSERT_TRUE(m_client.Start(m_folder));
    HWND dlg = m_client.LogIn();
    ASSERT_NE(dlg, nullptr);
    DWORD start = GetTickCount();
    int checks = 0, unanswered = 0;
    bool silent = false, cleared = false;
    HWND frame = nullptr;
    while (!frame && GetTickCount() - start < 90000) {
        if (IsWindow(dlg)) {
            ++checks;
            if (!Answers(dlg)) ++unanswered;
        }
        if (!silent && CountLoggedRequests(m_fixture.Port(), "/hqdatagzip/sday/") > 0) {
            silent = true;
            start = GetTickCount();
        }
        if (silent && !cleared && GetTickCount() - start > 3000) {
            FixtureControl(m_fixture.Port(), "clear");  // the service is back
            cleared = true;
        }
        frame = m_client.MainWindow(0);
        if (!frame) Sleep(200);  // pacing of the probes, not a verdict
    }
    ASSERT_TRUE(silent) << "the day file was asked for";
    ASSERT_NE(frame, nullptr) << "the start-up ends after the silent request gives up";
    EXPECT_GT(checks, 10);
    EXPECT_EQ(unanswered, 0) << "the login dialog kept answering";
    EXPECT_TRUE(Answers(frame));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    Files first = Stored();
    EXPECT_TRUE(Whole(kCodeList, first[kCodeList]));
    EXPECT_TRUE(Whole(kMinuteFile, first[kMinuteFile]));
    if (first.count(kDayFile)) {
        EXPECT_TRUE(Whole(kDayFile, first[kDayFile]));
    }

    CleanRun();
    Files later = Stored();
    ASSERT_TRUE(later.count(kDayFile)) << "the later run caught up";
    EXPECT_TRUE(Whole(kDayFile, later[kDayFile]));
}

// In the middle of a trading session the data server goes silent and comes back: the main window
// answers every message throughout, and the current stock's minutes catch up with
// the service's clock once it answers again.
TEST_F(FaultDrill, SilentServiceMidSessionAndBack) {
    FixtureControl(m_fixture.Port(), "set?now=2026-12-10%2010:30&flag=");
    HWND frame = StartToMainWindow();
    ASSERT_NE(frame, nullptr);
    const std::string minutes = m_folder.dir + "\\" + kMinuteFile;
    auto waitFor = [](int ms, const std::function<bool()>& done) { return WaitUntil(done, ms, 250); };
    ASSERT_TRUE(waitFor(kProgramStepMs, [&] { return CountLoggedRequests(m_fixture.Port(), "/hqdatagzip/min/") > 0; }));
    ASSERT_TRUE(waitFor(kProgramStepMs, [&] { return Whole(kMinuteFile, ReadTestFile(minutes)); }));
    const std::string atHalfPast = ReadTestFile(minutes);

    // Silent: every data request is held without a byte for 15 seconds.
    FixtureControl(m_fixture.Port(), "clear");
    FixtureControl(m_fixture.Port(), "set?now=2026-12-10%2010:30&flag=");
    for (const char* prefix : {"/hqdatagzip/", "/hqdata/", "/plus/"})
        FixtureControl(m_fixture.Port(), std::string("fault?prefix=") + prefix + "&mode=silent&hold=15000");
    ASSERT_TRUE(waitFor(kProgramStepMs, [&] { return CountLoggedRequests(m_fixture.Port(), "/hqdatagzip/min/") > 0; }))
        << "the ten-second refresh asks again";
    int answered = 0;
    for (int i = 0; i < 12; ++i, Sleep(250)) {  // probes spread over three seconds
        answered += Answers(frame);
    }
    EXPECT_EQ(answered, 12) << "the window answers while its requests hang";
    EXPECT_EQ(ReadTestFile(minutes), atHalfPast) << "nothing stored while silent";

    // Back, and a quarter of an hour later: the stored minutes follow.
    FixtureControl(m_fixture.Port(), "clear");
    FixtureControl(m_fixture.Port(), "set?now=2026-12-10%2010:45&flag=");
    EXPECT_TRUE(waitFor(kProgramStepMs, [&] {
        const std::string now = ReadTestFile(minutes);
        return now != atHalfPast && Whole(kMinuteFile, now);
    })) << "the minutes caught up";
    EXPECT_TRUE(Answers(frame));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    for (auto& f : Stored()) EXPECT_TRUE(Whole(f.first, f.second)) << f.first;
}

// A reply cut short or garbage, on a later day (the stored files are stale): the code list's
// failure is said in a box and the program ends; a broken day or minute file keeps the stored
// one. Nothing stored is damaged.
TEST_F(FaultDrill, CutOrGarbageReplies) {
    CleanRun();
    const Files old = Stored();
    FixtureControl(m_fixture.Port(), "set?now=2026-12-11%2016:00");
    struct Broken {
        const char* prefix;
        const char* mode;
        const char* file;
    };
    const Broken cases[] = {
        {"/hqdatagzip/codelist/", "cut", kCodeList},   {"/hqdatagzip/codelist/", "garbage", kCodeList},
        {"/hqdatagzip/codelist/", "empty", kCodeList}, {"/hqdatagzip/sday/", "cut", kDayFile},
        {"/hqdatagzip/sday/", "garbage", kDayFile},    {"/hqdatagzip/min/", "cut", kMinuteFile},
        {"/hqdatagzip/min/", "garbage", kMinuteFile},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + " " + c.mode);
        Restore(old);
        FixtureControl(m_fixture.Port(), "clear");
        FixtureControl(m_fixture.Port(), std::string("fault?prefix=") + c.prefix + "&mode=" + c.mode);
        ASSERT_TRUE(m_client.Start(m_folder));
        ASSERT_NE(m_client.LogIn(), nullptr);
        if (std::string(c.file) == kCodeList) {
            HWND box = WaitForWindow(m_client.pid, "ERROR", "下载股票代码列表失败", 120000);
            ASSERT_NE(box, nullptr) << "the failure is said";
            Click(box, IDOK);
            EXPECT_TRUE(m_client.WaitForExit(60000));
        } else {
            HWND frame = m_client.MainWindow(120000);
            ASSERT_NE(frame, nullptr);
            PostMessageA(frame, WM_CLOSE, 0, 0);
            ASSERT_TRUE(m_client.WaitForExit(60000));
        }
        Files after = Stored();
        EXPECT_TRUE(after[c.file] == old.at(c.file)) << c.file << " kept as it was";
        for (auto& f : after) {
            EXPECT_TRUE(Whole(f.first, f.second)) << f.first;
            EXPECT_FALSE(IsTemporary(f.first)) << f.first;
        }
    }
}

// The program killed at moments spread over the start-up downloads (slowed to a trickle so that
// each kill falls into one): every stored file is afterwards either the old one or the new one.
TEST_F(FaultDrill, KilledDuringTheDownloads) {
    CleanRun();
    const Files old = Stored();
    FixtureControl(m_fixture.Port(), "set?now=2026-12-11%2016:00");
    CleanRun();
    const Files fresh = Stored();
    ASSERT_NE(fresh.at(kDayFile), old.at(kDayFile));
    ASSERT_NE(fresh.at(kMinuteFile), old.at(kMinuteFile));
    FixtureControl(m_fixture.Port(), "fault?prefix=/hqdatagzip/&split=1024&slow=15");
    int tempLeft = 0, replaced = 0;
    for (DWORD killAt : {150u, 300u, 450u, 600u, 750u, 900u, 1200u, 1600u}) {
        SCOPED_TRACE("killed " + std::to_string(killAt) + " ms after the login");
        Restore(old, true);
        ASSERT_TRUE(m_client.Start(m_folder));
        ASSERT_NE(m_client.LogIn(), nullptr);
        Sleep(killAt);  // the moment of the kill is the case itself
        m_client.Close();  // TerminateProcess
        for (auto& f : Stored()) {
            if (IsTemporary(f.first)) {
                ++tempLeft;
                continue;
            }
            auto o = old.find(f.first), n = fresh.find(f.first);
            if (f.first == kDayFile && n != fresh.end() && n->second == f.second) ++replaced;
            bool known = (o != old.end() && o->second == f.second) || (n != fresh.end() && n->second == f.second);
            EXPECT_TRUE(known) << f.first << " is neither the old nor the new file";
        }
    }
    // The temporaries of writes cut short (one planted, as a kill inside a write leaves it) go at
    // the next start, which works on.
    Write(std::string(kDayFile) + ".3f0-7.tmp", old.at(kDayFile).substr(0, 1000));
    CleanRun();
    for (auto& f : Stored()) {
        EXPECT_TRUE(Whole(f.first, f.second)) << f.first;
        EXPECT_FALSE(IsTemporary(f.first)) << f.first;
    }
    std::printf("kills: 8, day file already new after %d of them, temporary files left %d\n", replaced, tempLeft);
}

// The service answers a share's day, minute and tick files once with random bytes of a length
// each writer would take (the body is not compressed, so it is passed on as it is): nothing of it
// is stored or recorded, stepping away and back fetches the files again in the same session, and
// the real files are then stored whole and recorded.
TEST_F(FaultDrill, GarbageOfTheRightLengthForAnOpenedShare) {
    const int port = m_fixture.Port();
    for (const ShareFile& f : kShareFiles)
        FixtureControl(port, std::string("fault?prefix=") + f.request + "&mode=garbage&times=1&size=" +
                                 std::to_string(f.rightLength));
    HWND frame = StartToMainWindow();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(OpenShare(frame, kShare));
    for (const ShareFile& f : kShareFiles)
        ASSERT_TRUE(WaitUntil([&] { return CountLoggedRequests(port, f.request) > 0; }, kProgramStepMs, 100)) << f.request;

    ASSERT_TRUE(OpenShare(frame, kOtherShare));
    ASSERT_TRUE(
        WaitUntil([&] { return CountLoggedRequests(port, "/hqdatagzip/min/sz/000015.min") > 0; }, kProgramStepMs, 100));
    for (const ShareFile& f : kShareFiles) {
        const std::string bytes = ReadTestFile(m_folder.dir + "\\" + f.stored);
        EXPECT_TRUE(bytes.empty() || IsWholeStoredData(bytes.data(), bytes.size(), f.kind))
            << f.stored << ": the random bytes were stored";
    }

    ASSERT_TRUE(OpenShare(frame, kShare));
    for (const ShareFile& f : kShareFiles) {
        EXPECT_TRUE(WaitUntil([&] { return CountLoggedRequests(port, f.request) > 1; }, kProgramStepMs, 100))
            << f.request << " asked again: the refused reply was not taken as fresh";
        EXPECT_TRUE(WaitUntil([&] {
            const std::string bytes = ReadTestFile(m_folder.dir + "\\" + f.stored);
            return !bytes.empty() && IsWholeStoredData(bytes.data(), bytes.size(), f.kind);
        }, kProgramStepMs, 100)) << f.stored << " stored whole";
    }
    EXPECT_TRUE(Answers(frame));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    const std::string states = ReadTestFile(m_folder.dir + "\\" + kCodeState);
    for (const ShareFile& f : kShareFiles) EXPECT_NE(states.find(f.state), std::string::npos) << f.state;
    for (auto& f : Stored()) {
        EXPECT_TRUE(Whole(f.first, f.second)) << f.first;
        EXPECT_FALSE(IsTemporary(f.first)) << f.first;
    }
}

}  // namespace
