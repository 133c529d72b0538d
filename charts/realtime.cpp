#include "charts/realtime.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "base/timestamp.h"
#include "charts/chartdraw.h"
#include "charts/reportcommon.h"
#include "store/database.h"

using namespace charts;

namespace {

const double kNoRange = 0;

int TradeSecondOf(int32_t time) { return CTimeStamp(time).GetTradeSecond(); }

// The price a minute is drawn at: one without a price stands at the previous close.
double DrawnPrice(const MINUTE& m, double centre) { return m.price < kPriceEpsilon ? centre : double(m.price); }

// A polyline built point by point: a point outside the scale ends the run, as lifting the pen does.
// The bars of under, when given, are drawn before each run, so that the curve lies over them.
class PenRun {
public:
    PenRun(Canvas& c, Color colour, BarBatch* under = nullptr) : m_c(c), m_colour(colour), m_under(under) {}
    ~PenRun() { Flush(); }
    void Start(Point p) {
        Flush();
        m_points.push_back(p);
        m_pen = p;
    }
    void To(Point p) {
        if (m_points.empty()) m_points.push_back(m_pen);
        if (!(m_points.back() == p)) m_points.push_back(p);
        m_pen = p;
    }
    // The pen moves without drawing.
    void MoveX(int x) {
        Flush();
        m_pen.x = x;
    }
    const Point& Pen() const { return m_pen; }
    void Flush() {
        if (m_points.size() >= 2) {
            if (m_under) m_under->Flush();
            m_c.Polyline(m_points, m_colour);
        }
        m_points.clear();
    }

private:
    Canvas& m_c;
    Color m_colour;
    BarBatch* m_under;
    std::vector<Point> m_points;
    Point m_pen;
};

// The caption strip of a third pane above its scale box.
const int kPaneTitle = 17;

// The pane's frame, five dotted grid lines below its caption and the labels; false when the pane
// is too low for it or the range flat.
bool DrawScaleBox(Canvas& c, const Rect& pane, double minimum, double maximum, int decimals) {
    if (!(maximum - minimum > kPriceEpsilon) || !std::isfinite(maximum - minimum)) return false;
    return DrawIndicatorTitle(c, ChartPalette::FromProfile(), pane, kPaneTitle, 5, minimum, maximum, true, true,
                              decimals);
}

// Average day volume of the sessions (days of them) before the quote date in a day series.
bool GetAverageVolume(const CKData& day, DWORD date, int days, double* out) {
    int end = day.GetIndexByDate(date);
    if (end < 0) end = day.GetSize();
    const int n = std::min(days, end);
    if (n <= 0) return false;
    double sum = 0;
    for (int k = end - n; k < end; ++k) sum += day[k].volume;
    *out = sum / n;
    return true;
}

}  // namespace

CRealTime::CRealTime()
    : m_pOwner(nullptr),
      m_nDrawMode(rtChart),
      m_nCursor(-1),
      m_nOption(rtOptionNone),
      m_nReportKind(reportBlocks),
      m_nListFirst(-1),
      m_nReportRows(-1),
      m_nReportRow(-1),
      m_dScaleMax(kNoRange),
      m_dScaleMin(kNoRange) {}

CRealTime::~CRealTime() { m_stock.Clear(); }

void CRealTime::SetDrawMode(int mode, int option, int reportKind) {
    m_nDrawMode = mode;
    m_nOption = option;
    m_nReportKind = reportKind;
    m_nListFirst = m_nReportRows = m_nReportRow = -1;
}

int CRealTime::SetStockCode(const char* code) {
    if (!code || !code[0]) return 0;
    CStockInfo info;
    if (!GetStockContainer().GetStockInfo(code, &info, nullptr)) return 0;
    return SetStockIfChanged(info);
}

int CRealTime::SetStockIfChanged(const CStockInfo& info) {
    if (m_stock.GetStockInfo().IsEqualTo(info.GetMarket(), info.GetStockCode())) return 1;
    m_nCursor = -1;
    m_selection.clear();
    m_stock.Clear();
    m_stock.SetStockInfo(&info);
    return 1;
}

