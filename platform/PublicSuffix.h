#pragma once

#include <string_view>

namespace torvex {

// Whether `domain` (lower or upper case, with or without a leading dot) is a public suffix: a
// name under which anyone may register ("com", "co.uk", "github.io"), so that a cookie set for
// it would reach every site below it. Reads the system's public-suffix list (the one libpsl
// knows, falling back to the list built into the library) once, on first use; any thread may
// call it.
bool IsPublicSuffix(std::string_view domain);

} // namespace torvex
