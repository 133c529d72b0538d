// The updater's command-line rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/cmdline.h"

namespace {

std::vector<std::string> Tokens(const char* text) {
    CommandLineArgs args(text);
    std::vector<std::string> out;
    for (size_t i = 0; i < args.GetCount(); ++i) out.push_back(args[i]);
    return out;
}

TEST(CommandLineArgs, SplitsAtWhiteSpaceAndQuotes) {
    struct Case {
        const char* text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"C:\\a\\Velmora.exe", {"C:\\a\\Velmora.exe"}},
        {"  one two\tthree  ", {"one", "two", "three"}},
        {"\"C:\\Program Files\\V\\Velmora.exe\"", {"C:\\Program Files\\V\\Velmora.exe"}},
        {"\"a b\" c", {"a b", "c"}},
        // A quote inside a token closes only when white space or the end follows it.
        {"\"a\"b c\" d", {"a\"b c", "d"}},
        {"\"unclosed rest", {"unclosed rest"}},
        {"x \"\"", {"x", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << c.text;
}

TEST(CommandLineArgs, WholeCommandLineIsThePath) {
    EXPECT_EQ(ExecutablePathFromCommandLine("C:\\Program Files\\V\\Velmora.exe"), "C:\\Program Files\\V\\Velmora.exe");
    EXPECT_EQ(ExecutablePathFromCommandLine("  C:\\a b\\V.exe \r\n"), "C:\\a b\\V.exe");
    EXPECT_EQ(ExecutablePathFromCommandLine("\"C:\\a b\\V.exe\""), "C:\\a b\\V.exe");
    EXPECT_EQ(ExecutablePathFromCommandLine("   "), "");
    EXPECT_EQ(ExecutablePathFromCommandLine(nullptr), "");
    EXPECT_EQ(UpdateFilePath("C:\\a\\V.exe"), "C:\\a\\V.exe.new");
}

TEST(CommandLineArgs, LongPathsGetTheExtendedPrefix) {
    EXPECT_EQ(LongPathForm("C:\\short\\V.exe"), "C:\\short\\V.exe");
    std::string deep = "C:\\" + std::string(250, 'd') + "/V.exe";
    EXPECT_EQ(LongPathForm(deep), "\\\\?\\C:\\" + std::string(250, 'd') + "\\V.exe");
    std::string unc = "\\\\server\\share\\" + std::string(250, 'u') + "\\V.exe";
    EXPECT_EQ(LongPathForm(unc), "\\\\?\\UNC\\server\\share\\" + std::string(250, 'u') + "\\V.exe");
    std::string prefixed = "\\\\?\\C:\\" + std::string(250, 'p');
    EXPECT_EQ(LongPathForm(prefixed), prefixed);
}

}  // namespace
