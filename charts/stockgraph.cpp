#include "charts/stockgraph.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "store/database.h"
#include "store/storeenv.h"

using namespace charts;

namespace {
std::atomic<int> g_signalMode{0};

// The day's figures of the loaded minute file's quote over the stock's code-list entry.
void ApplyLatestQuote(CStock& stock) {
    ReportArray& quotes = stock.GetReport();
    if (quotes.GetSize() > 0) UpdateStockInfoByReport(&stock.GetStockInfo(), &quotes[quotes.GetSize() - 1]);
}
}  // namespace

void SetSignalDownloadMode(int mode) { g_signalMode.store(mode); }
int GetSignalDownloadMode() { return g_signalMode.load(); }

CStockGraph::CStockGraph()
    : m_pHost(nullptr),
      m_pReport(nullptr),
      m_bLoaded(false),
      m_nLoadedCount(-1),
      m_nPeriod(ktypeDay),
      m_nBarStyle(kStyleCandle),
      m_nReportKind(9),
      m_nBarStep(kDefaultBarStep),
      m_dwSimulationStart(0xFFFFFFFFu),
      m_dPriceMax(0),
      m_dPriceMin(0),
      m_bSplitterHover(false),
      m_nBoundary(-1),
      m_nDragX(0),
      m_nDragY(0),
      m_bZooming(false),
      m_zoom{0, 0, 0, 0} {
    CStProfile& profile = GetProfile();
    m_nExrightMode = profile.GetExrightMode();
    m_nPriceMode = profile.GetPriceMode();
    profile.SetExrightMode(m_nExrightMode);
    profile.SetPriceMode(m_nPriceMode);
}

CStockGraph::~CStockGraph() {
    ReleaseTechObjects();
    m_stock.Clear();
    m_stockAdjusted.Clear();
}

void CStockGraph::Repaint() {
    if (m_pHost) m_pHost->Invalidate();
}

void CStockGraph::ReleaseTechObjects() {
    m_plugins.clear();
    m_techs.SetKData(nullptr);
    m_kline.SetKData(nullptr);
}

void CStockGraph::RefreshIndicatorLists() {
    CStProfile& profile = GetProfile();
    CSPDWordArray shown = profile.GetShownIndicators();
    CSPDWordArray second = profile.GetSecondIndicatorList();
    m_paneIds.clear();
    for (int i = 0; i < shown.GetSize(); ++i) m_paneIds.push_back(int(shown[i]));
    m_overlayIds.clear();
    for (int i = 0; i < second.GetSize(); ++i) m_overlayIds.push_back(int(second[i]));
}

void CStockGraph::Layout(const Rect& r) {
    if (r.IsEmpty()) return;
    m_rect = r;
    RefreshIndicatorLists();
    m_layout = LayoutKLine(r, int(m_paneIds.size()));
}

void CStockGraph::Resize(Canvas& c, const Rect& r) {
    if (r != m_rect) Layout(r);
    Draw(c);
}

int CStockGraph::SetStock(const CStockInfo& info) {
    if (m_stock.GetStockInfo().IsEqualTo(info.GetMarket(), info.GetStockCode()) && m_stock.GetStockCode()[0]) return 1;
    m_range = VisibleRange();
    m_bSplitterHover = false;
    m_bZooming = false;
    ReleaseTechObjects();
    m_stock.Clear();
    m_stockAdjusted.Clear();
    m_stock.SetStockInfo(&info);
    m_stockAdjusted.SetStockInfo(&info);
    CStDatabase* database = &GetDatabase();
    m_stock.SetDatabase(database);
    m_stockAdjusted.SetDatabase(database);
    m_bLoaded = false;
    m_nLoadedCount = -1;
    ++m_nDataGeneration;
    return 1;
}

int CStockGraph::SetStockCode(const char* code) {
    if (!code || !*code) return 0;
    CStockInfo info;
    if (!GetStockContainer().GetStockInfo(code, &info, nullptr)) return 0;
    return SetStock(info);
}

