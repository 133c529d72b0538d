// Owner-drawn pop-up menus for a frame: every popup the frame opens is drawn in a flat light
// style whose colours follow the system's highlight and button colours.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "winfw/winfw.h"

// One converted item, alive while its menu is open.
struct MenuItemRecord {
    std::string text;  // the item's whole text, however long
    UINT type = 0;     // its own type with MFT_OWNERDRAW added
    UINT state = 0;
    int image = -1;
};

class CSkinMenuCore {
public:
    CSkinMenuCore();
    virtual ~CSkinMenuCore();
    CSkinMenuCore(const CSkinMenuCore&) = delete;
    CSkinMenuCore& operator=(const CSkinMenuCore&) = delete;

    // The menu font from a description (the system menu font when none), in a character set that
    // draws Chinese.
    void InitMenuFont(const LOGFONTA* lf = nullptr);
    HFONT GetMenuFont() const { return m_font; }
    static int GetImageIndex(UINT id);
    size_t GetRecordCount() const { return m_records.size(); }
    size_t GetOpenMenuCount() const { return m_stack.size(); }
    static COLORREF MenuColorOf(MenuColor role);

    BEGIN_MSG_MAP(CSkinMenuCore)
        MSG_RAW(WM_INITMENUPOPUP, OnInitMenuPopup)
        MSG_RAW(WM_MENUSELECT, OnMenuSelect)
        MSG_WM_DRAWITEM(OnDrawItem)
        MSG_WM_MEASUREITEM(OnMeasureItem)
    END_MSG_MAP()

    LRESULT OnInitMenuPopup(UINT, WPARAM wParam, LPARAM lParam);
    LRESULT OnMenuSelect(UINT, WPARAM wParam, LPARAM lParam);
    void OnDrawItem(UINT, LPDRAWITEMSTRUCT dis);
    void OnMeasureItem(UINT, LPMEASUREITEMSTRUCT mis);
    void DrawItem(LPDRAWITEMSTRUCT dis);
    void MeasureItem(LPMEASUREITEMSTRUCT mis);

private:
    MenuItemRecord* Find(ULONG_PTR data) const;
    void RestoreAll();

    int m_imageWidth = 16, m_imageHeight = 15, m_buttonWidth = 22, m_buttonHeight = 21;
    CFont m_font;
    LOGFONTA m_logFont;
    int m_extraWidth = 0;
    bool m_keyboardCues = true;
    COLORREF m_mask = RGB(192, 192, 192);
    std::vector<HMENU> m_stack;
    std::vector<std::unique_ptr<MenuItemRecord>> m_records;
};

// The frame's mix-in; chain it last from the frame's map.
template <class T>
class CSkinContextMenu : public CSkinMenuCore {};
