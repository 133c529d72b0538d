#include "skin/skinmanager.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/fsutil.h"
#include "base/text.h"

namespace {

std::unique_ptr<CSkinManager> g_manager;
std::string g_skinName = "Default";
std::string g_skinFolder;
std::string g_themePath;

bool IsDirectory(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Index of the last backslash that is a whole character (not a GBK trail byte), or npos.
size_t LastBackslash(const std::string& s) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < s.size();) {
        size_t n = GbkCharLength(s.c_str() + i);
        if (n == 0) break;
        if (n == 1 && s[i] == '\\') last = i;
        i += n;
    }
    return last;
}

// The whole value of a key ("" when missing), however long.
std::string ReadValue(const std::string& file, const char* section, const char* key) {
    std::vector<char> buf(513);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringA(section, key, "", buf.data(), (DWORD)buf.size(), file.c_str());
        if (n + 1 < buf.size()) return std::string(buf.data(), n);
        if (buf.size() > (1u << 20)) return std::string(buf.data(), n);  // nothing sane is this long
        buf.resize(buf.size() + 512);
    }
}

std::string ReadThemeValue(const char* section, const char* key) {
    LoadSkin(nullptr);
    return ReadValue(g_themePath, section, key);
}

}  // namespace

CSkinManager* LoadSkin(const char* name) {
    if (g_manager) return g_manager.get();
    g_manager.reset(new (std::nothrow) CSkinManager());
    if (!g_manager) return nullptr;
    g_skinName = (name && *name) ? name : "Default";
    g_skinFolder = ResolveSkinFolder(GetModuleDirectory(), g_skinName);
    g_themePath = g_skinFolder + "\\theme.ini";
    return g_manager.get();
}

void DestroySkinManager() { g_manager.reset(); }

const std::string& GetSkinName() { return g_skinName; }
const std::string& GetSkinFolder() { return g_skinFolder; }
const std::string& GetThemePath() { return g_themePath; }

std::string GetSkinFilePath(const char* file) {
    if (g_skinFolder.empty()) LoadSkin(nullptr);  // nothing selected yet: the default skin
    return g_skinFolder + "\\" + (file ? file : "");
}

std::string GetModuleDirectory() { return velmora::GetExecutableFolder(); }

std::string GetParentDirectory(const std::string& path) {
    if (path.size() < 4 || !IsDirectory(path)) return path;
    std::string s = path;
    if (LastBackslash(s) == s.size() - 1) s.erase(s.size() - 1);
    size_t slash = LastBackslash(s);
    if (slash == std::string::npos) return path;
    return s.substr(0, slash + 1);
}

std::string ResolveSkinFolder(const std::string& moduleDir, const std::string& name) {
    std::string folder = moduleDir + "Skin\\" + name;
    if (!Exists(folder)) folder = GetParentDirectory(moduleDir) + "Skin\\" + name;
    return folder;
}

COLORREF ParseThemeColor(const char* text) {
    int parts[3] = {0, 0, 0};
    const char* p = text ? text : "";
    for (int i = 0; i < 3 && *p; ++i) {
        const char* end = strchr(p, ',');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        char part[20];
        size_t take = len < sizeof(part) - 1 ? len : sizeof(part) - 1;  // a component has at most 19 characters
        memcpy(part, p, take);
        part[take] = '\0';
        parts[i] = atoi(part) & 0xFF;
        if (!end) break;
        p = end + 1;
    }
    return RGB(parts[0], parts[1], parts[2]);
}

bool ParseThemeNumber(const char* text, UINT* value) {
    char cut[65];
    lstrcpynA(cut, text ? text : "", sizeof(cut));
    const char* p = cut;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '+') ++p;
    // A negative count or position is a broken theme, not a huge number.
    if (!isdigit((unsigned char)*p)) return false;
    errno = 0;
    unsigned long v = strtoul(p, nullptr, 10);
    if (errno == ERANGE || v > kThemeNumberMax) v = kThemeNumberMax;
    *value = (UINT)v;
    return true;
}

int ParseBool(const char* text, int defaultValue) {
    if (!text || !*text) return defaultValue;
    char cut[65];
    lstrcpynA(cut, text, sizeof(cut));
    if (lstrcmpiA(cut, "true") == 0 || lstrcmpiA(cut, "yes") == 0) return 1;
    char* end = nullptr;
    long v = strtol(cut, &end, 10);
    return (end != cut && v != 0) ? 1 : 0;
}

COLORREF GetThemeColor(const char* section, const char* key, COLORREF defaultValue) {
    std::string v = ReadThemeValue(section, key);
    return v.empty() ? defaultValue : ParseThemeColor(v.c_str());
}

