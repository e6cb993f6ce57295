#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

constexpr std::size_t kMaxHeaderBlock = 4096;   // all header lines of one response
constexpr std::size_t kMaxHeaderValue = 1024;   // one value given back by GetHeader

// The header lines of one response, concatenated with their line ends, and the two readers the
// transaction uses. Belongs to one transaction on one thread.
//
// The block holds at most 4096 characters. The first line that does not fit whole into what is
// left is dropped with every line after it (Append returns false), so the block never holds
// half a header that could be misread, and the lines before it stay usable.
class HeaderBlock {
public:
    void Clear();
    bool Append(std::string_view line);
    const std::string& Text() const { return m_text; }
    // True when at least one line was dropped.
    bool Overflowed() const { return m_overflowed; }

    // The value of the first header line named `name`: a line after the status line that
    // begins with the name (without regard to case) followed at once by its colon. The value
    // loses its leading blanks and tabs (trailing ones stay) and runs to the line end; at most
    // 1024 characters; empty when no line has that name.
    std::string GetHeader(std::string_view name) const;

    // Fields of the first line (up to its first CR or LF): 0 the text before the first space
    // (the whole line without one), 1 the text between the first and the second space (empty
    // without a second space), 2 the text after the second space (empty without one).
    std::string StatusField(int index) const;

private:
    std::string m_text;
    bool m_overflowed = false;
};

} // namespace torvex
