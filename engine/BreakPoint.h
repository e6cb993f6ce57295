#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>

#include "url/CUrlEntry.h"

namespace torvex {

class CDownloadTask;

// Lines of the break-point file are read up to this length; longer ones are dropped.
constexpr std::size_t kMaxBreakPointLine = 2000;
constexpr std::size_t kMaxBreakPointNumber = 10;

enum class BreakPointMode : int {
    InFlight = 0,   // the entries the threads held when the task ended (MonitorThread)
    Queued = 1,     // the entries still queued (after the end message, on its own thread)
};

// What the break point of a task holds so far: the lines written in the in-flight mode and the
// URL texts they name, so that the queued mode writes each URL once and, should the in-flight
// file have failed, writes those lines again. Owned by the task; used only by SaveBreakPoint
// when no other thread of the task runs (and read by the end work after that).
struct CBreakPointDraft {
    std::string text;
    std::unordered_set<std::string> keys;
    bool failed = false;   // the last save could not be written
};

// What ReloadBreakPoint found in the file.
struct CBreakPointReload {
    int pushed = 0;          // entries put into DiscoveredQueue
    int lines = 0;           // lines in the file
    bool damaged = false;    // a line that our writer cannot have written, or a cut last line
    bool unpaired = false;   // an entry the seen set does not list: not of the same run
    // A file to resume from; otherwise the resume goes by the link maps, as for a missing one.
    bool Usable() const { return lines > 0 && !damaged && !unpaired; }
};

// One line of the break-point file (with its LF): composed URL, the URL text when it differs
// from the composed URL (without regard to case) else nothing, referrer, start index, level and
// link code, TAB-separated and TAB-terminated.
std::string BreakPointLine(const CUrlEntry& entry);

// Writes the pending entries of an interrupted task into its break-point file, each URL once,
// with the durable writer (a crash or a full disk leaves the previous file whole): the in-flight
// mode writes the file anew; the queued mode writes it again with the queued entries added,
// taking each entry from its queue as it is written (so the queue counts show the progress) and
// putting them all back when the file cannot be written. `afterEntry`, when given, is called
// after each queued entry. False when the file could not be written (the task's draft says so
// too). Called only when no other thread of the task runs.
bool SaveBreakPoint(CDownloadTask& task, BreakPointMode mode,
                    const std::function<void()>& afterEntry = {});

// Puts the entries of the latest record's break-point file into DiscoveredQueue, before the task
// starts (resume). Lines that are malformed, name a start address the project no longer has, are
// refused by the link decision or do not make a URL with local names are skipped. Returns the
// number of entries pushed.
int ReloadBreakPoint(CDownloadTask& task);
// The same, saying also whether the file can be trusted: an empty file, a malformed or cut line,
// or an entry that the record's seen set does not list make it unusable.
CBreakPointReload ReloadBreakPointChecked(CDownloadTask& task);

} // namespace torvex
