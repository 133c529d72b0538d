// The skinned frame on a real top-level window (caption buttons, hit tests, region, hover
// without repaint storms, activation) and the owner-drawn menus of the same frame.
#include "ctl_helpers.h"
#include "skin/ncdraw.h"
#include "skin/skinmenu.h"

using namespace ctltest;

namespace {

class CSkinFrame : public CWindowImpl<CSkinFrame, CWindow, CFrameWinTraits>, public CNcDraw,
                   public CSkinContextMenu<CSkinFrame> {
public:
    DECLARE_WND_CLASS_EX("VelmoraTestSkinFrame", CS_DBLCLKS, COLOR_WINDOW + 1)
    std::vector<Sent> sent;
    int closes = 0;
    BEGIN_MSG_MAP(CSkinFrame)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_CLOSE(OnClose)
        MSG_RAW(CaptionMenuButton::kClickMessage, OnMenuButton)
        CHAIN_MSG_MAP(CNcDraw)
        CHAIN_MSG_MAP(CSkinMenuCore)
    END_MSG_MAP()
    LRESULT OnCreate(LPCREATESTRUCTA) {
        CNcDraw::Attach(m_hWnd);
        AddMenuButton(2002, "系统(&S)", LoadSkinPicture("menu.png"), 670, 4);
        AddMenuButton(2003, "功能(&F)", LoadSkinPicture("menu.png"), 600, 4);
        InitMenuFont();
        return 0;
    }
    void OnSize(UINT, CSize) {
        UpdateRegion();
        SetMsgHandled(FALSE);
    }
    void OnClose() { ++closes; }
    LRESULT OnMenuButton(UINT msg, WPARAM w, LPARAM l) {
        sent.push_back({msg, w, l});
        return 0;
    }
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        LoadSkin();
        ASSERT_NE(f.Create(nullptr, CRect(20, 20, 1000, 720), "Quorvel股票分析系统 - 经典版",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE),
                  nullptr);
        ASSERT_TRUE(f.IsThemeLoaded());
        Pump();
    }
    void TearDown() override {
        if (f.IsWindow()) f.DestroyWindow();
    }
    // Hit code at a window-relative point.
    int Hit(int x, int y) {
        CRect w = f.GetWindowRect();
        return (int)f.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(w.left + x, w.top + y));
    }
    CPoint Center(const CRect& r) { return r.CenterPoint(); }
    CSkinFrame f;
};

TEST_F(Frame, ClientAreaHitTestsAndButtons) {
    CRect w = f.GetWindowRect(), c = f.GetClientRect();
    EXPECT_EQ(w.Width() - c.Width(), 8) << "left and right borders";
    EXPECT_EQ(w.Height() - c.Height(), 30 + 4) << "caption and bottom";
    EXPECT_FALSE(f.GetStyle() & WS_THICKFRAME) << "the system draws no frame";
    CRect close = f.GetButtonRect(0), max = f.GetButtonRect(1), min = f.GetButtonRect(2);
    EXPECT_EQ(close, CRect(w.Width() - 34, 5, w.Width() - 34 + 28, 25));
    struct {
        CPoint at;
        int code;
    } cases[] = {
        {Center(close), kHitClose}, {Center(max), kHitMaximize}, {Center(min), kHitMinimize},
        {CPoint(c.Width() - 670 + 5, 10), kHitMenuButton}, {CPoint(c.Width() - 600 + 5, 10), kHitMenuButton + 1},
        {CPoint(10, 10), kHitSysMenu}, {CPoint(200, 15), kHitCaption}, {CPoint(1, 300), kHitLeft},
        {CPoint(w.Width() - 1, w.Height() - 1), kHitBottomRight}, {CPoint(300, 300), kHitClient},
    };
    for (const auto& k : cases) EXPECT_EQ(Hit(k.at.x, k.at.y), k.code) << k.at.x << "," << k.at.y;

    MINMAXINFO mmi = {};
    f.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
    EXPECT_EQ(mmi.ptMinTrackSize.x, 900);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 680);

    // Close released on the button closes; released elsewhere only repaints.
    f.SendMessage(WM_NCLBUTTONDOWN, kHitClose, 0);
    f.SendMessage(WM_NCLBUTTONUP, kHitCaption, 0);
    EXPECT_EQ(f.closes, 0);
    f.SendMessage(WM_NCLBUTTONDOWN, kHitClose, 0);
    f.SendMessage(WM_NCLBUTTONUP, kHitClose, 0);
    EXPECT_EQ(f.closes, 1);

    // A caption menu button sends its command with the point below it.
    f.SendMessage(WM_NCLBUTTONDOWN, kHitMenuButton + 1, 0);
    f.SendMessage(WM_NCLBUTTONUP, kHitMenuButton + 1, 0);
    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].wParam, 2003u);
    w = f.GetWindowRect();
    EXPECT_EQ((short)LOWORD(f.sent[0].lParam), w.right - 600);
    EXPECT_EQ((short)HIWORD(f.sent[0].lParam), w.top + 22);

    // Maximised to the work area: the caption cannot drag and the borders do not size.
    f.SendMessage(WM_NCLBUTTONDOWN, kHitMaximize, 0);
    f.SendMessage(WM_NCLBUTTONUP, kHitMaximize, 0);
    EXPECT_EQ(f.GetWindowState(), CNcDraw::kStateMaximized);
    EXPECT_EQ(Hit(1, 300), kHitClient);
    EXPECT_EQ(Hit(200, 15), kHitCaption);
    f.Restore();
    EXPECT_EQ(f.GetWindowState(), CNcDraw::kStateNormal);
    EXPECT_EQ(f.GetWindowRect(), w);
}

