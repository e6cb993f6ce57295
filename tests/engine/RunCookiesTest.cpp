#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "engine/IRunListener.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CLoopbackSite;
using test::CPipelineRunner;
using test::HttpReply;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

std::string PageSetting(std::string_view cookie) {
    return HttpReply("200 OK", "text/html", "<a href=\"b.html\">b</a>",
                     cookie.empty() ? "" : "Set-Cookie: " + std::string(cookie) + "\r\n");
}

bool SendsCookie(const std::string& request, std::string_view line) {
    return request.find("\r\n" + std::string(line) + "\r\n") != std::string::npos;
}

TEST(RunCookies, KeepsSendsAndSavesCookiesForTheNextRun) {
    CLoopbackSite site;
    site.Serve("/", PageSetting("sid=abc; path=/; HttpOnly"));
    site.Serve("/b.html", HttpReply("200 OK", "text/plain", "b"));
    TempDir dir;
    const std::string cookiesFile = dir.Str() + "/cookies";
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.Cookie = true;
    CPipelineRunner rig;

    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    std::vector<std::string> page = site.RequestsFor("/");
    std::vector<std::string> linked = site.RequestsFor("/b.html");
    ASSERT_EQ(page.size(), 1u);
    ASSERT_EQ(linked.size(), 1u);
    EXPECT_EQ(page[0].find("Cookie:"), std::string::npos) << page[0];
    EXPECT_TRUE(SendsCookie(linked[0], "Cookie: sid=abc")) << linked[0];
    EXPECT_EQ(ReadFileBytes(cookiesFile), "127.0.0.1\r/\rsid\rabc\r0\n");

    // The next run starts with the saved cookie; a new value from the server replaces it.
    site.Serve("/", PageSetting("sid=def; path=/"));
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    page = site.RequestsFor("/");
    linked = site.RequestsFor("/b.html");
    ASSERT_EQ(page.size(), 2u);
    ASSERT_EQ(linked.size(), 2u);
    EXPECT_TRUE(SendsCookie(page[1], "Cookie: sid=abc")) << page[1];
    EXPECT_TRUE(SendsCookie(linked[1], "Cookie: sid=def")) << linked[1];
    EXPECT_EQ(ReadFileBytes(cookiesFile), "127.0.0.1\r/\rsid\rdef\r0\n");

    // With cookies off the saved ones are neither sent nor touched.
    project.Cookie = false;
    site.Serve("/", PageSetting("other=1"));
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    page = site.RequestsFor("/");
    linked = site.RequestsFor("/b.html");
    ASSERT_EQ(linked.size(), 3u);
    EXPECT_EQ(page[2].find("Cookie:"), std::string::npos) << page[2];
    EXPECT_EQ(linked[2].find("Cookie:"), std::string::npos) << linked[2];
    EXPECT_EQ(ReadFileBytes(cookiesFile), "127.0.0.1\r/\rsid\rdef\r0\n");
}

} // namespace
} // namespace torvex
