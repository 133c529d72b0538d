// What a good login leaves for the rest of the client, and the shell's way to the network.
#pragma once

#include <cstdint>
#include <string>

#include "app/login.h"

// Sets the process-wide DataServerHost, ServerDataTime and MarketOpenFlag from a good reply.
void ApplyLoginReply(const LoginReply& reply);
std::string GetDataServerHostText();
uint32_t GetServerDataTimeValue();
int GetMarketOpenFlag();

// The service's clock as this machine's clock plus the difference seen in the last login or
// heartbeat, so the charts' "now" follows the service's day even when the PC's clock is off.
// This machine's own time until the service has told its time.
void NoteServerTime(int32_t serverTime, int64_t localTime);
int32_t ServerClockNow();

// The name the user logged in with (GBK).
void SetLoginUserName(const std::string& name);
std::string GetLoginUserName();

// How long a request of the shell may take on the raw transport: each wait for the network
// (connect, send, receive) and the whole request.
struct RequestLimits {
    int waitMs;
    int totalMs;
};
// One login attempt (of three): a silent service is given up within seconds, not minutes.
constexpr RequestLimits kLoginLimits = {5000, 10000};
// The new build: megabytes over a slow line, but never a stalled connection.
constexpr RequestLimits kUpdateLimits = {15000, 10 * 60 * 1000};

// Fetches a URL through the process-wide HTTP client (with the default proxy) within the limits;
// true only with the whole body of a 200 reply.
bool FetchUrl(const std::string& url, std::string* body, int bufferSize, RequestLimits limits);
// Makes run.ini's proxy settings the default of every request of the program; returns the
// process-wide client's answer.
struct ProxySettings;
int ApplyProxySettings(const ProxySettings& proxy);
// Ends the requests in flight: the process-wide client's and the download manager's (its
// workers and synchronous downloads). Later requests of the process-wide client fail until
// ResumeTransfers.
void CancelTransfers();
void ResumeTransfers();
