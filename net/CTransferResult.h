#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "url/CUrl.h"

namespace torvex {

constexpr std::size_t kMaxStatusText = 7;
constexpr std::size_t kMaxContentType = 63;
constexpr std::size_t kMaxLocation = 1024;

// How a transfer ended without an exception.
enum class TransferOutcome : int {
    Stored = 0,        // the body is in the sink, and the sink is closed
    NotModified = 1,   // HTTP 304 to If-Modified-Since: nothing was sent
    Redirected = 2,    // HTTP 3xx other than 304: see location and redirectTarget
    NoBody = 3,        // HTTP 4xx other than 401, 403, 404, 407, 408, 429: nothing to store
    Stopped = 4,       // the stop flag ended it; the sink holds bodyBytes and is not closed
    NotWanted = 5,     // the sink declined the body when the server said what it has (FTP SIZE)
};

// What a transfer learnt from the server. The transfer fills it as the answer arrives, so the
// sink sees the fields known so far when it is opened, and the caller all of them at the end.
struct CTransferResult {
    TransferOutcome outcome = TransferOutcome::Stored;
    std::string status;               // HTTP: the status code's text; empty without a status line
    std::string contentType;          // HTTP: Content-Type
    // HTTP: the body's length (Content-Length, or a 206 reply's range) when above 0, else -1.
    std::int64_t contentLength = -1;
    // HTTP 2xx: Last-Modified; empty when there is none or it holds control bytes (it could never
    // be sent back).
    std::string lastModified;
    std::string location;             // HTTP 3xx: Location
    CUrl redirectTarget;              // the location against the request's URL (may be invalid)
    bool slashRedirect = false;       // the target is the request's own address followed by "/"
    std::int64_t size = -1;           // FTP: the size SIZE gave; -1 when it gave none usable
    // HTTP: where the body begins in the file: a partial reply's offset (its range begins at
    // the bytes stored before), else 0 (the body is the whole file).
    std::int64_t bodyOffset = 0;
    // Bytes of the file in the sink: the offset it was opened at and what was written since.
    std::int64_t bodyBytes = 0;
    // HTTP: the body comes compressed (gzip or deflate) and is inflated on its way to the sink;
    // bodyBytes and contentLength then count the compressed bytes, not the file's.
    bool contentEncoded = false;

    // The first digit of the status ('2' for 2xx ...), NUL without a status.
    char StatusClass() const { return status.empty() ? '\0' : status.front(); }
};

} // namespace torvex
