// The real login and proxy dialogs under Wine against the fixture service: a driver thread fills
// the fields and presses the buttons; message boxes go through the seam and are recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/appstate.h"
#include "app/landeddlg.h"
#include "app/proxydlg.h"
#include "app/settings.h"
#include "app/urltable.h"
#include "base/base64.h"
#include "base/seams.h"
#include "net/download.h"
#include "net/services.h"
#include "store/codestate.h"
#include "store/storeenv.h"
#include "tests/net/test_servers.h"
#include "win_wait.h"

namespace {

using velmora_test::FixtureProcess;
using velmora_test::CountLoggedRequests;
using velmora_test::FixtureControl;

// Message boxes shown through the seam, answered with OK.
class MessageRecorder {
public:
    MessageRecorder() {
        m_old = SetMessageBoxHook([this](void*, const char* text, const char*, UINT) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_texts.push_back(text);
            return IDOK;
        });
    }
    ~MessageRecorder() { SetMessageBoxHook(m_old); }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_texts;
    }
    bool WaitFor(const std::string& text, int ms) {
        return velmora_test::WaitUntil([&] {
            for (const std::string& t : Texts())
                if (t == text) return true;
            return false;
        }, ms, 50);
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_texts;
    MessageBoxHook m_old;
};

using velmora_test::WaitForDialog;

using velmora_test::WaitUntil;

std::string ItemText(HWND dlg, int id) {
    char buf[2048] = {0};
    GetDlgItemTextA(dlg, id, buf, sizeof(buf));
    return buf;
}

void Fill(HWND dlg, const char* name, const char* password, bool savePassword) {
    SendMessageA(GetDlgItem(dlg, IDC_USERNAME), WM_SETTEXT, 0, (LPARAM)name);
    SendMessageA(GetDlgItem(dlg, IDC_PASSWORD), WM_SETTEXT, 0, (LPARAM)password);
    SendMessageA(GetDlgItem(dlg, IDC_SAVEPASSWORD), BM_SETCHECK, savePassword ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Press(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }

class LoginDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppModule().Init(nullptr);
        s_fixture = new FixtureProcess;
        std::string why;
        ASSERT_TRUE(s_fixture->Start({"--now", "2026-12-10 14:00", "--password", "秘密pw", "--market-flag", "0"}, &why))
            << why;
    }
    static void TearDownTestSuite() {
        FreeDownloadManager();
        FreeHttpClient();
        delete s_fixture;
        s_fixture = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(s_fixture, nullptr);
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        static int serial = 0;
        // Wine reuses process ids across runs: the tick count keeps an old run's folder out.
        m_folder = std::string(tmp) + "velmora-login-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(GetTickCount()) + "-" + std::to_string(serial++) + "\\";
        CreateDirectoryA(m_folder.c_str(), nullptr);
        SetProgramFolder(m_folder.c_str());
        SaveAndFreeCodeStateMap();
        SetUrl(kUrlSiteRoot, s_fixture->Url("/"));
        FixtureControl(s_fixture->Port(), "clear");
        m_ini.SetPathName(m_folder + "run.ini");
    }
    void TearDown() override {
        SaveAndFreeCodeStateMap();
        SetProgramFolder("");
        ResetUrlTable();
    }
    // Runs the login dialog with a driver on another thread; returns the dialog's result.
    int RunDialog(const std::function<void(HWND)>& drive) {
        CLandedDlg dlg;
        std::thread driver([&] {
            HWND h = WaitForDialog(dlg);
            if (h) drive(h);
        });
        int result = static_cast<int>(dlg.DoModal(nullptr));
        driver.join();
        return result;
    }

    static FixtureProcess* s_fixture;
    std::string m_folder;
    CIni m_ini;
};
FixtureProcess* LoginDialog::s_fixture = nullptr;

