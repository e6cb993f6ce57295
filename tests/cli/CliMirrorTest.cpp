// "torvex-cli mirror" and the options of a wget user, run as users run them: the real program
// as a separate process against a loopback site, each option's effect seen in what the site was
// asked for, what was stored and what the program said; every kind of bad value, the summary,
// the failed-files list and the exit statuses.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "support/CChildProcess.h"
#include "support/CFixtureServer.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using namespace std::chrono_literals;
using test::CFixtureServer;
using test::ChildResult;
using test::FixtureScript;
using test::HttpAnswer;
using test::ReadFileBytes;
using test::RequestHeader;
using test::TempDir;
using test::WriteFileBytes;

std::string Page(const std::vector<std::string>& links) {
    std::string page = "<html><body>\n";
    for (const std::string& link : links) {
        page += "<a href=\"" + link + "\">" + link + "</a>\n";
    }
    return page + "</body></html>\n";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A small documentation site: /docs/index.html links to pages below it, beside it, one level
// deeper, on another host name of the same server (localhost), to files by extension, and to a
// page that is missing.
class CliMirror : public ::testing::Test {
protected:
    CliMirror() {
        const std::string far = "http://localhost:" + std::to_string(m_server.Port());
        Serve("/docs/index.html",
              HttpAnswer("200 OK", "text/html",
                         Page({"a.html", "sub/b.html", "../other/c.html", "file.zip", "doc.pdf",
                               "list.php", "missing.html", far + "/docs/far.html"}),
                         "Set-Cookie: session=s1; path=/\r\n"));
        Serve("/docs/a.html", HttpAnswer("200 OK", "text/html", Page({"deep.html"})));
        Serve("/docs/deep.html", HttpAnswer("200 OK", "text/html", Page({})));
        Serve("/docs/sub/b.html", HttpAnswer("200 OK", "text/html", Page({})));
        Serve("/other/c.html", HttpAnswer("200 OK", "text/html", Page({})));
        Serve("/docs/file.zip", HttpAnswer("200 OK", "application/zip", "PK zip"));
        Serve("/docs/doc.pdf", HttpAnswer("200 OK", "application/pdf", "%PDF-1.4"));
        Serve("/docs/list.php", HttpAnswer("200 OK", "text/html", Page({})));
        Serve("/docs/far.html", HttpAnswer("200 OK", "text/html", Page({})));
        m_server.SetResponder([this](const std::string& request) -> FixtureScript {
            std::string target = test::RequestTarget(request);
            // Through an HTTP proxy the target is the whole address.
            if (target.rfind("http://", 0) == 0) {
                target = target.substr(target.find('/', 7));
            }
            std::lock_guard<std::mutex> hold(m_lock);
            const auto found = m_answers.find(target);
            return {test::SendBytes(found == m_answers.end()
                                        ? HttpAnswer("404 Not Found", "text/html", "missing")
                                        : found->second)};
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
    std::vector<std::string> Environment() const { return {"TORVEX_HOME=" + m_home.Str()}; }

    // torvex-cli with `arguments`, run in the folder `m_work`.
    ChildResult Cli(const std::vector<std::string>& arguments,
                    std::chrono::milliseconds limit = 60s) {
        std::vector<std::string> shell = {"-c", "cd \"$0\" && exec \"$@\"", m_work.Str(),
                                          TORVEX_CLI_PATH};
        shell.insert(shell.end(), arguments.begin(), arguments.end());
        return test::RunChild("/bin/sh", shell, Environment(), limit);
    }
    // "mirror" of the site's index into `dir` with `options`; TimeOut and Retry kept small.
    ChildResult Mirror(const std::string& dir, std::vector<std::string> options = {}) {
        std::vector<std::string> arguments = {"mirror", "--timeout=10", "--tries=1"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(Url("/docs/index.html"));
        arguments.push_back(dir);
        return Cli(arguments);
    }
    // The targets the site was asked for since the last call.
    std::set<std::string> Asked() {
        std::set<std::string> asked;
        const std::vector<std::string> requests = m_server.Requests();
        for (std::size_t i = m_seen; i < requests.size(); ++i) {
            std::string target = test::RequestTarget(requests[i]);
            if (target.rfind("http://", 0) == 0) {
                target = target.substr(target.find('/', 7));
            }
            asked.insert(target);
        }
        m_seen = requests.size();
        return asked;
    }

    TempDir m_home;
    TempDir m_work;
    std::mutex m_lock;
    std::map<std::string, std::string> m_answers;
    CFixtureServer m_server;
    std::size_t m_seen = 0;
};

TEST_F(CliMirror, OneCommandMakesTheProjectRunsItAndSumsItUp) {
    // No folder given, no scheme: the folder is named after the host, in the current directory.
    const std::string address = "127.0.0.1:" + std::to_string(m_server.Port()) + "/docs/index.html";
    const ChildResult run = Cli({"mirror", "--tries=1", address});
    ASSERT_FALSE(run.timedOut);
    const std::string dir = m_work / Host();
    ASSERT_TRUE(FileExists(dir + "/project.conf")) << run.err;
    // The missing page failed: the run finished with failures, its own exit status.
    EXPECT_EQ(run.exitStatus, 5) << run.err;
    EXPECT_TRUE(FileExists(dir + "/download/latest/" + Host() + "/docs/a.html"));
    EXPECT_TRUE(Contains(run.err, "Fetched 7 files (")) << run.err;
    EXPECT_TRUE(Contains(run.err, "; 1 failed.")) << run.err;
    EXPECT_TRUE(Contains(run.err, "The copy's index page: " + dir + "/download/latest/index.html"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "1 file failed, listed with the reasons in " + dir +
                                      "/logs/latest.failed"))
        << run.err;
    EXPECT_TRUE(FileExists(dir + "/download/latest/index.html"));
    // The failed address, with the operation, code and reason; the status log keeps its format.
    EXPECT_EQ(ReadFileBytes(dir + "/logs/latest.failed"),
              Url("/docs/missing.html") + "\tHTTPSession\t404\tHTTP 404 Not Found\n");
    EXPECT_FALSE(Contains(ReadFileBytes(dir + "/logs/latest"), "Not Found"));
    // Without -v the failed files are not listed one by one.
    EXPECT_FALSE(Contains(run.err, "failed  ")) << run.err;

    // The same again: the project is there, so mirror refuses to replace it.
    const ChildResult again = Cli({"mirror", address});
    EXPECT_EQ(again.exitStatus, 64) << again.err;
    EXPECT_TRUE(Contains(again.err, "a project already exists in " + dir)) << again.err;
}

TEST_F(CliMirror, EachOptionChangesWhatIsFetched) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::vector<std::string> asked;
        std::vector<std::string> notAsked;
    } rows[] = {
        {"defaults", {}, {"/docs/a.html", "/other/c.html", "/docs/file.zip"},
         {"/docs/deep.html", "/docs/far.html"}},
        {"--level=2", {"--level=2"}, {"/docs/deep.html"}, {}},
        {"-l 1", {"-l", "1"}, {"/docs/a.html"}, {"/docs/deep.html"}},
        {"--level=inf", {"--level=inf"}, {"/docs/deep.html"}, {}},
        {"--no-parent", {"--no-parent"}, {"/docs/sub/b.html"}, {"/other/c.html"}},
        {"--span-hosts", {"--span-hosts"}, {"/docs/far.html"}, {}},
        {"--span-hosts --exclude-domains", {"-H", "--exclude-domains=localhost"},
         {"/docs/a.html"}, {"/docs/far.html"}},
        {"--domains", {"--domains=localhost"}, {"/docs/far.html"}, {"/docs/a.html"}},
        {"--include-directories", {"--include-directories=/other"}, {"/other/c.html"},
         {"/docs/a.html"}},
        {"--exclude-directories", {"-X", "/docs/sub"}, {"/docs/a.html"}, {"/docs/sub/b.html"}},
        {"--accept", {"--accept=pdf"}, {"/docs/doc.pdf", "/docs/a.html"}, {"/docs/file.zip"}},
        {"--reject", {"-R", "zip"}, {"/docs/doc.pdf"}, {"/docs/file.zip"}},
    };
    int project = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Asked();
        const ChildResult run = Mirror(m_work / ("p" + std::to_string(++project)), r.options);
        ASSERT_FALSE(run.timedOut);
        EXPECT_TRUE(run.exitStatus == 0 || run.exitStatus == 5) << run.err;
        const std::set<std::string> asked = Asked();
        for (const std::string& target : r.asked) {
            EXPECT_EQ(asked.count(target), 1u) << target << "\n" << run.err;
        }
        for (const std::string& target : r.notAsked) {
            EXPECT_EQ(asked.count(target), 0u) << target;
        }
    }
}

TEST_F(CliMirror, OptionsShapeTheRequestsAndTheCopy) {
    const std::string dir = m_work / "shaped";
    const ChildResult run =
        Mirror(dir, {"--user-agent=Probe/2", "--user=ann", "--password=pw", "--no-cookies",
                     "--local-links", "--adjust-extension", "--threads=3", "--max-minutes=5",
                     "--no-backup", "--update=local-first", "--no-http-keep-alive"});
    ASSERT_EQ(run.exitStatus, 5) << run.err;
    bool sawCookie = false;
    for (const std::string& request : m_server.Requests()) {
        SCOPED_TRACE(request.substr(0, request.find('\r')));
        EXPECT_EQ(RequestHeader(request, "User-Agent"), "Probe/2");
        sawCookie = sawCookie || !RequestHeader(request, "Cookie").empty();
    }
    EXPECT_FALSE(sawCookie);
    EXPECT_EQ(RequestHeader(m_server.Requests().front(), "Authorization"), "Basic YW5uOnB3");
    // --adjust-extension: a page named .php is stored as .php.html; --local-links: the link to
    // the page beyond the level limit points where it would be stored.
    EXPECT_TRUE(FileExists(dir + "/download/latest/" + Host() + "/docs/list.php.html"));
    const std::string a = ReadFileBytes(dir + "/download/latest/" + Host() + "/docs/a.html");
    EXPECT_TRUE(Contains(a, "href=\"deep.html\"")) << a;
    const std::string conf = ReadFileBytes(dir + "/project.conf");
    for (const char* line : {"\nDownthreadNum=3\n", "\nMaxMinute=5\n", "\nBackupLast=0\n",
                             "\nUpdateMode=1\n", "\nCookie=0\n", "\nLink=0\n", "\nAutoExt=1\n",
                             "\nUserAgentMode=4\n", "\nUserDefined=Probe/2\n",
                             "\nUsername=ann\n"}) {
        EXPECT_TRUE(Contains(conf, line)) << line;
    }
    EXPECT_FALSE(Contains(conf, "KeepAlive")) << conf;

    // The defaults: cookies go back, absolute links (the shipped default) to what was not fetched.
    const std::string plain = m_work / "plain";
    ASSERT_EQ(Mirror(plain).exitStatus, 5);
    EXPECT_EQ(RequestHeader(m_server.Requests().back(), "Cookie"), "session=s1");
    EXPECT_TRUE(Contains(ReadFileBytes(plain + "/download/latest/" + Host() + "/docs/a.html"),
                         "href=\"" + Url("/docs/deep.html") + "\""));
    // Connections kept open, as a wget user expects of a mirror.
    EXPECT_TRUE(Contains(ReadFileBytes(plain + "/project.conf"), "\nKeepAlive=1\n"));

    // "new" takes the key as typed, and refuses what it does not take.
    const std::string made = m_work / "made";
    const ChildResult kept = Cli({"new", made, Url("/docs/index.html"), "KeepAlive=1"});
    ASSERT_EQ(kept.exitStatus, 0) << kept.err;
    EXPECT_TRUE(Contains(ReadFileBytes(made + "/project.conf"), "\nKeepAlive=1\n"));
    const ChildResult refused =
        Cli({"new", m_work / "refused", Url("/docs/index.html"), "KeepAlive=on"});
    EXPECT_EQ(refused.exitStatus, 64);
    EXPECT_TRUE(Contains(refused.err, "KeepAlive=on: KeepAlive takes 0 or 1")) << refused.err;
    EXPECT_FALSE(FileExists(m_work / "refused/project.conf"));
}

TEST_F(CliMirror, ProxyMaxFilesAndUpdateModes) {
    // Through an HTTP proxy (the fixture answers the whole address), for a host that does not
    // exist: only the proxy can have fetched it.
    const std::string proxied = m_work / "proxied";
    const ChildResult run = Cli({"mirror", "--tries=1", "--level=1",
                                 "--proxy=127.0.0.1:" + std::to_string(m_server.Port()),
                                 "http://docs.invalid/docs/index.html", proxied});
    EXPECT_EQ(run.exitStatus, 5) << run.err;
    EXPECT_EQ(test::RequestTarget(m_server.Requests().front()),
              "http://docs.invalid/docs/index.html");
    EXPECT_TRUE(FileExists(proxied + "/download/latest/docs.invalid/docs/a.html"));

    // --max-files ends the run by its limit.
    const ChildResult limited = Mirror(m_work / "limited", {"--max-files=2", "--threads=1"});
    EXPECT_EQ(limited.exitStatus, 2) << limited.err;

    // --update=local: an update reads what the record holds and asks the site for nothing.
    const std::string local = m_work / "local";
    ASSERT_EQ(Mirror(local, {"--update=local", "--level=1"}).exitStatus, 5);
    Asked();
    const ChildResult update = Cli({"update", local});
    EXPECT_EQ(update.exitStatus, 5) << update.err;
    // Only the page that was never stored is asked for again (and fails again).
    EXPECT_EQ(Asked(), (std::set<std::string>{"/docs/missing.html"}));
}

TEST_F(CliMirror, EveryKindOfBadValueIsAUsageErrorOrAWarning) {
    const struct {
        std::vector<std::string> words;
        int status;
        const char* says;
    } rows[] = {
        {{"--level=abc"}, 64, "--level=abc: --level takes a whole number from 0 to 98, or inf"},
        {{"Level=abc"}, 64, "Level=abc: Level takes a whole number from 0 to 99"},
        {{"HostFilter=abc"}, 64, "HostFilter=abc: HostFilter takes 0 (all hosts)"},
        {{"Link=yes"}, 64, "Link=yes: Link takes 0 ("},
        {{"Levle=3"}, 64, "unknown key \"Levle\"; did you mean \"Level\"?"},
        {{"--levle=3"}, 64, "unknown option --levle; did you mean --level?"},
        {{"--threads"}, 64, "--threads needs a value (N)"},
        {{"--cookies=maybe"}, 64, "--cookies takes on or off"},
        {{"--proxy=socks4://p"}, 64, "--proxy takes HOST:PORT"},
        {{"-A", ";"}, 64, "--accept takes extensions"},
        {{"Enable=0"}, 64, "the key Enable has no meaning here"},
        {{"bareword"}, 64, "\"bareword\" is neither a start address nor Key=Value"},
        {{"Level=500", "--level=1"}, 0, "warning: Level=500: Level takes a whole number from 0 to "
                                        "99; using 99"},
        {{"TimeOut=1"}, 0, "warning: TimeOut=1: TimeOut takes a whole number from 10 to 1200; "
                           "using 10"},
    };
    int project = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words.front());
        const std::string dir = m_work / ("bad" + std::to_string(++project));
        std::vector<std::string> arguments = {"new", dir, Url("/docs/index.html")};
        arguments.insert(arguments.end(), r.words.begin(), r.words.end());
        const ChildResult run = Cli(arguments);
        EXPECT_EQ(run.exitStatus, r.status) << run.err;
        EXPECT_TRUE(Contains(run.err, r.says)) << run.err;
        // A refused request writes nothing.
        EXPECT_EQ(FileExists(dir + "/project.conf"), r.status == 0);
        if (r.status == 64) {
            EXPECT_TRUE(Contains(run.err, "Try 'torvex-cli --help'.")) << run.err;
        }
    }
}

