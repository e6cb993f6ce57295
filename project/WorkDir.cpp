#include "project/WorkDir.h"

#include <cstdlib>

#include "platform/ProgramDir.h"

namespace torvex {

std::string WorkingDirectory() {
    std::string dir;
    if (const char* home = std::getenv(std::string(kHomeVariable).c_str()); home && *home) {
        dir = home;
    } else {
        dir = ProgramDirectory();
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

std::string ConfigDir() {
    return WorkingDirectory() + "/" + std::string(kConfigDirName);
}

} // namespace torvex
