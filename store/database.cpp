#include "store/database.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/fsutil.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "store/stockcode.h"
#include "store/storeenv.h"

CStDatabase::CStDatabase() = default;

CStDatabase::~CStDatabase() = default;

IStStore* CStDatabase::Ready() { return m_pStore && m_pStore->IsOK() ? m_pStore.get() : nullptr; }

bool CStDatabase::Open(const char* path, int type) {
    m_pStore.reset();  // the old store goes before the new one opens
    m_pStore = CreateStore(path, type);
    return m_pStore != nullptr;
}

void CStDatabase::SetStore(std::unique_ptr<IStStore> store) {
    if (store.get() == m_pStore.get()) {
        (void)store.release();  // the same store again: it is already ours
        return;
    }
    m_pStore = std::move(store);
}

std::string CStDatabase::GetFileName(int type, const CStockInfo& info, int period) {
    std::string path;
    IStStore* s = Ready();
    if (!s || !s->GetFileName(path, type, &info, period)) path.clear();
    return path;
}

int CStDatabase::GetTempPath(char* buffer, int size) {
    if (buffer && size > 0) buffer[0] = 0;
    IStStore* s = Ready();
    if (!s || !buffer || size <= 0) return 0;
    std::string temp = JoinStorePath(s->GetRootPath(), "temp\\");
    if (temp.size() > 260 || int(temp.size()) >= size) return 0;
    std::string folder = temp.substr(0, temp.size() - 1);
    if (!velmora::CreateFolder(folder.c_str())) return 0;
    std::memcpy(buffer, temp.c_str(), temp.size() + 1);
    return int(temp.size());
}

int CStDatabase::GetDBName(char* buffer, int size) {
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
}

int CStDatabase::LoadCodeTable(CStockContainer& c) {
    IStStore* s = Ready();
    return s ? s->LoadCodeTable(c) : 0;
}
int CStDatabase::StoreCodeTable(CStockContainer& c) {
    IStStore* s = Ready();
    return s ? s->StoreCodeTable(c) : 0;
}

#define FORWARD_STOCK(name)                    \
    int CStDatabase::name(CStock* stock) {     \
        IStStore* s = Ready();                 \
        return s && stock ? s->name(stock) : 0; \
    }
FORWARD_STOCK(LoadBaseText)
FORWARD_STOCK(LoadReport)
FORWARD_STOCK(LoadMinute)
FORWARD_STOCK(LoadSignal)
FORWARD_STOCK(LoadFenbiL)
FORWARD_STOCK(LoadFenbiS)
FORWARD_STOCK(LoadOutline)
FORWARD_STOCK(LoadKDataEx)
#undef FORWARD_STOCK

int CStDatabase::LoadKData(CStock* stock, int ktype) {
    IStStore* s = Ready();
    return s && stock ? s->LoadKData(stock, ktype) : 0;
}

#define FORWARD_WRITE(name)                                                   \
    int CStDatabase::name(const char* path, const void* data, int size) {     \
        IStStore* s = Ready();                                                \
        int r = s ? s->name(path, data, size) : 0;                            \
        return r < 0 ? 0 : r;                                                 \
    }
FORWARD_WRITE(StoreMinute)
FORWARD_WRITE(StoreDay)
FORWARD_WRITE(StoreSignal)
FORWARD_WRITE(StoreFile)
FORWARD_WRITE(StoreFenbi)
#undef FORWARD_WRITE

namespace {
bool MainLookup(const char* code, DWORD* market, int* kind) {
    return GetStockContainer().LookupMarketAndKind(code, market, kind);
}
}  // namespace

CStockContainer& GetStockContainer() {
    static CStockContainer* container = [] {
        static CStockContainer c;
        SetStockLookup(&MainLookup);
        return &c;
    }();
    return *container;
}

CStockContainer& GetStockContainer2() {
    static CStockContainer c;
    return c;
}

CDomainContainer& GetDomainContainer() {
    static CDomainContainer c;
    return c;
}

CDomainContainer& GetGroupContainer() {
    static CDomainContainer c;
    if (c.GetSize() == 0) {
        CDomain d;
        d.m_strName = "自选股";
        c.AddDomain(d);
    }
    return c;
}

CStDatabase& GetDatabase() {
    static CStDatabase db;
    return db;
}

CStock& GetIndexStock() {
    static CStock stock;
    if (!stock.GetStockCode()[0]) stock.SetStockCode(kMarketShangHai, "1A0001_1");
    return stock;
}

CStock& GetShenzhenIndexStock() {
    static CStock stock;
    if (!stock.GetStockCode()[0]) stock.SetStockCode(kMarketShenZhen, "399001_0");
    return stock;
}

