// Thin wrappers over the system controls the program uses; each is a CWindow with the control's
// messages as methods. Only CImageList and CMenu own their handle.
#pragma once

#include <string>

#include "winfw/window.h"

class CButton : public CWindow {
public:
    CButton(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return "BUTTON"; }
    UINT GetState() const { return (UINT)SendMessage(BM_GETSTATE); }
    void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, pushed); }
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, check); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
    void Click() { SendMessage(BM_CLICK); }
};

class CStatic : public CWindow {
public:
    CStatic(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return "STATIC"; }
    HICON SetIcon(HICON icon) { return (HICON)SendMessage(STM_SETICON, (WPARAM)icon); }
    HBITMAP SetBitmap(HBITMAP bmp) { return (HBITMAP)SendMessage(STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bmp); }
};

class CEdit : public CWindow {
public:
    CEdit(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return "EDIT"; }
    void SetMargins(UINT left, UINT right) { SendMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(left, right)); }
    void SetSel(int start, int end, BOOL noScroll = FALSE) {
        SendMessage(EM_SETSEL, start, end);
        if (!noScroll) SendMessage(EM_SCROLLCARET);
    }
    void GetSel(int& start, int& end) const { SendMessage(EM_GETSEL, (WPARAM)&start, (LPARAM)&end); }
    void ReplaceSel(const char* text, BOOL canUndo = FALSE) { SendMessage(EM_REPLACESEL, canUndo, (LPARAM)text); }
    void ScrollCaret() { SendMessage(EM_SCROLLCARET); }
    void LimitText(int n) { SendMessage(EM_LIMITTEXT, n); }
    BOOL SetReadOnly(BOOL ro = TRUE) { return (BOOL)SendMessage(EM_SETREADONLY, ro); }
};

class CListBox : public CWindow {
public:
    CListBox(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return "LISTBOX"; }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int AddString(const char* s) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)s); }
    int InsertString(int i, const char* s) { return (int)SendMessage(LB_INSERTSTRING, i, (LPARAM)s); }
    int DeleteString(int i) { return (int)SendMessage(LB_DELETESTRING, i); }
    int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
    int SetCurSel(int i) { return (int)SendMessage(LB_SETCURSEL, i); }
    DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(LB_GETITEMDATA, i); }
    int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(LB_SETITEMDATA, i, (LPARAM)d); }
    int InitStorage(int items, UINT bytes) { return (int)SendMessage(LB_INITSTORAGE, items, bytes); }
    std::string GetText(int i) const;
};

class CComboBox : public CWindow {
public:
    CComboBox(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return "COMBOBOX"; }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int AddString(const char* s) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)s); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int i) { return (int)SendMessage(CB_SETCURSEL, i); }
    int FindStringExact(int start, const char* s) const { return (int)SendMessage(CB_FINDSTRINGEXACT, start, (LPARAM)s); }
    int GetItemHeight(int i) const { return (int)SendMessage(CB_GETITEMHEIGHT, i); }
    int SetItemHeight(int i, int h) { return (int)SendMessage(CB_SETITEMHEIGHT, i, h); }
    DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(CB_GETITEMDATA, i); }
    int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(CB_SETITEMDATA, i, (LPARAM)d); }
    BOOL GetComboBoxInfo(PCOMBOBOXINFO info) const { return ::GetComboBoxInfo(m_hWnd, info); }
    BOOL ShowDropDown(BOOL show = TRUE) { return (BOOL)SendMessage(CB_SHOWDROPDOWN, show); }
    std::string GetLBText(int i) const;
};

class CStatusBarCtrl : public CWindow {
public:
    CStatusBarCtrl(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return STATUSCLASSNAMEA; }
    BOOL SetParts(int n, const int* widths) { return (BOOL)SendMessage(SB_SETPARTS, n, (LPARAM)widths); }
    BOOL SetText(int pane, const char* text, int type = 0) { return (BOOL)SendMessage(SB_SETTEXTA, pane | type, (LPARAM)text); }
    BOOL GetRect(int pane, LPRECT r) const { return (BOOL)SendMessage(SB_GETRECT, pane, (LPARAM)r); }
    void SetSimple(BOOL simple = TRUE) { SendMessage(SB_SIMPLE, simple); }
};

class CToolTipCtrl : public CWindow {
public:
    CToolTipCtrl(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return TOOLTIPS_CLASSA; }
    HWND Create(HWND owner, DWORD style = TTS_ALWAYSTIP | TTS_NOPREFIX);
    BOOL AddTool(HWND owner, UINT_PTR id, LPCRECT r, const char* text, UINT flags = TTF_SUBCLASS);
    void DelTool(HWND owner, UINT_PTR id);
    void Activate(BOOL on) { SendMessage(TTM_ACTIVATE, on); }
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)msg); }
    int SetMaxTipWidth(int w) { return (int)SendMessage(TTM_SETMAXTIPWIDTH, 0, w); }
    void UpdateTipText(HWND owner, UINT_PTR id, const char* text);
};

