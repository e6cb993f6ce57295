#include "platform/FileEnv.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace torvex {

namespace {

int OpenRetrying(const std::string &path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

class CPosixWritableFile final : public IWritableFile {
public:
    explicit CPosixWritableFile(int fd) : m_fd(fd) {}
    ~CPosixWritableFile() override { Close(); }

    bool Append(std::string_view data) override {
        while (m_fd >= 0 && !m_failed && !data.empty()) {
            const ssize_t n = ::write(m_fd, data.data(), data.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                if (n == 0) {
                    errno = ENOSPC;
                }
                m_failed = true;
                break;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return m_fd >= 0 && !m_failed;
    }

    bool Sync() override {
        if (m_fd < 0 || m_failed) {
            return false;
        }
        if (::fsync(m_fd) != 0) {
            m_failed = true;
        }
        return !m_failed;
    }

    bool Close() override {
        if (m_fd < 0) {
            return !m_failed;
        }
        // A close that fails (EIO, a quota met late on a network file system) loses data all the
        // same; EINTR is not retried, the descriptor is gone either way.
        if (::close(m_fd) != 0 && errno != EINTR) {
            m_failed = true;
        }
        m_fd = -1;
        return !m_failed;
    }

private:
    int m_fd;
    bool m_failed = false;
};

class CPosixPositionedFile final : public IPositionedFile {
public:
    explicit CPosixPositionedFile(int fd) : m_fd(fd) {}
    ~CPosixPositionedFile() override { Close(); }

    std::int64_t ReadAt(std::int64_t offset, char *buffer, std::size_t size) override {
        if (m_fd < 0) {
            errno = EBADF;
            return -1;
        }
        ssize_t n = -1;
        do {
            n = ::pread(m_fd, buffer, size, static_cast<off_t>(offset));
        } while (n < 0 && errno == EINTR);
        return static_cast<std::int64_t>(n);
    }

    bool WriteAt(std::int64_t offset, std::string_view data) override {
        while (m_fd >= 0 && !data.empty()) {
            const ssize_t n = ::pwrite(m_fd, data.data(), data.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                if (n == 0) {
                    errno = ENOSPC;
                }
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
            offset += n;
        }
        return m_fd >= 0;
    }

    bool Close() override {
        if (m_fd < 0) {
            return true;
        }
        const bool ok = ::close(m_fd) == 0 || errno == EINTR;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

class CPosixFileEnv final : public IFileEnv {
public:
    std::unique_ptr<IWritableFile> CreateNew(const std::string &path, unsigned mode) override {
        const int fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL, static_cast<mode_t>(mode));
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<CPosixWritableFile>(fd);
    }

    std::unique_ptr<IWritableFile> OpenAppend(const std::string &path) override {
        const int fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<CPosixWritableFile>(fd);
    }

    bool Rename(const std::string &from, const std::string &to) override {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }

    bool Remove(const std::string &path) override {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    }

    bool SyncDirectory(const std::string &dir) override {
        const int fd = OpenRetrying(dir.empty() ? std::string(".") : dir, O_RDONLY | O_DIRECTORY);
        if (fd < 0) {
            return false;
        }
        // Some file systems cannot sync a directory (EINVAL); their renames are durable anyway.
        const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
        ::close(fd);
        return ok;
    }

    bool ReadAll(const std::string &path, std::string &text) override {
        text.clear();
        const int fd = OpenRetrying(path, O_RDONLY);
        if (fd < 0) {
            return false;
        }
        // No fstat for the size: a run reads thousands of small files, and a read costs less
        // than asking first; a folder fails its first read (EISDIR).
        char buffer[65536];
        bool ok = true;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return ok;
    }

    std::FILE *OpenStream(const std::string &path, const char *mode) override {
        return std::fopen(path.c_str(), mode);
    }

    std::unique_ptr<IPositionedFile> OpenPositioned(const std::string &path, bool create) override {
        const int fd = OpenRetrying(path, O_RDWR | (create ? O_CREAT : 0), 0666);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<CPosixPositionedFile>(fd);
    }

    bool Copy(const std::string &from, const std::string &to) override {
        std::error_code ec;
        const bool copied = std::filesystem::copy_file(
            from, to, std::filesystem::copy_options::overwrite_existing, ec);
        return copied && !ec;
    }
};

std::atomic<IFileEnv *> &CurrentSlot() {
    static std::atomic<IFileEnv *> current{&PosixFileEnv()};
    return current;
}

} // namespace

IFileEnv &PosixFileEnv() {
    static CPosixFileEnv env;
    return env;
}

IFileEnv &CurrentFileEnv() {
    return *CurrentSlot().load(std::memory_order_acquire);
}

CScopedFileEnv::CScopedFileEnv(IFileEnv &env)
    : m_previous(CurrentSlot().exchange(&env, std::memory_order_acq_rel)) {}

CScopedFileEnv::~CScopedFileEnv() {
    CurrentSlot().store(m_previous, std::memory_order_release);
}

} // namespace torvex