int CStockGraph::LoadData(int reload) {
    const char* code = m_stock.GetStockCode();
    if (!code[0]) return 0;
    CStockInfo fresh;
    if (GetStockContainer().GetStockInfo(code, &fresh, nullptr) &&
        fresh.IsEqualTo(m_stock.GetStockInfo().GetMarket(), code)) {
        m_stock.SetStockInfo(&fresh);
        m_stockAdjusted.SetStockInfo(&fresh);
    }
    char key[64];
    std::snprintf(key, sizeof key, "%s|%d|%d|%d", code, m_nPeriod, m_nExrightMode, m_nPriceMode);
    // A reload from memory of what is loaded already (every resize asks for one) keeps the
    // series and the indicators' caches, and the loaded quote over the code list's figures.
    if (!reload && m_bLoaded && m_loadedKey == key) {
        ApplyLatestQuote(m_stock);
        return 1;
    }

    CStDatabase* database = &GetDatabase();
    m_stock.SetDatabase(database);
    ++m_nDataGeneration;
    PrepareStockData(database, &m_stock, m_nPeriod, m_nExrightMode, m_nPriceMode, false, reload != 0);
    // The adjusted copy is made from the bars just loaded, not read again: the day series (its
    // plain bars and ex-rights records come along) adjusted backwards, and the period built from it.
    const int baseDate = GetExrightBaseDate(), threshold = GetExrightThreshold();
    CKData& day = m_stockAdjusted.GetKDataDay();
    day = m_stock.GetKDataDay();
    day.SetExrightMode(exrightBackward, baseDate, threshold);
    if (m_nPeriod == ktypeWeek || m_nPeriod == ktypeMonth) {
        m_stockAdjusted.ExtractKData(m_nPeriod, true);
    } else if (m_nPeriod != ktypeDay) {
        CKData& series = m_stockAdjusted.GetKData(m_nPeriod);
        series = m_stock.GetKData(m_nPeriod);
        series.SetExrightMode(exrightBackward, baseDate, threshold);
    }
    m_stockAdjusted.GetKData(m_nPeriod).SetPriceMode(m_nPriceMode);
    m_stock.PrepareData(dataSignal, m_nPeriod, reload != 0);
    m_stock.PrepareData(dataFenbiS, m_nPeriod, reload != 0);

    const int count = m_stock.GetKData(m_nPeriod).GetSize();
    if (count != m_nLoadedCount) m_range = VisibleRange();
    m_nLoadedCount = count;
    ApplyLatestQuote(m_stock);
    BindIndicators();
    m_loadedKey = key;
    m_bLoaded = true;
    return 1;
}

void CStockGraph::BindIndicators() {
    CKData* shown = &m_stock.GetKData(m_nPeriod);
    m_techs.Clear();
    m_techs.SetKData(&m_stockAdjusted.GetKData(m_nPeriod));
    CTechnique* onShown[] = {&m_techs.m_VOLUME, &m_techs.m_MA, &m_techs.m_BBI, &m_techs.m_BOLL,
                             &m_techs.m_PV,     &m_techs.m_SAR, &m_techs.m_DJ, &m_techs.m_MIKE};
    for (CTechnique* t : onShown) t->SetKData(shown);
    m_kline.SetKData(shown);
    // Plug-in objects are bound again too: a reload may have appended or corrected bars, and
    // binding drops their caches.
    for (PluginEntry& e : m_plugins) e.tech->SetKData(&m_stock.GetKData(e.period));
}

void CStockGraph::SetPeriod(int period) {
    if (!IsValidKType(period)) return;
    m_nPeriod = period;
    m_range = VisibleRange();
    LoadData(0);
}

void CStockGraph::SetExrightMode(int mode) {
    if (mode < 1 || mode > 3) mode = exrightNone;
    m_nExrightMode = mode;
    GetProfile().SetExrightMode(mode);
    m_range = VisibleRange();
    LoadData(0);
}

void CStockGraph::SetVisibleRange(int first, int last, int cursor) {
    m_range.first = first;
    m_range.last = last;
    m_range.cursor = cursor;
}

int CStockGraph::HitTestBar(int x, int y) const { return charts::HitTestBar(m_range, m_nBarStep, m_layout, x, y); }

std::string CStockGraph::PeriodName() const { return GetKTypeName(m_nPeriod); }

int CStockGraph::LegendBar() {
    const int count = GetSeries().GetSize();
    return m_range.cursor >= 0 && m_range.cursor < count ? m_range.cursor : count - 1;
}

// ---- Painting ------------------------------------------------------------------------------

