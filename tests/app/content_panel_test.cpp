// The content panel in a plain top-level window against the fixture service: the views it shows
// and switches, the files it asks the service for (seen in the fixture's request log), the
// reloads it asks of its views (seen by an acceptor of 4029), the download callback's routing,
// and a shutdown while a worker keeps finishing downloads.
#include "app/contentpanel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appstate.h"
#include "app/urltable.h"
#include "base/fsutil.h"
#include "base/seams.h"
#include "charts/fixture_data.h"
#include "charts/f10view.h"
#include "charts/graphview.h"
#include "charts/realtimeview.h"
#include "charts/stockgraph.h"
#include "net/download.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/codestate.h"
#include "store/storeenv.h"
#include "win_wait.h"

namespace {

chart_test::FixtureData* g_data = nullptr;

class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraPanelTestHost")
    std::vector<std::pair<int, int>> commands;  // id, notification code
    BEGIN_MSG_MAP(CHost)
        if (uMsg == WM_COMMAND) {
            commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
            lResult = 0;
            return TRUE;
        }
    END_MSG_MAP()
};

// Records every message of the ids it registered for, from any thread.
struct Recorder : CMessageAcceptor {
    struct Got {
        int id;
        intptr_t w, l;
        std::string text;
    };
    std::mutex lock;
    std::vector<Got> got;
    std::atomic<int> count{0};
    int OnMessage(int id, intptr_t w, intptr_t l) override {
        std::lock_guard<std::mutex> hold(lock);
        got.push_back({id, w, l, id == kAppMsgAddToWatch && w ? reinterpret_cast<const char*>(w) : ""});
        ++count;
        return 1;
    }
    std::vector<Got> Take() {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<Got> out;
        out.swap(got);
        return out;
    }
};

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

using velmora_test::PumpUntil;

// Pumps until the download queue is empty and every task taken has finished.
bool Drain(int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        Pump();
        if (GetTaskQueue().GetCount() == 0) {
            Pump();
            return true;
        }
        ::Sleep(10);  // polling
    }
    return false;
}

int Logged(const std::string& prefix) { return velmora_test::CountLoggedRequests(g_data->Port(), prefix); }
void ClearLog() { velmora_test::FixtureControl(g_data->Port(), "clear"); }

std::string Plain(const std::string& code) { return code.substr(0, code.size() - 2); }
bool IsShanghai(const std::string& code) { return code.compare(code.size() - 2, 2, "_1") == 0; }
std::string Lower(const std::string& code) { return IsShanghai(code) ? "sh" : "sz"; }

std::string LocalPath(const std::string& code, int kind) {
    StockDataPaths paths;
    GetDataPaths(code, IsShanghai(code), kind, GetDataServerHost(), GetProgramFolder(), &paths);
    return paths.localPath;
}

// A switch of the fixture for a path prefix, dropped when the scope ends (or before).
class FixtureFault {
public:
    FixtureFault(int port, const std::string& prefix, const std::string& options) : m_port(port) {
        velmora_test::FixtureControl(port, "fault?prefix=" + prefix + "&" + options);
    }
    ~FixtureFault() { Clear(); }
    void Clear() {
        if (m_on) velmora_test::FixtureControl(m_port, "clear");
        m_on = false;
    }

private:
    int m_port;
    bool m_on = true;
};

// Puts the profile's indicator lists back.
class ProfileListsKeeper {
public:
    ProfileListsKeeper() : m_shown(GetProfile().GetShownIndicators()), m_second(GetProfile().GetSecondIndicatorList()) {}
    ~ProfileListsKeeper() {
        GetProfile().SetShownIndicators(m_shown);
        GetProfile().SetSecondIndicatorList(m_second);
    }

private:
    CSPDWordArray m_shown, m_second;
};

class ContentPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(::GetACP(), 936u) << "the tests run with the Chinese code page";
        DestroySkinManager();
        LoadSkin();
        g_data = new chart_test::FixtureData;
        std::string why;
        if (!g_data->Load(8, &why)) {
            delete g_data;
            g_data = nullptr;
            FAIL() << why;
        }
    }
    static void TearDownTestSuite() {
        delete g_data;
        g_data = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(g_data, nullptr);
        ASSERT_TRUE(Drain());
        // Every test starts on the composite index.
        GetProfile().SetCurrentStock("1A0001_1", false);
        SetSignalDownloadMode(0);
        SetServerDataState(CTimeStamp(2026, 12, 10, 14, 0, 0).GetTime(), false);
        m_boxes = 0;
        m_oldBox = SetMessageBoxHook([this](void*, const char*, const char*, UINT) {
            ++m_boxes;
            return IDOK;
        });
        ASSERT_NE(m_host.Create(nullptr, CRect(0, 0, 1000, 700), "panel host", WS_OVERLAPPEDWINDOW), nullptr);
        m_panel = new CContentPanelView;
        for (int id : {int(kAppMsgReload), int(kAppMsgAddToWatch)}) m_panel->AddAcceptor(id, &m_seen);
        m_panel->SetInsidePageHandler([this](HWND, const std::string& title, const std::string& url) {
            m_pages.push_back(title + "|" + url);
        });
        RECT client;
        m_host.GetClientRect(&client);
        ASSERT_NE(m_panel->Create(m_host, client), nullptr);
        Pump();
    }
    void TearDown() override {
        if (m_panel) {
            m_host.DestroyWindow();
            delete m_panel;
        }
        Pump();
        Drain();
        SetMessageBoxHook(m_oldBox);
        SetSignalDownloadMode(0);
    }
    void Command(int id) { m_panel->SendMessage(kAppMsgCommand, id, 0); }
    void Open(const std::string& code, bool kline) {
        m_panel->SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), kline ? 1 : 0);
    }
    int DrawMode() {
        CRealTimeView* view = m_panel->GetRealTimeView();
        SingleLock lock(&view->GetLock());
        return view->GetPane(0).GetDrawMode();
    }
    int ExrightMode() {
        CGraphView* view = m_panel->GetGraphView();
        SingleLock lock(&view->ViewLock());
        return view->Chart().GetExrightMode();
    }
    // The reloads asked through 4029, as (wParam, lParam).
    std::vector<std::pair<intptr_t, intptr_t>> Reloads() {
        std::vector<std::pair<intptr_t, intptr_t>> out;
        for (const Recorder::Got& g : m_seen.Take())
            if (g.id == kAppMsgReload) out.emplace_back(g.w, g.l);
        return out;
    }
    // The stock the current view draws, its name and its bars (the K-line's days, the intraday
    // pane's minutes).
    struct ShownStock {
        std::string code, name;
        int bars = 0;
    };
    ShownStock Shown() {
        ShownStock shown;
        auto take = [&shown](CStock& stock, int bars) {
            shown.code = stock.GetStockCode();
            shown.name = stock.GetStockInfo().GetStockName();
            shown.bars = bars;
        };
        if (m_panel->GetCurrentViewId() == kViewGraph) {
            CGraphView* view = m_panel->GetGraphView();
            SingleLock lock(&view->ViewLock());
            CStock& stock = view->Chart().GetStock();
            take(stock, stock.GetKDataDay().GetSize());
        } else if (m_panel->GetCurrentViewId() == kViewRealTime) {
            CRealTimeView* view = m_panel->GetRealTimeView();
            SingleLock lock(&view->GetLock());
            CStock& stock = view->GetPane(0).GetStock();
            take(stock, stock.GetMinute().GetSize());
        }
        return shown;
    }
    // An A share of the code list none of whose files is on disk.
    static std::string ShareWithNothingStored() {
        CStockContainer& all = GetStockContainer();
        for (int i = all.GetSize() - 1; i >= 0; --i) {
            const CStockInfo& info = all[i];
            const std::string code = info.GetStockCode();
            if ((info.GetType() == kindShA || info.GetType() == kindSzA) &&
                !velmora::FileExists(LocalPath(code, stockDataDay).c_str()) &&
                !velmora::FileExists(LocalPath(code, stockDataMinute).c_str()))
                return code;
        }
        return std::string();
    }
    // A body of the service for a code's file, as the download callback would get it.
    std::string Body(const std::string& remote) {
        static std::string captured;
        captured.clear();
        DownloadCallback keep = [](const char*, const char*, void*, const void* data, int size) {
            captured.assign(static_cast<const char*>(data), size_t(size));
        };
        GetDownloadManager()->DownloadNow((GetServerRootUrl() + remote).c_str(), "", "", keep, nullptr, false, false,
                                          true);
        return captured;
    }

    CHost m_host;
    CContentPanelView* m_panel = nullptr;
    Recorder m_seen;
    std::vector<std::string> m_pages;
    int m_boxes = 0;
    MessageBoxHook m_oldBox;
};

}  // namespace

