#include "app/UrlIntake.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/CInstanceChannel.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(HandOverFile, TakesTheAddressAndTheNameAndDeletesTheFile) {
    TempDir dir;
    const std::string path = dir / "addurl.tmp";
    const struct {
        const char* what;
        std::string text;
        std::string address;
        std::string name;
    } cases[] = {
        {"info as the name", "URL=http://h/a.html\nInfo=Docs\nParentURL=http://h/\n",
         "http://h/a.html", "Docs"},
        {"no info: the host", "URL=http://Docs.Example.org/a\nInfo=\nParentURL=\n",
         "http://Docs.Example.org/a", "docs.example.org"},
        {"info without its key: the host", "URL=ftp://f.org/x\n", "ftp://f.org/x", "f.org"},
        {"a line break in info cannot replace the address",
         "URL=http://good/\nInfo=Title\nURL=http://evil/\nInfo=Other\nParentURL=p\n",
         "http://good/", "Title"},
        {"CR LF lines", "URL=http://h/\r\nInfo=Name\r\n", "http://h/", "Name"},
        {"info cut to 65", "URL=http://h/\nInfo=" + std::string(200, 'n') + "\n", "http://h/",
         std::string(65, 'n')},
        {"info cut before a split character",
         "URL=http://h/\nInfo=" + std::string(64, 'n') + "\xc3\xa9\n", "http://h/",
         std::string(64, 'n')},
        {"info with a control character: the host", "URL=http://h/\nInfo=a\tb\n", "http://h/", "h"},
        {"an address of exactly 512 characters", "URL=http://h/" + std::string(512 - 9, 'p') + "\n",
         "http://h/" + std::string(512 - 9, 'p'), "h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path, c.text);
        const std::optional<CPendingAddress> taken = TakeHandOverFile(path);
        ASSERT_TRUE(taken.has_value());
        EXPECT_EQ(taken->address, c.address);
        EXPECT_EQ(taken->name, c.name);
        EXPECT_FALSE(FileExists(path));
    }
}

TEST(HandOverFile, BadFilesGiveNothingAndAreDeleted) {
    TempDir dir;
    const std::string path = dir / "addurl.tmp";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"no URL line", "Info=Docs\nParentURL=http://h/\n"},
        {"an empty URL", "URL=\nInfo=Docs\n"},
        {"an address over 512 characters", "URL=http://h/" + std::string(600, 'p') + "\n"},
        {"an address longer than a line", "URL=http://h/" + std::string(5000, 'p') + "\n"},
        {"binary", std::string("URL=http://h/\x01\x02\xff\x00zz\n", 20)},
        {"a control character in the address", "URL=http://h/a\x1b[31m\nInfo=x\n"},
        {"an address that does not parse", "URL=not an address\nInfo=Name\n"},
        {"a scheme of nothing", "URL=://\nInfo=Name\n"},
        {"random bytes", std::string("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path, c.text);
        EXPECT_FALSE(TakeHandOverFile(path).has_value());
        EXPECT_FALSE(FileExists(path));
    }
    // A file that is not there, and one that cannot be read (a folder in its place).
    EXPECT_FALSE(TakeHandOverFile(dir / "missing.tmp").has_value());
    std::filesystem::create_directories(dir / "folder.tmp");
    EXPECT_FALSE(TakeHandOverFile(dir / "folder.tmp").has_value());
}

TEST(ClipboardWatch, TakesValidAddressesAfterTheJoiningNotification) {
    CClipboardWatch watch;
    int reads = 0;
    std::string text = "http://before.example.org/";
    const auto read = [&] {
        ++reads;
        return text;
    };
    EXPECT_FALSE(watch.Changed(kIntakeNewProject, read)); // not joined
    watch.Join();
    EXPECT_FALSE(watch.Changed(kIntakeNewProject, read)); // what was there when joining
    EXPECT_EQ(reads, 0);
    text = " http://docs.example.org/a.html\n";
    const auto taken = watch.Changed(kIntakeNewProject, read);
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->address, "http://docs.example.org/a.html");
    EXPECT_EQ(taken->name, "docs.example.org");

    // Our own copy is passed over once; the next one counts again.
    watch.IgnoreNextChange();
    EXPECT_FALSE(watch.Changed(kIntakeNewProject, read));
    EXPECT_TRUE(watch.Changed(kIntakeNewAddress, read));
    // A dialog that cannot take one is open: nothing, not even read.
    reads = 0;
    EXPECT_FALSE(watch.Changed(kIntakeClosed, read));
    EXPECT_EQ(reads, 0);
    watch.Leave();
    EXPECT_FALSE(watch.Changed(kIntakeNewProject, read));
    EXPECT_FALSE(watch.IsJoined());
}

TEST(ClipboardWatch, IgnoresTextThatIsNoAddressQuietly) {
    CClipboardWatch watch;
    watch.Join();
    EXPECT_FALSE(watch.Changed(kIntakeNewProject, [] { return std::string(); }));
    const std::string texts[] = {
        "",
        std::string(3 * 1024 * 1024, 'x'),
        "http://h/" + std::string(4 * 1024 * 1024, 'a'),
        "http://h/a\x07"
        "b",
        "http://h/\nhttp://i/",
        "http//broken",
        "just some words",
        std::string("http://h/\0tail", 14),
        "\xff\xfe\x00\x01",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 20));
        EXPECT_FALSE(watch.Changed(kIntakeNewProject, [&] { return text; }));
    }
}

} // namespace
} // namespace torvex
