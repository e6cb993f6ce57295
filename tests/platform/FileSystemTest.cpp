#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

} // namespace
} // namespace torvex