TEST_F(ContentPanel, StartsOnTheIntradayViewOfTheCompositeIndex) {
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    ASSERT_NE(m_panel->GetRealTimeView(), nullptr);
    EXPECT_EQ(m_panel->GetGraphView(), nullptr);  // made on first use
    EXPECT_EQ(m_panel->GetRealTimeView()->GetStockCode(), "1A0001_1");
    EXPECT_TRUE(::IsWindowVisible(m_panel->GetRealTimeView()->GetViewWindow()) || !m_host.IsWindowVisible());
    EXPECT_TRUE(m_panel->IsTimerReloadOn());
    // The view covers the panel.
    RECT panel, view;
    m_panel->GetClientRect(&panel);
    ::GetClientRect(m_panel->GetRealTimeView()->GetViewWindow(), &view);
    EXPECT_EQ(view.right, panel.right);
    EXPECT_EQ(view.bottom, panel.bottom);
    // An id nobody registered does nothing; a view id without a view leaves the current one.
    EXPECT_EQ(m_panel->SendMessage(9999, 1, 2), 0);
    m_panel->ShowView(3005);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    for (int id : {4016, 4038, 4078, 4079, 4999, 5000}) Command(id);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(DrawMode(), 1);
    EXPECT_TRUE(m_pages.empty());
    EXPECT_EQ(m_boxes, 0);
}

TEST_F(ContentPanel, OpeningACodeShowsItsKLineAndQueuesItsFiles) {
    const std::string code = g_data->Codes()[2];
    ClearLog();
    Open(code, true);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    EXPECT_EQ(m_panel->GetCurrentCode(), code);
    EXPECT_EQ(m_panel->GetGraphView()->GetStockCode(), code);
    ASSERT_TRUE(Drain());
    const std::string p = Plain(code), m = Lower(code);
    EXPECT_EQ(Logged("/hqdatagzip/min/" + m + "/" + p + ".min"), 1);
    EXPECT_EQ(Logged("/hqdatagzip/sday/" + std::string(IsShanghai(code) ? "SH" : "SZ") + p + ".ldy"), 1);
    EXPECT_EQ(Logged("/hqdatagzip/fenbi/" + m + p + ".fbs"), 1);
    EXPECT_EQ(Logged("/hqdatagzip/macd/"), 0);
    // A manual reload looks at the stocks before and after it too.
    std::vector<CStockInfo> prev, next;
    GetProfile().GetPrevStocks(prev, 1);
    GetProfile().GetNextStocks(next, 1);
    ASSERT_EQ(prev.size(), 1u);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(Logged("/hqdatagzip/min/" + Lower(prev[0].GetStockCode()) + "/" + Plain(prev[0].GetStockCode())), 1);
    EXPECT_EQ(Logged("/hqdatagzip/min/" + Lower(next[0].GetStockCode()) + "/" + Plain(next[0].GetStockCode())), 1);
    // The arrivals of the current stock reloaded the K-line view: the minute file as (0, 1).
    bool minute = false;
    for (auto r : Reloads()) minute |= r == std::make_pair(intptr_t(0), intptr_t(1));
    EXPECT_TRUE(minute);

    // Opened again with its files recorded fresh: nothing asked, the view reloads from disk.
    ClearLog();
    Open(code, false);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(Logged("/hqdatagzip/min/" + m + "/" + p), 0);
    EXPECT_EQ(Logged("/hqdatagzip/sday/"), 0);
    // An unknown code changes nothing.
    Open("999999_1", true);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(m_panel->GetCurrentCode(), code);
}

