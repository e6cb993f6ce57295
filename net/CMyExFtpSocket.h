#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/CMyExSocksSocket.h"

namespace torvex {

constexpr int kFtpLineWindow = 2000;           // bytes of the line window, the longest line
constexpr std::size_t kMaxFtpReplyText = 2000; // the kept text of one reply
constexpr std::size_t kMaxFtpCommand = 1000;
// A reply whose lines add up to more than this is given up, so a server that never ends a
// multi-line reply cannot hold a worker for ever.
constexpr std::size_t kMaxFtpReplyBytes = 65536;
constexpr SocketWait kFtpDefaultTimeOut = std::chrono::seconds(120);
constexpr std::string_view kFtpSocketClass = "CFTPSession";
constexpr std::string_view kOpReadRSPLine = "ReadRSPLine";
// A command that could not be sent safely: over-long, or with bytes that would end the command
// line early (CR, LF and the other control bytes). Thrown as CMyException, code 0.
constexpr std::string_view kOpBadCommand = "BadCommand";

// One FTP connection (the control or the data connection of a session): the throwing socket
// operations, its own time-out, and for the control connection the reading of replies through
// a 2000-byte line window. Two per download worker, owned and used by that worker's thread; the
// owner closes them (and empties the window) after every file.
class CMyExFtpSocket : public CMyExSocksSocket {
public:
    CMyExFtpSocket();
    ~CMyExFtpSocket() override;

    void SetTimeOut(SocketWait timeOut) { m_timeOut = timeOut; }
    SocketWait TimeOut() const { return m_timeOut; }

    // Appends CR LF and sends the line with the socket's time-out. Throws "BadCommand" for a
    // command longer than 1000 characters or one holding control bytes, "SendAll" when sending
    // fails.
    void SendCommand(std::string_view text);

    // Reads the lines of one reply up to its final line ("ddd text"; after a first line
    // "ddd-", the line that begins with the same code and a space) and returns that code. The
    // reply must bring at least 1 KB in every time-out window until it is complete. The
    // lines are kept in ReplyText as far as they fit below 2000 characters.
    int ReadReply();
    const std::string& ReplyText() const { return m_reply; }

    // One line, line end included, cut to `capacity` - 1 bytes (the rest of that line is
    // dropped); returns its length. Throws "ReadRSPLine" (class "CFTPSession", code -1) when
    // the peer closes first or a line does not fit the window, "Receive" on an error or a
    // time-out.
    int ReadRSPLine(std::string& line, std::size_t capacity);
    // The same, as one line of a reply that `pace` watches ("Receive" -2 when a time-out window
    // brought less than 1 KB of it).
    int ReadRSPLine(std::string& line, std::size_t capacity, CReceivePace& pace);

    // Forgets what the window and the reply text hold.
    void ResetWindow();

private:
    std::array<char, kFtpLineWindow> m_window{};
    int m_count = 0;      // valid bytes in the window
    int m_searched = 0;   // valid bytes already searched for a line feed
    std::string m_reply;
    SocketWait m_timeOut = kFtpDefaultTimeOut;
};

} // namespace torvex
