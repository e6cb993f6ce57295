#include "cli/NewProject.h"

#include <array>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/AsciiCase.h"
#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"
#include "project/CProjectPaths.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

constexpr std::string_view kUrlNotValidText = "Sorry, the URL is not valid.";

// Keys that stand in the project-wide part of project.conf.
constexpr std::array<std::string_view, 36> kProjectKeys = {
    "Name",          "FileType",      "UpdateMode",     "FirstPage",    "BackupLast",
    "Cookie",        "Link",          "AutoConvert",    "AutoExt",      "DownthreadNum",
    "TimeOut",       "Retry",         "FreeSpaceLimit", "MaxMinute",    "MaxFile",
    "UserAgentMode", "UserDefined",   "NoFileFilter",   "FilterOther",  "FilterNoExt",
    "FileFilter1",   "FileFilter2",   "FileFilter3",    "FileFilter4",  "FileFilter5",
    "FileFilter6",   "FileFilter7",   "FileFilter8",    "UseGlobeProxy", "Proxy",
    "ProxyServer",   "ProxyPort",     "ProxyUser",      "ProxyPassword", "TimeDownload",
    "TorvexVersion"};

// Keys of a "[URL]" section that mean something for the only start address of a new project.
constexpr std::array<std::string_view, 14> kAddressKeys = {
    "Level",  "Description", "RequestMethod", "Username",   "Password",
    "DateFormat", "FilterSameLevel", "HostFilter", "FHost", "EHost",
    "PathFilter", "FPath",       "EPath",         "ProtocolFilter"};

// Keys of a "[URL]" section that only make sense beside other addresses.
constexpr std::array<std::string_view, 3> kListOnlyKeys = {"Enable", "Child", "Inherit"};

template <std::size_t N>
std::string_view FindKey(const std::array<std::string_view, N>& keys, std::string_view key) {
    for (std::string_view known : keys) {
        if (EqualsNoCase(known, key)) {
            return known;
        }
    }
    return {};
}

// Why a project name cannot be used, or empty when it can: the rules the desktop program's
// dialogs apply to the names of projects (there is no tree here, so no sibling to clash with).
std::string NameRefusal(std::string_view name) {
    if (name.empty()) {
        return "Please enter the name.";
    }
    if (name.front() == '.' || name.back() == '.' ||
        name.find_first_of("\\/:*?<>|\"") != std::string_view::npos) {
        return "Sorry, the name contains invalid characters. Please try another name.\n"
               "Note, the following characters are invalid: \\, /, *, ?, \", <, >, |.";
    }
    return {};
}

std::string UnsupportedSchemeText(std::string_view scheme) {
    return "Sorry, \"" + std::string(scheme) +
           "\" protocol is not supported in this version of Torvex.";
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

// The assignments sorted into the lines of the project-wide part and of the address's
// section, in their canonical spelling (the reader ignores case, the written file stays tidy);
// a refusal for what project.conf would not understand.
std::optional<NewProjectOutcome> SortAssignments(const std::vector<std::string>& assignments,
                                                 std::string& projectLines,
                                                 std::string& addressLines) {
    for (const std::string& assignment : assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            return Refused(CliExit::Usage, "expected Key=Value, got \"" + assignment + "\"");
        }
        const std::string_view key = std::string_view(assignment).substr(0, equals);
        const std::string_view value = std::string_view(assignment).substr(equals + 1);
        if (value.find_first_of("\r\n") != std::string_view::npos) {
            return Refused(CliExit::Usage,
                           "the value of " + std::string(key) + " must stay on one line");
        }
        if (!FindKey(kListOnlyKeys, key).empty()) {
            return Refused(CliExit::Usage, "the key " + std::string(key) +
                                               " has no meaning for the only start address");
        }
        std::string_view known = FindKey(kProjectKeys, key);
        if (!known.empty() && known != "TorvexVersion") {
            projectLines.append(known).append("=").append(value).append("\n");
            continue;
        }
        known = FindKey(kAddressKeys, key);
        if (!known.empty()) {
            addressLines.append(known).append("=").append(value).append("\n");
            continue;
        }
        return Refused(CliExit::Usage, "unknown key \"" + std::string(key) + "\"");
    }
    return std::nullopt;
}

