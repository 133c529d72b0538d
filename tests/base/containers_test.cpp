#include "base/containers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "base/text.h"
#include "file_fixture.h"

namespace {

TEST(ArrayTest, SetSizeGrowsByTheStepOrAnEighthKeptBetween4And1024) {
    struct Case {
        int from, growBy, to, capacity;
    } cases[] = {
        {5, 0, 6, 9},        // 5 + max(4, 5/8)
        {5, 10, 6, 15},      // explicit step
        {5, 0, 20, 20},      // the count when it is larger than the step
        {800, 0, 801, 900},  // 800 + 800/8
        {20000, 0, 20001, 21024},  // the step stops at 1024
    };
    for (const Case& c : cases) {
        CSPDWordArray a;
        ASSERT_TRUE(a.SetSize(c.from, c.growBy));
        EXPECT_EQ(a.GetCapacity(), c.from) << c.from;  // the first buffer is exact
        ASSERT_TRUE(a.SetSize(c.to));
        EXPECT_EQ(a.GetCapacity(), c.capacity) << c.from << " -> " << c.to;
        EXPECT_EQ(a.GetSize(), c.to);
    }

    // Slots cut off and grown again read as zero; 0 frees the buffer; -1 is refused.
    CSPPtrArray p;
    int x = 0;
    p.SetSize(3);
    for (int i = 0; i < 3; ++i) p[i] = &x;
    p.SetSize(1);
    p.SetSize(3);
    EXPECT_EQ(p[0], &x);
    EXPECT_EQ(p[1], nullptr);
    EXPECT_EQ(p[2], nullptr);
    EXPECT_FALSE(p.SetSize(-1));
    EXPECT_EQ(p.GetSize(), 3);
    p.SetSize(0);
    EXPECT_EQ(p.GetCapacity(), 0);
    EXPECT_EQ(p.GetData(), nullptr);

    // Add in a loop reallocates a logarithmic number of times, not once per element.
    CSPDWordArray big;
    int reallocations = 0;
    const DWORD* data = nullptr;
    for (DWORD i = 0; i < 100000; ++i) {
        ASSERT_EQ(big.Add(i), int(i));
        if (big.GetData() != data) ++reallocations, data = big.GetData();
    }
    EXPECT_LT(reallocations, 200);
    EXPECT_EQ(big[99999], 99999u);
}

TEST(ArrayTest, InsertAndRemove) {
    CSPDWordArray a;
    for (DWORD v : {1u, 2u, 3u}) a.Add(v);
    EXPECT_TRUE(a.InsertAt(1, 9, 2));  // inside: moves the tail up
    EXPECT_TRUE(a.InsertAt(7, 5));     // past the end: zeros up to the index
    const DWORD expected[] = {1, 9, 9, 2, 3, 0, 0, 5};
    ASSERT_EQ(a.GetSize(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(a[i], expected[i]) << i;

    EXPECT_FALSE(a.InsertAt(-1, 4));
    EXPECT_FALSE(a.InsertAt(0, 4, 0));
    EXPECT_FALSE(a.RemoveAt(7, 2));
    EXPECT_FALSE(a.RemoveAt(-1));
    EXPECT_TRUE(a.RemoveAt(1, 4));
    const DWORD left[] = {1, 0, 0, 5};
    ASSERT_EQ(a.GetSize(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], left[i]) << i;

    CSPDWordArray b(a);
    b.Append(b);
    EXPECT_EQ(b.GetSize(), 8);
    EXPECT_EQ(b[7], 5u);
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(b[3], 5u);
}

TEST(StringArrayTest, OwnsItsStrings) {
    CSPStringArray s;
    s.SetSize(2);
    EXPECT_EQ(s[0], "");
    s[0] = "甲";
    s[1] = std::string(1000, 'x');
    EXPECT_EQ(s.Add("c"), 2);
    EXPECT_TRUE(s.InsertAt(1, "b", 2));
    ASSERT_EQ(s.GetSize(), 5);
    EXPECT_EQ(s[2], "b");
    EXPECT_EQ(s[3], std::string(1000, 'x'));
    EXPECT_TRUE(s.RemoveAt(0, 2));
    EXPECT_EQ(s[0], "b");
    s.SetSize(1);
    s.SetSize(3);  // slots cut off come back empty
    EXPECT_EQ(s[1], "");
    EXPECT_EQ(s[2], "");

    CSPStringArray copy = s;
    copy[0] = "z";
    EXPECT_EQ(s[0], "b");
    s.SetSize(0);
    EXPECT_EQ(s.GetCapacity(), 0);
}

TEST(StringArrayTest, WorksWithTheTextHelpers) {
    CSPStringArray parts;
    parts.Add("first");
    EXPECT_EQ(SplitString("a;;b", ";", parts), 2);
    EXPECT_EQ(parts.ToVector(), (std::vector<std::string>{"first", "a", "b"}));

    std::string dir = testing::TempDir() + "velmora_list_" + std::to_string(VELMORA_GETPID());
    std::string file = dir + velmora::kPathSep + "one.txt";
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
#else
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
#endif
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    CSPStringArray names;
    EXPECT_TRUE(ListDirectory(dir.c_str(), names, kListFiles));
    EXPECT_EQ(names.ToVector(), std::vector<std::string>{"one.txt"});
    std::remove(file.c_str());
#ifdef _WIN32
    RemoveDirectoryA(dir.c_str());
#else
    std::remove(dir.c_str());
#endif
}

TEST(MapTest, HashesSignedBytes) {
    EXPECT_EQ(CSPMapStringToPtr::HashKey("A"), 65u);
    EXPECT_EQ(CSPMapStringToPtr::HashKey("\xB0"), 0xFFFFFFB0u);
    EXPECT_EQ(CSPMapStringToPtr::HashKey("AB"), 65u * 33 + 66);
}

TEST(MapTest, InsertsLooksUpRemovesAndIsReused) {
    CSPMapStringToPtr m;
    m.InitHashTable(17);
    std::map<std::string, int> reference;
    static int values[3000];
    for (int i = 0; i < 3000; ++i) {
        // ASCII codes and GBK names whose trail bytes look like letters.
        std::string key = i % 2 ? "60" + std::to_string(i) : "浦发银行" + std::to_string(i);
        m[key.c_str()] = &values[i];
        reference[key] = i;
    }
    EXPECT_EQ(m.GetCount(), 3000);
    for (const auto& kv : reference) {
        void* v = nullptr;
        ASSERT_TRUE(m.Lookup(kv.first.c_str(), v)) << kv.first;
        EXPECT_EQ(v, &values[kv.second]);
    }
    void* v;
    EXPECT_FALSE(m.Lookup("missing", v));
    UINT bucket = 99;
    EXPECT_EQ(m.GetAssocAt("A", bucket), nullptr);
    EXPECT_EQ(bucket, 65u % 17);

    // GetValueRef inserts a missing key with a null value.
    EXPECT_EQ(m.GetValueRef("new"), nullptr);
    EXPECT_EQ(m.GetCount(), 3001);

    // Resizing the table keeps every entry.
    m.InitHashTable(101);
    for (const auto& kv : reference) {
        void* found = nullptr;
        ASSERT_TRUE(m.Lookup(kv.first.c_str(), found)) << kv.first;
        EXPECT_EQ(found, &values[kv.second]);
    }

    std::set<std::string> seen;
    for (CSPMapStringToPtr::Position pos = m.GetStartPosition(); pos;) {
        std::string key;
        m.GetNextAssoc(pos, key, v);
        seen.insert(key);
    }
    EXPECT_EQ(seen.size(), 3001u);

    EXPECT_TRUE(m.RemoveKey("new"));
    EXPECT_FALSE(m.RemoveKey("new"));
    EXPECT_EQ(m.GetCount(), 3000);
    m.RemoveAll();
    EXPECT_EQ(m.GetCount(), 0);
    EXPECT_FALSE(m.Lookup("601", v));
    m["601"] = &values[0];
    EXPECT_TRUE(m.Lookup("601", v));

    // No lookup before a table exists finds anything; a table of 0 buckets is made 1.
    CSPMapStringToPtr empty;
    EXPECT_FALSE(empty.Lookup("x", v));
    empty.InitHashTable(0);
    empty["x"] = &values[1];
    EXPECT_TRUE(empty.Lookup("x", v));
    EXPECT_EQ(empty.GetHashTableSize(), 1u);
}

}  // namespace
