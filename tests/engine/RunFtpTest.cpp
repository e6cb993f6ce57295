#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
#include "support/CFixtureServer.h"
#include "support/CLoopbackDaemon.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CPipelineRunner;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

// Runs of ftp:// start addresses through the whole pipeline against Debian's pyftpdlib.
class RunFtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(11);
        m_big.resize(300000);
        for (char& c : m_big) {
            c = static_cast<char>(random() & 0xFF);
        }
        MakeDirectoryPath(m_site.Str() + "/pub");
        test::WriteFileBytes(m_site.Str() + "/pub/big.bin", m_big);
        m_server = test::StartFtpServer(m_site.Str(), "bob", "s3cret");
        if (!m_server->Started()) {
            GTEST_SKIP() << "the FTP server cannot run here: " << m_server->Reason();
        }
    }

    std::string Url(const std::string& path) const {
        return "ftp://127.0.0.1:" + std::to_string(m_server->Port()) + path;
    }
    std::string Stored(const TempDir& dir, const std::string& path) const {
        // FTP files are filed under the host alone, whatever the port.
        return ReadFileBytes(dir.Str() + "/download/latest/127.0.0.1" + path);
    }
    CProjectSettings Project(const TempDir& dir, const std::string& path) const {
        CProjectSettings project = ProjectIn(dir.Str(), {Url(path)});
        project.Addresses[0].Username = "bob";
        project.Addresses[0].Password = "s3cret";
        project.TimeOut = 5;
        return project;
    }

    TempDir m_site;
    std::string m_big;
    std::unique_ptr<test::CLoopbackDaemon> m_server;
};

TEST_F(RunFtpTest, StoresAFileWithTheStartAddressLogin) {
    TempDir dir;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(Project(dir, "/pub/big.bin"), RunCommand::Start),
              std::make_pair(TaskMessage::Finished, 0));
    EXPECT_TRUE(Stored(dir, "/pub/big.bin") == m_big) << Stored(dir, "/pub/big.bin").size();
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    // Stored as a file (kind 0) and complete (state 1): FTP files are not parsed for links.
    EXPECT_NE(log.find(Url("/pub/big.bin") + "\t0\t1 "), std::string::npos) << log;
}

TEST_F(RunFtpTest, AMissingFileOrAWrongPasswordEndsAOneAddressRun) {
    {
        TempDir dir;
        CPipelineRunner rig;
        EXPECT_EQ(rig.Run(Project(dir, "/pub/none.bin"), RunCommand::Start),
                  std::make_pair(TaskMessage::Error, 405));
    }
    TempDir dir;
    CProjectSettings project = Project(dir, "/pub/big.bin");
    project.Addresses[0].Password = "wrong";
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 404));
}

TEST_F(RunFtpTest, StoresAFileThroughASocks5Proxy) {
    const auto proxy = test::StartDanted();
    if (!proxy->Started()) {
        GTEST_SKIP() << "danted cannot run here: " << proxy->Reason();
    }
    TempDir dir;
    CProjectSettings project = Project(dir, "/pub/big.bin");
    project.UseGlobeProxy = false;
    project.Proxy = static_cast<int>(ProxyMode::Socks5);
    project.ProxyServer = "127.0.0.1";
    project.ProxyPort = proxy->Port();
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_TRUE(Stored(dir, "/pub/big.bin") == m_big) << Stored(dir, "/pub/big.bin").size();
}

TEST(RunFtpStop, BreaksAStalledTransferOffAtOnceAndResumesAfterItsBytes) {
    using test::CFixtureServer;
    using test::SendBytes;
    CFixtureServer control;
    CFixtureServer data;
    const std::string passive = "227 Entering Passive Mode (127,0,0,1," +
                                std::to_string(data.Port() / 256) + "," +
                                std::to_string(data.Port() % 256) + ")\r\n";
    control.AddScript({SendBytes("220 ready\r\n"), test::ReadBytes(16), SendBytes("331 pw\r\n"),
                       test::ReadBytes(20), SendBytes("230 in\r\n"), test::ReadBytes(8),
                       SendBytes("200 ok\r\n"), test::ReadBytes(13), SendBytes("213 1000\r\n"),
                       test::ReadBytes(6), SendBytes(passive), test::ReadBytes(8),
                       SendBytes("350 ok\r\n"), test::ReadBytes(13), SendBytes("150 go\r\n"),
                       test::WaitForClose()});
    // Ten bytes of a thousand, then silence.
    data.AddScript({SendBytes("0123456789"), test::WaitForClose()});
    TempDir dir;
    CProjectSettings project =
        ProjectIn(dir.Str(), {"ftp://127.0.0.1:" + std::to_string(control.Port()) + "/f.bin"});
    project.TimeOut = 120;
    CPipelineRunner rig;
    const auto start = std::chrono::steady_clock::now();
    // Stopped once the ten bytes are on disk: a stop before they arrive leaves nothing to
    // resume from.
    const auto run = rig.RunUntilStopped(project, [&] {
        std::error_code sizeError;
        const auto stored =
            std::filesystem::file_size(dir.Str() + "/download/latest/127.0.0.1/f.bin", sizeError);
        return !sizeError && stored >= 10;
    });
    EXPECT_TRUE(run.stopAsked);
    ASSERT_EQ(run.end, TaskMessage::Stopped);
    // Far less than the time-out a silent server would otherwise be given.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

    // Resumed, the download continues after the ten bytes on disk.
    control.AddScript({SendBytes("220 ready\r\n"), test::ReadBytes(16), SendBytes("331 pw\r\n"),
                       test::ReadBytes(20), SendBytes("230 in\r\n"), test::ReadBytes(8),
                       SendBytes("200 ok\r\n"), test::ReadBytes(13), SendBytes("213 1000\r\n"),
                       test::ReadBytes(6), SendBytes(passive), test::ReadBytes(9),
                       SendBytes("350 ok\r\n"), test::ReadBytes(13),
                       SendBytes("150 go\r\n226 done\r\n")});
    data.AddScript({SendBytes(std::string(990, 'x'))});
    EXPECT_EQ(rig.Run(project, RunCommand::Resume), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(dir.Str() + "/download/latest/127.0.0.1/f.bin"),
              "0123456789" + std::string(990, 'x'));
    ASSERT_TRUE(control.WaitForFinished(2, std::chrono::seconds(5)));
    EXPECT_NE(control.Requests().at(1).find("REST 10\r\n"), std::string::npos)
        << control.Requests().at(1);
}

} // namespace
} // namespace torvex
