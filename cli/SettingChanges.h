#pragma once

#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "project/CProjectSettings.h"

namespace torvex {

// Applies one setting of the command line (an option or a Key=Value) to the settings of a new
// project whose start addresses are in place: project-wide keys to the project, the keys of a
// start address to every address. The value is checked as it enters: a value the key (or the
// option) does not take gives the usage error, naming what was typed and what it accepts; a
// number out of range is brought into it and a text cut to its capacity, with a warning in
// `warnings` saying to what; an unknown key suggests the nearest known one. Returns the error,
// empty when the setting was applied.
std::string ApplyCliSetting(CProjectSettings& settings, const CliSetting& setting,
                            std::vector<std::string>& warnings);

} // namespace torvex
