// Every skinned control in one skinned frame, for a person to look at:
//   VELMORA_SHOW_MS=60000 scripts/screenshot -o controls.png build/win32/tests/skin/skin_controls_test.exe \
//       --gtest_also_run_disabled_tests --gtest_filter='ControlGallery.*'
#include <cstdlib>

#include "base/gdicache.h"
#include "ctl_helpers.h"
#include "skin/fadebutton.h"
#include "skin/ncdraw.h"
#include "skin/newsbar.h"
#include "skin/skinmenu.h"
#include "skin/statusbar.h"
#include "skin/tabbar.h"
#include "skin/webview.h"

using namespace ctltest;

namespace {

// Draws owner-drawn menu items through the frame's menu mix-in.
class CMenuPreview : public CWindowImpl<CMenuPreview> {
public:
    DECLARE_WND_CLASS_EX("VelmoraTestMenuPreview", 0, COLOR_WINDOW + 1)
    CSkinMenuCore* menus = nullptr;
    HWND frame = nullptr;
    CMenu menu;
    BEGIN_MSG_MAP(CMenuPreview)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()
    void OnPaint(HDC) {
        CPaintDC dc(m_hWnd);
        Draw(dc);
    }
    void OnPrintClient(HDC dc, UINT) { Draw(dc); }
    void Draw(HDC dc) {
        static const struct {
            const char* text;
            UINT flags, state;
        } items[] = {{"打开(&O)\tCtrl+O", MF_STRING, 0},        {"日K线图\tF5", MF_STRING, ODS_SELECTED},
                     {nullptr, MF_SEPARATOR, 0},                {"加入自选股", MF_STRING | MF_CHECKED, ODS_CHECKED},
                     {"删除(不可用)", MF_STRING | MF_GRAYED, ODS_GRAYED}};
        menu.DestroyMenu();
        menu.CreatePopupMenu();
        for (const auto& i : items) menu.AppendMenu(i.flags, 100, i.text);
        ::SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)menu.m_hMenu, 0);
        int y = 0;
        for (int pos = 0; pos < 5; ++pos) {
            MENUITEMINFOA mi = {sizeof(mi), MIIM_DATA};
            ::GetMenuItemInfoA(menu, pos, TRUE, &mi);
            MEASUREITEMSTRUCT m = {ODT_MENU, 0, 100, 0, 0, mi.dwItemData};
            ::SendMessageA(frame, WM_MEASUREITEM, 0, (LPARAM)&m);
            DRAWITEMSTRUCT d = {ODT_MENU, 0, 100, ODA_DRAWENTIRE, items[pos].state, (HWND)menu.m_hMenu, dc,
                                {0, y, 220, y + (int)m.itemHeight}, mi.dwItemData};
            ::SendMessageA(frame, WM_DRAWITEM, 0, (LPARAM)&d);
            y += m.itemHeight;
        }
        ::SendMessageA(frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    }
};

