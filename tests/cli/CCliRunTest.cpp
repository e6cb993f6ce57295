#include "cli/CCliRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CConsole.h"
#include "platform/FileSystem.h"
#include "platform/StopSignals.h"
#include "project/CProjectPaths.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CStandInPipeline;
using test::ProjectIn;
using test::TempDir;

// Stop requests as a user gives them: none until the run has been polled `quietPolls` times,
// then one more on every poll (so a request also comes while the break point is saved).
class CRepeatedStops final : public IStopRequests {
public:
    explicit CRepeatedStops(int quietPolls) : m_quiet(quietPolls) {}
    int StopRequestCount() const override {
        const int polls = m_polls.fetch_add(1);
        return polls < m_quiet ? 0 : polls - m_quiet + 1;
    }

private:
    int m_quiet;
    mutable std::atomic<int> m_polls{0};
};

class CNoStops final : public IStopRequests {
public:
    int StopRequestCount() const override { return 0; }
};

// Everything the run wrote to its console.
class CapturedConsole {
public:
    CapturedConsole() : m_file(std::tmpfile()), console(m_file, false) {}
    ~CapturedConsole() { std::fclose(m_file); }
    std::string Text() const {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0;) {
            text.append(buffer, n);
        }
        return text;
    }

private:
    std::FILE* m_file;

public:
    CConsole console;
};

struct CliRunRig {
    explicit CliRunRig(const std::vector<std::string>& addresses) {
        CProjectSettings project = ProjectIn(dir.Str(), addresses);
        project.Name = "Sample";
        EXPECT_TRUE(project.WriteProjectFile(dir / "project.conf", "/"));
    }
    CliExit Run(RunCommand command, IStopRequests& stops, bool yes = false) {
        CCliRun run(pipeline, stops, output.console, CCliRunOptions{.answerYes = yes});
        return run.Run(dir.Str(), command);
    }
    TempDir dir;
    CStandInPipeline pipeline;
    CapturedConsole output;
};

TEST(CliRun, FinishedRunExitsWithZeroAndSaysSo) {
    CliRunRig rig({"http://example.org/a.html", "http://example.org/b.html"});
    CNoStops stops;
    EXPECT_EQ(rig.Run(RunCommand::Start, stops), CliExit::Finished);
    EXPECT_NE(rig.output.Text().find("Download finished!"), std::string::npos);
    EXPECT_FALSE(FileExists(rig.dir / "logs/latest.s"));
}

TEST(CliRun, RunThatStoredNothingEndsWithTheErrorStatus) {
    CliRunRig rig({"http://example.org/fail"});
    CNoStops stops;
    EXPECT_EQ(rig.Run(RunCommand::Start, stops), CliExit::Error);
    EXPECT_NE(rig.output.Text().find("No files have been downloaded for project \"Sample\"!"),
              std::string::npos);
}

TEST(CliRun, StopRequestStopsTheRunAndRepeatedRequestsDoNotLoseTheBreakPoint) {
    CliRunRig rig({"http://example.org/hold"});
    CRepeatedStops stops(3);
    EXPECT_EQ(rig.Run(RunCommand::Start, stops), CliExit::Stopped);
    const std::string said = rig.output.Text();
    EXPECT_NE(said.find("Stopping the download of project \"Sample\""), std::string::npos);
    EXPECT_NE(said.find("Saving break point information to log file..."), std::string::npos);
    EXPECT_NE(said.find("was stopped and its break point saved"), std::string::npos) << said;
    const CProjectPaths paths = SetRecord(rig.dir.Str(), "latest");
    EXPECT_TRUE(FileExists(paths.breakPointFile));
    EXPECT_TRUE(FileExists(paths.seenSet));
}

TEST(CliRun, ResumeWithoutItsLogsIsDeclinedUnlessYesIsGiven) {
    CliRunRig rig({"http://example.org/a.html"});
    CNoStops stops;
    EXPECT_EQ(rig.Run(RunCommand::Resume, stops), CliExit::NotStarted);
    const std::string declined = rig.output.Text();
    EXPECT_NE(declined.find("Failed to resume project \"Sample\", because the necessary log "
                            "file was not found."),
              std::string::npos);
    EXPECT_NE(declined.find("Declined: answered Cancel. Run again with --yes"),
              std::string::npos);

    EXPECT_EQ(rig.Run(RunCommand::Resume, stops, true), CliExit::Finished);
    EXPECT_NE(rig.output.Text().find("Answered OK (--yes)."), std::string::npos);
}

TEST(CliRun, MissingOrForeignProjectFileDoesNotStart) {
    TempDir empty;
    CStandInPipeline pipeline;
    CapturedConsole output;
    CNoStops stops;
    CCliRun run(pipeline, stops, output.console, CCliRunOptions{});
    EXPECT_EQ(run.Run(empty.Str(), RunCommand::Start), CliExit::NotStarted);
    EXPECT_NE(output.Text().find("Error: Failed to open the file or it is in wrong format!"),
              std::string::npos);
}

TEST(CliRun, UnparsableStartAddressIsAStartFailure) {
    CliRunRig rig({"not an address"});
    CNoStops stops;
    EXPECT_EQ(rig.Run(RunCommand::Start, stops), CliExit::NotStarted);
    EXPECT_NE(rig.output.Text().find("Error: The start address of project \"Sample\" is not "
                                     "valid."),
              std::string::npos);
}

} // namespace
} // namespace torvex
