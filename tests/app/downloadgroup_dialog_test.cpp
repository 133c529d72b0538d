// The sector download's dialog under Wine against the fixture service, with the real side panel
// registered on the message bus: progress shown, the tree filled from the new files, cancels and
// a window destroyed from outside midway, a failing sector list and a silent service.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/downloadgroupdlg.h"
#include "app/extrainfoview.h"
#include "app/messagebus.h"
#include "base/fsutil.h"
#include "base/text.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/database.h"
#include "store/groups.h"
#include "store/storeenv.h"
#include "tests/net/test_servers.h"
#include "win_wait.h"

namespace {

using velmora_test::FixtureControl;
using velmora_test::FixtureProcess;
typedef std::pair<std::string, int> Step;

// The dialog with the downloader's reports recorded on their way in.
class RecordingDlg : public CDownLoadGroupDlg {
public:
    using CDownLoadGroupDlg::CDownLoadGroupDlg;
    void OnGroupProgress(std::string text, int percent) override {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_steps.emplace_back(text, percent);
        }
        CDownLoadGroupDlg::OnGroupProgress(text, percent);
    }
    std::vector<Step> Steps() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_steps;
    }

private:
    std::mutex m_lock;
    std::vector<Step> m_steps;
};

// Destroys the window named in lParam when asked: "from outside" for the dialog.
class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraGroupTestHost")
    enum : UINT { kDestroy = WM_APP + 7 };
    BEGIN_MSG_MAP(CHost)
        MSG_RAW(kDestroy, OnDestroyAsked)
    END_MSG_MAP()
    LRESULT OnDestroyAsked(UINT, WPARAM, LPARAM lParam) {
        ::DestroyWindow(reinterpret_cast<HWND>(lParam));
        return 0;
    }
};

// Records each 4034 with the thread it came on.
struct SectorsChanged : CMessageAcceptor {
    int OnMessage(int, intptr_t, intptr_t) override {
        threads.push_back(::GetCurrentThreadId());
        return 1;
    }
    std::vector<DWORD> threads;
};

struct Sector {
    std::string category, group, file;
};

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

using velmora_test::WaitUntil;

std::string ItemText(HWND dlg, int id) {
    char buf[512] = {0};
    ::GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}


// Reads the step text and the bar until the dialog goes; a reading taken while its controls were
// being destroyed is dropped. Consecutive equal readings count once.
std::vector<Step> WatchSteps(HWND dlg) {
    HWND text = ::GetDlgItem(dlg, IDC_GROUP_STEP), bar = ::GetDlgItem(dlg, IDC_GROUP_PROGRESS);
    std::vector<Step> seen;
    while (::IsWindow(text) && ::IsWindow(bar)) {
        char buf[512] = {0};
        ::GetWindowTextA(text, buf, sizeof buf);
        Step s(buf, int(::SendMessageA(bar, PBM_GETPOS, 0, 0)));
        if (!::IsWindow(text) || !::IsWindow(bar)) break;
        if (seen.empty() || seen.back() != s) seen.push_back(s);
        ::Sleep(5);  // sampling the steps until the dialog goes
    }
    return seen;
}

std::string Fetch(const std::string& url) {
    HttpClient client;
    CMemoryStream body;
    char buffer[128];
    if (!client.Download(url.c_str(), &body, buffer, sizeof buffer, nullptr)) return std::string();
    return std::string(reinterpret_cast<const char*>(body.GetData()), size_t(body.GetSize()));
}

std::string ReadFile(const std::string& path) {
    std::string data;
    velmora::ReadWholeFile(path.c_str(), data, 1 << 20);
    return data;
}

bool IsWholeMemberFile(const std::string& data) {
    if (data.size() < 2) return false;
    int16_t n;
    memcpy(&n, data.data(), 2);
    return n >= 0 && data.size() == 2 + 8 * size_t(n);
}

class GroupDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppModule().Init(nullptr);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        DestroySkinManager();
        LoadSkin();
        s_fixture = new FixtureProcess;
        std::string why;
        ASSERT_TRUE(s_fixture->Start({"--seed", "7", "--now", "2026-12-10 14:00"}, &why)) << why;
        char tmp[MAX_PATH];
        ::GetTempPathA(sizeof tmp, tmp);
        s_folder = std::string(tmp) + "velmora-groups-" + std::to_string(::GetCurrentProcessId()) + "-" +
                   std::to_string(::GetTickCount()) + "\\";
        ::CreateDirectoryA(s_folder.c_str(), nullptr);
        SetProgramFolder(s_folder.c_str());
        char error[256];
        ASSERT_EQ(InitializeDatabase(error, sizeof error), 1) << error;
        SetSiteRootUrl(s_fixture->Url("/"));
        SetDataServerHost("127.0.0.1:" + std::to_string(s_fixture->Port()));
        // The stocks, as the start-up loads them: members are shown only when they are known.
        auto store = [](const char*, const char* path, void*, const void* data, int size) {
            GetDatabase().StoreFile(path, data, size);
        };
        DownloadManager* manager = GetDownloadManager();
        ASSERT_TRUE(manager->DownloadNow((GetServerRootUrl() + "hqdatagzip/codelist/codelist.ldt").c_str(), "",
                                         (s_folder + "hqdata\\codelist.dat").c_str(), store, nullptr, false, false,
                                         true));
        ASSERT_EQ(GetStockContainer().LoadFromDatabase(&GetDatabase(), 0, 10000), 1);
        // The service's sectors, from its list.
        std::vector<std::string> lines;
        SplitString(Fetch(s_fixture->Url("/data/blank/")).c_str(), "\r\n", lines);
        for (const std::string& line : lines) {
            size_t a = line.find('-'), b = line.find('-', a + 1);
            if (a == std::string::npos || b == std::string::npos) continue;
            s_sectors.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(line.rfind('/') + 1)});
        }
        ASSERT_GT(s_sectors.size(), 10u);
    }
    static void TearDownTestSuite() {
        FreeGroupDownloader();
        FreeDownloadManager();
        GetStockContainer().Clear();
        GetDatabase().SetStore(nullptr);
        SetProgramFolder(nullptr);
        delete s_fixture;
        s_fixture = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(s_fixture, nullptr);
        FixtureControl(s_fixture->Port(), "clear");
        bus.AddAcceptor(kAppMsgSectorsChanged, &changed);
        panel.RegisterNotifySink(&bus);
        panel.SetWatchListPath(s_folder + "usrstock.dat");
        ASSERT_NE(host.Create(nullptr, CRect(20, 20, 620, 620), "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
        ASSERT_NE(panel.Create(host, CRect(0, 0, kExtraWidth, 560), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
        panel.ShowListPage(0);
        Pump();
    }
    void TearDown() override {
        if (host.IsWindow()) host.DestroyWindow();
        Pump();
        FixtureControl(s_fixture->Port(), "clear");
    }

    static std::string PathOf(const Sector& s) {
        return s_folder + "hqdata\\group\\" + s.category + "\\" + s.group + "\\" + s.file;
    }
    static std::vector<std::string> StoredFiles() {
        std::vector<std::string> files;
        for (const Sector& s : s_sectors) files.push_back(ReadFile(PathOf(s)));
        return files;
    }
    static void Fault(const std::string& prefix, const std::string& options) {
        FixtureControl(s_fixture->Port(), "fault?prefix=" + prefix + "&" + options);
    }
    // Runs the dialog modally over the host with a driver on another thread; the dialog's result.
    int RunDialog(RecordingDlg& dlg, const std::function<void(HWND)>& drive) {
        std::thread driver([&] {
            HWND h = nullptr;
            WaitUntil([&] { return (h = dlg.m_hWnd) != nullptr && ::IsWindowVisible(h); }, 30000);
            if (h) drive(h);
        });
        int result = int(dlg.DoModal(host));
        driver.join();
        Pump();
        return result;
    }
    // The step text shown once a step of the sector at this position was reported.
    static std::string StepOf(size_t i) { return s_sectors[i].category + ":" + s_sectors[i].group; }
    // Items of the tree once every group is expanded (a group's members come on its first expansion).
    int TreeCount() {
        HWND tree = panel.GetTree();
        auto next = [&](HTREEITEM item, UINT how) {
            return (HTREEITEM)::SendMessageA(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
        };
        for (HTREEITEM c = next(nullptr, TVGN_ROOT); c; c = next(c, TVGN_NEXT))
            for (HTREEITEM g = next(c, TVGN_CHILD); g; g = next(g, TVGN_NEXT))
                ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)g);
        return int(::SendMessageA(tree, TVM_GETCOUNT, 0, 0));
    }
    // What the tree must hold for the stored files: categories, groups, members.
    int ExpectedTreeCount() {
        std::map<std::string, int> categories;
        int items = 0;
        for (const Sector& s : s_sectors) {
            std::vector<CGroupDownloader::Member> members;
            CGroupDownloader::ReadGroupFile(PathOf(s).c_str(), members);
            if (!velmora::FileExists(PathOf(s).c_str())) continue;
            categories[s.category] = 1;
            items += 1 + int(members.size());
        }
        return items + int(categories.size());
    }
    // A whole pass without faults, so that every file is stored.
    void FullPass() {
        RecordingDlg dlg(&bus);
        ASSERT_EQ(RunDialog(dlg, [](HWND) {}), 1);
        for (const std::string& f : StoredFiles()) ASSERT_TRUE(IsWholeMemberFile(f));
    }

    static FixtureProcess* s_fixture;
    static std::string s_folder;
    static std::vector<Sector> s_sectors;
    MessageBus bus;
    SectorsChanged changed;
    CHost host;
    CExtraInfoView panel;
};

FixtureProcess* GroupDialog::s_fixture = nullptr;
std::string GroupDialog::s_folder;
std::vector<Sector> GroupDialog::s_sectors;

TEST_F(GroupDialog, ShowsEachStepFillsThePanelsTreeAndEndsItself) {
    // Slow enough per member file that every step is on screen for a while.
    Fault("/data/group/", "delay=120");
    RecordingDlg dlg(&bus);
    std::vector<Step> shown;
    HWND dialog = nullptr;
    std::string caption, button;
    int result = RunDialog(dlg, [&](HWND h) {
        dialog = h;
        char buf[64] = {};
        ::GetWindowTextA(h, buf, sizeof buf);
        caption = buf;
        button = ItemText(h, IDCANCEL);
        shown = WatchSteps(h);
    });
    EXPECT_EQ(caption, "下载板块信息");
    EXPECT_EQ(button, "取消下载");
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(::IsWindow(dialog));
    EXPECT_FALSE(dlg.IsStarted());  // joined

    // The downloader's reports: the list, then each sector before its file, below 100.
    const size_t n = s_sectors.size();
    std::vector<Step> expected{{"GroupInfo", 1}};
    for (size_t i = 0; i < n; ++i) expected.emplace_back(StepOf(i), int(99.0 / n * i));
    EXPECT_EQ(dlg.Steps(), expected);
    EXPECT_EQ(expected.back().second, int(99 * (n - 1) / n));

    // On screen: the steps in order with the bar moving along, never 100. Text and bar are read one
    // after the other, so the bar may already show a later step than the text.
    ASSERT_GE(shown.size(), n / 2);
    int lastStep = -1;
    for (size_t i = 0; i < shown.size(); ++i) {
        const Step& s = shown[i];
        SCOPED_TRACE(i);
        if (i > 0) {
            EXPECT_GE(s.second, shown[i - 1].second);
        }
        EXPECT_LT(s.second, 100);
        if (s.first == "下载信息") {
            EXPECT_EQ(lastStep, -1);
            continue;
        }
        auto at = std::find_if(expected.begin(), expected.end(), [&](const Step& e) { return e.first == s.first; });
        ASSERT_NE(at, expected.end());
        const int step = int(at - expected.begin());
        EXPECT_GE(step, lastStep);
        EXPECT_GE(s.second, at->second);
        lastStep = step;
    }
    EXPECT_GT(shown.back().second, 80);

    // Every member file stored whole; 4034 came once, on the worker; the real panel's tree holds them.
    for (const std::string& f : StoredFiles()) EXPECT_TRUE(IsWholeMemberFile(f));
    ASSERT_EQ(changed.threads.size(), 1u);
    EXPECT_NE(changed.threads[0], ::GetCurrentThreadId());
    EXPECT_EQ(TreeCount(), ExpectedTreeCount());
    EXPECT_GT(TreeCount(), int(n) + 100);
    char text[64] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = (HTREEITEM)::SendMessageA(panel.GetTree(), TVM_GETNEXTITEM, TVGN_ROOT, 0);
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    ASSERT_TRUE(::SendMessageA(panel.GetTree(), TVM_GETITEMA, 0, (LPARAM)&tv));
    std::vector<std::string> categories;
    for (const Sector& s : s_sectors) categories.push_back(s.category);
    EXPECT_EQ(text, *std::min_element(categories.begin(), categories.end()));
}

// Cancel by the button and by closing the window, during the third member file: the dialog closes
// by itself well within the time that file takes; the pass stopped before the next sector; each
// stored file is the new one (fetched before the cancel) or the old one, never a part.
TEST_F(GroupDialog, CancelMidwayClosesPromptlyAndKeepsEveryFileWhole) {
    FullPass();
    for (UINT how : {UINT(IDCANCEL), UINT(WM_CLOSE)}) {
        SCOPED_TRACE(how == IDCANCEL ? "button" : "close");
        FixtureControl(s_fixture->Port(), "clear");
        FullPass();
        const std::vector<std::string> old = StoredFiles();
        // The service's next edition: other members in every file.
        FixtureControl(s_fixture->Port(), "sectors?edition=" + std::to_string(how == IDCANCEL ? 2 : 3));
        std::vector<std::string> fresh;
        for (const Sector& s : s_sectors) fresh.push_back(Fetch(s_fixture->Url("/data/group/" + s.file)));
        // The first two files come at once, the others a few bytes at a time (several seconds each).
        Fault("/data/group/", "split=16&slow=400");
        Fault("/data/group/" + s_sectors[0].file, "delay=0");
        Fault("/data/group/" + s_sectors[1].file, "delay=0");
        changed.threads.clear();
        RecordingDlg dlg(&bus);
        DWORD pressed = 0, gone = 0;
        int result = RunDialog(dlg, [&](HWND h) {
            ASSERT_TRUE(WaitUntil([&] { return ItemText(h, IDC_GROUP_STEP) == StepOf(2); }, 30000));
            ::Sleep(300);  // into the third file's body
            pressed = ::GetTickCount();
            if (how == IDCANCEL)
                ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)::GetDlgItem(h, IDCANCEL));
            else
                ::PostMessageA(h, WM_CLOSE, 0, 0);
            WaitUntil([&] { return !::IsWindow(h); }, 30000);
            gone = ::GetTickCount();
        });
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(dlg.IsCancelled());
        EXPECT_FALSE(dlg.IsStarted());
        ASSERT_NE(gone, 0u);
        // Waiting the file out would take several seconds more (its reply comes 16 bytes every 400 ms).
        EXPECT_LT(gone - pressed, 4000u);
        std::vector<Step> steps = dlg.Steps();
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back().first, StepOf(2));
        const std::vector<std::string> now = StoredFiles();
        for (size_t i = 0; i < now.size(); ++i) {
            SCOPED_TRACE(s_sectors[i].file);
            EXPECT_TRUE(IsWholeMemberFile(now[i]));
            EXPECT_EQ(now[i], i < 2 ? fresh[i] : old[i]);
            if (i < 2) {
                EXPECT_NE(fresh[i], old[i]);
            }
        }
        // The panel was still told, and shows what is stored now.
        EXPECT_EQ(changed.threads.size(), 1u);
        EXPECT_EQ(TreeCount(), ExpectedTreeCount());
    }
}

