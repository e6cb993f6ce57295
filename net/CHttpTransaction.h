#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "net/CCookieExchange.h"
#include "net/CHttpOptions.h"
#include "net/CHttpWorkerLink.h"
#include "net/CMyExHttpSocket.h"
#include "net/CTransferResult.h"
#include "net/HeaderBlock.h"
#include "net/CInflatingSink.h"
#include "net/IBodySink.h"
#include "net/ReplyFraming.h"
#include "platform/Sockets.h"
#include "url/CUrl.h"

namespace torvex {

constexpr std::size_t kMaxRequestText = 4096;
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
// A resumed file is shorter on disk than the offset the server continued from; the next try
// has to fetch the whole file.
constexpr std::string_view kOpResumeOffset = "ResumeOffset";
// A reply on a kept connection whose body's length cannot be known (Content-Length values that
// differ or are no number), or with more interim (1xx) replies than any server sends.
constexpr std::string_view kOpBadFraming = "BadFraming";

// The code of a "BadEncoding" failure for a Content-Encoding that cannot be undone (one that was
// never asked for): trying again brings the same.
constexpr int kUnknownCodingCode = 1;

// The body of a redirect or another reply without a file is read past, to keep the connection,
// only up to this size; a longer one costs less as a new connection.
constexpr std::int64_t kMaxSkippedBody = 65536;

// How long the reply to a request sent ahead may take to begin once the reply before it ended.
// A server that reads one request at a time and drops what came behind it never answers; the
// request is then sent again over a new connection.
constexpr SocketWait kAheadReplyWait = std::chrono::seconds(5);

// One HTTP request: what to ask for and where the body goes. The caller decides what is asked
// (the conditions and the offset come from what it has stored); the transaction decides how.
struct CHttpRequest {
    CUrl url;
    std::string referrer;                       // the Referer line; empty: none
    // The start address the request descends from (method and credentials); null: none. A
    // request without a referrer is sent with the start address's method.
    const CHttpStartAddress* start = nullptr;
    std::int64_t resumeOffset = 0;   // > 0: ask for the body from this byte on (Range)
    std::string ifModifiedSince;     // not empty: ask only for a newer body (If-Modified-Since)
    std::string ifRange;             // sent as If-Range with a Range line, never without one
    IBodySink* body = nullptr;       // where a body goes; must be given
};

// One HTTP/1.0 request and its response over a fresh connection (directly, through an HTTP
// proxy, or through a SOCKS5 proxy): sends the request, reads the header (handing cookies to
// the cookie exchange), and writes the body, if one comes, into the request's sink. Made by a
// download worker for its own use; holds references to the run's options and cookies and to
// the worker's progress link, which outlive it. Never retries: the worker owns the tries.
class CHttpTransaction {
public:
    CHttpTransaction(const CHttpOptions& options, CHttpWorkerLink& worker,
                     CCookieExchange& cookies);

    // Runs `request` over `socket`, connecting to `address` (the target in direct mode, the
    // proxy in HTTP-proxy mode; unused with SOCKS5). Returns how it ended: Stored, NotModified
    // (304), Redirected (another 3xx), NoBody (a 4xx other than 401, 403, 404, 407, 408 and
    // 429) or Stopped. Throws CMySocketException for network failures, CMyException
    // "HTTPSession" with the status for 5xx, 401, 403, 404, 407, 408 and 429 (the worker tries
    // again after 5xx, 408 and 429), "NoBody" when a body was due and none came,
    // "BadRequest", and what the sink throws. The socket is closed and its window emptied on
    // every way out.
    //
    // With the options' keepAlive the request is HTTP/1.1, the connection is kept open after a
    // reply whose body ended as its framing said (the socket remembers where it goes), and a
    // kept connection to the same place is used again: when it fails before any byte of the
    // reply came (the server closed it meanwhile), the request goes once more over a new one.
    // In direct mode an `address` with port 0 means the host was not looked up because a kept
    // connection went there; it is looked up should a new connection be needed.
    CTransferResult Transaction(const CHttpRequest& request, CMyExHttpSocket& socket,
                                const SocketAddress& address);

