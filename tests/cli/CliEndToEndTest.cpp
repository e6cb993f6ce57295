// torvex-cli run as users run it: a separate process with its own working directory, against
// loopback servers that these tests start.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/RunEndCode.h"
#include "platform/FileSystem.h"
#include "support/CChildProcess.h"
#include "support/CFixtureServer.h"
#include "support/LoopbackPorts.h"
#include "support/CNginxServer.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"

namespace torvex {
namespace {

using namespace std::chrono_literals;
using test::CChildProcess;
using test::CFixtureServer;
using test::ChildResult;
using test::FixtureScript;
using test::HttpAnswer;
using test::ReadFileBytes;
using test::RequestHeader;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char* kLastModified = "Mon, 01 Jan 2024 00:00:00 GMT";

// One status-log line as the record writes it.
std::string StatusLine(const std::string& url, char kind, char state, char name,
                       const std::string& lastModified, long long readed, long long total) {
    char line[1200];
    std::snprintf(line, sizeof line, "%s\t%c\t%-2c%c\t%-39s\t%-12lld\t%-12lld\t\n", url.c_str(),
                  kind, state, name, lastModified.c_str(), readed, total);
    return line;
}

// The status-log line of `url` in `log` (without checking its form), or empty.
std::string LineOf(const std::string& log, const std::string& url) {
    std::size_t at = 0;
    while (at < log.size()) {
        const std::size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end == std::string::npos ? end : end - at + 1);
        if (line.rfind(url + "\t", 0) == 0) {
            return line;
        }
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    return {};
}

int LineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// The values of the last section named `section` of project.log, blanks cut.
std::map<std::string, std::string> SectionOf(const std::string& log, const std::string& section) {
    std::map<std::string, std::string> values;
    const auto header = log.rfind("[" + section + "]\n");
    if (header == std::string::npos) {
        return values;
    }
    std::size_t at = header + section.size() + 3;
    while (at < log.size() && log[at] != '[') {
        std::size_t end = log.find('\n', at);
        if (end == std::string::npos) {
            end = log.size();
        }
        std::string line = log.substr(at, end - at);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
            line.pop_back();
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos && values.count(line.substr(0, equals)) == 0) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
        at = end + 1;
    }
    return values;
}

class CliEndToEnd : public ::testing::Test {
protected:
    ChildResult Cli(const std::vector<std::string>& arguments,
                    std::chrono::milliseconds limit = 60s) {
        return test::RunChild(TORVEX_CLI_PATH, arguments, Environment(), limit);
    }
    std::vector<std::string> Environment() const { return {"TORVEX_HOME=" + m_home.Str()}; }

    // A project in <work>/<name> with the start addresses `urls` (each at Level 1, so only the
    // addresses themselves are fetched) and `keys` applied by "new".
    std::string MakeProject(const std::string& name, const std::vector<std::string>& urls,
                            std::vector<std::string> keys = {}) {
        const std::string dir = m_work / name;
        std::vector<std::string> arguments{"new", "--force", dir, urls.at(0), "Level=1",
                                           "TimeOut=10"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        const ChildResult made = Cli(arguments);
        EXPECT_EQ(made.exitStatus, 0) << made.err;
        std::string conf = ReadFileBytes(dir + "/project.conf");
        for (std::size_t i = 1; i < urls.size(); ++i) {
            conf += "[URL]\nStartURL=" + urls[i] + "\nLevel=1\n";
        }
        WriteFileBytes(dir + "/project.conf", conf);
        return dir;
    }

    static std::string Stored(const std::string& dir, const std::string& local) {
        return dir + "/download/latest/" + local;
    }

    TempDir m_home;
    TempDir m_work;
};

class CliEndToEndSite : public CliEndToEnd {
protected:
    CliEndToEndSite() {
        m_server.SetResponder([this](const std::string& request) -> FixtureScript {
            const std::string target = test::RequestTarget(request);
            std::lock_guard<std::mutex> hold(m_lock);
            const auto found = m_answers.find(target);
            if (found == m_answers.end()) {
                return {test::SendBytes(HttpAnswer("404 Not Found", "text/html", "missing"))};
            }
            return {test::SendBytes(found->second)};
        });
    }
    void Serve(const std::string& target, std::string answer) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_answers[target] = std::move(answer);
    }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + target;
    }
    std::string Host() const { return "127.0.0.1+" + std::to_string(m_server.Port()); }
    // The requests the server read for `target`, in order.
    std::vector<std::string> RequestsFor(const std::string& target) const {
        std::vector<std::string> found;
        for (const std::string& request : m_server.Requests()) {
            if (test::RequestTarget(request) == target) {
                found.push_back(request);
            }
        }
        return found;
    }

    // The answers come before the server, so that the server's connections (which read them)
    // have ended before the answers go.
    std::mutex m_lock;
    std::map<std::string, std::string> m_answers;
    CFixtureServer m_server;
};

