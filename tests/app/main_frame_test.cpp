// The main frame as a window against the fixture service, after a scripted login and start-up
// load: its caption buttons, bars and layout, the side panel toggle, the content panel with the
// composite index, command routing (views, indicators, 4028, the F10 key), the ten-second refresh
// in trading hours, watch-list changes over a restart, the ticker and status bar from the service,
// malformed replies that change nothing, a silent service that never freezes it, the heartbeat's
// relogin waiting for a modal dialog, and closing that stops the refresh thread and the services.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/mainframe.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/seams.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/codestate.h"
#include "store/storeenv.h"
#include "tests/app/quiet_login_view.h"
#include "tests/net/test_servers.h"
#include "win_wait.h"

namespace {

using velmora_test::CountLoggedRequests;
using velmora_test::FixtureControl;
using velmora_test::FixtureProcess;

struct Recorder : CMessageAcceptor {
    int OnMessage(int id, intptr_t wParam, intptr_t) override {
        got.push_back({id, (int)wParam});
        return 1;
    }
    std::vector<std::pair<int, int>> got;
};

// The main loop's work: filters first (the frame's accelerators and panels), then dispatch.
void Pump(CMessageLoop& loop) {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue;
        if (!loop.PreTranslateMessage(&m)) {
            ::TranslateMessage(&m);
            ::DispatchMessageA(&m);
        }
    }
}
template <class P>
bool PumpUntil(CMessageLoop& loop, P done, DWORD ms) {
    return velmora_test::PumpUntil(done, int(ms), [&](MSG* m) { return loop.PreTranslateMessage(m) != FALSE; });
}

// A shown child with something left to paint.
BOOL CALLBACK CollectUnpainted(HWND child, LPARAM out) {
    if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE))
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
    return TRUE;
}

CRect ChildRect(HWND parent, HWND child) {
    CRect r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class MainFrameWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppModule().Init(::GetModuleHandleA(nullptr));
        s_fixture = new FixtureProcess;
        std::string why;
        ASSERT_TRUE(s_fixture->Start({"--now", "2026-12-10 10:30"}, &why)) << why;
        char tmp[MAX_PATH];
        ::GetTempPathA(sizeof(tmp), tmp);
        s_folder = std::string(tmp) + "velmora-frame-" + std::to_string(::GetCurrentProcessId()) + "-" +
                   std::to_string(::GetTickCount()) + "\\";
        ::CreateDirectoryA(s_folder.c_str(), nullptr);
        ::CreateDirectoryA((s_folder + "hqdata").c_str(), nullptr);
        SetProgramFolder(s_folder.c_str());
        SetUrl(kUrlSiteRoot, s_fixture->Url("/"));
        ASSERT_TRUE(velmora_test::LogInToService());
        velmora_test::QuietLoginView view;
        ASSERT_TRUE(LoadStartupData(view));
    }
    static void TearDownTestSuite() {
        FreeDownloadManager();
        SaveAndFreeCodeStateMap();
        SetProgramFolder("");
        delete s_fixture;
        s_fixture = nullptr;
        GetAppModule().Term();
    }
    void SetUp() override {
        ASSERT_NE(s_fixture, nullptr);
        FixtureControl(s_fixture->Port(), "clear");
        FixtureControl(s_fixture->Port(), "set?now=2026-12-10%2010:30&flag=");
        ResetReloginDone();
        // The composite index is the current stock, as after the start-up load.
        GetProfile().SetCurrentStock("1A0001_1", false);
        GetAppModule().AddMessageLoop(&m_loop);
        LoadSkin();
    }
    void TearDown() override {
        if (m_frame.IsWindow()) m_frame.DestroyWindow();
        Pump(m_loop);
        GetAppModule().RemoveMessageLoop();
        FixtureControl(s_fixture->Port(), "clear");
    }
    void Open() {
        ASSERT_NE(m_frame.Create(nullptr, CRect(0, 0, 900, 680), nullptr), nullptr);
        m_frame.ShowWindow(SW_SHOW);
        Pump(m_loop);
    }
    int Port() const { return s_fixture->Port(); }

    static FixtureProcess* s_fixture;
    static std::string s_folder;
    CMessageLoop m_loop;
    CMainFrame m_frame;
};
FixtureProcess* MainFrameWindow::s_fixture = nullptr;
std::string MainFrameWindow::s_folder;

