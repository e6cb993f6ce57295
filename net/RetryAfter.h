#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace torvex {

// The instant an HTTP-date names, in seconds since 1970 (UTC). Takes the three forms servers
// send: "Sun, 06 Nov 1994 08:49:37 GMT", the obsolete "Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994". A two-digit year is the one nearest `now` that is not more than
// 50 years after it. Nothing for any other text, or a day, hour or minute out of range.
std::optional<std::int64_t> ParseHttpDate(std::string_view text, std::int64_t now);

// How many seconds a Retry-After value asks to wait, read against `now` (seconds since 1970,
// ideally the reply's own Date, so that a server clock that is off does not matter): a number of
// seconds as it stands, a date as the seconds from `now` to it (0 for a date that has passed).
// Nothing for anything else: signs, fractions, words, numbers too large to hold.
std::optional<std::int64_t> RetryAfterSeconds(std::string_view value, std::int64_t now);

// The wait a busy reply (429, 503) asks for, from its Retry-After and Date values: a date is
// read against the reply's own Date when that is one, else against `now`, so a server whose
// clock is off still gets the wait it meant. -1 when there is no usable Retry-After.
std::int64_t BusyReplyWait(std::string_view retryAfter, std::string_view date, std::int64_t now);

} // namespace torvex
