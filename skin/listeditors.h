// The skinned list's small windows: the in-place editors (text, choice, date), the red arrows
// that mark where a dragged column lands, and the title tip that shows a cut cell whole.
#pragma once

#include <string>
#include <vector>

#include "skin/listmodel.h"
#include "winfw/winfw.h"

// What an editor sends its list (WM_NOTIFY, code kListNotifyEndEdit) when the edit ends.
// The text and the date are valid only during the call.
struct ListEditNotify {
    NMHDR hdr;
    int row;
    int column;  // header position
    int endKey;  // 9 Tab, 13 Enter, 27 Escape, 0 focus lost
    const char* text;
    const SYSTEMTIME* date;  // the date editor's value; null for the others
};

enum : UINT { kListEditId = 100, kListComboId = 101, kListDateId = 102 };

// A vertical two-colour gradient from the rectangle's top edge to its bottom edge.
void ListDrawGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom);
// A rounded frame (outer colour, filled with `fill`) with a finer rounded line inside it.
void ListDrawSelectionFrame(HDC dc, const RECT& r, COLORREF outer, COLORREF inner, COLORREF fill);

// What the editors share: the edited cell, the flags, the ending key and a font of their own.
class CListEditorBase {
public:
    int m_row = -1;
    int m_column = -1;
    uint32_t m_flags = 0;
    int m_endKey = 0;

protected:
    // A font made from the list's font description (deleted with the editor).
    bool MakeFont(HFONT listFont);
    // Tab, Enter and Escape end the edit; answers whether the character was one of them.
    bool HandleEndKey(HWND self, WPARAM ch);
    void SendEnd(HWND self, const char* text, const SYSTEMTIME* date);
    CFont m_font;
};

// Numeric filtering of a typed character for an edit control (shared by the edit and the
// combo's edit): false when the character is swallowed.
bool FilterEditChar(HWND edit, uint32_t flags, WPARAM ch);

class CListEdit : public CWindowImpl<CListEdit, CEdit>, public CListEditorBase {
public:
    DECLARE_WND_SUPERCLASS("VelmoraListEdit", "EDIT")
    ~CListEdit() override;

    // Opens over the cell (list coordinates); false when the window or its font fails.
    bool Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const std::string& text,
                HFONT listFont);

    BEGIN_MSG_MAP(CListEdit)
        MSG_WM_CHAR(OnChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_KILLFOCUS(OnKillFocus)
    END_MSG_MAP()

private:
    void OnChar(UINT ch, UINT, UINT);
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTALLKEYS; }
    void OnKillFocus(HWND);
};

class CListCombo : public CWindowImpl<CListCombo, CComboBox>, public CListEditorBase {
public:
    DECLARE_WND_SUPERCLASS("VelmoraListCombo", "COMBOBOX")
    CListCombo();
    ~CListCombo() override;

    bool Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const std::string& text,
                const std::vector<std::string>& choices, bool styled, HFONT listFont);

    BEGIN_MSG_MAP(CListCombo)
        MSG_WM_CHAR(OnChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_DESTROY(OnDestroy)
        MSG_REFLECTED_COMMAND_CODE(CBN_KILLFOCUS, OnKillFocus)
    ALT_MSG_MAP(1)  // the combo's own edit child
        MSG_WM_CHAR(OnChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
    END_MSG_MAP()

    CContainedWindow m_editChild;

private:
    void OnChar(UINT ch, UINT, UINT);
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTALLKEYS; }
    void OnPaint(HDC given);
    void Paint(HDC dc);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnMouseMove(UINT, CPoint);
    void OnMouseLeave();
    void OnDestroy();
    void OnKillFocus(UINT, int, HWND);

    CTheme m_theme;
    RECT m_item = {};
    RECT m_button = {};
    bool m_hot = false;
    bool m_tracking = false;
    bool m_swapped = false;
    COLORREF m_highlight = 0, m_highlightText = 0;
};

class CListDate : public CWindowImpl<CListDate, CDateTimePickerCtrl>, public CListEditorBase {
public:
    DECLARE_WND_SUPERCLASS("VelmoraListDate", DATETIMEPICK_CLASSA)
    ~CListDate() override;

    bool Create(HWND list, int row, int column, const RECT& cell, uint32_t flags, const SYSTEMTIME& date,
                HFONT listFont);

    BEGIN_MSG_MAP(CListDate)
        MSG_WM_CHAR(OnChar)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_KILLFOCUS(OnKillFocus)
    END_MSG_MAP()

private:
    void OnChar(UINT ch, UINT, UINT);
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTALLKEYS; }
    void OnKillFocus(HWND gaining);
};

// Two red arrowheads above and below the place a dragged column would land.
class CDropArrows : public CWindowImpl<CDropArrows, CWindow, CNullTraits> {
public:
    DECLARE_WND_CLASS_EX("VelmoraDropArrows", 0, -1)
    ~CDropArrows() override;

    // length: the header height; false (nothing kept) when a part cannot be made.
    bool Create(HWND owner, int length, bool vertical);
    // Centres the arrows on a screen point and shows them.
    void MoveTo(int x, int y);
    void Hide();
    int GetLength() const { return m_length; }

    BEGIN_MSG_MAP(CDropArrows)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
    END_MSG_MAP()

private:
    BOOL OnEraseBkgnd(HDC dc);
    void OnPaint(HDC given);
    CBrush m_red;
    bool m_vertical = true;
    int m_length = 0;  // the given length + 20
};

// The pop-up that shows the whole text of a cell too narrow for it.
class CTitleTip : public CWindowImpl<CTitleTip, CWindow, CNullTraits> {
public:
    DECLARE_WND_CLASS_EX("TitleTip", CS_SAVEBITS, -1)
    ~CTitleTip() override;

    bool Create(HWND list, bool styled, HFONT listFont);
    // Shows the text over the cell's text rectangle (screen coordinates) when it does not fit;
    // true when shown.
    bool Show(const RECT& cell, const std::string& text, const std::string& tooltip);
    void Hide();
    const std::string& GetText() const { return m_text; }

    BEGIN_MSG_MAP(CTitleTip)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_RAW_RANGE(WM_MOUSEFIRST, WM_MOUSELAST, OnMouse)
        MSG_WM_CAPTURECHANGED(OnCaptureChanged)
        MSG_RAW(WM_ACTIVATEAPP, OnActivateApp)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

private:
    void OnPaint(HDC given);
    void Paint(HDC dc);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    LRESULT OnMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    // A tip that lost the mouse (or the program its activation) would stay on top: it goes.
    void OnCaptureChanged(HWND gaining);
    LRESULT OnActivateApp(UINT, WPARAM active, LPARAM);
    void OnDestroy();

    HWND m_list = nullptr;
    bool m_styled = false;
    std::string m_text, m_tooltipText;
    CFont m_font;
    CToolTipCtrl m_tooltip;
    COLORREF m_back = 0, m_textColour = 0;
};
