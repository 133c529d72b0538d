// The real client program under Wine, driven from outside as a user would: single instance,
// login to the placeholder main window, and the whole online update (the fixture announces a
// newer version and serves a newer build; the client writes "<exe>.new", starts Update and
// exits; Update waits for the mutex, puts the build in place, deletes ".new" and starts it).
// A body that is not a whole program leaves the installed client untouched and hands the
// dialog back to the user.
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
    void SetUp() override { ASSERT_TRUE(m_folder.ok); }
    void StartFixture(std::vector<std::string> args) {
        args.insert(args.end(), {"--market-flag", "0"});
        std::string why;
        ASSERT_TRUE(m_fixture.Start(args, &why)) << why;
        m_folder.WriteRunIni(m_fixture.Url("/"));
    }
    void Control(const std::string& what) {
        RawExchange(m_fixture.Port(), "GET /__fixture/" + what + " HTTP/1.1\r\nConnection: close\r\n\r\n");
    }

    void RefuseBodies(bool viaProxy);
    // Update has ended and left no ".new" behind: waited for, since it races the client it starts.
    bool UpdateFinished() {
        return WaitUntil([&] { return ProcessesIn(m_folder.dir, "Update.exe").empty() && !PathExists(m_folder.exe + ".new"); },
                         kProgramStepMs, 100);
    }

    ClientFolder m_folder{"full", VELMORA_EXE, UPDATE_EXE};
    FixtureProcess m_fixture;
    ClientProcess m_client;
};

TEST_F(ClientProgram, NewerBuildReplacesTheClientAndStarts) {
    StartFixture({"--version", "20110101", "--update-file", FAKE_CLIENT_V2});
    ASSERT_TRUE(m_client.Start(m_folder));
    ASSERT_NE(m_client.LogIn(), nullptr);
    HWND box = WaitForWindow(m_client.pid, "提示", "新版本下载完成，软件需要重新启动!", 120000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadTestFile(m_folder.exe + ".new"), ReadTestFile(WinePath(FAKE_CLIENT_V2)));  // written whole
    Click(box, IDOK);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    EXPECT_EQ(m_client.ExitCode(), 0u);
    // Update put the newer build in place and started it; it found the mutex free.
    std::string ran;
    WaitUntil([&] { return !(ran = ReadTestFile(m_folder.exe + ".ran")).empty(); }, kProgramStepMs);
    EXPECT_EQ(ran, "2 free");
    EXPECT_EQ(ReadTestFile(m_folder.exe), ReadTestFile(WinePath(FAKE_CLIENT_V2)));
    EXPECT_TRUE(UpdateFinished());
}

// What scripts/run offers by default: this very build as the newer one, once. The client that
// Update starts again logs in and opens its main window.
TEST_F(ClientProgram, UpdateToARealBuildLeavesAWorkingClient) {
    StartFixture({"--version", "20110101", "--update-file", VELMORA_EXE, "--update-once"});
    ASSERT_TRUE(m_client.Start(m_folder));
    ASSERT_NE(m_client.LogIn(), nullptr);
    HWND box = WaitForWindow(m_client.pid, "提示", "新版本下载完成，软件需要重新启动!", 120000);
    ASSERT_NE(box, nullptr);
    Click(box, IDOK);
    DWORD first = m_client.pid;
    ASSERT_TRUE(m_client.WaitForExit(60000));
    // The client Update started: the one from this folder (other test programs show login
    // dialogs of the same caption meanwhile).
    DWORD again = 0;
    ASSERT_TRUE(WaitUntil([&] {
        for (DWORD pid : ProcessesIn(m_folder.dir, "Velmora.exe"))
            if (pid != first && WaitForWindow(pid, kLoginCaption, nullptr, 0)) return (again = pid) != 0;
        return false;
    }, kProgramStepMs, 100));
    ASSERT_TRUE(m_client.Adopt(again));
    EXPECT_TRUE(UpdateFinished());
    EXPECT_EQ(ReadTestFile(m_folder.exe), ReadTestFile(WinePath(VELMORA_EXE)));
    ASSERT_NE(m_client.LogIn(), nullptr);
    HWND frame = m_client.MainWindow(120000);
    ASSERT_NE(frame, nullptr);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    EXPECT_EQ(m_client.ExitCode(), 1u);
}

