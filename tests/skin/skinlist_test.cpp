// The skinned list as a window: colours at probe points of what it paints, scrolling by keys,
// wheel and bar, one paint for thousands of appended rows, the title tip of a cut cell, the
// notifications its parent receives, columns moved through the drop-target objects, and the
// in-place editors ended by Enter, Escape and Tab.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "skin/skinlist.h"
#include "skin/skinmanager.h"
#include "wait.h"

namespace {

const COLORREF kArrowGrey = RGB(90, 98, 110);  // the generator's sort arrows
const COLORREF kUp = RGB(226, 72, 64);         // three-state above 0
const COLORREF kDown = RGB(44, 170, 96);       // three-state below 0
const COLORREF kBoxInside = RGB(250, 250, 252);

::testing::AssertionResult Near(COLORREF got, COLORREF want, int tol = 3) {
    int d = std::max(std::abs((int)GetRValue(got) - (int)GetRValue(want)),
                     std::max(std::abs((int)GetGValue(got) - (int)GetGValue(want)),
                              std::abs((int)GetBValue(got) - (int)GetBValue(want))));
    if (d <= tol) return ::testing::AssertionSuccess();
    char msg[96];
    snprintf(msg, sizeof(msg), "got %d,%d,%d want %d,%d,%d", GetRValue(got), GetGValue(got), GetBValue(got),
             GetRValue(want), GetGValue(want), GetBValue(want));
    return ::testing::AssertionFailure() << msg;
}

// The list's client area printed into a 32-bit memory picture.
class CPrint {
public:
    explicit CPrint(HWND wnd) {
        CRect r;
        ::GetClientRect(wnd, &r);
        w = r.Width();
        h = r.Height();
        dc.CreateCompatibleDC(nullptr);
        bmp.CreateDIB32(w, h);
        old = dc.SelectBitmap(bmp);
        ::SendMessageA(wnd, WM_PRINTCLIENT, (WPARAM)dc.m_hDC, PRF_CLIENT);
    }
    ~CPrint() { dc.SelectBitmap(old); }
    COLORREF At(int x, int y) const { return dc.GetPixel(x, y) & 0xFFFFFF; }
    // Pixels in the rectangle that differ from a colour.
    int Ink(const RECT& r, COLORREF background) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) != background;
        return n;
    }
    int w, h;
    CDC dc;
    CBitmap bmp;
    HBITMAP old;
};

struct Note {
    int code, row, column;
    bool operator==(const Note& o) const { return code == o.code && row == o.row && column == o.column; }
};
std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << "{" << n.code << ", " << n.row << ", " << n.column << "}";
}

class CRecordingParent : public CWindowImpl<CRecordingParent, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraListTestParent")
    BEGIN_MSG_MAP(CRecordingParent)
        MSG_WM_NOTIFY(OnNotify)
    END_MSG_MAP()
    LRESULT OnNotify(LPNMHDR hdr) {
        const SkinListNotify* n = (const SkinListNotify*)hdr;
        int code = (int)n->hdr.code;
        if (code < kListNotifyLinkClick || code > kListNotifySelChanged) {
            SetMsgHandled(FALSE);
            return 0;
        }
        notes.push_back({code, n->row, n->column});
        return 0;
    }
    std::vector<Note> notes;
};

void Pump(DWORD ms = 0) {
    DWORD end = ::GetTickCount() + ms;
    do {
        MSG m;
        while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageA(&m);
        }
        if (ms) ::Sleep(5);  // pumping for ms
    } while (ms && (int)(end - ::GetTickCount()) > 0);
}

LPARAM Pt(int x, int y) { return MAKELPARAM(x, y); }

class SkinListWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ::OleInitialize(nullptr);
        DestroySkinManager();
        LoadSkin();
        ASSERT_NE(parent.Create(nullptr, CRect(40, 40, 560, 400), "list", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
        ASSERT_NE(list.Create(parent, CRect(0, 0, 480, 320), nullptr, 0, 0, 5001), nullptr);
        list.SetAnimatedScroll(false);
        rh = list.Model().GetRowHeight();
        ASSERT_GT(rh, 8);
    }
    void TearDown() override {
        if (parent.IsWindow()) parent.DestroyWindow();
        Pump();
        ::OleUninitialize();
    }
    // Columns 代码, 名称, 涨幅, 选 and 进度; rows with a code, a Chinese name and a change.
    void Fill(int rows) {
        list.AddColumn("代码", 80);
        list.AddColumn("名称", 100);
        list.AddColumn("涨幅", 80, -1, 0, kListFormatNumber, kListAlignRight);
        list.AddColumn("选", 40, -1, 0, kListFormatTriState);
        list.AddColumn("进度", 100, -1, 0, kListFormatProgress, kListProgressPlain);
        const char* names[] = {"浦发银行", "平安银行", "万科A", "中国平安", "贵州茅台", "招商银行"};
        for (int r = 0; r < rows; ++r) {
            char code[16];
            snprintf(code, sizeof code, "%06d", 600000 + r);
            ASSERT_EQ(list.AddItem(code), r);
            list.SetItemText(r, 1, names[r % 6]);
            list.SetItemText(r, 2, std::to_string((r * 37) % 19 - 9).c_str());
            list.SetItemText(r, 3, "0");
            list.SetItemText(r, 4, "50");
        }
        Pump();
    }
    int Hh() const { return list.Model().GetHeaderHeight(); }
    int RowY(int row) const { return Hh() + (row - list.Model().GetTopIndex()) * rh + rh / 2; }
    CRect Cell(int row, int pos) {
        CRect r;
        EXPECT_TRUE(list.GetCellRect(row, pos, &r)) << row << "," << pos;
        return r;
    }
    int VBarPos() const {
        SCROLLINFO si = {sizeof(si), SIF_POS, 0, 0, 0, 0, 0};
        ::GetScrollInfo(list.m_hWnd, SB_VERT, &si);
        return si.nPos;
    }
    void Click(int x, int y, WPARAM keys = 0) {
        list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | keys, Pt(x, y));
        list.SendMessage(WM_LBUTTONUP, keys, Pt(x, y));
    }
    void Focus() {
        ::SetForegroundWindow(parent);
        list.SetFocus();
        Pump();
        ASSERT_EQ(::GetFocus(), list.m_hWnd);
    }
    CRecordingParent parent;
    CSkinListCtrlData list;
    int rh = 0;
};

TEST_F(SkinListWindow, PaintsHeaderRowsCellsAndSortArrowAtProbePoints) {
    Fill(30);
    list.SetUseStyles(false);  // the flat look has exact colours
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE), window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    list.SetItemColours(1, 0, RGB(200, 30, 30), 0);
    list.SetItemColours(2, 1, RGB(30, 30, 200), 0);
    list.SetItemText(0, 3, "-1");
    list.SetItemText(1, 3, "abc");
    list.SetItemText(2, 3, "1");
    list.SetItemText(0, 4, "150");
    list.SetItemText(1, 4, "-5");
    list.SetItemFormat(5, 1, kListFormatRowEnd, 0);
    list.SelectItem(4, 0, 0);
    int hh = Hh();
    {
        CPrint p(list);
        EXPECT_TRUE(Near(p.At(150, 2), face));
        // The cell grid: each coloured cell fills its own span only.
        EXPECT_TRUE(Near(p.At(76, RowY(1)), RGB(200, 30, 30)));
        EXPECT_TRUE(Near(p.At(84, RowY(1)), window));
        EXPECT_TRUE(Near(p.At(176, RowY(2)), RGB(30, 30, 200)));
        EXPECT_TRUE(Near(p.At(76, RowY(2)), window));
        // The selected row in the highlight colour, the next one not.
        EXPECT_TRUE(Near(p.At(176, RowY(4)), highlight));
        EXPECT_TRUE(Near(p.At(176, RowY(6)), window));
        // Three-state pictures centred in their cells: -1, "abc" (read as 0) and 1.
        for (auto c : {std::make_pair(0, kDown), std::make_pair(1, kBoxInside), std::make_pair(2, kUp)}) {
            CRect cell = Cell(c.first, 3);
            int tl = cell.left + 7, tw = cell.right - 4 - tl;
            int x = tl + (tw - 16) / 2 - 1 + 8, y = cell.top + (cell.Height() - 16) / 2 + 8;
            EXPECT_TRUE(Near(p.At(x, y), c.second)) << "row " << c.first;
        }
        // Progress: 150 fills the whole bar, -5 none of it.
        CRect full = Cell(0, 4), empty = Cell(1, 4);
        EXPECT_FALSE(Near(p.At(full.right - 8, full.top + rh / 2), window, 20));
        EXPECT_TRUE(Near(p.At(empty.left + 8, empty.top + rh / 2), window));
        // Row end in the second column: that row's later cells stay empty, the next row's not.
        CRect cut = Cell(5, 2), kept = Cell(6, 2);
        EXPECT_EQ(p.Ink(CRect(cut.left, cut.top, cut.right, cut.bottom), window), 0);
        EXPECT_EQ(p.Ink(CRect(Cell(5, 1).left + 2, cut.top + 1, Cell(5, 1).right - 2, cut.bottom - 1), window), 0);
        EXPECT_GT(p.Ink(CRect(kept.left, kept.top, kept.right, kept.bottom), window), 5);
        // Chinese names draw (DEFAULT_CHARSET): plenty of ink.
        CRect name = Cell(3, 1);
        EXPECT_GT(p.Ink(name, window), 40);
        // No sort arrow yet.
        EXPECT_TRUE(Near(p.At(172, hh / 2 - 3 + 3), face));
    }
    ASSERT_TRUE(list.SortColumn(1, 1));
    {
        CPrint p(list);
        EXPECT_TRUE(Near(p.At(172, hh / 2 - 3 + 3), kArrowGrey));  // ascending: up arrow
        EXPECT_FALSE(Near(p.At(176, RowY(4)), highlight));       // a sort clears the selection
    }
    ASSERT_TRUE(list.SortColumn(1, 0));
    {
        CPrint p(list);
        EXPECT_TRUE(Near(p.At(172, hh / 2 - 3 + 1), kArrowGrey));  // descending
        EXPECT_TRUE(Near(p.At(164 + 3 + 1, hh / 2 - 3 + 5), face));
    }
    // Without the header the rows start at the top.
    list.SetShowHeader(false);
    list.SetItemColours(0, 0, RGB(200, 30, 30), 0);
    {
        CPrint p(list);
        EXPECT_EQ(list.Model().GetHeaderHeight(), 0);
        EXPECT_TRUE(Near(p.At(76, 1), RGB(200, 30, 30)));
        EXPECT_TRUE(Near(p.At(76, rh / 2), RGB(200, 30, 30)));
    }
    // The styled look under visual styles: the header is not flat and a selected row takes
    // the light selection gradient.
    list.SetShowHeader(true);
    list.SetUseStyles(true);
    if (list.IsStyled()) {
        list.SelectItem(0, 0, 0);
        CPrint p(list);
        COLORREF c = p.At(176, RowY(0));
        EXPECT_TRUE(Near(c, 0xFAE3C5, 25) || Near(c, 0xF2F2F2, 12));
    }
}

