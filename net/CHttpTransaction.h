#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "net/CCookieExchange.h"
#include "net/CHttpOptions.h"
#include "net/CHttpWorkerLink.h"
#include "net/CMyExHttpSocket.h"
#include "net/HeaderBlock.h"
#include "platform/Sockets.h"
#include "url/CUrlEntry.h"

namespace torvex {

constexpr std::size_t kMaxRequestText = 4096;
constexpr std::size_t kMaxStatusText = 7;
constexpr std::size_t kMaxContentType = 63;
constexpr std::size_t kMaxLocation = 1024;
// A response whose header lines add up to more than this is given up as a failed try, so a
// server that never ends its header cannot hold a worker for ever.
constexpr std::size_t kMaxHeaderBytesRead = 65536;

// Operation texts of the transaction's own failures (thrown as CMyException without a class).
constexpr std::string_view kOpHttpSession = "HTTPSession";   // code: the HTTP status
constexpr std::string_view kOpNoBody = "NoBody";
constexpr std::string_view kOpOpenFile = "OpenFile";
constexpr std::string_view kOpLongFilePath = "LongFilePath";
// The request could not be built safely: a text would add lines to it (control bytes), or it
// would exceed 4096 characters even without its Cookie line. Counts as a failed try.
constexpr std::string_view kOpBadRequest = "BadRequest";
// A resumed file is shorter on disk than the offset the server continued from; the entry's
// Readed is cleared so that the next try fetches the whole file.
constexpr std::string_view kOpResumeOffset = "ResumeOffset";

// One HTTP/1.0 request and its response: fetches one queue entry into its local file over a
// fresh connection (directly, through an HTTP proxy, or through a SOCKS5 proxy) and hands
// redirects, not-modified answers and page naming to the worker. Made by a download worker for
// its own use; holds references to the run's options and cookies, which outlive it. Never
// retries: the worker owns the tries.
class CHttpTransaction {
public:
    CHttpTransaction(const CHttpOptions& options, CHttpWorkerLink& worker,
                     CCookieExchange& cookies);

    // Fetches `entry` over `socket`, connecting to `address` (the target in direct mode, the
    // proxy in HTTP-proxy mode; unused with SOCKS5). Returns 0 when the body was stored, -1 when
    // the entry is finished without a stored body (stop requested, redirect, not modified, a 4xx
    // other than 401, 403, 404 and 407). Throws CMySocketException for network failures and
    // CMyException for the rest (kOp* above). The socket is closed and its window emptied on
    // every way out. `alreadyCounted` is set when a resumed run meets a page whose parse had
    // begun, which the restored totals already count.
    int Transaction(CUrlEntry& entry, CMyExHttpSocket& socket, const SocketAddress& address,
                    bool& alreadyCounted);

    // The whole request: request line, header lines, empty line. Throws "BadRequest".
    std::string BuildRequest(const CUrlEntry& entry);
    // Appends the header lines (without the final empty line) to `request`.
    void BuildRequestHeaders(std::string& request, const CUrlEntry& entry);

private:
    const CHttpStartAddress* StartAddressOf(const CUrlEntry& entry) const;
    bool ReadHeader(CMyExHttpSocket& socket, HeaderBlock& header, const CUrlEntry& entry,
                    const CReceiveCounters& counters);
    bool StopRequested() const;
    void NameRecognisedPage(CUrlEntry& entry);
    void NameSniffedPage(CUrlEntry& entry, const std::string& storedPath);

    const CHttpOptions& m_options;
    CHttpWorkerLink& m_worker;
    CCookieExchange& m_cookies;
};

// True when `text` holds a byte below 32 or the byte 127: such a text must not go into a
// request line or header.
bool HasControlBytes(std::string_view text);

} // namespace torvex
