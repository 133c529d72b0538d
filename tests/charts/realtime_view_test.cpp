// The intraday pane and view on real GDI: the pane into a DIB with probe pixels, every report tab
// drawn, the view's window driven by messages, and a reload from a worker while the window is used.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "analysis/stprofile.h"
#include "base/gdicache.h"
#include "charts/gdicanvas.h"
#include "charts/hand_stock.h"
#include "charts/realtimeview.h"
#include "intraday_data.h"
#include "store/database.h"
#include "store/store_files.h"
#include "charts/dib.h"
#include "win_wait.h"

using namespace charts;
using namespace chart_test;

namespace {

Color C(int role) { return Color(GetProfile().GetColor(role)); }

using chart_test::Dib;

int32_t AfterTheClose() { return At(16, 0); }

const char* const kStocks[][2] = {{"600000_1", "浦发银行"}, {"600001_1", "邯郸钢铁"}, {"600002_1", "齐鲁石化"},
                                  {"600003_1", "东北高速"}, {"600004_1", "白云机场"}};

// A program folder with the test day's files, opened as the process's store, and the stock list.
class IntradayEnv : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 936u);
        m_root = std::make_unique<store_test::TempRoot>();
        ASSERT_TRUE(GetDatabase().Open(m_root->Folder().c_str(), 2));
        SetChartClock(&AfterTheClose);
        CStockContainer& list = GetStockContainer();
        Add(list, "1A0001_1", "上证指数", kindShIndex, 3000);
        for (auto& s : kStocks) Add(list, s[0], s[1], kindShA, 10);
        list.RebuildCodeMap();
    }
    void TearDown() override {
        SetChartClock(nullptr);
        m_root.reset();
    }
    void Add(CStockContainer& list, const char* code, const char* name, int kind, double prevClose) {
        CStockInfo info;
        info.SetStockCode(kMarketShangHai, code);
        info.SetType(kind);
        info.SetStockName(name);
        list.Add(info);
        const std::string c = code;
        store_test::WriteBytes(m_root->Path(("hqdata\\sh\\min\\" + c + ".min").c_str()), MinuteFileBytes(prevClose));
        store_test::WriteBytes(m_root->Path(("hqdata\\sh\\day\\SH" + c + ".day").c_str()), DayFileBytes(prevClose));
        store_test::WriteBytes(m_root->Path(("hqdata\\sh\\fenbi\\" + c + ".fbs").c_str()), TickFileBytes(120, prevClose));
    }
    std::unique_ptr<store_test::TempRoot> m_root;
};
IntradayEnv* const g_env = static_cast<IntradayEnv*>(::testing::AddGlobalTestEnvironment(new IntradayEnv));

// An owner whose window is never there: the pane draws only on the canvas it is handed.
class NoWindow : public CRealTimeOwner {
public:
    std::unique_ptr<Canvas> OpenCanvas() override { return nullptr; }
};

const Rect kPane(20, 20, 1020, 620);

struct Drawn {
    RecordingCanvas rec;
    Dib dib{1040, 640};
};

// The pane drawn twice, on a recording canvas and into a DIB first filled with a sentinel.
void DrawBoth(CRealTime& pane, Drawn& d, Color sentinel) {
    pane.Draw(&d.rec, kPane);
    GdiCanvas g(d.dib.dc());
    g.FillRect(Rect(0, 0, 1040, 640), sentinel);
    pane.Draw(&g, kPane);
}

// Share of the polyline vertices of a colour (the last of each left out, as GDI does) that are
// that colour in the DIB.
double VerticesHit(const Drawn& d, Color colour, const Rect& within, int* above, int* below, int mid) {
    int all = 0, hit = 0;
    for (const auto* op : d.rec.OfKind(RecordingCanvas::kPolyline)) {
        if (op->color != colour || !within.Contains(op->rect)) continue;
        for (size_t k = 0; k + 1 < op->points.size(); ++k) {
            const Point& p = op->points[k];
            ++all;
            if (d.dib.At(p.x, p.y) == colour) {
                ++hit;
                if (above && p.y < mid - 2) ++*above;
                if (below && p.y > mid + 2) ++*below;
            }
        }
    }
    return all ? double(hit) / all : 0;
}

}  // namespace

