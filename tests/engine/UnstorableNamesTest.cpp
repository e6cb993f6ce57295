// Addresses whose file the copy cannot hold under its plain name: stored under a distinguishing
// name where the layout has one, else listed as not stored, with the reason. Never silence.

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CLoopbackSite;
using test::CPipelineRunner;
using test::HttpReply;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

bool Listed(const std::vector<CFailedFile> &failures, const std::string &url) {
    return std::any_of(failures.begin(), failures.end(), [&](const CFailedFile &failed) {
        return failed.url == url && !failed.reason.empty();
    });
}

// A folder "c1" holds the child already when "/c1" arrives. A page is stored as "c1.html" and
// the links to it are pointed there; a file that is no page has no such name in the layout, so
// it is listed with its reason. The child stays either way.
TEST(UnstorableNames, AFileBesideAFolderOfItsName) {
    for (const bool page : {true, false}) {
        SCOPED_TRACE(page ? "page" : "file");
        CLoopbackSite site;
        site.Serve("/", HttpReply("200 OK", "text/html",
                                  "<a href='c1/child.txt'>child</a> <a href='c1'>c1</a>"));
        site.Serve("/c1/child.txt", HttpReply("200 OK", "text/plain", "child"));
        site.Serve("/c1", HttpReply("200 OK", page ? "text/html" : "application/octet-stream",
                                    "<p>c1</p>"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
        project.DownthreadNum = 1; // the child first, in page order
        project.Link = 0;
        project.Retry = 0;
        CPipelineRunner runner;
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
        const std::string host = dir / ("download/latest/" + site.Host() + "/");
        EXPECT_EQ(ReadFileBytes(host + "c1/child.txt"), "child");
        if (page) {
            EXPECT_EQ(ReadFileBytes(host + "c1.html"), "<p>c1</p>");
            EXPECT_NE(ReadFileBytes(host + "index.html").find("href='c1.html'"), std::string::npos)
                << ReadFileBytes(host + "index.html");
            EXPECT_TRUE(runner.failures.empty());
        } else {
            ASSERT_EQ(runner.failures.size(), 1u);
            EXPECT_EQ(runner.failures[0].url, site.Url("/c1"));
            EXPECT_NE(runner.failures[0].reason.find("in the way"), std::string::npos)
                << runner.failures[0].reason;
        }
    }
}

// The other order, and a name longer than the place of the copy allows: not stored, but listed.
TEST(UnstorableNames, WhatCannotBeStoredIsListedWithItsReason) {
    const std::string longName(240, 'n');
    CLoopbackSite site;
    site.Serve("/", HttpReply("200 OK", "text/plain", "x"));
    site.Serve("/start.html",
               HttpReply("200 OK", "text/html",
                         "<a href='c1.bin'>file</a> <a href='c1.bin/child.txt'>child</a> "
                         "<a href='" +
                             longName + ".txt'>long</a>"));
    site.Serve("/c1.bin", HttpReply("200 OK", "application/octet-stream", "file"));
    site.Serve("/c1.bin/child.txt", HttpReply("200 OK", "text/plain", "child"));
    site.Serve("/" + longName + ".txt", HttpReply("200 OK", "text/plain", "long"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/start.html")});
    project.DownthreadNum = 1;
    project.Retry = 0;
    CPipelineRunner runner;
    ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
    const std::string host = dir / ("download/latest/" + site.Host() + "/");
    EXPECT_EQ(ReadFileBytes(host + "c1.bin"), "file");
    EXPECT_TRUE(Listed(runner.failures, site.Url("/c1.bin/child.txt")));
    EXPECT_TRUE(Listed(runner.failures, site.Url("/" + longName + ".txt")));
    EXPECT_EQ(site.Count("/" + longName + ".txt"), 0);
    EXPECT_EQ(runner.failures.size(), 2u);
}

} // namespace
} // namespace torvex
