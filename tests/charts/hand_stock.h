// What the content panel gives a view: the profile's current stock handed in before it loads,
// and the profile's stock list to record and step in.
#pragma once

#ifdef _WIN32
#include <vector>

#include "analysis/stprofile.h"
#include "charts/baseview.h"

namespace chart_test {

inline void HandCurrentStock(CBaseView& view) {
    CStockInfo info;
    if (!GetProfile().GetCurrentStock(&info)) info.Clear();
    view.OpenStock(info);
}

class ProfileStockList : public IStockList {
public:
    CStockInfo RecordStock(const char* code) override {
        GetProfile().SetCurrentStock(code, false);
        CStockInfo info;
        if (!GetProfile().GetCurrentStock(&info)) info.Clear();
        return info;
    }
    int StepStock(bool next, CStockInfo* landed) override {
        CStockInfo info;
        const int moved = next ? GetProfile().GetNextStock(&info) : GetProfile().GetPrevStock(&info);
        if (landed && !GetProfile().GetCurrentStock(landed)) landed->Clear();
        return moved;
    }
    void GetStocksBefore(std::vector<CStockInfo>& out, int n) override { GetProfile().GetPrevStocks(out, n); }
};

// One list for every view of a test program.
inline ProfileStockList* StockList() {
    static ProfileStockList list;
    return &list;
}

}  // namespace chart_test
#endif  // _WIN32
