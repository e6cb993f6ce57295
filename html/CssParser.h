#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "html/LinkWalker.h"
#include "html/PageParser.h"

namespace torvex {

// True for a file name that ends in ".css" (any case): a style sheet, whose links are read by
// CssParser rather than the page parser.
bool IsStyleSheetName(std::string_view fileName);

// One address in style-sheet text: [start, end) is the address without its fragment.
struct CStyleLink {
    std::size_t start = 0;
    std::size_t end = 0;
    bool import = false;   // named by @import (quoted, or as url()), else a url() elsewhere
};

// Finds the next address of style-sheet text at or after `pos`: every "url(...)" and every
// "@import" string, outside comments. Values that name nothing to fetch are passed over: empty
// ones, ones over 512 characters, fragments of the sheet itself ("#clip"), and other schemes
// ("data:", ...). On true `pos` is past the value; false when there is none left.
bool NextStyleSheetLink(std::string_view text, std::size_t& pos, CStyleLink& link);

// Appends `address` as it may stand in a url() value, quoted or not: blanks, quotes,
// parentheses and backslashes are percent-encoded (a local file name may hold them).
void AppendStyleSheetUrl(std::string& out, std::string_view address);

// The scan of style-sheet text on its own: every address NextStyleSheetLink finds is handed to
// `visitor` in order, url() values with `urlCode` and imported sheets with `importCode`, and
// written back as the visitor says (AppendStyleSheetUrl). The page parser and the link
// conversion both read sheets with it, so they meet the same links in the same order. `out` is
// appended to; outside rewritten values it is the input byte for byte.
void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
                         int urlCode, int importCode);
// A style-sheet file: url() values as images (tag code 1), imports as linked files (12).
void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor);

// Reads the links of a stored style sheet in one pass: every "url(...)" (images, fonts) and
// every "@import" is resolved against the sheet's address, written to `linkMap`, rewritten in
// place to the relative local address of its file, and offered to the engine on the sheet's own
// level (url() as an image, @import as a linked file). Same contract and thread as PageParser.
void CssParser(const CPageInfo& sheet, std::string_view text, std::string& out,
               std::string& linkMap, IFoundLinkSink& sink);

} // namespace torvex
