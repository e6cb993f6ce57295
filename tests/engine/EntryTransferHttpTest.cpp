#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "EntryTransferKit.h"
#include "platform/FileSystem.h"

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

// One entry fetched from a fixture server that answers with `response` after reading the
// request; the entry is stored under a fresh record folder.
class EntryTransferHttp : public ::testing::Test {
protected:
    EntryTransferHttp() : m_transferOptions(TransferOptions(m_dir.Str())) {}

    EntryOutcome Fetch(CUrlEntry& entry) { return FetchFrom(entry, m_server.Port()); }
    EntryOutcome FetchFrom(CUrlEntry& entry, int port) {
        CEntryTransfer transfer(m_options, m_transferOptions, m_worker, m_worker, m_cookies);
        return RunHttp(transfer, entry, m_socket, Loopback(port));
    }
    EntryOutcome Answer(const std::string& response, CUrlEntry& entry) {
        m_server.AddScript({ReadRequest(), SendBytes(response)});
        return Fetch(entry);
    }
    CUrlEntry Linked(const std::string& url) { return MakeEntry(url, "http://h/", m_dir.Str()); }
    CUrlEntry Start(const std::string& url) { return MakeEntry(url, "", m_dir.Str()); }
    std::string Stored(const CUrlEntry& entry) const {
        return ReadFileBytes(m_dir.Str() + "/" + entry.localDir + entry.fileName + entry.extension);
    }
    bool Exists(const CUrlEntry& entry) const {
        return std::filesystem::exists(m_dir.Str() + "/" + entry.localDir + entry.fileName +
                                       entry.extension);
    }

    TempDir m_dir;
    CFixtureServer m_server;
    CHttpOptions m_options = DirectOptions();
    CEntryTransferOptions m_transferOptions;
    RecordingWorker m_worker;
    ScriptedCookies m_cookies;
    CMyExHttpSocket m_socket;
};

