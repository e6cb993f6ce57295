#pragma once

#include <string>
#include <string_view>

#include "html/CAttrList.h"

namespace torvex {

// What the tag walker asks of its user for every link it meets. The page parser resolves,
// records and rewrites links with it; the link conversion re-reads stored pages with the same
// walker, so both meet the same links in the same order.
class ILinkVisitor {
public:
    virtual ~ILinkVisitor() = default;

    // Polled before each tag; true ends the walk, and the rest of the page is copied unchanged.
    virtual bool StopRequested() = 0;

    // One link, in page order: `tagCode` is the row of the tag table, `linkText` the address as
    // written (javascript: prefix, quotes, fragment and escaped quotes already taken off; tab, CR
    // and LF read as spaces). A base tag's href is visited too, with the base tag's code. Return
    // true to write `replacement` (empty on entry) in place of the link text; false keeps it.
    virtual bool VisitLink(int tagCode, std::string_view linkText, std::string& replacement) = 0;
};

// One pass over `text`: every byte goes to `out` unchanged except the link texts that the
// visitor rewrites, the "javascript:" prefix of a link (written in lower case), and a "!" put in
// front of a base tag's href so that browsers ignore the stored base. Only the tags of the tag
// table are looked at; a tag whose text runs over 1024 characters, or that ends nowhere, is
// copied unchanged without visiting its links. `out` is appended to; `text` may hold any bytes.
// `maxTagText` moves that bound: the link conversion reads pages whose tags grew when their
// links were rewritten.
void WalkLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
               std::size_t maxTagText = kMaxTagText);

} // namespace torvex
