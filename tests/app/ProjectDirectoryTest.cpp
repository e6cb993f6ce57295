#include "app/ProjectDirectory.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CScriptedPrompter;
using test::TempDir;

class ProjectDirectoryTest : public testing::Test {
protected:
    ProjectDirectoryTest() : m_tree(m_dir / "Torvex.dir", m_dir / "MyWebsites") {
        m_tree.LoadTree();
        auto docs = std::make_unique<CProjectSettings>();
        docs->Name = "Docs";
        docs->ProjectDir = m_dir / "sites/docs";
        m_docs = m_tree.AddProject(m_tree.Root(), std::move(docs))->project;
    }

    TempDir m_dir;
    CProjectTree m_tree;
    CProjectSettings* m_docs = nullptr;
};

TEST_F(ProjectDirectoryTest, ChecksLengthFormOwnerAndExistence) {
    std::filesystem::create_directories(m_dir / "sites/docs");
    std::filesystem::create_directories(m_dir / "sites/other");
    const std::string at128 = "/" + std::string(kMaxProjectDir - 1, 'd');
    struct Case {
        std::string directory;
        DirectoryVerdict verdict;
    };
    const Case cases[] = {
        {m_dir / "sites/other", DirectoryVerdict::Accepted},
        {m_dir / "sites/new", DirectoryVerdict::Missing},
        {at128, DirectoryVerdict::Missing},
        {at128 + "d", DirectoryVerdict::TooLong},
        {"", DirectoryVerdict::Invalid},
        {"/", DirectoryVerdict::Invalid},
        {"relative/dir", DirectoryVerdict::Invalid},
        {m_dir / "sites/", DirectoryVerdict::Invalid},
        {m_dir / "a//b", DirectoryVerdict::Invalid},
        {m_dir / "a/../b", DirectoryVerdict::Invalid},
        {m_dir / "a/./b", DirectoryVerdict::Invalid},
        {m_dir / "a*b", DirectoryVerdict::Invalid},
        {m_dir / "a?b", DirectoryVerdict::Invalid},
        {m_dir / "a\"b", DirectoryVerdict::Invalid},
        {m_dir / "a<b", DirectoryVerdict::Invalid},
        {m_dir / "a>b", DirectoryVerdict::Invalid},
        {m_dir / "a|b", DirectoryVerdict::Invalid},
        {m_dir / "a\\b", DirectoryVerdict::Invalid},
        {m_dir / "a\nb", DirectoryVerdict::Invalid},
        {m_dir / "sites/docs", DirectoryVerdict::Used},
        {m_dir / "sites/DOCS", DirectoryVerdict::Used},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory);
        EXPECT_EQ(CheckProjectDirectory(c.directory, m_tree, nullptr).verdict, c.verdict);
    }
    // A project may keep its own directory.
    EXPECT_EQ(CheckProjectDirectory(m_dir / "sites/docs", m_tree, m_docs).verdict,
              DirectoryVerdict::Accepted);
}

TEST_F(ProjectDirectoryTest, NamesWhatIsWrongInItsMessages) {
    const CDirectoryCheck used = CheckProjectDirectory(m_dir / "sites/docs", m_tree, nullptr);
    EXPECT_NE(used.message.find("\"Docs\""), std::string::npos);
    const CDirectoryCheck invalid = CheckProjectDirectory("/a|b", m_tree, nullptr);
    EXPECT_NE(invalid.message.find("\"/a|b\""), std::string::npos);
    EXPECT_NE(invalid.message.find("\\, *, ?, \", <, >, |"), std::string::npos);
    EXPECT_EQ(CheckProjectDirectory("/" + std::string(200, 'x'), m_tree, nullptr).message,
              "Sorry, the length of the project directory should be no longer than 128.");
    EXPECT_EQ(CheckProjectDirectory(m_dir / "none", m_tree, nullptr).message,
              "The path \"" + (m_dir / "none") + "\" does not exist!\n\nDo you want to create it?");
}

TEST_F(ProjectDirectoryTest, CreatesAMissingDirectoryOnlyWhenTheUserAgrees) {
    CScriptedPrompter prompter;
    prompter.answers = {false};
    EXPECT_FALSE(AcceptProjectDirectory(m_dir / "a/b", m_tree, nullptr, prompter));
    EXPECT_FALSE(DirectoryExists(m_dir / "a/b"));
    EXPECT_TRUE(AcceptProjectDirectory(m_dir / "a/b", m_tree, nullptr, prompter));
    EXPECT_TRUE(DirectoryExists(m_dir / "a/b"));
    EXPECT_EQ(prompter.said.size(), 2u);
    // Refusals are told, never asked.
    prompter.said.clear();
    EXPECT_FALSE(AcceptProjectDirectory(m_dir / "sites/docs", m_tree, nullptr, prompter));
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_EQ(prompter.said[0].rfind("information: Sorry, this directory is used", 0), 0u);
}

TEST_F(ProjectDirectoryTest, ReportsADirectoryThatCannotBeCreated) {
    test::WriteFileBytes(m_dir / "file", "x"); // a file where a folder would have to go
    CScriptedPrompter prompter;
    EXPECT_FALSE(AcceptProjectDirectory(m_dir / "file/sub", m_tree, nullptr, prompter));
    ASSERT_EQ(prompter.said.size(), 2u);
    EXPECT_EQ(prompter.said[1],
              "error: Error: Failed to create the directory \"" + (m_dir / "file/sub") + "\".");
}

TEST(ProposedProjectDirectory, JoinsTheDefaultDirectoryAndTheName) {
    EXPECT_EQ(ProposedProjectDirectory("/w/MyWebsites", "Docs"), "/w/MyWebsites/Docs");
    EXPECT_EQ(ProposedProjectDirectory("/w/MyWebsites/", "Docs"), "/w/MyWebsites/Docs");
    EXPECT_EQ(ProposedProjectDirectory("/", "Docs"), "/Docs");
}

} // namespace
} // namespace torvex
