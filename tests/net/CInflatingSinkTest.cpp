#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include "HttpTestKit.h"
#include "WireSplits.h"
#include "net/CInflatingSink.h"
#include "net/ChunkedDecoder.h"

namespace torvex {
namespace {

using test::CatchFailure;
using test::CMemoryBody;
using test::EverySplit;
using test::Failure;

// zlib's window bits for each wrapping the tests make.
constexpr int kGzipBits = 31;
constexpr int kZlibBits = 15;
constexpr int kRawBits = -15;

std::string Compress(const std::string& data, int windowBits, int level) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, data.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A page-like text that compresses, but not to nothing.
std::string SampleText(std::size_t size) {
    std::string text;
    unsigned seed = 7;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += "<p class=\"item\">Line " + std::to_string(seed % 9973) + "</p>\n";
    }
    text.resize(size);
    return text;
}

// A sink that records the largest piece it was given.
class PieceBody : public CMemoryBody {
public:
    void Write(const char* data, std::size_t size) override {
        largest = std::max(largest, size);
        CMemoryBody::Write(data, size);
    }
    std::size_t largest = 0;
};

struct Inflated {
    std::string body;
    bool closed = false;
    std::size_t largest = 0;
    Failure failure;
};

// Opens, writes `wire` in pieces ending at `cuts` (ascending) and at its end, and closes.
Inflated Inflate(ContentCoding coding, const std::string& wire,
                 const std::vector<std::size_t>& cuts = {}) {
    PieceBody out;
    CInflatingSink sink(out, coding);
    Inflated inflated;
    inflated.failure = CatchFailure([&] {
        sink.Open(CTransferResult{}, 0);
        std::size_t from = 0;
        for (std::size_t i = 0; i <= cuts.size(); ++i) {
            const std::size_t to = i < cuts.size() ? cuts[i] : wire.size();
            sink.Write(wire.data() + from, to - from);
            from = to;
        }
        sink.Close();
    });
    inflated.body = out.bytes;
    inflated.closed = out.closed;
    inflated.largest = out.largest;
    EXPECT_EQ(sink.DecodedBytes(), static_cast<std::int64_t>(out.bytes.size()));
    return inflated;
}

TEST(ParseContentCoding, NamesTheCodingsItCanUndo) {
    const struct {
        const char* value;
        ContentCoding coding;
    } cases[] = {
        {"gzip", ContentCoding::Gzip},        {" X-GZip\t", ContentCoding::Gzip},
        {"Deflate", ContentCoding::Deflate},  {"", ContentCoding::Identity},
        {"  ", ContentCoding::Identity},      {"IDENTITY", ContentCoding::Identity},
        {"br", ContentCoding::Unknown},       {"compress", ContentCoding::Unknown},
        {"zstd", ContentCoding::Unknown},     {"gzip, gzip", ContentCoding::Unknown},
        {"gzip;q=1", ContentCoding::Unknown}, {"gzipx", ContentCoding::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ParseContentCoding(c.value), c.coding);
    }
}

TEST(CInflatingSinkWrite, InflatesEveryWrappingAndLevelSplitAnywhere) {
    const std::string text = SampleText(1500);
    const struct {
        const char* name;
        ContentCoding coding;
        int bits;
    } wrappings[] = {{"gzip", ContentCoding::Gzip, kGzipBits},
                     {"zlib deflate", ContentCoding::Deflate, kZlibBits},
                     {"raw deflate", ContentCoding::Deflate, kRawBits}};
    for (const auto& w : wrappings) {
        for (const int level : {0, 1, 6, 9}) {
            const std::string wire = Compress(text, w.bits, level);
            for (const auto& cuts : EverySplit(wire.size())) {
                SCOPED_TRACE(std::string(w.name) + " level " + std::to_string(level) + ", " +
                             std::to_string(cuts.size() + 1) + " pieces" +
                             (cuts.empty() ? "" : ", first cut " + std::to_string(cuts[0])));
                const Inflated inflated = Inflate(w.coding, wire, cuts);
                ASSERT_FALSE(inflated.failure.threw) << inflated.failure.operation;
                EXPECT_EQ(inflated.body, text);
                EXPECT_TRUE(inflated.closed);
            }
        }
    }
}

TEST(CInflatingSinkWrite, WritesInBoundedPieces) {
    const std::string text = SampleText(300000);
    const Inflated inflated = Inflate(ContentCoding::Gzip, Compress(text, kGzipBits, 9));
    EXPECT_EQ(inflated.body, text);
    EXPECT_LE(inflated.largest, kInflatePiece);
}

TEST(CInflatingSinkWrite, RefusesWhatDoesNotInflate) {
    const std::string text = SampleText(2000);
    const std::string gzip = Compress(text, kGzipBits, 6);
    const std::string zlib = Compress(text, kZlibBits, 6);
    const std::string raw = Compress(text, kRawBits, 6);
    auto flipped = [](std::string wire, std::size_t at) {
        wire[at] = static_cast<char>(wire[at] ^ 0x55);
        return wire;
    };
    // A zlib header that asks for a preset dictionary (0x78 0xbb), and the dictionary's id.
    const std::string withDictionary = std::string("\x78\xbb\x00\x00\x00\x01", 6) + raw;
    const struct {
        const char* name;
        ContentCoding coding;
        std::string wire;
    } cases[] = {
        {"gzip corrupt in the middle", ContentCoding::Gzip, flipped(gzip, gzip.size() / 2)},
        {"gzip with a wrong CRC", ContentCoding::Gzip, flipped(gzip, gzip.size() - 6)},
        {"gzip with a wrong length", ContentCoding::Gzip, flipped(gzip, gzip.size() - 2)},
        {"gzip with a wrong magic", ContentCoding::Gzip, flipped(gzip, 0)},
        {"gzip with trailing garbage", ContentCoding::Gzip, gzip + "garbage"},
        {"gzip with one trailing byte", ContentCoding::Gzip, gzip + "\x1f"},
        {"gzip with trailing zeros", ContentCoding::Gzip, gzip + std::string(8, '\0')},
        {"zlib with a wrong checksum", ContentCoding::Deflate, flipped(zlib, zlib.size() - 1)},
        {"zlib with trailing garbage", ContentCoding::Deflate, zlib + "x"},
        {"raw with trailing garbage", ContentCoding::Deflate, raw + "x"},
        {"zlib needing a dictionary", ContentCoding::Deflate, withDictionary},
        {"not compressed at all", ContentCoding::Deflate, text},
        {"gzip cut short", ContentCoding::Gzip, gzip.substr(0, gzip.size() - 4)},
        {"gzip cut in its header", ContentCoding::Gzip, gzip.substr(0, 5)},
        {"zlib cut short", ContentCoding::Deflate, zlib.substr(0, zlib.size() / 2)},
        {"deflate of a single byte", ContentCoding::Deflate, zlib.substr(0, 1)},
        {"second gzip member cut short", ContentCoding::Gzip, gzip + gzip.substr(0, 30)},
    };
    for (const auto& c : cases) {
        for (const auto& cuts : EverySplit(c.wire.size())) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(cuts.size() + 1) + " pieces");
            const Inflated inflated = Inflate(c.coding, c.wire, cuts);
            EXPECT_TRUE(inflated.failure.threw);
            EXPECT_EQ(inflated.failure.operation, kOpBadEncoding);
            EXPECT_EQ(inflated.failure.code, 0);
            EXPECT_FALSE(inflated.closed);
        }
    }
}

