#include "net/CFTPSession.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/BoundedText.h"
#include "base/LeadingNumber.h"
#include "net/CMyException.h"

namespace torvex {

namespace {

constexpr int kReplyServiceReady = 220;
constexpr int kReplyNeedPassword = 331;
constexpr int kReplyLoggedIn = 230;
constexpr int kReplyNotNeeded = 202;
constexpr int kReplyOk = 200;
constexpr int kReplyFileStatus = 213;
constexpr int kReplyNoSuchFile = 550;
constexpr int kReplyPassive = 227;
constexpr int kReplyRestarting = 350;
constexpr int kReplyClosingData = 226;
constexpr int kReplyFileActionDone = 250;
constexpr int kDataChunk = 65536;

[[noreturn]] void ThrowSessionFailure(int code) {
    ThrowMyException(ExceptionKind::General, kFtpSessionClass, kOpFtpGet, code);
}

// Every way out of a session closes both connections and forgets what the control window held,
// so the next try starts afresh whatever happened to this one.
class ConnectionCloser {
public:
    ConnectionCloser(CMyExFtpSocket& control, CMyExFtpSocket& data)
        : m_control(control), m_data(data) {}
    ~ConnectionCloser() {
        m_data.Close();
        m_data.ResetWindow();
        m_control.Close();
        m_control.ResetWindow();
    }
    ConnectionCloser(const ConnectionCloser&) = delete;
    ConnectionCloser& operator=(const ConnectionCloser&) = delete;

private:
    CMyExFtpSocket& m_control;
    CMyExFtpSocket& m_data;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a run of one to three digits, or -1 when `digits` is not that or exceeds 255.
int ByteValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 3) {
        return -1;
    }
    int value = 0;
    for (const char c : digits) {
        if (!IsDigit(c)) {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value <= 255 ? value : -1;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}


// The number a SIZE reply gives, or -1 when it gives none.
std::int64_t SizeOfReply(std::string_view reply) {
    while (!reply.empty() && reply.front() == ' ') {
        reply.remove_prefix(1);
    }
    const std::size_t space = reply.find(' ');
    if (space == std::string_view::npos) {
        return -1;
    }
    std::string_view rest = reply.substr(space + 1);
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    if (rest.empty() || !IsDigit(rest.front())) {
        return -1;
    }
    return LeadingNumber(rest);
}

} // namespace

bool ParsePassiveReply(std::string_view reply, std::string& host, int& port) {
    while (!reply.empty() && reply.front() == ' ') {
        reply.remove_prefix(1);
    }
    std::size_t position = reply.find(' ');
    if (position == std::string_view::npos) {
        return false;
    }
    // Four numbers, each the run of digits right before a comma.
    std::string dotted;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = reply.find(',', position);
        if (comma == std::string_view::npos) {
            return false;
        }
        std::size_t start = comma;
        while (start > position && IsDigit(reply[start - 1])) {
            --start;
        }
        const int value = ByteValue(reply.substr(start, comma - start));
        if (value < 0) {
            return false;
        }
        dotted += (i == 0 ? "" : ".") + std::to_string(value);
        position = comma + 1;
    }
    const std::size_t fifth = reply.find(',', position);
    if (fifth == std::string_view::npos) {
        return false;
    }
    const int high = ByteValue(TrimSpaces(reply.substr(position, fifth - position)));
    std::size_t end = fifth + 1;
    while (end < reply.size() && reply[end] == ' ') {
        ++end;
    }
    const std::size_t lowStart = end;
    while (end < reply.size() && IsDigit(reply[end])) {
        ++end;
    }
    const int low = ByteValue(reply.substr(lowStart, end - lowStart));
    if (high < 0 || low < 0 || high * 256 + low == 0) {
        return false;
    }
    host = dotted;
    port = high * 256 + low;
    return true;
}

std::string FtpPathOf(const CUrl& url) {
    const std::string& path = url.Path();
    std::string decoded;
    decoded.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexDigitValue(path[i + 1]) >= 0 &&
            HexDigitValue(path[i + 2]) >= 0) {
            const int byte = HexDigitValue(path[i + 1]) * 16 + HexDigitValue(path[i + 2]);
            decoded.push_back(static_cast<char>(byte));
            i += 2;
        } else {
            decoded.push_back(path[i]);
        }
    }
    return decoded;
}

