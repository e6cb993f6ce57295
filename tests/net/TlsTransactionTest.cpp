#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "HttpTestKit.h"
#include "net/CTlsChannel.h"
#include "net/CTlsContext.h"
#include "net/HttpConnect.h"
#include "platform/FileSystem.h"
#include "support/CLoopbackDaemon.h"
#include "support/CNginxServer.h"
#include "support/CTlsFixtureServer.h"
#include "support/TestCertificates.h"

namespace torvex::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

constexpr const char* kBody = "over a secure connection";

// One nginx for the suite, with an https listener per test certificate: signed by the test
// authority for localhost and 127.0.0.1, for another host, expired, and signing itself.
class TlsNginxTest : public ::testing::Test {
protected:
    enum Listener : std::size_t { Good = 0, WrongHost = 1, Expired = 2, SelfSigned = 3 };

    static void SetUpTestSuite() {
        s_certificates = new CTestCertificates;
        s_site = new TempDir;
        WriteFileBytes(s_site->Path() / "a.txt", kBody);
        if (s_certificates->Ready()) {
            s_nginx = new CNginxServer(
                s_site->Str(), {s_certificates->Good(), s_certificates->WrongHost(),
                                s_certificates->Expired(), s_certificates->SelfSigned()});
        }
    }
    static void TearDownTestSuite() {
        delete s_nginx;
        delete s_site;
        delete s_certificates;
        s_nginx = nullptr;
        s_site = nullptr;
        s_certificates = nullptr;
    }
    void SetUp() override {
        if (!s_certificates->Ready()) {
            GTEST_SKIP() << s_certificates->Reason();
        }
        if (!s_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << s_nginx->Reason();
        }
        m_options = DirectOptions(std::chrono::seconds(5));
    }

    static std::string Url(Listener listener, const std::string& host = "localhost") {
        return "https://" + host + ":" + std::to_string(s_nginx->TlsPort(listener)) + "/a.txt";
    }
    static CTlsSettings Trusting() {
        CTlsSettings settings;
        settings.caFiles = {s_certificates->CaFile()};
        return settings;
    }
    Outcome Fetch(CTlsContext& tls, const std::string& url, const SocketAddress& address) {
        m_body = CMemoryBody();
        m_options.tls = &tls;
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        return RunTransaction(transaction, RequestFor(url, "", m_body), m_socket, address);
    }
    Outcome Fetch(CTlsContext& tls, Listener listener, const std::string& host = "localhost") {
        return Fetch(tls, Url(listener, host), Loopback(s_nginx->TlsPort(listener)));
    }

    static CTestCertificates* s_certificates;
    static TempDir* s_site;
    static CNginxServer* s_nginx;
    CHttpOptions m_options;
    RecordingLink m_link;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
    CMemoryBody m_body;
};

CTestCertificates* TlsNginxTest::s_certificates = nullptr;
TempDir* TlsNginxTest::s_site = nullptr;
CNginxServer* TlsNginxTest::s_nginx = nullptr;

TEST_F(TlsNginxTest, FetchesByNameAndByAddressWithTheTestAuthorityTrusted) {
    CTlsContext tls(Trusting());
    for (const std::string host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        const Outcome outcome = Fetch(tls, Good, host);
        ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code << " "
                                    << outcome.detail;
        EXPECT_EQ(outcome.result.outcome, TransferOutcome::Stored);
        EXPECT_EQ(m_body.bytes, kBody);
    }
    // The request inside TLS is the plain one: the default port is not named.
    EXPECT_NE(s_nginx->AccessLog().find("\"GET /a.txt HTTP/1.0\" 200"), std::string::npos);
}

