#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "url/CUrl.h"

namespace torvex {

// The page being parsed, as the crawl engine knows it from the page's queue entry.
struct CPageInfo {
    CUrl url;                  // the page's own address: the base until a base tag says otherwise
    std::string localDir;      // its local directory, relative to the record's download directory
    std::int32_t level = 1;
    std::int32_t linkCode = -1;   // tag code of the link the page was found by; 5: a script file
    std::string referrer;      // composed address of the page that linked to it
};

// One link that the parser hands to the engine. The views are valid during the call only.
struct CFoundLink {
    const CUrl& url;             // the resolved address
    std::string_view composed;   // its composed text, as the link map has it
    std::string_view localDir;   // where it is (or would be) stored, from IFoundLinkSink
    std::string_view fileName;
    std::int32_t level;          // the page's level, one deeper for anchors, areas and options
    int tagCode;
    std::string_view referrer;   // the page's address; for a script file, the including page's
};

// The crawl engine as the page parser sees it: it names local files and decides what becomes a
// download. Implemented by the engine for each run; called on the parse thread only.
class IFoundLinkSink {
public:
    virtual ~IFoundLinkSink() = default;

    // The local directory ("/" separated, ending in "/") and file name at which `url` is or
    // would be stored. False when that path is too long to be stored; the names, when given,
    // are still used to rewrite the link.
    virtual bool LocalNamesFor(const CUrl& url, std::string& localDir, std::string& fileName) = 0;

    // A link whose local path fits. The engine forms the entry's URL text, applies the link
    // filters and the seen set, and queues it: same-level links at the front, deeper ones at the
    // back. A failure to record it is the engine's to report (it stops the run).
    virtual void OfferLink(const CFoundLink& link) = 0;

    // A link whose local path does not fit (LocalNamesFor said false): it is not fetched; the
    // engine lists it as not stored when its filters would have taken it. Default: nothing.
    virtual void OfferUnstorableLink(const CFoundLink& link);

    // True once the run is stopping: the parser then copies the rest of the page unchanged.
    virtual bool StopRequested() = 0;
};

// Reads every link of a stored page in one pass. Each link is resolved against the page's base,
// written to `linkMap` (one line per link in page order; a script file's map begins with the
// including page's base line), rewritten in the page to the relative local address of its file,
// and offered to the engine. `out` receives the whole rewritten page (it is cleared first and
// sized once); outside rewritten link texts it is byte for byte the input. Any bytes are safe
// in `text`. Runs on the engine's parse thread, one page at a time.
void PageParser(const CPageInfo& page, std::string_view text, std::string& out,
                std::string& linkMap, IFoundLinkSink& sink);

class ILinkVisitor;

// How the links of a text are met: the tag walk of pages, or the scan of a style sheet.
using LinkWalk = void (*)(std::string_view text, std::string& out, ILinkVisitor& visitor);

// PageParser with another walk over the text: each link `walk` meets is resolved, recorded,
// rewritten and offered exactly as a page's.
void ParseLinksWith(LinkWalk walk, const CPageInfo& page, std::string_view text,
                    std::string& out, std::string& linkMap, IFoundLinkSink& sink);

} // namespace torvex