int CRealTime::LoadData(int reload) {
    m_stock.SetDatabase(&GetDatabase());
    m_stock.PrepareData(dataK, ktypeDay, reload != 0);
    m_stock.PrepareData(dataFenbiS, 0, reload != 0);
    ReportArray& quotes = m_stock.GetReport();
    if (quotes.GetSize() > 0) UpdateStockInfoByReport(&m_stock.GetStockInfo(), &quotes[quotes.GetSize() - 1]);
    // A minute without a price is kept at the previous close, once, here rather than in painting.
    const double centre = m_stock.GetStockInfo().m_fLastClose;
    MinuteArray& m = m_stock.GetMinute();
    for (int j = 0; j < m.GetSize(); ++j)
        if (m[j].price < kPriceEpsilon) m[j].price = float(centre);
    if (m_nCursor >= m.GetSize()) m_nCursor = -1;
    return 1;
}

void CRealTime::Layout(const Rect& r) {
    LayoutRealTime(r, m_nDrawMode, m_nOption, m_nReportKind, &m_layout);
}

std::unique_ptr<Canvas> CRealTime::OwnerCanvas() { return m_pOwner ? m_pOwner->OpenCanvas() : nullptr; }

int CRealTime::Draw(Canvas* canvas, const Rect& r) {
    if (!m_pOwner) return 0;
    std::unique_ptr<Canvas> own;
    if (!canvas) {
        own = OwnerCanvas();
        if (!own) return 0;
        canvas = own.get();
    }
    Layout(r);
    if (r.IsEmpty()) return 1;
    Canvas& c = *canvas;
    ClipScope clip(c, r);
    c.FillRect(r, RoleColor(15));
    switch (m_nDrawMode) {
    case rtChart:
        DrawChart(c);
        DrawVolumeRatioPane(c);
        DrawStrengthPane(c);
        DrawReportColumn(c);
        DrawCursorLines(c);
        DrawInfoBox(c);
        break;
    case rtTickList:
        m_painter.DrawTickListPanel(c, m_stock, r, m_nListFirst);
        break;
    case rtMinuteList:
        m_painter.DrawMinuteTickPanel(c, m_stock, r, m_nListFirst);
        break;
    case rtIndexList:
        m_painter.DrawIndexListPanel(c, r, m_indexList, m_nListFirst, m_nReportRow);
        break;
    default:
        break;
    }
    return 1;
}

int CRealTime::DrawReport(Canvas* canvas) {
    if (!m_pOwner || m_nDrawMode != rtChart) return 0;
    std::unique_ptr<Canvas> own;
    if (!canvas) {
        own = OwnerCanvas();
        if (!own) return 0;
        canvas = own.get();
    }
    ClipScope clip(*canvas, m_layout.pane);
    DrawReportColumn(*canvas);
    return 1;
}

void CRealTime::DrawTimeAxis(Canvas& c) {
    const Rect& pane = m_layout.pane;
    const int left = m_layout.price.left, right = m_layout.price.right;
    const int y = pane.bottom - kRtAxisHeight + 1;
    c.FillRect(Rect(pane.left, y, right, pane.bottom), RoleColor(15));
    const Color text = RoleColor(23);
    const char* labels[] = {"09:30", "10:30", "11:30", "14:00", "15:00"};
    for (int k = 0; k <= 4; ++k) {
        const int x = k == 4 ? right : left + k * (right - left) / 4;
        c.Text(x, y, labels[k], text, ScaleFont(), kAlignCenter);
    }
}

