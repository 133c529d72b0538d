// What a good login leaves for the rest of the client.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/login.h"

// Sets the data-server host, the server data time and the market flag from a good reply.
void ApplyLoginReply(const LoginReply& reply);
std::string GetDataServerHostText();
uint32_t GetServerDataTimeValue();
int GetMarketOpenFlag();

// The name the user logged in with (GBK).
void SetLoginUserName(const std::string& name);
std::string GetLoginUserName();

// Fetches a URL through the process-wide HTTP client (with the proxy given to it); true only
// with the whole body of a 200 reply.
bool FetchUrl(const std::string& url, std::string* body, int bufferSize);
// Gives the process-wide HTTP client the proxy settings of run.ini; returns its answer.
struct ProxySettings;
int ApplyProxySettings(const ProxySettings& proxy);
