#pragma once

#include <atomic>
#include <string_view>

#include "net/CBlockingSocket.h"
#include "net/CReceivePace.h"

namespace torvex {

// Operation texts of the socket layer's exceptions; the worker tells failures apart by them.
constexpr std::string_view kOpGetHostByName = "GetHostByName";
constexpr std::string_view kOpConnect = "Connect";
constexpr std::string_view kOpSendAll = "SendAll";
constexpr std::string_view kOpReceive = "Receive";
constexpr std::string_view kOpReceiveAll = "ReceiveAll";
constexpr std::string_view kOpCreate = "Create";
// The TLS handshake failed: code TlsCode::Failed or TlsCode::Certificate, or -2 after a
// time-out; the exception's detail gives the reason.
constexpr std::string_view kOpTlsHandshake = "TlsHandshake";
constexpr std::string_view kMyExSocketClass = "CMyExSocket";

// The throwing layer over CBlockingSocket: each operation calls its raw form and turns -1 or -2
// into a thrown CMySocketException (class "CMyExSocket", the operation text, the raw result as
// code). Every failure leaves the socket open; the catcher closes it. Same ownership and
// threading as CBlockingSocket.
class CMyExSocket : public CBlockingSocket {
public:
    CMyExSocket();
    ~CMyExSocket() override;

    // Creates a stream socket and makes it non-blocking; throws "Create" (-1) when no socket can
    // be had.
    void CreateNonBlocking();
    // Throws "Connect" (-1) when the connection failed at once; returns 0.
    int Connect(const SocketAddress& target);
    // Connects and waits until the connection is made: a refused or unreachable target, or no
    // answer within `timeOut`, throws "Connect" (-1 or -2), so that a wrong port is told
    // apart from a failure in the middle of a transfer.
    int Connect(const SocketAddress& target, SocketWait timeOut);
    // Secures the connection with TLS for `host` (StartTlsRaw); throws "TlsHandshake" with the
    // reason as detail.
    void StartTls(CTlsContext& context, std::string_view host, int port, SocketWait timeOut);
    // Returns `length`; throws "SendAll" with -1 or -2.
    int SendAll(const char* data, int length, SocketWait timeOut);
    // Returns the bytes received, 0 when the peer closed (no exception); throws "Receive" with
    // -1 or -2.
    int Receive(char* buffer, int capacity, SocketWait timeOut);
    // Returns `length`; throws "ReceiveAll" with -1 or -2 (-1 also when the peer closed early).
    int ReceiveAll(char* buffer, int length, SocketWait timeOut);
    // One receive of a reply that `pace` watches: waits at most for the rest of the pace's
    // window, and again after a window that ended fast enough. Returns the bytes received, 0
    // when the peer closed; throws "Receive" with -1 on an error and with -2 when a window ended
    // with too little received (a trickling peer is a peer that timed out).
    int ReceivePaced(char* buffer, int capacity, CReceivePace& pace);
};

// ResolveAddress that throws "GetHostByName" (class "CMyExSocket", code -1) when nothing
// resolved; returns 0.
int GetHostByName(std::string_view host, int port, SocketAddress& out,
                  const std::atomic<bool>* abort = nullptr);

} // namespace torvex