void CStockGraph::Draw(Canvas& c) {
    if (!m_stock.GetStockCode()[0] || m_rect.IsEmpty()) return;
    const ChartPalette p = ChartPalette::FromProfile();
    // The lists may have changed since the last layout (Home, End, the menu, another view).
    const size_t panes = m_layout.subPanes.size();
    RefreshIndicatorLists();
    if (m_paneIds.size() != panes) m_layout = LayoutKLine(m_rect, int(m_paneIds.size()));
    CKData& series = GetSeries();
    if (series.GetSize() == 0) {
        DrawNoData(c, p);
    } else if (m_layout.valid &&
               UpdateVisibleRange(m_range, series.GetSize(), m_layout.barArea.Width(), m_nBarStep)) {
        DrawDateAxis(c, p);
        DrawTechPanes(c, p);
        DrawPricePane(c, p);
        DrawInfoBox(c, p);
    }
    DrawReport(c);
}

void CStockGraph::DrawNoData(Canvas& c, const ChartPalette& p) {
    std::string text = std::string(m_stock.GetStockInfo().GetStockName()) + "(" + m_stock.GetPlainCode() + ")" +
                       PeriodName() + ChartString(201);
    DrawTextOut(c, m_rect.left + 20, m_rect.top + 20, text, kAlignLeft, 14, p[kColorBackground], p[kColorTitle]);
}

void CStockGraph::DrawDateAxis(Canvas& c, const ChartPalette& p) {
    const Rect& area = m_layout.chartArea;
    Rect band(area.left, m_rect.bottom - kDateAxisHeight + 1, area.right, area.bottom);
    if (band.IsEmpty()) return;
    ClipScope clip(c, band);
    c.FillRect(band, p[kColorBackground]);
    const Font font(12);
    // Zoomed out the axis has dozens of labels but only twelve months: each text measured once.
    std::map<std::string, int> widths;
    auto width = [&](const std::string& s) {
        auto at = widths.find(s);
        if (at == widths.end()) at = widths.emplace(s, c.TextWidth(s, font)).first;
        return at->second;
    };
    for (const DateLabel& l : PlaceDateLabels(DateAxisChanges(), m_range, m_nBarStep, m_layout, width))
        c.Text(l.x, m_rect.bottom - kDateAxisHeight + 2, l.text, p[kColorAxis], font, kAlignLeft);
}

const std::vector<DateLabel>& CStockGraph::DateAxisChanges() {
    const CKData& series = GetSeries();
    DateAxisCache& d = m_dateAxis;
    if (d.generation != m_nDataGeneration || d.data != series.GetData() || d.size != series.GetSize() ||
        d.period != m_nPeriod || d.first != m_range.first || d.last != m_range.last) {
        d.changes = DateChanges(series, m_nPeriod, m_range);
        d.generation = m_nDataGeneration;
        d.data = series.GetData();
        d.size = series.GetSize();
        d.period = m_nPeriod;
        d.first = m_range.first;
        d.last = m_range.last;
    }
    return d.changes;
}

void CStockGraph::DrawTechPanes(Canvas& c, const ChartPalette& p) {
    for (size_t k = 0; k < m_layout.subPanes.size() && k < m_paneIds.size(); ++k) {
        DrawTechPane(c, p, m_paneIds[k], m_layout.subPanes[k], 0);
        DrawTechPane(c, p, m_paneIds[k], m_layout.subPanes[k], 1);
    }
}

void CStockGraph::DrawTechPane(Canvas& c, int id, const Rect& pane, int pass) {
    DrawTechPane(c, ChartPalette::FromProfile(), id, pane, pass);
}

void CStockGraph::DrawTechPane(Canvas& c, const ChartPalette& p, int id, const Rect& pane, int pass) {
    if (pane.IsEmpty()) return;
    // Everything of a pane stays inside it and its scale strip on the left.
    ClipScope clip(c, Rect(m_rect.left, pane.top, pane.right, pane.bottom));
    if (pass == 0) {
        c.FillRect(pane, p[kColorBackground]);
        c.FillRect(Rect(m_rect.left, pane.top, pane.left - 1, pane.bottom), p[kColorBackground]);
        c.FrameRect(pane, p[kColorFrame]);
    }
    PaneContext ctx{c, p, pane, pass};
    DrawTechPaneContent(ctx, id);
}

