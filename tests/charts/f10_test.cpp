// Cutting the company-information text into pages.
#include <gtest/gtest.h>

#include "charts/f10pages.h"

namespace {

std::map<std::string, std::string> Parse(const std::string& text) {
    std::map<std::string, std::string> pages;
    ParsePages(text.data(), int(text.size()), pages);
    return pages;
}

}  // namespace

TEST(F10Pages, SectionsByTheirHeadings) {
    struct Case {
        const char* name;
        std::string text;
        std::map<std::string, std::string> pages;
    } cases[] = {
        {"no marker", "公司信息\r\n没有分节\r\n", {}},
        {"CRLF, heading breaks belong to the heading",
         "浦发银行 公司信息\r\n\r\n一、========最新提示========\r\n\r\n  第一页\r\n二、========公司概况========\r\n  第二页\r\n",
         {{"最新提示", "  第一页\r\n"}, {"公司概况", "  第二页\r\n"}}},
        {"LF only", "头\n一、========财务分析====\n甲\n",
         {{"财务分析", "甲\n"}}},
        {"the first section with a title wins",
         "头\n一、========公司概况====\n先\n二、========公司概况====\n后\n",
         {{"公司概况", "先\n"}}},
        {"an unknown heading takes the title of its position",
         "头\n一、========最新提示====\nA\n二、========其他====\nB\n",
         {{"最新提示", "A\n"}, {"公司概况", "B\n"}}},
        {"a heading at the very start keeps its line breaks in the page",
         "一、========股东研究====\r\n正文",
         {{"股东研究", "\r\n正文"}}},
        {"a title in the heading's first character does not count",
         "头\n最新提示、========\nX\n",
         {{"最新提示", "X\n"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.pages) << c.name;
}

TEST(F10Pages, PositionalTitlesStopBeforeTheLast) {
    std::string text = "头\n";
    for (int k = 0; k < 17; ++k) text += "、========无名====\n" + std::to_string(k) + "\n";
    auto pages = Parse(text);
    EXPECT_EQ(pages.size(), 15u);
    EXPECT_EQ(pages.count("关联个股"), 0u);
    EXPECT_EQ(pages["业内点评"], "14\n");
    std::map<std::string, std::string> none;
    EXPECT_FALSE(ParsePages(nullptr, 0, none));
    // The length given counts, not a terminating zero.
    std::string cut = "头\n一、========最新提示====\nABCDEF";
    EXPECT_TRUE(ParsePages(cut.data(), int(cut.size()) - 3, none));
    EXPECT_EQ(none["最新提示"], "ABC");
}
