// The content panel's command table (ids 4000 to 5000) as data: what each id does, and the URLs
// of the service pages it opens. The window code carries the actions out.
#pragma once

#include <string>

enum CommandKind {
    cmdNone,            // nothing happens
    cmdRealTimeMode,    // ensure view 3000, draw mode `value`, toggle draw option `option` when not 0
    cmdShowGraph,       // ShowView (3001)
    cmdGraphOption,     // ensure view 3001, graph option `value`
    cmdDataMode,        // ensure view 3001, data mode `value`
    cmdCompanyInfo,     // view 3002 with its text fetched
    cmdStateEvaluation, // ensure view 3000, draw mode 1, the pattern diagnosis
    cmdTrendEvaluation, // ensure view 3001, the trend diagnosis
    cmdStockPool,       // pool kind `value`
    cmdRanking,         // ranking kind `value` (the command id)
    cmdSignalToggle,    // buy/sell points on or off
    cmdAddToWatchList,  // 4033 to the side panel, then show the watch list
    cmdOutsidePage,     // a service page in the browser (OutsidePageUrl)
    cmdFundFlowPage,    // a fund-flow page inside the program (FundFlowUrl, `title`)
    cmdAnnouncement,    // the announcement page inside the program (AnnouncementUrl)
};

struct CommandAction {
    CommandKind kind;
    int value;
    int option;
    const char* title;  // dialog title of the pages shown inside; null otherwise
};

// The action of a command id; cmdNone for ids without one.
CommandAction GetCommandAction(int id);

// The page of an outside command from the URL table; "" for another id.
std::string OutsidePageUrl(int id);
// Opens it through the page seam; false for another id or when the shell refused.
bool OpenOutsidePage(int id);
// The fund-flow page of a stock ("http://" + host + "/" + path with m 18515 for Shanghai and
// 23123 for Shenzhen, c the code with suffix); "" for another id, an empty code or host.
std::string FundFlowUrl(int id, const std::string& dataHost, const std::string& code, bool shanghai);
// site root + "tip/tip_action.php?u=" + the user name percent-encoded.
std::string AnnouncementUrl(const std::string& siteRoot, const std::string& userName);