bool CStockGraph::GetPriceRange(int first, int last, double* min, double* max, int* minBar, int* maxBar) {
    double lo = 0, hi = 0;
    int loBar = -1, hiBar = -1;
    if (!m_kline.GetMinMaxInfo(first, last, &lo, &hi, &loBar, &hiBar)) return false;
    CTechSet& user = GetProfile().GetTechSet();
    // The overlays widen the range with the parameters they are drawn with: the user's.
    struct Entry { int id; CParamTech* mine; const CParamTech* theirs; };
    const Entry entries[] = {
        {1, &m_techs.m_MA, &user.m_MA},     {2, &m_techs.m_BBI, &user.m_BBI},
        {3, &m_techs.m_BOLL, &user.m_BOLL}, {4, &m_techs.m_PV, &user.m_PV},
        {5, &m_techs.m_SAR, &user.m_SAR},   {8, &m_techs.m_SelfTechnique1, &user.m_SelfTechnique1},
    };
    for (int id : m_overlayIds) {
        for (const Entry& e : entries) {
            if (e.id != id) continue;
            e.mine->CopyParameters(*e.theirs);
            double a = 0, b = 0;
            if (e.mine->GetMinMaxInfo(first, last, &a, &b) && std::isfinite(a) && std::isfinite(b)) {
                lo = std::min(lo, a);
                hi = std::max(hi, b);
            }
        }
    }
    if (min) *min = lo;
    if (max) *max = hi;
    if (minBar) *minBar = loBar;
    if (maxBar) *maxBar = hiBar;
    return true;
}

void CStockGraph::DrawPricePane(Canvas& c, const ChartPalette& p) {
    const Rect& pp = m_layout.pricePane;
    {
        ClipScope clip(c, Rect(m_rect.left, pp.top, pp.right, pp.bottom));
        c.FillRect(pp, p[kColorBackground]);
        c.FrameRect(pp, p[kColorFrame]);
        const CStockInfo& info = m_stock.GetStockInfo();
        std::string title = std::string(info.GetStockName()) + "(" + PeriodName() + ")";
        DrawTextOut(c, pp.left + 1, pp.top + 2, title, kAlignLeft, 12, p[kColorBackground], p[kColorTitle]);

        double lo = 0, hi = 0;
        int loBar = -1, hiBar = -1;
        if (!GetPriceRange(m_range.first, m_range.last, &lo, &hi, &loBar, &hiBar)) return;
        m_dPriceMax = hi;
        m_dPriceMin = lo;
        const Rect plot(pp.left, pp.top, pp.right, pp.bottom - kPriceBottomMargin);
        DrawIndicatorTitle(c, p, plot, kTitleHeight, 5, lo, hi, true, true, 2);

        PaneContext ctx{c, p, plot, 0};
        for (int id : m_overlayIds)
            if (id == 6 || id == 7) DrawOverlay(ctx, id, lo, hi);

        const CKData& series = GetSeries();
        const Rect R = CandleRect(pp);
        const bool marks = GetSignalDownloadMode() == 2 && !info.IsIndex();
        {
            BarBatch bars(c);
            for (int i = m_range.first; i <= m_range.last; ++i) {
                const int label = i == loBar ? 1 : i == hiBar ? 2 : 0;
                int signal = 0;
                DWORD value = 0;
                if (marks && m_stock.GetSignal().Lookup(DWORD(series[i].time), &value)) signal = value == 1 ? 1 : value == 2 ? 2 : 0;
                DrawKLineBar(c, bars, p, i, i, series, lo, hi, false, label, signal, R, i >= 11 && i + 8 >= m_range.last);
            }
        }

        for (int id : m_overlayIds)
            if (id != 6 && id != 7) DrawOverlay(ctx, id, lo, hi);
        if (!m_overlayIds.empty()) {
            PaneContext legend{c, p, Rect(plot.left + kLegendWidth, plot.top, plot.right, plot.bottom), 1};
            DrawOverlay(legend, m_overlayIds.front(), lo, hi);
        }
    }
    DrawCursorLine(c, p);
}

