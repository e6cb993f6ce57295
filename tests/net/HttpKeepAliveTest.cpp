#include "net/CHttpTransaction.h"

#include <gtest/gtest.h>

#include <string>

#include "HttpTestKit.h"
#include "net/ReplyFraming.h"

namespace torvex::test {
namespace {

// Transactions with kept connections against a scripted server: one socket, as one worker has.
class HttpKeepAliveTest : public TransactionTest {
protected:
    HttpKeepAliveTest() { m_options.keepAlive = true; }

    Outcome Fetch(const std::string& url = "http://h/a", SocketAddress address = {}) {
        m_body = CMemoryBody();
        if (address.port == 0 && url.find("127.0.0.1") == std::string::npos) {
            address = Loopback(m_server.Port());
        }
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        return RunTransaction(transaction, RequestFor(url, "", m_body), m_socket, address);
    }

    // Two requests on a fresh connection to `server`, into one body: the first must succeed;
    // how the second ended.
    Outcome SecondOf(const CFixtureServer& server) {
        m_socket.Close();
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        const SocketAddress address = Loopback(server.Port());
        const Outcome first =
            RunTransaction(transaction, RequestFor("http://h/1", "", m_body), m_socket, address);
        EXPECT_FALSE(first.threw) << first.operation;
        return RunTransaction(transaction, RequestFor("http://h/2", "", m_body), m_socket,
                              address);
    }

};

TEST_F(HttpKeepAliveTest, AsksAsHttp11WithoutClosing) {
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("abc"))});
    const Outcome outcome = Fetch();
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    const std::string request = m_server.LastRequest();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /a HTTP/1.1");
    EXPECT_EQ(request.find("Connection:"), std::string::npos);
    EXPECT_NE(request.find("\r\nHost: h\r\n"), std::string::npos);
}

TEST_F(HttpKeepAliveTest, SecondRequestGoesOverTheSameConnection) {
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("first")), ReadRequest(),
                        SendInPieces(Reply11("second"), 7, std::chrono::milliseconds(1))});
    const std::int64_t opened = CHttpTransaction::ProcessConnectionsOpened();
    ASSERT_FALSE(Fetch("http://h/1").threw);
    EXPECT_EQ(m_body.bytes, "first");
    EXPECT_TRUE(m_socket.IsOpen());
    const Outcome second = Fetch("http://h/2");
    ASSERT_FALSE(second.threw) << second.operation;
    EXPECT_EQ(m_body.bytes, "second");
    EXPECT_EQ(m_server.ConnectionCount(), 1);
    EXPECT_EQ(CHttpTransaction::ProcessConnectionsOpened() - opened, 1);
    EXPECT_NE(m_server.LastRequest().find("GET /2 HTTP/1.1"), std::string::npos);
}

TEST_F(HttpKeepAliveTest, AConnectionTheServerDroppedIsReplacedUnseen) {
    const struct {
        const char* name;
        FixtureScript first;
    } cases[] = {
        {"closed after the reply", {ReadRequest(), SendBytes(Reply11("one"))}},
        {"reset at the next request",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), ResetConnection()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFixtureServer server;
        server.AddScript(c.first);
        server.AddScript({ReadRequest(), SendBytes(Reply11("two"))});
        m_body = CMemoryBody();
        const Outcome second = SecondOf(server);
        ASSERT_FALSE(second.threw) << second.operation << " " << second.code;
        EXPECT_EQ(m_body.bytes, "onetwo");
        EXPECT_EQ(server.ConnectionCount(), 2);
        EXPECT_EQ(server.RequestCount("/2"), 1);   // the new connection's first request
    }
}

