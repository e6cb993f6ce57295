#pragma once

#include <string>
#include <string_view>

#include "url/CUrlEntry.h"

namespace torvex {

class CDownloadTask;

enum class EnqueueResult : int {
    Enqueued = 0,
    Skipped = 1,   // refused by a rule, not a valid URL, too long to store, or seen before
    Error = 2,     // the seen set failed; the run has been told to end (206)
};

// The level a link found on a page of `pageLevel` gets: one deeper for anchors, areas and
// options, the page's own for everything the page is made of.
int LinkLevel(int pageLevel, int linkCode);

// Makes a queue entry of link `text` (an absolute address, as a link map has it) found on
// `page` with tag code `linkCode`: applies the level and link filters, forms the local names,
// enters it in the seen set and puts it onto DiscoveredQueue (at the front when it stays on the
// page's level, so a page's parts are decided before the next level's pages). Any thread. The
// caller wakes the dispatcher (DispatchWork) once it has offered the links of its page: one
// wake for a page rather than one for each of its links.
EnqueueResult EnqueueLink(CDownloadTask& task, const CUrlEntry& page, std::string_view text,
                          int linkCode);

// The same for a link whose address, local names, level and referrer are already worked out
// (the page parser's). `urlText` is the entry's key (EntryUrlText of `url`).
EnqueueResult EnqueueResolved(CDownloadTask& task, const CUrl& url, std::string urlText,
                              std::string localDir, std::string fileName, int level,
                              int pageLevel, int linkCode, int startIndex,
                              std::string_view referrer);

// Re-reads the links of a page taken over from an older record from its link map (the path
// FindInRecords set) and enqueues each as EnqueueLink does. False when the map cannot be read.
bool EnqueueFromLinkMap(CDownloadTask& task, const CUrlEntry& page);

// Builds the entry for `url` with its URL text and local names; false when the URL is not
// valid or its local path would be too long.
bool MakeEntry(CDownloadTask& task, const CUrl& url, CUrlEntry& entry);

} // namespace torvex
