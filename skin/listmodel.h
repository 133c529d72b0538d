// The skinned list's data and behaviour without a window: columns, rows and cells with their
// formats, sorting, the selection with its focus and anchor, keyboard navigation, type-ahead,
// view geometry and scroll arithmetic. The window (skin/skinlist.h) is a thin view over it.
// Text is GBK; every scan steps over whole characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

typedef uint32_t ListColor;  // a Windows colour value: red in the low byte

// Cell formats.
enum : int {
    kListFormatDefault = 0,  // the column's default format
    kListFormatEdit = 1,
    kListFormatDate = 2,  // "%04d%02d%02d%02d%02d%02d"
    kListFormatChoice = 3,
    kListFormatCheck = 4,     // "0" or "1"
    kListFormatTriState = 5,  // "-1", "0" or "1"
    kListFormatLink = 6,
    kListFormatProgress = 7,  // 0 to 100
    kListFormatRowEnd = 8,    // this cell and the ones right of it are not drawn
    kListFormatNumber = 9,    // decimal, possibly with the unit "万"
    kListFormatInteger = 10,
};

// Flags of a column or a cell.
enum : uint32_t {
    kListAlignLeft = 0x1,
    kListAlignRight = 0x2,
    kListAlignCenter = 0x4,
    kListReadOnly = 0x8,
    kListEditUpper = 0x10,
    kListEditInteger = 0x20,
    kListEditDecimal = 0x40,
    kListEditSigned = 0x80,
    kListEditCompare = 0x100,
    kListEditDropDown = 0x200,
    kListDateOnly = 0x400,
    kListTimeOnly = 0x800,
    kListDateAllowNone = 0x1000,
    kListProgressPlain = 0x2000,
};

// Notification codes the list sends its parent (WM_NOTIFY).
enum : int {
    kListNotifySelChanged = -1501,
    kListNotifyClick = -1502,
    kListNotifyRightClick = -1503,
    kListNotifyDblClick = -1504,
    kListNotifyEndEdit = -1505,  // editor to list only
    kListNotifyValueChanged = -1506,
    kListNotifyLinkClick = -1507,
};

// Key flags of SelectItem (those of a mouse message).
enum : unsigned { kListKeyShift = 0x4, kListKeyControl = 0x8 };

// Virtual keys the model handles (the Windows values).
enum : unsigned {
    kListVkTab = 0x09,
    kListVkSpace = 0x20,
    kListVkPrior = 0x21,
    kListVkNext = 0x22,
    kListVkEnd = 0x23,
    kListVkHome = 0x24,
    kListVkLeft = 0x25,
    kListVkUp = 0x26,
    kListVkRight = 0x27,
    kListVkDown = 0x28,
};

// Scroll-bar request codes (the Windows SB_* values).
enum : int {
    kListSbLineUp = 0,
    kListSbLineDown = 1,
    kListSbPageUp = 2,
    kListSbPageDown = 3,
    kListSbThumbPosition = 4,
    kListSbThumbTrack = 5,
    kListSbTop = 6,
    kListSbBottom = 7,
    kListSbEndScroll = 8,
};

struct SkinListColumn {
    std::string title;
    int width = 0;
    int fixed = 0;  // not resizable, never auto-sized, no sort arrow
    int format = kListFormatDefault;
    uint32_t flags = 0;
    int image = -1;
    int index = 0;  // insertion index: cells are addressed by it, whatever the header order
    std::vector<std::string> list;
};

// A cell's own drop-down texts: one pointer while empty (most cells never have any).
class SkinListChoices {
public:
    SkinListChoices() = default;
    SkinListChoices(const SkinListChoices& o) : m_p(o.m_p ? new std::vector<std::string>(*o.m_p) : nullptr) {}
    SkinListChoices(SkinListChoices&&) noexcept = default;
    SkinListChoices& operator=(const SkinListChoices& o) {
        if (this != &o) m_p.reset(o.m_p ? new std::vector<std::string>(*o.m_p) : nullptr);
        return *this;
    }
    SkinListChoices& operator=(SkinListChoices&&) noexcept = default;
    bool empty() const { return !m_p || m_p->empty(); }
    const std::vector<std::string>& get() const;
    void set(const std::vector<std::string>& list) {
        m_p.reset(list.empty() ? nullptr : new std::vector<std::string>(list));
    }

private:
    std::unique_ptr<std::vector<std::string>> m_p;
};

