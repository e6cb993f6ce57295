#include "app/NewProjectWizard.h"

#include "app/ProjectDirectory.h"
#include "base/BoundedText.h"

namespace torvex {

CTreeNode& WizardTargetFolder(CTreeNode* selected, CTreeNode& root) {
    if (selected == nullptr) {
        return root;
    }
    if (selected->IsProject()) {
        return selected->parent != nullptr ? *selected->parent : root;
    }
    return *selected;
}

CWizardValues WizardStartValues(const CProjectSettings& defaults, CPendingAddress& pending,
                                bool clipMonitor, std::string_view clipboardText,
                                std::string_view defaultDir) {
    CWizardValues values;
    values.level = defaults.Level;
    values.backupLatest = defaults.BackupLast != 0;
    if (clipMonitor && pending.IsEmpty()) {
        if (const auto copied = AddressFromText(clipboardText)) {
            pending = *copied;
        }
    }
    if (pending.IsSet()) {
        AssignCut(values.address, pending.address, kMaxStartUrl);
        AssignCut(values.name, pending.name, kMaxProjectName);
        values.directory = ProposedProjectDirectory(defaultDir, values.name);
        pending.Clear();
    } else {
        values.directory = ProposedProjectDirectory(defaultDir, "");
    }
    return values;
}

std::string DirectoryFollowingName(std::string_view directory, std::string_view oldName,
                                   std::string_view newName, std::string_view defaultDir) {
    if (directory != ProposedProjectDirectory(defaultDir, oldName)) {
        return std::string(directory);
    }
    return ProposedProjectDirectory(defaultDir, newName);
}

std::unique_ptr<CProjectSettings> MakeWizardProject(const CProjectSettings& defaults,
                                                    const CWizardValues& values, std::int32_t now) {
    auto project = std::make_unique<CProjectSettings>(defaults);
    project->Addresses.clear();
    project->Name = values.name;
    project->ProjectDir = values.directory;
    project->CreateTime = now;
    project->BackupLast = values.backupLatest ? 1 : 0;
    CStartAddress address = defaults.NewAddress();
    address.StartURL = values.address;
    address.Level = values.level;
    project->Addresses.push_back(std::move(address));
    project->Validate();
    return project;
}

CTreeNode* AddWizardProject(CProjectTree& tree, CTreeNode& target,
                            std::unique_ptr<CProjectSettings> settings, std::string& error) {
    error.clear();
    CTreeNode* node = tree.AddProject(target, std::move(settings));
    if (node != nullptr) {
        tree.SaveProject(*node, error);
    }
    return node;
}

} // namespace torvex
