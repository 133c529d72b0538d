#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/techset.h"
#include "base/spfile.h"
#include "series.h"
#include "test_files.h"

namespace {

using velmora_test::ReadTestFile;
using velmora_test::WriteTestFile;

class TechSetTest : public testing::Test {
protected:
    std::string path = testing::TempDir() + "velmora_techset_block.bin";
    void TearDown() override { std::remove(path.c_str()); }

    std::string Store(CTechSet& set) {
        {
            CSPFile f;
            EXPECT_EQ(f.Open(path.c_str(), CSPFile::modeCreate | CSPFile::modeWrite), 1);
            CSPArchive ar(&f, CSPArchive::store);
            EXPECT_TRUE(set.Serialize(ar));
            ar.Close();
        }
        return ReadTestFile(path);
    }
    bool Load(CTechSet& set, const std::string& bytes) {
        WriteTestFile(path, bytes);
        CSPFile f;
        EXPECT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load);
        return set.Serialize(ar);
    }
    static int32_t IntAt(const std::string& b, size_t at) {
        int32_t v;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    }
};

TEST_F(TechSetTest, FreshBlockMatchesGoldenBytes) {
    CTechSet set;
    std::string bytes = Store(set);
    std::string golden = ReadTestFile(std::string(VELMORA_TEST_SOURCE_DIR) + "/tests/analysis/data/techset_block.bin");
    ASSERT_EQ(golden.size(), 1686u);
    EXPECT_TRUE(bytes == golden);
    // MA first: type 1, the count 3 with 5, 10, 20, then its four levels.
    const int32_t head[] = {1, 3, 5, 10, 20, 15, -15, 10, -10};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(IntAt(bytes, 4 * i), head[i]);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(IntAt(bytes, bytes.size() - 4 * (200 - i)), -1);
}

TEST_F(TechSetTest, RoundTripAndWhatIsNotStored) {
    CTechSet a;
    a.m_MA.m_days.RemoveAll();
    a.m_MA.m_days.Add(7);
    a.m_BOLL.m_doubles[CBOLL::kUpWidth] = 2.5;
    a.m_DJ.m_strings[CDJ::kShenzhenCode] = "399001_0";
    a.m_MACD.m_ints[CMACD::kSignal] = 5;
    a.m_CCI.m_doubles[0] = 0.02;
    a.m_MOBV.m_ints[0] = 3;   // not stored
    a.m_MOBV.m_ints[2] = 13;  // stored
    a.m_SelfTechnique1.m_ints[0] = 6;
    a.m_SelfTechnique5.m_ints[3] = 0;
    std::string bytes = Store(a);
    CTechSet b;
    ASSERT_TRUE(Load(b, bytes));
    EXPECT_EQ(b.m_MA.GetNameParams(), "(7)");
    EXPECT_EQ(b.m_BOLL.m_doubles[CBOLL::kUpWidth], 2.5);
    EXPECT_EQ(b.m_DJ.m_strings[CDJ::kShenzhenCode], "399001_0");
    EXPECT_EQ(b.m_MACD.GetNameParams(), "(12,26,5)");
    EXPECT_EQ(b.m_CCI.m_doubles[0], 0.02);
    EXPECT_EQ(b.m_MOBV.m_ints[0], 10);
    EXPECT_EQ(b.m_MOBV.m_ints[2], 13);
    EXPECT_EQ(b.m_SelfTechnique1.m_ints[0], 5);
    EXPECT_EQ(b.m_SelfTechnique5.m_ints[3], 1);
    EXPECT_TRUE(Store(b) == bytes);
}

