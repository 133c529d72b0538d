// The rankings dialog and the about box under Wine against the fixture service: each ranking
// fills from the fixture's file, rows open stocks through the message bus, bad replies give a
// clear message while the dialog keeps answering; the about box fits its picture and closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/aboutdlg.h"
#include "app/messagebus.h"
#include "app/statisticaldlg.h"
#include "app/urltable.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/storeenv.h"
#include "tests/net/test_servers.h"
#include "win_wait.h"

namespace {

using velmora_test::FixtureControl;
using velmora_test::FixtureProcess;
using velmora_test::CountLoggedRequests;

using velmora_test::WaitUntil;

using velmora_test::WaitForDialog;

using velmora_test::Answers;

std::string Text(HWND h) {
    char buf[512] = {0};
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof(buf), (LPARAM)buf, SMTO_ABORTIFHUNG, 1000, &got)) return "?";
    return buf;
}

void Press(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }

// What the dialogs send the content panel.
class Recorder : public CMessageAcceptor {
public:
    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> hold(m_lock);
        if (id == kAppMsgOpenCode) opened.push_back({reinterpret_cast<const char*>(wParam), (int)lParam});
        if (id == kAppMsgCommand) commands.push_back((int)wParam);
        return 1;
    }
    std::vector<std::pair<std::string, int>> Opened() {
        std::lock_guard<std::mutex> hold(m_lock);
        return opened;
    }
    std::vector<int> Commands() {
        std::lock_guard<std::mutex> hold(m_lock);
        return commands;
    }

private:
    std::mutex m_lock;
    std::vector<std::pair<std::string, int>> opened;
    std::vector<int> commands;
};

// One record of a ranking file as the fixture sent it, read by hand.
struct Raw {
    std::string market, code;
    int direction;
};

std::vector<Raw> FetchRaw(int port, const std::string& file, int size) {
    std::string reply = velmora_test::RawExchange(port, "GET /hqdata/calc/" + file + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                        "Connection: close\r\n\r\n");
    std::string body = reply.substr(reply.find("\r\n\r\n") + 4);
    std::vector<Raw> out;
    for (size_t at = 0; at + size <= body.size(); at += size) {
        int16_t d;
        std::memcpy(&d, &body[at + size - 2], 2);
        std::string code = body.substr(at + 2, 10);
        out.push_back({body.substr(at, 2), code.substr(0, code.find('\0')), d});
    }
    return out;
}

class RankDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppModule().Init(nullptr);
        s_fixture = new FixtureProcess;
        std::string why;
        ASSERT_TRUE(s_fixture->Start({"--now", "2026-12-10 14:00"}, &why)) << why;
        DestroySkinManager();
        LoadSkin();
    }
    static void TearDownTestSuite() {
        delete s_fixture;
        s_fixture = nullptr;
        SetDataServerHost("");
    }
    void SetUp() override {
        ASSERT_NE(s_fixture, nullptr);
        SetDataServerHost("127.0.0.1:" + std::to_string(s_fixture->Port()));
        SetUrl(kUrlSiteRoot, s_fixture->Url("/"));
        FixtureControl(s_fixture->Port(), "clear");
        bus.AddAcceptor(kAppMsgOpenCode, &recorder);
        bus.AddAcceptor(kAppMsgCommand, &recorder);
    }
    void TearDown() override {
        FixtureControl(s_fixture->Port(), "clear");
        ResetUrlTable();
    }
    // Runs the rankings dialog of a kind with a driver on another thread.
    void RunRanking(int kind, const std::function<void(CStatisTicalDlg&, HWND)>& drive) {
        CStatisTicalDlg dlg;
        dlg.SetType(kind);
        dlg.SetProcessor(&bus);
        std::thread driver([&] {
            HWND h = WaitForDialog(dlg);
            if (h) drive(dlg, h);
            if (h) Press(h, IDCANCEL);
        });
        INT_PTR result = dlg.DoModal(nullptr);
        driver.join();
        EXPECT_EQ(result, IDCANCEL);
    }
    // Waits for the reply to be shown; true when it was within the time.
    static bool Settle(CStatisTicalDlg& dlg, HWND h, int ms = 20000) {
        bool settled = WaitUntil([&] { return dlg.IsSettled(); }, ms);
        return settled && Answers(h);  // the reply's handling has run to its end
    }
    static std::vector<std::string> Column(CStatisTicalDlg& dlg, int index) {
        std::vector<std::string> v;
        for (int r = 0; r < dlg.List().GetItemCount(); ++r) v.push_back(dlg.List().GetItemText(r, index));
        return v;
    }

    static FixtureProcess* s_fixture;
    MessageBus bus;
    Recorder recorder;
};
FixtureProcess* RankDialogs::s_fixture = nullptr;

