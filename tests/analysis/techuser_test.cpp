#include <gtest/gtest.h>

#include <cstring>

#include "analysis/catalog.h"
#include "analysis/techuser.h"
#include "series.h"

namespace {

TEST(TechUser, BoundedTexts) {
    char field[8];
    std::memcpy(field, "ABCDEFGH", 8);
    EXPECT_EQ(TechUserText(field, 8), "ABCDEFGH");
    field[3] = 0;
    EXPECT_EQ(TechUserText(field, 8), "ABC");
}

#ifndef VELMORA_TEST_PLUGINS

TEST(TechUser, NoLibraryNoPlugins) {
    EXPECT_EQ(TechUserGetCount(), 0);
    EXPECT_EQ(TechUserGetName(10000), "");
    EXPECT_EQ(TechUserGetShortName(10000), "");
    CTechUser t;
    EXPECT_FALSE(t.SetTechUserID(10000));
    EXPECT_FALSE(t.SetTechUserID(9999));
    CKData k;
    MakeWalk(k, 10);
    t.SetKData(&k);
    double v = 5;
    EXPECT_FALSE(t.Calculate(&v, 5, false));
    EXPECT_EQ(v, 5);
    int r = 0;
    EXPECT_EQ(t.GetSignal(5, &r), 0);
    EXPECT_EQ(r, reasonNone);
    TechUserFunctions f;
    EXPECT_FALSE(TechUserBindLibrary("RerEdoz.dll", &f));
}

#else

TEST(TechUser, BindsTheLibraryBesideTheProgram) {
    const TechUserFunctions& f = TechUserLibrary();
    ASSERT_NE(f.module, nullptr);
    EXPECT_NE(f.getSignal, nullptr);
    EXPECT_EQ(TechUserGetCount(), 3);
    EXPECT_EQ(TechUserGetName(10000), "One line with its average");
    EXPECT_EQ(GetTechnicalShortName(10000), "ONE");
    EXPECT_EQ(GetTechnicalShortName(10001), "SIXTEENCHARSNAME");  // read within its 16 bytes
    EXPECT_EQ(TechUserGetName(10003), "");
    CTechUser t;
    EXPECT_FALSE(t.SetTechUserID(10003));
    EXPECT_FALSE(t.SetTechUserID(9999));
}

TEST(TechUser, LinesAndCalculation) {
    CKData k;
    MakeWalk(k, 200);
    CTechUser one(&k);
    ASSERT_TRUE(one.SetTechUserID(10000));
    EXPECT_EQ(one.GetLineCount(), 2);
    EXPECT_EQ(one.GetLineName(1), "ABCDEFGH");
    EXPECT_EQ(one.GetLineName(2), "MA");
    EXPECT_EQ(one.GetLineName(6), "");
    double v, ma;
    EXPECT_FALSE(one.Calculate(&v, 0, false));  // the library refuses bar 0
    ASSERT_TRUE(one.Calculate(&v, 10, false));
    EXPECT_EQ(v, k[10].close * 2.0);
    // The second line is the 3-bar average of line 1, through the 2-line slot.
    ASSERT_TRUE(one.Calculate(&v, &ma, 10, false));
    EXPECT_NEAR(ma, (k[8].close + k[9].close + k[10].close) * 2.0 / 3, 1e-9);
    EXPECT_FALSE(one.Calculate(&v, &ma, 2, false));  // bars 0 fails: only two values
    double a, b, c, d;
    EXPECT_FALSE(one.Calculate(&a, &b, &c, 10, false));

    CTechUser four(&k);
    ASSERT_TRUE(four.SetTechUserID(10001));
    EXPECT_EQ(four.GetLineCount(), 4);
    EXPECT_EQ(four.GetLineName(3), "C");
    ASSERT_TRUE(four.Calculate(&a, &b, &c, &d, 20, false));
    EXPECT_EQ(a, 20);
    EXPECT_EQ(b, k[20].close);
    EXPECT_EQ(d, k[20].high);
    // The values given with use-last reach the library.
    a = 100;
    ASSERT_TRUE(four.Calculate(&a, &b, &c, &d, 21, true));
    EXPECT_EQ(a, 101);
    EXPECT_FALSE(four.Calculate(&a, &b, &c, 22, false));  // a 4-line indicator through the 3-line slot
    double mn, mx;
    EXPECT_TRUE(four.GetMinMaxInfo(1, 50, &mn, &mx));

    CTechUser three(&k);
    ASSERT_TRUE(three.SetTechUserID(10002));
    EXPECT_FALSE(three.Calculate(&a, &b, &c, &d, 20, false));
    EXPECT_TRUE(three.Calculate(&a, &b, &c, 20, false));
}

TEST(TechUser, Signals) {
    CKData k;
    MakeWalk(k, 60);
    CTechUser four(&k);
    ASSERT_TRUE(four.SetTechUserID(10001));
    struct Case { int bar, signal, reason; };
    for (const Case& c : {Case{30, 5, 6}, Case{31, -5, 7}, Case{32, 0, 1}}) {
        int r = 0;
        EXPECT_EQ(four.GetSignal(c.bar, &r), c.signal) << c.bar;
        EXPECT_EQ(r, c.reason);
    }
    // A library with plain names only binds the other three; no signal entry gives 0.
    TechUserFunctions plain;
    ASSERT_TRUE(TechUserBindLibrary("RerEdozPlain.dll", &plain));
    EXPECT_NE(plain.getCount, nullptr);
    EXPECT_NE(plain.getInfo, nullptr);
    EXPECT_NE(plain.calculate, nullptr);
    EXPECT_EQ(plain.getSignal, nullptr);
    CTechUser p(&k);
    p.SetFunctions(&plain);
    ASSERT_TRUE(p.SetTechUserID(10001));
    double a, b, c, d;
    ASSERT_TRUE(p.Calculate(&a, &b, &c, &d, 20, false));
    EXPECT_EQ(b, k[20].close);
    int r = 0;
    EXPECT_EQ(p.GetSignal(30, &r), 0);
    EXPECT_EQ(r, reasonNone);
}

#endif

}  // namespace
