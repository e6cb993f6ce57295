#include "engine/CLinkConverter.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "engine/IRunListener.h"
#include "engine/StatusLine.h"
#include "platform/FileEnv.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "support/CFaultFileEnv.h"
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

// A small site with a page of another name kind (a.php), a link that is no address, a page
// and an image that are missing, a foreign link, a style sheet and a page one folder down.
class LinkConversion : public ::testing::Test {
protected:
    LinkConversion() {
        m_site.Serve("/", HttpReply("200 OK", "text/html",
                                    "<a href=\"a.php\">A</a><a href=\"mailto:x@y\">m</a>"
                                    "<a href=\"missing.html#top\">M</a>"
                                    "<a href=\"http://elsewhere.invalid/x.html\">X</a>"
                                    "<img src=\"p.gif\"><link rel=stylesheet href=\"s.css\">"
                                    "<a href=\"sub/b.html\">B</a>"));
        m_site.Serve("/a.php", HttpReply("200 OK", "text/html", "<a href=\"index.html\">home</a>"));
        m_site.Serve("/p.gif", HttpReply("200 OK", "image/gif", "GIF89a"));
        m_site.Serve("/s.css", HttpReply("200 OK", "text/css",
                                         "b{background:url(p.gif)} i{background:url(none.gif)}"));
        m_site.Serve("/sub/b.html", HttpReply("200 OK", "text/html", "<a href=\"../a.php\">a</a>"));
        m_project = ProjectIn(m_dir.Str(), {m_site.Url("/")});
        m_project.AutoConvert = false;
        m_project.Retry = 0;
    }

    void Crawl() {
        ASSERT_EQ(m_rig.Run(m_project, RunCommand::Start),
                  std::make_pair(TaskMessage::Finished, 0));
    }

    ConversionOutcome Convert(LinkMode mode, bool appendHtml, std::int64_t timeLimit = -1,
                              int* total = nullptr) {
        CConversionJob job;
        job.projectDir = m_dir.Str();
        job.linkMode = mode;
        job.appendHtml = appendHtml;
        job.timeLimit = timeLimit;
        CLinkConverter converter(job);
        const ConversionOutcome outcome = converter.Run();
        if (total) {
            *total = converter.TotalPages();
        }
        return outcome;
    }

    std::string Stored(const std::string& file) const {
        return m_dir.Str() + "/download/latest/" + m_site.Host() + "/" + file;
    }
    std::string Page(const std::string& file) const { return ReadFileBytes(Stored(file)); }

    // The state and name letters of the status line of `path` on the site.
    std::string Letters(const std::string& path) const {
        const std::string log = ReadFileBytes(m_dir.Str() + "/logs/latest");
        const std::string key = m_site.Url(path) + "\t";
        const std::size_t at = log.find(key);
        if (at == std::string::npos || (at != 0 && log[at - 1] != '\n')) {
            return "none";
        }
        const std::size_t end = at + key.size() - 1;
        return {log[end + kStatusStateOffset], log[end + kStatusNameOffset]};
    }

    std::string Index(const std::string& a, const std::string& missing,
                      const std::string& elsewhere, const std::string& b) const {
        return "<a href=\"" + a + "\">A</a><a href=\"mailto:x@y\">m</a><a href=\"" + missing +
               "#top\">M</a><a href=\"" + elsewhere +
               "\">X</a><img src=\"p.gif\"><link rel=stylesheet href=\"s.css\"><a href=\"" + b +
               "\">B</a>";
    }

    CLoopbackSite m_site;
    TempDir m_dir;
    CProjectSettings m_project;
    CPipelineRunner m_rig;
};

