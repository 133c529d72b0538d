// The main frame's central child: hosts the intraday (3000), K-line (3001) and company (3002)
// views, switches among them, keeps the current stock's data files fresh (on demand and every ten
// seconds), takes the downloads' completion, and is the application's message processor through
// which views, panels and dialogs reach every registered acceptor.
//
// Threads. Keys, the timer, commands and layout run on the user-interface thread. A finished
// download calls OnDownloadFileDone on a download worker: it stores the file, records it, and
// asks the current view to reload through message 4029; the views guard their data with their
// own locks and only invalidate their windows from a worker. The current code and view the
// workers compare with are kept under DownloadRouter's lock; the view map is changed only on the
// user-interface thread, and workers read the current view through an atomic pointer.
//
// Shutdown. Every queued task carries the panel as its context. A context is only used while the
// panel is registered as alive; Shutdown (called from WM_DESTROY, and by the frame before it frees
// the download manager) marks the panel closing and waits, answering sent messages, until no
// callback is inside it. From then on a finished download is still stored but reloads nothing,
// and one finishing after the panel is gone is dropped unrecorded (the next reload fetches it
// again). So no callback ever touches a destroyed view or window, whatever order the frame tears
// down in; the frame should still free the download manager before the store and the code-state
// map (SaveAndFreeCodeStateMap) go, since a closing panel still stores and records.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/downloadroute.h"
#include "app/messagebus.h"
#include "app/panelrules.h"
#include "app/searchbox.h"
#include "charts/baseview.h"
#include "winfw/winfw.h"

class CRealTimeView;
class CGraphView;

