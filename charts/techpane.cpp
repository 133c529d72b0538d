// The indicator sub-panes of the K-line chart: the line drawers shared with the price-pane
// overlays, the short routines of the plain indicators, MACD, MIKE, VOLUME and turnover, CV, the
// own signal panes and the plug-in pane.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <memory>
#include <cstdio>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "charts/stockgraph.h"

using namespace charts;

namespace {

// The member of a set that computes an indicator id (1 to 58), or null.
CParamTech* MemberById(CTechSet& set, int id) {
    static const std::array<int, 59> positions = [] {
        std::array<int, 59> p;
        p.fill(-1);
        for (int i = 0; i < CTechSet::kMembers; ++i) {
            const int id = CTechSet::GetMemberId(i);
            if (id >= 0 && id < 59) p[id] = i;
        }
        return p;
    }();
    if (id < 1 || id > 58 || positions[id] < 0) return nullptr;
    return set.GetMember(positions[id]);
}

bool CalcLines(CTechnique* t, int n, double* v, int index, bool useLast) {
    switch (n) {
    case 1: return t->Calculate(&v[0], index, useLast);
    case 2: return t->Calculate(&v[0], &v[1], index, useLast);
    case 3: return t->Calculate(&v[0], &v[1], &v[2], index, useLast);
    case 4: return t->Calculate(&v[0], &v[1], &v[2], &v[3], index, useLast);
    case 5: return t->Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], index, useLast);
    default: return false;
    }
}

// Joins consecutive segments of one line into one polyline; a gap starts another. The bars of
// under, when given, are drawn before each polyline, so that the line lies over them.
class SegmentBatch {
public:
    SegmentBatch(Canvas& c, Color color, int width = 1, BarBatch* under = nullptr)
        : m_c(c), m_color(color), m_width(width), m_under(under) {}
    ~SegmentBatch() { Flush(); }
    void Add(int x1, int y1, int x2, int y2) {
        if (m_points.empty() || !(m_points.back() == Point(x1, y1))) {
            Flush();
            m_points.emplace_back(x1, y1);
        }
        m_points.emplace_back(x2, y2);
    }
    void Flush() {
        if (m_points.size() >= 2) {
            if (m_under) m_under->Flush();
            m_c.Polyline(m_points, m_color, m_width);
        }
        m_points.clear();
    }

private:
    Canvas& m_c;
    Color m_color;
    int m_width;
    BarBatch* m_under;
    std::vector<Point> m_points;
};

// One entry of the plain indicators' table: the grid, the decimals and the line names (none for
// a single line).
struct ShortRoutine {
    int id;
    int grid;
    int decimals;
    int lines;
    const char* names[5];
};

