#include "platform/FileEnv.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(PositionedFile, OpensOnlyWhatItMayAndWritesAtTheOffsetsGiven) {
    TempDir dir;
    IFileEnv &env = PosixFileEnv();
    errno = 0;
    EXPECT_EQ(env.OpenPositioned(dir / "missing", false), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(env.OpenPositioned(dir / "no/such/folder", true), nullptr);

    auto file = env.OpenPositioned(dir / "log", true);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->WriteAt(0, "abcdef"));
    ASSERT_TRUE(file->WriteAt(2, "XY"));
    char buffer[16];
    EXPECT_EQ(file->ReadAt(4, buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(file->ReadAt(6, buffer, sizeof buffer), 0); // the end
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->WriteAt(0, "z")); // closed: nothing more is written
    EXPECT_EQ(file->ReadAt(0, buffer, 1), -1);
    EXPECT_EQ(ReadFileBytes(dir / "log"), "abXYef");

    // Opened again without creating, the content stays.
    auto again = env.OpenPositioned(dir / "log", false);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(again->WriteAt(6, "\n"));
    again.reset();
    EXPECT_EQ(ReadFileBytes(dir / "log"), "abXYef\n");
}

TEST(PositionedFile, AFaultyWriteOrReadIsReported) {
    TempDir dir;
    WriteFileBytes(dir / "log", "0123456789");
    test::CFaultFileEnv faults;
    faults.Fail(test::FileStep::ShortWrite, "log");
    faults.Fail(test::FileStep::Read, "log");
    auto file = faults.OpenPositioned(dir / "log", false);
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->WriteAt(2, "abcd"));
    char buffer[4];
    EXPECT_EQ(file->ReadAt(0, buffer, sizeof buffer), -1);
    file.reset();
    EXPECT_EQ(ReadFileBytes(dir / "log"), "01ab456789"); // half of it reached the file
    faults.Fail(test::FileStep::Create, "log");
    EXPECT_EQ(faults.OpenPositioned(dir / "log", false), nullptr);
}

TEST(ReadAll, ReadsEveryByteAndRefusesWhatIsNoFile) {
    TempDir dir;
    std::string big(3 * 65536 + 17, 'x');
    big[65536] = 'y';
    WriteFileBytes(dir / "big", big);
    WriteFileBytes(dir / "empty", "");
    std::string text = "old";
    ASSERT_TRUE(ReadFileText(dir / "big", text));
    EXPECT_EQ(text, big);
    ASSERT_TRUE(ReadFileText(dir / "empty", text));
    EXPECT_EQ(text, "");

    text = "old";
    errno = 0;
    EXPECT_FALSE(ReadFileText(dir.Str(), text)); // a folder opens, but is not read
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(ReadFileText(dir / "missing", text));
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
} // namespace torvex
