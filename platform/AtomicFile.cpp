#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace torvex {

bool ReplaceFileUniquely(const std::string& path, std::string_view text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());   // O_EXCL: never opens what is already there
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            ok = errno == EINTR;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

} // namespace torvex
