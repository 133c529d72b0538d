// Our whole-series indicators against two general-purpose libraries, Tulip Indicators and TA-Lib,
// built from their published packages by bench/peers/fetch-and-build.sh. On indicators_bench's
// 1,000,000 bars, every indicator whose lines a library computes with our definition prints the
// library's time over ours (median of 5; below 1 the library is faster) beside our plain loop's
// ratio. Before timing, a few bars of every library line are checked against our class's values;
// a library line that differs is left out and said so.
// Rows shaped like a library indicator whose definition differs are checked too, to show the
// difference, and never timed; every other indicator of ours has no counterpart in either library.
#define VELMORA_INDICATOR_ROWS_ONLY
#include "indicators_bench.cpp"

#include <initializer_list>
#include <map>

#include "indicators.h"
#include "ta_libc.h"

namespace {

// The bar columns the libraries take, made once before timing: their time leaves this out.
struct Columns {
    std::vector<double> open, high, low, close, volume;
};

const Columns& Cols() {
    static Columns c = [] {
        Columns s;
        const KDATA* b = Series().GetData();
        for (std::vector<double>* v : {&s.open, &s.high, &s.low, &s.close, &s.volume}) v->resize(size_t(kBars));
        for (int i = 0; i < kBars; ++i) {
            s.open[size_t(i)] = b[i].open, s.high[size_t(i)] = b[i].high, s.low[size_t(i)] = b[i].low;
            s.close[size_t(i)] = b[i].close, s.volume[size_t(i)] = b[i].volume;
        }
        return s;
    }();
    return c;
}

// A library's lines: line k's value for bar i is v[k][i - beg[k]].
struct PeerOut {
    std::vector<double> v[6];
    std::vector<double> price;  // a price column the library is given, made in the timed run
    int beg[6] = {0, 0, 0, 0, 0, 0};
    PeerOut() {
        for (std::vector<double>& l : v) l.assign(size_t(kBars), 0.0);
        price.assign(size_t(kBars), 0.0);
    }
    double* operator[](int k) { return v[k].data(); }
    int Count(int k) const { return kBars - beg[k]; }
    bool At(int k, int i, double* x) const {
        if (i < beg[k]) return false;
        *x = v[k][size_t(i - beg[k])];
        return true;
    }
};

using PeerRun = std::function<void(const Columns&, PeerOut&)>;

using TiFn = int (*)(int, TI_REAL const* const*, TI_REAL const*, TI_REAL* const*);
using TiStart = int (*)(TI_REAL const*);

// A Tulip indicator over the values from bar `from` on; its outputs go to lines `lines` of o.
void Tulip(TiFn fn, TiStart start, int from, std::initializer_list<const double*> in,
           std::initializer_list<double> opt, PeerOut& o, std::initializer_list<int> lines) {
    double* outs[6] = {};
    int j = 0;
    for (int k : lines) outs[j++] = o[k];
    fn(kBars - from, in.begin(), opt.begin(), outs);
    for (int k : lines) o.beg[k] = from + start(opt.begin());
}

// Tulip's simple average of line `src` into line `dst`.
void TulipSMA(PeerOut& o, int src, int dst, int period) {
    Tulip(ti_sma, ti_sma_start, o.beg[src], {o[src]}, {double(period)}, o, {dst});
}

// TA-Lib's simple average of line `src` into line `dst`.
void TalibSMA(PeerOut& o, int src, int dst, int period) {
    int b = 0, n = 0;
    TA_SMA(0, o.Count(src) - 1, o[src], period, &b, &n, o[dst]);
    o.beg[dst] = o.beg[src] + b;
}

// our line `ours` (1-based, as the class caches it) = scale * library line `theirs` + offset.
struct Map {
    int ours, theirs;
    double scale = 1, offset = 0;
};

struct Peer {
    const char* calls = nullptr;  // null: the library has no such indicator
    PeerRun run;
    std::vector<Map> lines;
    const char* differs = nullptr;  // how its definition differs from ours: checked, never timed
};

// Our value of a line at a bar, for the check: the class's cache unless the row says otherwise.
using Reference = std::function<bool(const CTechnique*, int line, int bar, double*)>;

struct PeerRow {
    int id;  // indicators_bench's row: our class and its plain loop
    Peer tulip, talib;
    Reference ref = nullptr;
};

std::vector<Map> Lines(std::initializer_list<int> ours, double scale = 1, double offset = 0) {
    std::vector<Map> m;
    int theirs = 0;
    for (int l : ours) m.push_back({l, theirs++, scale, offset});
    return m;
}

Peer TulipMACD(const std::vector<double> Columns::*col, int s, int l, int g, const char* differs = nullptr) {
    return {"macd (its macd and signal lines)", [=](const Columns& c, PeerOut& o) {
                Tulip(ti_macd, ti_macd_start, 0, {(c.*col).data()}, {double(s), double(l), double(g)}, o, {0, 1, 2});
            },
            Lines({3, 4}), differs};
}

// A library call of our definition's shape that gives other values: checked to show it, never timed.
Peer Differing(const char* calls, PeerRun run, std::vector<Map> lines, const char* why) {
    return {calls, run, lines, why};
}

// The TA-Lib calls of one output line over high, low and close with one period.
using TalibHLC = TA_RetCode (*)(int, int, const double*, const double*, const double*, int, int*, int*, double*);
PeerRun TalibLine(TalibHLC fn, int period) {
    return [=](const Columns& c, PeerOut& o) {
        int b = 0, n = 0;
        fn(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), period, &b, &n, o[0]);
        o.beg[0] = b;
    };
}

