// The formula engine: one arithmetic expression over named variables, scanned and evaluated by a
// table-driven shift-reduce parser that computes while it reduces (no tree is kept: every Parse
// reads the text again with the current variable values).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/archive.h"

// A variable as the parser keeps it: the value and the name (at most 63 characters).
struct ExprVariable {
    double value;
    char name[64];
};

class CExpressParser {
public:
    // Token codes of the scanner.
    enum Token {
        tokPlus = 0,
        tokMinus = 1,
        tokTimes = 2,
        tokDivide = 3,
        tokPower = 4,
        tokOpen = 5,
        tokClose = 6,
        tokOperand = 7,
        tokFunction = 8,
        tokEnd = 9,
        tokError = 10,
        tokNot = 11,
        tokMod = 12,
    };
    // Error codes; GetLastErrorMsg of CExpress gives their texts.
    enum Error {
        errNone = 0,
        errStackFull = 1,    // also a text longer than kMaxTextLength
        errRange = 2,        // a number or a result that is not finite
        errOperand = 3,      // an operand was expected
        errOperator = 4,     // after a complete operand only +, - or the end may come
        errOpenParen = 5,    // a function name not followed by (
        errCloseParen = 6,   // ) was due
        errNumber = 7,
        errMath = 8,         // a calculation outside its guard
    };
    enum { kStackSize = 100 };
    // The scan position is kept in 16 bits, so longer texts are refused.
    static constexpr size_t kMaxTextLength = 65535;

    CExpressParser();
    CExpressParser(const CExpressParser& other);
    CExpressParser& operator=(const CExpressParser& other);
    ~CExpressParser() = default;

    // Copies the text (upper-cased once, by whole GBK characters) and resets the result, the
    // stack, the position and the error. Variables stay. A text over kMaxTextLength bytes makes
    // the next Parse fail at once with error 1.
    void SetExpression(const std::string& text);
    const std::string& GetExpression() const { return m_strExpr; }

    // Deletes every variable; the table is sized for about n of them.
    void ResetVariables(int n);
    void ClearVariables();
    // Upper-cases the name; an empty name is ignored; a name added again takes the later value.
    // Returns the variable's index (-1 for an empty name).
    int AddVariable(const char* name, double value);
    // Sets the value of the variable at an index AddVariable gave; false for an index not in use.
    bool SetVariableValue(int index, double value) {
        if (index < 0 || index >= m_nVariables) return false;
        m_slots[size_t(index)].var.value = value;
        return true;
    }
    // Null when the (upper-cased) name is unknown.
    const ExprVariable* GetVariable(const char* name) const;
    int GetVariableCount() const { return m_nVariables; }
    // Changes whenever the set of names changes (not when only values do).
    uint32_t GetVariableGeneration() const { return m_nGeneration; }

    // Evaluates the text. True when it ended without an error.
    // The first parse of a text also records the order of its operands and computing reductions;
    // later parses with the same names replay that record with the current values, which gives
    // the same result, error and position as walking the tables again.
    bool Parse();
    // Evaluates by walking the tables, without the record.
    bool ParseUncached();
    bool HasError() const { return m_nError != errNone; }
    int GetErrorCode() const { return m_nError; }
    // The value of the last successful parse; 0 after a failed one.
    double GetResult() const { return m_nError == errNone ? m_dResult : 0.0; }
    // Where a syntax error (3 to 6) was found: the start of the offending token.
    unsigned GetPosition() const { return m_nPos; }

    // Halfway goes to the lower integer: 2.5 gives 2, -2.5 gives -3.
    static double RoundToInt(double x);

private:
    struct ParseEntry {
        int16_t state;
        int16_t function;  // the function of a function-name entry
        double value;
    };
    enum { opConstant = -1, opVariable = -2 };
    enum ProgramState { programNone, programReady, programFailed };
    // One step of the record: an operand, or a reduction that computes (its production).
    struct Op {
        int16_t production;
        int16_t function;
        unsigned pos;  // the scan position at the step, where its error is reported
        double value;
        unsigned identStart;
        unsigned identLen;
        int slot;
    };
    struct Slot {
        std::string key;  // the whole upper-cased name
        uint32_t hash;
        ExprVariable var;
    };

    static int Compute(int production, int function, double a, double b, double& v);
    int NextToken();
    int ReadVariable();
    static int ReadFunctionName(const char* name, size_t length);
    void ReadNumber();
    void Shift(int state);
    void ShiftOperand();
    void Push(const ParseEntry& entry);
    void Reduce(int production);
    void RunAutomaton();
    void Record();
    // 1 with the result, 0 with an error, -1 when a name no longer resolves.
    int RunProgram();
    int GetGoto(int production) const;
    void Fail(int error, bool atToken);
    const Slot* FindSlot(const char* name, size_t length, uint32_t hash) const;

    std::string m_strExpr;
    std::string m_strSource;  // the text as given, to skip the copy when it is set again
    bool m_bTooLong;
    unsigned m_nPos;
    unsigned m_nTokenLen;
    ParseEntry m_token;
    unsigned m_nIdentStart;  // the variable name of an operand token (length 0 for a number)
    unsigned m_nIdentLen;
    int m_nIdentSlot;
    std::vector<ParseEntry> m_stack;  // kStackSize entries once the first parse runs
    int m_nTop;
    int m_nLookahead;
    std::vector<Slot> m_slots;  // the first m_nVariables are in use; the rest keep their memory
    int m_nVariables;
    std::string m_strScratch;
    int m_nError;
    double m_dResult;
    uint32_t m_nGeneration;
    bool m_bRecording;
    int m_nProgramState;
    uint32_t m_nProgramGeneration;
    unsigned m_nEndPos;
    std::vector<Op> m_program;
};

// An expression as stored in the profile: the text as saved, a value saved with it, and the text
// as evaluated.
class CExpress {
public:
    CExpress();
    CExpress(const CExpress& other);
    CExpress& operator=(const CExpress& other);
    virtual ~CExpress();

    // Loading reads the text and the value and marks the expression changed; storing writes them.
    // False when the archive failed.
    virtual bool Serialize(CSPArchive& ar);
    // The message of the parser's error code; empty without an error.
    virtual std::string GetLastErrorMsg() const;
    // While changed: drops tabs, line feeds, carriage returns, blanks and ':' from the working text
    // and clears the mark. True when the working text is not empty.
    virtual bool PrepareExpression();
    virtual int InitParser();

    static std::string GetErrorMessage(int code);

    const std::string& GetStoredText() const { return m_strStored; }
    // Sets the stored and the working text and marks the expression changed.
    void SetText(const std::string& text);
    const std::string& GetWorkingText() const { return m_strWorking; }
    int32_t GetStoredValue() const { return m_nStoredValue; }
    void SetStoredValue(int32_t value) { m_nStoredValue = value; }
    bool IsChanged() const { return m_bChanged != 0; }
    CExpressParser& GetParser() { return m_parser; }
    const CExpressParser& GetParser() const { return m_parser; }

protected:
    std::string m_strStored;
    int32_t m_nStoredValue;
    int32_t m_bChanged;
    std::string m_strWorking;
    CExpressParser m_parser;
};
