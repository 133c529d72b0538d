// The plain read-compute-draw loop the K-line benchmarks measure against: a day file read with
// fread, MA 5/10/20, volume MA 5/10 and MACD (12, 26, 9) computed in one pass each, and the same
// panes, candles, lines and texts drawn with plain GDI calls; with the timing helpers they share.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "charts/gdicanvas.h"
#include "charts/stockgraph.h"
#include "store/records.h"

namespace plain_kline {

using namespace charts;

const int kWidth = 1285, kHeight = 700;  // a 1000-pixel bar area: 250 bars at step 4
const int kStep = 4;

inline double Now() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER q;
        ::QueryPerformanceFrequency(&q);
        return q;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

struct MemoryDC {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemoryDC(int w, int h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits;
        dc = ::CreateCompatibleDC(nullptr);
        bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = ::SelectObject(dc, bmp);
    }
    ~MemoryDC() {
        ::SelectObject(dc, old);
        ::DeleteObject(bmp);
        ::DeleteDC(dc);
    }
};

// ---- The plain loop ------------------------------------------------------------------------

struct Lines {
    std::vector<double> ma[3], vma[2], dif, dea;
};

// What the chart computes, in one pass each: three moving averages of the close, two of the
// volume, MACD (12, 26, 9) from the first bar.
inline void Compute(const std::vector<KDATA>& k, Lines& out) {
    const int n = int(k.size());
    const int days[3] = {5, 10, 20}, vdays[2] = {5, 10};
    for (int j = 0; j < 3; ++j) {
        out.ma[j].assign(n, std::nan(""));
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            sum += k[i].close;
            if (i >= days[j]) sum -= k[i - days[j]].close;
            if (i + 1 >= days[j]) out.ma[j][i] = sum / days[j];
        }
    }
    for (int j = 0; j < 2; ++j) {
        out.vma[j].assign(n, std::nan(""));
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            sum += k[i].volume;
            if (i >= vdays[j]) sum -= k[i - vdays[j]].volume;
            if (i + 1 >= vdays[j]) out.vma[j][i] = sum / vdays[j];
        }
    }
    out.dif.assign(n, 0);
    out.dea.assign(n, 0);
    double e12 = n ? k[0].close : 0, e26 = e12, dea = 0;
    for (int i = 0; i < n; ++i) {
        e12 = e12 * 11 / 13 + k[i].close * 2 / 13;
        e26 = e26 * 25 / 27 + k[i].close * 2 / 27;
        dea = dea * 8 / 10 + (e12 - e26) * 2 / 10;
        out.dif[i] = e12 - e26;
        out.dea[i] = dea;
    }
}

struct PlainTools {
    HPEN frame, dot, rise, fall, fallBar, lines[3], back;
    HBRUSH backBrush, frameBrush, riseBrush, fallBarBrush;
    HFONT f12, f14;
    COLORREF c[32];
    PlainTools() {
        for (int i = 0; i < 32; ++i) c[i] = GetProfile().GetColor(i);
        LOGBRUSH lb = {BS_SOLID, c[16], 0};
        dot = ::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
        frame = ::CreatePen(PS_SOLID, 1, c[16]);
        rise = ::CreatePen(PS_SOLID, 1, c[17]);
        fall = ::CreatePen(PS_SOLID, 1, c[18]);
        fallBar = ::CreatePen(PS_SOLID, 1, c[19]);
        for (int j = 0; j < 3; ++j) lines[j] = ::CreatePen(PS_SOLID, 1, c[26 + j]);
        back = ::CreatePen(PS_SOLID, 1, c[15]);
        backBrush = ::CreateSolidBrush(c[15]);
        frameBrush = ::CreateSolidBrush(c[16]);
        riseBrush = ::CreateSolidBrush(c[17]);
        fallBarBrush = ::CreateSolidBrush(c[19]);
        f12 = ::CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
        f14 = ::CreateFontA(14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
    }
    ~PlainTools() {
        for (HGDIOBJ o : {(HGDIOBJ)dot, (HGDIOBJ)frame, (HGDIOBJ)rise, (HGDIOBJ)fall, (HGDIOBJ)fallBar,
                          (HGDIOBJ)lines[0], (HGDIOBJ)lines[1], (HGDIOBJ)lines[2], (HGDIOBJ)back,
                          (HGDIOBJ)backBrush, (HGDIOBJ)frameBrush, (HGDIOBJ)riseBrush, (HGDIOBJ)fallBarBrush,
                          (HGDIOBJ)f12, (HGDIOBJ)f14})
            ::DeleteObject(o);
    }
};

inline int Y(double v, double lo, double hi, int bottom, int height) { return int(bottom - height * (v - lo) / (hi - lo)); }

inline void Text(HDC dc, int x, int y, const char* s, COLORREF c, UINT align = TA_LEFT) {
    ::SetTextColor(dc, c);
    ::SetTextAlign(dc, align);
    ::TextOutA(dc, x, y, s, int(strlen(s)));
}

inline void Pane(HDC dc, const PlainTools& t, const RECT& r, int grid, double lo, double hi, int decimals) {
    ::FillRect(dc, &r, t.backBrush);
    ::FrameRect(dc, &r, t.frameBrush);
    ::SelectObject(dc, t.dot);
    const int top = r.top + 17;
    for (int k = 0; k < grid; ++k) {
        const int y = top + k * (r.bottom - top) / grid;
        ::MoveToEx(dc, r.left, y, nullptr);
        ::LineTo(dc, r.right + 1, y);
    }
    ::SelectObject(dc, t.f12);
    char buf[32];
    for (int k = 1; k <= grid; ++k) {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, lo + (hi - lo) * k / grid);
        Text(dc, r.left - 1, top + (grid - k) * (r.bottom - top) / grid - 7, buf, t.c[20], TA_RIGHT);
    }
}

