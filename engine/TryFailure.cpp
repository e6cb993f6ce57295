#include "engine/TryFailure.h"

#include "net/CFTPSession.h"
#include "net/CHttpTransaction.h"
#include "net/CMyExSocket.h"
#include "net/CTlsChannel.h"
#include "net/HttpConnect.h"

namespace torvex {

int EndCodeForSocketFailure(std::string_view operation, int code, bool viaProxy) {
    if (operation == "Socks5Authenticate") {
        return 303;
    }
    if (operation == "GetHostByName") {
        return viaProxy ? 301 : 401;
    }
    if (operation == "Connect") {
        return viaProxy ? 302 : 402;
    }
    if (operation == kOpTlsHandshake) {
        return 408;   // with the target, also through a proxy
    }
    if (operation == kOpProxyTunnel) {
        // Some proxies answer a tunnel's bad credentials with 401 rather than 407.
        return code == 407 || code == 401 ? 303 : 302;
    }
    return 0;
}

bool IsDefinitiveAnswer(std::string_view operation, int code) {
    if (operation == kOpHttpSession) {
        return code >= 400 && code <= 499 && code != 408 && code != 429;
    }
    // A certificate that was refused is refused again.
    if (operation == kOpTlsHandshake) {
        return code == TlsCode::Certificate;
    }
    return operation == kOpFtpGet && code == FtpCode::NoSuchFile;
}

int EndCodeForFailure(std::string_view operation, int code) {
    if (operation == "LongFilePath" || operation == "OpenFile") {
        return 406;
    }
    if (operation == "NoBody") {
        return 407;
    }
    if (operation == "HTTPSession") {
        switch (code) {
        case 401: return 404;
        case 403: return 501;
        case 404: return 405;
        case 407: return 303;
        default: return code >= 500 && code <= 505 ? 403 : 0;
        }
    }
    switch (code) {
    case 2:
    case 3: return 404;
    case 5: return 405;
    case 1:
    case 4:
    case 6:
    case 7:
    case 8: return 403;
    default: return 0;
    }
}

} // namespace torvex
