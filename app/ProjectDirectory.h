#pragma once

#include <string>
#include <string_view>

#include "project/CProjectTree.h"

// The rules for a project's directory, as the new-project wizard and the property dialog apply
// them: its length, its form, that no other project uses it, and its creation when it is
// missing. Front end's thread (the tree is read).

namespace torvex {

class IPrompter;

// What the check of a typed directory found, in the order the checks are made.
enum class DirectoryVerdict : int {
    Accepted = 0, // exists and may be used
    TooLong = 1,  // over 128 characters
    Invalid = 2,  // not an absolute path of plain names (message 63015)
    Used = 3,     // another project's directory (message 63012)
    Missing = 4,  // may be used once created: ask the user first
};

struct CDirectoryCheck {
    DirectoryVerdict verdict = DirectoryVerdict::Accepted;
    // The refusal to show, or for Missing the question whether to create the directory.
    std::string message;
};

// "Sorry, the length of the project directory should be no longer than 128."
std::string DirectoryTooLongText();
// Message 63015: the path, the characters a directory may not hold, and that it must not end
// with "/".
std::string DirectoryInvalidText(std::string_view directory);
// Message 63012: the directory belongs to project `project`; choose another.
std::string DirectoryUsedText(std::string_view project);
// "The path "%s" does not exist!\n\nDo you want to create it?"
std::string DirectoryMissingQuestion(std::string_view directory);
// Message 63017: the directory could not be created.
std::string DirectoryNotCreatedText(std::string_view directory);

// True for an absolute path without control characters, without \ * ? " < > |, without empty,
// "." or ".." components, and not ending with "/".
bool IsValidProjectDirectory(std::string_view directory);

// Checks `directory` for a project; `self` (may be null) is the project whose own directory it
// may be.
CDirectoryCheck CheckProjectDirectory(std::string_view directory, CProjectTree& tree,
                                      const CProjectSettings* self);

// The whole check as the dialogs make it: a refusal is told through `prompter`; a missing
// directory is created when the user agrees (message 63017 when that fails). True when the
// directory may be used.
bool AcceptProjectDirectory(std::string_view directory, CProjectTree& tree,
                            const CProjectSettings* self, IPrompter& prompter);

// Creates the directory with every missing level; empty when it exists afterwards, else
// message 63017.
std::string CreateProjectDirectory(std::string_view directory);

// The directory the wizard proposes for a project named `name`: the default projects directory
// and the name.
std::string ProposedProjectDirectory(std::string_view defaultDir, std::string_view name);

} // namespace torvex
