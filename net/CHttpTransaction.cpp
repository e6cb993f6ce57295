#include "net/CHttpTransaction.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/LeadingNumber.h"
#include "net/Base64.h"
#include "net/CMyException.h"
#include "net/ChunkedDecoder.h"
#include "net/ReplyChecks.h"
#include "net/RetryAfter.h"
#include "platform/Clock.h"
#include "net/HttpConnect.h"

namespace torvex {

namespace {

// One header line as read: the window's 1000 bytes and the terminator the capacity counts.
constexpr std::size_t kHeaderLineCapacity = kReceiveWindow + 1;
constexpr std::string_view kSetCookie = "set-cookie:";

[[noreturn]] void ThrowTransactionFailure(std::string_view operation, int code) {
    ThrowMyException(ExceptionKind::General, "", operation, code);
}

// Interim replies (100 Continue, 103 Early Hints) read past before the final one; a server that
// sends more is not answering.
constexpr int kMaxInterimReplies = 8;

std::atomic<std::int64_t> g_connectionsOpened{0};
std::atomic<std::int64_t> g_requestsSent{0};
std::atomic<std::int64_t> g_requestsSentAhead{0};

// Every way out of a transaction closes its connection and forgets what the window held, so
// the next try starts on a fresh socket whatever happened to this one; only a reply that left
// the connection clean keeps it (Keep).
class ConnectionCloser {
public:
    explicit ConnectionCloser(CMyExHttpSocket& socket) : m_socket(socket) {}
    ~ConnectionCloser() {
        if (!m_kept) {
            m_socket.Close();
            m_socket.ResetWindow();
        }
    }
    ConnectionCloser(const ConnectionCloser&) = delete;
    ConnectionCloser& operator=(const ConnectionCloser&) = delete;

    void Keep(std::string place) {
        m_socket.Keep(std::move(place));
        m_kept = true;
    }

private:
    CMyExHttpSocket& m_socket;
    bool m_kept = false;
};

// An interim reply: informational, followed by the real one (101 switches protocols, which
// was never asked for, and is no interim reply).
bool IsInterim(std::string_view status) {
    return status.size() == 3 && status.front() == '1' && status != "101";
}

// Passes the body on to the sinks after it and counts it, publishing the bytes of the file
// stored so far for other threads.
class CCountingSink final : public IBodySink {
public:
    CCountingSink(IBodySink& out, std::atomic<std::int64_t>* shared, std::int64_t offset)
        : m_out(out), m_shared(shared), m_offset(offset) {}
    void Open(const CTransferResult& head, std::int64_t offset) override {
        m_out.Open(head, offset);
    }
    void Write(const char* data, std::size_t size) override {
        m_out.Write(data, size);
        m_bytes += static_cast<std::int64_t>(size);
        if (m_shared != nullptr) {
            m_shared->store(m_offset + m_bytes, std::memory_order_relaxed);
        }
    }
    void Close() override { m_out.Close(); }
    std::int64_t Bytes() const { return m_bytes; }

private:
    IBodySink& m_out;
    std::atomic<std::int64_t>* m_shared;
    std::int64_t m_offset;
    std::int64_t m_bytes = 0;
};

// Drops a body that stores nothing, refusing one longer than kMaxSkippedBody.
class CSkippedBody final : public IBodySink {
public:
    void Open(const CTransferResult&, std::int64_t) override {}
    void Write(const char*, std::size_t size) override {
        m_bytes += static_cast<std::int64_t>(size);
        if (m_bytes > kMaxSkippedBody) {
            ThrowMyException(ExceptionKind::General, "", kOpBadFraming, 0);
        }
    }
    void Close() override {}

private:
    std::int64_t m_bytes = 0;
};

// A body of a known length: exactly that many bytes.
class CLengthFraming final : public IBodyFraming {
public:
    CLengthFraming(IBodySink& out, std::int64_t length) : m_out(out), m_left(length) {}
    std::size_t Feed(const char* data, std::size_t size) override {
        const auto taken = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(size), m_left));
        if (taken > 0) {
            m_out.Write(data, taken);
            m_left -= static_cast<std::int64_t>(taken);
        }
        return taken;
    }
    bool Complete() const override { return m_left == 0; }
    std::int64_t Wanted() const override { return m_left; }
    bool EndsAtClose() const override { return false; }

private:
    IBodySink& m_out;
    std::int64_t m_left;
};

