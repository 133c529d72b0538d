// The skinned list: an owner-drawn grid window over CSkinListModel. It paints the header and
// the rows through a double buffer, scrolls (with a short slide for line and page steps),
// answers keys and the mouse, opens in-place editors, lets the user drag columns to a new place,
// and tells its parent what the user did with WM_NOTIFY (SkinListNotify, codes -1501 to -1507).
#pragma once

#include <string>
#include <vector>

#include "skin/listdragdrop.h"
#include "skin/listeditors.h"
#include "skin/listmodel.h"
#include "winfw/winfw.h"

// The record of the list's notifications (lParam of WM_NOTIFY; wParam is the control id).
struct SkinListNotify {
    NMHDR hdr;
    int row;     // -1 for none
    int column;  // insertion index of the column (0 when none)
    DWORD reserved[3];
};

enum : UINT {
    kListTimerResize = 1001,
    kListTimerEdit = 1002,
    kListTimerBand = 1003,
    kListTimerAnimate = 1004,
    kListRowToolId = 1000,
    kListResizeCursorId = 202,  // program cursor resources (system cursors when missing)
    kListHandCursorId = 203,
};

class CSkinListImpl : public CWindowImpl<CSkinListImpl>,
                      public CDoubleBufferImpl<CSkinListImpl>,
                      public ISkinListHost,
                      public IListDragClient {
public:
    DECLARE_WND_CLASS_EX("VelmoraSkinList", CS_DBLCLKS, -1)

    CSkinListImpl();
    ~CSkinListImpl() override;

    // ---- set-up --------------------------------------------------------------------------
    // The image list file (16-pixel pictures, magenta transparent); the skin's "ListItems.bmp"
    // when none is set.
    void SetImageFilePath(const std::string& path) { m_imagePath = path; }
    // Completes a list whose window exists (run by WM_CREATE, or by the owner after
    // SubclassWindow on a dialog control). FALSE when a resource cannot be made.
    BOOL Initialise();
    BOOL ResetMetrics();
    // Cell pictures (not owned); cells with an image draw it.
    void SetCellImageList(HIMAGELIST images) { m_cellImages = images; RequestRepaint(); }
    // A background picture drawn under the rows (owned by the list from now on).
    void SetBackgroundImage(HBITMAP picture);
    // Scroll-bar controls outside the list that show its positions instead of its own bars.
    void SetOutsideScrollBars(HWND vertical, HWND horizontal);

    // Switches, followed at once.
    void SetShowHeader(bool on);
    void SetUseStyles(bool on);
    void SetSortAllowed(bool on) { m_model.m_sortAllowed = on; RequestRepaint(); }
    void SetSingleSelection(bool on) { m_model.m_singleSelection = on; RequestRepaint(); }
    void SetFocusCellMode(bool on) { m_model.m_cellFocusMode = on; RequestRepaint(); }
    void SetDragSelectsRows(bool on) { m_model.m_dragSelectsRows = on; }
    void SetAnimatedScroll(bool on) { m_animated = on; }
    void SetTiledBackground(bool on) { m_tiled = on; RequestRepaint(); }
    void SetSelectionFrame(bool on) { m_selectionFrame = on; RequestRepaint(); }
    void SetUnderlineSelection(bool on) { m_underline = on; RequestRepaint(); }
    void SetHeaderSeparators(bool on) { m_separators = on; RequestRepaint(); }
    void SetHScrollAllowed(bool on) { m_model.m_hScrollAllowed = on; UpdateScrollBars(); }
    void SetVScrollAllowed(bool on) { m_model.m_vScrollAllowed = on; UpdateScrollBars(); }
    bool IsStyled() const;

    // ---- columns and rows ----------------------------------------------------------------
    int AddColumn(const char* title, int width, int image = -1, int fixed = 0, int format = 0, uint32_t flags = 0);
    int InsertColumn(const SkinListColumn& column);
    // Appends a row: the index, -1 when there are no columns or no memory. Many rows in a row
    // cost one repaint.
    int AddItem(const char* text, int image = -1, int format = 0, uint32_t flags = 0) {
        return AddItem(std::string(text ? text : ""), image, format, flags);
    }
    int AddItem(const std::string& text, int image = -1, int format = 0, uint32_t flags = 0);
    BOOL DeleteItem(int row);
    void DeleteAllItems();
    BOOL SetItemText(int row, int index, const char* text) { return m_model.SetItemText(row, index, text ? text : ""); }
    BOOL SetItemText(int row, int index, const std::string& text) { return m_model.SetItemText(row, index, text); }
    std::string GetItemText(int row, int index) const { return m_model.GetItemText(row, index); }
    BOOL SetItemData(int row, DWORD data) { return m_model.SetItemData(row, data); }
    BOOL GetItemData(int row, DWORD* data) const;
    BOOL SetItemDate(int row, int index, const SYSTEMTIME& date);
    BOOL GetItemDate(int row, int index, SYSTEMTIME* date) const;
    BOOL SetItemFormat(int row, int index, int format, uint32_t flags) { return m_model.SetItemFormat(row, index, format, flags); }
    BOOL SetItemColours(int row, int index, COLORREF background, COLORREF text) {
        return m_model.SetItemColours(row, index, background, text);
    }
    BOOL SetItemToolTip(int row, const char* text) { return m_model.SetItemToolTip(row, text ? text : ""); }
    BOOL SetItemFont(int row, int index, HFONT font) { return m_model.SetItemFont(row, index, font); }
    // The choices a drop-down editor offers for the cell (else the column's).
    BOOL SetItemList(int row, int index, const std::vector<std::string>& list) {
        return m_model.SetItemList(row, index, list);
    }
    int GetItemImage(int row, int index) const { return m_model.GetItemImage(row, index); }
    int GetItemFormat(int row, int index) const { return m_model.GetItemFormat(row, index); }
    uint32_t GetItemFlags(int row, int index) const { return m_model.GetItemFlags(row, index); }
    HFONT GetItemFont(int row, int index) const;
    int GetItemCount() const { return m_model.GetItemCount(); }
    int GetColumnCount() const { return m_model.GetColumnCount(); }
    int GetColumnIndex(int position) const { return m_model.GetColumnIndex(position); }
    int GetColumnWidth(int position) const { return m_model.GetColumnWidth(position); }
    int FindColumn(int index) const { return m_model.FindColumn(index); }
    BOOL SetColumnWidth(int position, int width);
    BOOL AutoSizeColumn(int position);
    // The locale's short date and time of a date (empty for year 0 or on failure).
    static std::string FormatDate(const SYSTEMTIME& date);
    static std::string FormatTime(const SYSTEMTIME& date);

    // ---- selection, sorting, view --------------------------------------------------------
    BOOL SelectItem(int row, int position, UINT keys);
    BOOL IsSelected(int row) const { return m_model.IsSelected(row); }
    void ClearSelection();
    BOOL GetFocusItem(int* row, int* position) const { return m_model.GetFocusItem(row, position); }
    void SetFocusItem(int row, int position);
    BOOL SortColumn(int position, int mode);
    void EnsureVisible(int row, int position);
    // Recomputes both scroll bars and repaints.
    void UpdateScrollBars();
    BOOL GetHeaderRect(int position, RECT* r) const;
    BOOL GetCellRect(int row, int position, RECT* r) const;
    // Opens the editor of a cell (formats 1, 2 and 3 that are not read-only).
    BOOL EditCell(int row, int position);
    bool IsEditing() const { return m_editing; }
    LRESULT NotifyParent(int row, int position, int code);

    const CSkinListModel& Model() const { return m_model; }
    COLORREF GetWindowColour() const { return m_colWindow; }
    HFONT GetNormalFont() const { return m_font; }

    // The parts, for their owners' and tests' eyes.
    CTitleTip& TitleTip() { return m_titleTip; }
    CDropArrows& DropArrows() { return m_dropArrows; }
    CDragDrop& DragDrop() { return m_dragDrop; }
    CListEdit& Editor() { return m_edit; }
    CListCombo& ComboEditor() { return m_combo; }
    CListDate& DateEditor() { return m_date; }
    UINT GetClipboardFormat() const { return m_clipFormat; }
    // The header position a column drag carries (set when a drag starts).
    void SetDragColumn(int position) { m_dragColumn = position; }
    int GetDropSlot() const { return m_dropSlot; }

    void DoPaint(HDC dc);

    BEGIN_MSG_MAP(CSkinListImpl)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_DESTROY(OnDestroy)
        MSG_WM_SIZE(OnSize)
        MSG_WM_SETFOCUS(OnSetFocus)
        MSG_WM_KILLFOCUS(OnKillFocus)
        MSG_RAW(WM_CANCELMODE, OnCancelMode)
        MSG_WM_GETDLGCODE(OnGetDlgCode)
        MSG_WM_HSCROLL(OnHScroll)
        MSG_WM_VSCROLL(OnVScroll)
        MSG_RAW_RANGE(WM_MOUSEFIRST, WM_MOUSELAST, OnRelayMouse)
        MSG_RAW(WM_SYSCOLORCHANGE, OnSettingChange)
        MSG_RAW(WM_SETTINGCHANGE, OnSettingChange)
        MSG_RAW(WM_FONTCHANGE, OnSettingChange)
        MSG_RAW(WM_THEMECHANGED, OnSettingChange)
        MSG_NOTIFY_CODE(kListNotifyEndEdit, OnEndEdit)
        MSG_WM_KEYDOWN(OnKeyDown)
        MSG_WM_SYSKEYDOWN(OnSysKeyDown)
        MSG_WM_TIMER(OnTimer)
        MSG_RAW(WM_CTLCOLOREDIT, OnCtlColor)
        MSG_RAW(WM_CTLCOLORLISTBOX, OnCtlColor)
        MSG_WM_SETCURSOR(OnSetCursor)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
        MSG_WM_RBUTTONDOWN(OnRButtonDown)
        MSG_WM_RBUTTONUP(OnRButtonUp)
        MSG_WM_MOUSEWHEEL(OnMouseWheel)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        CHAIN_MSG_MAP(CDoubleBufferImpl<CSkinListImpl>)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

protected:
    // ISkinListHost
    intptr_t Notify(int code, int row, int position) override { return NotifyParent(row, position, code); }
    void OnFocusCellSelected(int row, int position, bool visible) override;
    // IListDragClient
    bool RenderDragData(const FORMATETC& format, STGMEDIUM* medium) override;
    DWORD OnDragOver(const FORMATETC& format, const STGMEDIUM& medium, DWORD keys, POINT pt) override;
    bool OnDrop(const FORMATETC& format, const STGMEDIUM& medium, DWORD effect, POINT pt) override;
    void OnDragLeave() override;

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnDestroy();
    void OnSize(UINT type, CSize size);
    void OnSetFocus(HWND);
    void OnKillFocus(HWND);
    LRESULT OnCancelMode(UINT, WPARAM, LPARAM);
    UINT OnGetDlgCode(LPMSG) { return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS; }
    void OnHScroll(UINT code, UINT pos, HWND bar);
    void OnVScroll(UINT code, UINT pos, HWND bar);
    LRESULT OnRelayMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnSettingChange(UINT, WPARAM, LPARAM);
    LRESULT OnEndEdit(LPNMHDR hdr);
    void OnKeyDown(UINT vk, UINT repeat, UINT flags);
    void OnSysKeyDown(UINT vk, UINT repeat, UINT flags);
    void OnTimer(UINT_PTR id);
    LRESULT OnCtlColor(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProc(msg, wParam, lParam); }
    BOOL OnSetCursor(HWND, UINT hitTest, UINT);
    void OnMouseMove(UINT keys, CPoint pt);
    void OnLButtonDown(UINT keys, CPoint pt);
    void OnLButtonUp(UINT keys, CPoint pt);
    void OnLButtonDblClk(UINT keys, CPoint pt);
    void OnRButtonDown(UINT keys, CPoint pt);
    void OnRButtonUp(UINT keys, CPoint pt);
    void OnMouseWheel(UINT keys, int delta, CPoint pt);
    void OnMouseLeave();
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT);
    // Draws the rectangle through the kept back buffer into the target; false without one.
    bool PaintThroughBuffer(HDC target, const CRect& r);

    // Painting.
    void DrawBackground(HDC dc, const CRect& clip);
    void DrawItems(HDC dc, const CRect& clip);
    void DrawItem(HDC dc, int row, const CRect& rowRect, const CRect& clip);
    void DrawHeader(HDC dc, const CRect& clip);
    void DrawHeaderTitle(HDC dc, int position, const CRect& column, bool withArrow);
    void DrawBand(HDC dc);
    void DrawImageClipped(HDC dc, HIMAGELIST images, int image, int x, int y, const CRect& clip);
    void DrawHeaderItem(HDC dc, int state, const CRect& r);
    std::string DateText(const std::string& text, uint32_t flags) const;
    bool IsActive() const;

    // View plumbing.
    void RequestRepaint();
    void InvalidateRow(int row);
    void InvalidateHeader();
    void ApplyScrollBars();
    void SyncClientSize();
    void ScrollTo(int vPos, int hPos);
    void HideTitleTip(bool forget);
    void CheckTitleTip(POINT pt, int row, int position);
    void UpdateRowToolTip(int row);
    void EndAnimation();
    bool AnimateScroll(int fromTop, int toTop);
    bool AnimateStep();
    void ShowAnimationFrame();
    void AutoScroll(POINT pt);
    void SelectBandAt(POINT pt);
    void TrackColumnResize(int screenX);
    void OnResizeTimer();
    void BeginColumnDrag();
    bool UpdateDropPosition(int x, int y);
    void BeginEditing();
    void CancelEdit();
    void ReleaseButton();
    HCURSOR CursorAt(POINT pt) const;

    CSkinListModel m_model;

    // Switches kept by the window.
    bool m_useStyles = true;
    bool m_animated = true;
    bool m_tiled = false;
    bool m_selectionFrame = true;
    bool m_underline = false;
    bool m_separators = false;

    HWND m_vBar = nullptr, m_hBar = nullptr;
    std::string m_imagePath;

    // Colours filled by ResetMetrics.
    COLORREF m_colWindow = 0, m_colFace = 0, m_colLight = 0, m_colShadow = 0, m_colHeaderText = 0;
    COLORREF m_colHighlight = 0, m_colText = 0;

    // Pointer state.
    int m_hotHeader = -1, m_pressedColumn = -1;
    int m_resizeColumn = -1, m_resizeWidth = 0, m_resizeX = 0, m_shrinkX = 0;
    bool m_buttonDown = false, m_tracking = false, m_resizing = false;
    bool m_bandArmed = false, m_bandActive = false, m_shrinkTimer = false;
    CPoint m_pressClient, m_pressContent, m_lastPoint;
    DWORD m_lastAutoScroll = 0;
    bool m_editing = false;
    bool m_paintActive = false;  // the active look, taken once per paint

    // Column drag.
    int m_dragColumn = -1, m_hoverColumn = -1, m_dropSlot = -1;

    // Scroll slide.
    SkinListAnimation m_anim;
    CBitmap m_animPicture;
    int m_animHeight = 0;

    // Resources.
    CImageList m_images;
    HIMAGELIST m_cellImages = nullptr;
    HCURSOR m_resizeCursor = nullptr, m_handCursor = nullptr;
    CFont m_font, m_fontUnderline;
    CTheme m_headerTheme, m_progressTheme;
    // Styled header items as drawn once (a styled part costs about a millisecond under Wine).
    struct HeaderPicture {
        int state, width, height;
        HDC dc;      // holds the picture
        HGDIOBJ old;  // what the DC held before
    };
    std::vector<HeaderPicture> m_headerPictures;
    void ClearHeaderPictures();
    UINT m_clipFormat = 0;
    CBitmap m_background;
    UINT m_wheelLines = 3;

    // The back buffer, kept between paints: a new one each time costs more than the drawing.
    CDC m_backDC;
    CBitmap m_backBitmap;
    HGDIOBJ m_backOld = nullptr;
    CSize m_backSize;
    void FreeBackBuffer();

    bool m_repaintPending = false;
    bool m_barsDirty = false;
    bool m_inScrollUpdate = false;

    CToolTipCtrl m_tooltip;
    CDragDrop m_dragDrop;
    CDropArrows m_dropArrows;
    CTitleTip m_titleTip;
    CListEdit m_edit;
    CListCombo m_combo;
    CListDate m_date;
};

// The list owners embed.
class CSkinListCtrlData : public CSkinListImpl {
public:
    ~CSkinListCtrlData() override;
};
