#pragma once

#include <array>
#include <atomic>
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

    // Forgets whatever the window holds.
    void ResetWindow();

    // Bytes waiting in the window (the start of the body after a header was read).
    std::string_view WindowBytes() const;

private:
    void Count(int bytes, const CReceiveCounters& counters) const;

    std::array<char, kReceiveWindow> m_window{};
    std::vector<char> m_body;   // the body's receive buffer, made on first use
    int m_count = 0;      // valid bytes in the window
    int m_searched = 0;   // valid bytes already searched for a line feed
};

} // namespace torvex
