#pragma once

#include <cstdint>
#include <string>

namespace torvex {

// What the progress line shows; sampled from a running task without locks.
struct ProgressSample {
    std::int64_t fetched = 0;      // files downloaded by this run
    std::int64_t takenOver = 0;    // files taken over from older records
    std::int64_t failed = 0;       // addresses given up
    std::int64_t queued = 0;       // addresses waiting in the run's queues
    std::int64_t bytes = 0;        // received by this run
    double bytesPerSecond = 0;
    double filesPerSecond = 0;
    std::int64_t elapsedSeconds = 0;
    bool stopping = false;         // a stop was asked for and the run is winding down
};

// The progress line of a run that is still going, without a line end and at most `columns` - 1
// characters, so that it never wraps (the last column would move some terminals' cursor to the
// next line). Its parts in the order of their importance, each left out when it does not fit:
// "Running 00:01:05 | 514 fetched (12.3 MB) | 646 queued | 2 failed | 8.2 files/s |
// 850.0 KB/s | 3 taken over" (failures and files taken over only when there are any).
std::string FormatProgressLine(const ProgressSample& sample, int columns);

} // namespace torvex
