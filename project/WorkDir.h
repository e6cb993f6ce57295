#pragma once

#include <string>
#include <string_view>

// The working directory is where the program keeps its own files (the folder tree, the Config
// folder with the application settings and the defaults for new projects). It is the folder of
// the program file, unless the environment variable TORVEX_HOME names another one (tests,
// installed copies where the program's folder is not writable).

namespace torvex {

constexpr std::string_view kConfigDirName = "Config";
constexpr std::string_view kDefaultSettingsName = "default.conf";
constexpr std::string_view kHomeVariable = "TORVEX_HOME";

// TORVEX_HOME when set and not empty, else the program's folder; without a trailing "/".
std::string WorkingDirectory();
// <working directory>/Config. Not created here: it is made when a file is first saved into it.
std::string ConfigDir();

} // namespace torvex
