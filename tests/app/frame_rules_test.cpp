// The main frame's window-free rules: caption menu buttons and their pop-ups, command routing,
// the indicator of each menu command, the children's places, the side panel toggle and when a
// relogin may close the frame.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/framerules.h"
#include "app/refresh.h"

namespace {

TEST(CaptionButtons, EditionOneHasEightFrom670AndNoMainForceMenu) {
    std::vector<CaptionButtonSpec> one = CaptionMenuButtons(1);
    ASSERT_EQ(one.size(), 8u);
    const int ids[] = {2002, 2003, 2004, 2005, 2007, 2008, 2009, 2010};
    const int xs[] = {670, 600, 530, 460, 390, 320, 250, 180};
    for (size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(one[i].id, ids[i]);
        EXPECT_EQ(one[i].x, xs[i]);
    }
    EXPECT_STREQ(one[0].label, "系统(&S)");
    EXPECT_STREQ(one[7].label, "帮助(&H)");
    for (int edition : {2, 3}) {
        std::vector<CaptionButtonSpec> nine = CaptionMenuButtons(edition);
        ASSERT_EQ(nine.size(), 9u);
        EXPECT_EQ(nine.front().x, 740);
        EXPECT_EQ(nine.back().x, 180);
        EXPECT_EQ(nine[4].id, 2006);
        EXPECT_STREQ(nine[4].label, "主力(&M)");
    }
}

TEST(CaptionButtons, EachButtonOpensItsOwnPopup) {
    struct Case {
        int id, edition, index;
    } cases[] = {
        {2002, 1, 0}, {2005, 1, 3}, {2007, 1, 4}, {2010, 1, 7}, {2006, 1, -1},  // 201: no "主力"
        {2002, 2, 0}, {2006, 2, 4}, {2007, 2, 5}, {2010, 2, 8},                  // 214
        {2001, 1, -1}, {2011, 2, -1}, {4030, 1, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CaptionMenuIndex(c.id, c.edition), c.index) << c.id << " ed " << c.edition;
    EXPECT_EQ(MainMenuResource(1), 201);
    EXPECT_EQ(MainMenuResource(2), 214);
    EXPECT_EQ(MainMenuResource(3), 201);
    EXPECT_STREQ(FrameCaption(1), "Quorvel股票分析系统 - 经典版");
    EXPECT_STREQ(FrameCaption(2), "Quorvel股票分析系统 - 智能版");
    EXPECT_STREQ(FrameCaption(3), "Quorvel股票分析系统 - 机构版");
}

TEST(FrameCommands, RoutedByIdInTheirOrder) {
    struct Case {
        int id;
        FrameCommand route;
    } cases[] = {
        {4038, frameCmdApplyPage}, {4000, frameCmdForward},   {4001, frameCmdForward},
        {4037, frameCmdForward},   {5000, frameCmdForward},   {3999, frameCmdNone},
        {5001, frameCmdNone},      {5999, frameCmdNone},      {6000, frameCmdIndicator},
        {6051, frameCmdIndicator}, {7000, frameCmdIndicator}, {7001, frameCmdNone},
        {32775, frameCmdRegister}, {32783, frameCmdExit},     {32801, frameCmdTogglePane},
        {32818, frameCmdAbout},    {32822, frameCmdRelogin},  {32846, frameCmdDownloadGroups},
        {32984, frameCmdNone},     {0, frameCmdNone},
    };
    for (const Case& c : cases) EXPECT_EQ(RouteFrameCommand(c.id), c.route) << c.id;
    EXPECT_EQ(ApplyPageUrl("http://h/"), "http://h/apply");
    EXPECT_EQ(RegisterPageUrl("http://h/"), "http://h/member/index_do.php?fmdo=user&dopost=regnew");
}

TEST(FrameCommands, EveryIndicatorCommandHasItsOwnIndicator) {
    std::set<int> indicators;
    for (int id = 6001; id <= 6050; ++id) {
        int indicator = IndicatorForCommand(id);
        EXPECT_GT(indicator, 0) << id;
        EXPECT_TRUE(indicators.insert(indicator).second) << id << " repeats " << indicator;
    }
    struct Case {
        int id, indicator;
    } cases[] = {{6001, 9},  {6006, 49}, {6014, 8},  {6017, 1},  {6023, 7},  {6025, 12}, {6033, 26},
                 {6009, 27}, {6043, 43}, {6047, 51}, {6050, 54}, {6015, 55}, {6016, 56}, {6000, 0},
                 {6051, 0},  {7000, 0},  {32984, 0}, {4025, 0}};
    for (const Case& c : cases) EXPECT_EQ(IndicatorForCommand(c.id), c.indicator) << c.id;
}

TEST(FrameCommands, ToolButtonsInTheirOrder) {
    const std::vector<ToolButtonSpec>& b = ToolButtons();
    ASSERT_EQ(b.size(), 8u);
    const int ids[] = {4001, 4003, 4014, 4015, 4040, 4037, 32801, 4002};
    for (size_t i = 0; i < b.size(); ++i) EXPECT_EQ(b[i].id, ids[i]);
    EXPECT_STREQ(b[6].label, "自选股管理");
    EXPECT_STREQ(b[6].image, "stockowner.png");
}

TEST(FrameLayoutRules, BarsStackAndTheSidePanelIs210Wide) {
    FrameBox client = {0, 0, 1000, 700};
    FrameLayout hidden = ComputeFrameLayout(client, 40, 22, 26, false);
    EXPECT_EQ(hidden.commandBar.top, 0);
    EXPECT_EQ(hidden.commandBar.bottom, 40);
    EXPECT_EQ(hidden.commandBar.Width(), 1000);
    EXPECT_EQ(hidden.statusBar.top, 678);
    EXPECT_EQ(hidden.statusBar.bottom, 700);
    EXPECT_EQ(hidden.tickerBar.top, 652);
    EXPECT_EQ(hidden.tickerBar.bottom, 678);
    EXPECT_EQ(hidden.content.left, 0);
    EXPECT_EQ(hidden.content.right, 1000);
    EXPECT_EQ(hidden.content.top, 40);
    EXPECT_EQ(hidden.content.bottom, 652);

    FrameLayout shown = ComputeFrameLayout(client, 40, 22, 26, true);
    EXPECT_EQ(shown.sidePanel.left, 0);
    EXPECT_EQ(shown.sidePanel.Width(), kSidePanelWidth);
    EXPECT_EQ(shown.sidePanel.top, 40);
    EXPECT_EQ(shown.sidePanel.bottom, 652);
    EXPECT_EQ(shown.content.left, 210);
    EXPECT_EQ(shown.content.right, 1000);

    // A frame smaller than its bars: nothing of negative size.
    FrameLayout tiny = ComputeFrameLayout({0, 0, 150, 50}, 40, 22, 26, true);
    EXPECT_GE(tiny.content.Height(), 0);
    EXPECT_GE(tiny.content.Width(), 0);
    EXPECT_GE(tiny.sidePanel.Height(), 0);
}

// Opened filling the work area; restored, 900 by 680 centred in it, never above or left of it.
TEST(FrameLayoutRules, OpensFillingTheWorkAreaAndRestoresCentred) {
    struct {
        FrameBox work, restored;
    } cases[] = {
        {{0, 0, 1280, 994}, {190, 157, 1090, 837}},
        {{100, 30, 1380, 1024}, {290, 187, 1190, 867}},
        {{0, 0, 800, 600}, {0, 0, 900, 680}},  // a small screen: the corner, not off its edge
    };
    for (const auto& c : cases) {
        const FrameBox open = FrameOpenRect(c.work), restored = FrameRestoredRect(c.work);
        EXPECT_EQ(open.left, c.work.left);
        EXPECT_EQ(open.top, c.work.top);
        EXPECT_EQ(open.right, c.work.right);
        EXPECT_EQ(open.bottom, c.work.bottom);
        EXPECT_EQ(restored.left, c.restored.left) << c.work.right;
        EXPECT_EQ(restored.top, c.restored.top) << c.work.right;
        EXPECT_EQ(restored.Width(), kFrameRestoredWidth);
        EXPECT_EQ(restored.Height(), kFrameRestoredHeight);
    }
}

TEST(FrameLayoutRules, SidePanelToggle) {
    EXPECT_TRUE(SidePanelShownAfterToggle(false, 0));
    EXPECT_FALSE(SidePanelShownAfterToggle(true, 0));     // the tool button or menu item again
    EXPECT_FALSE(SidePanelShownAfterToggle(true, 999));
    EXPECT_TRUE(SidePanelShownAfterToggle(true, 1000));   // "add to watch list" keeps it shown
    EXPECT_TRUE(SidePanelShownAfterToggle(false, 1000));
}

TEST(ReloginGateRules, WaitsForTheLastModalToEnd) {
    ReloginGate idle;
    EXPECT_TRUE(idle.Request());
    EXPECT_FALSE(idle.IsPending());

    ReloginGate gate;
    gate.Enter();
    gate.Enter();  // a menu over a dialog
    EXPECT_FALSE(gate.Request());
    EXPECT_TRUE(gate.IsPending());
    EXPECT_FALSE(gate.Leave());
    EXPECT_TRUE(gate.Leave());  // due now, once
    EXPECT_FALSE(gate.IsPending());
    EXPECT_FALSE(gate.Leave());  // an unmatched end changes nothing
    EXPECT_TRUE(gate.Request());

    ReloginGate quiet;
    quiet.Enter();
    EXPECT_FALSE(quiet.Leave());  // nothing was asked for
}

TEST(NewsTicker, EachHeadlineKeepsItsOwnLink) {
    NewsItems items;
    ASSERT_TRUE(ParseNewsText("甲\thttp://a/1\r\n乙\r\n丙\thttp://a/3\r\n", &items));
    EXPECT_EQ(items.links.size(), 2u);  // the plain list, as sent
    ASSERT_EQ(items.headlineLinks.size(), 3u);
    EXPECT_EQ(items.headlineLinks[1], "");
    EXPECT_EQ(items.headlineLinks[2], "http://a/3");
    EXPECT_EQ(NewsTickerText(items), "甲\thttp://a/1\r\n乙\r\n丙\thttp://a/3\r\n");
}

}  // namespace
