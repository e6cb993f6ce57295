#include "platform/Shutdown.h"

#include <cstdlib>

#include "base/AsciiCase.h"

namespace torvex {

namespace {

constexpr int kCommandTimeoutMs = 30000;

std::string Variable(const char *name) {
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool Names(std::string_view desktop, std::string_view name) {
    while (true) {
        const std::size_t colon = desktop.find(':');
        if (EqualsNoCase(desktop.substr(0, colon), name)) {
            return true;
        }
        if (colon == std::string_view::npos) {
            return false;
        }
        desktop.remove_prefix(colon + 1);
    }
}

std::vector<std::string> SessionEnd(std::string_view sessionId) {
    if (sessionId.empty()) {
        return {};
    }
    return {"loginctl", "terminate-session", std::string(sessionId)};
}

} // namespace

std::vector<std::string> LogOutCommand(std::string_view desktop, std::string_view sessionId) {
    if (Names(desktop, "KDE")) {
        return {"qdbus", "org.kde.ksmserver", "/KSMServer", "logout", "0", "0", "0"};
    }
    if (Names(desktop, "XFCE")) {
        return {"xfce4-session-logout", "--logout"};
    }
    if (Names(desktop, "LXQt")) {
        return {"lxqt-leave", "--logout"};
    }
    if (Names(desktop, "MATE")) {
        return {"mate-session-save", "--logout"};
    }
    if (Names(desktop, "X-Cinnamon")) {
        return {"cinnamon-session-quit", "--logout", "--no-prompt"};
    }
    if (Names(desktop, "GNOME") || Names(desktop, "Unity") || Names(desktop, "Budgie")) {
        return {"gnome-session-quit", "--logout", "--no-prompt"};
    }
    return SessionEnd(sessionId);
}

CSystemShutdown::CSystemShutdown(std::string searchPath) : m_searchPath(std::move(searchPath)) {}

bool CSystemShutdown::Run(const std::vector<std::string> &command) {
    if (command.empty()) {
        return false;
    }
    const std::string program = FindProgram(command.front(), m_searchPath);
    if (program.empty()) {
        return false;
    }
    const std::vector<std::string> arguments(command.begin() + 1, command.end());
    return RunProgram(program, arguments, {}, kCommandTimeoutMs).exitStatus == 0;
}

bool CSystemShutdown::PowerOff() {
    return Run({"systemctl", "poweroff"});
}

bool CSystemShutdown::LogOut() {
    const std::string session = Variable("XDG_SESSION_ID");
    const std::vector<std::string> command =
        LogOutCommand(Variable("XDG_CURRENT_DESKTOP"), session);
    if (Run(command)) {
        return true;
    }
    const std::vector<std::string> fallback = SessionEnd(session);
    return command != fallback && Run(fallback);
}

} // namespace torvex