Peer TalibMACD(const std::vector<double> Columns::*col, int s, int l, int g) {
    return {"TA_MACD (its MACD and signal lines)", [=](const Columns& c, PeerOut& o) {
                int b = 0, n = 0;
                TA_MACD(0, kBars - 1, (c.*col).data(), s, l, g, &b, &n, o[0], o[1], o[2]);
                o.beg[0] = o.beg[1] = o.beg[2] = b;
            },
            Lines({3, 4})};
}

// A change over `days` bars and its `avg`-bar average; Tulip gives the fraction, we the percent.
Peer TulipROC(const std::vector<double> Columns::*col, int days, int avg) {
    return {"roc, sma of it", [=](const Columns& c, PeerOut& o) {
                Tulip(ti_roc, ti_roc_start, 0, {(c.*col).data()}, {double(days)}, o, {0});
                TulipSMA(o, 0, 1, avg);
            },
            Lines({1, 2}, 100)};
}

Peer TalibROC(const std::vector<double> Columns::*col, int days, int avg) {
    return {"TA_ROC, TA_SMA of it", [=](const Columns& c, PeerOut& o) {
                int b = 0, n = 0;
                TA_ROC(0, kBars - 1, (c.*col).data(), days, &b, &n, o[0]);
                o.beg[0] = b;
                TalibSMA(o, 0, 1, avg);
            },
            Lines({1, 2})};
}

Peer TalibKD() {
    return {"TA_STOCH 9, K and D exponential over 5 (weight 1/3; J not computed)", [](const Columns& c, PeerOut& o) {
                int b = 0, n = 0;
                TA_STOCH(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), 9, 5, TA_MAType_EMA, 5,
                         TA_MAType_EMA, &b, &n, o[0], o[1]);
                o.beg[0] = o.beg[1] = b;
            },
            Lines({1, 2})};
}

// The last n closes' mean: MA keeps a range, not lines.
bool MeanOfCloses(int line, int bar, double* x) {
    const int n = line == 1 ? 5 : line == 2 ? 10 : 20;
    double s = 0;
    for (int t = bar - n + 1; t <= bar; ++t) s += Series()[t].close;
    *x = s / n;
    return true;
}

