// The settings profile: the one settings object of the client (colours, quote-list columns and
// their day counts, the stock cursor, the K-line modes and base date, the indicator parameters and
// lists, the alarm conditions), and its file.
//
// It lives in the analysis layer because it owns the indicator parameters and the user indexes.
// The store reads the settings it needs (the program folder, the base date and the ex-rights
// parameter) through store/storeenv.h: the profile hands those values down whenever they change.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/techset.h"
#include "analysis/userindex.h"
#include "store/profiledata.h"

class CStProfile {
public:
    // The version written: a date in BCD.
    static constexpr uint32_t kVersion = 0x20050630;
    // Bounds of a profile file. A load takes nothing beyond them (the file may be damaged or
    // hostile); Save refuses, before writing, a profile that breaks one and so would not load.
    // Lists of 4-byte entries (colours, indicator ids) and the alarm records are bounded by the
    // file size alone: they take no more memory than their bytes.
    static constexpr long kMaxFileSize = 16 * 1024 * 1024;
    static constexpr int kMaxColorClasses = 1024;
    static constexpr int kMaxStoredTexts = 1 << 20;

    enum LoadResult { loadOk = 0, loadMissing = 1, loadDamaged = 2 };

    // Members kept and saved unchanged; nothing in the program reads them.
    struct Extras {
        CSPStringArray texts;
        std::string text1;
        int32_t number1 = 0;
        std::string text2, text3, text4;
        CSPDWordArray list1, list2;
        int32_t number2 = 0;
        std::string text5;
        int32_t number5 = 1;
        int32_t number6 = 60;  // set back to 60 after every load
        int32_t date7 = 20050630;
    };

    CStProfile();
    virtual ~CStProfile();
    CStProfile(const CStProfile&) = delete;
    CStProfile& operator=(const CStProfile&) = delete;

    // Stores, or loads when the archive loads. A load changes nothing unless the magic, the
    // version and every member read cleanly (counts are checked before anything is allocated);
    // members a version does not have keep their values. False when nothing was loaded.
    virtual bool Serialize(CSPArchive& ar);

    // Program folder + "profile.dat".
    static std::string GetProfileFile();
    // Loads the file. A missing, short or damaged file leaves the defaults in place and says so
    // once (GetLoadMessage, and a line to the debug output).
    LoadResult Load(const std::string& path);
    LoadResult Load() { return Load(GetProfileFile()); }
    // Writes the whole profile through a temporary file and a rename, once its bytes have been
    // read back as the next load will read them. False, with the old file kept and the reason in
    // GetSaveMessage, when they would not load again or any step fails.
    bool Save(const std::string& path);
    bool Save() { return Save(GetProfileFile()); }
    const std::string& GetLoadMessage() const { return m_strLoadMessage; }
    // Why the last save wrote nothing; empty after a good one.
    const std::string& GetSaveMessage() const { return m_strSaveMessage; }
    // Every member back to its construction value.
    void SetDefaults();
    // The bytes Serialize stores.
    std::string ToBytes();

    // The version read by the last load (0 before one).
    uint32_t GetVersion() const { return m_nVersion; }

    // Folders and files, each with a trailing separator for folders.
    std::string GetWorkDirectory() const;
    // Program folder + "history\domain.dat" and + "group.dat".
    std::string GetDomainFile() const;
    std::string GetGroupFile() const;

    // The ex-rights parameter and the base date: 0 or -1 reads (and is stored) as the default.
    int GetMainDataType();
    void SetMainDataType(int value);
    int GetBaseDate();
    void SetBaseDate(int date);
    // 1 to 3; anything else reads (and is stored) as 1. The setters store without a check.
    int GetExrightMode();
    void SetExrightMode(int mode);
    int GetPriceMode();
    void SetPriceMode(int mode);

