#include "store/stdb.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/fsutil.h"
#include "base/log.h"
#include "base/savefile.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "store/container.h"
#include "store/filecheck.h"
#include "store/stock.h"
#include "store/stockcode.h"
#include "store/storeenv.h"
#include "store/tskfile.h"

using velmora::FileExists;
using velmora::FolderExists;
using velmora::ReadWholeFile;

namespace {

// Folder test that accepts a trailing separator on every host.
bool FolderExistsLoose(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return FolderExists(path.c_str());
}

// Copy of a fixed text field that may be filled to its end, trimmed of white space.
std::string FieldText(const char* field, size_t size) {
    size_t n = 0;
    while (n < size && field[n]) ++n;
    size_t b = 0, e = n;
    auto space = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\v' || u == '\f';
    };
    while (b < e && space(field[b])) ++b;
    while (e > b && space(field[e - 1])) --e;
    return std::string(field + b, e - b);
}

void CopyCode(char* out, size_t size, const char* code) {
    std::memset(out, 0, size);
    size_t n = std::strlen(code);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, code, n);
}

// YYYYMMDD of times in UTC+8, remembering the month of the last answer: the bars of a K file
// run in date order, so most lookups stay within one month.
class DateCache {
public:
    DWORD Date(int32_t time) {
        if (time <= 0) return 0;
        const int64_t day = (int64_t(time) + 28800) / 86400;
        if (day >= m_first && day < m_first + m_length) return DWORD(m_base + (day - m_first) + 1);
        const int date = CTimeStamp(time).GetDateNumber();
        if (date <= 0) return 0;
        const int y = date / 10000, m = date / 100 % 100, d = date % 100;
        static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        m_first = day - (d - 1);
        m_length = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
        m_base = y * 10000 + m * 100;
        return DWORD(date);
    }

private:
    int64_t m_first = 0;
    int64_t m_length = 0;
    int m_base = 0;
};

}  // namespace

void ConvertKFileRecords(const KFILE_RECORD* in, int count, DWORD market, const char* code, KDATA* out) {
    char field[sizeof(KDATA::code)];
    CopyCode(field, sizeof field, code ? code : "");
    DateCache dates;
    for (int i = 0; i < count; ++i) {
        const KFILE_RECORD& r = in[i];
        KDATA& b = out[i];
        b.market = market;
        std::memcpy(b.code, field, sizeof field);
        b.date = dates.Date(r.time);
        b.time = r.time;
        b.open = r.open;
        b.high = r.high;
        b.low = r.low;
        b.close = r.close;
        b.volume = r.volume;
        b.amount = r.amount;
        std::memcpy(b.extra, &r.last, sizeof b.extra);
    }
}

int FindRootPath(const char* path, char* buffer, int size) {
    if (!path || !*path || !buffer || size <= 0) return 0;
    std::string root(path);
    if (root.back() != '\\' && root.back() != '/') root += velmora::kPathSep;
    const std::string kRequired[] = {DataTreePath(),
                                     DataFolderPath(true),
                                     DataFolderPath(true, "bas"),
                                     DataFolderPath(true, "mon"),
                                     DataFolderPath(true, "wek"),
                                     DataFolderPath(true, "day"),
                                     DataFolderPath(true, "min"),
                                     DataFolderPath(true, "xdr"),
                                     DataTreePath()};
    for (const std::string& rel : kRequired)
        if (!FolderExistsLoose(JoinStorePath(root, rel.c_str()))) return 0;
    size_t n = root.size();
    if (n > size_t(size - 1)) n = size_t(size - 1);
    std::memcpy(buffer, root.data(), n);
    buffer[n] = 0;
    return 1;
}

std::unique_ptr<IStStore> CreateStore(const char* path, int type) {
    if (!path) return nullptr;
    size_t len = std::strlen(path);
    if (len < 1 || len > 1023 || !FolderExistsLoose(path)) return nullptr;
    if (type != 1 && type != 2) return nullptr;
    char root[1024];
    if (!FindRootPath(path, root, sizeof root)) return nullptr;
    return std::make_unique<CSelfDB>(root, true);
}

CSelfDB::CSelfDB(const char* path, bool explicitRoot) {
    std::memset(m_szRoot, 0, sizeof m_szRoot);
    if (explicitRoot) {
        if (path) std::strncpy(m_szRoot, path, sizeof m_szRoot - 1);
        m_bIsOK = 1;
    } else {
        m_bIsOK = FindRootPath(path, m_szRoot, sizeof m_szRoot);
    }
    size_t n = std::strlen(m_szRoot);
    if (n > 0 && n < sizeof m_szRoot - 1 && m_szRoot[n - 1] != '\\' && m_szRoot[n - 1] != '/')
        m_szRoot[n] = velmora::kPathSep;
}