void CStockGraph::DrawKLineBar(Canvas& c, BarBatch& batch, const ChartPalette& p, int slotBar, int bar,
                               const CKData& series, double lo, double hi, bool overlay, int labelMode, int signalMode,
                               const Rect& R, bool rightSide) {
    if (hi - lo < 0.0001 || bar < 0 || bar >= series.GetSize()) return;
    BarSlot s;
    if (!GetSlotRect(slotBar, &s) || s.slot.right > R.right) return;
    const KDATA& b = series[bar];
    const int H = R.Height();
    int yOpen, yClose, yHigh, yLow;
    if (!ValueToY(b.open, lo, hi, R.bottom, H, &yOpen) || !ValueToY(b.close, lo, hi, R.bottom, H, &yClose) ||
        !ValueToY(b.high, lo, hi, R.bottom, H, &yHigh) || !ValueToY(b.low, lo, hi, R.bottom, H, &yLow))
        return;
    const int top = std::min(yOpen, yClose), bottom = std::max(yOpen, yClose);
    const bool rising = b.close >= b.open;
    // An overlaid series (the market index) is drawn as thin bars in the neutral colour, so that
    // it reads as a second series behind the stock's own candles.
    if (overlay) {
        const Color col = p[kColorScale];
        batch.Line(s.centre, yHigh, s.centre, yLow + 1, col);
        batch.Line(s.bodyLeft, yClose, s.bodyRight, yClose, col);
        return;
    }
    const Color col = rising ? p[kColorRise] : p[kColorFallBar];
    const Rect body(s.bodyLeft, top, s.bodyRight, bottom + 1);
    switch (m_nBarStyle) {
    case kStyleOhlc:
        batch.Line(s.slot.left, yHigh, s.slot.left, yLow + 1, p[kColorRise]);
        batch.Line(s.slot.left, yClose, s.slot.right, yClose, p[kColorRise]);
        break;
    case kStyleTower: {
        if (rising) batch.FrameRect(body, col);
        else batch.FillRect(body, col);
        if (bar > 0) {
            const KDATA& prev = series[bar - 1];
            int yPrevOpen;
            if (ValueToY(prev.open, lo, hi, R.bottom, H, &yPrevOpen)) {
                if (prev.close > prev.open && b.open > b.close) {
                    Rect part(s.bodyLeft, top, s.bodyRight, std::min(bottom, yPrevOpen) + 1);
                    if (!part.IsEmpty()) {
                        batch.FillRect(part, p[kColorBackground]);
                        batch.FrameRect(part, p[kColorRise]);
                    }
                } else if (prev.close < prev.open && b.close > b.open) {
                    Rect part(s.bodyLeft, std::max(top, yPrevOpen), s.bodyRight, bottom + 1);
                    if (!part.IsEmpty()) batch.FillRect(part, p[kColorFallBar]);
                }
            }
        }
        break;
    }
    default:
        if (rising) batch.FrameRect(body, col);
        else batch.FillRect(body, col);
        if (yHigh < top) batch.Line(s.centre, yHigh, s.centre, top, col);
        if (yLow > bottom) batch.Line(s.centre, bottom + 1, s.centre, yLow + 1, col);
        break;
    }
    if (signalMode == 1 || signalMode == 2 || labelMode == 1 || labelMode == 2) batch.Flush();
    if (signalMode == 1 || signalMode == 2) {
        const Color mark = signalMode == 1 ? p[kColorRise] : p[kColorFallBar];
        DrawDotLine(c, 1, mark, s.centre, yLow + 2, s.centre, R.bottom);
        c.Text(s.slot.left - 2, R.bottom + 2, signalMode == 1 ? "买" : "卖", mark, Font(12), kAlignLeft);
    }
    if (labelMode == 1 || labelMode == 2) {
        const double v = labelMode == 1 ? b.low : b.high;
        const int textTop = labelMode == 1 ? yLow - 4 : yHigh - 7;
        char text[48];
        if (!rightSide) {
            std::snprintf(text, sizeof text, "←%.2f", v);
            c.Text(s.centre, textTop, text, p[kColorTitle], Font(12), kAlignLeft | kAlignTop);
        } else {
            std::snprintf(text, sizeof text, "%.2f→", v);
            c.TextInRect(Rect(0, textTop, s.centre, textTop + (labelMode == 1 ? 12 : 14)), text, p[kColorTitle],
                         Font(12), kAlignRight | kAlignVCenter);
        }
    }
}

void CStockGraph::DrawCursorLine(Canvas& c, const ChartPalette& p) {
    BarSlot s;
    if (m_range.cursor < 0 || !GetSlotRect(m_range.cursor, &s)) return;
    ClipScope clip(c, m_layout.chartArea);
    c.XorLine(s.centre, m_layout.chartArea.bottom - kDateAxisHeight + 1 - 3, s.centre, m_layout.barArea.top,
              p[kColorLine1]);
}

