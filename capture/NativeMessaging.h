#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The framing of the browsers' native-messaging protocol: each message is a 32-bit length in
// the machine's byte order followed by that many bytes of UTF-8 JSON, in both directions over
// the host's standard input and output. Used by one thread per descriptor.

namespace torvex {

// What the browsers accept from a host in one message.
constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

enum class FrameRead {
    Message,   // `body` holds one whole message
    End,       // the input ended between messages
    Truncated, // the input ended inside a length or a message
    TooLarge,  // the length is over the limit; nothing of the message was read
    Failed,    // reading failed
};

// Reads one message from `fd` into `body`. A length over `limit` is refused before anything is
// allocated for it, so a length of 4 GB costs nothing. Blocks until the message is complete or
// the input ends.
FrameRead ReadFrame(int fd, std::size_t limit, std::string& body);

// The message with its length in front.
std::string FramedMessage(std::string_view body);

// Writes one whole message to `fd`; false when it is over kMaxReplyBytes or cannot be written
// (the reader went away).
bool WriteFrame(int fd, std::string_view body);

} // namespace torvex
