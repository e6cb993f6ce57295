#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvex {

// Names inside a project directory.
constexpr std::string_view kProjectConfName = "project.conf";
constexpr std::string_view kProjectLogName = "project.log";
constexpr std::string_view kCookiesName = "cookies";
constexpr std::string_view kDownloadDirName = "download";
constexpr std::string_view kLinkMapDirName = "linkmap";
constexpr std::string_view kLogsDirName = "logs";
constexpr std::string_view kLatestRecordName = "latest";
constexpr std::size_t kMaxProjectPath = 260;

// The paths of one project directory and, optionally, one record ("latest" or a backup named by
// its record time). Built once when a run loads its project and read by every thread of the
// run afterwards (never changed then).
struct CProjectPaths {
    std::string downloadDir;        // <project>/download
    std::string linkMapDir;         // <project>/linkmap
    std::string logsDir;            // <project>/logs
    std::string recordDownloadDir;  // <project>/download/<record>
    std::string recordLinkMapDir;   // <project>/linkmap/<record>
    std::string statusLog;          // <project>/logs/<record>
    std::string breakPointFile;     // status log + ".s"
    std::string seenSet;            // status log + ".tmp"
    std::string failureList;        // status log + ".failed": the addresses that failed
    std::string projectLog;         // <project>/project.log
    std::size_t recordDownloadDirLength = 0;
    // False when a path had to be cut to 260 characters; such a set must not be used for a run.
    bool fits = true;
};

// Builds the path set for `projectDir` and `record`; without a record only the three top
// directories and project.log are filled.
CProjectPaths SetRecord(std::string_view projectDir, std::optional<std::string_view> record);

} // namespace torvex
