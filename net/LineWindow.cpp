#include "net/LineWindow.h"

#include <algorithm>
#include <cstring>

namespace torvex {

int TakeWindowLine(char* window, int& count, int& searched, std::string& line,
                   std::size_t capacity) {
    const void* found =
        std::memchr(window + searched, '\n', static_cast<std::size_t>(count - searched));
    if (found == nullptr) {
        searched = count;
        return -1;
    }
    const int lineLength = static_cast<int>(static_cast<const char*>(found) - window) + 1;
    const std::size_t kept =
        capacity == 0 ? 0 : std::min(static_cast<std::size_t>(lineLength), capacity - 1);
    line.assign(window, kept);
    std::memmove(window, window + lineLength, static_cast<std::size_t>(count - lineLength));
    count -= lineLength;
    searched = 0;
    return static_cast<int>(kept);
}

} // namespace torvex
