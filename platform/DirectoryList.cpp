#include "platform/DirectoryList.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace torvex {

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

DirEntryKind KindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) {
        return DirEntryKind::Directory;
    }
    if (S_ISLNK(mode)) {
        return DirEntryKind::Link;
    }
    return S_ISREG(mode) ? DirEntryKind::File : DirEntryKind::Other;
}

DirEntryKind KindOfType(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return DirEntryKind::Directory;
    case DT_LNK:
        return DirEntryKind::Link;
    case DT_REG:
        return DirEntryKind::File;
    default:
        return DirEntryKind::Other;
    }
}

// The magic numbers statfs reports for the kernel's own views.
constexpr std::array<unsigned long, 20> kPseudoMagics = {
    0x9fa0UL,     // proc
    0x62656572UL, // sysfs
    0x1cd1UL,     // devpts
    0x27e0ebUL,   // cgroup
    0x63677270UL, // cgroup2
    0x64626720UL, // debugfs
    0x74726163UL, // tracefs
    0x73636673UL, // securityfs
    0x6165676cUL, // pstore
    0xcafe4a11UL, // bpf
    0x19800202UL, // mqueue
    0x62656570UL, // configfs
    0x65735543UL, // fusectl
    0x42494e4dUL, // binfmt_misc
    0xde5e81e4UL, // efivarfs
    0x6e736673UL, // nsfs
    0xf97cff8cUL, // selinuxfs
    0x958458f6UL, // hugetlbfs
    0x187UL,      // autofs
    0x67596969UL, // rpc_pipefs
};

// By name in the mount table; devtmpfs reports the magic of an ordinary memory file system.
constexpr std::array<std::string_view, 21> kPseudoNames = {
    "proc",        "sysfs",      "devtmpfs", "devpts",    "cgroup",    "cgroup2",  "debugfs",
    "tracefs",     "securityfs", "pstore",   "bpf",       "mqueue",    "configfs", "fusectl",
    "binfmt_misc", "efivarfs",   "nsfs",     "selinuxfs", "hugetlbfs", "autofs",   "rpc_pipefs"};

std::string DecodeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

} // namespace

bool ListDirectory(std::string_view path, std::vector<CDirEntry> &entries) {
    entries.clear();
    const std::string dirPath(path);
    const int fd = open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return false;
    }
    while (const dirent *entry = readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        DirEntryKind kind = KindOfType(entry->d_type);
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            kind = fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                       ? KindOfMode(info.st_mode)
                       : DirEntryKind::Other;
        }
        entries.push_back({std::string(name), kind});
    }
    return true;
}

bool DirectoryIdentityOf(std::string_view path, DirIdentity &identity) {
    struct stat info {};
    if (lstat(std::string(path).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return true;
}

bool IsPseudoFileSystemType(std::string_view path) {
    struct statfs info {};
    if (statfs(std::string(path).c_str(), &info) != 0) {
        return false;
    }
    const auto magic = static_cast<unsigned long>(info.f_type) & 0xffffffffUL;
    for (const unsigned long pseudo : kPseudoMagics) {
        if (magic == pseudo) {
            return true;
        }
    }
    return false;
}

std::vector<CMountPoint> ParseMountTable(std::string_view text) {
    std::vector<CMountPoint> mounts;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view fields[3];
        int count = 0;
        while (count < 3) {
            const std::size_t start = line.find_first_not_of(" \t");
            if (start == std::string_view::npos) {
                break;
            }
            line = line.substr(start);
            const std::size_t stop = line.find_first_of(" \t");
            fields[count++] = line.substr(0, stop);
            line = stop == std::string_view::npos ? std::string_view() : line.substr(stop);
        }
        if (count == 3 && !fields[1].empty() && fields[1].front() == '/') {
            mounts.push_back({DecodeMountField(fields[1]), std::string(fields[2])});
        }
    }
    return mounts;
}

bool IsPseudoFileSystemName(std::string_view type) {
    for (const std::string_view pseudo : kPseudoNames) {
        if (type == pseudo) {
            return true;
        }
    }
    return false;
}

std::vector<CMountPoint> CurrentMounts() {
    std::string text;
    if (!ReadFileText("/proc/self/mounts", text)) {
        return {};
    }
    return ParseMountTable(text);
}

std::set<std::uint64_t> PseudoMountDevices() {
    std::set<std::uint64_t> devices;
    for (const CMountPoint &mount : CurrentMounts()) {
        DirIdentity identity;
        if (IsPseudoFileSystemName(mount.type) && DirectoryIdentityOf(mount.directory, identity)) {
            devices.insert(identity.first);
        }
    }
    return devices;
}

std::string ResolvedPath(std::string_view path) {
    char resolved[PATH_MAX];
    if (realpath(std::string(path).c_str(), resolved) == nullptr) {
        return {};
    }
    return resolved;
}

} // namespace torvex