TEST(IntradayDib, StockDayAboveAndBelowThePreviousClose) {
    NoWindow none;
    CRealTime pane;
    pane.SetOwnerField(&none);
    ASSERT_EQ(pane.SetStockCode("600000_1"), 1);
    pane.LoadData(1);
    ASSERT_EQ(pane.GetStock().GetMinute().GetSize(), 241);
    Drawn d;
    const Color sentinel = MakeColor(1, 2, 3);
    DrawBoth(pane, d, sentinel);
    const RtLayout& l = pane.GetLayoutAreas();
    const int mid = l.price.top + l.price.Height() / 2;
    // The price curve in its colour, above the previous-close line in the morning, below after.
    int above = 0, below = 0;
    EXPECT_GT(VerticesHit(d, C(26), l.price, &above, &below, mid), 0.95);
    EXPECT_GT(above, 60);
    EXPECT_GT(below, 30);
    // The average curve, and the volume bars standing on the volume area's bottom.
    EXPECT_GT(VerticesHit(d, C(27), l.price, nullptr, nullptr, mid), 0.8);
    int bars = 0;
    for (const auto* op : d.rec.OfKind(RecordingCanvas::kLine))
        if (op->color == C(27) && l.volume.Contains(op->rect)) bars += d.dib.At(op->points[0].x, op->points[0].y) == C(27);
    EXPECT_GE(bars, 240);
    // Scale labels: rising colour over the line, falling colour under it (smoothed text edges
    // count as their colour).
    const Rect labelsAbove(kPane.left, l.price.top - 7, l.price.left, mid - 8);
    const Rect labelsBelow(kPane.left, mid + 8, l.price.left, l.price.bottom + 8);
    const Color back = C(15);
    EXPECT_GT(d.dib.CountShaded(labelsAbove, C(17), back), 20);
    EXPECT_EQ(d.dib.CountShaded(labelsAbove, C(18), back), 0);
    EXPECT_GT(d.dib.CountShaded(labelsBelow, C(18), back), 20);
    // Nothing of the pane lands outside it.
    EXPECT_EQ(d.dib.CountNot(Rect(0, 0, 1040, kPane.top), sentinel), 0);
    EXPECT_EQ(d.dib.CountNot(Rect(0, kPane.bottom, 1040, 640), sentinel), 0);
    EXPECT_EQ(d.dib.CountNot(Rect(kPane.right, 0, 1040, 640), sentinel), 0);
    // The quote block of the report column has its texts.
    EXPECT_GT(d.dib.CountNot(Rect(l.report.left + 1, l.report.top + 1, l.report.right - 1, l.report.top + 300), C(15)), 500);
}

TEST(IntradayDib, CompositeIndexBarsAboutThePreviousClose) {
    NoWindow none;
    CRealTime pane;
    pane.SetOwnerField(&none);
    ASSERT_EQ(pane.SetStockCode("1A0001_1"), 1);
    pane.LoadData(1);
    Drawn d;
    DrawBoth(pane, d, MakeColor(1, 2, 3));
    const RtLayout& l = pane.GetLayoutAreas();
    const int mid = l.price.top + l.price.Height() / 2;
    const Rect upper(l.price.left + 1, l.price.top + 1, l.price.right - 1, mid - 1);
    const Rect lower(l.price.left + 1, mid + 2, l.price.right - 1, l.price.bottom - 1);
    EXPECT_GT(d.dib.Count(upper, C(17)), 200);
    EXPECT_GT(d.dib.Count(lower, C(18)), 200);
    EXPECT_GT(VerticesHit(d, C(26), l.price, nullptr, nullptr, mid), 0.9);
    std::string text;
    pane.GetDiagnosis(text);
    EXPECT_EQ(text, "不能对指数进行诊断。");
}