// The absolute project folder into `absoluteDir`; a refusal when it or the address cannot be
// kept.
std::optional<NewProjectOutcome> CheckFolderAndAddress(const NewProjectRequest& request,
                                                       std::string& absoluteDir) {
    const std::string dir = WithoutTrailingSlashes(request.projectDir);
    if (dir.empty()) {
        return Refused(CliExit::Usage, "the project folder must not be empty");
    }
    absoluteDir =
        WithoutTrailingSlashes(std::filesystem::absolute(dir).lexically_normal().string());
    if (absoluteDir.size() > kMaxProjectDir) {
        return Refused(CliExit::Usage,
                       "Sorry, the length of the project directory should be no longer than " +
                           std::to_string(kMaxProjectDir) + ".");
    }
    if (request.url.size() > kMaxStartUrl ||
        request.url.find_first_of("\r\n") != std::string::npos) {
        return Refused(CliExit::Usage, std::string(kUrlNotValidText));
    }
    return std::nullopt;
}

// The text of a project file as the defaults give it, with the assignments written after the
// lines they override: the reader takes the last match, and clamps as it loads.
std::string ProjectText(const NewProjectRequest& request, const std::string& absoluteDir,
                        const std::string& projectLines, const std::string& addressLines) {
    CProjectSettings defaults;
    if (!request.defaultsPath.empty()) {
        defaults.LoadDefaults(request.defaultsPath);   // missing: the built-in defaults
    }
    CStartAddress address = defaults.NewAddress();
    address.StartURL = request.url;
    defaults.Addresses = {address};

    std::string body;
    defaults.WriteSettingsBody(body, SettingsBodyMode::ProjectFile);
    const auto section = body.find("[URL]\n");
    std::string text = "TorvexVersion=" + std::string(kSettingsVersion) + "\n";
    text += "Name=" + ProjectNameFromDir(absoluteDir) + "\n";
    text += body.substr(0, section);
    text += projectLines;
    text += body.substr(section);
    text += addressLines;
    return text;
}

// Loads `text` into `settings` and checks the name, and the address as it will be run: with
// "$DATE" expanded by its date format.
std::optional<NewProjectOutcome> LoadNewSettings(std::string text, const std::string& absoluteDir,
                                                 CProjectSettings& settings) {
    CSettingsReader reader;
    reader.OpenText(std::move(text));
    if (!settings.LoadSettingsBody(reader, true) || settings.Addresses.size() != 1) {
        return Refused(CliExit::Error, "Error: Not enough memory.");
    }
    if (const std::string refusal = NameRefusal(settings.Name); !refusal.empty()) {
        return Refused(CliExit::Usage, refusal);
    }
    settings.ProjectDir = absoluteDir;
    settings.CreateTime = static_cast<std::int32_t>(std::time(nullptr));

    const CStartAddress& first = settings.Addresses.front();
    std::string expanded;
    ExpandDateMacro(first.StartURL, first.DateFormat, expanded);
    const CUrl url(expanded);
    if (!url.IsValid()) {
        return Refused(CliExit::Usage, std::string(kUrlNotValidText));
    }
    if (url.Scheme() == "https") {
        return Refused(CliExit::Usage, UnsupportedSchemeText(url.Scheme()));
    }
    return std::nullopt;
}

// Writes the project file of `outcome.settings` into `absoluteDir`, making the folder; an
// existing project.conf is replaced only when the request forces it.
NewProjectOutcome WriteNewProject(const NewProjectRequest& request, const std::string& absoluteDir,
                                  NewProjectOutcome outcome) {
    outcome.confPath = absoluteDir + "/" + std::string(kProjectConfName);
    if (!request.force && FileExists(outcome.confPath)) {
        return Refused(CliExit::Usage, "a project already exists in " + absoluteDir +
                                           " (use --force to replace its project.conf)");
    }
    MakeDirectoryPath(absoluteDir);
    if (!DirectoryExists(absoluteDir)) {
        return Refused(CliExit::Error, "Error: Failed to create the directory \"" + absoluteDir +
                                           "\".");
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

std::string ProjectNameFromDir(std::string_view dir) {
    // "." and ".." name the folder they stand for, so the name comes from the absolute path.
    const std::string absolute = WithoutTrailingSlashes(
        std::filesystem::absolute(std::string(dir)).lexically_normal().string());
    const auto slash = absolute.rfind('/');
    return slash == std::string::npos ? absolute : absolute.substr(slash + 1);
}

NewProjectOutcome CreateNewProject(const NewProjectRequest& request) {
    // Everything is checked before anything is written.
    std::string projectLines;
    std::string addressLines;
    if (auto refused = SortAssignments(request.assignments, projectLines, addressLines)) {
        return *refused;
    }
    std::string absoluteDir;
    if (auto refused = CheckFolderAndAddress(request, absoluteDir)) {
        return *refused;
    }
    NewProjectOutcome outcome;
    if (auto refused =
            LoadNewSettings(ProjectText(request, absoluteDir, projectLines, addressLines),
                            absoluteDir, outcome.settings)) {
        return *refused;
    }
    return WriteNewProject(request, absoluteDir, std::move(outcome));
}

} // namespace torvex
