// The skinned controls drawn into DIBs and driven with messages under a recording parent: fade
// buttons, the command bar, the ticker and link bar, the status bar, the tab bar and the statics.
#include <chrono>
#include <future>
#include <thread>

#include "base/gdicache.h"
#include "base/seams.h"
#include "ctl_helpers.h"
#include "skin/fadebutton.h"
#include "skin/hyperlink.h"
#include "skin/newsbar.h"
#include "skin/statusbar.h"
#include "skin/tabbar.h"

using namespace ctltest;

namespace {

const COLORREF kAccent = RGB(58, 112, 176);
const COLORREF kCloseHover = RGB(200, 64, 56), kClosePressed = RGB(150, 40, 36);

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        LoadSkin();
        opened.clear();
        oldHook = SetOpenPageHook([this](const char* url) {
            opened.push_back(url);
            if (onOpen) onOpen();
            return true;
        });
        ASSERT_NE(parent.Create(nullptr, CRect(0, 0, 900, 300), "controls", WS_POPUP | WS_VISIBLE), nullptr);
    }
    void TearDown() override {
        parent.DestroyWindow();
        SetOpenPageHook(oldHook);
    }
    // Runs f on another thread; false when it did not finish in two seconds (a lock held).
    static bool FinishesOnAnotherThread(std::function<void()> f) {
        auto done = std::async(std::launch::async, f);
        return done.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    }
    CRecorder parent;
    std::vector<std::string> opened;
    std::function<void()> onOpen;
    OpenPageHook oldHook;
};

TEST_F(Controls, FadeButtonStatesFadeAndClicks) {
    CFakeClock clock;
    CSkinFadeStateButtonCtrl b;
    ASSERT_NE(b.CreateSkinButton(parent, CRect(10, 10, 26, 26), "", 0, 0, 5004), nullptr);
    b.SetBitmap(LoadSkinPicture("ExtraClose.png"));
    const COLORREF back = ::GetSysColor(COLOR_WINDOW);
    auto probe = [&] { return CSnapshot(b).At(3, 8); };
    EXPECT_TRUE(Near(probe(), back)) << "normal";

    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(8, 8));
    EXPECT_TRUE(Near(probe(), back)) << "the fade starts at the old frame";
    clock.now += 130;
    COLORREF mid = probe();
    EXPECT_TRUE(CSnapshot::Differs(mid, back, 12) && CSnapshot::Differs(mid, kCloseHover, 12)) << "half way";
    clock.now += 300;
    EXPECT_TRUE(Near(probe(), kCloseHover)) << "the fade reaches the hover frame";
    EXPECT_EQ(b.Fade().alpha, 255u);

    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    EXPECT_TRUE(Near(probe(), kClosePressed)) << "pressing shows at once";
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    EXPECT_TRUE(Near(probe(), kCloseHover)) << "releasing shows at once";
    ASSERT_EQ(parent.Count(WM_COMMAND), 1);
    EXPECT_EQ(LOWORD(parent.sent.back().wParam), 5004);
    EXPECT_EQ(HIWORD(parent.sent.back().wParam), BN_CLICKED);

    // A double click is one click.
    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    EXPECT_EQ(b.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(8, 8)), 0);
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    EXPECT_EQ(parent.Count(WM_COMMAND), 2);

    // Pushed by its owner shows pressed; disabled shows frame 0.
    b.SendMessage(BM_SETSTATE, TRUE);
    EXPECT_TRUE(Near(probe(), kClosePressed));
    b.SendMessage(BM_SETSTATE, FALSE);
    b.EnableWindow(FALSE);
    probe();
    clock.now += 400;
    EXPECT_TRUE(Near(probe(), back)) << "disabled";

    CSkinFadeStateButtonCtrl off;
    ASSERT_NE(off.CreateSkinButton(parent, CRect(40, 10, 56, 26), "", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 5005), nullptr);
    off.SetBitmap(LoadSkinPicture("ExtraClose.png"));
    EXPECT_EQ(off.Fade().current, kFadeDisabled);
    EXPECT_EQ(off.Fade().alpha, 255u) << "created disabled: no fade";

    // A new picture replaces (and frees) the old one.
    HBITMAP second = LoadSkinPicture("ExtraClose.png");
    b.SetBitmap(second);
    EXPECT_EQ(b.GetImage(), second);
}

