#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace torvex {

// The link codes. Link maps, queue entries and break points store them, the level rule and the
// link filters test them, so a number never changes meaning. Codes 0 to 17 are the rows of the
// first table; the codes from 18 on came later and stay clear of those that stored link maps
// already hold.
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
    Link = 12,     // a link tag naming a part of the page: style sheet, icon, preload
    Embed = 13,
    Applet = 14,
    Option = 15,
    Image = 16,
    Tr = 17,
    Source = 18,          // src of a source in a video or audio
    Video = 19,           // src
    Audio = 20,           // src
    Object = 21,          // data: SVG diagrams and other embedded documents
    Track = 22,           // src: captions of a video
    ImgSrcset = 23,       // one candidate of an img's srcset
    SourceSrcset = 24,    // one candidate of a source's srcset (picture)
    VideoPoster = 25,     // the still a video shows before it plays
    LinkPage = 26,        // a link tag naming another page (next, prev, index, alternate, ...)
    LinkSrcset = 27,      // one candidate of a preload link's imagesrcset
    StyleAttribute = 28,  // url() in a style="" attribute
    StyleBlock = 29,      // url() in a style element
    StyleImport = 30,     // @import in a style element
};

constexpr int kTagCount = 23;        // rows of the tag table: codes 0 to 22 are their tags
constexpr int kLinkCodeCount = 31;   // codes 0 to 30
constexpr std::size_t kMaxTagAttributes = 10;

// Link codes beside the tag codes, as link maps and queue entries carry them.
constexpr int kLinkCodeBaseLine = -1;   // a link map's base line; also a start address
constexpr int kLinkCodeInvalid = -2;    // a link that is no valid URL

// An attribute that carries links, with the code its links get.
struct CTagAttribute {
    std::string_view name;   // lower case; empty after the row's last attribute
    int code = -1;
};

struct CTagRow {
    std::string_view name;
    std::array<CTagAttribute, kMaxTagAttributes> attributes;
};

// The fixed table of tags and link attributes that the page parser and the link conversion walk
// with. A row's index is the code of its tag's own attributes; attributes added later carry
// codes of their own. Built once and only read, so any thread may use it.
class CTagTable {
public:
    static const CTagTable& Get();

    const CTagRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    // The row of the table tag whose name begins `text` (case-insensitive) and is followed by a
    // space, CR or LF; -1 when none is. A tab or ">" after the name does not count, so a bare
    // "<a>" or "<a\t" is no tag here.
    int MatchTag(std::string_view text) const;

    // The link code of `attribute` (case-insensitive) in the tag of `row`; -1 when it carries no
    // link there.
    int AttributeCode(int row, std::string_view attribute) const;
    bool HasAttribute(int row, std::string_view attribute) const {
        return AttributeCode(row, attribute) >= 0;
    }

    // Anchors, areas, options and link tags naming pages lead one level deeper; every other link
    // stays on its page's level.
    static bool LeadsDeeper(int code);
    // Links that "Don't retrieve images" drops.
    static bool IsImage(int code);
    // An attribute that lists candidates ("a.png 1x, b.png 2x") rather than one address.
    static bool IsCandidateList(int code);

private:
    CTagTable();

    std::array<CTagRow, kTagCount> m_rows;
};

} // namespace torvex
