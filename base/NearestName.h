#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace torvex {

// How far apart two names are: the number of single-character insertions, deletions,
// replacements and swaps of neighbours that turn one into the other, without regard to ASCII
// case ("Levle" and "level" are 1 apart).
std::size_t NameDistance(std::string_view a, std::string_view b);

// The candidate that `typed` most likely misspells, or empty when none is close enough: the
// nearest by NameDistance when it is at most a third of the longer name's length (and at least
// 1 apart is always close enough for names of three or more characters), the first on ties.
std::string_view NearestName(std::string_view typed, std::span<const std::string_view> candidates);

} // namespace torvex
