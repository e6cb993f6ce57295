#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The operating system's IPv4 stream sockets, behind the few calls the socket classes of net/
// need. Every call works on one handle owned by its caller; nothing here keeps state between
// calls, so any thread may call it for the handles it owns.

namespace torvex {

using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;

// Results of the send and receive calls besides a byte count.
constexpr long kSocketError = -1;
// The call was interrupted or the socket was not ready after all; waiting again is right.
constexpr long kSocketRetry = -3;

// An IPv4 address and port, both in host byte order.
struct SocketAddress {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// A new IPv4 stream socket, or kNoSocket.
SocketHandle OpenStreamSocket();
// Ends both directions of a connection without giving the handle up: a wait on it in another
// thread returns at once. 0 or -1.
int ShutdownSocket(SocketHandle handle);
// 0, or -1 when closing failed (the handle is gone either way).
int CloseSocket(SocketHandle handle);
// Sends small writes at once instead of holding them until what went before is acknowledged:
// requests that follow one another on a connection must not wait for the peer's delayed
// acknowledgement. 0 or -1.
int SetSocketNoDelay(SocketHandle handle);
// Switches the socket between blocking and non-blocking mode; 0 or -1.
int SetSocketBlocking(SocketHandle handle, bool blocking);
// Starts a connection: 0 when it is made or under way (non-blocking), -1 when it failed at once.
int StartConnect(SocketHandle handle, const SocketAddress& target);
// The outcome of a connection started on a non-blocking socket that has become writable: 0 when
// it is made, -1 when it failed (refused, unreachable).
int ConnectOutcome(SocketHandle handle);
// Waits up to `wait` for the socket to become writable (`forWrite`) or readable: 1 ready (also
// when an error is pending, which the next send or receive reports), 0 time-out, -1 error.
int WaitSocket(SocketHandle handle, bool forWrite, std::chrono::milliseconds wait);
// One send without SIGPIPE: bytes sent, kSocketError or kSocketRetry.
long SendSome(SocketHandle handle, const char* data, std::size_t length);
// One receive: bytes received (0 when the peer closed), kSocketError or kSocketRetry.
long ReceiveSome(SocketHandle handle, char* buffer, std::size_t capacity);

// A dotted IPv4 address: exactly four decimal numbers of 0..255 separated by dots, nothing
// before or after. False for anything else.
bool ParseDottedAddress(std::string_view text, std::uint32_t& address);
// A host written as one decimal number of 1..4294967295 and nothing else ("2130706433" is
// 127.0.0.1). False for anything else, also for a name that only begins with digits.
bool ParseDecimalAddress(std::string_view text, std::uint32_t& address);
// Asks the system resolver for the first IPv4 address of `host`: 0, or -1 when nothing was
// found. The look-up runs on one of a few threads kept for look-ups; this call waits for it in
// short slices and gives up with -1 as soon as `abort` (may be null) becomes true. An abandoned
// look-up that has not started is dropped; one that has started ends on its thread, and its
// result is dropped.
int LookUpHostAddress(std::string_view host, std::uint32_t& address,
                      const std::atomic<bool>* abort);
// The same for every IPv4 address of `host`, in the resolver's order.
int LookUpHostAddresses(std::string_view host, std::vector<std::uint32_t>& addresses,
                        const std::atomic<bool>* abort);
// The threads kept for look-ups so far (they grow with the look-ups waiting at once, to at most
// 16, and are joined when the process ends).
std::size_t LookupThreadCount();
// Tests: replaces the system resolver behind the look-ups (null: the system's again).
void SetHostLookupForTests(std::function<std::vector<std::uint32_t>(const std::string&)> lookup);
// "a.b.c.d".
std::string DottedAddressText(std::uint32_t address);

} // namespace torvex
