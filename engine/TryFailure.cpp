#include "engine/TryFailure.h"

#include "net/CBlockingSocket.h"
#include "net/CFTPSession.h"
#include "net/CHttpTransaction.h"
#include "net/CMyExFtpSocket.h"
#include "net/CMyExHttpSocket.h"
#include "net/CMyExSocket.h"
#include "net/CMyExSocksSocket.h"
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
    // A compression we never asked for comes again.
    if (operation == kOpBadEncoding) {
        return code == kUnknownCodingCode;
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

namespace {

std::string_view HttpReasonPhrase(int status) {
    switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 429: return "Too Many Requests";
    case 451: return "Unavailable For Legal Reasons";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    default: return {};
    }
}

std::string_view FtpReason(int code) {
    switch (code) {
    case FtpCode::BadGreeting: return "the FTP server did not greet with 220";
    case FtpCode::UserRefused: return "the FTP server refused the user name";
    case FtpCode::PasswordRefused: return "the FTP server refused the password";
    case FtpCode::TypeRefused: return "the FTP server refused binary mode";
    case FtpCode::NoSuchFile: return "no such file on the FTP server (550)";
    case FtpCode::PassiveRefused: return "the FTP server refused passive mode";
    case FtpCode::BadPassiveAddress:
        return "the FTP server's passive reply names no usable address";
    case FtpCode::NotConfirmed: return "the FTP server refused or did not confirm the transfer";
    default: return {};
    }
}

} // namespace

std::string FailureReasonText(std::string_view operation, int code) {
    const bool timedOut = code == kSocketTimedOut;
    if (operation == kOpHttpSession) {
        const std::string_view phrase = HttpReasonPhrase(code);
        return "HTTP " + std::to_string(code) + (phrase.empty() ? "" : " ") + std::string(phrase);
    }
    if (operation == kOpGetHostByName) {
        return "host not found";
    }
    if (operation == kOpConnect) {
        return timedOut ? "timed out connecting" : "connection refused or host unreachable";
    }
    if (operation == kOpSendAll) {
        return timedOut ? "timed out sending the request" : "connection broken while sending";
    }
    if (operation == kOpReceive || operation == kOpReceiveAll || operation == kOpReadHeaderLine ||
        operation == kOpHttpReceive || operation == kOpReadRSPLine ||
        operation == kOpFtpReceive) {
        return timedOut ? "timed out waiting for the server" : "connection broken while receiving";
    }
    if (operation == kOpCreate) {
        return "no socket could be had";
    }
    if (operation == kOpSocks5Authenticate) {
        return "the SOCKS5 proxy refused the login";
    }
    if (operation == kOpNoBody) {
        return "the server sent no content";
    }
    if (operation == kOpOpenFile) {
        return "the local file cannot be opened";
    }
    if (operation == kOpWriteFile) {
        return "the local file cannot be written";
    }
    if (operation == kOpLongFilePath) {
        return "the local path would be too long";
    }
    if (operation == kOpResumeOffset) {
        return "the stored part is shorter than where the server continued";
    }
    if (operation == kOpBadRequest) {
        return "the address cannot be sent in a request";
    }
    if (operation == kOpBadCommand) {
        return "the address cannot be sent in an FTP command";
    }
    if (operation == kOpFtpGet && !FtpReason(code).empty()) {
        return std::string(FtpReason(code));
    }
    if (operation.empty()) {
        return "given up";
    }
    return std::string(operation) + " failed (code " + std::to_string(code) + ")";
}

} // namespace torvex
