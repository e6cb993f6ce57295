#pragma once

#include <cstdint>
#include <string_view>

namespace torvex {

// Where the run reads the free disk space from. The run asks before it starts and five times a
// second while it runs; tests put a fake in its place to drive the free-space limit.
class IFreeSpaceSource {
public:
    virtual ~IFreeSpaceSource() = default;
    // The bytes that the calling user may still write on the file system that holds `directory`.
    // False when the space cannot be counted (for example a path that is not absolute).
    virtual bool FreeBytes(std::string_view directory, std::uint64_t& bytes) = 0;
};

// The system's own source (statvfs). The directory itself need not exist yet: a project that
// has never run is counted on the file system of its nearest existing parent.
IFreeSpaceSource& SystemFreeSpace();

} // namespace torvex
