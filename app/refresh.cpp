#include "app/refresh.h"

#include <cerrno>
#include <cstdlib>

#include "base/text.h"
#include "base/timestamp.h"
#include "store/storeenv.h"
#include "app/appstate.h"
#include <ctime>

namespace {

// Pieces between separators, empty ones kept, so that field positions stay as sent.
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t found = text.find(separator, start);
        if (found == std::string::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::string TrimLineEnd(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    return text.substr(0, end);
}

// A whole decimal number (blanks around it allowed); false for anything else.
bool ReadNumber(const std::string& text, double* out) {
    std::string t = TrimBlanks(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE || value != value) return false;
    *out = value;
    return true;
}

// Reply lines: split at "\r\n", with a last empty piece (a trailing line end) dropped.
std::vector<std::string> ReplyLines(const std::string& text) {
    std::vector<std::string> lines = Split(text, "\r\n");
    while (!lines.empty() && TrimLineEnd(lines.back()).empty()) lines.pop_back();
    return lines;
}

}  // namespace

bool ParseNewsText(const std::string& text, NewsItems* out) {
    if (text.empty()) return false;
    NewsItems items;
    // A bare "\n" ends a line too: otherwise it would end up inside a link.
    for (const std::string& line : Split(text, "\n")) {
        std::vector<std::string> fields = Split(TrimLineEnd(line), "\t");
        std::string headline = TrimLineEnd(fields[0]);
        std::string link = fields.size() > 1 ? TrimBlanks(fields[1]) : std::string();
        if (!headline.empty()) {
            items.headlines.push_back(headline);
            items.headlineLinks.push_back(link);
        }
        if (!link.empty()) items.links.push_back(link);
    }
    if (items.headlines.empty()) return false;
    *out = std::move(items);
    return true;
}

std::string NewsTickerText(const NewsItems& items) {
    std::string text;
    for (size_t i = 0; i < items.headlines.size(); ++i) {
        text += items.headlines[i];
        if (i < items.headlineLinks.size() && !items.headlineLinks[i].empty()) text += "\t" + items.headlineLinks[i];
        text += "\r\n";
    }
    return text;
}

bool ParseStatusInfo(const std::string& text, StatusPaneList* out) {
    std::vector<std::string> lines = ReplyLines(text);
    if (lines.size() < 4) return false;
    StatusPaneList panes;
    for (int i = 0; i < 4; ++i) {
        std::vector<std::string> fields = Split(TrimLineEnd(lines[i]), "\t");
        if (fields.size() < 2 || fields[0].empty()) return false;
        std::vector<std::string> values = Split(fields[1], ";");
        if (values.size() < 4) return false;
        double value, change, percent, amount;
        if (!ReadNumber(values[0], &value) || !ReadNumber(values[1], &change) ||
            !ReadNumber(values[2], &percent) || !ReadNumber(values[3], &amount))
            return false;
        uint32_t colour = change >= 0 ? kStatusRed : kStatusGreen;
        MarketStatusPane pane;
        pane.number = 4028 + i;
        pane.items.push_back({fields[0], 0, statusFontNone});
        if (value != 0) pane.items.push_back({" " + FormatFixed(value, 2), colour, statusFontBold});
        if (change != 0) pane.items.push_back({" " + FormatFixed(change, 2), colour, statusFontBold});
        if (value != 0) pane.items.push_back({" " + FormatFixed(percent, 2) + "%", colour, statusFontBold});
        if (amount != 0) pane.items.push_back({" " + FormatAmount(amount), 0, statusFontNone});
        panes.push_back(std::move(pane));
    }
    if (lines.size() >= 7) {
        static const uint32_t kCountColours[3] = {kStatusRed, kStatusGreen, 0};
        for (int i = 4; i < 7; ++i) {
            std::vector<std::string> fields = Split(TrimLineEnd(lines[i]), "\t");
            if (fields.size() < 2) return false;
            MarketStatusPane pane;
            pane.number = 0;
            pane.items.push_back({fields[0] + ":", 0, statusFontNone});
            pane.items.push_back({" " + fields[1], kCountColours[i - 4], statusFontNormal});
            panes.push_back(std::move(pane));
        }
    }
    *out = std::move(panes);
    return true;
}

bool ParseHeartbeat(const std::string& text, HeartbeatReply* out) {
    std::vector<std::string> fields = Split(TrimLineEnd(text), "|");
    if (fields.size() < 2) return false;
    std::string timeText = TrimBlanks(fields[0]);
    if (timeText.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long time = std::strtoll(timeText.c_str(), &end, 10);
    // A server time of 0 or before 1970 is no time: taking it would make every stored file stale.
    if (end != timeText.c_str() + timeText.size() || errno == ERANGE || time > INT32_MAX || time <= 0)
        return false;
    out->serverTime = static_cast<int32_t>(time);
    out->marketOpen = TrimLineEnd(fields[1]) == "0" ? 0 : 1;
    return true;
}

bool ShouldRelogin(int32_t serverTime, bool fromCreation, bool reloginDone) {
    if (serverTime <= 0 || fromCreation || reloginDone) return false;
    CTimeStamp stamp(serverTime);
    int hhmm = stamp.GetBeijingHour() * 100 + stamp.GetBeijingMinute();
    return hhmm >= 921 && hhmm <= 929;
}

unsigned RefreshActionsForTick(uint64_t tick, bool marketOpen) {
    if (tick == 0) return refreshNone;
    unsigned actions = refreshNone;
    if (tick % kNewsTicks == 0) actions |= refreshNews;
    if (marketOpen && tick % kStatusTicks == 0) actions |= refreshStatus;
    if (tick % kHeartbeatTicks == 0) actions |= refreshHeartbeat;
    return actions;
}

namespace {
std::atomic<bool> g_reloginDone(false);
}

bool ApplyHeartbeat(const HeartbeatReply& reply, bool fromCreation) {
    ServerDataTime.store(reply.serverTime);
    NoteServerTime(reply.serverTime, static_cast<int64_t>(std::time(nullptr)));
    MarketOpenFlag.store(reply.marketOpen != 0 ? 1 : 0);
    if (!ShouldRelogin(reply.serverTime, fromCreation, g_reloginDone.load())) return false;
    // Two heartbeats at once (creation's and the thread's) still relogin once.
    bool expected = false;
    return g_reloginDone.compare_exchange_strong(expected, true);
}

bool IsReloginDone() { return g_reloginDone.load(); }
void ResetReloginDone() { g_reloginDone.store(false); }

uint64_t RunRefreshLoop(const std::atomic<bool>& stop, const RefreshHandlers& handlers) {
    uint64_t tick = 0;
    while (!stop.load()) {
        ++tick;
        bool open = handlers.marketOpen && handlers.marketOpen();
        unsigned actions = RefreshActionsForTick(tick, open);
        if ((actions & refreshNews) && handlers.news) handlers.news();
        if ((actions & refreshStatus) && handlers.status) handlers.status();
        if ((actions & refreshHeartbeat) && handlers.heartbeat) handlers.heartbeat();
        if (handlers.wait) handlers.wait();
    }
    return tick;
}
