#include "analysis/express.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

enum Function { fnAbs, fnAtan, fnCos, fnExp, fnLn, fnRound, fnSin, fnSqrt, fnSqr, fnTrunc, fnNot, fnBool, fnSgn };
// In the order they are tried; the whole identifier must match, so "SQRT" never reads as "SQR".
const char* const kFunctionNames[] = {"ABS",  "ATAN",  "COS", "EXP", "LN",   "ROUND", "SIN",
                                      "SQRT", "SQR",   "TRUNC", "NOT", "BOOL", "SGN"};
const int kFunctionCount = int(sizeof kFunctionNames / sizeof kFunctionNames[0]);

// Symbols on the right side of each production.
int ProductionLength(int p) {
    switch (p) {
    case 1: case 2: case 4: case 5: case 7: case 14: case 100: return 3;
    case 9: return 2;
    case 16: return 4;
    default: return 1;  // 3, 6, 8, 10, 12, 15
    }
}

inline uint32_t HashName(const char* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
    return h;
}

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// ASCII letters that are whole characters become upper case; a GBK pair is left alone (its
// trail byte may be a letter).
void UpperCaseGbk(std::string& s) {
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(c) && i + 1 < n && IsTrailByte(static_cast<unsigned char>(s[i + 1]))) {
            i += 2;
            continue;
        }
        if (c >= 'a' && c <= 'z') s[i] = char(c - 'a' + 'A');
        ++i;
    }
}

inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

// ---- CExpressParser ----

CExpressParser::CExpressParser()
    : m_bTooLong(false), m_nPos(0), m_nTokenLen(0), m_token{0, -1, 0.0}, m_nIdentStart(0), m_nIdentLen(0),
      m_nIdentSlot(-1), m_nTop(-1), m_nLookahead(tokEnd), m_nVariables(0), m_nError(errNone), m_dResult(0),
      m_nGeneration(0), m_bRecording(false), m_nProgramState(programNone), m_nProgramGeneration(0), m_nEndPos(0) {}

CExpressParser::CExpressParser(const CExpressParser& other) : CExpressParser() { *this = other; }

CExpressParser& CExpressParser::operator=(const CExpressParser& other) {
    if (this == &other) return *this;
    // The text and the variables; an evaluation in progress is not carried over.
    m_strExpr = other.m_strExpr;
    m_strSource = other.m_strSource;
    m_bTooLong = other.m_bTooLong;
    m_slots.assign(other.m_slots.begin(), other.m_slots.begin() + other.m_nVariables);
    m_nVariables = other.m_nVariables;
    m_nPos = 0;
    m_nTop = -1;
    m_nError = errNone;
    m_dResult = 0;
    ++m_nGeneration;
    m_nProgramState = programNone;
    m_program.clear();
    return *this;
}

void CExpressParser::SetExpression(const std::string& text) {
    m_dResult = 0;
    m_nTop = -1;
    m_nPos = 0;
    m_nError = errNone;
    m_bTooLong = text.size() > kMaxTextLength;
    if (m_bTooLong) {
        m_strExpr.clear();
        m_strSource.clear();
        m_nProgramState = programNone;
        m_program.clear();
        return;
    }
    // Evaluating one formula for many stocks sets the same text each time.
    if (text == m_strSource) return;
    m_nProgramState = programNone;
    m_program.clear();
    m_strSource = text;
    m_strExpr = text;
    UpperCaseGbk(m_strExpr);
}

void CExpressParser::ResetVariables(int n) {
    m_nVariables = 0;
    ++m_nGeneration;
    if (n > 0 && size_t(n) <= kMaxTextLength) m_slots.reserve(size_t(n));
}

void CExpressParser::ClearVariables() {
    m_nVariables = 0;
    ++m_nGeneration;
}

const CExpressParser::Slot* CExpressParser::FindSlot(const char* name, size_t length, uint32_t hash) const {
    for (int i = 0; i < m_nVariables; ++i) {
        const Slot& s = m_slots[size_t(i)];
        if (s.hash == hash && s.key.size() == length && std::memcmp(s.key.data(), name, length) == 0) return &s;
    }
    return nullptr;
}

