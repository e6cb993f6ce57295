#include "app/ProjectProperties.h"

#include "app/AddressList.h"
#include "platform/FileSystem.h"
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

CProjectSettings LoadDefaultsIn(const std::string& workDir) {
    CProjectSettings defaults;
    defaults.LoadDefaults(DefaultSettingsFile(workDir));
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
