#include "app/advice.h"

#include <cstdio>

#include "base/base64.h"
#include "base/text.h"
#include "store/stockcode.h"

const char kTrendUnclearText[] = "该股趋势不明，请谨慎操作！";
const char kPatternUnclearText[] = "该股趋势不明，请谨慎操作!";
const char kIndexRefusalText[] = "不能对指数进行诊断!";

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const char* p, size_t n) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    size_t i = 0;
    while (i < n) {
        unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned min;
        if (c >= 0xC2 && c <= 0xDF) len = 2, min = 0x80;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, min = 0x800;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, min = 0x10000;
        else return false;
        if (n - i < len) return false;
        unsigned v = c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            v = (v << 6) | (s[i + k] & 0x3F);
        }
        if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// A control byte other than tab and line ends (a NUL included).
bool HasControlBytes(const std::string& text, bool allowLineEnds) {
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F) continue;
        if (c == '\t' || (allowLineEnds && (c == '\r' || c == '\n'))) continue;
        return true;
    }
    return false;
}

// Fields between tab characters, empty ones kept (so that a missing field never shifts the rest).
std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

bool IsAlnumText(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

// One line as a record; false when it is none.
bool ParsePoolLine(const std::string& line, StockPoolRecord* r) {
    if (!IsUtf8(line.data(), line.size())) return false;
    std::vector<std::string> f = SplitTabs(line);
    if (f.size() < 4) return false;
    r->market = TrimBlanks(f[0]);
    r->code = TrimBlanks(f[1]);
    std::string name = TrimBlanks(f[2]);
    std::string date = TrimBlanks(f[3]);
    if (r->market.empty() || r->market.size() > 4 || !IsAlnumText(r->market)) return false;
    if (r->code.empty() || r->code.size() > kStockPoolCodeLimit || !IsAlnumText(r->code)) return false;
    if (name.empty() || HasControlBytes(name, false) || HasControlBytes(date, false)) return false;
    r->name = Utf8ToAnsi(name.c_str());
    r->date = Utf8ToAnsi(date.c_str());
    if (r->name.empty() || r->name.size() > kStockPoolNameLimit || r->date.size() > kStockPoolDateLimit)
        return false;
    return true;
}

}  // namespace

std::string TrendRequestUrl(const std::string& siteRoot, const std::string& plainCode) {
    return siteRoot + "plus/stock_trend.php?code=" + plainCode;
}

bool ParseTrendReply(const std::string& body, std::string* text) {
    text->clear();
    std::string trimmed = TrimBlanks(body);
    if (trimmed.empty() || !IsUtf8(trimmed.data(), trimmed.size()) || HasControlBytes(trimmed, true)) return false;
    std::string gbk = Utf8ToAnsi(trimmed.c_str());
    if (gbk.empty()) return false;
    gbk.resize(GbkSafeLength(gbk.c_str(), kTrendTextLimit));
    *text = gbk;
    return true;
}

bool IsStockPoolKind(int kind) { return kind >= 1 && kind <= 4; }

const char* StockPoolTitle(int kind) {
    switch (kind) {
    case 1: return "智能短线选股池";
    case 2: return "经典短线股票池";
    case 3: return "智能波段股票池";
    case 4: return "经典波段股票池";
    default: return "无法获得股票池数据";
    }
}

const char* StockPoolNote(int kind) {
    return kind == 1 || kind == 3 ? "计算机智能选出，供有经验股民参考" : "每个交易日16:00-17:00选出，供下一交易日操作";
}

std::string StockPoolRequestUrl(const std::string& siteRoot, const std::string& stockPoolPath, int kind,
                                uint32_t now) {
    char plain[64];
    int n = std::snprintf(plain, sizeof(plain), "%d\t5\t%d\t%u", 1, kind, static_cast<unsigned>(now));
    // One line: a line feed inside a URL would end the request line.
    return siteRoot + stockPoolPath + "?id=" + CUrlBase64::EncodeLine(plain, static_cast<size_t>(n), true);
}

void ParseStockPool(const std::string& body, StockPoolReply* out) {
    *out = StockPoolReply();
    if (body.size() <= 10) return;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (TrimBlanks(line).empty()) continue;
        StockPoolRecord r;
        if (out->records.size() >= kStockPoolMaxRecords || !ParsePoolLine(line, &r)) {
            ++out->rejected;
            continue;
        }
        out->records.push_back(std::move(r));
    }
}

std::string StockPoolOpenCode(const StockPoolRecord& record) {
    std::string code = MakeStockCode(record.code, record.market == "sh");
    return code.size() > 7 ? code : std::string();
}