TEST_F(MainFrameWindow, CaptionBarsLayoutAndTheSidePanel) {
    Open();
    char caption[128] = {0};
    ::GetWindowTextA(m_frame, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Quorvel股票分析系统 - 经典版");
    EXPECT_EQ(::GetMenu(m_frame), nullptr);

    // Edition 1: eight caption menu buttons, 670 to 180 from the right edge, without "主力".
    ASSERT_EQ(m_frame.GetMenuButtonCount(), 8u);
    const int xs[] = {670, 600, 530, 460, 390, 320, 250, 180};
    for (size_t i = 0; i < 8; ++i) {
        const CaptionMenuButton* b = m_frame.GetMenuButton(i);
        EXPECT_EQ(b->x, xs[i]);
        EXPECT_EQ(b->y, 4);
        EXPECT_NE(b->id, 2006);
        EXPECT_NE(b->image, nullptr);
        EXPECT_EQ(b->image, m_frame.GetMenuButton(0)->image) << "one picture shared by every menu button";
    }

    const std::vector<CommandButtonRecord>& tools = m_frame.GetCommandBar().Buttons();
    ASSERT_EQ(tools.size(), 8u);
    for (size_t i = 0; i < tools.size(); ++i) EXPECT_EQ(tools[i].id, ToolButtons()[i].id);
    // Every tool button's tip is its label, shown through the bar's one tooltip control.
    HWND tip = m_frame.GetCommandBar().GetToolTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), (LRESULT)tools.size());
    for (size_t i = 0; i < tools.size(); ++i) {
        char text[80] = {0};
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = tools[i].window;
        ti.uId = (UINT_PTR)tools[i].window;
        ti.lpszText = text;
        ::SendMessageA(tip, TTM_GETTEXTA, sizeof(text), (LPARAM)&ti);
        EXPECT_STREQ(text, ToolButtons()[i].label) << i;
    }

    // Maximised to the work area; the bars stacked, the content between them.
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    CRect window;
    m_frame.GetWindowRect(&window);
    EXPECT_EQ(window.Width(), work.right - work.left);
    CRect client;
    m_frame.GetClientRect(&client);
    CRect bar = ChildRect(m_frame, m_frame.GetCommandBar()), status = ChildRect(m_frame, m_frame.GetStatusBar()),
          ticker = ChildRect(m_frame, m_frame.GetTickerBar()), content = ChildRect(m_frame, m_frame.GetContentWindow());
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.Width(), client.Width());
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(ticker.bottom, status.top);
    EXPECT_EQ(content.top, bar.bottom);
    EXPECT_EQ(content.bottom, ticker.top);
    EXPECT_EQ(content.left, 0);
    EXPECT_EQ(content.right, client.right);
    EXPECT_EQ(m_frame.GetSidePanel().m_hWnd, nullptr) << "the side panel is made when first shown";

    // The tool button shows the side panel on its watch list, 210 wide; again hides it.
    m_frame.SendMessage(WM_COMMAND, MAKEWPARAM(32801, BN_CLICKED), 0);
    ASSERT_TRUE(m_frame.GetSidePanel().IsWindowVisible());
    CRect side = ChildRect(m_frame, m_frame.GetSidePanel());
    content = ChildRect(m_frame, m_frame.GetContentWindow());
    EXPECT_EQ(side.left, 0);
    EXPECT_EQ(side.Width(), 210);
    EXPECT_EQ(side.top, bar.bottom);
    EXPECT_EQ(side.bottom, ticker.top);
    EXPECT_EQ(content.left, 210);
    EXPECT_TRUE(::IsWindowVisible(m_frame.GetSidePanel().GetList()));
    // "Add to watch list" asks with code 1000: shown stays shown.
    m_frame.SendMessage(WM_COMMAND, MAKEWPARAM(32801, 1000), 0);
    EXPECT_TRUE(m_frame.GetSidePanel().IsWindowVisible());
    m_frame.SendMessage(WM_COMMAND, MAKEWPARAM(32801, 0), 0);
    EXPECT_FALSE(m_frame.GetSidePanel().IsWindowVisible());
    EXPECT_EQ(ChildRect(m_frame, m_frame.GetContentWindow()).left, 0);

    // The close button of the side panel hides it and the frame lays out again.
    m_frame.SendMessage(WM_COMMAND, 32801, 0);
    m_frame.GetSidePanel().SendMessage(WM_COMMAND, kExtraCloseId, 0);
    EXPECT_FALSE(m_frame.GetSidePanel().IsWindowVisible());
    EXPECT_EQ(ChildRect(m_frame, m_frame.GetContentWindow()).left, 0);

    // Restored, 900 by 680 centred in the work area; created there already, the same.
    const FrameBox restored = FrameRestoredRect({work.left, work.top, work.right, work.bottom});
    m_frame.Restore();
    m_frame.GetWindowRect(&window);
    EXPECT_EQ(window, CRect(restored.left, restored.top, restored.right, restored.bottom));
}