TEST(CInflatingSinkWrite, TakesMembersEmptyBodiesAndIdentity) {
    const struct {
        const char* name;
        ContentCoding coding;
        std::string wire;
        std::string body;
    } cases[] = {
        {"gzip members one after another", ContentCoding::Gzip,
         Compress("first, ", kGzipBits, 6) + Compress("", kGzipBits, 1) +
             Compress("second", kGzipBits, 9),
         "first, second"},
        {"gzip of no bytes at all", ContentCoding::Gzip, "", ""},
        {"deflate of no bytes at all", ContentCoding::Deflate, "", ""},
        {"gzip of an empty file", ContentCoding::Gzip, Compress("", kGzipBits, 6), ""},
        {"zlib of an empty file", ContentCoding::Deflate, Compress("", kZlibBits, 6), ""},
        {"raw deflate of an empty file", ContentCoding::Deflate, Compress("", kRawBits, 6), ""},
        {"identity", ContentCoding::Identity, "\x1f\x8b plain", "\x1f\x8b plain"},
    };
    for (const auto& c : cases) {
        for (const auto& cuts : EverySplit(c.wire.size())) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(cuts.size() + 1) + " pieces");
            const Inflated inflated = Inflate(c.coding, c.wire, cuts);
            EXPECT_FALSE(inflated.failure.threw) << inflated.failure.operation;
            EXPECT_TRUE(inflated.closed);
            EXPECT_EQ(inflated.body, c.body);
        }
    }
}

