// A real documentation site mirrored end to end: the Sphinx-built manual of a Debian package
// (developers-reference, installed by tools/deps.sh) served by Debian's nginx on loopback and
// copied by torvex-cli with the shipped defaults. The copy is then read by the link checker
// (tools/check_links.py), which follows every link of every stored page as a browser opening
// the copy from disk would.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/CChildProcess.h"
#include "support/CNginxServer.h"
#include "support/LinkCheck.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ChildResult;
using test::CNginxServer;
using test::TempDir;

const std::string kManual = "/usr/share/developers-reference";

class DocumentationSite : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(kManual + "/index.html")) {
            GTEST_SKIP() << "developers-reference is not installed (tools/deps.sh installs it)";
        }
        m_nginx = std::make_unique<CNginxServer>(kManual);
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
    }

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(m_nginx->Port()); }
    std::string HostDir() const {
        return m_project.Str() + "/download/latest/127.0.0.1+" + std::to_string(m_nginx->Port());
    }

    // Runs torvex-cli with the working directory m_home (empty: the defaults installed with the
    // program apply).
    ChildResult Cli(const std::vector<std::string>& arguments) {
        return test::RunChild(TORVEX_CLI_PATH, arguments, {"TORVEX_HOME=" + m_home.Str()},
                              std::chrono::seconds(120));
    }

    TempDir m_home;
    TempDir m_project;
    std::unique_ptr<CNginxServer> m_nginx;
};

TEST_F(DocumentationSite, CopyWithTheShippedDefaultsHasNoDeadLinks) {
    const ChildResult made =
        Cli({"new", m_project.Str(), Origin() + "/index.html", "Level=0", "DownthreadNum=10"});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    const ChildResult run = Cli({"start", m_project.Str()});
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    // Every page of the manual and every part its pages name is stored.
    for (const auto& file : std::filesystem::directory_iterator(kManual)) {
        const std::string name = file.path().filename().string();
        if (file.path().extension() == ".html" && name != "developers-reference.html") {
            EXPECT_TRUE(FileExists(HostDir() + "/" + name)) << name;
        }
    }
    for (const char* part : {"_static/nature.css", "_static/basic.css", "_static/pygments.css",
                             "_static/swirl.png", "_static/doctools.js", "_static/file.png"}) {
        EXPECT_TRUE(FileExists(HostDir() + "/" + part)) << part;
    }

    const test::LinkCheck check = test::CheckLinks(m_project.Str() + "/download/latest");
    std::cout << "link check of the copy: " << check.output;
    EXPECT_EQ(check.localMissing, 0) << check.output;
    EXPECT_EQ(check.localOutside, 0) << check.output;
    EXPECT_GT(check.pages, 10);
    EXPECT_GT(check.localOk, 500);
    EXPECT_GT(check.absolute, 10);   // the links to other sites

    // Script code and other schemes were never asked for, and no file twice.
    const std::string log = m_nginx->AccessLog();
    for (const char* never : {"javascript:", "SphinxHighlight", "mailto", "%40packages"}) {
        EXPECT_EQ(log.find(never), std::string::npos) << never;
    }
    std::vector<std::string> requests;
    const std::regex request("\"GET ([^ ]+) HTTP");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), request);
         it != std::sregex_iterator(); ++it) {
        requests.push_back((*it)[1]);
    }
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(std::adjacent_find(requests.begin(), requests.end()), requests.end());
    EXPECT_GT(requests.size(), 30U);
}

} // namespace
} // namespace torvex
