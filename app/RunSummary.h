#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CFailureList.h"
#include "engine/CTaskMessage.h"

namespace torvex {

class CDownloadTask;

// What one run did, as the front ends sum it up when it ends: taken from the task when its end
// message comes (its threads have stopped counting by then), kept after the task is gone.
struct CRunSummary {
    TaskMessage end = TaskMessage::Finished;   // Finished, Stopped, Error or Limit
    std::int32_t fetched = 0;     // files downloaded by this run
    std::int32_t takenOver = 0;   // files taken over from older records without a download
    int failed = 0;               // addresses this run gave up on (its failure list)
    std::int64_t bytes = 0;       // bytes this run received
    std::int64_t seconds = 0;     // how long this run took
    std::string indexPage;        // the record's index page
    std::string failureList;      // the file that lists the failures (when there are any)
    std::vector<CFailedFile> failures;   // the first of them, in order (CFailureList's limit)
};

// The summary of `task`, whose end message `end` is.
CRunSummary SummarizeRun(const CDownloadTask& task, TaskMessage end);

// "512 bytes", "1.5 KB", "12.3 MB", "2.0 GB" (1 KB = 1024 bytes).
std::string ByteCountText(std::int64_t bytes);

// The summary in lines: the counts, bytes and time; the index page of the copy; where the
// failed files are listed. For example:
//   "Fetched 12 files (1.2 MB) in 00:00:03; 3 taken over; 2 failed."
//   "The copy's index page: /srv/docs/download/latest/index.html"
//   "2 failed files and why: /srv/docs/logs/latest.failed"
std::vector<std::string> RunSummaryLines(const CRunSummary& summary);

} // namespace torvex
