// The search box: an edit line with the typed text, a close button and the list of every stock
// and indicator whose code, initials or short name begin with it. The content panel shows it on
// the first code key and hands it the keys while it is visible; a choice goes out through the
// panel's message processor (4028 with the stock's code, 4025 with the indicator id).
#pragma once

#include <string>
#include <vector>

#include "app/codeindex.h"
#include "charts/message.h"
#include "skin/fadebutton.h"
#include "winfw/winfw.h"

class CStockContainer;

enum : UINT {
    kSearchEditId = 2051,
    kSearchListId = 4027,
    kSearchCloseId = 5004,
    kSearchListClicked = 0x400,  // WM_COMMAND code the list posts on a click
};

// A list box that tells its parent about every click (button up) with kSearchListClicked.
class CDevListBoxImpl : public CWindowImpl<CDevListBoxImpl> {
public:
    DECLARE_WND_SUPERCLASS("VelmoraDevListBox", "LISTBOX")

    BEGIN_MSG_MAP(CDevListBoxImpl)
        MSG_RAW(WM_LBUTTONUP, OnLButtonUp)
    END_MSG_MAP()

private:
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM);
};

class CSearchBox : public CWindowImpl<CSearchBox> {
public:
    DECLARE_WND_CLASS_EX("VelmoraSearchBox", 0, -1)

    // The processor is not owned and must outlive the box.
    explicit CSearchBox(CMessageProcessor* processor);
    ~CSearchBox() override;

    // Files the stocks (and the indicators) and reserves the list for as many lines as stocks; 1.
    int Build(CStockContainer& stocks, bool withIndicators);
    // 1: closing hides the box (the content panel's setting); 0: it stays where it is.
    void SetOption(int hideOnClose) { m_hideOnClose = hideOnClose; }
    int GetOption() const { return m_hideOnClose; }

    // One typed key (IsSearchKey, Ctrl not held): shown, focused on first use, appended, refiltered.
    void OnChar(UINT virtualKey, UINT keyData, bool alreadyOpen);
    // A key-down while the box is visible; TRUE when the box consumed it.
    BOOL OnKeyDown(const MSG* msg);
    void FillList(const char* typed);
    void Close();

    const CodeIndex& GetIndex() const { return m_index; }
    HWND GetEdit() const { return m_edit; }
    CDevListBoxImpl& GetList() { return m_list; }
    CSkinFadeStateButtonCtrl& GetCloseButton() { return m_close; }
    std::string GetText() const;
    // The list's lines, as shown.
    std::vector<std::string> GetLines();
    int GetSelection();

    BEGIN_MSG_MAP(CSearchBox)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_CTLCOLOREDIT(OnCtlColor)
        MSG_WM_CTLCOLORLISTBOX(OnCtlColor)
        MSG_WM_KILLFOCUS(OnKillFocus)
        MSG_COMMAND_ID_CODE(kSearchCloseId, BN_CLICKED, OnCloseClicked)
        MSG_COMMAND_ID_CODE(kSearchListId, kSearchListClicked, OnListClicked)
        MSG_COMMAND_ID_CODE(kSearchEditId, EN_CHANGE, OnEditChange)
    END_MSG_MAP()

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnSize(UINT, CSize);
    BOOL OnEraseBkgnd(HDC dc);
    // The dark face of the charts: the edit's text in yellow, the lines in light grey.
    HBRUSH OnCtlColor(HDC dc, HWND control);
    void OnKillFocus(HWND);
    void OnCloseClicked(UINT, int, HWND) { Close(); }
    void OnListClicked(UINT, int, HWND) { Choose(); }
    void OnEditChange(UINT, int, HWND) {}
    // Sends the selected line's stock or indicator, then closes.
    void Choose();
    void Layout();

    HWND m_prevFocus = nullptr;
    HBRUSH m_background = nullptr;
    int m_hideOnClose = 0;
    CWindow m_edit;
    CDevListBoxImpl m_list;
    CSkinFadeStateButtonCtrl m_close;
    CodeIndex m_index;
    CMessageProcessor* m_processor;
    std::vector<SearchLine> m_lines;  // reused by every keystroke
};
