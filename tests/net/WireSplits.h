#pragma once

#include <cstddef>
#include <vector>

namespace torvex::test {

// Every way `size` bytes can arrive: whole, byte by byte, and in two pieces split at every
// point. Each way is the list of offsets where a piece ends (the last piece ends at `size`).
inline std::vector<std::vector<std::size_t>> EverySplit(std::size_t size) {
    std::vector<std::vector<std::size_t>> splits(2);
    for (std::size_t at = 1; at < size; ++at) {
        splits[1].push_back(at);
    }
    for (std::size_t at = 0; at <= size; ++at) {
        splits.push_back({at});
    }
    return splits;
}

} // namespace torvex::test
