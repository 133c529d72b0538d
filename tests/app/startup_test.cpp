// Login and start-up loading against the fixture service, without the dialog: the reply sets the
// data server, the loading fills hqdata and the lists, and failures end it with their message.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/fsutil.h"
#include "base/log.h"
#include "base/savefile.h"
#include "net/download.h"
#include "net/httpclient.h"
#include "net/services.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/storeenv.h"
#include "tests/app/quiet_login_view.h"
#include "tests/net/test_servers.h"

namespace {

using velmora_test::FixtureProcess;
using velmora_test::CountLoggedRequests;
using velmora_test::FixtureControl;

class RecordingView : public ILoginView {
public:
    std::vector<std::string> statuses, messages, titles;
    int finished = 0;
    void SetStatusText(const char* t) override { statuses.push_back(t); }
    void FinishDialog(int code) override { finished = code; }
    void ResumeLogin() override {}
    int Message(const char* text, const char* title, UINT) override {
        messages.push_back(text);
        titles.push_back(title);
        return 1;
    }
    bool IsStopRequested() const override { return false; }
};

long FileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

std::string FreshFolder() {
    static int serial = 0;
#ifdef _WIN32
    char tmp[MAX_PATH];
    GetTempPathA(sizeof(tmp), tmp);
    // Wine reuses process ids across runs: the tick count keeps an old run's folder out.
    std::string dir = std::string(tmp) + "velmora-startup-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(GetTickCount()) + "-" + std::to_string(serial++) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
#else
    std::string dir = "/tmp/velmora-startup-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + "/";
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
#endif
    return dir;
}

class Startup : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string why;
        s_fixture = new FixtureProcess;
        ASSERT_TRUE(s_fixture->Start({"--now", "2026-12-10 14:00", "--password", "good pw", "--market-flag", "0"}, &why)) << why;
    }
    static void TearDownTestSuite() {
        FreeDownloadManager();
        delete s_fixture;
        s_fixture = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(s_fixture, nullptr);
        m_folder = FreshFolder();
        SetProgramFolder(m_folder.c_str());
        SaveAndFreeCodeStateMap();
        SetUrl(kUrlSiteRoot, s_fixture->Url("/"));
        FixtureControl(s_fixture->Port(), "clear");
    }
    void TearDown() override {
        SaveAndFreeCodeStateMap();
        SetProgramFolder("");
        ResetUrlTable();
    }
    // Logs in through the process-wide client and takes the reply's data server.
    bool LogIn(const std::string& password) { return velmora_test::LogInToService(password); }
    std::string Path(const char* relative) { return JoinStorePath(m_folder, relative); }

    static FixtureProcess* s_fixture;
    std::string m_folder;
};
FixtureProcess* Startup::s_fixture = nullptr;

// run.ini's proxy reaches every client of the program: the process-wide one at once, and every
// client made afterwards (the download manager's workers and synchronous downloads make theirs).
TEST(DefaultProxy, EveryLaterClientStartsWithIt) {
    struct Case {
        ProxySettings settings;
        int answer;
        int access;
        const char* host;
    } cases[] = {
        {{3, 3, 8080, "proxy.local", "user", "pw"}, 1, 3, "proxy.local"},
        {{7, 3, 8080, "other.local", "", ""}, 0, 3, "proxy.local"},  // refused: nothing changes
        {{3, 1, 1080, "", "", ""}, 0, 0, ""},                      // no host: the system's settings
        {{1, 0, 0, "", "", ""}, 1, 1, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplyProxySettings(c.settings), c.answer) << c.settings.accessType;
        HttpClient later;
        for (HttpClient* client : {GetHttpClient(), &later}) {
            EXPECT_EQ(client->GetAccessType(), c.access) << c.settings.accessType;
            EXPECT_EQ(client->GetProxyHost(), c.host) << c.settings.accessType;
        }
    }
    HttpClient later;
    ApplyProxySettings({3, 3, 3128, "p.local", "u", "secret"});
    HttpClient afterwards;
    EXPECT_EQ(later.GetProxyHost(), "");  // made before: keeps its way
    EXPECT_EQ(afterwards.GetProxyHost(), "p.local");
    EXPECT_EQ(afterwards.GetProxyPort(), 3128);
    EXPECT_EQ(afterwards.GetProxyUser(), "u");
    EXPECT_EQ(afterwards.GetProxyPassword(), "secret");
    ApplyProxySettings({1, 0, 0, "", "", ""});
}

