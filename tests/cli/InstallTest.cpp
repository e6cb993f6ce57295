// "cmake --install" of the build tree into a fresh prefix: the programs, the library, the files
// the programs read beside themselves and the manual page land where the README says, and the
// installed torvex-cli runs from its link in bin/ with the shipped defaults.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/CChildProcess.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using namespace std::chrono_literals;
using test::ChildResult;
using test::ReadFileBytes;
using test::TempDir;

TEST(Install, PutsProgramsFilesAndTheManualPageUnderThePrefix) {
    TempDir prefix;
    const ChildResult install = test::RunChild(
        "/bin/sh", {"-c", "exec cmake --install \"$0\" --prefix \"$1\"", TORVEX_BINARY_DIR,
                    prefix.Str()},
        {}, 120s);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;

    namespace fs = std::filesystem;
    for (const char* file : {"lib/torvex/torvex-cli", "lib/torvex/libpellix.so",
                             "lib/torvex/pellix-host", "lib/torvex/Config/default.conf",
                             "lib/torvex/Origin/index_t.en", "share/man/man1/torvex-cli.1"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(fs::is_regular_file(prefix / file));
    }
    ASSERT_TRUE(fs::is_symlink(prefix / "bin/torvex-cli"));
    EXPECT_EQ(fs::read_symlink(prefix / "bin/torvex-cli"), "../lib/torvex/torvex-cli");
    EXPECT_NE(ReadFileBytes(prefix / "share/man/man1/torvex-cli.1").find(".SH OPTIONS"),
              std::string::npos);

    // With the desktop program, its launcher names the installed program.
    if (fs::is_regular_file(prefix / "lib/torvex/torvex")) {
        const std::string launcher = ReadFileBytes(prefix / "share/applications/torvex.desktop");
        EXPECT_NE(launcher.find("\nExec=\"" + (prefix / "lib/torvex/torvex") + "\"\n"),
                  std::string::npos)
            << launcher;
        EXPECT_EQ(launcher.rfind("[Desktop Entry]\n", 0), 0u);
    }

    // Started through its link, the program finds the defaults installed beside it.
    TempDir home;
    const std::string project = prefix / "site";
    const ChildResult made =
        test::RunChild(prefix / "bin/torvex-cli", {"new", project, "example.org/"},
                       {"TORVEX_HOME=" + home.Str()});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    const std::string conf = ReadFileBytes(project + "/project.conf");
    EXPECT_NE(conf.find("\nLink=1\n"), std::string::npos) << conf;
    EXPECT_NE(conf.find("StartURL=http://example.org/\n"), std::string::npos) << conf;
}

} // namespace
} // namespace torvex