// A body that ends where the server closes the connection.
class CCloseFraming final : public IBodyFraming {
public:
    explicit CCloseFraming(IBodySink& out) : m_out(out) {}
    std::size_t Feed(const char* data, std::size_t size) override {
        m_out.Write(data, size);
        return size;
    }
    bool Complete() const override { return false; }
    std::int64_t Wanted() const override { return 0; }
    bool EndsAtClose() const override { return true; }

private:
    IBodySink& m_out;
};

// A body in the chunked transfer coding.
class CChunkedFraming final : public IBodyFraming {
public:
    explicit CChunkedFraming(IBodySink& out) : m_decoder(out) {}
    std::size_t Feed(const char* data, std::size_t size) override {
        return m_decoder.Feed(data, size);
    }
    bool Complete() const override { return m_decoder.Finished(); }
    std::int64_t Wanted() const override { return 0; }
    bool EndsAtClose() const override { return false; }

private:
    CChunkedDecoder m_decoder;
};

// A body with no bytes at all.
class CEmptyFraming final : public IBodyFraming {
public:
    std::size_t Feed(const char*, std::size_t) override { return 0; }
    bool Complete() const override { return true; }
    std::int64_t Wanted() const override { return 0; }
    bool EndsAtClose() const override { return false; }
};

void AppendLine(std::string& request, std::string_view name, std::string_view value) {
    request += name;
    request += value;
    request += "\r\n";
}

void RefuseControlBytes(std::string_view text) {
    if (HasControlBytes(text)) {
        ThrowTransactionFailure(kOpBadRequest, 0);
    }
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// Where the body of a 206 reply goes (the offset to open the sink at); sets the body's length
// from its range. Throws "BadRange" when the range is missing or continues nothing that is
// stored.
std::int64_t PartialReplyOffset(const HeaderBlock& header, const CHttpRequest& request,
                                CTransferResult& result) {
    CContentRange range;
    std::int64_t offset = 0;
    std::int64_t length = 0;
    if (!ParseContentRange(header.GetHeader("Content-Range"), range) ||
        !PartialReplyPlace(range, std::max<std::int64_t>(request.resumeOffset, 0), offset,
                           length) ||
        (result.contentLength > 0 && result.contentLength != length)) {
        ThrowTransactionFailure(kOpBadRange, 0);
    }
    result.contentLength = length;
    return offset;
}

} // namespace

std::int64_t CHttpTransaction::ProcessConnectionsOpened() { return g_connectionsOpened.load(); }

std::int64_t CHttpTransaction::ProcessRequestsSent() { return g_requestsSent.load(); }

std::int64_t CHttpTransaction::ProcessRequestsSentAhead() { return g_requestsSentAhead.load(); }

bool HasControlBytes(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            return true;
        }
    }
    return false;
}

CHttpTransaction::CHttpTransaction(const CHttpOptions& options, CHttpWorkerLink& worker,
                                   CCookieExchange& cookies)
    : m_options(options), m_worker(worker), m_cookies(cookies) {}

bool CHttpTransaction::StopRequested() const {
    const std::atomic<bool>* stop = m_worker.StopFlag();
    return stop != nullptr && stop->load();
}

std::string CHttpTransaction::BuildRequest(const CHttpRequest& request) {
    const CUrl& url = request.url;
    const CHttpStartAddress* start = request.start;
    std::string method = "GET";
    if (request.referrer.empty() && start != nullptr && start->requestMethod == "POST") {
        method = "POST";
    }
    std::string target;
    if (IsProxyRequest(m_options, url)) {
        // A proxy needs the absolute address; the port is left out only where it is 80.
        target = url.Scheme() + "://" + url.Host();
        if (url.EffectivePort() != 80) {
            target += ':';
            target += std::to_string(url.EffectivePort());
        }
    }
    // A space would end the request target early; servers read it escaped.
    for (const char c : url.Path()) {
        if (c == ' ') {
            target += "%20";
        } else {
            target += c;
        }
    }
    RefuseControlBytes(target);

    std::string text =
        method + " " + target + (m_options.keepAlive ? " HTTP/1.1\r\n" : " HTTP/1.0\r\n");
    BuildRequestHeaders(text, request);
    text += "\r\n";
    if (text.size() > kMaxRequestText) {
        ThrowTransactionFailure(kOpBadRequest, 0);
    }
    return text;
}

