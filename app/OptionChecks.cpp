#include "app/OptionChecks.h"

#include "engine/IPrompter.h"
#include "platform/FileSystem.h"
#include "project/WorkDir.h"

namespace torvex {

std::string DialUpPageRefusal(bool dialup, std::string_view entry) {
    return dialup && entry.empty() ? std::string(kSelectDialEntryText) : std::string();
}

std::string DefaultDirRefusal(std::string_view directory) {
    if (directory.empty()) {
        return "Please choose a directory.";
    }
    if (directory.size() > kMaxDefaultDir) {
        return "Sorry, the length of the default directory should be no longer than " +
               std::to_string(kMaxDefaultDir) + ".";
    }
    for (const char c : directory) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return "Sorry, the directory name contains invalid characters.";
        }
    }
    if (directory.front() != '/') {
        return "Sorry, \"" + std::string(directory) + "\" is not an absolute path.";
    }
    return {};
}

std::string AppSettingsFilePath(const std::string &workDir) {
    return workDir + "/" + std::string(kConfigDirName) + "/" + std::string(kAppSettingsName);
}

bool SaveAppSettingsTold(CAppSettings &settings, const std::string &workDir, IPrompter &prompter) {
    MakeDirectoryPath(workDir + "/" + std::string(kConfigDirName));
    const std::string path = AppSettingsFilePath(workDir);
    if (settings.Save(path)) {
        return true;
    }
    prompter.Error("Error: Failed to write file:\n\"" + path + "\"!");
    return false;
}

} // namespace torvex
