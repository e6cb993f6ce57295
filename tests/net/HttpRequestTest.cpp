#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "HttpTestKit.h"
#include "net/Base64.h"

namespace torvex::test {
namespace {

constexpr const char* kGone = "HTTP/1.0 410 Gone\r\n\r\n";
constexpr const char* kDate = "Sat, 01 Jan 2000 00:00:00 GMT";

struct RequestCase {
    const char* name;
    const char* url;
    const char* referrer;
    std::function<void(CHttpOptions&, CHttpRequest&, ScriptedCookies&)> setUp;
    std::string expected;
};

// Each request goes to the fixture server (whatever host the address names) and is compared
// byte for byte with what the server received.
TEST(HttpRequest, SendsTheRequestLinesInTheirOrder) {
    const RequestCase cases[] = {
        {"linked page with cookie and user agent", "http://h/dir/a.html", "http://h/dir/",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies& c) {
             o.cookie = true;
             c.line = "Cookie: sid=42\r\n";
         },
         "GET /dir/a.html HTTP/1.0\r\nReferer: http://h/dir/\r\nHost: h\r\nCookie: sid=42\r\n"
         "User-Agent: Torvex/0.9\r\nConnection: close\r\n\r\n"},
        {"cookie line only with the cookie flag", "http://h/a", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies& c) {
             o.userAgent.clear();
             c.line = "Cookie: sid=42\r\n";
         },
         "GET /a HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n"},
        {"port other than 80 with a query", "http://h:8080/a?b=1", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) { o.userAgent.clear(); },
         "GET /a?b=1 HTTP/1.0\r\nHost: h:8080\r\nConnection: close\r\n\r\n"},
        {"HTTP proxy, port other than 80", "http://h:8080/a?b=1", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.proxyMode = ProxyMode::Http;
             o.proxyUser = "pu";
             o.proxyPassword = "pp";
         },
         "GET http://h:8080/a?b=1 HTTP/1.0\r\nHost: h:8080\r\n"
         "Proxy-Authorization: Basic cHU6cHA=\r\nConnection: close\r\n\r\n"},
        {"HTTP proxy, port 80, no proxy credentials", "http://h/x.html", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.proxyMode = ProxyMode::Http;
         },
         "GET http://h/x.html HTTP/1.0\r\nHost: h\r\nProxy-Authorization: Basic Og==\r\n"
         "Connection: close\r\n\r\n"},
        {"HTTP proxy for an ftp address", "ftp://f/pub/x.zip", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.proxyMode = ProxyMode::Http;
         },
         "GET ftp://f:21/pub/x.zip HTTP/1.0\r\nHost: f:21\r\nProxy-Authorization: Basic Og==\r\n"
         "Connection: close\r\n\r\n"},
        {"POST start address", "http://h/path", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.startAddresses[0].requestMethod = "POST";
         },
         "POST /path HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n"},
        {"link found under a POST start address", "http://h/next", "http://h/path",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.startAddresses[0].requestMethod = "POST";
         },
         "GET /next HTTP/1.0\r\nReferer: http://h/path\r\nHost: h\r\nConnection: close\r\n\r\n"},
        {"credentials to the start address's server", "http://h/private/", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.startAddresses[0].userName = "ab";
         },
         "GET /private/ HTTP/1.0\r\nHost: h\r\nAuthorization: Basic YWI6\r\n"
         "Connection: close\r\n\r\n"},
        {"no credentials to another host", "http://other/x", "http://h/private/",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.startAddresses[0].userName = "ab";
             o.startAddresses[0].password = "secret";
         },
         "GET /x HTTP/1.0\r\nReferer: http://h/private/\r\nHost: other\r\n"
         "Connection: close\r\n\r\n"},
        {"no credentials to another port of the same host", "http://h:8080/x", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent.clear();
             o.startAddresses[0].userName = "ab";
         },
         "GET /x HTTP/1.0\r\nHost: h:8080\r\nConnection: close\r\n\r\n"},
        {"If-Modified-Since for a file stored before", "http://h/a.png", "http://h/",
         [](CHttpOptions& o, CHttpRequest& e, ScriptedCookies&) {
             o.userAgent.clear();
             e.ifModifiedSince = kDate;
         },
         std::string("GET /a.png HTTP/1.0\r\nReferer: http://h/\r\nHost: h\r\nIf-Modified-Since: ") +
             kDate + "\r\nConnection: close\r\n\r\n"},
        {"Range and If-Range for a partly stored file", "http://h/big.zip", "http://h/",
         [](CHttpOptions& o, CHttpRequest& e, ScriptedCookies&) {
             o.userAgent.clear();
             e.ifRange = kDate;
             e.resumeOffset = 5000;
         },
         std::string("GET /big.zip HTTP/1.0\r\nReferer: http://h/\r\nHost: h\r\n"
                     "Range: bytes=5000-\r\nIf-Range: ") +
             kDate + "\r\nConnection: close\r\n\r\n"},
        {"Range alone without a stored date", "http://h/big.zip", "http://h/",
         [](CHttpOptions& o, CHttpRequest& e, ScriptedCookies&) {
             o.userAgent.clear();
             e.resumeOffset = 5000;
         },
         "GET /big.zip HTTP/1.0\r\nReferer: http://h/\r\nHost: h\r\nRange: bytes=5000-\r\n"
         "Connection: close\r\n\r\n"},
        {"user agent mode 2", "http://h/", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent = UserAgentText(2, "");
         },
         "GET / HTTP/1.0\r\nHost: h\r\nUser-Agent: Mozilla/5.0 (compatible; MSIE5.0)\r\n"
         "Connection: close\r\n\r\n"},
        {"user agent mode 3", "http://h/", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent = UserAgentText(3, "");
         },
         "GET / HTTP/1.0\r\nHost: h\r\nUser-Agent: Mozilla/4.7\r\nConnection: close\r\n\r\n"},
        {"user agent mode 4", "http://h/", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent = UserAgentText(4, "MyBot/2 (+mail)");
         },
         "GET / HTTP/1.0\r\nHost: h\r\nUser-Agent: MyBot/2 (+mail)\r\nConnection: close\r\n\r\n"},
        {"user agent mode 0", "http://h/", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) {
             o.userAgent = UserAgentText(0, "x");
         },
         "GET / HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n"},
        {"space in the path is escaped", "http://h/a b.html", "",
         [](CHttpOptions& o, CHttpRequest&, ScriptedCookies&) { o.userAgent.clear(); },
         "GET /a%20b.html HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n"},
    };
    CFixtureServer server;
    server.AnswerAll(kGone);
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        CHttpOptions options = DirectOptions();
        options.startAddresses[0].host = "h";
        ScriptedCookies cookies;
        CMemoryBody body;
        CHttpRequest request = RequestFor(c.url, c.referrer, body);
        request.start = &options.startAddresses[0];
        ASSERT_TRUE(request.url.IsValid());
        c.setUp(options, request, cookies);
        RecordingLink link;
        CHttpTransaction transaction(options, link, cookies);
        CMyExHttpSocket socket;
        const int before = server.ConnectionCount();
        const Outcome outcome =
            RunTransaction(transaction, request, socket, Loopback(server.Port()));
        EXPECT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(outcome.result.outcome, TransferOutcome::NoBody);
        ASSERT_EQ(server.ConnectionCount(), before + 1);
        EXPECT_EQ(server.LastRequest(), c.expected);
    }
}