int CExpressParser::AddVariable(const char* name, double value) {
    if (!name || !*name) return -1;
    std::string& key = m_strScratch;  // keeps its memory from call to call
    key.assign(name);
    UpperCaseGbk(key);
    const uint32_t hash = HashName(key.data(), key.size());
    Slot* slot = const_cast<Slot*>(FindSlot(key.data(), key.size(), hash));
    if (!slot) {
        ++m_nGeneration;
        if (size_t(m_nVariables) == m_slots.size()) m_slots.emplace_back();
        slot = &m_slots[size_t(m_nVariables++)];
        slot->key.assign(key);
        slot->hash = hash;
        // The record's copy of the name is cut to 63 bytes on a character boundary.
        size_t n = 0;
        const std::string& k = slot->key;
        while (n < k.size()) {
            size_t step = IsLeadByte(static_cast<unsigned char>(k[n])) && n + 1 < k.size() ? 2 : 1;
            if (n + step > 63) break;
            n += step;
        }
        std::memcpy(slot->var.name, k.data(), n);
        slot->var.name[n] = 0;
    }
    slot->var.value = value;
    return int(slot - m_slots.data());
}

const ExprVariable* CExpressParser::GetVariable(const char* name) const {
    if (!name) return nullptr;
    std::string key(name);
    UpperCaseGbk(key);
    const Slot* s = FindSlot(key.data(), key.size(), HashName(key.data(), key.size()));
    return s ? &s->var : nullptr;
}

double CExpressParser::RoundToInt(double x) {
    if (x > 0) {
        const double t = std::trunc(x);
        return x - t > t + 1 - x ? t + 1 : t;
    }
    const double t = std::trunc(x);
    return x - (t - 1) > t - x ? t : t - 1;
}

void CExpressParser::ReadNumber() {
    const char* s = m_strExpr.data();
    const size_t len = m_strExpr.size();
    const size_t start = m_nPos;
    size_t i = start, digits = 0;
    bool dot = false;
    while (i < len) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsDigit(c)) ++digits;
        else if (c == '.' && !dot) dot = true;
        else break;
        ++i;
    }
    if (digits == 0) {
        // A lone '.' is not a number.
        m_nLookahead = tokError;
        return;
    }
    if (i < len && s[i] == 'E') {
        size_t j = i + 1;
        if (j < len && (s[j] == '+' || s[j] == '-')) ++j;
        size_t k = j;
        while (k < len && k - j < 4 && IsDigit(static_cast<unsigned char>(s[k]))) ++k;
        i = k;  // an E without digits belongs to the number and adds nothing
    }
    double value = 0;
    auto r = std::from_chars(s + start, s + i, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large reads as infinity (refused by the parser), too small as zero.
        std::string copy(s + start, i - start);
        value = std::strtod(copy.c_str(), nullptr);
    } else if (r.ec != std::errc()) {
        value = std::numeric_limits<double>::quiet_NaN();
    }
    m_token.value = value;
    m_nTokenLen = unsigned(i - start);
    m_nPos = unsigned(i);
    m_nLookahead = tokOperand;
}

int CExpressParser::NextToken() {
    const char* s = m_strExpr.data();
    const size_t len = m_strExpr.size();
    while (m_nPos < len && s[m_nPos] == ' ') ++m_nPos;
    m_nTokenLen = 0;
    m_nIdentLen = 0;
    m_token.value = 0;
    m_token.function = -1;
    if (m_nPos >= len) return m_nLookahead = tokEnd;
    const unsigned char c = static_cast<unsigned char>(s[m_nPos]);
    switch (c) {
    case '!': return m_nLookahead = tokNot;
    case '+': m_nLookahead = tokPlus; break;
    case '-': m_nLookahead = tokMinus; break;
    case '*': m_nLookahead = tokTimes; break;
    case '/': m_nLookahead = tokDivide; break;
    case '^': m_nLookahead = tokPower; break;
    case '(': m_nLookahead = tokOpen; break;
    case ')': m_nLookahead = tokClose; break;
    default:
        if (IsDigit(c) || c == '.') {
            ReadNumber();
            return m_nLookahead;
        }
        if (!IsLetter(c)) return m_nLookahead = tokError;
        return m_nLookahead = ReadVariable();
    }
    ++m_nPos;
    m_nTokenLen = 1;
    return m_nLookahead;
}

