// The trade, minute-trade and index lists, bare, under the quote block and as whole panes; the
// volume-at-price table, the value panel and the sectors of the stock.
#include <algorithm>
#include <memory>
#include <mutex>

#include "analysis/techs_more.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "charts/reportcommon.h"
#include "charts/reportpainter.h"
#include "store/database.h"
#include "store/groups.h"

using namespace charts;

namespace {

std::string TimeText(int32_t time) { return CTimeStamp(time).Format("%H:%M"); }

// Frame, head line and head texts common to the bare lists.
void ListFrame(Canvas& c, const Rect& r) {
    FillAndFrame(c, r);
    HLine(c, r.left, r.right, r.top + 22, RoleColor(16));
}

void Head(Canvas& c, int x, int y, const char* text, int align) { c.Text(x, y, text, RoleColor(25), ListFont(), align); }

double MinuteListVolume(const MinuteArray& m, int j) { return j == 0 ? double(m[0].volume) : double(m[j].volume) - m[j - 1].volume; }

const char* const kPageHint = "  PageUp:上翻 PageDown:下翻";

}  // namespace

void CReportPainter::DrawTickList(Canvas& c, const CStockInfo& info, CArray20& ticks, int first, int rows, const Rect& r) {
    ListFrame(c, r);
    const int w = r.Width(), top = r.top, left = r.left, right = r.right;
    const Font f = ListFont();
    const bool index = info.IsIndex();
    const int priceX = left + 2 + int((index ? 0.35 : 0.3) * w);
    const int volumeX = left + 2 + int(0.6 * w);
    Head(c, left + 3, top + 5, "时间", kAlignLeft);
    Head(c, priceX, top + 5, "价格", kAlignLeft);
    if (index) {
        Head(c, right - 5, top + 5, "量(手)", kAlignRight);
    } else {
        Head(c, volumeX, top + 5, "量(手)", kAlignLeft);
        Head(c, right - 5, top + 5, "方向", kAlignRight);
    }
    const int n = ticks.GetSize();
    for (int i = 0; i < rows && first >= 0 && first + i < n; ++i) {
        const TradeTick t = ReadTradeTick(ticks[first + i]);
        const int y = top + 24 + 16 * i;
        c.Text(left + 2, y, TimeText(t.time), RoleColor(25), f, kAlignLeft);
        c.Text(priceX, y, FormatPrice(t.price, info.GetPriceDecimals()), RoleColor(17), f, kAlignLeft);
        const double volume = double(TruncateToInteger(t.volume));
        if (index) {
            c.Text(right - 3, y, FormatAmount(volume), RoleColor(31), f, kAlignRight);
            continue;
        }
        c.Text(volumeX + 2, y, FormatAmount(volume), RoleColor(volume < 500 ? 31 : 30), f, kAlignLeft);
        if (t.direction == 1) c.Text(right - 5, y, "买", RoleColor(17), f, kAlignRight);
        if (t.direction == 2) c.Text(right - 5, y, "卖", RoleColor(18), f, kAlignRight);
    }
}

void CReportPainter::DrawMinuteTickList(Canvas& c, const CStockInfo& info, const MinuteArray& m, int first, int rows,
                                        const Rect& r) {
    ListFrame(c, r);
    const int w = r.Width(), top = r.top, left = r.left, right = r.right;
    const int priceX = left + 2 + int(0.55 * w);
    Head(c, left + 3, top + 5, "时间", kAlignLeft);
    Head(c, priceX - 1, top + 5, "价格", kAlignRight);
    Head(c, right - 2, top + 5, "量(手)", kAlignRight);
    const Font f = ListFont();
    const int n = m.GetSize();
    for (int i = 0; i < rows && first >= 0 && first + i < n; ++i) {
        const int j = first + i, y = top + 24 + 16 * i;
        const Color colour = UpDownColor(m[j].price, info.m_fLastClose);
        c.Text(left + 2, y, TimeText(m[j].time), RoleColor(25), f, kAlignLeft);
        c.Text(priceX, y, FormatPrice(m[j].price, info.GetPriceDecimals()), colour, f, kAlignRight);
        c.Text(right - 1, y, FormatAmount(double(TruncateToInteger(MinuteListVolume(m, j)))), colour, f, kAlignRight);
    }
}