const ShortRoutine kShortRoutines[] = {
    {11, 5, 0, 1, {}},
    {13, 5, 0, 2, {"NVI", "MA"}},
    {14, 5, 0, 2, {"PVI", "MA"}},
    {15, 5, 0, 1, {}},
    {16, 5, 0, 2, {"VROC", "MA"}},
    {17, 3, 0, 1, {}},
    {18, 3, 0, 3, {"SHT", "MED", "LNG"}},
    {19, 5, 0, 1, {}},
    {21, 3, 0, 1, {}},
    {22, 5, 2, 2, {"EMV", "MA"}},
    {23, 5, 0, 1, {}},
    {24, 5, 0, 1, {}},
    {25, 5, 0, 1, {}},
    {26, 5, 0, 1, {}},
    {27, 5, 0, 3, {"K", "D", "J"}},
    {28, 5, 0, 1, {}},
    {29, 5, 0, 0, {}},  // the RSI day counts
    {30, 5, 2, 1, {}},
    {31, 5, 0, 2, {"MTM", "MA"}},
    {32, 5, 0, 4, {"+DI", "-DI", "ADX", "ADXR"}},
    {33, 5, 0, 2, {"ROC", "MA"}},
    {34, 5, 0, 2, {"CCI", "MA"}},
    {36, 5, 0, 2, {"AR", "BR"}},
    {37, 5, 0, 5, {"CR", "A", "B", "C", "D"}},
    {38, 5, 2, 2, {"OSC", "MA"}},
    {39, 5, 2, 2, {"UOS", "MA"}},
    {40, 5, 2, 2, {"MAOSC", "MA"}},
    {41, 5, 2, 1, {}},
    {42, 5, 2, 2, {"DPO", "MA"}},
    {43, 5, 2, 2, {"KST", "MA"}},
    {44, 5, 2, 1, {}},
    {45, 5, 2, 1, {}},
    {46, 5, 2, 2, {"PCNT", "MA"}},
    {47, 5, 2, 2, {"HLC", "MA"}},
    {48, 5, 2, 4, {"AH", "NH", "AL", "NL"}},
    {49, 5, 0, 1, {}},
    {50, 5, 2, 1, {}},
    {51, 5, 0, 2, {"CYO", "MA"}},
    {52, 5, 0, 2, {"DCYO", "MA"}},
    {54, 5, 0, 2, {"DPER", "MA"}},
    {58, 5, 0, 3, {"K", "D", "J"}},
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buf[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

}  // namespace

bool CStockGraph::FillPaneValues(CTechnique* tech, int n, PaneValues* out) {
    BarSlot s;
    // Every visible bar has a slot, or none has.
    if (!m_range.IsSet() || !GetSlotRect(m_range.first, &s) || n < 1 || n > 5) return false;
    out->first = m_range.first;
    out->count = m_range.last - m_range.first + 1;
    out->values.resize(size_t(n * out->count));
    out->valid.resize(size_t(n * out->count));
    double* lines[5];
    for (int k = 0; k < n; ++k) lines[k] = out->values.data() + size_t(k * out->count);
    tech->GetRange(n, m_range.first, m_range.last, lines, out->valid.data());
    // A bar has all its lines or none.
    for (int k = 1; k < n; ++k)
        std::copy(out->valid.begin(), out->valid.begin() + out->count, out->valid.begin() + k * out->count);
    return true;
}

bool CStockGraph::FillDayCountValues(CTechnique* tech, const CSPDWordArray& days, PaneValues* out) {
    BarSlot s;
    if (!m_range.IsSet() || !GetSlotRect(m_range.first, &s)) return false;
    const int n = days.GetSize();
    out->first = m_range.first;
    out->count = m_range.last - m_range.first + 1;
    out->values.resize(size_t(n * out->count));
    out->valid.resize(size_t(n * out->count));
    std::vector<double*> lines(static_cast<size_t>(n));
    std::vector<unsigned char*> flags(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        lines[size_t(k)] = out->values.data() + size_t(k * out->count);
        flags[size_t(k)] = out->valid.data() + size_t(k * out->count);
    }
    if (n > 0) tech->GetDaysRange(days, m_range.first, m_range.last, lines.data(), flags.data());
    return true;
}

void CStockGraph::CopyProfileParameters(int id) {
    if (id == 26 || id == 48) return;  // no parameters
    CParamTech* mine = MemberById(m_techs, id);
    CParamTech* theirs = MemberById(GetProfile().GetTechSet(), id);
    if (mine && theirs) mine->CopyParameters(*theirs);
}

bool CStockGraph::PanePreamble(PaneContext& ctx, int id, CTechnique* tech, double* min, double* max, int grid,
                               int decimals, double initialMax) {
    if (!m_range.IsSet() || !tech) return false;
    CopyProfileParameters(id);
    *min = 0.0;
    *max = initialMax;
    if (!tech->GetMinMaxInfo(m_range.first, m_range.last, min, max)) return false;
    if (!std::isfinite(*min) || !std::isfinite(*max)) return false;
    if (kTitleHeight >= ctx.rect.Height()) return false;
    // The frame, grid and scale belong to the background pass.
    if (ctx.pass == 0) DrawIndicatorTitle(ctx.c, ctx.palette, ctx.rect, kTitleHeight, grid, *min, *max, false, true, decimals);
    return true;
}

void CStockGraph::DrawPaneTitle(PaneContext& ctx, const std::string& title, bool fillStrip) {
    const Rect& r = ctx.rect;
    if (fillStrip) ctx.c.FillRect(Rect(r.left + 1, r.top + 1, r.right - 1, r.top + kTitleHeight - 1), ctx.palette[kColorBackground]);
    DrawTextOut(ctx.c, r.left + 5, r.top + 1, title, kAlignLeft, 14, ctx.palette[kColorBackground], ctx.palette[kColorTitle]);
}

namespace {
std::string TitleOf(int id, CTechnique* tech) {
    std::string title = GetTechnicalShortName(id);
    std::string params = tech ? tech->GetNameParams() : std::string();
    return params.empty() ? title : title + params;
}
}  // namespace

void CStockGraph::DrawTechLines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, int n,
                                const Color* colors, const char* const* names, int style) {
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    if (n < 1 || n > 5) return;
    if (ctx.pass == 1) {
        DrawPaneTitle(ctx, TitleOf(id, tech), true);
        double v[5];
        if (!CalcLines(tech, n, v, LegendBar(), false)) return;
        const Font font(12);
        for (int k = 0; k < n; ++k) {
            if (!(r.left + kLegendStart + (k + 1) * kLegendWidth < r.right)) continue;
            std::string text = n == 1 ? Format("%s  %.2f", GetTechnicalShortName(id).c_str(), v[0])
                                      : Format("%s %.2f", names && names[k] ? names[k] : "", v[k]);
            c.Text(r.left + kLegendStart + k * kLegendWidth, r.top + 1, text, colors[k], font, kAlignLeft);
        }
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top - 2;
    const int top = r.top + kTitleHeight;
    std::vector<std::unique_ptr<SegmentBatch>> lines;
    for (int k = 0; k < n; ++k) lines.emplace_back(new SegmentBatch(c, colors[k]));
    int prev[5] = {0, 0, 0, 0, 0};
    bool have = false, prevIn = false;
    PaneValues values;
    if (!FillPaneValues(tech, n, &values)) return;
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s) || !values.Has(0, i)) continue;
        int y[5];
        bool in = true;
        for (int k = 0; k < n; ++k) {
            if (!ValueToY(values.At(k, i), min, max, r.bottom, H, &y[k]) || !YInPane(y[k], top, r.bottom)) {
                in = false;
                y[k] = 0;
            }
        }
        if (have && in && prevIn) {
            for (int k = 0; k < n; ++k) {
                if (style == 2) c.Ellipse(Rect(s.centre - 2, y[k] - 2, s.centre + 2, y[k] + 2), colors[k], colors[k], false);
                else lines[k]->Add(s.centre - m_nBarStep, prev[k], s.centre, y[k]);
            }
        }
        // A point outside the pane is skipped; the line goes on from the last point inside it.
        if (!have || in) {
            std::copy(y, y + n, prev);
            prevIn = in;
        }
        have = true;
    }
}