TEST_F(ContentPanel, CommandsSwitchViewsAndModes) {
    Open(g_data->Codes()[0], false);
    Command(4001);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    Command(4001);  // always the K-line view
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    // 4004 from the K-line view: the intraday view first, then trades.
    Command(4004);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(DrawMode(), 2);
    Command(4000);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(DrawMode(), 1);
    Command(4011);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    EXPECT_EQ(ExrightMode(), 2);
    Command(4012);
    EXPECT_EQ(ExrightMode(), 3);
    Command(4013);
    EXPECT_EQ(ExrightMode(), 1);

    // 4037 twice: signals on (the file asked at once, the K-line view) and off again.
    Command(4000);
    ASSERT_TRUE(Drain());
    ClearLog();
    Command(4037);
    EXPECT_EQ(GetSignalDownloadMode(), 2);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    ASSERT_TRUE(Drain());
    const std::string code = g_data->Codes()[0];
    EXPECT_EQ(Logged("/hqdatagzip/macd/" + Lower(code) + Plain(code) + ".sgn"), 1);
    Command(4037);
    EXPECT_EQ(GetSignalDownloadMode(), 0);
    EXPECT_EQ(m_boxes, 0);

    // 4033: the company view with its text fetched; again while shown does nothing.
    ClearLog();
    Command(4033);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewF10);
    ASSERT_TRUE(Drain());
    EXPECT_EQ(Logged("/hqdatagzip/F10/" + Lower(code) + Plain(code) + ".txt"), 1);
    Command(4033);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewF10);

    // Fund-flow pages inside the program, at the data server with the code and market.
    Command(4057);
    ASSERT_EQ(m_pages.size(), 1u);
    EXPECT_EQ(m_pages[0], std::string("当日资金流入|http://") + GetDataServerHost() + "/php/cashflow_in.5.php?m=" +
                              (IsShanghai(code) ? "18515" : "23123") + "&c=" + code);

    // 4044: the stock to the watch list through the processor, then the frame shows the list.
    m_seen.Take();
    Command(4044);
    std::vector<Recorder::Got> got = m_seen.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, kAppMsgAddToWatch);
    EXPECT_EQ(got[0].text, code);
    ASSERT_EQ(m_host.commands.size(), 1u);
    EXPECT_EQ(m_host.commands[0], std::make_pair(32801, 1000));

    // Service pages: outside through the page seam, the announcement inside with the user name
    // percent-encoded.
    std::vector<std::string> outside;
    OpenPageHook oldPage = SetOpenPageHook([&](const char* url) {
        outside.push_back(url);
        return true;
    });
    Command(4018);
    Command(4019);
    SetOpenPageHook(oldPage);
    EXPECT_EQ(outside, (std::vector<std::string>{GetSiteRoot(), GetSiteRoot() + "html/qushiyuce/"}));
    const std::string user = GetLoginUserName();
    SetLoginUserName("张 三&x");
    Command(4080);
    SetLoginUserName(user);
    ASSERT_EQ(m_pages.size(), 2u);
    EXPECT_EQ(m_pages[1], "最新公告|" + GetSiteRoot() + "tip/tip_action.php?u=%D5%C5%20%C8%FD%26x");

    // On an index, per-stock commands say why and do nothing.
    Open("1A0001_1", false);
    Command(4037);
    Command(4058);
    EXPECT_EQ(m_boxes, 2);
    EXPECT_EQ(GetSignalDownloadMode(), 0);
    EXPECT_EQ(m_pages.size(), 2u);
}

