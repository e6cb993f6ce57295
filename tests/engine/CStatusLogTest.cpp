#include "engine/CStatusLog.h"

#include <gtest/gtest.h>

#include "engine/FindLine.h"
#include "engine/StatusLine.h"
#include "platform/FileEnv.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

CUrlEntry Entry(const std::string& url) {
    CUrlEntry entry;
    entry.urlText = url;
    return entry;
}

const std::string kPad39(39, ' ');

// A line that did not reach the disk (a full disk, a short write) is reported, and no line is
// placed after it: the log cannot say where its file ends any more, so later lines and rewrites
// would land on the wrong bytes.
TEST(CStatusLogWrite, AFailedWriteIsReportedAndStopsTheLog) {
    for (const test::FileStep step : {test::FileStep::DiskFull, test::FileStep::ShortWrite}) {
        SCOPED_TRACE(test::FileStepName(step));
        TempDir dir;
        test::CFaultFileEnv faults;
        CScopedFileEnv scoped(faults);
        CStatusLog log;
        ASSERT_TRUE(log.Open(dir / "latest"));
        CUrlEntry a = Entry("http://h/a.html");
        ASSERT_TRUE(log.WriteStatusLine(a));
        const std::string before = ReadFileBytes(dir / "latest");

        faults.Fail(step, dir / "latest");
        CUrlEntry b = Entry("http://h/b.html");
        EXPECT_FALSE(log.WriteStatusLine(b));
        faults.Clear();
        CUrlEntry c = Entry("http://h/c.html");
        EXPECT_FALSE(log.WriteStatusLine(c));
        a.state = EntryState::Complete;
        EXPECT_FALSE(log.WriteStatusLine(a));
        std::int64_t offset = 0;
        std::string line;
        EXPECT_FALSE(log.Find("http://h/c.html", offset, line));
        log.Close();
        const std::string after = ReadFileBytes(dir / "latest");
        EXPECT_EQ(after.substr(0, before.size()), before);   // the good line is untouched
        EXPECT_EQ(after.find("http://h/c.html"), std::string::npos);

        // Opened again, the log goes on behind whatever part reached the disk.
        ASSERT_TRUE(log.Open(dir / "latest"));
        ASSERT_TRUE(log.WriteStatusLine(c));
        ASSERT_TRUE(log.Find("http://h/c.html", offset, line));
        EXPECT_EQ(ReadFileBytes(dir / "latest").substr(static_cast<std::size_t>(offset)),
                  line + "\n");
    }
}

// A log that cannot be opened or read back is not used: its index would be wrong, and lines
// written after a wrong end would land on the lines of the record.
TEST(CStatusLogOpen, ALogThatCannotBeOpenedOrReadIsRefused) {
    for (const test::FileStep step : {test::FileStep::Create, test::FileStep::Read}) {
        SCOPED_TRACE(test::FileStepName(step));
        TempDir dir;
        WriteFileBytes(dir / "latest", "http://h/a\t0\t0 0\t" + kPad39 + "\t0 \t-1 \t\n");
        const std::string before = ReadFileBytes(dir / "latest");
        test::CFaultFileEnv faults;
        CScopedFileEnv scoped(faults);
        faults.Fail(step, dir / "latest");
        CStatusLog log;
        EXPECT_FALSE(log.Open(dir / "latest"));
        EXPECT_FALSE(log.IsOpen());
        CUrlEntry b = Entry("http://h/b");
        EXPECT_TRUE(log.WriteStatusLine(b));   // a log not open takes nothing, and no failure
        std::int64_t offset = 0;
        std::string line;
        EXPECT_FALSE(log.Find("http://h/a", offset, line));
        EXPECT_EQ(ReadFileBytes(dir / "latest"), before);
    }
}

// The end of a line cut short is written where the file ends; a full disk at that moment
// refuses the log rather than put the next line on the end of the cut one.
TEST(CStatusLogOpen, ACutLastLineIsEndedOrTheLogRefused) {
    TempDir dir;
    WriteFileBytes(dir / "latest", "http://h/a\t0\t0 0\t" + kPad39 + "\t0           \t-1  ");
    {
        test::CFaultFileEnv faults;
        CScopedFileEnv scoped(faults);
        faults.Fail(test::FileStep::DiskFull, dir / "latest");
        CStatusLog log;
        EXPECT_FALSE(log.Open(dir / "latest"));
    }
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry b = Entry("http://h/b");
    ASSERT_TRUE(log.WriteStatusLine(b));
    log.Close();
    const std::string text = ReadFileBytes(dir / "latest");
    EXPECT_EQ(text.substr(text.find("-1  \n") + 5, 11), "http://h/b\t");
}