TEST_F(CliMirror, BadAddressesUnknownProjectsAndUnwritableFolders) {
    const struct {
        std::vector<std::string> words;
        int status;
        const char* says;
    } rows[] = {
        {{"mirror", "http:///docs/", "x"}, 64, "Sorry, the URL is not valid."},
        {{"new", "x", "example.org:http/"}, 64, "Sorry, the URL is not valid."},
        {{"mirror", "http://example.org:99999/"}, 64, "Sorry, the URL is not valid."},
        {{"mirror", "gopher://example.org/"}, 64, "Sorry, the URL is not valid."},
        {{"mirror", "-i", "no-such-list.txt"}, 64, "cannot read the address list"},
        {{"start", "no-such-project"}, 4, "Error: Failed to open the file or it is in wrong "
                                          "format!"},
        {{"resume", "no-such-project"}, 4, "Error: Failed to open the file"},
        {{"records", "no-such-project"}, 1, ""},
        {{"mirror", "http://example.org/", "plain-file/site"}, 1, "Failed to create the directory"},
    };
    WriteFileBytes(m_work / "plain-file", "not a folder");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words.front() + " " + r.words.at(1));
        const ChildResult run = Cli(r.words);
        EXPECT_EQ(run.exitStatus, r.status) << run.err;
        EXPECT_TRUE(Contains(run.err, r.says)) << run.err;
    }
}

