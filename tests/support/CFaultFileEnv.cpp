#include "support/CFaultFileEnv.h"

#include <cerrno>
#include <cstdio>

#include <sys/types.h>

namespace torvex::test {

namespace {

class CFaultWritableFile final : public IWritableFile {
public:
    CFaultWritableFile(CFaultFileEnv &env, std::string path, std::unique_ptr<IWritableFile> real)
        : m_env(env), m_path(std::move(path)), m_real(std::move(real)) {}

    bool Append(std::string_view data) override {
        if (m_env.Hits(FileStep::DiskFull, m_path)) {
            errno = ENOSPC;
            return false;
        }
        if (m_env.Hits(FileStep::ShortWrite, m_path)) {
            m_real->Append(data.substr(0, data.size() / 2));
            errno = ENOSPC;
            return false;
        }
        return m_real->Append(data);
    }
    bool Sync() override {
        if (m_env.Hits(FileStep::Sync, m_path)) {
            errno = EIO;
            return false;
        }
        return m_real->Sync();
    }
    bool Close() override {
        const bool closed = m_real->Close();
        if (!m_closed && m_env.Hits(FileStep::Close, m_path)) {
            m_closed = true;
            errno = EIO;
            return false;
        }
        m_closed = true;
        return closed;
    }

private:
    CFaultFileEnv &m_env;
    std::string m_path;
    std::unique_ptr<IWritableFile> m_real;
    bool m_closed = false;
};

class CFaultPositionedFile final : public IPositionedFile {
public:
    CFaultPositionedFile(CFaultFileEnv &env, std::string path,
                         std::unique_ptr<IPositionedFile> real)
        : m_env(env), m_path(std::move(path)), m_real(std::move(real)) {}

    std::int64_t ReadAt(std::int64_t offset, char *buffer, std::size_t size) override {
        if (m_env.Hits(FileStep::Read, m_path)) {
            errno = EIO;
            return -1;
        }
        return m_real->ReadAt(offset, buffer, size);
    }
    bool WriteAt(std::int64_t offset, std::string_view data) override {
        if (m_env.Hits(FileStep::DiskFull, m_path)) {
            errno = ENOSPC;
            return false;
        }
        if (m_env.Hits(FileStep::ShortWrite, m_path)) {
            m_real->WriteAt(offset, data.substr(0, data.size() / 2));
            errno = ENOSPC;
            return false;
        }
        return m_real->WriteAt(offset, data);
    }
    bool Close() override { return m_real->Close(); }

private:
    CFaultFileEnv &m_env;
    std::string m_path;
    std::unique_ptr<IPositionedFile> m_real;
};

// The state behind a stream of OpenStream: the real stream and what its writes may meet.
struct StreamCookie {
    CFaultFileEnv *env;
    std::string path;
    std::FILE *real;
};

ssize_t StreamRead(void *cookie, char *buffer, std::size_t size) {
    auto *stream = static_cast<StreamCookie *>(cookie);
    const std::size_t got = std::fread(buffer, 1, size, stream->real);
    return std::ferror(stream->real) ? -1 : static_cast<ssize_t>(got);
}

// Fewer bytes than asked for mark the stream as failed (fflush and fclose then report it).
ssize_t StreamWrite(void *cookie, const char *buffer, std::size_t size) {
    auto *stream = static_cast<StreamCookie *>(cookie);
    std::size_t allowed = size;
    if (stream->env->Hits(FileStep::DiskFull, stream->path)) {
        allowed = 0;
    } else if (stream->env->Hits(FileStep::ShortWrite, stream->path)) {
        allowed = size / 2;
    }
    const std::size_t written = std::fwrite(buffer, 1, allowed, stream->real);
    std::fflush(stream->real);
    if (written < size) {
        errno = ENOSPC;
    }
    return static_cast<ssize_t>(written);
}

int StreamSeek(void *cookie, off64_t *offset, int whence) {
    auto *stream = static_cast<StreamCookie *>(cookie);
    if (::fseeko(stream->real, *offset, whence) != 0) {
        return -1;
    }
    *offset = ::ftello(stream->real);
    return 0;
}

int StreamClose(void *cookie) {
    auto *stream = static_cast<StreamCookie *>(cookie);
    const int result = std::fclose(stream->real);
    delete stream;
    return result;
}

} // namespace

const char *FileStepName(FileStep step) {
    static const char *const kNames[kFileStepCount] = {
        "Create", "ShortWrite",    "DiskFull",   "Sync", "Close",
        "Rename", "SyncDirectory", "OpenAppend", "Read", "Copy"};
    return kNames[static_cast<int>(step)];
}

void CFaultFileEnv::Fail(FileStep step, std::string pathPart) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.push_back({step, std::move(pathPart)});
}

