#include "analysis/techparams.h"

#include <climits>
#include <cstdio>

#include "base/text.h"

namespace {

bool IsIntKind(char c) { return c == 'D' || c == 'd' || c == 'L' || c == 'l' || c == 'T' || c == 'N' || c == 'M' || c == 'm'; }
bool IsDoubleKind(char c) { return c == 'F' || c == 'f'; }
bool IsDayLike(char c) { return c == 'D' || c == 'd' || c == 'M' || c == 'm'; }

// Valid range of an int of the given kind.
void IntRange(char c, int* low, int* high) {
    switch (c) {
    case 'D': case 'd': *low = 1, *high = kMaxTechDays; return;
    case 'L': case 'l': *low = -kMaxTechLevel, *high = kMaxTechLevel; return;
    case 'T': *low = 1, *high = 2; return;
    case 'N': *low = 0, *high = INT_MAX; return;
    default: *low = 0, *high = kMaxTechDays; return;  // M, m
    }
}

}  // namespace

int DayCacheLine(const CSPDWordArray& days, int n) {
    for (int k = 0; k < days.GetSize() && k < CTechnique::kLines; ++k)
        if (int(days[k]) == n) return k;
    return -1;
}

CParamTech::CParamTech(const char* layout, std::initializer_list<int> ints, std::initializer_list<double> doubles,
                       std::initializer_list<DWORD> days, const char* caption,
                       std::initializer_list<const char*> strings)
    : m_layout(layout), m_caption(caption), m_nInts(0), m_nDoubles(0), m_nStrings(0), m_bDays(false),
      m_defInts(ints), m_defDoubles(doubles), m_defDays(days) {
    for (const char* s : strings) m_defStrings.push_back(s);
    for (const char* p = m_layout; *p; ++p) {
        if (IsIntKind(*p) && m_nInts < kMaxInts) {
            int low, high;
            IntRange(*p, &low, &high);
            m_intLow[m_nInts] = low;
            m_intSpan[m_nInts] = unsigned(high) - unsigned(low);
            ++m_nInts;
        } else if (IsDoubleKind(*p)) {
            ++m_nDoubles;
        } else if (*p == 'A') {
            m_bDays = true;
        } else if (*p == 'S') {
            ++m_nStrings;
        }
    }
    SetDefaultParameters();
}

void CParamTech::SetDefaultParameters() {
    m_ints = m_defInts;
    m_doubles = m_defDoubles;
    m_strings = m_defStrings;
    m_days.RemoveAll();
    for (DWORD d : m_defDays) m_days.Add(d);
}

bool CParamTech::IsValidParameters() {
    if (m_ints.size() != m_nInts || m_doubles.size() != m_nDoubles || m_strings.size() < m_nStrings) return false;
    for (size_t k = 0; k < m_nInts; ++k)
        if (unsigned(m_ints[k]) - unsigned(m_intLow[k]) > m_intSpan[k]) return false;
    for (size_t k = 0; k < m_nDoubles; ++k)
        if (!(m_doubles[k] > 0)) return false;
    if (m_bDays) {
        const int n = m_days.GetSize();
        if (n < 1) return false;
        for (int k = 0; k < n; ++k)
            if (m_days[k] - 1 >= DWORD(kMaxTechDays)) return false;
    }
    for (size_t k = 0; k < m_nStrings; ++k)
        if (m_strings[k].empty()) return false;
    return true;
}

std::string CParamTech::GetNameParams() {
    if (m_caption[0] == 'A' && m_caption[1] == 0) {
        if (m_days.GetSize() == 0) return std::string();
        std::string text = "(";
        for (int k = 0; k < m_days.GetSize(); ++k) {
            if (k) text += ",";
            text += std::to_string(m_days[k]);
        }
        return text + ")";
    }
    int v[5] = {0, 0, 0, 0, 0};
    int n = 0;
    size_t ni = 0;
    for (const char* p = m_layout; *p && n < 5; ++p) {
        if (!IsIntKind(*p)) continue;
        if (ni < m_ints.size() && IsDayLike(*p)) v[n++] = m_ints[ni];
        ++ni;
    }
    char buffer[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
#pragma GCC diagnostic ignored "-Wformat-security"
    std::snprintf(buffer, sizeof(buffer), m_caption, v[0], v[1], v[2], v[3], v[4]);
#pragma GCC diagnostic pop
    return buffer;
}

bool CParamTech::SameParameters(const CParamTech& o) const {
    if (m_ints != o.m_ints || m_doubles != o.m_doubles || m_strings != o.m_strings ||
        m_days.GetSize() != o.m_days.GetSize())
        return false;
    for (int k = 0; k < m_days.GetSize(); ++k)
        if (m_days[k] != o.m_days[k]) return false;
    return true;
}

void CParamTech::CopyParameters(const CParamTech& other) {
    if (&other == this || m_layout != other.m_layout || SameParameters(other)) return;
    m_ints = other.m_ints;
    m_doubles = other.m_doubles;
    m_strings = other.m_strings;
    m_days.Copy(other.m_days);
    Clear();
}

bool CParamTech::Serialize(CSPArchive& ar) {
    size_t ni = 0, nd = 0, ns = 0;
    for (const char* p = m_layout; *p; ++p) {
        char c = *p;
        bool stored = c >= 'A' && c <= 'Z';
        if (IsIntKind(c)) {
            if (stored) {
                if (ar.IsStoring())
                    ar.WriteInt(m_ints[ni]);
                else
                    m_ints[ni] = ar.ReadInt();
            }
            ++ni;
        } else if (IsDoubleKind(c)) {
            if (stored) {
                if (ar.IsStoring())
                    ar.WriteDouble(m_doubles[nd]);
                else
                    m_doubles[nd] = ar.ReadDouble();
            }
            ++nd;
        } else if (c == 'A') {
            if (ar.IsStoring()) {
                ar.WriteInt(m_days.GetSize());
                for (int k = 0; k < m_days.GetSize(); ++k) ar.WriteInt(int32_t(m_days[k]));
            } else {
                int32_t count = ar.ReadInt();
                // A damaged file must not make us allocate gigabytes.
                if (ar.IsFailed() || count < 0 || count > kMaxStoredDays) return false;
                m_days.RemoveAll();
                for (int k = 0; k < count; ++k) m_days.Add(DWORD(ar.ReadInt()));
            }
        } else if (c == 'S') {
            if (ar.IsStoring())
                ar.WriteString(m_strings[ns]);
            else if (!ar.ReadString(m_strings[ns]))
                return false;
            ++ns;
        }
    }
    return !ar.IsFailed();
}
