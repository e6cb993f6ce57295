#include "engine/CSeenSet.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(CSeenSetMark, RecordsEachUrlOnceAndExactly) {
    TempDir dir;
    CSeenSet seen;
    ASSERT_TRUE(seen.Open(dir / "latest.tmp", false));
    EXPECT_EQ(seen.MarkSeen("http://g/?u=http://h/a"), 1);
    // A longer address ending in the same text does not make the shorter one seen.
    EXPECT_EQ(seen.MarkSeen("http://h/a"), 1);
    EXPECT_EQ(seen.MarkSeen("http://h/a"), 0);
    EXPECT_EQ(seen.MarkSeen("h/a"), 1);
    seen.Close();
    EXPECT_EQ(ReadFileBytes(dir / "latest.tmp"), "http://g/?u=http://h/a\nhttp://h/a\nh/a\n");
}

TEST(CSeenSetMark, CutsTextsTo512Characters) {
    TempDir dir;
    CSeenSet seen;
    ASSERT_TRUE(seen.Open(dir / "s", false));
    const std::string base = "http://h/" + std::string(503, 'p');
    ASSERT_EQ(base.size(), 512u);
    EXPECT_EQ(seen.MarkSeen(base + "one"), 1);
    EXPECT_EQ(seen.MarkSeen(base + "two"), 0);
    seen.Close();
    EXPECT_EQ(ReadFileBytes(dir / "s"), base + "\n");
}

TEST(CSeenSetOpen, KeepsOrEmptiesTheFile) {
    TempDir dir;
    WriteFileBytes(dir / "s", "http://h/a\r\nhttp://h/b\n");
    {
        CSeenSet seen;
        ASSERT_TRUE(seen.Open(dir / "s", true));
        EXPECT_EQ(seen.MarkSeen("http://h/a"), 0);
        EXPECT_EQ(seen.MarkSeen("http://h/b"), 0);
        EXPECT_EQ(seen.MarkSeen("http://h/c"), 1);
    }
    EXPECT_EQ(ReadFileBytes(dir / "s"), "http://h/a\r\nhttp://h/b\nhttp://h/c\n");
    CSeenSet fresh;
    ASSERT_TRUE(fresh.Open(dir / "s", false));
    EXPECT_EQ(fresh.MarkSeen("http://h/a"), 1);
    fresh.Close();
    EXPECT_EQ(ReadFileBytes(dir / "s"), "http://h/a\n");
}

TEST(CSeenSetOpen, AppendsBehindALastLineThatWasCutShort) {
    TempDir dir;
    WriteFileBytes(dir / "s", "http://h/a\nhttp://h/b");
    {
        CSeenSet seen;
        ASSERT_TRUE(seen.Open(dir / "s", true));
        EXPECT_EQ(seen.MarkSeen("http://h/b"), 0);
        EXPECT_EQ(seen.MarkSeen("http://h/c"), 1);
        EXPECT_EQ(seen.MarkSeen("http://h/d"), 1);
    }
    EXPECT_EQ(ReadFileBytes(dir / "s"), "http://h/a\nhttp://h/b\nhttp://h/c\nhttp://h/d\n");
}

TEST(CSeenSetOpen, ReadsASetLargerThanOneWindow) {
    TempDir dir;
    std::string text;
    int n = 0;
    while (text.size() < 499990) {
        text += "http://h/p" + std::to_string(n++) + "\n";
    }
    // Padding puts the key across the 500,000-byte boundary.
    text += std::string(499995 - text.size(), 'x') + "\n";
    text += "http://h/straddling\n";
    for (int i = 0; i < 2000; ++i) {
        text += "http://h/q" + std::to_string(i) + "\n";
    }
    ASSERT_GT(text.size(), 500000u);
    WriteFileBytes(dir / "s", text);
    CSeenSet seen;
    ASSERT_TRUE(seen.Open(dir / "s", true));
    EXPECT_EQ(seen.MarkSeen("http://h/straddling"), 0);
    EXPECT_EQ(seen.MarkSeen("http://h/p0"), 0);
    EXPECT_EQ(seen.MarkSeen("http://h/q1999"), 0);
    EXPECT_EQ(seen.MarkSeen("http://h/straddlin"), 1);
}

TEST(CSeenSetMark, AnswersZeroWithoutAnOpenFile) {
    CSeenSet closed;
    EXPECT_EQ(closed.MarkSeen("http://h/a"), 0);
}

TEST(CSeenSetOpen, FailsWhereTheFileCannotBeCreated) {
    TempDir dir;
    CSeenSet seen;
    EXPECT_FALSE(seen.Open(dir / "no/such/dir/s", false));
    EXPECT_FALSE(seen.IsOpen());
}

} // namespace
} // namespace torvex