TEST(CInflatingSinkOpen, RefusesToContinueStoredBytesAndUnknownCodings) {
    CMemoryBody out;
    CInflatingSink resumed(out, ContentCoding::Gzip);
    EXPECT_EQ(CatchFailure([&] { resumed.Open(CTransferResult{}, 100); }).operation,
              kOpBadEncoding);
    CInflatingSink unknown(out, ContentCoding::Unknown);
    EXPECT_EQ(CatchFailure([&] { unknown.Open(CTransferResult{}, 0); }).operation, kOpBadEncoding);
    EXPECT_EQ(out.opens, 0);

    out.wanted = false;
    CInflatingSink asked(out, ContentCoding::Deflate);
    EXPECT_FALSE(asked.WantBody(CTransferResult{}));
    out.refuseOpen = "OpenFile";
    EXPECT_EQ(CatchFailure([&] { asked.Open(CTransferResult{}, 0); }).operation, "OpenFile");
}

TEST(CInflatingSinkWrite, PassesOnTheSinksFailure) {
    class FullDisk : public CMemoryBody {
    public:
        void Write(const char*, std::size_t) override {
            ThrowMyException(ExceptionKind::General, "", "WriteFile", 28);
        }
    } out;
    CInflatingSink sink(out, ContentCoding::Gzip);
    sink.Open(CTransferResult{}, 0);
    const std::string wire = Compress("abc", kGzipBits, 6);
    const Failure failure = CatchFailure([&] { sink.Write(wire.data(), wire.size()); });
    EXPECT_EQ(failure.operation, "WriteFile");
    EXPECT_EQ(failure.code, 28);
}

TEST(CInflatingSinkWrite, InflatesAGzipBodyCarriedInChunks) {
    const std::string text = SampleText(2000);
    const std::string gzip = Compress(text, kGzipBits, 6);
    std::string wire;
    for (std::size_t at = 0; at < gzip.size(); at += 300) {
        const std::string piece = gzip.substr(at, 300);
        char size[16];
        std::snprintf(size, sizeof size, "%zx", piece.size());
        wire += std::string(size) + ";n=\"v\"\r\n" + piece + "\r\n";
    }
    wire += "0\r\nX-Trailer: 1\r\n\r\n";
    for (std::size_t at = 0; at <= wire.size(); at += 7) {
        SCOPED_TRACE(at);
        CMemoryBody out;
        CInflatingSink inflating(out, ContentCoding::Gzip);
        CChunkedDecoder decoder(inflating);
        inflating.Open(CTransferResult{}, 0);
        std::size_t used = decoder.Feed(wire.data(), at);
        used += decoder.Feed(wire.data() + at, wire.size() - at);
        ASSERT_TRUE(decoder.Finished());
        inflating.Close();
        EXPECT_EQ(used, wire.size());
        EXPECT_EQ(decoder.DataBytes(), static_cast<std::int64_t>(gzip.size()));
        EXPECT_EQ(out.bytes, text);
    }
}

} // namespace
} // namespace torvex
