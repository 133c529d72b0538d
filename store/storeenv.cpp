#include "store/storeenv.h"

#include <atomic>
#include <climits>
#include <ctime>
#include <cstring>
#include <mutex>

#include "base/fsutil.h"
#include "base/platform.h"
#include "base/text.h"
#include "store/records.h"

std::atomic<int32_t> ServerDataTime{0};
std::atomic<int> MarketOpenFlag{0};

namespace {

std::mutex g_folderLock;
std::string g_folder;
std::atomic<int> g_baseDate{kDefaultExrightBaseDate};
std::atomic<int> g_threshold{kDefaultGapThresholdPercent};
std::atomic<bool> g_sectorUtf8{false};
std::atomic<StoreClock> g_clock{nullptr};

}  // namespace

std::string GetProgramFolder() {
    std::lock_guard<std::mutex> lock(g_folderLock);
    if (g_folder.empty()) g_folder = velmora::GetExecutableFolder();
    return g_folder;
}

void SetProgramFolder(const char* folder) {
    std::lock_guard<std::mutex> lock(g_folderLock);
    g_folder = folder ? folder : "";
    if (!g_folder.empty() && g_folder.back() != '\\' && g_folder.back() != '/') g_folder += velmora::kPathSep;
}


void SetStoreClock(StoreClock clock) { g_clock.store(clock); }

int32_t StoreClockNow() {
    const StoreClock clock = g_clock.load();
    if (clock) return clock();
    const int64_t now = int64_t(std::time(nullptr));
    return now > INT32_MAX ? INT32_MAX : now < 0 ? 0 : int32_t(now);
}

int32_t GetServerDataTime() { return ServerDataTime.load(); }
bool GetServerStatusFlag() { return MarketOpenFlag.load() != 0; }
void SetServerDataState(int32_t time, bool statusFlag) {
    ServerDataTime.store(time);
    MarketOpenFlag.store(statusFlag ? 1 : 0);
}

int GetExrightBaseDate() { return g_baseDate.load(); }
int GetExrightThreshold() { return g_threshold.load(); }
void SetExrightSettings(int baseDate, int thresholdPercent) {
    g_baseDate.store(baseDate);
    g_threshold.store(thresholdPercent);
}

bool IsSectorListUtf8() { return g_sectorUtf8.load(); }
void SetSectorListUtf8(bool on) { g_sectorUtf8.store(on); }

std::string JoinStorePath(const std::string& folder, const char* relative) {
    std::string out = folder;
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out += velmora::kPathSep;
    size_t start = out.size();
    out += relative ? relative : "";
#ifndef _WIN32
    // Only our own relative parts hold backslashes here; names from data are checked to have none.
    for (size_t i = start; i < out.size(); ++i)
        if (out[i] == '\\') out[i] = '/';
#else
    (void)start;
#endif
    return out;
}

bool IsSafeCode(const char* code) {
    if (!code || !*code) return false;
    size_t n = 0;
    for (const char* p = code; *p; ++p, ++n) {
        char c = *p;
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!ok || n >= 15) return false;
    }
    return true;
}

bool IsSafePathComponent(const char* name) {
    if (!name || !*name) return false;
    const size_t total = std::strlen(name);
    if (total > 200) return false;
    if (std::strstr(name, "..")) return false;
    for (size_t i = 0; i < total;) {
        size_t len = GbkCharLength(name + i);
        if (len == 0) break;
        if (len == 1) {
            unsigned char c = static_cast<unsigned char>(name[i]);
            if (c < 0x20 || c == 0x7F) return false;
            if (std::strchr("\\/:*?\"<>|", c)) return false;
        }
        i += len;
    }
    char last = name[total - 1];
    if (last == '.' || last == ' ') return false;
    // Reserved device names, also with an extension.
    std::string stem(name);
    size_t dot = stem.find('.');
    if (dot != std::string::npos) stem.resize(dot);
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    static const char* const kReserved[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* r : kReserved)
        if (stem == r) return false;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '0' &&
        stem[3] <= '9')
        return false;
    return true;
}
