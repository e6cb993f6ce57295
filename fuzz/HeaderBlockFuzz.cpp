// A server's reply header as the transaction keeps it (line by line into the header block) and
// reads it (header values, status fields, a partial reply's range), and the FTP reply texts the
// session parses.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "net/CFTPSession.h"
#include "net/HeaderBlock.h"
#include "net/ReplyChecks.h"

using namespace torvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    HeaderBlock block;
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        end = end == std::string_view::npos ? input.size() : end + 1;
        block.Append(input.substr(start, end - start));
        start = end;
    }
    FUZZ_CHECK(block.Text().size() <= kMaxHeaderBlock);
    for (const char* name : {"Content-Type", "Content-Length", "Location", "Last-Modified",
                             "Content-Range", "Set-Cookie", "X"}) {
        const std::string value = block.GetHeader(name);
        FUZZ_CHECK(value.size() <= kMaxHeaderValue);
        FUZZ_CHECK(value.find('\n') == std::string::npos);
    }
    for (int index = 0; index < 3; ++index) {
        FUZZ_CHECK(block.StatusField(index).size() <= kMaxHeaderValue);
    }

    CContentRange range;
    if (ParseContentRange(block.GetHeader("Content-Range"), range)) {
        FUZZ_CHECK(range.first >= 0 && range.first <= range.last);
        FUZZ_CHECK(range.total < 0 || range.last < range.total);
        std::int64_t offset = 0;
        std::int64_t length = 0;
        if (PartialReplyPlace(range, range.first, offset, length)) {
            FUZZ_CHECK(offset == range.first && length >= 1);
        }
    }

    std::string host;
    int port = 0;
    if (ParsePassiveReply(input, host, port)) {
        FUZZ_CHECK(port > 0 && port <= 65535);
        FUZZ_CHECK(host.size() <= 15);
    }
    return 0;
}
