// The skin in use (one folder of pictures plus its theme.ini) and the readers of theme values.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

// Exists while a skin is selected.
class CSkinManager {
public:
    virtual ~CSkinManager() = default;
};

// Selects the skin on the first call ("Default" unless a name is given) and returns the
// manager; later calls change nothing.
CSkinManager* LoadSkin(const char* name = nullptr);
// Deletes the manager; the next LoadSkin selects again.
void DestroySkinManager();
// The skin folder, "\" and the file name.
std::string GetSkinFilePath(const char* file);
// The selected skin's name and folder (no trailing backslash), after LoadSkin.
const std::string& GetSkinName();
const std::string& GetSkinFolder();
const std::string& GetThemePath();

// The running program's folder with its trailing backslash (".\\" when unknown).
std::string GetModuleDirectory();
// The parent of an existing directory (with a trailing backslash); other input unchanged.
std::string GetParentDirectory(const std::string& path);
// Where the skin of that name lives: beside the program, else beside its parent folder.
std::string ResolveSkinFolder(const std::string& moduleDir, const std::string& name);

// Value rules of the theme file.
COLORREF ParseThemeColor(const char* text);
// A count or position: digits with optional leading blanks; a negative value or one without
// digits is invalid (false), a huge one is cut to kThemeNumberMax.
bool ParseThemeNumber(const char* text, UINT* value);
int ParseBool(const char* text, int defaultValue);

enum : UINT {
    kThemeNumberMax = 32767,  // no picture, count or offset of a skin is larger
    kMaxFrameButtons = 16,
};

// Readers of one value of the selected skin's theme.ini (missing or empty: the default).
COLORREF GetThemeColor(const char* section, const char* key, COLORREF defaultValue);
UINT GetThemeInt(const char* section, const char* key, UINT defaultValue);
int GetThemeBool(const char* section, const char* key, int defaultValue);
// The full path of the named file in the skin folder, copied into buffer; its length, or 0 when
// it does not fit (the buffer is then untouched) or no name is given.
int GetThemeFilePath(const char* section, const char* key, char* buffer, int size, const char* defaultName);
std::string GetThemeFilePath(const char* section, const char* key, const char* defaultName = nullptr);

// The frame settings of the theme, read whole and made safe to use.
struct ThemeFrameButton {
    std::string image;  // full path
    UINT type;          // 0 close, 1 maximise (second: restore), 2 minimise
    UINT x;             // window's right edge to the button's left edge
    UINT y;             // window's top to the button's top
};

struct ThemeFrameParams {
    COLORREF colorMask;
    UINT textShift;
    UINT textShiftVert;
    int enableTransparency;
    std::string title, leftBorder, rightBorder, bottomBorder;  // full paths ("" when not named)
    UINT topTopHeight, topBotHeight;
    UINT leftTopHeight, leftBotHeight;
    UINT rightTopHeight, rightBotHeight;
    UINT bottomTopHeight, bottomBotHeight;
    UINT buttonImgCount;  // at least 1, so that a frame width can be taken from it
    COLORREF textColorActive;
    COLORREF textColorInactive;
    std::vector<ThemeFrameButton> buttons;  // at most kMaxFrameButtons; types 0-2 with a picture
};
void ReadThemeFrameParams(ThemeFrameParams* params);

// Where the fixed head ends and the fixed tail starts along a border image of `length` pixels:
// the tail starts at length - tail, or at head + 1 when the head reaches that far; both kept
// inside the image.
void SplitBorderImage(int length, int head, int tail, int* headEnd, int* tailStart);

// A holder of one kernel handle.
class CHandleHolder {
public:
    HANDLE m_hHandle = nullptr;
    virtual ~CHandleHolder() = default;
    // Closes and clears the handle; 0 when none was held.
    BOOL CloseHandleMember();
};