std::vector<PeerRow> PeerRows() {
    using C = Columns;
    std::vector<PeerRow> r;
    r.push_back({1,
                 {"sma 5, 10, 20",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_sma, ti_sma_start, 0, {c.close.data()}, {5}, o, {0});
                      Tulip(ti_sma, ti_sma_start, 0, {c.close.data()}, {10}, o, {1});
                      Tulip(ti_sma, ti_sma_start, 0, {c.close.data()}, {20}, o, {2});
                  },
                  Lines({1, 2, 3})},
                 {"TA_SMA 5, 10, 20",
                  [](const C& c, PeerOut& o) {
                      const int d[3] = {5, 10, 20};
                      for (int k = 0; k < 3; ++k) {
                          int b = 0, n = 0;
                          TA_SMA(0, kBars - 1, c.close.data(), d[k], &b, &n, o[k]);
                          o.beg[k] = b;
                      }
                  },
                  Lines({1, 2, 3})},
                 [](const CTechnique*, int line, int bar, double* x) { return line <= 3 && MeanOfCloses(line, bar, x); }});
    // Their bands use the population deviation, ours the sample one: the width is scaled to match.
    const double width = 2 * std::sqrt(20.0 / 19.0);
    r.push_back({3,
                 {"bbands 20 with the width 2*sqrt(20/19) (their deviation divides by n, ours by n-1)",
                  [width](const C& c, PeerOut& o) {
                      Tulip(ti_bbands, ti_bbands_start, 0, {c.close.data()}, {20, width}, o, {2, 0, 1});
                  },
                  Lines({1, 2, 3})},
                 {"TA_BBANDS 20, SMA, with the width 2*sqrt(20/19) (their deviation divides by n, ours by n-1)",
                  [width](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_BBANDS(0, kBars - 1, c.close.data(), 20, width, width, TA_MAType_SMA, &b, &n, o[1], o[0], o[2]);
                      o.beg[0] = o.beg[1] = o.beg[2] = b;
                  },
                  Lines({1, 2, 3})}});
    const char* macd = "its 12/26 macd gives other values than EMAs weighing the new value 2/13 and 2/27 (its 5/N/9 one matches ours)";
    r.push_back({9, TulipMACD(&C::close, 12, 26, 9, macd), TalibMACD(&C::close, 12, 26, 9)});
    r.push_back({12,
                 {"sma 5, 10 of the volume",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_sma, ti_sma_start, 0, {c.volume.data()}, {5}, o, {0});
                      Tulip(ti_sma, ti_sma_start, 0, {c.volume.data()}, {10}, o, {1});
                  },
                  Lines({1, 2})},
                 {"TA_SMA 5, 10 of the volume",
                  [](const C& c, PeerOut& o) {
                      for (int k = 0; k < 2; ++k) {
                          int b = 0, n = 0;
                          TA_SMA(0, kBars - 1, c.volume.data(), k ? 10 : 5, &b, &n, o[k]);
                          o.beg[k] = b;
                      }
                  },
                  Lines({1, 2})}});
    // Tulip's indexes start at 1000, ours at 100; the EMA over 25 weighs the new value 2/26 as ours.
    for (int neg = 1; neg >= 0; --neg)
        r.push_back({neg ? 13 : 14,
                     {neg ? "nvi, ema 25 of it (it starts at 1000, ours at 100)" : "pvi, ema 25 of it (it starts at 1000, ours at 100)",
                      [neg](const C& c, PeerOut& o) {
                          Tulip(neg ? ti_nvi : ti_pvi, neg ? ti_nvi_start : ti_pvi_start, 0, {c.close.data(), c.volume.data()},
                                {0}, o, {0});
                          Tulip(ti_ema, ti_ema_start, o.beg[0], {o[0]}, {25}, o, {1});
                      },
                      Lines({1, 2}, 0.1)},
                     {}});
    r.push_back({16, TulipROC(&C::volume, 10, 10), TalibROC(&C::volume, 10, 10)});
    // Tulip's OBV starts at 0, ours (and TA-Lib's) at the first bar's volume.
    const double first = Series()[0].volume;
    r.push_back({17,
                 {"obv (it starts at 0, ours at the first volume)",
                  [](const C& c, PeerOut& o) { Tulip(ti_obv, ti_obv_start, 0, {c.close.data(), c.volume.data()}, {0}, o, {0}); },
                  Lines({1}, 1, first)},
                 {"TA_OBV",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_OBV(0, kBars - 1, c.close.data(), c.volume.data(), &b, &n, o[0]);
                      o.beg[0] = b;
                  },
                  Lines({1})}});
    r.push_back({18,
                 {"obv, sma 12 and 26 of it (it starts at 0, ours at the first volume)",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_obv, ti_obv_start, 0, {c.close.data(), c.volume.data()}, {0}, o, {0});
                      TulipSMA(o, 0, 1, 12);
                      TulipSMA(o, 0, 2, 26);
                  },
                  Lines({1, 2, 3}, 1, first)},
                 {"TA_OBV, TA_SMA 12 and 26 of it",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_OBV(0, kBars - 1, c.close.data(), c.volume.data(), &b, &n, o[0]);
                      o.beg[0] = b;
                      TalibSMA(o, 0, 1, 12);
                      TalibSMA(o, 0, 2, 26);
                  },
                  Lines({1, 2, 3})}});
    r.push_back({19,
                 {"mfi 10",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_mfi, ti_mfi_start, 0, {c.high.data(), c.low.data(), c.close.data(), c.volume.data()}, {10}, o, {0});
                  },
                  Lines({1})},
                 {"TA_MFI 10",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_MFI(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), c.volume.data(), 10, &b, &n, o[0]);
                      o.beg[0] = b;
                  },
                  Lines({1})}});
    r.push_back({20, TulipMACD(&C::volume, 12, 26, 9, macd), TalibMACD(&C::volume, 12, 26, 9)});
    const Peer slowStoch = Differing(
        "stoch 9, 3, 3",
        [](const C& c, PeerOut& o) {
            Tulip(ti_stoch, ti_stoch_start, 0, {c.high.data(), c.low.data(), c.close.data()}, {9, 3, 3}, o, {0, 1});
        },
        Lines({1, 2}), "it smooths K and D with simple averages, ours exponentially from 50");
    r.push_back({27, slowStoch, TalibKD()});
    // Williams' %R is negative in both libraries, positive in ours.
    r.push_back({28,
                 {"willr 20 (negated)",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_willr, ti_willr_start, 0, {c.high.data(), c.low.data(), c.close.data()}, {20}, o, {0});
                  },
                  Lines({1}, -1)},
                 {"TA_WILLR 20 (negated)",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_WILLR(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), 20, &b, &n, o[0]);
                      o.beg[0] = b;
                  },
                  Lines({1}, -1)}});
    // Our MTM is the close over the close 10 bars back in percent: their ratio, not their momentum.
    r.push_back({31,
                 {"rocr 10, sma 10 of it (a ratio; ours in percent)",
                  [](const C& c, PeerOut& o) {
                      Tulip(ti_rocr, ti_rocr_start, 0, {c.close.data()}, {10}, o, {0});
                      TulipSMA(o, 0, 1, 10);
                  },
                  Lines({1, 2}, 100)},
                 {"TA_ROCR100 10, TA_SMA 10 of it",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_ROCR100(0, kBars - 1, c.close.data(), 10, &b, &n, o[0]);
                      o.beg[0] = b;
                      TalibSMA(o, 0, 1, 10);
                  },
                  Lines({1, 2})}});
    r.push_back({33, TulipROC(&C::close, 10, 10), TalibROC(&C::close, 10, 10)});
    // Our typical price is (H+L+2C)/4: the libraries get it as high, low and close, made in their run.
    auto weighted = [](const C& c, PeerOut& o) {
        double* p = o.price.data();
        for (int i = 0; i < kBars; ++i) p[i] = (c.high[size_t(i)] + c.low[size_t(i)] + 2.0 * c.close[size_t(i)]) / 4;
        return p;
    };
    r.push_back({34,
                 {"cci 14 given (H+L+2C)/4 as high, low and close; sma 10 of it",
                  [weighted](const C& c, PeerOut& o) {
                      const double* p = weighted(c, o);
                      Tulip(ti_cci, ti_cci_start, 0, {p, p, p}, {14}, o, {0});
                      TulipSMA(o, 0, 1, 10);
                  },
                  Lines({1, 2})},
                 {"TA_CCI 14 given (H+L+2C)/4 as high, low and close; TA_SMA 10 of it",
                  [weighted](const C& c, PeerOut& o) {
                      const double* p = weighted(c, o);
                      int b = 0, n = 0;
                      TA_CCI(0, kBars - 1, p, p, p, 14, &b, &n, o[0]);
                      o.beg[0] = b;
                      TalibSMA(o, 0, 1, 10);
                  },
                  Lines({1, 2})}});
    const char* apo = "its apo subtracts exponential averages, ours simple ones";
    r.push_back({40,
                 Differing("apo 6, 12",
                           [](const C& c, PeerOut& o) { Tulip(ti_apo, ti_apo_start, 0, {c.close.data()}, {6, 12}, o, {0}); },
                           Lines({1}), apo),
                 {"TA_APO 6, 12, SMA; TA_SMA 6 of it",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_APO(0, kBars - 1, c.close.data(), 6, 12, TA_MAType_SMA, &b, &n, o[0]);
                      o.beg[0] = b;
                      TalibSMA(o, 0, 1, 6);
                  },
                  Lines({1, 2})}});
    r.push_back({41,
                 Differing("apo 3, 6",
                           [](const C& c, PeerOut& o) { Tulip(ti_apo, ti_apo_start, 0, {c.close.data()}, {3, 6}, o, {0}); },
                           Lines({1}), apo),
                 {"TA_APO 3, 6, SMA",
                  [](const C& c, PeerOut& o) {
                      int b = 0, n = 0;
                      TA_APO(0, kBars - 1, c.close.data(), 3, 6, TA_MAType_SMA, &b, &n, o[0]);
                      o.beg[0] = b;
                  },
                  Lines({1})}});
    r.push_back({46, TulipROC(&C::close, 1, 6), TalibROC(&C::close, 1, 6)});
    // The MACD-shaped indicators of our own, with 5/N/9.
    r.push_back({55, TulipMACD(&C::close, 5, 42, 9), TalibMACD(&C::close, 5, 42, 9)});
    r.push_back({56, TulipMACD(&C::close, 5, 22, 9), TalibMACD(&C::close, 5, 22, 9)});
    r.push_back({57, TulipMACD(&C::close, 5, 62, 9), TalibMACD(&C::close, 5, 62, 9)});
    r.push_back({58, slowStoch, TalibKD()});

    // Left out: shaped like a library indicator, but defined otherwise.
    r.push_back({5,
                 Differing("psar 0.02, 0.2",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_psar, ti_psar_start, 0, {c.high.data(), c.low.data()}, {0.02, 0.2}, o, {0});
                           },
                           Lines({1}),
                           "after a reversal ours restarts at the 4-bar extreme and is never held inside the previous "
                           "bars' range; theirs restarts at the extreme point and is clamped to the previous two bars"),
                 Differing("TA_SAR 0.02, 0.2",
                           [](const C& c, PeerOut& o) {
                               int b = 0, n = 0;
                               TA_SAR(0, kBars - 1, c.high.data(), c.low.data(), 0.02, 0.2, &b, &n, o[0]);
                               o.beg[0] = b;
                           },
                           Lines({1}), "the same difference as Tulip's")});
    const char* atr = "ours is the simple 14-bar average of the true range, theirs Wilder's smoothing of it";
    r.push_back({50,
                 Differing("atr 14",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_atr, ti_atr_start, 0, {c.high.data(), c.low.data(), c.close.data()}, {14}, o, {0});
                           },
                           Lines({1}), atr),
                 Differing("TA_ATR 14", TalibLine(TA_ATR, 14), Lines({1}), atr)});
    const char* rsi = "ours sums rises and falls over the window, theirs smooths them Wilder's way";
    r.push_back({29,
                 Differing("rsi 10",
                           [](const C& c, PeerOut& o) { Tulip(ti_rsi, ti_rsi_start, 0, {c.close.data()}, {10}, o, {0}); },
                           Lines({1}), rsi),
                 Differing("TA_RSI 10",
                           [](const C& c, PeerOut& o) {
                               int b = 0, n = 0;
                               TA_RSI(0, kBars - 1, c.close.data(), 10, &b, &n, o[0]);
                               o.beg[0] = b;
                           },
                           Lines({1}), rsi)});
    const char* dmi = "ours counts both directional moves on every bar over simple 7-bar sums, theirs only the "
                      "larger one, smoothed Wilder's way";
    r.push_back({32,
                 Differing("di 7",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_di, ti_di_start, 0, {c.high.data(), c.low.data(), c.close.data()}, {7}, o, {0, 1});
                           },
                           Lines({1, 2}), dmi),
                 Differing("TA_PLUS_DI 7", TalibLine(TA_PLUS_DI, 7), Lines({1}), dmi)});
    const char* ad = "ours sums the last 8 bars' accumulation, theirs every bar's from the first";
    r.push_back({25,
                 Differing("ad",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_ad, ti_ad_start, 0, {c.high.data(), c.low.data(), c.close.data(), c.volume.data()},
                                     {0}, o, {0});
                           },
                           Lines({1}), ad),
                 Differing("TA_AD",
                           [](const C& c, PeerOut& o) {
                               int b = 0, n = 0;
                               TA_AD(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), c.volume.data(), &b, &n, o[0]);
                               o.beg[0] = b;
                           },
                           Lines({1}), ad)});
    r.push_back({22,
                 Differing("emv",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_emv, ti_emv_start, 0, {c.high.data(), c.low.data(), c.volume.data()}, {0}, o, {0});
                           },
                           Lines({1}, 10), "ours averages 14 bars' ease of movement, theirs is one bar's"),
                 {}});
    r.push_back({42,
                 Differing("dpo 20",
                           [](const C& c, PeerOut& o) { Tulip(ti_dpo, ti_dpo_start, 0, {c.close.data()}, {20}, o, {0}); },
                           Lines({1}),
                           "ours is the close less the 20-bar average ending 9 bars back, theirs a close further back "
                           "less the average ending at the bar"),
                 {}});
    r.push_back({39,
                 Differing("ultosc 7, 14, 28",
                           [](const C& c, PeerOut& o) {
                               Tulip(ti_ultosc, ti_ultosc_start, 0, {c.high.data(), c.low.data(), c.close.data()}, {7, 14, 28},
                                     o, {0});
                           },
                           Lines({1}), "ours averages closes over their averages, theirs weighs buying pressure over true ranges"),
                 Differing("TA_ULTOSC 7, 14, 28",
                           [](const C& c, PeerOut& o) {
                               int b = 0, n = 0;
                               TA_ULTOSC(0, kBars - 1, c.high.data(), c.low.data(), c.close.data(), 7, 14, 28, &b, &n, o[0]);
                               o.beg[0] = b;
                           },
                           Lines({1}), "the same difference as Tulip's")});
    r.push_back({35,
                 Differing("cvi 10",
                           [](const C& c, PeerOut& o) { Tulip(ti_cvi, ti_cvi_start, 0, {c.high.data(), c.low.data()}, {10}, o, {0}); },
                           Lines({1}), "ours changes a simple average of the range, theirs an exponential one"),
                 {}});
    return r;
}