TEST_F(Frame, RegionFollowsTheSize) {
    f.SetWindowPos(nullptr, 0, 0, 1100, 760, SWP_NOMOVE | SWP_NOZORDER);
    CRgn rgn;
    rgn.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(f, rgn), ERROR);
    struct {
        int x, y;
        bool in;
    } points[] = {{0, 0}, {1099, 0}, {3, 2}, {1097, 1}, {550, 10, true}, {5, 15, true}, {0, 30, true}, {0, 759, true}, {1099, 759, true}, {1100, 300}};
    for (const auto& p : points) EXPECT_EQ(rgn.PtInRegion(p.x, p.y) != FALSE, p.in) << p.x << "," << p.y;
    CRect box;
    rgn.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 1100, 760));
}

TEST_F(Frame, HoverRepaintsOnlyWhenItChanges) {
    int before = f.GetNcPaintCount();
    for (int i = 0; i < 100; ++i) f.SendMessage(WM_NCMOUSEMOVE, kHitMenuButton, 0);
    EXPECT_LE(f.GetNcPaintCount() - before, 1) << "one change of look, one paint";
    EXPECT_EQ(f.GetHoverCode(), kHitMenuButton);
    // The hovered menu button shows its hover frame on the screen.
    CWindowDC dc(f);
    CRect c = f.GetClientRect();
    COLORREF hover = dc.GetPixel(c.Width() - 670 + 6, 12);
    EXPECT_TRUE(Near(hover, RGB(58, 112, 176), 20));
    before = f.GetNcPaintCount();
    for (int i = 0; i < 10; ++i) f.SendMessage(WM_NCMOUSEMOVE, i % 2 ? kHitClose : kHitCaption, 0);
    EXPECT_EQ(f.GetNcPaintCount() - before, 10);
    f.SendMessage(WM_NCMOUSELEAVE);
    EXPECT_EQ(f.GetHoverCode(), 0);
}

