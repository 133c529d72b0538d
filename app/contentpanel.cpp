#include "app/contentpanel.h"

#include <mutex>
#include <set>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appdialogs.h"
#include "app/appstate.h"
#include "app/commands.h"
#include "app/urltable.h"
#include "base/fsutil.h"
#include "base/seams.h"
#include "base/text.h"
#include "charts/f10view.h"
#include "charts/graphview.h"
#include "charts/realtimeview.h"
#include "charts/stockgraph.h"
#include "net/download.h"
#include "net/services.h"
#include "skin/webview.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/storeenv.h"

const char CContentPanelView::kShanghaiIndex[] = "1A0001_1";
const char CContentPanelView::kShenzhenIndex[] = "399001_0";

namespace {

// The panels alive. A download's context is used only while its panel is here and not closing;
// the count of callbacks inside each panel is kept under the same lock.
std::mutex g_gateLock;
std::set<CContentPanelView*>& LivePanels() {
    static std::set<CContentPanelView*> panels;
    return panels;
}

}  // namespace

CContentPanelView::CContentPanelView() : m_router(&GetDatabase(), GetCodeStateMap()) {
    {
        std::lock_guard<std::mutex> hold(g_gateLock);
        LivePanels().insert(this);
    }
    // 4026 is taken and has no effect.
    for (int id : {int(kAppMsgIndicator), 4026, int(kAppMsgStockIndex), int(kAppMsgOpenCode), int(kAppMsgStockChanged),
                   int(kAppMsgCommand), int(kAppMsgReload)})
        m_bus.AddAcceptor(id, this);
}

CContentPanelView::~CContentPanelView() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    {
        std::lock_guard<std::mutex> hold(g_gateLock);
        LivePanels().erase(this);
    }
    // No callback enters any more; wait for those inside (they only store while closing).
    Shutdown();
    DestroyViews();
}

// ---- The message processor -----------------------------------------------------------------

int CContentPanelView::AddAcceptor(int id, CMessageAcceptor* acceptor) { return m_bus.AddAcceptor(id, acceptor); }

int CContentPanelView::SendMessage(int id, intptr_t wParam, intptr_t lParam) {
    return m_bus.SendMessage(id, wParam, lParam);
}

void CContentPanelView::RemoveAcceptor(CMessageAcceptor* acceptor) { m_bus.RemoveAcceptor(acceptor); }

int CContentPanelView::OnPanelMessage(int id, intptr_t wParam, intptr_t lParam) {
    switch (id) {
    case kAppMsgIndicator: {
        CStProfile& profile = GetProfile();
        CSPDWordArray overlays = profile.GetSecondIndicatorList(), shown = profile.GetShownIndicators();
        ApplyIndicatorChoice(int(wParam), overlays, shown);
        if (wParam >= 1 && wParam <= 8)
            profile.SetSecondIndicatorList(overlays);
        else
            profile.SetShownIndicators(shown);
        ShowView(kViewGraph);
        if (CBaseView* view = GetCurrentView()) {
            HandCurrentStock(view);
            view->ReloadStock(1, 0);
        }
        break;
    }
    case kAppMsgStockIndex: {
        // The stock already current opens as well (the container reports no change for it).
        CStockContainer& container = lParam ? GetStockContainer2() : GetStockContainer();
        if (GetProfile().SetCurrentStockByIndex(int(wParam), lParam != 0) ||
            (wParam >= 0 && int(wParam) == container.GetCurrentIndex()))
            OpenCurrentStock();
        break;
    }
    case kAppMsgOpenCode: {
        // A code outside the code list would leave the container without a current stock: it
        // changes nothing. The stock already current opens as well (the container reports no change).
        const char* code = reinterpret_cast<const char*>(wParam);
        if (!code || !*code || !GetStockContainer().GetStockInfo(code, nullptr, nullptr)) break;
        CStockInfo current;
        if (GetProfile().SetCurrentStock(code, false) ||
            (GetProfile().GetCurrentStock(&current) && GbkCompareNoCase(current.GetStockCode(), code) == 0)) {
            ShowView(lParam ? kViewGraph : kViewRealTime);
            ManualReload();
        }
        break;
    }
    case kAppMsgStockChanged: ManualReload(); break;
    case kAppMsgReload:
        // May come from a download worker: the view reloads under its own lock.
        if (CBaseView* view = GetCurrentView()) view->ReloadStock(int(wParam), int(lParam));
        break;
    case kAppMsgCommand: OnCommand(int(wParam)); break;
    default: break;
    }
    return 1;
}

// ---- The stock list ----------------------------------------------------------------------------

