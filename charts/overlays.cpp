// The price pane's overlays: moving averages, BBI, BOLL, PV, SAR over the price range, the market
// index's bars on their own range, the chip distribution and the FXKP marks.
#include <algorithm>
#include <cmath>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "charts/stockgraph.h"
#include "store/database.h"

using namespace charts;

void CStockGraph::DrawOverlay(PaneContext& ctx, int id, double min, double max) {
    if (!m_range.IsSet()) return;
    switch (id) {
    case 1: DrawMAOverlay(ctx, min, max); break;
    case 2: DrawBBIOverlay(ctx, min, max); break;
    case 3: DrawBollOverlay(ctx, min, max); break;
    case 4: DrawPVOverlay(ctx, min, max); break;
    case 5: DrawSAROverlay(ctx, min, max); break;
    case 6: DrawIndexOverlay(ctx); break;
    case 7: DrawCostOverlay(ctx, min, max); break;
    case 8: DrawFXKPOverlay(ctx); break;
    default: break;
    }
}

// Ids 1 to 5 draw on the price range they are given, with the line drawers of the sub-panes.
void CStockGraph::DrawMAOverlay(PaneContext& ctx, double min, double max) {
    CopyProfileParameters(1);
    DrawTechNumbered(ctx, min, max, 1, &m_techs.m_MA, m_techs.m_MA.m_days);
}

void CStockGraph::DrawBBIOverlay(PaneContext& ctx, double min, double max) {
    CopyProfileParameters(2);
    DrawTechLine(ctx, min, max, 2, &m_techs.m_BBI, ctx.palette[kColorLine1], 1);
}

void CStockGraph::DrawBollOverlay(PaneContext& ctx, double min, double max) {
    CopyProfileParameters(3);
    const ChartPalette& p = ctx.palette;
    const Color colors[3] = {p[kColorScale], p[kColorRise], p[kColorFall]};
    const char* const names[3] = {"MB", "UP", "DOWN"};
    DrawTech3Lines(ctx, min, max, 3, &m_techs.m_BOLL, colors, names);
}

// PV has no parameters.
void CStockGraph::DrawPVOverlay(PaneContext& ctx, double min, double max) {
    DrawTechLine(ctx, min, max, 4, &m_techs.m_PV, ctx.palette[kColorLine1], 1);
}

// SAR is drawn as dots.
void CStockGraph::DrawSAROverlay(PaneContext& ctx, double min, double max) {
    CopyProfileParameters(5);
    DrawTechLine(ctx, min, max, 5, &m_techs.m_SAR, ctx.palette[kColorLine1], 2);
}

void CStockGraph::DrawIndexOverlay(PaneContext& ctx) {
    CopyProfileParameters(6);
    CDJ& dj = m_techs.m_DJ;
    const CStockInfo& info = m_stock.GetStockInfo();
    const bool shanghai = info.IsShangHai(), shenzhen = info.IsShenZhen();
    if (ctx.pass == 1) {
        if (!dj.IsValidParameters()) dj.SetDefaultParameters();
        std::string title = GetTechnicalShortName(6) + "    ";
        if (shanghai) title += dj.m_strings[CDJ::kShanghaiCode];
        else if (shenzhen) title += dj.m_strings[CDJ::kShenzhenCode];
        title += dj.GetNameParams();
        DrawTextOut(ctx.c, ctx.rect.left + 5, ctx.rect.top + 1, title, kAlignLeft, 14, ctx.palette[kColorBackground],
                    ctx.palette[kColorTitle]);
        return;
    }
    if (!dj.IsValidParameters()) dj.SetDefaultParameters();
    if (!shanghai && !shenzhen) return;
    if (!dj.SetOverlayCode(&GetDatabase(), m_stock.GetStockCode(), m_nPeriod, m_nExrightMode, m_nPriceMode)) return;
    CStock& index = shanghai ? GetIndexStock() : GetShenzhenIndexStock();
    const CKData& own = GetSeries();
    const CKData& series = index.GetKData(m_nPeriod);
    if (series.GetSize() == 0) return;
    int i1 = series.GetIndexByDate(own[m_range.first].date);
    int i2 = series.GetIndexByDate(own[m_range.last].date);
    if (i1 < 0) i1 = 0;
    if (i2 < 0) i2 = series.GetSize() - 1;
    if (i2 < i1) return;
    CKLine range(const_cast<CKData*>(&series));
    double lo, hi;
    if (!range.GetMinMaxInfo(i1, i2, &lo, &hi)) return;
    const Rect plot = CandleRect(m_layout.pricePane);
    BarBatch bars(ctx.c);
    for (int i = m_range.first; i <= m_range.last; ++i) {
        const int j = series.GetIndexByDate(own[i].date);
        if (j < 0 || j >= series.GetSize()) continue;
        DrawKLineBar(ctx.c, bars, ctx.palette, i, j, series, lo, hi, true, 0, 0, plot, i + 3 >= m_range.last);
    }
}

