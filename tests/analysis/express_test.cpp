#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/express.h"

namespace {

const double kNaN = std::nan("");
const int kAny = -1;

struct Case {
    std::string text;
    double value;  // checked when error is 0
    int error;
    int position;  // kAny: not checked
};

std::string Nested(int depth) { return std::string(size_t(depth), '(') + "1" + std::string(size_t(depth), ')'); }

std::string Sum(size_t length) {
    std::string s = "1";
    while (s.size() + 2 <= length) s += "+1";
    return s;
}

TEST(ExpressParser, ValuesAndErrors) {
    const double pi = std::acos(-1.0);
    const std::vector<Case> cases = {
        // precedence and associativity
        {"1+2*3", 7, 0, kAny},
        {"8-3-2", 3, 0, kAny},
        {"(1+2)*3", 9, 0, kAny},
        {"8/4/2", 1, 0, kAny},
        {"2*3^2", 18, 0, kAny},
        {"2^3^2", 512, 0, kAny},
        {"1 ^ 2 ^ 0.5", 1, 0, kAny},
        // MOD: after the first factor of a term, left-associative, sign of the dividend
        {"7 MOD 3 * 2", 2, 0, kAny},
        {"17 mod 10 mod 4", 3, 0, kAny},
        {"1+7 MOD 3", 2, 0, kAny},
        {"-7 MOD 3", -1, 0, kAny},
        {"7 MOD -3", 1, 0, kAny},
        {"7.5 MOD 2", 1, 0, kAny},
        {"2 * 7 MOD 3", kNaN, 4, 6},
        {"-2147483648 MOD -1", 0, 0, kAny},
        {"2147483648 MOD 3", kNaN, 8, kAny},
        {"5 MOD 0.4", kNaN, 8, kAny},
        {"5 MOD 0", kNaN, 8, kAny},
        // unary minus binds tighter than ^
        {"-2^2", kNaN, 8, kAny},
        {"-(2)^2", kNaN, 8, kAny},
        {"2^-2", 0.25, 0, kAny},
        {"-(1+2)", -3, 0, kAny},
        {"2--3", 5, 0, kAny},
        {"-3*-2", 6, 0, kAny},
        {"--1", kNaN, 3, 1},
        {"2^0.5", std::sqrt(2.0), 0, kAny},
        {"0^2", kNaN, 8, kAny},
        {"(-8)^(1/3)", kNaN, 8, kAny},
        // division
        {"5/0", kNaN, 8, kAny},
        {"1/0.0000001", kNaN, 8, kAny},
        {"1/0.5", 2, 0, kAny},
        // functions and their guards, in any letter case
        {"abs(-3)", 3, 0, kAny},
        {"sqrt(16)+Sqrt(9)", 7, 0, kAny},
        {"ATAN(1)", pi / 4, 0, kAny},
        {"COS(0)", 1, 0, kAny},
        {"COS(1E19)", kNaN, 8, kAny},
        {"SIN(0)", 0, 0, kAny},
        {"SIN(-1E19)", kNaN, 8, kAny},
        {"EXP(1)", std::exp(1.0), 0, kAny},
        {"EXP(11357)", kNaN, 8, kAny},
        {"LN(EXP(2))", 2, 0, kAny},
        {"LN(0)", kNaN, 8, kAny},
        {"SQRT(-1)", kNaN, 8, kAny},
        {"SQR(16)", 4, 0, kAny},
        {"SQR(1E247)", kNaN, 8, kAny},
        {"TRUNC(-2.7)", -2, 0, kAny},
        {"TRUNC(2E9)", kNaN, 8, kAny},
        {"NOT(0.0005)", 1, 0, kAny},
        {"NOT(1)", 0, 0, kAny},
        {"BOOL(0.0005)", 0, 0, kAny},
        {"BOOL(-2)", 1, 0, kAny},
        {"SGN(-3)", 0, 0, kAny},
        {"SGN(3)", 1, 0, kAny},
        // rounding: halfway goes to the lower integer
        {"ROUND(2.5)", 2, 0, kAny},
        {"ROUND(2.6)", 3, 0, kAny},
        {"ROUND(-2.5)", -3, 0, kAny},
        {"ROUND(-2.4)", -2, 0, kAny},
        {"ROUND(1E10)", kNaN, 8, kAny},
        // numbers
        {"1.5E2", 150, 0, kAny},
        {"1.5E-2", 0.015, 0, kAny},
        {"1.5e+2", 150, 0, kAny},
        {".5", 0.5, 0, kAny},
        {"5.", 5, 0, kAny},
        {"1E-9999", 0, 0, kAny},
        {".", kNaN, 3, 0},
        {"1.2.3", kNaN, 4, 3},
        // results that are not finite are never a success
        {"1E9999", kNaN, 2, 0},
        {"2+1E9999", kNaN, 2, 2},
        {"1E308+1E308", kNaN, 2, kAny},
        {"1E308*10", kNaN, 2, kAny},
        {"-1E308-1E308", kNaN, 2, kAny},
        {"1E308/0.01", kNaN, 2, kAny},
        {"10^400", kNaN, 2, kAny},
        {"EXP(1000)", kNaN, 2, kAny},
        {"0^0", kNaN, 8, kAny},
        {"SQR(-4)", kNaN, 8, kAny},
        // syntax errors point at the offending token
        {"", kNaN, 3, 0},
        {"3 4", kNaN, 4, 2},
        {"(1+2", kNaN, 6, 4},
        {"SIN 1", kNaN, 5, 4},
        {"ABS(1,2)", kNaN, 6, 5},
        {"1+$", kNaN, 3, 2},
        {"FOO", kNaN, 3, 0},
        {"1+foo*2", kNaN, 3, 2},
        {"1)", kNaN, 4, 1},
        {"()", kNaN, 3, 1},
        {"1\t+1", kNaN, 4, 1},
        {"!1", kNaN, 8, kAny},
        {"1+!", kNaN, 8, kAny},
        // depth: the stack holds 100 entries
        {Nested(97), 1, 0, kAny},
        {Nested(98), kNaN, 1, kAny},
        {Nested(100), kNaN, 1, kAny},
        // length: the scan position has 16 bits; a longer text is refused at once (it used to
        // wrap the position and scan for ever)
        {Sum(65535), 32768, 0, kAny},
        {Sum(70000), kNaN, 1, 0},
    };
    CExpressParser parser;
    for (const Case& c : cases) {
        const std::string label = c.text.size() > 40 ? c.text.substr(0, 20) + "... (" + std::to_string(c.text.size()) + ")" : c.text;
        parser.SetExpression(c.text);
        const bool ok = parser.Parse();
        EXPECT_EQ(parser.GetErrorCode(), c.error) << label;
        EXPECT_EQ(ok, c.error == 0) << label;
        if (c.error == 0) {
            EXPECT_NEAR(parser.GetResult(), c.value, 1e-9 * std::max(1.0, std::fabs(c.value))) << label;
        } else {
            EXPECT_EQ(parser.GetResult(), 0.0) << label;
        }
        if (c.position != kAny) {
            EXPECT_EQ(int(parser.GetPosition()), c.position) << label;
        }
    }
}

TEST(ExpressParser, RoundToIntSendsHalfwayDown) {
    const double cases[][2] = {{2.5, 2}, {2.6, 3}, {2.4, 2}, {-2.5, -3}, {-2.6, -3}, {-2.4, -2}, {0, 0}, {-0.5, -1}, {3, 3}, {-3, -3}};
    for (const auto& c : cases) EXPECT_EQ(CExpressParser::RoundToInt(c[0]), c[1]) << c[0];
}

TEST(ExpressParser, VariablesIgnoreCaseAndTheLaterValueWins) {
    CExpressParser p;
    p.ResetVariables(10);
    p.AddVariable("close", 10);
    p.AddVariable("lastClose", 8);
    p.AddVariable("", 99);  // ignored
    p.SetExpression("(Close-LASTCLOSE)/lastclose*100");
    ASSERT_TRUE(p.Parse());
    EXPECT_DOUBLE_EQ(p.GetResult(), 25);
    // Adding a name again replaces its value and keeps one record (no record is left behind).
    for (int i = 0; i < 1000; ++i) p.AddVariable("CLOSE", 12);
    EXPECT_EQ(p.GetVariableCount(), 2);
    ASSERT_TRUE(p.Parse());
    EXPECT_DOUBLE_EQ(p.GetResult(), 50);
    // Names are kept whole for the lookup and cut to 63 bytes in the record.
    const std::string longName(80, 'v');
    p.AddVariable(longName.c_str(), 3);
    ASSERT_NE(p.GetVariable(longName.c_str()), nullptr);
    EXPECT_EQ(std::strlen(p.GetVariable(longName.c_str())->name), 63u);
    p.SetExpression(longName + "*2");
    ASSERT_TRUE(p.Parse());
    EXPECT_DOUBLE_EQ(p.GetResult(), 6);
    // Variables stay across texts until they are reset.
    p.ResetVariables(79);
    EXPECT_EQ(p.GetVariableCount(), 0);
    p.SetExpression("close");
    EXPECT_FALSE(p.Parse());
    EXPECT_EQ(p.GetErrorCode(), CExpressParser::errOperand);
}

TEST(ExpressParser, UpperCasingKeepsGbkCharacters) {
    // 0x81 0x61 is one character whose second byte is the letter 'a'.
    CExpressParser p;
    p.SetExpression("\x81\x61" "abc");
    EXPECT_EQ(p.GetExpression(), "\x81\x61" "ABC");
    EXPECT_FALSE(p.Parse());
    EXPECT_EQ(p.GetErrorCode(), CExpressParser::errOperand);
    EXPECT_EQ(p.GetPosition(), 0u);
    // A lead byte at the very end stays as it is and is an error, not a read past the end.
    p.SetExpression("1+x\x81");
    EXPECT_EQ(p.GetExpression(), "1+X\x81");
    p.AddVariable("x", 1);
    EXPECT_FALSE(p.Parse());
    EXPECT_EQ(p.GetErrorCode(), CExpressParser::errOperator);
    EXPECT_EQ(p.GetPosition(), 3u);
}

TEST(ExpressParser, ErrorMessages) {
    EXPECT_EQ(CExpress::GetErrorMessage(0), "");
    EXPECT_EQ(CExpress::GetErrorMessage(1), "表达式：表达式太长,栈溢出。");
    EXPECT_EQ(CExpress::GetErrorMessage(2), "表达式：数值超出范围。");
    EXPECT_EQ(CExpress::GetErrorMessage(3), "表达式：字符串出现错误。");
    EXPECT_EQ(CExpress::GetErrorMessage(4), "表达式：操作符出现错误。");
    EXPECT_EQ(CExpress::GetErrorMessage(5), "表达式：左括号出现错误。");
    EXPECT_EQ(CExpress::GetErrorMessage(6), "表达式：右括号出现错误。");
    EXPECT_EQ(CExpress::GetErrorMessage(7), "表达式：非法数字。");
    EXPECT_EQ(CExpress::GetErrorMessage(8), "表达式：数学计算出现错误。");
    EXPECT_EQ(CExpress::GetErrorMessage(9), "表达式：未知错误。");
    CExpress e;
    e.SetText(" 1 +\t2:\r\n");
    EXPECT_TRUE(e.PrepareExpression());
    EXPECT_EQ(e.GetWorkingText(), "1+2");
    e.InitParser();
    EXPECT_TRUE(e.GetParser().Parse());
    EXPECT_EQ(e.GetLastErrorMsg(), "");
    e.SetText("1+");
    e.PrepareExpression();
    e.InitParser();
    EXPECT_FALSE(e.GetParser().Parse());
    EXPECT_EQ(e.GetLastErrorMsg(), "表达式：字符串出现错误。");
}

// ---- fuzzing against a second, recursive-descent reading of the same grammar ----
//   E = T {(+|-) T}      T = M {(*|/) H}      M = H {MOD H}      H = U [^ H]
//   U = - X | X          X = number | name | FUNC ( E ) | ( E )
// with the engine's guards. It tells whether a text has a value and which.
class Reference {
public:
    explicit Reference(const std::string& text) : s(text), i(0), ok(true) {}
    bool Evaluate(double& out) {
        out = E();
        Skip();
        return ok && i == s.size() && std::isfinite(out);
    }

private:
    std::string s;
    size_t i;
    bool ok;