// Shown only while the cursor names a bar of the series.
void CStockGraph::DrawInfoBox(Canvas& c, const ChartPalette& p) {
    const CKData& series = GetSeries();
    const Rect& box = m_layout.infoBox;
    const bool shown = m_range.cursor >= 0 && m_range.cursor < series.GetSize() && !box.IsEmpty();
    if (m_pHost && m_pHost->ShowInfoWindow(box, shown)) return;
    if (!shown) return;
    ClipScope clip(c, box);
    PaintInfoBox(c, p, box);
}

// The figures of the cursor bar in the box.
void CStockGraph::PaintInfoBox(Canvas& c, const ChartPalette& p, const Rect& box) {
    const CKData& series = GetSeries();
    c.FillRect(box, p[kColorBackground]);
    c.FrameRect(box, p[kColorFrame]);
    const Font font(14);
    std::vector<InfoBoxLine> lines = InfoBoxLines(series, m_range.cursor, m_nPeriod, m_stock.GetStockInfo());
    for (size_t i = 0; i < lines.size() && i < 8; ++i) {
        const int y = box.top + kInfoBoxLabelY[i];
        c.Text(box.left + 1, y, lines[i].label, p[kColorScale], font, kAlignLeft);
        c.Text(box.right - 3, y + 16, lines[i].value, p[lines[i].valueRole], font, kAlignRight);
    }
}

void CStockGraph::DrawReport(Canvas& c) {
    if (!m_pReport || m_layout.report.IsEmpty()) return;
    ReportRequest r;
    r.kind = m_nReportKind;
    r.rect = m_layout.report;
    r.stock = &m_stock;
    r.adjusted = &m_stockAdjusted;
    r.period = m_nPeriod;
    r.cursor = m_range.cursor;
    r.chartRect = m_rect;
    r.candleRect = CandleRect(m_layout.pricePane);
    r.priceMax = m_dPriceMax;
    r.priceMin = m_dPriceMin;
    // The column's caption sits above the column, in the band beside the price pane's title.
    ClipScope clip(c, Rect(m_layout.report.left, m_rect.top, m_layout.report.right, m_layout.report.bottom));
    m_pReport->DrawReport(c, r);
}

// ---- Keys ------------------------------------------------------------------------------------

void CStockGraph::StepUp() {
    const int step = GetNextBarWidth(m_nBarStep, true);
    if (step == m_nBarStep) return;
    m_nBarStep = step;
    Repaint();
}

void CStockGraph::StepDown() {
    const int step = GetNextBarWidth(m_nBarStep, false);
    if (step == m_nBarStep) return;
    m_nBarStep = step;
    Repaint();
}

void CStockGraph::MoveCursorTo(int index) {
    charts::MoveCursorTo(m_range, GetSeries().GetSize(), index);
    Repaint();
}

void CStockGraph::MoveCursorBy(int delta) {
    charts::MoveCursorBy(m_range, GetSeries().GetSize(), delta);
    Repaint();
}

void CStockGraph::MoveCursorLeft() { MoveCursorBy(-1); }
void CStockGraph::MoveCursorRight() { MoveCursorBy(1); }
void CStockGraph::PageLeft() { MoveCursorBy(PageDelta(m_range, true)); }
void CStockGraph::PageRight() { MoveCursorBy(PageDelta(m_range, false)); }

void CStockGraph::PrevIndicator(bool shift) {
    if (shift && m_range.cursor >= 0) {
        MoveCursorTo(m_range.IsSet() ? m_range.first : 0);
        return;
    }
    RefreshIndicatorLists();
    const int id = PrevIndicatorId(m_paneIds.empty() ? -1 : m_paneIds.back(), TechUserGetCount());
    GetProfile().ToggleIndicator(id);
    Layout(m_rect);
    Repaint();
}

void CStockGraph::NextIndicator(bool shift) {
    const int count = GetSeries().GetSize();
    if (shift && m_range.cursor >= 0) {
        MoveCursorTo(m_range.IsSet() ? m_range.last : count - 1);
        return;
    }
    RefreshIndicatorLists();
    const int id = NextIndicatorId(m_paneIds.empty() ? -1 : m_paneIds.back(), TechUserGetCount());
    GetProfile().ToggleIndicator(id);
    Layout(m_rect);
    Repaint();
}

// ---- Mouse -----------------------------------------------------------------------------------

