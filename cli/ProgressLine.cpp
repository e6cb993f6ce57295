#include "cli/ProgressLine.h"

#include <cstdio>

namespace torvex {

std::string FormatProgressLine(const ProgressSample& s) {
    const std::int64_t seconds = s.elapsedSeconds < 0 ? 0 : s.elapsedSeconds;
    char line[160];
    std::snprintf(line, sizeof line,
                  "Downloaded %lld/%lld  Queue %lld/%lld  Speed %5.1f KBps  Elapsed %02lld:%02lld:%02lld",
                  static_cast<long long>(s.downloaded), static_cast<long long>(s.totalFiles),
                  static_cast<long long>(s.downloadQueue), static_cast<long long>(s.parseQueue),
                  s.kilobytesPerSecond, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return line;
}

} // namespace torvex
