#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/CHttpOptions.h"
#include "net/CHttpWorkerLink.h"
#include "net/CMyExFtpSocket.h"
#include "net/CTransferResult.h"
#include "net/IBodySink.h"
#include "platform/Sockets.h"
#include "url/CUrl.h"

namespace torvex {

// The session's own failures: CMyException with this class name and operation, and a code.
constexpr std::string_view kFtpSessionClass = "FTPSession";
constexpr std::string_view kOpFtpGet = "FTPGet";
// The data connection ended before the announced size arrived (CMySocketException, code 0).
constexpr std::string_view kOpFtpReceive = "FTP Receive";
// Sent as the password of an anonymous login.
constexpr std::string_view kAnonymousPassword = "user@torvex.x";
constexpr std::size_t kMaxFtpLogin = 128;

namespace FtpCode {
constexpr int BadGreeting = 1;        // the greeting is not 220
constexpr int UserRefused = 2;        // USER answered with neither 331 nor 230
constexpr int PasswordRefused = 3;    // PASS not answered with 230
constexpr int TypeRefused = 4;        // TYPE I not answered with 200
constexpr int NoSuchFile = 5;         // SIZE or RETR answered with 550
constexpr int PassiveRefused = 6;     // PASV not answered with 227
constexpr int BadPassiveAddress = 7;  // the PASV reply holds no usable address
constexpr int NotConfirmed = 8;       // RETR refused, or the transfer not confirmed
} // namespace FtpCode

// One FTP download: what to fetch and where the file goes.
struct CFtpRequest {
    CUrl url;                        // with the user name and password of the login, if any
    std::int64_t resumeOffset = 0;   // > 0: continue after this many bytes stored before (REST)
    IBodySink* body = nullptr;       // where the file goes; must be given
};

// One FTP download: a control connection, a passive data connection, binary type, resumption
// with REST, one RETR into the request's sink. Made by a download worker for its own use (it
// holds references to the run's options and to the worker's progress link, which outlive it);
// runs on that worker's thread with the worker's two FTP sockets. Never retries and never
// lists directories.
class CFTPSession {
public:
    // Of the run's transfer options the session reads the proxy mode; the time-outs are the
    // sockets' own.
    CFTPSession(const CHttpOptions& options, CHttpWorkerLink& worker);

    // Fetches `request` over `control` and `data`, connecting to `address` (the resolved
    // server; unused through a SOCKS5 proxy, where the sockets' own settings lead the way).
    // The sink is asked whether it wants the file once SIZE has told its size (result.size).
    // Returns Stored, NotWanted or Stopped. Throws CMyException "FTPGet" with an FtpCode,
    // "BadCommand", what the sink throws, and CMySocketException for network failures. Both
    // sockets are closed on every way out.
    CTransferResult FTPGet(const CFtpRequest& request, CMyExFtpSocket& control,
                           CMyExFtpSocket& data, const SocketAddress& address);

private:
    // What the server agreed to for a retrieval: the offset it continues from (0 when it
    // refused REST) and whether it confirms the transfer after the data (a 1xx reply to RETR).
    struct Retrieval {
        std::int64_t offset = 0;
        bool preliminary = false;
    };

    bool StopRequested() const;
    // Connects, reads the greeting, logs in (anonymously without a user name) and asks for
    // binary type.
    void LogIn(const CUrl& url, CMyExFtpSocket& control, const SocketAddress& address);
    // PASV, REST, the data connection and RETR.
    Retrieval StartRetrieval(const CUrl& url, const std::string& path, std::int64_t resumeOffset,
                             CMyExFtpSocket& control, CMyExFtpSocket& data,
                             const SocketAddress& address);
    // Moves the data connection's bytes into `body` until `expected` (-1: the close) or a stop;
    // returns the bytes received.
    std::int64_t ReceiveFile(CMyExFtpSocket& data, IBodySink& body, std::int64_t offset,
                             std::int64_t expected);

    const CHttpOptions& m_options;
    CHttpWorkerLink& m_worker;
};

// Reads the address of a PASV reply ("227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)", the
// parentheses optional): true with the dotted host and the port when six numbers of 0..255
// follow the code and the port is not 0.
bool ParsePassiveReply(std::string_view reply, std::string& host, int& port);

// The file's path as the server names it: the URL's path (with its query) with %XX escapes
// decoded.
std::string FtpPathOf(const CUrl& url);

} // namespace torvex
