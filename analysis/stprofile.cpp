#include "analysis/stprofile.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "analysis/techuser.h"
#include "base/fsutil.h"
#include "base/savefile.h"
#include "base/text.h"
#include "store/database.h"
#include "store/records.h"
#include "store/storeenv.h"

namespace {

const char kMagic[] = "VOZIZE";
const int kDefaultColumnDays[7] = {1, 1, 1, 5, 5, 5, 720};
const int32_t kDefaultPriceDate = 20050630;
// Lists whose entries take in memory no more than their bytes in the file: the file size bounds them.
const int64_t kMaxIdEntries = CStProfile::kMaxFileSize / 4;
const int64_t kMaxAlarmRecords = CStProfile::kMaxFileSize / int64_t(sizeof(_alarm_cond_t));

void WriteIdList(CSPArchive& ar, const CSPDWordArray& ids) {
    ar.WriteInt(ids.GetSize());
    for (int i = 0; i < ids.GetSize(); ++i) ar.WriteInt(int32_t(ids[i]));
}

bool ReadIdList(CSPArchive& ar, CSPDWordArray& ids, long fileLength) {
    const int32_t n = ar.ReadInt();
    if (ar.IsFailed() || !CountFits(n, 4, fileLength, kMaxIdEntries)) return false;
    if (!ids.SetSize(n)) return false;
    for (int i = 0; i < n; ++i) ids[i] = DWORD(ar.ReadInt());
    return !ar.IsFailed();
}

bool ReadString(CSPArchive& ar, std::string& out) { return ar.ReadString(out) && !ar.IsFailed(); }

void DebugLine(const std::string& text) {
#ifdef _WIN32
    OutputDebugStringA((text + "\n").c_str());
#else
    std::fprintf(stderr, "%s\n", AnsiToUtf8(text.c_str()).c_str());
#endif
}

int RepairedMainDataType(int v) { return v == 0 || v == -1 ? kDefaultGapThresholdPercent : v; }
int RepairedBaseDate(int v) { return v == 0 || v == -1 ? kDefaultExrightBaseDate : v; }

}  // namespace

struct CStProfile::Loaded {
    bool hasVersion = false;
    uint32_t version = 0;
    CColorClassContainer colors;
    Extras extras;
    int32_t mainDataType = 0;
    CIndexContainer indexes;
    int32_t days[7] = {};
    CSPDWordArray shown, second, all;
    int32_t exrightMode = 0, priceMode = 0, baseDate = 0;
    std::unique_ptr<CTechSet> tech{new CTechSet};
    CAlarmCondContainer alarms;
};

CStProfile::CStProfile()
    : m_nVersion(0), m_nMainDataType(kDefaultGapThresholdPercent), m_bUseSecond(0), m_nExrightMode(exrightNone),
      m_nPriceMode(priceClose), m_nBaseDate(kDefaultExrightBaseDate), m_nShownCalls(0), m_nSecondCalls(0),
      m_bSaid(false) {
    for (int i = 0; i < 7; ++i) m_anColumnDays[i] = -1;
    m_extras.date7 = kDefaultPriceDate;
    PublishStoreSettings();
}

CStProfile::~CStProfile() { m_aIndex.RemoveAll(); }

void CStProfile::SetDefaults() {
    m_nVersion = 0;
    m_aColorClass = CColorClassContainer();
    m_extras = Extras();
    m_nMainDataType = kDefaultGapThresholdPercent;
    m_aIndex.RemoveAll();
    for (int i = 0; i < 7; ++i) m_anColumnDays[i] = -1;
    {
        std::lock_guard<std::mutex> lock(m_listLock);
        m_anShowTechs.RemoveAll();
        m_anSecondTechs.RemoveAll();
        m_anAllTechs.RemoveAll();
    }
    m_nExrightMode = exrightNone;
    m_nPriceMode = priceClose;
    m_nBaseDate = kDefaultExrightBaseDate;
    for (int i = 0; i < CTechSet::kMembers; ++i) {
        m_techSet.GetMember(i)->SetDefaultParameters();
        m_techSet.GetMember(i)->Clear();
    }
    m_aAlarmCond.Lock();
    m_aAlarmCond.RemoveAll();
    m_aAlarmCond.Unlock();
    PublishStoreSettings();
}

