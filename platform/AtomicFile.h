#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Writes `text` as the whole new content of `path`: into a fresh temporary file of a unique name
// beside it (readable by the owner only), which is then renamed over `path`. Readers see the old
// content or the new, never a part; two writers at once never share a temporary file; and a
// symbolic link at `path` is replaced rather than followed, so nothing is written outside the
// folder. The folder is not created. False on failure, with the temporary file removed.
bool ReplaceFileUniquely(const std::string& path, std::string_view text);

} // namespace torvex