TEST_F(ContentPanel, KeysSwitchViews) {
    Command(4004);
    EXPECT_EQ(DrawMode(), 2);
    m_panel->OnKeyDown(VK_F5, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    m_panel->OnKeyDown(VK_F5, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(DrawMode(), 1);
    // F4 and F3: the Shenzhen and Shanghai indexes on the intraday view.
    m_panel->OnKeyDown(VK_F5, 0);
    m_panel->OnKeyDown(VK_F4, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(m_panel->GetCurrentCode(), "399001_0");
    m_panel->OnKeyDown(VK_F3, 0);
    EXPECT_EQ(m_panel->GetCurrentCode(), "1A0001_1");
    // Through the frame's filter: a key down is taken; a double click switches and goes on.
    MSG key = {m_panel->m_hWnd, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
    EXPECT_TRUE(m_panel->PreTranslateMessage(&key));
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    MSG click = {m_panel->m_hWnd, WM_LBUTTONDBLCLK, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(m_panel->PreTranslateMessage(&click));
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    // A letter opens the search box and is taken there.
    MSG letter = {m_panel->m_hWnd, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_TRUE(m_panel->PreTranslateMessage(&letter));
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_TRUE(m_panel->IsSearchBoxVisible());
}

TEST_F(ContentPanel, TypingACodeOpensTheStockThroughTheSearchBox) {
    m_host.ShowWindow(SW_SHOW);
    auto press = [this](UINT vk) {
        MSG m = {m_panel->m_hWnd, WM_KEYDOWN, vk, 1, 0, {0, 0}};
        return m_panel->PreTranslateMessage(&m) != FALSE;
    };
    CSearchBox& box = m_panel->GetSearchBox();
    EXPECT_FALSE(m_panel->IsSearchBoxVisible());
    for (char c : std::string("600000")) EXPECT_TRUE(press(UINT(c)));
    ASSERT_TRUE(m_panel->IsSearchBoxVisible());
    EXPECT_EQ(box.GetText(), "600000");
    ASSERT_FALSE(box.GetLines().empty());
    EXPECT_EQ(box.GetLines()[0].substr(0, 8), "600000  ");
    // In the bottom-right corner, 200 by 300, above the view.
    RECT client, r;
    m_panel->GetClientRect(&client);
    box.GetWindowRect(&r);
    ::MapWindowPoints(nullptr, m_panel->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(CRect(r), CRect(client.right - 200, client.bottom - 300, client.right, client.bottom));
    POINT inside = {client.right - 100, client.bottom - 150};
    EXPECT_EQ(::ChildWindowFromPointEx(m_panel->m_hWnd, inside, CWP_SKIPINVISIBLE), box.m_hWnd);
    // The panel follows its size with the open box.
    m_host.SetWindowPos(nullptr, 0, 0, 900, 650, SWP_NOZORDER | SWP_NOMOVE);
    m_panel->SetWindowPos(nullptr, 0, 0, 850, 600, SWP_NOZORDER | SWP_NOMOVE);
    box.GetWindowRect(&r);
    ::MapWindowPoints(nullptr, m_panel->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(CRect(r), CRect(850 - 200, 600 - 300, 850, 600));

    EXPECT_TRUE(press(VK_RETURN));
    EXPECT_FALSE(m_panel->IsSearchBoxVisible());
    EXPECT_EQ(m_panel->GetCurrentCode(), "600000_1");
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    // Keys go to the panel again once the box is closed.
    EXPECT_TRUE(press(VK_F5));
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);

    // An indicator chosen in the box goes into the K-line chart.
    CStProfile& profile = GetProfile();
    const CSPDWordArray saved = profile.GetShownIndicators();
    for (char c : std::string("09")) EXPECT_TRUE(press(UINT(c)));
    EXPECT_TRUE(press(VK_RETURN));
    const CSPDWordArray shown = profile.GetShownIndicators();
    ASSERT_GT(shown.GetSize(), 0);
    EXPECT_EQ(shown[shown.GetSize() - 1], 9u);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    profile.SetShownIndicators(saved);
}

TEST_F(ContentPanel, TimerLooksAtMinutesAndTicksOnly) {
    const std::string code = g_data->Codes()[1];
    Open(code, false);
    ASSERT_TRUE(Drain());
    // Later, with the market open: every file of the stock is stale now.
    SetServerDataState(CTimeStamp(2026, 12, 11, 10, 0, 0).GetTime(), true);
    ClearLog();
    ::SendMessageA(m_panel->m_hWnd, WM_TIMER, CContentPanelView::kReloadTimer, 0);
    ASSERT_TRUE(Drain());
    const std::string p = Plain(code), m = Lower(code);
    EXPECT_EQ(Logged("/hqdatagzip/min/" + m + "/" + p + ".min"), 1);
    EXPECT_EQ(Logged("/hqdatagzip/fenbi/" + m + p + ".fbs"), 1);
    EXPECT_EQ(Logged("/hqdatagzip/sday/"), 0);
    EXPECT_EQ(Logged("/hqdatagzip/min/"), 1);  // no neighbours
    EXPECT_TRUE(m_panel->IsTimerReloadOn());
    // A manual reload looks at the day file as well.
    ClearLog();
    m_panel->ManualReload();
    ASSERT_TRUE(Drain());
    EXPECT_EQ(Logged("/hqdatagzip/sday/" + std::string(IsShanghai(code) ? "SH" : "SZ") + p + ".ldy"), 1);
}

TEST_F(ContentPanel, FinishedDownloadsAreRoutedByExtensionAndReloadOnlyTheCurrentStock) {
    const std::string current = g_data->Codes()[3], other = g_data->Codes()[4];
    Open(current, false);
    ASSERT_TRUE(Drain());
    m_seen.Take();
    const std::string body = Body("hqdatagzip/min/" + Lower(other) + "/" + Plain(other) + ".min");
    ASSERT_FALSE(body.empty());
    CodeStateMap* states = GetCodeStateMap();
    const int32_t later = CTimeStamp(2026, 12, 12, 15, 0, 0).GetTime();
    SetServerDataState(later, false);

    // Another stock's minutes: stored and recorded, no reload.
    const std::string otherPath =
        JoinStorePath(g_data->Folder(), ("hqdata\\" + Lower(other) + "\\min\\" + other + ".min").c_str());
    CContentPanelView::OnDownloadFileDone(other.c_str(), otherPath.c_str(), m_panel, body.data(), int(body.size()));
    int32_t when = 0;
    EXPECT_TRUE(states->GetCodeState(other.c_str(), codeStateMinute, &when));
    EXPECT_EQ(when, later);
    EXPECT_TRUE(velmora::FileExists(otherPath.c_str()));
    EXPECT_TRUE(Reloads().empty());

    // The current stock's minutes under a folder named like a day file: a minute all the same,
    // reloading the intraday view as minutes do (4, 0).
    const std::string oddFolder = JoinStorePath(g_data->Folder(), "hqdata\\my.day");
    ::CreateDirectoryA(oddFolder.c_str(), nullptr);
    const std::string oddPath = oddFolder + "\\" + current + ".min";
    CContentPanelView::OnDownloadFileDone(current.c_str(), oddPath.c_str(), m_panel, body.data(), int(body.size()));
    EXPECT_EQ(Reloads(), (std::vector<std::pair<intptr_t, intptr_t>>{{4, 0}}));
    EXPECT_TRUE(velmora::FileExists(oddPath.c_str()));
    EXPECT_TRUE(states->GetCodeState(current.c_str(), codeStateMinute, &when));
    EXPECT_EQ(when, later);
    EXPECT_TRUE(states->GetCodeState(current.c_str(), codeStateDay, &when));
    EXPECT_NE(when, later);
    // An empty download reloads as a day file, on a worker thread as the manager calls it.
    std::thread worker([&] { CContentPanelView::OnDownloadFileDone(current.c_str(), oddPath.c_str(), m_panel, "", 0); });
    worker.join();
    EXPECT_EQ(Reloads(), (std::vector<std::pair<intptr_t, intptr_t>>{{1, 0}}));
    // Without a context nothing happens.
    CContentPanelView::OnDownloadFileDone(current.c_str(), oddPath.c_str(), nullptr, body.data(), int(body.size()));
    EXPECT_TRUE(Reloads().empty());
}

TEST_F(ContentPanel, DownloadsFinishingWhileThePanelGoesTouchNoView) {
    const std::string current = g_data->Codes()[5];
    Open(current, true);
    ASSERT_TRUE(Drain());
    m_seen.Take();
    const std::string path = JoinStorePath(g_data->Folder(), ("hqdata\\" + Lower(current) + "\\day\\gone.day").c_str());
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    CContentPanelView* panel = m_panel;
    // Empty bodies: nothing stored, and each asks the K-line view to reload.
    std::thread worker([&] {
        while (!stop) {
            CContentPanelView::OnDownloadFileDone(current.c_str(), path.c_str(), panel, "", 0);
            ++calls;
        }
    });
    while (m_seen.count < 5) Pump();
    m_host.DestroyWindow();  // the panel's views go with it
    EXPECT_EQ(m_panel->GetCurrentView(), nullptr);
    const int after = m_seen.count;
    const int before = calls;
    ASSERT_TRUE(velmora_test::WaitUntil([&] { return calls >= before + 20; }, velmora_test::kEventMs, 1));
    EXPECT_EQ(m_seen.count, after);  // no reload once the views are gone
    delete m_panel;
    m_panel = nullptr;
    const int deleted = calls;
    // A context of a panel gone is dropped.
    ASSERT_TRUE(velmora_test::WaitUntil([&] { return calls >= deleted + 20; }, velmora_test::kEventMs, 1));
    stop = true;
    worker.join();
    EXPECT_GE(after, 5);
}

TEST_F(ContentPanel, AStockOpenedWhileTheServiceIsSilentIsShownAtOnceThenItsFetchedDataReplacesIt) {
    // The K-line view exists and shows another stock.
    Open(g_data->Codes()[0], true);
    ASSERT_TRUE(Drain());
    ASSERT_EQ(Shown().code, g_data->Codes()[0]);
    const std::string bare = ShareWithNothingStored();
    ASSERT_FALSE(bare.empty());
    struct Case {
        std::string code;
        bool kline;
        bool stored;  // its day file is on disk, not recorded (stale)
    } cases[] = {
        {g_data->Codes()[7], true, true},  // no other test opens it or its neighbours
        {bare, false, false},
    };
    FixtureFault silent(g_data->Port(), "/hqdatagzip/", "mode=silent&hold=30000");
    for (const Case& c : cases) {
        Open(c.code, c.kline);
        EXPECT_EQ(m_panel->GetCurrentViewId(), c.kline ? kViewGraph : kViewRealTime);
        // The new stock at once, from what is stored, with its name, while the service says nothing.
        // Once this thread's queue has been served past the open, with every request still held.
        velmora_test::QueueProbe probe;
        const long ticket = probe.Post();
        ASSERT_TRUE(PumpUntil([&] { return probe.Served(ticket); }, velmora_test::kEventMs));
        ASSERT_EQ(Shown().code, c.code) << "opened, shown: " << Shown().code;
        const ShownStock shown = Shown();
        std::string name;
        ASSERT_TRUE(GetStockContainer().GetStockName(c.code.c_str(), &name));
        EXPECT_EQ(shown.name, name);
        EXPECT_EQ(shown.bars > 0, c.stored) << c.code;
        EXPECT_FALSE(velmora::FileExists(LocalPath(c.code, stockDataMinute).c_str())) << "the service answered";
    }
    // Once the service answers again, the fetched minutes replace the empty panes.
    silent.Clear();
    EXPECT_TRUE(PumpUntil([&] { return Shown().code == bare && Shown().bars > 0; }, 90000)) << Shown().code;
}

TEST_F(ContentPanel, IndicatorAndStockIndexMessages) {
    ProfileListsKeeper keep;
    Open(g_data->Codes()[0], false);
    // An overlay replaces every overlay; another indicator the last pane; both show the K-line view.
    m_panel->SendMessage(kAppMsgIndicator, 5, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    CSPDWordArray overlays = GetProfile().GetSecondIndicatorList();
    ASSERT_EQ(overlays.GetSize(), 1);
    EXPECT_EQ(overlays[0], 5u);
    m_panel->SendMessage(kAppMsgIndicator, 20, 0);
    CSPDWordArray shown = GetProfile().GetShownIndicators();
    ASSERT_GE(shown.GetSize(), 1);
    EXPECT_EQ(shown[shown.GetSize() - 1], 20u);
    // 4027 on the intraday view: one pane, draw mode 1, the stock of that index current.
    Command(4000);
    m_panel->SendMessage(kAppMsgPaneCount, 4, 0);  // the intraday view's own acceptor
    EXPECT_EQ(m_panel->GetRealTimeView()->GetPaneCount(), 4);
    CStockInfo info;
    int index = -1;
    ASSERT_TRUE(GetStockContainer().GetStockInfo(g_data->Codes()[1].c_str(), &info, &index));
    m_panel->SendMessage(kAppMsgStockIndex, index, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewRealTime);
    EXPECT_EQ(m_panel->GetRealTimeView()->GetPaneCount(), 1);
    EXPECT_EQ(DrawMode(), 1);
    EXPECT_EQ(m_panel->GetCurrentCode(), g_data->Codes()[1]);
    // The stock already current opens as well; an index outside the list does nothing.
    Command(4004);
    m_panel->SendMessage(kAppMsgStockIndex, index, 0);
    EXPECT_EQ(DrawMode(), 1);
    m_panel->SendMessage(kAppMsgStockIndex, 1 << 20, 0);
    EXPECT_EQ(m_panel->GetCurrentCode(), g_data->Codes()[1]);
    // From the K-line view it stays there.
    Command(4001);
    ASSERT_TRUE(GetStockContainer().GetStockInfo(g_data->Codes()[2].c_str(), &info, &index));
    m_panel->SendMessage(kAppMsgStockIndex, index, 0);
    EXPECT_EQ(m_panel->GetCurrentViewId(), kViewGraph);
    EXPECT_EQ(m_panel->GetCurrentCode(), g_data->Codes()[2]);
}

// A person's look at the panel hosting the K-line view:
//   VELMORA_SHOW_MS=60000 scripts/screenshot -o panel.png build/win32/tests/app/app_content_panel_test.exe \
//       --gtest_also_run_disabled_tests --gtest_filter='*Show*'
TEST_F(ContentPanel, DISABLED_Show) {
    m_host.SetWindowText("内容面板 - K线图");
    Open(g_data->Codes()[0], true);
    Drain();
    m_host.ShowWindow(SW_SHOW);
    ::InvalidateRect(m_panel->m_hWnd, nullptr, TRUE);
    velmora_test::HoldForALook();
}

// Not run by the suite: the panel with the open search box, for a person to look at:
//   VELMORA_SHOW_MS=60000 scripts/screenshot -o panel-search.png build/win32/tests/app/app_content_panel_test.exe \
//       --gtest_also_run_disabled_tests --gtest_filter='*SearchBoxOpen*'
TEST_F(ContentPanel, DISABLED_SearchBoxOpen) {
    m_host.ShowWindow(SW_SHOW);
    for (char c : std::string("60")) {
        MSG m = {m_panel->m_hWnd, WM_KEYDOWN, UINT(c), 1, 0, {0, 0}};
        m_panel->PreTranslateMessage(&m);
    }
    const char* ms = std::getenv("VELMORA_SHOW_MS");
    const DWORD until = ::GetTickCount() + (ms ? std::atoi(ms) : 20000);
    while (::GetTickCount() < until && m_host.IsWindow()) {
        Pump();
        ::Sleep(50);  // a person looks meanwhile
    }
}
