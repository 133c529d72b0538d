// The K-line chart's report column drawn by the report painter: the chart hands over a request,
// this keeps the list rows between paints and picks the panel by report kind.
#pragma once

#include "charts/reportpainter.h"
#include "charts/stockgraph.h"

class CKLineReportPainter : public IReportPainter {
public:
    // Kinds 1, 2, 3, 9 and 11 to 17; any other kind leaves the column alone.
    void DrawReport(charts::Canvas& canvas, const ReportRequest& request) override;
    // The list kinds' page, as the painters wrote it back (-1 before a paint).
    int GetRows() const { return m_nRows; }
    int GetFirstRow() const { return m_nFirst; }
    void SetFirstRow(int first) { m_nFirst = first; }
    // Pages the list of a list kind (11, 13, 14, 17) of the stock by one page up or down, as the
    // last paint sized it; false for any other kind, which leaves its keys to the chart.
    bool Page(CStock& stock, int kind, bool up);
    static bool IsListKind(int kind);

private:
    CReportPainter m_painter;
    ReportArray m_indexList;
    int m_nRows = -1;
    int m_nFirst = -1;
    int m_nSelected = -1;
    int m_nKind = 0;
};