TEST_F(CliEndToEndSite, SeveralStartAddressesAreFetchedOnceEachAndRecorded) {
    const std::string page = "<html><body>No links here.</body></html>\n";
    Serve("/a.txt", HttpAnswer("200 OK", "text/plain", "alpha\n"));
    Serve("/dir/", HttpAnswer("200 OK", "text/html", page));
    Serve("/dir/index.html", HttpAnswer("200 OK", "text/html", page));
    Serve("/img/b.png", HttpAnswer("200 OK", "image/png", std::string("\x89PNG\0\x01", 6)));
    const std::string dir = MakeProject(
        "several", {Url("/a.txt"), Url("/dir/"), Url("/a.txt"), Url("/dir/index.html"),
                    Url("/img/b.png")});

    const ChildResult run = Cli({"start", dir});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("Download finished!"), std::string::npos) << run.err;
    // Standard error is a file here: messages only, no progress line.
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Queue"), std::string::npos) << run.err;

    EXPECT_EQ(m_server.RequestCount("/a.txt"), 1);
    EXPECT_EQ(m_server.RequestCount("/dir/") + m_server.RequestCount("/dir/index.html"), 1);
    EXPECT_EQ(m_server.RequestCount("/img/b.png"), 1);
    EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/a.txt")), "alpha\n");
    EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/dir/index.html")), page);
    EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/img/b.png")), std::string("\x89PNG\0\x01", 6));

    const std::string log = ReadFileBytes(dir + "/logs/latest");
    EXPECT_EQ(LineCount(log), 3) << log;
    EXPECT_EQ(LineOf(log, Url("/a.txt")), StatusLine(Url("/a.txt"), '0', '1', '0', "", 6, 6));
    EXPECT_EQ(LineOf(log, Url("/dir/index.html")),
              StatusLine(Url("/dir/index.html"), '1', '1', '0', "",
                         static_cast<long long>(page.size()),
                         static_cast<long long>(page.size())));
    EXPECT_EQ(LineOf(log, Url("/img/b.png")), StatusLine(Url("/img/b.png"), '0', '1', '0', "", 6, 6));

    auto latest = SectionOf(ReadFileBytes(dir + "/project.log"), "latest");
    EXPECT_EQ(latest.count("RecordTime"), 1u);
    EXPECT_EQ(latest["Status"], "3");
    EXPECT_EQ(latest["StartPage"], Host() + "/a.txt");
    EXPECT_EQ(latest["TotalFiles"], "3");
    EXPECT_EQ(latest["Downloaded"], "3");
    EXPECT_FALSE(FileExists(dir + "/logs/latest.s"));
}

TEST_F(CliEndToEnd, SeveralStartAddressesFromNginxAreStoredByteForByte) {
    TempDir root;
    std::filesystem::create_directories(root.Path() / "docs");
    std::string blob;
    for (int i = 0; i < 70000; ++i) {
        blob.push_back(static_cast<char>((i * 7 + i / 251) & 0xff));
    }
    WriteFileBytes(root / "docs/blob.bin", blob);
    WriteFileBytes(root / "docs/note.txt", "a note\n");
    test::CNginxServer nginx(root.Str());
    if (!nginx.Started()) {
        GTEST_SKIP() << nginx.Reason();
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(nginx.Port());
    const std::string host = "127.0.0.1+" + std::to_string(nginx.Port());
    const std::string dir =
        MakeProject("nginx", {base + "/docs/blob.bin", base + "/docs/note.txt"});
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Stored(dir, host + "/docs/blob.bin")), blob);
    EXPECT_EQ(ReadFileBytes(Stored(dir, host + "/docs/note.txt")), "a note\n");
    const std::string log = ReadFileBytes(dir + "/logs/latest");
    const std::string line = LineOf(log, base + "/docs/blob.bin");
    ASSERT_FALSE(line.empty()) << log;
    // nginx dates its files, so the line carries a Last-Modified text for later updates.
    EXPECT_NE(line.find("GMT"), std::string::npos) << line;
    EXPECT_NE(line.find("\t70000       \t70000       \t\n"), std::string::npos) << line;
}

TEST_F(CliEndToEnd, KeptConnectionsAreCountedAtTheEndOfTheRun) {
    TempDir root;
    std::filesystem::create_directories(root.Path() / "docs");
    std::string page = "<html><body>\n";
    for (int i = 0; i < 400; ++i) {
        page += "<p>paragraph " + std::to_string(i) + "</p>\n";
    }
    WriteFileBytes(root / "docs/page.html", page);
    WriteFileBytes(root / "docs/note.txt", "a note\n");
    WriteFileBytes(root / "docs/other.txt", "another note\n");
    test::CNginxServer nginx(root.Str());
    if (!nginx.Started()) {
        GTEST_SKIP() << nginx.Reason();
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(nginx.Port());
    const std::string host = "127.0.0.1+" + std::to_string(nginx.Port());
    for (const bool kept : {false, true}) {
        SCOPED_TRACE(kept ? "KeepAlive=1" : "KeepAlive=0");
        const std::string dir = MakeProject(
            kept ? "kept" : "plain",
            {base + "/docs/page.html", base + "/docs/note.txt", base + "/docs/other.txt"},
            {kept ? "KeepAlive=1" : "KeepAlive=0", "DownthreadNum=1"});
        const ChildResult run = Cli({"start", dir});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        // The page went compressed with kept connections; it is stored as nginx has it.
        EXPECT_EQ(ReadFileBytes(Stored(dir, host + "/docs/page.html")), page);
        EXPECT_EQ(ReadFileBytes(Stored(dir, host + "/docs/other.txt")), "another note\n");
        // The run's messages go to the standard error.
        const auto at = run.err.find("Connections: ");
        if (!kept) {
            EXPECT_EQ(at, std::string::npos) << run.err;
            continue;
        }
        ASSERT_NE(at, std::string::npos) << run.err;
        int opened = 0;
        int requests = 0;
        ASSERT_EQ(std::sscanf(run.err.c_str() + at, "Connections: %d opened for %d requests",
                              &opened, &requests),
                  2);
        EXPECT_EQ(requests, 3);
        EXPECT_GE(opened, 1);
        EXPECT_LT(opened, requests);
    }
}

TEST_F(CliEndToEnd, HttpsFromNginxWithTheAuthorityOfTheApplicationSettings) {
    test::CTestCertificates certificates;
    if (!certificates.Ready()) {
        GTEST_SKIP() << certificates.Reason();
    }
    TempDir root;
    WriteFileBytes(root / "note.txt", "a secure note\n");
    test::CNginxServer nginx(root.Str(), {certificates.Good()});
    if (!nginx.Started()) {
        GTEST_SKIP() << nginx.Reason();
    }
    const std::string url = "https://localhost:" + std::to_string(nginx.TlsPort()) + "/note.txt";
    const std::string dir = MakeProject("secure", {url}, {"Retry=2"});
    // Without the test authority the certificate is refused: the run ends at once, with why.
    const ChildResult refused = Cli({"start", dir});
    EXPECT_EQ(refused.exitStatus, 1) << refused.err;
    EXPECT_NE(refused.err.find(EndCodeText(408, "secure", {},
                                           "unable to get local issuer certificate")),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(nginx.AccessLog().find("note.txt"), std::string::npos);

    std::filesystem::create_directories(m_home.Path() / "Config");
    WriteFileBytes(m_home / "Config/Torvex.conf", "TlsCaFiles=" + certificates.CaFile() + "\n");
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Stored(dir, "localhost+" + std::to_string(nginx.TlsPort()) +
                                            "/note.txt")),
              "a secure note\n");
    EXPECT_NE(LineOf(ReadFileBytes(dir + "/logs/latest"), url), "");
}