// An identifier at the position: a function name, "MOD" or a known variable; the position moves
// past it. An unknown name keeps its length so that the error points at its start.
int CExpressParser::ReadVariable() {
    const char* s = m_strExpr.c_str();
    const size_t len = m_strExpr.size();
    size_t end = m_nPos;
    while (end < len) {
        const unsigned char d = static_cast<unsigned char>(s[end]);
        if (!(IsLetter(d) || IsDigit(d) || d == '_')) break;
        ++end;
    }
    const char* id = s + m_nPos;
    const size_t n = end - m_nPos;
    m_nTokenLen = unsigned(n);
    m_nPos = unsigned(end);
    const int f = ReadFunctionName(id, n);
    if (f >= 0) {
        m_token.function = int16_t(f);
        return tokFunction;
    }
    if (n == 3 && std::memcmp(id, "MOD", 3) == 0) return tokMod;
    if (const Slot* v = FindSlot(id, n, HashName(id, n))) {
        m_token.value = v->var.value;
        m_nIdentStart = unsigned(id - s);
        m_nIdentLen = unsigned(n);
        m_nIdentSlot = int(v - m_slots.data());
        return tokOperand;
    }
    return tokError;
}

// The function whose whole name the identifier is, or -1 ("SQRT" never reads as "SQR").
int CExpressParser::ReadFunctionName(const char* name, size_t length) {
    for (int f = 0; f < kFunctionCount; ++f)
        if (std::strlen(kFunctionNames[f]) == length && std::memcmp(kFunctionNames[f], name, length) == 0) return f;
    return -1;
}

void CExpressParser::Fail(int error, bool atToken) {
    m_nError = error;
    if (atToken) m_nPos = m_nPos >= m_nTokenLen ? m_nPos - m_nTokenLen : 0;
}

void CExpressParser::Push(const ParseEntry& entry) {
    if (m_nTop + 1 >= kStackSize) {
        m_nError = errStackFull;
        return;
    }
    m_stack[++m_nTop] = entry;
}

void CExpressParser::Shift(int state) {
    m_token.state = int16_t(state);
    Push(m_token);
    if (m_nError == errNone) NextToken();
}

int CExpressParser::GetGoto(int p) const {
    const int from = m_stack[m_nTop].state;
    switch (p) {
    case 1: case 2: case 3:  // E
        return from == 0 ? 1 : from == 9 ? 19 : from == 20 ? 28 : -1;
    case 4: case 5: case 6:  // T
        if (from == 0 || from == 9 || from == 20) return 2;
        return from == 12 ? 21 : from == 13 ? 22 : -1;
    case 7: case 8: case 100:  // F
        switch (from) {
        case 0: case 9: case 12: case 13: case 20: return 3;
        case 14: return 23;
        case 15: return 24;
        case 16: return 25;
        case 40: return 80;
        default: return -1;
        }
    case 9: case 10:  // U
    case 12:          // X
        switch (from) {
        case 0: case 9: case 12: case 13: case 14: case 15: case 16: case 20: case 40: return p == 12 ? 6 : 4;
        case 5: return p == 12 ? 17 : -1;
        default: return -1;
        }
    case 14: case 15: case 16:  // P
        switch (from) {
        case 0: case 5: case 9: case 12: case 13: case 14: case 15: case 16: case 20: case 40: return 8;
        default: return -1;
        }
    default: return -1;
    }
}

