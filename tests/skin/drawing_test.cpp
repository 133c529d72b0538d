// Every picture of the generated skin loads at its size, and drawing it through the skin
// bitmap (blit, stretch, transparent colour, alpha) puts the expected colours in a memory DC.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "skin/skinbitmap.h"
#include "skin/skinmanager.h"
#include "skin/skinmenu.h"
#include "winfw/winfw.h"

namespace {

// Colours the skin generator uses (tools/skin-generator/make_skin.py).
const COLORREF kCaption = RGB(34, 42, 54);
const COLORREF kMagenta = RGB(255, 0, 255);
const COLORREF kAccent = RGB(58, 112, 176);
const COLORREF kPanelTop = RGB(30, 38, 50);
const COLORREF kBorder = RGB(40, 48, 60);

// A 32-bit memory canvas filled with one colour.
class CCanvas {
public:
    CCanvas(int w, int h, COLORREF fill) : w(w), h(h) {
        dc.CreateCompatibleDC(nullptr);
        bmp.CreateDIB32(w, h);
        old = dc.SelectBitmap(bmp);
        RECT r = {0, 0, w, h};
        dc.FillSolidRect(&r, fill);
    }
    ~CCanvas() { dc.SelectBitmap(old); }
    COLORREF At(int x, int y) const { return dc.GetPixel(x, y) & 0xFFFFFF; }
    int w, h;
    CDC dc;
    CBitmap bmp;
    HBITMAP old;
};

::testing::AssertionResult Near(COLORREF got, COLORREF want, int tol = 3) {
    int d = std::max(std::abs((int)GetRValue(got) - (int)GetRValue(want)),
                     std::max(std::abs((int)GetGValue(got) - (int)GetGValue(want)),
                              std::abs((int)GetBValue(got) - (int)GetBValue(want))));
    if (d <= tol) return ::testing::AssertionSuccess();
    char msg[96];
    snprintf(msg, sizeof(msg), "got %d,%d,%d want %d,%d,%d", GetRValue(got), GetGValue(got), GetBValue(got),
             GetRValue(want), GetGValue(want), GetBValue(want));
    return ::testing::AssertionFailure() << msg;
}

class SkinDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        DestroySkinManager();
        LoadSkin();
    }
    static void Load(CSkinBitmap& b, const char* file) { EXPECT_TRUE(b.LoadSkinFile(file)) << file; }
};

TEST_F(SkinDrawing, EveryPictureLoadsAtItsSize) {
    struct { const char* file; int w, h; bool alpha; } images[] = {
        {"Title.bmp", 200, 60, false}, {"LeftBorder.bmp", 8, 200, false}, {"RightBorder.bmp", 8, 200, false},
        {"BottomBorder.bmp", 200, 8, false}, {"close.bmp", 84, 40, false}, {"max.bmp", 84, 40, false},
        {"restore.bmp", 84, 40, false}, {"min.bmp", 84, 40, false}, {"ListItems.bmp", 96, 16, false},
        {"menu.png", 256, 22, true}, {"bg1.png", 64, 80, true}, {"Logo.png", 220, 80, true},
        {"Logo_01.png", 360, 90, true}, {"about.png", 400, 260, true}, {"Bar.png", 8, 32, true},
        {"barbutton_left.png", 24, 29, true}, {"barbutton_middle.png", 488, 29, true},
        {"barbutton_right.png", 24, 29, true}, {"kline.png", 72, 18, true}, {"realtime.png", 72, 18, true},
        {"shape.png", 72, 18, true}, {"trend.png", 72, 18, true}, {"pool.png", 72, 18, true},
        {"buypoint.png", 72, 18, true}, {"stockowner.png", 72, 18, true}, {"minute.png", 72, 18, true},
        {"statusbarbkgnd.png", 64, 24, true}, {"scrollbarbkgnd.png", 400, 28, true}, {"arrow1.png", 12, 16, true},
        {"arrow2.png", 12, 16, true}, {"arrow3.png", 12, 16, true}, {"Tabs.png", 200, 28, true},
        {"TabRow.png", 4, 4, true}, {"ExtraClose.png", 64, 16, true},
    };
    for (const auto& i : images) {
        CSkinBitmap b;
        ASSERT_TRUE(b.LoadSkinFile(i.file)) << i.file;
        EXPECT_EQ(b.GetWidth(), i.w) << i.file;
        EXPECT_EQ(b.GetHeight(), i.h) << i.file;
        EXPECT_EQ(b.HasAlpha(), i.alpha) << i.file;
    }
    CSkinBitmap missing;
    EXPECT_FALSE(missing.LoadSkinFile("none.bmp"));
    EXPECT_FALSE(missing.DrawPart(nullptr, 0, 0));
    CImageList list;  // the list control's image list
    ASSERT_NE(list.LoadFromFile(GetSkinFilePath("ListItems.bmp").c_str(), 16, kMagenta), nullptr);
    EXPECT_EQ(list.GetImageCount(), 6);
}