UINT GetThemeInt(const char* section, const char* key, UINT defaultValue) {
    std::string v = ReadThemeValue(section, key);
    UINT n = 0;
    if (v.empty() || !ParseThemeNumber(v.c_str(), &n)) return defaultValue;
    return n;
}

int GetThemeBool(const char* section, const char* key, int defaultValue) {
    std::string v = ReadThemeValue(section, key);
    return v.empty() ? defaultValue : ParseBool(v.c_str(), defaultValue);
}

std::string GetThemeFilePath(const char* section, const char* key, const char* defaultName) {
    std::string v = ReadThemeValue(section, key);
    if (v.empty()) v = defaultName ? defaultName : "";
    if (v.empty()) return std::string();
    if (v.size() > 259) v.resize(GbkSafeLength(v.c_str(), 259));
    return GetSkinFilePath(v.c_str());
}

int GetThemeFilePath(const char* section, const char* key, char* buffer, int size, const char* defaultName) {
    std::string path = GetThemeFilePath(section, key, defaultName);
    if (path.empty() || !buffer || size <= 0 || path.size() + 1 > (size_t)size) return 0;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return (int)path.size();
}

void SplitBorderImage(int length, int head, int tail, int* headEnd, int* tailStart) {
    if (length < 0) length = 0;
    if (head < 0) head = 0;
    if (tail < 0) tail = 0;
    if (head > length) head = length;
    int start = length - tail;
    if (head >= start) start = head + 1;
    if (start > length) start = length;
    if (start < head) start = head;
    *headEnd = head;
    *tailStart = start;
}

void ReadThemeFrameParams(ThemeFrameParams* p) {
    p->colorMask = GetThemeColor("General", "ColorMask", RGB(255, 0, 255));
    p->textShift = GetThemeInt("General", "TextShift", 30);
    p->textShiftVert = GetThemeInt("General", "TextShiftVert", 0);
    p->enableTransparency = GetThemeBool("General", "EnableTransparency", 1);
    p->title = GetThemeFilePath("FrameParams", "Title");
    p->leftBorder = GetThemeFilePath("FrameParams", "LeftBorder");
    p->rightBorder = GetThemeFilePath("FrameParams", "RightBorder");
    p->bottomBorder = GetThemeFilePath("FrameParams", "BottomBorder");
    p->topTopHeight = GetThemeInt("FrameParams", "TopTopHeight", 0);
    p->topBotHeight = GetThemeInt("FrameParams", "TopBotHeight", 0);
    p->leftTopHeight = GetThemeInt("FrameParams", "LeftTopHeight", 0);
    p->leftBotHeight = GetThemeInt("FrameParams", "LeftBotHeight", 0);
    p->rightTopHeight = GetThemeInt("FrameParams", "RightTopHeight", 0);
    p->rightBotHeight = GetThemeInt("FrameParams", "RightBotHeight", 0);
    p->bottomTopHeight = GetThemeInt("FrameParams", "BottomTopHeight", 0);
    p->bottomBotHeight = GetThemeInt("FrameParams", "BottomBotHeight", 0);
    // Every button image is cut into this many frames: zero would divide by zero.
    p->buttonImgCount = GetThemeInt("FrameParams", "ButtonImgCount", 0);
    if (p->buttonImgCount == 0) p->buttonImgCount = 1;
    p->textColorActive = GetThemeColor("FrameParams", "TextColorActive", RGB(21, 66, 139));
    p->textColorInactive = GetThemeColor("FrameParams", "TextColorInactive", RGB(160, 160, 160));
    UINT count = GetThemeInt("FrameParams", "ButtonCount", 0);
    if (count > kMaxFrameButtons) count = kMaxFrameButtons;
    p->buttons.clear();
    for (UINT i = 0; i < count; ++i) {
        char section[32];
        snprintf(section, sizeof(section), "FrameButton%u", i);
        ThemeFrameButton b;
        b.type = GetThemeInt(section, "Type", 0);
        if (b.type > 2) continue;  // unknown kinds are skipped
        b.image = GetThemeFilePath(section, "ButtonImage");
        if (b.image.empty()) continue;  // a section that is missing or names no picture
        b.x = GetThemeInt(section, "XCoord", 0);
        b.y = GetThemeInt(section, "YCoord", 0);
        p->buttons.push_back(b);
    }
}

BOOL CHandleHolder::CloseHandleMember() {
    if (!m_hHandle) return 0;
    BOOL ok = ::CloseHandle(m_hHandle);
    m_hHandle = nullptr;
    return ok;
}
