#include "cli/NewProject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

struct NewRig {
    NewProjectOutcome Create(const std::string& url, std::vector<std::string> assignments = {},
                             bool force = false, const std::string& folder = "site") {
        NewProjectRequest request;
        request.projectDir = dir / folder;
        request.urls = {url};
        for (const std::string& assignment : assignments) {
            const auto equals = assignment.find('=');
            request.settings.push_back({nullptr, assignment.substr(0, equals),
                                        equals == std::string::npos
                                            ? std::string()
                                            : assignment.substr(equals + 1),
                                        assignment});
        }
        request.force = force;
        request.defaultsPath = dir / "Config/default.conf";
        return CreateNewProject(request);
    }
    // The project file as a later run reads it.
    CProjectSettings Reload(const std::string& folder = "site") const {
        CProjectSettings settings;
        EXPECT_TRUE(settings.LoadProjectFile(dir / (folder + "/project.conf"), nullptr));
        return settings;
    }
    TempDir dir;
};

TEST(NewProject, WritesBuiltInDefaultsAndTheStartAddress) {
    NewRig rig;
    const NewProjectOutcome outcome = rig.Create("http://example.org/docs/", {}, false,
                                                 "nested/deeper/site");
    ASSERT_EQ(outcome.exit, CliExit::Finished) << outcome.message;
    const std::string text = ReadFileBytes(rig.dir / "nested/deeper/site/project.conf");
    EXPECT_EQ(text.rfind("TorvexVersion=0.93\nName=site\nFolders=/\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nUseGlobeProxy=1\n"), std::string::npos);   // proxy lines are kept

    const CProjectSettings settings = rig.Reload("nested/deeper/site");
    const CProjectSettings builtIn;
    EXPECT_EQ(settings.Name, "site");
    EXPECT_EQ(settings.Retry, builtIn.Retry);
    EXPECT_EQ(settings.UpdateMode, builtIn.UpdateMode);
    ASSERT_EQ(settings.Addresses.size(), 1u);
    EXPECT_EQ(settings.Addresses[0].StartURL, "http://example.org/docs/");
    EXPECT_EQ(settings.Addresses[0].Level, builtIn.Level);
    EXPECT_EQ(settings.Addresses[0].Filter.HostFilter, builtIn.HostFilter);
}

TEST(NewProject, StartsFromTheDefaultsFile) {
    NewRig rig;
    MakeDirectoryPath(rig.dir / "Config");
    WriteFileBytes(rig.dir / "Config/default.conf",
                   "TorvexVersion=0.93\nLevel=7\nHostFilter=0\nPathFilter=1\nRetry=5\n"
                   "BackupLast=0\nUpdateMode=1\n");
    ASSERT_EQ(rig.Create("http://example.org/").exit, CliExit::Finished);
    const CProjectSettings settings = rig.Reload();
    EXPECT_EQ(settings.Retry, 5);
    EXPECT_EQ(settings.BackupLast, 0);
    EXPECT_EQ(settings.UpdateMode, 1);
    ASSERT_EQ(settings.Addresses.size(), 1u);
    EXPECT_EQ(settings.Addresses[0].Level, 7);
    EXPECT_EQ(settings.Addresses[0].Filter.HostFilter, 0);
    EXPECT_EQ(settings.Addresses[0].Filter.PathFilter, 1);
}