// The window destroyed from outside midway, itself or with its owner: the thread is joined before
// the dialog object goes, the pass is cancelled, no file is cut and nobody is told.
TEST_F(GroupDialog, DestroyedFromOutsideMidwayJoinsItsThread) {
    FullPass();
    const std::vector<std::string> old = StoredFiles();
    for (bool owner : {false, true}) {
        SCOPED_TRACE(owner ? "owner destroyed" : "dialog destroyed");
        FixtureControl(s_fixture->Port(), "clear");
        FixtureControl(s_fixture->Port(), "sectors?edition=4");
        Fault("/data/group/", "split=16&slow=400");
        changed.threads.clear();
        {
            auto dlg = std::make_unique<RecordingDlg>(&bus);
            HWND target = nullptr;
            int result = RunDialog(*dlg, [&](HWND h) {
                ASSERT_TRUE(WaitUntil([&] { return ItemText(h, IDC_GROUP_STEP) == StepOf(0); }, 30000));
                ::Sleep(300);  // pacing: into the first file's body
                target = owner ? HWND(host) : h;
                ::PostMessageA(host, CHost::kDestroy, 0, (LPARAM)target);
                WaitUntil([&] { return !::IsWindow(h); }, 30000);
            });
            EXPECT_NE(result, 1);
            EXPECT_FALSE(dlg->IsStarted());  // joined while the window went
            EXPECT_EQ(dlg->Steps().back().first, StepOf(0));
        }  // the object goes here
        EXPECT_TRUE(changed.threads.empty());
        EXPECT_EQ(StoredFiles(), old);
        if (owner) {
            ASSERT_FALSE(host.IsWindow());
            break;
        }
    }
}