void CStockGraph::DrawTechLine(PaneContext& ctx, double min, double max, int id, CTechnique* tech, Color color,
                               int style) {
    DrawTechLines(ctx, min, max, id, tech, 1, &color, nullptr, style);
}

void CStockGraph::DrawTech2Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                                 const Color* colors, const char* const* names) {
    DrawTechLines(ctx, min, max, id, tech, 2, colors, names, 1);
}

void CStockGraph::DrawTech3Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                                 const Color* colors, const char* const* names) {
    DrawTechLines(ctx, min, max, id, tech, 3, colors, names, 1);
}

void CStockGraph::DrawTech4Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                                 const Color* colors, const char* const* names) {
    DrawTechLines(ctx, min, max, id, tech, 4, colors, names, 1);
}

void CStockGraph::DrawTech5Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                                 const Color* colors, const char* const* names) {
    DrawTechLines(ctx, min, max, id, tech, 5, colors, names, 1);
}

// The drawer of n lines (1 to 5) with their colours and names (a single line has none).
void CStockGraph::DrawTechLineSet(PaneContext& ctx, double min, double max, int id, CTechnique* tech, int n,
                                  const Color* colors, const char* const* names) {
    switch (n) {
    case 1: DrawTechLine(ctx, min, max, id, tech, colors[0], 1); break;
    case 2: DrawTech2Lines(ctx, min, max, id, tech, colors, names); break;
    case 3: DrawTech3Lines(ctx, min, max, id, tech, colors, names); break;
    case 4: DrawTech4Lines(ctx, min, max, id, tech, colors, names); break;
    case 5: DrawTech5Lines(ctx, min, max, id, tech, colors, names); break;
    default: break;  // any other count draws no lines
    }
}