TEST_F(LoginDialog, GoodLoginLoadsTheStoreAndSavesTheUser) {
    MessageRecorder boxes;
    std::string caption;
    int result = RunDialog([&](HWND h) {
        caption = [&] { char b[128] = {0}; GetWindowTextA(h, b, sizeof(b)); return std::string(b); }();
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SAVEPASSWORD), (UINT)BST_CHECKED);  // fresh installation
        EXPECT_EQ(ItemText(h, IDC_USERNAME), "");
        Fill(h, "股民甲", "秘密pw", true);
        Press(h, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(caption, "Quorvel股票分析系统 - 经典版");
    EXPECT_TRUE(boxes.Texts().empty());
    for (const char* file : {"hqdata\\codelist.dat", "hqdata\\sh\\day\\SH1A0001_1.day", "hqdata\\sh\\min\\1A0001_1.min"})
        EXPECT_NE(GetFileAttributesA((m_folder + file).c_str()), INVALID_FILE_ATTRIBUTES) << file;
    EXPECT_EQ(GetUrl(kUrlLoginScript), "login/login.5.php");
    EXPECT_EQ(GetLoginUserName(), "股民甲");
    std::string name = "股民甲", pw = "秘密pw";
    EXPECT_EQ(m_ini.GetString("UserInfo", "Name"), CUrlBase64::EncodeLine(name.data(), name.size(), false));
    EXPECT_EQ(m_ini.GetString("UserInfo", "PassWd"), CUrlBase64::EncodeLine(pw.data(), pw.size(), false));
    EXPECT_EQ(m_ini.GetString("Global", "SavePassWd"), "true");

    // The next start shows the saved user; without "保存密码" only the name is kept.
    result = RunDialog([&](HWND h) {
        EXPECT_EQ(ItemText(h, IDC_USERNAME), "股民甲");
        EXPECT_EQ(ItemText(h, IDC_PASSWORD), "秘密pw");
        SendMessageA(GetDlgItem(h, IDC_SAVEPASSWORD), BM_SETCHECK, BST_UNCHECKED, 0);
        Press(h, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(m_ini.GetString("UserInfo", "PassWd", "x"), "");
    EXPECT_EQ(m_ini.GetString("Global", "SavePassWd"), "false");
}

// A saved name and password longer than 194 characters come back whole after a restart and are
// sent whole; typing stops at what the login and run.ini carry.
TEST_F(LoginDialog, LongSavedNameAndPasswordComeBackWholeAndAreSent) {
    MessageRecorder boxes;
    std::string name, password(kUserTextLimit, 'q');
    for (int i = 0; name.size() < 250; ++i) name += i % 2 ? "股" : "n";
    FixtureControl(s_fixture->Port(), "set?password=" + password);
    WriteSavedUser(m_ini, name, password, true);
    std::vector<LRESULT> limits;
    std::string shownName, shownPassword;
    int result = RunDialog([&](HWND h) {
        shownName = ItemText(h, IDC_USERNAME);
        shownPassword = ItemText(h, IDC_PASSWORD);
        for (int id : {IDC_USERNAME, IDC_PASSWORD}) limits.push_back(SendDlgItemMessageA(h, id, EM_GETLIMITTEXT, 0, 0));
        Press(h, IDOK);
    });
    FixtureControl(s_fixture->Port(), "set?password=%E7%A7%98%E5%AF%86pw");  // 秘密pw again
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(shownName, name);
    EXPECT_EQ(shownPassword, password);
    EXPECT_EQ(limits, (std::vector<LRESULT>{kUserTextLimit, kUserTextLimit}));
    std::string sent = "/login/login.5.php?id=5&u=" + CUrlBase64::EncodeLine(name.data(), name.size(), true) +
                       "&p=" + CUrlBase64::EncodeLine(password.data(), password.size(), true);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), sent), 1);

    std::string typed;
    RunDialog([&](HWND h) {
        HWND edit = GetDlgItem(h, IDC_USERNAME);
        SendMessageA(edit, WM_SETTEXT, 0, (LPARAM) "");
        SendMessageA(edit, EM_REPLACESEL, FALSE, (LPARAM)std::string(kUserTextLimit + 50, 'x').c_str());
        typed = ItemText(h, IDC_USERNAME);
        Press(h, IDCANCEL);
    });
    EXPECT_EQ(typed, std::string(kUserTextLimit, 'x'));
}

TEST_F(LoginDialog, RefusalsShowTheirMessageAndTheDialogStays) {
    MessageRecorder boxes;
    bool buttonsBack = false;
    int result = RunDialog([&](HWND h) {
        Press(h, IDOK);  // empty fields
        EXPECT_TRUE(boxes.WaitFor("用户名或密码不能为空", 10000));
        Fill(h, "股民甲", "wrong", true);
        Press(h, IDOK);
        EXPECT_TRUE(boxes.WaitFor("登陆失败，请重新登录！", 30000));
        buttonsBack = WaitUntil([&] { return IsWindowEnabled(GetDlgItem(h, IDOK)) != 0; }, 10000);
        Press(h, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(buttonsBack);
    EXPECT_EQ(m_ini.GetString("Global", "SavePassWd"), "true");  // cancel writes the check box
    EXPECT_EQ(m_ini.GetString("UserInfo", "Name", "none"), "none");
}

TEST_F(LoginDialog, LinksOpenTheRegistrationAndPasswordPages) {
    std::vector<std::string> opened;
    std::mutex lock;
    OpenPageHook old = SetOpenPageHook([&](const char* url) {
        std::lock_guard<std::mutex> hold(lock);
        opened.push_back(url);
        return true;
    });
    RunDialog([&](HWND h) {
        for (int id : {IDC_REGISTER, IDC_GETPASSWORD}) {
            HWND link = GetDlgItem(h, id);
            SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        }
        Press(h, IDCANCEL);
    });
    SetOpenPageHook(old);
    EXPECT_EQ(opened, (std::vector<std::string>{s_fixture->Url("/member/index_do.php?fmdo=user&dopost=regnew"),
                                                s_fixture->Url("/member/resetpassword.php")}));
    EXPECT_EQ(ParseAnchorColor("0,0,255", 7), RGB(0, 0, 255));
    EXPECT_EQ(ParseAnchorColor(" 128 , 0 , 128", 7), RGB(128, 0, 128));
    EXPECT_EQ(ParseAnchorColor("300,0,0", 7), 7u);
    EXPECT_EQ(ParseAnchorColor("1,2", 7), 7u);
}

TEST_F(LoginDialog, UnreachableServiceGivesUpAfterThreeAttempts) {
    MessageRecorder boxes;
    FixtureControl(s_fixture->Port(), "fault?prefix=/login/&mode=reset");
    int result = RunDialog([&](HWND h) {
        Fill(h, "股民甲", "秘密pw", true);
        Press(h, IDOK);
        EXPECT_TRUE(boxes.WaitFor("登陆失败，请重新登录！", 60000));
        Press(h, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/login/login.5.php"), 3);
}

TEST_F(LoginDialog, FailedCodeListEndsTheDialogWithItsMessage) {
    MessageRecorder boxes;
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/codelist/&mode=404");
    int result = RunDialog([&](HWND h) {
        Fill(h, "股民甲", "秘密pw", true);
        Press(h, IDOK);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"下载股票代码列表失败,程序有可能不能正常使用"});
    EXPECT_EQ(CountLoggedRequests(s_fixture->Port(), "/hqdatagzip/codelist/codelist.ldt"), 3);
}

TEST_F(LoginDialog, CancelDuringLoadingWaitsForTheThread) {
    MessageRecorder boxes;
    FixtureControl(s_fixture->Port(), "fault?prefix=/hqdatagzip/codelist/&delay=1500");
    bool sawLoading = false;
    DWORD start = GetTickCount();
    int result = RunDialog([&](HWND h) {
        Fill(h, "股民甲", "秘密pw", true);
        Press(h, IDOK);
        sawLoading = WaitUntil([&] { return ItemText(h, IDC_STATUS) == "下载股票代码...."; }, 30000);
        Press(h, IDCANCEL);
    });
    // The dialog's object is gone here: its destructor waited for the thread.
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(sawLoading);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_LT(GetTickCount() - start, 30000u);
}

// ---- Proxy dialog --------------------------------------------------------------------------

int RunProxyDialog(CIni& ini, const std::function<void(HWND)>& drive) {
    CProxySetDlg dlg(ini);
    std::thread driver([&] {
        HWND h = WaitForDialog(dlg);
        if (h) drive(h);
    });
    int result = static_cast<int>(dlg.DoModal(nullptr));
    driver.join();
    return result;
}

TEST_F(LoginDialog, ProxyDialogSavesAndRestoresEveryKey) {
    auto set = [](HWND h, int id, const char* text) { SendMessageA(GetDlgItem(h, id), WM_SETTEXT, 0, (LPARAM)text); };
    auto click = [](HWND h, int id) { SendMessageA(GetDlgItem(h, id), BM_CLICK, 0, 0); };
    bool greyed = false, typedAgain = false;
    int result = RunProxyDialog(m_ini, [&](HWND h) {
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_PROXY_SYSTEM), (UINT)BST_CHECKED);  // nothing saved yet
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, IDC_PROXY_ADDRESS)));
        click(h, IDC_PROXY_NAMED);
        click(h, IDC_PROXY_SOCKS4);
        greyed = !IsWindowEnabled(GetDlgItem(h, IDC_PROXY_USER)) && !IsWindowEnabled(GetDlgItem(h, IDC_PROXY_PASSWORD)) &&
                 IsWindowEnabled(GetDlgItem(h, IDC_PROXY_ADDRESS));
        click(h, IDC_PROXY_SOCKS5);
        set(h, IDC_PROXY_ADDRESS, "proxy.example  ");
        set(h, IDC_PROXY_USER, "代理人");
        set(h, IDC_PROXY_PASSWORD, "pw ");
        set(h, IDC_PROXY_PORT, "70000");  // refused: the dialog stays and writes nothing
        // Sent, not posted: once it returns, the dialog has dealt with the press.
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(h, IDOK));
        typedAgain = IsWindow(h) && IsWindowVisible(h);
        set(h, IDC_PROXY_PORT, "1080");
        Press(h, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(greyed);
    EXPECT_TRUE(typedAgain);
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "AccessType"), "3");
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "ProxyType"), "2");
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "ProxyPort"), "1080");
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "ProxyAddress"), "proxy.example");
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "ProxyUser"), "代理人");
    EXPECT_EQ(m_ini.GetString("ProxyInfo", "ProxyPassWord"), "pw");

    std::vector<std::string> shown;
    std::vector<UINT> checks;
    result = RunProxyDialog(m_ini, [&](HWND h) {
        for (int id : {IDC_PROXY_ADDRESS, IDC_PROXY_PORT, IDC_PROXY_USER, IDC_PROXY_PASSWORD}) shown.push_back(ItemText(h, id));
        for (int id : {IDC_PROXY_NAMED, IDC_PROXY_SOCKS5}) checks.push_back(IsDlgButtonChecked(h, id));
        Press(h, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"proxy.example", "1080", "代理人", "pw"}));
    EXPECT_EQ(checks, (std::vector<UINT>{BST_CHECKED, BST_CHECKED}));

    // The saved proxy reaches the HTTP client; choosing "direct" afterwards really goes direct.
    EXPECT_EQ(ApplyProxySettings(ReadProxySettings(m_ini)), 1);
    ProxySettings direct;
    direct.accessType = 1;
    EXPECT_EQ(ApplyProxySettings(direct), 1);
    std::string body;
    EXPECT_TRUE(FetchUrl(s_fixture->Url("/login/login.php?t="), &body, 256, kLoginLimits));
}

TEST(ProxyPort, Rule) {
    UINT port = 7;
    EXPECT_TRUE(ParsePortText("0", &port));
    EXPECT_EQ(port, 0u);
    EXPECT_TRUE(ParsePortText("65535", &port));
    EXPECT_FALSE(ParsePortText("65536", &port));
    EXPECT_FALSE(ParsePortText("", &port));
    EXPECT_FALSE(ParsePortText("-1", &port));
    EXPECT_FALSE(ParsePortText("80x", &port));
    EXPECT_EQ(port, 65535u);
}

}  // namespace
