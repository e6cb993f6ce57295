#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "url/CUrlEntry.h"

namespace torvex {

// The date column of a status line is padded to this width; a longer Last-Modified text (up to
// 64 characters) is written whole.
constexpr std::size_t kStatusDateWidth = 39;
constexpr std::size_t kStatusNumberWidth = 12;
// The largest Readed or Total the column holds; larger ones are written as 0 and -1.
constexpr std::int64_t kMaxStatusNumber = 999999999999;
// Offsets counted from the end of the URL text.
constexpr std::size_t kStatusKindOffset = 1;
constexpr std::size_t kStatusStateOffset = 3;
constexpr std::size_t kStatusNameOffset = 5;
constexpr std::size_t kStatusDateOffset = 7;

// One line of a status log, without its LF: URL text, TAB, kind, TAB, state and a blank, name
// letter, TAB, Last-Modified padded to `dateWidth` (or to 39 when 0), TAB, Readed and Total each
// left-justified in 12, TAB. A `dateWidth` other than 0 also cuts a longer date, so a rewrite
// can keep the width of the line it replaces.
std::string FormatStatusLine(const CUrlEntry& entry, std::size_t dateWidth = 0);

// What a status line says about its URL.
struct CStatusFields {
    char kind = '0';
    EntryState state = EntryState::Initial;
    char nameLetter = '0';
    std::string lastModified;   // trailing blanks removed
    std::int64_t readed = 0;
    std::int64_t total = -1;
};

// Reads the fields of `line` (the whole line from its URL on) given the URL's length. False when
// the line is too short to hold the fixed columns.
bool ParseStatusLine(std::string_view line, std::size_t urlLength, CStatusFields& fields);

} // namespace torvex
