#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "net/IBodySink.h"

namespace torvex {

// What a reply's Content-Encoding says.
enum class ContentCoding : int { Identity = 0, Gzip = 1, Deflate = 2, Unknown = 3 };

// "gzip" and "x-gzip" -> Gzip; "deflate" -> Deflate; "" and "identity" -> Identity; case and
// surrounding blanks ignored; anything else (br, compress, zstd, several codings "gzip, gzip")
// -> Unknown (the caller refuses such a body: it cannot be stored as the server meant it).
ContentCoding ParseContentCoding(std::string_view headerValue);

// Operation text of a CMyException thrown for a compressed body that does not inflate.
constexpr std::string_view kOpBadEncoding = "BadEncoding";

// The largest piece of inflated bytes handed to the sink behind in one Write.
constexpr std::size_t kInflatePiece = 16384;

// An IBodySink in front of another: inflates a gzip or deflate body as it arrives and writes
// what the server meant into `out`. Deflate is taken zlib-wrapped (as the standard says) and,
// where the first bytes are not a zlib header, raw (as some servers send it). gzip with several
// members is inflated member after member. Output is written in pieces of at most
// kInflatePiece bytes; nothing else of the body is kept.
//
// Made by the transaction for one reply and used on its thread; `out` outlives it.
class CInflatingSink : public IBodySink {
public:
    // `coding`: Gzip or Deflate. Identity passes the bytes on as they are; Unknown is refused
    // by Open.
    CInflatingSink(IBodySink& out, ContentCoding coding);
    ~CInflatingSink() override;
    CInflatingSink(const CInflatingSink&) = delete;
    CInflatingSink& operator=(const CInflatingSink&) = delete;

    bool WantBody(const CTransferResult& head) override; // out.WantBody
    // `offset` must be 0 (a compressed body never continues stored bytes): otherwise throws
    // kOpBadEncoding; else out.Open(head, 0). Starts the inflation afresh.
    void Open(const CTransferResult& head, std::int64_t offset) override;
    // Throws CMyException (General, kOpBadEncoding, code 0, with zlib's reason as its detail)
    // for data that does not inflate (corrupt data, a wrong checksum, bytes after the end of
    // the stream other than further gzip members), and passes on what out.Write throws.
    void Write(const char* data, std::size_t size) override;
    // Throws kOpBadEncoding when the stream has not reached its end (a body cut short), and
    // otherwise calls out.Close(). A body of no bytes at all is an empty file.
    void Close() override;
    std::int64_t DecodedBytes() const { return m_decodedBytes; } // bytes written to `out`

private:
    struct Inflater;

    // Inflates `size` bytes (at most what zlib takes in one call) and writes what comes out.
    void Inflate(const unsigned char* data, std::size_t size);
    // Starts zlib at the first bytes of the body: gzip at once, deflate once its first two
    // bytes tell zlib wrapping from raw.
    void Start(int windowBits);
    [[noreturn]] void Fail(std::string_view reason);

    IBodySink& m_out;
    ContentCoding m_coding;
    std::unique_ptr<Inflater> m_inflater;
    std::int64_t m_decodedBytes = 0;
};

} // namespace torvex
