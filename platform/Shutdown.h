#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ChildProgram.h"

namespace torvex {

// Ending the user's work on this machine when downloading is over: powering it off, or logging
// out of the desktop session. True when the system took the request. Any thread may call.
class IShutdownService {
public:
    virtual ~IShutdownService() = default;
    virtual bool PowerOff() = 0;
    virtual bool LogOut() = 0;
};

// The command that logs out of the desktop named by `desktop` (XDG_CURRENT_DESKTOP, entries
// separated by ":"), without asking; for a desktop it does not know, the end of the login
// session `sessionId` (XDG_SESSION_ID); empty when neither is known.
std::vector<std::string> LogOutCommand(std::string_view desktop, std::string_view sessionId);

// The system's shutdown: `systemctl poweroff`, and the desktop's own log-out (LogOutCommand,
// falling back to loginctl when the desktop's program is missing). The programs are looked up
// in `searchPath` only.
class CSystemShutdown final : public IShutdownService {
public:
    explicit CSystemShutdown(std::string searchPath = ProgramSearchPath());
    bool PowerOff() override;
    bool LogOut() override;

private:
    bool Run(const std::vector<std::string> &command);
    std::string m_searchPath;
};

} // namespace torvex
