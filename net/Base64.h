#pragma once

#include <string>
#include <string_view>

namespace torvex {

// Standard Base64 (the RFC 4648 alphabet, "=" padding, one line), as the Basic authorization
// headers carry user name and password.
std::string Base64Encode(std::string_view bytes);

} // namespace torvex
