#include "app/urltable.h"

#include "app/ini.h"
#include "base/text.h"
#include "net/services.h"
#include "store/stockcode.h"

const char kDefaultChatUrl[] = "http://chat.velmora.cn/live/";

namespace {

const char* const kBuiltIn[kUrlCount] = {
    "",  // the site root is kept by the network layer
    "login/login.php?t=",
    "member/index_do.php?fmdo=user&dopost=regnew",
    "member/resetpassword.php",
    "html/gushibobao/",
    "html/jinriniugu/",
    "html/qushiyuce/",
    "html/mingjiadianping/",
    "html/redianbankuai/",
    "html/zhulidongxiang/",
    "html/shujuyanjiu/",
    "html/gupiaozhishi/",
    "plus/rollnews.php",
    "login/login.php",
    "hqdata/makestatusinfo.php",
    "velmora/update.php?id=5",
    "plus/velmora_stocks.php",
    "",
    "company/contact.html",
    kDefaultChatUrl,
    "html/velmoraruanjian",
    "apply",
    "",
    "",
    "data/blank/",
    "",
    "hqdata/",
    "5",
    nullptr,  // the watch-list file, the store's
    nullptr,  // the sector lists' folder, the store's
    "hqdatagzip/day/",
    "hqdatagzip/sday/",
    "hqdatagzip/min/",
    "hqdatagzip/F10/",
    "hqdatagzip/macd/",
    "hqdatagzip/fenbi/",
    "hqdata/calc/",
    "continue.dat",
    "markupsort.dat",
    "pricesort.dat",
    "volumesort.dat",
    "amountsort.dat",
    "volumescale.dat",
    "hqdata/php/",
};

std::string BuiltIn(int index) {
    if (index == kUrlWatchListFile) return DataFilePath(dataFileWatchList);
    if (index == kUrlGroupFolder) return DataFilePath(dataFileGroups);
    return kBuiltIn[index];
}

}  // namespace

UrlTable::UrlTable() {
    for (int i = 0; i < kUrlCount; ++i) m_entries[i] = BuiltIn(i);
}

std::string UrlTable::Get(int index) const {
    if (index < 0 || index >= kUrlCount) return std::string();
    if (index == kUrlSiteRoot) return GetSiteRootUrl();
    std::lock_guard<std::mutex> hold(m_lock);
    return m_entries[index];
}

void UrlTable::Set(int index, const std::string& text) {
    if (index < 0 || index >= kUrlCount) return;
    if (index == kUrlSiteRoot) {
        SetSiteRootUrl(text);
        return;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_entries[index] = text;
}

void UrlTable::Reset() {
    SetSiteRootUrl("");
    std::lock_guard<std::mutex> hold(m_lock);
    for (int i = 0; i < kUrlCount; ++i) m_entries[i] = BuiltIn(i);
}

UrlTable& GetUrlTable() {
    static UrlTable table;
    return table;
}

std::string NormalizeSiteRoot(const std::string& text) {
    std::string url = TrimBlanks(text);
    if (url.empty()) return "";
    size_t scheme = url.find("://");
    if (scheme == std::string::npos) return "";
    std::string name = url.substr(0, scheme);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (name != "http" && name != "https") return "";
    size_t hostEnd = url.find('/', scheme + 3);
    if ((hostEnd == std::string::npos ? url.size() : hostEnd) == scheme + 3) return "";  // no host
    for (char c : url)
        if (static_cast<unsigned char>(c) <= ' ') return "";
    if (url.back() != '/') url += '/';
    return url;
}

void ApplyUrlConfig(const CIni& ini) {
    std::string root = NormalizeSiteRoot(ini.GetString("Global", "SiteRoot", ""));
    if (!root.empty()) GetUrlTable().Set(kUrlSiteRoot, root);
    std::string chat = NormalizeSiteRoot(ini.GetString("Global", "ChatUrl", ""));
    if (!chat.empty()) {
        // A page address: keep it as written, without the slash added for roots.
        GetUrlTable().Set(kUrlChat, TrimBlanks(ini.GetString("Global", "ChatUrl", "")));
    }
}

const char* LoginScriptForEdition(int edition) {
    return edition == 2 ? "login/login.6.php" : edition == 3 ? "login/login.7.php" : "login/login.5.php";
}

const char* UpdateRequestForEdition(int edition) {
    return edition == 2 ? "velmora/update.php?id=6" : edition == 3 ? "velmora/update.php?id=7" : "velmora/update.php?id=5";
}

const char* LoginCaptionForEdition(int edition) {
    return edition == 2 ? "Quorvel股票分析系统 - 智能版"
           : edition == 3 ? "Quorvel股票分析系统 - 机构版"
                          : "Quorvel股票分析系统 - 经典版";
}