void CStProfile::PublishStoreSettings() {
    SetExrightSettings(RepairedBaseDate(m_nBaseDate), RepairedMainDataType(m_nMainDataType));
}

// ---- files ----

std::string CStProfile::GetWorkDirectory() const { return GetProgramFolder(); }
std::string CStProfile::GetDomainFile() const { return JoinStorePath(GetProgramFolder(), "history\\domain.dat"); }
std::string CStProfile::GetGroupFile() const { return JoinStorePath(GetProgramFolder(), "group.dat"); }
std::string CStProfile::GetProfileFile() { return JoinStorePath(GetProgramFolder(), "profile.dat"); }

void CStProfile::SayOnce(const std::string& text) {
    m_strLoadMessage = text;
    if (m_bSaid) return;
    m_bSaid = true;
    DebugLine(text);
}

CStProfile::LoadResult CStProfile::Load(const std::string& path) {
    const int64_t size = velmora::GetFileSize(path.c_str());
    if (size < 0) {
        SetDefaults();
        SayOnce("设置文件不存在，使用默认设置。");
        return loadMissing;
    }
    bool ok = false;
    if (size <= kMaxFileSize) {
        CSPFile file;
        // Open refuses a file shorter than 4 bytes.
        if (file.Open(path.c_str(), CSPFile::modeRead) == 1) {
            CSPArchive ar(&file, CSPArchive::load);
            ok = Serialize(ar);
            ar.Close();
            file.Close();
        }
    }
    if (!ok) {
        SetDefaults();
        SayOnce("设置文件已损坏，使用默认设置。");
        return loadDamaged;
    }
    m_strLoadMessage.clear();
    m_bSaid = false;
    return loadOk;
}

std::string CStProfile::ToBytes() {
    CMemArchiveFile file;
    {
        CSPArchive ar(&file, CSPArchive::store);
        Store(ar);
        ar.Close();
        if (ar.IsFailed()) return std::string();
    }
    return file.GetBytes();
}

std::string CStProfile::RefusalText(ReadPart part) {
    char text[128];
    switch (part) {
    case partColors: std::snprintf(text, sizeof text, "配色方案太多（最多%d套）", kMaxColorClasses); break;
    case partTexts: std::snprintf(text, sizeof text, "保存的文本太多（最多%d条）", kMaxStoredTexts); break;
    case partIndexes: std::snprintf(text, sizeof text, "用户指标太多（最多%d个）", kMaxUserIndexes); break;
    case partIndicators:
        std::snprintf(text, sizeof text, "指标参数的天数太多（每个指标最多%d个）", CParamTech::kMaxStoredDays);
        break;
    default: std::snprintf(text, sizeof text, "设置内容无法读回"); break;
    }
    return text;
}

bool CStProfile::Save(const std::string& path) {
    m_strSaveMessage.clear();
    const std::string bytes = ToBytes();
    std::string refused;
    if (bytes.empty()) {
        refused = RefusalText(partRest);
    } else if (bytes.size() > size_t(kMaxFileSize)) {
        refused = "设置太大（最多16 MB）";
    } else {
        // Read back under the bounds of a load: what would not load at the next start is not written.
        CMemArchiveFile file(bytes);
        CSPArchive ar(&file, CSPArchive::load);
        Loaded check;
        ReadPart part = partHead;
        if (!Read(ar, check, part)) refused = RefusalText(part);
    }
    if (refused.empty() && !SaveFileReplacing(path, bytes.data(), bytes.size()))
        refused = "设置文件未能写入";
    if (refused.empty()) return true;
    m_strSaveMessage = "设置未保存：" + refused + "，原来的设置文件保留不变。";
    DebugLine(m_strSaveMessage);
    return false;
}

