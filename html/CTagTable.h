#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace torvex {

// The tags whose attributes carry links. The number of each is the link's tag code: link maps
// and queue entries store it, the level rule and the link filters test it, so the numbers never
// change.
enum class TagCode : int {
    A = 0,
    Img = 1,
    Frame = 2,
    IFrame = 3,
    Td = 4,
    Script = 5,
    Body = 6,
    Meta = 7,      // refresh; also the code of a redirect page's single link
    Base = 8,      // sets the base of the page; never a link of its own
    Area = 9,
    Input = 10,
    ILayer = 11,
    Link = 12,
    Embed = 13,
    Applet = 14,
    Option = 15,
    Image = 16,
    Tr = 17,
};

constexpr int kTagCount = 18;
constexpr std::size_t kMaxTagAttributes = 10;

// Link codes beside the tag codes, as link maps and queue entries carry them.
constexpr int kLinkCodeBaseLine = -1;   // a link map's base line; also a start address
constexpr int kLinkCodeInvalid = -2;    // a link that is no valid URL

struct CTagRow {
    std::string_view name;
    // The attributes that carry links, in lower case; slots after the last one are empty.
    std::array<std::string_view, kMaxTagAttributes> attributes;
};

// The fixed table of tags and link attributes that the page parser and the link conversion walk
// with. Built at compile time and only read, so any thread may use it.
class CTagTable {
public:
    static const CTagTable& Get();

    const CTagRow& Row(int code) const { return m_rows[static_cast<std::size_t>(code)]; }

    // The code of the table tag whose name begins `text` (case-insensitive) and is followed by a
    // space, CR or LF; -1 when none is. A tab or ">" after the name does not count, so a bare
    // "<a>" or "<a\t" is no tag here.
    int MatchTag(std::string_view text) const;

    // True when `attribute` (case-insensitive) carries links in the tag `code`.
    bool HasAttribute(int code, std::string_view attribute) const;

    // Anchors, areas and options lead one level deeper; every other link stays on its page's level.
    static bool LeadsDeeper(int code);

private:
    CTagTable();

    std::array<CTagRow, kTagCount> m_rows;
};

} // namespace torvex
