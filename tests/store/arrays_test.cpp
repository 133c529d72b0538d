#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "store/kdata.h"
#include "store/recarrays.h"
#include "store/records.h"
#include "store/sparray.h"

namespace {

TEST(RecordLayout, FileRecordsHaveTheirByteOffsets) {
    EXPECT_EQ(offsetof(KFILE_RECORD, amount), 24u);
    EXPECT_EQ(offsetof(KFILE_RECORD, last), 28u);
    EXPECT_EQ(offsetof(CODELIST_RECORD, code), 4u);
    EXPECT_EQ(offsetof(CODELIST_RECORD, name), 14u);
    EXPECT_EQ(offsetof(CODELIST_RECORD, shortName), 48u);
    EXPECT_EQ(offsetof(MINUTE_FILE_HEADER, time), 4u);
    EXPECT_EQ(offsetof(MINUTE_FILE_HEADER, amount), 32u);
    EXPECT_EQ(offsetof(MINUTE_FILE_HEADER, buyPrice), 40u);
    EXPECT_EQ(offsetof(MINUTE_FILE_HEADER, sellVolume), 100u);
    EXPECT_EQ(offsetof(MINUTE_FILE_RECORD, price), 2u);
    EXPECT_EQ(offsetof(MINUTE_FILE_RECORD, other2), 14u);
    EXPECT_EQ(offsetof(MINUTE_FILE_RECORD, amount), 18u);
    EXPECT_EQ(offsetof(MINUTE_FILE_RECORD, low), 30u);
    EXPECT_EQ(offsetof(REPORT_FILE_RECORD, time), 30u);
    EXPECT_EQ(offsetof(REPORT_FILE_RECORD, sellVolume), 122u);
    // The market id spells its name in memory.
    EXPECT_EQ(std::memcmp(&kMarketShangHai, "SHSE", 4), 0);
    EXPECT_EQ(std::memcmp(&kMarketUnknown, "UKNW", 4), 0);
}

TEST(RecordLayout, QuoteSurvivesItsBlockFileRecord) {
    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.market = kMarketShenZhen;
    std::strcpy(q.code, "000001_0");
    std::strcpy(q.name, "平安银行");
    q.time = 1293500000;
    q.close = 12.5f;
    q.sellVolume[4] = 77;
    REPORT_FILE_RECORD r;
    ReportToFileRecord(q, r);
    REPORT back;
    ReportFromFileRecord(r, back);
    EXPECT_EQ(std::memcmp(&q, &back, sizeof q), 0);
}

// Capacity after growing from one size to another: the growth rule is the same for every array.
struct GrowCase {
    int from, growBy, to, capacity;
};

class GrowthRule : public ::testing::TestWithParam<GrowCase> {};

TEST_P(GrowthRule, AllArraysGrowAlike) {
    const GrowCase& c = GetParam();
    CSPArray<int, int> objects;
    CRecordArray<DRDATA> records;
    CKData bars;
    if (c.from) {
        objects.SetSize(c.from, c.growBy);
        records.SetSize(c.from, c.growBy);
        bars.SetSize(c.from, c.growBy);
    } else {
        objects.SetSize(0, c.growBy);
        records.SetSize(0, c.growBy);
        bars.SetSize(0, c.growBy);
    }
    objects.SetSize(c.to);
    records.SetSize(c.to);
    bars.SetSize(c.to);
    EXPECT_EQ(objects.GetCapacity(), c.capacity);
    EXPECT_EQ(records.GetCapacity(), c.capacity);
    EXPECT_EQ(bars.GetCapacity(), c.capacity);
}

INSTANTIATE_TEST_SUITE_P(Cases, GrowthRule,
                         ::testing::Values(GrowCase{0, 0, 5, 5},          // no storage: exactly the size
                                           GrowCase{1, 0, 2, 5},          // 1/8 raised to 4
                                           GrowCase{5, 0, 6, 9},
                                           GrowCase{100, 0, 101, 112},    // 100/8
                                           GrowCase{10000, 0, 10001, 11024},  // cut to 1024
                                           GrowCase{5, 10, 6, 15},        // explicit step
                                           GrowCase{5, 1, 50, 50}));      // never below the new size

// Counts live objects, so that leaks and double destruction show.
struct Tracked {
    static int live;
    std::string value;
    Tracked() { ++live; }
    Tracked(const Tracked& o) : value(o.value) { ++live; }
    Tracked(Tracked&& o) noexcept : value(std::move(o.value)) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    Tracked& operator=(Tracked&&) = default;
    ~Tracked() { --live; }
};
int Tracked::live = 0;

Tracked Make(const char* s) {
    Tracked t;
    t.value = s;
    return t;
}

std::string Join(const CSPArray<Tracked>& a) {
    std::string s;
    for (int i = 0; i < a.GetSize(); ++i) s += a[i].value.empty() ? "_" : a[i].value;
    return s;
}

TEST(ObjectArray, ElementsLiveExactlyAsLongAsTheirSlots) {
    Tracked::live = 0;
    {
        CSPArray<Tracked> a;
        for (const char* s : {"a", "b", "c", "d"}) a.Add(Make(s));
        EXPECT_EQ(Tracked::live, 4);
        a.InsertAt(1, Make("x"), 2);
        EXPECT_EQ(Join(a), "axxbcd");
        a.RemoveAt(0, 3);
        EXPECT_EQ(Join(a), "bcd");
        EXPECT_EQ(Tracked::live, 3);
        a.SetAtGrow(5, a[0]);  // the element comes from the array that grows
        EXPECT_EQ(Join(a), "bcd__b");
        a.Append(a);
        EXPECT_EQ(Join(a), "bcd__bbcd__b");
        a.InsertAt(1, a);
        EXPECT_EQ(a.GetSize(), 24);
        EXPECT_EQ(Tracked::live, 24);
        CSPArray<Tracked> b;
        b.Copy(a);
        b.Copy(b);
        EXPECT_EQ(Join(b), Join(a));
        b.SetSize(2);
        EXPECT_EQ(Join(b), "bb");
        EXPECT_EQ(Tracked::live, 26);
        b.FreeExtra();
        EXPECT_EQ(b.GetCapacity(), 2);
        b.RemoveAt(1, 100);
        EXPECT_EQ(Join(b), "b");
        a.RemoveAll();
        EXPECT_EQ(a.GetCapacity(), 0);
        EXPECT_EQ(Tracked::live, 1);
    }
    EXPECT_EQ(Tracked::live, 0);
}

TEST(RecordArray, NewSlotsAreZeroAndAssignmentKeepsData) {
    CArray42 a;
    a.SetSize(4);
    a[3].date = 20100105;
    a.SetSize(2);
    a.SetSize(4);
    EXPECT_EQ(a[3].date, 0u) << "a slot cut off and grown again is zero";

    CArray42 src;
    for (int i = 0; i < 7; ++i) {
        DRDATA r;
        std::memset(&r, 0, sizeof r);
        r.date = 20100101 + i;
        src.Add(r);
    }
    a = src;
    EXPECT_EQ(a.GetSize(), 7);
    EXPECT_EQ(a.GetGrowBy(), 12);
    EXPECT_EQ(a[6].date, 20100107u);
    const CArray42& same = a;
    a = same;
    ASSERT_EQ(a.GetSize(), 7);
    EXPECT_EQ(a[6].date, 20100107u);

    a.InsertArrayAt(2, src);
    ASSERT_EQ(a.GetSize(), 14);
    EXPECT_EQ(a[1].date, 20100102u);
    EXPECT_EQ(a[2].date, 20100101u);
    EXPECT_EQ(a[9].date, 20100103u);
    a.RemoveAt(0, 10);
    ASSERT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[0].date, 20100104u);
    EXPECT_EQ(a.GetData()[5].date, 0u) << "removed slots are cleared";
}

