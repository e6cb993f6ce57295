#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "project/CFileTypeFilter.h"

namespace torvex {

// Changes to a project's file-type filter by extension, as "fetch only these" and "never fetch
// these" lists ask for them (the command line's --accept and --reject). Plain functions on the
// filter; the caller owns it.

// The extensions of a comma-separated list as users type them ("pdf, .ZIP,tar.gz"): blanks
// taken away, only the text after an item's last dot kept (a file's extension: "tar.gz" is
// "gz"), lower case, empty items and repeats passed over. False, with `bad` the offending item,
// for an item that ends in a dot or whose extension holds "|" or ";" (which separate the stored
// lists).
bool ParseExtensionList(std::string_view text, std::vector<std::string>& extensions,
                        std::string& bad);

// Fetch only `extensions`: the lists decide (NoFileFilter 0), an extension no list holds is left
// out (FilterOther 1), each listed extension outside the HTML group is retrieved when it is one
// of `extensions` and left out otherwise, and the extensions no group holds are added to the
// last group. The HTML group is kept, so pages are still fetched and their links followed.
// False when a group would pass its capacity (the filter is then unchanged).
bool AcceptOnlyExtensions(CFileTypeFilter& filter, const std::vector<std::string>& extensions);

// Never fetch `extensions`: the lists decide (NoFileFilter 0), each of them is left out where a
// group lists it and added, left out, to the last group where none does. False when a group
// would pass its capacity (the filter is then unchanged).
bool RejectExtensions(CFileTypeFilter& filter, const std::vector<std::string>& extensions);

} // namespace torvex
