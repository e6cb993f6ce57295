#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace torvex {
namespace {

CliArguments Parse(std::vector<const char*> words) {
    words.insert(words.begin(), "torvex-cli");
    return ParseCliArguments(static_cast<int>(words.size()), words.data());
}

TEST(CliArgumentsParse, CommandsAndOptions) {
    const CliArguments created = Parse({"new", "/p", "http://h/", "Level=3", "--force", "Name=x"});
    EXPECT_TRUE(created.error.empty()) << created.error;
    EXPECT_EQ(created.command, "new");
    EXPECT_EQ(created.projectDir, "/p");
    EXPECT_EQ(created.urls, (std::vector<std::string>{"http://h/"}));
    ASSERT_EQ(created.settings.size(), 2u);
    EXPECT_EQ(created.settings[0].text, "Level=3");
    EXPECT_EQ(created.settings[1].key, "Name");
    EXPECT_EQ(created.settings[1].value, "x");
    EXPECT_TRUE(created.force);

    const CliArguments resumed = Parse({"--yes", "resume", "/p"});
    EXPECT_TRUE(resumed.error.empty());
    EXPECT_TRUE(resumed.yes);
    EXPECT_EQ(resumed.command, "resume");

    const CliArguments converted = Parse({"convert", "/p", "latest", "1700000000", "--absolute"});
    EXPECT_TRUE(converted.error.empty()) << converted.error;
    EXPECT_EQ(converted.names, (std::vector<std::string>{"latest", "1700000000"}));
    EXPECT_TRUE(converted.absolute);
    EXPECT_TRUE(Parse({"convert", "/p"}).names.empty());

    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_EQ(Parse({"new", "/p", "--", "-odd.example/"}).urls,
              (std::vector<std::string>{"http://-odd.example/"}));
}

TEST(CliArgumentsParse, WrongUsageIsReported) {
    const std::vector<std::vector<const char*>> wrong = {
        {},
        {"frobnicate", "/p"},
        {"start"},
        {"start", "/p", "/q"},
        {"new", "/p"},
        {"new", "/p", "http://h/", "Level"},
        {"new", "/p", "http://h/", "=3"},
        {"start", "/p", "--bogus"},
        {"convert"},
        {"start", "/p", "--absolute"},
    };
    for (const auto& words : wrong) {
        EXPECT_FALSE(Parse(words).error.empty());
    }
}

TEST(CliExitStatus, ByEndCode) {
    EXPECT_EQ(ExitForRunEnd(0, false), CliExit::Finished);
    EXPECT_EQ(ExitForRunEnd(0, true), CliExit::Stopped);
    for (int code : {201, 205, 206, 301, 302, 303, 401, 402, 403, 404, 405, 406, 407, 501}) {
        EXPECT_EQ(ExitForRunEnd(code, false), CliExit::Error) << code;
    }
    for (int code : {202, 203, 204}) {
        EXPECT_EQ(ExitForRunEnd(code, false), CliExit::Limit) << code;
    }
    for (int code : {102, 103, 104, 105, 106}) {
        EXPECT_EQ(ExitForRunEnd(code, false), CliExit::NotStarted) << code;
    }
}

} // namespace
} // namespace torvex