inline void Polyline(HDC dc, HPEN pen, const std::vector<double>& v, int first, int last, int x0, double lo, double hi,
              int bottom, int height) {
    std::vector<POINT> pts;
    pts.reserve(size_t(last - first + 1));
    for (int i = first; i <= last; ++i)
        if (v[i] == v[i]) pts.push_back({x0 + (i - first) * kStep + 1, Y(v[i], lo, hi, bottom, height)});
    ::SelectObject(dc, pen);
    if (pts.size() >= 2) ::Polyline(dc, pts.data(), int(pts.size()));
}

inline void PlainPaint(HDC dc, const PlainTools& t, const std::vector<KDATA>& k, const Lines& l, const KLineLayout& lay) {
    const int n = int(k.size());
    const int first = std::max(0, n - 250), last = n - 1;
    RECT all = {0, 0, kWidth, kHeight};
    ::FillRect(dc, &all, t.backBrush);
    ::SetBkMode(dc, TRANSPARENT);
    // Price pane: range over the bars and the averages.
    double lo = 1e300, hi = -1e300;
    for (int i = first; i <= last; ++i) {
        lo = std::min(lo, double(k[i].low));
        hi = std::max(hi, double(k[i].high));
        for (int j = 0; j < 3; ++j)
            if (l.ma[j][i] == l.ma[j][i]) lo = std::min(lo, l.ma[j][i]), hi = std::max(hi, l.ma[j][i]);
    }
    const RECT pp = ToRECT(lay.pricePane);
    RECT plot = {pp.left, pp.top, pp.right, pp.bottom - 18};
    Pane(dc, t, plot, 5, lo, hi, 2);
    ::SelectObject(dc, t.f12);
    Text(dc, pp.left + 1, pp.top + 2, "股票(日线)", t.c[24]);
    const int cb = pp.bottom - 18, ch = cb - (pp.top + 17);
    const int x0 = lay.barArea.left;
    for (int i = first; i <= last; ++i) {
        const int x = x0 + (i - first) * kStep;
        const int yo = Y(k[i].open, lo, hi, cb, ch), yc = Y(k[i].close, lo, hi, cb, ch);
        const int yh = Y(k[i].high, lo, hi, cb, ch), yl = Y(k[i].low, lo, hi, cb, ch);
        const bool up = k[i].close >= k[i].open;
        RECT body = {x, std::min(yo, yc), x + 3, std::max(yo, yc) + 1};
        if (up) ::FrameRect(dc, &body, t.riseBrush);
        else ::FillRect(dc, &body, t.fallBarBrush);
        ::SelectObject(dc, up ? t.rise : t.fallBar);
        ::MoveToEx(dc, x + 1, yh, nullptr);
        ::LineTo(dc, x + 1, body.top);
        ::MoveToEx(dc, x + 1, body.bottom, nullptr);
        ::LineTo(dc, x + 1, yl + 1);
    }
    for (int j = 0; j < 3; ++j) Polyline(dc, t.lines[j], l.ma[j], first, last, x0, lo, hi, cb, ch - 2);
    ::SelectObject(dc, t.f14);
    Text(dc, pp.left + 95, pp.top + 1, "MA(5,10,20)", t.c[24]);
    ::SelectObject(dc, t.f12);
    char buf[64];
    for (int j = 0; j < 3; ++j) {
        std::snprintf(buf, sizeof buf, "%dMA %.2f", j == 0 ? 5 : j == 1 ? 10 : 20, l.ma[j][last]);
        Text(dc, pp.left + 210 + 90 * j, pp.top + 1, buf, t.c[26 + j]);
    }
    // Volume pane.
    const RECT vr = ToRECT(lay.subPanes[0]);
    double vmax = 1;
    for (int i = first; i <= last; ++i) vmax = std::max(vmax, double(k[i].volume));
    Pane(dc, t, vr, 3, 0, vmax * 0.01, 0);
    const int vh = vr.bottom - (vr.top + 17);
    for (int i = first; i <= last; ++i) {
        const int x = x0 + (i - first) * kStep;
        RECT bar = {x, Y(k[i].volume, 0, vmax, vr.bottom, vh), x + 3, vr.bottom - 1};
        if (k[i].close >= k[i].open) ::FrameRect(dc, &bar, t.riseBrush);
        else ::FillRect(dc, &bar, t.fallBarBrush);
    }
    for (int j = 0; j < 2; ++j) Polyline(dc, t.lines[j], l.vma[j], first, last, x0, 0, vmax, vr.bottom, vh);
    ::SelectObject(dc, t.f14);
    Text(dc, vr.left + 5, vr.top + 1, "VOLUME(5,10)", t.c[24]);
    ::SelectObject(dc, t.f12);
    for (int j = 0; j < 2; ++j) {
        std::snprintf(buf, sizeof buf, "%dMV %.0f", j == 0 ? 5 : 10, l.vma[j][last]);
        Text(dc, vr.left + 120 + 90 * j, vr.top + 1, buf, t.c[26 + j]);
    }
    // MACD pane.
    const RECT mr = ToRECT(lay.subPanes[1]);
    double mlo = 0, mhi = 0;
    for (int i = first; i <= last; ++i) {
        const double s = 2 * (l.dif[i] - l.dea[i]);
        mlo = std::min({mlo, l.dif[i], l.dea[i], s});
        mhi = std::max({mhi, l.dif[i], l.dea[i], s});
    }
    Pane(dc, t, mr, 5, mlo, mhi, 2);
    const int mh = mr.bottom - (mr.top + 17), y0 = Y(0, mlo, mhi, mr.bottom, mh);
    for (int i = first; i <= last; ++i) {
        const int x = x0 + (i - first) * kStep + 1;
        ::SelectObject(dc, l.dif[i] > l.dea[i] ? t.rise : t.fall);
        ::MoveToEx(dc, x, y0, nullptr);
        ::LineTo(dc, x, Y(2 * (l.dif[i] - l.dea[i]), mlo, mhi, mr.bottom, mh));
    }
    Polyline(dc, t.lines[0], l.dif, first, last, x0, mlo, mhi, mr.bottom, mh);
    Polyline(dc, t.lines[1], l.dea, first, last, x0, mlo, mhi, mr.bottom, mh);
    ::SelectObject(dc, t.f14);
    Text(dc, mr.left + 5, mr.top + 1, "MACD(12,26,9)", t.c[24]);
    ::SelectObject(dc, t.f12);
    std::snprintf(buf, sizeof buf, "EMA(12) EMA(26) DIF %.2f ", l.dif[last]);
    Text(dc, mr.left + 120, mr.top + 1, buf, t.c[26]);
    std::snprintf(buf, sizeof buf, "DEA(9) %.2f", l.dea[last]);
    Text(dc, mr.left + 300, mr.top + 1, buf, t.c[27]);
    // Date axis: the month where it changes.
    for (int i = std::max(1, first); i <= last; ++i) {
        if (k[i].date / 100 == k[i - 1].date / 100) continue;
        std::snprintf(buf, sizeof buf, "%02d", int(k[i].date / 100 % 100));
        Text(dc, x0 + (i - first) * kStep, kHeight - 16, buf, t.c[23]);
    }
}

