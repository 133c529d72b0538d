// The skinned list's model without a window: rows and cells, deletes with a selection, sorting
// by each format, selection by click, Shift, Control and rectangle, keys, type-ahead over GBK and
// ASCII cells, geometry and scroll arithmetic, editor input rules and column moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/listmodel.h"

namespace {

struct Note {
    int code, row, column;
    bool operator==(const Note& o) const { return code == o.code && row == o.row && column == o.column; }
};

class CRecordingHost : public ISkinListHost {
public:
    intptr_t Notify(int code, int row, int column) override {
        notes.push_back({code, row, column});
        return 0;
    }
    void OnFocusCellSelected(int row, int column, bool visible) override { lastVisible = visible; }
    int Count(int code) const {
        int n = 0;
        for (const Note& x : notes) n += x.code == code;
        return n;
    }
    std::vector<Note> notes;
    bool lastVisible = false;
};

// A list of `rows` rows with three columns: "row N", N as an integer and "x".
class ListFixture : public ::testing::Test {
protected:
    void Fill(int rows, int columns = 3) {
        for (int c = 0; c < columns; ++c) m.AddColumn("c" + std::to_string(c), 80);
        for (int r = 0; r < rows; ++r) {
            ASSERT_EQ(m.AddItem("row " + std::to_string(r)), r);
            m.SetItemData(r, r);
            if (columns > 1) m.SetItemText(r, 1, std::to_string(r));
        }
        m.SetClientSize(240, 20 + 10 * 20);  // header + 10 rows of 20 pixels
        m.SetHost(&host);
    }
    std::vector<int> Sel() const { return m.GetSelectedItems(); }
    std::vector<std::string> Column(int index) const {
        std::vector<std::string> out;
        for (int r = 0; r < m.GetItemCount(); ++r) out.push_back(m.GetItemText(r, index));
        return out;
    }
    CSkinListModel m;
    CRecordingHost host;
};

TEST(ListFlags, NormalisedInOrder) {
    struct { uint32_t in, out; } cases[] = {
        {0x7, 0x4}, {0x3, 0x2}, {0xC00, 0x400}, {0x70, 0x60}, {0x190, 0x10}, {0x1E00, 0x200}, {0x1, 0x1},
        {0xA0, 0xA0}, {0x2008, 0x2008},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseListFlags(c.in), c.out) << std::hex << c.in;
}

TEST_F(ListFixture, ColumnsCellsAndFallbacks) {
    // Without columns a row has no first cell to hold its text.
    EXPECT_EQ(m.AddItem("lonely"), -1);
    EXPECT_EQ(m.GetItemCount(), 0);

    m.AddColumn("代码", 90, -1, 0, kListFormatInteger, kListAlignRight | kListAlignLeft);
    m.AddColumn("", 200, 3);  // picture only: centred, as wide as the picture + 5
    SkinListColumn c;
    ASSERT_TRUE(m.GetColumn(1, &c));
    EXPECT_EQ(c.width, 16 + 5);
    EXPECT_EQ(c.flags, (uint32_t)kListAlignCenter);
    EXPECT_EQ(m.GetColumnFlags(0), (uint32_t)kListAlignRight);
    m.AddColumn("名称", 90, -1, 1);
    ASSERT_EQ(m.AddItem("600000", -1, 0, 0), 0);
    ASSERT_EQ(m.AddItem("000001", 2, kListFormatCheck, kListReadOnly), 1);
    EXPECT_EQ(m.Row(0)->cells.size(), 3u);
    EXPECT_EQ(m.GetItemFormat(0, 0), kListFormatInteger);  // format 0: the column's
    EXPECT_EQ(m.GetItemFormat(1, 0), kListFormatCheck);
    EXPECT_EQ(m.GetItemFlags(0, 0), (uint32_t)kListAlignRight);
    EXPECT_EQ(m.GetItemFlags(1, 2), (uint32_t)kListReadOnly);
    EXPECT_EQ(m.GetItemImage(1, 0), 2);
    EXPECT_EQ(m.GetItemImage(1, 1), -1);

    // Out of range: readers answer empty, -1 or 0; writers refuse.
    EXPECT_EQ(m.GetItemText(2, 0), "");
    EXPECT_EQ(m.GetItemText(0, 7), "");
    EXPECT_EQ(m.GetItemImage(-1, 0), -1);
    EXPECT_FALSE(m.SetItemText(0, 3, "x"));
    EXPECT_FALSE(m.SetItemText(5, 0, "x"));
    uint32_t data = 1;
    EXPECT_FALSE(m.GetItemData(9, &data));
    EXPECT_EQ(m.GetColumnWidth(9), 0);
    EXPECT_EQ(m.FindColumn(9), -1);

    // A column added after rows exist gives every row a cell to read and write.
    m.AddColumn("late", 50);
    EXPECT_EQ(m.GetItemText(1, 3), "");
    EXPECT_TRUE(m.SetItemText(1, 3, "ok"));
    EXPECT_EQ(m.GetItemText(1, 3), "ok");

    // Fixed columns keep their width; auto-size measures the widest text.
    EXPECT_EQ(m.SetColumnWidth(2, 10), 1);
    EXPECT_EQ(m.GetColumnWidth(2), 90);
    EXPECT_EQ(m.SetColumnWidth(7, 10), 0);
    auto measure = [](const std::string& s, int* w) { *w = 7 * (int)s.size(); return true; };
    EXPECT_EQ(m.AutoSizeColumn(2, measure), 0);
    EXPECT_EQ(m.AutoSizeColumn(0, measure), 1);
    EXPECT_EQ(m.GetColumnWidth(0), 7 * 6 + 20);
    EXPECT_EQ(m.AutoSizeColumn(0, [](const std::string&, int*) { return false; }), 0);
    EXPECT_EQ(m.GetTotalWidth(), 62 + 21 + 90 + 50 - 1);
}

TEST(ListDates, OnlyFourteenDigitsOfAValidDateRead) {
    struct { const char* text; bool ok; } cases[] = {
        {"20240131093005", true}, {"00000000000000", true}, {"2024013109300", false}, {"202401310930055", false},
        {"2024013109300x", false}, {"", false}, {"20241331093005", false}, {"20240131250000", false},
        {"２０２４", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseListDate(c.text, nullptr), c.ok) << c.text;
    SkinListDate d;
    d.year = 2024, d.month = 1, d.day = 31, d.hour = 9, d.minute = 30, d.second = 5;
    EXPECT_EQ(FormatListDate(d), "20240131093005");

    CSkinListModel m;
    m.AddColumn("d", 80, -1, 0, kListFormatDate);
    m.AddItem("2024013109");  // cut short: refused, never read past its end
    SkinListDate out;
    EXPECT_FALSE(m.GetItemDate(0, 0, &out));
    EXPECT_TRUE(m.SetItemDate(0, 0, d));
    ASSERT_TRUE(m.GetItemDate(0, 0, &out));
    EXPECT_EQ(out.day, 31);
    EXPECT_EQ(out.second, 5);
}

// Each case selects by clicks, marks a hot row, deletes one row and checks that every index
// still names the same row.
TEST_F(ListFixture, DeleteKeepsSelectionFocusAnchorAndHotOnTheirRows) {
    struct Click {
        int row;
        unsigned keys;
    };
    struct {
        std::vector<Click> clicks;
        int hot, del;
        std::vector<int> wantSel;
        int wantAnchor, wantFocus, wantHot;
    } cases[] = {
        {{{4, 0}, {5, kListKeyShift}}, 7, 2, {3, 4}, 3, 4, 6},
        {{{1, 0}, {2, kListKeyShift}, {8, kListKeyControl}}, 2, 2, {1, 7}, 7, 7, -1},
        {{{0, 0}}, 0, 0, {}, -1, 0, -1},  // the focus moves to the row that took its place
        {{{9, 0}}, -1, 9, {}, -1, 8, -1},  // the last row: the focus moves up
        {{{3, 0}}, 3, 5, {3}, 3, 3, 3},
        {{{6, 0}, {3, kListKeyShift}}, -1, 6, {3, 4, 5}, -1, 3, -1},
    };
    for (const auto& c : cases) {
        CSkinListModel l;
        l.AddColumn("a", 50);
        for (int r = 0; r < 10; ++r) l.AddItem(std::to_string(r));
        for (const Click& k : c.clicks) l.SelectItem(k.row, 0, k.keys);
        l.m_hotRow = c.hot;
        l.m_hotColumn = c.hot >= 0 ? 0 : -1;
        ASSERT_TRUE(l.DeleteItem(c.del));
        EXPECT_EQ(l.GetSelectedItems(), c.wantSel) << "delete " << c.del;
        EXPECT_EQ(l.GetAnchor(), c.wantAnchor) << "delete " << c.del;
        EXPECT_EQ(l.GetFocusRow(), c.wantFocus) << "delete " << c.del;
        EXPECT_EQ(l.m_hotRow, c.wantHot) << "delete " << c.del;
        EXPECT_EQ(l.GetItemCount(), 9);
    }
}

TEST_F(ListFixture, DeletingTheSelectedRowsDeletesExactlyThose) {
    Fill(10);
    for (int r : {1, 4, 5, 9}) m.SelectItem(r, 0, kListKeyControl);
    // Owners may delete from the highest row down ...
    CSkinListModel copy = m;
    std::vector<int> sel = copy.GetSelectedItems();
    for (auto it = sel.rbegin(); it != sel.rend(); ++it) copy.DeleteItem(*it);
    // ... or keep deleting the first selected row: the renumbered set keeps naming the rest.
    while (m.GetSelectedCount()) m.DeleteItem(*m.GetSelection().begin());
    std::vector<std::string> want = {"row 0", "row 2", "row 3", "row 6", "row 7", "row 8"};
    EXPECT_EQ(Column(0), want);
    for (int r = 0; r < copy.GetItemCount(); ++r) EXPECT_EQ(copy.GetItemText(r, 0), want[r]);
    EXPECT_FALSE(m.DeleteItem(6));
    m.DeleteAllItems();
    EXPECT_EQ(m.GetItemCount(), 0);
    EXPECT_EQ(m.GetFocusRow(), -1);
}

// Sorting by each format both ways; rows move whole (their data word goes with them) and equal
// keys stay together.
TEST(ListSort, EachFormatBothWaysWithTies) {
    struct {
        int format;
        std::vector<std::string> texts, ascending;
    } cases[] = {
        {kListFormatInteger, {"10", "-3", "9", "10", "abc", "+7"}, {"-3", "abc", "+7", "9", "10", "10"}},
        {kListFormatNumber, {"12.5", "3万", "7", "2.5万", "7", "-0.5"}, {"-0.5", "7", "7", "12.5", "2.5万", "3万"}},
        {kListFormatDefault, {"平安银行", "600000", "万科A", "abc", "ABC", "600000"},
         {"600000", "600000", "ABC", "abc", "平安银行", "万科A"}},
        {kListFormatEdit, {"b", "a", "b"}, {"a", "b", "b"}},
    };
    for (const auto& c : cases) {
        for (int mode : {1, 2}) {
            CSkinListModel m;
            m.AddColumn("key", 60, -1, 0, c.format);
            m.AddColumn("other", 60);
            for (size_t i = 0; i < c.texts.size(); ++i) {
                m.AddItem(c.texts[i]);
                m.SetItemData((int)i, (uint32_t)i);
            }
            m.SelectItem(0, 0, 0);
            ASSERT_TRUE(m.SortColumn(0, mode));
            std::vector<std::string> want = c.ascending;
            if (mode == 2) want.assign(c.ascending.rbegin(), c.ascending.rend());
            for (int r = 0; r < m.GetItemCount(); ++r) {
                EXPECT_EQ(m.GetItemText(r, 0), want[r]) << "format " << c.format << " mode " << mode << " row " << r;
                uint32_t d = 0;
                m.GetItemData(r, &d);
                EXPECT_EQ(c.texts[d], m.GetItemText(r, 0));  // the row moved whole
            }
            EXPECT_EQ(m.GetSelectedCount(), 0);  // a sort clears the selection
            EXPECT_EQ(m.IsSortAscending(), mode == 1);
        }
    }
}

TEST(ListSort, HeaderClicksTurnRoundAndResortAfterAppends) {
    CSkinListModel m;
    m.AddColumn("amount", 60, -1, 0, kListFormatNumber);
    m.AddColumn("name", 60);
    for (const char* t : {"12.5", "3万", "7"}) m.AddItem(t);
    for (int r = 0; r < 3; ++r) m.SetItemText(r, 1, std::string(1, char('x' + r)));
    auto col = [&](int index) {
        std::string s;
        for (int r = 0; r < m.GetItemCount(); ++r) s += m.GetItemText(r, index) + ",";
        return s;
    };
    ASSERT_TRUE(m.SortColumn(0, 0));
    EXPECT_EQ(col(0), "7,12.5,3万,");
    ASSERT_TRUE(m.SortColumn(0, 0));  // the same header: turned round
    EXPECT_EQ(col(0), "3万,12.5,7,");
    EXPECT_FALSE(m.IsSortAscending());
    // Rows appended since the last sort: the next click sorts them in, not only turns round.
    m.AddItem("100");
    m.AddItem("1");
    ASSERT_TRUE(m.SortColumn(0, 0));
    EXPECT_EQ(col(0), "1,7,12.5,100,3万,");
    // A changed cell of the sort column does the same.
    m.SetItemText(0, 0, "5万");
    ASSERT_TRUE(m.SortColumn(0, 0));
    EXPECT_EQ(col(0), "5万,3万,100,12.5,7,");
    ASSERT_TRUE(m.SortColumn(1, 0));  // another header: ascending anew
    EXPECT_TRUE(m.IsSortAscending());
    EXPECT_EQ(m.GetSortColumn(), 1);
    // Sorting needs the header and the switch; an unknown position sorts nothing.
    EXPECT_FALSE(m.SortColumn(5, 0));
    m.m_sortAllowed = false;
    EXPECT_FALSE(m.SortColumn(0, 1));
    m.m_sortAllowed = true;
    m.m_headerShown = false;
    EXPECT_FALSE(m.SortColumn(0, 1));
}

// Clicks with and without Shift and Control, in both selection modes: the set, anchor, focus
// and the -1501 notifications after each step.
TEST_F(ListFixture, SelectionByClickShiftAndControl) {
    Fill(10);
    struct Step {
        int row;
        unsigned keys;
        std::vector<int> sel;
        int anchor, focus, notes;
    };
    std::vector<Step> multi = {
        {3, kListKeyShift, {3}, 3, 3, 1},  // Shift with no anchor: only that row
        {6, kListKeyShift, {3, 4, 5, 6}, 3, 6, 1},
        {1, kListKeyShift, {1, 2, 3}, 3, 1, 1},
        {5, kListKeyControl, {1, 2, 3, 5}, 5, 5, 1},
        {2, kListKeyControl, {1, 3, 5}, 2, 2, 0},  // removed by Control: no notification
        {8, kListKeyShift | kListKeyControl, {2, 3, 4, 5, 6, 7, 8}, 2, 8, 1},
        {4, 0, {4}, 4, 4, 1},
        {4, 0, {4}, 4, 4, 0},  // the same single row again: nothing to tell
    };
    for (const Step& s : multi) {
        host.notes.clear();
        ASSERT_TRUE(m.SelectItem(s.row, 1, s.keys));
        EXPECT_EQ(Sel(), s.sel) << "row " << s.row << " keys " << s.keys;
        EXPECT_EQ(m.GetAnchor(), s.anchor) << "row " << s.row;
        EXPECT_EQ(m.GetFocusRow(), s.focus) << "row " << s.row;
        EXPECT_EQ(host.Count(kListNotifySelChanged), s.notes) << "row " << s.row;
    }
    EXPECT_FALSE(m.SelectItem(10, 0, 0));
    EXPECT_FALSE(m.SelectItem(-1, 0, 0));

    m.ClearSelection();
    m.m_singleSelection = true;
    std::vector<Step> single = {
        {2, 0, {2}, 2, 2, 1},
        {5, kListKeyShift, {5}, 5, 5, 1},
        {7, kListKeyControl, {7}, 7, 7, 1},
        {7, kListKeyControl, {7}, 7, 7, 1},  // Control cannot empty a single selection
    };
    for (const Step& s : single) {
        host.notes.clear();
        m.SelectItem(s.row, 0, s.keys);
        EXPECT_EQ(Sel(), s.sel) << "single row " << s.row;
        EXPECT_EQ(host.Count(kListNotifySelChanged), s.notes) << "single row " << s.row;
    }
}

TEST_F(ListFixture, FocusItemFallsBackToTheSmallestSelectedRow) {
    Fill(10);
    int row = 0, col = 0;
    EXPECT_FALSE(m.GetFocusItem(&row, &col));
    EXPECT_EQ(row, -1);
    m.SelectItem(4, 1, kListKeyControl);
    m.SelectItem(2, 1, kListKeyControl);
    m.SelectItem(7, 1, kListKeyControl);
    m.SelectItem(7, 1, kListKeyControl);  // focus on 7, which is no longer selected
    ASSERT_TRUE(m.GetFocusItem(&row, &col));
    EXPECT_EQ(row, 2);
    EXPECT_EQ(col, -1);  // a column only in cell focus mode
    m.m_cellFocusMode = true;
    m.SelectItem(3, 2, 0);
    ASSERT_TRUE(m.GetFocusItem(&row, &col));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(col, 2);
}

TEST_F(ListFixture, RectangleSelectsTheRowsItCovers) {
    Fill(30);
    // Content coordinates: row r spans 20 + 20r .. 40 + 20r.
    m.SelectBand(30, 45, 10, 105);  // normalised; rows 1 to 4
    EXPECT_EQ(Sel(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(m.GetAnchor(), 1);
    EXPECT_EQ(m.GetFocusRow(), 4);
    m.SelectBand(0, 0, 5, 30);  // from the header into row 0
    EXPECT_EQ(Sel(), (std::vector<int>{0}));
    m.SelectBand(0, 700, 5, 900);  // below the last row
    EXPECT_TRUE(Sel().empty());
    EXPECT_EQ(m.GetAnchor(), -1);
    m.SelectBand(239, 45, 300, 105);  // right of the columns (their sum is 240)
    EXPECT_TRUE(Sel().empty());
    m.SetVPos(200);  // scrolled: content coordinates do not change
    m.SelectBand(10, 45, 20, 65);
    EXPECT_EQ(Sel(), (std::vector<int>{1, 2}));
}

TEST_F(ListFixture, KeysMoveFocusAndSelection) {
    Fill(50);
    // 10 whole rows fit.
    m.SelectItem(2, 0, 0);
    host.notes.clear();
    EXPECT_EQ(m.OnKeyDown(kListVkPrior, false, false, 0), CSkinListModel::kKeyHandled);
    EXPECT_EQ(Sel(), (std::vector<int>{0}));
    m.OnKeyDown(kListVkNext, false, false, 0);
    EXPECT_EQ(Sel(), (std::vector<int>{9}));
    EXPECT_EQ(m.GetTopIndex(), 0);
    m.OnKeyDown(kListVkNext, false, false, 0);
    EXPECT_EQ(Sel(), (std::vector<int>{18}));
    EXPECT_EQ(m.GetTopIndex(), 9);  // scrolled so that the row shows
    m.OnKeyDown(kListVkEnd, false, false, 0);
    EXPECT_EQ(Sel(), (std::vector<int>{49}));
    m.OnKeyDown(kListVkNext, false, false, 0);  // Page Down on the last row stays there
    EXPECT_EQ(Sel(), (std::vector<int>{49}));
    EXPECT_EQ(m.GetVPos(), m.GetVMax());

    m.OnKeyDown(kListVkHome, false, false, 0);
    m.OnKeyDown(kListVkDown, false, false, 0);
    host.notes.clear();
    m.OnKeyDown(kListVkDown, false, true, 0);  // Shift extends from the anchor, one notification
    EXPECT_EQ(Sel(), (std::vector<int>{1, 2}));
    EXPECT_EQ(host.Count(kListNotifySelChanged), 1);
    host.notes.clear();
    m.OnKeyDown(kListVkDown, true, false, 0);  // Control moves only the focus
    EXPECT_EQ(Sel(), (std::vector<int>{1, 2}));
    EXPECT_EQ(m.GetFocusRow(), 3);
    EXPECT_TRUE(host.notes.empty());
    m.OnKeyDown('A', true, false, 0);  // Control+A: everything, without a notification
    EXPECT_EQ(m.GetSelectedCount(), 50);
    EXPECT_TRUE(host.notes.empty());
    m.m_singleSelection = true;
    EXPECT_EQ(m.OnKeyDown('A', true, false, 0), CSkinListModel::kKeyIgnored);

    // Without cell focus, Left and Right scroll by 5 pixels (50 with Control), inside the range.
    m.SetClientSize(100, 220);
    m.OnKeyDown(kListVkRight, true, false, 0);
    EXPECT_EQ(m.GetHPos(), 50);
    m.OnKeyDown(kListVkRight, true, false, 0);
    m.OnKeyDown(kListVkRight, true, false, 0);
    EXPECT_EQ(m.GetHPos(), 240 - 100);
    m.OnKeyDown(kListVkLeft, false, false, 0);
    EXPECT_EQ(m.GetHPos(), 135);

    CSkinListModel empty;
    EXPECT_EQ(empty.OnKeyDown(kListVkDown, false, false, 0), CSkinListModel::kKeyIgnored);
}

TEST_F(ListFixture, CellFocusTabAndArrowsAndSpace) {
    Fill(5, 4);
    m.SetItemFormat(0, 2, kListFormatCheck, 0);
    m.SetItemFormat(0, 3, kListFormatTriState, 0);
    m.SetItemFormat(1, 2, kListFormatCheck, kListReadOnly);
    m.m_cellFocusMode = true;
    m.SelectItem(0, 1, 0);
    m.OnKeyDown(kListVkTab, false, false, 0);
    EXPECT_EQ(m.GetFocusColumn(), 2);
    host.notes.clear();
    EXPECT_EQ(m.OnKeyDown(kListVkSpace, false, false, 0), CSkinListModel::kKeyToggled);
    EXPECT_EQ(m.GetItemText(0, 2), "1");
    EXPECT_EQ(host.notes, (std::vector<Note>{{kListNotifyValueChanged, 0, 2}}));
    m.OnKeyDown(kListVkRight, false, false, 0);
    std::vector<std::string> cycle;
    for (int i = 0; i < 3; ++i) {
        m.OnKeyDown(kListVkSpace, false, false, 0);
        cycle.push_back(m.GetItemText(0, 3));
    }
    EXPECT_EQ(cycle, (std::vector<std::string>{"1", "-1", "0"}));
    m.OnKeyDown(kListVkRight, false, false, 0);  // at most the last column
    EXPECT_EQ(m.GetFocusColumn(), 3);
    m.OnKeyDown(kListVkDown, false, false, 0);
    m.OnKeyDown(kListVkTab, false, true, 0);  // Shift+Tab: back one column
    EXPECT_EQ(m.GetFocusColumn(), 2);
    EXPECT_EQ(m.OnKeyDown(kListVkSpace, false, false, 0), CSkinListModel::kKeyIgnored);  // read-only
    EXPECT_EQ(m.GetItemText(1, 2), "");
    EXPECT_EQ(NextListCheckText(kListFormatTriState, "abc"), "1");  // reads as 0
    EXPECT_EQ(NextListCheckText(kListFormatCheck, "7"), "0");
}

TEST(ListText, PrefixFoldsCaseOnlyOnWholeSingleByteCharacters) {
    struct { const char* text; const char* prefix; bool match; } cases[] = {
        {"ABC123", "ab", true},
        {"abc", "ABC", true},
        {"ab", "abc", false},
        {"万科A", "万科a", true},  // the letter after two GBK characters folds
        // GBK characters whose trail bytes are 'a' and 'A' are different characters.
        {"\x81\x61", "\x81\x41", false},
        {"\x81\x41\x42", "\x81\x41", true},
        // A lead byte never lines up with a letter.
        {"\xB0\x41", "A", false},
        {"A\xB0\x41", "a\xB0\x61", false},
    };
    for (const auto& c : cases) EXPECT_EQ(GbkStartsWithNoCase(c.text, c.prefix), c.match) << c.prefix;
}

TEST_F(ListFixture, TypeAheadOverGbkAndAsciiCells) {
    m.AddColumn("name", 100);
    m.AddColumn("code", 100);
    const char* names[] = {"万科A", "ABC", "平安", "Abd", "\x81\x41z", "abe", "ACE", "bank"};
    for (int r = 0; r < 8; ++r) {
        m.AddItem(names[r]);
        m.SetItemText(r, 1, std::to_string(7 - r));
    }
    m.SetClientSize(200, 100);
    m.SetHost(&host);
    EXPECT_EQ(m.TypeAhead('A', 1000), 1);
    EXPECT_EQ(m.TypeAhead('B', 1300), -1);  // "AB": the focus row already begins with it
    EXPECT_EQ(m.GetFocusRow(), 1);
    EXPECT_EQ(m.TypeAhead('D', 1500), 3);  // "ABD"
    EXPECT_EQ(m.GetSearchText(), "ABD");
    EXPECT_EQ(m.TypeAhead('A', 3000), 5);  // a pause, the same first letter: the next "A" row
    EXPECT_EQ(m.TypeAhead('A', 3100), 6);  // A again quickly: steps on
    EXPECT_EQ(m.TypeAhead('A', 3200), 1);  // and wraps round
    EXPECT_EQ(m.TypeAhead('B', 5000), 7);  // a pause and another letter: from the top
    EXPECT_EQ(m.GetSelectedItems(), (std::vector<int>{7}));
    EXPECT_EQ(m.TypeAhead('Z', 7000), -1);
    // Through the keyboard, on the sort column.
    m.SortColumn(1, 1);  // codes 0..7: rows reversed
    EXPECT_EQ(m.OnKeyDown('B', false, false, 9000), CSkinListModel::kKeyHandled);
    EXPECT_EQ(m.GetFocusRow(), -1);  // no code begins with a letter
    m.SortColumn(0, 1);
    m.OnKeyDown('P', false, false, 12000);
    EXPECT_EQ(m.GetFocusRow(), -1);  // "平安" begins with no letter
    m.OnKeyDown('B', false, false, 14000);
    EXPECT_EQ(m.GetItemText(m.GetFocusRow(), 0), "bank");
}

TEST_F(ListFixture, HitTestsAndCellRectangles) {
    m.AddColumn("a", 50);
    m.AddColumn("b", 0);
    m.AddColumn("c", 0);
    m.AddColumn("d", 60);
    for (int r = 0; r < 30; ++r) m.AddItem(std::to_string(r));
    m.SetClientSize(300, 120);  // header 20, five rows
    bool divider = false;
    EXPECT_EQ(m.HitTestHeader(20, 5, &divider), 0);
    EXPECT_FALSE(divider);
    EXPECT_EQ(m.HitTestHeader(46, 5, &divider), 0);  // within 5 left of the edge
    EXPECT_TRUE(divider);
    // Right of the edge with squeezed columns behind it: the last of them reopens.
    EXPECT_EQ(m.HitTestHeader(52, 5, &divider), 2);
    EXPECT_TRUE(divider);
    EXPECT_EQ(m.HitTestHeader(80, 5, &divider), 3);
    EXPECT_FALSE(divider);
    EXPECT_EQ(m.HitTestHeader(80, 25, &divider), -1);  // below the header
    EXPECT_EQ(m.HitTestHeader(200, 5, &divider), -1);

    int row = -1, pos = -1;
    ASSERT_TRUE(m.HitTestCell(10, 45, &row, &pos));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(m.HitTestCell(50, 45, &row, &pos));  // on the edge between columns
    EXPECT_FALSE(m.HitTestCell(10, 10, &row, &pos));  // on the header
    m.SetVPos(25 * 20);  // the end: rows 25 to 29
    EXPECT_EQ(m.GetVPos(), 25 * 20);
    ASSERT_TRUE(m.HitTestCell(70, 119, &row, &pos));
    EXPECT_EQ(row, 29);
    EXPECT_EQ(pos, 3);
    CSkinListModel::Rect r;
    ASSERT_TRUE(m.GetCellRect(26, 3, &r));
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right, 110);
    EXPECT_FALSE(m.GetCellRect(24, 0, &r));

    m.m_headerShown = false;  // rows start at the top
    m.SetVPos(0);
    ASSERT_TRUE(m.HitTestCell(10, 5, &row, &pos));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(m.HitTestHeader(10, 5, &divider), -1);
}

TEST_F(ListFixture, EnsureVisibleScrollsRowsAndColumns) {
    for (int c = 0; c < 5; ++c) m.AddColumn("c", 100);
    for (int r = 0; r < 100; ++r) m.AddItem(std::to_string(r));
    m.SetClientSize(250, 20 + 10 * 20 + 7);  // 10 whole rows and a part
    EXPECT_TRUE(m.EnsureVisible(40, -1));
    EXPECT_EQ(m.GetTopIndex(), 31);  // at the bottom line
    EXPECT_TRUE(m.EnsureVisible(3, -1));
    EXPECT_EQ(m.GetTopIndex(), 3);  // at the top
    EXPECT_FALSE(m.EnsureVisible(5, 4));  // columns count only in cell focus mode
    m.m_cellFocusMode = true;
    EXPECT_TRUE(m.EnsureVisible(5, 2));  // 200..300 fits: its right edge comes into view
    EXPECT_EQ(m.GetHPos(), 50);
    EXPECT_TRUE(m.EnsureVisible(5, 0));  // left of the view: its left edge at the view's left
    EXPECT_EQ(m.GetHPos(), 0);
    EXPECT_TRUE(m.SetFocusItem(99, 4));
    EXPECT_EQ(m.GetHPos(), 250);
    EXPECT_EQ(m.GetVPos(), m.GetVMax());
    EXPECT_TRUE(m.IsItemVisible(99, 4, false));
}

TEST_F(ListFixture, ScrollTargetsAndRanges) {
    for (int c = 0; c < 6; ++c) m.AddColumn("c", 100);  // 600 wide
    for (int r = 0; r < 40; ++r) m.AddItem(std::to_string(r));
    m.SetClientSize(250, 20 + 10 * 20 + 5);
    int max = 0, page = 0;
    m.GetVScrollRange(&max, &page);
    EXPECT_EQ(page, 205);
    EXPECT_EQ(m.GetVMax(), 600);  // 800 - 205, rounded up to whole rows: the last row shows whole
    EXPECT_EQ(max - page + 1, m.GetVMax());
    m.GetHScrollRange(&max, &page);
    EXPECT_EQ(max, 599);
    EXPECT_EQ(page, 250);

    bool anim = false;
    EXPECT_EQ(m.VScrollTarget(kListSbLineDown, 0, &anim), 20);
    EXPECT_TRUE(anim);
    EXPECT_EQ(m.VScrollTarget(kListSbLineUp, 0, &anim), 0);
    EXPECT_EQ(m.VScrollTarget(kListSbThumbTrack, 0, &anim), -1);  // already there
    EXPECT_EQ(m.VScrollTarget(kListSbThumbTrack, 333, &anim), 333);
    EXPECT_FALSE(anim);
    EXPECT_EQ(m.SetVPos(333), 320);  // whole rows
    EXPECT_EQ(m.SetVPos(m.VScrollTarget(kListSbBottom, 0, &anim)), 600);
    EXPECT_EQ(m.VScrollTarget(kListSbEndScroll, 0, &anim), -1);

    // The right end shows the last column's right edge at the view's right.
    EXPECT_EQ(m.SetHPos(m.HScrollTarget(7, 0)), 350);
    EXPECT_EQ(m.HScrollTarget(kListSbLineUp, 0), 345);
    m.SetHPos(4);
    EXPECT_EQ(m.HScrollTarget(kListSbLineUp, 0), 0);
    EXPECT_EQ(m.HScrollTarget(kListSbPageUp, 0), 0);

    m.SetVPos(0);
    EXPECT_EQ(m.WheelTarget(120, 3), 0);  // a notch up at the top stays there
    EXPECT_EQ(m.WheelTarget(-120, 3), 60);
    EXPECT_EQ(m.WheelTarget(-240, -1), 410);  // page mode: one page a notch, downwards
    m.SetVPos(400);
    EXPECT_EQ(m.WheelTarget(120, -1), 195);  // and upwards
}

TEST(ListAnimation, FramesAndSteps) {
    SkinListAnimation a;
    EXPECT_FALSE(a.Start(3, 3, 20));
    ASSERT_TRUE(a.Start(0, 5, 20));  // 100 pixels, 5 frames, steps of 19
    EXPECT_TRUE(a.down);
    EXPECT_EQ(a.frames, 5);
    EXPECT_EQ(a.step, 19);
    std::vector<int> seen;
    while (a.Step()) seen.push_back(a.remaining);
    EXPECT_EQ(seen, (std::vector<int>{81, 62, 43, 24, 5, 4, 3, 2, 1, 0}));
    ASSERT_TRUE(a.Start(20, 0, 20));
    EXPECT_FALSE(a.down);
    EXPECT_EQ(a.frames, 8);
}

TEST(ListEditor, NumericFilter) {
    const uint32_t integer = kListEditInteger, decimal = kListEditDecimal, cmp = kListEditCompare | kListEditInteger;
    struct { const char* before; char c; const char* after; uint32_t flags; bool ok; } cases[] = {
        {"12", '3', "", integer, true},
        {"12", '.', "", integer, false},
        {"1.2", '.', "", decimal, false},
        {"12", '.', "", decimal, true},
        {"12", 'a', "", decimal, false},
        {"12", '-', "", integer, false},  // unsigned fields take no minus
        {"-1", '2', "", integer | kListEditSigned, true},
        {"<", '=', "10", cmp, true},
        {">=", '5', "", cmp, true},
        {"<", '5', "", cmp, true},
        {"=", '<', "10", cmp, false},
        {"10", '>', "", cmp, false},
        {"=", '>', "5", cmp, false},
        {"5", '>', "", cmp, false},
        {"<<", '5', "", cmp, false},
        {"1", '<', "", integer, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListEditAcceptsChar(c.before, c.after, c.c, c.flags), c.ok)
            << c.before << c.c << c.after << " flags " << std::hex << c.flags;
    int moved = 0;
    EXPECT_EQ(ListEditToggleSign("12", &moved), "-12");
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(ListEditToggleSign("-12", &moved), "12");
    EXPECT_EQ(moved, -1);
    EXPECT_EQ(ListEditToggleSign("12.5", &moved), "-12.5");  // the typed decimals stay as typed
    EXPECT_EQ(ListEditToggleSign(">=7", &moved), ">=-7");
}

TEST_F(ListFixture, EndOfEdit) {
    Fill(3);
    bool next = true;
    host.notes.clear();
    EXPECT_FALSE(m.EndEdit(1, 2, 27, "new", nullptr, &next));  // Escape: nothing changes
    EXPECT_EQ(m.GetItemText(1, 2), "");
    EXPECT_TRUE(host.notes.empty());
    EXPECT_TRUE(m.EndEdit(1, 2, 0, "new", nullptr, &next));  // focus lost: written
    EXPECT_EQ(m.GetItemText(1, 2), "new");
    EXPECT_FALSE(next);
    EXPECT_EQ(host.notes, (std::vector<Note>{{kListNotifyValueChanged, 1, 2}}));
    EXPECT_TRUE(m.EndEdit(1, 2, 9, "tab", nullptr, &next));
    EXPECT_TRUE(next);
    SkinListDate d;
    d.year = 2023, d.month = 5, d.day = 6;
    EXPECT_TRUE(m.EndEdit(0, 2, 13, "1", &d, &next));
    EXPECT_EQ(m.GetItemText(0, 2), "20230506000000");
    EXPECT_TRUE(m.EndEdit(0, 2, 13, "0", &d, &next));  // the date left empty
    EXPECT_EQ(m.GetItemText(0, 2), "");
    EXPECT_FALSE(m.EndEdit(7, 2, 13, "x", nullptr, &next));
}

TEST_F(ListFixture, ColumnDropSlotsAndMoves) {
    Fill(2, 4);  // four columns of 80
    m.SetItemText(0, 2, "two");
    struct { int x, dragged, slot; } cases[] = {
        {10, 0, -1}, {70, 0, -1},  // on itself, either half
        {90, 0, -1},               // left half of the next column: its own right edge
        {130, 0, 2}, {200, 0, 3}, {10, 2, 0}, {70, 3, 1}, {250, 3, -1}, {400, 0, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(m.DropSlotAt(c.x, 5, c.dragged), c.slot) << c.x << " " << c.dragged;
    EXPECT_EQ(m.DropSlotAt(200, 30, 0), -1);  // below the header
    m.m_cellFocusMode = true;
    m.SelectItem(0, 2, 0);
    // Column 0 dropped in the right half of column 2 lands behind it.
    ASSERT_TRUE(m.MoveColumn(0, m.DropSlotAt(200, 5, 0)));
    std::vector<int> order;
    for (int p = 0; p < 4; ++p) order.push_back(m.GetColumnIndex(p));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 3}));
    EXPECT_EQ(m.GetItemText(0, 2), "two");  // cells stay addressed by insertion index
    EXPECT_EQ(m.GetFocusColumn(), 1);       // the focus followed its column
    EXPECT_FALSE(m.MoveColumn(1, 1));
    EXPECT_FALSE(m.MoveColumn(1, 2));
    EXPECT_FALSE(m.MoveColumn(4, 0));
}

}  // namespace
