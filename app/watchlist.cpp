#include "app/watchlist.h"

#include <algorithm>
#include <cstdio>

#include "base/savefile.h"

namespace {
constexpr size_t kMaxPlainCode = 16;
constexpr size_t kMaxLine = 255;
}

bool SplitStockCode(const std::string& code, std::string* plain, int* market) {
    if (code.size() < 3 || code[code.size() - 2] != '_') return false;
    char m = code.back();
    if (m != '0' && m != '1') return false;
    std::string p = code.substr(0, code.size() - 2);
    if (p.size() > kMaxPlainCode) return false;
    // The code names data files later: letters and digits only.
    for (char c : p) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!ok) return false;
    }
    *plain = p;
    *market = m - '0';
    return true;
}

WatchList::WatchList(std::string path) : m_path(std::move(path)), m_lastSaveOk(true), m_loading(false) {}

int WatchList::AddStock(const char* code, const char* name) {
    if (!code || !name || !*code) return 0;
    std::string plain;
    int market = 0;
    if (!SplitStockCode(code, &plain, &market)) return 0;
    for (const WatchListRow& row : m_rows)
        if (row.code == plain) return 0;
    // A name never carries the file's separators.
    std::string cleanName = name;
    for (char& c : cleanName)
        if (c == '\r' || c == '\n') c = ' ';
    m_rows.push_back({plain, cleanName, market});
    Changed();
    return 1;
}

bool WatchList::DeleteRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    bool removed = false;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || size_t(*it) >= m_rows.size()) continue;
        m_rows.erase(m_rows.begin() + *it);
        removed = true;
    }
    if (removed) Changed();
    return removed;
}

int WatchList::LoadStockList(const char* path) {
    if (!path || !*path) return 0;
    FILE* file = std::fopen(path, "rb");
    if (!file) return 1;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
    bool readOk = !std::ferror(file);
    std::fclose(file);
    if (!readOk) return 1;

    m_loading = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line.size() > kMaxLine) continue;
        size_t semi = line.find(';');
        std::string code = semi == std::string::npos ? line : line.substr(0, semi);
        std::string name = semi == std::string::npos ? std::string() : line.substr(semi + 1);
        AddStock(code.c_str(), name.c_str());
    }
    m_loading = false;
    return 1;
}

std::string WatchList::Serialize() const {
    std::string text;
    for (const WatchListRow& row : m_rows) {
        if (row.code.empty()) continue;
        text += row.code + (row.market == 1 ? "_1" : "_0") + ";" + row.name + "\r\n";
    }
    return text;
}

int WatchList::SaveStockList(const char* path) const {
    if (!path || !*path) return 0;
    std::string text = Serialize();
    return SaveFileReplacing(path, text.data(), text.size()) ? 1 : 0;
}

std::string WatchList::GetOpenCode(int row) const {
    if (row < 0 || size_t(row) >= m_rows.size()) return std::string();
    const WatchListRow& r = m_rows[row];
    std::string code = r.code + (r.market == 1 ? "_1" : "_0");
    return code.size() > 7 ? code : std::string();
}

void WatchList::Changed() {
    if (m_loading || m_path.empty()) return;
    m_lastSaveOk = SaveStockList(m_path.c_str()) == 1;
}
