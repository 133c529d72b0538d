// The range request a pane makes (GetRange, GetDaysRange) against the one-bar path, for every
// indicator the set holds (every id of the catalog): the same validity and the same values, bar
// for bar, on a series with a broken bar, a suspension and suspended single days. Asked after the
// pane's range was taken (as the chart asks), and the one-bar Calculate asked after the request,
// the values are the same bit for bit; asked of a fresh object, within the indicator tests'
// tolerances.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/catalog.h"
#include "analysis/techset.h"
#include "reference.h"

namespace {

constexpr int kBars = 600;

// A walk with a suspension (bars 150-189 and two single days) and one broken bar.
CKData MakeSeries(int badBar, void (*breakBar)(KDATA&)) {
    CKData walk;
    MakeWalk(walk, kBars, 23);
    CKData k;
    for (int i = 0; i < kBars; ++i) {
        const bool off = (i >= 150 && i < 190) || i == 60 || i == 320;
        k.Add(off ? ref::Suspended(k[i - 1]) : walk[i]);
        k[i].date = 20000101 + i;
    }
    breakBar(k[badBar]);
    return k;
}

void AllNaN(KDATA& b) {
    const float x = std::numeric_limits<float>::quiet_NaN();
    b.open = b.high = b.low = b.close = b.volume = b.amount = x;
}
void HighInf(KDATA& b) { b.high = std::numeric_limits<float>::infinity(); }

struct Pane {
    int first, last;
};
const Pane kPanes[] = {{0, kBars - 1}, {100, 350}, {380, 520}, {kBars - 120, kBars - 1}};

bool CalcN(CTechnique& t, int n, double* v, int i, bool useLast) {
    switch (n) {
    case 1: return t.Calculate(&v[0], i, useLast);
    case 2: return t.Calculate(&v[0], &v[1], i, useLast);
    case 3: return t.Calculate(&v[0], &v[1], &v[2], i, useLast);
    case 4: return t.Calculate(&v[0], &v[1], &v[2], &v[3], i, useLast);
    default: return t.Calculate(&v[0], &v[1], &v[2], &v[3], &v[4], i, useLast);
    }
}

// On a fresh object the request fills the cache by the class's range walk, and a pane walk that
// continues bar after bar may sum in another order (MFI), or restart DMI's warm-up after bars
// without a value: there the indicator tests' tolerances decide (DMI's continued path 2e-3).
double Tolerance(int id) { return id == 32 ? 2e-3 : 1e-9; }

// Bit for bit (a NaN never comes out, and would fail here).
bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Where(int id, int n, const Pane& p, bool ranged, const char* series) {
    return GetTechnicalShortName(id) + " (id " + std::to_string(id) + "), " + std::to_string(n) + " lines, bars " +
           std::to_string(p.first) + "-" + std::to_string(p.last) + (ranged ? ", after the range" : ", fresh") +
           ", " + series;
}

struct SeriesCase {
    const char* name;
    int bad;
    void (*breakBar)(KDATA&);
};
const SeriesCase kSeries[] = {{"NaN bar 400", 400, AllNaN}, {"+inf high at 250", 250, HighInf}};

TEST(RangeRequest, CoversEveryIdOfTheCatalog) {
    int ids = 0;
    for (int p = 0; p < CTechSet::kMembers; ++p) {
        const int id = CTechSet::GetMemberId(p);
        EXPECT_FALSE(GetTechnicalShortName(id).empty()) << id;
        ++ids;
    }
    EXPECT_EQ(ids, 58);
}

// Lines 1..n of every member, for n = 1..5.
TEST(RangeRequest, LinesMatchTheOneBarPath) {
    int compared = 0;
    for (const SeriesCase& sc : kSeries) {
        CKData k = MakeSeries(sc.bad, sc.breakBar);
        for (const Pane& pane : kPanes) {
            for (bool ranged : {false, true}) {
                for (int n = 1; n <= 5; ++n) {
                    CTechSet ours, theirs;
                    ours.SetKData(&k);
                    theirs.SetKData(&k);
                    const int count = pane.last - pane.first + 1;
                    for (int p = 0; p < CTechSet::kMembers; ++p) {
                        CTechnique& a = *ours.GetMember(p);
                        CTechnique& b = *theirs.GetMember(p);
                        const int id = CTechSet::GetMemberId(p);
                        const std::string where = Where(id, n, pane, ranged, sc.name);
                        if (ranged) {
                            double lo, hi, lo2, hi2;
                            a.GetMinMaxInfo(pane.first, pane.last, &lo, &hi);
                            b.GetMinMaxInfo(pane.first, pane.last, &lo2, &hi2);
                        }
                        std::vector<std::vector<double>> lines(5, std::vector<double>(size_t(count), -7.25));
                        double* out[5];
                        for (int l = 0; l < 5; ++l) out[l] = lines[size_t(l)].data();
                        std::vector<unsigned char> valid(size_t(count), 9);
                        const bool any = a.GetRange(n, pane.first, pane.last, out, valid.data());
                        // The one-bar path as a pane walks it: useLast once a bar had values.
                        double v[5] = {0, 0, 0, 0, 0};
                        bool have = false;
                        for (int i = pane.first; i <= pane.last; ++i) {
                            const int at = i - pane.first;
                            const bool ok = CalcN(b, n, v, i, have);
                            ASSERT_EQ(int(valid[size_t(at)]), ok ? 1 : 0) << where << ", bar " << i;
                            if (!ok) continue;
                            have = true;
                            for (int l = 0; l < n; ++l) {
                                if (ranged) {
                                    ASSERT_TRUE(Same(out[l][at], v[l]))
                                        << where << ", bar " << i << ", line " << l + 1 << ": " << out[l][at]
                                        << " != " << v[l];
                                } else {
                                    ASSERT_NEAR(out[l][at], v[l], Tolerance(id) * std::max(1.0, std::fabs(v[l])))
                                        << where << ", bar " << i << ", line " << l + 1;
                                }
                            }
                            ++compared;
                        }
                        EXPECT_EQ(any, have) << where;
                        // Asked again, the one-bar Calculate answers from the same cache.
                        for (int i = pane.first; i <= pane.last; ++i) {
                            const int at = i - pane.first;
                            if (!valid[size_t(at)]) continue;
                            double w[5];
                            ASSERT_TRUE(CalcN(a, n, w, i, false)) << where << ", bar " << i;
                            for (int l = 0; l < n; ++l)
                                ASSERT_TRUE(Same(out[l][at], w[l])) << where << ", again, bar " << i << ", line " << l + 1;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 100000);
}

// The per-days lines (MA, VOLUME, RSI, HSL and any other member that takes day counts).
TEST(RangeRequest, DayCountLinesMatchTheOneBarPath) {
    int compared = 0;
    for (const SeriesCase& sc : kSeries) {
        CKData k = MakeSeries(sc.bad, sc.breakBar);
        for (const Pane& pane : kPanes) {
            for (bool ranged : {false, true}) {
                CTechSet ours, theirs;
                ours.SetKData(&k);
                theirs.SetKData(&k);
                const int count = pane.last - pane.first + 1;
                for (int p = 0; p < CTechSet::kMembers; ++p) {
                    CParamTech& a = *ours.GetMember(p);
                    CParamTech& b = *theirs.GetMember(p);
                    const int id = CTechSet::GetMemberId(p);
                    if (!a.IsValidParameters()) a.SetDefaultParameters();
                    CSPDWordArray days;
                    if (a.m_days.GetSize() > 0) days.Copy(a.m_days);
                    else days.Add(6);
                    const std::string where = Where(id, days.GetSize(), pane, ranged, sc.name) + " (day counts)";
                    if (ranged) {
                        double lo, hi, lo2, hi2;
                        a.GetMinMaxInfo(pane.first, pane.last, &lo, &hi);
                        b.GetMinMaxInfo(pane.first, pane.last, &lo2, &hi2);
                    }
                    const int m = days.GetSize();
                    std::vector<std::vector<double>> lines(size_t(m), std::vector<double>(size_t(count), -7.25));
                    std::vector<std::vector<unsigned char>> valid(size_t(m), std::vector<unsigned char>(size_t(count), 9));
                    std::vector<double*> out;
                    std::vector<unsigned char*> flags;
                    for (int d = 0; d < m; ++d) out.push_back(lines[size_t(d)].data()), flags.push_back(valid[size_t(d)].data());
                    a.GetDaysRange(days, pane.first, pane.last, out.data(), flags.data());
                    for (int d = 0; d < m; ++d) {
                        double v = 0;
                        bool have = false;
                        for (int i = pane.first; i <= pane.last; ++i) {
                            const int at = i - pane.first;
                            const bool ok = b.Calculate(&v, i, int(days[d]), have);
                            ASSERT_EQ(int(valid[size_t(d)][size_t(at)]), ok ? 1 : 0)
                                << where << ", days " << days[d] << ", bar " << i;
                            if (!ok) continue;
                            have = true;
                            ASSERT_TRUE(Same(out[size_t(d)][at], v))
                                << where << ", days " << days[d] << ", bar " << i << ": " << out[size_t(d)][at]
                                << " != " << v;
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 1000);
}

TEST(RangeRequest, BarsOutsideTheSeriesHaveNoValues) {
    CKData k = MakeSeries(400, AllNaN);
    CMACD macd;
    macd.SetKData(&k);
    std::vector<double> lines[4];
    double* out[4];
    for (int l = 0; l < 4; ++l) lines[l].assign(40, 0), out[l] = lines[l].data();
    std::vector<unsigned char> valid(40, 9);
    ASSERT_TRUE(macd.GetRange(4, kBars - 20, kBars + 19, out, valid.data()));
    for (int at = 0; at < 40; ++at) EXPECT_EQ(int(valid[size_t(at)]), at < 20 ? 1 : 0) << at;
    CTechnique none;
    EXPECT_FALSE(none.GetRange(1, 0, 9, out, valid.data()));
    for (int at = 0; at < 10; ++at) EXPECT_EQ(valid[size_t(at)], 0);
    EXPECT_FALSE(macd.GetRange(0, 0, 9, out, valid.data()));
    EXPECT_FALSE(macd.GetRange(6, 0, 9, out, valid.data()));
}

}  // namespace