TEST_F(TlsNginxTest, RefusedCertificatesFailTheHandshakeWithTheirReason) {
    struct Case {
        const char* name;
        Listener listener;
        bool trustTestAuthority;
        const char* reason;
    } const cases[] = {
        {"untrusted authority", Good, false, "unable to get local issuer certificate"},
        {"signs itself", SelfSigned, true, "self-signed certificate"},
        {"expired", Expired, true, "certificate has expired"},
        {"other host name", WrongHost, true, "hostname mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTlsContext tls(c.trustTestAuthority ? Trusting() : CTlsSettings{});
        const Outcome outcome = Fetch(tls, c.listener);
        EXPECT_EQ(outcome.operation, "TlsHandshake");
        EXPECT_EQ(outcome.code, TlsCode::Certificate);
        EXPECT_NE(outcome.detail.find(c.reason), std::string::npos) << outcome.detail;
        EXPECT_EQ(m_body.opens, 0);   // nothing stored
    }
}

TEST_F(TlsNginxTest, AnUnreadableCaFileIsNamedInTheReason) {
    CTlsSettings settings;
    settings.caFiles = {s_site->Str() + "/missing.pem"};
    CTlsContext tls(settings);
    const Outcome outcome = Fetch(tls, Good);
    EXPECT_EQ(outcome.code, TlsCode::Certificate);
    EXPECT_NE(outcome.detail.find("missing.pem\" could not be read"), std::string::npos)
        << outcome.detail;
}

TEST_F(TlsNginxTest, WithoutVerificationEveryCertificateIsAccepted) {
    CTlsSettings settings;
    settings.verify = false;
    CTlsContext tls(settings);
    for (const Listener listener : {Good, WrongHost, Expired, SelfSigned}) {
        SCOPED_TRACE(listener);
        const Outcome outcome = Fetch(tls, listener);
        ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.detail;
        EXPECT_EQ(m_body.bytes, kBody);
    }
}

TEST_F(TlsNginxTest, LaterConnectionsToAHostResumeItsSession) {
    CTlsContext tls(Trusting());
    for (int i = 0; i < 3; ++i) {
        const Outcome outcome = Fetch(tls, Good);
        ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.detail;
    }
    EXPECT_EQ(tls.FullHandshakes(), 1);
    EXPECT_EQ(tls.ResumedHandshakes(), 2);
    // Another host name is another session.
    ASSERT_FALSE(Fetch(tls, Good, "127.0.0.1").threw);
    EXPECT_EQ(tls.FullHandshakes(), 2);
}

TEST_F(TlsNginxTest, TunnelsThroughTinyproxyWithAndWithoutCredentials) {
    struct Case {
        const char* name;
        const char* proxyUser;   // what the proxy asks for
        const char* user;        // what the run sends
        const char* password;
        const char* failure;     // empty: stored
    } const cases[] = {
        {"open proxy", "", "", "", ""},
        {"right password", "bob", "bob", "s3cret", ""},
        // tinyproxy answers a CONNECT with bad credentials 401 where a request would get 407.
        {"wrong password", "bob", "bob", "wrong", "ProxyTunnel 401"},
    };
    CTlsContext tls(Trusting());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto proxy = StartTinyproxy(c.proxyUser, c.proxyUser[0] != 0 ? "s3cret" : "");
        if (!proxy->Started()) {
            GTEST_SKIP() << "tinyproxy cannot run here: " << proxy->Reason();
        }
        m_options.proxyMode = ProxyMode::Http;
        m_options.proxyUser = c.user;
        m_options.proxyPassword = c.password;
        const Outcome outcome = Fetch(tls, Url(Good), Loopback(proxy->Port()));
        if (c.failure[0] == 0) {
            ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
            EXPECT_EQ(m_body.bytes, kBody);
        } else {
            EXPECT_EQ(outcome.operation + " " + std::to_string(outcome.code), c.failure);
            EXPECT_EQ(m_body.opens, 0);
        }
    }
}

TEST_F(TlsNginxTest, AProxyThatRefusesTheTunnelFailsTheTry) {
    // This tinyproxy opens tunnels to port 443 only.
    const auto proxy = StartTinyproxy("", "", {443});
    if (!proxy->Started()) {
        GTEST_SKIP() << "tinyproxy cannot run here: " << proxy->Reason();
    }
    CTlsContext tls(Trusting());
    m_options.proxyMode = ProxyMode::Http;
    const Outcome outcome = Fetch(tls, Url(Good), Loopback(proxy->Port()));
    EXPECT_EQ(outcome.operation, "ProxyTunnel");
    EXPECT_EQ(outcome.code, 403);
    EXPECT_EQ(m_body.opens, 0);
}

