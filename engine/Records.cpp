#include "engine/Records.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/AsciiCase.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "project/CProjectPaths.h"
#include "project/ProjectFiles.h"

namespace torvex {

namespace {

constexpr std::string_view kLatest = kLatestRecordName;

std::string ProjectLogPath(const std::string& projectDir) {
    return SetRecord(projectDir, std::nullopt).projectLog;
}

bool IsRecordSection(const CLogSection& section) {
    return EqualsNoCase(section.name, kBackupSection) || EqualsNoCase(section.name, kLatestSection);
}

std::optional<std::int64_t> ParseRecordTime(std::string_view name) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), value);
    if (error != std::errc() || end != name.data() + name.size()) {
        return std::nullopt;
    }
    return value;
}

// The section of record `name` in `sections`, or null.
const CLogSection* FindRecordSection(std::string_view text,
                                     const std::vector<CLogSection>& sections,
                                     std::string_view name) {
    if (name == kLatest) {
        for (const CLogSection& section : sections) {
            if (EqualsNoCase(section.name, kLatestSection)) {
                return &section;
            }
        }
        return nullptr;
    }
    const auto wanted = ParseRecordTime(name);
    if (!wanted) {
        return nullptr;
    }
    for (const CLogSection& section : sections) {
        if (EqualsNoCase(section.name, kBackupSection) &&
            SectionRecordInfo(text, section).RecordTime == *wanted) {
            return &section;
        }
    }
    return nullptr;
}

// Moves a record directory out of the way of another name. A missing directory needs no move;
// a target that exists already is only acceptable when the directory to move is empty (left by
// a start that broke off after creating it), which is then removed instead.
enum class Moved { Nothing, Renamed, RemovedEmpty, Failed };

Moved MoveDirectory(const std::string& from, const std::string& to) {
    if (!DirectoryExists(from)) {
        return Moved::Nothing;
    }
    if (DirectoryExists(to) || FileExists(to)) {
        if (IsEmptyDirectory(from) && RemoveEmptyDirectory(from)) {
            return Moved::RemovedEmpty;
        }
        return Moved::Failed;
    }
    return RenamePath(from, to) ? Moved::Renamed : Moved::Failed;
}

void UndoMove(Moved moved, const std::string& from, const std::string& to) {
    if (moved == Moved::Renamed) {
        RenamePath(to, from);
    } else if (moved == Moved::RemovedEmpty) {
        MakeDirectoryPath(from);
    }
}

// Renames the record directories and log files of `fromName` to those of `toName`: the
// download directory first, then the linkmap directory (a failure there undoes the first), then
// the three log files, whose failures do not matter.
bool RenameRecord(const std::string& projectDir, std::string_view fromName,
                  std::string_view toName) {
    const CProjectPaths from = SetRecord(projectDir, fromName);
    const CProjectPaths to = SetRecord(projectDir, toName);
    if (!from.fits || !to.fits) {
        return false;
    }
    const Moved download = MoveDirectory(from.recordDownloadDir, to.recordDownloadDir);
    if (download == Moved::Failed) {
        return false;
    }
    if (MoveDirectory(from.recordLinkMapDir, to.recordLinkMapDir) == Moved::Failed) {
        UndoMove(download, from.recordDownloadDir, to.recordDownloadDir);
        return false;
    }
    for (const auto& [oldPath, newPath] : {std::pair{from.statusLog, to.statusLog},
                                           std::pair{from.breakPointFile, to.breakPointFile},
                                           std::pair{from.seenSet, to.seenSet},
                                           std::pair{from.failureList, to.failureList}}) {
        if (FileExists(oldPath)) {
            RenamePath(oldPath, newPath);
        }
    }
    return true;
}

// Removes the linkmap tree and the log files of a record; with `withFiles` also its
// download tree. True when all of them are gone.
bool RemoveRecordFiles(const std::string& projectDir, std::string_view name, bool withFiles) {
    const CProjectPaths paths = SetRecord(projectDir, name);
    if (!paths.fits) {
        return false;
    }
    bool gone = true;
    if (withFiles) {
        gone = RemoveTree(paths.recordDownloadDir) && gone;
    }
    gone = RemoveTree(paths.recordLinkMapDir) && gone;
    for (const std::string* file :
         {&paths.statusLog, &paths.breakPointFile, &paths.seenSet, &paths.failureList}) {
        gone = RemoveFileIfExists(*file) && gone;
    }
    return gone;
}

// The common frame of the two record-list commands: the project's running lock is taken for
// the duration, so that no run starts while records go; when a run holds it, its latest record
// is refused. `act` does the work for one record name and says whether it succeeded.
template <typename Act>
CRecordCommandOutcome ForEachRecord(const std::string& projectDir,
                                    const std::vector<std::string>& names, bool& running,
                                    ProjectLock& lock, Act act) {
    CRecordCommandOutcome outcome;
    running = lock.TryAcquire(projectDir) == ProjectLockOutcome::HeldElsewhere;
    std::vector<std::string> seen;
    for (const std::string& name : names) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            continue;
        }
        seen.push_back(name);
        std::string text;
        ReadProjectLog(ProjectLogPath(projectDir), text);
        const std::vector<CLogSection> sections = SplitSections(text);
        if (!IsRecordName(name) || !FindRecordSection(text, sections, name)) {
            outcome.unknown.push_back(name);
        } else if (name == kLatest && running) {
            outcome.refusedRunning.push_back(name);
        } else if (act(name)) {
            outcome.done.push_back(name);
        } else {
            outcome.failed.push_back(name);
        }
    }
    return outcome;
}

} // namespace