void CFaultFileEnv::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.clear();
}

bool CFaultFileEnv::Hits(FileStep step, const std::string &path) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const Fault &fault : m_faults) {
        if (fault.step == step && path.find(fault.pathPart) != std::string::npos) {
            ++m_failures;
            return true;
        }
    }
    return false;
}

std::unique_ptr<IWritableFile> CFaultFileEnv::CreateNew(const std::string &path, unsigned mode) {
    if (beforeCreate) {
        beforeCreate(path);
    }
    if (Hits(FileStep::Create, path)) {
        errno = EACCES;
        return nullptr;
    }
    auto real = PosixFileEnv().CreateNew(path, mode);
    if (!real) {
        return nullptr;
    }
    return std::make_unique<CFaultWritableFile>(*this, path, std::move(real));
}

std::unique_ptr<IWritableFile> CFaultFileEnv::OpenAppend(const std::string &path) {
    if (beforeAppend) {
        beforeAppend(path);
    }
    if (Hits(FileStep::OpenAppend, path)) {
        errno = EACCES;
        return nullptr;
    }
    auto real = PosixFileEnv().OpenAppend(path);
    if (!real) {
        return nullptr;
    }
    return std::make_unique<CFaultWritableFile>(*this, path, std::move(real));
}

bool CFaultFileEnv::Rename(const std::string &from, const std::string &to) {
    if (Hits(FileStep::Rename, to)) {
        errno = EXDEV;
        return false;
    }
    return PosixFileEnv().Rename(from, to);
}

bool CFaultFileEnv::Remove(const std::string &path) {
    return PosixFileEnv().Remove(path);
}

bool CFaultFileEnv::SyncDirectory(const std::string &dir) {
    // A folder is hit when a target in it is named: its path begins with the folder's.
    bool hit = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const Fault &fault : m_faults) {
            hit = hit || (fault.step == FileStep::SyncDirectory &&
                          fault.pathPart.compare(0, dir.size() + 1, dir + "/") == 0);
        }
    }
    if (hit) {
        ++m_failures;
        errno = EIO;
        return false;
    }
    return PosixFileEnv().SyncDirectory(dir);
}

bool CFaultFileEnv::ReadAll(const std::string &path, std::string &text) {
    if (Hits(FileStep::Read, path)) {
        text.clear();
        errno = EIO;
        return false;
    }
    return PosixFileEnv().ReadAll(path, text);
}

std::FILE *CFaultFileEnv::OpenStream(const std::string &path, const char *mode) {
    if (Hits(FileStep::Create, path)) {
        errno = EACCES;
        return nullptr;
    }
    std::FILE *real = PosixFileEnv().OpenStream(path, mode);
    if (!real) {
        return nullptr;
    }
    // Unbuffered, so that each write of the caller's buffer reaches the fault at once.
    std::setvbuf(real, nullptr, _IONBF, 0);
    auto *cookie = new StreamCookie{this, path, real};
    std::FILE *stream = ::fopencookie(
        cookie, mode, cookie_io_functions_t{StreamRead, StreamWrite, StreamSeek, StreamClose});
    if (!stream) {
        std::fclose(real);
        delete cookie;
    }
    return stream;
}

std::unique_ptr<IPositionedFile> CFaultFileEnv::OpenPositioned(const std::string &path,
                                                               bool create) {
    if (Hits(FileStep::Create, path)) {
        errno = EACCES;
        return nullptr;
    }
    auto real = PosixFileEnv().OpenPositioned(path, create);
    if (!real) {
        return nullptr;
    }
    return std::make_unique<CFaultPositionedFile>(*this, path, std::move(real));
}

bool CFaultFileEnv::Copy(const std::string &from, const std::string &to) {
    if (Hits(FileStep::Copy, from) || Hits(FileStep::Copy, to)) {
        errno = EIO;
        return false;
    }
    return PosixFileEnv().Copy(from, to);
}

} // namespace torvex::test