const Row& RowOf(int id) {
    for (const Row& row : Table())
        if (row.id == id) return row;
    std::fprintf(stderr, "indicators_bench has no row %d\n", id);
    std::abort();
}

// Compares a library's lines with our class's on bars past every warm-up: empty when they are the
// same, else the first bar that differs.
std::string Differs(const PeerRow& pr, const Peer& p) {
    const Row& row = RowOf(pr.id);
    Bound ours = row.byClass();
    ours.run(const_cast<CKData&>(Series()));
    std::unique_ptr<PeerOut> out(new PeerOut);
    p.run(Cols(), *out);
    const int bars[] = {1000, 123457, kBars / 2, kBars - 1};
    for (const Map& m : p.lines)
        for (int i : bars) {
            double want, theirs;
            const bool has = pr.ref ? pr.ref(ours.tech.get(), m.ours, i, &want) : ours.tech->GetCached(m.ours, i, &want);
            char text[160];
            if (!has || !out->At(m.theirs, i, &theirs)) {
                std::snprintf(text, sizeof text, "line %d of bar %d is missing on one side", m.ours, i);
                return text;
            }
            const double got = m.scale * theirs + m.offset;
            if (std::fabs(got - want) > 1e-6 * std::max(1.0, std::fabs(want))) {
                std::snprintf(text, sizeof text, "line %d of bar %d is %.8g, ours %.8g", m.ours, i, got, want);
                return text;
            }
        }
    return "";
}

