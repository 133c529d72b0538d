// The refresh thread's replies and schedule: rolling news, market status and the login heartbeat.
// Everything here is pure, so the thread itself only counts, fetches and hands results on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Headlines and links of the news ticker. The lists are aligned only when every line has both.
struct NewsItems {
    std::vector<std::string> headlines;
    std::vector<std::string> links;
    // The link of each headline's own line ("" when it had none): what a click should open.
    std::vector<std::string> headlineLinks;
};
// Lines "headline\tlink\r\n" with each headline beside its own link, for the ticker.
std::string NewsTickerText(const NewsItems& items);
// Splits a news text (GBK; lines end in "\r\n", a bare "\n" is taken too) into headlines and links; false for an empty text or one without
// any headline, which leaves the ticker as it is. Line ends left at the end of a field are
// trimmed, so the last link of a reply ending in "\r\n" or "\n" stays usable.
bool ParseNewsText(const std::string& text, NewsItems* out);

// One item of a status pane: a text, a Windows colour value and the font (none: the bar's own).
enum StatusFont { statusFontNone = 0, statusFontBold = 1, statusFontNormal = 2 };
struct StatusTextItem {
    std::string text;
    uint32_t colour;
    StatusFont font;
};
struct MarketStatusPane {
    std::vector<StatusTextItem> items;
    int number;
};
typedef std::vector<MarketStatusPane> StatusPaneList;

constexpr uint32_t kStatusRed = 0x0000FF;
constexpr uint32_t kStatusGreen = 0x008000;

// The market-status reply (GBK): four index panes, then three count panes when the reply has at
// least seven lines. False (out untouched) for any malformed line or number.
bool ParseStatusInfo(const std::string& text, StatusPaneList* out);

// The heartbeat reply after conversion to GBK: "time|flag[|...]".
struct HeartbeatReply {
    int32_t serverTime;
    int marketOpen;
};
// False (out untouched) when the reply has fewer than two fields or the time is no positive decimal
// number that fits 32 bits.
bool ParseHeartbeat(const std::string& text, HeartbeatReply* out);
// True when a heartbeat at this server time asks for the once-per-run relogin: 09:21 to 09:29
// Beijing time, not during the frame's creation, and not done before.
bool ShouldRelogin(int32_t serverTime, bool fromCreation, bool reloginDone);

// What one tick of the refresh thread does.
enum RefreshAction : unsigned {
    refreshNone = 0,
    refreshNews = 1,
    refreshStatus = 2,
    refreshHeartbeat = 4,
};
constexpr int kNewsTicks = 600;       // 300 s at one tick per 500 ms
constexpr int kStatusTicks = 10;      // 5 s
constexpr int kHeartbeatTicks = 1080; // 540 s
constexpr int kRefreshTickMs = 500;
// The actions of tick n (1 for the first tick); the status fetch only while the market is open.
unsigned RefreshActionsForTick(uint64_t tick, bool marketOpen);

// A good heartbeat: sets the process-wide ServerDataTime and MarketOpenFlag, and returns true
// when it takes the once-per-run relogin (the process-wide relogin-done flag is set then).
bool ApplyHeartbeat(const HeartbeatReply& reply, bool fromCreation);
bool IsReloginDone();
// Back to a fresh run (tests).
void ResetReloginDone();

// The refresh thread's body: counts ticks from 1, runs each tick's fetches and waits one tick,
// until stop is set (looked at before the first tick and after every wait). A slow fetch delays
// the following ticks; none is made up.
struct RefreshHandlers {
    std::function<void()> news;
    std::function<void()> status;
    std::function<void()> heartbeat;
    std::function<bool()> marketOpen;
    // Waits one tick (kRefreshTickMs); may return early when stop is set.
    std::function<void()> wait;
};
// Returns the number of ticks made.
uint64_t RunRefreshLoop(const std::atomic<bool>& stop, const RefreshHandlers& handlers);
