#pragma once

#include <string>
#include <string_view>

// The content test that tells a stored file that came without a type from the server whether
// it is a page. Free functions; any thread.

namespace torvex {

// True when `text`, after leading tab, LF, CR, space and NUL bytes, begins with "<HTML>",
// "<SCRIPT" or "<!" in any case. An html tag carrying attributes is recognised only through a
// leading "<!" such as a document type line.
bool IsHtmlContent(std::string_view text);

// IsHtmlContent applied to the file at `path`; false for an empty file or one that cannot be
// read. Reads only as far as the blank bytes at its start and the tag after them.
bool IsHtmlText(const std::string& path);

} // namespace torvex
