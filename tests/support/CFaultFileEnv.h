#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FileEnv.h"

namespace torvex::test {

// The steps of writing and reading a file at which CFaultFileEnv can fail.
enum class FileStep : int {
    Create = 0,        // the new (temporary) file cannot be created
    ShortWrite = 1,    // half the bytes are written, then the disk is full
    DiskFull = 2,      // nothing is written: the disk is full
    Sync = 3,          // fsync reports an I/O error
    Close = 4,         // close reports a late write error
    Rename = 5,        // the rename into place fails
    SyncDirectory = 6, // the folder cannot be synced after the rename
    OpenAppend = 7,    // the file cannot be opened for appending
    Read = 8,          // the file cannot be read
    Copy = 9,          // a copy fails
};
constexpr int kFileStepCount = 10;

const char *FileStepName(FileStep step);

// A file environment that forwards to the POSIX one and fails one step for the files whose path
// contains a given text (a temporary file beside a target counts as the target). Install it with
// CScopedFileEnv. Thread-safe.
class CFaultFileEnv final : public IFileEnv {
public:
    // Fails `step` for every path containing `pathPart` from now on (until Clear); several
    // faults can be armed at once.
    void Fail(FileStep step, std::string pathPart);
    void Clear();
    // Called with the path each time a file is opened for appending, before it is opened.
    std::function<void(const std::string &)> beforeAppend;
    // Called with the path each time a new file is created, before it is created; from the
    // thread that creates it (it must be safe to call from several at once).
    std::function<void(const std::string &)> beforeCreate;

    // How many operations were failed so far.
    int Failures() const { return m_failures.load(); }

    std::unique_ptr<IWritableFile> CreateNew(const std::string &path, unsigned mode) override;
    std::unique_ptr<IWritableFile> OpenAppend(const std::string &path) override;
    bool Rename(const std::string &from, const std::string &to) override;
    bool Remove(const std::string &path) override;
    bool SyncDirectory(const std::string &dir) override;
    bool ReadAll(const std::string &path, std::string &text) override;
    bool Copy(const std::string &from, const std::string &to) override;
    // A stream whose writes meet ShortWrite and DiskFull faults when they reach the file.
    std::FILE *OpenStream(const std::string &path, const char *mode) override;
    // A file whose writes meet ShortWrite and DiskFull faults and whose reads meet Read faults.
    std::unique_ptr<IPositionedFile> OpenPositioned(const std::string &path, bool create) override;

    // For the writable files it hands out.
    bool Hits(FileStep step, const std::string &path);

private:
    mutable std::mutex m_lock;
    struct Fault {
        FileStep step;
        std::string pathPart;
    };
    std::vector<Fault> m_faults;
    std::atomic<int> m_failures{0};
};

} // namespace torvex::test