TEST_F(RankDialogs, EveryKindFillsFromTheFixtureFileAndFiltersByMarket) {
    for (int kind = kRankingFirst; kind <= kRankingLast; ++kind) {
        const RankingKind* k = FindRankingKind(kind);
        std::vector<Raw> raw = FetchRaw(s_fixture->Port(), k->file->name, k->file->recordSize);
        std::vector<std::string> codes, shCodes;
        for (const Raw& r : raw) {
            if (r.direction != k->direction) continue;
            codes.push_back(r.code);
            if (r.market == "SH") shCodes.push_back(r.code);
        }
        ASSERT_GT(codes.size(), 10u) << kind;
        ASSERT_FALSE(shCodes.empty()) << kind;
        RunRanking(kind, [&](CStatisTicalDlg& dlg, HWND h) {
            ASSERT_TRUE(Settle(dlg, h)) << kind;
            EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_TITLE)), k->title);
            EXPECT_EQ(IsDlgButtonChecked(h, IDC_RANK_ALL), (UINT)BST_CHECKED);
            EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_STATUS)), "共" + std::to_string(codes.size()) + "只股票");
            std::vector<std::string> shown = Column(dlg, 1);
            std::multiset<std::string> a(shown.begin(), shown.end()), b(codes.begin(), codes.end());
            EXPECT_EQ(a, b) << kind;
            EXPECT_EQ((int)RankingColumns(kind).size(), dlg.List().GetColumnCount());
            // Every column is in view beside the vertical bar: nothing to scroll sideways to.
            int widths = 0;
            for (const RankingColumn& c : RankingColumns(kind)) widths += c.width;
            RECT client;
            GetClientRect(GetDlgItem(h, IDC_RANK_LIST), &client);
            bool bar = (GetWindowLongA(GetDlgItem(h, IDC_RANK_LIST), GWL_STYLE) & WS_VSCROLL) != 0;
            EXPECT_GE(client.right - (bar ? 0 : GetSystemMetrics(SM_CXVSCROLL)), widths) << kind;
            // Ranked order: rise and top lists from the largest, the others from the smallest;
            // both run lists from the longest.
            int ranked = RankingRankedColumn(kind);
            std::vector<std::string> values = Column(dlg, ranked);
            bool descending = RankingSortMode(kind) == 2;
            for (size_t i = 1; i < values.size(); ++i) {
                double prev = atof(values[i - 1].c_str()), cur = atof(values[i].c_str());
                EXPECT_TRUE(descending ? prev >= cur : prev <= cur) << kind << " row " << i;
            }
            EXPECT_EQ(Column(dlg, 0).front(), "1");
            EXPECT_EQ(Column(dlg, 0).back(), std::to_string(codes.size()));

            // Shanghai only, renumbered, without a new request; then all again.
            int requests = CountLoggedRequests(s_fixture->Port(), std::string("/hqdata/calc/") + k->file->name);
            Press(h, IDC_RANK_SH);
            ASSERT_TRUE(Answers(h));
            ASSERT_TRUE(WaitUntil([&] { return dlg.List().GetItemCount() == (int)shCodes.size(); }, 3000)) << kind;
            ASSERT_TRUE(Answers(h));
            for (int r = 0; r < dlg.List().GetItemCount(); ++r) {
                DWORD data = 0;
                EXPECT_TRUE(dlg.List().GetItemData(r, &data));
                EXPECT_EQ(data, 1u);
            }
            EXPECT_EQ(Column(dlg, 0).back(), std::to_string(shCodes.size()));
            Press(h, IDC_RANK_SZ);
            ASSERT_TRUE(WaitUntil([&] { return dlg.List().GetItemCount() == (int)(codes.size() - shCodes.size()); }, 3000));
            Press(h, IDC_RANK_ALL);
            ASSERT_TRUE(WaitUntil([&] { return dlg.List().GetItemCount() == (int)codes.size(); }, 3000));
            EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), std::string("/hqdata/calc/") + k->file->name), requests);
        });
    }
}