void CReportPainter::DrawIndexList(Canvas& c, const ReportArray& list, const int* selected, int first, int rows,
                                   const Rect& r) {
    ListFrame(c, r);
    const int w = r.Width(), top = r.top, left = r.left, right = r.right;
    const int nameX = left + 2 + int(0.48 * w), priceX = left + 2 + int(0.68 * w);
    Head(c, left + 3, top + 5, "时间", kAlignLeft);
    Head(c, nameX - 1, top + 5, "名称", kAlignRight);
    Head(c, priceX - 1, top + 5, "价格", kAlignRight);
    Head(c, right - 2, top + 5, "量(手)", kAlignRight);
    const Font f = ListFont();
    const int n = list.GetSize();
    int drawn = 0;
    for (int i = 0; i < rows && first >= 0 && first + i < n; ++i, ++drawn) {
        const REPORT& q = list[first + i];
        const int y = top + 24 + 16 * i;
        char name[sizeof q.name + 1] = {0};
        std::copy(q.name, q.name + sizeof q.name, name);
        c.Text(left + 2, y, TimeText(q.time), RoleColor(25), f, kAlignLeft);
        c.Text(nameX, y, name, RoleColor(24), f, kAlignRight);
        c.Text(priceX, y, Fmt("%.2f", q.close), UpDownColor(q.close, q.prevClose), f, kAlignRight);
        double middle = (double(q.buyPrice[0]) + q.sellPrice[0]) / 2;
        if (middle < kPriceEpsilon) middle = q.prevClose;
        const int role = UpDownRole(q.close, middle);
        const char* arrow = role == 17 ? "↑" : role == 18 ? "↓" : "-";
        c.Text(right - 1, y, FormatAmount(q.volume) + arrow, RoleColor(role), f, kAlignRight);
    }
    if (selected && *selected >= first && *selected < first + drawn) {
        const int y = top + 39 + 16 * (*selected - first);
        c.Line(left + 5, y, right - 5, y, RoleColor(16), 2, kPenSolid);
    }
}

void CReportPainter::DrawListPanel(Canvas& c, const Rect& r, CStock& stock, int* rows, int* first, int kind) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    const int h = kind == reportBook ? DrawQuoteSummaryWide(c, stock, r.left, r.top, r.Width())
                                     : DrawQuoteSummary(c, stock, r.left, r.top, r.Width());
    const int listTop = r.top + h + 1;
    const int n = kind == reportMinuteTicks ? stock.GetMinute().GetSize() : stock.GetFenbiS().GetSize();
    const int count = ReportListRows(listTop, r.bottom);
    const int start = ResolveReportFirstRow(first ? *first : -1, n, count);
    if (rows) *rows = count;
    if (first) *first = start;
    const Rect list(r.left, listTop, r.right, r.bottom);
    if (list.IsEmpty()) return;
    if (kind == reportMinuteTicks)
        DrawMinuteTickList(c, stock.GetStockInfo(), stock.GetMinute(), start, count, list);
    else
        DrawTickList(c, stock.GetStockInfo(), stock.GetFenbiS(), start, count, list);
}

void CReportPainter::DrawTicksReport(Canvas& c, const Rect& r, CStock& stock, int* rows, int* first) {
    DrawListPanel(c, r, stock, rows, first, reportTicks);
}
void CReportPainter::DrawMinuteTicksReport(Canvas& c, const Rect& r, CStock& stock, int* rows, int* first) {
    DrawListPanel(c, r, stock, rows, first, reportMinuteTicks);
}
void CReportPainter::DrawBookReport(Canvas& c, const Rect& r, CStock& stock, int* rows, int* first) {
    DrawListPanel(c, r, stock, rows, first, reportBook);
}

void CReportPainter::DrawPriceTable(Canvas& c, const Rect& r, CStock& stock) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    const int h = DrawQuoteSummary(c, stock, r.left, r.top, r.Width());
    HLine(c, r.left, r.right, r.top + h + 1, RoleColor(16));
    const MinuteArray& m = stock.GetMinute();
    if (m.GetSize() == 0) return;
    const int rows = (r.bottom - r.top - h - 3) / 16;
    if (rows <= 0) return;
    CSPDWordArray prices, volumes;
    DWORD largest = 0;
    if (!m.GetPriceVolumeDistribution(prices, volumes, &largest)) return;
    largest = std::max<DWORD>(largest, 5);
    const CStockInfo& info = stock.GetStockInfo();
    const Font f = ListFont();
    const int n = prices.GetSize(), from = std::max(0, n - rows);
    const int x = r.left + 2 + int(0.55 * r.Width());
    for (int k = from; k < n; ++k) {
        const int y = r.top + h + 2 + 16 * (k - from);
        const double price = prices[k] * 0.001;
        c.Text(r.left + 2, y, FormatPrice(price, info.GetPriceDecimals()), UpDownColor(price, info.m_fLastClose), f,
               kAlignLeft);
        c.Text(x, y, Fmt("%u", unsigned(volumes[k])), RoleColor(25), f, kAlignRight);
        const int length = int(double(r.right - 4 - x - 2) * volumes[k] / largest);
        if (length > 0) c.FillRect(Rect(x + 2, y + 2, x + 2 + length, y + 14), RoleColor(17));
    }
}

