// One stock's identity and snapshot: market, code, kind, names, quote, base figures.
#pragma once

#include <memory>
#include <string>

#include "store/kdata.h"
#include "store/recarrays.h"
#include "store/records.h"

// Base figures, counted from 1 as the base records hold them.
enum BaseFigure {
    baseMainIncome = 4,
    baseNetCashPerShare = 5,
    baseTotalShares = 9,
    baseSharesA = 10,
    baseSharesB = 11,
    baseNetAssetPerShare = 20,
    baseEarningsPerShare = 22,
};
constexpr int kBaseFigureCount = 29;

// How the stock list answers for a known code: true with its market and kind.
typedef bool (*StockLookupFunc)(const char* code, DWORD* market, int* kind);
// The stock list registers itself here; null removes it.
void SetStockLookup(StockLookupFunc lookup);

class CStockInfo {
public:
    CStockInfo();
    CStockInfo(const CStockInfo& other);
    CStockInfo& operator=(const CStockInfo& other);

    void Clear();

    // Identity.
    DWORD GetMarket() const { return m_dwMarket; }
    const char* GetStockCode() const { return m_szCode; }
    int GetType() const { return m_nType; }
    const char* GetStockName() const { return m_szName; }
    const char* GetStockShortName() const { return m_szShortName; }
    const char* GetTextField() const { return m_pRare ? m_pRare->text : ""; }
    const char* GetBaseText1() const { return m_pRare ? m_pRare->baseText1 : ""; }
    const char* GetBaseText2() const { return m_pRare ? m_pRare->baseText2 : ""; }
    // The code less its two-character market suffix.
    const char* GetPlainCode() const;
    bool IsValidStock() const;
    bool IsShangHai() const;
    bool IsShenZhen() const;
    bool IsIndex() const { return m_nType == kindShIndex || m_nType == kindSzIndex; }
    bool IsEqualTo(DWORD market, const char* code) const;
    bool SetStockCode(DWORD market, const char* code);
    void SetType(int kind);
    void SetMarket(DWORD market) { m_dwMarket = market; }
    void SetStockName(const char* name);
    void SetStockShortName(const char* name);
    int GetPriceDecimals() const;
    // Fills an unknown market or kind from the stock list, else from the code ranges.
    void ResolveMarketAndKind();

    // Snapshot.
    bool SetQuoteFromBar(int date);
    bool SetBaseFromRecords(DWORD date);

    DWORD m_dwDate; // YYYYMMDD of the quote
    float m_fLastClose;
    float m_fOpen;
    float m_fHigh;
    float m_fLow;
    float m_fClose;
    float m_fVolume;
    float m_fAmount;
    DWORD m_dwExtra[2];
    float m_fBuyPrice[5];
    float m_fBuyVolume[5];
    float m_fSellPrice[5];
    float m_fSellVolume[5];

    CKData m_kdata;       // day series
    CArray252 m_basedata; // base figure records
    MinuteArray m_minute; // the day's minutes
    // The last quote received, whole (all zero before the first).
    const REPORT& GetLatestReport() const;
    void SetLatestReport(const REPORT& quote);

    DWORD m_dwReportDate;
    int m_nReportKind;
    float m_fRate1;
    float m_fRate2;
    DWORD m_dwBaseValue;
    float m_fBase[kBaseFigureCount];
    float m_fYieldAverage;
    float m_fYieldDeviation;
    float m_fBeta;

    double GetBase(int figure) const { return m_fBase[figure - 1]; }

    // Derived figures: true and the output written, or false with the output untouched.
    bool GetAveragePrice(double* out) const;
    bool GetDiff(double* out, DWORD date, int n) const;
    bool GetDiffPercent(double* out, DWORD date, int n) const;
    bool GetScope(double* out, DWORD date, int n) const;
    bool GetDiffPercentMin5(double* out) const;
    bool GetPNetAsset(double* out) const;
    bool GetShareCurrency(double* out) const;
    bool GetRatioCurrency(double* out) const;
    bool GetRatioChangeHand(double* out, double volume) const;
    bool GetRatioChangeHandFrom(double* out, const CKData& series, DWORD date, int n) const;
    bool GetRatioChangeHandDays(double* out, DWORD date, int n) const;
    bool GetRatioVolume(double* out, DWORD date, int n) const;
    bool GetUpDownRatio(double* out, DWORD date, int n) const;
    bool GetSellBuyRatio(double* ratio, double* difference) const;
    bool GetMarketValue(double* out) const;
    bool GetMarketValueA(double* out) const;
    bool GetMarketValueB(double* out) const;
    bool GetSharpeIndex(double* out) const;
    bool GetPE(double* out) const;
    bool GetPMainIncome(double* out) const;
    bool GetPNetCash(double* out) const;

private:
    void CopyFrom(const CStockInfo& other);
    bool IsShare() const;
    double ReportFactor() const;

    // What most stocks of the list never fill: the last quote (none before the quote service
    // sends one), the code list's text field and the base figures' texts. Kept out of line, made
    // on the first write, so that the whole market's list holds 4 bytes a stock for them, not 288.
    struct Rare {
        REPORT report;
        char text[80];
        char baseText1[32];
        char baseText2[32];
    };
    Rare& MakeRare();

    DWORD m_dwMarket;
    char m_szCode[16];
    int m_nType;
    char m_szName[16];
    char m_szShortName[32];
    mutable std::string m_strPlainCode;
    std::unique_ptr<Rare> m_pRare;
};

// Takes a quote into the stock: identity, prices, order book, today's bar and the last quote.
bool UpdateStockInfoByReport(CStockInfo* stock, const REPORT* quote);
