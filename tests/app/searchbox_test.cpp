// The search box in a host window over the fixture service's code list: typed codes, initials
// and indicator names list the right lines; Enter and a click send the stock's code (4028) or the
// indicator (4025) through the message bus; the keys, focus and layout of the open box, and what
// it leaves to be drawn again when it closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "analysis/catalog.h"
#include "app/messagebus.h"
#include "app/searchbox.h"
#include "charts/fixture_data.h"
#include "skin/skinmanager.h"

namespace {

class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraSearchTestHost")
    BEGIN_MSG_MAP(CHost)
    END_MSG_MAP()
};

struct Recorder : CMessageAcceptor {
    int OnMessage(int id, intptr_t wParam, intptr_t lParam) override {
        ids.push_back(id);
        if (id == kAppMsgOpenCode) codes.push_back(wParam ? reinterpret_cast<const char*>(wParam) : "");
        else values.push_back(wParam);
        (void)lParam;
        return 1;
    }
    void Clear() { ids.clear(), codes.clear(), values.clear(); }
    std::vector<int> ids;
    std::vector<std::string> codes;
    std::vector<intptr_t> values;
};

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

void SetKey(int vk, bool down) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[vk] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

chart_test::FixtureData* g_data = nullptr;
std::string g_why;

class SearchBoxWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_data = new chart_test::FixtureData;
        if (!g_data->Load(1, &g_why)) g_why = "fixture: " + g_why;
        else g_why.clear();
    }
    static void TearDownTestSuite() {
        delete g_data;
        g_data = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(g_why.empty()) << g_why;
        DestroySkinManager();
        LoadSkin();
        bus.AddAcceptor(kAppMsgOpenCode, &sent);
        bus.AddAcceptor(kAppMsgIndicator, &sent);
        ASSERT_NE(host.Create(nullptr, CRect(20, 20, 620, 520), "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
        other = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, host, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
        // As the content panel makes it: hidden, 200 by 300, indicators included, hidden on close.
        ASSERT_NE(box.Create(host, CRect(0, 0, 200, 300), "", WS_CHILD), nullptr);
        ASSERT_EQ(box.Build(GetStockContainer(), true), 1);
        box.SetOption(1);
        ::SetForegroundWindow(host);
        ::SetFocus(other);
        Pump();
    }
    void TearDown() override {
        SetKey(VK_CONTROL, false);
        SetKey(VK_SHIFT, false);
        if (host.IsWindow()) host.DestroyWindow();
        Pump();
    }
    BOOL Key(UINT vk) {
        MSG m = {box.GetEdit(), WM_KEYDOWN, vk, 1, 0, {0, 0}};
        return box.OnKeyDown(&m);
    }
    void Type(const char* text) {
        for (const char* p = text; *p; ++p) {
            if (!box.IsWindowVisible()) box.OnChar(UINT(*p), 0, false);
            else EXPECT_TRUE(Key(UINT(*p)));
        }
        Pump();
    }
    // Every stock of the code list whose plain code begins with the text, as the box shows it.
    static std::vector<std::string> CodeLines(const char* prefix) {
        std::vector<std::string> lines;
        CStockContainer& all = GetStockContainer();
        for (int i = 0; i < all.GetSize(); ++i) {
            std::string code = all[i].GetStockCode();
            if (code.size() > 5 && code.compare(0, std::strlen(prefix), prefix) == 0)
                lines.push_back(code.substr(0, code.size() - 2) + "  " + all[i].GetStockName());
        }
        return lines;
    }

    MessageBus bus;
    Recorder sent;
    CHost host;
    HWND other = nullptr;
    CSearchBox box{&bus};
};

TEST_F(SearchBoxWindow, TypedCodesListTheStocksAndEnterOpensOne) {
    EXPECT_FALSE(box.IsWindowVisible());
    Type("6");
    EXPECT_TRUE(box.IsWindowVisible());
    EXPECT_EQ(::GetFocus(), box.GetEdit());
    EXPECT_EQ(box.GetLines(), CodeLines("6"));
    Type("00");
    EXPECT_EQ(box.GetText(), "600");
    const std::vector<std::string> expected = CodeLines("600");
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(box.GetLines(), expected);
    EXPECT_EQ(box.GetSelection(), 0);

    // Down twice and Up once: the second line; Enter opens its stock by code.
    EXPECT_TRUE(Key(VK_DOWN));
    EXPECT_TRUE(Key(VK_DOWN));
    EXPECT_TRUE(Key(VK_UP));
    EXPECT_EQ(box.GetSelection(), 1);
    EXPECT_TRUE(Key(VK_RETURN));
    ASSERT_EQ(sent.codes.size(), 1u);
    EXPECT_EQ(sent.codes[0].substr(0, 6), expected[1].substr(0, 6));
    EXPECT_EQ(sent.codes[0].size(), 8u);
    // Closed: hidden, emptied, the focus back where it was.
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_EQ(box.GetText(), "");
    EXPECT_EQ(::GetFocus(), other);

    // The full code of the composite index and of a Shenzhen stock: both stand for 000001.
    Type("000001");
    EXPECT_EQ(box.GetLines(), (std::vector<std::string>{"000001  上证指数", CodeLines("000001").at(0)}));
    EXPECT_TRUE(Key(VK_RETURN));
    EXPECT_EQ(sent.codes.back(), "1A0001_1");
}

TEST_F(SearchBoxWindow, InitialsAndIndicatorNames) {
    // Two plain initials of a share: every stock whose initials begin with them is listed.
    CStockContainer& all = GetStockContainer();
    std::string prefix;
    for (int i = 0; i < all.GetSize() && prefix.empty(); ++i) {
        const char* k = all[i].GetStockShortName();
        if (std::isupper((unsigned char)k[0]) && std::isupper((unsigned char)k[1]) && k[0] != 'S' && k[0] != 'C')
            prefix.assign(k, 2);
    }
    ASSERT_EQ(prefix.size(), 2u);
    Type(prefix.c_str());
    std::set<std::string> names, expected;
    for (const std::string& line : box.GetLines()) {
        EXPECT_EQ(line.compare(0, 2, prefix), 0) << line;
        names.insert(line.substr(line.find("  ") + 2));
    }
    for (int i = 0; i < all.GetSize(); ++i)
        if (std::strncmp(all[i].GetStockShortName(), prefix.c_str(), 2) == 0) expected.insert(all[i].GetStockName());
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(std::includes(names.begin(), names.end(), expected.begin(), expected.end())) << prefix;
    EXPECT_TRUE(Key(VK_ESCAPE));
    // A polyphonic name is listed once per matching variant of its initials.
    Type("STZ");
    std::vector<std::string> lines = box.GetLines();
    for (const char* line : {"STZC  *ST长重", "STZZ  *ST长重"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "STCZ  *ST长重"), 0);
    EXPECT_TRUE(Key(VK_ESCAPE));
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_TRUE(sent.ids.empty());

    // Shift and 8 types '*': the *ST stocks by their starred initials.
    Type("S");
    EXPECT_TRUE(Key(VK_BACK));
    SetKey(VK_SHIFT, true);
    EXPECT_TRUE(Key('8'));
    SetKey(VK_SHIFT, false);
    EXPECT_EQ(box.GetText(), "*");
    const std::vector<std::string> starred = box.GetLines();
    ASSERT_FALSE(starred.empty());
    for (const std::string& line : starred) EXPECT_EQ(line.compare(0, 3, "*ST"), 0) << line;
    EXPECT_TRUE(Key(VK_ESCAPE));

    // The indicator by its short name and by its number (numeric pad digits): Enter sends 4025 with 9.
    // MA is used up before the typed text ends, so it is listed too.
    Type("MACD");
    EXPECT_EQ(box.GetLines(),
              (std::vector<std::string>{"MA  " + GetTechnicalName(1), "MACD  " + GetTechnicalName(9)}));
    EXPECT_TRUE(Key(VK_DOWN));
    EXPECT_TRUE(Key(VK_RETURN));
    box.OnChar(VK_NUMPAD0, 0, false);
    EXPECT_TRUE(Key(VK_NUMPAD9));
    EXPECT_EQ(box.GetLines(), (std::vector<std::string>{"09  " + GetTechnicalName(9)}));
    // Ctrl does not hold back an indicator.
    SetKey(VK_CONTROL, true);
    EXPECT_TRUE(Key(VK_RETURN));
    SetKey(VK_CONTROL, false);
    EXPECT_EQ(sent.ids, (std::vector<int>{kAppMsgIndicator, kAppMsgIndicator}));
    EXPECT_EQ(sent.values, (std::vector<intptr_t>{9, 9}));
    EXPECT_TRUE(sent.codes.empty());
}

TEST_F(SearchBoxWindow, KeysOfTheOpenBox) {
    Type("60000");
    const int count = int(box.GetLines().size());
    ASSERT_GE(count, 2);
    // Up from the first line wraps to the last, Down from the last back to the first.
    EXPECT_TRUE(Key(VK_UP));
    EXPECT_EQ(box.GetSelection(), count - 1);
    EXPECT_TRUE(Key(VK_DOWN));
    EXPECT_EQ(box.GetSelection(), 0);
    // Any other key is swallowed without effect.
    EXPECT_TRUE(Key(VK_F5));
    EXPECT_EQ(box.GetText(), "60000");

    // Backspace drops one character and refilters; on an empty edit the box stays open and empty.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Key(VK_BACK));
    EXPECT_EQ(box.GetText(), "");
    EXPECT_TRUE(box.GetLines().empty());
    EXPECT_TRUE(Key(VK_BACK));
    EXPECT_TRUE(box.IsWindowVisible());
    // Enter with nothing listed is not consumed and leaves the box open.
    EXPECT_FALSE(Key(VK_RETURN));
    EXPECT_TRUE(box.IsWindowVisible());

    // A leading space is ignored; spaces only list nothing.
    EXPECT_TRUE(Key(VK_SPACE));
    EXPECT_TRUE(box.GetLines().empty());
    EXPECT_TRUE(Key('6'));
    EXPECT_EQ(box.GetLines(), CodeLines("6"));

    // Ctrl and Enter on a stock closes the box and opens nothing; Ctrl keeps keys from typing.
    SetKey(VK_CONTROL, true);
    EXPECT_TRUE(Key('1'));
    EXPECT_EQ(box.GetText(), " 6");
    EXPECT_TRUE(Key(VK_RETURN));
    SetKey(VK_CONTROL, false);
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_TRUE(sent.ids.empty());
}

TEST_F(SearchBoxWindow, ClickCloseButtonAndLayout) {
    Type("6");
    box.SetWindowPos(nullptr, 10, 10, 240, 320, SWP_NOZORDER);
    CRect client = box.GetClientRect(), edit, list, button;
    ::GetWindowRect(box.GetEdit(), &edit);
    box.GetList().GetWindowRect(&list);
    box.GetCloseButton().GetWindowRect(&button);
    box.ScreenToClient(&edit);
    box.ScreenToClient(&list);
    box.ScreenToClient(&button);
    EXPECT_EQ(button.right, client.right - 2);
    EXPECT_EQ(button.top, (22 - button.Height()) / 2);
    EXPECT_EQ(edit, CRect(0, 0, client.Width() - button.Width() - 4, 22));
    EXPECT_EQ(list, CRect(0, 22, client.right, client.bottom));

    // A click on a line (button down and up in the list) chooses it.
    const std::vector<std::string> lines = box.GetLines();
    ASSERT_GE(lines.size(), 2u);
    CRect item;
    box.GetList().SendMessage(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 5, item.top + 2);
    box.GetList().SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    box.GetList().SendMessage(WM_LBUTTONUP, 0, at);
    EXPECT_NE(::GetCapture(), box.GetList().m_hWnd);
    Pump();
    ASSERT_EQ(sent.codes.size(), 1u);
    EXPECT_FALSE(box.IsWindowVisible());
    std::string name = lines[1].substr(lines[1].find("  ") + 2), named;
    GetStockContainer().GetStockName(sent.codes[0].c_str(), &named);
    EXPECT_EQ(named, name);

    // The close button closes without a choice.
    Type("6");
    box.SendMessage(WM_COMMAND, MAKEWPARAM(kSearchCloseId, BN_CLICKED), reinterpret_cast<LPARAM>(box.GetCloseButton().m_hWnd));
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_EQ(sent.codes.size(), 1u);
    EXPECT_EQ(::GetFocus(), other);
}

TEST_F(SearchBoxWindow, ClosingLeavesWhatTheBoxCoveredToBeDrawnAgain) {
    // However the box closes, the host and the window it lay over are due to draw what it covered.
    struct Way {
        const char* what;
        std::function<void()> close;
    } ways[] = {
        {"close button", [&] { box.SendMessage(WM_COMMAND, MAKEWPARAM(kSearchCloseId, BN_CLICKED), 0); }},
        {"Escape", [&] { EXPECT_TRUE(Key(VK_ESCAPE)); }},
        {"Enter", [&] { EXPECT_TRUE(Key(VK_RETURN)); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        Type("6");
        ASSERT_TRUE(box.IsWindowVisible());
        // Over part of the other window.
        box.SetWindowPos(nullptr, 10, 10, 200, 300, SWP_NOZORDER);
        Pump();
        ::ValidateRect(host, nullptr);
        ::ValidateRect(other, nullptr);
        way.close();
        EXPECT_FALSE(box.IsWindowVisible());
        EXPECT_EQ(box.GetText(), "");
        EXPECT_EQ(::GetFocus(), other);
        CRect due;
        EXPECT_TRUE(::GetUpdateRect(host, &due, FALSE));
        EXPECT_EQ(due, CRect(10, 10, 210, 310));
        EXPECT_TRUE(::GetUpdateRect(other, &due, FALSE));
        EXPECT_EQ(due, CRect(10, 10, 100, 20));
        Pump();
    }
    // Over a window filling the host, as the content panel's view fills the panel: the host has
    // nothing of its own there to draw.
    HWND view = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 400, host, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(view, nullptr);
    Type("6");
    box.SetWindowPos(HWND_TOP, 10, 30, 200, 300, 0);
    Pump();
    ::ValidateRect(host, nullptr);
    ::ValidateRect(view, nullptr);
    EXPECT_TRUE(Key(VK_ESCAPE));
    CRect due;
    EXPECT_FALSE(::GetUpdateRect(host, &due, FALSE)) << due.left << "," << due.top << " " << due.right << "," << due.bottom;
    EXPECT_TRUE(::GetUpdateRect(view, &due, FALSE));
    EXPECT_EQ(due, CRect(10, 30, 210, 330));
}

// Not run by the suite: the open box at the host's bottom-right corner, for a person to look at:
//   VELMORA_SHOW_MS=60000 scripts/screenshot -o search.png build/win32/tests/app/app_search_box_test.exe \
//       --gtest_also_run_disabled_tests --gtest_filter='*Show*'
TEST_F(SearchBoxWindow, DISABLED_ShowOpenBox) {
    CRect client = host.GetClientRect();
    box.SetWindowPos(nullptr, client.right - 200, client.bottom - 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Type("60");
    EXPECT_TRUE(Key(VK_DOWN));
    const char* ms = std::getenv("VELMORA_SHOW_MS");
    const DWORD until = ::GetTickCount() + (ms ? std::atoi(ms) : 20000);
    while (::GetTickCount() < until && host.IsWindow()) {
        Pump();
        ::Sleep(50);  // a person looks meanwhile
    }
}

}  // namespace