TEST_F(Controls, CommandBarComposesForwardsAndHides) {
    CSkinDarkCommandBarCtrl bar;
    bar.SetBitmaps(LoadSkinPicture("Bar.png"), LoadSkinPicture("barbutton_left.png"),
                   LoadSkinPicture("barbutton_middle.png"), LoadSkinPicture("barbutton_right.png"));
    ASSERT_NE(bar.Create(parent, CRect(0, 0, 600, 40), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    EXPECT_GE(bar.GetClientRect().Height(), 32);
    CommandButtonRecord rec;
    rec.id = 4001;
    rec.caption = "K线图";
    rec.icon = LoadSkinPicture("kline.png");
    rec.tooltip = "日K线";
    rec.dropArrow = true;
    ASSERT_TRUE(bar.AddButton(rec));
    CommandButtonRecord plain;
    plain.id = 4002;
    ASSERT_TRUE(bar.AddButton(plain));
    CommandButtonRecord third;
    third.id = 4003;
    third.caption = "即时分析";
    third.tooltip = "即时分析";
    ASSERT_TRUE(bar.AddButton(third));
    ASSERT_EQ(bar.Buttons().size(), 3u);
    const auto& b0 = bar.Buttons()[0];
    const auto& b1 = bar.Buttons()[1];

    // One tooltip control for the whole bar; each button with a tip is a tool of it, with its text.
    ASSERT_NE(bar.GetToolTip(), nullptr);
    EXPECT_EQ(::SendMessageA(bar.GetToolTip(), TTM_GETTOOLCOUNT, 0, 0), 2) << "the plain button has no tip";
    struct {
        size_t button;
        const char* text;
    } tips[] = {{0, "日K线"}, {1, ""}, {2, "即时分析"}};
    for (const auto& t : tips) {
        HWND w = bar.Buttons()[t.button].window;
        auto* b = static_cast<CSkinDarkCommandButtonCtrl*>(CWindowImplCore::FromHandle(w));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->GetToolTip(), bar.GetToolTip()) << t.button;
        char text[80] = {0};
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = w;
        ti.uId = (UINT_PTR)w;
        ti.lpszText = text;
        ::SendMessageA(bar.GetToolTip(), TTM_GETTEXTA, sizeof(text), (LPARAM)&ti);
        EXPECT_STREQ(text, t.text) << t.button;
    }

    SIZE caption = {0, 0};
    {
        CDibCanvas c(1, 1);
        CSelectObject s(c.dc(), bar.GetBarFont());
        ::GetTextExtentPoint32A(c.dc(), rec.caption.c_str(), (int)rec.caption.size(), &caption);
    }
    EXPECT_EQ(b0.rect.right - b0.rect.left, DarkButtonFrameWidth(72, true, caption.cx, true, true));
    EXPECT_EQ(b0.rect.left, 10);
    EXPECT_EQ(b1.rect.left, b0.rect.right + 2);
    EXPECT_EQ(b1.rect.right - b1.rect.left, 20) << "no icon, no caption";

    // The caption and arrow are opaque in the composed strip, and drawn with ink.
    auto* btn = static_cast<CSkinDarkCommandButtonCtrl*>(CWindowImplCore::FromHandle(b0.window));
    ASSERT_NE(btn, nullptr);
    DIBSECTION ds;
    ASSERT_EQ(::GetObjectA(btn->GetImage(), sizeof(ds), &ds), (int)sizeof(ds));
    const uint32_t* px = static_cast<const uint32_t*>(ds.dsBm.bmBits);
    int lit = 0, lost = 0;
    for (int i = 0; i < ds.dsBm.bmWidth * std::abs(ds.dsBm.bmHeight); ++i) {
        uint32_t a = px[i] >> 24, r = (px[i] >> 16) & 0xFF, g = (px[i] >> 8) & 0xFF, bl = px[i] & 0xFF;
        lit += a == 255 && r > 220 && g > 220 && bl > 220;
        lost += a == 0 && (px[i] & 0xFFFFFF) != 0;
    }
    EXPECT_GT(lit, 40) << "white caption pixels";
    EXPECT_EQ(lost, 0) << "no drawn pixel left transparent";

    // A click reaches the bar's parent as the button's command.
    ::SendMessageA(b0.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageA(b0.window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(parent.Count(WM_COMMAND), 1);
    EXPECT_EQ(LOWORD(parent.sent.back().wParam), 4001);
    EXPECT_EQ((HWND)parent.sent.back().lParam, b0.window);

    // Buttons that do not fit hide and come back.
    struct {
        int width;
        bool second;
    } widths[] = {{b1.rect.right + 5, false}, {b1.rect.right + 6, true}, {b0.rect.right + 6, false}};
    for (const auto& w : widths) {
        bar.SetWindowPos(nullptr, 0, 0, w.width, 40, SWP_NOZORDER | SWP_NOMOVE);
        EXPECT_EQ(::IsWindowVisible(b1.window) != FALSE, w.second) << w.width;
        EXPECT_TRUE(::IsWindowVisible(b0.window)) << w.width;
    }

    // The bar's own look without a picture: the three bands.
    CSkinDarkCommandBarCtrl bare;
    ASSERT_NE(bare.Create(parent, CRect(0, 50, 200, 90), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    CSnapshot s(bare);
    EXPECT_TRUE(Near(s.At(5, 0), RGB(90, 100, 130), 8));
    EXPECT_TRUE(Near(s.At(5, s.height() / 2 + 2), RGB(0, 0, 0), 8));
}

TEST_F(Controls, TickerScrollsWrapsAndOpensOnlyWebLinks) {
    CSkinScrollBarCtrl bar;
    ASSERT_TRUE(bar.Background().LoadSkinFile("scrollbarbkgnd.png"));
    bar.SetLink1("http://127.0.0.1/home", "访问财经网");
    bar.SetLink2("http://127.0.0.1/ask", "在线诊股");
    for (const char* f : {"arrow1.png", "arrow2.png", "arrow3.png"}) bar.AddLinkImage(LoadSkinPicture(f));
    bar.Ticker().SetTextColor(RGB(0, 0, 255));
    HFONT lent = GetGdiCache()->GetFont(13, "宋体", false);
    bar.Ticker().SetTickerFont(lent);
    ASSERT_NE(bar.Create(parent, CRect(0, 0, 800, 28), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    EXPECT_EQ(bar.GetBarHeight(), 28);
    auto placed = [&](HWND w) {
        CRect r = CWindow(w).GetWindowRect();
        bar.ScreenToClient(&r);
        return r;
    };
    EXPECT_EQ(placed(bar.Link2()), CRect(185, 6, 245, 22));
    EXPECT_EQ(placed(bar.Ticker()), CRect(292, 6, 800 - 6, 22));
    EXPECT_EQ(placed(bar.Link1()).Width(), 175);

    CSkinScrollInfo& t = bar.Ticker();
    t.SetNewsText("沪指收涨\thttp://127.0.0.1/n1\r\n本地程序\tfile:///C:/windows/notepad.exe\r\n无链接标题\r\n");
    ASSERT_EQ(t.GetItems().size(), 3u);
    const int cw = t.GetClientRect().Width();
    CSnapshot first(t);  // builds the strip
    auto ext = t.GetExtents();
    ASSERT_EQ(ext.size(), 3u);
    EXPECT_EQ(t.GetOffset(), 1) << "one pixel per paint";

    // Scrolling: the ink moves left by the number of paints in between.
    auto firstInk = [&](const CSnapshot& s) {
        for (int x = 0; x < s.width(); ++x)
            for (int y = 0; y < s.height(); ++y)
                if (Near(s.At(x, y), RGB(0, 0, 255), 60)) return x;
        return -1;
    };
    t.SetOffset(cw - 40);
    int a = firstInk(CSnapshot(t));
    for (int i = 0; i < 9; ++i) CSnapshot skip(t);
    int b = firstInk(CSnapshot(t));
    ASSERT_GE(a, 0);
    EXPECT_EQ(a - b, 10);

    // Wraps once the strip has left, and starts empty at the right edge.
    t.SetOffset(t.GetStripWidth() + cw - 1);
    CSnapshot last(t);
    EXPECT_EQ(t.GetOffset(), 0);
    EXPECT_EQ(firstInk(CSnapshot(t)), -1);

    // Clicks: the headline under the mouse, only its own link, only a web page.
    t.SetOffset(cw);  // strip column = window column
    struct {
        int x;
        const char* url;
    } clicks[] = {{ext[0].xStart + 3, "http://127.0.0.1/n1"}, {ext[1].xStart + 3, nullptr}, {ext[2].xEnd - 3, nullptr}};
    for (const auto& c : clicks) {
        opened.clear();
        t.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, 5));
        if (c.url) {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0], c.url);
        } else {
            EXPECT_TRUE(opened.empty()) << c.x;
        }
    }
    // Opening the page runs outside the ticker's lock: the refresh thread is not held up.
    bool replaced = false;
    onOpen = [&] { replaced = FinishesOnAnotherThread([&] { t.SetNewsText("新标题\thttp://127.0.0.1/n2\r\n"); }); };
    t.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ext[0].xStart + 3, 5));
    onOpen = nullptr;
    EXPECT_TRUE(replaced);

    // Hovering holds it; leaving resumes at the same place.
    t.SetOffset(50);
    t.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
    EXPECT_FALSE(t.IsScrolling());
    CSnapshot held(t);
    EXPECT_EQ(t.GetOffset(), 50);
    t.SendMessage(WM_MOUSELEAVE);
    EXPECT_TRUE(t.IsScrolling());
    CSnapshot moved(t);
    EXPECT_EQ(t.GetOffset(), 51);

    // A font lent by the GDI cache outlives the ticker that used it.
    {
        CSkinScrollInfo other;
        other.SetTickerFont(lent);
        ASSERT_NE(other.Create(parent, CRect(0, 100, 300, 120), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
        CSnapshot painted(other);
        other.DestroyWindow();
    }
    LOGFONTA lf;
    EXPECT_NE(::GetObjectA(lent, sizeof(lf), &lf), 0);

    // A bar whose picture is missing still has a height.
    CSkinScrollBarCtrl bare;
    bare.Background().LoadSkinFile("missing.png");
    ASSERT_NE(bare.Create(parent, CRect(0, 40, 800, 80), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    EXPECT_GE(bare.GetClientRect().Height(), 20);
}

TEST_F(Controls, StatusBarPanesNotifyTheParent) {
    CSkinStatusBarCtrl bar;
    ASSERT_TRUE(bar.LoadBackground("statusbarbkgnd.png"));
    ASSERT_NE(bar.Create(parent, CRect(0, 0, 800, 10), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    EXPECT_EQ(bar.GetClientRect().Height(), 24) << "the picture's height";
    HFONT bold = GetGdiCache()->GetFont(12, "宋体", true);
    StatusPane a, b;
    a.runs = {{"上证指数", 0, nullptr}, {" 3000.00", RGB(255, 0, 0), bold}};
    a.id = 4028;
    b.runs = {{"深证成指", 0, nullptr}, {" -1.25", RGB(0, 128, 0), bold}};
    b.id = 4029;
    bar.SetPanes({a, b});
    bar.SetStatusText("连接正常");
    CSnapshot s(bar);
    auto panes = bar.GetPanes();
    ASSERT_EQ(panes.size(), 2u);
    EXPECT_EQ(panes[0].xStart, 5);
    EXPECT_GT(panes[1].xStart, panes[0].xEnd + 4) << "a separator between";
    EXPECT_GT(s.Ink(CRect(panes[0].xStart, 0, panes[0].xEnd, 24), s.At(2, 12)), 60) << "Chinese pane text";

    const UINT notify = WM_APP + 7;
    struct {
        UINT msg;
        int x;
        int wantId;
    } clicks[] = {{0, (panes[0].xStart + panes[0].xEnd) / 2, -1}, {notify, (panes[0].xStart + panes[0].xEnd) / 2, 4028},
                  {notify, (panes[1].xStart + panes[1].xEnd) / 2, 4029}, {notify, panes[0].xEnd + 3, -1}};
    for (const auto& c : clicks) {
        bar.SetNotifyMessage(c.msg);
        parent.sent.clear();
        bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, 10));
        if (c.wantId < 0) {
            EXPECT_EQ(parent.Count(notify), 0) << c.x;
        } else {
            ASSERT_EQ(parent.Count(notify), 1) << c.x;
            EXPECT_EQ((int)parent.sent.back().wParam, c.wantId);
            EXPECT_EQ(parent.sent.back().lParam, 0);
        }
    }
    // The parent's handler runs outside the bar's lock: the refresh thread can replace the panes.
    bool replaced = false;
    bar.SetNotifyMessage(notify);
    parent.onRecord = [&] { replaced = FinishesOnAnotherThread([&] { bar.SetPanes({a}); }); };
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((panes[0].xStart + panes[0].xEnd) / 2, 10));
    parent.onRecord = nullptr;
    EXPECT_TRUE(replaced);
}

TEST_F(Controls, TabBarSelectsWithACrossFade) {
    CFakeClock clock;
    CSkinCmdBar tabs;
    tabs.SetBackgroundImages(LoadSkinPicture("Tabs.png"), LoadSkinPicture("TabRow.png"));
    tabs.AddItem(5002, "自选股");
    tabs.AddItem(5003, "板块信息");
    ASSERT_NE(tabs.Create(parent, CRect(0, 0, 300, 10), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    EXPECT_EQ(tabs.GetSelectedIndex(), 0) << "item 0 selected at creation";
    const auto& items = tabs.Model().items;
    ASSERT_EQ(items.size(), 2u);
    auto probe = [&](const CSnapshot& s, int i) {
        const SkinRect& r = items[i].rect;
        return s.At(r.left + 8, (r.top + r.bottom) / 2);
    };
    {
        CSnapshot s(tabs);
        EXPECT_TRUE(Near(probe(s, 0), kAccent)) << "selected";
        EXPECT_TRUE(Near(probe(s, 1), kParentBack, 24)) << "normal";
        EXPECT_GT(s.Ink(ToRect(items[0].rect), kAccent, 60), 30) << "white Chinese text";
    }
    // Hover shows at once.
    tabs.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(items[1].rect.left + 20, items[1].rect.top + 5));
    COLORREF hover = probe(CSnapshot(tabs), 1);
    EXPECT_GT(GetRValue(hover), GetRValue(kParentBack) + 20);

    // Clicking the other tab: its command, the new one selected at once, the old one fading out.
    int cx = items[1].rect.left + 20, cy = items[1].rect.top + 5;
    tabs.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    tabs.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    ASSERT_EQ(parent.Count(WM_COMMAND), 1);
    EXPECT_EQ(LOWORD(parent.sent.back().wParam), 5003);
    EXPECT_EQ((HWND)parent.sent.back().lParam, tabs.m_hWnd);
    EXPECT_EQ(tabs.GetSelectedIndex(), 1);
    {
        CSnapshot s(tabs);
        EXPECT_TRUE(Near(probe(s, 1), kAccent));
        EXPECT_TRUE(Near(probe(s, 0), kAccent, 16)) << "the fade starts at the selected frame";
    }
    clock.now += 150;
    COLORREF mid = probe(CSnapshot(tabs), 0);
    EXPECT_TRUE(CSnapshot::Differs(mid, kAccent, 16) && CSnapshot::Differs(mid, kParentBack, 24));
    clock.now += 200;
    tabs.SendMessage(WM_TIMER, CSkinCmdBar::kFadeTimer);
    EXPECT_FALSE(items[0].Fading());
    EXPECT_TRUE(Near(probe(CSnapshot(tabs), 0), kParentBack, 24)) << "faded out";

    // The selected tab again: its command, no fade; a release off every tab: nothing.
    tabs.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    tabs.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    EXPECT_EQ(parent.Count(WM_COMMAND), 2);
    EXPECT_FALSE(items[0].Fading() || items[1].Fading());
    tabs.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    tabs.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(290, cy));
    EXPECT_EQ(parent.Count(WM_COMMAND), 2);
    EXPECT_FALSE(tabs.SelectItemById(999, true));
    EXPECT_TRUE(tabs.SelectItemById(5002, true));
    EXPECT_EQ(tabs.GetSelectedIndex(), 0);
}

TEST_F(Controls, StaticsDrawGradientAndText) {
    CSkinGradientStatic g;
    ASSERT_NE(g.Create(parent, CRect(0, 0, 255, 24), "统计结果", WS_CHILD | WS_VISIBLE), nullptr);
    g.SetColors(RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 255));
    CFont f;
    f.CreateFont(14, "宋体");
    g.SetTextFont(f);
    CSnapshot s(g);
    EXPECT_TRUE(Near(s.At(0, 2), RGB(255, 0, 0), 4));
    EXPECT_TRUE(Near(s.At(254, 2), RGB(1, 0, 254), 4));
    EXPECT_TRUE(Near(s.At(127, 2), RGB(128, 0, 127), 4));
    EXPECT_GT(s.Ink(CRect(10, 0, 80, 24), s.At(60, 1), 60), 40) << "the text, indented";

    CSkinStatic t;
    ASSERT_NE(t.Create(parent, CRect(0, 30, 200, 60), "", WS_CHILD | WS_VISIBLE), nullptr);
    t.SetTextFont(f);
    t.SetTextColor(RGB(0, 0, 255));
    t.SetText("走势良好");
    CDibCanvas c(200, 30);
    CDCHandle(c.dc()).FillSolidRect(0, 0, 200, 30, RGB(255, 255, 255));
    t.SendMessage(WM_PRINTCLIENT, (WPARAM)c.dc(), PRF_CLIENT);
    ::GdiFlush();
    int blue = 0;
    for (int i = 0; i < 200 * 30; ++i) blue += (c.bits()[i] & 0xFF) > 150 && ((c.bits()[i] >> 16) & 0xFF) < 100;
    EXPECT_GT(blue, 40);
}

TEST_F(Controls, HyperlinkTooltipAndTags) {
    CSkinBitmapHyperLink plain, quiet, tagged;
    plain.SetHyperLink("http://127.0.0.1/help");
    ASSERT_NE(plain.Create(parent, CRect(0, 0, 200, 20), "帮助", WS_CHILD | WS_VISIBLE, 0, 11U), nullptr);
    ASSERT_NE(plain.GetToolTip(), nullptr);
    EXPECT_EQ(::SendMessageA(plain.GetToolTip(), TTM_GETTOOLCOUNT, 0, 0), 1);
    char tip[80] = {0};
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = plain;
    ti.uId = (UINT_PTR)plain.m_hWnd;
    ti.lpszText = tip;
    ::SendMessageA(plain.GetToolTip(), TTM_GETTEXTA, sizeof(tip), (LPARAM)&ti);
    EXPECT_STREQ(tip, "http://127.0.0.1/help") << "the tooltip names the page";
    quiet.SetExtendedStyle(HLINK_NOTOOLTIP);
    ASSERT_NE(quiet.Create(parent, CRect(0, 30, 200, 50), "静默", WS_CHILD | WS_VISIBLE, 0, 12U), nullptr);
    EXPECT_EQ(quiet.GetToolTip(), nullptr);

    // With tags only the tagged words are the link.
    tagged.SetExtendedStyle(HLINK_USETAGS | HLINK_COMMANDBUTTON);
    ASSERT_NE(tagged.Create(parent, CRect(0, 60, 300, 80), "请<a>点击这里</a>查看公告", WS_CHILD | WS_VISIBLE, 0, 13U),
              nullptr);
    CSnapshot s(tagged);
    CRect link = tagged.m_rcLink;
    EXPECT_GT(link.left, 5);
    EXPECT_LT(link.right, 200);
    struct {
        int x;
        bool follows;
    } clicks[] = {{link.left - 4, false}, {link.CenterPoint().x, true}, {link.right + 6, false}};
    for (const auto& c : clicks) {
        parent.sent.clear();
        tagged.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, link.CenterPoint().y));
        tagged.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(c.x, link.CenterPoint().y));
        EXPECT_EQ(parent.Count(WM_COMMAND), c.follows ? 1 : 0) << c.x;
    }
}

