#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Strings = std::vector<std::string>;

TEST(TextTest, GbkLiteralsAreCompiledAsGbk) {
    EXPECT_EQ(std::string("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(std::string("亿万"), "\xD2\xDA\xCD\xF2");
}

TEST(TextTest, ConvertsUtf8GbkAndUtf16) {
    // "上证指数" in UTF-8 becomes its GBK bytes.
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\x8A\xE8\xAF\x81\xE6\x8C\x87\xE6\x95\xB0"), "上证指数");
    EXPECT_EQ(Utf8ToAnsi(nullptr), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(AnsiToUtf8("中文 abc"), "\xE4\xB8\xAD\xE6\x96\x87 abc");

    CUnicodeString u;
    EXPECT_EQ(u.FromMultiByte("中文a", kCodePageGbk), 3);
    EXPECT_EQ(u.GetWide()[0], 0x4E2D);
    EXPECT_EQ(u.GetWide()[1], 0x6587);
    EXPECT_EQ(u.GetWide()[2], 'a');
    int n = -1;
    EXPECT_STREQ(u.ToMultiByte(kCodePageGbk, &n), "中文a");
    EXPECT_EQ(n, 5);
    // The ANSI code page of this program is GBK.
    EXPECT_STREQ(u.ToMultiByte(kCodePageAnsi, &n), "中文a");

    // Broken UTF-8 still gives text, never a crash.
    std::string broken = Utf8ToAnsi("ok\xC3\x28\xFF end");
    EXPECT_EQ(broken.substr(0, 2), "ok");
    EXPECT_NE(broken.find(" end"), std::string::npos);
}

TEST(TextTest, ScansWholeGbkCharacters) {
    // 0xB0 0x7C is one character whose trail byte is '|'.
    const char text[] = "a\xB0\x7C" "b|c";
    const char* hit = GbkFind(text, "|");
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit - text, 4);
    EXPECT_EQ(GbkFind(text, ""), nullptr);
    EXPECT_EQ(GbkCompareNoCase("AbC中", "aBc中"), 0);
    EXPECT_NE(GbkCompareNoCase("\xB0\x41", "\xB0\x61"), 0);  // trail bytes are not letters
    EXPECT_LT(GbkCompareNoCase("abc", "abd"), 0);
    // Cutting never splits a character.
    EXPECT_EQ(GbkSafeLength("ab中文", 3), 2u);
    EXPECT_EQ(GbkSafeLength("ab中文", 4), 4u);
    EXPECT_EQ(GbkSafeLength("ab", 10), 2u);
}

TEST(TextTest, SplitTable) {
    struct Case {
        const char* text;
        const char* sep;
        int count;
        Strings pieces;
    } cases[] = {
        {"a;;b", ";", 2, {"a", "b"}},
        {"abc", ";", 0, {"abc"}},
        {";a;", ";", 2, {"a"}},
        {"1|2|3", "|", 2, {"1", "2", "3"}},
        {"l1\r\nl2\r\n", "\r\n", 2, {"l1", "l2"}},
        {"x\xB0\x7Cy|z", "|", 1, {"x\xB0\x7Cy", "z"}},  // the trail byte '|' is not a separator
        {"a--b----c", "--", 3, {"a", "b", "c"}},
        {"abc", "", 0, {"abc"}},  // an empty separator never splits
        {"", ";", 0, {""}},
    };
    for (const Case& c : cases) {
        Strings out;
        EXPECT_EQ(SplitString(c.text, c.sep, out), c.count) << c.text;
        EXPECT_EQ(out, c.pieces) << c.text;
    }
}

TEST(TextTest, TrimTable) {
    struct Case {
        const char* text;
        const char* both;
        const char* right;
    } cases[] = {
        {"  a b \t\r\n", "a b", "  a b"},
        {"\r\n", "", ""},
        {"", "", ""},
        {"x", "x", "x"},
        {"\t股票 ", "股票", "\t股票"},  // whole GBK characters stay
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimBlanks(c.text), c.both) << c.text;
        EXPECT_EQ(TrimBlanks(c.text, true), c.right) << c.text;
    }
    std::string line = " key = value\r";
    const char* b = line.data();
    const char* e = b + line.size();
    TrimBlanks(&b, &e);
    EXPECT_EQ(std::string(b, e), "key = value");
}

TEST(TextTest, FormatTable) {
    struct Case {
        double value;
        const char* expected;
    } amounts[] = {
        {123456789, "1.23亿"}, {12345, "1.23万"}, {10000, "10000"}, {10000.5, "1.00万"},
        {12.5, "12.50"}, {100000000, "10000.00万"}, {7, "7"}, {-12.5, "-12.50"}, {-12345, "-1.23万"},
    };
    for (const auto& c : amounts) EXPECT_EQ(FormatAmount(c.value), c.expected) << c.value;

    EXPECT_EQ(FormatFixed(3.14159, 0), "3");
    EXPECT_EQ(FormatFixed(3.14159, 1), "3.1");
    EXPECT_EQ(FormatFixed(3.14159, 2), "3.14");
    EXPECT_EQ(FormatFixed(3.14159, 4), "3.1416");
    EXPECT_EQ(FormatFixed(3.14159, 6), "3.141590");
    EXPECT_EQ(FormatFixed(3.14159, 7), "3.14");
    EXPECT_EQ(FormatFixed(3.14159, -1), "3.14");
    EXPECT_EQ(StringPrintf("%s-%d", "x", 5), "x-5");
    EXPECT_EQ(StringPrintf("%s", std::string(1000, 'y').c_str()).size(), 1000u);
}

TEST(TextTest, ListsFilesAndFolders) {
#ifdef _WIN32
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string root = std::string(tmp) + "velmora_list_test";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\sub").c_str(), nullptr);
    std::string file = root + "\\f.txt";
#else
    std::string root = testing::TempDir() + "velmora_list_test";
    mkdir(root.c_str(), 0755);
    mkdir((root + "/sub").c_str(), 0755);
    std::string file = root + "/f.txt";
#endif
    std::ofstream(file) << "x";
    Strings files, folders, both, none;
    EXPECT_TRUE(ListDirectory(root.c_str(), files, kListFiles));
    EXPECT_TRUE(ListDirectory(root.c_str(), folders, kListFolders));
    EXPECT_TRUE(ListDirectory(root.c_str(), both, kListBoth));
    EXPECT_TRUE(ListDirectory((root + "-missing").c_str(), none, kListBoth));
    EXPECT_EQ(files, Strings{"f.txt"});
    EXPECT_EQ(folders, Strings{"sub"});
    EXPECT_EQ(both.size(), 2u);
    EXPECT_TRUE(none.empty());
    std::remove(file.c_str());
#ifdef _WIN32
    RemoveDirectoryA((root + "\\sub").c_str());
    RemoveDirectoryA(root.c_str());
#else
    rmdir((root + "/sub").c_str());
    rmdir(root.c_str());
#endif
}

#ifdef _WIN32
TEST(TextTest, WindowsRunsWithTheChineseCodePage) {
    EXPECT_EQ(GetACP(), 936u);
    // The system's own conversion agrees with ours.
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "上证", -1, wide, 8), 3);
    EXPECT_EQ(wide[0], 0x4E0A);
    EXPECT_EQ(wide[1], 0x8BC1);
    char back[8] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 8, nullptr, nullptr), 5);
    EXPECT_STREQ(back, "上证");
}
#endif

}  // namespace
