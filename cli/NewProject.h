#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "project/CProjectSettings.h"

namespace torvex {

// What "torvex-cli new" (or "mirror") was asked to make.
struct NewProjectRequest {
    std::string projectDir;
    std::vector<std::string> urls;           // the start addresses, in order
    std::vector<CliSetting> settings;        // options and Key=Value, in the order given
    bool force = false;                      // replace an existing project.conf
    std::string defaultsPath;                // the defaults file; missing means built-ins
};

// How it went: Finished with the project written, Usage for a refused request, Error when the
// folder or the file could not be made. `message` says what to tell the user.
struct NewProjectOutcome {
    CliExit exit = CliExit::Finished;
    std::string message;
    std::vector<std::string> warnings;   // values brought into range or cut, to be shown
    std::string confPath;
    CProjectSettings settings;   // as written (meaningful when Finished)
};

// The settings "mirror" applies: its own defaults first (connections kept open, as wget keeps
// them), then `given`, so that an option or Key=Value of the user's wins.
std::vector<CliSetting> MirrorSettings(const std::vector<CliSetting>& given);

// The project name a folder gives: its last component ("sites/news/" gives "news").
std::string ProjectNameFromDir(std::string_view dir);

// Makes the project of `request`: the defaults, a start address for each URL (the defaults
// file's level and filter), then every setting applied in order as ApplyCliSetting checks and
// applies it (project-wide keys to the project, the keys of a "[URL]" section to every address).
// Refuses an address that does not parse, an unsupported scheme, a value the key does not take,
// an unknown key, and an existing project.conf unless `force`. Writes
// <projectDir>/project.conf, creating the folder. Called on one thread.
NewProjectOutcome CreateNewProject(const NewProjectRequest& request);

} // namespace torvex
