// The side panel as a window in a host frame with a message bus: the watch list added to,
// deleted from and written back, stocks opened through the bus, and the sector tree built from
// the sector downloader's lists on the window's thread even when the rebuild is asked for from a worker.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/extrainfoview.h"
#include "app/messagebus.h"
#include "base/fsutil.h"
#include "skin/skinmanager.h"
#include "store/database.h"
#include "store/groups.h"
#include "store/storeenv.h"

#include <commctrl.h>

namespace {

class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraExtraTestHost")
    BEGIN_MSG_MAP(CHost)
    END_MSG_MAP()
};

struct Opened : CMessageAcceptor {
    int OnMessage(int id, intptr_t wParam, intptr_t) override {
        codes.push_back(wParam ? reinterpret_cast<const char*>(wParam) : "");
        threads.push_back(::GetCurrentThreadId());
        (void)id;
        return 1;
    }
    std::vector<std::string> codes;
    std::vector<DWORD> threads;
};

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

std::string ReadFile(const std::string& path) {
    std::string data;
    velmora::ReadWholeFile(path.c_str(), data, 1 << 20);
    return data;
}

void WriteFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

class ExtraInfoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        DestroySkinManager();
        LoadSkin();
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "velmora_extra_" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(dir.c_str(), nullptr);
        path = dir + "\\usrstock.dat";
        ::DeleteFileA(path.c_str());
        bus.AddAcceptor(kAppMsgOpenCode, &opened);
        view.RegisterNotifySink(&bus);
        view.SetWatchListPath(path);
        ASSERT_NE(host.Create(nullptr, CRect(20, 20, 420, 520), "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE), nullptr);
    }
    void Open() {
        ASSERT_NE(view.Create(host, CRect(0, 0, kExtraWidth, 460), nullptr, WS_CHILD | WS_VISIBLE), nullptr);
        view.ShowListPage(32801);
        Pump();
    }
    void TearDown() override {
        if (host.IsWindow()) host.DestroyWindow();
        Pump();
        ::DeleteFileA(path.c_str());
        ::RemoveDirectoryA(dir.c_str());
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < view.GetList().GetItemCount(); ++i)
            rows.push_back(view.GetList().GetItemText(i, 0) + "|" + view.GetList().GetItemText(i, 1));
        return rows;
    }
    void PressDelete() {
        MSG m = {view.GetList().m_hWnd, WM_KEYDOWN, VK_DELETE, 0, 0, {0, 0}};
        EXPECT_TRUE(view.PreTranslateMessage(&m));
    }
    std::string dir, path;
    MessageBus bus;
    Opened opened;
    CHost host;
    CExtraInfoView view;
};

TEST_F(ExtraInfoWindow, AddsFromTheBusDeletesByKeyAndKeepsTheFileInStep) {
    WriteFile(path, "000002_0;万科A\r\n");
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"000002|万科A"}));

    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "600000_1", (intptr_t) "浦发银行");
    // The same plain code in the other market is a duplicate; a code without market is refused.
    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "600000_0", (intptr_t) "other");
    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "600036", (intptr_t) "招商银行");
    bus.SendMessage(kAppMsgAddToWatch, 0, (intptr_t) "no code");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"000002|万科A", "600000|浦发银行"}));
    EXPECT_EQ(ReadFile(path), "000002_0;万科A\r\n600000_1;浦发银行\r\n");

    // Delete while the tree page is shown removes nothing; keys are swallowed all the same.
    view.GetList().SelectItem(0, 0, 0);
    view.ShowListPage(0);
    PressDelete();
    EXPECT_EQ(Rows().size(), 2u);
    view.ShowListPage(32801);
    view.GetList().SelectItem(0, 0, 0);
    PressDelete();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"600000|浦发银行"}));
    EXPECT_EQ(ReadFile(path), "600000_1;浦发银行\r\n");
    MSG other = {view.m_hWnd, WM_KEYUP, VK_DELETE, 0, 0, {0, 0}};
    EXPECT_FALSE(view.PreTranslateMessage(&other));

    // Closing the panel writes the list once more; the next panel reads it back.
    host.DestroyWindow();
    Pump();
    EXPECT_EQ(ReadFile(path), "600000_1;浦发银行\r\n");
}

