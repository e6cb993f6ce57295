#pragma once

#include <string>

#include "project/CProjectTree.h"

// What OK in the property dialog and in "Default Settings" does with the edited copy of the
// settings. Front end's thread.

namespace torvex {

// Whether the property dialog may change a project's addresses and directory: not while it runs
// or waits (its run was made from them and is found again by its directory).
bool AddressesEditable(const CTreeNode& node);

// The project's settings become `edited` (its first address stand-alone and enabled, every value
// in range); the tree and the project's project.conf are saved. False, with `error` the message
// to show, when a file could not be written (the settings are changed all the same).
bool ApplyProperties(CProjectTree& tree, CTreeNode& node, CProjectSettings edited,
                     std::string& error);

// <workDir>/Config/default.conf.
std::string DefaultSettingsFile(const std::string& workDir);
// The defaults file new projects and addresses start from: the working directory's, or while it
// has none the one installed in <installDir>/Config (as torvex-cli reads it, so that a project
// made by either program starts alike). Names the working directory's when neither exists.
std::string DefaultsSourceIn(const std::string& workDir, const std::string& installDir);
// The defaults for new projects and addresses: the built-in values, then what the defaults file
// says (DefaultsSourceIn with the program's own folder unless `installDir` is given).
CProjectSettings LoadDefaultsIn(const std::string& workDir);
CProjectSettings LoadDefaultsIn(const std::string& workDir, const std::string& installDir);
// Writes default.conf (creating the Config folder); false, with `error` the message to show,
// when it cannot be written.
bool SaveDefaultsIn(const std::string& workDir, CProjectSettings defaults, std::string& error);

} // namespace torvex
