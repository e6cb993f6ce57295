#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/Sockets.h"

namespace torvex {

class CTlsChannel;
class CTlsContext;

// Status codes of the non-throwing operations besides byte counts.
constexpr int kSocketFailed = -1;     // socket error, or address not resolvable
constexpr int kSocketTimedOut = -2;   // not ready within the time-out
constexpr int kStreamSocket = 1;      // the socket type every caller asks for

// The wait that every blocking step of a socket may take. Settings give it in whole seconds
// (std::chrono::seconds converts); tests use a few milliseconds.
using SocketWait = std::chrono::milliseconds;

// One IPv4 stream socket with a time-out on every blocking step. The
// operations here never throw: they return a byte count, -1 for an error or -2 for a time-out.
// Owned by one download worker (or the FTP session it runs); used by that thread only.
// Destruction closes a socket that is still held, so no handle is ever lost, but owners close
// explicitly (Close) whenever a connection ends.
class CBlockingSocket {
public:
    CBlockingSocket();
    virtual ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // -1 when a socket is already held or the type is not a stream; -1 when none could be made;
    // else the new handle.
    int Create(int type);
    // -1 when no socket is held; else the result of closing. No socket is held afterwards.
    int Close();
    // `blocking` false switches to non-blocking mode (what every caller does right after Create).
    int SetBlocking(bool blocking);
    // Starts the connection: 0 when it is made or under way, -1 when it failed at once. A
    // refused or unreachable target shows at the first send (-1, or -2 after the time-out).
    int ConnectRaw(const SocketAddress& target);
    // Waits up to `timeOut` for the connection ConnectRaw started: 0 when it is made, -1
    // when it failed (refused, unreachable), -2 after the time-out.
    int FinishConnectRaw(SocketWait timeOut);
    // Secures the connection (made, or tunnelled through a proxy) with TLS for `host`: 0, -1 or
    // -2; after -1, Tls() says why. From then on every send and receive goes through the
    // session, with the same waits and results, until Close.
    int StartTlsRaw(CTlsContext& context, std::string_view host, int port, SocketWait timeOut);
    // The TLS session of the connection; null while it is plain.
    const CTlsChannel* Tls() const { return m_tls.get(); }

    // One send; when nothing fits, one wait for room and 0 (the caller sends again): bytes
    // sent, -1 or -2.
    int Send(const char* data, int length, SocketWait timeOut);
    // Sends everything: `length`, or the first -1 or -2. Each step waits the full time-out.
    int SendAllRaw(const char* data, int length, SocketWait timeOut);
    // One wait for readability and one receive: bytes received (0 when the peer closed), -1 or -2.
    int ReceiveRaw(char* buffer, int capacity, SocketWait timeOut);
    // Receives exactly `length` bytes: `length`, or the first -1 or -2. A peer that closes
    // before everything arrived gives -1.
    int ReceiveAllRaw(char* buffer, int length, SocketWait timeOut);

    bool IsOpen() const { return m_handle != kNoSocket; }
    // Small writes go out at once (see SetSocketNoDelay); false when the socket refused.
    bool SendAtOnce() { return m_handle != kNoSocket && SetSocketNoDelay(m_handle) == 0; }
    // From another thread: breaks off whatever the owner waits for on this socket (the owner's
    // call then fails or sees the peer gone). Nothing happens while no socket is held.
    void Interrupt();

    // Bytes received by every socket of the process since it started (the speed display samples
    // it from any thread).
    static std::int64_t TotalReceivedBytes();

protected:
    SocketHandle m_handle = kNoSocket;
    std::unique_ptr<CTlsChannel> m_tls;   // the connection's TLS session, if it has one
    // Guards the handle's changes against Interrupt from another thread; the owner's own reads
    // need no lock, since only the owner changes the handle.
    std::mutex m_handleLock;
};

// Fills `out` with the IPv4 address of `host` and `port`: a dotted address (four numbers) or a
// host written as one decimal number is taken as it is; anything else is asked of the system
// resolver.
// 0 on success, -1 when nothing resolved (`out` is then unchanged). The resolver is abandoned
// as soon as `abort` (may be null) becomes true.
int ResolveAddress(std::string_view host, int port, SocketAddress& out,
                   const std::atomic<bool>* abort = nullptr);

} // namespace torvex
