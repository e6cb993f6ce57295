#pragma once

#include <string>
#include <string_view>

#include "html/LinkWalker.h"
#include "html/PageParser.h"

namespace torvex {

// True for a file name that ends in ".css" (any case): a style sheet, whose links are read by
// CssParser rather than the page parser.
bool IsStyleSheetName(std::string_view fileName);

// The scan of a style sheet on its own: every "url(...)" (tag code 1, as an image) and every
// quoted "@import" (tag code 12) is handed to `visitor` in sheet order, except empty values,
// values over 512 characters and "data:" addresses, which stay as written. The page parser and
// the link conversion both read sheets with it, so they meet the same links in the same order.
// `out` is appended to; outside rewritten values it is the input byte for byte.
void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor);

// Reads the links of a stored style sheet in one pass: every "url(...)" (images, fonts) and
// every quoted "@import" is resolved against the sheet's address, written to `linkMap`,
// rewritten in place to the relative local address of its file, and offered to the engine on
// the sheet's own level (url() as an image, @import as a linked file). "data:" addresses and
// anything that does not parse stay as written. Outside the rewritten values `out` is the
// input byte for byte. Same contract and thread as PageParser.
void CssParser(const CPageInfo& sheet, std::string_view text, std::string& out,
               std::string& linkMap, IFoundLinkSink& sink);

} // namespace torvex
