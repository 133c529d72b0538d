#include "app/login.h"

#include <cstdlib>
#include <vector>

#include "app/urltable.h"
#include "base/base64.h"
#include "base/text.h"

namespace {

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Splits GBK text at every "|", keeping empty fields (a trail byte may be "|" too).
std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> out(1);
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        size_t n = GbkCharLength(p);
        if (n == 0) n = 1;
        if (n == 1 && *p == '|') out.emplace_back();
        else out.back().append(p, n);
        p += n;
    }
    return out;
}

}  // namespace

std::string DecodeReplyText(const char* text) { return text ? Utf8ToAnsi(text) : std::string(); }

bool IsValidDataHost(const std::string& host) {
    if (host.empty() || host.size() > 127) return false;
    size_t colon = host.rfind(':');
    std::string name = colon == std::string::npos ? host : host.substr(0, colon);
    if (name.empty()) return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                  c == '_';
        if (!ok) return false;
    }
    if (colon != std::string::npos) {
        std::string port = host.substr(colon + 1);
        if (!AllDigits(port) || port.size() > 5 || std::atoi(port.c_str()) < 1 || std::atoi(port.c_str()) > 65535)
            return false;
    }
    return true;
}

bool ParseLoginReply(const std::string& body, LoginReply* out) {
    if (body.empty()) return false;
    std::string text = DecodeReplyText(body.c_str());
    std::vector<std::string> fields = SplitFields(text);
    if (fields.size() < 5) return false;
    for (std::string& f : fields) f = TrimBlanks(f);
    if (fields[0] != "T" && fields[0] != "F") return false;
    // A time of 1 to 2^31 - 1 seconds (the store keeps it signed).
    if (!AllDigits(fields[1]) || fields[1].size() > 10) return false;
    unsigned long long t = std::strtoull(fields[1].c_str(), nullptr, 10);
    if (t == 0 || t > 0x7FFFFFFFull) return false;
    if (!IsValidDataHost(fields[4])) return false;
    LoginReply r;
    r.dataHost = fields[4];
    r.version = kProgramVersion;
    if (AllDigits(fields[3]) && fields[3].size() <= 9) r.version = std::atoi(fields[3].c_str());
    r.marketOpen = fields[2] == "0" ? 0 : 1;
    r.serverTime = static_cast<uint32_t>(t);
    *out = r;
    return true;
}

std::string BuildLoginUrl(const std::string& siteRoot, const char* script, const std::string& clientId,
                          const std::string& name, const std::string& password) {
    return siteRoot + script + "?id=" + clientId + "&u=" + CUrlBase64::EncodeLine(name.data(), name.size(), true) +
           "&p=" + CUrlBase64::EncodeLine(password.data(), password.size(), true);
}

std::string EscapeUrlText(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool NeedsUpdate(int serviceVersion) { return serviceVersion > kProgramVersion; }