TEST_F(SkinListWindow, ScrollsByKeysWheelAndBar) {
    Fill(100);
    const CSkinListModel& m = list.Model();
    int visible = m.GetVisibleCount(false);
    list.SendMessage(WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(m.GetFocusRow(), 99);
    EXPECT_EQ(m.GetTopIndex(), 100 - visible);
    EXPECT_EQ(VBarPos(), m.GetVPos());
    list.SendMessage(WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(m.GetVPos(), 0);
    for (int i = 0; i < visible; ++i) list.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(m.GetTopIndex(), 1);  // the focus row just came into view at the bottom
    list.SendMessage(WM_KEYDOWN, VK_HOME, 0);

    UINT lines = 3;
    ::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), Pt(10, 10));
    EXPECT_EQ(m.GetVPos(), (lines == WHEEL_PAGESCROLL ? visible : (int)lines) * rh);
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), Pt(10, 10));
    EXPECT_EQ(m.GetVPos(), 0);  // up at the top stays there

    list.SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(m.GetVPos(), rh);
    list.SendMessage(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(m.GetTopIndex(), 1 + (m.GetVPage() / rh));
    list.SendMessage(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(m.GetVPos(), m.GetVMax());
    EXPECT_EQ(VBarPos(), m.GetVMax());
    {
        CPrint p(list);  // the last row shows whole at the bottom
        int bottom = Hh() + (99 - m.GetTopIndex() + 1) * rh;
        EXPECT_LE(bottom, p.h);
    }
    list.SendMessage(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(m.GetVPos(), 0);
    // Set directly: the position is limited to the range and the bar follows.
    list.UpdateScrollInfo(CSkinListImpl::kScrollVertical, 1 << 20);
    EXPECT_EQ(m.GetVPos(), m.GetVMax());
    EXPECT_EQ(VBarPos(), m.GetVMax());
    list.UpdateScrollInfo(CSkinListImpl::kScrollBoth, 0);
    EXPECT_EQ(VBarPos(), 0);

    // Horizontally: the right end shows the last column's edge at the view's right.
    list.SetColumnWidth(1, 400);
    list.SendMessage(WM_HSCROLL, SB_RIGHT, 0);
    EXPECT_EQ(m.GetHPos(), m.GetColumnSum() - m.GetClientWidth());
    list.SendMessage(WM_HSCROLL, SB_LINELEFT, 0);
    EXPECT_EQ(m.GetHPos(), m.GetColumnSum() - m.GetClientWidth() - 5);
    list.SendMessage(WM_HSCROLL, SB_LEFT, 0);
    EXPECT_EQ(m.GetHPos(), 0);

    // A line step slides when animation is on, and ends where the jump would have.
    list.SetAnimatedScroll(true);
    list.SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(m.GetVPos(), rh);
    EXPECT_TRUE(velmora_test::WaitUntil([&] { Pump(); return m.GetTopIndex() == 1; }, velmora_test::kEventMs, 5));
    Pump(100);  // a few more frames: the slide must stay where it ended
    CPrint p(list);
    EXPECT_EQ(m.GetTopIndex(), 1);
}

// A window procedure in front of the list's own that counts its paints.
int g_paints = 0;
WNDPROC g_listProc = nullptr;
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) ++g_paints;
    return ::CallWindowProcA(g_listProc, h, m, w, l);
}

