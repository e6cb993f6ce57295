#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Character references in attribute values ("&amp;", "&#120;", "&#x2F;", "&eacute;"), read the
// way browsers read them, so that an address is fetched as a browser would ask for it. Free
// functions; any thread.

namespace torvex {

// Decodes the character references of the attribute value `in` into `out` (cleared first), as
// a browser's tokenizer does inside an attribute: decimal and hexadecimal references with or
// without their ";" (0, surrogates and values beyond U+10FFFF become U+FFFD, 0x80 to 0x9F are
// read as Windows-1252), and named references: those of Latin-1, the HTML 4 specials and the
// ASCII punctuation names. A name without its ";" counts only for the legacy names and not when
// "=" or a letter or digit follows it. Anything else, unknown names included, stays as written.
// Characters are written as UTF-8; `out` is never longer than `in`.
//
// `rawStart`, when given, receives out.size() + 1 offsets: for each byte of `out` where the text
// it came from begins in `in`, and in.size() at the end, so that a range of the decoded text
// maps back to the range of the value as written.
void DecodeCharacterReferences(std::string_view in, std::string& out,
                               std::vector<std::uint32_t>* rawStart = nullptr);

// True when `text` holds an "&" that DecodeCharacterReferences would read as a reference.
bool HasCharacterReference(std::string_view text);

} // namespace torvex