void CHttpTransaction::BuildRequestHeaders(std::string& text, const CHttpRequest& request) {
    const CUrl& url = request.url;
    const CHttpStartAddress* start = request.start;

    if (!request.referrer.empty()) {
        RefuseControlBytes(request.referrer);
        AppendLine(text, "Referer: ", request.referrer);
    }

    RefuseControlBytes(url.Host());
    // The port is left out where it is the one the request's form implies: 443 for https, 80
    // otherwise (an ftp address asked of a proxy names its 21).
    const int impliedPort = url.Scheme() == "https" ? 443 : 80;
    if (url.EffectivePort() == impliedPort) {
        AppendLine(text, "Host: ", url.Host());
    } else {
        AppendLine(text, "Host: ", url.Host() + ":" + std::to_string(url.EffectivePort()));
    }

    // The start address's password goes to its own server only: a crawl that reaches other
    // hosts (or is redirected to them) must not hand it on.
    if (start != nullptr && !start->userName.empty() && EqualsNoCase(url.Host(), start->host) &&
        url.EffectivePort() == start->port) {
        AppendLine(text, "Authorization: Basic ",
                   Base64Encode(start->userName + ":" + start->password));
    }

    // A date with control bytes refuses the request even where it is not sent, so that a
    // damaged date never goes unnoticed.
    RefuseControlBytes(request.ifModifiedSince);
    RefuseControlBytes(request.ifRange);
    if (!request.ifModifiedSince.empty()) {
        AppendLine(text, "If-Modified-Since: ", request.ifModifiedSince);
    } else if (request.resumeOffset > 0) {
        AppendLine(text, "Range: bytes=", std::to_string(request.resumeOffset) + "-");
        if (!request.ifRange.empty()) {
            AppendLine(text, "If-Range: ", request.ifRange);
        }
    }

    std::string tail;
    if (!m_options.userAgent.empty()) {
        RefuseControlBytes(m_options.userAgent);
        AppendLine(tail, "User-Agent: ", m_options.userAgent);
    }
    if (IsProxyRequest(m_options, url)) {
        AppendLine(tail, "Proxy-Authorization: Basic ",
                   Base64Encode(m_options.proxyUser + ":" + m_options.proxyPassword));
    }
    if (m_options.keepAlive) {
        // A range continues the stored bytes, so it is asked for as they are; a compressed
        // range would be of bytes we never store.
        const bool ranged = request.ifModifiedSince.empty() && request.resumeOffset > 0;
        AppendLine(tail, "Accept-Encoding: ", ranged ? "identity" : "gzip, deflate");
    } else {
        AppendLine(tail, "Connection: close", "");
    }

    if (m_options.cookie) {
        const std::string cookieLine = m_cookies.BuildCookieHeader(url.Host(), url.Path());
        // Many cookies can outgrow the request text; the request then goes without them rather
        // than with a cut line. A cookie value with control bytes is never sent.
        const bool fits = text.size() + cookieLine.size() + tail.size() + 2 <= kMaxRequestText;
        if (fits && !HasControlBytes(WithoutLineEnd(cookieLine))) {
            text += cookieLine;
        }
    }
    text += tail;
}

