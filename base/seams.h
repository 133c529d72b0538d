// Message boxes, web pages opened outside the program and starting another program: each goes
// through a hook that tests replace, so that no test blocks on a dialog or opens a browser.
#pragma once

#include <functional>

#include "base/platform.h"

typedef std::function<int(void* owner, const char* text, const char* title, UINT type)> MessageBoxHook;
typedef std::function<bool(const char* url)> OpenPageHook;
typedef std::function<bool(const char* file, const char* parameters)> LaunchHook;

// MessageBoxA (the answer, e.g. IDOK); natively the text goes to stderr and the answer is IDOK.
int ShowMessageBox(void* owner, const char* text, const char* title, UINT type);
// "open" with "iexplore.exe" and the URL; true when the shell accepted it.
bool OpenWebPage(const char* url);
// Starts a program with a parameter text (ShellExecuteExA, no verb); true when it started.
bool LaunchProgram(const char* file, const char* parameters);

// An empty hook puts the real call back; each returns the hook it replaced.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
OpenPageHook SetOpenPageHook(OpenPageHook hook);
LaunchHook SetLaunchHook(LaunchHook hook);

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#define MB_OK 0x0
#define MB_ICONINFORMATION 0x40
#endif