TEST_F(Frame, ActivationFocusAndOwnCaption) {
    ::SetFocus(nullptr);
    f.SendMessage(WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(f.IsActive());
    EXPECT_EQ(::GetFocus(), f.m_hWnd) << "activation gives the frame the keyboard focus";
    EXPECT_EQ(f.SendMessage(WM_NCACTIVATE, FALSE, 0), TRUE);
    EXPECT_FALSE(f.IsActive());
    f.SetWindowText("新标题");

    EXPECT_EQ(f.GetWindowText(), "新标题");
    EXPECT_TRUE(f.GetStyle() & WS_VISIBLE);
    // The skin's caption colour between the menu buttons and the frame buttons, not the system's.
    CWindowDC dc(f);
    EXPECT_TRUE(Near(dc.GetPixel(600, 15), RGB(34, 42, 54), 16));
}

TEST_F(Frame, MenusAreOwnerDrawnWhileOpen) {
    CMenu menu;
    menu.CreatePopupMenu();
    std::string longText(150, 'x');
    longText += "\t尾";
    menu.AppendMenu(MF_STRING, 4001, "打开(&O)\tCtrl+O");
    menu.AppendMenu(MF_STRING, 4002, longText.c_str());
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | MF_CHECKED, 4003, "自选股");
    menu.AppendMenu(MF_STRING | MF_GRAYED, 4004, "不可用");
    f.SendMessage(WM_INITMENUPOPUP, (WPARAM)menu.m_hMenu, 0);
    f.SendMessage(WM_INITMENUPOPUP, (WPARAM)menu.m_hMenu, 0);
    EXPECT_EQ(f.GetRecordCount(), 5u) << "converted once";
    MENUITEMINFOA mi = {sizeof(mi), MIIM_FTYPE | MIIM_DATA};
    ASSERT_TRUE(::GetMenuItemInfoA(menu, 0, TRUE, &mi));
    EXPECT_TRUE(mi.fType & MFT_OWNERDRAW);

    CMenu sys;
    sys.CreatePopupMenu();
    sys.AppendMenu(MF_STRING, 61536, "关闭");
    f.SendMessage(WM_INITMENUPOPUP, (WPARAM)sys.m_hMenu, MAKELPARAM(0, TRUE));
    MENUITEMINFOA si = {sizeof(si), MIIM_FTYPE};
    ::GetMenuItemInfoA(sys, 0, TRUE, &si);
    EXPECT_FALSE(si.fType & MFT_OWNERDRAW) << "the system menu stays";

    auto data = [&](int pos) {
        MENUITEMINFOA i = {sizeof(i), MIIM_DATA};
        ::GetMenuItemInfoA(menu, pos, TRUE, &i);
        return i.dwItemData;
    };
    MEASUREITEMSTRUCT m = {ODT_MENU, 0, 4002, 0, 0, data(1)};
    f.SendMessage(WM_MEASUREITEM, 0, (LPARAM)&m);
    MEASUREITEMSTRUCT sep = {ODT_MENU, 0, 0, 0, 0, data(2)};
    f.SendMessage(WM_MEASUREITEM, 0, (LPARAM)&sep);
    EXPECT_EQ((int)sep.itemHeight, ::GetSystemMetrics(SM_CYMENU) / 2);
    EXPECT_GT((int)m.itemWidth, 150 * 4) << "the whole long text is measured";
    MEASUREITEMSTRUCT other = {ODT_MENU, 0, 1, 0, 0, 12345};
    EXPECT_EQ(f.SendMessage(WM_MEASUREITEM, 0, (LPARAM)&other), 0) << "not ours";

    // Drawing: selected enabled items get the highlight box; selected disabled ones keep the band.
    const COLORREF band = CSkinMenuCore::MenuColorOf(MenuColor::IconBand);
    const COLORREF area = CSkinMenuCore::MenuColorOf(MenuColor::TextArea);
    const COLORREF fill = CSkinMenuCore::MenuColorOf(MenuColor::SelectionFill);
    struct {
        int pos;
        UINT state;
        COLORREF at3, at60;
    } draws[] = {
        {0, 0, band, area},
        {0, ODS_SELECTED, fill, fill},
        {4, ODS_SELECTED | ODS_GRAYED, band, area},
    };
    for (const auto& d : draws) {
        CDibCanvas c(300, 24);
        DRAWITEMSTRUCT dis = {ODT_MENU, 0, (UINT)(4001 + d.pos), ODA_DRAWENTIRE, d.state, (HWND)menu.m_hMenu, c.dc(),
                              {0, 0, 300, 24}, data(d.pos)};
        f.SendMessage(WM_DRAWITEM, 0, (LPARAM)&dis);
        ::GdiFlush();
        auto px = [&](int x, int y) {
            uint32_t p = c.bits()[y * 300 + x];
            return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        };
        EXPECT_TRUE(Near(px(3, 12), d.at3, 3)) << d.pos << "/" << d.state;
        EXPECT_TRUE(Near(px(290, 20), d.at60, 3)) << d.pos << "/" << d.state;
        if (d.state == ODS_SELECTED) EXPECT_TRUE(Near(px(0, 12), ::GetSysColor(COLOR_HIGHLIGHT), 3));
        int ink = 0;
        for (int x = 30; x < 120; ++x)
            for (int y = 2; y < 22; ++y) ink += CSnapshot::Differs(px(x, y), px(295, 12), 30);
        EXPECT_GT(ink, 30) << "Chinese label " << d.pos;
    }

    // Closing the menus restores plain items with their whole texts and frees every record.
    f.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(f.GetRecordCount(), 0u);
    EXPECT_EQ(f.GetOpenMenuCount(), 0u);
    char text[300] = {0};
    ::GetMenuStringA(menu, 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_EQ(std::string(text), longText);
    ASSERT_TRUE(::GetMenuItemInfoA(menu, 0, TRUE, &mi));
    EXPECT_FALSE(mi.fType & MFT_OWNERDRAW);
    // A menu destroyed while open leaks nothing.
    {
        CMenu gone;
        gone.CreatePopupMenu();
        gone.AppendMenu(MF_STRING, 1, "临时");
        f.SendMessage(WM_INITMENUPOPUP, (WPARAM)gone.m_hMenu, 0);
        EXPECT_EQ(f.GetRecordCount(), 1u);
    }
    f.SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(f.GetRecordCount(), 0u);
}

}  // namespace