    // Connections opened and requests sent on kept connections by every transaction of the
    // process (with keepAlive only).
    static std::int64_t ProcessConnectionsOpened();
    static std::int64_t ProcessRequestsSent();
    // Requests sent ahead on a kept connection behind another one (see CHttpWorkerLink).
    static std::int64_t ProcessRequestsSentAhead();

    // For tests: how long the reply to a request sent ahead may take, instead of
    // kAheadReplyWait.
    void SetAheadReplyWait(SocketWait wait) { m_aheadReplyWait = wait; }

    // The whole request: request line, header lines, empty line. Throws "BadRequest".
    std::string BuildRequest(const CHttpRequest& request);
    // Appends the header lines (without the final empty line) to `text`.
    void BuildRequestHeaders(std::string& text, const CHttpRequest& request);

private:
    // Connects (directly, to the HTTP proxy or through SOCKS5) and sends `text`; false when a
    // stop came while connecting.
    bool SendRequest(const CHttpRequest& request, const std::string& text,
                     CMyExHttpSocket& socket, const SocketAddress& address);
    // Reads the header and decides by the status: true when a body follows (2xx, or no
    // status line); otherwise the result says how the transaction ended. Throws for failures.
    bool ReadResponseHead(const CHttpRequest& request, CMyExHttpSocket& socket,
                          const CReceiveCounters& counters, CTransferResult& result);
    void ReceiveResponseBody(const CHttpRequest& request, CMyExHttpSocket& socket,
                             const CReceiveCounters& counters, CTransferResult& result);
    bool ReadHeader(CMyExHttpSocket& socket, HeaderBlock& header, const CHttpRequest& request,
                    const CReceiveCounters& counters);
    bool StopRequested() const;
    // The transaction with keepAlive: see Transaction.
    CTransferResult KeptTransaction(const CHttpRequest& request, const std::string& text,
                                    CMyExHttpSocket& socket, const SocketAddress& address,
                                    const CReceiveCounters& counters);
    // Sends `text` on the connection kept for `place` (unless it was `sentAhead` there
    // already), sends the worker's next request for that place behind it, and waits for the
    // reply's first bytes; false when there is no such connection, it turned out closed, or
    // the reply to a request sent ahead did not begin in time (the connection is closed then).
    bool SendOnKeptConnection(const std::string& text, CMyExHttpSocket& socket,
                              const std::string& place, const CReceiveCounters& counters,
                              bool sentAhead);
    // Sends the request the worker has next for `place` behind the one just sent, where that
    // is safe; the socket remembers it.
    void SendNextAhead(CMyExHttpSocket& socket, const std::string& place);
    // Reads the body by its framing into the request's sink; true when it ended exactly there.
    bool ReceiveKeptBody(const CHttpRequest& request, CMyExHttpSocket& socket,
                         const CReceiveCounters& counters, CTransferResult& result);
    // Reads past the body of a reply that stores nothing; true when that left the connection
    // usable (a body longer than kMaxSkippedBody, or one that fails, does not).
    bool SkipBody(CMyExHttpSocket& socket, const CReceiveCounters& counters,
                  const CTransferResult& result);

    const CHttpOptions& m_options;
    CHttpWorkerLink& m_worker;
    CCookieExchange& m_cookies;
    ReplyFraming m_framing;   // of the reply being read
    // Places whose server did not answer a request sent ahead: nothing more goes ahead there.
    std::unordered_set<std::string> m_noAheadPlaces;
    SocketWait m_aheadReplyWait = kAheadReplyWait;
};

// True when `text` holds a byte below 32 or the byte 127: such a text must not go into a
// request line or header.
bool HasControlBytes(std::string_view text);

} // namespace torvex
