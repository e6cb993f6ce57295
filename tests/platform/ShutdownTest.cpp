#include "platform/Shutdown.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(LogOutCommand, EachDesktopLogsOutWithItsOwnProgramElseTheSessionEnds) {
    struct Case {
        const char *desktop;
        const char *session;
        std::vector<std::string> command;
    };
    const Case cases[] = {
        {"GNOME", "4", {"gnome-session-quit", "--logout", "--no-prompt"}},
        {"ubuntu:GNOME", "4", {"gnome-session-quit", "--logout", "--no-prompt"}},
        {"KDE", "", {"qdbus", "org.kde.ksmserver", "/KSMServer", "logout", "0", "0", "0"}},
        {"xfce", "", {"xfce4-session-logout", "--logout"}},
        {"X-Cinnamon", "", {"cinnamon-session-quit", "--logout", "--no-prompt"}},
        {"MATE", "", {"mate-session-save", "--logout"}},
        {"LXQt", "", {"lxqt-leave", "--logout"}},
        {"sway", "c2", {"loginctl", "terminate-session", "c2"}},
        {"", "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.desktop);
        EXPECT_EQ(LogOutCommand(c.desktop, c.session), c.command);
    }
}

// The programs are looked up only in the folder of stubs that record their arguments: no test
// ever reaches the system's own.
class SystemShutdown : public ::testing::Test {
protected:
    void Stub(const std::string &name, int status) {
        const std::string path = m_dir / name;
        WriteFileBytes(path, "#!/bin/sh\necho \"" + name + " $*\" >>'" + (m_dir / "calls") +
                                 "'\nexit " + std::to_string(status) + "\n");
        fs::permissions(path, fs::perms::owner_all);
    }
    std::string Calls() const {
        return fs::exists(m_dir / "calls") ? ReadFileBytes(m_dir / "calls") : std::string();
    }
    TempDir m_dir;
};

TEST_F(SystemShutdown, PowerOffAsksSystemd) {
    CSystemShutdown shutdown(m_dir.Str());
    EXPECT_FALSE(shutdown.PowerOff()); // no systemctl here
    Stub("systemctl", 1);
    EXPECT_FALSE(shutdown.PowerOff()); // refused
    Stub("systemctl", 0);
    EXPECT_TRUE(shutdown.PowerOff());
    EXPECT_EQ(Calls(), "systemctl poweroff\nsystemctl poweroff\n");
}

TEST_F(SystemShutdown, LogOutFallsBackToTheSessionEnd) {
    test::ScopedVariable desktop("XDG_CURRENT_DESKTOP", "GNOME");
    test::ScopedVariable session("XDG_SESSION_ID", "7");
    CSystemShutdown shutdown(m_dir.Str());
    EXPECT_FALSE(shutdown.LogOut());
    Stub("loginctl", 0);
    EXPECT_TRUE(shutdown.LogOut());
    Stub("gnome-session-quit", 0);
    EXPECT_TRUE(shutdown.LogOut());
    EXPECT_EQ(Calls(), "loginctl terminate-session 7\n"
                       "gnome-session-quit --logout --no-prompt\n");
}

} // namespace
} // namespace torvex