// The colour value of a cell that follows the list's window or text colour.
const ListColor kListDefaultColour = 0xFF000000u;

struct SkinListItem {
    std::string text;
    int image = -1;
    int format = kListFormatDefault;
    uint32_t flags = 0;
    SkinListChoices list;
    void* font = nullptr;  // a font handle; null means the list's normal font
    ListColor background = kListDefaultColour;
    ListColor textColor = kListDefaultColour;
};

struct SkinListRow {
    std::vector<SkinListItem> cells;  // by insertion index
    std::string tooltip;
    uint32_t data = 0;
};

// A calendar date and time as a date cell stores it.
struct SkinListDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "%04d%02d%02d%02d%02d%02d".
std::string FormatListDate(const SkinListDate& date);
// Exactly 14 digits forming a valid date and time; anything else is refused.
bool ParseListDate(const std::string& text, SkinListDate* date);

// The flag rules of InsertColumn and AddItem.
uint32_t NormaliseListFlags(uint32_t flags);

// Whether text begins with prefix, letters folded to one case only where they are whole
// single-byte characters (a GBK trail byte can be a letter and then compares exactly).
bool GbkStartsWithNoCase(const std::string& text, const std::string& prefix);

// A cell's check-box value: the text read as a decimal number (0 when it is none).
int ReadListCheckValue(const std::string& text);
// The next text of a check box ("0" <-> "1") or a three-state box (0 -> 1 -> -1 -> 0).
std::string NextListCheckText(int format, const std::string& text);

// What the in-place editors' numeric filter makes of a typed character.
//   before / after: the text before and after the selection; c: the character.
// Returns true when the character may go in.
bool ListEditAcceptsChar(const std::string& before, const std::string& after, char c, uint32_t flags);
// The sign toggle of a signed field: text with its number's sign changed (the comparison prefix
// kept); *moved is +1 when a '-' was added, -1 when one was removed.
std::string ListEditToggleSign(const std::string& text, int* moved);

// The side that receives what the model does on its own: notifications to the owner and the
// follow-up of a selection change.
class ISkinListHost {
public:
    virtual ~ISkinListHost() = default;
    // A notification to the owner (row -1 for none, column a header position or -1).
    virtual intptr_t Notify(int code, int row, int columnPosition) = 0;
    // After SelectItem: the focus cell is in view (visible) or not; the window opens the editor
    // of an editable focus cell at once or a little later.
    virtual void OnFocusCellSelected(int row, int columnPosition, bool visible) {}
};

class CSkinListModel {
public:
    CSkinListModel();

    void SetHost(ISkinListHost* host) { m_host = host; }

    // ---- switches ------------------------------------------------------------------------
    bool m_headerShown = true;
    bool m_sortAllowed = true;
    bool m_singleSelection = false;
    bool m_cellFocusMode = false;
    bool m_dragSelectsRows = false;
    bool m_hScrollAllowed = true;
    bool m_vScrollAllowed = true;

    // Colours new cells take (the window sets them from the system colours).
    void SetDefaultColours(ListColor window, ListColor text) {
        m_windowColour = window;
        m_textColour = text;
    }
    ListColor GetWindowColour() const { return m_windowColour; }
    ListColor GetTextColour() const { return m_textColour; }
    // Width of one picture of the list's image list.
    void SetImageWidth(int w) { m_imageWidth = w; }

    // ---- columns -------------------------------------------------------------------------
    int AddColumn(const std::string& title, int width, int image = -1, int fixed = 0, int format = 0,
                  uint32_t flags = 0);
    // Appends a column; rows that exist get an empty cell for it. Returns its position.
    int InsertColumn(SkinListColumn column);
    int GetColumnCount() const { return (int)m_columns.size(); }
    bool GetColumn(int position, SkinListColumn* out) const;
    const SkinListColumn* Column(int position) const;
    int GetColumnIndex(int position) const;  // 0 when out of range
    int GetColumnWidth(int position) const;
    int GetColumnFormat(int position) const;
    uint32_t GetColumnFlags(int position) const;
    bool GetColumnList(int position, std::vector<std::string>* out) const;
    int FindColumn(int index) const;  // position of an insertion index, -1 when none
    // 0 out of range; a fixed column keeps its width and answers 1.
    int SetColumnWidth(int position, int width);
    // Widest of the title and every cell, measured by `measure` (false on failure), + 20.
    int AutoSizeColumn(int position, const std::function<bool(const std::string&, int*)>& measure,
                       bool cellImages = false, int cellImageWidth = 0);
    // Moves the column at `from` to the drop slot (before the column at `slot`; the count means
    // after the last). Cells keep their insertion index.
    bool MoveColumn(int from, int slot);
    // The drop slot for a point over the header while the column at `dragged` is dragged:
    // -1 over no column, on the column itself or on either of its edges.
    int DropSlotAt(int x, int y, int dragged) const;

