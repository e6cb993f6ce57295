#include "cli/NewProject.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "app/AddressCheck.h"
#include "app/ProjectDirectory.h"
#include "cli/CliOptions.h"
#include "cli/SettingChanges.h"
#include "platform/FileSystem.h"
#include "project/CProjectPaths.h"
#include "project/CProjectTree.h"

namespace torvex {

namespace {

// Why a project name cannot be used, or empty when it can: the rules the desktop program's
// dialogs apply to the names of projects (there is no tree here, so no sibling to clash with).
std::string NameRefusal(std::string_view name) {
    return CProjectTree::CheckName(CTreeNode(), name);
}

NewProjectOutcome Refused(CliExit exit, std::string message) {
    NewProjectOutcome outcome;
    outcome.exit = exit;
    outcome.message = std::move(message);
    return outcome;
}

std::string WithoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

// The absolute project folder into `absoluteDir`; a refusal when it or an address cannot be
// kept.
std::optional<NewProjectOutcome> CheckFolderAndAddresses(const NewProjectRequest& request,
                                                         std::string& absoluteDir) {
    const std::string dir = WithoutTrailingSlashes(request.projectDir);
    if (dir.empty()) {
        return Refused(CliExit::Usage, "the project folder must not be empty");
    }
    absoluteDir =
        WithoutTrailingSlashes(std::filesystem::absolute(dir).lexically_normal().string());
    if (absoluteDir.size() > kMaxProjectDir) {
        return Refused(CliExit::Usage, DirectoryTooLongText());
    }
    if (request.urls.empty()) {
        return Refused(CliExit::Usage, "no start address given");
    }
    for (const std::string& url : request.urls) {
        if (url.size() > kMaxStartUrl || url.find_first_of("\r\n") != std::string::npos) {
            return Refused(CliExit::Usage, std::string(kUrlNotValidText));
        }
    }
    return std::nullopt;
}

// The settings of the new project: the defaults, a start address for each URL, then every
// setting applied in order; a refusal for a setting, the name or an address that cannot be run.
std::optional<NewProjectOutcome> MakeSettings(const NewProjectRequest& request,
                                              const std::string& absoluteDir,
                                              NewProjectOutcome& outcome) {
    CProjectSettings& settings = outcome.settings;
    if (!request.defaultsPath.empty()) {
        settings.LoadDefaults(request.defaultsPath);   // missing: the built-in defaults
    }
    for (const std::string& url : request.urls) {
        CStartAddress address = settings.NewAddress();
        address.StartURL = url;
        settings.Addresses.push_back(std::move(address));
    }
    settings.Name = ProjectNameFromDir(absoluteDir);
    for (const CliSetting& setting : request.settings) {
        const std::string error = ApplyCliSetting(settings, setting, outcome.warnings);
        if (!error.empty()) {
            return Refused(CliExit::Usage, error);
        }
    }
    settings.Validate();
    if (const std::string refusal = NameRefusal(settings.Name); !refusal.empty()) {
        return Refused(CliExit::Usage, refusal);
    }
    settings.ProjectDir = absoluteDir;
    settings.CreateTime = static_cast<std::int32_t>(std::time(nullptr));

    // Each address is checked as it will be run: with "$DATE" expanded by its date format.
    for (const CStartAddress& address : settings.Addresses) {
        const std::string refusal = CheckStartAddress(address.StartURL, address.DateFormat);
        if (!refusal.empty()) {
            const bool several = settings.Addresses.size() > 1;
            return Refused(CliExit::Usage,
                           refusal + (several ? " (" + address.StartURL + ")" : std::string()));
        }
    }
    return std::nullopt;
}

// Writes the project file of `outcome.settings` into `absoluteDir`, making the folder; an
// existing project.conf is replaced only when the request forces it.
NewProjectOutcome WriteNewProject(const NewProjectRequest& request, const std::string& absoluteDir,
                                  NewProjectOutcome outcome) {
    outcome.confPath = absoluteDir + "/" + std::string(kProjectConfName);
    if (!request.force && FileExists(outcome.confPath)) {
        return Refused(CliExit::Usage,
                       "a project already exists in " + absoluteDir +
                           " (\"start\", \"update\" or \"resume\" run it again; --force "
                           "replaces its project.conf)");
    }
    MakeDirectoryPath(absoluteDir);
    if (!DirectoryExists(absoluteDir)) {
        return Refused(CliExit::Error, DirectoryNotCreatedText(absoluteDir));
    }
    // "/" puts the project directly under the root of the tree, so the file keeps its proxy
    // lines as every project.conf does.
    if (!outcome.settings.WriteProjectFile(outcome.confPath, "/")) {
        return Refused(CliExit::Error,
                       "Error: Failed to write the file \"" + outcome.confPath + "\".");
    }
    outcome.exit = CliExit::Finished;
    outcome.message =
        "Created project \"" + outcome.settings.Name + "\" in " + absoluteDir + ".";
    return outcome;
}

} // namespace

std::vector<CliSetting> MirrorSettings(const std::vector<CliSetting>& given) {
    std::vector<CliSetting> settings;
    if (const CCliOption* keepAlive = FindLongOption("http-keep-alive")) {
        settings.push_back({keepAlive, "", "", "--http-keep-alive"});
    }
    settings.insert(settings.end(), given.begin(), given.end());
    return settings;
}

std::string ProjectNameFromDir(std::string_view dir) {
    // "." and ".." name the folder they stand for, so the name comes from the absolute path.
    const std::string absolute = WithoutTrailingSlashes(
        std::filesystem::absolute(std::string(dir)).lexically_normal().string());
    const auto slash = absolute.rfind('/');
    return slash == std::string::npos ? absolute : absolute.substr(slash + 1);
}

NewProjectOutcome CreateNewProject(const NewProjectRequest& request) {
    // Everything is checked before anything is written.
    std::string absoluteDir;
    if (auto refused = CheckFolderAndAddresses(request, absoluteDir)) {
        return *refused;
    }
    NewProjectOutcome outcome;
    if (auto refused = MakeSettings(request, absoluteDir, outcome)) {
        return *refused;
    }
    return WriteNewProject(request, absoluteDir, std::move(outcome));
}

} // namespace torvex
