#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "EntryTransferKit.h"
#include "net/FtpScripts.h"
#include "platform/FileSystem.h"

namespace torvex::test {
namespace {

using namespace std::string_literals;

// A control server and a data server on loopback, and a transfer with its two sockets.
class EntryTransferFtp : public ::testing::Test {
protected:
    void SetUp() override {
        m_control.SetTimeOut(kAnswerWait);
        m_data.SetTimeOut(kAnswerWait);
    }

    CUrlEntry Entry(const std::string& path) const {
        return MakeEntry("ftp://127.0.0.1:" + std::to_string(m_controlServer.Port()) + path,
                         "http://127.0.0.1/", m_record.Str());
    }
    EntryOutcome Get(CUrlEntry& entry) { return GetFrom(entry, m_controlServer.Port()); }
    EntryOutcome GetFrom(CUrlEntry& entry, int port) {
        CEntryTransfer transfer(m_options, m_transferOptions, m_worker, m_worker, m_cookies);
        return RunFtp(transfer, entry, m_control, m_data, Loopback(port));
    }
    std::string Commands() {
        m_controlServer.WaitForFinished(1, std::chrono::seconds(5));
        return m_controlServer.Requests().at(0);
    }
    std::string StoredPath(const CUrlEntry& entry) const {
        return m_record.Str() + "/" + entry.localDir + entry.fileName;
    }