class CGalleryFrame : public CWindowImpl<CGalleryFrame, CWindow, CFrameWinTraits>, public CNcDraw,
                      public CSkinContextMenu<CGalleryFrame> {
public:
    DECLARE_WND_CLASS_EX("VelmoraTestControlGallery", CS_DBLCLKS, -1)
    CSkinBitmap background;
    CSkinDarkCommandBarCtrl commandBar;
    CSkinCmdBar tabs;
    CSkinFadeStateButtonCtrl close, hover, pressed, disabled;
    CSkinScrollBarCtrl linkBar;
    CSkinStatusBarCtrl status;
    CSkinGradientStatic gradient;
    CSkinStatic verdict;
    CMenuPreview preview;
    CWTLBrowserView web;
    CFont font;

    BEGIN_MSG_MAP(CGalleryFrame)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_SIZE(OnSize)
        MSG_WM_ERASEBKGND(OnErase)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        CHAIN_MSG_MAP(CNcDraw)
        CHAIN_MSG_MAP(CSkinMenuCore)
    END_MSG_MAP()

    BOOL OnErase(HDC dc) {
        RECT r;
        GetClientRect(&r);
        if (background.IsNull()) CDCHandle(dc).FillSolidRect(&r, RGB(18, 23, 31));
        else background.StretchDraw(dc, r);
        return TRUE;
    }
    void OnPrintClient(HDC dc, UINT) { OnErase(dc); }

    LRESULT OnCreate(LPCREATESTRUCTA) {
        CNcDraw::Attach(m_hWnd);
        const char* labels[] = {"系统(&S)", "功能(&F)", "诊股(&E)", "选股(&C)", "资讯(&I)", "帮助(&H)"};
        for (int i = 0; i < 6; ++i) AddMenuButton(2002 + i, labels[i], LoadSkinPicture("menu.png"), 670 - 70 * i, 4);
        InitMenuFont();
        background.LoadSkinFile("bg1.png");
        font.CreateFont(14, "宋体");

        commandBar.SetBitmaps(LoadSkinPicture("Bar.png"), LoadSkinPicture("barbutton_left.png"),
                              LoadSkinPicture("barbutton_middle.png"), LoadSkinPicture("barbutton_right.png"));
        commandBar.Create(m_hWnd, CRect(0, 0, 100, 32), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
        const struct {
            const char* icon;
            const char* caption;
            bool arrow;
        } tools[] = {{"realtime.png", "分时走势", false}, {"kline.png", "K线图", true}, {"shape.png", "形态", false},
                     {"trend.png", "趋势", false},        {"pool.png", "股票池", true},  {"buypoint.png", "买点", false},
                     {"stockowner.png", "主力", false},   {"minute.png", "分钟线", false}};
        int id = 4001;
        for (const auto& t : tools) {
            CommandButtonRecord r;
            r.id = id++;
            r.caption = t.caption;
            r.icon = LoadSkinPicture(t.icon);
            r.tooltip = t.caption;
            r.dropArrow = t.arrow;
            commandBar.AddButton(r);
        }

        tabs.SetBackgroundImages(LoadSkinPicture("Tabs.png"), LoadSkinPicture("TabRow.png"));
        tabs.AddItem(5002, "自选股");
        tabs.AddItem(5003, "板块信息");
        tabs.AddItem(5006, "资金流向");
        tabs.Create(m_hWnd, CRect(10, 50, 320, 80), nullptr, WS_CHILD | WS_VISIBLE);

        CSkinFadeStateButtonCtrl* buttons[] = {&close, &hover, &pressed, &disabled};
        for (int i = 0; i < 4; ++i) {
            buttons[i]->SetStyleFlags(FADEBTN_TRANSPARENT);
            buttons[i]->CreateSkinButton(m_hWnd, CRect(340 + 40 * i, 56, 364 + 40 * i, 80), "",
                                         i == 3 ? WS_CHILD | WS_VISIBLE | WS_DISABLED : 0, 0, 5004 + i);
            buttons[i]->SetBitmap(LoadSkinPicture("ExtraClose.png"));
        }
        hover.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
        pressed.SendMessage(BM_SETSTATE, TRUE);

        gradient.Create(m_hWnd, CRect(10, 100, 330, 124), "形态统计  上证指数", WS_CHILD | WS_VISIBLE);
        gradient.SetColors(RGB(58, 112, 176), RGB(18, 23, 31), RGB(255, 255, 255));
        gradient.SetTextFont(font);
        verdict.Create(m_hWnd, CRect(10, 132, 330, 180), "", WS_CHILD | WS_VISIBLE);
        verdict.SetTextFont(font);
        verdict.SetTextColor(RGB(255, 210, 90));
        verdict.SetText("诊断结论：短期走势良好，可逢低关注。");

        preview.frame = m_hWnd;
        preview.Create(m_hWnd, CRect(10, 190, 230, 310), nullptr, WS_CHILD | WS_VISIBLE);

        web.Create(m_hWnd, CRect(360, 100, 760, 300), "about:blank", WS_CHILD | WS_VISIBLE | WS_BORDER);

        linkBar.Background().LoadSkinFile("scrollbarbkgnd.png");
        linkBar.SetLink1("http://127.0.0.1/", "访问Kamo财经网");
        for (const char* f : {"arrow1.png", "arrow2.png", "arrow3.png"}) linkBar.AddLinkImage(LoadSkinPicture(f));
        linkBar.SetLink2("http://127.0.0.1/ask", "在线诊股");
        linkBar.SetLinkFont(GetGdiCache()->GetFont(12, "宋体", false));
        linkBar.Ticker().SetTextColor(RGB(0, 0, 255));
        linkBar.Ticker().SetTickerFont(GetGdiCache()->GetFont(13, "宋体", false));
        linkBar.Ticker().SetTimerPeriod(20);
        linkBar.Create(m_hWnd, CRect(0, 0, 100, 28), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
        linkBar.Ticker().SetNewsText(
            "沪指震荡收涨 成交额放大\thttp://127.0.0.1/n1\r\n券商板块午后走强\thttp://127.0.0.1/n2\r\n"
            "北向资金净流入超50亿\thttp://127.0.0.1/n3\r\n");
        linkBar.Ticker().SetOffset(520);

        status.LoadBackground("statusbarbkgnd.png");
        status.Create(m_hWnd, CRect(0, 0, 100, 24), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
        HFONT bold = GetGdiCache()->GetFont(12, "宋体", true);
        std::vector<StatusPane> panes(3);
        panes[0].runs = {{"上证指数", 0, nullptr}, {" 3021.45", RGB(255, 0, 0), bold}, {" +12.30", RGB(255, 0, 0), bold}, {" 0.41%", RGB(255, 0, 0), bold}};
        panes[1].runs = {{"深证成指", 0, nullptr}, {" 9876.54", RGB(0, 128, 0), bold}, {" -25.10", RGB(0, 128, 0), bold}};
        panes[2].runs = {{"上涨:", 0, nullptr}, {" 2310", RGB(255, 0, 0), GetGdiCache()->GetFont(12, "宋体", false)}};
        status.SetPanes(panes);
        status.SetStatusText("行情连接正常");
        return 0;
    }

    void OnSize(UINT, CSize size) {
        UpdateRegion();
        int b = commandBar.GetClientRect().Height(), s = status.GetBarHeight(), t = linkBar.GetBarHeight();
        commandBar.SetWindowPos(nullptr, 0, 0, size.cx, b, SWP_NOZORDER | SWP_NOACTIVATE);
        status.SetWindowPos(nullptr, 0, size.cy - s, size.cx, s, SWP_NOZORDER | SWP_NOACTIVATE);
        linkBar.SetWindowPos(nullptr, 0, size.cy - s - t, size.cx, t, SWP_NOZORDER | SWP_NOACTIVATE);
        tabs.SetWindowPos(nullptr, 10, b + 10, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
        Invalidate(TRUE);
    }
};

void Build(CGalleryFrame& g) {
    LoadSkin();
    ASSERT_NE(g.Create(nullptr, CRect(40, 40, 1000, 720), "Quorvel股票分析系统 - 控件一览", WS_OVERLAPPEDWINDOW | WS_VISIBLE),
              nullptr);
    Pump();
}

TEST(ControlGallery, EveryControlIsThere) {
    ::OleInitialize(nullptr);
    {
        CGalleryFrame g;
        Build(g);
        EXPECT_TRUE(g.IsThemeLoaded());
        EXPECT_EQ(g.commandBar.Buttons().size(), 8u);
        EXPECT_EQ(g.GetMenuButtonCount(), 6u);
        for (HWND w : {g.tabs.m_hWnd, g.linkBar.m_hWnd, g.status.m_hWnd, g.gradient.m_hWnd, g.verdict.m_hWnd,
                       g.preview.m_hWnd, g.close.m_hWnd})
            EXPECT_TRUE(::IsWindowVisible(w));
        CSnapshot status(g.status);
        EXPECT_GT(status.Ink(CRect(0, 0, 300, status.height()), status.At(2, 2)), 100);
        g.DestroyWindow();
    }
    ::OleUninitialize();
}

// Run by scripts/screenshot; shows the gallery for VELMORA_SHOW_MS milliseconds.
TEST(ControlGallery, DISABLED_Show) {
    ::OleInitialize(nullptr);
    {
        CGalleryFrame g;
        Build(g);
        // Held by the "mouse" with the headlines at the left, as a person resting on it sees them.
        int cw = g.linkBar.Ticker().GetClientRect().Width();
        g.linkBar.Ticker().SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        g.linkBar.Ticker().SetOffset(cw + 10);
        const char* ms = std::getenv("VELMORA_SHOW_MS");
        DWORD until = ::GetTickCount() + (ms ? (DWORD)std::atoi(ms) : 20000);
        while ((int)(until - ::GetTickCount()) > 0) {
            Pump();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        g.DestroyWindow();
    }
    ::OleUninitialize();
}

}  // namespace