CSelfDB::~CSelfDB() {}

std::string CSelfDB::Path(const char* relative) const { return JoinStorePath(m_szRoot, relative); }

int CSelfDB::GetFileName(std::string& path, int type, const CStockInfo* info, int period) {
    path.clear();
    if (!m_bIsOK) return 0;
    if (type == dataOutline) {
        path = Path(DataFilePath(dataFileOutline).c_str());
        return 1;
    }
    if (!info) return 0;
    const char* code = info->GetStockCode();
    if (!code[0] || !IsSafeCode(code)) return 0;
    bool shenzhen = info->IsShenZhen();
    if (info->GetMarket() == kMarketUnknown) {
        CStockInfo resolved;
        resolved.SetStockCode(kMarketUnknown, code);
        shenzhen = resolved.IsShenZhen();
    }
    const bool shanghai = !shenzhen;
    auto file = [&](DataFileKind kind) { return Path(DataFilePath(kind, shanghai, code).c_str()); };
    switch (type) {
    case dataK:
        if (period == ktypeMin5) {
            path = file(dataFileMinute);
            return 1;
        }
        if (period == ktypeDay || period == ktypeWeek || period == ktypeMonth) {
            path = file(period == ktypeDay ? dataFileDay : period == ktypeWeek ? dataFileWeek : dataFileMonth);
            return 1;
        }
        return 0;
    case dataDR: {
        path = file(dataFileExRights);
        if (!FileExists(path.c_str())) {
            std::string sh = Path(DataFilePath(dataFileExRights, true, code).c_str());
            if (FileExists(sh.c_str())) path = sh;
        }
        return 1;
    }
    case dataBaseText:
        path = file(dataFileBaseText);
        return FileExists(path.c_str()) ? 1 : 0;
    case dataReport:
        path = file(dataFileQuotes);
        return 1;
    case dataMinute:
        path = file(dataFileMinute);
        return 1;
    case dataSignal:
        path = file(dataFileSignal);
        return FileExists(path.c_str()) ? 1 : 0;
    case dataFenbiL:
    case dataFenbiS:
        path = file(type == dataFenbiL ? dataFileLongTicks : dataFileShortTicks);
        return FileExists(path.c_str()) ? 1 : 0;
    default:
        return 0;
    }
}

int CSelfDB::LoadCodeListFile(const char* path, CStockContainer& container) {
    std::string data;
    // Up to the cap of whole records (a cut last record may follow); a longer file is refused.
    if (!ReadWholeFile(path, data, int64_t(kMaxCodeListRecords + 1) * int64_t(sizeof(CODELIST_RECORD)) - 1))
        return 0;
    const size_t count = data.size() / sizeof(CODELIST_RECORD);
    // Room for every record (and the composite index's second copy) before the first is added.
    container.Reserve(int(count) + 1);
    for (size_t i = 0; i < count; ++i) {
        CODELIST_RECORD rec;
        std::memcpy(&rec, data.data() + i * sizeof rec, sizeof rec);
        std::string code = FieldText(rec.code, sizeof rec.code);
        std::string name = FieldText(rec.name, sizeof rec.name);
        std::string shortName = FieldText(rec.shortName, sizeof rec.shortName);
        DWORD market = kMarketUnknown;
        int kind = -1;
        auto at = [&](size_t k) { return k < code.size() ? code[k] : '\0'; };
        if (rec.market[0] == 'S' && rec.market[1] == 'H') {
            market = kMarketShangHai;
            kind = kindUnknown;
            char c0 = at(0), c1 = at(1), c2 = at(2);
            if (c0 == '0') kind = (c1 == '0' && c2 == '0') ? kindShIndex : kindUnknown;
            else if (c0 == '1') kind = (c1 == 'A' || c1 == 'B' || c1 == 'C') ? kindShIndex : kindUnknown;
            else if (c0 == '5') kind = kindShFund;
            else if (c0 == '6') kind = kindShA;
            else if (c0 == '9') kind = kindShB;
            code = MakeStockCode(code, true);
        } else if (rec.market[0] == 'S' && rec.market[1] == 'Z') {
            market = kMarketShenZhen;
            kind = kindUnknown;
            char c0 = at(0), c1 = at(1);
            if (c0 == '0' && c1 == '0') kind = kindSzA;
            else if (c0 == '2' && c1 == '0') kind = kindSzB;
            else if (c0 == '3' && c1 == '0') kind = kindSzA;
            else if (c0 == '3' && c1 == '9') kind = kindSzIndex;
            code = MakeStockCode(code, false);
        } else {
            code = MakeStockCode(code, true);
        }
        // A code that could not name a file never enters the list.
        if (!IsSafeCode(code.c_str())) continue;
        CStockInfo info;
        info.SetStockCode(market, code.c_str());
        if (market == kMarketUnknown) info.SetMarket(kMarketUnknown);
        else info.SetType(kind);
        info.SetStockName(name.c_str());
        info.SetStockShortName(shortName.c_str());
        if (!info.IsValidStock()) continue;
        container.Add(info);
        if (code == "1A0001_1") container.Add(info);
    }
    return container.GetSize();
}