class CContentPanelView : public CWindowImpl<CContentPanelView>,
                          public CMessageProcessor,
                          public CMessageAcceptor,
                          public IStockList {
public:
    DECLARE_WND_CLASS_EX("VelmoraContentPanel", CS_DBLCLKS, -1)
    enum : UINT_PTR { kReloadTimer = 2001, kSearchBoxTimer = 2002 };
    enum : UINT { kReloadInterval = 10000 };
    // The stocks of F3 and F4.
    static const char kShanghaiIndex[];
    static const char kShenzhenIndex[];

    CContentPanelView();
    ~CContentPanelView() override;

    // ---- The message processor. Window messages go through ::SendMessageA(m_hWnd, ...): on
    // the panel, SendMessage is the processor's.
    int AddAcceptor(int id, CMessageAcceptor* acceptor) override;
    int SendMessage(int id, intptr_t wParam, intptr_t lParam) override;
    void RemoveAcceptor(CMessageAcceptor* acceptor) override;
    // The panel as an acceptor of 4025, 4026, 4027, 4028, 4031, 4032 and 4029.
    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override { return OnPanelMessage(id, wParam, lParam); }
    int OnPanelMessage(int id, intptr_t wParam, intptr_t lParam);

    // ---- The stock list the views record and step in: the profile's (any thread).
    CStockInfo RecordStock(const char* code) override;
    int StepStock(bool next, CStockInfo* landed) override;
    void GetStocksBefore(std::vector<CStockInfo>& out, int n) override;

    // ---- Views.
    // The view of an id (3000, 3001 or 3002), created hidden over the client area on first use;
    // null for another id, or when it cannot be created (or the panel has no window yet).
    CBaseView* GetView(int id);
    // Shows the view and hides the previous one; an id without a view leaves the current one.
    void ShowView(int id);
    CBaseView* GetCurrentView() const { return m_current.load(); }
    int GetCurrentViewId() const;
    // The views when created (null before).
    CRealTimeView* GetRealTimeView() const;
    CGraphView* GetGraphView() const;
    // The current view over the whole client area; the search box in the bottom-right corner.
    void UpdateLayout();

    // ---- Data of the current stock.
    // Hands the current view the profile's current stock, makes it the panel's current code and
    // fetches its files (timer: minute and ticks only, no neighbours). The view reloads from the disk on
    // every reload the user asked for, and on a timer's when some file is present. The mask of
    // the files present.
    int ReloadCurrentStock(bool timer);
    // The user asked: the timer stays out of the way meanwhile.
    void ManualReload();
    // kHave... mask of the files present; the missing and stale ones are queued.
    int FetchStockData(const std::string& code, int market, bool skipDay, bool front, bool withCallback);
    // The current stock's company text when missing or stale; true when queued.
    bool FetchF10Data();
    // The current stock's signal file, every time while the mode is 2; false otherwise.
    bool FetchSignalData();
    // The download manager's callback for every task the panel queues; context is the panel.
    static void OnDownloadFileDone(const char* key, const char* localPath, void* context, const void* data, int size);
    // The code of the last reload.
    std::string GetCurrentCode() const { return m_router.GetCurrentCode(); }
    bool IsTimerReloadOn() const { return m_timerReload.load(); }

    // Stops taking downloads into the views and waits for any callback inside the panel; safe to
    // call more than once. The frame calls it before it frees the download manager.
    void Shutdown();

    // ---- Keys, commands, checks.
    void OnKeyDown(UINT key, UINT flags);
    // The frame's filter for every queued message: keys, the wheel and double clicks.
    BOOL PreTranslateMessage(MSG* msg);
    // Commands 4000 to 5000.
    void OnCommand(int id);
    // True when the current view's stock is a stock (not an index) of the code list; else says why.
    bool CheckStockSelected();

    // ---- The search box: a hidden child until a code key opens it. PlaceSearchBox moves it into
    // the bottom-right corner (on top of the views) when shown or when forced.
    void PlaceSearchBox(bool force);
    bool IsSearchBoxVisible() const;
    // A key-down for the search box: a visible box answers whether it consumed the key; a hidden
    // one is placed, shown and takes the key as its first. False while there is no box window.
    bool HandKeyToSearchBox(MSG* msg);
    // Makes the search box and files every stock in it, once; false when it cannot be made.
    bool EnsureSearchBox();
    CSearchBox& GetSearchBox() { return m_searchBox; }

    // Pages shown inside the program (CWebSourceDlg, modal); tests put a recorder in its place.
    typedef std::function<void(HWND owner, const std::string& title, const std::string& url)> InsidePageHandler;
    void SetInsidePageHandler(InsidePageHandler handler) { m_insidePage = std::move(handler); }

    BEGIN_MSG_MAP(CContentPanelView)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_TIMER(OnTimer)
    END_MSG_MAP()

private:
    LRESULT OnCreate(LPCREATESTRUCTA cs);
    void OnDestroy();
    void OnSize(UINT, CSize) { UpdateLayout(); }
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnTimer(UINT_PTR id);

    void DestroyViews();
    // Shows view id unless it is current already.
    void EnsureView(int id);
    // On the intraday view (shown first when asked): draw mode, and an option to toggle.
    void SetRealTimeMode(int mode, int option);
    // After 4027: the current stock on one intraday pane, or the K-line view.
    void OpenCurrentStock();
    // Looks the profile's current stock up and hands it to view (none: the view has no stock).
    // The stock as handed, false when there is none.
    bool HandCurrentStock(CBaseView* view, CStockInfo* stock = nullptr);
    void ShowInsidePage(const std::string& title, const std::string& url);
    HWND DialogOwner() const;
    StockFetchEnv MakeFetchEnv(bool withCallback);
    // A finished download while the panel is alive.
    void FileArrived(const char* key, const char* localPath, const void* data, int size);

    MessageBus m_bus;
    DownloadRouter m_router;
    std::map<int, std::unique_ptr<CBaseView>> m_views;
    std::atomic<CBaseView*> m_current{nullptr};
    // Set at creation; cleared while a reload the user asked for runs.
    std::atomic<bool> m_timerReload{false};
    InsidePageHandler m_insidePage;
    // A hidden child made in OnCreate, its index built from the code list; it sends its choices
    // through this panel's processor.
    CSearchBox m_searchBox{this};
    // Guarded by the process-wide gate lock (see the .cpp): callbacks inside, and closing.
    int m_inFlight = 0;
    bool m_closing = false;
};