TEST_F(EntryTransferHttp, StoresABodyAndReportsItsProgress) {
    CUrlEntry entry = Linked("http://h/files/a.bin");
    const EntryOutcome outcome = Answer(
        "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: application/octet-stream\r\n"
        "Last-Modified: Sat, 01 Jan 2000 00:00:00 GMT\r\n\r\nhello",
        entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(Stored(entry), "hello");
    EXPECT_EQ(entry.total, 5);
    EXPECT_EQ(entry.readed, 5);
    EXPECT_EQ(entry.kind, EntryKind::Other);
    EXPECT_EQ(entry.lastModified, "Sat, 01 Jan 2000 00:00:00 GMT");
    EXPECT_EQ(m_worker.states, (std::vector<int>{2, 3, 4, 5, 0}));
    EXPECT_EQ(m_worker.inProgress, std::vector<EntryState>{EntryState::Initial});
    EXPECT_GE(m_worker.receivedBytes.load(), 5);
    EXPECT_FALSE(m_socket.IsOpen());
}

TEST_F(EntryTransferHttp, ResponseWithoutHeaderIsAllBody) {
    CUrlEntry entry = Start("http://h/page");
    const EntryOutcome outcome = Answer("<html><body>no header</body></html>", entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result, 0);
    // Sniffed as a page: a stand-alone start page gets ".html" appended by renaming.
    EXPECT_EQ(entry.kind, EntryKind::Page);
    EXPECT_EQ(entry.nameLetter, NameLetter::HtmlAppended);
    EXPECT_EQ(entry.extension, ".html");
    EXPECT_EQ(Stored(entry), "<html><body>no header</body></html>");
    EXPECT_TRUE(m_worker.hasRenamedFile);
}

TEST_F(EntryTransferHttp, StatusLineWithoutReasonPhraseStoresTheBody) {
    CUrlEntry entry = Linked("http://h/x.txt");
    const EntryOutcome outcome =
        Answer("HTTP/1.0 503\r\nContent-Length: 99\r\n\r\nbody text", entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(Stored(entry), "body text");
    EXPECT_EQ(entry.total, -1);   // no status: the size is unknown
}

TEST_F(EntryTransferHttp, ClassifiesFailureStatuses) {
    const struct {
        const char* status;
        bool threw;
        int code;
    } cases[] = {
        {"401 Unauthorized", true, 401}, {"403 Forbidden", true, 403},
        {"404 Not Found", true, 404},    {"407 Proxy", true, 407},
        {"500 Error", true, 500},        {"501 X", true, 501},
        {"502 X", true, 502},            {"503 X", true, 503},
        {"504 X", true, 504},            {"505 X", true, 505},
        {"410 Gone", false, 0},          {"400 Bad", false, 0},
        {"418 Teapot", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        CUrlEntry entry = Linked("http://h/x.html");
        const EntryOutcome outcome =
            Answer(std::string("HTTP/1.0 ") + c.status + "\r\n\r\nerror page", entry);
        EXPECT_EQ(outcome.threw, c.threw);
        if (c.threw) {
            EXPECT_FALSE(outcome.socketFailure);
            EXPECT_EQ(outcome.className, "");
            EXPECT_EQ(outcome.operation, "HTTPSession");
            EXPECT_EQ(outcome.code, c.code);
        } else {
            EXPECT_EQ(outcome.result, -1);
        }
        EXPECT_FALSE(Exists(entry));
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(EntryTransferHttp, HandsRedirectsToTheEngine) {
    const struct {
        const char* status;
        const char* url;
        const char* headers;
        const char* composed;
        bool slash;
    } cases[] = {
        {"301 Moved", "http://h/dir", "Location: http://h/dir/\r\n", "http://h/dir/", true},
        {"302 Found", "http://h/dir", "Location: /other\r\n", "http://h/other", false},
        {"303 See Other", "http://h/a/b.html", "Location: c.html\r\n", "http://h/a/c.html",
         false},
        {"302 Found", "http://h/DIR", "Location: http://h/dir/x\r\n", "http://h/dir/x", true},
        // A header is found by its own name: Content-Location is not Location.
        {"302 Found", "http://h/dir", "Content-Location: /first\r\nLocation: /second\r\n",
         "http://h/second", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " " + c.headers);
        m_worker.redirects.clear();
        CUrlEntry entry = Linked(c.url);
        const EntryOutcome outcome =
            Answer(std::string("HTTP/1.0 ") + c.status + "\r\n" + c.headers + "\r\n", entry);
        EXPECT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(outcome.result, -1);
        ASSERT_EQ(m_worker.redirects.size(), 1u);
        EXPECT_TRUE(m_worker.redirects[0].targetValid);
        EXPECT_EQ(m_worker.redirects[0].composedTarget, c.composed);
        EXPECT_EQ(m_worker.redirects[0].slashRedirect, c.slash);
        EXPECT_FALSE(Exists(entry));
    }
}

TEST_F(EntryTransferHttp, NotModifiedKeepsTheOlderCopy) {
    CUrlEntry entry = Linked("http://h/a.png");
    entry.lastModified = "Sat, 01 Jan 2000 00:00:00 GMT";
    entry.state = EntryState::Stored;
    const EntryOutcome outcome = Answer("HTTP/1.0 304 Not Modified\r\n\r\n", entry);
    EXPECT_FALSE(outcome.threw);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(m_worker.notModified, 1);
    EXPECT_TRUE(m_worker.inProgress.empty());
    EXPECT_FALSE(Exists(entry));
}

TEST_F(EntryTransferHttp, BodyLengths) {
    const struct {
        const char* name;
        const char* response;
        const char* operation;   // "" when the body is stored
        const char* stored;
    } cases[] = {
        {"length 0 is unknown and the empty body fails",
         "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", "NoBody", ""},
        {"no length reads until the close", "HTTP/1.0 200 OK\r\n\r\nuntil close", "",
         "until close"},
        {"length beyond what the peer sends", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort",
         "Http Receive", "short"},
        {"negative length is unknown", "HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nabc", "",
         "abc"},
        {"length over 32 bits is a length: a body cut short of it fails",
         "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nabc", "Http Receive", "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CUrlEntry entry = Linked("http://h/f.bin");
        const EntryOutcome outcome = Answer(c.response, entry);
        EXPECT_EQ(outcome.operation, c.operation);
        EXPECT_EQ(outcome.result, outcome.threw ? 99 : 0);
        EXPECT_EQ(Stored(entry), c.stored);
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(EntryTransferHttp, PartialContentAppendsAtTheOffset) {
    CUrlEntry entry = Linked("http://h/big.zip");
    MakeDirectoryPath(m_dir.Str() + "/" + entry.localDir);
    const std::string path = m_dir.Str() + "/" + entry.localDir + entry.fileName;
    WriteFileBytes(path, std::string(5000, 'A') + "stale tail");
    entry.readed = 5000;
    entry.total = 5100;
    entry.lastModified = "Sat, 01 Jan 2000 00:00:00 GMT";
    const EntryOutcome outcome = Answer(
        "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 5000-5099/5100\r\n"
        "Content-Length: 100\r\n\r\n" + std::string(100, 'B'),
        entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(ReadFileBytes(path), std::string(5000, 'A') + std::string(100, 'B'));
    EXPECT_EQ(entry.readed, 5100);
    EXPECT_EQ(entry.total, 5100);
}

TEST_F(EntryTransferHttp, FullAnswerToARangeRestartsTheFile) {
    CUrlEntry entry = Linked("http://h/big.zip");
    MakeDirectoryPath(m_dir.Str() + "/" + entry.localDir);
    const std::string path = m_dir.Str() + "/" + entry.localDir + entry.fileName;
    WriteFileBytes(path, std::string(5000, 'A'));
    entry.readed = 5000;
    const EntryOutcome outcome = Answer(
        "HTTP/1.0 200 OK\r\nContent-Length: 300\r\n\r\n" + std::string(300, 'C'), entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(ReadFileBytes(path), std::string(300, 'C'));
    EXPECT_EQ(entry.readed, 300);
    EXPECT_EQ(entry.total, 300);
}

TEST_F(EntryTransferHttp, PartialContentForAFileShorterThanTheOffsetStartsOver) {
    CUrlEntry entry = Linked("http://h/big.zip");
    MakeDirectoryPath(m_dir.Str() + "/" + entry.localDir);
    WriteFileBytes(m_dir.Str() + "/" + entry.localDir + entry.fileName, std::string(10, 'A'));
    entry.readed = 5000;
    const EntryOutcome outcome =
        Answer("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 5000-5099/5100\r\n\r\n" +
                   std::string(100, 'B'),
               entry);
    EXPECT_EQ(outcome.operation, "ResumeOffset");
    EXPECT_EQ(entry.readed, 0);   // the next try asks for the whole file
}

TEST_F(EntryTransferHttp, NamesPagesByContentType) {
    const struct {
        const char* url;
        const char* referrer;
        const char* type;
        char kind;
        char letter;
        const char* extension;
    } cases[] = {
        {"http://h/list.php", "", "text/html; charset=utf-8", '1', '3', ".html"},
        {"http://h/list.php", "http://h/", "TEXT/HTML", '1', '1', ""},
        {"http://h/page.htm", "", "text/html", '1', '0', ""},
        {"http://h/app.js", "http://h/", "application/javascript", '1', '0', ""},
        {"http://h/logo.png", "http://h/", "image/png", '0', '0', ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " " + c.type);
        CUrlEntry entry = MakeEntry(c.url, c.referrer, m_dir.Str());
        const EntryOutcome outcome = Answer(
            std::string("HTTP/1.0 200 OK\r\nContent-Type: ") + c.type + "\r\n\r\n<p>x</p>", entry);
        ASSERT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_EQ(entry.nameLetter, c.letter);
        EXPECT_EQ(entry.extension, c.extension);
        EXPECT_EQ(Stored(entry), "<p>x</p>");
    }
}

TEST_F(EntryTransferHttp, StartPageTooLongForHtmlAppendedFails) {
    // Record folder + "h/" + "list.php" is 256 characters: the name fits, the renaming not.
    const std::string record = m_dir.Str() + "/" + std::string(246 - m_dir.Str().size() - 1, 'r');
    m_transferOptions.recordDownloadDir = record;
    CUrlEntry entry = MakeEntry("http://h/list.php", "", record);
    ASSERT_EQ(record.size() + entry.localDir.size() + entry.fileName.size(), 256u);
    const EntryOutcome outcome =
        Answer("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nx", entry);
    EXPECT_EQ(outcome.operation, "LongFilePath");
    EXPECT_FALSE(outcome.socketFailure);
}

TEST_F(EntryTransferHttp, SniffedPageTooLongForHtmlAppendedKeepsItsName) {
    const std::string record = m_dir.Str() + "/" + std::string(246 - m_dir.Str().size() - 1, 'r');
    m_transferOptions.recordDownloadDir = record;
    CUrlEntry entry = MakeEntry("http://h/list.php", "", record);
    const EntryOutcome outcome = Answer("HTTP/1.0 200 OK\r\n\r\n<!DOCTYPE html>", entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(entry.kind, EntryKind::Page);
    EXPECT_EQ(entry.nameLetter, NameLetter::PageOwnName);
    EXPECT_EQ(entry.extension, "");
    EXPECT_EQ(ReadFileBytes(record + "/h/list.php"), "<!DOCTYPE html>");
}

TEST_F(EntryTransferHttp, OverlongHeaderLineFails) {
    CUrlEntry entry = Linked("http://h/x");
    const EntryOutcome outcome =
        Answer("HTTP/1.0 200 OK\r\nX-Big: " + std::string(1100, 'v') + "\r\n\r\nbody", entry);
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_EQ(outcome.operation, "ReadHeaderLine");
    EXPECT_FALSE(m_socket.IsOpen());
}

TEST_F(EntryTransferHttp, HeaderBeyond4096CharactersKeepsItsFirstLines) {
    std::string headers;
    for (int i = 0; i < 60; ++i) {
        headers += "X-Filler-" + std::to_string(i) + ": " + std::string(80, 'f') + "\r\n";
    }
    CUrlEntry entry = Linked("http://h/x.bin");
    const EntryOutcome outcome = Answer(
        "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n" + headers + "Content-Type: text/html\r\n\r\nbody",
        entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(Stored(entry), "body");
    EXPECT_EQ(entry.total, 4);
    EXPECT_EQ(entry.kind, EntryKind::Other);   // the late Content-Type line was dropped
}

TEST_F(EntryTransferHttp, CutsTheStatusTokenAndTheContentTypeToTheirBuffers) {
    // A status token over 7 characters is read by its first 7; "2000000" is no status code, so
    // the try fails and nothing is stored.
    CUrlEntry entry = Linked("http://h/x.bin");
    EntryOutcome outcome = Answer("HTTP/1.0 20000000000 OK\r\n\r\nbody", entry);
    EXPECT_EQ(outcome.operation, "HTTPSession");
    EXPECT_FALSE(Exists(entry));

    // "text/html" beyond the 63rd character of the type no longer makes a page.
    CUrlEntry late = Linked("http://h/y.bin");
    outcome = Answer("HTTP/1.0 200 OK\r\nContent-Type: application/x-" + std::string(60, 'p') +
                         "; text/html\r\n\r\n<html>",
                     late);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(late.kind, EntryKind::Other);

    CUrlEntry early = Linked("http://h/z.bin");
    outcome = Answer("HTTP/1.0 200 OK\r\nContent-Type: application/x-" + std::string(30, 'p') +
                         "; text/html\r\n\r\n<html>",
                     early);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(early.kind, EntryKind::Page);
}

TEST_F(EntryTransferHttp, SplitWritesAndPausesAreReadWhole) {
    CUrlEntry entry = Linked("http://h/x.bin");
    m_server.AddScript({ReadRequest(),
                        SendInPieces("HTTP/1.0 200 OK\r\nContent-Length: 2000\r\n\r\n" +
                                         std::string(2000, 'z'),
                                     3, 1ms)});
    const EntryOutcome outcome = Fetch(entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(Stored(entry), std::string(2000, 'z'));
}

TEST_F(EntryTransferHttp, SilentServerTimesOut) {
    CUrlEntry entry = Linked("http://h/x.bin");
    m_server.AddScript({ReadRequest(), WaitForClose()});
    m_options.timeOut = kStallWait;
    const auto started = std::chrono::steady_clock::now();
    const EntryOutcome outcome = Fetch(entry);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_EQ(outcome.operation, "Receive");
    EXPECT_EQ(outcome.code, -2);
    EXPECT_LT(waited, kAnswerWait);   // the short time-out ended it
    EXPECT_FALSE(m_socket.IsOpen());
}

TEST_F(EntryTransferHttp, StallInsideTheBodyTimesOut) {
    CUrlEntry entry = Linked("http://h/x.bin");
    m_server.AddScript({ReadRequest(), SendBytes("HTTP/1.0 200 OK\r\n\r\nfirst part"),
                        WaitForClose()});
    m_options.timeOut = kStallWait;
    const EntryOutcome outcome = Fetch(entry);
    EXPECT_EQ(outcome.operation, "Receive");
    EXPECT_EQ(outcome.code, -2);
    EXPECT_EQ(entry.readed, 10);   // the worker can record how far it got
}

TEST_F(EntryTransferHttp, RefusedPortFails) {
    int port = 0;
    {
        CFixtureServer gone;
        port = gone.Port();
    }
    CUrlEntry entry = Linked("http://h/x.bin");
    const EntryOutcome outcome = FetchFrom(entry, port);
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_TRUE(outcome.operation == "Connect" || outcome.operation == "SendAll")
        << outcome.operation;
    EXPECT_EQ(outcome.code, -1);
    EXPECT_FALSE(m_socket.IsOpen());
}

TEST_F(EntryTransferHttp, StopBeforeSendingEndsQuietly) {
    CUrlEntry entry = Linked("http://h/x.bin");
    m_worker.stop = true;
    const EntryOutcome outcome = Answer("HTTP/1.0 200 OK\r\n\r\nbody", entry);
    EXPECT_FALSE(outcome.threw);
    EXPECT_EQ(outcome.result, -1);
    ASSERT_TRUE(m_server.WaitForFinished(1, 5s));
    EXPECT_EQ(m_server.LastRequest(), "");
}

TEST_F(EntryTransferHttp, CookiesFromTheResponseGoToTheExchange) {
    m_options.cookie = true;
    CUrlEntry entry = Linked("http://h/shop/cart.html");
    const EntryOutcome outcome = Answer(
        "HTTP/1.0 200 OK\r\nSet-Cookie:   id=7; path=/\r\nset-cookie: x=1\r\n\r\nok", entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(m_cookies.added,
              (std::vector<std::string>{"id=7; path=/|h|/shop/", "x=1|h|/shop/"}));
}

TEST_F(EntryTransferHttp, ResumedRunCountsAPageWhoseParseHadBegun) {
    m_transferOptions.resumeRun = true;
    CUrlEntry entry = Linked("http://h/p.html");
    entry.state = EntryState::Parsing;
    const EntryOutcome outcome = Answer("HTTP/1.0 200 OK\r\n\r\nbody", entry);
    EXPECT_TRUE(outcome.alreadyCounted);
    EXPECT_EQ(entry.state, EntryState::Initial);
}

TEST_F(EntryTransferHttp, DateWithControlBytesIsNotKept) {
    CUrlEntry entry = Linked("http://h/x.bin");
    const EntryOutcome outcome =
        Answer("HTTP/1.0 200 OK\r\nLast-Modified: Sat\x01, 01 Jan\r\n\r\nbody", entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(entry.lastModified, "");
}

} // namespace
TEST_F(EntryTransferHttp, TheEntrysStateDecidesWhatIsAskedFor) {
    constexpr const char* kDate = "Sat, 01 Jan 2000 00:00:00 GMT";
    const struct {
        const char* name;
        EntryState state;
        const char* lastModified;
        std::int32_t readed;
        const char* expectedLines;
    } cases[] = {
        {"a new file", EntryState::Initial, "", 0, ""},
        {"a body broken off, its date known", EntryState::Initial, kDate, 5000,
         "Range: bytes=5000-\r\nIf-Range: Sat, 01 Jan 2000 00:00:00 GMT\r\n"},
        {"a body broken off, no date", EntryState::Initial, "", 5000, "Range: bytes=5000-\r\n"},
        {"a file stored before", EntryState::Complete, kDate, 5000,
         "If-Modified-Since: Sat, 01 Jan 2000 00:00:00 GMT\r\n"},
        {"a page taken over, no date", EntryState::TakenOver, "", 300, ""},
    };
    m_options.userAgent.clear();
    CEntryTransfer transfer(m_options, m_transferOptions, m_worker, m_worker, m_cookies);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CUrlEntry entry = Start("http://h/big.zip");
        entry.state = c.state;
        entry.lastModified = c.lastModified;
        entry.readed = c.readed;
        EXPECT_EQ(transfer.HttpTransaction().BuildRequest(transfer.RequestFor(entry)),
                  std::string("GET /big.zip HTTP/1.0\r\nHost: h\r\n") + c.expectedLines +
                      "Connection: close\r\n\r\n");
    }
    // A stored date that could add lines refuses the request, used or not.
    CUrlEntry damaged = Start("http://h/big.zip");
    damaged.lastModified = "Sat\rX: 1";
    const Failure failure = CatchFailure(
        [&] { transfer.HttpTransaction().BuildRequest(transfer.RequestFor(damaged)); });
    EXPECT_EQ(failure.operation, "BadRequest");
}

} // namespace torvex::test
