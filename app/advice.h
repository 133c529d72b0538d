// What the service advises on stocks: the trend diagnosis of one stock and the four stock pools.
// Requests and replies only; the dialogs that show them live in evaluatedlg and stockpooldlg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- trend diagnosis ------------------------------------------------------------------------

// The texts the diagnosis dialogs show when they have no verdict. The trend dialog's ends in a
// full-width exclamation sign, the pattern dialog's in an ASCII one.
extern const char kTrendUnclearText[];    // "该股趋势不明，请谨慎操作！"
extern const char kPatternUnclearText[];  // "该股趋势不明，请谨慎操作!"
extern const char kIndexRefusalText[];    // "不能对指数进行诊断!"

// The longest verdict kept (GBK bytes); a longer reply is cut at a whole character.
constexpr size_t kTrendTextLimit = 1024;

// siteRoot + "plus/stock_trend.php?code=" + the code without its market suffix.
std::string TrendRequestUrl(const std::string& siteRoot, const std::string& plainCode);

// A trend reply (UTF-8) as the GBK text to show. False for an empty reply, one that is not
// UTF-8 or holds control bytes (garbage, not a verdict): the dialog then shows kTrendUnclearText.
bool ParseTrendReply(const std::string& body, std::string* text);

// ---- stock pools ----------------------------------------------------------------------------

// Pool kinds 1 to 4: title and note of the dialog; any other kind gets the "no data" title.
const char* StockPoolTitle(int kind);
const char* StockPoolNote(int kind);
bool IsStockPoolKind(int kind);

// siteRoot + stockPoolPath + "?id=" + URL-form base64 of "1\t5\t<kind>\t<now>".
std::string StockPoolRequestUrl(const std::string& siteRoot, const std::string& stockPoolPath, int kind,
                                uint32_t now);

// One line of a pool reply, in GBK.
struct StockPoolRecord {
    std::string market;  // "sh" for Shanghai; any other text is Shenzhen
    std::string code;
    std::string name;
    std::string date;  // the recommendation date as the service wrote it
};

struct StockPoolReply {
    std::vector<StockPoolRecord> records;  // in reply order
    int rejected = 0;                      // lines that were no record (short, not UTF-8, bad fields)
};

// Bounds of what a record may carry; a pool never holds more than kStockPoolMaxRecords rows.
constexpr size_t kStockPoolCodeLimit = 8;
constexpr size_t kStockPoolNameLimit = 32;
constexpr size_t kStockPoolDateLimit = 20;
constexpr size_t kStockPoolMaxRecords = 2000;

// Parses a pool reply (UTF-8 lines "market\tcode\tname\tdate", further fields ignored). A body of
// ten bytes or less is an empty pool. Lines end in "\r\n" (a bare "\n" is taken too); a line with
// fewer than four fields, bytes that are not UTF-8, or a field out of its bounds is counted as
// rejected and skipped.
void ParseStockPool(const std::string& body, StockPoolReply* out);

// The code text that opens the record's stock: code + "_1" for the market "sh" (exactly), else
// code + "_0"; empty when that text would be 7 characters or shorter.
std::string StockPoolOpenCode(const StockPoolRecord& record);