TEST(NewProject, AppliesKeysAsTheProjectFileWouldAndClampsThem) {
    NewRig rig;
    const NewProjectOutcome outcome = rig.Create(
        "http://example.org/",
        {"Retry=150", "timeout=5", "DownthreadNum=0", "FreeSpaceLimit=0", "MaxFile=12",
         "Name=Other name", "UserAgentMode=4", "UserDefined=probe/1.0", "Level=150",
         "HostFilter=3", "FHost=a.example;b.example", "RequestMethod=post",
         "Description=the docs", "Username=anna", "Password=secret", "ProxyPassword=hidden",
         "UseGlobeProxy=0", "Proxy=2", "ProxyPort=0", "Retry=4"});
    ASSERT_EQ(outcome.exit, CliExit::Finished) << outcome.message;
    // Each value brought into range says so, and to what.
    ASSERT_EQ(outcome.warnings.size(), 6u);   // ProxyPort=0 too
    EXPECT_EQ(outcome.warnings[0], "Retry=150: Retry takes a whole number from 0 to 99; using 99");
    EXPECT_EQ(outcome.warnings[1],
              "timeout=5: TimeOut takes a whole number from 10 to 1200; using 10");
    const CProjectSettings settings = rig.Reload();
    EXPECT_EQ(settings.Retry, 4);   // the last of two wins, as in the file
    EXPECT_EQ(settings.TimeOut, 10);
    EXPECT_EQ(settings.DownthreadNum, 1);
    EXPECT_EQ(settings.FreeSpaceLimit, 2);
    EXPECT_EQ(settings.MaxFile, 12);
    EXPECT_EQ(settings.Name, "Other name");
    EXPECT_EQ(settings.UserAgentMode, 4);
    EXPECT_EQ(settings.UserDefined, "probe/1.0");
    EXPECT_FALSE(settings.UseGlobeProxy);
    EXPECT_EQ(settings.Proxy, 2);
    EXPECT_EQ(settings.ProxyPort, 1080);
    EXPECT_EQ(settings.ProxyPassword, "hidden");
    ASSERT_EQ(settings.Addresses.size(), 1u);
    const CStartAddress& address = settings.Addresses[0];
    EXPECT_EQ(address.Level, 99);
    EXPECT_EQ(address.Filter.HostFilter, 3);
    EXPECT_EQ(address.Filter.FHost, "a.example;b.example");
    EXPECT_EQ(address.RequestMethod, "POST");   // taken in any case, written as listed
    EXPECT_EQ(address.Description, "the docs");
    EXPECT_EQ(address.Username, "anna");
    EXPECT_EQ(address.Password, "secret");
    // Passwords never stand in the file as typed.
    const std::string text = ReadFileBytes(rig.dir / "site/project.conf");
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
}

TEST(NewProject, KeepsTheDateMacroAndChecksTheExpandedAddress) {
    NewRig rig;
    ASSERT_EQ(rig.Create("http://example.org/$DATE/", {"DateFormat=yyyy"}).exit,
              CliExit::Finished);
    const CProjectSettings settings = rig.Reload();
    ASSERT_EQ(settings.Addresses.size(), 1u);
    EXPECT_EQ(settings.Addresses[0].StartURL, "http://example.org/$DATE/");
    EXPECT_EQ(settings.Addresses[0].DateFormat, "yyyy");
}

