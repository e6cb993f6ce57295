#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/ExitStatus.h"
#include "project/CProjectSettings.h"

namespace torvex {

// What "torvex-cli new" was asked to make.
struct NewProjectRequest {
    std::string projectDir;
    std::string url;
    std::vector<std::string> assignments;   // "Key=Value" texts
    bool force = false;                      // replace an existing project.conf
    std::string defaultsPath;                // the defaults file; missing means built-ins
};

// How it went: Finished with the project written, Usage for a refused request, Error when the
// folder or the file could not be made. `message` says what to tell the user.
struct NewProjectOutcome {
    CliExit exit = CliExit::Finished;
    std::string message;
    std::string confPath;
    CProjectSettings settings;   // as written (meaningful when Finished)
};

// The project name a folder gives: its last component ("sites/news/" gives "news").
std::string ProjectNameFromDir(std::string_view dir);

// Makes the project of `request`: the defaults, one start address, then every assignment
// applied as if it stood in project.conf (project-wide keys, and the keys of the address's
// "[URL]" section), clamped as loading clamps. Refuses an address that does not parse, an
// unsupported scheme, an unknown key, a value with a line break, and an existing project.conf
// unless `force`. Writes <projectDir>/project.conf, creating the folder. Called on one thread.
NewProjectOutcome CreateNewProject(const NewProjectRequest& request);

} // namespace torvex