TEST_F(SkinListWindow, FillingThousandsOfRowsInvalidatesOnceAndPaintsOnce) {
    for (int c = 0; c < 20; ++c) list.AddColumn(("c" + std::to_string(c)).c_str(), 60);
    Pump();
    g_paints = 0;
    g_listProc = (WNDPROC)::SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)CountingProc);
    for (int r = 0; r < 5000; ++r) {
        ASSERT_EQ(list.AddItem(std::to_string(r).c_str()), r);
        for (int c = 1; c < 20; ++c) list.SetItemText(r, c, "12.34");
    }
    EXPECT_EQ(g_paints, 0);  // nothing painted while filling
    RECT update;
    EXPECT_TRUE(::GetUpdateRect(list, &update, FALSE));
    Pump();
    EXPECT_EQ(g_paints, 1);
    ::SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)g_listProc);
    SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    ASSERT_TRUE(::GetScrollInfo(list, SB_VERT, &si));
    EXPECT_EQ(si.nMax - (int)si.nPage + 1, list.Model().GetVMax());  // the bar caught up at the paint
    EXPECT_GT(list.Model().GetVMax(), 4900 * rh);
}

TEST_F(SkinListWindow, TitleTipShowsACutCellWhole) {
    list.AddColumn("代码", 70);
    list.AddColumn("名称", 60);
    list.AddItem("600000");
    list.SetItemText(0, 1, "中国平安保险集团股份有限公司");
    list.AddItem("000001");
    list.SetItemText(1, 1, "短");
    Pump();
    CRect cut = Cell(0, 1);
    list.SendMessage(WM_MOUSEMOVE, 0, Pt(cut.left + 12, cut.top + rh / 2));
    CTitleTip& tip = list.TitleTip();
    ASSERT_TRUE(tip.IsWindowVisible());
    EXPECT_EQ(tip.GetText(), "中国平安保险集团股份有限公司");
    EXPECT_EQ(::GetCapture(), tip.m_hWnd);
    CRect tipRect = tip.GetWindowRect();
    CRect cutScreen = cut;
    list.ClientToScreen(&cutScreen);
    EXPECT_EQ(tipRect.top, cutScreen.top);
    EXPECT_EQ(tipRect.left, cutScreen.left + 3 + 4 - 4);
    EXPECT_GT(tipRect.Width(), cut.Width());
    // The pointer leaving the tip hides it and lets the mouse go.
    tip.SendMessage(WM_MOUSEMOVE, 0, Pt(-30, -30));
    EXPECT_FALSE(tip.IsWindowVisible());
    EXPECT_NE(::GetCapture(), tip.m_hWnd);
    // A text that fits shows none.
    CRect fits = Cell(1, 1);
    list.SendMessage(WM_MOUSEMOVE, 0, Pt(fits.left + 12, fits.top + rh / 2));
    EXPECT_FALSE(tip.IsWindowVisible());
    // Nor a cut cell while the pointer is off its text (on the image-free left margin).
    list.SendMessage(WM_MOUSEMOVE, 0, Pt(cut.left + 1, cut.top + rh / 2));
    EXPECT_FALSE(tip.IsWindowVisible());
}

TEST_F(SkinListWindow, TellsItsParentWhatTheUserDid) {
    Fill(8);
    list.AddColumn("链接", 60, -1, 0, kListFormatLink);
    list.AddColumn("勾", 30, -1, 0, kListFormatCheck);
    for (int r = 0; r < 8; ++r) list.SetItemText(r, 5, "公告");
    Pump();
    auto& notes = parent.notes;
    CRect c = Cell(2, 1);
    Click(c.left + 10, c.top + 5);
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifySelChanged, 2, 1}, {kListNotifyClick, 2, 1}}));
    notes.clear();
    c = Cell(5, 0);
    Click(c.left + 10, c.top + 5, MK_SHIFT);
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifySelChanged, 5, 0}, {kListNotifyClick, 5, 0}}));
    EXPECT_EQ(list.Model().GetSelectedItems(), (std::vector<int>{2, 3, 4, 5}));
    notes.clear();
    // Right button below the rows: the selection is cleared, no row reported.
    list.SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, Pt(20, 300));
    list.SendMessage(WM_RBUTTONUP, 0, Pt(20, 300));
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifyRightClick, -1, 0}}));
    EXPECT_EQ(list.Model().GetSelectedCount(), 0);
    notes.clear();
    c = Cell(3, 2);
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Pt(c.left + 10, c.top + 5));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(c.left + 10, c.top + 5));
    ASSERT_GE(notes.size(), 2u);
    EXPECT_EQ(notes[0], (Note{kListNotifySelChanged, 3, 2}));
    EXPECT_EQ(notes[1], (Note{kListNotifyDblClick, 3, 2}));
    notes.clear();
    c = Cell(1, 6);  // a check box: toggled by the press
    Click(c.left + 10, c.top + 5);
    EXPECT_EQ(list.GetItemText(1, 6), "1");
    EXPECT_EQ(notes[1], (Note{kListNotifyValueChanged, 1, 6}));
    notes.clear();
    list.SetItemFormat(1, 6, kListFormatCheck, kListReadOnly);
    Click(c.left + 10, c.top + 5);
    EXPECT_EQ(list.GetItemText(1, 6), "1");  // read-only: selected, not toggled
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifyClick, 1, 6}}));
    notes.clear();
    c = Cell(4, 5);
    Click(c.left + 10, c.top + 5);
    EXPECT_EQ(notes[1], (Note{kListNotifyLinkClick, 4, 5}));
    notes.clear();
    // A header click sorts and reports no row.
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(120, 4));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(120, 4));
    EXPECT_EQ(list.Model().GetSortColumn(), 1);
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifyClick, -1, 0}}));
    notes.clear();
    // A rectangle from the second column down four rows selects them and reports nothing more.
    CRect from = Cell(1, 2), to = Cell(4, 2);
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(from.left + 10, from.top + 3));
    list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(from.left + 12, from.top + 5));  // 2 pixels: no rectangle
    EXPECT_EQ(list.Model().GetSelectedItems(), (std::vector<int>{1}));
    list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(to.left + 30, to.top + 5));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(to.left + 30, to.top + 5));
    EXPECT_EQ(list.Model().GetSelectedItems(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifySelChanged, 1, 2}}));
}

