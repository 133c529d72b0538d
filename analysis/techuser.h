// Plug-in indicators from the optional library RerEdoz beside the program (32-bit Windows only;
// elsewhere there are none).
#pragma once

#include <cstdint>
#include <string>

#include "analysis/technique.h"

class CStock;
class CStockInfo;

#ifdef _WIN32
#define VELMORA_STDCALL __stdcall
#else
#define VELMORA_STDCALL
#endif

constexpr int kTechUserIdBase = 10000;

#pragma pack(push, 4)
// Filled by the library: names and lines of one indicator.
struct TECHUSER_INFO {
    int32_t m_nStructSize;  // 144
    char m_szName[64];
    char m_szShortName[16];
    int32_t m_nLineCount;   // 1..5
    char m_aszLineName[5][8];
    int32_t m_bAutoMA;      // one line: also its moving average as line 2
    int32_t m_nMADays;
    int32_t m_itsGoldenFork;  // cross buy level
    int32_t m_itsDeadFork;    // cross sell level
};

// One calculation or signal request.
struct TECHUSER_CALCULATE_INFO {
    int32_t m_nStructSize;  // 68 in a 32-bit process
    CStock* m_pStock;
    CStockInfo* m_pStockInfo;
    CKData* m_pKData;
    int32_t m_nIndex;
    int32_t m_bUseLast;
    double m_dValue1;
    double m_dValue2;
    double m_dValue3;
    double m_dValue4;
    double m_dValue5;
    int32_t m_nSignal;
};
#pragma pack(pop)

static_assert(sizeof(TECHUSER_INFO) == 144, "plug-in information record");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TECHUSER_CALCULATE_INFO) == 68, "plug-in calculation record");
#endif

typedef int(VELMORA_STDCALL* TechUserCountFunc)();
typedef int(VELMORA_STDCALL* TechUserInfoFunc)(uint32_t number, TECHUSER_INFO* info);
typedef int(VELMORA_STDCALL* TechUserCalcFunc)(uint32_t number, TECHUSER_CALCULATE_INFO* calc);

struct TechUserFunctions {
    TechUserCountFunc getCount;
    TechUserInfoFunc getInfo;
    TechUserCalcFunc calculate;
    TechUserCalcFunc getSignal;
    void* module;
};

// Loads a library by its full path and looks up the four entry points, decorated names first.
// False when it cannot be loaded (always false outside 32-bit Windows).
bool TechUserBindLibrary(const char* path, TechUserFunctions* out);
// The process-wide binding to RerEdoz.dll in the program's own folder; retried while missing.
const TechUserFunctions& TechUserLibrary();

int TechUserGetCount();
std::string TechUserGetName(int id);
std::string TechUserGetShortName(int id);

// Bounded read of a fixed text field that may lack its terminator.
std::string TechUserText(const char* field, size_t size);

class CTechUser : public CTechnique {
public:
    CTechUser();
    explicit CTechUser(CKData* series);

    bool SetTechUserID(int id);
    int GetTechUserID() const { return m_nTechUserID; }
    void SetStock(CStock* stock, CStockInfo* info = nullptr) {
        m_pStock = stock;
        m_pStockInfo = info;
    }
    int GetLineCount() const;
    std::string GetLineName(int n) const;
    const TECHUSER_INFO& GetInfo() const { return m_info; }

    void SetDefaultParameters() override;
    bool IsValidParameters() override;
    int GetSignal(int index, int* reason) override;
    bool GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar = nullptr,
                       int* maxBar = nullptr) override;
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
    bool Calculate(double* v1, int index, bool useLast) override;

    // For a binding other than the program's (tests of a particular library); null = the default.
    void SetFunctions(const TechUserFunctions* functions) { m_pFunctions = functions; }

private:
    const TechUserFunctions& Functions() const { return m_pFunctions ? *m_pFunctions : TechUserLibrary(); }
    int RecordLines() const;
    bool CalculateLines(int n, double* const* out, int index, bool useLast);

    int m_nTechUserID;
    TECHUSER_INFO m_info;
    CStock* m_pStock;
    CStockInfo* m_pStockInfo;
    const TechUserFunctions* m_pFunctions;
};