TEST_F(RankDialogs, ARowClickOpensItsStockAndCommandsReachThePanel) {
    RunRanking(4048, [&](CStatisTicalDlg& dlg, HWND h) {
        ASSERT_TRUE(Settle(dlg, h));
        HWND list = GetDlgItem(h, IDC_RANK_LIST);
        ASSERT_TRUE(list);
        for (int row : {2, 0}) {
            RECT r;
            ASSERT_TRUE(dlg.List().GetCellRect(row, 2, &r));
            LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            DWORD data = 0;
            dlg.List().GetItemData(row, &data);
            std::string expect = dlg.List().GetItemText(row, 1) + (data ? "_1" : "_0");
            size_t before = recorder.Opened().size();
            PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(list, WM_LBUTTONUP, 0, at);
            // The press (a new selection) and the release (a click) each open it: both are
            // waited for, so that the release's never lands among the next row's.
            ASSERT_TRUE(WaitUntil([&] { return recorder.Opened().size() >= before + 2; }, 3000)) << row;
            ASSERT_TRUE(Answers(h));
            for (size_t i = before; i < recorder.Opened().size(); ++i) {
                EXPECT_EQ(recorder.Opened()[i].first, expect);
                EXPECT_EQ(recorder.Opened()[i].second, 1);
            }
        }
        // A command chosen in the dialog goes on to the content panel.
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(CStatisTicalDlg::kAddToWatchCommand, 0), 0);
        ASSERT_TRUE(WaitUntil([&] { return !recorder.Commands().empty(); }, 3000));
        EXPECT_EQ(recorder.Commands(), std::vector<int>{4044});
    });
    // Both a Shanghai and a Shenzhen row were among them.
    bool sh = false, sz = false;
    for (auto& o : recorder.Opened()) {
        sh |= o.first.size() == 8 && o.first.substr(6) == "_1";
        sz |= o.first.size() == 8 && o.first.substr(6) == "_0";
    }
    EXPECT_TRUE(sh || sz);
}

TEST_F(RankDialogs, ASlowButAnsweringServiceFillsTheListAfterTheProgressText) {
    const int kinds[] = {4049, 4051};
    std::map<int, size_t> rows;
    for (int kind : kinds) {
        const RankingKind* k = FindRankingKind(kind);
        for (const Raw& r : FetchRaw(s_fixture->Port(), k->file->name, k->file->recordSize))
            rows[kind] += r.direction == k->direction;
        ASSERT_GT(rows[kind], 0u) << kind;
    }
    // The service thinks for seconds before the first byte of each file, as the whole market's
    // rankings may take; the dialog waits with its progress text and then shows every row.
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdata/calc/&delay=8000");
    for (int kind : kinds) {
        RunRanking(kind, [&](CStatisTicalDlg& dlg, HWND h) {
            DWORD opened = GetTickCount();
            // Text() is answered between the dialog's messages: unsettled after it, it was read
            // before the reply came.
            std::string status = Text(GetDlgItem(h, IDC_RANK_STATUS));
            if (!dlg.IsSettled()) {
                EXPECT_EQ(status, "正在下载排名数据，请稍候……") << kind;
            }
            while (!dlg.IsSettled() && GetTickCount() - opened < 60000) {
                ASSERT_TRUE(Answers(h)) << kind;
                Sleep(200);  // probes spread over the wait
            }
            ASSERT_TRUE(Settle(dlg, h)) << kind;
            EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_STATUS)), "共" + std::to_string(rows[kind]) + "只股票") << kind;
            EXPECT_EQ(dlg.List().GetItemCount(), (int)rows[kind]) << kind;
        });
    }
}

