#include "app/WindowTexts.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

CSlotView View(int state, std::string url, std::int32_t readed, std::int32_t total) {
    CSlotView view;
    view.state = state;
    view.url = std::move(url);
    view.readed = readed;
    view.total = total;
    return view;
}

TEST(ThreadRowTexts, ByStateAndCounts) {
    struct Case {
        CSlotView view;
        CThreadRow row;
    };
    const Case cases[] = {
        {View(0, "http://h/stale", 5, 10), {"No.3 ", "Empty", "", "", "", ""}},
        {View(1, "http://h/a", 0, -1), {"No.3 ", "Finding Host...", "", "", "", "http://h/a"}},
        {View(2, "http://h/a", 0, -1), {"No.3 ", "Connecting Host...", "", "", "", "http://h/a"}},
        {View(3, "http://h/a", 0, -1), {"No.3 ", "Connecting Host...", "", "", "", "http://h/a"}},
        // Counts only while reading a body of known length.
        {View(4, "ftp://h/f", 10, 100), {"No.3 ", "Reading Data...", "", "", "", "ftp://h/f"}},
        {View(5, "http://h/a", 250, 1000),
         {"No.3 ", "Reading Data...", "1000", "250", "25%", "http://h/a"}},
        {View(5, "http://h/a", 0, 1000),
         {"No.3 ", "Reading Data...", "1000", "", "0%", "http://h/a"}},
        {View(5, "http://h/a", 700, 0), {"No.3 ", "Reading Data...", "", "", "", "http://h/a"}},
        {View(5, "http://h/a", 700, -1), {"No.3 ", "Reading Data...", "", "", "", "http://h/a"}},
        // Large counts do not overflow the ratio.
        {View(5, "u", 2000000000, 2100000000),
         {"No.3 ", "Reading Data...", "2100000000", "2000000000", "95%", "u"}},
        {View(9, "u", 0, 0), {"No.3 ", "", "", "", "", "u"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view.state);
        EXPECT_EQ(ThreadRowOf(3, c.view), c.row);
    }
    EXPECT_EQ(ThreadLabel(0), "No.0 ");
    EXPECT_EQ(ThreadLabel(49), "No.49");
}

TEST(ThreadRowTexts, OnlyChangedCellsAreRewritten) {
    const CThreadRow reading = ThreadRowOf(0, View(5, "http://h/a", 10, 100));
    const CThreadRow further = ThreadRowOf(0, View(5, "http://h/a", 20, 100));
    EXPECT_EQ(ChangedColumns(reading, reading), std::vector<int>{});
    EXPECT_EQ(ChangedColumns(reading, further), (std::vector<int>{3, 4}));
    // Back to idle: status, counts and address are cleared.
    EXPECT_EQ(ChangedColumns(reading, ThreadRowOf(0, CSlotView{})),
              (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(RecordRowImage, ByStatus) {
    struct Case {
        int status;
        bool latest;
        bool running;
        int image;
    };
    const Case cases[] = {
        {1, true, true, 0},   {1, true, false, 5},   {1, false, true, 5}, {2, true, true, 1},
        {3, false, false, 2}, {4, true, false, 3},   {5, true, false, 4}, {0, true, false, 5},
        {6, true, false, 5},  {-1, false, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(RecordStateImage(c.status, c.latest, c.running), c.image);
    }
}

TEST(RecordRowElapsed, StoredDurationElseEndMinusStartElseEmpty) {
    CRecordInfo record;
    record.StartTime = 1000;
    EXPECT_EQ(ElapsedText(record), ""); // no end: a run that never ended
    record.EndTime = 1000 + 3 * 3600 + 25 * 60 + 7;
    EXPECT_EQ(ElapsedText(record), "03:25:07");
    record.ElapsedTime = 59;
    EXPECT_EQ(ElapsedText(record), "00:00:59");
    // Runs longer than a day keep counting hours.
    record.ElapsedTime = 26 * 3600 + 1;
    EXPECT_EQ(ElapsedText(record), "26:00:01");
    EXPECT_EQ(DurationText(-5), "00:00:00");
}

TEST(RecordRows, StoredAndRunningRecords) {
    CRecordInfo backup;
    backup.RecordTime = 1700000000;
    backup.StartTime = 1700000000;
    backup.EndTime = 1700000090;
    backup.Status = 3;
    backup.TotalFiles = 12;
    backup.Downloaded = 10;
    backup.StartPage = "h/index.html";
    CRecordInfo latest;
    latest.IsLatest = true;
    latest.RecordTime = 1700001000;
    latest.StartTime = 1700001000;
    latest.Status = 1;
    const auto date = [](std::int64_t t) { return "T" + std::to_string(t); };

    std::vector<CRecordRow> rows = RecordRowsOf("/p", {backup, latest}, nullptr, date);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "1700000000");
    EXPECT_EQ(rows[0].image, 2);
    EXPECT_EQ(rows[0].startTime, "T1700000000");
    EXPECT_EQ(rows[0].downloaded, "10");
    EXPECT_EQ(rows[0].totalFiles, "12");
    EXPECT_EQ(rows[0].queue, "");
    EXPECT_EQ(rows[0].elapsed, "00:01:30");
    EXPECT_EQ(rows[0].localStartFile, "/p/download/1700000000/h/index.html");
    // A latest record left at status 1 by a program that ended during the run.
    EXPECT_EQ(rows[1].name, "latest");
    EXPECT_EQ(rows[1].image, 5);
    EXPECT_EQ(rows[1].elapsed, "");
    EXPECT_EQ(rows[1].localStartFile, "");

    CLiveRecord live{4, 9, 17, 65};
    rows = RecordRowsOf("/p", {backup, latest}, &live, date);
    EXPECT_EQ(rows[1].image, 0);
    EXPECT_EQ(rows[1].downloaded, "4");
    EXPECT_EQ(rows[1].totalFiles, "9");
    EXPECT_EQ(rows[1].queue, "17");
    EXPECT_EQ(rows[1].elapsed, "00:01:05");
    EXPECT_EQ(rows[0].queue, ""); // only the running record has a queue
    EXPECT_EQ(RecordIndexPath("/p", latest), "/p/download/latest/index.html");
    EXPECT_EQ(RecordIndexPath("/p", backup), "/p/download/1700000000/index.html");
}

TEST(RecordRows, FallbackStartTime) {
    // Weekday, month/day/two-digit year and the time; the exact values depend on the zone.
    const std::string text = FallbackStartTimeText(1700000000);
    ASSERT_EQ(text.size(), std::string("Tue. 11/14/23 22:13").size());
    EXPECT_EQ(text[3], '.');
    EXPECT_EQ(text.substr(7, 1), "/");
    EXPECT_EQ(FallbackStartTimeText(-1), "");
}

TEST(RecordRows, OrderBySetting) {
    EXPECT_FALSE(RecordOrderFor("0").newestFirst);
    EXPECT_TRUE(RecordOrderFor("0").showLastRow);
    EXPECT_TRUE(RecordOrderFor("1").newestFirst);
    EXPECT_FALSE(RecordOrderFor("1").showLastRow);
    EXPECT_FALSE(RecordOrderFor("2").newestFirst);
    EXPECT_FALSE(RecordOrderFor("").newestFirst);
}

TEST(StatusPanes, Texts) {
    CRunTotals totals;
    totals.downloadQueue = 12;
    totals.parseQueue = 3;
    totals.downloaded = 7;
    EXPECT_EQ(QueuePaneText(totals), "Total Queue:   12/3");
    EXPECT_EQ(DownloadedPaneText(totals), "Total Downloaded:  7");
    EXPECT_EQ(SpeedPaneText(85.25), "Speed:  85.2KBps");
    totals.downloadQueue = 123456;
    EXPECT_EQ(QueuePaneText(totals), "Total Queue: 123456/3");
}

} // namespace
} // namespace torvex
