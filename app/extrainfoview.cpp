#include "app/extrainfoview.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "skin/skinbitmap.h"
#include "store/database.h"
#include "store/groups.h"
#include "store/stockcode.h"
#include "store/storeenv.h"

CExtraInfoView::CExtraInfoView() = default;

CExtraInfoView::~CExtraInfoView() {
    if (m_processor) m_processor->RemoveAcceptor(this);
}

int CExtraInfoView::RegisterNotifySink(CMessageProcessor* processor) {
    if (processor) {
        for (int id : {kAppMsgKey, kAppMsgWheel, kAppMsgAddToWatch, kAppMsgSectorsChanged})
            processor->AddAcceptor(id, this);
    }
    m_processor = processor;
    return 1;
}

void CExtraInfoView::SetCreateParams(HWND parent, const RECT& rect, UINT id) {
    m_createParent = parent;
    m_createRect = rect;
    m_createId = id;
}

bool CExtraInfoView::EnsureWindow() {
    if (m_hWnd) return true;
    if (!m_createParent || !::IsWindow(m_createParent)) return false;
    return Create(m_createParent, m_createRect, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, m_createId) !=
           nullptr;
}

int CExtraInfoView::OnPanelMessage(int id, intptr_t wParam, intptr_t lParam) {
    if (id == kAppMsgAddToWatch)
        AddStock(reinterpret_cast<const char*>(wParam), reinterpret_cast<const char*>(lParam));
    else if (id == kAppMsgSectorsChanged)
        FillBlockTree();
    return 1;
}

void CExtraInfoView::Send(int id, intptr_t wParam, intptr_t lParam) {
    if (m_processor) m_processor->SendMessage(id, wParam, lParam);
}

LRESULT CExtraInfoView::OnCreate(LPCREATESTRUCTA) {
    CRect client;
    GetClientRect(&client);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    CSkinBitmap tabs, row, close;
    tabs.LoadSkinFile("Tabs.png");
    row.LoadSkinFile("TabRow.png");
    m_tabs.SetBackgroundImages(tabs.Detach(), row.Detach());
    m_tabs.AddItem(kExtraListPageId, "自选股");
    m_tabs.AddItem(kExtraTreePageId, "板块信息");
    m_tabs.Create(m_hWnd, client, nullptr, style);
    CRect button(0, 0, 16, 16);
    if (close.LoadSkinFile("ExtraClose.png")) button = CRect(0, 0, close.GetWidth() / 4, close.GetHeight());
    if (m_close.CreateSkinButton(m_hWnd, button, nullptr, style, 0, kExtraCloseId)) m_close.SetBitmap(close.Detach());
    if (!m_list.Create(m_hWnd, client, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, kExtraListId)) return -1;
    m_list.DeleteAllItems();
    m_list.AddColumn("股票代码", 90);
    m_list.AddColumn("股票名称", 90);
    m_tree = ::CreateWindowExA(0, WC_TREEVIEWA, nullptr,
                               WS_CHILD | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_DISABLEDRAGDROP |
                                   TVS_SHOWSELALWAYS | TVS_TRACKSELECT | TVS_INFOTIP,
                               client.left, client.top, client.Width(), client.Height(), m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kExtraTreeId)),
                               ::GetModuleHandleA(nullptr), nullptr);
    FillTreeHere();
    if (m_watchPath.empty()) m_watchPath = GetProgramFolder() + DataFilePath(dataFileWatchList);
    // Loading writes nothing back; every later change is written at once.
    m_watch.reset(new WatchList(m_watchPath));
    m_watch->LoadStockList(m_watchPath.c_str());
    ShowRows();
    return 0;
}