// The value of a production from its operands: 0, or the error code with the value unchanged.
// a is the left operand (the only one for 9), b the right one or the function's argument.
int CExpressParser::Compute(int p, int function, double a, double b, double& v) {
    switch (p) {
    case 1: v = a + b; break;
    case 2: v = a - b; break;
    case 4: v = a * b; break;
    case 5:
        if (std::fabs(b) < 0.000001) return errMath;
        v = a / b;
        break;
    case 7: {
        if (a < 0) return errMath;
        // 0 ^ 0 gives ln 0 x 0, not a number: refused like the other cases outside the guard.
        const double q = std::log(a) * b;
        if (!(q >= -11356 && q <= 11356)) return errMath;
        v = std::exp(q);
        break;
    }
    case 100: {
        if (std::fabs(b) < 0.000001) return errMath;
        const double x = RoundToInt(a), y = RoundToInt(b);
        const double lo = -2147483648.0, hi = 2147483647.0;
        // Operands beyond 32 bits and a divisor that rounds to 0 never reach the division; the
        // remainder is taken in 64 bits, so INT_MIN MOD -1 gives 0.
        if (!(x >= lo && x <= hi && y >= lo && y <= hi) || y == 0) return errMath;
        v = double(int64_t(x) % int64_t(y));
        break;
    }
    case 9: v = -a; break;
    case 16:
        switch (function) {
        case fnAbs: v = std::fabs(b); break;
        case fnAtan: v = std::atan(b); break;
        case fnCos:
            if (!(b >= -9e18 && b <= 9e18)) return errMath;
            v = std::cos(b);
            break;
        case fnSin:
            if (!(b >= -9e18 && b <= 9e18)) return errMath;
            v = std::sin(b);
            break;
        case fnExp:
            if (!(b >= -11356 && b <= 11356)) return errMath;
            v = std::exp(b);
            break;
        case fnLn:
            if (!(b > 0)) return errMath;
            v = std::log(b);
            break;
        case fnRound:
            if (!(b >= -1e9 && b <= 1e9)) return errMath;
            v = RoundToInt(b);
            break;
        case fnSqrt:
            if (!(b >= 0)) return errMath;
            v = std::sqrt(b);
            break;
        case fnSqr:
            // The square root has no value below 0.
            if (!(b >= 0 && b <= 1e246)) return errMath;
            v = std::sqrt(b);
            break;
        case fnTrunc:
            if (!(b >= -1e9 && b <= 1e9)) return errMath;
            v = std::trunc(b);
            break;
        case fnNot: v = (b > -0.001 && b < 0.001) ? 1 : 0; break;
        case fnBool: v = (b > -0.001 && b < 0.001) ? 0 : 1; break;
        case fnSgn: v = b > 0 ? 1 : 0; break;
        default: return errOperand;
        }
        break;
    default: v = a; break;  // 3, 6, 8, 10, 12, 14, 15
    }
    if (std::isnan(v)) return errMath;
    if (std::isinf(v)) return errRange;
    return errNone;
}

void CExpressParser::Reduce(int p) {
    const int n = ProductionLength(p);
    const ParseEntry* s = &m_stack[size_t(m_nTop - n + 1)];  // s[0] is the leftmost symbol
    double v = 0;
    if (m_bRecording) {
        // The program keeps the reductions that compute; the others pass their value on.
        Op op{};
        op.pos = m_nPos;
        op.production = int16_t(p);
        op.function = p == 16 ? s[0].function : int16_t(-1);
        if (p == 1 || p == 2 || p == 4 || p == 5 || p == 7 || p == 100 || p == 9 || p == 16) m_program.push_back(op);
    } else {
        const double a = p == 14 ? s[1].value : s[0].value;
        const double b = p == 9 ? 0 : n >= 3 ? s[2].value : 0;
        const int error = Compute(p, p == 16 ? s[0].function : -1, p == 9 ? s[1].value : a, b, v);
        if (error) return Fail(error, false);
    }
    m_nTop -= n;
    const int target = GetGoto(p);
    if (target < 0) return Fail(errOperand, false);  // unreachable with the tables above
    Push(ParseEntry{int16_t(target), -1, v});
}

void CExpressParser::ShiftOperand() {
    if (m_bRecording) {
        Op op{};
        op.pos = m_nPos - m_nTokenLen;
        op.production = m_nIdentLen ? opVariable : opConstant;
        op.value = m_token.value;
        op.identStart = m_nIdentStart;
        op.identLen = m_nIdentLen;
        op.slot = m_nIdentSlot;
        m_program.push_back(op);
    } else if (!std::isfinite(m_token.value)) {
        return Fail(errRange, true);
    }
    Shift(10);
}

