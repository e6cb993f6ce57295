#include "platform/FreeSpace.h"

#include <string>

#include <sys/statvfs.h>

namespace torvex {

namespace {

class CStatvfsFreeSpace final : public IFreeSpaceSource {
public:
    bool FreeBytes(std::string_view directory, std::uint64_t& bytes) override {
        if (directory.empty() || directory.front() != '/') {
            return false;
        }
        std::string path(directory);
        for (;;) {
            struct statvfs info {};
            if (::statvfs(path.c_str(), &info) == 0) {
                bytes = static_cast<std::uint64_t>(info.f_bavail) *
                        static_cast<std::uint64_t>(info.f_frsize);
                return true;
            }
            // Only a missing level is worth climbing over; anything else means the file system
            // cannot be asked.
            while (path.size() > 1 && path.back() == '/') {
                path.pop_back();
            }
            const auto slash = path.rfind('/');
            if (path == "/" || slash == std::string::npos) {
                return false;
            }
            path.resize(slash == 0 ? 1 : slash);
        }
    }
};

} // namespace

IFreeSpaceSource& SystemFreeSpace() {
    static CStatvfsFreeSpace source;
    return source;
}

} // namespace torvex