void CStockGraph::DrawSplitterLine(int y) {
    if (!m_pHost) return;
    const Rect pp = m_layout.pricePane;
    const Color col = ChartPalette::FromProfile()[kColorFrame];
    m_pHost->DrawTransient([&](Canvas& c) { c.XorLine(pp.left - 5, y, pp.right + 5, y, col); });
}

void CStockGraph::DrawZoomRect() {
    if (!m_pHost) return;
    const int x1 = m_zoom[0], y1 = m_zoom[1], x2 = m_zoom[2], y2 = m_zoom[3];
    const Color col = ChartPalette::FromProfile()[kColorLine1 + 1];
    // Four sides that meet without overlapping, so that each corner is inverted once.
    m_pHost->DrawTransient([&](Canvas& c) {
        if (x1 == x2 || y1 == y2) {
            c.XorLine(x1, y1, x2 + (x2 >= x1 ? 1 : -1), y2 + (y1 == y2 ? 0 : (y2 >= y1 ? 1 : -1)), col);
            return;
        }
        c.XorLine(x1, y1, x2, y1, col);
        c.XorLine(x2, y1, x2, y2, col);
        c.XorLine(x2, y2, x1, y2, col);
        c.XorLine(x1, y2, x1, y1, col);
    });
}

void CStockGraph::OnMouseMove(int flags, int x, int y) {
    const bool captured = m_pHost && m_pHost->HasCapture();
    if (m_bSplitterHover && captured) {
        DrawSplitterLine(m_nDragY);
        m_nDragX = x;
        m_nDragY = y;
        DrawSplitterLine(m_nDragY);
        return;
    }
    if (m_bZooming && captured) {
        DrawZoomRect();
        const Rect& a = m_layout.barArea;
        m_zoom[2] = std::max(a.left + 1, std::min(x, a.right - 1));
        m_zoom[3] = std::max(a.top + 1, std::min(y, a.bottom - 1));
        DrawZoomRect();
        return;
    }
    const int boundary = HitTestBoundary(m_layout, x, y);
    if (boundary >= 0) {
        if (m_pHost) m_pHost->SetCursorShape(IChartHost::kCursorSplitter);
        m_bSplitterHover = true;
        m_nBoundary = boundary;
        return;
    }
    if (m_bSplitterHover && !captured) {
        if (m_pHost) m_pHost->SetCursorShape(IChartHost::kCursorArrow);
        m_bSplitterHover = false;
    }
}

void CStockGraph::OnLButtonDown(int flags, int x, int y) {
    if (m_bSplitterHover) {
        if (m_pHost) {
            m_pHost->SetCapture();
            m_pHost->SetCursorShape(IChartHost::kCursorSplitter);
        }
        m_nDragX = x;
        m_nDragY = y;
        DrawSplitterLine(y);
        return;
    }
    const int bar = HitTestBar(x, y);
    MoveCursorTo(bar);
    if (bar >= 0 && m_layout.barArea.Contains(x, y) && m_pHost) {
        m_pHost->SetCapture();
        m_bZooming = true;
        m_zoom[0] = m_zoom[2] = x;
        m_zoom[1] = m_zoom[3] = y;
        DrawZoomRect();
    }
}

void CStockGraph::OnLButtonUp(int flags, int x, int y) {
    const bool captured = m_pHost && m_pHost->HasCapture();
    if (m_bSplitterHover && captured) {
        m_pHost->ReleaseCapture();
        DrawSplitterLine(m_nDragY);
        MoveBoundary(m_layout, m_nBoundary, y);
        m_bSplitterHover = false;
        Repaint();
        return;
    }
    if (!m_bZooming) return;
    m_bZooming = false;
    if (captured) m_pHost->ReleaseCapture();
    DrawZoomRect();
    const Rect& area = m_layout.barArea;
    m_zoom[2] = std::max(area.left + 1, std::min(x, area.right - 1));
    m_zoom[3] = std::max(area.top + 1, std::min(y, area.bottom - 1));
    const int a = ZoomCornerBar(m_range, m_nBarStep, m_layout, m_zoom[0], m_zoom[1]);
    const int b = ZoomCornerBar(m_range, m_nBarStep, m_layout, m_zoom[2], m_zoom[3]);
    if (a < 0 || b < 0) return;
    if (ZoomToBars(m_range, &m_nBarStep, GetSeries().GetSize(), a, b, m_layout.chartArea.Width())) Repaint();
}
