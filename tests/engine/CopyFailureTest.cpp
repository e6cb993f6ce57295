// A file that cannot be taken over from an older record is never dropped without a trace.

#include <gtest/gtest.h>

#include "platform/FileEnv.h"
#include "support/CFaultFileEnv.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFaultFileEnv;
using test::CLoopbackSite;
using test::CPipelineRunner;
using test::FileStep;
using test::HttpReply;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

TEST(CopyFromOlderRecord, AFileThatCannotBeCopiedIsFetchedOrListedAsNotStored) {
    for (const int updateMode : {0, 1}) {
        SCOPED_TRACE(updateMode);
        CLoopbackSite site;
        site.Serve("/", HttpReply("200 OK", "text/html", "<a href='f.txt'>f</a>"));
        site.Serve("/f.txt", HttpReply("200 OK", "text/plain", "file"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
        project.BackupLast = 1;
        project.UpdateMode = updateMode;
        CPipelineRunner runner;
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
        ASSERT_EQ(site.Count("/f.txt"), 1);

        // The backup's copy cannot be read (an I/O error, a file gone meanwhile).
        CFaultFileEnv faults;
        faults.Fail(FileStep::Copy, "/f.txt");
        CScopedFileEnv scoped(faults);
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
        EXPECT_GE(faults.Failures(), 1);
        const std::string stored = dir / ("download/latest/" + site.Host() + "/f.txt");
        if (updateMode == 0) {
            // Read from the local disk only: not fetched, but listed with its reason.
            EXPECT_EQ(site.Count("/f.txt"), 1);
            ASSERT_EQ(runner.failures.size(), 1u);
            EXPECT_EQ(runner.failures[0].url, site.Url("/f.txt"));
            EXPECT_FALSE(runner.failures[0].reason.empty());
        } else {
            EXPECT_EQ(site.Count("/f.txt"), 2);
            EXPECT_EQ(ReadFileBytes(stored), "file");
            EXPECT_TRUE(runner.failures.empty());
        }
    }
}

} // namespace
} // namespace torvex
