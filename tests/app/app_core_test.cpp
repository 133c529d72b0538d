// The window-free logic of the client shell: URL table, run.ini, the login reply and the
// client side of the update.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/ini.h"
#include "app/login.h"
#include "app/loginflow.h"
#include "app/settings.h"
#include "app/update.h"
#include "app/urltable.h"
#include "base/seams.h"
#include "net/services.h"
#include "test_files.h"

namespace {

std::string TempPath(const char* name) {
    static int serial = 0;
    // The process id too: the suites of other builds may run the same test at the same time.
#ifdef _WIN32
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    std::string base = dir;
    const unsigned long pid = GetCurrentProcessId();
#else
    std::string base = "/tmp/";
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return base + "velmora-app-" + std::to_string(pid) + "-" + std::to_string(serial++) + "-" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// ---- URL table ---------------------------------------------------------------------------

TEST(UrlTable, EntriesEditionsAndConfiguredRoots) {
    ResetUrlTable();
    EXPECT_EQ(GetSiteRoot() + GetUrl(kUrlRegister), std::string(kDefaultSiteRootUrl) + "member/index_do.php?fmdo=user&dopost=regnew");
    EXPECT_EQ(GetUrl(kUrlResetPassword), "member/resetpassword.php");
    EXPECT_EQ(GetUrl(kUrlClientId), "5");
    EXPECT_EQ(GetUrl(28), "hqdata\\usrstock.dat");
    EXPECT_EQ(GetUrl(43), "hqdata/php/");
    EXPECT_EQ(GetUrl(kUrlCount), "");
    EXPECT_STREQ(LoginScriptForEdition(1), "login/login.5.php");
    EXPECT_STREQ(LoginScriptForEdition(2), "login/login.6.php");
    EXPECT_STREQ(LoginScriptForEdition(3), "login/login.7.php");
    EXPECT_STREQ(UpdateRequestForEdition(2), "velmora/update.php?id=6");
    EXPECT_STREQ(UpdateRequestForEdition(9), "velmora/update.php?id=5");
    EXPECT_STREQ(LoginCaptionForEdition(1), "Quorvel股票分析系统 - 经典版");

    struct Case {
        const char* in;
        const char* out;
    } roots[] = {{"http://127.0.0.1:8080", "http://127.0.0.1:8080/"},
                 {" HTTP://host/sub/ \r\n", "HTTP://host/sub/"},
                 {"https://h", "https://h/"},
                 {"ftp://h/", ""},
                 {"127.0.0.1:80/", ""},
                 {"http:///path", ""},
                 {"http://a b/", ""},
                 {"", ""}};
    for (const Case& c : roots) EXPECT_EQ(NormalizeSiteRoot(c.in), c.out) << c.in;

    std::string path = TempPath("urls.ini");
    CIni ini(path);
    ini.WriteString("Global", "SiteRoot", "http://127.0.0.1:18080");
    ini.WriteString("Global", "ChatUrl", "http://chat.example/room.html");
    ApplyUrlConfig(ini);
    EXPECT_EQ(GetSiteRoot(), "http://127.0.0.1:18080/");
    EXPECT_EQ(GetUrl(kUrlChat), "http://chat.example/room.html");
    ini.WriteString("Global", "SiteRoot", "not a url");  // keeps what it had
    ApplyUrlConfig(ini);
    EXPECT_EQ(GetSiteRoot(), "http://127.0.0.1:18080/");
    ResetUrlTable();
    EXPECT_EQ(GetSiteRoot(), kDefaultSiteRootUrl);
    std::remove(path.c_str());
}

// ---- run.ini -----------------------------------------------------------------------------

TEST(Ini, GrowingReadTakesWholeLongValues) {
    std::string value(1500, 'x');
    int calls = 0;
    std::string got = CIni::ReadGrowing([&](char* buf, DWORD size) {
        ++calls;
        DWORD n = static_cast<DWORD>(value.size() < size - 1 ? value.size() : size - 1);
        std::copy(value.begin(), value.begin() + n, buf);
        buf[n] = 0;
        return n;
    });
    EXPECT_EQ(got, value);
    EXPECT_EQ(calls, 3);  // 512, 1024, 1536

    std::string path = TempPath("long.ini");
    CIni ini(path);
    std::string longText(2000, 'v');
    ASSERT_TRUE(ini.WriteString("S", "K", longText.c_str()));
    EXPECT_EQ(ini.GetString("S", "K"), longText);
    char small[8];
    EXPECT_EQ(ini.GetString("S", "K", small, sizeof(small)), 7u);
    EXPECT_STREQ(small, "vvvvvvv");
    EXPECT_EQ(ini.GetString(nullptr, "K", "dflt"), "dflt");
    EXPECT_EQ(ini.GetString("S", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.GetString("s", "k"), longText);  // names are compared without case
    std::remove(path.c_str());
}

TEST(Ini, ValuesOfAnyLengthComeBackWhole) {
    auto text = [](size_t n) {
        std::string value;
        for (size_t i = 0; i < n; ++i) value += "ABCxyz019+/="[i % 12];
        return value;
    };
    std::string path = TempPath("whole.ini");
    CIni ini(path);
    ini.WriteString("Global", "SavePassWd", "true");
    // Around the 512-character steps of the growing read.
    for (size_t n : {259u, 260u, 511u, 512u, 513u, 1023u, 1024u, 5000u}) {
        std::string value = text(n);
        ASSERT_TRUE(ini.WriteString("UserInfo", "Name", value.c_str())) << n;
        EXPECT_EQ(ini.GetString("UserInfo", "Name"), value) << n;
        EXPECT_EQ(ini.GetString("Global", "SavePassWd"), "true") << n;
    }
    // A default longer than the file.
    EXPECT_EQ(ini.GetString("UserInfo", "None", std::string(3000, 'd').c_str()), std::string(3000, 'd'));

    // A megabyte, as an editor or another program leaves it (Wine's profile writer drops values
    // of 64 KB and more), between other sections.
    const std::string big = text(1u << 20);
    velmora_test::WriteTestFile(path, "[Global]\r\nSavePassWd=false\r\n[UserInfo]\r\nName=" + big +
                                          "\r\nPassWd=cHc=\r\n[ProxyInfo]\r\nAccessType=1\r\n");
    std::string back = ini.GetString("UserInfo", "Name");
    EXPECT_EQ(back.size(), big.size());
    EXPECT_TRUE(back == big);  // not printed: a megabyte
    EXPECT_EQ(ini.GetString("UserInfo", "PassWd"), "cHc=");
    EXPECT_EQ(ini.GetUInt("ProxyInfo", "AccessType"), 1u);
    std::remove(path.c_str());
}

TEST(RunIni, SavePasswordRule) {
    std::string path = TempPath("save.ini");
    CIni ini(path);
    EXPECT_TRUE(ReadSavePassword(ini));  // fresh installation
    struct Case {
        const char* text;
        bool on;
    } cases[] = {{"false", false}, {"true", true}, {"", true}, {"FALSE", true}, {"no", true}, {"0", true}};
    for (const Case& c : cases) {
        ini.WriteString("Global", "SavePassWd", c.text);
        EXPECT_EQ(ReadSavePassword(ini), c.on) << c.text;
    }
    WriteSavePassword(ini, false);
    EXPECT_EQ(ini.GetString("Global", "SavePassWd"), "false");
    std::remove(path.c_str());
}

TEST(RunIni, UserNameAndPasswordInBase64) {
    std::string path = TempPath("user.ini");
    CIni ini(path);
    SavedUser none = ReadSavedUser(ini);
    EXPECT_EQ(none.name, "");
    EXPECT_EQ(none.password, "");
    const std::string name = "股民 user+/=";
    WriteSavedUser(ini, name, "p@ss word", true);
    EXPECT_EQ(ini.GetString("UserInfo", "PassWd"), "cEBzcyB3b3Jk");
    SavedUser u = ReadSavedUser(ini);
    EXPECT_EQ(u.name, name);
    EXPECT_EQ(u.password, "p@ss word");
    WriteSavedUser(ini, name, "p@ss word", false);
    EXPECT_EQ(ini.GetString("UserInfo", "PassWd", "x"), "");
    EXPECT_EQ(ReadSavedUser(ini).name, name);

    // Longer than 194 characters, the base64 form passes the profile's usual 259: still whole.
    for (size_t n : {194u, 195u, 256u, 600u}) {
        std::string longName, longPassword(n, 'p');
        for (size_t i = 0; i < n; ++i) longName += i % 3 ? 'n' : '\xb9';  // GBK and ASCII bytes
        WriteSavedUser(ini, longName, longPassword, true);
        SavedUser back = ReadSavedUser(ini);
        EXPECT_EQ(back.name, longName) << n;
        EXPECT_EQ(back.password, longPassword) << n;
    }
    std::remove(path.c_str());
}

TEST(RunIni, ProxySettingsRoundTripEveryKey) {
    std::string path = TempPath("proxy.ini");
    CIni ini(path);
    ProxySettings fresh = ReadProxySettings(ini);
    EXPECT_EQ(fresh.accessType, 0u);
    EXPECT_EQ(fresh.port, 0u);
    ProxySettings p;
    p.accessType = 3;
    p.proxyType = 2;
    p.port = 1080;
    p.address = "proxy.local  ";
    p.user = "代理 user\t";
    p.password = "secret ";
    WriteProxySettings(ini, p);
    EXPECT_EQ(ini.GetString("ProxyInfo", "AccessType"), "3");
    EXPECT_EQ(ini.GetString("ProxyInfo", "ProxyPort"), "1080");
    ProxySettings q = ReadProxySettings(ini);
    EXPECT_EQ(q.accessType, 3u);
    EXPECT_EQ(q.proxyType, 2u);
    EXPECT_EQ(q.port, 1080u);
    EXPECT_EQ(q.address, "proxy.local");
    EXPECT_EQ(q.user, "代理 user");
    EXPECT_EQ(q.password, "secret");
    ini.WriteString("ProxyInfo", "ProxyPort", "abc");
    EXPECT_EQ(ReadProxySettings(ini).port, 0u);
    std::remove(path.c_str());
}

// ---- Login -------------------------------------------------------------------------------

TEST(Login, ReplyTable) {
    struct Case {
        const char* body;
        bool ok;
        uint32_t time;
        int open;
        int version;
        const char* host;
    } cases[] = {
        {"T|1293500000|0|20101228|data.host", true, 1293500000u, 0, 20101228, "data.host"},
        {"T|1293500000|0|20110101|data.host", true, 1293500000u, 0, 20110101, "data.host"},
        {"F|1293500000|1||127.0.0.1:18081", true, 1293500000u, 1, 20101228, "127.0.0.1:18081"},
        {"T|1293500000|x|20101228|h|extra", true, 1293500000u, 1, 20101228, "h"},
        {"T|1293500000|0|20101228|host.cn\r\n", true, 1293500000u, 0, 20101228, "host.cn"},
        {"T|1293500000|0|20101228", false, 0, 0, 0, ""},
        {"X|1293500000|0|20101228|h", false, 0, 0, 0, ""},
        {"t|1293500000|0|20101228|h", false, 0, 0, 0, ""},
        {"", false, 0, 0, 0, ""},
        // Never a zero or unreadable time, never an empty or odd host.
        {"T|0|0|20101228|h", false, 0, 0, 0, ""},
        {"T|abc|0|20101228|h", false, 0, 0, 0, ""},
        {"T||0|20101228|h", false, 0, 0, 0, ""},
        {"T|99999999999|0|20101228|h", false, 0, 0, 0, ""},
        {"T|1293500000|0|20101228|", false, 0, 0, 0, ""},
        {"T|1293500000|0|20101228|  ", false, 0, 0, 0, ""},
        {"T|1293500000|0|20101228|h/x", false, 0, 0, 0, ""},
        {"T|1293500000|0|20101228|h:99999", false, 0, 0, 0, ""},
        {"T|1293500000|0|20101228|user@h", false, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        LoginReply r;
        r.serverTime = 7;
        bool ok = ParseLoginReply(c.body, &r);
        EXPECT_EQ(ok, c.ok) << c.body;
        if (ok) {
            EXPECT_EQ(r.serverTime, c.time) << c.body;
            EXPECT_EQ(r.marketOpen, c.open) << c.body;
            EXPECT_EQ(r.version, c.version) << c.body;
            EXPECT_EQ(r.dataHost, c.host) << c.body;
        } else {
            EXPECT_EQ(r.serverTime, 7u) << "a refused reply changes nothing: " << c.body;
        }
    }
    EXPECT_FALSE(NeedsUpdate(20101228));
    EXPECT_TRUE(NeedsUpdate(20101229));
}

TEST(Login, UrlCarriesUrlFormBase64WithoutLineBreaks) {
    std::string longName(100, '\xff');  // base64 of 0xFF bytes is full of "/"
    std::string url = BuildLoginUrl("http://h/", "login/login.5.php", "5", longName, ">>>");
    EXPECT_EQ(url.find('\n'), std::string::npos);
    EXPECT_EQ(url.substr(0, 31), "http://h/login/login.5.php?id=5");
    EXPECT_NE(url.find("&u=____"), std::string::npos);
    EXPECT_NE(url.find("&p=Pj4!"), std::string::npos);
    std::string query = url.substr(url.find("&u="));
    EXPECT_EQ(query.find_first_of("+/ ", 0), std::string::npos);
    EXPECT_EQ(query.find('=', 3), query.find("&p=") + 2);
    EXPECT_EQ(EscapeUrlText("a b&c=股"), "a%20b%26c%3D%B9%C9");
}

TEST(Login, AtMostThreeAttempts) {
    int calls = 0;
    LoginReply r;
    int attempts = 0;
    EXPECT_FALSE(RequestLogin([&](const std::string&, std::string*) { ++calls; return false; }, "u", &r, &attempts));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(attempts, 3);
    calls = 0;
    EXPECT_TRUE(RequestLogin(
        [&](const std::string&, std::string* body) {
            if (++calls < 2) return false;
            *body = "T|1293500000|0||h";
            return true;
        },
        "u", &r, &attempts));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.dataHost, "h");
}

// ---- Update (client side) ----------------------------------------------------------------

class RecordingView : public ILoginView {
public:
    std::vector<std::string> statuses, messages;
    int finished = 0;
    int resumed = 0;
    bool stop = false;
    void SetStatusText(const char* t) override { statuses.push_back(t); }
    void FinishDialog(int code) override { finished = code; }
    void ResumeLogin() override { ++resumed; }
    int Message(const char* text, const char*, UINT) override {
        messages.push_back(text);
        return IDOK;
    }
    bool IsStopRequested() const override { return stop; }
};

struct LaunchRecord {
    std::vector<std::pair<std::string, std::string>> calls;
    LaunchHook old;
    LaunchRecord() {
        old = SetLaunchHook([this](const char* f, const char* p) {
            calls.emplace_back(f, p);
            return true;
        });
    }
    ~LaunchRecord() { SetLaunchHook(old); }
};

void Put16(std::string& s, size_t at, uint32_t v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

// The headers of a 32-bit Windows program of that size: "MZ", e_lfanew 0x80, "PE\0\0", i386,
// an optional header of 0xE0 bytes and two sections whose raw data ends exactly at the end.
const size_t kPe = 0x80, kSections = kPe + 4 + 20 + 0xE0;
std::string Image(size_t size) {
    std::string s(size, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    Put32(s, 0x3C, kPe);
    s.replace(kPe, 4, std::string("PE\0\0", 4));
    Put16(s, kPe + 4, 0x14C);
    Put16(s, kPe + 6, 2);
    Put16(s, kPe + 20, 0xE0);
    Put32(s, kSections + 16, 0x1000);            // .text: 0x400 .. 0x1400
    Put32(s, kSections + 20, 0x400);
    Put32(s, kSections + 40 + 16, uint32_t(size - 0x1400));  // .data: up to the end
    Put32(s, kSections + 40 + 20, 0x1400);
    return s;
}

TEST(Update, OnlyAWholeExecutableIsHandedToTheUpdater) {
    ResetUrlTable();
    std::string exe = TempPath("Velmora Client.exe");
    struct Case {
        std::string body;
        bool fetched;
        bool handed;
    } cases[] = {
        {Image(10241), true, true},
        {Image(10240), true, false},         // too small: never a restart loop
        {"PK" + Image(20000).substr(2), true, false},  // not an executable
        {Image(20000).substr(0, 19999), true, false},  // cut by one byte
        {Image(20000), false, false},        // download failed
    };
    for (const Case& c : cases) {
        LaunchRecord launches;
        RecordingView view;
        std::string asked;
        bool handed = RunUpdate(
            view,
            [&](const std::string& url, std::string* body) {
                asked = url;
                *body = c.body;
                return c.fetched;
            },
            exe, "C:\\V\\Update.exe");
        EXPECT_EQ(handed, c.handed);
        EXPECT_EQ(asked, std::string(kDefaultSiteRootUrl) + "velmora/update.php?id=5");
        EXPECT_EQ(GetUrl(kUrlUpdate), "velmora/update.php?id=5");
        if (c.handed) {
            EXPECT_EQ(ReadFile(exe + ".new"), c.body);
            ASSERT_EQ(launches.calls.size(), 1u);
            EXPECT_EQ(launches.calls[0].first, "C:\\V\\Update.exe");
            EXPECT_EQ(launches.calls[0].second, exe);  // the full path, unquoted
            EXPECT_EQ(view.finished, 2);
            EXPECT_EQ(view.messages, std::vector<std::string>{"新版本下载完成，软件需要重新启动!"});
            EXPECT_EQ(view.statuses.back(), "开始下载更新....");
        } else {
            EXPECT_FALSE(Exists(exe + ".new"));
            EXPECT_TRUE(launches.calls.empty());
            EXPECT_EQ(view.finished, 0);  // the dialog stays open
            EXPECT_EQ(view.resumed, 1);   // and is handed back to the user
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_EQ(view.messages[0], UpdateFailedMessage(kDefaultSiteRootUrl));
        }
        EXPECT_FALSE(Exists(exe + ".new.tmp"));
        std::remove((exe + ".new").c_str());
    }
}

TEST(Update, ClientImageRule) {
    const std::string whole = Image(30000);
    auto with = [&](size_t at, uint32_t value, bool wide) {
        std::string s = whole;
        if (wide) Put32(s, at, value);
        else Put16(s, at, value);
        return s;
    };
    // The fixture's stand-in: "MZ", a DOS stub and "PE" somewhere, no image headers.
    std::string stub = "MZ" + std::string(24000, '\x90') + "PE";
    struct Case {
        const char* what;
        std::string body;
        bool whole;
    } cases[] = {
        {"whole", whole, true},
        {"with trailing bytes", whole + "overlay", true},
        {"at the smallest size", Image(10241), true},
        {"too small", Image(10240), false},
        {"cut by one byte", whole.substr(0, whole.size() - 1), false},
        {"cut after the headers", whole.substr(0, 0x1400), false},
        {"a DOS stub", stub, false},
        {"no MZ", "ZM" + whole.substr(2), false},
        {"no PE signature", with(kPe, 0x00004550 | 0x01000000, true), false},
        {"64-bit machine", with(kPe + 4, 0x8664, false), false},
        {"e_lfanew past the end", with(0x3C, uint32_t(whole.size() - 10), true), false},
        {"e_lfanew wrapping", with(0x3C, 0xFFFFFFF0u, true), false},
        {"no sections", with(kPe + 6, 0, false), false},
        {"section table past the end", with(kPe + 6, 0xFFFF, false), false},
        {"optional header past the end", with(kPe + 20, 0xFFFF, false), false},
        {"raw data past the end", with(kSections + 40 + 16, uint32_t(whole.size()), true), false},
        {"raw data wrapping", with(kSections + 20, 0xFFFFFF00u, true), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsClientImage(c.body.data(), c.body.size()), c.whole) << c.what;
    EXPECT_FALSE(IsClientImage("MZ", 2));
    EXPECT_FALSE(IsClientImage(nullptr, 0));
    EXPECT_EQ(UpdateFileFor("C:\\a b\\V.exe"), "C:\\a b\\V.exe.new");
}

}  // namespace