void CReportPainter::DrawValuePanel(Canvas& c, const Rect& r, CStock& stock) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    const int h = DrawQuoteSummary(c, stock, r.left, r.top, r.Width());
    HLine(c, r.left, r.right, r.top + h + 1, RoleColor(16));
    const int y0 = r.top + h + 2;
    const Font f = ListFont();
    const char* labels[] = {"ＡＨ", "ＮＨ", "ＮＬ", "ＡＬ"};
    for (int k = 0; k < 4; ++k) c.Text(r.left + 2, y0 + 2 + 16 * k, labels[k], RoleColor(25), f, kAlignLeft);
    // The day series is loaded with the stock; only a stock shown without it is read here.
    CKData& day = stock.GetKDataDay();
    if (day.GetSize() == 0 && stock.GetDatabase()) stock.PrepareData(dataK, ktypeDay, false);
    if (day.GetSize() == 0) return;
    CCDP cdp;
    cdp.CopyParameters(GetProfile().GetTechSet().m_CDP);
    cdp.SetKData(&day);
    double ah = 0, nh = 0, al = 0, nl = 0;
    if (!cdp.Calculate(&ah, &nh, &al, &nl, day.GetSize() - 1, false)) return;
    const CStockInfo& info = stock.GetStockInfo();
    const double values[4] = {ah, nh, nl, al};
    const int x = r.left + 2 + int(0.9 * r.Width());
    for (int k = 0; k < 4; ++k)
        c.Text(x, y0 + 2 + 16 * k, FormatPrice(values[k], info.GetPriceDecimals()),
               UpDownColor(values[k], info.m_fLastClose), f, kAlignRight);
}

void CReportPainter::DrawIndexReport(Canvas& c, const Rect& r, CStock& stock, ReportArray& list, int* selected,
                                     int* rows, int* first) {
    if (r.IsEmpty()) return;
    int start = first ? *first : -1;
    CollectMarketIndexes(list, &start);
    FillAndFrame(c, r);
    DrawColumnCaption(c, stock.GetStockInfo(), r.left, r.top, 50);
    const int count = std::max(1, (r.Height() - 24) / 16);
    start = ResolveReportFirstRow(start, list.GetSize(), count);
    if (rows) *rows = count;
    if (first) *first = start;
    DrawIndexList(c, list, selected, start, count, r);
}

namespace {

void PanelCaption(Canvas& c, const CStockInfo& info, const Rect& pane, const char* caption) {
    c.Text(pane.left + 30, pane.top + 3, info.GetStockName(), RoleColor(24), TitleFont(), kAlignLeft);
    c.Text(pane.left + 100, pane.top + 3, CodeCaption(info), RoleColor(25), TitleFont(), kAlignLeft);
    c.Text(pane.left + 180, pane.top + 3, std::string(caption) + kPageHint, RoleColor(25), ListFont(), kAlignLeft);
}

}  // namespace

void CReportPainter::DrawTickListPanel(Canvas& c, CStock& stock, const Rect& pane, int first) {
    PanelCaption(c, stock.GetStockInfo(), pane, "每笔成交明细");
    const PanelGrid g = PanelGridOf(pane);
    CArray20& ticks = stock.GetFenbiS();
    const int n = ticks.GetSize();
    first = ResolvePanelFirstRow(first, n, g.Page());
    for (int k = 0; k < g.columns && (k == 0 || first + k * g.rows < n); ++k)
        DrawTickList(c, stock.GetStockInfo(), ticks, first + k * g.rows, g.rows,
                     Rect(pane.left + 220 * k, pane.top + 24, pane.left + 220 * k + 220, pane.bottom));
}