TEST_F(TlsNginxTest, RunsOverSocks5ProxiesWithTheServerCheckedAsDirectly) {
    CTlsContext tls(Trusting());
    for (const bool withPassword : {false, true}) {
        SCOPED_TRACE(withPassword ? "microsocks" : "danted");
        const auto proxy = withPassword ? StartMicrosocks("bob", "s3cret") : StartDanted();
        if (!proxy->Started()) {
            GTEST_SKIP() << "the SOCKS5 proxy cannot run here: " << proxy->Reason();
        }
        m_options.proxyMode = ProxyMode::Socks5;
        m_socket.ConfigureSocks(static_cast<int>(SocksMode::Socks5), Loopback(proxy->Port()),
                                withPassword, withPassword ? "bob" : "",
                                withPassword ? "s3cret" : "");
        const Outcome good = Fetch(tls, Url(Good), SocketAddress{});
        ASSERT_FALSE(good.threw) << good.operation << " " << good.code << " " << good.detail;
        EXPECT_EQ(m_body.bytes, kBody);
        const Outcome wrongHost = Fetch(tls, Url(WrongHost), SocketAddress{});
        EXPECT_EQ(wrongHost.operation + " " + std::to_string(wrongHost.code), "TlsHandshake 2");
    }
}

// A proxy played by the fixture server: what the CONNECT request holds, and an answer that is
// not a tunnel.
TEST(TlsProxyRequest, ConnectNamesTheTargetAndCarriesTheProxyCredentials) {
    CFixtureServer proxy;
    proxy.AddScript({ReadRequest(), SendBytes("HTTP/1.0 502 Bad Gateway\r\n\r\n")});
    CHttpOptions options = DirectOptions(std::chrono::seconds(5));
    options.proxyMode = ProxyMode::Http;
    options.proxyUser = "ann";
    options.proxyPassword = "pw";
    CTlsContext tls(CTlsSettings{});
    options.tls = &tls;
    RecordingLink link;
    CNoCookies cookies;
    CMyExHttpSocket socket;
    CMemoryBody body;
    CHttpTransaction transaction(options, link, cookies);
    const Outcome outcome = RunTransaction(
        transaction, RequestFor("https://Example.org/x?y", "", body), socket,
        Loopback(proxy.Port()));
    EXPECT_EQ(outcome.operation + " " + std::to_string(outcome.code), "ProxyTunnel 502");
    EXPECT_EQ(proxy.LastRequest(), "CONNECT example.org:443 HTTP/1.0\r\n"
                                   "Host: example.org:443\r\n"
                                   "Proxy-Authorization: Basic YW5uOnB3\r\n\r\n");
}

TEST(TlsProxyRequest, TheRequestInsideTheTunnelIsTheServersOwn) {
    CHttpOptions options = DirectOptions(std::chrono::seconds(5));
    options.proxyMode = ProxyMode::Http;
    options.proxyUser = "ann";
    RecordingLink link;
    CNoCookies cookies;
    CHttpTransaction transaction(options, link, cookies);
    CMemoryBody body;
    const std::string https = transaction.BuildRequest(RequestFor("https://h/x", "", body));
    EXPECT_EQ(https.substr(0, https.find("\r\n")), "GET /x HTTP/1.0");
    EXPECT_NE(https.find("Host: h\r\n"), std::string::npos);
    EXPECT_EQ(https.find("Proxy-Authorization"), std::string::npos);
    const std::string other = transaction.BuildRequest(RequestFor("https://h:8443/x", "", body));
    EXPECT_NE(other.find("Host: h:8443\r\n"), std::string::npos);
    const std::string http = transaction.BuildRequest(RequestFor("http://h/x", "", body));
    EXPECT_EQ(http.substr(0, http.find("\r\n")), "GET http://h/x HTTP/1.0");
}

// Servers that break the handshake off in the ways a network or a wrong peer does.
class TlsBrokenPeerTest : public ::testing::Test {
protected:
    Outcome Fetch(std::chrono::seconds timeOut) {
        CHttpOptions options = DirectOptions(timeOut);
        options.tls = &m_tls;
        CHttpTransaction transaction(options, m_link, m_cookies);
        CMemoryBody body;
        const Outcome outcome =
            RunTransaction(transaction, RequestFor(Url(), "", body), m_socket,
                           Loopback(m_server.Port()));
        EXPECT_EQ(body.opens, 0);
        return outcome;
    }
    std::string Url() const { return "https://localhost:" + std::to_string(m_server.Port()) + "/"; }

    CFixtureServer m_server;
    CTlsContext m_tls{CTlsSettings{}};
    RecordingLink m_link;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
};

