// Where a finished download of the content panel goes: the store writer chosen by the file's
// extension, the code-state record, and whether the view on screen should reload. Download
// workers call it while the user-interface thread changes the current code and view.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "charts/message.h"

class CStDatabase;
class CodeStateMap;

enum DownloadedFileKind {
    downloadedMinute,  // ".min"
    downloadedDay,     // ".day", and an empty download
    downloadedSignal,  // ".sgn"
    downloadedTicks,   // ".fbl", ".fbs"
    downloadedText,    // anything else: company texts
};
// By the file name's extension: ".min", ".day", ".sgn", ".fbl" or ".fbs" (paths are built in
// lower case); anything else is a text.
DownloadedFileKind ClassifyDownloadedFile(const char* path);
// The code-state kind recorded for a file kind; -1 for signals, which are not recorded.
int CodeStateKindOf(DownloadedFileKind kind);


// The reload the panel asks of its own acceptor with message 4029.
struct ReloadRequest {
    bool reload;
    int wParam;
    int lParam;
};

class DownloadRouter {
public:
    // Neither is owned; both outlive the router (the download manager stops first).
    DownloadRouter(CStDatabase* database, CodeStateMap* states);

    // The code with market suffix of the last reload, and the view on screen.
    void SetCurrentCode(const std::string& code);
    std::string GetCurrentCode() const;
    // Case-insensitive: the service's keys and the profile's codes may differ in case.
    bool IsCurrentCode(const char* code) const;
    void SetCurrentView(int viewId) { m_view.store(viewId); }
    int GetCurrentView() const { return m_view.load(); }

    // Stores a finished download (key: the stock code with suffix) and records its code state
    // with the server time when the store took it whole. A reload is asked only when the key is
    // still the current code and the store took the body (a refused one changed nothing).
    ReloadRequest OnDownloadFileDone(const char* key, const char* path, const void* data, int size,
                                     int32_t serverTime);

private:
    CStDatabase* m_database;
    CodeStateMap* m_states;
    mutable std::mutex m_codeLock;
    std::string m_currentCode;
    std::atomic<int> m_view;
};

// The per-stock data files the content panel fetches.
enum StockDataKind {
    stockDataDay = 0,
    stockDataMinute = 1,
    stockDataText = 2,
    stockDataSignal = 4,
    stockDataTicks = 5,
    stockDataLongTicks = 6,
};
struct StockDataPaths {
    std::string url;        // data-server root + folder + remote name
    std::string localPath;  // program folder + local folder + local name
};
// For a code with market suffix ("600000_1"); false for another kind, an empty host or a code
// that is not letters and digits followed by "_0" or "_1" (it names a local file).
bool GetDataPaths(const std::string& code, bool shanghai, int kind, const std::string& dataHost,
                  const std::string& programFolder, StockDataPaths* out);