    // ---- rows ----------------------------------------------------------------------------
    // Appends a row; -1 when there are no columns or the row cannot be stored.
    int AddItem(const std::string& text, int image = -1, int format = 0, uint32_t flags = 0);
    int GetItemCount() const { return (int)m_rows.size(); }
    // Removes the row; the selection, anchor, focus and pointer cells keep pointing at the
    // same rows. Returns false when out of range.
    bool DeleteItem(int row);
    void DeleteAllItems();
    const SkinListRow* Row(int row) const;

    bool SetItemText(int row, int index, const std::string& text);
    std::string GetItemText(int row, int index) const;
    const std::string& ItemText(int row, int index) const;  // a reference, empty when missing
    bool SetItemData(int row, uint32_t data);
    bool GetItemData(int row, uint32_t* data) const;
    bool SetItemDate(int row, int index, const SkinListDate& date);
    bool GetItemDate(int row, int index, SkinListDate* date) const;
    bool SetItemFormat(int row, int index, int format, uint32_t flags);
    bool SetItemColours(int row, int index, ListColor background, ListColor text);
    bool SetItemImage(int row, int index, int image);
    bool SetItemFont(int row, int index, void* font);
    bool SetItemList(int row, int index, const std::vector<std::string>& list);
    bool SetItemToolTip(int row, const std::string& text);
    int GetItemImage(int row, int index) const;
    int GetItemFormat(int row, int index) const;  // the cell's, else the column's
    uint32_t GetItemFlags(int row, int index) const;
    void* GetItemFont(int row, int index) const;  // null: the list's normal font
    bool GetItemColours(int row, int index, ListColor* background, ListColor* text) const;
    bool GetItemList(int row, int index, std::vector<std::string>* out) const;
    std::string GetItemToolTip(int row) const;

    // ---- sorting -------------------------------------------------------------------------
    // mode 0 (a header click): the same column again turns the order round; 1 ascending;
    // 2 descending. Clears the selection. false when sorting is off or out of range.
    bool SortColumn(int position, int mode);
    int GetSortColumn() const { return m_sortColumn; }  // insertion index, -1 none
    bool IsSortAscending() const { return m_ascending; }

    // ---- selection and focus -------------------------------------------------------------
    // keys: kListKeyShift / kListKeyControl. false when the row is out of range.
    bool SelectItem(int row, int columnPosition, unsigned keys);
    bool IsSelected(int row) const { return m_selection.count(row) != 0; }
    const std::set<int>& GetSelection() const { return m_selection; }
    std::vector<int> GetSelectedItems() const { return std::vector<int>(m_selection.begin(), m_selection.end()); }
    int GetSelectedCount() const { return (int)m_selection.size(); }
    void ClearSelection();
    void SelectAll();
    // The focus row when selected, else the smallest selected row; the column only in cell
    // focus mode. false when no row results.
    bool GetFocusItem(int* row, int* columnPosition) const;
    // Sets focus row and column and scrolls them into view; true when the view moved.
    bool SetFocusItem(int row, int columnPosition);
    int GetAnchor() const { return m_anchor; }
    void SetAnchor(int row) { m_anchor = row; }
    int GetFocusRow() const { return m_focusRow; }
    int GetFocusColumn() const { return m_focusColumn; }
    // Rebuilds the selection from the rows a rectangle (content coordinates) covers.
    void SelectBand(int left, int top, int right, int bottom);

    // Pointer cells the window tracks; kept on their rows when rows are deleted.
    int m_hotRow = -1, m_hotColumn = -1;
    int m_tipRow = -1, m_tipColumn = -1;

    // ---- keyboard ------------------------------------------------------------------------
    enum KeyResult { kKeyIgnored, kKeyHandled, kKeyToggled };
    // A key-down (virtual key) at time `nowMs`; letters 'A' to 'Z' search the sort column.
    KeyResult OnKeyDown(unsigned vk, bool control, bool shift, uint32_t nowMs);
    // Space or a click on a check or three-state cell: toggles it unless read-only.
    bool ToggleCell(int row, int columnPosition);
    // The type-ahead search: the row it selected, or -1.
    int TypeAhead(char letter, uint32_t nowMs);
    const std::string& GetSearchText() const { return m_search; }

