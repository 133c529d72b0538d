// The side panel's watch list without its window: rows of plain code, name and market, kept in
// the store's watch-list file as GBK lines "code_suffix;name" ending in CR LF.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

struct WatchListRow {
    std::string code;  // plain code, no market suffix
    std::string name;
    int market;        // 1 Shanghai, 0 Shenzhen
};

class WatchList {
public:
    // With a path, every change is written there at once (a failed write keeps the old file).
    explicit WatchList(std::string path = std::string());

    // code with its market suffix ("_1" or "_0"). 0 when either text is missing, the code has
    // no plain code of letters and digits before a market suffix, or the plain code is listed
    // already (whatever its market); 1 when appended.
    int AddStock(const char* code, const char* name);
    // Removes the rows at the given positions (positions outside the list are ignored); true
    // when a row went.
    bool DeleteRows(std::vector<int> rows);

    // Adds the file's stocks as AddStock does: duplicates are dropped, a line longer than 255
    // characters keeps its stock with the name cut there (on a whole character), and a line that
    // is not a stock is skipped. 0 for a missing path; 1 otherwise, also when the file cannot be
    // read (nothing changes then). A file that cannot be read, or that has lines that are not
    // stocks, is renamed to its name + ".bad" ("usrstock.dat.bad") before the next save to it.
    int LoadStockList(const char* path);
    // Writes every row whose code is not empty, replacing the file only when the whole new text
    // is written. 0 for a missing path, a failed write, or a file to set aside (see
    // LoadStockList) that could not be renamed; 1 when written.
    int SaveStockList(const char* path);
    // The file's text for the rows.
    std::string Serialize() const;

    size_t GetCount() const { return m_rows.size(); }
    const WatchListRow& GetRow(size_t index) const { return m_rows[index]; }
    // The code with its market suffix to open for a row; "" for a row outside the list or a
    // code of 7 characters or fewer with its suffix.
    std::string GetOpenCode(int row) const;
    // The result of the last automatic write (true before any).
    bool LastSaveOk() const { return m_lastSaveOk; }

private:
    // Appends a row unless the plain code is listed already.
    int Add(std::string plain, int market, std::string name);
    void Changed();

    std::string m_path;
    std::vector<WatchListRow> m_rows;
    // The plain codes of the rows: a duplicate is found without a walk over the list.
    std::unordered_set<std::string> m_codes;
    // A file the last load could not read whole, to keep aside before it is overwritten.
    std::string m_unreadPath;
    bool m_lastSaveOk;
    bool m_loading;
};
