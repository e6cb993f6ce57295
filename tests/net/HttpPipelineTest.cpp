#include "net/CHttpTransaction.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "HttpTestKit.h"

namespace torvex::test {
namespace {

// A worker's link that has further addresses to offer when a request may go ahead.
class AheadLink : public RecordingLink {
public:
    const CHttpRequest* RequestAhead(std::string_view place) override {
        places.emplace_back(place);
        if (next.empty()) {
            return nullptr;
        }
        offered = next.front();
        next.pop_front();
        return &offered;
    }

    std::deque<CHttpRequest> next;
    std::vector<std::string> places;
    CHttpRequest offered;
};

// Requests sent ahead on a kept connection: one transaction object and one socket, as one
// worker has, fetching /1, /2, /3 ... of one server in turn.
class HttpPipelineTest : public ::testing::Test {
protected:
    HttpPipelineTest() {
        m_options.keepAlive = true;
        m_transaction.SetAheadReplyWait(kStallWait);
    }

    // Fetches `path` into its own body; `ahead` is offered to go behind it.
    Outcome Fetch(const CFixtureServer& server, const std::string& path,
                  const std::string& ahead = "") {
        m_bodies.emplace_back();
        if (!ahead.empty()) {
            m_link.next.push_back(RequestFor("http://h" + ahead, "", m_spare));
        }
        return RunTransaction(m_transaction, RequestFor("http://h" + path, "", m_bodies.back()),
                              m_socket, Loopback(server.Port()));
    }

    CHttpOptions m_options = DirectOptions();
    AheadLink m_link;
    ScriptedCookies m_cookies;
    CHttpTransaction m_transaction{m_options, m_link, m_cookies};
    CMyExHttpSocket m_socket;
    std::deque<CMemoryBody> m_bodies;
    CMemoryBody m_spare;   // never written: a request sent ahead is answered in its own turn
};

TEST_F(HttpPipelineTest, ARequestGoesAheadAndIsAnsweredInItsTurn) {
    CFixtureServer server;
    // The server answers /2 only once /3 has come too, and both replies in one write: the
    // second lands in the window behind the first and must be read from there.
    server.AddScript({ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), ReadRequest(),
                      SendBytes(Reply11("two") + Reply11("three"))});
    const std::int64_t ahead = CHttpTransaction::ProcessRequestsSentAhead();
    ASSERT_FALSE(Fetch(server, "/1", "/2").threw);
    EXPECT_TRUE(m_link.places.empty()) << "nothing goes ahead on a new connection";
    m_link.next.clear();
    const Outcome second = Fetch(server, "/2", "/3");
    ASSERT_FALSE(second.threw) << second.operation;
    const Outcome third = Fetch(server, "/3");
    ASSERT_FALSE(third.threw) << third.operation;
    EXPECT_EQ(m_bodies[0].bytes, "one");
    EXPECT_EQ(m_bodies[1].bytes, "two");
    EXPECT_EQ(m_bodies[2].bytes, "three");
    EXPECT_TRUE(m_spare.bytes.empty());
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_EQ(CHttpTransaction::ProcessRequestsSentAhead() - ahead, 1);
    EXPECT_TRUE(m_socket.IsOpen());
}

TEST_F(HttpPipelineTest, ARequestSentAheadGoesAgainWhenItsReplyCannotCome) {
    const struct {
        const char* name;
        FixtureScript first;
        bool secondFails;
    } cases[] = {
        {"the reply before it closes the connection",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
          SendBytes(Reply11("two", "Connection: close\r\n"))},
         false},
        {"closed after the reply before it",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), SendBytes(Reply11("two"))},
         false},
        {"the reply before it fails and closes",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
          SendBytes("HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 2\r\n\r\nno"),
          WaitForClose()},
         true},
        {"bytes after the reply before it that the window cannot hold",
         {ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), ReadRequest(),
          SendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nBB8\r\n" +
                    std::string(3000, 't') + "\r\n0\r\n\r\n" + Reply11(std::string(5000, 'x'))),
          WaitForClose()},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFixtureServer server;
        server.AddScript(c.first);
        server.AddScript({ReadRequest(), SendBytes(Reply11("three"))});
        m_socket.Close();
        m_socket.ResetWindow();
        m_bodies.clear();
        ASSERT_FALSE(Fetch(server, "/1").threw);
        const Outcome second = Fetch(server, "/2", "/3");
        EXPECT_EQ(second.threw, c.secondFails) << second.operation;
        const Outcome third = Fetch(server, "/3");
        ASSERT_FALSE(third.threw) << third.operation << " " << third.code;
        EXPECT_EQ(m_bodies[2].bytes, "three");
        EXPECT_EQ(server.ConnectionCount(), 2);
    }
}