TEST_F(GroupDialog, AFailingSectorListEndsTheDialogAndDamagesNothing) {
    FullPass();
    const std::vector<std::string> old = StoredFiles();
    const int tree = TreeCount();
    for (const char* mode : {"mode=500", "mode=reset", "mode=cut"}) {
        SCOPED_TRACE(mode);
        FixtureControl(s_fixture->Port(), "clear");
        Fault("/data/blank/", mode);
        changed.threads.clear();
        RecordingDlg dlg(&bus);
        std::vector<Step> shown;
        int result = RunDialog(dlg, [&](HWND h) { shown = WatchSteps(h); });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(dlg.Steps(), (std::vector<Step>{{"Download Error ", -1}}));
        // The error is not shown: the initial text and an empty bar stay.
        for (const Step& s : shown) EXPECT_EQ(s, Step("下载信息", 0));
        EXPECT_EQ(StoredFiles(), old);
        // The panel is still told, and still shows the stored sectors.
        EXPECT_EQ(changed.threads.size(), 1u);
        EXPECT_EQ(TreeCount(), tree);
    }
}

// A service that takes the request and never answers: the dialog keeps answering its thread's
// messages, and a cancel ends the waiting request at once instead of after its time-out.
TEST_F(GroupDialog, ASilentServiceKeepsTheDialogAnsweringAndCancelWorks) {
    Fault("/data/blank/", "mode=silent&hold=30000");
    RecordingDlg dlg(&bus);
    int answered = 0;
    DWORD pressed = 0, gone = 0;
    int result = RunDialog(dlg, [&](HWND h) {
        for (int i = 0; i < 8; ++i) {
            if (velmora_test::Answers(h))
                ++answered;
            ::Sleep(200);  // probes spread over the wait
        }
        pressed = ::GetTickCount();
        ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)::GetDlgItem(h, IDCANCEL));
        // The button shows that the cancel was taken while the request is still being ended.
        WaitUntil([&] { return !::IsWindow(h); }, 30000);
        gone = ::GetTickCount();
    });
    EXPECT_EQ(answered, 8);
    EXPECT_EQ(result, 1);
    // The client waits 10 s for a silent server: the cancel must not.
    EXPECT_LT(gone - pressed, 5000u);
    EXPECT_EQ(dlg.Steps(), (std::vector<Step>{{"Download Error ", -1}}));
}

// Not a check: keeps the dialog midway for a screenshot (VELMORA_SHOW_MS, default 4000).
TEST_F(GroupDialog, DISABLED_ShowMidway) {
    const char* ms = std::getenv("VELMORA_SHOW_MS");
    const int show = ms ? std::atoi(ms) : 4000;
    Fault("/data/group/", "delay=250");
    Fault("/data/group/g012.dat", "delay=600000");
    RecordingDlg dlg(&bus);
    RunDialog(dlg, [&](HWND h) {
        ::Sleep(DWORD(show));  // a person looks meanwhile
        ::PostMessageA(h, WM_CLOSE, 0, 0);
    });
}

}  // namespace
