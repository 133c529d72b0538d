// The K-line chart canvas: one stock's candles with their overlays in the price pane, a column of
// indicator sub-panes, the date axis, the information box and the report column, and the chart's
// keyboard and mouse behaviour. It draws through the canvas seam and reaches its window through
// IChartHost, so that it runs natively against a recording canvas and a fake host as well.
//
// Every call runs under the owning view's lock: the view's reload may come from a download worker.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/techset.h"
#include "analysis/techuser.h"
#include "charts/chartdraw.h"
#include "charts/kline.h"
#include "store/stock.h"

// What the chart needs of the window it paints into.
class IChartHost {
public:
    virtual ~IChartHost() = default;
    // Repaints the whole window (later, from the message loop).
    virtual void Invalidate() = 0;
    // Mouse capture of the window.
    virtual bool HasCapture() = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    enum CursorShape { kCursorArrow, kCursorSplitter };
    virtual void SetCursorShape(CursorShape shape) = 0;
    // Draws transient XOR graphics (splitter line, rubber band) straight onto the window.
    virtual void DrawTransient(const std::function<void(charts::Canvas&)>& draw) = 0;
    // The information box at box, shown or hidden, in a window of the host's own. False when the
    // host has none (then the chart paints the box into its own picture).
    virtual bool ShowInfoWindow(const charts::Rect& box, bool shown) {
        (void)box;
        (void)shown;
        return false;
    }
};

// What the report column painter receives from the chart.
struct ReportRequest {
    int kind = 0;
    charts::Rect rect;        // the report column
    CStock* stock = nullptr;  // the displayed stock
    CStock* adjusted = nullptr;  // the same stock in ex-rights mode 3
    int period = 5;
    int cursor = -1;
    charts::Rect chartRect;
    charts::Rect candleRect;  // the price axis the candles are drawn on
    double priceMax = 0, priceMin = 0;
};
class IReportPainter {
public:
    virtual ~IReportPainter() = default;
    // Draws the column for the request's kind; a kind it does not know leaves the column alone.
    virtual void DrawReport(charts::Canvas& canvas, const ReportRequest& request) = 0;
};

// The buy and sell marks of the signal-download mode (command 4037): 0 off, 2 on.
void SetSignalDownloadMode(int mode);
int GetSignalDownloadMode();

class CStockGraph {
public:
    enum BarStyle { kStyleCandle = 1, kStyleOhlc = 2, kStyleTower = 3 };

    CStockGraph();
    virtual ~CStockGraph();
    CStockGraph(const CStockGraph&) = delete;
    CStockGraph& operator=(const CStockGraph&) = delete;

    void SetHost(IChartHost* host) { m_pHost = host; }
    // The figures of the cursor bar in box (the host's information window paints through this).
    void PaintInfoBox(charts::Canvas& c, const charts::ChartPalette& p, const charts::Rect& box);
    void SetReportPainter(IReportPainter* painter) { m_pReport = painter; }

    // Lays out again when r differs from the last rectangle, then draws.
    void Resize(charts::Canvas& c, const charts::Rect& r);
    void Layout(const charts::Rect& r);
    void Draw(charts::Canvas& c);

    // Binds the chart to a stock; 1. The same stock keeps everything.
    int SetStock(const CStockInfo& info);
    // Looks the code up in the stock container; 0 for an empty or unknown code.
    int SetStockCode(const char* code);
    // Loads the stock's series of the period (reload != 0 reads the files again); 0 without a stock.
    int LoadData(int reload);
    void SetPeriod(int period);
    int GetKType() const { return m_nPeriod; }
    void SetExrightMode(int mode);
    int GetExrightMode() const { return m_nExrightMode; }
    int GetPriceMode() const { return m_nPriceMode; }
    void SetBarStyle(int style) { m_nBarStyle = style >= 1 && style <= 3 ? style : kStyleCandle; }
    int GetBarStyle() const { return m_nBarStyle; }
    void SetReportKind(int kind) { m_nReportKind = kind; }
    int GetReportKind() const { return m_nReportKind; }
    void SetVisibleRange(int first, int last, int cursor);
    void SetCursorIndex(int index) { m_range.cursor = index; }
    const charts::VisibleRange& GetVisibleRange() const { return m_range; }
    int GetBarStep() const { return m_nBarStep; }
    void SetBarStep(int step) { m_nBarStep = step; }
    const charts::KLineLayout& GetLayout() const { return m_layout; }
    CStock& GetStock() { return m_stock; }
    CStock& GetAdjustedStock() { return m_stockAdjusted; }
    CKData& GetSeries() { return m_stock.GetKData(m_nPeriod); }
    const std::vector<int>& GetPaneIds() const { return m_paneIds; }
    double GetPriceMax() const { return m_dPriceMax; }
    double GetPriceMin() const { return m_dPriceMin; }

