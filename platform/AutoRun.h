#pragma once

#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "platform/UserFolders.h"

namespace torvex {

constexpr std::string_view kRunKeyPath =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kRunValueName = "Torvex";
// Starts the program hidden, as the start at log-in wants it.
constexpr std::string_view kHiddenStartSwitch = "/m";

// Whether the program starts by itself when the user logs in: the "Auto Run" option. Used from
// the GUI thread; a fake stands in for it in tests of the window.
class CAutoRun {
public:
    virtual ~CAutoRun() = default;

    virtual bool IsOn() const = 0;
    // Each leaves the option as it was and answers false when it cannot be changed.
    virtual bool TurnOn() = 0;
    virtual bool TurnOff() = 0;

    // The menu command: on when off, off when on.
    bool Toggle() { return IsOn() ? TurnOff() : TurnOn(); }
};

// Auto run through the session: the Run value in the registry stand-in, which other programs
// read, and the XDG autostart entry <configHome>/autostart/torvex.desktop, which the session
// starts, both naming `programPath` with "/m". It is on while either of them is there, so that
// turning it off always removes both.
class CSessionAutoRun final : public CAutoRun {
public:
    CSessionAutoRun(CRegistry& registry, UserFolders folders, std::string programPath);

    bool IsOn() const override;
    bool TurnOn() override;
    bool TurnOff() override;

private:
    bool RunValueExists() const;

    CRegistry& m_registry;
    UserFolders m_folders;
    std::string m_programPath;
};

} // namespace torvex