TEST_F(LinkConversion, AbsoluteModeSendsOnlyMissingFilesBackToTheSiteAndLocalModeUndoesIt) {
    Crawl();
    const std::string crawled = Page("index.html");
    ASSERT_EQ(crawled, Index("a.php", "missing.html", "../elsewhere.invalid/x.html", "sub/b.html"));
    ASSERT_EQ(Letters("/index.html"), "10");

    ASSERT_EQ(Convert(LinkMode::Absolute, false), ConversionOutcome::Done);
    // The link that is no address takes a number of its own, so the ones after it still meet
    // their own replacements; the fragment stays behind the address.
    EXPECT_EQ(Page("index.html"), Index("a.php", m_site.Url("/missing.html"),
                                        "http://elsewhere.invalid/x.html", "sub/b.html"));
    EXPECT_EQ(Page("s.css"), "b{background:url(p.gif)} i{background:url(" +
                                 m_site.Url("/none.gif") + ")}");
    EXPECT_EQ(Page("sub/b.html"), "<a href=\"../a.php\">a</a>");
    for (const char* path : {"/index.html", "/s.css", "/sub/b.html", "/a.php"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Letters(path)[0], '5');
    }
    EXPECT_EQ(Letters("/p.gif"), "10");

    ASSERT_EQ(Convert(LinkMode::Local, false), ConversionOutcome::Done);
    EXPECT_EQ(Page("index.html"), crawled);
    EXPECT_EQ(Page("s.css"), "b{background:url(p.gif)} i{background:url(none.gif)}");
    EXPECT_EQ(Letters("/index.html"), "10");
}

TEST_F(LinkConversion, ASecondConversionWithATimeLimitPassesOverThePagesDone) {
    Crawl();
    // The pages as a run left them, well before the limit.
    for (const char* file : {"index.html", "a.php", "s.css", "sub/b.html"}) {
        const std::filesystem::path path = Stored(file);
        std::filesystem::last_write_time(
            path, std::filesystem::last_write_time(path) - std::chrono::seconds(100));
    }
    const std::int64_t limit = FileModificationTime(Stored("index.html")) + 10;
    int total = 0;
    ASSERT_EQ(Convert(LinkMode::Absolute, false, limit, &total), ConversionOutcome::Done);
    EXPECT_EQ(total, 4);
    const std::string page = Page("index.html");
    const std::string log = ReadFileBytes(m_dir.Str() + "/logs/latest");
    const std::int64_t written = FileModificationTime(Stored("index.html"));

    ASSERT_EQ(Convert(LinkMode::Absolute, false, limit, &total), ConversionOutcome::Done);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(Page("index.html"), page);
    EXPECT_EQ(ReadFileBytes(m_dir.Str() + "/logs/latest"), log);
    EXPECT_EQ(FileModificationTime(Stored("index.html")), written);
    // The other style is asked for: the limit does not hold those pages back.
    ASSERT_EQ(Convert(LinkMode::Local, false, limit, &total), ConversionOutcome::Done);
    EXPECT_EQ(total, 4);
}

TEST_F(LinkConversion, AppendingHtmlRenamesAPageAndTheLinksToItFollowBothWays) {
    Crawl();
    ASSERT_EQ(Letters("/a.php"), "11");
    ASSERT_EQ(Convert(LinkMode::Local, true), ConversionOutcome::Done);
    EXPECT_FALSE(FileExists(Stored("a.php")));
    EXPECT_EQ(Page("a.php.html"), "<a href=\"index.html\">home</a>");
    EXPECT_EQ(Letters("/a.php"), "72");
    // The same directory gives the bare file name; one level down climbs up first.
    EXPECT_EQ(Page("index.html"),
              Index("a.php.html", "missing.html", "../elsewhere.invalid/x.html", "sub/b.html"));
    EXPECT_EQ(Page("sub/b.html"), "<a href=\"../a.php.html\">a</a>");
    EXPECT_EQ(Letters("/index.html"), "70");

    ASSERT_EQ(Convert(LinkMode::Local, false), ConversionOutcome::Done);
    EXPECT_FALSE(FileExists(Stored("a.php.html")));
    EXPECT_EQ(Page("a.php"), "<a href=\"index.html\">home</a>");
    EXPECT_EQ(Letters("/a.php"), "11");
    EXPECT_EQ(Page("sub/b.html"), "<a href=\"../a.php\">a</a>");
    EXPECT_EQ(Letters("/index.html"), "10");
}

TEST_F(LinkConversion, TheEndOfARunConvertsItsRecordWhenTheProjectAsks) {
    m_project.AutoConvert = true;
    m_project.Link = 1;
    Crawl();   // the runner lets the queued conversion end
    EXPECT_EQ(Page("index.html"), Index("a.php", m_site.Url("/missing.html"),
                                        "http://elsewhere.invalid/x.html", "sub/b.html"));
    EXPECT_EQ(Letters("/index.html"), "50");
    const CConversionProgress progress = m_rig.manager.ConversionQueue().Progress();
    EXPECT_EQ(progress.finishedJobs, 1);
    EXPECT_EQ(progress.lastOutcome, ConversionOutcome::Done);
}

