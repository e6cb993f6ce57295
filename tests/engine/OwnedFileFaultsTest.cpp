// Every file the program owns is written so that a failure at any step of the write (a full
// disk, a short write, a failed sync, close or rename) leaves its previous content readable and
// is reported to the caller.

#include <filesystem>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IndexPage.h"
#include "engine/ProjectLog.h"
#include "net/CCookieJar.h"
#include "platform/FileEnv.h"
#include "platform/Registry.h"
#include "project/CAppSettings.h"
#include "project/CProjectSettings.h"
#include "project/CProjectTree.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFaultFileEnv;
using test::FileStep;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Writes version `n` of one owned file at `path` (in the folder `dir`); false when it failed.
using Writer = std::function<bool(const TempDir &dir, const std::string &path, int n)>;

struct OwnedFile {
    const char *name; // the file's name in the folder
    Writer write;
    bool synced = true; // written with a sync (link maps and pages are not)
};

std::vector<OwnedFile> OwnedFiles() {
    return {
        {"project.conf",
         [](const TempDir &, const std::string &path, int n) {
             CProjectSettings settings;
             settings.Name = "Site" + std::to_string(n);
             return settings.WriteProjectFile(path, "/");
         }},
        {"default.conf",
         [](const TempDir &, const std::string &path, int n) {
             CProjectSettings settings;
             settings.Level = n;
             return settings.SaveDefaults(path);
         }},
        {"Torvex.conf",
         [](const TempDir &, const std::string &path, int n) {
             CAppSettings settings;
             settings.Redial = n;
             return settings.Save(path);
         }},
        {"Torvex.dir",
         [](const TempDir &dir, const std::string &path, int n) {
             CProjectTree tree(path, dir / "MyWebsites");
             tree.LoadTree();
             tree.AddFolder(tree.Root(), "Folder" + std::to_string(n));
             return tree.SaveTree(false);
         }},
        {"Torvex.dir.bak",
         [](const TempDir &dir, const std::string &, int n) {
             CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
             tree.LoadTree();
             tree.AddFolder(tree.Root(), "Folder" + std::to_string(n));
             std::string error;
             return tree.SaveAll(error);
         }},
        {"set.tvp",
         [](const TempDir &dir, const std::string &path, int n) {
             CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
             tree.LoadTree();
             tree.AddFolder(tree.Root(), "Folder" + std::to_string(n));
             return tree.ExportItem(tree.Root(), path);
         }},
        {"project.log",
         [](const TempDir &, const std::string &path, int n) {
             CRecordInfo values;
             values.RecordTime = 1000;
             values.StartTime = 1000;
             values.EndTime = 1000 + n;
             values.Status = 2;
             return WriteTaskRecord(path, values);
         }},
        {"cookies",
         [](const TempDir &, const std::string &path, int n) {
             CCookieJar jar;
             jar.AddCookie({"h.example", "/", "session", std::to_string(n), false, 0});
             return jar.SaveCookies(path);
         }},
        {"index.html",
         [](const TempDir &dir, const std::string &, int n) {
             WriteFileBytes(dir / "index_t.en", "<title>%ProjectName%</title>\n");
             CProjectSettings project;
             project.Name = "Site" + std::to_string(n);
             return GenerateIndexPage(project, dir.Str(), dir / "latest", dir / "index_t.en");
         }},
        {"registry",
         [](const TempDir &, const std::string &path, int n) {
             CFileRegistry registry(path);
             return registry.WriteString("HKEY_CURRENT_USER\\Software\\Torvex", "WorkDir",
                                         "/w" + std::to_string(n));
         }},
    };
}

// Files in `dir` beside the ones a write is meant to leave: temporary files of failed writes.
std::vector<std::string> Strays(const TempDir &dir) {
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(dir.Path())) {
        const std::string name = item.path().filename().string();
        if (name.find(".tvx") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(OwnedFileFaults, AFailedWriteKeepsThePreviousContentAndIsReported) {
    for (const OwnedFile &owned : OwnedFiles()) {
        for (const FileStep step : {FileStep::Create, FileStep::ShortWrite, FileStep::DiskFull,
                                    FileStep::Sync, FileStep::Close, FileStep::Rename}) {
            if (step == FileStep::Sync && !owned.synced) {
                continue;
            }
            SCOPED_TRACE(std::string(owned.name) + " " + test::FileStepName(step));
            TempDir dir;
            const std::string path = dir / owned.name;
            ASSERT_TRUE(owned.write(dir, path, 1));
            const std::string before = ReadFileBytes(path);
            ASSERT_FALSE(before.empty());
            CFaultFileEnv faults;
            faults.Fail(step, path);
            {
                CScopedFileEnv scoped(faults);
                EXPECT_FALSE(owned.write(dir, path, 2));
            }
            EXPECT_GE(faults.Failures(), 1);
            EXPECT_EQ(ReadFileBytes(path), before);
            EXPECT_EQ(Strays(dir), std::vector<std::string>{});
            // And the next write that works goes through.
            EXPECT_TRUE(owned.write(dir, path, 3));
            EXPECT_NE(ReadFileBytes(path), before);
        }
    }
}

} // namespace
} // namespace torvex
