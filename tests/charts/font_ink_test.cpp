// Every font the client draws with shows the signs and digits of a price: a face that leaves out
// the hyphen turns -6.85 into 6.85 without anyone noticing.
#include "base/gdicache.h"
#include "charts/dib.h"
#include "charts/gdicanvas.h"
#include "skin/skinctl.h"
#include "winfw/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace charts;

namespace {

using chart_test::Dib;

const Color kInk = MakeColor(255, 255, 255), kBack = MakeColor(0, 0, 0);

// Draws a text with its top-left corner at (x, y) in white.
using DrawText = std::function<void(Dib&, int x, int y, const std::string&)>;

struct FontCase {
    std::string name;
    DrawText draw;
};

// The box around the inked pixels of one drawing; empty when nothing was drawn.
struct Ink {
    int pixels = 0;
    Rect box;
};

Ink InkOf(const FontCase& fc, const std::string& text) {
    Dib dib(240, 80);
    {
        GdiCanvas c(dib.dc());
        c.FillRect(Rect(0, 0, 240, 80), kBack);
    }
    fc.draw(dib, 10, 10, text);
    Ink ink;
    ink.box = Rect(240, 80, 0, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 240; ++x) {
            if (dib.At(x, y) == kBack) continue;
            ++ink.pixels;
            ink.box = Rect(std::min(ink.box.left, x), std::min(ink.box.top, y), std::max(ink.box.right, x + 1),
                           std::max(ink.box.bottom, y + 1));
        }
    return ink;
}

// Through the chart canvas, as every pane, report and ranking draws.
FontCase CanvasCase(int height, bool bold) {
    return {"canvas " + std::to_string(height) + (bold ? " bold" : ""),
            [=](Dib& dib, int x, int y, const std::string& text) {
                GdiCanvas c(dib.dc());
                c.Text(x, y, text, kInk, Font(height, bold), kAlignLeft | kAlignTop);
            }};
}

// A font handle drawn with TextOut; owned fonts are deleted after the drawing.
FontCase HandleCase(const std::string& name, std::function<HFONT()> make, bool owned) {
    return {name, [=](Dib& dib, int x, int y, const std::string& text) {
                HFONT font = make();
                ASSERT_NE(font, nullptr) << name;
                HGDIOBJ old = ::SelectObject(dib.dc(), font);
                ::SetBkMode(dib.dc(), TRANSPARENT);
                ::SetTextColor(dib.dc(), kInk);
                ::TextOutA(dib.dc(), x, y, text.data(), static_cast<int>(text.size()));
                ::SelectObject(dib.dc(), old);
                if (owned) ::DeleteObject(font);
            }};
}

FontCase LogFontCase(const std::string& name, std::function<bool(LOGFONTA*)> describe) {
    return HandleCase(name, [=]() -> HFONT {
        LOGFONTA lf = {};
        return describe(&lf) ? CreateGbkFont(lf) : nullptr;
    }, true);
}

std::vector<FontCase> ClientFonts() {
    std::vector<FontCase> cases;
    // The chart face at every height a pane may ask for, normal and bold.
    for (int h = 9; h <= 24; ++h)
        for (bool bold : {false, true}) cases.push_back(CanvasCase(h, bold));
    // The same face by character height (dialogs at 9 points, the caption), and in the GB2312 set
    // that the system's own Chinese fonts carry.
    for (int h = -9; h >= -24; --h)
        cases.push_back(HandleCase("宋体 " + std::to_string(h), [h] { return GetGdiCache()->GetFont(h, "宋体", false); }, false));
    for (int h : {-12, 12, 13, 14, 15, 16})
        cases.push_back(LogFontCase("宋体 GB2312 " + std::to_string(h), [h](LOGFONTA* lf) {
            lf->lfHeight = h;
            lf->lfCharSet = GB2312_CHARSET;
            lstrcpynA(lf->lfFaceName, "宋体", LF_FACESIZE);
            return true;
        }));
    for (int h : {12, 14, -12})
        cases.push_back(HandleCase("CFont 宋体 " + std::to_string(h), [h] {
            CFontHandle f;
            return f.CreateFont(h, "宋体");
        }, true));
    // The status bar and the caption.
    for (bool bold : {false, true})
        cases.push_back(LogFontCase(std::string("Arial 14") + (bold ? " bold" : ""), [bold](LOGFONTA* lf) {
            lf->lfHeight = 14;
            lf->lfWeight = bold ? FW_BOLD : FW_NORMAL;
            lstrcpynA(lf->lfFaceName, "Arial", LF_FACESIZE);
            return true;
        }));
    // The system's menu font (menus, buttons; bold for the default item) and message font (lists).
    for (int extra : {0, 200})
        cases.push_back(LogFontCase("menu font +" + std::to_string(extra), [extra](LOGFONTA* lf) {
            if (!GetMenuLogFont(lf)) return false;
            lf->lfWeight += extra;
            return true;
        }));
    cases.push_back(LogFontCase("message font", [](LOGFONTA* lf) {
        NONCLIENTMETRICSA ncm = {};
        ncm.cbSize = sizeof(ncm);
        if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return false;
        *lf = ncm.lfMessageFont;
        lf->lfCharSet = DEFAULT_CHARSET;
        return true;
    }));
    cases.push_back(LogFontCase("MS Sans Serif -11", [](LOGFONTA* lf) {
        lf->lfHeight = -11;
        lstrcpynA(lf->lfFaceName, "MS Sans Serif", LF_FACESIZE);
        return true;
    }));
    // The lists' fallback, the chart window's and a window DC's own font.
    const struct { const char* name; int id; } stock[] = {
        {"DEFAULT_GUI_FONT", DEFAULT_GUI_FONT}, {"ANSI_VAR_FONT", ANSI_VAR_FONT}, {"SYSTEM_FONT", SYSTEM_FONT}};
    for (const auto& s : stock)
        cases.push_back(HandleCase(s.name, [id = s.id] { return (HFONT)::GetStockObject(id); }, false));
    return cases;
}

}  // namespace

TEST(FontInk, EveryClientFontDrawsSignsDigitsAndChinese) {
    for (const FontCase& fc : ClientFonts()) {
        for (const char* sample : {"-", "+", ".", "%", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "上证指数"})
            EXPECT_GT(InkOf(fc, sample).pixels, 0) << fc.name << ": nothing drawn for " << sample;
        // A minus is a short level stroke in the middle of the line, and it shows inside a number.
        const Ink minus = InkOf(fc, "-"), digit = InkOf(fc, "8");
        if (minus.pixels > 0 && digit.pixels > 0) {
            EXPECT_GE(minus.box.Width(), 2) << fc.name;
            EXPECT_GE(minus.box.Width(), minus.box.Height()) << fc.name;
            EXPECT_GT(minus.box.top, digit.box.top) << fc.name << ": the minus is not below the digits' top";
            EXPECT_LT(minus.box.bottom, digit.box.bottom) << fc.name << ": the minus is not above the digits' foot";
        }
        EXPECT_GT(InkOf(fc, "-6.85").pixels, InkOf(fc, "6.85").pixels) << fc.name << ": -6.85 draws as 6.85";
    }
}
