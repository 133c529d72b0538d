// The company-information view with a text of the fixture service: pages, tabs, the keys it hands
// on, and reloads from a worker while the tabs are clicked.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "analysis/stprofile.h"
#include "base/inflate.h"
#include "charts/f10pages.h"
#include "charts/f10view.h"
#include "charts/hand_stock.h"
#include "store/database.h"
#include "store/store_files.h"
#include "test_servers.h"

namespace {

class Host : public CWindowImpl<Host, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraF10Host")
    BEGIN_MSG_MAP(Host)
    END_MSG_MAP()
};

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string EditText(HWND edit) {
    std::vector<char> buf(size_t(::GetWindowTextLengthA(edit)) + 1);
    ::GetWindowTextA(edit, buf.data(), int(buf.size()));
    return buf.data();
}

class RecordingProcessor : public CMessageProcessor {
public:
    int AddAcceptor(int id, CMessageAcceptor* a) override {
        acceptors.push_back({id, a});
        return 1;
    }
    int SendMessage(int id, intptr_t w, intptr_t l) override {
        sent.push_back({id, int(w)});
        for (auto& e : acceptors)
            if (e.first == id) e.second->OnMessage(id, w, l);
        return 0;
    }
    std::vector<std::pair<int, CMessageAcceptor*>> acceptors;
    std::vector<std::pair<int, int>> sent;
};

// The company text of 600000 as the service sends it, unpacked.
std::string FetchCompanyText(std::string* why) {
    velmora_test::FixtureProcess fixture;
    if (!fixture.Start({"--seed", "1", "--now", "2024-03-04 16:00"}, why)) return std::string();
    std::string reply = velmora_test::RawExchange(
        fixture.Port(), "GET /hqdatagzip/F10/sh600000.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    size_t at = reply.find("\r\n\r\n");
    if (at == std::string::npos) {
        *why = "no reply";
        return std::string();
    }
    std::string body = reply.substr(at + 4);
    unsigned char* out = nullptr;
    size_t n = 0;
    int rc = InflateBuffer(body.data(), body.size(), &out, &n, true);
    std::string text = rc == 0 ? std::string(reinterpret_cast<char*>(out), n) : std::string();
    std::free(out);
    if (rc != 0) *why = "the body did not unpack";
    return text;
}

}  // namespace

TEST(CompanyView, ShowsTheFixturesTextPageByPage) {
    ASSERT_EQ(GetACP(), 936u);
    std::string why;
    const std::string text = FetchCompanyText(&why);
    ASSERT_FALSE(text.empty()) << why;
    ASSERT_NE(text.find("、========"), std::string::npos);

    store_test::TempRoot root;
    ASSERT_TRUE(GetDatabase().Open(root.Folder().c_str(), 2));
    store_test::WriteBytes(root.Path("hqdata\\sh\\bas\\600000_1.txt"), text);
    CStockContainer& list = GetStockContainer();
    for (const char* code : {"600000_1", "600001_1"}) {
        CStockInfo info;
        info.SetStockCode(kMarketShangHai, code);
        info.SetType(kindShA);
        list.Add(info);
    }
    list.RebuildCodeMap();
    GetProfile().SetCurrentStock("600000_1", false);

    RecordingProcessor processor;
    Host host;
    RECT r = {0, 0, 1000, 700};
    ASSERT_TRUE(host.Create(nullptr, r, "Velmora company", WS_OVERLAPPEDWINDOW));
    CF10View view(kViewF10, &processor);
    chart_test::HandCurrentStock(view);
    RECT c = {0, 0, 1000, 660};
    ASSERT_TRUE(view.CreateView(host, c));
    view.Reload(1);
    Pump();
    EXPECT_GE(view.GetPageCount(), 3u);
    EXPECT_NE(EditText(view.GetEdit()).find("最新提示第1项"), std::string::npos);
    // The tabs: 8 a row, 70 px wide, centred in a 1000 px view; a click on the second shows it.
    RECT second = view.GetTabRect(1);
    EXPECT_EQ(second.right - second.left, 70);
    view.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(second.left + 10, second.top + 5));
    EXPECT_EQ(view.GetSelectedPage(), 1);
    EXPECT_NE(EditText(view.GetEdit()).find("公司概况第1项"), std::string::npos);
    EXPECT_FALSE(view.SelectPage(16));
    EXPECT_FALSE(view.SelectPage(-1));

    // Esc goes back to the intraday view through command 4000.
    processor.SendMessage(kAppMsgKey, VK_ESCAPE, 0);
    bool back = false;
    for (auto& s : processor.sent) back |= s.first == kAppMsgCommand && s.second == 4000;
    EXPECT_TRUE(back);

    // A stock without a text yet.
    GetProfile().SetCurrentStock("600001_1", false);
    chart_test::HandCurrentStock(view);
    view.Reload(1);
    Pump();
    EXPECT_EQ(EditText(view.GetEdit()), "正在下载公司信息数据");

    // Reloads from a worker while the tabs are clicked: neither side waits for the other.
    GetProfile().SetCurrentStock("600000_1", false);
    chart_test::HandCurrentStock(view);
    std::atomic<bool> done{false}, uiDone{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1800 && !done.load(); ++i) ::Sleep(100);  // watchdog
        if (!done.load()) {
            std::fprintf(stderr, "company view: no progress in 180 s\n");
            std::_Exit(3);
        }
    });
    std::thread worker([&] {
        for (int i = 0; i < 5000 && (!uiDone.load() || i < 30); ++i) view.Reload(1);
    });
    for (int round = 0; round < 200; ++round) {
        RECT t = view.GetTabRect(round % 16);
        view.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(t.left + 5, t.top + 5));
        Pump();
    }
    uiDone.store(true);
    worker.join();
    Pump();
    done.store(true);
    watchdog.join();
    // Whichever came last, the text shown is the selected tab's page.
    const std::string shown = EditText(view.GetEdit());
    const std::string title = F10PageTitles()[size_t(view.GetSelectedPage())];
    EXPECT_TRUE(shown.find(title + "第1项") != std::string::npos || shown == "正在下载公司信息数据") << title;
    host.DestroyWindow();
}