CFTPSession::CFTPSession(const CHttpOptions& options, CHttpWorkerLink& worker)
    : m_options(options), m_worker(worker) {}

bool CFTPSession::StopRequested() const {
    const std::atomic<bool>* stop = m_worker.StopFlag();
    return stop != nullptr && stop->load();
}

void CFTPSession::LogIn(const CUrl& url, CMyExFtpSocket& control,
                        const SocketAddress& address) {
    m_worker.SetState(WorkerState::Connecting);
    control.CreateNonBlocking();
    if (m_options.proxyMode == ProxyMode::Socks5) {
        control.SocksConnect(url.Host(), url.EffectivePort(), control.TimeOut(),
                             m_worker.StopFlag());
    } else {
        control.Connect(address, control.TimeOut());
    }
    if (control.ReadReply() != kReplyServiceReady) {
        ThrowSessionFailure(FtpCode::BadGreeting);
    }
    m_worker.SetState(WorkerState::SendingRequest);

    std::string user = "anonymous";
    std::string password(kAnonymousPassword);
    if (url.UserName() != nullptr) {
        AssignCut(user, *url.UserName(), kMaxFtpLogin);
        password.clear();
        if (url.Password() != nullptr) {
            AssignCut(password, *url.Password(), kMaxFtpLogin);
        }
    }
    control.SendCommand("USER " + user);
    const int userReply = control.ReadReply();
    if (userReply == kReplyNeedPassword) {
        control.SendCommand("PASS " + password);
        const int passReply = control.ReadReply();
        if (passReply != kReplyLoggedIn && passReply != kReplyNotNeeded) {
            ThrowSessionFailure(FtpCode::PasswordRefused);
        }
    } else if (userReply != kReplyLoggedIn) {
        // A server that logs the user in without a password says so with 230.
        ThrowSessionFailure(FtpCode::UserRefused);
    }

    control.SendCommand("TYPE I");
    if (control.ReadReply() != kReplyOk) {
        ThrowSessionFailure(FtpCode::TypeRefused);
    }
}

CFTPSession::Retrieval CFTPSession::StartRetrieval(const CUrl& url, const std::string& path,
                                                   std::int64_t resumeOffset,
                                                   CMyExFtpSocket& control, CMyExFtpSocket& data,
                                                   const SocketAddress& address) {
    control.SendCommand("PASV");
    if (control.ReadReply() != kReplyPassive) {
        ThrowSessionFailure(FtpCode::PassiveRefused);
    }
    std::string passiveHost;
    int passivePort = 0;
    if (!ParsePassiveReply(control.ReplyText(), passiveHost, passivePort)) {
        ThrowSessionFailure(FtpCode::BadPassiveAddress);
    }

    Retrieval retrieval;
    retrieval.offset = resumeOffset;
    control.SendCommand("REST " + std::to_string(resumeOffset));
    if (control.ReadReply() != kReplyRestarting) {
        retrieval.offset = 0;
    }

    // The data connection goes to the server of the control connection, whatever host the
    // PASV reply names: a server behind a translating router names an address nobody can
    // reach, and a hostile one could point the download at another machine.
    data.CreateNonBlocking();
    if (m_options.proxyMode == ProxyMode::Socks5) {
        data.SocksConnect(url.Host(), passivePort, data.TimeOut(), m_worker.StopFlag());
    } else {
        data.Connect(SocketAddress{address.address, static_cast<std::uint16_t>(passivePort)},
                     data.TimeOut());
    }

    control.SendCommand("RETR " + path);
    // The server says whether the transfer starts before it sends a byte; a refusal is known
    // at once instead of after the data connection's time-out, and the file on disk is not
    // touched for it.
    const int retrReply = control.ReadReply();
    if (retrReply == kReplyNoSuchFile) {
        ThrowSessionFailure(FtpCode::NoSuchFile);
    }
    retrieval.preliminary = retrReply >= 100 && retrReply < 200;
    if (!retrieval.preliminary && retrReply != kReplyClosingData &&
        retrReply != kReplyFileActionDone) {
        ThrowSessionFailure(FtpCode::NotConfirmed);
    }
    return retrieval;
}

