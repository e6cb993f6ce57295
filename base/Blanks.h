#pragma once

#include <string_view>

namespace torvex {

// `text` without the spaces and tabs at its ends (the optional white space around values in
// header lines and settings files).
std::string_view TrimBlanks(std::string_view text);

} // namespace torvex