TEST(CStatusLogWrite, WritesTheFixedWidthLayout) {
    TempDir dir;
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry entry = Entry("http://h/a.html");
    entry.kind = '1';
    entry.state = EntryState::Stored;
    entry.nameLetter = '3';
    entry.lastModified = "Tue, 01 Jan 2002 00:00:00 GMT";
    entry.readed = 1234;
    entry.total = -1;
    log.WriteStatusLine(entry);
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir / "latest"),
              "http://h/a.html\t1\t2 3\tTue, 01 Jan 2002 00:00:00 GMT          \t1234        \t"
              "-1          \t\n");
    EXPECT_EQ(entry.logOffset, 0);
}

TEST(CStatusLogWrite, NumbersBeyondTheColumnKeepTheLineWidth) {
    const struct {
        std::int64_t readed, total;
        const char* columns;
    } cases[] = {
        {3221225472, 6442450944, "3221225472  \t6442450944  \t"},   // beyond 2 GiB, in memory too
        {999999999999, 999999999999, "999999999999\t999999999999\t"},
        {1000000000000, 2000000000000, "0           \t-1          \t"},
        {5, 1000000000000, "5           \t-1          \t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        CUrlEntry entry = Entry("http://h/big.iso");
        entry.readed = c.readed;
        entry.total = c.total;
        const std::string line = FormatStatusLine(entry);
        EXPECT_EQ(line, "http://h/big.iso\t0\t0 0\t" + kPad39 + "\t" + c.columns);
        CStatusFields fields;
        ASSERT_TRUE(ParseStatusLine(line, entry.urlText.size(), fields));
        EXPECT_EQ(fields.readed, c.readed <= kMaxStatusNumber ? c.readed : 0);
        EXPECT_EQ(fields.total, c.total <= kMaxStatusNumber ? c.total : -1);
    }
}

TEST(CStatusLogWrite, RewritingAUrlLeavesOneLine) {
    TempDir dir;
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry first = Entry("http://h/first");
    log.WriteStatusLine(first);
    CUrlEntry entry = Entry("http://h/a");
    entry.state = EntryState::Initial;
    entry.readed = 10;
    entry.total = 300;
    log.WriteStatusLine(entry);
    const std::int32_t offset = entry.logOffset;
    entry.state = EntryState::Complete;
    entry.readed = 300;
    log.WriteStatusLine(entry);
    EXPECT_EQ(entry.logOffset, offset);
    // A copy that never learnt its offset still finds its own line.
    CUrlEntry copy = entry;
    copy.logOffset = -1;
    log.WriteStatusLine(copy);
    EXPECT_EQ(copy.logOffset, offset);
    log.Close();
    const std::string expected = "http://h/first\t0\t0 0\t" + kPad39 + "\t0           \t-1          \t\n"
                                 "http://h/a\t0\t1 0\t" + kPad39 + "\t300         \t300         \t\n";
    EXPECT_EQ(ReadFileBytes(dir / "latest"), expected);
}

TEST(CStatusLogWrite, KeepsTheLineWidthWhenTheDateChangesLength) {
    TempDir dir;
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry entry = Entry("http://h/a");
    log.WriteStatusLine(entry);
    CUrlEntry next = Entry("http://h/b");
    log.WriteStatusLine(next);
    entry.lastModified = std::string(50, 'x');   // wider than the column on disk
    log.WriteStatusLine(entry);
    log.Close();
    const std::string text = ReadFileBytes(dir / "latest");
    EXPECT_EQ(text, "http://h/a\t0\t0 0\t" + std::string(39, 'x') + "\t0           \t-1          \t\n"
                    "http://h/b\t0\t0 0\t" + kPad39 + "\t0           \t-1          \t\n");
}

// A rewrite in the middle of the file leaves the stream there: the next new line must still
// go to the end, not over the line that follows the rewritten one.
TEST(CStatusLogWrite, ANewLineAfterARewriteGoesToTheEnd) {
    TempDir dir;
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry a = Entry("http://h/a");
    CUrlEntry b = Entry("http://h/b");
    ASSERT_TRUE(log.WriteStatusLine(a));
    ASSERT_TRUE(log.WriteStatusLine(b));
    a.state = EntryState::Complete;
    ASSERT_TRUE(log.WriteStatusLine(a));
    CUrlEntry c = Entry("http://h/c");
    ASSERT_TRUE(log.WriteStatusLine(c));
    log.Close();
    const std::string tail = "\t" + kPad39 + "\t0           \t-1          \t\n";
    EXPECT_EQ(ReadFileBytes(dir / "latest"), "http://h/a\t0\t1 0" + tail + "http://h/b\t0\t0 0" +
                                                 tail + "http://h/c\t0\t0 0" + tail);
}

TEST(CStatusLogOpen, KeepsAndIndexesAnExistingLog) {
    TempDir dir;
    const std::string old = "http://h/x/a\t0\t1 0\t" + kPad39 + "\t5           \t5           \t\r\n"
                            "http://h/a\t1\t2 3\t" + kPad39 + "\t7           \t9           \t\n";
    WriteFileBytes(dir / "latest", old);
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    std::int64_t offset = -1;
    std::string line;
    ASSERT_TRUE(log.Find("http://h/a", offset, line));
    EXPECT_EQ(offset, static_cast<std::int64_t>(old.find("http://h/a\t")));
    CStatusFields fields;
    ASSERT_TRUE(ParseStatusLine(line, 10, fields));
    EXPECT_EQ(fields.kind, '1');
    EXPECT_EQ(fields.state, EntryState::Stored);
    EXPECT_EQ(fields.nameLetter, '3');
    EXPECT_EQ(fields.readed, 7);
    EXPECT_EQ(fields.total, 9);
    // "http://h/x/a" does not make "h/a" or "a" known; only whole URL texts are.
    EXPECT_FALSE(log.Find("h/a", offset, line));
    EXPECT_FALSE(log.Find("http://h/x", offset, line));
}

TEST(CStatusLogOpen, EndsALastLineThatWasCutShort) {
    TempDir dir;
    WriteFileBytes(dir / "latest", "http://h/a\t0\t0 0");
    CStatusLog log;
    ASSERT_TRUE(log.Open(dir / "latest"));
    CUrlEntry entry = Entry("http://h/b");
    log.WriteStatusLine(entry);
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir / "latest"),
              "http://h/a\t0\t0 0\nhttp://h/b\t0\t0 0\t" + kPad39 + "\t0           \t-1          \t\n");
}

