// Chip (cost) distribution: how the traded shares of a stock spread over cost prices. It has no
// lines of its own; the cost-distribution panel and the price-pane overlay call its operations.
#pragma once

#include "analysis/techparams.h"
#include "store/stockinfo.h"

class CCW : public CParamTech {
public:
    enum { kTurnoverFactor };  // double
    // Buckets of one distribution at most: a finer step is widened to (high - low) / this.
    static constexpr int kMaxBuckets = 4096;

    CCW();

    // Volume of bars start..end estimated to lie in the bucket of width step at price: each bar's
    // volume spread as a triangle over its range. False for indexes outside the series.
    bool GetVolumeAtPrice(int start, int end, double price, double step, double* result);
    // Start of the window ending at *end (outside the series: the last bar, written back) whose
    // volume first exceeds the tradable capital x factor; without a capital, the last 151 bars at
    // the default factor. False for an empty series.
    bool GetTurnoverStart(int* start, int* end, const CStockInfo& info);
    // Distribution of bars start..end in buckets of step (widened to at most kMaxBuckets):
    // prices x 1000 and volumes, both truncated to unsigned; buckets start at the lowest low or 0,
    // whichever is higher. True when at least one bucket was filled.
    bool GetDistribution(int start, int end, const CStockInfo& info, double step, CSPDWordArray& prices,
                         CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                         double* coverage);
    // Of the n bars ending at end (outside the series: the last bar).
    bool GetRecentDistribution(int end, int n, const CStockInfo& info, double step, CSPDWordArray& prices,
                               CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                               double* coverage);
    // As it stood n bars before end, with the share of it that remains after those n bars.
    bool GetCostDistribution(int end, int n, const CStockInfo& info, double step, CSPDWordArray& prices,
                             CSPDWordArray& volumes, double* minVolume, double* maxVolume, double* totalVolume,
                             double* remaining);

    // Share of the volume at a cost at or below price; 0 for an empty distribution.
    static bool GetProfitRatio(double* result, const CSPDWordArray& prices, const CSPDWordArray& volumes,
                               double price);
    static bool GetAverageCost(double* result, const CSPDWordArray& prices, const CSPDWordArray& volumes);
    // The price band holding the middle share (0..1) of the volume, and its width over the whole
    // span of bucket prices.
    static bool GetConcentration(double* low, double* high, double* ratio, const CSPDWordArray& prices,
                                 const CSPDWordArray& volumes, double share);

private:
    // Tradable capital of the stock, or 0 when unavailable or below 1,000,000.
    static double Capital(const CStockInfo& info);
};
