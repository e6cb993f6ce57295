#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/RunEndCode.h"

namespace torvex {

class CSettingsReader;

constexpr std::string_view kLatestSection = "latest";
constexpr std::string_view kBackupSection = "backup";
// At most this much of the old latest section is carried into the backup section.
constexpr std::size_t kMaxCarriedBody = 10000;
constexpr std::size_t kMaxStartPage = 260;

// The summary of one record as project.log keeps it. A plain value.
struct CRecordInfo {
    std::int64_t RecordTime = -1;   // also the name of a backup record
    std::int64_t StartTime = -1;
    std::int64_t EndTime = -1;
    std::int64_t ElapsedTime = 0;
    int Status = 0;
    std::string StartPage;          // relative to the record's download directory
    std::int32_t TotalFiles = 0;
    std::int32_t Downloaded = 0;
    bool IsLatest = false;
    bool HasRenamedFile = false;
};

// Reads the section the reader stands in: RecordTime (else StartTime), StartTime, Status,
// StartPage (at most 260 characters, "\" separators of older files turned into "/"), EndTime,
// ElapsedTime, TotalFiles, Downloaded, HasRenamedFile.
void ReadRecordInfo(const CSettingsReader& reader, CRecordInfo& info);

// The start of a run: project.log gets a new latest section with RecordTime, StartTime and
// Status (from `values`). An existing latest section is dropped, or with `backupLast` becomes the
// newest backup section; for `runMode` 1 and 2 `values.RecordTime` continues from it, and for
// run mode 1 also ElapsedTime, Downloaded and TotalFiles. False when project.log cannot be
// written. Callers hold the task's RecordLock.
bool BeginRecord(const std::string& projectLog, int runMode, bool backupLast, CRecordInfo& values);

// The end of a run: the latest section is rewritten with the final values; project.log is copied
// to "project.log.bak" before and after. Callers hold the task's RecordLock.
bool WriteTaskRecord(const std::string& projectLog, const CRecordInfo& values);

// Appends "StartPage=<page>\n" to project.log (no lock: an append of one line).
bool AppendStartPage(const std::string& projectLog, std::string_view startPage);

} // namespace torvex
