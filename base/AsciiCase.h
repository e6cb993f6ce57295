#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Comparisons "without regard to case" fold only the ASCII letters A-Z onto a-z; every other
// byte compares exactly, whatever the locale.

namespace torvex {

constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

void LowerAsciiInPlace(std::string& text);
std::string LowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of the first occurrence of `needle` in `text` at or after `from`, or npos.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

} // namespace torvex
