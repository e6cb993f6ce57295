#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/IBodySink.h"

namespace torvex {

// Operation text of a CMyException thrown for a body whose chunked framing is broken.
constexpr std::string_view kOpBadChunk = "BadChunk";

// Bounds of what the decoder reads besides the data: a chunk's size line (digits and
// extensions, without its line end), one trailer line, and the whole trailer section (its lines
// with their line ends, without the empty line that ends it).
constexpr std::size_t kMaxChunkLine = 4096;
constexpr std::size_t kMaxTrailerBytes = 65536;
// The largest chunk size taken; anything above is not a size a real body has.
constexpr std::uint64_t kMaxChunkSize = std::uint64_t{1} << 62;

// Undoes the chunked transfer coding of one reply body as its bytes arrive, in pieces split
// anywhere: hex chunk sizes (either case, leading zeros) with optional chunk extensions
// (";name=value", quoted strings allowed), the data of each chunk passed on to `out.Write`, the
// CRLF after each chunk's data checked, the last chunk ("0") and the trailer section (header
// lines up to an empty line) read and dropped. It keeps no copy of what it reads (counters
// only), so its memory is fixed whatever the body holds.
//
// Made by the transaction that reads the body, for that body only, and used on its thread.
class CChunkedDecoder {
public:
    explicit CChunkedDecoder(IBodySink& out);

    // Takes the next `size` received bytes. Returns how many of them it consumed: all of them
    // until the body has ended; once Finished(), the bytes after the body's end are not
    // consumed (they would belong to the next reply on the connection). Throws CMyException
    // (ExceptionKind::General, operation kOpBadChunk, code 0) for a size that is not hex, a
    // size over 2^62, a missing line end after a chunk's data, an over-long line; and passes on
    // whatever out.Write throws. A bare LF where CRLF is due is tolerated (servers send it).
    // After a framing failure every further call throws again.
    std::size_t Feed(const char* data, std::size_t size);
    // The last chunk and the whole trailer section have been read.
    bool Finished() const { return m_state == State::Done; }
    // Body bytes handed to `out` so far.
    std::int64_t DataBytes() const { return m_dataBytes; }

private:
    enum class State {
        SizeFirstDigit,   // at the start of a size line: a hex digit is due
        SizeDigits,       // among the digits of the size
        SizeBlank,        // blanks after the digits or within an extension, before ';' or CR
        ExtensionToken,   // in an extension's name or unquoted value
        ExtensionQuoted,  // inside a quoted extension value
        ExtensionEscape,  // after a backslash inside a quoted value
        SizeLineCr,       // the size line's CR was read: its LF is due
        Data,             // `m_remaining` data bytes are due
        DataEnd,          // the line end after a chunk's data is due
        DataEndCr,        // the CR after a chunk's data was read: its LF is due
        TrailerLineStart, // at the start of a trailer line (or of the empty line that ends it)
        TrailerLine,      // inside a trailer line
        TrailerLineCr,    // a trailer line's CR was read: its LF is due
        TrailerEndCr,     // the CR of the empty line was read: its LF is due
        Done,
        Broken,
    };

    // Takes one framing byte (anything but chunk data).
    void Step(char c);
    // Counts a framing byte against the bounds of the line and the trailer section it is in.
    void CountBounded(char c);
    void EndSizeLine();
    [[noreturn]] void Fail();

    IBodySink& m_out;
    State m_state = State::SizeFirstDigit;
    std::uint64_t m_size = 0;       // the size read so far on the current size line
    std::uint64_t m_remaining = 0;  // data bytes of the current chunk still due
    std::size_t m_lineBytes = 0;    // bytes of the current size or trailer line
    std::size_t m_trailerBytes = 0; // bytes of the trailer section so far
    std::int64_t m_dataBytes = 0;
};

} // namespace torvex
