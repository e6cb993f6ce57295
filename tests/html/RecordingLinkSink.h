#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
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

// A page as the parser leaves it: its text, its link map and what it offered.
struct Parsed {
    std::string page;
    std::string linkMap;
    std::vector<OfferedLink> offers;
};

inline CPageInfo PageAt(std::string_view url, std::string localDir, int level = 2,
                        int linkCode = 0, std::string referrer = "http://h/") {
    CPageInfo page;
    page.url = CUrl(url);
    page.localDir = std::move(localDir);
    page.level = level;
    page.linkCode = linkCode;
    page.referrer = std::move(referrer);
    return page;
}

inline Parsed Parse(std::string_view html, const CPageInfo& page, RecordingLinkSink& sink) {
    Parsed result;
    PageParser(page, html, result.page, result.linkMap, sink);
    result.offers = sink.offers;
    return result;
}

// A page at http://h/d/p.html on level 2, stored in h/d/.
inline Parsed Parse(std::string_view html) {
    RecordingLinkSink sink;
    return Parse(html, PageAt("http://h/d/p.html", "h/d/"), sink);
}

// One link-map line; `code` as the map writes it, padded to three columns.
inline std::string Line(std::string_view url, std::string_view code) {
    return std::string(url) + "\t" + std::string(code) + "\t\n";
}

} // namespace torvex::test
