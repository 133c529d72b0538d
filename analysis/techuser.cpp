#include "analysis/techuser.h"

#include <cstring>
#include <string>

#include "base/fsutil.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string TechUserText(const char* field, size_t size) {
    size_t n = 0;
    while (n < size && field[n]) ++n;
    return std::string(field, n);
}

bool TechUserBindLibrary(const char* path, TechUserFunctions* out) {
    std::memset(out, 0, sizeof *out);
#ifdef _WIN32
    // The full path, and the library's own folder for what it needs in turn.
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return false;
    auto find = [module](const char* decorated, const char* plain) {
        FARPROC f = GetProcAddress(module, decorated);
        return reinterpret_cast<void*>(f ? f : GetProcAddress(module, plain));
    };
    out->module = module;
    out->getCount = reinterpret_cast<TechUserCountFunc>(find("_GetTechUserCount@0", "GetTechUserCount"));
    out->getInfo = reinterpret_cast<TechUserInfoFunc>(find("_GetTechUserInfo@8", "GetTechUserInfo"));
    out->calculate = reinterpret_cast<TechUserCalcFunc>(find("_Calculate@8", "Calculate"));
    out->getSignal = reinterpret_cast<TechUserCalcFunc>(find("_GetSignal@8", "GetSignal"));
    return true;
#else
    (void)path;
    return false;
#endif
}

const TechUserFunctions& TechUserLibrary() {
    // Used from the user-interface thread only; the library is never freed.
    static TechUserFunctions functions = {nullptr, nullptr, nullptr, nullptr, nullptr};
#ifdef _WIN32
    if (!functions.module) {
        // Beside the program, never through the search path.
        std::string path = velmora::GetExecutableFolder() + "RerEdoz.dll";
        TechUserBindLibrary(path.c_str(), &functions);
    }
#endif
    return functions;
}

namespace {

bool FillInfo(const TechUserFunctions& f, int id, TECHUSER_INFO* info) {
    std::memset(info, 0, sizeof *info);
    info->m_nStructSize = sizeof(TECHUSER_INFO);
    if (!f.getInfo || id < kTechUserIdBase) return false;
    return f.getInfo(uint32_t(id - kTechUserIdBase), info) != 0;
}

}  // namespace

int TechUserGetCount() {
    const TechUserFunctions& f = TechUserLibrary();
    return f.getCount ? f.getCount() : 0;
}

std::string TechUserGetName(int id) {
    TECHUSER_INFO info;
    if (!FillInfo(TechUserLibrary(), id, &info)) return std::string();
    return TechUserText(info.m_szName, sizeof info.m_szName);
}

std::string TechUserGetShortName(int id) {
    TECHUSER_INFO info;
    if (!FillInfo(TechUserLibrary(), id, &info)) return std::string();
    return TechUserText(info.m_szShortName, sizeof info.m_szShortName);
}

CTechUser::CTechUser() : CTechUser(nullptr) {}

CTechUser::CTechUser(CKData* series)
    : CTechnique(series), m_nTechUserID(-1), m_pStock(nullptr), m_pStockInfo(nullptr), m_pFunctions(nullptr) {
    std::memset(&m_info, 0, sizeof m_info);
}

void CTechUser::SetDefaultParameters() {
    m_nTechUserID = -1;
    std::memset(&m_info, 0, sizeof m_info);
}

bool CTechUser::IsValidParameters() {
    const TechUserFunctions& f = Functions();
    int count = f.getCount ? f.getCount() : 0;
    return m_nTechUserID >= kTechUserIdBase && m_nTechUserID - kTechUserIdBase < count;
}

bool CTechUser::SetTechUserID(int id) {
    m_nTechUserID = id;
    Clear();
    if (id < kTechUserIdBase) return false;
    const TechUserFunctions& f = Functions();
    int count = f.getCount ? f.getCount() : 0;
    if (id - kTechUserIdBase >= count) return false;
    return FillInfo(f, id, &m_info);
}

// The library's count, kept inside 0..5.
int CTechUser::RecordLines() const {
    int n = m_info.m_nLineCount;
    return n < 0 ? 0 : n > kLines ? kLines : n;
}

int CTechUser::GetLineCount() const {
    if (RecordLines() == 1 && m_info.m_bAutoMA) return 2;
    return RecordLines();
}

std::string CTechUser::GetLineName(int n) const {
    if (n < 1 || n > kLines) return std::string();
    if (n == 2 && RecordLines() == 1 && m_info.m_bAutoMA) return "MA";
    return TechUserText(m_info.m_aszLineName[n - 1], sizeof m_info.m_aszLineName[n - 1]);
}

