#include "url/LocalNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "url/CUrlEntry.h"

namespace torvex {
namespace {

constexpr std::size_t kRecordDirLength = 30;

struct NamesCase {
    const char* url;
    const char* dir;
    const char* file;
};

TEST(LocalNamesSeenText, BothFormsOfOneStoredFileAreOneAddress) {
    const struct {
        const char* url;
        const char* seen;
    } cases[] = {
        {"https://h/a?b", "http://h/a?b"},          {"https://h:443/a", "http://h/a"},
        {"https://h:8443/a", "http://h:8443/a"},    {"https://h:80/a", "https://h:80/a"},
        {"https://h:21/a", "https://h:21/a"},       {"http://h:443/a", "http://h:443/a"},
        {"http://h/a", "http://h/a"},               {"ftp://h/a", "ftp://h/a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const CUrl url(c.url);
        EXPECT_EQ(SeenText(url, url.Compose()), c.seen);
    }
}

TEST(LocalNamesMapping, DirectoryAndFileFromUrl) {
    const NamesCase cases[] = {
        {"http://h:8080/a/b.html", "h+8080/a/", "b.html"},
        {"ftp://h:2121/x.zip", "h/", "x.zip"},
        {"http://h:80/x", "h/", "x"},
        {"http://h/", "h/", "index.html"},
        {"http://h/d/e/", "h/d/e/", "index.html"},
        {"http://h/cgi/q.cgi?x=1&y=2", "h/cgi/", "q.cgi-x=1&y=2"},
        {"http://h/cgi/q?a/b=c/d", "h/cgi/q-a/", "b=c-d"},
        {"http://h/a/b.cgi?x=1/2", "h/a/", "b.cgi-x=1-2"},
        {"http://h/p%20q/r*s|t.html", "h/p-20q/", "r-s-t.html"},
        {"http://h/~user", "h/~user/", "index.html"},
        {"http://h/a\"b/<c>.html", "h/a-b/", "-c-.html"},
        // https lives where the same http address does; the folder names only other ports.
        {"https://h/a/b.html", "h/a/", "b.html"},
        {"https://h:443/a/b.html", "h/a/", "b.html"},
        {"https://h:8443/a/b.html", "h+8443/a/", "b.html"},
        {"https://h:80/a/b.html", "h+80/a/", "b.html"},
        {"http://h:443/a/b.html", "h+443/a/", "b.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        CUrl url(c.url);
        ASSERT_EQ(url.Status(), 0);
        std::string dir, file;
        ASSERT_TRUE(LocalNames(url, true, kRecordDirLength, dir, file));
        EXPECT_EQ(dir, c.dir);
        EXPECT_EQ(file, c.file);
    }
}

TEST(LocalNamesMapping, DirectoryOnlyLeavesFileUntouched) {
    std::string dir, file = "keep";
    ASSERT_TRUE(LocalNames(CUrl("http://h/a/b.html"), false, kRecordDirLength, dir, file));
    EXPECT_EQ(dir, "h/a/");
    EXPECT_EQ(file, "keep");
}

TEST(LocalNamesLimits, DirectoryAndWholePathLimits) {
    // Directory limit: record dir + host dir + base directory at most 258.
    const std::size_t record = 100;
    const std::string fitsDir = "http://h/" + std::string(258 - record - 3, 'd') + "/";
    const std::string overDir = "http://h/" + std::string(258 - record - 2, 'd') + "/";
    std::string dir, file;
    EXPECT_TRUE(LocalNames(CUrl(fitsDir), false, record, dir, file));
    EXPECT_FALSE(LocalNames(CUrl(overDir), false, record, dir, file));

    // Whole path: record dir + directory + file name shorter than 260.
    const std::string fitsFile = "http://h/" + std::string(260 - record - 2 - 1, 'f');
    const std::string overFile = "http://h/" + std::string(260 - record - 2, 'f');
    EXPECT_TRUE(LocalNames(CUrl(fitsFile), true, record, dir, file));
    EXPECT_FALSE(LocalNames(CUrl(overFile), true, record, dir, file));
}

TEST(LocalNamesEscape, StoredPathsNeverClimbOutOfTheRecord) {
    test::TempDir temp;
    const std::string recordDir = temp / "download/latest";
    const char* hostile[] = {
        "http://h/../../../../x",
        "http://h/a/../../../etc/passwd",
        "http://h/..",
        "http://h/../",
        "http://h/./../.",
        "http://h/a/..%2f..%2fx",
        "http://../x",
        "http://./../../x",
        "http://h/..\\..\\x",
        "http://h/q?a=../../x",
        "http://h/q/..?x=1",
    };
    const auto record = std::filesystem::weakly_canonical(recordDir);
    for (const char* text : hostile) {
        SCOPED_TRACE(text);
        CUrl url(text);
        if (url.Status() != 0) {
            continue;
        }
        std::string dir, file, stored;
        if (!LocalNames(url, true, recordDir.size(), dir, file)) {
            continue;
        }
        ASSERT_TRUE(StoredPath(recordDir, dir, file, "", stored));
        const auto resolved = std::filesystem::weakly_canonical(stored);
        const auto rel = resolved.lexically_relative(record);
        ASSERT_FALSE(rel.empty());
        EXPECT_NE(*rel.begin(), "..") << resolved;
        EXPECT_NE(file, "..");
        EXPECT_NE(file, ".");
    }
}

TEST(LocalNamesEscape, DotSegmentsBecomeDashes) {
    std::string dir, file;
    ASSERT_TRUE(LocalNames(CUrl("http://h/../a/x"), true, kRecordDirLength, dir, file));
    EXPECT_EQ(dir, "h/--/a/");
    ASSERT_TRUE(LocalNames(CUrl("http://h/a/.."), true, kRecordDirLength, dir, file));
    EXPECT_EQ(file, "--");
    ASSERT_TRUE(LocalNames(CUrl("http://h/a/..x/...y"), true, kRecordDirLength, dir, file));
    EXPECT_EQ(dir, "h/a/..x/");
    EXPECT_EQ(file, "...y");
}

TEST(LocalNamesPaths, StoredAndLinkMapPaths) {
    std::string out;
    EXPECT_TRUE(StoredPath("/p/download/latest", "h/a/", "b.php", ".html", out));
    EXPECT_EQ(out, "/p/download/latest/h/a/b.php.html");
    const std::string longDir(250, 'd');
    EXPECT_TRUE(StoredPath("/r", longDir, "12345", "", out)); // 2 + 250 + 5 + 1 = 258
    EXPECT_FALSE(StoredPath("/r", longDir, "1234567890", "", out));

    CUrlEntry entry;
    entry.localDir = "h/a/";
    entry.fileName = "list.php";
    EXPECT_EQ(LinkMapPath("/p/linkmap/latest", entry), "/p/linkmap/latest/h/a/list.php");
    entry.nameLetter = NameLetter::HtmlAppended;
    EXPECT_EQ(LinkMapPath("/p/linkmap/latest", entry), "/p/linkmap/latest/h/a/list.php.html");
}

TEST(PageNamingRule, LettersAndExtensions) {
    const PageNaming html = NamePage("a.HTM", false, true);
    EXPECT_EQ(html.nameLetter, '0');
    EXPECT_EQ(html.extension, "");
    EXPECT_FALSE(html.needsConversion);

    const PageNaming linked = NamePage("list.php", true, true);
    EXPECT_EQ(linked.nameLetter, '1');
    EXPECT_TRUE(linked.needsConversion);
    EXPECT_FALSE(linked.hasRenamedFile);
    EXPECT_FALSE(NamePage("list.php", true, false).needsConversion);

    const PageNaming start = NamePage("list.php", false, false);
    EXPECT_EQ(start.nameLetter, '3');
    EXPECT_EQ(start.extension, ".html");
    EXPECT_TRUE(start.needsConversion);
    EXPECT_TRUE(start.hasRenamedFile);

    EXPECT_TRUE(IsHtmlName("x.shtml") == false);
    EXPECT_TRUE(IsHtmlName("x.htmlx"));
    EXPECT_FALSE(IsHtmlName("html"));
    EXPECT_TRUE(RenamedPageFits(200, std::string(50, 'd'), "abcde"));
    EXPECT_FALSE(RenamedPageFits(200, std::string(50, 'd'), "abcdef"));
}

TEST(CUrlEntryText, DirectoryAndIndexAreOneEntry) {
    EXPECT_EQ(EntryUrlText(CUrl("http://h/dir/")), "http://h/dir/index.html");
    EXPECT_EQ(EntryUrlText(CUrl("http://h/dir/index.html")), "http://h/dir/index.html");
    EXPECT_EQ(EntryUrlText(CUrl("http://h")), "http://h/index.html");
    EXPECT_EQ(EntryUrlText(CUrl("http://h:8080/~u")), "http://h:8080/~u/index.html");
    EXPECT_EQ(EntryUrlText(CUrl("http://h/a.cgi?x=1")), "http://h/a.cgi?x=1");
    const std::string longText = EntryUrlText(CUrl("http://h/" + std::string(502, 'd') + "/"));
    EXPECT_EQ(longText.size(), kMaxEntryUrlText);
}

TEST(CUrlEntryCopy, CopySharesNothing) {
    CUrlEntry source;
    EXPECT_EQ(source.state, EntryState::Initial);
    EXPECT_EQ(source.total, -1);
    EXPECT_EQ(source.logOffset, -1);
    EXPECT_EQ(source.linkCode, -1);
    source.url = CUrl("http://h/a");
    source.lastModified = "Mon, 01 Jan 2024 00:00:00 GMT";
    CUrlEntry copy = source;
    copy.lastModified = "changed";
    copy.url.SetPath("/b");
    EXPECT_EQ(source.lastModified, "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(source.url.Path(), "/a");
}

} // namespace
} // namespace torvex
