// The company-information text cut into pages by its section headings ("、========" lines).
#pragma once

#include <map>
#include <string>
#include <vector>

// The 16 page titles in tab order (tab ids 100 to 115).
const std::vector<std::string>& F10PageTitles();

// Title to page text; the first section with a title wins. False (map empty) without text.
// The text is GBK; the length given is used, not a terminating zero.
bool ParsePages(const char* text, int length, std::map<std::string, std::string>& pages);