TEST(ServiceClock, ChartsFollowTheTimeTheServiceToldLast) {
    const int64_t local = static_cast<int64_t>(std::time(nullptr));
    // A service three days behind this PC, then a heartbeat one hour ahead of it.
    ApplyLoginReply(LoginReply{static_cast<uint32_t>(local - 3 * 86400), 1, 0, "h"});
    EXPECT_NEAR(double(ServerClockNow()), double(local - 3 * 86400), 5.0);
    NoteServerTime(static_cast<int32_t>(local + 3600), local);
    EXPECT_NEAR(double(ServerClockNow()), double(local + 3600), 5.0);
    NoteServerTime(0, local);  // a reply without a time leaves the difference
    EXPECT_NEAR(double(ServerClockNow()), double(local + 3600), 5.0);
    NoteServerTime(static_cast<int32_t>(local), local);
}

TEST_F(Startup, LoginSetsTheDataServerAndAWrongPasswordIsRefused) {
    ApplyLoginReply(LoginReply{1234, 0, 0, "old.host"});
    EXPECT_FALSE(LogIn("bad pw"));  // the service answers "F|0|0||": no zero time, no empty host
    EXPECT_EQ(GetDataServerHost(), "old.host");
    EXPECT_EQ(GetServerDataTime(), 1234);
    ASSERT_TRUE(LogIn("good pw"));
    EXPECT_EQ(GetDataServerHost(), "127.0.0.1:" + std::to_string(s_fixture->Port()));
    EXPECT_GT(GetServerDataTime(), 1700000000);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/login/login.5.php?id=5&u="), 2);

    // An unreachable service: three attempts, then a refusal.
    FixtureControl(s_fixture->Port(), "clear");
    FixtureControl(s_fixture->Port(), "fault?prefix=/login/&mode=500");
    EXPECT_FALSE(LogIn("good pw"));
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/login/login.5.php"), 3);
}

TEST_F(Startup, FirstStartFillsTheStoreAndASecondStartFetchesNothingStale) {
    ASSERT_TRUE(LogIn("good pw"));
    RecordingView view;
    EXPECT_TRUE(LoadStartupData(view));
    EXPECT_EQ(view.finished, 1);
    EXPECT_TRUE(view.messages.empty());
    std::vector<std::string> expected = {"初始化原始数据...", "下载股票代码....", "初始化资源文件....", "下载数据......",
                                         "初始化资源文件....", "下载数据......",   "加载板块数据......"};
    EXPECT_EQ(view.statuses, expected);

    long list = FileSize(Path("hqdata\\codelist.dat"));
    EXPECT_GT(list, 0);
    EXPECT_EQ(list % 68, 0);
    long day = FileSize(Path("hqdata\\sh\\day\\SH1A0001_1.day"));
    EXPECT_GT(day, 0);
    EXPECT_EQ(day % 32, 0);
    EXPECT_EQ(FileSize(Path("hqdata\\sh\\min\\1A0001_1.min")), 8314);
    EXPECT_GT(GetStockContainer().GetSize(), 300);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/sday/SH1A0001.ldy"), 1);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/min/sh/1A0001.min"), 1);

    // Present and recorded after the server data time: neither index file is asked for again.
    FixtureControl(s_fixture->Port(), "clear");
    RecordingView again;
    EXPECT_TRUE(LoadStartupData(again));
    EXPECT_EQ(again.finished, 1);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/codelist/codelist.ldt"), 1);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/sday/"), 0);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/min/"), 0);
}