void CStockGraph::DrawCostOverlay(PaneContext& ctx, double min, double max) {
    // Bars only, behind the candles; the pass of titles and legends has nothing of this overlay.
    if (ctx.pass == 1) return;
    if (!(max - min >= 0.0001) || !std::isfinite(max - min)) return;
    const CKData& series = GetSeries();
    if (series.GetSize() == 0) return;
    CopyProfileParameters(7);
    // The distribution of the displayed series: its prices are the ones the pane's scale shows.
    CCW cw;
    cw.CopyParameters(m_techs.m_CW);
    if (!cw.IsValidParameters()) cw.SetDefaultParameters();
    cw.SetKData(const_cast<CKData*>(&series));
    CSPDWordArray prices, volumes;
    double minVolume = 0, largest = 0, total = 0, remaining = 0;
    const double step = (max - min) * 0.003;
    if (!cw.GetCostDistribution(-1, 0, m_stock.GetStockInfo(), step, prices, volumes, &minVolume, &largest, &total,
                                &remaining))
        return;
    if (total < 0 || !(largest >= 0.0001)) return;
    const Rect& r = ctx.rect;
    const int top = r.top + kTitleHeight, bottom = r.bottom;
    const int H = bottom - top;
    if (H <= 3 || r.Width() <= 2) return;
    const Color colour = ctx.palette[kColorCost];
    ClipScope clip(ctx.c, Rect(r.left + 1, top, r.right - 1, bottom - 1));
    const int n = std::min(prices.GetSize(), volumes.GetSize());
    for (int k = 0; k < n; ++k) {
        int y;
        if (!ValueToY(prices[k] * 0.001, min, max, bottom, H, &y)) continue;
        if (!(top + 1 < y && y < bottom - 2)) continue;
        // The largest volume reaches a third of the pane from its right edge.
        const double length = double(volumes[k]) * r.Width() / (3 * largest);
        const int x = std::max(r.left + 1, int(r.right - std::min(length, double(r.Width()))));
        if (x >= r.right - 1) continue;
        DrawLine(ctx.c, 3, colour, x, y, r.right - 1, y);
    }
}

void CStockGraph::DrawFXKPOverlay(PaneContext& ctx) {
    CopyProfileParameters(8);
    CSelfTechnique1& tech = m_techs.m_SelfTechnique1;
    double min = 0, max = 1;
    if (!tech.GetMinMaxInfo(m_range.first, m_range.last, &min, &max)) return;
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    if (ctx.pass == 1) {
        std::string caption = tech.GetNameParams();
        DrawTextOut(c, r.left + 5, r.top + 1, "vovu" + caption, kAlignLeft, 14, ctx.palette[kColorBackground],
                    ctx.palette[kColorTitle]);
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top;
    const Color yellow = MakeColor(255, 255, 0), green = MakeColor(0, 255, 0);
    bool have = false;
    PaneValues values;
    if (!FillPaneValues(&tech, 5, &values)) return;
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s) || !values.Has(0, i)) continue;
        if (!have || i == m_range.first) {
            have = true;
            continue;
        }
        int y3, y4, y5;
        if (!ValueToY(values.At(2, i), min, max, r.bottom, H, &y3) || !ValueToY(values.At(3, i), min, max, r.bottom, H, &y4) ||
            !ValueToY(values.At(4, i), min, max, r.bottom, H, &y5))
            continue;
        // A 2-pixel square drawn with a 4-pixel pen; the pane's clip keeps it inside.
        const int x = s.centre - m_nBarStep;
        c.FillRect(Rect(x - 2, y5 - 2, x + 4, y5 + 4), y4 > y3 ? yellow : green);
    }
}
