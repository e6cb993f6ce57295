#include "platform/DurableFile.h"

#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileEnv.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFaultFileEnv;
using test::FileStep;
using test::ReadFileBytes;
using test::TempDir;

// Names in `dir` other than `keep`: what a failed write left behind.
std::vector<std::string> Leftovers(const TempDir &dir, const std::string &keep) {
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(dir.Path())) {
        if (item.path().filename() != keep) {
            names.push_back(item.path().filename().string());
        }
    }
    return names;
}

TEST(DurableFileWrite, ReplacesTheWholeContent) {
    TempDir dir;
    const std::string path = dir / "project.conf";
    ASSERT_TRUE(ReplaceFileDurably(path, "a much longer first text\n"));
    ASSERT_TRUE(ReplaceFileDurably(path, "short\n"));
    EXPECT_EQ(ReadFileBytes(path), "short\n");
    EXPECT_TRUE(Leftovers(dir, "project.conf").empty());
}

TEST(DurableFileWrite, SecretsAreForTheOwnerOnly) {
    TempDir dir;
    const std::string path = dir / "cookies";
    ASSERT_TRUE(ReplaceFileDurably(path, "x\r/\rn\rv\r0\n", FileAccess::OwnerOnly));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(DurableFileWrite, AFailureAtAnyStepKeepsTheOldContent) {
    for (const FileStep step : {FileStep::Create, FileStep::ShortWrite, FileStep::DiskFull,
                                FileStep::Sync, FileStep::Close, FileStep::Rename}) {
        SCOPED_TRACE(test::FileStepName(step));
        TempDir dir;
        const std::string path = dir / "Torvex.dir";
        ASSERT_TRUE(ReplaceFileDurably(path, "TorvexVersion=0.93\nROOT_EXPAND=1\n"));
        CFaultFileEnv faults;
        faults.Fail(step, path);
        {
            CScopedFileEnv scoped(faults);
            errno = 0;
            EXPECT_FALSE(ReplaceFileDurably(path, "TorvexVersion=0.93\nROOT_EXPAND=0\n"));
            EXPECT_NE(errno, 0);
        }
        EXPECT_EQ(faults.Failures(), 1);
        EXPECT_EQ(ReadFileBytes(path), "TorvexVersion=0.93\nROOT_EXPAND=1\n");
        EXPECT_TRUE(Leftovers(dir, "Torvex.dir").empty());
    }
}

TEST(DurableFileWrite, AFolderThatCannotBeSyncedIsReported) {
    TempDir dir;
    const std::string path = dir / "project.log";
    CFaultFileEnv faults;
    faults.Fail(FileStep::SyncDirectory, path);
    CScopedFileEnv scoped(faults);
    EXPECT_FALSE(ReplaceFileDurably(path, "[latest]\n"));
    EXPECT_EQ(ReadFileBytes(path), "[latest]\n"); // in place, but not known to be durable
    // Files a run writes by the thousand are not synced at all.
    EXPECT_TRUE(ReplaceFileDurably(path, "[backup]\n", FileAccess::Shared, FileSync::AtomicOnly));
}

TEST(DurableFileWrite, WritersAtOnceNeverMixTheirTexts) {
    TempDir dir;
    const std::string path = dir / "Torvex.conf";
    const std::string first(40000, 'a');
    const std::string second(30000, 'b');
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i) {
        writers.emplace_back([&, i] {
            for (int n = 0; n < 20; ++n) {
                EXPECT_TRUE(ReplaceFileDurably(path, i % 2 ? first : second));
            }
        });
    }
    for (std::thread &writer : writers) {
        writer.join();
    }
    const std::string text = ReadFileBytes(path);
    EXPECT_TRUE(text == first || text == second);
    EXPECT_TRUE(Leftovers(dir, "Torvex.conf").empty());
}

// A run killed while it rewrote a page leaves the temporary file; the next write of the page
// takes its place, so the copy ends without strays.
TEST(DurableFileWrite, ATemporaryFileOfAKilledRunIsReplaced) {
    TempDir dir;
    const std::string path = dir / "page.html";
    test::WriteFileBytes(path + ".tvx-new", "half a pa");
    ASSERT_TRUE(ReplaceFileDurably(path, "<p>whole</p>", FileAccess::Shared, FileSync::AtomicOnly,
                                   FileWriters::One));
    EXPECT_EQ(ReadFileBytes(path), "<p>whole</p>");
    EXPECT_TRUE(Leftovers(dir, "page.html").empty());
}

TEST(DurableFileAppend, AFullDiskIsReported) {
    TempDir dir;
    const std::string path = dir / "project.log";
    ASSERT_TRUE(AppendFileDurably(path, "[latest]\n"));
    ASSERT_TRUE(AppendFileDurably(path, "StartPage=a/index.html\n"));
    EXPECT_EQ(ReadFileBytes(path), "[latest]\nStartPage=a/index.html\n");
    for (const FileStep step : {FileStep::OpenAppend, FileStep::DiskFull, FileStep::Sync}) {
        SCOPED_TRACE(test::FileStepName(step));
        CFaultFileEnv faults;
        faults.Fail(step, path);
        CScopedFileEnv scoped(faults);
        EXPECT_FALSE(AppendFileDurably(path, "StartPage=b/index.html\n"));
    }
}

} // namespace
} // namespace torvex
