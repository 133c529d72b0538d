#include "winfw/ctrls.h"

std::string CListBox::GetText(int i) const {
    int n = (int)SendMessage(LB_GETTEXTLEN, i);
    if (n < 0) return std::string();
    std::string s(n + 1, '\0');
    int got = (int)SendMessage(LB_GETTEXT, i, (LPARAM)&s[0]);
    s.resize(got > 0 ? got : 0);
    return s;
}

std::string CComboBox::GetLBText(int i) const {
    int n = (int)SendMessage(CB_GETLBTEXTLEN, i);
    if (n < 0) return std::string();
    std::string s(n + 1, '\0');
    int got = (int)SendMessage(CB_GETLBTEXT, i, (LPARAM)&s[0]);
    s.resize(got > 0 ? got : 0);
    return s;
}

HWND CToolTipCtrl::Create(HWND owner, DWORD style) {
    m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               ::GetModuleHandleA(nullptr), nullptr);
    return m_hWnd;
}

static TOOLINFOA MakeToolInfo(HWND owner, UINT_PTR id, UINT flags) {
    TOOLINFOA ti = {};
    // The size of the record every common-controls version knows.
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = owner;
    ti.uId = id;
    ti.uFlags = flags;
    return ti;
}

BOOL CToolTipCtrl::AddTool(HWND owner, UINT_PTR id, LPCRECT r, const char* text, UINT flags) {
    TOOLINFOA ti = MakeToolInfo(owner, id, flags);
    if (r) ti.rect = *r;
    ti.lpszText = const_cast<LPSTR>(text ? text : LPSTR_TEXTCALLBACKA);
    return (BOOL)SendMessage(TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::DelTool(HWND owner, UINT_PTR id) {
    TOOLINFOA ti = MakeToolInfo(owner, id, 0);
    SendMessage(TTM_DELTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(HWND owner, UINT_PTR id, const char* text) {
    TOOLINFOA ti = MakeToolInfo(owner, id, 0);
    ti.lpszText = const_cast<LPSTR>(text);
    SendMessage(TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
}

HTREEITEM CTreeViewCtrl::InsertItem(const char* text, HTREEITEM parent, HTREEITEM after, LPARAM data) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<LPSTR>(text);
    ins.item.lParam = data;
    return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

LPARAM CTreeViewCtrl::GetItemData(HTREEITEM i) const {
    TVITEMA it = {};
    it.mask = TVIF_PARAM;
    it.hItem = i;
    return SendMessage(TVM_GETITEMA, 0, (LPARAM)&it) ? it.lParam : 0;
}

BOOL CTreeViewCtrl::SetItemData(HTREEITEM i, LPARAM data) {
    TVITEMA it = {};
    it.mask = TVIF_PARAM;
    it.hItem = i;
    it.lParam = data;
    return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&it);
}

std::string CTreeViewCtrl::GetItemText(HTREEITEM i) const {
    char buf[512] = {};
    TVITEMA it = {};
    it.mask = TVIF_TEXT;
    it.hItem = i;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&it)) return std::string();
    return std::string(it.pszText ? it.pszText : "");
}

HIMAGELIST CImageList::LoadFromFile(const char* path, int cx, COLORREF mask) {
    Destroy();
    m_hImageList = ImageList_LoadImageA(nullptr, path, cx, 0, mask, IMAGE_BITMAP, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    return m_hImageList;
}

BOOL CImageList::Destroy() {
    if (!m_hImageList) return FALSE;
    BOOL ok = ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return ok;
}
