#include "platform/UserFolders.h"

#include <cstdlib>
#include <string_view>

namespace torvex {

namespace {

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// The XDG folder from its variable, else `fallback` below the home folder.
std::string XdgFolder(const char* variable, const std::string& home, std::string_view fallback) {
    std::string folder = AbsoluteVariable(variable);
    if (folder.empty() && !home.empty()) {
        folder = home;
        folder += '/';
        folder.append(fallback);
    }
    return folder;
}

} // namespace

UserFolders UserFoldersFromEnvironment() {
    UserFolders folders;
    folders.home = AbsoluteVariable("HOME");
    folders.configHome = XdgFolder("XDG_CONFIG_HOME", folders.home, ".config");
    folders.dataHome = XdgFolder("XDG_DATA_HOME", folders.home, ".local/share");
    return folders;
}

} // namespace torvex
