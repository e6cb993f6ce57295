#include <gtest/gtest.h>

#include <random>
#include <string>

#include "HttpTestKit.h"
#include "platform/FileSystem.h"
#include "support/CNginxServer.h"

namespace torvex::test {
namespace {

// The transaction against a real web server: Debian's nginx on loopback, serving files that the
// test writes.
class HttpNginxTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeDirectoryPath(m_site.Str() + "/sub");
        std::mt19937 random(7);
        m_big.resize(200000);
        for (char& c : m_big) {
            c = static_cast<char>(random() & 0xFF);
        }
        WriteFileBytes(m_site / "big.bin", m_big);
        WriteFileBytes(m_site / "index.html", "<html><body><a href=\"big.bin\">x</a></body></html>");
        WriteFileBytes(m_site / "sub/index.html", "<html>sub</html>");
        m_nginx = std::make_unique<CNginxServer>(m_site.Str());
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
        m_options = DirectOptions(m_record.Str(), 5);
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_nginx->Port()) + path;
    }
    Outcome Fetch(CUrlEntry& entry) {
        CHttpTransaction transaction(m_options, m_worker, m_cookies);
        return RunTransaction(transaction, entry, m_socket, Loopback(m_nginx->Port()));
    }
    std::string Stored(const CUrlEntry& entry) const {
        return ReadFileBytes(m_record.Str() + "/" + entry.localDir + entry.fileName +
                             entry.extension);
    }

    TempDir m_site;
    TempDir m_record;
    std::string m_big;
    std::unique_ptr<CNginxServer> m_nginx;
    CHttpOptions m_options;
    RecordingWorker m_worker;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
};

TEST_F(HttpNginxTest, StoresFilesByteForByte) {
    CUrlEntry entry = MakeEntry(Url("/big.bin"), Url("/"), m_record.Str());
    const Outcome outcome = Fetch(entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(Stored(entry), m_big);
    EXPECT_EQ(entry.total, static_cast<std::int32_t>(m_big.size()));
    EXPECT_FALSE(entry.lastModified.empty());

    CUrlEntry start = MakeEntry(Url("/"), "", m_record.Str());
    ASSERT_FALSE(Fetch(start).threw);
    EXPECT_EQ(start.fileName, "index.html");
    EXPECT_EQ(start.kind, EntryKind::Page);
    EXPECT_EQ(start.nameLetter, NameLetter::OwnName);
    EXPECT_EQ(Stored(start), ReadFileBytes(m_site / "index.html"));
}

TEST_F(HttpNginxTest, AnswersNotModifiedToItsOwnDate) {
    CUrlEntry entry = MakeEntry(Url("/big.bin"), Url("/"), m_record.Str());
    ASSERT_FALSE(Fetch(entry).threw);
    CUrlEntry again = MakeEntry(Url("/big.bin"), Url("/"), m_record.Str());
    again.lastModified = entry.lastModified;
    again.state = '2';
    const Outcome outcome = Fetch(again);
    EXPECT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(m_worker.notModified, 1);
}

TEST_F(HttpNginxTest, ContinuesAPartialFileWithARange) {
    CUrlEntry first = MakeEntry(Url("/big.bin"), Url("/"), m_record.Str());
    ASSERT_FALSE(Fetch(first).threw);
    const std::string path = m_record.Str() + "/" + first.localDir + first.fileName;
    WriteFileBytes(path, m_big.substr(0, 10000));

    CUrlEntry entry = MakeEntry(Url("/big.bin"), Url("/"), m_record.Str());
    entry.lastModified = first.lastModified;
    entry.readed = 10000;
    entry.total = static_cast<std::int32_t>(m_big.size());
    m_worker.receivedBytes = 0;
    const Outcome outcome = Fetch(entry);
    ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(ReadFileBytes(path), m_big);
    EXPECT_EQ(entry.readed, static_cast<std::int32_t>(m_big.size()));
    // Fewer bytes came over the wire than the file holds: only the rest was sent.
    EXPECT_LT(m_worker.receivedBytes.load(), static_cast<std::int64_t>(m_big.size() - 9000));
}

TEST_F(HttpNginxTest, MissingFileAndDirectoryRedirect) {
    CUrlEntry missing = MakeEntry(Url("/nothing.html"), Url("/"), m_record.Str());
    const Outcome notFound = Fetch(missing);
    EXPECT_EQ(notFound.operation, "HTTPSession");
    EXPECT_EQ(notFound.code, 404);

    CUrlEntry directory = MakeEntry(Url("/sub"), "", m_record.Str());
    const Outcome moved = Fetch(directory);
    EXPECT_FALSE(moved.threw) << moved.operation;
    ASSERT_EQ(m_worker.redirects.size(), 1u);
    EXPECT_TRUE(m_worker.redirects[0].slashRedirect) << m_worker.redirects[0].target;
}

} // namespace
} // namespace torvex::test
