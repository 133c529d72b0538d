// The content panel switching among 50 stocks under Wine: each stock opened with message 4028
// (the K-line view: the profile's current stock, the panel's look at the stock's files and its
// neighbours', the view's reload) and the view painted into a memory DC, against the plain
// read-compute-draw loop of the K-line benchmark over the same day files, in the same run.
// Every file comes from the fixture service, and is recorded fresh, before the clock starts; the
// run says how many requests reached the service while timed (0: the service is never waited on).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "app/contentpanel.h"
#include "charts/fixture_data.h"
#include "charts/graphview.h"
#include "kline_plain.h"
#include "net/download.h"
#include "skin/skinmanager.h"
#include "tests/net/test_servers.h"

using namespace plain_kline;

namespace {

const int kStocks = 50;

class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraPanelBenchHost")
    BEGIN_MSG_MAP(CHost)
    END_MSG_MAP()
};

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

bool Drain() {
    for (int i = 0; i < 6000; ++i) {
        Pump();
        if (GetTaskQueue().GetCount() == 0) return true;
        ::Sleep(10);
    }
    return false;
}

std::string DayPath(const std::string& folder, const std::string& code) {
    const bool shenzhen = code.compare(code.size() - 2, 2, "_0") == 0;
    return JoinStorePath(folder, ((shenzhen ? "hqdata\\sz\\day\\SZ" : "hqdata\\sh\\day\\SH") + code + ".day").c_str());
}

}  // namespace

int main() {
    LoadSkin();
    chart_test::FixtureData data;
    std::string why;
    if (!data.Load(kStocks, &why)) {
        std::fprintf(stderr, "panel_switch_bench: %s\n", why.c_str());
        return 2;
    }
    CSPDWordArray panes, overlays;
    panes.Add(12);
    panes.Add(9);
    overlays.Add(1);
    GetProfile().SetShownIndicators(panes);
    GetProfile().SetSecondIndicatorList(overlays);
    GetProfile().SetExrightMode(1);

    CHost host;
    CContentPanelView panel;
    if (!host.Create(nullptr, CRect(0, 0, kWidth + 40, kHeight + 60), "bench", WS_OVERLAPPEDWINDOW) ||
        !panel.Create(host, CRect(0, 0, kWidth, kHeight))) {
        std::fprintf(stderr, "panel_switch_bench: no window\n");
        return 2;
    }
    MemoryDC mem(kWidth, kHeight);
    const std::vector<std::string>& codes = data.Codes();
    auto ours = [&] {
        for (const std::string& code : codes) {
            panel.SendMessage(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), 1);
            ::SendMessageA(panel.GetCurrentView()->GetViewWindow(), WM_PRINTCLIENT, (WPARAM)mem.dc, PRF_CLIENT);
        }
    };
    // Twice untimed: every file of the stocks and their neighbours arrives and is recorded.
    for (int i = 0; i < 2; ++i) {
        ours();
        if (!Drain()) {
            std::fprintf(stderr, "panel_switch_bench: downloads do not finish\n");
            return 2;
        }
    }
    if (panel.GetCurrentViewId() != kViewGraph) {
        std::fprintf(stderr, "panel_switch_bench: the K-line view is not shown\n");
        return 2;
    }

    const Rect chartRect(0, 0, kWidth, kHeight);
    const KLineLayout layout = LayoutKLine(chartRect, 2);
    PlainTools tools;
    std::vector<std::string> paths;
    for (const std::string& code : codes) paths.push_back(DayPath(data.Folder(), code));
    std::vector<KDATA> bars;
    Lines lines;
    auto plain = [&] {
        for (const std::string& path : paths) {
            if (!ReadDayFile(path, bars)) continue;
            Compute(bars, lines);
            PlainPaint(mem.dc, tools, bars, lines, layout);
        }
    };
    velmora_test::FixtureControl(data.Port(), "clear");
    double tOurs = 1e300, tPlain = 1e300;
    for (int round = 0; round < 3; ++round) {
        tOurs = std::min(tOurs, Best(1, ours));
        tPlain = std::min(tPlain, Best(1, plain));
    }
    const std::string log = velmora_test::FixtureControl(data.Port(), "log");
    int requests = 0;
    for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1)) ++requests;
    std::printf("panel switch %d stocks: %d requests reached the service while timed\n", kStocks, requests);
    const int status = Report("panel switch 50 stocks",
                              "reads each day file with fread, computes MA, volume MA and MACD in one pass and draws "
                              "the same panes with plain GDI calls (the K-line benchmark's loop)",
                              tOurs, tPlain, 0.5);
    Drain();
    host.DestroyWindow();
    return status;
}
