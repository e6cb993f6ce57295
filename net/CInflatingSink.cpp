#include "net/CInflatingSink.h"

#include <algorithm>
#include <climits>

#define ZLIB_CONST
#include <zlib.h>

#include "base/AsciiCase.h"
#include "base/Blanks.h"
#include "net/CMyException.h"

namespace torvex {

namespace {

// zlib's window bits: the largest window, and the flags that choose the wrapping.
constexpr int kWindowBits = 15;
constexpr int kGzipWrapping = 16;

// Whether two bytes open a zlib stream: deflate with a window of at most 32 KiB, and a header
// checksum that holds. A raw deflate stream rarely passes both tests by chance.
bool IsZlibHeader(const unsigned char* head) {
    const unsigned method = head[0] & 0x0fu;
    const unsigned window = head[0] >> 4;
    return method == Z_DEFLATED && window <= 7 && ((head[0] << 8) | head[1]) % 31 == 0;
}

} // namespace

ContentCoding ParseContentCoding(std::string_view headerValue) {
    const std::string_view value = TrimBlanks(headerValue);
    if (value.empty() || EqualsNoCase(value, "identity")) {
        return ContentCoding::Identity;
    }
    if (EqualsNoCase(value, "gzip") || EqualsNoCase(value, "x-gzip")) {
        return ContentCoding::Gzip;
    }
    if (EqualsNoCase(value, "deflate")) {
        return ContentCoding::Deflate;
    }
    return ContentCoding::Unknown;
}

// The zlib stream and the one fixed buffer that inflated bytes pass through.
struct CInflatingSink::Inflater {
    z_stream stream{};
    bool initialised = false;
    bool sawInput = false; // a compressed byte has arrived since Open
    bool ended = false;    // the stream (or the last gzip member) has reached its end
    // Deflate only: the first bytes, kept until they tell zlib wrapping from raw.
    unsigned char head[2] = {};
    std::size_t headBytes = 0;
    unsigned char piece[kInflatePiece];

    ~Inflater() { End(); }
    void End() {
        if (initialised) {
            inflateEnd(&stream);
            initialised = false;
        }
    }
};

CInflatingSink::CInflatingSink(IBodySink& out, ContentCoding coding)
    : m_out(out), m_coding(coding), m_inflater(std::make_unique<Inflater>()) {}

CInflatingSink::~CInflatingSink() = default;

bool CInflatingSink::WantBody(const CTransferResult& head) {
    return m_out.WantBody(head);
}

void CInflatingSink::Open(const CTransferResult& head, std::int64_t offset) {
    if (offset != 0) {
        // Inflating has to start at the stream's first byte; the bytes stored before cannot be
        // continued from the middle of another compressed stream.
        Fail("a compressed body cannot continue stored bytes");
    }
    if (m_coding == ContentCoding::Unknown) {
        Fail("unsupported content coding");
    }
    m_inflater = std::make_unique<Inflater>();
    m_decodedBytes = 0;
    m_out.Open(head, 0);
}

void CInflatingSink::Write(const char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    if (m_coding == ContentCoding::Identity) {
        m_out.Write(data, size);
        m_decodedBytes += static_cast<std::int64_t>(size);
        return;
    }
    Inflater& inflater = *m_inflater;
    inflater.sawInput = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (m_coding == ContentCoding::Gzip && !inflater.initialised) {
        Start(kWindowBits + kGzipWrapping);
    } else if (m_coding == ContentCoding::Deflate && !inflater.initialised) {
        const std::size_t take = std::min(size, sizeof inflater.head - inflater.headBytes);
        std::copy_n(bytes, take, inflater.head + inflater.headBytes);
        inflater.headBytes += take;
        bytes += take;
        size -= take;
        if (inflater.headBytes < sizeof inflater.head) {
            return;
        }
        Start(IsZlibHeader(inflater.head) ? kWindowBits : -kWindowBits);
        Inflate(inflater.head, sizeof inflater.head);
    }
    while (size > 0) {
        const std::size_t step = std::min<std::size_t>(size, UINT_MAX);
        Inflate(bytes, step);
        bytes += step;
        size -= step;
    }
}

void CInflatingSink::Close() {
    if (m_coding != ContentCoding::Identity && m_inflater->sawInput && !m_inflater->ended) {
        Fail("the compressed body ends before its stream does");
    }
    m_out.Close();
}

void CInflatingSink::Start(int windowBits) {
    if (inflateInit2(&m_inflater->stream, windowBits) != Z_OK) {
        Fail("out of memory");
    }
    m_inflater->initialised = true;
}

void CInflatingSink::Inflate(const unsigned char* data, std::size_t size) {
    Inflater& inflater = *m_inflater;
    z_stream& stream = inflater.stream;
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(size);
    while (stream.avail_in > 0 || !inflater.ended) {
        if (inflater.ended) {
            // More bytes after the end: in gzip the next member, in deflate an error.
            if (m_coding != ContentCoding::Gzip) {
                Fail("data after the end of the compressed stream");
            }
            const Bytef* next = stream.next_in;
            const uInt avail = stream.avail_in;
            inflateReset(&stream);
            stream.next_in = next;
            stream.avail_in = avail;
            inflater.ended = false;
        }
        stream.next_out = inflater.piece;
        stream.avail_out = sizeof inflater.piece;
        const int rc = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = sizeof inflater.piece - stream.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            Fail(rc == Z_NEED_DICT       ? "the stream needs a preset dictionary"
                 : stream.msg != nullptr ? std::string_view(stream.msg)
                                         : "the compressed data is corrupt");
        }
        if (produced > 0) {
            m_out.Write(reinterpret_cast<const char*>(inflater.piece), produced);
            m_decodedBytes += static_cast<std::int64_t>(produced);
        }
        if (rc == Z_STREAM_END) {
            inflater.ended = true;
            continue;
        }
        // With the output piece full, zlib may hold more for the next round; with room left
        // over (or no progress possible) it has used up the input.
        if (stream.avail_in == 0 && (stream.avail_out > 0 || rc == Z_BUF_ERROR)) {
            return;
        }
        if (rc == Z_BUF_ERROR) {
            Fail("the compressed data is corrupt");
        }
    }
}

void CInflatingSink::Fail(std::string_view reason) {
    ThrowMyException(ExceptionKind::General, "", kOpBadEncoding, 0, reason);
}

} // namespace torvex
