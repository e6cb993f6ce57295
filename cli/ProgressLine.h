#pragma once

#include <cstdint>
#include <string>

namespace torvex {

// What the progress line shows; sampled from a running task without locks.
struct ProgressSample {
    std::int64_t downloaded = 0;
    std::int64_t totalFiles = 0;
    std::int64_t downloadQueue = 0;
    std::int64_t parseQueue = 0;
    double kilobytesPerSecond = 0;   // 1 KB = 1024 bytes
    std::int64_t elapsedSeconds = 0;
};

// One line without a line end, for example
// "Downloaded 12/15  Queue 4/1  Speed  85.3 KBps  Elapsed 00:01:05".
std::string FormatProgressLine(const ProgressSample& sample);

} // namespace torvex