// One line per day count over the visible bars; a value outside the pane breaks its line.
void CStockGraph::DrawDayCountLines(PaneContext& ctx, CTechnique* tech, const CSPDWordArray& days, double min,
                                    double max, int top, int H) {
    Canvas& c = ctx.c;
    const Rect& r = ctx.rect;
    PaneValues values;
    if (!FillDayCountValues(tech, days, &values)) return;
    for (int k = 0; k < days.GetSize(); ++k) {
        SegmentBatch line(c, ctx.palette.GetLineColor(k));
        int prev = 0;
        bool have = false, prevIn = false;
        for (int i = m_range.first; i <= m_range.last; ++i) {
            BarSlot s;
            if (!GetSlotRect(i, &s) || !values.Has(k, i)) continue;
            int y = 0;
            const bool in = ValueToY(values.At(k, i), min, max, r.bottom, H, &y) && YInPane(y, top, r.bottom);
            if (have && in && prevIn) line.Add(s.centre - m_nBarStep, prev, s.centre, y);
            if (!have || in) {
                prev = y;
                prevIn = in;
            }
            have = true;
        }
    }
}

void CStockGraph::DrawTechNumbered(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                                   const CSPDWordArray& days) {
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    if (ctx.pass == 1) {
        DrawPaneTitle(ctx, TitleOf(id, tech), true);
        const Font font(12);
        const int bar = LegendBar();
        const std::string name = GetTechnicalShortName(id);
        for (int k = 0; k < days.GetSize(); ++k) {
            // Day-count legends stop at the first that does not fit.
            if (r.left + kLegendStart + (k + 1) * kLegendWidth > r.right) break;
            double v;
            if (!tech->Calculate(&v, bar, int(days[k]), false)) continue;
            c.Text(r.left + kLegendStart + k * kLegendWidth, r.top + 1, Format("%d%s %.2f", int(days[k]), name.c_str(), v),
                   ctx.palette.GetLineColor(k), font, kAlignLeft);
        }
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top - 2;
    const int top = r.top + kTitleHeight;
    DrawDayCountLines(ctx, tech, days, min, max, top, H);
}

bool CStockGraph::DrawShortRoutine(PaneContext& ctx, int id) {
    const ShortRoutine* routine = nullptr;
    for (const ShortRoutine& e : kShortRoutines)
        if (e.id == id) routine = &e;
    if (!routine) return false;
    CParamTech* tech = MemberById(m_techs, id);
    if (!tech) return true;
    if (id == 22) m_techs.m_EMV.m_stockinfo = m_stock.GetStockInfo();
    double min, max;
    if (!PanePreamble(ctx, id, tech, &min, &max, routine->grid, routine->decimals)) return true;
    if (routine->lines == 0) {
        DrawTechNumbered(ctx, min, max, id, tech, tech->m_days);
        return true;
    }
    Color colors[5];
    for (int k = 0; k < 5; ++k) colors[k] = ctx.palette[kColorLine1 + k];
    DrawTechLineSet(ctx, min, max, id, tech, routine->lines, colors, routine->lines > 1 ? routine->names : nullptr);
    return true;
}

void CStockGraph::DrawTechPaneContent(PaneContext& ctx, int id) {
    switch (id) {
    case 9: DrawMACD(ctx, 9, nullptr); return;
    case 20: DrawMACD(ctx, 20, &m_techs.m_VMACD); return;
    case 10: DrawMIKE(ctx); return;
    case 12: DrawVolume(ctx); return;
    case 53: DrawHSL(ctx); return;
    case 35: DrawCV(ctx); return;
    case 55: DrawJPBD(ctx, 55, nullptr); return;
    case 56: case 57: DrawSelfTechniqueBoxes(ctx, id, nullptr); return;
    default: break;
    }
    if (id >= 11 && id <= 58) {
        DrawShortRoutine(ctx, id);
        return;
    }
    // A plug-in id whose library is gone (or has fewer indicators now) draws nothing.
    if (id >= kTechUserIdBase && id <= 9999 + TechUserGetCount()) DrawTechUser(ctx, id);
}

void CStockGraph::DrawMACD(PaneContext& ctx, int id, CMACD* given) {
    CopyProfileParameters(9);
    CMACD* macd = given ? given : &m_techs.m_MACD;
    double min, max;
    if (!PanePreamble(ctx, id, macd, &min, &max, 5, 2, 1.0)) return;
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    if (ctx.pass == 1) {
        DrawPaneTitle(ctx, TitleOf(id, macd), false);
        const int bar = LegendBar();
        double e1, e2, dif, dea;
        // Legends only while the walk passes the legend bar, and only in a wide enough pane.
        if (r.right >= r.left + 300 && bar >= m_range.first && bar <= m_range.last &&
            macd->Calculate(&e1, &e2, &dif, &dea, bar, false)) {
            const Font font(12);
            c.Text(r.left + kLegendStart, r.top + 1,
                   Format("EMA(%d) EMA(%d) DIF %.2f ", macd->m_ints[CMACD::kShort], macd->m_ints[CMACD::kLong], dif),
                   ctx.palette[kColorLine1], font, kAlignLeft);
            c.Text(r.left + kLegendStart + 2 * kLegendWidth, r.top + 1,
                   Format("DEA(%d) %.2f", macd->m_ints[CMACD::kSignal], dea), ctx.palette[kColorLine1 + 1], font, kAlignLeft);
        }
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top;
    const int top = r.top + kTitleHeight;
    int y0;
    if (!ValueToY(0.0, min, max, r.bottom, H, &y0)) return;
    // The sticks lie under the lines.
    BarBatch sticks(c);
    SegmentBatch difLine(c, ctx.palette[kColorLine1], 1, &sticks), deaLine(c, ctx.palette[kColorLine1 + 1], 1, &sticks);
    bool have = false, prevIn = false;
    int prevDif = 0, prevDea = 0;
    PaneValues values;
    if (!FillPaneValues(macd, 4, &values)) return;
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s) || !values.Has(0, i)) continue;
        const double dif = values.At(2, i), dea = values.At(3, i);
        int yDif = 0, yDea = 0, yBar = 0;
        const bool in = ValueToY(dif, min, max, r.bottom, H, &yDif) && ValueToY(dea, min, max, r.bottom, H, &yDea) &&
                        YInPane(yDif, top, r.bottom) && YInPane(yDea, top, r.bottom);
        if (!have) {
            // The first computed bar only stores its values.
            have = true;
            prevDif = yDif;
            prevDea = yDea;
            prevIn = in;
            continue;
        }
        // The stick may reach past the pane for a value far out: the pane's clip holds it.
        if (ValueToY(2 * (dif - dea), min, max, r.bottom, H, &yBar))
            sticks.Line(s.centre, y0, s.centre, yBar, dif - dea > 0 ? ctx.palette[kColorRise] : ctx.palette[kColorFall]);
        if (i != m_range.first && in && prevIn) {
            difLine.Add(s.centre - m_nBarStep, prevDif, s.centre, yDif);
            deaLine.Add(s.centre - m_nBarStep, prevDea, s.centre, yDea);
        }
        if (in) {
            prevDif = yDif;
            prevDea = yDea;
            prevIn = true;
        }
    }
}