// ---- the serialised form ----

bool CStProfile::Serialize(CSPArchive& ar) {
    if (ar.IsLoading()) return Load(ar);
    Store(ar);
    return !ar.IsFailed();
}

void CStProfile::Store(CSPArchive& ar) {
    ar.Write(kMagic, 6);
    ar.WriteInt(int32_t(kVersion));

    ar.WriteInt(m_aColorClass.GetCurrent());
    ar.WriteInt(m_aColorClass.GetSize());
    for (int i = 0; i < m_aColorClass.GetSize(); ++i) {
        const CColorClass& c = m_aColorClass[i];
        ar.WriteString(c.m_strName);
        WriteArchiveCount(ar, uint32_t(c.m_aColorRef.GetSize()));
        for (int k = 0; k < c.m_aColorRef.GetSize(); ++k) ar.WriteInt(int32_t(c.m_aColorRef[k]));
    }

    WriteArchiveCount(ar, uint32_t(m_extras.texts.GetSize()));
    for (int i = 0; i < m_extras.texts.GetSize(); ++i) ar.WriteString(m_extras.texts[i]);
    ar.WriteString(m_extras.text1);
    ar.WriteInt(m_extras.number1);
    ar.WriteString(m_extras.text2);
    ar.WriteString(m_extras.text3);
    ar.WriteString(m_extras.text4);
    ar.WriteInt(m_nMainDataType);
    WriteIdList(ar, m_extras.list1);
    WriteIdList(ar, m_extras.list2);

    m_aIndex.Serialize(ar);

    for (int32_t days : m_anColumnDays) ar.WriteInt(days);
    ar.WriteInt(m_extras.number2);
    {
        std::lock_guard<std::mutex> lock(m_listLock);
        WriteIdList(ar, m_anShowTechs);
        WriteIdList(ar, m_anSecondTechs);
        WriteIdList(ar, m_anAllTechs);
    }
    ar.WriteInt(m_nExrightMode);
    ar.WriteInt(m_nPriceMode);
    ar.WriteInt(m_nBaseDate);

    m_techSet.Serialize(ar);

    ar.WriteString(m_extras.text5);
    ar.WriteInt(m_extras.number5);
    ar.WriteInt(m_extras.number6);
    m_aAlarmCond.Lock();
    WriteArchiveCount(ar, uint32_t(m_aAlarmCond.GetSize()));
    if (m_aAlarmCond.GetSize() > 0)
        ar.Write(m_aAlarmCond.GetData(), UINT(m_aAlarmCond.GetSize()) * UINT(sizeof(_alarm_cond_t)));
    m_aAlarmCond.Unlock();
    ar.WriteInt(m_extras.date7);
}

