// Skin selection, theme values with their defaults and bounds, and the pictures of the skin.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/gdicache.h"
#include "base/win32util.h"
#include "skin/skinbitmap.h"
#include "skin/skinmanager.h"

namespace {

bool FileExists(const std::string& p) { return ::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::string& path, const char* text) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fputs(text, f);
    fclose(f);
}

// Each test starts and ends with the Default skin selected.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroySkinManager();
        ASSERT_NE(LoadSkin(), nullptr);
    }
    void TearDown() override {
        DestroySkinManager();
        LoadSkin();
    }
    // Selects a skin of our own, made in a folder beside the program.
    void SelectTestSkin(const char* name, const char* theme) {
        std::string folder = GetModuleDirectory() + "Skin\\" + name;
        ::CreateDirectoryA((GetModuleDirectory() + "Skin").c_str(), nullptr);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::DeleteFileA((folder + "\\theme.ini").c_str());
        if (theme) WriteFile(folder + "\\theme.ini", theme);
        DestroySkinManager();
        LoadSkin(name);
        ASSERT_EQ(GetSkinFolder(), folder);
    }
};

TEST_F(SkinTest, DefaultSkinIsFoundBesideTheProgram) {
    EXPECT_EQ(GetSkinName(), "Default");
    EXPECT_EQ(GetSkinFolder(), GetModuleDirectory() + "Skin\\Default");
    EXPECT_EQ(GetThemePath(), GetSkinFolder() + "\\theme.ini");
    EXPECT_TRUE(FileExists(GetSkinFilePath("menu.png")));
    // Later calls change nothing, whatever they name.
    CSkinManager* first = LoadSkin();
    EXPECT_EQ(LoadSkin("Other"), first);
    EXPECT_EQ(GetSkinName(), "Default");
}

TEST_F(SkinTest, GeneratedThemeIsRead) {
    ThemeFrameParams p;
    ReadThemeFrameParams(&p);
    EXPECT_EQ(p.colorMask, RGB(255, 0, 255));
    EXPECT_EQ(p.textShift, 34u);
    EXPECT_EQ(p.enableTransparency, 1);
    EXPECT_EQ(p.buttonImgCount, 3u);
    EXPECT_EQ(p.topTopHeight, 40u);
    EXPECT_EQ(p.textColorActive, RGB(226, 232, 240));
    ASSERT_EQ(p.buttons.size(), 4u);
    EXPECT_EQ(p.buttons[0].type, 0u);
    EXPECT_EQ(p.buttons[0].x, 34u);
    for (const auto& b : p.buttons) EXPECT_TRUE(FileExists(b.image)) << b.image;
    for (const std::string* f : {&p.title, &p.leftBorder, &p.rightBorder, &p.bottomBorder})
        EXPECT_TRUE(FileExists(*f)) << *f;

    char buf[MAX_PATH];
    int n = GetThemeFilePath("FrameParams", "Title", buf, sizeof(buf), nullptr);
    EXPECT_EQ(std::string(buf, n), GetSkinFilePath("Title.bmp"));
    char tiny[8] = "keep";
    EXPECT_EQ(GetThemeFilePath("FrameParams", "Title", tiny, sizeof(tiny), nullptr), 0);
    EXPECT_STREQ(tiny, "keep");  // a path that does not fit leaves the buffer alone
}

TEST_F(SkinTest, MissingThemeFileGivesTheDefaults) {
    SelectTestSkin("VelmoraTestNoTheme", nullptr);
    ThemeFrameParams p;
    ReadThemeFrameParams(&p);
    EXPECT_EQ(p.colorMask, RGB(255, 0, 255));
    EXPECT_EQ(p.textShift, 30u);
    EXPECT_EQ(p.textShiftVert, 0u);
    EXPECT_EQ(p.enableTransparency, 1);
    EXPECT_EQ(p.title, "");
    EXPECT_EQ(p.buttonImgCount, 1u);
    EXPECT_TRUE(p.buttons.empty());
    EXPECT_EQ(p.textColorActive, RGB(21, 66, 139));
    EXPECT_EQ(p.textColorInactive, RGB(160, 160, 160));
    EXPECT_EQ(GetThemeInt("FrameParams", "TopTopHeight", 5), 5u);
}