bool CHttpTransaction::ReadHeader(CMyExHttpSocket& socket, HeaderBlock& header,
                                  const CHttpRequest& request, const CReceiveCounters& counters) {
    std::string line;
    std::size_t bytesRead = 0;
    bool first = true;
    for (;;) {
        if (socket.ReadHeaderLine(line, kHeaderLineCapacity, m_options.timeOut, first, counters) <
            0) {
            return false;   // no status line: everything received is body
        }
        first = false;
        bytesRead += line.size();
        if (bytesRead > kMaxHeaderBytesRead) {
            ThrowMyException(ExceptionKind::Socket, "", kOpReadHeaderLine, 0);
        }
        header.Append(line);
        m_framing.Take(line);
        if (m_options.cookie && StartsWithNoCase(line, kSetCookie)) {
            std::string_view text = WithoutLineEnd(line);
            text.remove_prefix(kSetCookie.size());
            while (!text.empty() && text.front() == ' ') {
                text.remove_prefix(1);
            }
            m_cookies.AddSetCookie(text, request.url.Host(),
                                   BaseDirectory(request.url.Path(), kMaxUrlPath));
        }
        if (line == "\r\n" || line == "\n") {
            return true;
        }
    }
}

bool CHttpTransaction::SendRequest(const CHttpRequest& request, const std::string& text,
                                   CMyExHttpSocket& socket, const SocketAddress& address) {
    const SocketWait timeOut = m_options.timeOut;
    m_worker.SetState(WorkerState::Connecting);
    socket.CreateNonBlocking();
    if (m_options.keepAlive) {
        // Requests follow one another on a kept connection, one sent behind another at times:
        // none may wait for the server to acknowledge the one before.
        socket.SendAtOnce();
    }
    ConnectForRequest(socket, request.url, address, m_options, m_worker.StopFlag());
    if (StopRequested()) {
        return false;
    }
    m_worker.SetState(WorkerState::SendingRequest);
    socket.SendAll(text.data(), static_cast<int>(text.size()), timeOut);
    return true;
}

bool CHttpTransaction::ReadResponseHead(const CHttpRequest& request, CMyExHttpSocket& socket,
                                        const CReceiveCounters& counters,
                                        CTransferResult& result) {
    m_worker.SetState(WorkerState::ReadingHeader);
    HeaderBlock header;
    m_framing = ReplyFraming();
    bool haveHeader = ReadHeader(socket, header, request, counters);
    for (int interim = 0; m_options.keepAlive && haveHeader && IsInterim(header.StatusField(1));
         ++interim) {
        if (interim == kMaxInterimReplies) {
            ThrowTransactionFailure(kOpBadFraming, 0);
        }
        header.Clear();
        m_framing = ReplyFraming();
        haveHeader = ReadHeader(socket, header, request, counters);
    }
    if (haveHeader) {
        AssignCut(result.status, header.StatusField(1), kMaxStatusText);
        m_framing.http11 = EqualsNoCase(header.StatusField(0), "HTTP/1.1");
    }
    // "999" or "000" is no answer: taken for success, its body would be stored as the file.
    if (!result.status.empty() && !IsStatusCode(result.status)) {
        ThrowTransactionFailure(kOpHttpSession,
                                static_cast<int>(std::min<long long>(
                                    LeadingNumber(result.status), std::numeric_limits<int>::max())));
    }

    const char statusClass = result.StatusClass();
    const int statusCode = static_cast<int>(LeadingNumber(result.status));
    if (statusCode == 429 || statusCode == 503) {
        // A busy server: the worker learns how long it asked to be left alone.
        ThrowMyException(ExceptionKind::General, "", kOpHttpSession, statusCode, {},
                         BusyReplyWait(header.GetHeader("Retry-After"), header.GetHeader("Date"),
                                       SystemClock().Now()));
    }
    if (statusClass == '5') {
        ThrowTransactionFailure(kOpHttpSession, statusCode);
    }
    if (statusClass == '4') {
        // 408 (the server timed the request out) and 429 (too many requests) say "not now",
        // so the worker tries again; the others are the server's answer about the file.
        if (statusCode == 401 || statusCode == 403 || statusCode == 404 || statusCode == 407 ||
            statusCode == 408 || statusCode == 429) {
            ThrowTransactionFailure(kOpHttpSession, statusCode);
        }
        result.outcome = TransferOutcome::NoBody;
        return false;
    }
    if (statusClass == '3') {
        if (!m_options.keepAlive) {
            socket.Close();
            socket.ResetWindow();
        }
        if (result.status == "304") {
            result.outcome = TransferOutcome::NotModified;
            return false;
        }
        result.location = header.GetHeader("Location");
        CutTo(result.location, kMaxLocation);
        result.redirectTarget = CUrl(result.location, &request.url);
        const std::string targetText = result.redirectTarget.Compose();
        const std::string requestText = request.url.Compose();
        result.slashRedirect = targetText.size() > requestText.size() &&
                               StartsWithNoCase(targetText, requestText) &&
                               targetText[requestText.size()] == '/';
        result.outcome = TransferOutcome::Redirected;
        return false;
    }
    if (statusClass == '2') {
        const long long length = LeadingNumber(header.GetHeader("Content-Length"));
        if (length >= 1) {
            result.contentLength = length;
        }
        AssignCut(result.contentType, header.GetHeader("Content-Type"), kMaxContentType);
        const std::string lastModified = header.GetHeader("Last-Modified");
        if (!HasControlBytes(lastModified)) {
            result.lastModified = lastModified;
        }
    }
    // A partial reply continues the stored bytes only where its range says it begins.
    if (result.status == "206") {
        result.bodyOffset = PartialReplyOffset(header, request, result);
    }
    return true;
}

