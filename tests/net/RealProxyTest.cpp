#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "HttpTestKit.h"
#include "support/CLoopbackDaemon.h"
#include "support/LoopbackSite.h"

namespace torvex::test {
namespace {

// HTTP transactions through real proxies from Debian, run on loopback, to a fixture web site.
class RealProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_site.Serve("/a.txt", HttpReply("200 OK", "text/plain", "through the proxy"));
        m_options = DirectOptions();
    }

    Outcome Fetch(const std::string& url, const SocketAddress& address) {
        m_body = CMemoryBody();
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        return RunTransaction(transaction, RequestFor(url, "http://127.0.0.1/", m_body), m_socket,
                              address);
    }
    std::string Stored() const { return m_body.bytes; }
    void UseSocks(const CLoopbackDaemon& proxy, const std::string& user,
                  const std::string& password) {
        m_options.proxyMode = ProxyMode::Socks5;
        m_socket.ConfigureSocks(static_cast<int>(SocksMode::Socks5), Loopback(proxy.Port()),
                                !user.empty(), user, password);
    }

    CLoopbackSite m_site;
    CHttpOptions m_options;
    RecordingLink m_link;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
    CMemoryBody m_body;
};

TEST_F(RealProxyTest, DantedTunnelsToTargetsNamedByAddressAndByName) {
    const auto proxy = StartDanted();
    if (!proxy->Started()) {
        GTEST_SKIP() << "danted cannot run here: " << proxy->Reason();
    }
    UseSocks(*proxy, "", "");
    const std::string port = std::to_string(m_site.Port());
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        const Outcome outcome = Fetch("http://" + host + ":" + port + "/a.txt", SocketAddress{});
        ASSERT_FALSE(outcome.threw) << outcome.className << " " << outcome.operation << " "
                                    << outcome.code;
        EXPECT_EQ(Stored(), "through the proxy");
    }
    EXPECT_EQ(m_site.Count("/a.txt"), 2);
}

TEST_F(RealProxyTest, MicrosocksChecksTheUserNameAndPassword) {
    const auto proxy = StartMicrosocks("bob", "s3cret");
    if (!proxy->Started()) {
        GTEST_SKIP() << "microsocks cannot run here: " << proxy->Reason();
    }
    const std::string url = m_site.Url("/a.txt");
    UseSocks(*proxy, "bob", "s3cret");
    const Outcome good = Fetch(url, SocketAddress{});
    ASSERT_FALSE(good.threw) << good.operation << " " << good.code;
    EXPECT_EQ(Stored(), "through the proxy");

    UseSocks(*proxy, "bob", "wrong");
    const Outcome refused = Fetch(url, SocketAddress{});
    EXPECT_EQ(refused.operation + " " + std::to_string(refused.code), "Socks5Authenticate 205");

    UseSocks(*proxy, "", "");
    const Outcome unasked = Fetch(url, SocketAddress{});
    EXPECT_EQ(unasked.operation + " " + std::to_string(unasked.code), "Socks5Authenticate 203");
    EXPECT_EQ(m_site.Count("/a.txt"), 1);
}

TEST_F(RealProxyTest, TinyproxyForwardsTheAbsoluteRequest) {
    const auto proxy = StartTinyproxy();
    if (!proxy->Started()) {
        GTEST_SKIP() << "tinyproxy cannot run here: " << proxy->Reason();
    }
    m_options.proxyMode = ProxyMode::Http;
    const Outcome outcome = Fetch(m_site.Url("/a.txt"), Loopback(proxy->Port()));
    ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(Stored(), "through the proxy");
    ASSERT_EQ(m_site.Count("/a.txt"), 1);
    // The proxy was asked for the absolute address and asked the site for the path.
    EXPECT_EQ(m_site.RequestsFor("/a.txt")[0].rfind("GET /a.txt HTTP/1.", 0), 0u);
}

TEST_F(RealProxyTest, KeptConnectionsThroughEachProxyFetchFileAfterFile) {
    m_site.Serve("/b.txt", HttpReply("200 OK", "text/plain", "and the next one"));
    m_options.keepAlive = true;
    const auto http = StartTinyproxy();
    const auto socks = StartMicrosocks("bob", "s3cret");
    if (!http->Started() || !socks->Started()) {
        GTEST_SKIP() << "a proxy cannot run here: " << http->Reason() << socks->Reason();
    }
    for (const bool viaSocks : {false, true}) {
        SCOPED_TRACE(viaSocks ? "SOCKS5" : "HTTP proxy");
        m_socket.Close();
        SocketAddress address = Loopback(http->Port());
        if (viaSocks) {
            UseSocks(*socks, "bob", "s3cret");
        } else {
            m_options.proxyMode = ProxyMode::Http;
        }
        for (const char* file : {"/a.txt", "/b.txt", "/a.txt"}) {
            SCOPED_TRACE(file);
            const Outcome outcome = Fetch(m_site.Url(file), address);
            ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
            EXPECT_EQ(Stored(), file == std::string("/a.txt") ? "through the proxy"
                                                               : "and the next one");
        }
    }
}

} // namespace
} // namespace torvex::test