void CReportPainter::DrawMinuteTickPanel(Canvas& c, CStock& stock, const Rect& pane, int first) {
    PanelCaption(c, stock.GetStockInfo(), pane, "分钟成交明细");
    const PanelGrid g = PanelGridOf(pane);
    const MinuteArray& m = stock.GetMinute();
    const int n = m.GetSize();
    first = ResolvePanelFirstRow(first, n, g.Page());
    for (int k = 0; k < g.columns && (k == 0 || first + k * g.rows < n); ++k)
        DrawMinuteTickList(c, stock.GetStockInfo(), m, first + k * g.rows, g.rows,
                           Rect(pane.left + 220 * k, pane.top + 24, pane.left + 220 * k + 220, pane.bottom));
}

void CReportPainter::DrawIndexListPanel(Canvas& c, const Rect& pane, ReportArray& list, int first, int selected) {
    CollectMarketIndexes(list, &first);
    c.Text(pane.left + 180, pane.top + 3, std::string("大单成交明细") + kPageHint, RoleColor(24), ListFont(), kAlignLeft);
    const PanelGrid g = PanelGridOf(pane);
    const int n = list.GetSize();
    first = ResolvePanelFirstRow(first, n, g.Page());
    for (int k = 0; k < g.columns && (k == 0 || first + k * g.rows < n); ++k)
        DrawIndexList(c, list, &selected, first + k * g.rows, g.rows,
                      Rect(pane.left + 220 * k, pane.top + 24, pane.left + 220 * k + 220, pane.bottom));
}

namespace {

// The sectors of a code, cached until the code or the sector lists change: finding them walks
// every member of every sector.
std::vector<std::string> SectorsOf(const char* code) {
    static std::mutex lock;
    static std::string cachedCode;
    static std::shared_ptr<const CGroupDownloader::GroupList> cachedList;
    static std::vector<std::string> cachedNames;
    CGroupDownloader* groups = GetGroupDownloader();
    if (!groups) return {};
    std::shared_ptr<const CGroupDownloader::GroupList> list;
    groups->GetGroupList(list);
    std::lock_guard<std::mutex> guard(lock);
    if (cachedCode != code || cachedList != list) {
        cachedNames.clear();
        groups->FindGroupsOfStock(code, cachedNames);
        cachedCode = code;
        cachedList = list;
    }
    return cachedNames;
}

}  // namespace

void CReportPainter::DrawBlocksReport(Canvas& c, const Rect& r, CStock& stock) {
    if (r.IsEmpty()) return;
    FillAndFrame(c, r);
    const int h = DrawQuoteSummary(c, stock, r.left, r.top, r.Width());
    const Rect box(r.left, r.top + h + 1, r.right, r.bottom);
    if (box.IsEmpty()) return;
    c.FrameRect(box, RoleColor(16));
    HLine(c, box.left, box.right, box.top + 22, RoleColor(16));
    const Font f(14);
    c.Text(r.left + 4, box.top + 2, "所属板块", RoleColor(25), f, kAlignLeft);
    const std::vector<std::string> names = SectorsOf(stock.GetStockCode());
    ClipScope clip(c, box);
    for (size_t k = 0; k < names.size() && k < 13; ++k)
        c.Text(r.left + 4, r.top + h + 26 + 18 * int(k), names[k], RoleColor(24), f, kAlignLeft);
}

void CReportPainter::DrawVolumeByPrice(Canvas& c, const Rect& column, CStock& stock, const Rect& pricePane,
                                       double maximum, double minimum) {
    if (column.IsEmpty()) return;
    FillAndFrame(c, column);
    DrawColumnCaption(c, stock.GetStockInfo(), column.left, column.top);
    const MinuteArray& m = stock.GetMinute();
    if (m.GetSize() == 0 || !(maximum - minimum > kPriceEpsilon)) return;
    CSPDWordArray prices, volumes;
    DWORD largest = 0;
    if (!m.GetPriceVolumeDistribution(prices, volumes, &largest) || largest < 1) return;
    const Color bar = RoleColor(17);
    for (int k = 0; k < prices.GetSize(); ++k) {
        const double price = prices[k] * 0.001;
        const double yv = pricePane.top + (pricePane.bottom - pricePane.top) * (maximum - price) / (maximum - minimum);
        if (!(yv > column.top && yv < column.bottom)) continue;
        const int y = int(yv);
        if (y <= column.top || y >= column.bottom) continue;
        const int x0 = column.left + 2;
        const int x1 = x0 + int(double(column.Width() - 8) * volumes[k] / largest);
        if (x0 < x1 && x1 < column.right) c.FillRect(Rect(x0, y, x1, y + 2), bar);
    }
}
