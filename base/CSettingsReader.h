#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvex {

// At most this many characters of a line are kept; the rest of a longer line is skipped.
constexpr std::size_t kMaxSettingsLine = 1001;
// Numbers are parsed from at most this many characters of their value.
constexpr std::size_t kMaxNumberText = 20;
// A settings-bearing file larger than this is not one of ours and is refused by Open.
constexpr std::size_t kMaxSettingsFileSize = 64u * 1024 * 1024;

// Reads the key=value text shared by every settings-bearing file (project and defaults files,
// the folder tree, export files, the application settings, record summaries, the hand-over
// file): lines of "Key=value" grouped under "[Name]" section lines, "#" and ";" comments.
//
// The reader holds the whole file and a current position. Key lookups scan from the position to
// the next section line and leave the position where it was; FindSection and NextSection move
// it. Line rules: at most 1001 characters of a line are kept, a NUL ends the line's text,
// trailing CR characters and then trailing blanks are cut, and a line that begins with "[" and
// ends with "]" is a section line. Keys match without regard to ASCII case and only when "="
// follows directly; the last match in the section wins.
//
// One reader per file, used by one thread at a time.
class CSettingsReader {
public:
    CSettingsReader() = default;

    // Reads the file at `path` (binary); false when it cannot be read or is larger than
    // kMaxSettingsFileSize. The position is the start of the file.
    bool Open(const std::string& path);
    // Takes text that is already in memory, for files read elsewhere.
    void OpenText(std::string text);
    bool IsOpen() const { return m_open; }

    // The value of `key` in the current section, leading blanks removed and cut to `capacity`
    // characters, into `value`; false (and `value` untouched) when the key is not there.
    bool ReadText(std::string_view key, std::string& value, std::size_t capacity) const;
    // The same, but the first match in the section wins: for files whose later lines may carry
    // text that was never meant as a key of its own (a value with a line break in it).
    bool ReadFirstText(std::string_view key, std::string& value, std::size_t capacity) const;
    // Decimal numbers from the first 20 characters of the value, as far as they are digits (an
    // optional sign first; anything else gives 0). Values beyond the type's range saturate.
    bool ReadInt(std::string_view key, int& value) const;
    bool ReadLong(std::string_view key, std::int64_t& value) const;
    // True when the value's first character is a digit other than "0".
    bool ReadFlag(std::string_view key, bool& value) const;

    // Moves behind the next section line "[name]" (name without regard to case); false, with the
    // position unchanged, when there is none.
    bool FindSection(std::string_view name);
    // The name of the next section line, leaving the position in front of it; nothing at the end
    // of the file (the position is then unchanged).
    std::optional<std::string> NextSection();

    std::size_t Position() const { return m_pos; }
    void SetPosition(std::size_t pos) { m_pos = pos < m_text.size() ? pos : m_text.size(); }

private:
    struct Line {
        std::string_view text;  // after the line rules; points into m_text
        std::size_t start = 0;  // where the line begins in the file
        std::size_t next = 0;   // where the following line begins
        bool isComment = false;
        bool isSection = false;
    };
    // The line that begins at `pos`; false at the end of the file.
    bool ReadLine(std::size_t pos, Line& line) const;
    bool FindText(std::string_view key, std::string& value, std::size_t capacity,
                  bool firstWins) const;

    std::string m_text;
    std::size_t m_pos = 0;
    bool m_open = false;
};

} // namespace torvex
