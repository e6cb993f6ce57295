#include "engine/CEntryTransfer.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/LeadingNumber.h"
#include "html/CssParser.h"
#include "html/IsHtmlText.h"
#include "net/CMyException.h"
#include "platform/FileSystem.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

[[noreturn]] void ThrowFileFailure(std::string_view operation) {
    ThrowMyException(ExceptionKind::General, "", operation, 0);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// How a page gets its local name: `linkedOrChild` pages keep theirs.
PageNaming NamingOf(const CUrlEntry& entry, bool childStart, bool autoExt) {
    return NamePage(entry.fileName, !entry.referrer.empty() || childStart, autoExt);
}

// The entry's local file as the body sink of its transfer: keeps the entry's Readed equal to
// the bytes on disk as they are written, so that a stop or a failure leaves the resume offset
// in the entry.
class CEntryFile : public IBodySink {
public:
    CEntryFile(CUrlEntry& entry, const CEntryTransferOptions& options)
        : m_entry(entry), m_options(options) {}

    void Write(const char* data, std::size_t size) override {
        if (std::fwrite(data, 1, size, m_file.get()) != size) {
            ThrowFileFailure(kOpWriteFile);
        }
        if (m_countWritten) {
            m_entry.readed += static_cast<std::int64_t>(size);
        }
    }

    void Close() override {
        if (std::fclose(m_file.release()) != 0) {
            ThrowFileFailure(kOpWriteFile);
        }
    }

    const std::string& StoredPath() const { return m_storedPath; }

protected:
    // Opens the stored file: continued at `offset` (the bytes beyond it are replaced), or
    // written anew. Every piece goes straight to the file, so the bytes on disk are always the
    // Readed that a stop or a crash leaves in the status log, and a resume continues there.
    void OpenFile(std::int64_t offset, bool offsetMustBeOnDisk) {
        if (offset > 0) {
            std::error_code error;
            if (offsetMustBeOnDisk) {
                const auto size = std::filesystem::file_size(m_storedPath, error);
                if (error || size < static_cast<std::uintmax_t>(offset)) {
                    // The bytes before the offset are gone; only a whole new download can mend
                    // that.
                    m_entry.readed = 0;
                    ThrowFileFailure(kOpResumeOffset);
                }
            }
            std::filesystem::resize_file(m_storedPath, static_cast<std::uintmax_t>(offset),
                                         error);
            if (!error) {
                m_file.reset(std::fopen(m_storedPath.c_str(), "r+b"));
            }
            if (m_file && std::fseek(m_file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
                m_file.reset();
            }
        } else {
            std::remove(m_storedPath.c_str());
            m_file.reset(std::fopen(m_storedPath.c_str(), "wb"));
        }
        if (!m_file) {
            ThrowFileFailure(kOpOpenFile);
        }
        std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
    }

    CUrlEntry& m_entry;
    const CEntryTransferOptions& m_options;
    std::string m_storedPath;
    FileHandle m_file;
    // Readed counts the bytes written, except for a compressed body: it counts those on the
    // wire, and only once the body is whole (part of one is never continued by a range).
    bool m_countWritten = true;
};

// The HTTP body: the response's type decides whether the entry is a page and how it is named.
class CHttpEntryFile final : public CEntryFile {
public:
    CHttpEntryFile(CUrlEntry& entry, const CEntryTransferOptions& options, IEntryWorker& worker,
                   bool childStart, bool& alreadyCounted)
        : CEntryFile(entry, options),
          m_worker(worker),
          m_childStart(childStart),
          m_alreadyCounted(alreadyCounted) {}

    void Open(const CTransferResult& head, std::int64_t offset) override {
        if (head.StatusClass() == '2') {
            if (head.status == "200") {
                m_entry.total = head.contentLength;
                m_entry.readed = 0;
            }
            AssignCut(m_entry.lastModified, head.lastModified, kMaxLastModified);
        }
        NameFile(head.contentType);
        m_countWritten = !head.contentEncoded;
        m_alreadyCounted = m_options.resumeRun && m_entry.state == EntryState::Parsing;
        m_entry.state = EntryState::Initial;
        m_worker.PublishInProgress(m_entry);
        OpenFile(offset, true);
        m_entry.readed = offset;
    }

private:
    void NameFile(const std::string& contentType) {
        const std::size_t dirLength = m_options.recordDownloadDir.size();
        if (FindNoCase(contentType, "text/htm") != std::string::npos) {
            m_entry.kind = EntryKind::Page;
            if (m_entry.fileName.empty() && !LocalNames(m_entry, dirLength)) {
                ThrowFileFailure(kOpLongFilePath);
            }
            PageNaming naming = NamingOf(m_entry, m_childStart, m_options.autoExt);
            if (naming.extension.empty() && FolderIsInTheWay()) {
                // "/c1" beside "/c1/child.txt": the page goes under its name with ".html"
                // appended, as a stand-alone page is, and the conversion points links at it.
                naming.nameLetter = NameLetter::HtmlAppended;
                naming.extension = ".html";
                naming.needsConversion = true;
                naming.hasRenamedFile = true;
            }
            if (!naming.extension.empty() &&
                !RenamedPageFits(dirLength, m_entry.localDir, m_entry.fileName)) {
                ThrowFileFailure(kOpLongFilePath);
            }
            m_entry.nameLetter = naming.nameLetter;
            AssignCut(m_entry.extension, naming.extension, kMaxExtension);
            m_worker.PageNamed(naming.needsConversion, naming.hasRenamedFile);
        } else if (FindNoCase(contentType, "script") != std::string::npos) {
            // Scripts keep their names but have their links read like pages.
            m_entry.kind = EntryKind::Page;
        } else if (FindNoCase(contentType, "text/css") != std::string::npos ||
                   IsStyleSheetName(m_entry.fileName)) {
            // A style sheet is read for its links whatever its name; one whose name does not
            // say so (theme.css?v=2 is stored as theme.css-v=2) gets ".css" appended, or a
            // browser reading the copy from disk would not apply it.
            m_entry.kind = EntryKind::Page;
            if (m_entry.fileName.empty() && !LocalNames(m_entry, dirLength)) {
                ThrowFileFailure(kOpLongFilePath);
            }
            if (!IsStyleSheetName(m_entry.fileName)) {
                if (!RenamedPageFits(dirLength, m_entry.localDir, m_entry.fileName)) {
                    ThrowFileFailure(kOpLongFilePath);
                }
                const PageNaming naming = NameStyleSheet();
                m_entry.nameLetter = naming.nameLetter;
                AssignCut(m_entry.extension, naming.extension, kMaxExtension);
                m_worker.PageNamed(naming.needsConversion, naming.hasRenamedFile);
            }
        }
        if (m_entry.fileName.empty() && !LocalNames(m_entry, dirLength)) {
            ThrowFileFailure(kOpLongFilePath);
        }
        MakeDirectoryPath(m_options.recordDownloadDir + "/" + m_entry.localDir);
        if (!torvex::StoredPath(m_options.recordDownloadDir, m_entry.localDir, m_entry.fileName,
                                m_entry.extension, m_storedPath)) {
            ThrowFileFailure(kOpLongFilePath);
        }
    }

    // True when a folder of the copy already has the name the file would be stored under.
    bool FolderIsInTheWay() const {
        std::string plain;
        return torvex::StoredPath(m_options.recordDownloadDir, m_entry.localDir, m_entry.fileName,
                                  "", plain) &&
               DirectoryExists(plain);
    }

    IEntryWorker& m_worker;
    bool m_childStart;
    bool& m_alreadyCounted;
};

// The FTP file: kept under the entry's own name. When the server's size is the size the
// record holds already, the file is not fetched again.
class CFtpEntryFile final : public CEntryFile {
public:
    CFtpEntryFile(CUrlEntry& entry, const CEntryTransferOptions& options, IEntryWorker& worker,
                  std::string storedPath, std::int64_t recordedBytes)
        : CEntryFile(entry, options), m_worker(worker), m_recordedBytes(recordedBytes) {
        m_storedPath = std::move(storedPath);
    }

    bool WantBody(const CTransferResult& head) override {
        if (head.size > 0 && head.size == m_entry.total && head.size == m_recordedBytes) {
            return false;
        }
        m_entry.total = head.size;
        return true;
    }

    void Open(const CTransferResult&, std::int64_t offset) override {
        MakeDirectoryPath(m_options.recordDownloadDir + "/" + m_entry.localDir);
        OpenFile(offset, false);
        m_entry.readed = offset;
        m_entry.state = EntryState::Initial;
        m_worker.PublishInProgress(m_entry);
    }

private:
    IEntryWorker& m_worker;
    std::int64_t m_recordedBytes;
};

} // namespace

IEntryWorker::~IEntryWorker() = default;

CEntryTransfer::CEntryTransfer(const CHttpOptions& http, const CEntryTransferOptions& options,
                               CHttpWorkerLink& link, IEntryWorker& worker,
                               CCookieExchange& cookies)
    : m_httpOptions(http),
      m_options(options),
      m_worker(worker),
      m_http(http, link, cookies),
      m_ftp(http, link) {}

const CHttpStartAddress* CEntryTransfer::StartAddressOf(const CUrlEntry& entry) const {
    if (entry.startIndex < 0 ||
        static_cast<std::size_t>(entry.startIndex) >= m_httpOptions.startAddresses.size()) {
        return nullptr;
    }
    return &m_httpOptions.startAddresses[static_cast<std::size_t>(entry.startIndex)];
}

bool CEntryTransfer::IsChildStart(const CUrlEntry& entry) const {
    return entry.startIndex >= 0 &&
           static_cast<std::size_t>(entry.startIndex) < m_options.childStart.size() &&
           m_options.childStart[static_cast<std::size_t>(entry.startIndex)];
}

void CEntryTransfer::NameSniffedPage(CUrlEntry& entry, const std::string& storedPath) {
    const bool childStart = IsChildStart(entry);
    const std::string& recordDir = m_options.recordDownloadDir;
    PageNaming naming = NamingOf(entry, childStart, m_options.autoExt);
    if (!naming.extension.empty()) {
        std::string renamed;
        std::error_code error;
        const bool renameable =
            RenamedPageFits(recordDir.size(), entry.localDir, entry.fileName) &&
            StoredPath(recordDir, entry.localDir, entry.fileName, naming.extension, renamed);
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

CHttpRequest CEntryTransfer::RequestFor(const CUrlEntry& entry) const {
    CHttpRequest request;
    request.url = entry.url;
    request.referrer = entry.referrer;
    request.start = StartAddressOf(entry);
    // A body broken off in an earlier try or run is continued; a stored one is asked for
    // again only when the server has a newer one.
    if (entry.state == EntryState::Initial) {
        request.resumeOffset = entry.readed;
        request.ifRange = entry.lastModified;
    } else {
        request.ifModifiedSince = entry.lastModified;
    }
    return request;
}

int CEntryTransfer::Http(CUrlEntry& entry, CMyExHttpSocket& socket, const SocketAddress& address,
                         bool& alreadyCounted) {
    alreadyCounted = false;
    CHttpRequest request = RequestFor(entry);
    CHttpEntryFile file(entry, m_options, m_worker, IsChildStart(entry), alreadyCounted);
    request.body = &file;

    m_lastOutcome = TransferOutcome::Stopped;
    m_lastStatus = 0;
    const CTransferResult result = m_http.Transaction(request, socket, address);
    m_lastOutcome = result.outcome;
    m_lastStatus = static_cast<int>(LeadingNumber(result.status));
    switch (result.outcome) {
    case TransferOutcome::Stored:
        break;
    case TransferOutcome::NotModified:
        m_worker.NotModified(entry);
        return -1;
    case TransferOutcome::Redirected:
        m_worker.Redirect(entry, result.location, result.redirectTarget, result.slashRedirect);
        return -1;
    default:
        return -1;
    }
    if (result.contentEncoded) {
        entry.readed = result.bodyBytes;
        if (entry.total < 0) {
            entry.total = result.bodyBytes;
        }
    }
    if (result.contentType.empty() && IsHtmlText(file.StoredPath())) {
        entry.kind = EntryKind::Page;
        NameSniffedPage(entry, file.StoredPath());
    }
    return 0;
}

int CEntryTransfer::Ftp(CUrlEntry& entry, CMyExFtpSocket& control, CMyExFtpSocket& data,
                        const SocketAddress& address) {
    std::string storedPath;
    if (!StoredPath(m_options.recordDownloadDir, entry.localDir, entry.fileName, entry.extension,
                    storedPath)) {
        ThrowFileFailure(kOpLongFilePath);
    }
    // Only an interrupted download of this record continues, and only from bytes that are
    // really on disk: the Readed of an older record's entry says nothing about this file.
    std::int64_t resumeFrom = 0;
    if (entry.state == EntryState::Initial && entry.readed > 0) {
        std::error_code error;
        const auto onDisk = std::filesystem::file_size(storedPath, error);
        if (!error) {
            resumeFrom = static_cast<std::int64_t>(
                std::min<std::uintmax_t>(onDisk, static_cast<std::uintmax_t>(entry.readed)));
        }
    }
    const std::int64_t recordedBytes =
        entry.state == EntryState::Initial ? resumeFrom : entry.readed;
    CFtpEntryFile file(entry, m_options, m_worker, storedPath, recordedBytes);
    CFtpRequest request;
    request.url = entry.url;
    request.resumeOffset = resumeFrom;
    request.body = &file;

    const CTransferResult result = m_ftp.FTPGet(request, control, data, address);
    switch (result.outcome) {
    case TransferOutcome::Stored:
        return 0;
    case TransferOutcome::NotWanted:
        if (entry.state == EntryState::Initial) {
            // An interrupted download of this record that had in fact arrived whole: the file
            // is stored already.
            entry.readed = result.size;
            return 0;
        }
        // The older record's copy is the server's file: it is taken over as it is.
        m_worker.NotModified(entry);
        return -1;
    default:
        return -1;
    }
}

} // namespace torvex
