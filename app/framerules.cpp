#include "app/framerules.h"

#include <algorithm>

namespace {

const CaptionButtonSpec kCaptionButtons[] = {
    {2002, "系统(&S)", 0}, {2003, "功能(&F)", 0}, {2004, "诊股(&E)", 0}, {2005, "资金(&E)", 0}, {2006, "主力(&M)", 0},
    {2007, "选股(&C)", 0}, {2008, "统计(&T)", 0}, {2009, "资讯(&I)", 0}, {2010, "帮助(&H)", 0},
};

struct IndicatorCommand {
    int command;
    int indicator;
};
const IndicatorCommand kIndicatorCommands[] = {
    {6014, 8},  {6015, 55}, {6016, 56},                                                  // own
    {6017, 1},  {6018, 2},  {6019, 3},  {6020, 4},  {6021, 5},  {6022, 6},  {6023, 7},   // price pane
    {6001, 9},  {6024, 10}, {6013, 11},                                                  // trend
    {6025, 12}, {6026, 13}, {6027, 14}, {6004, 15}, {6028, 16}, {6005, 17}, {6029, 18},  // energy
    {6030, 19}, {6031, 20}, {6032, 21}, {6007, 22}, {6036, 23}, {6035, 24}, {6034, 25}, {6033, 26},
    {6009, 27}, {6037, 28}, {6008, 29}, {6038, 30}, {6012, 31}, {6002, 32}, {6011, 33},  // oscillators
    {6010, 34}, {6039, 35}, {6040, 36}, {6003, 37}, {6041, 38}, {6042, 39}, {6046, 40},
    {6045, 41}, {6044, 42}, {6043, 43},
    {6047, 51}, {6048, 52}, {6049, 53}, {6050, 54},                                      // the client's own
    {6006, 49},                                                                           // ASI
};

}  // namespace

std::vector<CaptionButtonSpec> CaptionMenuButtons(int edition) {
    std::vector<CaptionButtonSpec> out;
    int x = edition == 1 ? 670 : 740;
    for (CaptionButtonSpec b : kCaptionButtons) {
        if (edition == 1 && b.id == 2006) continue;
        b.x = x;
        x -= 70;
        out.push_back(b);
    }
    return out;
}

int MainMenuResource(int edition) { return edition == 2 ? 214 : 201; }

int CaptionMenuIndex(int buttonId, int edition) {
    if (buttonId < 2002 || buttonId > 2010) return -1;
    if (edition == 1 && buttonId == 2006) return -1;
    if (edition == 1 && buttonId > 2005) return buttonId - 2003;
    return buttonId - 2002;
}

const char* FrameCaption(int edition) {
    if (edition == 2) return "Quorvel股票分析系统 - 智能版";
    if (edition == 3) return "Quorvel股票分析系统 - 机构版";
    return "Quorvel股票分析系统 - 经典版";
}

const std::vector<ToolButtonSpec>& ToolButtons() {
    static const std::vector<ToolButtonSpec> buttons = {
        {4001, "技术分析", "kline.png"},      {4003, "即时分析", "realtime.png"},
        {4014, "形态诊断", "shape.png"},      {4015, "走势诊断", "trend.png"},
        {4040, "智能短线股票池", "pool.png"}, {4037, "经典买卖点", "buypoint.png"},
        {32801, "自选股管理", "stockowner.png"}, {4002, "分钟明细", "minute.png"},
    };
    return buttons;
}

FrameCommand RouteFrameCommand(int id) {
    if (id == 4038) return frameCmdApplyPage;
    if (id >= 4000 && id <= 5000) return frameCmdForward;
    if (id >= 6000 && id <= 7000) return frameCmdIndicator;
    switch (id) {
    case 32775: return frameCmdRegister;
    case 32783: return frameCmdExit;
    case 32801: return frameCmdTogglePane;
    case 32818: return frameCmdAbout;
    case 32822: return frameCmdRelogin;
    case 32846: return frameCmdDownloadGroups;
    default: return frameCmdNone;
    }
}

int IndicatorForCommand(int id) {
    for (const IndicatorCommand& c : kIndicatorCommands)
        if (c.command == id) return c.indicator;
    return 0;
}

std::string ApplyPageUrl(const std::string& siteRoot) { return siteRoot + "apply"; }
std::string RegisterPageUrl(const std::string& siteRoot) {
    return siteRoot + "member/index_do.php?fmdo=user&dopost=regnew";
}

FrameLayout ComputeFrameLayout(const FrameBox& c, int barHeight, int statusHeight, int tickerHeight,
                               bool sideVisible) {
    auto clampTop = [](int top, int bottom) { return top > bottom ? bottom : top; };
    FrameLayout l;
    l.sideVisible = sideVisible;
    int y = c.top + barHeight;
    l.commandBar = {c.left, c.top, c.right, y};
    l.statusBar = {0, c.bottom - statusHeight, c.right, c.bottom};
    l.tickerBar = {0, c.bottom - statusHeight - tickerHeight, c.right, c.bottom - statusHeight};
    int bottom = c.bottom - statusHeight - tickerHeight;
    int top = clampTop(y, bottom);
    int left = c.left;
    if (sideVisible) {
        l.sidePanel = {0, top, kSidePanelWidth, bottom < top ? top : bottom};
        left = c.left + kSidePanelWidth;
    } else {
        l.sidePanel = {0, 0, 0, 0};
    }
    l.content = {left, top, c.right < left ? left : c.right, bottom < top ? top : bottom};
    return l;
}

FrameBox FrameOpenRect(const FrameBox& workArea) { return workArea; }

FrameBox FrameRestoredRect(const FrameBox& workArea) {
    // Centred as the window centring does, but never above or left of the work area.
    const int left = std::max(workArea.left, workArea.left + (workArea.Width() - kFrameRestoredWidth) / 2);
    const int top = std::max(workArea.top, workArea.top + (workArea.Height() - kFrameRestoredHeight) / 2);
    return {left, top, left + kFrameRestoredWidth, top + kFrameRestoredHeight};
}

bool SidePanelShownAfterToggle(bool visible, unsigned notifyCode) { return !(visible && notifyCode < 1000); }

bool ReloginGate::Request() {
    if (m_busy > 0) {
        m_pending = true;
        return false;
    }
    m_pending = false;
    return true;
}

bool ReloginGate::Leave() {
    if (m_busy > 0) --m_busy;
    if (m_busy == 0 && m_pending) {
        m_pending = false;
        return true;
    }
    return false;
}