TEST_F(HttpKeepAliveTest, FailuresOnAKeptConnectionAreNotSentAgain) {
    const struct {
        const char* name;
        FixtureScript first;
        const char* operation;
        int code;
    } cases[] = {
        {"closed in the middle of the reply",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
          SendBytes("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")},
         "Http Receive",
         0},
        {"closed in the middle of the header",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), SendBytes("HTTP/1.1 200")},
         "ReadHeaderLine",
         0},
        {"no answer in time",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), WaitForClose()},
         "Receive",
         kSocketTimedOut},
    };
    m_options.timeOut = kStallWait;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFixtureServer server;
        server.AddScript(c.first);
        const Outcome second = SecondOf(server);
        EXPECT_EQ(second.operation, c.operation);
        EXPECT_EQ(second.code, c.code);
        EXPECT_EQ(server.ConnectionCount(), 1);
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(HttpKeepAliveTest, KeepsTheConnectionOnlyAfterACleanReply) {
    const struct {
        const char* name;
        std::string reply;
        bool kept;
        const char* body;
    } cases[] = {
        {"HTTP/1.1 with a length", Reply11("abc"), true, "abc"},
        {"HTTP/1.0", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", false, "abc"},
        {"Connection: close", Reply11("abc", "Connection: keep-alive, Close\r\n"), false, "abc"},
        {"no length: read to the close", "HTTP/1.1 200 OK\r\n\r\nabc", false, "abc"},
        {"bytes past the length", Reply11("abc") + "XYZ", false, "abc"},
        {"early hints first",
         "HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n" +
             Reply11("abc"),
         true, "abc"},
        {"a small redirect body",
         "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 4\r\n\r\nmove", true, ""},
        {"a redirect body over the limit",
         "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 70000\r\n\r\n" +
             std::string(70000, 'x'),
         false, ""},
        {"a redirect read to the close", "HTTP/1.1 301 Moved\r\nLocation: /b\r\n\r\nmove", false,
         ""},
        {"not modified", "HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n", true, ""},
        {"gone, with a page", "HTTP/1.1 410 Gone\r\nContent-Length: 4\r\n\r\ngone", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.AddScript({ReadRequest(), SendBytes(c.reply)});
        m_socket.Close();
        const Outcome outcome = Fetch();
        ASSERT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(m_body.bytes, c.body);
        EXPECT_EQ(m_socket.IsOpen(), c.kept);
        m_socket.Close();
    }
}

TEST_F(HttpKeepAliveTest, ABodyOfUnknownLengthIsAFailedTry) {
    const struct {
        const char* name;
        std::string reply;
        const char* operation;
    } cases[] = {
        {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd",
         "BadFraming"},
        {"a length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: 3x\r\n\r\nabc",
         "BadFraming"},
        {"endless interim replies",
         [] {
             std::string replies;
             for (int i = 0; i < 10; ++i) {
                 replies += "HTTP/1.1 100 Continue\r\n\r\n";
             }
             return replies;
         }(),
         "BadFraming"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.AddScript({ReadRequest(), SendBytes(c.reply), WaitForClose()});
        const Outcome outcome = Fetch();
        EXPECT_EQ(outcome.operation, c.operation);
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(HttpKeepAliveTest, AnAnswerWithoutTheFileKeepsTheConnectionWhenItsPageIsRead) {
    const struct {
        const char* name;
        std::string reply;
        int code;
        bool kept;
    } cases[] = {
        {"404 with a page", "HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno", 404, true},
        {"503 chunked", "HTTP/1.1 503 Busy\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nno\r\n0\r\n\r\n",
         503, true},
        {"404 that closes", "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 2\r\n\r\nno",
         404, false},
        {"500 read to the close", "HTTP/1.1 500 Oops\r\n\r\nno", 500, false},
        {"403 with a page over the limit",
         "HTTP/1.1 403 Forbidden\r\nContent-Length: 70000\r\n\r\n" + std::string(70000, 'x'), 403,
         false},
        {"404 with a page cut short", "HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\nno",
         404, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFixtureServer server;
        // Where the connection is not to be kept, the server ends it after the reply.
        FixtureScript first{ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
                            SendBytes(c.reply)};
        if (c.kept) {
            first.insert(first.end(), {ReadRequest(), SendBytes(Reply11("three"))});
        } else {
            first.push_back(CloseConnection());
        }
        server.AddScript(first);
        server.AddScript({ReadRequest(), SendBytes(Reply11("three"))});
        m_body = CMemoryBody();
        const Outcome second = SecondOf(server);
        EXPECT_EQ(second.operation, "HTTPSession");
        EXPECT_EQ(second.code, c.code);
        EXPECT_EQ(m_socket.IsOpen(), c.kept);
        const Outcome third = Fetch("http://h/3", Loopback(server.Port()));
        ASSERT_FALSE(third.threw) << third.operation;
        EXPECT_EQ(m_body.bytes, "three");
        EXPECT_EQ(server.ConnectionCount(), c.kept ? 1 : 2);
    }
}

TEST_F(HttpKeepAliveTest, AnIdleOrOtherConnectionIsNotUsed) {
    // Where the next request goes decides; an idle limit of 0 has every kept connection expire.
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("one")), WaitForClose()});
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("two")), WaitForClose()});
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("three")), WaitForClose()});
    ASSERT_FALSE(Fetch("http://h/1").threw);
    ASSERT_FALSE(Fetch("http://other/2").threw);
    EXPECT_EQ(m_server.ConnectionCount(), 2);
    m_socket.SetIdleLimit(std::chrono::milliseconds(0));
    ASSERT_FALSE(Fetch("http://other/3").threw);
    EXPECT_EQ(m_body.bytes, "three");
    EXPECT_EQ(m_server.ConnectionCount(), 3);
}

