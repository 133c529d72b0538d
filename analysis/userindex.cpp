#include "analysis/userindex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/catalog.h"
#include "analysis/stprofile.h"
#include "base/text.h"
#include "store/container.h"
#include "store/profiledata.h"

namespace {

// Variable names by column id; empty for ids without one.
const char* const kVariableNames[kColumnCount] = {
    "", "", "", "",
    "lastclose", "open", "close", "high", "low", "average",
    "diff", "diffpercent", "scope", "volume", "amount", "volup",
    "voldown", "diffpercent_min5", "sellbuyratio", "sellbuydiff", "buyprice3", "buyprice2",
    "buyprice1", "sellprice1", "sellprice2", "sellprice3", "buyvolume3", "buyvolume2",
    "buyvolume1", "sellvolume1", "sellvolume2", "sellvolume3", "", "pe",
    "pnetasset", "pmainincome", "ratio_pcash", "ratio_currency", "ratio_changehand", "ratio_volume",
    "rs", "marketvalue", "marketvaluea", "marketvalueb", "ratio_liquidity", "ratio_quick",
    "velocity_receivables", "velocity_merchandise", "main_income", "cash_ps", "profit_margin", "netasset_yield",
    "", "share_count_total", "share_count_a", "share_count_b", "share_count_h", "share_count_national",
    "share_count_corp", "profit_psud", "asset", "ratio_holderright", "ratio_longdebt", "ration_debt",
    "netasset_ps", "netasset_ps_regulate", "eps", "eps_deduct", "net_profit", "main_profit",
    "total_profit", "profit_inc", "income_inc", "asset_inc", "anngains_average", "anngains_stddev",
    "beta", "sharp", "", "",
};

// The day-count columns in the order of the profile's counts.
const int kDayColumns[7] = {10, 11, 12, 38, 39, 40, 74};

struct Table {
    ColumnVariable records[kColumnCount];
    // Ids with a variable name, longest title first (then by id), for the title replacement.
    std::vector<int> longestFirst;
};

const Table& GetTable() {
    static const Table table = [] {
        Table t;
        std::memset(t.records, 0, sizeof t.records);
        for (int id = 0; id < kColumnCount; ++id) {
            ColumnVariable& r = t.records[id];
            const std::string title = GetStockListTitle(id);
            const size_t n = GbkSafeLength(title.c_str(), sizeof r.title - 1);
            std::memcpy(r.title, title.data(), n);
            std::strncpy(r.variable, kVariableNames[id], sizeof r.variable - 1);
            if (r.variable[0] && r.title[0]) t.longestFirst.push_back(id);
        }
        CIndex::SortColumnsByName(t.longestFirst, t.records);
        return t;
    }();
    return table;
}

// The figure of a stored-figure column: columns 44 to 73 follow the record's 32-bit value and its
// 29 figures in order, so column 44 is that value (a single-precision figure like the rest).
double StoredFigure(const CStockInfo& s, int id) {
    if (id == 44) {
        float f;
        std::memcpy(&f, &s.m_dwBaseValue, sizeof f);
        return f;
    }
    return s.GetBase(id - 44);
}

bool Plain(double v, double* out, double scale = 1) {
    *out = v * scale;
    return v > kPriceEpsilon;
}

bool Signed(double v, double* out, double scale = 1) {
    *out = v * scale;
    return std::fabs(v) > kPriceEpsilon;
}

bool Always(double v, double* out, double scale = 1) {
    *out = v * scale;
    return true;
}

bool Marked(double v, double* out) {
    *out = v;
    return std::fabs(v - kNotComputed) > kPriceEpsilon;
}

// The output of a routine, scaled only on success. The value is taken by reference: it is read
// after the routine (an argument beside it) has written it.
bool Routine(bool ok, const double& value, double* out, double scale = 1) {
    if (ok) *out = value * scale;
    return ok;
}

bool BuiltInValue(int id, const CStockInfo& s, double* out) {
    double v = 0;
    switch (id) {
    case 4: return Plain(s.m_fLastClose, out);
    case 5: return Plain(s.m_fOpen, out);
    case 6: return Plain(s.m_fClose, out);
    case 7: return Plain(s.m_fHigh, out);
    case 8: return Plain(s.m_fLow, out);
    case 9: return Routine(s.GetAveragePrice(&v), v, out);
    case 10: return Routine(s.GetDiff(&v, s.m_dwDate, GetProfile().GetDiffDays()), v, out);
    case 11: return Routine(s.GetDiffPercent(&v, s.m_dwDate, GetProfile().GetDiffPercentDays()), v, out);
    case 12: return Routine(s.GetScope(&v, s.m_dwDate, GetProfile().GetScopeDays()), v, out);
    case 13: return Plain(s.m_fVolume, out, 0.01);
    case 14: return Plain(s.m_fAmount, out, 0.001);
    case 15:
    case 16: {
        double last = 0, outer = 0, inner = 0;
        return Routine(s.m_minute.GetOuterInnerVolume(&last, &outer, &inner), id == 15 ? outer : inner, out, 0.01);
    }
    case 17: return Routine(s.GetDiffPercentMin5(&v), v, out);
    case 18:
    case 19: {
        double ratio = 0, difference = 0;
        const bool ok = s.GetSellBuyRatio(&ratio, &difference);
        return id == 18 ? Routine(ok, ratio, out) : Routine(ok, difference, out, 0.01);
    }
    case 20: case 21: case 22: return Plain(s.m_fBuyPrice[22 - id], out);
    case 23: case 24: case 25: return Plain(s.m_fSellPrice[id - 23], out);
    case 26: case 27: case 28: return Plain(s.m_fBuyVolume[28 - id], out, 0.01);
    case 29: case 30: case 31: return Plain(s.m_fSellVolume[id - 29], out, 0.01);
    case 33: return Routine(s.GetPE(&v), v, out);
    case 34: return Routine(s.GetPNetAsset(&v), v, out);
    case 35: return Routine(s.GetPMainIncome(&v), v, out);
    case 36: return Routine(s.GetPNetCash(&v), v, out);
    case 37: return Routine(s.GetRatioCurrency(&v), v, out);
    case 38: return Routine(s.GetRatioChangeHandDays(&v, s.m_dwDate, GetProfile().GetChangeHandDays()), v, out);
    case 39: return Routine(s.GetRatioVolume(&v, s.m_dwDate, GetProfile().GetRatioVolumeDays()), v, out);
    case 40: return Routine(s.GetUpDownRatio(&v, s.m_dwDate, GetProfile().GetRSDays()), v, out);
    case 41: return Routine(s.GetMarketValue(&v), v, out, 0.0001);
    case 42: return Routine(s.GetMarketValueA(&v), v, out, 0.0001);
    case 43: return Routine(s.GetMarketValueB(&v), v, out, 0.0001);
    case 44: case 45: case 46: case 47: case 49: case 50: case 51: case 61: case 63: case 64: case 65: case 66:
    case 67:
        return Signed(StoredFigure(s, id), out);
    case 48: case 60: case 68: case 69: case 70: return Signed(StoredFigure(s, id), out, 0.0001);
    case 53: return Plain(StoredFigure(s, id), out, 0.0001);
    case 54: case 55: case 56: case 57: case 58: return Always(StoredFigure(s, id), out, 0.0001);
    case 59: case 62: case 71: case 72: case 73: return Always(StoredFigure(s, id), out);
    case 74: return Marked(s.m_fYieldAverage, out);
    case 75: return Marked(s.m_fYieldDeviation, out);
    case 76: return Marked(s.m_fBeta, out);
    case 77: return Routine(s.GetSharpeIndex(&v), v, out);
    default: return false;
    }
}

}  // namespace

