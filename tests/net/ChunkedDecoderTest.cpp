#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "HttpTestKit.h"
#include "WireSplits.h"
#include "net/ChunkedDecoder.h"

namespace torvex {
namespace {

using test::CatchFailure;
using test::CMemoryBody;
using test::EverySplit;
using test::Failure;

// What the next reply on the connection would begin with: never part of the body.
constexpr std::string_view kNextReply = "HTTP/1.1 200 OK\r\n";

struct Decoded {
    std::string body;
    std::size_t consumed = 0;
    bool finished = false;
    Failure failure;
};

// Feeds `wire` in pieces ending at `cuts` (ascending) and at its end, as a reader would: the
// rest of a piece the decoder leaves is not fed again, and nothing is fed once it has finished.
Decoded Decode(std::string_view wire, const std::vector<std::size_t>& cuts, IBodySink* sink = {}) {
    CMemoryBody memory;
    CChunkedDecoder decoder(sink != nullptr ? *sink : memory);
    Decoded decoded;
    decoded.failure = CatchFailure([&] {
        std::size_t from = 0;
        for (std::size_t i = 0; i <= cuts.size() && !decoder.Finished(); ++i) {
            const std::size_t to = i < cuts.size() ? cuts[i] : wire.size();
            decoded.consumed += decoder.Feed(wire.data() + from, to - from);
            from = to;
        }
    });
    decoded.body = memory.bytes;
    decoded.finished = decoder.Finished();
    if (sink == nullptr) {
        EXPECT_EQ(decoder.DataBytes(), static_cast<std::int64_t>(memory.bytes.size()));
    }
    return decoded;
}

TEST(ChunkedDecoderFeed, DecodesBodiesSplitAnywhereAndLeavesTheNextReply) {
    const struct {
        const char* name;
        std::string wire;
        std::string body;
    } cases[] = {
        {"plain", "4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\n\r\n",
         "Wikipedia in\r\n\r\nchunks."},
        {"hex in both cases with leading zeros",
         "000A\r\n0123456789\r\n00b\r\nabcdefghijk\r\n1F\r\n" + std::string(31, 'z') +
             "\r\n00000\r\n\r\n",
         "0123456789abcdefghijk" + std::string(31, 'z')},
        {"extensions with quoted strings",
         "5;name=value\r\nhello\r\n6 ; a=\"x;y\\\"z\\\\\" ;b; c = d\r\n world\r\n0;last\r\n\r\n",
         "hello world"},
        {"trailer with several fields",
         "3\r\nabc\r\n0\r\nExpires: never\r\nX-Checksum: 1234\r\nX-Empty:\r\n\r\n", "abc"},
        {"bare LF line ends", "3\nabc\n0\nX-T: 1\n\n", "abc"},
        {"empty body", "0\r\n\r\n", ""},
    };
    for (const auto& c : cases) {
        const std::string wire = c.wire + std::string(kNextReply);
        for (const auto& cuts : EverySplit(wire.size())) {
            SCOPED_TRACE(std::string(c.name) + ", pieces: " + std::to_string(cuts.size() + 1) +
                         (cuts.empty() ? "" : ", first cut " + std::to_string(cuts[0])));
            const Decoded decoded = Decode(wire, cuts);
            ASSERT_FALSE(decoded.failure.threw) << decoded.failure.operation;
            EXPECT_TRUE(decoded.finished);
            EXPECT_EQ(decoded.body, c.body);
            EXPECT_EQ(decoded.consumed, c.wire.size());
        }
    }
}

TEST(ChunkedDecoderFeed, RefusesBrokenFraming) {
    const std::string longExtension = "5;" + std::string(kMaxChunkLine - 2, 'x');
    const std::string longTrailerLine = "X: " + std::string(kMaxChunkLine - 3, 't');
    std::string bigTrailer;
    while (bigTrailer.size() <= kMaxTrailerBytes) {
        bigTrailer += "X-Field: " + std::string(990, 'f') + "\r\n";
    }
    const struct {
        const char* name;
        std::string wire;
        std::string bodyBefore; // what reached the sink before the failure
    } cases[] = {
        {"size not hex", "g\r\n", ""},
        {"size with a sign", "-1\r\n", ""},
        {"size with a prefix", "0x10\r\n", ""},
        {"no size at all", "\r\n", ""},
        {"blank before the size", " 5\r\nhello\r\n", ""},
        {"junk after the size", "5x\r\nhello\r\n", ""},
        {"size over 2^62", "4000000000000001\r\n", ""},
        {"size over 64 bits", "10000000000000000\r\n", ""},
        {"data longer than its size", "3\r\nabcd\r\n0\r\n\r\n", "abc"},
        {"no line end after data", "3\r\nabc0\r\n\r\n", "abc"},
        {"CR without LF after data", "3\r\nabc\rX\r\n", "abc"},
        {"CR without LF after size", "3\rabc\r\n", ""},
        {"quoted extension not closed", "5;a=\"x\r\nhello\r\n", ""},
        {"size line over 4096 bytes", longExtension + "y\r\nhello\r\n", ""},
        {"leading zeros over 4096 bytes", std::string(kMaxChunkLine, '0') + "1\r\na\r\n", ""},
        {"trailer line over 4096 bytes", "1\r\na\r\n0\r\n" + longTrailerLine + "u\r\n\r\n", "a"},
        {"trailer section over 65536 bytes", "1\r\na\r\n0\r\n" + bigTrailer + "\r\n", "a"},
        {"CR without LF in the trailer", "0\r\nX: 1\rY\r\n\r\n", ""},
        {"CR without LF ending the trailer", "0\r\n\rX", ""},
    };
    for (const auto& c : cases) {
        auto splits = EverySplit(c.wire.size());
        if (c.wire.size() > 64) {
            splits.resize(2); // whole and byte by byte only: every split of 64 KiB is too slow
        }
        for (const auto& cuts : splits) {
            SCOPED_TRACE(std::string(c.name) + ", pieces: " + std::to_string(cuts.size() + 1));
            const Decoded decoded = Decode(c.wire, cuts);
            EXPECT_TRUE(decoded.failure.threw);
            EXPECT_EQ(decoded.failure.operation, kOpBadChunk);
            EXPECT_FALSE(decoded.failure.socketFailure);
            EXPECT_EQ(decoded.failure.code, 0);
            EXPECT_EQ(decoded.body, c.bodyBefore);
            EXPECT_FALSE(decoded.finished);
        }
    }
}

TEST(ChunkedDecoderFeed, TakesLinesAndSizesRightAtTheirBounds) {
    const std::string trailerLine = "X: " + std::string(kMaxChunkLine - 3, 't') + "\r\n";
    std::string fullTrailer;
    while (fullTrailer.size() + trailerLine.size() <= kMaxTrailerBytes) {
        fullTrailer += trailerLine;
    }
    fullTrailer += "Y: " + std::string(kMaxTrailerBytes - fullTrailer.size() - 5, 'y') + "\r\n";
    ASSERT_EQ(fullTrailer.size(), kMaxTrailerBytes);
    const std::string wires[] = {
        "5;" + std::string(kMaxChunkLine - 2, 'x') + "\r\nhello\r\n0\r\n\r\n",
        std::string(kMaxChunkLine - 1, '0') + "5\r\nhello\r\n0\r\n\r\n",
        "5\r\nhello\r\n0\r\n" + fullTrailer + "\r\n",
    };
    for (const std::string& wire : wires) {
        SCOPED_TRACE(wire.substr(0, 40));
        const Decoded decoded = Decode(wire, {wire.size() / 2});
        ASSERT_FALSE(decoded.failure.threw);
        EXPECT_EQ(decoded.body, "hello");
        EXPECT_TRUE(decoded.finished);
    }
    // The largest size taken is 2^62: its data is simply still due.
    const Decoded huge = Decode("4000000000000000\r\nabc", {});
    EXPECT_FALSE(huge.failure.threw);
    EXPECT_EQ(huge.body, "abc");
    EXPECT_FALSE(huge.finished);
}

// A sink whose disk is full after `room` bytes.
class FullDiskBody : public CMemoryBody {
public:
    void Write(const char* data, std::size_t size) override {
        if (bytes.size() + size > room) {
            ThrowMyException(ExceptionKind::General, "", "WriteFile", 28);
        }
        CMemoryBody::Write(data, size);
    }
    std::size_t room = 4;
};

TEST(ChunkedDecoderFeed, PassesOnTheSinksFailureAndStaysBroken) {
    FullDiskBody sink;
    const Decoded decoded = Decode("4\r\nabcd\r\n1\r\ne\r\n0\r\n\r\n", {}, &sink);
    EXPECT_EQ(decoded.failure.operation, "WriteFile");
    EXPECT_EQ(decoded.failure.code, 28);
    EXPECT_EQ(sink.bytes, "abcd");

    CMemoryBody memory;
    CChunkedDecoder decoder(memory);
    EXPECT_EQ(CatchFailure([&] { decoder.Feed("z\r\n", 3); }).operation, kOpBadChunk);
    // What follows a broken framing cannot be trusted either.
    EXPECT_EQ(CatchFailure([&] { decoder.Feed("0\r\n\r\n", 5); }).operation, kOpBadChunk);
    EXPECT_FALSE(decoder.Finished());
}

} // namespace
} // namespace torvex
