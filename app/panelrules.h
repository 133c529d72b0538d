// What the content panel decides without its window: which of a stock's data files to fetch,
// what a key does, and how an indicator chosen from a menu changes the profile's lists.
#pragma once

#include <functional>
#include <string>

#include "app/downloadroute.h"

class CodeStateMap;
class CSPDWordArray;

// Where the panel's fetches look and go. `queue` puts one file on the download queue and answers
// false when the queue refused it (its URL is already queued): such a file is not asked again.
struct StockFetchEnv {
    std::string dataHost;
    std::string programFolder;
    std::function<bool(const std::string& path)> fileExists;
    // The download records; null: a file on disk counts as fresh.
    CodeStateMap* states = nullptr;
    std::function<bool(const std::string& key, const StockDataPaths& paths, bool front, bool gzip)> queue;
    // The signal-download mode: 0 off, 2 on.
    int signalMode = 0;
};

// The files a reload found present and fresh.
enum : int { kHaveMinute = 1, kHaveDay = 2, kHaveTicks = 4 };

// Looks at the minute file, then (unless skipDay) the day file and the signal file, then the
// tick file of a code with market suffix; every one missing or stale is queued once. The mask of
// the present ones (kHave...); 0 for a code that names no file.
int FetchStockFiles(const StockFetchEnv& env, const std::string& code, bool shanghai, bool skipDay, bool front);
// Mode 2: the signal file is queued every time, without looking at the disk; false otherwise.
bool FetchSignalFile(const StockFetchEnv& env, const std::string& code, bool shanghai);
// The company text when missing or stale; true when it was queued.
bool FetchTextFile(const StockFetchEnv& env, const std::string& code, bool shanghai);

// Virtual-key codes the panel looks at.
enum : unsigned {
    kKeySpace = 0x20,
    kKeyF3 = 0x72,
    kKeyF4 = 0x73,
    kKeyF5 = 0x74,
    kKeyF7 = 0x76,
};
enum PanelKeyAction {
    panelKeyToView,        // the current view takes the key (message 256)
    panelKeyShanghaiIndex, // F3: "1A0001_1" on the intraday view, then the view takes the key
    panelKeyShenzhenIndex, // F4: "399001_0" on the intraday view, then the view takes the key
    panelKeySwitchView,    // F5: intraday and K-line in turn
    panelKeyAddToWatch,    // F7: command 4044
};
PanelKeyAction MapPanelKey(unsigned key);
// Digits, letters, the numeric pad's digits and space open the search box.
bool KeyOpensSearchBox(unsigned key);

// An indicator chosen from a menu: an overlay id (1 to 8) becomes the only overlay; any other id
// replaces the last shown sub-pane indicator, or is added to an empty list.
void ApplyIndicatorChoice(int id, CSPDWordArray& overlays, CSPDWordArray& shown);
