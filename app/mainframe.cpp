#include "app/mainframe.h"

#include <windows.h>

#include <functional>

#include "app/appdialogs.h"
#include "app/appstate.h"
#include "app/urltable.h"
#include "base/gdicache.h"
#include "base/seams.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/codestate.h"
#include "store/groups.h"

namespace {

const DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

HBITMAP SkinPicture(const char* file) {
    CSkinBitmap b;
    return b.LoadSkinFile(file) ? b.Detach() : nullptr;
}

HFONT StatusFontOf(StatusFont font) {
    if (font == statusFontNone) return nullptr;
    CGdiCache* cache = GetGdiCache();
    return cache ? cache->GetFont(12, "宋体", font == statusFontBold) : nullptr;
}

// Waits for work that may send messages to this thread's windows, answering those meanwhile.
DWORD WINAPI RunWork(void* work) {
    (*static_cast<std::function<void()>*>(work))();
    return 0;
}
void WaitAnsweringSends(std::function<void()> work) {
    HANDLE h = ::CreateThread(nullptr, 0, RunWork, &work, 0, nullptr);
    if (!h) {
        work();
        return;
    }
    while (::MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::CloseHandle(h);
}

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    // Normally stopped in OnDestroy; a frame whose window never came up still joins its thread.
    if (m_refresh) m_refresh->Stop();
}

CRect CMainFrame::OpenRect() {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const FrameBox r = FrameOpenRect({work.left, work.top, work.right, work.bottom});
    return CRect(r.left, r.top, r.right, r.bottom);
}

std::string CMainFrame::GetNewsText() {
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_newsText;
}

LRESULT CMainFrame::OnCreate(LPCREATESTRUCTA) {
    m_relogin = false;
    LoadAccelerators(kAccelerators);
    ::SetMenu(m_hWnd, nullptr);
    CNcDraw::Attach(m_hWnd);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        InitMenuFont(&metrics.lfMenuFont);
    else
        InitMenuFont();
    for (const CaptionButtonSpec& b : CaptionMenuButtons(Edition))
        AddMenuButton(b.id, b.label, SharedSkinPicture("menu.png"), b.x, kCaptionButtonTop);

    m_background.LoadSkinFile("bg1.png");
    m_logo.LoadSkinFile("Logo.png");
    CreateBars();

    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_newsText = std::string("欢迎访问Kamo财经网\t") + GetSiteRoot() + "\r\n";
    }
    m_tickerBar.Ticker().SetNewsText(GetNewsText().c_str());

    if (!m_content.Create(m_hWnd, CRect(0, 0, 100, 100), nullptr, kChildStyle, 0, kContentId)) return -1;
    m_side.RegisterNotifySink(&m_content);
    // Hidden at first and opened in few sessions: its window (tabs, list, tree, watch-list file)
    // is made when it is first shown or first given a stock.
    m_side.SetCreateParams(m_hWnd, CRect(0, 0, kSidePanelWidth, 100), kSideId);
    SetWindowText(FrameCaption(Edition));

    if (CMessageLoop* loop = GetAppModule().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
        m_registered = true;
    }
    UpdateLayout(TRUE);
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const FrameBox restored = FrameRestoredRect({work.left, work.top, work.right, work.bottom});

    // The news, the market status and the creation's heartbeat are the thread's first work: the
    // frame paints at once and the ticker and the status bar fill when the replies come.
    m_refresh.reset(new RefreshThread(this));
    m_refresh->SetTickMs(m_tickMs);
    m_refresh->SetCreationFetches(true);
    if (HttpClient* shared = GetHttpClient()) {
        if (shared->GetAccessType() != 0 || !shared->GetProxyHost().empty())
            m_refresh->Client().SetProxy(shared->GetAccessType(), shared->GetProxyType(), shared->GetProxyHost().c_str(),
                                         shared->GetProxyPort(), shared->GetProxyUser().c_str(),
                                         shared->GetProxyPassword().c_str());
    }
    // A silent service costs a fetch this long at most, and closing cancels it at once.
    m_refresh->Client().SetTimeouts(5000, 10000);
    m_refresh->Start();
    MaximizeToWorkArea(CRect(restored.left, restored.top, restored.right, restored.bottom));
    return 0;
}