bool CRealTime::DrawPriceScale(Canvas& c, double centre, double* minimum, double* maximum, double maxVolume) {
    const Rect& p = m_layout.price;
    const Rect& v = m_layout.volume;
    const int decimals = m_stock.GetStockInfo().GetPriceDecimals();
    if (!std::isfinite(*minimum) || !std::isfinite(*maximum) || p.IsEmpty() || v.IsEmpty() || decimals < 0) return false;
    if (centre < kPriceEpsilon) centre = (*minimum + *maximum) / 2;
    const int ph = p.Height(), vh = v.Height();
    const int n = ScaleIntervals(ph), m = ScaleIntervals(vh);
    const double tick = std::pow(10.0, -decimals);
    const double half = ScaleHalfRange(std::max(std::fabs(*minimum - centre), std::fabs(*maximum - centre)), n, decimals);
    *minimum = centre - half;
    *maximum = centre + half;
    const double lo = *minimum, hi = *maximum;

    const Color grid = RoleColor(16);
    c.FrameRect(p, grid);
    c.FrameRect(v, grid);
    for (int k = 0; k < n; ++k) {
        const int y = p.top + k * ph / n;
        c.Line(p.left, y, p.right, y, grid);
    }
    c.Line(p.left, p.top + ph / 2, p.right, p.top + ph / 2, grid, 2);
    for (int k = 0; k < m; ++k) {
        const int y = v.top + k * vh / m;
        c.Line(v.left, y, v.right, y, grid);
    }
    for (int k = 1; k <= 8; ++k) {
        const int x = p.left + k * p.Width() / 8;
        c.Line(x, p.top, x, v.bottom, grid, 1, (k % 2) ? kPenDot : kPenSolid);
    }
    const Font f = ScaleFont();
    for (int k = 0; n > 0 && k <= n; ++k) {
        double value = lo + (hi - lo) * k / n;
        if (value < 0 && value > -0.51 * tick) value = 0;
        const int y = p.top + (n - k) * ph / n - 7;
        const Color colour = UpDownColor(value, centre);
        // Each label is cut to its scale column.
        const int h = c.TextHeight(f);
        TextInCell(c, Rect(p.left - kRtLeftScale, y, p.left - 1, y + h), p.left - 1, y, FormatPrice(value, decimals),
                   colour, f, kAlignRight);
        const double percent = centre > kPriceEpsilon ? std::fabs(value - centre) * 100 / centre : 0;
        TextInCell(c, Rect(p.right + 3, y, p.right + kRtRightScale, y + h), p.right + 3, y, Fmt("%.2f%%", percent),
                   colour, f, kAlignLeft);
    }
    const Color volumeText = RoleColor(20);
    for (int i = 1; i < m; ++i) {
        const int y = v.top + (m - i) * vh / m - 7;
        TextInCell(c, Rect(v.left - kRtLeftScale, y, v.left - 1, y + c.TextHeight(f)), v.left - 1, y,
                   Fmt("%.0f", maxVolume * i / m), volumeText, f, kAlignRight);
    }
    return true;
}