TEST_F(SkinListWindow, ColumnsResizeByDraggingAndDoubleClickingTheirDividers) {
    Fill(4);
    list.AddColumn("固定", 50, -1, 1);  // fixed: 100 + 80 + 80 + 40 + 100 = 400 to 450
    auto& notes = parent.notes;
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Pt(78, 4));  // 2 pixels left of the first edge
    list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(108, 4));
    EXPECT_EQ(list.GetColumnWidth(0), 110);
    list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(-40, 4));
    EXPECT_EQ(list.GetColumnWidth(0), 0);  // never below nothing
    list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Pt(98, 4));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(98, 4));
    EXPECT_EQ(list.GetColumnWidth(0), 100);
    EXPECT_EQ(list.Model().GetSortColumn(), -1);  // a resize is no header click
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifyClick, -1, 0}}));
    notes.clear();
    // A double click on a divider fits the column to its widest text.
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Pt(198, 4));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(198, 4));
    int fitted = list.GetColumnWidth(1);
    EXPECT_NE(fitted, 100);
    EXPECT_GT(fitted, 20);
    ASSERT_GE(notes.size(), 1u);
    EXPECT_EQ(notes[0], (Note{kListNotifyDblClick, -1, 0}));
    notes.clear();
    // A fixed column keeps its width, and the double click is still reported.
    int edge = list.Model().GetColumnSum();
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Pt(edge - 2, 4));
    list.SendMessage(WM_LBUTTONUP, 0, Pt(edge - 2, 4));
    EXPECT_EQ(list.GetColumnWidth(5), 50);
    ASSERT_GE(notes.size(), 1u);
    EXPECT_EQ(notes[0], (Note{kListNotifyDblClick, -1, 0}));
}

// A data object whose payload is shorter than a window handle.
class CShortPayload : public CDataObject {
public:
    explicit CShortPayload(UINT format) : CDataObject(nullptr), m_format(format) {
        FORMATETC f = MakeColumnDragFormat((CLIPFORMAT)format);
        STGMEDIUM empty = {};
        SetData(&f, &empty, TRUE);
    }

protected:
    bool OnRenderData(const FORMATETC& format, STGMEDIUM* medium, bool) override {
        if (format.cfFormat != m_format) return false;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = ::GlobalAlloc(GMEM_MOVEABLE, 2);
        return medium->hGlobal != nullptr;
    }
    UINT m_format;
};

