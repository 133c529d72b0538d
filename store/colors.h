// The built-in colour schemes: 38 colour references (0x00BBGGRR) each.
#pragma once

#include "base/platform.h"
#include "store/sparray.h"

typedef CSPArray<COLORREF, COLORREF> CColorArray;

constexpr int kColorSlotCount = 38;
constexpr int kColorSchemeCount = 4;
// Scheme names in the order the profile installs them.
extern const char* const kColorSchemeNames[kColorSchemeCount];

// Base colours: 38 slots, white outside 7 to 31.
void SetTraditionalColors(CColorArray& colors);
// The base colours with slot 0 and slots 7 to 31 of the scheme.
void SetByzantineColors(CColorArray& colors);
void SetGothicColors(CColorArray& colors);
void SetBaroqueColors(CColorArray& colors);
// By position in kColorSchemeNames; any other value gives the base colours.
void SetSchemeColors(int scheme, CColorArray& colors);
