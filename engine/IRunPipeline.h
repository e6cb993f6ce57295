#pragma once

#include <string_view>

namespace torvex {

class CDownloadTask;

// The per-entry work of a run, kept apart from the run controller: seeding the start addresses,
// the link decision, and the bodies of DispatchThread, ParseThread, CopyThread and the download
// workers, plus the record and cookie steps that StartThread and the end sequence call. The run
// controller starts the threads, sets and clears a worker's Alive flag around its body, signals
// the done events after the helper bodies return, and catches anything a body throws.
//
// One pipeline object serves every task of the process; its methods get the task and must keep
// their state there. Contracts with the run controller:
// - DispatchThread, ParseThread, CopyThread return once the task's Stopping flag is set (they
//   wait on their work events with time-outs), and set their busy flag before taking an entry.
// - DownloadWorker returns once its slot's Abort flag is set; it clears the slot's Idle flag
//   before it takes an entry and sets it again only when DownloadQueue gave it none; it waits
//   for work on the workers' event; while it resolves a name (State 1) it notices Abort within a
//   few hundred milliseconds, so that "stop this thread" never has to kill it.
class IRunPipeline {
public:
    virtual ~IRunPipeline() = default;

    // Without credentials: counts the start addresses whose local path can be formed (the
    // validation pass before a start). With them: seeds DiscoveredQueue. The number of entries,
    // or -1 on a seen-set failure or an unparsable start address.
    virtual int SeedStartAddresses(CDownloadTask& task, bool withCredentials) = 0;
    // Whether a link found under start address `startIndex` at `level` becomes a download.
    virtual bool LinkAcceptance(CDownloadTask& task, std::string_view composed, int level,
                                int linkCode, int startIndex) = 0;

    virtual void DispatchThread(CDownloadTask& task) = 0;
    virtual void ParseThread(CDownloadTask& task) = 0;
    virtual void CopyThread(CDownloadTask& task) = 0;
    virtual void DownloadWorker(CDownloadTask& task, int slotIndex) = 0;

    // Turns the latest record into a backup record before a Start with BackupLast; false fails
    // the start (104). The default renames the record on disk (Records.h).
    virtual bool BackupLatestRecord(CDownloadTask& task);
    // Fills the task's list of record names searched for older copies (slot 0 is "latest"):
    // by default the nine newest backups of project.log.
    virtual void LoadRecordNames(CDownloadTask& task);
    // The cookie jar of the project, read at the start and written at the end of a run.
    virtual void LoadCookies(CDownloadTask& task);
    virtual void SaveCookies(CDownloadTask& task);
};

} // namespace torvex
