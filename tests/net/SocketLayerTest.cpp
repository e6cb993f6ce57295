#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "support/CFixtureServer.h"
#include "HttpTestKit.h"
#include "net/CMyExHttpSocket.h"
#include "net/CMyException.h"

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

// Runs `body` and gives back the socket exception it threw (operation, code), or "none".
template <typename Body>
std::string SocketFailureOf(Body body) {
    try {
        body();
    } catch (CMySocketException* raw) {
        std::unique_ptr<CMySocketException> failure(raw);
        return failure->Operation() + " " + std::to_string(failure->Code());
    } catch (CMyException* raw) {
        std::unique_ptr<CMyException> failure(raw);
        return "general " + failure->Operation();
    }
    return "none";
}

void ConnectTo(CMyExHttpSocket& socket, int port) {
    socket.CreateNonBlocking();
    socket.Connect(Loopback(port));
}

TEST(SocketResolve, TakesDottedAndDecimalAddressesWithoutLookingThemUp) {
    const struct {
        const char* host;
        std::uint32_t address;
    } cases[] = {
        {"127.0.0.1", 0x7F000001u},
        {"10.1.2.3", 0x0A010203u},
        {"2130706433", 0x7F000001u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        SocketAddress out;
        ASSERT_EQ(ResolveAddress(c.host, 8080, out), 0);
        EXPECT_EQ(out.address, c.address);
        EXPECT_EQ(out.port, 8080);
    }
}

TEST(SocketResolve, OnlyWholeAddressesAreAddresses) {
    const struct {
        const char* host;
        bool dotted;
        bool decimal;
    } cases[] = {
        {"255.255.255.255", true, false},  {"0.0.0.0", true, false},
        {"1.2.3", false, false},           {"1.2.3.4.5", false, false},
        {"1.2.3.256", false, false},       {"1.2.3.4 ", false, false},
        {"127.1", false, false},           {"0x7f.0.0.1", false, false},
        {"3com-no-such-host.invalid", false, false},
        {"3", false, true},                {"4294967295", false, true},
        {"4294967296", false, false},      {"0", false, false},
        {"12345678901", false, false},     {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        std::uint32_t address = 0;
        EXPECT_EQ(ParseDottedAddress(c.host, address), c.dotted);
        EXPECT_EQ(ParseDecimalAddress(c.host, address), c.decimal);
    }
}

TEST(SocketResolve, ANameThatBeginsWithDigitsAndResolvesNowhereIsUnknown) {
    SocketAddress out{0x01020304u, 1};
    EXPECT_EQ(ResolveAddress("3com-no-such-host.invalid", 80, out), -1);
    EXPECT_EQ(out.address, 0x01020304u);
    EXPECT_EQ(SocketFailureOf([&] { GetHostByName("3com-no-such-host.invalid", 80, out); }),
              "GetHostByName -1");
}

TEST(SocketResolve, AsksTheResolverForNames) {
    SocketAddress out;
    ASSERT_EQ(ResolveAddress("localhost", 80, out), 0);
    EXPECT_EQ(out.address, 0x7F000001u);
}

TEST(SocketResolve, AbandonedLookupResolvesNothing) {
    std::atomic<bool> abort{true};
    SocketAddress out{0x01020304u, 1};
    EXPECT_EQ(ResolveAddress("localhost", 80, out, &abort), -1);
    EXPECT_EQ(out.address, 0x01020304u);
    EXPECT_EQ(SocketFailureOf([&] { GetHostByName("localhost", 80, out, &abort); }),
              "GetHostByName -1");
}

TEST(SocketConnect, RefusedPortFailsAtConnectOrFirstSend) {
    int port = 0;
    {
        CFixtureServer closed;   // a port that was just in use and is free now
        port = closed.Port();
    }
    CMyExHttpSocket socket;
    const std::string failure = SocketFailureOf([&] {
        ConnectTo(socket, port);
        socket.SendAll("x", 1, kAnswerWait);
    });
    EXPECT_TRUE(failure == "Connect -1" || failure == "SendAll -1") << failure;
    socket.Close();
}

TEST(SocketReceive, ClosedConnectionGivesZeroWithoutThrowing) {
    CFixtureServer server;
    server.AddScript({});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    char buffer[16];
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer, kAnswerWait), 0);
    socket.Close();
}

