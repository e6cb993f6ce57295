#include "capture/BrowserIntegration.h"

#include <filesystem>
#include <utility>

#include <unistd.h>

#include "capture/HandOver.h"
#include "capture/JsonText.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"

namespace torvex {

namespace {

std::string MenuEntryKey(std::string_view name) {
    std::string key(kMenuExtKeyPath);
    key += '\\';
    key.append(name);
    return key;
}

std::string WithoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<HostManifestFolder> HostManifestFolders(const UserFolders& folders) {
    std::vector<HostManifestFolder> result;
    if (!folders.configHome.empty()) {
        result.push_back({"Chromium", BrowserFamily::Chromium,
                          folders.configHome + "/chromium/NativeMessagingHosts"});
        result.push_back({"Google Chrome", BrowserFamily::Chromium,
                          folders.configHome + "/google-chrome/NativeMessagingHosts"});
    }
    if (!folders.home.empty()) {
        result.push_back(
            {"Firefox", BrowserFamily::Firefox, folders.home + "/.mozilla/native-messaging-hosts"});
    }
    return result;
}

std::string HostManifestText(BrowserFamily family, std::string_view hostProgram) {
    std::string text = "{\n";
    text += "  \"name\": " + JsonQuoted(kNativeHostName) + ",\n";
    text += "  \"description\": \"Hands an address chosen in the browser to Torvex\",\n";
    text += "  \"path\": " + JsonQuoted(hostProgram) + ",\n";
    text += "  \"type\": \"stdio\",\n";
    if (family == BrowserFamily::Chromium) {
        text += "  \"allowed_origins\": [" +
                JsonQuoted("chrome-extension://" + std::string(kChromiumExtensionId) + "/") + "]\n";
    } else {
        text += "  \"allowed_extensions\": [" + JsonQuoted(kFirefoxExtensionId) + "]\n";
    }
    text += "}\n";
    return text;
}

CUserBrowserIntegration::CUserBrowserIntegration(CRegistry& registry, UserFolders folders,
                                                 std::string workDir, std::string hostProgram)
    : m_registry(registry), m_folders(std::move(folders)),
      m_workDir(WithoutTrailingSlashes(std::move(workDir))), m_hostProgram(std::move(hostProgram)) {
}

std::string CUserBrowserIntegration::ManifestPath(const HostManifestFolder& folder) const {
    return folder.path + "/" + std::string(kNativeHostName) + ".json";
}

// The browsers need an absolute path to a program they can start, written in UTF-8; the
// capture library needs a working directory it accepts.
bool CUserBrowserIntegration::CanInstall() const {
    return IsUsableWorkDir(m_workDir) && !m_hostProgram.empty() && m_hostProgram.front() == '/' &&
           IsValidUtf8(m_hostProgram) && !HasControlCharacter(m_hostProgram) &&
           ::access(m_hostProgram.c_str(), X_OK) == 0 && !HostManifestFolders(m_folders).empty();
}

bool CUserBrowserIntegration::IsInstalled() const {
    if (m_registry.KeyExists(MenuEntryKey(kMenuEntryName)) ||
        m_registry.KeyExists(MenuEntryKey(kMenuEntryNameChinese))) {
        return true;
    }
    for (const HostManifestFolder& folder : HostManifestFolders(m_folders)) {
        if (FileExists(ManifestPath(folder))) {
            return true;
        }
    }
    return false;
}

bool CUserBrowserIntegration::Install() {
    if (!CanInstall()) {
        return false;
    }
    bool ok = true;
    for (const HostManifestFolder& folder : HostManifestFolders(m_folders)) {
        std::error_code ec;
        std::filesystem::create_directories(folder.path, ec);
        ok = ok && ReplaceFileDurably(ManifestPath(folder),
                                      HostManifestText(folder.family, m_hostProgram),
                                      FileAccess::OwnerOnly);
    }
    const std::string key = MenuEntryKey(kMenuEntryName);
    ok = ok && m_registry.WriteString(key, "", m_workDir + "/" + std::string(kAddUrlPageName)) &&
         m_registry.WriteString(key, "contexts", kMenuContexts) &&
         m_registry.WriteString(kProgramKeyPath, kWorkDirValueName, m_workDir);
    if (!ok) {
        Remove(); // half an integration would show as installed
    }
    return ok;
}

bool CUserBrowserIntegration::Remove() {
    bool ok = m_registry.DeleteKey(MenuEntryKey(kMenuEntryName));
    ok = m_registry.DeleteKey(MenuEntryKey(kMenuEntryNameChinese)) && ok;
    for (const HostManifestFolder& folder : HostManifestFolders(m_folders)) {
        ok = RemoveFileIfExists(ManifestPath(folder)) && ok;
    }
    return ok;
}

} // namespace torvex
