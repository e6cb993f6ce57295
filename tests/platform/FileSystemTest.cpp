#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "support/TempDir.h"

namespace torvex {
namespace {

TEST(MakeDirectoryPath, CreatesEveryLevel) {
    test::TempDir temp;
    const std::string deep = temp / "a/b/c/";
    MakeDirectoryPath(deep);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    MakeDirectoryPath(deep); // existing levels are fine
    EXPECT_TRUE(std::filesystem::is_directory(temp / "a/b"));
}

TEST(FileExists, AnythingButAFolderFollowingLinks) {
    test::TempDir temp;
    test::WriteFileBytes(temp / "file", "x");
    std::filesystem::create_directory(temp / "dir");
    std::filesystem::create_symlink(temp / "file", temp / "to-file");
    std::filesystem::create_symlink(temp / "dir", temp / "to-dir");
    std::filesystem::create_symlink(temp / "gone", temp / "dangling");
    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {temp / "file", true},
        {temp / "to-file", true},
        {temp / "dir", false},
        {temp / "to-dir", false},
        {temp / "dangling", false},
        {temp / "missing", false},
        {temp / "file/below", false},
        {temp / std::string(300, 'n'), false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileExists(c.path), c.exists);
    }
}

TEST(MakeDirectoryPath, MakesOnlyTheMissingTailAndStopsAtAFileInTheWay) {
    test::TempDir temp;
    MakeDirectoryPath(temp / "a/b");
    MakeDirectoryPath(temp / "a/b/c/d/e");
    EXPECT_TRUE(std::filesystem::is_directory(temp / "a/b/c/d/e"));

    test::WriteFileBytes(temp / "a/file", "x");
    MakeDirectoryPath(temp / "a/file/c/d");   // a file is no folder: nothing is made under it
    EXPECT_TRUE(std::filesystem::is_regular_file(temp / "a/file"));
    MakeParentDirectory(temp / "a/file/c/d.html");
    EXPECT_TRUE(std::filesystem::is_regular_file(temp / "a/file"));

    // Only the first 260 characters of a path are made.
    const std::string base = temp / "long";
    const std::string longPath = base + "/" + std::string(300, 'n');
    MakeDirectoryPath(longPath);
    std::error_code ec;
    EXPECT_FALSE(std::filesystem::exists(longPath, ec));
    EXPECT_TRUE(std::filesystem::is_directory(longPath.substr(0, kMaxMadeDirectoryPath)));
}

} // namespace
} // namespace torvex