void CRealTime::DrawCurves(Canvas& c, double centre, double maxVolume) {
    const MinuteArray& minutes = m_stock.GetMinute();
    const MINUTE* m = minutes.GetData();
    const int n = minutes.GetSize();
    const Rect& p = m_layout.price;
    const Rect& v = m_layout.volume;
    const double hi = m_dScaleMax, lo = m_dScaleMin;
    const bool ranged = hi - lo > kPriceEpsilon;
    const int ph = p.Height(), vh = v.Height(), middle = p.top + ph / 2;
    auto xOf = [&](int t) { return TradeSecondToX(t, p.left, p.right); };
    auto yOf = [&](double price) { return ClampedY(price, hi, lo, p.top, p.bottom); };
    auto inRange = [&](double price) { return ranged && price >= lo && price <= hi; };
    const int now = WalkNowSecond(ChartNow(), m, n);
    const bool index = m_stock.GetStockInfo().IsIndex();

    BarBatch bars(c);
    PenRun price(c, RoleColor(26), &bars), average(c, RoleColor(27), &bars);
    int startY = middle;
    if (n > 0 && inRange(DrawnPrice(m[0], centre))) startY = yOf(DrawnPrice(m[0], centre));
    price.Start(Point(p.left, startY));
    average.Start(Point(p.left, startY));

    const Color volumeColour = RoleColor(27), up = RoleColor(17), down = RoleColor(18);
    Color barColour = up;
    double avg = centre;
    int j = 0;
    for (int s = 0; s < kRtSlots; ++s) {
        bool any = false;
        while (j < n) {
            const int t = TradeSecondOf(m[j].time);
            if (t > 60 * s) break;
            if (s > 0 && t <= 60 * (s - 1)) {  // out of order: not drawn
                ++j;
                continue;
            }
            any = true;
            const double pr = DrawnPrice(m[j], centre);
            const int x = xOf(t);
            const bool shown = inRange(pr);
            if (shown)
                price.To(Point(x, yOf(pr)));
            else
                price.MoveX(x);
            avg = NextAverage(avg, j, pr);
            if (shown && inRange(avg))
                average.To(Point(x, yOf(avg)));
            else
                average.MoveX(x);
            if (index) {
                double change = 0;
                minutes.SumPriceChanges(&change, j);
                if (change > 0) barColour = up;
                if (change < 0) barColour = down;
                if (shown && std::fabs(change) < (hi - lo) / 2)
                    bars.Line(x, middle, x, middle - int(change * 0.5 * ph / (hi - lo)), barColour);
            }
            const double d = MinuteVolume(m, j, s);
            if (shown && d >= 0 && d <= maxVolume && maxVolume > kPriceEpsilon) {
                const int top = v.bottom - int(d * vh / maxVolume);
                if (top < v.bottom - 1) bars.Line(x, v.bottom - 1, x, top, volumeColour);
            }
            ++j;
        }
        if (!any && 60 * s <= now) {
            const int x = xOf(60 * s);
            price.To(Point(x, price.Pen().y));
            average.To(Point(x, average.Pen().y));
        }
    }
}

void CRealTime::DrawChart(Canvas& c) {
    DrawTimeAxis(c);
    const CStockInfo& info = m_stock.GetStockInfo();
    c.Text(m_layout.price.left + 1, m_layout.pane.top + 2, std::string(info.GetStockName()) + "(分时)", RoleColor(24),
           ScaleFont(), kAlignLeft);

    const MinuteArray& minutes = m_stock.GetMinute();
    const ReportArray& quotes = m_stock.GetReport();
    RtQuoteRange quote;
    if (quotes.GetSize() > 0) {
        const REPORT& q = quotes[quotes.GetSize() - 1];
        quote.valid = true;
        quote.last = q.close;
        quote.high = q.high;
        quote.low = q.low;
    }
    double centre = info.m_fLastClose, lo = 0, hi = 0, maxVolume = 0;
    GetRealTimePriceRange(minutes.GetData(), minutes.GetSize(), quote, &centre, &lo, &hi, &maxVolume, true);
    if (!DrawPriceScale(c, centre, &lo, &hi, maxVolume)) return;
    m_dScaleMax = hi;
    m_dScaleMin = lo;
    DrawCurves(c, centre, maxVolume);
}

void CRealTime::DrawVolumeRatioPane(Canvas& c) {
    const Rect& pane = m_layout.ratioPane;
    if (m_nOption != rtOptionVolumeRatio || pane.IsEmpty()) return;
    c.FillRect(pane, RoleColor(15));
    c.FrameRect(pane, RoleColor(16));
    c.Text(pane.left + 5, pane.top + 1, "量比（多空）", RoleColor(24), Font(14), kAlignLeft);
    double average = 0;
    if (!GetAverageVolume(m_stock.GetKDataDay(), m_stock.GetStockInfo().m_dwDate, 5, &average) || average < kPriceEpsilon) return;
    const MinuteArray& minutes = m_stock.GetMinute();
    double lo = 0, hi = 0;
    // No statistic (no volume to compare with): the pane keeps its caption only.
    if (!minutes.GetVolumeRatioStatistic(average, &lo, &hi)) return;
    if (!DrawScaleBox(c, pane, lo, hi, 2)) return;

    const MINUTE* m = minutes.GetData();
    const int n = minutes.GetSize();
    const int now = WalkNowSecond(ChartNow(), m, n);
    const int height = pane.Height();
    PenRun curve(c, RoleColor(26));
    curve.Start(Point(pane.left, pane.top + height / 2));
    int j = 0;
    for (int s = 0; s < kRtSlots; ++s) {
        bool any = false;
        while (j < n) {
            const CTimeStamp stamp(m[j].time);
            const int t = stamp.GetTradeSecond();
            if (t > 60 * s) break;
            if (s > 0 && t <= 60 * (s - 1)) {
                ++j;
                continue;
            }
            any = true;
            // The same rule as the statistic, so that the range holds every point of the curve.
            const double value = m[j].volume / average / GetTradeDayFraction(stamp, stamp);
            const int x = TradeSecondToX(t, pane.left, pane.right);
            if (value >= lo && value <= hi)
                curve.To(Point(x, ClampedY(value, hi, lo, pane.top + kPaneTitle - 1, pane.bottom)));
            else
                curve.MoveX(x);
            ++j;
        }
        if (!any && 60 * s <= now) curve.To(Point(TradeSecondToX(60 * s, pane.left, pane.right), curve.Pen().y));
    }
}

