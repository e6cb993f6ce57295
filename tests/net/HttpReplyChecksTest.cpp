// Replies that must not be stored as they stand: status codes that are none, partial replies
// that do not continue the stored bytes, bodies cut short, and peers that trickle.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "FtpScripts.h"
#include "HttpTestKit.h"
#include "net/CHttpTransaction.h"
#include "net/CMyExFtpSocket.h"
#include "net/ReplyChecks.h"

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

TEST(ReplyStatus, OnlyThreeDigitsOf100To599AreACode) {
    for (const char* code : {"100", "200", "206", "304", "404", "599"}) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(IsStatusCode(code));
    }
    for (const char* code : {"", "000", "099", "600", "999", "2x0", "20", "2000", " 200", "-20"}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(IsStatusCode(code));
    }
}

TEST(ReplyRange, ReadsBytesFirstLastTotal) {
    const struct {
        const char* value;
        bool valid;
        std::int64_t first, last, total;
    } cases[] = {
        {"bytes 100-199/200", true, 100, 199, 200},
        {" Bytes  0 - 9 / * ", true, 0, 9, -1},
        {"bytes 5000000000-5999999999/6000000000", true, 5000000000, 5999999999, 6000000000},
        {"bytes 10-9/20", false, 0, 0, 0},
        {"bytes 10-20/20", false, 0, 0, 0},
        {"bytes */20", false, 0, 0, 0},
        {"bytes 1-2/3, 4-5/6", false, 0, 0, 0},
        {"items 1-2/3", false, 0, 0, 0},
        {"bytes1-2/3", false, 0, 0, 0},
        {"bytes 1-2", false, 0, 0, 0},
        {"bytes 1234567890123456789-1234567890123456790/*", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        CContentRange range;
        ASSERT_EQ(ParseContentRange(c.value, range), c.valid);
        if (c.valid) {
            EXPECT_EQ(range.first, c.first);
            EXPECT_EQ(range.last, c.last);
            EXPECT_EQ(range.total, c.total);
        }
    }
}

// One transaction against a fixture server playing `script`; the body goes to memory.
class HttpReplyChecks : public TransactionTest {
protected:
    Outcome Play(FixtureScript script, std::int64_t resumeOffset = 0) {
        m_server.AddScript(std::move(script));
        CHttpRequest request = RequestFor("http://h/f.bin", "http://h/", m_body);
        request.resumeOffset = resumeOffset;
        return Run(request);
    }
    Outcome Answer(const std::string& reply, std::int64_t resumeOffset = 0) {
        return Play({ReadRequest(), SendBytes(reply)}, resumeOffset);
    }

};

TEST_F(HttpReplyChecks, AStatusCodeOutside100To599FailsTheTryAndStoresNothing) {
    for (const char* status : {"999", "000", "2x0", "1000", "600"}) {
        SCOPED_TRACE(status);
        m_body = CMemoryBody();
        const Outcome outcome =
            Answer(std::string("HTTP/1.0 ") + status + " Odd\r\nContent-Length: 4\r\n\r\nbody");
        EXPECT_TRUE(outcome.threw);
        EXPECT_EQ(outcome.operation, "HTTPSession");
        EXPECT_EQ(m_body.opens, 0);
        EXPECT_TRUE(m_body.bytes.empty());
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(HttpReplyChecks, APartialReplyIsStoredOnlyWhereItsRangeBegins) {
    const struct {
        const char* name;
        const char* head;
        std::int64_t asked;
        bool stored;
        std::int64_t offset;
    } cases[] = {
        {"the rest asked for", "Content-Range: bytes 4-9/10\r\n", 4, true, 4},
        {"the rest, total unknown", "Content-Range: bytes 4-9/*\r\n", 4, true, 4},
        {"the whole file instead", "Content-Range: bytes 0-5/6\r\n", 4, true, 0},
        {"another range", "Content-Range: bytes 2-7/8\r\n", 4, false, 0},
        {"no range at all", "", 4, false, 0},
        {"a range that stops short", "Content-Range: bytes 4-9/20\r\n", 4, false, 0},
        {"a range that was never asked for", "Content-Range: bytes 4-9/10\r\n", 0, false, 0},
        {"a length that differs from the range", "Content-Range: bytes 4-9/10\r\n"
                                                 "Content-Length: 5\r\n", 4, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_body = CMemoryBody();
        const Outcome outcome =
            Answer(std::string("HTTP/1.0 206 Partial Content\r\n") + c.head + "\r\n456789", c.asked);
        if (c.stored) {
            ASSERT_FALSE(outcome.threw) << outcome.operation;
            EXPECT_EQ(m_body.offset, c.offset);
            EXPECT_EQ(m_body.bytes, "456789");
            EXPECT_EQ(outcome.result.bodyBytes, c.offset + 6);
        } else {
            EXPECT_EQ(outcome.operation, kOpBadRange);
            EXPECT_EQ(m_body.opens, 0);   // nothing spliced in
        }
    }
}

TEST_F(HttpReplyChecks, ALengthBeyond2GiBIsKeptAndACutBodyFails) {
    const Outcome outcome =
        Answer("HTTP/1.0 200 OK\r\nContent-Length: 3221225472\r\n\r\nonly this much");
    EXPECT_EQ(outcome.operation, "Http Receive");
    EXPECT_FALSE(m_body.closed);
}

TEST_F(HttpReplyChecks, ABodyWithoutLengthCutByAResetIsNotStored) {
    const Outcome outcome =
        Play({ReadRequest(), SendBytes("HTTP/1.0 200 OK\r\n\r\nsome of it"), Pause(50ms),
              ResetConnection()});
    EXPECT_TRUE(outcome.threw);
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_FALSE(m_body.closed);
}

TEST_F(HttpReplyChecks, AHeaderMustBeCompleteWithinTheTimeOut) {
    m_options.timeOut = kStallWait;
    // Every byte comes well within the time-out, the whole header never does.
    const Outcome outcome =
        Play({ReadRequest(), SendInPieces("HTTP/1.0 200 OK\r\nX-Slow: " + std::string(200, 's') +
                                              "\r\n\r\nbody",
                                          1, 20ms)});
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_EQ(outcome.operation, "Receive");
    EXPECT_EQ(outcome.code, -2);
    EXPECT_EQ(m_body.opens, 0);
}

TEST_F(HttpReplyChecks, ABodyThatBringsLessThan1KBInATimeOutWindowFails) {
    m_options.timeOut = kStallWait;
    const Outcome outcome = Play({ReadRequest(), SendBytes("HTTP/1.0 200 OK\r\n\r\n"),
                                  SendInPieces(std::string(400, 'b'), 2, 20ms)});
    EXPECT_TRUE(outcome.socketFailure);
    EXPECT_EQ(outcome.operation, "Receive");
    EXPECT_EQ(outcome.code, -2);
    EXPECT_FALSE(m_body.closed);
}

TEST(FtpReplyPace, AnEndlessReplyThatTricklesFails) {
    CFixtureServer server;
    std::string endless = "220-welcome\r\n";
    for (int i = 0; i < 40; ++i) {
        endless += " line " + std::to_string(i) + "\r\n";
    }
    endless += "220 ready\r\n";
    server.AddScript({SendInPieces(endless, 4, 20ms)});
    CMyExFtpSocket socket;
    socket.SetTimeOut(kStallWait);
    socket.CreateNonBlocking();
    socket.Connect(Loopback(server.Port()), kAnswerWait);
    const Failure failure = CatchFailure([&] { socket.ReadReply(); });
    EXPECT_TRUE(failure.socketFailure);
    EXPECT_EQ(failure.operation, "Receive");
    EXPECT_EQ(failure.code, -2);
    socket.Close();
}

TEST(FtpReplyPace, AReplyThatComesAtOnceIsRead) {
    CFixtureServer server;
    server.AddScript({SendBytes("220-welcome\r\n more\r\n220 ready\r\n")});
    CMyExFtpSocket socket;
    socket.SetTimeOut(kAnswerWait);
    socket.CreateNonBlocking();
    socket.Connect(Loopback(server.Port()), kAnswerWait);
    EXPECT_EQ(socket.ReadReply(), 220);
    socket.Close();
}

} // namespace
} // namespace torvex::test
