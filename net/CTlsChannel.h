#pragma once

#include <string>
#include <string_view>

#include "platform/Sockets.h"

namespace torvex {

class CTlsContext;

// Why a TLS handshake failed (the code of a "TlsHandshake" failure).
namespace TlsCode {
constexpr int Failed = 1;        // protocol error, or the server closed or reset the connection
constexpr int Certificate = 2;   // the certificate was not accepted (chain, dates or host name)
} // namespace TlsCode

// One TLS session over a connected socket handle, which its caller keeps owning. The records go
// through the same waits as a plain socket (one wait of the full time-out per step, the
// socket's shutdown from another thread breaks any wait off), so a TLS connection times out
// and stops as a plain one does. Owned by the socket it secures; used by that socket's thread.
class CTlsChannel {
public:
    CTlsChannel(CTlsContext& context, SocketHandle handle);
    ~CTlsChannel();
    CTlsChannel(const CTlsChannel&) = delete;
    CTlsChannel& operator=(const CTlsChannel&) = delete;

    // Runs the client handshake for `host` (sent as SNI unless it is a dotted address, and
    // checked against the certificate when the context verifies), resuming the host's session
    // when the context holds one. 0 when done, -2 after a time-out, -1 when it failed:
    // FailureCode() and Reason() say why.
    int Handshake(std::string_view host, int port, std::chrono::milliseconds timeOut);
    // Bytes sent (all of `length`), -1 or -2.
    int Send(const char* data, int length, std::chrono::milliseconds timeOut);
    // Bytes received; 0 when the server ended the session properly; -1 on an error, also for a
    // connection that ends without the server's close notice (a cut that could hide a truncated
    // body); -2 after a time-out.
    int Receive(char* buffer, int capacity, std::chrono::milliseconds timeOut);
    // Tells the server the session ends, without waiting for anything.
    void Close();

    int FailureCode() const { return m_failureCode; }
    const std::string& Reason() const { return m_reason; }
    bool Resumed() const { return m_resumed; }

    struct State;

private:
    CTlsContext& m_context;
    SocketHandle m_handle;
    State* m_state;
    int m_failureCode = 0;
    std::string m_reason;
    bool m_resumed = false;
};

} // namespace torvex
