// What the store takes from the settings profile and the shell: the program folder, the server
// data time with its status flag, the ex-rights settings and the sector list's encoding. Their
// owners set them; until then the defaults hold. Also the store's one path-join helper and the
// checks on names taken from data.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The folder of the program with a trailing separator; by default the executable's folder.
std::string GetProgramFolder();
// An empty folder restores the default; a separator is appended when missing.
void SetProgramFolder(const char* folder);

// The server data time (seconds since 1970) and the market flag (0 closed, 1 open) of the login
// reply, later refreshed by the heartbeat; read from any thread. The accessors below read them.
extern std::atomic<int32_t> ServerDataTime;
extern std::atomic<int> MarketOpenFlag;
int32_t GetServerDataTime();
bool GetServerStatusFlag();
void SetServerDataState(int32_t time, bool statusFlag);

// The service's clock (seconds since 1970) as the store sees it: the checks of downloaded records
// refuse times after its tomorrow. The shell sets the clock that follows the service; until then,
// and after a null, this machine's clock.
typedef int32_t (*StoreClock)();
void SetStoreClock(StoreClock clock);
int32_t StoreClockNow();

// The profile's ex-rights base date and gap threshold in percent (its ex-rights parameter). The
// settings profile (analysis/stprofile.h, above the store) owns them and sets them here whenever
// they change, already repaired (0 or -1 never reach the store).
int GetExrightBaseDate();
int GetExrightThreshold();
void SetExrightSettings(int baseDate, int thresholdPercent);

// Whether the service sends the sector list in UTF-8.
bool IsSectorListUtf8();
void SetSectorListUtf8(bool on);

// folder (ending in a separator) followed by a relative path written with backslashes; natively
// the backslashes become the host's separator.
std::string JoinStorePath(const std::string& folder, const char* relative);

// A stock code usable in a file name: letters, digits and '_' only, 1 to 15 characters.
bool IsSafeCode(const char* code);
// A name from data usable as one file or folder name: not empty, not "." or "..", no "..",
// no separators, drive colons, wildcards or control characters, no trailing dot or space and
// no reserved device name. GBK text is scanned by whole characters.
bool IsSafePathComponent(const char* name);
