// The search box's index: every stock and indicator filed under the characters a user may start
// typing (its code, each variant of its pinyin initials, an indicator's short name), so that a
// keystroke looks at one list only. Window-free; the box draws what Lookup returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CStockContainer;

// Bit 31 of a value marks an indicator (bits 0-30 its id); clear, the value is a stock's index
// in the container the index was built from.
constexpr uint32_t kSearchIndicatorBit = 0x80000000u;

struct SearchEntry {
    std::string code;  // stock code with market suffix, or an indicator's number as "%02d_2"
    std::string key;   // one variant of the initials, an indicator's short name, or the code
    std::string name;
    uint32_t value;
};

// One line of the list: what it shows and the entry's value.
struct SearchLine {
    std::string text;
    uint32_t value;
};

// Digits, letters, numeric-pad digits and space open the box and are typed into it.
bool IsSearchKey(int virtualKey);
// The typed text is a prefix of the candidate once the candidate's '*' are skipped; a typed text
// longer than the candidate matches as soon as the candidate is used up.
bool MatchTypedKey(const char* candidate, const char* typed);

class CodeIndex {
public:
    // A key source such as "*ST(C|Z)(C|Z)" never yields more variants than this; the rest are
    // dropped (groups of alternatives multiply).
    static constexpr size_t kMaxKeyVariants = 64;

    // Files every stock of the container with a code longer than five characters, once per code
    // (values are container indexes: the index is built once the code list is loaded and must be
    // rebuilt if the container is ever reloaded), then, when asked, the 58 built-in and the
    // plug-in indicators. Replaces what the index held; 1.
    int Build(CStockContainer& stocks, bool withIndicators);
    // Files one stock or indicator. A key source that yields no key text (empty, or groups of
    // empty alternatives only) files the code itself, so that the item is still found by code.
    void AddItem(const std::string& code, const std::string& keySource, const std::string& name, uint32_t value);
    void Clear();

    // The key texts of a key source, in slot order; each text of a source that began with '*'
    // is followed by the same text with "*" in front.
    static std::vector<std::string> ExpandKeys(const std::string& source);

    // The list filed under a character; empty when none.
    const std::vector<SearchEntry>& GetList(char c) const { return m_lists[static_cast<unsigned char>(c)]; }
    // The lines for a typed text (leading white space ignored), in the order of the list of its
    // first character.
    void Lookup(const char* typed, std::vector<SearchLine>& out) const;
    // The code of a stock value as it was at build time; empty for an indicator or an unknown one.
    std::string GetStockCode(uint32_t value) const;
    // Stocks filed by the last Build.
    int GetStockCount() const { return static_cast<int>(m_stockCodes.size()); }

private:
    void File(char c, const SearchEntry& entry);

    std::array<std::vector<SearchEntry>, 256> m_lists;
    std::vector<std::string> m_stockCodes;  // by container index; empty where skipped
};