bool BackupLatestRecord(const std::string& projectDir, std::string* backupName) {
    if (backupName) {
        backupName->clear();
    }
    const CProjectPaths latest = SetRecord(projectDir, kLatest);
    std::string text;
    ReadProjectLog(latest.projectLog, text);
    const std::vector<CLogSection> sections = SplitSections(text);
    std::string name;
    if (const CLogSection* section = FindRecordSection(text, sections, kLatest)) {
        name = SectionRecordName(text, *section, kMaxBackupNameText);
    }
    if (name.empty()) {
        // Without a usable record time the files themselves tell when the record was made.
        for (const std::string* path :
             {&latest.recordDownloadDir, &latest.recordLinkMapDir, &latest.statusLog}) {
            const std::int64_t time = FileModificationTime(*path);
            if (time >= 0) {
                name = std::to_string(time);
                break;
            }
        }
    }
    if (name.empty()) {
        return true;   // nothing of a latest record exists
    }
    if (!RenameRecord(projectDir, kLatest, name)) {
        return false;
    }
    if (backupName) {
        *backupName = name;
    }
    return true;
}

std::array<std::string, kSearchedRecords> LoadRecordNames(const std::string& projectDir) {
    std::array<std::string, kSearchedRecords> names;
    names[0] = std::string(kLatest);
    std::string text;
    ReadProjectLog(ProjectLogPath(projectDir), text);
    const std::vector<CLogSection> sections = SplitSections(text);
    // The newest backup goes to slot 1. A backup without a usable name takes no slot: the
    // search ends at the first empty one and must not lose the older backups behind it.
    std::size_t slot = 1;
    for (auto section = sections.rbegin(); section != sections.rend(); ++section) {
        if (slot >= kSearchedRecords) {
            break;
        }
        if (EqualsNoCase(section->name, kBackupSection)) {
            std::string name = SectionRecordName(text, *section, 10);
            if (!name.empty()) {
                names[slot++] = std::move(name);
            }
        }
    }
    return names;
}

bool PromoteNewestBackup(const std::string& projectDir) {
    const ProjectLogGuard guard(projectDir);
    const std::string logPath = ProjectLogPath(projectDir);
    std::string text;
    ReadProjectLog(logPath, text);
    const std::vector<CLogSection> sections = SplitSections(text);
    const CLogSection* last = nullptr;
    for (const CLogSection& section : sections) {
        if (IsRecordSection(section)) {
            last = &section;
        }
    }
    if (!last || !EqualsNoCase(last->name, kBackupSection)) {
        return false;
    }
    const std::string name = SectionRecordName(text, *last, kMaxBackupNameText);
    // The files move first: a header that says "latest" over files that kept their backup
    // names would lose them from every record.
    if (name.empty() || !RenameRecord(projectDir, name, kLatest)) {
        return false;
    }
    std::string out = text.substr(0, last->header);
    out += "[" + std::string(kLatestSection) + "]\n";
    out += text.substr(last->body);
    return RewriteProjectLog(logPath, out);
}

bool DeleteRecordSection(const std::string& projectDir, std::string_view name) {
    const ProjectLogGuard guard(projectDir);
    const std::string logPath = ProjectLogPath(projectDir);
    std::string text;
    ReadProjectLog(logPath, text);
    const std::vector<CLogSection> sections = SplitSections(text);
    const CLogSection* section = FindRecordSection(text, sections, name);
    if (!section) {
        return false;
    }
    std::string out = text.substr(0, section->header);
    if (name != kLatest) {
        out += text.substr(section->end);
    }
    return RewriteProjectLog(logPath, out);
}

CRecordCommandOutcome DeleteRecords(const std::string& projectDir,
                                    const std::vector<std::string>& names) {
    bool running = false;
    ProjectLock lock;
    CRecordCommandOutcome outcome =
        ForEachRecord(projectDir, names, running, lock, [&](const std::string& name) {
            // The section stays when files could not be removed, so that the record can be
            // deleted again later.
            return RemoveRecordFiles(projectDir, name, true) &&
                   DeleteRecordSection(projectDir, name);
        });
    if (running) {
        // The run owns the latest record and may be about to write its section.
        return outcome;
    }
    outcome.promoted = PromoteNewestBackup(projectDir);
    if (!outcome.done.empty() && ReadRecordList(projectDir).empty()) {
        outcome.projectFilesRemoved = DeleteProjectFiles(projectDir, false);
    }
    return outcome;
}

CRecordCommandOutcome DeleteRecordLogs(const std::string& projectDir,
                                       const std::vector<std::string>& names) {
    bool running = false;
    ProjectLock lock;
    return ForEachRecord(projectDir, names, running, lock, [&](const std::string& name) {
        return RemoveRecordFiles(projectDir, name, false);
    });
}

std::vector<CRecordInfo> ReadRecordList(const std::string& projectDir) {
    std::string text;
    ReadProjectLog(ProjectLogPath(projectDir), text);
    std::vector<CRecordInfo> records;
    for (const CLogSection& section : SplitSections(text)) {
        if (IsRecordSection(section)) {
            records.push_back(SectionRecordInfo(text, section));
        }
    }
    return records;
}

std::string RecordName(const CRecordInfo& record) {
    return record.IsLatest ? std::string(kLatest) : std::to_string(record.RecordTime);
}

} // namespace torvex
