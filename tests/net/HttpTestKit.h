#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/CHttpTransaction.h"
#include "net/CMyException.h"
#include "support/CFixtureServer.h"
#include "support/TempDir.h"
#include "url/CUrlEntry.h"
#include "url/LocalNames.h"

namespace torvex::test {

// A worker that records what the transaction hands to it.
class RecordingWorker : public CHttpWorkerLink {
public:
    struct RedirectCall {
        std::string target;
        std::string composedTarget;
        bool targetValid = false;
        bool slashRedirect = false;
    };

    const std::atomic<bool>* StopFlag() const override { return &stop; }
    void SetState(int state) override { states.push_back(state); }
    std::atomic<std::int64_t>* ReceivedBytes() override { return &receivedBytes; }
    void PublishInProgress(const CUrlEntry& entry) override {
        inProgress.push_back(entry.state);
    }
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

    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> receivedBytes{0};
    std::vector<int> states;
    std::vector<char> inProgress;
    int notModified = 0;
    std::vector<RedirectCall> redirects;
    bool needsConversion = false;
    bool hasRenamedFile = false;
};

// A cookie exchange with one fixed line, recording the cookies it is given.
class ScriptedCookies : public CCookieExchange {
public:
    std::string BuildCookieHeader(std::string_view, std::string_view) override { return line; }
    void AddSetCookie(std::string_view text, std::string_view domain,
                      std::string_view path) override {
        added.push_back(std::string(text) + "|" + std::string(domain) + "|" + std::string(path));
    }
    std::string line;
    std::vector<std::string> added;
};

// What one transaction ended with.
struct Outcome {
    int result = 99;          // the return value when nothing was thrown
    bool threw = false;
    bool socketFailure = false;
    std::string className;
    std::string operation;
    int code = 0;
    bool alreadyCounted = false;
};

inline Outcome RunTransaction(CHttpTransaction& transaction, CUrlEntry& entry,
                              CMyExHttpSocket& socket, const SocketAddress& address) {
    Outcome outcome;
    try {
        outcome.result = transaction.Transaction(entry, socket, address, outcome.alreadyCounted);
    } catch (CMySocketException* raw) {
        std::unique_ptr<CMySocketException> failure(raw);
        outcome.threw = true;
        outcome.socketFailure = true;
        outcome.className = failure->ClassName();
        outcome.operation = failure->Operation();
        outcome.code = failure->Code();
    } catch (CMyException* raw) {
        std::unique_ptr<CMyException> failure(raw);
        outcome.threw = true;
        outcome.className = failure->ClassName();
        outcome.operation = failure->Operation();
        outcome.code = failure->Code();
    }
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

inline SocketAddress Loopback(int port) {
    return SocketAddress{0x7F000001u, static_cast<std::uint16_t>(port)};
}

// Options for a direct run with one start address on `host`, storing into `recordDir`.
inline CHttpOptions DirectOptions(const std::string& recordDir, int timeOut = 1) {
    CHttpOptions options;
    options.timeOut = timeOut;
    options.recordDownloadDir = recordDir;
    CHttpStartAddress start;
    start.host = "127.0.0.1";
    options.startAddresses.push_back(start);
    return options;
}

} // namespace torvex::test
