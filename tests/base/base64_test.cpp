#include "base/base64.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string r;
    while (n-- > 0) r += s;
    return r;
}

std::string Enc(const std::string& in, bool url) {
    CUrlBase64 b;
    size_t n = 0;
    char* s = url ? b.EncodeUrl(in.data(), in.size(), &n) : b.Encode(in.data(), in.size(), &n);
    std::string out(s, n);
    EXPECT_EQ(out.size(), std::string(s).size());
    std::free(s);
    return out;
}

TEST(Base64Test, BothAlphabetsWithLineFeeds) {
    struct Case {
        std::string in, standard, url;
    } cases[] = {
        {"", "", ""},
        {"a", "YQ==\n", "YQ--\n"},
        {"ab", "YWI=\n", "YWI-\n"},
        {"abc", "YWJj\n", "YWJj\n"},
        {"\xFB\xFF\xBF", "+/+/\n", "!_!_\n"},
        // 54 bytes fill one 72-character line; the 55th starts a second line.
        {std::string(54, 'x'), Repeat("eHh4", 18) + "\n", Repeat("eHh4", 18) + "\n"},
        {std::string(55, 'x'), Repeat("eHh4", 18) + "\neA==\n", Repeat("eHh4", 18) + "\neA--\n"},
    };
    for (const Case& c : cases) {
        std::string s = Enc(c.in, false), u = Enc(c.in, true);
        EXPECT_EQ(s, c.standard);
        EXPECT_EQ(u, c.url);
    }
}

TEST(Base64Test, LineFormAndDecodeRoundTrip) {
    std::string binary;
    for (int i = 0; i < 300; ++i) binary.push_back(static_cast<char>(i * 7));
    std::string line = CUrlBase64::EncodeLine(binary.data(), binary.size(), false);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    // Same characters as the wrapped form, without the line feeds.
    std::string unwrapped;
    for (char c : Enc(binary, false)) {
        if (c != '\n') unwrapped += c;
    }
    EXPECT_EQ(line, unwrapped);
    EXPECT_EQ(CUrlBase64::Decode(line.c_str()), binary);
    EXPECT_EQ(CUrlBase64::Decode(Enc(binary, true).c_str()), binary);
    EXPECT_EQ(CUrlBase64::Decode("YQ--\n"), "a");
    EXPECT_EQ(CUrlBase64::Decode(nullptr), "");
}

TEST(Base64Test, DecodeTakesWholeGroupsOfFourOnly) {
    struct Case {
        const char* text;
        std::string decoded;
    } cases[] = {
        {"YQ==", "a"},
        {"YWI=", "ab"},
        {"YWJj", "abc"},
        {"YQ--", "a"},                      // the URL form's padding
        {"!_!_", "\xFB\xFF\xBF"},           // the URL form's alphabet
        {"YWJj\nZA==\n", "abcd"},            // line feeds and other bytes are skipped
        {" Y W\tJ j ", "abc"},
        {"YQ", ""},                         // two characters: not a whole group
        {"YQ=", ""},
        {"YWJjZA", ""},
        {"YWJjZ", ""},
        {"Y", ""},
        {"", ""},
        {"YQ==YWJj", std::string("a\0\0abc", 6)},  // padding inside counts as a zero value
    };
    for (const Case& c : cases) EXPECT_EQ(CUrlBase64::Decode(c.text), c.decoded) << c.text;
}

}  // namespace
