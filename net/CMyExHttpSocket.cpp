#include "net/CMyExHttpSocket.h"

#include <algorithm>
#include <chrono>

#include "base/AsciiCase.h"
#include "net/CMyException.h"
#include "net/LineWindow.h"

namespace torvex {

namespace {

constexpr std::string_view kStatusLinePrefix = "HTTP/1.";

[[noreturn]] void ThrowReceiveFailure(std::string_view operation) {
    ThrowMyException(ExceptionKind::Socket, "", operation, 0);
}

} // namespace

IBodyFraming::~IBodyFraming() = default;

CMyExHttpSocket::CMyExHttpSocket() = default;

CMyExHttpSocket::~CMyExHttpSocket() = default;

void CMyExHttpSocket::ResetWindow() {
    m_count = 0;
    m_searched = 0;
    m_windowCut = false;
    m_ahead.clear();
}

std::string_view CMyExHttpSocket::WindowBytes() const {
    return std::string_view(m_window.data(), static_cast<std::size_t>(m_count));
}

bool CMyExHttpSocket::EndsInStep() const {
    return m_count == 0 || (HasAhead() && !m_windowCut);
}

void CMyExHttpSocket::Count(int bytes, const CReceiveCounters& counters) const {
    if (counters.workerBytes != nullptr) {
        counters.workerBytes->fetch_add(bytes, std::memory_order_relaxed);
    }
}

int CMyExHttpSocket::ReadHeaderLine(std::string& line, std::size_t capacity, SocketWait timeOut,
                                    bool firstLine, const CReceiveCounters& counters) {
    const auto deadline = std::chrono::steady_clock::now() + timeOut;
    for (;;) {
        if (firstLine && m_count > 0) {
            // Decide as soon as the bytes at hand differ from the status line's start; a status
            // line that arrives in pieces shorter than its prefix is waited for.
            const std::size_t have =
                std::min(static_cast<std::size_t>(m_count), kStatusLinePrefix.size());
            if (!StartsWithNoCase(std::string_view(m_window.data(), have),
                                  kStatusLinePrefix.substr(0, have))) {
                return -1;
            }
        }
        const int kept = TakeWindowLine(m_window.data(), m_count, m_searched, line, capacity);
        if (kept >= 0) {
            return kept;
        }
        if (m_count >= kReceiveWindow) {
            ThrowReceiveFailure(kOpReadHeaderLine);   // a line longer than the window
        }
        // The whole line within the time-out, however the peer spreads it out.
        const auto left = std::chrono::duration_cast<SocketWait>(
            deadline - std::chrono::steady_clock::now());
        if (left <= SocketWait::zero()) {
            ThrowMyException(ExceptionKind::Socket, kMyExSocketClass, kOpReceive,
                             kSocketTimedOut);
        }
        const int received = Receive(m_window.data() + m_count, kReceiveWindow - m_count, left);
        if (received <= 0) {
            ThrowReceiveFailure(kOpReadHeaderLine);
        }
        Count(received, counters);
        m_count += received;
    }
}

std::int64_t CMyExHttpSocket::ReceiveBody(IBodySink& body, std::int64_t expected,
                                          SocketWait timeOut, const CReceiveCounters& counters) {
    auto write = [&body](const char* data, std::int64_t length) {
        if (length > 0) {
            body.Write(data, static_cast<std::size_t>(length));
        }
    };
    auto stored = [&counters](std::int64_t total) {
        if (counters.sharedReaded != nullptr) {
            counters.sharedReaded->store(counters.offset + total, std::memory_order_relaxed);
        }
    };
    auto stopped = [&counters]() { return counters.stop != nullptr && counters.stop->load(); };

    // What came with the header is body; a server that sends more than it announced gets only
    // the announced bytes stored.
    std::int64_t total = m_count;
    if (expected > 0) {
        total = std::min<std::int64_t>(total, expected);
    }
    write(m_window.data(), total);
    stored(total);
    ResetWindow();

    CReceivePace pace(timeOut);
    for (;;) {
        if (stopped()) {
            return total;
        }
        // The body needs no line search, so it comes in larger pieces than the header window:
        // fewer waits and receives per file.
        if (m_body.empty()) {
            m_body.resize(kBodyChunk);
        }
        int chunk = kBodyChunk;
        if (expected > 0) {
            const std::int64_t remaining = expected - total;
            if (remaining <= 0) {
                return total;
            }
            chunk = static_cast<int>(std::min<std::int64_t>(remaining, kBodyChunk));
        }
        const int received = ReceivePaced(m_body.data(), chunk, pace);
        if (received == 0) {
            break;
        }
        write(m_body.data(), received);
        total += received;
        stored(total);
        Count(received, counters);
    }
    if (expected > 0 && total < expected) {
        ThrowReceiveFailure(kOpHttpReceive);
    }
    return total;
}

std::int64_t CMyExHttpSocket::ReceiveFramed(IBodyFraming& framing, SocketWait timeOut,
                                            const CReceiveCounters& counters) {
    auto stopped = [&counters]() { return counters.stop != nullptr && counters.stop->load(); };
    // What came with the header first; whatever the body leaves stays for the caller to see.
    std::int64_t total = 0;
    if (m_count > 0) {
        const std::size_t fed = framing.Feed(m_window.data(), static_cast<std::size_t>(m_count));
        total = static_cast<std::int64_t>(fed);
        m_count -= static_cast<int>(fed);
        std::copy(m_window.data() + fed, m_window.data() + fed + m_count, m_window.data());
        m_searched = 0;
    }
    CReceivePace pace(timeOut);
    while (!framing.Complete()) {
        if (stopped()) {
            return total;
        }
        if (m_body.empty()) {
            m_body.resize(kBodyChunk);
        }
        int chunk = kBodyChunk;
        if (framing.Wanted() > 0) {
            chunk = static_cast<int>(std::min<std::int64_t>(framing.Wanted(), kBodyChunk));
        }
        const int received = ReceivePaced(m_body.data(), chunk, pace);
        if (received == 0) {
            if (framing.EndsAtClose()) {
                return total;
            }
            ThrowReceiveFailure(kOpHttpReceive);
        }
        Count(received, counters);
        const std::size_t fed = framing.Feed(m_body.data(), static_cast<std::size_t>(received));
        total += static_cast<std::int64_t>(fed);
        // Bytes after the end of the body: kept (as far as the window holds them) so that the
        // caller sees the connection is not clean.
        const int rest = std::min(received - static_cast<int>(fed), kReceiveWindow);
        m_windowCut = received - static_cast<int>(fed) > kReceiveWindow;
        if (rest > 0) {
            std::copy(m_body.data() + fed, m_body.data() + fed + rest, m_window.data());
            m_count = rest;
            m_searched = 0;
        }
    }
    return total;
}

void CMyExHttpSocket::AwaitReply(SocketWait timeOut, const CReceiveCounters& counters) {
    if (m_count > 0) {
        return;
    }
    const int received = Receive(m_window.data(), kReceiveWindow, timeOut);
    if (received <= 0) {
        ThrowReceiveFailure(kOpReadHeaderLine);
    }
    Count(received, counters);
    m_count = received;
    m_searched = 0;
}

void CMyExHttpSocket::Keep(std::string place) {
    m_keptFor = std::move(place);
    m_idleSince = std::chrono::steady_clock::now();
}

bool CMyExHttpSocket::IsKeptFor(std::string_view place) const {
    return IsOpen() && !m_keptFor.empty() && m_keptFor == place &&
           std::chrono::steady_clock::now() - m_idleSince < m_idleLimit;
}

} // namespace torvex