TEST(RecordArray, SortOrders) {
    ReportArray quotes;
    REPORT q;
    std::memset(&q, 0, sizeof q);
    for (auto tv : {std::make_pair(20, 5.f), std::make_pair(10, 9.f), std::make_pair(20, 3.f)}) {
        q.time = tv.first;
        q.volume = tv.second;
        quotes.Add(q);
    }
    quotes.Sort();
    EXPECT_EQ(quotes[0].time, 10);
    EXPECT_EQ(quotes[1].volume, 3.f) << "equal times: the smaller volume first";
    EXPECT_EQ(quotes[2].volume, 5.f);

    MinuteArray minutes;
    MINUTE m;
    std::memset(&m, 0, sizeof m);
    for (int t : {30, 10, 20}) {
        m.time = t;
        minutes.Add(m);
    }
    minutes.Sort();
    EXPECT_EQ(minutes[0].time, 10);
    EXPECT_EQ(minutes[2].time, 30);
}

TEST(SignalStore, TracksItsKeyRange) {
    CSignalStore s;
    s.Insert(20100105, 1);
    EXPECT_EQ(s.GetMinKey(), 20100105u);
    EXPECT_EQ(s.GetMaxKey(), 20100105u);
    s.Insert(20100101, 2);
    s.Insert(20100209, 3);
    EXPECT_EQ(s.GetMinKey(), 20100101u);
    EXPECT_EQ(s.GetMaxKey(), 20100209u);
    DWORD v = 0;
    EXPECT_TRUE(s.Lookup(20100101, &v));
    EXPECT_EQ(v, 2u);
    s.Clear();
    EXPECT_EQ(s.GetCount(), 0);
    s.Insert(7, 1);
    EXPECT_EQ(s.GetMinKey(), 7u);
}

}  // namespace