struct FailureCase {
    const char* name;
    std::string answer;   // empty: no server answer (see `kind`)
    int endCode;
};

std::vector<FailureCase> ServerFailures() {
    return {
        {"404 answer", HttpAnswer("404 Not Found", "text/html", "gone"), 405},
        {"401 answer", HttpAnswer("401 Unauthorized", "text/html", "who"), 404},
        {"403 answer", HttpAnswer("403 Forbidden", "text/html", "no"), 501},
        {"empty body", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n", 407},
    };
}

TEST_F(CliEndToEndSite, SingleStartAddressEndsAtOnceWithTheFailureOfItsFirstTry) {
    for (const FailureCase& c : ServerFailures()) {
        SCOPED_TRACE(c.name);
        const std::string target = "/single-" + std::to_string(c.endCode);
        Serve(target, c.answer);
        const std::string dir = MakeProject("single" + std::to_string(c.endCode), {Url(target)},
                                            {"Retry=3"});
        const std::string name = "single" + std::to_string(c.endCode);
        const ChildResult run = Cli({"start", dir});
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        EXPECT_NE(run.err.find(EndCodeText(c.endCode, name, {})), std::string::npos) << run.err;
        EXPECT_EQ(m_server.RequestCount(target), 1);
        // The address that ended the run is its failed file, in the summary and the list.
        EXPECT_NE(run.err.find("; 1 failed."), std::string::npos) << run.err;
        EXPECT_EQ(ReadFileBytes(dir + "/logs/latest.failed").rfind(Url(target) + "\t", 0), 0u);
    }
}

TEST_F(CliEndToEnd, SingleStartAddressOnAnUnknownHostOrClosedPortEndsAtOnce) {
    // A port nothing listens on any more.
    const int closedPort = test::FreeLoopbackPort();
    const struct {
        const char* name;
        std::string url;
        int endCode;
    } cases[] = {
        {"unknown host", "http://no-such-host.invalid/", 401},
        {"closed port", "http://127.0.0.1:" + std::to_string(closedPort) + "/", 402},
    };
    // On a machine with no network address but the loopback one the network counts as down, and
    // a failed lookup or connect ends the run as "network is down" (205) before anything else;
    // the run itself tells which of the two this machine is.
    bool networkDown = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "down" + std::to_string(c.endCode);
        const std::string dir = MakeProject(name, {c.url}, {"Retry=3"});
        const ChildResult run = Cli({"start", dir});
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        if (run.err.find(EndCodeText(205, name, {})) != std::string::npos) {
            networkDown = true;
            continue;
        }
        EXPECT_NE(run.err.find(EndCodeText(c.endCode, name, {})), std::string::npos) << run.err;
    }
    if (networkDown) {
        GTEST_SKIP() << "this machine has no network address but 127.0.0.1, so the run ended "
                        "with 205 (network down) before 401 or 402 could be shown";
    }
}

TEST_F(CliEndToEndSite, SeveralStartAddressesRetryTheSameFailuresAndEndWithNothingStored) {
    int index = 0;
    for (const FailureCase& c : ServerFailures()) {
        SCOPED_TRACE(c.name);
        const std::string first = "/many-a-" + std::to_string(index);
        const std::string second = "/many-b-" + std::to_string(index);
        ++index;
        Serve(first, c.answer);
        Serve(second, c.answer);
        const std::string name = "many" + std::to_string(index);
        const std::string dir = MakeProject(name, {Url(first), Url(second)}, {"Retry=2"});
        const ChildResult run = Cli({"start", dir});
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        EXPECT_NE(run.err.find(EndCodeText(201, name, {})), std::string::npos) << run.err;
        // A 4xx is the server's answer about the file: asked for once. An empty body may come
        // whole next time: Retry 2 gives three tries.
        const int tries = std::string_view(c.name).ends_with("answer") ? 1 : 3;
        EXPECT_EQ(m_server.RequestCount(first), tries);
        EXPECT_EQ(m_server.RequestCount(second), tries);
    }
}

TEST_F(CliEndToEndSite, RetryZeroTriesEachAddressOnce) {
    const std::string dir = MakeProject("once", {Url("/x"), Url("/y")}, {"Retry=0"});
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(m_server.RequestCount("/x"), 1);
    EXPECT_EQ(m_server.RequestCount("/y"), 1);
}