int CSelfDB::LoadCodeTable(CStockContainer& container) {
    SingleLock lock(&container.GetLock());
    container.SetSize(0, 2000);
    if (!m_bIsOK) return 0;
    LoadCodeListFile(Path(DataFilePath(dataFileCodeList).c_str()).c_str(), container);
    return container.GetSize();
}

int CSelfDB::StoreCodeTable(CStockContainer& container) {
    if (!m_bIsOK) return 0;
    std::string text;
    int count = 0;
    {
        SingleLock lock(&container.GetLock());
        count = container.GetSize();
        if (count == 0) return 0;
        for (int i = 0; i < count; ++i) {
            const CStockInfo& s = container[i];
            text += StringPrintf("%s,%s,%d,%s,\"%s\"\r\n", s.GetStockCode(), s.GetStockName(), s.GetType(),
                                 s.GetStockShortName(), s.GetTextField());
        }
    }
    // Beside the code list, never over it.
    const std::string path = Path(DataFilePath(dataFileCodeText).c_str());
    return WriteChecked(m_textLock, path.c_str(), text.data(), int(text.size()), 0, -1) > 0 ? count : 0;
}

int CSelfDB::LoadKDataFile(const char* path, CStock* stock, int period) {
    if (!IsValidKType(period)) return 0;
    CKData& series = stock->GetKData(period);
    int priceMode = series.GetPriceMode();
    series.Clear();
    series.SetPriceMode(priceMode);
    series.SetKType(period);
    const int64_t size = velmora::GetFileSize(path);
    if (size < int64_t(sizeof(KFILE_RECORD)) || size > kMaxDataFileSize) return 0;
    const int capacity = int(size / int64_t(sizeof(KFILE_RECORD)));
    // Read in few large pieces (a system call costs more than the copy), keeping only the records
    // that really arrived.
    const int pieceRecords = std::min(capacity, 65536);
    std::unique_ptr<KFILE_RECORD[]> piece;
    try {
        series.SetSize(capacity);
        piece.reset(new KFILE_RECORD[size_t(pieceRecords)]);
    } catch (const std::bad_alloc&) {
        // Memory the process cannot have ends this load only.
        series.SetSize(0);
        return 0;
    }
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        series.SetSize(0);
        return 0;
    }
    const CStockInfo& info = stock->GetStockInfo();
    char code[sizeof(KDATA::code)];
    CopyCode(code, sizeof code, info.GetStockCode());
    const DWORD market = info.GetMarket();
    KDATA* out = series.GetData();
    KFILE_RECORD* chunk = piece.get();
    int count = 0;
    while (count < capacity) {
        const size_t want = size_t(std::min(capacity - count, pieceRecords));
        const size_t got = std::fread(chunk, sizeof(KFILE_RECORD), want, f);
        ConvertKFileRecords(chunk, int(got), market, code, out + count);
        count += int(got);
        if (got < want) break;
    }
    std::fclose(f);
    series.SetSize(count);
    return series.GetSize();
}

int CSelfDB::LoadKData(CStock* stock, int period) {
    if (!m_bIsOK || !stock) return 0;
    if (period == ktypeMin5) {
        // The minute file is never read as K records: the five-minute series is today's bars
        // built from the minutes.
        CKData& series = stock->GetKData(ktypeMin5);
        int priceMode = series.GetPriceMode();
        series.Clear();
        series.SetPriceMode(priceMode);
        series.SetKType(ktypeMin5);
        if (LoadMinute(stock) > 0) {
            CKData built;
            stock->GetMinute().BuildKData(built);
            if (built.GetKType() == ktypeMin5) series.Merge(&built);
        }
        return series.GetSize();
    }
    std::string path;
    if (!GetFileName(path, dataK, &stock->GetStockInfo(), period) || path.empty()) return 0;
    std::lock_guard<std::mutex> lock(m_dayLock);
    return LoadKDataFile(path.c_str(), stock, period);
}