TEST_F(SkinTest, BrokenAndMissingKeysAreBoundedOrDefaulted) {
    SelectTestSkin("VelmoraTestBroken",
                   "[General]\r\nColorMask=300,0,0\r\nTextShift=99999999999\r\nTextShiftVert=  +12abc\r\n"
                   "EnableTransparency=no\r\n"
                   "[FrameParams]\r\nButtonCount=-1\r\nButtonImgCount=0\r\nTopTopHeight=\r\n"
                   "TextColorActive=0,128\r\n");
    ThemeFrameParams p;
    ReadThemeFrameParams(&p);
    EXPECT_EQ(p.colorMask, RGB(44, 0, 0));      // components keep their low 8 bits
    EXPECT_EQ(p.textShift, (UINT)kThemeNumberMax);
    EXPECT_EQ(p.textShiftVert, 12u);
    EXPECT_EQ(p.enableTransparency, 0);
    EXPECT_TRUE(p.buttons.empty());             // "-1" is no count of four billion
    EXPECT_EQ(p.buttonImgCount, 1u);            // never a zero divisor
    EXPECT_EQ(p.topTopHeight, 0u);              // empty value: the default
    EXPECT_EQ(p.textColorActive, RGB(0, 128, 0));
    EXPECT_EQ(p.textColorInactive, RGB(160, 160, 160));  // missing key

    SelectTestSkin("VelmoraTestMany",
                   "[FrameParams]\r\nButtonCount=1000\r\n[FrameButton0]\r\nType=7\r\nButtonImage=close.bmp\r\n"
                   "[FrameButton1]\r\nType=2\r\nButtonImage=min.bmp\r\nXCoord=50\r\n");
    ReadThemeFrameParams(&p);
    ASSERT_EQ(p.buttons.size(), 1u);  // type 7 skipped, sections without a picture too
    EXPECT_EQ(p.buttons[0].type, 2u);
    EXPECT_EQ(p.buttons[0].x, 50u);
}

TEST(ThemeValues, TextRules) {
    struct { const char* text; COLORREF color; } colors[] = {
        {"255,0,255", RGB(255, 0, 255)}, {"0,128", RGB(0, 128, 0)}, {"300,0,0", RGB(44, 0, 0)},
        {"1,2,3,4", RGB(1, 2, 3)}, {"", RGB(0, 0, 0)}, {" 7 , 8 ,9", RGB(7, 8, 9)},
    };
    for (const auto& c : colors) EXPECT_EQ(ParseThemeColor(c.text), c.color) << c.text;

    struct { const char* text; int def; int value; } flags[] = {
        {"YES", 0, 1}, {"true", 0, 1}, {"2", 0, 1}, {"no", 1, 0}, {"0", 1, 0}, {"", 1, 1}, {"", 0, 0},
    };
    for (const auto& f : flags) EXPECT_EQ(ParseBool(f.text, f.def), f.value) << f.text;

    struct { const char* text; bool ok; UINT value; } numbers[] = {
        {"30", true, 30}, {"  42", true, 42}, {"+5", true, 5}, {"12abc", true, 12}, {"-1", false, 0},
        {"abc", false, 0}, {"4294967296", true, kThemeNumberMax}, {"40000", true, kThemeNumberMax},
    };
    for (const auto& n : numbers) {
        UINT v = 0;
        EXPECT_EQ(ParseThemeNumber(n.text, &v), n.ok) << n.text;
        if (n.ok) {
            EXPECT_EQ(v, n.value) << n.text;
        }
    }

    struct { const char* name; int type; } types[] = {
        {"a.bmp", 0}, {"a.Bmp", 0}, {"x.JPG", 1}, {"a.png", 2}, {"bmp", 2}, {"", 2},
    };
    for (const auto& t : types) EXPECT_EQ(GetImageType(t.name), t.type) << t.name;
}

TEST(ThemeValues, BorderSplitStaysInsideTheImage) {
    struct { int length, head, tail, headEnd, tailStart; } cases[] = {
        {200, 40, 40, 40, 160}, {200, 0, 0, 0, 200}, {60, 40, 40, 40, 41},
        {30, 40, 10, 30, 30}, {100, 10, 500, 10, 11},
    };
    for (const auto& c : cases) {
        int he = -1, ts = -1;
        SplitBorderImage(c.length, c.head, c.tail, &he, &ts);
        EXPECT_EQ(he, c.headEnd) << c.length << "/" << c.head << "/" << c.tail;
        EXPECT_EQ(ts, c.tailStart) << c.length << "/" << c.head << "/" << c.tail;
    }
}

TEST(SkinFolder, FallsBackToTheParentFoldersSkin) {
    char tmp[MAX_PATH];
    ::GetTempPathA(sizeof(tmp), tmp);
    std::string root = std::string(tmp) + "velmora_skin_fallback";
    std::string prog = root + "\\bin\\";
    ::RemoveDirectoryA((prog + "Skin\\Blue").c_str());  // left by an earlier run
    ::RemoveDirectoryA((prog + "Skin").c_str());
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA(prog.c_str(), nullptr);
    ::CreateDirectoryA((root + "\\Skin").c_str(), nullptr);
    ::CreateDirectoryA((root + "\\Skin\\Blue").c_str(), nullptr);
    EXPECT_EQ(GetParentDirectory(prog), root + "\\");
    EXPECT_EQ(ResolveSkinFolder(prog, "Blue"), root + "\\Skin\\Blue");
    ::CreateDirectoryA((prog + "Skin").c_str(), nullptr);
    ::CreateDirectoryA((prog + "Skin\\Blue").c_str(), nullptr);
    EXPECT_EQ(ResolveSkinFolder(prog, "Blue"), prog + "Skin\\Blue");  // beside the program wins
    EXPECT_EQ(GetParentDirectory("C:\\"), "C:\\");                    // too short
    EXPECT_EQ(GetParentDirectory(root + "\\missing\\"), root + "\\missing\\");
}

