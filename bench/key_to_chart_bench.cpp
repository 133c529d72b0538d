// From a key to the painted chart in the real main frame under Wine, at the whole market's size:
// Page Down to the next share's K-line, and a share's code typed and Enter to its intraday chart.
// Each key is posted to the frame's thread and timed until the chart's window has finished its
// paint; against the chart's own load + compute + paint of the same shares (the view handed the
// share, reloaded and painted at once), in the same run. Every file comes from the fixture service,
// and is recorded fresh, before the clock starts; the run says how many requests reached the
// service while timed (0: the service is never waited on), and where the time went.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/mainframe.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/timestamp.h"
#include "charts/graphview.h"
#include "charts/realtimeview.h"
#include "bench_folder.h"
#include "kline_plain.h"
#include "net/download.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/codestate.h"
#include "store/container.h"
#include "store/database.h"
#include "store/storeenv.h"
#include "tests/app/quiet_login_view.h"
#include "tests/net/test_servers.h"

using plain_kline::Now;

namespace {

const int kShares = 20;
const int kRounds = 3;
const DWORD kDeadlineMs = 10000;

// The end of each watched window's paint, seen from a subclass that calls the window's own
// procedure first.
struct PaintSpy {
    WNDPROC old = nullptr;
    int count = 0;
    double start = 0, end = 0;
};
std::map<HWND, PaintSpy>& Spies() {
    static std::map<HWND, PaintSpy> spies;
    return spies;
}
LRESULT CALLBACK SpyProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    PaintSpy& spy = Spies()[wnd];
    if (msg == WM_PAINT) spy.start = Now();
    const LRESULT result = ::CallWindowProcA(spy.old, wnd, msg, wParam, lParam);
    if (msg == WM_PAINT) {
        spy.end = Now();
        ++spy.count;
    }
    return result;
}
void Watch(HWND wnd) {
    if (Spies().count(wnd)) return;
    Spies()[wnd].old = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(wnd, GWLP_WNDPROC, LONG_PTR(&SpyProc)));
}
void Unwatch() {
    for (auto& entry : Spies())
        if (::IsWindow(entry.first)) ::SetWindowLongPtrA(entry.first, GWLP_WNDPROC, LONG_PTR(entry.second.old));
    Spies().clear();
}

// When the last key-down was handled.
double g_keyDone = 0;

// The main loop's work: the frame's filters first, then dispatch.
void PumpOnce(CMessageLoop& loop) {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue;
        if (!loop.PreTranslateMessage(&m)) {
            ::TranslateMessage(&m);
            ::DispatchMessageA(&m);
        }
        if (m.message == WM_KEYDOWN) g_keyDone = Now();
    }
}
template <class Done>
bool PumpUntil(CMessageLoop& loop, Done done, DWORD ms) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        PumpOnce(loop);
        if (done()) return true;
        if (::GetTickCount() - start > ms) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
// Every download finished and every message answered.
bool Settle(CMessageLoop& loop) {
    return PumpUntil(loop, [] { return GetTaskQueue().GetCount() == 0; }, 60000) &&
           (PumpOnce(loop), true);
}

void PostKey(HWND frame, UINT vk) {
    HWND target = ::GetFocus();
    if (!target || (target != frame && !::IsChild(frame, target))) target = frame;
    const bool extended = vk >= VK_PRIOR && vk <= VK_DOWN;
    const LPARAM bits = 1 | LPARAM(::MapVirtualKeyA(vk, 0)) << 16 | (extended ? 1 << 24 : 0);
    ::PostMessageA(target, WM_KEYDOWN, vk, bits);
    ::PostMessageA(target, WM_KEYUP, vk, bits | 0xC0000000);
}

// Where a key's or a load's time went: the key's own handling, the start of the chart's paint,
// the paint; for the chart's own: the load, the paint, the paint into a memory DC.
struct Split {
    std::vector<double> handled, before, paint, memory;
};

// The time from posting the key to the end of the view's paint showing code; negative when no
// such paint came before the deadline.
double KeyToPaint(CMessageLoop& loop, HWND frame, UINT vk, CBaseView* view, const std::string& code, Split* split) {
    HWND wnd = view->GetViewWindow();
    PaintSpy& spy = Spies()[wnd];
    const int before = spy.count;
    const double t0 = Now();
    PostKey(frame, vk);
    if (!PumpUntil(loop, [&] { return spy.count > before && view->GetStockCode() == code; }, kDeadlineMs)) return -1;
    if (split) {
        split->handled.push_back(g_keyDone - t0);
        split->before.push_back(spy.start - t0);
        split->paint.push_back(spy.end - spy.start);
    }
    return spy.end - t0;
}

