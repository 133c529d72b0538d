// The benchmarks' bar series: a walk that keeps returning to 20, so that prices stay in range
// over a million bars.
#pragma once

#include <algorithm>
#include <cstdint>

#include "store/kdata.h"

inline void FillWalk(CKData& s, int count, uint32_t seed) {
    s.SetSize(count);
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24);
    };
    double price = 20;
    for (int i = 0; i < count; ++i) {
        const double open = price;
        price += (next() - 0.5) * 0.6 + (20 - price) * 0.01;
        KDATA& b = s[i];
        b.open = float(open);
        b.close = float(price);
        b.high = float(std::max(open, price) * (1 + next() * 0.01));
        b.low = float(std::min(open, price) * (1 - next() * 0.01));
        b.volume = float(1000 + int(next() * 9000));
        b.amount = float(b.volume * (open + price) / 2);
        b.date = 20000101 + i;
    }
}