TEST(NewProject, RefusesWhatProjectFilesCannotHold) {
    const std::string kBadNameText =
        "Sorry, the name contains invalid characters. Please try another name.\n"
        "Note, the following characters are invalid: \\, /, *, ?, \", <, >, |.";
    const struct {
        const char* name;
        std::string url;
        std::vector<std::string> assignments;
        std::string message;
    } cases[] = {
        {"no scheme", "example.org/", {}, "Sorry, the URL is not valid."},
        {"bad port", "http://example.org:99999/", {}, "Sorry, the URL is not valid."},
        {"empty", "", {}, "Sorry, the URL is not valid."},
        {"too long", "http://example.org/" + std::string(600, 'a'), {},
         "Sorry, the URL is not valid."},
        {"gopher", "GOPHER://example.org/", {}, "Sorry, the URL is not valid."},
        {"unknown key", "http://example.org/", {"Colour=blue"},
         "unknown key \"Colour\" (torvex-cli keys lists them)"},
        {"misspelt key", "http://example.org/", {"Levle=3"},
         "unknown key \"Levle\"; did you mean \"Level\"? (torvex-cli keys lists them)"},
        {"not a number", "http://example.org/", {"Level=abc"},
         "Level=abc: Level takes a whole number from 0 to 99"},
        {"not a choice", "http://example.org/", {"HostFilter=9"},
         "HostFilter=9: HostFilter takes 0 (all hosts), 1 (hosts within the start domain), 2 "
         "(the start host only) or 3 (the hosts in FHost)"},
        {"not a flag", "http://example.org/", {"Cookie=yes"}, "Cookie=yes: Cookie takes 0 or 1"},
        {"not a flag either", "http://example.org/", {"KeepAlive=2"},
         "KeepAlive=2: KeepAlive takes 0 or 1"},
        {"directory key", "http://example.org/", {"ProjectDir=/elsewhere"},
         "the key ProjectDir is set by the program"},
        {"start address key", "http://example.org/", {"StartURL=http://other/"},
         "the key StartURL is set by the program"},
        {"list-only key", "http://example.org/", {"Enable=0"},
         "the key Enable has no meaning here: every start address given on the command line is "
         "run on its own"},
        {"line break", "http://example.org/", {"UserDefined=a\nRetry=0"},
         "UserDefined=a\nRetry=0: the value of UserDefined must stay on one line"},
        {"empty name", "http://example.org/", {"Name="}, "Please enter the name."},
        {"name with a slash", "http://example.org/", {"Name=a/b"}, kBadNameText},
        {"name with a leading dot", "http://example.org/", {"Name=.hidden"}, kBadNameText},
        {"name with a colon", "http://example.org/", {"Name=a:b"}, kBadNameText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewRig rig;
        const NewProjectOutcome outcome = rig.Create(c.url, c.assignments);
        EXPECT_EQ(outcome.exit, CliExit::Usage);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_FALSE(FileExists(rig.dir / "site/project.conf"));
    }
}

TEST(NewProject, KeepsConnectionsOpenOnlyWhenAskedOrMirroring) {
    const CCliOption* off = FindLongOption("no-http-keep-alive");
    ASSERT_NE(off, nullptr);
    const struct {
        const char* name;
        std::vector<CliSetting> settings;
        bool keepAlive;
    } cases[] = {
        {"new", {}, false},
        {"new with the key", {{nullptr, "KeepAlive", "1", "KeepAlive=1"}}, true},
        {"mirror", MirrorSettings({}), true},
        {"mirror told not to", MirrorSettings({{off, "", "", "--no-http-keep-alive"}}), false},
        {"mirror with the key", MirrorSettings({{nullptr, "keepalive", "0", "keepalive=0"}}),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        NewProjectRequest request;
        request.projectDir = dir / "site";
        request.urls = {"http://example.org/"};
        request.settings = c.settings;
        request.defaultsPath = dir / "Config/default.conf";
        const NewProjectOutcome outcome = CreateNewProject(request);
        ASSERT_EQ(outcome.exit, CliExit::Finished) << outcome.message;
        CProjectSettings settings;
        ASSERT_TRUE(settings.LoadProjectFile(dir / "site/project.conf", nullptr));
        EXPECT_EQ(settings.KeepAlive, c.keepAlive);
        // The key is in the file only when it is on, so a default project's file is unchanged.
        const std::string text = ReadFileBytes(dir / "site/project.conf");
        EXPECT_EQ(text.find("KeepAlive") != std::string::npos, c.keepAlive) << text;
    }
}

TEST(NewProject, KeepsAnExistingProjectUnlessForced) {
    NewRig rig;
    ASSERT_EQ(rig.Create("http://first.example/").exit, CliExit::Finished);
    const std::string before = ReadFileBytes(rig.dir / "site/project.conf");

    const NewProjectOutcome refused = rig.Create("http://second.example/");
    EXPECT_EQ(refused.exit, CliExit::Usage);
    EXPECT_NE(refused.message.find("--force"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(rig.dir / "site/project.conf"), before);

    ASSERT_EQ(rig.Create("http://second.example/", {}, true).exit, CliExit::Finished);
    const CProjectSettings settings = rig.Reload();
    ASSERT_EQ(settings.Addresses.size(), 1u);
    EXPECT_EQ(settings.Addresses[0].StartURL, "http://second.example/");
}

TEST(NewProject, RefusesADirectoryLongerThanAProjectCanHold) {
    NewRig rig;
    const std::string tail(kMaxProjectDir, 'd');
    const NewProjectOutcome outcome = rig.Create("http://example.org/", {}, false, tail);
    EXPECT_EQ(outcome.exit, CliExit::Usage);
    EXPECT_EQ(outcome.message,
              "Sorry, the length of the project directory should be no longer than 128.");
}

TEST(NewProject, ReportsAFolderThatCannotBeMade) {
    NewRig rig;
    WriteFileBytes(rig.dir / "plain-file", "not a folder");
    const NewProjectOutcome outcome =
        rig.Create("http://example.org/", {}, false, "plain-file/site");
    EXPECT_EQ(outcome.exit, CliExit::Error);
    EXPECT_NE(outcome.message.find("Failed to create the directory"), std::string::npos)
        << outcome.message;
}

TEST(NewProject, NamesTheProjectAfterTheLastFolder) {
    EXPECT_EQ(ProjectNameFromDir("/srv/sites/news/"), "news");
    EXPECT_EQ(ProjectNameFromDir("/srv/sites/news"), "news");
    EXPECT_EQ(ProjectNameFromDir("/srv/sites/news/."), "news");
    EXPECT_EQ(ProjectNameFromDir("/srv/sites/news/more/.."), "news");
}

} // namespace
} // namespace torvex
