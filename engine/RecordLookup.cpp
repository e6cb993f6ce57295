#include "engine/RecordLookup.h"

#include <string>

#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CRunData.h"
#include "engine/DispatchDecision.h"
#include "engine/StatusLine.h"
#include "platform/FileSystem.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

std::string RecordPath(const std::string& topDir, const std::string& record, const CUrlEntry& entry) {
    std::string path = topDir + "/" + record + "/" + entry.localDir + entry.fileName;
    CutTo(path, kMaxLocalPath);
    return path;
}

} // namespace

bool FindInRecords(CDownloadTask& task, CUrlEntry& entry, bool& foundInLatest) {
    foundInLatest = false;
    for (const std::string& record : task.RecordNames()) {
        if (record.empty()) {
            break;
        }
        const bool latest = record == kLatestRecordName;
        std::string line;
        std::int64_t offset = -1;
        if (latest) {
            // The running task's own log answers from its index, which also knows the lines
            // written in this run.
            if (!task.StatusLog().Find(entry.urlText, offset, line)) {
                continue;
            }
        } else {
            offset = RunDataOf(task).backupLogs.Find(task.Paths().logsDir + "/" + record,
                                                     entry.urlText, line);
            if (offset < 0) {
                continue;
            }
        }
        CStatusFields fields;
        if (!ParseStatusLine(line, entry.urlText.size(), fields)) {
            continue;   // a damaged line is as good as none
        }
        foundInLatest = latest;
        entry.foundStoredPath = RecordPath(task.Paths().downloadDir, record, entry);
        entry.foundLinkMapPath = RecordPath(task.Paths().linkMapDir, record, entry);
        if (latest) {
            entry.logOffset = static_cast<std::int32_t>(offset);
        }
        entry.kind = fields.kind;
        entry.state = fields.state;
        entry.nameLetter = fields.nameLetter;
        entry.extension.clear();
        if (fields.kind == EntryKind::Page) {
            entry.extension = StoredNameSuffix(fields.nameLetter);
            entry.foundStoredPath += entry.extension;
            entry.foundLinkMapPath += LinkMapSuffix(fields.nameLetter);
        }
        entry.lastModified = fields.lastModified;
        entry.readed = fields.readed;
        entry.total = fields.state == EntryState::Complete ? fields.readed : fields.total;
        return true;
    }
    return false;
}

bool CopyFromOldRecord(CDownloadTask& task, const CUrlEntry& entry) {
    const CProjectPaths& paths = task.Paths();
    std::string target;
    if (!StoredPath(paths.recordDownloadDir, entry.localDir, entry.fileName, entry.extension,
                    target)) {
        return false;
    }
    if (entry.foundStoredPath != target) {
        MakeParentDirectory(target);
        if (!CopyFileOver(entry.foundStoredPath, target)) {
            return false;
        }
    }
    if (!IsPageKind(entry.kind)) {
        return true;
    }
    const std::string linkMap = LinkMapPath(paths.recordLinkMapDir, entry);
    if (entry.foundLinkMapPath == linkMap) {
        return true;
    }
    MakeParentDirectory(linkMap);
    return CopyFileOver(entry.foundLinkMapPath, linkMap);
}

void ToCopy(CDownloadTask& task, const CUrlEntry& entry) {
    task.CopyQueue().PushBack(entry);
    task.CopyWork().Signal();
}

void ToParse(CDownloadTask& task, const CUrlEntry& entry) {
    task.ParseQueue().PushBack(entry);
    task.ParseWork().Signal();
}

} // namespace torvex