TEST_F(CliMirror, AddressListsAndSeveralAddresses) {
    WriteFileBytes(m_work / "list.txt", "# the docs\n" + Url("/docs/a.html") + "\n\n" +
                                            Url("/other/c.html") + "\n");
    const ChildResult run = Cli({"mirror", "-i", "list.txt", "Level=1", "--tries=1",
                                 Url("/docs/sub/b.html"), "listed"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::set<std::string> asked = Asked();
    for (const char* target : {"/docs/a.html", "/other/c.html", "/docs/sub/b.html"}) {
        EXPECT_EQ(asked.count(target), 1u) << target;
    }
    EXPECT_EQ(asked.count("/docs/deep.html"), 0u);
    const std::string conf = ReadFileBytes(m_work / "listed/project.conf");
    std::size_t sections = 0;
    for (auto at = conf.find("[URL]"); at != std::string::npos; at = conf.find("[URL]", at + 1)) {
        ++sections;
    }
    EXPECT_EQ(sections, 3u) << conf;
}

TEST_F(CliMirror, QuietVerboseVersionAndKeys) {
    const ChildResult quiet = Mirror(m_work / "quiet", {"-q"});
    EXPECT_EQ(quiet.exitStatus, 5);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, "");

    const ChildResult verbose = Mirror(m_work / "verbose", {"-v"});
    EXPECT_EQ(verbose.exitStatus, 5);
    EXPECT_TRUE(Contains(verbose.err, "fetched " + Url("/docs/a.html") + " (")) << verbose.err;
    EXPECT_TRUE(Contains(verbose.err, "failed  " + Url("/docs/missing.html") +
                                          ": HTTP 404 Not Found"))
        << verbose.err;
    EXPECT_TRUE(Contains(verbose.err, "Failed files:\n  " + Url("/docs/missing.html") +
                                          ": HTTP 404 Not Found"))
        << verbose.err;

    const ChildResult version = Cli({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("torvex-cli ", 0), 0u) << version.out;

    const ChildResult keys = Cli({"keys"});
    EXPECT_EQ(keys.exitStatus, 0);
    EXPECT_TRUE(Contains(keys.out, "  Level=2\n")) << keys.out;
    EXPECT_TRUE(Contains(keys.out, "  Link=1\n")) << keys.out;   // from the shipped defaults
}

TEST_F(CliMirror, AnInterruptedMirrorSaysHowToResumeAndExitsAsStopped) {
    // The start page comes slowly, so the stop finds the run going.
    m_server.AddScript({test::ReadRequest(),
                        test::SendBytes("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                                        "Content-Length: 100000\r\n\r\n<html>"),
                        test::Pause(60s)});
    const std::string dir = m_work / "stopped";
    test::CChildProcess run("/bin/sh",
                            {"-c", "cd \"$0\" && exec \"$@\"", m_work.Str(), TORVEX_CLI_PATH,
                             "mirror", Url("/docs/index.html"), "stopped"},
                            Environment());
    ASSERT_TRUE(run.Started());
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (m_server.Requests().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_FALSE(m_server.Requests().empty()) << run.ErrorText();
    run.SendSignal(SIGINT);
    const ChildResult stopped = run.Wait(30s);
    EXPECT_EQ(stopped.exitStatus, 3) << stopped.err;
    // The hint names the program as this shell would find it: torvex-cli is not on PATH here.
    EXPECT_TRUE(Contains(stopped.err, "\"" + std::string(TORVEX_CLI_PATH) + " resume stopped\""))
        << stopped.err;
    EXPECT_TRUE(FileExists(dir + "/logs/latest.s"));
}

} // namespace
} // namespace torvex
