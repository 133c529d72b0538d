// The Update program under Wine: it waits for the client's mutex, puts the ".new" file in place,
// deletes it and starts the client, which then finds the mutex free.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "app/client_driver.h"

namespace {

using velmora_test::WinePath;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Waits for a file to appear with some content.
std::string WaitForText(const std::string& path, int ms) {
    std::string t;
    velmora_test::WaitUntil([&] { return !(t = ReadAll(path)).empty(); }, ms, 100);
    return t;
}

class UpdaterProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        static int serial = 0;
        // A folder with spaces: the client's path reaches Update unquoted.
        m_dir = std::string(tmp) + "velmora upd " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_exe = m_dir + "\\Velmora Client.exe";
        ASSERT_TRUE(CopyFileA(WinePath(FAKE_CLIENT_V1).c_str(), m_exe.c_str(), FALSE));
    }
    void TearDown() override {
        velmora_test::EndProcessesIn(m_dir);  // whatever the case left running
        for (const char* suffix : {"", ".new", ".ran"}) DeleteFileA((m_exe + suffix).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    void PutUpdate() { ASSERT_TRUE(CopyFileA(WinePath(FAKE_CLIENT_V2).c_str(), (m_exe + ".new").c_str(), FALSE)); }

    // Starts Update with the client's path as its whole (unquoted) argument text.
    HANDLE StartUpdate() {
        std::string app = WinePath(UPDATE_EXE);
        std::string line = "\"" + app + "\" " + m_exe;
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi;
        ZeroMemory(&pi, sizeof(pi));
        std::string cmd = line;
        if (!CreateProcessA(app.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
        CloseHandle(pi.hThread);
        return pi.hProcess;
    }

    std::string m_dir, m_exe;
};

TEST_F(UpdaterProgram, ReplacesAndRestartsWhenNoClientRuns) {
    PutUpdate();
    HANDLE update = StartUpdate();
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(WaitForSingleObject(update, 60000), WAIT_OBJECT_0);
    CloseHandle(update);
    // The new build runs and finds the mutex free: Update gave it up before the start.
    EXPECT_EQ(WaitForText(m_exe + ".ran", 60000), "2 free");
    EXPECT_FALSE(Exists(m_exe + ".new"));
}

TEST_F(UpdaterProgram, WaitsForTheRunningClient) {
    PutUpdate();
    HANDLE held = CreateMutexA(nullptr, TRUE, "KAMO_STOCK_PRODUCTS");
    ASSERT_NE(held, nullptr);
    HANDLE update = StartUpdate();
    ASSERT_NE(update, nullptr);
    // A chance to misbehave, not the verdict: an Update that did not wait would start the client
    // now, and its marker below would say "held" (or come before the release).
    EXPECT_EQ(WaitForSingleObject(update, 3000), (DWORD)WAIT_TIMEOUT);  // still waiting
    EXPECT_TRUE(Exists(m_exe + ".new"));
    EXPECT_FALSE(Exists(m_exe + ".ran"));
    ReleaseMutex(held);
    CloseHandle(held);
    EXPECT_EQ(WaitForSingleObject(update, 60000), WAIT_OBJECT_0);
    CloseHandle(update);
    EXPECT_EQ(WaitForText(m_exe + ".ran", 60000), "2 free");
    EXPECT_FALSE(Exists(m_exe + ".new"));
}

TEST_F(UpdaterProgram, WithoutUpdateFileOnlyRestarts) {
    HANDLE update = StartUpdate();
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(WaitForSingleObject(update, 60000), WAIT_OBJECT_0);
    CloseHandle(update);
    EXPECT_EQ(WaitForText(m_exe + ".ran", 60000), "1 free");
}

// Paths beyond the classic 260 characters go through the wide calls with the "\\?\" prefix.
std::wstring Long(const std::string& path) {
    std::wstring w(path.begin(), path.end());
    return L"\\\\?\\" + w;
}

std::string ReadWide(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "";
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(f, buf, sizeof(buf), &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(f);
    return out;
}

TEST(UpdaterLongPath, ReplacesAClientDeeperThanMaxPath) {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof(tmp), tmp);
    std::string dir = std::string(tmp) + "velmora long " + std::to_string(GetCurrentProcessId());
    std::vector<std::string> made;
    CreateDirectoryW(Long(dir).c_str(), nullptr);
    for (int i = 0; i < 12; ++i) {
        dir += "\\level " + std::to_string(i) + " of a deep folder";
        ASSERT_TRUE(CreateDirectoryW(Long(dir).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        made.push_back(dir);
    }
    std::string exe = dir + "\\Velmora Client.exe";
    ASSERT_GT(exe.size(), 300u);
    std::string v1 = ReadAll(WinePath(FAKE_CLIENT_V1)), v2 = ReadAll(WinePath(FAKE_CLIENT_V2));
    ASSERT_TRUE(CopyFileW(Long(WinePath(FAKE_CLIENT_V1)).c_str(), Long(exe).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Long(WinePath(FAKE_CLIENT_V2)).c_str(), Long(exe + ".new").c_str(), FALSE));

    std::string app = WinePath(UPDATE_EXE);
    std::string cmd = "\"" + app + "\" " + exe;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(app.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(ReadWide(Long(exe)), v2);
    EXPECT_EQ(GetFileAttributesW(Long(exe + ".new").c_str()), INVALID_FILE_ATTRIBUTES);

    // The restarted stand-in (its marker's path is too long for it) may still run: each file goes
    // once nothing holds it.
    for (const char* suffix : {"", ".new", ".ran"}) {
        std::wstring path = Long(exe + suffix);
        velmora_test::WaitUntil([&] { return DeleteFileW(path.c_str()) || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 30000, 100);
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(Long(*it).c_str());
    RemoveDirectoryW(Long(std::string(tmp) + "velmora long " + std::to_string(GetCurrentProcessId())).c_str());
}

}  // namespace