TEST_F(RankDialogs, BadRepliesGiveAClearMessageWhileTheDialogKeepsAnswering) {
    // A folder of the store, to see that nothing there is touched.
    char tmp[MAX_PATH];
    GetTempPathA(sizeof(tmp), tmp);
    std::string folder = std::string(tmp) + "velmora-rank-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(GetTickCount()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "hqdata").c_str(), nullptr);
    std::string kept = folder + "hqdata\\codelist.dat";
    FILE* f = fopen(kept.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("keep me", f);
    fclose(f);
    SetProgramFolder(folder.c_str());

    struct Case {
        const char* what;
        const char* fault;   // fixture switch for the rankings' folder, or null
        const char* folder;  // another folder of the data server, or null
        const char* status;  // the beginning of the message shown
        bool rows;           // whole records are still shown
    } cases[] = {
        {"last record cut short", nullptr, "hqdata/calc/short/", "排名数据不完整：末尾", true},
        {"garbage lines", nullptr, "hqdata/calc/lines/", "排名数据有误（第3条记录", false},
        {"random bytes", "mode=garbage", nullptr, "排名数据有误", false},
        {"empty body", "mode=empty", nullptr, "服务器没有提供排名数据。", false},
        {"body cut mid-way", "mode=cut", nullptr, "排名数据下载失败", false},
        {"404", "mode=404", nullptr, "排名数据下载失败", false},
        {"silent service", "mode=silent,hold=30000", nullptr, "排名数据下载失败", false},
    };
    for (const Case& c : cases) {
        FixtureControl(s_fixture->Port(), "clear");
        if (c.fault) FixtureControl(s_fixture->Port(), std::string("fault?prefix=/hqdata/calc/&") + c.fault);
        ResetUrlTable();
        SetUrl(kUrlSiteRoot, s_fixture->Url("/"));
        if (c.folder) SetUrl(kUrlCalcFolder, c.folder);
        DWORD opened = GetTickCount();
        RunRanking(4051, [&](CStatisTicalDlg& dlg, HWND h) {
            // The dialog is there at once and answers while the reply is awaited.
            EXPECT_LT(GetTickCount() - opened, 5000u) << c.what;
            EXPECT_TRUE(Answers(h)) << c.what;
            while (!dlg.IsSettled() && GetTickCount() - opened < 40000) {
                ASSERT_TRUE(Answers(h)) << c.what;
                Sleep(200);  // probes spread over the wait
            }
            ASSERT_TRUE(Settle(dlg, h)) << c.what;
            EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_STATUS)).rfind(c.status, 0), 0u)
                << c.what << ": " << Text(GetDlgItem(h, IDC_RANK_STATUS));
            EXPECT_EQ(dlg.List().GetItemCount() > 0, c.rows) << c.what;
            EXPECT_EQ(dlg.List().GetColumnCount(), 5) << c.what;
            // The market buttons work from what was read, and the message stays.
            Press(h, IDC_RANK_SH);
            EXPECT_TRUE(Answers(h));
            EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_STATUS)).rfind(c.status, 0), 0u) << c.what;
        });
    }
    // Closing while a silent server is awaited ends the dialog at once.
    FixtureControl(s_fixture->Port(), "clear");
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdata/calc/&mode=silent&hold=30000");
    DWORD start = 0, closed = 0;
    RunRanking(4045, [&](CStatisTicalDlg& dlg, HWND h) {
        EXPECT_FALSE(dlg.IsSettled());
        EXPECT_EQ(Text(GetDlgItem(h, IDC_RANK_STATUS)), "正在下载排名数据，请稍候……");
        start = GetTickCount();
    });
    closed = GetTickCount();
    EXPECT_LT(closed - start, 3000u);

    // Nothing of the store was touched.
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "hqdata\\*").c_str(), &fd);
    std::vector<std::string> names;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..")) names.push_back(fd.cFileName);
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    EXPECT_EQ(names, std::vector<std::string>{"codelist.dat"});
    char content[32] = {0};
    f = fopen(kept.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fread(content, 1, sizeof(content) - 1, f);
    fclose(f);
    EXPECT_STREQ(content, "keep me");
    DeleteFileA(kept.c_str());
    RemoveDirectoryA((folder + "hqdata").c_str());
    RemoveDirectoryA(folder.c_str());
    SetProgramFolder("");
}

// ---- the about box ---------------------------------------------------------------------------

class AboutBox : public RankDialogs {
protected:
    // Runs the box; the driver gets it once shown.
    INT_PTR Run(CAboutDlg& dlg, const std::function<void(HWND)>& drive) {
        std::thread driver([&] {
            HWND h = WaitForDialog(dlg);
            if (h) drive(h);
        });
        INT_PTR result = dlg.DoModal(nullptr);
        driver.join();
        return result;
    }
};