void CHttpTransaction::ReceiveResponseBody(const CHttpRequest& request, CMyExHttpSocket& socket,
                                           const CReceiveCounters& counters,
                                           CTransferResult& result) {
    // The body continues the stored bytes only where a partial reply's range said it does.
    const std::int64_t offset = result.bodyOffset;
    IBodySink& body = *request.body;
    body.Open(result, offset);
    m_worker.SetState(WorkerState::Receiving);

    CReceiveCounters bodyCounters = counters;
    bodyCounters.sharedReaded = m_worker.SharedReaded();
    bodyCounters.offset = offset;
    if (bodyCounters.sharedReaded != nullptr) {
        bodyCounters.sharedReaded->store(offset);
    }
    const std::int64_t received =
        socket.ReceiveBody(body, result.contentLength > 0 ? result.contentLength : 0,
                           m_options.timeOut, bodyCounters);
    result.bodyBytes = offset + received;
    if (StopRequested()) {
        result.outcome = TransferOutcome::Stopped;
        return;
    }
    if (received == 0) {
        ThrowTransactionFailure(kOpNoBody, 0);
    }
    m_worker.SetState(WorkerState::Idle);
    body.Close();
    socket.Close();
    socket.ResetWindow();
    result.outcome = TransferOutcome::Stored;
}

bool CHttpTransaction::SendOnKeptConnection(const std::string& text, CMyExHttpSocket& socket,
                                            const std::string& place,
                                            const CReceiveCounters& counters, bool sentAhead) {
    if (!socket.IsKeptFor(place)) {
        return false;
    }
    try {
        if (!sentAhead) {
            m_worker.SetState(WorkerState::SendingRequest);
            socket.SendAll(text.data(), static_cast<int>(text.size()), m_options.timeOut);
        }
        SendNextAhead(socket, place);
        m_worker.SetState(WorkerState::ReadingHeader);
        // A server that takes a request sent ahead and never answers it is waited for only a
        // short while; the request then goes over a new connection, and no more go ahead there.
        socket.AwaitReply(sentAhead ? std::min(m_options.timeOut, m_aheadReplyWait)
                                    : m_options.timeOut,
                          counters);
        return true;
    } catch (CMySocketException* raw) {
        std::unique_ptr<CMySocketException> failure(raw);
        if (sentAhead && failure->Code() == kSocketTimedOut && !StopRequested()) {
            m_noAheadPlaces.insert(place);
        } else if (failure->Code() == kSocketTimedOut || StopRequested()) {
            // A server closes a kept connection whenever it likes; the request never reached
            // it. A time-out is a slow server, though, and a stop is our own: both count as
            // they are.
            throw failure.release();
        }
    }
    socket.Close();
    socket.ResetWindow();
    return false;
}