TEST(IntradayDib, EveryReportTabAndWholePaneListDraws) {
    NoWindow none;
    CRealTime pane;
    pane.SetOwnerField(&none);
    ASSERT_EQ(pane.SetStockCode("600000_1"), 1);
    pane.LoadData(1);
    for (int kind : {9, 11, 12, 13, 14, 15, 16, 17}) {
        pane.SetDrawMode(rtChart, 0, kind);
        Drawn d;
        DrawBoth(pane, d, MakeColor(1, 2, 3));
        const Rect r = pane.GetLayoutAreas().report;
        ASSERT_FALSE(r.IsEmpty()) << kind;
        EXPECT_EQ(d.dib.At(r.left, r.top + 40), C(16)) << kind;  // the column's frame
        const Rect inside(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
        EXPECT_GT(d.dib.CountNot(inside, C(15)), 300) << kind;
        if (kind == 16) {
            int bars = 0;
            for (const auto* op : d.rec.OfKind(RecordingCanvas::kFill)) bars += op->color == C(17) && r.Contains(op->rect);
            EXPECT_GT(bars, 5);
        }
    }
    for (int mode : {rtTickList, rtMinuteList, rtIndexList}) {
        pane.SetDrawMode(mode, 0, 9);
        Drawn d;
        DrawBoth(pane, d, MakeColor(1, 2, 3));
        EXPECT_GT(d.dib.CountNot(kPane, C(15)), 2000) << mode;
        if (mode != rtIndexList) {
            EXPECT_GT(d.rec.WithText(":").size(), 100u) << mode;
        }
    }
}

// The K-line view's own report kinds, drawn by the painter beside candles of 9.5 to 10.7.
TEST(IntradayDib, KLineReportKindsDraw) {
    CStock stock;
    stock.SetDatabase(&GetDatabase());
    CStockInfo info;
    ASSERT_TRUE(GetStockContainer().GetStockInfo("600000_1", &info, nullptr));
    stock.SetStockInfo(&info);
    ASSERT_GT(stock.PrepareData(dataK, ktypeDay, true), 5);
    CReportPainter p;
    const Rect column(800, 46, 1000, 600), candles(60, 40, 740, 560);
    for (int kind : {1, 2, 3}) {
        Dib dib(1040, 640);
        GdiCanvas g(dib.dc());
        g.FillRect(Rect(0, 0, 1040, 640), C(15));
        if (kind == 1) p.DrawCostDistribution(g, stock, column, ktypeDay, -1, candles.top, candles.bottom, 10.2, 9.8);
        if (kind == 2) p.DrawTrendReport(g, column, stock, ktypeDay, -1, candles, 10.2, 9.8);
        if (kind == 3) p.DrawHistoryInfo(g, stock, column, ktypeDay, -1);
        EXPECT_EQ(dib.At(column.left, column.top + 40), C(16)) << kind;
        EXPECT_GT(dib.CountNot(Rect(column.left + 1, column.top + 1, column.right - 1, column.bottom - 1), C(15)), 300)
            << kind;
        // The caption above the column.
        EXPECT_GT(dib.CountNot(Rect(column.left, column.top - 20, column.right, column.top), C(15)), 30) << kind;
    }
}

// ---- The view in a window (needs a display) ------------------------------------------------

namespace {

class Host : public CWindowImpl<Host, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraIntradayHost")
    BEGIN_MSG_MAP(Host)
    END_MSG_MAP()
};

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string CurrentCode() {
    CStockInfo info;
    return GetProfile().GetCurrentStock(&info) ? std::string(info.GetStockCode()) : std::string();
}

struct ViewFixture {
    Host host;
    CRealTimeView view;
    Dib dib{1024, 600};
    bool Create() {
        RECT r = {0, 0, 1100, 700};
        if (!host.Create(nullptr, r, "Velmora intraday", WS_OVERLAPPEDWINDOW)) return false;
        view.SetStockList(chart_test::StockList());
        RECT c = {0, 0, 1024, 600};
        return view.CreateView(host, c) != nullptr;
    }
    void Capture() {
        Pump();
        view.SendMessage(WM_PRINTCLIENT, (WPARAM)dib.dc(), PRF_CLIENT);
    }
};

}  // namespace