TEST(CStatusLogWrite, DoesNothingWhileClosed) {
    CStatusLog log;
    CUrlEntry entry = Entry("http://h/a");
    log.WriteStatusLine(entry);
    EXPECT_EQ(entry.logOffset, -1);
}

TEST(FindLine, FindsOnlyWholeKeysAtTheStartOfALine) {
    TempDir dir;
    WriteFileBytes(dir / "log", "http://g/?u=http://h/a\tX\nhttp://h/a\tY\r\nhttp://h/a\tZ\n");
    std::string line;
    EXPECT_EQ(FindLine(dir / "log", "http://h/a\t", line), 25);
    EXPECT_EQ(line, "http://h/a\tY");
    EXPECT_EQ(FindLine(dir / "log", "h/a\t", line), -1);
    EXPECT_EQ(FindLine(dir / "missing", "http://h/a\t", line), -1);
}

TEST(FindLine, FindsAKeyThatStraddlesTwoWindows) {
    TempDir dir;
    std::string text;
    int n = 0;
    while (text.size() < kSearchWindow - 10) {
        text += "http://h/filler" + std::to_string(n++) + "\t0\n";
    }
    text.resize(kSearchWindow - 10);
    text += "\n";
    const std::size_t at = text.size();
    text += "http://h/straddling/key\tlast\n";
    WriteFileBytes(dir / "log", text);
    std::string line;
    EXPECT_EQ(FindLine(dir / "log", "http://h/straddling/key\t", line),
              static_cast<std::int64_t>(at));
    EXPECT_EQ(line, "http://h/straddling/key\tlast");
}

} // namespace
} // namespace torvex
