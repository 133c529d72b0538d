// The fastest plain loops over a series of bars that the benchmarks measure indicators against:
// one pass reading 16 bars ahead, running sums for windows, lines into preallocated arrays and no
// allocation or checks per bar. Lines is anything whose [k] gives line k's array.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include <benchmark/benchmark.h>

#include "store/records.h"

namespace velmora_bench {

constexpr double kInf = std::numeric_limits<double>::infinity();


// Three simple averages: running sums, one pass; kStore writes the lines, kRange takes min and max.
template <bool kStore, bool kRange, class Lines>
void PlainMA(const KDATA* b, int bars, int n0, int n1, int n2, Lines& out, double* lo, double* hi) {
    double* o0 = out[0];
    double* o1 = out[1];
    double* o2 = out[2];
    double s0 = 0, s1 = 0, s2 = 0, l = kInf, h = -kInf;
    const int top = std::max(n0, std::max(n1, n2));
    auto take = [&](int i, int n, double s, double* o) {
        const double v = s / n;
        if (kStore) o[i] = v;
        if (kRange) l = std::min(l, v), h = std::max(h, v);
    };
    for (int i = 0; i < top; ++i) {
        const double x = b[i].close;
        s0 += x, s1 += x, s2 += x;
        if (i >= n0) s0 -= b[i - n0].close;
        if (i >= n1) s1 -= b[i - n1].close;
        if (i >= n2) s2 -= b[i - n2].close;
        if (i + 1 >= n0) take(i, n0, s0, o0);
        if (i + 1 >= n1) take(i, n1, s1, o1);
        if (i + 1 >= n2) take(i, n2, s2, o2);
    }
    for (int i = top; i < bars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double x = b[i].close;
        s0 += x - double(b[i - n0].close);
        s1 += x - double(b[i - n1].close);
        s2 += x - double(b[i - n2].close);
        take(i, n0, s0, o0);
        take(i, n1, s1, o1);
        take(i, n2, s2, o2);
    }
    *lo = l, *hi = h;
}

// Two volume averages: running sums, one pass, both lines written; kRange also the largest volume.
template <bool kRange, class Lines>
void PlainVolume(const KDATA* b, int bars, int n0, int n1, Lines& out, double* top) {
    double* o0 = out[0];
    double* o1 = out[1];
    double s0 = 0, s1 = 0, t = 0;
    const int first = std::max(n0, n1);
    for (int i = 0; i < first; ++i) {
        const double x = b[i].volume;
        if (kRange) t = std::max(t, x);
        s0 += x, s1 += x;
        if (i >= n0) s0 -= b[i - n0].volume;
        if (i >= n1) s1 -= b[i - n1].volume;
        if (i + 1 >= n0) o0[i] = s0 / n0;
        if (i + 1 >= n1) o1[i] = s1 / n1;
    }
    for (int i = first; i < bars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double x = b[i].volume;
        if (kRange) t = std::max(t, x);
        s0 += x - double(b[i - n0].volume);
        s1 += x - double(b[i - n1].volume);
        o0[i] = s0 / n0;
        o1[i] = s1 / n1;
    }
    *top = t;
}

// BOLL: running sums of the distance from the first price and of its square, one pass, three lines.
template <bool kRange, class Lines>
void PlainBOLL(const KDATA* b, int bars, int n, double width, Lines& out, double* lo, double* hi) {
    double* mid = out[0];
    double* up = out[1];
    double* down = out[2];
    const double origin = b[0].close;
    double s1 = 0, s2 = 0, l = kInf, h = -kInf;
    int lb = -1, hb = -1;
    auto take = [&](int i) {
        const double m = (origin * n + s1) / n;
        const double centred = s2 - s1 * (s1 / n);
        const double s = centred > 0 ? std::sqrt(centred / (n - 1)) : 0;
        mid[i] = m, up[i] = m + s * width, down[i] = m - s * width;
        if (kRange) {
            if (down[i] < l) l = down[i], lb = i;
            if (up[i] > h) h = up[i], hb = i;
        }
    };
    for (int i = 0; i < n; ++i) {
        const double d = b[i].close - origin;
        s1 += d, s2 += d * d;
    }
    take(n - 1);
    for (int i = n; i < bars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double in = b[i].close - origin, leave = b[i - n].close - origin;
        s1 += in - leave;
        s2 += in * in - leave * leave;
        take(i);
    }
    *lo = l, *hi = h;
    benchmark::DoNotOptimize(lb);
    benchmark::DoNotOptimize(hb);
}

// MACD: the three exponential averages run from bar 0, one pass, four lines from the first full bar.
struct CloseOf {
    double operator()(const KDATA& k) const { return k.close; }
};

// MACD of price (the close unless told otherwise).
template <bool kRange, class Lines, class Price = CloseOf>
void PlainMACD(const KDATA* b, int bars, int ns, int nl, int ng, Lines& out, double* lo, double* hi,
               Price price = Price()) {
    const double n0 = 2.0 / (ns + 1), o0 = (ns - 1.0) / (ns + 1);
    const double n1 = 2.0 / (nl + 1), o1 = (nl - 1.0) / (nl + 1);
    const double n2 = 2.0 / (ng + 1), o2 = (ng - 1.0) / (ng + 1);
    const int first = std::max(ns, std::max(nl, ng)) - 1;
    double es = price(b[0]), el = es, dea = 0, l = kInf, h = -kInf;
    int lb = -1, hb = -1;
    for (int i = 0; i < bars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double p = price(b[i]);
        es = n0 * p + o0 * es;
        el = n1 * p + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        if (i < first) continue;
        const double dif = es - el;
        out[0][i] = es, out[1][i] = el, out[2][i] = dif, out[3][i] = dea;
        if (kRange) {
            const double bar = 2 * (dif - dea);
            const double a = std::min(dif, std::min(dea, bar)), c = std::max(dif, std::max(dea, bar));
            if (a < l) l = a, lb = i;
            if (c > h) h = c, hb = i;
        }
    }
    *lo = l, *hi = h;
    benchmark::DoNotOptimize(lb);
    benchmark::DoNotOptimize(hb);
}

// SAR: the step rule with a restart at the n-bar extreme after each reversal, one pass, one line.
template <bool kRange, class Lines>
void PlainSAR(const KDATA* b, int bars, int n, double step, double maximum, Lines& out, double* lo, double* hi) {
    double* o = out[0];
    bool rising = true, pending = true, started = false;
    double a = step, highest = 0, lowest = 0, sar = 0, l = kInf, h = -kInf;
    for (int t = n - 1; t < bars; ++t) {
        __builtin_prefetch(b + t + 16);
        if (started && !pending) {
            const double hp = b[t - 1].high, lp = b[t - 1].low;
            if (rising) {
                sar = sar + a * (hp - sar);
                if (hp > highest) highest = hp, a = std::min(a + step, maximum);
                pending = b[t].low < sar;
            } else {
                sar = sar - (sar - lp) * a;
                if (lp < lowest) lowest = lp, a = std::min(a + step, maximum);
                pending = b[t].high > sar;
            }
        } else {
            double lw = b[t].low, hg = b[t].high;
            for (int j = t - n + 1; j < t; ++j) lw = std::min(lw, double(b[j].low)), hg = std::max(hg, double(b[j].high));
            rising = started ? !rising : true;
            started = true;
            pending = false;
            a = step, highest = hg, lowest = lw;
            sar = rising ? lw : hg;
        }
        o[t] = sar;
        if (kRange) l = std::min(l, sar), h = std::max(h, sar);
    }
    *lo = l, *hi = h;
}

}  // namespace velmora_bench
