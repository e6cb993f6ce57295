// A reply body as a server sends it over HTTP/1.1: chunked, gzip or deflate, or gzip inside
// chunks. The first byte chooses the coding, the second the size of the pieces the body arrives
// in, the rest is the body. Besides the sanitizers' findings, the decoders must keep their
// counts straight, hand out inflated bytes in bounded pieces, leave the bytes after a chunked
// body's end alone, and give back exactly what the input itself becomes when the test codes it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <zlib.h>

#include "FuzzCheck.h"
#include "net/CInflatingSink.h"
#include "net/CMyException.h"
#include "net/CTransferResult.h"
#include "net/ChunkedDecoder.h"

using namespace torvex;

namespace {

// Counts what it is given and keeps only the first bytes, so a small input that inflates to
// megabytes costs no memory.
class CountingSink : public IBodySink {
public:
    void Open(const CTransferResult&, std::int64_t offset) override { FUZZ_CHECK(offset == 0); }
    void Write(const char* data, std::size_t size) override {
        FUZZ_CHECK(size > 0);
        largest = std::max(largest, size);
        total += static_cast<std::int64_t>(size);
        kept.append(data, std::min(size, kKeep - std::min(kKeep, kept.size())));
    }
    void Close() override { closed = true; }

    static constexpr std::size_t kKeep = 65536;
    std::int64_t total = 0;
    std::size_t largest = 0;
    std::string kept;
    bool closed = false;
};

// Runs `call`; false when it threw one of our failures.
template <class Call> bool Survives(Call call) {
    try {
        call();
        return true;
    } catch (CMyException* raw) {
        std::unique_ptr<CMyException> owned(raw);
        FUZZ_CHECK(owned->Operation() == kOpBadChunk || owned->Operation() == kOpBadEncoding);
        return false;
    }
}

// Feeds `wire` to `decoder` in pieces of `piece` bytes until it finishes; returns the bytes it
// consumed.
std::size_t FeedChunked(CChunkedDecoder& decoder, std::string_view wire, std::size_t piece) {
    std::size_t consumed = 0;
    for (std::size_t at = 0; at < wire.size() && !decoder.Finished(); at += piece) {
        const std::size_t size = std::min(piece, wire.size() - at);
        const std::size_t used = decoder.Feed(wire.data() + at, size);
        FUZZ_CHECK(used <= size);
        FUZZ_CHECK(used == size || decoder.Finished());
        consumed += used;
    }
    return consumed;
}

void InflateInPieces(CInflatingSink& sink, std::string_view wire, std::size_t piece) {
    sink.Open(CTransferResult{}, 0);
    for (std::size_t at = 0; at < wire.size(); at += piece) {
        sink.Write(wire.data() + at, std::min(piece, wire.size() - at));
    }
    sink.Close();
}

std::string Gzip(std::string_view data) {
    z_stream stream{};
    FUZZ_CHECK(deflateInit2(&stream, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) == Z_OK);
    std::string out(deflateBound(&stream, data.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    FUZZ_CHECK(deflate(&stream, Z_FINISH) == Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// The input as a chunked body of chunks of `piece` bytes, with an extension and a trailer.
std::string Chunked(std::string_view data, std::size_t piece) {
    std::string wire;
    for (std::size_t at = 0; at < data.size(); at += piece) {
        const std::size_t size = std::min(piece, data.size() - at);
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (std::size_t rest = size; rest > 0; rest /= 16) {
            hex.insert(hex.begin(), kHex[rest % 16]);
        }
        wire += hex + ";x=\"a;b\"\r\n";
        wire += data.substr(at, size);
        wire += "\r\n";
    }
    return wire + "0\r\nT: 1\r\n\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const unsigned mode = data[0] % 4;
    const std::size_t piece = 1 + data[1];
    const std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);

    CountingSink out;
    if (mode == 0) {
        CChunkedDecoder decoder(out);
        std::size_t consumed = 0;
        if (Survives([&] { consumed = FeedChunked(decoder, body, piece); })) {
            FUZZ_CHECK(decoder.Finished() ? consumed <= body.size() : consumed == body.size());
        }
        FUZZ_CHECK(decoder.DataBytes() == out.total);
        // What comes out of a chunked body is never more than went in.
        FUZZ_CHECK(out.total <= static_cast<std::int64_t>(body.size()));

        // The input itself, chunked and followed by another reply, comes back whole.
        CountingSink again;
        CChunkedDecoder coded(again);
        const std::string wire = Chunked(body, piece);
        std::size_t used = 0;
        FUZZ_CHECK(Survives([&] { used = FeedChunked(coded, wire + "HTTP/1.1", piece); }));
        FUZZ_CHECK(coded.Finished() && used == wire.size());
        FUZZ_CHECK(again.kept == body.substr(0, CountingSink::kKeep));
        return 0;
    }
    if (mode == 3) {
        // gzip inside chunks: the decoder feeds the inflating sink.
        CInflatingSink inflating(out, ContentCoding::Gzip);
        CChunkedDecoder decoder(inflating);
        Survives([&] {
            inflating.Open(CTransferResult{}, 0);
            FeedChunked(decoder, body, piece);
            inflating.Close();
        });
        FUZZ_CHECK(inflating.DecodedBytes() == out.total);
        FUZZ_CHECK(out.largest <= kInflatePiece);
        return 0;
    }

    const ContentCoding coding = mode == 1 ? ContentCoding::Gzip : ContentCoding::Deflate;
    CInflatingSink sink(out, coding);
    if (Survives([&] { InflateInPieces(sink, body, piece); })) {
        FUZZ_CHECK(out.closed);
    }
    FUZZ_CHECK(sink.DecodedBytes() == out.total);
    FUZZ_CHECK(out.largest <= kInflatePiece);

    // The input itself, gzipped, inflates back to it in any pieces.
    CountingSink again;
    CInflatingSink gzip(again, ContentCoding::Gzip);
    FUZZ_CHECK(Survives([&] { InflateInPieces(gzip, Gzip(body), piece); }));
    FUZZ_CHECK(again.closed && again.total == static_cast<std::int64_t>(body.size()));
    FUZZ_CHECK(again.kept == body.substr(0, CountingSink::kKeep));
    return 0;
}
