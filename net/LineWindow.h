#pragma once

#include <cstddef>
#include <string>

namespace torvex {

// Takes the first complete line (its LF included) out of the `count` bytes at `window`, moving
// the rest to the front; `searched` bytes are known to hold no LF. The line is cut to
// `capacity` - 1 bytes into `line`; returns the bytes kept, or -1 when no line is complete yet
// (then `searched` = `count`, and the caller receives more). Used by the sockets that read
// server replies line by line through a fixed window.
int TakeWindowLine(char* window, int& count, int& searched, std::string& line,
                   std::size_t capacity);

} // namespace torvex
