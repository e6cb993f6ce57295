#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "HttpTestKit.h"
#include "net/CMyExSocksSocket.h"
#include "support/CFixtureServer.h"

namespace torvex::test {
namespace {

using namespace std::string_literals;

// What one SocksConnect ended with: "none", or the failing class, operation and code.
std::string SocksOutcome(CMyExSocksSocket& socket, const std::string& host, int port,
                         SocketWait timeOut = kAnswerWait) {
    try {
        socket.CreateNonBlocking();
        socket.SocksConnect(host, port, timeOut);
    } catch (CMyException* raw) {
        const std::unique_ptr<CMyException> failure(raw);
        return failure->ClassName() + " " + failure->Operation() + " " +
               std::to_string(failure->Code());
    }
    return "none";
}

void ConfigureProxy(CMyExSocksSocket& socket, const CFixtureServer& proxy, bool withUser) {
    socket.ConfigureSocks(static_cast<int>(SocksMode::Socks5), Loopback(proxy.Port()), withUser,
                          withUser ? "bob" : "", withUser ? "s3cret" : "");
}

TEST(SocksConnect, ExchangesTheExactBytesWithoutCredentialsAndTunnels) {
    CFixtureServer proxy;
    proxy.AddScript({ReadBytes(3), SendBytes("\x05\x00"s), ReadBytes(16),
                     SendBytes("\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38" "220 hello"s),
                     ReadBytes(4)});
    CMyExSocksSocket socket;
    ConfigureProxy(socket, proxy, false);
    ASSERT_EQ(SocksOutcome(socket, "localhost", 80), "none");
    // The tunnel begins right after the bound address: the target's first bytes are whole.
    char buffer[32] = {};
    ASSERT_EQ(socket.ReceiveAll(buffer, 9, kAnswerWait), 9);
    EXPECT_EQ(std::string(buffer, 9), "220 hello");
    socket.SendAll("USER", 4, kAnswerWait);
    socket.Close();
    ASSERT_TRUE(proxy.WaitForFinished(1, std::chrono::seconds(30)));
    EXPECT_EQ(proxy.Requests()[0], "\x05\x01\x00"
                                   "\x05\x01\x00\x03\x09localhost\x00\x50"
                                   "USER"s);
}

TEST(SocksConnect, SendsCredentialsAndNamesADottedTargetByItsAddress) {
    CFixtureServer proxy;
    // The proxy answers with a bound address given as a name, whose length byte says how much
    // follows.
    proxy.AddScript({ReadBytes(3), SendBytes("\x05\x02"s), ReadBytes(12), SendBytes("\x01\x00"s),
                     ReadBytes(10), SendBytes("\x05\x00\x00\x03\x05proxy\x1f\x90!"s)});
    CMyExSocksSocket socket;
    ConfigureProxy(socket, proxy, true);
    ASSERT_EQ(SocksOutcome(socket, "10.0.0.1", 8080), "none");
    char byte = 0;
    ASSERT_EQ(socket.ReceiveAll(&byte, 1, kAnswerWait), 1);
    EXPECT_EQ(byte, '!');
    socket.Close();
    ASSERT_TRUE(proxy.WaitForFinished(1, std::chrono::seconds(30)));
    EXPECT_EQ(proxy.Requests()[0], "\x05\x01\x02"
                                   "\x01\x03" "bob" "\x06" "s3cret"
                                   "\x05\x01\x00\x01\x0a\x00\x00\x01\x1f\x90"s);
}

TEST(SocksConnect, ReportsEachRefusalWithItsOperationAndCode) {
    struct Case {
        const char* what;
        bool withUser;
        FixtureScript script;
        std::string expected;
    };
    const Case cases[] = {
        {"password chosen though none was offered", false,
         {ReadBytes(3), SendBytes("\x05\x02"s)}, "CMyExSocksSocket Socks5Authenticate 202"},
        {"no acceptable method", true, {ReadBytes(3), SendBytes("\x05\xff"s)},
         "CMyExSocksSocket Socks5Authenticate 203"},
        {"a method that was not offered", false, {ReadBytes(3), SendBytes("\x05\x01"s)},
         "CMyExSocksSocket Socks5Authenticate 204"},
        {"not a SOCKS5 proxy", false, {ReadBytes(3), SendBytes("\x04\x00"s)},
         "CMyExSocksSocket Socks5Authenticate 201"},
        {"wrong password", true,
         {ReadBytes(3), SendBytes("\x05\x02"s), ReadBytes(12), SendBytes("\x01\x01"s)},
         "CMyExSocksSocket Socks5Authenticate 205"},
        {"connection refused by the target", false,
         {ReadBytes(3), SendBytes("\x05\x00"s), ReadBytes(10),
          SendBytes("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00"s)},
         "CMyExSocksSocket Connect 5"},
        {"bound address of an unknown type", false,
         {ReadBytes(3), SendBytes("\x05\x00"s), ReadBytes(10), SendBytes("\x05\x00\x00\x09\x00"s)},
         "CMyExSocksSocket Connect 103"},
        {"proxy closes in the middle of its reply", false,
         {ReadBytes(3), SendBytes("\x05\x00"s), ReadBytes(10), SendBytes("\x05\x00\x00"s)},
         "CMyExSocket ReceiveAll -1"},
        {"proxy never answers the greeting", false, {ReadBytes(3), Pause(std::chrono::seconds(4))},
         "CMyExSocket ReceiveAll -2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CFixtureServer proxy;
        proxy.AddScript(c.script);
        CMyExSocksSocket socket;
        ConfigureProxy(socket, proxy, c.withUser);
        // Only the proxy that never answers is waited for to the end of its time-out.
        const bool stall = c.expected.ends_with(" -2");
        EXPECT_EQ(SocksOutcome(socket, "127.0.0.1", 80, stall ? kStallWait : kAnswerWait),
                  c.expected);
        socket.Close();
    }
}

TEST(SocksConnect, RefusesUnusableSettingsBeforeAnyByteIsSent) {
    CFixtureServer proxy;
    {
        SCOPED_TRACE("unknown mode");
        CMyExSocksSocket socket;
        socket.ConfigureSocks(4, Loopback(proxy.Port()), false, "", "");
        EXPECT_EQ(SocksOutcome(socket, "127.0.0.1", 80), "CMyExSocksSocket Connect 101");
    }
    {
        SCOPED_TRACE("closed proxy port");
        int closedPort = 0;
        {
            CFixtureServer gone;
            closedPort = gone.Port();
        }
        CMyExSocksSocket socket;
        socket.ConfigureSocks(static_cast<int>(SocksMode::Socks5), Loopback(closedPort), false,
                              "", "");
        EXPECT_EQ(SocksOutcome(socket, "127.0.0.1", 80), "CMyExSocksSocket Connect -1");
    }
    {
        SCOPED_TRACE("host name too long for the request");
        proxy.AddScript({ReadBytes(3), SendBytes("\x05\x00"s), WaitForClose()});
        CMyExSocksSocket socket;
        ConfigureProxy(socket, proxy, false);
        EXPECT_EQ(SocksOutcome(socket, std::string(256, 'h'), 80), "CMyExSocksSocket Connect 102");
    }
}

} // namespace
} // namespace torvex::test
