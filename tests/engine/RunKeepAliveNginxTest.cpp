// Whole crawls of a generated site served by real nginx (kept connections, compressed pages and
// style sheets): kept connections and compressed bodies store exactly what one connection per
// file stores, over fewer connections.

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "support/CNginxServer.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/SiteGenerator.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CPipelineRunner;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

constexpr int kWorkers = 3;

// Every stored file of a record's copy, by its path under the copy, with its bytes.
std::map<std::string, std::string> StoredFiles(const TempDir& dir) {
    std::map<std::string, std::string> files;
    const std::filesystem::path root = dir.Str() + "/download/latest";
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            files[std::filesystem::relative(item.path(), root).string()] =
                ReadFileBytes(item.path().string());
        }
    }
    return files;
}

// What nginx's connection log says of the requests after the first `skip` lines.
struct ConnectionUse {
    std::set<std::string> connections;
    int requests = 0;
    int mostOnOne = 0;    // requests on the busiest connection
    int compressed = 0;   // replies sent compressed
    int failed = 0;       // 4xx and 5xx replies (the worker gives their connection up)
};

ConnectionUse ReadConnectionLog(const std::string& log, int skip) {
    ConnectionUse use;
    std::istringstream lines(log);
    std::string line;
    for (int index = 0; std::getline(lines, line); ++index) {
        if (index < skip) {
            continue;
        }
        std::istringstream fields(line);
        std::string connection;
        int number = 0;
        int status = 0;
        std::string ratio;
        fields >> connection >> number >> status >> ratio;
        use.connections.insert(connection);
        ++use.requests;
        use.mostOnOne = std::max(use.mostOnOne, number);
        use.compressed += ratio != "-" ? 1 : 0;
        use.failed += status >= 400 ? 1 : 0;
    }
    return use;
}

int LineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class RunKeepAliveNginxTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nginx = std::make_unique<test::CNginxServer>(m_site.Str());
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
        test::GenerateSite(m_site.Str(), 40, "127.0.0.1:" + std::to_string(m_nginx->Port()));
    }

    void Crawl(const TempDir& dir, bool keepAlive) {
        CProjectSettings project = ProjectIn(
            dir.Str(), {"http://127.0.0.1:" + std::to_string(m_nginx->Port()) + "/index.html"});
        project.Addresses[0].Level = 10;
        project.DownthreadNum = kWorkers;
        project.KeepAlive = keepAlive;
        project.Retry = 1;
        CPipelineRunner rig;
        EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    }

    TempDir m_site;
    std::unique_ptr<test::CNginxServer> m_nginx;
};

TEST_F(RunKeepAliveNginxTest, KeptConnectionsStoreTheSameFilesOverFewConnections) {
    TempDir plain;
    Crawl(plain, false);
    const int plainRequests = LineCount(m_nginx->ConnectionLog());
    const ConnectionUse perFile = ReadConnectionLog(m_nginx->ConnectionLog(), 0);
    EXPECT_EQ(perFile.mostOnOne, 1);
    EXPECT_EQ(perFile.compressed, 0);

    TempDir kept;
    Crawl(kept, true);
    const ConnectionUse use = ReadConnectionLog(m_nginx->ConnectionLog(), plainRequests);
    const auto plainFiles = StoredFiles(plain);
    ASSERT_GT(plainFiles.size(), 40u);
    EXPECT_EQ(StoredFiles(kept), plainFiles);

    // A request sent ahead behind a reply the worker fails on (a 404) is answered on a
    // connection the worker gives up, and asked again on the next: at most once per failure.
    EXPECT_GE(use.requests, plainRequests);
    EXPECT_LE(use.requests, plainRequests + use.failed);
    EXPECT_GT(use.mostOnOne, 5);
    EXPECT_GT(use.compressed, 10);
    // Each worker keeps one connection; only a reply the worker fails on costs it.
    EXPECT_LE(static_cast<int>(use.connections.size()), kWorkers + use.failed);
}

} // namespace
} // namespace torvex