TEST_F(LinkConversion, LinksReachAStartPageThatWasStoredWithHtmlAppended) {
    // As a start address of its own a.php is stored as a.php.html, while the pages that link
    // to it were written with its plain name; the end of the run mends those links.
    m_project = ProjectIn(m_dir.Str(), {m_site.Url("/a.php"), m_site.Url("/")});
    m_project.Retry = 0;
    Crawl();
    EXPECT_EQ(Letters("/a.php"), "13");
    EXPECT_EQ(Page("index.html"),
              Index("a.php.html", "missing.html", "../elsewhere.invalid/x.html", "sub/b.html"));
    EXPECT_EQ(Page("sub/b.html"), "<a href=\"../a.php.html\">a</a>");
}

TEST_F(LinkConversion, APageThatNoLongerPairsWithItsLinkMapKeepsItsText) {
    Crawl();
    // One link more in front: every number would now name the link before its own.
    const std::string edited = "<a href=\"new.html\">n</a>" + Page("index.html");
    test::WriteFileBytes(Stored("index.html"), edited);
    ASSERT_EQ(Convert(LinkMode::Absolute, false), ConversionOutcome::Done);
    EXPECT_EQ(Page("index.html"), edited);
    EXPECT_EQ(Letters("/index.html"), "10");
    EXPECT_EQ(Letters("/sub/b.html"), "50");
}

TEST_F(LinkConversion, ATagThatGrewPastTheParsersBoundStillPairsWithItsMap) {
    // 1010 characters of tag text as stored; its link turned absolute makes it longer than
    // the 1024 the page parser reads.
    const std::string alt(985, 'x');
    const std::string page = "<img alt=\"" + alt + "\" src=\"gone.gif\"><a href=\"a.php\">A</a>";
    m_site.Serve("/", HttpReply("200 OK", "text/html", page));
    Crawl();
    ASSERT_EQ(Convert(LinkMode::Absolute, false), ConversionOutcome::Done);
    ASSERT_EQ(Page("index.html"), "<img alt=\"" + alt + "\" src=\"" + m_site.Url("/gone.gif") +
                                      "\"><a href=\"a.php\">A</a>");
    ASSERT_EQ(Convert(LinkMode::Local, true), ConversionOutcome::Done);
    EXPECT_EQ(Page("index.html"),
              "<img alt=\"" + alt + "\" src=\"gone.gif\"><a href=\"a.php.html\">A</a>");
    EXPECT_EQ(Letters("/index.html"), "70");
}

TEST_F(LinkConversion, ARecordInUseOrUnknownIsLeftAlone) {
    Crawl();
    const std::string page = Page("index.html");
    {
        ProjectLock running;
        ASSERT_EQ(running.TryAcquire(m_dir.Str()), ProjectLockOutcome::Acquired);
        EXPECT_EQ(Convert(LinkMode::Absolute, false), ConversionOutcome::Busy);
    }
    EXPECT_EQ(Page("index.html"), page);
    CConversionJob job;
    job.projectDir = m_dir.Str();
    for (const char* record : {"12345", "../latest", ""}) {
        SCOPED_TRACE(record);
        job.record = record;
        EXPECT_EQ(CLinkConverter(job).Run(), ConversionOutcome::NoRecord);
    }
}

// A record of many pages, converted by several threads at once: each page links to the next one
// and to a page the site does not have, so that absolute links rewrite every page.
class SpreadConversion : public ::testing::Test {
protected:
    static constexpr int kPages = 40;

    SpreadConversion() {
        for (int i = 0; i < kPages; ++i) {
            m_site.Serve(PagePath(i), HttpReply("200 OK", "text/html", Crawled(i)));
        }
        m_project = ProjectIn(m_dir.Str(), {m_site.Url(PagePath(0))});
        m_project.AutoConvert = false;
        m_project.Retry = 0;
        EXPECT_EQ(m_rig.Run(m_project, RunCommand::Start),
                  std::make_pair(TaskMessage::Finished, 0));
    }