void CExtraInfoView::OnDestroy() {
    if (m_watch) m_watch->SaveStockList(m_watchPath.c_str());
    if (m_tree) {
        ::SendMessageA(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        m_treeCodes.clear();
        m_tree = nullptr;
    }
}

void CExtraInfoView::OnSize(UINT, CSize) { Layout(); }

void CExtraInfoView::OnPaint(HDC given) {
    PaintGivenOrOwn(m_hWnd, given, [this](HDC dc) {
        // The window clips its children: the fill reaches only the uncovered strips.
        CRect client;
        GetClientRect(&client);
        ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    });
}

void CExtraInfoView::Layout() {
    CRect client;
    GetClientRect(&client);
    int top = 0, right = client.right;
    if (m_tabs.IsWindow()) {
        CRect tabs, button;
        m_tabs.GetWindowRect(&tabs);
        top = tabs.Height();
        if (m_close.IsWindow()) {
            m_close.GetWindowRect(&button);
            right = client.right - button.Width() - 2;
            m_close.SetWindowPos(nullptr, right, (top - button.Height()) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        m_tabs.SetWindowPos(nullptr, 0, 0, right > 0 ? right : 0, top, SWP_NOZORDER | SWP_NOACTIVATE);
        client.top = top + 2;
    }
    HWND page = m_list.IsWindowVisible() ? m_list.m_hWnd : (m_tree && ::IsWindowVisible(m_tree) ? m_tree : nullptr);
    if (page) ::MoveWindow(page, client.left, client.top, client.Width(), client.Height(), TRUE);
}

int CExtraInfoView::ShowListPage(UINT command) {
    bool list = command == 32801;
    if (m_tabs.IsWindow()) m_tabs.SelectItemById(list ? kExtraListPageId : kExtraTreePageId, true);
    m_list.ShowWindow(list ? SW_SHOW : SW_HIDE);
    if (m_tree) ::ShowWindow(m_tree, list ? SW_HIDE : SW_SHOW);
    Layout();
    return 1;
}

BOOL CExtraInfoView::PreTranslateMessage(MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    if (msg->wParam == VK_DELETE) DeleteSelected();
    return TRUE;
}

void CExtraInfoView::ShowRows() {
    m_list.DeleteAllItems();
    for (size_t i = 0; i < m_watch->GetCount(); ++i) {
        const WatchListRow& row = m_watch->GetRow(i);
        int at = m_list.AddItem(row.code);
        if (at < 0) continue;
        m_list.SetItemText(at, 1, row.name);
        m_list.SetItemData(at, static_cast<DWORD>(row.market));
    }
}

int CExtraInfoView::AddStock(const char* code, const char* name) {
    // A stock given before the panel was first shown still lands in the list and the file.
    EnsureWindow();
    if (!m_watch || m_watch->AddStock(code, name) != 1) return 0;
    const WatchListRow& row = m_watch->GetRow(m_watch->GetCount() - 1);
    int at = m_list.AddItem(row.code);
    if (at >= 0) {
        m_list.SetItemText(at, 1, row.name);
        m_list.SetItemData(at, static_cast<DWORD>(row.market));
    }
    return 1;
}

void CExtraInfoView::DeleteSelected() {
    if (!m_watch || !m_list.IsWindowVisible()) return;
    std::vector<int> rows;
    for (int i = 0; i < m_list.GetItemCount(); ++i)
        if (m_list.IsSelected(i)) rows.push_back(i);
    if (rows.empty() || !m_watch->DeleteRows(rows)) return;
    ShowRows();
}

void CExtraInfoView::OpenListStock(int row) {
    if (!m_processor || !m_watch) return;
    std::string code = m_watch->GetOpenCode(row);
    if (!code.empty()) Send(kAppMsgOpenCode, reinterpret_cast<intptr_t>(code.c_str()), 0);
}

LRESULT CExtraInfoView::OnListNotify(LPNMHDR hdr) {
    const SkinListNotify* n = reinterpret_cast<const SkinListNotify*>(hdr);
    int code = static_cast<int>(hdr->code);
    if (code == kListNotifySelChanged || code == kListNotifyClick || code == kListNotifyDblClick) {
        OpenListStock(n->row);
    } else if (code == kListNotifyRightClick) {
        HMENU menu = ::CreatePopupMenu();
        ::AppendMenuA(menu, MF_STRING, kExtraDeleteId, "删除");
        ::AppendMenuA(menu, MF_STRING, 4044, "加入自选股");
        POINT pt;
        ::GetCursorPos(&pt);
        ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
        ::DestroyMenu(menu);
    }
    return 0;
}

LRESULT CExtraInfoView::OnTreeNotify(LPNMHDR hdr) {
    if (!m_tree) return 0;
    if (hdr->code == static_cast<UINT>(TVN_ITEMEXPANDINGA) || hdr->code == static_cast<UINT>(TVN_ITEMEXPANDINGW)) {
        // The A and W records agree up to the item's handle and data.
        const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(hdr);
        TreeEntry* entry = reinterpret_cast<TreeEntry*>(nm->itemNew.lParam);
        if ((nm->action & TVE_EXPAND) && entry && !entry->filled) FillGroup(nm->itemNew.hItem, *entry);
        return 0;
    }
    if (hdr->code != static_cast<UINT>(NM_DBLCLK)) return 0;
    HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageA(m_tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return 0;
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) && tv.lParam) {
        const TreeEntry* entry = reinterpret_cast<const TreeEntry*>(tv.lParam);
        if (!entry->code.empty()) Send(kAppMsgOpenCode, reinterpret_cast<intptr_t>(entry->code.c_str()), 0);
    }
    return 0;
}

void CExtraInfoView::OnCommand(UINT, int id, HWND) {
    if (id == kExtraListPageId) {
        ShowListPage(32801);
    } else if (id == kExtraTreePageId) {
        ShowListPage(0);
    } else if (id == kExtraCloseId) {
        ShowWindow(SW_HIDE);
        ::SendMessageA(GetParent(), WM_SIZE, 0, 0);
    } else if (id == kExtraDeleteId) {
        DeleteSelected();
    } else if (id == kExtraTreeAddId && m_tree) {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageA(m_tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        TVITEMA tv = {};
        std::vector<char> text(256);
        for (;;) {
            tv.mask = TVIF_PARAM | TVIF_TEXT;
            tv.hItem = item;
            tv.pszText = text.data();
            tv.cchTextMax = static_cast<int>(text.size());
            if (!item || !::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return;
            if (strlen(text.data()) + 1 < text.size()) break;
            text.resize(text.size() * 2);
        }
        const TreeEntry* entry = reinterpret_cast<const TreeEntry*>(tv.lParam);
        if (entry && !entry->code.empty()) AddStock(entry->code.c_str(), text.data());
    } else if (id >= 4000 && id <= 5000) {
        Send(kAppMsgCommand, id, 0);
    }
}

void CExtraInfoView::FillBlockTree() {
    if (!m_hWnd || !::IsWindow(m_hWnd)) return;
    // Sector downloads end on a worker: the tree and its texts belong to the window's thread. The
    // worker only posts, so it never waits for a thread that may be waiting for it; one posted
    // rebuild serves every request made before it runs.
    if (::GetWindowThreadProcessId(m_hWnd, nullptr) != ::GetCurrentThreadId()) {
        if (!m_fillPosted.exchange(true) && !::PostMessageA(m_hWnd, kFillTreeMessage, 0, 0)) m_fillPosted = false;
    } else {
        FillTreeHere();
    }
}

LRESULT CExtraInfoView::OnFillTree(UINT, WPARAM, LPARAM) {
    m_fillPosted = false;
    FillTreeHere();
    return 0;
}

namespace {

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const std::string& text, LPARAM data, bool hasChildren) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | (hasChildren ? TVIF_CHILDREN : 0);
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.lParam = data;
    ins.item.cChildren = 1;
    return reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

}  // namespace

void CExtraInfoView::FillTreeHere() {
    if (!m_tree) return;
    ::SendMessageA(m_tree, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_treeCodes.clear();
    // The downloader's snapshots: category -> members in reading order, and where each group
    // starts in them. Members before a category's first group are not shown.
    CGroupDownloader* groups = GetGroupDownloader();
    std::shared_ptr<const CGroupDownloader::GroupIndex> index;
    m_treeList.reset();
    if (groups) {
        groups->GetGroupList(m_treeList);
        groups->GetGroupMembers(index);
    }
    if (m_treeList && index) {
        for (const auto& category : *m_treeList) {
            HTREEITEM root = InsertTreeItem(m_tree, TVI_ROOT, category.first, 0, false);
            auto starts = index->find(category.first);
            if (!root || starts == index->end()) continue;
            const std::vector<CGroupDownloader::Member>& members = category.second;
            for (auto at = starts->second.begin(); at != starts->second.end(); ++at) {
                auto next = std::next(at);
                const size_t first = size_t(std::max(0, at->first));
                const size_t last = next == starts->second.end() ? members.size() : size_t(std::max(0, next->first));
                if (first >= std::min(last, members.size())) continue;
                m_treeCodes.emplace_back(new TreeEntry);
                TreeEntry& group = *m_treeCodes.back();
                group.members = &members;
                group.first = first;
                group.last = std::min(last, members.size());
                group.filled = false;
                InsertTreeItem(m_tree, root, at->second, reinterpret_cast<LPARAM>(&group), true);
            }
        }
    }
    ::SendMessageA(m_tree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_tree, nullptr, TRUE);
}

void CExtraInfoView::FillGroup(HTREEITEM item, TreeEntry& group) {
    group.filled = true;
    ::SendMessageA(m_tree, WM_SETREDRAW, FALSE, 0);
    for (size_t i = group.first; i < group.last; ++i) {
        const CGroupDownloader::Member& member = (*group.members)[i];
        m_treeCodes.emplace_back(new TreeEntry);
        m_treeCodes.back()->code = member.first;
        InsertTreeItem(m_tree, item, member.second, reinterpret_cast<LPARAM>(m_treeCodes.back().get()), false);
    }
    ::SendMessageA(m_tree, WM_SETREDRAW, TRUE, 0);
}
