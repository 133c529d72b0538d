#include "store/stock.h"

#include <cstdlib>
#include <cstring>

#include "store/container.h"
#include "store/database.h"

CStock::CStock() : m_pDatabase(nullptr), m_nBaseTextLen(0), m_pBaseText(nullptr) { SetKDataPeriods(); }

CStock::~CStock() {
    Clear();
}

void CStock::SetKDataPeriods() {
    m_kdMonth.SetKType(ktypeMonth);
    m_kdWeek.SetKType(ktypeWeek);
    m_kdDay.SetKType(ktypeDay);
    m_kdMin60.SetKType(ktypeMin60);
    m_kdMin30.SetKType(ktypeMin30);
    m_kdMin15.SetKType(ktypeMin15);
    m_kdMin5.SetKType(ktypeMin5);
}

void CStock::FreeBaseText() {
    std::free(m_pBaseText);
    m_pBaseText = nullptr;
    m_nBaseTextLen = 0;
}

void CStock::Clear() {
    m_stockinfo.Clear();
    FreeBaseText();
    CKData* all[] = {&m_kdMonth, &m_kdWeek, &m_kdDay, &m_kdMin60, &m_kdMin30, &m_kdMin15, &m_kdMin5};
    for (CKData* k : all) k->Clear();
    SetKDataPeriods();
    m_drdata.RemoveAll();
    m_report.RemoveAll();
    m_minute.RemoveAll();
    m_outline.RemoveAll();
    m_fenbiL.RemoveAll();
    m_fenbiS.RemoveAll();
    m_signal.Clear();
}

void CStock::SetStockCode(DWORD market, const char* code) {
    if (m_stockinfo.IsEqualTo(market, code)) return;
    Clear();
    m_stockinfo.SetStockCode(market, code);
}

bool CStock::SetStockInfo(const CStockInfo* info) {
    if (!info) {
        Clear();
        return false;
    }
    if (!m_stockinfo.IsEqualTo(info->GetMarket(), info->GetStockCode())) Clear();
    if (info != &m_stockinfo) m_stockinfo = *info;
    return std::strlen(m_stockinfo.GetStockCode()) > 5;
}

const char* CStock::GetPlainCode() {
    m_strPlainCode = m_stockinfo.GetPlainCode();
    return m_strPlainCode.c_str();
}

CKData& CStock::GetKData(int ktype) {
    switch (ktype) {
    case ktypeMin5: return m_kdMin5;
    case ktypeMin15: return m_kdMin15;
    case ktypeMin30: return m_kdMin30;
    case ktypeMin60: return m_kdMin60;
    case ktypeWeek: return m_kdWeek;
    case ktypeMonth: return m_kdMonth;
    default: return m_kdDay;
    }
}

bool CStock::AllocBaseText(int length) {
    if (length < 0 || length > kMaxBaseText) return false;
    FreeBaseText();
    m_pBaseText = static_cast<char*>(std::calloc(size_t(length) + 1, 1));
    if (!m_pBaseText) return false;
    m_nBaseTextLen = length;
    return true;
}

int CStock::CopyBaseText(CStock& other) {
    if (m_pBaseText) return m_nBaseTextLen;
    if (!other.m_pBaseText) return 0;
    if (!AllocBaseText(other.m_nBaseTextLen)) return 0;
    std::memcpy(m_pBaseText, other.m_pBaseText, size_t(other.m_nBaseTextLen));
    return other.m_nBaseTextLen;
}

int CStock::PrepareBaseText(bool reload) {
    if (!m_pDatabase) return 0;
    if (m_pBaseText && !reload) return m_nBaseTextLen;
    return m_pDatabase->LoadBaseText(this);
}

int CStock::PrepareData(int type, int ktype, bool reload) {
    if (!m_pDatabase) return 0;
    switch (type) {
    case dataCode:
    case dataCodeInfo: {
        CStockInfo info;
        if (!GetStockContainer().GetStockInfo(m_stockinfo.GetStockCode(), &info, nullptr)) return 0;
        m_stockinfo = info;
        return 1;
    }
    case dataK: {
        if (!IsValidKType(ktype)) return 0;
        CKData& series = GetKData(ktype);
        if (!reload && series.GetSize() > 0) return ExtractKData(ktype, false);
        m_pDatabase->LoadKData(this, ktype);
        if (ktype == ktypeDay) m_pDatabase->LoadKDataEx(this);
        return ExtractKData(ktype, false);
    }
    case dataBaseText:
        if (reload || !m_pBaseText) return m_pDatabase->LoadBaseText(this);
        return m_nBaseTextLen;
    case dataReport:
        if (!reload && m_report.GetSize() > 0) return m_report.GetSize();
        return m_pDatabase->LoadReport(this);
    case dataMinute:
        if (!reload && m_minute.GetSize() > 0) return m_minute.GetSize();
        return m_pDatabase->LoadMinute(this);
    case dataOutline:
        if (!reload && m_outline.GetSize() > 0) return m_outline.GetSize();
        return m_pDatabase->LoadOutline(this);
    case dataSignal:
        if (!reload && m_signal.GetCount() > 0) return m_signal.GetCount();
        return m_pDatabase->LoadSignal(this);
    case dataFenbiL:
        if (!reload && m_fenbiL.GetSize() > 0) return m_fenbiL.GetSize();
        return m_pDatabase->LoadFenbiL(this);
    case dataFenbiS:
        if (!reload && m_fenbiS.GetSize() > 0) return m_fenbiS.GetSize();
        return m_pDatabase->LoadFenbiS(this);
    default:
        return 0;
    }
}

int CStock::ExtractKData(int ktype, bool force) {
    if (ktype == ktypeMin5) return m_kdMin5.GetSize();
    if (ktype == ktypeDay) return m_kdDay.GetSize();
    CKData* source = nullptr;
    int k = 0;
    switch (ktype) {
    case ktypeMin15: source = &m_kdMin5; k = 3; break;
    case ktypeMin30: source = &m_kdMin5; k = 6; break;
    case ktypeMin60: source = &m_kdMin5; k = 12; break;
    case ktypeWeek: source = &m_kdDay; k = 5; break;
    case ktypeMonth: source = &m_kdDay; k = 18; break;
    default: return 0;
    }
    CKData& target = GetKData(ktype);
    if (!force) {
        int cmp = target.CompareLatest(*source);
        if (cmp == 1 || (cmp == 0 && int64_t(target.GetSize()) * k >= source->GetSize())) return target.GetSize();
    }
    switch (ktype) {
    case ktypeMin15: Convert5To15Minute(*source, target); break;
    case ktypeMin30: Convert5To30Minute(*source, target); break;
    case ktypeMin60: Convert5To60Minute(*source, target); break;
    case ktypeWeek: ConvertDayToWeek(*source, target); break;
    case ktypeMonth: ConvertDayToMonth(*source, target); break;
    default: break;
    }
    return target.GetSize();
}

int CStock::MergeKData(CStock* other, int ktype) {
    if (!other || !IsValidKType(ktype)) return 0;
    return GetKData(ktype).Merge(&other->GetKData(ktype));
}
