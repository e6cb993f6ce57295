#pragma once

#include <string>
#include <vector>

namespace torvex {

// Starts the program file `program` (a path, not looked up in PATH) with `arguments` as a new
// process in a session of its own, with standard input and both outputs on /dev/null, and does
// not wait for it. False when it could not be started. Programs started earlier that have ended
// since are collected on each call, so a long-lived caller keeps no zombies. Any thread may call.
bool StartProgramDetached(const std::string& program, const std::vector<std::string>& arguments);

} // namespace torvex