void CRealTime::DrawStrengthPane(Canvas& c) {
    const Rect& pane = m_layout.strengthPane;
    if (m_nOption != rtOptionStrength || pane.IsEmpty()) return;
    c.FillRect(pane, RoleColor(15));
    c.FrameRect(pane, RoleColor(16));
    c.Text(pane.left + 5, pane.top + 1, "买卖力道", RoleColor(24), Font(14), kAlignLeft);
    const ReportArray& quotes = m_stock.GetReport();
    double lo = 0, hi = 0;
    if (!quotes.GetBuySellStatistics(&lo, &hi)) return;
    if (!DrawScaleBox(c, pane, lo * 0.01, hi * 0.01, 0)) return;
    const double range = hi - lo;
    if (!(range > kPriceEpsilon)) return;
    const int height = pane.Height(), middle = pane.top + height / 2;
    auto yOf = [&](double value) { return ClampedY(value, hi, lo, pane.top + kPaneTitle - 1, pane.bottom); };
    auto barEnd = [&](double difference) {
        double y = pane.bottom - height * (difference / 2 + range) / 2 / range;
        return int(std::min(std::max(y, double(pane.top + 1)), double(pane.bottom - 1)));
    };
    const int now = WalkNowSecond(ChartNow(), m_stock.GetMinute().GetData(), m_stock.GetMinute().GetSize());
    BarBatch bars(c);
    PenRun bid(c, RoleColor(26), &bars), ask(c, RoleColor(28), &bars);
    bid.Start(Point(pane.left, middle));
    ask.Start(Point(pane.left, middle));
    const Color up = RoleColor(17), down = RoleColor(18);
    bool haveBar = false;
    int lastBarEnd = middle;
    const int n = quotes.GetSize();
    int i = 0;
    for (int s = 0; s < kRtSlots; ++s) {
        bool any = false;
        while (i < n) {
            const int t = TradeSecondOf(quotes[i].time);
            if (t > 60 * s) break;
            if (s > 0 && t <= 60 * (s - 1)) {
                ++i;
                continue;
            }
            double buy = 0, sell = 0, difference = 0;
            if (!quotes.GetBuySellVolume(i, &buy, &sell, &difference)) break;
            any = true;
            const int x = TradeSecondToX(t, pane.left, pane.right);
            if (buy >= lo && buy <= hi)
                bid.To(Point(x, yOf(buy)));
            else
                bid.MoveX(x);
            if (sell >= lo && sell <= hi)
                ask.To(Point(x, yOf(sell)));
            else
                ask.MoveX(x);
            if (difference / 2 >= lo && difference / 2 <= hi) {
                lastBarEnd = barEnd(difference);
                haveBar = true;
                bars.Line(x, middle, x, lastBarEnd, difference > 0 ? up : down);
            }
            ++i;
        }
        if (!any && 60 * s <= now) {
            const int x = TradeSecondToX(60 * s, pane.left, pane.right);
            bid.To(Point(x, bid.Pen().y));
            ask.To(Point(x, ask.Pen().y));
            if (haveBar) bars.Line(x, middle, x, lastBarEnd, lastBarEnd < middle ? up : down);
        }
    }
}

