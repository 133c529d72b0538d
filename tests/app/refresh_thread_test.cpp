// The refresh thread against the fixture service: what it hands to the frame, the once-per-run
// relogin, a prompt stop with a silent service, and replies that change nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "app/refreshthread.h"
#include "app/urltable.h"
#include "base/text.h"
#include "net/services.h"
#include "store/storeenv.h"
#include "tests/net/fixture_suite.h"
#include "wait.h"

namespace {

class RecordingSink : public IRefreshSink {
public:
    void SetNews(const NewsItems& items) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_news = items;
        ++m_newsCount;
    }
    void SetStatusPanes(const StatusPaneList& panes) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_panes = panes;
        ++m_statusCount;
    }
    void RequestRelogin() override {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_relogins;
    }
    int NewsCount() { std::lock_guard<std::mutex> lock(m_lock); return m_newsCount; }
    int StatusCount() { std::lock_guard<std::mutex> lock(m_lock); return m_statusCount; }
    int Relogins() { std::lock_guard<std::mutex> lock(m_lock); return m_relogins; }
    NewsItems News() { std::lock_guard<std::mutex> lock(m_lock); return m_news; }
    StatusPaneList Panes() { std::lock_guard<std::mutex> lock(m_lock); return m_panes; }

private:
    std::mutex m_lock;
    NewsItems m_news;
    StatusPaneList m_panes;
    int m_newsCount = 0, m_statusCount = 0, m_relogins = 0;
};

template <typename Condition>
bool WaitFor(Condition condition, int limitMs = velmora_test::kEventMs) {
    return velmora_test::WaitUntil(condition, limitMs, 5);
}

// 2026-12-10 09:25 and 14:00 Beijing time.
constexpr long long kInReloginWindow = 1796865900;
constexpr long long kAfternoon = 1796882400;

class RefreshThreadTest : public velmora_test::FixtureSuite<3> {
protected:
    void SetUp() override {
        NeedFixture();
        Control("clear");
        Control("set?now=" + std::to_string(kAfternoon) + "&flag=1");
        SetUrl(kUrlSiteRoot, Url("/"));
        SetDataServerHost("127.0.0.1:" + std::to_string(s_fixture->Port()));
        ResetReloginDone();
        MarketOpenFlag.store(1);
        ServerDataTime.store(0);
    }
    void TearDown() override {
        Control("clear");
        ResetUrlTable();
        SetDataServerHost("");
        ResetReloginDone();
    }
    int Logged(const std::string& prefix) { return velmora_test::CountLoggedRequests(s_fixture->Port(), prefix); }
};

TEST_F(RefreshThreadTest, HandsOnHeadlinesStatusPanesAndHeartbeat) {
    RecordingSink sink;
    RefreshThread thread(&sink);
    thread.SetTickMs(0);
    ASSERT_NE(thread.Start(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return sink.NewsCount() > 0 && sink.StatusCount() > 0 && ServerDataTime.load() != 0; }));
    thread.Stop();

    NewsItems news = sink.News();
    ASSERT_EQ(news.headlines.size(), 5u);
    ASSERT_EQ(news.links.size(), 5u);
    // Converted to GBK (the central bank headline), links usable as sent.
    EXPECT_EQ(news.headlines[1].rfind(std::string("\xD1\xEB\xD0\xD0\xBF\xAA\xD5\xB9"), 0), 0u) << news.headlines[1];
    EXPECT_EQ(news.links[0], Url("/") + "html/gushibobao/0.html");
    EXPECT_EQ(news.links[4], Url("/") + "html/gushibobao/4.html");

    StatusPaneList panes = sink.Panes();
    ASSERT_EQ(panes.size(), 7u);
    EXPECT_EQ(panes[0].number, 4028);
    EXPECT_EQ(panes[3].number, 4031);
    EXPECT_EQ(panes[0].items[0].text, std::string("\xC9\xCF\xD6\xA4\xD6\xB8\xCA\xFD"));
    EXPECT_EQ(panes[4].number, 0);

    // The heartbeat set the process-wide values; 14:00 asks for no relogin.
    EXPECT_EQ(ServerDataTime.load(), kAfternoon);
    EXPECT_EQ(MarketOpenFlag.load(), 1);
    EXPECT_EQ(sink.Relogins(), 0);
    EXPECT_GT(Logged("/login/login.php"), 0);
}

