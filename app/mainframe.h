// The client's main window: the skinned frame with its caption menus, the command bar, the side
// panel beside the content panel, the news ticker and the market status bar. It routes every
// command, runs the refresh thread and, when it goes, releases the program's services in order.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "app/contentpanel.h"
#include "app/extrainfoview.h"
#include "app/framerules.h"
#include "app/messagebus.h"
#include "app/refreshthread.h"
#include "skin/fadebutton.h"
#include "skin/ncdraw.h"
#include "skin/newsbar.h"
#include "skin/skinbitmap.h"
#include "skin/skinmenu.h"
#include "skin/statusbar.h"
#include "winfw/winfw.h"

class CMainFrame : public CFrameWindowImpl<CMainFrame>,
                   public CIdleHandler,
                   public CNcDraw,
                   public CSkinContextMenu<CMainFrame>,
                   public IRefreshSink {
public:
    DECLARE_FRAME_WND_CLASS("VelmoraMainFrame", 0)
    enum : UINT {
        kAccelerators = 128,
        kCommandBarId = 5100,
        kStatusBarId = 5101,
        kTickerBarId = 5102,
        kContentId = 5103,
        kSideId = 5104,
    };

    CMainFrame();
    ~CMainFrame() override;

    // The rectangle to create the frame at: where it ends up, so that it is laid out and painted
    // once. Created elsewhere it still moves there.
    static CRect OpenRect();

    // Set when the frame closed for a new login; read by the run loop.
    bool IsRelogin() const { return m_relogin; }
    // The refresh thread's tick (tests shorten it); set before the window is created.
    void SetRefreshTickMs(int ms) { m_tickMs = ms; }
    // Lays the children out and invalidates the frame.
    void UpdateLayout(BOOL erase = TRUE);
    // Shows or hides the side panel as command 32801 with that notification code does.
    void TogglePane(UINT notifyCode);
    bool IsRefreshRunning() const { return m_refresh && m_refresh->IsStarted(); }

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override { return TRUE; }

    // IRefreshSink, on the refresh thread.
    void SetNews(const NewsItems& items) override;
    void SetStatusPanes(const StatusPaneList& panes) override;
    void RequestRelogin() override;

    CSkinDarkCommandBarCtrl& GetCommandBar() { return m_commandBar; }
    CSkinScrollBarCtrl& GetTickerBar() { return m_tickerBar; }
    CSkinStatusBarCtrl& GetStatusBar() { return m_statusBar; }
    CExtraInfoView& GetSidePanel() { return m_side; }
    CContentPanelView& GetContentPanel() { return m_content; }
    HWND GetContentWindow() const { return m_content.m_hWnd; }
    CMessageProcessor* GetProcessor() { return &m_content; }
    std::string GetNewsText();
    const ReloginGate& GetReloginGate() const { return m_gate; }

    BEGIN_MSG_MAP(CMainFrame)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_ERASEBKGND(OnEraseBackground)
        MSG_WM_NCRBUTTONUP(OnNcRButtonUp)
        MSG_RAW(WM_ENABLE, OnEnable)
        MSG_RAW(WM_NCDESTROY, OnNcDestroyMessage)
        MSG_RAW(CaptionMenuButton::kClickMessage, OnMenuButton)
        MSG_WM_COMMAND(OnCommand)
        CHAIN_MSG_MAP(CNcDraw)
        CHAIN_MSG_MAP(CFrameWindowImpl<CMainFrame>)
        CHAIN_MSG_MAP(CSkinMenuCore)
    END_MSG_MAP()

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnDestroy();
    void OnNcDestroy();
    LRESULT OnNcDestroyMessage(UINT, WPARAM, LPARAM) {
        OnNcDestroy();
        return 0;
    }
    void OnSize(UINT type, CSize);
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { PaintBackground(dc); }
    BOOL OnEraseBackground(HDC) { return TRUE; }
    void OnNcRButtonUp(UINT, CPoint) {}
    LRESULT OnEnable(UINT, WPARAM enabled, LPARAM);
    LRESULT OnMenuButton(UINT, WPARAM id, LPARAM point);
    void OnCommand(UINT code, int id, HWND control);
    // The frame's own commands, as OnCommand routes them.
    void OnOpenApplyPage();
    void OnRegister();
    void OnMenuCodeCommand(int id);
    void OnAppExit();
    void OnTogglePane(UINT notifyCode);
    void OnAppAbout();
    void OnDownloadGroups();
    void OnRelogin();
    void PaintBackground(HDC dc);
    void CreateBars();
    // Runs a modal dialog of the frame; a relogin asked for meanwhile happens after it.
    template <class F>
    void RunModal(F run);
    void ReleaseServices();

    CSkinBitmap m_background;
    CSkinBitmap m_logo;
    CSkinDarkCommandBarCtrl m_commandBar;
    CSkinScrollBarCtrl m_tickerBar;
    CSkinStatusBarCtrl m_statusBar;
    CContentPanelView m_content;
    CExtraInfoView m_side;
    HMENU m_captionMenu = nullptr;
    bool m_relogin = false;
    std::mutex m_textLock;  // the texts are written on the refresh thread
    std::string m_newsText;
    std::unique_ptr<RefreshThread> m_refresh;
    int m_tickMs = kRefreshTickMs;
    ReloginGate m_gate;
    bool m_registered = false;
    bool m_waitForEnable = false;
};