void CRealTime::DrawReportColumn(Canvas& c) {
    const Rect& r = m_layout.report;
    if (r.IsEmpty()) return;
    switch (m_nReportKind) {
    case reportBlocks:
        m_painter.DrawBlocksReport(c, r, m_stock);
        break;
    case reportTicks:
        m_painter.DrawTicksReport(c, r, m_stock, &m_nReportRows, &m_nReportRow);
        break;
    case reportPriceTable:
        m_painter.DrawPriceTable(c, r, m_stock);
        break;
    case reportMinuteTicks:
        m_painter.DrawMinuteTicksReport(c, r, m_stock, &m_nReportRows, &m_nReportRow);
        break;
    case reportBook:
        m_painter.DrawBookReport(c, r, m_stock, &m_nReportRows, &m_nReportRow);
        break;
    case reportValue:
        m_painter.DrawValuePanel(c, r, m_stock);
        break;
    case reportVolumePrice:
        m_painter.DrawVolumeByPrice(c, r, m_stock, m_layout.price, m_dScaleMax, m_dScaleMin);
        break;
    case reportIndexList: {
        int rows = m_nReportRows, first = m_nListFirst;
        m_painter.DrawIndexReport(c, r, m_stock, m_indexList, &m_nReportRow, &rows, &first);
        m_nReportRows = rows;
        break;
    }
    default:
        break;
    }
}

void CRealTime::DrawCursorLines(Canvas& c) {
    if (m_nDrawMode != rtChart) return;
    const MinuteArray& m = m_stock.GetMinute();
    const int n = m.GetSize();
    const Rect& p = m_layout.price;
    auto line = [&](int i) {
        const int x = TradeSecondToX(TradeSecondOf(m[i].time), p.left, p.right);
        c.XorLine(x, p.top, x, m_layout.pane.bottom - kRtAxisHeight);
    };
    if (m_nCursor >= 0 && m_nCursor < n) line(m_nCursor);
    for (int i : m_selection)
        if (i != m_nCursor && i >= 0 && i < n) line(i);
}

void CRealTime::DrawInfoBox(Canvas& c) {
    if (m_nDrawMode != rtChart) return;
    const Rect& p = m_layout.price;
    const int left = p.left + 135, right = p.right, top = m_layout.pane.top;
    if (right <= left) return;
    c.FillRect(Rect(left, top, right, p.top - 1), RoleColor(15));
    const MinuteArray& m = m_stock.GetMinute();
    if (m_nCursor < 0 || m_nCursor >= m.GetSize()) return;
    const MINUTE& rec = m[m_nCursor];
    const CStockInfo& info = m_stock.GetStockInfo();
    const int y = top + 4, limit = right - 100;
    const Font f = ScaleFont();
    auto put = [&](int x, const std::string& text, Color colour) {
        if (x < limit) c.Text(x, y, text, colour, f, kAlignLeft);
    };
    const Color label = RoleColor(25), figure = RoleColor(24);
    put(left, "时间", label);
    put(left + 80, "价格", label);
    put(left + 160, "量(手)", label);
    put(left + 290, "额(千元)", label);
    put(left + 30, CTimeStamp(rec.time).Format("%H:%M"), RoleColor(20));
    put(left + 110, FormatPrice(rec.price, info.GetPriceDecimals()), UpDownColor(rec.price, info.m_fLastClose));
    const int j = m_nCursor;
    const double volume = j > 0 ? double(rec.volume) - m[j - 1].volume : rec.volume;
    const double amount = j > 0 ? double(rec.amount) - m[j - 1].amount : rec.amount;
    put(left + 220, Fmt("%.0f", volume), figure);
    put(left + 350, Fmt("%.2f", amount / 1000), figure);
}