// Keeps the median of the repetitions (a single run's time when run without repetitions).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    MedianReporter() : benchmark::ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string& name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") median[name] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Iteration) single[name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        auto m = median.find(name);
        if (m != median.end()) return m->second;
        auto s = single.find(name);
        return s == single.end() ? 0 : s->second;
    }

private:
    std::map<std::string, double> median, single;
};

const char* const kLib[2] = {"Tulip Indicators", "TA-Lib"};

}  // namespace

int main(int argc, char** argv) {
    if (TA_Initialize() != TA_SUCCESS) {
        std::printf("TA-Lib does not initialise\n");
        return 1;
    }
    CKData& k = const_cast<CKData&>(Series());
    Cols();
    int status = 0;
    struct Live {
        PeerRow row;
        bool on[2];
    };
    std::vector<Live> live;
    for (const PeerRow& pr : PeerRows()) {
        Live l{pr, {false, false}};
        const Peer* p[2] = {&pr.tulip, &pr.talib};
        for (int lib = 0; lib < 2; ++lib) {
            if (!p[lib]->calls) continue;
            const std::string differs = Differs(pr, *p[lib]);
            const char* name = RowOf(pr.id).name;
            if (p[lib]->differs) {
                // The evidence for leaving it out; a match would mean the row belongs in the table.
                if (differs.empty()) {
                    std::printf("%s vs %s: %s gives our values; time it\n", name, kLib[lib], p[lib]->calls);
                    status = 1;
                } else {
                    std::printf("left out: %s vs %s (%s): %s; %s\n", name, kLib[lib], p[lib]->calls, p[lib]->differs,
                                differs.c_str());
                }
                continue;
            }
            l.on[lib] = differs.empty();
            if (!l.on[lib]) {
                std::printf("%s vs %s: %s; not the same values, left out\n", name, kLib[lib], differs.c_str());
                status = 1;
            }
        }
        if (l.on[0] || l.on[1]) live.push_back(l);
    }
    const char* const kTag[2] = {"tulip", "talib"};
    for (const Live& l : live) {
        const Row& row = RowOf(l.row.id);
        const std::string name = row.name;
        auto add = [](const std::string& n, std::function<void(benchmark::State&)> f) {
            benchmark::RegisterBenchmark(n.c_str(), f)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.1)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        };
        add("ours/" + name, [&row, &k](benchmark::State& state) {
            std::function<void(CKData&)> run = row.byClass().run;
            for (auto _ : state) run(k);
        });
        if (ReadsColumns(row))
            add("cold/" + name, [&row, &k](benchmark::State& state) {
                std::function<void(CKData&)> run = row.byClass().run;
                for (auto _ : state) {
                    DropColumns(k);
                    run(k);
                }
            });
        add("loop/" + name, [&row, &k](benchmark::State& state) {
            std::unique_ptr<Out> out(new Out);
            for (auto _ : state) {
                out->Reset();
                row.byLoop(k.GetData(), *out);
                benchmark::DoNotOptimize(out->v[0].data());
                benchmark::ClobberMemory();
            }
        });
        const Peer* p[2] = {&l.row.tulip, &l.row.talib};
        for (int lib = 0; lib < 2; ++lib) {
            if (!l.on[lib]) continue;
            const Peer* peer = p[lib];
            add(std::string(kTag[lib]) + "/" + name, [peer](benchmark::State& state) {
                std::unique_ptr<PeerOut> out(new PeerOut);
                for (auto _ : state) {
                    peer->run(Cols(), *out);
                    benchmark::DoNotOptimize(out->v[0].data());
                    benchmark::ClobberMemory();
                }
            });
        }
    }
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nTheir time over ours on 1,000,000 bars, median of 5 (below 1: they are faster); the plain loop's\n"
                "time over ours beside it. Ours: the class computing and caching every line of the whole series, as\n"
                "indicators_bench calls it; theirs: their calls on double columns made before timing.\n");
    std::printf("The plain loop: indicators_bench's single pass over our bar records writing the same lines into\n"
                "preallocated arrays (what it does for each indicator is named below).\n");
    std::printf("Rows with cold figures: our class reads the series' bar columns (close or volume as doubles, kept\n"
                "by the series until its bars change); the first figures find them already read, as a chart's\n"
                "indicators after the first do; the cold ones (Tulip cold, TA-Lib cold: their time over ours) read\n"
                "the columns from the records inside each timed run. The goal lines use the first figures.\n\n");
    std::printf("%-8s  %16s  %8s  %10s  %10s  %11s\n", "", kLib[0], kLib[1], "plain loop", "Tulip cold", "TA-Lib cold");
    std::vector<std::string> goals;
    for (const Live& l : live) {
        const Row& row = RowOf(l.row.id);
        const std::string name = row.name;
        const double ours = reporter.Time("ours/" + name), loop = reporter.Time("loop/" + name);
        if (ours <= 0) continue;
        char cell[2][32];
        for (int lib = 0; lib < 2; ++lib) {
            const double theirs = l.on[lib] ? reporter.Time(std::string(kTag[lib]) + "/" + name) : 0;
            if (theirs <= 0) {
                std::snprintf(cell[lib], sizeof cell[lib], "-");
                continue;
            }
            const double ratio = theirs / ours;
            std::snprintf(cell[lib], sizeof cell[lib], "%.2f", ratio);
            char line[256];
            std::snprintf(line, sizeof line,
                          "%s vs %s: ratio %.3f = their time / our time, median of 5 (1 = as fast, goal at least 1.00)%s",
                          name.c_str(), kLib[lib], ratio, ratio >= 1.0 ? "" : "  BELOW GOAL");
            goals.push_back(line);
            if (ratio < 1.0) status = 1;
        }
        char cold[2][32] = {"-", "-"};
        const double coldOurs = reporter.Time("cold/" + name);
        for (int lib = 0; lib < 2 && coldOurs > 0; ++lib) {
            const double theirs = l.on[lib] ? reporter.Time(std::string(kTag[lib]) + "/" + name) : 0;
            if (theirs > 0) std::snprintf(cold[lib], sizeof cold[lib], "%.2f", theirs / coldOurs);
        }
        std::printf("%-8s  %16s  %8s  %10.2f  %10s  %11s\n", name.c_str(), cell[0], cell[1], loop > 0 ? loop / ours : 0.0,
                    cold[0], cold[1]);
    }
    std::printf("\n");
    for (const Live& l : live) {
        const Row& row = RowOf(l.row.id);
        std::printf("%s: the plain loop %s", row.name, row.loop);
        if (l.on[0]) std::printf("; Tulip: %s", l.row.tulip.calls);
        if (l.on[1]) std::printf("; TA-Lib: %s", l.row.talib.calls);
        std::printf("\n");
    }
    std::printf("\n");
    for (const std::string& g : goals) std::printf("%s\n", g.c_str());
    benchmark::Shutdown();
    return status;
}
