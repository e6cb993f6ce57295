// The URL parser on an address as a page gives it: the first line of the input is the page's
// address (the base), the rest the link text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

using namespace torvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view baseText = input.substr(0, split);
    const std::string_view linkText =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const CUrl base(baseText);
    const CUrl link(linkText, base.Status() == 0 ? &base : nullptr);
    for (const CUrl* url : {&base, &link}) {
        const std::string composed = url->Compose();
        FUZZ_CHECK(composed.size() <= kMaxComposedUrl);
        if (url->Status() != 0) {
            continue;
        }
        FUZZ_CHECK(url->Host().size() <= kMaxHost);
        FUZZ_CHECK(url->Path().size() <= kMaxUrlPath);
        FUZZ_CHECK(!url->Path().empty() && url->Path().front() == '/');
        // What the parser composes it reads back as the same address, when the text fits a
        // URL text at all (a long host and a long path together compose beyond 512).
        if (composed.size() > kMaxUrlText) {
            continue;
        }
        const CUrl again(composed);
        FUZZ_CHECK(again.Status() == 0);
        FUZZ_CHECK(again.Compose() == composed);
    }
    return 0;
}
