#include "project/CProjectPaths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace torvex {
namespace {

TEST(CProjectPathsSetRecord, ProjectAndRecordPaths) {
    const CProjectPaths paths = SetRecord("/p", "latest");
    EXPECT_EQ(paths.downloadDir, "/p/download");
    EXPECT_EQ(paths.linkMapDir, "/p/linkmap");
    EXPECT_EQ(paths.logsDir, "/p/logs");
    EXPECT_EQ(paths.recordDownloadDir, "/p/download/latest");
    EXPECT_EQ(paths.recordLinkMapDir, "/p/linkmap/latest");
    EXPECT_EQ(paths.statusLog, "/p/logs/latest");
    EXPECT_EQ(paths.breakPointFile, "/p/logs/latest.s");
    EXPECT_EQ(paths.seenSet, "/p/logs/latest.tmp");
    EXPECT_EQ(paths.projectLog, "/p/project.log");
    EXPECT_EQ(paths.recordDownloadDirLength, 18u);
    EXPECT_TRUE(paths.fits);

    const CProjectPaths bare = SetRecord("/p", std::nullopt);
    EXPECT_EQ(bare.downloadDir, "/p/download");
    EXPECT_TRUE(bare.recordDownloadDir.empty());

    EXPECT_FALSE(SetRecord("/" + std::string(250, 'p'), "latest").fits);
}

} // namespace
} // namespace torvex