void CHttpTransaction::SendNextAhead(CMyExHttpSocket& socket, const std::string& place) {
    // Only straight to the server (or through a tunnel to it): an HTTP proxy may take one
    // request of a connection at a time and drop the rest.
    if (m_noAheadPlaces.count(place) != 0 || m_options.proxyMode == ProxyMode::Http) {
        return;
    }
    const CHttpRequest* next = m_worker.RequestAhead(place);
    if (next == nullptr) {
        return;
    }
    std::string text;
    try {
        text = BuildRequest(*next);
    } catch (CMyException* raw) {
        // The worker meets the same failure when it sends the request itself.
        std::unique_ptr<CMyException> failure(raw);
        return;
    }
    // Only a request that may be sent twice goes ahead: its reply can be lost with the
    // connection, and then it is sent again.
    if (!text.starts_with("GET ")) {
        return;
    }
    socket.SendAll(text.data(), static_cast<int>(text.size()), m_options.timeOut);
    socket.SentAhead(std::move(text));
    g_requestsSentAhead.fetch_add(1, std::memory_order_relaxed);
}

bool CHttpTransaction::ReceiveKeptBody(const CHttpRequest& request, CMyExHttpSocket& socket,
                                       const CReceiveCounters& counters, CTransferResult& result) {
    // Without a usable length the body could only be read to the close, which a kept
    // connection never brings: the server meant some length, but not which.
    if (m_framing.lengthBroken && !m_framing.transferEncoding) {
        ThrowTransactionFailure(kOpBadFraming, 0);
    }
    const BodyEnd end = m_framing.End(result.status);
    if (end == BodyEnd::Length) {
        result.contentLength = m_framing.length;
    } else if (result.status != "206") {
        result.contentLength = -1;
    }
    const ContentCoding coding = ParseContentCoding(m_framing.contentEncoding);
    if (coding == ContentCoding::Unknown) {
        ThrowTransactionFailure(kOpBadEncoding, kUnknownCodingCode);
    }
    // A compressed part of a file cannot continue the plain bytes stored.
    if (coding != ContentCoding::Identity && result.status == "206") {
        ThrowTransactionFailure(kOpBadRange, 0);
    }
    result.contentEncoded = coding != ContentCoding::Identity;
    std::unique_ptr<CInflatingSink> inflating;
    IBodySink* plain = request.body;
    if (result.contentEncoded) {
        inflating = std::make_unique<CInflatingSink>(*request.body, coding);
        plain = inflating.get();
    }
    const std::int64_t offset = result.bodyOffset;
    // Others read the shared Readed as the resume offset of a stopped file: part of a
    // compressed body is none, so it shows 0 until the body is whole.
    CCountingSink counted(*plain, result.contentEncoded ? nullptr : m_worker.SharedReaded(),
                          offset);
    counted.Open(result, offset);
    m_worker.SetState(WorkerState::Receiving);
    if (m_worker.SharedReaded() != nullptr) {
        m_worker.SharedReaded()->store(offset);
    }

    std::unique_ptr<IBodyFraming> framing;
    switch (end) {
    case BodyEnd::None:
        framing = std::make_unique<CEmptyFraming>();
        break;
    case BodyEnd::Length:
        framing = std::make_unique<CLengthFraming>(counted, m_framing.length);
        break;
    case BodyEnd::Chunked:
        framing = std::make_unique<CChunkedFraming>(counted);
        break;
    case BodyEnd::Close:
        framing = std::make_unique<CCloseFraming>(counted);
        break;
    }
    socket.ReceiveFramed(*framing, m_options.timeOut, counters);
    result.bodyBytes = offset + counted.Bytes();
    if (StopRequested()) {
        result.outcome = TransferOutcome::Stopped;
        return false;
    }
    if (counted.Bytes() == 0) {
        ThrowTransactionFailure(kOpNoBody, 0);
    }
    m_worker.SetState(WorkerState::Idle);
    counted.Close();
    result.outcome = TransferOutcome::Stored;
    return end != BodyEnd::Close && framing->Complete() && socket.EndsInStep();
}

