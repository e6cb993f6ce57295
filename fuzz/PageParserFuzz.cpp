// A stored page as the parse thread reads it (links resolved, recorded, rewritten, offered),
// and the same bytes as a style sheet.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "html/CssParser.h"
#include "html/PageParser.h"

using namespace torvex;

namespace {

// The engine's side with a plain layout: every address is stored under its host and path.
class FlatSink : public IFoundLinkSink {
public:
    bool LocalNamesFor(const CUrl& url, std::string& localDir, std::string& fileName) override {
        const std::string& path = url.Path();
        const std::size_t slash = path.rfind('/');
        localDir = url.Host() + path.substr(0, slash + 1);
        fileName = path.substr(slash + 1);
        if (fileName.empty()) {
            fileName = "index.html";
        }
        return localDir.size() + fileName.size() < 260;
    }
    void OfferLink(const CFoundLink& link) override {
        FUZZ_CHECK(link.url.Status() == 0);
        FUZZ_CHECK(link.composed.size() <= kMaxComposedUrl);
        ++offered;
    }
    bool StopRequested() override { return false; }
    int offered = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CPageInfo page;
    page.url = CUrl("http://fuzz.example/dir/page.html");
    page.localDir = "fuzz.example/dir/";
    FlatSink sink;
    std::string out;
    std::string linkMap;
    PageParser(page, text, out, linkMap, sink);

    page.url = CUrl("http://fuzz.example/css/site.css");
    page.localDir = "fuzz.example/css/";
    out.clear();
    linkMap.clear();
    ParseLinksWith(
        [](std::string_view sheet, std::string& sheetOut, ILinkVisitor& visitor) {
            WalkStyleSheetLinks(sheet, sheetOut, visitor);
        },
        page, text, out, linkMap, sink);
    return 0;
}
