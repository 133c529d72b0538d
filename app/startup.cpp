#include "app/startup.h"

#include <cstring>

#include "analysis/stprofile.h"
#include "app/urltable.h"
#include "base/fsutil.h"
#include "base/log.h"
#include "base/savefile.h"
#include "base/seams.h"
#include "net/download.h"
#include "net/services.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/filecheck.h"
#include "store/groups.h"
#include "store/stockcode.h"
#include "store/storeenv.h"

namespace {

const char kIndexCode[] = "1A0001_1";
const char kIndexPlainCode[] = "1A0001";

// What a start-up file must look like before it replaces the stored one.
struct FileShape {
    StoredFileKind kind;
    bool stored;
};

// True when the stored file already holds exactly these bytes: the code list comes back unchanged
// on most starts, and a rewrite costs a flush to disk.
bool SameAsStored(const char* path, const void* data, size_t size) {
    if (!path || velmora::GetFileSize(path) != int64_t(size)) return false;
    std::string stored;
    return velmora::ReadWholeFile(path, stored, int64_t(size)) && stored.size() == size &&
           std::memcmp(stored.data(), data, size) == 0;
}

// Called with the unpacked body: a body of the wrong shape (an error page, a body that was not
// compressed after all, garbage) never replaces a good file.
void StoreChecked(const char*, const char* path, void* context, const void* data, int size) {
    FileShape* shape = static_cast<FileShape*>(context);
    // The same verdict as IsWholeStoredData, with its reason for the log.
    const StoredDataCheck check =
        size > 0 ? CheckStoredData(data, static_cast<size_t>(size), shape->kind, StoreClockNow())
                 : StoredDataCheck{false, "the body is empty"};
    if (!check.whole) {
        LogError("StoreChecked", "%s: %s, refused; the stored file is kept", path ? path : "", check.reason.c_str());
        shape->stored = false;
        return;
    }
    shape->stored = SameAsStored(path, data, static_cast<size_t>(size)) ||
                    SaveFileReplacing(path, data, static_cast<size_t>(size));
    if (!shape->stored) LogError("StoreChecked", "%s: saving failed", path ? path : "");
}

// One synchronous download, unpacked and stored only when whole and of the right shape.
bool DownloadChecked(DownloadManager* manager, const std::string& url, const char* key, const std::string& local,
                     StoredFileKind kind) {
    FileShape shape = {kind, false};
    return manager &&
           manager->DownloadNow(url.c_str(), key, local.c_str(), &StoreChecked, &shape, false, false, true) &&
           shape.stored;
}

// Fetches the file when it is missing, damaged or stale; records it once stored. A failure is not
// reported: the chart shows what the store has.
void FetchWhenNeeded(DownloadManager* manager, const IndexFile& file) {
    CodeStateMap* states = GetCodeStateMap();
    StoredFileKind kind = file.kind == codeStateDay ? storedDay : storedMinute;
    if (IsWholeStoredFile(file.local.c_str(), kind) && states && !states->NeedsUpdate(kIndexCode, file.kind)) return;
    if (DownloadChecked(manager, file.url, kIndexCode, file.local, kind)) {
        if (states) states->SetCodeState(kIndexCode, file.kind, ServerDataTime.load());
    }
}

}  // namespace

IndexFile IndexDayFile() {
    return {GetServerRootUrl() + GetUrlTable().Get(kUrlDayFolder) + "SH" + kIndexPlainCode + ".ldy",
            JoinStorePath(GetProgramFolder(), DataFilePath(dataFileDay, true, kIndexCode).c_str()),
            codeStateDay};
}

IndexFile IndexMinuteFile() {
    return {GetServerRootUrl() + GetUrlTable().Get(kUrlMinuteFolder) + "sh/" + kIndexPlainCode + ".min",
            JoinStorePath(GetProgramFolder(), DataFilePath(dataFileMinute, true, kIndexCode).c_str()),
            codeStateMinute};
}

bool LoadStartupData(ILoginView& view) {
    view.SetStatusText("初始化原始数据...");
    char error[1024] = {0};
    if (!InitializeDatabase(error, sizeof(error))) {
        view.Message(error, "ERROR", MB_ICONINFORMATION);
        view.FinishDialog(2);
        return false;
    }
    if (view.IsStopRequested()) return false;

    view.SetStatusText("下载股票代码....");
    DownloadManager* manager = GetDownloadManager();
    std::string url = GetServerRootUrl() + "hqdatagzip/codelist/codelist.ldt";
    std::string local = JoinStorePath(GetProgramFolder(), DataFilePath(dataFileCodeList).c_str());
    bool listed = false;
    for (int attempt = 0; attempt < 3 && manager && !listed; ++attempt) {
        if (view.IsStopRequested()) return false;
        listed = DownloadChecked(manager, url, "", local, storedCodeList);
    }
    if (view.IsStopRequested()) return false;
    if (!listed) {
        view.Message("下载股票代码列表失败,程序有可能不能正常使用", "ERROR", MB_ICONINFORMATION);
        view.FinishDialog(2);
        return false;
    }

    view.SetStatusText("初始化资源文件....");
    view.SetStatusText("下载数据......");
    FetchWhenNeeded(manager, IndexDayFile());
    if (view.IsStopRequested()) return false;

    view.SetStatusText("初始化资源文件....");
    GetStockContainer().LoadFromDatabase(&GetDatabase(), 0, 10000);
    GetDomainContainer().LoadText(GetProfile().GetDomainFile().c_str());
    GetGroupContainer().LoadText(GetProfile().GetGroupFile().c_str());
    if (view.IsStopRequested()) return false;

    view.SetStatusText("下载数据......");
    FetchWhenNeeded(manager, IndexMinuteFile());
    if (view.IsStopRequested()) return false;

    view.SetStatusText("加载板块数据......");
    if (CGroupDownloader* groups = GetGroupDownloader()) groups->DownloadGroups(false, nullptr);
    if (view.IsStopRequested()) return false;

    view.FinishDialog(1);
    return true;
}
