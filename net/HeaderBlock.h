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

    // The value of the header `name`, found anywhere in the block without regard to case (so a
    // name inside a longer header's name counts: "Location" finds "Content-Location" when that
    // comes first). The value starts one character after the name, runs to the next line end
    // and loses its leading spaces; at most 1024 characters; empty when the name is missing.
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
