// The real client program under Wine, driven from outside as a user would: single instance,
// login to the placeholder main window, and the whole online update (the fixture announces a
// newer version and serves a newer build; the client writes "<exe>.new", starts Update and
// exits; Update waits for the mutex, puts the build in place, deletes ".new" and starts it). A
// truncated body leaves the installed client untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/net/test_servers.h"

namespace {

using velmora_test::FixtureProcess;

std::string WinePath(const char* hostPath) {
    std::string out = "Z:";
    for (const char* p = hostPath; *p; ++p) out += *p == '/' ? '\\' : *p;
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Search {
    DWORD pid;
    const char* caption;
    const char* text;  // a child's text that must be present, or null
    HWND found;
};

BOOL CALLBACK FindChildText(HWND child, LPARAM l) {
    Search* s = reinterpret_cast<Search*>(l);
    char buf[512] = {0};
    GetWindowTextA(child, buf, sizeof(buf));
    if (std::string(buf).find(s->text) != std::string::npos) {
        s->text = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTop(HWND h, LPARAM l) {
    Search* s = reinterpret_cast<Search*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char caption[256] = {0};
    GetWindowTextA(h, caption, sizeof(caption));
    if (pid != s->pid || !IsWindowVisible(h) || std::string(caption) != s->caption) return TRUE;
    if (s->text) {
        Search inner = *s;
        EnumChildWindows(h, FindChildText, reinterpret_cast<LPARAM>(&inner));
        if (inner.text) return TRUE;
    }
    s->found = h;
    return FALSE;
}

// A visible top-level window of the process with that caption (and a child showing the text).
HWND WaitForWindow(DWORD pid, const char* caption, const char* text, int ms) {
    for (int waited = 0; waited < ms; waited += 100) {
        Search s = {pid, caption, text, nullptr};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(100);
    }
    return nullptr;
}

void Click(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }

class ClientProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        static int serial = 0;
        m_dir = std::string(tmp) + "velmora full " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_exe = m_dir + "\\Velmora.exe";
        ASSERT_TRUE(CopyFileA(WinePath(VELMORA_EXE).c_str(), m_exe.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(WinePath(UPDATE_EXE).c_str(), (m_dir + "\\Update.exe").c_str(), FALSE));
        m_installed = ReadAll(m_exe);
        std::string why;
        ASSERT_TRUE(m_fixture.Start({"--version", "20110101", "--update-file", FAKE_CLIENT_V2, "--market-flag", "0"}, &why))
            << why;
        std::ofstream ini(m_dir + "\\run.ini", std::ios::binary);
        ini << "[Global]\r\nSiteRoot=" << m_fixture.Url("/") << "\r\n";
    }
    void TearDown() override {
        if (m_process) {
            if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) TerminateProcess(m_process, 1);
            CloseHandle(m_process);
        }
        m_fixture.Stop();
        for (const char* f : {"\\Velmora.exe", "\\Velmora.exe.new", "\\Velmora.exe.new.tmp", "\\Velmora.exe.ran",
                              "\\Update.exe", "\\run.ini"})
            DeleteFileA((m_dir + f).c_str());
        // The client's data folders.
        std::string rm = "cmd /c rmdir /s /q \"" + m_dir + "\"";
        STARTUPINFOA si = {};
    si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (CreateProcessA(nullptr, &rm[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 30000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    // Starts the installed client and logs in through its dialog.
    DWORD StartAndLogIn() {
        STARTUPINFOA si = {};
    si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::string cmd = "\"" + m_exe + "\"";
        if (!CreateProcessA(m_exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_dir.c_str(), &si, &pi)) return 0;
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        HWND dlg = WaitForWindow(pi.dwProcessId, "Quorvel股票分析系统 - 经典版", nullptr, 120000);
        if (!dlg) return 0;
        SendMessageA(GetDlgItem(dlg, 1002), WM_SETTEXT, 0, (LPARAM) "股民甲");
        SendMessageA(GetDlgItem(dlg, 1003), WM_SETTEXT, 0, (LPARAM) "pw");
        Click(dlg, IDOK);
        return pi.dwProcessId;
    }

    FixtureProcess m_fixture;
    std::string m_dir, m_exe, m_installed;
    HANDLE m_process = nullptr;
};

TEST_F(ClientProgram, NewerBuildReplacesTheClientAndStarts) {
    DWORD pid = StartAndLogIn();
    ASSERT_NE(pid, 0u);
    HWND box = WaitForWindow(pid, "提示", "新版本下载完成，软件需要重新启动!", 120000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadAll(m_exe + ".new"), ReadAll(WinePath(FAKE_CLIENT_V2)));  // written whole
    Click(box, IDOK);
    ASSERT_EQ(WaitForSingleObject(m_process, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(m_process, &code);
    EXPECT_EQ(code, 0u);
    // Update put the newer build in place and started it; it found the mutex free.
    std::string ran;
    for (int i = 0; i < 600 && ran.empty(); ++i, Sleep(100)) ran = ReadAll(m_exe + ".ran");
    EXPECT_EQ(ran, "2 free");
    EXPECT_EQ(ReadAll(m_exe), ReadAll(WinePath(FAKE_CLIENT_V2)));
    EXPECT_FALSE(Exists(m_exe + ".new"));
}

TEST_F(ClientProgram, WithoutNewerVersionTheMainWindowOpensAndClosesCleanly) {
    velmora_test::RawExchange(m_fixture.Port(), "GET /__fixture/set?version= HTTP/1.1\r\nConnection: close\r\n\r\n");
    DWORD pid = StartAndLogIn();
    ASSERT_NE(pid, 0u);
    HWND frame = nullptr;
    for (int i = 0; i < 1200 && !frame; ++i, Sleep(100)) {
        HWND h = FindWindowA("VelmoraMainFrame", nullptr);
        DWORD owner = 0;
        if (h) GetWindowThreadProcessId(h, &owner);
        if (h && owner == pid && IsWindowVisible(h)) frame = h;
    }
    ASSERT_NE(frame, nullptr);
    RECT r;
    GetWindowRect(frame, &r);
    EXPECT_EQ(r.right - r.left, 900);
    EXPECT_EQ(r.bottom - r.top, 680);
    EXPECT_TRUE(Exists(m_dir + "\\hqdata\\codelist.dat"));
    EXPECT_FALSE(Exists(m_exe + ".new"));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(m_process, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(m_process, &code);
    EXPECT_EQ(code, 1u);  // the message loop's result
}

TEST_F(ClientProgram, SecondClientLeavesAtOnceAndDataFolderExists) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION first = {}, second = {};
    std::string cmd = "\"" + m_exe + "\"";
    ASSERT_TRUE(CreateProcessA(m_exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_dir.c_str(), &si, &first));
    CloseHandle(first.hThread);
    m_process = first.hProcess;
    ASSERT_NE(WaitForWindow(first.dwProcessId, "Quorvel股票分析系统 - 经典版", nullptr, 120000), nullptr);
    EXPECT_TRUE(Exists(m_dir + "\\hqdata"));  // made before the login dialog
    ASSERT_TRUE(CreateProcessA(m_exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_dir.c_str(), &si, &second));
    CloseHandle(second.hThread);
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(second.hProcess, &code);
    CloseHandle(second.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(WaitForSingleObject(m_process, 0), (DWORD)WAIT_TIMEOUT);  // the first one is untouched
    HWND dlg = WaitForWindow(first.dwProcessId, "Quorvel股票分析系统 - 经典版", nullptr, 1000);
    ASSERT_NE(dlg, nullptr);
    Click(dlg, IDCANCEL);
    EXPECT_EQ(WaitForSingleObject(m_process, 60000), WAIT_OBJECT_0);
}

TEST_F(ClientProgram, TruncatedBodyLeavesTheInstalledClient) {
    velmora_test::RawExchange(m_fixture.Port(),
                              "GET /__fixture/fault?prefix=/velmora/update.php&mode=cut HTTP/1.1\r\nConnection: close\r\n\r\n");
    DWORD pid = StartAndLogIn();
    ASSERT_NE(pid, 0u);
    HWND box = WaitForWindow(pid, "提示", "新版本下载失败", 120000);
    ASSERT_NE(box, nullptr);
    Click(box, IDOK);
    // The dialog stays (its buttons disabled); closing it ends the client.
    HWND dlg = WaitForWindow(pid, "Quorvel股票分析系统 - 经典版", nullptr, 30000);
    ASSERT_NE(dlg, nullptr);
    Click(dlg, IDCANCEL);
    ASSERT_EQ(WaitForSingleObject(m_process, 60000), WAIT_OBJECT_0);
    Sleep(1000);
    WIN32_FIND_DATAA found;
    HANDLE left = FindFirstFileA((m_exe + ".new*").c_str(), &found);  // no update file, no temporary one
    EXPECT_EQ(left, INVALID_HANDLE_VALUE);
    if (left != INVALID_HANDLE_VALUE) FindClose(left);
    EXPECT_FALSE(Exists(m_exe + ".ran"));
    EXPECT_TRUE(ReadAll(m_exe) == m_installed);
}

}  // namespace