TEST(SocketReceive, ReceiveAllFailsWhenThePeerClosesEarly) {
    CFixtureServer server;
    server.AddScript({SendBytes("abc")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    char buffer[10];
    EXPECT_EQ(socket.ReceiveAllRaw(buffer, 10, kAnswerWait), -1);
    socket.Close();
}

TEST(SocketReceive, SilentPeerTimesOutWithMinusTwo) {
    CFixtureServer server;
    server.AddScript({WaitForClose()});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    char buffer[10];
    EXPECT_EQ(socket.ReceiveRaw(buffer, 10, kStallWait), -2);
    EXPECT_EQ(SocketFailureOf([&] { socket.Receive(buffer, 10, kStallWait); }), "Receive -2");
    socket.Close();
}

TEST(SocketReceive, CountsEveryReceivedByteProcessWide) {
    CFixtureServer server;
    server.AddScript({SendBytes(std::string(300, 'x'))});
    const std::int64_t before = CBlockingSocket::TotalReceivedBytes();
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    char buffer[300];
    socket.ReceiveAll(buffer, 300, kAnswerWait);
    EXPECT_GE(CBlockingSocket::TotalReceivedBytes() - before, 300);
    socket.Close();
}

TEST(HttpHeaderLine, ReadsAStatusLineAndHeadersLineByLine) {
    CFixtureServer server;
    server.AddScript({SendInPieces("HTTP/1.1 200 OK\r\nServer: x\r\n\r\nbody", 3, 5ms)});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::atomic<std::int64_t> workerBytes{0};
    CReceiveCounters counters{&workerBytes, nullptr, nullptr, 0};
    std::string line;
    ASSERT_EQ(socket.ReadHeaderLine(line, 1001, kAnswerWait, true, counters), 17);
    EXPECT_EQ(line, "HTTP/1.1 200 OK\r\n");
    socket.ReadHeaderLine(line, 1001, kAnswerWait, false, counters);
    EXPECT_EQ(line, "Server: x\r\n");
    socket.ReadHeaderLine(line, 1001, kAnswerWait, false, counters);
    EXPECT_EQ(line, "\r\n");
    EXPECT_GE(workerBytes.load(), 30);
    socket.Close();
}

TEST(HttpHeaderLine, ResponseWithoutStatusLineStaysInTheWindowAsBody) {
    CFixtureServer server;
    server.AddScript({SendBytes("<html>hello</html>\n")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::string line;
    EXPECT_EQ(socket.ReadHeaderLine(line, 1001, kAnswerWait, true, {}), -1);
    EXPECT_EQ(socket.WindowBytes(), "<html>hello</html>\n");
    socket.Close();
}

TEST(HttpHeaderLine, CutsALineToTheCapacityAndDropsItsRest) {
    CFixtureServer server;
    server.AddScript({SendBytes(std::string(78, 'a') + "\r\nnext\n")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::string line;
    EXPECT_EQ(socket.ReadHeaderLine(line, 50, kAnswerWait, false, {}), 49);
    EXPECT_EQ(line, std::string(49, 'a'));
    socket.ReadHeaderLine(line, 50, kAnswerWait, false, {});
    EXPECT_EQ(line, "next\n");
    socket.Close();
}

TEST(HttpHeaderLine, LineLongerThanTheWindowFails) {
    CFixtureServer server;
    server.AddScript({SendBytes("X-Long: " + std::string(1200, 'v') + "\r\n")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::string line;
    EXPECT_EQ(SocketFailureOf([&] { socket.ReadHeaderLine(line, 1001, kAnswerWait, false, {}); }),
              "ReadHeaderLine 0");
    socket.Close();
}

TEST(HttpHeaderLine, PeerClosingInsideALineFails) {
    CFixtureServer server;
    server.AddScript({SendBytes("HTTP/1.0 200")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::string line;
    EXPECT_EQ(SocketFailureOf([&] { socket.ReadHeaderLine(line, 1001, kAnswerWait, true, {}); }),
              "ReadHeaderLine 0");
    socket.Close();
}

TEST(HttpBody, ShortBodyAgainstAnExpectedLengthFails) {
    CFixtureServer server;
    server.AddScript({SendBytes(std::string(60, 'b'))});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    CMemoryBody body;
    EXPECT_EQ(SocketFailureOf([&] { socket.ReceiveBody(body, 100, kAnswerWait, {}); }), "Http Receive 0");
    socket.Close();
}

TEST(HttpBody, UnknownLengthReadsUntilTheClose) {
    CFixtureServer server;
    server.AddScript({SendInPieces(std::string(2500, 'b'), 700, 2ms)});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    CMemoryBody body;
    std::atomic<std::int64_t> readed{-1};
    CReceiveCounters counters{nullptr, nullptr, &readed, 10};
    EXPECT_EQ(socket.ReceiveBody(body, 0, kAnswerWait, counters), 2500);
    EXPECT_EQ(readed.load(), 2510);   // the offset and the bytes since
    EXPECT_EQ(body.bytes, std::string(2500, 'b'));
    socket.Close();
}

TEST(HttpBody, StoresNoMoreThanTheAnnouncedLength) {
    CFixtureServer server;
    server.AddScript({SendBytes("HTTP/1.0 200 OK\r\n\r\n0123456789extra")});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    std::string line;
    socket.ReadHeaderLine(line, 1001, kAnswerWait, true, {});
    socket.ReadHeaderLine(line, 1001, kAnswerWait, false, {});
    CMemoryBody body;
    EXPECT_EQ(socket.ReceiveBody(body, 10, kAnswerWait, {}), 10);
    EXPECT_EQ(body.bytes, "0123456789");
    socket.Close();
}

TEST(HttpBody, BytesTheSinkRefusesEndTheBody) {
    CFixtureServer server;
    server.AddScript({SendBytes(std::string(3000, 'b'))});
    CMyExHttpSocket socket;
    ConnectTo(socket, server.Port());
    class CFullDisk final : public CMemoryBody {
    public:
        void Write(const char*, std::size_t) override {
            ThrowMyException(ExceptionKind::General, "", kOpWriteFile, 0);
        }
    } full;
    std::atomic<std::int64_t> readed{-1};
    CReceiveCounters counters{nullptr, nullptr, &readed, 0};
    const Failure failure = CatchFailure([&] { socket.ReceiveBody(full, 0, kAnswerWait, counters); });
    EXPECT_EQ(failure.operation, "WriteFile");
    EXPECT_FALSE(failure.socketFailure);
    EXPECT_EQ(readed.load(), 0);   // nothing counts as stored that the sink did not keep
    socket.Close();
}

} // namespace
} // namespace torvex::test
