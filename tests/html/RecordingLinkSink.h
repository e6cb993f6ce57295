#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "html/PageParser.h"
#include "url/LocalNames.h"

namespace torvex::test {

// What the page parser offered to the engine, copied out of the call.
struct OfferedLink {
    std::string composed;
    std::string localDir;
    std::string fileName;
    std::int32_t level = 0;
    int tagCode = 0;
    std::string referrer;
};

// An engine stand-in: names local files as a run would (LocalNames with a record download
// directory of the given length) and records every offered link.
class RecordingLinkSink : public IFoundLinkSink {
public:
    bool LocalNamesFor(const CUrl& url, std::string& localDir, std::string& fileName) override {
        return LocalNames(url, true, recordDirLength, localDir, fileName);
    }
    void OfferLink(const CFoundLink& link) override {
        offers.push_back(OfferedLink{std::string(link.composed), std::string(link.localDir),
                                     std::string(link.fileName), link.level, link.tagCode,
                                     std::string(link.referrer)});
    }
    bool StopRequested() override { return stopAfterPolls >= 0 && polls++ >= stopAfterPolls; }

    std::size_t recordDirLength = 30;
    int stopAfterPolls = -1;   // -1: never stop
    int polls = 0;
    std::vector<OfferedLink> offers;
};

} // namespace torvex::test
