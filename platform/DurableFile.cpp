#include "platform/DurableFile.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>

#include <unistd.h>

#include "platform/FileEnv.h"

namespace torvex {

namespace {

constexpr int kNameAttempts = 100;

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A name beside `path` that no other writer of this process or another one uses at this moment:
// the process id and a counter; CreateNew's exclusive creation settles the rest.
std::string TemporaryName(const std::string &path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tvx" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
}

} // namespace

CDurableFileWriter::CDurableFileWriter(std::string path, FileAccess access, FileSync sync,
                                       FileWriters writers)
    : m_path(std::move(path)), m_access(access), m_sync(sync), m_writers(writers) {}

CDurableFileWriter::~CDurableFileWriter() {
    Abandon();
}

bool CDurableFileWriter::Open() {
    Abandon();
    m_failed = false;
    IFileEnv &env = CurrentFileEnv();
    const unsigned mode = m_access == FileAccess::OwnerOnly ? 0600u : 0666u;
    if (m_writers == FileWriters::One) {
        m_temporary = m_path + ".tvx-new";
        m_file = env.CreateNew(m_temporary, mode);
        if (!m_file && errno == EEXIST && env.Remove(m_temporary)) {
            m_file = env.CreateNew(m_temporary, mode);
        }
    }
    for (int attempt = 0; attempt < kNameAttempts && !m_file && m_writers == FileWriters::Several;
         ++attempt) {
        m_temporary = TemporaryName(m_path);
        m_file = env.CreateNew(m_temporary, mode);
        if (!m_file && errno != EEXIST) {
            break;
        }
    }
    if (!m_file) {
        m_error = errno;
        m_failed = true;
        m_temporary.clear();
        return false;
    }
    return true;
}

bool CDurableFileWriter::Append(std::string_view text) {
    if (!m_file || m_failed) {
        return false;
    }
    if (!m_file->Append(text)) {
        m_error = errno;
        m_failed = true;
    }
    return !m_failed;
}

bool CDurableFileWriter::Commit() {
    if (!m_file || m_failed) {
        Abandon();
        errno = m_error != 0 ? m_error : EBADF;
        return false;
    }
    IFileEnv &env = CurrentFileEnv();
    const bool durable = m_sync == FileSync::Durable;
    bool ok = !durable || m_file->Sync();
    int failure = ok ? 0 : errno;
    if (!m_file->Close() && ok) {
        ok = false;
        failure = errno;
    }
    m_file.reset();
    if (ok && !env.Rename(m_temporary, m_path)) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        m_error = failure;
        m_failed = true;
        Abandon();
        errno = failure;
        return false;
    }
    m_temporary.clear();
    return !durable || env.SyncDirectory(FolderOf(m_path));
}

void CDurableFileWriter::Abandon() {
    m_file.reset();
    if (!m_temporary.empty()) {
        const int saved = errno;
        CurrentFileEnv().Remove(m_temporary);
        errno = saved;
        m_temporary.clear();
    }
}

bool ReplaceFileDurably(const std::string &path, std::string_view text, FileAccess access,
                        FileSync sync, FileWriters writers) {
    CDurableFileWriter writer(path, access, sync, writers);
    return writer.Open() && writer.Append(text) && writer.Commit();
}

bool AppendFileDurably(const std::string &path, std::string_view text) {
    std::unique_ptr<IWritableFile> file = CurrentFileEnv().OpenAppend(path);
    if (!file) {
        return false;
    }
    bool ok = file->Append(text) && file->Sync();
    const int failure = errno;
    ok = file->Close() && ok;
    if (!ok && failure != 0) {
        errno = failure;
    }
    return ok;
}

} // namespace torvex
