#include "app/panelrules.h"

#include "base/containers.h"
#include "store/codestate.h"

namespace {

// Present: on disk and not stale by the download records.
bool IsFresh(const StockFetchEnv& env, const std::string& code, const StockDataPaths& paths, int stateKind) {
    if (!env.fileExists || !env.fileExists(paths.localPath)) return false;
    return !env.states || !env.states->NeedsUpdate(code.c_str(), stateKind);
}

// Queues the kind's file unless present; true when present.
bool FetchOne(const StockFetchEnv& env, const std::string& code, bool shanghai, int kind, int stateKind, bool front,
              bool gzip) {
    StockDataPaths paths;
    if (!GetDataPaths(code, shanghai, kind, env.dataHost, env.programFolder, &paths)) return false;
    if (IsFresh(env, code, paths, stateKind)) return true;
    // A refused task is already on its way: asking again would only be refused again.
    if (env.queue) env.queue(code, paths, front, gzip);
    return false;
}

}  // namespace

int FetchStockFiles(const StockFetchEnv& env, const std::string& code, bool shanghai, bool skipDay, bool front) {
    int mask = 0;
    if (FetchOne(env, code, shanghai, stockDataMinute, codeStateMinute, front, true)) mask |= kHaveMinute;
    if (!skipDay) {
        if (FetchOne(env, code, shanghai, stockDataDay, codeStateDay, front, true)) mask |= kHaveDay;
        if (env.signalMode != 0) FetchSignalFile(env, code, shanghai);
    }
    if (FetchOne(env, code, shanghai, stockDataTicks, codeStateTick, front, false)) mask |= kHaveTicks;
    return mask;
}

bool FetchSignalFile(const StockFetchEnv& env, const std::string& code, bool shanghai) {
    if (env.signalMode != 2) return false;
    StockDataPaths paths;
    if (!GetDataPaths(code, shanghai, stockDataSignal, env.dataHost, env.programFolder, &paths)) return false;
    if (env.queue) env.queue(code, paths, true, true);
    return true;
}

bool FetchTextFile(const StockFetchEnv& env, const std::string& code, bool shanghai) {
    StockDataPaths paths;
    if (!GetDataPaths(code, shanghai, stockDataText, env.dataHost, env.programFolder, &paths)) return false;
    if (IsFresh(env, code, paths, codeStateOther)) return false;
    return env.queue && env.queue(code, paths, true, true);
}

PanelKeyAction MapPanelKey(unsigned key) {
    switch (key) {
    case kKeyF3: return panelKeyShanghaiIndex;
    case kKeyF4: return panelKeyShenzhenIndex;
    case kKeyF5: return panelKeySwitchView;
    case kKeyF7: return panelKeyAddToWatch;
    default: return panelKeyToView;
    }
}

bool KeyOpensSearchBox(unsigned key) {
    return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= 0x60 && key <= 0x69) ||
           key == kKeySpace;
}

void ApplyIndicatorChoice(int id, CSPDWordArray& overlays, CSPDWordArray& shown) {
    if (id >= 1 && id <= 8) {
        overlays.RemoveAll();
        overlays.Add(DWORD(id));
    } else if (shown.IsEmpty()) {
        shown.Add(DWORD(id));
    } else {
        shown.SetAt(shown.GetSize() - 1, DWORD(id));
    }
}