TEST_F(RefreshThreadTest, ClosedMarketFetchesNoStatus) {
    Control("set?flag=0");
    MarketOpenFlag.store(0);
    RecordingSink sink;
    RefreshThread thread(&sink);
    thread.SetTickMs(0);
    ASSERT_NE(thread.Start(), nullptr);
    // Two heartbeats, each after 1080 ticks, so the status ticks have all passed.
    ASSERT_TRUE(WaitFor([&] { return Logged("/login/login.php") >= 2 && sink.NewsCount() > 0; }));
    thread.Stop();
    EXPECT_EQ(sink.StatusCount(), 0);
    EXPECT_EQ(Logged("/hqdata/makestatusinfo.php"), 0);
}

TEST_F(RefreshThreadTest, HeartbeatInTheMorningWindowReloginsOnce) {
    // A closed market keeps the status fetches out of the way.
    Control("set?now=" + std::to_string(kInReloginWindow) + "&flag=0");
    MarketOpenFlag.store(0);
    RecordingSink sink;
    RefreshThread thread(&sink);
    thread.SetTickMs(0);
    ASSERT_NE(thread.Start(), nullptr);
    // The thread runs one fetch after another: a news fetch after the second heartbeat shows
    // both heartbeats were handled.
    ASSERT_TRUE(WaitFor([&] { return Logged("/login/login.php") >= 2; }));
    int newsSeen = Logged("/plus/rollnews.php");
    ASSERT_TRUE(WaitFor([&] { return Logged("/plus/rollnews.php") > newsSeen; }));
    thread.Stop();
    EXPECT_EQ(sink.Relogins(), 1);
    EXPECT_TRUE(IsReloginDone());
    EXPECT_EQ(ServerDataTime.load(), kInReloginWindow);

    // A thread of the same run does not ask again.
    RecordingSink second;
    RefreshThread again(&second);
    again.SetTickMs(0);
    ASSERT_NE(again.Start(), nullptr);
    int before = Logged("/login/login.php");
    ASSERT_TRUE(WaitFor([&] { return Logged("/login/login.php") > before; }));
    newsSeen = Logged("/plus/rollnews.php");
    ASSERT_TRUE(WaitFor([&] { return Logged("/plus/rollnews.php") > newsSeen; }));
    again.Stop();
    EXPECT_EQ(second.Relogins(), 0);
}

TEST_F(RefreshThreadTest, StopIsPromptWhileTheServiceIsSilent) {
    for (const char* prefix : {"/plus/", "/hqdata/", "/login/"})
        Control(std::string("fault?prefix=") + prefix + "&mode=silent&hold=30000");
    RecordingSink sink;
    RefreshThread thread(&sink);
    thread.SetTickMs(0);
    ASSERT_NE(thread.Start(), nullptr);
    // The status request is in flight and will not be answered.
    ASSERT_TRUE(WaitFor([&] { return Logged("/hqdata/makestatusinfo.php") > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // pacing: into the wait for the reply
    auto begin = std::chrono::steady_clock::now();
    thread.Stop();
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    // Far below the client's own 10 s wait: the request was cancelled, not timed out.
    EXPECT_LT(ms, 3000);
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_EQ(sink.StatusCount(), 0);
}

TEST_F(RefreshThreadTest, StopBeforeAnyTickAndIdleStop) {
    RecordingSink sink;
    {
        // The default half-second tick: Stop cuts the wait short.
        RefreshThread thread(&sink);
        ASSERT_NE(thread.Start(), nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // pacing: into the tick's wait
        auto begin = std::chrono::steady_clock::now();
        thread.Stop();
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count(), 3000);
    }
    {
        // Destroyed without Stop: the destructor stops it.
        RefreshThread thread(&sink);
        thread.SetTickMs(0);
        ASSERT_NE(thread.Start(), nullptr);
    }
    SUCCEED();
}

TEST_F(RefreshThreadTest, MalformedRepliesChangeNothing) {
    Control("fault?prefix=/plus/rollnews.php&mode=empty");
    Control("fault?prefix=/hqdata/makestatusinfo.php&mode=garbage");
    Control("fault?prefix=/login/login.php&mode=garbage");
    ServerDataTime.store(12345);
    RecordingSink sink;
    RefreshThread thread(&sink);
    thread.SetTickMs(0);
    ASSERT_NE(thread.Start(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return Logged("/login/login.php") >= 1; }));
    // The status fetch after the heartbeat shows the heartbeat's reply was handled.
    int statusSeen = Logged("/hqdata/makestatusinfo.php");
    ASSERT_TRUE(WaitFor([&] { return Logged("/hqdata/makestatusinfo.php") > statusSeen; }));
    thread.Stop();
    EXPECT_EQ(sink.NewsCount(), 0);
    EXPECT_EQ(sink.StatusCount(), 0);
    EXPECT_EQ(sink.Relogins(), 0);
    EXPECT_EQ(ServerDataTime.load(), 12345);
    EXPECT_EQ(MarketOpenFlag.load(), 1);
}

}  // namespace