std::int64_t CFTPSession::ReceiveFile(CMyExFtpSocket& data, IBodySink& body,
                                      std::int64_t offset, std::int64_t expected) {
    std::atomic<std::int64_t>* shared = m_worker.SharedReaded();
    auto publish = [shared](std::int64_t stored) {
        if (shared != nullptr) {
            shared->store(stored);
        }
    };
    publish(offset);
    std::int64_t received = 0;
    std::vector<char> buffer(kDataChunk);
    // A transfer that trickles fails like one that stalls.
    CReceivePace pace(data.TimeOut());
    while ((expected < 0 || received < expected) && !StopRequested()) {
        int chunk = kDataChunk;
        if (expected >= 0) {
            chunk = static_cast<int>(std::min<std::int64_t>(expected - received, kDataChunk));
        }
        const int got = data.ReceivePaced(buffer.data(), chunk, pace);
        if (got == 0) {
            break;
        }
        body.Write(buffer.data(), static_cast<std::size_t>(got));
        received += got;
        publish(offset + received);
        if (std::atomic<std::int64_t>* bytes = m_worker.ReceivedBytes(); bytes != nullptr) {
            bytes->fetch_add(got, std::memory_order_relaxed);
        }
    }
    return received;
}

CTransferResult CFTPSession::FTPGet(const CFtpRequest& request, CMyExFtpSocket& control,
                                    CMyExFtpSocket& data, const SocketAddress& address) {
    const std::string path = FtpPathOf(request.url);
    CTransferResult result;

    ConnectionCloser closer(control, data);
    control.Close();
    control.ResetWindow();
    data.Close();
    data.ResetWindow();

    LogIn(request.url, control, address);
    control.SendCommand("SIZE " + path);
    const int sizeReply = control.ReadReply();
    if (sizeReply == kReplyNoSuchFile) {
        ThrowSessionFailure(FtpCode::NoSuchFile);
    }
    result.size = sizeReply == kReplyFileStatus ? SizeOfReply(control.ReplyText()) : -1;
    IBodySink& body = *request.body;
    if (!body.WantBody(result)) {
        control.Close();
        m_worker.SetState(WorkerState::Idle);
        result.outcome = TransferOutcome::NotWanted;
        return result;
    }

    const Retrieval retrieval =
        StartRetrieval(request.url, path, request.resumeOffset, control, data, address);
    body.Open(result, retrieval.offset);
    m_worker.SetState(WorkerState::ReceivingFtp);
    const std::int64_t expected = result.size >= 0 ? result.size - retrieval.offset : -1;
    const std::int64_t received = ReceiveFile(data, body, retrieval.offset, expected);
    result.bodyBytes = retrieval.offset + received;
    if (StopRequested()) {
        result.outcome = TransferOutcome::Stopped;
        return result;
    }
    // Closing the data connection first lets a server that has more to send than it announced
    // finish and confirm.
    data.Close();
    if (expected > 0 && received < expected) {
        ThrowMyException(ExceptionKind::Socket, kFtpSocketClass, kOpFtpReceive, 0);
    }
    if (retrieval.preliminary) {
        const int done = control.ReadReply();
        if (done != kReplyClosingData && done != kReplyFileActionDone) {
            ThrowSessionFailure(FtpCode::NotConfirmed);
        }
    }
    m_worker.SetState(WorkerState::Idle);
    body.Close();
    result.outcome = TransferOutcome::Stored;
    return result;
}

} // namespace torvex
