#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvex {

// The file-system operations of the crawl engine, in one place so that their error handling is
// uniform: none throws, each reports success. Paths are "/" separated; any thread may call them.

bool FileExists(std::string_view path);        // a regular file (or anything but a directory)
bool DirectoryExists(std::string_view path);
// Removes one file; true when it is gone afterwards (also when it never existed).
bool RemoveFileIfExists(std::string_view path);
// Renames a file or directory, replacing a file of the new name.
bool RenamePath(std::string_view from, std::string_view to);
// Removes a directory with everything in it; true when it is gone afterwards.
bool RemoveTree(std::string_view path);
// Copies a file over `to`; false when the source cannot be read or the target written.
bool CopyFileOver(std::string_view from, std::string_view to);
// True for a directory with nothing in it.
bool IsEmptyDirectory(std::string_view path);
// Removes a directory only when it is empty; true when it is gone afterwards.
bool RemoveEmptyDirectory(std::string_view path);
// Last-write time in seconds since 1970, or -1 when the file cannot be asked.
std::int64_t FileModificationTime(std::string_view path);
// Sets the last-write time of an existing file to now; false when it cannot.
bool TouchFile(std::string_view path);

// Reads a whole file into `text`; false when it cannot be opened or read.
bool ReadFileText(std::string_view path, std::string& text);
// Writes `text` as the whole content of `path`, creating or truncating it; false when the file
// cannot be opened or written.
bool WriteFileText(std::string_view path, std::string_view text);
// Writes `text` as the whole new content of `path` through a temporary file beside it that is
// renamed over it, so a failure on the way leaves the old content in place. False on failure.
bool ReplaceFileText(std::string_view path, std::string_view text);

// Directory creation uses at most this many characters of a path: the local path capacity.
constexpr std::size_t kMaxMadeDirectoryPath = 260;
// Creates every missing directory of `path` (at most kMaxMadeDirectoryPath characters are used).
// Failures are not reported: callers that care check that the directory exists afterwards.
void MakeDirectoryPath(std::string_view path);
// The same for the directory that holds the file at `filePath`.
void MakeParentDirectory(std::string_view filePath);

} // namespace torvex
