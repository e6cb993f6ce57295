#include "app/ProjectProperties.h"

#include "app/AddressList.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "project/WorkDir.h"

namespace torvex {

bool AddressesEditable(const CTreeNode& node) {
    return node.kind != NodeKind::ProjectRunning && node.kind != NodeKind::ProjectWaiting;
}

bool ApplyProperties(CProjectTree& tree, CTreeNode& node, CProjectSettings edited,
                     std::string& error) {
    error.clear();
    if (node.project == nullptr) {
        return false;
    }
    NormaliseAddressList(edited.Addresses);
    edited.Validate();
    *node.project = std::move(edited);
    return tree.SaveProject(node, error);
}

std::string DefaultSettingsFile(const std::string& workDir) {
    return workDir + "/" + std::string(kConfigDirName) + "/" + std::string(kDefaultSettingsName);
}

std::string DefaultsSourceIn(const std::string& workDir, const std::string& installDir) {
    const std::string own = DefaultSettingsFile(workDir);
    if (FileExists(own) || installDir.empty()) {
        return own;
    }
    const std::string installed = DefaultSettingsFile(installDir);
    return FileExists(installed) ? installed : own;
}

CProjectSettings LoadDefaultsIn(const std::string& workDir) {
    return LoadDefaultsIn(workDir, ProgramDirectory());
}

CProjectSettings LoadDefaultsIn(const std::string& workDir, const std::string& installDir) {
    CProjectSettings defaults;
    defaults.LoadDefaults(DefaultsSourceIn(workDir, installDir)); // missing: the built-in values
    return defaults;
}

bool SaveDefaultsIn(const std::string& workDir, CProjectSettings defaults, std::string& error) {
    error.clear();
    defaults.Validate();
    MakeDirectoryPath(workDir + "/" + std::string(kConfigDirName));
    const std::string path = DefaultSettingsFile(workDir);
    if (!defaults.SaveDefaults(path)) {
        error = DefaultsWriteErrorText(path);
        return false;
    }
    return true;
}

} // namespace torvex
