#include "platform/ProgramDir.h"

#include <cstdlib>
#include <string_view>
#include <vector>

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace torvex {

namespace {

// The file `path` finally names, with every link resolved; empty when it does not exist.
std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string CommandNameForHints(const std::string& name) {
    const std::string self = ProgramPath();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (!self.empty() && !dirs.empty()) {
        const auto colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            // The first hit is what the shell runs: it must be this program.
            return RealPath(candidate) == RealPath(self) ? name : self;
        }
    }
    return self.empty() ? name : self;
}

std::string ProgramDirectory() {
    std::string path = ProgramPath();
    if (path.empty()) {
        return {};
    }
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    path.resize(slash == 0 ? 1 : slash);
    return path;
}

} // namespace torvex
