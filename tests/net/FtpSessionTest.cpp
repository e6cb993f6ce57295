#include "net/CFTPSession.h"

#include <gtest/gtest.h>

#include <string>

#include "FtpScripts.h"
#include "HttpTestKit.h"

namespace torvex::test {
namespace {

// One session against a control server and a data server on loopback, its file kept in memory.
class FtpSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_control.SetTimeOut(kAnswerWait);
        m_data.SetTimeOut(kAnswerWait);
    }
    Outcome Get(CFixtureServer& control, std::int32_t resumeOffset = 0) {
        CFtpRequest request;
        request.url = CUrl("ftp://127.0.0.1:" + std::to_string(control.Port()) + "/f.bin");
        request.resumeOffset = resumeOffset;
        request.body = &m_body;
        CFTPSession session(m_options, m_link);
        Outcome outcome;
        static_cast<Failure&>(outcome) = CatchFailure([&] {
            outcome.result = session.FTPGet(request, m_control, m_data, Loopback(control.Port()));
        });
        return outcome;
    }

    CHttpOptions m_options = DirectOptions();
    RecordingLink m_link;
    CMemoryBody m_body;
    CMyExFtpSocket m_control;
    CMyExFtpSocket m_data;
};

TEST_F(FtpSessionTest, ReportsTheSizeAndHandsTheFileToTheSink) {
    for (const bool restAccepted : {true, false}) {
        SCOPED_TRACE(restAccepted);
        m_body = CMemoryBody();
        CFixtureServer control;
        CFixtureServer data;
        control.AddScript(Then(
            Login(), {Expect("SIZE /f.bin"), SendBytes("213 10\r\n"), Expect("PASV"),
                      SendBytes(Passive(data)), Expect("REST 4"),
                      SendBytes(restAccepted ? "350 from 4\r\n" : "502 no\r\n"),
                      Expect("RETR /f.bin"), SendBytes("150 go\r\n226 done\r\n")}));
        data.AddScript({SendBytes(restAccepted ? "456789" : "0123456789")});
        const Outcome outcome = Get(control, 4);
        ASSERT_FALSE(outcome.threw) << outcome.className << " " << outcome.operation;
        EXPECT_EQ(outcome.result.outcome, TransferOutcome::Stored);
        EXPECT_EQ(outcome.result.size, 10);
        EXPECT_EQ(m_body.sizeSeen, 10);
        EXPECT_EQ(m_body.offset, restAccepted ? 4 : 0);
        EXPECT_EQ(m_body.bytes, restAccepted ? "456789" : "0123456789");
        EXPECT_EQ(outcome.result.bodyBytes, 10);
        EXPECT_EQ(m_link.sharedReaded.load(), 10);
        EXPECT_TRUE(m_body.closed);
        EXPECT_FALSE(m_control.IsOpen());
        EXPECT_FALSE(m_data.IsOpen());
    }
}

TEST_F(FtpSessionTest, ASinkThatDeclinesTheSizeGetsNoTransfer) {
    CFixtureServer control;
    CFixtureServer data;
    control.AddScript(Then(Login(), {Expect("SIZE /f.bin"), SendBytes("213 6\r\n"),
                                     WaitForClose()}));
    m_body.wanted = false;
    const Outcome outcome = Get(control);
    ASSERT_FALSE(outcome.threw) << outcome.operation;
    EXPECT_EQ(outcome.result.outcome, TransferOutcome::NotWanted);
    EXPECT_EQ(outcome.result.size, 6);
    EXPECT_EQ(m_body.opens, 0);
    EXPECT_EQ(data.ConnectionCount(), 0);
    EXPECT_FALSE(m_control.IsOpen());
}

TEST_F(FtpSessionTest, WhatTheSinkRefusesEndsTheSession) {
    CFixtureServer control;
    CFixtureServer data;
    control.AddScript(Then(
        Login(), {Expect("SIZE /f.bin"), SendBytes("213 3\r\n"), Expect("PASV"),
                  SendBytes(Passive(data)), Expect("REST 0"), SendBytes("350 ok\r\n"),
                  Expect("RETR /f.bin"), SendBytes("150 go\r\n")}));
    data.AddScript({SendBytes("abc")});
    m_body.refuseOpen = "OpenFile";
    const Outcome outcome = Get(control);
    EXPECT_EQ(outcome.operation, "OpenFile");
    EXPECT_TRUE(m_body.bytes.empty());
    EXPECT_FALSE(m_control.IsOpen());
    EXPECT_FALSE(m_data.IsOpen());
}

TEST(FtpPassiveReply, ReadsTheAddressAndRefusesWhatIsNotOne) {
    struct Case {
        const char* reply;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (10,0,0,1,4,1)", true, "10.0.0.1", 1025},
        {"227 Entering Passive Mode (192,168,0,5,19,137).\r\n", true, "192.168.0.5", 5001},
        {"227 =127,0,0,1,200,10\r\n", true, "127.0.0.1", 51210},
        {"227 Entering Passive Mode (127,0,0,1)", false, "", 0},
        {"227 Entering Passive Mode (127,0,0,1,4)", false, "", 0},
        {"227 Entering Passive Mode (127,0,0,1,256,1)", false, "", 0},
        {"227 Entering Passive Mode (127,0,0,1,0,0)", false, "", 0},
        {"227 (1000,0,0,1,4,1)", false, "", 0},
        {"227", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        std::string host;
        int port = 0;
        ASSERT_EQ(ParsePassiveReply(c.reply, host, port), c.ok);
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

} // namespace
} // namespace torvex::test
