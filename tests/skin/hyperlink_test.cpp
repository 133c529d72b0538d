// The hyperlink under the mouse and the keyboard: a press and release on the text follows the
// link (the parent's command or notification, or the page through the seam); a press off the
// text, or a release elsewhere, does nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/seams.h"
#include "skin/hyperlink.h"

namespace {

class CLinkHost : public CWindowImpl<CLinkHost> {
public:
    DECLARE_WND_CLASS("VelmoraTestLinkHost")
    std::vector<int> commands;
    std::vector<UINT_PTR> clicks;
    BEGIN_MSG_MAP(CLinkHost)
        MSG_WM_COMMAND(OnCommand)
        MSG_NOTIFY_CODE(NM_CLICK, OnClick)
    END_MSG_MAP()
    void OnCommand(UINT, int id, HWND) { commands.push_back(id); }
    LRESULT OnClick(LPNMHDR nm) {
        clicks.push_back(nm->idFrom);
        return 0;
    }
};

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        opened.clear();
        previous = SetOpenPageHook([this](const char* url) {
            opened.push_back(url);
            return true;
        });
        ASSERT_NE(host.Create(nullptr, CRect(0, 0, 320, 120), "links", WS_POPUP | WS_VISIBLE), nullptr);
        link.SetHyperLink("http://127.0.0.1/help");
        ASSERT_NE(link.Create(host, CRect(10, 10, 260, 40), "Velmora help", WS_CHILD | WS_VISIBLE, 0, 1016U), nullptr);
        // Lay the text out as painting does, into a memory DC.
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap bmp;
        bmp.CreateDIB32(250, 30);
        CSelectObject select(mem, bmp);
        link.SendMessage(WM_PRINTCLIENT, (WPARAM)mem.m_hDC, PRF_CLIENT);
        text = link.m_rcLink;
        ASSERT_FALSE(text.IsRectEmpty());
        ASSERT_LT(text.right, 240);  // room to the right of the text
    }
    void TearDown() override {
        host.DestroyWindow();
        SetOpenPageHook(previous);
    }
    LRESULT Mouse(UINT msg, int x, int y) {
        return link.SendMessage(msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
    }

    CLinkHost host;
    CSkinBitmapHyperLink link;
    CRect text;
    std::vector<std::string> opened;
    OpenPageHook previous;
};

TEST_F(HyperLinkTest, PressAndReleaseOnTheTextFollowsTheLink) {
    link.SetExtendedStyle(HLINK_COMMANDBUTTON);
    CPoint on = text.CenterPoint();
    struct Case {
        const char* what;
        CPoint down, up;
        bool captured, follows;
    } cases[] = {
        {"on the text", on, on, true, true},
        {"released off the text", on, CPoint(text.right + 5, on.y), true, false},
        {"released above the window", on, CPoint(on.x, -3), true, false},
        {"pressed off the text", CPoint(text.right + 5, on.y), on, false, false},
        {"pressed left of and above the window", CPoint(-4, -2), on, false, false},
    };
    for (const Case& c : cases) {
        host.commands.clear();
        Mouse(WM_LBUTTONDOWN, c.down.x, c.down.y);
        EXPECT_EQ(::GetCapture() == link.m_hWnd, c.captured) << c.what;
        Mouse(WM_LBUTTONUP, c.up.x, c.up.y);
        EXPECT_NE(::GetCapture(), link.m_hWnd) << c.what;  // let go in every case
        EXPECT_EQ(host.commands, c.follows ? std::vector<int>{1016} : std::vector<int>{}) << c.what;
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(HyperLinkTest, EnterAndSpaceFollowTheLinkOtherKeysDoNot) {
    EXPECT_EQ(link.SendMessage(WM_GETDLGCODE), DLGC_WANTCHARS);
    link.SetExtendedStyle(HLINK_NOTIFYBUTTON);
    link.SendMessage(WM_CHAR, VK_RETURN, 1);
    link.SendMessage(WM_CHAR, 'a', 1);
    link.SendMessage(WM_CHAR, VK_SPACE, 1);
    EXPECT_EQ(host.clicks, (std::vector<UINT_PTR>{1016, 1016}));
    EXPECT_TRUE(host.commands.empty());

    // Without a parent style the page opens, and the link shows as visited.
    link.SetExtendedStyle(0);
    EXPECT_FALSE(link.IsVisited());
    link.SendMessage(WM_CHAR, VK_RETURN, 1);
    EXPECT_EQ(opened, (std::vector<std::string>{"http://127.0.0.1/help"}));
    EXPECT_TRUE(link.IsVisited());
}

}  // namespace
