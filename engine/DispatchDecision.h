#pragma once

#include <cstdint>
#include <string>

#include "url/CUrlEntry.h"

namespace torvex {

// What DispatchThread does with one discovered entry once the decision is taken.
enum class DispatchAction : int {
    Download = 0,   // push at the back of DownloadQueue
    Skip = 1,       // drop it
    Copy = 2,       // push at the back of CopyQueue
    Done = 3,       // already handled by the decision itself
};

// The run's side of the decision: the disk, the parse queue, the counters and the records.
// DispatchThread implements it over its task; tests use a recording fake. Called only from the
// thread that runs DecideEntry.
class IDispatchHost {
public:
    virtual ~IDispatchHost() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // Last-write time in seconds since 1970; -1 when the file cannot be read.
    virtual std::int64_t FileModifiedTime(const std::string& path) = 0;
    virtual bool CopyFromOldRecord(CUrlEntry& entry) = 0;
    virtual void ToParse(const CUrlEntry& entry) = 0;
    virtual void WriteStatusLine(CUrlEntry& entry) = 0;
    // StartPage := directory + file name + extension, appended to project.log, front end told.
    virtual void RecordStartPage(const CUrlEntry& entry) = 0;
    virtual void AddTotalFiles() = 0;
    virtual void AddPassed() = 0;
};

// The settings and times that steer the decision.
struct DispatchContext {
    int updateMode = 0;        // 0 local only, 1 local first, 2 download first
    bool firstPage = false;    // but for the start address, try to download first
    int runMode = 0;           // 0 start or update, 1 resume from break point, 2 by link maps
    std::int64_t startTime = 0;
    std::int64_t recordTime = 0;
};

// Decides fetch, copy or skip for `entry`, which FindInRecords has filled (`found` and
// `foundInLatest` are its results). May clear the entry's Last-Modified text (the next fetch is
// then unconditional), reset Readed, and call the host for copies, parsing and counters.
DispatchAction DecideEntry(CUrlEntry& entry, bool found, bool foundInLatest,
                           const DispatchContext& context, IDispatchHost& host);

// A page is an entry whose kind letter is '1' (or 'S', read back from an old log).
bool IsPageKind(char kind);

// A page whose links the link conversion rewrote, in any of its styles.
bool IsConvertedState(EntryState state);

} // namespace torvex