int CSelfDB::LoadMinuteFile(const char* path, CStock* stock) {
    ReportArray& reports = stock->GetReport();
    MinuteArray& minutes = stock->GetMinute();
    reports.RemoveAll();
    minutes.RemoveAll();
    std::string data;
    // Only a whole minute file is read: a short one would give stale or missing minutes.
    if (!ReadWholeFile(path, data, kMinuteFileSize) || data.size() != size_t(kMinuteFileSize)) return 0;
    const CStockInfo& info = stock->GetStockInfo();
    MINUTE_FILE_HEADER h;
    std::memcpy(&h, data.data(), sizeof h);

    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.market = info.GetMarket();
    CopyCode(q.code, sizeof q.code, info.GetStockCode());
    CopyCode(q.name, sizeof q.name, info.GetStockName());
    q.time = h.time;
    q.prevClose = h.prevClose;
    q.open = h.open;
    q.high = h.high;
    q.low = h.low;
    q.close = h.price;
    q.volume = h.volume;
    q.amount = h.amount;
    for (int k = 0; k < 5; ++k) {
        q.buyPrice[k] = h.buyPrice[k];
        q.buyVolume[k] = h.buyVolume[k];
        q.sellPrice[k] = h.sellPrice[k];
        q.sellVolume[k] = h.sellVolume[k];
    }
    reports.Add(q);

    // The minutes lie on the header's Beijing day.
    CTimeStamp head(h.time);
    const int year = head.GetYear(), month = head.GetMonth(), day = head.GetDay();
    const int second = int(((int64_t(h.time) % 60) + 60) % 60);
    minutes.SetSize(kMinuteFileRecords);
    for (int k = 0; k < kMinuteFileRecords; ++k) {
        MINUTE_FILE_RECORD r;
        std::memcpy(&r, data.data() + sizeof h + size_t(k) * sizeof r, sizeof r);
        MINUTE& m = minutes[k];
        std::memset(&m, 0, sizeof m);
        m.period = 1;
        m.market = info.GetMarket();
        CopyCode(m.code, sizeof m.code, info.GetStockCode());
        m.time = CTimeStamp(year, month, day, r.hhmm / 100, r.hhmm % 100, second).GetTime();
        m.price = r.price;
        m.other1 = r.other1;
        m.volume = r.volume;
        m.other2 = 0;
        m.amount = r.amount;
        m.other3 = r.other3;
        m.high = r.high;
        m.low = r.low;
    }
    minutes.Sort();
    minutes.CleanUp();
    return minutes.GetSize();
}

int CSelfDB::LoadMinute(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    std::string path;
    if (!GetFileName(path, dataMinute, &stock->GetStockInfo(), 0)) {
        stock->GetReport().RemoveAll();
        stock->GetMinute().RemoveAll();
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_minuteLock);
    return LoadMinuteFile(path.c_str(), stock);
}

int CSelfDB::LoadKDataEx(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    if (LoadMinute(stock) <= 0) return 0;
    CKData today;
    stock->GetMinute().BuildDayBar(today, stock->GetReport());
    if (today.GetKType() == ktypeDay && today.GetSize() > 0) stock->GetKDataDay().Merge(&today);
    return stock->GetKDataDay().GetSize();
}

namespace {

// Writes the stock's records into a copy of the block file and puts the copy in the file's place:
// a rewrite touches many blocks, and a run killed in the middle must leave the old file whole.
// The caller holds the block-file lock.
bool RewriteInCopy(const std::string& path, DWORD market, const char* code,
                   const std::vector<REPORT_FILE_RECORD>& records) {
    std::string data;
    if (!ReadWholeFile(path.c_str(), data, kMaxDataFileSize)) return false;
    const std::string temp = TemporaryFileFor(path);
    bool ok = SaveFileReplacing(temp, data.data(), data.size());
    if (ok) {
        CTSKFile copy;
        ok = copy.Open(temp.c_str()) &&
             copy.WriteRecords(market, code, records.data(), int(sizeof(REPORT_FILE_RECORD)), int(records.size()),
                               true) == int(records.size());
        if (copy.IsOpen()) copy.Close();
    }
    ok = ok && velmora::ReplaceFileWith(temp.c_str(), path.c_str());
    if (!ok) velmora::RemoveFile(temp.c_str());
    return ok;
}

}  // namespace

