#include "project/ProjectSearch.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/DirectoryList.h"
#include "project/CProjectTree.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;
namespace fs = std::filesystem;

void WriteProject(const std::string& dir, const std::string& name, const std::string& folders,
                  const std::string& fileName = "project.conf") {
    ASSERT_TRUE(test::WriteProjectConf(dir, name, folders, fileName));
}

class CollectSink : public ISearchSink {
public:
    void Searching(const std::string &directory) override { searched.push_back(directory); }
    void Found(CFoundProject found) override { rows.push_back(std::move(found)); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const CFoundProject &row : rows) {
            names.push_back(row.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> searched;
    std::vector<CFoundProject> rows;
};

// A disk with: a project of the tree, one known only by its copy, one whose settings file has
// no version key, one in a folder path, a link back to the top and a link to the project.
class ProjectSearchDisk : public ::testing::Test {
protected:
    void SetUp() override {
        top = dir.Str() + "/disk";
        WriteProject(top + "/intree", "InTree", "/");
        WriteProject(top + "/copyonly", "CopyOnly", "/Saved", "project.conf.bak");
        fs::create_directories(top + "/noversion");
        WriteFileBytes(top + "/noversion/project.conf",
                       "Name=NoVersion\n[URL]\nStartURL=http://h/\n");
        WriteProject(top + "/deep/a/b/nested", "Nested", "/Sites/Docs");
        // Both files in one directory: listed once.
        WriteProject(top + "/twice", "Twice", "/", "project.conf");
        WriteProject(top + "/twice", "Twice", "/", "project.conf.bak");
        fs::create_directory_symlink(top, top + "/deep/loop");
        fs::create_directory_symlink(top + "/twice", top + "/twicelink");
        known.Add(top + "/intree");
    }

    TempDir dir;
    std::string top;
    CKnownDirectories known;
    std::atomic<bool> stop{false};
};

TEST_F(ProjectSearchDisk, ListsEachProjectOnceAndSkipsTreeProjectsAndBadFiles) {
    CollectSink sink;
    // The same place twice, once through a link: nothing comes twice.
    ASSERT_TRUE(SearchProjects({top, top + "/twicelink", top}, known, stop, sink));
    EXPECT_EQ(sink.Names(), (std::vector<std::string>{"CopyOnly", "Nested", "Twice"}));
    for (const CFoundProject &row : sink.rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.settings->ProjectDir, row.directory);
        if (row.name == "CopyOnly") {
            EXPECT_EQ(row.folders, "/Saved");
            EXPECT_EQ(row.file, top + "/copyonly/project.conf.bak");
        }
        if (row.name == "Twice") {
            EXPECT_EQ(row.file, top + "/twice/project.conf");
        }
    }
    // The link loop was never entered.
    for (const std::string &searched : sink.searched) {
        EXPECT_EQ(searched.find("/loop"), std::string::npos) << searched;
    }
}

TEST_F(ProjectSearchDisk, StopEndsTheWalkAndLaterSearchesAppendOnlyNewRows) {
    CollectSink sink;
    stop = true;
    EXPECT_FALSE(SearchProjects({top}, known, stop, sink));
    EXPECT_TRUE(sink.rows.empty());

    CProjectSearch search;
    ASSERT_TRUE(search.Start({top}, known));
    search.Wait();
    EXPECT_FALSE(search.Searching());
    EXPECT_EQ(search.Rows().size(), 3u);
    EXPECT_EQ(search.StatusText(), "3 project(s) have been found");
    ASSERT_TRUE(search.Start({top + "/deep"}, known));
    search.Wait();
    EXPECT_EQ(search.Rows().size(), 3u);
}

TEST(ProjectSearch, StopEndsALargeWalkPromptly) {
    TempDir dir;
    for (int i = 0; i < 100; ++i) {
        fs::create_directories(dir.Str() + "/d" + std::to_string(i) + "/x/y");
    }
    CProjectSearch search;
    ASSERT_TRUE(search.Start({dir.Str()}, CKnownDirectories()));
    search.Stop();
    search.Wait();
    EXPECT_FALSE(search.Searching());
    EXPECT_EQ(search.StatusText(), "0 project(s) have been found");
}

TEST(ProjectSearch, PseudoFileSystemsAreNotEntered) {
    CollectSink sink;
    std::atomic<bool> stop{false};
    SearchProjects({"/proc", "/sys"}, CKnownDirectories(), stop, sink);
    EXPECT_TRUE(sink.searched.empty());
    EXPECT_TRUE(sink.rows.empty());
}

TEST(ProjectSearch, LocationsThatAreNoFolderAreRefusedWithAMessage) {
    TempDir dir;
    WriteFileBytes(dir.Str() + "/file", "x");
    fs::create_directory_symlink(dir.Str() + "/loopb", dir.Str() + "/loopa");
    fs::create_directory_symlink(dir.Str() + "/loopa", dir.Str() + "/loopb");
    fs::create_directories(dir.Str() + "/real");
    const std::vector<CSearchLocation> entries =
        SearchLocations({dir.Str() + "/real", "/nonexistent-mount"}, dir.Str() + "/real");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "Computer");

    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {dir.Str() + "/missing", "does not exist"}, {dir.Str() + "/file", "is a file"},
        {dir.Str() + "/loopa", "does not exist"},   {"", "Please enter"},
        {std::string("bad\nname"), "Please enter"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> paths{"stale"};
        std::string error;
        EXPECT_FALSE(ResolveSearchLocation(c.text, entries, paths, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_TRUE(paths.empty());
    }
    std::vector<std::string> paths;
    std::string error;
    // The computer entry, in any case: only the folders that exist.
    ASSERT_TRUE(ResolveSearchLocation("COMPUTER", entries, paths, error));
    EXPECT_EQ(paths, std::vector<std::string>{dir.Str() + "/real"});
    ASSERT_TRUE(ResolveSearchLocation(dir.Str() + "/real/", entries, paths, error));
    EXPECT_EQ(paths, std::vector<std::string>{fs::canonical(dir.Str() + "/real").string()});
}

TEST(ProjectSearch, MountTableSkipsPseudoAndMalformedLines) {
    const std::vector<CMountPoint> mounts =
        ParseMountTable("proc /proc proc rw 0 0\n"
                        "/dev/sda1 / ext4 rw 0 0\n"
                        "garbage\n"
                        "/dev/sdb1 /media/my\\040disk vfat rw 0 0\n"
                        "none relative tmpfs rw 0 0\n"
                        "/dev/sdc1 /bad\\9 ext4 rw 0 0");
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[2].directory, "/media/my disk");
    EXPECT_EQ(mounts[3].directory, "/bad\\9");
    EXPECT_TRUE(IsPseudoFileSystemName(mounts[0].type));
    EXPECT_FALSE(IsPseudoFileSystemName(mounts[1].type));
    const std::vector<std::string> real = RealMountPoints();
    EXPECT_EQ(std::count(real.begin(), real.end(), std::string("/proc")), 0);
}

} // namespace
} // namespace torvex
