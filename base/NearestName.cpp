#include "base/NearestName.h"

#include <algorithm>
#include <vector>

#include "base/AsciiCase.h"

namespace torvex {

std::size_t NameDistance(std::string_view a, std::string_view b) {
    // Three rows of the optimal-string-alignment table: two back for the swap of neighbours.
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> before(width), previous(width), current(width);
    for (std::size_t j = 0; j < width; ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        const char ai = ToLowerAscii(a[i - 1]);
        for (std::size_t j = 1; j < width; ++j) {
            const char bj = ToLowerAscii(b[j - 1]);
            const std::size_t cost = ai == bj ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && ai == ToLowerAscii(b[j - 2]) &&
                ToLowerAscii(a[i - 2]) == bj) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

std::string_view NearestName(std::string_view typed,
                             std::span<const std::string_view> candidates) {
    std::string_view best;
    std::size_t bestDistance = 0;
    for (std::string_view candidate : candidates) {
        const std::size_t distance = NameDistance(typed, candidate);
        const std::size_t longer = std::max(typed.size(), candidate.size());
        const std::size_t allowed = std::max<std::size_t>(longer >= 3 ? 1 : 0, longer / 3);
        if (distance <= allowed && (best.empty() || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace torvex
