#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// One section of project.log as found in its text: the name between the brackets and where its
// header line, its body (the line after the header) and its end (the next header, or the end of
// the text) begin.
struct CLogSection {
    std::string name;
    std::size_t header = 0;
    std::size_t body = 0;
    std::size_t end = 0;
};

// The sections of a project.log text, in file order. Text before the first header belongs to
// no section.
std::vector<CLogSection> SplitSections(std::string_view text);

// The record values of one section of `text`.
CRecordInfo SectionRecordInfo(std::string_view text, const CLogSection& section);

// The name a backup section goes by: the text of its RecordTime, else of its StartTime (leading
// and trailing blanks removed, at most `capacity` characters). Empty when neither key is there
// or the value is not a plain decimal number (such a name could reach outside the record
// directories).
std::string SectionRecordName(std::string_view text, const CLogSection& section,
                              std::size_t capacity);

// True for "latest" and for 1 to 10 decimal digits: the names a record can have on disk.
bool IsRecordName(std::string_view name);

// Whether a project.log text is whole: not empty, no NUL byte, ends with a line end, has a
// section header, and every line is a header, a "Key=value" line (a version key may stand
// before the first section), a comment or blank. A rewrite or copy that was cut short fails.
bool IsSoundProjectLog(std::string_view text);

// Where ReadProjectLog took its text from.
enum class ProjectLogSource : int {
    Missing = 0,   // neither file could be read; the text is empty
    Log = 1,       // project.log
    Backup = 2,    // project.log was damaged or empty, "project.log.bak" was sound
};

// Reads project.log, falling back to its ".bak" copy when project.log is missing, damaged or
// empty and the copy is sound. When neither is sound the text of project.log (else the copy) is
// given as it is, so that nothing readable is thrown away.
ProjectLogSource ReadProjectLog(const std::string& projectLog, std::string& text);

// A final rewrite of project.log: a sound previous version is copied to "project.log.bak" (a
// damaged one never overwrites a good copy), the new text replaces the file in one step (it is
// written beside it and renamed over it, so no reader sees half a file), and the result is
// copied to "project.log.bak". False when the new text could not be put in place.
bool RewriteProjectLog(const std::string& projectLog, std::string_view text);

// Reads the section the reader stands in: RecordTime (else StartTime), StartTime, Status,
// StartPage (at most 260 characters, "\" separators of older files turned into "/"), EndTime,
// ElapsedTime, TotalFiles, Downloaded, HasRenamedFile.
void ReadRecordInfo(const CSettingsReader& reader, CRecordInfo& info);

// The start of a run: project.log gets a new latest section with RecordTime, StartTime and
// Status (from `values`). An existing latest section is dropped, or with `backupLast` becomes the
// newest backup section; for `runMode` 1 and 2 `values.RecordTime` continues from it, and for
// run mode 1 also ElapsedTime, Downloaded and TotalFiles. A fresh record's RecordTime is kept
// above every backup's (and above the old latest's when it becomes a backup), because backups
// are named by it: two Starts within one second, or a clock set back, must not give two records
// one name. False when project.log cannot be written. Callers hold the task's RecordLock; the
// project's ProjectLogGuard is taken inside, against other processes' rewrites.
bool BeginRecord(const std::string& projectLog, int runMode, bool backupLast, CRecordInfo& values);

// The end of a run: the latest section is rewritten with the final values (RewriteProjectLog).
// Callers hold the task's RecordLock; the project's ProjectLogGuard is taken inside.
bool WriteTaskRecord(const std::string& projectLog, const CRecordInfo& values);

// Appends "StartPage=<page>\n" to project.log (no lock: an append of one line).
bool AppendStartPage(const std::string& projectLog, std::string_view startPage);

} // namespace torvex