CStockInfo CContentPanelView::RecordStock(const char* code) {
    GetProfile().SetCurrentStock(code, false);
    CStockInfo info;
    if (!GetProfile().GetCurrentStock(&info)) info.Clear();
    return info;
}

int CContentPanelView::StepStock(bool next, CStockInfo* landed) {
    CStockInfo info;
    const int moved = next ? GetProfile().GetNextStock(&info) : GetProfile().GetPrevStock(&info);
    if (landed && !GetProfile().GetCurrentStock(landed)) landed->Clear();
    return moved;
}

void CContentPanelView::GetStocksBefore(std::vector<CStockInfo>& out, int n) { GetProfile().GetPrevStocks(out, n); }

bool CContentPanelView::HandCurrentStock(CBaseView* view, CStockInfo* stock) {
    CStockInfo current;
    if (!GetProfile().GetCurrentStock(&current)) current.Clear();
    if (view) view->OpenStock(current);
    if (stock) *stock = current;
    return current.GetStockCode()[0] != 0;
}

void CContentPanelView::OpenCurrentStock() {
    if (GetCurrentViewId() == kViewRealTime) {
        CRealTimeView* view = GetRealTimeView();
        // The pane's mode changes reload it: with the stock just chosen.
        HandCurrentStock(view);
        view->SetDrawMode(1);
        view->SetPaneCount(1);
    } else {
        ShowView(kViewGraph);
    }
    ManualReload();
}

// ---- Window ------------------------------------------------------------------------------------

LRESULT CContentPanelView::OnCreate(LPCREATESTRUCTA) {
    // The search box and its index of every stock wait for the first frame's paint (a timer
    // message comes after the paint messages); a key that needs the box sooner makes it at once.
    SetTimer(kSearchBoxTimer, 1);
    GetView(kViewRealTime);
    ShowView(kViewRealTime);
    SetTimer(kReloadTimer, kReloadInterval);
    m_timerReload.store(true);
    return 0;
}

void CContentPanelView::OnDestroy() {
    KillTimer(kReloadTimer);
    KillTimer(kSearchBoxTimer);
    Shutdown();
    DestroyViews();
}

void CContentPanelView::DestroyViews() {
    m_current.store(nullptr);
    m_router.SetCurrentView(0);
    for (auto& entry : m_views) {
        if (HWND wnd = entry.second->GetViewWindow()) {
            ::ShowWindow(wnd, SW_HIDE);
            ::DestroyWindow(wnd);
        }
    }
    // Each view leaves the processor as it goes.
    m_views.clear();
}

void CContentPanelView::OnTimer(UINT_PTR id) {
    if (id == kSearchBoxTimer) {
        KillTimer(kSearchBoxTimer);
        EnsureSearchBox();
        return;
    }
    if (m_timerReload.load()) ReloadCurrentStock(true);
}

bool CContentPanelView::EnsureSearchBox() {
    if (m_searchBox.IsWindow()) return true;
    if (!m_hWnd || m_closing) return false;
    // Hidden until a code key opens it; closing hides it again.
    if (!m_searchBox.Create(m_hWnd, CRect(0, 0, 200, 300), "", WS_CHILD)) return false;
    m_searchBox.Build(GetStockContainer(), true);
    m_searchBox.SetOption(1);
    return true;
}

CBaseView* CContentPanelView::GetView(int id) {
    auto found = m_views.find(id);
    if (found != m_views.end()) return found->second.get();
    if (!m_hWnd || m_closing) return nullptr;
    std::unique_ptr<CBaseView> view;
    switch (id) {
    case kViewRealTime: view.reset(new CRealTimeView(id, this)); break;
    case kViewGraph: view.reset(new CGraphView(id, this)); break;
    case kViewF10: view.reset(new CF10View(id, this)); break;
    default: return nullptr;
    }
    // A new view loads its stock as its window is made.
    view->SetStockList(this);
    HandCurrentStock(view.get());
    RECT client;
    GetClientRect(&client);
    HWND wnd = view->CreateView(m_hWnd, client);
    if (!wnd) return nullptr;
    ::ShowWindow(wnd, SW_HIDE);
    CBaseView* result = view.get();
    m_views[id] = std::move(view);
    return result;
}

void CContentPanelView::ShowView(int id) {
    CBaseView* view = GetView(id);
    CBaseView* previous = GetCurrentView();
    if (!view || view == previous) return;
    HandCurrentStock(view);
    ::ShowWindow(view->GetViewWindow(), SW_SHOW);
    if (previous) ::ShowWindow(previous->GetViewWindow(), SW_HIDE);
    m_current.store(view);
    m_router.SetCurrentView(id);
    UpdateLayout();
}

