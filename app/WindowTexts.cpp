#include "app/WindowTexts.h"

#include <cstdio>
#include <ctime>

namespace torvex {

namespace {

constexpr std::string_view kWeekdays[] = {"Sun.", "Mon.", "Tue.", "Wed.", "Thu.", "Fri.", "Sat."};

std::string PathIn(std::string_view projectDir, const CRecordInfo& record) {
    std::string path(projectDir);
    path += "/download/";
    path += record.IsLatest ? std::string(kLatestSection) : std::to_string(record.RecordTime);
    return path;
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

} // namespace

std::string CThreadRow::Cell(int column) const {
    switch (column) {
    case 0:
        return label;
    case 1:
        return status;
    case 2:
        return total;
    case 3:
        return readed;
    case 4:
        return ratio;
    case 5:
        return url;
    default:
        return {};
    }
}

std::string ThreadLabel(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "No.%-2d", index);
    return text;
}

std::string SlotStateText(int state) {
    switch (state) {
    case SlotState::Empty:
        return "Empty";
    case SlotState::FindingHost:
        return "Finding Host...";
    case 2:
    case 3:
        return "Connecting Host...";
    case 4:
    case 5:
        return "Reading Data...";
    default:
        return {};
    }
}

CThreadRow ThreadRowOf(int index, const CSlotView& view) {
    CThreadRow row;
    row.label = ThreadLabel(index);
    row.status = SlotStateText(view.state);
    if (view.state != SlotState::Empty) {
        row.url = view.url;
    }
    if (view.state == SlotState::Reading && view.total > 0) {
        row.total = Number(view.total);
        if (view.readed > 0) {
            row.readed = Number(view.readed);
        }
        const std::int64_t percent = static_cast<std::int64_t>(view.readed) * 100 / view.total;
        row.ratio = Number(percent) + "%";
    }
    return row;
}

std::vector<int> ChangedColumns(const CThreadRow& before, const CThreadRow& after) {
    std::vector<int> changed;
    for (int column = 0; column < kThreadColumns; ++column) {
        if (before.Cell(column) != after.Cell(column)) {
            changed.push_back(column);
        }
    }
    return changed;
}

int RecordStateImage(int status, bool isLatest, bool projectRunning) {
    if (status == 1) {
        return isLatest && projectRunning ? kRecordImageRunning : kRecordImageUnknown;
    }
    if (status >= 2 && status <= 5) {
        return status - 1;
    }
    return kRecordImageUnknown;
}

std::string DurationText(std::int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string ElapsedText(const CRecordInfo& record) {
    if (record.ElapsedTime != 0) {
        return DurationText(record.ElapsedTime);
    }
    if (record.EndTime > 0 && record.StartTime > 0) {
        return DurationText(record.EndTime - record.StartTime);
    }
    return {};
}

std::string LocalStartFile(std::string_view projectDir, const CRecordInfo& record) {
    if (record.StartPage.empty()) {
        return {};
    }
    return PathIn(projectDir, record) + "/" + record.StartPage;
}

std::string RecordIndexPath(std::string_view projectDir, const CRecordInfo& record) {
    return PathIn(projectDir, record) + "/index.html";
}

std::string FallbackStartTimeText(std::int64_t time) {
    if (time < 0) {
        return {};
    }
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) {
        return {};
    }
    char text[48];
    std::snprintf(text, sizeof text, "%s %02d/%02d/%02d %02d:%02d",
                  std::string(kWeekdays[local.tm_wday % 7]).c_str(), local.tm_mon + 1,
                  local.tm_mday, local.tm_year % 100, local.tm_hour, local.tm_min);
    return text;
}

std::vector<CRecordRow> RecordRowsOf(std::string_view projectDir,
                                     const std::vector<CRecordInfo>& records,
                                     const CLiveRecord* live, const DateFormatter& formatDate) {
    std::vector<CRecordRow> rows;
    rows.reserve(records.size());
    for (const CRecordInfo& record : records) {
        CRecordRow row;
        row.isLatest = record.IsLatest;
        row.recordTime = record.RecordTime;
        row.name = record.IsLatest ? std::string(kLatestSection) : Number(record.RecordTime);
        const bool running = live && record.IsLatest;
        row.image = RecordStateImage(running ? 1 : record.Status, record.IsLatest, running);
        row.startTime =
            formatDate ? formatDate(record.StartTime) : FallbackStartTimeText(record.StartTime);
        if (running) {
            row.downloaded = Number(live->downloaded);
            row.totalFiles = Number(live->totalFiles);
            row.queue = Number(live->downloadQueue);
            row.elapsed = DurationText(live->elapsedSeconds);
        } else {
            row.downloaded = Number(record.Downloaded);
            row.totalFiles = Number(record.TotalFiles);
            row.elapsed = ElapsedText(record);
        }
        row.localStartFile = LocalStartFile(projectDir, record);
        rows.push_back(std::move(row));
    }
    return rows;
}

CRecordOrder RecordOrderFor(std::string_view recordListSort) {
    CRecordOrder order;
    if (recordListSort == "1") {
        order.newestFirst = true;
        order.showLastRow = false;
    }
    return order;
}

std::string QueuePaneText(const CRunTotals& totals) {
    char text[64];
    std::snprintf(text, sizeof text, "Total Queue: %4lld/%lld",
                  static_cast<long long>(totals.downloadQueue),
                  static_cast<long long>(totals.parseQueue));
    return text;
}

std::string DownloadedPaneText(const CRunTotals& totals) {
    char text[64];
    std::snprintf(text, sizeof text, "Total Downloaded: %2lld",
                  static_cast<long long>(totals.downloaded));
    return text;
}

std::string SpeedPaneText(double kilobytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "Speed: %5.1fKBps", kilobytesPerSecond);
    return text;
}

} // namespace torvex