TEST_F(SkinDrawing, BlitAndTransparentColour) {
    CSkinBitmap title;
    Load(title, "Title.bmp");
    CCanvas c(200, 40, RGB(255, 255, 255));
    EXPECT_TRUE(title.Blit(c.dc, CRect(0, 0, 200, 30)));
    EXPECT_EQ(c.At(0, 0), kMagenta);            // opaque copy keeps the hole colour
    EXPECT_TRUE(Near(c.At(100, 15), kCaption));
    EXPECT_EQ(c.At(100, 35), RGB(255, 255, 255));  // cut to the rectangle

    CCanvas t(200, 40, RGB(255, 255, 255));
    CRect upper(0, 0, 200, 30);
    EXPECT_TRUE(title.Draw(t.dc, 0, 5, &upper, kMagenta, true));
    EXPECT_EQ(t.At(0, 5), RGB(255, 255, 255));   // the hole shows what was below
    EXPECT_EQ(t.At(199, 5), RGB(255, 255, 255));
    EXPECT_TRUE(Near(t.At(100, 20), kCaption));
    EXPECT_TRUE(Near(t.At(10, 5), RGB(62, 74, 92)));  // the caption's top line

    CSkinBitmap list;
    Load(list, "ListItems.bmp");  // cell 3, ticked box, over a grey row
    CCanvas l(16, 16, RGB(90, 90, 90));
    CRect cell3(48, 0, 64, 16);
    list.Draw(l.dc, 0, 0, &cell3, kMagenta, true);
    EXPECT_EQ(l.At(0, 0), RGB(90, 90, 90));
    EXPECT_TRUE(Near(l.At(12, 12), RGB(250, 250, 252)));
}

TEST_F(SkinDrawing, StretchAndSlices) {
    CSkinBitmap bg;
    Load(bg, "bg1.png");
    CCanvas c(128, 40, RGB(255, 0, 0));
    EXPECT_TRUE(bg.StretchDraw(c.dc, CRect(0, 0, 128, 40)));
    EXPECT_TRUE(Near(c.At(0, 0), kPanelTop));
    EXPECT_TRUE(Near(c.At(127, 0), kPanelTop));
    EXPECT_TRUE(Near(c.At(64, 20), RGB(24, 30, 40), 6));  // half way down the gradient

    // Three slices around column 100 of the caption: both rounded ends stay at the ends.
    CSkinBitmap title;
    Load(title, "Title.bmp");
    CCanvas wide(500, 60, RGB(255, 255, 255));
    EXPECT_TRUE(title.DrawStretched(wide.dc, CRect(0, 0, 500, 60), 100, 0));
    EXPECT_EQ(wide.At(0, 0), kMagenta);
    EXPECT_EQ(wide.At(499, 0), kMagenta);
    EXPECT_NE(wide.At(300, 0), kMagenta);
    EXPECT_TRUE(Near(wide.At(300, 15), kCaption));
    // A target narrower than the picture, and a cap beyond it, still draw inside the target.
    CCanvas narrow(150, 60, RGB(255, 255, 255));
    EXPECT_TRUE(title.DrawStretched(narrow.dc, CRect(0, 0, 150, 60), 100, 0));
    EXPECT_EQ(narrow.At(149, 0), kMagenta);
    CCanvas capped(300, 60, RGB(255, 255, 255));
    EXPECT_TRUE(title.DrawStretched(capped.dc, CRect(0, 0, 300, 60), 320, 0));
    EXPECT_TRUE(Near(capped.At(250, 15), kCaption));

    // Nine slices of the left border (its head is the caption's colour, the rest the border's).
    CSkinBitmap left;
    Load(left, "LeftBorder.bmp");
    CCanvas tall(8, 400, RGB(255, 255, 255));
    EXPECT_TRUE(left.DrawStretched(tall.dc, CRect(0, 0, 8, 400), 4, 30));
    EXPECT_TRUE(Near(tall.At(1, 10), kCaption));
    EXPECT_TRUE(Near(tall.At(1, 200), kBorder));
    EXPECT_TRUE(Near(tall.At(1, 399), kBorder));
}

