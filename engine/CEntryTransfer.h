#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/CCookieExchange.h"
#include "net/CFTPSession.h"
#include "net/CHttpOptions.h"
#include "net/CHttpTransaction.h"
#include "net/CHttpWorkerLink.h"
#include "net/CMyExFtpSocket.h"
#include "net/CMyExHttpSocket.h"
#include "platform/Sockets.h"
#include "url/CUrl.h"
#include "url/CUrlEntry.h"

namespace torvex {

// What the transfer of an entry hands to the worker that runs it, beyond its progress. Every
// call comes from that worker's thread, during a transfer.
class IEntryWorker {
public:
    virtual ~IEntryWorker();

    // The entry's status line with state '0' (in progress) is due: the body is about to come.
    virtual void PublishInProgress(const CUrlEntry& entry) = 0;
    // The server answered 304 to If-Modified-Since (or an FTP server gave the size already on
    // disk): the record's copy stands.
    virtual void NotModified(CUrlEntry& entry) = 0;
    // The server redirected the entry. `target` is the Location text (at most 1024
    // characters), `parsedTarget` its parse against the entry's URL (it may be invalid).
    // `slashRedirect`: the target is the entry's own address followed by "/".
    virtual void Redirect(CUrlEntry& entry, std::string_view target, const CUrl& parsedTarget,
                          bool slashRedirect) = 0;
    // A page was named: the task's NeedsConversion and HasRenamedFile flags are to be raised
    // where set here.
    virtual void PageNamed(bool needsConversion, bool hasRenamedFile) = 0;
};

// What the transfer of an entry needs of its run besides the network options. Filled once by
// the run and only read afterwards.
struct CEntryTransferOptions {
    std::string recordDownloadDir;   // where the record's files are stored
    bool autoExt = false;            // pages may get ".html" appended by link conversion
    bool resumeRun = false;          // the run resumes an interrupted record
    // Per start address: a child address of a stand-alone one (its pages keep their names).
    std::vector<bool> childStart;
};

// Fetches one queue entry into its local file: asks the network layer for what the entry's
// state calls for (a whole body, the rest of an interrupted one, or a newer one than stored),
// names the stored file (pages by their type, or by their first bytes when the server gave
// none), and hands redirects, not-modified answers and page naming to the worker. Made by a
// download worker for its own use; holds references to the run's options and cookies and to
// the worker, which outlive it. Never retries: the worker owns the tries.
class CEntryTransfer {
public:
    CEntryTransfer(const CHttpOptions& http, const CEntryTransferOptions& options,
                   CHttpWorkerLink& link, IEntryWorker& worker, CCookieExchange& cookies);

    // Fetches `entry` over HTTP (see CHttpTransaction::Transaction for the connection). Returns
    // 0 when the body was stored, -1 when the entry is finished without a stored body (stop
    // requested, redirect, not modified, a 4xx the transaction does not throw for). Throws what
    // the transaction throws, and CMyException "LongFilePath", "OpenFile", "ResumeOffset",
    // "WriteFile" for the local file. `alreadyCounted` is set when a resumed run meets a page
    // whose parse had begun, which the restored totals already count.
    int Http(CUrlEntry& entry, CMyExHttpSocket& socket, const SocketAddress& address,
             bool& alreadyCounted);

    // Fetches `entry` over FTP (see CFTPSession::FTPGet). Returns 0 when the file is stored
    // (also when an interrupted download turns out to be whole on disk already), -1 when it is
    // finished otherwise (an older record holds the server's file and is handed to the worker
    // as unchanged, or the run stopped). Throws what the session throws, and CMyException
    // "LongFilePath", "OpenFile", "WriteFile" for the local file.
    int Ftp(CUrlEntry& entry, CMyExFtpSocket& control, CMyExFtpSocket& data,
            const SocketAddress& address);

    // What the entry calls for: the rest of a body broken off ('0' with Readed above 0, with
    // If-Range when its date is known), or a newer body than the stored one (If-Modified-Since
    // with the stored date), with the start address's method and credentials. No body sink.
    CHttpRequest RequestFor(const CUrlEntry& entry) const;

    CHttpTransaction& HttpTransaction() { return m_http; }
    // How the last Http call's transaction ended, and its HTTP status (0 without one); what a
    // -1 stands for when the worker needs to know (NoBody: a 4xx with nothing to store).
    TransferOutcome LastOutcome() const { return m_lastOutcome; }
    int LastStatus() const { return m_lastStatus; }

private:
    const CHttpStartAddress* StartAddressOf(const CUrlEntry& entry) const;
    bool IsChildStart(const CUrlEntry& entry) const;
    void NameSniffedPage(CUrlEntry& entry, const std::string& storedPath);

    const CHttpOptions& m_httpOptions;
    const CEntryTransferOptions& m_options;
    IEntryWorker& m_worker;
    CHttpTransaction m_http;
    TransferOutcome m_lastOutcome = TransferOutcome::Stored;
    int m_lastStatus = 0;
    CFTPSession m_ftp;
};

} // namespace torvex