TEST_F(TlsBrokenPeerTest, EveryBrokenHandshakeFailsAsSuch) {
    struct Case {
        const char* name;
        FixtureScript script;
        int code;
    } const cases[] = {
        {"closed after the hello", {ReadBytes(5)}, TlsCode::Failed},
        {"reset after the hello", {ReadBytes(5), ResetConnection()}, TlsCode::Failed},
        {"garbage after the hello", {ReadBytes(5), SendBytes(std::string(64, '\x7f'))},
         TlsCode::Failed},
        {"a plain HTTP answer", {ReadBytes(5), SendBytes("HTTP/1.0 400 Bad Request\r\n\r\n")},
         TlsCode::Failed},
        {"a record cut short", {ReadBytes(5), SendBytes(std::string("\x16\x03\x03\x40\x00", 5))},
         TlsCode::Failed},
        {"silence", {ReadBytes(5), WaitForClose()}, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.AddScript(c.script);
        const Outcome outcome = Fetch(seconds(1));
        EXPECT_EQ(outcome.operation, "TlsHandshake");
        EXPECT_EQ(outcome.code, c.code) << outcome.detail;
        EXPECT_FALSE(outcome.detail.empty());
    }
}

TEST_F(TlsBrokenPeerTest, RandomPeersNeverCrashAndEveryTryEndsInItsTimeOut) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        std::string reply;
        if (random() % 2 == 0) {
            // Something that starts like a handshake record.
            reply = std::string("\x16\x03", 2) + static_cast<char>(random() % 4) +
                    static_cast<char>(random() % 0x41) + static_cast<char>(random());
        }
        const std::size_t extra = random() % 300;
        for (std::size_t i = 0; i < extra; ++i) {
            reply += static_cast<char>(random());
        }
        FixtureScript script{ReadBytes(random() % 64 + 1), SendBytes(reply)};
        switch (random() % 4) {
        case 0: script.push_back(ResetConnection()); break;
        case 1: script.push_back(WaitForClose()); break;   // the try's time-out ends it
        default: break;                                     // closes
        }
        m_server.AddScript(script);
        const auto start = steady_clock::now();
        const Outcome outcome = Fetch(seconds(1));
        EXPECT_TRUE(outcome.threw);
        EXPECT_TRUE(outcome.socketFailure);
        // One wait of the time-out per step; a peer that stalls costs one of them.
        EXPECT_LT(steady_clock::now() - start, seconds(10));
    }
}

TEST_F(TlsBrokenPeerTest, AStopBreaksAStalledHandshakeOffAtOnce) {
    m_server.AddScript({ReadBytes(5), WaitForClose()});
    std::thread stopper([this] {
        // Once the server holds the client's hello, the handshake waits for its answer.
        const auto limit = steady_clock::now() + seconds(30);
        while (steady_clock::now() < limit &&
               (m_server.Requests().empty() || m_server.Requests()[0].size() < 5)) {
            std::this_thread::sleep_for(milliseconds(5));
        }
        m_link.stop = true;
        m_socket.Interrupt();
    });
    const auto start = steady_clock::now();
    const Outcome outcome = Fetch(seconds(120));
    stopper.join();
    EXPECT_LT(steady_clock::now() - start, seconds(20));   // far from the 120 s time-out
    EXPECT_EQ(outcome.operation, "TlsHandshake");
}

// Endings of a body over TLS that only a scripted TLS server plays.
class TlsBodyEnding : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_certificates.Ready()) {
            GTEST_SKIP() << m_certificates.Reason();
        }
        m_server = std::make_unique<CTlsFixtureServer>(m_certificates.Good());
        ASSERT_TRUE(m_server->Started());
        CTlsSettings settings;
        settings.caFiles = {m_certificates.CaFile()};
        m_tls = std::make_unique<CTlsContext>(settings);
    }

    // One request to the server, its reply read with `timeOut`; the body lands in `body`.
    Outcome Fetch(SocketWait timeOut, CMemoryBody &body) {
        CHttpOptions options = DirectOptions(timeOut);
        options.tls = m_tls.get();
        RecordingLink link;
        CNoCookies cookies;
        CMyExHttpSocket socket;
        CHttpTransaction transaction(options, link, cookies);
        return RunTransaction(
            transaction,
            RequestFor("https://localhost:" + std::to_string(m_server->Port()) + "/", "", body),
            socket, Loopback(m_server->Port()));
    }

    CTestCertificates m_certificates;
    std::unique_ptr<CTlsFixtureServer> m_server;
    std::unique_ptr<CTlsContext> m_tls;
};