TEST(IntradayView, OpensOnTheCompositeIndexAndFollowsItsMessages) {
    GetStockContainer().SetCurrentStockIndex(-1);
    ViewFixture f;
    ASSERT_TRUE(f.Create());
    // No current stock: the composite index is shown and becomes current.
    EXPECT_EQ(CurrentCode(), "1A0001_1");
    EXPECT_STREQ(f.view.GetPane(0).GetStock().GetStockCode(), "1A0001_1");
    f.Capture();
    // The tab strip under the report column of a 1024 x 600 view, tab "板" selected.
    RECT band = f.view.GetTabBand();
    EXPECT_EQ(band.left, 824);
    EXPECT_EQ(band.top, 581);
    EXPECT_EQ(f.dib.At(824, 590), MakeColor(255, 0, 0));
    EXPECT_EQ(f.dib.At(825, 598), MakeColor(50, 50, 50));

    // A click on "笔" switches the column to the trades.
    const Rect trades = f.view.Tabs().GetItem(1)->GetRect();
    f.view.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(trades.left + 5, trades.top + 5));
    EXPECT_EQ(f.view.GetPane(0).GetReportKind(), 11);

    // Four panes: the further ones show the stocks before the current one, and reloading never
    // moves the current stock.
    GetProfile().SetCurrentStock("600003_1", false);
    chart_test::HandCurrentStock(f.view);
    f.view.OnMessage(kAppMsgPaneCount, 4, 0);
    EXPECT_EQ(f.view.GetPaneCount(), 4);
    for (int k = 0; k < 5; ++k) f.view.ReloadStock(1, 0);
    EXPECT_EQ(CurrentCode(), "600003_1");
    EXPECT_STREQ(f.view.GetPane(0).GetStock().GetStockCode(), "600003_1");
    EXPECT_STREQ(f.view.GetPane(1).GetStock().GetStockCode(), "600002_1");
    EXPECT_STREQ(f.view.GetPane(3).GetStock().GetStockCode(), "600000_1");
    EXPECT_EQ(f.view.GetPane(1).GetReportKind(), 10);
    f.view.OnMessage(kAppMsgPaneCount, 3, 0);  // not a grid: ignored
    EXPECT_EQ(f.view.GetPaneCount(), 4);
    // Page down steps one stock per pane.
    f.view.OnMessage(kAppMsgKey, VK_NEXT, 0);
    // Four on from 600003_1: 600004_1, past the end (no stock), then round to the list's start.
    EXPECT_EQ(CurrentCode(), "600000_1");
    // Back to one pane: its column shows the trades.
    f.view.OnMessage(kAppMsgPaneCount, 1, 0);
    EXPECT_EQ(f.view.GetPane(0).GetReportKind(), 11);

    // Esc in a list mode goes back to the chart.
    f.view.SetDrawMode(rtTickList);
    EXPECT_EQ(f.view.GetPane(0).GetDrawMode(), rtTickList);
    f.view.OnMessage(kAppMsgKey, VK_ESCAPE, 0);
    EXPECT_EQ(f.view.GetPane(0).GetDrawMode(), rtChart);
    f.Capture();
    f.host.DestroyWindow();
}