// Reads the whole stream into in; members a version does not carry start from the current values.
bool CStProfile::Read(CSPArchive& ar, Loaded& in, ReadPart& part) {
    part = partHead;
    char magic[8] = {0};
    if (!ar.ReadLine(magic, 6) || std::strcmp(magic, kMagic) != 0) return false;
    in.version = uint32_t(ar.ReadInt());
    if (ar.IsFailed()) return false;
    in.hasVersion = true;
    if (in.version > kVersion) return false;
    const long length = ArchiveFileLength(ar);

    part = partColors;
    in.colors.RemoveAll();
    const int32_t current = ar.ReadInt();
    const int32_t classes = ar.ReadInt();
    if (ar.IsFailed() || !CountFits(classes, 3, length, kMaxColorClasses)) return false;
    for (int i = 0; i < classes; ++i) {
        CColorClass c;
        if (!ReadString(ar, c.m_strName)) return false;
        const uint32_t n = ReadArchiveCount(ar);
        if (ar.IsFailed() || !CountFits(n, 4, length, kMaxIdEntries)) return false;
        c.m_aColorRef.SetSize(int(n));
        for (uint32_t k = 0; k < n; ++k) c.m_aColorRef[int(k)] = COLORREF(uint32_t(ar.ReadInt()));
        if (ar.IsFailed()) return false;
        in.colors.Add(c);
    }
    in.colors.SetCurrent(current);

    part = partTexts;
    Extras& extras = in.extras;
    extras = m_extras;
    const uint32_t texts = ReadArchiveCount(ar);
    if (ar.IsFailed() || !CountFits(texts, 1, length, kMaxStoredTexts)) return false;
    // Sized once: growing a step at a time copies a long list over and over.
    if (!extras.texts.SetSize(int(texts))) return false;
    for (uint32_t i = 0; i < texts; ++i)
        if (!ReadString(ar, extras.texts[int(i)])) return false;
    part = partRest;
    if (!ReadString(ar, extras.text1)) return false;
    extras.number1 = ar.ReadInt();
    if (!ReadString(ar, extras.text2) || !ReadString(ar, extras.text3) || !ReadString(ar, extras.text4)) return false;
    in.mainDataType = ar.ReadInt();
    if (!ReadIdList(ar, extras.list1, length) || !ReadIdList(ar, extras.list2, length)) return false;

    part = partIndexes;
    if (!in.indexes.Serialize(ar)) return false;

    part = partRest;
    for (int32_t& d : in.days) d = ar.ReadInt();
    extras.number2 = ar.ReadInt();
    if (!ReadIdList(ar, in.shown, length) || !ReadIdList(ar, in.second, length) || !ReadIdList(ar, in.all, length))
        return false;
    in.exrightMode = ar.ReadInt();
    in.priceMode = ar.ReadInt();
    in.baseDate = ar.ReadInt();
    if (ar.IsFailed()) return false;

    // Parameters the block does not carry keep their current values.
    part = partIndicators;
    for (int i = 0; i < CTechSet::kMembers; ++i) in.tech->GetMember(i)->CopyParameters(*m_techSet.GetMember(i));
    if (!in.tech->Serialize(ar)) return false;

    part = partRest;
    if (in.version >= 0x20040710) {
        if (!ReadString(ar, extras.text5)) return false;
        extras.number5 = ar.ReadInt();
    }
    if (in.version >= 0x20040803) {
        extras.number6 = ar.ReadInt();
        extras.number6 = 60;
    }
    m_aAlarmCond.Lock();
    in.alarms = m_aAlarmCond;
    m_aAlarmCond.Unlock();
    if (in.version >= 0x20040903) {
        const uint32_t n = ReadArchiveCount(ar);
        if (ar.IsFailed() || !CountFits(n, int64_t(sizeof(_alarm_cond_t)), length, kMaxAlarmRecords)) return false;
        in.alarms.SetSize(int(n));
        if (n > 0) ar.Read(in.alarms.GetData(), n * UINT(sizeof(_alarm_cond_t)));
    }
    if (in.version >= 0x20050630) extras.date7 = ar.ReadInt();
    return !ar.IsFailed();
}

void CStProfile::Take(Loaded& in) {
    m_aColorClass = in.colors;
    m_extras = in.extras;
    m_nMainDataType = in.mainDataType;
    m_aIndex = in.indexes;
    std::memcpy(m_anColumnDays, in.days, sizeof in.days);
    {
        std::lock_guard<std::mutex> lock(m_listLock);
        m_anShowTechs = in.shown;
        m_anSecondTechs = in.second;
        m_anAllTechs = in.all;
    }
    m_nExrightMode = in.exrightMode;
    m_nPriceMode = in.priceMode;
    m_nBaseDate = in.baseDate;
    for (int i = 0; i < CTechSet::kMembers; ++i) m_techSet.GetMember(i)->CopyParameters(*in.tech->GetMember(i));
    m_aAlarmCond.Lock();
    m_aAlarmCond = in.alarms;
    m_aAlarmCond.Unlock();
    PublishStoreSettings();
}

bool CStProfile::Load(CSPArchive& ar) {
    Loaded in;
    ReadPart part = partHead;
    const bool ok = Read(ar, in, part);
    if (in.hasVersion) m_nVersion = in.version;
    // Nothing changes unless the whole stream was good.
    if (ok) Take(in);
    return ok;
}

