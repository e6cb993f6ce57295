# Run by "cmake --install": writes share/applications/torvex.desktop under the prefix, starting
# TORVEX_LAUNCHER_PROGRAM (the installed program's absolute path).

# The Exec line quotes the path; inside the quotes '"', '`', '$' and '\' take a backslash, and
# the file's own escaping then doubles every backslash.
set(_exec "${TORVEX_LAUNCHER_PROGRAM}")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "\"" "\\\"" _exec "${_exec}")
string(REPLACE "`" "\\`" _exec "${_exec}")
string(REPLACE "$" "\\$" _exec "${_exec}")
string(REPLACE "\\" "\\\\" _exec "${_exec}")

set(_apps "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications")
file(MAKE_DIRECTORY "${_apps}")
file(WRITE "${_apps}/torvex.desktop" "[Desktop Entry]
Type=Application
Name=Torvex
GenericName=Web Site Downloader
Comment=Download web sites for browsing offline
Exec=\"${_exec}\"
Icon=folder-download
Terminal=false
Categories=Network;FileTransfer;
StartupWMClass=torvex
")
message(STATUS "Installing: ${_apps}/torvex.desktop")
