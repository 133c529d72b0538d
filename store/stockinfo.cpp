#include "store/stockinfo.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "base/text.h"

namespace {

std::atomic<StockLookupFunc> g_lookup{nullptr};

// Bounded length of a fixed text field that may be filled to its end.
size_t FieldLength(const char* text, size_t size) {
    const void* nul = std::memchr(text, 0, size);
    return nul ? size_t(static_cast<const char*>(nul) - text) : size;
}

// Copies at most maxBytes of text, never splitting a GBK character; the field is zeroed first.
void CopyText(char* field, size_t fieldSize, const char* text, size_t maxBytes) {
    std::memset(field, 0, fieldSize);
    if (!text) return;
    std::memcpy(field, text, GbkSafeLength(text, maxBytes));
}

inline bool Positive(double v) { return v > kPriceEpsilon; }

struct CodeRange {
    const char* low;
    const char* high;  // null: low is a three-character prefix
    DWORD market;
    int kind;
};

// First matching row wins; ranges compare the whole code as held.
const CodeRange kCodeTable[] = {
    {"000001", "000999", kMarketShenZhen, kindSzA},
    {"002001", "002999", kMarketShenZhen, kindSzKind39},
    {"200001", "200999", kMarketShenZhen, kindSzB},
    {"600", nullptr, kMarketShangHai, kindShA},
    {"500", nullptr, kMarketShangHai, kindShA},
    {"900", nullptr, kMarketShangHai, kindShB},
    {"001001", "001199", kMarketShenZhen, kindSzKind35},
    {"001200", "001899", kMarketShenZhen, kindSzKind35},
    {"001900", "001999", kMarketShenZhen, kindSzKind35},
    {"030001", "038999", kMarketShenZhen, kindSzKind36},
    {"003001", "003999", kMarketShenZhen, kindSzKind38},
    {"009001", "009999", kMarketShenZhen, kindSzKind38},
    {"005001", "005999", kMarketShenZhen, kindSzKind35},
    {"006001", "006999", kMarketShenZhen, kindSzKind35},
    {"004601", "004699", kMarketShenZhen, kindSzA},
    {"008001", "008999", kMarketShenZhen, kindSzKind38},
    {"001", nullptr, kMarketShangHai, kindShBond},
    {"110", nullptr, kMarketShangHai, kindShBond},
    {"120", nullptr, kMarketShangHai, kindShBond},
    {"310", nullptr, kMarketShangHai, kindShBond},
    {"580", nullptr, kMarketShangHai, kindShFund},
    {"710", nullptr, kMarketShangHai, kindShKind22},
    {"711", nullptr, kMarketShangHai, kindShKind22},
    {"730", nullptr, kMarketShangHai, kindShKind22},
    {"737", nullptr, kMarketShangHai, kindShKind22},
    {"201", nullptr, kMarketShangHai, kindShBond},
    {"129", nullptr, kMarketShangHai, kindShBond},
    {"100", nullptr, kMarketShangHai, kindShBond},
    {"700", nullptr, kMarketShangHai, kindShKind22},
    {"701", nullptr, kMarketShangHai, kindShKind22},
    {"720", nullptr, kMarketShangHai, kindShKind21},
    {"735", nullptr, kMarketShangHai, kindShKind22},
};

void ResolveByTable(const char* code, DWORD* market, int* kind) {
    *market = kMarketUnknown;
    *kind = kindUnknown;
    if (!code || !*code) return;
    for (const CodeRange& row : kCodeTable) {
        bool match = row.high ? std::strcmp(code, row.low) >= 0 && std::strcmp(code, row.high) <= 0
                              : std::strncmp(code, row.low, 3) == 0;
        if (match) {
            *market = row.market;
            *kind = row.kind;
            return;
        }
    }
}

}  // namespace

void SetStockLookup(StockLookupFunc lookup) { g_lookup.store(lookup); }

CStockInfo::CStockInfo() { Clear(); }

CStockInfo::CStockInfo(const CStockInfo& other) { CopyFrom(other); }

CStockInfo& CStockInfo::operator=(const CStockInfo& other) {
    if (&other != this) CopyFrom(other);
    return *this;
}

