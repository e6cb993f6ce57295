#include "platform/FileSystem.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/FileEnv.h"

namespace torvex {

namespace fs = std::filesystem;

bool FileExists(std::string_view path) {
    // A plain stat: the link conversion asks this for every file a page links to.
    const std::string text(path);
    struct stat info {};
    return ::stat(text.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(std::string_view path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

bool RemoveFileIfExists(std::string_view path) {
    std::error_code ec;
    fs::remove(fs::path(path), ec);
    return !ec;
}

bool RenamePath(std::string_view from, std::string_view to) {
    return CurrentFileEnv().Rename(std::string(from), std::string(to));
}

bool RemoveTree(std::string_view path) {
    std::error_code ec;
    fs::remove_all(fs::path(path), ec);
    return !ec;
}

bool CopyFileOver(std::string_view from, std::string_view to) {
    return CurrentFileEnv().Copy(std::string(from), std::string(to));
}

bool IsEmptyDirectory(std::string_view path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec) && fs::is_empty(fs::path(path), ec) && !ec;
}

bool RemoveEmptyDirectory(std::string_view path) {
    if (!IsEmptyDirectory(path)) {
        return !DirectoryExists(path) && !FileExists(path);
    }
    std::error_code ec;
    fs::remove(fs::path(path), ec);
    return !ec;
}

std::int64_t FileModificationTime(std::string_view path) {
    struct stat info {};
    const std::string text(path);
    if (::stat(text.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_mtime);
}

bool TouchFile(std::string_view path) {
    const std::string text(path);
    return ::utimensat(AT_FDCWD, text.c_str(), nullptr, 0) == 0;
}

bool ReadFileText(std::string_view path, std::string& text) {
    return CurrentFileEnv().ReadAll(std::string(path), text);
}

void MakeDirectoryPath(std::string_view path) {
    std::string text(path.substr(0, kMaxMadeDirectoryPath));
    std::error_code ec;
    // Most calls find the directory in place already: one look, no walk over its parents.
    if (fs::is_directory(fs::path(text), ec)) {
        return;
    }
    // Up from the deepest directory until one can be made or is there, then down again making
    // the ones that were missing: a new folder in a deep tree costs a few calls, not one per
    // folder from the root.
    std::vector<std::string> missing;   // the directories still to make, deepest first
    std::string dir = std::move(text);
    while (::mkdir(dir.c_str(), 0777) != 0 && errno == ENOENT) {
        const std::size_t slash = dir.empty() ? std::string::npos : dir.rfind('/', dir.size() - 2);
        if (slash == std::string::npos || slash == 0) {
            break;
        }
        missing.push_back(dir);
        dir.resize(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        ::mkdir(it->c_str(), 0777);
    }
}

void MakeParentDirectory(std::string_view filePath) {
    const std::size_t slash = filePath.rfind('/');
    if (slash != std::string_view::npos && slash > 0) {
        MakeDirectoryPath(filePath.substr(0, slash));
    }
}

} // namespace torvex
