// Quote-list columns: the built-in columns 1 to 79 with their titles and variable names, the value
// of a column for one stock, and the user indexes (ids from 10000), each an expression over
// built-in columns written with the columns' own titles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/express.h"
#include "base/containers.h"
#include "store/sparray.h"
#include "store/stockinfo.h"

class CStockContainer;

constexpr int kColumnCount = 80;
constexpr int kUserIndexIdBase = 10000;
// A profile holds at most this many user indexes.
constexpr int kMaxUserIndexes = 4096;

// One record of the column table: the title (filled from the catalogue), a value kept with it and
// the variable name that stands for the column in an expression (empty for a column without one).
struct ColumnVariable {
    char title[256];
    int32_t value;
    char variable[68];
};

// The table of the 80 columns; built once, safe to read from any thread.
const ColumnVariable* ColumnVariableTable();
// The variable name of a column, null for ids without one.
const char* GetColumnVariableName(int id);

// The column's name: a user index's name for ids from 10000, the catalogue title for 1 to 79
// (with withDays, the day-count columns 10, 11, 12, 38, 39, 40 and 74 read "title-n日"), else empty.
std::string GetColumnName(int id, bool withDays);
// 80 entries: the name of each column that has a variable name, empty for the others.
void GetColumnNames(CSPStringArray& out, bool withDays);

// The value of a column for a stock: 1 with *out set when the column has a value, else 0 (out may
// still have been written, see the rules in the source). User indexes use the container's value
// cache when one is given.
int GetIndexValue(int id, const CStockInfo& stock, double* out, CStockContainer* cache = nullptr);

class CIndex : public CExpress {
public:
    CIndex();
    CIndex(const CIndex& other);
    CIndex& operator=(const CIndex& other);
    ~CIndex() override;

    // CExpress's part, then the id, the name and the two further texts.
    bool Serialize(CSPArchive& ar) override;
    // While changed: replaces the column titles in the working text by their variable names,
    // longest title first, on whole GBK characters, and records the columns used.
    bool PrepareExpression() override;
    // True when the text prepares and parses without a syntax error. The variables are 1 for the
    // check, and errors that depend on the values (2 and 8) do not count. errorCode receives the
    // parser's code.
    virtual bool IsValidExpression(int* errorCode = nullptr);
    // Gives the working text and the values of the used columns to the parser; missing is raised
    // when a column has no value for the stock.
    virtual int SetVariables(const CStockInfo& stock, bool* missing);
    // 1 with *out the value when the expression evaluates without an error and no column is
    // missing; else 0.
    int GetValue(double* out, const CStockInfo& stock, bool* missing = nullptr, bool* error = nullptr);

    // The order titles are replaced in: a longer title before any shorter one (so one that is a
    // prefix of another never splits it), equal lengths in ascending multibyte order. Negative,
    // 0 or positive like strcmp.
    static int CompareColumnNames(const char* a, const char* b);
    // Sorts column ids by their titles in that order.
    static void SortColumnsByName(std::vector<int>& ids, const ColumnVariable* records);

    int32_t m_nID;
    std::string m_strName;
    std::string m_strText1;  // kept and saved with the index
    std::string m_strText2;
    CSPDWordArray m_adwUsedColumns;

private:
    // The parser's variables stay those of the used columns from stock to stock: once they are
    // defined, only their values are set (while the parser's names are as they were left).
    bool m_bBound;
    uint32_t m_nBoundGeneration;
    std::vector<int> m_anSlots;
};

class CIndexContainer : public CSPArray<CIndex> {
public:
    // The first index of that id; a shared empty index when there is none.
    CIndex& GetIndexById(int id);
    // Loading replaces the contents only when the whole list was read; a count above
    // kMaxUserIndexes, or above what the file can hold, fails before anything is allocated.
    // False when the archive failed.
    bool Serialize(CSPArchive& ar);
};
