#include "app/RunSummary.h"

#include <cstdio>

#include "app/WindowTexts.h"
#include "engine/CDownloadTask.h"
#include "engine/IndexPage.h"

namespace torvex {

namespace {

std::string Files(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

} // namespace

CRunSummary SummarizeRun(const CDownloadTask& task, TaskMessage end) {
    CRunSummary summary;
    summary.end = end;
    summary.fetched = task.counters.FilesThisRun.load();
    summary.takenOver = task.counters.Passed.load();
    summary.failed = task.Failures().Count();
    summary.bytes = task.receivedBytes.load();
    const std::int64_t start = task.StartTime();
    const std::int64_t finish = task.EndTime();
    summary.seconds = start >= 0 && finish >= start ? finish - start : 0;
    summary.indexPage = task.Paths().recordDownloadDir + "/" + std::string(kIndexPageName);
    summary.failureList = task.Paths().failureList;
    summary.failures = task.Failures().Items();
    return summary;
}

std::string ByteCountText(std::int64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes < 0 ? 0 : bytes) + " bytes";
    }
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::vector<std::string> RunSummaryLines(const CRunSummary& summary) {
    std::vector<std::string> lines;
    std::string counts = "Fetched " + Files(summary.fetched) + " (" +
                         ByteCountText(summary.bytes) + ") in " + DurationText(summary.seconds);
    if (summary.takenOver > 0) {
        counts += "; " + std::to_string(summary.takenOver) + " taken over";
    }
    counts += "; " + std::to_string(summary.failed) + " failed.";
    lines.push_back(counts);
    lines.push_back("The copy's index page: " + summary.indexPage);
    if (summary.failed > 0) {
        lines.push_back(Files(summary.failed) + " failed, listed with the reasons in " +
                        summary.failureList);
    }
    return lines;
}

} // namespace torvex
