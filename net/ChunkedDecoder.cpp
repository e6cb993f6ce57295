#include "net/ChunkedDecoder.h"

#include <algorithm>

#include "base/LeadingNumber.h"
#include "net/CMyException.h"

namespace torvex {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

CChunkedDecoder::CChunkedDecoder(IBodySink& out) : m_out(out) {}

std::size_t CChunkedDecoder::Feed(const char* data, std::size_t size) {
    if (m_state == State::Broken) {
        Fail();
    }
    std::size_t used = 0;
    while (used < size && m_state != State::Done) {
        if (m_state == State::Data) {
            // The data of a chunk goes on in one piece, however much of it has arrived.
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, size - used));
            m_out.Write(data + used, piece);
            used += piece;
            m_remaining -= piece;
            m_dataBytes += static_cast<std::int64_t>(piece);
            if (m_remaining == 0) {
                m_state = State::DataEnd;
            }
            continue;
        }
        Step(data[used]);
        ++used;
    }
    return used;
}

void CChunkedDecoder::Step(char c) {
    CountBounded(c);
    switch (m_state) {
    case State::SizeFirstDigit: {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            Fail();
        }
        m_size = static_cast<std::uint64_t>(digit);
        m_state = State::SizeDigits;
        return;
    }
    case State::SizeDigits: {
        const int digit = HexDigitValue(c);
        if (digit >= 0) {
            if (m_size > (kMaxChunkSize - static_cast<std::uint64_t>(digit)) / 16) {
                Fail();
            }
            m_size = m_size * 16 + static_cast<std::uint64_t>(digit);
            return;
        }
        [[fallthrough]];
    }
    case State::SizeBlank:
        if (IsBlank(c)) {
            m_state = State::SizeBlank;
        } else if (c == ';') {
            m_state = State::ExtensionToken;
        } else if (c == '\r') {
            m_state = State::SizeLineCr;
        } else if (c == '\n') {
            EndSizeLine();
        } else {
            Fail();
        }
        return;
    case State::ExtensionToken:
        // Names, values, '=', further ';' and blanks between them are read and dropped; only
        // a quoted value needs following, since it may hold ';' or an escaped quote.
        if (c == '"') {
            m_state = State::ExtensionQuoted;
        } else if (c == '\r') {
            m_state = State::SizeLineCr;
        } else if (c == '\n') {
            EndSizeLine();
        }
        return;
    case State::ExtensionQuoted:
        if (IsLineEnd(c)) {
            Fail();
        }
        if (c == '\\') {
            m_state = State::ExtensionEscape;
        } else if (c == '"') {
            m_state = State::ExtensionToken;
        }
        return;
    case State::ExtensionEscape:
        if (IsLineEnd(c)) {
            Fail();
        }
        m_state = State::ExtensionQuoted;
        return;
    case State::SizeLineCr:
        if (c != '\n') {
            Fail();
        }
        EndSizeLine();
        return;
    case State::DataEnd:
        if (c == '\r') {
            m_state = State::DataEndCr;
        } else if (c == '\n') {
            m_state = State::SizeFirstDigit;
        } else {
            Fail();
        }
        return;
    case State::DataEndCr:
        if (c != '\n') {
            Fail();
        }
        m_state = State::SizeFirstDigit;
        return;
    case State::TrailerLineStart:
        if (c == '\r') {
            m_state = State::TrailerEndCr;
        } else if (c == '\n') {
            m_state = State::Done;
        } else {
            m_state = State::TrailerLine;
        }
        return;
    case State::TrailerLine:
        if (c == '\r') {
            m_state = State::TrailerLineCr;
        } else if (c == '\n') {
            m_lineBytes = 0;
            m_state = State::TrailerLineStart;
        }
        return;
    case State::TrailerLineCr:
        if (c != '\n') {
            Fail();
        }
        m_lineBytes = 0;
        m_state = State::TrailerLineStart;
        return;
    case State::TrailerEndCr:
        if (c != '\n') {
            Fail();
        }
        m_state = State::Done;
        return;
    case State::Data:
    case State::Done:
    case State::Broken:
        break;
    }
}

void CChunkedDecoder::CountBounded(char c) {
    const bool lineEnd = IsLineEnd(c);
    switch (m_state) {
    case State::SizeFirstDigit:
    case State::SizeDigits:
    case State::SizeBlank:
    case State::ExtensionToken:
    case State::ExtensionQuoted:
    case State::ExtensionEscape:
        if (!lineEnd && ++m_lineBytes > kMaxChunkLine) {
            Fail();
        }
        return;
    case State::TrailerLineStart:
    case State::TrailerLine:
    case State::TrailerLineCr:
        // A line end at the start of a line is the empty line that ends the section: it is
        // not part of the section's count.
        if (m_state == State::TrailerLineStart && lineEnd) {
            return;
        }
        if (!lineEnd && ++m_lineBytes > kMaxChunkLine) {
            Fail();
        }
        if (++m_trailerBytes > kMaxTrailerBytes) {
            Fail();
        }
        return;
    default:
        return;
    }
}

void CChunkedDecoder::EndSizeLine() {
    m_lineBytes = 0;
    m_remaining = m_size;
    m_size = 0;
    m_state = m_remaining == 0 ? State::TrailerLineStart : State::Data;
}

void CChunkedDecoder::Fail() {
    m_state = State::Broken;
    ThrowMyException(ExceptionKind::General, "", kOpBadChunk, 0);
}

} // namespace torvex
