#include "net/CMyExFtpSocket.h"

#include <algorithm>

#include "net/CMyException.h"
#include "net/LineWindow.h"

namespace torvex {

namespace {

[[noreturn]] void ThrowLineFailure() {
    ThrowMyException(ExceptionKind::Socket, kFtpSocketClass, kOpReadRSPLine, kSocketFailed);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithCode(std::string_view line) {
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

// "ddd text" or a bare "ddd": the last line of a reply.
bool IsFinalForm(std::string_view line) {
    return StartsWithCode(line) &&
           (line.size() == 3 || line[3] == ' ' || line[3] == '\r' || line[3] == '\n');
}

} // namespace

CMyExFtpSocket::CMyExFtpSocket() = default;

CMyExFtpSocket::~CMyExFtpSocket() = default;

void CMyExFtpSocket::ResetWindow() {
    m_count = 0;
    m_searched = 0;
    m_reply.clear();
}

void CMyExFtpSocket::SendCommand(std::string_view text) {
    const bool unsafe = std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 32 || byte == 127;
    });
    if (text.size() > kMaxFtpCommand || unsafe) {
        ThrowMyException(ExceptionKind::General, kFtpSocketClass, kOpBadCommand, 0);
    }
    std::string line(text);
    line += "\r\n";
    SendAll(line.data(), static_cast<int>(line.size()), m_timeOut);
}

int CMyExFtpSocket::ReadRSPLine(std::string& line, std::size_t capacity) {
    CReceivePace pace(m_timeOut);
    return ReadRSPLine(line, capacity, pace);
}

int CMyExFtpSocket::ReadRSPLine(std::string& line, std::size_t capacity, CReceivePace& pace) {
    for (;;) {
        const int kept = TakeWindowLine(m_window.data(), m_count, m_searched, line, capacity);
        if (kept >= 0) {
            return kept;
        }
        if (m_count >= kFtpLineWindow) {
            ThrowLineFailure();   // a line longer than the window
        }
        const int received =
            ReceivePaced(m_window.data() + m_count, kFtpLineWindow - m_count, pace);
        if (received <= 0) {
            ThrowLineFailure();
        }
        m_count += received;
    }
}

int CMyExFtpSocket::ReadReply() {
    m_reply.clear();
    std::string line;
    std::string openCode;   // the code of a first line "ddd-", which the last line repeats
    std::size_t bytesRead = 0;
    // A reply spread over many lines must still come at a pace: an endless multi-line reply
    // that trickles fails like a time-out.
    CReceivePace pace(m_timeOut);
    for (bool first = true;; first = false) {
        ReadRSPLine(line, static_cast<std::size_t>(kFtpLineWindow) + 1, pace);
        bytesRead += line.size();
        if (bytesRead > kMaxFtpReplyBytes) {
            ThrowLineFailure();
        }
        if (m_reply.size() + line.size() < kMaxFtpReplyText) {
            m_reply += line;
        }
        if (first && StartsWithCode(line) && line.size() > 3 && line[3] == '-') {
            openCode = line.substr(0, 3);
            continue;
        }
        // Inside a multi-line reply, text lines may begin with digits too; only the opening
        // code ends it.
        if (IsFinalForm(line) && (openCode.empty() || line.compare(0, 3, openCode) == 0)) {
            return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        }
    }
}

} // namespace torvex
