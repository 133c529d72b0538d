// Per stock code and kind of data file, the server data time of the file's last download, so
// that a file is fetched again only when stale. Kept in hqdata\codestate.dat between runs.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

enum CodeStateKind {
    codeStateDay = 0,     // ".day", key suffix "_1"
    codeStateMinute = 1,  // ".min", "_0"
    codeStateOther = 2,   // base texts and others, "_2"
    codeStateTick = 5,    // ".fbl" and ".fbs", "_3"
};

// Written by download workers and read by the user-interface thread: every call takes its lock.
class CodeStateMap {
public:
    static std::string MakeKey(const char* code, int kind);

    // Adds the file's entries (an existing key keeps its value); a missing file adds nothing.
    int LoadCodeStateFile(const char* path);
    // One "%s;%d\n" line per entry in key order, written whole or not at all.
    int SaveToFile(const char* path);
    void SetCodeState(const char* code, int kind, int32_t time);
    bool GetCodeState(const char* code, int kind, int32_t* time);
    // Against the server data time and status flag of the login reply (GetServerDataTime).
    bool NeedsUpdate(const char* code, int kind);
    bool NeedsUpdate(const char* code, int kind, int32_t serverTime, bool statusFlag);
    size_t GetCount();
    void Clear();

private:
    std::mutex m_lock;
    std::map<std::string, int32_t> m_map;
};

// The process-wide map, loaded from hqdata\codestate.dat under the program folder on first use.
CodeStateMap* GetCodeStateMap();
// Saves the map to that file and destroys it; the next GetCodeStateMap loads it again.
void SaveAndFreeCodeStateMap();
// Free function forms used by the download callback.
int LoadCodeStateFile(const char* path);
void SetCodeState(const char* code, int kind, int32_t time);
