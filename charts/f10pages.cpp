#include "charts/f10pages.h"

#include <algorithm>
#include <cstring>

namespace {

const char kMarker[] = "、========";

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Offsets of every occurrence of needle that starts on a character boundary at or after from.
// Scanning by whole characters keeps a trail byte followed by a lead byte from faking a match.
// text must start on a character boundary.
std::vector<size_t> FindAll(const char* text, size_t length, const char* needle, size_t from = 0) {
    std::vector<size_t> out;
    const size_t n = std::strlen(needle);
    size_t i = 0;
    while (i < length) {
        if (i >= from && i + n <= length && std::memcmp(text + i, needle, n) == 0) out.push_back(i);
        i += (IsLead((unsigned char)text[i]) && i + 1 < length) ? 2 : 1;
    }
    return out;
}

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

const std::vector<std::string>& F10PageTitles() {
    static const std::vector<std::string> titles = {
        "最新提示", "公司概况", "财务分析", "股东研究", "股本股改", "风险因素", "公司报道", "行业分析",
        "公司大事", "港澳分析", "经营分析", "主力追踪", "分红扩股", "高层治理", "业内点评", "关联个股",
    };
    return titles;
}

bool ParsePages(const char* text, int length, std::map<std::string, std::string>& pages) {
    pages.clear();
    if (!text || length <= 0) return false;
    const size_t len = size_t(length);
    struct Section {
        size_t lineStart, headingEnd;
        std::string title;
    };
    std::vector<Section> sections;
    const std::vector<std::string>& titles = F10PageTitles();
    size_t lastLine = size_t(-1);
    for (size_t at : FindAll(text, len, kMarker)) {
        size_t start = at;
        while (start > 0 && !IsBreak(text[start - 1])) --start;
        if (start == lastLine) continue;  // a second marker on the same heading line
        lastLine = start;
        size_t end = at;
        while (end < len && !IsBreak(text[end])) ++end;
        const size_t lineEnd = end;
        if (start != 0)
            while (end < len && IsBreak(text[end])) ++end;
        Section s{start, end, std::string()};
        // The first title found after the heading's first character.
        const size_t firstChar = (IsLead((unsigned char)text[start]) && start + 1 < lineEnd) ? 2 : 1;
        for (const std::string& t : titles) {
            // A line starts after a line break (never a trail byte) or at the text's start.
            if (!FindAll(text + start, lineEnd - start, t.c_str(), firstChar).empty()) {
                s.title = t;
                break;
            }
        }
        if (s.title.empty() && sections.size() < 15) s.title = titles[sections.size()];
        sections.push_back(s);
    }
    for (size_t k = 0; k < sections.size(); ++k) {
        const Section& s = sections[k];
        if (s.title.empty()) continue;
        const size_t stop = k + 1 < sections.size() ? sections[k + 1].lineStart : len;
        const size_t from = std::min(s.headingEnd, stop);
        pages.emplace(s.title, std::string(text + from, stop - from));
    }
    return true;
}
