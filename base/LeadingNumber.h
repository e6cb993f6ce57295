#pragma once

#include <string_view>

namespace torvex {

// The value of a decimal number at the start of `text` (leading spaces and a sign allowed), as
// atol reads it but without overflow: values beyond +-10^18 stop growing there. 0 without digits.
long long LeadingNumber(std::string_view text);

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

} // namespace torvex
