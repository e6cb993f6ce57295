#pragma once

#include <string>

namespace torvex {

// The folder that holds the running program file (from /proc/self/exe), without a trailing "/";
// empty when the system does not tell. Any thread may call it.
std::string ProgramDirectory();

} // namespace torvex
