#pragma once

#include <string>
#include <string_view>

namespace torvex::test {

// zlib's window bits for the three forms a compressed HTTP body comes in.
constexpr int kGzipForm = 31;
constexpr int kZlibForm = 15;
constexpr int kRawDeflateForm = -15;

// `plain` compressed by zlib in the form `windowBits` names, at `level`.
std::string Compressed(std::string_view plain, int windowBits, int level = 6);

} // namespace torvex::test