    // Day counts of quote-list columns 10, 11, 12, 38, 39, 40 and 74: the stored value when above
    // 0, else 1, 1, 1, 5, 5, 5 and 720.
    int GetDiffDays() const;
    int GetDiffPercentDays() const;
    int GetScopeDays() const;
    int GetChangeHandDays() const;
    int GetRatioVolumeDays() const;
    int GetRSDays() const;
    int GetYieldAverageDays() const;
    // The stored values in column order (only a load changes them in the program; tests set them).
    int32_t* ColumnDayCounts() { return m_anColumnDays; }

    CIndexContainer& GetIndexContainer() { return m_aIndex; }
    CTechSet& GetTechSet() { return m_techSet; }
    CColorClassContainer& GetColorClasses() { return m_aColorClass; }
    COLORREF GetColor(int slot) { return m_aColorClass.GetColor(slot); }
    CAlarmCondContainer& GetAlarmConditions() { return m_aAlarmCond; }
    Extras& GetExtras() { return m_extras; }

    // The stock cursor of the main stock container, or of the second one when the flag is set.
    int SetCurrentStockByIndex(int index, bool useSecond);
    int SetCurrentStock(const char* code, bool useSecond);
    int GetCurrentStock(CStockInfo* info);
    int GetPrevStock(CStockInfo* info);
    int GetNextStock(CStockInfo* info);
    int GetPrevStocks(std::vector<CStockInfo>& out, int n);
    int GetNextStocks(std::vector<CStockInfo>& out, int n);

    // The indicator lists are read by chart reloads on download threads too: they are changed and
    // copied out under the profile's lock.
    // Sub-pane ids, top to bottom, cleaned (no overlay ids, no repeats); the first call with an
    // empty list fills in the defaults.
    CSPDWordArray GetShownIndicators();
    void SetShownIndicators(const CSPDWordArray& ids);
    // Price-pane overlay ids 1 to 8, cleaned; the first call with an empty list gives MA.
    CSPDWordArray GetSecondIndicatorList();
    void SetSecondIndicatorList(const CSPDWordArray& ids);
    CSPDWordArray GetAllIndicators();
    void SetAllIndicators(const CSPDWordArray& ids);
    // Selects an indicator in the K-line chart: one already shown moves to the end of its list;
    // a new overlay replaces the first, a new sub-pane indicator the last of two or more.
    void ToggleIndicator(int id);
    // Fills the all-indicators list and sets target to the default sub-pane indicators.
    void SetDefaultIndicators(CSPDWordArray& target);

private:
    // A whole stream read, before it replaces the members.
    struct Loaded;
    // The part of the stream a read was in when it stopped.
    enum ReadPart { partHead, partColors, partTexts, partIndexes, partIndicators, partRest };
    static std::string RefusalText(ReadPart part);
    bool Read(CSPArchive& ar, Loaded& in, ReadPart& part);
    void Take(Loaded& in);
    bool Load(CSPArchive& ar);
    void Store(CSPArchive& ar);
    void SetDefaultIndicatorsLocked(CSPDWordArray& target);
    void CleanShownLocked();
    void CleanSecondLocked();
    // Hands the base date and the ex-rights parameter to the store.
    void PublishStoreSettings();
    void SayOnce(const std::string& text);

    uint32_t m_nVersion;
    CColorClassContainer m_aColorClass;
    Extras m_extras;
    int32_t m_nMainDataType;
    CIndexContainer m_aIndex;
    int32_t m_anColumnDays[7];
    int32_t m_bUseSecond;
    CSPDWordArray m_anShowTechs;
    CSPDWordArray m_anSecondTechs;
    CSPDWordArray m_anAllTechs;
    int32_t m_nExrightMode;
    int32_t m_nPriceMode;
    int32_t m_nBaseDate;
    CTechSet m_techSet;
    CAlarmCondContainer m_aAlarmCond;

    std::mutex m_listLock;
    int m_nShownCalls;
    int m_nSecondCalls;
    std::string m_strLoadMessage;
    std::string m_strSaveMessage;
    bool m_bSaid;
};

// The process-wide profile, created on first use.
CStProfile& GetProfile();