// Every font that shows Chinese draws it, where the same font in the ANSI set draws boxes.
TEST_F(Controls, ChineseCaptionsDrawInk) {
    CSkinDarkCommandBarCtrl bar;
    ASSERT_NE(bar.Create(parent, CRect(0, 0, 200, 40), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    CSkinStatusBarCtrl status;
    ASSERT_NE(status.Create(parent, CRect(0, 50, 200, 80), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
    CLogFont title;
    title.lfHeight = 14;
    title.lfWeight = FW_BOLD;
    title.SetFaceName("Arial");
    title.lfCharSet = ANSI_CHARSET;
    CFont titleFont(CreateGbkFont(title));
    struct {
        const char* what;
        HFONT font;
    } fonts[] = {{"command bar (menu font)", bar.GetBarFont()}, {"status bar", status.GetBarFont()}, {"frame title", titleFont}};
    // Two different texts give different pictures: real glyphs, not rows of the same box.
    auto picture = [](HFONT font, const char* text) {
        CDibCanvas c(120, 30);
        CDCHandle(c.dc()).FillSolidRect(0, 0, 120, 30, RGB(255, 255, 255));
        CSelectObject s(c.dc(), font);
        ::TextOutA(c.dc(), 2, 2, text, lstrlenA(text));
        ::GdiFlush();
        return std::vector<uint32_t>(c.bits(), c.bits() + 120 * 30);
    };
    for (const auto& f : fonts) {
        CLogFont lf(f.font);
        EXPECT_NE(lf.lfCharSet, ANSI_CHARSET) << f.what;
        lf.lfCharSet = ANSI_CHARSET;
        CFont ansi(::CreateFontIndirectA(&lf));
        // This prefix substitutes a CJK face for the ANSI one too, so the ANSI rendering is no worse
        // here; on a system without that substitution it draws boxes.
        int good = TextInk(f.font, "上证指数"), ansiInk = TextInk(ansi, "上证指数");
        EXPECT_GT(good, 60) << f.what;
        EXPECT_GE(good, ansiInk) << f.what;
        auto a = picture(f.font, "上证指数"), b = picture(f.font, "深证成指");
        int differ = 0;
        for (size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
        EXPECT_GT(differ, 40) << f.what;
    }
}

}  // namespace
