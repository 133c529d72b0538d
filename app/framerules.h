// The main frame's rules that need no window: its caption menu buttons, the tool buttons, how a
// command id is routed, the indicator of each menu command, the children's places, and when a
// relogin asked for by the heartbeat may close the frame.
#pragma once

#include <string>
#include <vector>

// A caption menu button: command id, label and horizontal position (the vertical one is 4).
struct CaptionButtonSpec {
    int id;
    const char* label;
    int x;
};
constexpr int kCaptionButtonTop = 4;
// The caption menu buttons of an edition in the order they are added: edition 1 has no "主力"
// (2006) and starts at 670, the others at 740; each further button sits 70 pixels to the left.
std::vector<CaptionButtonSpec> CaptionMenuButtons(int edition);
// The main menu resource of an edition and the index of a caption button's pop-up in it (-1 for
// an id that is no caption button).
int MainMenuResource(int edition);
int CaptionMenuIndex(int buttonId, int edition);
// The window caption of an edition.
const char* FrameCaption(int edition);

// The command bar's tool buttons: id, label, image file.
struct ToolButtonSpec {
    int id;
    const char* label;
    const char* image;
};
const std::vector<ToolButtonSpec>& ToolButtons();

// What the frame does with a command id, in the order the ids are tested.
enum FrameCommand {
    frameCmdNone,           // the framework's handling; nothing further
    frameCmdApplyPage,      // 4038: the "apply" page outside
    frameCmdForward,        // 4000 to 5000: to the content panel as 4032
    frameCmdIndicator,      // 6000 to 7000: 6001 to 6050 switch the indicator (4025)
    frameCmdRegister,       // 32775: the registration page outside
    frameCmdExit,           // 32783
    frameCmdTogglePane,     // 32801: the side panel
    frameCmdAbout,          // 32818
    frameCmdRelogin,        // 32822
    frameCmdDownloadGroups, // 32846
};
FrameCommand RouteFrameCommand(int id);
// The indicator id of a menu command 6001 to 6050; 0 for any other id.
int IndicatorForCommand(int id);
// The pages the frame opens outside: site root + "apply", + the registration request.
std::string ApplyPageUrl(const std::string& siteRoot);
std::string RegisterPageUrl(const std::string& siteRoot);

// Where the frame's children go, in client coordinates (left, top, right, bottom).
struct FrameBox {
    int left, top, right, bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
struct FrameLayout {
    FrameBox commandBar, statusBar, tickerBar, sidePanel, content;
    bool sideVisible;
};
constexpr int kSidePanelWidth = 210;
// From the client rectangle and the bars' heights: the command bar on top, the status bar at the
// bottom with the ticker bar over it, the side panel (when shown) 210 pixels wide at the left and
// the content panel beside it. Heights never go below 0.
FrameLayout ComputeFrameLayout(const FrameBox& client, int barHeight, int statusHeight, int tickerHeight,
                               bool sideVisible);

// Where the frame goes: it opens filling the work area, and restoring it gives the 900 by 680
// window centred in the work area. Creating it at the filled rectangle lays the children out and
// paints them once, at the size the user sees.
constexpr int kFrameRestoredWidth = 900, kFrameRestoredHeight = 680;
FrameBox FrameOpenRect(const FrameBox& workArea);
FrameBox FrameRestoredRect(const FrameBox& workArea);

// The side panel toggle: hidden when shown and the command came from a menu, tool button or key
// (notification code below 1000); shown otherwise (the "add to watch list" command asks with 1000).
bool SidePanelShownAfterToggle(bool visible, unsigned notifyCode);

// The relogin the heartbeat asks for closes the frame, and with it everything the frame's modal
// dialogs and menus still use. So it waits while one runs and happens when the last one ends.
class ReloginGate {
public:
    // A modal dialog or menu of the frame began or ended.
    void Enter() { ++m_busy; }
    // True when a relogin was asked for meanwhile and is due now.
    bool Leave();
    // True when the relogin may run now; otherwise it is kept until Leave.
    bool Request();
    bool IsPending() const { return m_pending; }
    bool IsBusy() const { return m_busy > 0; }

private:
    int m_busy = 0;
    bool m_pending = false;
};