TEST_F(HttpPipelineTest, ARequestSentAheadBehindAMissingPageIsAnsweredInItsTurn) {
    CFixtureServer server;
    server.AddScript({ReadRequest(), SendBytes(Reply11("one")), ReadRequest(), ReadRequest(),
                      SendBytes("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno" +
                                Reply11("three"))});
    ASSERT_FALSE(Fetch(server, "/1").threw);
    const Outcome second = Fetch(server, "/2", "/3");
    EXPECT_EQ(second.code, 404);
    const Outcome third = Fetch(server, "/3");
    ASSERT_FALSE(third.threw) << third.operation;
    EXPECT_EQ(m_bodies[2].bytes, "three");
    EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST_F(HttpPipelineTest, AServerThatDropsRequestsSentAheadIsAskedAgainAndNoMore) {
    CFixtureServer server;
    // It takes /2 and /3 and answers only /2, then waits for ever.
    server.AddScript({ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
                      SendBytes(Reply11("two")), WaitForClose()});
    server.AddScript({ReadRequest(), SendBytes(Reply11("three")), ReadRequest(),
                      SendBytes(Reply11("four"))});
    ASSERT_FALSE(Fetch(server, "/1").threw);
    ASSERT_FALSE(Fetch(server, "/2", "/3").threw);
    const Outcome third = Fetch(server, "/3", "/4");
    ASSERT_FALSE(third.threw) << third.operation << " " << third.code;
    EXPECT_EQ(m_bodies[2].bytes, "three");
    EXPECT_EQ(server.ConnectionCount(), 2);
    // The place is no longer asked for requests to send ahead.
    const std::size_t asked = m_link.places.size();
    const Outcome fourth = Fetch(server, "/4", "/5");
    ASSERT_FALSE(fourth.threw) << fourth.operation;
    EXPECT_EQ(m_bodies[3].bytes, "four");
    EXPECT_EQ(m_link.places.size(), asked);
    EXPECT_EQ(server.RequestCount("/5"), 0);
}

TEST_F(HttpPipelineTest, ARequestThatChangedSinceItWentAheadGoesAgainOnANewConnection) {
    CFixtureServer server;
    server.AddScript({ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
                      SendBytes(Reply11("two")), WaitForClose()});
    server.AddScript({ReadRequest(), SendBytes(Reply11("three"))});
    m_options.cookie = true;
    ASSERT_FALSE(Fetch(server, "/1").threw);
    m_cookies.line = "Cookie: a=1\r\n";
    ASSERT_FALSE(Fetch(server, "/2", "/3").threw);
    // The reply to /2 brought a cookie: /3 must be asked with it, not as it went ahead.
    m_cookies.line = "Cookie: a=2\r\n";
    const Outcome third = Fetch(server, "/3");
    ASSERT_FALSE(third.threw) << third.operation;
    EXPECT_EQ(m_bodies[2].bytes, "three");
    EXPECT_EQ(server.ConnectionCount(), 2);
    EXPECT_NE(server.LastRequest().find("Cookie: a=2"), std::string::npos);
}

TEST_F(HttpPipelineTest, OnlyRequestsThatMayBeRepeatedGoAhead) {
    CHttpStartAddress post;
    post.host = "h";
    post.requestMethod = "POST";
    CFixtureServer server;
    server.AddScript({ReadRequest(), SendBytes(Reply11("one")), ReadRequest(),
                      SendBytes(Reply11("two")), ReadRequest(), SendBytes(Reply11("three"))});
    ASSERT_FALSE(Fetch(server, "/1").threw);
    m_link.next.push_back(RequestFor("http://h/3", "", m_spare));
    m_link.next.back().start = &post;   // no referrer: asked with the start address's POST
    const std::int64_t ahead = CHttpTransaction::ProcessRequestsSentAhead();
    ASSERT_FALSE(Fetch(server, "/2").threw);
    EXPECT_EQ(CHttpTransaction::ProcessRequestsSentAhead(), ahead);
    EXPECT_EQ(m_link.places.size(), 1U);
}

} // namespace
} // namespace torvex::test
