// Small file-system calls the store needs: existence tests, folder creation and replacing a file.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

bool FolderExists(const char* path);
bool FileExists(const char* path);
// True when the folder exists afterwards.
bool CreateFolder(const char* path);
// Size of a regular file, -1 when it is missing.
int64_t GetFileSize(const char* path);
// Renames from over to, replacing an existing file in one step.
bool ReplaceFileWith(const char* from, const char* to);
bool RemoveFile(const char* path);
// Reads a whole regular file of at most maxSize bytes; false (out empty) when it does not open,
// is larger or a read fails.
bool ReadWholeFile(const char* path, std::string& out, int64_t maxSize);

// The running program's folder with its trailing separator (".\\" or "./" when unknown). GBK
// paths are cut at the last separator that is a whole character.
std::string GetExecutableFolder();

}  // namespace velmora