// Created where it ends up, as the program creates it: laid out there, nothing moved after, and
// restoring still gives the centred 900 by 680 window.
TEST_F(MainFrameWindow, CreatedAtItsFinalSize) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_NE(m_frame.Create(nullptr, CMainFrame::OpenRect(), nullptr), nullptr);
    CRect window, client;
    m_frame.GetWindowRect(&window);
    EXPECT_EQ(window, CRect(work));
    m_frame.GetClientRect(&client);
    EXPECT_EQ(ChildRect(m_frame, m_frame.GetContentWindow()).right, client.right);
    EXPECT_EQ(ChildRect(m_frame, m_frame.GetStatusBar()).bottom, client.bottom);
    EXPECT_EQ(m_frame.GetWindowState(), CNcDraw::kStateMaximized);
    EXPECT_EQ(m_frame.GetNcPaintCount(), 0) << "nothing painted while hidden";
    EXPECT_FALSE(m_frame.GetContentPanel().GetSearchBox().IsWindow()) << "the search box waits for the first paint";
    m_frame.ShowWindow(SW_SHOW);
    ::RedrawWindow(m_frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(m_frame.GetNcPaintCount(), 1) << "shown and painted once";
    // That one paint left nothing of the frame or its children to paint.
    EXPECT_FALSE(::GetUpdateRect(m_frame, nullptr, FALSE));
    std::vector<HWND> unpainted;
    ::EnumChildWindows(m_frame, CollectUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    EXPECT_TRUE(unpainted.empty()) << unpainted.size() << " children still to paint";
    EXPECT_TRUE(PumpUntil(m_loop, [&] { return m_frame.GetContentPanel().GetSearchBox().IsWindow() != FALSE; }, 5000))
        << "the search box comes after the first paint";
    const FrameBox restored = FrameRestoredRect({work.left, work.top, work.right, work.bottom});
    m_frame.Restore();
    m_frame.GetWindowRect(&window);
    EXPECT_EQ(window, CRect(restored.left, restored.top, restored.right, restored.bottom));
}

TEST_F(MainFrameWindow, CommandsReachTheContentPanelAndIndicators) {
    Open();
    CContentPanelView& panel = m_frame.GetContentPanel();
    // The composite index's intraday chart first.
    EXPECT_EQ(panel.GetCurrentViewId(), 3000);
    ASSERT_NE(panel.GetCurrentView(), nullptr);
    EXPECT_EQ(panel.GetCurrentView()->GetStockCode(), "1A0001_1");

    Recorder rec;
    panel.AddAcceptor(kAppMsgIndicator, &rec);
    std::vector<std::string> pages;
    OpenPageHook old = SetOpenPageHook([&](const char* url) {
        pages.push_back(url);
        return true;
    });
    // 技术分析 and 即时分析 switch the views.
    m_frame.SendMessage(WM_COMMAND, 4001, 0);
    EXPECT_EQ(panel.GetCurrentViewId(), 3001);
    m_frame.SendMessage(WM_COMMAND, 4000, 0);
    EXPECT_EQ(panel.GetCurrentViewId(), 3000);
    for (int id : {6006, 6000, 6051, 7000, 6001, 6050, 5001, 32984}) m_frame.SendMessage(WM_COMMAND, id, 0);
    m_frame.SendMessage(WM_COMMAND, 4038, 0);
    m_frame.SendMessage(WM_COMMAND, 32775, 0);
    std::vector<std::pair<int, int>> want = {{kAppMsgIndicator, 49}, {kAppMsgIndicator, 9}, {kAppMsgIndicator, 54}};
    EXPECT_EQ(rec.got, want);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], GetSiteRoot() + "apply");
    EXPECT_EQ(pages[1], GetSiteRoot() + "member/index_do.php?fmdo=user&dopost=regnew");

    // 4028 opens another stock in the panel, which fetches its files.
    panel.SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>("399001_0"), 0);
    EXPECT_EQ(panel.GetCurrentCode(), "399001_0");
    EXPECT_TRUE(PumpUntil(m_loop, [&] { return CountLoggedRequests(Port(), "/hqdatagzip/min/sz/399001.min") >= 1; }, 20000));

    // F10 in any window of the loop is the company information (view 3002).
    ::PostMessageA(m_frame.GetContentWindow(), WM_KEYDOWN, VK_F10, 1);
    Pump(m_loop);
    EXPECT_EQ(panel.GetCurrentViewId(), 3002);

    SetOpenPageHook(old);
    panel.RemoveAcceptor(&rec);
}