class CProgressBarCtrl : public CWindow {
public:
    CProgressBarCtrl(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return PROGRESS_CLASSA; }
    void SetRange(int lo, int hi) { SendMessage(PBM_SETRANGE32, lo, hi); }
    int SetPos(int pos) { return (int)SendMessage(PBM_SETPOS, pos); }
    int GetPos() const { return (int)SendMessage(PBM_GETPOS); }
};

class CTreeViewCtrl : public CWindow {
public:
    CTreeViewCtrl(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return WC_TREEVIEWA; }
    HTREEITEM InsertItem(const char* text, HTREEITEM parent, HTREEITEM after, LPARAM data = 0);
    BOOL DeleteAllItems() { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM i) const { return GetNextItem(i, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM i) const { return GetNextItem(i, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM i) const { return GetNextItem(i, TVGN_PARENT); }
    HTREEITEM GetNextItem(HTREEITEM i, UINT code) const {
        return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, code, (LPARAM)i);
    }
    BOOL SelectItem(HTREEITEM i) { return (BOOL)SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)i); }
    BOOL Expand(HTREEITEM i, UINT code = TVE_EXPAND) { return (BOOL)SendMessage(TVM_EXPAND, code, (LPARAM)i); }
    LPARAM GetItemData(HTREEITEM i) const;
    BOOL SetItemData(HTREEITEM i, LPARAM data);
    std::string GetItemText(HTREEITEM i) const;
};

class CDateTimePickerCtrl : public CWindow {
public:
    CDateTimePickerCtrl(HWND h = nullptr) : CWindow(h) {}
    static LPCSTR GetWndClassName() { return DATETIMEPICK_CLASSA; }
    BOOL SetFormat(const char* fmt) { return (BOOL)SendMessage(DTM_SETFORMATA, 0, (LPARAM)fmt); }
    // GDT_VALID or GDT_NONE (the "no date" state of DTS_SHOWNONE).
    DWORD GetSystemTime(SYSTEMTIME* t) const { return (DWORD)SendMessage(DTM_GETSYSTEMTIME, 0, (LPARAM)t); }
    BOOL SetSystemTime(DWORD flag, const SYSTEMTIME* t) { return (BOOL)SendMessage(DTM_SETSYSTEMTIME, flag, (LPARAM)t); }
    void SetMonthCalFont(HFONT f, BOOL redraw = TRUE) { SendMessage(DTM_SETMCFONT, (WPARAM)f, redraw); }
    HWND GetMonthCal() const { return (HWND)SendMessage(DTM_GETMONTHCAL); }
};

// An owned image list.
class CImageList {
public:
    HIMAGELIST m_hImageList = nullptr;
    CImageList() = default;
    ~CImageList() { Destroy(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    operator HIMAGELIST() const { return m_hImageList; }
    bool IsNull() const { return m_hImageList == nullptr; }
    // Loads a strip of cx-wide images from a file (mask colour as given, e.g. magenta).
    HIMAGELIST LoadFromFile(const char* path, int cx, COLORREF mask);
    BOOL Destroy();
    int GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }
    BOOL GetIconSize(int& cx, int& cy) const { return ImageList_GetIconSize(m_hImageList, &cx, &cy); }
    BOOL Draw(HDC dc, int i, int x, int y, UINT style = ILD_TRANSPARENT) const {
        return ImageList_Draw(m_hImageList, i, dc, x, y, style);
    }
};

// A menu; the managed form destroys it.
template <bool t_managed>
class CMenuT {
public:
    HMENU m_hMenu;
    CMenuT(HMENU h = nullptr) : m_hMenu(h) {}
    ~CMenuT() {
        if (t_managed && m_hMenu) ::DestroyMenu(m_hMenu);
    }
    CMenuT(const CMenuT&) = delete;
    CMenuT& operator=(const CMenuT&) = delete;
    operator HMENU() const { return m_hMenu; }
    bool IsNull() const { return m_hMenu == nullptr; }
    void Attach(HMENU h) {
        if (t_managed && m_hMenu && m_hMenu != h) ::DestroyMenu(m_hMenu);
        m_hMenu = h;
    }
    HMENU Detach() { HMENU h = m_hMenu; m_hMenu = nullptr; return h; }
    BOOL LoadMenu(UINT id, HINSTANCE inst = ::GetModuleHandleA(nullptr)) {
        Attach(::LoadMenuA(inst, MAKEINTRESOURCEA(id)));
        return m_hMenu != nullptr;
    }
    BOOL CreatePopupMenu() { Attach(::CreatePopupMenu()); return m_hMenu != nullptr; }
    HMENU GetSubMenu(int pos) const { return ::GetSubMenu(m_hMenu, pos); }
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr) { return ::AppendMenuA(m_hMenu, flags, id, text); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    BOOL TrackPopupMenu(UINT flags, int x, int y, HWND owner) { return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner, nullptr); }
    BOOL DestroyMenu() { BOOL ok = ::DestroyMenu(m_hMenu); m_hMenu = nullptr; return ok; }
};
typedef CMenuT<true> CMenu;
typedef CMenuT<false> CMenuHandle;