TEST_F(SkinDrawing, AlphaPicturesBlendOverWhatIsBelow) {
    CSkinBitmap menu;
    Load(menu, "menu.png");
    CCanvas black(64, 22, RGB(0, 0, 0));
    CRect hover(128, 0, 192, 22), spare(0, 0, 64, 22);
    EXPECT_TRUE(menu.AlphaDraw(black.dc, CRect(0, 0, 64, 22), &hover));
    EXPECT_TRUE(Near(black.At(32, 15), kAccent));         // opaque middle of the hover frame
    EXPECT_EQ(black.At(0, 0), RGB(0, 0, 0));              // transparent corner
    CCanvas white(64, 22, RGB(255, 255, 255));
    EXPECT_TRUE(menu.AlphaDraw(white.dc, CRect(0, 0, 64, 22), &spare));
    EXPECT_EQ(white.At(32, 11), RGB(255, 255, 255));      // the spare frame is empty

    // Half-transparent hover body of the dark buttons: (90,140,200) at alpha 140.
    CSkinBitmap middle;
    Load(middle, "barbutton_middle.png");
    CRect frame2(244, 0, 366, 29);
    CCanvas overBlack(122, 29, RGB(0, 0, 0));
    CCanvas overWhite(122, 29, RGB(255, 255, 255));
    middle.AlphaDraw(overBlack.dc, CRect(0, 0, 122, 29), &frame2);
    middle.AlphaDraw(overWhite.dc, CRect(0, 0, 122, 29), &frame2);
    EXPECT_TRUE(Near(overBlack.At(60, 14), RGB(49, 77, 110), 4));
    EXPECT_TRUE(Near(overWhite.At(60, 14), RGB(164, 192, 225), 4));
    // A constant alpha on top of the picture's own.
    CCanvas faded(64, 22, RGB(0, 0, 0));
    menu.AlphaDraw(faded.dc, CRect(0, 0, 64, 22), &hover, 128);
    EXPECT_TRUE(Near(faded.At(32, 15), RGB(29, 56, 88), 4));
}

TEST_F(SkinDrawing, RegionFromTransparentColour) {
    CSkinBitmap title;
    Load(title, "Title.bmp");
    CRgn rgn(BitmapToRegion(title, kMagenta));
    ASSERT_FALSE(rgn.IsNull());
    EXPECT_FALSE(rgn.PtInRegion(0, 0));
    EXPECT_FALSE(rgn.PtInRegion(199, 0));
    EXPECT_TRUE(rgn.PtInRegion(3, 0));
    EXPECT_TRUE(rgn.PtInRegion(100, 15));
    EXPECT_TRUE(rgn.PtInRegion(199, 10));

    CCanvas all(10, 5, kMagenta);
    CRgn none(BitmapToRegion(all.bmp, kMagenta));
    CRect box;
    EXPECT_EQ(none.GetRgnBox(&box), NULLREGION);
    CCanvas solid(10, 5, RGB(1, 2, 3));
    CRgn full(BitmapToRegion(solid.bmp, kMagenta));
    EXPECT_EQ(full.GetRgnBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 10, 5));
}

TEST(Hsl, ConversionsFollowThePackedLayout) {
    DWORD grey = RgbToHsl(RGB(128, 128, 128));
    EXPECT_EQ(grey, 128u << 8);
    EXPECT_EQ(HslToRgb(grey), RGB(128, 128, 128));
    // Red comes out at 360 degrees (only a hue above 360 is wrapped), packed as 255.
    struct { COLORREF rgb; int hue; } primaries[] = {
        {RGB(255, 0, 0), 255}, {RGB(0, 255, 0), 85}, {RGB(0, 0, 255), 170}, {RGB(0, 200, 200), 127},
    };
    for (const auto& p : primaries) {
        DWORD hsl = RgbToHsl(p.rgb);
        EXPECT_EQ((int)(hsl & 0xFF), p.hue);
        EXPECT_EQ((int)((hsl >> 16) & 0xFF), 255);   // fully saturated
        EXPECT_TRUE(Near(HslToRgb(hsl), p.rgb, 4));
    }
    DWORD dark = RgbToHsl(RGB(0, 0, 100));  // lightness below one half: the first saturation rule
    EXPECT_EQ((dark >> 8) & 0xFF, 50u);
    EXPECT_EQ((dark >> 16) & 0xFF, 255u);
}

// ---- A window showing the whole skin, for screenshots (scripts/screenshot) ------------------

