#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "platform/FileSystem.h"
#include "support/CFixtureServer.h"
#include "support/CNginxServer.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace torvex {
namespace {

using test::CPipelineRunner;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

// Whole runs of https start addresses against nginx on loopback, which serves one site over
// https (a certificate of the test authority) and over plain http on another port.
class RunHttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_certificates.Ready()) {
            GTEST_SKIP() << m_certificates.Reason();
        }
        m_nginx = std::make_unique<test::CNginxServer>(
            m_site.Str(),
            std::vector<test::CertificateFiles>{m_certificates.Good(), m_certificates.Expired()});
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
        const std::string plain = "http://localhost:" + std::to_string(m_nginx->Port());
        const std::string secure = HttpsRoot();
        // The https pages link to each other and to the plain form; the plain page links back.
        test::WriteFileBytes(m_site.Str() + "/index.html",
                             "<a href=\"two.html\">2</a><a href=\"" + plain +
                                 "/plain.html\">p</a><img src=\"pic.png\">");
        test::WriteFileBytes(m_site.Str() + "/two.html", "<a href=\"index.html\">1</a>");
        test::WriteFileBytes(m_site.Str() + "/plain.html",
                             "<a href=\"" + secure + "/three.html\">3</a>");
        test::WriteFileBytes(m_site.Str() + "/three.html", "three");
        test::WriteFileBytes(m_site.Str() + "/pic.png", "PNG");
    }

    std::string HttpsRoot(std::size_t listener = 0) const {
        return "https://localhost:" + std::to_string(m_nginx->TlsPort(listener));
    }
    CProjectSettings Project(const TempDir& dir, const std::string& start) const {
        CProjectSettings project = ProjectIn(dir.Str(), {start});
        project.Addresses[0].Level = 3;
        project.TimeOut = 5;
        project.Retry = 1;
        return project;
    }
    void TrustTestAuthority(CPipelineRunner& rig) const {
        CRunOptions options = rig.manager.Options();
        options.TlsCaFiles = {m_certificates.CaFile()};
        rig.manager.SetOptions(options);
    }
    std::string Stored(const TempDir& dir, int port, const std::string& file) const {
        return ReadFileBytes(dir.Str() + "/download/latest/localhost+" + std::to_string(port) +
                             "/" + file);
    }

    test::CTestCertificates m_certificates;
    TempDir m_site;
    std::unique_ptr<test::CNginxServer> m_nginx;
};

TEST_F(RunHttpsTest, CrawlsHttpsPagesAndFollowsLinksBetweenBothForms) {
    TempDir dir;
    CPipelineRunner rig;
    TrustTestAuthority(rig);
    CProjectSettings project = Project(dir, HttpsRoot() + "/index.html");
    project.Link = 0;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    const int tls = m_nginx->TlsPort(0);
    const int plain = m_nginx->Port();
    EXPECT_EQ(Stored(dir, tls, "two.html"), "<a href=\"index.html\">1</a>");
    EXPECT_EQ(Stored(dir, tls, "pic.png"), "PNG");
    EXPECT_EQ(Stored(dir, tls, "three.html"), "three");
    // Links between the forms point at the other form's folder.
    const std::string index = Stored(dir, tls, "index.html");
    EXPECT_NE(index.find("href=\"../localhost+" + std::to_string(plain) + "/plain.html\""),
              std::string::npos)
        << index;
    const std::string plainPage = Stored(dir, plain, "plain.html");
    EXPECT_NE(plainPage.find("href=\"../localhost+" + std::to_string(tls) + "/three.html\""),
              std::string::npos)
        << plainPage;
    // Every https file went through nginx's https listener, once.
    const std::string log = m_nginx->AccessLog();
    for (const char* file : {"/index.html", "/two.html", "/three.html", "/pic.png"}) {
        SCOPED_TRACE(file);
        const std::string line = std::string("\"GET ") + file + " HTTP/1.0\" 200";
        const auto first = log.find(line);
        EXPECT_NE(first, std::string::npos) << log;
        EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;
    }
}

TEST_F(RunHttpsTest, KeptConnectionsCarrySeveralFilesEachOverTls) {
    TempDir dir;
    CPipelineRunner rig;
    TrustTestAuthority(rig);
    CProjectSettings project = Project(dir, HttpsRoot() + "/index.html");
    project.KeepAlive = true;
    project.DownthreadNum = 1;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    const int tls = m_nginx->TlsPort(0);
    EXPECT_EQ(Stored(dir, tls, "two.html"), "<a href=\"index.html\">1</a>");
    EXPECT_EQ(Stored(dir, tls, "pic.png"), "PNG");
    EXPECT_EQ(Stored(dir, tls, "three.html"), "three");
    EXPECT_EQ(Stored(dir, m_nginx->Port(), "plain.html").find("<a href="), 0u);
    // nginx numbers the requests of each connection: a second one means the connection (and
    // its TLS session) carried more than one file.
    std::istringstream log(m_nginx->ConnectionLog());
    std::string connection;
    int number = 0;
    int most = 0;
    std::string rest;
    while (log >> connection >> number && std::getline(log, rest)) {
        most = std::max(most, number);
    }
    EXPECT_GE(most, 2) << m_nginx->ConnectionLog();
}