int CSelfDB::LoadReport(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    ReportArray& reports = stock->GetReport();
    reports.RemoveAll();
    std::string path;
    const CStockInfo& info = stock->GetStockInfo();
    if (!GetFileName(path, dataReport, &info, 0)) return 0;
    // The whole load runs under the block-file lock: the file's header is cached from Open to
    // Close, and another load in between would work on a stale copy.
    std::lock_guard<std::recursive_mutex> lock(GetBlockFileMutex());
    CTSKFile file;
    if (!file.Open(path.c_str())) return 0;
    DWORD market = info.GetMarket();
    if (market == kMarketUnknown) market = info.IsShenZhen() ? kMarketShenZhen : kMarketShangHai;
    const char* code = info.GetStockCode();
    // A record too short for a quote, or more quotes than one stock can have, is refused and the
    // file left exactly as it was.
    const int recordSize = file.GetHeader().recordSize;
    const int n = recordSize < int(sizeof(REPORT_FILE_RECORD)) ? -1 : file.GetRecordCount(market, code);
    if (n < 0 || n > kMaxReportRecords) {
        file.Discard();
        return 0;
    }
    std::vector<REPORT_FILE_RECORD> back;  // what a compaction writes back
    bool compact = false;
    try {
        if (n > 0) {
            // Straight from the file's blocks into the quotes, without a second copy of them all.
            reports.SetSize(n);
            REPORT* out = reports.GetData();
            int read = 0, got = 0;
            const int32_t now = StoreClockNow();
            file.ForEachRecord(market, code, n, [&](const char* records, int count) {
                for (int k = 0; k < count && read < n; ++k, ++read) {
                    REPORT_FILE_RECORD r;
                    std::memcpy(&r, records + size_t(k) * size_t(recordSize), sizeof r);
                    // A quote that cannot be real never reaches the views.
                    if (CheckQuoteRecord(r, now).whole) ReportFromFileRecord(r, out[got++]);
                }
                return true;
            });
            reports.SetSize(got);
            reports.Sort();
            reports.CleanUp();
            const int kept = reports.GetSize();
            if (read - kept > 50) {
                back.resize(static_cast<size_t>(kept));
                for (int i = 0; i < kept; ++i) ReportToFileRecord(reports[i], back[size_t(i)]);
                compact = true;
            }
        }
    } catch (const std::bad_alloc&) {
        // Memory the process cannot have ends this load only.
        reports.RemoveAll();
        file.Discard();
        return 0;
    }
    if (!compact) {
        file.Close();
        return reports.GetSize();
    }
    file.Discard();
    RewriteInCopy(path, market, code, back);
    return reports.GetSize();
}

int CSelfDB::LoadSignal(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    std::string path;
    CSignalStore& signals = stock->GetSignal();
    if (!GetFileName(path, dataSignal, &stock->GetStockInfo(), 0)) {
        signals.Clear();
        return 0;
    }
    std::string data;
    {
        std::lock_guard<std::mutex> lock(m_dayLock);
        signals.Clear();
        if (!ReadWholeFile(path.c_str(), data, kMaxDataFileSize)) return 0;
    }
    const size_t n = data.size() / sizeof(SIGNAL_RECORD);
    try {
        for (size_t i = 0; i < n; ++i) {
            SIGNAL_RECORD r;
            std::memcpy(&r, data.data() + i * sizeof r, sizeof r);
            signals.Insert(r.key, r.value);
        }
    } catch (const std::bad_alloc&) {
        signals.Clear();
        return 0;
    }
    return int(n);
}

int CSelfDB::LoadFenbi(CStock* stock, int type) {
    if (!m_bIsOK || !stock) return 0;
    CArray20& ticks = type == dataFenbiL ? stock->GetFenbiL() : stock->GetFenbiS();
    ticks.RemoveAll();
    std::string path;
    if (!GetFileName(path, type, &stock->GetStockInfo(), 0)) return 0;
    std::string data;
    {
        std::lock_guard<std::mutex> lock(m_tickLock);
        if (!ReadWholeFile(path.c_str(), data, kMaxDataFileSize)) return 0;
    }
    const int n = int(data.size() / sizeof(FENBI));
    if (n == 0) return 0;
    ticks.SetSize(n);
    std::memcpy(ticks.GetData(), data.data(), size_t(n) * sizeof(FENBI));
    return n;
}

