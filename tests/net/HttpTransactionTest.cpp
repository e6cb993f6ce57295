#include "net/CHttpTransaction.h"

#include <gtest/gtest.h>

#include <string>

#include "HttpTestKit.h"

namespace torvex::test {
namespace {

// One request against a fixture server that answers with `response`; the body goes to memory.
class HttpTransactionTest : public TransactionTest {
protected:
    Outcome Answer(const std::string& response, CHttpRequest request) {
        m_server.AddScript({ReadRequest(), SendBytes(response)});
        return Run(request);
    }
    CHttpRequest Request(std::int32_t resumeOffset = 0) {
        CHttpRequest request = RequestFor("http://h/dir/f.bin", "http://h/", m_body);
        request.resumeOffset = resumeOffset;
        return request;
    }

};

TEST_F(HttpTransactionTest, TellsHowTheAnswerEnded) {
    const struct {
        const char* name;
        const char* response;
        std::int32_t resumeOffset;
        TransferOutcome outcome;
        int opens;
        std::int64_t offset;
        const char* body;
    } cases[] = {
        {"a body", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", 0, TransferOutcome::Stored,
         1, 0, "abc"},
        {"the rest of a body", "HTTP/1.0 206 Partial\r\nContent-Range: bytes 3-5/6\r\n\r\ndef",
         3, TransferOutcome::Stored, 1, 3, "def"},
        {"a whole body asked for its rest", "HTTP/1.0 200 OK\r\n\r\nabcdef", 3,
         TransferOutcome::Stored, 1, 0, "abcdef"},
        {"not modified", "HTTP/1.0 304 Not Modified\r\n\r\n", 0, TransferOutcome::NotModified, 0,
         -1, ""},
        {"moved", "HTTP/1.0 302 Found\r\nLocation: /dir/\r\n\r\n", 0, TransferOutcome::Redirected,
         0, -1, ""},
        {"gone", "HTTP/1.0 410 Gone\r\n\r\nnot here", 0, TransferOutcome::NoBody, 0, -1, ""},
        {"no status line", "plain text", 0, TransferOutcome::Stored, 1, 0, "plain text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_body = CMemoryBody();
        const Outcome outcome = Answer(c.response, Request(c.resumeOffset));
        ASSERT_FALSE(outcome.threw) << outcome.operation;
        EXPECT_EQ(outcome.result.outcome, c.outcome);
        EXPECT_EQ(m_body.opens, c.opens);
        EXPECT_EQ(m_body.offset, c.offset);
        EXPECT_EQ(m_body.bytes, c.body);
        EXPECT_EQ(m_body.closed, c.outcome == TransferOutcome::Stored);
        if (c.outcome == TransferOutcome::Stored) {
            EXPECT_EQ(outcome.result.bodyBytes,
                      c.offset + static_cast<std::int64_t>(m_body.bytes.size()));
        }
        EXPECT_FALSE(m_socket.IsOpen());
    }
}

TEST_F(HttpTransactionTest, GivesTheHeadToTheSinkBeforeTheBody) {
    const Outcome outcome = Answer(
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 4\r\n"
        "Last-Modified: Sat, 01 Jan 2000 00:00:00 GMT\r\n\r\nbody",
        Request());
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(m_body.openedStatus, "200");
    EXPECT_EQ(outcome.result.contentType, "text/html");
    EXPECT_EQ(outcome.result.contentLength, 4);
    EXPECT_EQ(outcome.result.lastModified, "Sat, 01 Jan 2000 00:00:00 GMT");
    EXPECT_EQ(m_link.states, (std::vector<int>{2, 3, 4, 5, 0}));
    EXPECT_EQ(m_link.sharedReaded.load(), 4);
}

TEST_F(HttpTransactionTest, ADateWithControlBytesIsNotPassedOn) {
    const Outcome outcome =
        Answer("HTTP/1.0 200 OK\r\nLast-Modified: Sat\x01, 01 Jan\r\n\r\nbody", Request());
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result.lastModified, "");
}

TEST_F(HttpTransactionTest, WhatTheSinkRefusesEndsTheTransaction) {
    m_body.refuseOpen = "LongFilePath";
    const Outcome outcome = Answer("HTTP/1.0 200 OK\r\n\r\nbody", Request());
    EXPECT_EQ(outcome.operation, "LongFilePath");
    EXPECT_FALSE(outcome.socketFailure);
    EXPECT_TRUE(m_body.bytes.empty());
    EXPECT_FALSE(m_socket.IsOpen());
}

TEST_F(HttpTransactionTest, AStopDuringTheBodyLeavesTheSinkOpen) {
    m_server.AddScript({ReadRequest(), SendBytes("HTTP/1.0 200 OK\r\n\r\nfirst"), WaitForClose()});
    class CStoppingBody final : public CMemoryBody {
    public:
        explicit CStoppingBody(std::atomic<bool>& stop) : m_stop(stop) {}
        void Write(const char* data, std::size_t size) override {
            CMemoryBody::Write(data, size);
            m_stop = true;
        }

    private:
        std::atomic<bool>& m_stop;
    } body(m_link.stop);
    CHttpTransaction transaction(m_options, m_link, m_cookies);
    const Outcome outcome = RunTransaction(transaction, RequestFor("http://h/x", "", body),
                                           m_socket, Loopback(m_server.Port()));
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result.outcome, TransferOutcome::Stopped);
    EXPECT_EQ(outcome.result.bodyBytes, 5);
    EXPECT_FALSE(body.closed);
    EXPECT_FALSE(m_socket.IsOpen());
}

} // namespace
} // namespace torvex::test
