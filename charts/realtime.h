// One intraday pane: a stock's trading day minute by minute from 09:30 to 15:00 on the trading
// clock, with the average price, the volume, an optional third pane and the report column; or,
// in its other draw modes, a whole-pane trade, minute-trade or index list.
//
// The pane is not a window. It draws on the canvas its view hands it, or on one its owner opens
// when it redraws cursor lines, the information line or a list selection outside a paint.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "charts/canvas.h"
#include "charts/realtimerules.h"
#include "charts/reportpainter.h"
#include "store/stock.h"

// The window a pane draws into outside a paint.
class CRealTimeOwner {
public:
    virtual ~CRealTimeOwner() = default;
    // A canvas over the owner's client area, or null when the window is gone.
    virtual std::unique_ptr<charts::Canvas> OpenCanvas() = 0;
    // A row of the index list chose the stock of code; the owner makes it the application's.
    virtual void OnStockChosen(const char* code) {}
};

class CRealTime {
public:
    CRealTime();
    virtual ~CRealTime();
    CRealTime(const CRealTime&) = delete;
    CRealTime& operator=(const CRealTime&) = delete;

    // Draw mode 1 chart, 2 trade list, 3 minute-trade list, 4 index list; option 0, 1 volume
    // ratio, 2 buying/selling strength; the report kind of the column (10 none). The list and
    // report rows go back to -1; the cursor stays.
    void SetDrawMode(int mode, int option, int reportKind);
    int GetDrawMode() const { return m_nDrawMode; }
    int GetDrawOption() const { return m_nOption; }
    int GetReportKind() const { return m_nReportKind; }
    void SetCursorIndex(int index) { m_nCursor = index; }
    int GetCursorIndex() const { return m_nCursor; }
    const std::vector<int>& GetSelection() const { return m_selection; }
    void SetOwnerField(CRealTimeOwner* owner) { m_pOwner = owner; }

    // 0 for an empty code or one the stock list does not hold (the stock stays).
    int SetStockCode(const char* code);
    // A different stock clears the data and the cursor; returns 1.
    int SetStockIfChanged(const CStockInfo& info);
    // Loads the day series with today's minutes and quote, and the trades; returns 1.
    int LoadData(int reload);
    CStock& GetStock() { return m_stock; }

    void Layout(const charts::Rect& r);
    // Draws the whole pane; canvas null draws on the owner's. 0 without an owner.
    int Draw(charts::Canvas* canvas, const charts::Rect& r);
    // The report column alone (draw mode 1).
    int DrawReport(charts::Canvas* canvas);

    void OnLButtonDown(unsigned flags, int x, int y, bool extend, bool add);
    void OnLButtonDblClk(unsigned flags, int x, int y);

    void CursorPrev(bool extend);
    void CursorNext(bool extend);
    void CursorFirst(bool extend);
    void CursorLast(bool extend);
    void ReportPageUp();
    void ReportPageDown();
    void ListPageUp();
    void ListPageDown();
    int MoveCursor(int index, bool extend, bool add);
    int AddSelection(int index);

    int GetDiagnosis(std::string& text);

    // State of the last drawing.
    const charts::RtLayout& GetLayoutAreas() const { return m_layout; }
    double GetScaleMax() const { return m_dScaleMax; }
    double GetScaleMin() const { return m_dScaleMin; }
    int GetListFirstRow() const { return m_nListFirst; }
    int GetReportRows() const { return m_nReportRows; }
    int GetReportRow() const { return m_nReportRow; }
    void SetReportRow(int row) { m_nReportRow = row; }
    ReportArray& GetIndexList() { return m_indexList; }

private:
    void DrawChart(charts::Canvas& c);
    void DrawTimeAxis(charts::Canvas& c);
    bool DrawPriceScale(charts::Canvas& c, double centre, double* minimum, double* maximum, double maxVolume);
    void DrawCurves(charts::Canvas& c, double centre, double maxVolume);
    void DrawVolumeRatioPane(charts::Canvas& c);
    void DrawStrengthPane(charts::Canvas& c);
    void DrawReportColumn(charts::Canvas& c);
    void DrawCursorLines(charts::Canvas& c);
    void DrawInfoBox(charts::Canvas& c);
    void DrawListSelection(charts::Canvas& c, int row, charts::Color colour);
    // A canvas of the owner's, for redraws outside a paint.
    std::unique_ptr<charts::Canvas> OwnerCanvas();
    int RecordCountOfReportList();
    int ListCount();
    int HitIndexRow(int x, int y, const charts::Rect& area, int headHeight, int first);

    CRealTimeOwner* m_pOwner;
    CStock m_stock;
    charts::RtLayout m_layout;
    int m_nDrawMode;
    int m_nCursor;
    std::vector<int> m_selection;
    int m_nOption;
    int m_nReportKind;
    ReportArray m_indexList;
    int m_nListFirst;
    int m_nReportRows;
    int m_nReportRow;
    double m_dScaleMax;
    double m_dScaleMin;
    CReportPainter m_painter;
};
