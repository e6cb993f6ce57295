#include "app/ProjectDirectory.h"

#include "base/BoundedText.h"
#include "engine/IPrompter.h"
#include "platform/FileSystem.h"

namespace torvex {

namespace {

// Characters no directory of a project may hold: they are wildcards or quoting to a shell, or
// separators elsewhere, and a project directory travels in export files between systems.
constexpr std::string_view kInvalidDirectoryChars = "\\*?\"<>|";

} // namespace

std::string DirectoryTooLongText() {
    return "Sorry, the length of the project directory should be no longer than " +
           std::to_string(kMaxProjectDir) + ".";
}

std::string DirectoryInvalidText(std::string_view directory) {
    return "Sorry, the directory \"" + std::string(directory) +
           "\" is invalid.\nNote, the following characters are invalid: \\, *, ?, \", <, >, "
           "|.\nAnd the last character should not be \"/\".";
}

std::string DirectoryUsedText(std::string_view project) {
    return "Sorry, this directory is used by the project \"" + std::string(project) +
           "\". Please choose another directory.";
}

std::string DirectoryMissingQuestion(std::string_view directory) {
    return "The path \"" + std::string(directory) +
           "\" does not exist!\n\nDo you want to create it?";
}

std::string DirectoryNotCreatedText(std::string_view directory) {
    return "Error: Failed to create the directory \"" + std::string(directory) + "\".";
}

bool IsValidProjectDirectory(std::string_view directory) {
    if (directory.size() < 2 || directory.front() != '/' || directory.back() == '/' ||
        HasControlCharacter(directory) ||
        directory.find_first_of(kInvalidDirectoryChars) != std::string_view::npos) {
        return false;
    }
    std::size_t start = 1;
    while (start <= directory.size()) {
        std::size_t end = directory.find('/', start);
        if (end == std::string_view::npos) {
            end = directory.size();
        }
        const std::string_view part = directory.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

CDirectoryCheck CheckProjectDirectory(std::string_view directory, CProjectTree& tree,
                                      const CProjectSettings* self) {
    CDirectoryCheck check;
    if (directory.size() > kMaxProjectDir) {
        check.verdict = DirectoryVerdict::TooLong;
        check.message = DirectoryTooLongText();
    } else if (!IsValidProjectDirectory(directory)) {
        check.verdict = DirectoryVerdict::Invalid;
        check.message = DirectoryInvalidText(directory);
    } else if (const CTreeNode* owner = tree.FindProjectByDirectory(directory);
               owner != nullptr && owner->project != self) {
        check.verdict = DirectoryVerdict::Used;
        check.message = DirectoryUsedText(owner->label);
    } else if (!DirectoryExists(directory)) {
        check.verdict = DirectoryVerdict::Missing;
        check.message = DirectoryMissingQuestion(directory);
    }
    return check;
}

bool AcceptProjectDirectory(std::string_view directory, CProjectTree& tree,
                            const CProjectSettings* self, IPrompter& prompter) {
    const CDirectoryCheck check = CheckProjectDirectory(directory, tree, self);
    switch (check.verdict) {
    case DirectoryVerdict::Accepted:
        return true;
    case DirectoryVerdict::Missing: {
        if (!prompter.AskYesNo(check.message, false)) {
            return false;
        }
        const std::string failure = CreateProjectDirectory(directory);
        if (!failure.empty()) {
            prompter.Error(failure);
            return false;
        }
        return true;
    }
    default:
        prompter.Information(check.message);
        return false;
    }
}

std::string CreateProjectDirectory(std::string_view directory) {
    MakeDirectoryPath(directory);
    return DirectoryExists(directory) ? std::string() : DirectoryNotCreatedText(directory);
}

std::string ProposedProjectDirectory(std::string_view defaultDir, std::string_view name) {
    std::string directory(defaultDir);
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    if (directory != "/") {
        directory += '/';
    }
    directory += name;
    return directory;
}

} // namespace torvex
