#include "net/CHttpTransaction.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/LeadingNumber.h"
#include "html/IsHtmlText.h"
#include "net/Base64.h"
#include "net/CMyException.h"
#include "platform/FileSystem.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

// One header line as read: the window's 1000 bytes and the terminator the capacity counts.
constexpr std::size_t kHeaderLineCapacity = kReceiveWindow + 1;
constexpr std::string_view kSetCookie = "set-cookie:";

[[noreturn]] void ThrowTransactionFailure(std::string_view operation, int code) {
    ThrowMyException(ExceptionKind::General, "", operation, code);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Every way out of a transaction closes its connection and forgets what the window held, so
// the next try starts on a fresh socket whatever happened to this one.
class ConnectionCloser {
public:
    explicit ConnectionCloser(CMyExHttpSocket& socket) : m_socket(socket) {}
    ~ConnectionCloser() {
        m_socket.Close();
        m_socket.ResetWindow();
    }
    ConnectionCloser(const ConnectionCloser&) = delete;
    ConnectionCloser& operator=(const ConnectionCloser&) = delete;

private:
    CMyExHttpSocket& m_socket;
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

} // namespace

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

const CHttpStartAddress* CHttpTransaction::StartAddressOf(const CUrlEntry& entry) const {
    if (entry.startIndex < 0 ||
        static_cast<std::size_t>(entry.startIndex) >= m_options.startAddresses.size()) {
        return nullptr;
    }
    return &m_options.startAddresses[static_cast<std::size_t>(entry.startIndex)];
}

bool CHttpTransaction::StopRequested() const {
    const std::atomic<bool>* stop = m_worker.StopFlag();
    return stop != nullptr && stop->load();
}

std::string CHttpTransaction::BuildRequest(const CUrlEntry& entry) {
    const CUrl& url = entry.url;
    const CHttpStartAddress* start = StartAddressOf(entry);
    std::string method = "GET";
    if (entry.referrer.empty() && start != nullptr && start->requestMethod == "POST") {
        method = "POST";
    }
    std::string target;
    if (m_options.proxyMode == ProxyMode::Http) {
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

    std::string request = method + " " + target + " HTTP/1.0\r\n";
    BuildRequestHeaders(request, entry);
    request += "\r\n";
    if (request.size() > kMaxRequestText) {
        ThrowTransactionFailure(kOpBadRequest, 0);
    }
    return request;
}

void CHttpTransaction::BuildRequestHeaders(std::string& request, const CUrlEntry& entry) {
    const CUrl& url = entry.url;
    const CHttpStartAddress* start = StartAddressOf(entry);

    if (!entry.referrer.empty()) {
        RefuseControlBytes(entry.referrer);
        AppendLine(request, "Referer: ", entry.referrer);
    }

    RefuseControlBytes(url.Host());
    if (url.EffectivePort() == 80) {
        AppendLine(request, "Host: ", url.Host());
    } else {
        AppendLine(request, "Host: ", url.Host() + ":" + std::to_string(url.EffectivePort()));
    }

    // The start address's password goes to its own server only: a crawl that reaches other
    // hosts (or is redirected to them) must not hand it on.
    if (start != nullptr && !start->userName.empty() && EqualsNoCase(url.Host(), start->host) &&
        url.EffectivePort() == start->port) {
        AppendLine(request, "Authorization: Basic ",
                   Base64Encode(start->userName + ":" + start->password));
    }

    if (!entry.lastModified.empty()) {
        RefuseControlBytes(entry.lastModified);
    }
    if (!entry.lastModified.empty() && entry.state != EntryState::Initial) {
        AppendLine(request, "If-Modified-Since: ", entry.lastModified);
    } else if (entry.state == EntryState::Initial && entry.readed > 0) {
        AppendLine(request, "Range: bytes=", std::to_string(entry.readed) + "-");
        if (!entry.lastModified.empty()) {
            AppendLine(request, "If-Range: ", entry.lastModified);
        }
    }

    std::string tail;
    if (!m_options.userAgent.empty()) {
        RefuseControlBytes(m_options.userAgent);
        AppendLine(tail, "User-Agent: ", m_options.userAgent);
    }
    if (m_options.proxyMode == ProxyMode::Http) {
        AppendLine(tail, "Proxy-Authorization: Basic ",
                   Base64Encode(m_options.proxyUser + ":" + m_options.proxyPassword));
    }
    AppendLine(tail, "Connection: close", "");

    if (m_options.cookie) {
        const std::string cookieLine = m_cookies.BuildCookieHeader(url.Host(), url.Path());
        // Many cookies can outgrow the request text; the request then goes without them rather
        // than with a cut line. A cookie value with control bytes is never sent.
        const bool fits = request.size() + cookieLine.size() + tail.size() + 2 <= kMaxRequestText;
        if (fits && !HasControlBytes(WithoutLineEnd(cookieLine))) {
            request += cookieLine;
        }
    }
    request += tail;
}

bool CHttpTransaction::ReadHeader(CMyExHttpSocket& socket, HeaderBlock& header,
                                  const CUrlEntry& entry, const CReceiveCounters& counters) {
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
        if (m_options.cookie && StartsWithNoCase(line, kSetCookie)) {
            std::string_view text = WithoutLineEnd(line);
            text.remove_prefix(kSetCookie.size());
            while (!text.empty() && text.front() == ' ') {
                text.remove_prefix(1);
            }
            m_cookies.AddSetCookie(text, entry.url.Host(),
                                   BaseDirectory(entry.url.Path(), kMaxUrlPath));
        }
        if (line == "\r\n" || line == "\n") {
            return true;
        }
    }
}

void CHttpTransaction::NameRecognisedPage(CUrlEntry& entry) {
    const CHttpStartAddress* start = StartAddressOf(entry);
    const bool linkedOrChild = !entry.referrer.empty() || (start != nullptr && start->child);
    const PageNaming naming = NamePage(entry.fileName, linkedOrChild, m_options.autoExt);
    if (!naming.extension.empty() &&
        !RenamedPageFits(m_options.recordDownloadDir.size(), entry.localDir, entry.fileName)) {
        ThrowTransactionFailure(kOpLongFilePath, 0);
    }
    entry.nameLetter = naming.nameLetter;
    AssignCut(entry.extension, naming.extension, kMaxExtension);
    m_worker.PageNamed(naming.needsConversion, naming.hasRenamedFile);
}

void CHttpTransaction::NameSniffedPage(CUrlEntry& entry, const std::string& storedPath) {
    const CHttpStartAddress* start = StartAddressOf(entry);
    const bool linkedOrChild = !entry.referrer.empty() || (start != nullptr && start->child);
    PageNaming naming = NamePage(entry.fileName, linkedOrChild, m_options.autoExt);
    if (!naming.extension.empty()) {
        std::string renamed;
        std::error_code error;
        const bool renameable =
            RenamedPageFits(m_options.recordDownloadDir.size(), entry.localDir, entry.fileName) &&
            StoredPath(m_options.recordDownloadDir, entry.localDir, entry.fileName,
                       naming.extension, renamed);
        if (renameable) {
            std::filesystem::rename(storedPath, renamed, error);
        }
        if (!renameable || error) {
            // The file keeps its own name: it is then a page stored under its own name.
            naming = NamePage(entry.fileName, true, m_options.autoExt);
        }
    }
    entry.nameLetter = naming.nameLetter;
    AssignCut(entry.extension, naming.extension, kMaxExtension);
    m_worker.PageNamed(naming.needsConversion, naming.hasRenamedFile);
}

int CHttpTransaction::Transaction(CUrlEntry& entry, CMyExHttpSocket& socket,
                                  const SocketAddress& address, bool& alreadyCounted) {
    alreadyCounted = false;
    const int timeOut = m_options.timeOut;
    const std::int32_t resumeOffset = entry.readed;
    const CReceiveCounters counters{m_worker.ReceivedBytes(), nullptr, m_worker.StopFlag()};

    // Built before connecting: a request that cannot be sent safely needs no connection.
    const std::string request = BuildRequest(entry);

    ConnectionCloser closer(socket);
    socket.Close();
    socket.ResetWindow();
    m_worker.SetState(WorkerState::Connecting);
    socket.CreateNonBlocking();
    if (m_options.proxyMode == ProxyMode::Socks5) {
        socket.SocksConnect(entry.url.Host(), entry.url.EffectivePort(), timeOut,
                            m_worker.StopFlag());
    } else {
        socket.Connect(address, timeOut);
    }
    if (StopRequested()) {
        return -1;
    }

    m_worker.SetState(WorkerState::SendingRequest);
    socket.SendAll(request.data(), static_cast<int>(request.size()), timeOut);

    m_worker.SetState(WorkerState::ReadingHeader);
    HeaderBlock header;
    std::string status;
    if (ReadHeader(socket, header, entry, counters)) {
        AssignCut(status, header.StatusField(1), kMaxStatusText);
    }

    std::int64_t contentLength = -1;
    std::string contentType;
    const char statusClass = status.empty() ? '\0' : status[0];
    const int statusCode = static_cast<int>(LeadingNumber(status));
    if (statusClass == '5') {
        ThrowTransactionFailure(kOpHttpSession, statusCode);
    }
    if (statusClass == '4') {
        if (statusCode == 401 || statusCode == 403 || statusCode == 404 || statusCode == 407) {
            ThrowTransactionFailure(kOpHttpSession, statusCode);
        }
        return -1;
    }
    if (statusClass == '3') {
        socket.Close();
        socket.ResetWindow();
        if (status == "304") {
            m_worker.NotModified(entry);
            return -1;
        }
        std::string location = header.GetHeader("Location");
        CutTo(location, kMaxLocation);
        const CUrl target(location, &entry.url);
        const std::string targetText = target.Compose();
        const std::string requestText = entry.url.Compose();
        const bool slashRedirect = targetText.size() > requestText.size() &&
                                   StartsWithNoCase(targetText, requestText) &&
                                   targetText[requestText.size()] == '/';
        m_worker.Redirect(entry, location, target, slashRedirect);
        return -1;
    }
    if (statusClass == '2') {
        const long long length = LeadingNumber(header.GetHeader("Content-Length"));
        if (length >= 1 && length <= std::numeric_limits<std::int32_t>::max()) {
            contentLength = length;
        }
        if (status == "200") {
            entry.total = static_cast<std::int32_t>(contentLength);
            entry.readed = 0;
        }
        AssignCut(contentType, header.GetHeader("Content-Type"), kMaxContentType);
        // A date with control bytes could never be sent back; it is not kept.
        const std::string lastModified = header.GetHeader("Last-Modified");
        AssignCut(entry.lastModified, HasControlBytes(lastModified) ? "" : lastModified,
                  kMaxLastModified);
    }

    // The page kind and the local name.
    if (FindNoCase(contentType, "text/htm") != std::string::npos) {
        entry.kind = EntryKind::Page;
        if (entry.fileName.empty() && !LocalNames(entry, m_options.recordDownloadDir.size())) {
            ThrowTransactionFailure(kOpLongFilePath, 0);
        }
        NameRecognisedPage(entry);
    } else if (FindNoCase(contentType, "script") != std::string::npos ||
               FindNoCase(contentType, "text/css") != std::string::npos) {
        // Scripts and style sheets keep their names but have their links read like pages.
        entry.kind = EntryKind::Page;
    }
    if (entry.fileName.empty() && !LocalNames(entry, m_options.recordDownloadDir.size())) {
        ThrowTransactionFailure(kOpLongFilePath, 0);
    }
    MakeDirectoryPath(m_options.recordDownloadDir + "/" + entry.localDir);
    std::string storedPath;
    if (!StoredPath(m_options.recordDownloadDir, entry.localDir, entry.fileName, entry.extension,
                    storedPath)) {
        ThrowTransactionFailure(kOpLongFilePath, 0);
    }
    alreadyCounted = m_options.resumeRun && entry.state == '3';
    entry.state = EntryState::Initial;
    m_worker.PublishInProgress(entry);
    m_worker.SetState(WorkerState::Receiving);

    // The local file: continued at the offset only when the server sent the rest (206);
    // otherwise written anew.
    const bool append = resumeOffset > 0 && status == "206";
    FileHandle file;
    if (append) {
        std::error_code error;
        const auto size = std::filesystem::file_size(storedPath, error);
        if (error || size < static_cast<std::uintmax_t>(resumeOffset)) {
            // The bytes before the offset are gone; only a whole new download can mend that.
            entry.readed = 0;
            ThrowTransactionFailure(kOpResumeOffset, 0);
        }
        // Whatever lies beyond the offset is replaced by what the server sends now.
        std::filesystem::resize_file(storedPath, static_cast<std::uintmax_t>(resumeOffset), error);
        file.reset(std::fopen(storedPath.c_str(), "r+b"));
        if (error || !file || std::fseek(file.get(), resumeOffset, SEEK_SET) != 0) {
            ThrowTransactionFailure(kOpOpenFile, 0);
        }
    } else {
        std::remove(storedPath.c_str());
        file.reset(std::fopen(storedPath.c_str(), "wb"));
        if (!file) {
            ThrowTransactionFailure(kOpOpenFile, 0);
        }
    }
    entry.readed = append ? resumeOffset : 0;

    CReceiveCounters bodyCounters = counters;
    bodyCounters.entryReaded = &entry.readed;
    bodyCounters.sharedReaded = m_worker.SharedReaded();
    if (bodyCounters.sharedReaded != nullptr) {
        bodyCounters.sharedReaded->store(entry.readed);
    }
    // Every received piece goes straight to the file, so the bytes on disk are always the
    // Readed that a stop or a crash leaves in the status log, and a resume continues there.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const std::int64_t received =
        socket.ReceiveBody(file.get(), contentLength > 0 ? contentLength : 0, timeOut,
                           bodyCounters);
    if (StopRequested()) {
        return -1;
    }
    if (received == 0) {
        ThrowTransactionFailure(kOpNoBody, 0);
    }
    m_worker.SetState(WorkerState::Idle);
    if (std::fclose(file.release()) != 0) {
        ThrowMyException(ExceptionKind::General, "", kOpWriteFile, 0);
    }
    socket.Close();
    socket.ResetWindow();

    if (contentType.empty() && IsHtmlText(storedPath)) {
        entry.kind = EntryKind::Page;
        NameSniffedPage(entry, storedPath);
    }
    return 0;
}

} // namespace torvex
