#include "cli/ProgressLine.h"

#include <cstdio>
#include <vector>

#include "app/RunSummary.h"
#include "app/WindowTexts.h"

namespace torvex {

namespace {

constexpr std::string_view kSeparator = " | ";

std::string Rate(double perSecond, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s/s", perSecond < 0 ? 0.0 : perSecond, unit);
    return text;
}

} // namespace

std::string FormatProgressLine(const ProgressSample& s, int columns) {
    std::vector<std::string> parts;
    parts.push_back((s.stopping ? "Stopping " : "Running ") +
                    DurationText(s.elapsedSeconds < 0 ? 0 : s.elapsedSeconds));
    parts.push_back(std::to_string(s.fetched) + " fetched (" + ByteCountText(s.bytes) + ")");
    parts.push_back(std::to_string(s.queued) + " queued");
    if (s.failed > 0) {
        parts.push_back(std::to_string(s.failed) + " failed");
    }
    parts.push_back(Rate(s.filesPerSecond, "files"));
    parts.push_back(ByteCountText(static_cast<std::int64_t>(s.bytesPerSecond)) + "/s");
    if (s.takenOver > 0) {
        parts.push_back(std::to_string(s.takenOver) + " taken over");
    }

    const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 1;
    std::string line = parts.front().substr(0, width);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (line.size() + kSeparator.size() + parts[i].size() <= width) {
            line.append(kSeparator).append(parts[i]);
        }
    }
    return line;
}

} // namespace torvex