    // Pages next to each other are in different folders.
    static std::string Dir(int i) { return "d" + std::to_string(i % 4); }
    static std::string PagePath(int i) { return "/" + Dir(i) + "/p" + std::to_string(i) + ".html"; }
    static std::string Link(int i) { return ".." + PagePath(i); }
    static std::string Crawled(int i) {
        return "<a href=\"" + Link((i + 1) % kPages) + "\">next</a><a href=\"gone" +
               std::to_string(i) + ".html\">gone</a>";
    }
    std::string Converted(int i) const {
        return "<a href=\"" + Link((i + 1) % kPages) + "\">next</a><a href=\"" +
               m_site.Url("/" + Dir(i) + "/gone" + std::to_string(i) + ".html") + "\">gone</a>";
    }
    std::string Page(int i) const {
        return ReadFileBytes(m_dir.Str() + "/download/latest/" + m_site.Host() + PagePath(i));
    }
    std::string Log() const { return ReadFileBytes(m_dir.Str() + "/logs/latest"); }
    char StateLetter(int i) const {
        const std::string log = Log();
        const std::string key = m_site.Url(PagePath(i)) + "\t";
        const std::size_t at = log.find(key);
        return at == std::string::npos ? '?' : log[at + key.size() - 1 + kStatusStateOffset];
    }
    CConversionJob Job(LinkMode mode) const {
        CConversionJob job;
        job.projectDir = m_dir.Str();
        job.linkMode = mode;
        job.threads = 4;
        return job;
    }

    CLoopbackSite m_site;
    TempDir m_dir;
    CProjectSettings m_project;
    CPipelineRunner m_rig;
};

// A cancel while the threads are in the middle of their pages: each thread ends the page it
// is on, and every page keeps text and status together, old or new.
TEST_F(SpreadConversion, ACancelInTheMiddleLeavesEveryPageWholeAndItsStatusTrue) {
    CLinkConverter converter(Job(LinkMode::Absolute));
    test::CFaultFileEnv env;
    std::atomic<int> created{0};
    env.beforeCreate = [&](const std::string& path) {
        if (path.find("/download/") != std::string::npos && ++created == 10) {
            converter.Cancel();
        }
    };
    {
        CScopedFileEnv scoped(env);
        ASSERT_EQ(converter.Run(), ConversionOutcome::Cancelled);
    }
    EXPECT_EQ(converter.TotalPages(), kPages);
    EXPECT_GE(converter.DonePages(), 10);
    EXPECT_LT(converter.DonePages(), kPages);
    int converted = 0;
    for (int i = 0; i < kPages; ++i) {
        SCOPED_TRACE(i);
        const char letter = StateLetter(i);
        EXPECT_EQ(Page(i), letter == '5' ? Converted(i) : Crawled(i));
        converted += letter == '5' ? 1 : 0;
    }
    EXPECT_EQ(converted, converter.DonePages());
    for (const auto& file :
         std::filesystem::recursive_directory_iterator(m_dir.Str() + "/download")) {
        EXPECT_EQ(file.path().string().find(".tvx-new"), std::string::npos) << file.path();
    }

    // The next conversion takes the rest.
    CLinkConverter rest(Job(LinkMode::Absolute));
    ASSERT_EQ(rest.Run(), ConversionOutcome::Done);
    for (int i = 0; i < kPages; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Page(i), Converted(i));
    }
}

// Status characters that cannot be written (a full disk) leave the log as it was: its pages
// still count as unconverted, and the next conversion takes them again.
TEST_F(SpreadConversion, AStatusThatCannotBeWrittenLeavesThePageToTheNextConversion) {
    const std::string log = Log();
    test::CFaultFileEnv env;
    {
        CScopedFileEnv scoped(env);
        env.Fail(test::FileStep::DiskFull, m_dir.Str() + "/logs/latest");
        CLinkConverter converter(Job(LinkMode::Absolute));
        ASSERT_EQ(converter.Run(), ConversionOutcome::Done);
        EXPECT_EQ(converter.DonePages(), kPages);
    }
    EXPECT_GT(env.Failures(), 0);
    EXPECT_EQ(Log(), log);
    CLinkConverter again(Job(LinkMode::Absolute));
    ASSERT_EQ(again.Run(), ConversionOutcome::Done);
    EXPECT_EQ(again.TotalPages(), kPages);
    for (int i = 0; i < kPages; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Page(i), Converted(i));
        EXPECT_EQ(StateLetter(i), '5');
    }
}

} // namespace
} // namespace torvex
