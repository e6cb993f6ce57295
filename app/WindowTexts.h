#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CWorkerSlot.h"
#include "engine/ProjectLog.h"

// The texts of the main window's lists and status bar, from plain values copied out of the
// core: the thread rows, the record rows, the three status panes. Pure functions; any thread.

namespace torvex {

// ---- Thread list ----

constexpr int kThreadColumns = 6; // "Thread", "Status", "Total", "Readed", "Ratio", "URL"

// The texts of one row of the thread list.
struct CThreadRow {
    std::string label;  // "No.%-2d", counted from 0
    std::string status; // "Empty", "Finding Host...", "Connecting Host...", "Reading Data..."
    std::string total;  // byte counts and ratio only while reading (state 5) with a total
    std::string readed;
    std::string ratio; // "%d%%"
    std::string url;   // the current address; empty while the thread is idle

    std::string Cell(int column) const;
    bool operator==(const CThreadRow&) const = default;
};

std::string ThreadLabel(int index);
std::string SlotStateText(int state);
CThreadRow ThreadRowOf(int index, const CSlotView& view);
// The columns whose text differs between two rows (only those are rewritten).
std::vector<int> ChangedColumns(const CThreadRow& before, const CThreadRow& after);

// ---- Record list ----

constexpr int kRecordColumns = 7;
constexpr int kRecordImageRunning = 0;
constexpr int kRecordImageUnknown = 5;

// How a running record's live figures replace the stored ones.
struct CLiveRecord {
    std::int32_t downloaded = 0;
    std::int32_t totalFiles = 0;
    int downloadQueue = 0;
    std::int64_t elapsedSeconds = 0;
};

// The texts of one row of the record list.
struct CRecordRow {
    std::string name; // "latest" or the record time: how the commands name the record
    int image = kRecordImageUnknown;
    std::string startTime;
    std::string downloaded;
    std::string totalFiles;
    std::string queue;
    std::string elapsed;
    std::string localStartFile;
    std::int64_t recordTime = -1;
    bool isLatest = false;
};

// Image of the record state: 1 shows image 0 for the latest record of a running project, else
// image 5; 2..5 show images 1..4; anything else image 5.
int RecordStateImage(int status, bool isLatest, bool projectRunning);
// "%H:%M:%S" of a duration; hours go past 24 rather than wrap.
std::string DurationText(std::int64_t seconds);
// The stored duration when not 0, else end minus start, else empty (no end).
std::string ElapsedText(const CRecordInfo& record);
// The stored start page under the record's download folder; empty without a start page.
std::string LocalStartFile(std::string_view projectDir, const CRecordInfo& record);
// "index.html" of a record: <project>/download/<latest or record time>/index.html.
std::string RecordIndexPath(std::string_view projectDir, const CRecordInfo& record);
// The fallback for a start time when the desktop gives no date format: "Sun. 12/08/26 14:05"
// (weekday, month/day/two-digit year, hours:minutes, local time).
std::string FallbackStartTimeText(std::int64_t time);

using DateFormatter = std::function<std::string(std::int64_t)>;

// One row per record; `live` (may be null) holds the running record's figures, which then
// replace the latest record's. `formatDate` gives the start-time text (the fallback when empty).
std::vector<CRecordRow> RecordRowsOf(std::string_view projectDir,
                                     const std::vector<CRecordInfo>& records,
                                     const CLiveRecord* live, const DateFormatter& formatDate);

// The order of the record list for `RecordListSort`: "1" lists the newest first and shows the
// first row, anything else lists in record order and shows the last row.
struct CRecordOrder {
    bool newestFirst = false;
    bool showLastRow = true;
};
CRecordOrder RecordOrderFor(std::string_view recordListSort);

// ---- Status bar ----

// Summed over all running projects.
struct CRunTotals {
    std::int64_t downloadQueue = 0;
    std::int64_t parseQueue = 0;
    std::int64_t downloaded = 0;
};

std::string QueuePaneText(const CRunTotals& totals);      // "Total Queue: %4d/%d"
std::string DownloadedPaneText(const CRunTotals& totals); // "Total Downloaded: %2d"
std::string SpeedPaneText(double kilobytesPerSecond);     // "Speed: %5.1fKBps"

} // namespace torvex
