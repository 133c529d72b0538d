#include "base/seams.h"

#include <cstdio>
#include <mutex>
#include <utility>

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace {

std::mutex& HookLock() {
    static std::mutex lock;
    return lock;
}
MessageBoxHook& BoxHook() {
    static MessageBoxHook hook;
    return hook;
}
OpenPageHook& PageHook() {
    static OpenPageHook hook;
    return hook;
}
LaunchHook& StartHook() {
    static LaunchHook hook;
    return hook;
}

template <class T>
T Swap(T& slot, T hook) {
    std::lock_guard<std::mutex> hold(HookLock());
    std::swap(slot, hook);
    return hook;
}

template <class T>
T Current(const T& slot) {
    std::lock_guard<std::mutex> hold(HookLock());
    return slot;
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return Swap(BoxHook(), std::move(hook)); }
OpenPageHook SetOpenPageHook(OpenPageHook hook) { return Swap(PageHook(), std::move(hook)); }
LaunchHook SetLaunchHook(LaunchHook hook) { return Swap(StartHook(), std::move(hook)); }

int ShowMessageBox(void* owner, const char* text, const char* title, UINT type) {
    if (MessageBoxHook hook = Current(BoxHook())) return hook(owner, text, title, type);
#ifdef _WIN32
    return ::MessageBoxA(static_cast<HWND>(owner), text, title, type);
#else
    std::fprintf(stderr, "[%s] %s\n", title ? title : "", text ? text : "");
    return IDOK;
#endif
}

bool OpenWebPage(const char* url) {
    if (OpenPageHook hook = Current(PageHook())) return hook(url);
#ifdef _WIN32
    return reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", "iexplore.exe", url, nullptr, SW_SHOW)) > 32;
#else
    return false;
#endif
}

bool LaunchProgram(const char* file, const char* parameters) {
    if (LaunchHook hook = Current(StartHook())) return hook(file, parameters);
#ifdef _WIN32
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOWMAXIMIZED;
    if (!::ShellExecuteExA(&info)) return false;
    if (info.hProcess) ::CloseHandle(info.hProcess);
    return true;
#else
    return false;
#endif
}