    TempDir m_record;
    CFixtureServer m_controlServer;
    CFixtureServer m_dataServer;
    CHttpOptions m_options = DirectOptions();
    CEntryTransferOptions m_transferOptions = TransferOptions(m_record.Str());
    RecordingWorker m_worker;
    CNoCookies m_cookies;
    CMyExFtpSocket m_control;
    CMyExFtpSocket m_data;
};

TEST_F(EntryTransferFtp, LogsInAnonymouslyAndStoresTheFileFromTheControlServer) {
    // A multi-line greeting whose text lines begin with other codes, and a PASV reply that
    // names a far host: the data connection still goes to the control connection's server.
    m_controlServer.AddScript(Then(
        {SendBytes("220-Welcome\r\n 230 not the end\r\n200 nor this\r\n220 Ready\r\n"),
         Expect("USER anonymous"), SendBytes("331 password\r\n"), Expect("PASS user@torvex.x"),
         SendBytes("230 in\r\n"), Expect("TYPE I"), SendBytes("200 binary\r\n")},
        {Expect("SIZE /pub/a b.txt"), SendBytes("213 11\r\n"), Expect("PASV"),
         SendBytes(Passive(m_dataServer, "10,0,0,1")), Expect("REST 0"), SendBytes("350 ok\r\n"),
         Expect("RETR /pub/a b.txt"), SendBytes("150 opening\r\n"),
         Pause(std::chrono::milliseconds(50)), SendBytes("226 done\r\n")}));
    m_dataServer.AddScript({SendBytes("hello world")});
    CUrlEntry entry = Entry("/pub/a%20b.txt");
    const EntryOutcome outcome = Get(entry);
    ASSERT_FALSE(outcome.threw) << outcome.className << " " << outcome.operation << " "
                                << outcome.code;
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(ReadFileBytes(StoredPath(entry)), "hello world");
    EXPECT_EQ(entry.total, 11);
    EXPECT_EQ(entry.readed, 11);
    EXPECT_EQ(m_worker.inProgress, std::vector<EntryState>{EntryState::Initial});
    EXPECT_NE(std::find(m_worker.states.begin(), m_worker.states.end(), WorkerState::ReceivingFtp),
              m_worker.states.end());
    EXPECT_EQ(Commands(), "USER anonymous\r\nPASS user@torvex.x\r\nTYPE I\r\nSIZE /pub/a b.txt\r\n"
                          "PASV\r\nREST 0\r\nRETR /pub/a b.txt\r\n");
    EXPECT_FALSE(m_control.IsOpen());
    EXPECT_FALSE(m_data.IsOpen());
}

TEST_F(EntryTransferFtp, ResumesAPartialFileOrRestartsWhenRestIsRefused) {
    const std::string whole = std::string(4096, 'a') + std::string(4096, 'b');
    for (const bool restAccepted : {true, false}) {
        SCOPED_TRACE(restAccepted);
        CFixtureServer control;
        CFixtureServer dataServer;
        control.AddScript(Then(
            Login(), {Expect("SIZE /f.bin"), SendBytes("213 8192\r\n"), Expect("PASV"),
                      SendBytes(Passive(dataServer)), Expect("REST 4096"),
                      SendBytes(restAccepted ? "350 from 4096\r\n" : "502 no\r\n"),
                      Expect("RETR /f.bin"), SendBytes("150 go\r\n226 done\r\n")}));
        dataServer.AddScript({SendBytes(restAccepted ? whole.substr(4096) : whole)});
        CUrlEntry entry = MakeEntry("ftp://127.0.0.1:" + std::to_string(control.Port()) + "/f.bin",
                                    "http://127.0.0.1/", m_record.Str());
        MakeDirectoryPath(m_record.Str() + "/" + entry.localDir);
        // Half the file, and a little garbage beyond what the record says arrived.
        WriteFileBytes(StoredPath(entry), whole.substr(0, 4096) + "junk");
        entry.readed = 4096;
        entry.total = 8192;
        const EntryOutcome outcome = GetFrom(entry, control.Port());
        ASSERT_FALSE(outcome.threw) << outcome.operation;
        ASSERT_EQ(outcome.result, 0);
        EXPECT_EQ(ReadFileBytes(StoredPath(entry)), whole);
        EXPECT_EQ(entry.readed, 8192);
        control.WaitForFinished(1, std::chrono::seconds(5));
        EXPECT_NE(control.Requests()[0].find("REST 4096\r\n"), std::string::npos);
    }
}

TEST_F(EntryTransferFtp, TakesAFileAlreadyCompleteWithoutTransfer) {
    // An interrupted download whose bytes all arrived is stored; a file of an older record that
    // the server still has at the same size is handed back as unchanged.
    for (const EntryState state : {EntryState::Initial, EntryState::Complete}) {
        const bool interrupted = state == EntryState::Initial;
        SCOPED_TRACE(interrupted);
        CFixtureServer control;
        control.AddScript(Then(Login(), {Expect("SIZE /done.txt"), SendBytes("213 6\r\n"),
                                         WaitForClose()}));
        CUrlEntry entry = MakeEntry("ftp://127.0.0.1:" + std::to_string(control.Port()) +
                                        "/done.txt",
                                    "http://127.0.0.1/", m_record.Str());
        MakeDirectoryPath(m_record.Str() + "/" + entry.localDir);
        WriteFileBytes(StoredPath(entry), interrupted ? "123456" : "");
        entry.state = state;
        entry.readed = 6;
        entry.total = 6;
        m_worker.notModified = 0;
        EXPECT_EQ(GetFrom(entry, control.Port()).result, interrupted ? 0 : -1);
        EXPECT_EQ(m_worker.notModified, interrupted ? 0 : 1);
        EXPECT_EQ(m_dataServer.ConnectionCount(), 0);
        EXPECT_FALSE(m_control.IsOpen());
    }
}

TEST_F(EntryTransferFtp, MapsEachRefusalToItsCode) {
    struct Case {
        const char* what;
        FixtureScript script;
        std::string data;
        std::string expected;
    };
    const FixtureScript toPassive = Then(Login(), {Expect("SIZE /x"), SendBytes("500 what\r\n"),
                                                   Expect("PASV")});
    FixtureScript typeRefused = Login();
    typeRefused.back() = SendBytes("504 no\r\n");
    const std::string overLong = "220-" + std::string(2500, 'x');
    std::string endless = "220-welcome\r\n";
    while (endless.size() < 70000) {
        endless += "220-and more\r\n";
    }
    const Case cases[] = {
        {"greeting", {SendBytes("421 busy\r\n")}, "", "FTPSession FTPGet 1"},
        {"user", {SendBytes("220 ok\r\n"), Expect("USER anonymous"), SendBytes("530 no\r\n")}, "",
         "FTPSession FTPGet 2"},
        {"password",
         {SendBytes("220 ok\r\n"), Expect("USER anonymous"), SendBytes("331 pw\r\n"),
          Expect("PASS user@torvex.x"), SendBytes("530 no\r\n")},
         "", "FTPSession FTPGet 3"},
        {"type", typeRefused, "", "FTPSession FTPGet 4"},
        {"closed after the greeting", {SendBytes("220 ok\r\n")}, "", "CFTPSession ReadRSPLine -1"},
        {"size", Then(Login(), {Expect("SIZE /x"), SendBytes("550 missing\r\n")}), "",
         "FTPSession FTPGet 5"},
        {"passive refused", Then(toPassive, {SendBytes("502 no\r\n")}), "", "FTPSession FTPGet 6"},
        {"passive without address", Then(toPassive, {SendBytes("227 somewhere (1,2,3)\r\n")}), "",
         "FTPSession FTPGet 7"},
        {"retrieve refused",
         Then(toPassive, {SendBytes(""), Expect("REST 0"), SendBytes("350 ok\r\n"),
                          Expect("RETR /x"), SendBytes("550 gone\r\n")}),
         "", "FTPSession FTPGet 5"},
        {"transfer not confirmed",
         Then(toPassive, {SendBytes(""), Expect("REST 0"), SendBytes("350 ok\r\n"),
                          Expect("RETR /x"), SendBytes("150 go\r\n"),
                          Pause(std::chrono::milliseconds(50)), SendBytes("426 aborted\r\n")}),
         "abc", "FTPSession FTPGet 8"},
        {"short transfer",
         Then(Login(), {Expect("SIZE /x"), SendBytes("213 100\r\n"), Expect("PASV"), SendBytes(""),
                        Expect("REST 0"), SendBytes("350 ok\r\n"), Expect("RETR /x"),
                        SendBytes("150 go\r\n"), WaitForClose()}),
         std::string(60, 'd'), "CFTPSession FTP Receive 0"},
        {"line longer than the window", {SendBytes(overLong)}, "", "CFTPSession ReadRSPLine -1"},
        {"reply without end", {SendBytes(endless)}, "", "CFTPSession ReadRSPLine -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CFixtureServer control;
        CFixtureServer dataServer;
        FixtureScript script = c.script;
        for (FixtureStep& step : script) {
            if (step.kind == FixtureStep::Kind::Send && step.bytes.empty()) {
                step.bytes = Passive(dataServer);   // the placeholder of the PASV reply
            }
        }
        control.AddScript(script);
        dataServer.AddScript({SendBytes(c.data)});
        CUrlEntry entry = MakeEntry("ftp://127.0.0.1:" + std::to_string(control.Port()) + "/x",
                                    "http://127.0.0.1/", m_record.Str());
        const EntryOutcome outcome = GetFrom(entry, control.Port());
        EXPECT_EQ(outcome.className + " " + outcome.operation + " " + std::to_string(outcome.code),
                  c.expected);
        EXPECT_FALSE(m_control.IsOpen());
    }
}

} // namespace
} // namespace torvex::test
