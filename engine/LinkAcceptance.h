#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "project/CFileTypeFilter.h"
#include "project/CUrlFilter.h"

namespace torvex {

// Bits of the project's `FileType` switches.
constexpr int kFileTypeNoImages = 1;
constexpr int kFileTypeNoDropdownLists = 2;

// What judges the links that descend from one start address.
struct CStartAddressRules {
    CUrlFilter filter;
    std::string startUrl;       // the address's text; "$DATE" is expanded with datePattern
    std::string datePattern = "yyyymmdd";
    int level = 0;              // deepest level followed; 0: no limit
};

// Everything `LinkAcceptance` judges with, taken from a run's copy of the project settings when
// the run starts and only read afterwards, so the parse thread and the workers may share it.
struct CLinkRules {
    int fileType = 0;           // kFileTypeNoImages | kFileTypeNoDropdownLists
    CFileTypeFilter fileTypes;
    std::vector<CStartAddressRules> startAddresses;
};

// The one decision whether a found address becomes a download. `composed` is the absolute
// address (a directory address already ends in "index.html"), `level` the level the link would
// have, `tagCode` the tag that produced it, `startIndex` the start address it descends from.
// The first refusing rule wins: the image and dropdown-list switches; the start address's URL
// filter (for anchors, areas and options, or for every link when FilterSameLevel is set); the
// file-type filter; the level limit. An address that does not parse, or an unknown start index,
// is refused.
bool LinkAcceptance(const CLinkRules& rules, std::string_view composed, int level, int tagCode,
                    int startIndex, std::time_t when);
// The same for today's date.
bool LinkAcceptance(const CLinkRules& rules, std::string_view composed, int level, int tagCode,
                    int startIndex);

} // namespace torvex