void CStockInfo::CopyFrom(const CStockInfo& o) {
    m_dwMarket = o.m_dwMarket;
    std::memcpy(m_szCode, o.m_szCode, sizeof m_szCode);
    m_nType = o.m_nType;
    std::memcpy(m_szName, o.m_szName, sizeof m_szName);
    std::memcpy(m_szShortName, o.m_szShortName, sizeof m_szShortName);
    if (o.m_pRare) MakeRare() = *o.m_pRare;
    else m_pRare.reset();
    m_strPlainCode.clear();  // filled again on demand
    m_dwDate = o.m_dwDate;
    m_fLastClose = o.m_fLastClose;
    m_fOpen = o.m_fOpen;
    m_fHigh = o.m_fHigh;
    m_fLow = o.m_fLow;
    m_fClose = o.m_fClose;
    m_fVolume = o.m_fVolume;
    m_fAmount = o.m_fAmount;
    std::memcpy(m_dwExtra, o.m_dwExtra, sizeof m_dwExtra);
    std::memcpy(m_fBuyPrice, o.m_fBuyPrice, sizeof m_fBuyPrice);
    std::memcpy(m_fBuyVolume, o.m_fBuyVolume, sizeof m_fBuyVolume);
    std::memcpy(m_fSellPrice, o.m_fSellPrice, sizeof m_fSellPrice);
    std::memcpy(m_fSellVolume, o.m_fSellVolume, sizeof m_fSellVolume);
    m_kdata = o.m_kdata;
    m_basedata = o.m_basedata;
    m_minute = o.m_minute;
    m_dwReportDate = o.m_dwReportDate;
    m_nReportKind = o.m_nReportKind;
    m_fRate1 = o.m_fRate1;
    m_fRate2 = o.m_fRate2;
    m_dwBaseValue = o.m_dwBaseValue;
    std::memcpy(m_fBase, o.m_fBase, sizeof m_fBase);
    m_fYieldAverage = o.m_fYieldAverage;
    m_fYieldDeviation = o.m_fYieldDeviation;
    m_fBeta = o.m_fBeta;
}

void CStockInfo::Clear() {
    m_dwMarket = kMarketUnknown;
    std::memset(m_szCode, 0, sizeof m_szCode);
    m_nType = kindUnknown;
    std::memset(m_szName, 0, sizeof m_szName);
    std::memset(m_szShortName, 0, sizeof m_szShortName);
    m_pRare.reset();
    m_strPlainCode.clear();
    m_dwDate = 0;
    m_fLastClose = m_fOpen = m_fHigh = m_fLow = m_fClose = m_fVolume = m_fAmount = 0;
    m_dwExtra[0] = m_dwExtra[1] = 0;
    std::memset(m_fBuyPrice, 0, sizeof m_fBuyPrice);
    std::memset(m_fBuyVolume, 0, sizeof m_fBuyVolume);
    std::memset(m_fSellPrice, 0, sizeof m_fSellPrice);
    std::memset(m_fSellVolume, 0, sizeof m_fSellVolume);
    m_kdata.Clear();
    m_kdata.SetKType(ktypeDay);
    m_basedata.RemoveAll();
    m_minute.RemoveAll();
    m_dwReportDate = 0;
    m_nReportKind = 0;
    m_fRate1 = 8.27f;
    m_fRate2 = 1.06f;
    m_dwBaseValue = 0;
    std::memset(m_fBase, 0, sizeof m_fBase);
    m_fYieldAverage = m_fYieldDeviation = m_fBeta = float(kNotComputed);
}

const char* CStockInfo::GetPlainCode() const {
    size_t n = std::strlen(m_szCode);
    m_strPlainCode.assign(m_szCode, n >= 2 ? n - 2 : 0);
    return m_strPlainCode.c_str();
}

bool CStockInfo::IsValidStock() const { return std::strlen(m_szCode) > 5; }

bool CStockInfo::IsShangHai() const { return m_dwMarket == kMarketShangHai || (m_nType & kKindShangHaiBit); }

bool CStockInfo::IsShenZhen() const { return m_dwMarket == kMarketShenZhen || (m_nType & kKindShenZhenBit); }

bool CStockInfo::IsEqualTo(DWORD market, const char* code) const {
    if (!code || std::strcmp(m_szCode, code) != 0) return false;
    if (market == m_dwMarket || market == kMarketUnknown || market == 0 || m_dwMarket == kMarketUnknown ||
        m_dwMarket == 0)
        return true;
    auto exchange = [](DWORD m) {
        return m == kMarketChina || m == kMarketShangHai || m == kMarketChiNext || m == kMarketShenZhen;
    };
    return (market == kMarketChina && exchange(m_dwMarket)) || (m_dwMarket == kMarketChina && exchange(market));
}

bool CStockInfo::SetStockCode(DWORD market, const char* code) {
    if (!code || !*code) {
        Clear();
        return false;
    }
    if (IsEqualTo(market, code)) {
        if (market != kMarketUnknown) m_dwMarket = market;
        return IsValidStock();
    }
    Clear();
    m_dwMarket = market;
    CopyText(m_szCode, sizeof m_szCode, code, sizeof m_szCode - 1);
    ResolveMarketAndKind();
    return IsValidStock();
}