void CExpressParser::RunAutomaton() {
    m_nPos = 0;
    m_nError = errNone;
    m_nTop = -1;
    if (m_stack.size() != size_t(kStackSize)) m_stack.resize(size_t(kStackSize));
    Push(ParseEntry{0, -1, 0.0});
    NextToken();
    bool accepted = false;
    while (m_nError == errNone && !accepted) {
        const int la = m_nLookahead;
        switch (m_stack[size_t(m_nTop)].state) {
        case 0: case 9: case 12: case 13: case 14: case 15: case 16: case 20: case 40:
            if (la == tokOperand) ShiftOperand();
            else if (la == tokFunction) Shift(11);
            else if (la == tokMinus) Shift(5);
            else if (la == tokOpen) Shift(9);
            else if (la == tokNot) Fail(errMath, false);
            else Fail(errOperand, true);
            break;
        case 1:
            if (la == tokEnd) accepted = true;
            else if (la == tokPlus) Shift(12);
            else if (la == tokMinus) Shift(13);
            else Fail(errOperator, true);
            break;
        case 2: case 21: case 22:
            if (la == tokTimes) Shift(14);
            else if (la == tokDivide) Shift(15);
            else Reduce(m_stack[size_t(m_nTop)].state == 2 ? 3 : m_stack[size_t(m_nTop)].state == 21 ? 1 : 2);
            break;
        case 3:
            if (la == tokMod) Shift(40);
            else Reduce(6);
            break;
        case 4:
            if (la == tokPower) Shift(16);
            else Reduce(8);
            break;
        case 5:
            // After a unary minus: an operand, a function or a parenthesised expression.
            if (la == tokOperand) ShiftOperand();
            else if (la == tokFunction) Shift(11);
            else if (la == tokOpen) Shift(9);
            else if (la == tokNot) Fail(errMath, false);
            else Fail(errOperand, true);
            break;
        case 6: Reduce(10); break;
        case 8: Reduce(12); break;
        case 10: Reduce(15); break;
        case 11:
            if (la == tokOpen) Shift(20);
            else Fail(errOpenParen, true);
            break;
        case 17: Reduce(9); break;
        case 19: case 28:
            if (la == tokPlus) Shift(12);
            else if (la == tokMinus) Shift(13);
            else if (la == tokClose) Shift(m_stack[size_t(m_nTop)].state == 19 ? 27 : 29);
            else Fail(errCloseParen, true);
            break;
        case 23: Reduce(4); break;
        case 24: Reduce(5); break;
        case 25: Reduce(7); break;
        case 27: Reduce(14); break;
        case 29: Reduce(16); break;
        case 80: Reduce(100); break;
        default: Fail(errOperand, false); break;  // no such state
        }
    }
}

bool CExpressParser::ParseUncached() {
    m_dResult = 0;
    if (m_bTooLong) {
        m_nPos = 0;
        m_nError = errStackFull;
        return false;
    }
    RunAutomaton();
    if (m_nError != errNone) return false;
    m_dResult = m_stack[size_t(m_nTop)].value;
    return true;
}

void CExpressParser::Record() {
    // The same walk through the tables without values: its errors are those of the text and the
    // names alone, and its shifts of operands and computing reductions, in order, are the program.
    m_program.clear();
    m_bRecording = true;
    RunAutomaton();
    m_bRecording = false;
    if (m_nError == errNone) {
        m_nProgramState = programReady;
        m_nEndPos = m_nPos;
        m_nProgramGeneration = m_nGeneration;
    } else {
        m_program.clear();
        m_nProgramState = programFailed;
        m_nProgramGeneration = m_nGeneration;
    }
}

int CExpressParser::RunProgram() {
    if (m_nProgramGeneration != m_nGeneration) {
        // The variables were defined anew: find the names again.
        for (Op& op : m_program) {
            if (op.production != opVariable) continue;
            const char* id = m_strExpr.data() + op.identStart;
            const Slot* slot = FindSlot(id, op.identLen, HashName(id, op.identLen));
            if (!slot) return -1;
            op.slot = int(slot - m_slots.data());
        }
        m_nProgramGeneration = m_nGeneration;
    }
    double stack[kStackSize];
    int top = -1;
    for (const Op& op : m_program) {
        int error = errNone;
        switch (op.production) {
        case opConstant:
        case opVariable: {
            const double v = op.production == opConstant ? op.value : m_slots[size_t(op.slot)].var.value;
            if (!std::isfinite(v)) error = errRange;
            else stack[++top] = v;
            break;
        }
        // The four arithmetic steps inline, with the checks Compute makes.
        case 1:
        case 2:
        case 4:
        case 5: {
            const double a = stack[top - 1], b = stack[top];
            double v;
            if (op.production == 1) v = a + b;
            else if (op.production == 2) v = a - b;
            else if (op.production == 4) v = a * b;
            else if (std::fabs(b) < 0.000001) {
                error = errMath;
                break;
            } else v = a / b;
            if (!std::isfinite(v)) error = std::isnan(v) ? errMath : errRange;
            else stack[--top] = v;
            break;
        }
        case 9: stack[top] = -stack[top]; break;
        case 16: error = Compute(16, op.function, 0, stack[top], stack[top]); break;
        default:
            error = Compute(op.production, -1, stack[top - 1], stack[top], stack[top - 1]);
            --top;
            break;
        }
        if (error) {
            m_nError = error;
            m_nPos = op.pos;
            m_dResult = 0;
            return 0;
        }
    }
    m_nPos = m_nEndPos;
    m_dResult = stack[0];
    return 1;
}