    bool GetSlotRect(int bar, charts::BarSlot* slot) const {
        return charts::GetSlotRect(m_range, m_nBarStep, m_layout, bar, slot);
    }
    // The price range of the bars first..last, widened by the overlays of the profile's list with
    // the user's parameters; the bars of the lowest low and the highest high.
    bool GetPriceRange(int first, int last, double* min, double* max, int* minBar, int* maxBar);
    // One sub-pane, pass 0 (background, lines, bars) then pass 1 (title, legends).
    void DrawTechPane(charts::Canvas& c, int id, const charts::Rect& pane, int pass);
    void DrawReport(charts::Canvas& c);

    // Keys.
    void StepUp();
    void StepDown();
    void MoveCursorLeft();
    void MoveCursorRight();
    void PageLeft();
    void PageRight();
    void MoveCursorTo(int index);
    void MoveCursorBy(int delta);
    void PrevIndicator(bool shift);
    void NextIndicator(bool shift);
    void OnEnter(bool shift, bool ctrl) {}
    // Mouse, client coordinates.
    void OnMouseMove(int flags, int x, int y);
    void OnLButtonDown(int flags, int x, int y);
    void OnLButtonUp(int flags, int x, int y);
    void OnLButtonDblClk(int flags, int x, int y) { OnLButtonDown(flags, x, y); }
    int HitTestBar(int x, int y) const;
    bool IsSplitterHover() const { return m_bSplitterHover; }

private:
    struct PaneContext {
        charts::Canvas& c;
        const charts::ChartPalette& palette;
        charts::Rect rect;
        int pass;
    };
    struct PluginEntry {
        int id;
        int period;
        std::unique_ptr<CTechUser> tech;
    };

    // The values of the visible bars that a pane draws, asked of its indicator in one range
    // request per pane and paint: line k (or day count k) of bar i at At(k, i) when Has(k, i).
    struct PaneValues {
        std::vector<double> values;
        std::vector<unsigned char> valid;
        int first = 0;
        int count = 0;
        bool Has(int k, int bar) const { return valid[size_t(k * count + bar - first)] != 0; }
        double At(int k, int bar) const { return values[size_t(k * count + bar - first)]; }
    };
    // Lines 1..n of the n-line Calculate, or the lines of the day counts, over the visible bars;
    // false (nothing asked) when the bars have no slots to draw in.
    bool FillPaneValues(CTechnique* tech, int n, PaneValues* out);
    bool FillDayCountValues(CTechnique* tech, const CSPDWordArray& days, PaneValues* out);

    void Repaint();
    void ReleaseTechObjects();
    void RefreshIndicatorLists();
    void BindIndicators();
    int LegendBar();
    std::string PeriodName() const;

    // The chart.
    void DrawNoData(charts::Canvas& c, const charts::ChartPalette& p);
    void DrawDateAxis(charts::Canvas& c, const charts::ChartPalette& p);
    void DrawTechPanes(charts::Canvas& c, const charts::ChartPalette& p);
    void DrawTechPane(charts::Canvas& c, const charts::ChartPalette& p, int id, const charts::Rect& pane, int pass);
    void DrawPricePane(charts::Canvas& c, const charts::ChartPalette& p);
    void DrawInfoBox(charts::Canvas& c, const charts::ChartPalette& p);
    // The bar's shapes go to the batch; its marks and labels are drawn on c after the batch is
    // flushed, over the bars before it and under those after it.
    void DrawKLineBar(charts::Canvas& c, charts::BarBatch& batch, const charts::ChartPalette& p, int slotBar, int bar,
                      const CKData& series, double lo, double hi, bool overlay, int labelMode, int signalMode,
                      const charts::Rect& R, bool rightSide);
    void DrawCursorLine(charts::Canvas& c, const charts::ChartPalette& p);
    void DrawSplitterLine(int y);
    void DrawZoomRect();