int CreateDataFolders(const char* folder) {
    if (!folder || !*folder || !velmora::FolderExists(folder)) return 0;
    std::string root(folder);
    if (root.back() != '\\' && root.back() != '/') root += velmora::kPathSep;
    auto make = [&](const std::string& rel) {
        std::string p = JoinStorePath(root, rel.c_str());
        while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
        return velmora::CreateFolder(p.c_str());
    };
    bool ok = make(DataTreePath());
    static const char* const kSubs[] = {"bas", "signal", "fenbi", "mon", "wek", "day", "min", "xdr"};
    for (bool shanghai : {true, false}) {
        ok = make(DataFolderPath(shanghai)) && ok;
        for (const char* sub : kSubs) ok = make(DataFolderPath(shanghai, sub)) && ok;
    }
    ok = make(DataTreePath()) && ok;
    // The Shenzhen tree is not required by the store itself, so a failure there is caught here.
    return ok ? 1 : 0;
}

int InitializeDatabase(char* errorText, int size) {
    auto fail = [&](const char* text) {
        if (errorText && size > 0) {
            size_t n = GbkSafeLength(text, size_t(size - 1));
            std::memcpy(errorText, text, n);
            errorText[n] = 0;
        }
        return 0;
    };
    if (errorText && size > 0) errorText[0] = 0;
    std::string folder = GetProgramFolder();
    if (!CreateDataFolders(folder.c_str())) return fail("创建数据文件失败，请重新安装本软件，或者与软件供应商联系");
    if (!GetDatabase().Open(folder.c_str(), 2)) return fail("初始化数据失败，请重新安装本软件，或者与软件供应商联系");
    return 1;
}

int PrepareStockData(CStDatabase* database, CStock* stock, int ktype, int exrightMode, int priceMode,
                     bool fillWithIndex, bool reload) {
    if (!database || !stock) return 1;
    CStockInfo info;
    if (!GetStockContainer().GetStockInfo(stock->GetStockCode(), &info, nullptr)) info = stock->GetStockInfo();
    stock->SetDatabase(database);
    stock->PrepareData(dataK, ktypeDay, reload);
    CKData& day = stock->GetKDataDay();
    if (reload || day.GetExrightMode() == exrightNone) day.Merge(&info.m_kdata);
    day.SetDRData(stock->GetDRData());
    CKData& series = stock->GetKData(ktype);
    series.SetDRData(stock->GetDRData());
    if (fillWithIndex) {
        CStock& index = GetIndexStock();
        if (&index != stock) day.FillSuspendedDays(index.GetKDataDay(), false);
    }
    const int baseDate = GetExrightBaseDate();
    const int threshold = GetExrightThreshold();
    day.SetExrightMode(exrightMode, baseDate, threshold);
    if (ktype == ktypeWeek || ktype == ktypeMonth) {
        // Loaded afresh in plain mode, so that bars built earlier from an adjusted day series
        // never stay; adjusted, always rebuilt from the adjusted day series.
        if (exrightMode == exrightNone) stock->PrepareData(dataK, ktype, true);
        else stock->ExtractKData(ktype, true);
    } else if (ktype >= ktypeMin5 && ktype <= ktypeMin60) {
        stock->PrepareData(dataK, ktype, reload);
        series.SetExrightMode(exrightMode, baseDate, threshold);
    }
    series.SetPriceMode(priceMode);
    return 1;
}

std::string GetPathFolder(const char* path) {
    if (!path || !*path) return std::string();
    std::string s(path);
    size_t back = std::string::npos, slash = std::string::npos;
    for (size_t i = 0; i < s.size();) {
        size_t len = GbkCharLength(s.c_str() + i);
        if (len == 0) break;
        if (len == 1 && s[i] == '\\') back = i;
        if (len == 1 && s[i] == '/') slash = i;
        i += len;
    }
    size_t cut = back != std::string::npos ? back : slash;
    if (cut == std::string::npos) return s + "\\";
    return s.substr(0, cut + 1);
}

int GetWeekday(int32_t time) {
    int64_t t = time > 0 ? int64_t(time) + 28800 : int64_t(time);
    int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    // 1970-01-01 was a Thursday (5 counting Sunday as 1).
    return int(((days + 4) % 7 + 7) % 7) + 1;
}

std::string AppendWeekdayName(int32_t time, const char* format, ...) {
    if (!format || !*format) return std::string();
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string out(buffer);
    if (out.empty()) return out;
    static const char* const kNames[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
    out += kNames[GetWeekday(time) - 1];
    return out;
}
