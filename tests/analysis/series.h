// Generated K-line series for the indicator tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "store/kdata.h"

inline KDATA MakeBar(float open, float high, float low, float close, float volume = 1000, float amount = 10000) {
    KDATA b;
    std::memset(&b, 0, sizeof b);
    b.open = open;
    b.high = high;
    b.low = low;
    b.close = close;
    b.volume = volume;
    b.amount = amount;
    return b;
}

// A random walk around 20 with bars of every shape; the same seed gives the same series.
inline void MakeWalk(CKData& k, int count, uint32_t seed = 7) {
    k.Clear();
    uint32_t s = seed;
    auto next = [&s]() {
        s = s * 1664525u + 1013904223u;
        return double(s >> 8) / double(1u << 24);
    };
    double price = 20;
    for (int i = 0; i < count; ++i) {
        double open = price;
        price *= 1 + (next() - 0.5) * 0.08;
        double close = price;
        double high = std::max(open, close) * (1 + next() * 0.02);
        double low = std::min(open, close) * (1 - next() * 0.02);
        double volume = 1000 + next() * 9000;
        KDATA b = MakeBar(float(open), float(high), float(low), float(close), float(volume),
                          float(volume * (open + close) / 2 * 100));
        b.date = 20000101 + i;
        k.Add(b);
    }
}

// Closes only: open = close, high and low 1 % around it.
inline void MakeCloses(CKData& k, const std::vector<double>& closes) {
    k.Clear();
    for (size_t i = 0; i < closes.size(); ++i) {
        float c = float(closes[i]);
        KDATA b = MakeBar(c, c * 1.01f, c * 0.99f, c);
        b.date = 20000101 + int(i);
        k.Add(b);
    }
}

inline std::vector<double> Closes(const CKData& k) {
    std::vector<double> out;
    for (int i = 0; i < k.GetSize(); ++i) out.push_back(k[i].close);
    return out;
}