TEST_F(RunHttpsTest, ARefusedCertificateEndsTheRunWithItsReasonAndStoresNothing) {
    struct Case {
        const char* name;
        std::size_t listener;
        bool trust;
        const char* reason;
    } const cases[] = {
        {"untrusted authority", 0, false, "unable to get local issuer certificate"},
        {"expired", 1, true, "certificate has expired"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        CPipelineRunner rig;
        if (c.trust) {
            TrustTestAuthority(rig);
        }
        EXPECT_EQ(rig.Run(Project(dir, HttpsRoot(c.listener) + "/index.html"), RunCommand::Start),
                  std::make_pair(TaskMessage::Error, 408));
        const std::string expected =
            "error: Error: The secure connection to the start server of project \"Sample\" could "
            "not be established: " +
            std::string(c.reason) + ".";
        EXPECT_NE(std::find(rig.prompter.said.begin(), rig.prompter.said.end(), expected),
                  rig.prompter.said.end())
            << (rig.prompter.said.empty() ? "" : rig.prompter.said.back());
        EXPECT_FALSE(std::filesystem::exists(
            dir.Str() + "/download/latest/localhost+" +
            std::to_string(m_nginx->TlsPort(c.listener)) + "/index.html"));
        // Never a plain request instead.
        EXPECT_EQ(m_nginx->AccessLog().find("GET /index.html"), std::string::npos);
    }
}

TEST_F(RunHttpsTest, BothFormsOfOneAddressAreFetchedOnceInTheFormMetFirst) {
    // The http form names the https port: stored in the same place, it is the same file.
    const std::string tls = std::to_string(m_nginx->TlsPort(0));
    test::WriteFileBytes(m_site.Str() + "/both.html",
                         "<a href=\"two.html\">s</a><a href=\"http://localhost:" + tls +
                             "/two.html\">p</a>");
    TempDir dir;
    CPipelineRunner rig;
    TrustTestAuthority(rig);
    CProjectSettings project = Project(dir, HttpsRoot() + "/both.html");
    project.Addresses[0].Level = 2;
    project.Link = 0;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(Stored(dir, m_nginx->TlsPort(0), "two.html"), "<a href=\"index.html\">1</a>");
    EXPECT_EQ(Stored(dir, m_nginx->TlsPort(0), "both.html"),
              "<a href=\"two.html\">s</a><a href=\"two.html\">p</a>");
    // No plain request ever reached the https port (nginx would answer it with 400).
    EXPECT_EQ(m_nginx->AccessLog().find("\" 400 "), std::string::npos) << m_nginx->AccessLog();
}

TEST(RunHttpsRedirect, AMoveToTheHttpsFormIsFollowedInTheAddresssPlace) {
    // The server sends http://localhost:P/ to https://localhost:P/: the same stored file. The
    // run asks for it over TLS as the start address itself (this server speaks no TLS, so the
    // start address fails as a secure connection) and writes no forwarding page over it.
    test::CFixtureServer server;
    const std::string root = "localhost:" + std::to_string(server.Port()) + "/";
    server.AddScript({test::ReadRequest(),
                      test::SendBytes("HTTP/1.0 301 Moved\r\nLocation: https://" + root +
                                      "\r\n\r\n")});
    server.AddScript({test::ReadBytes(3)});
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://" + root});
    project.TimeOut = 5;
    project.Retry = 0;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 408));
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].substr(0, 2), std::string("\x16\x03", 2));   // a hello
    EXPECT_FALSE(std::filesystem::exists(dir.Str() + "/download/latest/localhost+" +
                                         std::to_string(server.Port()) + "/index.html"));
}

TEST(RunHttpsStop, AStopEndsARunWhoseServerNeverAnswersTheHandshake) {
    test::CFixtureServer server;
    server.AddScript({test::ReadBytes(5), test::WaitForClose()});
    TempDir dir;
    CProjectSettings project =
        ProjectIn(dir.Str(), {"https://localhost:" + std::to_string(server.Port()) + "/"});
    project.TimeOut = 120;
    CPipelineRunner rig;
    const auto start = std::chrono::steady_clock::now();
    // Stopped once the server holds the client's hello: the handshake waits for an answer.
    const auto run = rig.RunUntilStopped(project, [&] {
        const auto requests = server.Requests();
        return !requests.empty() && requests[0].size() >= 5;
    });
    EXPECT_TRUE(run.stopAsked);
    EXPECT_EQ(run.end, TaskMessage::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(RunHttpsTest, AProjectWithoutVerificationTakesAnyCertificate) {
    TempDir dir;
    CPipelineRunner rig;
    CProjectSettings project = Project(dir, HttpsRoot(1) + "/two.html");
    project.TlsVerify = false;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(Stored(dir, m_nginx->TlsPort(1), "two.html"), "<a href=\"index.html\">1</a>");
}

} // namespace
} // namespace torvex
