#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/AddressCheck.h"
#include "project/CProjectTree.h"

// What the new-project wizard decides: where the project goes, what its pages start with, and
// the project its values make. Front end's thread.

namespace torvex {

// The values of the wizard's two pages.
struct CWizardValues {
    std::string name;
    std::string directory;
    std::string address = std::string(kEmptyAddressText);
    int level = 2;
    bool backupLatest = true;
};

// The folder a new project goes into: the selected folder or root, or the selected project's
// parent; the root when nothing is selected.
CTreeNode& WizardTargetFolder(CTreeNode* selected, CTreeNode& root);

// What the pages start with: the level and "Backup latest record" from the defaults. With the
// clipboard monitor on and nothing pending, a valid address on the clipboard becomes pending
// first; when both pending values are set they become the address and the name (and the
// proposed directory), and the pending values are cleared; otherwise the address is "http://".
CWizardValues WizardStartValues(const CProjectSettings& defaults, CPendingAddress& pending,
                                bool clipMonitor, std::string_view clipboardText,
                                std::string_view defaultDir);

// The directory field's value after the name changed from `oldName` to `newName`: it follows the
// name while it still is the proposal for the old name, else it stays as the user typed it.
std::string DirectoryFollowingName(std::string_view directory, std::string_view oldName,
                                   std::string_view newName, std::string_view defaultDir);

// The new project: name and directory, one start address with the page's address and level and
// the defaults' same-level flag and host, path and protocol filters, "Backup latest record",
// the defaults' common options, and the creation time `now`.
std::unique_ptr<CProjectSettings> MakeWizardProject(const CProjectSettings& defaults,
                                                    const CWizardValues& values, std::int32_t now);

// Adds the project below `target` and saves the tree and the project's project.conf. Null when
// the name is refused there; `error` is set (and the node still added) when a file could not
// be written.
CTreeNode* AddWizardProject(CProjectTree& tree, CTreeNode& target,
                            std::unique_ptr<CProjectSettings> settings, std::string& error);

} // namespace torvex
