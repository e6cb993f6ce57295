#include "engine/IndexPage.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "project/CProjectSettings.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char* kTemplate =
    "<title>%ProjectName%</title>\n"
    "<!--Start URL-->\n"
    "<a href=\"%URL.LocalLink%\" Torvex_URL=\"%URL.URL%\" Torvex_URLDescription=\"%URL.Description%\">%URL.Text%</a> %ProjectName%\n"
    "<!--Start URL-->\n"
    "<!--Start URL--> \n";

class IndexPage : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(m_dir.Str() + "/index_t.en", kTemplate);
        m_project.Name = "Docs";
    }
    void AddAddress(const std::string& url, const std::string& description, int child = 0) {
        CStartAddress address;
        address.StartURL = url;
        address.Description = description;
        address.Child = child;
        m_project.Addresses.push_back(address);
    }
    void Store(const std::string& local) {
        const std::string path = Record() + "/" + local;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFileBytes(path, "x");
    }
    std::string Record() const { return m_dir.Str() + "/download/latest"; }
    std::string Generate() {
        EXPECT_TRUE(GenerateIndexPage(m_project, Record(), m_dir.Str() + "/logs/latest",
                                      m_dir.Str() + "/index_t.en"));
        return ReadFileBytes(Record() + "/index.html");
    }

    TempDir m_dir;
    CProjectSettings m_project;
};

TEST_F(IndexPage, ListsStoredStandAloneAddressesAndKeepsEarlierOnes) {
    AddAddress("http://h/a.html", "First \"one\"");
    AddAddress("http://h/b.html", "");
    AddAddress("http://h/c.html", "a child", 1);
    AddAddress("http://h/missing.html", "not stored");
    for (const char* local : {"h/a.html", "h/b.html", "h/c.html"}) {
        Store(local);
    }
    EXPECT_EQ(Generate(),
              "<title>Docs</title>\n"
              "<!--Start URL-->\n"
              "<a href=\"h/a.html\" Torvex_URL=\"http://h/a.html\" Torvex_URLDescription=\"First "
              "&quot;one&quot;\">First &quot;one&quot;</a> %ProjectName%\n"
              "<a href=\"h/b.html\" Torvex_URL=\"http://h/b.html\" Torvex_URLDescription=\"\">"
              "http://h/b.html</a> %ProjectName%\n"
              "<!--Start URL-->\n"
              "<!--Start URL--> \n");

    // An address the project no longer has stays listed while its file exists, with the
    // description the earlier page gave it.
    m_project.Addresses.erase(m_project.Addresses.begin());
    const std::string again = Generate();
    EXPECT_NE(again.find("Torvex_URLDescription=\"First &quot;one&quot;\""), std::string::npos)
        << again;
    EXPECT_LT(again.find("http://h/b.html"), again.find("http://h/a.html"));
    EXPECT_TRUE(FileExists(Record() + "/index.html.bak"));
}

} // namespace
} // namespace torvex