void CMainFrame::CreateBars() {
    m_commandBar.SetBitmaps(SkinPicture("Bar.png"), SkinPicture("barbutton_left.png"),
                            SkinPicture("barbutton_middle.png"), SkinPicture("barbutton_right.png"));
    m_commandBar.Create(m_hWnd, CRect(0, 0, 100, 32), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                        kCommandBarId);
    for (const ToolButtonSpec& t : ToolButtons()) {
        CommandButtonRecord r;
        r.id = t.id;
        r.caption = t.label;
        r.icon = SkinPicture(t.image);
        r.tooltip = t.label;
        m_commandBar.AddButton(r);
    }

    m_statusBar.LoadBackground("statusbarbkgnd.png");
    m_statusBar.Create(m_hWnd, CRect(0, 0, 100, 24), "", kChildStyle, 0, kStatusBarId);

    m_tickerBar.Background().LoadSkinFile("scrollbarbkgnd.png");
    m_tickerBar.SetLink1(GetSiteRoot().c_str(), "访问Kamo财经网");
    m_tickerBar.AddLinkImage(SkinPicture("arrow1.png"));
    m_tickerBar.AddLinkImage(SkinPicture("arrow2.png"));  // a missing one is simply not added
    m_tickerBar.AddLinkImage(SkinPicture("arrow3.png"));
    m_tickerBar.SetLink2(GetUrl(kUrlChat).c_str(), "在线诊股");
    if (CGdiCache* cache = GetGdiCache()) {
        m_tickerBar.SetLinkFont(cache->GetFont(12, "宋体", false));
        m_tickerBar.Ticker().SetTickerFont(cache->GetFont(13, "宋体", false));
    }
    m_tickerBar.Ticker().SetTextColor(0xFF0000);
    m_tickerBar.Ticker().SetTimerPeriod(20);
    m_tickerBar.Create(m_hWnd, CRect(0, 0, 100, 24), "", kChildStyle, 0, kTickerBarId);
}

void CMainFrame::UpdateLayout(BOOL erase) {
    if (!m_hWnd) return;
    CRect c;
    GetClientRect(&c);
    auto height = [](HWND w) {
        RECT r = {0, 0, 0, 0};
        if (w) ::GetWindowRect(w, &r);
        return r.bottom - r.top;
    };
    bool side = m_side.m_hWnd && m_side.IsWindowVisible();
    FrameLayout l = ComputeFrameLayout({c.left, c.top, c.right, c.bottom}, height(m_commandBar.m_hWnd),
                                       height(m_statusBar.m_hWnd), height(m_tickerBar.m_hWnd), side);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    auto place = [&](HWND w, const FrameBox& r) {
        if (w) ::SetWindowPos(w, nullptr, r.left, r.top, r.Width(), r.Height(), flags);
    };
    place(m_commandBar.m_hWnd, l.commandBar);
    place(m_statusBar.m_hWnd, l.statusBar);
    place(m_tickerBar.m_hWnd, l.tickerBar);
    if (side) place(m_side.m_hWnd, l.sidePanel);
    place(m_content.m_hWnd, l.content);
    Invalidate(erase);
}

void CMainFrame::OnSize(UINT type, CSize) {
    UpdateRegion();
    if (type != SIZE_MINIMIZED) UpdateLayout(TRUE);
}

void CMainFrame::OnPaint(HDC given) {
    if (given) {
        PaintBackground(given);
        return;
    }
    CPaintDC dc(m_hWnd);
    PaintBackground(dc.m_hDC);
}

