#include "app/watchlist.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/fsutil.h"
#include "base/savefile.h"
#include "base/text.h"
#include "store/stockcode.h"

namespace {
// A line is read in pieces of this many characters; the first piece makes the stock.
constexpr size_t kMaxLine = 255;
// Far above any real watch list (a line per stock of the market).
constexpr int64_t kMaxFileSize = 16 * 1024 * 1024;
constexpr size_t kMostReserved = 65536;
}

WatchList::WatchList(std::string path) : m_path(std::move(path)), m_lastSaveOk(true), m_loading(false) {}

int WatchList::AddStock(const char* code, const char* name) {
    if (!code || !name || !*code) return 0;
    std::string plain;
    int market = 0;
    if (!SplitStockCode(code, &plain, &market)) return 0;
    return Add(std::move(plain), market, name);
}

int WatchList::Add(std::string plain, int market, std::string name) {
    if (!m_codes.insert(plain).second) return 0;
    // A name never carries the file's separators.
    for (char& c : name)
        if (c == '\r' || c == '\n') c = ' ';
    m_rows.push_back({std::move(plain), std::move(name), market});
    Changed();
    return 1;
}

bool WatchList::DeleteRows(std::vector<int> rows) {
    std::vector<bool> gone(m_rows.size(), false);
    bool removed = false;
    for (int row : rows) {
        if (row < 0 || size_t(row) >= m_rows.size() || gone[row]) continue;
        gone[row] = true;
        m_codes.erase(m_rows[row].code);
        removed = true;
    }
    if (!removed) return false;
    // One pass keeps the rest in order, however many rows go.
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (gone[i]) continue;
        if (kept != i) m_rows[kept] = std::move(m_rows[i]);
        ++kept;
    }
    m_rows.resize(kept);
    Changed();
    return true;
}

int WatchList::LoadStockList(const char* path) {
    if (!path || !*path) return 0;
    if (!velmora::FileExists(path)) return 1;
    std::string text;
    if (!velmora::ReadWholeFile(path, text, kMaxFileSize)) {
        m_unreadPath = path;
        return 1;
    }

    // A line a stock at most: room for them at once rather than copies of the list as it grows
    // (no more than a market's worth: a damaged file may be all line ends).
    const size_t lines = std::min<size_t>(size_t(std::count(text.begin(), text.end(), '\n')) + 1, kMostReserved);
    m_rows.reserve(m_rows.size() + lines);
    m_codes.reserve(m_codes.size() + lines);
    m_loading = true;
    bool skipped = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t length = end - start;
        const char* line = text.data() + start;
        start = end + 1;
        while (length > 0 && line[length - 1] == '\r') --length;
        if (length == 0) continue;
        // The rest of a longer line is the tail of its name: the stock stays, its name cut.
        // (one byte past the cut shows whether a character crosses it)
        if (length > kMaxLine) length = GbkSafeLength(std::string(line, kMaxLine + 1).c_str(), kMaxLine);
        const char* semi = static_cast<const char*>(std::memchr(line, ';', length));
        const char* codeEnd = semi ? semi : line + length;
        std::string plain;
        int market = 0;
        if (SplitStockCode(std::string(line, codeEnd), &plain, &market))
            Add(std::move(plain), market, semi ? std::string(semi + 1, line + length) : std::string());
        else
            skipped = true;
    }
    m_loading = false;
    // What was skipped would be gone with the next save: the file as it was is kept aside then.
    if (skipped) m_unreadPath = path;
    return 1;
}

std::string WatchList::Serialize() const {
    std::string text;
    for (const WatchListRow& row : m_rows) {
        if (row.code.empty()) continue;
        text += MakeStockCode(row.code, row.market == 1) + ";" + row.name + "\r\n";
    }
    return text;
}

int WatchList::SaveStockList(const char* path) {
    if (!path || !*path) return 0;
    if (!m_unreadPath.empty() && m_unreadPath == path) {
        // Not overwritten: a file the load could not read whole is renamed aside first, or kept.
        const std::string aside = m_unreadPath + ".bad";
        if (velmora::FileExists(path) && !velmora::ReplaceFileWith(path, aside.c_str())) return 0;
        m_unreadPath.clear();
    }
    std::string text = Serialize();
    return SaveFileReplacing(path, text.data(), text.size()) ? 1 : 0;
}

std::string WatchList::GetOpenCode(int row) const {
    if (row < 0 || size_t(row) >= m_rows.size()) return std::string();
    const WatchListRow& r = m_rows[row];
    std::string code = MakeStockCode(r.code, r.market == 1);
    return code.size() > 7 ? code : std::string();
}

void WatchList::Changed() {
    if (m_loading || m_path.empty()) return;
    m_lastSaveOk = SaveStockList(m_path.c_str()) == 1;
}
