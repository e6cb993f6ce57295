#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/CEntryTransfer.h"
#include "net/HttpTestKit.h"
#include "url/CUrlEntry.h"
#include "url/LocalNames.h"

namespace torvex::test {

// A worker that records what the transfer of an entry hands to it.
class RecordingWorker : public RecordingLink, public IEntryWorker {
public:
    struct RedirectCall {
        std::string target;
        std::string composedTarget;
        bool targetValid = false;
        bool slashRedirect = false;
    };

    void PublishInProgress(const CUrlEntry& entry) override { inProgress.push_back(entry.state); }
    void NotModified(CUrlEntry&) override { ++notModified; }
    void Redirect(CUrlEntry&, std::string_view target, const CUrl& parsedTarget,
                  bool slash) override {
        redirects.push_back({std::string(target), parsedTarget.Compose(), parsedTarget.IsValid(),
                             slash});
    }
    void PageNamed(bool conversion, bool renamed) override {
        needsConversion = needsConversion || conversion;
        hasRenamedFile = hasRenamedFile || renamed;
    }

    std::vector<EntryState> inProgress;
    int notModified = 0;
    std::vector<RedirectCall> redirects;
    bool needsConversion = false;
    bool hasRenamedFile = false;
};

// What the transfer of one entry ended with.
struct EntryOutcome : Failure {
    int result = 99;   // the return value when nothing was thrown
    bool alreadyCounted = false;
};

inline EntryOutcome RunHttp(CEntryTransfer& transfer, CUrlEntry& entry, CMyExHttpSocket& socket,
                            const SocketAddress& address) {
    EntryOutcome outcome;
    static_cast<Failure&>(outcome) = CatchFailure(
        [&] { outcome.result = transfer.Http(entry, socket, address, outcome.alreadyCounted); });
    return outcome;
}

inline EntryOutcome RunFtp(CEntryTransfer& transfer, CUrlEntry& entry, CMyExFtpSocket& control,
                           CMyExFtpSocket& data, const SocketAddress& address) {
    EntryOutcome outcome;
    static_cast<Failure&>(outcome) =
        CatchFailure([&] { outcome.result = transfer.Ftp(entry, control, data, address); });
    return outcome;
}

// An entry as the engine queues it: parsed URL, URL text, local names in `recordDir`.
inline CUrlEntry MakeEntry(const std::string& urlText, const std::string& referrer,
                           const std::string& recordDir, int startIndex = 0) {
    CUrlEntry entry;
    entry.url = CUrl(urlText);
    entry.referrer = referrer;
    entry.urlText = EntryUrlText(entry.url);
    entry.level = 1;
    entry.startIndex = startIndex;
    LocalNames(entry, recordDir.size());
    return entry;
}

// The run's side of a transfer that stores into `recordDir`, with one start address.
inline CEntryTransferOptions TransferOptions(const std::string& recordDir) {
    CEntryTransferOptions options;
    options.recordDownloadDir = recordDir;
    options.childStart = {false};
    return options;
}

} // namespace torvex::test
