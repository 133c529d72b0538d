// Drives the real client program under Wine from outside, as a user would: a private copy of the
// build in a fresh folder, the process, its windows found by caption and pressed by messages.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "win_wait.h"

namespace velmora_test {

// The login dialog's caption (edition 1) and its controls.
constexpr const char* kLoginCaption = "Quorvel股票分析系统 - 经典版";
enum { kNameEdit = 1002, kPasswordEdit = 1003, kProxyButton = 1005, kStatusLine = 1011 };

inline std::string WinePath(const char* hostPath) {
    std::string out = "Z:";
    for (const char* p = hostPath; *p; ++p) out += *p == '/' ? '\\' : *p;
    return out;
}

inline bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A window's text through WM_GETTEXT (answered by the owning thread, also across processes);
// "?" when the window does not answer within a second.
inline std::string WindowText(HWND h) {
    char buf[1024] = {0};
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof(buf), (LPARAM)buf, SMTO_ABORTIFHUNG, 1000, &got)) return "?";
    return buf;
}
inline std::string ItemText(HWND dlg, int id) { return WindowText(GetDlgItem(dlg, id)); }


inline void Click(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }

namespace detail {
struct Search {
    DWORD pid;           // 0: any process
    DWORD notPid;        // a process to pass over (0: none)
    const char* caption;
    const char* text;    // a child's text that must be present, or null
    HWND found;
    DWORD foundPid;
};
inline BOOL CALLBACK FindChildText(HWND child, LPARAM l) {
    Search* s = reinterpret_cast<Search*>(l);
    char buf[512] = {0};
    GetWindowTextA(child, buf, sizeof(buf));
    if (std::string(buf).find(s->text) == std::string::npos) return TRUE;
    s->text = nullptr;
    return FALSE;
}
inline BOOL CALLBACK FindTop(HWND h, LPARAM l) {
    Search* s = reinterpret_cast<Search*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char caption[256] = {0};
    GetWindowTextA(h, caption, sizeof(caption));
    if ((s->pid && pid != s->pid) || pid == s->notPid || !IsWindowVisible(h) || std::string(caption) != s->caption)
        return TRUE;
    if (s->text) {
        Search inner = *s;
        EnumChildWindows(h, FindChildText, reinterpret_cast<LPARAM>(&inner));
        if (inner.text) return TRUE;
    }
    s->found = h;
    s->foundPid = pid;
    return FALSE;
}
}  // namespace detail

// A visible top-level window of the process (pid 0: of any process but notPid) with that caption
// and, when text is given, a child showing it. The owning process id goes to *owner.
inline HWND WaitForWindow(DWORD pid, const char* caption, const char* text, int ms, DWORD notPid = 0,
                          DWORD* owner = nullptr) {
    detail::Search s = {};
    WaitUntil([&] {
        s = {pid, notPid, caption, text, nullptr, 0};
        EnumWindows(detail::FindTop, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr;
    }, ms, 100);
    if (s.found && owner) *owner = s.foundPid;
    return s.found;
}

// The program a process runs, as a full path ("" when it cannot be asked).
inline std::string ProcessImage(DWORD pid) {
    typedef BOOL(WINAPI * QueryImage)(HANDLE, DWORD, LPSTR, PDWORD);
    static QueryImage query =
        reinterpret_cast<QueryImage>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA"));
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h) return "";
    char path[MAX_PATH * 2] = {0};
    DWORD size = sizeof(path);
    bool ok = query && query(h, 0, path, &size);
    CloseHandle(h);
    return ok ? std::string(path, size) : std::string();
}

// ASCII letters only: a GBK trail byte is never changed.
inline std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The running processes whose program lies in the folder and, when name is given, has that file
// name: the client and Update a test started, and any they started in turn.
inline std::vector<DWORD> ProcessesIn(const std::string& dir, const char* name = nullptr) {
    std::vector<DWORD> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    const std::string prefix = Lower(dir + "\\");
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) {
        if (pe.th32ProcessID == GetCurrentProcessId()) continue;
        std::string image = Lower(ProcessImage(pe.th32ProcessID));
        if (image.compare(0, prefix.size(), prefix) != 0) continue;
        if (name && image.substr(prefix.size()) != Lower(name)) continue;
        out.push_back(pe.th32ProcessID);
    }
    CloseHandle(snap);
    return out;
}

// Ends every process running a program of the folder, and waits until each has gone.
inline void EndProcessesIn(const std::string& dir) {
    for (DWORD pid : ProcessesIn(dir)) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!h) continue;
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 30000);
        CloseHandle(h);
    }
}

inline bool IsExtendedKey(UINT vk) { return vk >= VK_PRIOR && vk <= VK_DOWN; }

// A key pressed and let go, as the keyboard delivers it: to the window with the keyboard focus
// in the frame's thread (the fallback when none has it).
inline void PressKey(HWND frame, HWND fallback, UINT vk) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = fallback;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == frame || IsChild(frame, info.hwndFocus)))
        target = info.hwndFocus;
    LPARAM bits = 1 | LPARAM(MapVirtualKeyA(vk, 0)) << 16 | (IsExtendedKey(vk) ? 1 << 24 : 0);
    PostMessageA(target, WM_KEYDOWN, vk, bits);
    PostMessageA(target, WM_KEYUP, vk, bits | 0xC0000000);
}

