#pragma once

#include <ctime>
#include <string_view>

#include "project/CFileTypeFilter.h"
#include "project/CUrlFilter.h"
#include "url/CUrl.h"

// The two filters that decide whether a found address may become a download: the URL filter of
// the start address it descends from (protocol, host, path) and the project's file-type filter.
// Pure functions of their arguments; any thread.

namespace torvex {

// True when `filter` refuses `candidate`. `startUrl` is the text of the start address the
// filter belongs to ("$DATE" is expanded with `datePattern` before it is parsed), `datePattern`
// also expands "$DATE" in path items, for the date of `when` (UTC).
bool UrlFilterRefuses(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                      std::string_view datePattern, std::time_t when);
// The same for today.
bool UrlFilterRefuses(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                      std::string_view datePattern);

// One item of a path list: "host/path" or "/path" is matched against the whole path (query
// included), or against the candidate's directory when it ends in "/"; an item without "/"
// against the file name. "$DATE" in the item is expanded first.
bool PathItemMatches(const CUrl& candidate, std::string_view item, std::string_view datePattern,
                     std::time_t when);

// True when the file-type filter refuses the candidate's file name. A directory address (empty
// file name) is never refused: callers judge it as "index.html".
bool IsFileTypeExcluded(const CFileTypeFilter& filter, const CUrl& candidate);

} // namespace torvex