void CStockInfo::SetType(int kind) {
    m_nType = kind;
    if (m_dwMarket == kMarketUnknown) {
        if (kind & kKindShangHaiBit) m_dwMarket = kMarketShangHai;
        else if (kind & kKindShenZhenBit) m_dwMarket = kMarketShenZhen;
    }
}

void CStockInfo::SetStockName(const char* name) { CopyText(m_szName, sizeof m_szName, name, sizeof m_szName - 1); }

void CStockInfo::SetStockShortName(const char* name) {
    CopyText(m_szShortName, sizeof m_szShortName, name, sizeof m_szShortName - 1);
}

int CStockInfo::GetPriceDecimals() const {
    if (std::strncmp(m_szName, "基金", std::strlen("基金")) == 0) return 3;
    if (m_nType == kindShB || m_nType == kindShFund || m_nType == kindSzKind36) return 3;
    return 2;
}

void CStockInfo::ResolveMarketAndKind() {
    DWORD market = kMarketUnknown;
    int kind = kindUnknown;
    StockLookupFunc lookup = g_lookup.load();
    if (m_szCode[0] && lookup && lookup(m_szCode, &market, &kind) && kind != kindUnknown &&
        market != kMarketUnknown) {
        // The stock list knows it.
    } else {
        ResolveByTable(m_szCode, &market, &kind);
    }
    if (m_nType == kindUnknown) m_nType = kind;
    if (m_dwMarket == kMarketUnknown) m_dwMarket = market;
}

// ---- Snapshot ----

bool CStockInfo::SetQuoteFromBar(int date) {
    int i = date == -1 ? m_kdata.GetSize() - 1 : m_kdata.GetIndexByDate(DWORD(date));
    if (i < 0) {
        m_dwDate = 0;
        m_fLastClose = m_fOpen = m_fHigh = m_fLow = m_fClose = m_fVolume = m_fAmount = 0;
        m_dwExtra[0] = m_dwExtra[1] = 0;
        return false;
    }
    const KDATA& b = m_kdata[i];
    m_dwDate = b.date;
    m_fOpen = b.open;
    m_fHigh = b.high;
    m_fLow = b.low;
    m_fClose = b.close;
    m_fVolume = b.volume;
    m_fAmount = b.amount;
    m_dwExtra[0] = b.extra[0];
    m_dwExtra[1] = b.extra[1];
    m_fLastClose = i > 0 ? m_kdata[i - 1].close : b.open;
    return true;
}

CStockInfo::Rare& CStockInfo::MakeRare() {
    if (!m_pRare) m_pRare.reset(new Rare());  // value-initialised: all zero
    return *m_pRare;
}

const REPORT& CStockInfo::GetLatestReport() const {
    static const REPORT none = {};
    return m_pRare ? m_pRare->report : none;
}

void CStockInfo::SetLatestReport(const REPORT& quote) { MakeRare().report = quote; }

bool CStockInfo::SetBaseFromRecords(DWORD date) {
    const int n = m_basedata.GetSize();
    if (n == 0) return false;
    int pick = -1;
    for (int k = 0; k < n; ++k) {
        DWORD d = m_basedata[k].reportDate;
        if (d <= date && (pick < 0 || d > m_basedata[pick].reportDate)) pick = k;
    }
    if (pick < 0) pick = n - 1;
    const BASEDATA& r = m_basedata[pick];
    const size_t text1 = FieldLength(r.text1, sizeof r.text1 - 1), text2 = FieldLength(r.text2, sizeof r.text2 - 1);
    if (text1 || text2 || m_pRare) {
        Rare& rare = MakeRare();
        std::memset(rare.baseText1, 0, sizeof rare.baseText1);
        std::memcpy(rare.baseText1, r.text1, std::min(text1, sizeof rare.baseText1 - 1));
        std::memset(rare.baseText2, 0, sizeof rare.baseText2);
        std::memcpy(rare.baseText2, r.text2, std::min(text2, sizeof rare.baseText2 - 1));
    }
    m_dwReportDate = r.reportDate;
    m_nReportKind = r.reportKind;
    if (r.rate1 > 0.000001) m_fRate1 = r.rate1;
    if (r.rate2 > 0.000001) m_fRate2 = r.rate2;
    m_dwBaseValue = r.value;
    std::memcpy(m_fBase, r.figures, sizeof m_fBase);
    const BASEDATA& last = m_basedata[n - 1];
    m_fYieldAverage = last.yieldAverage;
    m_fYieldDeviation = last.yieldDeviation;
    m_fBeta = last.beta;
    return true;
}