TEST_F(ClientProgram, WithoutNewerVersionTheMainWindowOpensAndClosesCleanly) {
    StartFixture({});
    ASSERT_TRUE(m_client.Start(m_folder));
    ASSERT_NE(m_client.LogIn(), nullptr);
    HWND frame = m_client.MainWindow(120000);
    ASSERT_NE(frame, nullptr);
    // Created at 900 by 680, the frame then fills the desktop's work area.
    RECT r, work;
    GetWindowRect(frame, &r);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(r.right - r.left, work.right - work.left);
    EXPECT_EQ(r.bottom - r.top, work.bottom - work.top);
    EXPECT_TRUE(PathExists(m_folder.dir + "\\hqdata\\codelist.dat"));
    EXPECT_FALSE(PathExists(m_folder.exe + ".new"));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    EXPECT_EQ(m_client.ExitCode(), 1u);  // the message loop's result
}

TEST_F(ClientProgram, SecondClientLeavesAtOnceAndDataFolderExists) {
    StartFixture({});
    ASSERT_TRUE(m_client.Start(m_folder));
    ASSERT_NE(m_client.LoginDialog(), nullptr);
    EXPECT_TRUE(PathExists(m_folder.dir + "\\hqdata"));  // made before the login dialog
    ClientProcess second;
    ASSERT_TRUE(second.Start(m_folder));
    EXPECT_TRUE(second.WaitForExit(60000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(m_client.IsRunning());  // the first one is untouched
    HWND dlg = m_client.LoginDialog(1000);
    ASSERT_NE(dlg, nullptr);
    Click(dlg, IDCANCEL);
    EXPECT_TRUE(m_client.WaitForExit(60000));
}

// Cut, a DOS stub and random bytes, one after the other in one dialog: each failure says so,
// brings the buttons back and clears the status line, so that the user can try again. Through an
// HTTP proxy the body comes through WinInet, which takes a cut chunked body for whole here: the
// client's own check of the program image still refuses it.
void ClientProgram::RefuseBodies(bool viaProxy) {
    StartFixture({"--version", "20110101", "--update-file", FAKE_CLIENT_V2});
    if (viaProxy)
        m_folder.WriteRunIni(m_fixture.Url("/"), {"[ProxyInfo]", "AccessType=3", "ProxyType=3",
                                                  "ProxyAddress=127.0.0.1", "ProxyPort=" + std::to_string(m_fixture.Port())});
    const std::string updatePath = viaProxy ? m_fixture.Url("/velmora/update.php") : "/velmora/update.php";
    const std::string installed = ReadTestFile(m_folder.exe);
    ASSERT_TRUE(m_client.Start(m_folder));
    HWND dlg = m_client.LoginDialog();
    ASSERT_NE(dlg, nullptr);
    struct Case {
        const char* what;
        const char* control;
    } cases[] = {
        {"cut midway", "fault?prefix=/velmora/update.php&mode=cut"},
        {"a DOS stub", "set?update="},
        {"random bytes", "fault?prefix=/velmora/update.php&mode=garbage&size=40000"},
    };
    for (const Case& c : cases) {
        Control("clear");
        Control(c.control);
        ASSERT_NE(m_client.LogIn(), nullptr) << c.what;
        HWND box = WaitForWindow(m_client.pid, "提示", "新版本下载失败", 120000);
        ASSERT_NE(box, nullptr) << c.what;
        EXPECT_EQ(ItemText(dlg, kStatusLine), "开始下载新版本....") << c.what;
        Click(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != 0; }, kProgramStepMs, 100)) << c.what;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, kProxyButton))) << c.what;
        EXPECT_EQ(ItemText(dlg, kStatusLine), "") << c.what;
        EXPECT_EQ(CountLoggedRequests(m_fixture.Port(), updatePath), 1) << c.what;
    }
    Click(dlg, IDCANCEL);
    ASSERT_TRUE(m_client.WaitForExit(60000));
    WIN32_FIND_DATAA found;
    HANDLE left = FindFirstFileA((m_folder.exe + ".new*").c_str(), &found);  // no update file, no temporary one
    EXPECT_EQ(left, INVALID_HANDLE_VALUE);
    if (left != INVALID_HANDLE_VALUE) FindClose(left);
    EXPECT_FALSE(PathExists(m_folder.exe + ".ran"));
    EXPECT_TRUE(ReadTestFile(m_folder.exe) == installed);
}

TEST_F(ClientProgram, RefusedBodiesLeaveTheInstalledClientAndHandTheDialogBack) { RefuseBodies(false); }
TEST_F(ClientProgram, RefusedBodiesThroughTheProxyLeaveTheInstalledClient) { RefuseBodies(true); }

}  // namespace