TEST_F(CliEndToEndSite, SlashRedirectLeavesARedirectPageAndFetchesTheSlashForm) {
    const std::string page = "<html><body>Docs</body></html>\n";
    Serve("/docs", HttpAnswer("301 Moved Permanently", "text/html", "",
                              "Location: " + Url("/docs/") + "\r\n"));
    Serve("/docs/", HttpAnswer("200 OK", "text/html", page));
    const std::string dir = MakeProject("redirect", {Url("/docs")});
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 0) << run.err;

    const std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(test::RequestTarget(requests[0]), "/docs");
    EXPECT_EQ(test::RequestTarget(requests[1]), "/docs/");

    const std::string redirectPage = ReadFileBytes(Stored(dir, Host() + "/docs.html"));
    EXPECT_NE(redirectPage.find("url=docs/index.html"), std::string::npos) << redirectPage;
    EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/docs/index.html")), page);
    const std::string line = LineOf(ReadFileBytes(dir + "/logs/latest"), Url("/docs"));
    ASSERT_GT(line.size(), Url("/docs").size() + 60) << line;
    EXPECT_EQ(line[Url("/docs").size() + 5], '3') << line;   // stored with ".html" appended
    EXPECT_NE(line.find("\t90          \t"), std::string::npos) << line;
}

TEST_F(CliEndToEndSite, RedirectLoopEnds) {
    Serve("/loop-a",
          HttpAnswer("302 Found", "text/html", "", "Location: " + Url("/loop-b") + "\r\n"));
    Serve("/loop-b",
          HttpAnswer("302 Found", "text/html", "", "Location: " + Url("/loop-a") + "\r\n"));
    const std::string dir = MakeProject("loop", {Url("/loop-a")});
    const ChildResult run = Cli({"start", dir}, 30s);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(m_server.RequestCount("/loop-a"), 1);
    EXPECT_EQ(m_server.RequestCount("/loop-b"), 1);
}

TEST_F(CliEndToEndSite, FileLimitEndsTheRunWithTheLimitStatus) {
    Serve("/one.txt", HttpAnswer("200 OK", "text/plain", "1"));
    Serve("/two.txt", HttpAnswer("200 OK", "text/plain", "2"));
    const std::string dir =
        MakeProject("limited", {Url("/one.txt"), Url("/two.txt")}, {"MaxFile=1", "DownthreadNum=1"});
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 2) << run.err;
    EXPECT_NE(run.err.find(EndCodeText(204, "limited", {})), std::string::npos) << run.err;
}

TEST_F(CliEndToEndSite, ResumeWithNothingToResumeIsDeclinedWithoutYes) {
    Serve("/a.txt", HttpAnswer("200 OK", "text/plain", "alpha\n"));
    const std::string dir = MakeProject("done", {Url("/a.txt")});
    ASSERT_EQ(Cli({"start", dir}).exitStatus, 0);
    // A finished run leaves no break point, so resuming asks whether to re-read the link maps.
    const ChildResult declined = Cli({"resume", dir});
    EXPECT_EQ(declined.exitStatus, 4) << declined.err;
    EXPECT_NE(declined.err.find("because the necessary log file was not found"),
              std::string::npos) << declined.err;
    EXPECT_NE(declined.err.find("Declined"), std::string::npos) << declined.err;
    EXPECT_EQ(m_server.RequestCount("/a.txt"), 1);

    const ChildResult accepted = Cli({"--yes", "resume", dir});
    EXPECT_EQ(accepted.exitStatus, 0) << accepted.err;
}

TEST_F(CliEndToEndSite, LinksAreConvertedAfterTheRunAndByTheConvertCommand) {
    Serve("/", HttpAnswer("200 OK", "text/html",
                          "<a href=\"here.txt\">h</a><a href=\"gone.html\">g</a>"));
    Serve("/here.txt", HttpAnswer("200 OK", "text/plain", "here"));
    const std::string dir = MakeProject("convert", {Url("/"), Url("/here.txt")}, {"Link=1"});
    const std::string page = Stored(dir, Host() + "/index.html");
    const std::string absolute =
        "<a href=\"here.txt\">h</a><a href=\"" + Url("/gone.html") + "\">g</a>";
    const std::string local = "<a href=\"here.txt\">h</a><a href=\"gone.html\">g</a>";
    auto state = [&] {
        const std::string line = LineOf(ReadFileBytes(dir + "/logs/latest"), Url("/index.html"));
        return line.size() > Url("/index.html").size() + 3 ? line[Url("/index.html").size() + 3]
                                                           : '?';
    };

    // Link=1 with AutoConvert on: the run's end converts, and the program waits for it.
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("Converted the links of record latest: 1 of 1 pages."),
              std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(page), absolute);
    EXPECT_EQ(state(), '5');

    const ChildResult toLocal = Cli({"convert", dir});
    EXPECT_EQ(toLocal.exitStatus, 0) << toLocal.err;
    EXPECT_EQ(ReadFileBytes(page), local);
    EXPECT_EQ(state(), '1');

    const ChildResult toAbsolute = Cli({"convert", dir, "latest", "--absolute"});
    EXPECT_EQ(toAbsolute.exitStatus, 0) << toAbsolute.err;
    EXPECT_EQ(ReadFileBytes(page), absolute);
    EXPECT_EQ(state(), '5');

    const ChildResult unknown = Cli({"convert", dir, "1234"});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.err.find("no record \"1234\""), std::string::npos) << unknown.err;
}

TEST_F(CliEndToEnd, NewTakesTheDefaultsOfTheWorkingDirectory) {
    std::filesystem::create_directories(m_home.Path() / "Config");
    WriteFileBytes(m_home / "Config/default.conf", "TorvexVersion=0.93\nLevel=6\nRetry=7\n");
    const std::string dir = m_work / "from-defaults";
    const ChildResult made = Cli({"new", dir, "http://example.org/", "Name=Docs"});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    EXPECT_NE(made.out.find("Created project \"Docs\""), std::string::npos) << made.out;
    const std::string conf = ReadFileBytes(dir + "/project.conf");
    EXPECT_NE(conf.find("\nName=Docs\n"), std::string::npos) << conf;
    EXPECT_NE(conf.find("\nRetry=7\n"), std::string::npos) << conf;
    EXPECT_NE(conf.find("[URL]\nStartURL=http://example.org/\nLevel=6\n"), std::string::npos)
        << conf;
}

