// Chunked and compressed bodies of replies on kept connections.

#include "net/CHttpTransaction.h"

#include <gtest/gtest.h>

#include <string>

#include "HttpTestKit.h"
#include "support/Compressed.h"

namespace torvex::test {
namespace {

std::string Gzip(std::string_view plain) {
    return Compressed(plain, kGzipForm);
}

// `body` in the chunked coding, in chunks of `size` bytes.
std::string Chunked(std::string_view body, std::size_t size) {
    std::string out;
    char line[32];
    for (std::size_t at = 0; at < body.size(); at += size) {
        const std::string_view chunk = body.substr(at, size);
        std::snprintf(line, sizeof line, "%zX\r\n", chunk.size());
        out += line;
        out += chunk;
        out += "\r\n";
    }
    return out + "0\r\n\r\n";
}

std::string Head(std::string_view lines) {
    return "HTTP/1.1 200 OK\r\n" + std::string(lines) + "\r\n";
}

class HttpKeptBodyTest : public TransactionTest {
protected:
    HttpKeptBodyTest() { m_options.keepAlive = true; }

    Outcome Fetch(std::int64_t resumeOffset = 0) {
        m_body = CMemoryBody();
        CHttpRequest request = RequestFor("http://h/a", "", m_body);
        request.resumeOffset = resumeOffset;
        return Run(request);
    }

