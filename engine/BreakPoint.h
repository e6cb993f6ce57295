#pragma once

#include <cstddef>
#include <functional>
#include <string>

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

// One line of the break-point file (with its LF): composed URL, the URL text when it differs
// from the composed URL (without regard to case) else nothing, referrer, start index, level and
// link code, TAB-separated and TAB-terminated.
std::string BreakPointLine(const CUrlEntry& entry);

// Writes the pending entries of an interrupted task into its break-point file, each URL once:
// the in-flight mode creates the file and its dedupe file anew; the queued mode appends, and
// removes each entry from its queue once it is written (so the queue counts show the progress),
// then deletes the dedupe file; `afterEntry`, when given, is called after each queued entry.
// Called only when no other thread of the task runs.
void SaveBreakPoint(CDownloadTask& task, BreakPointMode mode,
                    const std::function<void()>& afterEntry = {});

// Puts the entries of the latest record's break-point file into DiscoveredQueue, before the task
// starts (resume). Lines that are malformed, name a start address the project no longer has, are
// refused by the link decision or do not make a URL with local names are skipped. Returns the
// number of entries pushed.
int ReloadBreakPoint(CDownloadTask& task);

} // namespace torvex
