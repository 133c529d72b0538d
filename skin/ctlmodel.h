// The parts of the skinned controls that need no window: fade arithmetic, layouts, scrolling,
// hit tests, menu measuring and colour rules, link policy. The Win32 controls draw through these,
// and native tests check them directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A rectangle in pixels; right and bottom lie outside.
struct SkinRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    SkinRect() = default;
    SkinRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const SkinRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Milliseconds of the control clock (GetTickCount under Windows). Tests put their own clock in.
typedef std::function<uint32_t()> SkinTickSource;
uint32_t SkinTick();
SkinTickSource SetSkinTickSource(SkinTickSource source);  // empty: the system clock; returns the old one

// ---- Links -------------------------------------------------------------------------------------

// Only web pages are opened from text the service sends: "http://" or "https://" (any case) with
// a host, and no blank, control character or quote that could split the browser's command line.
bool IsWebUrl(const char* url);

// A label with link tags, "before<A>link</A>after" (tag names in any case). False when the label
// has no complete pair; the parts are then untouched.
bool SplitLinkTags(const std::string& label, std::string* before, std::string* link, std::string* after);

// Number of characters of GBK text (a double-byte character counts once).
int GbkCharCount(const std::string& text);

// ---- Fade buttons ------------------------------------------------------------------------------

enum : int { kFadeDisabled = 0, kFadeNormal = 1, kFadeHover = 2, kFadePressed = 3 };

// The frame a fade button shows: hover, pressed, disabled, then the button's own pushed (4) and
// checked (1) state bits, later rules winning.
int DecideFadeState(bool hover, bool pressed, bool disabled, unsigned buttonState);

// The cross-fade between two frames of a fade button.
class CFadeState {
public:
    int current = kFadeNormal;
    int previous = kFadeNormal;
    unsigned alpha = 255;   // 255: no fade running
    uint32_t lastTick = 0;
    int step = 13;          // milliseconds per 10 alpha units

    // Starts showing `state` at `now`. A change between two frames that are not "pressed", on a
    // visible window, fades; any other change is immediate. True when a fade now runs.
    bool Change(int state, bool visible, uint32_t now);
    // Moves the fade on to `now`; true while it still runs.
    bool Advance(uint32_t now);

    struct Layer {
        int frame;
        unsigned alpha;  // constant alpha of the blend
    };
    // What to blend, bottom first; the count (1 or 2).
    int Layers(Layer out[2]) const;
};

// Frame width of a dark command button: 20, plus the icon's frame, the caption (and 4 between
// icon and caption), plus 10 for a drop arrow.
int DarkButtonFrameWidth(int iconWidth, bool hasIcon, int captionWidth, bool hasCaption, bool dropArrow);

// Which buttons of a command bar fit: a button shows when its right edge is left of width - 5.
std::vector<bool> CommandBarVisibility(const std::vector<int>& rightEdges, int clientWidth);

// ---- News ticker -------------------------------------------------------------------------------

struct NewsItem {
    std::string text;
    std::string url;  // may be empty: the headline opens nothing
};

enum : size_t { kMaxNewsItems = 200 };
enum : int { kMaxTickerStrip = 32000 };  // pixels; headlines past it are left out

// Lines "headline\tlink\r\n": one record per non-empty headline, with its own link (or none).
std::vector<NewsItem> ParseNewsText(const std::string& text);

// The ticker's strip of headlines and its scrolling position.
class CTickerModel {
public:
    struct Extent {
        int xStart, xEnd;  // strip pixels, both ends belong to the headline
    };
    // Lays out headlines of the given widths one after another, up to kMaxTickerStrip pixels;
    // returns how many fit.
    size_t SetWidths(const std::vector<int>& widths);
    const std::vector<Extent>& Extents() const { return m_extents; }
    int StripWidth() const { return m_stripWidth; }

    int offset = 0;
    bool scrolling = true;

    // The part of the strip that a window `cw` wide and `ch` high shows: strip columns from
    // srcX, `width` wide and `height` high, drawn at window column destX. Never outside the strip.
    struct Copy {
        int destX, srcX, width, height;
    };
    Copy Visible(int cw, int ch, int stripHeight) const;
    // One paint's step: one pixel on while scrolling; back to 0 once the strip has left.
    void Advance(int cw);
    // The headline under window column x, or -1. On the shared edge of two headlines the first.
    int HitTest(int x, int cw) const;

private:
    std::vector<Extent> m_extents;
    int m_stripWidth = 0;
};

// The first of the spans that holds x (both ends included), or -1.
int HitSpan(const std::vector<std::pair<int, int>>& spans, int x);