void CStockGraph::DrawMIKE(PaneContext& ctx) {
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    CopyProfileParameters(10);
    CMIKE& mike = m_techs.m_MIKE;
    if (ctx.pass == 1) DrawPaneTitle(ctx, TitleOf(10, &mike), false);
    // The table is drawn once, over the background, in the title pass.
    if (ctx.pass != 1) return;
    const CKData& series = GetSeries();
    const int bar = LegendBar();
    if (bar < 0 || bar >= series.GetSize()) return;
    double level[6];
    if (!mike.Calculate(&level[0], &level[1], &level[2], &level[3], &level[4], &level[5], bar)) return;
    const int h = std::max(18, r.Height() / 5), w = std::max(35, r.Width() / 6);
    const int x0 = r.left + w, y0 = r.top + h;
    const Color frame = ctx.palette[kColorFrame], back = ctx.palette[kColorBackground];
    auto cell = [&](int col, int row, const std::string& text, Color color) {
        Rect box(x0 + col * w, y0 + row * h, x0 + (col + 1) * w + 1, y0 + (row + 1) * h + 1);
        Rect shown = box.Intersect(r);
        if (shown.IsEmpty()) return;
        c.FillRect(shown, back);
        DrawTextInRect(c, box, text, frame, color, back, &r, 13);
    };
    const Color label = ctx.palette[kColorTitle];
    for (int col = 0; col < 4; ++col) cell(col, 0, ChartString(129 + col), label);
    cell(0, 1, ChartString(133), label);
    cell(0, 2, ChartString(134), label);
    const double close = series[bar].close;
    for (int k = 0; k < 3; ++k) {
        cell(k + 1, 1, Format("%.2f", level[k]), level[k] > close ? ctx.palette[kColorRise] : ctx.palette[kColorFall]);
        cell(k + 1, 2, Format("%.2f", level[k + 3]),
             level[k + 3] > close ? ctx.palette[kColorRise] : ctx.palette[kColorFall]);
    }
}

