// The client side of the online update: check the downloaded build, store it beside the running
// executable as "<exe>.new" and hand over to Update.
#pragma once

#include <cstddef>
#include <string>

// Larger bodies than this can be the client; smaller ones never are.
constexpr size_t kMinUpdateBody = 10240;

// A body that can replace the client: a whole 32-bit Windows program of more than 10240 bytes.
// It starts with "MZ", has "PE\0\0" where the DOS header's e_lfanew points, is built for the
// i386 machine (0x14C), and holds the raw data of every section (so a body cut anywhere, a DOS
// stub or any other file never passes).
bool IsClientImage(const void* data, size_t size);

// The file the client leaves for Update.
inline std::string UpdateFileFor(const std::string& exePath) { return exePath + ".new"; }

// Starts the updater with the client's path as its whole parameter text (through the
// program-start seam); true when it started.
bool LaunchApp(const char* file, const char* parameters);

// The failure message: "新版本下载失败，请访问 <site> 手动下载新版本!".
std::string UpdateFailedMessage(const std::string& site);