TEST_F(SkinListWindow, ColumnsMoveThroughTheDropTarget) {
    Fill(3);
    list.SetItemText(0, 2, "1.5");
    IDropTarget* target = list.DragDrop().GetTarget();
    IDataObject* data = list.DragDrop().GetDataObject();
    ASSERT_NE(target, nullptr);
    ASSERT_NE(data, nullptr);
    int hh = Hh();
    auto screen = [&](int x) {
        POINT p = {x, hh / 2};
        list.ClientToScreen(&p);
        POINTL l = {p.x, p.y};
        return l;
    };
    // The payload: the list's own window handle, rendered when asked.
    FORMATETC f = MakeColumnDragFormat((CLIPFORMAT)list.GetClipboardFormat());
    STGMEDIUM m = {};
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    EXPECT_EQ(::GlobalSize(m.hGlobal), sizeof(HWND));
    HWND* h = (HWND*)::GlobalLock(m.hGlobal);
    EXPECT_EQ(*h, list.m_hWnd);
    ::GlobalUnlock(m.hGlobal);
    ::ReleaseStgMedium(&m);

    list.SetDragColumn(0);
    DWORD effect = DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragEnter(data, MK_LBUTTON, screen(40), &effect), S_OK);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);  // on itself: no move, no arrows
    EXPECT_FALSE(list.DropArrows().IsWindowVisible());
    effect = DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON | MK_CONTROL, screen(230), &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);  // Control asks for a copy: refused
    effect = DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, screen(230), &effect);  // right half of the third column
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_MOVE);
    EXPECT_TRUE(list.DropArrows().IsWindowVisible());
    CRect arrows = list.DropArrows().GetWindowRect();
    POINT edge = {260, hh / 2};
    list.ClientToScreen(&edge);
    EXPECT_EQ(arrows.left, edge.x - 7);
    effect = DROPEFFECT_MOVE;
    ASSERT_EQ(target->Drop(data, 0, screen(230), &effect), S_OK);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_MOVE);
    EXPECT_FALSE(list.DropArrows().IsWindowVisible());
    std::vector<int> order;
    for (int p = 0; p < list.GetColumnCount(); ++p) order.push_back(list.GetColumnIndex(p));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 3, 4}));
    EXPECT_EQ(list.GetItemText(0, 2), "1.5");  // cells keep their column
    // Clicking the first position now reports the moved column's insertion index.
    parent.notes.clear();
    CRect c = Cell(0, 0);
    Click(c.left + 10, c.top + 5);
    EXPECT_EQ(parent.notes[0], (Note{kListNotifySelChanged, 0, 1}));

    // A drag from another list, and a payload too short to hold a handle, are refused.
    CSkinListCtrlData other;
    ASSERT_NE(other.Create(parent, CRect(0, 330, 300, 350), nullptr, 0, 0, 5002), nullptr);
    other.AddColumn("x", 50);
    effect = DROPEFFECT_MOVE;
    target->DragEnter(other.DragDrop().GetDataObject(), MK_LBUTTON, screen(230), &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);
    target->DragLeave();
    CShortPayload* shortData = new CShortPayload(list.GetClipboardFormat());
    shortData->AddRef();
    effect = DROPEFFECT_MOVE;
    target->DragEnter(shortData, MK_LBUTTON, screen(230), &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);
    effect = DROPEFFECT_MOVE;
    target->Drop(shortData, 0, screen(230), &effect);
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_NONE);
    shortData->Release();
    other.DestroyWindow();
}

TEST(ListDragObjects, SourceEffectsDataAndEnumerator) {
    ::OleInitialize(nullptr);
    IDropSource* source = new CDropSource();
    source->AddRef();
    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_MOVE), DRAGDROP_S_USEDEFAULTCURSORS);
    source->Release();

    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    struct { bool accepted; DWORD keys, offered, want; } effects[] = {
        {false, 0, all, DROPEFFECT_NONE},
        {true, MK_CONTROL | MK_SHIFT, all, DROPEFFECT_LINK},
        {true, MK_CONTROL, all, DROPEFFECT_COPY},
        {true, MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_NONE},
        {true, MK_SHIFT, all, DROPEFFECT_MOVE},
        {true, 0, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_MOVE},
        {true, 0, 0, DROPEFFECT_NONE},
    };
    for (const auto& e : effects)
        EXPECT_EQ(CDropTarget::AdjustEffect(e.accepted, e.keys, e.offered), e.want) << e.keys << " " << e.offered;

    CShortPayload* data = new CShortPayload(0xC123);
    data->AddRef();
    FORMATETC f = MakeColumnDragFormat(0xC123);
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    FORMATETC other = f;
    other.cfFormat = 0xC124;
    EXPECT_EQ(data->QueryGetData(&other), DV_E_CLIPFORMAT);
    other = f;
    other.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->QueryGetData(&other), DV_E_TYMED);
    other = f;
    other.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(data->QueryGetData(&other), DV_E_DVASPECT);
    STGMEDIUM m = {};
    EXPECT_EQ(data->GetData(&other, &m), DV_E_FORMATETC);
    EXPECT_EQ(data->GetData(nullptr, &m), E_INVALIDARG);
    FORMATETC out;
    EXPECT_EQ(data->GetCanonicalFormatEtc(&f, &out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(data->DAdvise(&f, 0, nullptr, nullptr), OLE_E_ADVISENOTSUPPORTED);
    IEnumFORMATETC* e = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
    // A second format, stored with a medium copied in.
    FORMATETC g = MakeColumnDragFormat(0xC200);
    STGMEDIUM filled = {};
    filled.tymed = TYMED_HGLOBAL;
    filled.hGlobal = ::GlobalAlloc(GMEM_MOVEABLE, 8);
    EXPECT_EQ(data->SetData(&g, &filled, FALSE), S_OK);
    ::ReleaseStgMedium(&filled);
    ASSERT_EQ(data->GetData(&g, &m), S_OK);
    EXPECT_EQ(::GlobalSize(m.hGlobal), 8u);
    ::ReleaseStgMedium(&m);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC got[3];
    ULONG n = 0;
    EXPECT_EQ(e->Next(3, got, &n), S_FALSE);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(got[1].cfFormat, 0xC200);
    EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);  // at the end
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);  // exactly to the end
    EXPECT_EQ(e->Skip(1), S_FALSE);
    e->Reset();
    EXPECT_EQ(e->Skip(1), S_OK);
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].cfFormat, 0xC200);
    EXPECT_EQ(clone->Next(2, got, nullptr), S_FALSE);  // more than one needs a count out
    clone->Release();
    e->Release();
    data->Release();
    ::OleUninitialize();
}