bool UpdateStockInfoByReport(CStockInfo* stock, const REPORT* quote) {
    if (!stock || !quote) return false;
    char code[sizeof quote->code + 1] = {0};
    std::memcpy(code, quote->code, FieldLength(quote->code, sizeof quote->code));
    if (code[0]) stock->SetStockCode(quote->market, code);
    char name[sizeof quote->name + 1] = {0};
    std::memcpy(name, quote->name, FieldLength(quote->name, sizeof quote->name));
    if (name[0]) stock->SetStockName(name);
    if (stock->GetType() == kindUnknown)
        stock->SetType(quote->market == kMarketShenZhen ? kindSzA : kindShA);
    if (quote->prevClose > kPriceEpsilon) stock->m_fLastClose = quote->prevClose;
    stock->m_fOpen = quote->open;
    stock->m_fHigh = quote->high;
    stock->m_fLow = quote->low;
    stock->m_fClose = quote->close;
    stock->m_fVolume = quote->volume;
    stock->m_fAmount = quote->amount;
    std::memcpy(stock->m_fBuyPrice, quote->buyPrice, sizeof quote->buyPrice);
    std::memcpy(stock->m_fBuyVolume, quote->buyVolume, sizeof quote->buyVolume);
    std::memcpy(stock->m_fSellPrice, quote->sellPrice, sizeof quote->sellPrice);
    std::memcpy(stock->m_fSellVolume, quote->sellVolume, sizeof quote->sellVolume);

    KDATA bar;
    BuildKDataFromReport(bar, quote);
    CKData& day = stock->m_kdata;
    int last = day.GetSize() - 1;
    if (last >= 0 && day[last].date == bar.date) {
        day.ReplaceAt(last, bar);
    } else if (last < 0 || bar.date > day[last].date) {
        day.Add(bar);
    }
    // A quote older than the last bar (a stale header) leaves the series alone.
    stock->m_dwDate = bar.date;
    stock->SetLatestReport(*quote);
    return true;
}

// ---- Derived figures ----

bool CStockInfo::IsShare() const {
    return m_nType == kindShA || m_nType == kindShB || m_nType == kindSzA || m_nType == kindSzB;
}

double CStockInfo::ReportFactor() const {
    switch (m_nReportKind) {
    case 1: return 4;
    case 2: return 2;
    case 3: return 1.333333;
    default: return 1;
    }
}

bool CStockInfo::GetAveragePrice(double* out) const {
    if (IsIndex() || !Positive(m_fVolume)) return false;
    double p = double(m_fAmount) / m_fVolume;
    int steps = 0;
    while (p < m_fLow && steps < 10) {
        p *= 10;
        ++steps;
    }
    while (p > m_fHigh && steps < 20) {
        p /= 10;
        ++steps;
    }
    if (p < m_fLow) p = (double(m_fLow) + m_fHigh + m_fOpen + m_fClose) / 4;
    if (out) *out = p;
    return true;
}

bool CStockInfo::GetDiff(double* out, DWORD date, int n) const {
    if (n == 1 && date == m_dwDate) {
        if (!Positive(m_fLastClose) || m_fClose < kPriceEpsilon) return false;
        if (out) *out = double(m_fClose) - m_fLastClose;
        return true;
    }
    return m_kdata.GetDiff(out, date, n);
}

bool CStockInfo::GetDiffPercent(double* out, DWORD date, int n) const {
    if (n == 1 && date == m_dwDate) {
        if (!Positive(m_fLastClose) || m_fClose < kPriceEpsilon) return false;
        if (out) *out = double(m_fClose) * 100 / m_fLastClose - 100;
        return true;
    }
    return m_kdata.GetRatio(out, date, n);
}

bool CStockInfo::GetScope(double* out, DWORD date, int n) const {
    if (n == 1 && date == m_dwDate) {
        if (!Positive(m_fLastClose) || m_fHigh < kPriceEpsilon || m_fLow < kPriceEpsilon) return false;
        if (out) *out = (double(m_fHigh) - m_fLow) * 100 / m_fLastClose;
        return true;
    }
    return m_kdata.GetAmplitude(out, date, n);
}

bool CStockInfo::GetDiffPercentMin5(double* out) const { return m_minute.GetDiffPercentMin5(out); }

