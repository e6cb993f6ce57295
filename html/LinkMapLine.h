#pragma once

#include <string>
#include <string_view>

// A link map lists the links of one stored page in the order the page parser meets them, one
// line each: the address, TAB, the link code left-justified in three columns, TAB, LF. A script
// file's map begins with a base line: the including page's address, TAB, "-1", TAB, LF. The link
// conversion counts these lines to pair them with the links it finds in the stored page, so every
// writer of link maps formats them here.

namespace torvex {

// Appends "<url>\t<code, left-justified in 3>\t\n". The address ends at an embedded NUL, as the
// text it stands for would.
void AppendLinkMapLine(std::string& out, std::string_view url, int code);

// Appends the base line "<url>\t-1\t\n".
void AppendLinkMapBaseLine(std::string& out, std::string_view url);

} // namespace torvex