// ---- Tab bar ------------------------------------------------------------------------------------

enum : unsigned { kTabSelected = 0x8, kTabFour = 0x4, kTabHover = 0x40 };

class CTabBarModel {
public:
    struct Item {
        int id = 0;
        std::string text;
        unsigned flags = 0, previousFlags = 0;
        SkinRect rect;
        uint32_t fadeStart = 0, fadeEnd = 0;  // both 0 when no fade runs
        bool Fading() const { return fadeStart != fadeEnd; }
    };
    std::vector<Item> items;
    bool vertical = false;

    void AddItem(int id, const std::string& text);
    // Item rectangles from the text widths in the bar font and its line height.
    void Layout(int lineHeight, const std::function<int(const std::string&)>& textWidth);
    // The first item holding the point, or -1.
    int HitTest(int x, int y) const;
    int FindId(int id) const;
    // The target gains setFlags (no fade); every other item loses clearFlags, fading for fadeMs when
    // its dominant state is among them. Indexes of changed items go to `changed`; true when a fade
    // was started.
    bool ChangeItemStates(int target, unsigned setFlags, unsigned clearFlags, uint32_t fadeMs, uint32_t now,
                          std::vector<int>* changed);
    // A timer tick: items that fade go to `changed`, finished fades are cleared; true while any runs.
    bool Tick(uint32_t now, std::vector<int>* changed);

    // Image frame of a state: selected 1, else flag 4 2, else hover 3, else 0.
    static int FrameOf(unsigned flags);
    // Progress 0-255 of an item's fade at `now` (255 when none runs).
    static unsigned FadeProgress(const Item& item, uint32_t now);
};

// ---- Skinned frame -------------------------------------------------------------------------------

// Hit codes of the frame, as Windows numbers them; caption menu button i answers 1000 + i.
enum : int {
    kHitClient = 1, kHitCaption = 2, kHitSysMenu = 3, kHitMinimize = 8, kHitMaximize = 9, kHitLeft = 10,
    kHitRight = 11, kHitTop = 12, kHitTopLeft = 13, kHitTopRight = 14, kHitBottom = 15, kHitBottomLeft = 16,
    kHitBottomRight = 17, kHitClose = 20, kHitMenuButton = 1000,
};

struct NcGeometry {
    int width = 0, height = 0;                  // the window
    int left = 0, right = 0, bottom = 0, caption = 0;  // border sizes
    bool sizing = false, minimizeBox = false, maximizeBox = false, maximized = false;
    SkinRect close, minimize, maximize;        // window coordinates; empty when missing
    std::vector<SkinRect> menuButtons;         // window coordinates
    int iconWidth = 16, iconHeight = 16;
};
int NcHitTest(const NcGeometry& g, int x, int y);
inline bool IsSizingHit(int code) { return code >= kHitLeft && code <= kHitBottomRight; }

// One piece of a border drawn along its axis: `length` image pixels from `src` placed at `dest`.
struct BorderTile {
    int dest, src, length;
};
// Head, tiled middle and tail of a border image `imageLength` long covering `length` pixels from
// `start`; head ends at headEnd, the tail starts at tailStart.
std::vector<BorderTile> TileBorder(int start, int length, int imageLength, int headEnd, int tailStart);

// ---- Owner-drawn menus --------------------------------------------------------------------------

// The label and the accelerator text of a menu text, split at its first tab.
void SplitMenuText(const std::string& text, std::string* label, std::string* accelerator);
// Width of a text menu item: text + extra + 2 button widths - the check mark width + 6.
int MenuItemWidth(int textWidth, int extraWidth, int buttonWidth, int checkWidth);
int MenuItemHeight(int fontHeight);  // |font height| + 10

// Colours of the menus, each a rule over the HSL bytes of a system colour.
enum class MenuColor {
    IconBand, TextArea, SelectionFill, DisabledText, CheckDisabled, CheckSelected, CheckOther,
};
struct HslBytes {
    int h, s, l;  // 0-255 each
};
// Whether a role derives from the highlight colour (else from the button face).
bool MenuColorFromHighlight(MenuColor role);
HslBytes ApplyMenuColorRule(MenuColor role, HslBytes c);

// ---- Pixels ----------------------------------------------------------------------------------------

// GDI leaves alpha 0 on what it draws into a 32-bit strip; a later per-pixel blend would then drop
// (or wrap) those pixels. Every pixel that differs from `before` becomes opaque.
void MarkDrawnPixelsOpaque(const uint32_t* before, uint32_t* after, size_t count);

// Channel of band i (0-254) of a 255-band gradient from start to end.
int GradientChannel(int start, int end, int band);
