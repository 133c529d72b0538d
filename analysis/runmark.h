// Where a kept running state (a cumulative sum, an average carried from bar 0, a SAR run) stood:
// the series, the bar, the price and exright modes, and a copy of that bar. A state may be
// continued over bars appended since only while all of these still hold; a series replaced,
// re-priced or changed at that bar starts the computation again.
#pragma once

#include <cstring>

#include "store/kdata.h"

struct RunMark {
    const CKData* series = nullptr;
    int bar = -1;
    int priceMode = 0;
    int exrightMode = 0;
    KDATA record{};

    void Reset() { series = nullptr, bar = -1; }
    void Take(const CKData& k, int i) {
        series = &k;
        bar = i;
        priceMode = k.GetPriceMode();
        exrightMode = k.GetExrightMode();
        std::memcpy(&record, &k[i], sizeof(KDATA));
    }
    // The state taken at bar `bar` of k still stands (bars after it may have been appended).
    bool Holds(const CKData& k) const {
        return series == &k && bar >= 0 && bar < k.GetSize() && priceMode == k.GetPriceMode() &&
               exrightMode == k.GetExrightMode() && std::memcmp(&record, &k[bar], sizeof(KDATA)) == 0;
    }
};
