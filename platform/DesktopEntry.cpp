#include "platform/DesktopEntry.h"

#include <filesystem>

#include "platform/DurableFile.h"
#include "platform/FileSystem.h"

namespace torvex {

namespace {

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

// A string value of the file: a backslash stands for itself only when doubled.
std::string EscapeValue(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::string FolderFile(const std::string& folder, std::string_view subfolder) {
    if (folder.empty()) {
        return {};
    }
    std::string path = folder;
    path += '/';
    path.append(subfolder);
    path += '/';
    path.append(kDesktopEntryFileName);
    return path;
}

} // namespace

std::string DesktopExecArgument(std::string_view argument) {
    std::string quoted;
    const bool quote =
        argument.empty() || argument.find_first_of(kReservedInExec) != std::string_view::npos;
    if (quote) {
        quoted += '"';
    }
    for (const char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            quoted += '\\';
        }
        if (c == '%') {
            quoted += '%'; // a lone "%" would start a field code
        }
        quoted += c;
    }
    if (quote) {
        quoted += '"';
    }
    return quoted;
}

std::string DesktopEntryText(const DesktopEntry& entry) {
    if (entry.name.empty() || entry.exec.empty() || entry.exec.front().empty() ||
        entry.exec.front().front() != '/') {
        return {};
    }
    for (const std::string* field : {&entry.name, &entry.genericName, &entry.comment, &entry.icon,
                                     &entry.categories, &entry.startupWmClass}) {
        if (HasControlCharacter(*field)) {
            return {};
        }
    }
    std::string exec;
    for (const std::string& argument : entry.exec) {
        if (HasControlCharacter(argument)) {
            return {};
        }
        if (!exec.empty()) {
            exec += ' ';
        }
        exec += DesktopExecArgument(argument);
    }

    std::string text = "[Desktop Entry]\nType=Application\n";
    auto line = [&text](std::string_view key, const std::string& value) {
        if (!value.empty()) {
            text.append(key).append("=").append(EscapeValue(value)).append("\n");
        }
    };
    line("Name", entry.name);
    line("GenericName", entry.genericName);
    line("Comment", entry.comment);
    line("Exec", exec);
    line("Icon", entry.icon);
    text += "Terminal=false\n";
    line("Categories", entry.categories);
    line("StartupWMClass", entry.startupWmClass);
    return text;
}

bool WriteDesktopEntry(const std::string& path, const DesktopEntry& entry) {
    const std::string text = DesktopEntryText(entry);
    if (path.empty() || text.empty()) {
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return ReplaceFileDurably(path, text, FileAccess::OwnerOnly);
}

std::string AutostartEntryPath(const UserFolders& folders) {
    return FolderFile(folders.configHome, "autostart");
}

std::string LauncherEntryPath(const UserFolders& folders) {
    return FolderFile(folders.dataHome, "applications");
}

bool InstallLauncher(const UserFolders& folders, const std::string& programPath,
                     const std::string& iconPath) {
    DesktopEntry entry;
    entry.name = "Torvex";
    entry.genericName = "Web Site Downloader";
    entry.comment = "Download web sites for browsing offline";
    entry.exec = {programPath};
    entry.icon = iconPath;
    entry.categories = "Network;FileTransfer;";
    entry.startupWmClass = "torvex";
    const std::string path = LauncherEntryPath(folders);
    std::string current;
    if (!path.empty() && ReadFileText(path, current) && current == DesktopEntryText(entry)) {
        return true;
    }
    return WriteDesktopEntry(path, entry);
}

bool RemoveLauncher(const UserFolders& folders) {
    const std::string path = LauncherEntryPath(folders);
    return path.empty() || RemoveFileIfExists(path);
}

bool LauncherInstalled(const UserFolders& folders) {
    const std::string path = LauncherEntryPath(folders);
    return !path.empty() && FileExists(path);
}

} // namespace torvex