bool CHttpTransaction::SkipBody(CMyExHttpSocket& socket, const CReceiveCounters& counters,
                                const CTransferResult& result) {
    const BodyEnd end = m_framing.End(result.status);
    if (end == BodyEnd::None) {
        return socket.EndsInStep();
    }
    if (end == BodyEnd::Close || (end == BodyEnd::Length && m_framing.length > kMaxSkippedBody)) {
        return false;
    }
    CSkippedBody skipped;
    try {
        if (end == BodyEnd::Length) {
            CLengthFraming framing(skipped, m_framing.length);
            socket.ReceiveFramed(framing, m_options.timeOut, counters);
            return framing.Complete() && socket.EndsInStep();
        }
        CChunkedFraming framing(skipped);
        socket.ReceiveFramed(framing, m_options.timeOut, counters);
        return framing.Complete() && socket.EndsInStep();
    } catch (CMyException* raw) {
        // The reply was had; only the connection is lost.
        std::unique_ptr<CMyException> failure(raw);
        return false;
    }
}

CTransferResult CHttpTransaction::KeptTransaction(const CHttpRequest& request,
                                                  const std::string& text, CMyExHttpSocket& socket,
                                                  const SocketAddress& address,
                                                  const CReceiveCounters& counters) {
    CTransferResult result;
    const std::string place = ConnectionPlace(m_options, request.url);
    ConnectionCloser closer(socket);
    // A request sent ahead is answered before anything sent after it: the connection goes on
    // only when this is that request.
    bool sentAhead = false;
    if (socket.HasAhead()) {
        sentAhead = socket.IsKeptFor(place) && socket.AheadRequest() == text;
        socket.ForgetAhead();
        if (!sentAhead) {
            socket.Close();
            socket.ResetWindow();
        }
    }
    if (!SendOnKeptConnection(text, socket, place, counters, sentAhead)) {
        socket.Close();
        socket.ResetWindow();
        SocketAddress target = address;
        if (m_options.proxyMode == ProxyMode::None && target.port == 0) {
            m_worker.SetState(WorkerState::FindingHost);
            GetHostByName(request.url.Host(), request.url.EffectivePort(), target,
                          m_worker.StopFlag());
            if (StopRequested()) {
                result.outcome = TransferOutcome::Stopped;
                return result;
            }
        }
        g_connectionsOpened.fetch_add(1, std::memory_order_relaxed);
        if (!SendRequest(request, text, socket, target)) {
            result.outcome = TransferOutcome::Stopped;
            return result;
        }
    }
    g_requestsSent.fetch_add(1, std::memory_order_relaxed);
    bool clean = false;
    bool bodyFollows = false;
    try {
        bodyFollows = ReadResponseHead(request, socket, counters, result);
    } catch (CMyException* failure) {
        // The server's answer about the file (404, 503, ...) was had whole; its page is read
        // past so that the connection, and a request sent ahead on it, serve what comes next.
        const char statusClass = result.StatusClass();
        if (failure->Operation() == kOpHttpSession && (statusClass == '4' || statusClass == '5') &&
            m_framing.KeepsConnection(result.status) && SkipBody(socket, counters, result) &&
            !StopRequested()) {
            closer.Keep(place);
        }
        throw;
    }
    if (bodyFollows) {
        clean = ReceiveKeptBody(request, socket, counters, result);
    } else {
        clean = SkipBody(socket, counters, result);
    }
    if (clean && m_framing.KeepsConnection(result.status) && !StopRequested()) {
        closer.Keep(place);
    }
    return result;
}

CTransferResult CHttpTransaction::Transaction(const CHttpRequest& request,
                                              CMyExHttpSocket& socket,
                                              const SocketAddress& address) {
    const CReceiveCounters counters{m_worker.ReceivedBytes(), m_worker.StopFlag(), nullptr, 0};
    CTransferResult result;
    // Built before connecting: a request that cannot be sent safely needs no connection.
    const std::string text = BuildRequest(request);
    if (m_options.keepAlive) {
        return KeptTransaction(request, text, socket, address, counters);
    }

    ConnectionCloser closer(socket);
    socket.Close();
    socket.ResetWindow();
    if (!SendRequest(request, text, socket, address)) {
        result.outcome = TransferOutcome::Stopped;
        return result;
    }
    if (ReadResponseHead(request, socket, counters, result)) {
        ReceiveResponseBody(request, socket, counters, result);
    }
    return result;
}

} // namespace torvex
