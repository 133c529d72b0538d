// Helpers shared by the report painter's and the intraday pane's drawing: profile colours, the
// fonts, the caption above the report column and the usual cell texts.
#pragma once

#include <string>

#include "analysis/stprofile.h"
#include "charts/canvas.h"
#include "charts/realtimerules.h"
#include "store/stockinfo.h"

namespace charts {

// The profile's colour of a role, read at every drawing.
inline Color RoleColor(int role) { return Color(GetProfile().GetColor(role)); }
inline Color UpDownColor(double value, double reference) { return RoleColor(UpDownRole(value, reference)); }

inline Font ScaleFont() { return Font(12); }
inline Font ListFont() { return Font(13); }
inline Font TitleFont() { return Font(16, true); }

// Fill with colour 15 and frame with colour 16.
inline void FillAndFrame(Canvas& c, const Rect& r) {
    c.FillRect(r, RoleColor(15));
    c.FrameRect(r, RoleColor(16));
}

// A one-pixel line of a colour, the end point included (the block's separators span the width).
inline void HLine(Canvas& c, int x1, int x2, int y, Color colour, int width = 1) {
    c.Line(x1, y, x2, y, colour, width, kPenSolid);
}

// Name in colour 24 at (left + nameX, top - 20), cut to whole characters that end before the code
// caption, and the code caption in colour 25 at (left + 100).
std::string FitText(Canvas& c, const std::string& text, const Font& font, int width);
void DrawColumnCaption(Canvas& c, const CStockInfo& info, int left, int top, int nameX = 30);

// printf into a std::string.
std::string Fmt(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace charts
