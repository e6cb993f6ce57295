#pragma once

#include <string_view>

namespace torvex {

// Whole-text match of `text` against `pattern`, where "*" stands for any run of characters and
// letters compare without regard to case. Each literal piece after a "*" is taken at its first
// occurrence, without backtracking: "*.htm" does not match "a.htm.htm".
bool WildcardMatch(std::string_view text, std::string_view pattern);

// True when `text` matches one of the entries of `list`, separated by ";". Entries are not
// trimmed and empty entries are skipped.
bool WildcardListMatch(std::string_view text, std::string_view list);

} // namespace torvex
