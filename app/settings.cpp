#include "app/settings.h"

#include "base/base64.h"
#include "base/text.h"

namespace {
const DWORD kTextLimit = 260;  // 259 characters and the terminator

std::string ReadLimited(const CIni& ini, const char* section, const char* key) {
    char buf[kTextLimit];
    ini.GetString(section, key, buf, sizeof(buf), "");
    return buf;
}
}  // namespace

ProxySettings ReadProxySettings(const CIni& ini) {
    ProxySettings p;
    p.accessType = ini.GetUInt("ProxyInfo", "AccessType");
    p.proxyType = ini.GetUInt("ProxyInfo", "ProxyType");
    p.address = ReadLimited(ini, "ProxyInfo", "ProxyAddress");
    p.port = ini.GetUInt("ProxyInfo", "ProxyPort");
    p.user = ReadLimited(ini, "ProxyInfo", "ProxyUser");
    p.password = ReadLimited(ini, "ProxyInfo", "ProxyPassWord");
    return p;
}

void WriteProxySettings(CIni& ini, const ProxySettings& p) {
    ini.WriteInt("ProxyInfo", "AccessType", static_cast<int>(p.accessType));
    ini.WriteInt("ProxyInfo", "ProxyType", static_cast<int>(p.proxyType));
    ini.WriteInt("ProxyInfo", "ProxyPort", static_cast<int>(p.port));
    ini.WriteString("ProxyInfo", "ProxyAddress", TrimBlanks(p.address, true).c_str());
    ini.WriteString("ProxyInfo", "ProxyUser", TrimBlanks(p.user, true).c_str());
    ini.WriteString("ProxyInfo", "ProxyPassWord", TrimBlanks(p.password, true).c_str());
}

bool ReadSavePassword(const CIni& ini) { return ini.GetString("Global", "SavePassWd", "") != "false"; }

void WriteSavePassword(CIni& ini, bool save) { ini.WriteString("Global", "SavePassWd", save ? "true" : "false"); }

SavedUser ReadSavedUser(const CIni& ini) {
    SavedUser u;
    // Whole: a value cut to the profile's usual 259 characters would decode to another name.
    u.name = CUrlBase64::Decode(ini.GetString("UserInfo", "Name", "").c_str());
    u.password = CUrlBase64::Decode(ini.GetString("UserInfo", "PassWd", "").c_str());
    return u;
}

void WriteSavedUser(CIni& ini, const std::string& name, const std::string& password, bool savePassword) {
    ini.WriteString("UserInfo", "Name", CUrlBase64::EncodeLine(name.data(), name.size(), false).c_str());
    std::string saved = savePassword ? CUrlBase64::EncodeLine(password.data(), password.size(), false) : "";
    ini.WriteString("UserInfo", "PassWd", saved.c_str());
}