int CRealTime::AddSelection(int index) {
    if (m_nDrawMode != rtChart) return 0;
    if (std::find(m_selection.begin(), m_selection.end(), index) != m_selection.end()) return 0;
    m_selection.push_back(index);
    return 1;
}

int CRealTime::MoveCursor(int index, bool extend, bool add) {
    if (m_nDrawMode != rtChart) return 0;
    std::unique_ptr<Canvas> c = OwnerCanvas();
    if (c) DrawCursorLines(*c);  // erase
    if (extend && index >= 0) {
        const int from = m_nCursor < 0 ? index : m_nCursor;
        for (int i = std::min(from, index); i <= std::max(from, index); ++i) AddSelection(i);
    } else if (add && index >= 0) {
        AddSelection(index);
    } else {
        m_selection.clear();
    }
    if (index != m_nCursor) {
        m_nCursor = index;
        if (c) DrawInfoBox(*c);
    }
    if (c) DrawCursorLines(*c);
    return 1;
}

void CRealTime::CursorPrev(bool extend) {
    if (m_nDrawMode != rtChart) return;
    const int n = m_stock.GetMinute().GetSize();
    int i = m_nCursor < 0 ? n - 1 : m_nCursor - 1;
    i = std::min(std::max(i, 0), n - 1);
    MoveCursor(i, extend, false);
}

void CRealTime::CursorNext(bool extend) {
    if (m_nDrawMode != rtChart) return;
    const int n = m_stock.GetMinute().GetSize();
    int i = m_nCursor < 0 ? 0 : m_nCursor + 1;
    i = std::min(i, n - 1);
    MoveCursor(i, extend, false);
}

void CRealTime::CursorFirst(bool extend) {
    if (m_nDrawMode != rtChart) return;
    MoveCursor(m_stock.GetMinute().GetSize() > 0 ? 0 : -1, extend, false);
}

void CRealTime::CursorLast(bool extend) {
    if (m_nDrawMode != rtChart) return;
    MoveCursor(m_stock.GetMinute().GetSize() - 1, extend, false);
}

int CRealTime::RecordCountOfReportList() {
    return m_nReportKind == reportMinuteTicks ? m_stock.GetMinute().GetSize() : m_stock.GetFenbiS().GetSize();
}

int CRealTime::ListCount() {
    switch (m_nDrawMode) {
    case rtTickList: return m_stock.GetFenbiS().GetSize();
    case rtMinuteList: return m_stock.GetMinute().GetSize();
    case rtIndexList: return m_indexList.GetSize();
    default: return 0;
    }
}

void CRealTime::ReportPageUp() {
    if (m_nDrawMode != rtChart) return;
    if (m_nReportKind != reportTicks && m_nReportKind != reportMinuteTicks && m_nReportKind != reportBook) return;
    m_nReportRow = PageUpRow(m_nReportRow, RecordCountOfReportList(), m_nReportRows);
}

void CRealTime::ReportPageDown() {
    if (m_nDrawMode != rtChart) return;
    if (m_nReportKind != reportTicks && m_nReportKind != reportMinuteTicks && m_nReportKind != reportBook) return;
    m_nReportRow = PageDownRow(m_nReportRow, RecordCountOfReportList(), m_nReportRows);
}

void CRealTime::ListPageUp() {
    if (m_nDrawMode < rtTickList || m_nDrawMode > rtIndexList) return;
    m_nListFirst = PageUpRow(m_nListFirst, ListCount(), PanelGridOf(m_layout.pane).Page());
    Draw(nullptr, m_layout.pane);
}

void CRealTime::ListPageDown() {
    if (m_nDrawMode < rtTickList || m_nDrawMode > rtIndexList) return;
    m_nListFirst = PageDownRow(m_nListFirst, ListCount(), PanelGridOf(m_layout.pane).Page());
    Draw(nullptr, m_layout.pane);
}