// ---- settings ----

int CStProfile::GetMainDataType() {
    if (m_nMainDataType == 0 || m_nMainDataType == -1) {
        m_nMainDataType = kDefaultGapThresholdPercent;
        PublishStoreSettings();
    }
    return m_nMainDataType;
}

void CStProfile::SetMainDataType(int value) {
    m_nMainDataType = value;
    PublishStoreSettings();
}

int CStProfile::GetBaseDate() {
    if (m_nBaseDate == 0 || m_nBaseDate == -1) {
        m_nBaseDate = kDefaultExrightBaseDate;
        PublishStoreSettings();
    }
    return m_nBaseDate;
}

void CStProfile::SetBaseDate(int date) {
    m_nBaseDate = date;
    PublishStoreSettings();
}

int CStProfile::GetExrightMode() {
    if (m_nExrightMode < 1 || m_nExrightMode > 3) m_nExrightMode = exrightNone;
    return m_nExrightMode;
}

void CStProfile::SetExrightMode(int mode) { m_nExrightMode = mode; }

int CStProfile::GetPriceMode() {
    if (m_nPriceMode < 1 || m_nPriceMode > 3) m_nPriceMode = priceClose;
    return m_nPriceMode;
}

void CStProfile::SetPriceMode(int mode) { m_nPriceMode = mode; }

int CStProfile::GetDiffDays() const { return m_anColumnDays[0] > 0 ? m_anColumnDays[0] : kDefaultColumnDays[0]; }
int CStProfile::GetDiffPercentDays() const { return m_anColumnDays[1] > 0 ? m_anColumnDays[1] : kDefaultColumnDays[1]; }
int CStProfile::GetScopeDays() const { return m_anColumnDays[2] > 0 ? m_anColumnDays[2] : kDefaultColumnDays[2]; }
int CStProfile::GetChangeHandDays() const { return m_anColumnDays[3] > 0 ? m_anColumnDays[3] : kDefaultColumnDays[3]; }
int CStProfile::GetRatioVolumeDays() const { return m_anColumnDays[4] > 0 ? m_anColumnDays[4] : kDefaultColumnDays[4]; }
int CStProfile::GetRSDays() const { return m_anColumnDays[5] > 0 ? m_anColumnDays[5] : kDefaultColumnDays[5]; }
int CStProfile::GetYieldAverageDays() const {
    return m_anColumnDays[6] > 0 ? m_anColumnDays[6] : kDefaultColumnDays[6];
}

// ---- stock cursor ----

namespace {
CStockContainer& Container(bool second) { return second ? GetStockContainer2() : GetStockContainer(); }
}  // namespace

int CStProfile::SetCurrentStockByIndex(int index, bool useSecond) {
    m_bUseSecond = useSecond ? 1 : 0;
    return Container(m_bUseSecond != 0).SetCurrentStockIndex(index);
}

int CStProfile::SetCurrentStock(const char* code, bool useSecond) {
    m_bUseSecond = useSecond ? 1 : 0;
    return Container(m_bUseSecond != 0).SetCurrentStock(code);
}

int CStProfile::GetCurrentStock(CStockInfo* info) { return Container(m_bUseSecond != 0).GetCurrentStock(info); }
int CStProfile::GetPrevStock(CStockInfo* info) { return Container(m_bUseSecond != 0).GetPrevStock(info); }
int CStProfile::GetNextStock(CStockInfo* info) { return Container(m_bUseSecond != 0).GetNextStock(info); }
int CStProfile::GetPrevStocks(std::vector<CStockInfo>& out, int n) {
    return Container(m_bUseSecond != 0).GetPrevStocks(out, n);
}
int CStProfile::GetNextStocks(std::vector<CStockInfo>& out, int n) {
    return Container(m_bUseSecond != 0).GetNextStocks(out, n);
}

// ---- indicator lists ----