void CMainFrame::PaintBackground(HDC dc) {
    if (m_background.IsNull()) return;
    CRect c;
    GetClientRect(&c);
    int height = m_background.GetHeight();
    CMemoryDC mem(dc, CRect(0, 0, c.Width(), height));
    ::SetStretchBltMode(mem, HALFTONE);
    m_background.StretchDraw(mem, CRect(0, 0, c.Width(), height));
    if (!m_logo.IsNull()) m_logo.AlphaDraw(mem, CRect(0, 0, m_logo.GetWidth(), height));
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if (CFrameWindowImpl<CMainFrame>::PreTranslateMessage(msg)) return TRUE;
    // Keys typed in the side panel are the side panel's (Delete removes watch-list rows there);
    // the content panel takes every other key.
    bool inSide = m_side.m_hWnd && (msg->hwnd == m_side.m_hWnd || ::IsChild(m_side.m_hWnd, msg->hwnd));
    if (inSide && m_side.PreTranslateMessage(msg)) return TRUE;
    if (m_content.m_hWnd && m_content.PreTranslateMessage(msg)) return TRUE;
    // Only the frame's own windows: a dialog's keys are the dialog's. The side panel swallows them
    // whether or not its window has been made yet.
    if (!inSide && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd)) && m_side.PreTranslateMessage(msg))
        return TRUE;
    return FALSE;
}

LRESULT CMainFrame::OnMenuButton(UINT, WPARAM id, LPARAM point) {
    int index = CaptionMenuIndex((int)id, Edition);
    POINT pt = {(short)LOWORD(point), (short)HIWORD(point)};
    if (!::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) {
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        if (::GetMonitorInfoA(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi)) {
            if (pt.x < mi.rcWork.left) pt.x = mi.rcWork.left;
            if (pt.x > mi.rcWork.right) pt.x = mi.rcWork.right;
        }
    }
    m_captionMenu = ::LoadMenuA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(MainMenuResource(Edition)));
    if (m_captionMenu && index >= 0) {
        HMENU popup = ::GetSubMenu(m_captionMenu, index);
        if (popup) {
            m_gate.Enter();
            ::TrackPopupMenu(popup, 0, pt.x, pt.y, 0, m_hWnd, nullptr);
            if (m_gate.Leave()) PostMessage(WM_COMMAND, 32822, 0);
        }
    }
    if (m_captionMenu) ::DestroyMenu(m_captionMenu);
    m_captionMenu = nullptr;
    if (IsWindow()) SendMessage(WM_NCPAINT, 1, 0);
    return 0;
}

template <class F>
void CMainFrame::RunModal(F run) {
    m_gate.Enter();
    run();
    if (m_gate.Leave() && IsWindow()) PostMessage(WM_COMMAND, 32822, 0);
}

void CMainFrame::OnCommand(UINT code, int id, HWND) {
    switch (RouteFrameCommand(id)) {
    case frameCmdApplyPage:
        OnOpenApplyPage();
        break;
    case frameCmdForward:
        m_content.OnMessage(kAppMsgCommand, id, 0);
        break;
    case frameCmdIndicator:
        OnMenuCodeCommand(id);
        break;
    case frameCmdRegister:
        OnRegister();
        break;
    case frameCmdExit:
        OnAppExit();
        break;
    case frameCmdTogglePane:
        OnTogglePane(code);
        break;
    case frameCmdAbout:
        OnAppAbout();
        break;
    case frameCmdRelogin:
        OnRelogin();
        break;
    case frameCmdDownloadGroups:
        OnDownloadGroups();
        break;
    default:
        SetMsgHandled(FALSE);
        break;
    }
}

void CMainFrame::OnOpenApplyPage() { OpenWebPage(ApplyPageUrl(GetSiteRoot()).c_str()); }

void CMainFrame::OnRegister() { OpenWebPage(RegisterPageUrl(GetSiteRoot()).c_str()); }

