#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace torvex {

constexpr std::size_t kMaxTagText = 1024;       // text of one tag after its name
constexpr std::size_t kMaxAttrName = 63;
constexpr std::size_t kMaxAttrValue = 511;

// One attribute of a tag. The texts are views into the tag text that was parsed, so they are
// valid as long as that text is.
struct CAttr {
    std::string_view name;
    std::string_view value;     // after cleaning: outer quotes and trailing spaces removed
    std::size_t namePos = 0;    // offsets in the tag text
    std::size_t valuePos = 0;
};

// The attributes of one tag, in order of appearance. The page parser keeps one list for a whole
// page and empties it before each tag, so parsing a tag allocates nothing once the list has grown
// to the page's widest tag. Used by one thread at a time.
class CAttrList {
public:
    CAttrList();

    void Clear() { m_entries.clear(); }
    void Add(const CAttr& attr) { m_entries.push_back(attr); }
    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    const CAttr& operator[](std::size_t i) const { return m_entries[i]; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

    // The first attribute named `name` (case-insensitive), or null.
    const CAttr* Find(std::string_view name) const;

private:
    std::vector<CAttr> m_entries;
};

// Fills `list` with the attributes of `tagText` (the text of a tag after its name, up to but not
// including its ">"). Tab, CR and LF in the text become spaces, in place, first. Attributes whose
// name exceeds 63 characters or whose value exceeds `maxValue` (511 unless a reader of lists of
// addresses asks for more) are left out; so are attributes without a name.
void ParseAttributes(std::span<char> tagText, CAttrList& list,
                     std::size_t maxValue = kMaxAttrValue);

} // namespace torvex