TEST_F(TechSetTest, DamagedBlockKeepsDefaults) {
    CTechSet fresh;
    std::string good = Store(fresh);
    // A huge day-count array count, then a block cut short.
    std::string huge = good;
    int32_t big = 0x40000000;
    std::memcpy(&huge[4], &big, 4);
    std::string cut = good.substr(0, good.size() - 10);
    for (const std::string& bad : {huge, cut}) {
        CTechSet set;
        set.m_PSY.m_ints[0] = 30;
        EXPECT_FALSE(Load(set, bad));
        EXPECT_EQ(set.m_MA.m_days.GetSize(), 3);
        EXPECT_EQ(set.m_PSY.m_ints[0], 12);
    }
    // Loaded invalid values give way to the defaults at the next computation.
    std::string invalid = good;
    int32_t zero = 0;
    std::memcpy(&invalid[0], &zero, 4);  // MA type 0
    CTechSet set;
    ASSERT_TRUE(Load(set, invalid));
    EXPECT_EQ(set.m_MA.m_ints[CMA::kType], 0);
    CKData k;
    MakeWalk(k, 30);
    set.SetKData(&k);
    double v;
    ASSERT_TRUE(set.m_MA.Calculate(&v, 20, 5, false));
    EXPECT_EQ(set.m_MA.m_ints[CMA::kType], 1);
}

TEST_F(TechSetTest, MembersOrderBindingAndValidity) {
    CTechSet set;
    EXPECT_EQ(CTechSet::GetMemberId(0), 1);
    EXPECT_EQ(CTechSet::GetMemberId(7), 9);
    EXPECT_EQ(CTechSet::GetMemberId(53), 8);
    EXPECT_EQ(CTechSet::GetMemberId(57), 58);
    EXPECT_EQ(set.GetMember(53), &set.m_SelfTechnique1);
    CKData k;
    MakeWalk(k, 10);
    set.SetKData(&k);
    for (int i = 0; i < CTechSet::kMembers; ++i) {
        EXPECT_EQ(set.GetMember(i)->GetKData(), &k) << i;
        EXPECT_TRUE(set.GetMember(i)->IsValidParameters()) << i;
    }
    // Captions by table.
    struct Case { CParamTech* t; const char* caption; };
    const Case cases[] = {{&set.m_MA, "(5,10,20)"}, {&set.m_BBI, "(3,6,12,24)"}, {&set.m_BOLL, "(20,2,2)"},
                          {&set.m_MIKE, "12"}, {&set.m_PSY, "(12)"}, {&set.m_VOLUME, "(5,10)"},
                          {&set.m_MOBV, "(12,26)"}, {&set.m_OSC, "(10.6)"}, {&set.m_KDJ, "(9,3,3,1)"},
                          {&set.m_CR, "(26,10,20,40,62)"}, {&set.m_SAR, ""}, {&set.m_SelfTechnique5, "(9,3,3,1)"}};
    for (const Case& c : cases) EXPECT_EQ(c.t->GetNameParams(), c.caption);
    // Validity table.
    set.m_SAR.m_doubles[CSAR::kStep] = 0;
    EXPECT_FALSE(set.m_SAR.IsValidParameters());
    set.m_PSY.m_ints[CPSY::kBuy] = 16;
    EXPECT_FALSE(set.m_PSY.IsValidParameters());
    set.m_MACD.m_ints[CMACD::kLong] = 1025;
    EXPECT_FALSE(set.m_MACD.IsValidParameters());
    set.m_DJ.m_strings[0].clear();
    EXPECT_FALSE(set.m_DJ.IsValidParameters());
    set.m_SelfTechnique5.m_ints[3] = 0;  // J mode 0 is its own choice
    EXPECT_TRUE(set.m_SelfTechnique5.IsValidParameters());
    set.m_KDJ.m_ints[3] = 0;
    EXPECT_FALSE(set.m_KDJ.IsValidParameters());
}

TEST_F(TechSetTest, CopyParametersClearsOnlyOnChange) {
    CKData k;
    MakeWalk(k, 60);
    CMACD chart, profile;
    chart.SetKData(&k);
    double v[4];
    ASSERT_TRUE(chart.Calculate(&v[0], &v[1], &v[2], &v[3], 50, false));
    chart.CopyParameters(profile);  // the same values: the cache stays
    EXPECT_TRUE(chart.GetCached(3, 50, nullptr));
    profile.m_ints[CMACD::kShort] = 6;
    chart.CopyParameters(profile);
    EXPECT_FALSE(chart.GetCached(3, 50, nullptr));
    double w[4];
    ASSERT_TRUE(chart.Calculate(&w[0], &w[1], &w[2], &w[3], 50, false));
    EXPECT_NE(v[2], w[2]);
}

}  // namespace