// With the service's clock in trading hours the panel fetches the current stock's minute and
// tick files again every ten seconds.
TEST_F(MainFrameWindow, TradingHoursRefreshFetchesMinutesAndTicks) {
    Open();
    ASSERT_EQ(MarketOpenFlag.load(), 1);
    const char* minute = "/hqdatagzip/min/sh/1A0001.min";
    ASSERT_TRUE(PumpUntil(m_loop, [&] { return CountLoggedRequests(Port(), minute) >= 1; }, 20000));
    int minutes = CountLoggedRequests(Port(), minute), ticks = CountLoggedRequests(Port(), "/hqdatagzip/fenbi/");
    EXPECT_TRUE(PumpUntil(m_loop, [&] {
        return CountLoggedRequests(Port(), minute) > minutes && CountLoggedRequests(Port(), "/hqdatagzip/fenbi/") > ticks;
    }, 25000));
}

// Added through "加入自选股" and deleted with the Delete key in the list, each change is there
// after a restart of the frame.
TEST_F(MainFrameWindow, WatchListChangesSurviveARestart) {
    std::string file = s_folder + "hqdata\\usrstock.dat";
    ::DeleteFileA(file.c_str());
    Open();
    ASSERT_EQ(m_frame.GetContentPanel().GetCurrentView()->GetStockCode(), "1A0001_1");
    m_frame.SendMessage(WM_COMMAND, 4044, 0);
    EXPECT_TRUE(m_frame.GetSidePanel().IsWindowVisible());
    ASSERT_EQ(m_frame.GetSidePanel().GetWatchList().GetCount(), 1u);
    m_frame.DestroyWindow();
    Pump(m_loop);
    {
        CMainFrame again;
        ASSERT_NE(again.Create(nullptr, CRect(0, 0, 900, 680), nullptr), nullptr);
        again.ShowWindow(SW_SHOW);
        Pump(m_loop);
        again.SendMessage(WM_COMMAND, 32801, 0);
        ASSERT_TRUE(again.GetSidePanel().IsWindowVisible());
        ASSERT_EQ(again.GetSidePanel().GetWatchList().GetCount(), 1u);
        EXPECT_EQ(again.GetSidePanel().GetWatchList().GetRow(0).code, "1A0001");
        again.GetSidePanel().GetList().SelectItem(0, 0, 0);
        ::PostMessageA(again.GetSidePanel().GetList(), WM_KEYDOWN, VK_DELETE, 1);
        Pump(m_loop);
        EXPECT_EQ(again.GetSidePanel().GetWatchList().GetCount(), 0u);
        again.DestroyWindow();
        Pump(m_loop);
    }
    CMainFrame third;
    ASSERT_NE(third.Create(nullptr, CRect(0, 0, 900, 680), nullptr), nullptr);
    Pump(m_loop);
    third.SendMessage(WM_COMMAND, 32801, 0);
    ASSERT_NE(third.GetSidePanel().m_hWnd, nullptr);
    EXPECT_EQ(third.GetSidePanel().GetWatchList().GetCount(), 0u);
    third.DestroyWindow();
    Pump(m_loop);
}