inline bool ReadDayFile(const std::string& path, std::vector<KDATA>& out) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    KFILE_RECORD r;
    while (std::fread(&r, sizeof r, 1, f) == 1) {
        KDATA b = {};
        b.time = r.time;
        CTimeStamp t(r.time);
        b.date = DWORD(t.GetYear() * 10000 + t.GetMonth() * 100 + t.GetDay());
        b.open = r.open, b.high = r.high, b.low = r.low, b.close = r.close, b.volume = r.volume, b.amount = r.amount;
        out.push_back(b);
    }
    std::fclose(f);
    return !out.empty();
}

template <class F>
double Best(int rounds, F&& f) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const double t0 = Now();
        f();
        best = std::min(best, Now() - t0);
    }
    return best;
}

inline int Report(const char* label, const char* baseline, double ours, double plain, double goal) {
    const double ratio = plain / ours;
    std::printf("%s: the plain loop %s\n", label, baseline);
    std::printf("%s: ours %.3f ms, plain loop %.3f ms\n", label, ours * 1000, plain * 1000);
    std::printf("%s: ratio %.3f = plain-loop time / our time (1 = as fast, goal at least %.2f)%s\n", label, ratio, goal,
                ratio >= goal ? "" : "  BELOW GOAL");
    return ratio >= goal ? 0 : 1;
}

}  // namespace plain_kline