TEST(HttpRequest, RefusesTextsThatWouldAddLines) {
    const struct {
        const char* name;
        std::function<void(CHttpOptions&, CHttpRequest&)> setUp;
    } cases[] = {
        {"referrer with CR LF",
         [](CHttpOptions&, CHttpRequest& e) { e.referrer = "http://h/\r\nX-Evil: 1"; }},
        {"referrer with a bare LF",
         [](CHttpOptions&, CHttpRequest& e) { e.referrer = "http://h/\nA"; }},
        {"date with CR", [](CHttpOptions&, CHttpRequest& e) { e.ifModifiedSince = "Sat\rX: 1"; }},
        {"range date with CR, without a range",
         [](CHttpOptions&, CHttpRequest& e) { e.ifRange = "Sat\rX: 1"; }},
        {"user agent with a NUL", [](CHttpOptions& o, CHttpRequest&) {
             o.userAgent = std::string("a\0b", 3);
         }},
        {"user agent with DEL", [](CHttpOptions& o, CHttpRequest&) { o.userAgent = "a\x7f"; }},
        {"request over 4096 characters", [](CHttpOptions& o, CHttpRequest&) {
             o.userAgent = std::string(4100, 'u');
         }},
    };
    CFixtureServer server;
    server.AnswerAll(kGone);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CHttpOptions options = DirectOptions();
        CMemoryBody body;
        CHttpRequest request = RequestFor("http://h/a.html", "", body);
        c.setUp(options, request);
        RecordingLink link;
        CNoCookies cookies;
        CHttpTransaction transaction(options, link, cookies);
        CMyExHttpSocket socket;
        const Outcome outcome =
            RunTransaction(transaction, request, socket, Loopback(server.Port()));
        EXPECT_TRUE(outcome.threw);
        EXPECT_FALSE(outcome.socketFailure);
        EXPECT_EQ(outcome.operation, "BadRequest");
        EXPECT_FALSE(socket.IsOpen());
    }
    EXPECT_EQ(server.ConnectionCount(), 0);   // nothing was sent anywhere
}

TEST(HttpRequest, LeavesOutACookieLineThatWouldOverflowTheRequest) {
    CFixtureServer server;
    server.AnswerAll(kGone);
    CHttpOptions options = DirectOptions();
    options.cookie = true;
    options.userAgent.clear();
    ScriptedCookies cookies;
    cookies.line = "Cookie: " + std::string(4100, 'c') + "\r\n";
    CMemoryBody body;
    const CHttpRequest request = RequestFor("http://h/a", "", body);
    RecordingLink link;
    CHttpTransaction transaction(options, link, cookies);
    CMyExHttpSocket socket;
    RunTransaction(transaction, request, socket, Loopback(server.Port()));
    EXPECT_EQ(server.LastRequest(), "GET /a HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n");

    // A cookie value holding a line break is never sent either.
    cookies.line = "Cookie: a=1\r\nX-Evil: 2\r\n";
    RunTransaction(transaction, request, socket, Loopback(server.Port()));
    EXPECT_EQ(server.LastRequest(), "GET /a HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n");
}

} // namespace
} // namespace torvex::test
