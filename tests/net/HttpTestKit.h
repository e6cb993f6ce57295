#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "net/CFTPSession.h"
#include "net/CHttpTransaction.h"
#include "net/CMyException.h"
#include "support/CFixtureServer.h"
#include "support/TempDir.h"

namespace torvex::test {

// A worker's progress link that records what the transfer tells it.
class RecordingLink : public CHttpWorkerLink {
public:
    const std::atomic<bool>* StopFlag() const override { return &stop; }
    void SetState(int state) override { states.push_back(state); }
    std::atomic<std::int64_t>* ReceivedBytes() override { return &receivedBytes; }
    std::atomic<std::int64_t>* SharedReaded() override { return &sharedReaded; }

    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> receivedBytes{0};
    std::atomic<std::int64_t> sharedReaded{-1};
    std::vector<int> states;
};

// A cookie exchange with one fixed line, recording the cookies it is given.
class ScriptedCookies : public CCookieExchange {
public:
    std::string BuildCookieHeader(std::string_view, std::string_view) override { return line; }
    void AddSetCookie(std::string_view text, std::string_view domain,
                      std::string_view path) override {
        added.push_back(std::string(text) + "|" + std::string(domain) + "|" + std::string(path));
    }
    std::string line;
    std::vector<std::string> added;
};

// A body sink that keeps the body in memory and records how it was asked for it.
class CMemoryBody : public IBodySink {
public:
    bool WantBody(const CTransferResult& head) override {
        sizeSeen = head.size;
        return wanted;
    }
    void Open(const CTransferResult& head, std::int64_t at) override {
        ++opens;
        offset = at;
        openedStatus = head.status;
        if (!refuseOpen.empty()) {
            ThrowMyException(ExceptionKind::General, "", refuseOpen, 0);
        }
    }
    void Write(const char* data, std::size_t size) override { bytes.append(data, size); }
    void Close() override { closed = true; }

    bool wanted = true;
    std::string refuseOpen;   // an operation text Open throws with
    int opens = 0;
    std::int64_t offset = -1;
    std::int64_t sizeSeen = -2;
    std::string openedStatus;
    std::string bytes;
    bool closed = false;
};

// How a call ended when it threw.
struct Failure {
    bool threw = false;
    bool socketFailure = false;
    std::string className;
    std::string operation;
    int code = 0;
    std::string detail;
};

template <class Call> Failure CatchFailure(Call call) {
    Failure failure;
    try {
        call();
    } catch (CMySocketException* raw) {
        std::unique_ptr<CMySocketException> owned(raw);
        failure.threw = true;
        failure.socketFailure = true;
        failure.className = owned->ClassName();
        failure.operation = owned->Operation();
        failure.code = owned->Code();
        failure.detail = owned->Detail();
    } catch (CMyException* raw) {
        std::unique_ptr<CMyException> owned(raw);
        failure.threw = true;
        failure.className = owned->ClassName();
        failure.operation = owned->Operation();
        failure.code = owned->Code();
    }
    return failure;
}

// What one transaction ended with.
struct Outcome : Failure {
    CTransferResult result;
};

inline Outcome RunTransaction(CHttpTransaction& transaction, const CHttpRequest& request,
                              CMyExHttpSocket& socket, const SocketAddress& address) {
    Outcome outcome;
    static_cast<Failure&>(outcome) =
        CatchFailure([&] { outcome.result = transaction.Transaction(request, socket, address); });
    return outcome;
}

// An HTTP/1.1 reply with `body` and its length, and `extra` header lines.
inline std::string Reply11(std::string_view body, std::string_view extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(extra) + "\r\n" + std::string(body);
}

// A request for `url` whose body goes to `body`.
inline CHttpRequest RequestFor(const std::string& url, const std::string& referrer,
                               IBodySink& body) {
    CHttpRequest request;
    request.url = CUrl(url);
    request.referrer = referrer;
    request.body = &body;
    return request;
}

inline SocketAddress Loopback(int port) {
    return SocketAddress{0x7F000001u, static_cast<std::uint16_t>(port)};
}

// How long a test waits for a peer that answers: long enough for a loaded machine under the
// sanitizers, so only a real fault ever reaches it.
constexpr SocketWait kAnswerWait = std::chrono::seconds(30);
// The time-out of tests whose peer never answers: they wait this long and no more.
constexpr SocketWait kStallWait = std::chrono::milliseconds(300);

// Options for a direct run with one start address on 127.0.0.1.
inline CHttpOptions DirectOptions(SocketWait timeOut = kAnswerWait) {
    CHttpOptions options;
    options.timeOut = timeOut;
    CHttpStartAddress start;
    start.host = "127.0.0.1";
    options.startAddresses.push_back(start);
    return options;
}

// What the transaction tests stand on: a scripted server, the run's options, and one worker's
// link, cookies, socket and body.
class TransactionTest : public ::testing::Test {
protected:
    // Runs `request` with a transaction of its own over the worker's socket to the server.
    Outcome Run(const CHttpRequest& request) {
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        return RunTransaction(transaction, request, m_socket, Loopback(m_server.Port()));
    }

    CFixtureServer m_server;
    CHttpOptions m_options = DirectOptions();
    RecordingLink m_link;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
    CMemoryBody m_body;
};

} // namespace torvex::test
