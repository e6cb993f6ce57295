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
        m_options = DirectOptions();
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_nginx->Port()) + path;
    }
    Outcome Fetch(const CHttpRequest& request) {
        CHttpTransaction transaction(m_options, m_link, m_cookies);
        return RunTransaction(transaction, request, m_socket, Loopback(m_nginx->Port()));
    }

    TempDir m_site;
    std::string m_big;
    std::unique_ptr<CNginxServer> m_nginx;
    CHttpOptions m_options;
    RecordingLink m_link;
    CNoCookies m_cookies;
    CMyExHttpSocket m_socket;
};

TEST_F(HttpNginxTest, StoresFilesByteForByte) {
    CMemoryBody body;
    const Outcome outcome = Fetch(RequestFor(Url("/big.bin"), Url("/"), body));
    ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(outcome.result.outcome, TransferOutcome::Stored);
    EXPECT_EQ(body.bytes, m_big);
    EXPECT_EQ(outcome.result.contentLength, static_cast<std::int64_t>(m_big.size()));
    EXPECT_EQ(outcome.result.bodyBytes, static_cast<std::int64_t>(m_big.size()));
    EXPECT_FALSE(outcome.result.lastModified.empty());

    CMemoryBody page;
    const Outcome start = Fetch(RequestFor(Url("/"), "", page));
    ASSERT_FALSE(start.threw);
    EXPECT_EQ(start.result.contentType, "text/html");
    EXPECT_EQ(page.bytes, ReadFileBytes(m_site / "index.html"));
}

TEST_F(HttpNginxTest, AnswersNotModifiedToItsOwnDate) {
    CMemoryBody body;
    const Outcome first = Fetch(RequestFor(Url("/big.bin"), Url("/"), body));
    ASSERT_FALSE(first.threw);
    CMemoryBody again;
    CHttpRequest request = RequestFor(Url("/big.bin"), Url("/"), again);
    request.ifModifiedSince = first.result.lastModified;
    const Outcome outcome = Fetch(request);
    EXPECT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(outcome.result.outcome, TransferOutcome::NotModified);
    EXPECT_EQ(again.opens, 0);
}

TEST_F(HttpNginxTest, ContinuesAPartialFileWithARange) {
    CMemoryBody whole;
    const Outcome first = Fetch(RequestFor(Url("/big.bin"), Url("/"), whole));
    ASSERT_FALSE(first.threw);
    CMemoryBody rest;
    CHttpRequest request = RequestFor(Url("/big.bin"), Url("/"), rest);
    request.resumeOffset = 10000;
    request.ifRange = first.result.lastModified;
    m_link.receivedBytes = 0;
    const Outcome outcome = Fetch(request);
    ASSERT_FALSE(outcome.threw) << outcome.operation << " " << outcome.code;
    EXPECT_EQ(outcome.result.status, "206");
    EXPECT_EQ(rest.offset, 10000);
    EXPECT_EQ(rest.bytes, m_big.substr(10000));
    EXPECT_EQ(outcome.result.bodyBytes, static_cast<std::int64_t>(m_big.size()));
    // Fewer bytes came over the wire than the file holds: only the rest was sent.
    EXPECT_LT(m_link.receivedBytes.load(), static_cast<std::int64_t>(m_big.size() - 9000));
}

TEST_F(HttpNginxTest, MissingFileAndDirectoryRedirect) {
    CMemoryBody body;
    const Outcome notFound = Fetch(RequestFor(Url("/nothing.html"), Url("/"), body));
    EXPECT_EQ(notFound.operation, "HTTPSession");
    EXPECT_EQ(notFound.code, 404);

    const Outcome moved = Fetch(RequestFor(Url("/sub"), "", body));
    EXPECT_FALSE(moved.threw) << moved.operation;
    EXPECT_EQ(moved.result.outcome, TransferOutcome::Redirected);
    EXPECT_TRUE(moved.result.slashRedirect) << moved.result.location;
    EXPECT_EQ(body.opens, 0);
}

} // namespace
} // namespace torvex::test