class CGallery : public CWindowImpl<CGallery, CWindow, CFrameWinTraits>, public CDoubleBufferImpl<CGallery> {
public:
    DECLARE_WND_CLASS("VelmoraSkinGallery")
    BEGIN_MSG_MAP(CGallery)
        MSG_WM_TIMER(OnTimer)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CGallery>)
    END_MSG_MAP()
    void OnTimer(UINT_PTR) {
        DestroyWindow();
        ::PostQuitMessage(0);
    }
    void DoPaint(HDC hdc) {
        CDCHandle dc(hdc);
        CRect client = GetClientRect();
        CSkinBitmap bg;
        bg.LoadSkinFile("bg1.png");
        bg.StretchDraw(dc, client);
        CSkinBitmap title;
        title.LoadSkinFile("Title.bmp");
        CRect upper(0, 0, 200, 30);
        title.StretchDraw(dc, CRect(0, 0, client.Width(), 30), &upper);
        int y = 40, x = 10;
        const char* pngs[] = {"Logo.png", "menu.png", "Tabs.png", "barbutton_left.png", "barbutton_middle.png",
                              "barbutton_right.png", "kline.png", "realtime.png", "shape.png", "trend.png",
                              "pool.png", "buypoint.png", "stockowner.png", "minute.png", "ExtraClose.png",
                              "arrow1.png", "arrow2.png", "arrow3.png", "Bar.png", "about.png", "Logo_01.png"};
        for (const char* f : pngs) {
            CSkinBitmap b;
            if (!b.LoadSkinFile(f)) continue;
            if (x + b.GetWidth() > client.Width() - 10) {
                x = 10;
                y += 100;
            }
            b.AlphaDraw(dc, CRect(x, y, x + b.GetWidth(), y + b.GetHeight()));
            x += b.GetWidth() + 12;
        }
        const char* bmps[] = {"close.bmp", "max.bmp", "restore.bmp", "min.bmp", "ListItems.bmp"};
        x = 10;
        y += 280;
        for (const char* f : bmps) {
            CSkinBitmap b;
            if (!b.LoadSkinFile(f)) continue;
            b.Draw(dc, x, y, nullptr, kMagenta, true);
            x += b.GetWidth() + 12;
        }
        CSkinBitmap status;
        status.LoadSkinFile("statusbarbkgnd.png");
        status.StretchDraw(dc, CRect(0, client.bottom - 24, client.right, client.bottom));
        CSkinBitmap ticker;
        ticker.LoadSkinFile("scrollbarbkgnd.png");
        ticker.DrawStretched(dc, CRect(0, client.bottom - 52, client.right, client.bottom - 24), 320, 0);
    }
};

// The default menu item's font: a copy at the wanted weight while in scope, only when needed.
TEST(FontWeight, SelectorSwapsTheFontOnlyWhenTheWeightDiffers) {
    auto weightOf = [](HDC dc) {
        LOGFONTA lf = {};
        ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof(lf), &lf);
        return lf.lfWeight;
    };
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    LOGFONTA lf = {};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lstrcpynA(lf.lfFaceName, "Tahoma", LF_FACESIZE);
    CFont normal;
    normal.CreateFontIndirect(&lf);
    HGDIOBJ original = ::SelectObject(dc, normal);
    {
        FontWeightSelector bold(dc, true);
        EXPECT_NE(::GetCurrentObject(dc, OBJ_FONT), (HGDIOBJ)normal.m_hObject);
        EXPECT_EQ(weightOf(dc), FW_BOLD);
        {
            FontWeightSelector again(dc, true);  // already bold: nothing changes
            EXPECT_EQ(weightOf(dc), FW_BOLD);
        }
        EXPECT_EQ(weightOf(dc), FW_BOLD);
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), (HGDIOBJ)normal.m_hObject);
    {
        FontWeightSelector plain(dc, false);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), (HGDIOBJ)normal.m_hObject);
    }
    ::SelectObject(dc, original);
}

// Run by scripts/screenshot: --gtest_also_run_disabled_tests --gtest_filter=*Gallery*
TEST(SkinGallery, DISABLED_Show) {
    DestroySkinManager();
    LoadSkin();
    CGallery g;
    ASSERT_NE(g.Create(nullptr, CRect(0, 0, 1000, 720), "Velmora skin", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    const char* ms = getenv("VELMORA_SHOW_MS");
    g.SetTimer(1, ms ? atoi(ms) : 20000);
    CMessageLoop loop;
    loop.Run();
}

}  // namespace