void CStProfile::SetDefaultIndicatorsLocked(CSPDWordArray& target) {
    m_anAllTechs.RemoveAll();
    for (DWORD id = 1; id <= 58; ++id) m_anAllTechs.Add(id);
    const int plugins = TechUserGetCount();
    for (int i = 0; i < plugins; ++i) m_anAllTechs.Add(DWORD(kTechUserIdBase + i));
    target.RemoveAll();
    target.Add(12);
    target.Add(plugins > 0 ? DWORD(kTechUserIdBase) : DWORD(9));
}

void CStProfile::SetDefaultIndicators(CSPDWordArray& target) {
    std::lock_guard<std::mutex> lock(m_listLock);
    SetDefaultIndicatorsLocked(target);
}

namespace {
// Walks from the end, dropping ids the list may not hold and repeats of an earlier entry.
void CleanList(CSPDWordArray& ids, bool overlays) {
    for (int i = ids.GetSize() - 1; i >= 0; --i) {
        const DWORD id = ids[i];
        bool drop = (id >= 1 && id <= 8) != overlays;
        for (int j = 0; !drop && j < i; ++j) drop = ids[j] == id;
        if (drop) ids.RemoveAt(i);
    }
}

int FindFromEnd(const CSPDWordArray& ids, DWORD id) {
    for (int i = ids.GetSize() - 1; i >= 0; --i)
        if (ids[i] == id) return i;
    return -1;
}
}  // namespace

void CStProfile::CleanShownLocked() {
    // Only the first request of the process fills an empty list; one emptied later stays empty.
    if (m_nShownCalls++ == 0 && m_anShowTechs.GetSize() == 0) SetDefaultIndicatorsLocked(m_anShowTechs);
    CleanList(m_anShowTechs, false);
}

void CStProfile::CleanSecondLocked() {
    if (m_nSecondCalls++ == 0 && m_anSecondTechs.GetSize() == 0) m_anSecondTechs.Add(1);
    CleanList(m_anSecondTechs, true);
}

CSPDWordArray CStProfile::GetShownIndicators() {
    std::lock_guard<std::mutex> lock(m_listLock);
    CleanShownLocked();
    return m_anShowTechs;
}

void CStProfile::SetShownIndicators(const CSPDWordArray& ids) {
    std::lock_guard<std::mutex> lock(m_listLock);
    m_anShowTechs = ids;
}

CSPDWordArray CStProfile::GetSecondIndicatorList() {
    std::lock_guard<std::mutex> lock(m_listLock);
    CleanSecondLocked();
    return m_anSecondTechs;
}

void CStProfile::SetSecondIndicatorList(const CSPDWordArray& ids) {
    std::lock_guard<std::mutex> lock(m_listLock);
    m_anSecondTechs = ids;
}

CSPDWordArray CStProfile::GetAllIndicators() {
    std::lock_guard<std::mutex> lock(m_listLock);
    return m_anAllTechs;
}

void CStProfile::SetAllIndicators(const CSPDWordArray& ids) {
    std::lock_guard<std::mutex> lock(m_listLock);
    m_anAllTechs = ids;
}

void CStProfile::ToggleIndicator(int id) {
    std::lock_guard<std::mutex> lock(m_listLock);
    const DWORD d = DWORD(id);
    if (id >= 1 && id <= 8) {
        CleanSecondLocked();
        CSPDWordArray& list = m_anSecondTechs;
        const int at = FindFromEnd(list, d);
        if (at >= 0) {
            list.RemoveAt(at);
            list.Add(d);
        } else if (list.GetSize() > 0) {
            list[0] = d;
        } else {
            list.Add(d);
        }
        return;
    }
    CleanShownLocked();
    CSPDWordArray& list = m_anShowTechs;
    const int at = FindFromEnd(list, d);
    if (at >= 0) {
        list.RemoveAt(at);
        list.Add(d);
    } else if (list.GetSize() >= 2) {
        list[list.GetSize() - 1] = d;
    } else {
        list.Add(d);
    }
}

CStProfile& GetProfile() {
    static CStProfile profile;
    return profile;
}