void CRealTime::DrawListSelection(Canvas& c, int row, Color colour) {
    const Rect& pane = m_layout.pane;
    const PanelGrid g = PanelGridOf(pane);
    const int first = ResolvePanelFirstRow(m_nListFirst, m_indexList.GetSize(), g.Page());
    const int at = row - first;
    if (row < 0 || at < 0 || at >= g.Page()) return;
    const int column = at / g.rows, inColumn = at % g.rows;
    const int left = pane.left + 220 * column, y = pane.top + 63 + 16 * inColumn;
    c.Line(left + 5, y, left + 220 - 5, y, colour, 2, kPenSolid);
}

void CRealTime::OnLButtonDown(unsigned, int x, int y, bool extend, bool add) {
    const Rect& pane = m_layout.pane;
    if (m_nDrawMode == rtChart) {
        if (m_nReportKind == reportIndexList && m_layout.report.Contains(x, y)) {
            const int row = (y - (m_layout.report.top + 24)) / 16;
            const int first = ResolveReportFirstRow(m_nListFirst, m_indexList.GetSize(), std::max(1, m_nReportRows));
            if (y >= m_layout.report.top + 24 && first + row < m_indexList.GetSize()) {
                m_nReportRow = first + row;
                DrawReport(nullptr);
            }
            return;
        }
        if (!pane.Contains(x, y)) return;
        const Rect area(m_layout.price.left, m_layout.price.top, m_layout.price.right, pane.bottom - kRtAxisHeight);
        int hit = -1;
        if (area.Contains(x, y)) {
            const MinuteArray& m = m_stock.GetMinute();
            std::vector<int> seconds(size_t(m.GetSize()));
            for (int i = 0; i < m.GetSize(); ++i) seconds[size_t(i)] = TradeSecondOf(m[i].time);
            hit = HitTestMinuteBand(seconds, x, m_layout.price.left, m_layout.price.right);
        }
        MoveCursor(hit, extend, add);
        return;
    }
    if (m_nDrawMode != rtIndexList || !pane.Contains(x, y)) return;
    const PanelGrid g = PanelGridOf(pane);
    const int column = (x - pane.left) / 220, row = (y - pane.top - 48) / 16;
    if (y < pane.top + 48 || column >= g.columns || row >= g.rows) return;
    const int first = ResolvePanelFirstRow(m_nListFirst, m_indexList.GetSize(), g.Page());
    const int record = first + column * g.rows + row;
    if (record >= m_indexList.GetSize()) return;
    std::unique_ptr<Canvas> c = OwnerCanvas();
    if (c) {
        DrawListSelection(*c, m_nReportRow, RoleColor(15));
        DrawListSelection(*c, record, RoleColor(16));
    }
    m_nReportRow = record;
}

void CRealTime::OnLButtonDblClk(unsigned flags, int x, int y) {
    OnLButtonDown(flags, x, y, false, false);
    const bool list = m_nDrawMode == rtIndexList;
    const bool column = m_nDrawMode == rtChart && m_nReportKind == reportIndexList && m_layout.report.Contains(x, y);
    if (!list && !column) return;
    if (m_nReportRow < 0 || m_nReportRow >= m_indexList.GetSize()) return;
    const REPORT& q = m_indexList[m_nReportRow];
    char code[sizeof q.code + 1] = {0};
    std::memcpy(code, q.code, sizeof q.code);
    if (m_pOwner) m_pOwner->OnStockChosen(code);
    if (list) SetDrawMode(rtChart, m_nOption, m_nReportKind);
}

int CRealTime::GetDiagnosis(std::string& text) {
    const CStockInfo& info = m_stock.GetStockInfo();
    if (info.IsIndex()) {
        text = "不能对指数进行诊断。";
        return 1;
    }
    const ReportArray& quotes = m_stock.GetReport();
    const MinuteArray& m = m_stock.GetMinute();
    if (quotes.GetSize() == 0 || m.GetSize() == 0) return 1;
    const REPORT& q = quotes[0];
    CKShape shape;
    shape.Set(q.open, q.high, q.low, m[m.GetSize() - 1].price, info.m_fLastClose);
    std::string comment;
    if (shape.GetComment(comment)) text += comment;
    return 1;
}
