// The indicators that read the series' bar columns (CKData::GetColumn): a whole-series computation
// takes no writable access to the series, so the next indicator of a chart finds the columns
// read; and after a bar changes, the next computation gives what a series that never had columns
// gives.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "analysis/techset.h"
#include "series.h"

namespace {

struct ColumnCase {
    const char* name;
    std::function<CTechnique*()> make;
    int lines;
    int field;  // the column it reads
};

template <class T>
std::function<CTechnique*()> Make() {
    return [] { return new T; };
}

TEST(SeriesColumns, IndicatorsSeeChangedBars) {
    const ColumnCase cases[] = {
        {"MTM", Make<CMTM>(), 2, CKData::fieldClose},       {"ROC", Make<CROC>(), 2, CKData::fieldClose},
        {"PCNT", Make<CPCNT>(), 2, CKData::fieldClose},     {"BOLL", Make<CBOLL>(), 3, CKData::fieldClose},
        {"MAOSC", Make<CMAOSC>(), 2, CKData::fieldClose},   {"VROC", Make<CVROC>(), 2, CKData::fieldVolume},
        {"VOLUME", Make<CVOLUME>(), 2, CKData::fieldVolume},
        {"JPBD", Make<CSelfTechnique2>(), 4, CKData::fieldClose}, {"DKNL", Make<CSelfTechnique3>(), 4, CKData::fieldClose},
        {"JPTD", Make<CSelfTechnique4>(), 4, CKData::fieldClose},
    };
    const int bars = 3000, changed = 1500, probe = changed;
    // How the bar is changed, one way for each case in turn.
    const std::function<void(CKData&)> changes[] = {
        [](CKData& k) { k[changed].close *= 1.5f, k[changed].volume *= 3; },
        [](CKData& k) { k.ElementAt(changed).close *= 1.5f, k.ElementAt(changed).volume *= 3; },
        [](CKData& k) { k.GetData()[changed].close *= 1.5f, k.GetData()[changed].volume *= 3; },
        [](CKData& k) {
            KDATA b = k[changed];
            b.close *= 1.5f, b.volume *= 3;
            k.ReplaceAt(changed, b);
        },
    };
    int c = 0;
    for (const ColumnCase& cs : cases) {
        CKData k;
        MakeWalk(k, bars, 11);
        std::unique_ptr<CTechnique> t(cs.make());
        t->SetKData(&k);
        const uint64_t count = k.GetChangeCount();
        ASSERT_TRUE(t->PrepareCache(0, -1, true)) << cs.name;
        EXPECT_EQ(k.GetChangeCount(), count) << cs.name << ": a whole-series pass takes no writable access";
        EXPECT_TRUE(k.HasColumn(cs.field)) << cs.name << ": the pass reads the column";
        double before = 0, after = 0;
        ASSERT_TRUE(t->GetCached(1, probe, &before)) << cs.name;

        changes[c++ % 4](k);
        t->Clear();
        ASSERT_TRUE(t->PrepareCache(0, -1, true)) << cs.name;
        ASSERT_TRUE(t->GetCached(1, probe, &after)) << cs.name;
        EXPECT_NE(after, before) << cs.name << ": the change reaches the line";
        // A copy of the changed series has never had columns.
        CKData copy(k);
        std::unique_ptr<CTechnique> fresh(cs.make());
        fresh->SetKData(&copy);
        ASSERT_TRUE(fresh->PrepareCache(0, -1, true)) << cs.name;
        for (int i = 0; i < bars; ++i)
            for (int line = 1; line <= cs.lines; ++line) {
                double got = 0, want = 0;
                const bool has = t->GetCached(line, i, &got);
                ASSERT_EQ(has, fresh->GetCached(line, i, &want)) << cs.name << " line " << line << " bar " << i;
                if (has) {
                    ASSERT_EQ(got, want) << cs.name << " line " << line << " bar " << i;
                }
            }
    }
}

}  // namespace
