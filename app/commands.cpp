#include "app/commands.h"

#include "app/login.h"
#include "app/urltable.h"
#include "base/seams.h"
#include "base/text.h"

namespace {

struct FundFlowPage {
    int id;
    const char* path;
    const char* title;
};
const FundFlowPage kFundFlowPages[] = {
    {4057, "php/cashflow_in.5.php?m=%d&c=%s", "当日资金流入"},
    {4058, "php/cashflow_out.5.php?m=%d&c=%s", "当日资金流出"},
    {4059, "php/cashflow_in_out.5.php?m=%d&c=%s", "当日资金流入流出"},
    {4060, "php/cashflow_real_in.5.php?m=%d&c=%s", "当日资金净流入"},
    {4063, "php/master_small_in_out.php?m=%d&c=%s", "散户资金流入流出"},
    {4064, "php/master_small_real_in.php?m=%d&c=%s", "散户资金净流入"},
    {4067, "php/master_middle_in_out.php?m=%d&c=%s", "大户资金流入流出"},
    {4068, "php/master_middle_real_in.php?m=%d&c=%s", "大户资金净流入"},
    {4071, "php/master_large_in_out.php?m=%d&c=%s", "主力资金流入流出"},
    {4072, "php/master_large_real_in.php?m=%d&c=%s", "主力资金净流入"},
    {4073, "php/master_sml_real_in_out.php?m=%d&c=%s", "资金流入流出明细"},
    {4074, "php/cashflow_in_out_5days.5.php?m=%d&c=%s", "5日资金流入流出"},
    {4075, "php/cashflow_in_out_10days.5.php?m=%d&c=%s", "10日资金流入流出"},
    {4076, "php/cashflow_in_out_20days.5.php?m=%d&c=%s", "20日资金流入流出"},
    {4077, "php/cashflow_in_out_30days.5.php?m=%d&c=%s", "30日资金流入流出"},
};

const FundFlowPage* FindFundFlow(int id) {
    for (const FundFlowPage& page : kFundFlowPages)
        if (page.id == id) return &page;
    return nullptr;
}

// Outside pages: URL table entry appended to the site root; -1 the root alone, -2 entry 19 alone.
struct OutsidePage {
    int id;
    int entry;
};
const OutsidePage kOutsidePages[] = {
    {4018, -1}, {4019, 6}, {4020, 5}, {4021, 4}, {4022, 7}, {4023, 8},
    {4024, 9},  {4025, 10}, {4026, 11}, {4034, 20}, {4035, 18}, {4036, -2},
};

}  // namespace

CommandAction GetCommandAction(int id) {
    switch (id) {
    case 4000: case 4003: return {cmdRealTimeMode, 1, 0, nullptr};
    case 4001: return {cmdShowGraph, 0, 0, nullptr};
    case 4002: return {cmdRealTimeMode, 3, 0, nullptr};
    case 4004: return {cmdRealTimeMode, 2, 0, nullptr};
    case 4005: return {cmdRealTimeMode, 4, 0, nullptr};
    case 4006: return {cmdRealTimeMode, 1, 1, nullptr};
    case 4007: return {cmdRealTimeMode, 1, 2, nullptr};
    case 4008: case 4009: case 4010: return {cmdGraphOption, id - 4007, 0, nullptr};
    case 4011: return {cmdDataMode, 2, 0, nullptr};
    case 4012: return {cmdDataMode, 3, 0, nullptr};
    case 4013: return {cmdDataMode, 1, 0, nullptr};
    case 4014: return {cmdStateEvaluation, 0, 0, nullptr};
    case 4015: return {cmdTrendEvaluation, 0, 0, nullptr};
    case 4033: return {cmdCompanyInfo, 0, 0, nullptr};
    case 4037: return {cmdSignalToggle, 0, 0, nullptr};
    case 4040: case 4041: case 4042: case 4043: return {cmdStockPool, id - 4039, 0, nullptr};
    case 4044: return {cmdAddToWatchList, 0, 0, nullptr};
    case 4080: return {cmdAnnouncement, 0, 0, "最新公告"};
    default: break;
    }
    if (id >= 4045 && id <= 4056) return {cmdRanking, id, 0, nullptr};
    for (const OutsidePage& page : kOutsidePages)
        if (page.id == id) return {cmdOutsidePage, 0, 0, nullptr};
    if (const FundFlowPage* page = FindFundFlow(id)) return {cmdFundFlowPage, 0, 0, page->title};
    return {cmdNone, 0, 0, nullptr};
}

std::string OutsidePageUrl(int id) {
    for (const OutsidePage& page : kOutsidePages) {
        if (page.id != id) continue;
        if (page.entry == -2) return GetUrl(kUrlChat);
        if (page.entry == -1) return GetSiteRoot();
        return GetSiteRoot() + GetUrl(page.entry);
    }
    return std::string();
}

bool OpenOutsidePage(int id) {
    std::string url = OutsidePageUrl(id);
    return !url.empty() && OpenWebPage(url.c_str());
}

std::string FundFlowUrl(int id, const std::string& dataHost, const std::string& code, bool shanghai) {
    const FundFlowPage* page = FindFundFlow(id);
    if (!page || dataHost.empty() || code.empty()) return std::string();
    // The code goes into a query: escaped like any other text from outside.
    return "http://" + dataHost + "/" + StringPrintf(page->path, shanghai ? 18515 : 23123, EscapeUrlText(code).c_str());
}

std::string AnnouncementUrl(const std::string& siteRoot, const std::string& userName) {
    return siteRoot + "tip/tip_action.php?u=" + EscapeUrlText(userName);
}
