#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace torvex {

// A file opened for writing through an IFileEnv. Append reports false when not every byte was
// written (a short write, a full disk); after a false the file is not written further. Close is
// called by the destructor when the owner did not call it. One thread at a time per object.
class IWritableFile {
public:
    virtual ~IWritableFile() = default;
    virtual bool Append(std::string_view data) = 0;
    virtual bool Sync() = 0;  // the data on the disk (fsync)
    virtual bool Close() = 0; // false when the system reports a late write error
};

// A file opened for reading and writing at given offsets (pread/pwrite): no file position is
// shared between calls, so several threads may read and write distinct parts of it at once.
// Close is called by the destructor when the owner did not call it.
class IPositionedFile {
public:
    virtual ~IPositionedFile() = default;
    // Reads up to `size` bytes at `offset`: the count read, 0 at the end of the file, -1 on
    // failure.
    virtual std::int64_t ReadAt(std::int64_t offset, char *buffer, std::size_t size) = 0;
    // Writes all of `data` at `offset`; false when not every byte was written (a part may be).
    virtual bool WriteAt(std::int64_t offset, std::string_view data) = 0;
    virtual bool Close() = 0;
};

// The file operations through which the core writes the files it owns and reads them back, in
// one small interface so that a test can put a full disk, a short write or a failing rename under
// any of them (leveldb's Env is the model). The POSIX environment is the default; a test installs
// another with CScopedFileEnv. Every method may be called from any thread; none throws; failures
// leave errno set.
class IFileEnv {
public:
    virtual ~IFileEnv() = default;
    // Creates `path`, which must not exist yet (O_EXCL), for writing, with permission bits
    // `mode` (the umask applies). Null on failure (errno EEXIST when the name is taken).
    virtual std::unique_ptr<IWritableFile> CreateNew(const std::string &path, unsigned mode) = 0;
    // Opens `path` for appending, creating it when missing. Null on failure.
    virtual std::unique_ptr<IWritableFile> OpenAppend(const std::string &path) = 0;
    // Renames `from` over `to` (replacing a file of that name) in one step.
    virtual bool Rename(const std::string &from, const std::string &to) = 0;
    virtual bool Remove(const std::string &path) = 0;
    // Makes the entries of `dir` (a created or renamed name) durable.
    virtual bool SyncDirectory(const std::string &dir) = 0;
    // Reads the whole file; false when it cannot be opened or read to its end.
    virtual bool ReadAll(const std::string &path, std::string &text) = 0;
    // Copies `from` over `to`, creating or truncating `to`; false when the source cannot be read
    // or the target written.
    virtual bool Copy(const std::string &from, const std::string &to) = 0;
    // Opens a standard C stream as std::fopen does (`mode` as there), for the files that are
    // read and rewritten in place (the status log, the seen set). Null on failure; the caller
    // closes it with std::fclose.
    virtual std::FILE *OpenStream(const std::string &path, const char *mode) = 0;
    // Opens `path` for reading and writing in place, creating it (empty) when missing and
    // `create` is true. Null on failure.
    virtual std::unique_ptr<IPositionedFile> OpenPositioned(const std::string &path,
                                                            bool create) = 0;
};

// The environment in use: the POSIX one unless a test installed another.
IFileEnv &CurrentFileEnv();
// The POSIX environment itself (a fault-injecting test environment forwards to it).
IFileEnv &PosixFileEnv();

// Installs `env` as the current environment for the lifetime of the object; the previous one
// comes back afterwards. For tests: install before the code under test starts its threads.
class CScopedFileEnv {
public:
    explicit CScopedFileEnv(IFileEnv &env);
    ~CScopedFileEnv();
    CScopedFileEnv(const CScopedFileEnv &) = delete;
    CScopedFileEnv &operator=(const CScopedFileEnv &) = delete;

private:
    IFileEnv *m_previous;
};

} // namespace torvex
