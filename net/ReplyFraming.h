#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace torvex {

// How the body of a reply ends on a connection that may be kept.
enum class BodyEnd {
    None,      // no body (1xx, 204, 304, or a length of 0)
    Length,    // after ReplyFraming::length bytes
    Chunked,   // at the end of the chunked transfer coding
    Close,     // where the server closes the connection
};

// What the header lines of a reply say about its body and the connection, gathered line by
// line as they arrive (all of them, not only those the header block keeps).
struct ReplyFraming {
    bool http11 = false;             // the status line says HTTP/1.1
    bool connectionClose = false;    // a Connection line names "close"
    bool transferEncoding = false;   // a Transfer-Encoding line came
    bool chunked = false;            // ... and its last coding is "chunked"
    bool lengthGiven = false;        // a Content-Length line came
    bool lengthBroken = false;       // ... with a value that is not a number, or two that differ
    std::int64_t length = -1;        // its value when it is usable
    std::string contentEncoding;     // every Content-Encoding value, joined by ", "

    // Takes one header line (its line end may be included); lines of other names are ignored.
    void Take(std::string_view line);
    // How the body of a reply with `status` (its three digits; empty without a status line)
    // ends. Transfer-Encoding wins over Content-Length.
    BodyEnd End(std::string_view status) const;
    // True when the connection may carry the next request once this reply's body ended as its
    // framing said: HTTP/1.1, no "Connection: close", a body that does not end at the close,
    // and no Transfer-Encoding beside a Content-Length (a reply that could be read two ways).
    bool KeepsConnection(std::string_view status) const;
};

} // namespace torvex
