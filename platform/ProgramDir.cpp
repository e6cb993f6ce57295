#include "platform/ProgramDir.h"

#include <vector>

#include <unistd.h>

namespace torvex {

std::string ProgramDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    path.resize(slash == 0 ? 1 : slash);
    return path;
}

} // namespace torvex
