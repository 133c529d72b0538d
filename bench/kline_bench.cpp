// The K-line chart under Wine, against plain GDI loops measured in the same run:
//  1. painting one stock's chart (price pane with MA 5/10/20, VOLUME and MACD panes, 250 bars
//     visible) into a memory DC, against a loop that draws the same candles, grid, lines and
//     texts with GDI calls from values computed beforehand;
//  2. the chart of 1 zoomed out to 1 pixel a bar (1,000 bars on screen), against the same chart
//     at the default step: a cost ratio, as a paint should not grow with the bars shown;
//  3. switching among 100 stocks (load the day file from hqdata, compute, paint), against a loop
//     that reads each day file with fread, computes the same lines and draws them as above.
// The day files come from the fixture service before any timing starts; nothing is fetched while
// the clock runs. Each figure is the plain loop's best round time over ours.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "charts/fixture_data.h"
#include "charts/gdicanvas.h"
#include "charts/stockgraph.h"
#include "kline_plain.h"

using namespace charts;
using namespace plain_kline;

int main() {
    chart_test::FixtureData data;
    std::string why;
    if (!data.Load(100, &why)) {
        std::fprintf(stderr, "kline_bench: %s\n", why.c_str());
        return 2;
    }
    CSPDWordArray panes, overlays;
    panes.Add(12);
    panes.Add(9);
    overlays.Add(1);
    GetProfile().SetShownIndicators(panes);
    GetProfile().SetSecondIndicatorList(overlays);
    GetProfile().SetExrightMode(1);
    const Rect chartRect(0, 0, kWidth, kHeight);
    const KLineLayout layout = LayoutKLine(chartRect, 2);
    MemoryDC mem(kWidth, kHeight);
    PlainTools tools;
    int status = 0;

    // 1. One stock, painted again and again (the indicator values cached, as between repaints).
    {
        CStockGraph chart;
        CStockInfo info;
        GetStockContainer().GetStockInfo(data.Codes()[0].c_str(), &info, nullptr);
        chart.SetStock(info);
        chart.LoadData(1);
        chart.SetBarStep(kStep);
        chart.Layout(chartRect);
        std::vector<KDATA> bars(chart.GetSeries().GetData(), chart.GetSeries().GetData() + chart.GetSeries().GetSize());
        Lines lines;
        Compute(bars, lines);
        auto ours = [&] {
            GdiCanvas c(mem.dc);
            c.FillRect(chartRect, MakeColor(8, 8, 8));
            chart.Draw(c);
        };
        auto plain = [&] { PlainPaint(mem.dc, tools, bars, lines, layout); };
        ours();
        const VisibleRange r = chart.GetVisibleRange();
        if (r.last - r.first + 1 != 250) std::printf("kline paint: %d bars visible\n", r.last - r.first + 1);
        double tOurs = 1e300, tPlain = 1e300;
        for (int round = 0; round < 8; ++round) {
            tOurs = std::min(tOurs, Best(5, ours));
            tPlain = std::min(tPlain, Best(5, plain));
        }
        status |= Report("kline paint", "draws the same panes, candles, lines and texts with plain GDI calls from values computed beforehand",
                         tOurs, tPlain, 0.5);
    }

    // 2. The chart of 1 at 1 pixel a bar and at the default step, each its own chart so that
    // neither paint lays out again; rounds alternate.
    {
        CStockInfo info;
        GetStockContainer().GetStockInfo(data.Codes()[0].c_str(), &info, nullptr);
        CStockGraph zoomed, plain;
        for (CStockGraph* chart : {&zoomed, &plain}) {
            chart->SetStock(info);
            chart->LoadData(1);
            chart->SetBarStep(chart == &zoomed ? 1 : kDefaultBarStep);
            chart->Layout(chartRect);
        }
        auto paint = [&](CStockGraph& chart) {
            GdiCanvas c(mem.dc);
            c.FillRect(chartRect, MakeColor(8, 8, 8));
            chart.Draw(c);
        };
        paint(zoomed);
        paint(plain);
        const int shown = zoomed.GetVisibleRange().last - zoomed.GetVisibleRange().first + 1;
        const int shownPlain = plain.GetVisibleRange().last - plain.GetVisibleRange().first + 1;
        double tZoomed = 1e300, tPlain = 1e300;
        for (int round = 0; round < 8; ++round) {
            tZoomed = std::min(tZoomed, Best(5, [&] { paint(zoomed); }));
            tPlain = std::min(tPlain, Best(5, [&] { paint(plain); }));
        }
        const double ratio = tZoomed / tPlain;
        char bars[32];
        if (shown >= 1000) std::snprintf(bars, sizeof bars, "%d,%03d", shown / 1000, shown % 1000);
        else std::snprintf(bars, sizeof bars, "%d", shown);
        std::printf("kline zoomed out: the baseline paints the same chart at the default step of %d pixels a bar "
                    "(%d bars on screen)\n", kDefaultBarStep, shownPlain);
        std::printf("kline zoomed out: %.3f ms at 1 px a bar, %.3f ms at the default step\n", tZoomed * 1000,
                    tPlain * 1000);
        std::printf("kline zoomed out: ratio %.3f = paint time at 1 px a bar (%s bars on screen) / paint time at the "
                    "default step (goal at most 1.50)%s\n",
                    ratio, bars, ratio <= 1.5 ? "" : "  ABOVE GOAL");
        if (ratio > 1.5) status |= 1;
    }

    // 3. A hundred stocks in turn: load, compute, paint.
    {
        std::vector<CStockInfo> infos;
        std::vector<std::string> paths;
        for (const std::string& code : data.Codes()) {
            CStockInfo info;
            GetStockContainer().GetStockInfo(code.c_str(), &info, nullptr);
            infos.push_back(info);
            paths.push_back(JoinStorePath(data.Folder(), ("hqdata\\sh\\day\\SH" + code + ".day").c_str()));
            if (code.size() > 2 && code.compare(code.size() - 2, 2, "_0") == 0)
                paths.back() = JoinStorePath(data.Folder(), ("hqdata\\sz\\day\\SZ" + code + ".day").c_str());
        }
        CStockGraph chart;
        chart.SetBarStep(kStep);
        chart.Layout(chartRect);
        auto ours = [&] {
            GdiCanvas c(mem.dc);
            for (const CStockInfo& info : infos) {
                chart.SetStock(info);
                chart.LoadData(1);
                c.FillRect(chartRect, MakeColor(8, 8, 8));
                chart.Draw(c);
            }
        };
        std::vector<KDATA> bars;
        Lines lines;
        auto plain = [&] {
            for (const std::string& path : paths) {
                if (!ReadDayFile(path, bars)) continue;
                Compute(bars, lines);
                PlainPaint(mem.dc, tools, bars, lines, layout);
            }
        };
        double tOurs = 1e300, tPlain = 1e300;
        for (int round = 0; round < 3; ++round) {
            tOurs = std::min(tOurs, Best(1, ours));
            tPlain = std::min(tPlain, Best(1, plain));
        }
        status |= Report("kline switch 100 stocks",
                         "reads each day file with fread, computes MA, volume MA and MACD in one pass and draws as above",
                         tOurs, tPlain, 0.5);
    }
    return status;
}
