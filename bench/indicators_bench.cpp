// Every built-in indicator over 1,000,000 bars: through its class (SetKData, then PrepareCache over
// the whole series, which computes and caches every line of every bar) against a plain single-pass
// loop that produces the same lines into arrays (MA, which keeps no lines, gives their range). Each row
// prints the loop's time over the class's; before timing, a few bars of every loop are checked
// against the class. The classes that read the series' bar columns (CKData::GetColumn) find them
// read by the benchmark's earlier runs, as a chart's indicators after the first find them; their
// rows say so and print a cold figure beside it, with the columns read inside each timed run.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/techset.h"
#include "plain_lines.h"
#include "walk.h"
#include "ratio.h"

namespace {

constexpr int kBars = 1000000;

const CKData& Series() {
    static CKData k = [] {
        CKData s;
        FillWalk(s, kBars, 7);
        return s;
    }();
    return k;
}

// The lines a plain loop writes, as the class's cache holds them.
struct Out {
    std::vector<double> v[5];
    std::vector<char> ok;
    double lo = 0, hi = 0;  // a range, for a class that keeps a range instead of lines
    Out() : ok(size_t(kBars), 0) {
        for (int l = 0; l < 5; ++l) v[l].assign(size_t(kBars), 0.0);
    }
    // As the class clears its flags before a pass.
    void Reset() { std::memset(ok.data(), 0, ok.size()); }
    void Set(int i, double a) { v[0][size_t(i)] = a, ok[size_t(i)] = 1; }
    void Set(int i, double a, double b) { v[0][size_t(i)] = a, v[1][size_t(i)] = b, ok[size_t(i)] = 1; }
    void Set(int i, double a, double b, double c) { Set(i, a, b), v[2][size_t(i)] = c; }
    void Set(int i, double a, double b, double c, double d) { Set(i, a, b, c), v[3][size_t(i)] = d; }
    void Set(int i, double a, double b, double c, double d, double e) { Set(i, a, b, c, d), v[4][size_t(i)] = e; }
    // Line k's array, for the shared plain loops.
    double* operator[](int k) { return v[k].data(); }
};

// The simple average of the last m values of a line, bars without a value skipped: a running sum
// over a ring of the last m values.
struct Average {
    std::vector<double> ring;
    double sum = 0;
    int count = 0, pos = 0, m;
    explicit Average(int days) : ring(size_t(days), 0.0), m(days) {}
    bool Push(double x, double* ma) {
        sum += x - ring[size_t(pos)];
        ring[size_t(pos)] = x;
        if (++pos == m) pos = 0;
        if (count < m && ++count < m) return false;
        *ma = sum / m;
        return true;
    }
};

inline double P(const KDATA* b, int i) { return b[i].close; }

// The class's computation, run on every iteration, and the object whose cache it fills (null when
// the row times something other than the cache).
struct Bound {
    std::function<void(CKData&)> run;
    std::shared_ptr<CTechnique> tech;
};
// Gives a fresh object for each benchmark.
using ClassRun = std::function<Bound()>;

struct Row {
    int id;
    const char* name;
    const char* loop;  // what the plain loop does
    ClassRun byClass;
    std::function<void(const KDATA*, Out&)> byLoop;
};

// Bind, then compute and cache every bar; the object (and its cache buffers) lives as long as the
// benchmark, as a chart's does.
template <class T>
ClassRun Cached() {
    return [] {
        std::shared_ptr<T> t(new T);
        return Bound{[t](CKData& k) {
                         t->SetKData(&k);
                         benchmark::DoNotOptimize(t->PrepareCache(0, -1, false));
                     },
                     t};
    };
}

struct VolumeOf {
    double operator()(const KDATA& k) const { return k.volume; }
};

// MACD lines of the close with 5/nl/9 and the stop line 0.95 low, one pass.
void SelfMacdLoop(const KDATA* b, int nl, bool stop, Out& o) {
    const double n0 = 2.0 / 6, o0 = 4.0 / 6, n1 = 2.0 / (nl + 1), o1 = (nl - 1.0) / (nl + 1), n2 = 2.0 / 10, o2 = 8.0 / 10;
    double* l0 = o[0];
    double* l1 = o[1];
    double* l2 = o[2];
    double* l3 = o[3];
    double* l4 = o[4];
    const int first = std::max(nl, 9) - 1;
    double es = b[0].close, el = es, dea = 0;
    for (int i = 0; i < kBars; ++i) {
        __builtin_prefetch(b + i + 16);
        const double p = b[i].close;
        es = n0 * p + o0 * es;
        el = n1 * p + o1 * el;
        dea = o2 * dea + n2 * (es - el);
        if (i < first) continue;
        l0[i] = es, l1[i] = el, l2[i] = es - el, l3[i] = dea;
        if (stop) l4[i] = b[i].low * 0.95;
    }
}

void KdjLoop(const KDATA* b, int n, int m1, int m2, Out& o) {
    double k = 50, d = 50;
    for (int i = n - 1; i < kBars; ++i) {
        double h = b[i].high, l = b[i].low;
        for (int t = i - n + 1; t < i; ++t) h = std::max(h, double(b[t].high)), l = std::min(l, double(b[t].low));
        const double rsv = h - l < 0.0001 ? 100 : (b[i].close - l) * 100 / (h - l);
        k = ((m1 - 1) * k + rsv) / m1;
        d = ((m2 - 1) * d + k) / m2;
        o.Set(i, k, d, 3 * k - 2 * d);
    }
}

// A line with running window sums of price, and its average.
template <class Line>
void WithAverage(Line line, int m, Out& o) {
    Average a(m);
    for (int i = 0; i < kBars; ++i) {
        double x, ma;
        if (!line(i, &x)) continue;
        if (a.Push(x, &ma)) o.Set(i, x, ma);
    }
}

std::vector<Row> Rows() {
    std::vector<Row> r;
    // MA keeps no lines: its whole-series pass gives the range of its three lines.
    r.push_back({1, "MA", "three running sums of 5, 10 and 20 closes in one pass, the min and max of the three lines",
                 Cached<CMA>(), [](const KDATA* b, Out& o) {
                     velmora_bench::PlainMA<false, true>(b, kBars, 5, 10, 20, o, &o.lo, &o.hi);
                 }});
    r.push_back({2, "BBI", "running sums of 3, 6, 12 and 24 closes", Cached<CBBI>(), [](const KDATA* b, Out& o) {
                     const int d[4] = {3, 6, 12, 24};
                     double s[4] = {0, 0, 0, 0};
                     for (int i = 0; i < kBars; ++i) {
                         double sum = 0;
                         for (int l = 0; l < 4; ++l) {
                             s[l] += P(b, i);
                             if (i >= d[l]) s[l] -= P(b, i - d[l]);
                             sum += s[l] / d[l];
                         }
                         if (i >= 23) o.Set(i, sum / 4);
                     }
                 }});
    r.push_back({3, "BOLL", "running sums of 20 closes' distance from the first close and of its square", Cached<CBOLL>(),
                 [](const KDATA* b, Out& o) {
                     double lo, hi;
                     velmora_bench::PlainBOLL<false>(b, kBars, 20, 2.0, o, &lo, &hi);
                 }});
    r.push_back({4, "PV", "amount over volume scaled into the bar", Cached<CPV>(), [](const KDATA* b, Out& o) {
                     for (int i = 0; i < kBars; ++i) {
                         double p = double(b[i].amount) / b[i].volume;
                         int steps = 0;
                         while (p < b[i].low && steps < 10) p *= 10, ++steps;
                         while (p > b[i].high && steps < 20) p /= 10, ++steps;
                         if (p < b[i].low) p = (double(b[i].open) + b[i].high + b[i].low + b[i].close) / 4;
                         o.Set(i, p);
                     }
                 }});
    r.push_back({5, "SAR", "the SAR step rule bar after bar", Cached<CSAR>(), [](const KDATA* b, Out& o) {
                     bool have = false, rising = true, pending = false;
                     double a = 0.02, hh = 0, ll = 0, sar = 0;
                     for (int t = 3; t < kBars; ++t) {
                         if (have && !pending) {
                             const double h = b[t - 1].high, l = b[t - 1].low;
                             if (rising) {
                                 sar += a * (h - sar);
                                 if (h > hh) hh = h, a = std::min(a + 0.02, 0.2);
                                 pending = b[t].low < sar;
                             } else {
                                 sar -= (sar - l) * a;
                                 if (l < ll) ll = l, a = std::min(a + 0.02, 0.2);
                                 pending = b[t].high > sar;
                             }
                         } else {
                             hh = b[t].high, ll = b[t].low;
                             for (int j = t - 3; j <= t; ++j) hh = std::max(hh, double(b[j].high)), ll = std::min(ll, double(b[j].low));
                             rising = have && pending ? !rising : true;
                             pending = false, a = 0.02, sar = rising ? ll : hh, have = true;
                         }
                         o.Set(t, sar);
                     }
                 }});
    r.push_back({7, "CW", "each bar's triangle added to the 0.01 buckets of its range",
                 [] {
                     std::shared_ptr<CCW> cw(new CCW);
                     return Bound{[cw](CKData& k) {
                                      cw->SetKData(&k);
                                      CSPDWordArray prices, volumes;
                                      double mn, mx, total, cover;
                                      benchmark::DoNotOptimize(cw->GetDistribution(0, kBars - 1, CStockInfo(), 0.01, prices,
                                                                                   volumes, &mn, &mx, &total, &cover));
                                  },
                                  nullptr};
                 },
                 [](const KDATA* b, Out&) {
                     double lo = b[0].low, hi = b[0].high;
                     for (int i = 1; i < kBars; ++i) lo = std::min(lo, double(b[i].low)), hi = std::max(hi, double(b[i].high));
                     const double step = std::max(0.01, (hi - lo) / CCW::kMaxBuckets);
                     std::vector<double> v(size_t(std::ceil((hi - lo) / step)) + 1, 0.0);
                     for (int i = 0; i < kBars; ++i) {
                         const double h = b[i].high, l = b[i].low, r = h - l;
                         if (r <= 0.0001) continue;
                         for (int j = std::max(0, int((l - lo) / step)); j < int(v.size()); ++j) {
                             const double p = lo + j * step;
                             if (p >= h) break;
                             if (p <= l) continue;
                             v[size_t(j)] += (step < r ? step * b[i].volume / r : b[i].volume) * std::min(h - p, p - l) * 4 / r;
                         }
                     }
                     benchmark::DoNotOptimize(v.data());
                 }});
    r.push_back({8, "FXKP", "EMAs 5/62/9 from bar 0 and the stop line in one pass", Cached<CSelfTechnique1>(),
                 [](const KDATA* b, Out& o) { SelfMacdLoop(b, 62, true, o); }});
    r.push_back({9, "MACD", "EMAs 12/26/9 from bar 0 with precomputed weights", Cached<CMACD>(), [](const KDATA* b, Out& o) {
                     double lo, hi;
                     velmora_bench::PlainMACD<false>(b, kBars, 12, 26, 9, o, &lo, &hi);
                 }});
    r.push_back({10, "MIKE", "typical price and the 12/24-bar extremes",
                 [] {
                     std::shared_ptr<CMIKE> t(new CMIKE);
                     return Bound{[t](CKData& k) {
                                      t->SetKData(&k);
                                      double x[6];
                                      for (int i = 23; i < kBars; ++i) t->Calculate(&x[0], &x[1], &x[2], &x[3], &x[4], &x[5], i);
                                      benchmark::DoNotOptimize(x[5]);
                                  },
                                  nullptr};
                 },
                 [](const KDATA* b, Out&) {
                     double x[6];
                     for (int i = 23; i < kBars; ++i) {
                         float typ = (b[i].high + b[i].low + b[i].close) / 3, ln = b[i].low, hn = b[i].high, l2 = ln, h2 = hn;
                         for (int t = i - 23; t <= i; ++t) {
                             if (t > i - 12) ln = std::min(ln, b[t].low), hn = std::max(hn, b[t].high);
                             l2 = std::min(l2, b[t].low), h2 = std::max(h2, b[t].high);
                         }
                         x[0] = typ + (typ - ln), x[1] = typ + (hn - ln), x[2] = typ + (h2 - ln);
                         x[3] = typ - (hn - typ), x[4] = typ - (hn - ln), x[5] = typ - (hn - l2);
                         benchmark::DoNotOptimize(x);
                     }
                 }});
    r.push_back({11, "PSY", "rising bars among the last 12", Cached<CPSY>(), [](const KDATA* b, Out& o) {
                     for (int i = 12; i < kBars; ++i) {
                         int up = 0;
                         for (int t = i - 11; t <= i; ++t) up += P(b, t) > P(b, t - 1);
                         o.Set(i, up * 100.0 / 12);
                     }
                 }});
    r.push_back({12, "VOLUME", "two running sums of 5 and 10 volumes in one pass", Cached<CVOLUME>(), [](const KDATA* b, Out& o) {
                     double top;
                     velmora_bench::PlainVolume<false>(b, kBars, 5, 10, o, &top);
                 }});
    for (int neg = 1; neg >= 0; --neg)
        r.push_back({neg ? 13 : 14, neg ? "NVI" : "PVI", "the index and its EMA from bar 0",
                     neg ? Cached<CNVI>() : Cached<CPVI>(), [neg](const KDATA* b, Out& o) {
                         double a = 100, e = 100;
                         o.Set(0, a, e);
                         for (int i = 1; i < kBars; ++i) {
                             const bool move = neg ? b[i - 1].volume > b[i].volume : b[i - 1].volume < b[i].volume;
                             if (move && P(b, i) > 0.0001 && P(b, i - 1) > 0.0001) a = a * P(b, i) / P(b, i - 1);
                             e = (24 * e + 2 * a) / 26;
                             o.Set(i, a, e);
                         }
                     }});
    r.push_back({15, "VR", "running sums of up, down and all volumes over 12", Cached<CVR>(), [](const KDATA* b, Out& o) {
                     double s[3] = {0, 0, 0};
                     auto term = [b](int t, double* x) {
                         const float p = b[t].close, q = b[t - 1].close;
                         x[0] = p > q ? b[t].volume : 0, x[1] = p < q ? b[t].volume : 0, x[2] = b[t].volume;
                     };
                     for (int i = 1; i < kBars; ++i) {
                         double x[3];
                         term(i, x);
                         for (int j = 0; j < 3; ++j) s[j] += x[j];
                         if (i > 12) {
                             term(i - 12, x);
                             for (int j = 0; j < 3; ++j) s[j] -= x[j];
                         }
                         if (i >= 12 && s[1] + s[2] / 2 >= 0.0001) o.Set(i, (s[0] + s[2] / 2) * 100 / (s[1] + s[2] / 2));
                     }
                 }});
    r.push_back({16, "VROC", "volume change over 10 bars and a running 10-value sum", Cached<CVROC>(), [](const KDATA* b, Out& o) {
                     WithAverage([b](int i, double* x) {
                         if (i < 10 || !(b[i].volume > 0) || !(b[i - 10].volume > 0)) return false;
                         *x = (double(b[i].volume) - b[i - 10].volume) * 100 / b[i - 10].volume;
                         return true;
                     }, 10, o);
                 }});
    r.push_back({17, "OBV", "the signed volume sum from bar 0", Cached<COBV>(), [](const KDATA* b, Out& o) {
                     double s = b[0].volume;
                     o.Set(0, s);
                     for (int i = 1; i < kBars; ++i) {
                         if (P(b, i) > P(b, i - 1)) s += b[i].volume;
                         else if (P(b, i) < P(b, i - 1)) s -= b[i].volume;
                         o.Set(i, s);
                     }
                 }});
    r.push_back({18, "MOBV", "OBV and the sums of its last 12 and 26 values", Cached<CMOBV>(), [](const KDATA* b, Out& o) {
                     std::vector<double>& obv = o.v[3];
                     double s = b[0].volume;
                     for (int i = 0; i < kBars; ++i) {
                         if (i > 0 && P(b, i) > P(b, i - 1)) s += b[i].volume;
                         else if (i > 0 && P(b, i) < P(b, i - 1)) s -= b[i].volume;
                         obv[size_t(i)] = s;
                         if (i < 25) continue;
                         double a = 0, c = 0;
                         for (int j = 0; j < 26; ++j) (j < 12 ? a : c) += obv[size_t(i - j)];
                         o.Set(i, s, a / 12, (a + c) / 26);
                     }
                 }});
    r.push_back({19, "MFI", "money flows over each 10-bar window", Cached<CMFI>(), [](const KDATA* b, Out& o) {
                     for (int i = 10; i < kBars; ++i) {
                         double pos = 0, neg = 0, before = (double(b[i - 10].high) + b[i - 10].low + b[i - 10].close) / 3;
                         for (int t = i - 9; t <= i; ++t) {
                             const double tp = (double(b[t].high) + b[t].low + b[t].close) / 3;
                             if (tp > before) pos += tp * b[t].volume;
                             else if (tp < before) neg += tp * b[t].volume;
                             before = tp;
                         }
                         if (std::fabs(pos + neg) >= 0.0001) o.Set(i, pos * 100 / (pos + neg));
                     }
                 }});
    r.push_back({20, "VMACD", "EMAs 12/26/9 of the volume from bar 0 with precomputed weights", Cached<CVMACD>(),
                 [](const KDATA* b, Out& o) {
                     double lo, hi;
                     velmora_bench::PlainMACD<false>(b, kBars, 12, 26, 9, o, &lo, &hi, VolumeOf());
                 }});
    r.push_back({21, "WVAD", "each 24-bar window's weighted volume", Cached<CWVAD>(), [](const KDATA* b, Out& o) {
                     for (int i = 23; i < kBars; ++i) {
                         double s = 0;
                         for (int t = i - 23; t <= i; ++t) {
                             const double range = double(b[t].high) - b[t].low;
                             if (range > 0.0001) s += (double(b[t].close) - b[t].open) * b[t].volume / range;
                         }
                         o.Set(i, s);
                     }
                 }});
    r.push_back({22, "EMV", "each 14-bar window's ease of movement and its 9-bar average", Cached<CEMV>(),
                 [](const KDATA* b, Out& o) {
                     WithAverage([b](int i, double* x) {
                         if (i < 14) return false;
                         double s = 0;
                         for (int t = i - 13; t <= i; ++t) {
                             if (!(b[t].volume > 0)) return false;
                             const double mid = (double(b[t].high) + b[t].low) / 2, before = (double(b[t - 1].high) + b[t - 1].low) / 2;
                             s += (double(b[t].high) - b[t].low) * (mid - before) * 100000.0 / b[t].volume;
                         }
                         *x = s / 14;
                         return true;
                     }, 9, o);
                 }});
    r.push_back({23, "VRSI", "running up and down volume sums and counts over 10", Cached<CVRSI>(), [](const KDATA* b, Out& o) {
                     double s[4] = {0, 0, 0, 0};
                     auto term = [b](int t, double* x) {
                         const bool up = b[t - 1].close <= b[t].close;
                         x[0] = up ? b[t].volume : 0, x[1] = up ? 0 : b[t].volume, x[2] = up, x[3] = !up;
                     };
                     for (int i = 1; i < kBars; ++i) {
                         double x[4];
                         term(i, x);
                         for (int j = 0; j < 4; ++j) s[j] += x[j];
                         if (i > 10) {
                             term(i - 10, x);
                             for (int j = 0; j < 4; ++j) s[j] -= x[j];
                         }
                         if (i < 10) continue;
                         const double up = s[2] > 0 ? s[0] / s[2] : 0, down = s[3] > 0 ? s[1] / s[3] : 0;
                         o.Set(i, down < 0.0001 ? 100 : 100 - 100 / (up / down + 1));
                     }
                 }});
    r.push_back({24, "NVRSI", "running rising and all volume sums over 10", Cached<CNVRSI>(), [](const KDATA* b, Out& o) {
                     double up = 0, all = 0;
                     for (int i = 1; i < kBars; ++i) {
                         up += b[i].volume > b[i - 1].volume ? b[i].volume : 0, all += b[i].volume;
                         if (i > 10) up -= b[i - 10].volume > b[i - 11].volume ? b[i - 10].volume : 0, all -= b[i - 10].volume;
                         if (i >= 10) o.Set(i, all < 0.0001 ? 50 : up * 100 / all);
                     }
                 }});
    r.push_back({25, "AD", "a running sum of 8 bars' accumulation", Cached<CAD>(), [](const KDATA* b, Out& o) {
                     double ring[8] = {0, 0, 0, 0, 0, 0, 0, 0}, s = 0;
                     double* line = o[0];
                     for (int i = 0; i < kBars; ++i) {
                         __builtin_prefetch(b + i + 16);
                         const double h = b[i].high, l = b[i].low, c = b[i].close;
                         const double x = h - l > 0.0001 ? ((c - l) - (h - c)) * b[i].volume / (h - l) : 0;
                         s += x - ring[i & 7];
                         ring[i & 7] = x;
                         if (i >= 7) line[i] = s;
                     }
                 }});
    r.push_back({26, "CI", "each bar's body over its range times its volume", Cached<CCI>(), [](const KDATA* b, Out& o) {
                     for (int i = 0; i < kBars; ++i) {
                         const double range = double(b[i].high) - b[i].low;
                         if (range >= 0.0001) o.Set(i, (double(b[i].close) - b[i].open) / range * b[i].volume);
                     }
                 }});
    r.push_back({27, "KDJ", "9-bar extremes and the K, D smoothing from bar 0", Cached<CKDJ>(),
                 [](const KDATA* b, Out& o) { KdjLoop(b, 9, 3, 3, o); }});
    r.push_back({28, "R", "20-bar extremes", Cached<CR>(), [](const KDATA* b, Out& o) {
                     for (int i = 19; i < kBars; ++i) {
                         double h = b[i].high, l = b[i].low;
                         for (int t = i - 19; t < i; ++t) h = std::max(h, double(b[t].high)), l = std::min(l, double(b[t].low));
                         o.Set(i, h - l < 0.0001 ? 100 : (h - b[i].close) * 100 / (h - l));
                     }
                 }});
    r.push_back({29, "RSI", "running rise and fall sums over 10 and 20", Cached<CRSI>(), [](const KDATA* b, Out& o) {
                     const int d[2] = {10, 20};
                     for (int l = 0; l < 2; ++l) {
                         double u = 0, f = 0;
                         for (int i = 1; i < kBars; ++i) {
                             const double c = P(b, i) - P(b, i - 1);
                             u += c > 0 ? c : 0, f += c < 0 ? -c : 0;
                             if (i > d[l]) {
                                 const double e = P(b, i - d[l]) - P(b, i - d[l] - 1);
                                 u -= e > 0 ? e : 0, f -= e < 0 ? -e : 0;
                             }
                             if (i >= d[l]) o.v[l][size_t(i)] = u + f < 0.0001 ? 100 : u * 100 / (u + f);
                         }
                     }
                 }});
    r.push_back({30, "BIAS", "a running sum of 10 closes", Cached<CBIAS>(), [](const KDATA* b, Out& o) {
                     double s = 0;
                     for (int i = 0; i < kBars; ++i) {
                         s += P(b, i);
                         if (i >= 10) s -= P(b, i - 10);
                         if (i >= 9) o.Set(i, (P(b, i) - s / 10) * 100 / (s / 10));
                     }
                 }});
    r.push_back({31, "MTM", "close over the close 10 bars back and a running 10-value sum", Cached<CMTM>(),
                 [](const KDATA* b, Out& o) {
                     WithAverage([b](int i, double* x) {
                         if (i < 10 || !(P(b, i - 10) > 0)) return false;
                         *x = P(b, i) * 100 / P(b, i - 10);
                         return true;
                     }, 10, o);
                 }});
    r.push_back({32, "DMI", "running DM and TR sums over 7 and the ADX from bar 0", Cached<CDMI>(), [](const KDATA* b, Out& o) {
                     const int n = 7;
                     double s[3] = {0, 0, 0}, adx = 0;
                     std::vector<double> past(size_t(n + 1), 0.0);
                     auto term = [b](int t, double* x) {
                         const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
                         x[0] = AtLeastZero(h - b[t - 1].high), x[1] = AtLeastZero(double(b[t - 1].low) - l);
                         x[2] = std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c)));
                     };
                     for (int i = 1; i < kBars; ++i) {
                         double x[3];
                         term(i, x);
                         for (int j = 0; j < 3; ++j) s[j] += x[j];
                         if (i > n) {
                             term(i - n, x);
                             for (int j = 0; j < 3; ++j) s[j] -= x[j];
                         }
                         double p = 0, m = 0;
                         const bool has = i >= n && std::fabs(s[2]) >= 0.0001 && std::fabs(s[0] + s[1]) >= 0.0001;
                         if (has) {
                             p = s[0] * 100 / s[2], m = s[1] * 100 / s[2];
                             adx = ((n - 1) * adx + std::fabs(p - m) * 100 / (p + m)) / n;
                         }
                         past[size_t(i % (n + 1))] = adx;
                         if (has && i >= 2 * n) o.Set(i, p, m, adx, (adx + past[size_t((i - n) % (n + 1))]) / 2);
                     }
                 }});
    r.push_back({33, "ROC", "change over 10 bars and a running 10-value sum", Cached<CROC>(), [](const KDATA* b, Out& o) {
                     WithAverage([b](int i, double* x) {
                         if (i < 10 || !(P(b, i) > 0) || !(P(b, i - 10) > 0)) return false;
                         *x = (P(b, i) - P(b, i - 10)) * 100 / P(b, i - 10);
                         return true;
                     }, 10, o);
                 }});
    r.push_back({34, "CCI", "a running typical-price sum, each window's mean deviation, a 10-bar average",
                 Cached<CCCI>(), [](const KDATA* b, Out& o) {
                     double s = 0;
                     auto tp = [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; };
                     WithAverage([&](int i, double* x) {
                         s += tp(i);
                         if (i >= 14) s -= tp(i - 14);
                         if (i < 13) return false;
                         const double a = s / 14;
                         double md = 0;
                         for (int t = i - 13; t <= i; ++t) md += std::fabs(tp(t) - a);
                         md /= 14;
                         if (md < 0.0001) return false;
                         *x = (tp(i) - a) / (0.015 * md);
                         return true;
                     }, 10, o);
                 }});
    r.push_back({35, "CV", "a running sum of 10 ranges", Cached<CCV>(), [](const KDATA* b, Out& o) {
                     std::vector<double>& a = o.v[1];
                     double s = 0;
                     for (int i = 0; i < kBars; ++i) {
                         s += double(b[i].high) - b[i].low;
                         if (i >= 10) s -= double(b[i - 10].high) - b[i - 10].low;
                         a[size_t(i)] = s / 10;
                         if (i >= 18 && std::fabs(a[size_t(i - 9)]) >= 0.0001)
                             o.Set(i, (a[size_t(i)] - a[size_t(i - 9)]) * 100 / a[size_t(i - 9)]);
                     }
                 }});
    r.push_back({36, "ARBR", "running sums of the four AR and BR terms over 26", Cached<CARBR>(), [](const KDATA* b, Out& o) {
                     double s[4] = {0, 0, 0, 0};
                     auto term = [b](int t, double* x) {
                         const double h = b[t].high, l = b[t].low, op = b[t].open, c = b[t - 1].close;
                         x[0] = h - op, x[1] = op - l, x[2] = AtLeastZero(h - c), x[3] = AtLeastZero(c - l);
                     };
                     for (int i = 1; i < kBars; ++i) {
                         double x[4];
                         term(i, x);
                         for (int j = 0; j < 4; ++j) s[j] += x[j];
                         if (i > 26) {
                             term(i - 26, x);
                             for (int j = 0; j < 4; ++j) s[j] -= x[j];
                         }
                         if (i >= 26 && s[1] >= 0.0001 && s[3] >= 0.0001) o.Set(i, s[0] * 100 / s[1], s[2] * 100 / s[3]);
                     }
                 }});
    r.push_back({37, "CR", "running CR sums over 26 and the sums of its last 10/20/40/62 values", Cached<CCR>(),
                 [](const KDATA* b, Out& o) {
                     double s[2] = {0, 0};
                     std::vector<double>& cr = o.v[0];
                     auto term = [b](int t, double* x) {
                         const double mid = (double(b[t - 1].high) + b[t - 1].low + b[t - 1].open + b[t - 1].close) / 4;
                         x[0] = AtLeastZero(b[t].high - mid), x[1] = AtLeastZero(mid - b[t].low);
                     };
                     for (int i = 1; i < kBars; ++i) {
                         double x[2];
                         term(i, x);
                         s[0] += x[0], s[1] += x[1];
                         if (i > 26) term(i - 26, x), s[0] -= x[0], s[1] -= x[1];
                         if (i < 26 || s[1] < 0.0001) continue;
                         cr[size_t(i)] = s[0] * 100 / s[1];
                         if (i < 87) continue;
                         double sum = 0, a[4];
                         for (int j = 0; j < 62; ++j) {
                             sum += cr[size_t(i - j)];
                             if (j == 9) a[0] = sum / 10;
                             if (j == 19) a[1] = sum / 20;
                             if (j == 39) a[2] = sum / 40;
                         }
                         a[3] = sum / 62;
                         o.Set(i, cr[size_t(i)], a[0], a[1], a[2], a[3]);
                     }
                 }});
    r.push_back({38, "OSC", "a running sum of 10 closes and a 6-bar average", Cached<COSC>(), [](const KDATA* b, Out& o) {
                     double s = 0;
                     WithAverage([&](int i, double* x) {
                         s += P(b, i);
                         if (i >= 10) s -= P(b, i - 10);
                         if (i < 9) return false;
                         *x = P(b, i) / (s / 10);
                         return true;
                     }, 6, o);
                 }});
    r.push_back({39, "UOS", "running sums of 7, 14 and 28 closes and a 6-bar average", Cached<CUOS>(), [](const KDATA* b, Out& o) {
                     double s[3] = {0, 0, 0};
                     const int d[3] = {7, 14, 28};
                     WithAverage([&](int i, double* x) {
                         double u = 0;
                         for (int j = 0; j < 3; ++j) {
                             s[j] += P(b, i);
                             if (i >= d[j]) s[j] -= P(b, i - d[j]);
                             u += P(b, i) / (s[j] / d[j]);
                         }
                         if (i < 27) return false;
                         *x = u / 3;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({40, "MAOSC", "running sums of 6 and 12 closes and a 6-bar average", Cached<CMAOSC>(), [](const KDATA* b, Out& o) {
                     double s6 = 0, s12 = 0;
                     WithAverage([&](int i, double* x) {
                         s6 += P(b, i), s12 += P(b, i);
                         if (i >= 6) s6 -= P(b, i - 6);
                         if (i >= 12) s12 -= P(b, i - 12);
                         if (i < 11) return false;
                         *x = s6 / 6 - s12 / 12;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({41, "36BIAS", "the last 3 and 6 closes", Cached<C36BIAS>(), [](const KDATA* b, Out& o) {
                     for (int i = 5; i < kBars; ++i) {
                         const double three = P(b, i) + P(b, i - 1) + P(b, i - 2);
                         o.Set(i, three / 3 - (three + P(b, i - 3) + P(b, i - 4) + P(b, i - 5)) / 6);
                     }
                 }});
    r.push_back({42, "DPO", "a running sum of 20 closes ending 9 bars back and a 6-bar average", Cached<CDPO>(),
                 [](const KDATA* b, Out& o) {
                     double s = 0;
                     WithAverage([&](int i, double* x) {
                         if (i < 9) return false;
                         s += P(b, i - 9);
                         if (i - 9 >= 20) s -= P(b, i - 29);
                         if (i < 28) return false;
                         *x = P(b, i) - s / 20;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({43, "KST", "four weighted changes and a 6-bar average", Cached<CKST>(), [](const KDATA* b, Out& o) {
                     const int d[4] = {9, 12, 18, 24};
                     WithAverage([b, &d](int i, double* x) {
                         if (i < 24) return false;
                         double s = 0;
                         for (int j = 0; j < 4; ++j) s += (j + 1) * ((P(b, i) - P(b, i - d[j])) * 100 / P(b, i - d[j]));
                         *x = s / 10;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({44, "REI", "running REI sums over 8", Cached<CREI>(), [](const KDATA* b, Out& o) {
                     double s[2] = {0, 0};
                     auto term = [b](int t, double* x) {
                         const double dh = double(b[t].high) - b[t - 2].high, dl = double(b[t].low) - b[t - 2].low;
                         const bool up = b[t - 7].close > b[t - 2].high && b[t - 8].close > b[t - 2].high &&
                                         b[t - 5].low > b[t].high && b[t - 6].low > b[t].high;
                         const bool down = b[t - 7].close < b[t - 2].low && b[t - 8].close < b[t - 2].low &&
                                           b[t - 5].high < b[t].low && b[t - 6].high < b[t].low;
                         x[0] = up || down ? 0 : dh + dl, x[1] = std::fabs(dh) + std::fabs(dl);
                     };
                     for (int i = 8; i < kBars; ++i) {
                         double x[2];
                         term(i, x);
                         s[0] += x[0], s[1] += x[1];
                         if (i >= 16) term(i - 8, x), s[0] -= x[0], s[1] -= x[1];
                         if (i >= 15 && std::fabs(s[1]) >= 0.0001) o.Set(i, s[0] / s[1]);
                     }
                 }});
    r.push_back({45, "DMKI", "running up and down sums over 13", Cached<CDMKI>(), [](const KDATA* b, Out& o) {
                     double u = 0, d = 0;
                     for (int i = 1; i < kBars; ++i) {
                         u += AtLeastZero(double(b[i].high) - b[i - 1].high), d += AtLeastZero(double(b[i - 1].low) - b[i].low);
                         if (i > 13)
                             u -= AtLeastZero(double(b[i - 13].high) - b[i - 14].high),
                                 d -= AtLeastZero(double(b[i - 14].low) - b[i - 13].low);
                         if (i >= 13 && std::fabs(u + d) >= 0.0001) o.Set(i, u / (u + d));
                     }
                 }});
    r.push_back({46, "PCNT", "one-bar change and a 6-bar average", Cached<CPCNT>(), [](const KDATA* b, Out& o) {
                     WithAverage([b](int i, double* x) {
                         if (i < 1) return false;
                         *x = (P(b, i) - P(b, i - 1)) * 100 / P(b, i - 1);
                         return true;
                     }, 6, o);
                 }});
    r.push_back({47, "HLC", "a running sum of 12 weighted prices and a 6-bar average", Cached<CHLC>(), [](const KDATA* b, Out& o) {
                     double s = 0;
                     auto w = [b](int t) { return (double(b[t].high) + b[t].low + 2.0 * b[t].close) / 4; };
                     WithAverage([&](int i, double* x) {
                         s += w(i);
                         if (i >= 12) s -= w(i - 12);
                         if (i < 11) return false;
                         *x = s / 12;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({48, "CDP", "the previous bar's four levels", Cached<CCDP>(), [](const KDATA* b, Out& o) {
                     for (int i = 1; i < kBars; ++i) {
                         const double h = b[i - 1].high, l = b[i - 1].low, c = b[i - 1].close, cdp = (h + l + 2 * c) / 4;
                         o.Set(i, cdp + (h - l), 2 * cdp - l, cdp - (h - l), 2 * cdp - h);
                     }
                 }});
    r.push_back({49, "ASI", "the swing indexes of the last 6 counting bars", Cached<CASI>(), [](const KDATA* b, Out& o) {
                     auto si = [b](int t, double* x) {
                         const double a = std::fabs(double(b[t].high) - b[t - 1].close), l = std::fabs(double(b[t].low) - b[t - 1].close);
                         const double c = std::fabs(double(b[t].high) - b[t - 1].low), d = std::fabs(double(b[t - 1].close) - b[t - 1].open);
                         const double e = double(b[t].close) - b[t].open;
                         if (a < 0.0001 || l < 0.0001 || d < 0.0001 || std::fabs(e) < 0.0001) return false;
                         const double r = a >= l && a >= c ? a + l / 2 + d / 4 : l >= a && l >= c ? l + a / 2 + d / 4 : c + d / 4;
                         *x = 50 * ((double(b[t].close) - b[t - 1].close) + e / 2 + (double(b[t - 1].close) - b[t - 1].open)) / (3 * r);
                         return true;
                     };
                     for (int i = 6; i < kBars; ++i) {
                         double s = 0, x;
                         int got = 0;
                         for (int t = i; t >= 1 && t > i - 30 && got < 6; --t)
                             if (si(t, &x)) s += x, ++got;
                         if (got == 6) o.Set(i, s);
                     }
                 }});
    r.push_back({50, "ATR", "a running sum of 14 true ranges", Cached<CATR>(), [](const KDATA* b, Out& o) {
                     double s = 0;
                     auto tr = [b](int t) {
                         const double h = b[t].high, l = b[t].low, c = b[t - 1].close;
                         return std::max(h - l, std::max(std::fabs(h - c), std::fabs(l - c)));
                     };
                     for (int i = 1; i < kBars; ++i) {
                         s += tr(i);
                         if (i > 14) s -= tr(i - 14);
                         if (i >= 14) o.Set(i, s / 14);
                     }
                 }});
    r.push_back({51, "CYO", "four weighted close ratios and a 6-bar average", Cached<CCYO>(), [](const KDATA* b, Out& o) {
                     const int d[4] = {9, 12, 18, 24};
                     WithAverage([b, &d](int i, double* x) {
                         if (i < 24) return false;
                         double s = 0;
                         for (int j = 0; j < 4; ++j) s += (j + 1) * (P(b, i) * 100 / P(b, i - d[j]));
                         *x = s / 10;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({52, "DCYO", "the last 6 CYO values and a 6-bar average", Cached<CDCYO>(), [](const KDATA* b, Out& o) {
                     const int d[4] = {9, 12, 18, 24};
                     auto cyo = [b, &d](int i) {
                         double s = 0;
                         for (int j = 0; j < 4; ++j) s += (j + 1) * (P(b, i) * 100 / P(b, i - d[j]));
                         return s / 10;
                     };
                     WithAverage([&](int i, double* x) {
                         if (i < 29) return false;
                         double s = 0;
                         for (int t = i - 5; t <= i; ++t) s += cyo(t);
                         *x = s / 6;
                         return true;
                     }, 6, o);
                 }});
    r.push_back({53, "HSL", "a stock without a turnover (1 a bar) and the direct sums of its last 30 and 6 values",
                 Cached<CHSL>(), [](const KDATA*, Out& o) {
                     std::vector<double>& h = o.v[3];
                     const CStockInfo none;
                     for (int i = 0; i < kBars; ++i) {
                         h[size_t(i)] = none.GetStockCode()[0] ? 0 : 1;
                         double a = 0, c = 0;
                         if (i >= 29)
                             for (int t = i; t > i - 30; --t) a += h[size_t(t)];
                         if (i >= 5)
                             for (int t = i; t > i - 6; --t) c += h[size_t(t)];
                         o.Set(i, h[size_t(i)], a / 30, c / 6);
                     }
                 }});
    r.push_back({54, "DPER", "a running 24-close sum, 30 comparisons per bar and a 6-bar average", Cached<CDPER>(),
                 [](const KDATA* b, Out& o) {
                     std::vector<double>& d = o.v[2];
                     double s = 0;
                     for (int j = 1; j < kBars; ++j) {
                         s += P(b, j - 1);
                         if (j - 1 >= 24) s -= P(b, j - 25);
                         if (j >= 24) d[size_t(j)] = P(b, j) - s / 24;
                     }
                     WithAverage([&d](int i, double* x) {
                         if (i < 54) return false;
                         int below = 0;
                         for (int j = i - 30; j < i; ++j) below += d[size_t(j)] < d[size_t(i)];
                         *x = below * 100.0 / 30;
                         return true;
                     }, 6, o);
                 }});
    const int self[3][2] = {{55, 42}, {56, 22}, {57, 62}};
    for (int s = 0; s < 3; ++s) {
        const int nl = self[s][1];
        ClassRun byClass =
            s == 0 ? Cached<CSelfTechnique2>() : s == 1 ? Cached<CSelfTechnique3>() : Cached<CSelfTechnique4>();
        r.push_back({self[s][0], s == 0 ? "JPBD" : s == 1 ? "DKNL" : "JPTD", "EMAs 5/N/9 from bar 0 with precomputed weights", byClass,
                     [nl](const KDATA* b, Out& o) { SelfMacdLoop(b, nl, false, o); }});
    }
    r.push_back({58, "HDLY", "9-bar extremes and the K, D smoothing from bar 0", Cached<CSelfTechnique5>(),
                 [](const KDATA* b, Out& o) { KdjLoop(b, 9, 3, 3, o); }});
    return r;
}

std::vector<Row>& Table() {
    static std::vector<Row> rows = Rows();
    return rows;
}

// The rows whose class reads the series' columns on a whole-series pass.
bool ReadsColumns(const Row& row) {
    for (const char* name : {"BOLL", "VOLUME", "VROC", "MTM", "ROC", "MAOSC", "PCNT", "JPBD", "DKNL", "JPTD"})
        if (std::strcmp(row.name, name) == 0) return true;
    return false;
}

// Makes the series' columns stale: the non-const accessor counts as a change, so the next pass
// reads the columns from the records again.
void DropColumns(CKData& k) { benchmark::DoNotOptimize(k.GetData()); }

// peers_bench includes this file for its rows, its series and its plain loops.
#ifndef VELMORA_INDICATOR_ROWS_ONLY
// Each loop must give the class's lines: a few bars are compared once before timing.
bool SameLines(const CKData& k) {
    const int bars[] = {100, 1000, 123457, kBars / 2, kBars - 1};
    bool same = true;
    for (const Row& row : Table()) {
        Bound c = row.byClass();
        if (!c.tech) continue;
        c.run(const_cast<CKData&>(k));
        std::unique_ptr<Out> out(new Out);
        row.byLoop(k.GetData(), *out);
        int compared = 0;
        if (CMA* ma = dynamic_cast<CMA*>(c.tech.get())) {
            double lo, hi;
            ma->GetMinMaxInfo(0, kBars - 1, &lo, &hi);
            compared = 2;
            CTechnique::WidenRange(&out->lo, &out->hi);  // as the class gives its range
            if (std::fabs(lo - out->lo) > 1e-6 * std::max(1.0, std::fabs(lo)) ||
                std::fabs(hi - out->hi) > 1e-6 * std::max(1.0, std::fabs(hi))) {
                std::printf("%d %s: the loop gives the range %.10g..%.10g, the class %.10g..%.10g\n", row.id, row.name,
                            out->lo, out->hi, lo, hi);
                same = false;
            }
        }
        for (int i : bars)
            for (int line = 1; line <= 5; ++line) {
                double want;
                if (!c.tech->GetCached(line, i, &want)) continue;
                const double got = out->v[line - 1][size_t(i)];
                ++compared;
                if (std::fabs(got - want) > 1e-6 * std::max(1.0, std::fabs(want))) {
                    std::printf("%d %s: the loop gives %.10g for line %d of bar %d, the class %.10g\n", row.id, row.name,
                                got, line, i, want);
                    same = false;
                }
            }
        if (compared == 0) {
            std::printf("%d %s: the class cached none of the bars compared\n", row.id, row.name);
            same = false;
        }
    }
    return same;
}

std::string ClassName(const Row& row) { return "class/" + std::to_string(row.id) + "/" + row.name; }
std::string LoopName(const Row& row) { return "loop/" + std::to_string(row.id) + "/" + row.name; }
#endif

}  // namespace

#ifndef VELMORA_INDICATOR_ROWS_ONLY
int main(int argc, char** argv) {
    CKData& k = const_cast<CKData&>(Series());
    if (!SameLines(k)) return 1;
    std::vector<velmora_bench::Pair> pairs;
    for (const Row& row : Table()) {
        benchmark::RegisterBenchmark(ClassName(row).c_str(), [&row, &k](benchmark::State& state) {
            std::function<void(CKData&)> run = row.byClass().run;
            for (auto _ : state) run(k);
        })->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark(LoopName(row).c_str(), [&row, &k](benchmark::State& state) {
            Out out;
            for (auto _ : state) {
                out.Reset();
                row.byLoop(k.GetData(), out);
                benchmark::DoNotOptimize(out.v[0].data());
                benchmark::ClobberMemory();
            }
        })->Unit(benchmark::kMillisecond)->MinTime(0.3);
        const std::string label = std::to_string(row.id) + " " + row.name + " over 1,000,000 bars (loop: " + row.loop + ")";
        if (!ReadsColumns(row)) {
            pairs.push_back({ClassName(row), LoopName(row), label, 0.8});
            continue;
        }
        pairs.push_back({ClassName(row), LoopName(row),
                         label + "; ours finds the series' columns already read, as a chart's indicators after the first do", 0.8});
        const std::string cold = "cold/" + std::to_string(row.id) + "/" + row.name;
        benchmark::RegisterBenchmark(cold.c_str(), [&row, &k](benchmark::State& state) {
            std::function<void(CKData&)> run = row.byClass().run;
            for (auto _ : state) {
                DropColumns(k);
                run(k);
            }
        })->Unit(benchmark::kMillisecond)->MinTime(0.3);
        pairs.push_back({cold, LoopName(row),
                         label + "; COLD: the series' columns read from the records inside each timed run (shown, no goal)", 0.0});
    }
    return velmora_bench::RunAndReport(argc, argv, pairs);
}
#endif
