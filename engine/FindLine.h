#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvex {

// Files are searched in windows of this many bytes, so a search never holds more in memory.
constexpr std::size_t kSearchWindow = 500000;

// Searches the file at `path` for the first line that begins with `key` (for a status log the
// URL text followed by a TAB, so a hit is the entry's own line and never a longer address that
// ends with the same text). Returns the file position of the line, and copies the line from the
// hit up to the next LF (a trailing CR removed) into `line`; -1 when the file is missing,
// unreadable or has no such line. For one look-up in a file that is read once; a running task
// answers its own repeated look-ups from CStatusLog's index instead.
std::int64_t FindLine(const std::string& path, std::string_view key, std::string& line);

} // namespace torvex
