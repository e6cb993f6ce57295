#pragma once

#include <string>

namespace torvex {

// The folder that holds the running program file (from /proc/self/exe), without a trailing "/";
// empty when the system does not tell. Any thread may call it.
std::string ProgramDirectory();

// The running program file itself (from /proc/self/exe); empty when the system does not tell.
std::string ProgramPath();

// How to name the running program in a hint the user may type: `name` when a search of PATH
// for it finds this very program file (through links too), else the program file's full path.
std::string CommandNameForHints(const std::string& name);

} // namespace torvex
