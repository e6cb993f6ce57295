#include "capture/NativeMessaging.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <unistd.h>

namespace torvex {

namespace {

// Reads up to `size` bytes; the count read (short only at the end of input), or -1 on error.
long ReadFully(int fd, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

} // namespace

FrameRead ReadFrame(int fd, std::size_t limit, std::string& body) {
    body.clear();
    char header[sizeof(std::uint32_t)];
    const long got = ReadFully(fd, header, sizeof header);
    if (got < 0) {
        return FrameRead::Failed;
    }
    if (got == 0) {
        return FrameRead::End;
    }
    if (static_cast<std::size_t>(got) < sizeof header) {
        return FrameRead::Truncated;
    }
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length); // the machine's own byte order
    if (length > limit) {
        return FrameRead::TooLarge;
    }
    body.resize(length);
    const long read = ReadFully(fd, body.data(), length);
    if (read < 0) {
        body.clear();
        return FrameRead::Failed;
    }
    if (static_cast<std::size_t>(read) < length) {
        body.clear();
        return FrameRead::Truncated;
    }
    return FrameRead::Message;
}

std::string FramedMessage(std::string_view body) {
    const auto length = static_cast<std::uint32_t>(body.size());
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    frame.append(body);
    return frame;
}

bool WriteFrame(int fd, std::string_view body) {
    if (body.size() > kMaxReplyBytes) {
        return false;
    }
    const std::string frame = FramedMessage(body);
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::write(fd, frame.data() + done, frame.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace torvex