void CMainFrame::OnMenuCodeCommand(int id) {
    if (int indicator = IndicatorForCommand(id)) m_content.SendMessage(kAppMsgIndicator, indicator, 0);
}

void CMainFrame::OnAppExit() { SendMessage(WM_CLOSE); }

void CMainFrame::OnTogglePane(UINT notifyCode) { TogglePane(notifyCode); }

void CMainFrame::OnAppAbout() {
    RunModal([] { RunAboutDialog(::GetActiveWindow()); });
}

void CMainFrame::OnDownloadGroups() {
    RunModal([this] { RunDownloadGroupDialog(m_hWnd, &m_content); });
}

void CMainFrame::TogglePane(UINT notifyCode) {
    const bool visible = m_side.m_hWnd && m_side.IsWindowVisible();
    if (!SidePanelShownAfterToggle(visible, notifyCode)) {
        m_side.ShowWindow(SW_HIDE);
    } else {
        if (!m_side.EnsureWindow()) return;
        m_side.ShowWindow(SW_SHOW);
        m_side.ShowListPage(32801);
    }
    SendMessage(WM_SIZE, 0, 0);
}

// A modal dialog or menu of the frame (or any dialog that disabled it) still runs on the objects
// closing would free: the relogin waits for it.
void CMainFrame::OnRelogin() {
    if (!IsWindowEnabled() && !m_gate.IsBusy()) {
        // Someone else's modal dialog: it enables the frame again when it ends (OnEnable).
        m_gate.Enter();
        m_waitForEnable = true;
    }
    if (!m_gate.Request()) return;
    m_relogin = true;
    SendMessage(WM_CLOSE);
}

LRESULT CMainFrame::OnEnable(UINT, WPARAM enabled, LPARAM) {
    if (enabled && m_waitForEnable) {
        m_waitForEnable = false;
        if (m_gate.Leave()) PostMessage(WM_COMMAND, 32822, 0);
    }
    SetMsgHandled(FALSE);
    return 0;
}

void CMainFrame::SetNews(const NewsItems& items) {
    std::string text = NewsTickerText(items);
    if (text.empty()) return;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_newsText = text;
    }
    m_tickerBar.Ticker().SetNewsText(text.c_str());
}

void CMainFrame::SetStatusPanes(const StatusPaneList& panes) {
    std::vector<StatusPane> out;
    for (const MarketStatusPane& p : panes) {
        StatusPane pane;
        pane.id = static_cast<WORD>(p.number);
        for (const StatusTextItem& item : p.items) pane.runs.push_back({item.text, item.colour, StatusFontOf(item.font)});
        out.push_back(std::move(pane));
    }
    m_statusBar.SetPanes(out);
}

void CMainFrame::RequestRelogin() {
    // The frame's window outlives the thread: OnDestroy stops it first.
    PostMessage(WM_COMMAND, 32822, 0);
}

void CMainFrame::OnDestroy() {
    // The refresh thread first: it uses the ticker, the status bar and the services below.
    if (m_refresh) m_refresh->Stop();
    ReleaseServices();
    if (m_registered) {
        if (CMessageLoop* loop = GetAppModule().GetMessageLoop()) {
            loop->RemoveMessageFilter(this);
            loop->RemoveIdleHandler(this);
        }
        m_registered = false;
    }
    SetMsgHandled(FALSE);  // the framework ends the message loop
}

void CMainFrame::ReleaseServices() {
    // Downloads stop while every view still exists: a finishing download may still reload one,
    // and a reload that talks to a window is answered while the workers are waited for.
    m_content.Shutdown();
    WaitAnsweringSends([] {
        CancelTransfers();
        FreeDownloadManager();
    });
    SaveAndFreeCodeStateMap();
    FreeGroupDownloader();
    FreeHttpClient();
}

void CMainFrame::OnNcDestroy() {
    // After the children: their fonts and pictures came from these.
    FreeGdiCache();
    DestroySkinManager();
    SetMsgHandled(FALSE);
}
