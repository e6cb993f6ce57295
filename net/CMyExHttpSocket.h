#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/CMyExSocksSocket.h"
#include "net/IBodySink.h"

namespace torvex {

constexpr int kReceiveWindow = 1000;   // bytes per header receive, and the longest header line
constexpr int kBodyChunk = 65536;      // bytes per body receive
constexpr std::string_view kOpReadHeaderLine = "ReadHeaderLine";
constexpr std::string_view kOpHttpReceive = "Http Receive";
constexpr std::string_view kOpWriteFile = "WriteFile";
// How long a kept connection may wait between two requests before it is given up and a new
// one opened: servers close idle connections after a few seconds themselves (nginx after 75,
// many after 5), and a request sent just as the server closes is lost.
constexpr std::chrono::milliseconds kKeptIdleLimit = std::chrono::seconds(4);

// Where received bytes are counted besides the process-wide total, and the flag that asks a
// body transfer to stop early. Every pointer may be null.
struct CReceiveCounters {
    std::atomic<std::int64_t>* workerBytes = nullptr;   // the worker's statistics
    const std::atomic<bool>* stop = nullptr;            // the worker's stop flag
    // The bytes of the file stored so far (`offset` and the body's bytes since), for other
    // threads to read while the body arrives.
    std::atomic<std::int64_t>* sharedReaded = nullptr;
    std::int64_t offset = 0;
};

// How the body of a reply on a kept connection ends, fed with the bytes as they arrive: after a
// known length, at the end of its chunked coding, or where the peer closes.
class IBodyFraming {
public:
    virtual ~IBodyFraming();
    // Takes the next received bytes; returns how many belong to the body (fewer than `size`
    // only once the body is complete). Throws what the body's sinks throw.
    virtual std::size_t Feed(const char* data, std::size_t size) = 0;
    virtual bool Complete() const = 0;
    // The most bytes worth receiving next (what is left of a known length), 0 for no limit: a
    // read never takes bytes beyond a body whose length is known.
    virtual std::int64_t Wanted() const = 0;
    // True: the peer's close ends the body (otherwise a close before Complete cuts it short).
    virtual bool EndsAtClose() const = 0;
};

// The socket of one HTTP transaction: it reads the response through a fixed receive window of
// 1000 bytes, so header lines and body chunks need no allocation. One per download worker,
// used by that worker's thread only; the owner calls ResetWindow whenever it closes the socket
// between transactions.
class CMyExHttpSocket : public CMyExSocksSocket {
public:
    CMyExHttpSocket();
    ~CMyExHttpSocket() override;

    // Reads one header line, line end included, into `line`, cut to `capacity` - 1 bytes (the
    // rest of that line is dropped); the whole line must arrive within `timeOut`. Returns its
    // length. With `firstLine` set, a response that
    // does not begin with "HTTP/1." (any case) returns -1 and every byte received stays in the
    // window as body. Throws "ReadHeaderLine" (no class name, code 0) when the peer closes
    // first or a line does not fit the window; "Receive" on an error or time-out.
    int ReadHeaderLine(std::string& line, std::size_t capacity, SocketWait timeOut, bool firstLine,
                       const CReceiveCounters& counters);

    // Writes the bytes still in the window and then the rest of the body to `body` until the
    // peer closes or `expected` (0 when unknown) bytes arrived; returns the bytes written. A
    // body that brings less than 1 KB in any `timeOut` window fails as a time-out. Stops
    // early, returning what it has, once the stop flag is raised. Throws "Http Receive" (no
    // class name, code 0) when the peer closed short of an expected length, "Receive" on an
    // error or time-out, and what the sink throws when it refuses the bytes.
    std::int64_t ReceiveBody(IBodySink& body, std::int64_t expected, SocketWait timeOut,
                             const CReceiveCounters& counters);

    // Feeds `framing` the bytes in the window and then received bytes until the body is
    // complete, or the peer closes where that ends it; bytes after the body stay in the window.
    // Returns the bytes fed. Stops early, returning what it has, once the stop flag is raised.
    // Throws "Http Receive" when the peer closes before the body is complete, "Receive" on an
    // error or time-out (paced as ReceiveBody), and what the framing throws.
    std::int64_t ReceiveFramed(IBodyFraming& framing, SocketWait timeOut,
                               const CReceiveCounters& counters);

    // Waits for the first bytes of a reply and keeps them in the window (a request sent on a
    // kept connection learns here whether the connection was still good). Throws
    // "ReadHeaderLine" when the peer closes first, "Receive" on an error or time-out.
    void AwaitReply(SocketWait timeOut, const CReceiveCounters& counters);

    // The connection stays open for further requests to `place` (see IsKeptFor).
    void Keep(std::string place);
    // True when the connection is open, was kept for `place` and has been idle for less than
    // the idle limit.
    bool IsKeptFor(std::string_view place) const;
    // For tests: the idle limit instead of kKeptIdleLimit.
    void SetIdleLimit(std::chrono::milliseconds limit) { m_idleLimit = limit; }

    // A request sent on the open connection behind the one whose reply is being read: its reply
    // follows that one (HTTP/1.1 pipelining). The next transaction on the connection is answered
    // by it, so it must be that request, or the connection has to go.
    void SentAhead(std::string request) { m_ahead = std::move(request); }
    bool HasAhead() const { return !m_ahead.empty(); }
    const std::string& AheadRequest() const { return m_ahead; }
    void ForgetAhead() { m_ahead.clear(); }

    // Forgets whatever the window holds, and any request sent ahead.
    void ResetWindow();

    // Bytes waiting in the window (the start of the body after a header was read).
    std::string_view WindowBytes() const;
    // True when a reply read to its end left the connection in step for the next one: nothing
    // after it, or (with a request sent ahead) the start of that request's reply, whole as it
    // arrived.
    bool EndsInStep() const;

private:
    void Count(int bytes, const CReceiveCounters& counters) const;

    std::array<char, kReceiveWindow> m_window{};
    std::vector<char> m_body;   // the body's receive buffer, made on first use
    int m_count = 0;      // valid bytes in the window
    int m_searched = 0;   // valid bytes already searched for a line feed
    bool m_windowCut = false;   // bytes after a body did not fit the window and were dropped
    std::string m_ahead;        // the request sent ahead, if any
    std::string m_keptFor;   // where the open connection goes, once a reply left it usable
    std::chrono::steady_clock::time_point m_idleSince;
    std::chrono::milliseconds m_idleLimit = kKeptIdleLimit;
};

} // namespace torvex