TEST_F(MainFrameWindow, TickerAndStatusBarShowTheService) {
    Open();
    // The welcome line first, at once.
    std::vector<NewsItem> first = m_frame.GetTickerBar().Ticker().GetItems();
    ASSERT_FALSE(first.empty());
    auto hasNews = [&] {
        for (const NewsItem& item : m_frame.GetTickerBar().Ticker().GetItems())
            if (item.text.find("两市成交额") == 0) return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil(m_loop, hasNews, 30000));
    std::vector<NewsItem> items = m_frame.GetTickerBar().Ticker().GetItems();
    EXPECT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].url, GetSiteRoot() + "html/gushibobao/0.html");
    ASSERT_TRUE(PumpUntil(m_loop, [&] { return m_frame.GetStatusBar().GetPanes().size() == 7; }, 30000));
    std::vector<StatusPane> panes = m_frame.GetStatusBar().GetPanes();
    const char* names[] = {"上证指数", "深证成指", "上证50", "创业板指"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_FALSE(panes[i].runs.empty());
        EXPECT_EQ(panes[i].runs[0].text, names[i]);
        EXPECT_EQ(panes[i].id, 4028 + i);
        ASSERT_GE(panes[i].runs.size(), 4u);
        EXPECT_NE(panes[i].runs[1].font, nullptr);  // the bold figures
    }
    EXPECT_EQ(panes[4].runs[0].text.back(), ':');
    EXPECT_EQ(panes[4].id, 0);
    EXPECT_GE(CountLoggedRequests(Port(), "/login/login.php"), 1);
}

TEST_F(MainFrameWindow, MalformedRepliesChangeNothing) {
    FixtureControl(Port(), "fault?prefix=/hqdata/makestatusinfo.php&mode=garbage&size=300");
    FixtureControl(Port(), "fault?prefix=/login/login.php&mode=garbage&size=60");
    FixtureControl(Port(), "fault?prefix=/plus/rollnews.php&mode=empty");
    int32_t before = ServerDataTime.load();
    int flag = MarketOpenFlag.load();
    m_frame.SetRefreshTickMs(1);  // the next round of fetches comes at once
    Open();
    std::string welcome = m_frame.GetNewsText();
    auto asked = [&] {
        return CountLoggedRequests(Port(), "/hqdata/makestatusinfo.php") >= 1 &&
               CountLoggedRequests(Port(), "/login/login.php") >= 1 && CountLoggedRequests(Port(), "/plus/rollnews.php") >= 1;
    };
    ASSERT_TRUE(PumpUntil(m_loop, asked, 30000));
    // The thread takes its fetches one after the other: a second news request means the first
    // replies were dealt with; one more turn of this thread's queue takes what they posted.
    ASSERT_TRUE(PumpUntil(m_loop, [&] { return CountLoggedRequests(Port(), "/plus/rollnews.php") >= 2; }, 60000));
    velmora_test::QueueProbe probe;
    const long ticket = probe.Post();
    ASSERT_TRUE(PumpUntil(m_loop, [&] { return probe.Served(ticket); }, velmora_test::kEventMs));
    EXPECT_TRUE(m_frame.GetStatusBar().GetPanes().empty());
    EXPECT_EQ(ServerDataTime.load(), before);
    EXPECT_EQ(MarketOpenFlag.load(), flag);
    EXPECT_EQ(m_frame.GetNewsText(), welcome);
    EXPECT_EQ(welcome, "欢迎访问Kamo财经网\t" + GetSiteRoot() + "\r\n");
    EXPECT_EQ(m_frame.GetTickerBar().Ticker().GetItems().size(), 1u);
}