bool CExpressParser::Parse() {
    m_dResult = 0;
    m_nError = errNone;
    m_nTop = -1;
    if (m_bTooLong) {
        m_nPos = 0;
        m_nError = errStackFull;
        return false;
    }
    if (m_nProgramState == programNone || (m_nProgramState == programFailed && m_nProgramGeneration != m_nGeneration))
        Record();
    if (m_nProgramState == programReady) {
        const int r = RunProgram();
        if (r >= 0) return r == 1;
    }
    return ParseUncached();
}

// ---- CExpress ----

CExpress::CExpress() : m_nStoredValue(0), m_bChanged(0) {}

CExpress::CExpress(const CExpress& other)
    : m_strStored(other.m_strStored), m_nStoredValue(other.m_nStoredValue), m_bChanged(other.m_bChanged),
      m_strWorking(other.m_strWorking), m_parser(other.m_parser) {}

CExpress& CExpress::operator=(const CExpress& other) {
    if (this == &other) return *this;
    m_strStored = other.m_strStored;
    m_nStoredValue = other.m_nStoredValue;
    m_bChanged = other.m_bChanged;
    m_strWorking = other.m_strWorking;
    m_parser = other.m_parser;
    return *this;
}

CExpress::~CExpress() = default;

bool CExpress::Serialize(CSPArchive& ar) {
    if (ar.IsLoading()) {
        std::string text;
        ar.ReadString(text);
        const int32_t value = ar.ReadInt();
        if (ar.IsFailed()) return false;
        m_strStored = text;
        m_nStoredValue = value;
        m_strWorking = m_strStored;
        m_bChanged = 1;
        return true;
    }
    ar.WriteString(m_strStored);
    ar.WriteInt(m_nStoredValue);
    return !ar.IsFailed();
}

void CExpress::SetText(const std::string& text) {
    m_strStored = text;
    m_strWorking = text;
    m_bChanged = 1;
}

std::string CExpress::GetErrorMessage(int code) {
    switch (code) {
    case CExpressParser::errNone: return std::string();
    case CExpressParser::errStackFull: return "表达式：表达式太长,栈溢出。";
    case CExpressParser::errRange: return "表达式：数值超出范围。";
    case CExpressParser::errOperand: return "表达式：字符串出现错误。";
    case CExpressParser::errOperator: return "表达式：操作符出现错误。";
    case CExpressParser::errOpenParen: return "表达式：左括号出现错误。";
    case CExpressParser::errCloseParen: return "表达式：右括号出现错误。";
    case CExpressParser::errNumber: return "表达式：非法数字。";
    case CExpressParser::errMath: return "表达式：数学计算出现错误。";
    default: return "表达式：未知错误。";
    }
}

std::string CExpress::GetLastErrorMsg() const { return GetErrorMessage(m_parser.GetErrorCode()); }

bool CExpress::PrepareExpression() {
    if (m_bChanged) {
        // None of these bytes can be the second byte of a GBK character, so a byte scan is safe.
        std::string out;
        out.reserve(m_strWorking.size());
        for (char c : m_strWorking)
            if (c != '\t' && c != '\n' && c != '\r' && c != ' ' && c != ':') out += c;
        m_strWorking.swap(out);
        m_bChanged = 0;
    }
    return !m_strWorking.empty();
}

int CExpress::InitParser() {
    m_parser.SetExpression(m_strWorking);
    m_parser.ResetVariables(10);
    return 1;
}