void CStockGraph::DrawVolume(PaneContext& ctx) {
    if (!m_range.IsSet()) return;
    CVOLUME& volume = m_techs.m_VOLUME;
    CopyProfileParameters(12);
    double min = 0, max = 1;
    if (!volume.GetMinMaxInfo(m_range.first, m_range.last, &min, &max) || !std::isfinite(min) || !std::isfinite(max))
        return;
    if (kTitleHeight >= ctx.rect.Height()) return;
    // The scale counts hundreds.
    if (ctx.pass == 0) DrawIndicatorTitle(ctx.c, ctx.palette, ctx.rect, kTitleHeight, 3, min * 0.01, max * 0.01, false, true, 0);
    DrawVolumeColumns(ctx, 12, &volume, min, max);
}

void CStockGraph::DrawHSL(PaneContext& ctx) {
    if (!m_range.IsSet()) return;
    CHSL& hsl = m_techs.m_HSL;
    hsl.m_stockinfo = m_stock.GetStockInfo();
    // The turnover pane's averages take the VOLUME day counts.
    CopyProfileParameters(12);
    CopyProfileParameters(53);
    double min = 0, max = 0;
    if (!hsl.GetMinMaxInfo(m_range.first, m_range.last, &min, &max) || !std::isfinite(min) || !std::isfinite(max))
        return;
    if (kTitleHeight >= ctx.rect.Height()) return;
    if (ctx.pass == 0) DrawIndicatorTitle(ctx.c, ctx.palette, ctx.rect, kTitleHeight, 5, min, max, false, true, 2);
    DrawVolumeColumns(ctx, 53, &hsl, min, max);
}