TEST(SkinListWithoutOle, ListWorksWithoutColumnMoves) {
    // A thread that never initialised OLE: the drop target cannot be registered.
    bool created = false, noTarget = false, filled = false;
    std::thread t([&] {
        LoadSkin();
        CRecordingParent parent;
        parent.Create(nullptr, CRect(0, 0, 300, 200), "no ole", WS_OVERLAPPEDWINDOW);
        CSkinListCtrlData list;
        created = list.Create(parent, CRect(0, 0, 280, 180), nullptr, 0, 0, 7) != nullptr;
        noTarget = list.DragDrop().GetTarget() == nullptr;
        list.AddColumn("名称", 80);
        filled = list.AddItem("平安银行") == 0 && list.SortColumn(0, 1);
        parent.DestroyWindow();
    });
    t.join();
    EXPECT_TRUE(created);
    EXPECT_TRUE(noTarget);
    EXPECT_TRUE(filled);
}

TEST_F(SkinListWindow, EditorsEndByEnterEscapeAndTab) {
    list.AddColumn("代码", 70);
    list.AddColumn("备注", 100, -1, 0, kListFormatEdit);
    list.AddColumn("数量", 80, -1, 0, kListFormatEdit, kListEditInteger | kListEditSigned);
    list.AddColumn("操作", 80, -1, 0, kListFormatChoice);
    list.AddColumn("日期", 120, -1, 0, kListFormatDate, kListDateOnly);
    for (int r = 0; r < 4; ++r) {
        list.AddItem(std::to_string(r).c_str());
        list.SetItemText(r, 1, "旧");
        list.SetItemText(r, 2, "12");
        list.SetItemText(r, 3, "持有");
        list.SetItemList(r, 3, {"买入", "卖出", "持有"});
        list.SetItemText(r, 4, "20240131000000");
    }
    list.SetFocusCellMode(true);
    Focus();
    auto& notes = parent.notes;
    ASSERT_TRUE(list.SelectItem(1, 1, 0));  // a text cell in view: its editor opens at once
    CListEdit& edit = list.Editor();
    ASSERT_TRUE(list.IsEditing());
    ASSERT_TRUE(edit.IsWindowVisible());
    EXPECT_EQ(edit.GetWindowText(), "旧");
    EXPECT_EQ(::GetFocus(), edit.m_hWnd);
    notes.clear();
    edit.SendMessage(WM_CHAR, 'Z');  // replaces the selected text
    edit.SendMessage(WM_CHAR, VK_RETURN);
    EXPECT_FALSE(list.IsEditing());
    EXPECT_FALSE(edit.IsWindowVisible());
    EXPECT_EQ(list.GetItemText(1, 1), "Z");
    EXPECT_EQ(notes, (std::vector<Note>{{kListNotifyValueChanged, 1, 1}}));
    EXPECT_EQ(::GetFocus(), list.m_hWnd);

    notes.clear();
    ASSERT_TRUE(list.EditCell(1, 1));
    edit.SendMessage(WM_CHAR, 'Q');
    edit.SendMessage(WM_CHAR, VK_ESCAPE);
    EXPECT_EQ(list.GetItemText(1, 1), "Z");  // Escape: unchanged, nothing told
    EXPECT_TRUE(notes.empty());
    EXPECT_FALSE(list.IsEditing());

    // Signed integers: '-' turns the sign round, letters are swallowed; Tab moves on.
    ASSERT_TRUE(list.SelectItem(2, 2, 0));
    ASSERT_TRUE(edit.IsWindowVisible());
    edit.SetSel(2, 2);
    edit.SendMessage(WM_CHAR, '-');
    EXPECT_EQ(edit.GetWindowText(), "-12");
    edit.SendMessage(WM_CHAR, 'x');
    edit.SendMessage(WM_CHAR, '5');
    EXPECT_EQ(edit.GetWindowText(), "-125");
    edit.SendMessage(WM_CHAR, VK_TAB);
    EXPECT_EQ(list.GetItemText(2, 2), "-125");
    Pump();  // the posted Tab opens the next cell's editor: the choice
    CListCombo& combo = list.ComboEditor();
    ASSERT_TRUE(list.IsEditing());
    ASSERT_TRUE(combo.IsWindowVisible());
    EXPECT_EQ(combo.GetLBText(combo.GetCurSel()), "持有");
    combo.SetCurSel(combo.FindStringExact(-1, "卖出"));
    combo.SendMessage(WM_CHAR, VK_RETURN);
    Pump();
    EXPECT_EQ(list.GetItemText(2, 3), "卖出");
    EXPECT_FALSE(list.IsEditing());

    // The date editor: Enter keeps the date, Escape leaves the cell.
    ASSERT_TRUE(list.EditCell(0, 4));
    CListDate& date = list.DateEditor();
    ASSERT_TRUE(date.IsWindowVisible());
    SYSTEMTIME st = {};
    EXPECT_EQ(date.GetSystemTime(&st), (DWORD)GDT_VALID);
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wDay, 31);
    date.SendMessage(WM_CHAR, VK_RETURN);
    EXPECT_EQ(list.GetItemText(0, 4), "20240131000000");
    ASSERT_TRUE(list.EditCell(0, 4));
    date.SendMessage(WM_CHAR, VK_ESCAPE);
    EXPECT_EQ(list.GetItemText(0, 4), "20240131000000");
    EXPECT_FALSE(list.IsEditing());

    // A read-only cell opens nothing; deleting rows while editing writes nothing anywhere.
    list.SetItemFormat(3, 1, kListFormatEdit, kListReadOnly);
    EXPECT_TRUE(list.EditCell(3, 1));
    EXPECT_FALSE(list.IsEditing());
    ASSERT_TRUE(list.EditCell(0, 1));
    edit.SendMessage(WM_CHAR, 'W');
    notes.clear();
    list.DeleteItem(0);
    EXPECT_FALSE(list.IsEditing());
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(list.GetItemText(0, 1), "Z");
}