int CSelfDB::LoadFenbiL(CStock* stock) { return LoadFenbi(stock, dataFenbiL); }
int CSelfDB::LoadFenbiS(CStock* stock) { return LoadFenbi(stock, dataFenbiS); }

int CSelfDB::LoadOutline(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    COutlineArray& outline = stock->GetOutline();
    outline.RemoveAll();
    std::string data;
    if (!ReadWholeFile(Path(DataFilePath(dataFileOutline).c_str()).c_str(), data, kMaxDataFileSize)) return 0;
    const int n = int(data.size() / sizeof(OUTLINE));
    if (n == 0) return 0;
    outline.SetSize(n, n + 10);
    std::memcpy(outline.GetData(), data.data(), size_t(n) * sizeof(OUTLINE));
    return outline.GetSize();
}

int CSelfDB::LoadBaseText(CStock* stock) {
    if (!m_bIsOK || !stock) return 0;
    std::string path;
    if (!GetFileName(path, dataBaseText, &stock->GetStockInfo(), 0)) return 0;
    std::string data;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        if (!ReadWholeFile(path.c_str(), data, CStock::kMaxBaseText)) return 0;
    }
    if (!stock->AllocBaseText(int(data.size()))) return 0;
    std::memcpy(stock->GetBaseText(), data.data(), data.size());
    return int(data.size());
}

bool CSelfDB::IsInsideRoot(const char* path) const {
    const size_t rootLen = std::strlen(m_szRoot);
    if (!path || rootLen == 0 || std::strncmp(path, m_szRoot, rootLen) != 0) return false;
    // Downloads land in the data tree only.
    const char* rest = path + rootLen;
    const size_t tree = std::strlen(kDataFolderName);
    if (std::strncmp(rest, kDataFolderName, tree) != 0 || (rest[tree] != '\\' && rest[tree] != '/')) return false;
    if (std::strstr(rest, "..") || std::strchr(rest, ':')) return false;
    return true;
}

int CSelfDB::WriteChecked(std::mutex& lock, const char* path, const void* data, int size, int recordSize,
                          int recordKind) {
    // Every refusal leaves the stored file as it was, and a trace of why.
    const char* where = "CSelfDB::WriteChecked";
    if (!m_bIsOK || !path || !data || size <= 0) {
        LogError(where, "%s: %s, refused", path ? path : "(no path)",
                 !m_bIsOK ? "the store is not open" : "no body");
        return 0;
    }
    if (recordSize && size % recordSize != 0) {
        LogError(where, "%s: %d bytes are not whole records of %d, refused", path, size, recordSize);
        return 0;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // A body that still carries the gzip magic failed to unpack.
    if (size >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B) {
        LogError(where, "%s: the body is still compressed, refused", path);
        return 0;
    }
    if (!IsInsideRoot(path)) {
        LogError(where, "%s: outside the store's hqdata folder, refused", path);
        return 0;
    }
    // An uncompressed body is taken as sent, so it must be records before it replaces any.
    if (recordKind >= 0) {
        const StoredDataCheck check =
            CheckStoredData(data, size_t(size), StoredFileKind(recordKind), StoreClockNow());
        if (!check.whole) {
            LogError(where, "%s: %s, refused", path, check.reason.c_str());
            return 0;
        }
    }
    std::lock_guard<std::mutex> guard(lock);
    if (!SaveFileReplacing(path, data, size_t(size))) {
        LogError(where, "%s: saving failed", path);
        return 0;
    }
    return size;
}

int CSelfDB::StoreMinute(const char* path, const void* data, int size) {
    return WriteChecked(m_minuteLock, path, data, size, 0, storedMinute);
}
int CSelfDB::StoreDay(const char* path, const void* data, int size) {
    return WriteChecked(m_dayLock, path, data, size, 0, storedDay);
}
int CSelfDB::StoreSignal(const char* path, const void* data, int size) {
    return WriteChecked(m_dayLock, path, data, size, int(sizeof(SIGNAL_RECORD)), -1);
}
int CSelfDB::StoreFenbi(const char* path, const void* data, int size) {
    return WriteChecked(m_tickLock, path, data, size, 0, storedTicks);
}
int CSelfDB::StoreFile(const char* path, const void* data, int size) {
    return WriteChecked(m_textLock, path, data, size, 0, -1);
}
