// The login request and its reply.
#pragma once

#include <cstdint>
#include <string>

struct LoginReply {
    uint32_t serverTime = 0;  // seconds since 1970
    int marketOpen = 0;       // 0 when field 3 is exactly "0", else 1
    int version = 0;          // field 4, or the program's own version when empty
    std::string dataHost;     // host[:port] of the data server
};

// A service reply (UTF-8) as GBK text; no text gives the empty text.
std::string DecodeReplyText(const char* text);

// The reply body as it arrived (UTF-8): fields separated by "|", at least five, field 1 "T" or
// "F". Fields are taken without surrounding white space (a reply may end in a line break). A
// reply whose time is not a positive number or whose host is empty or not a host name is
// refused: it would leave the client with a zero time or nowhere to fetch data from.
bool ParseLoginReply(const std::string& body, LoginReply* out);

// A host name or address with an optional ":port" (no scheme, path, user or blanks).
bool IsValidDataHost(const std::string& host);

// site root + the edition's login script + "?id=<client id>&u=<name>&p=<password>", the name
// and password in the URL form of base64 (no line breaks).
std::string BuildLoginUrl(const std::string& siteRoot, const char* script, const std::string& clientId,
                          const std::string& name, const std::string& password);

// Percent-encodes every byte but unreserved ones: for user texts put into a query.
std::string EscapeUrlText(const std::string& text);

// True when the service's version is newer than this program's.
bool NeedsUpdate(int serviceVersion);