bool CTechUser::CalculateLines(int n, double* const* out, int index, bool useLast) {
    if (!CheckIndex(index)) return false;
    EnsureParameters();
    if (n == 2 && RecordLines() == 1 && m_info.m_bAutoMA)
        return GetValueAndMA(out[0], out[1], index, useLast, m_info.m_nMADays);
    if (RecordLines() != n) return false;
    double* o[kLines] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    for (int k = 0; k < n; ++k) o[k] = out[k];
    if (LoadFromCache(index, o[0], o[1], o[2], o[3], o[4])) return true;
    const TechUserFunctions& f = Functions();
    if (!f.calculate) return false;
    TECHUSER_CALCULATE_INFO calc;
    std::memset(&calc, 0, sizeof calc);
    calc.m_nStructSize = sizeof calc;
    calc.m_pStock = m_pStock;
    calc.m_pStockInfo = m_pStockInfo;
    calc.m_pKData = m_pKData;
    calc.m_nIndex = index;
    calc.m_bUseLast = useLast;
    double* values[kLines] = {&calc.m_dValue1, &calc.m_dValue2, &calc.m_dValue3, &calc.m_dValue4, &calc.m_dValue5};
    if (useLast)
        for (int k = 0; k < n; ++k) *values[k] = o[k] ? *o[k] : 0;
    if (!f.calculate(uint32_t(m_nTechUserID - kTechUserIdBase), &calc)) return false;
    StoreToCache(index, n > 0 ? values[0] : nullptr, n > 1 ? values[1] : nullptr, n > 2 ? values[2] : nullptr,
                 n > 3 ? values[3] : nullptr, n > 4 ? values[4] : nullptr);
    for (int k = 0; k < n; ++k)
        if (o[k]) *o[k] = *values[k];
    return true;
}

bool CTechUser::Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) {
    double* out[] = {v1, v2, v3, v4, v5};
    return CalculateLines(5, out, index, useLast);
}
bool CTechUser::Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) {
    double* out[] = {v1, v2, v3, v4};
    return CalculateLines(4, out, index, useLast);
}
bool CTechUser::Calculate(double* v1, double* v2, double* v3, int index, bool useLast) {
    double* out[] = {v1, v2, v3};
    return CalculateLines(3, out, index, useLast);
}
bool CTechUser::Calculate(double* v1, double* v2, int index, bool useLast) {
    double* out[] = {v1, v2};
    return CalculateLines(2, out, index, useLast);
}
bool CTechUser::Calculate(double* v1, int index, bool useLast) {
    double* out[] = {v1};
    return CalculateLines(1, out, index, useLast);
}

bool CTechUser::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    switch (RecordLines()) {
    case 1: return GetMinMaxInfo1(start, end, min, max);
    case 2: return GetMinMaxInfo2(start, end, min, max);
    case 3: return GetMinMaxInfo3(start, end, min, max, minBar, maxBar);
    case 4: return GetMinMaxInfo4(start, end, min, max);
    case 5: return GetMinMaxInfo5(start, end, min, max);
    }
    return false;
}

int CTechUser::GetSignal(int index, int* reason) {
    if (reason) *reason = reasonNone;
    if (!CheckIndex(index)) return 0;
    EnsureParameters();
    const int lines = RecordLines();
    const bool withMA = lines == 1 && m_info.m_bAutoMA;
    if ((lines == 2 || withMA) && (m_info.m_itsGoldenFork != 0 || m_info.m_itsDeadFork != 0)) {
        const int minBars = withMA ? m_info.m_nMADays : 0;
        double low, high, a, b;
        if (index < 2 || !GetRangeLevels(index, reason, minBars, kRangeWindow, &low, &high, 0.3, 0.7) ||
            !Calculate(&a, &b, index, false))
            return 0;
        int r = reasonNone;
        int d = GetCrossSignal(index, m_info.m_itsGoldenFork, m_info.m_itsDeadFork, &r);
        if (a < low && d == 10) {
            if (reason) *reason = reasonGoldenCross;
            return 10;
        }
        if (a > high && d == -10) {
            if (reason) *reason = reasonDeadCross;
            return -10;
        }
    }
    const TechUserFunctions& f = Functions();
    if (!f.getSignal) return 0;
    TECHUSER_CALCULATE_INFO calc;
    std::memset(&calc, 0, sizeof calc);
    calc.m_nStructSize = sizeof calc;
    calc.m_pStock = m_pStock;
    calc.m_pStockInfo = m_pStockInfo;
    calc.m_pKData = m_pKData;
    calc.m_nIndex = index;
    if (!f.getSignal(uint32_t(m_nTechUserID - kTechUserIdBase), &calc)) return 0;
    if (calc.m_nSignal != 0 && reason) *reason = calc.m_nSignal > 0 ? reasonBullTrend : reasonBearTrend;
    return calc.m_nSignal;
}
