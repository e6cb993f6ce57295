#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

namespace torvex {

namespace fs = std::filesystem;

bool FileExists(std::string_view path) {
    std::error_code ec;
    const auto status = fs::status(fs::path(path), ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
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
    std::error_code ec;
    fs::rename(fs::path(from), fs::path(to), ec);
    return !ec;
}

bool RemoveTree(std::string_view path) {
    std::error_code ec;
    fs::remove_all(fs::path(path), ec);
    return !ec;
}

bool CopyFileOver(std::string_view from, std::string_view to) {
    std::error_code ec;
    return fs::copy_file(fs::path(from), fs::path(to), fs::copy_options::overwrite_existing, ec) &&
           !ec;
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
    std::ifstream in(fs::path(path), std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        return false;
    }
    text.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(text.data(), size);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

bool WriteFileText(std::string_view path, std::string_view text) {
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

bool ReplaceFileText(std::string_view path, std::string_view text) {
    const std::string temporary = std::string(path) + ".tvx-new";
    if (!WriteFileText(temporary, text)) {
        RemoveFileIfExists(temporary);
        return false;
    }
    if (!RenamePath(temporary, path)) {
        RemoveFileIfExists(temporary);
        return false;
    }
    return true;
}

void MakeDirectoryPath(std::string_view path) {
    const std::string text(path.substr(0, kMaxMadeDirectoryPath));
    std::error_code ec;
    // Most calls find the directory in place already: one look, no walk over its parents.
    if (fs::is_directory(fs::path(text), ec)) {
        return;
    }
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '/') {
            const fs::path prefix(text.substr(0, i));
            if (!fs::exists(prefix, ec)) {
                fs::create_directory(prefix, ec);
            }
        }
    }
}

void MakeParentDirectory(std::string_view filePath) {
    const std::size_t slash = filePath.rfind('/');
    if (slash != std::string_view::npos && slash > 0) {
        MakeDirectoryPath(filePath.substr(0, slash));
    }
}

} // namespace torvex
