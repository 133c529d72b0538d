#include "app/codeindex.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "analysis/catalog.h"
#include "analysis/techuser.h"
#include "store/container.h"

namespace {

constexpr int kBuiltInIndicators = 58;
const char kCompositeCode[] = "1A0001_1";

// The characters a list may be filed under; '*' only where the filing step allows it.
bool IsKeyChar(char c, bool starAllowed) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 0x60 && u <= 0x69) || u == ' ' ||
           (starAllowed && u == '*');
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Typed texts that also stand for the composite index: its well-known code 000001 and the zeros
// a user types on the way there.
bool TypesCompositeAlias(const char* typed) {
    static const char* const kZeros[] = {"0", "00", "000", "0000", "00000"};
    for (const char* z : kZeros)
        if (std::strcmp(typed, z) == 0) return true;
    return std::strstr(typed, "000001") != nullptr;
}

// Bytes of the whole character at text[i]: a GBK lead byte takes its trail byte with it.
size_t CharBytes(const std::string& text, size_t i) {
    return static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
}

}  // namespace

bool IsSearchKey(int vk) { return (vk >= 48 && vk <= 57) || (vk >= 65 && vk <= 90) || (vk >= 96 && vk <= 105) || vk == 32; }

bool MatchTypedKey(const char* candidate, const char* typed) {
    if (!candidate || !typed) return false;
    while (*typed) {
        if (!*candidate) return true;
        if (*candidate == *typed) {
            ++candidate;
            ++typed;
        } else if (*candidate == '*') {
            ++candidate;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<std::string> CodeIndex::ExpandKeys(const std::string& source) {
    size_t i = 0;
    const bool star = !source.empty() && source[0] == '*';
    if (star) i = 1;
    std::vector<std::string> texts(1);
    // Alternative j goes to every text of the copy j; the product is cut at the cap.
    auto applyGroup = [&texts](const std::vector<std::string>& alternatives) {
        if (alternatives.empty()) return;
        const size_t m = texts.size();
        const size_t total = std::min(alternatives.size() * m, kMaxKeyVariants);
        std::vector<std::string> next;
        next.reserve(total);
        for (size_t j = 0; j < alternatives.size() && next.size() < total; ++j)
            for (size_t t = 0; t < m && next.size() < total; ++t) next.push_back(texts[t] + alternatives[j]);
        texts.swap(next);
    };
    bool inGroup = false;
    std::vector<std::string> alternatives;
    std::string current;
    while (i < source.size()) {
        const size_t n = CharBytes(source, i);
        const char c = source[i];
        if (inGroup && n == 1 && c == '|') {
            alternatives.push_back(current);
            current.clear();
        } else if (inGroup && n == 1 && c == ')') {
            alternatives.push_back(current);
            current.clear();
            applyGroup(alternatives);
            alternatives.clear();
            inGroup = false;
        } else if (inGroup) {
            current.append(source, i, n);
        } else if (n == 1 && c == '(') {
            inGroup = true;
        } else {
            for (std::string& t : texts) t.append(source, i, n);
        }
        i += n;
    }
    // An unclosed group keeps the alternatives a '|' ended.
    if (inGroup) applyGroup(alternatives);

    std::vector<std::string> keys;
    for (const std::string& t : texts) {
        if (t.empty()) continue;
        if (keys.size() + (star ? 2 : 1) > kMaxKeyVariants) break;
        keys.push_back(t);
        if (star) keys.push_back("*" + t);
    }
    return keys;
}

void CodeIndex::File(char c, const SearchEntry& entry) { m_lists[static_cast<unsigned char>(c)].push_back(entry); }

void CodeIndex::AddItem(const std::string& code, const std::string& keySource, const std::string& name,
                        uint32_t value) {
    std::vector<std::string> keys = ExpandKeys(keySource);
    const bool byCodeOnly = keys.empty();
    if (byCodeOnly) keys.push_back(code);
    bool filedUnderCode = false;
    for (const std::string& key : keys) {
        const SearchEntry entry{code, key, name, value};
        char c = code.empty() ? '\0' : code[0];
        if (c == '*') {
            File('*', entry);
            if (keySource.size() >= 2 && code.size() >= 2) c = code[1];
        }
        const char first = key.empty() ? '\0' : key[0];
        if (IsKeyChar(first, true)) {
            File(first, entry);
            if (first == c) filedUnderCode = true;
        }
        if (first != c && c != '*' && IsKeyChar(c, false) && !filedUnderCode) {
            File(c, entry);
            filedUnderCode = true;
            if (code == kCompositeCode) File('0', entry);
        }
        if (byCodeOnly && code == kCompositeCode) File('0', entry);
    }
}

void CodeIndex::Clear() {
    for (auto& list : m_lists) list.clear();
    m_stockCodes.clear();
}

int CodeIndex::Build(CStockContainer& stocks, bool withIndicators) {
    Clear();
    {
        SingleLock lock(&stocks.GetLock());
        const int count = stocks.GetSize();
        m_stockCodes.assign(static_cast<size_t>(std::max(count, 0)), std::string());
        // The code list holds the composite index twice; one standing per code is enough.
        std::unordered_set<std::string> filed;
        filed.reserve(static_cast<size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i) {
            const CStockInfo& info = stocks[i];
            std::string code = info.GetStockCode();
            if (code.size() <= 5 || !filed.insert(code).second) continue;
            AddItem(code, info.GetStockShortName(), info.GetStockName(), static_cast<uint32_t>(i));
            m_stockCodes[static_cast<size_t>(i)] = std::move(code);
        }
    }
    if (withIndicators) {
        const int total = kBuiltInIndicators + std::max(TechUserGetCount(), 0);
        for (int n = 1; n <= total; ++n) {
            const int id = n <= kBuiltInIndicators ? n : n + (kTechUserIdBase - kBuiltInIndicators - 1);
            char code[16];
            std::snprintf(code, sizeof code, "%02d_2", n);
            AddItem(code, GetTechnicalShortName(id), GetTechnicalName(id), static_cast<uint32_t>(id) | kSearchIndicatorBit);
        }
    }
    return 1;
}

void CodeIndex::Lookup(const char* typed, std::vector<SearchLine>& out) const {
    out.clear();
    if (!typed) return;
    while (IsBlank(*typed)) ++typed;
    if (!*typed) return;
    const std::vector<SearchEntry>& list = GetList(*typed);
    const bool composite = TypesCompositeAlias(typed);
    for (const SearchEntry& e : list) {
        if (MatchTypedKey(e.code.c_str(), typed)) {
            const size_t plain = e.code.size() >= 2 ? e.code.size() - 2 : 0;
            std::string text;
            text.reserve(plain + 2 + e.name.size());
            text.append(e.code, 0, plain).append("  ").append(e.name);
            out.push_back({std::move(text), e.value});
        } else if (composite && e.code == kCompositeCode) {
            out.push_back({"000001  " + e.name, e.value});
        }
        if (e.key != e.code && MatchTypedKey(e.key.c_str(), typed)) {
            std::string text;
            text.reserve(e.key.size() + 2 + e.name.size());
            text.append(e.key).append("  ").append(e.name);
            out.push_back({std::move(text), e.value});
        }
    }
}

std::string CodeIndex::GetStockCode(uint32_t value) const {
    if (value & kSearchIndicatorBit || value >= m_stockCodes.size()) return std::string();
    return m_stockCodes[value];
}
