#include "charts/reportkline.h"

#include "charts/realtimerules.h"

using namespace charts;

void CKLineReportPainter::DrawReport(Canvas& c, const ReportRequest& q) {
    if (!q.stock || q.rect.IsEmpty()) return;
    if (q.kind != m_nKind) {
        m_nKind = q.kind;
        m_nRows = m_nFirst = -1;
    }
    CStock& s = *q.stock;
    // The bars of kinds 1, 2 and 16 sit at the heights the candles of their prices are drawn.
    const Rect& candles = q.candleRect;
    switch (q.kind) {
    case reportCost:
        m_painter.DrawCostDistribution(c, s, q.rect, q.period, q.cursor, candles.top, candles.bottom, q.priceMax,
                                       q.priceMin);
        break;
    case reportTrend: m_painter.DrawTrendReport(c, q.rect, s, q.period, q.cursor, candles, q.priceMax, q.priceMin); break;
    case reportHistory: m_painter.DrawHistoryInfo(c, s, q.rect, q.period, q.cursor); break;
    case reportBlocks: m_painter.DrawBlocksReport(c, q.rect, s); break;
    case reportTicks: m_painter.DrawTicksReport(c, q.rect, s, &m_nRows, &m_nFirst); break;
    case reportPriceTable: m_painter.DrawPriceTable(c, q.rect, s); break;
    case reportMinuteTicks: m_painter.DrawMinuteTicksReport(c, q.rect, s, &m_nRows, &m_nFirst); break;
    case reportBook: m_painter.DrawBookReport(c, q.rect, s, &m_nRows, &m_nFirst); break;
    case reportValue: m_painter.DrawValuePanel(c, q.rect, s); break;
    case reportVolumePrice: m_painter.DrawVolumeByPrice(c, q.rect, s, candles, q.priceMax, q.priceMin); break;
    case reportIndexList:
        m_painter.DrawIndexReport(c, q.rect, s, m_indexList, &m_nSelected, &m_nRows, &m_nFirst);
        break;
    default: break;
    }
}

bool CKLineReportPainter::IsListKind(int kind) {
    return kind == reportTicks || kind == reportMinuteTicks || kind == reportBook || kind == reportIndexList;
}

bool CKLineReportPainter::Page(CStock& stock, int kind, bool up) {
    if (!IsListKind(kind)) return false;
    // A page drawn for another kind says nothing of this one's rows: nothing to page yet.
    if (kind != m_nKind) return true;
    int n;
    switch (kind) {
    case reportMinuteTicks: n = stock.GetMinute().GetSize(); break;
    case reportIndexList: n = m_indexList.GetSize(); break;
    default: n = stock.GetFenbiS().GetSize(); break;
    }
    m_nFirst = up ? PageUpRow(m_nFirst, n, m_nRows) : PageDownRow(m_nFirst, n, m_nRows);
    return true;
}
