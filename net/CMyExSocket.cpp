#include "net/CMyExSocket.h"

#include "net/CMyException.h"
#include "net/CTlsChannel.h"

namespace torvex {

namespace {

[[noreturn]] void ThrowSocketFailure(std::string_view operation, int code) {
    ThrowMyException(ExceptionKind::Socket, kMyExSocketClass, operation, code);
}

} // namespace

CMyExSocket::CMyExSocket() = default;

CMyExSocket::~CMyExSocket() = default;

void CMyExSocket::CreateNonBlocking() {
    if (Create(kStreamSocket) < 0) {
        ThrowSocketFailure(kOpCreate, kSocketFailed);
    }
    if (SetBlocking(false) != 0) {
        ThrowSocketFailure(kOpCreate, kSocketFailed);
    }
}

int CMyExSocket::Connect(const SocketAddress& target) {
    const int result = ConnectRaw(target);
    if (result == kSocketFailed) {
        ThrowSocketFailure(kOpConnect, result);
    }
    return 0;
}

int CMyExSocket::Connect(const SocketAddress& target, SocketWait timeOut) {
    Connect(target);
    const int result = FinishConnectRaw(timeOut);
    if (result < 0) {
        ThrowSocketFailure(kOpConnect, result);
    }
    return 0;
}

void CMyExSocket::StartTls(CTlsContext& context, std::string_view host, int port, SocketWait timeOut) {
    const int result = StartTlsRaw(context, host, port, timeOut);
    if (result == 0) {
        return;
    }
    const CTlsChannel* tls = Tls();
    const int code = result == kSocketTimedOut || tls == nullptr ? result : tls->FailureCode();
    ThrowMyException(ExceptionKind::Socket, kMyExSocketClass, kOpTlsHandshake, code,
                     tls != nullptr ? std::string_view(tls->Reason()) : std::string_view());
}

int CMyExSocket::SendAll(const char* data, int length, SocketWait timeOut) {
    const int result = SendAllRaw(data, length, timeOut);
    if (result < 0) {
        ThrowSocketFailure(kOpSendAll, result);
    }
    return result;
}

int CMyExSocket::Receive(char* buffer, int capacity, SocketWait timeOut) {
    const int result = ReceiveRaw(buffer, capacity, timeOut);
    if (result < 0) {
        ThrowSocketFailure(kOpReceive, result);
    }
    return result;
}

int CMyExSocket::ReceiveAll(char* buffer, int length, SocketWait timeOut) {
    const int result = ReceiveAllRaw(buffer, length, timeOut);
    if (result < 0) {
        ThrowSocketFailure(kOpReceiveAll, result);
    }
    return result;
}

int CMyExSocket::ReceivePaced(char* buffer, int capacity, CReceivePace& pace) {
    for (;;) {
        const int result = ReceiveRaw(buffer, capacity, pace.NextWait());
        if (result == kSocketFailed) {
            ThrowSocketFailure(kOpReceive, kSocketFailed);
        }
        if (result == 0) {
            return 0;   // the peer closed: whatever came is all there is
        }
        if (!pace.Received(result > 0 ? result : 0)) {
            ThrowSocketFailure(kOpReceive, kSocketTimedOut);
        }
        if (result > 0) {
            return result;
        }
    }
}

int GetHostByName(std::string_view host, int port, SocketAddress& out,
                  const std::atomic<bool>* abort) {
    const int result = ResolveAddress(host, port, out, abort);
    if (result != 0) {
        ThrowSocketFailure(kOpGetHostByName, kSocketFailed);
    }
    return 0;
}

} // namespace torvex