// ---- column table ----

const ColumnVariable* ColumnVariableTable() { return GetTable().records; }

const char* GetColumnVariableName(int id) {
    if (id < 0 || id >= kColumnCount || !kVariableNames[id][0]) return nullptr;
    return kVariableNames[id];
}

std::string GetColumnName(int id, bool withDays) {
    if (id >= kUserIndexIdBase) return GetProfile().GetIndexContainer().GetIndexById(id).m_strName;
    if (id < 1 || id >= kColumnCount) return std::string();
    const char* title = GetTable().records[id].title;
    if (!withDays) return title;
    CStProfile& p = GetProfile();
    int days = 0;
    switch (id) {
    case 10: days = p.GetDiffDays(); break;
    case 11: days = p.GetDiffPercentDays(); break;
    case 12: days = p.GetScopeDays(); break;
    case 38: days = p.GetChangeHandDays(); break;
    case 39: days = p.GetRatioVolumeDays(); break;
    case 40: days = p.GetRSDays(); break;
    case 74: days = p.GetYieldAverageDays(); break;
    default: return title;
    }
    return StringPrintf("%s-%d%s", title, days, "日");
}

void GetColumnNames(CSPStringArray& out, bool withDays) {
    out.SetSize(0, 81);
    for (int id = 0; id < kColumnCount; ++id) out.Add(GetColumnVariableName(id) ? GetColumnName(id, withDays) : "");
}

