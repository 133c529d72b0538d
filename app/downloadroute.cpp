#include "app/downloadroute.h"

#include <cstring>

#include "app/urltable.h"
#include "base/text.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/stockcode.h"

DownloadedFileKind ClassifyDownloadedFile(const char* path) {
    if (!path) return downloadedText;
    // The extension of the file name alone: a folder such as "C:\\my.day\\" says nothing.
    const char* name = path;
    for (const char* p = path; *p; p += GbkCharLength(p))
        if (*p == '\\' || *p == '/') name = p + 1;
    const char* dot = std::strrchr(name, '.');
    if (!dot) return downloadedText;
    if (std::strcmp(dot, ".min") == 0) return downloadedMinute;
    if (std::strcmp(dot, ".day") == 0) return downloadedDay;
    if (std::strcmp(dot, ".sgn") == 0) return downloadedSignal;
    if (std::strcmp(dot, ".fbl") == 0 || std::strcmp(dot, ".fbs") == 0) return downloadedTicks;
    return downloadedText;
}

int CodeStateKindOf(DownloadedFileKind kind) {
    switch (kind) {
    case downloadedMinute: return codeStateMinute;
    case downloadedDay: return codeStateDay;
    case downloadedSignal: return -1;
    case downloadedTicks: return codeStateTick;
    default: return codeStateOther;
    }
}

DownloadRouter::DownloadRouter(CStDatabase* database, CodeStateMap* states)
    : m_database(database), m_states(states), m_view(kViewRealTime) {}

void DownloadRouter::SetCurrentCode(const std::string& code) {
    std::lock_guard<std::mutex> hold(m_codeLock);
    m_currentCode = code;
}

std::string DownloadRouter::GetCurrentCode() const {
    std::lock_guard<std::mutex> hold(m_codeLock);
    return m_currentCode;
}

bool DownloadRouter::IsCurrentCode(const char* code) const {
    if (!code) return false;
    std::lock_guard<std::mutex> hold(m_codeLock);
    return !m_currentCode.empty() && GbkCompareNoCase(code, m_currentCode.c_str()) == 0;
}

ReloadRequest DownloadRouter::OnDownloadFileDone(const char* key, const char* path, const void* data, int size,
                                                 int32_t serverTime) {
    ReloadRequest none = {false, 0, 0};
    // An empty download stores nothing and reloads as a day file would.
    DownloadedFileKind kind = downloadedDay;
    if (size > 0 && data && path) {
        kind = ClassifyDownloadedFile(path);
        int stored = 0;
        if (m_database) {
            switch (kind) {
            case downloadedMinute: stored = m_database->StoreMinute(path, data, size); break;
            case downloadedDay: stored = m_database->StoreDay(path, data, size); break;
            case downloadedSignal: stored = m_database->StoreSignal(path, data, size); break;
            case downloadedTicks: stored = m_database->StoreFenbi(path, data, size); break;
            default: stored = m_database->StoreFile(path, data, size); break;
            }
        }
        // A refused body stays unrecorded, so the next open fetches it again, and the view keeps
        // what it shows: the stored file did not change.
        if (!stored) return none;
        int stateKind = CodeStateKindOf(kind);
        if (stateKind >= 0 && m_states && key && *key) m_states->SetCodeState(key, stateKind, serverTime);
    }
    if (!IsCurrentCode(key)) return none;
    int view = GetCurrentView();
    switch (kind) {
    case downloadedMinute:
        if (view == kViewGraph) return {true, 0, 1};
        if (view == kViewRealTime) return {true, 4, 0};
        return none;
    case downloadedText:
        return view == kViewF10 ? ReloadRequest{true, 1, 0} : none;
    default:
        return view != kViewF10 ? ReloadRequest{true, 1, 0} : none;
    }
}

bool GetDataPaths(const std::string& code, bool shanghai, int kind, const std::string& dataHost,
                  const std::string& programFolder, StockDataPaths* out) {
    std::string plain;
    int market = 0;
    if (dataHost.empty() || !SplitStockCode(code, &plain, &market)) return false;
    const std::string lower = shanghai ? "sh" : "sz";
    const std::string upper = shanghai ? "SH" : "SZ";
    const std::string root = "http://" + dataHost + "/";
    // The store names the local file, as it does when it reads the file back.
    auto local = [&](DataFileKind file) { return programFolder + DataFilePath(file, shanghai, code); };
    switch (kind) {
    case stockDataDay:
        out->url = root + GetUrl(kUrlDayFolder) + upper + plain + ".ldy";
        out->localPath = local(dataFileDay);
        return true;
    case stockDataMinute:
        out->url = root + GetUrl(kUrlMinuteFolder) + lower + "/" + plain + ".min";
        out->localPath = local(dataFileMinute);
        return true;
    case stockDataText:
        out->url = root + GetUrl(kUrlF10Folder) + lower + plain + ".txt";
        out->localPath = local(dataFileBaseText);
        return true;
    case stockDataSignal:
        out->url = root + GetUrl(kUrlSignalFolder) + lower + plain + ".sgn";
        out->localPath = local(dataFileSignal);
        return true;
    case stockDataTicks:
    case stockDataLongTicks: {
        const char* ext = kind == stockDataTicks ? ".fbs" : ".fbl";
        out->url = root + GetUrl(kUrlTickFolder) + lower + plain + ext;
        out->localPath = local(kind == stockDataTicks ? dataFileShortTicks : dataFileLongTicks);
        return true;
    }
    default:
        return false;
    }
}
