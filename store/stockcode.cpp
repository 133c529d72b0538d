#include "store/stockcode.h"

const char kDataFolderName[] = "hqdata";

namespace {

// Longest plain code a code with suffix may carry.
constexpr size_t kMaxPlainCode = 16;

struct StockFileName {
    const char* folder;  // beneath the market's folder
    bool marketPrefix;   // "SH"/"SZ" before the code
    const char* ext;
};

// By DataFileKind, up to dataFileLongTicks.
const StockFileName kStockFiles[] = {
    {"day", true, ".day"},  {"day", true, ".wek"},     {"day", true, ".mnt"},
    {"min", false, ".min"}, {"xdr", false, ".dat"},    {"bas", false, ".txt"},
    {"signal", false, ".sgn"}, {"fenbi", false, ".fbs"}, {"fenbi", false, ".fbl"},
};

}  // namespace

std::string DataTreePath() { return std::string(kDataFolderName) + "\\"; }

std::string DataFolderPath(bool shanghai, const char* sub) {
    std::string path = DataTreePath() + (shanghai ? "sh\\" : "sz\\");
    if (sub && *sub) path = path + sub + "\\";
    return path;
}

const char* MarketSuffix(bool shanghai) { return shanghai ? "_1" : "_0"; }

std::string MakeStockCode(const std::string& plain, bool shanghai) { return plain + MarketSuffix(shanghai); }

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

bool IsStockCode(const std::string& code) {
    std::string plain;
    int market = 0;
    return SplitStockCode(code, &plain, &market);
}

std::string DataFilePath(DataFileKind kind, bool shanghai, const std::string& code) {
    if (kind >= dataFileDay && kind <= dataFileLongTicks) {
        const StockFileName& f = kStockFiles[kind - dataFileDay];
        return DataFolderPath(shanghai, f.folder) + (f.marketPrefix ? (shanghai ? "SH" : "SZ") : "") + code + f.ext;
    }
    const char* name = nullptr;
    switch (kind) {
    case dataFileQuotes: name = shanghai ? "shse.rpt" : "szse.rpt"; break;
    case dataFileOutline: name = "clkoutln.out"; break;
    case dataFileCodeList: name = "codelist.dat"; break;
    case dataFileCodeText: name = "codelist.txt"; break;
    case dataFileCodeState: name = "codestate.dat"; break;
    case dataFileWatchList: name = "usrstock.dat"; break;
    case dataFileGroups: name = "group"; break;
    default: return std::string();
    }
    return DataTreePath() + name;
}
