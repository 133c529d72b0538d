// The window-free rules of the skinned controls: fades, layouts, ticker scrolling and hits, frame
// hit tests and border tiling, menu measuring and colours, and which links may be opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/ctlmodel.h"

namespace {

TEST(LinkPolicy, OnlyWebPagesOpen) {
    struct {
        const char* url;
        bool ok;
    } cases[] = {
        {"http://127.0.0.1/news/1.html", true}, {"HTTPS://example.test/a?b=1", true},
        {"https://x", true},                    {"http://", false},
        {"http:///etc/passwd", false},          {"file:///C:/Windows/notepad.exe", false},
        {"C:\\Windows\\system32\\calc.exe", false}, {"\\\\server\\share\\run.exe", false},
        {"javascript:alert(1)", false},         {"http://a b", false},
        {"http://a\" -nohome", false},          {"http://a\r\nb", false},
        {"", false},                            {nullptr, false},
        {" http://lead.blank", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebUrl(c.url), c.ok) << (c.url ? c.url : "(null)");
}

TEST(LinkPolicy, TagsSplitTheLabel) {
    std::string b, l, a;
    ASSERT_TRUE(SplitLinkTags("请<A>点击这里</a>查看", &b, &l, &a));
    EXPECT_EQ(b, "请");
    EXPECT_EQ(l, "点击这里");
    EXPECT_EQ(a, "查看");
    EXPECT_FALSE(SplitLinkTags("no tags", &b, &l, &a));
    EXPECT_FALSE(SplitLinkTags("open <a>only", &b, &l, &a));
    EXPECT_EQ(GbkCharCount("自选股"), 3);
    EXPECT_EQ(GbkCharCount("A股x"), 3);
}

TEST(FadeButton, StateRules) {
    struct {
        bool hover, pressed, disabled;
        unsigned bm;
        int want;
    } cases[] = {
        {false, false, false, 0, kFadeNormal}, {true, false, false, 0, kFadeHover},
        {true, true, false, 0, kFadePressed},  {true, true, true, 0, kFadeDisabled},
        {false, false, true, 4, kFadePressed}, {false, false, false, 1, kFadePressed},
    };
    for (const auto& c : cases) EXPECT_EQ(DecideFadeState(c.hover, c.pressed, c.disabled, c.bm), c.want);
}

TEST(FadeButton, CrossFadeTiming) {
    CFadeState f;
    CFadeState::Layer layers[2];
    // Normal to hover fades over about 330 ms (13 ms per 10 alpha units).
    EXPECT_TRUE(f.Change(kFadeHover, true, 1000));
    EXPECT_EQ(f.alpha, 0u);
    EXPECT_EQ(f.Layers(layers), 2);
    EXPECT_EQ(layers[0].frame, kFadeNormal);
    EXPECT_EQ(layers[0].alpha, 255u);
    EXPECT_EQ(layers[1].frame, kFadeHover);
    EXPECT_EQ(layers[1].alpha, 2u);
    EXPECT_TRUE(f.Advance(1130));
    EXPECT_EQ(f.alpha, 100u);
    EXPECT_TRUE(f.Advance(1325));
    EXPECT_FALSE(f.Advance(1332));
    EXPECT_EQ(f.alpha, 255u);
    EXPECT_EQ(f.Layers(layers), 1);
    EXPECT_EQ(layers[0].frame, kFadeHover);

    // Leaving at alpha 200 restarts the way back from 2 * (255 - 200).
    CFadeState g;
    g.Change(kFadeHover, true, 0);
    g.Advance(260);
    ASSERT_EQ(g.alpha, 200u);
    EXPECT_TRUE(g.Change(kFadeNormal, true, 260));
    EXPECT_EQ(g.alpha, 110u);
    EXPECT_EQ(g.previous, kFadeHover);
    // Leaving below 128 shows the new frame at once.
    CFadeState h;
    h.Change(kFadeHover, true, 0);
    h.Advance(65);
    ASSERT_EQ(h.alpha, 50u);
    EXPECT_FALSE(h.Change(kFadeNormal, true, 65));
    EXPECT_EQ(h.alpha, 255u);

    // Pressing and releasing never fade, nor does a hidden button; a wrapped clock is no jump.
    struct {
        int from, to;
        bool visible;
    } immediate[] = {{kFadeHover, kFadePressed, true}, {kFadePressed, kFadeHover, true}, {kFadeNormal, kFadeHover, false}};
    for (const auto& c : immediate) {
        CFadeState s;
        s.Change(c.from, false, 0);
        EXPECT_FALSE(s.Change(c.to, c.visible, 10));
        EXPECT_EQ(s.current, c.to);
        EXPECT_EQ(s.previous, c.to);
    }
    CFadeState w;
    w.Change(kFadeHover, true, 0xFFFFFFF0u);
    EXPECT_TRUE(w.Advance(0x00000004u));  // 20 ms across the wrap
    EXPECT_EQ(w.alpha, 15u);
}

TEST(CommandBar, ButtonWidthsAndVisibility) {
    EXPECT_EQ(DarkButtonFrameWidth(0, false, 0, false, false), 20);
    EXPECT_EQ(DarkButtonFrameWidth(0, false, 0, false, true), 30);
    EXPECT_EQ(DarkButtonFrameWidth(72, true, 0, false, false), 38);
    EXPECT_EQ(DarkButtonFrameWidth(72, true, 40, true, true), 20 + 18 + 40 + 4 + 10);
    EXPECT_EQ(DarkButtonFrameWidth(0, false, 40, true, false), 60);
    EXPECT_EQ(CommandBarVisibility({80, 160, 240}, 200), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(CommandBarVisibility({80, 160, 240}, 246), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(CommandBarVisibility({80, 160, 240}, 245), (std::vector<bool>{true, true, false}));
}

TEST(Ticker, OneRecordPerHeadlineKeepsItsLink) {
    auto items = ParseNewsText("头条一\thttp://a/1\r\n\thttp://orphan\r\n头条二\r\n头条三\thttp://a/3\textra\r\n");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "头条一");
    EXPECT_EQ(items[0].url, "http://a/1");
    EXPECT_EQ(items[1].text, "头条二");
    EXPECT_EQ(items[1].url, "");
    EXPECT_EQ(items[2].url, "http://a/3");
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "x\thttp://a\r\n";
    EXPECT_EQ(ParseNewsText(many).size(), (size_t)kMaxNewsItems);
    EXPECT_TRUE(ParseNewsText("").empty());
}

TEST(Ticker, ScrollsWrapsAndNeverReadsOutsideTheStrip) {
    CTickerModel t;
    ASSERT_EQ(t.SetWidths({100, 50}), 2u);
    EXPECT_EQ(t.StripWidth(), 150);
    const int cw = 200;
    struct {
        int offset;
        CTickerModel::Copy want;
    } cases[] = {
        {0, {200, 0, 0, 16}},    // nothing shown yet
        {30, {170, 0, 30, 16}},  // entering at the right edge
        {180, {20, 0, 150, 16}}, // whole strip, narrower than the window
        {260, {0, 60, 90, 16}},  // leaving at the left
        {349, {0, 149, 1, 16}},
    };
    for (const auto& c : cases) {
        t.offset = c.offset;
        auto v = t.Visible(cw, 20, 16);
        EXPECT_EQ(v.destX, c.want.destX) << c.offset;
        EXPECT_EQ(v.srcX, c.want.srcX) << c.offset;
        EXPECT_EQ(v.width, c.want.width) << c.offset;
        EXPECT_EQ(v.height, 16) << "never below the strip";
        EXPECT_LE(v.srcX + v.width, t.StripWidth());
    }
    t.offset = 349;
    t.Advance(cw);
    EXPECT_EQ(t.offset, 0) << "re-enters at the right once the strip has left";
    t.scrolling = false;
    t.offset = 40;
    t.Advance(cw);
    EXPECT_EQ(t.offset, 40) << "hovering holds it";

    // Hits: the strip position is x + offset - cw; the shared edge opens only the first headline.
    t.offset = 250;  // strip column 0 at window x -50
    EXPECT_EQ(t.HitTest(0, cw), 0);
    EXPECT_EQ(t.HitTest(49, cw), 0);
    EXPECT_EQ(t.HitTest(50, cw), 0);
    EXPECT_EQ(t.HitTest(51, cw), 1);
    EXPECT_EQ(t.HitTest(100, cw), 1);
    EXPECT_EQ(t.HitTest(101, cw), -1);

    // The strip is bounded: headlines past the cap are left out.
    std::vector<int> widths(100, 400);
    EXPECT_EQ(t.SetWidths(widths), (size_t)(kMaxTickerStrip / 400));
    EXPECT_LE(t.StripWidth(), (int)kMaxTickerStrip);
    EXPECT_EQ(HitSpan({{5, 40}, {40, 90}}, 40), 0);
    EXPECT_EQ(HitSpan({{5, 40}, {40, 90}}, 4), -1);
}

TEST(TabBar, LayoutBothWays) {
    CTabBarModel m;
    m.AddItem(5002, "自选股");
    m.AddItem(5003, "板块信息");
    auto width = [](const std::string& s) { return (int)s.size() * 7; };
    m.Layout(14, width);
    EXPECT_EQ(m.items[0].rect, SkinRect(16, 4, 16 + 42 + 28, 4 + 26));
    EXPECT_EQ(m.items[1].rect.left, m.items[0].rect.right + 4);
    m.vertical = true;
    m.Layout(14, width);
    EXPECT_EQ(m.items[0].rect, SkinRect(0, 16, 14, 16 + 3 * 14 + 16));
    EXPECT_EQ(m.items[1].rect.Height(), 4 * 14 + 16);
    EXPECT_EQ(m.items[1].rect.top, m.items[0].rect.bottom + 2);
    EXPECT_EQ(m.HitTest(5, 20), 0);
    EXPECT_EQ(m.HitTest(5, 10), -1);
    EXPECT_EQ(m.FindId(5003), 1);
    EXPECT_EQ(m.FindId(1), -1);
}

TEST(TabBar, SelectionFadesHoverDoesNot) {
    CTabBarModel m;
    for (int id : {1, 2, 3}) m.AddItem(id, "t");
    std::vector<int> changed;
    EXPECT_FALSE(m.ChangeItemStates(0, kTabSelected, kTabSelected, 300, 0, &changed));
    EXPECT_EQ(changed, std::vector<int>{0});
    EXPECT_EQ(CTabBarModel::FrameOf(m.items[0].flags), 1);

    changed.clear();
    EXPECT_FALSE(m.ChangeItemStates(1, kTabHover, kTabHover, 0, 10, &changed));
    EXPECT_EQ(CTabBarModel::FrameOf(m.items[1].flags), 3);
    EXPECT_FALSE(m.items[1].Fading());

    changed.clear();
    EXPECT_TRUE(m.ChangeItemStates(1, kTabSelected, kTabSelected, 300, 1000, &changed));
    EXPECT_EQ(changed, (std::vector<int>{0, 1}));
    EXPECT_TRUE(m.items[0].Fading());
    EXPECT_EQ(m.items[0].previousFlags, (unsigned)kTabSelected);
    EXPECT_EQ(CTabBarModel::FrameOf(m.items[1].flags), 1) << "the new one shows selected at once";
    EXPECT_FALSE(m.items[1].Fading());
    EXPECT_EQ(CTabBarModel::FadeProgress(m.items[0], 1000), 0u);
    EXPECT_EQ(CTabBarModel::FadeProgress(m.items[0], 1150), 127u);
    EXPECT_EQ(CTabBarModel::FadeProgress(m.items[0], 5000), 255u);

    // Clicking the selected one again changes nothing and starts no fade.
    changed.clear();
    EXPECT_FALSE(m.ChangeItemStates(1, kTabSelected, kTabSelected, 300, 1100, &changed));
    EXPECT_TRUE(changed.empty());

    // The timer repaints the fading item until its end has passed.
    changed.clear();
    EXPECT_TRUE(m.Tick(1200, &changed));
    EXPECT_EQ(changed, std::vector<int>{0});
    EXPECT_FALSE(m.Tick(1301, &changed));
    EXPECT_FALSE(m.items[0].Fading());

    // Leaving clears every hover without fading.
    m.ChangeItemStates(2, kTabHover, kTabHover, 0, 1400, nullptr);
    m.ChangeItemStates(-1, 0, kTabHover, 0, 1500, nullptr);
    for (const auto& it : m.items) EXPECT_FALSE(it.flags & kTabHover);
}

TEST(NcFrame, HitTestTable) {
    NcGeometry g;
    g.width = 1000, g.height = 700, g.left = 4, g.right = 4, g.bottom = 4, g.caption = 30;
    g.sizing = g.minimizeBox = g.maximizeBox = true;
    g.close = SkinRect(966, 5, 994, 25);
    g.maximize = SkinRect(937, 5, 965, 25);
    g.minimize = SkinRect(908, 5, 936, 25);
    g.menuButtons = {SkinRect(300, 4, 364, 26), SkinRect(370, 4, 434, 26)};
    struct {
        int x, y, normal, maximized;
    } cases[] = {
        {970, 10, kHitClose, kHitClose},
        {940, 10, kHitMaximize, kHitMaximize},
        {910, 10, kHitMinimize, kHitMinimize},
        {380, 10, kHitMenuButton + 1, kHitMenuButton + 1},
        {8, 8, kHitSysMenu, kHitSysMenu},
        {1, 1, kHitTopLeft, kHitClient},
        {998, 1, kHitTopRight, kHitClient},
        {1, 699, kHitBottomLeft, kHitClient},
        {998, 699, kHitBottomRight, kHitClient},
        {1, 300, kHitLeft, kHitClient},
        {998, 300, kHitRight, kHitClient},
        {500, 698, kHitBottom, kHitClient},
        {500, 2, kHitTop, kHitClient},
        {500, 15, kHitCaption, kHitCaption},
        {500, 300, kHitClient, kHitClient},
    };
    for (const auto& c : cases) {
        g.maximized = false;
        EXPECT_EQ(NcHitTest(g, c.x, c.y), c.normal) << c.x << "," << c.y;
        g.maximized = true;
        EXPECT_EQ(NcHitTest(g, c.x, c.y), c.maximized) << c.x << "," << c.y << " maximised";
    }
    g.maximized = false;
    g.minimizeBox = g.maximizeBox = g.sizing = false;
    EXPECT_EQ(NcHitTest(g, 910, 10), kHitCaption) << "no minimise box, no minimise button";
    EXPECT_EQ(NcHitTest(g, 1, 300), kHitClient);
}

TEST(NcFrame, BorderTilesCoverExactlyTheLength) {
    struct {
        int start, length, image, head, tail;
    } cases[] = {{0, 1000, 200, 40, 160}, {4, 57, 200, 40, 160}, {0, 30, 200, 40, 160}, {0, 500, 8, 0, 8}, {10, 333, 200, 40, 41}};
    for (const auto& c : cases) {
        auto tiles = TileBorder(c.start, c.length, c.image, c.head, c.tail);
        std::vector<int> cover(c.length, -1);
        for (const auto& t : tiles) {
            ASSERT_GE(t.dest, c.start);
            ASSERT_LE(t.dest + t.length, c.start + c.length);
            ASSERT_GE(t.src, 0);
            ASSERT_LE(t.src + t.length, c.image);
            for (int i = 0; i < t.length; ++i) cover[t.dest - c.start + i] = t.src + i;
        }
        for (int i = 0; i < c.length; ++i) ASSERT_GE(cover[i], 0) << "gap at " << i << " of " << c.length;
        if (c.image > c.tail && c.length >= c.head + (c.image - c.tail)) {
            EXPECT_EQ(cover[0], 0);
            EXPECT_EQ(cover[c.length - 1], c.image - 1) << "the tail ends the border";
        }
    }
}

TEST(SkinMenu, MeasuringAndColourRules) {
    std::string label, accel;
    SplitMenuText("打开(&O)\tCtrl+O\tx", &label, &accel);
    EXPECT_EQ(label, "打开(&O)");
    EXPECT_EQ(accel, "Ctrl+O\tx");
    SplitMenuText("关闭", &label, &accel);
    EXPECT_EQ(accel, "");
    EXPECT_EQ(MenuItemWidth(100, 0, 22, 13), 100 + 44 - 13 + 6);
    EXPECT_EQ(MenuItemHeight(-12), 22);

    struct {
        MenuColor role;
        HslBytes in, out;
        bool highlight;
    } cases[] = {
        {MenuColor::IconBand, {160, 20, 200}, {160, 20, 211}, false},
        {MenuColor::TextArea, {160, 20, 200}, {160, 20, 241}, false},
        {MenuColor::DisabledText, {160, 20, 200}, {160, 20, 164}, false},
        {MenuColor::CheckDisabled, {160, 20, 200}, {160, 20, 240}, false},
        {MenuColor::SelectionFill, {150, 200, 100}, {150, 86, 208}, true},
        {MenuColor::CheckSelected, {150, 200, 100}, {150, 100, 177}, true},
        {MenuColor::CheckOther, {150, 200, 100}, {150, 86, 208}, true},
    };
    for (const auto& c : cases) {
        HslBytes r = ApplyMenuColorRule(c.role, c.in);
        EXPECT_EQ(r.h, c.out.h);
        EXPECT_EQ(r.s, c.out.s) << (int)c.role;
        EXPECT_EQ(r.l, c.out.l) << (int)c.role;
        EXPECT_EQ(MenuColorFromHighlight(c.role), c.highlight);
    }
}

TEST(Pixels, DrawnPixelsBecomeOpaque) {
    uint32_t before[4] = {0x00000000u, 0x80404040u, 0xFF102030u, 0x00000000u};
    uint32_t after[4] = {0x00FFFFFFu, 0x80404040u, 0x00777777u, 0x00000000u};
    MarkDrawnPixelsOpaque(before, after, 4);
    EXPECT_EQ(after[0], 0xFFFFFFFFu);
    EXPECT_EQ(after[1], 0x80404040u);
    EXPECT_EQ(after[2], 0xFF777777u);
    EXPECT_EQ(after[3], 0x00000000u);
    EXPECT_EQ(GradientChannel(0, 255, 0), 0);
    EXPECT_EQ(GradientChannel(0, 255, 254), 254);
    EXPECT_EQ(GradientChannel(200, 100, 128), 150);
}

}  // namespace