bool CStockInfo::GetPNetAsset(double* out) const {
    double asset = GetBase(baseNetAssetPerShare);
    if (!Positive(std::fabs(asset)) || !Positive(m_fClose)) return false;
    if (out) *out = m_fClose / asset;
    return true;
}

bool CStockInfo::GetShareCurrency(double* out) const {
    double shares;
    if (m_nType == kindShA || m_nType == kindSzA) shares = GetBase(baseSharesA);
    else if (m_nType == kindShB || m_nType == kindSzB) shares = GetBase(baseSharesB);
    else return false;
    if (out) *out = shares;
    return true;
}

bool CStockInfo::GetRatioCurrency(double* out) const {
    double shares = 0, total = GetBase(baseTotalShares);
    if (!IsShare() || !Positive(total) || !GetShareCurrency(&shares)) return false;
    if (out) *out = shares * 100 / total;
    return true;
}

bool CStockInfo::GetRatioChangeHand(double* out, double volume) const {
    double shares = 0;
    if (!IsShare() || !GetShareCurrency(&shares) || std::fabs(shares) < kPriceEpsilon) return false;
    if (out) *out = volume * 100 / shares;
    return true;
}

bool CStockInfo::GetRatioChangeHandFrom(double* out, const CKData& series, DWORD date, int n) const {
    double volume = 0;
    if (!series.GetVolumeSum(&volume, date, n)) return false;
    return GetRatioChangeHand(out, volume);
}

bool CStockInfo::GetRatioChangeHandDays(double* out, DWORD date, int n) const {
    return GetRatioChangeHandFrom(out, m_kdata, date, n);
}

bool CStockInfo::GetRatioVolume(double* out, DWORD date, int n) const { return m_kdata.GetRatioVolume(out, date, n); }

bool CStockInfo::GetUpDownRatio(double* out, DWORD date, int n) const { return m_kdata.GetUpDownRatio(out, date, n); }

bool CStockInfo::GetSellBuyRatio(double* ratio, double* difference) const {
    double buy = 0, sell = 0;
    for (int k = 0; k < 5; ++k) {
        buy += double(TruncateToInteger(m_fBuyVolume[k]));
        sell += double(TruncateToInteger(m_fSellVolume[k]));
    }
    double sum = buy + sell;
    if (ratio) *ratio = sum > kPriceEpsilon ? (buy - sell) * 100 / sum : 0;
    if (difference) *difference = buy - sell;
    return true;
}

bool CStockInfo::GetMarketValue(double* out) const {
    double total = GetBase(baseTotalShares);
    if (!IsShare() || !Positive(m_fClose) || !Positive(total)) return false;
    if (out) *out = m_fClose * total;
    return true;
}

bool CStockInfo::GetMarketValueA(double* out) const {
    double shares = GetBase(baseSharesA);
    if ((m_nType != kindShA && m_nType != kindSzA) || !Positive(m_fClose) || !Positive(shares)) return false;
    if (out) *out = m_fClose * shares;
    return true;
}

bool CStockInfo::GetMarketValueB(double* out) const {
    double shares = GetBase(baseSharesB);
    if ((m_nType != kindShB && m_nType != kindSzB) || !Positive(m_fClose) || !Positive(shares)) return false;
    if (out) *out = m_fClose * shares;
    return true;
}

bool CStockInfo::GetSharpeIndex(double* out) const {
    if (std::fabs(m_fYieldAverage - kNotComputed) <= kPriceEpsilon ||
        std::fabs(m_fYieldDeviation - kNotComputed) <= kPriceEpsilon || !Positive(std::fabs(m_fYieldDeviation)))
        return false;
    if (out) *out = (m_fYieldAverage - 3.0) * 100 / m_fYieldDeviation;
    return true;
}

bool CStockInfo::GetPE(double* out) const {
    double eps = GetBase(baseEarningsPerShare);
    if (!IsShare() || !Positive(std::fabs(eps)) || !Positive(m_fClose)) return false;
    if (out) *out = m_fClose / (ReportFactor() * eps);
    return true;
}

bool CStockInfo::GetPMainIncome(double* out) const {
    double income = GetBase(baseMainIncome);
    if (!IsShare() || !Positive(std::fabs(income)) || !Positive(m_fClose)) return false;
    if (out) *out = m_fClose * GetBase(baseTotalShares) / (ReportFactor() * income);
    return true;
}

bool CStockInfo::GetPNetCash(double* out) const {
    double cash = GetBase(baseNetCashPerShare);
    if (!IsShare() || !Positive(std::fabs(cash)) || !Positive(m_fClose)) return false;
    if (out) *out = m_fClose / (ReportFactor() * cash);
    return true;
}
