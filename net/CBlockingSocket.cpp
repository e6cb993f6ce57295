#include "net/CBlockingSocket.h"

#include <string>

#include "net/CTlsChannel.h"

namespace torvex {

namespace {

std::atomic<std::int64_t> g_receivedBytes{0};

} // namespace

CBlockingSocket::CBlockingSocket() = default;

CBlockingSocket::~CBlockingSocket() {
    m_tls.reset();
    if (m_handle != kNoSocket) {
        CloseSocket(m_handle);
    }
}

int CBlockingSocket::Create(int type) {
    if (m_handle != kNoSocket || type != kStreamSocket) {
        return kSocketFailed;
    }
    const SocketHandle handle = OpenStreamSocket();
    if (handle == kNoSocket) {
        return kSocketFailed;
    }
    std::lock_guard<std::mutex> guard(m_handleLock);
    m_handle = handle;
    return handle;
}

void CBlockingSocket::Interrupt() {
    std::lock_guard<std::mutex> guard(m_handleLock);
    if (m_handle != kNoSocket) {
        ShutdownSocket(m_handle);
    }
}

int CBlockingSocket::Close() {
    if (m_handle == kNoSocket) {
        return kSocketFailed;
    }
    if (m_tls) {
        m_tls->Close();
        m_tls.reset();
    }
    std::lock_guard<std::mutex> guard(m_handleLock);
    const int result = CloseSocket(m_handle);
    m_handle = kNoSocket;
    return result;
}

int CBlockingSocket::SetBlocking(bool blocking) {
    if (m_handle == kNoSocket) {
        return kSocketFailed;
    }
    return SetSocketBlocking(m_handle, blocking);
}

int CBlockingSocket::ConnectRaw(const SocketAddress& target) {
    if (m_handle == kNoSocket) {
        return kSocketFailed;
    }
    return StartConnect(m_handle, target);
}

int CBlockingSocket::FinishConnectRaw(SocketWait timeOut) {
    if (m_handle == kNoSocket) {
        return kSocketFailed;
    }
    const int ready = WaitSocket(m_handle, true, timeOut);
    if (ready == 0) {
        return kSocketTimedOut;
    }
    if (ready < 0) {
        return kSocketFailed;
    }
    return ConnectOutcome(m_handle) == 0 ? 0 : kSocketFailed;
}

int CBlockingSocket::StartTlsRaw(CTlsContext& context, std::string_view host, int port,
                                 SocketWait timeOut) {
    if (m_handle == kNoSocket || m_tls) {
        return kSocketFailed;
    }
    m_tls = std::make_unique<CTlsChannel>(context, m_handle);
    return m_tls->Handshake(host, port, timeOut);
}

int CBlockingSocket::Send(const char* data, int length, SocketWait timeOut) {
    if (m_handle == kNoSocket || length < 0) {
        return kSocketFailed;
    }
    if (m_tls) {
        return m_tls->Send(data, length, timeOut);
    }
    // The socket is non-blocking: a send that fits the socket's buffer needs no wait first,
    // and most do. A failed wait is not taken for a time-out: the send is tried and its error
    // decides.
    const long sent = SendSome(m_handle, data, static_cast<std::size_t>(length));
    if (sent == kSocketRetry) {
        // Nothing fitted: once there is room, the caller sends again.
        return WaitSocket(m_handle, true, timeOut) == 0 ? kSocketTimedOut : 0;
    }
    return sent < 0 ? kSocketFailed : static_cast<int>(sent);
}

int CBlockingSocket::SendAllRaw(const char* data, int length, SocketWait timeOut) {
    int total = 0;
    while (total < length) {
        const int sent = Send(data + total, length - total, timeOut);
        if (sent < 0) {
            return sent;
        }
        total += sent;
    }
    return total;
}

int CBlockingSocket::ReceiveRaw(char* buffer, int capacity, SocketWait timeOut) {
    if (m_handle == kNoSocket || capacity < 0) {
        return kSocketFailed;
    }
    if (m_tls) {
        const int received = m_tls->Receive(buffer, capacity, timeOut);
        if (received > 0) {
            g_receivedBytes.fetch_add(received, std::memory_order_relaxed);
        }
        return received;
    }
    // Bytes that are there already are taken without a wait: a reply behind another one on
    // a kept connection, or the rest of a body, usually is.
    for (bool wait = false;; wait = true) {
        if (wait && WaitSocket(m_handle, false, timeOut) == 0) {
            return kSocketTimedOut;
        }
        const long received = ReceiveSome(m_handle, buffer, static_cast<std::size_t>(capacity));
        if (received == kSocketRetry) {
            continue;   // nothing yet, or woken without data after all: wait
        }
        if (received < 0) {
            return kSocketFailed;
        }
        g_receivedBytes.fetch_add(received, std::memory_order_relaxed);
        return static_cast<int>(received);
    }
}

int CBlockingSocket::ReceiveAllRaw(char* buffer, int length, SocketWait timeOut) {
    int total = 0;
    while (total < length) {
        const int received = ReceiveRaw(buffer + total, length - total, timeOut);
        if (received < 0) {
            return received;
        }
        if (received == 0) {
            return kSocketFailed;   // the peer closed before everything arrived
        }
        total += received;
    }
    return total;
}

std::int64_t CBlockingSocket::TotalReceivedBytes() {
    return g_receivedBytes.load(std::memory_order_relaxed);
}

int ResolveAddress(std::string_view host, int port, SocketAddress& out,
                   const std::atomic<bool>* abort) {
    std::uint32_t address = 0;
    // Only a whole address is one: a name that begins with digits ("3com-x.invalid") is asked
    // of the resolver and, when it knows none, is an unknown host, never the address 0.0.0.3.
    bool found = ParseDottedAddress(host, address) || ParseDecimalAddress(host, address);
    if (!found) {
        found = LookUpHostAddress(host, address, abort) == 0;
    }
    if (!found) {
        return kSocketFailed;
    }
    out.address = address;
    out.port = static_cast<std::uint16_t>(port);
    return 0;
}

} // namespace torvex
