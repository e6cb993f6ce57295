#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/UserFolders.h"

// "Browser Integration": what lets the browsers' "Download by Torvex" entry reach the program.
// The extension (capture/extension) starts the native-messaging host named kNativeHostName; the
// browsers find it through a host manifest in the user's own folder of each browser, which
// admits only our extension. The registry stand-in keeps the menu-extension keys that other
// programs read and the working directory that the capture library reads.

namespace torvex {

constexpr std::string_view kNativeHostName = "torvex.pellix";
constexpr std::string_view kHostProgramName = "pellix-host";
// Fixed by the public key in the Chromium extension's manifest.
constexpr std::string_view kChromiumExtensionId = "pecdhkkkibmlajkincplobkdbajfniph";
// Fixed by browser_specific_settings in the Firefox extension's manifest.
constexpr std::string_view kFirefoxExtensionId = "download@torvex";

constexpr std::string_view kMenuExtKeyPath =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr std::string_view kMenuEntryName = "Download by Torvex";
// The key name a build with the Chinese interface uses; this build writes the English one and
// removes either.
constexpr std::string_view kMenuEntryNameChinese = "使用Torvex下载";
// Links, images, selections, the page itself and the two further menu contexts.
constexpr std::string_view kMenuContexts = "243";
constexpr std::string_view kAddUrlPageName = "AddURL.htm";

enum class BrowserFamily { Chromium, Firefox };

// One folder in which a browser looks for the user's host manifests.
struct HostManifestFolder {
    std::string browser; // for messages: "Chromium", "Google Chrome", "Firefox"
    BrowserFamily family;
    std::string path;
};

// The folders of Chromium, Google Chrome and Firefox for `folders`; a browser whose folder
// cannot be known (no home folder) is left out.
std::vector<HostManifestFolder> HostManifestFolders(const UserFolders& folders);

// The host manifest for a browser family, naming `hostProgram` and admitting our extension.
std::string HostManifestText(BrowserFamily family, std::string_view hostProgram);

// The "Browser Integration" option. Used from the GUI thread; a fake stands in for it in tests
// of the window.
class CBrowserIntegration {
public:
    virtual ~CBrowserIntegration() = default;

    virtual bool IsInstalled() const = 0;
    // Each leaves the option as it was and answers false when it cannot be changed.
    virtual bool Install() = 0;
    virtual bool Remove() = 0;

    // The menu command: installs when not installed, removes when installed.
    bool Toggle() { return IsInstalled() ? Remove() : Install(); }
};

// The integration for the running user: the host manifests in the folders above, the
// menu-extension key with the path of AddURL.htm in `workDir` and the contexts value, and
// `WorkDir`, so that the capture library finds the program. Installed while the key or any of
// the manifests is there, so that removing always clears everything.
class CUserBrowserIntegration final : public CBrowserIntegration {
public:
    // `workDir` is the program's working directory, `hostProgram` the path of pellix-host.
    CUserBrowserIntegration(CRegistry& registry, UserFolders folders, std::string workDir,
                            std::string hostProgram);

    bool IsInstalled() const override;
    bool Install() override;
    bool Remove() override;

private:
    std::string ManifestPath(const HostManifestFolder& folder) const;
    bool CanInstall() const;

    CRegistry& m_registry;
    UserFolders m_folders;
    std::string m_workDir;
    std::string m_hostProgram;
};

} // namespace torvex