    // ---- in-place editing ----------------------------------------------------------------
    // The end of an edit of (row, header position) with the key that ended it (9 Tab, 13
    // Enter, 27 Escape, 0 focus lost). Escape changes nothing; otherwise the text is written
    // (with a date: the date when `text` reads as non-zero, else the cell empties) and the
    // owner is told. *nextCell asks for the next cell's editor (Tab). true when written.
    bool EndEdit(int row, int position, int endKey, const std::string& text, const SkinListDate* date,
                 bool* nextCell);

    // ---- geometry (client coordinates; scroll positions in pixels) ------------------------
    void SetClientSize(int width, int height);
    int GetClientWidth() const { return m_clientWidth; }
    int GetClientHeight() const { return m_clientHeight; }
    // Row and header height.
    void SetRowHeight(int height);
    int GetRowHeight() const { return m_rowHeight; }
    int GetHeaderHeight() const { return m_headerShown ? m_headerHeight : 0; }
    int GetTopIndex() const;
    int GetVisibleCount(bool partial) const;
    int GetContentHeight() const;
    int GetTotalWidth(bool recompute = false);
    int GetColumnSum() const { return m_columnSum; }
    bool GetHeaderRect(int position, int* left, int* right) const;
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    // Cell (or whole row for position -1) rectangle for a visible row.
    bool GetCellRect(int row, int position, Rect* out) const;
    // The position under x on the header; *divider tells a resize grip.
    int HitTestHeader(int x, int y, bool* divider) const;
    bool HitTestCell(int x, int y, int* row, int* position) const;
    bool IsItemVisible(int row, int position, bool partial) const;
    // Scrolls a row (and in cell focus mode a column) into view; true when the view moved.
    bool EnsureVisible(int row, int position);

    int GetVPos() const { return m_vPos; }
    int GetHPos() const { return m_hPos; }
    // Positions are kept inside their ranges; answers the position set.
    int SetVPos(int pos);
    int SetHPos(int pos);
    int GetVMax() const;  // largest vertical position (row-aligned)
    int GetHMax() const;
    int GetVPage() const;
    // Range and page of the scroll bars (max 0 when everything fits).
    void GetVScrollRange(int* max, int* page) const;
    void GetHScrollRange(int* max, int* page) const;
    // The position a scroll request leads to; -1 for nothing. *animatable for line and page.
    int VScrollTarget(int code, int trackPos, bool* animatable) const;
    int HScrollTarget(int code, int trackPos) const;
    // The vertical position after a wheel turn; wheelLines < 0 means "one page per notch".
    int WheelTarget(int delta, int wheelLines) const;

private:
    SkinListItem* Cell(int row, int index);
    const SkinListItem* Cell(int row, int index) const;
    void Renumber(int& value, int deleted, bool drop);
    void SortRows(int index, bool ascending);
    void Notify(int code, int row, int position);

    ISkinListHost* m_host = nullptr;
    std::vector<SkinListColumn> m_columns;
    std::vector<SkinListRow> m_rows;
    int m_columnSum = 0;
    int m_imageWidth = 16;
    ListColor m_windowColour, m_textColour;

    int m_sortColumn = -1;
    bool m_ascending = false;
    bool m_sorted = false;  // rows still in the order of the last sort

    std::set<int> m_selection;
    int m_anchor = -1, m_focusRow = -1, m_focusColumn = -1;

    std::string m_search;
    uint32_t m_searchTime = 0;
    bool m_searchStarted = false;

    int m_clientWidth = 0, m_clientHeight = 0;
    int m_rowHeight = 20, m_headerHeight = 20;
    int m_vPos = 0, m_hPos = 0;
};

// The slide of a line or page scroll: frames, step and the remaining distance.
struct SkinListAnimation {
    bool running = false;
    bool down = false;
    int rows = 0;       // rows between the two tops
    int remaining = 0;  // pixels
    int step = 0;
    int frames = 0;
    // Starts a slide between two top rows; false when they are equal.
    bool Start(int fromTop, int toTop, int rowHeight);
    // One tick; false when the slide has ended.
    bool Step();
};