TEST_F(AboutBox, FitsItsPictureShowsVersionAndLinkAndClosesWithEnterOrEscape) {
    CAboutDlg dlg;
    INT_PTR result = Run(dlg, [&](HWND h) {
        ASSERT_TRUE(Answers(h));
        EXPECT_GT(dlg.GetBackgroundWidth(), 0);
        RECT client;
        GetClientRect(h, &client);
        EXPECT_EQ(client.right, dlg.GetBackgroundWidth());
        EXPECT_EQ(client.bottom, dlg.GetBackgroundHeight());
        EXPECT_EQ(Text(GetDlgItem(h, IDC_ABOUT_BUILDNO)), "20101228");
        EXPECT_EQ(Text(GetDlgItem(h, IDC_ABOUT_URL)), s_fixture->Url("/"));
        EXPECT_EQ(Text(GetDlgItem(h, IDC_ABOUT_MAKER)), "Kamo财经出品");
        // OK centred, 20 pixels above the bottom of the fitted window rectangle.
        RECT fit = {0, 0, client.right, client.bottom};
        AdjustWindowRectEx(&fit, GetWindowLongA(h, GWL_STYLE), FALSE, GetWindowLongA(h, GWL_EXSTYLE));
        RECT ok;
        GetWindowRect(GetDlgItem(h, IDOK), &ok);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&ok), 2);
        EXPECT_EQ(ok.bottom, fit.bottom - 20);
        EXPECT_EQ(ok.left, (fit.right - (ok.right - ok.left)) / 2);
        // The picture is what the client area shows: a pixel of its corner is not the face colour.
        HDC dc = GetDC(h);
        COLORREF corner = GetPixel(dc, 2, client.bottom - 2);
        ReleaseDC(h, dc);
        EXPECT_NE(corner, GetSysColor(COLOR_BTNFACE));
        PostMessageA(GetDlgItem(h, IDOK), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(result, 1);

    CAboutDlg esc;
    result = Run(esc, [&](HWND h) { PostMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0); });
    EXPECT_EQ(result, 2);
}

TEST_F(AboutBox, WithoutItsPictureKeepsTheTemplateSizeAndStillShowsTheVersion) {
    CAboutDlg dlg;
    dlg.SetBackgroundFile("Z:\\no\\such\\about.png");
    INT_PTR result = Run(dlg, [&](HWND h) {
        ASSERT_TRUE(Answers(h));
        EXPECT_EQ(dlg.GetBackgroundWidth(), 0);
        RECT tmpl = {0, 0, 276, 151};
        MapDialogRect(h, &tmpl);
        RECT client;
        GetClientRect(h, &client);
        EXPECT_EQ(client.right, tmpl.right);
        EXPECT_EQ(client.bottom, tmpl.bottom);
        EXPECT_EQ(Text(GetDlgItem(h, IDC_ABOUT_BUILDNO)), "20101228");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, IDOK)));
        Press(h, IDCANCEL);
    });
    EXPECT_EQ(result, 2);
}

// Not run by the suite: shows a dialog for a person to look at (scripts/screenshot), for
// VELMORA_SHOW_MS milliseconds. VELMORA_SHOW_KIND picks the ranking (0: the about box).
TEST_F(RankDialogs, DISABLED_Show) {
    char buf[32] = {0};
    int ms = GetEnvironmentVariableA("VELMORA_SHOW_MS", buf, sizeof(buf)) ? atoi(buf) : 30000;
    int kind = GetEnvironmentVariableA("VELMORA_SHOW_KIND", buf, sizeof(buf)) ? atoi(buf) : 4047;
    if (kind == 0) {
        CAboutDlg dlg;
        std::thread closer([&] {
            HWND h = WaitForDialog(dlg);
            Sleep(ms);  // a person looks meanwhile
            if (h) Press(h, IDOK);
        });
        dlg.DoModal(nullptr);
        closer.join();
        return;
    }
    RunRanking(kind, [&](CStatisTicalDlg&, HWND) { Sleep(ms); });  // a person looks meanwhile
}

}  // namespace