// The title and legends (pass 1), or the columns of the volume (12) or the turnover (53) with the
// moving averages of the VOLUME day counts (pass 0).
void CStockGraph::DrawVolumeColumns(PaneContext& ctx, int id, CTechnique* tech, double min, double max) {
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    const bool turnover = id == 53;
    const CSPDWordArray& days = m_techs.m_VOLUME.m_days;
    if (ctx.pass == 1) {
        DrawPaneTitle(ctx, TitleOf(id, tech), false);
        const Font font(12);
        const int bar = LegendBar();
        const int shift = turnover ? 12 : 0, slack = turnover ? 10 : 0;
        for (int k = 0; k < days.GetSize(); ++k) {
            if (r.left + kLegendStart + (k + 1) * kLegendWidth + shift + slack > r.right) break;
            double v;
            if (!tech->Calculate(&v, bar, int(days[k]), false)) continue;
            c.Text(r.left + kLegendStart + k * kLegendWidth + shift, r.top + 1,
                   Format(turnover ? "%dMV %.2f" : "%dMV %.0f", int(days[k]), v), ctx.palette.GetLineColor(k), font,
                   kAlignLeft);
        }
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top;
    const int top = r.top + kTitleHeight;
    const CKData& series = GetSeries();
    PaneValues values;
    if (turnover && !FillPaneValues(tech, 1, &values)) return;
    BarBatch columns(c);
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s)) continue;
        double v = series[i].volume;
        if (turnover) {
            if (!values.Has(0, i)) continue;
            v = values.At(0, i);
        }
        int y;
        if (!ValueToY(v, min, max, r.bottom, H, &y)) continue;
        const KDATA& b = series[i];
        const Rect bar(s.bodyLeft, std::max(y, top), s.bodyRight, r.bottom - 1);
        if (bar.IsEmpty()) continue;
        const bool simulated = b.date > m_dwSimulationStart;
        const Color col = simulated ? ctx.palette[kColorSimulated]
                          : b.close >= b.open ? ctx.palette[kColorRise] : ctx.palette[kColorFallBar];
        if (b.close >= b.open) columns.FrameRect(bar, col);
        else columns.FillRect(bar, col);
    }
    // The averages lie over the columns.
    columns.Flush();
    DrawDayCountLines(ctx, tech, days, min, max, top, H);
}

void CStockGraph::DrawCV(PaneContext& ctx) {
    CCV& cv = m_techs.m_CV;
    double min, max;
    if (!PanePreamble(ctx, 35, &cv, &min, &max, 5, 0)) return;
    const Rect& r = ctx.rect;
    Canvas& c = ctx.c;
    if (ctx.pass == 1) {
        DrawPaneTitle(ctx, TitleOf(35, &cv), false);
        double v;
        if (r.left + kLegendStart + kLegendWidth < r.right && cv.Calculate(&v, LegendBar(), false))
            c.Text(r.left + kLegendStart, r.top + 1, Format("%s  %.2f", GetTechnicalShortName(35).c_str(), v),
                   ctx.palette[kColorLine1], Font(12), kAlignLeft);
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top;
    const int top = r.top + kTitleHeight;
    int y0;
    if (!ValueToY(0.0, min, max, r.bottom, H, &y0)) return;
    bool have = false;
    PaneValues values;
    if (!FillPaneValues(&cv, 1, &values)) return;
    BarBatch sticks(c);
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s) || !values.Has(0, i)) continue;
        int y;
        if (have && ValueToY(values.At(0, i), min, max, r.bottom, H, &y) && YInPane(y, top, r.bottom))
            sticks.Line(s.centre, y0, s.centre, y, y < y0 ? ctx.palette[kColorRise] : ctx.palette[kColorFall]);
        have = true;
    }
}

// The walk of the own signal panes (55 to 57): the range, the title, and for every bar after the
// first computed and the first visible one whose lines 3 and 4 lie in the pane, with those of the
// bar before, draw (slot, previous y3, previous y4, y3, y4, y of 0). The object is the chart's of
// the id unless one is given.
template <class BarPainter>
void CStockGraph::WalkSelfTechnique(PaneContext& ctx, int id, CTechnique* given, const BarPainter& draw) {
    CTechnique* tech = given ? given : MemberById(m_techs, id);
    double min, max;
    if (!PanePreamble(ctx, id, tech, &min, &max, 5, 2, 1.0)) return;
    const Rect& r = ctx.rect;
    if (ctx.pass == 1) {
        const char* name = id == 55 ? "金牌波段" : id == 56 ? "多空能量" : "极品逃顶";
        std::string caption = tech->GetNameParams();
        DrawPaneTitle(ctx, caption.empty() ? name : std::string(name) + caption, false);
        return;
    }
    if (max - min < 0.0001) return;
    const int H = r.bottom - kTitleHeight - r.top;
    const int top = r.top + kTitleHeight;
    int y0;
    if (!ValueToY(0.0, min, max, r.bottom, H, &y0)) return;
    bool have = false, prevIn = false;
    int prev3 = 0, prev4 = 0;
    PaneValues values;
    if (!FillPaneValues(tech, 4, &values)) return;
    for (int i = m_range.first; i <= m_range.last; ++i) {
        BarSlot s;
        if (!GetSlotRect(i, &s) || !values.Has(0, i)) continue;
        int y3 = 0, y4 = 0;
        const bool in = ValueToY(values.At(2, i), min, max, r.bottom, H, &y3) &&
                        ValueToY(values.At(3, i), min, max, r.bottom, H, &y4) &&
                        YInPane(y3, top, r.bottom) && YInPane(y4, top, r.bottom);
        if (have && i != m_range.first && in && prevIn) draw(s, prev3, prev4, y3, y4, y0);
        if (!have || in) {
            prev3 = y3;
            prev4 = y4;
            prevIn = in;
        }
        have = true;
    }
}