TEST_F(CliEndToEnd, NewWithoutDefaultsOfItsOwnTakesTheShippedOnes) {
    // The working directory has no defaults file: the one installed beside the program keeps
    // links to files that were not fetched as absolute addresses.
    const std::string shipped = m_work / "shipped";
    ASSERT_EQ(Cli({"new", shipped, "http://example.org/"}).exitStatus, 0);
    EXPECT_NE(ReadFileBytes(shipped + "/project.conf").find("\nLink=1\n"), std::string::npos);

    std::filesystem::create_directories(m_home.Path() / "Config");
    WriteFileBytes(m_home / "Config/default.conf", "TorvexVersion=0.93\nLink=0\n");
    const std::string own = m_work / "own";
    ASSERT_EQ(Cli({"new", own, "http://example.org/"}).exitStatus, 0);
    EXPECT_NE(ReadFileBytes(own + "/project.conf").find("\nLink=0\n"), std::string::npos);
}

TEST_F(CliEndToEnd, UsageErrorsAndHelp) {
    EXPECT_EQ(Cli({}).exitStatus, 64);
    EXPECT_EQ(Cli({"start"}).exitStatus, 64);
    EXPECT_EQ(Cli({"fetch", "x"}).exitStatus, 64);
    EXPECT_EQ(Cli({"new", m_work / "p", "gopher://example.org/"}).exitStatus, 64);
    const ChildResult help = Cli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* part : {"new DIR URL", "start DIR", "update DIR", "resume DIR", "--yes",
                             "--force", "Exit status", "64"}) {
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
    const ChildResult missing = Cli({"start", m_work / "nothing-here"});
    EXPECT_EQ(missing.exitStatus, 4) << missing.err;
}

// A site whose files carry a date and that answers If-Modified-Since with 304.
class CliEndToEndUpdate : public CliEndToEndSite {
protected:
    CliEndToEndUpdate() {
        m_server.SetResponder([](const std::string& request) -> FixtureScript {
            const std::string target = test::RequestTarget(request);
            const std::string dated = std::string("Last-Modified: ") + kLastModified + "\r\n";
            if (!RequestHeader(request, "If-Modified-Since").empty()) {
                return {test::SendBytes("HTTP/1.0 304 Not Modified\r\n" + dated + "\r\n")};
            }
            if (target == "/index.html") {
                return {test::SendBytes(HttpAnswer("200 OK", "text/html", kPage, dated))};
            }
            if (target == "/linked.html") {
                return {test::SendBytes(HttpAnswer("200 OK", "text/html", kLinkedPage, dated))};
            }
            if (target == "/a.txt" || target == "/b.txt") {
                return {test::SendBytes(HttpAnswer("200 OK", "text/plain", target, dated))};
            }
            return {test::SendBytes(HttpAnswer("404 Not Found", "text/html", "missing"))};
        });
    }
    static constexpr const char* kPage = "<html><body>Start</body></html>\n";
    static constexpr const char* kLinkedPage =
        "<html><body><a href=\"a.txt\">a</a> <a href=\"b.txt\">b</a></body></html>\n";

    // The update's requests (those after `mark`), by target.
    std::map<std::string, std::vector<std::string>> AskedSince(std::size_t mark) const {
        std::map<std::string, std::vector<std::string>> asked;
        const std::vector<std::string> now = m_server.Requests();
        for (std::size_t i = mark; i < now.size(); ++i) {
            asked[test::RequestTarget(now[i])].push_back(now[i]);
        }
        return asked;
    }
};

// How an address was asked for in an update.
enum class Asked { Not, WithoutDate, WithDate, Either };

void ExpectAsked(std::map<std::string, std::vector<std::string>>& asked, const std::string& target,
                 Asked how) {
    SCOPED_TRACE(target);
    const std::vector<std::string>& requests = asked[target];
    ASSERT_EQ(requests.size(), how == Asked::Not ? 0u : 1u);
    if (how == Asked::WithoutDate) {
        EXPECT_EQ(RequestHeader(requests[0], "If-Modified-Since"), "");
    } else if (how == Asked::WithDate) {
        EXPECT_EQ(RequestHeader(requests[0], "If-Modified-Since"), kLastModified);
    }
}

