#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "url/CUrl.h"

namespace torvex {

constexpr std::size_t kMaxReferrer = 512;
constexpr std::size_t kMaxEntryUrlText = 522;   // a URL text with "index.html" appended
constexpr std::size_t kMaxLocalPath = 260;       // local directory, file name, full paths
constexpr std::size_t kMaxLastModified = 64;
constexpr std::size_t kMaxExtension = 12;

// Where an entry stands, as the letter its status-log line carries. A letter read back from a
// log is kept as it is, whatever it is.
enum class EntryState : char {
    Initial = '0',       // nothing stored whole yet: a body being received or broken off
    Complete = '1',      // stored (a page: parsed, or converted to local links under its name)
    Stored = '2',        // a page stored in this run whose links are not read yet
    Parsing = '3',       // a page being parsed
    NotModified = '4',   // a page answered 304 Not Modified, taken over from an older record
    ConvertedAbsolute = '5',       // a page converted: links to files not held made absolute
    TakenOver = '6',               // taken over from an older record after its links changed
    ConvertedLocalHtml = '7',      // a page converted: local links, ".html" appended to names
    ConvertedAbsoluteHtml = '8',   // a page converted: absolute links, ".html" appended
};

// The letter of `state` in a status-log line.
constexpr char StateLetter(EntryState state) { return static_cast<char>(state); }
// Kind letters.
namespace EntryKind {
constexpr char Other = '0';
constexpr char Page = '1';
}
// Name letters: how a page got its local name.
namespace NameLetter {
constexpr char OwnName = '0';        // not a page, or a page with an HTML name
constexpr char PageOwnName = '1';    // page without an HTML name, stored under its own name
constexpr char RenamedLater = '2';   // page renamed later with ".html" appended
constexpr char HtmlAppended = '3';   // page stored with ".html" appended from the start
constexpr char CssAppended = '4';    // style sheet stored with ".css" appended from the start
}

// One URL in the crawl engine. A plain value: every hand-over between queues and threads is a
// copy, so no two threads ever share an entry. Writers cut outside texts to the capacities
// above with AssignCut (base/BoundedText.h).
struct CUrlEntry {
    CUrl url;
    std::string referrer;          // URL text of the linking page; empty for start addresses
    std::string urlText;           // key of the seen set and the status log (EntryUrlText)
    std::string localDir;          // host directory and path, "/" separated, ends in "/"
    std::string fileName;
    std::string lastModified;      // from the response header
    std::int32_t level = 0;        // start addresses are level 1
    EntryState state = EntryState::Initial;
    std::int64_t readed = 0;       // bytes stored so far
    std::int64_t total = -1;       // expected size, -1 when not known
    char kind = EntryKind::Other;
    char nameLetter = NameLetter::OwnName;
    bool baseFromReferrer = false; // a script file's links resolve against the including page
    std::string foundStoredPath;   // stored file in the record where it was found (261)
    std::string foundLinkMapPath;  // its link map there (261)
    std::int32_t logOffset = -1;   // position of the entry's line in the status log
    std::int32_t startIndex = 0;   // which start address the entry descends from
    std::string extension;         // "", ".html" or ".css" (StoredNameSuffix of the name letter)
    std::int32_t linkCode = -1;    // tag code of the link; -1 for start addresses
    // Failed tries so far, kept when a worker hands the entry back to the queue to wait for a
    // busy host; and how many busy replies with a wait (429, 503) it got. Never stored.
    std::int32_t tries = 0;
    std::int32_t busyReplies = 0;
};

// The URL text of an entry: the composed URL, with "index.html" appended when the path has no
// file name, so that ".../dir/" and ".../dir/index.html" are one entry. A path whose last
// segment begins with "~" is a directory too; it gets "/index.html", so the text still parses
// back to the address whose local file it names. Cut to kMaxEntryUrlText.
std::string EntryUrlText(const CUrl& url);

} // namespace torvex