TEST(GdiCache, SameKeySameHandleChangedKeyNewHandle) {
    FreeGdiCache();
    CGdiCache* cache = GetGdiCache();
    ASSERT_NE(cache, nullptr);
    HFONT song12 = cache->GetFont(12, "宋体", false);
    ASSERT_NE(song12, nullptr);
    EXPECT_EQ(cache->GetFont(12, "宋体", false), song12);
    HFONT bold = cache->GetFont(12, "宋体", true);
    HFONT taller = cache->GetFont(13, "宋体", false);
    HFONT arial = cache->GetFont(12, "Arial", false);
    EXPECT_NE(bold, song12);
    EXPECT_NE(taller, song12);
    EXPECT_NE(arial, song12);
    LOGFONTA lf = {};
    ::GetObjectA(song12, sizeof(lf), &lf);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);  // so that Chinese text draws
    EXPECT_EQ(lf.lfHeight, 12);

    HPEN thin = cache->GetPen(PS_SOLID, 1, RGB(255, 0, 0));
    HPEN wide = cache->GetPen(PS_SOLID, 2, RGB(255, 0, 0));
    HPEN dash = cache->GetPen(PS_DASH, 1, RGB(255, 0, 0));
    HPEN blue = cache->GetPen(PS_SOLID, 1, RGB(0, 0, 255));
    EXPECT_NE(thin, wide);
    EXPECT_NE(thin, dash);
    EXPECT_NE(thin, blue);
    EXPECT_EQ(cache->GetPen(PS_SOLID, 1, RGB(255, 0, 0)), thin);
    EXPECT_EQ(cache->GetFontCount(), 4u);
    EXPECT_EQ(cache->GetPenCount(), 4u);

    // Status panes are built on the refresh thread while the UI thread paints.
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (cache->GetFont(12, "宋体", false) != song12) ++mismatches;
                cache->GetPen(PS_SOLID, 1 + i % 3, RGB(i, t, 7));
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(cache->GetPenCount(), 4u + 4 * 200);

    FreeGdiCache();
    CGdiCache* fresh = GetGdiCache();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetFontCount(), 0u);
    EXPECT_EQ(fresh->GetPenCount(), 0u);
    FreeGdiCache();
}

TEST(Win32Util, LoadPngFromFileAndResource) {
    DestroySkinManager();
    LoadSkin();
    HBITMAP file = LoadPngResource(GetSkinFilePath("menu.png").c_str(), nullptr);
    ASSERT_NE(file, nullptr);
    BITMAP bm = {};
    ::GetObjectA(file, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 256);
    EXPECT_EQ(bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight, 22);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    ::DeleteObject(file);

    HBITMAP res = LoadPngResource(MAKEINTRESOURCEA(300), "PNG");
    ASSERT_NE(res, nullptr);
    ::GetObjectA(res, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 12);
    ::DeleteObject(res);

    EXPECT_EQ(LoadPngResource(MAKEINTRESOURCEA(301), "PNG"), nullptr);
    EXPECT_EQ(LoadPngResource(GetSkinFilePath("no-such.png").c_str(), nullptr), nullptr);
}

// One decoded picture for every holder at the same time; gone with the last, decoded afresh after.
TEST(Win32Util, SharedSkinPicturesDecodeOnceWhileHeld) {
    DestroySkinManager();
    LoadSkin();
    SharedBitmap first = SharedSkinPicture("menu.png");
    ASSERT_NE(first, nullptr);
    SharedBitmap second = SharedSkinPicture("menu.png");
    EXPECT_EQ(second.get(), first.get()) << "the same bitmap, not a second decoding";
    EXPECT_NE(SharedSkinPicture("Bar.png").get(), first.get());
    BITMAP bm = {};
    ASSERT_EQ(::GetObjectA(first.get(), sizeof(bm), &bm), (int)sizeof(bm));
    EXPECT_EQ(bm.bmWidth, 256);
    HBITMAP handle = first.get();
    first.reset();
    EXPECT_NE(::GetObjectA(handle, sizeof(bm), &bm), 0) << "still held by the second holder";
    second.reset();
    EXPECT_EQ(::GetObjectA(handle, sizeof(bm), &bm), 0) << "deleted with its last holder";
    SharedBitmap again = SharedSkinPicture("menu.png");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(::GetObjectA(again.get(), sizeof(bm), &bm), 0);
    EXPECT_EQ(SharedSkinPicture("no-such.png"), nullptr);
    EXPECT_EQ(SharedSkinPicture(""), nullptr);
}

TEST(Win32Util, ClampToMonitorX) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(ClampToMonitorX(100, 100), 100);
    EXPECT_EQ(ClampToMonitorX(-5000, 100), work.left);
    EXPECT_EQ(ClampToMonitorX(50000, 100), work.right);
}

TEST(HandleHolder, ClosesOnce) {
    CHandleHolder h;
    EXPECT_EQ(h.CloseHandleMember(), 0);
    h.m_hHandle = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(h.CloseHandleMember(), 0);
    EXPECT_EQ(h.m_hHandle, nullptr);
    EXPECT_EQ(h.CloseHandleMember(), 0);
}

}  // namespace
