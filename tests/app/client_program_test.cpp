// The real client program under Wine against the fixture service, driven from outside: the
// proxy of run.ini carries every request (the login and the start-up downloads), a silent
// service never freezes the login dialog, and closing the dialog ends the program at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/client_driver.h"
#include "tests/net/test_servers.h"

namespace {

using namespace velmora_test;

class ClientProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.ok);
        std::string why;
        ASSERT_TRUE(m_fixture.Start({"--market-flag", "0"}, &why)) << why;
    }
    // run.ini with or without the fixture as the HTTP proxy.
    void WriteSettings(bool viaProxy) {
        std::vector<std::string> proxy;
        if (viaProxy)
            proxy = {"[ProxyInfo]", "AccessType=3", "ProxyType=3", "ProxyAddress=127.0.0.1",
                     "ProxyPort=" + std::to_string(m_fixture.Port())};
        m_folder.WriteRunIni(m_fixture.Url("/"), proxy);
    }
    // How a request for the path appears in the fixture's log.
    std::string Logged(bool viaProxy, const char* path) const {
        return viaProxy ? m_fixture.Url(path) : std::string(path);
    }
    void SilentLogin(bool viaProxy);

    ClientFolder m_folder{"client", VELMORA_EXE, UPDATE_EXE};
    FixtureProcess m_fixture;
    ClientProcess m_client;
};

TEST_F(ClientProgram, EveryRequestGoesThroughTheConfiguredProxy) {
    WriteSettings(true);
    ASSERT_TRUE(m_client.Start(m_folder));
    ASSERT_NE(m_client.LogIn(), nullptr);
    HWND frame = m_client.MainWindow(120000);
    ASSERT_NE(frame, nullptr);
    // The login, and the start-up downloads made by the download manager's own clients.
    for (const char* path : {"/login/login.5.php", "/hqdatagzip/codelist/codelist.ldt", "/hqdatagzip/sday/SH1A0001.ldy",
                             "/hqdatagzip/min/sh/1A0001.min"})
        EXPECT_GE(CountLoggedRequests(m_fixture.Port(), Logged(true, path)), 1) << path;
    EXPECT_EQ(CountLoggedRequests(m_fixture.Port(), "/"), 0) << "no request went around the proxy";
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(m_client.WaitForExit(60000));
}

// A service that takes the request and never answers: the dialog keeps answering messages all
// the while, the failure comes within the login's limits (three attempts), the buttons come
// back, and closing the dialog during a further attempt ends the program within two seconds.
void ClientProgram::SilentLogin(bool viaProxy) {
    WriteSettings(viaProxy);
    FixtureControl(m_fixture.Port(), "fault?prefix=/login/&mode=silent&hold=120000");
    ASSERT_TRUE(m_client.Start(m_folder));
    HWND dlg = m_client.LogIn();
    ASSERT_NE(dlg, nullptr);
    DWORD start = GetTickCount();
    int unanswered = 0;
    HWND box = nullptr;
    while (!box && GetTickCount() - start < 90000) {
        if (!Answers(dlg)) ++unanswered;
        box = WaitForWindow(m_client.pid, "提示", "登陆失败，请重新登录！", 0);
        if (!box) Sleep(250);  // pacing of the probes, not a verdict
    }
    DWORD took = GetTickCount() - start;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(unanswered, 0);
    EXPECT_LT(took, 3u * 10000u + 5000u) << "three attempts of at most 10 s each";
    EXPECT_EQ(CountLoggedRequests(m_fixture.Port(), Logged(viaProxy, "/login/login.5.php")), 3);
    Click(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != 0; }, kProgramStepMs, 100));

    Click(dlg, IDOK);
    // The further attempt has reached the service, which holds it.
    EXPECT_TRUE(WaitUntil([&] { return CountLoggedRequests(m_fixture.Port(), Logged(viaProxy, "/login/login.5.php")) == 4; },
                          kProgramStepMs, 100));
    EXPECT_TRUE(Answers(dlg));
    Click(dlg, IDCANCEL);
    // Well within the ten seconds an attempt may wait: the close does not wait for it.
    EXPECT_TRUE(m_client.WaitForExit(5000)) << "the program is gone at once after the close";
}

TEST_F(ClientProgram, SilentServiceNeverFreezesTheLoginDialog) { SilentLogin(false); }

// Through the proxy the request goes through WinInet: its waits are bounded and a cancel ends them.
TEST_F(ClientProgram, SilentServiceThroughTheProxyNeverFreezesTheLoginDialog) { SilentLogin(true); }

TEST_F(ClientProgram, ClosingDuringASlowDownloadEndsTheProgramAtOnce) {
    WriteSettings(false);
    // The code list in 256-byte pieces a second apart: a download of a minute or more.
    FixtureControl(m_fixture.Port(), "fault?prefix=/hqdatagzip/codelist/&split=256&slow=1000");
    ASSERT_TRUE(m_client.Start(m_folder));
    HWND dlg = m_client.LogIn();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dlg, kStatusLine) == "下载股票代码...."; }, kProgramStepMs, 100));
    // The body is on its way: the service has the request.
    ASSERT_TRUE(WaitUntil([&] { return CountLoggedRequests(m_fixture.Port(), "/hqdatagzip/codelist/") > 0; }, kProgramStepMs, 100));
    Click(dlg, IDCANCEL);
    // Far within the minute the download takes: the close does not wait for it.
    EXPECT_TRUE(m_client.WaitForExit(10000)) << "the program is gone at once after the close";
    EXPECT_EQ(m_client.ExitCode(), 0u);
    // Started again at once, it shows its dialog (no hidden client holds the single-instance name).
    ASSERT_TRUE(m_client.Start(m_folder));
    HWND again = m_client.LoginDialog(60000);
    ASSERT_NE(again, nullptr);
    Click(again, IDCANCEL);
    EXPECT_TRUE(m_client.WaitForExit(60000));
}

}  // namespace
