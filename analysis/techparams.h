// Indicators with a parameter list: defaults, validity, caption, copy and the stored form.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/technique.h"
#include "base/archive.h"

// The layout names each parameter in order, one letter each; an upper-case letter is stored in
// the parameter block, a lower-case one is not:
//   D/d  day count, int 1..1024          L/l  signal level, int -15..15
//   T    average type, int 1..2          N    int >= 0
//   M/m  int 0..1024                     F/f  double > 0
//   A    day-count array (1..1024 each, at least one)
//   S    string, not empty
class CParamTech : public CTechnique {
public:
    void SetDefaultParameters() override;
    bool IsValidParameters() override;
    std::string GetNameParams() override;

    // Takes the parameters of an object of the same class; the caches are dropped only when a
    // value really changes, so copying the same settings at every paint keeps them.
    void CopyParameters(const CParamTech& other);
    bool SameParameters(const CParamTech& other) const;
    // A stored day-count array longer than this is damage.
    static constexpr int kMaxStoredDays = 1024;
    // Stores or loads the parameters of the layout. Loading fails (false) for a count outside
    // 0..kMaxStoredDays or a failed archive; the caller then falls back to the defaults.
    bool Serialize(CSPArchive& ar);

    const char* GetLayout() const { return m_layout; }

    // Parameters in layout order by kind.
    std::vector<int> m_ints;
    std::vector<double> m_doubles;
    CSPDWordArray m_days;
    std::vector<std::string> m_strings;

protected:
    CParamTech(const char* layout, std::initializer_list<int> ints, std::initializer_list<double> doubles = {},
               std::initializer_list<DWORD> days = {}, const char* caption = "",
               std::initializer_list<const char*> strings = {});

private:
    enum { kMaxInts = 16 };
    const char* m_layout;
    const char* m_caption;  // printf form over the day-like ints; "A" joins the day-count array
    // The layout read once: the valid range of each int, and how many doubles, strings and
    // day-count arrays it has, so that a check is a few comparisons.
    int m_intLow[kMaxInts];
    unsigned m_intSpan[kMaxInts];
    size_t m_nInts;
    size_t m_nDoubles;
    size_t m_nStrings;
    bool m_bDays;
    std::vector<int> m_defInts;
    std::vector<double> m_defDoubles;
    std::vector<DWORD> m_defDays;
    std::vector<std::string> m_defStrings;
};

// Index of days in the day-count array when it is among the first five, else -1: such
// indicators keep the line of day count k in cache line k+1 and cache no other.
int DayCacheLine(const CSPDWordArray& days, int n);