// The frame makes the panel's window only when it is needed: a stock given before that makes it,
// hidden, and lands in the list and the file; the sector tree's refresh waits for the window.
TEST_F(ExtraInfoWindow, MadeWhenFirstNeeded) {
    WriteFile(path, "000002_0;万科A\r\n");
    EXPECT_FALSE(view.EnsureWindow()) << "no parent given yet";
    view.SetCreateParams(host, CRect(0, 0, kExtraWidth, 460), 5104);
    bus.SendMessage(kAppMsgSectorsChanged, 0, 0);
    EXPECT_EQ(view.m_hWnd, nullptr) << "a tree refresh makes no window";
    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "600000_1", (intptr_t) "浦发银行");
    ASSERT_NE(view.m_hWnd, nullptr);
    EXPECT_EQ(::GetParent(view), host.m_hWnd);
    EXPECT_EQ(::GetDlgCtrlID(view), 5104);
    EXPECT_FALSE(view.IsWindowVisible()) << "shown by the frame, not by the stock";
    EXPECT_EQ(Rows(), (std::vector<std::string>{"000002|万科A", "600000|浦发银行"}));
    EXPECT_EQ(ReadFile(path), "000002_0;万科A\r\n600000_1;浦发银行\r\n");
    HWND made = view.m_hWnd;
    EXPECT_TRUE(view.EnsureWindow());
    EXPECT_EQ(view.m_hWnd, made) << "made once";
}

TEST_F(ExtraInfoWindow, PagesSitUnderTheTabStripBesideTheCloseButton) {
    Open();
    auto rectOf = [&](HWND w) {
        CRect r;
        ::GetWindowRect(w, &r);
        ::MapWindowPoints(nullptr, view.m_hWnd, (POINT*)&r, 2);
        return r;
    };
    CRect tabs = rectOf(view.GetTabs()), close = rectOf(view.GetCloseButton()), list = rectOf(view.GetList());
    ASSERT_GT(tabs.Height(), 0);
    EXPECT_EQ(close.right, kExtraWidth - 2);
    EXPECT_EQ(tabs.right, close.left);
    EXPECT_EQ(list.top, tabs.Height() + 2);
    EXPECT_EQ(list.bottom, 460);
    view.SendMessage(WM_COMMAND, kExtraTreePageId, 0);
    EXPECT_FALSE(view.GetList().IsWindowVisible());
    ASSERT_TRUE(::IsWindowVisible(view.GetTree()));
    EXPECT_EQ(rectOf(view.GetTree()).top, tabs.Height() + 2);
    view.SendMessage(WM_COMMAND, kExtraCloseId, 0);
    EXPECT_FALSE(view.IsWindowVisible());
}

TEST_F(ExtraInfoWindow, DoubleClickOnARowOpensItsStockThroughTheBus) {
    Open();
    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "000001_0", (intptr_t) "平安银行");
    bus.SendMessage(kAppMsgAddToWatch, (intptr_t) "600519_1", (intptr_t) "贵州茅台");
    Pump();
    CSkinListCtrlData& list = view.GetList();
    CRect cell;
    ASSERT_TRUE(list.GetCellRect(1, 1, &cell));
    LPARAM at = MAKELPARAM(cell.left + 10, cell.top + 4);
    opened.codes.clear();
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    list.SendMessage(WM_LBUTTONUP, 0, at);
    ASSERT_FALSE(opened.codes.empty());
    for (const std::string& code : opened.codes) EXPECT_EQ(code, "600519_1");
    // Below the rows nothing opens.
    opened.codes.clear();
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 440));
    list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(20, 440));
    EXPECT_TRUE(opened.codes.empty());
}

// A member file: a 16-bit count, then per member a kind byte after a zero (16 to 31 Shanghai) and
// the six-digit code.
std::string MemberFile(const std::vector<std::string>& codes) {
    std::string out(2, '\0');
    int16_t n = int16_t(codes.size());
    memcpy(&out[0], &n, 2);
    for (const std::string& c : codes) out += std::string(1, '\0') + char(c[7] == '1' ? 17 : 33) + c.substr(0, 6);
    return out;
}

