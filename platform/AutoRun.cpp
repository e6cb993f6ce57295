#include "platform/AutoRun.h"

#include <utility>

#include "platform/DesktopEntry.h"
#include "platform/FileSystem.h"

namespace torvex {

CSessionAutoRun::CSessionAutoRun(CRegistry& registry, UserFolders folders, std::string programPath)
    : m_registry(registry), m_folders(std::move(folders)), m_programPath(std::move(programPath)) {}

// The value counts as there whatever its length: a long program path must not make the option
// look off (and so be written again instead of removed).
bool CSessionAutoRun::RunValueExists() const {
    std::string value;
    return m_registry.ReadString(kRunKeyPath, kRunValueName, value);
}

bool CSessionAutoRun::IsOn() const {
    const std::string entry = AutostartEntryPath(m_folders);
    return RunValueExists() || (!entry.empty() && FileExists(entry));
}

bool CSessionAutoRun::TurnOn() {
    DesktopEntry entry;
    entry.name = "Torvex";
    entry.comment = "Start Torvex in the background at log-in";
    entry.exec = {m_programPath, std::string(kHiddenStartSwitch)};
    const std::string path = AutostartEntryPath(m_folders);
    if (path.empty() || DesktopEntryText(entry).empty()) {
        return false;
    }
    std::string value = m_programPath;
    value += ' ';
    value.append(kHiddenStartSwitch);
    if (!m_registry.WriteString(kRunKeyPath, kRunValueName, value)) {
        return false;
    }
    if (!WriteDesktopEntry(path, entry)) {
        m_registry.DeleteValue(kRunKeyPath, kRunValueName);
        return false;
    }
    return true;
}

bool CSessionAutoRun::TurnOff() {
    const std::string path = AutostartEntryPath(m_folders);
    const bool fileGone = path.empty() || RemoveFileIfExists(path);
    const bool valueGone = m_registry.DeleteValue(kRunKeyPath, kRunValueName);
    return fileGone && valueGone;
}

} // namespace torvex