    const std::string m_page = [] {
        std::string page;
        for (int i = 0; i < 300; ++i) {
            page += "<p>line " + std::to_string(i) + " of a page that compresses well</p>\n";
        }
        return page;
    }();
};

TEST_F(HttpKeptBodyTest, AsksForCompressionExceptForARange) {
    m_server.AddScript({ReadRequest(), SendBytes(Head("Content-Length: 1\r\n") + "x")});
    m_server.AddScript({ReadRequest(), SendBytes(Head("Content-Length: 1\r\n") + "x")});
    ASSERT_FALSE(Fetch().threw);
    EXPECT_EQ(RequestHeader(m_server.LastRequest(), "Accept-Encoding"), "gzip, deflate");
    m_socket.Close();
    ASSERT_FALSE(Fetch(5).threw);
    EXPECT_EQ(RequestHeader(m_server.LastRequest(), "Accept-Encoding"), "identity");
    EXPECT_EQ(RequestHeader(m_server.LastRequest(), "Range"), "bytes=5-");
}

TEST_F(HttpKeptBodyTest, AChunkedBodyInPiecesThenTheNextRequestOnTheSameConnection) {
    const std::string chunked = "1a;name=\"x;y\"\r\nabcdefghijklmnopqrstuvwxyz\r\n"
                                "00A\r\n0123456789\r\n"
                                "0;last\r\nX-Sum: 1\r\nX-More: 2\r\n\r\n";
    m_server.AddScript({ReadRequest(),
                        SendInPieces(Head("Transfer-Encoding: chunked\r\n") + chunked, 5,
                                     std::chrono::milliseconds(1)),
                        ReadRequest(), SendBytes(Head("Content-Length: 4\r\n") + "next")});
    const Outcome first = Fetch();
    ASSERT_FALSE(first.threw) << first.operation;
    EXPECT_EQ(m_body.bytes, "abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(first.result.bodyBytes, 36);
    EXPECT_EQ(m_link.sharedReaded.load(), 36);
    EXPECT_TRUE(m_socket.IsOpen());
    const Outcome second = Fetch();
    ASSERT_FALSE(second.threw) << second.operation;
    EXPECT_EQ(m_body.bytes, "next");
    EXPECT_EQ(m_server.ConnectionCount(), 1);
}

TEST_F(HttpKeptBodyTest, CompressedBodiesAreStoredPlain) {
    const std::string gzip = Gzip(m_page);
    const struct {
        const char* name;
        std::string reply;
        std::int64_t wire;
    } cases[] = {
        {"gzip with a length",
         Head("Content-Encoding: gzip\r\nContent-Length: " + std::to_string(gzip.size()) + "\r\n") +
             gzip,
         static_cast<std::int64_t>(gzip.size())},
        {"gzip, chunked",
         Head("Content-Encoding: GZIP\r\nTransfer-Encoding: chunked\r\n") + Chunked(gzip, 100),
         static_cast<std::int64_t>(gzip.size())},
        {"raw deflate",
         Head("Content-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n") +
             Chunked(Compressed(m_page, kRawDeflateForm), 7),
         static_cast<std::int64_t>(Compressed(m_page, kRawDeflateForm).size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.AddScript({ReadRequest(), SendBytes(c.reply)});
        m_socket.Close();
        const Outcome outcome = Fetch();
        ASSERT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(m_body.bytes, m_page);
        EXPECT_TRUE(outcome.result.contentEncoded);
        EXPECT_EQ(outcome.result.bodyBytes, c.wire);
        EXPECT_TRUE(m_body.closed);
    }
}

TEST_F(HttpKeptBodyTest, BrokenBodiesAreFailedTriesThatCloseTheConnection) {
    std::string corrupt = Gzip(m_page);
    corrupt[corrupt.size() / 2] ^= 0x55;
    const std::string gzip = Gzip(m_page);
    const std::string cut = gzip.substr(0, gzip.size() / 2);
    const struct {
        const char* name;
        std::string reply;
        const char* operation;
        int code;
        bool socketFailure;
    } cases[] = {
        {"a wrong chunk size", Head("Transfer-Encoding: chunked\r\n") + "5\r\nabc\r\n0\r\n\r\n",
         "BadChunk", 0, false},
        {"a size that is no number", Head("Transfer-Encoding: chunked\r\n") + "zz\r\nabc\r\n",
         "BadChunk", 0, false},
        {"closed before the last chunk", Head("Transfer-Encoding: chunked\r\n") + "3\r\nabc\r\n",
         "Http Receive", 0, true},
        {"corrupt gzip",
         Head("Content-Encoding: gzip\r\nContent-Length: " + std::to_string(corrupt.size()) +
              "\r\n") +
             corrupt,
         "BadEncoding", 0, false},
        {"gzip cut short, read to the close",
         "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + cut, "BadEncoding", 0, false},
        {"gzip cut short of its length",
         Head("Content-Encoding: gzip\r\nContent-Length: " + std::to_string(gzip.size()) + "\r\n") +
             cut,
         "Http Receive", 0, true},
        {"a coding never asked for", Head("Content-Encoding: br\r\nContent-Length: 3\r\n") + "abc",
         "BadEncoding", kUnknownCodingCode, false},
        {"two codings",
         Head("Content-Encoding: gzip\r\nContent-Encoding: gzip\r\n"
              "Content-Length: 3\r\n") +
             "abc",
         "BadEncoding", kUnknownCodingCode, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.AddScript({ReadRequest(), SendBytes(c.reply)});
        m_socket.Close();
        m_link.sharedReaded = -1;
        const Outcome outcome = Fetch();
        EXPECT_EQ(outcome.operation, c.operation);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_EQ(outcome.socketFailure, c.socketFailure);
        EXPECT_FALSE(m_body.closed);
        EXPECT_FALSE(m_socket.IsOpen());
        if (c.socketFailure && c.reply.find("gzip") != std::string::npos) {
            // The worker resumes from what the link says: part of a compressed body never.
            EXPECT_EQ(m_link.sharedReaded.load(), 0);
        }
    }
}

TEST_F(HttpKeptBodyTest, ACompressedRangeIsRefused) {
    const std::string gzip = Gzip("rest");
    m_server.AddScript(
        {ReadRequest(), SendBytes("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5-8/9\r\n"
                                  "Content-Encoding: gzip\r\nContent-Length: " +
                                  std::to_string(gzip.size()) + "\r\n\r\n" + gzip)});
    const Outcome outcome = Fetch(5);
    EXPECT_EQ(outcome.operation, "BadRange");
    EXPECT_TRUE(m_body.bytes.empty());
}

TEST_F(HttpKeptBodyTest, ALengthBesideChunkedIsIgnoredAndTheConnectionNotKept) {
    m_server.AddScript(
        {ReadRequest(), SendBytes(Head("Content-Length: 2\r\nTransfer-Encoding: chunked\r\n") +
                                  Chunked("chunked wins", 4))});
    const Outcome outcome = Fetch();
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(m_body.bytes, "chunked wins");
    EXPECT_FALSE(m_socket.IsOpen());
}

} // namespace
} // namespace torvex::test