TEST_F(TlsBodyEnding, ACutWithoutCloseNoticeIsNeverAWholeBody) {
    struct Case {
        const char* name;
        const char* reply;
        bool closeNotify;
        const char* failure;   // empty: stored
        const char* stored;
    } const cases[] = {
        {"length, all of it, notice", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", true, "",
         "abc"},
        {"no length, notice", "HTTP/1.0 200 OK\r\n\r\nabc", true, "", "abc"},
        {"no length, cut", "HTTP/1.0 200 OK\r\n\r\nabc", false, "Receive -1", ""},
        {"length, short, cut", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", false,
         "Receive -1", ""},
        {"length, short, notice", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", true,
         "Http Receive 0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server->AddReply(c.reply, c.closeNotify);
        CMemoryBody body;
        const Outcome outcome = Fetch(std::chrono::seconds(5), body);
        if (c.failure[0] == 0) {
            ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
            EXPECT_EQ(body.bytes, c.stored);
            EXPECT_TRUE(body.closed);
        } else {
            EXPECT_EQ(outcome.operation + " " + std::to_string(outcome.code), c.failure);
            EXPECT_FALSE(body.closed);
        }
    }
}

// A kept https connection that the server ended after its reply (with a close notice, or by
// cutting it) is found closed by the next request, which goes again over a new connection.
TEST_F(TlsBodyEnding, AKeptConnectionTheServerEndedIsReplacedUnseen) {
    for (const bool notice : {true, false}) {
        SCOPED_TRACE(notice ? "close notice" : "cut");
        m_server->AddReply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none", notice);
        m_server->AddReply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", true);
        CHttpOptions options = DirectOptions(std::chrono::seconds(5));
        options.tls = m_tls.get();
        options.keepAlive = true;
        RecordingLink link;
        CNoCookies cookies;
        CMyExHttpSocket socket;
        CHttpTransaction transaction(options, link, cookies);
        const std::string url = "https://localhost:" + std::to_string(m_server->Port()) + "/";
        CMemoryBody body;
        const SocketAddress address = Loopback(m_server->Port());
        const Outcome first = RunTransaction(transaction, RequestFor(url, "", body), socket, address);
        ASSERT_FALSE(first.threw) << first.operation << " " << first.code;
        EXPECT_TRUE(socket.IsOpen());
        const Outcome second =
            RunTransaction(transaction, RequestFor(url + "2", "", body), socket, address);
        ASSERT_FALSE(second.threw) << second.operation << " " << second.code;
        EXPECT_EQ(body.bytes, "onetwo");
    }
}

// A record whose bytes trickle in never completes: the wait for it is the reply's time-out in
// all, not one time-out per byte (the reader would wait 20 s here, then fail the record).
TEST_F(TlsBodyEnding, ARecordTricklingInTimesOutWithinTheTimeOut) {
    for (const char* head : {"", "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nabc"}) {
        SCOPED_TRACE(*head == 0 ? "in the header" : "in the body");
        m_server->AddTricklingReply(head);
        CMemoryBody body;
        const Outcome outcome = Fetch(std::chrono::milliseconds(500), body);
        EXPECT_TRUE(outcome.threw);
        EXPECT_EQ(outcome.code, -2) << outcome.operation;
        EXPECT_FALSE(body.closed);
    }
}

TEST(TlsWithoutContext, AnHttpsRequestWithoutTlsIsRefusedNotSentPlain) {
    CFixtureServer server;
    server.AnswerAll("HTTP/1.0 200 OK\r\n\r\nplain");
    CHttpOptions options = DirectOptions(std::chrono::seconds(2));
    RecordingLink link;
    CNoCookies cookies;
    CMyExHttpSocket socket;
    CMemoryBody body;
    CHttpTransaction transaction(options, link, cookies);
    const std::string url = "https://localhost:" + std::to_string(server.Port()) + "/";
    const Outcome outcome =
        RunTransaction(transaction, RequestFor(url, "", body), socket, Loopback(server.Port()));
    EXPECT_EQ(outcome.operation, "TlsHandshake");
    EXPECT_EQ(body.opens, 0);
}

} // namespace
} // namespace torvex::test