// Run by scripts/screenshot: --gtest_also_run_disabled_tests --gtest_filter=*ListGallery*
class CGalleryFrame : public CWindowImpl<CGalleryFrame, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraListGallery")
    BEGIN_MSG_MAP(CGalleryFrame)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_SIZE(OnSize)
    END_MSG_MAP()
    void OnTimer(UINT_PTR) {
        DestroyWindow();
        ::PostQuitMessage(0);
    }
    void OnSize(UINT, CSize size) {
        if (list.IsWindow()) list.MoveWindow(8, 8, size.cx - 16, size.cy - 16);
    }
    CSkinListCtrlData list;
};

TEST(SkinListGallery, DISABLED_Show) {
    ::OleInitialize(nullptr);
    LoadSkin();
    CGalleryFrame f;
    ASSERT_NE(f.Create(nullptr, CRect(0, 0, 760, 520), "Velmora 自选股", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    CSkinListCtrlData& l = f.list;
    ASSERT_NE(l.Create(f, CRect(8, 8, 740, 470), nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 5001), nullptr);
    l.AddColumn("代码", 70);
    l.AddColumn("名称", 90);
    l.AddColumn("最新", 70, -1, 0, kListFormatNumber, kListAlignRight);
    l.AddColumn("涨幅%", 70, -1, 0, kListFormatNumber, kListAlignRight);
    l.AddColumn("成交额", 90, -1, 0, kListFormatNumber, kListAlignRight);
    l.AddColumn("关注", 44, -1, 0, kListFormatCheck, kListAlignCenter);
    l.AddColumn("趋势", 44, -1, 0, kListFormatTriState);
    l.AddColumn("完成度", 90, -1, 0, kListFormatProgress);
    l.AddColumn("公告", 120, -1, 0, kListFormatLink);
    const char* names[] = {"浦发银行", "平安银行", "万科A", "中国平安", "贵州茅台", "招商银行", "五粮液",
                           "格力电器", "中信证券", "美的集团", "伊利股份", "海天味业"};
    for (int r = 0; r < 40; ++r) {
        char code[16], price[16], change[16], amount[24];
        snprintf(code, sizeof code, "%06d", (r % 2 ? 600000 : 1) + r * 7);
        snprintf(price, sizeof price, "%.2f", 5 + (r * 37 % 400) / 10.0);
        snprintf(change, sizeof change, "%.2f", ((r * 53) % 200 - 100) / 10.0);
        snprintf(amount, sizeof amount, r % 3 ? "%.1f万" : "%.0f", (r * 97 % 900) + 10.5);
        l.AddItem(code);
        l.SetItemText(r, 1, names[r % 12]);
        l.SetItemText(r, 2, price);
        l.SetItemText(r, 3, change);
        l.SetItemText(r, 4, amount);
        l.SetItemText(r, 5, r % 3 ? "0" : "1");
        l.SetItemText(r, 6, std::to_string(r % 3 - 1).c_str());
        l.SetItemText(r, 7, std::to_string(r * 13 % 101).c_str());
        l.SetItemText(r, 8, r % 4 ? "年度报告摘要" : "关于召开股东大会的通知公告");
        l.SetItemColours(r, 3, l.GetWindowColour(), change[0] == '-' ? RGB(0, 150, 60) : RGB(210, 30, 30));
    }
    l.SortColumn(3, 2);
    l.SelectItem(2, 1, 0);
    l.SelectItem(4, 1, kListKeyShift);
    l.SetFocus();
    const char* ms = getenv("VELMORA_SHOW_MS");
    f.SetTimer(1, ms ? atoi(ms) : 20000);
    CMessageLoop loop;
    loop.Run();
    ::OleUninitialize();
}

}  // namespace