    // Indicator panes (techpane.cpp).
    void DrawTechPaneContent(PaneContext& ctx, int id);
    void CopyProfileParameters(int id);
    bool PanePreamble(PaneContext& ctx, int id, CTechnique* tech, double* min, double* max, int grid, int decimals,
                      double initialMax = 0.0);
    void DrawPaneTitle(PaneContext& ctx, const std::string& title, bool fillStrip);
    // The line drawers: one line (style 1 segments, 2 dots), or 2 to 5 lines with their colours
    // and names; DrawTechLineSet picks the one of n lines.
    void DrawTechLine(PaneContext& ctx, double min, double max, int id, CTechnique* tech, charts::Color color,
                      int style);
    void DrawTech2Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, const charts::Color* colors,
                        const char* const* names);
    void DrawTech3Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, const charts::Color* colors,
                        const char* const* names);
    void DrawTech4Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, const charts::Color* colors,
                        const char* const* names);
    void DrawTech5Lines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, const charts::Color* colors,
                        const char* const* names);
    void DrawTechLineSet(PaneContext& ctx, double min, double max, int id, CTechnique* tech, int lines,
                         const charts::Color* colors, const char* const* names);
    void DrawTechLines(PaneContext& ctx, double min, double max, int id, CTechnique* tech, int lines,
                       const charts::Color* colors, const char* const* names, int style);
    void DrawTechNumbered(PaneContext& ctx, double min, double max, int id, CTechnique* tech,
                          const CSPDWordArray& days);
    void DrawDayCountLines(PaneContext& ctx, CTechnique* tech, const CSPDWordArray& days, double min, double max,
                           int top, int H);
    void DrawMACD(PaneContext& ctx, int id, CMACD* macd);
    void DrawMIKE(PaneContext& ctx);
    void DrawVolume(PaneContext& ctx);
    void DrawHSL(PaneContext& ctx);
    void DrawVolumeColumns(PaneContext& ctx, int id, CTechnique* tech, double min, double max);
    void DrawCV(PaneContext& ctx);
    // The own signal panes: 55, and 56 or 57; the chart's object of the id unless one is given.
    void DrawJPBD(PaneContext& ctx, int id, CTechnique* tech);
    void DrawSelfTechniqueBoxes(PaneContext& ctx, int id, CTechnique* tech);
    template <class BarPainter>
    void WalkSelfTechnique(PaneContext& ctx, int id, CTechnique* tech, const BarPainter& draw);
    void DrawTechUser(PaneContext& ctx, int id);
    bool DrawShortRoutine(PaneContext& ctx, int id);

    // Price-pane overlays (overlays.cpp).
    void DrawOverlay(PaneContext& ctx, int id, double min, double max);
    void DrawMAOverlay(PaneContext& ctx, double min, double max);
    void DrawBBIOverlay(PaneContext& ctx, double min, double max);
    void DrawBollOverlay(PaneContext& ctx, double min, double max);
    void DrawPVOverlay(PaneContext& ctx, double min, double max);
    void DrawSAROverlay(PaneContext& ctx, double min, double max);
    void DrawIndexOverlay(PaneContext& ctx);
    void DrawCostOverlay(PaneContext& ctx, double min, double max);
    void DrawFXKPOverlay(PaneContext& ctx);

    // Where the date axis's field changes over the visible bars, kept while the series and the
    // range stay: a chart zoomed out reads a thousand bars' dates for a dozen labels.
    struct DateAxisCache {
        unsigned generation = 0;
        const KDATA* data = nullptr;
        int size = -1, period = -1, first = -1, last = -1;
        std::vector<charts::DateLabel> changes;
    };
    const std::vector<charts::DateLabel>& DateAxisChanges();

    IChartHost* m_pHost;
    IReportPainter* m_pReport;
    unsigned m_nDataGeneration = 1;  // moves on whenever the series may have changed
    DateAxisCache m_dateAxis;
    charts::Rect m_rect;
    charts::KLineLayout m_layout;
    CStock m_stock;          // the displayed stock, in the user's ex-rights mode
    CStock m_stockAdjusted;  // the same stock in ex-rights mode 3: the indicator set computes on it
    bool m_bLoaded;
    std::string m_loadedKey;
    int m_nLoadedCount;
    int m_nPeriod;
    int m_nExrightMode;
    int m_nPriceMode;
    int m_nBarStyle;
    int m_nReportKind;
    charts::VisibleRange m_range;
    int m_nBarStep;
    DWORD m_dwSimulationStart;
    double m_dPriceMax, m_dPriceMin;
    CTechSet m_techs;
    CKLine m_kline;
    std::vector<PluginEntry> m_plugins;
    std::vector<int> m_paneIds;
    std::vector<int> m_overlayIds;
    // Pane boundary drag and rubber band.
    bool m_bSplitterHover;
    int m_nBoundary;
    int m_nDragX, m_nDragY;
    bool m_bZooming;
    int m_zoom[4];
};
