#pragma once

#include "url/CUrlEntry.h"

namespace torvex {

class CDownloadTask;

// Looks the entry's URL text up in the status logs of the task's records, "latest" first and
// then the backups from the newest. When found, fills the entry's kind, state and name letters,
// extension, Last-Modified, Readed, Total, the stored-file and link-map paths in that record and,
// for "latest", the log offset; `foundInLatest` tells which. Any thread of the task.
bool FindInRecords(CDownloadTask& task, CUrlEntry& entry, bool& foundInLatest);

// Copies the file FindInRecords found (and, for a page, its link map) into the latest record,
// creating directories as needed. True when there was nothing to copy or everything was copied.
bool CopyFromOldRecord(CDownloadTask& task, const CUrlEntry& entry);

// Hands a copy of the entry to ParseThread.
void ToParse(CDownloadTask& task, const CUrlEntry& entry);
// Hands a copy of the entry to CopyThread, which takes its file over from an older record.
void ToCopy(CDownloadTask& task, const CUrlEntry& entry);

} // namespace torvex