    void Skip() {
        while (i < s.size() && s[i] == ' ') ++i;
    }
    bool Eat(char c) {
        Skip();
        if (i < s.size() && s[i] == c) return ++i, true;
        return false;
    }
    bool EatWord(const char* w) {
        Skip();
        size_t n = std::strlen(w), j = i;
        while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
        if (j - i == n && s.compare(i, n, w) == 0) return i = j, true;
        return false;
    }
    double Check(double v) {
        if (!std::isfinite(v)) ok = false;
        return v;
    }
    double E() {
        double v = T();
        while (ok) {
            if (Eat('+')) v = Check(v + T());
            else if (Eat('-')) v = Check(v - T());
            else break;
        }
        return v;
    }
    double T() {
        double v = M();
        while (ok) {
            if (Eat('*')) v = Check(v * H());
            else if (Eat('/')) {
                double r = H();
                if (std::fabs(r) < 0.000001) ok = false;
                else v = Check(v / r);
            } else break;
        }
        return v;
    }
    double M() {
        double v = H();
        while (ok && EatWord("MOD")) {
            double r = H();
            double a = CExpressParser::RoundToInt(v), b = CExpressParser::RoundToInt(r);
            if (std::fabs(r) < 0.000001 || !(a >= -2147483648.0 && a <= 2147483647.0) ||
                !(b >= -2147483648.0 && b <= 2147483647.0) || b == 0)
                ok = false;
            else v = double(int64_t(a) % int64_t(b));
        }
        return v;
    }
    double H() {
        double v = U();
        if (ok && Eat('^')) {
            double r = H();
            if (!ok) return 0;
            double q = v < 0 ? kNaN : std::log(v) * r;
            if (!(q >= -11356 && q <= 11356)) ok = false;
            else v = Check(std::exp(q));
        }
        return v;
    }
    double U() { return Eat('-') ? -X() : X(); }
    double X() {
        Skip();
        if (!ok || i >= s.size()) return ok = false, 0;
        if (Eat('(')) {
            double v = E();
            if (!Eat(')')) ok = false;
            return v;
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isdigit(c) || c == '.') {
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
            std::string num = s.substr(i, j - i);
            i = j;
            return Check(std::strtod(num.c_str(), nullptr));
        }
        static const char* const names[] = {"ABS", "SQRT", "LN", "ROUND", "NOT", "SGN"};
        for (const char* f : names) {
            if (!EatWord(f)) continue;
            if (!Eat('(')) return ok = false, 0;
            double x = E();
            if (!Eat(')') || !ok) return ok = false, 0;
            std::string n = f;
            if (n == "ABS") return std::fabs(x);
            if (n == "SQRT") return x >= 0 ? std::sqrt(x) : (ok = false, 0);
            if (n == "LN") return x > 0 ? std::log(x) : (ok = false, 0);
            if (n == "ROUND") return x >= -1e9 && x <= 1e9 ? CExpressParser::RoundToInt(x) : (ok = false, 0);
            if (n == "NOT") return (x > -0.001 && x < 0.001) ? 1 : 0;
            return x > 0 ? 1 : 0;
        }
        if (EatWord("A")) return 3;
        if (EatWord("B")) return -0.5;
        ok = false;
        return 0;
    }
};

// Tokens without exponents or '.'-only numbers, which the reference reads the simple way.
const char* const kTokens[] = {"1", "2", "0", "7", "0.5", "12.25", "A", "B", "+", "-", "*", "/",
                               "^", "(", ")", "MOD", "ABS", "SQRT", "LN", "ROUND", "NOT", "SGN", " "};
const int kTokenCount = int(sizeof kTokens / sizeof kTokens[0]);

// A random expression of the grammar, as tokens.
void Generate(std::mt19937& rng, int depth, std::vector<std::string>& out) {
    const unsigned r = depth <= 0 ? rng() % 2 : rng() % 9;
    switch (r) {
    case 0: out.push_back(kTokens[rng() % 8]); return;  // a number or a variable
    case 1: out.push_back("-"); out.push_back(kTokens[rng() % 8]); return;
    case 2: case 3: {
        static const char* const ops[] = {"+", "-", "*", "/", "^", "MOD"};
        Generate(rng, depth - 1, out);
        out.push_back(ops[rng() % 6]);
        Generate(rng, depth - 1, out);
        return;
    }
    case 4: case 5:
        out.push_back("(");
        Generate(rng, depth - 1, out);
        out.push_back(")");
        return;
    default:
        out.push_back(kTokens[16 + rng() % 6]);
        out.push_back("(");
        Generate(rng, depth - 1, out);
        out.push_back(")");
        return;
    }
}

TEST(ExpressParser, RandomTokenSequencesAgreeWithTheReference) {
    const char* const* tokens = kTokens;
    const int n = kTokenCount;
    std::mt19937 rng(20240611);
    CExpressParser p;
    p.ResetVariables(10);
    p.AddVariable("a", 3);
    p.AddVariable("b", -0.5);
    int values = 0;
    for (int round = 0; round < 30000; ++round) {
        // Half of the cases are free sequences, half are expressions of the grammar with now and
        // then a token changed.
        std::vector<std::string> seq;
        if (round % 2 == 0) {
            const int length = 1 + int(rng() % 14);
            for (int k = 0; k < length; ++k) seq.push_back(tokens[rng() % n]);
        } else {
            Generate(rng, 1 + int(rng() % 4), seq);
            if (rng() % 4 == 0) seq[rng() % seq.size()] = tokens[rng() % n];
        }
        std::string text;
        for (const std::string& t : seq) {
            if (!text.empty() && std::isalnum(static_cast<unsigned char>(text.back())) &&
                std::isalnum(static_cast<unsigned char>(t[0])))
                text += ' ';
            text += t;
        }
        p.SetExpression(text);
        const bool ok = p.Parse();
        double expected = 0;
        const bool refOk = Reference(text).Evaluate(expected);
        ASSERT_EQ(ok, refOk) << text << " error " << p.GetErrorCode();
        if (ok) {
            ++values;
            ASSERT_TRUE(std::isfinite(p.GetResult())) << text;
            ASSERT_EQ(p.GetResult(), expected) << text;
        } else {
            ASSERT_GE(p.GetErrorCode(), 1) << text;
            ASSERT_LE(p.GetErrorCode(), 8) << text;
            ASSERT_EQ(p.GetResult(), 0.0) << text;
        }
    }
    EXPECT_GT(values, 5000);  // the sequences reach the evaluation, not only the syntax checks
}

// The first parse of a text records it; later parses replay the record with the current values.
// Replaying must give what walking the tables gives: value, error and position.
TEST(ExpressParser, ReplayAgreesWithTheTables) {
    std::mt19937 rng(99);
    const double values[] = {3, -0.5, 0, 1e-7, 2147483648.0, -2147483648.0, 1e300, -1e308, 0.5, 710,
                             std::numeric_limits<double>::infinity(), kNaN};
    const int nv = int(sizeof values / sizeof values[0]);
    CExpressParser replay, walk;
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> seq;
        Generate(rng, 1 + int(rng() % 4), seq);
        std::string text;
        for (const std::string& t : seq) {
            if (!text.empty() && std::isalnum(static_cast<unsigned char>(text.back())) &&
                std::isalnum(static_cast<unsigned char>(t[0])))
                text += ' ';
            text += t;
        }
        replay.SetExpression(text);
        walk.SetExpression(text);
        for (int k = 0; k < 12; ++k) {
            // Now and then the names change: B disappears, or the table is built in another order.
            const int layout = k % 4 == 3 ? 1 + int(rng() % 2) : 0;
            const double a = values[rng() % nv], b = values[rng() % nv];
            for (CExpressParser* p : {&replay, &walk}) {
                if (layout || k == 0) {
                    p->ResetVariables(10);
                    if (layout == 2) p->AddVariable("b", b);
                    p->AddVariable("a", a);
                    if (layout == 0) p->AddVariable("b", b);
                } else {
                    p->AddVariable("a", a);
                    if (p->GetVariable("b")) p->AddVariable("b", b);
                }
            }
            const bool ok = replay.Parse();
            const bool expected = walk.ParseUncached();
            ASSERT_EQ(ok, expected) << text << " a=" << a << " b=" << b;
            ASSERT_EQ(replay.GetErrorCode(), walk.GetErrorCode()) << text << " a=" << a << " b=" << b;
            ASSERT_EQ(replay.GetPosition(), walk.GetPosition()) << text << " a=" << a << " b=" << b;
            if (ok) {
                ASSERT_EQ(replay.GetResult(), walk.GetResult()) << text;
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 36000);
}

TEST(ExpressParser, RandomBytesEndInAValueOrAnError) {
    const std::string alphabet = "0123456789.+-*/^()!EeMODmodABSsqrtLN_xyz ,$\t";
    std::mt19937 rng(7);
    CExpressParser p;
    p.ResetVariables(10);
    p.AddVariable("x", 1e300);
    p.AddVariable("y", -2);
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        const int length = int(rng() % 40);
        for (int k = 0; k < length; ++k) {
            const unsigned r = rng() % 8;
            if (r == 0) text += char(rng() % 256);
            else if (r == 1) text += "\xB5\xF7";  // a whole GBK character
            else text += alphabet[rng() % alphabet.size()];
        }
        if (round % 3 == 0) text += char(0x81 + rng() % 0x7E);  // a lead byte at the end
        p.SetExpression(text);
        const bool ok = p.Parse();
        if (ok) {
            ASSERT_TRUE(std::isfinite(p.GetResult())) << text;
        } else {
            ASSERT_GE(p.GetErrorCode(), 1);
            ASSERT_LE(p.GetErrorCode(), 8);
            ASSERT_EQ(p.GetResult(), 0.0);
            ASSERT_LE(p.GetPosition(), text.size());
        }
    }
}

}  // namespace