// The chart's own work for a share: handed to the view, loaded, computed and painted at once.
// The same picture drawn again into a memory DC says how much of the paint the screen takes.
double OwnLoadAndPaint(CBaseView* view, const CStockInfo& info, plain_kline::MemoryDC& memory, Split* split) {
    HWND wnd = view->GetViewWindow();
    const double t0 = Now();
    view->OpenStock(info);
    view->ReloadStock(1, 0);
    const double t1 = Now();
    ::UpdateWindow(wnd);
    const double t2 = Now();
    ::SendMessageA(wnd, WM_PRINTCLIENT, WPARAM(memory.dc), PRF_CLIENT);
    split->memory.push_back(Now() - t2);
    split->before.push_back(t1 - t0);
    split->paint.push_back(t2 - t1);
    return t2 - t0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int Fail(const char* why) {
    std::fprintf(stderr, "key_to_chart_bench: %s\n", why);
    return 2;
}

}  // namespace

int main() {
    GetAppModule().Init(::GetModuleHandleA(nullptr));
    velmora_bench::MarketBench market("key-bench");
    std::string why;
    if (!market.Start("2026-12-10 14:00", &why)) return Fail(why.c_str());
    velmora_test::FixtureProcess& fixture = market.Fixture();
    const std::string folder = market.Folder().ProgramFolder();
    velmora_test::QuietLoginView login;
    if (!velmora_test::LogInToService()) return Fail("no login");
    if (!LoadStartupData(login)) return Fail("no start-up data");

    // The walk: kShares shares after the first A share of Shenzhen's main board, as Page Down
    // steps through the list; the typed codes: the A shares among them whose code alone finds
    // them first.
    CStockContainer& all = GetStockContainer();
    int first = -1;
    for (int i = 0; i < all.GetSize() && first < 0; ++i)
        if (all[i].GetType() == kindSzA) first = i;
    if (first < 0 || first + kShares >= all.GetSize()) return Fail("too few shares in the code list");
    std::vector<std::string> walk;
    for (int i = first; i <= first + kShares; ++i) walk.push_back(all[i].GetStockCode());

    CMessageLoop loop;
    GetAppModule().AddMessageLoop(&loop);
    LoadSkin();
    int status = 0;
    {
        CMainFrame frame;
        if (!frame.Create(nullptr, CRect(0, 0, 900, 680), nullptr)) return Fail("no frame");
        frame.ShowWindow(SW_SHOW);
        ::SetForegroundWindow(frame);
        PumpOnce(loop);
        CContentPanelView& panel = frame.GetContentPanel();
        auto open = [&](const std::string& code, bool kline) {
            panel.SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), kline ? 1 : 0);
            ::SetFocus(panel.GetCurrentView()->GetViewWindow());
            PumpOnce(loop);
        };
        // Page Down from walk[i] lands on walk[i + 1]; the shares typed are those the search box
        // lists first for their plain code.
        std::vector<std::string> typed;
        Split splitPage, splitEnter, splitOwnPage, splitOwnEnter;
        auto pageDowns = [&](std::vector<double>* times) {
            open(walk[0], true);
            for (int i = 1; i <= kShares; ++i) {
                const double t = KeyToPaint(loop, frame, VK_NEXT, panel.GetCurrentView(), walk[i],
                                          times ? &splitPage : nullptr);
                if (t < 0) return false;
                if (times) times->push_back(t);
                PumpOnce(loop);
            }
            return true;
        };
        auto enters = [&](const std::vector<std::string>& codes, std::vector<double>* times) {
            open(walk[0], false);
            for (const std::string& code : codes) {
                CStockInfo info;
                all.GetStockInfo(code.c_str(), &info, nullptr);
                for (const char* c = info.GetPlainCode(); *c; ++c) {
                    PostKey(frame, UINT(*c));
                    PumpOnce(loop);
                }
                if (!PumpUntil(loop, [&] { return panel.IsSearchBoxVisible(); }, kDeadlineMs)) return false;
                const double t = KeyToPaint(loop, frame, VK_RETURN, panel.GetCurrentView(), code,
                                          times ? &splitEnter : nullptr);
                if (t < 0) return false;
                if (times) times->push_back(t);
                PumpOnce(loop);
            }
            return true;
        };

        // Untimed: the frame settles, every file of the shares and their neighbours arrives and is
        // recorded, and the windows to watch exist.
        open(walk[0], true);
        open(walk[0], false);
        Settle(loop);
        Watch(panel.GetView(kViewGraph)->GetViewWindow());
        Watch(panel.GetView(kViewRealTime)->GetViewWindow());
        for (int i = 0; i < 2; ++i) {
            if (!pageDowns(nullptr)) return Fail("Page Down did not paint the next share");
            Settle(loop);
        }
        // The codes the box lists first: try each, keep those it opens.
        for (int i = 1; i <= kShares; ++i) {
            const std::string& code = walk[i];
            if (enters({code}, nullptr)) typed.push_back(code);
            Settle(loop);
        }
        if (typed.size() < 5) return Fail("too few shares open by their code");
        if (!enters(typed, nullptr)) return Fail("code and Enter did not paint the share");
        Settle(loop);

        CBaseView* graph = panel.GetView(kViewGraph);
        CBaseView* intraday = panel.GetView(kViewRealTime);
        RECT client;
        ::GetClientRect(graph->GetViewWindow(), &client);
        plain_kline::MemoryDC memory(client.right, client.bottom);
        auto own = [&](CBaseView* view, const std::vector<std::string>& codes, std::vector<double>* times,
                       Split* split) {
            for (const std::string& code : codes) {
                CStockInfo info;
                all.GetStockInfo(code.c_str(), &info, nullptr);
                times->push_back(OwnLoadAndPaint(view, info, memory, split));
            }
        };
        const std::vector<std::string> stepped(walk.begin() + 1, walk.end());
        std::vector<double> keyPage, keyEnter, ownPage, ownEnter;
        velmora_test::FixtureControl(fixture.Port(), "clear");
        for (int round = 0; round < kRounds; ++round) {
            if (!pageDowns(&keyPage)) return Fail("Page Down did not paint the next share");
            PumpOnce(loop);
            panel.ShowView(kViewGraph);
            own(graph, stepped, &ownPage, &splitOwnPage);
            if (!enters(typed, &keyEnter)) return Fail("code and Enter did not paint the share");
            PumpOnce(loop);
            panel.ShowView(kViewRealTime);
            own(intraday, typed, &ownEnter, &splitOwnEnter);
        }
        const std::string log = velmora_test::FixtureControl(fixture.Port(), "log");
        int requests = 0;
        for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1)) ++requests;
        std::printf("key to chart: %d codes, %d Page Downs and %d typed codes a round, %d rounds; %d requests "
                    "reached the service while timed\n",
                    all.GetSize(), kShares, int(typed.size()), kRounds, requests);
        // Which they were: the path of each.
        for (size_t at = log.find("\"path\": \""); at != std::string::npos; at = log.find("\"path\": \"", at + 1)) {
            const size_t from = at + 9, to = log.find('"', from);
            std::printf("key to chart: requested while timed: %s\n", log.substr(from, to - from).c_str());
        }
        struct Line {
            const char* label;
            const std::vector<double>& key;
            const std::vector<double>& own;
            const Split& keySplit;
            const Split& ownSplit;
        };
        for (const Line& l : {Line{"Page Down to the next share's K-line", keyPage, ownPage, splitPage, splitOwnPage},
                              Line{"code + Enter to a stored share's intraday chart", keyEnter, ownEnter, splitEnter,
                                   splitOwnEnter}}) {
            std::printf("%s: the key handled in %.2f ms, the chart's paint begun at %.2f ms and %.2f ms long; the "
                        "chart's own load %.2f ms and paint %.2f ms (%.2f ms into a memory DC)\n",
                        l.label, Median(l.keySplit.handled) * 1000, Median(l.keySplit.before) * 1000,
                        Median(l.keySplit.paint) * 1000, Median(l.ownSplit.before) * 1000,
                        Median(l.ownSplit.paint) * 1000, Median(l.ownSplit.memory) * 1000);
            const double k = Median(l.key), o = Median(l.own), ratio = k / o;
            std::printf("%s: key to painted %.2f ms, the chart's own %.2f ms (medians of %d)\n", l.label, k * 1000,
                        o * 1000, int(l.key.size()));
            std::printf("%s: ratio %.3f = key-to-painted time / the chart's own load + compute + paint (goal at "
                        "most 1.50)%s\n",
                        l.label, ratio, ratio <= 1.5 ? "" : "  ABOVE GOAL");
            if (ratio > 1.5) status = 1;
        }
        Unwatch();
        frame.DestroyWindow();
        PumpOnce(loop);
    }
    GetAppModule().RemoveMessageLoop();
    FreeDownloadManager();
    SaveAndFreeCodeStateMap();
    SetProgramFolder("");
    return status;
}