void CStockGraph::DrawJPBD(PaneContext& ctx, int id, CTechnique* given) {
    Canvas& c = ctx.c;
    const Color red = MakeColor(255, 0, 0), green = MakeColor(0, 255, 0), yellow = MakeColor(255, 255, 0);
    WalkSelfTechnique(ctx, id, given, [&](const BarSlot& s, int prev3, int prev4, int y3, int y4, int y0) {
        c.Line(s.centre - m_nBarStep, prev3, s.centre, y3, red, 2);
        c.Line(s.centre - m_nBarStep, prev4, s.centre, y4, green, 2);
        // Line 3 above line 4 at the bar before.
        if (prev4 > prev3) c.Line(s.centre, y3, s.centre, y4, yellow, 2);
        c.Line(s.centre - m_nBarStep, y0, s.centre, y0, yellow, 2);
    });
}

void CStockGraph::DrawSelfTechniqueBoxes(PaneContext& ctx, int id, CTechnique* given) {
    Canvas& c = ctx.c;
    const Color red = MakeColor(255, 0, 0), green = MakeColor(0, 255, 0), back = ctx.palette[kColorBackground];
    WalkSelfTechnique(ctx, id, given, [&](const BarSlot& s, int, int, int y3, int y4, int) {
        const Rect box(std::min(s.centre - 2 * m_nBarStep, s.centre), std::min(y3, y4), s.centre, std::max(y3, y4) + 1);
        c.FillRect(box, back);
        c.FrameRect(box, y4 > y3 ? red : green);
    });
}

void CStockGraph::DrawTechUser(PaneContext& ctx, int id) {
    CTechUser* tech = nullptr;
    for (PluginEntry& e : m_plugins)
        if (e.id == id && e.period == m_nPeriod) tech = e.tech.get();
    if (!tech) {
        std::unique_ptr<CTechUser> made(new CTechUser(&GetSeries()));
        // An id the library does not know (any more) is not kept and draws nothing.
        if (!made->SetTechUserID(id)) return;
        made->SetStock(&m_stock, &m_stock.GetStockInfo());
        tech = made.get();
        m_plugins.push_back({id, m_nPeriod, std::move(made)});
    }
    double min = 0, max = 0;
    if (!m_range.IsSet() || !tech->GetMinMaxInfo(m_range.first, m_range.last, &min, &max)) return;
    if (!std::isfinite(min) || !std::isfinite(max) || kTitleHeight >= ctx.rect.Height()) return;
    if (ctx.pass == 0) DrawIndicatorTitle(ctx.c, ctx.palette, ctx.rect, kTitleHeight, 5, min, max, false, true, 0);
    const int n = tech->GetLineCount();
    if (n < 1 || n > 5) return;
    Color colors[5];
    std::string names[5];
    const char* namePtrs[5];
    for (int k = 0; k < 5; ++k) {
        colors[k] = ctx.palette[kColorLine1 + k];
        names[k] = k < n ? tech->GetLineName(k + 1) : std::string();
        namePtrs[k] = names[k].c_str();
    }
    DrawTechLineSet(ctx, min, max, id, tech, n, colors, n > 1 ? namePtrs : nullptr);
}
