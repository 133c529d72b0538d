// The service's places: one table of 44 texts by position, the program version and the edition.
#pragma once

#include <mutex>
#include <string>

class CIni;

enum : int {
    kUrlCount = 44,
    kUrlSiteRoot = 0,
    kUrlHeartbeat = 1,
    kUrlRegister = 2,
    kUrlResetPassword = 3,
    kUrlRollNews = 12,
    kUrlLoginScript = 13,
    kUrlMarketStatus = 14,
    kUrlUpdate = 15,
    kUrlStockPool = 16,
    kUrlChat = 19,
    kUrlClientId = 27,
    kUrlWatchListFile = 28,  // two local paths, the store's (DataFilePath)
    kUrlGroupFolder = 29,
    kUrlDayFolder = 31,
    kUrlMinuteFolder = 32,
    kUrlF10Folder = 33,
    kUrlSignalFolder = 34,
    kUrlTickFolder = 35,
    kUrlCalcFolder = 36,  // the rankings' folder on the data server
    kUrlRankContinue = 37,
    kUrlRankMarkup = 38,
    kUrlRankPrice = 39,
    kUrlRankVolume = 40,
    kUrlRankAmount = 41,
    kUrlRankVolumeScale = 42,
};

// The program version, a date number, that the login reply's version is compared with.
constexpr int kProgramVersion = 20101228;
// 1 classic, 2 intelligent, 3 institutional; a build setting.
#ifndef VELMORA_EDITION
#define VELMORA_EDITION 1
#endif
constexpr int Edition = VELMORA_EDITION;

// Built-in value of the chat page (the site root's is the network layer's kDefaultSiteRootUrl).
extern const char kDefaultChatUrl[];

// The application-wide table of the service's places: 44 texts by position. Entry 0 is the
// network layer's site root (GetSiteRootUrl gives it too); the login writes entry 13 and the
// update entry 15. Safe from any thread.
class UrlTable {
public:
    UrlTable();
    // The entry at a position ("" outside the table).
    std::string Get(int index) const;
    void Set(int index, const std::string& text);
    // Entry 0, always ending in "/".
    std::string SiteRoot() const { return Get(kUrlSiteRoot); }
    // Every entry back to its built-in text.
    void Reset();

private:
    mutable std::mutex m_lock;
    std::string m_entries[kUrlCount];
};
UrlTable& GetUrlTable();

// Shorthands for the process-wide table.
inline std::string GetUrl(int index) { return GetUrlTable().Get(index); }
inline void SetUrl(int index, const std::string& text) { GetUrlTable().Set(index, text); }
inline std::string GetSiteRoot() { return GetUrlTable().SiteRoot(); }
inline void ResetUrlTable() { GetUrlTable().Reset(); }

// An http or https URL with a host, given a trailing "/" when it has none; "" when unusable.
std::string NormalizeSiteRoot(const std::string& text);
// Reads the configured entries from run.ini: "Global"/"SiteRoot" for entry 0 and
// "Global"/"ChatUrl" for entry 19; an absent or unusable value keeps the built-in one.
void ApplyUrlConfig(const CIni& ini);

// What the edition selects.
const char* LoginScriptForEdition(int edition);
const char* UpdateRequestForEdition(int edition);
const char* LoginCaptionForEdition(int edition);