// The service takes every request of the refresh thread and never answers: the frame is up and
// answering at once, and closing it ends the waits.
TEST_F(MainFrameWindow, SilentServiceNeverFreezesTheFrame) {
    for (const char* prefix : {"/plus/", "/hqdata/makestatusinfo.php", "/login/login.php"})
        FixtureControl(Port(), std::string("fault?prefix=") + prefix + "&mode=silent&hold=60000");
    DWORD start = ::GetTickCount();
    Open();
    DWORD created = ::GetTickCount() - start;
    // Each of the three requests would hold a window's thread up to its ten-second limit.
    EXPECT_LT(created, 20000u) << "the creation's requests do not run on the window's thread";
    std::atomic<int> answered(0), asked(0);
    HWND frame = m_frame;
    std::thread prober([&] {
        for (int i = 0; i < 8; ++i) {
            ++asked;
            if (velmora_test::Answers(frame))
                ++answered;
            ::Sleep(250);  // probes spread over two seconds
        }
    });
    PumpUntil(m_loop, [&] { return asked == 8; }, 20000);
    prober.join();
    EXPECT_EQ(answered.load(), 8);
    EXPECT_GE(CountLoggedRequests(Port(), "/plus/rollnews.php"), 1) << "the request is held by the service";
    start = ::GetTickCount();
    m_frame.DestroyWindow();
    EXPECT_LT(::GetTickCount() - start, 8000u) << "the close cancels the held request, below its ten-second limit";
    EXPECT_FALSE(m_frame.IsRefreshRunning());
}

// The heartbeat asks for the morning relogin while the sector-download dialog is open (its member
// files held back): the frame stays until the dialog is cancelled, then closes for it.
TEST_F(MainFrameWindow, HeartbeatReloginWaitsForTheModalDialog) {
    FixtureControl(Port(), "set?now=2026-12-10%2009:25&flag=0");
    m_frame.SetRefreshTickMs(1);  // the heartbeat comes after 1080 ticks
    Open();
    HWND frame = m_frame;
    std::atomic<bool> aliveWhileOpen(false), reloginWhileOpen(true), sawBox(false), keptWhileOpen(false);
    std::thread closer([&] {
        // This process's dialog: other test programs show one with the same caption.
        HWND box = velmora_test::WaitForProcessWindow(nullptr, "下载板块信息");
        sawBox = box != nullptr;
        // The frame took the posted relogin and kept it for the dialog's end.
        keptWhileOpen = velmora_test::WaitUntil([&] { return m_frame.GetReloginGate().IsPending(); });
        aliveWhileOpen = ::IsWindow(frame) && ::IsWindowVisible(frame);
        reloginWhileOpen = m_frame.IsRelogin();
        if (box) ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    FixtureControl(Port(), "fault?prefix=/data/group/&delay=30000");
    ::PostMessageA(frame, WM_COMMAND, 32846, 0);
    bool closed = PumpUntil(m_loop, [&] { return !::IsWindow(frame); }, velmora_test::kProgramStepMs);
    closer.join();
    EXPECT_TRUE(sawBox);
    EXPECT_TRUE(IsReloginDone());
    EXPECT_TRUE(keptWhileOpen);
    EXPECT_TRUE(aliveWhileOpen);
    EXPECT_FALSE(reloginWhileOpen);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(m_frame.IsRelogin());
}

TEST_F(MainFrameWindow, ClosingStopsTheThreadAndReleasesTheServices) {
    Open();
    ASSERT_TRUE(m_frame.IsRefreshRunning());
    ::DeleteFileA((s_folder + "hqdata\\codestate.dat").c_str());
    GetCodeStateMap();  // in use, as the views use it
    m_frame.SendMessage(WM_COMMAND, 32783, 0);  // "退出系统"
    EXPECT_FALSE(m_frame.IsWindow());
    EXPECT_FALSE(m_frame.IsRefreshRunning());
    EXPECT_FALSE(m_frame.IsRelogin());
    EXPECT_EQ(FindDownloadManager(), nullptr);
    EXPECT_NE(::GetFileAttributesA((s_folder + "hqdata\\codestate.dat").c_str()), INVALID_FILE_ATTRIBUTES);
    // The loop's quit message says how it ended.
    MSG m;
    bool quit = false;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || (m.message == WM_QUIT && m.wParam == 1);
    EXPECT_TRUE(quit);
}

}  // namespace
