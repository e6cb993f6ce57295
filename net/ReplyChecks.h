#pragma once

#include <cstdint>
#include <string_view>

namespace torvex {

// A partial reply (206) whose Content-Range does not continue the stored bytes, or is missing:
// nothing is stored, and the next try has to fetch the whole file (CMyException, no class,
// code 0).
constexpr std::string_view kOpBadRange = "BadRange";

// The checks an HTTP reply must pass before its body may be stored: a status code that is one,
// and for a partial reply (206) a range that continues what is stored.

// Three digits of 100..599: the codes HTTP has. Anything else ("999", "000", "2x0") is no
// answer to act on.
bool IsStatusCode(std::string_view status);

// A Content-Range value "bytes FIRST-LAST/TOTAL" (TOTAL may be "*" when unknown), blanks allowed
// around the parts.
struct CContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;   // -1: not given
};
// True with the numbers when the value is such a range with FIRST <= LAST and, when TOTAL is
// given, LAST < TOTAL; false for anything else (other units, several ranges, "*/TOTAL").
bool ParseContentRange(std::string_view value, CContentRange& range);

// Where the body of a 206 reply belongs, for a request that asked for the bytes from `asked`
// on (0: it asked for no range): at `asked` when the range begins there, at 0 (the file is
// written anew) when it begins at the file's first byte. `length` is the body's length. False
// when the range begins anywhere else, or ends before the file does: such a body would be
// spliced into the wrong place or leave the file short.
bool PartialReplyPlace(const CContentRange& range, std::int64_t asked, std::int64_t& offset,
                       std::int64_t& length);

} // namespace torvex
