// The side panel: the user's watch list in a skinned list and the sector tree. It opens stocks
// through the content panel's message processor and takes "add to watch list" (4033) and
// "sectors changed" (4034) from it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/watchlist.h"
#include "charts/message.h"
#include "skin/fadebutton.h"
#include "skin/skinlist.h"
#include "skin/tabbar.h"
#include "store/groups.h"
#include "winfw/winfw.h"

enum : UINT {
    kExtraListId = 5001,
    kExtraListPageId = 5002,
    kExtraTreePageId = 5003,
    kExtraCloseId = 5004,
    kExtraDeleteId = 5005,
    kExtraTreeId = 5006,
    kExtraTreeAddId = 5007,
    kExtraWidth = 210,
};

class CExtraInfoView : public CWindowImpl<CExtraInfoView>, public CMessageAcceptor {
public:
    DECLARE_WND_CLASS_EX("VelmoraExtraInfo", 0, -1)
    enum : UINT { kFillTreeMessage = WM_APP + 61 };

    CExtraInfoView();
    ~CExtraInfoView() override;

    // Where the window is made when first needed (hidden); until then the panel has no window.
    void SetCreateParams(HWND parent, const RECT& rect, UINT id);
    // Makes the window when it is not there yet; false when it cannot be made.
    bool EnsureWindow();
    // Registers for 256, 522, 4033 and 4034 and keeps the processor (not owned); 1.
    int RegisterNotifySink(CMessageProcessor* processor);
    // The watch-list file; the store's (dataFileWatchList) in the program folder unless set before
    // creation.
    void SetWatchListPath(const std::string& path) { m_watchPath = path; }
    // 32801 shows the watch list, anything else the sector tree; 1.
    int ShowListPage(UINT command);
    // Swallows every key press; Delete first removes the selected watch-list rows.
    BOOL PreTranslateMessage(MSG* msg);

    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override { return OnPanelMessage(id, wParam, lParam); }
    int OnPanelMessage(int id, intptr_t wParam, intptr_t lParam);

    // code with its market suffix; 1 when a row was added (and the file written).
    int AddStock(const char* code, const char* name);
    void DeleteSelected();
    void OpenListStock(int row);
    // Rebuilds the tree from the sector downloader's lists; asked from another thread, it is
    // posted to the window's thread and runs there.
    void FillBlockTree();

    const WatchList& GetWatchList() const { return *m_watch; }
    CSkinListCtrlData& GetList() { return m_list; }
    HWND GetTree() const { return m_tree; }
    CSkinCmdBar& GetTabs() { return m_tabs; }
    CSkinFadeStateButtonCtrl& GetCloseButton() { return m_close; }

    BEGIN_MSG_MAP(CExtraInfoView)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_RAW(kFillTreeMessage, OnFillTree)
        MSG_NOTIFY_ID(kExtraListId, OnListNotify)
        MSG_NOTIFY_ID(kExtraTreeId, OnTreeNotify)
        MSG_WM_COMMAND(OnCommand)
    END_MSG_MAP()

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnDestroy();
    void OnSize(UINT, CSize);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    // The children leave strips uncovered (beside the close button, under the tabs); those are
    // filled in the tab row's black, so no picture of a window that was there before shows through.
    void OnPaint(HDC given);
    LRESULT OnFillTree(UINT, WPARAM, LPARAM);
    LRESULT OnListNotify(LPNMHDR hdr);
    LRESULT OnTreeNotify(LPNMHDR hdr);
    void OnCommand(UINT code, int id, HWND control);
    void FillTreeHere();
    void ShowRows();
    void Send(int id, intptr_t wParam, intptr_t lParam);
    void Layout();

    CSkinListCtrlData m_list;
    CMessageProcessor* m_processor = nullptr;
    HWND m_createParent = nullptr;
    RECT m_createRect = {0, 0, kExtraWidth, 100};
    UINT m_createId = 0;
    HWND m_tree = nullptr;
    CSkinCmdBar m_tabs;
    CSkinFadeStateButtonCtrl m_close;
    std::string m_watchPath;
    std::unique_ptr<WatchList> m_watch;
    // Item data of the tree's items: a stock's code, or a group's members (filled into the tree
    // when the group is first expanded: the whole market's sectors hold tens of thousands of
    // members). The tree keeps pointers; these own them, and m_treeList the members they point into.
    struct TreeEntry {
        std::string code;  // a stock item's; empty for a group
        const std::vector<CGroupDownloader::Member>* members = nullptr;
        size_t first = 0, last = 0;  // the group's members, [first, last)
        bool filled = true;
    };
    void FillGroup(HTREEITEM item, TreeEntry& group);
    std::vector<std::unique_ptr<TreeEntry>> m_treeCodes;
    std::shared_ptr<const CGroupDownloader::GroupList> m_treeList;
    std::atomic<bool> m_fillPosted{false};  // a rebuild is posted and has not run yet
};