// A right-button release shows the views' menu 213 at the cursor; the chosen item comes back to
// the view as a command, which goes on to the panel.
TEST(IntradayView, RightClickShowsTheChartMenu) {
    struct Commands : CMessageProcessor {
        std::vector<intptr_t> ids;
        int AddAcceptor(int, CMessageAcceptor*) override { return 1; }
        int SendMessage(int id, intptr_t w, intptr_t) override {
            if (id == kAppMsgCommand) ids.push_back(w);
            return 0;
        }
    } panel;
    Host host;
    RECT r = {0, 0, 1100, 700};
    ASSERT_TRUE(host.Create(nullptr, r, "Velmora intraday", WS_OVERLAPPEDWINDOW));
    CRealTimeView view(kViewRealTime, &panel);
    view.SetStockList(chart_test::StockList());
    chart_test::HandCurrentStock(view);
    RECT c = {0, 0, 1024, 600};
    ASSERT_NE(view.CreateView(host, c), nullptr);
    std::atomic<int> items{-1};
    std::atomic<bool> done{false};
    std::thread chooser([&] {
        HWND popup = nullptr;
        // This process's menu: other test programs open theirs meanwhile.
        if (velmora_test::WaitUntil([&] { return done || (popup = velmora_test::FindProcessWindow("#32768", nullptr)) != nullptr; }, velmora_test::kEventMs, 25) && popup) {
            HMENU menu = (HMENU)::SendMessageA(popup, MN_GETHMENU, 0, 0);
            items = menu ? ::GetMenuItemCount(menu) : 0;
            // Down to the first item (加入自选股) and choose it.
            ::PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    view.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(100, 100));
    done = true;
    chooser.join();
    Pump();
    EXPECT_EQ(items.load(), 8);
    EXPECT_EQ(panel.ids, (std::vector<intptr_t>{4044}));
    host.DestroyWindow();
}

TEST(IntradayView, ReloadsFromAWorkerWhileTheWindowIsUsed) {
    GetProfile().SetCurrentStock("600001_1", false);
    ViewFixture f;
    chart_test::HandCurrentStock(f.view);
    ASSERT_TRUE(f.Create());
    f.view.OnMessage(kAppMsgPaneCount, 2, 0);
    std::atomic<bool> done{false};
    // A hang fails the test program rather than the whole suite's time.
    std::thread watchdog([&] {
        for (int i = 0; i < 1800 && !done.load(); ++i) ::Sleep(100);  // watchdog
        if (!done.load()) {
            std::fprintf(stderr, "reload stress: no progress in 180 s\n");
            std::_Exit(3);
        }
    });
    std::atomic<int> reloads{0};
    std::atomic<bool> uiDone{false};
    std::thread worker([&] {
        // Reloads for as long as the window is being used (bounded), as downloads finishing do.
        for (int i = 0; i < 20000 && (!uiDone.load() || i < 50); ++i) {
            f.view.ReloadStock(1, 0);
            reloads.fetch_add(1);
        }
    });
    const UINT keys[] = {VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_UP, VK_DOWN};
    for (int round = 0; round < 300; ++round) {
        f.view.OnMessage(kAppMsgKey, keys[round % 6], 0);
        if (round % 5 == 0) f.view.OnTabChange(9 + round % 7);
        if (round % 3 == 0) f.view.ToggleDrawOption(1 + round % 2);
        if (round % 7 == 0) f.view.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(300, 150));
        f.Capture();
    }
    uiDone.store(true);
    worker.join();
    done.store(true);
    watchdog.join();
    EXPECT_GE(reloads.load(), 50);
    EXPECT_EQ(CurrentCode(), "600001_1");
    f.host.DestroyWindow();
}

// Run by scripts/screenshot: --gtest_also_run_disabled_tests --gtest_filter=*Gallery*
TEST(IntradayGallery, DISABLED_Show) {
    GetProfile().SetCurrentStock("600000_1", false);
    Host host;
    RECT r = {0, 0, 1100, 720};
    ASSERT_TRUE(host.Create(nullptr, r, "Velmora intraday", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    RECT c;
    host.GetClientRect(&c);
    CRealTimeView view;
    view.SetStockList(chart_test::StockList());
    chart_test::HandCurrentStock(view);
    ASSERT_TRUE(view.CreateView(host, c));
    view.OnTabChange(10);
    view.GetPane(0).SetCursorIndex(150);
    const char* ms = getenv("VELMORA_SHOW_MS");
    const DWORD until = ::GetTickCount() + (ms ? atoi(ms) : 20000);
    while (::GetTickCount() < until && host.IsWindow()) {
        Pump();
        ::Sleep(50);  // a person looks meanwhile
    }
    if (host.IsWindow()) host.DestroyWindow();
}
