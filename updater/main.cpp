// Update: waits until the client has ended, puts the downloaded executable in place and starts
// the client again. It shares nothing with the client but the mutex name, the ".new" file and
// the command line.
#include <windows.h>

#include <string>
#include <vector>

#include "updater/cmdline.h"

namespace {

const char kMutexName[] = "KAMO_STOCK_PRODUCTS";

std::wstring Widen(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), (int)s.size(), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), (int)s.size(), &w[0], n);
    return w;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void StartClient(const std::string& exe) {
    // The path goes in as the program name too: unquoted with spaces, the command line alone
    // could start "C:\Program.exe".
    std::wstring app = Widen(exe);
    std::wstring line = L"\"" + app + L"\"";
    std::vector<wchar_t> cmd(line.begin(), line.end());
    cmd.push_back(L'\0');
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    if (CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                       &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    CommandLineArgs args(commandLine);
    if (args.GetCount() == 0) return 0;
    std::string exe = ExecutablePathFromCommandLine(commandLine);
    if (exe.empty()) return 0;

    HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
    if (!mutex) return 0;
    // The client holds the mutex until its process ends (an abandoned wait counts as ours too).
    if (GetLastError() == ERROR_ALREADY_EXISTS) WaitForSingleObject(mutex, INFINITE);

    std::wstring target = Widen(LongPathForm(exe));
    std::wstring update = Widen(LongPathForm(UpdateFilePath(exe)));
    if (FileExists(update)) {
        Sleep(300);
        // The old image can stay locked for a moment after the client's process has gone.
        bool copied = false;
        for (int attempt = 0; attempt < 20 && !copied; ++attempt) {
            copied = CopyFileW(update.c_str(), target.c_str(), FALSE) != FALSE;
            if (!copied) Sleep(250);
        }
        // Update stands apart from the client's log: the debugger's output directly.
        if (!copied) OutputDebugStringA("Update: the new client could not replace the old one; the old one starts\n");
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A ".new" left behind would be taken again at the next update: retried like the copy.
        for (int attempt = 0; attempt < 20 && !DeleteFileW(update.c_str()) && FileExists(update); ++attempt) Sleep(250);
    }

    // The client quits at once when the mutex exists: give it up before the start.
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    if (FileExists(target)) StartClient(exe.size() < 240 ? exe : LongPathForm(exe));
    return 0;
}