// Xvfb runs no window manager, and Wine waits two seconds for one to withdraw each managed window
// that is hidden (an ended dialog, for one). The client's windows are left unmanaged while a
// test runs, so that what is timed is the program and not that wait.
class UnmanagedClientWindows {
public:
    UnmanagedClientWindows() {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
            RegCloseKey(key);
        }
    }
    ~UnmanagedClientWindows() {
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Velmora.exe");
    }

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\Velmora.exe\\X11 Driver";
};

// The copied build in a fresh folder whose name holds a space; removed with everything in it.
class ClientFolder {
public:
    // withSkin: the skin beside the client as an installation has it (the main frame's side
    // panel needs its pictures); without, the windows keep the system look.
    ClientFolder(const char* tag, const char* clientExe, const char* updaterExe, bool withSkin = false) {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        static int serial = 0;
        // Wine reuses process ids across runs: the tick count keeps an old run's folder out.
        dir = std::string(tmp) + "velmora " + tag + " " + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount()) + "-" + std::to_string(serial++);
        CreateDirectoryA(dir.c_str(), nullptr);
        char longForm[MAX_PATH * 2];
        DWORD n = GetLongPathNameA(dir.c_str(), longForm, sizeof(longForm));
        if (n > 0 && n < sizeof(longForm)) dir = longForm;  // as process images name it
        exe = dir + "\\Velmora.exe";
        ok = CopyFileA(WinePath(clientExe).c_str(), exe.c_str(), FALSE) &&
             CopyFileA(WinePath(updaterExe).c_str(), (dir + "\\Update.exe").c_str(), FALSE) &&
             (!withSkin || CopySkin(clientExe));
    }
    // Whatever happened in the test, nothing it started from here outlives it: a client left
    // running would hold the single-instance mutex and turn the next test's client away.
    ~ClientFolder() {
        EndProcessesIn(dir);
        std::string rm = "cmd /c rmdir /s /q \"" + dir + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (CreateProcessA(nullptr, &rm[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 30000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    // run.ini beside the client: the site root, then any further lines ("[Section]", "Key=value").
    void WriteRunIni(const std::string& siteRoot, const std::vector<std::string>& more = {}) {
        std::string text = "[Global]\r\nSiteRoot=" + siteRoot + "\r\n";
        for (const std::string& line : more) text += line + "\r\n";
        WriteTestFile(dir + "\\run.ini", text);
    }

    std::string dir, exe;
    bool ok = false;

private:
    // The skin beside the client, as an installation has it (its pictures draw the frame).
    bool CopySkin(const char* clientExe) {
        std::string from = WinePath(clientExe);
        from = from.substr(0, from.find_last_of('\\')) + "\\Skin\\Default\\";
        std::string to = dir + "\\Skin";
        CreateDirectoryA(to.c_str(), nullptr);
        to += "\\Default\\";
        CreateDirectoryA(to.c_str(), nullptr);
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((from + "*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return true;  // a build without its skin: the system look
        bool copied = true;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                copied = CopyFileA((from + fd.cFileName).c_str(), (to + fd.cFileName).c_str(), FALSE) && copied;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        return copied;
    }
    UnmanagedClientWindows m_unmanaged;
};

// One run of the client; a process still running at the end is ended.
class ClientProcess {
public:
    ~ClientProcess() { Close(); }
    bool Start(const ClientFolder& folder) {
        Close();
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::string cmd = "\"" + folder.exe + "\"";
        if (!CreateProcessA(folder.exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.dir.c_str(), &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        handle = pi.hProcess;
        pid = pi.dwProcessId;
        return true;
    }
    // A process this test did not start (Update started it): taken over by id.
    bool Adopt(DWORD id) {
        Close();
        handle = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, id);
        pid = handle ? id : 0;
        return handle != nullptr;
    }
    bool WaitForExit(DWORD ms) { return handle && WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
    bool IsRunning() const { return handle && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }
    DWORD ExitCode() const {
        DWORD code = 99;
        if (handle) GetExitCodeProcess(handle, &code);
        return code;
    }
    void Close() {
        if (!handle) return;
        if (IsRunning()) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, 10000);
        }
        CloseHandle(handle);
        handle = nullptr;
        pid = 0;
    }
    // The login dialog, once shown.
    HWND LoginDialog(int ms = 120000) const { return WaitForWindow(pid, kLoginCaption, nullptr, ms); }
    // Fills the login dialog and presses "登录"; the dialog, or null when it did not show.
    HWND LogIn(const char* name = "股民甲", const char* password = "pw") const {
        HWND dlg = LoginDialog();
        if (!dlg) return nullptr;
        SendMessageA(GetDlgItem(dlg, kNameEdit), WM_SETTEXT, 0, (LPARAM)name);
        SendMessageA(GetDlgItem(dlg, kPasswordEdit), WM_SETTEXT, 0, (LPARAM)password);
        Click(dlg, IDOK);
        return dlg;
    }
    // The main frame of this process, once visible.
    HWND MainWindow(int ms) const { return pid ? WaitForProcessWindow("VelmoraMainFrame", nullptr, ms, pid) : nullptr; }

    HANDLE handle = nullptr;
    DWORD pid = 0;
};

}  // namespace velmora_test
