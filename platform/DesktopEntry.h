#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/UserFolders.h"

// Desktop entry files: what the desktop's application menu shows (the program's launcher) and
// what a session starts at log-in (the autostart entry). Free functions over files; any thread
// may call them, though two writers of one file race and the later one wins.

namespace torvex {

constexpr std::string_view kDesktopEntryFileName = "torvex.desktop";

// One application entry. `exec` is the program path followed by its arguments, unquoted.
struct DesktopEntry {
    std::string name;
    std::string genericName;
    std::string comment;
    std::vector<std::string> exec;
    std::string icon;
    std::string categories;
    std::string startupWmClass;
};

// One argument of an Exec line: quoted when it holds a reserved character, with "%" doubled
// and the quoting done before the file's own backslash escapes, as the format asks.
std::string DesktopExecArgument(std::string_view argument);

// The file's text; empty when the entry cannot be written (no name, no absolute program path,
// or a control character in any field or argument).
std::string DesktopEntryText(const DesktopEntry& entry);

// Writes the entry as the whole file at `path` (never a partial file), making its folder.
bool WriteDesktopEntry(const std::string& path, const DesktopEntry& entry);

// <configHome>/autostart/torvex.desktop and <dataHome>/applications/torvex.desktop; empty when
// the folder is not known.
std::string AutostartEntryPath(const UserFolders& folders);
std::string LauncherEntryPath(const UserFolders& folders);

// The program's launcher in the application menu, starting `programPath` (with `iconPath` as
// its icon when not empty). Written only when its text differs, so that calling it at every
// start costs one read. False when it cannot be written.
bool InstallLauncher(const UserFolders& folders, const std::string& programPath,
                     const std::string& iconPath);
bool RemoveLauncher(const UserFolders& folders);
bool LauncherInstalled(const UserFolders& folders);

} // namespace torvex
