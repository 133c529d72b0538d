// The settings kept in run.ini beside the program.
#pragma once

#include <string>

#include "app/ini.h"

// "ProxyInfo": how the client reaches the service.
struct ProxySettings {
    UINT accessType = 0;  // 1 direct, 0 the system's settings, 3 the proxy below
    UINT proxyType = 0;   // 1 SOCKS 4, 2 SOCKS 5, 3 HTTP
    UINT port = 0;
    std::string address;
    std::string user;
    std::string password;
};

ProxySettings ReadProxySettings(const CIni& ini);
// Numbers as "%d"; texts without trailing white space.
void WriteProxySettings(CIni& ini, const ProxySettings& proxy);

// "Global"/"SavePassWd": exactly "false" is off; anything else, empty or missing is on.
bool ReadSavePassword(const CIni& ini);
void WriteSavePassword(CIni& ini, bool save);

// "UserInfo": the name and (when saved) the password, each in standard base64, read whole
// however long.
struct SavedUser {
    std::string name;
    std::string password;
};
SavedUser ReadSavedUser(const CIni& ini);
// The longest name or password (characters) the login dialog takes: its base64 forms in the
// login request's query stay well inside what a request line and run.ini carry.
constexpr int kUserTextLimit = 256;
void WriteSavedUser(CIni& ini, const std::string& name, const std::string& password, bool savePassword);