int GetIndexValue(int id, const CStockInfo& stock, double* out, CStockContainer* cache) {
    if (!out) return 0;
    if (id >= kUserIndexIdBase) {
        double value = 0;
        DWORD missingMark = 0;
        if (cache && cache->GetCachedIndexValue(&value, id, stock.GetStockCode(), &missingMark)) {
            if (missingMark) return 0;
            *out = value;
            return 1;
        }
        bool missing = false;
        const int ok = GetProfile().GetIndexContainer().GetIndexById(id).GetValue(&value, stock, &missing);
        if (ok) *out = value;
        if (cache) cache->SetCachedIndexValue(value, id, stock.GetStockCode(), ok ? 0 : 1);
        return ok;
    }
    if (!GetColumnVariableName(id)) return 0;
    return BuiltInValue(id, stock, out) ? 1 : 0;
}

// ---- CIndex ----

CIndex::CIndex() : m_nID(-1), m_bBound(false), m_nBoundGeneration(0) {}

CIndex::CIndex(const CIndex& other)
    : CExpress(other), m_nID(other.m_nID), m_strName(other.m_strName), m_strText1(other.m_strText1),
      m_strText2(other.m_strText2), m_adwUsedColumns(other.m_adwUsedColumns), m_bBound(false),
      m_nBoundGeneration(0) {}

CIndex& CIndex::operator=(const CIndex& other) {
    if (this == &other) return *this;
    CExpress::operator=(other);
    m_nID = other.m_nID;
    m_strName = other.m_strName;
    m_strText1 = other.m_strText1;
    m_strText2 = other.m_strText2;
    m_adwUsedColumns = other.m_adwUsedColumns;
    m_bBound = false;
    return *this;
}

CIndex::~CIndex() = default;

bool CIndex::Serialize(CSPArchive& ar) {
    if (ar.IsLoading()) {
        CIndex read;
        if (!read.CExpress::Serialize(ar)) return false;
        read.m_nID = ar.ReadInt();
        if (!ar.ReadString(read.m_strName) || !ar.ReadString(read.m_strText1) || !ar.ReadString(read.m_strText2) ||
            ar.IsFailed())
            return false;
        *this = read;
        m_adwUsedColumns.RemoveAll();
        m_bBound = false;
        return true;
    }
    CExpress::Serialize(ar);
    ar.WriteInt(m_nID);
    ar.WriteString(m_strName);
    ar.WriteString(m_strText1);
    ar.WriteString(m_strText2);
    return !ar.IsFailed();
}

int CIndex::CompareColumnNames(const char* a, const char* b) {
    const size_t na = std::strlen(a), nb = std::strlen(b);
    if (na != nb) return na > nb ? -1 : 1;
    return std::strcmp(a, b);
}

void CIndex::SortColumnsByName(std::vector<int>& ids, const ColumnVariable* records) {
    std::stable_sort(ids.begin(), ids.end(),
                     [records](int a, int b) { return CompareColumnNames(records[a].title, records[b].title) < 0; });
}