TEST_F(CliEndToEndUpdate, LinkedFilesAreSkippedCopiedOrFetchedByUpdateMode) {
    // The start page links a.txt and b.txt; a.txt is deleted by hand before each update.
    const struct {
        int updateMode;
        int firstPage;
        Asked page;
        Asked a;
        Asked b;
    } cases[] = {
        {0, 0, Asked::Not, Asked::Not, Asked::Not},
        {0, 1, Asked::WithDate, Asked::Not, Asked::Not},
        {1, 0, Asked::Not, Asked::WithoutDate, Asked::Not},
        {1, 1, Asked::WithDate, Asked::WithoutDate, Asked::Not},
        {2, 0, Asked::WithDate, Asked::Either, Asked::WithDate},
        {2, 1, Asked::WithDate, Asked::Either, Asked::WithDate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("UpdateMode " + std::to_string(c.updateMode) + ", FirstPage " +
                     std::to_string(c.firstPage));
        const std::string name =
            "linked" + std::to_string(c.updateMode) + std::to_string(c.firstPage);
        const std::vector<std::string> urls{Url("/linked.html")};
        const std::string dir = MakeProject(name, urls, {"Level=2"});
        const std::size_t before = m_server.Requests().size();
        const ChildResult first = Cli({"start", dir});
        ASSERT_EQ(first.exitStatus, 0) << first.err;
        ASSERT_EQ(m_server.Requests().size(), before + 3);

        std::filesystem::remove(Stored(dir, Host() + "/a.txt"));
        MakeProject(name, urls,
                    {"Level=2", "UpdateMode=" + std::to_string(c.updateMode),
                     "FirstPage=" + std::to_string(c.firstPage)});
        const std::size_t mark = m_server.Requests().size();
        const ChildResult update = Cli({"update", dir});
        EXPECT_EQ(update.exitStatus, 0) << update.err;

        auto asked = AskedSince(mark);
        ExpectAsked(asked, "/linked.html", c.page);
        ExpectAsked(asked, "/a.txt", c.a);
        ExpectAsked(asked, "/b.txt", c.b);
        EXPECT_EQ(FileExists(Stored(dir, Host() + "/a.txt")), c.a == Asked::WithoutDate ||
                                                                  c.a == Asked::Either);
        EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/b.txt")), "/b.txt");
        EXPECT_TRUE(FileExists(Stored(dir, Host() + "/linked.html")));
    }
}

TEST_F(CliEndToEndUpdate, UpdateModeAndFirstPageDecideWhatIsAskedFor) {
    // a.txt is deleted by hand before each update; b.txt and the page stay.
    const struct {
        int updateMode;
        int firstPage;
        bool askPage;        // the start page /index.html is asked for (with If-Modified-Since)
        bool askB;           // /b.txt is asked for (with If-Modified-Since)
        int askA;            // /a.txt: 0 not asked, 1 asked without a date, 2 asked with one,
                             // 3 asked either way
    } cases[] = {
        {0, 0, false, false, 0}, {0, 1, true, true, 2}, {1, 0, false, false, 1},
        {1, 1, true, true, 2},   {2, 0, true, true, 3}, {2, 1, true, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("UpdateMode " + std::to_string(c.updateMode) + ", FirstPage " +
                     std::to_string(c.firstPage));
        const std::string name =
            "update" + std::to_string(c.updateMode) + std::to_string(c.firstPage);
        const std::vector<std::string> urls{Url("/index.html"), Url("/a.txt"), Url("/b.txt")};
        const std::string dir = MakeProject(name, urls);
        const int before = static_cast<int>(m_server.Requests().size());
        const ChildResult first = Cli({"start", dir});
        ASSERT_EQ(first.exitStatus, 0) << first.err;
        ASSERT_EQ(static_cast<int>(m_server.Requests().size()), before + 3);

        std::filesystem::remove(Stored(dir, Host() + "/a.txt"));
        MakeProject(name, urls,
                    {"UpdateMode=" + std::to_string(c.updateMode),
                     "FirstPage=" + std::to_string(c.firstPage)});
        const std::vector<std::string> all = m_server.Requests();
        const std::size_t mark = all.size();
        const ChildResult update = Cli({"update", dir});
        EXPECT_EQ(update.exitStatus, 0) << update.err;

        std::map<std::string, std::vector<std::string>> asked;
        const std::vector<std::string> now = m_server.Requests();
        for (std::size_t i = mark; i < now.size(); ++i) {
            asked[test::RequestTarget(now[i])].push_back(now[i]);
        }
        const auto askedWithDate = [&](const std::string &target) {
            return asked[target].size() == 1 &&
                   RequestHeader(asked[target][0], "If-Modified-Since") == kLastModified;
        };
        EXPECT_EQ(asked["/index.html"].size(), c.askPage ? 1u : 0u);
        if (c.askPage) {
            EXPECT_TRUE(askedWithDate("/index.html"));
        }
        EXPECT_EQ(asked["/b.txt"].size(), c.askB ? 1u : 0u);
        if (c.askB) {
            EXPECT_TRUE(askedWithDate("/b.txt"));
        }
        EXPECT_EQ(asked["/a.txt"].size(), c.askA == 0 ? 0u : 1u);
        if (c.askA == 1) {
            EXPECT_EQ(RequestHeader(asked["/a.txt"].at(0), "If-Modified-Since"), "");
            EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/a.txt")), "/a.txt");
        } else if (c.askA == 2) {
            EXPECT_TRUE(askedWithDate("/a.txt"));
        }
        // A 304 leaves the stored copy as it was, listed as complete.
        EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/b.txt")), "/b.txt");
        EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/index.html")), kPage);
        const std::string line = LineOf(ReadFileBytes(dir + "/logs/latest"), Url("/b.txt"));
        EXPECT_EQ(line, StatusLine(Url("/b.txt"), '0', '1', '0', kLastModified, 6, 6));
    }
}

// A 20 MB body whose bytes are all different enough that a misplaced piece shows.
std::string BigBody() {
    constexpr std::size_t kSize = 20u * 1024 * 1024;
    std::string body(kSize, '\0');
    std::uint32_t seed = 12345;
    for (char& byte : body) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    return body;
}

class CliEndToEndStop : public CliEndToEndSite {
protected:
    CliEndToEndStop() : m_shared(std::make_shared<const std::string>(BigBody())), m_body(*m_shared) {
        m_header = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                   "Content-Length: " + std::to_string(m_body.size()) + "\r\n" + Dated() +
                   "\r\n";
        // Later connections: the rest of the body when a range is asked for, else all of it.
        // The responder keeps its own reference to the body: the server (a member of the base)
        // outlives this fixture's members.
        m_server.SetResponder([body = m_shared,
                               header = m_header](const std::string &request) -> FixtureScript {
            const std::string range = RequestHeader(request, "Range");
            const std::string prefix = "bytes=";
            if (range.rfind(prefix, 0) != 0) {
                return {test::SendBytes(header + *body)};
            }
            const std::size_t size = body->size();
            const std::size_t from = std::min<std::size_t>(std::stoul(range.substr(6)), size);
            return {test::SendBytes(
                "HTTP/1.0 206 Partial Content\r\nContent-Type: application/octet-stream\r\n"
                "Content-Length: " + std::to_string(size - from) + "\r\nContent-Range: bytes " +
                std::to_string(from) + "-" + std::to_string(size - 1) + "/" +
                std::to_string(size) + "\r\n" + Dated() + "\r\n" + body->substr(from))};
        });
    }
    static std::string Dated() { return std::string("Last-Modified: ") + kLastModified + "\r\n"; }

    // Starts the project, waits until `atLeast` bytes of big.bin are stored, sends `signal` and
    // waits for the end.
    ChildResult StartAndInterrupt(const std::string& dir, std::size_t atLeast,
                                  int signal = SIGINT) {
        const std::string stored = Stored(dir, Host() + "/big.bin");
        CChildProcess run(TORVEX_CLI_PATH, {"start", dir}, Environment());
        EXPECT_TRUE(run.Started());
        // The stored file grows while the body comes; a missing file counts as empty.
        const auto storedSize = [&stored] {
            std::error_code error;
            const auto size = std::filesystem::file_size(stored, error);
            return error ? std::uintmax_t{0} : size;
        };
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (storedSize() < atLeast && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_GE(storedSize(), atLeast) << run.ErrorText();
        run.SendSignal(signal);
        return run.Wait(30s);
    }

    std::shared_ptr<const std::string> m_shared;
    const std::string& m_body;
    std::string m_header;
};

TEST_F(CliEndToEndStop, InterruptedBodyResumesWithARangeRequest) {
    constexpr std::size_t kFirstPart = 4u * 1024 * 1024;
    // The first connection sends a part at once and the rest slowly, so the stop comes mid-body.
    m_server.AddScript({test::ReadRequest(), test::SendBytes(m_header + m_body.substr(0, kFirstPart)),
                        test::SendInPieces(m_body.substr(kFirstPart), 16384, 10ms)});
    const std::string dir = MakeProject("big", {Url("/big.bin")});
    const std::string stored = Stored(dir, Host() + "/big.bin");

    const ChildResult stopped = StartAndInterrupt(dir, kFirstPart);
    ASSERT_FALSE(stopped.timedOut);
    EXPECT_EQ(stopped.exitStatus, 3) << stopped.err;
    EXPECT_NE(stopped.err.find("Stopping the download of project \"big\""), std::string::npos)
        << stopped.err;
    EXPECT_NE(stopped.err.find("its break point saved"), std::string::npos) << stopped.err;
    EXPECT_TRUE(FileExists(dir + "/logs/latest.s"));
    const std::size_t kept = ReadFileBytes(stored).size();
    ASSERT_GE(kept, kFirstPart);
    ASSERT_LT(kept, m_body.size());
    // The line keeps the body's date and the bytes on disk when the stop came (a piece that
    // was already on its way may still land behind them; the resume writes over it).
    const std::string url = Url("/big.bin");
    const std::string line = LineOf(ReadFileBytes(dir + "/logs/latest"), url);
    ASSERT_EQ(line.size(), StatusLine(url, '0', '0', '0', kLastModified, 0, 0).size()) << line;
    EXPECT_EQ(line.substr(0, url.size() + 7), url + "\t0\t0 0\t") << line;
    const long long readed = std::atoll(line.c_str() + url.size() + 7 + 39 + 1);
    EXPECT_EQ(line, StatusLine(url, '0', '0', '0', kLastModified, readed,
                               static_cast<long long>(m_body.size())));
    EXPECT_GE(readed, static_cast<long long>(kFirstPart));
    EXPECT_LE(readed, static_cast<long long>(kept));

    const ChildResult resumed = Cli({"resume", dir});
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.err;
    const std::vector<std::string> asked = RequestsFor("/big.bin");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(RequestHeader(asked[1], "Range"), "bytes=" + std::to_string(readed) + "-");
    EXPECT_TRUE(ReadFileBytes(stored) == m_body) << "the resumed file differs from the original";
    EXPECT_FALSE(FileExists(dir + "/logs/latest.s"));
}

TEST_F(CliEndToEndStop, SigtermStopsTheRunAsCtrlCDoes) {
    constexpr std::size_t kFirstPart = 1024u * 1024;
    m_server.AddScript({test::ReadRequest(), test::SendBytes(m_header + m_body.substr(0, kFirstPart)),
                        test::SendInPieces(m_body.substr(kFirstPart), 16384, 10ms)});
    const std::string dir = MakeProject("terminated", {Url("/big.bin")});
    const ChildResult stopped = StartAndInterrupt(dir, kFirstPart, SIGTERM);
    EXPECT_EQ(stopped.exitStatus, 3) << stopped.err;
    EXPECT_TRUE(FileExists(dir + "/logs/latest.s"));
}

TEST_F(CliEndToEndSite, ProgressLineIsRedrawnOnATerminal) {
    // A body that takes about two seconds, so the line is drawn several times, at a pace well
    // under 1 MB/s (16 KB every 15 ms was just over it, and the speed then read "MB/s").
    const std::string body(1536 * 1024, 'p');
    m_server.AddScript({test::ReadRequest(),
                        test::SendBytes("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                                        "Content-Length: " + std::to_string(body.size()) +
                                        "\r\n\r\n"),
                        test::SendInPieces(body, 16384, 20ms)});
    const std::string dir = MakeProject("progress", {Url("/slow.txt")});
    CChildProcess run(TORVEX_CLI_PATH, {"start", dir}, Environment(), true);
    const ChildResult done = run.Wait(60s);
    EXPECT_EQ(done.exitStatus, 0) << done.err;
    const std::string erase = "\r\x1b[K";
    int drawn = 0;
    for (auto at = done.err.find(erase + "Running 00:00:0"); at != std::string::npos;
         at = done.err.find(erase + "Running 00:00:0", at + 1)) {
        ++drawn;
    }
    EXPECT_GE(drawn, 3) << done.err;
    EXPECT_NE(done.err.find(" queued | "), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("KB/s"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("files/s"), std::string::npos) << done.err;
    // The line is wiped before the end message, which stands on a line of its own.
    EXPECT_NE(done.err.find(erase + "Download finished!"), std::string::npos) << done.err;
}

TEST_F(CliEndToEndStop, SecondCopyDoesNotRunAProjectThatIsRunning) {
    constexpr std::size_t kFirstPart = 1024u * 1024;
    m_server.AddScript({test::ReadRequest(), test::SendBytes(m_header + m_body.substr(0, kFirstPart)),
                        test::SendInPieces(m_body.substr(kFirstPart), 16384, 10ms)});
    const std::string dir = MakeProject("busy", {Url("/big.bin")});
    const std::string stored = Stored(dir, Host() + "/big.bin");
    CChildProcess first(TORVEX_CLI_PATH, {"start", dir}, Environment());
    ASSERT_TRUE(first.Started());
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!FileExists(stored) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(FileExists(stored)) << first.ErrorText();

    const ChildResult second = Cli({"update", dir});
    EXPECT_EQ(second.exitStatus, 4) << second.err;
    EXPECT_NE(second.err.find(StartFailureText(107, "busy")), std::string::npos) << second.err;
    EXPECT_EQ(RequestsFor("/big.bin").size(), 1u);

    first.SendSignal(SIGINT);
    EXPECT_EQ(first.Wait(30s).exitStatus, 3);
}

TEST_F(CliEndToEndStop, StopDuringAStalledBodyEndsPromptlyAsStopped) {
    constexpr std::size_t kFirstPart = 1024u * 1024;
    m_server.AddScript({test::ReadRequest(), test::SendBytes(m_header + m_body.substr(0, kFirstPart)),
                        test::Pause(60s)});
    const std::string dir = MakeProject("stalled", {Url("/big.bin")});
    const auto started = std::chrono::steady_clock::now();
    const ChildResult stopped = StartAndInterrupt(dir, kFirstPart);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(stopped.exitStatus, 3) << stopped.err;
    EXPECT_TRUE(FileExists(dir + "/logs/latest.s"));
}

// Records through the command line alone: Starts with BackupLast keep the older records as
// backups named by their record times, and deleting the latest one promotes the newest backup.
TEST_F(CliEndToEndSite, StartsWithBackupLastKeepBackupsThatRecordsListsAndDeletes) {
    Serve("/a.txt", HttpAnswer("200 OK", "text/plain", "alpha\n"));
    const std::string dir = MakeProject("backups", {Url("/a.txt")}, {"BackupLast=1"});
    for (int run = 0; run < 3; ++run) {
        ASSERT_EQ(Cli({"start", dir}).exitStatus, 0);
    }
    const ChildResult listed = Cli({"records", dir});
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    std::vector<std::string> names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    ASSERT_EQ(names.size(), 3u) << listed.out;
    EXPECT_EQ(names[2], "latest");
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(FileExists(dir + "/download/" + names[static_cast<std::size_t>(i)] + "/" +
                               Host() + "/a.txt"));
    }

    ASSERT_EQ(Cli({"--yes", "delete-records", dir, "latest"}).exitStatus, 0);
    const ChildResult after = Cli({"records", dir});
    EXPECT_EQ(after.out.find(names[1]), std::string::npos) << after.out;
    EXPECT_TRUE(FileExists(Stored(dir, Host() + "/a.txt")));
}

} // namespace
} // namespace torvex

namespace torvex {
namespace {

// A break point that cannot be written (here a folder holds its name) is said, and the run is
// not reported as a stop that a resume continues.
TEST_F(CliEndToEndStop, ABreakPointThatCannotBeSavedIsSaid) {
    constexpr std::size_t kFirstPart = 1024u * 1024;
    m_server.AddScript({test::ReadRequest(), test::SendBytes(m_header + m_body.substr(0, kFirstPart)),
                        test::SendInPieces(m_body.substr(kFirstPart), 16384, 10ms)});
    const std::string dir = MakeProject("unsaved", {Url("/big.bin")}, {"BackupLast=0"});
    MakeDirectoryPath(dir + "/logs/latest.s");
    WriteFileBytes(dir + "/logs/latest.s/in-the-way", "");
    const ChildResult stopped = StartAndInterrupt(dir, kFirstPart);
    ASSERT_FALSE(stopped.timedOut);
    EXPECT_EQ(stopped.exitStatus, 1) << stopped.err;
    EXPECT_NE(stopped.err.find("Failed to save the break point of project \"unsaved\""),
              std::string::npos)
        << stopped.err;
    EXPECT_EQ(stopped.err.find("its break point saved"), std::string::npos) << stopped.err;
}

// Addresses a run meets but cannot store are listed, and the run does not end as a plain success.
TEST_F(CliEndToEndSite, WhatCannotBeStoredIsListedAndTheStatusSaysSo) {
    const std::string longName(240, 'n');
    Serve("/start.html",
          HttpAnswer("200 OK", "text/html",
                     "<a href='ok.txt'>ok</a> <a href='" + longName + ".txt'>long</a>"));
    Serve("/ok.txt", HttpAnswer("200 OK", "text/plain", "ok"));
    const std::string dir = MakeProject("unstorable", {Url("/start.html")}, {"Level=2"});
    const ChildResult run = Cli({"start", dir});
    EXPECT_EQ(run.exitStatus, 5) << run.err;
    EXPECT_NE(run.err.find("1 file failed"), std::string::npos) << run.err;
    EXPECT_NE(ReadFileBytes(dir + "/logs/latest.failed")
                  .find(Url("/" + longName + ".txt") + "\tLongFilePath\t0\tits local path"),
              std::string::npos)
        << ReadFileBytes(dir + "/logs/latest.failed");
    EXPECT_EQ(ReadFileBytes(Stored(dir, Host() + "/ok.txt")), "ok");
}

} // namespace
} // namespace torvex
