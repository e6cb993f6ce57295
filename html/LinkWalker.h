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

    // One link, in page order: `tagCode` is its link code (CTagTable), `linkText` the address as
    // a browser reads it (character references decoded; javascript: prefix, quotes, fragment
    // and escaped quotes taken off; tab, CR and LF read as spaces). A "javascript:" value
    // without an address in it is visited whole, so that it keeps its place in the count. A
    // base tag's href is visited too, with the base tag's code. Return true to write
    // `replacement` (empty on entry) in place of the link text; false keeps it.
    virtual bool VisitLink(int tagCode, std::string_view linkText, std::string& replacement) = 0;
};

// One pass over `text`: every byte goes to `out` unchanged except the link texts that the
// visitor rewrites (escaped where the place they stand in needs it), the "javascript:" prefix of
// an address in a script call (written in lower case), and a "!" put in front of a base tag's
// href so that browsers ignore the stored base. The tags of the tag table are read for their
// links, the style attribute of any tag and the content of style elements for their url()
// values and imports, and srcset lists candidate by candidate. A tag whose text runs over 1024
// characters, or that ends nowhere, is copied unchanged without visiting its links. `out` is
// appended to; `text` may hold any bytes. `maxTagText` moves that bound: the link conversion
// reads pages whose tags grew when their links were rewritten.
void WalkLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
               std::size_t maxTagText = kMaxTagText);

// True when `text` can stand for an address where script code is around it: not empty, and
// without blanks, control bytes, quotes, brackets, braces, angle brackets, backquotes or
// backslashes, and neither beginning nor ending with "+" (what is left of a concatenation such
// as '<img src="' + path + '">' is no address).
bool IsPlainAddress(std::string_view text);

} // namespace torvex