TEST_F(ExtraInfoWindow, SectorsChangedFromAWorkerRebuildTheTreeOnTheWindowThread) {
    Open();
    HWND tree = view.GetTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(::SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);

    // Two categories of the sector folder tree, read into the process-wide downloader.
    SetProgramFolder((dir + "\\").c_str());
    GetStockContainer().Clear();
    for (auto s : {std::make_pair("600000_1", "浦发银行"), std::make_pair("000001_0", "平安银行"),
                   std::make_pair("600036_1", "招商银行")}) {
        CStockInfo info;
        info.SetStockCode(kMarketUnknown, s.first);
        info.SetStockName(s.second);
        GetStockContainer().Add(info);
    }
    GetStockContainer().RebuildCodeMap();
    const std::string root = dir + "\\hqdata";
    for (const std::string& folder : {root, root + "\\group", root + "\\group\\重点", root + "\\group\\重点\\核心",
                                      root + "\\group\\银行", root + "\\group\\银行\\大行"})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    WriteFile(root + "\\group\\重点\\核心\\g1.dat", MemberFile({"600000_1", "000001_0"}));
    WriteFile(root + "\\group\\银行\\大行\\g2.dat", MemberFile({"600036_1"}));
    ASSERT_EQ(GetGroupDownloader()->DownloadGroups(false, nullptr), 1);

    std::atomic<bool> done(false);
    std::thread worker([&] {
        // Asked twice before the window's thread gets to it: one rebuild.
        bus.SendMessage(kAppMsgSectorsChanged, 0, 0);
        bus.SendMessage(kAppMsgSectorsChanged, 0, 0);
        done = true;
    });
    // The worker does not wait for this thread: it is done before the tree is rebuilt here.
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(::SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);
    Pump();
    // The folders may go afterwards: the items keep their own texts.
    GetStockContainer().Clear();
    FreeGroupDownloader();

    auto text = [&](HTREEITEM item) {
        char buf[64] = {};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = buf;
        tv.cchTextMax = sizeof buf;
        EXPECT_TRUE(::SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv));
        return std::string(buf);
    };
    auto next = [&](HTREEITEM item, UINT how) { return (HTREEITEM)::SendMessageA(tree, TVM_GETNEXTITEM, how, (LPARAM)item); };
    // Categories and their groups (GBK order: 银 before 重); a group's members come when it is
    // first expanded, once.
    EXPECT_EQ(::SendMessageA(tree, TVM_GETCOUNT, 0, 0), 4);
    HTREEITEM banks = next(nullptr, TVGN_ROOT);
    EXPECT_EQ(text(banks), "银行");
    HTREEITEM big = next(banks, TVGN_CHILD);
    EXPECT_EQ(text(big), "大行");
    EXPECT_EQ(next(big, TVGN_CHILD), nullptr);
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)banks);
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)big);
    EXPECT_EQ(text(next(big, TVGN_CHILD)), "招商银行");
    HTREEITEM group = next(banks, TVGN_NEXT);
    EXPECT_EQ(text(group), "重点");
    HTREEITEM core = next(group, TVGN_CHILD);
    EXPECT_EQ(text(core), "核心");
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)core);
    ::SendMessageA(tree, TVM_EXPAND, TVE_COLLAPSE, (LPARAM)core);
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)core);
    EXPECT_EQ(::SendMessageA(tree, TVM_GETCOUNT, 0, 0), 7);
    HTREEITEM stock = next(core, TVGN_CHILD);
    EXPECT_EQ(text(stock), "浦发银行");
    EXPECT_EQ(text(next(stock, TVGN_NEXT)), "平安银行");
    EXPECT_EQ(next(next(stock, TVGN_NEXT), TVGN_NEXT), nullptr);

    // A double click opens a stock item by its code and does nothing on a category or a group.
    NMHDR dbl = {tree, kExtraTreeId, (UINT)NM_DBLCLK};
    opened.codes.clear();
    for (HTREEITEM item : {group, core}) {
        ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
        view.SendMessage(WM_NOTIFY, kExtraTreeId, (LPARAM)&dbl);
    }
    EXPECT_TRUE(opened.codes.empty());
    for (HTREEITEM item : {next(stock, TVGN_NEXT), next(big, TVGN_CHILD), stock}) {
        ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
        view.SendMessage(WM_NOTIFY, kExtraTreeId, (LPARAM)&dbl);
    }
    EXPECT_EQ(opened.codes, (std::vector<std::string>{"000001_0", "600036_1", "600000_1"}));

    // The tree's "add to watch list" takes the selected stock.
    view.SendMessage(WM_COMMAND, kExtraTreeAddId, 0);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"600000|浦发银行"}));

    // No sectors empty the tree.
    bus.SendMessage(kAppMsgSectorsChanged, 0, 0);
    EXPECT_EQ(::SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);
    SetProgramFolder(nullptr);
    for (const char* f : {"\\group\\重点\\核心\\g1.dat", "\\group\\银行\\大行\\g2.dat"}) ::DeleteFileA((root + f).c_str());
    for (const char* f : {"\\group\\重点\\核心", "\\group\\银行\\大行", "\\group\\重点", "\\group\\银行", "\\group", ""})
        ::RemoveDirectoryA((root + f).c_str());
}

}  // namespace