TEST_F(HttpKeepAliveTest, AHostNotLookedUpIsLookedUpForANewConnection) {
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("one"))});
    m_server.AddScript({ReadRequest(), SendBytes(Reply11("two"))});
    const std::string base = "http://127.0.0.1:" + std::to_string(m_server.Port());
    ASSERT_FALSE(Fetch(base + "/1").threw);
    // The kept connection went there, so no address came; it has been closed meanwhile.
    const Outcome second = Fetch(base + "/2", SocketAddress{});
    ASSERT_FALSE(second.threw) << second.operation;
    EXPECT_EQ(m_body.bytes, "two");
}

TEST(ReplyFramingTest, ReadsHowTheBodyEnds) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        const char* status;
        BodyEnd end;
        bool keeps;
    } cases[] = {
        {"length",
         {"HTTP/1.1 200 OK\r\n", "content-length:  12 \r\n"},
         "200",
         BodyEnd::Length,
         true},
        {"same length twice",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: 5, 5\r\n"},
         "200",
         BodyEnd::Length,
         true},
        {"lengths that differ",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: 5, 6\r\n"},
         "200",
         BodyEnd::Close,
         false},
        {"an empty length",
         {"HTTP/1.1 200 OK\r\n", "Content-Length:\r\n"},
         "200",
         BodyEnd::Close,
         false},
        {"a negative length",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: -1\r\n"},
         "200",
         BodyEnd::Close,
         false},
        {"chunked",
         {"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: gzip, Chunked\r\n"},
         "200",
         BodyEnd::Chunked,
         true},
        {"chunked with a length",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: 3\r\n", "Transfer-Encoding: chunked\r\n"},
         "200",
         BodyEnd::Chunked,
         false},
        {"chunked not last",
         {"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked, gzip\r\n"},
         "200",
         BodyEnd::Close,
         false},
        {"a name with a blank before the colon",
         {"HTTP/1.1 200 OK\r\n", "Content-Length : 3\r\n"},
         "200",
         BodyEnd::Close,
         false},
        {"no body",
         {"HTTP/1.1 204 No Content\r\n", "Content-Length: 3\r\n"},
         "204",
         BodyEnd::None,
         true},
        {"a zero length",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: 0\r\n"},
         "200",
         BodyEnd::None,
         true},
        {"an over-long length",
         {"HTTP/1.1 200 OK\r\n", "Content-Length: 9999999999999999999\r\n"},
         "200",
         BodyEnd::Close,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplyFraming framing;
        framing.http11 = true;
        for (const std::string& line : c.lines) {
            framing.Take(line);
        }
        EXPECT_EQ(framing.End(c.status), c.end);
        EXPECT_EQ(framing.KeepsConnection(c.status), c.keeps);
    }
}

} // namespace
} // namespace torvex::test