bool CIndex::PrepareExpression() {
    if (m_bChanged) {
        m_bBound = false;
        // One pass over the text: at each character the longest title that starts there is
        // replaced, so a title inside a longer one ("每股收益" in "扣除每股收益") never splits it,
        // and a match never starts on the second byte of a character.
        const Table& table = GetTable();
        m_adwUsedColumns.RemoveAll();
        std::string out;
        out.reserve(m_strWorking.size());
        const std::string& in = m_strWorking;
        for (size_t i = 0; i < in.size();) {
            int matched = -1;
            for (int id : table.longestFirst) {
                const char* title = table.records[id].title;
                const size_t n = std::strlen(title);
                if (in.compare(i, n, title) == 0) {
                    matched = id;
                    out += table.records[id].variable;
                    i += n;
                    break;
                }
            }
            if (matched >= 0) {
                bool seen = false;
                for (int k = 0; k < m_adwUsedColumns.GetSize() && !seen; ++k) seen = m_adwUsedColumns[k] == DWORD(matched);
                if (!seen) m_adwUsedColumns.Add(DWORD(matched));
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(in[i]);
            const size_t step = c >= 0x81 && c <= 0xFE && i + 1 < in.size() ? 2 : 1;
            out.append(in, i, step);
            i += step;
        }
        m_strWorking.swap(out);
    }
    return CExpress::PrepareExpression();
}

int CIndex::SetVariables(const CStockInfo& stock, bool* missing) {
    bool lacking = false;
    m_parser.SetExpression(m_strWorking);
    const bool bound = m_bBound && m_nBoundGeneration == m_parser.GetVariableGeneration();
    if (!bound) {
        m_parser.ResetVariables(79);
        m_anSlots.clear();
    }
    for (int k = 0; k < m_adwUsedColumns.GetSize(); ++k) {
        const int id = int(m_adwUsedColumns[k]);
        double value = 1;
        if (!GetIndexValue(id, stock, &value, nullptr)) lacking = true;
        if (bound) {
            m_parser.SetVariableValue(m_anSlots[size_t(k)], value);
        } else {
            const char* name = GetColumnVariableName(id);
            m_anSlots.push_back(name ? m_parser.AddVariable(name, value) : -1);
        }
    }
    if (!bound) {
        m_bBound = true;
        m_nBoundGeneration = m_parser.GetVariableGeneration();
    }
    if (missing) *missing = lacking;
    return 1;
}

int CIndex::GetValue(double* out, const CStockInfo& stock, bool* missing, bool* error) {
    if (!PrepareExpression()) {
        if (missing) *missing = false;
        if (error) *error = true;
        return 0;
    }
    bool lacking = false;
    SetVariables(stock, &lacking);
    const bool ok = m_parser.Parse();
    if (missing) *missing = lacking;
    if (error) *error = !ok;
    if (!ok || lacking) return 0;
    if (out) *out = m_parser.GetResult();
    return 1;
}

bool CIndex::IsValidExpression(int* errorCode) {
    if (!PrepareExpression()) {
        if (errorCode) *errorCode = CExpressParser::errOperand;
        return false;
    }
    m_parser.SetExpression(m_strWorking);
    m_parser.ResetVariables(79);
    for (int k = 0; k < m_adwUsedColumns.GetSize(); ++k)
        if (const char* name = GetColumnVariableName(int(m_adwUsedColumns[k]))) m_parser.AddVariable(name, 1);
    m_parser.Parse();
    const int code = m_parser.GetErrorCode();
    if (errorCode) *errorCode = code;
    return code == CExpressParser::errNone || code == CExpressParser::errRange || code == CExpressParser::errMath;
}

// ---- CIndexContainer ----

CIndex& CIndexContainer::GetIndexById(int id) {
    for (int i = 0; i < GetSize(); ++i)
        if (ElementAt(i).m_nID == id) return ElementAt(i);
    static CIndex empty;
    return empty;
}

bool CIndexContainer::Serialize(CSPArchive& ar) {
    if (ar.IsLoading()) {
        const int32_t count = ar.ReadInt();
        // The smallest index takes 12 bytes: four empty texts (a length byte each) and the two
        // 32-bit numbers.
        if (ar.IsFailed() || !CountFits(count, 12, ArchiveFileLength(ar), kMaxUserIndexes)) return false;
        CIndexContainer read;
        for (int i = 0; i < count; ++i) {
            CIndex index;
            if (!index.Serialize(ar)) return false;
            read.Add(index);
        }
        Copy(read);
        return true;
    }
    ar.WriteInt(GetSize());
    for (int i = 0; i < GetSize(); ++i) ElementAt(i).Serialize(ar);
    return !ar.IsFailed();
}