TEST_F(Startup, FailedCodeListEndsWithItsMessage) {
    ASSERT_TRUE(LogIn("good pw"));
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/codelist/&mode=404");
    RecordingView view;
    EXPECT_FALSE(LoadStartupData(view));
    EXPECT_EQ(view.finished, 2);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], "下载股票代码列表失败,程序有可能不能正常使用");
    EXPECT_EQ(view.titles[0], "ERROR");
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/codelist/codelist.ldt"), 3);
    EXPECT_EQ(FileSize(Path("hqdata\\codelist.dat")), -1);
}

TEST_F(Startup, GarbageNeverReplacesAStoredFile) {
    ASSERT_TRUE(LogIn("good pw"));
    RecordingView first;
    ASSERT_TRUE(LoadStartupData(first));
    long list = FileSize(Path("hqdata\\codelist.dat"));
    long day = FileSize(Path("hqdata\\sh\\day\\SH1A0001_1.day"));
    // Plain 200 bodies of 777 random bytes: neither a day file nor a code list.
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/sday/&mode=garbage");
    SaveAndFreeCodeStateMap();
    std::remove(Path("hqdata\\codestate.dat").c_str());  // the day file counts as stale again
    RecordingView view;
    EXPECT_TRUE(LoadStartupData(view));  // a day file that did not come is no reason to stop
    EXPECT_EQ(FileSize(Path("hqdata\\sh\\day\\SH1A0001_1.day")), day);
    int32_t when = 0;
    EXPECT_FALSE(GetCodeStateMap()->GetCodeState("1A0001_1", codeStateDay, &when));

    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/codelist/&mode=garbage");
    RecordingView again;
    EXPECT_FALSE(LoadStartupData(again));
    EXPECT_EQ(again.finished, 2);
    EXPECT_EQ(again.messages, std::vector<std::string>{"下载股票代码列表失败,程序有可能不能正常使用"});
    EXPECT_EQ(FileSize(Path("hqdata\\codelist.dat")), list);
}

// A stored code list is kept only when the reply holds exactly its bytes: one that differs
// anywhere, even at the same length, is replaced by the reply.
TEST_F(Startup, AStoredCodeListThatDiffersAnywhereIsReplaced) {
    ASSERT_TRUE(LogIn("good pw"));
    RecordingView first;
    ASSERT_TRUE(LoadStartupData(first));
    const std::string path = Path("hqdata\\codelist.dat");
    std::string served;
    ASSERT_TRUE(velmora::ReadWholeFile(path.c_str(), served, 1 << 24));
    ASSERT_GT(served.size(), 2u);
    for (size_t at : {size_t(0), served.size() / 2, served.size() - 1}) {
        SCOPED_TRACE(at);
        std::string other = served;
        other[at] = char(other[at] ^ 0x5A);
        ASSERT_TRUE(SaveFileReplacing(path, other.data(), other.size()));
        RecordingView view;
        EXPECT_TRUE(LoadStartupData(view));
        std::string stored;
        ASSERT_TRUE(velmora::ReadWholeFile(path.c_str(), stored, 1 << 24));
        EXPECT_TRUE(stored == served);
    }
}

void TakeLine(const char* line, void* lines) { static_cast<std::vector<std::string>*>(lines)->push_back(line); }

TEST_F(Startup, ARefusedFileLeavesATraceNamingItAndWhy) {
    ASSERT_TRUE(LogIn("good pw"));
    RecordingView first;
    ASSERT_TRUE(LoadStartupData(first));
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/sday/&mode=garbage");
    SaveAndFreeCodeStateMap();
    std::remove(Path("hqdata\\codestate.dat").c_str());
    std::vector<std::string> lines;
    void* previousContext = nullptr;
    LogSink previous = SetLogSink(&TakeLine, &lines, &previousContext);
    RecordingView view;
    EXPECT_TRUE(LoadStartupData(view));
    SetLogSink(previous, previousContext);
    const std::string day = Path("hqdata\\sh\\day\\SH1A0001_1.day");
    bool traced = false;
    for (const std::string& line : lines)
        if (line.rfind("StoreChecked: " + day + ": ", 0) == 0 &&
            line.find(", refused; the stored file is kept") != std::string::npos)
            traced = true;
    EXPECT_TRUE(traced) << ::testing::PrintToString(lines);
}

}  // namespace