void CContentPanelView::EnsureView(int id) {
    if (GetCurrentViewId() != id) ShowView(id);
}

int CContentPanelView::GetCurrentViewId() const {
    CBaseView* view = GetCurrentView();
    return view ? view->GetViewId() : 0;
}

CRealTimeView* CContentPanelView::GetRealTimeView() const {
    auto found = m_views.find(kViewRealTime);
    return found == m_views.end() ? nullptr : static_cast<CRealTimeView*>(found->second.get());
}

CGraphView* CContentPanelView::GetGraphView() const {
    auto found = m_views.find(kViewGraph);
    return found == m_views.end() ? nullptr : static_cast<CGraphView*>(found->second.get());
}

void CContentPanelView::UpdateLayout() {
    if (!m_hWnd) return;
    RECT client;
    GetClientRect(&client);
    if (CBaseView* view = GetCurrentView())
        ::SetWindowPos(view->GetViewWindow(), nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                       SWP_NOACTIVATE | SWP_NOZORDER);
    if (IsSearchBoxVisible()) PlaceSearchBox(false);
}

// ---- The search box's place ------------------------------------------------------------------

void CContentPanelView::PlaceSearchBox(bool force) {
    if (!m_hWnd || !m_searchBox.IsWindow() || !(force || IsSearchBoxVisible())) return;
    RECT client, box;
    GetClientRect(&client);
    m_searchBox.GetWindowRect(&box);
    const int width = box.right - box.left, height = box.bottom - box.top;
    // Above the views, which are created after the box.
    m_searchBox.SetWindowPos(HWND_TOP, client.right - width, client.bottom - height, 0, 0,
                             SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// The box's own state: shown or hidden whatever its parents are.
bool CContentPanelView::IsSearchBoxVisible() const {
    return m_searchBox.IsWindow() && (m_searchBox.GetStyle() & WS_VISIBLE) != 0;
}

bool CContentPanelView::HandKeyToSearchBox(MSG* msg) {
    if (!msg || !EnsureSearchBox()) return false;
    if (IsSearchBoxVisible()) return m_searchBox.OnKeyDown(msg) != FALSE;
    PlaceSearchBox(true);
    m_searchBox.OnChar(UINT(msg->wParam), UINT(HIWORD(msg->lParam)), false);
    return true;
}

// ---- Keys ------------------------------------------------------------------------------------

void CContentPanelView::OnKeyDown(UINT key, UINT flags) {
    switch (MapPanelKey(key)) {
    case panelKeyShanghaiIndex:
    case panelKeyShenzhenIndex:
        GetProfile().SetCurrentStock(MapPanelKey(key) == panelKeyShanghaiIndex ? kShanghaiIndex : kShenzhenIndex,
                                     false);
        ShowView(kViewRealTime);
        ManualReload();
        break;  // the view takes the key as well
    case panelKeySwitchView:
        if (GetCurrentViewId() == kViewRealTime) {
            ShowView(kViewGraph);
        } else {
            ShowView(kViewRealTime);
            if (CRealTimeView* view = GetRealTimeView()) view->SetDrawMode(1);
        }
        ManualReload();
        return;
    case panelKeyAddToWatch: OnCommand(4044); return;
    case panelKeyToView: break;
    }
    if (CBaseView* view = GetCurrentView()) view->OnMessage(kAppMsgKey, intptr_t(key), intptr_t(flags));
}

BOOL CContentPanelView::PreTranslateMessage(MSG* msg) {
    if (!msg || !m_hWnd) return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
        if (IsSearchBoxVisible()) return HandKeyToSearchBox(msg) ? TRUE : FALSE;
        // A code key opens the box (placed, shown, the key its first); with no box it goes on.
        if (KeyOpensSearchBox(UINT(msg->wParam)) && HandKeyToSearchBox(msg)) return TRUE;
        OnKeyDown(UINT(msg->wParam), UINT(msg->lParam));
        return TRUE;
    case WM_MOUSEWHEEL:
        if (CBaseView* view = GetCurrentView()) view->OnMessage(kAppMsgWheel, intptr_t(msg->wParam), intptr_t(msg->lParam));
        return FALSE;
    case WM_LBUTTONDBLCLK:
        ShowView(GetCurrentViewId() == kViewRealTime ? kViewGraph : kViewRealTime);
        return FALSE;
    default: return FALSE;
    }
}

// ---- Data of the current stock ---------------------------------------------------------------

void CContentPanelView::ManualReload() {
    m_timerReload.store(false);
    ReloadCurrentStock(false);
    m_timerReload.store(true);
}

int CContentPanelView::ReloadCurrentStock(bool timer) {
    CBaseView* view = GetCurrentView();
    CStockInfo stock;
    if (!view || !HandCurrentStock(view, &stock)) return 0;
    const std::string code = stock.GetStockCode();
    m_router.SetCurrentCode(code);
    const int mask = FetchStockData(code, stock.IsShangHai() ? 1 : 0, timer, true, true);
    // A reload the user asked for may name another stock than the view shows: the view turns to
    // it at once with what is stored (empty panes and its name when nothing is), so a silent
    // service never leaves the old stock on screen; the downloads reload it again as they land.
    if ((mask != 0 || !timer) && view->GetViewId() != kViewF10) SendMessage(kAppMsgReload, 1, 0);
    if (!timer) {
        std::vector<CStockInfo> prev, next;
        GetProfile().GetPrevStocks(prev, 1);
        GetProfile().GetNextStocks(next, 1);
        for (const std::vector<CStockInfo>* list : {&prev, &next})
            for (const CStockInfo& info : *list)
                FetchStockData(info.GetStockCode(), info.IsShangHai() ? 1 : 0, false, true, true);
    }
    return mask;
}

StockFetchEnv CContentPanelView::MakeFetchEnv(bool withCallback) {
    StockFetchEnv env;
    env.dataHost = GetDataServerHost();
    env.programFolder = GetProgramFolder();
    env.fileExists = [](const std::string& path) { return velmora::FileExists(path.c_str()); };
    env.states = GetCodeStateMap();
    env.signalMode = GetSignalDownloadMode();
    void* context = this;
    env.queue = [context, withCallback](const std::string& key, const StockDataPaths& paths, bool front, bool gzip) {
        DownloadManager* manager = GetDownloadManager();
        return manager && manager->AddTask(paths.url.c_str(), key.c_str(), paths.localPath.c_str(),
                                           withCallback ? &CContentPanelView::OnDownloadFileDone : nullptr, context,
                                           front, gzip);
    };
    return env;
}

int CContentPanelView::FetchStockData(const std::string& code, int market, bool skipDay, bool front,
                                      bool withCallback) {
    if (code.empty() || m_closing) return 0;
    return FetchStockFiles(MakeFetchEnv(withCallback), code, market != 0, skipDay, front);
}

bool CContentPanelView::FetchF10Data() {
    CBaseView* view = GetCurrentView();
    std::string code;
    int market = 0;
    if (!view || !view->GetCurrentStock(&code, &market) || m_closing) return false;
    return FetchTextFile(MakeFetchEnv(true), code, market != 0);
}

bool CContentPanelView::FetchSignalData() {
    if (GetSignalDownloadMode() != 2) return false;
    CBaseView* view = GetCurrentView();
    std::string code;
    int market = 0;
    if (!view || !view->GetCurrentStock(&code, &market) || m_closing) return false;
    return FetchSignalFile(MakeFetchEnv(true), code, market != 0);
}

void CContentPanelView::OnDownloadFileDone(const char* key, const char* localPath, void* context, const void* data,
                                           int size) {
    if (!context) return;
    CContentPanelView* panel = static_cast<CContentPanelView*>(context);
    {
        std::lock_guard<std::mutex> hold(g_gateLock);
        // A panel already gone: the file stays unrecorded and is fetched again next time.
        if (!LivePanels().count(panel)) return;
        ++panel->m_inFlight;
    }
    panel->FileArrived(key, localPath, data, size);
    {
        std::lock_guard<std::mutex> hold(g_gateLock);
        --panel->m_inFlight;
    }
}

void CContentPanelView::FileArrived(const char* key, const char* localPath, const void* data, int size) {
    ReloadRequest reload = m_router.OnDownloadFileDone(key, localPath, data, size, GetServerDataTime());
    bool closing;
    {
        std::lock_guard<std::mutex> hold(g_gateLock);
        closing = m_closing;
    }
    // Through the processor, so that whoever watches reloads sees them too.
    if (reload.reload && !closing) SendMessage(kAppMsgReload, reload.wParam, reload.lParam);
}

void CContentPanelView::Shutdown() {
    std::unique_lock<std::mutex> hold(g_gateLock);
    m_closing = true;
    while (m_inFlight > 0) {
        // A callback inside may be waiting for this thread: answer sent messages while waiting.
        hold.unlock();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        hold.lock();
    }
}

// ---- Commands ----------------------------------------------------------------------------------

HWND CContentPanelView::DialogOwner() const {
    HWND active = ::GetActiveWindow();
    if (active) return active;
    return m_hWnd ? ::GetAncestor(m_hWnd, GA_ROOT) : nullptr;
}

void CContentPanelView::ShowInsidePage(const std::string& title, const std::string& url) {
    if (url.empty()) return;
    if (m_insidePage) {
        m_insidePage(DialogOwner(), title, url);
        return;
    }
    CWebSourceDlg dialog;
    dialog.SetTitle(title.c_str());
    dialog.SetUrl(url.c_str());
    dialog.DoModal(DialogOwner());
}

void CContentPanelView::SetRealTimeMode(int mode, int option) {
    EnsureView(kViewRealTime);
    CRealTimeView* view = GetRealTimeView();
    if (!view) return;
    view->SetDrawMode(mode);
    if (option) view->ToggleDrawOption(option);
}

void CContentPanelView::OnCommand(int id) {
    const CommandAction action = GetCommandAction(id);
    switch (action.kind) {
    case cmdNone: break;
    case cmdRealTimeMode: SetRealTimeMode(action.value, action.option); break;
    case cmdShowGraph: ShowView(kViewGraph); break;
    case cmdGraphOption:
        EnsureView(kViewGraph);
        if (CGraphView* view = GetGraphView()) view->SetGraphOption(action.value);
        break;
    case cmdDataMode:
        EnsureView(kViewGraph);
        if (CGraphView* view = GetGraphView()) view->SetDataMode(action.value);
        break;
    case cmdCompanyInfo:
        if (GetCurrentViewId() == kViewF10) break;
        ShowView(kViewF10);
        FetchF10Data();
        if (CBaseView* view = GetCurrentView()) {
            HandCurrentStock(view);
            view->ReloadStock(1, 0);
        }
        break;
    case cmdStateEvaluation:
        SetRealTimeMode(1, 0);
        if (CBaseView* view = GetCurrentView()) RunStateEvaluDialog(DialogOwner(), view);
        break;
    case cmdTrendEvaluation: {
        EnsureView(kViewGraph);
        CStockInfo stock;
        if (GetProfile().GetCurrentStock(&stock)) RunTrendEvaluDialog(DialogOwner(), stock);
        break;
    }
    case cmdStockPool: {
        CStockInfo stock;
        if (GetProfile().GetCurrentStock(&stock)) RunStockPoolDialog(DialogOwner(), this, action.value);
        break;
    }
    case cmdRanking: RunStatisticsDialog(DialogOwner(), this, action.value); break;
    case cmdSignalToggle:
        if (!CheckStockSelected()) break;
        if (GetSignalDownloadMode() != 0) {
            SetSignalDownloadMode(0);
        } else {
            SetSignalDownloadMode(2);
            FetchSignalData();
            EnsureView(kViewGraph);
        }
        break;
    case cmdAddToWatchList: {
        CBaseView* view = GetCurrentView();
        if (!view) break;
        const std::string code = view->GetStockCode(), name = view->GetStockName();
        // No stock, nothing to add.
        if (code.empty()) break;
        SendMessage(kAppMsgAddToWatch, reinterpret_cast<intptr_t>(code.c_str()),
                    reinterpret_cast<intptr_t>(name.c_str()));
        if (HWND parent = ::GetParent(m_hWnd)) ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(32801, 1000), 0);
        break;
    }
    case cmdOutsidePage: OpenOutsidePage(id); break;
    case cmdFundFlowPage: {
        if (!CheckStockSelected()) break;
        CBaseView* view = GetCurrentView();
        std::string code;
        int market = 0;
        if (!view || !view->GetCurrentStock(&code, &market)) break;
        ShowInsidePage(action.title, FundFlowUrl(id, GetDataServerHost(), code, market != 0));
        break;
    }
    case cmdAnnouncement: ShowInsidePage(action.title, AnnouncementUrl(GetSiteRoot(), GetLoginUserName())); break;
    }
}

bool CContentPanelView::CheckStockSelected() {
    CBaseView* view = GetCurrentView();
    const std::string code = view ? view->GetStockCode() : std::string();
    CStockInfo info;
    if (code.empty() || !GetStockContainer().GetStockInfo(code.c_str(), &info, nullptr)) {
        ShowMessageBox(m_hWnd, "无法获得股票信息，请选择股票后再进行操作！", "提示", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (info.GetType() == kindShIndex || info.GetType() == kindSzIndex) {
        ShowMessageBox(m_hWnd, "无法获得指数相关数据，请选择股票后再进行操作！", "提示", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}
