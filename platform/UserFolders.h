#pragma once

#include <string>

namespace torvex {

// The user's own folders as the XDG base-directory rules name them; what the desktop, the
// browsers and the autostart of a session read. Plain data, passed by value: tests hand in
// temporary folders instead of the real ones.
struct UserFolders {
    std::string home;       // $HOME
    std::string configHome; // $XDG_CONFIG_HOME, else home/.config
    std::string dataHome;   // $XDG_DATA_HOME, else home/.local/share
};

// The folders of the running user from the environment. XDG variables that are not absolute
// paths are ignored, as the rules say; a field is empty when it cannot be known (no absolute
// HOME and no XDG variable for it).
UserFolders UserFoldersFromEnvironment();

} // namespace torvex
