#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ProjectLog.h"

namespace torvex {

constexpr std::size_t kSearchedRecords = 10;   // "latest" and the nine newest backups
constexpr std::size_t kMaxBackupNameText = 20;

// The texts of the two record-list commands' questions.
constexpr std::string_view kDeleteRecordsQuestion =
    "The selected records and related files will be deleted. Are you sure?";
constexpr std::string_view kDeleteLogsQuestion =
    "The logs and linkmap files of the selected records will be deleted. Are you sure?";

// The records of a project directory and the maintenance on them: the backup of the latest
// record before a Start, the list of records a run searches for older copies, and the deletion
// of records, of their logs and of a project's files. Every function takes the project
// directory, so the desktop program and torvex-cli can call them without a task; none throws.
//
// Callers: StartThread of a run (BackupLatestRecord, LoadRecordNames, holding the project's
// running lock), and the front ends' record commands on their own thread (the rest). The
// record-list commands (DeleteRecords, DeleteRecordLogs) find out from the running lock whether
// a run of the project is going on, in this process or another. Every rewrite of project.log
// holds the project's ProjectLogGuard, so a run ending in one process and a deletion in another
// never lose each other's change.

// Renames the latest record's download and linkmap directories, status log, break-point file
// and seen set to the names of a backup record, named by the latest section's RecordTime (else
// StartTime, else the modification time of the latest record's files). A project with nothing
// to back up succeeds without renaming. False, with the directories as they were, when a
// directory could not be renamed (the start then fails). `backupName`, when given, receives the
// name used (empty when nothing was renamed).
bool BackupLatestRecord(const std::string& projectDir, std::string* backupName = nullptr);

// The record names a run searches: slot 0 "latest", slots 1..9 the nine newest backups, newest
// first (a backup whose section gives no usable name is passed over); unused slots are empty.
std::array<std::string, kSearchedRecords> LoadRecordNames(const std::string& projectDir);

// When the last record section of project.log is a backup, it becomes the latest record: its
// directories and log files get the "latest" names and its header is rewritten. True when a
// backup was promoted.
bool PromoteNewestBackup(const std::string& projectDir);

// Removes the section of record `name` ("latest" or a RecordTime) from project.log. False when
// there is no such section or project.log could not be written.
bool DeleteRecordSection(const std::string& projectDir, std::string_view name);

// What a record-list command did, name by name.
struct CRecordCommandOutcome {
    std::vector<std::string> done;
    std::vector<std::string> refusedRunning;   // the latest record of a running project
    std::vector<std::string> unknown;          // no such record in project.log
    std::vector<std::string> failed;           // files that could not be removed
    bool promoted = false;                     // a backup became the latest record
    bool projectFilesRemoved = false;          // no record was left
};

// Deletes the records `names` (each "latest" or a RecordTime): their directory trees, log
// files and sections. Afterwards the newest backup is promoted when the latest record went,
// and when no record is left the project's files are deleted (project.conf stays). The latest
// record of a running project is refused; while a run goes on nothing is promoted or removed
// beyond the backups named.
CRecordCommandOutcome DeleteRecords(const std::string& projectDir,
                                    const std::vector<std::string>& names);

// Deletes the linkmap directory tree, status log, break-point file and seen set of the records
// `names`; their stored files and sections stay. The same refusal as DeleteRecords.
CRecordCommandOutcome DeleteRecordLogs(const std::string& projectDir,
                                       const std::vector<std::string>& names);

// The records project.log lists, in file order (oldest backup first, latest last).
std::vector<CRecordInfo> ReadRecordList(const std::string& projectDir);

// The name a record is known by: "latest" or its RecordTime in decimal.
std::string RecordName(const CRecordInfo& record);

} // namespace torvex
