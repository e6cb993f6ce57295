#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvex {

// What a walk over the disks needs to know about directories, without following symbolic
// links: the names in a directory, a directory's identity (so that a tree reached twice, by a
// bind mount or an overlapping location, is walked once) and whether it lies on a pseudo file
// system (process and kernel views, devices, control groups) that holds no user files.

enum class DirEntryKind { File, Directory, Link, Other };

struct CDirEntry {
    std::string name;
    DirEntryKind kind = DirEntryKind::Other;
};

// Device and inode of a directory.
using DirIdentity = std::pair<std::uint64_t, std::uint64_t>;

// The entries of `path` other than "." and "..", in no particular order; false when the
// directory cannot be opened or read (it is then treated as empty).
bool ListDirectory(std::string_view path, std::vector<CDirEntry> &entries);
// The identity of the directory `path` itself (a link is not followed); false when it is not a
// directory or cannot be asked.
bool DirectoryIdentityOf(std::string_view path, DirIdentity &identity);
// Whether the file system type reported for `path` is one of the kernel's pseudo file systems.
bool IsPseudoFileSystemType(std::string_view path);

// One line of the mount table: where and what.
struct CMountPoint {
    std::string directory;
    std::string type;
};
// The lines of a mount table in the /proc/self/mounts format; the octal escapes of blanks in
// paths ("\040") are decoded. Malformed lines are skipped.
std::vector<CMountPoint> ParseMountTable(std::string_view text);
// Whether `type` names a file system that holds no user files (proc, sysfs, devtmpfs, ...).
bool IsPseudoFileSystemName(std::string_view type);
// The mounts of this process (empty when the table cannot be read).
std::vector<CMountPoint> CurrentMounts();
// The devices of the current mounts of pseudo file systems, for a walk to leave alone.
std::set<std::uint64_t> PseudoMountDevices();
// The absolute path with every link resolved; empty when it does not exist or loops.
std::string ResolvedPath(std::string_view path);

} // namespace torvex
